#include "SyntaxColoring.h"

#include <algorithm>
#include <cstring>

namespace kiv {

namespace {

// In ascending ordinal order, for the binary search.
constexpr const char *kKeywords[] = {
    "AUTO",     "BREAK",  "CASE",     "CHAR",   "CONST",    "CONTINUE", "DEFAULT", "DO",
    "DOUBLE",   "ELSE",   "ENTRY",    "ENUM",   "EXTERN",   "FLOAT",    "FOR",     "GOTO",
    "IF",       "INLINE", "INT",      "INT1",   "INT16",    "INT32",    "INT8",    "LONG",
    "REGISTER", "RETURN", "SEPARATE", "SHORT",  "SIGNED",   "SIZEOF",   "STATIC",  "STRUCT",
    "SWITCH",   "TYPEDEF", "UNION",   "UNSIGNED", "VOID",   "VOLATILE", "WHILE",
};
constexpr int kKeywordCount = int(sizeof(kKeywords) / sizeof(kKeywords[0]));
static_assert(kKeywordCount == 39);
constexpr int kLongestKeyword = 10;

constexpr char UpperAscii(char ch)
{
    return (ch >= 'a' && ch <= 'z') ? char(ch - 'a' + 'A') : ch;
}

// Ordinal comparison of the upper-cased token with a table entry.
int CompareWord(const char *token, int length, const char *entry)
{
    for (int i = 0; i < length; ++i) {
        const unsigned char a = static_cast<unsigned char>(UpperAscii(token[i]));
        const unsigned char b = static_cast<unsigned char>(entry[i]);
        if (b == 0)
            return 1;
        if (a != b)
            return a < b ? -1 : 1;
    }
    return entry[length] == 0 ? 0 : -1;
}

struct TDelimiterTable {
    bool table[256] = {};
    constexpr TDelimiterTable()
    {
        const char delimiters[] = "\t\r\n '\",./?;:`<>[]{}-=\\+|()%@&^$!~*";
        for (const char *p = delimiters; *p; ++p)
            table[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr TDelimiterTable kDelimiters;

void Fill(unsigned char *elements, int from, int to, TColorElement element)
{
    // Columns from 1; `to` may lie past the text (an unclosed comment ends at length + 2).
    if (from < 1)
        from = 1;
    if (to < from)
        return;
    std::memset(elements + from - 1, element, size_t(to - from + 1));
}

}  // namespace

bool IsKeyword(const char *text, int length)
{
    if (length < 1 || length > kLongestKeyword)
        return false;
    int low = 0;
    int high = kKeywordCount - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        const int cmp = CompareWord(text, length, kKeywords[mid]);
        if (cmp == 0)
            return true;
        if (cmp < 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return false;
}

bool IsWordDelimiter(char ch)
{
    return kDelimiters.table[static_cast<unsigned char>(ch)];
}

TColorTable DefaultColorTable()
{
    const TColorValue black = 0x000000;
    const TColorValue white = 0xFFFFFF;
    return TColorTable{{
        {black, white},           // text
        {white, 0x800000},        // selection: white on navy
        {0x808080, white},        // comments: grey
        {0xFF0000, white},        // keywords: blue
        {0x008000, white},        // preprocessor: green
        {black, 0x00FF00},        // brace match: on lime
    }};
}

TCompareLineColors CompareLineColors(std::string_view line, bool screen)
{
    TCompareLineColors colors;
    if (line.empty())
        return colors;
    if (line[0] == 'D') {
        colors.coloured = true;
        colors.bg = screen ? RgbColor(255, 0, 0) : RgbColor(255, 128, 128);
    } else if (line[0] == 'I') {
        colors.coloured = true;
        colors.bg = screen ? RgbColor(0, 128, 0) : RgbColor(0, 176, 0);
    }
    colors.fg = RgbColor(255, 255, 255);
    return colors;
}

std::vector<TColorRun> ElementsToRuns(const std::string &elements)
{
    std::vector<TColorRun> runs;
    const int length = int(elements.size());
    for (int i = 0; i < length;) {
        int j = i + 1;
        while (j < length && elements[size_t(j)] == elements[size_t(i)])
            ++j;
        runs.push_back({i + 1, j - i, TColorElement(static_cast<unsigned char>(elements[size_t(i)]))});
        i = j;
    }
    return runs;
}

// --- the colour layer -----------------------------------------------------------------------

CSytaxColoring::CSytaxColoring(ILineSource *text)
    : CCommentList(text)
    , m_colors(DefaultColorTable())
{
}

void CSytaxColoring::SetBraceHighlight(TLineColumn first, TLineColumn partner)
{
    ClearBraceHighlight();
    m_braceActive = first.line > 0;
    m_braceFirst = first;
    m_bracePartner = partner;
    if (m_braceActive) {
        MarkRepaint(first.line, first.line);
        if (partner.line > 0)
            MarkRepaint(partner.line, partner.line);
    }
}

TLineRange CSytaxColoring::ClearBraceHighlight()
{
    TLineRange lines;
    if (m_braceActive) {
        lines.Add(m_braceFirst.line, m_braceFirst.line);
        if (m_bracePartner.line > 0)
            lines.Add(m_bracePartner.line, m_bracePartner.line);
    }
    m_braceActive = false;
    m_braceFirst = {};
    m_bracePartner = {};
    return lines;
}

bool CSytaxColoring::PaintLine(int line, std::vector<TColorRun> &runs, const TLineSelection *selection)
{
    std::string elements;
    const bool painted = PaintLine(line, elements, selection);
    runs = ElementsToRuns(elements);
    return painted;
}

bool CSytaxColoring::PaintLine(int line, std::string &elements, const TLineSelection *selection)
{
    elements.clear();
    if (line < 1 || line > LineCount())
        return false;
    // Corrections read other lines, which may move the text a line view points into.
    const std::string text(LineText(line));
    const int length = int(text.size());
    elements.assign(size_t(length), char(ceText));
    auto *cells = reinterpret_cast<unsigned char *>(elements.data());
    // Each pass that disagrees with the text corrects the spans; a handful of passes settles
    // any line. Should a line never settle, the whole text is scanned once more.
    constexpr int kMaxPasses = 64;
    bool settled = false;
    for (int pass = 0; pass < kMaxPasses && !settled; ++pass)
        settled = PaintPass(line, text, cells);
    if (!settled) {
        NoteFallbackScan();
        RebuildComments();
        PaintPass(line, text, cells);
    }
    if (m_braceActive) {
        for (const TLineColumn &at : {m_braceFirst, m_bracePartner}) {
            if (at.line == line && at.column >= 1 && at.column <= length)
                cells[at.column - 1] = ceBraceMatch;
        }
    }
    if (selection) {
        const TLineColumn &s = selection->start;
        const TLineColumn &e = selection->end;
        if (line >= s.line && line <= e.line && (s.line != e.line || s.column < e.column)) {
            const int from = line == s.line ? s.column : 1;
            const int to = line == e.line ? e.column - 1 : length;
            Fill(cells, from, std::min(to, length), ceSelection);
        }
    }
    return true;
}

bool CSytaxColoring::EndAgrees(const TCommentSpan *span, int line, std::string_view text, int column) const
{
    const int end = FindCommentEnd(text, column);
    if (end)
        return span->endLine == line && span->endCol == end + 1;
    if (line >= LineCount())
        return span->endLine == line && span->endCol == int(text.size()) + 2;
    return span->endLine > line;
}

bool CSytaxColoring::DropStartingOn(int line, TCommentSpan *span)
{
    bool none = true;
    while (!IsTail(span) && span->startLine <= line) {
        TCommentSpan *next = span->next;
        RemoveSpan(span);
        span = next;
        none = false;
    }
    return none;
}

bool CSytaxColoring::PaintPass(int line, std::string_view text, unsigned char *cells)
{
    const int length = int(text.size());
    std::memset(cells, ceText, size_t(length));
    TCommentSpan *span = LookUp(line);
    int pos = 1;
    // A comment coming from an earlier line: it must end where the first "*/" is.
    if (!IsTail(span) && span->startLine < line) {
        if (!EndAgrees(span, line, text, 1)) {
            RescanFrom(span);
            return false;
        }
        if (span->endLine > line) {
            Fill(cells, 1, length, ceComments);
            return DropStartingOn(line, span->next);
        }
        Fill(cells, 1, std::min(span->endCol, length), ceComments);
        pos = span->endCol + 1;
        span = span->next;
    }
    for (;;) {
        // A span that starts inside what is already painted overlaps its predecessor.
        if (!IsTail(span) && (span->startLine < line || (span->startLine == line && span->startCol < pos))) {
            RemoveSpan(span);
            return false;
        }
        // Code from `pos`: tokens up to the next comment start, a "//" or the line end.
        TStartSearch search;
        int commentStart = 0;
        int lineComment = 0;
        int tokenStart = pos;
        for (int col = pos; col <= length; ++col) {
            const char ch = text[size_t(col - 1)];
            const bool wasInString = search.inString;
            const TStartSearch::TStep step = search.Step(ch);
            if (step == TStartSearch::ssCommentStart) {
                commentStart = col - 1;
                break;
            }
            if (step == TStartSearch::ssLineComment) {
                lineComment = col - 1;
                break;
            }
            if (wasInString) {
                // Inside a string only the closing quote matters.
                if (!search.inString)
                    tokenStart = col + 1;
                continue;
            }
            if (IsWordDelimiter(ch)) {
                const int tokenLength = col - tokenStart;
                if (tokenLength > 0) {
                    const char *token = text.data() + tokenStart - 1;
                    if (token[0] == '#')
                        Fill(cells, tokenStart, col - 1, cePreprocessor);
                    else if (tokenLength >= 2 && IsKeyword(token, tokenLength))
                        Fill(cells, tokenStart, col - 1, ceKeywords);
                }
                tokenStart = col + 1;
            }
        }
        if (!commentStart && !lineComment && !search.inString && tokenStart <= length) {
            // The token that the line end closes.
            const char *token = text.data() + tokenStart - 1;
            const int tokenLength = length - tokenStart + 1;
            if (token[0] == '#')
                Fill(cells, tokenStart, length, cePreprocessor);
            else if (tokenLength >= 2 && IsKeyword(token, tokenLength))
                Fill(cells, tokenStart, length, ceKeywords);
        }

        if (!commentStart) {
            // No comment starts on the rest of the line: spans still listed here lie in code,
            // in a string or after "//". One that went on to later lines leaves them to be
            // scanned again from the next line.
            bool agreed = true;
            int untilLine = 0;
            while (!IsTail(span) && span->startLine == line) {
                untilLine = std::max(untilLine, span->endLine);
                TCommentSpan *next = span->next;
                RemoveSpan(span);
                span = next;
                agreed = false;
            }
            if (untilLine > line)
                ScanRegion(span->prev, line + 1, 1, untilLine);
            if (lineComment)
                Fill(cells, lineComment, length, ceComments);
            return agreed;
        }
        // A listed span before the comment start begins inside a string or in code.
        if (!IsTail(span) && span->startLine == line && span->startCol < commentStart) {
            RemoveSpan(span);
            return false;
        }
        if (IsTail(span) || span->startLine != line || span->startCol != commentStart) {
            // A comment the list lacks.
            if (!InsertSpanFrom(line, commentStart)) {
                NoteFallbackScan();
                RebuildComments();
            }
            return false;
        }
        if (!EndAgrees(span, line, text, commentStart + 2)) {
            RescanFrom(span);
            return false;
        }
        if (span->endLine > line) {
            Fill(cells, commentStart, length, ceComments);
            return DropStartingOn(line, span->next);
        }
        Fill(cells, commentStart, std::min(span->endCol, length), ceComments);
        pos = span->endCol + 1;
        span = span->next;
    }
}

}  // namespace kiv
