#pragma once

#include "uDebugBase_model.h"
#include "uDockForm.h"

namespace kiv {

class TDbgForm;

/// The base of the twelve debug windows: a dockable tool window that normally sits as a tab of
/// the Debug window's page control (host tag 500). It shows one window model, enables or
/// disables its controls with the session, and refreshes from the target when it is shown or
/// its tab becomes active while the target is halted (deferred until the interface is idle).
class TDebugDockForm : public TDockForm {
    Q_OBJECT

public:
    /// The host tag of the Debug window's page control in a saved layout.
    static constexpr int kDebugHostTag = 500;

    TDebugDockForm(TDbgForm *debugForm, TDebugWindowModel *model);
    ~TDebugDockForm() override;

    TDebugWindowModel *Model() const { return m_model; }
    TDbgForm *DebugForm() const { return m_debugForm; }
    /// True while this window is a tab of the Debug window.
    bool IsDebugTab() const;
    /// Whether the user sees it: a tab only while it is the active tab.
    bool IsShowing() const;

    /// Docked as a tab of the Debug window: shows the Debug window (and its panel), this
    /// window and its tab; true. Otherwise false.
    bool ShowDocked() override;
    /// Host tag 500 docks the window as a tab of the Debug window; true.
    bool DockToCustomHost(int top, int left, bool visible, int hostTag, int width, int height) override;

    /// Posts a refresh when the target is halted (shown, tab activated).
    void PostRefresh();

protected:
    bool event(QEvent *event) override;
    /// The controls the session enables and disables; the base: every child widget of Client().
    virtual void SetControlsEnabled(bool on);
    /// Redraws from the model.
    virtual void ModelChanged() { }

private:
    TDbgForm *m_debugForm;
    TDebugWindowModel *m_model;
    bool m_refreshPosted = false;
};

}  // namespace kiv
