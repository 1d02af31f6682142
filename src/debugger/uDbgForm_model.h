#pragma once

#include "pc_chipr.h"
#include "uDebugBase_model.h"
#include "uWatchProxy.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

namespace kiv {

class TDbgProxy;
class TDebugConfigureModel;
class TDebugRamModel;
class TDebugRomModel;
class TDebugDataEEModel;
class TDebugBreaksModel;
class TDebugStackModel;
class TDebugWatchesModel;
class TDebugPeripheralsModel;
class TDebugEvalModel;
class TDebugMonitorModel;
class TDebugLogModel;
class TDebugTasksModel;
class TSnapshotModel;
class TFirmwareFinder;
class TIniFile;

/// What the session needs of the IDE around it: the project, the editor pages (markers and
/// views), the Debug window and its status, and the commands. The main window implements it;
/// tests implement it with a recording fake.
class IDebugHost {
public:
    virtual ~IDebugHost() = default;

    /// The project's base path (folder + name); empty without a project.
    virtual QString ProjectBase() const = 0;
    /// The "Debug File" preference: 3 "Expanded .COD", 4 COFF, others unusable here.
    virtual int DebugFileFormat() const = 0;

    // --- editor pages ----------------------------------------------------------------------
    /// The file of the active page; empty when there is none.
    virtual QString ActivePagePath() const = 0;
    /// The caret line (from 1) of the active page's editor; 0 when it is not an editor.
    virtual int ActiveCaretLine() const = 0;
    /// Whether an editor page shows `path`.
    virtual bool IsOpen(const QString &path) const = 0;
    /// Opens `path` in an editor page (finding an open one first); false when it cannot.
    virtual bool OpenEditor(const QString &path) = 0;
    /// Paths of the open editor pages.
    virtual QStringList OpenEditorPaths() const = 0;
    /// Debug mode of the open editor of `path` (shows the marker margin).
    virtual void SetDebugMode(const QString &path, bool on) = 0;
    /// Every editor page out of debug mode.
    virtual void LeaveDebugModeAll() = 0;
    /// The current-line marker of the open editor of `path`; 0 clears it.
    virtual void SetCurrentLine(const QString &path, int line) = 0;
    /// The break flags of the open editor of `path`.
    virtual void SetBreakFlags(const QString &path, const QList<int> &lines) = 0;
    /// Makes the page of `path` active and shows `line`: centred when it is outside the view,
    /// the caret at its start or the whole line selected, focused when asked.
    virtual void ShowLine(const QString &path, int line, bool select, bool focus) = 0;
    /// Scrolls the open editor of `path` to `line` without making it active.
    virtual void ScrollToLine(const QString &path, int line) = 0;

    // --- the Debug window and the commands ---------------------------------------------------
    virtual void ShowStatus(const TDebugStatus &status) = 0;
    virtual void SetCommands(const TDebugCommands &commands) = 0;
    /// "Enable Debugger" and "Disable".
    virtual void SetEnableCommands(bool enableDebugger, bool disable) = 0;
    /// The Debug Windows commands.
    virtual void SetDebugWindowsCommands(bool on) = 0;
    virtual void SetBusyCursor(bool on) = 0;
    virtual bool DebugWindowShowing() const = 0;
    virtual void ShowDebugWindow() = 0;
    virtual void CloseDebugWindow() = 0;
    /// Shows or closes one of the twelve windows.
    virtual void SetWindowVisible(TDebugWindowId id, bool on) = 0;
    virtual bool WindowVisible(TDebugWindowId id) const = 0;

    // --- questions that need their own dialogs --------------------------------------------
    /// The library's warning with "Continue" and "Stop" and the box "Show Warnings" (checked on
    /// entry): true for "Continue".
    virtual bool AskWarning(const QString &text, const QString &caption, bool &showWarnings) = 0;
    /// The "Verification Results" dialog.
    virtual void ShowVerificationResults(const QString &text) = 0;
};

/// The debug session controller of the Debug window: it owns the debugger and watch library
/// proxies, the session state, the target's PC and W, the program's source files, the error
/// log and the models of the twelve debug windows; it runs the commands of the Debug menu, the
/// target start sequence, and moves the editors' current-line marker.
///
/// Everything runs on the interface thread. Long library calls (DBG_GO1, the download) run on
/// the proxy's worker thread while the interface keeps running, so commands such as Halt and
/// Disable arrive while another command is in progress; Stop then waits (the 200 ms stop timer)
/// until no library call and no command is in progress before it frees the library.
class TDbgFormModel : public QObject {
    Q_OBJECT

public:
    /// `settingsFile` is kiv.ini; `watchPath` the watch library; `debuggerPaths` the debugger
    /// libraries to list; `devicesDat` the device database given to the debugger library.
    TDbgFormModel(IDebugHost &host, QString settingsFile, QString watchPath, QStringList debuggerPaths,
                  QString devicesDat, QObject *parent = nullptr);
    ~TDbgFormModel() override;

    IDebugHost &Host() const { return m_host; }
    const QString &SettingsFile() const { return m_settingsFile; }

    // --- commands -------------------------------------------------------------------------
    /// Loads the libraries and runs the start sequence (the readiness check ran before).
    void Enable();
    /// Stop with the window closed.
    void Disable();
    void Reset();
    void Run();
    void Halt();
    void Step();
    void StepOver();
    void RunToCursor();
    /// "Reload target firmware" and after the programming tool.
    void Reload();
    /// After every compile: with "Compile Reload" the session starts again.
    void CompileFinished();
    /// The editor's margin click while active.
    void ToggleBreakAtLine(const QString &path, int line);
    /// After the main window opened a file while active: the markers again.
    void EditorFileOpened();
    /// Ends the session: frees the library once no call is in progress, then runs
    /// `continuation`. With `closeWindow` the windows' visibility is saved and they close.
    void Stop(bool closeWindow, std::function<void()> continuation = {});
    /// "ICD Program": the library's programming tool, then Reload when the session was ready.
    void LaunchProgrammingTool();
    /// Debug profiles: every window's settings (and the snapshot's) from or to a ".dbg" file.
    void LoadProfile(const QString &path);
    void SaveProfile(const QString &path);
    /// Show All, Hide All.
    void ShowAllWindows();
    void HideAllWindows();

    // --- queries and services ---------------------------------------------------------------
    bool IsActive() const { return m_debugger != nullptr; }
    bool IsHalted() const { return m_state == dsReady || m_state == dsHaltedBusy; }
    TDebugState State() const { return m_state; }
    void SetState(TDebugState state);
    /// Shows "Loading n%" while the download runs.
    void SetLoadProgress(int percent);
    /// Replaces the state text (dsBusy "ICD Control Running").
    void SetStateText(const QString &text);
    TDbgProxy *Debugger() const { return m_debugger.get(); }
    TWatchProxy *Watch() const { return m_watch.get(); }
    /// An error dialog with `text`, and `text` in the error log with a "hh:mm:ss  " prefix.
    void ReportError(const QString &text);
    /// First case-insensitive match in the source files; -1 when none.
    int FileIndex(const QString &name) const;
    /// The source file `number`, or "[Unknown file]".
    QString FileName(int number) const;
    /// The text of a source line, or the reason it cannot be had.
    QString SourceLineText(int fileNumber, int line) const;
    /// Opens and shows a line selected, with focus (ROM and Stack double clicks).
    void ShowSource(int fileNumber, int line, int listLine);
    /// File number and caret line of the active editor; false when it is no session file.
    bool CurrentEditorPosition(int &fileNumber, int &line) const;
    void WindowSettingsSave(const QString &iniPath);
    void WindowSettingsLoad(const QString &iniPath);
    /// Refreshes the windows the user sees, while halted.
    void RefreshWindows();
    /// The project's list file (base + ".lst") and whether its page is the active one.
    QString ListFile() const;
    bool ListFileViewed() const;

    // --- the session's fields -------------------------------------------------------------
    quint32 PC = 0;
    quint8 W = 0;
    quint32 lastPC = 0;
    double clockMHz = 0;
    int curFile = 0;
    int curLine = 0;
    QString codeTarget;
    QString detectedTarget;
    DeviceRecord device;
    quint8 eraseMode = 0;
    quint8 programMode = 1;
    bool haltRequested = false;
    bool windowsReady = false;
    QStringList sourceFiles;
    QStringList errorLog;

    // --- the start sequence (run by Enable, Reset, Reload) ------------------------------------
    void StartSequence();
    /// Each step runs only in dsReady and leaves the state it ends in; Attach, Download and
    /// ResetTarget set dsNotReady on TRequestUnloadException and pass it on.
    void Attach();
    void Download();
    void ResetTarget();
    void LoadSymbols();
    void ActivateWindows();
    /// The erase and program modes of the settings file, retried once with other modes.
    void ApplyEraseModes();
    /// The PC's source line marked (and shown when `withView`).
    void LocatePC(bool withView);
    void MarkSource(int fileNumber, int line, bool withView, int listLine);
    /// After the target stopped: locate, refresh, clock, optional snapshot, dsReady.
    void AfterStop(bool snapshot);
    /// Runs to `address` with a temporary breakpoint; false when something was reported.
    bool RunToAddress(quint32 address);
    /// How long Stop waits for a library that does not return before it asks to give it up.
    void SetStuckTimeout(int milliseconds) { m_stuckTimeout = milliseconds; }

    // --- the windows ----------------------------------------------------------------------
    TDebugWindowModel *Window(TDebugWindowId id) const { return m_windows.at(id); }
    TDebugConfigureModel &Configure() const { return *m_configure; }
    TDebugRamModel &Ram() const { return *m_ram; }
    TDebugRomModel &Rom() const { return *m_rom; }
    TDebugDataEEModel &DataEE() const { return *m_dataEE; }
    TDebugBreaksModel &Breaks() const { return *m_breaks; }
    TDebugStackModel &Stack() const { return *m_stack; }
    TDebugWatchesModel &Watches() const { return *m_watches; }
    TDebugPeripheralsModel &Peripherals() const { return *m_peripherals; }
    TDebugEvalModel &Eval() const { return *m_eval; }
    TDebugMonitorModel &Monitor() const { return *m_monitor; }
    TDebugLogModel &Log() const { return *m_log; }
    TDebugTasksModel &Tasks() const { return *m_tasks; }
    TSnapshotModel &Snapshot() const { return *m_snapshot; }
    TFirmwareFinder &FirmwareFinder() const;

    /// The peripheral register file (CompilerDir + "sfr.txt").
    void SetSfrFile(const QString &path);
    /// The folder of the hardware programming tool (IcdDir).
    void SetIcdDir(const QString &path) { m_icdDir = path; }
    /// The firmware folder the finder searches (CompilerDir).
    void SetFirmwareDir(const QString &path);

Q_SIGNALS:
    void StateChanged(kiv::TDebugState state);
    /// A library call or command finished while Stop waits (tests wait for the unload).
    void Unloaded();

private:
    class TBusy;
    void StopTick();
    void ClearCurrentLines();
    void SaveVisibility();
    void RestoreVisibility();
    void SourceStep(bool into);
    bool LibraryWarning(const QString &text, const QString &caption);
    void ShowState();
    QString ProjectFile() const;

    IDebugHost &m_host;
    QString m_settingsFile;
    QString m_watchPath;
    QStringList m_debuggerPaths;
    QString m_devicesDat;
    QString m_icdDir;
    TDebugState m_state = dsDisabled;
    QString m_stateText;
    int m_loadPercent = -1;
    std::unique_ptr<TWatchProxy> m_watch;
    std::unique_ptr<TDbgProxy> m_debugger;

    std::unique_ptr<TDebugConfigureModel> m_configure;
    std::unique_ptr<TDebugRamModel> m_ram;
    std::unique_ptr<TDebugRomModel> m_rom;
    std::unique_ptr<TDebugDataEEModel> m_dataEE;
    std::unique_ptr<TDebugBreaksModel> m_breaks;
    std::unique_ptr<TDebugStackModel> m_stack;
    std::unique_ptr<TDebugWatchesModel> m_watches;
    std::unique_ptr<TDebugPeripheralsModel> m_peripherals;
    std::unique_ptr<TDebugEvalModel> m_eval;
    std::unique_ptr<TDebugMonitorModel> m_monitor;
    std::unique_ptr<TDebugLogModel> m_log;
    std::unique_ptr<TDebugTasksModel> m_tasks;
    std::unique_ptr<TSnapshotModel> m_snapshot;
    std::unique_ptr<TFirmwareFinder> m_finder;
    std::array<TDebugWindowModel *, dwCount> m_windows{};

    // Stop
    QTimer m_stopTimer;
    bool m_stopping = false;
    bool m_closeWindow = false;
    std::function<void()> m_continuation;
    int m_busy = 0;             // commands in progress; Stop frees the library only at 0
    qint64 m_stopWaitStarted = 0;
    int m_stuckTimeout = 5000;
    bool m_askingStuck = false;
};

}  // namespace kiv
