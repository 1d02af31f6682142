#include "uDockManager.h"

#include "uDockSite.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace kiv {

namespace {

TDockTree::TFactory &DefaultFactory()
{
    static TDockTree::TFactory factory;
    return factory;
}

}  // namespace

TDockTree::TDockTree(TDockSite *site)
    : m_site(site)
{
}

TDockTree::~TDockTree() = default;

void TDockTree::SetDefaultDockManagerClass(TFactory factory)
{
    DefaultFactory() = std::move(factory);
}

std::unique_ptr<TDockTree> TDockTree::Create(TDockSite *site)
{
    if (DefaultFactory())
        return DefaultFactory()(site);
    return std::make_unique<TDockTree>(site);
}

bool TDockTree::VerticalGrabbers() const
{
    const TAlign align = m_site->SiteAlign();
    return align == alTop || align == alBottom;
}

TAlign TDockTree::DefaultSide() const
{
    return VerticalGrabbers() ? alRight : alBottom;
}

QString TDockTree::NameFor(TDockClient *client)
{
    // Zones are kept by name; a window without a name, or with the name of another window in
    // this site, gets one of its own.
    QString name = client->objectName();
    auto takenByOther = [&](const QString &n) {
        TDockClient *other = ClientNamed(n);
        return other && other != client;
    };
    if (name.isEmpty() || takenByOther(name)) {
        const QString base = name.isEmpty() ? QStringLiteral("DockClient") : name;
        int n = 1;
        do {
            name = base + QString::number(n++);
        } while (takenByOther(name) || m_tree.Contains(name));
        client->setObjectName(name);
    }
    return name;
}

TDockClient *TDockTree::ClientNamed(const QString &name) const
{
    return m_site->ClientByName(name);
}

void TDockTree::InsertControl(TDockClient *client, TAlign side, TDockClient *dropOn)
{
    if (m_loading)
        return;
    const QString name = NameFor(client);
    const QString target = dropOn && dropOn != client ? dropOn->objectName() : QString();
    m_tree.Insert(name, side, target, DefaultSide());
    ResetBounds();
}

void TDockTree::RemoveControl(TDockClient *client)
{
    if (m_loading)
        return;
    m_tree.Remove(client->objectName());
    ResetBounds();
}

void TDockTree::ResetBounds()
{
    QWidget *widget = m_site->SiteWidget();
    const auto zones = m_tree.Layout(widget->rect(),
                                     [this](const QString &name) {
                                         TDockClient *c = ClientNamed(name);
                                         return c && c->Visible();
                                     },
                                     kGap);
    m_placed.clear();
    for (const TZoneRect &zone : zones) {
        TDockClient *client = ClientNamed(zone.name);
        if (!client)
            continue;
        client->setGeometry(ClientRect(zone.rect));
        m_placed.push_back({client, zone.rect});
    }
    widget->update();
}

QRect TDockTree::GrabberRect(const QRect &zone) const
{
    if (VerticalGrabbers())
        return QRect(zone.left(), zone.top(), std::min(kGrabberSize, zone.width()), zone.height());
    return QRect(zone.left(), zone.top(), zone.width(), std::min(kGrabberSize, zone.height()));
}

QRect TDockTree::CloseButtonRect(const QRect &zone) const
{
    constexpr int side = kGrabberSize - 2;
    if (VerticalGrabbers())
        return QRect(zone.left() + 1, zone.top() + 1, side, side);
    return QRect(zone.left() + zone.width() - kGrabberSize + 1, zone.top() + 1, side, side);
}

QRect TDockTree::ClientRect(const QRect &zone) const
{
    if (VerticalGrabbers())
        return zone.adjusted(std::min(kGrabberSize, zone.width()), 0, 0, 0);
    return zone.adjusted(0, std::min(kGrabberSize, zone.height()), 0, 0);
}

QRect TDockTree::ZoneRect(const TDockClient *client) const
{
    for (const TPlaced &placed : m_placed) {
        if (placed.client == client)
            return placed.zone;
    }
    return {};
}

TDockOrientation TDockTree::DockOrientation(const TDockClient *client) const
{
    return m_tree.Orientation(client->objectName());
}

QRect TDockTree::PositionDockRect(TDockClient *client, const QPoint &pos, TAlign &align,
                                  TDockClient *&dropOn) const
{
    QWidget *widget = m_site->SiteWidget();
    QRect area = widget->rect();
    dropOn = nullptr;
    align = alClient;
    const TPlaced *target = nullptr;
    for (const TPlaced &placed : m_placed) {
        if (placed.client != client && placed.zone.contains(pos))
            target = &placed;
    }
    bool othersShown = false;
    for (const TPlaced &placed : m_placed)
        othersShown = othersShown || placed.client != client;
    if (!othersShown)
        return QRect(widget->mapToGlobal(area.topLeft()), area.size());
    if (target) {
        area = target->zone;
        dropOn = target->client;
    }
    // The side of the zone nearest to the mouse, measured in fractions of the zone's size.
    const double fx = area.width() > 0 ? double(pos.x() - area.left()) / area.width() : 0.5;
    const double fy = area.height() > 0 ? double(pos.y() - area.top()) / area.height() : 0.5;
    const double distances[4] = {fx, 1 - fx, fy, 1 - fy};
    const TAlign sides[4] = {alLeft, alRight, alTop, alBottom};
    int nearest = 0;
    for (int i = 1; i < 4; ++i) {
        if (distances[i] < distances[nearest])
            nearest = i;
    }
    align = sides[nearest];
    QRect preview = area;
    switch (align) {
    case alLeft: preview.setWidth(area.width() / 2); break;
    case alRight: preview.setLeft(area.left() + area.width() / 2); break;
    case alTop: preview.setHeight(area.height() / 2); break;
    default: preview.setTop(area.top() + area.height() / 2); break;
    }
    return QRect(widget->mapToGlobal(preview.topLeft()), preview.size());
}

void TDockTree::PaintSite(QPainter &painter)
{
    for (const TPlaced &placed : m_placed)
        PaintDockFrame(painter, placed.client, placed.zone);
}

void TDockTree::PaintDockFrame(QPainter &painter, TDockClient *control, const QRect &zone)
{
    PaintGrabberBar(painter, GrabberRect(zone), control->windowTitle(), VerticalGrabbers(),
                    CloseButtonRect(zone), m_site->SiteWidget()->palette());
}

const TDockTree::TPlaced *TDockTree::PlacedAt(const QPoint &pos) const
{
    for (const TPlaced &placed : m_placed) {
        if (GrabberRect(placed.zone).contains(pos))
            return &placed;
    }
    return nullptr;
}

const TZoneSplitter *TDockTree::SplitterAt(const QPoint &pos) const
{
    for (const TZoneSplitter &splitter : m_tree.Splitters()) {
        if (splitter.rect.contains(pos))
            return &splitter;
    }
    return nullptr;
}

QByteArray TDockTree::SaveToStream() const
{
    return m_tree.SaveToStream();
}

bool TDockTree::LoadFromStream(const QByteArray &bytes)
{
    TDockZoneTree loaded;
    const bool ok = loaded.LoadFromStream(bytes);
    QWidget *widget = m_site->SiteWidget();
    // Only windows that exist and can live here keep their zones.
    for (const QString &name : loaded.Names()) {
        TDockClient *client = TDockClient::FindByName(name);
        if (!client || client == widget || client->isAncestorOf(widget))
            loaded.Remove(name);
    }
    for (TDockClient *client : m_site->Clients()) {
        if (!loaded.Contains(client->objectName()))
            loaded.Insert(NameFor(client), alNone, {}, DefaultSide());
    }
    m_loading = true;
    for (const QString &name : loaded.Names()) {
        TDockClient *client = TDockClient::FindByName(name);
        if (client->HostDockSite() != m_site)
            client->DockQuietly(m_site);
    }
    m_loading = false;
    m_tree = loaded;
    ResetBounds();
    return ok;
}

bool TDockTree::MousePress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const QPoint pos = event->position().toPoint();
    if (const TZoneSplitter *splitter = SplitterAt(pos)) {
        m_splitting = true;
        m_splitter = *splitter;
        m_lastPos = pos;
        return true;
    }
    if (const TPlaced *placed = PlacedAt(pos)) {
        if (CloseButtonRect(placed->zone).contains(pos)) {
            m_closeClient = placed->client;
        } else {
            m_pressedClient = placed->client;
            m_pressGlobal = event->globalPosition().toPoint();
            m_pressOffset = pos - placed->zone.topLeft();
        }
        return true;
    }
    return false;
}

bool TDockTree::MouseMove(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QWidget *widget = m_site->SiteWidget();
    if (m_splitting) {
        const int delta = m_splitter.orientation == doHorizontal ? pos.y() - m_lastPos.y()
                                                                 : pos.x() - m_lastPos.x();
        m_lastPos = pos;
        m_tree.MoveSplitter(m_splitter, delta, kMinZone);
        ResetBounds();
        return true;
    }
    if (m_pressedClient && (event->buttons() & Qt::LeftButton)) {
        const QPoint global = event->globalPosition().toPoint();
        if ((global - m_pressGlobal).manhattanLength() >= QApplication::startDragDistance()) {
            TDockClient *client = m_pressedClient;
            m_pressedClient = nullptr;
            TDockDrag::Begin(client, global, m_pressOffset);
        }
        return true;
    }
    if (const TZoneSplitter *splitter = SplitterAt(pos))
        widget->setCursor(splitter->orientation == doHorizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
    else
        widget->unsetCursor();
    return false;
}

bool TDockTree::MouseRelease(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    TDockClient *closing = m_closeClient;
    const bool used = m_splitting || m_pressedClient || m_closeClient;
    m_splitting = false;
    m_pressedClient = nullptr;
    m_closeClient = nullptr;
    if (closing) {
        const QRect zone = ZoneRect(closing);
        if (zone.isValid() && CloseButtonRect(zone).contains(pos))
            closing->close();
    }
    return used;
}

bool TDockTree::MouseDoubleClick(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const TPlaced *placed = PlacedAt(pos);
    if (!placed || CloseButtonRect(placed->zone).contains(pos))
        return false;
    // A double click on a grabber floats the window where the mouse is.
    TDockClient *client = placed->client;
    m_pressedClient = nullptr;
    const QPoint global = event->globalPosition().toPoint();
    client->ManualFloat(QRect(global - QPoint(20, 8), QSize(client->UndockWidth(), client->UndockHeight())));
    return true;
}

}  // namespace kiv
