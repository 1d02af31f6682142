#include "uFindResultsList.h"

#include "uOutputForm_model.h"

#include <QCoreApplication>

namespace kiv {

TFindResultsList::TFindResultsList(QWidget *parent)
    : TOutputList(parent)
{
    setObjectName(QStringLiteral("FindResultsList"));
    // A search of files can list many thousands of lines: they are laid out a batch at a time
    // while the window goes on working.
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
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
