#include "kivwizard.h"

#include "enternumber.h"
#include "fuseselection.h"
#include "kivpopup.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace kiv {

namespace {

bool SameFuseControls(const TFuseFrameModel &a, const TFuseFrameModel &b)
{
    if (a.Controls().size() != b.Controls().size())
        return false;
    for (int i = 0; i < a.Controls().size(); ++i) {
        const TFuseControl &x = a.Controls()[i];
        const TFuseControl &y = b.Controls()[i];
        if (x.kind != y.kind || x.captions != y.captions || x.checked != y.checked || x.chosen != y.chosen)
            return false;
    }
    return a.ChoiceNames() == b.ChoiceNames();
}

}  // namespace

Tfkivwizard::Tfkivwizard(QWidget *parent, bool open)
    : TWizardForm(m_wizard, WizardPageCaptions(), "np_view", parent)
{
    setObjectName("fkivwizard");
    setWindowTitle("New project");
    BuildPages();
    CreatePinTable(wpPins, PinTypeNames(), false);
    m_wizard.enterNumber = [this](const QString &prompt) { return EnterNumber(this, prompt); };
    if (open)
        m_wizard.Open();
    ShowModel();
    resize(820, 600);
}

Tfkivwizard::~Tfkivwizard()
{
    m_wizard.changed = nullptr;
    m_wizard.enterNumber = nullptr;
    m_wizard.WriteBraceStyle();
}

bool Tfkivwizard::IsRadioList(const QString &name) const
{
    static const QStringList radios = {"functiongenoptions", "np_i2c_mode", "np_i2c_speed", "SPI_MS", "adc_pinsrb"};
    return radios.contains(name);
}

int Tfkivwizard::GridColumns(const QString &group) const
{
    static const QHash<QString, int> grids = {{"t0srcbox", 3}, {"t0resbox", 3}, {"wdtsbox", 4}, {"t1group", 2},
                                              {"t2resolution", 3}, {"t3resbox", 2}, {"t4resolution", 3},
                                              {"compa", 3}, {"adc_pinscb", 2}};
    return grids.value(group, 0);
}

bool Tfkivwizard::StartsRightColumn(const QString &name) const
{
    return name == "NP_I2C" || name == "NP_LCD";
}

bool Tfkivwizard::SingleColumn(int page) const
{
    return page == wpHeaders || page == wpPins || page == wpInterrupts || page == wpDrivers;
}

void Tfkivwizard::ControlPlaced(const TWizardControl &control, QWidget *widget)
{
    if (control.name != "np_clock")
        return;
    // The fuse frame sits in its group "Fuses" in the General page's right-hand column.
    auto *fuses = new QGroupBox("Fuses", widget->parentWidget());
    fuses->setObjectName("fusesbox");
    auto *l = new QVBoxLayout(fuses);
    m_fuseFrame = new TOtherFusesFrame(fuses);
    l->addWidget(m_fuseFrame);
    Column(wpGeneral, 1)->addRow(fuses);
    connect(m_fuseFrame, &TOtherFusesFrame::FusesChanged, this, [this] { m_wizard.Fuses() = m_fuseFrame->Model(); });
}

void Tfkivwizard::ShowOwnWidgets()
{
    if (m_fuseFrame) {
        if (!SameFuseControls(m_fuseFrame->Model(), m_wizard.Fuses()))
            m_fuseFrame->SetFuseModel(m_wizard.Fuses());
    }
    // Interrupt rows without a description show the interrupt's name.
    if (auto *ints = qobject_cast<QListWidget *>(ControlWidget("intchecklist")))
        for (int i = 0; i < ints->count(); ++i)
            if (m_wizard.C("intchecklist").items.value(i).isEmpty())
                ints->item(i)->setText(m_wizard.InterruptNames().value(i));
    ShowPinTable();
}

QString Tfkivwizard::PreviewCurrentPage()
{
    return PreviewText(m_wizard, m_wizard.CurrentPage());
}

void Tfkivwizard::PreviewPage()
{
    ShowCode(this, PreviewCurrentPage());
}

TWizardRunResult Tfkivwizard::Run(const QString &includes)
{
    return RunProjectWizard(m_wizard, includes, [this] { return exec() == QDialog::Accepted; });
}

}  // namespace kiv
