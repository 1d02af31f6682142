#pragma once

// The SX wizard's window: the pages of TSxWizardModel and the pin table with its pull-up column.

#include "kivsxwiz_model.h"
#include "wizardform.h"

namespace kiv {

class Tfkivsxwiz : public TWizardForm {
    Q_OBJECT

public:
    /// Creates the window and, with `open`, lists the SX devices and reads drivers.dat.
    explicit Tfkivsxwiz(QWidget *parent = nullptr, bool open = true);
    ~Tfkivsxwiz() override;

    TSxWizardModel &Model() { return m_sx; }
    /// `RunSxWizard` with this window: the C file and header paths, empty on cancel.
    TSxRunResult Run();

protected:
    int ModelPage() const override { return m_sx.CurrentPage(); }
    void ShowModelPage(int page) override { m_sx.ShowPage(page); }
    QString PreviewCurrentPage() override { return m_sx.PreviewText(m_sx.CurrentPage()); }
    void ShowOwnWidgets() override { ShowPinTable(); }
    bool IsRadioList(const QString &name) const override { return name == "osc" || name.startsWith("mode"); }
    int GridColumns(const QString &group) const override;
    bool SingleColumn(int page) const override { return page == spPins || page == spDrivers; }

private:
    TSxWizardModel m_sx;
};

}  // namespace kiv
