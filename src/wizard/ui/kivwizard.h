#pragma once

// The project wizard's window "New project": the pages of TWizardModel with the fuse frame in
// the General page and the pin table in the I/O Pins page. It shows the model and forwards every
// user change to it.

#include "kivwizard_code.h"
#include "kivwizard_model.h"
#include "wizardform.h"

namespace kiv {

class TOtherFusesFrame;

class Tfkivwizard : public TWizardForm {
    Q_OBJECT

public:
    /// Creates the window and, with `open`, opens the model (device list, drivers, brace style).
    explicit Tfkivwizard(QWidget *parent = nullptr, bool open = true);
    /// Writes the brace style back to the settings.
    ~Tfkivwizard() override;

    TWizardModel &Model() { return m_wizard; }
    /// `PreviewPage`: the current page's code in the "Code" window.
    void PreviewPage();
    /// `RunProjectWizard` with this window: the C file and header paths, empty on cancel.
    TWizardRunResult Run(const QString &includes);

protected:
    int ModelPage() const override { return m_wizard.CurrentPage(); }
    void ShowModelPage(int page) override { m_wizard.ShowPage(page); }
    QString PreviewCurrentPage() override;
    void ControlPlaced(const TWizardControl &control, QWidget *widget) override;
    void ShowOwnWidgets() override;
    bool IsRadioList(const QString &name) const override;
    int GridColumns(const QString &group) const override;
    bool StartsRightColumn(const QString &name) const override;
    bool SingleColumn(int page) const override;

private:
    TWizardModel m_wizard;
    TOtherFusesFrame *m_fuseFrame = nullptr;
};

}  // namespace kiv
