// The Output window after real compiles in the IDE, offscreen: the real 14-bit edition (gpasm
// and gplink behind it) fills the error list, a double click leads to the reported columns, and
// the message and keyword help open the installed help pages.

#include "EditorSyntax.h"
#include "kivhelpwin.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivmain_output.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uDockingLib.h"
#include "uErrorList_model.h"
#include "uOutputForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QMenu>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace kiv::test {
namespace {

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool CopyFolder(const QString &from, const QString &to)
{
    for (QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        const QString target = to + '/' + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(file, target))
            return false;
    }
    return true;
}

/// A source whose error lies far below the first screen: an undefined symbol on line 74 and an
/// operand out of range (a warning) on line 75, with enough lines after them for the view to
/// put line 74 10 lines below its top.
QByteArray SourceWithAnErrorOffscreen()
{
    QByteArray text = "        list    p=16f877a\r\n"
                      "        #include <p16f877a.inc>\r\n"
                      "        code\r\n";
    for (int i = 0; i < 69; ++i)
        text += "        nop\r\n";
    text += "start   movlw   1\r\n";               // line 73
    text += "        movwf   PORTX\r\n";           // line 74
    text += "        movlw   0x1FF\r\n";           // line 75
    for (int i = 0; i < 60; ++i)
        text += "        nop\r\n";
    text += "        goto    start\r\n"
            "        end\r\n";
    return text;
}

class OutputAfterCompile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("gpasm").isEmpty())
            GTEST_SKIP() << "gputils is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(m_temp.isValid());
        root = m_temp.path() + "/";
        // The staged installation's edition library, as the build installs it.
        const QString edition = BuildDir() + "/stage/dll/QOR.so";
        ASSERT_TRUE(QFileInfo(edition).isFile()) << edition.toStdString();
        WriteFile(root + "bin/kiv", "");
        QDir().mkpath(root + "dll");
        ASSERT_TRUE(QFile::copy(edition, root + "dll/QOR.so"));
        ASSERT_TRUE(CopyFolder(SourceDir() + "/data/lumo/vync.help", root + "lumo/vync.help"));
        project = root + "work/blink/";
        QDir().mkpath(project);
        ASSERT_TRUE(QFile::copy(SourceDir() + "/data/examples/blink/blink.pjt",
                                project + "blink.pjt"));
        ASSERT_TRUE(WriteFile(project + "blink.asm", SourceWithAnErrorOffscreen()));
        QDir().mkpath(root + "home");
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

    /// Error file "Multi-Lines" with every error and warning, or "Standard"; nothing waits.
    void Settings(bool multiLines)
    {
        WriteFile(root + "home/kiv.ini",
                  QByteArray("[fileformats]\r\nstayupne=0\r\nstayupoe=0\r\n")
                      + (multiLines ? "error=2\r\nallerrors=1\r\nallwarnings=1\r\n"
                                    : "error=1\r\n"));
    }

    Tfkivmain &Main()
    {
        if (!main) {
            main = std::make_unique<Tfkivmain>(TCommandLine{});
            main->FormShow();
            main->showNormal();
            main->resize(1000, 700);
            Settle();
        }
        return *main;
    }

    void OpenAndCompile()
    {
        ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
        Main().findChild<QAction *>("ActionCompile")->trigger();
        Settle();
    }

    void DoubleClick(QListWidget *list, int row)
    {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, rect.center(),
                                list->viewport()->mapToGlobal(rect.center()), Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &doubleClick);
        Settle();
    }

    TOvcTextFileEditorSyntax *CurrentEditor()
    {
        TKivNotebook *notebook = Main().Notebook();
        return notebook->Editor(notebook->CurrentPage());
    }

    /// The page the help window shows, relative to the help folder, with its anchor.
    QString HelpShown()
    {
        Tfkivhelpwin *window = Main().OutputParts()->HelpWindow;
        const QUrl url = window->Source();
        if (!window->isVisible() || url.isEmpty())
            return {};
        QString page = QDir(root + "lumo/vync.help").relativeFilePath(url.toLocalFile());
        if (url.hasFragment())
            page += '#' + url.fragment();
        return page;
    }

    QTemporaryDir m_temp;
    QByteArray m_oldHome;
    QString root;
    QString project;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    std::unique_ptr<Tfkivmain> main;
};

TEST_F(OutputAfterCompile, DoubleClickingTheFirstErrorSelectsTheReportedColumnsInTheSource)
{
    Settings(true);
    OpenAndCompile();
    TOutputForm *output = Main().OutputForm();
    // Multi-Lines with warnings shows the Output window on the error list.
    EXPECT_TRUE(Main().DockingLib()->IsDockedFormShowing(output));
    EXPECT_EQ(output->Tab(), 0);
    TErrorList *errors = output->ErrorList();
    ASSERT_GE(errors->count(), 3) << Main().ErrorList().Lines().join('\n').toStdString();
    // The first error is selected, in the model and in the list.
    const int first = Main().ErrorList().Selected();
    ASSERT_EQ(first, 0);
    EXPECT_EQ(errors->currentRow(), first);
    const QString line = errors->item(first)->text();
    EXPECT_TRUE(line.startsWith("*** Error 11 \"" + project + "blink.asm\" Line 74(")) << line.toStdString();
    const std::optional<TMessagePosition> reported = ParseMessageLine(line);
    ASSERT_TRUE(reported);

    // Move away from the error first: another page is current, the source scrolled to the top.
    TOvcTextFileEditorSyntax *source = CurrentEditor();
    ASSERT_NE(source, nullptr);
    source->SetCaretPos(TextPos{1, 1});
    source->setFirstVisibleLine(0);
    ASSERT_GE(Main().doopenfile(project + "blink.pjt", 'T'), 0);

    DoubleClick(errors, first);
    TOvcTextFileEditorSyntax *editor = CurrentEditor();
    ASSERT_EQ(editor, source);
    EXPECT_EQ(editor->SelectionStart(), (TextPos{74, reported->startColumn}));
    EXPECT_EQ(editor->SelectionEnd(), (TextPos{74, reported->endColumn}));
    EXPECT_EQ(editor->SelectedText(), "PORTX");
    // The line stands 10 lines below the top of the view.
    EXPECT_EQ(editor->firstVisibleLine(), 74 - 1 - 10);
    EXPECT_EQ(Main().focusWidget(), editor);
}

TEST_F(OutputAfterCompile, AWarningLineSelectsItsWholeLineAndOpensTheWarningsHelp)
{
    Settings(true);
    OpenAndCompile();
    TErrorList *errors = Main().OutputForm()->ErrorList();
    int warning = -1;
    for (int row = 0; row < errors->count(); ++row)
        if (errors->item(row)->text().startsWith(">>> Warning 200"))
            warning = row;
    ASSERT_GE(warning, 0) << Main().ErrorList().Lines().join('\n').toStdString();

    errors->setCurrentRow(warning);
    QMenu *menu = Main().OutputForm()->PopupMenuErrorList();
    menu->actions()[0]->trigger();   // "Find Source Line"
    Settle();
    TOvcTextFileEditorSyntax *editor = CurrentEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->SelectionStart(), (TextPos{75, 1}));
    EXPECT_EQ(editor->SelectionEnd(), (TextPos{75, editor->LineLength(75) + 1}));

    menu->actions()[1]->trigger();   // "Help on this message"
    Settle();
    EXPECT_EQ(HelpShown(), "Warnings/Warnings.htm#W200");
    errors->setCurrentRow(0);
    menu->actions()[1]->trigger();
    Settle();
    EXPECT_EQ(HelpShown(), "Error_Messages/Errors.htm#E11");
}

TEST_F(OutputAfterCompile, ACleanCompileWithWarningsShowsTheClosedOutputWindow)
{
    Settings(true);
    WriteFile(project + "blink.asm", "        list    p=16f877a\r\n"
                                     "        code\r\n"
                                     "start   movlw   0x1FF\r\n"
                                     "        goto    start\r\n"
                                     "        end\r\n");
    Main().OutputForm()->close();
    Settle();
    ASSERT_FALSE(Main().DockingLib()->IsDockedFormShowing(Main().OutputForm()));
    OpenAndCompile();
    EXPECT_EQ(Main().ErrorList().Selected(), -1);
    EXPECT_TRUE(Main().DockingLib()->IsDockedFormShowing(Main().OutputForm()));
    EXPECT_TRUE(Main().OutputForm()->ErrorList()->item(0)->text().startsWith(">>> Warning 200"));
}

TEST_F(OutputAfterCompile, KeywordHelpFollowsTheErrorStatusThenTheWordAtTheCaret)
{
    Settings(false);
    OpenAndCompile();
    ASSERT_TRUE(Main().CompileErrorShown());
    Main().KeywordHelp();
    EXPECT_EQ(HelpShown(), "Error_Messages/Errors.htm#E11");
    Main().LastErrorHelp();
    EXPECT_EQ(HelpShown(), "Error_Messages/Errors.htm#E11");

    // The caret moves: the error display ends, and F1 looks up the word at the caret.
    TOvcTextFileEditorSyntax *editor = CurrentEditor();
    ASSERT_NE(editor, nullptr);
    editor->SetCaretPos(TextPos{2, 12});   // inside "#include"
    ASSERT_FALSE(Main().CompileErrorShown());
    Main().KeywordHelp();
    EXPECT_EQ(HelpShown(), "_include.htm");
}

TEST_F(OutputAfterCompile, ChoosingTheScenixEditionSwitchesToItsHelpFile)
{
    // The SX edition is listed when its library is there; this one is never called.
    ASSERT_TRUE(QFile::copy(root + "dll/QOR.so", root + "dll/MAZ.so"));
    Settings(false);
    auto *box = Main().findChild<QComboBox *>("compilertype");
    ASSERT_NE(box, nullptr);
    const int scenix = box->findText("Scenix SX");
    ASSERT_GE(scenix, 0);
    THelpLookup &help = Main().OutputParts()->Help;
    // With two editions the second, the SX edition, is selected from the start.
    ASSERT_EQ(box->currentIndex(), scenix);
    EXPECT_EQ(help.HelpFile(), root + "lumo/maz.hlp");
    EXPECT_FALSE(help.HtmlHelp());
    box->setCurrentIndex(box->findText("Microchip 14 bit"));
    EXPECT_EQ(help.HelpFile(), root + "lumo/vync.help/");
    EXPECT_TRUE(help.HtmlHelp());
    box->setCurrentIndex(scenix);
    EXPECT_EQ(help.HelpFile(), root + "lumo/maz.hlp");
    // The old-style file has no viewer: F1 says so instead of showing a page.
    prompt.ClearAsked();
    Main().KeywordHelp();
    ASSERT_EQ(prompt.Messages().size(), 1);
    EXPECT_TRUE(prompt.Messages()[0].contains("maz.help/")) << prompt.Messages()[0].toStdString();
}

TEST_F(OutputAfterCompile, GoToPositionKeepsToTheTextAndToEditorPages)
{
    Settings(false);
    ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
    const int page = Main().FindPage(project + "blink.asm");
    ASSERT_GE(page, 0);
    TOvcTextFileEditorSyntax *editor = Main().Notebook()->Editor(page);

    Main().GoToPosition(page, 5, 9, 12);
    EXPECT_EQ(editor->SelectedText(), "nop");
    EXPECT_EQ(editor->firstVisibleLine(), 0);

    editor->SetCaretPos(TextPos{3, 1});
    Main().GoToPosition(page, 9999, 1, 4);   // beyond the end: nothing is selected
    EXPECT_FALSE(editor->HasSelection());
    Main().GoToPosition(page, 0, -1, -1);
    EXPECT_FALSE(editor->HasSelection());
    Main().GoToPosition(-1, 3, 1, 2);         // no such page: nothing happens
    Main().GoToPosition(page, 3, -1, -1);     // the whole line
    EXPECT_EQ(editor->SelectedText(), "        code");
}

}  // namespace
}  // namespace kiv::test
