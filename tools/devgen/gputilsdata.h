#pragma once

// Readers of the device data that gputils ships: the processor list that `gpasm -s` prints
// (memory, configuration words with their directives and options) and the MPASM-style .inc
// headers (registers, bit names, RAM limits, commented configuration symbols), plus the
// processor number of a COFF object that gpasm writes.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace kiv::devgen {

struct TGpOption {
    QString name;
    uint32_t value = 0;
    bool isDefault = false;
};

struct TGpDirective {
    QString name;
    QList<TGpOption> options;
};

struct TGpConfigWord {
    uint32_t address = 0;
    uint32_t mask = 0;
    uint32_t defaultValue = 0;
    QList<TGpDirective> directives;
};

/// One processor as `gpasm -s` describes it.
struct TGpProcessor {
    QStringList names;            ///< e.g. "pic16f877a", "p16f877a", "16f877a"
    QString coreClass;            ///< "PIC12", "PIC12E", "PIC14", "PIC14E", "PIC16E", ...
    int maxRam = -1;              ///< highest data address, -1 when not given
    std::optional<uint32_t> configStart;   ///< first address of the configuration range
    std::optional<uint32_t> eepromStart;
    std::optional<uint32_t> eepromEnd;
    QString headerFile;           ///< e.g. "p16f877a.inc"
    QList<TGpConfigWord> configWords;
    int bankSize = 0;             ///< bytes per data bank, 0 when not given
    int bankCount = 0;            ///< number of data banks, 0 when not given
    std::optional<QPair<uint32_t, uint32_t>> commonRam;   ///< RAM seen in every bank
    std::optional<QPair<uint32_t, uint32_t>> linearRam;   ///< linear view of the banked RAM
    std::optional<uint32_t> accessSplit;                  ///< PIC18: first SFR address of the access bank
    uint32_t programSize = 0;     ///< program memory as gpasm gives it
    bool programSizeInBytes = false;   ///< true when programSize counts bytes (PIC18), else words

    /// The name gpasm's -p option takes ("p16f877a"), i.e. the second name.
    QString ProcessorName() const;
    /// Bytes of data EEPROM (0 without).
    int EepromBytes() const;
};

/// Parses the output of `gpasm -s`. Blocks that do not start with "Names" are skipped.
QList<TGpProcessor> ParseProcessorList(const QString &text);

/// What an .inc header tells about a device.
struct TIncHeader {
    QHash<QString, uint32_t> registers;            ///< register name -> data address
    QHash<QString, QHash<QString, int>> bits;      ///< register -> bit name -> bit number
    QSet<QString> allBits;                         ///< every bit name of every register
    int maxRam = -1;                               ///< __MAXRAM, -1 when absent
    QList<QPair<int, int>> badRam;                 ///< __BADRAM ranges, inclusive
    QHash<QString, QString> comments;              ///< "_FOSC_HS" -> "HS oscillator"
    /// From the PIC18 headers' list of settings ("OSC = HS   HS oscillator" under a heading
    /// "Oscillator Selection:"): "OSC=HS" -> "Oscillator Selection: HS oscillator".
    QHash<QString, QString> settingTexts;

    bool HasRegister(const QString &name) const { return registers.contains(name); }
    bool HasBit(const QString &name) const { return allBits.contains(name); }
    /// Bit number of `bit` in `reg`, -1 when the register has no such bit.
    int BitOf(const QString &reg, const QString &bit) const;
    /// The comment of a configuration symbol "_<directive>_<option>" (also with a "_1H"-style
    /// suffix), else the settings list's text; empty when the header has neither.
    QString ConfigComment(const QString &directive, const QString &option) const;
};

/// Parses an .inc header text.
TIncHeader ParseIncHeader(const QString &text);

/// The processor number in the optional header of a COFF object that gpasm wrote; nothing when
/// the data is not such an object.
std::optional<uint32_t> CoffProcessorType(const QByteArray &object);

}  // namespace kiv::devgen
