#pragma once

#include "compilerlib.h"

#include <QString>

#include <array>

namespace kiv {

/// The window side of a compile: the compile status window (`Tfkivcomp`) implements it, the
/// command-line tool prints instead. Every display call returns when that display is over.
/// Every call comes on the thread that runs TKivCompModel::Compile, never on the thread the
/// compiler runs on.
class IKivCompView {
public:
    virtual ~IKivCompView() = default;

    /// The model changed; repaint from it.
    virtual void ModelChanged() = 0;
    /// Lets the user interface process pending events (the compiler asked for it). Only called
    /// while no event loop of the program runs: with one, the interface keeps running anyway.
    virtual void ProcessEvents() = 0;
    /// Shows the window, not modal, with its busy animation running.
    virtual void ShowBusy() = 0;
    /// Stops the busy animation, hides the window and saves its geometry.
    virtual void EndBusy() = 0;
    /// Waits `seconds` while processing events (the edition is not installed).
    virtual void WaitSeconds(int seconds) = 0;
    /// Shows the window until the user closes it (the edition is not installed).
    virtual void ShowUntilClosed() = 0;
    /// Shows the window modally after a failed compile; any key or its buttons close it.
    virtual void ShowModalAnyKey() = 0;
    /// Shows the window modally after a clean compile; only its close or "hide" button ends it.
    virtual void ShowModalHeld() = 0;
    /// Shows the window modally and closes it by itself after `seconds`.
    virtual void ShowModalTimed(int seconds) = 0;
};

/// How one run through the compile status window ended.
enum TCompileRunStatus {
    crCompiled,      /// COMPILE was called; the error file is the compiler's
    crNotInstalled,  /// the edition is not installed; the one-line error file was written
    crAborted,       /// nothing was compiled (no library, the error file could not be written)
    crStopped,       /// the user stopped the compile; the error file says so when the edition
                     /// wrote one
};

class TCompileWork;

/// The compile status window's contents and the run of one compile through it. Lines are
/// numbered 1 to 7, as the window shows them.
class TKivCompModel {
public:
    static constexpr int kLineCount = 7;

    QString Caption;              /// "VYN " + code + " C Compiler, Version " + version
    QString OutputFiles;          /// "Output files: ERR" and one entry per output file
    int LineTotal = 0;            /// lines compiled so far
    int RomPercent = 0;
    int RamPercent = 0;
    bool BarsVisible = false;     /// the ROM and RAM bars
    bool ErrorPanelVisible = false;
    QString ErrorLabel;           /// "ERROR"
    QString ErrorLine1;           /// error file + ",  Line " + line
    QString ErrorLine2;           /// the message
    bool Stoppable = false;       /// the running compile can be stopped (its edition can)
    bool Stopping = false;        /// a stop was asked for; the compile has not ended yet
    QString ObjectExtension = QStringLiteral("HEX");
    QString ListExtension = QStringLiteral("LST");

    QString Line(int n) const { return n >= 1 && n <= kLineCount ? m_lines[n - 1] : QString(); }
    void SetLine(int n, const QString &text);

    /// Starts a compile: line total 0, "Output files: ERR", line 1 := "Project:  " + main file,
    /// the other lines empty, bars and error panel hidden.
    void Reset(const QString &mainFile);

    /// Applies one status call-back; true when the user interface should then process pending
    /// events (codes 70-99 and 151-255).
    bool StatusCallback(quint8 value, const QString &text, quint8 code);

    /// One compile through the status window: reset; when the edition is not installed, the
    /// one-line error file and its displays; otherwise load the library and call COMPILE with
    /// the status call-back on a thread of its own, then the error panel and the held, timed and
    /// on-error displays that `holdFlags` asks for. `result` receives the out arguments (for an
    /// edition that is not installed, its message is the error line).
    ///
    /// While COMPILE runs, the calling thread applies the status call-backs to this model as
    /// they arrive; with an application event loop it runs a local one, so the interface stays
    /// usable (and RequestStop can be reached), otherwise it just waits for the reports.
    TCompileRunStatus Compile(IKivCompView &view, TCompilerLibrary &library, const QString &code,
                              bool installed, const TCompileArguments &args, quint16 holdFlags,
                              const QString &errorFilePath, TCompileResult &result);

    /// The one line of the error file for an edition that is not installed.
    static QString NotInstalledLine(const QString &code);

    /// A compile is running (Compile has not returned).
    bool Running() const { return m_work != nullptr; }
    /// The user's request to stop the running compile (the status window's Stop button): the
    /// edition ends its tool programs and COMPILE returns soon. Nothing when no compile runs or
    /// its edition cannot be stopped. Call it on the thread that runs Compile.
    void RequestStop();

private:
    friend class TCompileWork;

    std::array<QString, kLineCount> m_lines;
    TCompileWork *m_work = nullptr;
};

}  // namespace kiv
