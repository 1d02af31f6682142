#pragma once

#include "uErrorList.h"

#include <QStringList>

namespace kiv {

/// The matches of a text search: for each entry its display text and, in a parallel list, the
/// full path of the file it was found in. A double click opens the file at the match.
class TFindResultsList : public TOutputList {
    Q_OBJECT

public:
    explicit TFindResultsList(QWidget *parent = nullptr);

    /// Adds an entry; tabs in `text` are shown as three spaces.
    void AddResult(const QString &text, const QString &path);
    void Clear();
    int Count() const { return int(m_paths.size()); }
    QString Path(int index) const { return m_paths.value(index); }

    /// Double click: selects line 0 when nothing is selected; when the selected entry has the
    /// message-line form and names its position in numbers, opens the entry's file and goes to
    /// the match. False when nothing was opened.
    bool GoToSelected() override;

    /// Set by the Output window.
    const TOutputNavigation *Navigation = nullptr;

private:
    QStringList m_paths;
};

}  // namespace kiv
