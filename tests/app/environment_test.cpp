#include "kivenv.h"
#include "kivini.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

// A main window stand-in that records what the environment applies to it.
class FakeHost : public IEnvironmentHost {
public:
    TWindowGeometry geometry;
    TWindowGeometry applied;
    QString folder;
    QStringList pages;
    QString current;
    QString project;
    QStringList opened;
    QString commandLineFile;
    bool orderFiles = false;
    int compilers = 3;
    int selected = -1;
    bool closedAll = false;

    TWindowGeometry WindowGeometry() const override { return geometry; }
    void ApplyWindowGeometry(const TWindowGeometry &g) override { applied = g; }
    QString DialogFolder() const override { return folder; }
    void SetDialogFolder(const QString &f) override { folder = f; }
    void SetOrderFiles(bool on) override { orderFiles = on; }
    QStringList PagePaths() const override { return pages; }
    QString CurrentPagePath() const override { return current; }
    void OpenRecalledFile(const QString &path) override
    {
        opened << path;
        if (QFile::exists(path))
            pages << path;
    }
    void OpenCommandLineFile(const QString &path) override { commandLineFile = path; }
    void SelectPage(const QString &path) override { current = path; }
    QString ProjectMainFile() const override { return project; }
    void SetProject(const QString &f) override { project = f; }
    int InstalledCompilerCount() const override { return compilers; }
    int SelectedCompilerIndex() const override { return selected; }
    void SelectCompiler(int i) override { selected = i; }
    void CloseAllDocuments() override { closedAll = true; }
};

class EnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override { m_cwd = QDir::currentPath(); }
    void TearDown() override { QDir::setCurrent(m_cwd); }
    QTemporaryDir tmp;
    QString m_cwd;
};

}  // namespace

TEST_F(EnvironmentTest, DefaultsFromAnEmptySettingsFile)
{
    TIniFile ini(tmp.filePath("kiv.ini"));
    TKivEnvironment env("/opt/kiv/");
    FakeHost host;
    env.RestoreEnvironment(ini, host, {});
    EXPECT_EQ(host.applied.top, 0);
    EXPECT_EQ(host.applied.left, 0);
    EXPECT_EQ(host.applied.height, 400);
    EXPECT_EQ(host.applied.width, 500);
    EXPECT_EQ(host.applied.size, 2);
    EXPECT_FALSE(env.Recall);
    EXPECT_EQ(env.IncludeDirs, "/opt/kiv/devices/;/opt/kiv/drivers/");
    EXPECT_EQ(host.selected, 1);
    EXPECT_EQ(env.RecentFiles.Count(), 0);
}

TEST_F(EnvironmentTest, SaveRestoreRoundTrip)
{
    const QString a = tmp.filePath("a.c");
    const QString b = tmp.filePath("b.c");
    test::WriteFile(a, "x");
    test::WriteFile(b, "y");
    TIniFile ini(tmp.filePath("kiv.ini"));

    TKivEnvironment env("/opt/kiv/");
    env.Recall = true;
    env.OrderFiles = true;
    env.IncludeDirs = "/inc1/;/inc2/";
    env.RecentFiles.AddRecent("/old.c");
    env.RecentFiles.AddRecent(a);
    env.RecentProjects.AddRecent("/p/x.pjt");
    env.FindHistory = {"needle", "hay"};
    FakeHost host;
    host.geometry = {10, 20, 300, 400, 0};
    host.folder = "/work/";
    host.pages = {a, b};
    host.current = b;
    host.project = a;
    host.selected = 2;
    QDir::setCurrent(tmp.path());
    env.saveenv(ini, host);
    EXPECT_TRUE(host.closedAll);
    EXPECT_EQ(ini.ReadString("openfiles", "f2"), b);
    EXPECT_EQ(ini.ReadInteger("openfiles", "count", 0), 2);

    TKivEnvironment back("/opt/kiv/");
    FakeHost fresh;
    QDir::setCurrent("/");
    back.RestoreEnvironment(ini, fresh, {});
    EXPECT_EQ(fresh.applied.top, 10);
    EXPECT_EQ(fresh.applied.left, 20);
    EXPECT_EQ(fresh.applied.height, 300);
    EXPECT_EQ(fresh.applied.width, 400);
    EXPECT_EQ(fresh.applied.size, 0);
    EXPECT_EQ(fresh.folder, "/work/");
    EXPECT_TRUE(back.Recall);
    EXPECT_TRUE(fresh.orderFiles);
    EXPECT_EQ(fresh.opened, (QStringList{a, b}));
    EXPECT_EQ(fresh.project, a);
    EXPECT_EQ(fresh.current, b);
    EXPECT_EQ(back.IncludeDirs, "/inc1/;/inc2/");
    EXPECT_EQ(QDir::currentPath(), QDir(tmp.path()).canonicalPath());
    EXPECT_EQ(fresh.selected, 2);
    EXPECT_EQ(back.RecentFiles.Visible(), env.RecentFiles.Visible());
    EXPECT_EQ(back.RecentProjects.Visible(), QStringList{"/p/x.pjt"});
    EXPECT_EQ(back.FindHistory, (QStringList{"needle", "hay"}));
}

TEST_F(EnvironmentTest, MaximisedWindowKeepsItsNormalGeometry)
{
    TIniFile ini(tmp.filePath("kiv.ini"));
    ini.WriteInteger("kivform", "top", 5);
    ini.WriteInteger("kivform", "left", 6);
    ini.WriteInteger("kivform", "height", 700);
    ini.WriteInteger("kivform", "width", 800);
    TKivEnvironment env("/opt/kiv/");
    FakeHost host;
    host.geometry = {0, 0, 1080, 1920, 2};
    env.saveenv(ini, host);
    EXPECT_EQ(ini.ReadInteger("kivform", "size", -1), 2);
    EXPECT_EQ(ini.ReadInteger("kivform", "top", -1), 5);
    EXPECT_EQ(ini.ReadInteger("kivform", "left", -1), 6);
    EXPECT_EQ(ini.ReadInteger("kivform", "height", -1), 700);
    EXPECT_EQ(ini.ReadInteger("kivform", "width", -1), 800);
}

TEST_F(EnvironmentTest, RecallOffAndCommandLineFileSkipTheOpenFiles)
{
    const QString a = tmp.filePath("a.c");
    test::WriteFile(a, "x");
    TIniFile ini(tmp.filePath("kiv.ini"));
    ini.WriteInteger("openfiles", "count", 1);
    ini.WriteString("openfiles", "f1", a);

    TKivEnvironment off("/opt/kiv/");
    FakeHost h1;
    off.RestoreEnvironment(ini, h1, {});
    EXPECT_TRUE(h1.opened.isEmpty());

    ini.WriteBool("editoptions", "recall", true);
    TKivEnvironment on("/opt/kiv/");
    FakeHost h2;
    on.RestoreEnvironment(ini, h2, "/x/main.c");
    EXPECT_TRUE(h2.opened.isEmpty());
    EXPECT_EQ(h2.commandLineFile, "/x/main.c");
}

TEST_F(EnvironmentTest, StaleEntriesAreIgnored)
{
    const QString a = tmp.filePath("a.c");
    test::WriteFile(a, "x");
    TIniFile ini(tmp.filePath("kiv.ini"));
    ini.WriteBool("editoptions", "recall", true);
    ini.WriteInteger("openfiles", "count", 2);
    ini.WriteString("openfiles", "f1", tmp.filePath("gone.c"));
    ini.WriteString("openfiles", "f2", a);
    ini.WriteString("openfiles", "projectfile", tmp.filePath("gone.c"));
    ini.WriteString("openfiles", "currentfile", tmp.filePath("gone.c"));
    ini.WriteString("default", "dir", tmp.filePath("no-such-folder"));
    ini.WriteInteger("compiler", "index", 7);
    QDir::setCurrent("/");
    TKivEnvironment env("/opt/kiv/");
    FakeHost host;
    env.RestoreEnvironment(ini, host, {});
    EXPECT_EQ(host.pages, QStringList{a});     // the remaining entry still opens
    EXPECT_TRUE(host.project.isEmpty());
    EXPECT_TRUE(host.current.isEmpty());
    EXPECT_EQ(QDir::currentPath(), "/");
    EXPECT_EQ(host.selected, 0);
}

TEST_F(EnvironmentTest, FilesOpenedDuringRestoreStayInTheRecentList)
{
    TIniFile ini(tmp.filePath("kiv.ini"));
    ini.WriteInteger("MRUP", "count", 2);
    ini.WriteString("MRUP", "0", "/p/b.pjt");
    ini.WriteString("MRUP", "1", "/p/a.pjt");
    TKivEnvironment env("/opt/kiv/");

    // Opening the command-line project adds it to the recent projects before the lists are read.
    struct Host : FakeHost {
        TKivEnvironment *env = nullptr;
        void OpenCommandLineFile(const QString &path) override { env->RecentProjects.AddRecent(path); }
    } host;
    host.env = &env;
    env.RestoreEnvironment(ini, host, "/p/new.pjt");
    EXPECT_EQ(env.RecentProjects.Visible(), (QStringList{"/p/b.pjt", "/p/a.pjt", "/p/new.pjt"}));
}
