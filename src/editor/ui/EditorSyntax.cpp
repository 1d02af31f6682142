#include "EditorSyntax.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QUrl>

#include <algorithm>

namespace kiv {

namespace {

QStringList LocalFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

QsciScintilla::EolMode EolModeOf(TLineEnd lineEnd)
{
    switch (lineEnd) {
    case TLineEnd::leCrLf: return QsciScintilla::EolWindows;
    case TLineEnd::leCr: return QsciScintilla::EolMac;
    case TLineEnd::leLf: break;
    }
    return QsciScintilla::EolUnix;
}

}  // namespace

TOvcTextFileEditorSyntax::TOvcTextFileEditorSyntax(QWidget *parent)
    : QsciScintilla(parent)
{
    setObjectName(QStringLiteral("OvcTextFileEditorSyntax"));
    setUtf8(true);
    // The colouring lexer is attached while the document is still empty.
    m_coloring = new TEditorColoring(this);
    setEolMode(EolUnix);
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(font);
    setMarginsFont(font);
    setTabWidth(3);
    setIndentationsUseTabs(false);
    // The horizontal scroll range follows the longest line shown instead of a fixed width.
    SendScintilla(SCI_SETSCROLLWIDTH, 1L);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
    // Without the folder markers in its mask the margin takes its own colour, not the fold
    // margin's checker pattern.
    setMarginMarkerMask(kMarkerMargin, ~SC_MASK_FOLDERS);
    setMarginMarkerMask(kLineNumberMargin, 0);
    setMarginSensitivity(kMarkerMargin, true);
    DefineBookmarkMarkers();

    connect(this, &QsciScintilla::cursorPositionChanged, this, [this] { ReportCaret(); });
    connect(this, &QsciScintilla::textChanged, this, [this] { ReportCaret(); });
}

TOvcTextFileEditorSyntax::~TOvcTextFileEditorSyntax() = default;

void TOvcTextFileEditorSyntax::DefineBookmarkMarkers()
{
    // Each bookmark shows its own digit in the marker margin.
    const int size = 14;
    for (int n = 0; n < kBookmarkCount; ++n) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0, 128, 128));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), 3, 3);
        QFont digitFont = painter.font();
        digitFont.setPixelSize(11);
        digitFont.setBold(true);
        painter.setFont(digitFont);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString::number(n));
        painter.end();
        markerDefine(pixmap, kBookmarkMarker + n);
    }
}

// --- the file -------------------------------------------------------------------------------

void TOvcTextFileEditorSyntax::SetDocumentBytes(const QByteArray &utf8)
{
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    // Adding the text by length keeps NUL bytes, which a C string would cut off.
    SendScintilla(SCI_ADDTEXT, static_cast<unsigned long>(utf8.size()), utf8.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0L);
    setReadOnly(wasReadOnly);
    setModified(false);
}

bool TOvcTextFileEditorSyntax::LoadFromFile(const QString &path, QString *error)
{
    QByteArray data;
    if (!ReadWholeFile(path, data, error))
        return false;
    const TTextFileFormat format = DetectTextFormat(data);
    SetDocumentBytes(ToUtf8(data, format.encoding));
    SetFileFormat(format);
    m_fileName = path;
    UpdateColouring();
    ReportCaret();
    return true;
}

void TOvcTextFileEditorSyntax::SetFileFormat(const TTextFileFormat &format)
{
    m_format = format;
    setEolMode(EolModeOf(format.lineEnd));
}

bool TOvcTextFileEditorSyntax::SaveToFile(QString *error)
{
    return SaveToFile(m_fileName, error);
}

bool TOvcTextFileEditorSyntax::SaveToFile(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("The editor has no file name");
        return false;
    }
    TTextEncoding encoding = m_format.encoding;
    const QByteArray data = FromUtf8(DocumentBytes(), encoding);
    if (!WriteFileSafely(path, data, m_backupOnSave, error))
        return false;
    m_format.encoding = encoding;
    m_fileName = path;
    setModified(false);
    return true;
}

QByteArray TOvcTextFileEditorSyntax::DocumentBytes() const
{
    const long length = SendScintilla(SCI_GETLENGTH);
    const auto *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    if (!text || length <= 0)
        return {};
    return QByteArray(text, length);
}

void TOvcTextFileEditorSyntax::SetDocumentText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_BEGINUNDOACTION);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ADDTEXT, static_cast<unsigned long>(utf8.size()), utf8.constData());
    SendScintilla(SCI_ENDUNDOACTION);
    setReadOnly(wasReadOnly);
}

// --- type -----------------------------------------------------------------------------------

void TOvcTextFileEditorSyntax::SetEditorType(tEditorType type)
{
    if (m_editorType == TextEditor || type == m_editorType)
        return;
    m_editorType = type;
    setReadOnly(type == DiffFileViewer || type == AdvancedViewer);
    UpdateColouring();
    Q_EMIT EditorTypeChanged(type);
}

void TOvcTextFileEditorSyntax::UpdateColouring()
{
    // Switching to syntax colouring (and loading a file into such an editor) scans the whole
    // text; the other types keep no comment spans.
    switch (m_editorType) {
    case SyntaxColoringEditor: m_coloring->SetMode(pmSyntax); break;
    case DiffFileViewer: m_coloring->SetMode(pmCompare); break;
    case NormalEditor:
    case TextEditor:
    case AdvancedViewer: m_coloring->SetMode(pmPlain); break;
    }
}

// --- colouring and margins ------------------------------------------------------------------

void TOvcTextFileEditorSyntax::SetColors(const TColorTable &colors)
{
    m_coloring->SetColors(colors);
}

void TOvcTextFileEditorSyntax::setFont(const QFont &font)
{
    QsciScintilla::setFont(font);
    if (!m_coloring)
        return;
    // With a lexer attached Scintilla takes the fonts of its styles.
    m_coloring->SetFont(font);
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::RebuildComments()
{
    m_coloring->RebuildComments();
}

void TOvcTextFileEditorSyntax::SetDebug(bool on)
{
    m_margins.debug = on;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::SetShowNewMargin(bool on)
{
    m_margins.showNewMargin = on;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::SetShowLineNumbers(bool on)
{
    m_margins.showLineNumbers = on;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::SetLeftMargin(int pixels)
{
    m_margins.leftMargin = pixels;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::SetShowRightMargin(bool on)
{
    m_margins.showRightMargin = on;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::SetRightMargin(int column)
{
    m_margins.rightMargin = column;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
}

void TOvcTextFileEditorSyntax::keyPressEvent(QKeyEvent *event)
{
    if (!m_tabInsertion && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        focusNextPrevChild(event->key() == Qt::Key_Tab);
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

// Files dragged from the desktop are opened as documents, not inserted as text.
void TOvcTextFileEditorSyntax::dragEnterEvent(QDragEnterEvent *event)
{
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QsciScintilla::dragEnterEvent(event);
}

void TOvcTextFileEditorSyntax::dragMoveEvent(QDragMoveEvent *event)
{
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QsciScintilla::dragMoveEvent(event);
}

void TOvcTextFileEditorSyntax::dropEvent(QDropEvent *event)
{
    const QStringList paths = LocalFiles(event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        Q_EMIT FilesDropped(paths);
        return;
    }
    QsciScintilla::dropEvent(event);
}

// --- lines, caret and selection -------------------------------------------------------------

int TOvcTextFileEditorSyntax::LineCount() const
{
    return int(SendScintilla(SCI_GETLINECOUNT));
}

int TOvcTextFileEditorSyntax::PositionOf(const TextPos &pos) const
{
    const int lines = LineCount();
    const int line = std::clamp(pos.line, 1, lines) - 1;
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    if (pos.column <= 1)
        return int(start);
    const long target = SendScintilla(SCI_POSITIONRELATIVE, static_cast<unsigned long>(start),
                                      static_cast<long>(pos.column - 1));
    // Past the end of the document Scintilla answers 0; past the line it runs into the next.
    if (target <= start || target > end)
        return int(end);
    return int(target);
}

TextPos TOvcTextFileEditorSyntax::TextPosAt(int position) const
{
    const long length = SendScintilla(SCI_GETLENGTH);
    const long pos = std::clamp<long>(position, 0, length);
    const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(pos));
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long chars = SendScintilla(SCI_COUNTCHARACTERS, static_cast<unsigned long>(start), pos);
    return TextPos{int(line) + 1, int(chars) + 1};
}

QString TOvcTextFileEditorSyntax::Line(int line) const
{
    if (line < 1 || line > LineCount())
        return {};
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line - 1));
    const auto *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    if (!text || end <= start)
        return {};
    return QString::fromUtf8(text + start, end - start);
}

int TOvcTextFileEditorSyntax::LineLength(int line) const
{
    if (line < 1 || line > LineCount())
        return 0;
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line - 1));
    return int(SendScintilla(SCI_COUNTCHARACTERS, static_cast<unsigned long>(start), end));
}

TextPos TOvcTextFileEditorSyntax::CaretPos() const
{
    return TextPosAt(int(SendScintilla(SCI_GETCURRENTPOS)));
}

void TOvcTextFileEditorSyntax::SetCaretPos(const TextPos &pos)
{
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(PositionOf(pos)));
    ReportCaret();
}

TextPos TOvcTextFileEditorSyntax::SelectionStart() const
{
    return TextPosAt(int(SendScintilla(SCI_GETSELECTIONSTART)));
}

TextPos TOvcTextFileEditorSyntax::SelectionEnd() const
{
    return TextPosAt(int(SendScintilla(SCI_GETSELECTIONEND)));
}

void TOvcTextFileEditorSyntax::SetSelection(const TextPos &anchor, const TextPos &caret)
{
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(PositionOf(anchor)),
                  static_cast<long>(PositionOf(caret)));
    ReportCaret();
}

void TOvcTextFileEditorSyntax::ReportCaret()
{
    const TextPos pos = CaretPos();
    if (pos == m_lastCaret)
        return;
    m_lastCaret = pos;
    Q_EMIT CaretMoved(pos);
}

// --- bookmarks ------------------------------------------------------------------------------

void TOvcTextFileEditorSyntax::SetBookmark(int n, int line)
{
    if (n < 0 || n >= kBookmarkCount || line < 1 || line > LineCount())
        return;
    ClearBookmark(n);
    markerAdd(line - 1, kBookmarkMarker + n);
}

void TOvcTextFileEditorSyntax::ClearBookmark(int n)
{
    if (n >= 0 && n < kBookmarkCount)
        markerDeleteAll(kBookmarkMarker + n);
}

int TOvcTextFileEditorSyntax::BookmarkLine(int n) const
{
    if (n < 0 || n >= kBookmarkCount)
        return 0;
    const int line = markerFindNext(0, 1u << (kBookmarkMarker + n));
    return line < 0 ? 0 : line + 1;
}

bool TOvcTextFileEditorSyntax::GotoBookmark(int n)
{
    const int line = BookmarkLine(n);
    if (line == 0)
        return false;
    SetCaretPos(TextPos{line, 1});
    return true;
}

}  // namespace kiv
