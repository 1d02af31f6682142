// Colouring, colours and margins of the editor view.

#include "EditorSyntax.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

class ViewColoringTest : public ::testing::Test {
protected:
    ViewColoringTest() { m_editor.resize(600, 400); }

    // The style letters of a 1-based line after styling everything.
    std::string Styles(int line)
    {
        m_editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
        const long start = m_editor.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
        const long end = m_editor.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line - 1));
        std::string s;
        for (long pos = start; pos < end; ++pos)
            s += ".SCKPBDI"[m_editor.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(pos))];
        return s;
    }

    QString Write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_tmp.filePath(name);
        kiv::test::WriteFile(path, bytes);
        return path;
    }

    QTemporaryDir m_tmp;
    TOvcTextFileEditorSyntax m_editor;
};

}  // namespace

TEST_F(ViewColoringTest, EditorTypeDecidesWhatIsPainted)
{
    const QString path = Write("a.c", "#define N 3\r\nint a; /* one\r\ntwo */\r\n");
    m_editor.SetEditorType(SyntaxColoringEditor);
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    EXPECT_EQ(Styles(1), "PPPPPPP....");
    EXPECT_EQ(Styles(2), "KKK....CCCCCC");
    EXPECT_EQ(Styles(3), "CCCCCC");
    EXPECT_EQ(m_editor.Coloring()->Engine().Count(), 1);

    m_editor.SetEditorType(NormalEditor);
    EXPECT_EQ(Styles(2), ".............");
    EXPECT_EQ(m_editor.Coloring()->Engine().Count(), 0);

    m_editor.SetEditorType(DiffFileViewer);
    m_editor.SetDocumentText(QStringLiteral("D   1 gone\nI   2 new\n    3 same"));
    EXPECT_EQ(Styles(1), "DDDDDDDDDD");
    EXPECT_EQ(Styles(2), "IIIIIIIII");
    EXPECT_EQ(Styles(3), "..........");
}

TEST_F(ViewColoringTest, ATextEditorStaysOneAndStaysPlain)
{
    m_editor.SetDocumentText(QStringLiteral("int a; /* c */"));
    m_editor.SetEditorType(TextEditor);
    m_editor.SetEditorType(SyntaxColoringEditor);
    EXPECT_EQ(m_editor.EditorType(), TextEditor);
    EXPECT_EQ(Styles(1), "..............");
}

TEST_F(ViewColoringTest, TypingInALoadedFileKeepsTheComments)
{
    const QString path = Write("b.c", "int a;\nint b;\nint c;\n");
    m_editor.SetEditorType(SyntaxColoringEditor);
    ASSERT_TRUE(m_editor.LoadFromFile(path));
    Styles(1);
    const int scans = m_editor.Coloring()->FullScans();
    m_editor.SetCaretPos(TextPos{2, 1});
    QTest::keyClicks(&m_editor, "/*");
    EXPECT_EQ(Styles(2), "CCCCCCCC");
    EXPECT_EQ(Styles(3), "CCCCCC");
    QTest::keyClicks(&m_editor, "*/");
    EXPECT_EQ(Styles(2), "CCCCKKK...");
    EXPECT_EQ(Styles(3), "KKK...");
    EXPECT_EQ(m_editor.Coloring()->FullScans(), scans);
    m_editor.undo();
    Styles(1);
    EXPECT_GT(m_editor.Coloring()->FullScans(), scans);
}

TEST_F(ViewColoringTest, ColoursFontAndMargins)
{
    TColorTable colors = DefaultColorTable();
    colors[ceText] = {RgbColor(10, 20, 30), RgbColor(200, 210, 220)};
    colors[ceKeywords] = {RgbColor(1, 2, 3), RgbColor(200, 210, 220)};
    m_editor.SetColors(colors);
    EXPECT_EQ(m_editor.Colors(), colors);
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, TSyntaxLexer::stKeywords), long(RgbColor(1, 2, 3)));
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, TSyntaxLexer::stText), long(RgbColor(200, 210, 220)));

    QFont font = m_editor.font();
    font.setPointSize(17);
    m_editor.setFont(font);
    EXPECT_EQ(m_editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZE, TSyntaxLexer::stComments), 17);

    EXPECT_TRUE(m_editor.ShowNewMargin());
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kMarkerMargin), 25);
    m_editor.SetLeftMargin(30);
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kMarkerMargin), 30);
    m_editor.SetShowNewMargin(false);
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kMarkerMargin), 0);
    m_editor.SetDebug(true);
    EXPECT_TRUE(m_editor.ShowNewMargin());
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kMarkerMargin), 30);
    m_editor.SetDebug(false);
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kMarkerMargin), 0);

    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kLineNumberMargin), 0);
    m_editor.SetShowLineNumbers(true);
    const int hWidth = int(m_editor.SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, QsciScintillaBase::STYLE_LINENUMBER, "H"));
    EXPECT_EQ(m_editor.marginWidth(TOvcTextFileEditorSyntax::kLineNumberMargin), 5 * hWidth + 5);

    EXPECT_EQ(m_editor.edgeMode(), QsciScintilla::EdgeLine);
    m_editor.SetRightMargin(64);
    EXPECT_EQ(m_editor.edgeColumn(), 64);
    m_editor.SetShowRightMargin(false);
    EXPECT_EQ(m_editor.edgeMode(), QsciScintilla::EdgeNone);
}
