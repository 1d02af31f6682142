#pragma once

// Maps one gputils processor (its `gpasm -s` description and its .inc header) to a device
// record: name, kind, memory, ports, peripherals and interrupts. Fuse entries are placed later,
// once the shared fuse name table is known.

#include "adcmap.h"
#include "fusenames.h"
#include "gputilsdata.h"

#include "pc_chipr.h"

#include <QString>

#include <optional>

namespace kiv::devgen {

/// The device name of a gputils processor name: "p16f877a" -> "PIC16F877A",
/// "rf675f" -> "RFPIC12F675F", anything else upper-cased. Empty for names that are not devices
/// (generic entries such as "p16cxx").
QString DeviceNameOf(const QString &processorName);

/// The record kind of a gputils core class: PIC12/PIC12E 0, PIC14/PIC14E 1, PIC16E 3;
/// nothing for classes the layout has no kind for.
std::optional<uint8_t> KindOfCoreClass(const QString &coreClass);

/// A device ready for the file, except for its fuse entries.
struct TDeviceDraft {
    DeviceRecord record;
    QList<TFuseSetting> fuses;
    TAdcDescription adc;
};

/// Fills the record fields from the processor and its header (the A/D channel count and
/// resolution from DescribeAdc; the analog option fields are set when KIV.HT is built).
DeviceRecord BuildRecord(const QString &name, uint8_t kind, uint16_t id,
                         const TGpProcessor &processor, const TIncHeader &header);

/// The interrupt numbers (positions of the name table of the kind) of a device's interrupt
/// flag bits.
QList<int> InterruptPositions(uint8_t kind, const TIncHeader &header);

/// The SX devices, written from data-sheet facts (gputils has no data for them); `ids` gives
/// the processor number gpasm uses for "sx18", "sx20", ... when known.
QList<TDeviceDraft> SxDevices(const QHash<QString, uint16_t> &ids);

}  // namespace kiv::devgen
