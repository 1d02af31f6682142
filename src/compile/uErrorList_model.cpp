#include "uErrorList_model.h"

#include "kivini.h"

#include <QFileInfo>

namespace kiv {

namespace {

std::optional<int> Number(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

bool IsMessageLine(const QString &line)
{
    if (line.isEmpty())
        return false;
    const QChar first = line.at(0);
    if (first == '*' || first == '-' || first == '>')
        return true;
    return first == '.' && line.size() >= 5 && line.at(4) == '"';
}

std::optional<TMessagePosition> ParseMessageLine(const QString &line)
{
    if (!IsMessageLine(line))
        return std::nullopt;
    const int open = line.indexOf('"');
    if (open < 0)
        return std::nullopt;
    const int close = line.indexOf('"', open + 1);
    if (close < 0)
        return std::nullopt;
    TMessagePosition position;
    position.file = line.mid(open + 1, close - open - 1);
    if (!ParsePositionField(line.mid(close + 1), position))
        return std::nullopt;
    return position;
}

bool ParsePositionField(const QString &rest, TMessagePosition &position)
{
    const int colon = rest.indexOf(':');
    if (colon < 0)
        return false;
    const int space = rest.lastIndexOf(' ', colon);
    const QString field = rest.mid(space + 1, colon - space - 1);
    const int paren = field.indexOf('(');
    if (paren < 0) {
        const auto number = Number(field);
        if (!number)
            return false;
        position.line = *number;
        return true;
    }
    const int comma = field.indexOf(',', paren);
    if (comma < 0 || !field.endsWith(')'))
        return false;
    const auto number = Number(field.left(paren));
    const auto start = Number(field.mid(paren + 1, comma - paren - 1));
    const auto end = Number(field.mid(comma + 1, field.size() - comma - 2));
    if (!number || !start || !end)
        return false;
    position.line = *number;
    position.startColumn = *start;
    position.endColumn = *end;
    return true;
}

bool IsErrorLine(const QString &line)
{
    return !line.isEmpty() && (line.startsWith('*') || line.left(5) == QLatin1String("Error"));
}

void TErrorListModel::Clear()
{
    m_lines.clear();
    m_selected = -1;
    emit LinesChanged();
    emit SelectionChanged(m_selected);
}

void TErrorListModel::AddLine(const QString &line)
{
    m_lines << line;
    emit LinesChanged();
}

void TErrorListModel::SetSelected(int index)
{
    const int selected = index >= 0 && index < Count() ? index : -1;
    if (selected == m_selected)
        return;
    m_selected = selected;
    emit SelectionChanged(m_selected);
}

bool TErrorListModel::LoadErrorFile(const QString &path, bool *failed)
{
    if (failed)
        *failed = false;
    Clear();
    bool ok = false;
    const QStringList lines = QFileInfo(path).isFile() ? ReadTextLines(path, &ok) : QStringList();
    if (!ok)
        return false;
    int firstError = -1;
    for (const QString &line : lines) {
        if (firstError < 0 && IsErrorLine(line))
            firstError = int(m_lines.size());
        m_lines << line;
    }
    emit LinesChanged();
    SetSelected(firstError);
    if (failed)
        *failed = firstError >= 0;
    return true;
}

}  // namespace kiv
