#pragma once

#include "uDockTree.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QRubberBand;
class QVBoxLayout;

namespace kiv {

class TDockClient;
class TDockSite;
class TDockTree;
class TDockCaptionBar;

/// What a drag (or a ManualDock) carries to a dock site: the control, the preview rectangle
/// and where in the site it will go.
struct TDockDragObject {
    TDockClient *Control = nullptr;
    QRect DockRect;                       /// preview rectangle, screen coordinates
    TAlign DropAlign = alNone;            /// side of DropOnControl (or of the site) to dock on
    TDockClient *DropOnControl = nullptr; /// the docked control the drop splits; none: the site
    TDockSite *DragTarget = nullptr;      /// the site that accepted the drag, if any
    QPoint DragPos;                       /// mouse position, screen coordinates
};

/// The kind of a dock site, as the docking layer's policies tell them apart.
enum TDockSiteKind {
    skOther,          /// any other site (a form's own site, a page control of a form)
    skPanel,          /// one of the main window's dock panels
    skTabGroup,       /// the page control of a tab group window
    skSideBySideGroup /// a side-by-side group window
};

/// A control that accepts docked clients. A widget class becomes a dock site by deriving from
/// this beside QWidget and arranging its clients in InsertClient / RemoveClient.
class TDockSite {
public:
    explicit TDockSite(QWidget *widget);
    virtual ~TDockSite();
    TDockSite(const TDockSite &) = delete;
    TDockSite &operator=(const TDockSite &) = delete;

    QWidget *SiteWidget() const { return m_widget; }

    /// The dock-site property: false makes the site refuse every drag.
    bool DockSite() const { return m_dockSite; }
    void SetDockSite(bool on) { m_dockSite = on; }
    int Tag() const { return m_tag; }
    virtual void SetTag(int tag) { m_tag = tag; }
    /// The site's own alignment in its parent: top or bottom sites draw vertical grabbers.
    virtual TAlign SiteAlign() const { return alNone; }
    virtual TDockSiteKind SiteKind() const { return skOther; }
    /// The class name the saved layout records for this site.
    virtual QString SiteClassName() const = 0;
    /// The manager that arranges the clients in zones; none for sites that arrange them
    /// otherwise (page controls).
    virtual TDockTree *DockManager() const { return nullptr; }
    /// For a group site: the group window (the tab group owning a page control, or the
    /// side-by-side group itself).
    virtual TDockClient *GroupWindow() const { return nullptr; }
    /// For a group site: sets the group window's caption from its visible clients, leaving
    /// out `leaving`.
    virtual void UpdateGroupCaption(TDockClient *leaving) { }

    int DockClientCount() const { return int(m_clients.size()); }
    TDockClient *DockClients(int index) const { return m_clients.value(index); }
    const QList<TDockClient *> &Clients() const { return m_clients; }
    /// Docked clients whose own visibility is on, not counting `except`.
    int VisibleDockClientCount(const TDockClient *except = nullptr) const;

    /// get site info: may `client` dock here? `influence` (screen coordinates) starts as the
    /// site's rectangle grown by 10 pixels on each side.
    std::function<void(TDockSite *sender, TDockClient *client, QRect &influence,
                       const QPoint &mousePos, bool &canDock)> OnGetSiteInfo;
    /// dock over: accept or refuse, and set `source.DockRect` as the preview. `pos` is in the
    /// site's coordinates.
    std::function<void(TDockSite *sender, TDockDragObject &source, const QPoint &pos, bool &accept)>
        OnDockOver;
    /// dock drop: raised after the client has docked here.
    std::function<void(TDockSite *sender, TDockDragObject &source, const QPoint &pos)> OnDockDrop;
    /// undock: raised before `client` leaves for `newTarget` (none: it floats); may refuse.
    std::function<void(TDockSite *sender, TDockClient *client, TDockSite *newTarget, bool &allow)>
        OnUnDock;

    /// The steps a drag or a ManualDock runs on the site. Each default runs the matching handler.
    virtual void GetSiteInfo(TDockClient *client, QRect &influence, const QPoint &mousePos, bool &canDock);
    virtual void DockOver(TDockDragObject &source, const QPoint &pos, bool &accept);
    virtual void DockDrop(TDockDragObject &source, const QPoint &pos);
    virtual bool DoUnDock(TDockClient *client, TDockSite *newTarget);

    /// Every dock site alive, in creation order.
    static const QList<TDockSite *> &AllSites();
    /// The dock site a widget is, if it is one.
    static TDockSite *SiteOf(QWidget *widget);
    /// The docked client `name` (object name) of this site.
    TDockClient *ClientByName(const QString &name) const;

protected:
    /// A window was dropped here; true when the site handled it and the default docking must
    /// not run (a form that makes a group of the two windows).
    virtual bool DockClientNotification(TDockDragObject &source, const QPoint &pos) { return false; }
    /// Places `client`, already taken out of its previous site, in this site.
    virtual void InsertClient(TDockClient *client, TAlign side, TDockClient *dropOn) = 0;
    /// `client` has left this site (it is no longer a child of it).
    virtual void RemoveClient(TDockClient *client) = 0;
    /// A docked client was shown or hidden, or its caption changed.
    virtual void ClientVisibilityChanged(TDockClient *client) { }
    virtual void ClientCaptionChanged(TDockClient *client) { }

    /// Makes `client` a child of `parent` (a widget of this site), keeping its visibility.
    void AdoptClient(TDockClient *client, QWidget *parent);

private:
    friend class TDockClient;
    QWidget *m_widget;
    QList<TDockClient *> m_clients;
    bool m_dockSite = true;
    int m_tag = 0;
};

/// A tool window that floats as a Qt tool window and docks by dragging. Subclasses put their
/// controls in Client(). Floating, the window draws its own caption bar (drag it to dock) and
/// resize border; docked, the site draws a grabber instead.
class TDockClient : public QWidget {
    Q_OBJECT

public:
    /// `floatParent` is the window a floating client stays on top of (the main window).
    explicit TDockClient(QWidget *floatParent = nullptr);
    ~TDockClient() override;

    /// The area for the window's own controls.
    QWidget *Client() const { return m_client; }
    /// The site the window is docked in; none while it floats.
    TDockSite *HostDockSite() const { return m_host; }
    bool Floating() const { return m_host == nullptr; }
    /// The window's own visibility (not that of the site around it).
    bool Visible() const { return !isHidden(); }
    /// Size the window takes when it floats.
    int UndockWidth() const { return m_undockSize.width(); }
    int UndockHeight() const { return m_undockSize.height(); }
    void SetUndockSize(const QSize &size) { m_undockSize = size; }
    /// Whether dragging the window's caption moves it as a dock client (false: it only moves).
    virtual bool Dockable() const { return true; }
    QWidget *FloatParent() const { return m_floatParent; }

    /// Docks the window into `site` on side `side` of `dropOn` (none: of the whole site).
    /// The old site may refuse to let it go; false then. A null site floats the window.
    bool ManualDock(TDockSite *site, TDockClient *dropOn = nullptr, TAlign side = alNone);
    /// Floats the window at `screenRect`; false when the old site refuses to let it go.
    bool ManualFloat(const QRect &screenRect);
    /// Places the window in `site` without raising any site event (layout restore).
    void DockQuietly(TDockSite *site, TAlign side = alNone, TDockClient *dropOn = nullptr);
    /// The window's rectangle on the screen.
    QRect ScreenRect() const;

    /// Every dock client alive, in creation order, and lookup by object name.
    static const QList<TDockClient *> &AllClients();
    static TDockClient *FindByName(const QString &name);

    /// The floating caption bar (hidden while docked).
    TDockCaptionBar *CaptionBar() const { return m_captionBar; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    /// Called after the window docked or floated.
    virtual void HostChanged() { }
    /// True while the window changes its place; the show and hide that come with it are not
    /// the owner's doing.
    bool Moving() const { return m_moving; }

private:
    friend class TDockSite;
    friend class TDockDrag;
    void Detach();
    void AttachTo(TDockSite *site, TAlign side, TDockClient *dropOn);
    void MakeFloating(const QRect &screenRect);
    void UpdateFrame();
    Qt::Edges EdgesAt(const QPoint &pos) const;

    QWidget *m_floatParent;
    QVBoxLayout *m_frameLayout = nullptr;
    TDockCaptionBar *m_captionBar = nullptr;
    QWidget *m_client = nullptr;
    TDockSite *m_host = nullptr;
    QSize m_undockSize;
    bool m_moving = false;   // true while the window changes parent: its show/hide is not news
};

/// The caption bar of a floating dock client: its caption, a close button, and the place to
/// drag it from.
class TDockCaptionBar : public QWidget {
    Q_OBJECT

public:
    explicit TDockCaptionBar(TDockClient *client);
    QRect CloseButtonRect() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TDockClient *m_client;
    QPoint m_pressPos;
    QPoint m_windowStart;
    bool m_pressed = false;
    bool m_closePressed = false;
    bool m_moving = false;
};

/// The drag of one dock client: follows the mouse, asks the sites under it, draws the preview
/// rectangle and docks or floats the client on release. Escape cancels it.
class TDockDrag : public QObject {
    Q_OBJECT

public:
    /// Starts dragging `client`; `grabOffset` is where, in the client's floating rectangle, the
    /// mouse holds it. Ends any drag in progress first.
    static TDockDrag *Begin(TDockClient *client, const QPoint &globalPos, const QPoint &grabOffset);
    /// The drag in progress, if any.
    static TDockDrag *Current();
    /// The site that would take `client` at `globalPos`, or none.
    static TDockSite *FindDockTarget(TDockClient *client, const QPoint &globalPos);

    void MoveTo(const QPoint &globalPos);
    /// Drops at `globalPos`: docks into the accepting site, or floats the client at the preview.
    void Drop(const QPoint &globalPos);
    void Cancel();

    const TDockDragObject &Object() const { return m_object; }
    bool Accepted() const { return m_object.DragTarget != nullptr; }
    /// The preview rectangle shown, screen coordinates.
    QRect PreviewRect() const;
    bool PreviewVisible() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TDockDrag(TDockClient *client, const QPoint &grabOffset);
    ~TDockDrag() override;
    void Finish();
    QRect FloatRect(const QPoint &globalPos) const;

    TDockDragObject m_object;
    QPointer<TDockClient> m_client;
    QPoint m_grabOffset;
    QRubberBand *m_preview = nullptr;
};

/// Paints a grabber bar the way every dock zone and floating caption shows it: a gradient
/// bar with the caption and a close button. `vertical` draws the bar upright with the caption
/// rotated. Used by the dock manager and the floating caption bar.
void PaintGrabberBar(QPainter &painter, const QRect &bar, const QString &caption, bool vertical,
                     const QRect &closeButton, const QPalette &palette);

}  // namespace kiv
