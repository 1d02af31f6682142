// The colouring of a real Scintilla editor: keys typed into the widget keep the comment spans
// up to date through the modification notifications, and the styles Scintilla holds are what
// a full scan paints.

#include "EditorColoring.h"
#include "linetext.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>
#include <random>

using namespace kiv;
using kiv::test::TLineText;

namespace {

class ColoringTest : public ::testing::Test {
protected:
    ColoringTest()
    {
        m_editor.resize(600, 400);
        m_coloring = new TEditorColoring(&m_editor);
        m_coloring->SetMode(pmSyntax);
    }

    void SetText(const char *text)
    {
        m_editor.setText(QString::fromUtf8(text));
        m_coloring->RebuildComments();
    }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        TScintillaLines source(&m_editor);
        for (int line = 1; line <= source.LineCount(); ++line)
            lines.emplace_back(source.Line(line));
        return lines;
    }

    // Styles the whole document and returns each line's styles as letters.
    std::vector<std::string> Styles()
    {
        m_editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
        std::vector<std::string> styles;
        const int lines = int(m_editor.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT));
        for (int line = 0; line < lines; ++line) {
            const long start = m_editor.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
            const long end = m_editor.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
            std::string s;
            for (long pos = start; pos < end; ++pos)
                s += ".SCKPBDI"[m_editor.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(pos))];
            styles.push_back(s);
        }
        return styles;
    }

    // What a freshly scanned engine paints on the editor's current text.
    static std::vector<std::string> FreshStyles(const std::vector<std::string> &lines)
    {
        TLineText text(lines);
        CSytaxColoring fresh(&text);
        fresh.RebuildComments();
        std::vector<std::string> styles;
        for (int line = 1; line <= text.LineCount(); ++line) {
            std::string elements;
            fresh.PaintLine(line, elements);
            for (char &e : elements)
                e = ".SCKPB"[static_cast<unsigned char>(e)];
            styles.push_back(elements);
        }
        return styles;
    }

    void ExpectAgreesWithFullScan()
    {
        const std::vector<std::string> styles = Styles();
        const std::vector<std::string> lines = Lines();
        EXPECT_EQ(styles, FreshStyles(lines));
        TLineText text(lines);
        EXPECT_EQ(m_coloring->Engine().Spans(), CCommentList::ScanSpans(text));
    }

    void GoTo(int line, int column)
    {
        m_editor.setCursorPosition(line - 1, column - 1);
    }

    QsciScintilla m_editor;
    TEditorColoring *m_coloring;
};

}  // namespace

TEST_F(ColoringTest, PaintsCommentsKeywordsAndPreprocessorLines)
{
    SetText("#include <stdio.h>\nint main(void) /* entry\n   point */ { return 0; }\n");
    const std::vector<std::string> styles = Styles();
    ASSERT_EQ(styles.size(), 4u);
    EXPECT_EQ(styles[0], "PPPPPPPP..........");
    EXPECT_EQ(styles[1], "KKK......KKKK..CCCCCCCC");
    EXPECT_EQ(styles[2], "CCCCCCCCCCC...KKKKKK.....");
}

TEST_F(ColoringTest, TypedCharactersUseTheIncrementalRules)
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "int a" + std::to_string(i) + "; /* c */\n";
    SetText(text.c_str());
    Styles();
    const int scans = m_coloring->FullScans();
    GoTo(1, 1);
    QTest::keyClicks(&m_editor, "/*");
    ExpectAgreesWithFullScan();
    EXPECT_EQ(Styles()[0], std::string(17, 'C'));
    EXPECT_EQ(Styles()[1], "KKK.....CCCCCCC");
    GoTo(3, 4);
    QTest::keyClick(&m_editor, Qt::Key_Return);
    QTest::keyClicks(&m_editor, "\"*/");
    ExpectAgreesWithFullScan();
    QTest::keyClick(&m_editor, Qt::Key_Backspace);
    QTest::keyClick(&m_editor, Qt::Key_Backspace);
    QTest::keyClick(&m_editor, Qt::Key_Home);
    QTest::keyClick(&m_editor, Qt::Key_Backspace);
    ExpectAgreesWithFullScan();
    EXPECT_EQ(m_coloring->FullScans(), scans);
}

TEST_F(ColoringTest, PasteUndoAndRedoScanTheTextAgain)
{
    SetText("int a;\nint b; /* x */\nint c;\n");
    Styles();
    const int scans = m_coloring->FullScans();
    QApplication::clipboard()->setText(QStringLiteral("/* one\ntwo"));
    GoTo(1, 1);
    m_editor.paste();
    ExpectAgreesWithFullScan();
    EXPECT_EQ(m_coloring->FullScans(), scans + 1);
    m_editor.undo();
    ExpectAgreesWithFullScan();
    m_editor.redo();
    ExpectAgreesWithFullScan();
    EXPECT_EQ(m_coloring->FullScans(), scans + 3);
}

TEST_F(ColoringTest, RandomKeysKeepTheStylesOfAFullScan)
{
    SetText("int a = 1; /* one */\n\"str /* no */\" x;\n// line /* y\n/* open\n  more\n*/ int b;\n#define X 1\n");
    const std::vector<std::string> start = Lines();
    const int scans = m_coloring->FullScans();
    std::mt19937 random(7);
    const char typed[] = "/*\"\\ a#;";
    const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left,
                            Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_End, Qt::Key_Home};
    for (int step = 0; step < 1500; ++step) {
        SCOPED_TRACE(step);
        const int what = std::uniform_int_distribution<int>(0, 9)(random);
        if (what < 5) {
            const char ch = typed[std::uniform_int_distribution<int>(0, int(sizeof(typed)) - 2)(random)];
            QTest::keyClick(&m_editor, ch);
        } else if (what < 9) {
            QTest::keyClick(&m_editor, keys[std::uniform_int_distribution<int>(0, int(std::size(keys)) - 1)(random)]);
        } else {
            // A selection replaced by typing.
            QTest::keyClick(&m_editor, Qt::Key_Right, Qt::ShiftModifier);
            QTest::keyClick(&m_editor, Qt::Key_Down, Qt::ShiftModifier);
            QTest::keyClick(&m_editor, '*');
        }
        if (step % 25 == 24) {
            ExpectAgreesWithFullScan();
            if (HasFailure())
                return;
        }
    }
    ExpectAgreesWithFullScan();
    EXPECT_NE(Lines(), start);
    std::cout << "text after random keys: " << Lines().size() << " lines, " << m_coloring->FullScans() - scans
              << " full scans\n";
}

TEST_F(ColoringTest, CompareResultLinesAndPlainText)
{
    SetText("Comparing a and b\nD   3 int x; /* c */\nI   4 int y;\n    5 same\n");
    m_coloring->SetMode(pmCompare);
    std::vector<std::string> styles = Styles();
    EXPECT_EQ(styles[0], std::string(17, '.'));
    EXPECT_EQ(styles[1], std::string(20, 'D'));
    EXPECT_EQ(styles[2], std::string(12, 'I'));
    EXPECT_EQ(styles[3], std::string(10, '.'));
    EXPECT_EQ(m_coloring->Engine().Count(), 0);
    EXPECT_EQ(m_coloring->Lexer()->paper(TSyntaxLexer::stDeletedLine), QColor(255, 0, 0));
    EXPECT_EQ(m_coloring->Lexer()->paper(TSyntaxLexer::stInsertedLine), QColor(0, 128, 0));
    m_coloring->Lexer()->SetPrinterColors(true);
    EXPECT_EQ(m_coloring->Lexer()->paper(TSyntaxLexer::stDeletedLine), QColor(255, 128, 128));
    EXPECT_EQ(m_coloring->Lexer()->paper(TSyntaxLexer::stInsertedLine), QColor(0, 176, 0));

    m_coloring->SetMode(pmPlain);
    styles = Styles();
    EXPECT_EQ(styles[1], std::string(20, '.'));
    m_coloring->SetMode(pmSyntax);
    EXPECT_EQ(Styles()[1], "......KKK....CCCCCCC");
}

TEST_F(ColoringTest, ColourTableGoesToTheStylesAndSelection)
{
    TColorTable table = DefaultColorTable();
    table[ceComments] = {RgbColor(1, 2, 3), RgbColor(4, 5, 6)};
    table[ceSelection] = {RgbColor(7, 8, 9), RgbColor(10, 11, 12)};
    m_coloring->SetColors(table);
    EXPECT_EQ(m_coloring->Lexer()->color(TSyntaxLexer::stComments), QColor(1, 2, 3));
    EXPECT_EQ(m_coloring->Lexer()->paper(TSyntaxLexer::stComments), QColor(4, 5, 6));
    EXPECT_EQ(m_coloring->Engine().Colors()[ceSelection], table[ceSelection]);
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, TSyntaxLexer::stComments),
              long(RgbColor(1, 2, 3)));
}

TEST_F(ColoringTest, BraceHighlightRestylesItsLines)
{
    SetText("f(a);\ng(b);\n");
    Styles();
    m_coloring->Engine().SetBraceHighlight({1, 2}, {1, 4});
    m_coloring->RestyleLines(1, 1);
    EXPECT_EQ(Styles()[0], ".B.B.");
    const TLineRange lines = m_coloring->Engine().ClearBraceHighlight();
    m_coloring->RestyleLines(lines.first, lines.last);
    EXPECT_EQ(Styles()[0], ".....");
}

TEST_F(ColoringTest, SkippedChangesLeaveTheSpansToTheCommand)
{
    SetText("a /* b */\n");
    Styles();
    m_coloring->SetSkipNextChange();
    m_editor.SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 0UL, "xx");
    // The command has not moved the span yet: it still starts at column 3.
    EXPECT_EQ(m_coloring->Engine().First()->startCol, 3);
    m_coloring->ClearSkipNextChange();
    m_editor.SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 0UL, "y");
    EXPECT_EQ(m_coloring->Engine().First()->startCol, 4);
}

TEST_F(ColoringTest, MarginsFollowTheSettings)
{
    TEditorMargins margins;
    margins.leftMargin = 20;
    margins.showLineNumbers = true;
    margins.showRightMargin = true;
    margins.rightMargin = 72;
    LayOutMargins(m_editor, margins, 0, 1);
    const int hWidth = int(m_editor.SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, QsciScintillaBase::STYLE_LINENUMBER, "H"));
    EXPECT_EQ(m_editor.marginWidth(0), 20);
    EXPECT_EQ(m_editor.marginWidth(1), 5 * hWidth + 5);
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_GETMARGINLEFT), 4);
    EXPECT_EQ(m_editor.edgeMode(), QsciScintilla::EdgeLine);
    EXPECT_EQ(m_editor.edgeColumn(), 72);

    margins.showNewMargin = false;
    margins.showLineNumbers = false;
    margins.showRightMargin = false;
    LayOutMargins(m_editor, margins, 0, 1);
    EXPECT_EQ(m_editor.marginWidth(0), 0);
    EXPECT_EQ(m_editor.marginWidth(1), 0);
    EXPECT_EQ(m_editor.edgeMode(), QsciScintilla::EdgeNone);

    margins.debug = true;   // debug mode keeps the marker margin
    LayOutMargins(m_editor, margins, 0, 1);
    EXPECT_EQ(m_editor.marginWidth(0), 20);
}
