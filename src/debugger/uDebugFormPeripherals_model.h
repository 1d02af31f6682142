#pragma once

#include "pc_chipr.h"
#include "uDebugBase_model.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

class TDbgFormModel;

/// A special function register of one parse.
struct TRegister {
    QString name;
    int address = 0;
    int value = 0;
    int mask = 0;
};

/// A bit field of a register: bits first .. first + width - 1.
struct TBits {
    int reg = 0;      /// index into the parse's registers
    int first = 0;
    int width = 1;
};

/// A named group of bit fields, the first field in the lowest bits, with names for its values.
struct TBitGroup {
    QString name;
    QList<TBits> fields;
    QMap<int, QString> valueNames;
};

/// Parses one section of "sfr.txt" against the device's feature tokens and the RAM values, and
/// formats the window's text: the registers with address, bits and value, then the groups with
/// their fields and decoded values. Lives for one parse.
class TFileProcessor {
public:
    /// `features` are the device's tokens; `ram` gives the byte at an address (0 beyond the
    /// cache).
    TFileProcessor(QStringList features, std::function<int(int)> ram);

    /// Parses a section's lines (comments, blank lines and malformed lines are skipped; each
    /// malformed line leaves a note).
    void Parse(const QStringList &lines);
    const QList<TRegister> &Registers() const { return m_registers; }
    const QList<TBitGroup> &Groups() const { return m_groups; }
    int FieldValue(const TBits &bits) const;
    int GroupValue(const TBitGroup &group) const;
    /// The output lines (without line ends).
    QStringList Output() const;
    const QStringList &Notes() const { return m_notes; }

    /// The addresses of the registers a section's lines define for these features.
    static QList<int> RegisterAddresses(const QStringList &lines, const QStringList &features);
    /// An address as the output shows it: lower-case hexadecimal, 2 digits (3 from 256).
    static QString AddressText(int address);

private:
    int FindRegister(const QString &name) const;
    bool ParseRegister(const QString &line);
    bool ParseGroup(const QString &line, int &defined);
    bool Holds(const QString &conditions, bool allowNot, bool &ok) const;

    QStringList m_features;
    std::function<int(int)> m_ram;
    QList<TRegister> m_registers;
    QList<TBitGroup> m_groups;
    QStringList m_notes;
};

/// One entry of the peripheral list.
struct TPeripheralGroup {
    QString tag;       /// "#ADC" ...
    QString caption;   /// "Analog/Digital Conv" ...
};

/// The Peripherals window's model: the peripheral groups of the session's device and the text
/// of the selected one, from "sfr.txt" and the RAM cache.
class TDebugPeripheralsModel : public TDebugWindowModel {
public:
    explicit TDebugPeripheralsModel(TDbgFormModel &session);

    void SetSfrFile(const QString &path) { m_sfrFile = path; }
    const QString &SfrFile() const { return m_sfrFile; }

    /// The device's feature tokens, in the fixed order, the name last.
    static QStringList FeatureTokens(const DeviceRecord &device);
    /// The groups listed for a device, in list order.
    static QList<TPeripheralGroup> GroupsFor(const DeviceRecord &device);
    /// The "#PORTS" section made from the device's pin masks.
    static QStringList PortLines(const DeviceRecord &device);
    /// A section's lines from the file: from the line that is exactly `tag` to an empty line, a
    /// line beginning "#" or the end. False when the file cannot be read.
    static bool ReadSection(const QString &file, const QString &tag, QStringList &lines);

    const QList<TPeripheralGroup> &Groups() const { return m_groups; }
    const QStringList &Features() const { return m_features; }
    int Selected() const { return m_selected; }
    QString SelectedCaption() const;
    void Select(int index);
    /// Loads the selected group, reads its registers and builds the text.
    void ShowSelectedGroup();
    const QString &Text() const { return m_text; }
    const QStringList &Notes() const { return m_notes; }

    void Refresh() override { ShowSelectedGroup(); }
    bool Activate() override;
    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    TDbgFormModel &m_session;
    QString m_sfrFile;
    DeviceRecord m_device;
    QStringList m_features;
    QList<TPeripheralGroup> m_groups;
    int m_selected = -1;
    QString m_text;
    QStringList m_notes;
};

}  // namespace kiv
