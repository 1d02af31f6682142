#include "uOutputForm.h"

#include "uDockingLib.h"
#include "uFindResultsList.h"

#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace kiv {

TOutputForm::TOutputForm(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockForm(dockingLib, floatParent)
{
    setObjectName(QStringLiteral("OutputForm"));
    setWindowTitle(QStringLiteral("Output"));
    SetUndockSize(QSize(600, 200));
    m_layout = new QVBoxLayout(Client());
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_pages = new QStackedWidget(Client());
    m_errorList = new TErrorList(m_pages);
    m_errorList->Navigation = &Navigation;
    m_findResults = new TFindResultsList(m_pages);
    m_findResults->Navigation = &Navigation;
    m_pages->addWidget(m_errorList);
    m_pages->addWidget(m_findResults);

    // The tabs sit under the lists, as on a tab set.
    m_tabSet = new QTabBar(Client());
    m_tabSet->setObjectName(QStringLiteral("TabSet1"));
    m_tabSet->setShape(QTabBar::RoundedSouth);
    m_tabSet->setDrawBase(false);
    m_tabSet->setExpanding(false);
    m_tabSet->addTab(QStringLiteral("Compiler"));
    m_tabSet->addTab(QStringLiteral("Find"));
    m_layout->addWidget(m_pages, 1);
    m_layout->addWidget(m_tabSet);
    connect(m_tabSet, &QTabBar::currentChanged, this, &TOutputForm::TabSet1Change);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenuErrorList"));
    QAction *findSource = m_popup->addAction(QStringLiteral("Find Source Line"));
    findSource->setObjectName(QStringLiteral("FindSourceLine1"));
    QAction *help = m_popup->addAction(QStringLiteral("Help on this message"));
    help->setObjectName(QStringLiteral("Helponthismessage1"));
    connect(findSource, &QAction::triggered, this, &TOutputForm::FindSourceLineClick);
    connect(help, &QAction::triggered, this, &TOutputForm::HelpOnThisMessageClick);
    m_errorList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_errorList, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        // A right click selects the line under the mouse first.
        if (QListWidgetItem *item = m_errorList->itemAt(at))
            m_errorList->setCurrentItem(item);
        m_popup->popup(m_errorList->viewport()->mapToGlobal(at));
    });

    TabSet1Change(otCompiler);
}

TOutputForm::~TOutputForm() = default;

void TOutputForm::TabSet1Change(int tab)
{
    m_pages->setCurrentIndex(tab == otFind ? otFind : otCompiler);
}

int TOutputForm::Tab() const
{
    return m_tabSet->currentIndex();
}

void TOutputForm::ShowTab(int tab)
{
    m_tabSet->setCurrentIndex(tab == otFind ? otFind : otCompiler);
    if (DockingLib())
        DockingLib()->ShowDockedForm(this);
    else
        show();
}

void TOutputForm::FindSourceLineClick()
{
    m_errorList->GoToSelected();
}

void TOutputForm::HelpOnThisMessageClick()
{
    m_errorList->HelpOnSelected();
}

}  // namespace kiv
