#include "fastfc.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace kiv {

// --- the difference algorithm -------------------------------------------------------------------

CIntArrayDiff::CIntArrayDiff(std::vector<int> a, std::vector<int> b) : m_a(std::move(a)), m_b(std::move(b)) {}

void CIntArrayDiff::Compute()
{
    if (m_computed)
        return;
    m_computed = true;
    const int n = int(m_a.size());
    const int m = int(m_b.size());
    m_deleted.assign(n, false);
    m_inserted.assign(m, false);

    // A line whose key the other sequence lacks is never part of a common subsequence: it is
    // marked at once and left out of the search, which then runs on far shorter sequences.
    int maxKey = 0;
    for (int k : m_a)
        maxKey = std::max(maxKey, k);
    for (int k : m_b)
        maxKey = std::max(maxKey, k);
    std::vector<uint8_t> inA(size_t(maxKey) + 1, 0), inB(size_t(maxKey) + 1, 0);
    for (int k : m_a)
        inA[k] = 1;
    for (int k : m_b)
        inB[k] = 1;
    for (int i = 0; i < n; ++i) {
        if (inB[m_a[i]]) {
            m_ra.push_back(m_a[i]);
            m_mapA.push_back(i);
        } else {
            m_deleted[i] = true;
        }
    }
    for (int j = 0; j < m; ++j) {
        if (inA[m_b[j]]) {
            m_rb.push_back(m_b[j]);
            m_mapB.push_back(j);
        } else {
            m_inserted[j] = true;
        }
    }
    const int rn = int(m_ra.size());
    const int rm = int(m_rb.size());
    m_rdel.assign(rn, false);
    m_rins.assign(rm, false);
    m_offset = rm + 1;
    m_fd.assign(size_t(rn) + rm + 3, 0);
    m_bd.assign(size_t(rn) + rm + 3, 0);
    CompareSeq(0, rn, 0, rm);
    for (int i = 0; i < rn; ++i)
        if (m_rdel[i])
            m_deleted[m_mapA[i]] = true;
    for (int j = 0; j < rm; ++j)
        if (m_rins[j])
            m_inserted[m_mapB[j]] = true;
    m_fd = {};
    m_bd = {};
    m_ra = {};
    m_rb = {};
}

// The middle snake of A[xoff, xlim) and B[yoff, ylim): searched from both ends at once along
// the diagonals k = x − y until the two searches overlap; the point returned lies on a
// shortest edit path. Half-open, 0-based ranges.
void CIntArrayDiff::FindMiddle(int xoff, int xlim, int yoff, int ylim, int *xmid, int *ymid)
{
    const int *a = m_ra.data();
    const int *b = m_rb.data();
    int *fd = m_fd.data() + m_offset;
    int *bd = m_bd.data() + m_offset;
    const int dmin = xoff - ylim;
    const int dmax = xlim - yoff;
    const int fmid = xoff - yoff;
    const int bmid = xlim - ylim;
    int fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
    const bool odd = (fmid - bmid) & 1;
    fd[fmid] = xoff;
    bd[bmid] = xlim;
    for (;;) {
        if (fmin > dmin)
            fd[--fmin - 1] = -1;
        else
            ++fmin;
        if (fmax < dmax)
            fd[++fmax + 1] = -1;
        else
            --fmax;
        for (int d = fmax; d >= fmin; d -= 2) {
            const int tlo = fd[d - 1], thi = fd[d + 1];
            int x = tlo >= thi ? tlo + 1 : thi;
            int y = x - d;
            while (x < xlim && y < ylim && a[x] == b[y]) {
                ++x;
                ++y;
            }
            fd[d] = x;
            if (odd && bmin <= d && d <= bmax && bd[d] <= x) {
                *xmid = x;
                *ymid = y;
                return;
            }
        }
        if (bmin > dmin)
            bd[--bmin - 1] = INT_MAX;
        else
            ++bmin;
        if (bmax < dmax)
            bd[++bmax + 1] = INT_MAX;
        else
            --bmax;
        for (int d = bmax; d >= bmin; d -= 2) {
            const int tlo = bd[d - 1], thi = bd[d + 1];
            int x = tlo < thi ? tlo : thi - 1;
            int y = x - d;
            while (x > xoff && y > yoff && a[x - 1] == b[y - 1]) {
                --x;
                --y;
            }
            bd[d] = x;
            if (!odd && fmin <= d && d <= fmax && x <= fd[d]) {
                *xmid = x;
                *ymid = y;
                return;
            }
        }
    }
}

void CIntArrayDiff::CompareSeq(int xoff, int xlim, int yoff, int ylim)
{
    // Common prefixes and suffixes are matched directly; the rest is split at a middle snake.
    // The recursion depth grows with log(D) only, as each half holds at most half the edits.
    const int *a = m_ra.data();
    const int *b = m_rb.data();
    while (xoff < xlim && yoff < ylim && a[xoff] == b[yoff]) {
        ++xoff;
        ++yoff;
    }
    while (xlim > xoff && ylim > yoff && a[xlim - 1] == b[ylim - 1]) {
        --xlim;
        --ylim;
    }
    if (xoff == xlim) {
        for (int j = yoff; j < ylim; ++j)
            m_rins[j] = true;
    } else if (yoff == ylim) {
        for (int i = xoff; i < xlim; ++i)
            m_rdel[i] = true;
    } else {
        int xmid = 0, ymid = 0;
        FindMiddle(xoff, xlim, yoff, ylim, &xmid, &ymid);
        CompareSeq(xoff, xmid, yoff, ymid);
        CompareSeq(xmid, xlim, ymid, ylim);
    }
}

const std::vector<bool> &CIntArrayDiff::Deleted()
{
    Compute();
    return m_deleted;
}

const std::vector<bool> &CIntArrayDiff::Inserted()
{
    Compute();
    return m_inserted;
}

const std::vector<TLcsRun> &CIntArrayDiff::GetLcs()
{
    Compute();
    if (!m_haveLcs) {
        m_haveLcs = true;
        const int n = int(m_a.size()), m = int(m_b.size());
        int i = 0, j = 0;
        while (i < n && j < m) {
            if (m_deleted[i]) {
                ++i;
            } else if (m_inserted[j]) {
                ++j;
            } else {
                if (!m_lcs.empty() && m_lcs.back().x + m_lcs.back().length == i + 1 &&
                    m_lcs.back().y + m_lcs.back().length == j + 1)
                    ++m_lcs.back().length;
                else
                    m_lcs.push_back({i + 1, j + 1, 1});
                ++i;
                ++j;
            }
        }
    }
    return m_lcs;
}

const std::vector<TEdit> &CIntArrayDiff::GetEditScript()
{
    Compute();
    if (!m_haveScript) {
        m_haveScript = true;
        const int n = int(m_a.size()), m = int(m_b.size());
        int i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && m_deleted[i]) {
                m_script.push_back({TEdit::Delete, i + 1, 0, 0});
                ++i;
            } else if (j < m && m_inserted[j]) {
                m_script.push_back({TEdit::Insert, 0, j + 1, i});
                ++j;
            } else {
                ++i;
                ++j;
            }
        }
    }
    return m_script;
}

// --- lines and their keys -----------------------------------------------------------------------

void TTextLines::Split()
{
    lines.clear();
    finalBreak = true;
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *stop = nl ? nl : end;
        const char *lineEnd = stop;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        lines.emplace_back(p, size_t(lineEnd - p));
        if (!nl) {
            finalBreak = false;
            break;
        }
        p = nl + 1;
    }
}

namespace {

uint64_t HashBytes(std::string_view s)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    const char *p = s.data();
    size_t n = s.size();
    while (n >= 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        h = (h ^ v) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    uint64_t v = 0;
    std::memcpy(&v, p, n);
    h = (h ^ v) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

}  // namespace

void LineKeys(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b,
              std::vector<int> *keysA, std::vector<int> *keysB)
{
    // Open addressing with 8-byte slots (high half of the hash, key + 1), at most half full:
    // equal lines get equal keys, and only equal lines do, as the text is compared whenever
    // the hashes agree.
    size_t capacity = 16;
    while (capacity < 2 * std::max(a.size(), b.size()) + 2)
        capacity *= 2;
    std::vector<uint64_t> table(capacity, 0);
    std::vector<std::string_view> texts;
    texts.reserve(a.size() + b.size());
    const size_t mask = capacity - 1;
    // Hashes are computed a batch ahead and their slots fetched into the cache meanwhile.
    constexpr size_t kBatch = 32;
    uint64_t hashes[kBatch];
    auto fill = [&](const std::vector<std::string_view> &lines, std::vector<int> *keys) {
        keys->resize(lines.size());
        for (size_t n = 0; n < lines.size(); ++n) {
            if (n % kBatch == 0) {
                for (size_t k = 0; k < kBatch && n + k < lines.size(); ++k) {
                    hashes[k] = HashBytes(lines[n + k]);
                    __builtin_prefetch(&table[size_t(hashes[k]) & mask]);
                }
            }
            const std::string_view line = lines[n];
            const uint64_t h = hashes[n % kBatch];
            const uint64_t tag = h & 0xFFFFFFFF00000000ull;
            size_t i = size_t(h) & mask;
            for (;;) {
                const uint64_t slot = table[i];
                if (slot == 0) {
                    texts.push_back(line);
                    table[i] = tag | uint64_t(texts.size());
                    (*keys)[n] = int(texts.size() - 1);
                    break;
                }
                if ((slot & 0xFFFFFFFF00000000ull) == tag && texts[(slot & 0xFFFFFFFF) - 1] == line) {
                    (*keys)[n] = int((slot & 0xFFFFFFFF) - 1);
                    break;
                }
                i = (i + 1) & mask;
            }
        }
    };
    fill(a, keysA);
    fill(b, keysB);
}

// --- listing normalisation ----------------------------------------------------------------------

int DetectListingType(std::string_view first1, std::string_view first2)
{
    if (first1.size() < 5 || first2.size() < 5)
        return 0;
    auto both = [&](std::string_view word) {
        return first1.find(word) != std::string_view::npos && first2.find(word) != std::string_view::npos;
    };
    if (both("VYN"))
        return 2;
    if (both("MPASM"))
        return 3;
    if (both("PIC"))
        return 4;
    return 0;
}

namespace {

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The line begins with hexadecimal digits followed by a space, or holds only such digits.
bool HexPrefixed(const std::string &line)
{
    size_t i = 0;
    while (i < line.size() && IsHexDigit(line[i]))
        ++i;
    return i > 0 && (i == line.size() || line[i] == ' ');
}

size_t FirstWordLength(const std::string &line)
{
    const size_t space = line.find(' ');
    return space == std::string::npos ? line.size() : space;
}

// Column c is 1-based.
char At(const std::string &line, size_t c)
{
    return c >= 1 && c <= line.size() ? line[c - 1] : '\0';
}

void DeleteRun(std::string &line, size_t c)
{
    size_t end = c - 1;
    while (end < line.size() && (IsHexDigit(line[end]) || line[end] == '.'))
        ++end;
    if (c - 1 < line.size())
        line.erase(c - 1, end - (c - 1));
}

// Removes the register operand of an instruction whose mnemonic starts at column c.
void RemoveOperand(std::string &line, size_t c)
{
    if (line.find("RETFIE") != std::string::npos || line.size() <= c + 2)
        return;
    if (At(line, c) != 'F' && At(line, c + 1) != 'F' && At(line, c + 2) != 'F')
        return;
    if (At(line, c + 5) == 'X' || At(line, c + 5) == 'x')
        line.erase(c + 4, 1);
    DeleteRun(line, c + 5);
    if (At(line, c + 1) == 'F' && At(line, c + 2) == 'F') {
        if (c + 5 <= line.size())
            line.erase(c + 4, 1);
        DeleteRun(line, c + 5);
    }
}

void Blank(std::string &line, size_t from, size_t to)
{
    for (size_t c = from; c <= to && c <= line.size(); ++c)
        line[c - 1] = ' ';
}

}  // namespace

std::string NormaliseLine(std::string_view text, const TCompareOptions &options, int listingType)
{
    std::string line(text);
    if (options.ignoreCase)
        for (char &c : line)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    if (options.ignoreRom && line.size() > 4) {
        size_t a = 0;
        if (listingType == 2 && (At(line, 5) == ':' || At(line, 6) == ':'))
            a = FirstWordLength(line) + 3;
        else if (listingType == 3 && HexPrefixed(line))
            a = FirstWordLength(line) + 23;
        else if (listingType == 4 && HexPrefixed(line))
            a = 21;
        if (a == 0)
            return line;
        line.erase(0, std::min(line.size(), a - 1));
        static const char *const kJumps[] = {"GOTO", "CALL", "BC", "BZ", "BN", "BOV", "RCALL", "BRA"};
        for (const char *jump : kJumps) {
            if (line.rfind(jump, 0) == 0) {
                line.resize(std::min<size_t>(line.size(), 4));
                return line;
            }
        }
        if (options.ignoreRam)
            RemoveOperand(line, 3);
        return line;
    }
    if (options.ignoreRam && line.size() > 16) {
        if (listingType == 2) {
            RemoveOperand(line, 10);
        } else if (listingType == 3 && HexPrefixed(line)) {
            Blank(line, 6, 9);
            Blank(line, 21, 25);
            RemoveOperand(line, 29);
        } else if (listingType == 4 && HexPrefixed(line)) {
            Blank(line, 1, 4);
            Blank(line, 15, 18);
            RemoveOperand(line, 23);
        }
    }
    return line;
}

// --- results ------------------------------------------------------------------------------------

std::string CFileCompare::MergedListing(const std::string &title, const std::vector<std::string_view> &a,
                                        const std::vector<std::string_view> &b, const std::vector<TEdit> &script)
{
    std::string out;
    size_t size = title.size() + 2;
    for (std::string_view line : a)
        size += line.size() + 4;
    out.reserve(size + script.size() * 8);
    out += title;
    out += "\r\n";
    int u = 0;
    auto copyTo = [&](int last) {
        for (; u < last; ++u) {
            out += "  ";
            out += a[size_t(u)];
            out += "\r\n";
        }
    };
    for (const TEdit &edit : script) {
        if (edit.kind == TEdit::Delete) {
            copyTo(edit.i - 1);
            u = edit.i;
            out += "D <! ";
            out += a[size_t(edit.i - 1)];
        } else {
            copyTo(edit.p);
            out += "I !> ";
            out += b[size_t(edit.j - 1)];
        }
        out += "\r\n";
    }
    copyTo(int(a.size()));
    return out;
}

bool ReadFileBytes(const std::string &path, std::string *data, std::string *error)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    data->clear();
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0)
            data->reserve(size_t(size));
        std::fseek(file, 0, SEEK_SET);
    }
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data->append(buffer, got);
    const bool bad = std::ferror(file);
    const int code = errno;
    std::fclose(file);
    if (bad) {
        *error = path + ": " + std::strerror(code);
        return false;
    }
    return true;
}

bool CFileCompare::Run(const std::string &file1, const std::string &file2, const std::string &resultFile,
                       const TCompareOptions &options, std::string *error)
{
    TTextLines a, b;
    std::string ignored;
    if (!ReadFileBytes(file1, &a.text, &ignored)) {
        *error = file1 + ": Error reading the file";
        return false;
    }
    if (!ReadFileBytes(file2, &b.text, &ignored)) {
        *error = file2 + ": Error reading the file";
        return false;
    }
    a.Split();
    b.Split();
    FILE *out = std::fopen(resultFile.c_str(), "wb");
    if (!out) {
        *error = resultFile + ": Error creating the file";
        return false;
    }
    auto write = [&](const std::string &text) {
        return std::fwrite(text.data(), 1, text.size(), out) == text.size();
    };

    int listingType = 0;
    if (options.ignoreRam || options.ignoreRom) {
        listingType = DetectListingType(a.lines.empty() ? std::string_view() : a.lines[0],
                                        b.lines.empty() ? std::string_view() : b.lines[0]);
        if (listingType == 0) {
            write("Files are not list file\r\n");
            std::fclose(out);
            *error = "Error! One of the file is not a compatible list file.";
            return false;
        }
    }

    // Keys of the normalised lines; MOVLB lines leave both lists first.
    std::vector<std::string_view> linesA, linesB;
    std::vector<int> keysA, keysB;
    const bool normalise = options.ignoreCase || options.ignoreRam || options.ignoreRom || options.ignoreMovlb;
    if (!normalise) {
        linesA = a.lines;
        linesB = b.lines;
        LineKeys(linesA, linesB, &keysA, &keysB);
    } else {
        std::vector<std::string> normA, normB;
        auto filter = [&](const TTextLines &t, std::vector<std::string_view> &lines, std::vector<std::string> &norm) {
            for (std::string_view line : t.lines) {
                std::string key = NormaliseLine(line, options, listingType);
                if (options.ignoreMovlb && key.find("MOVLB") != std::string::npos)
                    continue;
                lines.push_back(line);
                norm.push_back(std::move(key));
            }
        };
        filter(a, linesA, normA);
        filter(b, linesB, normB);
        LineKeys(std::vector<std::string_view>(normA.begin(), normA.end()),
                 std::vector<std::string_view>(normB.begin(), normB.end()), &keysA, &keysB);
    }
    CIntArrayDiff diff(std::move(keysA), std::move(keysB));
    const std::vector<TEdit> &script = diff.GetEditScript();
    m_deleted = m_inserted = 0;
    for (const TEdit &edit : script)
        ++(edit.kind == TEdit::Delete ? m_deleted : m_inserted);
    const bool written = write(MergedListing("Comparing " + file1 + " and " + file2, linesA, linesB, script));
    if (std::fclose(out) != 0 || !written) {
        *error = resultFile + ": Error writing the file";
        return false;
    }
    return true;
}

// --- the normal output form of diff -------------------------------------------------------------

namespace {

void AppendRange(std::string &out, int first, int last)
{
    out += std::to_string(first);
    if (last > first) {
        out += ',';
        out += std::to_string(last);
    }
}

void AppendLines(std::string &out, const char *prefix, const TTextLines &t, int from, int to)
{
    for (int i = from; i < to; ++i) {
        out += prefix;
        const std::string_view line = t.lines[size_t(i)];
        // The line as it is in the file: a CR before its LF stays.
        const size_t start = size_t(line.data() - t.text.data());
        const size_t end = start + line.size();
        const bool cr = end < t.text.size() && t.text[end] == '\r';
        out += line;
        if (cr)
            out += '\r';
        out += '\n';
        if (size_t(i) + 1 == t.lines.size() && !t.finalBreak)
            out += "\\ No newline at end of file\n";
    }
}

}  // namespace

std::string NormalDiff(const TTextLines &a, const TTextLines &b, const std::vector<int> &keysA,
                       const std::vector<int> &keysB, int *deleted, int *inserted)
{
    CIntArrayDiff diff(keysA, keysB);
    const std::vector<bool> &del = diff.Deleted();
    const std::vector<bool> &ins = diff.Inserted();
    const int n = int(keysA.size()), m = int(keysB.size());
    std::string out;
    int deletedCount = 0, insertedCount = 0;
    int i = 0, j = 0;
    while (i < n || j < m) {
        if ((i < n && del[size_t(i)]) || (j < m && ins[size_t(j)])) {
            const int i0 = i, j0 = j;
            while (i < n && del[size_t(i)])
                ++i;
            while (j < m && ins[size_t(j)])
                ++j;
            deletedCount += i - i0;
            insertedCount += j - j0;
            if (i > i0 && j > j0) {
                AppendRange(out, i0 + 1, i);
                out += 'c';
                AppendRange(out, j0 + 1, j);
                out += '\n';
                AppendLines(out, "< ", a, i0, i);
                out += "---\n";
                AppendLines(out, "> ", b, j0, j);
            } else if (i > i0) {
                AppendRange(out, i0 + 1, i);
                out += 'd';
                out += std::to_string(j0);
                out += '\n';
                AppendLines(out, "< ", a, i0, i);
            } else {
                out += std::to_string(i0);
                out += 'a';
                AppendRange(out, j0 + 1, j);
                out += '\n';
                AppendLines(out, "> ", b, j0, j);
            }
        } else {
            ++i;
            ++j;
        }
    }
    if (deleted)
        *deleted = deletedCount;
    if (inserted)
        *inserted = insertedCount;
    return out;
}

}  // namespace kiv
