#include "chipedit_model.h"

#include "devicesdat_writer.h"
#include "pc_int.h"
#include "textfile.h"

#include <QCryptographicHash>
#include <QMap>

#include <bit>

namespace kiv {

namespace {

QByteArray FileHash(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

uint32_t U32(const DeviceRecord &record, int offset)
{
    return uint32_t(record.Word(offset)) | (uint32_t(record.Word(offset + 2)) << 16);
}

bool ParseUnsigned(const QString &text, uint64_t limit, uint64_t *value, QString *error)
{
    bool ok = false;
    const QString t = text.trimmed();
    const qulonglong v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toULongLong(&ok, 16)
                                                                                : t.toULongLong(&ok, 10);
    if (!ok || v > limit) {
        *error = QStringLiteral("\"%1\" is not a number from 0 to %2").arg(text).arg(limit);
        return false;
    }
    *value = v;
    return true;
}

}  // namespace

const QList<TRecordField> &RecordFields()
{
    namespace r = devrec;
    static const QList<TRecordField> fields = {
        {"name", "Name", r::name, ftName, true},
        {"adcVariant", "A/D option variant", r::adcVariant, ftU16, true},
        {"kind", "Family", r::kind, ftU8, true},
        {"hasUsart", "USART", r::hasUsart, ftFlag, true},
        {"eepromSize", "Data EEPROM (x16 bytes)", r::eepromSize, ftU8, true},
        {"hasPeripheralInts", "Peripheral interrupts", r::hasPeripheralInts, ftFlag, true},
        {"hasPor", "Power-on reset status", r::hasPor, ftFlag, true},
        {"hasComparators", "Comparators", r::hasComparators, ftFlag, true},
        {"hasSpi", "SPI", r::hasSpi, ftFlag, true},
        {"hasTimer1", "Timer 1", r::hasTimer1, ftFlag, true},
        {"hasPsp", "Parallel slave port", r::hasPsp, ftFlag, true},
        {"ccpCount", "CCP units", r::ccpCount, ftU8, true},
        {"hasI2c", "I2C", r::hasI2c, ftFlag, true},
        {"trisMode", "TRIS mode", r::trisMode, ftU8, true},
        {"hasLcd", "LCD driver", r::hasLcd, ftFlag, true},
        {"programWords", "Program memory (words)", r::programWords, ftU32, true},
        {"dataBytes", "Data memory (bytes)", r::dataBytes, ftU16, true},
        {"adcChannels", "A/D channels", r::adcChannels, ftU8, true},
        {"hasProgramMemoryAccess", "Program memory access", r::hasProgramMemoryAccess, ftFlag, true},
        {"portMaskA", "Port A pins", r::portMaskAtoG + 0, ftPorts, true},
        {"portMaskB", "Port B pins", r::portMaskAtoG + 1, ftPorts, true},
        {"portMaskC", "Port C pins", r::portMaskAtoG + 2, ftPorts, true},
        {"portMaskD", "Port D pins", r::portMaskAtoG + 3, ftPorts, true},
        {"portMaskE", "Port E pins", r::portMaskAtoG + 4, ftPorts, true},
        {"portMaskF", "Port F pins", r::portMaskAtoG + 5, ftPorts, true},
        {"portMaskG", "Port G pins", r::portMaskAtoG + 6, ftPorts, true},
        {"id", "Device id", r::id, ftU16, true},
        {"hasI2cMaster", "I2C master", r::hasI2cMaster, ftFlag, true},
        {"hasUsart9Bit", "9-bit USART", r::hasUsart9Bit, ftFlag, true},
        {"dataSheet", "Data sheet", r::dataSheet, ftText, true},
        {"hasTimer3", "Timer 3", r::hasTimer3, ftFlag, true},
        {"hasCan", "CAN", r::hasCan, ftFlag, true},
        {"portMaskH", "Port H pins", r::portMaskH, ftPorts, true},
        {"portMaskJ", "Port J pins", r::portMaskJ, ftPorts, true},
        {"portMaskK", "Port K pins", r::portMaskK, ftPorts, true},
        {"hasTimer2", "Timer 2", r::hasTimer2, ftFlag, true},
        {"adcClockOption", "A/D clock option", r::adcClockOption, ftU8, true},
        {"adcChannelOption", "A/D channel option", r::adcChannelOption, ftU8, true},
        {"adcBits", "A/D resolution (bits)", r::adcBits, ftU8, true},
        {"hasTimer4", "Timer 4", r::hasTimer4, ftFlag, true},
        {"hasUsart2", "Second USART", r::hasUsart2, ftFlag, true},
        {"hasVref", "Voltage reference", r::hasVref, ftFlag, true},
        {"hasUsb", "USB", r::hasUsb, ftFlag, true},
        // The block count follows from the fuse table; changing it by hand would cut entries off.
        {"hasSecondBlock", "Second block", r::hasSecondBlock, ftU8, false},
    };
    return fields;
}

const TRecordField *FindRecordField(const char *name)
{
    for (const TRecordField &f : RecordFields())
        if (qstrcmp(f.name, name) == 0)
            return &f;
    return nullptr;
}

QString FieldText(const DeviceRecord &record, const TRecordField &field)
{
    switch (field.type) {
    case ftName: return record.name();
    case ftText: return record.dataSheet();
    case ftU8: return QString::number(record.Byte(field.offset));
    case ftU16: return QString::number(record.Word(field.offset));
    case ftU32: return QString::number(U32(record, field.offset));
    case ftFlag: return record.Flag(field.offset) ? QStringLiteral("1") : QStringLiteral("0");
    case ftPorts: return QStringLiteral("%1").arg(record.Byte(field.offset), 2, 16, QLatin1Char('0')).toUpper();
    }
    return {};
}

bool SetFieldText(DeviceRecord &record, const TRecordField &field, const QString &text, QString *error)
{
    if (!field.editable) {
        *error = QStringLiteral("%1 cannot be changed here").arg(QLatin1String(field.caption));
        return false;
    }
    switch (field.type) {
    case ftName:
    case ftText: {
        const int max = field.type == ftName ? devrec::nameMax : devrec::dataSheetMax;
        if (text.size() > max) {
            *error = QStringLiteral("%1 takes at most %2 characters").arg(QLatin1String(field.caption)).arg(max);
            return false;
        }
        for (QChar c : text) {
            if (c.unicode() > 0xFF || c.unicode() < 0x20) {
                *error = QStringLiteral("'%1' cannot be stored in %2").arg(c).arg(QLatin1String(field.caption));
                return false;
            }
        }
        if (field.type == ftName) {
            if (text.trimmed().isEmpty() || text.startsWith(QLatin1Char('@'))) {
                *error = QStringLiteral("A device name is not empty and does not begin with \"@\"");
                return false;
            }
            record.setName(text);
        } else {
            record.setDataSheet(text);
        }
        return true;
    }
    case ftFlag: {
        const QString t = text.trimmed();
        if (t != QLatin1String("0") && t != QLatin1String("1")) {
            *error = QStringLiteral("%1 is 1 (present) or 0 (absent)").arg(QLatin1String(field.caption));
            return false;
        }
        record.SetFlag(field.offset, t == QLatin1String("1"));
        return true;
    }
    case ftPorts: {
        bool ok = false;
        const uint v = text.trimmed().toUInt(&ok, 16);
        if (!ok || v > 0xFF) {
            *error = QStringLiteral("%1 are two hexadecimal digits, bit n for pin n").arg(QLatin1String(field.caption));
            return false;
        }
        record.SetByte(field.offset, uint8_t(v));
        return true;
    }
    case ftU8:
    case ftU16:
    case ftU32: {
        const uint64_t limit = field.type == ftU8 ? 0xFF : field.type == ftU16 ? 0xFFFF : 0xFFFFFFFFull;
        uint64_t v = 0;
        if (!ParseUnsigned(text, field.offset == devrec::kind ? uint64_t(dkFamily6) : limit, &v, error))
            return false;
        if (field.type == ftU8)
            record.SetByte(field.offset, uint8_t(v));
        else if (field.type == ftU16)
            record.SetWord(field.offset, uint16_t(v));
        else {
            record.SetWord(field.offset, uint16_t(v & 0xFFFF));
            record.SetWord(field.offset + 2, uint16_t(v >> 16));
        }
        return true;
    }
    }
    return false;
}

QString KindName(int kind)
{
    switch (kind) {
    case dkPic12: return QStringLiteral("12-bit core");
    case dkPic14: return QStringLiteral("14-bit core");
    case dkPic18: return QStringLiteral("PIC18");
    case dkSx: return QStringLiteral("SX");
    default: return QStringLiteral("family %1").arg(kind);
    }
}

QString PortLetters()
{
    return QStringLiteral("ABCDEFGHJK");
}

TDeviceSummary Summarize(const DeviceRecord &record)
{
    TDeviceSummary s;
    s.programWords = U32(record, devrec::programWords);
    s.dataBytes = record.Word(devrec::dataBytes);
    if (s.dataBytes == 0 && record.kind() == dkPic14) {
        for (int a = 0; a < 512; ++a)
            s.dataBytes += record.ramMap(a) != 0 ? 1 : 0;
    }
    s.eepromBytes = record.eepromSize() * 16;
    for (QChar port : PortLetters())
        s.ioPins += std::popcount(unsigned(record.portMask(char(port.unicode()))));
    s.adcChannels = record.adcChannels();
    s.usart = record.hasUsart() || record.hasUsart2();
    s.spi = record.hasSpi();
    s.i2c = record.hasI2c() || record.hasI2cMaster();
    return s;
}

QList<TFuseGroup> FuseGroups(const DeviceRecord &record, const FuseNameTable &names)
{
    QList<TFuseGroup> groups;
    for (int entry = 1; entry <= kMaxFuseEntry; ++entry) {
        const uint16_t mask = FuseMask(record, uint8_t(entry));
        if (mask == 0)
            continue;
        TFuseChoice choice;
        choice.entry = entry;
        choice.mask = mask;
        choice.value = FuseValue(record, uint8_t(entry));
        choice.name = FuseNameIn(names, FuseNameIndex(record, uint8_t(entry)));
        if (choice.name.isEmpty())
            choice.name = QStringLiteral("(entry %1)").arg(entry);
        const int word = FuseWord(record, uint8_t(entry));
        auto group = std::find_if(groups.begin(), groups.end(), [&](const TFuseGroup &g) {
            return g.mask == mask && g.word == word;
        });
        if (group == groups.end()) {
            groups.append(TFuseGroup{mask, word, {}});
            group = groups.end() - 1;
        }
        group->choices.append(choice);
    }
    return groups;
}

QList<TInterruptInfo> Interrupts(const DeviceRecord &record)
{
    QList<TInterruptInfo> list;
    const QChar letter = InterruptTableOfKind(record.kind());
    const int named = qMin(InterruptTableSize(letter), kListedInterrupts);
    for (int n = 0; n < 64; ++n) {
        const QString name = n >= 1 && n <= named ? InterruptNameIn(letter, n) : QString();
        const bool present = record.hasInterrupt(n);
        if (name.isEmpty() && !present)
            continue;
        list.append(TInterruptInfo{n, name.isEmpty() ? QStringLiteral("#%1").arg(n) : name, present});
    }
    return list;
}

bool Matches(const DeviceRecord &record, const TDeviceFilter &f)
{
    const TDeviceSummary s = Summarize(record);
    if (!f.name.isEmpty() && !record.name().contains(f.name.trimmed(), Qt::CaseInsensitive))
        return false;
    if (f.kind >= 0 && record.kind() != f.kind)
        return false;
    return s.programWords >= f.minProgramWords && s.dataBytes >= f.minDataBytes
        && s.eepromBytes >= f.minEepromBytes && s.adcChannels >= f.minAdcChannels
        && s.ioPins >= f.minIoPins && (!f.usart || s.usart) && (!f.spi || s.spi) && (!f.i2c || s.i2c);
}

// ---------------------------------------------------------------------------------------------

bool TChipEditModel::Load(const QString &path, QString *error)
{
    m_devices.clear();
    m_fuseNames.clear();
    m_path = path;
    QByteArray data;
    if (!ReadWholeFile(path, data, error))
        return false;
    QList<TStoredRecord> stored;
    if (!ReadStoredRecords(path, stored, error))
        return false;
    m_fileHash = FileHash(data);
    SetDeviceFile(path);
    LoadFuseNames(m_fuseNames);
    for (const TStoredRecord &r : stored) {
        if (r.record.IsControlRecord() || r.record.kind() >= 8)
            continue;
        m_devices.append(TDevice{r.block, r.record, r.record});
    }
    return true;
}

QStringList TChipEditModel::Names() const
{
    QStringList names;
    for (const TDevice &d : m_devices)
        names.append(d.current.name());
    return names;
}

int TChipEditModel::Find(const QString &name) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_devices.at(i).current.name() == name)
            return i;
    return -1;
}

QList<int> TChipEditModel::Select(const TDeviceFilter &filter) const
{
    QList<int> chosen;
    for (int i = 0; i < Count(); ++i)
        if (Matches(m_devices.at(i).current, filter))
            chosen.append(i);
    return chosen;
}

bool TChipEditModel::SetField(int index, const TRecordField &field, const QString &text, QString *error)
{
    if (index < 0 || index >= Count()) {
        *error = QStringLiteral("No device is chosen.");
        return false;
    }
    if (field.type == ftName) {
        const int other = Find(text);
        if (other >= 0 && other != index) {
            *error = QStringLiteral("Another device is already named %1").arg(text);
            return false;
        }
    }
    DeviceRecord edited = m_devices.at(index).current;
    if (!SetFieldText(edited, field, text, error))
        return false;
    m_devices[index].current = edited;
    return true;
}

void TChipEditModel::SetInterrupt(int index, int number, bool present)
{
    if (index >= 0 && index < Count())
        m_devices[index].current.setInterrupt(number, present);
}

void TChipEditModel::SetPin(int index, char port, int pin, bool present)
{
    if (index < 0 || index >= Count() || pin < 0 || pin > 7)
        return;
    DeviceRecord &r = m_devices[index].current;
    const uint8_t bit = uint8_t(1u << pin);
    r.setPortMask(port, present ? uint8_t(r.portMask(port) | bit) : uint8_t(r.portMask(port) & ~bit));
}

bool TChipEditModel::IsModified() const
{
    for (int i = 0; i < Count(); ++i)
        if (IsModified(i))
            return true;
    return false;
}

bool TChipEditModel::IsModified(int index) const
{
    return !(m_devices.at(index).current == m_devices.at(index).original);
}

void TChipEditModel::Revert(int index)
{
    if (index >= 0 && index < Count())
        m_devices[index].current = m_devices.at(index).original;
}

bool TChipEditModel::Save(QString *error)
{
    QByteArray now;
    if (!ReadWholeFile(m_path, now, error))
        return false;
    if (FileHash(now) != m_fileHash) {
        *error = QStringLiteral("%1 has changed on disk since it was read; nothing was saved. "
                                "Open it again to edit the new contents.").arg(m_path);
        return false;
    }
    QMap<qint64, DeviceRecord> replacements;
    for (const TDevice &d : m_devices)
        if (!(d.current == d.original))
            replacements.insert(d.block, d.current);
    if (replacements.isEmpty())
        return true;
    if (!ReplaceDeviceRecords(m_path, replacements, error))
        return false;
    // The file as written is the new starting point: record positions may have moved.
    QList<TDevice> edited = m_devices;
    QString reloadError;
    if (!Load(m_path, &reloadError)) {
        m_devices = edited;
        *error = reloadError;
        return false;
    }
    return true;
}

}  // namespace kiv
