#pragma once

#include "CommentList.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

/// The editor options the indentation aids follow.
struct TIndentOptions {
    int tabSize = 3;
    bool realTabs = false;  ///< true: tab characters; false: spaces
};

/// Lines first .. last (1-based); empty when first > last.
struct TLineBlock {
    int first = 1;
    int last = 0;
    bool Empty() const { return first > last; }
};

/// A line's new text; `delta` is the change of its indentation in characters (the text after
/// the indentation is unchanged).
struct TLineChange {
    int line = 0;
    std::string text;
    int delta = 0;
    friend bool operator==(const TLineChange &, const TLineChange &) = default;
};

/// The lines Tab and Shift+Tab work on for a selection from (startLine, startColumn) to
/// (endLine, endColumn): the selected lines, without the last one when the selection ends in
/// its column 1.
TLineBlock BlockOfSelection(int startLine, int startColumn, int endLine, int endColumn);

/// `line` indented by one step: a tab character (real tabs) or tab-size spaces.
std::string IndentLineText(std::string_view line, const TIndentOptions &options);
/// `line` unindented by one step: one leading tab when it starts with one, otherwise up to
/// tab-size leading spaces.
std::string UnindentLineText(std::string_view line, int tabSize);

/// Indents (or unindents) the lines of `block` of `text` by one step; returns the changed lines.
std::vector<TLineChange> IndentBlockLines(const ILineSource &text, TLineBlock block,
                                          const TIndentOptions &options, bool unindent);

/// What placing a typed "}" does to its line.
struct TBracePlacement {
    std::string text;   ///< the line's new text
    int delta = 0;      ///< change of the indentation before the "}"
    int caretColumn = 0;  ///< just after the "}"
};

/// A "}" typed at (line, column) of `text`: when only blanks precede it, its partner "{" is
/// searched backwards over the whole text and the line is indented to the column of the first
/// non-blank character of the partner's line (tabs counted to the next tab stop): with spaces,
/// or with real tabs as tabs followed by the remaining spaces. Nothing when code precedes the
/// "}" or no partner is found.
std::optional<TBracePlacement> AutoPlaceBrace(const ILineSource &text, int line, int column,
                                              const TIndentOptions &options);

/// The number of leading spaces of the nearest non-blank line above `line` (tabs are passed
/// over without counting); 0 when there is none.
int BaseIndentation(const ILineSource &text, int line);

/// "Indent selection": re-indents lines first .. last of `text` by their brace structure with
/// spaces only. `startsInComment(line)` tells the lines whose column 1 is covered by a block
/// comment; they are left as they are. Returns the lines whose text changes.
std::vector<TLineChange> IndentSelectionLines(const ILineSource &text, int first, int last, int tabSize,
                                              const std::function<bool(int)> &startsInComment);

/// True when column 1 of `line` is covered by a block comment of `spans`.
bool LineStartsInComment(CCommentList &spans, int line);

}  // namespace kiv
