#include "SyntaxLexer.h"

#include "FixedFont.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>

#include <algorithm>
#include <climits>
#include <cstring>

namespace kiv {

// --- the document's lines -------------------------------------------------------------------

int TScintillaLines::LineCount() const
{
    return int(m_editor->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT));
}

std::string_view TScintillaLines::Line(int line) const
{
    const unsigned long index = static_cast<unsigned long>(line - 1);
    const long start = m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, index);
    const long end = m_editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, index);
    if (start < 0 || end <= start)
        return {};
    const auto *text = reinterpret_cast<const char *>(m_editor->SendScintilla(
        QsciScintillaBase::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), end - start));
    return text ? std::string_view(text, size_t(end - start)) : std::string_view();
}

void TScintillaLines::ScanLines(int first, const std::function<bool(int, std::string_view)> &visit) const
{
    const int count = LineCount();
    first = std::max(first, 1);
    // Most searches end within a few lines: read those where they are, since the buffer
    // pointer below moves Scintilla's edit gap, i.e. copies the text after the caret.
    constexpr int kLinesInPlace = 64;
    const int inPlaceEnd = std::min(count, first + kLinesInPlace - 1);
    for (; first <= inPlaceEnd; ++first) {
        if (!visit(first, Line(first)))
            return;
    }
    if (first > count)
        return;
    const long length = m_editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    const auto *text = static_cast<const char *>(
        m_editor->SendScintillaPtrResult(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    long pos = m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                       static_cast<unsigned long>(first - 1));
    if (!text)
        return;
    // Scintilla's line ends: CR LF, LF or CR.
    for (int line = first; line <= count; ++line) {
        long end = pos;
        while (end < length && text[end] != '\n' && text[end] != '\r')
            ++end;
        if (!visit(line, std::string_view(text + pos, size_t(end - pos))))
            return;
        if (end >= length)
            return;
        pos = end + ((text[end] == '\r' && end + 1 < length && text[end + 1] == '\n') ? 2 : 1);
    }
}

// --- the lexer ------------------------------------------------------------------------------

TSyntaxLexer::TSyntaxLexer(CSytaxColoring &engine, QObject *parent)
    : QsciLexerCustom(parent)
    , m_engine(engine)
    , m_font(FixedPitchFont())
{
}

const char *TSyntaxLexer::language() const
{
    return "C";
}

QString TSyntaxLexer::description(int style) const
{
    switch (style) {
    case stText: return QStringLiteral("Font");
    case stSelection: return QStringLiteral("Selection");
    case stComments: return QStringLiteral("Comments");
    case stKeywords: return QStringLiteral("Keywords");
    case stPreprocessor: return QStringLiteral("Preprocessors");
    case stBraceMatch: return QStringLiteral("Brace matching");
    case stDeletedLine: return QStringLiteral("Deleted line");
    case stInsertedLine: return QStringLiteral("Inserted line");
    default: return QString();
    }
}

QColor TSyntaxLexer::ToQColor(TColorValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor TSyntaxLexer::CompareBackground(int style) const
{
    const bool deleted = style == stDeletedLine;
    const TCompareLineColors colors = CompareLineColors(deleted ? "D" : "I", !m_printerColors);
    return ToQColor(colors.bg);
}

QColor TSyntaxLexer::defaultColor(int style) const
{
    if (style == stDeletedLine || style == stInsertedLine)
        return Qt::white;
    if (style >= 0 && style < kColorElementCount)
        return ToQColor(m_engine.Colors()[size_t(style)].fg);
    return ToQColor(m_engine.Colors()[ceText].fg);
}

QColor TSyntaxLexer::defaultPaper(int style) const
{
    if (style == stDeletedLine || style == stInsertedLine)
        return CompareBackground(style);
    if (style >= 0 && style < kColorElementCount)
        return ToQColor(m_engine.Colors()[size_t(style)].bg);
    return ToQColor(m_engine.Colors()[ceText].bg);
}

QFont TSyntaxLexer::defaultFont(int) const
{
    return m_font;
}

bool TSyntaxLexer::defaultEolFill(int style) const
{
    // A compare line is coloured to the right edge.
    return style == stDeletedLine || style == stInsertedLine;
}

void TSyntaxLexer::SetColors(const TColorTable &colors)
{
    m_engine.SetColors(colors);
    for (int style = 0; style < kStyleCount; ++style) {
        setColor(defaultColor(style), style);
        setPaper(defaultPaper(style), style);
    }
    setDefaultColor(defaultColor(stText));
    setDefaultPaper(defaultPaper(stText));
}

void TSyntaxLexer::SetPrinterColors(bool printer)
{
    m_printerColors = printer;
    setPaper(defaultPaper(stDeletedLine), stDeletedLine);
    setPaper(defaultPaper(stInsertedLine), stInsertedLine);
}

void TSyntaxLexer::SetEditorFont(const QFont &font)
{
    m_font = font;
    setDefaultFont(font);
    for (int style = 0; style < kStyleCount; ++style)
        setFont(font, style);
}

void TSyntaxLexer::RestyleFrom(int line)
{
    m_restyleFrom = m_restyleFrom ? std::min(m_restyleFrom, line) : line;
}

void TSyntaxLexer::styleText(int start, int end)
{
    QsciScintilla *ed = editor();
    if (!ed)
        return;
    if (m_beforeStyling)
        m_beforeStyling();
    int first = int(ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, static_cast<unsigned long>(start)));
    const int last = int(ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                           static_cast<unsigned long>(std::max(start, end - 1))));
    if (m_restyleFrom > 0) {
        first = std::min(first, m_restyleFrom - 1);
        m_restyleFrom = 0;
    }
    m_engine.TakeRepaint();
    StyleRange(first, last);
    // A correction that reached back before this pass (it should not) is styled on the next.
    const TLineRange repaint = m_engine.TakeRepaint();
    if (!repaint.Empty() && repaint.first - 1 < first) {
        m_restyleFrom = repaint.first;
        const long pos = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE,
                                           static_cast<unsigned long>(repaint.first - 1));
        ed->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(std::max(0L, pos)));
        ed->viewport()->update();
    }
}

void TSyntaxLexer::StyleLines(int first, int last)
{
    QsciScintilla *ed = editor();
    if (!ed)
        return;
    // Only lines already styled; later ones get their colours when they are needed.
    const long styledEnd = ed->SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED);
    const int styledLines = int(ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION,
                                                  static_cast<unsigned long>(styledEnd)));
    last = std::min(last - 1, styledLines - 1);
    if (first - 1 > last)
        return;
    StyleRange(std::max(first - 1, 0), last);
    ed->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(styledEnd));
}

void TSyntaxLexer::StyleRange(int first, int last)
{
    QsciScintilla *ed = editor();
    const int lineCount = int(ed->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT));
    last = std::min(last, lineCount - 1);
    if (first > last)
        return;
    const long from = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(first));
    const long to = last + 1 < lineCount
                        ? ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(last + 1))
                        : ed->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    m_styles.assign(size_t(to - from), char(stText));
    if (m_mode != pmPlain) {
        TScintillaLines lines(ed);
        long lineStart = from;
        for (int line = first; line <= last; ++line) {
            const long next = line + 1 < lineCount
                                  ? ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + 1))
                                  : to;
            char *styles = m_styles.data() + (lineStart - from);
            if (m_mode == pmSyntax) {
                m_engine.PaintLine(line + 1, m_lineElements);
                std::memcpy(styles, m_lineElements.data(),
                            std::min(m_lineElements.size(), size_t(next - lineStart)));
            } else {
                const TCompareLineColors colors = CompareLineColors(lines.Line(line + 1), true);
                if (colors.coloured) {
                    const std::string_view text = lines.Line(line + 1);
                    std::memset(styles, text[0] == 'D' ? stDeletedLine : stInsertedLine, size_t(next - lineStart));
                }
            }
            lineStart = next;
        }
    }
    ed->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(from));
    ed->SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX, static_cast<unsigned long>(to - from), m_styles.data());
}

}  // namespace kiv
