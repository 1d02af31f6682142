// The main window's printing: the current editor or viewer page and a project's files through the
// "Print File" dialog, on the one printer of the session, and the printer set-up.

#include "kivmain_print.h"

#include "CommentList.h"
#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "EditorSyntaxOptions.h"
#include "SyntaxColoring.h"
#include "hexviewer.h"
#include "kivmain.h"
#include "kivmain_props.h"
#include "kivnotebook.h"
#include "kivprintfile.h"
#include "kivprompt.h"
#include "textfile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>

#include <string>

namespace kiv {

namespace {

// 0x00BBGGRR as the page engine's 0xRRGGBB.
unsigned Rgb(TColorValue value)
{
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

// The character index of each byte offset of a UTF-8 line (and of its end).
std::vector<int> CharacterIndexes(std::string_view utf8)
{
    std::vector<int> index(utf8.size() + 1, 0);
    int chars = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        index[i] = chars;
        // Every byte that does not continue a character starts one; a character beyond the
        // basic plane takes two places in a QString.
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80)
            chars += c >= 0xF0 ? 2 : 1;
    }
    index[utf8.size()] = chars;
    return index;
}

// Syntax colour runs of a line as the page engine's runs.
QList<TPrintRun> RunsOf(const std::vector<TColorRun> &runs, std::string_view utf8, const TColorTable &colors)
{
    const std::vector<int> at = CharacterIndexes(utf8);
    QList<TPrintRun> out;
    for (const TColorRun &run : runs) {
        const size_t from = std::min(utf8.size(), size_t(std::max(0, run.column - 1)));
        const size_t to = std::min(utf8.size(), from + size_t(std::max(0, run.length)));
        // Selection and brace highlight belong to the screen, not to paper.
        const TColorElement element =
            run.element == ceSelection || run.element == ceBraceMatch ? ceText : run.element;
        const TColorPair &pair = colors[element];
        out.append(TPrintRun{at[from], at[to] - at[from], Rgb(pair.fg), int(Rgb(pair.bg))});
    }
    return out;
}

// The colours printing uses: the editor's, or the first preset's when their background is not
// white (Part of the editor properties).
TColorTable PrintColors(const TFrmEditorProperties *properties, const TColorTable &editorColors)
{
    if (!properties)
        return editorColors[ceText].bg == 0xFFFFFF ? editorColors : DefaultColorTable();
    TEditorSyntaxOptions options = properties->Options();
    if (options.ResolvedColors()[ceText].bg != 0xFFFFFF)
        options.ApplyPreset(0);
    return options.ResolvedColors();
}

// The lines of an editor page. A final line break does not start another line on paper.
class TEditorPrintSource : public IPrintSource {
public:
    TEditorPrintSource(TOvcTextFileEditorSyntax &editor, const TColorTable &colors)
        : m_editor(editor)
        , m_colors(colors)
    {
    }
    int LineCount() const override
    {
        const int lines = m_editor.LineCount();
        if (lines > 1 && m_editor.LineLength(lines) == 0)
            return lines - 1;
        return lines == 1 && m_editor.LineLength(1) == 0 ? 0 : lines;
    }
    QString Line(int line) const override { return m_editor.Line(line); }
    int SelectionFirst() const override
    {
        return m_editor.HasSelection() ? m_editor.SelectionStart().line : 1;
    }
    int SelectionLast() const override
    {
        if (!m_editor.HasSelection())
            return 0;
        const TextPos end = m_editor.SelectionEnd();
        return end.column == 1 ? end.line - 1 : end.line;
    }
    QString FontName() const override { return m_editor.font().family(); }
    bool CanSyntaxPrint() const override { return m_editor.EditorType() == SyntaxColoringEditor; }
    bool IsCompareResult() const override { return m_editor.EditorType() == DiffFileViewer; }
    QList<TPrintRun> SyntaxRuns(int line) const override
    {
        const std::string utf8 = m_editor.Line(line).toStdString();
        if (IsCompareResult()) {
            const TCompareLineColors c = CompareLineColors(utf8, false);
            if (!c.coloured)
                return {};
            return {TPrintRun{0, int(m_editor.Line(line).size()), Rgb(c.fg), int(Rgb(c.bg))}};
        }
        std::vector<TColorRun> runs;
        if (!m_editor.Coloring() || !m_editor.Coloring()->Engine().PaintLine(line, runs))
            return {};
        return RunsOf(runs, utf8, m_colors);
    }

private:
    TOvcTextFileEditorSyntax &m_editor;
    TColorTable m_colors;
};

// The rows of a hex viewer's dump.
class TViewerPrintSource : public IPrintSource {
public:
    TViewerPrintSource(THexViewer &viewer, const QString &fontName)
        : m_viewer(viewer)
        , m_font(fontName)
    {
    }
    int LineCount() const override { return int(std::min<qint64>(m_viewer.Model().RowCount(), INT_MAX)); }
    QString Line(int line) const override { return m_viewer.Model().RowText(line - 1); }
    // The viewer counts rows from 0.
    int SelectionFirst() const override
    {
        return m_viewer.HasSelection() ? int(m_viewer.SelectionFirst() / 16) + 1 : 1;
    }
    int SelectionLast() const override
    {
        return m_viewer.HasSelection() ? int((m_viewer.SelectionEnd() - 1) / 16) + 1 : 0;
    }
    QString FontName() const override { return m_font; }

private:
    THexViewer &m_viewer;
    QString m_font;
};

// The lines of a file as the colouring engine reads them (an empty text has one empty line).
class TLineStore : public ILineSource {
public:
    std::vector<std::string> lines;
    int LineCount() const override { return std::max(1, int(lines.size())); }
    std::string_view Line(int line) const override
    {
        return line >= 1 && line <= int(lines.size()) ? std::string_view(lines[size_t(line - 1)]) : std::string_view();
    }
};

// A file of a project list, coloured as a C file.
class TFilePrintSource : public IPrintSource {
public:
    TFilePrintSource(const QByteArray &text, const TColorTable &colors, QString fontName)
        : m_colors(colors)
        , m_font(std::move(fontName))
    {
        QByteArray utf8 = ToUtf8(text, IsValidUtf8(text) ? TTextEncoding::teUtf8 : TTextEncoding::teLatin1);
        utf8.replace("\r\n", "\n");
        utf8.replace('\r', '\n');
        std::vector<std::string> &lines = m_store.lines;
        for (const QByteArray &line : utf8.split('\n'))
            lines.push_back(line.toStdString());
        // A final line break does not start another line on paper.
        if (!lines.empty() && lines.back().empty())
            lines.pop_back();
        m_engine.SetText(&m_store);
        m_engine.RebuildComments();
    }
    int LineCount() const override { return int(m_store.lines.size()); }
    QString Line(int line) const override { return QString::fromStdString(m_store.lines.at(size_t(line - 1))); }
    QString FontName() const override { return m_font; }
    bool CanSyntaxPrint() const override { return true; }
    QList<TPrintRun> SyntaxRuns(int line) const override
    {
        std::vector<TColorRun> runs;
        if (!m_engine.PaintLine(line, runs))
            return {};
        return RunsOf(runs, m_store.lines.at(size_t(line - 1)), m_colors);
    }

private:
    TLineStore m_store;
    TColorTable m_colors;
    QString m_font;
    // Painting corrects the comment spans as it goes.
    mutable CSytaxColoring m_engine;
};

// A viewer's title: its file, four blanks, and the date and time ("dd-mmm-yy hh:nn am/pm").
QString DatedTitle(const QString &path)
{
    const QDateTime now = QDateTime::currentDateTime();
    return path + QStringLiteral("    ") + PrintDate(now) + QLatin1Char(' ') + PrintTime(now);
}

}  // namespace

// --- TPrintParts --------------------------------------------------------------------------------

TPrintParts::TPrintParts(Tfkivmain &main)
    : QObject(&main)
    , Printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("PrintParts"));
}

TPrintParts::~TPrintParts() = default;

// --- the main window's commands -----------------------------------------------------------------

void Tfkivmain::CreatePrint()
{
    m_print = new TPrintParts(*this);
    PrintFiles = [this](const QStringList &files) { PrintFileList(files); };
}

QPrinter *Tfkivmain::Printer() const
{
    return m_print->Printer.get();
}

int Tfkivmain::RunPrintDialog(TFPrintFile &dialog)
{
    dialog.SetPrintLinesOverride(m_commandLine.PrintLines);
    if (const TFrmEditorProperties *properties = EditorProperties(*this))
        dialog.SetTabSize(properties->Options().Settings().tabSize);
    if (ExecPrintDialog)
        return ExecPrintDialog(dialog);
    return dialog.exec();
}

void Tfkivmain::PrintEditorPage(TOvcTextFileEditorSyntax *editor)
{
    if (!editor)
        return;
    if (!Printer()) {
        ShowError(QStringLiteral("KIV can not attach to printer"));
        return;
    }
    const TEditorPrintSource source(*editor, PrintColors(EditorProperties(*this), editor->Colors()));
    TFPrintFile dialog(Printer(), this);
    // A read-only list view is a viewer page: its title carries the date.
    const bool viewer = editor->EditorType() == AdvancedViewer;
    dialog.SetSource(&source, viewer ? DatedTitle(editor->FileName()) : editor->FileName());
    RunPrintDialog(dialog);
}

void Tfkivmain::PrintViewerPage(THexViewer *viewer)
{
    if (!viewer)
        return;
    if (!Printer()) {
        ShowError(QStringLiteral("KIV can not attach to printer"));
        return;
    }
    const TViewerPrintSource source(*viewer, viewer->font().family());
    TFPrintFile dialog(Printer(), this);
    dialog.SetSource(&source, DatedTitle(viewer->FileName()));
    RunPrintDialog(dialog);
}

void Tfkivmain::PrintFileList(const QStringList &paths)
{
    if (!Printer()) {
        ShowError(QStringLiteral("KIV can not attach to printer"));
        return;
    }
    const TFrmEditorProperties *properties = EditorProperties(*this);
    const TColorTable colors = PrintColors(properties, DefaultColorTable());
    const QString font = properties ? properties->Options().Settings().fontName : QStringLiteral("Courier New");
    TFPrintFile dialog(Printer(), this);
    dialog.SetFileList(paths, [colors, font](const QString &path) -> std::unique_ptr<IPrintSource> {
        QByteArray data;
        if (!ReadWholeFile(path, data)) {
            ShowError(QStringLiteral("Cannot print ") + path + QStringLiteral(": the file cannot be read"));
            return nullptr;
        }
        return std::make_unique<TFilePrintSource>(data, colors, font);
    });
    RunPrintDialog(dialog);
}

void Tfkivmain::ActionFilePrintExecute()
{
    const int current = m_notebook->CurrentPage();
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(current))
        PrintEditorPage(editor);
    else if (THexViewer *viewer = m_notebook->Viewer(current))
        PrintViewerPage(viewer);
}

void Tfkivmain::ActionFilePrinterSetupExecute()
{
    QPageSetupDialog dialog(Printer(), this);
    dialog.exec();
}

}  // namespace kiv
