#pragma once

// The project wizard's window "New project": a tab strip over the pages, one widget per control
// of the model (objectName = the control's name), the fuse frame, the pin table and the check
// lists. It shows TWizardModel and forwards every user change to it.

#include "kivwizard_code.h"
#include "kivwizard_model.h"

#include <QDialog>
#include <QHash>

#include <functional>

class QStackedWidget;
class QTabBar;
class QTableWidget;

namespace kiv {

class TOtherFusesFrame;

class Tfkivwizard : public QDialog {
    Q_OBJECT

public:
    /// Creates the window and opens the model (device list, drivers, brace style).
    explicit Tfkivwizard(QWidget *parent = nullptr, bool open = true);
    /// Writes the brace style back to the settings.
    ~Tfkivwizard() override;

    TWizardModel &Model() { return m_model; }
    /// Shows every control's state from the model.
    void ShowModel();
    /// Selects a page (tab) and runs its refresh.
    void SelectPage(int page);
    /// The widget of a control.
    QWidget *ControlWidget(const QString &name) const { return m_widgets.value(name); }
    /// `PreviewPage`: the current page's code in the "Code" window.
    void PreviewPage();
    /// `RunProjectWizard` with this window: the C file and header paths, empty on cancel.
    TWizardRunResult Run(const QString &includes);

    /// Shows a help topic ("ProjectWizard"); set by the main window.
    std::function<void(const QString &topic)> showHelp;

private:
    QWidget *MakeControl(const TWizardControl &control, QWidget *parent);
    void BuildPages();
    void ShowPins();
    void ShowFuses();

    TWizardModel m_model;
    QTabBar *m_tabs = nullptr;
    QStackedWidget *m_pages = nullptr;
    QTableWidget *m_pinTable = nullptr;
    TOtherFusesFrame *m_fuseFrame = nullptr;
    QHash<QString, QWidget *> m_widgets;
    QString m_shownDevice;
    bool m_showing = false;
    bool m_pinsDirty = true;
};

}  // namespace kiv
