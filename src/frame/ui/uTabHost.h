#pragma once

#include "uDockSite.h"

namespace kiv {

class TDockingLib;
class TDockPageControl;

/// The tab group window: a tool window filled by one page control, `PageControl1`, whose pages
/// are the docked windows. It floats, or docks as a whole into a panel. Each new group takes
/// the next value of a process-wide counter as the tag of its page control.
class TTabDockHost : public TDockClient {
    Q_OBJECT

public:
    TTabDockHost(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TTabDockHost() override;

    TDockPageControl *PageControl1() const { return m_pageControl; }
    TDockingLib *DockingLib() const { return m_dockingLib; }

    /// The group's tag and its page control's tag (a restored layout sets a saved one). The
    /// object name follows the tag, so saved arrangements find the group again.
    int HostTag() const;
    void SetHostTag(int tag);

    /// Sets the caption to the captions of the visible pages, joined by ", ", leaving out
    /// `leaving`; when it changed, the site the group is docked in repaints its grabbers.
    void UpdateCaption(TDockClient *leaving = nullptr);

    /// The tag the last tab group took; the next one takes one more.
    static int TabHostCounter();
    /// Raises the counter to `tag` when it is lower, so new groups never reuse a saved tag.
    static void RaiseTabHostCounter(int tag);
    /// The tab group whose page control is `site`, if any.
    static TTabDockHost *OfSite(TDockSite *site);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void PageControl1GetSiteInfo(TDockClient *client, bool &canDock);
    void PageControl1DockOver(TDockDragObject &source, bool &accept);
    void PageControl1DockDrop(TDockDragObject &source);
    void PageControl1UnDock(TDockClient *client, TDockSite *newTarget);
    void PageControl1MouseDown();
    void PageControl1Change();
    void PostClose();

    TDockingLib *m_dockingLib;
    TDockPageControl *m_pageControl;
};

}  // namespace kiv
