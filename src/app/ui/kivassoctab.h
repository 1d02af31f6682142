#pragma once

#include "kivassoc.h"

#include <QWidget>

class QLabel;
class QListWidget;

namespace kiv {

/// The "System" page of the "File Formats" dialog: one check box per file extension the
/// program can be tied to. The dialog calls Fill each time it is shown, Apply on OK (after its
/// own settings are stored) and Cancel on Cancel; switching between the dialog's tabs keeps the
/// checks the user made.
class TKivAssocTab : public QWidget {
    Q_OBJECT
public:
    /// The page's caption in the dialog's tab bar ("System"); also its windowTitle.
    static QString Caption();

    /// Associations of the running program in the user's XDG folders.
    explicit TKivAssocTab(QWidget *parent = nullptr);
    /// Associations described by `environment` (tests point it into a temporary home).
    explicit TKivAssocTab(TAssocEnvironment environment, QWidget *parent = nullptr);

    /// Rebuilds the list and sets every check from the system.
    void Fill();
    /// Registers or unregisters the entries whose check changed since Fill; silent on failure.
    TAssocApplyResult Apply();
    /// Forgets the changed checks; the system is left as it is.
    void Cancel();

    TKivAssoc &Model() { return m_model; }

private:
    void BuildControls();
    void ShowModel();
    void ReadChecks();

    TKivAssoc m_model;
    QLabel *m_caption = nullptr;
    QListWidget *m_list = nullptr;
    QLabel *m_note = nullptr;
};

}  // namespace kiv
