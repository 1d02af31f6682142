#pragma once

// Text search in files, on their bytes: one file at a time through a reused buffer, and the walk
// over a folder tree. No windows and no threads: the caller runs it wherever it likes.
//
// Lines end at "\n"; a "\r" before it stays part of the line, as grep shows it. A file holding a
// NUL byte is binary and is not searched. Without "match case" the ASCII letters match in either
// case. A text with characters beyond ASCII is looked for as UTF-8 in a file that is valid UTF-8
// and as Latin-1 in any other file, so it is found in both kinds of file.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <string_view>
#include <vector>

namespace kiv {

/// What to look for, and how.
struct TFindOptions {
    QString text;             /// the text to find; never holds a line break
    bool matchCase = false;   /// false: ASCII letters match in either case
    bool wholeWord = false;   /// a match may not touch a letter, digit or "_" on either side
};

/// A letter, digit or "_" (ASCII): what a whole-word match may not touch.
inline bool IsWordByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

/// The search pattern in the bytes of one encoding, with the matching rules.
class TBytePattern {
public:
    TBytePattern() = default;
    TBytePattern(QByteArray bytes, bool matchCase, bool wholeWord);

    bool IsEmpty() const { return m_bytes.isEmpty(); }
    qsizetype Size() const { return m_bytes.size(); }
    bool MatchCase() const { return m_matchCase; }

    /// The offset of the first match in data[from, to) that passes the whole-word rule, or -1.
    /// `hay` is `data` itself with match case, else `data` with its ASCII letters in lower case
    /// (FoldCase); the word rule looks at `data` outside [from, to) too.
    qsizetype Find(const char *hay, const char *data, qsizetype size, qsizetype from,
                   qsizetype to) const;

    /// `data` with its ASCII letters in lower case, into `out` (resized to fit).
    static void FoldCase(const char *data, qsizetype size, std::vector<char> &out);

private:
    /// The next offset in [from, to) where the pattern's bytes are, ignoring the word rule.
    qsizetype FindBytes(const char *hay, qsizetype from, qsizetype to) const;

    QByteArray m_bytes;   // lower case without match case
    bool m_matchCase = false;
    bool m_wholeWord = false;
    // The byte of the pattern that is least common in source text, and where it is: a match is
    // looked for where memchr finds that byte.
    qsizetype m_rareOffset = 0;
    char m_rareByte = 0;
};

/// The patterns of one search: the text as UTF-8 and, when it holds characters beyond ASCII
/// that Latin-1 has, as Latin-1.
struct TFindPatterns {
    explicit TFindPatterns(const TFindOptions &options);

    TFindOptions options;
    TBytePattern utf8;
    TBytePattern latin1;    /// empty when the text is ASCII or Latin-1 cannot hold it
    bool ascii = true;      /// the text is plain ASCII: one pattern serves every file

    /// The pattern for a file in UTF-8 (true) or Latin-1; may be empty (nothing to find).
    const TBytePattern &For(bool utf8File) const { return utf8File || ascii ? utf8 : latin1; }
};

/// One matching line of a file, pointing into the searcher's buffer (valid during the call).
struct TLineMatch {
    qint64 line = 0;          /// 1-based line number
    std::string_view text;    /// the line's bytes without its "\n"
    qsizetype column = 0;     /// byte offset of the first match in `text`
    qsizetype length = 0;     /// bytes of the match
};

/// What became of one file.
enum TFileStatus {
    fsSearched,     /// read and searched (matches or not)
    fsBinary,       /// holds a NUL byte: not searched
    fsUnreadable,   /// could not be opened or read
    fsNotAFile,     /// not a regular file (folder, device, pipe): left alone
};

/// Searches files one after another with one reused buffer.
class TFileSearcher {
public:
    explicit TFileSearcher(const TFindOptions &options);

    const TFindPatterns &Patterns() const { return m_patterns; }

    /// Reads the file at `path` (local 8-bit name) and calls `onMatch` for each line that
    /// holds the text, in line order; only the first match of a line is reported. `error`
    /// receives the reason for fsUnreadable.
    TFileStatus SearchFile(const QByteArray &path,
                           const std::function<void(const TLineMatch &)> &onMatch,
                           QString *error = nullptr);

    /// After SearchFile: whether the file's bytes are valid UTF-8 (else Latin-1); worked out on
    /// the first call for the file.
    bool FileIsUtf8();

    /// Searches bytes already in memory the same way (the file's contents); NUL bytes are not
    /// checked. Returns the number of matching lines.
    qint64 SearchBytes(const char *data, qsizetype size, bool utf8File,
                       const std::function<void(const TLineMatch &)> &onMatch);

private:
    bool ReadFile(const QByteArray &path, QString *error, bool *notAFile);

    TFindPatterns m_patterns;
    std::vector<char> m_buffer;
    std::vector<char> m_folded;
    qsizetype m_size = 0;
    int m_utf8 = -1;   // -1 not worked out yet
};

/// Counts of a walk over folders and files.
struct TWalkCounts {
    qint64 unreadableFolders = 0;
};

/// Calls `onFile` with the path of every regular file in `folder` (local 8-bit, without a
/// trailing "/"), in byte order of the names, entering sub-folders when `subfolders` is set.
/// Symbolic links met on the way are not followed (as grep -r does), so a link cycle cannot
/// trap the walk. Stops early when `cancel` becomes true or `onFile` returns false. False when
/// the folder itself cannot be listed.
bool WalkFolder(const QByteArray &folder, bool subfolders,
                const std::function<bool(const QByteArray &path)> &onFile,
                const std::atomic<bool> *cancel = nullptr, TWalkCounts *counts = nullptr);

/// Appends a match as grep -rn prints it: "path:line:text" and a line break.
void AppendGrepLine(QByteArray &out, const QByteArray &path, const TLineMatch &match);

/// A folder path as grep prints it: trailing "/" removed (except for "/" itself).
QByteArray TrimFolderPath(const QByteArray &folder);

/// The text of a matched line for people: decoded as UTF-8 or Latin-1, without a final "\r".
QString DecodeMatchedLine(std::string_view text, bool utf8);
/// The 1-based column (in characters) of a byte offset in a matched line.
int CharacterColumn(std::string_view text, qsizetype byteOffset, bool utf8);

}  // namespace kiv
