#pragma once

#include <QString>
#include <QStringList>

namespace kiv {

/// Where the installation's folders are, worked out from the running executable.
/// Every folder value ends with "/". Values are computed on first use and kept.
class TDirectories {
public:
    /// `executablePath` is the full path of the running program; `homeDir` is the user profile
    /// folder (empty when it cannot be found); `machineSettings` is the machine-wide settings file.
    TDirectories(QString executablePath, QString homeDir, QString machineSettings);

    QString InstallDir();             /// the executable's folder, its parent or its grandparent
    QString DllDir();                 /// InstallDir + "dll/", always
    QString DebuggerProfilesDir();    /// InstallDir + "Debugger Profiles/", always
    QString UtilsDir();               /// InstallDir + "utils/", else InstallDir
    QString CompilerDir();            /// InstallDir + "lumo/", else InstallDir
    QString CompilerProgramDir();     /// InstallDir + "vync/", else InstallDir
    QString TelmDir();                /// InstallDir + "telm/", else InstallDir
    QString WatchDir();               /// InstallDir + "watch/", else DllDir
    QString IcdDir();                 /// InstallDir + "icd/", else InstallDir
    QString SettingsFilePath();       /// $HOME/kiv.ini, the machine file, or CompilerDir + "kiv.ini"

    /// Full paths of the debugger libraries: the three debugger folders when InstallDir has
    /// "debuggers", otherwise DllDir.
    QStringList ListDebuggerLibraries();

private:
    QString SubDirOr(const QString &sub, const QString &fallback);

    QString m_executablePath;
    QString m_homeDir;
    QString m_machineSettings;
    QString m_installDir;
    QString m_settingsFilePath;
};

/// The process-wide directories of the running program (executable = the application's path,
/// home = $HOME, machine-wide settings = "/etc/kiv.ini").
TDirectories &Dirs();

/// Makes the process-wide directories resolve as if the executable were `path`; for the helper
/// programs that act for the staged IDE. Call before the first directory operation.
void SetExecutablePathForDirs(const QString &path);

QString InstallDir();
QString DllDir();
QString DebuggerProfilesDir();
QString UtilsDir();
QString CompilerDir();
QString CompilerProgramDir();
QString TelmDir();
QString WatchDir();
QString IcdDir();
QString SettingsFilePath();
void ListDebuggerLibraries(QStringList &list);

/// Start-up diagnostics: 0 none, 1 trace file, 2 "-TOOLBAR", 3 debugger-library logging.
int TraceLevel();
void SetTraceLevel(int level);

/// The start-up trace file: the system temporary folder + "/kivdbg.txt".
QString TraceFilePath();

/// Creates (or empties) the trace file with its header line "KIV debug file".
bool CreateTraceFile();

/// Appends `text` as one line to the trace file when TraceLevel is 1; otherwise does nothing.
void TraceMilestone(const QString &text);

}  // namespace kiv
