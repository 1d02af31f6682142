// The main window's part of compiling: the compiler selection box, "Compile" (F9), the
// "File Formats" dialog with its System tab, the compile status window, and the pages, status
// bar and project updates around a compile.

#include "kivmain_compile.h"

#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivassoctab.h"
#include "kivcomp.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "preferences.h"
#include "uErrorList_model.h"
#include "uOutputForm.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

namespace kiv {

namespace {

/// Lines above the error line when the editor scrolls to it.
constexpr int kErrorLinesAbove = 10;

}  // namespace

TCompileParts::TCompileParts(Tfkivmain &main)
    : QObject(&main)
    , Library(DllDir())
    , m_main(main)
{
    setObjectName(QStringLiteral("CompileParts"));
    Errors = new TErrorListModel(this);
    Compilers.Build(DllDir());
}

TCompileParts::~TCompileParts() = default;

void TCompileParts::SelectCompiler(int index)
{
    if (!Compilers.Select(index))
        return;
    if (CompilerType && CompilerType->currentIndex() != index)
        CompilerType->setCurrentIndex(index);
}

bool TCompileParts::CurrentProject(QString *base, QString *extension) const
{
    const TCurrentProject &project = m_main.CurrentProject();
    *base = project.Base();
    *extension = project.Extension();
    return !project.IsEmpty();
}

QString TCompileParts::IncludeDirs() const
{
    return m_main.Environment().IncludeDirs;
}

QString TCompileParts::GlobalDefines() const
{
    return m_main.GlobalDefinesHook ? m_main.GlobalDefinesHook() : QString();
}

bool TCompileParts::DebugSessionActive() const
{
    return m_main.DebugSessionActive && m_main.DebugSessionActive();
}

void TCompileParts::SetCompileEnabled(bool enabled)
{
    CompileAction->setEnabled(enabled);
    if (!enabled)
        ClearErrorStatus();
    // The close asked for during the compile goes ahead now that it has ended.
    if (enabled && CloseAfterCompile) {
        CloseAfterCompile = false;
        QTimer::singleShot(0, &m_main, [this] { m_main.close(); });
    }
}

void TCompileParts::SaveAll()
{
    m_main.SaveAll();
}

void TCompileParts::ReleasePages(const QStringList &paths)
{
    // The views read their files whole (editors) or block by block with the file closed in
    // between (hex viewers), so releasing a page means marking it for the re-open.
    m_released.clear();
    QStringList lower;
    for (const QString &path : paths)
        lower << path.toLower();
    TKivNotebook *notebook = m_main.Notebook();
    for (int i = 0; i < notebook->PageCount(); ++i) {
        if (lower.contains(notebook->PagePath(i).toLower()))
            m_released << notebook->View(i);
    }
}

void TCompileParts::ClosePages(const QString &path)
{
    TKivNotebook *notebook = m_main.Notebook();
    for (int i = notebook->PageCount() - 1; i >= 0; --i) {
        if (notebook->PagePath(i).toLower() == path.toLower())
            m_main.doclosefile(i);
    }
}

void TCompileParts::ReopenReleasedPages()
{
    TKivNotebook *notebook = m_main.Notebook();
    for (const QPointer<QWidget> &view : std::as_const(m_released)) {
        const int index = view ? notebook->IndexOfView(view) : -1;
        if (index < 0)
            continue;
        // An output file the compile did not write again keeps its page as it was.
        if (!QFileInfo(notebook->PagePath(index)).isFile())
            continue;
        QString error;
        bool reloaded = false;
        if (TOvcTextFileEditorSyntax *editor = notebook->Editor(index)) {
            const TextPos caret = editor->CaretPos();
            reloaded = editor->LoadFromFile(editor->FileName(), &error);
            if (reloaded)
                editor->SetCaretPos(caret);
        } else if (THexViewer *viewer = notebook->Viewer(index)) {
            reloaded = viewer->Reload(&error);
            if (reloaded)
                viewer->ScrollToEnd();
        }
        if (reloaded)
            notebook->RefreshStamp(index);
        else if (!error.isEmpty())
            ShowError(error);
    }
    m_released.clear();
}

void TCompileParts::CompilerSelected(int index)
{
    SelectCompiler(index);
}

void TCompileParts::ShowOutputWindow()
{
    // Wherever the Output window is docked, its group and panel open with the error list.
    if (TOutputForm *output = m_main.OutputForm())
        output->ShowTab(TOutputForm::otCompiler);
}

bool TCompileParts::OpenErrorFile(const QString &path)
{
    const int index = m_main.doopenfile(path, 'R');
    m_errorEditor = index >= 0 ? m_main.Notebook()->Editor(index) : nullptr;
    return m_errorEditor != nullptr;
}

void TCompileParts::SelectErrorPosition(int line, int startColumn, int endColumn)
{
    TOvcTextFileEditorSyntax *editor = m_errorEditor;
    if (!editor)
        return;
    if (line >= 1 && line <= editor->LineCount()) {
        // Without columns (or with an empty range) the whole line is selected.
        const int start = startColumn >= 1 ? startColumn : 1;
        const int end = endColumn > start ? endColumn : editor->LineLength(line) + 1;
        editor->SetSelection(TextPos{line, start}, TextPos{line, end});
        editor->setFirstVisibleLine(qMax(0, line - 1 - kErrorLinesAbove));
    }
    editor->setFocus();
}

void TCompileParts::ShowCompileErrorStatus(const QString &message)
{
    QLabel *panel = m_main.StatusPanel(2);
    QFont font = m_main.StatusPanel(1)->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() + 1);
    panel->setFont(font);
    panel->setStyleSheet(
        QStringLiteral("QLabel { background-color: red; color: white; padding-left: 30px; }"));
    panel->setText(message);
    m_errorShown = true;
    if (m_errorEditor) {
        m_caretConnection = connect(m_errorEditor, &TOvcTextFileEditorSyntax::CaretMoved, this,
                                    [this] { ClearErrorStatus(); });
    }
}

void TCompileParts::ClearErrorStatus()
{
    disconnect(m_caretConnection);
    if (!m_errorShown)
        return;
    m_errorShown = false;
    QLabel *panel = m_main.StatusPanel(2);
    panel->setStyleSheet(QString());
    panel->setFont(m_main.StatusPanel(1)->font());
    panel->setText(m_main.Notebook()->CurrentPath());
}

void TCompileParts::AddRecentProject(const QString &path)
{
    m_main.AddRecentProject(path);
}

void TCompileParts::CompileFinished()
{
    if (m_main.CompileFinishedHook)
        m_main.CompileFinishedHook();
}

void TCompileParts::UpdateCommandGroups(int mode)
{
    m_main.UpdateCommandGroups(mode);
}

void Tfkivmain::CreateCompile()
{
    m_compile = new TCompileParts(*this);
    TCompileParts &parts = *m_compile;

    parts.CompilerSelectBar = new QToolBar(QStringLiteral("Compiler-Select"), this);
    parts.CompilerSelectBar->setObjectName(QStringLiteral("CompilerSelect"));
    parts.CompilerType = new QComboBox(parts.CompilerSelectBar);
    parts.CompilerType->setObjectName(QStringLiteral("compilertype"));
    parts.CompilerType->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    parts.CompilerType->addItems(parts.Compilers.Names());
    parts.CompilerType->setCurrentIndex(parts.Compilers.Selected());
    parts.CompilerSelectBar->addWidget(parts.CompilerType);
    addToolBar(parts.CompilerSelectBar);
    connect(parts.CompilerType, &QComboBox::currentIndexChanged, &parts,
            [&parts](int index) { parts.Compilers.Select(index); });
    SelectCompilerEdition = [this](const QString &code) {
        const int index = m_compile->Compilers.IndexOfCode(code);
        if (index < 0)
            return false;
        m_compile->SelectCompiler(index);
        return true;
    };

    parts.Preferences = new Tpreferences(parts.Options, SettingsFilePath(), this);
    auto *system = new TKivAssocTab;
    parts.Preferences->AddPage(TPreferencesPage{
        system, TKivAssocTab::Caption(), [system] { system->Fill(); },
        [system] { system->Apply(); }, [system] { system->Cancel(); }});
    parts.StatusWindow = new Tfkivcomp(parts.StatusModel, SettingsFilePath(), this);
    parts.Controller = std::make_unique<TCompileController>(
        parts, parts.Compilers, parts.Options, parts.Library, parts.StatusModel,
        *parts.StatusWindow, *parts.Errors);

    parts.FileFormatsAction = Command(QStringLiteral("fileformatsaction"));
    parts.CompileAction = Command(QStringLiteral("ActionCompile"));
    // F9 compiles from every window of the program, also from floating tool windows.
    parts.CompileAction->setShortcutContext(Qt::ApplicationShortcut);
}

bool Tfkivmain::CompileProject()
{
    return m_compile->Controller->CompileProject();
}

bool Tfkivmain::DebugReadiness()
{
    return m_compile->Controller->DebugReadiness();
}

bool Tfkivmain::CompileRunning() const
{
    return m_compile->Controller->Running();
}

void Tfkivmain::CloseWhenCompileEnds()
{
    m_compile->CloseAfterCompile = true;
    if (m_compile->StatusModel.Stoppable) {
        m_compile->Controller->StopCompile();
        return;
    }
    ShowInformation(QStringLiteral("A compile is running and this compiler edition cannot stop "
                                   "it; the window closes when the compile has ended."));
}

void Tfkivmain::ShowFileFormats()
{
    m_compile->Preferences->exec();
}

bool Tfkivmain::CompileErrorShown() const
{
    return m_compile->ErrorShown();
}

TErrorListModel &Tfkivmain::ErrorList() const
{
    return *m_compile->Errors;
}

int Tfkivmain::InstalledCompilerCount() const
{
    return m_compile->Compilers.Count();
}

int Tfkivmain::SelectedCompilerIndex() const
{
    return m_compile->Compilers.Selected();
}

void Tfkivmain::SelectCompiler(int index)
{
    m_compile->SelectCompiler(index);
}

}  // namespace kiv
