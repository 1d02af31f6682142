#pragma once

#include "kivprint.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QPrinter;

namespace kiv {

/// Opens a file of a project list as a print source; nullptr when it cannot be read.
using TPrintSourceOpener = std::function<std::unique_ptr<IPrintSource>(const QString &path)>;

/// The "Print File" dialog (`TFPrintFile`): what to print of a page or a project's files (the
/// selected lines, syntax colours, line numbers, fit to page, compare colours) and the body
/// margins; "&Ok" prints, "&Preview" shows the pages, "Se&tup" edits the page set-up. It lays
/// out the lines on the page engine, which records the pages.
class TFPrintFile : public QDialog {
    Q_OBJECT

public:
    /// `printer` (not owned) is where "&Ok" prints and what the pages are measured on.
    TFPrintFile(QPrinter *printer, QWidget *parent = nullptr);
    ~TFPrintFile() override;

    /// A page: an editor or a viewer, with its document title.
    void SetSource(const IPrintSource *source, const QString &title);
    /// A project's files, each with its own title and page numbering.
    void SetFileList(const QStringList &paths, const TPrintSourceOpener &open);
    void SetTabSize(int size) { m_tabSize = size; }
    /// PRINTLINES= of the command line (0 for none).
    void SetPrintLinesOverride(int lines) { m_printLines = lines; }

    /// Reads the "printer" settings into the margin fields and the text options and sets up
    /// the options for the source (also done when the dialog is shown).
    void FormShow();
    /// "&Ok": lays out, prints every page, writes the "printer" settings and closes.
    bool OkClick();
    /// "&Preview": lays out and shows the preview.
    void PreviewClick();
    /// "Se&tup": the margin fields through the "Page Setup" dialog.
    void SetupClick();
    /// Lays out the document(s) into the page engine.
    void Paginate();

    TPreviewPrinter &Engine() { return m_engine; }
    /// Shows the preview of the laid-out pages; replaceable by tests.
    std::function<void(TPreviewPrinter &)> ShowPreview;
    /// Runs the "Page Setup" dialog on the engine's text options; replaceable by tests.
    std::function<bool(TPreviewPrinter &)> PageSetup;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TPrintJob Job(const QString &title) const;
    QDoubleSpinBox *MarginBox(const char *name, double value);

    QPrinter *m_printer;
    TQtTextMeasure m_measure;
    TPreviewPrinter m_engine;
    TPrintSettings m_settings;
    const IPrintSource *m_source = nullptr;
    QString m_title;
    QStringList m_paths;
    TPrintSourceOpener m_open;
    int m_tabSize = 8;
    int m_printLines = 0;
    bool m_shown = false;
    QCheckBox *m_selected = nullptr;
    QCheckBox *m_syntax = nullptr;
    QCheckBox *m_lineNumbers = nullptr;
    QCheckBox *m_fit = nullptr;
    QCheckBox *m_colors = nullptr;
    QDoubleSpinBox *m_left = nullptr;
    QDoubleSpinBox *m_top = nullptr;
    QDoubleSpinBox *m_right = nullptr;
    QDoubleSpinBox *m_bottom = nullptr;
};

}  // namespace kiv
