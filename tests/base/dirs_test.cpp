#include "pc_dirs.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

class DirsTest : public ::testing::Test {
protected:
    QString Root() const { return m_tmp.path() + "/"; }
    void Make(const QString &sub) { ASSERT_TRUE(QDir().mkpath(Root() + sub)); }
    TDirectories At(const QString &exe, const QString &home = {}, const QString &machine = {})
    {
        return TDirectories(Root() + exe, home, machine.isEmpty() ? Root() + "etc/kiv.ini" : machine);
    }

    QTemporaryDir m_tmp;
};

}  // namespace

TEST_F(DirsTest, InstallDirIsTheFirstFolderWithDllOrTheGrandparent)
{
    struct Case {
        const char *folders;   // created below the root, ";"-separated
        const char *exe;
        const char *expected;  // relative to the root
    };
    const Case cases[] = {
        {"inst/dll", "inst/kiv", "inst/"},
        {"inst/dll;inst/bin", "inst/bin/kiv", "inst/"},
        // bin has no dll of its own, so the root that has one wins
        {"inst/dll;inst/bin/x", "inst/bin/kiv", "inst/"},
        {"inst/bin/dll", "inst/bin/kiv", "inst/bin/"},
        // deeper: neither the folder nor its parent has dll -> grandparent without a test
        {"a/b/c", "a/b/c/kiv", "a/"},
        {"a/b/c/dll", "a/b/c/kiv", "a/b/c/"},
    };
    for (const Case &c : cases) {
        QTemporaryDir tmp;
        for (const QString &f : QString(c.folders).split(';'))
            QDir().mkpath(tmp.path() + "/" + f);
        TDirectories dirs(tmp.path() + "/" + c.exe, {}, tmp.path() + "/etc/kiv.ini");
        EXPECT_EQ(dirs.InstallDir(), tmp.path() + "/" + c.expected) << c.folders << " " << c.exe;
    }
}

TEST_F(DirsTest, FallbacksWhenSubFoldersAreMissing)
{
    Make("inst/dll");
    Make("inst/bin");
    TDirectories bare = At("inst/bin/kiv");
    const QString inst = Root() + "inst/";
    EXPECT_EQ(bare.DllDir(), inst + "dll/");
    EXPECT_EQ(bare.DebuggerProfilesDir(), inst + "Debugger Profiles/");
    EXPECT_EQ(bare.UtilsDir(), inst);
    EXPECT_EQ(bare.CompilerDir(), inst);
    EXPECT_EQ(bare.CompilerProgramDir(), inst);
    EXPECT_EQ(bare.TelmDir(), inst);
    EXPECT_EQ(bare.IcdDir(), inst);
    // The watch library falls back to the library folder, not the root.
    EXPECT_EQ(bare.WatchDir(), inst + "dll/");

    for (const char *sub : {"utils", "lumo", "vync", "telm", "watch", "icd"})
        Make(QString("inst/") + sub);
    TDirectories full = At("inst/bin/kiv");
    EXPECT_EQ(full.UtilsDir(), inst + "utils/");
    EXPECT_EQ(full.CompilerDir(), inst + "lumo/");
    EXPECT_EQ(full.CompilerProgramDir(), inst + "vync/");
    EXPECT_EQ(full.TelmDir(), inst + "telm/");
    EXPECT_EQ(full.WatchDir(), inst + "watch/");
    EXPECT_EQ(full.IcdDir(), inst + "icd/");
}

TEST_F(DirsTest, ValuesAreFixedAtFirstUse)
{
    Make("inst/dll");
    TDirectories dirs = At("inst/kiv");
    EXPECT_EQ(dirs.InstallDir(), Root() + "inst/");
    Make("inst/kivdir/dll");  // a folder created later is not noticed
    EXPECT_EQ(dirs.InstallDir(), Root() + "inst/");
    EXPECT_EQ(dirs.SettingsFilePath(), Root() + "inst/kiv.ini");
    ASSERT_TRUE(test::WriteFile(Root() + "etc/kiv.ini", "[x]\n"));
    EXPECT_EQ(dirs.SettingsFilePath(), Root() + "inst/kiv.ini");
}

TEST_F(DirsTest, SettingsFileChoiceOrder)
{
    Make("inst/dll");
    Make("inst/lumo");
    Make("home");
    const QString home = Root() + "home";
    const QString machine = Root() + "etc/kiv.ini";

    // Neither exists: the compiler folder's file, even though it does not exist yet.
    EXPECT_EQ(At("inst/kiv", home, machine).SettingsFilePath(), Root() + "inst/lumo/kiv.ini");

    // The machine-wide file when the user has none.
    ASSERT_TRUE(test::WriteFile(machine, "[a]\n"));
    EXPECT_EQ(At("inst/kiv", home, machine).SettingsFilePath(), machine);

    // The user's own file first.
    ASSERT_TRUE(test::WriteFile(home + "/kiv.ini", "[a]\n"));
    EXPECT_EQ(At("inst/kiv", home, machine).SettingsFilePath(), home + "/kiv.ini");

    // Without a home folder the machine-wide file is all there is.
    EXPECT_EQ(At("inst/kiv", {}, machine).SettingsFilePath(), machine);
}

TEST_F(DirsTest, SettingsFileLeavesAnUnwritableCompilerFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root can write into any folder";
    Make("inst/dll");
    Make("inst/lumo");
    Make("home");
    QFile::setPermissions(Root() + "inst/lumo", QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(At("inst/kiv", Root() + "home").SettingsFilePath(), Root() + "home/kiv.ini");
    QFile::setPermissions(Root() + "inst/lumo", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(DirsTest, DebuggerLibrariesFromTheDebuggerFoldersInOrder)
{
    Make("inst/dll");
    ASSERT_TRUE(test::WriteFile(Root() + "inst/dll/QOR.so", "x"));
    TDirectories noDebuggers = At("inst/kiv");
    EXPECT_EQ(noDebuggers.ListDebuggerLibraries(), QStringList{Root() + "inst/dll/QOR.so"});

    ASSERT_TRUE(test::WriteFile(Root() + "inst/debuggers/SIMDLL/sim.so", "x"));
    ASSERT_TRUE(test::WriteFile(Root() + "inst/debuggers/SIMDLL/readme.txt", "x"));
    ASSERT_TRUE(test::WriteFile(Root() + "inst/debuggers/VYNICD/icd.so", "x"));
    TDirectories withDebuggers = At("inst/kiv");
    EXPECT_EQ(withDebuggers.ListDebuggerLibraries(),
              (QStringList{Root() + "inst/debuggers/VYNICD/icd.so",
                           Root() + "inst/debuggers/SIMDLL/sim.so"}));
}

TEST(TraceTest, MilestonesOnlyAtLevelOne)
{
    ASSERT_TRUE(CreateTraceFile());
    SetTraceLevel(1);
    TraceMilestone("A");
    SetTraceLevel(2);
    TraceMilestone("B");
    SetTraceLevel(0);
    EXPECT_EQ(test::ReadFile(TraceFilePath()), QByteArray("KIV debug file\nA\n"));
    QFile::remove(TraceFilePath());
}
