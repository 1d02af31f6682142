#include "uConjoinHost.h"

#include "uDockForm.h"
#include "uDockManager.h"
#include "uDockPanel.h"
#include "uDockingLib.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace kiv {

namespace {

int g_conjoinHostCounter = 1;

// The dock area of a side-by-side group.
class TConjoinSite : public TDockZoneSite {
public:
    TConjoinSite(TConjoinDockHost *group, QWidget *parent)
        : TDockZoneSite(parent)
        , m_group(group)
    {
    }
    TDockSiteKind SiteKind() const override { return skSideBySideGroup; }
    QString SiteClassName() const override { return QStringLiteral("TConjoinDockHost"); }
    TDockClient *GroupWindow() const override { return m_group; }
    void UpdateGroupCaption(TDockClient *leaving) override { m_group->UpdateCaption(leaving); }

private:
    TConjoinDockHost *m_group;
};

}  // namespace

TConjoinDockHost::TConjoinDockHost(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockClient(floatParent ? floatParent : dockingLib ? dockingLib->MainWindow() : nullptr)
    , m_dockingLib(dockingLib)
{
    m_site = new TConjoinSite(this, Client());
    m_site->setObjectName(QStringLiteral("ConjoinDockArea"));
    auto *layout = new QVBoxLayout(Client());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_site);

    ++g_conjoinHostCounter;
    SetHostTag(g_conjoinHostCounter);

    auto onlyForms = [](TDockClient *client) { return qobject_cast<TDockForm *>(client) != nullptr; };
    m_site->OnGetSiteInfo = [onlyForms](TDockSite *, TDockClient *client, QRect &, const QPoint &, bool &canDock) {
        canDock = onlyForms(client);
    };
    m_site->OnDockOver = [onlyForms](TDockSite *, TDockDragObject &source, const QPoint &, bool &accept) {
        accept = onlyForms(source.Control);
    };
    m_site->OnDockDrop = [this](TDockSite *, TDockDragObject &, const QPoint &) {
        UpdateCaption();
        m_site->DockManager()->ResetBounds();
    };
    m_site->OnUnDock = [this](TDockSite *, TDockClient *client, TDockSite *newTarget, bool &) {
        FormUnDock(client, newTarget);
    };
}

TConjoinDockHost::~TConjoinDockHost() = default;

int TConjoinDockHost::ConjoinHostCounter()
{
    return g_conjoinHostCounter;
}

void TConjoinDockHost::RaiseConjoinHostCounter(int tag)
{
    g_conjoinHostCounter = std::max(g_conjoinHostCounter, tag);
}

TConjoinDockHost *TConjoinDockHost::OfSite(TDockSite *site)
{
    if (!site || site->SiteKind() != skSideBySideGroup)
        return nullptr;
    return qobject_cast<TConjoinDockHost *>(site->GroupWindow());
}

int TConjoinDockHost::HostTag() const
{
    return m_site->Tag();
}

void TConjoinDockHost::SetHostTag(int tag)
{
    m_site->SetTag(tag);
    setObjectName(QStringLiteral("ConjoinDockHost%1").arg(tag));
}

void TConjoinDockHost::UpdateCaption(TDockClient *leaving)
{
    QStringList captions;
    for (TDockClient *client : m_site->Clients()) {
        if (client != leaving && client->Visible())
            captions << client->windowTitle();
    }
    setWindowTitle(captions.join(QStringLiteral(", ")));
}

void TConjoinDockHost::FormUnDock(TDockClient *client, TDockSite *newTarget)
{
    if (auto *form = qobject_cast<TDockForm *>(client))
        form->SetDockSite(true);
    if (m_site->DockClientCount() == 2 && newTarget != m_site) {
        QPointer<TConjoinDockHost> guard(this);
        QMetaObject::invokeMethod(this, [guard] {
            if (guard)
                guard->close();
        }, Qt::QueuedConnection);
    }
    UpdateCaption(client);
}

void TConjoinDockHost::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_site->DockClientCount() == 1) {
        // The last window floats where it is, at its own floating size.
        TDockClient *client = m_site->DockClients(0);
        const QRect rect(client->ScreenRect().topLeft(), QSize(client->UndockWidth(), client->UndockHeight()));
        client->ManualFloat(rect);
        deleteLater();
    } else if (m_site->DockClientCount() == 0) {
        deleteLater();
    }
}

}  // namespace kiv
