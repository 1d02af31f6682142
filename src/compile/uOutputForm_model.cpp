#include "uOutputForm_model.h"

#include <algorithm>

namespace kiv {

namespace {

std::optional<int> Number(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

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
    const QString rest = display.mid(quote + 1);
    const int colon = rest.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    const int space = rest.lastIndexOf(' ', colon);
    const QString field = rest.mid(space + 1, colon - space - 1);
    const int paren = field.indexOf('(');
    if (paren < 0) {
        // Search results always carry columns; a line without them still names its line.
        const auto line = Number(field);
        if (!line)
            return std::nullopt;
        TMessagePosition position;
        position.line = *line;
        return position;
    }
    const int comma = field.indexOf(',', paren);
    if (comma < 0 || !field.endsWith(')'))
        return std::nullopt;
    const auto line = Number(field.left(paren));
    const auto start = Number(field.mid(paren + 1, comma - paren - 1));
    const auto end = Number(field.mid(comma + 1, field.size() - comma - 2));
    if (!line || !start || !end)
        return std::nullopt;
    TMessagePosition position;
    position.line = *line;
    position.startColumn = *start;
    position.endColumn = *end;
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
