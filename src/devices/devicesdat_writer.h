#pragma once

// Writes devices.dat files to the block layout pc_chipr reads: the fuse name table in blocks 0
// and 1, then one record per device (one block, or two when the record has a second block).
// Used by the installation's generator and by tests that need small files of their own.

#include "pc_chipr.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kiv {

/// One fuse entry to store in a record.
struct TFuseEntry {
    uint16_t mask = 0;
    uint16_t value = 0;
    uint8_t namePosition = 0;   ///< 1-based position in the fuse name table
    uint8_t word = 1;           ///< configuration word, 1-based
};

/// Stores fuse entry `entry` where the record layout keeps it for the record's kind, marking
/// second-word entries (kind 1) and the second block (kind 3, entries 81 to 130). Returns false,
/// and leaves the record unchanged, when the layout has no room for it: entry 0 or above 130,
/// above 50 for kinds other than 3, a word other than 1 or 2 for kind 1, other than 1 for kinds
/// 0, 2, 4, 5, 6, or 0 for kind 3.
bool SetFuseEntry(DeviceRecord &record, int entry, const TFuseEntry &fuse);

/// Highest fuse entry the layout keeps for a kind: 130 for kind 3, 50 otherwise.
int MaxFuseEntry(int kind);

class TDevicesDatWriter {
public:
    /// Room for header text: two blocks without their two-byte marks.
    static constexpr int kHeaderTextCapacity = 2 * (kDeviceBlockSize - 2);
    /// Name positions are bytes; position 0 means "no name".
    static constexpr int kMaxFuseNames = 255;

    /// Bytes the names take in the header (each name and its NUL, plus the closing NUL).
    static int HeaderTextSize(const QStringList &names);
    /// True when the names can form a fuse name table: at most 255 non-empty Latin-1 names
    /// without NUL bytes, within the two header blocks.
    static bool FuseNamesFit(const QStringList &names);

    /// Sets the fuse name table (position 1 = names[0]). Returns false and keeps the previous
    /// names when they do not fit.
    bool SetFuseNames(const QStringList &names);
    const QStringList &FuseNames() const { return m_names; }
    /// Position of `name` in the table, 0 when it is not there.
    uint8_t FuseNamePosition(const QString &name) const;

    /// Replaces the generated header with raw blocks, each padded or cut to 1024 bytes (tests).
    void SetRawHeader(const QList<QByteArray> &blocks);

    /// Appends a record: its first block, and its second block when `hasSecondBlock` is set
    /// and the record is not a control record.
    void AddRecord(const DeviceRecord &record);
    /// Appends one raw block, padded or cut to 1024 bytes (tests).
    void AddBlock(const QByteArray &block);
    /// Appends raw bytes as they are, e.g. a record cut short at the end of a file (tests).
    void AddBytes(const QByteArray &bytes);

    /// The whole file.
    QByteArray Bytes() const;
    /// Writes the file atomically; on failure `error` says why and any old file is kept.
    bool Save(const QString &path, QString *error = nullptr) const;

private:
    QByteArray HeaderBlocks() const;

    QStringList m_names;
    bool m_rawHeader = false;
    QByteArray m_header;
    QByteArray m_body;
};

/// Writes the devices.dat file at `path` again with some of its records replaced: `replacements`
/// maps the first block of a stored record (TStoredRecord::block) to its new contents. The header
/// and every other record stay byte for byte as they were; a replacement takes one block or two
/// as its hasSecondBlock byte says. The new file replaces the old one in one step, and the old
/// one is kept as the backup "devices.BAK" beside it. On failure (a block that starts no record,
/// a file that cannot be read or written) nothing on disk changes and `error` says why.
bool ReplaceDeviceRecords(const QString &path, const QMap<qint64, DeviceRecord> &replacements,
                          QString *error = nullptr);

}  // namespace kiv
