#include "pc_dirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace kiv {

namespace {

bool FolderExists(const QString &path)
{
    return QFileInfo(path).isDir();
}

// Drops the last path element of a folder value that ends with "/", keeping the "/" of its
// parent; an empty string stays empty.
QString ParentFolder(QString folder)
{
    if (folder.endsWith('/'))
        folder.chop(1);
    while (!folder.isEmpty() && !folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

std::unique_ptr<TDirectories> g_dirs;
QString g_executableOverride;
int g_traceLevel = 0;

QString ExecutablePathForProcess()
{
    if (!g_executableOverride.isEmpty())
        return g_executableOverride;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

}  // namespace

TDirectories::TDirectories(QString executablePath, QString homeDir, QString machineSettings)
    : m_executablePath(std::move(executablePath))
    , m_homeDir(std::move(homeDir))
    , m_machineSettings(std::move(machineSettings))
{
}

QString TDirectories::InstallDir()
{
    if (!m_installDir.isEmpty())
        return m_installDir;
    // The executable's folder, else its parent when that has "dll", else one more level up
    // without a further test.
    QString dir = m_executablePath;
    while (!dir.isEmpty() && !dir.endsWith('/'))
        dir.chop(1);
    if (!FolderExists(dir + "dll")) {
        dir = ParentFolder(dir);
        if (!FolderExists(dir + "dll"))
            dir = ParentFolder(dir);
    }
    m_installDir = dir;
    return m_installDir;
}

QString TDirectories::SubDirOr(const QString &sub, const QString &fallback)
{
    const QString path = InstallDir() + sub;
    return FolderExists(path) ? path : fallback;
}

QString TDirectories::DllDir()
{
    return InstallDir() + "dll/";
}

QString TDirectories::DebuggerProfilesDir()
{
    return InstallDir() + "Debugger Profiles/";
}

QString TDirectories::UtilsDir()
{
    return SubDirOr("utils/", InstallDir());
}

QString TDirectories::CompilerDir()
{
    return SubDirOr("lumo/", InstallDir());
}

QString TDirectories::CompilerProgramDir()
{
    return SubDirOr("vync/", InstallDir());
}

QString TDirectories::TelmDir()
{
    return SubDirOr("telm/", InstallDir());
}

QString TDirectories::WatchDir()
{
    return SubDirOr("watch/", DllDir());
}

QString TDirectories::IcdDir()
{
    return SubDirOr("icd/", InstallDir());
}

QString TDirectories::SettingsFilePath()
{
    if (!m_settingsFilePath.isEmpty())
        return m_settingsFilePath;
    // Without a home folder the user file cannot be named; the machine file stands in for it.
    const QString userFile = m_homeDir.isEmpty() ? m_machineSettings
                                                 : QDir(m_homeDir).filePath("kiv.ini");
    if (QFileInfo(userFile).isFile()) {
        m_settingsFilePath = userFile;
    } else if (QFileInfo(m_machineSettings).isFile()) {
        m_settingsFilePath = m_machineSettings;
    } else {
        m_settingsFilePath = CompilerDir() + "kiv.ini";
        // A settings file in a folder the user cannot write would lose every setting: use the
        // user's own file instead.
        const QFileInfo folder(CompilerDir());
        if (!folder.isWritable() && !m_homeDir.isEmpty())
            m_settingsFilePath = userFile;
    }
    return m_settingsFilePath;
}

QStringList TDirectories::ListDebuggerLibraries()
{
    QStringList list;
    auto addLibraries = [&list](const QString &folder) {
        const QDir dir(folder);
        const QStringList names = dir.entryList({"*.so"}, QDir::Files, QDir::Unsorted);
        for (const QString &name : names)
            list << dir.filePath(name);
    };
    if (FolderExists(InstallDir() + "debuggers")) {
        for (const char *sub : {"debuggers/VYNICD/", "debuggers/VYNPELKO/", "debuggers/SIMDLL/"})
            addLibraries(InstallDir() + sub);
    } else {
        addLibraries(DllDir());
    }
    return list;
}

TDirectories &Dirs()
{
    if (!g_dirs) {
        g_dirs = std::make_unique<TDirectories>(ExecutablePathForProcess(),
                                                qEnvironmentVariable("HOME"),
                                                QStringLiteral("/etc/kiv.ini"));
    }
    return *g_dirs;
}

void SetExecutablePathForDirs(const QString &path)
{
    g_executableOverride = path;
    g_dirs.reset();
}

QString InstallDir() { return Dirs().InstallDir(); }
QString DllDir() { return Dirs().DllDir(); }
QString DebuggerProfilesDir() { return Dirs().DebuggerProfilesDir(); }
QString UtilsDir() { return Dirs().UtilsDir(); }
QString CompilerDir() { return Dirs().CompilerDir(); }
QString CompilerProgramDir() { return Dirs().CompilerProgramDir(); }
QString TelmDir() { return Dirs().TelmDir(); }
QString WatchDir() { return Dirs().WatchDir(); }
QString IcdDir() { return Dirs().IcdDir(); }
QString SettingsFilePath() { return Dirs().SettingsFilePath(); }

void ListDebuggerLibraries(QStringList &list)
{
    list = Dirs().ListDebuggerLibraries();
}

int TraceLevel()
{
    return g_traceLevel;
}

void SetTraceLevel(int level)
{
    g_traceLevel = level;
}

QString TraceFilePath()
{
    return QDir::temp().filePath(QStringLiteral("kivdbg.txt"));
}

bool CreateTraceFile()
{
    QFile file(TraceFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    return file.write("KIV debug file\n") > 0;
}

void TraceMilestone(const QString &text)
{
    if (g_traceLevel != 1)
        return;
    // A trace file that cannot be written must never stop the program from starting.
    QFile file(TraceFilePath());
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write((text + '\n').toLocal8Bit());
}

}  // namespace kiv
