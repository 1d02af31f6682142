#include "kivsxwiz.h"

namespace kiv {

Tfkivsxwiz::Tfkivsxwiz(QWidget *parent, bool open) : TWizardForm(m_sx, SxPageCaptions(), "RzButton1", parent)
{
    setObjectName("fkivsxwiz");
    setWindowTitle("New SX project");
    BuildPages();
    CreatePinTable(spPins, SxPinTypeNames(), true);
    if (open)
        m_sx.Open();
    ShowModel();
    resize(820, 600);
}

Tfkivsxwiz::~Tfkivsxwiz()
{
    m_sx.changed = nullptr;
}

int Tfkivsxwiz::GridColumns(const QString &group) const
{
    if (group == "wdtbox" || group == "t0resbox")
        return 3;
    if (group == "compa")
        return 4;
    return 0;
}

TSxRunResult Tfkivsxwiz::Run()
{
    return RunSxWizard(m_sx, [this] { return exec() == QDialog::Accepted; });
}

}  // namespace kiv
