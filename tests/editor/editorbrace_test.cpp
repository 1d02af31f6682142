// Brackets, indentation aids and code flags in the editor view: typed keys and commands on a
// real editor widget.

#include "CodeFlagImages.h"
#include "EditorSyntax.h"
#include "testfiles.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

class EditorBraceTest : public ::testing::Test {
protected:
    EditorBraceTest()
    {
        m_editor.resize(600, 300);
        m_editor.SetEditorType(SyntaxColoringEditor);
        m_editor.show();
    }

    void SetText(const QString &text)
    {
        m_editor.SetDocumentText(text);
        m_editor.RebuildComments();
    }

    bool Highlighted(const TextPos &pos)
    {
        const int position = m_editor.PositionOf(pos);
        m_editor.SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT,
                               static_cast<unsigned long>(TOvcTextFileEditorSyntax::kBraceTextIndicator));
        return m_editor.SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT,
                                      static_cast<unsigned long>(TOvcTextFileEditorSyntax::kBraceTextIndicator),
                                      static_cast<long>(position)) != 0;
    }

    std::vector<TSpanPos> ScannedSpans()
    {
        TScintillaLines lines(&m_editor);
        return CCommentList::ScanSpans(lines);
    }

    TOvcTextFileEditorSyntax m_editor;
};

QString ManyLines(int count)
{
    QString text = QStringLiteral("void f() {\n");
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("   x;\n");
    return text + QStringLiteral("}\n");
}

}  // namespace

TEST_F(EditorBraceTest, MatchBracePlainAndExtended)
{
    SetText(QStringLiteral("int a = f(b, \"(\", g(c));\nx;"));
    m_editor.SetCaretPos(TextPos{1, 10});
    m_editor.MatchBrace(false);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 23}));
    // Right of ")" with nothing after it: that ")" is matched.
    m_editor.SetCaretPos(TextPos{1, 24});
    m_editor.MatchBrace(false);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 10}));

    m_editor.SetCaretPos(TextPos{1, 10});
    m_editor.MatchBrace(true);
    EXPECT_EQ(m_editor.SelectedText(), QStringLiteral("(b, \"(\", g(c))"));
    m_editor.SetCaretPos(TextPos{1, 23});
    m_editor.MatchBrace(true);
    EXPECT_EQ(m_editor.SelectedText(), QStringLiteral("(b, \"(\", g(c))"));

    // No bracket at the caret: nothing moves.
    m_editor.SetCaretPos(TextPos{2, 1});
    m_editor.MatchBrace(false);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{2, 1}));
}

// Columns count characters for the user and bytes for the matcher: a line with accents.
TEST_F(EditorBraceTest, MatchBraceOnLinesWithAccents)
{
    SetText(QStringLiteral("s = \"\u00e9\u00e8\"; f(\u00e9, g(\u00e8));"));
    m_editor.SetCaretPos(TextPos{1, 12});
    ASSERT_EQ(m_editor.Line(1).mid(10, 2), QStringLiteral("f("));
    m_editor.MatchBrace(false);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{1, 20}));
    m_editor.MatchBrace(true);
    EXPECT_EQ(m_editor.SelectedText(), QStringLiteral("(\u00e9, g(\u00e8))"));
    m_editor.HighlightPair('(', TextPos{1, 12});
    ASSERT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{1, 20}));
    EXPECT_TRUE(Highlighted(TextPos{1, 20}));
}

// The transient highlight looks only at the lines on screen; Match Brace at the whole text.
TEST_F(EditorBraceTest, HighlightSearchesTheVisibleLines)
{
    SetText(ManyLines(200));
    m_editor.HighlightPair('{', TextPos{1, 10});
    EXPECT_FALSE(m_editor.HighlightActive());
    m_editor.SetCaretPos(TextPos{1, 10});
    m_editor.MatchBrace(false);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{202, 1}));

    SetText(ManyLines(3));
    m_editor.HighlightPair('{', TextPos{1, 10});
    ASSERT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{5, 1}));
    EXPECT_TRUE(Highlighted(TextPos{1, 10}));
    EXPECT_TRUE(Highlighted(TextPos{5, 1}));
    EXPECT_FALSE(Highlighted(TextPos{2, 4}));
    m_editor.ClearHighlight();
    EXPECT_FALSE(Highlighted(TextPos{1, 10}));
}

TEST_F(EditorBraceTest, CaretKeysTypedBracketsAndTextChanges)
{
    SetText(QStringLiteral("if (a) { b(); }\nx;"));
    m_editor.setFocus();
    m_editor.SetCaretPos(TextPos{1, 3});
    QTest::keyClick(&m_editor, Qt::Key_Right);   // caret before "("
    ASSERT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightFirst(), (TextPos{1, 4}));
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{1, 6}));

    // A change of the text ends it.
    QTest::keyClick(&m_editor, Qt::Key_Z);
    EXPECT_FALSE(m_editor.HighlightActive());
    EXPECT_FALSE(Highlighted(TextPos{1, 4}));

    // A typed bracket shows its partner.
    m_editor.SetCaretPos(TextPos{2, 3});
    QTest::keyClicks(&m_editor, "(");
    EXPECT_FALSE(m_editor.HighlightActive());  // no partner after it
    m_editor.SetCaretPos(TextPos{1, 17});
    QTest::keyClick(&m_editor, Qt::Key_End);
    ASSERT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{1, 9}));

    // Only colouring editors with bracket highlighting on.
    m_editor.ClearHighlight();
    m_editor.SetHighlightBrackets(false);
    m_editor.SetCaretPos(TextPos{1, 3});
    QTest::keyClick(&m_editor, Qt::Key_Right);
    EXPECT_FALSE(m_editor.HighlightActive());
}

TEST_F(EditorBraceTest, ClickNextToABracket)
{
    SetText(QStringLiteral("x = [1, 2];\ny;"));
    const int pos = m_editor.PositionOf(TextPos{1, 5});
    const int x = int(m_editor.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, static_cast<long>(pos)));
    const int y = int(m_editor.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, static_cast<long>(pos)));
    const int height = int(m_editor.SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL));
    // On the left edge of "[": the caret lands before it.
    QTest::mouseClick(m_editor.viewport(), Qt::LeftButton, {}, QPoint(x + 1, y + height / 2));
    ASSERT_EQ(m_editor.CaretPos(), (TextPos{1, 5}));
    ASSERT_TRUE(m_editor.HighlightActive());
    EXPECT_EQ(m_editor.HighlightFirst(), (TextPos{1, 5}));
    EXPECT_EQ(m_editor.HighlightPartner(), (TextPos{1, 10}));
}

TEST_F(EditorBraceTest, TypedClosingBraceIsPlaced)
{
    SetText(QStringLiteral("   if (a) {\n      x;\n      "));
    m_editor.SetAutoPlaceBraces(true);
    m_editor.setFocus();
    m_editor.SetCaretPos(TextPos{3, 7});
    QTest::keyClicks(&m_editor, "}");
    EXPECT_EQ(m_editor.Line(3), QStringLiteral("   }"));
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{3, 5}));

    // After code on the line it stays where it was typed.
    SetText(QStringLiteral("if (a) {\n  x;"));
    m_editor.SetCaretPos(TextPos{2, 5});
    QTest::keyClicks(&m_editor, "}");
    EXPECT_EQ(m_editor.Line(2), QStringLiteral("  x;}"));

    // Real tabs: tabs for whole tab stops, then spaces.
    m_editor.setIndentationsUseTabs(true);
    m_editor.setTabWidth(4);
    SetText(QStringLiteral("      {\n"));
    m_editor.SetCaretPos(TextPos{2, 1});
    QTest::keyClicks(&m_editor, "}");
    EXPECT_EQ(m_editor.Line(2), QStringLiteral("\t  }"));
    EXPECT_EQ(m_editor.ReadOnly(), false);
}

TEST_F(EditorBraceTest, TabIndentsTheSelectedBlock)
{
    m_editor.setTabWidth(4);
    m_editor.setIndentationsUseTabs(false);
    SetText(QStringLiteral("a; /* one\n   two */ b;\n\tc; /* x */\nd;"));
    m_editor.setFocus();
    m_editor.SetSelection(TextPos{1, 2}, TextPos{4, 1});
    QTest::keyClick(&m_editor, Qt::Key_Tab);
    EXPECT_EQ(m_editor.Line(1), QStringLiteral("    a; /* one"));
    EXPECT_EQ(m_editor.Line(2), QStringLiteral("       two */ b;"));
    EXPECT_EQ(m_editor.Line(3), QStringLiteral("    \tc; /* x */"));
    EXPECT_EQ(m_editor.Line(4), QStringLiteral("d;"));
    EXPECT_EQ(m_editor.SelectionStart(), (TextPos{1, 1}));
    EXPECT_EQ(m_editor.SelectionEnd(), (TextPos{4, 1}));
    EXPECT_EQ(m_editor.Coloring()->Engine().Spans(), ScannedSpans());

    QTest::keyClick(&m_editor, Qt::Key_Backtab);
    QTest::keyClick(&m_editor, Qt::Key_Backtab);
    EXPECT_EQ(m_editor.Line(1), QStringLiteral("a; /* one"));
    EXPECT_EQ(m_editor.Line(2), QStringLiteral("two */ b;"));   // three spaces, then none left
    EXPECT_EQ(m_editor.Line(3), QStringLiteral("c; /* x */"));  // four spaces, then the tab
    EXPECT_EQ(m_editor.Coloring()->Engine().Spans(), ScannedSpans());

    // One undo step takes the whole block back.
    m_editor.undo();
    EXPECT_EQ(m_editor.Line(3), QStringLiteral("\tc; /* x */"));

    // Without a selection Shift+Tab moves the caret only.
    m_editor.SetCaretPos(TextPos{4, 3});
    QTest::keyClick(&m_editor, Qt::Key_Backtab);
    EXPECT_EQ(m_editor.CaretPos(), (TextPos{4, 1}));
    EXPECT_EQ(m_editor.Line(4), QStringLiteral("d;"));
}

TEST_F(EditorBraceTest, IndentSelectionCommand)
{
    m_editor.setTabWidth(3);
    SetText(QStringLiteral("void f()\n{\nif (a)\nb = 1; /* note */\nlabel:\n}\n"));
    m_editor.SetSelection(TextPos{1, 1}, TextPos{6, 2});
    m_editor.IndentSelection();
    EXPECT_EQ(m_editor.Line(3), QStringLiteral("   if (a)"));
    EXPECT_EQ(m_editor.Line(4), QStringLiteral("      b = 1; /* note */"));
    EXPECT_EQ(m_editor.Line(5), QStringLiteral("label:"));
    EXPECT_EQ(m_editor.Line(6), QStringLiteral("}"));
    EXPECT_EQ(m_editor.Coloring()->Engine().Spans(), ScannedSpans());
}

TEST_F(EditorBraceTest, CodeFlagMarkersInDebugMode)
{
    SetText(QStringLiteral("a;\nb;\nc;\nd;\n"));
    const unsigned current = 1u << TOvcTextFileEditorSyntax::kCurrentLineMarker;
    const unsigned flag = 1u << TOvcTextFileEditorSyntax::kFlagMarker;
    m_editor.CodeFlags().Add(2);
    m_editor.CodeFlags().Add(4);
    m_editor.CodeFlags().SetCurrentLine(3);
    // Not drawn outside debug mode.
    EXPECT_EQ(m_editor.markersAtLine(1) & flag, 0u);
    m_editor.SetDebug(true);
    EXPECT_EQ(m_editor.markersAtLine(1) & flag, flag);
    EXPECT_EQ(m_editor.markersAtLine(3) & flag, flag);
    EXPECT_EQ(m_editor.markersAtLine(2) & current, current);
    EXPECT_EQ(m_editor.markersAtLine(0), 0u);
    m_editor.CodeFlags().Toggle(2);
    EXPECT_EQ(m_editor.markersAtLine(1) & flag, 0u);
    // A margin of 3 pixels or less shows none.
    m_editor.SetLeftMargin(3);
    EXPECT_EQ(m_editor.markersAtLine(2) & current, 0u);
    m_editor.SetLeftMargin(25);
    EXPECT_EQ(m_editor.markersAtLine(2) & current, current);
    m_editor.SetDebug(false);
    EXPECT_EQ(m_editor.markersAtLine(2) & current, 0u);
}

// The marker images: 15 x 15, green became transparent, art where the margin puts it.
TEST(CodeFlagImages, ImagesAndMarginPlace)
{
    const auto images = TCodeFlagImages::Shared();
    EXPECT_EQ(images.get(), TCodeFlagImages::Shared().get());
    for (const QImage *image : {&images->Current(), &images->Flag()}) {
        ASSERT_EQ(image->size(), QSize(15, 15));
        int clear = 0;
        int opaque = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = 0; x < 15; ++x) {
                const QRgb px = image->pixel(x, y);
                EXPECT_FALSE(qAlpha(px) == 255 && qRed(px) == 0 && qGreen(px) == 255 && qBlue(px) == 0);
                (qAlpha(px) == 0 ? clear : opaque)++;
            }
        }
        EXPECT_GT(clear, 20);
        EXPECT_GT(opaque, 20);
    }
    const QImage margin = TCodeFlagImages::MarginImage(images->Flag(), 40);
    EXPECT_EQ(margin.width(), 40);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x)
            EXPECT_EQ(margin.pixel(20 + x, y), images->Flag().pixel(x, y));
    }
}

// Renders an editor in debug mode with a flag and the current line, for a person to look at.
TEST_F(EditorBraceTest, DebugModeScreenshot)
{
    SetText(QStringLiteral("void main()\n{\n   int a = 1;\n   while (a) {\n      a--;\n   }\n}\n"));
    m_editor.SetShowLineNumbers(true);
    m_editor.SetDebug(true);
    m_editor.CodeFlags().Add(3);
    m_editor.CodeFlags().Add(5);
    m_editor.CodeFlags().SetCurrentLine(5);
    m_editor.CodeFlags().SetCurrentLine(4);
    m_editor.HighlightPair('{', TextPos{4, 14});
    QApplication::processEvents();
    const QImage shot = m_editor.grab().toImage();
    const QString path = kiv::test::BuildDir() + QStringLiteral("/editor_debug_markers.png");
    EXPECT_TRUE(shot.save(path));
    // The flag's red shows in the marker margin.
    int red = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < m_editor.LeftMargin(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 40 && c.blue() < 40)
                ++red;
        }
    }
    EXPECT_GT(red, 20);
}

// Dropped text is taken by a colouring editor only; Ctrl makes the drop a copy.
TEST_F(EditorBraceTest, TextDropsOnlyIntoColouringEditors)
{
    SetText(QStringLiteral("abc"));
    QMimeData mime;
    mime.setText(QStringLiteral("x"));
    const QPoint at(40, 5);
    auto enter = [&](TOvcTextFileEditorSyntax &editor) {
        QDragEnterEvent event(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(editor.viewport(), &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(enter(m_editor));
    TOvcTextFileEditorSyntax plain;
    plain.resize(300, 100);
    plain.SetEditorType(NormalEditor);
    EXPECT_FALSE(enter(plain));

    QDropEvent copy(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(m_editor.viewport(), &copy);
    EXPECT_EQ(copy.dropAction(), Qt::CopyAction);
    EXPECT_EQ(m_editor.Line(1).size(), 4);
    m_editor.SetCaretPos(TextPos{1, 1});
    QDragEnterEvent again(QPoint(2, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_editor.viewport(), &again);
    QDropEvent move(QPoint(2, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_editor.viewport(), &move);
    EXPECT_EQ(move.dropAction(), Qt::MoveAction);
    EXPECT_EQ(m_editor.Line(1).size(), 5);
}
