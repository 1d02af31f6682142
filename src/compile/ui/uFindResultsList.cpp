#include "uFindResultsList.h"

#include "uOutputForm_model.h"

#include <QCoreApplication>

namespace kiv {

TFindResultsList::TFindResultsList(QWidget *parent)
    : TOutputList(parent)
{
    setObjectName(QStringLiteral("FindResultsList"));
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { GoToSelected(); });
}

void TFindResultsList::AddResult(const QString &text, const QString &path)
{
    AppendLine(FindResultText(text));
    m_paths << path;
}

void TFindResultsList::Clear()
{
    ClearLines();
    m_paths.clear();
}

bool TFindResultsList::GoToSelected()
{
    SelectFirstWhenNone();
    const int selected = currentRow();
    if (selected < 0 || selected >= m_paths.size())
        return false;
    const std::optional<TMessagePosition> position = ParseFindResultLine(item(selected)->text());
    if (!position || !Navigation || !Navigation->OpenFile)
        return false;
    const int page = Navigation->OpenFile(m_paths.at(selected));
    if (page < 0)
        return false;
    if (Navigation->GoToPosition)
        Navigation->GoToPosition(page, position->line, position->startColumn,
                                 position->endColumn);
    QCoreApplication::processEvents();
    return true;
}

}  // namespace kiv
