#include "hexviewer.h"

#include "FixedFont.h"
#include "kivprompt.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <climits>

namespace kiv {

namespace {

constexpr int kRow = THexFileModel::kBytesPerRow;

}  // namespace

THexViewer::THexViewer(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("FileViewer"));
    setFocusPolicy(Qt::StrongFocus);
    m_margin = palette().color(QPalette::Button);
    viewport()->setCursor(Qt::IBeamCursor);
    QFont font = FixedPitchFont();
    font.setPointSize(9);
    SetViewerFont(font);
}

bool THexViewer::Open(const QString &path, QString *error)
{
    if (!m_model.Open(path, error))
        return false;
    m_caret = m_anchor = 0;
    m_topRow = 0;
    m_bookmarks.fill(0);
    UpdateScrollBars();
    viewport()->update();
    Q_EMIT CaretMoved(CaretPos());
    return true;
}

bool THexViewer::Reload(QString *error)
{
    const qint64 top = m_topRow;
    if (!m_model.Reload(error))
        return false;
    const qint64 size = m_model.Size();
    m_caret = qMin(m_caret, size);
    m_anchor = qMin(m_anchor, size);
    UpdateScrollBars();
    SetTopRow(top);
    viewport()->update();
    return true;
}

void THexViewer::SetViewerColors(const QColor &text, const QColor &background,
                                 const QColor &selectionText, const QColor &selectionBackground,
                                 const QColor &margin)
{
    m_text = text;
    m_background = background;
    m_selectionText = selectionText;
    m_selectionBackground = selectionBackground;
    m_margin = margin;
    viewport()->update();
}

void THexViewer::SetViewerFont(const QFont &font)
{
    setFont(font);
    viewport()->setFont(font);
    UpdateScrollBars();
    viewport()->update();
}

int THexViewer::RowHeight() const
{
    return qMax(1, fontMetrics().lineSpacing());
}

qreal THexViewer::CharWidth() const
{
    return qMax<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('H')));
}

qreal THexViewer::TextLeft() const
{
    // Room for a bookmark digit before the offsets.
    return CharWidth() * 2 + 6 - horizontalScrollBar()->value();
}

int THexViewer::VisibleRows() const
{
    return qMax(1, viewport()->height() / RowHeight());
}

void THexViewer::UpdateScrollBars()
{
    const qint64 rows = m_model.RowCount();
    const qint64 lastTop = qMax<qint64>(0, rows - VisibleRows());
    m_rowScale = 1;
    while (lastTop / m_rowScale > INT_MAX / 2)
        m_rowScale *= 2;
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, int(lastTop / m_rowScale));
    v->setPageStep(qMax<int>(1, int(VisibleRows() / m_rowScale)));
    v->setSingleStep(1);
    QScrollBar *h = horizontalScrollBar();
    const int width = int(CharWidth() * (m_model.RowLength() + 5)) + 6;
    h->setRange(0, qMax(0, width - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(int(CharWidth()));
}

qint64 THexViewer::TopRow() const
{
    return m_topRow;
}

void THexViewer::SetTopRow(qint64 row)
{
    const qint64 lastTop = qMax<qint64>(0, m_model.RowCount() - VisibleRows());
    m_topRow = qBound<qint64>(0, row, lastTop);
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(int(m_topRow / m_rowScale));
    viewport()->update();
}

void THexViewer::scrollContentsBy(int, int)
{
    const qint64 fromBar = qint64(verticalScrollBar()->value()) * m_rowScale;
    // With a scaled bar only a move of the bar itself moves the top row.
    if (fromBar / m_rowScale != m_topRow / m_rowScale)
        m_topRow = fromBar;
    viewport()->update();
}

void THexViewer::resizeEvent(QResizeEvent *event)
{
    // A caret that was on screen stays on screen, so a view opened at its end still shows
    // the end once the page takes its real size.
    const qint64 caretRow = m_caret / kRow;
    const int oldRows = qMax(1, event->oldSize().height() / RowHeight());
    const bool caretShown = caretRow >= m_topRow && caretRow < m_topRow + oldRows;
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    SetTopRow(m_topRow);
    if (caretShown)
        EnsureCaretVisible();
}

void THexViewer::ScrollToEnd()
{
    const qint64 rows = m_model.RowCount();
    SetCaretOffset(rows > 0 ? (rows - 1) * kRow : 0);
    SetTopRow(rows - VisibleRows());
}

TextPos THexViewer::CaretPos() const
{
    return TextPos{int(qMin<qint64>(INT_MAX, m_caret / kRow + 1)), int(m_caret % kRow) + 1};
}

void THexViewer::SetCaretOffset(qint64 offset, bool extend)
{
    const qint64 size = m_model.Size();
    m_caret = qBound<qint64>(0, offset, qMax<qint64>(0, size - 1));
    if (!extend)
        m_anchor = m_caret;
    EnsureCaretVisible();
    viewport()->update();
    Q_EMIT CaretMoved(CaretPos());
}

void THexViewer::SelectBytes(qint64 from, qint64 to)
{
    const qint64 size = m_model.Size();
    m_anchor = qBound<qint64>(0, from, size);
    m_caret = qBound<qint64>(0, to, size);
    viewport()->update();
    Q_EMIT CaretMoved(CaretPos());
}

void THexViewer::EnsureCaretVisible()
{
    const qint64 row = m_caret / kRow;
    if (row < m_topRow)
        SetTopRow(row);
    else if (row >= m_topRow + VisibleRows())
        SetTopRow(row - VisibleRows() + 1);
}

QString THexViewer::SelectedText()
{
    if (!HasSelection())
        return {};
    return m_model.DumpText(SelectionFirst(), SelectionEnd());
}

bool THexViewer::Copy()
{
    if (!HasSelection())
        return false;
    if (SelectionEnd() - SelectionFirst() > kMaxCopyBytes) {
        ShowError(QStringLiteral("The selection is too large to copy: at most %1 bytes can be copied.")
                      .arg(kMaxCopyBytes));
        return false;
    }
    QApplication::clipboard()->setText(SelectedText());
    return true;
}

void THexViewer::SetBookmark(int n, int line)
{
    if (n < 0 || n >= int(m_bookmarks.size()) || line < 1 || line > m_model.RowCount())
        return;
    m_bookmarks[n] = line;
    viewport()->update();
}

void THexViewer::ClearBookmark(int n)
{
    if (n >= 0 && n < int(m_bookmarks.size())) {
        m_bookmarks[n] = 0;
        viewport()->update();
    }
}

int THexViewer::BookmarkLine(int n) const
{
    return n >= 0 && n < int(m_bookmarks.size()) ? int(m_bookmarks[n]) : 0;
}

bool THexViewer::GotoBookmark(int n)
{
    const int line = BookmarkLine(n);
    if (line == 0)
        return false;
    SetCaretOffset(qint64(line - 1) * kRow);
    return true;
}

qint64 THexViewer::OffsetAt(const QPoint &pos) const
{
    const qint64 row = m_topRow + qMax(0, pos.y()) / RowHeight();
    const int column = int((pos.x() - TextLeft()) / CharWidth());
    int byte = 0;
    if (column >= m_model.CharColumn(0) - 1) {
        byte = qBound(0, column - m_model.CharColumn(0), kRow - 1);
    } else {
        for (int i = 0; i < kRow; ++i) {
            if (column >= m_model.HexColumn(i))
                byte = i;
        }
    }
    return row * kRow + byte;
}

void THexViewer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    SetCaretOffset(OffsetAt(event->position().toPoint()),
                   event->modifiers().testFlag(Qt::ShiftModifier));
}

void THexViewer::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        SetCaretOffset(OffsetAt(event->position().toPoint()), true);
}

void THexViewer::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    const qint64 page = qint64(VisibleRows()) * kRow;
    qint64 to = m_caret;
    switch (event->key()) {
    case Qt::Key_Left: to -= 1; break;
    case Qt::Key_Right: to += 1; break;
    case Qt::Key_Up: to -= kRow; break;
    case Qt::Key_Down: to += kRow; break;
    case Qt::Key_PageUp: to -= page; break;
    case Qt::Key_PageDown: to += page; break;
    case Qt::Key_Home: to = ctrl ? 0 : m_caret - m_caret % kRow; break;
    case Qt::Key_End: to = ctrl ? m_model.Size() - 1 : m_caret - m_caret % kRow + kRow - 1; break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (to < 0 && (event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp))
        to = m_caret % kRow;
    SetCaretOffset(to, extend);
}

void THexViewer::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const int rh = RowHeight();
    const qreal cw = CharWidth();
    const int ascent = fontMetrics().ascent();
    const qreal left = TextLeft();
    painter.fillRect(viewport()->rect(), m_background);
    const qreal marginRight = left + (m_model.OffsetDigits() + 1) * cw;
    painter.fillRect(QRectF(0, 0, qMax<qreal>(0, marginRight), viewport()->height()), m_margin);

    const qint64 rows = m_model.RowCount();
    const qint64 selFirst = SelectionFirst();
    const qint64 selEnd = SelectionEnd();
    const bool selecting = HasSelection();
    for (int v = 0; v <= VisibleRows(); ++v) {
        const qint64 row = m_topRow + v;
        if (row >= rows)
            break;
        const int y = v * rh;
        const QString line = m_model.RowText(row);
        painter.setPen(m_text);
        painter.drawText(QPointF(left, y + ascent), line);
        const qint64 rowStart = row * kRow;
        const int count = int(qMin<qint64>(kRow, m_model.Size() - rowStart));
        for (int i = 0; i < count; ++i) {
            const qint64 at = rowStart + i;
            const bool selected = selecting && at >= selFirst && at < selEnd;
            const QRectF hex(left + m_model.HexColumn(i) * cw, y, 2 * cw, rh);
            const QRectF chr(left + m_model.CharColumn(i) * cw, y, cw, rh);
            if (selected) {
                painter.fillRect(hex, m_selectionBackground);
                painter.fillRect(chr, m_selectionBackground);
                painter.setPen(m_selectionText);
                painter.drawText(QPointF(hex.left(), y + ascent), line.mid(m_model.HexColumn(i), 2));
                painter.drawText(QPointF(chr.left(), y + ascent), line.mid(m_model.CharColumn(i), 1));
            }
            if (at == m_caret && hasFocus()) {
                painter.setPen(m_text);
                painter.drawRect(hex.adjusted(0, 0, -1, -1));
                painter.drawRect(chr.adjusted(0, 0, -1, -1));
            }
        }
        for (int n = 0; n < int(m_bookmarks.size()); ++n) {
            if (m_bookmarks[n] == row + 1) {
                const QRectF mark(2 - horizontalScrollBar()->value(), y, cw * 2, rh);
                painter.fillRect(mark, QColor(0, 128, 128));
                painter.setPen(Qt::white);
                painter.drawText(mark, Qt::AlignCenter, QString::number(n));
            }
        }
    }
}

}  // namespace kiv
