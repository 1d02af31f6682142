#pragma once

#include "uDockSite.h"

#include <functional>

namespace kiv {

class TDockingLib;

/// What a close request does to a window.
enum TCloseAction { caNone = 0, caHide = 1, caFree = 2, caMinimize = 3 };

/// The base of every dockable tool window: it floats or docks into a dock panel, a tab group
/// or a side-by-side group, and it is itself a dock site. Subclasses put their controls in
/// Client(). Closing it only hides it and collapses what it leaves empty (CloseDocked).
class TDockForm : public TDockClient, public TDockSite {
    Q_OBJECT

public:
    /// `floatParent` defaults to the docking layer's main window, above which it floats.
    explicit TDockForm(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TDockForm() override;

    TDockingLib *DockingLib() const { return m_dockingLib; }

    /// false: a window dropped on this form makes a group with it; true: the form handles
    /// drops itself (through the site handlers and DockClientNotification).
    bool OwnDockHandling = false;
    /// Raised when the form is shown and when its tab becomes the active page of a tab group;
    /// the sender is the form or the page control.
    std::function<void(QObject *sender)> OnDockActivate;

    /// The close handler: leaves the action "hide", updates the caption of the group the form
    /// is in, closes a group that has no other visible window, and collapses the panel it
    /// leaves without visible windows.
    virtual void CloseDocked(TCloseAction &action);
    /// true refuses `client` dragged over the tab group whose active page holds this form.
    virtual bool RefusesTabClient(TDockClient *client);
    /// Brings the form into view where it is docked: in a page control, shows it and makes its
    /// page the active one (true); otherwise false.
    virtual bool ShowDocked();
    /// Places the form in a host only its own class knows (a saved "custom" host); false here.
    virtual bool DockToCustomHost(int top, int left, bool visible, int hostTag, int width, int height);

    QString SiteClassName() const override { return QStringLiteral("TDockForm"); }

    /// Without OwnDockHandling a dock form or a tab group dropped on this form makes a group
    /// with it: the centre fifth of the form makes a tab group, the side fifths dock beside it
    /// (DockZone); ManualDock onto a form joins on the side it names, or makes a tab group for
    /// alNone and alClient. With OwnDockHandling the site handlers decide, and a form that takes
    /// windows into itself also overrides InsertClient and RemoveClient.
    void GetSiteInfo(TDockClient *client, QRect &influence, const QPoint &mousePos, bool &canDock) override;
    void DockOver(TDockDragObject &source, const QPoint &pos, bool &accept) override;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    bool DockClientNotification(TDockDragObject &source, const QPoint &pos) override;
    void InsertClient(TDockClient *client, TAlign side, TDockClient *dropOn) override;
    void RemoveClient(TDockClient *client) override;

private:
    TDockingLib *m_dockingLib;
};

}  // namespace kiv
