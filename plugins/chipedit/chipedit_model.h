#pragma once

// The device editor and selector's model (QtCore only): the devices of a devices.dat file read
// through the device database's reader, every field of a record as text, the fuse groups with
// their choices, interrupts, ports and pins, memory sizes, the selector's feature filter, and
// edits saved through the device-file writer.

#include "pc_chipr.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kiv {

/// How a record field is stored and shown.
enum TFieldType {
    ftName,       ///< the device name: up to 15 characters, unique, not beginning with "@"
    ftText,       ///< a length-prefixed string (the data sheet name)
    ftU8,         ///< 0 to 255
    ftU16,        ///< 0 to 65535
    ftU32,        ///< two u16, low first
    ftFlag,       ///< "1" present, "0" absent
    ftPorts,      ///< a port's pins as two hexadecimal digits (bit n = pin n)
};

/// One field of a device record.
struct TRecordField {
    const char *name;      ///< the field's name ("hasUsart")
    const char *caption;   ///< what the window shows ("USART")
    int offset;
    TFieldType type;
    bool editable;
};

/// Every field of the record in offset order (the maps, fuse table and interrupt set are
/// shown on pages of their own).
const QList<TRecordField> &RecordFields();
/// The field named `name`, or nullptr.
const TRecordField *FindRecordField(const char *name);

/// The field's value as text: decimal numbers, "0"/"1" flags, ports as "3F".
QString FieldText(const DeviceRecord &record, const TRecordField &field);
/// Reads the text into the field; false with `error` when it is not a value of the field (the
/// record is then unchanged). Names are checked for uniqueness by the caller.
bool SetFieldText(DeviceRecord &record, const TRecordField &field, const QString &text,
                  QString *error);

/// "12-bit core", "14-bit core", "PIC18", "SX", "family 2" ...
QString KindName(int kind);

/// The sizes and features the selector searches by.
struct TDeviceSummary {
    uint32_t programWords = 0;   ///< 0 when the record does not give it
    int dataBytes = 0;           ///< the record's size, or the entries of a 14-bit core's map
    int eepromBytes = 0;
    int ioPins = 0;              ///< pins of all ports
    int adcChannels = 0;
    bool usart = false;
    bool spi = false;
    bool i2c = false;
};
TDeviceSummary Summarize(const DeviceRecord &record);

/// One fuse choice: a fuse entry of the record.
struct TFuseChoice {
    int entry = 0;
    QString name;
    uint16_t mask = 0;
    uint16_t value = 0;
};
/// Choices that share one mask in one configuration word.
struct TFuseGroup {
    uint16_t mask = 0;
    int word = 1;
    QList<TFuseChoice> choices;
};
/// The record's fuse entries 1 to 130 with a mask, grouped by mask and word in entry order.
QList<TFuseGroup> FuseGroups(const DeviceRecord &record, const FuseNameTable &names);

/// One interrupt of the record's kind: its number (bit of the set) and name.
struct TInterruptInfo {
    int number = 0;
    QString name;    ///< "#n" for a set bit the kind's list does not name
    bool present = false;
};
/// The interrupts the record's kind can have, and any other set bit.
QList<TInterruptInfo> Interrupts(const DeviceRecord &record);

/// The port letters a record can describe, in order.
QString PortLetters();

/// What the selector asks for; zero and false ask for nothing.
struct TDeviceFilter {
    QString name;              ///< part of the name, any case
    int kind = -1;             ///< -1 any
    uint32_t minProgramWords = 0;
    int minDataBytes = 0;
    int minEepromBytes = 0;
    int minAdcChannels = 0;
    int minIoPins = 0;
    bool usart = false;
    bool spi = false;
    bool i2c = false;
};
bool Matches(const DeviceRecord &record, const TDeviceFilter &filter);

/// The devices of one file and the edits made to them.
class TChipEditModel {
public:
    /// Reads the file's devices (records that are not control records and whose kind is below
    /// 8) and fuse names. False with `error` when the file cannot be read; the model is then
    /// empty.
    bool Load(const QString &path, QString *error);
    QString Path() const { return m_path; }
    const FuseNameTable &FuseNames() const { return m_fuseNames; }

    int Count() const { return int(m_devices.size()); }
    /// The device as edited so far.
    const DeviceRecord &Device(int index) const { return m_devices.at(index).current; }
    /// Names in file order.
    QStringList Names() const;
    /// The index of the device named exactly `name`, -1 when there is none.
    int Find(const QString &name) const;
    /// The indexes of the devices the filter lets through, in file order.
    QList<int> Select(const TDeviceFilter &filter) const;

    /// Sets a field from text; false with `error` when it is not a value of the field, or a name
    /// that is empty, begins with "@" or is taken by another device.
    bool SetField(int index, const TRecordField &field, const QString &text, QString *error);
    void SetInterrupt(int index, int number, bool present);
    void SetPin(int index, char port, int pin, bool present);

    bool IsModified() const;
    bool IsModified(int index) const;
    /// Forgets the edits of one device.
    void Revert(int index);

    /// Writes the edited devices into the file (the old file becomes devices.BAK). Refused when
    /// the file changed on disk since it was read. On failure the file is as it was and the
    /// edits are kept.
    bool Save(QString *error);

private:
    struct TDevice {
        qint64 block = 0;
        DeviceRecord original;
        DeviceRecord current;
    };

    QString m_path;
    QByteArray m_fileHash;
    FuseNameTable m_fuseNames;
    QList<TDevice> m_devices;
};

}  // namespace kiv
