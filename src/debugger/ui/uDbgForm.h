#pragma once

#include "uDebugBase_model.h"
#include "uDockForm.h"

#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>

class QLabel;
class QVBoxLayout;

namespace kiv {

class IDebugHost;
class TDbgFormModel;
class TDebugDockForm;
class TDockPageControl;
class TFormEditHint;
class TIniFile;
class TOvcTextFileEditorSyntax;

/// The Debug window: the debug session controller's window. Its page control (host tag 500)
/// holds the twelve debug windows as tabs; below it a three-pane status bar shows PC, W and
/// the session state. The main window docks it in the right panel and puts the debugger's
/// tool bar at its top (Layout()).
class TDbgForm : public TDockForm {
    Q_OBJECT

public:
    explicit TDbgForm(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TDbgForm() override;

    /// The layout of the window's client area, top to bottom.
    QVBoxLayout *Layout() const { return m_layout; }
    TDockPageControl *PageControl() const { return m_pages; }

    /// Creates the session controller with `host` and the twelve windows as tabs.
    void CreateSession(IDebugHost &host, const QString &settingsFile, const QString &watchPath,
                       const QStringList &debuggerPaths, const QString &devicesDat);
    TDbgFormModel *Session() const { return m_session.get(); }
    TDebugDockForm *Window(TDebugWindowId id) const { return m_windows.at(id); }

    /// Status panes 1 (PC), 2 (W) and 3 (state).
    QLabel *StatusPane(int n) const { return m_panes.at(n - 1); }
    void ShowStatus(const TDebugStatus &status);

    /// Show All, Hide All, Reset Debug Windows.
    void ShowAllWindows();
    void HideAllWindows();
    void ResetWindows();
    /// Shows one window wherever it is docked (the Debug Windows commands).
    void ShowWindow(TDebugWindowId id);
    void SetWindowVisible(TDebugWindowId id, bool on);
    bool WindowVisible(TDebugWindowId id) const;
    /// The twelve windows' places, keyed by class name (with the main window's layout).
    void SaveDockLayout(TIniFile &ini);
    void RestoreDockLayout(const TIniFile &ini);

    /// The mouse-move handler of the editor pages (evaluation under the pointer, 300 ms delay).
    void EditorMouseMove(TOvcTextFileEditorSyntax *editor, const QPoint &pos);
    TFormEditHint *EditHint() const { return m_hint; }
    /// Runs the delayed evaluation at once (the timer's work).
    void TimerHintStartingTimer();

    /// Hiding the window ends the session (Stop with the windows closed).
    std::function<void()> OnHidden;
    /// Closes the window at the end of a session, without stopping it again.
    void CloseQuietly();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool DockClientNotification(TDockDragObject &source, const QPoint &pos) override;

private:
    QVBoxLayout *m_layout;
    TDockPageControl *m_pages;
    std::array<QLabel *, 3> m_panes{};
    std::unique_ptr<TDbgFormModel> m_session;
    std::array<TDebugDockForm *, dwCount> m_windows{};
    TFormEditHint *m_hint = nullptr;
    QTimer m_hintTimer;
    QPoint m_lastMouse{-1, -1};
    QPointer<TOvcTextFileEditorSyntax> m_hintEditor;
    bool m_quietClose = false;
};

}  // namespace kiv
