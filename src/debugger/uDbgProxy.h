#pragma once

#include "debugger_abi.h"

#include <QLibrary>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

namespace kiv {

/// Raised by every call of a library proxy once the session asked to unload the library: it
/// ends whatever operation was calling the library, which then finishes quietly.
class TRequestUnloadException : public std::exception {
public:
    const char *what() const noexcept override { return "The debugger library is being unloaded"; }
};

/// A library that could not be loaded or lacks an export; what() is the text shown to the user.
class TLibraryLoadError : public std::runtime_error {
public:
    explicit TLibraryLoadError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) { }
    const QString &Text() const { return m_text; }

private:
    QString m_text;
};

class TDbgWorkerCall;

/// The debugger library of one debugger type, loaded by full path with every one of its 49
/// exports resolved; destroying the proxy unloads the library.
///
/// Calls are made from the interface thread. DBG_GO1, DBG_DOWNLOAD_TO_TARGET and
/// DBG_LAUNCH_CONFIGURATION block inside the library until the target stops, the download
/// ends or the tool closes, so the proxy runs those on a worker thread and waits for them in a
/// local event loop: the caller still sees a call that returns, while the interface keeps
/// painting and taking commands (Halt calls Stop, which reaches the library at once). While such
/// a call is pending only Stop and SendTargetInput reach the library; any other call fails with
/// a "busy" message. The library's call-backs are handed to the interface thread.
///
/// The proxy counts the calls in progress. After RequestUnload every call raises
/// TRequestUnloadException, before and after the library call; the session frees the proxy
/// once CallsInProgress() is 0.
class TDbgProxy : public QObject {
    Q_OBJECT

public:
    /// Loads `path` and resolves all exports. Throws TLibraryLoadError with the texts
    /// "Couldn't load the debugging library. ..." or "... doesn't seem to be a valid VYN
    /// debugging library. The function X coudln't be found".
    explicit TDbgProxy(const QString &path);
    ~TDbgProxy() override;

    const QString &Path() const { return m_path; }

    /// The display name from DBG_NAME of the library at `path`, which is loaded for the
    /// question and unloaded again; empty when it cannot be loaded or lacks DBG_NAME.
    static QString LibraryName(const QString &path);

    // --- the library's operations; false with the library's message in `msg` ----------------
    bool Name(QString &name);
    /// The option rows ("name;type;values;value;hint").
    bool GetOptions(QStringList &rows);
    bool EstablishCommunication(const QString &settingsFile, QString &msg);
    void SetDirectory(const QString &devicesDat);
    /// Installs the proxy's warning function (OnWarning).
    bool SetWarningCallback(QString &msg);
    bool StartLog(QString &msg);
    bool Reset(QString &msg);
    /// DBG_STOP: makes a pending Go1 return. Also allowed while a worker call is pending.
    bool Stop(QString &msg);
    bool GetTargetName(QString &name, QString &msg);
    bool ForceChip(const QString &name, QString &msg);
    bool GetSupportedTargets(quint8 &families, QString &msg);
    bool ReadRevision(quint8 &revision, QString &msg);
    bool PalexDeactivate(QString &msg);
    bool PalexSetTarget(char character, QString &msg);
    bool SetEraseMode(quint8 eraseMode, quint8 programMode, QString &msg);
    bool ReadVdd(double &volts, QString &msg);
    bool GetClockSpeed(double &mhz, QString &msg);
    /// On the worker thread; progress goes to OnProgress.
    bool DownloadToTarget(const QString &file, QString &msg);
    /// Without `text` only `count` is asked; `msg` starts as "There were program verification
    /// errors".
    bool GetVerificationResults(QString *text, int &count, QString &msg);
    /// On the worker thread; returns when the target stops.
    bool Go1(quint32 &pc, quint8 &w, quint8 &status, quint8 mode, QString &msg);
    bool Step(quint32 &pc, quint8 &w, QString &msg);
    bool SetBreak(qint32 address, QString &msg);
    bool ClearBreak(qint32 address, QString &msg);
    bool ReadRam(int address, int count, quint8 *data, QString &msg);
    bool WriteRam(int address, int count, const quint8 *data, QString &msg);
    bool ValidRam(int count, quint8 *valid, QString &msg);
    bool ReadEeprom(int address, int count, quint8 *data, QString &msg);
    bool WriteEeprom(int address, int count, const quint8 *data, QString &msg);
    /// Without `entries` only the count; with them `count` is their number.
    bool ReadStack(int &count, quint32 *entries, QString &msg);
    /// Installs the proxy's character function (OnCharacter); true when the monitor is usable.
    bool SetTargetOutput();
    /// Also allowed while a worker call is pending.
    bool SendTargetInput(char character, QString &msg);
    /// On the worker thread; returns when the programming tool ends.
    bool LaunchConfiguration(const QString &folder, QString &msg);

    // --- call-backs, always on the interface thread ------------------------------------------
    /// A warning: true to stop, false to go on. Unset, or once unloading, it answers "stop"
    /// without asking.
    std::function<bool(const QString &text, const QString &caption)> OnWarning;
    /// One character of target output.
    std::function<void(char character)> OnCharacter;
    /// Download progress in percent.
    std::function<void(int percent)> OnProgress;

    // --- the session's view of the calls -------------------------------------------------------
    /// Library calls in progress (a call pending on the worker counts until it returned).
    int CallsInProgress() const { return m_calls; }
    /// True while Go1 waits for the target.
    bool GoPending() const { return m_goPending; }
    /// True while a call runs on the worker thread.
    bool WorkerPending() const { return m_worker != nullptr; }
    /// Asks for the unload: stops a pending Go1 (DBG_STOP) and makes every later call raise
    /// TRequestUnloadException. True when no call is in progress, so the proxy may be freed.
    bool RequestUnload();
    bool UnloadRequested() const { return m_unloadRequested; }
    /// Gives up a worker call that did not return after DBG_STOP: the waiting caller gets
    /// TRequestUnloadException, the worker thread is left to the library, and the library stays
    /// loaded for the rest of the process (unloading it under a running thread would crash).
    void AbandonPendingCall();
    /// True once a call was abandoned.
    bool Abandoned() const { return m_abandoned; }

Q_SIGNALS:
    /// A worker call started or returned (the session polls CallsInProgress during a stop).
    void CallsChanged();

private:
    friend class TDbgCallGuard;
    template <typename T> T Resolve(const char *name);
    /// Runs `call` on a worker thread and waits for it in a local event loop.
    int32_t RunOnWorker(std::function<int32_t()> call);
    /// Fails the call with a "busy" message while a worker call is pending.
    bool RefuseWhileBusy(QString &msg);
    /// One short call that reports through a message buffer: refused while a worker call is
    /// pending, counted by the call guard; `call` gets the buffer and returns the library's
    /// result, and the buffer's text ends in `msg`.
    template <typename F> bool CallWithMessage(QString &msg, F &&call);
    void Enter();
    void Leave();

    // Call-back entry points given to the library; they find the proxy through a process-wide
    // pointer (one debugger library is loaded at a time).
    static int32_t WarningEntry(const char *text, const char *caption);
    static void CharacterEntry(uint8_t character);
    static int32_t ProgressEntry(int32_t percent, int32_t value, const char *text);

    QString m_path;
    QLibrary m_library;
    int m_calls = 0;
    bool m_goPending = false;
    bool m_unloadRequested = false;
    std::atomic<bool> m_stopping{false};   // read by the progress function on the worker
    bool m_abandoned = false;
    std::shared_ptr<TDbgWorkerCall> m_worker;

    TDbgName m_name = nullptr;
    TDbgGetOptions m_getOptions = nullptr;
    TDbgEstablishCommunication m_establishCommunication = nullptr;
    TDbgSetDirectory m_setDirectory = nullptr;
    TDbgSetWarningCallback m_setWarningCallback = nullptr;
    TDbgMsgOnly m_startLog = nullptr;
    TDbgMsgOnly m_reset = nullptr;
    TDbgMsgOnly m_stop = nullptr;
    TDbgGetTargetName m_getTargetName = nullptr;
    TDbgForceChip m_forceChip = nullptr;
    TDbgGetSupportedTargets m_getSupportedTargets = nullptr;
    TDbgReadRevision m_readRevision = nullptr;
    TDbgPalexDeactivate m_palexDeactivate = nullptr;
    TDbgPalexSetTarget m_palexSetTarget = nullptr;
    TDbgSetEraseMode m_setEraseMode = nullptr;
    TDbgReadDouble m_readVdd = nullptr;
    TDbgReadDouble m_getClockSpeed = nullptr;
    TDbgDownloadToTarget m_downloadToTarget = nullptr;
    TDbgGetVerificationResults m_getVerificationResults = nullptr;
    TDbgGo1 m_go1 = nullptr;
    TDbgStep m_step = nullptr;
    TDbgBreak m_setBreak = nullptr;
    TDbgBreak m_clearBreak = nullptr;
    TDbgReadRam m_readRam = nullptr;
    TDbgWriteRam m_writeRam = nullptr;
    TDbgValidRam m_validRam = nullptr;
    TDbgReadEeprom m_readEeprom = nullptr;
    TDbgWriteEeprom m_writeEeprom = nullptr;
    TDbgReadStack m_readStack = nullptr;
    TDbgSetTargetOutput m_setTargetOutput = nullptr;
    TDbgSendTargetInput m_sendTargetInput = nullptr;
    TDbgLaunchConfiguration m_launchConfiguration = nullptr;
};

}  // namespace kiv
