#include "hexviewer_model.h"

#include <QFile>
#include <QFileInfo>

namespace kiv {

bool THexFileModel::Open(const QString &path, QString *error)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "Cannot open " + path + ": "
                     + (QFileInfo(path).isDir() ? QStringLiteral("Is a directory") : file.errorString());
        return false;
    }
    m_path = path;
    m_size = file.size();
    m_blocks.clear();
    m_recent.clear();
    return true;
}

const QByteArray &THexFileModel::Block(qint64 index)
{
    auto found = m_blocks.find(index);
    if (found != m_blocks.end()) {
        m_recent.removeOne(index);
        m_recent.append(index);
        return found.value();
    }
    QByteArray data;
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly) && file.seek(index * kBlockSize))
        data = file.read(kBlockSize);
    if (m_recent.size() >= kCachedBlocks)
        m_blocks.remove(m_recent.takeFirst());
    m_recent.append(index);
    return m_blocks.insert(index, data).value();
}

QByteArray THexFileModel::Bytes(qint64 offset, int count)
{
    QByteArray out;
    if (offset < 0 || count <= 0 || offset >= m_size)
        return out;
    const qint64 end = qMin(m_size, offset + count);
    while (offset < end) {
        const QByteArray &block = Block(offset / kBlockSize);
        const qint64 inBlock = offset % kBlockSize;
        if (inBlock >= block.size())
            break;   // the file is shorter now than when it was opened
        const qint64 take = qMin<qint64>(end - offset, block.size() - inBlock);
        out.append(block.constData() + inBlock, take);
        offset += take;
    }
    return out;
}

int THexFileModel::OffsetDigits() const
{
    int digits = 8;
    while (digits < 16 && (m_size >> (4 * digits)) != 0)
        ++digits;
    return digits;
}

int THexFileModel::HexColumn(int i) const
{
    return OffsetDigits() + 2 + i * 3 + (i >= 8 ? 1 : 0);
}

int THexFileModel::CharColumn(int i) const
{
    return HexColumn(kBytesPerRow - 1) + 4 + i;
}

int THexFileModel::RowLength() const
{
    return CharColumn(kBytesPerRow - 1) + 1;
}

int THexFileModel::ByteAtColumn(int column) const
{
    for (int i = 0; i < kBytesPerRow; ++i) {
        if (column >= HexColumn(i) && column <= HexColumn(i) + 1)
            return i;
        if (column == CharColumn(i))
            return i;
    }
    return -1;
}

namespace {

QChar Printable(char byte)
{
    const auto c = static_cast<unsigned char>(byte);
    return c >= 0x20 && c < 0x7F ? QChar(c) : QChar('.');
}

}  // namespace

QString THexFileModel::DumpText(qint64 from, qint64 to)
{
    from = qMax<qint64>(0, from);
    to = qMin(to, m_size);
    QString text;
    static const char digits[] = "0123456789ABCDEF";
    for (qint64 row = from / kBytesPerRow; row * kBytesPerRow < to; ++row) {
        const qint64 rowStart = row * kBytesPerRow;
        const QByteArray bytes = Bytes(rowStart, kBytesPerRow);
        QString line(RowLength(), QChar(' '));
        const QString offset = QString::number(rowStart, 16).toUpper().rightJustified(OffsetDigits(), '0');
        line.replace(0, offset.size(), offset);
        for (int i = 0; i < bytes.size(); ++i) {
            const qint64 at = rowStart + i;
            if (at < from || at >= to)
                continue;
            const auto c = static_cast<unsigned char>(bytes[i]);
            line[HexColumn(i)] = QChar(digits[c >> 4]);
            line[HexColumn(i) + 1] = QChar(digits[c & 15]);
            line[CharColumn(i)] = Printable(bytes[i]);
        }
        // A short last row ends after its last character.
        while (line.endsWith(' '))
            line.chop(1);
        text += line;
        text += '\n';
    }
    return text;
}

QString THexFileModel::RowText(qint64 row)
{
    QString line = DumpText(row * kBytesPerRow, (row + 1) * kBytesPerRow);
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

}  // namespace kiv
