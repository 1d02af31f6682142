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
    QRect screen;

    TWindowGeometry WindowGeometry() const override { return geometry; }
    QRect AvailableScreenArea() const override { return screen; }
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
    // No screen known: a normal window of a usable size.
    EXPECT_EQ(host.applied.top, 0);
    EXPECT_EQ(host.applied.left, 0);
    EXPECT_EQ(host.applied.height, 700);
    EXPECT_EQ(host.applied.width, 1024);
    EXPECT_EQ(host.applied.size, 0);
    EXPECT_FALSE(env.Recall);
    EXPECT_EQ(env.IncludeDirs, "/opt/kiv/devices/;/opt/kiv/drivers/");
    EXPECT_EQ(host.selected, 1);
    EXPECT_EQ(env.RecentFiles.Count(), 0);
}

// A first start (no stored size) takes six sevenths of the screen, centred, in the normal state.
TEST_F(EnvironmentTest, FirstStartTakesMostOfTheScreen)
{
    struct TCase {
        QRect screen;
        TWindowGeometry expected;   // top, left, height, width, size
    };
    const TCase cases[] = {
        {QRect(0, 0, 1400, 900), {64, 100, 771, 1200, 0}},
        {QRect(0, 0, 1920, 1040), {74, 137, 891, 1645, 0}},
        {QRect(1920, 30, 1280, 994), {101, 2011, 852, 1097, 0}},   // a second screen, a top panel
        {QRect(0, 0, 800, 600), {43, 57, 514, 685, 0}},
    };
    for (const TCase &c : cases) {
        TIniFile ini(tmp.filePath("kiv.ini"));
        TKivEnvironment env("/opt/kiv/");
        FakeHost host;
        host.screen = c.screen;
        env.RestoreEnvironment(ini, host, {});
        EXPECT_EQ(host.applied.top, c.expected.top);
        EXPECT_EQ(host.applied.left, c.expected.left);
        EXPECT_EQ(host.applied.height, c.expected.height);
        EXPECT_EQ(host.applied.width, c.expected.width);
        EXPECT_EQ(host.applied.size, 0);
        EXPECT_TRUE(c.screen.contains(QRect(host.applied.left, host.applied.top, host.applied.width,
                                            host.applied.height)));
    }
}

// A stored size always wins over the first-start size, whatever the screen.
TEST_F(EnvironmentTest, StoredGeometryWinsOverTheFirstStart)
{
    TIniFile ini(tmp.filePath("kiv.ini"));
    ini.WriteInteger("kivform", "top", 5);
    ini.WriteInteger("kivform", "left", 6);
    ini.WriteInteger("kivform", "height", 300);
    ini.WriteInteger("kivform", "width", 400);
    TKivEnvironment env("/opt/kiv/");
    FakeHost host;
    host.screen = QRect(0, 0, 1400, 900);
    env.RestoreEnvironment(ini, host, {});
    EXPECT_EQ(host.applied.top, 5);
    EXPECT_EQ(host.applied.left, 6);
    EXPECT_EQ(host.applied.height, 300);
    EXPECT_EQ(host.applied.width, 400);
    EXPECT_EQ(host.applied.size, 2);   // the stored state's default stays maximised
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

// The open-files count is only as good as the keys behind it: the list stops at the first
// missing key and never goes past what a session could have had open, however large the
// stored count (2147483647 once made the start-up run for ever).
TEST_F(EnvironmentTest, TheOpenFilesCountIsBoundedByTheKeys)
{
    const struct {
        const char *name;
        int count;
        QList<int> keys;     // f<n> keys present
        int opened;          // how many are opened
    } cases[] = {
        {"huge count, three keys", 2147483647, {1, 2, 3}, 3},
        {"a gap ends the list", 5, {1, 2, 4, 5}, 2},
        {"no more than a thousand", 1200, {}, 1000},
        {"negative count", -7, {1}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray text = "[editoptions]\r\nrecall=1\r\n[openfiles]\r\ncount=" + QByteArray::number(c.count) + "\r\n";
        QList<int> keys = c.keys;
        if (keys.isEmpty()) {
            for (int n = 1; n <= 1200; ++n)
                keys << n;
        }
        for (int n : keys)
            text += "f" + QByteArray::number(n) + "=" + tmp.filePath("f" + QString::number(n) + ".c").toUtf8() + "\r\n";
        const QString path = tmp.filePath("count.ini");
        ASSERT_TRUE(kiv::test::WriteFile(path, text));
        TIniFile ini(path);
        TKivEnvironment env("/opt/kiv/");
        FakeHost host;
        env.RestoreEnvironment(ini, host, {});
        EXPECT_EQ(host.opened.size(), c.opened);
        if (c.opened > 0)
            EXPECT_EQ(host.opened.first(), tmp.filePath("f1.c"));
    }
}
