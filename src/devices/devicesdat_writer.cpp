#include "devicesdat_writer.h"

#include "textfile.h"

#include <QSaveFile>
#include <QSet>

namespace kiv {

int MaxFuseEntry(int kind)
{
    return kind == dkPic18 ? kMaxFuseEntry : 50;
}

bool SetFuseEntry(DeviceRecord &record, int entry, const TFuseEntry &fuse)
{
    const int kind = record.kind();
    if (entry < 1 || entry > MaxFuseEntry(kind))
        return false;
    if (kind == dkPic18 ? fuse.word == 0 : kind == dkPic14 ? (fuse.word < 1 || fuse.word > 2) : fuse.word != 1)
        return false;

    if (entry <= 50) {
        record.SetWord(devrec::fuseMaskValue + 4 * entry, fuse.mask);
        record.SetWord(devrec::fuseMaskValue + 4 * entry + 2, fuse.value);
        record.SetByte(devrec::fuseNameIndex + entry, fuse.namePosition);
    } else if (entry <= 80) {
        record.SetWord(devrec::fuseMaskValue51 + 4 * (entry - 51), fuse.mask);
        record.SetWord(devrec::fuseMaskValue51 + 4 * (entry - 51) + 2, fuse.value);
        record.SetByte(devrec::fuseNameIndex51 + (entry - 51), fuse.namePosition);
    } else {
        const int slot = devrec::fuseExtension + 6 * (entry - 81);
        record.SetWord(slot, fuse.mask);
        record.SetWord(slot + 2, fuse.value);
        record.SetByte(slot + 4, fuse.namePosition);
        record.SetByte(slot + 5, fuse.word);
        record.setHasSecondBlock(true);
    }
    if (kind == dkPic18 && entry <= 80)
        record.SetByte(devrec::fuseWord18 + entry, fuse.word);
    if (kind == dkPic14)
        record.setSecondWordFuse(entry, fuse.word == 2);
    return true;
}

int TDevicesDatWriter::HeaderTextSize(const QStringList &names)
{
    int size = 1;
    for (const QString &name : names)
        size += int(name.toLatin1().size()) + 1;
    return size;
}

bool TDevicesDatWriter::FuseNamesFit(const QStringList &names)
{
    if (names.size() > kMaxFuseNames)
        return false;
    for (const QString &name : names) {
        if (name.isEmpty() || name.contains(QChar(0)))
            return false;
        for (QChar c : name)
            if (c.unicode() > 0xFF)
                return false;
    }
    // The closing NUL pair must lie within one block: when the text would end exactly at the
    // end of block 0, the pair needs one more byte of block 1.
    int size = HeaderTextSize(names);
    if (size == kDeviceBlockSize - 1)
        ++size;
    return size <= kHeaderTextCapacity;
}

bool TDevicesDatWriter::SetFuseNames(const QStringList &names)
{
    if (!FuseNamesFit(names))
        return false;
    m_names = names;
    m_rawHeader = false;
    return true;
}

uint8_t TDevicesDatWriter::FuseNamePosition(const QString &name) const
{
    const qsizetype index = m_names.indexOf(name);
    return index < 0 ? 0 : uint8_t(index + 1);
}

namespace {

QByteArray Padded(QByteArray block)
{
    block.truncate(kDeviceBlockSize);
    block.append(QByteArray(kDeviceBlockSize - block.size(), '\0'));
    return block;
}

}  // namespace

void TDevicesDatWriter::SetRawHeader(const QList<QByteArray> &blocks)
{
    m_rawHeader = true;
    m_header.clear();
    for (const QByteArray &block : blocks)
        m_header.append(Padded(block));
}

QByteArray TDevicesDatWriter::HeaderBlocks() const
{
    if (m_rawHeader)
        return m_header;
    QByteArray text;
    for (const QString &name : m_names) {
        text.append(name.toLatin1());
        text.append('\0');
    }
    // The closing NUL. When the last name's NUL is the final byte of block 0, the reader finds
    // the pair only in block 1 (one NUL more in its table, an empty name past the last).
    text.append('\0');
    QByteArray blocks;
    blocks.append("@3");
    blocks.append(text.left(kDeviceBlockSize - 2));
    blocks = Padded(blocks);
    QByteArray second("@A");
    second.append(text.mid(kDeviceBlockSize - 2));
    blocks.append(Padded(second));
    return blocks;
}

void TDevicesDatWriter::AddRecord(const DeviceRecord &record)
{
    m_body.append(reinterpret_cast<const char *>(record.bytes.data()), kDeviceBlockSize);
    if (record.hasSecondBlock() && !record.IsControlRecord())
        m_body.append(reinterpret_cast<const char *>(record.bytes.data()) + kDeviceBlockSize,
                      kDeviceBlockSize);
}

void TDevicesDatWriter::AddBlock(const QByteArray &block)
{
    m_body.append(Padded(block));
}

void TDevicesDatWriter::AddBytes(const QByteArray &bytes)
{
    m_body.append(bytes);
}

QByteArray TDevicesDatWriter::Bytes() const
{
    return HeaderBlocks() + m_body;
}

bool TDevicesDatWriter::Save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray data = Bytes();
    if (file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ReplaceDeviceRecords(const QString &path, const QMap<qint64, DeviceRecord> &replacements,
                          QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray old;
    QString why;
    if (!ReadWholeFile(path, old, &why))
        return fail(why);
    QList<TStoredRecord> stored;
    if (!ReadStoredRecords(path, stored, &why))
        return fail(why);
    QSet<qint64> starts;
    for (const TStoredRecord &r : stored)
        starts.insert(r.block);
    for (auto it = replacements.cbegin(); it != replacements.cend(); ++it)
        if (!starts.contains(it.key()))
            return fail(QStringLiteral("No record of %1 starts at block %2.").arg(path).arg(it.key()));

    // The header blocks and unchanged records are copied as raw bytes, so nothing the editor did
    // not touch can change (a record cut short at the end of the file stays cut short).
    QByteArray data = old.left(qint64(2) * kDeviceBlockSize);
    for (const TStoredRecord &r : stored) {
        const auto replacement = replacements.constFind(r.block);
        if (replacement == replacements.cend()) {
            data.append(old.mid(r.block * kDeviceBlockSize, qint64(r.blocks) * kDeviceBlockSize));
            continue;
        }
        TDevicesDatWriter one;
        one.SetRawHeader({});
        one.AddRecord(*replacement);
        data.append(one.Bytes());
    }
    return WriteFileSafely(path, data, true, error);
}

}  // namespace kiv
