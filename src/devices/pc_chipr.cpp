#include "pc_chipr.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace kiv {

// ---------------------------------------------------------------------------------------------
// DeviceRecord

uint8_t DeviceRecord::Byte(int offset) const
{
    if (offset < 0 || offset >= kDeviceRecordSize)
        return 0;
    return bytes[size_t(offset)];
}

uint16_t DeviceRecord::Word(int offset) const
{
    return uint16_t(Byte(offset) | (Byte(offset + 1) << 8));
}

void DeviceRecord::SetByte(int offset, uint8_t value)
{
    if (offset >= 0 && offset < kDeviceRecordSize)
        bytes[size_t(offset)] = value;
}

void DeviceRecord::SetWord(int offset, uint16_t value)
{
    SetByte(offset, uint8_t(value & 0xFF));
    SetByte(offset + 1, uint8_t(value >> 8));
}

QString DeviceRecord::ShortString(int offset, int maxLength) const
{
    const int length = qMin(int(Byte(offset)), maxLength);
    QByteArray text;
    text.reserve(length);
    for (int n = 1; n <= length; ++n)
        text.append(char(Byte(offset + n)));
    return QString::fromLatin1(text);
}

void DeviceRecord::SetShortString(int offset, int maxLength, const QString &text)
{
    const QByteArray latin = text.left(maxLength).toLatin1();
    for (int n = 0; n <= maxLength; ++n)
        SetByte(offset + n, 0);
    SetByte(offset, uint8_t(latin.size()));
    for (int n = 0; n < latin.size(); ++n)
        SetByte(offset + 1 + n, uint8_t(latin[n]));
}

uint8_t DeviceRecord::ramMap(int address) const
{
    if (address < 0 || address >= 512)
        return 0;
    return Byte(devrec::ramMap + address);
}

void DeviceRecord::setRamMap(int address, uint8_t value)
{
    if (address >= 0 && address < 512)
        SetByte(devrec::ramMap + address, value);
}

bool DeviceRecord::IsControlRecord() const
{
    return Byte(devrec::name) >= 1 && Byte(devrec::name + 1) == '@';
}

namespace {

int PortOffset(char port)
{
    if (port >= 'A' && port <= 'G')
        return devrec::portMaskAtoG + (port - 'A');
    switch (port) {
    case 'H': return devrec::portMaskH;
    case 'J': return devrec::portMaskJ;
    case 'K': return devrec::portMaskK;
    default: return -1;
    }
}

}  // namespace

uint8_t DeviceRecord::portMask(char port) const
{
    const int offset = PortOffset(port);
    return offset < 0 ? 0 : Byte(offset);
}

void DeviceRecord::setPortMask(char port, uint8_t mask)
{
    const int offset = PortOffset(port);
    if (offset >= 0)
        SetByte(offset, mask);
}

bool DeviceRecord::secondWordFuse(int entry) const
{
    if (entry < 0 || entry > 55)
        return false;
    return (Byte(devrec::secondWordFuses + entry / 8) >> (entry % 8)) & 1;
}

void DeviceRecord::setSecondWordFuse(int entry, bool v)
{
    if (entry < 0 || entry > 55)
        return;
    const int offset = devrec::secondWordFuses + entry / 8;
    const uint8_t bit = uint8_t(1u << (entry % 8));
    SetByte(offset, v ? uint8_t(Byte(offset) | bit) : uint8_t(Byte(offset) & ~bit));
}

uint64_t DeviceRecord::interrupts() const
{
    uint64_t set = 0;
    for (int n = 7; n >= 0; --n)
        set = (set << 8) | Byte(devrec::interrupts + n);
    return set;
}

bool DeviceRecord::hasInterrupt(int number) const
{
    if (number < 0 || number > 63)
        return false;
    return (Byte(devrec::interrupts + number / 8) >> (number % 8)) & 1;
}

void DeviceRecord::setInterrupt(int number, bool v)
{
    if (number < 0 || number > 63)
        return;
    const int offset = devrec::interrupts + number / 8;
    const uint8_t bit = uint8_t(1u << (number % 8));
    SetByte(offset, v ? uint8_t(Byte(offset) | bit) : uint8_t(Byte(offset) & ~bit));
}

// ---------------------------------------------------------------------------------------------
// The file

namespace {

QString g_deviceFile;
FuseNameTable g_fuseNames;

// devices.dat opened as a file of 1024-byte blocks. A block cut short by the end of the file
// reads with its missing bytes as zero.
class TBlockFile {
public:
    bool Open(const QString &path)
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        const qint64 size = m_file.size();
        m_blockCount = (size + kDeviceBlockSize - 1) / kDeviceBlockSize;
        return true;
    }
    QString ErrorString() const { return m_file.errorString(); }
    qint64 BlockCount() const { return m_blockCount; }
    bool AtEnd() const { return m_position >= m_blockCount; }
    qint64 Position() const { return m_position; }
    void Seek(qint64 block) { m_position = block; }

    // Reads the block at the current position into `dst` and advances; false at the end.
    bool ReadBlock(uint8_t *dst)
    {
        if (m_position < 0 || m_position >= m_blockCount)
            return false;
        std::memset(dst, 0, kDeviceBlockSize);
        if (m_file.seek(m_position * kDeviceBlockSize)) {
            const qint64 got = m_file.read(reinterpret_cast<char *>(dst), kDeviceBlockSize);
            if (got < 0)
                std::memset(dst, 0, kDeviceBlockSize);
        }
        ++m_position;
        return true;
    }

private:
    QFile m_file;
    qint64 m_blockCount = 0;
    qint64 m_position = 0;
};

// Reads the fuse name table from blocks 0 and 1 (and any further "@A" continuation blocks).
// Returns false when block 0 is not a header; the file is then positioned at block 1.
// Afterwards the file is positioned at the first block after the header, block 2 when the
// list ends within blocks 0 or 1.
bool ReadHeader(TBlockFile &file, FuseNameTable &table)
{
    uint8_t block[kDeviceBlockSize];
    file.Seek(0);
    if (!file.ReadBlock(block) || block[0] != '@' || block[1] != '3') {
        file.Seek(1);
        return false;
    }
    table.clear();
    int blocksRead = 1;
    int p = 2;
    for (;;) {
        table.append(char(block[p]));
        ++p;
        if (p == kDeviceBlockSize) {
            if (!file.ReadBlock(block))
                return true;
            ++blocksRead;
            if (block[0] != '@' || block[1] != 'A')
                return true;
            p = 2;
        }
        // The closing pair is looked for within one block only.
        if (block[p] == 0 && block[p - 1] == 0) {
            if (blocksRead == 1)
                file.ReadBlock(block);
            return true;
        }
    }
}

// Reads one record at the current position: its first block, and its second block when the
// record says it has one (control records never do). False at the end of the file.
bool ReadRecord(TBlockFile &file, DeviceRecord &record)
{
    if (!file.ReadBlock(record.bytes.data()))
        return false;
    if (!record.IsControlRecord() && record.bytes[devrec::hasSecondBlock] != 0 && !file.AtEnd())
        file.ReadBlock(record.bytes.data() + kDeviceBlockSize);
    else
        std::memset(record.bytes.data() + kDeviceBlockSize, 0, kDeviceBlockSize);
    return true;
}

bool OpenExisting(TBlockFile &file)
{
    return QFileInfo::exists(g_deviceFile) && file.Open(g_deviceFile);
}

void ReloadSharedNames(TBlockFile &file)
{
    if (!ReadHeader(file, g_fuseNames))
        g_fuseNames.clear();
}

// The block number of a "@#" lookup: one to five decimal digits.
qint64 BlockNumber(const QString &name)
{
    const QString digits = name.mid(2, 5);
    bool ok = !digits.isEmpty();
    for (QChar c : digits)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!ok)
        throw TDeviceNumberError(QStringLiteral("'%1' is not a valid integer value").arg(digits));
    return digits.toLongLong();
}

}  // namespace

void SetDeviceFile(const QString &path)
{
    g_deviceFile = path;
}

QString DeviceFile()
{
    return g_deviceFile;
}

bool FindDevice(const QString &name, DeviceRecord &record)
{
    TBlockFile file;
    if (!OpenExisting(file))
        return false;
    ReloadSharedNames(file);

    if (name.startsWith(QLatin1String("@#"))) {
        const qint64 block = BlockNumber(name);
        if (block >= file.BlockCount()) {
            record.setName(QStringLiteral("@EOF"));
            return false;
        }
        file.Seek(block);
        ReadRecord(file, record);
        return !record.IsControlRecord()
            || (record.Byte(devrec::name) >= 2 && record.Byte(devrec::name + 2) == 'I');
    }

    while (ReadRecord(file, record)) {
        if (record.name() == name)
            return true;
    }
    return false;
}

int ListDevices(QStringList &list, KindSet kinds, uint16_t id)
{
    list.clear();
    TBlockFile file;
    if (!file.Open(g_deviceFile))
        throw TDeviceFileError(QStringLiteral("Cannot open file \"%1\". %2")
                                   .arg(g_deviceFile, file.ErrorString()));
    file.Seek(2);
    int result = 0;
    DeviceRecord record;
    while (ReadRecord(file, record)) {
        if (record.id() == id)
            result = int(list.size());
        if (KindInSet(kinds, record.kind()) && !record.IsControlRecord())
            list.append(record.name());
    }
    return result;
}

bool ForEachDevice(TDeviceVisitor visitor, KindSet kinds, void *context)
{
    return ForEachDevice([visitor, context](const DeviceRecord &record) {
        return visitor(record, context);
    }, kinds);
}

bool ForEachDevice(const std::function<bool(const DeviceRecord &)> &visitor, KindSet kinds)
{
    TBlockFile file;
    if (!OpenExisting(file))
        return true;
    ReloadSharedNames(file);
    DeviceRecord record;
    while (ReadRecord(file, record)) {
        if (record.IsControlRecord() || !KindInSet(kinds, record.kind()))
            continue;
        if (!visitor(record))
            return false;
    }
    return true;
}

bool ReadStoredRecords(const QString &path, QList<TStoredRecord> &records, QString *error)
{
    records.clear();
    TBlockFile file;
    if (!file.Open(path)) {
        if (error)
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.ErrorString());
        return false;
    }
    file.Seek(2);
    for (qint64 block = 2; !file.AtEnd();) {
        TStoredRecord stored;
        stored.block = block;
        ReadRecord(file, stored.record);
        stored.blocks = int(qMin<qint64>(2, file.Position() - block));
        block += stored.blocks;
        records.append(stored);
    }
    return true;
}

void LoadFuseNames(FuseNameTable &table)
{
    TBlockFile file;
    if (!OpenExisting(file))
        return;
    if (!ReadHeader(file, table))
        table.clear();
}

const FuseNameTable &SharedFuseNames()
{
    return g_fuseNames;
}

QString FuseName(uint8_t position)
{
    return FuseNameIn(g_fuseNames, position);
}

QString FuseNameIn(const FuseNameTable &table, uint8_t position)
{
    if (position == 0)
        return {};
    int start = 0;
    for (int n = 1; n < position; ++n) {
        const int nul = int(table.indexOf('\0', start));
        if (nul < 0)
            return {};
        start = nul + 1;
    }
    if (start >= table.size())
        return {};
    int end = int(table.indexOf('\0', start));
    if (end < 0)
        end = int(table.size());
    return QString::fromLatin1(table.mid(start, end - start));
}

QStringList FuseNameList(const FuseNameTable &table)
{
    QStringList names;
    int start = 0;
    while (start < table.size()) {
        int end = int(table.indexOf('\0', start));
        if (end < 0)
            end = int(table.size());
        names.append(QString::fromLatin1(table.mid(start, end - start)));
        start = end + 1;
    }
    return names;
}

uint16_t FuseMask(const DeviceRecord &record, uint8_t entry)
{
    if (entry <= 50)
        return record.Word(devrec::fuseMaskValue + 4 * entry);
    if (record.kind() != dkPic18)
        return 0;
    if (entry <= 80)
        return record.Word(devrec::fuseMaskValue51 + 4 * (entry - 51));
    if (entry <= kMaxFuseEntry && record.hasSecondBlock())
        return record.Word(devrec::fuseExtension + 6 * (entry - 81));
    return 0;
}

uint16_t FuseValue(const DeviceRecord &record, uint8_t entry)
{
    if (entry <= 50)
        return record.Word(devrec::fuseMaskValue + 4 * entry + 2);
    if (record.kind() != dkPic18)
        return 0;
    if (entry <= 80)
        return record.Word(devrec::fuseMaskValue51 + 4 * (entry - 51) + 2);
    if (entry <= kMaxFuseEntry && record.hasSecondBlock())
        return record.Word(devrec::fuseExtension + 6 * (entry - 81) + 2);
    return 0;
}

uint8_t FuseNameIndex(const DeviceRecord &record, uint8_t entry)
{
    if (entry <= 50)
        return record.Byte(devrec::fuseNameIndex + entry);
    if (record.kind() != dkPic18)
        return 0;
    if (entry <= 80)
        return record.Byte(devrec::fuseNameIndex51 + (entry - 51));
    if (entry <= kMaxFuseEntry && record.hasSecondBlock())
        return record.Byte(devrec::fuseExtension + 6 * (entry - 81) + 4);
    return 0;
}

uint8_t FuseWord(const DeviceRecord &record, uint8_t entry)
{
    switch (record.kind()) {
    case dkPic18:
        if (entry >= 1 && entry <= 80)
            return record.Byte(devrec::fuseWord18 + entry);
        // Entries 81 to 130 keep their word in the last byte of their six-byte slot.
        if (entry >= 81 && entry <= kMaxFuseEntry && record.hasSecondBlock())
            return record.Byte(devrec::fuseExtension + 6 * (entry - 81) + 5);
        return 0;
    case dkPic14:
        return entry <= 55 && record.secondWordFuse(entry) ? 2 : 1;
    default:
        return 1;
    }
}

int ConfigWordCount(const DeviceRecord &record, const FuseNameTable &table)
{
    if (record.kind() != dkPic18)
        return 1;
    int words = 0;
    for (int entry = 1; entry <= 255; ++entry) {
        if (FuseNameIn(table, FuseNameIndex(record, uint8_t(entry))).isEmpty())
            break;
        words = qMax(words, int(FuseWord(record, uint8_t(entry))));
    }
    return words;
}

int ConfigWordCount(const DeviceRecord &record)
{
    return ConfigWordCount(record, g_fuseNames);
}

QStringList DeviceFileProblems(const QString &path, int limit)
{
    QStringList problems;
    int more = 0;
    auto add = [&](const QString &problem) {
        if (problems.size() < limit)
            problems << problem;
        else
            ++more;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return {QStringLiteral("%1 does not exist").arg(path)};
    if (!info.isFile())
        return {QStringLiteral("%1 is not a file").arg(path)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString())};
    const qint64 size = file.size();
    if (size < 2 * kDeviceBlockSize)
        return {QStringLiteral("%1 is too short for a device database: %2 bytes, and its header alone "
                               "takes %3")
                    .arg(path)
                    .arg(size)
                    .arg(2 * kDeviceBlockSize)};

    QByteArray header = file.read(2 * kDeviceBlockSize);
    if (!header.startsWith("@3")) {
        add(QStringLiteral("%1 has a damaged header: it does not begin with \"@3\", so its fuse names "
                           "are lost")
                .arg(path));
    } else {
        // The name list ends with two NULs within block 0 or block 1 (after its "@A").
        const auto endsIn = [&header](int block) {
            const QByteArray text = header.mid(block * kDeviceBlockSize + 2, kDeviceBlockSize - 2);
            return text.contains(QByteArray("\0\0", 2));
        };
        const bool continued = header.mid(kDeviceBlockSize, 2) == "@A";
        if (!endsIn(0) && !(continued && endsIn(1)))
            add(QStringLiteral("%1 has a damaged header: its list of fuse names does not end within "
                               "the first two blocks")
                    .arg(path));
    }
    if (size % kDeviceBlockSize != 0)
        add(QStringLiteral("%1 is cut short: its length, %2 bytes, is not a whole number of %3-byte "
                           "blocks")
                .arg(path)
                .arg(size)
                .arg(kDeviceBlockSize));

    TBlockFile blocks;
    if (!blocks.Open(path))
        return problems;
    blocks.Seek(2);
    DeviceRecord record;
    qint64 at = 2;
    while (ReadRecord(blocks, record)) {
        const int length = record.Byte(devrec::name);
        QString what;
        if (length == 0) {
            what = QStringLiteral("has no name");
        } else if (length > devrec::nameMax) {
            what = QStringLiteral("has a name length of %1, more than the %2 characters a name holds")
                       .arg(length)
                       .arg(devrec::nameMax);
        } else {
            for (int n = 1; n <= length; ++n) {
                const uint8_t c = record.Byte(devrec::name + n);
                if (c < 0x20 || c == 0x7F) {
                    what = QStringLiteral("has control characters in its name");
                    break;
                }
            }
        }
        if (!what.isEmpty())
            add(QStringLiteral("%1: the record at block %2 %3").arg(path).arg(at).arg(what));
        // The next record starts where this one ended.
        const bool second = !record.IsControlRecord() && record.bytes[devrec::hasSecondBlock] != 0;
        at += second && at + 1 < blocks.BlockCount() ? 2 : 1;
    }
    if (more > 0)
        problems << QStringLiteral("and %1 more problems").arg(more);
    return problems;
}

}  // namespace kiv
