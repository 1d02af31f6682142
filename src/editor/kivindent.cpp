#include "kivindent.h"

#include "CPareMatch.h"

#include <algorithm>
#include <cctype>

namespace kiv {

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

size_t LeadingBlanks(std::string_view text)
{
    size_t n = 0;
    while (n < text.size() && IsBlank(text[n]))
        ++n;
    return n;
}

bool IsIdentStart(char ch)
{
    return std::isalpha(static_cast<unsigned char>(ch)) || ch == '_';
}

bool IsIdentChar(char ch)
{
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
}

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The first tokens of a line for the placement rules: identifiers, ":" and "#"; anything else
// (a number, an operator) is a token of its own kind.
struct TToken {
    enum TKind { tkNone, tkIdent, tkColon, tkHash, tkOther } kind = tkNone;
    std::string_view text;
};

std::vector<TToken> FirstTokens(std::string_view text, size_t count)
{
    std::vector<TToken> tokens;
    size_t i = 0;
    while (tokens.size() < count) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        const size_t start = i;
        TToken token;
        if (IsIdentStart(text[i])) {
            while (i < text.size() && IsIdentChar(text[i]))
                ++i;
            token.kind = TToken::tkIdent;
        } else if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            while (i < text.size() && IsIdentChar(text[i]))
                ++i;
            token.kind = TToken::tkOther;
        } else {
            token.kind = text[i] == ':' ? TToken::tkColon : text[i] == '#' ? TToken::tkHash : TToken::tkOther;
            ++i;
        }
        token.text = text.substr(start, i - start);
        tokens.push_back(token);
    }
    return tokens;
}

// The line without leading blanks, a "//" comment outside strings (or a block comment that
// is not closed on the line) and trailing blanks.
std::string_view Significant(std::string_view stripped)
{
    bool inString = false;
    bool escape = false;
    size_t end = stripped.size();
    for (size_t i = 0; i < stripped.size(); ++i) {
        const char ch = stripped[i];
        if (inString) {
            if (escape)
                escape = false;
            else if (ch == '\\')
                escape = true;
            else if (ch == '"')
                inString = false;
            continue;
        }
        if (ch == '"') {
            inString = true;
        } else if (ch == '/' && i + 1 < stripped.size() && stripped[i + 1] == '/') {
            end = i;
            break;
        } else if (ch == '/' && i + 1 < stripped.size() && stripped[i + 1] == '*') {
            // A block comment that goes on to the next lines is no code of this line.
            const size_t close = stripped.find("*/", i + 2);
            if (close == std::string_view::npos) {
                end = i;
                break;
            }
            i = close + 1;
        }
    }
    while (end > 0 && IsBlank(stripped[end - 1]))
        --end;
    return stripped.substr(0, end);
}

// Without a final backslash and the blanks before it (a continued preprocessor line).
std::string_view WithoutBackslash(std::string_view significant)
{
    if (significant.empty() || significant.back() != '\\')
        return significant;
    significant.remove_suffix(1);
    while (!significant.empty() && IsBlank(significant.back()))
        significant.remove_suffix(1);
    return significant;
}

// "{" minus "}" outside string and character constants.
int BraceBalance(std::string_view significant)
{
    int balance = 0;
    char quote = 0;
    bool escape = false;
    for (const char ch : significant) {
        if (quote) {
            if (escape)
                escape = false;
            else if (ch == '\\')
                escape = true;
            else if (ch == quote)
                quote = 0;
            continue;
        }
        if (ch == '"' || ch == '\'')
            quote = ch;
        else if (ch == '{')
            ++balance;
        else if (ch == '}')
            --balance;
    }
    return balance;
}

// Re-indents the selected lines: one statement at a time, nested blocks recursively.
class TSelectionIndenter {
public:
    TSelectionIndenter(const ILineSource &text, int first, int last, int tabSize,
                       const std::function<bool(int)> &startsInComment)
        : m_text(text)
        , m_last(last)
        , m_tabSize(tabSize)
        , m_startsInComment(startsInComment)
        , m_line(first)
        , m_base(BaseIndentation(text, first))
    {
    }

    std::vector<TLineChange> Run()
    {
        while (More())
            Block(0);
        return std::move(m_changes);
    }

private:
    // Lines the indenter works on; comment-covered lines are passed over.
    bool More()
    {
        while (m_line <= m_last && m_startsInComment && m_startsInComment(m_line))
            ++m_line;
        return m_line <= m_last;
    }

    std::string_view Stripped(int line) const
    {
        const std::string_view text = m_text.Line(line);
        return text.substr(LeadingBlanks(text));
    }

    // Statements until one closes the block (or the lines end).
    void Block(int depth)
    {
        while (More()) {
            if (Statement(depth))
                return;
        }
    }

    // One line and what it pulls after it; true when it closed the current block.
    bool Statement(int depth)
    {
        const int line = m_line++;
        const std::string stripped(Stripped(line));
        const int placed = Place(line, stripped, depth);
        const std::string_view significant = Significant(stripped);

        if (!stripped.empty() && stripped[0] == '#' && !significant.empty() && significant.back() == '\\') {
            // A continued directive: its following lines up to one without a final backslash.
            while (More()) {
                const int next = m_line++;
                const std::string nextStripped(Stripped(next));
                Place(next, nextStripped, depth + 1);
                const std::string_view s = Significant(nextStripped);
                if (s.empty() || s.back() != '\\')
                    break;
            }
            return false;
        }

        const int balance = BraceBalance(significant);
        if (Continues(significant) && More()) {
            const std::string_view next = Stripped(m_line);
            if (next.empty() || next[0] != '}') {
                if (!next.empty() && next[0] == '{') {
                    const int open = m_line++;
                    const std::string openStripped(next);
                    Place(open, openStripped, placed);
                    if (BraceBalance(Significant(openStripped)) > 0)
                        Block(placed + 1);
                } else if (Statement(placed + 1)) {
                    return true;
                }
                return balance < 0 && depth > 0;
            }
        }
        if (balance > 0) {
            Block(depth + 1);
            return false;
        }
        return balance < 0 && depth > 0;
    }

    bool Continues(std::string_view significant) const
    {
        if (significant.empty() || m_asm || significant[0] == '#')
            return false;
        return std::string_view(",;:{}/").find(significant.back()) == std::string_view::npos;
    }

    // Gives `line` its indentation for `depth`; returns the depth it was placed at.
    int Place(int line, const std::string &stripped, int depth)
    {
        std::string text;
        int placed = depth;
        if (!stripped.empty()) {
            bool label = false;
            if (stripped[0] == '}') {
                if (placed > 0)
                    --placed;
            } else {
                const std::vector<TToken> t = FirstTokens(stripped, 3);
                auto kind = [&](size_t i) { return i < t.size() ? t[i].kind : TToken::tkNone; };
                if (kind(0) == TToken::tkHash && kind(1) == TToken::tkIdent) {
                    if (SameWord(t[1].text, "asm"))
                        m_asm = true;
                    else if (SameWord(t[1].text, "endasm"))
                        m_asm = false;
                } else if (kind(0) == TToken::tkIdent && t[0].text == "case") {
                    if (kind(1) == TToken::tkIdent && kind(2) == TToken::tkColon && placed > 0)
                        --placed;
                } else if (kind(0) == TToken::tkIdent && kind(1) == TToken::tkColon
                           && t[0].text != "asm" && t[0].text != "endasm") {
                    label = true;
                }
            }
            if (!label)
                text.assign(size_t(m_base + placed * m_tabSize), ' ');
            text += stripped;
        }
        const std::string_view old = m_text.Line(line);
        if (old != text) {
            const int delta = int(text.size()) - int(old.size());
            m_changes.push_back(TLineChange{line, std::move(text), delta});
        }
        return placed;
    }

    const ILineSource &m_text;
    int m_last;
    int m_tabSize;
    const std::function<bool(int)> &m_startsInComment;
    int m_line;
    int m_base;
    bool m_asm = false;
    std::vector<TLineChange> m_changes;
};

}  // namespace

TLineBlock BlockOfSelection(int startLine, int startColumn, int endLine, int endColumn)
{
    if (endLine < startLine || (endLine == startLine && endColumn < startColumn)) {
        std::swap(startLine, endLine);
        std::swap(startColumn, endColumn);
    }
    TLineBlock block{startLine, endLine};
    if (endColumn == 1 && endLine > startLine)
        --block.last;
    return block;
}

std::string IndentLineText(std::string_view line, const TIndentOptions &options)
{
    std::string text = options.realTabs ? std::string("\t") : std::string(size_t(std::max(options.tabSize, 0)), ' ');
    text += line;
    return text;
}

std::string UnindentLineText(std::string_view line, int tabSize)
{
    if (!line.empty() && line[0] == '\t')
        return std::string(line.substr(1));
    size_t n = 0;
    while (n < line.size() && int(n) < tabSize && line[n] == ' ')
        ++n;
    return std::string(line.substr(n));
}

std::vector<TLineChange> IndentBlockLines(const ILineSource &text, TLineBlock block,
                                          const TIndentOptions &options, bool unindent)
{
    std::vector<TLineChange> changes;
    const int last = std::min(block.last, text.LineCount());
    for (int line = std::max(block.first, 1); line <= last; ++line) {
        const std::string_view old = text.Line(line);
        std::string now = unindent ? UnindentLineText(old, options.tabSize) : IndentLineText(old, options);
        if (now.size() != old.size()) {
            const int delta = int(now.size()) - int(old.size());
            changes.push_back(TLineChange{line, std::move(now), delta});
        }
    }
    return changes;
}

std::optional<TBracePlacement> AutoPlaceBrace(const ILineSource &text, int line, int column,
                                              const TIndentOptions &options)
{
    if (line < 1 || line > text.LineCount())
        return std::nullopt;
    const std::string current(text.Line(line));
    if (column < 1 || column > int(current.size()) || current[size_t(column - 1)] != '}')
        return std::nullopt;
    if (LeadingBlanks(current) < size_t(column - 1))
        return std::nullopt;
    CPareMatch match(text);
    match.Setup('}', line, text.LineCount(), 1, column);
    if (!match.Find())
        return std::nullopt;
    // The column of the first non-blank character of the "{" line, tabs to the next stop.
    const std::string_view open = text.Line(match.Result().line);
    const int tabSize = std::max(options.tabSize, 1);
    int width = 0;
    for (size_t i = 0; i < open.size() && IsBlank(open[i]); ++i)
        width = open[i] == '\t' ? (width / tabSize + 1) * tabSize : width + 1;
    std::string indent;
    if (options.realTabs)
        indent = std::string(size_t(width / tabSize), '\t') + std::string(size_t(width % tabSize), ' ');
    else
        indent = std::string(size_t(width), ' ');
    TBracePlacement placement;
    placement.delta = int(indent.size()) - (column - 1);
    placement.text = indent + current.substr(size_t(column - 1));
    placement.caretColumn = int(indent.size()) + 2;
    return placement;
}

int BaseIndentation(const ILineSource &text, int line)
{
    for (int above = std::min(line, text.LineCount() + 1) - 1; above >= 1; --above) {
        const std::string_view t = text.Line(above);
        const size_t blanks = LeadingBlanks(t);
        if (blanks == t.size())
            continue;
        return int(std::count(t.begin(), t.begin() + std::ptrdiff_t(blanks), ' '));
    }
    return 0;
}

std::vector<TLineChange> IndentSelectionLines(const ILineSource &text, int first, int last, int tabSize,
                                              const std::function<bool(int)> &startsInComment)
{
    first = std::max(first, 1);
    last = std::min(last, text.LineCount());
    if (first > last)
        return {};
    TSelectionIndenter indenter(text, first, last, std::max(tabSize, 0), startsInComment);
    return indenter.Run();
}

bool LineStartsInComment(CCommentList &spans, int line)
{
    const TCommentSpan *span = spans.SpanAtLine(line);
    if (!span || span->startLine > line)
        return false;
    return span->startLine < line || span->startCol == 1;
}

}  // namespace kiv
