#include "EditorSyntax.h"

#include "CPareMatch.h"
#include "CodeFlagImages.h"
#include "FixedFont.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QAction>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <optional>

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
    const QFont font = FixedPitchFont();
    setFont(font);
    setMarginsFont(font);
    setTabWidth(3);
    setIndentationsUseTabs(false);
    // The horizontal scroll range follows the longest line shown instead of a fixed width.
    SendScintilla(SCI_SETSCROLLWIDTH, 1L);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
    // A line keeps its layout until it changes: the widget measures every character of a line
    // it lays out, and a line of megabytes would otherwise be measured again (seconds) at every
    // paint and caret move.
    SendScintilla(SCI_SETLAYOUTCACHE, static_cast<unsigned long>(SC_CACHE_DOCUMENT));
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
    // Without the folder markers in its mask the margin takes its own colour, not the fold
    // margin's checker pattern.
    setMarginMarkerMask(kMarkerMargin, ~SC_MASK_FOLDERS);
    setMarginMarkerMask(kLineNumberMargin, 0);
    setMarginSensitivity(kMarkerMargin, true);
    DefineBookmarkMarkers();
    DefineCodeFlagMarkers();

    m_highlightTimer.setSingleShot(true);
    m_highlightTimer.setInterval(kHighlightMilliseconds);
    connect(&m_highlightTimer, &QTimer::timeout, this, [this] { ClearHighlight(); });
    SendScintilla(SCI_INDICSETSTYLE, static_cast<unsigned long>(kBraceTextIndicator), static_cast<long>(INDIC_TEXTFORE));
    SendScintilla(SCI_INDICSETSTYLE, static_cast<unsigned long>(kBraceBackIndicator), static_cast<long>(INDIC_FULLBOX));
    SendScintilla(SCI_INDICSETUNDER, static_cast<unsigned long>(kBraceBackIndicator), 1L);
    SendScintilla(SCI_INDICSETALPHA, static_cast<unsigned long>(kBraceBackIndicator), 255L);
    SendScintilla(SCI_INDICSETOUTLINEALPHA, static_cast<unsigned long>(kBraceBackIndicator), 255L);
    m_codeFlags.SetOnChanged([this] { UpdateCodeFlagMarkers(); });

    connect(this, &QsciScintilla::cursorPositionChanged, this, [this] { ReportCaret(); });
    connect(this, &QsciScintilla::textChanged, this, [this] {
        // Any change of the text ends the brace highlight.
        if (m_highlightActive)
            ClearHighlight();
        ReportCaret();
    });
    connect(this, &QsciScintillaBase::SCN_CHARADDED, this, [this](int ch) { OnCharAdded(ch); });
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

void TOvcTextFileEditorSyntax::ClearModified()
{
    m_markedModified = false;
    // The widget tells of the save point with modificationChanged(false) every time.
    setModified(false);
}

void TOvcTextFileEditorSyntax::MarkModified()
{
    if (Modified())
        return;
    m_markedModified = true;
    Q_EMIT modificationChanged(true);
}

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
    ClearModified();
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
    ClearModified();
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
    UpdateCodeFlagMarkers();
}

void TOvcTextFileEditorSyntax::SetShowNewMargin(bool on)
{
    m_margins.showNewMargin = on;
    LayOutMargins(*this, m_margins, kMarkerMargin, kLineNumberMargin);
    UpdateCodeFlagMarkers();
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
    DefineCodeFlagMarkers();
    UpdateCodeFlagMarkers();
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

bool TOvcTextFileEditorSyntax::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The key after a prefix belongs to the sequence, even when a command has it.
        if (m_keys.Pending()) {
            event->accept();
            return true;
        }
        // The widget claims every key it binds; a command of the window keeps its shortcut
        // all the same (Ctrl+] is Match Brace, not the next paragraph).
        if (IsWindowShortcut(*static_cast<QKeyEvent *>(event))) {
            event->ignore();
            return false;
        }
    }
    return QsciScintilla::event(event);
}

bool TOvcTextFileEditorSyntax::IsWindowShortcut(const QKeyEvent &event) const
{
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    // Plain keys type and edit; only keys with a modifier that the widget binds are asked.
    if (mods == Qt::NoModifier || IsModifierKey(event.key()) || !standardCommands()->boundTo(event.key() | int(mods)))
        return false;
    const QKeySequence typed(QKeyCombination(mods, Qt::Key(event.key())));
    const QList<QAction *> actions = window()->findChildren<QAction *>();
    for (const QAction *action : actions) {
        if (action->shortcutContext() == Qt::WidgetShortcut || !action->isEnabled())
            continue;
        if (action->shortcuts().contains(typed))
            return true;
    }
    return false;
}

void TOvcTextFileEditorSyntax::focusOutEvent(QFocusEvent *event)
{
    m_keys.Reset();
    QsciScintilla::focusOutEvent(event);
}

void TOvcTextFileEditorSyntax::keyPressEvent(QKeyEvent *event)
{
    {
        // The key tables come first: a WordStar key or sequence may take a key before the
        // Tab handling and the widget's own bindings see it.
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        const bool defaultBinds = standardCommands()->boundTo(event->key() | int(mods)) != nullptr;
        const TKeyCommandDispatcher::TDecision decision =
            m_keys.Press(QKeyCombination(mods, Qt::Key(event->key())), s_wordStarFirst, defaultBinds);
        switch (decision.action) {
        case TKeyCommandDispatcher::TDecision::kdDefault:
            break;
        case TKeyCommandDispatcher::TDecision::kdCommand:
            RunKeyCommand(decision.command);
            event->accept();
            return;
        case TKeyCommandDispatcher::TDecision::kdWait:
        case TKeyCommandDispatcher::TDecision::kdSwallow:
            event->accept();
            return;
        }
    }
    if (!m_tabInsertion && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        focusNextPrevChild(event->key() == Qt::Key_Tab);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool tab = event->key() == Qt::Key_Tab && mods == Qt::NoModifier;
    const bool backTab = event->key() == Qt::Key_Backtab
                         || (event->key() == Qt::Key_Tab && mods == Qt::ShiftModifier);
    if ((tab || backTab) && HasSelection() && !isReadOnly()) {
        IndentOrUnindentBlock(backTab);
        return;
    }
    if (backTab && !HasSelection()) {
        // Without a selection Shift+Tab only moves the caret back by the tab size.
        const TextPos caret = CaretPos();
        SetCaretPos(TextPos{caret.line, std::max(1, caret.column - tabWidth())});
        return;
    }
    // The command the key runs, to see afterwards whether it moved the caret.
    const QsciCommand *command = standardCommands()->boundTo(event->key() | int(mods));
    QsciScintilla::keyPressEvent(event);
    if (!command)
        return;
    switch (command->command()) {
    case QsciCommand::PageDown:
    case QsciCommand::PageUp:
    case QsciCommand::StutteredPageDown:
    case QsciCommand::StutteredPageUp:
    case QsciCommand::DocumentStart:
    case QsciCommand::DocumentEnd:
        // The page-wise moves show the new page at once.
        viewport()->repaint();
        HighlightAtCaret();
        break;
    case QsciCommand::LineDown:
    case QsciCommand::LineUp:
    case QsciCommand::CharLeft:
    case QsciCommand::CharRight:
    case QsciCommand::WordLeft:
    case QsciCommand::WordRight:
    case QsciCommand::Home:
    case QsciCommand::VCHome:
    case QsciCommand::HomeDisplay:
    case QsciCommand::LineEnd:
    case QsciCommand::LineEndDisplay:
        HighlightAtCaret();
        break;
    default:
        break;
    }
}

void TOvcTextFileEditorSyntax::mouseMoveEvent(QMouseEvent *event)
{
    // A text drag runs to its end inside this call.
    m_inMouseMove = true;
    m_dragStarted = false;
    m_droppedHere = false;
    const long lengthBefore = SendScintilla(SCI_GETLENGTH);
    QsciScintilla::mouseMoveEvent(event);
    m_inMouseMove = false;
    if (!m_dragStarted)
        return;
    m_dragStarted = false;
    // Nothing was dropped here and the text is unchanged (no move elsewhere): when the mouse
    // is still over the text, the drag was cancelled there.
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    if (m_droppedHere || SendScintilla(SCI_GETLENGTH) != lengthBefore || !viewport()->rect().contains(at))
        return;
    const long pos = SendScintilla(SCI_POSITIONFROMPOINT, static_cast<unsigned long>(at.x()), static_cast<long>(at.y()));
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(pos));
    ReportCaret();
}

QMimeData *TOvcTextFileEditorSyntax::toMimeData(const QByteArray &text, bool rectangular) const
{
    if (m_inMouseMove)
        m_dragStarted = true;
    return QsciScintilla::toMimeData(text, rectangular);
}

void TOvcTextFileEditorSyntax::mousePressEvent(QMouseEvent *event)
{
    m_keys.Reset();
    QsciScintilla::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && !HasSelection())
        HighlightAtCaret();
}

// Files dragged from the desktop are opened as documents, not inserted as text.
void TOvcTextFileEditorSyntax::dragEnterEvent(QDragEnterEvent *event)
{
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    // Only a colouring editor takes dropped text.
    if (m_editorType != SyntaxColoringEditor) {
        event->ignore();
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
    if (m_editorType != SyntaxColoringEditor) {
        event->ignore();
        return;
    }
    QsciScintilla::dragMoveEvent(event);
    // Ctrl copies the text, otherwise it moves.
    if (event->isAccepted())
        event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
}

void TOvcTextFileEditorSyntax::dropEvent(QDropEvent *event)
{
    const QStringList paths = LocalFiles(event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        Q_EMIT FilesDropped(paths);
        return;
    }
    if (m_editorType != SyntaxColoringEditor) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = (event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
    event->setDropAction(action);
    m_droppedHere = true;
    QsciScintilla::dropEvent(event);
    // The widget accepts the platform's proposal; the source is told what was really done.
    if (event->isAccepted())
        event->setDropAction(action);
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
    // Moves up and down from here keep this column.
    SendScintilla(SCI_CHOOSECARETX);
    ReportCaret();
}

void TOvcTextFileEditorSyntax::CenterLine(int line)
{
    const long onScreen = std::max(1L, SendScintilla(SCI_LINESONSCREEN));
    const long visible = SendScintilla(SCI_VISIBLEFROMDOCLINE, static_cast<unsigned long>(std::max(0, line - 1)));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(0L, visible - onScreen / 2)));
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

// --- brackets and indentation ---------------------------------------------------------------

int TOvcTextFileEditorSyntax::BytePosition(int line, int byteColumn) const
{
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
    return int(start) + byteColumn - 1;
}

TextPos TOvcTextFileEditorSyntax::ByteColumnAt(int position) const
{
    const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    return TextPos{int(line) + 1, position - int(start) + 1};
}

TextPos TOvcTextFileEditorSyntax::BracketAtCaret(char &bracket) const
{
    const TextPos caret = ByteColumnAt(int(SendScintilla(SCI_GETCURRENTPOS)));
    const TScintillaLines lines(this);
    const std::string_view text = lines.Line(caret.line);
    const int column = CPareMatch::BracketColumnAt(text, caret.column);
    bracket = column > 0 ? text[size_t(column - 1)] : 0;
    return TextPos{caret.line, column};
}

TIndentOptions TOvcTextFileEditorSyntax::IndentOptions() const
{
    return TIndentOptions{tabWidth(), indentationsUseTabs()};
}

void TOvcTextFileEditorSyntax::MatchBrace(bool extended)
{
    char bracket = 0;
    const TextPos at = BracketAtCaret(bracket);
    if (at.column == 0)
        return;
    const TScintillaLines lines(this);
    CPareMatch match(lines);
    const int forward = match.Setup(bracket, at.line, lines.LineCount(), 1, at.column);
    if (!match.Find())
        return;
    const TPareResult partner = match.Result();
    const int bracketPos = BytePosition(at.line, at.column);
    const int partnerPos = BytePosition(partner.line, partner.column);
    if (!extended) {
        SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(partnerPos));
    } else if (forward == 1) {
        SendScintilla(SCI_SETSEL, static_cast<unsigned long>(bracketPos), static_cast<long>(partnerPos + 1));
    } else {
        SendScintilla(SCI_SETSEL, static_cast<unsigned long>(bracketPos + 1), static_cast<long>(partnerPos));
    }
    ReportCaret();
}

void TOvcTextFileEditorSyntax::HighlightAtCaret()
{
    if (m_editorType != SyntaxColoringEditor || !m_highlightBrackets)
        return;
    char bracket = 0;
    const TextPos at = BracketAtCaret(bracket);
    if (at.column == 0)
        return;
    HighlightPair(bracket, TextPosAt(BytePosition(at.line, at.column)));
}

void TOvcTextFileEditorSyntax::HighlightPair(char bracket, const TextPos &at)
{
    ClearHighlight();
    const TScintillaLines lines(this);
    const int count = lines.LineCount();
    if (at.line < 1 || at.line > count)
        return;
    const TextPos first = ByteColumnAt(PositionOf(at));
    // Only the lines on screen are searched.
    const int top = int(SendScintilla(SCI_GETFIRSTVISIBLELINE)) + 1;
    const int bottom = std::min(count, top + int(SendScintilla(SCI_LINESONSCREEN)));
    CPareMatch match(lines);
    if (match.Setup(bracket, first.line, bottom, top, first.column) < 0 || !match.Find())
        return;
    const TPareResult partner = match.Result();
    m_highlightActive = true;
    m_highlightFirst = TextPosAt(BytePosition(first.line, first.column));
    m_highlightPartner = TextPosAt(BytePosition(partner.line, partner.column));
    const TColorPair colors = Colors()[ceBraceMatch];
    SendScintilla(SCI_INDICSETFORE, static_cast<unsigned long>(kBraceTextIndicator),
                  static_cast<long>(colors.fg & 0xFFFFFF));
    SendScintilla(SCI_INDICSETFORE, static_cast<unsigned long>(kBraceBackIndicator),
                  static_cast<long>(colors.bg & 0xFFFFFF));
    for (const int pos : {BytePosition(first.line, first.column), BytePosition(partner.line, partner.column)}) {
        for (const int indicator : {kBraceBackIndicator, kBraceTextIndicator}) {
            SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
            SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(pos), 1L);
        }
    }
    m_highlightTimer.start();
}

void TOvcTextFileEditorSyntax::ClearHighlight()
{
    m_highlightTimer.stop();
    if (!m_highlightActive)
        return;
    m_highlightActive = false;
    m_highlightFirst = m_highlightPartner = TextPos{0, 0};
    const long length = SendScintilla(SCI_GETLENGTH);
    for (const int indicator : {kBraceBackIndicator, kBraceTextIndicator}) {
        SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(indicator));
        SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, length);
    }
}

void TOvcTextFileEditorSyntax::OnCharAdded(int ch)
{
    if (ch == '}' && m_autoPlaceBraces && !isReadOnly())
        AutoPlaceBrace();
    if (ch > 0x7F || !CPareMatch::IsBracket(char(ch)))
        return;
    if (m_editorType != SyntaxColoringEditor || !m_highlightBrackets)
        return;
    // The bracket just typed stands left of the caret.
    const int caret = int(SendScintilla(SCI_GETCURRENTPOS));
    if (caret > 0)
        HighlightPair(char(ch), TextPosAt(caret - 1));
}

bool TOvcTextFileEditorSyntax::AutoPlaceBrace()
{
    const int caret = int(SendScintilla(SCI_GETCURRENTPOS));
    if (caret <= 0 || isReadOnly())
        return false;
    const TextPos brace = ByteColumnAt(caret - 1);
    const TScintillaLines lines(this);
    const std::optional<TBracePlacement> placement = kiv::AutoPlaceBrace(lines, brace.line, brace.column, IndentOptions());
    if (!placement)
        return false;
    ApplyLineChanges({TLineChange{brace.line, placement->text, placement->delta}});
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(BytePosition(brace.line, placement->caretColumn)));
    ReportCaret();
    return true;
}

void TOvcTextFileEditorSyntax::ApplyLineChanges(const std::vector<TLineChange> &changes)
{
    if (changes.empty())
        return;
    const TScintillaLines lines(this);
    auto leading = [](std::string_view text) {
        size_t n = 0;
        while (n < text.size() && (text[n] == ' ' || text[n] == '\t'))
            ++n;
        return n;
    };
    SetSkipNextChange();
    SendScintilla(SCI_BEGINUNDOACTION);
    int first = INT_MAX;
    int last = 0;
    for (const TLineChange &change : changes) {
        // Only the indentation is rewritten; the rest of the line stays as it is.
        const std::string_view old = lines.Line(change.line);
        const size_t oldLead = leading(old);
        const size_t newLead = leading(change.text);
        const std::string lead = change.text.substr(0, newLead);
        const int start = BytePosition(change.line, 1);
        SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), static_cast<long>(start + int(oldLead)));
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(lead.size()), lead.c_str());
        m_coloring->Engine().ShiftLineText(change.line, change.delta);
        first = std::min(first, change.line);
        last = std::max(last, change.line);
    }
    SendScintilla(SCI_ENDUNDOACTION);
    // Every change of this command has been made; later ones are handled again.
    m_coloring->ClearSkipNextChange();
    m_coloring->Engine().TakeRepaint();
    m_coloring->RestyleLines(first, last);
}

void TOvcTextFileEditorSyntax::IndentBlock()
{
    IndentOrUnindentBlock(false);
}

void TOvcTextFileEditorSyntax::UnindentBlock()
{
    IndentOrUnindentBlock(true);
}

void TOvcTextFileEditorSyntax::IndentOrUnindentBlock(bool unindent)
{
    if (!HasSelection() || isReadOnly())
        return;
    const TextPos from = SelectionStart();
    const TextPos to = SelectionEnd();
    const TLineBlock block = BlockOfSelection(from.line, from.column, to.line, to.column);
    const TScintillaLines lines(this);
    ApplyLineChanges(IndentBlockLines(lines, block, IndentOptions(), unindent));
    // The whole lines of the block stay selected.
    const int anchor = BytePosition(block.first, 1);
    const int end = block.last < LineCount() ? BytePosition(block.last + 1, 1) : int(SendScintilla(SCI_GETLENGTH));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(anchor), static_cast<long>(end));
    ReportCaret();
}

void TOvcTextFileEditorSyntax::IndentSelection()
{
    if (!HasSelection() || isReadOnly())
        return;
    const TextPos from = SelectionStart();
    const TextPos to = SelectionEnd();
    const TScintillaLines lines(this);
    CSytaxColoring &engine = m_coloring->Engine();
    const bool spans = m_editorType == SyntaxColoringEditor;
    const auto changes = IndentSelectionLines(lines, from.line, to.line, tabWidth(), [&](int line) {
        return spans && LineStartsInComment(engine, line);
    });
    ApplyLineChanges(changes);
    viewport()->update();
}

// --- key command tables --------------------------------------------------------------------

bool TOvcTextFileEditorSyntax::RunKeyCommand(const TKeyCommand &command)
{
    if (command.operation == eoNone || (ChangesText(command) && isReadOnly()))
        return false;
    switch (command.operation) {
    case eoNone: break;
    case eoLineUp: SendScintilla(SCI_LINEUP); break;
    case eoLineDown: SendScintilla(SCI_LINEDOWN); break;
    case eoCharLeft: SendScintilla(SCI_CHARLEFT); break;
    case eoCharRight: SendScintilla(SCI_CHARRIGHT); break;
    case eoWordLeft: SendScintilla(SCI_WORDLEFT); break;
    case eoWordRight: SendScintilla(SCI_WORDRIGHT); break;
    case eoPageUp: SendScintilla(SCI_PAGEUP); break;
    case eoPageDown: SendScintilla(SCI_PAGEDOWN); break;
    case eoScrollUp: SendScintilla(SCI_LINESCROLLUP); break;
    case eoScrollDown: SendScintilla(SCI_LINESCROLLDOWN); break;
    case eoLineStart: SendScintilla(SCI_HOME); break;
    case eoLineEnd: SendScintilla(SCI_LINEEND); break;
    case eoWindowTop: MoveToScreenLine(false); break;
    case eoWindowBottom: MoveToScreenLine(true); break;
    case eoDocumentStart: SendScintilla(SCI_DOCUMENTSTART); break;
    case eoDocumentEnd: SendScintilla(SCI_DOCUMENTEND); break;
    case eoMatchBrace: MatchBrace(false); break;
    case eoGotoBookmark: GotoBookmark(command.argument); break;
    case eoDeleteChar: SendScintilla(SCI_CLEAR); break;
    case eoDeleteLeft: SendScintilla(SCI_DELETEBACK); break;
    case eoDeleteWordRight: SendScintilla(SCI_DELWORDRIGHT); break;
    case eoDeleteLine: SendScintilla(SCI_LINEDELETE); break;
    case eoDeleteToLineEnd: SendScintilla(SCI_DELLINERIGHT); break;
    case eoDeleteToLineStart: SendScintilla(SCI_DELLINELEFT); break;
    case eoSplitLine: SplitLine(); break;
    case eoTab:
        // As the Tab key: a selection is indented as a block.
        if (HasSelection())
            IndentBlock();
        else
            SendScintilla(SCI_TAB);
        break;
    case eoDeleteBlock:
        if (HasSelection())
            removeSelectedText();
        break;
    case eoToggleInsert: SendScintilla(SCI_EDITTOGGLEOVERTYPE); break;
    case eoBlockBegin: m_blockBegin = CaretPos(); break;
    case eoBlockEnd:
        if (m_blockBegin.line > 0)
            SetSelection(m_blockBegin, CaretPos());
        break;
    case eoHideBlock:
        SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(SendScintilla(SCI_GETCURRENTPOS)));
        break;
    case eoSetBookmark: SetBookmark(command.argument, CaretPos().line); break;
    case eoUserCommand: Q_EMIT UserCommand(command.argument); break;
    }
    if (MovesCaret(command)) {
        // The page-wise moves show the new page at once.
        if (command.operation == eoPageUp || command.operation == eoPageDown
            || command.operation == eoDocumentStart || command.operation == eoDocumentEnd)
            viewport()->repaint();
        HighlightAtCaret();
    }
    ReportCaret();
    return true;
}

void TOvcTextFileEditorSyntax::MoveToScreenLine(bool bottom)
{
    const long first = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const long onScreen = std::max(1L, SendScintilla(SCI_LINESONSCREEN));
    const long visible = bottom ? first + onScreen - 1 : first;
    const int line = std::min(LineCount(), int(SendScintilla(SCI_DOCLINEFROMVISIBLE, static_cast<unsigned long>(visible))) + 1);
    SetCaretPos(TextPos{line, CaretPos().column});
}

void TOvcTextFileEditorSyntax::SplitLine()
{
    const char *eol = "\n";
    switch (eolMode()) {
    case EolWindows: eol = "\r\n"; break;
    case EolMac: eol = "\r"; break;
    case EolUnix: break;
    }
    // Text inserted at the caret goes after it.
    SendScintilla(SCI_INSERTTEXT, static_cast<unsigned long>(SendScintilla(SCI_GETCURRENTPOS)), eol);
}

// --- code flags -----------------------------------------------------------------------------

void TOvcTextFileEditorSyntax::DefineCodeFlagMarkers()
{
    if (!m_flagImages)
        m_flagImages = TCodeFlagImages::Shared();
    const int width = std::max(m_margins.leftMargin, 1);
    markerDefine(TCodeFlagImages::MarginImage(m_flagImages->Current(), width), kCurrentLineMarker);
    markerDefine(TCodeFlagImages::MarginImage(m_flagImages->Flag(), width), kFlagMarker);
}

void TOvcTextFileEditorSyntax::UpdateCodeFlagMarkers()
{
    markerDeleteAll(kCurrentLineMarker);
    markerDeleteAll(kFlagMarker);
    // Drawn only in debug mode, in a marker margin wide enough to hold them.
    const bool shown = m_margins.debug && ShowNewMargin() && m_margins.leftMargin > 3;
    const int flagBits = (1 << kCurrentLineMarker) | (1 << kFlagMarker);
    setMarginMarkerMask(kMarkerMargin, shown ? ~0 : ~flagBits);
    if (!shown)
        return;
    const int count = LineCount();
    for (const int line : m_codeFlags.Lines()) {
        if (line >= 1 && line <= count)
            markerAdd(line - 1, kFlagMarker);
    }
    const int current = m_codeFlags.CurrentLine();
    if (current >= 1 && current <= count)
        markerAdd(current - 1, kCurrentLineMarker);
}

}  // namespace kiv
