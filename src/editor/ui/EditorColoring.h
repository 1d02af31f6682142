#pragma once

#include "SyntaxColoring.h"
#include "SyntaxLexer.h"

#include <QObject>

class QsciScintilla;

namespace kiv {

/// The left and right margins of a colouring editor.
struct TEditorMargins {
    bool showNewMargin = true;    ///< the marker margin
    bool debug = false;           ///< debug mode keeps the marker margin shown
    int leftMargin = 25;          ///< width of the marker margin in pixels
    bool showLineNumbers = false;
    bool showRightMargin = true;
    int rightMargin = 80;         ///< column of the right margin line
};

/// Lays out the margins: the marker margin (`markerMargin`, button-face colour, `leftMargin`
/// pixels; 0 when hidden), the line-number gutter (`numberMargin`, 5 x width("H") + 5
/// pixels), 4 pixels before the text and the right margin line in button-face colour.
void LayOutMargins(QsciScintilla &editor, const TEditorMargins &margins, int markerMargin, int numberMargin);

/// Colouring of one Scintilla editor: owns the colouring engine over the editor's lines and
/// the lexer that paints from it, and keeps the comment spans up to date from Scintilla's
/// modification notifications. Typed and deleted characters, line breaks and joined lines go
/// through the engine's incremental rules; anything larger (paste, undo, redo, loading,
/// replacing a block) scans the whole text again before the next styling.
class TEditorColoring : public QObject {
    Q_OBJECT

public:
    /// Attaches the lexer to `editor` (best while it is still empty). The object is a child of
    /// the editor and lives as long as it.
    explicit TEditorColoring(QsciScintilla *editor);
    ~TEditorColoring() override;

    CSytaxColoring &Engine() { return m_engine; }
    TSyntaxLexer *Lexer() const { return m_lexer; }

    /// Switches what is painted. Changing to pmSyntax scans the whole text; other modes keep
    /// no spans. Every line is styled again.
    void SetMode(TPaintMode mode);
    TPaintMode Mode() const { return m_lexer->PaintMode(); }

    /// Scans the whole text now and styles every line again.
    void RebuildComments();
    void SetColors(const TColorTable &colors);
    void SetFont(const QFont &font);
    /// Styles lines first .. last (1-based) again, e.g. after a brace highlight changed.
    void RestyleLines(int first, int last);

    /// The command in progress keeps the spans up to date itself: its changes are not
    /// handled. Cleared by ClearSkipNextChange() or when control returns to the event loop.
    void SetSkipNextChange();
    void ClearSkipNextChange() { m_skipNextChange = false; }
    bool SkipNextChange() const { return m_skipNextChange; }

    /// The snapshot taken before the last change.
    const TEditSnapshot &Snapshot() const { return m_snapshot; }
    /// Number of changes that needed a scan of the whole text.
    int FullScans() const { return m_fullScans; }

private:
    void OnModified(int position, int type, const char *text, int length, int linesAdded);
    void TakeSnapshot(int position);
    void RequestRebuild();
    void BeforeStyling();

    QsciScintilla *m_editor;
    TScintillaLines m_lines;
    CSytaxColoring m_engine;
    TSyntaxLexer *m_lexer;
    TEditSnapshot m_snapshot;
    bool m_skipNextChange = false;
    bool m_rebuildPending = false;
    int m_fullScans = 0;
};

}  // namespace kiv
