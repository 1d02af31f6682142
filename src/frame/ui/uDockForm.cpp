#include "uDockForm.h"

#include "uConjoinHost.h"
#include "uDockForm_model.h"

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

namespace {

bool Groupable(TDockClient *client)
{
    return qobject_cast<TDockForm *>(client) || qobject_cast<TTabDockHost *>(client);
}

}  // namespace

void TDockForm::GetSiteInfo(TDockClient *client, QRect &influence, const QPoint &mousePos, bool &canDock)
{
    if (OwnDockHandling) {
        // A form that handles drops itself takes them only when its handler says so.
        TDockSite::GetSiteInfo(client, influence, mousePos, canDock);
        if (!OnGetSiteInfo)
            canDock = false;
        return;
    }
    influence = QRect(mapToGlobal(QPoint(0, 0)), size());
    canDock = Groupable(client);
}

void TDockForm::DockOver(TDockDragObject &source, const QPoint &pos, bool &accept)
{
    if (OwnDockHandling) {
        TDockSite::DockOver(source, pos, accept);
        return;
    }
    accept = Groupable(source.Control);
    if (!accept)
        return;
    QRect preview;
    const TAlign side = DockZone(Client()->mapFrom(this, pos), Client()->size(), &preview);
    if (side != alNone) {
        source.DockRect = QRect(Client()->mapToGlobal(preview.topLeft()), preview.size());
        source.DropAlign = side;
        source.DropOnControl = this;
    }
}

bool TDockForm::DockClientNotification(TDockDragObject &source, const QPoint &pos)
{
    if (OwnDockHandling)
        return false;
    TDockClient *dropped = source.Control;
    if (!Groupable(dropped) || dropped == this)
        return true;
    // A drag brings the side of its drop zone; ManualDock may name one, else the position decides.
    const TAlign side = source.DropAlign != alNone ? source.DropAlign
                                                   : DockZone(Client()->mapFrom(this, pos), Client()->size());
    if (side == alNone)
        return true;
    TDockPanel *panel = m_dockingLib ? m_dockingLib->AsPanel(HostDockSite()) : nullptr;
    const QRect bounds(ScreenRect().topLeft(), size());

    // The dropped window joins a new tab group; a dropped tab group gives up its pages.
    auto dockIntoTabs = [dropped](TTabDockHost *group) {
        if (auto *oldGroup = qobject_cast<TTabDockHost *>(dropped)) {
            while (oldGroup->PageControl1()->DockClientCount() > 0)
                oldGroup->PageControl1()->DockClients(0)->ManualDock(group->PageControl1(), nullptr, alClient);
        } else {
            dropped->ManualDock(group->PageControl1(), nullptr, alClient);
        }
    };

    if (side == alClient) {
        auto *group = new TTabDockHost(m_dockingLib);
        if (panel) {
            group->ManualDock(panel, this, alClient);
            group->show();
        } else {
            group->ManualFloat(bounds);
        }
        ManualDock(group->PageControl1(), nullptr, alClient);
        dockIntoTabs(group);
        group->UpdateCaption();
        group->show();
        return true;
    }
    if (panel) {
        // Beside this form in the panel: its zone splits.
        dropped->ManualDock(panel, this, side);
        return true;
    }
    auto *group = new TConjoinDockHost(m_dockingLib);
    group->ManualFloat(bounds);
    ManualDock(group->DockArea(), nullptr, alNone);
    SetDockSite(false);
    dropped->ManualDock(group->DockArea(), this, side);
    if (auto *form = qobject_cast<TDockForm *>(dropped))
        form->SetDockSite(false);
    group->UpdateCaption();
    group->show();
    return true;
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
