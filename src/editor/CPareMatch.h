#pragma once

#include "CommentList.h"

#include <string_view>

namespace kiv {

/// A bracket's place: line and column both count from 1 (engine columns, bytes of the line).
struct TPareResult {
    int column = 0;
    int line = 0;
    friend bool operator==(const TPareResult &, const TPareResult &) = default;
};

/// One search for the partner of a bracket ("(" ")", "[" "]", "{" "}"). An opening bracket is
/// matched forward, a closing one backward; strings, block comments and line comments between
/// the two are passed over. The search reads no further than its limit line.
class CPareMatch {
public:
    explicit CPareMatch(const ILineSource &text) : m_text(text) {}

    /// Prepares a search from `bracket` at (`column`, `line`), reading forward up to
    /// `forwardLimit` or backward down to `backwardLimit`. Returns 1 for a forward search, 0 for
    /// a backward one, -1 when `bracket` is not one of the six brackets or the place lies
    /// outside the text (the search then finds nothing).
    int Setup(char bracket, int line, int forwardLimit, int backwardLimit, int column);
    /// Runs the search; true when the partner was found.
    bool Find();
    /// The partner's place, or (0, 0) when it was not found.
    TPareResult Result() const { return m_found ? m_result : TPareResult{}; }

    /// The column of the bracket at a caret standing before `column` of `line`: the character
    /// right of the caret when it is a bracket, else the one left of it; 0 when neither is.
    static int BracketColumnAt(std::string_view line, int column);
    static bool IsBracket(char ch);

private:
    bool FindForward();
    bool FindBackward();
    /// Column where a "//" outside strings and block comments starts on `text`; 0 when none.
    static int LineCommentColumn(std::string_view text);

    const ILineSource &m_text;
    char m_bracket = 0;
    char m_partner = 0;
    bool m_forward = true;
    bool m_usable = false;
    int m_line = 0;
    int m_column = 0;
    int m_limit = 0;
    bool m_found = false;
    TPareResult m_result;
};

}  // namespace kiv
