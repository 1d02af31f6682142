#pragma once

#include "hexviewer_model.h"
#include "textpos.h"

#include <QAbstractScrollArea>

#include <array>

namespace kiv {

/// The read-only file viewer page in hexadecimal mode: any file shown as a dump, read lazily so
/// that a file of any size opens at once. Bytes are selected with the mouse or the keyboard
/// (Shift extends) and copied as dump lines.
class THexViewer : public QAbstractScrollArea {
    Q_OBJECT

public:
    /// The most bytes Copy puts on the clipboard (as dump text about five times larger).
    static constexpr qint64 kMaxCopyBytes = 4 * 1024 * 1024;

    explicit THexViewer(QWidget *parent = nullptr);

    /// Shows the file; false (with a reason) when it cannot be opened, leaving the view as it was.
    bool Open(const QString &path, QString *error = nullptr);
    /// Reads the file again, keeping the scroll position where possible.
    bool Reload(QString *error = nullptr);
    QString FileName() const { return m_model.FileName(); }
    qint64 FileSize() const { return m_model.Size(); }
    THexFileModel &Model() { return m_model; }

    /// Font and colours: text, background, selected text and background, and the margin.
    void SetViewerColors(const QColor &text, const QColor &background, const QColor &selectionText,
                         const QColor &selectionBackground, const QColor &margin);
    void SetViewerFont(const QFont &font);

    /// Scrolls so that the last row is visible and puts the caret on it.
    void ScrollToEnd();
    /// The first row shown at the top (0-based).
    qint64 TopRow() const;

    /// The caret as a line (row, from 1) and column (byte of the row, from 1).
    TextPos CaretPos() const;
    qint64 CaretOffset() const { return m_caret; }
    void SetCaretOffset(qint64 offset, bool extend = false);
    bool HasSelection() const { return m_anchor != m_caret && m_model.Size() > 0; }
    /// The selected bytes [first, end).
    qint64 SelectionFirst() const { return qMin(m_anchor, m_caret); }
    qint64 SelectionEnd() const { return qMax(m_anchor, m_caret); }
    void SelectBytes(qint64 from, qint64 to);
    void SelectAll() { SelectBytes(0, m_model.Size()); }
    /// The dump of the selected bytes; empty without a selection.
    QString SelectedText();
    /// Puts the selection on the clipboard; false when there is none or it is too large.
    bool Copy();

    /// Bookmarks 0 .. 9 on rows (lines from 1); 0 when not set.
    void SetBookmark(int n, int line);
    void ClearBookmark(int n);
    int BookmarkLine(int n) const;
    bool GotoBookmark(int n);

Q_SIGNALS:
    void CaretMoved(kiv::TextPos pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int RowHeight() const;
    qreal CharWidth() const;
    qreal TextLeft() const;   // x of column 0 in viewport coordinates
    int VisibleRows() const;
    void UpdateScrollBars();
    void SetTopRow(qint64 row);
    void EnsureCaretVisible();
    qint64 OffsetAt(const QPoint &pos) const;

    THexFileModel m_model;
    qint64 m_caret = 0;
    qint64 m_anchor = 0;
    qint64 m_topRow = 0;
    qint64 m_rowScale = 1;    // rows per scroll bar step, for files past the bar's range
    std::array<qint64, 10> m_bookmarks{};
    QColor m_text = Qt::black;
    QColor m_background = Qt::white;
    QColor m_selectionText = Qt::white;
    QColor m_selectionBackground = QColor(0, 0, 128);
    QColor m_margin;
};

}  // namespace kiv
