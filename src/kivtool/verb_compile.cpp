// kivtool compile PATH.pjt — the "Compile" command without a window: the same controller, the
// edition the IDE would select for the project, the settings file's compile options. Prints
// the status lines and the error list; exits 1 when the compile failed.

#include "kivtool.h"

#include "compilertable.h"
#include "kivcomp_model.h"
#include "kivcompile.h"
#include "kivenv.h"
#include "kivini.h"
#include "kivproject.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "preferences_model.h"
#include "uErrorList_model.h"

#include <QFileInfo>

namespace kiv::tool {

namespace {

/// Messages go to standard error; questions are answered No (Cancel, nothing).
class TConsolePrompt : public IPrompt {
public:
    TMsgResult Message(TMsgKind kind, const QString &caption, const QString &text,
                       TMsgButtons buttons) override
    {
        Err() << (caption.isEmpty() ? StandardCaption(kind) : caption) << ": " << text << '\n';
        Err().flush();
        return buttons == mbOK ? mrOk : buttons == mbYesNo ? mrNo : mrCancel;
    }
    QString OpenFileName(TFileQuestion &) override { return {}; }
    QString SaveFileName(TFileQuestion &) override { return {}; }
    QString FolderName(const QString &, const QString &) override { return {}; }
    std::optional<int> Number(const QString &, const QString &, int, int, int) override
    {
        return std::nullopt;
    }
};

/// The compile status window as printed lines: the window's lines once the compile is over.
class TConsoleView : public IKivCompView {
public:
    explicit TConsoleView(const TKivCompModel &model) : m_model(model) { }

    void ModelChanged() override { }
    void ProcessEvents() override { }
    void ShowBusy() override { Out() << m_model.Caption << '\n'; }
    void EndBusy() override { PrintLines(); }
    void WaitSeconds(int) override { }
    void ShowUntilClosed() override { }
    void ShowModalAnyKey() override { }
    void ShowModalHeld() override { }
    void ShowModalTimed(int) override { }

    void PrintLines()
    {
        for (int n = 1; n <= TKivCompModel::kLineCount; ++n) {
            if (!m_model.Line(n).isEmpty())
                Out() << "  " << m_model.Line(n) << '\n';
        }
        if (m_model.BarsVisible)
            Out() << "  ROM " << m_model.RomPercent << "%  RAM " << m_model.RamPercent << "%\n";
        Out().flush();
    }

private:
    const TKivCompModel &m_model;
};

/// The main window's part of a compile, for a project on disk and no pages.
class TConsoleHost : public ICompileHost {
public:
    TCurrentProject project;
    QString includes;

    bool CurrentProject(QString *base, QString *extension) const override
    {
        *base = project.Base();
        *extension = project.Extension();
        return !project.IsEmpty();
    }
    QString IncludeDirs() const override { return includes; }
    void CompilerSelected(int) override { }
    void ShowCompileErrorStatus(const QString &message) override { m_errorShown = message; }

    QString m_errorShown;
};

}  // namespace

int VerbCompile(const QStringList &args)
{
    if (args.size() != 1) {
        Err() << "usage: kivtool compile PATH.pjt\n";
        return 2;
    }
    TConsolePrompt prompt;
    TPromptGuard guard(&prompt);

    const TProjectFile projectFile(QFileInfo(args[0]).absoluteFilePath());
    if (!projectFile.Exists()) {
        Err() << "kivtool compile: the project file " << projectFile.Path()
              << " does not exist\n";
        return 2;
    }
    const QString problem = ProjectOpenProblem(projectFile.Path());
    if (!problem.isEmpty()) {
        Err() << "kivtool compile: " << problem << '\n';
        return 1;
    }
    const QString mainFile = projectFile.MainFile();

    // The edition the IDE would compile with: the stored selection, then the project's own.
    TIniFile ini(SettingsFilePath());
    TInstalledCompilers compilers;
    compilers.Build(DllDir());
    const int stored = ini.ReadInteger(QStringLiteral("compiler"), QStringLiteral("index"), 1);
    compilers.Select(stored >= 0 && stored < compilers.Count() ? stored : 0);
    const int wanted = compilers.IndexOfCode(projectFile.Edition());
    if (wanted >= 0)
        compilers.Select(wanted);

    TCompileOptions options;
    options.Read(ini);
    // Nothing waits for a key here.
    options.noErrors = TCompileOptions::neNo;
    options.onError = 0;

    TConsoleHost host;
    host.project = TCurrentProject::FromMainFile(mainFile);
    host.includes = ini.ReadString(QStringLiteral("default"), QStringLiteral("includes"),
                                   TKivEnvironment(InstallDir()).DefaultIncludeDirs());

    TCompilerLibrary library(DllDir());
    TKivCompModel status;
    TConsoleView view(status);
    TErrorListModel errors;
    TCompileController controller(host, compilers, options, library, status, view, errors);

    Out() << "Compiling " << host.project.MainFile() << " with "
          << (compilers.SelectedCode().isEmpty() ? QStringLiteral("no installed edition")
                                                 : compilers.SelectedCode() + " ("
                                                       + compilers.SelectedName() + ")")
          << '\n';
    Out().flush();
    controller.CompileProject();

    if (status.ErrorPanelVisible && !status.ErrorLine2.isEmpty() && status.Caption.isEmpty())
        Out() << "  " << status.ErrorLine2 << '\n';
    Out() << "Error list:\n";
    for (int n = 0; n < errors.Count(); ++n)
        Out() << (n == errors.Selected() ? "> " : "  ") << errors.Line(n) << '\n';
    const TCompileResult &result = controller.LastResult();
    if (controller.LastCompileFailed()) {
        if (!result.errorFile.isEmpty())
            Out() << "First error: " << result.errorFile << ", Line " << result.line << " ("
                  << result.startColumn << "," << result.endColumn << "): " << result.message
                  << '\n';
        else if (!host.m_errorShown.isEmpty())
            Out() << "First error: " << host.m_errorShown << '\n';
        Out() << "Compile failed.\n";
        return 1;
    }
    Out() << "Processor 0x"
          << QStringLiteral("%1").arg(result.processorId, 4, 16, QLatin1Char('0')).toUpper()
          << " written to " << projectFile.Path() << '\n'
          << "Compile succeeded.\n";
    return 0;
}

}  // namespace kiv::tool
