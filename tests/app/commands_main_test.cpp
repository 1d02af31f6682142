#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "kivtoolbars.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <ostream>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

struct TExpectedCommand {
    const char *name;
    const char *category;
    const char *caption;
    const char *shortcuts;   // as the menu lists them, ", " between
};

// Every command with its category, caption and shortcuts.
const TExpectedCommand kExpected[] = {
    {"ActionFileNew", "&File", "&New", ""},
    {"ActionFileOpen", "&File", "&Open", "Ctrl+O"},
    {"ActionFileSave", "&File", "&Save", "Ctrl+S"},
    {"ActionFileSaveAs", "&File", "Save &As", ""},
    {"ActionFileSaveAll", "&File", "Sa&ve All", ""},
    {"ActionFileClose", "&File", "&Close", "Ctrl+F4, Shift+F11"},
    {"ActionFileCloseAll", "&File", "C&lose All", ""},
    {"ActionFilePrint", "&File", "&Print", "Ctrl+P"},
    {"ActionFilePrinterSetup", "&File", "Pr&inter Setup", ""},
    {"ActionFileExit", "&File", "e&Xit", ""},
    {"wizardaction", "&Project", "&PIC Wizard", ""},
    {"sxwizardaction", "&Project", "&SX Wizard", ""},
    {"Action20", "&Project", "&Manual Create", ""},
    {"ActionProjectOpen", "&Project", "&Open", ""},
    {"ActionProjectOpenAll", "&Project", "O&pen All Files", ""},
    {"ActionProjectPrintAll", "&Project", "Prin&t All files", ""},
    {"ActionProjectFindText", "&Project", "&Find text in project", ""},
    {"ActionProjectIncludeDirs", "&Project", "&Include Dirs...", ""},
    {"ActionProjectClose", "&Project", "&Close Project", ""},
    {"ActionEditUndo", "&Edit", "&Undo", "Ctrl+Z"},
    {"ActionEditCut", "&Edit", "Cu&t", "Shift+Del"},
    {"ActionEditCopy", "&Edit", "&Copy", "Ctrl+Ins, Ctrl+C"},
    {"ActionEditPaste", "&Edit", "&Paste", "Shift+Ins"},
    {"ActionEditSelectAll", "&Edit", "Select &All", ""},
    {"ActionEditCopyFromFile", "&Edit", "C&opy from file", ""},
    {"ActionEditPasteToFile", "&Edit", "Pa&ste to file", ""},
    {"ActionEditFind", "&Edit", "&Find", "Ctrl+F"},
    {"ActionEditReplace", "&Edit", "&Replace", "Ctrl+R"},
    {"ActionEditFindNext", "&Edit", "&Next", "F3"},
    {"ActionEditMatchBrace", "&Edit", "&Match Brace", "Ctrl+]"},
    {"ActionEditMatchBraceExt", "&Edit", "Matc&h Brace Extended", "Ctrl+Shift+]"},
    {"ActionEditGotoLine", "&Edit", "Goto &Line...", "Ctrl+G"},
    {"ActionEditIndentSelection", "&Edit", "&Indent selection", "Alt+F8"},
    {"Action11", "&Edit", "&0", "Ctrl+Shift+0"},
    {"Action38", "&Edit", "&1", "Ctrl+Shift+1"},
    {"Action39", "&Edit", "&2", "Ctrl+Shift+2"},
    {"Action40", "&Edit", "&3", "Ctrl+Shift+3"},
    {"Action41", "&Edit", "&4", "Ctrl+Shift+4"},
    {"Action42", "&Edit", "&5", "Ctrl+Shift+5"},
    {"Action43", "&Edit", "&6", "Ctrl+Shift+6"},
    {"Action44", "&Edit", "&7", "Ctrl+Shift+7"},
    {"Action45", "&Edit", "&8", "Ctrl+Shift+8"},
    {"Action46", "&Edit", "&9", "Ctrl+Shift+9"},
    {"Action47", "&Edit", "&0", "Ctrl+0"},
    {"Action48", "&Edit", "&1", "Ctrl+1"},
    {"Action49", "&Edit", "&2", "Ctrl+2"},
    {"Action50", "&Edit", "&3", "Ctrl+3"},
    {"Action51", "&Edit", "&4", "Ctrl+4"},
    {"Action52", "&Edit", "&5", "Ctrl+5"},
    {"Action53", "&Edit", "&6", "Ctrl+6"},
    {"Action54", "&Edit", "&7", "Ctrl+7"},
    {"Action55", "&Edit", "&8", "Ctrl+8"},
    {"Action56", "&Edit", "&9", "Ctrl+9"},
    {"ActionEditNextWindow", "&Edit", "N&ext Window", "Ctrl+N"},
    // Ctrl+P stays with Print; Previous Window takes Ctrl+Shift+N beside Next Window's Ctrl+N.
    {"ActionEditPrevWindow", "&Edit", "Pre&vious Window", "Ctrl+Shift+N"},
    {"recallopenfilesaction", "&Options", "&Recall Open Files", ""},
    {"ActionOrderOpenFiles", "&Options", "&Order Open Files", ""},
    {"EditorProperties", "&Options", "&Editor Properties...", ""},
    {"toolbarsaction", "&Options", "&Customize...", ""},
    {"fileformatsaction", "&Options", "&File Formats", ""},
    {"Action68", "&Options", "&Global Defines...", ""},
    {"Action69", "&Options", "De&bugger/Programer...", ""},
    {"Action70", "&Options", "I&nclude Dirs...", ""},
    {"ActionColorBackground", "E&ditor Colors", "Background", ""},
    {"ActionColorSelection", "E&ditor Colors", "Selection", ""},
    {"ActionColorComments", "E&ditor Colors", "Comments", ""},
    {"ActionColorKeywords", "E&ditor Colors", "Keywords", ""},
    {"ActionColorPreProcessor", "E&ditor Colors", "PreProcessor", ""},
    {"ActionColorText", "E&ditor Colors", "Text", ""},
    {"ActionColorBraceHighlight", "E&ditor Colors", "Brace Highlight", ""},
    {"ActionCompile", "&Compile", "&Compile", "F9"},
    {"ActionToolbarsGeneral", "&View", "&General", ""},
    {"ActionToolbarsProject", "&View", "&Project", ""},
    {"ActionToolbarsEdit", "&View", "&Edit", ""},
    {"ActionToolbarsCompilerSelect", "&View", "C&ompiler Select", ""},
    {"ActionToolbarsCompile", "&View", "&Compile", ""},
    {"ActionToolbarsView", "&View", "&View", ""},
    {"ActionToolbarsTools", "&View", "&Tools", ""},
    {"ActionToolbarsDebug", "&View", "&Debug", ""},
    {"ActionToolbarsHelp", "&View", "&Help", ""},
    {"ActionViewList", "&View", "C/ASM &List", ""},
    {"ActionViewMap", "&View", "&Symbol Map", ""},
    {"ActionViewCallTree", "&View", "Call &Tree", ""},
    {"ActionViewStatistics", "&View", "St&atistics", ""},
    {"erroraction", "&View", "&Output Messages", ""},
    {"ActionViewDataSheet", "&View", "&Data Sheet", ""},
    {"ActionViewFuses", "&View", "Valid &Fuses", ""},
    {"ActionViewInterrupts", "&View", "Valid &Interrupts", ""},
    {"ActionViewBinaryFile", "&View", "&Binary File", ""},
    {"ActionViewCOD", "&View", "&COD Debug File", ""},
    {"ActionViewCOFF", "&View", "COFF D&ebug File", ""},
    {"ActionToolsDeviceEditor", "&Tools", "&Device Editor", ""},
    {"ActionToolsDeviceSelector", "&Tools", "D&evice Selector", ""},
    {"ActionToolsFileCompare", "&Tools", "&File Compare", ""},
    {"ActionToolsNumericConverter", "&Tools", "&Numeric Converter", ""},
    {"ActionToolsSerialPortMonitor", "&Tools", "&Serial Port Monitor", ""},
    {"ActionToolsDisassembler", "&Tools", "D&isassembler", ""},
    {"ActionToolsExtractCalData", "&Tools", "E&xtract Cal Data", ""},
    {"ActionToolsProgramChip", "&Tools", "&Program Chip", ""},
    {"ActionToolsProgramChip2", "&Tools", "Pro&gram Chip2", ""},
    {"tool1action", "&Tools", "&Tool1", ""},
    {"tool2action", "&Tools", "T&ool2", ""},
    {"tool3action", "&Tools", "Too&l3", ""},
    {"Action100", "&Tools", "&Check for S/W updates", ""},
    {"Action101", "&Tools", "&Download S/W updates", ""},
    {"Action102", "&Tools", "&Maintenance prices", ""},
    {"Action103", "&Tools", "C&ompiler news", ""},
    {"Action104", "&Tools", "e-mail tech support", ""},
    {"Action105", "&Tools", "&PIC web resources", ""},
    {"Action106", "&Tools", "D&ata sheets for device drivers", ""},
    {"ActionDbgEnable", "&Debug", "&Enable Debugger", ""},
    {"ActionDbgDisable", "&Debug", "&Disable", ""},
    {"ActionDbgReset", "&Debug", "&Reset", "Ctrl+Shift+F5"},
    {"ActionDbgRun", "&Debug", "R&un", "F5"},
    {"ActionDbgHalt", "&Debug", "&Halt Program", "Shift+F5"},
    {"ActionDbgStep", "&Debug", "&Single Step", "F7"},
    {"ActionDbgStepOver", "&Debug", "S&tep Over", "F8"},
    {"ActionDbgRunTo", "&Debug", "Ru&n to cursor", "F4"},
    {"ActionDbgSnapshot", "&Debug", "Sn&apshot", ""},
    {"ActionDbgHelp", "&Debug", "De&buger Help", ""},
    {"ActionDebugShowAll", "&Debug", "Show &All", ""},
    {"ActionDebugHideAll", "&Debug", "&Hide All", ""},
    {"ActionDebugResetWindows", "&Debug", "R&eset Debug Windows", ""},
    {"ActionDebugBreaks", "&Debug", "&Breaks", ""},
    {"ActionDebugStack", "&Debug", "&Stack", ""},
    {"ActionDebugWatches", "&Debug", "&Watches", ""},
    {"ActionDebugRAM", "&Debug", "&RAM", ""},
    {"ActionDebugROM", "&Debug", "R&OM", ""},
    {"ActionDebugDataEE", "&Debug", "&Data EE", ""},
    {"ActionDebugPeripherals", "&Debug", "&Peripherals", ""},
    {"ActionDebugTasks", "&Debug", "&Tasks", ""},
    {"ActionDebugEval", "&Debug", "E&val", ""},
    {"ActionDebugMonitor", "&Debug", "&Monitor", ""},
    {"ActionDebugLog", "&Debug", "&Log", ""},
    {"ActionDebugConfigure", "&Debug", "&Configure", ""},
    {"ActionHelpAbout", "&Help", "&About", ""},
    {"Action108", "&Help", "&Contents", ""},
    {"Action109", "&Help", "&Index", "F12"},
    {"Action110", "&Help", "&Keyword at cursor", "F1"},
    {"Action118", "&Help", "&Last Error", ""},
    {"Action111", "&Help", "&Editor", "Shift+F12"},
    {"Action112", "&Help", "B&uilt in functions", ""},
    {"Action113", "&Help", "&Preprocessor cmds", ""},
    {"Action114", "&Help", "&Data types", ""},
    {"Action115", "&Help", "&Operators", ""},
    {"Action116", "&Help", "&Statements", ""},
    {"Action117", "&Help", "&Technical Support", ""},
};

QString ShortcutText(const QAction *action)
{
    QStringList keys;
    for (const QKeySequence &key : action->shortcuts())
        keys << key.toString(QKeySequence::PortableText);
    return keys.join(QStringLiteral(", "));
}

QStringList Captions(const QMenu *menu)
{
    QStringList captions;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            captions << action->text();
    }
    return captions;
}

class TUrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void Open(const QUrl &url) { urls << url; }
};

class CommandsMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/utils"));
        QDir().mkpath(m_tmp.filePath("home"));
        QDir().mkpath(m_tmp.filePath("w"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        QApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        for (int i = 0; i < 8; ++i)
            m_prompt.Queue(mrNo);
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    Tfkivmain &Main()
    {
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_main->FormShow();
        m_main->resize(1000, 700);
        return *m_main;
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    QString File(const QString &name, const QByteArray &data = "int x;\n") const
    {
        EXPECT_TRUE(WriteFile(W(name), data));
        return W(name);
    }
    QAction *Command(const char *name) const { return m_main->Command(QString::fromLatin1(name)); }
    bool Enabled(const char *name) const
    {
        m_main->IdleUpdate();
        QAction *action = Command(name);
        EXPECT_NE(action, nullptr) << name;
        return action && action->isEnabled();
    }
    TOvcTextFileEditorSyntax *Editor() const
    {
        return m_main->Notebook()->Editor(m_main->Notebook()->CurrentPage());
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(CommandsMainTest, EveryCommandHasItsCaptionShortcutAndCategory)
{
    Tfkivmain &main = Main();
    QSet<QString> names;
    for (const TExpectedCommand &e : kExpected) {
        SCOPED_TRACE(e.name);
        QAction *action = main.Command(e.name);
        ASSERT_NE(action, nullptr);
        // The programmer and debugger commands take the names of their tool slots (defaults here).
        static const QHash<QString, QString> slotNames = {
            {"ActionToolsProgramChip", "ICD"}, {"ActionToolsProgramChip2", "WARP-13"},
            {"tool1action", "MPLAB"}, {"tool2action", ""}, {"tool3action", ""}};
        EXPECT_EQ(action->text(), slotNames.value(e.name, QString::fromLatin1(e.caption)));
        EXPECT_EQ(ShortcutText(action), QString::fromLatin1(e.shortcuts));
        EXPECT_EQ(action->property("category").toString(), QString::fromLatin1(e.category));
        names.insert(e.name);
    }
    // The table holds these commands and no others, each name once.
    QMap<QString, int> seen;
    for (QAction *action : main.findChildren<QAction *>()) {
        if (action->property("category").isValid())
            ++seen[action->objectName()];
    }
    EXPECT_EQ(seen.size(), names.size());
    for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
        EXPECT_TRUE(names.contains(it.key())) << it.key().toStdString();
    }
}

TEST_F(CommandsMainTest, NoTwoCommandsShareAShortcut)
{
    Tfkivmain &main = Main();
    QMap<QString, QStringList> owners;
    for (QAction *action : main.findChildren<QAction *>()) {
        if (!action->property("category").isValid())
            continue;
        for (const QKeySequence &key : action->shortcuts())
            owners[key.toString(QKeySequence::PortableText)] << action->objectName();
    }
    QStringList collisions;
    for (auto it = owners.cbegin(); it != owners.cend(); ++it) {
        if (it.value().size() > 1)
            collisions << it.key() + ": " + it.value().join(", ");
    }
    EXPECT_TRUE(collisions.isEmpty()) << collisions.join("; ").toStdString();
}

TEST_F(CommandsMainTest, MenusComeInOrderWithTheirSubMenus)
{
    Tfkivmain &main = Main();
    QStringList bar;
    for (QAction *action : main.menuBar()->actions())
        bar << action->text();
    EXPECT_EQ(bar, QStringList({"&File", "&Project", "&Edit", "&Options", "&Compile", "&View",
                                "&Tools", "&Debug", "&Help"}));

    const auto menu = [&](const char *name) {
        auto *m = main.menuBar()->findChild<QMenu *>(name);
        EXPECT_NE(m, nullptr) << name;
        return m ? Captions(m) : QStringList();
    };
    EXPECT_EQ(menu("File1"), QStringList({"&New", "&Open", "&Reopen", "&Save", "Save &As",
                                          "Sa&ve All", "&Close", "C&lose All", "&Print",
                                          "Pr&inter Setup", "e&Xit"}));
    EXPECT_EQ(menu("Project1"), QStringList({"&New", "&Open", "&Reopen", "O&pen All Files",
                                             "Prin&t All files", "&Find text in project",
                                             "&Include Dirs...", "&Close Project"}));
    EXPECT_EQ(menu("MenuNew"), QStringList({"&PIC Wizard", "&SX Wizard", "&Manual Create"}));
    EXPECT_EQ(menu("MenuToggleBookmark").size(), 10);
    EXPECT_EQ(menu("MenuGotoBookmark").size(), 10);
    EXPECT_EQ(menu("MenuToolbars"), QStringList({"&General", "&Project", "&Edit", "C&ompiler Select",
                                                 "&Compile", "&View", "&Tools", "&Debug", "&Help"}));
    EXPECT_EQ(menu("MenuInternet").size(), 6);
    EXPECT_EQ(menu("MenuDebugWindows").size(), 15);
    EXPECT_EQ(menu("MenuEditorColors"), QStringList({"Background", "Selection", "Comments", "Keywords",
                                                     "PreProcessor", "Text", "Brace Highlight"}));
    EXPECT_TRUE(menu("Options1").contains("E&ditor Colors"));
    EXPECT_TRUE(menu("Debug1").contains("Debug &Windows"));
    // The support command is reached from the Help menu only.
    EXPECT_FALSE(menu("Tools1").contains("e-mail tech support"));
}

TEST_F(CommandsMainTest, CommandsOfMissingPartsStayDisabled)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenfile(File("main.c"), 'R'), 0);
    main.IdleUpdate();
    for (const char *name : {"ActionDbgRun", "ActionDebugBreaks",
                             "ActionDbgEnable"})
        EXPECT_FALSE(Enabled(name)) << name;
    for (const char *name : {"ActionFileNew", "ActionFileOpen", "ActionFileSave", "Action20", "wizardaction", "sxwizardaction",
                             "ActionEditSelectAll", "ActionEditGotoLine", "EditorProperties",
                             "fileformatsaction", "Action70", "ActionCompile", "ActionViewBinaryFile",
                             "ActionToolsDeviceEditor", "ActionToolsDisassembler", "ActionToolsFileCompare",
                             "Action100", "Action108", "ActionDbgHelp",
                             "ActionHelpAbout", "Action117", "ActionProjectFindText",
                             "ActionEditFind", "ActionEditReplace", "ActionEditFindNext",
                             "ActionFilePrint", "ActionFilePrinterSetup", "ActionProjectPrintAll", "Action68",
                             "ActionViewFuses", "ActionViewInterrupts", "ActionViewCOD",
                             "Action69", "ActionViewDataSheet", "ActionToolsExtractCalData",
                             "ActionToolsProgramChip", "ActionToolsProgramChip2", "tool1action",
                             "toolbarsaction"})
        EXPECT_TRUE(Enabled(name)) << name;
    // A debugger slot without a name has no command to offer.
    EXPECT_FALSE(main.Command("tool3action")->isVisible());
}

TEST_F(CommandsMainTest, CoffViewIsListedOnlyWithTheCoffTool)
{
    Main();
    EXPECT_FALSE(Command("ActionViewCOFF")->isVisible());
    m_main.reset();
    File("../inst/vyncoff", "#!/bin/sh\n");
    Main();
    EXPECT_TRUE(Command("ActionViewCOFF")->isVisible());
}

TEST_F(CommandsMainTest, NoPagesDisablesThePageCommands)
{
    Main();
    QApplication::clipboard()->setText("pasted");
    for (const char *name : {"ActionEditFindNext", "ActionEditSelectAll", "ActionEditMatchBrace",
                             "ActionEditMatchBraceExt", "ActionEditNextWindow", "ActionEditPrevWindow",
                             "ActionEditCopy", "ActionEditCut", "ActionEditPaste", "ActionEditUndo",
                             "ActionEditGotoLine", "ActionFileSave", "ActionFileClose"})
        EXPECT_FALSE(Enabled(name)) << name;
    EXPECT_FALSE(m_main->menuBar()->findChild<QMenu *>("MenuToggleBookmark")->isEnabled());
    EXPECT_FALSE(m_main->menuBar()->findChild<QMenu *>("MenuGotoBookmark")->isEnabled());
    ASSERT_GE(m_main->doopenfile(File("main.c"), 'R'), 0);
    m_main->IdleUpdate();
    EXPECT_TRUE(m_main->menuBar()->findChild<QMenu *>("MenuGotoBookmark")->isEnabled());
}

TEST_F(CommandsMainTest, ReadOnlyOutputViewCopiesButDoesNotChange)
{
    Tfkivmain &main = Main();
    QApplication::clipboard()->setText("pasted");
    ASSERT_GE(main.OpenByExtension(File("main.lst", "0000 3000 movlw 0\n0001 0080 movwf 0\n"), false), 0);
    Editor()->selectAll();
    EXPECT_TRUE(Enabled("ActionEditCopy"));
    EXPECT_TRUE(Enabled("ActionEditSelectAll"));
    for (const char *name : {"ActionEditPaste", "ActionEditUndo", "ActionEditReplace",
                             "ActionEditIndentSelection", "ActionEditCut"})
        EXPECT_FALSE(Enabled(name)) << name;

    // The same on an editable page enables them; Undo once there is a change to undo.
    ASSERT_GE(main.doopenfile(File("main.c", "int a;\nint b;\n"), 'R'), 0);
    EXPECT_FALSE(Enabled("ActionEditUndo"));
    Editor()->insert("x");
    Editor()->selectAll();
    for (const char *name : {"ActionEditPaste", "ActionEditUndo", "ActionEditIndentSelection",
                             "ActionEditCut", "ActionEditCopy"})
        EXPECT_TRUE(Enabled(name)) << name;
    QApplication::clipboard()->clear();
    EXPECT_FALSE(Enabled("ActionEditPaste"));
}

TEST_F(CommandsMainTest, HexViewDisablesGotoLine)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenreadonly(File("data.bin", QByteArray(64, '\x01')), "data.bin", 'H'), 0);
    EXPECT_FALSE(Enabled("ActionEditGotoLine"));
    EXPECT_TRUE(Enabled("ActionEditSelectAll"));
    main.Notebook()->Viewer(0)->SelectBytes(0, 16);
    EXPECT_TRUE(Enabled("ActionEditCopy"));
    EXPECT_FALSE(Enabled("ActionEditPaste"));
}

TEST_F(CommandsMainTest, CompiledProjectEnablesTheDebuggerUntilAllPagesClose)
{
    Tfkivmain &main = Main();
    int sessions = 0;
    main.StartDebugSession = [&] { ++sessions; };
    const QString source = File("main.c");
    ASSERT_GE(main.doopenfile(source, 'R'), 0);
    EXPECT_FALSE(Enabled("ActionDbgEnable"));
    EXPECT_FALSE(Enabled("ActionViewList"));

    // What a compile leaves behind, then the update that follows a compile.
    File("main.lst", "list\n");
    File("main.sym", "symbols\n");
    main.UpdateCommandGroups(1);
    EXPECT_TRUE(Enabled("ActionDbgEnable"));
    EXPECT_TRUE(Enabled("ActionViewList"));
    EXPECT_TRUE(Enabled("ActionViewMap"));
    EXPECT_FALSE(Enabled("ActionViewCallTree"));
    EXPECT_FALSE(Enabled("ActionViewStatistics"));
    EXPECT_TRUE(Enabled("ActionProjectIncludeDirs"));

    main.CloseAll();
    EXPECT_FALSE(Enabled("ActionDbgEnable"));
    EXPECT_FALSE(Enabled("ActionDbgDisable"));
    EXPECT_FALSE(Enabled("ActionViewList"));
    EXPECT_FALSE(Enabled("ActionFileCloseAll"));
    EXPECT_EQ(sessions, 0);
}

TEST_F(CommandsMainTest, EnableDebuggerFollowsTheListFile)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenfile(File("main.c"), 'R'), 0);
    main.UpdateCommandGroups(1);
    EXPECT_FALSE(Enabled("ActionDbgEnable"));
    File("main.lst", "list\n");
    main.UpdateCommandGroups(1);
    EXPECT_TRUE(Enabled("ActionViewList"));
    EXPECT_TRUE(Enabled("ActionDbgEnable"));
    EXPECT_FALSE(Enabled("ActionDbgDisable"));
    EXPECT_FALSE(Enabled("ActionDbgRun"));
}

TEST_F(CommandsMainTest, GroupsFollowTheCurrentPage)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenfile(File("main.c"), 'R'), 0);
    EXPECT_TRUE(Enabled("ActionFileSave"));
    EXPECT_TRUE(Enabled("ActionEditCopyFromFile"));
    ASSERT_GE(main.doopenreadonly(File("data.bin", "\x01\x02"), "data.bin", 'H'), 0);
    EXPECT_FALSE(Enabled("ActionFileSave"));
    EXPECT_FALSE(Enabled("ActionEditCopyFromFile"));
    EXPECT_TRUE(Enabled("ActionFileSaveAll"));   // another page is an editor
    EXPECT_TRUE(Enabled("ActionFileClose"));
    main.Notebook()->SetCurrentPage(0);
    EXPECT_TRUE(Enabled("ActionFileSave"));
}

TEST_F(CommandsMainTest, ViewCommandsWarnWithoutOutputFiles)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenfile(File("main.c"), 'R'), 0);
    Command("ActionViewList")->setEnabled(true);
    Command("ActionViewList")->trigger();
    ASSERT_EQ(m_prompt.Messages(), QStringList({"Project must be compiled"}));
    EXPECT_EQ(main.Notebook()->PageCount(), 1);

    File("main.sta", "statistics\n");
    File("main.sym", "symbols\n");
    File("main.tre", "main\n");
    main.UpdateCommandGroups(1);
    Command("ActionViewStatistics")->trigger();
    EXPECT_EQ(main.Notebook()->tabText(main.Notebook()->CurrentPage()), "main.sta (Stats)");
    Command("ActionViewMap")->trigger();
    EXPECT_EQ(main.Notebook()->tabText(main.Notebook()->CurrentPage()), "Symbols");
    Command("ActionViewCallTree")->trigger();
    EXPECT_EQ(main.Notebook()->tabText(main.Notebook()->CurrentPage()), "main.tre (Tree)");
    EXPECT_EQ(main.Notebook()->PageCount(), 4);
}

TEST_F(CommandsMainTest, StatusPanelClickGoesToALine)
{
    Tfkivmain &main = Main();
    QByteArray text;
    for (int i = 1; i <= 30; ++i)
        text += "line " + QByteArray::number(i) + "\n";
    ASSERT_GE(main.doopenfile(File("main.c", text), 'R'), 0);
    m_prompt.Queue(12);
    QTest::mouseClick(main.StatusPanel(0), Qt::LeftButton);
    EXPECT_EQ(Editor()->CaretPos(), (TextPos{12, 1}));
    EXPECT_EQ(main.StatusPanel(0)->text(), "12:1");
    ASSERT_EQ(m_prompt.Asked().size(), 1);
    EXPECT_EQ(m_prompt.Asked().at(0).caption, "Goto Line");
    EXPECT_EQ(m_prompt.Asked().at(0).text, "New line number:");

    // Past the end goes to the last line; a cancelled question changes nothing.
    m_prompt.Queue(500);
    QTest::mouseClick(main.StatusPanel(0), Qt::LeftButton);
    EXPECT_EQ(Editor()->CaretPos().line, Editor()->LineCount());
    QTest::mouseClick(main.StatusPanel(0), Qt::LeftButton);
    EXPECT_EQ(Editor()->CaretPos().line, Editor()->LineCount());

    // Without pages nothing is asked.
    main.CloseAll();
    const size_t asked = m_prompt.Asked().size();
    QTest::mouseClick(main.StatusPanel(0), Qt::LeftButton);
    EXPECT_EQ(m_prompt.Asked().size(), asked);
}

TEST_F(CommandsMainTest, GotoLineDialogAndBookmarks)
{
    Tfkivmain &main = Main();
    QByteArray text;
    for (int i = 1; i <= 30; ++i)
        text += "line " + QByteArray::number(i) + "\n";
    ASSERT_GE(main.doopenfile(File("main.c", text), 'R'), 0);
    m_prompt.Queue(10);
    Command("ActionEditGotoLine")->trigger();
    EXPECT_EQ(Editor()->CaretPos(), (TextPos{10, 1}));
    EXPECT_EQ(m_prompt.Asked().back().text, "Goto Line:");

    // Toggling bookmark 3 on line 10 and again on line 20 removes it.
    Command("Action40")->trigger();
    EXPECT_EQ(Editor()->BookmarkLine(3), 10);
    Editor()->SetCaretPos(TextPos{20, 1});
    Command("Action40")->trigger();
    EXPECT_LE(Editor()->BookmarkLine(3), 0);
    Command("Action40")->trigger();
    EXPECT_EQ(Editor()->BookmarkLine(3), 20);
    Editor()->SetCaretPos(TextPos{1, 1});
    Command("Action50")->trigger();
    EXPECT_EQ(Editor()->CaretPos().line, 20);
}

TEST_F(CommandsMainTest, WindowCommandsWrapAndFocusTheView)
{
    Tfkivmain &main = Main();
    main.show();
    ASSERT_GE(main.doopenfile(File("a.c"), 'R'), 0);
    ASSERT_GE(main.doopenfile(File("b.c"), 'R'), 0);
    ASSERT_GE(main.doopenfile(File("c.c"), 'R'), 0);
    ASSERT_EQ(main.Notebook()->CurrentPage(), 2);
    Command("ActionEditNextWindow")->trigger();
    EXPECT_EQ(main.Notebook()->CurrentPage(), 0);
    Command("ActionEditPrevWindow")->trigger();
    EXPECT_EQ(main.Notebook()->CurrentPage(), 2);

    // The keys reach the commands while an editor has the focus.
    QApplication::setActiveWindow(&main);
    Editor()->setFocus();
    QTest::keyClick(Editor(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(main.Notebook()->CurrentPage(), 0);
    QTest::keyClick(Editor(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(main.Notebook()->CurrentPage(), 2);

    // A focused tab hands the focus to its page's view at the next idle update.
    main.Notebook()->tabBar()->setFocus();
    ASSERT_TRUE(main.Notebook()->tabBar()->hasFocus());
    main.IdleUpdate();
    EXPECT_TRUE(Editor()->hasFocus());
}

TEST_F(CommandsMainTest, CopyFromFileAndPasteToFile)
{
    Tfkivmain &main = Main();
    ASSERT_GE(main.doopenfile(File("main.c", "first\r\nlast\r\n"), 'R'), 0);
    const QString insert = File("insert.txt", "one\ntwo\n");
    Editor()->SetCaretPos(TextPos{2, 1});
    m_prompt.Queue(insert);
    Command("ActionEditCopyFromFile")->trigger();
    EXPECT_EQ(Editor()->DocumentBytes(), QByteArray("first\r\none\r\ntwo\r\nlast\r\n"));
    EXPECT_EQ(Editor()->CaretPos(), (TextPos{4, 1}));

    // The selection goes to a file; a name without an extension gets ".c".
    Editor()->SetSelection(TextPos{2, 1}, TextPos{3, 4});
    m_prompt.Queue(W("part"));
    Command("ActionEditPasteToFile")->trigger();
    EXPECT_EQ(ReadFile(W("part.c")), QByteArray("one\r\ntwo"));

    // Ctrl+K R and Ctrl+K W in the editor run the same commands.
    const QString more = File("more.txt", "three\n");
    Editor()->SetCaretPos(TextPos{1, 1});
    m_prompt.Queue(more);
    QTest::keyClick(Editor(), Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(Editor(), Qt::Key_R);
    EXPECT_EQ(Editor()->Line(1), "three");
    Editor()->SetSelection(TextPos{1, 1}, TextPos{1, 6});
    m_prompt.Queue(W("word.h"));
    QTest::keyClick(Editor(), Qt::Key_K, Qt::ControlModifier);
    QTest::keyClick(Editor(), Qt::Key_W);
    EXPECT_EQ(ReadFile(W("word.h")), QByteArray("three"));

    // A binary file, a folder and a trailing dot.
    const QByteArray before = Editor()->DocumentBytes();
    const TextPos caret = Editor()->CaretPos();
    for (const QString &bad : {File("prog.elf", QByteArray("\x7f" "ELF\x02\x01\nabc\ndef\0\0ghi\n", 19)), W("")}) {
        m_prompt.Queue(bad);
        Command("ActionEditCopyFromFile")->trigger();
        EXPECT_EQ(Editor()->DocumentBytes(), before) << bad.toStdString();
        EXPECT_EQ(Editor()->CaretPos(), caret);
    }
    EXPECT_EQ(m_prompt.Messages().size(), 2);
    m_prompt.ClearAsked();
    Editor()->SetSelection(TextPos{1, 1}, TextPos{1, 6});
    m_prompt.Queue(W("out."));
    Command("ActionEditPasteToFile")->trigger();
    EXPECT_EQ(ReadFile(W("out.c")), QByteArray("three"));

    // A file that cannot be read inserts nothing.
    m_prompt.Queue(W("missing.txt"));
    Command("ActionEditCopyFromFile")->trigger();
    EXPECT_EQ(Editor()->LineCount(), 6);
    EXPECT_EQ(m_prompt.Messages().size(), 1);
}

TEST_F(CommandsMainTest, OutsideProgramsAndWebPages)
{
    Main();
    Command("ActionToolsNumericConverter")->trigger();
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_TRUE(m_prompt.Messages().at(0).contains(UtilsDir() + "dunet"));

    // A program that is there starts without the IDE waiting for it.
    const QString marker = m_tmp.filePath("w/started");
    File("../inst/utils/chipedit", "#!/bin/sh\necho \"$@\" > '" + marker.toLocal8Bit() + "'\n");
    QFile::setPermissions(UtilsDir() + "chipedit", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Command("ActionToolsDeviceSelector")->trigger();
    for (int i = 0; i < 200 && !QFileInfo::exists(marker); ++i)
        QTest::qWait(10);
    EXPECT_EQ(ReadFile(marker), QByteArray("+S\n"));
    EXPECT_EQ(m_prompt.Messages().size(), 1);

    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    for (const char *name : {"Action100", "Action101", "Action102", "Action103", "Action105", "Action106"})
        Command(name)->trigger();
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.urls.size(), 6);
}

TEST_F(CommandsMainTest, ToolbarsStartFromTheDefaultsAndFollowTheToggles)
{
    Tfkivmain &main = Main();
    main.show();
    TToolbars *bars = main.Toolbars();
    ASSERT_NE(bars, nullptr);
    for (const char *name : {"General", "Project", "Edit", "Compiler-Select", "Compile", "View",
                             "Debug", "Help"})
        EXPECT_TRUE(bars->IsToolbarVisible(name)) << name;
    EXPECT_FALSE(bars->IsToolbarVisible("Tools"));
    ASSERT_NE(bars->Button("General Save"), nullptr);
    EXPECT_TRUE(bars->Button("General Save")->isVisible());
    ASSERT_NE(bars->Button("General Save As"), nullptr);
    EXPECT_FALSE(bars->Button("General Save As")->isVisible());
    
    main.IdleUpdate();
    EXPECT_TRUE(Command("ActionToolbarsEdit")->isChecked());
    Command("ActionToolbarsEdit")->trigger();
    EXPECT_FALSE(bars->IsToolbarVisible("Edit"));
    main.IdleUpdate();
    EXPECT_FALSE(Command("ActionToolbarsEdit")->isChecked());

    // The context menu of the tool bar area lists the nine toggles and Customize.
    std::unique_ptr<QMenu> popup(main.createPopupMenu());
    EXPECT_EQ(popup->objectName(), "PopupMenuToolbar");
    const QStringList captions = Captions(popup.get());
    ASSERT_EQ(captions.size(), 10);
    EXPECT_EQ(captions.constLast(), "Customize...");
    popup.reset();

    // The Tools bar has no button shown by default: asking for it shows them.
    ASSERT_NE(bars->Button("Tools Numeric Converter"), nullptr);
    EXPECT_FALSE(bars->Button("Tools Numeric Converter")->isVisible());
    Command("ActionToolbarsTools")->trigger();
    EXPECT_TRUE(bars->IsToolbarVisible("Tools"));
    EXPECT_TRUE(bars->Button("Tools Numeric Converter")->isVisible());
    Command("ActionToolbarsTools")->trigger();
    EXPECT_FALSE(bars->IsToolbarVisible("Tools"));

    // Visibility is kept in the settings file.
    main.close();
    m_main.reset();
    Tfkivmain &again = Main();
    again.show();
    EXPECT_FALSE(again.Toolbars()->IsToolbarVisible("Edit"));
    EXPECT_TRUE(again.Toolbars()->IsToolbarVisible("General"));
}

TEST_F(CommandsMainTest, OutputMessagesTogglesTheOutputWindow)
{
    Tfkivmain &main = Main();
    main.show();
    QWidget *output = main.OutputWindow();
    ASSERT_NE(output, nullptr);
    const bool shown = output->isVisible();
    Command("erroraction")->trigger();
    EXPECT_NE(output->isVisible(), shown);
    main.IdleUpdate();
    EXPECT_EQ(Command("erroraction")->isChecked(), output->isVisible());
    Command("erroraction")->trigger();
    EXPECT_EQ(output->isVisible(), shown);
}

#include "commands_main_test.moc"
