#include "kivfif_search.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kiv {

namespace {

// ASCII lower case of every byte value, the rest unchanged.
struct TFoldTable {
    unsigned char map[256];
    constexpr TFoldTable() : map()
    {
        for (int c = 0; c < 256; ++c)
            map[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
};
constexpr TFoldTable kFold;

QByteArray Folded(QByteArray bytes)
{
    for (char &c : bytes)
        c = static_cast<char>(kFold.map[static_cast<unsigned char>(c)]);
    return bytes;
}

qint64 CountNewlines(const char *p, qsizetype n)
{
    // Eight bytes at a time: a byte of the word equal to "\n" becomes 0 after the XOR, and the
    // exact zero-byte test sets its top bit alone.
    constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr quint64 kNewlines = 0x0A0A0A0A0A0A0A0AULL;
    qint64 count = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        const quint64 x = word ^ kNewlines;
        const quint64 zero = ~(((x & kLow7) + kLow7) | x | kLow7);
        count += __builtin_popcountll(zero);
    }
    for (; i < n; ++i)
        count += p[i] == '\n';
    return count;
}

// How common a byte is in source text, higher is more common; the rarest byte of a pattern is
// the one searched for.
int Commonness(unsigned char c)
{
    static const char kOrder[] = " etaoinsrlcdhupmfgbyvwkxqjz";   // most common first
    if (c == ' ' || c == '\t')
        return 100;
    if (c == '\n' || c == '\r')
        return 95;
    if (c >= 'a' && c <= 'z')
        return 80 - int(std::strchr(kOrder, c) - kOrder);
    if (c >= '0' && c <= '9')
        return 50;
    if (c >= 'A' && c <= 'Z')
        return 40;
    if (std::strchr("();,=_*/{}.", c))
        return 60;
    return c < 0x80 ? 20 : 10;
}

bool IsValidUtf8Bytes(const unsigned char *p, const unsigned char *end)
{
    while (p < end) {
        // Runs of ASCII go eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned min = 0;
        unsigned value = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, value = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (p[i] & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

}  // namespace

// --- TBytePattern --------------------------------------------------------------------------------

TBytePattern::TBytePattern(QByteArray bytes, bool matchCase, bool wholeWord)
    : m_bytes(matchCase ? std::move(bytes) : Folded(std::move(bytes)))
    , m_matchCase(matchCase)
    , m_wholeWord(wholeWord)
{
    int best = 1000;
    for (qsizetype i = 0; i < m_bytes.size(); ++i) {
        const int commonness = Commonness(static_cast<unsigned char>(m_bytes[i]));
        if (commonness < best) {
            best = commonness;
            m_rareOffset = i;
            m_rareByte = m_bytes[i];
        }
    }
}

qsizetype TBytePattern::FindBytes(const char *hay, qsizetype from, qsizetype to) const
{
    const qsizetype m = m_bytes.size();
    const char *pattern = m_bytes.constData();
    // Candidates are where memchr finds the rare byte; when they keep failing (a pattern of
    // common bytes), memmem takes over.
    qsizetype misses = 0;
    qsizetype p = from + m_rareOffset;
    const qsizetype last = to - m + m_rareOffset;   // the last place the rare byte may be
    while (p <= last) {
        if (misses > 64) {
            const void *hit = memmem(hay + p - m_rareOffset, size_t(to - (p - m_rareOffset)), pattern, size_t(m));
            return hit ? static_cast<const char *>(hit) - hay : -1;
        }
        const void *hit = std::memchr(hay + p, m_rareByte, size_t(last - p + 1));
        if (!hit)
            return -1;
        const qsizetype start = static_cast<const char *>(hit) - hay - m_rareOffset;
        if (std::memcmp(hay + start, pattern, size_t(m)) == 0)
            return start;
        ++misses;
        p = start + m_rareOffset + 1;
    }
    return -1;
}

qsizetype TBytePattern::Find(const char *hay, const char *data, qsizetype size, qsizetype from,
                             qsizetype to) const
{
    const qsizetype m = m_bytes.size();
    if (m == 0)
        return -1;
    while (to - from >= m) {
        const qsizetype at = FindBytes(hay, from, to);
        if (at < 0)
            return -1;
        if (!m_wholeWord)
            return at;
        const bool before = at > 0 && IsWordByte(static_cast<unsigned char>(data[at - 1]));
        const bool after = at + m < size && IsWordByte(static_cast<unsigned char>(data[at + m]));
        if (!before && !after)
            return at;
        from = at + 1;
    }
    return -1;
}

void TBytePattern::FoldCase(const char *data, qsizetype size, std::vector<char> &out)
{
    out.resize(size_t(size));
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    for (qsizetype i = 0; i < size; ++i)
        o[i] = kFold.map[in[i]];
}

// --- TFindPatterns -------------------------------------------------------------------------------

TFindPatterns::TFindPatterns(const TFindOptions &o)
    : options(o)
{
    const QByteArray bytes = o.text.toUtf8();
    ascii = std::all_of(bytes.cbegin(), bytes.cend(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    utf8 = TBytePattern(bytes, o.matchCase, o.wholeWord);
    if (!ascii) {
        const bool latin1Fits = std::all_of(o.text.cbegin(), o.text.cend(),
                                            [](QChar c) { return c.unicode() <= 0xFF; });
        if (latin1Fits)
            latin1 = TBytePattern(o.text.toLatin1(), o.matchCase, o.wholeWord);
    }
}

// --- TFileSearcher -------------------------------------------------------------------------------

TFileSearcher::TFileSearcher(const TFindOptions &options)
    : m_patterns(options)
{
}

bool TFileSearcher::ReadFile(const QByteArray &path, QString *error, bool *notAFile)
{
    *notAFile = false;
    m_size = 0;
    // Not blocking: a pipe must not stall the search (it is refused below anyway).
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = SystemError(errno);
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *notAFile = true;
        return false;
    }
    size_t want = size_t(st.st_size) + 1;   // one more byte tells that the end was reached
    if (m_buffer.size() < want)
        m_buffer.resize(want);
    size_t have = 0;
    for (;;) {
        if (have == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        const ssize_t got = ::read(fd, m_buffer.data() + have, m_buffer.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (error)
                *error = SystemError(errno);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        have += size_t(got);
    }
    ::close(fd);
    m_size = qsizetype(have);
    return true;
}

bool TFileSearcher::FileIsUtf8()
{
    if (m_utf8 < 0) {
        const auto *p = reinterpret_cast<const unsigned char *>(m_buffer.data());
        m_utf8 = IsValidUtf8Bytes(p, p + m_size) ? 1 : 0;
    }
    return m_utf8 == 1;
}

TFileStatus TFileSearcher::SearchFile(const QByteArray &path,
                                      const std::function<void(const TLineMatch &)> &onMatch,
                                      QString *error)
{
    m_utf8 = -1;
    bool notAFile = false;
    if (!ReadFile(path, error, &notAFile))
        return notAFile ? fsNotAFile : fsUnreadable;
    if (m_size > 0 && std::memchr(m_buffer.data(), 0, size_t(m_size)))
        return fsBinary;
    // The encoding matters only for a text beyond ASCII; otherwise it is asked for later.
    const bool utf8 = m_patterns.ascii || FileIsUtf8();
    SearchBytes(m_buffer.data(), m_size, utf8, onMatch);
    return fsSearched;
}

qint64 TFileSearcher::SearchBytes(const char *data, qsizetype size, bool utf8File,
                                  const std::function<void(const TLineMatch &)> &onMatch)
{
    const TBytePattern &pattern = m_patterns.For(utf8File);
    if (pattern.IsEmpty() || size < pattern.Size())
        return 0;
    const char *hay = data;
    if (!pattern.MatchCase()) {
        TBytePattern::FoldCase(data, size, m_folded);
        hay = m_folded.data();
    }

    qint64 found = 0;
    qint64 line = 1;
    qsizetype counted = 0;   // newlines before this offset are in `line`
    qsizetype from = 0;      // always the start of a line
    while (from < size) {
        const qsizetype at = pattern.Find(hay, data, size, from, size);
        if (at < 0)
            break;
        const void *back = at > from ? memrchr(data + from, '\n', size_t(at - from)) : nullptr;
        const qsizetype lineStart = back ? static_cast<const char *>(back) - data + 1 : from;
        const void *fwd = std::memchr(data + at, '\n', size_t(size - at));
        const qsizetype lineEnd = fwd ? static_cast<const char *>(fwd) - data : size;
        line += CountNewlines(data + counted, lineStart - counted);
        counted = lineStart;
        TLineMatch match;
        match.line = line;
        match.text = std::string_view(data + lineStart, size_t(lineEnd - lineStart));
        match.column = at - lineStart;
        match.length = pattern.Size();
        onMatch(match);
        ++found;
        from = lineEnd + 1;
    }
    return found;
}

void AppendGrepLine(QByteArray &out, const QByteArray &path, const TLineMatch &match)
{
    char number[24];
    char *end = number + sizeof number;
    char *p = end;
    qint64 n = match.line;
    do {
        *--p = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    out.append(path);
    out.append(':');
    out.append(p, end - p);
    out.append(':');
    out.append(match.text.data(), qsizetype(match.text.size()));
    out.append('\n');
}

// --- walking folders -----------------------------------------------------------------------------

QByteArray TrimFolderPath(const QByteArray &folder)
{
    QByteArray path = folder;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

namespace {

struct TEntry {
    std::string name;
    unsigned char type;
};

bool Walk(const QByteArray &folder, bool subfolders,
          const std::function<bool(const QByteArray &)> &onFile,
          const std::atomic<bool> *cancel, TWalkCounts *counts, bool *stopped)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    std::vector<TEntry> entries;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        entries.push_back({e->d_name, e->d_type});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const TEntry &a, const TEntry &b) { return a.name < b.name; });

    const QByteArray prefix = folder == "/" ? folder : folder + '/';
    for (const TEntry &entry : entries) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            *stopped = true;
            return true;
        }
        const QByteArray path = prefix + QByteArray::fromStdString(entry.name);
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN) {
            struct stat st{};
            if (::lstat(path.constData(), &st) != 0)
                continue;
            type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
        }
        if (type == DT_REG) {
            if (!onFile(path)) {
                *stopped = true;
                return true;
            }
        } else if (type == DT_DIR && subfolders) {
            if (!Walk(path, subfolders, onFile, cancel, counts, stopped)) {
                if (counts)
                    ++counts->unreadableFolders;
            }
            if (*stopped)
                return true;
        }
    }
    return true;
}

}  // namespace

bool WalkFolder(const QByteArray &folder, bool subfolders,
                const std::function<bool(const QByteArray &path)> &onFile,
                const std::atomic<bool> *cancel, TWalkCounts *counts)
{
    bool stopped = false;
    return Walk(TrimFolderPath(folder), subfolders, onFile, cancel, counts, &stopped);
}

// --- text for people -----------------------------------------------------------------------------

QString DecodeMatchedLine(std::string_view text, bool utf8)
{
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return utf8 ? QString::fromUtf8(text.data(), qsizetype(text.size()))
                : QString::fromLatin1(text.data(), qsizetype(text.size()));
}

int CharacterColumn(std::string_view text, qsizetype byteOffset, bool utf8)
{
    if (!utf8)
        return int(byteOffset) + 1;
    int column = 1;
    for (qsizetype i = 0; i < byteOffset && i < qsizetype(text.size()); ++i) {
        // Every byte that does not continue a character starts one.
        if ((static_cast<unsigned char>(text[size_t(i)]) & 0xC0) != 0x80)
            ++column;
    }
    return column;
}

}  // namespace kiv
