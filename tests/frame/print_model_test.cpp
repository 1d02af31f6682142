#include "kivini.h"
#include "kivprint_model.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

// Every character is 0.6 of the font's pixel size wide; text is as high as the pixel size.
class TFixedMeasure : public ITextMeasure {
public:
    int TextWidth(const TPrintFont &font, const QString &text) const override
    {
        return int(std::lround(text.size() * font.pixelSize * 0.6));
    }
    int TextHeight(const TPrintFont &font, const QString &) const override { return font.pixelSize; }
};

// Lines of text in memory.
class TLines : public IPrintSource {
public:
    explicit TLines(QStringList lines) : m_lines(std::move(lines)) {}
    static TLines Numbered(int count)
    {
        QStringList lines;
        for (int n = 1; n <= count; ++n)
            lines << QStringLiteral("line %1").arg(n);
        return TLines(lines);
    }
    int LineCount() const override { return int(m_lines.size()); }
    QString Line(int line) const override { return m_lines.at(line - 1); }
    int SelectionFirst() const override { return first; }
    int SelectionLast() const override { return last; }
    bool CanSyntaxPrint() const override { return true; }
    QList<TPrintRun> SyntaxRuns(int line) const override { return runs.value(line); }

    int first = 1;
    int last = 0;
    QHash<int, QList<TPrintRun>> runs;

private:
    QStringList m_lines;
};

class PrintModel : public ::testing::Test {
protected:
    PrintModel()
    {
        engine.MeasurePage = [] { return TPageMetrics::Letter(600); };
        engine.Now = QDateTime(QDate(2024, 6, 10), QTime(15, 7));
        // Tests that look at page numbers ask for them.
        engine.TextOptions.PrintPageNumber = pnNone;
    }
    // Lays out `source` on fresh pages.
    TPrintLayout Print(const IPrintSource &source, TPrintJob job = {})
    {
        engine.StartPagination();
        TPrintDocument document(engine, source, job);
        document.Print();
        engine.EndPagination();
        return document.Layout();
    }
    // The text items of a page that lie in the body.
    QStringList BodyTexts(int page, const TPrintLayout &layout) const
    {
        QStringList texts;
        for (const TPageItem &item : engine.Pages().at(page).items) {
            if (item.kind == TPageItem::ikText && item.rect.y() >= layout.bodyTop)
                texts << item.text;
        }
        return texts;
    }
    const TPageItem *FindText(int page, const QString &text) const
    {
        for (const TPageItem &item : engine.Pages().at(page).items) {
            if (item.kind == TPageItem::ikText && item.text == text)
                return &item;
        }
        return nullptr;
    }

    TFixedMeasure measure;
    TPreviewPrinter engine{measure};
};

}  // namespace

TEST(PrintSettings, DefaultsRoundTripAndKeyOrder)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("kiv.ini");
    TIniFile ini(path);
    TPrintSettings s;
    s.ReadPrint(ini);
    s.ReadPrinter(ini);
    EXPECT_FALSE(s.SyntaxPrint);
    EXPECT_FALSE(s.PrintLineNumber);
    EXPECT_EQ(s.MarginLeft, 1.0);
    EXPECT_EQ(s.MarginTop, 0.5);
    EXPECT_EQ(s.PageNumStyle, int(pnTop));
    EXPECT_EQ(s.PageNumAlign, int(paRight));
    EXPECT_EQ(s.PageNumString, QStringLiteral("Page %d of %d"));
    EXPECT_EQ(s.HeaderString, QStringLiteral("%p%f    %d %t"));
    EXPECT_TRUE(s.HeaderLine);
    EXPECT_FALSE(s.FooterLine);

    s.MarginLeft = 1.25;
    s.FooterString = QStringLiteral("draft");
    s.SyntaxPrint = true;
    s.WritePrinter(ini);
    s.WritePrint(ini);
    const QByteArray text = ReadFile(path);
    // The "printer" keys go out in their order, floats with a decimal point.
    QStringList keys;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys << QString::fromLatin1(line.left(eq)).trimmed();
    }
    EXPECT_EQ(keys.mid(0, 15), QStringList({"margin_left", "margin_right", "margin_top", "margin_bottom",
                                            "pagenum_style", "pagenum_align", "pagenum_string",
                                            "header_string", "margin_header", "header_align",
                                            "footer_string", "margin_footer", "footer_align",
                                            "header_line", "footer_line"}));
    EXPECT_TRUE(text.contains("margin_left=1.25"));
    TPrintSettings back;
    back.ReadPrinter(ini);
    back.ReadPrint(ini);
    EXPECT_EQ(back.MarginLeft, 1.25);
    EXPECT_EQ(back.FooterString, QStringLiteral("draft"));
    EXPECT_TRUE(back.SyntaxPrint);

    // A float that is not a number gives the default.
    ini.WriteString("printer", "margin_top", "wide");
    back.ReadPrinter(ini);
    EXPECT_EQ(back.MarginTop, 0.5);
}

TEST(PrintTemplates, MacrosDatesAndPageNumbers)
{
    const QDateTime at(QDate(2024, 6, 10), QTime(15, 7));
    EXPECT_EQ(PrintDate(at), QStringLiteral("10-Jun-24"));
    EXPECT_EQ(PrintTime(at), QStringLiteral("03:07 pm"));
    EXPECT_EQ(PrintTime(QDateTime(QDate(2024, 1, 2), QTime(0, 30))), QStringLiteral("12:30 am"));
    EXPECT_EQ(ExpandPrintMacros("%p%f    %d %t", "/home/u/proj/main.c", at),
              QStringLiteral("/home/u/proj/main.c    10-Jun-24 03:07 pm"));
    // Each macro once, at its first place.
    EXPECT_EQ(ExpandPrintMacros("%f %f", "/a/b.c", at), QStringLiteral("b.c %f"));
    EXPECT_EQ(ExpandPrintMacros("[%p]", "b.c", at), QStringLiteral("[]"));
    // At most 199 characters stay after a replacement.
    EXPECT_EQ(ExpandPrintMacros("%f", "/x/" + QString(300, 'n'), at).size(), 199);

    EXPECT_EQ(FormatPageNumber("Page %d of %d", 2, 7), QStringLiteral("Page 2 of 7"));
    EXPECT_EQ(FormatPageNumber("Page %d", 2, 7), QStringLiteral("Page 2"));
    EXPECT_EQ(FormatPageNumber("%d%% %d %d", 1, 3), QStringLiteral("1% 3 %d"));
}

TEST_F(PrintModel, PagesFollowTheLinesPerPage)
{
    TPrintJob job;
    job.printLinesOverride = 51;   // 50 lines per page
    engine.TextOptions.PageNumText = "Page %d of %d";
    engine.TextOptions.PrintPageNumber = pnBottom;
    struct Case {
        int lines;
        int pages;
    };
    for (const Case c : {Case{100, 2}, Case{101, 3}, Case{1, 1}, Case{50, 1}}) {
        SCOPED_TRACE(c.lines);
        const TPrintLayout layout = Print(TLines::Numbered(c.lines), job);
        EXPECT_EQ(layout.linesPerPage, 50);
        ASSERT_EQ(engine.PageCount(), c.pages);
        for (int p = 0; p < c.pages; ++p)
            EXPECT_NE(FindText(p, QStringLiteral("Page %1 of %2").arg(p + 1).arg(c.pages)), nullptr);
        EXPECT_EQ(BodyTexts(c.pages - 1, layout).last(), QStringLiteral("line %1").arg(c.lines));
    }
}

TEST_F(PrintModel, LayoutFromTheMarginsAndTheFont)
{
    TPrintJob job;
    const TPrintLayout l = Print(TLines::Numbered(10), job);
    // 600 dots per inch, Letter paper, margins 1.0 / 0.5.
    EXPECT_EQ(l.leftEdge, 600);
    EXPECT_EQ(l.topMargin, 300);
    EXPECT_EQ(l.rightLimit, 5100 - 600);
    EXPECT_EQ(l.bottomLimit, 6600 - 300);
    EXPECT_EQ(l.font.pixelSize, 83);   // 10 points at 600 dpi
    EXPECT_TRUE(l.font.fixedPitch);
    EXPECT_EQ(l.lineHeight, 91);       // 1.1 x 83
    EXPECT_EQ(l.bodyTop, 300 + 91 + 37);
    EXPECT_EQ(l.linesPerPage, (6300 - l.bodyTop) / 91);
    // A print line override of 1 still prints a line per page.
    job.printLinesOverride = 1;
    EXPECT_EQ(Print(TLines::Numbered(3), job).linesPerPage, 1);
    EXPECT_EQ(engine.PageCount(), 3);
}

TEST_F(PrintModel, LineNumbersTakeTheWidthOfTheLastNumber)
{
    TPrintJob job;
    job.lineNumbers = true;
    const TPrintLayout l = Print(TLines::Numbered(1234), job);
    EXPECT_EQ(l.numberFormat, QStringLiteral("%-4d:"));
    const TPageItem *seven = FindText(0, QStringLiteral("7   :"));
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->rect.x(), l.leftEdge);
    const TPageItem *text = FindText(0, QStringLiteral("line 7"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->rect.x(), l.leftEdge + measure.TextWidth(l.font, "1234: "));
    EXPECT_EQ(text->rect.y(), seven->rect.y());
}

TEST_F(PrintModel, SelectedLines)
{
    TLines source = TLines::Numbered(20);
    source.first = 3;
    source.last = 8;
    TPrintJob job;
    job.selectedLines = true;
    const TPrintLayout l = Print(source, job);
    EXPECT_EQ(BodyTexts(0, l), QStringList({"line 3", "line 4", "line 5", "line 6", "line 7", "line 8"}));
    // Without the option, everything.
    job.selectedLines = false;
    EXPECT_EQ(BodyTexts(0, Print(source, job)).size(), 20);
}

TEST_F(PrintModel, NothingIsLost)
{
    TPrintJob job;
    job.tabSize = 4;
    // An empty source records no page.
    Print(TLines({}), job);
    EXPECT_EQ(engine.PageCount(), 0);

    // Tabs go to their stops; a line wider than the page goes on over the next rows.
    const QString longLine = QString(250, 'x') + QStringLiteral("END");
    const TPrintLayout l = Print(TLines({"\tint a;", "a\tb", longLine, ""}), job);
    const QStringList body = BodyTexts(0, l);
    EXPECT_EQ(body.value(0), QStringLiteral("    int a;"));
    EXPECT_EQ(body.value(1), QStringLiteral("a   b"));
    ASSERT_GT(l.charsPerRow, 10);
    EXPECT_EQ(body.mid(2).join(QString()), longLine);
    EXPECT_GT(body.size(), 3);
    for (const QString &row : body)
        EXPECT_LE(row.size(), l.charsPerRow);

    // Fit to page makes the font smaller until the longest line fits.
    job.fitToPage = true;
    const TPrintLayout fit = Print(TLines({"short", QString(120, 'y')}), job);
    EXPECT_LT(fit.font.size, 10);
    EXPECT_LE(measure.TextWidth(fit.font, QString(120, 'y')), fit.rightLimit - fit.textLeft);
    EXPECT_EQ(BodyTexts(0, fit).value(1), QString(120, 'y'));
}

TEST_F(PrintModel, HeaderFooterAndRules)
{
    TTextOptions &o = engine.TextOptions;
    o.Header = "%p%f    %d %t";
    o.HeaderAlign = paLeft;
    o.Footer = "footer";
    o.FooterAlign = paCenter;
    o.PrintPageNumber = pnTop;
    o.PageNumAlign = paRight;
    o.PageNumText = "Page %d of %d";
    o.lineheader = true;
    o.linefooter = true;
    TPrintJob job;
    job.title = "/home/u/proj/main.c";
    const TPrintLayout l = Print(TLines::Numbered(3), job);
    const TPageItem *header = FindText(0, "/home/u/proj/main.c    10-Jun-24 03:07 pm");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->rect.topLeft(), QPoint(600, 300));   // MarginLeft 1.0, HeaderMargin 0.5
    const TPageItem *number = FindText(0, "Page 1 of 1");
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->rect.x(), 5100 - 600 - measure.TextWidth(number->font, "Page 1 of 1"));
    EXPECT_EQ(number->rect.y(), 300);
    const TPageItem *footer = FindText(0, "footer");
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->rect.y(), 6600 - 450);                // FooterMargin 0.75
    EXPECT_EQ(footer->rect.x(), 5100 / 2 - measure.TextWidth(footer->font, "footer") / 2);
    // Headers and footers print in the body font.
    EXPECT_EQ(header->font, l.font);
    int rules = 0;
    for (const TPageItem &item : engine.Pages().at(0).items) {
        if (item.kind != TPageItem::ikLine)
            continue;
        ++rules;
        EXPECT_EQ(item.penWidth, 8);
        EXPECT_EQ(item.rect.x(), l.leftEdge);
        EXPECT_EQ(item.rect.x() + item.rect.width(), l.rightLimit);
        EXPECT_TRUE(item.rect.y() == l.bodyTop - 12 || item.rect.y() == l.bottomLimit - 12);
    }
    EXPECT_EQ(rules, 2);
}

TEST_F(PrintModel, SyntaxColoursAreRunsOnTheExpandedLine)
{
    TLines source({"\tint x; /* c */"});
    // "int" keyword blue, the comment green on yellow (columns of the line with its tab).
    source.runs[1] = {TPrintRun{0, 1, 0x000000, -1}, TPrintRun{1, 3, 0x0000FF, -1},
                      TPrintRun{4, 4, 0x000000, -1}, TPrintRun{8, 7, 0x008000, 0xFFFF00}};
    TPrintJob job;
    job.tabSize = 4;
    job.syntaxPrint = true;
    const TPrintLayout l = Print(source, job);
    const int cw = measure.TextWidth(l.font, "M");
    const TPageItem *keyword = FindText(0, "int");
    ASSERT_NE(keyword, nullptr);
    EXPECT_EQ(keyword->color, 0x0000FFu);
    EXPECT_EQ(keyword->rect.x(), l.textLeft + 4 * cw);
    const TPageItem *comment = FindText(0, "/* c */");
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->color, 0x008000u);
    EXPECT_EQ(comment->rect.x(), l.textLeft + 11 * cw);
    bool filled = false;
    for (const TPageItem &item : engine.Pages().at(0).items)
        filled |= item.kind == TPageItem::ikFill && item.color == 0xFFFF00u && item.rect.x() == comment->rect.x();
    EXPECT_TRUE(filled);
    // Without syntax print the line is one plain text.
    job.syntaxPrint = false;
    const TPrintLayout plain = Print(source, job);
    EXPECT_EQ(BodyTexts(0, plain), QStringList({"    int x; /* c */"}));
}
