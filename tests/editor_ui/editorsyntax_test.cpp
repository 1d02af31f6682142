#include "EditorSyntax.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

class EditorTest : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.filePath(name); }
    QTemporaryDir m_tmp;
    TOvcTextFileEditorSyntax m_editor;
};

}  // namespace

// Loading and saving unchanged text gives back the very same bytes, whatever the line ends
// and encoding of the file.
TEST_F(EditorTest, UnchangedTextSavesByteForByte)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        TTextFileFormat format;
    };
    const Case cases[] = {
        {"crlf", "int a;\r\nint b;\r\n", {TTextEncoding::teUtf8, TLineEnd::leCrLf}},
        {"lf", "int a;\nint b;", {TTextEncoding::teUtf8, TLineEnd::leLf}},
        {"cr", "a\rb\r", {TTextEncoding::teUtf8, TLineEnd::leCr}},
        {"mixed", "a\r\nb\nc\r", {TTextEncoding::teUtf8, TLineEnd::leCrLf}},
        {"latin1", "/* caf\xe9 */\r\n", {TTextEncoding::teLatin1, TLineEnd::leCrLf}},
        {"utf8", "/* caf\xc3\xa9 */\n", {TTextEncoding::teUtf8, TLineEnd::leLf}},
        {"nul", QByteArray("a\0b\nc", 5), {TTextEncoding::teUtf8, TLineEnd::leLf}},
        {"empty", "", {TTextEncoding::teUtf8, TLineEnd::leLf}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Path(QString::fromLatin1(c.name) + ".c");
        ASSERT_TRUE(WriteFile(path, c.bytes));
        ASSERT_TRUE(m_editor.LoadFromFile(path));
        EXPECT_EQ(m_editor.FileFormat(), c.format);
        EXPECT_FALSE(m_editor.Modified());
        ASSERT_TRUE(WriteFile(path, "overwritten"));
        QString error;
        ASSERT_TRUE(m_editor.SaveToFile(&error)) << error.toStdString();
        EXPECT_EQ(ReadFile(path), c.bytes);
    }
}

TEST_F(EditorTest, NewLinesTakeTheFileLineEndAndLatin1StaysLatin1)
{
    const QString path = Path("a.c");
    ASSERT_TRUE(WriteFile(path, "x\xe9\r\ny\r\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    EXPECT_EQ(m_editor.Line(1), QString::fromUtf8("x\xc3\xa9"));
    m_editor.SetCaretPos({2, 2});
    m_editor.SendScintilla(QsciScintilla::SCI_NEWLINE);
    ASSERT_TRUE(m_editor.SaveToFile(nullptr));
    EXPECT_EQ(ReadFile(path), QByteArray("x\xe9\r\ny\r\n\r\n"));
}

// A character that Latin-1 cannot hold is never lost: the file is then written as UTF-8.
TEST_F(EditorTest, TextBeyondLatin1IsSavedAsUtf8)
{
    const QString path = Path("a.c");
    ASSERT_TRUE(WriteFile(path, "\xe9\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    m_editor.SetCaretPos({1, 2});
    m_editor.insert(QString(QChar(0x20AC)));
    ASSERT_TRUE(m_editor.SaveToFile(nullptr));
    EXPECT_EQ(ReadFile(path), QByteArray("\xc3\xa9\xe2\x82\xac\n"));
    EXPECT_EQ(m_editor.FileFormat().encoding, TTextEncoding::teUtf8);
}

TEST_F(EditorTest, ModifiedFlagUndoAndClipboard)
{
    const QString path = Path("a.c");
    ASSERT_TRUE(WriteFile(path, "abc\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    EXPECT_FALSE(m_editor.isUndoAvailable());   // loading is not an undoable change
    m_editor.SetCaretPos({1, 4});
    m_editor.insert("d");
    EXPECT_TRUE(m_editor.Modified());
    m_editor.undo();
    EXPECT_EQ(m_editor.Line(1), "abc");
    EXPECT_FALSE(m_editor.Modified());

    m_editor.SetSelection({1, 1}, {1, 3});
    m_editor.cut();
    EXPECT_EQ(m_editor.Line(1), "c");
    m_editor.SetCaretPos({1, 2});
    m_editor.paste();
    EXPECT_EQ(m_editor.Line(1), "cab");
}

// A text that is not saved although it did not change (its file was deleted) counts as
// modified until it is saved, cleared or loaded again, and says so through the widget's signal.
TEST_F(EditorTest, MarkedModifiedUntilSaved)
{
    const QString path = Path("m.c");
    ASSERT_TRUE(WriteFile(path, "abc\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    QList<bool> told;
    QObject::connect(&m_editor, &QsciScintilla::modificationChanged, [&told](bool m) { told << m; });
    m_editor.MarkModified();
    EXPECT_TRUE(m_editor.Modified());
    EXPECT_FALSE(m_editor.isUndoAvailable()) << "nothing changed in the text";
    ASSERT_TRUE(m_editor.SaveToFile());
    EXPECT_FALSE(m_editor.Modified());
    EXPECT_EQ(told, (QList<bool>{true, false}));
    m_editor.MarkModified();
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    EXPECT_FALSE(m_editor.Modified());
}

// A line keeps its layout until it changes: the widget measures every character of a line it
// lays out, which on a line of megabytes takes seconds, and would otherwise happen again at
// every paint and caret move (editor_longline in bench/editor times it).
TEST_F(EditorTest, LinesKeepTheirLayoutBetweenPaints)
{
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_GETLAYOUTCACHE),
              long(QsciScintillaBase::SC_CACHE_DOCUMENT));
}

TEST_F(EditorTest, ReadOnlyTypesRefuseEditsAndTextEditorKeepsItsType)
{
    m_editor.SetDocumentText("abc");
    m_editor.SetEditorType(AdvancedViewer);
    EXPECT_TRUE(m_editor.ReadOnly());
    QTest::keyClicks(&m_editor, "x");
    EXPECT_EQ(m_editor.Line(1), "abc");
    m_editor.SetEditorType(SyntaxColoringEditor);
    EXPECT_FALSE(m_editor.ReadOnly());
    m_editor.SetCaretPos({1, 1});
    QTest::keyClicks(&m_editor, "x");
    EXPECT_EQ(m_editor.Line(1), "xabc");
    m_editor.SetEditorType(TextEditor);
    m_editor.SetEditorType(SyntaxColoringEditor);
    EXPECT_EQ(m_editor.EditorType(), TextEditor);
    m_editor.SetEditorType(DiffFileViewer);
    EXPECT_EQ(m_editor.EditorType(), TextEditor);
    EXPECT_FALSE(m_editor.ReadOnly());
}

// Columns count characters, whatever the bytes behind them.
TEST_F(EditorTest, PositionsCountCharactersFromOne)
{
    m_editor.SetDocumentText(QString::fromUtf8("\xc3\xa9t\xc3\xa9\n\tx\nlast"));
    EXPECT_EQ(m_editor.LineCount(), 3);
    EXPECT_EQ(m_editor.LineLength(1), 3);
    EXPECT_EQ(m_editor.Line(3), "last");
    EXPECT_EQ(m_editor.Line(4), "");
    EXPECT_EQ(m_editor.Line(0), "");
    struct Case {
        TextPos in;
        TextPos out;
    };
    const Case cases[] = {
        {{1, 1}, {1, 1}}, {{1, 3}, {1, 3}}, {{1, 4}, {1, 4}}, {{1, 9}, {1, 4}},
        {{2, 2}, {2, 2}}, {{3, 5}, {3, 5}}, {{3, 50}, {3, 5}}, {{9, 1}, {3, 1}},
        {{0, 0}, {1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.line << ":" << c.in.column);
        m_editor.SetCaretPos(c.in);
        EXPECT_EQ(m_editor.CaretPos(), c.out);
    }
    m_editor.SetSelection({1, 2}, {2, 2});
    EXPECT_EQ(m_editor.SelectionStart(), (TextPos{1, 2}));
    EXPECT_EQ(m_editor.SelectionEnd(), (TextPos{2, 2}));
    EXPECT_EQ(m_editor.SelectedText(), QString::fromUtf8("t\xc3\xa9\n\t"));
}

TEST_F(EditorTest, CaretNotificationsCarryLineAndColumn)
{
    m_editor.SetDocumentText("ab\ncd");
    QList<TextPos> seen;
    QObject::connect(&m_editor, &TOvcTextFileEditorSyntax::CaretMoved,
                     [&seen](TextPos p) { seen << p; });
    m_editor.SetCaretPos({2, 3});
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), (TextPos{2, 3}));
}

TEST_F(EditorTest, TenBookmarksEachOnOneLine)
{
    m_editor.SetDocumentText("1\n2\n3\n4\n5\n");
    m_editor.SetBookmark(3, 2);
    m_editor.SetBookmark(0, 2);
    m_editor.SetBookmark(9, 5);
    EXPECT_EQ(m_editor.BookmarkLine(3), 2);
    EXPECT_EQ(m_editor.BookmarkLine(0), 2);
    EXPECT_EQ(m_editor.BookmarkLine(9), 5);
    EXPECT_EQ(m_editor.BookmarkLine(1), 0);
    m_editor.SetBookmark(3, 4);   // moves, never two lines for one bookmark
    EXPECT_EQ(m_editor.BookmarkLine(3), 4);
    EXPECT_TRUE(m_editor.GotoBookmark(9));
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{5, 1}));
    m_editor.ClearBookmark(3);
    EXPECT_EQ(m_editor.BookmarkLine(3), 0);
    EXPECT_FALSE(m_editor.GotoBookmark(3));
    m_editor.SetBookmark(10, 1);
    m_editor.SetBookmark(1, 99);
    EXPECT_EQ(m_editor.BookmarkLine(1), 0);
}

TEST_F(EditorTest, UnreadableFileLeavesTheEditorAsItWas)
{
    const QString path = Path("a.c");
    ASSERT_TRUE(WriteFile(path, "keep\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    QString error;
    EXPECT_FALSE(m_editor.LoadFromFile(Path("missing.c"), &error));
    EXPECT_FALSE(m_editor.LoadFromFile(m_tmp.path(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(m_editor.Line(1), "keep");
    EXPECT_EQ(m_editor.FileName(), path);
}

TEST_F(EditorTest, SaveKeepsABackupOfTheOldFile)
{
    const QString path = Path("main.c");
    ASSERT_TRUE(WriteFile(path, "old\n"));
    ASSERT_TRUE(WriteFile(Path("main.BAK"), "older\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    m_editor.SetBackupOnSave(true);
    m_editor.SetCaretPos({1, 1});
    m_editor.insert("new ");
    ASSERT_TRUE(m_editor.SaveToFile(nullptr));
    EXPECT_EQ(ReadFile(path), "new old\n");
    EXPECT_EQ(ReadFile(Path("main.BAK")), "old\n");
}

// A write that fails half-way (here: the file size limit, as on a full disk) reports the
// error, and both the old file and the editor's text and modified state survive.
TEST_F(EditorTest, FailedSaveKeepsTextAndFile)
{
    const QString path = Path("main.c");
    ASSERT_TRUE(WriteFile(path, "original\n"));
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    m_editor.SetBackupOnSave(true);
    const QString big(100000, QChar('x'));
    m_editor.SetCaretPos({1, 1});
    m_editor.insert(big);

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto *previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved = m_editor.SaveToFile(&error);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(m_editor.Modified());
    EXPECT_EQ(m_editor.Line(1), big + "original");
    EXPECT_EQ(ReadFile(path), "original\n");
    EXPECT_FALSE(QFile::exists(Path("main.BAK")));
    EXPECT_EQ(QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"main.c"});
}
