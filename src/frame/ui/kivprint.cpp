#include "kivprint.h"

#include "kivprompt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include <cmath>

namespace kiv {

namespace {

QColor ColorOf(unsigned rgb)
{
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

// The family that prints a fixed-pitch font named `name`: that font when it is installed and of
// fixed pitch, else the system's fixed-pitch font, else any installed one. The body's columns are
// placed by the width of one character, so a proportional stand-in would scatter them.
QString FixedPitchFamily(const QString &name)
{
    static QHash<QString, QString> resolved;
    const auto known = resolved.constFind(name);
    if (known != resolved.constEnd())
        return *known;
    const auto fixed = [](const QFont &font) {
        const QFontInfo info(font);
        return info.fixedPitch() ? info.family() : QString();
    };
    QFont wanted(name);
    wanted.setStyleHint(QFont::TypeWriter);
    QString family = fixed(wanted);
    if (family.isEmpty())
        family = fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (family.isEmpty()) {
        for (const QString &candidate : QFontDatabase::families()) {
            if (QFontDatabase::isFixedPitch(candidate)) {
                family = candidate;
                break;
            }
        }
    }
    if (family.isEmpty())
        family = name;
    resolved.insert(name, family);
    return family;
}

}  // namespace

QFont ToQFont(const TPrintFont &f)
{
    QFont font(f.name);
    if (f.pixelSize > 0)
        font.setPixelSize(f.pixelSize);
    else
        font.setPointSizeF(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    if (f.fixedPitch) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
        font.setFamily(FixedPitchFamily(f.name));
    }
    // The same glyph advances on the printer, in a file and on the screen.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

int TQtTextMeasure::TextWidth(const TPrintFont &font, const QString &text) const
{
    return int(std::ceil(QFontMetricsF(ToQFont(font)).horizontalAdvance(text)));
}

int TQtTextMeasure::TextHeight(const TPrintFont &font, const QString &text) const
{
    return int(std::ceil(QFontMetricsF(ToQFont(font)).boundingRect(text).height()));
}

void PaintPage(QPainter &painter, const TPrintPage &page)
{
    for (const TPageItem &item : page.items) {
        switch (item.kind) {
        case TPageItem::ikText: {
            const QFont font = ToQFont(item.font);
            painter.setFont(font);
            painter.setPen(ColorOf(item.color));
            painter.drawText(QPointF(item.rect.x(), item.rect.y() + QFontMetricsF(font).ascent()), item.text);
            break;
        }
        case TPageItem::ikLine:
            painter.setPen(QPen(ColorOf(item.color), item.penWidth));
            painter.drawLine(item.rect.topLeft(), item.rect.topLeft() + QPoint(item.rect.width(), item.rect.height()));
            break;
        case TPageItem::ikFill:
            painter.fillRect(item.rect, ColorOf(item.color));
            break;
        }
    }
}

TPageMetrics PrinterMetrics(const QPrinter &printer)
{
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat || !printer.outputFileName().isEmpty();
    if (!toFile && QPrinterInfo::availablePrinterNames().isEmpty()) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return TPageMetrics::Letter(screen ? int(std::lround(screen->logicalDotsPerInch())) : 96);
    }
    TPageMetrics m;
    const int dpi = printer.resolution();
    m.horizontalDpi = dpi;
    m.verticalDpi = dpi;
    const QPageLayout layout = printer.pageLayout();
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    m.pageWidth = full.width();
    m.pageHeight = full.height();
    m.offsetX = paint.x();
    m.offsetY = paint.y();
    return m;
}

void AttachPrinter(TPreviewPrinter &engine, QPrinter &printer)
{
    engine.MeasurePage = [&engine, &printer] {
        printer.setPageOrientation(engine.Orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
        return PrinterMetrics(printer);
    };
}

bool PrintAllPages(const TPreviewPrinter &engine, QPrinter &printer, int from, int to, int copies,
                   QString *error)
{
    const int count = engine.PageCount();
    if (count == 0)
        return true;
    from = from <= 0 ? 1 : std::min(from, count);
    to = to <= 0 ? count : std::clamp(to, from, count);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    printer.setPageOrientation(engine.Orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(engine.Title);
    // The pages were recorded in coordinates of the whole sheet.
    printer.setFullPage(true);
    QPainter painter;
    const bool started = painter.begin(&printer);
    if (started) {
        bool first = true;
        for (int copy = 0; copy < std::max(1, copies); ++copy) {
            for (int n = from; n <= to; ++n) {
                if (!first)
                    printer.newPage();
                first = false;
                PaintPage(painter, engine.Pages().at(n - 1));
            }
        }
        painter.end();
    }
    QApplication::restoreOverrideCursor();
    if (!started && error)
        *error = QStringLiteral("The printer cannot start the print job.");
    return started;
}

bool PrintWithDialog(const TPreviewPrinter &engine, QPrinter &printer, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, std::max(1, engine.PageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    int from = 0;
    int to = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        from = printer.fromPage();
        to = printer.toPage();
    }
    // Qt's own copy handling repeats each page; the copies go out one after another.
    const int copies = printer.copyCount();
    printer.setCopyCount(1);
    QString error;
    if (!PrintAllPages(engine, printer, from, to, copies, &error)) {
        ShowError(error);
        return false;
    }
    return true;
}

}  // namespace kiv
