#include "devicesdat_writer.h"
#include "kivinc.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "kivproject.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

QString SourceDataDir()
{
    const QString source = kiv::test::SourceDir();
    if (!source.isEmpty())
        return source + "/data";
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../data";
}

class ProjectMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        QDir().mkpath(m_tmp.filePath("w"));
        QFile::copy(SourceDataDir() + "/lumo/DEFAULT.PJT", m_tmp.filePath("inst/lumo/DEFAULT.PJT"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
    }
    void TearDown() override
    {
        Tfkivinc::ExecHook() = nullptr;
        // Nothing may be asked while the window goes away.
        for (int i = 0; i < 8; ++i)
            m_prompt.Queue(mrNo);
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    Tfkivmain &Main(TCommandLine commandLine = {})
    {
        m_main = std::make_unique<Tfkivmain>(commandLine);
        return *m_main;
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    QString File(const QString &name, const QByteArray &data = "int x;\n") const
    {
        EXPECT_TRUE(WriteFile(W(name), data));
        return W(name);
    }
    QStringList Pages() const { return m_main->Notebook()->PagePaths(); }
    QString Current() const { return m_main->Notebook()->CurrentPath(); }
    QAction *Action(const char *name) const { return m_main->findChild<QAction *>(name); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(ProjectMainTest, FirstDocumentBecomesTheProjectWithTheMendedNameRule)
{
    const struct {
        const char *file;
        const char *name;
        const char *projectFile;
    } cases[] = {
        {"main.c", "main", "main.pjt"},
        {"UPPER.C", "UPPER", "UPPER.pjt"},
        {"blink.asm", "blink", "blink.pjt"},
        {"main.h", "main", "main.pjt"},
    };
    Tfkivmain &main = Main();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        main.CloseAll();
        const QString path = File(c.file);
        ASSERT_GE(main.doopenfile(path, 'R'), 0);
        EXPECT_EQ(main.CurrentProject().Name(), c.name);
        EXPECT_EQ(main.CurrentProject().ProjectFile(), W(c.projectFile));
        EXPECT_EQ(main.CurrentProject().MainFile(), path);
        EXPECT_EQ(main.ProjectMainFile(), path);
        EXPECT_EQ(main.StatusPanel(3)->text(), c.name);
    }
    // A second page does not change the project.
    main.doopenfile(File("other.c"), 'R');
    EXPECT_EQ(main.CurrentProject().Name(), "main");
    EXPECT_TRUE(Action("ActionProjectIncludeDirs")->isEnabled());
}

TEST_F(ProjectMainTest, OpenProjectOpensTheFirstFileListNameAndRecallsOpenFiles)
{
    const QString mainFile = File("pump.c");
    File("pump.h");
    File("notes.txt", "text\n");
    File("extra.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"),
                          "[Target Data]\r\nFileList=pump.c;extra.c\r\nOptionString=+FH\r\n"
                          "[Opened Files]\r\n1=" + W("pump.h").toUtf8() + "\r\n2=notes.txt\r\n3=\r\n"
                          "4=" + W("extra.c").toUtf8() + "\r\n"));
    Tfkivmain &main = Main();
    QStringList selected;
    main.SelectCompilerEdition = [&selected](const QString &code) {
        selected << code;
        return true;
    };
    main.doopenfile(File("before.c"), 'R');

    const int index = main.OpenProject(W("pump.pjt"));
    EXPECT_EQ(Pages(), (QStringList{mainFile, W("pump.h"), W("notes.txt")}));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(Current(), mainFile);
    EXPECT_EQ(main.CurrentProject().MainFile(), mainFile);
    EXPECT_EQ(main.StatusPanel(3)->text(), "pump");
    EXPECT_EQ(selected, QStringList{"QAN"});
    EXPECT_EQ(main.Environment().RecentProjects.Slot(0), W("pump.pjt"));
    EXPECT_EQ(main.ReopenProjectsMenu()->actions().at(0)->text(), "&1: " + W("pump.pjt"));
}

TEST_F(ProjectMainTest, OptionLetterOutsideTheTableSelectsNoEdition)
{
    File("a.c");
    ASSERT_TRUE(WriteFile(W("a.pjt"), "[Target Data]\r\nFileList=a.c\r\nOptionString=+FX\r\n"));
    File("b.c");
    ASSERT_TRUE(WriteFile(W("b.pjt"), "[Target Data]\r\nFileList=b.c\r\n"));
    Tfkivmain &main = Main();
    int calls = 0;
    main.SelectCompilerEdition = [&calls](const QString &) {
        ++calls;
        return true;
    };
    EXPECT_EQ(main.OpenProject(W("a.pjt")), 0);
    EXPECT_EQ(main.OpenProject(W("b.pjt")), 0);
    EXPECT_EQ(calls, 0);
}

TEST_F(ProjectMainTest, MissingFilesOpenNothing)
{
    Tfkivmain &main = Main();
    const QString open = File("open.c");
    main.doopenfile(open, 'R');
    // A project file that is not there leaves everything as it was, and says so.
    EXPECT_EQ(main.OpenProject(W("none.pjt")), -1);
    EXPECT_EQ(Pages(), QStringList{open});
    EXPECT_EQ(m_prompt.Messages(), QStringList{"The project file " + W("none.pjt") + " does not exist."});
    // A FileList naming a missing file: said, and the documents stay open.
    ASSERT_TRUE(WriteFile(W("gone.pjt"), "[Target Data]\r\nFileList=gone.c\r\n"
                                         "[Opened Files]\r\n1=" + open.toUtf8() + "\r\n"));
    m_prompt.ClearAsked();
    EXPECT_EQ(main.OpenProject(W("gone.pjt")), -1);
    EXPECT_EQ(Pages(), QStringList{open});
    EXPECT_EQ(m_prompt.Messages(), QStringList{"The main file " + W("gone.c") + " of the project "
                                               + W("gone.pjt") + " does not exist."});
}

// A project copied to another folder opens its own files: the files inside its folder are
// recorded relative to it.
TEST_F(ProjectMainTest, ACopiedProjectOpensItsOwnFilesNotTheOriginals)
{
    const QString mainFile = File("orig/pump.c");
    File("orig/util.h");
    ASSERT_TRUE(WriteFile(W("orig/pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"));
    Tfkivmain &main = Main();
    main.OpenProject(W("orig/pump.pjt"));
    main.doopenfile(W("orig/util.h"), 'R');
    main.CloseAll();
    EXPECT_EQ(TIniFile(W("orig/pump.pjt")).ReadString("Opened Files", "2"), "util.h");

    ASSERT_TRUE(QDir().mkpath(W("copy")));
    for (const char *name : {"pump.c", "util.h", "pump.pjt"})
        ASSERT_TRUE(QFile::copy(W(QStringLiteral("orig/") + name), W(QStringLiteral("copy/") + name)));
    EXPECT_EQ(main.OpenProject(W("copy/pump.pjt")), 0);
    EXPECT_EQ(Pages(), (QStringList{W("copy/pump.c"), W("copy/util.h")}));
    EXPECT_NE(Pages().first(), mainFile);
}

// File > New asks for the new file's name in the open project's folder.
TEST_F(ProjectMainTest, NewStartsInTheProjectsFolder)
{
    const QString mainFile = File("proj/pump.c");
    Tfkivmain &main = Main();
    main.doopenfile(File("elsewhere/note.txt", "note\n"), 'T');
    main.CloseAll();
    main.doopenfile(mainFile, 'R');
    main.SetDialogFolder(W("elsewhere/"));
    m_prompt.ClearAsked();
    m_prompt.Queue(QString());
    Action("ActionFileNew")->trigger();
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].type, TScriptedPrompt::Question::SaveFile);
    EXPECT_EQ(m_prompt.Asked()[0].text, W("proj/"));
}

TEST_F(ProjectMainTest, CloseAllRecordsTheProjectsOpenFiles)
{
    const QString mainFile = File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"));
    Tfkivmain &main = Main();
    main.OpenProject(W("pump.pjt"));
    main.doopenfile(File("util.h"), 'R');
    main.CloseAll();
    EXPECT_EQ(TProjectFile(W("pump.pjt")).OpenedFiles(), (QStringList{mainFile, W("util.h")}));
    const TIniFile ini(W("pump.pjt"));
    EXPECT_TRUE(ini.ValueExists("Opened Files", "3"));
    EXPECT_EQ(ini.ReadString("Target Data", "FileList"), "pump.c");

    // Re-opening the project brings both back, with the main file current.
    EXPECT_EQ(main.OpenProject(W("pump.pjt")), 0);
    EXPECT_EQ(Pages(), (QStringList{mainFile, W("util.h")}));
    EXPECT_EQ(Current(), mainFile);
}

TEST_F(ProjectMainTest, CommandLineProjectRecallsItsOpenFiles)
{
    const QString mainFile = File("x.c");
    File("x.h");
    File("y.lst", "list\n");
    ASSERT_TRUE(WriteFile(W("x.pjt"), "[Target Data]\r\nFileList=x.c\r\n[Opened Files]\r\n"
                                      "1=" + mainFile.toUtf8() + "\r\n2=" + W("x.h").toUtf8()
                                      + "\r\n3=" + W("y.lst").toUtf8() + "\r\n4=\r\n"));
    // Recall of the last session's files is on, but the command line replaces it.
    TIniFile settings(m_tmp.filePath("inst/lumo/kiv.ini"));
    settings.WriteBool("editoptions", "recall", true);
    settings.WriteInteger("openfiles", "count", 1);
    settings.WriteString("openfiles", "f1", File("last.c"));

    TCommandLine commandLine;
    commandLine.CommandLineFile = W("x.pjt");
    Tfkivmain &main = Main(commandLine);
    main.FormShow();
    EXPECT_EQ(Pages(), (QStringList{mainFile, W("x.h"), W("y.lst")}));
    EXPECT_EQ(Current(), mainFile);
    EXPECT_EQ(main.CurrentProject().ProjectFile(), W("x.pjt"));
    EXPECT_EQ(main.StatusPanel(3)->text(), "x");
}

TEST_F(ProjectMainTest, ProjectCommandsNeedACompiledProject)
{
    Tfkivmain &main = Main();
    main.doopenfile(File("pump.c"), 'R');
    main.CloseProject();
    main.OpenAllFiles();
    EXPECT_EQ(m_prompt.Messages(), (QStringList{"Project must be compiled first.",
                                                "Project must be compiled first."}));
    EXPECT_EQ(m_prompt.Asked().at(0).kind, mtError);
    EXPECT_EQ(Pages(), QStringList{W("pump.c")});
}

TEST_F(ProjectMainTest, CloseProjectClosesOnlyTheListedFiles)
{
    const QString mainFile = File("pump.c");
    File("pump.h");
    File("other.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"));
    ASSERT_TRUE(WriteFile(W("pump.sym"), "Symbols\r\n\r\nProject Files:\r\n   " + mainFile.toUtf8()
                                             + "\r\n   " + W("PUMP.H").toUtf8() + "\r\n\r\n"));
    Tfkivmain &main = Main();
    main.OpenProject(W("pump.pjt"));
    main.doopenfile(W("pump.h"), 'R');
    main.doopenfile(W("other.c"), 'R');
    main.Notebook()->SetCurrentPage(2);

    main.CloseProject();
    EXPECT_EQ(Pages(), QStringList{W("other.c")});
    EXPECT_EQ(Current(), W("other.c"));
    // The project stays, and its open files were recorded first.
    EXPECT_EQ(main.CurrentProject().MainFile(), mainFile);
    EXPECT_EQ(TProjectFile(W("pump.pjt")).OpenedFiles(),
              (QStringList{mainFile, W("pump.h"), W("other.c")}));
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(ProjectMainTest, OpenAllFilesOpensTheListAndReturnsToThePage)
{
    const QString mainFile = File("pump.c");
    File("pump.h");
    File("lib.c");
    File("elsewhere.c");
    ASSERT_TRUE(WriteFile(W("pump.sym"), "Project Files:\n  " + mainFile.toUtf8() + "\n  pump.h\n  "
                                             + W("lib.c").toUtf8() + "\n"));
    Tfkivmain &main = Main();
    main.doopenfile(mainFile, 'R');
    main.doopenfile(W("elsewhere.c"), 'R');
    main.OpenAllFiles();
    EXPECT_EQ(Pages(), (QStringList{mainFile, W("elsewhere.c"), W("pump.h"), W("lib.c")}));
    EXPECT_EQ(Current(), W("elsewhere.c"));
}

TEST_F(ProjectMainTest, PrintAllFilesWaitsForPrinting)
{
    Tfkivmain &main = Main();
    QAction *print = Action("ActionProjectPrintAll");
    ASSERT_NE(print, nullptr);
    EXPECT_FALSE(print->isEnabled());
    const QString mainFile = File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.sym"), "Project Files:\n  " + mainFile.toUtf8() + "\n"));
    main.doopenfile(mainFile, 'R');
    QStringList printed;
    main.PrintFiles = [&printed](const QStringList &files) { printed = files; };
    main.PrintAllFiles();
    EXPECT_EQ(printed, QStringList{mainFile});
}

TEST_F(ProjectMainTest, ProjectMenuEntries)
{
    Main();
    const std::pair<const char *, const char *> entries[] = {
        {"Action20", "&Manual Create"},
        {"ActionProjectOpen", "&Open"},
        {"ActionProjectOpenAll", "O&pen All Files"},
        {"ActionProjectPrintAll", "Prin&t All files"},
        {"ActionProjectIncludeDirs", "&Include Dirs..."},
        {"ActionProjectClose", "&Close Project"},
        {"Action70", "I&nclude Dirs..."},
    };
    for (const auto &[name, caption] : entries) {
        QAction *action = Action(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), caption);
    }
    EXPECT_FALSE(Action("ActionProjectIncludeDirs")->isEnabled());
}

TEST_F(ProjectMainTest, ProjectOpenCommandStartsOnProjectFiles)
{
    File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"));
    Tfkivmain &main = Main();
    m_prompt.Queue(W("pump.pjt"));
    Action("ActionProjectOpen")->trigger();
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].type, TScriptedPrompt::Question::OpenFile);
    EXPECT_EQ(m_prompt.Asked()[0].filterIndex, 6);
    EXPECT_EQ(Pages(), QStringList{W("pump.c")});
    EXPECT_EQ(main.CurrentProject().Name(), "pump");
}

// --- The three uses of the include dialog ----------------------------------------------------

namespace {

// Answers the include dialog: checks its caption and state, adds `add`, sets the check box to
// `check` and saves.
std::function<int(QDialog &)> IncludeAnswer(QString caption, bool initially, QString add, bool check)
{
    return [=](QDialog &d) {
        EXPECT_EQ(d.objectName(), "fkivinc");
        auto *cbox = d.findChild<QCheckBox *>("cbox");
        EXPECT_EQ(cbox->text(), caption);
        EXPECT_EQ(cbox->isChecked(), initially);
        d.findChild<QLineEdit *>("newname")->setText(add);
        d.findChild<QPushButton *>("Add")->click();
        cbox->setChecked(check);
        d.findChild<QPushButton *>("Save")->click();
        return d.result();
    };
}

}  // namespace

TEST_F(ProjectMainTest, GlobalIncludeListAssignedToTheProject)
{
    File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"));
    Tfkivmain &main = Main();
    main.Environment().IncludeDirs = "/g1/;/g2/";
    main.OpenProject(W("pump.pjt"));

    Tfkivinc::ExecHook() = IncludeAnswer("Assign new list to current project", true, "/g3/", true);
    Action("Action70")->trigger();
    EXPECT_EQ(main.Environment().IncludeDirs, "/g1/;/g2/;/g3/;");
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/g1/;/g2/;/g3/;");

    Tfkivinc::ExecHook() = IncludeAnswer("Assign new list to current project", true, "/g4/", false);
    main.EditGlobalIncludeDirs();
    EXPECT_EQ(main.Environment().IncludeDirs, "/g1/;/g2/;/g3/;/g4/;");
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/g1/;/g2/;/g3/;");

    // With no page open the project file is not touched.
    main.CloseAll();
    Tfkivinc::ExecHook() = IncludeAnswer("Assign new list to current project", true, "/g5/", true);
    main.EditGlobalIncludeDirs();
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/g1/;/g2/;/g3/;");
}

TEST_F(ProjectMainTest, ProjectIncludeListAndMakingItTheDefault)
{
    File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n"
                                         "[Directories]\r\nInclude=;;/p1/\r\n"));
    Tfkivmain &main = Main();
    main.Environment().IncludeDirs = "/g/";
    main.OpenProject(W("pump.pjt"));

    Tfkivinc::ExecHook() = IncludeAnswer("Make this list the default for new projects", false,
                                         "/p2/", false);
    main.EditProjectIncludeDirs();
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/p1/;/p2/;");
    EXPECT_EQ(main.Environment().IncludeDirs, "/g/");

    Tfkivinc::ExecHook() = IncludeAnswer("Make this list the default for new projects", false,
                                         "/p3/", true);
    Action("ActionProjectIncludeDirs")->trigger();
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/p1/;/p2/;/p3/;");
    EXPECT_EQ(main.Environment().IncludeDirs, "/p1/;/p2/;/p3/;");

    // Cancel changes nothing.
    Tfkivinc::ExecHook() = [](QDialog &d) {
        d.findChild<QPushButton *>("Delete")->click();
        d.findChild<QPushButton *>("Cancel")->click();
        return d.result();
    };
    main.EditProjectIncludeDirs();
    EXPECT_EQ(TProjectFile(W("pump.pjt")).Includes(), "/p1/;/p2/;/p3/;");
}

TEST_F(ProjectMainTest, ProjectIncludeDirsWithoutAProjectFileCreatesOne)
{
    const QString mainFile = File("blink.asm", "  end\n");
    Tfkivmain &main = Main();
    main.Environment().IncludeDirs = "/g/";
    main.doopenfile(File("scratch.c"), 'R');
    main.doopenfile(mainFile, 'R');
    main.SetProject(mainFile);
    QStringList shown;
    Tfkivinc::ExecHook() = [&shown](QDialog &d) {
        shown << d.objectName();
        EXPECT_EQ(d.findChild<QLineEdit *>("mainfile")->text(), QFileInfo(d.findChild<QLineEdit *>("mainfile")->text()).absoluteFilePath());
        d.findChild<QPushButton *>("Create")->click();
        return d.result();
    };
    main.EditProjectIncludeDirs();
    EXPECT_EQ(shown, QStringList{"fkivmnew"});
    TProjectFile created(W("blink.pjt"));
    ASSERT_TRUE(created.Exists());
    EXPECT_EQ(created.MainFile(), mainFile);
    EXPECT_EQ(created.Includes(), "/g/");
    // The documents were closed and the main file opened as the project.
    EXPECT_EQ(Pages(), QStringList{mainFile});
    EXPECT_EQ(main.CurrentProject().ProjectFile(), W("blink.pjt"));
}

// Manual Create starts with the open project's device.
TEST_F(ProjectMainTest, ManualCreatePreselectsTheProjectsDevice)
{
    TDevicesDatWriter writer;
    ASSERT_TRUE(writer.SetFuseNames({"WDT"}));
    const std::tuple<const char *, int, quint16> devices[] = {
        {"PIC16C74", 1, 0x6C74}, {"PIC16F877A", 1, 0x877A}, {"PIC18F452", 3, 0x452F}};
    for (const auto &[name, kind, id] : devices) {
        DeviceRecord record;
        record.setName(name);
        record.setKind(uint8_t(kind));
        record.setId(id);
        writer.AddRecord(record);
    }
    ASSERT_TRUE(QDir().mkpath(m_tmp.filePath("inst/utils")));
    ASSERT_TRUE(writer.Save(m_tmp.filePath("inst/utils/devices.dat")));
    WriteFile(m_tmp.filePath("inst/dll/QOR.so"), "");
    const QString mainFile = File("pump.c");
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[Target Data]\r\nFileList=pump.c\r\n[PROJECT]\r\nProcessor=0x877A\r\n"));
    Tfkivmain &main = Main();
    ASSERT_EQ(main.OpenProject(W("pump.pjt")), 0);
    QString shown;
    Tfkivinc::ExecHook() = [&shown](QDialog &d) {
        if (auto *target = d.findChild<QComboBox *>("target"))
            shown = target->currentText();
        return int(QDialog::Rejected);
    };
    Action("Action20")->trigger();
    EXPECT_EQ(shown, "PIC16F877A");
}
