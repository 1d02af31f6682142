#include "uDockPageControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QVBoxLayout>

namespace kiv {

namespace {

// The page that holds one docked window; the page control hides pages, never the window, so
// the window's own visibility stays what its owner set.
QWidget *NewPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("DockPage"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return page;
}

}  // namespace

TDockPageControl::TDockPageControl(QWidget *parent)
    : QTabWidget(parent)
    , TDockSite(this)
{
    setDocumentMode(true);
    setTabPosition(QTabWidget::South);
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, [this](int) {
        if (OnChange)
            OnChange(this);
    });
}

TDockPageControl::~TDockPageControl() = default;

void TDockPageControl::UpdateGroupCaption(TDockClient *leaving)
{
    if (OnUpdateCaption)
        OnUpdateCaption(leaving);
}

TDockClient *TDockPageControl::PageClient(int index) const
{
    QWidget *page = widget(index);
    if (!page)
        return nullptr;
    for (TDockClient *client : Clients()) {
        if (client->parentWidget() == page)
            return client;
    }
    return nullptr;
}

TDockClient *TDockPageControl::ActivePageClient() const
{
    return PageClient(currentIndex());
}

int TDockPageControl::PageIndexOf(const TDockClient *client) const
{
    for (int i = 0; i < count(); ++i) {
        if (PageClient(i) == client)
            return i;
    }
    return -1;
}

void TDockPageControl::ActivatePage(TDockClient *client)
{
    const int index = PageIndexOf(client);
    if (index >= 0) {
        setTabVisible(index, client->Visible());
        setCurrentIndex(index);
    }
}

void TDockPageControl::InsertClient(TDockClient *client, TAlign, TDockClient *)
{
    QWidget *page = NewPage(this);
    AdoptClient(client, page);
    page->layout()->addWidget(client);
    const int index = addTab(page, client->windowTitle());
    setTabVisible(index, client->Visible());
}

void TDockPageControl::RemoveClient(TDockClient *client)
{
    // The window has already left its page; the empty page goes.
    for (int i = 0; i < count(); ++i) {
        QWidget *page = widget(i);
        bool holdsClient = false;
        for (TDockClient *c : Clients())
            holdsClient = holdsClient || c->parentWidget() == page;
        if (!holdsClient) {
            removeTab(i);
            delete page;
            break;
        }
    }
}

void TDockPageControl::ClientVisibilityChanged(TDockClient *client)
{
    const int index = PageIndexOf(client);
    if (index < 0)
        return;
    setTabVisible(index, client->Visible());
    // A window shown while its group shows no page becomes the active page.
    if (client->Visible() && (currentIndex() < 0 || !isTabVisible(currentIndex())))
        setCurrentIndex(index);
}

void TDockPageControl::ClientCaptionChanged(TDockClient *client)
{
    const int index = PageIndexOf(client);
    if (index >= 0)
        setTabText(index, client->windowTitle());
}

bool TDockPageControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != tabBar())
        return QTabWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (OnMouseDown)
            OnMouseDown(this);
        if (mouse->button() == Qt::LeftButton) {
            m_pressedTab = tabBar()->tabAt(mouse->position().toPoint());
            m_pressPos = mouse->globalPosition().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (m_pressedTab >= 0 && (mouse->buttons() & Qt::LeftButton)) {
            const QPoint global = mouse->globalPosition().toPoint();
            if ((global - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
                TDockClient *client = PageClient(m_pressedTab);
                m_pressedTab = -1;
                if (client && client->Dockable()) {
                    TDockDrag::Begin(client, global, QPoint(20, 8));
                    return true;
                }
            }
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressedTab = -1;
        break;
    default:
        break;
    }
    return QTabWidget::eventFilter(watched, event);
}

}  // namespace kiv
