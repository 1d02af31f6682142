// kivtool debug PATH.pjt [COMMAND...] — a debug session without a window: the session
// controller with the installation's watch library and debugger library (the one the settings
// file selects, or --debugger NAME), the start sequence, then the commands in order. Every stop
// prints the PC, W and the source line; questions are answered No.

#include "kivtool.h"

#include "kivdbgsnap_model.h"
#include "kivini.h"
#include "kivproject.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "pc_dirs.h"
#include "preferences_model.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormStack_model.h"
#include "uWatchProxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace kiv::tool {

namespace {

class TConsoleDebugPrompt : public IPrompt {
public:
    TMsgResult Message(TMsgKind kind, const QString &caption, const QString &text, TMsgButtons buttons) override
    {
        Err() << (caption.isEmpty() ? StandardCaption(kind) : caption) << ": " << text << '\n';
        Err().flush();
        return buttons == mbOK ? mrOk : buttons == mbYesNo ? mrNo : mrCancel;
    }
    QString OpenFileName(TFileQuestion &) override { return {}; }
    QString SaveFileName(TFileQuestion &) override { return {}; }
    QString FolderName(const QString &, const QString &) override { return {}; }
    std::optional<int> Number(const QString &, const QString &, int, int, int) override { return std::nullopt; }
};

/// The session's host without a window: every source file counts as open, the markers are
/// remembered, and the status is printed when the target stopped.
class TConsoleHost : public IDebugHost {
public:
    QString base;
    int format = 4;
    QHash<QString, int> current;
    QString lastFile;

    QString ProjectBase() const override { return base; }
    int DebugFileFormat() const override { return format; }
    QString ActivePagePath() const override { return lastFile; }
    int ActiveCaretLine() const override { return current.value(lastFile); }
    bool IsOpen(const QString &path) const override { return QFileInfo(path).isFile(); }
    bool OpenEditor(const QString &path) override { return QFileInfo(path).isFile(); }
    QStringList OpenEditorPaths() const override { return current.keys(); }
    void SetDebugMode(const QString &, bool) override { }
    void LeaveDebugModeAll() override { }
    void SetCurrentLine(const QString &path, int line) override
    {
        current.insert(path, line);
        if (line > 0)
            lastFile = path;
    }
    void SetBreakFlags(const QString &, const QList<int> &) override { }
    void ShowLine(const QString &path, int line, bool, bool) override
    {
        lastFile = path;
        current.insert(path, line);
    }
    void ScrollToLine(const QString &, int) override { }
    void ShowStatus(const TDebugStatus &) override { }
    void SetCommands(const TDebugCommands &) override { }
    void SetEnableCommands(bool, bool) override { }
    void SetDebugWindowsCommands(bool) override { }
    void SetBusyCursor(bool) override { }
    bool DebugWindowShowing() const override { return true; }
    void ShowDebugWindow() override { }
    void CloseDebugWindow() override { }
    void SetWindowVisible(TDebugWindowId, bool) override { }
    bool WindowVisible(TDebugWindowId) const override { return false; }
    bool AskWarning(const QString &text, const QString &caption, bool &) override
    {
        Err() << caption << ": " << text << '\n';
        return true;
    }
    void ShowVerificationResults(const QString &text) override { Out() << "Verification results:\n" << text << '\n'; }
};

void PrintStop(const TDbgFormModel &session, const TConsoleHost &host)
{
    Out() << QStringLiteral("PC=%1 W=%2").arg(session.PC, 4, 16, QLatin1Char('0')).arg(session.W, 2, 16, QLatin1Char('0')).toUpper();
    if (!host.lastFile.isEmpty() && host.current.value(host.lastFile) > 0) {
        const int line = host.current.value(host.lastFile);
        Out() << "  " << QFileInfo(host.lastFile).fileName() << ':' << line << "  "
              << session.SourceLineText(session.FileIndex(host.lastFile), line).trimmed();
    }
    Out() << '\n';
    Out().flush();
}

}  // namespace

int VerbDebug(const QStringList &arguments)
{
    QStringList args = arguments;
    QString debuggerName;
    if (const qsizetype at = args.indexOf(QStringLiteral("--debugger")); at >= 0 && at + 1 < args.size()) {
        debuggerName = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.isEmpty()) {
        Err() << "usage: kivtool debug PATH.pjt [--debugger NAME] [COMMAND...]\n"
                 "commands: step [N] | over | run [MS] | break FILE:LINE | watch EXPR | ram ADDR [N] | periph NAME\n"
                 "          | stack | snapshot FILE\n";
        return 2;
    }
    TConsoleDebugPrompt prompt;
    TPromptGuard guard(&prompt);
    const TProjectFile project(QFileInfo(args.takeFirst()).absoluteFilePath());
    const TCurrentProject current = TCurrentProject::FromMainFile(project.MainFile());
    if (current.IsEmpty() || !project.Exists()) {
        Err() << "kivtool debug: no project " << project.Path() << '\n';
        return 2;
    }
    TConsoleHost host;
    host.base = current.Base();
    TCompileOptions options;
    options.Read(TIniFile(SettingsFilePath()));
    host.format = options.debugFormat;
    SetDeviceFile(UtilsDir() + QStringLiteral("devices.dat"));
    QStringList libraries;
    ListDebuggerLibraries(libraries);
    TDbgFormModel session(host, SettingsFilePath(), TWatchProxy::LibraryPath(WatchDir()), libraries,
                          UtilsDir() + QStringLiteral("devices.dat"));
    session.SetSfrFile(CompilerDir() + QStringLiteral("sfr.txt"));
    session.SetFirmwareDir(CompilerDir());
    if (!debuggerName.isEmpty()) {
        session.Configure().BuildDebuggerList(libraries);
        const QList<TDebuggerType> &types = session.Configure().Debuggers();
        const auto it = std::find_if(types.begin(), types.end(), [&](const TDebuggerType &t) {
            return t.name.compare(debuggerName, Qt::CaseInsensitive) == 0;
        });
        if (it == types.end()) {
            Err() << "kivtool debug: no debugger named " << debuggerName << '\n';
            return 2;
        }
        session.Configure().SelectDebugger(int(it - types.begin()));
    }
    session.Enable();
    if (session.State() != dsReady) {
        Err() << "kivtool debug: the session did not start\n";
        return 1;
    }
    PrintStop(session, host);
    int rc = 0;
    while (!args.isEmpty() && rc == 0 && session.State() == dsReady) {
        const QString command = args.takeFirst();
        const auto number = [&args](int def) {
            bool ok = false;
            const int n = args.isEmpty() ? def : args.first().toInt(&ok, 0);
            if (ok)
                args.removeFirst();
            return ok ? n : def;
        };
        if (command == QLatin1String("step")) {
            for (int n = number(1); n > 0 && session.State() == dsReady; --n) {
                session.Step();
                PrintStop(session, host);
            }
        } else if (command == QLatin1String("over")) {
            session.StepOver();
            PrintStop(session, host);
        } else if (command == QLatin1String("run")) {
            const int ms = number(0);
            if (ms > 0)
                QTimer::singleShot(ms, &session, [&session] { session.Halt(); });
            session.Run();
            PrintStop(session, host);
        } else if (command == QLatin1String("break") && !args.isEmpty()) {
            const QString place = args.takeFirst();
            const qsizetype colon = place.lastIndexOf(QLatin1Char(':'));
            const QString file = QFileInfo(place.left(colon)).absoluteFilePath();
            if (colon <= 0 || session.Breaks().AddBreak(file, place.mid(colon + 1).toInt()) < 0)
                rc = 1;
        } else if (command == QLatin1String("watch") && !args.isEmpty()) {
            const QString expression = args.takeFirst();
            QString value;
            TDebugRamModel &ram = session.Ram();
            ram.BeginEvaluation();
            session.Watch()->Evaluate(session.curFile, session.curLine, expression, value, 255, &TDebugRamModel::MemoryFunction, &ram);
            ram.EndEvaluation();
            Out() << expression << " = " << value << '\n';
        } else if (command == QLatin1String("ram") && !args.isEmpty()) {
            const int address = number(0);
            const int count = std::clamp(number(16), 1, 4096);
            session.Ram().ReadRange(address, count, true);
            Out() << QStringLiteral("%1:").arg(address, 3, 16, QLatin1Char('0')).toUpper();
            for (int a = address; a < address + count && a <= session.Ram().LastAddress(); ++a)
                Out() << ' ' << QStringLiteral("%1").arg(session.Ram().Current(a), 2, 16, QLatin1Char('0')).toUpper();
            Out() << '\n';
        } else if (command == QLatin1String("periph") && !args.isEmpty()) {
            const QString name = args.takeFirst();
            TDebugPeripheralsModel &peripherals = session.Peripherals();
            int index = -1;
            for (int i = 0; i < peripherals.Groups().size(); ++i) {
                if (peripherals.Groups().at(i).caption.compare(name, Qt::CaseInsensitive) == 0
                    || peripherals.Groups().at(i).tag.compare(name, Qt::CaseInsensitive) == 0)
                    index = i;
            }
            if (index < 0) {
                Err() << "kivtool debug: no peripheral group " << name << '\n';
                rc = 1;
            } else {
                peripherals.Select(index);
                Out() << QString(peripherals.Text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            }
        } else if (command == QLatin1String("stack")) {
            session.Stack().Refresh();
            for (const QString &line : session.Stack().Lines())
                Out() << line << '\n';
        } else if (command == QLatin1String("snapshot") && !args.isEmpty()) {
            TSnapshotSettings &s = session.Snapshot().settings;
            s = TSnapshotSettings{};
            s.where = TSnapshotSettings::swOverwrite;
            s.filename = args.takeFirst();
            s.breaks = s.ram = s.eeprom = s.stack = s.nextc = s.errors = s.config = true;
            session.Snapshot().TakeSnapshot();
        } else {
            Err() << "kivtool debug: unknown command " << command << '\n';
            rc = 2;
        }
        Out().flush();
    }
    session.Stop(false);
    QElapsedTimer timer;
    timer.start();
    while (session.IsActive() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return rc;
}

}  // namespace kiv::tool
