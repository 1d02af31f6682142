#pragma once

#include <QByteArray>
#include <QString>

namespace kiv {

/// How a text file's bytes map to text: a file that is valid UTF-8 is read as UTF-8, any other
/// as Latin-1, and it is written back in the encoding it was read in.
enum class TTextEncoding { teUtf8, teLatin1 };
/// The line end a file uses (its first line end decides); new lines typed into it get the same.
enum class TLineEnd { leCrLf, leLf, leCr };

struct TTextFileFormat {
    TTextEncoding encoding = TTextEncoding::teUtf8;
    TLineEnd lineEnd = TLineEnd::leLf;
    friend bool operator==(const TTextFileFormat &, const TTextFileFormat &) = default;
};

/// True when `data` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const QByteArray &data);
/// The encoding and line end of a file's contents.
TTextFileFormat DetectTextFormat(const QByteArray &data);

/// The file's bytes re-coded as UTF-8 (unchanged for a UTF-8 file).
QByteArray ToUtf8(const QByteArray &data, TTextEncoding encoding);
/// UTF-8 text re-coded for writing in `encoding`. Text that Latin-1 cannot hold is written as
/// UTF-8 instead, so no character is lost; `encoding` then becomes teUtf8.
QByteArray FromUtf8(const QByteArray &utf8, TTextEncoding &encoding);

/// The whole file; false with a message in `error` when it cannot be read.
bool ReadWholeFile(const QString &path, QByteArray &data, QString *error = nullptr);

/// The backup name of a file: the same name with its extension replaced by "BAK"
/// ("main.c" -> "main.BAK", "Makefile" -> "Makefile.BAK").
QString BackupFileName(const QString &path);

/// Writes `data` as the new contents of `path` without ever leaving a half-written file: the
/// data goes to a new file beside it first; only when that succeeded is the old file moved to
/// its backup name (when `backup`, replacing an older backup) and the new one put in its place.
/// A file that exists but may not be written is refused. On failure nothing on disk changed
/// and `error` says why.
bool WriteFileSafely(const QString &path, const QByteArray &data, bool backup,
                     QString *error = nullptr);

/// The file's modification time stamp in milliseconds, or -1 when the file does not exist.
qint64 FileAge(const QString &path);

}  // namespace kiv
