#pragma once

#include <QString>

#include <functional>

namespace kiv {

class TIniFile;

/// The debug session's state. The target is halted (its memory may be read) in dsReady and
/// dsHaltedBusy only.
enum TDebugState : quint8 {
    dsDisabled = 0,
    dsNotReady = 1,
    dsLoading = 2,
    dsReady = 3,
    dsRunning = 4,
    dsAttaching = 5,
    dsNoCommunication = 6,
    dsHaltedBusy = 7,
    dsReadingRam = 8,
    dsBusy = 9,
};

/// The colours of the state pane: fill, then text.
enum TStatusColour { scNone, scRed, scAqua, scButtonFace, scYellow, scBlack, scWhite };

/// What the Debug window's three status panes show for a state.
struct TDebugStatus {
    bool unchanged = false;   /// dsDisabled leaves the panes as they are
    QString pane1;            /// "PC=" and 4 hexadecimal digits in dsReady, dsHaltedBusy, dsBusy
    QString pane2;            /// "W=" and 2 hexadecimal digits in the same states
    QString pane3;            /// the state text
    TStatusColour fill = scNone;
    TStatusColour text = scNone;
};

/// The status of `state` with the session's PC, W and clock; `loadPercent` >= 0 shows the
/// download's progress in dsLoading.
TDebugStatus DebugStatus(TDebugState state, quint32 pc, quint8 w, double clockMHz, int loadPercent = -1);

/// Which commands a state enables.
struct TDebugCommands {
    bool run = false;
    bool halt = false;
    bool step = false;        /// Single Step, Step Over, Run to cursor, Snapshot
    bool reset = false;
    bool program = false;     /// "ICD Program" and "Reload target firmware"
    bool debugWindows = true; /// the Debug Windows commands (off in dsDisabled)
    bool haltShown = false;   /// the Halt button replaces the Run button (dsRunning)
};

TDebugCommands DebugCommands(TDebugState state);

/// The twelve debug windows, in the order of activation, loading and saving.
enum TDebugWindowId {
    dwConfigure, dwRAM, dwROM, dwDataEE, dwBreaks, dwStack, dwWatches, dwPeripherals, dwEval,
    dwMonitor, dwLog, dwTasks, dwCount
};

/// The window-free part of a debug window: the five operations the session calls on every
/// window, and hooks through which the window on screen follows. Without a window on screen a
/// model counts as showing when SetShowing(true) was called (tests).
class TDebugWindowModel {
public:
    TDebugWindowModel(QString className, QString caption);
    virtual ~TDebugWindowModel();
    TDebugWindowModel(const TDebugWindowModel &) = delete;
    TDebugWindowModel &operator=(const TDebugWindowModel &) = delete;

    /// The class name that keys the window's visibility and place ("TDebugFormRAM").
    const QString &ClassName() const { return m_className; }
    const QString &Caption() const { return m_caption; }

    /// Reads the target and redraws; nothing here.
    virtual void Refresh() { }
    /// Called once per session start; enables the window's controls. False: the window cannot
    /// work with this target.
    virtual bool Activate();
    /// Called at session end; disables the window's controls.
    virtual bool Deactivate();
    virtual bool LoadSettings(TIniFile &ini) { return true; }
    virtual bool SaveSettings(TIniFile &ini) { return true; }

    /// Whether the user sees the window (a tab of the Debug window only while it is the active
    /// tab); asked before each refresh.
    bool Showing() const;
    std::function<bool()> IsShowing;
    void SetShowing(bool on) { m_showing = on; }

    /// Told when the window's controls are enabled (Activate) or disabled (Deactivate).
    std::function<void(bool enabled)> OnControlsEnabled;
    bool ControlsEnabled() const { return m_controlsEnabled; }
    void SetControlsEnabled(bool on);
    /// Told when the model's contents changed and the window should redraw.
    std::function<void()> OnChanged;
    void Changed();

private:
    QString m_className;
    QString m_caption;
    bool m_showing = false;
    bool m_controlsEnabled = false;
};

}  // namespace kiv
