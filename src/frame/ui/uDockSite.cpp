#include "uDockSite.h"

#include "uDockManager.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace kiv {

namespace {

QList<TDockSite *> &SiteRegistry()
{
    static QList<TDockSite *> sites;
    return sites;
}

QList<TDockClient *> &ClientRegistry()
{
    static QList<TDockClient *> clients;
    return clients;
}

QPointer<TDockDrag> g_currentDrag;

constexpr int kFloatBorder = 3;
constexpr int kInfluenceMargin = 10;

QRect GlobalRect(const QWidget *w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

QColor Blend(const QColor &a, const QColor &b, double ratio)
{
    auto channel = [ratio](int s, int e) { return int(std::lround(s + ratio * (e - s))); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TDockSite

TDockSite::TDockSite(QWidget *widget)
    : m_widget(widget)
{
    SiteRegistry().append(this);
}

TDockSite::~TDockSite()
{
    SiteRegistry().removeOne(this);
    // The clients still docked here are children of the widget and die with it; they must not
    // report to a site that is already gone.
    for (TDockClient *client : std::as_const(m_clients))
        client->m_host = nullptr;
    m_clients.clear();
}

const QList<TDockSite *> &TDockSite::AllSites()
{
    return SiteRegistry();
}

TDockSite *TDockSite::SiteOf(QWidget *widget)
{
    return dynamic_cast<TDockSite *>(widget);
}

TDockClient *TDockSite::ClientByName(const QString &name) const
{
    for (TDockClient *client : m_clients) {
        if (client->objectName() == name)
            return client;
    }
    return nullptr;
}

int TDockSite::VisibleDockClientCount(const TDockClient *except) const
{
    return int(std::count_if(m_clients.begin(), m_clients.end(),
                             [except](TDockClient *c) { return c != except && c->Visible(); }));
}

void TDockSite::GetSiteInfo(TDockClient *client, QRect &influence, const QPoint &mousePos, bool &canDock)
{
    influence = GlobalRect(m_widget).adjusted(-kInfluenceMargin, -kInfluenceMargin, kInfluenceMargin,
                                              kInfluenceMargin);
    canDock = true;
    if (OnGetSiteInfo)
        OnGetSiteInfo(this, client, influence, mousePos, canDock);
}

void TDockSite::DockOver(TDockDragObject &source, const QPoint &pos, bool &accept)
{
    accept = true;
    if (TDockTree *manager = DockManager()) {
        source.DockRect = manager->PositionDockRect(source.Control, pos, source.DropAlign,
                                                    source.DropOnControl);
    } else {
        source.DockRect = GlobalRect(m_widget);
        source.DropAlign = alClient;
        source.DropOnControl = nullptr;
    }
    if (OnDockOver)
        OnDockOver(this, source, pos, accept);
}

void TDockSite::DockDrop(TDockDragObject &source, const QPoint &pos)
{
    if (!source.Control)
        return;
    if (!DockClientNotification(source, pos)) {
        TDockClient *dropOn = source.DropOnControl == source.Control ? nullptr : source.DropOnControl;
        if (dropOn && dropOn->HostDockSite() != this)
            dropOn = nullptr;
        source.Control->AttachTo(this, source.DropAlign, dropOn);
    }
    if (OnDockDrop)
        OnDockDrop(this, source, pos);
}

bool TDockSite::DoUnDock(TDockClient *client, TDockSite *newTarget)
{
    bool allow = true;
    if (OnUnDock)
        OnUnDock(this, client, newTarget, allow);
    return allow;
}

void TDockSite::AdoptClient(TDockClient *client, QWidget *parent)
{
    client->setParent(parent, Qt::Widget);
}

// ---------------------------------------------------------------------------------------------
// TDockClient

TDockClient::TDockClient(QWidget *floatParent)
    : QWidget(floatParent, Qt::Tool | Qt::FramelessWindowHint)
    , m_floatParent(floatParent)
    , m_undockSize(300, 200)
{
    m_frameLayout = new QVBoxLayout(this);
    m_frameLayout->setSpacing(0);
    m_captionBar = new TDockCaptionBar(this);
    m_frameLayout->addWidget(m_captionBar);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("DockClientArea"));
    m_frameLayout->addWidget(m_client, 1);
    setMouseTracking(true);
    UpdateFrame();
    ClientRegistry().append(this);
}

TDockClient::~TDockClient()
{
    ClientRegistry().removeOne(this);
    m_moving = true;
    if (m_host)
        Detach();
}

const QList<TDockClient *> &TDockClient::AllClients()
{
    return ClientRegistry();
}

TDockClient *TDockClient::FindByName(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (TDockClient *client : ClientRegistry()) {
        if (client->objectName() == name)
            return client;
    }
    return nullptr;
}

QRect TDockClient::ScreenRect() const
{
    return GlobalRect(this);
}

void TDockClient::Detach()
{
    TDockSite *old = m_host;
    if (!old)
        return;
    m_host = nullptr;
    old->m_clients.removeOne(this);
    // Out of the site's widgets first: a site may delete the page that held the window.
    setParent(nullptr);
    old->RemoveClient(this);
}

void TDockClient::AttachTo(TDockSite *site, TAlign side, TDockClient *dropOn)
{
    const bool wasVisible = Visible();
    const bool wasMoving = m_moving;
    m_moving = true;
    if (m_host == site) {
        // Moving within the same site: take the window out of the arrangement and put it back.
        site->m_clients.removeOne(this);
        setParent(nullptr);
        site->RemoveClient(this);
    } else {
        Detach();
    }
    m_host = site;
    site->m_clients.append(this);
    site->InsertClient(this, side, dropOn);
    UpdateFrame();
    setVisible(wasVisible);
    m_moving = wasMoving;
    site->ClientVisibilityChanged(this);
    HostChanged();
}

void TDockClient::MakeFloating(const QRect &screenRect)
{
    const bool wasVisible = Visible();
    const bool wasMoving = m_moving;
    m_moving = true;
    Detach();
    if (parentWidget() != m_floatParent || !isWindow())
        setParent(m_floatParent, Qt::Tool | Qt::FramelessWindowHint);
    UpdateFrame();
    setGeometry(screenRect);
    m_undockSize = screenRect.size();
    setVisible(wasVisible);
    m_moving = wasMoving;
    HostChanged();
}

bool TDockClient::ManualDock(TDockSite *site, TDockClient *dropOn, TAlign side)
{
    if (!site)
        return ManualFloat(QRect(ScreenRect().topLeft(), m_undockSize));
    if (site->SiteWidget() == this || isAncestorOf(site->SiteWidget()))
        return false;
    if (m_host && !m_host->DoUnDock(this, site))
        return false;
    TDockDragObject source;
    source.Control = this;
    source.DropAlign = side;
    source.DropOnControl = dropOn;
    source.DragTarget = site;
    source.DockRect = GlobalRect(site->SiteWidget());
    source.DragPos = source.DockRect.center();
    site->DockDrop(source, site->SiteWidget()->rect().center());
    return true;
}

bool TDockClient::ManualFloat(const QRect &screenRect)
{
    if (m_host && !m_host->DoUnDock(this, nullptr))
        return false;
    MakeFloating(screenRect);
    return true;
}

void TDockClient::DockQuietly(TDockSite *site, TAlign side, TDockClient *dropOn)
{
    if (!site || site->SiteWidget() == this || isAncestorOf(site->SiteWidget()))
        return;
    AttachTo(site, side, dropOn);
}

void TDockClient::UpdateFrame()
{
    const bool floating = Floating();
    const int border = floating ? kFloatBorder : 0;
    m_frameLayout->setContentsMargins(border, border, border, border);
    m_captionBar->setVisible(floating);
}

bool TDockClient::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (!m_moving && m_host)
            m_host->ClientVisibilityChanged(this);
        break;
    case QEvent::WindowTitleChange:
        m_captionBar->update();
        if (m_host)
            m_host->ClientCaptionChanged(this);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TDockClient::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (Floating() && isWindow() && !m_moving)
        m_undockSize = size();
}

void TDockClient::paintEvent(QPaintEvent *event)
{
    if (!Floating())
        return;
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

Qt::Edges TDockClient::EdgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    if (!Floating())
        return edges;
    if (pos.x() < kFloatBorder)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kFloatBorder)
        edges |= Qt::RightEdge;
    if (pos.y() < kFloatBorder)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kFloatBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void TDockClient::mousePressEvent(QMouseEvent *event)
{
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    QWidget::mousePressEvent(event);
}

void TDockClient::mouseMoveEvent(QMouseEvent *event)
{
    const Qt::Edges edges = EdgesAt(event->position().toPoint());
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TDockCaptionBar

TDockCaptionBar::TDockCaptionBar(TDockClient *client)
    : QWidget(client)
    , m_client(client)
{
    setObjectName(QStringLiteral("DockCaptionBar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TDockCaptionBar::sizeHint() const
{
    return QSize(100, std::max(18, fontMetrics().height() + 4));
}

QRect TDockCaptionBar::CloseButtonRect() const
{
    const int side = height() - 4;
    return QRect(width() - side - 2, 2, side, side);
}

void TDockCaptionBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PaintGrabberBar(painter, rect(), m_client->windowTitle(), false, CloseButtonRect(), palette());
}

void TDockCaptionBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (CloseButtonRect().contains(event->position().toPoint())) {
        m_closePressed = true;
        return;
    }
    m_pressed = true;
    m_pressPos = event->globalPosition().toPoint();
    m_windowStart = m_client->pos();
}

void TDockCaptionBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    const QPoint global = event->globalPosition().toPoint();
    if (m_moving) {
        m_client->move(m_windowStart + (global - m_pressPos));
        return;
    }
    if ((global - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    if (m_client->Dockable()) {
        m_pressed = false;
        TDockDrag::Begin(m_client, global, m_pressPos - m_client->ScreenRect().topLeft());
    } else {
        m_moving = true;
        m_client->move(m_windowStart + (global - m_pressPos));
    }
}

void TDockCaptionBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_closePressed && CloseButtonRect().contains(event->position().toPoint()))
        m_client->close();
    m_closePressed = false;
    m_pressed = false;
    m_moving = false;
}

// ---------------------------------------------------------------------------------------------
// TDockDrag

TDockDrag::TDockDrag(TDockClient *client, const QPoint &grabOffset)
    : m_client(client)
    , m_grabOffset(grabOffset)
{
    m_object.Control = client;
    m_preview = new QRubberBand(QRubberBand::Rectangle);
    m_preview->setObjectName(QStringLiteral("DockPreview"));
    m_preview->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_preview->setWindowFlag(Qt::WindowTransparentForInput);
}

TDockDrag::~TDockDrag()
{
    delete m_preview;
}

TDockDrag *TDockDrag::Begin(TDockClient *client, const QPoint &globalPos, const QPoint &grabOffset)
{
    if (g_currentDrag)
        g_currentDrag->Cancel();
    if (!client)
        return nullptr;
    auto *drag = new TDockDrag(client, grabOffset);
    g_currentDrag = drag;
    qApp->installEventFilter(drag);
    drag->MoveTo(globalPos);
    return drag;
}

TDockDrag *TDockDrag::Current()
{
    return g_currentDrag;
}

TDockSite *TDockDrag::FindDockTarget(TDockClient *client, const QPoint &globalPos)
{
    auto inClient = [client](QWidget *w) { return w == client || client->isAncestorOf(w); };
    auto accepts = [&](TDockSite *site) {
        if (!site->DockSite())
            return false;
        QRect influence;
        bool canDock = false;
        site->GetSiteInfo(client, influence, globalPos, canDock);
        return canDock && influence.contains(globalPos);
    };

    // First the site under the mouse, from the deepest control outwards. Floating tool windows
    // lie above the main window, so they are asked first.
    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !inClient(w) && !qobject_cast<QRubberBand *>(w)
            && w->frameGeometry().contains(globalPos))
            windows.append(w);
    }
    std::stable_sort(windows.begin(), windows.end(), [](QWidget *a, QWidget *b) {
        const int ra = a->windowType() == Qt::Tool ? 0 : 1;
        const int rb = b->windowType() == Qt::Tool ? 0 : 1;
        return ra < rb;
    });
    for (QWidget *window : std::as_const(windows)) {
        QWidget *w = window->childAt(window->mapFromGlobal(globalPos));
        for (w = w ? w : window; w; w = w->parentWidget()) {
            if (inClient(w))
                continue;
            if (TDockSite *site = TDockSite::SiteOf(w); site && accepts(site))
                return site;
        }
    }
    // Then any site whose area of influence holds the mouse: a collapsed panel is found
    // near its edge of the main window.
    for (TDockSite *site : TDockSite::AllSites()) {
        QWidget *w = site->SiteWidget();
        if (!w->isVisible() || inClient(w))
            continue;
        if (accepts(site))
            return site;
    }
    return nullptr;
}

QRect TDockDrag::FloatRect(const QPoint &globalPos) const
{
    QSize size(300, 200);
    if (m_client)
        size = m_client->Floating() ? m_client->size() : QSize(m_client->UndockWidth(), m_client->UndockHeight());
    const QPoint offset(std::clamp(m_grabOffset.x(), 0, std::max(0, size.width() - 1)),
                        std::clamp(m_grabOffset.y(), 0, std::max(0, size.height() - 1)));
    return QRect(globalPos - offset, size);
}

void TDockDrag::MoveTo(const QPoint &globalPos)
{
    if (!m_client) {
        Cancel();
        return;
    }
    m_object.DragPos = globalPos;
    m_object.DragTarget = nullptr;
    m_object.DropAlign = alNone;
    m_object.DropOnControl = nullptr;
    m_object.DockRect = FloatRect(globalPos);
    if (TDockSite *site = FindDockTarget(m_client, globalPos)) {
        bool accept = false;
        site->DockOver(m_object, site->SiteWidget()->mapFromGlobal(globalPos), accept);
        if (accept)
            m_object.DragTarget = site;
        else
            m_object.DockRect = FloatRect(globalPos);
    }
    m_preview->setGeometry(m_object.DockRect);
    m_preview->show();
    m_preview->raise();
}

void TDockDrag::Drop(const QPoint &globalPos)
{
    MoveTo(globalPos);
    TDockDragObject object = m_object;
    QPointer<TDockClient> client = m_client;
    Finish();
    if (!client)
        return;
    if (TDockSite *target = object.DragTarget) {
        if (client->HostDockSite() && !client->HostDockSite()->DoUnDock(client, target))
            return;
        target->DockDrop(object, target->SiteWidget()->mapFromGlobal(globalPos));
    } else if (client->Floating()) {
        client->setGeometry(object.DockRect);
    } else {
        client->ManualFloat(object.DockRect);
    }
}

void TDockDrag::Cancel()
{
    Finish();
}

void TDockDrag::Finish()
{
    qApp->removeEventFilter(this);
    m_preview->hide();
    if (g_currentDrag == this)
        g_currentDrag = nullptr;
    deleteLater();
}

QRect TDockDrag::PreviewRect() const
{
    return m_preview->geometry();
}

bool TDockDrag::PreviewVisible() const
{
    return m_preview->isVisible();
}

bool TDockDrag::eventFilter(QObject *watched, QEvent *event)
{
    // Mouse events reach the window and then the widget; the widget's copy is the one handled.
    if (!watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        MoveTo(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            Drop(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            Cancel();
            return true;
        }
        return false;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------

void PaintGrabberBar(QPainter &painter, const QRect &bar, const QString &caption, bool vertical,
                     const QRect &closeButton, const QPalette &palette)
{
    const QColor start = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor end = start.lighter(170);
    const QColor text = palette.color(QPalette::Active, QPalette::HighlightedText);
    const int left = bar.left();
    const int top = bar.top();
    const int right = bar.left() + bar.width();
    const int bottom = bar.top() + bar.height();

    // The gradient runs from the start colour at the left (or the bottom) in bands of 2 pixels.
    if (!vertical) {
        for (int x = left; x < right; x += 2) {
            const double ratio = double(x - left + 1) / std::max(1, right - left);
            painter.fillRect(QRect(x, top, std::min(2, right - x), bar.height()), Blend(start, end, ratio));
        }
    } else {
        for (int y = bottom; y > top; y -= 2) {
            const double ratio = double(bottom - y + 1) / std::max(1, bottom - top);
            const int bandTop = std::max(top, y - 2);
            painter.fillRect(QRect(left, bandTop, bar.width(), y - bandTop), Blend(start, end, ratio));
        }
    }

    painter.save();
    painter.setPen(text);
    if (!vertical) {
        QFont font = painter.font();
        font.setPixelSize(std::max(8, bar.height() - 3));
        painter.setFont(font);
        const QRect textRect(left + 2, top, std::max(0, closeButton.left() - left - 4), bar.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(caption, Qt::ElideRight, textRect.width()));
    } else {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(bar.width());
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.translate(left, bottom - 1);
        painter.rotate(-90);
        const int length = std::max(0, bottom - 1 - closeButton.bottom() - 4);
        const QRect textRect(2, 0, length, bar.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(caption, Qt::ElideRight, length));
    }
    painter.restore();

    if (closeButton.isValid()) {
        painter.save();
        painter.fillRect(closeButton, palette.color(QPalette::Button));
        painter.setPen(palette.color(QPalette::Dark));
        painter.drawRect(closeButton.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(palette.color(QPalette::ButtonText), 1.2));
        const QRect cross = closeButton.adjusted(2, 2, -3, -3);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        painter.restore();
    }
}

}  // namespace kiv
