#pragma once

// The main window's part of debugging: the session's view of the editor pages, the status and
// the commands (IDebugHost), and the Debug menu's commands wired to the session.

#include "uDbgForm_model.h"

#include <QObject>
#include <QPointer>

namespace kiv {

class Tfkivmain;
class TOvcTextFileEditorSyntax;

/// The main window as the debug session's host.
class TDebugParts : public QObject, public IDebugHost {
    Q_OBJECT

public:
    explicit TDebugParts(Tfkivmain &main);
    ~TDebugParts() override;

    TDbgFormModel *Session() const;
    /// The main window is being destroyed: editor events reaching the filter while its children
    /// go are no longer passed to the debug window.
    void MainClosing() { m_mainClosing = true; }
    /// The "Snapshot" command: the snapshot dialog.
    void ShowSnapshotDialog();

    QString ProjectBase() const override;
    int DebugFileFormat() const override;
    QString ActivePagePath() const override;
    int ActiveCaretLine() const override;
    bool IsOpen(const QString &path) const override;
    bool OpenEditor(const QString &path) override;
    QStringList OpenEditorPaths() const override;
    void SetDebugMode(const QString &path, bool on) override;
    void LeaveDebugModeAll() override;
    void SetCurrentLine(const QString &path, int line) override;
    void SetBreakFlags(const QString &path, const QList<int> &lines) override;
    void ShowLine(const QString &path, int line, bool select, bool focus) override;
    void ScrollToLine(const QString &path, int line) override;
    void ShowStatus(const TDebugStatus &status) override;
    void SetCommands(const TDebugCommands &commands) override;
    void SetEnableCommands(bool enableDebugger, bool disable) override;
    void SetDebugWindowsCommands(bool on) override;
    void SetBusyCursor(bool on) override;
    bool DebugWindowShowing() const override;
    void ShowDebugWindow() override;
    void CloseDebugWindow() override;
    void SetWindowVisible(TDebugWindowId id, bool on) override;
    bool WindowVisible(TDebugWindowId id) const override;
    bool AskWarning(const QString &text, const QString &caption, bool &showWarnings) override;
    void ShowVerificationResults(const QString &text) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TOvcTextFileEditorSyntax *EditorOf(const QString &path) const;
    void WatchEditor(TOvcTextFileEditorSyntax *editor);
    void ApplySessionCommands();

    Tfkivmain &m_main;
    bool m_busy = false;
    bool m_mainClosing = false;
    TDebugCommands m_commands;
    bool m_windowsCommands = false;
};

}  // namespace kiv
