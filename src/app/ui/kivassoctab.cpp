#include "kivassoctab.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace kiv {

QString TKivAssocTab::Caption()
{
    return QStringLiteral("System");
}

TKivAssocTab::TKivAssocTab(QWidget *parent)
    : TKivAssocTab(TAssocEnvironment::FromProcess(), parent)
{
}

TKivAssocTab::TKivAssocTab(TAssocEnvironment environment, QWidget *parent)
    : QWidget(parent)
    , m_model(std::move(environment))
{
    setObjectName("SystemTab");
    setWindowTitle(Caption());
    BuildControls();
}

void TKivAssocTab::BuildControls()
{
    auto *layout = new QVBoxLayout(this);

    m_caption = new QLabel("Assosiate the follwing file extensions with KIV:", this);
    m_caption->setObjectName("assoclabel");
    layout->addWidget(m_caption);

    m_list = new QListWidget(this);
    m_list->setObjectName("assoclist");
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_list, 1);

    m_note = new QLabel("NOTE: Modifying these system options will affect all\n"
                        "users who log on this computer.",
                        this);
    m_note->setObjectName("assocnote");
    layout->addWidget(m_note);
}

void TKivAssocTab::Fill()
{
    m_model.Fill();
    ShowModel();
}

TAssocApplyResult TKivAssocTab::Apply()
{
    ReadChecks();
    const TAssocApplyResult result = m_model.Apply();
    // A change that could not be made shows its old check again.
    ShowModel();
    return result;
}

void TKivAssocTab::Cancel()
{
    m_model.Cancel();
    ShowModel();
}

void TKivAssocTab::ShowModel()
{
    m_list->clear();
    for (int i = 0; i < m_model.Count(); ++i) {
        auto *item = new QListWidgetItem(m_model.ItemText(i), m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(m_model.Checked(i) ? Qt::Checked : Qt::Unchecked);
    }
}

void TKivAssocTab::ReadChecks()
{
    for (int i = 0; i < m_list->count() && i < m_model.Count(); ++i)
        m_model.SetChecked(i, m_list->item(i)->checkState() == Qt::Checked);
}

}  // namespace kiv
