#pragma once

// Turns a device's configuration settings, as gputils describes them, into fuse entries named
// in the style of the fuse lists: an ON/OFF setting becomes NAME and NONAME (WDT/NOWDT,
// PROTECT/NOPROTECT, PUT/NOPUT ...), an oscillator setting a group of oscillator names (LP, XT,
// HS, RC, INTRC ...), and any other choice NAME_OPTION (or NAMEnn for numbers: WDT128, BORV45).

#include "gputilsdata.h"

#include <QList>
#include <QString>

#include <cstdint>

namespace kiv::devgen {

/// One fuse of a device: its keyword and where it sits in the device's configuration words.
struct TFuseChoice {
    QString name;
    uint16_t mask = 0;
    uint16_t value = 0;
    int word = 1;             ///< configuration word, 1-based
    QString directive;        ///< the gputils setting it came from (merged settings: the first)
    QString option;
    QString comment;          ///< the header's comment for the setting, when it has one
};

/// The choices of one configuration setting (one gputils directive, or several numbered
/// directives of one word merged, such as CP0 .. CP3 into PROTECT/NOPROTECT).
struct TFuseSetting {
    QList<TFuseChoice> choices;
};

/// The configuration word number (1-based) and bit shift of a configuration address: PIC18
/// configuration bytes are paired into 16-bit words counted from the start of the configuration
/// range; other cores count their configuration words in address order.
struct TWordPlace {
    int word = 1;
    int shift = 0;
};
TWordPlace PlaceOfConfigAddress(const TGpProcessor &processor, bool pic18, uint32_t address);

/// The named fuse settings of a processor, in configuration word and bit order.
QList<TFuseSetting> NameFuseSettings(const TGpProcessor &processor, bool pic18, const TIncHeader &header);

/// The keyword of one option of a gputils directive, without merging (exposed for tests).
QString FuseKeyword(const QString &directive, const QString &option, const QStringList &siblingOptions);

/// A one-line description of a fuse keyword for fuses.txt; `comment` is the header's comment of
/// the setting it came from (used when the keyword has no description of its own).
QString FuseDescription(const TFuseChoice &choice);

}  // namespace kiv::devgen
