#pragma once

// Programmer and debugger tool launch: the five tool slots of the "Device Programmer/Debugger
// Options" window kept in the settings file, the command templates with their placeholders
// %P %C %H %D, the files written for known tools before they start, and the start itself.
// QtCore only.

#include <QString>
#include <QStringList>

#include <array>

namespace kiv {

class TIniFile;

/// The five slots, in the window's order.
enum TToolSlotId {
    tsProgrammer1,   ///< "prgmer": the "Program Chip2" command
    tsProgrammer2,   ///< "prgmer2": the "&Program Chip" command
    tsDebugger1,     ///< "debugger1": "Tool1"
    tsDebugger2,     ///< "debugger2": "Tool2"
    tsDebugger3,     ///< "debugger3": "Tool3"
    tsSlotCount
};

/// What the settings file and the window know about a slot.
struct TToolSlotInfo {
    const char *section;         ///< settings section
    const char *nameControl;     ///< objectName of the name edit
    const char *commandControl;  ///< objectName of the command edit
    const char *defaultName;
    const char *defaultCommand;
};
const TToolSlotInfo &ToolSlotInfo(TToolSlotId slot);

/// One slot: a name (the command's caption) and a command line template.
struct TToolSlot {
    QString name;
    QString command;
    friend bool operator==(const TToolSlot &, const TToolSlot &) = default;
};

/// The command text as the settings file stores it: every double quote as "{", and the whole
/// enclosed in double quotes when it contains "am files".
QString EncodeToolCommand(const QString &command);
/// The stored text back as the command: enclosing double quotes are dropped (as the settings
/// reader of the platform did), then every "{" is a double quote again.
QString DecodeToolCommand(const QString &stored);

/// The five slots.
class TToolSettings {
public:
    TToolSettings();
    TToolSlot &Slot(TToolSlotId id) { return m_slots[size_t(id)]; }
    const TToolSlot &Slot(TToolSlotId id) const { return m_slots[size_t(id)]; }

    /// Reads the slots ("name" and "command" of each slot's section); missing keys keep the
    /// defaults.
    void Load(const TIniFile &ini);
    /// Writes the five slots in one replace of the file; false when it cannot be written.
    bool Save(TIniFile &ini) const;

    friend bool operator==(const TToolSettings &, const TToolSettings &) = default;

private:
    std::array<TToolSlot, tsSlotCount> m_slots;
};

/// The image of a debugger slot's command (Tool1 .. Tool3).
enum TToolImage { tiNone, tiMplab, tiIcepic };

/// How a slot shows as a main window command.
struct TToolCommandState {
    bool visible = false;
    QString caption;
    TToolImage image = tiNone;
};
/// UpdateToolCommands for one slot: visible exactly when the name is not empty, captioned with
/// the name; a debugger slot shows the MPLAB image when its upper-cased command contains
/// "MPLAB", the ICEPIC image when it contains "ICEPIC".
TToolCommandState ToolCommandState(const TToolSettings &settings, TToolSlotId slot);

/// What a launch knows about the project.
struct TLaunchContext {
    QString hexFile;        ///< the object file: base + "." + object extension; empty without a project
    QString base;           ///< project folder + name; empty without a project
    QString includes;       ///< the global include list, for a new MPLAB project
};

/// A command template split up: the program and its arguments with the placeholders replaced.
struct TToolCommand {
    QString program;        ///< as the template names it (quotes removed)
    QStringList arguments;  ///< one entry per argument; a path with blanks stays one argument
    /// The command line as a person reads it: program and arguments, those with blanks quoted.
    QString Display() const;
};

/// The program path of a template: the text between the first two double quotes when it begins
/// with one; otherwise up to and including the first word ending in ".exe", else ".com", else
/// ".bat" (any case); otherwise up to the first blank, or the whole text when it has none.
/// `rest` receives the text after it.
QString ToolProgramPath(const QString &command, QString *rest = nullptr);

/// The base part number for %D: the hex file's last line without its first character; without
/// "PIC" at its start when the program path contains "WARP". Empty when the file cannot be read.
QString BasePartNumber(const QString &hexFile, const QString &programPath);

/// Expands a slot's template. With an empty base the program gets no arguments. Otherwise the
/// first occurrence of each of %P %C %H %D (either case) is replaced: %P by base + ".pjt" (by
/// base + ".mcp" for a tool named MPLAB whose program path contains "DLLS"), %C by base + ".cod",
/// %H by the hex file, %D by the base part number. Replacement text is never scanned again, so
/// a path holding "%H" comes through as it is.
TToolCommand ExpandToolCommand(const TToolSlot &slot, const TLaunchContext &context);

/// The outside files and programs a launch may touch; tests point them into a folder of their own.
struct TLaunchEnvironment {
    QString settingsFile;      ///< kiv.ini: section "KIV", key "MPLAB" names MPLAB's program file
    QString icepicSettings;    ///< the ICEPIC emulator's settings file
    QString setupProgram;      ///< the compiler program run with "+SETUP" when MPLAB is not named
};
/// The installation's: SettingsFilePath(), the ICEPIC settings in the default Wine prefix's
/// Windows folder ($HOME/.wine/drive_c/windows/icepic32.ini), CompilerProgramDir() + "vync".
TLaunchEnvironment DefaultLaunchEnvironment();

/// The result of a launch.
struct TLaunchResult {
    bool started = false;
    QString error;          ///< why not, or a file the launch could not write
    TToolCommand command;   ///< what was (or would have been) started
    qint64 pid = 0;
};

/// LaunchTool: prepares the files of known tools (when there is a project; a file that cannot be
/// written ends the launch), checks that the program exists ("Cannot find program: " + path otherwise; a name without a folder is looked
/// up on the search path), expands the template and starts the program without waiting. A
/// program that cannot be started is reported with the system's reason.
TLaunchResult LaunchTool(const TToolSlot &slot, const TLaunchContext &context,
                         const TLaunchEnvironment &environment = DefaultLaunchEnvironment());

/// The files LaunchTool writes for a tool, done separately for tests and kivtool: the MPLAB
/// project or processor setting, and the ICEPIC settings. False with `error` when a file could
/// not be written.
bool PrepareToolFiles(const TToolSlot &slot, const TLaunchContext &context,
                      const TLaunchEnvironment &environment, QString *error);

}  // namespace kiv
