#pragma once

#include "uDockSite.h"

namespace kiv {

class TDockingLib;
class TDockZoneSite;

/// The side-by-side group window: a floating tool window whose dock area arranges the joined
/// windows in zones. It is moved by its caption but not docked as a whole. Each new group takes
/// the next value of a process-wide counter as its tag.
class TConjoinDockHost : public TDockClient {
    Q_OBJECT

public:
    TConjoinDockHost(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TConjoinDockHost() override;

    /// The dock site that holds the joined windows; its class name in a saved layout is
    /// "TConjoinDockHost" and its tag is the group's.
    TDockZoneSite *DockArea() const { return m_site; }
    TDockingLib *DockingLib() const { return m_dockingLib; }
    bool Dockable() const override { return false; }

    int HostTag() const;
    void SetHostTag(int tag);

    /// Sets the caption to the captions of the visible windows, joined by ", ", leaving out
    /// `leaving`.
    void UpdateCaption(TDockClient *leaving = nullptr);

    static int ConjoinHostCounter();
    static void RaiseConjoinHostCounter(int tag);
    /// The side-by-side group whose dock area is `site`, if any.
    static TConjoinDockHost *OfSite(TDockSite *site);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormUnDock(TDockClient *client, TDockSite *newTarget);

    TDockingLib *m_dockingLib;
    TDockZoneSite *m_site;
};

}  // namespace kiv
