// "Compile" in the IDE, offscreen: the main window with the real compiler editions, the
// shipped example project, the compile status window and the pages around a compile.

#include "EditorSyntax.h"
#include "kivcomp.h"
#include "kivdef.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivmain_devices.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uErrorList_model.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "uErrorList.h"
#include "uOutputForm.h"

#include <gtest/gtest.h>

#include <memory>

namespace kiv::test {
namespace {

class IdeCompile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("gpasm").isEmpty())
            GTEST_SKIP() << "gputils is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(m_temp.isValid());
        root = m_temp.path() + "/";
        WriteFile(root + "bin/kiv", "");
        QDir().mkpath(root + "dll");
        for (const char *code : {"QEL", "QOR", "QAN"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_EDITION_DIR "/") + code + ".so",
                                    root + "dll/" + code + ".so"))
                << code;
        project = root + "examples/blink/";
        QDir().mkpath(project);
        for (const char *file : {"blink.asm", "blink.pjt"})
            ASSERT_TRUE(QFile::copy(SourceDir() + "/data/examples/blink/" + file, project + file));
        QDir().mkpath(root + "home");
        // No timed display after the compile: nothing waits.
        WriteFile(root + "home/kiv.ini", "[fileformats]\r\nstayupne=0\r\nstayupoe=0\r\n");
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", (root + "home").toUtf8());
        SetExecutablePathForDirs(root + "bin/kiv");
    }

    void TearDown() override
    {
        main.reset();
        if (!m_oldHome.isNull())
            qputenv("HOME", m_oldHome);
        SetExecutablePathForDirs(QString());
    }

    Tfkivmain &Main()
    {
        if (!main) {
            main = std::make_unique<Tfkivmain>(TCommandLine{});
            main->show();
        }
        return *main;
    }

    void Compile()
    {
        QAction *compile = Main().findChild<QAction *>("ActionCompile");
        ASSERT_NE(compile, nullptr);
        EXPECT_EQ(compile->shortcut(), QKeySequence(Qt::Key_F9));
        compile->trigger();
    }

    QStringList MissingOutputs() const
    {
        QStringList missing;
        for (const char *ext : {".err", ".hex", ".lst", ".sym", ".cod", ".cof", ".tre", ".sta"})
            if (!QFileInfo(project + "blink" + ext).isFile())
                missing << ext;
        return missing;
    }

    QTemporaryDir m_temp;
    QByteArray m_oldHome;
    QString root;
    QString project;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    std::unique_ptr<Tfkivmain> main;
};

TEST_F(IdeCompile, TheSelectionBoxListsTheInstalledEditionsAndPreSelectsTheSecond)
{
    auto *box = Main().findChild<QComboBox *>("compilertype");
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), "Microchip 12 bit");
    EXPECT_EQ(box->itemText(2), "Microchip PIC18");
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(Main().InstalledCompilerCount(), 3);
    box->setCurrentIndex(2);
    EXPECT_EQ(Main().CompileParts()->Compilers.SelectedCode(), "QAN");
    Main().SelectCompiler(0);
    EXPECT_EQ(box->currentText(), "Microchip 12 bit");
    // The project's OptionString "+FM" selects the 14-bit edition.
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    EXPECT_EQ(box->currentText(), "Microchip 14 bit");
}

TEST_F(IdeCompile, TheStoredIndexOverridesThePreSelection)
{
    WriteFile(root + "home/kiv.ini", "[compiler]\r\nindex=2\r\n");
    Main().FormShow();
    EXPECT_EQ(Main().findChild<QComboBox *>("compilertype")->currentIndex(), 2);
}

TEST_F(IdeCompile, TheExampleCompilesCleanAndWritesEveryOutputFile)
{
    TIniFile(project + "blink.pjt").WriteString("PROJECT", "Processor", "0x0000");
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    Compile();
    EXPECT_TRUE(prompt.Asked().empty()) << prompt.Messages().join('\n').toStdString();
    EXPECT_EQ(MissingOutputs(), QStringList());
    EXPECT_EQ(Main().ErrorList().Selected(), -1) << Main().ErrorList().Lines().join('\n').toStdString();
    EXPECT_GT(Main().ErrorList().Count(), 0);
    EXPECT_EQ(TIniFile(project + "blink.pjt").ReadString("PROJECT", "Processor"), "0x877A");
    EXPECT_EQ(Main().Environment().RecentProjects.Slot(0), project + "blink.pjt");
    EXPECT_FALSE(Main().CompileErrorShown());
    Tfkivcomp *status = Main().CompileParts()->StatusWindow;
    EXPECT_FALSE(status->isVisible());
    EXPECT_TRUE(status->windowTitle().startsWith("VYN QOR C Compiler, Version"));
    EXPECT_TRUE(Main().findChild<QAction *>("ActionCompile")->isEnabled());
}

TEST_F(IdeCompile, AnErrorTakesTheCaretToItsLineAndShowsItInTheStatusBar)
{
    WriteFile(project + "blink.asm", "        list p=16f877a\n"
                                     "#include <p16f877a.inc>\n"
                                     "        org 0\n"
                                     "start   movlw 1\n"
                                     "        bogus 3\n"
                                     "        goto start\n"
                                     "        end\n");
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    Compile();
    TKivNotebook *notebook = Main().Notebook();
    TOvcTextFileEditorSyntax *editor = notebook->Editor(notebook->CurrentPage());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(QFileInfo(editor->FileName()).fileName(), "blink.asm");
    EXPECT_EQ(editor->SelectionStart().line, 5);
    EXPECT_TRUE(editor->SelectedText().contains("bogus")) << editor->SelectedText().toStdString();
    EXPECT_TRUE(Main().CompileErrorShown());
    QLabel *panel = Main().StatusPanel(2);
    EXPECT_FALSE(panel->text().isEmpty());
    EXPECT_TRUE(panel->styleSheet().contains("red"));
    EXPECT_EQ(TIniFile(project + "blink.pjt").ReadString("PROJECT", "Processor"), "0x877A");
    // The next caret move ends the error display.
    editor->SetCaretPos(TextPos{1, 1});
    EXPECT_FALSE(Main().CompileErrorShown());
    EXPECT_TRUE(panel->styleSheet().isEmpty());
}

TEST_F(IdeCompile, OutputPagesAreReleasedAndShowTheNewFilesAfterwards)
{
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    Compile();
    ASSERT_EQ(MissingOutputs(), QStringList());
    const int list = Main().doopenreadonly(project + "blink.lst", "blink.lst (C/ASM)", 'A');
    ASSERT_GE(list, 0);
    TKivNotebook *notebook = Main().Notebook();
    const int pages = notebook->PageCount();
    // A new instruction changes the listing.
    QByteArray source = ReadFile(project + "blink.asm");
    const int at = source.indexOf("\n", source.indexOf("org"));
    ASSERT_GT(at, 0);
    source.insert(at + 1, "        nop\n");
    WriteFile(project + "blink.asm", source);
    Compile();
    EXPECT_EQ(notebook->PageCount(), pages);
    const int again = Main().FindPage(project + "blink.lst");
    ASSERT_GE(again, 0);
    EXPECT_EQ(notebook->Editor(again)->text().toUtf8(), ReadFile(project + "blink.lst"));
    // Its stamp was refreshed: the disk change check asks only about the source the test
    // changed behind the editor's back.
    prompt.ClearAsked();
    Main().CheckDiskChanges();
    for (const QString &question : prompt.Messages())
        EXPECT_FALSE(question.contains("blink.lst")) << question.toStdString();
}

TEST_F(IdeCompile, GlobalDefinesReachTheAssemblerWhileEnabled)
{
    WriteFile(project + "blink.asm", "        list p=16f877a\n"
                                     "#include <p16f877a.inc>\n"
                                     "        ifndef KIVDEF\n"
                                     "        error \"KIVDEF is not defined\"\n"
                                     "        endif\n"
                                     "        if LEVEL != 3\n"
                                     "        error \"LEVEL is not 3\"\n"
                                     "        endif\n"
                                     "reset   code 0x0000\n"
                                     "        goto $\n"
                                     "        end\n");
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    // Options "Global Defines...": two defines, one without a value, then "Enabled".
    Main().findChild<QAction *>("Action68")->trigger();
    Tfkivdef *defines = Main().DeviceParts()->DefinesWindow();
    ASSERT_TRUE(defines->isVisible());
    defines->Grid()->item(0, 0)->setText("KIVDEF");
    defines->Grid()->item(1, 0)->setText("LEVEL");
    defines->Grid()->item(1, 1)->setText("3");
    Compile();
    EXPECT_GE(Main().ErrorList().Selected(), 0) << "not enabled: the defines must not reach the compile";

    defines->EnabledBox()->setChecked(true);
    EXPECT_EQ(Main().CompileParts()->GlobalDefines(), "KIVDEF=\tLEVEL=3\t");
    Compile();
    EXPECT_EQ(Main().ErrorList().Selected(), -1) << Main().ErrorList().Lines().join('\n').toStdString();
    EXPECT_EQ(MissingOutputs(), QStringList());
}

// 200 errors under the default "Standard" error file: the list shows the first and its last
// line says how many more there are and which options list them; with those options every
// message reaches the list.
TEST_F(IdeCompile, AListOfOneErrorSaysHowManyMoreThereAreAndHowToSeeThem)
{
    QByteArray source = "        list p=16f877a\n";
    for (int n = 0; n < 200; ++n)
        source += "        bogus " + QByteArray::number(n) + "\n";
    source += "        end\n";
    WriteFile(project + "blink.asm", source);
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    Compile();
    const QStringList &lines = Main().ErrorList().Lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.first().startsWith("*** Error"));
    EXPECT_TRUE(lines.last().startsWith("200 Errors, 0 Warnings; 199 more errors are not listed"))
        << lines.last().toStdString();
    EXPECT_TRUE(lines.last().contains("\"Multi-Lines\" with \"Show All errors\""));

    Main().CompileParts()->Options.errorFormat = 2;
    Main().CompileParts()->Options.allErrors = true;
    Compile();
    int errors = 0;
    for (const QString &line : Main().ErrorList().Lines())
        errors += line.startsWith("*** Error");
    EXPECT_EQ(errors, 200);
}

// A compile that ends with messages brings the Output window back after Escape closed it.
TEST_F(IdeCompile, ErrorsBringTheOutputWindowBackAfterEscapeClosedIt)
{
    WriteFile(project + "blink.asm", "        list p=16f877a\n        bogus 1\n        end\n");
    Main().FormShow();
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    TOutputForm *output = Main().OutputForm();
    ASSERT_NE(output, nullptr);
    output->ShowTab(TOutputForm::otCompiler);
    ASSERT_TRUE(output->isVisible());
    TKivNotebook *pages = Main().Notebook();
    QTest::keyClick(pages->Editor(pages->CurrentPage()), Qt::Key_Escape);
    ASSERT_FALSE(output->isVisible());
    Compile();
    EXPECT_TRUE(output->isVisible());
    EXPECT_EQ(output->Tab(), int(TOutputForm::otCompiler));
    // The error's editor has the keyboard (the window system tells of the activation a moment
    // after the status window went away).
    for (int wait = 0; wait < 50 && QApplication::activeWindow() != &Main(); ++wait)
        QTest::qWait(20);
    TKivNotebook *notebook = Main().Notebook();
    EXPECT_EQ(QApplication::focusWidget(), notebook->Editor(notebook->CurrentPage()));
}

// A project folder that cannot be written is said to be so, with the reason, before anything
// is compiled.
TEST_F(IdeCompile, AFolderThatCannotBeWrittenIsReportedBeforeTheCompile)
{
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    // Immutable for root (the tester's "Operation not permitted"), read-only for anyone else.
    const bool immutable = QProcess::execute("chattr", {"+i", project}) == 0;
    if (!immutable)
        QFile::setPermissions(project, QFile::ReadOwner | QFile::ExeOwner);
    auto restore = qScopeGuard([&] {
        if (immutable)
            QProcess::execute("chattr", {"-i", project});
        QFile::setPermissions(project, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (FolderWriteProblem(project).isEmpty())
        GTEST_SKIP() << "this user can write every folder (no chattr): nothing to report";
    prompt.ClearAsked();
    Compile();
    ASSERT_EQ(prompt.Messages().size(), 1) << prompt.Messages().join('\n').toStdString();
    const QString message = prompt.Messages().first();
    EXPECT_TRUE(message.startsWith("The project folder " + QDir(project).absolutePath()
                                   + " cannot be written ("))
        << message.toStdString();
    EXPECT_TRUE(message.contains(immutable ? "Operation not permitted" : "Permission denied"))
        << message.toStdString();
    EXPECT_FALSE(message.contains(".err"));
    EXPECT_TRUE(Main().CompileParts()->Controller->LastCompileFailed());
}

// The compile runs beside the interface: a compile that never ends leaves the window working,
// and the status window's Stop button ends it.
TEST_F(IdeCompile, F9OnACompileThatNeverEndsKeepsTheWindowWorkingAndStopEndsIt)
{
    // The script-replaying edition in place of the real one: it reports every 20 ms and runs
    // until it is told to stop (10 s at most).
    QFile::remove(root + "dll/QOR.so");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_TEST_COMPILER), root + "dll/QOR.so"));
    const QString main = project + "main.c";
    WriteFile(main, "void main() {}\n");
    WriteFile(project + "main.script", "hang\nerr *** Error 20 \"" + main.toUtf8()
                                           + "\" Line 1: The compile was stopped\n");
    ASSERT_GE(Main().doopenfile(main, 'R'), 0);
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    TOvcTextFileEditorSyntax *editor = Main().Notebook()->Editor(0);
    ASSERT_NE(editor, nullptr);
    editor->setFocus();

    bool running = false;
    bool stopEnabled = false;
    QTimer::singleShot(300, &Main(), [&] {
        running = Main().CompileRunning();
        // Typing still reaches the editor while the compiler works.
        QTest::keyClicks(editor, "abc");
        auto *stop = Main().CompileParts()->StatusWindow->findChild<QPushButton *>("stopbutton");
        ASSERT_NE(stop, nullptr);
        stopEnabled = stop->isEnabled();
        QTest::mouseClick(stop, Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(editor, Qt::Key_F9);
    EXPECT_TRUE(running);
    EXPECT_TRUE(stopEnabled);
    EXPECT_TRUE(editor->text().contains("abc")) << editor->text().toStdString();
    EXPECT_LT(clock.elapsed(), 8000) << "the compile was not stopped";
    EXPECT_TRUE(QString::fromUtf8(ReadFile(project + "main.calls")).contains("hang=stopped"));
    EXPECT_FALSE(Main().CompileRunning());
    EXPECT_TRUE(Main().CompileParts()->Controller->LastCompileStopped());
    EXPECT_EQ(Main().StatusPanel(2)->text(), "The compile was stopped.");
    EXPECT_TRUE(Main().findChild<QAction *>("ActionCompile")->isEnabled());
    EXPECT_TRUE(Main().ErrorList().Line(0).contains("The compile was stopped"));
}

TEST_F(IdeCompile, ClosingTheWindowDuringACompileStopsItAndClosesAfterwards)
{
    QFile::remove(root + "dll/QOR.so");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_TEST_COMPILER), root + "dll/QOR.so"));
    const QString main = project + "main.c";
    WriteFile(main, "void main() {}\n");
    WriteFile(project + "main.script", "hang\nerr No Errors\n");
    ASSERT_GE(Main().doopenfile(main, 'R'), 0);
    bool stillOpen = false;
    QTimer::singleShot(200, &Main(), [&] {
        Main().close();
        stillOpen = Main().isVisible();
    });
    Compile();
    EXPECT_TRUE(stillOpen) << "the window closed under a running compile";
    EXPECT_TRUE(QString::fromUtf8(ReadFile(project + "main.calls")).contains("hang=stopped"));
    for (int i = 0; i < 50 && Main().isVisible(); ++i)
        QTest::qWait(100);
    EXPECT_FALSE(Main().isVisible());
}

}  // namespace
}  // namespace kiv::test
