#pragma once

// Printing without windows: the text options of the page engine and their settings, header and
// footer templates, and the page engine itself, which records each page as a list of drawing
// items in printer pixels. The window layer measures text, paints the items on a printer or a
// preview, and runs the dialogs.

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

namespace kiv {

class TIniFile;

/// Placement of a header, footer or page number.
enum TPrintAlign { paLeft = 0, paRight = 1, paCenter = 2 };
/// Where the page number goes.
enum TPrintPageNumber { pnBottom = 0, pnTop = 1, pnNone = 2 };
/// The page engine's unit.
enum TUnits { unInches = 0, unCentimeters = 1 };
/// The zoom of the preview.
enum TZoomOption { zoFitToPage, zoFitToWidth, zoTwoPages, zoCustom };

/// A font as the page engine keeps it. `size` is in points; a page item's font has its size in
/// printer pixels instead (`pixelSize`).
struct TPrintFont {
    QString name = QStringLiteral("Arial");
    double size = 10;
    int pixelSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false;
    friend bool operator==(const TPrintFont &, const TPrintFont &) = default;
};

/// The text options of the page engine.
struct TTextOptions {
    double MarginLeft = 1.0;
    double MarginTop = 1.0;
    double MarginRight = 1.0;
    double MarginBottom = 1.0;
    QString Header;
    QString Footer;
    double HeaderMargin = 0.5;    /// distance of the header text from the top edge
    double FooterMargin = 0.75;   /// distance of the footer text from the bottom edge
    TPrintAlign HeaderAlign = paCenter;
    TPrintAlign FooterAlign = paCenter;
    TPrintPageNumber PrintPageNumber = pnBottom;
    TPrintAlign PageNumAlign = paRight;
    QString PageNumText = QStringLiteral("Page %d");   /// formatted with page and page count
    bool lineheader = false;      /// a rule under the header
    bool linefooter = false;      /// a rule above the footer
    TPrintFont HeaderFont{QStringLiteral("Times New Roman"), 18, 0, true};
    TPrintFont FooterFont{QStringLiteral("Times New Roman"), 10, 0, false, true};
    TPrintFont PageNumFont{QStringLiteral("Times New Roman"), 10, 0, false, true};
};

/// The "Print" and "printer" settings of the "Print File" dialog.
struct TPrintSettings {
    bool SyntaxPrint = false;
    bool PrintLineNumber = false;
    double MarginLeft = 1.0;      /// the margin fields, inches
    double MarginRight = 1.0;
    double MarginTop = 0.5;
    double MarginBottom = 0.5;
    int PageNumStyle = pnTop;
    int PageNumAlign = paRight;
    QString PageNumString = QStringLiteral("Page %d of %d");
    QString HeaderString = QStringLiteral("%p%f    %d %t");
    double HeaderMargin = 0.5;
    int HeaderAlign = paLeft;
    QString FooterString;
    double FooterMargin = 0.5;
    int FooterAlign = paLeft;
    bool HeaderLine = true;
    bool FooterLine = false;

    /// Section "Print": SyntaxPrint, PrintLineNumber.
    void ReadPrint(TIniFile &ini);
    void WritePrint(TIniFile &ini) const;
    /// Section "printer": the margins, page number, header and footer keys. A float that is
    /// missing or not a number gives its default.
    void ReadPrinter(TIniFile &ini);
    /// Writes the "printer" keys in their order.
    void WritePrinter(TIniFile &ini) const;
    /// The text options these settings give (margins of the text options are not among them).
    void ApplyTo(TTextOptions &options) const;
};

/// A float setting as the settings file keeps it: decimal text with a decimal point.
QString FloatText(double value);
/// The float of a setting's text, or `fallback` when it is not a number.
double FloatOf(const QString &text, double fallback);

/// "dd-mmm-yy" (10-Jun-24) and "hh:nn am/pm" (03:07 pm) of a moment.
QString PrintDate(const QDateTime &at);
QString PrintTime(const QDateTime &at);

/// A header or footer template with its macros replaced, each once at its first occurrence: "%p"
/// by the title's folder part (with its trailing separator), "%f" by its file-name part, "%d" by
/// the date and "%t" by the time; after each replacement at most 199 characters are kept.
QString ExpandPrintMacros(const QString &text, const QString &title, const QDateTime &at);

/// The page number text: each "%d" in turn takes the page and then the page count ("%%" is a
/// percent sign); a third "%d" stays as it is.
QString FormatPageNumber(const QString &format, int page, int count);

/// One thing drawn on a page, in printer pixels of the page.
struct TPageItem {
    enum TKind { ikText, ikLine, ikFill };
    TKind kind = ikText;
    /// Text: x, y of the text's top-left corner (width and height unused). Line: from (x, y) to
    /// (x + width, y + height). Fill: the rectangle.
    QRect rect;
    QString text;
    TPrintFont font;              /// pixelSize set
    unsigned color = 0x000000;    /// 0xRRGGBB: text, line or fill colour
    int penWidth = 1;
};

/// The items of one page, in drawing order.
struct TPrintPage {
    QList<TPageItem> items;
    /// The texts of the page's text items in order (for tests and checks).
    QStringList Texts() const;
};

/// The page metrics in device pixels.
struct TPageMetrics {
    int horizontalDpi = 96;
    int verticalDpi = 96;
    int pageWidth = 816;      /// the physical page
    int pageHeight = 1056;
    int offsetX = 0;          /// where the printable area starts
    int offsetY = 0;
    /// Letter paper (8.5 by 11 inches) at `dpi`.
    static TPageMetrics Letter(int dpi);
};

/// Measures text in a font (with its pixel size) in pixels.
class ITextMeasure {
public:
    virtual ~ITextMeasure() = default;
    virtual int TextWidth(const TPrintFont &font, const QString &text) const = 0;
    virtual int TextHeight(const TPrintFont &font, const QString &text) const = 0;
};

/// The page engine: records pages, draws headers and footers from the text options.
class TPreviewPrinter {
public:
    explicit TPreviewPrinter(const ITextMeasure &measure);

    int Orientation = 0;   /// 0 portrait, 1 landscape
    QString Title;
    TTextOptions TextOptions;
    TUnits Units = unInches;
    bool ShowGrid = false;
    TZoomOption ZoomOption = zoFitToPage;
    int ZoomVal = 100;
    QString previewCaption;
    /// When the pages were laid out (the date and time of headers and footers).
    QDateTime Now = QDateTime::currentDateTime();

    /// Asked for the page metrics of each new page (the printer's, or the screen's).
    std::function<TPageMetrics()> MeasurePage;

    /// A length in the engine's unit as horizontal or vertical pixels.
    int HorizontalPixels(double length) const;
    int VerticalPixels(double length) const;

    /// Drops all pages and starts the first.
    void StartPagination();
    /// Adds a new empty page (with the previous page's font, colour and pen).
    void NewPage();
    /// Drops the last page when nothing was drawn on it since it was started.
    void EndPagination();
    /// The current page, marked as drawn on.
    TPrintPage &PageCanvas();
    /// The canvas state carried from page to page.
    TPrintFont &CanvasFont() { return m_font; }
    unsigned &CanvasColor() { return m_color; }
    int &PenWidth() { return m_penWidth; }

    /// Draws text with its top-left corner at (x, y) in the canvas font and colour.
    void TextOut(int x, int y, const QString &text);
    /// A line in the canvas colour and pen width.
    void Line(int x1, int y1, int x2, int y2);
    /// A filled rectangle.
    void Fill(const QRect &rect, unsigned color);

    /// The header, footer and page number of page `page` of `count`, for `title`.
    void DrawHeaderFooter(int page, int count, const QString &title);

    /// Whether something was drawn on the current page since it was started.
    bool Touched() const { return m_touched; }
    int PageCount() const { return int(m_pages.size()); }
    const QList<TPrintPage> &Pages() const { return m_pages; }
    const TPageMetrics &Metrics() const { return m_metrics; }
    const ITextMeasure &Measure() const { return m_measure; }

private:
    void DrawAligned(int y, TPrintAlign align, const TPrintFont &font, const QString &text);

    const ITextMeasure &m_measure;
    QList<TPrintPage> m_pages;
    TPageMetrics m_metrics;
    TPrintFont m_font;
    unsigned m_color = 0x000000;
    int m_penWidth = 1;
    bool m_touched = false;
};

/// A coloured run of a printed line: characters [start, start + length) (0-based) in `color`
/// on `background` (0xRRGGBB; background -1 for none).
struct TPrintRun {
    int start = 0;
    int length = 0;
    unsigned color = 0x000000;
    int background = -1;
};

/// What prints: the lines of an editor, a viewer or a file.
class IPrintSource {
public:
    virtual ~IPrintSource() = default;
    virtual int LineCount() const = 0;
    /// Line `line` (1-based) with its tabs as they are.
    virtual QString Line(int line) const = 0;
    /// The selected lines (1-based, first > last when there is no selection), by the rules of
    /// the source: an editor selection ending in column 1 ends on the line before.
    virtual int SelectionFirst() const { return 1; }
    virtual int SelectionLast() const { return 0; }
    bool HasSelection() const { return SelectionFirst() <= SelectionLast(); }
    /// The editor font's name.
    virtual QString FontName() const { return QStringLiteral("Courier New"); }
    /// Syntax colours available (a colouring editor).
    virtual bool CanSyntaxPrint() const { return false; }
    /// A compare result (its lines can be printed in colour).
    virtual bool IsCompareResult() const { return false; }
    /// The colours of a line for syntax print; columns count characters of Line().
    virtual QList<TPrintRun> SyntaxRuns(int line) const { return {}; }
};

/// The body options of a print.
struct TPrintJob {
    QString title;
    bool selectedLines = false;
    bool syntaxPrint = false;
    bool lineNumbers = false;
    bool fitToPage = false;
    bool printColors = false;
    int tabSize = 8;
    double marginLeft = 1.0;     /// inches
    double marginTop = 0.5;
    double marginRight = 1.0;
    double marginBottom = 0.5;
    int printLinesOverride = 0;  /// PRINTLINES= of the command line, 0 for none
};

/// The layout values of the current document, in printer pixels.
struct TPrintLayout {
    int lineHeight = 0;
    int bodyTop = 0;
    int topMargin = 0;
    int bottomLimit = 0;
    int leftEdge = 0;
    int rightLimit = 0;
    int textLeft = 0;           /// where the text starts (after the line numbers)
    int linesPerPage = 0;
    int pageCount = 0;
    int charsPerRow = 0;        /// characters that fit in the text rectangle
    QString numberFormat;       /// "%-4d:" for a last line number of four digits
    TPrintFont font;            /// the body font (pixel size)
};

/// A line as printed: tabs expanded to `tabSize` stops.
QString ExpandTabs(const QString &line, int tabSize);
/// The line number in the number format: left-aligned in `width` characters, then ":".
QString LineNumberText(int line, int width);

/// Lays out and records a source: the body of the "Print File" dialog's pagination. Lines that
/// are wider than the text rectangle continue on the following rows, so no text is cut off;
/// each page holds at most `linesPerPage` rows.
class TPrintDocument {
public:
    TPrintDocument(TPreviewPrinter &engine, const IPrintSource &source, const TPrintJob &job);

    /// Records the document's pages into the engine (which must have been started). Nothing is
    /// recorded for a source without lines.
    void Print();
    const TPrintLayout &Layout() const { return m_layout; }

private:
    struct TRow {
        int line = 0;        /// 0 for a continuation row
        int sourceLine = 0;
        int start = 0;       /// first character of the expanded line on this row
        int length = 0;
    };
    void ComputeLayout(int last);
    void PageFrame(int page);

    TPreviewPrinter &m_engine;
    const IPrintSource &m_source;
    TPrintJob m_job;
    TPrintLayout m_layout;
};

}  // namespace kiv
