#include "kivenv.h"

#include "kivini.h"

#include <QDir>
#include <QFileInfo>

namespace kiv {

namespace {

const QString kForm = QStringLiteral("kivform");
const QString kLastProject = QStringLiteral("lastproject");
const QString kEditOptions = QStringLiteral("editoptions");
const QString kOpenFiles = QStringLiteral("openfiles");
const QString kDefault = QStringLiteral("default");
const QString kCompiler = QStringLiteral("compiler");
const QString kFindHistory = QStringLiteral("findhistory");

// The most documents "Recall Open Files" opens.
constexpr int kMaxRecalledFiles = 1000;

bool SamePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath() || a == b;
}

}  // namespace

TKivEnvironment::TKivEnvironment(QString installDir)
    : m_installDir(std::move(installDir))
{
    IncludeDirs = DefaultIncludeDirs();
}

TWindowGeometry FirstStartGeometry(const QRect &area)
{
    TWindowGeometry g;
    g.size = 0;
    if (!area.isValid() || area.isEmpty()) {
        g.left = 0;
        g.top = 0;
        g.width = 1024;
        g.height = 700;
        return g;
    }
    g.width = area.width() * 6 / 7;
    g.height = area.height() * 6 / 7;
    g.left = area.left() + (area.width() - g.width) / 2;
    g.top = area.top() + (area.height() - g.height) / 2;
    return g;
}

QString TKivEnvironment::DefaultIncludeDirs() const
{
    return m_installDir + "devices/;" + m_installDir + "drivers/";
}

QString TKivEnvironment::DefaultWorkingDir() const
{
    return m_installDir + "examples/";
}

void TKivEnvironment::RestoreEnvironment(TIniFile &ini, IEnvironmentHost &host,
                                         const QString &commandLineFile)
{
    // A stored size always wins; without one (a first start) the window takes a good share
    // of the screen instead of the small stored defaults.
    TWindowGeometry g;
    if (!ini.ValueExists(kForm, "width") || !ini.ValueExists(kForm, "height"))
        g = FirstStartGeometry(host.AvailableScreenArea());
    g.top = ini.ReadInteger(kForm, "top", g.top);
    g.left = ini.ReadInteger(kForm, "left", g.left);
    g.height = ini.ReadInteger(kForm, "height", g.height);
    g.width = ini.ReadInteger(kForm, "width", g.width);
    g.size = ini.ReadInteger(kForm, "size", g.size);
    host.ApplyWindowGeometry(g);

    host.SetDialogFolder(ini.ReadString(kLastProject, "dir"));
    host.RestoreOwnSettings(ini);

    Recall = ini.ReadBool(kEditOptions, "recall", false);
    OrderFiles = ini.ReadBool(kEditOptions, "orderfiles", false);
    host.SetOrderFiles(OrderFiles);

    if (!commandLineFile.isEmpty()) {
        host.OpenCommandLineFile(commandLineFile);
    } else if (Recall) {
        host.BeginPageUpdate();
        // The count is only as good as the keys behind it: the list ends at the first missing
        // key, and never runs past what a session could have had open.
        const int count = qMin(ini.ReadInteger(kOpenFiles, "count", 0), kMaxRecalledFiles);
        for (int n = 1; n <= count; ++n) {
            const QString key = "f" + QString::number(n);
            if (!ini.ValueExists(kOpenFiles, key))
                break;
            const QString path = ini.ReadString(kOpenFiles, key);
            if (!path.isEmpty())
                host.OpenRecalledFile(path);
        }
        host.EndPageUpdate();
        const QStringList open = host.PagePaths();
        auto isOpen = [&open](const QString &path) {
            return std::any_of(open.begin(), open.end(),
                               [&path](const QString &p) { return SamePath(p, path); });
        };
        const QString project = ini.ReadString(kOpenFiles, "projectfile");
        if (!project.isEmpty() && isOpen(project))
            host.SetProject(project);
        const QString current = ini.ReadString(kOpenFiles, "currentfile");
        if (!current.isEmpty() && isOpen(current))
            host.SelectPage(current);
    }

    IncludeDirs = ini.ReadString(kDefault, "includes", DefaultIncludeDirs());
    const QString dir = ini.ReadString(kDefault, "dir", DefaultWorkingDir());
    if (!dir.isEmpty() && QFileInfo(dir).isDir())
        QDir::setCurrent(dir);

    const int index = ini.ReadInteger(kCompiler, "index", 1);
    host.SelectCompiler(index >= 0 && index < host.InstalledCompilerCount() ? index : 0);

    // Entries added while the files above were opened stay; the stored ones go on top of them.
    RecentFiles.Read(ini, "MRU");
    RecentProjects.Read(ini, "MRUP");

    FindHistory.clear();
    for (int n = 0; n < 10; ++n) {
        const QString key = QString::number(n);
        if (!ini.ValueExists(kFindHistory, key))
            break;
        FindHistory << ini.ReadString(kFindHistory, key);
    }
}

void TKivEnvironment::saveenv(TIniFile &ini, IEnvironmentHost &host)
{
    {
        TIniFile::Batch batch(ini);
        const TWindowGeometry g = host.WindowGeometry();
        batch.WriteInteger(kForm, "size", g.size);
        // A maximised window keeps the geometry of its last normal state.
        if (g.size != 2) {
            batch.WriteInteger(kForm, "top", g.top);
            batch.WriteInteger(kForm, "left", g.left);
            batch.WriteInteger(kForm, "height", g.height);
            batch.WriteInteger(kForm, "width", g.width);
        }
        batch.WriteString(kLastProject, "dir", host.DialogFolder());
        batch.Commit();
    }
    RecentFiles.Write(ini, "MRU");
    RecentProjects.Write(ini, "MRUP");
    {
        TIniFile::Batch batch(ini);
        batch.WriteBool(kEditOptions, "recall", Recall);
        batch.WriteBool(kEditOptions, "orderfiles", OrderFiles);

        const QStringList pages = host.PagePaths();
        batch.WriteInteger(kOpenFiles, "count", int(pages.size()));
        for (int n = 0; n < pages.size(); ++n)
            batch.WriteString(kOpenFiles, "f" + QString::number(n + 1), pages[n]);
        batch.WriteString(kOpenFiles, "projectfile", host.ProjectMainFile());
        batch.WriteString(kOpenFiles, "currentfile", host.CurrentPagePath());

        batch.WriteString(kDefault, "includes", IncludeDirs);
        QString cwd = QDir::currentPath();
        if (!cwd.endsWith('/'))
            cwd += '/';
        batch.WriteString(kDefault, "dir", cwd);
        batch.WriteInteger(kCompiler, "index", host.SelectedCompilerIndex());
        for (int n = 0; n < FindHistory.size(); ++n)
            batch.WriteString(kFindHistory, QString::number(n), FindHistory[n]);
        batch.Commit();
    }
    host.SaveToolbarSettings(ini);
    host.CloseAllDocuments();
}

}  // namespace kiv
