#include "CPareMatch.h"

#include <algorithm>
#include <string>

namespace kiv {

namespace {

char PartnerOf(char bracket)
{
    switch (bracket) {
    case '(': return ')';
    case ')': return '(';
    case '[': return ']';
    case ']': return '[';
    case '{': return '}';
    case '}': return '{';
    default: return 0;
    }
}

// A double quote at `index` is escaped when an odd number of backslashes stands right before it.
bool Escaped(std::string_view text, size_t index)
{
    size_t count = 0;
    while (index > count && text[index - count - 1] == '\\')
        ++count;
    return count % 2 == 1;
}

}  // namespace

bool CPareMatch::IsBracket(char ch)
{
    return PartnerOf(ch) != 0;
}

int CPareMatch::BracketColumnAt(std::string_view line, int column)
{
    const int length = int(line.size());
    if (column >= 1 && column <= length && IsBracket(line[size_t(column - 1)]))
        return column;
    const int before = std::max(column - 1, 1);
    if (before <= length && IsBracket(line[size_t(before - 1)]))
        return before;
    return 0;
}

int CPareMatch::Setup(char bracket, int line, int forwardLimit, int backwardLimit, int column)
{
    m_found = false;
    m_result = {};
    m_bracket = bracket;
    m_partner = PartnerOf(bracket);
    m_line = line;
    m_column = column;
    m_usable = m_partner != 0 && line >= 1 && line <= m_text.LineCount() && column >= 1;
    if (!m_usable)
        return -1;
    m_forward = bracket == '(' || bracket == '[' || bracket == '{';
    m_limit = m_forward ? std::min(forwardLimit, m_text.LineCount()) : std::max(backwardLimit, 1);
    return m_forward ? 1 : 0;
}

bool CPareMatch::Find()
{
    m_found = false;
    if (!m_usable)
        return false;
    m_found = m_forward ? FindForward() : FindBackward();
    return m_found;
}

int CPareMatch::LineCommentColumn(std::string_view text)
{
    bool inString = false;
    bool escape = false;
    bool inBlock = false;
    bool prevStar = false;
    bool prevSlash = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (inBlock) {
            if (prevStar && ch == '/')
                inBlock = false;
            prevStar = ch == '*';
            continue;
        }
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
            prevSlash = false;
            continue;
        }
        if (prevSlash && ch == '/')
            return int(i);  // the column of the first "/"
        if (prevSlash && ch == '*') {
            inBlock = true;
            prevStar = false;
            prevSlash = false;
            continue;
        }
        prevSlash = ch == '/';
    }
    return 0;
}

// Reads the characters after the bracket, a line break before each following line.
bool CPareMatch::FindForward()
{
    int depth = 0;
    bool inString = false;
    bool stringEscape = false;
    bool inBlock = false;
    bool blockStar = false;
    bool skipLine = false;
    bool afterSlash = false;
    bool afterBackslash = false;

    // Returns true when `ch` at (line, column) is the partner.
    auto step = [&](char ch) -> bool {
        if (ch == '\r') {
            // A line comment ends here; a string goes on only after a backslash (or when never
            // closed); a block comment goes on.
            skipLine = false;
            blockStar = false;
            if (inString)
                stringEscape = false;
            afterSlash = afterBackslash = false;
            return false;
        }
        if (skipLine)
            return false;
        if (inBlock) {
            if (blockStar && ch == '/')
                inBlock = false;
            blockStar = ch == '*';
            return false;
        }
        if (inString) {
            if (stringEscape)
                stringEscape = false;
            else if (ch == '\\')
                stringEscape = true;
            else if (ch == '"')
                inString = false;
            return false;
        }
        if (ch == m_bracket) {
            ++depth;
        } else if (ch == m_partner) {
            if (depth == 0)
                return true;
            --depth;
        }
        if (ch == '"' && !afterBackslash) {
            inString = true;
            afterSlash = afterBackslash = false;
            return false;
        }
        if (afterSlash && ch == '*') {
            inBlock = true;
            blockStar = false;
            afterSlash = afterBackslash = false;
            return false;
        }
        if (afterSlash && ch == '/') {
            skipLine = true;
            afterSlash = afterBackslash = false;
            return false;
        }
        afterSlash = ch == '/';
        afterBackslash = ch == '\\';
        return false;
    };

    for (int line = m_line; line <= std::max(m_line, m_limit); ++line) {
        if (line > m_line && step('\r'))
            return false;
        const std::string_view text = m_text.Line(line);
        const int from = line == m_line ? m_column + 1 : 1;
        for (int column = from; column <= int(text.size()); ++column) {
            if (step(text[size_t(column - 1)])) {
                m_result = {column, line};
                return true;
            }
        }
    }
    return false;
}

// Reads the characters before the bracket back to the start of its line, then each preceding
// line from its end, a line break before each. The part of a line from a "//" on is a line
// comment and is not read at all, so nothing counted there (brackets, quotes, comment ends)
// can upset the search; a bracket that itself stands in a line comment has no partner.
bool CPareMatch::FindBackward()
{
    int depth = 0;
    bool inString = false;
    bool inBlock = false;
    bool blockStar = false;
    bool afterSlash = false;

    std::string text;
    for (int line = m_line; line >= std::min(m_line, m_limit); --line) {
        text.assign(m_text.Line(line));
        const int comment = LineCommentColumn(text);
        int from;
        if (line == m_line) {
            if (comment > 0 && m_column > comment)
                return false;
            from = std::min(m_column - 1, int(text.size()));
        } else {
            afterSlash = false;
            blockStar = false;
            from = comment > 0 ? comment - 1 : int(text.size());
        }
        for (int column = from; column >= 1; --column) {
            const char ch = text[size_t(column - 1)];
            if (inBlock) {
                if (blockStar && ch == '/')
                    inBlock = false;
                blockStar = ch == '*';
                continue;
            }
            if (inString) {
                if (ch == '"' && !Escaped(text, size_t(column - 1)))
                    inString = false;
                continue;
            }
            if (ch == m_bracket) {
                ++depth;
            } else if (ch == m_partner) {
                if (depth == 0) {
                    m_result = {column, line};
                    return true;
                }
                --depth;
            }
            if (ch == '"' && !Escaped(text, size_t(column - 1))) {
                inString = true;
                afterSlash = false;
                continue;
            }
            if (afterSlash && ch == '*') {
                inBlock = true;
                blockStar = false;
                afterSlash = false;
                continue;
            }
            afterSlash = ch == '/';
        }
    }
    return false;
}

}  // namespace kiv
