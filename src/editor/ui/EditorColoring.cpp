#include "EditorColoring.h"

#include <Qsci/qsciscintilla.h>

#include <QPalette>
#include <QTimer>

#include <algorithm>

namespace kiv {

namespace {

bool IsLineBreak(std::string_view text)
{
    return text == "\n" || text == "\r\n" || text == "\r";
}

bool HasLineEnd(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// One character, possibly several bytes of UTF-8.
bool IsOneCharacter(std::string_view text)
{
    if (text.empty())
        return false;
    for (size_t i = 1; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return false;
    }
    return true;
}

// Text that can neither form nor contain a comment delimiter or a string delimiter: it only
// moves what follows it (indentation, a word).
bool IsNeutral(std::string_view text)
{
    return text.find_first_of("/*\"\\\r\n") == std::string_view::npos;
}

}  // namespace

void LayOutMargins(QsciScintilla &editor, const TEditorMargins &margins, int markerMargin, int numberMargin)
{
    const QColor buttonFace = editor.palette().color(QPalette::Button);
    // Debug mode always shows the marker margin.
    const bool markers = margins.showNewMargin || margins.debug;
    editor.setMarginType(markerMargin, QsciScintilla::SymbolMarginColor);
    editor.setMarginBackgroundColor(markerMargin, buttonFace);
    editor.setMarginWidth(markerMargin, markers ? std::max(margins.leftMargin, 0) : 0);
    editor.SendScintilla(QsciScintillaBase::SCI_SETMARGINLEFT, 0UL, 4L);

    editor.setMarginType(numberMargin, QsciScintilla::NumberMargin);
    editor.setMarginLineNumbers(numberMargin, true);
    editor.setMarginsBackgroundColor(buttonFace);
    editor.setMarginsForegroundColor(editor.palette().color(QPalette::ButtonText));
    const int hWidth = int(editor.SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH,
                                                QsciScintillaBase::STYLE_LINENUMBER, "H"));
    editor.setMarginWidth(numberMargin, margins.showLineNumbers ? 5 * hWidth + 5 : 0);

    if (margins.showRightMargin) {
        editor.setEdgeMode(QsciScintilla::EdgeLine);
        editor.setEdgeColumn(std::max(margins.rightMargin, 0));
        editor.setEdgeColor(buttonFace);
    } else {
        editor.setEdgeMode(QsciScintilla::EdgeNone);
    }
}

TEditorColoring::TEditorColoring(QsciScintilla *editor)
    : QObject(editor)
    , m_editor(editor)
    , m_lines(editor)
    , m_engine(&m_lines)
    , m_lexer(new TSyntaxLexer(m_engine, this))
{
    m_lexer->SetBeforeStyling([this] { BeforeStyling(); });
    m_lexer->SetEditorFont(editor->font());
    editor->setLexer(m_lexer);
    SetColors(m_engine.Colors());
    connect(editor, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char *text, int length, int linesAdded, int, int, int, int, int) {
                OnModified(position, type, text, length, linesAdded);
            });
}

// Lives as long as its editor (a child of it); the editor is already half gone here.
TEditorColoring::~TEditorColoring() = default;

void TEditorColoring::SetMode(TPaintMode mode)
{
    m_lexer->SetPaintMode(mode);
    if (mode == pmSyntax) {
        RebuildComments();
        return;
    }
    m_rebuildPending = false;
    m_engine.Clear();
    m_engine.TakeRepaint();
    RestyleLines(1, INT_MAX);
}

void TEditorColoring::RebuildComments()
{
    m_rebuildPending = false;
    if (Mode() == pmSyntax) {
        m_engine.RebuildComments();
        ++m_fullScans;
    }
    m_engine.TakeRepaint();
    // Every line from the first is styled again when it is next shown.
    m_editor->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, 0UL);
    m_editor->viewport()->update();
}

void TEditorColoring::SetColors(const TColorTable &colors)
{
    m_lexer->SetColors(colors);
    m_editor->setSelectionForegroundColor(TSyntaxLexer::ToQColor(colors[ceSelection].fg));
    m_editor->setSelectionBackgroundColor(TSyntaxLexer::ToQColor(colors[ceSelection].bg));
    m_editor->setCaretForegroundColor(TSyntaxLexer::ToQColor(colors[ceText].fg));
    m_editor->setPaper(TSyntaxLexer::ToQColor(colors[ceText].bg));
    m_editor->setColor(TSyntaxLexer::ToQColor(colors[ceText].fg));
    m_editor->viewport()->update();
}

void TEditorColoring::SetFont(const QFont &font)
{
    m_lexer->SetEditorFont(font);
    m_editor->setMarginsFont(font);
}

void TEditorColoring::RestyleLines(int first, int last)
{
    if (first > last)
        return;
    if (first <= 1 && last == INT_MAX) {
        m_editor->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, 0UL);
    } else {
        BeforeStyling();
        m_lexer->StyleLines(first, last);
    }
    m_editor->viewport()->update();
}

void TEditorColoring::SetSkipNextChange()
{
    m_skipNextChange = true;
    QTimer::singleShot(0, this, [this] { m_skipNextChange = false; });
}

void TEditorColoring::RequestRebuild()
{
    // Scanned once before the next styling, however many changes the command makes.
    m_rebuildPending = true;
}

void TEditorColoring::BeforeStyling()
{
    if (m_rebuildPending && Mode() == pmSyntax) {
        m_rebuildPending = false;
        m_engine.RebuildComments();
        ++m_fullScans;
        m_engine.TakeRepaint();
    }
}

void TEditorColoring::TakeSnapshot(int position)
{
    const auto pos = static_cast<unsigned long>(position);
    const long line = m_editor->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, pos);
    const long start = m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = m_editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    m_snapshot.caretLine = int(line) + 1;
    m_snapshot.caretColumn = position - int(start) + 1;
    m_snapshot.caretLineLength = int(end - start);
    m_snapshot.lineCount = int(m_editor->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT));
    m_snapshot.hadSelection = m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEMPTY) == 0;
}

void TEditorColoring::OnModified(int position, int type, const char *text, int length, int linesAdded)
{
    using B = QsciScintillaBase;
    if (type & (B::SC_MOD_BEFOREINSERT | B::SC_MOD_BEFOREDELETE)) {
        TakeSnapshot(position);
        return;
    }
    if (!(type & (B::SC_MOD_INSERTTEXT | B::SC_MOD_DELETETEXT)))
        return;
    // A text change ends a brace highlight; the changed lines are styled again anyway.
    m_engine.ClearBraceHighlight();
    if (Mode() != pmSyntax || m_skipNextChange || m_rebuildPending)
        return;
    if ((type & (B::SC_PERFORMED_UNDO | B::SC_PERFORMED_REDO)) || !text) {
        RequestRebuild();
        return;
    }
    const std::string_view changed(text, size_t(std::max(length, 0)));
    const TEditSnapshot &before = m_snapshot;
    // The change is at the snapshot position (for a deletion: the caret stays where the
    // deleted text began, as with the Delete key).
    const int line = before.caretLine;
    const int column = before.caretColumn;
    if (type & B::SC_MOD_INSERTTEXT) {
        if (linesAdded == 0 && !HasLineEnd(changed) && (IsOneCharacter(changed) || IsNeutral(changed))) {
            m_engine.SameLineEdit(before, column + length, true);
        } else if (linesAdded == 1 && IsLineBreak(changed) && column <= before.caretLineLength + 1) {
            m_engine.LineInserted(before, 0);
        } else {
            RequestRebuild();
        }
    } else {
        if (linesAdded == 0 && !HasLineEnd(changed) && (IsOneCharacter(changed) || IsNeutral(changed))) {
            m_engine.SameLineEdit(before, column, true);
        } else if (linesAdded == -1 && IsLineBreak(changed) && column == before.caretLineLength + 1) {
            m_engine.LinesJoined(before, column, line);
        } else {
            RequestRebuild();
        }
    }
    // Scintilla styles again from the changed line on; a rule that reached back before it
    // moves the start of the next styling.
    const TLineRange repaint = m_engine.TakeRepaint();
    if (!repaint.Empty() && repaint.first < line)
        m_lexer->RestyleFrom(std::max(repaint.first, 1));
}

}  // namespace kiv
