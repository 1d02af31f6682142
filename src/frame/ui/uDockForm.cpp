#include "uDockForm.h"

#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uTabHost.h"

#include <QCloseEvent>

namespace kiv {

TDockForm::TDockForm(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockClient(floatParent ? floatParent : dockingLib ? dockingLib->MainWindow() : nullptr)
    , TDockSite(this)
    , m_dockingLib(dockingLib)
{
}

TDockForm::~TDockForm() = default;

bool TDockForm::event(QEvent *event)
{
    if (event->type() == QEvent::ShowToParent && OnDockActivate && !Moving())
        OnDockActivate(this);
    return TDockClient::event(event);
}

void TDockForm::closeEvent(QCloseEvent *event)
{
    TCloseAction action = caHide;
    CloseDocked(action);
    if (action == caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (action == caFree)
        deleteLater();
}

void TDockForm::CloseDocked(TCloseAction &action)
{
    action = caHide;
    TDockSite *site = HostDockSite();
    if (!site)
        return;
    if (site->SiteKind() == skSideBySideGroup) {
        site->UpdateGroupCaption(this);
        if (site->VisibleDockClientCount() <= 1) {
            if (TDockClient *group = site->GroupWindow())
                group->hide();
        }
    } else if (site->SiteKind() == skTabGroup) {
        site->UpdateGroupCaption(this);
        // The form is still visible here; it is the last one when no other page is.
        if (site->VisibleDockClientCount(this) == 0) {
            if (TDockClient *group = site->GroupWindow()) {
                QPointer<TDockClient> guard(group);
                QMetaObject::invokeMethod(group, [guard] {
                    if (guard)
                        guard->close();
                }, Qt::QueuedConnection);
                site = group->HostDockSite();
            }
        }
    }
    if (m_dockingLib) {
        if (TDockPanel *panel = m_dockingLib->AsPanel(site))
            m_dockingLib->ShowDockPanel(panel, false);
    }
}

bool TDockForm::RefusesTabClient(TDockClient *)
{
    return false;
}

bool TDockForm::ShowDocked()
{
    auto *pageControl = dynamic_cast<TDockPageControl *>(HostDockSite());
    if (!pageControl)
        return false;
    show();
    pageControl->ActivatePage(this);
    return true;
}

bool TDockForm::DockToCustomHost(int, int, bool, int, int, int)
{
    return false;
}

void TDockForm::GetSiteInfo(TDockClient *client, QRect &influence, const QPoint &mousePos, bool &canDock)
{
    TDockSite::GetSiteInfo(client, influence, mousePos, canDock);
    // A form only takes drops when it handles them itself and its handler says yes.
    if (!OwnDockHandling || !OnGetSiteInfo)
        canDock = false;
}

void TDockForm::InsertClient(TDockClient *client, TAlign, TDockClient *)
{
    AdoptClient(client, Client());
    client->setGeometry(Client()->rect());
}

void TDockForm::RemoveClient(TDockClient *)
{
}

}  // namespace kiv
