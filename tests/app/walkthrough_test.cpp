// What a new user meets in the main window, driven with real key events: the keyboard after a
// question, Escape on "Save changes", the modified mark, Undo, Goto Line, Enter in the Output
// window's lists, keyword help, the help window, pages of equal names and the editor font.

#include "EditorColoring.h"
#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "SyntaxLexer.h"
#include "kivhelpwin.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivmain_output.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "kivproject.h"
#include "kivstartup.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uErrorList.h"
#include "uErrorList_model.h"
#include "uFindResultsList.h"
#include "uOutputForm.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputDialog>
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::SourceDir;
using kiv::test::WriteFile;

namespace {

class Walkthrough : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        root = m_tmp.path() + "/";
        WriteFile(root + "inst/bin/kiv", "");
        QDir().mkpath(root + "inst/dll");
        QDir().mkpath(root + "inst/lumo");
        QDir().mkpath(root + "home");
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", (root + "home").toUtf8());
        SetExecutablePathForDirs(root + "inst/bin/kiv");
    }

    void TearDown() override
    {
        // Nothing may be left to ask while the window goes away.
        if (m_session) {
            TKivNotebook *pages = m_session->main->Notebook();
            for (int i = 0; i < pages->PageCount(); ++i) {
                if (TOvcTextFileEditorSyntax *editor = pages->Editor(i))
                    editor->ClearModified();
            }
        }
        m_session.reset();
        SetPrompt(nullptr);
        qputenv("HOME", m_oldHome);
        SetExecutablePathForDirs(QString());
    }

    /// The main window, started as the program starts it (real questions, editor properties,
    /// help), shown and active.
    Tfkivmain &Main()
    {
        if (!m_session) {
            m_session = KivStart(TCommandLine{});
            m_session->main->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_session->main.get()));
        }
        return *m_session->main;
    }

    /// The shipped help set in the installation, as setup installs it.
    void InstallHelp()
    {
        const QString help = SourceDir() + "/data/lumo/vync.help";
        QDir().mkpath(root + "inst/lumo/vync.help");
        for (const QString &name : QDir(help).entryList(QDir::Files))
            QFile::copy(help + "/" + name, root + "inst/lumo/vync.help/" + name);
    }

    QString File(const QString &name, const QByteArray &data)
    {
        EXPECT_TRUE(WriteFile(root + name, data));
        return root + name;
    }

    /// Opens `path` and gives its editor the keyboard.
    TOvcTextFileEditorSyntax *Open(const QString &path)
    {
        const int index = Main().doopenfile(path, 'R');
        EXPECT_GE(index, 0);
        TOvcTextFileEditorSyntax *editor = Main().Notebook()->Editor(index);
        if (editor) {
            editor->setFocus();
            QApplication::processEvents();
        }
        return editor;
    }

    /// Runs `answer` on the first modal window that comes up while `action` runs; a watchdog
    /// closes a window that `answer` left open.
    void WhenAsked(const std::function<void()> &action, const std::function<void(QWidget *)> &answer)
    {
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || answered)
                return;
            answered = true;
            answer(modal);
            QTimer::singleShot(3000, modal, [modal] {
                if (modal->isVisible())
                    modal->close();
            });
        });
        poll.start(20);
        action();
        poll.stop();
        EXPECT_TRUE(answered) << "no question came up";
    }

    QTemporaryDir m_tmp;
    QString root;
    QByteArray m_oldHome;
    std::unique_ptr<TKivSession> m_session;
};

QByteArray Lines(int count)
{
    QByteArray text;
    for (int n = 1; n <= count; ++n)
        text += "int line" + QByteArray::number(n) + ";\n";
    return text;
}

// Ctrl+G, a number and Enter: the caret goes there, the line stands in the middle of the view,
// and every shortcut works at once, Ctrl+S included.
TEST_F(Walkthrough, AfterGotoLineTheKeyboardIsTheEditorsAgain)
{
    const QString path = File("w/long.c", Lines(200));
    TOvcTextFileEditorSyntax *editor = Open(path);
    ASSERT_NE(editor, nullptr);
    editor->SetCaretPos(TextPos{5, 1});
    int shownValue = -1;
    QString selected;
    WhenAsked([&] { QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier); },
              [&](QWidget *modal) {
                  auto *box = modal->findChild<QSpinBox *>();
                  ASSERT_NE(box, nullptr);
                  QApplication::processEvents();
                  shownValue = box->value();
                  auto *edit = box->findChild<QLineEdit *>();
                  ASSERT_NE(edit, nullptr);
                  selected = edit->selectedText();
                  QTest::keyClicks(QApplication::focusWidget(), "120");
                  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
              });
    // The question starts at the caret's line, selected, so typing replaces it.
    EXPECT_EQ(shownValue, 5);
    EXPECT_EQ(selected, "5");
    EXPECT_EQ(editor->CaretPos().line, 120);
    const int onScreen = int(editor->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN));
    const int top = editor->firstVisibleLine() + 1;
    EXPECT_LE(std::abs(120 - (top + onScreen / 2)), 1) << "top " << top << ", lines " << onScreen;

    // The window system tells of the activation a moment later.
    for (int wait = 0; wait < 50 && QApplication::activeWindow() != &Main(); ++wait)
        QTest::qWait(20);
    EXPECT_EQ(QApplication::activeWindow(), &Main());
    ASSERT_EQ(QApplication::focusWidget(), editor);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(ReadFile(path).contains("xint line120;")) << "Ctrl+S did not save";
}

// A dialog closed with Escape gives the keyboard back to the main window: its menu keys work.
TEST_F(Walkthrough, AfterADialogTheMainWindowHasTheKeyboard)
{
    const QString path = File("w/dialog.c", "int a;\n");
    TOvcTextFileEditorSyntax *editor = Open(path);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_X);
    WhenAsked([&] { Main().findChild<QAction *>("EditorProperties")->trigger(); },
              [&](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    for (int wait = 0; wait < 50 && QApplication::activeWindow() != &Main(); ++wait)
        QTest::qWait(20);
    EXPECT_EQ(QApplication::activeWindow(), &Main());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &Main(), Qt::Key_S,
                    Qt::ControlModifier);
    EXPECT_EQ(ReadFile(path), "xint a;\n");
}

// Escape on "Save changes to" keeps the window, the page and the text: only Yes and No decide.
TEST_F(Walkthrough, EscapeOnSaveChangesLosesNothing)
{
    const struct {
        const char *name;
        std::function<void(Walkthrough &, TOvcTextFileEditorSyntax *)> close;
    } cases[] = {
        {"the window", [](Walkthrough &t, TOvcTextFileEditorSyntax *) { t.Main().close(); }},
        {"the page (Ctrl+F4)",
         [](Walkthrough &, TOvcTextFileEditorSyntax *editor) {
             QTest::keyClick(editor, Qt::Key_F4, Qt::ControlModifier);
         }},
        {"Close All", [](Walkthrough &t, TOvcTextFileEditorSyntax *) {
             t.Main().findChild<QAction *>("ActionFileCloseAll")->trigger();
         }},
    };
    const QString path = File("w/keep.c", "int kept;\n");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TOvcTextFileEditorSyntax *editor = Open(path);
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, "new ");
        ASSERT_TRUE(editor->Modified());
        QString question;
        QStringList buttons;
        WhenAsked([&] { c.close(*this, editor); },
                  [&](QWidget *modal) {
                      auto *box = qobject_cast<QMessageBox *>(modal);
                      ASSERT_NE(box, nullptr);
                      question = box->text();
                      for (QAbstractButton *button : box->buttons()) {
                          if (button->isVisible())
                              buttons << button->text().remove('&');
                      }
                      QTest::keyClick(box, Qt::Key_Escape);
                  });
        EXPECT_EQ(question, "Save changes to " + path);
        EXPECT_EQ(buttons, QStringList({"Yes", "No"}));
        EXPECT_TRUE(Main().isVisible());
        ASSERT_EQ(Main().Notebook()->PageCount(), 1);
        EXPECT_TRUE(Main().Notebook()->Editor(0)->text().startsWith("new int kept;"));
        EXPECT_TRUE(Main().Notebook()->Editor(0)->Modified());
        EXPECT_EQ(ReadFile(path), "int kept;\n");
        Main().Notebook()->Editor(0)->ClearModified();
        Main().CloseAll();
    }
}

// With "Auto highlight brackets" on, the caret moved next to a bracket with the arrow keys shows
// the pair in the brace colours (lime behind them in the default colours).
TEST_F(Walkthrough, TheCaretBesideABracketHighlightsThePair)
{
    TOvcTextFileEditorSyntax *editor = Open(File("w/brace.c", "int f(int a)\n{\n    return (a);\n}\n"));
    ASSERT_NE(editor, nullptr);
    editor->SetCaretPos(TextPos{1, 1});
    auto limePixels = [editor] {
        const QImage image = editor->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == QColor(0, 255, 0);
        }
        return count;
    };
    EXPECT_EQ(limePixels(), 0);
    // Right five times: the caret stands before "(" of "f(".
    for (int n = 0; n < 5; ++n)
        QTest::keyClick(editor, Qt::Key_Right);
    EXPECT_TRUE(editor->HighlightActive());
    EXPECT_EQ(editor->HighlightFirst(), (TextPos{1, 6}));
    EXPECT_EQ(editor->HighlightPartner(), (TextPos{1, 12}));
    EXPECT_GT(limePixels(), 0) << "the pair is not drawn";
    // Down to "{" on line 2: its partner on line 4.
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_TRUE(editor->HighlightActive());
    EXPECT_EQ(editor->HighlightPartner(), (TextPos{4, 1}));
}

// The tab shows unsaved changes; Undo is there only when there is something to undo.
TEST_F(Walkthrough, TheTabMarksUnsavedChangesAndUndoWaitsForAChange)
{
    const QString path = File("w/mark.c", "int a;\n");
    TOvcTextFileEditorSyntax *editor = Open(path);
    ASSERT_NE(editor, nullptr);
    QAction *undo = Main().findChild<QAction *>("ActionEditUndo");
    ASSERT_NE(undo, nullptr);
    Main().IdleUpdate();
    EXPECT_FALSE(undo->isEnabled()) << "nothing to undo yet";
    EXPECT_EQ(Main().Notebook()->tabText(0), "mark.c");

    QTest::keyClick(editor, Qt::Key_B);
    Main().IdleUpdate();
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(Main().Notebook()->tabText(0), "*mark.c");

    QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadFile(path), "bint a;\n");
    EXPECT_EQ(Main().Notebook()->tabText(0), "mark.c");
    EXPECT_EQ(Main().Notebook()->Caption(0), "mark.c");
}

// Two files of the same name in different folders show enough of their folders to tell them
// apart; the mark of changes comes first.
TEST_F(Walkthrough, PagesOfTheSameNameShowTheirFolders)
{
    const QString original = File("examples/blink/blink.asm", "; original\n");
    const QString copy = File("work/blink/blink.asm", "; copy\n");
    const QString other = File("work/other.asm", "; other\n");
    Open(original);
    TOvcTextFileEditorSyntax *second = Open(copy);
    Open(other);
    TKivNotebook *pages = Main().Notebook();
    EXPECT_EQ(pages->tabText(0), "examples/blink/blink.asm");
    EXPECT_EQ(pages->tabText(1), "work/blink/blink.asm");
    EXPECT_EQ(pages->tabText(2), "other.asm");
    QTest::keyClick(second, Qt::Key_X);
    EXPECT_EQ(pages->tabText(1), "*work/blink/blink.asm");
    second->ClearModified();
    Main().doclosefile(0);
    EXPECT_EQ(pages->tabText(0), "blink.asm");
}

// Enter (and keypad Enter) on a row of the error list or the find list goes where it points.
TEST_F(Walkthrough, EnterOnAListRowGoesToItsPosition)
{
    const QString path = File("w/target.c", Lines(40));
    Main();
    TOutputForm *output = Main().OutputForm();
    ASSERT_NE(output, nullptr);
    output->ShowTab(TOutputForm::otCompiler);
    TErrorListModel &errors = Main().ErrorList();
    errors.Clear();
    errors.AddLine("Some heading");
    errors.AddLine("*** Error 11 \"" + path + "\" Line 30(5,10): Undefined identifier");
    TErrorList *list = output->ErrorList();
    list->setFocus();
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Return);
    TOvcTextFileEditorSyntax *editor = Main().Notebook()->Editor(Main().Notebook()->CurrentPage());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->FileName(), path);
    EXPECT_EQ(editor->SelectionStart().line, 30);
    EXPECT_EQ(editor->SelectedText(), "line3");

    editor->SetCaretPos(TextPos{1, 1});
    output->ShowTab(TOutputForm::otFind);
    TFindResultsList *found = output->FindResultsList();
    found->Clear();
    found->AddResult("... \"target.c\" Line 12(5,11): int line12;", path);
    found->setFocus();
    found->setCurrentRow(0);
    QTest::keyClick(found, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(editor->SelectionStart().line, 12);
    EXPECT_EQ(editor->SelectedText(), "line12");
}

// A stored font this machine lacks ("Fixedsys") paints in the desktop's fixed-pitch font, and
// the Editor Properties dialog says which font that is.
TEST_F(Walkthrough, AMissingEditorFontFallsBackToTheFixedPitchFontAndIsShownSo)
{
    WriteFile(root + "home/kiv.ini", "[font]\r\nname=Fixedsys\r\nsize=10\r\n");
    TOvcTextFileEditorSyntax *editor = Open(File("w/font.c", "int a;\n"));
    ASSERT_NE(editor, nullptr);
    // The colouring's styles carry the font the text is painted in.
    const QFontInfo used(editor->Coloring()->Lexer()->EditorFont());
    EXPECT_TRUE(used.fixedPitch()) << used.family().toStdString();
    EXPECT_NE(used.family(), "Fixedsys");

    TFrmEditorProperties *properties = m_session->editorProperties.get();
    ASSERT_NE(properties, nullptr);
    auto *label = properties->findChild<QLabel *>("FontUsed");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().contains("Fixedsys")) << label->text().toStdString();
    EXPECT_TRUE(label->text().contains(used.family())) << label->text().toStdString();
}

// F1 on a word the help index has opens the page its entry names, as a double click on the
// entry does; the help window opens over the main window and closes with Escape.
TEST_F(Walkthrough, KeywordHelpFindsWhatTheIndexFindsInAWindowOverTheMainWindow)
{
    InstallHelp();
    TOvcTextFileEditorSyntax *editor = Open(File("w/help.asm", "        pagesel main\n"));
    ASSERT_NE(editor, nullptr);
    editor->SetCaretPos(TextPos{1, 12});
    QTest::keyClick(editor, Qt::Key_F1);
    auto *window = Main().findChild<Tfkivhelpwin *>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->Source().fileName(), "Statements.htm");
    EXPECT_EQ(window->Source().fragment(), "banksel");

    const QPoint centre = Main().frameGeometry().center();
    EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 40)
        << "help at " << window->x() << "," << window->y();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    // The keyboard is the main window's again: its shortcuts work at once.
    for (int wait = 0; wait < 50 && QApplication::activeWindow() != &Main(); ++wait)
        QTest::qWait(20);
    EXPECT_EQ(QApplication::activeWindow(), &Main());
}

TEST_F(Walkthrough, KeywordHelpOnABuiltInOfACProgramOpensItsOwnPage)
{
    InstallHelp();
    for (const QString name : {"output_high", "read_adc", "i2c_write", "printf", "delay_ms"}) {
        // The caret inside the name, past its first letter.
        TOvcTextFileEditorSyntax *editor =
            Open(File("w/f1_" + name + ".c", ("void main()\n{\n   " + name + "(1);\n}\n").toUtf8()));
        ASSERT_NE(editor, nullptr);
        editor->SetCaretPos(TextPos{3, 6});
        QTest::keyClick(editor, Qt::Key_F1);
        auto *window = Main().findChild<Tfkivhelpwin *>();
        ASSERT_NE(window, nullptr) << name.toStdString();
        EXPECT_TRUE(window->isVisible()) << name.toStdString();
        EXPECT_EQ(window->Source().fileName(), name + ".htm");
        window->hide();
        Main().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    }
}

}  // namespace
