// The main window's commands: the command table, the menus and tool bars built from it, the
// idle update, the command groups, and the operations of the commands that are not a single
// call into another unit.

#include "kivmain_commands.h"

#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivabout.h"
#include "kivcommands_model.h"
#include "kivdasm.h"
#include "kivfcd.h"
#include "kivenv.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivmain_output.h"
#include "kivmain_props.h"
#include "kivnotebook.h"
#include "kivnotebook_model.h"
#include "kivprompt.h"
#include "kivsupport.h"
#include "kivtoolbars.h"
#include "kivtools.h"
#include "kivtools_model.h"
#include "pc_dirs.h"
#include "textfile.h"
#include "uDbgForm.h"
#include "uDockingLib.h"
#include "uOutputForm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QTabBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace kiv {

namespace {

// Menu captions; each is also the category of its commands.
const char kFile[] = "&File";
const char kProject[] = "&Project";
const char kEdit[] = "&Edit";
const char kOptions[] = "&Options";
const char kCompile[] = "&Compile";
const char kView[] = "&View";
const char kTools[] = "&Tools";
const char kDebug[] = "&Debug";
const char kHelp[] = "&Help";
const char kColors[] = "E&ditor Colors";

// Sub-menu captions.
const char kProjectNew[] = "&New";
const char kToggleBookmark[] = "Toggle &Bookmark";
const char kGotoBookmark[] = "&Goto Bookmark";
const char kToolbarsMenu[] = "Toolba&rs";
const char kInternet[] = "Inte&rnet";
const char kDebugWindows[] = "Debug &Windows";

const QString kNotCompiled = QStringLiteral("Project must be compiled");

// The largest file "Copy from file" inserts.
constexpr qint64 kMaxInsertedFileSize = 32 * 1024 * 1024;

// The menus in menu-bar order, with the objectNames of their QMenus.
struct TMenuName {
    const char *caption;
    const char *objectName;
};
const TMenuName kMenus[] = {
    {kFile, "File1"},       {kProject, "Project1"}, {kEdit, "Edit1"},
    {kOptions, "Options1"}, {kCompile, "Compile1"}, {kView, "View1"},
    {kTools, "Tools1"},     {kDebug, "Debug1"},     {kHelp, "Help1"},
};

// Help topics of the commands Action111 .. Action116.
QString HelpTopicOf(int command)
{
    switch (command) {
    case 111: return QStringLiteral("Editor");
    case 112: return QStringLiteral("BuiltInFunctions");
    case 113: return QStringLiteral("PreProcessor");
    case 114: return QStringLiteral("DataDefinition");
    case 115: return QStringLiteral("Operators");
    case 116: return QStringLiteral("Statements");
    default: return {};
    }
}

QIcon ThemeIcon(const char *names)
{
    if (!names)
        return {};
    const QStringList candidates = QString::fromLatin1(names).split('|');
    for (const QString &name : candidates) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

QList<QKeySequence> Shortcuts(const char *text)
{
    QList<QKeySequence> keys;
    if (!text)
        return keys;
    for (const QString &part : QString::fromLatin1(text).split(QStringLiteral(", ")))
        keys << QKeySequence(part, QKeySequence::PortableText);
    return keys;
}

// Commands whose operation is provided by the window once the matching part is present.
const char kPrintAll[] = "ActionProjectPrintAll";
const char kViewCod[] = "ActionViewCOD";
const char kEnableDebugger[] = "ActionDbgEnable";
const char kDisableDebugger[] = "ActionDbgDisable";

}  // namespace

const TCommand *Commands(int *count)
{
    using M = Tfkivmain;
    // Commands without an operation belong to parts of the program that are not present yet:
    // they are listed and stay disabled.
    static const TCommand table[] = {
        // File
        {.name = "ActionFileNew", .category = kFile, .caption = "&New", .icon = "document-new",
         .run = &M::NewFile},
        {.name = "ActionFileOpen", .category = kFile, .caption = "&Open", .shortcuts = "Ctrl+O",
         .icon = "document-open", .run = &M::ActionFileOpenExecute},
        {.name = "ActionFileSave", .category = kFile, .caption = "&Save", .shortcuts = "Ctrl+S",
         .icon = "document-save", .group = 2, .run = &M::ActionFileSaveExecute,
         .separatorBefore = true},
        {.name = "ActionFileSaveAs", .category = kFile, .caption = "Save &As",
         .icon = "document-save-as", .group = 2, .run = &M::ActionFileSaveAsExecute},
        {.name = "ActionFileSaveAll", .category = kFile, .caption = "Sa&ve All",
         .icon = "document-save-all|document-save", .group = 3, .run = &M::SaveAll},
        {.name = "ActionFileClose", .category = kFile, .caption = "&Close",
         .shortcuts = "Ctrl+F4, Shift+F11", .icon = "document-close|window-close|process-stop",
         .group = 1, .run = &M::CloseFile, .separatorBefore = true},
        {.name = "ActionFileCloseAll", .category = kFile, .caption = "C&lose All",
         .icon = "window-close|edit-clear", .group = 1, .run = &M::CloseAllCommand},
        {.name = "ActionFilePrint", .category = kFile, .caption = "&Print", .shortcuts = "Ctrl+P",
         .icon = "document-print", .group = 1, .run = &M::ActionFilePrintExecute,
         .separatorBefore = true},
        {.name = "ActionFilePrinterSetup", .category = kFile, .caption = "Pr&inter Setup",
         .icon = "document-page-setup|document-properties", .run = &M::ActionFilePrinterSetupExecute},
        {.name = "ActionFileExit", .category = kFile, .caption = "e&Xit",
         .icon = "application-exit|system-log-out", .run = &M::ActionFileExitExecute,
         .separatorBefore = true},

        // Project
        {.name = "wizardaction", .category = kProject, .submenu = kProjectNew,
         .caption = "&PIC Wizard", .run = &M::ActionWizardExecute},
        {.name = "sxwizardaction", .category = kProject, .submenu = kProjectNew,
         .caption = "&SX Wizard", .run = &M::ActionSxWizardExecute},
        {.name = "Action20", .category = kProject, .submenu = kProjectNew,
         .caption = "&Manual Create", .run = &M::ManualCreateProject},
        {.name = "ActionProjectOpen", .category = kProject, .caption = "&Open",
         .icon = "project-open|document-open", .run = &M::ActionProjectOpenExecute},
        {.name = "ActionProjectOpenAll", .category = kProject, .caption = "O&pen All Files",
         .icon = "folder-open", .run = &M::OpenAllFiles, .separatorBefore = true},
        {.name = kPrintAll, .category = kProject, .caption = "Prin&t All files",
         .icon = "document-print", .run = &M::PrintAllFiles},
        {.name = "ActionProjectFindText", .category = kProject,
         .caption = "&Find text in project", .icon = "system-search",
         .run = &M::ActionProjectFindTextExecute},
        {.name = "ActionProjectIncludeDirs", .category = kProject, .caption = "&Include Dirs...",
         .icon = "preferences-system", .run = &M::EditProjectIncludeDirs},
        {.name = "ActionProjectClose", .category = kProject, .caption = "&Close Project",
         .icon = "process-stop", .run = &M::CloseProject, .separatorBefore = true},

        // Edit
        {.name = "ActionEditUndo", .category = kEdit, .caption = "&Undo", .shortcuts = "Ctrl+Z",
         .icon = "edit-undo", .run = &M::ActionEditUndoExecute},
        {.name = "ActionEditCut", .category = kEdit, .caption = "Cu&t", .shortcuts = "Shift+Del",
         .icon = "edit-cut", .run = &M::ActionEditCutExecute, .separatorBefore = true},
        {.name = "ActionEditCopy", .category = kEdit, .caption = "&Copy",
         .shortcuts = "Ctrl+Ins, Ctrl+C", .icon = "edit-copy", .run = &M::ActionEditCopyExecute},
        {.name = "ActionEditPaste", .category = kEdit, .caption = "&Paste",
         .shortcuts = "Shift+Ins", .icon = "edit-paste", .run = &M::ActionEditPasteExecute},
        {.name = "ActionEditSelectAll", .category = kEdit, .caption = "Select &All",
         .icon = "edit-select-all", .run = &M::ActionEditSelectAllExecute},
        {.name = "ActionEditCopyFromFile", .category = kEdit, .caption = "C&opy from file",
         .icon = "insert-text|document-open", .group = 2, .run = &M::CopyFromFile,
         .separatorBefore = true},
        {.name = "ActionEditPasteToFile", .category = kEdit, .caption = "Pa&ste to file",
         .icon = "document-export|document-save-as", .group = 2, .run = &M::PasteToFile},
        {.name = "ActionEditFind", .category = kEdit, .caption = "&Find", .shortcuts = "Ctrl+F",
         .icon = "edit-find", .run = &M::ActionEditFindExecute, .separatorBefore = true},
        {.name = "ActionEditReplace", .category = kEdit, .caption = "&Replace",
         .shortcuts = "Ctrl+R", .icon = "edit-find-replace", .run = &M::ActionEditReplaceExecute},
        {.name = "ActionEditFindNext", .category = kEdit, .caption = "&Next", .shortcuts = "F3",
         .icon = "edit-find-next|go-down", .run = &M::ActionEditFindNextExecute},
        {.name = "ActionEditMatchBrace", .category = kEdit, .caption = "&Match Brace",
         .shortcuts = "Ctrl+]", .icon = "go-jump", .run = &M::ActionEditMatchBraceExecute,
         .separatorBefore = true},
        {.name = "ActionEditMatchBraceExt", .category = kEdit, .caption = "Matc&h Brace Extended",
         .shortcuts = "Ctrl+Shift+]", .icon = "go-last",
         .run = &M::ActionEditMatchBraceExtExecute},
        {.name = "ActionEditGotoLine", .category = kEdit, .caption = "Goto &Line...",
         .shortcuts = "Ctrl+G", .run = &M::GotoLineDialog},
        {.name = "ActionEditIndentSelection", .category = kEdit, .caption = "&Indent selection",
         .shortcuts = "Alt+F8", .icon = "format-indent-more",
         .run = &M::ActionEditIndentSelectionExecute},
        {.name = "Action11", .category = kEdit, .submenu = kToggleBookmark, .caption = "&0",
         .shortcuts = "Ctrl+Shift+0", .runWith = &M::ToggleBookmark, .argument = 0,
         .separatorBefore = true},
        {.name = "Action38", .category = kEdit, .submenu = kToggleBookmark, .caption = "&1",
         .shortcuts = "Ctrl+Shift+1", .runWith = &M::ToggleBookmark, .argument = 1},
        {.name = "Action39", .category = kEdit, .submenu = kToggleBookmark, .caption = "&2",
         .shortcuts = "Ctrl+Shift+2", .runWith = &M::ToggleBookmark, .argument = 2},
        {.name = "Action40", .category = kEdit, .submenu = kToggleBookmark, .caption = "&3",
         .shortcuts = "Ctrl+Shift+3", .runWith = &M::ToggleBookmark, .argument = 3},
        {.name = "Action41", .category = kEdit, .submenu = kToggleBookmark, .caption = "&4",
         .shortcuts = "Ctrl+Shift+4", .runWith = &M::ToggleBookmark, .argument = 4},
        {.name = "Action42", .category = kEdit, .submenu = kToggleBookmark, .caption = "&5",
         .shortcuts = "Ctrl+Shift+5", .runWith = &M::ToggleBookmark, .argument = 5},
        {.name = "Action43", .category = kEdit, .submenu = kToggleBookmark, .caption = "&6",
         .shortcuts = "Ctrl+Shift+6", .runWith = &M::ToggleBookmark, .argument = 6},
        {.name = "Action44", .category = kEdit, .submenu = kToggleBookmark, .caption = "&7",
         .shortcuts = "Ctrl+Shift+7", .runWith = &M::ToggleBookmark, .argument = 7},
        {.name = "Action45", .category = kEdit, .submenu = kToggleBookmark, .caption = "&8",
         .shortcuts = "Ctrl+Shift+8", .runWith = &M::ToggleBookmark, .argument = 8},
        {.name = "Action46", .category = kEdit, .submenu = kToggleBookmark, .caption = "&9",
         .shortcuts = "Ctrl+Shift+9", .runWith = &M::ToggleBookmark, .argument = 9},
        {.name = "Action47", .category = kEdit, .submenu = kGotoBookmark, .caption = "&0",
         .shortcuts = "Ctrl+0", .runWith = &M::GotoBookmark, .argument = 0},
        {.name = "Action48", .category = kEdit, .submenu = kGotoBookmark, .caption = "&1",
         .shortcuts = "Ctrl+1", .runWith = &M::GotoBookmark, .argument = 1},
        {.name = "Action49", .category = kEdit, .submenu = kGotoBookmark, .caption = "&2",
         .shortcuts = "Ctrl+2", .runWith = &M::GotoBookmark, .argument = 2},
        {.name = "Action50", .category = kEdit, .submenu = kGotoBookmark, .caption = "&3",
         .shortcuts = "Ctrl+3", .runWith = &M::GotoBookmark, .argument = 3},
        {.name = "Action51", .category = kEdit, .submenu = kGotoBookmark, .caption = "&4",
         .shortcuts = "Ctrl+4", .runWith = &M::GotoBookmark, .argument = 4},
        {.name = "Action52", .category = kEdit, .submenu = kGotoBookmark, .caption = "&5",
         .shortcuts = "Ctrl+5", .runWith = &M::GotoBookmark, .argument = 5},
        {.name = "Action53", .category = kEdit, .submenu = kGotoBookmark, .caption = "&6",
         .shortcuts = "Ctrl+6", .runWith = &M::GotoBookmark, .argument = 6},
        {.name = "Action54", .category = kEdit, .submenu = kGotoBookmark, .caption = "&7",
         .shortcuts = "Ctrl+7", .runWith = &M::GotoBookmark, .argument = 7},
        {.name = "Action55", .category = kEdit, .submenu = kGotoBookmark, .caption = "&8",
         .shortcuts = "Ctrl+8", .runWith = &M::GotoBookmark, .argument = 8},
        {.name = "Action56", .category = kEdit, .submenu = kGotoBookmark, .caption = "&9",
         .shortcuts = "Ctrl+9", .runWith = &M::GotoBookmark, .argument = 9},
        {.name = "ActionEditNextWindow", .category = kEdit, .caption = "N&ext Window",
         .shortcuts = "Ctrl+N", .icon = "go-next", .run = &M::ActionEditNextWindowExecute,
         .separatorBefore = true},
        // Ctrl+P belongs to Print; Previous Window pairs with Next Window's Ctrl+N instead.
        {.name = "ActionEditPrevWindow", .category = kEdit, .caption = "Pre&vious Window",
         .shortcuts = "Ctrl+Shift+N", .icon = "go-previous",
         .run = &M::ActionEditPrevWindowExecute},

        // Options
        {.name = "recallopenfilesaction", .category = kOptions, .caption = "&Recall Open Files",
         .run = &M::ActionRecallExecute, .checkable = true},
        {.name = "ActionOrderOpenFiles", .category = kOptions, .caption = "&Order Open Files",
         .run = &M::ActionOrderOpenFilesExecute, .checkable = true},
        {.name = "EditorProperties", .category = kOptions, .caption = "&Editor Properties...",
         .run = &M::ActionEditorPropertiesExecute, .separatorBefore = true},
        {.name = "ActionColorBackground", .category = kColors, .submenu = kColors,
         .caption = "Background", .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorSelection", .category = kColors, .submenu = kColors,
         .caption = "Selection", .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorComments", .category = kColors, .submenu = kColors,
         .caption = "Comments", .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorKeywords", .category = kColors, .submenu = kColors,
         .caption = "Keywords", .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorPreProcessor", .category = kColors, .submenu = kColors,
         .caption = "PreProcessor", .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorText", .category = kColors, .submenu = kColors, .caption = "Text",
         .run = &M::ActionEditorColorsExecute},
        {.name = "ActionColorBraceHighlight", .category = kColors, .submenu = kColors,
         .caption = "Brace Highlight", .run = &M::ActionEditorColorsExecute},
        {.name = "toolbarsaction", .category = kOptions, .caption = "&Customize...",
         .run = &M::ActionCustomizeExecute},
        {.name = "fileformatsaction", .category = kOptions, .caption = "&File Formats",
         .run = &M::ShowFileFormats, .separatorBefore = true},
        {.name = "Action68", .category = kOptions, .caption = "&Global Defines...",
         .run = &M::ActionGlobalDefinesExecute},
        {.name = "Action69", .category = kOptions, .caption = "De&bugger/Programer...",
         .run = &M::ActionProgrammerOptionsExecute},
        {.name = "Action70", .category = kOptions, .caption = "I&nclude Dirs...",
         .run = &M::EditGlobalIncludeDirs},

        // Compile
        {.name = "ActionCompile", .category = kCompile, .caption = "&Compile", .shortcuts = "F9",
         .icon = "run-build|system-run|applications-development",
         .run = &M::ActionCompileExecute},

        // View
        {.name = "ActionToolbarsGeneral", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&General", .runWith = &M::ActionToolbarExecute, .argument = 0,
         .checkable = true},
        {.name = "ActionToolbarsProject", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Project", .runWith = &M::ActionToolbarExecute, .argument = 1,
         .checkable = true},
        {.name = "ActionToolbarsEdit", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Edit", .runWith = &M::ActionToolbarExecute, .argument = 2,
         .checkable = true},
        {.name = "ActionToolbarsCompilerSelect", .category = kView, .submenu = kToolbarsMenu,
         .caption = "C&ompiler Select", .runWith = &M::ActionToolbarExecute, .argument = 3,
         .checkable = true},
        {.name = "ActionToolbarsCompile", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Compile", .runWith = &M::ActionToolbarExecute, .argument = 4,
         .checkable = true},
        {.name = "ActionToolbarsView", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&View", .runWith = &M::ActionToolbarExecute, .argument = 5,
         .checkable = true},
        {.name = "ActionToolbarsTools", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Tools", .runWith = &M::ActionToolbarExecute, .argument = 6,
         .checkable = true},
        {.name = "ActionToolbarsDebug", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Debug", .runWith = &M::ActionToolbarExecute, .argument = 7,
         .checkable = true},
        {.name = "ActionToolbarsHelp", .category = kView, .submenu = kToolbarsMenu,
         .caption = "&Help", .runWith = &M::ActionToolbarExecute, .argument = 8,
         .checkable = true},
        {.name = "ActionViewList", .category = kView, .caption = "C/ASM &List",
         .icon = "text-x-generic", .group = 5, .run = &M::ActionViewListExecute,
         .separatorBefore = true},
        {.name = "ActionViewMap", .category = kView, .caption = "&Symbol Map",
         .icon = "x-office-address-book|text-x-script", .group = 4,
         .run = &M::ActionViewMapExecute},
        {.name = "ActionViewCallTree", .category = kView, .caption = "Call &Tree",
         .icon = "view-list-tree|folder", .group = 6, .run = &M::ActionViewCallTreeExecute},
        {.name = "ActionViewStatistics", .category = kView, .caption = "St&atistics",
         .icon = "x-office-spreadsheet", .group = 7, .run = &M::ActionViewStatisticsExecute},
        {.name = "erroraction", .category = kView, .caption = "&Output Messages",
         .run = &M::ActionOutputMessagesExecute, .checkable = true, .separatorBefore = true},
        {.name = "ActionViewDataSheet", .category = kView, .caption = "&Data Sheet",
         .icon = "x-office-document", .run = &M::ActionViewDataSheetExecute, .separatorBefore = true},
        {.name = "ActionViewFuses", .category = kView, .caption = "Valid &Fuses",
         .icon = "preferences-desktop", .run = &M::ActionViewFusesExecute},
        {.name = "ActionViewInterrupts", .category = kView, .caption = "Valid &Interrupts",
         .icon = "dialog-warning", .run = &M::ActionViewInterruptsExecute},
        {.name = "ActionViewBinaryFile", .category = kView, .caption = "&Binary File",
         .icon = "application-x-executable", .run = &M::ActionViewBinaryFileExecute,
         .separatorBefore = true},
        {.name = kViewCod, .category = kView, .caption = "&COD Debug File",
         .icon = "text-x-script", .run = &M::ActionViewCODExecute},
        {.name = "ActionViewCOFF", .category = kView, .caption = "COFF D&ebug File",
         .icon = "package-x-generic", .run = &M::ActionViewCOFFExecute},

        // Tools
        {.name = "ActionToolsDeviceEditor", .category = kTools, .caption = "&Device Editor", .icon = "accessories-text-editor",
         .run = &M::ActionToolsDeviceEditorExecute},
        {.name = "ActionToolsDeviceSelector", .category = kTools, .caption = "D&evice Selector", .icon = "system-search",
         .run = &M::ActionToolsDeviceSelectorExecute},
        {.name = "ActionToolsFileCompare", .category = kTools, .caption = "&File Compare",
         .icon = "x-office-document", .run = &M::ActionToolsFileCompareExecute},
        {.name = "ActionToolsNumericConverter", .category = kTools,
         .caption = "&Numeric Converter", .icon = "accessories-calculator", .run = &M::ActionToolsNumericConverterExecute},
        {.name = "ActionToolsSerialPortMonitor", .category = kTools,
         .caption = "&Serial Port Monitor", .icon = "utilities-terminal", .run = &M::ActionToolsSerialPortMonitorExecute},
        {.name = "ActionToolsDisassembler", .category = kTools, .caption = "D&isassembler", .icon = "applications-system",
         .run = &M::ActionToolsDisassemblerExecute, .separatorBefore = true},
        {.name = "ActionToolsExtractCalData", .category = kTools, .caption = "E&xtract Cal Data",
         .icon = "applications-accessories", .run = &M::ActionToolsExtractCalDataExecute},
        {.name = "ActionToolsProgramChip", .category = kTools, .caption = "&Program Chip", .icon = "drive-removable-media",
         .run = &M::ActionToolsProgramChipExecute, .separatorBefore = true},
        {.name = "ActionToolsProgramChip2", .category = kTools, .caption = "Pro&gram Chip2", .icon = "media-flash",
         .run = &M::ActionToolsProgramChip2Execute},
        {.name = "tool1action", .category = kTools, .caption = "&Tool1",
         .runWith = &M::ActionToolExecute, .argument = 1, .separatorBefore = true},
        {.name = "tool2action", .category = kTools, .caption = "T&ool2",
         .runWith = &M::ActionToolExecute, .argument = 2},
        {.name = "tool3action", .category = kTools, .caption = "Too&l3",
         .runWith = &M::ActionToolExecute, .argument = 3},
        {.name = "Action100", .category = kTools, .submenu = kInternet,
         .caption = "&Check for S/W updates", .runWith = &M::ActionWebPageExecute,
         .argument = 100, .separatorBefore = true},
        {.name = "Action101", .category = kTools, .submenu = kInternet,
         .caption = "&Download S/W updates", .runWith = &M::ActionWebPageExecute,
         .argument = 101},
        {.name = "Action102", .category = kTools, .submenu = kInternet,
         .caption = "&Maintenance prices", .runWith = &M::ActionWebPageExecute, .argument = 102},
        {.name = "Action103", .category = kTools, .submenu = kInternet, .caption = "C&ompiler news",
         .runWith = &M::ActionWebPageExecute, .argument = 103},
        {.name = "Action104", .category = kTools, .caption = "e-mail tech support",
         .run = &M::ActionTechnicalSupportExecute, .hidden = true},
        {.name = "Action105", .category = kTools, .submenu = kInternet,
         .caption = "&PIC web resources", .runWith = &M::ActionWebPageExecute, .argument = 105},
        {.name = "Action106", .category = kTools, .submenu = kInternet,
         .caption = "D&ata sheets for device drivers", .runWith = &M::ActionWebPageExecute,
         .argument = 106},

        // Debug
        {.name = kEnableDebugger, .category = kDebug, .caption = "&Enable Debugger",
         .icon = "network-transmit-receive", .run = &M::ActionDbgEnableExecute},
        {.name = kDisableDebugger, .category = kDebug, .caption = "&Disable",
         .icon = "network-offline"},
        {.name = "ActionDbgReset", .category = kDebug, .caption = "&Reset",
         .shortcuts = "Ctrl+Shift+F5", .icon = "view-refresh", .separatorBefore = true},
        {.name = "ActionDbgRun", .category = kDebug, .caption = "R&un", .shortcuts = "F5",
         .icon = "media-playback-start"},
        {.name = "ActionDbgHalt", .category = kDebug, .caption = "&Halt Program",
         .shortcuts = "Shift+F5", .icon = "media-playback-pause"},
        {.name = "ActionDbgStep", .category = kDebug, .caption = "&Single Step", .shortcuts = "F7",
         .icon = "debug-step-into|media-skip-forward"},
        {.name = "ActionDbgStepOver", .category = kDebug, .caption = "S&tep Over",
         .shortcuts = "F8", .icon = "debug-step-over|media-seek-forward"},
        {.name = "ActionDbgRunTo", .category = kDebug, .caption = "Ru&n to cursor",
         .shortcuts = "F4", .icon = "debug-run-cursor|go-last"},
        {.name = "ActionDbgSnapshot", .category = kDebug, .caption = "Sn&apshot",
         .icon = "camera-photo"},
        {.name = "ActionDbgHelp", .category = kDebug, .caption = "De&buger Help",
         .icon = "help-contents|help-browser", .run = &M::ActionHelpContentsExecute},
        {.name = "ActionDebugShowAll", .category = kDebug, .submenu = kDebugWindows,
         .caption = "Show &All", .separatorBefore = true},
        {.name = "ActionDebugHideAll", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Hide All"},
        {.name = "ActionDebugResetWindows", .category = kDebug, .submenu = kDebugWindows,
         .caption = "R&eset Debug Windows"},
        {.name = "ActionDebugBreaks", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Breaks", .separatorBefore = true},
        {.name = "ActionDebugStack", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Stack"},
        {.name = "ActionDebugWatches", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Watches"},
        {.name = "ActionDebugRAM", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&RAM"},
        {.name = "ActionDebugROM", .category = kDebug, .submenu = kDebugWindows,
         .caption = "R&OM"},
        {.name = "ActionDebugDataEE", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Data EE"},
        {.name = "ActionDebugPeripherals", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Peripherals"},
        {.name = "ActionDebugTasks", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Tasks"},
        {.name = "ActionDebugEval", .category = kDebug, .submenu = kDebugWindows,
         .caption = "E&val"},
        {.name = "ActionDebugMonitor", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Monitor"},
        {.name = "ActionDebugLog", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Log"},
        {.name = "ActionDebugConfigure", .category = kDebug, .submenu = kDebugWindows,
         .caption = "&Configure"},

        // Help
        {.name = "ActionHelpAbout", .category = kHelp, .caption = "&About",
         .icon = "help-about", .run = &M::ActionHelpAboutExecute},
        {.name = "Action108", .category = kHelp, .caption = "&Contents",
         .icon = "help-contents|help-browser", .run = &M::ActionHelpContentsExecute,
         .separatorBefore = true},
        {.name = "Action109", .category = kHelp, .caption = "&Index", .shortcuts = "F12",
         .icon = "help-index|system-search", .run = &M::ActionHelpIndexExecute},
        {.name = "Action110", .category = kHelp, .caption = "&Keyword at cursor",
         .shortcuts = "F1", .run = &M::KeywordHelp},
        {.name = "Action118", .category = kHelp, .caption = "&Last Error",
         .run = &M::LastErrorHelp},
        {.name = "Action111", .category = kHelp, .caption = "&Editor", .shortcuts = "Shift+F12",
         .runWith = &M::ActionHelpTopicExecute, .argument = 111, .separatorBefore = true},
        {.name = "Action112", .category = kHelp, .caption = "B&uilt in functions",
         .runWith = &M::ActionHelpTopicExecute, .argument = 112},
        {.name = "Action113", .category = kHelp, .caption = "&Preprocessor cmds",
         .runWith = &M::ActionHelpTopicExecute, .argument = 113},
        {.name = "Action114", .category = kHelp, .caption = "&Data types",
         .runWith = &M::ActionHelpTopicExecute, .argument = 114},
        {.name = "Action115", .category = kHelp, .caption = "&Operators",
         .runWith = &M::ActionHelpTopicExecute, .argument = 115},
        {.name = "Action116", .category = kHelp, .caption = "&Statements",
         .runWith = &M::ActionHelpTopicExecute, .argument = 116},
        {.name = "Action117", .category = kHelp, .caption = "&Technical Support",
         .run = &M::ActionTechnicalSupportExecute, .separatorBefore = true},
    };
    *count = int(std::size(table));
    return table;
}

// --- building ---------------------------------------------------------------------------------

QAction *Tfkivmain::CreateCommand(const TCommand &command)
{
    auto *action = new QAction(QString::fromLatin1(command.caption), this);
    action->setObjectName(QString::fromLatin1(command.name));
    action->setShortcuts(Shortcuts(command.shortcuts));
    action->setIcon(ThemeIcon(command.icon));
    action->setCheckable(command.checkable);
    action->setProperty("category", QString::fromLatin1(command.category));
    action->setProperty("group", command.group);
    const bool runs = command.run || command.runWith;
    action->setProperty("available", runs);
    action->setEnabled(runs);
    if (command.run) {
        const auto run = command.run;
        connect(action, &QAction::triggered, this, [this, run] { (this->*run)(); });
    } else if (command.runWith) {
        const auto run = command.runWith;
        const int argument = command.argument;
        connect(action, &QAction::triggered, this, [this, run, argument] { (this->*run)(argument); });
    }
    // Shortcuts work wherever the main window has the focus, also for commands in sub-menus.
    addAction(action);
    m_commands << action;
    m_commandIndex.insert(action->objectName(), action);
    return action;
}

void Tfkivmain::CreateCommands()
{
    // Icons come from the desktop's theme; Tango stands in for names the theme lacks. Without a
    // desktop (no platform theme) the system's icon folders are not searched by default.
    QStringList searchPaths = QIcon::themeSearchPaths();
    for (const QString &folder : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory)) {
        if (!searchPaths.contains(folder))
            searchPaths << folder;
    }
    QIcon::setThemeSearchPaths(searchPaths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Tango"));
    QIcon::setFallbackThemeName(QStringLiteral("Tango"));

    QHash<QString, QMenu *> menus;
    m_commandIndex.clear();
    for (const TMenuName &m : kMenus) {
        QMenu *menu = menuBar()->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.objectName));
        menus.insert(QString::fromLatin1(m.caption), menu);
    }
    // The colour entries are listed in the Options menu.
    menus.insert(QString::fromLatin1(kColors), menus.value(QString::fromLatin1(kOptions)));

    QHash<QString, QMenu *> submenus;
    int count = 0;
    const TCommand *table = Commands(&count);
    for (int i = 0; i < count; ++i) {
        const TCommand &command = table[i];
        QAction *action = CreateCommand(command);
        if (command.hidden)
            continue;
        QMenu *menu = menus.value(QString::fromLatin1(command.category));
        if (command.submenu) {
            const QString key = QString::fromLatin1(command.category) + '/' + command.submenu;
            QMenu *sub = submenus.value(key);
            if (!sub) {
                if (command.separatorBefore && !menu->isEmpty())
                    menu->addSeparator();
                sub = menu->addMenu(QString::fromLatin1(command.submenu));
                submenus.insert(key, sub);
            } else if (command.separatorBefore) {
                sub->addSeparator();
            }
            sub->addAction(action);
            continue;
        }
        if (command.separatorBefore && !menu->isEmpty())
            menu->addSeparator();
        menu->addAction(action);
    }

    // Both Reopen lists follow their menu's Open command.
    QMenu *file = menus.value(QString::fromLatin1(kFile));
    QMenu *project = menus.value(QString::fromLatin1(kProject));
    const auto insertAfter = [](QMenu *menu, QAction *after, QMenu *sub) {
        const QList<QAction *> items = menu->actions();
        const qsizetype at = items.indexOf(after);
        menu->insertMenu(at + 1 < items.size() ? items.at(at + 1) : nullptr, sub);
    };
    m_reopenFiles = new QMenu(QStringLiteral("&Reopen"), file);
    m_reopenFiles->setObjectName(QStringLiteral("ReopenFiles"));
    insertAfter(file, Command(QStringLiteral("ActionFileOpen")), m_reopenFiles);
    m_reopenProjects = new QMenu(QStringLiteral("&Reopen"), project);
    m_reopenProjects->setObjectName(QStringLiteral("ReopenProjects"));
    insertAfter(project, Command(QStringLiteral("ActionProjectOpen")), m_reopenProjects);
    for (QMenu *sub : submenus)
        sub->setObjectName(QStringLiteral("Menu") + sub->title().remove('&').remove(' '));
    m_bookmarkMenus[0] = submenus.value(QString::fromLatin1(kEdit) + '/' + kToggleBookmark);
    m_bookmarkMenus[1] = submenus.value(QString::fromLatin1(kEdit) + '/' + kGotoBookmark);
    // A menu shows its commands as they are at that moment.
    for (QMenu *menu : menuBar()->findChildren<QMenu *>())
        connect(menu, &QMenu::aboutToShow, this, &Tfkivmain::IdleUpdate);

    // Debug commands wait for a session; Enable Debugger for a compiled project.
    for (const char *name : {kEnableDebugger, kDisableDebugger})
        Command(QString::fromLatin1(name))->setEnabled(false);
    Command(QStringLiteral("ActionProjectIncludeDirs"))->setEnabled(false);
    Command(QStringLiteral("ActionViewCOFF"))->setVisible(QFileInfo(InstallDir() + "vyncoff").isFile());
    SetCommandEnabled(kPrintAll, true);
    SetCommandEnabled(kViewCod, true);
    for (const char *name : {"tool1action", "tool2action", "tool3action"})
        SetCommandEnabled(name, true);

    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        const QMimeData *data = QApplication::clipboard()->mimeData();
        m_clipboardHasText = data && data->hasText();
    });
    const QMimeData *data = QApplication::clipboard()->mimeData();
    m_clipboardHasText = data && data->hasText();
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Tfkivmain::IdleUpdate);
}

void Tfkivmain::BuildToolbars()
{
    m_toolbars = new TToolbars(this, CompileParts()->CompilerSelectBar);
    const TIniFile ini(SettingsFilePath());
    // The tool bars come before the window takes its stored or first-start size: their rows
    // are made for the width it is about to get.
    int width = FirstStartGeometry(AvailableScreenArea()).width;
    if (ini.ValueExists(QStringLiteral("kivform"), QStringLiteral("width")))
        width = ini.ReadInteger(QStringLiteral("kivform"), QStringLiteral("width"), width);
    if (ini.ReadInteger(QStringLiteral("kivform"), QStringLiteral("size"), 0) == 2)
        width = AvailableScreenArea().width();
    m_toolbars->BuildToolbars(menuBar(), ini, width);
    TToolbars::LoadShortcuts(menuBar(), ini);
    m_customize = new Tfkivtools(m_toolbars, menuBar(), SettingsFilePath(), this);

    // The debugger's own tool bar heads the Debug window.
    auto *debugBar = new QToolBar(QStringLiteral("Debugger"), m_debugForm);
    debugBar->setObjectName(QStringLiteral("DebugToolBar"));
    debugBar->setIconSize(QSize(16, 16));
    for (const char *name : {"ActionDbgReset", "ActionDbgRun", "ActionDbgHalt", "ActionDbgStep",
                             "ActionDbgStepOver", "ActionDbgRunTo", "ActionDbgSnapshot",
                             "ActionDbgHelp"})
        debugBar->addAction(Command(QString::fromLatin1(name)));
    m_debugForm->Layout()->insertWidget(0, debugBar, 0, Qt::AlignTop);
}

void Tfkivmain::ActionCustomizeExecute()
{
    if (m_customize)
        m_customize->exec();
}

void Tfkivmain::SaveToolbarSettings(TIniFile &ini)
{
    if (m_toolbars)
        m_toolbars->SaveToolbars(ini);
}

QMenu *Tfkivmain::createPopupMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopupMenuToolbar"));
    for (const QString &name : ToolbarNames()) {
        QString command = name;
        command.remove('-');
        menu->addAction(Command(QStringLiteral("ActionToolbars") + command));
    }
    menu->addSeparator();
    QAction *customize = menu->addAction(QStringLiteral("Customize..."));
    QAction *toolbars = Command(QStringLiteral("toolbarsaction"));
    customize->setEnabled(toolbars->isEnabled());
    connect(customize, &QAction::triggered, toolbars, &QAction::trigger);
    IdleUpdate();
    return menu;
}

QAction *Tfkivmain::Command(const QString &name) const
{
    return m_commandIndex.value(name);
}

bool Tfkivmain::CommandAvailable(const QAction *action) const
{
    if (!action->property("available").toBool())
        return false;
    const QString name = action->objectName();
    if (name == QLatin1String(kPrintAll))
        return bool(PrintFiles);
    if (name == QLatin1String(kViewCod))
        return bool(CodDump);
    if (name == QLatin1String(kEnableDebugger))
        return bool(StartDebugSession);
    if (name.startsWith(QLatin1String("tool")) && name.endsWith(QLatin1String("action")))
        return bool(LaunchUserTool);
    return true;
}

void Tfkivmain::SetCommandEnabled(QAction *action, bool on)
{
    if (action)
        action->setEnabled(on && CommandAvailable(action));
}

void Tfkivmain::SetCommandEnabled(const char *name, bool on)
{
    SetCommandEnabled(Command(QString::fromLatin1(name)), on);
}

// --- idle update and command groups ------------------------------------------------------------

void Tfkivmain::IdleUpdate()
{
    if (m_commands.isEmpty())
        return;
    const int current = m_notebook->CurrentPage();
    QWidget *view = m_notebook->View(current);
    // A click on a page's tab leaves the focus on the container: hand it to the page's view.
    const bool containerFocused = m_notebook->hasFocus() || m_notebook->tabBar()->hasFocus();
    if (view && containerFocused && view->isVisible() && view->isEnabled())
        view->setFocus();

    TIdleState state;
    state.pageCount = m_notebook->PageCount();
    state.hasCurrentPage = view != nullptr;
    state.pageKind = m_notebook->PageKind(current);
    state.clipboardHasText = m_clipboardHasText;
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current)) {
        state.hasSelection = editor->HasSelection();
        state.readOnly = editor->ReadOnly();
        state.canUndo = editor->isUndoAvailable();
    } else if (THexViewer *viewer = m_notebook->Viewer(current)) {
        state.hasSelection = viewer->HasSelection();
    }
    const TIdleEnables on = IdleEnables(state);
    SetCommandEnabled("ActionEditPaste", on.paste);
    SetCommandEnabled("ActionEditCopy", on.copy);
    SetCommandEnabled("ActionEditCut", on.copy && on.editorCommands);
    SetCommandEnabled("ActionEditGotoLine", on.gotoLine && state.hasCurrentPage);
    for (const char *name : {"ActionEditNextWindow", "ActionEditPrevWindow", "ActionEditMatchBrace",
                             "ActionEditMatchBraceExt", "ActionEditSelectAll", "ActionEditFind",
                             "ActionEditFindNext"})
        SetCommandEnabled(name, on.pageCommands);
    // Bookmarks belong to a page.
    for (QMenu *bookmarks : {m_bookmarkMenus[0], m_bookmarkMenus[1]}) {
        if (bookmarks)
            bookmarks->setEnabled(state.hasCurrentPage);
    }
    SetCommandEnabled("ActionEditIndentSelection", on.indentSelection);
    SetCommandEnabled("ActionEditUndo", on.undo);
    SetCommandEnabled("ActionEditReplace", on.editorCommands);

    if (m_toolbars) {
        const QStringList &names = ToolbarNames();
        for (int n = 0; n < names.size(); ++n) {
            QString command = names.at(n);
            command.remove('-');
            if (QAction *toggle = Command(QStringLiteral("ActionToolbars") + command))
                toggle->setChecked(m_toolbars->IsToolbarVisible(names.at(n)));
        }
    }
    Command(QStringLiteral("erroraction"))->setChecked(m_outputForm && m_outputForm->isVisible());
    Command(QStringLiteral("recallopenfilesaction"))->setChecked(m_environment.Recall);
    Command(QStringLiteral("ActionOrderOpenFiles"))->setChecked(m_environment.OrderFiles);
    SetCommandEnabled(kPrintAll, true);
    SetCommandEnabled(kViewCod, true);
    for (const char *name : {"tool1action", "tool2action", "tool3action"})
        SetCommandEnabled(name, true);
}

void Tfkivmain::UpdateCommandGroups(int mode)
{
    const int current = m_notebook->CurrentPage();
    if (m_notebook->PageCount() > 0) {
        if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current))
            ShowCaret(editor, editor->CaretPos());
        else if (THexViewer *viewer = m_notebook->Viewer(current))
            ShowCaret(viewer, viewer->CaretPos());
        if (!CompileErrorShown())
            SetStatusText(2, m_notebook->CurrentPath());
    } else {
        SetStatusText(0, QString());
        if (!CompileErrorShown())
            SetStatusText(2, QString());
    }

    const auto editable = [this](int index) {
        const int kind = m_notebook->PageKind(index);
        return (kind & pkEditor) && !(kind & pkReadOnly);
    };
    TGroupState state;
    state.pageCount = m_notebook->PageCount();
    state.hasCurrentPage = current >= 0;
    state.currentIsEditor = editable(current);
    for (int i = 0; i < state.pageCount && !state.anyEditor; ++i)
        state.anyEditor = editable(i);
    if (!m_project.IsEmpty())
        state.projectBase = m_project.Base();
    const TGroupChanges changes = CommandGroupChanges(
        mode, state, [](const QString &path) { return QFileInfo(path).isFile(); });
    for (QAction *action : std::as_const(m_commands)) {
        const int group = action->property("group").toInt();
        if (group > 0 && changes.group[group])
            SetCommandEnabled(action, *changes.group[group]);
    }
    if (changes.enableDebugger)
        SetCommandEnabled(kEnableDebugger, *changes.enableDebugger);
    if (changes.disableDebugger)
        SetCommandEnabled(kDisableDebugger, *changes.disableDebugger);
    if (changes.projectIncludeDirs)
        SetCommandEnabled("ActionProjectIncludeDirs", *changes.projectIncludeDirs);

    if (UpdateCommandGroupsHook)
        UpdateCommandGroupsHook(mode);
}

// --- File and Edit ------------------------------------------------------------------------------

void Tfkivmain::ActionFileSaveAsExecute()
{
    if (m_notebook->CurrentPage() >= 0)
        SaveAs(m_notebook->CurrentPage());
}

void Tfkivmain::ActionFileExitExecute()
{
    close();
}

void Tfkivmain::ActionEditUndoExecute()
{
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage()))
        editor->undo();
}

void Tfkivmain::ActionEditCutExecute()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (editor && !editor->ReadOnly())
        editor->cut();
}

void Tfkivmain::ActionEditCopyExecute()
{
    const int current = m_notebook->CurrentPage();
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current))
        editor->copy();
    else if (THexViewer *viewer = m_notebook->Viewer(current))
        viewer->Copy();
}

void Tfkivmain::ActionEditPasteExecute()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (editor && !editor->ReadOnly())
        editor->paste();
}

void Tfkivmain::ActionEditSelectAllExecute()
{
    const int current = m_notebook->CurrentPage();
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current))
        editor->selectAll();
    else if (THexViewer *viewer = m_notebook->Viewer(current))
        viewer->SelectAll();
}

void Tfkivmain::ActionEditMatchBraceExecute()
{
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage()))
        editor->MatchBrace(false);
}

void Tfkivmain::ActionEditMatchBraceExtExecute()
{
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage()))
        editor->MatchBrace(true);
}

void Tfkivmain::ActionEditIndentSelectionExecute()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (editor && !editor->ReadOnly() && editor->HasSelection())
        editor->IndentSelection();
}

void Tfkivmain::ActionEditNextWindowExecute()
{
    const int count = m_notebook->PageCount();
    if (count == 0)
        return;
    m_notebook->SetCurrentPage((m_notebook->CurrentPage() + 1) % count);
    if (QWidget *view = m_notebook->View(m_notebook->CurrentPage()))
        view->setFocus();
}

void Tfkivmain::ActionEditPrevWindowExecute()
{
    const int count = m_notebook->PageCount();
    if (count == 0)
        return;
    m_notebook->SetCurrentPage((m_notebook->CurrentPage() + count - 1) % count);
    if (QWidget *view = m_notebook->View(m_notebook->CurrentPage()))
        view->setFocus();
}

void Tfkivmain::GotoLineDialog()
{
    const int current = m_notebook->CurrentPage();
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current);
    if (!editor)
        return;
    // The question starts at the caret's line, so Enter alone changes nothing.
    const std::optional<int> answer = Prompt().Number(
        QStringLiteral("Goto Line"), QStringLiteral("Goto Line:"), editor->CaretPos().line, 0,
        INT_MAX);
    editor->setFocus();
    if (!answer)
        return;
    const std::optional<int> line = GotoLineTarget(*answer, editor->LineCount(), false);
    if (!line)
        return;
    editor->SetCaretPos(TextPos{*line, 1});
    editor->CenterLine(*line);
}

void Tfkivmain::StatusGotoLine()
{
    const int current = m_notebook->CurrentPage();
    if (m_notebook->PageCount() == 0 || current < 0)
        return;
    const std::optional<int> answer = Prompt().Number(
        QStringLiteral("Goto Line"), QStringLiteral("New line number:"), 1, 1, INT_MAX);
    if (!answer)
        return;
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current)) {
        const std::optional<int> line = GotoLineTarget(*answer, editor->LineCount(), true);
        if (line) {
            editor->SetCaretPos(TextPos{*line, 1});
            editor->CenterLine(*line);
            editor->setFocus();
        }
    } else if (THexViewer *viewer = m_notebook->Viewer(current)) {
        constexpr qint64 kBytesPerRow = 16;
        const qint64 rows = (viewer->FileSize() + kBytesPerRow - 1) / kBytesPerRow;
        const std::optional<int> line = GotoLineTarget(*answer, int(qMin<qint64>(rows, INT_MAX)), true);
        if (line)
            viewer->SetCaretOffset((*line - 1) * kBytesPerRow);
    }
}

void Tfkivmain::ToggleBookmark(int n)
{
    const int current = m_notebook->CurrentPage();
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current)) {
        if (editor->BookmarkLine(n) > 0)
            editor->ClearBookmark(n);
        else
            editor->SetBookmark(n, editor->CaretPos().line);
    } else if (THexViewer *viewer = m_notebook->Viewer(current)) {
        if (viewer->BookmarkLine(n) > 0)
            viewer->ClearBookmark(n);
        else
            viewer->SetBookmark(n, viewer->CaretPos().line);
    }
}

void Tfkivmain::GotoBookmark(int n)
{
    const int current = m_notebook->CurrentPage();
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current))
        editor->GotoBookmark(n);
    else if (THexViewer *viewer = m_notebook->Viewer(current))
        viewer->GotoBookmark(n);
}

void Tfkivmain::CopyFromFile()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (!editor || editor->ReadOnly())
        return;
    const QString path = AskOpenFileName(1);
    if (path.isEmpty())
        return;
    // Only a regular text file of a sensible size goes into the text: a device or pipe would
    // never end, a binary file would be cut at its first NUL byte.
    const QFileInfo info(path);
    if (!info.isFile()) {
        ShowError(QStringLiteral("Cannot insert ") + path + QStringLiteral(": not a file"));
        return;
    }
    if (info.size() > kMaxInsertedFileSize) {
        ShowError(QStringLiteral("Cannot insert ") + path + QStringLiteral(": the file is larger than ")
                  + QString::number(kMaxInsertedFileSize / (1024 * 1024)) + QStringLiteral(" MB"));
        return;
    }
    QByteArray data;
    QString error;
    if (!ReadWholeFile(path, data, &error)) {
        ShowError(error);
        return;
    }
    if (data.contains('\0')) {
        ShowError(QStringLiteral("Cannot insert ") + path + QStringLiteral(": it is a binary file"));
        return;
    }
    const TTextFileFormat format = DetectTextFormat(data);
    QString lines = QString::fromUtf8(ToUtf8(data, format.encoding));
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
    QStringList list = lines.split('\n');
    // A final line break does not start another line.
    if (!list.isEmpty() && list.constLast().isEmpty())
        list.removeLast();
    const TLineEnd end = editor->FileFormat().lineEnd;
    const QString lineEnd = end == TLineEnd::leCrLf ? QStringLiteral("\r\n")
                            : end == TLineEnd::leCr ? QStringLiteral("\r")
                                                    : QStringLiteral("\n");
    if (list.isEmpty())
        return;
    // Each line goes in followed by a line break; the caret ends after the inserted lines.
    const TextPos caret = editor->CaretPos();
    const int linesBefore = editor->LineCount();
    editor->insert(list.join(lineEnd) + lineEnd);
    editor->SetCaretPos(TextPos{caret.line + editor->LineCount() - linesBefore, 1});
}

void Tfkivmain::PasteToFile()
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage());
    if (!editor)
        return;
    TFileQuestion question;
    question.caption = QStringLiteral("Save As");
    question.folder = m_dialogFolder;
    question.filters = OpenDialogFilters();
    question.filterIndex = 1;
    question.defaultSuffix = QStringLiteral("c");
    const QString chosen = Prompt().SaveFileName(question);
    if (chosen.isEmpty())
        return;
    const QString path = WithDefaultExtension(chosen);
    TTextEncoding encoding = editor->FileFormat().encoding;
    const QByteArray bytes = FromUtf8(editor->SelectedText().toUtf8(), encoding);
    QString error;
    if (!WriteFileSafely(path, bytes, false, &error))
        ShowError(error);
}

// --- Options ------------------------------------------------------------------------------------

void Tfkivmain::ActionRecallExecute()
{
    m_environment.Recall = !m_environment.Recall;
}

void Tfkivmain::ActionOrderOpenFilesExecute()
{
    m_environment.OrderFiles = !m_environment.OrderFiles;
    SetOrderFiles(m_environment.OrderFiles);
}

void Tfkivmain::ActionEditorPropertiesExecute()
{
    ShowEditorProperties(*this, 0);
}

void Tfkivmain::ActionEditorColorsExecute()
{
    ShowEditorProperties(*this, 2);
}

// --- Compile and View ---------------------------------------------------------------------------

void Tfkivmain::ActionCompileExecute()
{
    CompileProject();
}

void Tfkivmain::ActionToolbarExecute(int n)
{
    const QStringList &names = ToolbarNames();
    if (!m_toolbars || n < 0 || n >= names.size())
        return;
    m_toolbars->SetToolbarVisible(!m_toolbars->IsToolbarVisible(names.at(n)), names.at(n));
}

bool Tfkivmain::OpenProjectOutput(const QString &extension)
{
    const QString path = m_project.IsEmpty() ? QString() : m_project.Base() + extension;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        ShowWarning(kNotCompiled);
        return false;
    }
    if (extension == QLatin1String(".sym"))
        doopenreadonly(path, QStringLiteral("Symbols"), 'A');
    else if (extension == QLatin1String(".sta"))
        OpenStatistics(path);
    else
        OpenByExtension(path, false);
    return true;
}

void Tfkivmain::ActionViewListExecute()
{
    OpenProjectOutput(QStringLiteral(".lst"));
}

void Tfkivmain::ActionViewMapExecute()
{
    OpenProjectOutput(QStringLiteral(".sym"));
}

void Tfkivmain::ActionViewCallTreeExecute()
{
    OpenProjectOutput(QStringLiteral(".tre"));
}

void Tfkivmain::ActionViewStatisticsExecute()
{
    OpenProjectOutput(QStringLiteral(".sta"));
}

void Tfkivmain::ActionOutputMessagesExecute()
{
    if (!m_outputForm)
        return;
    if (m_outputForm->isVisible())
        m_outputForm->close();
    else
        m_outputForm->ShowTab(m_outputForm->Tab());
}

void Tfkivmain::ActionViewBinaryFileExecute()
{
    const QString path = AskOpenFileName(6);
    if (!path.isEmpty())
        doopenreadonly(path, QFileInfo(path).fileName(), 'H');
}

void Tfkivmain::ActionViewCODExecute()
{
    const QString path = AskOpenFileName(4);
    if (!path.isEmpty())
        CodView(path);
}

void Tfkivmain::ActionViewCOFFExecute()
{
    const QString path = AskOpenFileName(5);
    if (!path.isEmpty())
        CoffView(path);
}

// --- Tools --------------------------------------------------------------------------------------

void Tfkivmain::StartProgram(const QString &program, const QStringList &arguments)
{
    // Started without waiting; a program that is not there is reported with the system's reason.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    if (!process.startDetached()) {
        ShowError(QStringLiteral("Cannot start ") + program + QStringLiteral(": ")
                  + process.errorString());
    }
}

void Tfkivmain::ActionToolsDeviceEditorExecute()
{
    StartProgram(UtilsDir() + QStringLiteral("chipedit"), {});
}

void Tfkivmain::ActionToolsDeviceSelectorExecute()
{
    StartProgram(UtilsDir() + QStringLiteral("chipedit"), {QStringLiteral("+S")});
}

void Tfkivmain::ActionToolsNumericConverterExecute()
{
    StartProgram(UtilsDir() + QStringLiteral("dunet"), {});
}

void Tfkivmain::ActionToolsSerialPortMonitorExecute()
{
    StartProgram(TelmDir() + QStringLiteral("telm"), {});
}

void Tfkivmain::ActionToolsDisassemblerExecute()
{
    const QString listing = ShowDisassemblerDialog(
        this, [this](const QString &topic) { m_output->Help.ShowHelpTopic(topic); });
    if (listing.isEmpty())
        return;
    // A listing already open is shown again with the new run's text.
    const int page = FindPage(listing);
    if (page >= 0) {
        m_notebook->SetCurrentPage(page);
        ReloadPage(page);
    } else {
        doopenfile(listing, QLatin1Char('T'));
    }
}

void Tfkivmain::ActionToolsFileCompareExecute()
{
    QString result;
    if (ShowCompareDialog(this, &result) != Tfkivfcd::kYes || result.isEmpty())
        return;
    // The result shows as a compare page; one already open is made current and read again.
    int page = FindPage(result);
    if (page >= 0) {
        m_notebook->SetCurrentPage(page);
        ReloadPage(page);
    } else {
        page = doopenfile(result, QLatin1Char('D'));
    }
    if (page >= 0)
        InstallChangeNavigation(m_notebook->Editor(page));
}

void Tfkivmain::ActionWebPageExecute(int n)
{
    const QString page = WebPageOf(QStringLiteral("Action%1").arg(n));
    if (page.isEmpty())
        return;
    if (!QDesktopServices::openUrl(QUrl(page)))
        ShowError(QStringLiteral("Cannot open the web page ") + page);
}

void Tfkivmain::ActionTechnicalSupportExecute()
{
    TCompileParts *compile = CompileParts();
    const QString code = compile->Compilers.SelectedCode();
    const QString version = code.isEmpty() ? QString() : compile->Library.CompilerVersion(code);
    ShowTechnicalSupport(this, version);
}

// --- Debug and Help -----------------------------------------------------------------------------

void Tfkivmain::ActionDbgEnableExecute()
{
    if (DebugSessionActive && DebugSessionActive())
        return;
    if (!StartDebugSession || !DebugReadiness())
        return;
    // The Debug window comes into view with its session, wherever the layout keeps it.
    m_debugForm->show();
    m_dockingLib->ShowDockedForm(m_debugForm);
    StartDebugSession();
}

void Tfkivmain::ActionHelpContentsExecute()
{
    m_output->Help.ShowHelpContents();
}

void Tfkivmain::ActionHelpIndexExecute()
{
    m_output->Help.ShowHelpIndex();
}

void Tfkivmain::ShowHelpTopic(const QString &topic)
{
    m_output->Help.ShowHelpTopic(topic);
}

void Tfkivmain::ActionHelpTopicExecute(int n)
{
    m_output->Help.ShowHelpTopic(HelpTopicOf(n));
}

void Tfkivmain::ActionHelpAboutExecute()
{
    TCompileParts *compile = CompileParts();
    const QString code = compile->Compilers.SelectedCode();
    const QString version = code.isEmpty() ? QString() : compile->Library.CompilerVersion(code);
    ShowAbout(this, compile->Compilers.SelectedName(), version);
}

}  // namespace kiv
