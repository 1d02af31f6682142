#pragma once

#include "kivcmdline.h"
#include "kivenv.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class QLabel;
class QMenu;

namespace kiv {

/// The main window: menu bar, page area, four-panel status bar, and the start-up and
/// shutdown sequences around them.
class Tfkivmain : public QMainWindow, public IEnvironmentHost {
    Q_OBJECT

public:
    explicit Tfkivmain(TCommandLine commandLine, QWidget *parent = nullptr);
    ~Tfkivmain() override;

    /// Restores the environment, opens the command-line or recalled files and shows the window
    /// in its stored state. Called once, in place of a plain show().
    void FormShow();

    TKivEnvironment &Environment() { return m_environment; }
    const TCommandLine &CommandLine() const { return m_commandLine; }

    /// The status bar panels 0 .. 3.
    QLabel *StatusPanel(int n) const { return m_panels.at(n); }
    void SetStatusText(int panel, const QString &text);
    /// Width of panel 2 for a status bar of `barWidth` pixels.
    static int StatusPanel2Width(int barWidth);

    /// Adds a path to the recent files / recent projects list and refreshes its Reopen menu.
    void AddRecentFile(const QString &path);
    void AddRecentProject(const QString &path);
    QMenu *ReopenFilesMenu() const { return m_reopenFiles; }
    QMenu *ReopenProjectsMenu() const { return m_reopenProjects; }

    /// The window that Escape closes while it is visible and the main window is active.
    void SetOutputWindow(QWidget *window) { m_outputWindow = window; }
    QWidget *OutputWindow() const { return m_outputWindow; }

    /// Asked on a close request: true while a debug session runs, which refuses the close
    /// and asks the session to stop (it closes the window again once stopped).
    std::function<bool()> DebugSessionActive;
    std::function<void()> StopDebugSessionThenClose;

    /// Openers of the Reopen entries; an entry is enabled once its opener is set.
    std::function<void(const QString &)> ReopenFile;
    std::function<void(const QString &)> ReopenProject;

    // IEnvironmentHost
    TWindowGeometry WindowGeometry() const override;
    void ApplyWindowGeometry(const TWindowGeometry &geometry) override;
    QString DialogFolder() const override { return m_dialogFolder; }
    void SetDialogFolder(const QString &folder) override { m_dialogFolder = folder; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void CreateMenus();
    void CreateStatusBar();
    void LayoutStatusPanels();
    void RebuildReopenMenu(QMenu *menu, const TRecentList &list,
                           const std::function<void(const QString &)> &opener);
    void saveenv();

    TCommandLine m_commandLine;
    TKivEnvironment m_environment;
    std::array<QLabel *, 4> m_panels{};
    QMenu *m_reopenFiles = nullptr;
    QMenu *m_reopenProjects = nullptr;
    QPointer<QWidget> m_outputWindow;
    QString m_dialogFolder;
    QRect m_normalGeometry;
    bool m_shown = false;
    bool m_escapeDown = false;
    bool m_environmentSaved = false;
};

}  // namespace kiv
