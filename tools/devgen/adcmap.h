#pragma once

// What a device's A/D converter offers the project wizard, worked out from its gputils header:
// which pins are analog channels, where the clock and port configuration bits sit (the record's
// adcClockOption and adcChannelOption), and the option lines of the analog option file KIV.HT.
// The choices themselves come from small tables per converter family written here; a family
// whose full port configuration table is not known here offers the all-analog and all-digital
// choices only.

#include "gputilsdata.h"

#include "pc_chipr.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kiv::devgen {

/// A device's A/D converter as the option file describes it.
struct TAdcDescription {
    QMap<int, QString> pins;     ///< channel number -> pin name ("A0", "E2")
    bool gpioNames = false;      ///< the pins are named GP0 .. GP5 on the device
    int bits = 0;                ///< resolution
    int clockEntry = 0;          ///< entry of the A/D clock table, 0 when none matches
    int channelEntry = 0;        ///< entry of the A/D channel table, 0 when none matches
    QString family;              ///< name of the converter family (for the build log)
    QStringList clockLines;      ///< the clock group and the groups combined with it
    QStringList portLines;       ///< the port group and the range group

    int Channels() const { return int(pins.size()); }
};

/// The description of a device's converter; no channels when the device has none.
TAdcDescription DescribeAdc(const TIncHeader &header, const DeviceRecord &record);

/// The fingerprint "C0:6-7,C1:6" of the bits matching `pattern` in the A/D registers (ADCON0 as
/// C0 .. ADCON3 as C3, ANSEL as S, ANSEL0 as S0, ANSEL1 and ANSELH as S1): per register its lowest
/// and highest bit, registers sorted. Exposed for tests.
QString AdcBitFingerprint(const TIncHeader &header, const QString &pattern);

/// The identifier of a port choice: "NO_ANALOGS", "ALL_ANALOG" when `channels` are all of the
/// device's, otherwise the channels ("AN0_AN1_AN3"), long runs written "AN0_TO_AN7" when the
/// name would pass 32 characters, followed by "_VSS_VREF" (high reference on a pin) or
/// "_VREF_VREF" (both references on pins).
QString PortChoiceName(const QList<int> &channels, const QList<int> &allChannels, bool vrefHigh, bool vrefLow);

/// Collects the devices' descriptions into KIV.HT: shared clock sections, and port lines for each
/// distinct variant under a "\\(n)" condition. Sets each record's adcVariant, adcClockOption and
/// adcChannelOption.
class TAnalogFileBuilder {
public:
    void AddDevice(DeviceRecord &record, const TAdcDescription &adc);
    /// The whole file, CR LF line ends.
    QByteArray Text() const;

    int DevicesWithOptions() const { return m_devices; }
    int Variants() const { return int(m_variants.size()); }
    /// Devices per converter family.
    const QMap<QString, int> &Families() const { return m_families; }

private:
    struct TVariant {
        QString section;
        QStringList lines;
    };
    QMap<QString, QStringList> m_clockSections;   // section key -> lines
    QList<TVariant> m_variants;
    QMap<QString, int> m_families;
    int m_devices = 0;
};

}  // namespace kiv::devgen
