#pragma once

// The page engine on a real printer and on the screen: text measured and pages painted with Qt,
// printing recorded pages on a QPrinter, with or without the platform's print dialog.

#include "kivprint_model.h"

#include <QFont>

class QPainter;
class QPrinter;
class QWidget;

namespace kiv {

/// The Qt font of a page engine font (its pixel size when set, else its point size).
QFont ToQFont(const TPrintFont &font);

/// Measures with Qt's font metrics.
class TQtTextMeasure : public ITextMeasure {
public:
    int TextWidth(const TPrintFont &font, const QString &text) const override;
    int TextHeight(const TPrintFont &font, const QString &text) const override;
};

/// Paints a recorded page, its coordinates in printer pixels of the page.
void PaintPage(QPainter &painter, const TPrintPage &page);

/// The metrics of the printer's page in its device pixels; a printer that cannot print (no
/// printer installed and no file to print to) gives Letter paper at the screen's resolution.
TPageMetrics PrinterMetrics(const QPrinter &printer);

/// Lets `engine` measure its pages on `printer`.
void AttachPrinter(TPreviewPrinter &engine, QPrinter &printer);

/// Prints pages `from` .. `to` (1-based, 0 for all) `copies` times as one job titled with the
/// engine's Title; false with the reason in `error` when the printer refused.
bool PrintAllPages(const TPreviewPrinter &engine, QPrinter &printer, int from = 0, int to = 0,
                   int copies = 1, QString *error = nullptr);

/// The platform print dialog with the range 1 .. page count, then the chosen pages once per
/// requested copy; false when cancelled or failed.
bool PrintWithDialog(const TPreviewPrinter &engine, QPrinter &printer, QWidget *parent);

}  // namespace kiv
