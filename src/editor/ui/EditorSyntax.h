#pragma once

#include "CodeFlags.h"
#include "EditorColoring.h"
#include "keycommands.h"
#include "kivindent.h"
#include "textfile.h"
#include "textpos.h"

#include <Qsci/qsciscintilla.h>

#include <QStringList>
#include <QTimer>

#include <memory>

namespace kiv {

class TCodeFlagImages;

/// The kinds of editor. Only SyntaxColoringEditor colours C source; DiffFileViewer shows a
/// compare result; DiffFileViewer and AdvancedViewer are read-only. Once an editor is a
/// TextEditor its type no longer changes.
enum tEditorType {
    NormalEditor = 0,
    SyntaxColoringEditor = 1,
    DiffFileViewer = 2,
    TextEditor = 3,
    AdvancedViewer = 4,
};

/// The source editor of a page: a Scintilla editor that loads and saves one named file,
/// keeping the file's encoding and line ends, with lines and columns counted from 1.
///
/// The document is held as UTF-8 inside the widget whatever the file's encoding; every
/// conversion between the system's TextPos and the widget's byte positions goes through
/// PositionOf() and TextPosAt().
class TOvcTextFileEditorSyntax : public QsciScintilla {
    Q_OBJECT

public:
    /// Marker numbers: bookmark n uses kBookmarkMarker + n (n = 0 .. 9). Markers below
    /// kBookmarkMarker are free for line flags and the debugger.
    static constexpr int kBookmarkMarker = 10;
    static constexpr int kBookmarkCount = 10;
    /// The margins: the marker margin, then the line numbers next to the text.
    static constexpr int kMarkerMargin = 0;
    static constexpr int kLineNumberMargin = 1;
    /// Markers of the debugger's current line and of flagged lines.
    static constexpr int kCurrentLineMarker = 0;
    static constexpr int kFlagMarker = 1;
    /// Indicators drawing the brace highlight: the text colour and the background.
    static constexpr int kBraceTextIndicator = 8;
    static constexpr int kBraceBackIndicator = 9;
    /// How long the transient brace highlight stays.
    static constexpr int kHighlightMilliseconds = 400;

    explicit TOvcTextFileEditorSyntax(QWidget *parent = nullptr);
    ~TOvcTextFileEditorSyntax() override;

    // --- the file -------------------------------------------------------------------------
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &path) { m_fileName = path; }
    /// Replaces the text with the file's contents, takes its name, clears undo and the modified
    /// flag. A file that cannot be read leaves the editor as it was (false, reason in `error`).
    bool LoadFromFile(const QString &path, QString *error = nullptr);
    /// Writes the text to FileName() (or `path` when given, which then becomes the file name)
    /// in the file's encoding and line ends, keeping a ".BAK" copy of the old file when
    /// BackupOnSave is on. On success the modified flag is cleared; on failure text, name and
    /// modified flag stay and `error` says why.
    bool SaveToFile(QString *error = nullptr);
    bool SaveToFile(const QString &path, QString *error);
    bool BackupOnSave() const { return m_backupOnSave; }
    void SetBackupOnSave(bool on) { m_backupOnSave = on; }
    /// The encoding and line end used when saving; taken from the loaded file.
    TTextFileFormat FileFormat() const { return m_format; }
    void SetFileFormat(const TTextFileFormat &format);

    /// The text exactly as the document holds it (UTF-8, NUL bytes included).
    QByteArray DocumentBytes() const;
    /// Replaces the whole text as one undoable change.
    void SetDocumentText(const QString &text);

    /// The text differs from its file: changed since it was loaded or saved, or marked so.
    bool Modified() const { return isModified() || m_markedModified; }
    /// Clears the modified flag (the widget itself is marked modified only by a change).
    void ClearModified();
    /// Marks the text as not saved although it did not change (its file is gone); cleared by
    /// ClearModified, a save or a load. Emits modificationChanged(true).
    void MarkModified();
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }

    // --- type ------------------------------------------------------------------------------
    tEditorType EditorType() const { return m_editorType; }
    /// Sets the type (ignored once the editor is a TextEditor); DiffFileViewer and
    /// AdvancedViewer make the editor read-only.
    void SetEditorType(tEditorType type);

    /// True: the Tab key inserts into the text; false: it moves the focus on.
    bool TabInsertion() const { return m_tabInsertion; }
    void SetTabInsertion(bool on) { m_tabInsertion = on; }

    // --- lines, caret and selection (1-based) ---------------------------------------------
    int LineCount() const;
    /// The text of `line` without its line end; empty for a line out of range.
    QString Line(int line) const;
    /// Number of characters of `line` (its line end not counted).
    int LineLength(int line) const;
    TextPos CaretPos() const;
    /// Moves the caret (clamped to the text) and scrolls it into view.
    void SetCaretPos(const TextPos &pos);
    /// Scrolls so that `line` stands in the middle of the view (as near as the text allows).
    void CenterLine(int line);
    bool HasSelection() const { return hasSelectedText(); }
    /// The selection's first and last position (the end is just after the last character).
    TextPos SelectionStart() const;
    TextPos SelectionEnd() const;
    QString SelectedText() const { return selectedText(); }
    /// Selects from `anchor` to `caret`, the caret ending at `caret`.
    void SetSelection(const TextPos &anchor, const TextPos &caret);

    /// The one conversion between the system's positions and the widget's byte positions.
    int PositionOf(const TextPos &pos) const;
    TextPos TextPosAt(int position) const;

    // --- bookmarks 0 .. 9 ------------------------------------------------------------------
    /// Sets bookmark n on `line`, removing it from wherever it was.
    void SetBookmark(int n, int line);
    void ClearBookmark(int n);
    /// The line of bookmark n, 0 when it is not set.
    int BookmarkLine(int n) const;
    /// Moves the caret to column 1 of bookmark n's line; false when it is not set.
    bool GotoBookmark(int n);

    // --- colouring and margins -------------------------------------------------------------
    /// The six resolved colour pairs (text, selection, comments, keywords, preprocessor,
    /// brace match); the text pair also gives the text colour and background, the selection
    /// pair the selection colours.
    void SetColors(const TColorTable &colors);
    const TColorTable &Colors() const { return m_coloring->Engine().Colors(); }
    /// The editor font, for every colour class and the line numbers.
    void setFont(const QFont &font);
    /// Scans the whole text for comments again and repaints. Changes that are not a typed or
    /// deleted character, a line break or a joined line (paste, undo, redo, loading, replacing
    /// a block) do this by themselves before the next painting.
    void RebuildComments();
    /// The command in progress keeps the comment spans up to date itself (block indentation).
    void SetSkipNextChange() { m_coloring->SetSkipNextChange(); }
    /// The colouring engine and lexer (comment spans, brace highlight state).
    TEditorColoring *Coloring() const { return m_coloring; }

    /// Highlighting of the bracket pair at the caret (on by default).
    bool HighlightBrackets() const { return m_highlightBrackets; }
    void SetHighlightBrackets(bool on) { m_highlightBrackets = on; }
    /// Debug mode; while it is on the marker margin stays shown.
    bool Debug() const { return m_margins.debug; }
    void SetDebug(bool on);
    /// The marker margin.
    bool ShowNewMargin() const { return m_margins.showNewMargin || m_margins.debug; }
    void SetShowNewMargin(bool on);
    bool ShowLineNumbers() const { return m_margins.showLineNumbers; }
    void SetShowLineNumbers(bool on);
    /// Width of the marker margin in pixels; the text starts 4 pixels after it.
    int LeftMargin() const { return m_margins.leftMargin; }
    void SetLeftMargin(int pixels);
    /// The right margin line, at a column.
    bool ShowRightMargin() const { return m_margins.showRightMargin; }
    void SetShowRightMargin(bool on);
    int RightMargin() const { return m_margins.rightMargin; }
    void SetRightMargin(int column);

    // --- brackets and indentation ----------------------------------------------------------
    /// Finds the partner of the bracket at the caret over the whole text: plain moves the
    /// caret to it, extended selects from one bracket to the other, both included. Nothing
    /// happens without a bracket at the caret or a partner.
    void MatchBrace(bool extended);
    /// Shows `bracket` at `at` and its partner (searched within the visible lines) in the
    /// brace-match colours for 400 ms; clears any highlight first.
    void HighlightPair(char bracket, const TextPos &at);
    /// Ends the brace highlight.
    void ClearHighlight();
    bool HighlightActive() const { return m_highlightActive; }
    TextPos HighlightFirst() const { return m_highlightFirst; }
    TextPos HighlightPartner() const { return m_highlightPartner; }
    /// Highlights the pair of the bracket at the caret (when there is one).
    void HighlightAtCaret();
    /// Tab / Shift+Tab on a selection: indents or unindents its block of lines by one step and
    /// selects the whole lines.
    void IndentBlock();
    void UnindentBlock();
    /// Re-indents the selected lines by their brace structure (spaces only).
    void IndentSelection();
    /// Places a "}" just typed left of the caret under the line of its "{"; true when it moved.
    bool AutoPlaceBrace();
    /// Automatic placement of a typed "}" (off by default).
    bool AutoPlaceBraces() const { return m_autoPlaceBraces; }
    void SetAutoPlaceBraces(bool on) { m_autoPlaceBraces = on; }
    /// The indentation options: the widget's tab width and tab type.
    TIndentOptions IndentOptions() const;

    // --- key command tables --------------------------------------------------------------
    /// The priority of the two key tables, one setting for every editor of the process: true
    /// asks the "WORDSTAR" table before "DEFAULT" (the widget's standard key bindings), false
    /// the reverse. The keys after a Ctrl+K or Ctrl+Q prefix always belong to "WORDSTAR".
    static void SetKeyTablePriority(bool wordStarFirst) { s_wordStarFirst = wordStarFirst; }
    static bool WordStarFirst() { return s_wordStarFirst; }
    /// True while a prefix (Ctrl+K, Ctrl+Q) waits for its next key.
    bool KeySequencePending() const { return m_keys.Pending(); }
    /// Runs a key table command as if its keys were typed. A read-only editor refuses the
    /// commands that change the text (false); user commands are handed on by UserCommand().
    bool RunKeyCommand(const TKeyCommand &command);

    // --- code flags ------------------------------------------------------------------------
    /// The flagged lines and the current line; shown in the marker margin while Debug is on.
    CCodeFlags &CodeFlags() { return m_codeFlags; }
    const CCodeFlags &CodeFlags() const { return m_codeFlags; }

Q_SIGNALS:
    /// The caret moved or the text changed under it.
    void CaretMoved(kiv::TextPos pos);
    /// Files were dropped on the editor from the desktop, in drop order.
    void FilesDropped(const QStringList &paths);
    void EditorTypeChanged(kiv::tEditorType type);
    /// A key sequence asked for a user command (kUserCopyFromFile for Ctrl+K R,
    /// kUserPasteToFile for Ctrl+K W); the editor does not run it itself.
    void UserCommand(int command);

protected:
    /// While a key sequence is unfinished its next key is the editor's, not a shortcut's;
    /// otherwise a shortcut of the window's commands wins over the widget's own binding.
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    /// A text drag starts here; a cancelled one leaves the caret at the mouse position.
    void mouseMoveEvent(QMouseEvent *event) override;
    QMimeData *toMimeData(const QByteArray &text, bool rectangular) const override;

private:
    void DefineBookmarkMarkers();
    void ReportCaret();
    /// Attaches what paints the current editor type: the colouring lexer for
    /// SyntaxColoringEditor and DiffFileViewer, plain text for the others.
    void UpdateColouring();
    void SetDocumentBytes(const QByteArray &utf8);
    /// Byte position of an engine column (bytes of the line, from 1) on `line`.
    int BytePosition(int line, int byteColumn) const;
    /// Engine column of a byte position on its line.
    TextPos ByteColumnAt(int position) const;
    /// The bracket at the caret in engine columns; column 0 when there is none.
    TextPos BracketAtCaret(char &bracket) const;
    void OnCharAdded(int ch);
    /// Writes the changed lines' new indentation as one undoable step; the comment spans
    /// move with the lines through the engine instead of the change handling.
    void ApplyLineChanges(const std::vector<TLineChange> &changes);
    void IndentOrUnindentBlock(bool unindent);
    /// Shows the code flags' markers (only while Debug is on and the margin is wider than 3).
    void UpdateCodeFlagMarkers();
    void DefineCodeFlagMarkers();
    /// True for a key with a modifier that the widget binds and an enabled command of the
    /// window has as its shortcut.
    bool IsWindowShortcut(const QKeyEvent &event) const;
    /// Moves the caret to the first (or last) line on screen, keeping its column.
    void MoveToScreenLine(bool bottom);
    /// A line break at the caret; the caret stays before it.
    void SplitLine();

    QString m_fileName;
    TTextFileFormat m_format;
    tEditorType m_editorType = NormalEditor;
    bool m_backupOnSave = false;
    bool m_tabInsertion = true;
    TextPos m_lastCaret{0, 0};
    TEditorColoring *m_coloring = nullptr;
    TEditorMargins m_margins;
    bool m_highlightBrackets = true;
    bool m_autoPlaceBraces = false;
    bool m_markedModified = false;
    bool m_inMouseMove = false;
    mutable bool m_dragStarted = false;
    bool m_droppedHere = false;
    bool m_highlightActive = false;
    TextPos m_highlightFirst{0, 0};
    TextPos m_highlightPartner{0, 0};
    QTimer m_highlightTimer;
    CCodeFlags m_codeFlags;
    std::shared_ptr<const TCodeFlagImages> m_flagImages;
    TKeyCommandDispatcher m_keys;
    /// Where Ctrl+K B marked the start of a block; line 0 when not marked.
    TextPos m_blockBegin{0, 0};
    static inline bool s_wordStarFirst = false;
};

}  // namespace kiv
