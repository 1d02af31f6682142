#include "kivprint_model.h"

#include "kivini.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kiv {

namespace {

const QString kPrint = QStringLiteral("Print");
const QString kPrinter = QStringLiteral("printer");

// Text kept after each macro replacement.
constexpr int kMacroTextLimit = 199;

// The body font's character cell is 10 points high.
constexpr double kBodyFontPoints = 10;

int Round(double value)
{
    return int(std::lround(value));
}

int PixelsOfPoints(double points, int dpi)
{
    return std::max(1, Round(points * dpi / 72.0));
}

TPrintAlign AlignOf(int value)
{
    return value == paLeft || value == paRight || value == paCenter ? TPrintAlign(value) : paLeft;
}

}  // namespace

// --- settings -------------------------------------------------------------------------------------

QString FloatText(double value)
{
    // Always a decimal point, whatever the locale.
    return QString::number(value, 'g', 12);
}

double FloatOf(const QString &text, double fallback)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

void TPrintSettings::ReadPrint(TIniFile &ini)
{
    SyntaxPrint = ini.ReadBool(kPrint, QStringLiteral("SyntaxPrint"), false);
    PrintLineNumber = ini.ReadBool(kPrint, QStringLiteral("PrintLineNumber"), false);
}

void TPrintSettings::WritePrint(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    batch.WriteBool(kPrint, QStringLiteral("SyntaxPrint"), SyntaxPrint);
    batch.WriteBool(kPrint, QStringLiteral("PrintLineNumber"), PrintLineNumber);
    batch.Commit();
}

void TPrintSettings::ReadPrinter(TIniFile &ini)
{
    const TPrintSettings d;
    const auto real = [&](const char *key, double def) {
        return FloatOf(ini.ReadString(kPrinter, QString::fromLatin1(key)), def);
    };
    MarginLeft = real("margin_left", d.MarginLeft);
    MarginRight = real("margin_right", d.MarginRight);
    MarginTop = real("margin_top", d.MarginTop);
    MarginBottom = real("margin_bottom", d.MarginBottom);
    PageNumStyle = ini.ReadInteger(kPrinter, QStringLiteral("pagenum_style"), d.PageNumStyle);
    PageNumAlign = ini.ReadInteger(kPrinter, QStringLiteral("pagenum_align"), d.PageNumAlign);
    PageNumString = ini.ReadString(kPrinter, QStringLiteral("pagenum_string"), d.PageNumString);
    HeaderString = ini.ReadString(kPrinter, QStringLiteral("header_string"), d.HeaderString);
    HeaderMargin = real("margin_header", d.HeaderMargin);
    HeaderAlign = ini.ReadInteger(kPrinter, QStringLiteral("header_align"), d.HeaderAlign);
    FooterString = ini.ReadString(kPrinter, QStringLiteral("footer_string"), d.FooterString);
    FooterMargin = real("margin_footer", d.FooterMargin);
    FooterAlign = ini.ReadInteger(kPrinter, QStringLiteral("footer_align"), d.FooterAlign);
    HeaderLine = ini.ReadBool(kPrinter, QStringLiteral("header_line"), d.HeaderLine);
    FooterLine = ini.ReadBool(kPrinter, QStringLiteral("footer_line"), d.FooterLine);
}

void TPrintSettings::WritePrinter(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    batch.WriteString(kPrinter, QStringLiteral("margin_left"), FloatText(MarginLeft));
    batch.WriteString(kPrinter, QStringLiteral("margin_right"), FloatText(MarginRight));
    batch.WriteString(kPrinter, QStringLiteral("margin_top"), FloatText(MarginTop));
    batch.WriteString(kPrinter, QStringLiteral("margin_bottom"), FloatText(MarginBottom));
    batch.WriteInteger(kPrinter, QStringLiteral("pagenum_style"), PageNumStyle);
    batch.WriteInteger(kPrinter, QStringLiteral("pagenum_align"), PageNumAlign);
    batch.WriteString(kPrinter, QStringLiteral("pagenum_string"), PageNumString);
    batch.WriteString(kPrinter, QStringLiteral("header_string"), HeaderString);
    batch.WriteString(kPrinter, QStringLiteral("margin_header"), FloatText(HeaderMargin));
    batch.WriteInteger(kPrinter, QStringLiteral("header_align"), HeaderAlign);
    batch.WriteString(kPrinter, QStringLiteral("footer_string"), FooterString);
    batch.WriteString(kPrinter, QStringLiteral("margin_footer"), FloatText(FooterMargin));
    batch.WriteInteger(kPrinter, QStringLiteral("footer_align"), FooterAlign);
    batch.WriteBool(kPrinter, QStringLiteral("header_line"), HeaderLine);
    batch.WriteBool(kPrinter, QStringLiteral("footer_line"), FooterLine);
    batch.Commit();
}

void TPrintSettings::ApplyTo(TTextOptions &o) const
{
    o.PrintPageNumber = PageNumStyle == pnBottom || PageNumStyle == pnTop || PageNumStyle == pnNone
                            ? TPrintPageNumber(PageNumStyle)
                            : pnBottom;
    o.PageNumAlign = AlignOf(PageNumAlign);
    o.PageNumText = PageNumString;
    o.Header = HeaderString;
    o.HeaderMargin = HeaderMargin;
    o.HeaderAlign = AlignOf(HeaderAlign);
    o.Footer = FooterString;
    o.FooterMargin = FooterMargin;
    o.FooterAlign = AlignOf(FooterAlign);
    o.lineheader = HeaderLine;
    o.linefooter = FooterLine;
}

// --- templates ------------------------------------------------------------------------------------

QString PrintDate(const QDateTime &at)
{
    return QLocale::c().toString(at, QStringLiteral("dd-MMM-yy"));
}

QString PrintTime(const QDateTime &at)
{
    const QTime t = at.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour12, 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

QString ExpandPrintMacros(const QString &text, const QString &title, const QDateTime &at)
{
    const qsizetype slash = title.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? title.left(slash + 1) : QString();
    const QString name = title.mid(slash + 1);
    QString result = text;
    const auto replace = [&result](const QString &macro, const QString &value) {
        const qsizetype at = result.indexOf(macro);
        if (at >= 0) {
            result.replace(at, macro.size(), value);
            result.truncate(kMacroTextLimit);
        }
    };
    replace(QStringLiteral("%p"), folder);
    replace(QStringLiteral("%f"), name);
    replace(QStringLiteral("%d"), PrintDate(at));
    replace(QStringLiteral("%t"), PrintTime(at));
    return result;
}

QString FormatPageNumber(const QString &format, int page, int count)
{
    QString out;
    int used = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar next = format.at(i + 1);
            if (next == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (next == QLatin1Char('d') && used < 2) {
                out += QString::number(used == 0 ? page : count);
                ++used;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// --- pages ----------------------------------------------------------------------------------------

QStringList TPrintPage::Texts() const
{
    QStringList texts;
    for (const TPageItem &item : items) {
        if (item.kind == TPageItem::ikText)
            texts << item.text;
    }
    return texts;
}

TPageMetrics TPageMetrics::Letter(int dpi)
{
    TPageMetrics m;
    m.horizontalDpi = dpi;
    m.verticalDpi = dpi;
    m.pageWidth = Round(8.5 * dpi);
    m.pageHeight = Round(11.0 * dpi);
    return m;
}

TPreviewPrinter::TPreviewPrinter(const ITextMeasure &measure)
    : m_measure(measure)
{
}

int TPreviewPrinter::HorizontalPixels(double length) const
{
    return Round(m_metrics.horizontalDpi * length / (Units == unInches ? 1.0 : 2.54));
}

int TPreviewPrinter::VerticalPixels(double length) const
{
    return Round(m_metrics.verticalDpi * length / (Units == unInches ? 1.0 : 2.54));
}

void TPreviewPrinter::StartPagination()
{
    m_pages.clear();
    m_font = TPrintFont();
    m_font.pixelSize = 0;
    m_color = 0x000000;
    m_penWidth = 1;
    NewPage();
}

void TPreviewPrinter::NewPage()
{
    m_metrics = MeasurePage ? MeasurePage() : TPageMetrics::Letter(96);
    if (m_metrics.pageWidth <= 0)
        m_metrics = TPageMetrics::Letter(m_metrics.verticalDpi > 0 ? m_metrics.verticalDpi : 96);
    // The first page starts with Arial 10; later pages go on with the previous page's font.
    if (m_font.pixelSize <= 0)
        m_font.pixelSize = PixelsOfPoints(m_font.size, m_metrics.verticalDpi);
    m_pages.append(TPrintPage());
    m_touched = false;
}

void TPreviewPrinter::EndPagination()
{
    if (!m_touched && !m_pages.isEmpty())
        m_pages.removeLast();
}

TPrintPage &TPreviewPrinter::PageCanvas()
{
    if (m_pages.isEmpty())
        NewPage();
    m_touched = true;
    return m_pages.last();
}

void TPreviewPrinter::TextOut(int x, int y, const QString &text)
{
    TPageItem item;
    item.kind = TPageItem::ikText;
    item.rect = QRect(x, y, 0, 0);
    item.text = text;
    item.font = m_font;
    item.color = m_color;
    PageCanvas().items.append(item);
}

void TPreviewPrinter::Line(int x1, int y1, int x2, int y2)
{
    TPageItem item;
    item.kind = TPageItem::ikLine;
    item.rect = QRect(x1, y1, x2 - x1, y2 - y1);
    item.color = m_color;
    item.penWidth = m_penWidth;
    PageCanvas().items.append(item);
}

void TPreviewPrinter::Fill(const QRect &rect, unsigned color)
{
    TPageItem item;
    item.kind = TPageItem::ikFill;
    item.rect = rect;
    item.color = color;
    PageCanvas().items.append(item);
}

void TPreviewPrinter::DrawAligned(int y, TPrintAlign align, const TPrintFont &font, const QString &text)
{
    if (text.isEmpty())
        return;
    TPrintFont f = font;
    if (f.pixelSize <= 0)
        f.pixelSize = PixelsOfPoints(f.size, m_metrics.verticalDpi);
    const int width = m_measure.TextWidth(f, text);
    int x = 0;
    switch (align) {
    case paLeft: x = HorizontalPixels(TextOptions.MarginLeft); break;
    case paRight: x = m_metrics.pageWidth - HorizontalPixels(TextOptions.MarginRight) - width; break;
    case paCenter: x = m_metrics.pageWidth / 2 - width / 2; break;
    }
    const TPrintFont canvas = m_font;
    m_font = f;
    TextOut(x, y, text);
    m_font = canvas;
}

void TPreviewPrinter::DrawHeaderFooter(int page, int count, const QString &title)
{
    const TTextOptions &o = TextOptions;
    const int headerY = VerticalPixels(o.HeaderMargin);
    const int footerY = m_metrics.pageHeight - VerticalPixels(o.FooterMargin);
    DrawAligned(headerY, o.HeaderAlign, o.HeaderFont, ExpandPrintMacros(o.Header, title, Now));
    DrawAligned(footerY, o.FooterAlign, o.FooterFont, ExpandPrintMacros(o.Footer, title, Now));
    const QString number = FormatPageNumber(o.PageNumText, page, count);
    if (o.PrintPageNumber == pnBottom)
        DrawAligned(footerY, o.PageNumAlign, o.PageNumFont, number);
    else if (o.PrintPageNumber == pnTop)
        DrawAligned(headerY, o.PageNumAlign, o.PageNumFont, number);
}

// --- documents ------------------------------------------------------------------------------------

QString ExpandTabs(const QString &line, int tabSize)
{
    if (!line.contains(QLatin1Char('\t')))
        return line;
    const int size = std::max(1, tabSize);
    QString out;
    out.reserve(line.size() + 16);
    for (const QChar c : line) {
        if (c == QLatin1Char('\t'))
            out += QString(size - out.size() % size, QLatin1Char(' '));
        else
            out += c;
    }
    return out;
}

QString LineNumberText(int line, int width)
{
    return QString::number(line).leftJustified(width, QLatin1Char(' ')) + QLatin1Char(':');
}

TPrintDocument::TPrintDocument(TPreviewPrinter &engine, const IPrintSource &source, const TPrintJob &job)
    : m_engine(engine)
    , m_source(source)
    , m_job(job)
{
}

void TPrintDocument::ComputeLayout(int last)
{
    const TPageMetrics &m = m_engine.Metrics();
    const ITextMeasure &measure = m_engine.Measure();
    TPrintLayout &l = m_layout;
    l.topMargin = Round(m_job.marginTop * m.verticalDpi);
    l.rightLimit = Round(m.pageWidth - m_job.marginRight * m.horizontalDpi);
    l.bottomLimit = Round(m.pageHeight - m_job.marginBottom * m.verticalDpi);
    l.leftEdge = Round(m_job.marginLeft * m.horizontalDpi);

    l.font = TPrintFont();
    l.font.name = m_source.FontName();
    l.font.size = kBodyFontPoints;
    l.font.fixedPitch = true;
    l.font.pixelSize = PixelsOfPoints(l.font.size, m.verticalDpi);

    const QString lastNumber = QString::number(last);
    const auto numberWidth = [&] {
        return m_job.lineNumbers ? measure.TextWidth(l.font, lastNumber + QStringLiteral(": ")) : 0;
    };
    l.numberFormat = m_job.lineNumbers ? QStringLiteral("%-%1d:").arg(lastNumber.size()) : QString();
    l.textLeft = l.leftEdge + numberWidth();

    if (m_job.fitToPage) {
        // The longest line of the whole source, the first one on ties.
        QString longest;
        for (int line = 1; line <= m_source.LineCount(); ++line) {
            const QString text = ExpandTabs(m_source.Line(line), m_job.tabSize);
            if (text.size() > longest.size())
                longest = text;
        }
        while (l.font.size > 1 && measure.TextWidth(l.font, longest) > l.rightLimit - l.textLeft) {
            l.font.size -= 1;
            l.font.pixelSize = PixelsOfPoints(l.font.size, m.verticalDpi);
            l.textLeft = l.leftEdge + numberWidth();
        }
    }

    l.lineHeight = std::max(1, Round(1.1 * measure.TextHeight(l.font, QStringLiteral("MMgg"))));
    l.bodyTop = l.topMargin + l.lineHeight + 37;
    l.linesPerPage = (l.bottomLimit - l.bodyTop) / l.lineHeight;
    if (m_job.printLinesOverride != 0)
        l.linesPerPage = m_job.printLinesOverride - 1;
    // Margins or an override that leave no room still print a line per page.
    l.linesPerPage = std::max(1, l.linesPerPage);
    const int charWidth = std::max(1, measure.TextWidth(l.font, QStringLiteral("M")));
    l.charsPerRow = std::max(1, (l.rightLimit - l.textLeft) / charWidth);
}

void TPrintDocument::PageFrame(int page)
{
    TPreviewPrinter &e = m_engine;
    e.CanvasFont() = m_layout.font;
    e.CanvasColor() = 0x000000;
    TTextOptions &o = e.TextOptions;
    o.HeaderFont = m_layout.font;
    o.FooterFont = m_layout.font;
    o.PageNumFont = m_layout.font;
    e.DrawHeaderFooter(page, m_layout.pageCount, m_job.title);
    e.PenWidth() = 8;
    if (o.lineheader)
        e.Line(m_layout.leftEdge, m_layout.bodyTop - 12, m_layout.rightLimit, m_layout.bodyTop - 12);
    if (o.linefooter)
        e.Line(m_layout.leftEdge, m_layout.bottomLimit - 12, m_layout.rightLimit, m_layout.bottomLimit - 12);
}

void TPrintDocument::Print()
{
    const int lineCount = m_source.LineCount();
    if (lineCount <= 0)
        return;
    int first = 1;
    int last = lineCount;
    if (m_job.selectedLines && m_source.HasSelection()) {
        first = std::clamp(m_source.SelectionFirst(), 1, lineCount);
        last = std::clamp(m_source.SelectionLast(), first, lineCount);
    }
    ComputeLayout(last);
    const TPrintLayout &l = m_layout;
    const bool colours = (m_job.syntaxPrint && m_source.CanSyntaxPrint())
                         || (m_job.printColors && m_source.IsCompareResult());

    // Rows: a line wider than the text rectangle goes on over the following rows.
    QList<TRow> rows;
    QStringList texts;   // expanded text of each printed line, by line - first
    for (int line = first; line <= last; ++line) {
        const QString text = ExpandTabs(m_source.Line(line), m_job.tabSize);
        texts << text;
        int start = 0;
        do {
            const int length = std::min<int>(l.charsPerRow, int(text.size()) - start);
            rows.append(TRow{start == 0 ? line : 0, line, start, std::max(0, length)});
            start += l.charsPerRow;
        } while (start < text.size());
    }
    m_layout.pageCount = int((rows.size() + l.linesPerPage - 1) / l.linesPerPage);

    const int charWidth = std::max(1, m_engine.Measure().TextWidth(l.font, QStringLiteral("M")));
    const int numberWidth = int(QString::number(last).size());
    int page = 1;
    PageFrame(page);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (r > 0 && r % l.linesPerPage == 0) {
            m_engine.NewPage();
            PageFrame(++page);
        }
        const TRow &row = rows.at(r);
        const int y = l.bodyTop + int(r % l.linesPerPage) * l.lineHeight;
        m_engine.CanvasFont() = l.font;
        m_engine.CanvasColor() = 0x000000;
        if (m_job.lineNumbers && row.line > 0)
            m_engine.TextOut(l.leftEdge, y, LineNumberText(row.line, numberWidth));
        const QString &text = texts.at(row.sourceLine - first);
        if (row.length <= 0) {
            m_engine.PageCanvas();
            continue;
        }
        if (!colours) {
            m_engine.TextOut(l.textLeft, y, text.mid(row.start, row.length));
            continue;
        }
        // Coloured runs, placed by their columns in the expanded line.
        const QString original = m_source.Line(row.sourceLine);
        QList<int> at;   // expanded column of each original character
        at.reserve(original.size() + 1);
        int column = 0;
        const int tab = std::max(1, m_job.tabSize);
        for (const QChar c : original) {
            at << column;
            column = c == QLatin1Char('\t') ? column + (tab - column % tab) : column + 1;
        }
        at << column;
        QList<TPrintRun> runs = m_source.SyntaxRuns(row.sourceLine);
        if (runs.isEmpty())
            runs << TPrintRun{0, int(original.size()), 0x000000, -1};
        for (const TPrintRun &run : std::as_const(runs)) {
            const int from = at.value(std::clamp(run.start, 0, int(original.size())));
            const int to = at.value(std::clamp(run.start + run.length, 0, int(original.size())));
            const int a = std::max(from, row.start);
            const int b = std::min(to, row.start + row.length);
            if (b <= a)
                continue;
            const int x = l.textLeft + (a - row.start) * charWidth;
            if (run.background >= 0 && unsigned(run.background) != 0xFFFFFF)
                m_engine.Fill(QRect(x, y, (b - a) * charWidth, l.lineHeight), unsigned(run.background));
            m_engine.CanvasColor() = run.color;
            m_engine.TextOut(x, y, text.mid(a, b - a));
        }
        m_engine.CanvasColor() = 0x000000;
    }
}

}  // namespace kiv
