#include "kivcompile.h"

#include "compilertable.h"
#include "kivcomp_model.h"
#include "kivini.h"
#include "kivproject.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "preferences_model.h"
#include "uErrorList_model.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>

namespace kiv {

namespace {

const QString kDebuggerCaption = QStringLiteral("Kiv");
const QString kStoppedMessage = QStringLiteral("The compile was stopped.");

/// The edition named after "- Try" in the error list's first line (the text after "- Try"
/// and the one character that follows it); empty when the line holds no such answer.
QString TryEdition(const QString &firstLine)
{
    const int at = firstLine.indexOf(QLatin1String("- Try"));
    if (at < 0)
        return {};
    return firstLine.mid(at + 6).trimmed();
}

}  // namespace

QString FolderWriteProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("it does not exist");
    if (!info.isDir())
        return QStringLiteral("it is not a folder");
    // Only a real file tells: permissions, a read-only mount, a full quota.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".kiv-write-test-XXXXXX")));
    if (!probe.open())
        return probe.errorString();
    return {};
}

QStringList CompileOutputPagePaths(const QString &base, const QString &objectExtension,
                                   const QString &listExtension)
{
    return {base + '.' + objectExtension, base + '.' + listExtension, base + ".sym",
            base + ".sta", base + ".tre"};
}

QString CompileMainFile(const QString &base, const QString &extension)
{
    return extension.startsWith('.') ? base + extension : base + '.' + extension;
}

TCompileController::TCompileController(ICompileHost &host, TInstalledCompilers &compilers,
                                       TCompileOptions &options, TCompilerLibrary &library,
                                       TKivCompModel &status, IKivCompView &view,
                                       TErrorListModel &errors)
    : InstallFolder(InstallDir())
    , m_host(host)
    , m_compilers(compilers)
    , m_options(options)
    , m_library(library)
    , m_status(status)
    , m_view(view)
    , m_errors(errors)
{
}

bool TCompileController::CompileProject()
{
    if (m_running)
        return false;
    QString base, extension;
    if (!m_host.CurrentProject(&base, &extension) || base.isEmpty())
        return false;

    // The compiler writes every output file beside the main file: a folder it cannot write
    // would only show up later as a missing error file or a tool's bare "Operation not
    // permitted".
    const QString folder = QFileInfo(base).absolutePath();
    const QString problem = FolderWriteProblem(folder);
    if (!problem.isEmpty()) {
        m_failed = true;
        m_stopped = false;
        ShowError(QStringLiteral("The project folder ") + folder
                  + QStringLiteral(" cannot be written (") + problem
                  + QStringLiteral("): the compile writes its output files there. The compile "
                                   "was not started."));
        return true;
    }

    m_running = true;
    m_host.SetCompileEnabled(false);
    m_host.SaveAll();
    m_host.ReleasePages(CompileOutputPagePaths(base, TCompileOptions::get_object_ext(),
                                               TCompileOptions::get_list_ext()));
    m_host.ClosePages(base + ".$$$");

    const bool compiled = RunCompiles(base, extension);
    // The released pages come back once, after the last compile of this command.
    m_host.ReopenReleasedPages();

    if (compiled) {
        // Messages come back into view even after the Output window was closed; the error's
        // editor, focused below, keeps the keyboard.
        const QStringList &lines = m_errors.Lines();
        const bool messages = std::any_of(lines.begin(), lines.end(), IsMessageLine);
        if ((m_options.get_error_format() & 0x4000) || messages)
            m_host.ShowOutputWindow();
        if (m_stopped)
            m_host.ShowCompileErrorStatus(kStoppedMessage);
        else if (m_failed)
            ShowFirstError(base);
        else
            RecordSuccess(base);
    }

    m_host.UpdateCommandGroups(1);
    m_host.SetCompileEnabled(true);
    m_running = false;
    return true;
}

bool TCompileController::RunCompiles(const QString &base, const QString &extension)
{
    m_failed = true;
    m_stopped = false;
    m_result = TCompileResult();
    // Each edition is tried once per command, so two editions that name each other end.
    QSet<QString> tried;
    for (;;) {
        TCompileArguments args;
        args.mainFile = CompileMainFile(base, extension);
        args.installDir = InstallFolder;
        args.includeDirs = m_host.IncludeDirs();
        args.defines = m_host.GlobalDefines();
        args.debugFormat = m_options.get_debug_format();
        args.objectFormat = m_options.get_object_format();
        args.listFormat = m_options.get_list_format();
        args.errorFormat = m_options.get_error_format();
        args.options =
            m_options.OptionsWord(m_host.DebugSessionActive() || m_inCircuitOnce);
        args.objectExtension = TCompileOptions::get_object_ext();
        args.listExtension = TCompileOptions::get_list_ext();
        const QString tooLong = CheckCompileArguments(args);
        if (!tooLong.isEmpty()) {
            ShowError(tooLong);
            return false;
        }

        const QString code = m_compilers.SelectedCode();
        tried.insert(code);
        const bool installed =
            !code.isEmpty() && CompilerInstalled(m_library.DllFolder(), code);
        const TCompileRunStatus status =
            m_status.Compile(m_view, m_library, code, installed, args, m_options.HoldFlags(),
                             base + ".err", m_result);
        if (status == crAborted)
            return false;
        if (status == crStopped) {
            // What the edition wrote before it stopped is listed; nothing is compiled again.
            m_stopped = true;
            m_failed = true;
            bool failed = false;
            if (!m_errors.LoadErrorFile(base + ".err", &failed))
                m_errors.Clear();
            return true;
        }

        const QString errorFile = base + ".err";
        bool failed = false;
        if (!m_errors.LoadErrorFile(errorFile, &failed)) {
            ShowError(QStringLiteral("Cannot read the file ") + errorFile);
            return false;
        }
        m_failed = failed;

        const QString wanted = TryEdition(m_errors.Line(0));
        if (wanted.isEmpty() || code.contains(wanted))
            return true;
        const int next = m_compilers.IndexContaining(wanted);
        if (next < 0 || tried.contains(m_compilers.Code(next)))
            return true;
        m_compilers.Select(next);
        m_host.CompilerSelected(next);
    }
}

void TCompileController::ShowFirstError(const QString &base)
{
    if (m_options.get_error_format() >= 0x4000) {
        m_host.ShowOutputWindow();
        return;
    }
    const QString folder = QFileInfo(base).absolutePath();
    bool opened = false;
    if (!m_result.errorFile.isEmpty()) {
        const QString path = QDir(folder).absoluteFilePath(m_result.errorFile);
        opened = m_host.OpenErrorFile(path);
    }
    if (m_result.message.startsWith(' ')) {
        QString text = m_result.message + QStringLiteral("\n\n");
        for (int n = 1; n < m_errors.Count(); ++n)
            text += m_errors.Line(n) + '\n';
        ShowError(text);
    }
    if (opened)
        m_host.SelectErrorPosition(m_result.line, m_result.startColumn, m_result.endColumn);
    // An error without a message of its own (a "*" line, an edition that is not installed)
    // shows its error line instead.
    const QString message =
        m_result.message.isEmpty() ? m_errors.Line(m_errors.Selected()) : m_result.message;
    m_host.ShowCompileErrorStatus(message);
}

void TCompileController::RecordSuccess(const QString &base)
{
    const QString projectFile = base + ".pjt";
    m_host.AddRecentProject(projectFile);
    if (!TProjectFile(projectFile).WriteProcessor(m_result.processorId))
        ShowError(QStringLiteral("Cannot write the project file ") + projectFile);
    m_host.CompileFinished();
}

void TCompileController::StopCompile()
{
    m_status.RequestStop();
    m_view.ModelChanged();
}

bool TCompileController::DebugReadiness()
{
    QString base, extension;
    if (!m_host.CurrentProject(&base, &extension) || base.isEmpty()) {
        ShowError(QStringLiteral("Project must be compiled first."));
        return false;
    }
    const QString symbolFile = base + ".sym";
    if (!QFileInfo(symbolFile).isFile()) {
        ShowError(QStringLiteral("Project must be compiled first."));
        return false;
    }
    bool ok = false;
    const QStringList lines = ReadTextLines(symbolFile, &ok);
    if (!ok) {
        ShowError(QStringLiteral("Cannot read the file ") + symbolFile);
        return false;
    }
    bool settings = false, inCircuit = false, usableFormat = false;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("Compiler Settings:")))
            settings = true;
        else if (line.startsWith(QLatin1String("    ICD Provisions: Yes")))
            inCircuit = true;
        else if (line.startsWith(QLatin1String("    Debug/eCOD:"))
                 || line.startsWith(QLatin1String("    Debug/COFF:")))
            usableFormat = true;
    }
    if (!settings)
        return true;

    bool recompile = false;
    if (!usableFormat) {
        if (!AskYesNo(QStringLiteral(
                          "The debugger only supports the Expanded COD format or COFF. To "
                          "automatically set the COFF format and recompile click YES, otherwise "
                          "you have to select it from Options/File Formats."),
                      kDebuggerCaption))
            return false;
        m_options.debugFormat = 4;
        recompile = true;
    }
    if (!inCircuit) {
        if (!AskYesNo(QStringLiteral(
                          "Your code does not have ICD mode enable. To recompile with this mode "
                          "click YES, otherwise you have to add \"#device icd=true\" to your "
                          "code."),
                      kDebuggerCaption))
            return false;
        m_inCircuitOnce = true;
        recompile = true;
    }
    if (!recompile)
        return true;
    const bool ran = CompileProject();
    m_inCircuitOnce = false;
    return ran && !m_failed;
}

}  // namespace kiv
