#include "uDbgForm_model.h"

#include "codetarget.h"
#include "firmwarefinder.h"
#include "kivdbgsnap_model.h"
#include "kivini.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "uDbgProxy.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormROM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTime>

namespace kiv {

namespace {

const char kVerificationMessage[] = "There were program verification errors";
/// The stop timer's period.
constexpr int kStopTick = 200;
/// How often a long step sequence lets the interface run.
constexpr int kStepEventsMs = 50;
/// Source files asked from the watch library at most (a library that never fails stops here).
constexpr int kMaxSourceFiles = 4096;

bool SamePath(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

/// Counts a command in progress: Stop frees the library only when none is.
class TDbgFormModel::TBusy {
public:
    explicit TBusy(TDbgFormModel &model)
        : m_model(model)
    {
        ++m_model.m_busy;
    }
    ~TBusy()
    {
        --m_model.m_busy;
        if (m_model.m_busy == 0)
            Q_EMIT m_model.Unloaded();
    }

private:
    TDbgFormModel &m_model;
};

TDbgFormModel::TDbgFormModel(IDebugHost &host, QString settingsFile, QString watchPath, QStringList debuggerPaths,
                             QString devicesDat, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_settingsFile(std::move(settingsFile))
    , m_watchPath(std::move(watchPath))
    , m_debuggerPaths(std::move(debuggerPaths))
    , m_devicesDat(std::move(devicesDat))
{
    m_configure = std::make_unique<TDebugConfigureModel>(m_settingsFile);
    m_ram = std::make_unique<TDebugRamModel>(*this);
    m_rom = std::make_unique<TDebugRomModel>(*this);
    m_dataEE = std::make_unique<TDebugDataEEModel>(*this);
    m_breaks = std::make_unique<TDebugBreaksModel>(*this);
    m_stack = std::make_unique<TDebugStackModel>(*this);
    m_watches = std::make_unique<TDebugWatchesModel>(*this);
    m_peripherals = std::make_unique<TDebugPeripheralsModel>(*this);
    m_eval = std::make_unique<TDebugEvalModel>(*this);
    m_monitor = std::make_unique<TDebugMonitorModel>(*this);
    m_log = std::make_unique<TDebugLogModel>(*this);
    m_tasks = std::make_unique<TDebugTasksModel>(*this);
    m_snapshot = std::make_unique<TSnapshotModel>(*this);
    m_finder = std::make_unique<TFirmwareFinder>();
    m_finder->Archives().OnLog = [this](const QString &line) {
        errorLog << QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ") + line;
    };
    m_windows = {m_configure.get(), m_ram.get(),         m_rom.get(),  m_dataEE.get(),  m_breaks.get(), m_stack.get(),
                 m_watches.get(),   m_peripherals.get(), m_eval.get(), m_monitor.get(), m_log.get(),    m_tasks.get()};
    m_configure->OnDebuggerChanged = [this] {
        // The session goes on with the new library, keeping the Debug window open.
        if (IsActive())
            Stop(false, [this] { Enable(); });
    };
    m_configure->OnApplied = [this](const TAppliedOptions &options) { m_monitor->SetMonitorFontSize(options.monitorFontSize); };
    m_stopTimer.setInterval(kStopTick);
    connect(&m_stopTimer, &QTimer::timeout, this, &TDbgFormModel::StopTick);
}

TDbgFormModel::~TDbgFormModel()
{
    m_stopTimer.stop();
    if (m_debugger) {
        m_debugger->RequestUnload();
        // A call still on the worker would outlive the proxy: leave the library to it.
        if (m_debugger->WorkerPending())
            m_debugger->AbandonPendingCall();
    }
}

TFirmwareFinder &TDbgFormModel::FirmwareFinder() const
{
    return *m_finder;
}

void TDbgFormModel::SetSfrFile(const QString &path)
{
    m_peripherals->SetSfrFile(path);
}

void TDbgFormModel::SetFirmwareDir(const QString &path)
{
    m_finder->SetFolder(path);
}

QString TDbgFormModel::ProjectFile() const
{
    const QString base = m_host.ProjectBase();
    return base.isEmpty() ? QString() : base + QStringLiteral(".pjt");
}

QString TDbgFormModel::ListFile() const
{
    const QString base = m_host.ProjectBase();
    return base.isEmpty() ? QString() : base + QStringLiteral(".lst");
}

bool TDbgFormModel::ListFileViewed() const
{
    return SamePath(m_host.ActivePagePath(), ListFile());
}

// --- state ------------------------------------------------------------------------------------------

void TDbgFormModel::SetState(TDebugState state)
{
    const bool changed = state != m_state;
    m_state = state;
    m_stateText.clear();
    if (state != dsLoading)
        m_loadPercent = -1;
    // The state-dependent controls are off first, then the state's table applies.
    m_configure->SetProfileButtonsEnabled(false);
    m_watches->SetButtonsEnabled(false);
    m_breaks->SetButtonsEnabled(false);
    const TDebugCommands commands = DebugCommands(state);
    m_host.SetCommands(commands);
    if (!commands.debugWindows)
        m_host.SetDebugWindowsCommands(false);
    if (state == dsReady) {
        m_configure->SetProfileButtonsEnabled(true);
        m_watches->SetButtonsEnabled(true);
        m_breaks->SetButtonsEnabled(true);
    }
    if (state == dsRunning)
        ClearCurrentLines();
    ShowState();
    if (changed)
        Q_EMIT StateChanged(state);
}

void TDbgFormModel::ShowState()
{
    TDebugStatus status = DebugStatus(m_state, PC, W, clockMHz, m_loadPercent);
    if (!m_stateText.isEmpty())
        status.pane3 = m_stateText;
    m_host.ShowStatus(status);
}

void TDbgFormModel::SetLoadProgress(int percent)
{
    if (m_state != dsLoading)
        return;
    m_loadPercent = percent;
    ShowState();
}

void TDbgFormModel::SetStateText(const QString &text)
{
    m_stateText = text;
    ShowState();
}

void TDbgFormModel::ReportError(const QString &text)
{
    errorLog << QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ") + text;
    Prompt().Message(mtError, QString(), text, mbOK);
}

// --- files ------------------------------------------------------------------------------------------

int TDbgFormModel::FileIndex(const QString &name) const
{
    for (int i = 0; i < sourceFiles.size(); ++i) {
        if (sourceFiles.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TDbgFormModel::FileName(int number) const
{
    if (number < 0 || number >= sourceFiles.size())
        return QStringLiteral("[Unknown file]");
    return sourceFiles.at(number);
}

QString TDbgFormModel::SourceLineText(int fileNumber, int line) const
{
    const QString name = FileName(fileNumber);
    if (name.isEmpty() || name.startsWith(QLatin1Char('[')))
        return QStringLiteral("File number is invalid.");
    bool ok = false;
    const QStringList lines = ReadTextLines(name, &ok);
    if (!ok)
        return QStringLiteral("Error loading the source file ") + name;
    if (line < 1 || line > lines.size())
        return QStringLiteral("Line number is invalid; probably the source file has changed.");
    return lines.at(line - 1);
}

bool TDbgFormModel::CurrentEditorPosition(int &fileNumber, int &line) const
{
    fileNumber = FileIndex(m_host.ActivePagePath());
    line = m_host.ActiveCaretLine();
    return fileNumber != -1 && line > 0;
}

// --- markers ----------------------------------------------------------------------------------------

void TDbgFormModel::ClearCurrentLines()
{
    const QString list = ListFile();
    if (m_host.IsOpen(list))
        m_host.SetCurrentLine(list, 0);
    for (const QString &file : std::as_const(sourceFiles)) {
        if (m_host.IsOpen(file))
            m_host.SetCurrentLine(file, 0);
    }
}

void TDbgFormModel::LocatePC(bool withView)
{
    TWatchLine where;
    where.address = PC;
    if (m_watch && m_watch->FindLine(wfAddressToLine, where)) {
        curFile = where.fileNumber;
        curLine = where.line;
        MarkSource(where.fileNumber, where.line, withView, where.listLine);
    } else {
        // No line for the PC: the markers go, the view stays where it is.
        MarkSource(0, 0, false, 0);
    }
}

void TDbgFormModel::MarkSource(int fileNumber, int line, bool withView, int listLine)
{
    const QString list = ListFile();
    if (m_host.IsOpen(list)) {
        m_host.SetDebugMode(list, true);
        m_host.SetCurrentLine(list, listLine);
    }
    const bool listViewed = ListFileViewed();
    const QString name = FileName(fileNumber);
    const bool known = !name.startsWith(QLatin1Char('['));
    bool shown = false;
    if (known) {
        if (!withView || listViewed) {
            shown = m_host.IsOpen(name);
        } else {
            shown = m_host.IsOpen(name) || m_host.OpenEditor(name);
            if (!shown)
                return;
        }
        if (shown) {
            m_host.SetDebugMode(name, true);
            m_host.SetCurrentLine(name, line);
        }
    }
    for (const QString &file : std::as_const(sourceFiles)) {
        if (file.compare(name, Qt::CaseInsensitive) == 0 || !m_host.IsOpen(file))
            continue;
        m_host.SetDebugMode(file, true);
        m_host.SetCurrentLine(file, 0);
    }
    if (listViewed)
        m_host.ScrollToLine(list, listLine);
    else if (withView && shown && line > 0)
        m_host.ShowLine(name, line, false, false);
}

void TDbgFormModel::ShowSource(int fileNumber, int line, int listLine)
{
    if (ListFileViewed()) {
        m_host.ShowLine(ListFile(), listLine, true, true);
        return;
    }
    const QString name = FileName(fileNumber);
    if (name.startsWith(QLatin1Char('[')))
        return;
    if (!m_host.IsOpen(name) && !m_host.OpenEditor(name))
        return;
    m_host.ShowLine(name, line, true, true);
}

void TDbgFormModel::EditorFileOpened()
{
    if (!IsActive())
        return;
    if (IsHalted()) {
        TWatchLine where;
        where.address = PC;
        if (m_watch && m_watch->FindLine(wfAddressToLine, where))
            MarkSource(where.fileNumber, where.line, false, where.listLine);
    }
    m_breaks->MarkBreaks();
}

// --- windows ---------------------------------------------------------------------------------------

void TDbgFormModel::RefreshWindows()
{
    if (!IsActive() || !IsHalted())
        return;
    for (TDebugWindowModel *window : m_windows) {
        if (window->Showing())
            window->Refresh();
        // A window's refresh may end the session (an unload request).
        if (!IsActive())
            return;
    }
}

void TDbgFormModel::WindowSettingsSave(const QString &iniPath)
{
    TIniFile ini(iniPath);
    for (TDebugWindowModel *window : m_windows)
        window->SaveSettings(ini);
}

void TDbgFormModel::WindowSettingsLoad(const QString &iniPath)
{
    TIniFile ini(iniPath);
    for (TDebugWindowModel *window : m_windows)
        window->LoadSettings(ini);
}

void TDbgFormModel::LoadProfile(const QString &path)
{
    TBusy busy(*this);
    try {
        WindowSettingsLoad(path);
        m_snapshot->LoadProfile(path);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::SaveProfile(const QString &path)
{
    TBusy busy(*this);
    // Saving a window's breakpoints clears them in the target; they come back right after.
    try {
        WindowSettingsSave(path);
        m_snapshot->SaveProfile(path);
        TIniFile ini(path);
        m_breaks->LoadSettings(ini);
        m_watches->DeleteAllWatches();
        m_watches->LoadSettings(ini);
        m_watches->EvaluateWatches();
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::SaveVisibility()
{
    TIniFile ini(m_settingsFile);
    TIniFile::Batch batch(ini);
    for (int id = 0; id < dwCount; ++id)
        batch.WriteBool(QStringLiteral("DebugVisibility"), m_windows[id]->ClassName(),
                        m_host.WindowVisible(TDebugWindowId(id)));
    batch.Commit();
}

void TDbgFormModel::RestoreVisibility()
{
    const TIniFile ini(m_settingsFile);
    const bool stored = ini.SectionExists(QStringLiteral("DebugVisibility"));
    for (int id = 0; id < dwCount; ++id) {
        const bool on = !stored || ini.ReadBool(QStringLiteral("DebugVisibility"), m_windows[id]->ClassName(), false);
        m_host.SetWindowVisible(TDebugWindowId(id), on);
    }
}

void TDbgFormModel::ShowAllWindows()
{
    for (int id = 0; id < dwCount; ++id)
        m_host.SetWindowVisible(TDebugWindowId(id), true);
}

void TDbgFormModel::HideAllWindows()
{
    for (int id = 0; id < dwCount; ++id)
        m_host.SetWindowVisible(TDebugWindowId(id), false);
}

// --- Enable and the start sequence --------------------------------------------------------------------

void TDbgFormModel::Enable()
{
    if (IsActive() || m_stopTimer.isActive())
        return;
    TBusy busy(*this);
    if (!m_watch) {
        try {
            m_watch = std::make_unique<TWatchProxy>(m_watchPath);
        } catch (const TLibraryLoadError &e) {
            Prompt().Message(mtError, QStringLiteral("Error"), e.Text(), mbOK);
            return;
        }
        m_configure->BuildDebuggerList(m_debuggerPaths);
    }
    SetState(dsNotReady);
    if (!m_host.DebugWindowShowing()) {
        m_host.ShowDebugWindow();
        RestoreVisibility();
    }
    m_host.SetDebugWindowsCommands(true);
    m_host.SetEnableCommands(false, true);
    try {
        m_debugger = std::make_unique<TDbgProxy>(m_configure->SelectedLibraryPath());
    } catch (const TLibraryLoadError &e) {
        SetState(dsDisabled);
        // Nothing was enabled: Enable Debugger is available again.
        m_host.SetEnableCommands(true, false);
        Prompt().Message(mtError, QStringLiteral("Error"), e.Text(), mbOK);
        return;
    }
    m_debugger->OnWarning = [this](const QString &text, const QString &caption) { return LibraryWarning(text, caption); };
    m_debugger->OnCharacter = [this](char c) { m_monitor->Character(c); };
    m_debugger->OnProgress = [this](int percent) { SetLoadProgress(percent); };
    try {
        QString msg;
        m_debugger->SetWarningCallback(msg);
        if (TraceLevel() == 3 && !m_debugger->StartLog(msg))
            ReportError(msg);
        m_debugger->SetDirectory(m_devicesDat);
        // The library's option rows (its "Processor" among them) join the table now.
        m_configure->RebuildOptions(m_debugger.get());
    } catch (const TRequestUnloadException &) {
        return;
    }
    StartSequence();
}

void TDbgFormModel::StartSequence()
{
    TBusy busy(*this);
    try {
        Attach();
        if (m_state != dsReady)
            return;
        Download();
        if (m_state != dsReady)
            return;
        ResetTarget();
        if (m_state != dsReady)
            return;
        LoadSymbols();
        if (m_state != dsReady)
            return;
        ActivateWindows();
        if (m_state != dsReady)
            return;
        RefreshWindows();
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::Attach()
{
    if (!m_debugger)
        return;
    TBusy busy(*this);
    try {
        SetState(dsAttaching);
        QString msg;
        if (!m_debugger->EstablishCommunication(m_settingsFile, msg)) {
            ReportError(msg);
            SetState(dsNoCommunication);
            return;
        }
        const QString base = m_host.ProjectBase();
        const bool coff = m_host.DebugFileFormat() == 4;
        const QString debugFile = base + (coff ? QStringLiteral(".cof") : QStringLiteral(".hex"));
        QString error;
        if (!ReadCodeTarget(debugFile, coff, codeTarget, error)) {
            if (coff)
                ReportError(QStringLiteral("Error loading the COF file: \"") + debugFile + QStringLiteral("\" (") + error
                            + QLatin1Char(')'));
            else
                ReportError(QStringLiteral("Error loading the HEX file: \"") + debugFile + QLatin1Char('"'));
            return;
        }
        const bool simulator = m_configure->IsSimulator();
        if (simulator) {
            if (!m_debugger->ForceChip(codeTarget, msg)) {
                ReportError(msg);
                SetState(dsNoCommunication);
                return;
            }
            detectedTarget = codeTarget;
        } else {
            m_configure->RebuildOptions(m_debugger.get());
            const QString firmware = m_configure->GetOption(QStringLiteral("ICD F/W"));
            if (m_configure->SelectedDebuggerName() == QLatin1String("PELKO-USB") && firmware.size() >= 5
                && firmware.at(4) == QLatin1Char('P')) {
                bool ok = m_debugger->PalexDeactivate(msg);
                const QString vdd = m_configure->GetOption(QStringLiteral("Palex Supplies Vdd"));
                if (ok && vdd.startsWith(QLatin1Char('F')))
                    ok = m_debugger->PalexSetTarget('I', msg);
                else if (ok && vdd.startsWith(QLatin1Char('T')))
                    ok = m_debugger->PalexSetTarget('H', msg);
                if (!ok) {
                    ReportError(msg);
                    SetState(dsNotReady);
                    return;
                }
            }
            if (!m_debugger->GetTargetName(detectedTarget, msg)) {
                QString text = msg + QStringLiteral("\n\n")
                               + QStringLiteral("Target detection problems may be due to the ICD firmware not supporting\n")
                               + QStringLiteral("your target chip's family type\n");
                quint8 families = 0;
                QString ignored;
                if (m_debugger->GetSupportedTargets(families, ignored)) {
                    text += QStringLiteral("The current ICD firmware supports the following targets:\n");
                    QString line;
                    if (families & kDbgFamilyPic16)
                        line += QStringLiteral("PIC16 ");
                    if (families & kDbgFamilyPic18)
                        line += QStringLiteral("PIC18 ");
                    text += line + QLatin1Char('\n');
                }
                text += QStringLiteral("\nTo use firmware that does support your target's device family,\n")
                        + QStringLiteral("use the ICD Program to update the firmware. The ICD Program can be launched from\n")
                        + QStringLiteral("\"ICD Program\" toolbar button in the \"Debug Configure\" window.");
                ReportError(text);
                SetState(dsNoCommunication);
                return;
            }
            // The firmware check, skipped for the simulator.
            if (!firmware.startsWith(QLatin1Char('V'))) {
                ReportError(QStringLiteral("ICD unit does not have VYN firmware loaded."));
                return;
            }
            QString version = firmware.mid(4);
            if (firmware.size() >= 5 && firmware.at(4) == QLatin1Char('P'))
                version = firmware.mid(int(firmware.indexOf(QLatin1String("PALEX"))) + 1 + 6);
            quint8 revision = 0;
            try {
                if (m_debugger->ReadRevision(revision, msg) && m_finder->IsFirmwareOld(revision, 0xFFFF, version))
                    ShowInformation(QStringLiteral("The ICD unit has an old version of the firmware. Use \"Configure "
                                                   "Hardware\" in the Configure tab to update."));
            } catch (const std::runtime_error &e) {
                ReportError(QString::fromLocal8Bit(e.what()));
            }
            m_finder->Archives().ReleaseAll();
        }
        QString processor = m_configure->GetOption(QStringLiteral("Processor"));
        // A library without a "Processor" row reads as a single space: that is no processor.
        if (processor.trimmed().isEmpty()) {
            m_configure->SetProcessor(detectedTarget);
            m_configure->ApplyOptions();
            processor = detectedTarget;
        }
        if (!FindDevice(processor.trimmed(), device) || device.name() != processor.trimmed())
            device = DeviceRecord{};
        int lastAddress = -1;
        if (device.kind() == 3) {
            lastAddress = 4095;
        } else {
            for (int a = 0; a <= 511; ++a) {
                if (device.ramMap(a) != 0)
                    lastAddress = a;
            }
        }
        m_ram->SetLastAddress(lastAddress);
        m_snapshot->ResetCounters();
        ApplyEraseModes();
        SetState(dsReady);
    } catch (const TRequestUnloadException &) {
        SetState(dsNotReady);
        throw;
    }
}

void TDbgFormModel::ApplyEraseModes()
{
    const TIniFile ini(m_settingsFile);
    const QString erase = ini.ReadString(QStringLiteral("EraseSettings"), QStringLiteral("EraseMode"), QStringLiteral("deAlwaysErase"));
    const QString program = ini.ReadString(QStringLiteral("ProgramSettings"), QStringLiteral("ProgramMode"), QStringLiteral("pmEraseProgram"));
    quint8 e = 0;
    if (erase.compare(QLatin1String("deLimitedErase"), Qt::CaseInsensitive) == 0)
        e = 1;
    else if (erase.compare(QLatin1String("deNoErase"), Qt::CaseInsensitive) == 0)
        e = 2;
    quint8 p = program.compare(QLatin1String("pmProgramOnly"), Qt::CaseInsensitive) == 0 ? 0 : 1;
    QString msg;
    if (!m_debugger->SetEraseMode(e, p, msg)) {
        if (p == 0 && e == 2) {
            e = 0;
        } else if (p == 1 && e == 2) {
            p = 0;
            e = 0;
        } else {
            p = p == 1 ? 0 : 1;
        }
        m_debugger->SetEraseMode(e, p, msg);
    }
    eraseMode = e;
    programMode = p;
}

void TDbgFormModel::Download()
{
    if (m_state != dsReady || !m_debugger)
        return;
    TBusy busy(*this);
    try {
        SetState(dsLoading);
        if (!detectedTarget.isEmpty() && detectedTarget != codeTarget) {
            if (Prompt().Message(mtConfirmation, QStringLiteral("ICD"),
                                 QStringLiteral("The detected target name: ") + detectedTarget
                                     + QStringLiteral(" does not match the code's target: ") + codeTarget
                                     + QStringLiteral(". Do you want to continue anyway?"),
                                 mbYesNo)
                != mrYes) {
                SetState(dsNotReady);
                return;
            }
        }
        QString msg;
        if (programMode == 0) {
            double volts = 0;
            if (!m_debugger->ReadVdd(volts, msg)) {
                ReportError(msg);
                SetState(dsNotReady);
                return;
            }
            if (volts < 4.0) {
                const QString text =
                    QStringLiteral("**WARNING**\nThe current program mode is set to fast.\n"
                                   "Fast mode only works with 5V devices. The current voltage level is: ")
                    + QString::number(volts, 'f', 2)
                    + QStringLiteral("\nThere may be problems programming target devices if you don't change it to normal mode.\n"
                                     "Use the program modes option from the Advanced screen in the ICD Program to change the "
                                     "mode to normal.\n"
                                     "The ICD Program can be launched from \"ICD Program\" toolbar button in the \"Debug "
                                     "Configure\" window.\n\nDo you want to continue anyway?");
                if (Prompt().Message(mtWarning, QStringLiteral("ICD Warning"), text, mbYesNo) != mrYes) {
                    SetState(dsNotReady);
                    return;
                }
            }
        }
        const QString file = m_host.ProjectBase() + (m_host.DebugFileFormat() == 4 ? QStringLiteral(".cof") : QStringLiteral(".hex"));
        if (!m_debugger->DownloadToTarget(file, msg)) {
            ReportError(msg);
            SetState(dsNotReady);
            return;
        }
        int count = 0;
        QString verifyMsg = QLatin1String(kVerificationMessage);
        const bool ok = m_debugger->GetVerificationResults(nullptr, count, verifyMsg);
        if (!ok || count > 0) {
            if (count > 0) {
                QString text;
                QString again = QLatin1String(kVerificationMessage);
                if (m_debugger->GetVerificationResults(&text, count, again))
                    m_host.ShowVerificationResults(text);
            }
            SetState(dsNotReady);
            if (!ok)
                ReportError(verifyMsg.isEmpty() ? QLatin1String(kVerificationMessage) : verifyMsg);
            return;
        }
        SetState(dsReady);
    } catch (const TRequestUnloadException &) {
        SetState(dsNotReady);
        throw;
    }
}

void TDbgFormModel::ResetTarget()
{
    if (m_state != dsReady || !m_debugger)
        return;
    TBusy busy(*this);
    try {
        SetState(dsBusy);
        QString msg;
        if (!m_debugger->Reset(msg)) {
            ReportError(msg);
            SetState(dsNotReady);
            return;
        }
        if (device.kind() == 1) {
            PC = 1;
            W = 0;
        } else if (device.kind() == 3) {
            // A stack pointer of 0 after reset means the executive has not taken its first step.
            quint8 stackPointer = 0;
            if (!m_debugger->ReadRam(4092, 1, &stackPointer, msg)) {
                ReportError(msg);
                SetState(dsNotReady);
                return;
            }
            if ((stackPointer & 0x1F) == 0) {
                quint32 pc = PC;
                quint8 w = W;
                if (!m_debugger->Step(pc, w, msg)) {
                    ReportError(msg);
                    SetState(dsNotReady);
                    return;
                }
            }
            PC = 0;
            W = 0;
        }
        lastPC = PC;
        double mhz = 0;
        if (m_debugger->GetClockSpeed(mhz, msg))
            clockMHz = mhz;
        else
            ReportError(msg);
        SetState(dsReady);
    } catch (const TRequestUnloadException &) {
        SetState(dsNotReady);
        throw;
    }
}

void TDbgFormModel::LoadSymbols()
{
    if (m_state != dsReady || !m_watch)
        return;
    TBusy busy(*this);
    SetState(dsHaltedBusy);
    const QString base = m_host.ProjectBase();
    const int format = m_host.DebugFileFormat();
    if (format == 3) {
        if (!m_watch->LoadCod(base + QStringLiteral(".cod"))) {
            ReportError(QStringLiteral("Can not read .COD file."));
            SetState(dsNotReady);
            return;
        }
    } else if (format == 4) {
        quint32 code = 0;
        const QString coff = base + QStringLiteral(".cof");
        if (!m_watch->LoadCoff(coff, code)) {
            ReportError(TWatchProxy::CoffErrorText(code, coff));
            SetState(dsNotReady);
            return;
        }
    } else {
        ReportError(QStringLiteral("Only Expanded COD or COFF formats are supported by the debugger."));
        SetState(dsNotReady);
        return;
    }
    try {
        m_rom->LoadHex(base + QStringLiteral(".hex"));
    } catch (const std::runtime_error &e) {
        ReportError(QString::fromLocal8Bit(e.what()));
        SetState(dsNotReady);
        return;
    }
    sourceFiles.clear();
    for (int n = 0; n < kMaxSourceFiles; ++n) {
        QString name;
        if (!m_watch->GetFilename(n, name))
            break;
        sourceFiles << name;
    }
    SetState(dsReady);
}

void TDbgFormModel::ActivateWindows()
{
    if (m_state != dsReady)
        return;
    TBusy busy(*this);
    SetState(dsBusy);
    for (TDebugWindowModel *window : m_windows) {
        if (!window->Activate()) {
            SetState(dsNotReady);
            return;
        }
    }
    WindowSettingsLoad(ProjectFile());
    windowsReady = true;
    SetState(dsReady);
    LocatePC(true);
}

// --- running ------------------------------------------------------------------------------------------

void TDbgFormModel::AfterStop(bool snapshot)
{
    SetState(dsHaltedBusy);
    LocatePC(true);
    RefreshWindows();
    if (!m_debugger)
        return;
    QString msg;
    double mhz = 0;
    if (m_debugger->GetClockSpeed(mhz, msg))
        clockMHz = mhz;
    else
        ReportError(msg);
    if (snapshot)
        m_snapshot->TakeSnapshot();
    SetState(dsReady);
}

void TDbgFormModel::Run()
{
    if (!m_debugger || m_state != dsReady)
        return;
    TBusy busy(*this);
    try {
        haltRequested = false;
        SetState(dsRunning);
        lastPC = PC;
        const quint8 mode = m_configure->Applied().userstream ? 1 : 0;
        quint8 status = 0;
        QString msg;
        if (!m_debugger->Go1(PC, W, status, mode, msg)) {
            ReportError(msg);
            SetState(dsNotReady);
            return;
        }
        m_ram->MarkStale();
        // Logging breakpoints record their line and the run goes on.
        while (!haltRequested && status == kDbgStoppedOnBreak && m_log->IsLogBreak(PC)) {
            m_log->RecordLogEntry();
            if (!m_debugger->Go1(PC, W, status, mode, msg)) {
                ReportError(msg);
                SetState(dsNotReady);
                return;
            }
            m_ram->MarkStale();
        }
        AfterStop(m_snapshot->settings.whenbreak);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::Halt()
{
    if (!m_debugger)
        return;
    haltRequested = true;
    try {
        QString msg;
        if (!m_debugger->Stop(msg))
            ReportError(msg);
    } catch (const TRequestUnloadException &) {
    }
}

bool TDbgFormModel::RunToAddress(quint32 address)
{
    QString msg;
    bool reported = false;
    m_debugger->ClearBreak(-1, msg);
    if (m_debugger->SetBreak(qint32(address), msg)) {
        quint8 status = 0;
        if (!m_debugger->Go1(PC, W, status, m_configure->Applied().userstream ? 1 : 0, msg)) {
            ReportError(msg);
            reported = true;
        }
        if (!m_debugger->ClearBreak(qint32(address), msg)) {
            ReportError(msg);
            reported = true;
        }
    } else {
        ReportError(msg);
        reported = true;
    }
    // The list's breakpoints are armed again (the library may take fewer than the list holds;
    // an item was listed only when the library took it).
    for (int i = 0; i < m_breaks->BreakCount(); ++i) {
        if (!m_debugger->SetBreak(m_breaks->BreakItem(i).address, msg)) {
            ReportError(msg);
            reported = true;
            break;
        }
    }
    return !reported;
}

void TDbgFormModel::SourceStep(bool into)
{
    const int file0 = curFile;
    const int line0 = curLine;
    QString msg;
    quint32 exit0 = 0;
    QString name0;
    m_watch->FindFunction(PC, exit0, name0);
    if (exit0 != 0 && name0.startsWith(QLatin1Char('@')) && PC != exit0) {
        RunToAddress(exit0);
        return;
    }
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (true) {
        const bool atExit = PC == exit0 || exit0 == 0;
        if (!m_debugger->Step(PC, W, msg)) {
            ReportError(msg);
            return;
        }
        if (!atExit) {
            quint32 exit = 0;
            QString name;
            m_watch->FindFunction(PC, exit, name);
            if (exit != 0 && name != name0 && (!into || name.startsWith(QLatin1Char('@'))))
                RunToAddress(exit);
        }
        TWatchLine where;
        where.address = PC;
        if (!m_watch->FindLine(wfAddressToLine, where))
            return;
        if (haltRequested)
            return;
        if ((atExit || into) && where.fileNumber != file0)
            return;
        if (where.fileNumber == file0 && where.line != line0)
            return;
        // A line that loops on itself steps until Halt: the interface keeps running meanwhile.
        if (sinceEvents.elapsed() >= kStepEventsMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
            if (haltRequested || !m_debugger || m_debugger->UnloadRequested())
                return;
        }
    }
}

void TDbgFormModel::Step()
{
    if (!m_debugger || !m_watch || m_state != dsReady)
        return;
    TBusy busy(*this);
    try {
        haltRequested = false;
        SetState(dsRunning);
        lastPC = PC;
        if (ListFileViewed()) {
            QString msg;
            if (!m_debugger->Step(PC, W, msg))
                ReportError(msg);
        } else {
            SourceStep(true);
        }
        if (m_debugger->UnloadRequested())
            return;
        m_ram->MarkStale();
        AfterStop(m_snapshot->settings.whenstep);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::StepOver()
{
    if (!m_debugger || !m_watch || m_state != dsReady)
        return;
    TBusy busy(*this);
    try {
        haltRequested = false;
        SetState(dsRunning);
        lastPC = PC;
        if (ListFileViewed()) {
            quint32 exit0 = 0;
            QString name0;
            m_watch->FindFunction(PC, exit0, name0);
            const bool atExit = PC == exit0;
            QString msg;
            if (!m_debugger->Step(PC, W, msg)) {
                ReportError(msg);
            } else if (!atExit) {
                quint32 exit = 0;
                QString name;
                m_watch->FindFunction(PC, exit, name);
                if (exit != 0 && name != name0)
                    RunToAddress(exit);
            }
        } else {
            SourceStep(false);
        }
        if (m_debugger->UnloadRequested())
            return;
        m_ram->MarkStale();
        AfterStop(m_snapshot->settings.whenstep);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::RunToCursor()
{
    if (!m_debugger || !m_watch || m_state != dsReady)
        return;
    TBusy busy(*this);
    const QString path = m_host.ActivePagePath();
    const int line = m_host.ActiveCaretLine();
    TWatchLine where;
    TWatchFindMode mode = wfLineToAddress;
    if (ListFileViewed()) {
        mode = wfListLineToAddress;
        where.listLine = line;
    } else {
        const int file = FileIndex(path);
        if (file == -1) {
            ShowInformation(QStringLiteral("Error: The file ") + path
                            + QStringLiteral(" does not belong to the debugging session."));
            return;
        }
        where.fileNumber = file;
        where.line = line;
    }
    if (!m_watch->FindLine(mode, where)) {
        ReportError(QStringLiteral("Cannot resolve the address at line %1").arg(line));
        return;
    }
    try {
        haltRequested = false;
        SetState(dsRunning);
        lastPC = PC;
        RunToAddress(where.address);
        if (m_debugger->UnloadRequested())
            return;
        m_ram->MarkStale();
        AfterStop(m_snapshot->settings.whenbreak);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::Reset()
{
    if (!m_debugger)
        return;
    TBusy busy(*this);
    try {
        if (m_state == dsReady) {
            ClearCurrentLines();
            ResetTarget();
            if (m_state == dsReady)
                AfterStop(false);
            return;
        }
        if (windowsReady)
            WindowSettingsSave(ProjectFile());
        StartSequence();
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::Reload()
{
    if (!IsActive())
        return;
    TBusy busy(*this);
    try {
        if (windowsReady)
            WindowSettingsSave(ProjectFile());
        StartSequence();
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::CompileFinished()
{
    if (IsActive() && m_configure->Applied().compileReload)
        Stop(false, [this] { Enable(); });
}

void TDbgFormModel::ToggleBreakAtLine(const QString &path, int line)
{
    if (!IsActive())
        return;
    TBusy busy(*this);
    try {
        m_breaks->ToggleBreak(path, line);
    } catch (const TRequestUnloadException &) {
    }
}

void TDbgFormModel::LaunchProgrammingTool()
{
    if (!m_debugger)
        return;
    TBusy busy(*this);
    const TDebugState remembered = m_state;
    try {
        SetState(dsBusy);
        SetStateText(QStringLiteral("ICD Control Running"));
        QString msg;
        m_debugger->LaunchConfiguration(m_icdDir, msg);
        if (remembered == dsReady)
            Reload();
        else
            SetState(remembered);
    } catch (const TRequestUnloadException &) {
    }
}

bool TDbgFormModel::LibraryWarning(const QString &text, const QString &caption)
{
    TIniFile ini(m_settingsFile);
    const QString setting = ini.ReadString(QStringLiteral("ICD-WARNINGS"), QStringLiteral("warnings"), QStringLiteral("on"));
    if (setting.compare(QLatin1String("on"), Qt::CaseInsensitive) != 0)
        return false;
    bool showWarnings = true;
    const bool goOn = m_host.AskWarning(text, caption, showWarnings);
    ini.WriteString(QStringLiteral("ICD-WARNINGS"), QStringLiteral("warnings"), showWarnings ? QStringLiteral("on") : QStringLiteral("off"));
    return !goOn;
}

// --- Stop ------------------------------------------------------------------------------------------

void TDbgFormModel::Disable()
{
    Stop(true);
}

void TDbgFormModel::Stop(bool closeWindow, std::function<void()> continuation)
{
    if (!IsActive()) {
        if (closeWindow) {
            SaveVisibility();
            m_host.SetDebugWindowsCommands(false);
            HideAllWindows();
        }
        ClearCurrentLines();
        if (continuation)
            continuation();
        return;
    }
    if (m_stopTimer.isActive())
        return;
    m_continuation = std::move(continuation);
    m_closeWindow = closeWindow;
    m_stopping = false;
    m_stopWaitStarted = QDateTime::currentMSecsSinceEpoch();
    StopTick();
}

void TDbgFormModel::StopTick()
{
    if (!m_debugger) {
        m_stopTimer.stop();
        return;
    }
    if (!m_stopping) {
        m_stopping = true;
        try {
            if (windowsReady)
                WindowSettingsSave(ProjectFile());
        } catch (const TRequestUnloadException &) {
        }
        m_host.LeaveDebugModeAll();
        for (TDebugWindowModel *window : m_windows) {
            try {
                window->Deactivate();
            } catch (const TRequestUnloadException &) {
            }
        }
    }
    const bool free = m_debugger->RequestUnload();
    if (!free || m_busy > 0) {
        m_host.SetBusyCursor(true);
        if (!m_stopTimer.isActive())
            m_stopTimer.start();
        // A library that does not return after DBG_STOP can be given up.
        if (m_debugger->WorkerPending() && !m_askingStuck
            && QDateTime::currentMSecsSinceEpoch() - m_stopWaitStarted >= m_stuckTimeout) {
            m_askingStuck = true;
            const bool giveUp =
                Prompt().Message(mtWarning, QStringLiteral("Debugger"),
                                 QStringLiteral("The debugger library has not returned since it was asked to stop the "
                                                "target.\n\nDisable the session anyway? The library stays loaded until "
                                                "the IDE ends."),
                                 mbYesNo)
                == mrYes;
            m_askingStuck = false;
            m_stopWaitStarted = QDateTime::currentMSecsSinceEpoch();
            if (giveUp && m_debugger && m_debugger->WorkerPending())
                m_debugger->AbandonPendingCall();
        }
        return;
    }
    m_stopTimer.stop();
    if (m_closeWindow) {
        SaveVisibility();
        m_host.SetDebugWindowsCommands(false);
        HideAllWindows();
    }
    windowsReady = false;
    SetState(dsDisabled);
    m_debugger.reset();
    m_host.SetEnableCommands(true, false);
    if (m_closeWindow)
        m_host.CloseDebugWindow();
    std::function<void()> continuation = std::move(m_continuation);
    m_continuation = nullptr;
    if (continuation)
        continuation();
    m_host.SetBusyCursor(false);
    Q_EMIT Unloaded();
}

}  // namespace kiv
