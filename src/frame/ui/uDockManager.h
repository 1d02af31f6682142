#pragma once

#include "uDockTree.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>
#include <vector>

class QMouseEvent;
class QPainter;

namespace kiv {

class TDockClient;
class TDockSite;

/// The dock manager of a site: keeps the zone tree of the site's clients, places them with a
/// grabber bar (caption and close button) on each zone, lets the user drag a grabber to undock
/// a client and the gaps between zones to resize them, and saves and loads the arrangement.
/// The site widget forwards its paint and mouse events here.
class TDockTree {
public:
    static constexpr int kGrabberSize = 12;
    static constexpr int kGap = 4;
    static constexpr int kMinZone = 20;

    explicit TDockTree(TDockSite *site);
    virtual ~TDockTree();
    TDockTree(const TDockTree &) = delete;
    TDockTree &operator=(const TDockTree &) = delete;

    TDockSite *Site() const { return m_site; }
    const TDockZoneTree &Zones() const { return m_tree; }

    /// Adds `client` on side `side` of `dropOn` (none: of the whole site). alNone and alClient
    /// append in the site's natural direction: below in a left or right site, to the right in
    /// a top or bottom one.
    void InsertControl(TDockClient *client, TAlign side, TDockClient *dropOn);
    void RemoveControl(TDockClient *client);
    /// Places every visible client in its zone and repaints the grabbers.
    void ResetBounds();

    /// The preview of a drop at `pos` (site coordinates), in screen coordinates, and where the
    /// drop would dock: the half of the zone under the mouse nearest to it, or the whole site.
    QRect PositionDockRect(TDockClient *client, const QPoint &pos, TAlign &align, TDockClient *&dropOn) const;

    /// Top and bottom sites draw their grabbers upright along the left of each zone.
    bool VerticalGrabbers() const;
    QRect GrabberRect(const QRect &zone) const;
    QRect CloseButtonRect(const QRect &zone) const;
    QRect ClientRect(const QRect &zone) const;
    /// The zone of a docked client after the last layout (site coordinates); empty when hidden.
    QRect ZoneRect(const TDockClient *client) const;
    /// The orientation of the split that holds `client`.
    TDockOrientation DockOrientation(const TDockClient *client) const;

    /// Draws the grabbers of all visible zones.
    void PaintSite(QPainter &painter);
    /// Draws one zone's grabber: a gradient bar with the client's caption and a close button.
    virtual void PaintDockFrame(QPainter &painter, TDockClient *control, const QRect &zone);

    /// The arrangement as bytes.
    QByteArray SaveToStream() const;
    /// Loads an arrangement: clients named in it are docked here (from wherever they are),
    /// names of windows that do not exist are dropped, clients docked here but not named stay
    /// at the end. Bytes that do not load give an empty arrangement; false then.
    bool LoadFromStream(const QByteArray &bytes);

    /// Mouse events of the site widget; true when the manager used the event.
    bool MousePress(QMouseEvent *event);
    bool MouseMove(QMouseEvent *event);
    bool MouseRelease(QMouseEvent *event);
    bool MouseDoubleClick(QMouseEvent *event);

    /// The manager class every new dock site gets.
    using TFactory = std::function<std::unique_ptr<TDockTree>(TDockSite *)>;
    static void SetDefaultDockManagerClass(TFactory factory);
    static std::unique_ptr<TDockTree> Create(TDockSite *site);

private:
    struct TPlaced {
        TDockClient *client;
        QRect zone;
    };
    QString NameFor(TDockClient *client);
    TDockClient *ClientNamed(const QString &name) const;
    const TPlaced *PlacedAt(const QPoint &pos) const;
    const TZoneSplitter *SplitterAt(const QPoint &pos) const;
    TAlign DefaultSide() const;

    TDockSite *m_site;
    TDockZoneTree m_tree;
    std::vector<TPlaced> m_placed;
    bool m_loading = false;

    // Mouse state.
    TDockClient *m_pressedClient = nullptr;
    TDockClient *m_closeClient = nullptr;
    QPoint m_pressGlobal;
    QPoint m_pressOffset;
    bool m_splitting = false;
    TZoneSplitter m_splitter;
    QPoint m_lastPos;
};

}  // namespace kiv
