#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "EditorSyntaxOptions.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivmain_props.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kiv;

namespace {

// One keystroke of a test: a key and its modifiers.
struct TStroke {
    Qt::Key key;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

void Type(QWidget *widget, std::initializer_list<TStroke> strokes)
{
    for (const TStroke &s : strokes)
        QTest::keyClick(widget, s.key, s.mods);
}

// Every test leaves the process-wide priority as it found it.
class KeyTablesTest : public ::testing::Test {
protected:
    // Shown, so that the vertical moves keep their column.
    void SetUp() override
    {
        m_editor.resize(400, 300);
        m_editor.show();
    }
    void TearDown() override { TOvcTextFileEditorSyntax::SetKeyTablePriority(m_saved); }
    void Load(const QString &text, TextPos caret)
    {
        m_editor.SetDocumentText(text);
        m_editor.SetCaretPos(caret);
    }
    QString Text() const { return QString::fromUtf8(m_editor.DocumentBytes()); }

    bool m_saved = TOvcTextFileEditorSyntax::WordStarFirst();
    TOvcTextFileEditorSyntax m_editor;
};

const char kFiveLines[] = "first line\nsecond line\nthird line here\nfourth\nfifth line\n";

}  // namespace

TEST_F(KeyTablesTest, WordStarMovesInEitherPriority)
{
    struct Case {
        const char *name;
        std::initializer_list<TStroke> keys;
        TextPos caret;
        bool defaultBinds;   ///< the widget binds the key itself: WordStar's only when first
    };
    // From line 3, column 8 ("third l|ine here").
    const Case cases[] = {
        {"Ctrl+E up", {{Qt::Key_E, kCtrl}}, {2, 8}, false},
        {"Ctrl+X down", {{Qt::Key_X, kCtrl}}, {4, 7}, true},
        {"Ctrl+S left", {{Qt::Key_S, kCtrl}}, {3, 7}, false},
        {"Ctrl+D right", {{Qt::Key_D, kCtrl}}, {3, 9}, true},
        {"Ctrl+A word left", {{Qt::Key_A, kCtrl}}, {3, 7}, true},
        {"Ctrl+F word right", {{Qt::Key_F, kCtrl}}, {3, 12}, false},
        {"Ctrl+Q S line start", {{Qt::Key_Q, kCtrl}, {Qt::Key_S}}, {3, 1}, false},
        {"Ctrl+Q D line end", {{Qt::Key_Q, kCtrl}, {Qt::Key_D}}, {3, 16}, false},
        {"Ctrl+Q Ctrl+D line end", {{Qt::Key_Q, kCtrl}, {Qt::Key_D, kCtrl}}, {3, 16}, false},
        {"Ctrl+Q R document start", {{Qt::Key_Q, kCtrl}, {Qt::Key_R}}, {1, 1}, false},
        {"Ctrl+Q C document end", {{Qt::Key_Q, kCtrl}, {Qt::Key_C}}, {6, 1}, false},
        {"Ctrl+Q E window top", {{Qt::Key_Q, kCtrl}, {Qt::Key_E}}, {1, 8}, false},
        {"Ctrl+Q X window bottom", {{Qt::Key_Q, kCtrl}, {Qt::Key_X}}, {6, 1}, false},
        {"Ctrl+E twice", {{Qt::Key_E, kCtrl}, {Qt::Key_E, kCtrl}}, {1, 8}, false},
    };
    for (const bool wordStarFirst : {true, false}) {
        TOvcTextFileEditorSyntax::SetKeyTablePriority(wordStarFirst);
        for (const Case &c : cases) {
            if (c.defaultBinds && !wordStarFirst)
                continue;
            SCOPED_TRACE(std::string(c.name) + (wordStarFirst ? " (WordStar first)" : " (default first)"));
            Load(kFiveLines, {3, 8});
            Type(&m_editor, c.keys);
            EXPECT_EQ(m_editor.CaretPos(), c.caret);
            EXPECT_EQ(Text(), QString::fromLatin1(kFiveLines));
        }
    }
}

// Ctrl+D, Ctrl+T and Ctrl+Y are bound by both tables: the priority decides.
TEST_F(KeyTablesTest, KeysOfBothTablesFollowThePriority)
{
    struct Case {
        const char *name;
        Qt::Key key;
        bool wordStarFirst;
        const char *text;
        TextPos caret;
    };
    // Each case starts from "aa\nbb cc\ndd" with the caret at the start of line 2, after a
    // "Z" was typed there and undone (so that there is something to redo).
    const Case cases[] = {
        {"Ctrl+D duplicates the line", Qt::Key_D, false, "aa\nbb cc\nbb cc\ndd", {2, 1}},
        {"Ctrl+D moves right", Qt::Key_D, true, "aa\nbb cc\ndd", {2, 2}},
        {"Ctrl+T transposes the lines", Qt::Key_T, false, "bb cc\naa\ndd", {2, 1}},
        {"Ctrl+T deletes the word", Qt::Key_T, true, "aa\ncc\ndd", {2, 1}},
        {"Ctrl+Y redoes", Qt::Key_Y, false, "aa\nZbb cc\ndd", {2, 2}},
        {"Ctrl+Y deletes the line", Qt::Key_Y, true, "aa\ndd", {2, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TOvcTextFileEditorSyntax::SetKeyTablePriority(c.wordStarFirst);
        Load("aa\nbb cc\ndd", {2, 1});
        m_editor.insert("Z");
        m_editor.undo();
        QTest::keyClick(&m_editor, c.key, kCtrl);
        EXPECT_EQ(Text(), QString::fromLatin1(c.text));
        EXPECT_EQ(m_editor.CaretPos(), c.caret);
    }
}

TEST_F(KeyTablesTest, WordStarEdits)
{
    struct Case {
        const char *name;
        std::initializer_list<TStroke> keys;
        const char *text;
        TextPos caret;
    };
    // From "ab cd\nef" with the caret on line 1, column 3 ("ab| cd").
    const Case cases[] = {
        {"Ctrl+G deletes the character", {{Qt::Key_G, kCtrl}}, "abcd\nef", {1, 3}},
        {"Ctrl+H deletes back", {{Qt::Key_H, kCtrl}}, "a cd\nef", {1, 2}},
        {"Ctrl+Q Y deletes to the line end", {{Qt::Key_Q, kCtrl}, {Qt::Key_Y}}, "ab\nef", {1, 3}},
        {"Ctrl+Q Backspace deletes to the line start", {{Qt::Key_Q, kCtrl}, {Qt::Key_Backspace}}, " cd\nef", {1, 1}},
        {"Ctrl+N splits the line", {{Qt::Key_N, kCtrl}}, "ab\n cd\nef", {1, 3}},
        {"Ctrl+K B, Ctrl+F, Ctrl+K K, Ctrl+K Y deletes the block",
         {{Qt::Key_K, kCtrl}, {Qt::Key_B}, {Qt::Key_F, kCtrl}, {Qt::Key_K, kCtrl}, {Qt::Key_K},
          {Qt::Key_K, kCtrl}, {Qt::Key_Y}},
         "abcd\nef", {1, 3}},
        {"Ctrl+K H hides the block before Ctrl+K Y",
         {{Qt::Key_K, kCtrl}, {Qt::Key_B}, {Qt::Key_D, kCtrl}, {Qt::Key_K, kCtrl}, {Qt::Key_K},
          {Qt::Key_K, kCtrl}, {Qt::Key_H}, {Qt::Key_K, kCtrl}, {Qt::Key_Y}},
         "ab cd\nef", {1, 4}},
    };
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Load("ab cd\nef", {1, 3});
        Type(&m_editor, c.keys);
        EXPECT_EQ(Text(), QString::fromLatin1(c.text));
        EXPECT_EQ(m_editor.CaretPos(), c.caret);
    }
}

TEST_F(KeyTablesTest, InsertToggleAndBookmarks)
{
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    Load(kFiveLines, {2, 3});
    QTest::keyClick(&m_editor, Qt::Key_V, kCtrl);
    EXPECT_TRUE(m_editor.overwriteMode());
    QTest::keyClicks(&m_editor, "XY");
    EXPECT_EQ(m_editor.Line(2), "seXYnd line");
    QTest::keyClick(&m_editor, Qt::Key_V, kCtrl);
    EXPECT_FALSE(m_editor.overwriteMode());

    Type(&m_editor, {{Qt::Key_K, kCtrl}, {Qt::Key_4}});
    EXPECT_EQ(m_editor.BookmarkLine(4), 2);
    Type(&m_editor, {{Qt::Key_Q, kCtrl}, {Qt::Key_C}, {Qt::Key_Q, kCtrl}, {Qt::Key_4}});
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{2, 1}));
}

TEST_F(KeyTablesTest, CtrlKRAndCtrlKWAskForTheUserCommands)
{
    QSignalSpy spy(&m_editor, &TOvcTextFileEditorSyntax::UserCommand);
    for (const bool wordStarFirst : {true, false}) {
        TOvcTextFileEditorSyntax::SetKeyTablePriority(wordStarFirst);
        Load("abc\n", {1, 2});
        Type(&m_editor, {{Qt::Key_K, kCtrl}, {Qt::Key_R}});
        Type(&m_editor, {{Qt::Key_K, kCtrl}, {Qt::Key_W}});
        // Ctrl held for the second key, pressed on its own first as a keyboard does.
        Type(&m_editor, {{Qt::Key_K, kCtrl}, {Qt::Key_Control, kCtrl}, {Qt::Key_W, kCtrl}});
        EXPECT_EQ(Text(), "abc\n");
        EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 2}));
    }
    ASSERT_EQ(spy.count(), 6);
    const int expected[] = {256, 257, 257, 256, 257, 257};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(spy.at(i).at(0).toInt(), expected[i]) << i;
}

TEST_F(KeyTablesTest, UnknownSecondKeyInsertsNothing)
{
    for (const bool wordStarFirst : {true, false}) {
        SCOPED_TRACE(wordStarFirst);
        TOvcTextFileEditorSyntax::SetKeyTablePriority(wordStarFirst);
        Load("abc\n", {1, 2});
        Type(&m_editor, {{Qt::Key_K, kCtrl}});
        EXPECT_TRUE(m_editor.KeySequencePending());
        QTest::keyClicks(&m_editor, "j");
        EXPECT_FALSE(m_editor.KeySequencePending());
        Type(&m_editor, {{Qt::Key_Q, kCtrl}, {Qt::Key_Tab}, {Qt::Key_Q, kCtrl}, {Qt::Key_Return}});
        EXPECT_EQ(Text(), "abc\n");
        EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 2}));
        // The sequence is over: the next letter is typed.
        QTest::keyClicks(&m_editor, "j");
        EXPECT_EQ(Text(), "ajbc\n");
    }
}

TEST_F(KeyTablesTest, ReadOnlyRefusesChangesButMoves)
{
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    QSignalSpy spy(&m_editor, &TOvcTextFileEditorSyntax::UserCommand);
    Load("ab cd\nef\n", {1, 2});
    m_editor.SetReadOnly(true);
    Type(&m_editor, {{Qt::Key_Y, kCtrl}, {Qt::Key_G, kCtrl}, {Qt::Key_T, kCtrl}, {Qt::Key_N, kCtrl},
                     {Qt::Key_Q, kCtrl}, {Qt::Key_Y}, {Qt::Key_K, kCtrl}, {Qt::Key_R}});
    EXPECT_EQ(Text(), "ab cd\nef\n");
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 2}));
    Type(&m_editor, {{Qt::Key_X, kCtrl}, {Qt::Key_D, kCtrl}, {Qt::Key_K, kCtrl}, {Qt::Key_W}});
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{2, 3}));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), kUserPasteToFile);
}

// The Tab key keeps its block indent with WordStar first, and a WordStar move onto a bracket
// highlights the pair as the arrow keys do.
TEST_F(KeyTablesTest, TabAndBracketHighlightStayWithWordStarFirst)
{
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    m_editor.SetEditorType(SyntaxColoringEditor);
    Load("f(a)\nx\n", {1, 1});
    QTest::keyClick(&m_editor, Qt::Key_D, kCtrl);
    EXPECT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{1, 4}));

    m_editor.SetSelection({1, 1}, {2, 2});
    QTest::keyClick(&m_editor, Qt::Key_Tab);
    EXPECT_EQ(Text(), "   f(a)\n   x\n");
}

TEST_F(KeyTablesTest, MouseClickEndsAPendingSequence)
{
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    Load("abc\n", {1, 1});
    m_editor.resize(300, 200);
    Type(&m_editor, {{Qt::Key_K, kCtrl}});
    QTest::mouseClick(m_editor.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(m_editor.KeySequencePending());
    QTest::keyClicks(&m_editor, "r");
    EXPECT_TRUE(Text().contains('r'));
}

namespace {

class KeyTablesMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
    }
    void TearDown() override
    {
        m_prompt.Queue(mrNo);
        m_prompt.Queue(mrNo);
        m_main.reset();
        TOvcTextFileEditorSyntax::SetKeyTablePriority(m_saved);
    }
    TOvcTextFileEditorSyntax *OpenShownEditor(const QByteArray &text)
    {
        const QString path = m_tmp.filePath("a.c");
        EXPECT_TRUE(test::WriteFile(path, text));
        const int page = m_main->doopenfile(path, 'R');
        EXPECT_GE(page, 0);
        TOvcTextFileEditorSyntax *editor = m_main->Notebook()->Editor(page);
        m_main->resize(800, 600);
        m_main->show();
        m_main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_main.get()));
        editor->setFocus();
        QApplication::processEvents();
        return editor;
    }

    bool m_saved = TOvcTextFileEditorSyntax::WordStarFirst();
    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(KeyTablesMainTest, ApplyPropertiesToPagesSetsThePriorityForOpenAndLaterPages)
{
    const QString path = m_tmp.filePath("b.c");
    ASSERT_TRUE(test::WriteFile(path, "aa\nbb\n"));
    const int page = m_main->doopenfile(path, 'R');
    ASSERT_GE(page, 0);
    TKivNotebook &notebook = *m_main->Notebook();
    TOvcTextFileEditorSyntax *open = notebook.Editor(page);
    ASSERT_NE(open, nullptr);
    TEditorSyntaxOptions options;
    for (const bool wordStar : {true, false, true}) {
        SCOPED_TRACE(wordStar);
        options.Settings().wordStar = wordStar;
        ApplyPropertiesToPages(notebook, options);
        EXPECT_EQ(TOvcTextFileEditorSyntax::WordStarFirst(), wordStar);
    }
    // Ctrl+D on the open page and on one opened afterwards: WordStar's move, not a duplicate.
    TOvcTextFileEditorSyntax later;
    later.SetDocumentText("aa\nbb\n");
    for (TOvcTextFileEditorSyntax *editor : {open, &later}) {
        SCOPED_TRACE(editor == open ? "open page" : "later page");
        editor->SetCaretPos({1, 1});
        QTest::keyClick(editor, Qt::Key_D, kCtrl);
        EXPECT_EQ(editor->CaretPos(), (TextPos{1, 2}));
        EXPECT_EQ(editor->LineCount(), 3);
    }
    // Without pages the setting is taken all the same.
    TKivNotebook empty;
    options.Settings().wordStar = false;
    ApplyPropertiesToPages(empty, options);
    EXPECT_FALSE(TOvcTextFileEditorSyntax::WordStarFirst());
}

// A menu command's shortcut stays the menu's, also when the WordStar table has the key; the
// key after a prefix belongs to the sequence.
TEST_F(KeyTablesMainTest, MenuShortcutsStayWithTheMenuExceptAfterAPrefix)
{
    TOvcTextFileEditorSyntax::SetKeyTablePriority(true);
    QAction *save = m_main->findChild<QAction *>(QStringLiteral("ActionFileSave"));
    ASSERT_NE(save, nullptr);
    ASSERT_EQ(save->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    TOvcTextFileEditorSyntax *editor = OpenShownEditor("abc\n");
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(QApplication::focusWidget(), editor);
    QSignalSpy saved(save, &QAction::triggered);
    editor->SetCaretPos({1, 3});

    QTest::keyClick(editor, Qt::Key_S, kCtrl);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(editor->CaretPos(), (TextPos{1, 3}));

    // Ctrl+K Ctrl+S is no sequence: the key ends it and the menu does not see it.
    QTest::keyClick(editor, Qt::Key_K, kCtrl);
    QTest::keyClick(editor, Qt::Key_S, kCtrl);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(editor->KeySequencePending());
    // Ctrl+Q Ctrl+S is one: the start of the line.
    QTest::keyClick(editor, Qt::Key_Q, kCtrl);
    QTest::keyClick(editor, Qt::Key_S, kCtrl);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(editor->CaretPos(), (TextPos{1, 1}));
    EXPECT_EQ(editor->Line(1), "abc");
}

// The stored option takes effect when the environment is restored, before any OK.
TEST_F(KeyTablesMainTest, RestoringThePropertiesSetsThePriority)
{
    const QString ini = m_tmp.filePath("kiv.ini");
    TFrmEditorProperties properties(ini, m_main.get());
    ConnectEditorProperties(*m_main, properties);
    for (const bool wordStar : {true, false}) {
        SCOPED_TRACE(wordStar);
        TOvcTextFileEditorSyntax::SetKeyTablePriority(!wordStar);
        ASSERT_TRUE(test::WriteFile(ini, wordStar ? "[editoptions]\nwordstar=1\n" : "[editoptions]\nwordstar=0\n"));
        TIniFile file(ini);
        m_main->RestoreOwnSettings(file);
        EXPECT_EQ(TOvcTextFileEditorSyntax::WordStarFirst(), wordStar);
    }
}

// A command of the window keeps its shortcut when the widget binds the key too (Ctrl+D:
// the widget's duplicate, WordStar's move right), in either priority; a key after a prefix
// is the sequence's.
TEST_F(KeyTablesTest, WindowCommandsKeepTheirShortcuts)
{
    QWidget window;
    window.resize(400, 300);
    auto *editor = new TOvcTextFileEditorSyntax(&window);
    editor->resize(400, 300);
    auto *command = new QAction(&window);
    command->setShortcut(QKeySequence(QStringLiteral("Ctrl+D")));
    window.addAction(command);
    QSignalSpy triggered(command, &QAction::triggered);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), editor);
    for (const bool wordStarFirst : {true, false}) {
        SCOPED_TRACE(wordStarFirst);
        TOvcTextFileEditorSyntax::SetKeyTablePriority(wordStarFirst);
        editor->SetDocumentText("ab\n");
        editor->SetCaretPos({1, 1});
        triggered.clear();
        QTest::keyClick(editor, Qt::Key_D, kCtrl);
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_EQ(editor->LineCount(), 2);
        EXPECT_EQ(editor->CaretPos(), (TextPos{1, 1}));
        // Ctrl+K Ctrl+D is no sequence: the key ends it, and the command does not see it.
        Type(editor, {{Qt::Key_K, kCtrl}, {Qt::Key_D, kCtrl}});
        EXPECT_EQ(triggered.count(), 1);
        EXPECT_EQ(editor->CaretPos(), (TextPos{1, 1}));
        // A disabled command leaves the key to the editor.
        command->setEnabled(false);
        QTest::keyClick(editor, Qt::Key_D, kCtrl);
        command->setEnabled(true);
        EXPECT_EQ(triggered.count(), 1);
        if (wordStarFirst) {
            EXPECT_EQ(editor->CaretPos(), (TextPos{1, 2}));
        } else {
            EXPECT_EQ(editor->LineCount(), 3);
        }
    }
}
