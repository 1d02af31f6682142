#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace kiv {

/// A file shown as a hexadecimal dump, read lazily: only the blocks that are looked at are
/// read, each read opening and closing the file, so a file of any size opens at once and a
/// file that changes or shrinks on disk never makes a read go out of bounds.
///
/// A row shows 16 bytes: the offset (8 hexadecimal digits, more for files past 4 GB), two
/// blanks, the bytes in hexadecimal with one extra blank after the eighth, a blank, and the
/// bytes as characters ("." for those that are not printable ASCII).
class THexFileModel {
public:
    static constexpr int kBytesPerRow = 16;

    /// Takes the file's size and forgets what was read; false (with a reason) when the file
    /// cannot be opened, leaving the model as it was.
    bool Open(const QString &path, QString *error = nullptr);
    /// Opens the same file again (after it changed on disk).
    bool Reload(QString *error = nullptr) { return Open(m_path, error); }

    QString FileName() const { return m_path; }
    qint64 Size() const { return m_size; }
    qint64 RowCount() const { return (m_size + kBytesPerRow - 1) / kBytesPerRow; }

    /// Up to `count` bytes from `offset`; shorter at the end of the file or when the file
    /// shrank since it was opened.
    QByteArray Bytes(qint64 offset, int count);

    int OffsetDigits() const;
    /// Character column (0-based) of byte `i` (0 .. 15) of a row in the hexadecimal part and
    /// in the character part, and the length of a full row.
    int HexColumn(int i) const;
    int CharColumn(int i) const;
    int RowLength() const;
    /// The byte of a row under character column `column`, -1 for none.
    int ByteAtColumn(int column) const;

    QString RowText(qint64 row);
    /// The dump of bytes [from, to): the rows that hold them, showing only those bytes.
    QString DumpText(qint64 from, qint64 to);

private:
    static constexpr qint64 kBlockSize = 64 * 1024;
    static constexpr int kCachedBlocks = 16;
    const QByteArray &Block(qint64 index);

    QString m_path;
    qint64 m_size = 0;
    QHash<qint64, QByteArray> m_blocks;
    QList<qint64> m_recent;   // block indexes, most recently used last
};

}  // namespace kiv
