#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivnotebook_model.h"
#include "kivprompt.h"
#include "gputils_build.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <ostream>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

// The main window with the project model replaced by a record of what it was told.
class TTestMain : public Tfkivmain {
public:
    TTestMain() : Tfkivmain({}) { }
    void SetProject(const QString &mainFile) override
    {
        Projects << mainFile;
        Project = mainFile;
    }
    QString ProjectMainFile() const override { return Project; }
    QStringList Projects;
    QString Project;
};

class DocumentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        QDir().mkpath(m_tmp.filePath("w"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<TTestMain>();
    }
    void TearDown() override
    {
        // Nothing may be asked while the window goes away.
        m_prompt.Queue(mrNo);
        m_prompt.Queue(mrNo);
        m_main.reset();
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    QString File(const QString &name, const QByteArray &data = "int x;\n") const
    {
        EXPECT_TRUE(WriteFile(W(name), data));
        return W(name);
    }
    TKivNotebook *Pages() const { return m_main->Notebook(); }
    QStringList Captions() const
    {
        QStringList captions;
        for (int i = 0; i < Pages()->PageCount(); ++i)
            captions << Pages()->tabText(i);
        return captions;
    }
    // Moves a file's modification time so that the disk change check sees a change.
    static void Touch(const QString &path, int seconds)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                                     QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<TTestMain> m_main;
};

}  // namespace

TEST_F(DocumentsTest, FirstDocumentBecomesTheProjectAndOpeningTwiceSwitches)
{
    const QString a = File("a.c");
    const QString b = File("b.c");
    EXPECT_EQ(m_main->doopenfile(a, 'R'), 0);
    EXPECT_EQ(m_main->Projects, QStringList{a});
    EXPECT_EQ(m_main->doopenfile(b, 'R'), 1);
    EXPECT_EQ(m_main->Projects, QStringList{a});   // a second file does not change the project
    EXPECT_EQ(m_main->doopenfile(a, 'R'), 0);
    EXPECT_EQ(Pages()->PageCount(), 2);
    EXPECT_EQ(Pages()->CurrentPage(), 0);
    EXPECT_EQ(m_main->FindPage(a.toUpper()), 0);   // letter case alone finds the page
    EXPECT_EQ(m_main->FindPage(W("none.c")), -1);
    EXPECT_EQ(Pages()->PageKind(0), 1);
    EXPECT_EQ(Pages()->Editor(0)->EditorType(), SyntaxColoringEditor);
    EXPECT_TRUE(Pages()->Editor(0)->BackupOnSave());
    EXPECT_EQ(Pages()->tabText(1), "b.c");
    EXPECT_EQ(m_main->Environment().RecentFiles.Slot(0), b);
    EXPECT_EQ(m_main->DialogFolder(), m_tmp.filePath("w") + "/");
    EXPECT_TRUE(m_prompt.Asked().empty());

    // Two files that differ only in letter case are both real here: each gets its own page.
    const QString upper = File("A.c");
    EXPECT_EQ(m_main->doopenfile(upper, 'R'), 2);
}

TEST_F(DocumentsTest, CaretShowsInStatusPanelZero)
{
    m_main->doopenfile(File("a.c", "ab\ncdef\n"), 'R');
    EXPECT_EQ(m_main->StatusPanel(0)->text(), "1:1");
    EXPECT_EQ(m_main->StatusPanel(2)->text(), W("a.c"));
    Pages()->Editor(0)->SetCaretPos({2, 3});
    EXPECT_EQ(m_main->StatusPanel(0)->text(), "2:3");
}

TEST_F(DocumentsTest, MissingFileOpensNothingWithoutAMessage)
{
    EXPECT_EQ(m_main->doopenfile(W("none.c"), 'R'), -1);
    EXPECT_EQ(m_main->doopenreadonly(W("none.lst"), "x", 'A'), -1);
    EXPECT_EQ(m_main->OpenByExtension(W("none.h"), true), -1);
    EXPECT_EQ(m_main->OpenByExtension(QString(), false), -1);
    EXPECT_EQ(Pages()->PageCount(), 0);
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(DocumentsTest, ReadOnlyFileWarnsAndStaysEditable)
{
    const QString path = File("ro.c");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_EQ(m_main->doopenfile(path, 'R'), 0);
    EXPECT_EQ(m_prompt.Messages(), QStringList{"File is marked READ ONLY"});
    EXPECT_EQ(m_prompt.Asked().at(0).kind, mtWarning);
    EXPECT_FALSE(Pages()->Editor(0)->ReadOnly());
}

TEST_F(DocumentsTest, OpenersByExtensionAndContent)
{
    int projectOpened = 0;
    m_main->OpenProjectHook = [&projectOpened](const QString &) { return ++projectOpened, -1; };
    struct Case {
        const char *name;
        QByteArray data;
        const char *caption;
        int kind;
    };
    const Case cases[] = {
        {"p.lst", "list\n", "p.lst (C/ASM)", 5},
        {"p.hex", ":00000001FF\n", "p.hex", 5},
        {"p.sym", "sym\n", "p.sym", 5},
        {"p.tre", "tree\n", "p.tre (Tree)", 5},
        {"cmp.$$$", "Comparing a and b\n", "cmp.$$$", 0x15},
        {"notes.txt", "text\n", "notes.txt", 1},
        {"blob.bin", QByteArray("\x01\x00\x02", 3), "blob.bin", 14},
        {"main.h", "#define X\n", "main.h", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int index = m_main->OpenByExtension(File(c.name, c.data), false);
        ASSERT_GE(index, 0);
        EXPECT_EQ(Pages()->tabText(index), c.caption);
        EXPECT_EQ(Pages()->PageKind(index), c.kind);
    }
    EXPECT_EQ(Pages()->Editor(Pages()->PageCount() - 3)->EditorType(), TextEditor);
    m_main->OpenByExtension(File("p.pjt", "[Target Data]\n"), false);
    EXPECT_EQ(projectOpened, 1);
    // Read-only views do not go into the recent files.
    EXPECT_EQ(m_main->Environment().RecentFiles.Visible(),
              (QStringList{W("main.h"), W("notes.txt"), W("cmp.$$$")}));
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(DocumentsTest, RecentFileOpensByTheFilterOfItsExtension)
{
    const QString text = File("x.$$$", QByteArray("no\0compare", 10));
    m_main->ReopenFile(text);
    EXPECT_EQ(Pages()->PageKind(0), 14);
    const QString header = File("x.h");
    m_main->ReopenFile(header);
    EXPECT_EQ(Pages()->PageKind(1), 1);
    EXPECT_EQ(m_main->OpenByFilter(File("y.c"), kAllFilesFilter), -1);
    EXPECT_EQ(m_main->OpenByFilter(File("z.c"), 3), 2);
    EXPECT_EQ(Pages()->Editor(2)->EditorType(), TextEditor);
}

TEST_F(DocumentsTest, OpenDialogUsesTheChosenFilter)
{
    const QString path = File("list.lst", "x\n");
    m_prompt.Queue(path);
    m_prompt.AnswerFilterIndex(kAllFilesFilter);
    m_main->ActionFileOpenExecute();
    ASSERT_EQ(Pages()->PageCount(), 1);
    EXPECT_EQ(Pages()->PageKind(0), 5);
    EXPECT_EQ(m_prompt.Asked().at(0).filterIndex, 1);
    EXPECT_EQ(m_prompt.Asked().at(0).filters.size(), 7);
}

TEST_F(DocumentsTest, SourceOpenerSearchesTheIncludeFolders)
{
    ASSERT_TRUE(WriteFile(m_tmp.filePath("inc/dev.h"), "#define D\n"));
    m_main->Environment().IncludeDirs = m_tmp.filePath("none") + ";" + m_tmp.filePath("inc");
    EXPECT_EQ(m_main->OpenByExtension("dev.h", true), 0);
    EXPECT_EQ(Pages()->PagePath(0), m_tmp.filePath("inc/dev.h"));
    EXPECT_EQ(m_main->OpenByExtension("other.h", false), -1);
}

TEST_F(DocumentsTest, ClosingTheCurrentPageSelectsThePreviousOne)
{
    struct Case {
        int current, closing;
        const char *remaining;
        const char *currentAfter;
    };
    const Case cases[] = {
        {0, 0, "b.c c.c", "b.c"},
        {2, 2, "a.c b.c", "b.c"},
        {1, 1, "a.c c.c", "a.c"},
        {1, 2, "a.c b.c", "b.c"},
        {2, 0, "b.c c.c", "c.c"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " " << c.closing);
        for (const char *name : {"a.c", "b.c", "c.c"})
            m_main->doopenfile(File(name), 'R');
        Pages()->SetCurrentPage(c.current);
        EXPECT_TRUE(m_main->doclosefile(c.closing));
        EXPECT_EQ(Captions().join(' '), c.remaining);
        EXPECT_EQ(Pages()->tabText(Pages()->CurrentPage()), c.currentAfter);
        EXPECT_TRUE(m_main->CloseAll());
        EXPECT_EQ(Pages()->PageCount(), 0);
    }
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(DocumentsTest, ClosingAModifiedEditorAsksToSave)
{
    const QString a = File("a.c", "old\n");
    const QString b = File("b.c", "old\n");
    m_main->doopenfile(a, 'R');
    m_main->doopenfile(b, 'R');
    for (int i = 0; i < 2; ++i) {
        Pages()->Editor(i)->SetCaretPos({1, 1});
        Pages()->Editor(i)->insert("new ");
    }
    m_prompt.Queue(mrYes);
    m_prompt.Queue(mrNo);
    EXPECT_TRUE(m_main->CloseAll());
    EXPECT_EQ(m_prompt.Messages(), (QStringList{"Save changes to " + a, "Save changes to " + b}));
    EXPECT_EQ(ReadFile(a), "new old\n");
    EXPECT_EQ(ReadFile(b), "old\n");
}

TEST_F(DocumentsTest, OrderedPagesInsertAndResort)
{
    for (const char *name : {"c.c", "a.c", "B.c", "b.c"})
        m_main->doopenfile(File(name), 'R');
    EXPECT_EQ(Captions().join(' '), "c.c a.c B.c b.c");
    Pages()->SetCurrentPage(0);
    m_main->SetOrderFiles(true);
    EXPECT_EQ(Captions().join(' '), "B.c a.c b.c c.c");
    EXPECT_EQ(Pages()->tabText(Pages()->CurrentPage()), "c.c");
    m_main->doopenfile(File("ab.c"), 'R');
    EXPECT_EQ(Captions().join(' '), "B.c a.c ab.c b.c c.c");
    EXPECT_EQ(Pages()->tabText(Pages()->CurrentPage()), "ab.c");
    Pages()->RenamePage(0, "z.c");
    EXPECT_EQ(Captions().join(' '), "a.c ab.c b.c c.c z.c");
    EXPECT_EQ(Pages()->tabText(Pages()->CurrentPage()), "ab.c");
    m_main->SetOrderFiles(false);
    m_main->doopenfile(File("0.c"), 'R');
    EXPECT_EQ(Captions().last(), "0.c");
}

TEST_F(DocumentsTest, SaveKeepsABackupAndRefreshesTheStamp)
{
    const QString a = File("main.c", "old\n");
    m_main->doopenfile(a, 'R');
    Touch(a, -100);
    Pages()->RefreshStamp(0);
    const qint64 before = Pages()->Stamp(0);
    Pages()->Editor(0)->SetCaretPos({1, 1});
    Pages()->Editor(0)->insert("new ");
    EXPECT_TRUE(m_main->SavePage(0));
    EXPECT_EQ(ReadFile(a), "new old\n");
    EXPECT_EQ(ReadFile(W("main.BAK")), "old\n");
    EXPECT_FALSE(Pages()->Editor(0)->Modified());
    EXPECT_NE(Pages()->Stamp(0), before);
    m_main->CheckDiskChanges();
    EXPECT_TRUE(m_prompt.Asked().empty());
}

// When the new file cannot be written the error is shown, and the editor keeps its text and
// modified state while the old file stays as it was; closing then keeps the page.
TEST_F(DocumentsTest, FailedSaveKeepsTextAndFile)
{
    const QString a = File("main.c", "old\n");
    ASSERT_TRUE(WriteFile(W("main.BAK/blocker"), "x"));
    m_main->doopenfile(a, 'R');
    TOvcTextFileEditorSyntax *editor = Pages()->Editor(0);
    editor->SetCaretPos({1, 1});
    editor->insert("new ");
    EXPECT_FALSE(m_main->SavePage(0));
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked().at(0).kind, mtError);
    EXPECT_TRUE(editor->Modified());
    EXPECT_EQ(editor->Line(1), "new old");
    EXPECT_EQ(ReadFile(a), "old\n");

    m_prompt.Queue(mrYes);
    EXPECT_FALSE(m_main->doclosefile(0));
    EXPECT_EQ(Pages()->PageCount(), 1);
    m_prompt.Queue(mrYes);
    EXPECT_FALSE(m_main->CloseAll());
    ASSERT_EQ(Pages()->PageCount(), 1);
    EXPECT_EQ(Pages()->Editor(0)->Line(1), "new old");
}

TEST_F(DocumentsTest, SaveAsAddsDotCAndTheProjectFollows)
{
    const QString a = File("main.c", "x\n");
    m_main->doopenfile(a, 'R');
    ASSERT_EQ(m_main->Project, a);
    m_prompt.Queue(W("renamed"));
    EXPECT_TRUE(m_main->SaveAs(0));
    EXPECT_EQ(ReadFile(W("renamed.c")), "x\n");
    EXPECT_EQ(Pages()->PagePath(0), W("renamed.c"));
    EXPECT_EQ(Pages()->tabText(0), "renamed.c");
    EXPECT_EQ(m_main->Project, W("renamed.c"));
    EXPECT_EQ(m_prompt.Asked().at(0).filters, QStringList{"Source files (*.c *.h)"});

    m_main->doopenfile(File("other.c"), 'R');
    m_prompt.Queue(W("second.h"));
    EXPECT_TRUE(m_main->SaveAs(1));
    EXPECT_EQ(Pages()->PagePath(1), W("second.h"));
    EXPECT_EQ(m_main->Project, W("renamed.c"));

    m_prompt.Queue(QString());   // cancelled
    EXPECT_FALSE(m_main->SaveAs(1));
    EXPECT_EQ(Pages()->PagePath(1), W("second.h"));
}

TEST_F(DocumentsTest, NewCreatesAnEmptyFileAndOpensIt)
{
    m_prompt.Queue(W("fresh"));
    m_main->NewFile();
    ASSERT_EQ(Pages()->PageCount(), 1);
    EXPECT_EQ(Pages()->PagePath(0), W("fresh.c"));
    EXPECT_TRUE(QFile::exists(W("fresh.c")));
    EXPECT_EQ(ReadFile(W("fresh.c")), "");
}

TEST_F(DocumentsTest, SaveAllSavesModifiedEditorsAndRecordsOpenFiles)
{
    const QString a = File("a.c", "a\n");
    const QString b = File("b.c", "b\n");
    m_main->doopenfile(a, 'R');
    m_main->doopenfile(b, 'R');
    int recorded = 0;
    m_main->RecordOpenFilesHook = [&recorded] { ++recorded; };
    Pages()->Editor(1)->SetCaretPos({1, 1});
    Pages()->Editor(1)->insert("+");
    m_main->SaveAll();
    EXPECT_EQ(ReadFile(b), "+b\n");
    EXPECT_FALSE(QFile::exists(W("a.BAK")) && ReadFile(W("a.BAK")) == "a\n");
    EXPECT_EQ(recorded, 1);
}

TEST_F(DocumentsTest, OneQuestionPerDiskChange)
{
    const QString a = File("a.c", "one\n");
    const QString b = File("b.c", "two\n");
    m_main->doopenfile(a, 'R');
    m_main->doopenfile(b, 'R');
    m_main->CheckDiskChanges();
    EXPECT_TRUE(m_prompt.Asked().empty());

    // Two changes of a.c between checks: one question; Yes reloads.
    ASSERT_TRUE(WriteFile(a, "changed\n"));
    Touch(a, 10);
    ASSERT_TRUE(WriteFile(a, "changed again\n"));
    Touch(a, 20);
    // b.c changes too while its editor holds changes of its own; No keeps the editor's text.
    Pages()->Editor(1)->SetCaretPos({1, 1});
    Pages()->Editor(1)->insert("mine ");
    ASSERT_TRUE(WriteFile(b, "theirs\n"));
    Touch(b, 30);
    m_prompt.Queue(mrYes);
    m_prompt.Queue(mrNo);
    m_main->CheckDiskChanges();
    EXPECT_EQ(m_prompt.Messages(),
              (QStringList{DiskChangeQuestion(a, false), DiskChangeQuestion(b, true)}));
    EXPECT_EQ(Pages()->Editor(0)->Line(1), "changed again");
    EXPECT_EQ(Pages()->Editor(1)->Line(1), "mine two");

    m_prompt.ClearAsked();
    m_main->CheckDiskChanges();
    EXPECT_TRUE(m_prompt.Asked().empty());

    // A deleted file is reported once per deletion, not at every check.
    QFile::remove(a);
    m_main->CheckDiskChanges();
    m_main->CheckDiskChanges();
    EXPECT_EQ(m_prompt.Messages(), QStringList{DeletedFileMessage(a, true)});
    EXPECT_EQ(Pages()->Editor(0)->Line(1), "changed again");
}

TEST_F(DocumentsTest, DroppedFilesOpenByExtension)
{
    const QString a = File("a.c");
    const QString bin = File("b.bin", QByteArray("\0\1", 2));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(bin)});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // A synthetic drop bypasses the application's drag manager: deliver it to the widget itself.
    static_cast<QObject *>(Pages())->event(&drop);
    ASSERT_EQ(Pages()->PageCount(), 2);
    EXPECT_EQ(Pages()->PageKind(0), 1);
    EXPECT_EQ(Pages()->PageKind(1), 14);
}

TEST_F(DocumentsTest, CoffViewRunsTheToolAndShowsItsOutput)
{
    const QString cof = File("p.cof", "COFF");
    m_main->CoffView(cof);
    EXPECT_EQ(m_prompt.Messages(),
              QStringList{"Cannot start the coff viewer tool: " + InstallDir() + "vyncoff"});
    m_prompt.ClearAsked();
    m_main->CoffView(m_tmp.filePath("none/p.cof"));
    EXPECT_EQ(m_prompt.Messages(),
              QStringList{"Cannnot create the file " + m_tmp.filePath("none/p.cof") + ".txt"});
    EXPECT_EQ(Pages()->PageCount(), 0);

    m_prompt.ClearAsked();
    const QString tool = InstallDir() + "vyncoff";
    ASSERT_TRUE(WriteFile(tool, "#!/bin/sh\necho \"dump of $1\"\n"));
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const int index = m_main->CoffView(cof);
    ASSERT_GE(index, 0);
    EXPECT_EQ(Pages()->tabText(index), "p.cof.txt");
    EXPECT_EQ(Pages()->PageKind(index), 5);
    EXPECT_EQ(Pages()->Editor(index)->Line(1), "dump of " + cof);
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(DocumentsTest, CoffViewShowsTheDumpOfTheExampleProject)
{
    if (!test::GputilsAvailable())
        GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
    // The example project built as the 14-bit edition builds it, and the real dump program in
    // the installation.
    const QString folder = m_tmp.filePath("blink");
    QDir().mkpath(folder);
    ASSERT_TRUE(WriteFile(folder + "/blink.asm", ReadFile(test::SourceDir() + "/data/examples/blink/blink.asm")));
    int exitCode = -1;
    test::RunProgram({"gpasm", "-C", "-c", "blink.asm"}, folder, &exitCode);
    ASSERT_EQ(exitCode, 0);
    test::RunProgram({"gplink", "-c", "-m", "-o", "blink.hex", "blink.o"}, folder, &exitCode);
    ASSERT_EQ(exitCode, 0);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_VYNCOFF), InstallDir() + "vyncoff"));

    const int index = m_main->CoffView(folder + "/blink.cof");
    ASSERT_GE(index, 0);
    EXPECT_TRUE(m_prompt.Asked().empty());
    EXPECT_EQ(Pages()->tabText(index), "blink.cof.txt");
    const QString text = QString::fromLatin1(ReadFile(folder + "/blink.cof.txt"));
    EXPECT_EQ(Pages()->Editor(index)->Line(1), "COFF file " + folder + "/blink.cof");
    EXPECT_TRUE(text.contains("Magic                 0x1234 (old format)"));
    EXPECT_TRUE(text.contains("Processor             0x877A"));
    EXPECT_TRUE(text.contains("Line numbers"));
    EXPECT_TRUE(text.contains(" main "));

    // A file that is no COFF file: the page says why.
    const QString bad = File("bad.cof", "not a COFF file at all");
    const int badIndex = m_main->CoffView(bad);
    ASSERT_GE(badIndex, 0);
    EXPECT_TRUE(Pages()->Editor(badIndex)->Line(1).startsWith("vyncoff: " + bad + ": The file is not a Microchip COFF file"));
}

TEST_F(DocumentsTest, CodViewOpensTheDumpReadOnly)
{
    // An empty directory block: a COD file without tables.
    const QString cod = File("p.cod", QByteArray(512, '\0'));
    const int index = m_main->OpenByExtension(cod, false);
    ASSERT_GE(index, 0);
    EXPECT_TRUE(m_prompt.Asked().empty());
    EXPECT_EQ(Pages()->tabText(index), "p.cod");
    EXPECT_EQ(Pages()->PageKind(index), 5);
    EXPECT_EQ(Pages()->Editor(index)->Line(3), "Directory page list:");
    EXPECT_TRUE(QFileInfo::exists(cod + ".txt"));

    // A file that cannot be read is reported and opens nothing.
    m_prompt.ClearAsked();
    EXPECT_EQ(m_main->CodView(m_tmp.filePath("none.cod")), -1);
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_TRUE(m_prompt.Messages().at(0).startsWith("Cannot open the file " + m_tmp.filePath("none.cod")));
    EXPECT_EQ(Pages()->PageCount(), 1);
}

TEST_F(DocumentsTest, RecalledFilesComeBackWithProjectAndCurrentPage)
{
    const QString a = File("a.c");
    const QString h = File("a.h");
    const QString bin = File("data.bin", QByteArray("\0\0", 2));
    {
        TIniFile ini(SettingsFilePath());
        ini.WriteBool("editoptions", "recall", true);
        ini.WriteInteger("openfiles", "count", 4);
        ini.WriteString("openfiles", "f1", a);
        ini.WriteString("openfiles", "f2", W("gone.c"));
        ini.WriteString("openfiles", "f3", bin);
        ini.WriteString("openfiles", "f4", h);
        ini.WriteString("openfiles", "projectfile", h);
        ini.WriteString("openfiles", "currentfile", bin);
    }
    m_main->FormShow();
    EXPECT_EQ(Pages()->PagePaths(), (QStringList{a, bin, h}));
    EXPECT_EQ(m_main->Project, h);
    EXPECT_EQ(Pages()->CurrentPath(), bin);

    m_prompt.Queue(mrNo);
    m_main->close();
    TIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.ReadInteger("openfiles", "count", 0), 3);
    EXPECT_EQ(ini.ReadString("openfiles", "f2"), bin);
    EXPECT_EQ(ini.ReadString("openfiles", "currentfile"), bin);
    EXPECT_EQ(ini.ReadString("openfiles", "projectfile"), h);
    EXPECT_EQ(Pages()->PageCount(), 0);
}

// A 100 MB file opens in the hex viewer without being read into memory: the model reads only
// the rows on screen.
TEST_F(DocumentsTest, HexViewerShowsAHundredMegabyteFileAtItsEnd)
{
    const QString path = W("big.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1024 * 1024));
        ASSERT_TRUE(file.seek(100 * 1024 * 1024 - 4));
        file.write("TAIL");
    }
    const int index = m_main->doopenreadonly(path, "big.bin", 'H');
    ASSERT_EQ(index, 0);
    EXPECT_EQ(Pages()->PageKind(0), 14);
    THexViewer *viewer = Pages()->Viewer(0);
    m_main->resize(800, 600);
    m_main->show();
    QApplication::processEvents();
    viewer->ScrollToEnd();
    EXPECT_EQ(viewer->CaretPos().line, 100 * 1024 * 1024 / 16);
    EXPECT_GT(viewer->TopRow(), 100 * 1024 * 1024 / 16 - 100);
    viewer->grab();   // paints the last rows

    viewer->SelectBytes(100 * 1024 * 1024 - 4, 100 * 1024 * 1024);
    EXPECT_TRUE(viewer->Copy());
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith("063FFFF0  ")) << copied.toStdString();
    EXPECT_TRUE(copied.contains("54 41 49 4C")) << copied.toStdString();
    EXPECT_TRUE(copied.endsWith(" TAIL\n")) << copied.toStdString();

    viewer->SelectAll();
    EXPECT_FALSE(viewer->Copy());
    EXPECT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked().at(0).kind, mtError);
}

TEST(HexViewer, KeyboardAndMouseSelectBytes)
{
    QTemporaryDir tmp;
    QByteArray data;
    for (int i = 0; i < 40; ++i)
        data.append(char('a' + i % 26));
    ASSERT_TRUE(WriteFile(tmp.filePath("a.bin"), data));
    THexViewer viewer;
    ASSERT_TRUE(viewer.Open(tmp.filePath("a.bin")));
    viewer.resize(700, 300);
    viewer.show();
    QApplication::processEvents();

    QTest::keyClick(&viewer, Qt::Key_Right);
    QTest::keyClick(&viewer, Qt::Key_Right);
    QTest::keyClick(&viewer, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(viewer.SelectionFirst(), 2);
    EXPECT_EQ(viewer.SelectionEnd(), 18);
    EXPECT_EQ(viewer.CaretPos(), (TextPos{2, 3}));
    EXPECT_TRUE(viewer.SelectedText().startsWith("00000000        63 64"));
    QTest::keyClick(&viewer, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(viewer.CaretOffset(), 39);
    EXPECT_FALSE(viewer.HasSelection());
    QTest::keyClick(&viewer, Qt::Key_Up);
    QTest::keyClick(&viewer, Qt::Key_PageUp);
    EXPECT_EQ(viewer.CaretOffset(), 7);   // stays in its column on the first row

    // A click on the character part of the second row picks that byte.
    const THexFileModel &model = viewer.Model();
    const qreal cw = QFontMetricsF(viewer.font()).horizontalAdvance(QLatin1Char('H'));
    const int row = QFontMetrics(viewer.font()).lineSpacing();
    const QPoint at(int(cw * 2 + 6 + (model.CharColumn(5) + 0.5) * cw), row + row / 2);
    QTest::mouseClick(viewer.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(viewer.CaretOffset(), 16 + 5);

    viewer.SetBookmark(4, 3);
    EXPECT_EQ(viewer.BookmarkLine(4), 3);
    EXPECT_TRUE(viewer.GotoBookmark(4));
    EXPECT_EQ(viewer.CaretOffset(), 32);
    viewer.SetBookmark(5, 4);   // past the last row
    EXPECT_EQ(viewer.BookmarkLine(5), 0);
}
