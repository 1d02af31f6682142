// The main window's finding and replacing, find in files, replace in project, the editor's
// context menu and the user tools.

#include "EditorSyntax.h"
#include "generated_tree.h"
#include "hexviewer.h"
#include "kivfif.h"
#include "kivmain.h"
#include "kivmain_find.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "kivreplace.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uFindResultsList.h"
#include "uOutputForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

class FindMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("home"));
        QDir().mkpath(m_tmp.filePath("w"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_main->FormShow();
        m_main->resize(1000, 700);
    }
    void TearDown() override
    {
        for (int i = 0; i < 8; ++i)
            m_prompt.Queue(mrNo);
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    QString File(const QString &name, const QByteArray &data) const
    {
        EXPECT_TRUE(WriteFile(W(name), data));
        return W(name);
    }
    TOvcTextFileEditorSyntax *Editor() const
    {
        return m_main->Notebook()->Editor(m_main->Notebook()->CurrentPage());
    }
    QString Selected() const { return Editor()->SelectedText(); }
    TextPos Caret() const { return Editor()->CaretPos(); }
    TFindResultsList *Results() const { return m_main->OutputForm()->FindResultsList(); }
    QStringList ResultTexts() const
    {
        QStringList texts;
        for (int i = 0; i < Results()->count(); ++i)
            texts << Results()->item(i)->text();
        return texts;
    }
    // A project with main.c as its main file and a symbol file listing `files`.
    void Project(const QStringList &files)
    {
        const QString main = W("main.c");
        if (!QFileInfo::exists(main))
            File("main.c", "void main() {}\n");
        ASSERT_GE(m_main->doopenfile(main, 'R'), 0);
        m_main->SetProject(main);
        QByteArray sym = "Memory usage\r\n\r\nProject Files:\r\n";
        for (const QString &file : files)
            sym += "    " + file.toUtf8() + "\r\n";
        sym += "\r\nUnits:\r\n";
        File("main.sym", sym);
    }
    Tfkivfif *Dialog() const { return m_main->FindParts()->Dialog; }
    TReplaceDialog *Replace() const { return m_main->FindParts()->Replace; }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(FindMainTest, FindInPageAndNext)
{
    ASSERT_GE(m_main->doopenfile(File("a.c", "int foo;\nFOO = 1;\nbar(foo);\n"), 'R'), 0);
    Editor()->SetCaretPos(TextPos{2, 1});
    // Forward from the caret, ignoring case.
    ASSERT_TRUE(m_main->FindInPage("foo", false, 1));
    EXPECT_EQ(Caret(), (TextPos{2, 4}));
    EXPECT_EQ(Selected(), QStringLiteral("FOO"));
    ASSERT_TRUE(m_main->FindNext());
    EXPECT_EQ(Caret(), (TextPos{3, 8}));
    EXPECT_FALSE(m_main->FindNext());
    // From the start, matching case; "Next" then goes on from the match.
    ASSERT_TRUE(m_main->FindInPage("foo", true, 0));
    EXPECT_EQ(Caret(), (TextPos{1, 8}));
    ASSERT_TRUE(m_main->FindNext());
    EXPECT_EQ(Caret(), (TextPos{3, 8}));
    // Backward from the selection.
    ASSERT_TRUE(m_main->FindInPage("foo", true, -1));
    EXPECT_EQ(Editor()->SelectionStart(), (TextPos{1, 5}));
    EXPECT_FALSE(m_main->FindNext());
    // A text that is not there.
    EXPECT_FALSE(m_main->FindInPage("missing", false, 0));
}

TEST_F(FindMainTest, FindDialogFindsOrWarns)
{
    ASSERT_GE(m_main->doopenfile(File("a.c", "int foo;\n"), 'R'), 0);
    Dialog()->findChild<QComboBox *>("key")->setEditText("FOO");
    Dialog()->findChild<QPushButton *>("FindBtn")->click();
    EXPECT_EQ(Selected(), QStringLiteral("foo"));
    EXPECT_TRUE(m_prompt.Messages().isEmpty());
    EXPECT_EQ(m_main->Environment().FindHistory.value(0), QStringLiteral("FOO"));

    Dialog()->findChild<QComboBox *>("key")->setEditText("nothing");
    Dialog()->findChild<QPushButton *>("FindBtn")->click();
    EXPECT_EQ(m_prompt.Messages(), QStringList({"String not found."}));
    EXPECT_EQ(m_prompt.Asked().back().kind, mtWarning);
}

TEST_F(FindMainTest, FindAllInPageFollowsTheDirection)
{
    ASSERT_GE(m_main->doopenfile(File("b.c", "foo 1\nx\n  foo 3\nfoo 4\n"), 'R'), 0);
    Editor()->SetCaretPos(TextPos{3, 1});
    m_main->FindAllInPage("FOO", false, 1);
    EXPECT_EQ(ResultTexts(), QStringList({"... \"b.c\" Line 3(3,6):   foo 3",
                                          "... \"b.c\" Line 4(1,4): foo 4"}));
    EXPECT_EQ(Results()->Path(0), W("b.c"));
    EXPECT_TRUE(m_main->OutputForm()->isVisible());
    EXPECT_EQ(m_main->OutputForm()->Tab(), int(TOutputForm::otFind));
    m_main->FindAllInPage("foo", true, 0);
    EXPECT_EQ(Results()->count(), 3);
    // Backward from line 1 lists only line 1.
    Editor()->SetCaretPos(TextPos{1, 1});
    m_main->FindAllInPage("foo", true, -1);
    EXPECT_EQ(ResultTexts(), QStringList({"... \"b.c\" Line 1(1,4): foo 1"}));
    // A result leads to its line.
    Editor()->SetCaretPos(TextPos{4, 1});
    m_main->FindAllInPage("foo", true, 0);
    Results()->setCurrentRow(1);
    ASSERT_TRUE(Results()->GoToSelected());
    EXPECT_EQ(Selected(), QStringLiteral("foo"));
    EXPECT_EQ(Caret(), (TextPos{3, 6}));
    m_prompt.ClearAsked();
    m_main->FindAllInPage("absent", true, 0);
    EXPECT_EQ(m_prompt.Messages(), QStringList({"String not found."}));
}

TEST_F(FindMainTest, FindInProjectFiles)
{
    const QString a = File("src/a.c", "int counter;\r\nCounter++;\r\n");
    const QString b = File("src/b.h", "/* r\xe9glage */ extern int counter;\n");
    const QString img = File("src/img.bin", QByteArray("counter\0", 8));
    Project({a, b, img, W("src/gone.c")});
    Dialog()->FindWordInProject("counter");
    EXPECT_EQ(ResultTexts(), QStringList({
                                 "... \"" + a + "\" Line 1(5,12): int counter;",
                                 "... \"" + a + "\" Line 2(1,8): Counter++;",
                                 "... \"" + b + "\" Line 1(26,33): /* réglage */ extern int counter;",
                                 "3 lines found in 2 files; skipped 1 binary file and 1 unreadable file.",
                             }));
    EXPECT_EQ(m_main->FindParts()->LastSummary.linesFound, 3);
    EXPECT_EQ(Results()->currentRow(), 0);
    EXPECT_EQ(m_main->OutputForm()->Tab(), int(TOutputForm::otFind));
    // The summary line leads nowhere; a result opens its file at the match.
    Results()->setCurrentRow(3);
    EXPECT_FALSE(Results()->GoToSelected());
    Results()->setCurrentRow(2);
    ASSERT_TRUE(Results()->GoToSelected());
    EXPECT_EQ(m_main->Notebook()->CurrentPath(), b);
    EXPECT_EQ(Selected(), QStringLiteral("counter"));
}

TEST_F(FindMainTest, FindInFilesSavesThePagesItReads)
{
    const QString a = File("a.c", "int x;\n");
    Project({a});
    ASSERT_GE(m_main->doopenfile(a, 'R'), 0);
    Editor()->SetDocumentText("int unsaved_name;\n");
    TFindOptions options;
    options.text = "unsaved_name";
    m_main->FindInFiles(options, TFindRequest{});
    EXPECT_EQ(m_main->FindParts()->LastSummary.linesFound, 1);
    EXPECT_FALSE(Editor()->Modified());
    EXPECT_EQ(ReadFile(a), QByteArray("int unsaved_name;\n"));
}

TEST_F(FindMainTest, FindInFilesErrors)
{
    ASSERT_GE(m_main->doopenfile(File("main.c", "x\n"), 'R'), 0);
    TFindOptions options;
    options.text = "x";
    // Project mode without a symbol file searches nothing.
    m_main->FindInFiles(options, TFindRequest{});
    EXPECT_EQ(m_prompt.Messages(), QStringList({"Project must be compiled first."}));
    EXPECT_EQ(Results()->count(), 0);

    m_prompt.ClearAsked();
    TFindRequest request;
    request.searchIn = siGivenDirectory;
    request.directory = W("nowhere/");
    m_main->FindInFiles(options, request);
    EXPECT_EQ(m_prompt.Messages(), QStringList({"Directory not found: " + W("nowhere"), "String not found."}));

    // The include directories: a missing one is reported, the others searched.
    m_prompt.ClearAsked();
    File("inc/sub/dev.h", "#define x 1\n");
    m_main->Environment().IncludeDirs = W("missing") + ";" + W("inc") + "/";
    request.searchIn = siIncludeDirectories;
    m_main->FindInFiles(options, request);
    EXPECT_EQ(m_prompt.Messages(), QStringList({"Directory not found: " + W("missing")}));
    EXPECT_EQ(Results()->count(), 2);   // the match and the summary
}

TEST_F(FindMainTest, FindInFilesKeepsTheWindowAliveAndCanBeCancelled)
{
    kiv::test::TTreeShape shape;
    shape.files = 100;
    shape.filesPerFolder = 50;
    ASSERT_GT(kiv::test::WriteGeneratedTree(W("tree"), shape), 0);
    ASSERT_GE(m_main->doopenfile(File("main.c", "x\n"), 'R'), 0);
    TFindOptions options;
    options.text = "value";
    TFindRequest request;
    request.searchIn = siGivenDirectory;
    request.directory = W("tree");
    request.subdirectories = true;

    // The search runs to its end; timers fire meanwhile, so the window is not frozen.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    m_main->FindInFiles(options, request);
    ticker.stop();
    const TFindSummary whole = m_main->FindParts()->LastSummary;
    EXPECT_EQ(whole.filesSearched, 100);
    EXPECT_GT(whole.linesFound, 1000);
    EXPECT_FALSE(whole.cancelled);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(Results()->count(), whole.linesFound + 1);

    // A long search (the tree's files listed a hundred times over) is cancelled from its
    // progress window as soon as that reports the first file.
    QStringList files;
    for (int n = 0; n < 100; ++n) {
        for (int f = 0; f < 100; ++f)
            files << W(QStringLiteral("tree/dir%1/file%2.c").arg(f / 50, 2, 10, QLatin1Char('0')).arg(f, 4, 10, QLatin1Char('0')));
    }
    Project(files);
    options.text = kiv::test::RareWord();
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [this] {
        auto *progress = m_main->findChild<QProgressDialog *>("FindProgress");
        if (progress && progress->labelText().contains("files")) {
            if (auto *cancel = progress->findChild<QPushButton *>())
                cancel->click();
        }
    });
    watcher.start(1);
    m_main->FindInFiles(options, TFindRequest{});
    watcher.stop();
    const TFindSummary cancelled = m_main->FindParts()->LastSummary;
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_LT(cancelled.filesSearched, 10000);
    EXPECT_TRUE(ResultTexts().last().endsWith("search cancelled.")) << ResultTexts().last().toStdString();
}

TEST_F(FindMainTest, ReplaceAndNextRepeatsTheReplacement)
{
    ASSERT_GE(m_main->doopenfile(File("r.c", "a = old; b = old;\nc = OLD;\n"), 'R'), 0);
    Editor()->SetCaretPos(TextPos{1, 1});
    Replace()->SetFindText("old");
    Replace()->findChild<QComboBox *>("ReplaceText")->setEditText("new");
    // The first Replace finds the first match, the second replaces it and shows the next.
    Replace()->findChild<QPushButton *>("ReplaceBtn")->click();
    EXPECT_EQ(Selected(), QStringLiteral("old"));
    Replace()->findChild<QPushButton *>("ReplaceBtn")->click();
    EXPECT_EQ(Editor()->Line(1), QStringLiteral("a = new; b = old;"));
    EXPECT_EQ(Editor()->SelectionStart(), (TextPos{1, 14}));
    // F3 repeats the replacement, not a search.
    ASSERT_TRUE(m_main->FindNext());
    EXPECT_EQ(Editor()->Line(1), QStringLiteral("a = new; b = new;"));
    EXPECT_EQ(Selected(), QStringLiteral("OLD"));

    // Replace all, matching case, from the caret down, as one undoable change.
    Editor()->SetDocumentText("old old\nOLD old\n");
    Editor()->SetCaretPos(TextPos{1, 2});
    Replace()->findChild<QCheckBox *>("MatchCase")->setChecked(true);
    Replace()->findChild<QPushButton *>("ReplaceAllBtn")->click();
    EXPECT_EQ(Editor()->Line(1), QStringLiteral("old new"));
    EXPECT_EQ(Editor()->Line(2), QStringLiteral("OLD new"));
    Editor()->undo();
    EXPECT_EQ(Editor()->Line(1), QStringLiteral("old old"));
    EXPECT_EQ(Editor()->Line(2), QStringLiteral("OLD old"));
    m_prompt.ClearAsked();
    Replace()->SetFindText("absent");
    Replace()->findChild<QPushButton *>("ReplaceAllBtn")->click();
    EXPECT_EQ(m_prompt.Messages(), QStringList({"String not found."}));
}

TEST_F(FindMainTest, ReplaceInProjectKeepsEncodingsLineEndsAndUnwritableFiles)
{
    const QString crlf = File("p/crlf.c", "int total;\r\ntotal = 1;\r\n");
    const QString latin1 = File("p/latin1.c", "/* \xe9t\xe9 */ total;\n");
    const QString open = File("p/open.c", "total = 2;\n");
    const QString locked = File("p/ro/locked.c", "int total;\n");
    Project({crlf, latin1, open, locked});
    ASSERT_GE(m_main->doopenfile(open, 'R'), 0);
    TOvcTextFileEditorSyntax *openEditor = Editor();

    // An ordinary user may write in p/ but not in p/ro/.
    ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755);
    ::chmod(QFile::encodeName(W("p")).constData(), 0777);
    for (const QString &file : {crlf, latin1, open})
        ::chmod(QFile::encodeName(file).constData(), 0666);
    ::chmod(QFile::encodeName(W("p/ro")).constData(), 0555);
    m_prompt.Queue(mrYes);
    TFindOptions options;
    options.text = "total";
    options.matchCase = true;
    const int previous = ::geteuid() == 0 ? ::setfsuid(65534) : -1;
    m_main->ReplaceInProject(options, "sum");
    if (previous >= 0)
        ::setfsuid(previous);
    ::chmod(QFile::encodeName(W("p/ro")).constData(), 0755);

    EXPECT_EQ(ReadFile(crlf), QByteArray("int sum;\r\nsum = 1;\r\n"));
    EXPECT_EQ(ReadFile(latin1), QByteArray("/* \xe9t\xe9 */ sum;\n"));
    EXPECT_EQ(ReadFile(locked), QByteArray("int total;\n"));
    // The open page changed in its editor, not yet on disk, and can be undone.
    EXPECT_EQ(openEditor->Line(1), QStringLiteral("sum = 2;"));
    EXPECT_TRUE(openEditor->Modified());
    EXPECT_EQ(ReadFile(open), QByteArray("total = 2;\n"));
    openEditor->undo();
    EXPECT_EQ(openEditor->Line(1), QStringLiteral("total = 2;"));
    const QStringList messages = m_prompt.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith("4 replacements in 3 of 4 files.")) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(locked)) << messages[1].toStdString();
}

TEST_F(FindMainTest, EditorContextMenu)
{
    EXPECT_EQ(m_main->EditorPopupMenu(QPoint()), nullptr);
    ASSERT_GE(m_main->doopenfile(File("m.c", "#include \"dev.h\"\nint count2 = 1;\ncount2++;\n"), 'R'), 0);
    File("dev.h", "// device\n");
    Editor()->SetCaretPos(TextPos{2, 7});
    QMenu *menu = m_main->EditorPopupMenu(QPoint(-1, -1));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QStringLiteral("PopupMenu1"));
    QStringList captions;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            captions << action->text();
    }
    EXPECT_EQ(captions, QStringList({"Find next \"count2\"", "Find \"count2\" in project",
                                     "Help on \"count2\"", "Find next } or )", "Data Sheet",
                                     "Make file project", "Cu&t", "&Copy", "&Paste", "Close",
                                     "Compile"}));
    // Find next: one character on, then forward.
    menu->findChild<QAction *>("PopupFindNext")->trigger();
    EXPECT_EQ(Editor()->SelectionStart(), (TextPos{3, 1}));

    // On the include line the header can be opened.
    Editor()->SetCaretPos(TextPos{1, 3});
    menu = m_main->EditorPopupMenu(QPoint(-1, -1));
    QAction *open = menu->findChild<QAction *>("PopupOpenInclude");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QStringLiteral("Open \"dev.h\""));
    open->trigger();
    EXPECT_EQ(m_main->Notebook()->CurrentPath(), W("dev.h"));

    // A hex view offers no word entries.
    ASSERT_GE(m_main->doopenreadonly(File("d.bin", QByteArray(32, 'x')), "d.bin", 'H'), 0);
    menu = m_main->EditorPopupMenu(QPoint(-1, -1));
    EXPECT_EQ(menu->findChild<QAction *>("PopupFindNext"), nullptr);
    EXPECT_NE(menu->findChild<QAction *>("PopupClose"), nullptr);
}

TEST_F(FindMainTest, FindInAHexView)
{
    QByteArray data(3000, '.');
    data.replace(100, 4, "MARK");
    data.replace(2500, 4, "mark");
    ASSERT_GE(m_main->doopenreadonly(File("d.bin", data), "d.bin", 'H'), 0);
    THexViewer *viewer = m_main->Notebook()->Viewer(0);
    ASSERT_TRUE(m_main->FindInPage("mark", false, 0));
    EXPECT_EQ(viewer->SelectionFirst(), 100);
    ASSERT_TRUE(m_main->FindNext());
    EXPECT_EQ(viewer->SelectionFirst(), 2500);
    EXPECT_FALSE(m_main->FindNext());
    ASSERT_TRUE(m_main->FindInPage("MARK", true, -1));
    EXPECT_EQ(viewer->SelectionFirst(), 100);
}

TEST_F(FindMainTest, UserToolsSaveThePagesAndGetTheProjectFiles)
{
    const QString main = File("main.c", "int x;\n");
    ASSERT_GE(m_main->doopenfile(main, 'R'), 0);
    m_main->SetProject(main);
    Editor()->SetDocumentText("int y;\n");
    QList<std::tuple<int, QString, QString>> calls;
    QByteArray onDisk;
    m_main->LaunchUserTool = [&](int tool, const QString &object, const QString &base) {
        calls.append({tool, object, base});
        onDisk = ReadFile(main);
    };
    m_main->IdleUpdate();
    m_main->Command("tool2action")->trigger();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(std::get<0>(calls[0]), 2);
    EXPECT_EQ(std::get<1>(calls[0]), W("main.HEX"));
    EXPECT_EQ(std::get<2>(calls[0]), W("main"));
    EXPECT_EQ(onDisk, QByteArray("int y;\n"));
}
