#pragma once

// What the Output window's lists navigate by, without windows: the position a find-result line
// names, and the selection a go-to-position makes in an editor.

#include "textpos.h"
#include "uErrorList_model.h"

#include <optional>

namespace kiv {

/// The display text of a find result: the line with each tab replaced by three spaces.
QString FindResultText(const QString &text);

/// The position a find-result line names (its file comes from the list's parallel paths, so
/// `file` stays empty): the line must have the message-line form; after the first double quote
/// that is followed by " Line ", the text between the last space before the next ":" and that
/// ":" is the line number, followed by "(" start column "," end column ")" (without them the
/// columns are -1). Nothing when the line is not a message line or the position is not made of
/// numbers.
std::optional<TMessagePosition> ParseFindResultLine(const QString &display);

/// What a go-to-position does in an editor of `lineCount` lines, whose line `line` has
/// `lineLength` characters.
struct TGoToSelection {
    bool select = false;   /// false: the line is not in the text, nothing is selected
    TextPos anchor;        /// the selection runs from anchor to caret
    TextPos caret;
    int topLine = 1;       /// the line to show at the top: 10 lines above `line`, at least 1
};

/// The selection of columns `startColumn` to `endColumn` on `line` (1-based; the end column is
/// the one just after the last selected character). A start column below 1 means column 1, an
/// end column below 0 the end of the line; columns beyond the end of the line stop there.
TGoToSelection GoToSelection(int lineCount, int lineLength, int line, int startColumn,
                             int endColumn);

/// Lines shown above the line a go-to-position leads to.
constexpr int kGoToLinesAbove = 10;

}  // namespace kiv
