#pragma once

#include "SyntaxColoring.h"

#include <Qsci/qscilexercustom.h>

#include <QColor>
#include <QFont>

#include <functional>
#include <string>

class QsciScintillaBase;

namespace kiv {

/// The lines of a Scintilla document for the comment engine (UTF-8 bytes, line ends cut off).
class TScintillaLines : public ILineSource {
public:
    explicit TScintillaLines(const QsciScintillaBase *editor) : m_editor(editor) {}
    int LineCount() const override;
    std::string_view Line(int line) const override;
    /// Walks the document buffer in one pass.
    void ScanLines(int first, const std::function<bool(int, std::string_view)> &visit) const override;

private:
    const QsciScintillaBase *m_editor;
};

/// What the lexer paints.
enum TPaintMode {
    pmPlain,     ///< everything in the text colours
    pmSyntax,    ///< comments, keywords and preprocessor lines from the colouring engine
    pmCompare,   ///< compare results: deleted and inserted lines on red and green
};

/// The editor's lexer: styling a range of lines asks the colouring engine for the colours of
/// each line; it never parses the text itself. Styles 0 .. 5 are the colour table's elements;
/// 6 and 7 are the deleted and inserted lines of a compare result.
class TSyntaxLexer : public QsciLexerCustom {
    Q_OBJECT

public:
    enum TStyle {
        stText = ceText,
        stSelection = ceSelection,
        stComments = ceComments,
        stKeywords = ceKeywords,
        stPreprocessor = cePreprocessor,
        stBraceMatch = ceBraceMatch,
        stDeletedLine = 6,
        stInsertedLine = 7,
        kStyleCount = 8,
    };

    explicit TSyntaxLexer(CSytaxColoring &engine, QObject *parent = nullptr);

    const char *language() const override;
    QString description(int style) const override;
    QColor defaultColor(int style) const override;
    QColor defaultPaper(int style) const override;
    QFont defaultFont(int style) const override;
    bool defaultEolFill(int style) const override;
    void styleText(int start, int end) override;

    TPaintMode PaintMode() const { return m_mode; }
    /// Sets what is painted; the caller restyles.
    void SetPaintMode(TPaintMode mode) { m_mode = mode; }
    /// Applies the colour table to the styles.
    void SetColors(const TColorTable &colors);
    /// Compare results in the lighter colours meant for the printer (true) or the screen.
    void SetPrinterColors(bool printer);
    /// The font of every style.
    void SetEditorFont(const QFont &font);
    QFont EditorFont() const { return m_font; }

    /// Runs before each styling pass (the owner brings the spans up to date).
    void SetBeforeStyling(std::function<void()> hook) { m_beforeStyling = std::move(hook); }
    /// The next styling pass starts no later than `line` (1-based).
    void RestyleFrom(int line);
    /// Styles lines first .. last (1-based) now, leaving the document's styled end as it was.
    void StyleLines(int first, int last);

    /// The widget's colour of a settings-file colour value.
    static QColor ToQColor(TColorValue value);

private:
    /// Styles the 0-based Scintilla lines first .. last.
    void StyleRange(int first, int last);
    QColor CompareBackground(int style) const;

    CSytaxColoring &m_engine;
    TPaintMode m_mode = pmPlain;
    bool m_printerColors = false;
    QFont m_font;
    std::function<void()> m_beforeStyling;
    int m_restyleFrom = 0;
    std::string m_styles;
    std::string m_lineElements;
};

}  // namespace kiv
