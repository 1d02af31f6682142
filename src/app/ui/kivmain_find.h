#pragma once

// The main window's finding and replacing: the find dialog, the replace dialog, the search state
// behind "Next", find in files with its progress, replace in project, and the editor's context
// menu.

#include "kivedit_model.h"
#include "kivfif_model.h"

#include <QObject>
#include <QPointer>

class QMenu;

namespace kiv {

class Tfkivfif;
class Tfkivmain;
class TReplaceDialog;

/// What finding and replacing keep between commands.
class TFindParts : public QObject {
    Q_OBJECT

public:
    explicit TFindParts(Tfkivmain &main);

    /// The find dialog, created once.
    Tfkivfif *Dialog = nullptr;
    /// The replace dialog, created once.
    TReplaceDialog *Replace = nullptr;
    /// The last search: text, find or replace mode, options.
    TSearchState State;
    /// The summary of the last search of files.
    TFindSummary LastSummary;
    /// The editor context menu last shown (kept for tests; rebuilt on each right click).
    QPointer<QMenu> LastPopup;

protected:
    /// A right click in the page container opens the editor context menu.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Tfkivmain &m_main;
};

}  // namespace kiv
