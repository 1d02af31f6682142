// The main window's part of the Output window and of help.

#include "kivmain_output.h"

#include "EditorSyntax.h"
#include "kivcomp.h"
#include "kivhelpwin.h"
#include "kivmain.h"
#include "kivmain_compile.h"
#include "kivnotebook.h"
#include "pc_dirs.h"
#include "preferences.h"
#include "uErrorList.h"
#include "uOutputForm.h"
#include "uOutputForm_model.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

namespace kiv {

TOutputParts::TOutputParts(Tfkivmain &main)
    : QObject(&main)
    , Help(CompilerDir())
    , m_main(main)
{
    setObjectName(QStringLiteral("OutputParts"));
    HelpWindow = new Tfkivhelpwin(&main);
    Help.SetViewer(HelpWindow);
    Help.SelectHelpFile(QStringLiteral("vync"));
}

TOutputParts::~TOutputParts()
{
    Help.SetViewer(nullptr);
}

int TOutputParts::OpenMessageFile(const QString &path)
{
    QString file = path;
    if (QDir::isRelativePath(path) && !m_main.CurrentProject().IsEmpty()) {
        const QString beside = QDir(m_main.CurrentProject().Folder()).absoluteFilePath(path);
        if (QFileInfo(beside).isFile())
            file = beside;
    }
    if (!QFileInfo(file).isFile())
        return -1;
    return m_main.doopenfile(file, 'R');
}

void Tfkivmain::CreateOutput()
{
    m_output = new TOutputParts(*this);
    TOutputParts &parts = *m_output;

    m_outputForm->ErrorList()->SetModel(&ErrorList());
    TOutputNavigation &navigation = m_outputForm->Navigation;
    navigation.OpenFile = [&parts](const QString &path) { return parts.OpenMessageFile(path); };
    navigation.GoToPosition = [this](int page, int line, int startColumn, int endColumn) {
        GoToPosition(page, line, startColumn, endColumn);
    };
    navigation.ShowMessageHelp = [&parts](int context) { parts.Help.ShowMessageHelp(context); };

    // The help file follows the compiler edition, starting with the one selected now.
    TCompileParts *compile = CompileParts();
    if (compile->Compilers.Selected() >= 0)
        parts.Help.SelectHelpFileForEdition(compile->Compilers.SelectedName());
    connect(compile->CompilerType, &QComboBox::currentIndexChanged, &parts,
            [this](int index) {
                m_output->Help.SelectHelpFileForEdition(
                    CompileParts()->Compilers.Name(index));
            });
    compile->StatusWindow->SetHelp([&parts](const QString &base, const QString &topic) {
        parts.Help.ShowHelpTopicOf(base, topic);
    });
    compile->Preferences->SetHelp(
        [&parts](const QString &topic) { parts.Help.ShowHelpTopic(topic); });
}

void Tfkivmain::GoToPosition(int page, int line, int startColumn, int endColumn)
{
    TOvcTextFileEditorSyntax *editor = m_notebook->Editor(page);
    if (!editor)
        return;
    m_notebook->SetCurrentPage(page);
    const int lineCount = editor->LineCount();
    const int lineLength = line >= 1 && line <= lineCount ? editor->LineLength(line) : 0;
    const TGoToSelection selection =
        GoToSelection(lineCount, lineLength, line, startColumn, endColumn);
    if (selection.select) {
        editor->SetSelection(selection.anchor, selection.caret);
        editor->setFirstVisibleLine(selection.topLine - 1);
    }
    editor->setFocus();
}

void Tfkivmain::KeywordHelp()
{
    TKeywordContext context;
    if (TOvcTextFileEditorSyntax *editor = m_notebook->Editor(m_notebook->CurrentPage())) {
        const TextPos caret = editor->CaretPos();
        context.editorPage = true;
        context.caretLine = editor->Line(caret.line);
        context.caretColumn = caret.column;
    }
    context.compileErrorShown = CompileErrorShown();
    context.lastMessage = CompileParts()->Controller->LastMessageNumber();
    m_output->Help.KeywordHelp(context);
}

void Tfkivmain::LastErrorHelp()
{
    m_output->Help.LastError(CompileParts()->Controller->LastMessageNumber());
}

void Tfkivmain::CloseHelp()
{
    m_output->Help.Close();
}

}  // namespace kiv
