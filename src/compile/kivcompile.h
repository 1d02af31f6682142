#pragma once

#include "compilerlib.h"

#include <QString>
#include <QStringList>

namespace kiv {

class IKivCompView;
class TCompileOptions;
class TErrorListModel;
class TInstalledCompilers;
class TKivCompModel;

/// What "Compile" needs from the main window. The defaults do nothing, so a host without pages
/// (the command-line tool) overrides only what it has.
class ICompileHost {
public:
    virtual ~ICompileHost() = default;

    /// The current project: folder + name as `base`, the main file's extension (with its dot)
    /// as `extension`; false without a project.
    virtual bool CurrentProject(QString *base, QString *extension) const = 0;
    /// The global include list, folders joined by ";".
    virtual QString IncludeDirs() const = 0;
    /// The global defines text; empty when they are not enabled.
    virtual QString GlobalDefines() const { return {}; }
    virtual bool DebugSessionActive() const { return false; }

    /// Enables or disables the "Compile" command.
    virtual void SetCompileEnabled(bool enabled) { }
    /// Save All: every modified editor, then the open-files record of the project file.
    virtual void SaveAll() { }
    /// Every page showing one of `paths` (compared in lower case) lets go of its file and is
    /// marked for ReopenReleasedPages.
    virtual void ReleasePages(const QStringList &paths) { }
    /// Closes every page showing `path` (compared in lower case).
    virtual void ClosePages(const QString &path) { }
    /// Re-opens the files of the marked pages (a file viewer scrolled to its last line) and
    /// refreshes their time stamps.
    virtual void ReopenReleasedPages() { }
    /// The automatic edition switch selected installed entry `index`; the selection box follows.
    virtual void CompilerSelected(int index) { }
    /// Shows the Output window with the error list.
    virtual void ShowOutputWindow() { }
    /// Opens `path` for editing; false when it could not be opened.
    virtual bool OpenErrorFile(const QString &path) { return false; }
    /// In the opened error file: selects `startColumn` to `endColumn` on `line` (1-based),
    /// focuses the editor and scrolls the line 10 lines below the top.
    virtual void SelectErrorPosition(int line, int startColumn, int endColumn) { }
    /// Shows `message` in status bar panel 2 in the error style until the caret next moves.
    virtual void ShowCompileErrorStatus(const QString &message) { }
    /// Adds the project file to the recent projects.
    virtual void AddRecentProject(const QString &path) { }
    /// A clean compile finished: an active debug session may reload the program.
    virtual void CompileFinished() { }
    virtual void UpdateCommandGroups(int mode) { }
};

/// The output files whose pages a compile releases and re-opens: base + "." + object extension,
/// base + "." + list extension, base + ".sym", ".sta" and ".tre".
QStringList CompileOutputPagePaths(const QString &base, const QString &objectExtension,
                                   const QString &listExtension);

/// Why a file cannot be created in `folder` (the system's reason), or an empty text when one
/// can.
QString FolderWriteProblem(const QString &folder);

/// The main file argument: base + extension, with a "." inserted when the extension lacks one.
QString CompileMainFile(const QString &base, const QString &extension);

/// The "Compile" command and the debugger readiness check, without windows: they talk to the
/// main window through ICompileHost and to the compile status window through IKivCompView.
class TCompileController {
public:
    TCompileController(ICompileHost &host, TInstalledCompilers &compilers,
                       TCompileOptions &options, TCompilerLibrary &library,
                       TKivCompModel &status, IKivCompView &view, TErrorListModel &errors);

    /// The installation folder passed as argument 2 (InstallDir unless set).
    QString InstallFolder;

    /// "Compile" (F9): saves, releases the output pages, compiles through the status window
    /// (again with another edition when the compiler answers "- Try"), re-opens the pages,
    /// reads the error file into the error list and shows the first error or records the
    /// result in the project. Returns false when it did not run (no project, or a compile is
    /// already running).
    bool CompileProject();

    /// "Enable Debugger" readiness: the symbol file must exist and show a usable debug format
    /// and in-circuit debugger provisions; the two questions may ask for a recompile.
    bool DebugReadiness();

    bool Running() const { return m_running; }
    /// The last compile failed (an error line in the error file, or nothing was compiled).
    bool LastCompileFailed() const { return m_failed; }
    /// The user stopped the last compile (it counts as failed).
    bool LastCompileStopped() const { return m_stopped; }
    /// Asks the running compile to stop (the status window's Stop button does the same).
    void StopCompile();
    const TCompileResult &LastResult() const { return m_result; }
    /// Number of the last compiler message, -1 when none (for help on the last error).
    qint16 LastMessageNumber() const { return m_result.lastMessage; }
    /// Compile for the in-circuit debugger once more (set by DebugReadiness).
    bool InCircuitOnce() const { return m_inCircuitOnce; }

private:
    bool RunCompiles(const QString &base, const QString &extension);
    void ShowFirstError(const QString &base);
    void RecordSuccess(const QString &base);

    ICompileHost &m_host;
    TInstalledCompilers &m_compilers;
    TCompileOptions &m_options;
    TCompilerLibrary &m_library;
    TKivCompModel &m_status;
    IKivCompView &m_view;
    TErrorListModel &m_errors;
    TCompileResult m_result;
    bool m_running = false;
    bool m_failed = false;
    bool m_stopped = false;
    bool m_inCircuitOnce = false;
};

}  // namespace kiv
