#include "uTabHost.h"

#include "uDockForm.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace kiv {

namespace {

int g_tabHostCounter = 1;

}  // namespace

TTabDockHost::TTabDockHost(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockClient(floatParent ? floatParent : dockingLib ? dockingLib->MainWindow() : nullptr)
    , m_dockingLib(dockingLib)
{
    m_pageControl = new TDockPageControl(Client());
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    m_pageControl->SetGroupWindow(this);
    auto *layout = new QVBoxLayout(Client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pageControl);

    ++g_tabHostCounter;
    SetHostTag(g_tabHostCounter);

    m_pageControl->OnGetSiteInfo = [this](TDockSite *, TDockClient *client, QRect &, const QPoint &, bool &canDock) {
        PageControl1GetSiteInfo(client, canDock);
    };
    m_pageControl->OnDockOver = [this](TDockSite *, TDockDragObject &source, const QPoint &, bool &accept) {
        PageControl1DockOver(source, accept);
    };
    m_pageControl->OnDockDrop = [this](TDockSite *, TDockDragObject &source, const QPoint &) {
        PageControl1DockDrop(source);
    };
    m_pageControl->OnUnDock = [this](TDockSite *, TDockClient *client, TDockSite *newTarget, bool &) {
        PageControl1UnDock(client, newTarget);
    };
    m_pageControl->OnMouseDown = [this](TDockPageControl *) { PageControl1MouseDown(); };
    m_pageControl->OnChange = [this](TDockPageControl *) { PageControl1Change(); };
    m_pageControl->OnUpdateCaption = [this](TDockClient *leaving) { UpdateCaption(leaving); };
}

TTabDockHost::~TTabDockHost() = default;

int TTabDockHost::TabHostCounter()
{
    return g_tabHostCounter;
}

void TTabDockHost::RaiseTabHostCounter(int tag)
{
    g_tabHostCounter = std::max(g_tabHostCounter, tag);
}

TTabDockHost *TTabDockHost::OfSite(TDockSite *site)
{
    if (!site || site->SiteKind() != skTabGroup)
        return nullptr;
    return qobject_cast<TTabDockHost *>(site->GroupWindow());
}

int TTabDockHost::HostTag() const
{
    return m_pageControl->Tag();
}

void TTabDockHost::SetHostTag(int tag)
{
    m_pageControl->SetTag(tag);
    setObjectName(QStringLiteral("TabDockHost%1").arg(tag));
}

void TTabDockHost::UpdateCaption(TDockClient *leaving)
{
    QStringList captions;
    for (TDockClient *client : m_pageControl->Clients()) {
        if (client != leaving && client->Visible())
            captions << client->windowTitle();
    }
    const QString caption = captions.join(QStringLiteral(", "));
    if (caption == windowTitle())
        return;
    setWindowTitle(caption);
    if (TDockSite *site = HostDockSite())
        site->SiteWidget()->update();
}

void TTabDockHost::PageControl1GetSiteInfo(TDockClient *client, bool &canDock)
{
    if (auto *active = qobject_cast<TDockForm *>(m_pageControl->ActivePageClient());
        active && active->RefusesTabClient(client)) {
        canDock = false;
        return;
    }
    if (m_pageControl->Clients().contains(client)) {
        canDock = false;
        return;
    }
    canDock = qobject_cast<TDockForm *>(client) != nullptr;
}

void TTabDockHost::PageControl1DockOver(TDockDragObject &source, bool &accept)
{
    accept = qobject_cast<TDockForm *>(source.Control) != nullptr;
}

void TTabDockHost::PageControl1DockDrop(TDockDragObject &source)
{
    // A page does not take drops on itself; the page control takes them.
    if (auto *form = qobject_cast<TDockForm *>(source.Control))
        form->SetDockSite(false);
    UpdateCaption();
}

void TTabDockHost::PostClose()
{
    QPointer<TTabDockHost> guard(this);
    QMetaObject::invokeMethod(this, [guard] {
        if (guard)
            guard->close();
    }, Qt::QueuedConnection);
}

void TTabDockHost::PageControl1UnDock(TDockClient *client, TDockSite *newTarget)
{
    if (auto *form = qobject_cast<TDockForm *>(client))
        form->SetDockSite(true);
    const bool inPanel = m_dockingLib && m_dockingLib->AsPanel(HostDockSite());
    // In a panel the group goes with its last visible page; floating, a group of one is no
    // group. A hidden page leaving does not take the visible ones with it.
    const bool lastVisibleLeaves = m_pageControl->VisibleDockClientCount(client) == 0;
    const bool closeGroup = (inPanel && lastVisibleLeaves) || (Floating() && m_pageControl->DockClientCount() <= 2);
    if (closeGroup && newTarget != m_pageControl)
        PostClose();
    UpdateCaption(client);
}

void TTabDockHost::PageControl1MouseDown()
{
    m_pageControl->SetDockSite(true);
}

void TTabDockHost::PageControl1Change()
{
    auto *form = qobject_cast<TDockForm *>(m_pageControl->ActivePageClient());
    if (form && form->OnDockActivate)
        form->OnDockActivate(m_pageControl);
}

void TTabDockHost::closeEvent(QCloseEvent *event)
{
    event->accept();
    TDockSite *site = HostDockSite();
    if (TDockPanel *panel = m_dockingLib ? m_dockingLib->AsPanel(site) : nullptr) {
        m_dockingLib->ShowDockPanel(panel, false);
        if (m_pageControl->DockClientCount() == 0)
            deleteLater();
        return;
    }
    if (!site && m_pageControl->DockClientCount() == 1) {
        // The last window floats where it is, at its own floating size.
        TDockClient *client = m_pageControl->DockClients(0);
        const QRect rect(client->ScreenRect().topLeft(), QSize(client->UndockWidth(), client->UndockHeight()));
        client->ManualFloat(rect);
        deleteLater();
    } else if (!site && m_pageControl->DockClientCount() == 0) {
        deleteLater();
    }
}

}  // namespace kiv
