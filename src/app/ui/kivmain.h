#pragma once

#include "kivcmdline.h"
#include "kivenv.h"
#include "kivproject.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPrinter;

namespace kiv {

class TCompileParts;
class TDbgForm;
class TDeviceParts;
class TDebugParts;
class TDockArea;
class TDockingLib;
class TErrorListModel;
class TFindParts;
class TFPrintFile;
class TPrintParts;
class THexViewer;
class TKivNotebook;
class TOutputForm;
class TOutputParts;
class TOvcTextFileEditorSyntax;
class TToolbars;
class Tfkivtools;
class TToolParts;
class Tfkivprgm;
struct TCommand;
struct TFindOptions;
struct TFindRequest;
struct TextPos;

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

    /// The docking layer with the left, bottom and right dock panels, and the two tool windows
    /// the main window creates: the Output window and the Debug window.
    TDockingLib *DockingLib() const { return m_dockingLib; }
    TDockArea *DockArea() const { return m_dockArea; }
    TOutputForm *OutputForm() const { return m_outputForm; }
    TDbgForm *DebugForm() const { return m_debugForm; }

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
    QRect AvailableScreenArea() const override;
    QString DialogFolder() const override { return m_dialogFolder; }
    void SetDialogFolder(const QString &folder) override { m_dialogFolder = folder; }

    // --- documents and their pages (kivdocs.cpp) -------------------------------------------
    TKivNotebook *Notebook() const { return m_notebook; }
    /// Opens a file for editing; mode 'R' source, 'T' plain text, 'D' compare result. Returns
    /// the page index, or -1 when the file does not exist or cannot be read.
    int doopenfile(const QString &path, QChar mode);
    /// Opens a read-only view: mode 'H' a hex file viewer, any other an AdvancedViewer editor.
    int doopenreadonly(const QString &path, const QString &caption, QChar mode);
    /// The general opener, choosing by extension (and by content for other extensions).
    int OpenByExtension(const QString &path, bool includeSearch);
    /// The opener of the Open dialog (filter index 1 .. 7) and of the recent-files list.
    int OpenByFilter(const QString &path, int filterIndex);
    /// The page showing `path` (the last one when several do), or -1.
    int FindPage(const QString &path) const;
    /// The statistics file, captioned file name + " (Stats)".
    int OpenStatistics(const QString &path);
    int CodView(const QString &path);
    int CoffView(const QString &path);
    /// Saves an editor page (other pages are not saved); false after showing why it failed.
    bool SavePage(int index);
    bool SaveAs(int index);
    void SaveAll();
    void NewFile();
    /// Closes a page, asking whether to save a modified editor; false when the page stays
    /// open because saving it failed.
    bool doclosefile(int index);
    void CloseFile();
    bool CloseAll();
    /// Asks about every page whose file changed on disk since it was opened, saved or reloaded.
    void CheckDiskChanges();
    /// Asks for a file to open, the dialog starting on filter `filterIndex` (1 .. 7) in the
    /// dialog folder; empty when cancelled. `chosenFilter` receives the filter in use at the end.
    QString AskOpenFileName(int filterIndex, int *chosenFilter = nullptr);
    /// The File menu's document commands.
    void ActionFileOpenExecute();
    void ActionFileSaveExecute();

    /// Told after each UpdateCommandGroups run (mode 0 pages changed, 1 project changed or
    /// compiled, 2 current page changed).
    std::function<void(int mode)> UpdateCommandGroupsHook;
    /// Records the open files in the project file (before Close All and after Save All).
    std::function<void()> RecordOpenFilesHook;
    /// Opens a project file; returns the main file's page index or -1.
    std::function<int(const QString &)> OpenProjectHook;
    /// Told after a source or list view opened, so an active debug session refreshes markers.
    std::function<void()> SourceViewOpened;
    /// Writes the text dump of a COD file to `txt`, taking source lines from `lst`; false with
    /// a message when it failed. Unset while the COD dump is not built.
    std::function<bool(const QString &cod, const QString &lst, const QString &txt, QString *error)>
        CodDump;
    /// Applies the editor properties to an editor page or a file viewer page.
    std::function<void(TOvcTextFileEditorSyntax *)> ApplyEditorPropertiesHook;
    std::function<void(THexViewer *)> ApplyViewerPropertiesHook;
    /// Reads the main window's own settings (the editor properties) while the environment is
    /// restored, before any file is opened.
    std::function<void(TIniFile &)> RestoreOwnSettingsHook;
    void RestoreOwnSettings(TIniFile &ini) override
    {
        if (RestoreOwnSettingsHook)
            RestoreOwnSettingsHook(ini);
    }
    /// Told of each new editor page once its file is loaded (key commands, hover evaluation).
    std::function<void(TOvcTextFileEditorSyntax *)> EditorOpened;

    // IEnvironmentHost: the open documents
    void SetOrderFiles(bool on) override;
    QStringList PagePaths() const override;
    QString CurrentPagePath() const override;
    void BeginPageUpdate() override;
    void EndPageUpdate() override;
    void OpenRecalledFile(const QString &path) override;
    void OpenCommandLineFile(const QString &path) override;
    void SelectPage(const QString &path) override;
    void CloseAllDocuments() override { CloseAll(); }

    // --- the current project (kivmain_project.cpp) -----------------------------------------
    /// The current project: folder, name and extension of its main file.
    const TCurrentProject &CurrentProject() const { return m_project; }
    /// Makes `mainFile` the project's main file and shows the project's name in status bar
    /// panel 3.
    void SetProject(const QString &mainFile) override;
    QString ProjectMainFile() const override { return m_project.MainFile(); }
    /// Opens a project file: adds it to the recent projects, selects the edition its
    /// OptionString names, closes all documents, opens the main file and recalls the project's
    /// open files. Returns the main file's page index, or -1.
    int OpenProject(const QString &projectFile);
    /// Writes the open pages into the project file's "Opened Files".
    void RecordOpenFiles();
    /// Opens the files the project file's "Opened Files" names.
    void RecallOpenFiles();
    /// "Close Project": closes the pages of the files the symbol file lists.
    void CloseProject();
    /// "Open All Files": opens every file the symbol file lists.
    void OpenAllFiles();
    /// "Print All files": saves all and hands the symbol file's list to PrintFiles.
    void PrintAllFiles();
    /// Options "Include Dirs...": the global include list.
    void EditGlobalIncludeDirs();
    /// Project "Include Dirs...": the project file's include list, or ManualCreate without one.
    void EditProjectIncludeDirs();
    /// Project New "Manual Create": the dialog, then Close All and the new main file.
    void ManualCreateProject();
    /// Project "Open": the Open dialog on "Project files", then OpenProject.
    void ActionProjectOpenExecute();

    /// Selects compiler edition `code` in the compiler list when it is installed (false when it
    /// is not). Set by the compiler selection; unset, project files select no edition.
    std::function<bool(const QString &code)> SelectCompilerEdition;
    /// Prints a list of files with the editor's tab size. Unset while printing is not built,
    /// which leaves "Print All files" disabled.
    std::function<void(const QStringList &files)> PrintFiles;

    // --- compiling (kivmain_compile.cpp) -----------------------------------------------------
    /// "Compile" (F9): compiles the current project; false when it did not run.
    bool CompileProject();
    /// The readiness check of "Enable Debugger" (it may ask to recompile).
    bool DebugReadiness();
    /// A compile is running (the interface keeps going meanwhile).
    bool CompileRunning() const;
    /// Asks the running compile to stop and closes the window once it has ended.
    void CloseWhenCompileEnds();
    /// Options "File Formats": compile options and file associations.
    void ShowFileFormats();
    /// Status bar panel 2 shows a compile error, until the caret next moves.
    bool CompileErrorShown() const;
    /// The lines of the last error file, which the Output window shows.
    TErrorListModel &ErrorList() const;
    /// Installed editions, compile options, status window and the compile controller.
    TCompileParts *CompileParts() const { return m_compile; }
    /// The global defines text passed to every compile; unset, none.
    std::function<QString()> GlobalDefinesHook;
    /// Told after each clean compile, so an active debug session can reload the program.
    std::function<void()> CompileFinishedHook;
    int InstalledCompilerCount() const override;
    int SelectedCompilerIndex() const override;
    void SelectCompiler(int index) override;

    // --- the Output window's navigation and help (kivmain_output.cpp) -----------------------
    /// When page `page` is an editor: makes it current and focused, selects `startColumn` to
    /// `endColumn` on `line` (a start below 0 is column 1, an end below 0 the end of the line, a
    /// line outside the text selects nothing) and shows the line 10 lines below the top.
    void GoToPosition(int page, int line, int startColumn, int endColumn);
    /// The help lookup and its window.
    TOutputParts *OutputParts() const { return m_output; }
    /// "Keyword at cursor" (F1): help on the word at the caret, or on the compile error shown.
    void KeywordHelp();
    /// "Last Error": help on the last message of the last compile.
    void LastErrorHelp();

    // --- commands (kivmain_commands.cpp) ---------------------------------------------------
    /// The command named `name` (its QAction's objectName), or nullptr.
    QAction *Command(const QString &name) const;
    /// Enables and checks the commands that follow the current page, the clipboard, the tool
    /// bars and the Output window. Runs each time the event queue empties.
    void IdleUpdate();
    /// Shows the caret and the current path in the status bar, then enables command groups
    /// 1 .. 7: mode 0 after pages opened or closed, 1 after the project changed or a compile,
    /// 2 after the current page changed.
    void UpdateCommandGroups(int mode);
    /// The tool bar context menu `PopupMenuToolbar`: the nine tool bar toggles and Customize.
    QMenu *createPopupMenu() override;
    /// The tool bars built from the menus.
    TToolbars *Toolbars() const { return m_toolbars; }
    /// The "Customize Window" dialog, created with the tool bars.
    Tfkivtools *CustomizeDialog() const { return m_customize; }
    /// "&Customize...": the tool bars and shortcuts dialog.
    void ActionCustomizeExecute();
    /// Starts a debug session once "Enable Debugger" passed its readiness check. Unset while
    /// there is no debugger, which keeps "Enable Debugger" disabled.
    std::function<void()> StartDebugSession;
    /// The status bar's "Goto Line" question (a click on panel 0).
    void StatusGotoLine();
    /// The "Goto Line..." command.
    void GotoLineDialog();
    /// Bookmarks 0 .. 9 of the current editor or file viewer.
    void ToggleBookmark(int n);
    void GotoBookmark(int n);
    /// Inserts a chosen file at the caret of the current editor.
    void CopyFromFile();
    /// Writes the selection of the current editor to a chosen file.
    void PasteToFile();

    // --- finding, replacing and the editor's context menu (kivmain_find.cpp) ----------------
    /// The find and replace dialogs and the search state.
    TFindParts *FindParts() const { return m_find; }
    /// Finds `text` in the current page (direction -1 backward, 0 from the start, 1 forward),
    /// selects it and remembers the search for "Next"; true when found (no message).
    bool FindInPage(const QString &text, bool matchCase, int direction);
    /// "Next" (F3): repeats the last find, or the last replace on an editable editor; true when
    /// something was found (no message).
    bool FindNext();
    /// Replaces in the current editor with the replace option set `options` (TSearchOption);
    /// true when something was found or replaced.
    bool ReplaceInPage(const QString &text, const QString &replacement, int options);
    /// Lists every line of the current page that holds `text` in the find results.
    void FindAllInPage(const QString &text, bool matchCase, int direction);
    /// Searches files off the interface thread with a progress window that can cancel it, and
    /// lists the matches in the find results, the summary last.
    void FindInFiles(const TFindOptions &options, const TFindRequest &request);
    /// "Replace in Project": replaces in every file of the project; open pages change in their
    /// editors (undoable), other files on disk. Reports what changed and what could not.
    void ReplaceInProject(const TFindOptions &options, const QString &replacement);
    /// The editor context menu `PopupMenu1` for a right click at `globalPos`; nullptr with no
    /// page open.
    QMenu *EditorPopupMenu(const QPoint &globalPos);
    /// Starts user tool 1 .. 3 with the project's object file and base (both empty without a
    /// project). Unset while the tool launch is not built, which keeps Tool1 .. Tool3 disabled.
    std::function<void(int tool, const QString &objectFile, const QString &base)> LaunchUserTool;
    // --- the device database (kivmain_devices.cpp) -------------------------------------------
    /// The fuse and interrupt reviews and the global defines window.
    TDeviceParts *DeviceParts() const { return m_devices; }
    /// Shows a page of the selected help file.
    void ShowHelpTopic(const QString &topic);

    // --- programmer and debugger tools (kivmain_tools.cpp) ------------------------------------
    /// "Device Programmer/Debugger Options", created at start-up with the slots loaded.
    Tfkivprgm *ToolOptions() const;
    /// UpdateToolCommands: Program Chip, Program Chip2 and Tool1 .. Tool3 from the slot names.
    void UpdateToolCommands();

    // --- printing (kivmain_print.cpp) -------------------------------------------------------
    /// The printer every print goes to; its set-up lasts the session.
    QPrinter *Printer() const;
    /// "Print" of an editor page (a list view's title carries the date), of a hex viewer page,
    /// and "Print All files" of a project: the "Print File" dialog on the page or the files.
    void PrintEditorPage(TOvcTextFileEditorSyntax *editor);
    void PrintViewerPage(THexViewer *viewer);
    void PrintFileList(const QStringList &paths);
    /// Runs a "Print File" dialog in place of showing it modally (tests drive the dialog);
    /// returns its result.
    std::function<int(TFPrintFile &)> ExecPrintDialog;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend const TCommand *Commands(int *count);

    void FormCreate();
    void CreateMenus();
    void CreateCommands();
    QAction *CreateCommand(const TCommand &command);
    void BuildToolbars();
    void SetCommandEnabled(const char *name, bool on);
    void SetCommandEnabled(QAction *action, bool on);
    bool CommandAvailable(const QAction *action) const;
    void SaveToolbarSettings(TIniFile &ini) override;
    // Command operations the table runs.
    void ActionFileSaveAsExecute();
    void CloseAllCommand() { CloseAll(); }
    void ActionFileExitExecute();
    void ActionEditUndoExecute();
    void ActionEditCutExecute();
    void ActionEditCopyExecute();
    void ActionEditPasteExecute();
    void ActionEditSelectAllExecute();
    void ActionEditMatchBraceExecute();
    void ActionEditMatchBraceExtExecute();
    void ActionEditIndentSelectionExecute();
    void ActionEditNextWindowExecute();
    void ActionEditPrevWindowExecute();
    void ActionRecallExecute();
    void ActionOrderOpenFilesExecute();
    void ActionEditorPropertiesExecute();
    void ActionEditorColorsExecute();
    void ActionCompileExecute();
    void ActionToolbarExecute(int n);
    void ActionViewListExecute();
    void ActionViewMapExecute();
    void ActionViewCallTreeExecute();
    void ActionViewStatisticsExecute();
    void ActionOutputMessagesExecute();
    void ActionViewBinaryFileExecute();
    void ActionViewCODExecute();
    void ActionViewCOFFExecute();
    void ActionViewFusesExecute();
    void ActionViewInterruptsExecute();
    void ActionGlobalDefinesExecute();
    void ActionWizardExecute();
    void ActionSxWizardExecute();
    void ActionToolsDeviceEditorExecute();
    void ActionToolsDeviceSelectorExecute();
    void ActionToolsNumericConverterExecute();
    void ActionToolsSerialPortMonitorExecute();
    void ActionToolsDisassemblerExecute();
    void ActionToolsFileCompareExecute();
    void ActionWebPageExecute(int n);
    void ActionTechnicalSupportExecute();
    void ActionDbgEnableExecute();
    void ActionHelpContentsExecute();
    void ActionHelpIndexExecute();
    void ActionHelpTopicExecute(int n);
    void ActionHelpAboutExecute();
    void StartProgram(const QString &program, const QStringList &arguments);
    bool OpenProjectOutput(const QString &extension);
    void CreateStatusBar();
    void LayoutStatusPanels();
    void RebuildReopenMenu(QMenu *menu, const TRecentList &list,
                           const std::function<void(const QString &)> &opener);
    void saveenv();
    void CreateDocking();
    void RestoreDockLayout();
    void SaveDockLayout();
    void CreateDocuments();
    void CreateProjects();
    void CreateCompile();
    void CreateOutput();
    void CreateDevices();
    void CreateDebugger();
    void CreateTools();
    void LaunchToolSlot(int slot, const QString &hexFile, const QString &base);
    void ProgramChip(int slot);
    void ActionProgrammerOptionsExecute();
    void ActionToolsProgramChipExecute();
    void ActionToolsProgramChip2Execute();
    void ActionViewDataSheetExecute();
    void ActionToolsExtractCalDataExecute();
    void CloseHelp();
    void CreateFind();
    void ActionEditFindExecute();
    void ActionEditReplaceExecute();
    void ActionEditFindNextExecute() { FindNext(); }
    void ActionProjectFindTextExecute();
    void ActionToolExecute(int n);
    void ShowFindResults(qint64 found);
    void CreatePrint();
    int RunPrintDialog(TFPrintFile &dialog);
    void ActionFilePrintExecute();
    void ActionFilePrinterSetupExecute();
    bool ProjectCompiled();
    void DocumentsChanged(int mode);
    void ShowCaret(QWidget *view, const TextPos &pos);
    int SourceOpener(const QString &path, bool includeSearch);
    int ContentOpener(const QString &path);
    int OpenProjectFile(const QString &path);
    bool ReloadPage(int index);
    void ApplyEditorProperties(TOvcTextFileEditorSyntax *editor);
    void ApplyViewerProperties(THexViewer *viewer);

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
    TKivNotebook *m_notebook = nullptr;
    TCompileParts *m_compile = nullptr;
    TOutputParts *m_output = nullptr;
    TFindParts *m_find = nullptr;
    TPrintParts *m_print = nullptr;
    TDeviceParts *m_devices = nullptr;
    TToolParts *m_tools = nullptr;
    bool m_checkingDisk = false;
    TCurrentProject m_project;
    TDockArea *m_dockArea = nullptr;
    TDockingLib *m_dockingLib = nullptr;
    TOutputForm *m_outputForm = nullptr;
    TDbgForm *m_debugForm = nullptr;
    TDebugParts *m_debug = nullptr;
    TToolbars *m_toolbars = nullptr;
    Tfkivtools *m_customize = nullptr;
    QList<QAction *> m_commands;
    QHash<QString, QAction *> m_commandIndex;
    std::array<QMenu *, 2> m_bookmarkMenus{};   /// Toggle Bookmark, Goto Bookmark
    bool m_clipboardHasText = false;
};

}  // namespace kiv
