#include "uOutputForm_model.h"

#include <algorithm>

namespace kiv {

QString FindResultText(const QString &text)
{
    QString display = text;
    display.replace('\t', QLatin1String("   "));
    return display;
}

std::optional<TMessagePosition> ParseFindResultLine(const QString &display)
{
    if (!IsMessageLine(display))
        return std::nullopt;
    const int quote = display.indexOf(QLatin1String("\" Line "));
    if (quote < 0)
        return std::nullopt;
    // Search results always carry columns; a line without them still names its line.
    TMessagePosition position;
    if (!ParsePositionField(display.mid(quote + 1), position))
        return std::nullopt;
    return position;
}

TGoToSelection GoToSelection(int lineCount, int lineLength, int line, int startColumn,
                             int endColumn)
{
    TGoToSelection selection;
    if (line < 1 || line > lineCount)
        return selection;
    const int lineEnd = std::max(lineLength, 0) + 1;
    const int start = std::clamp(startColumn, 1, lineEnd);
    const int end = endColumn < 0 ? lineEnd : std::clamp(endColumn, 1, lineEnd);
    selection.select = true;
    selection.anchor = TextPos{line, start};
    selection.caret = TextPos{line, end};
    selection.topLine = std::max(1, line - kGoToLinesAbove);
    return selection;
}

}  // namespace kiv
