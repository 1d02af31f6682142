#include "kivini.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace kiv;

TEST(IniTest, ConventionsOfTheSettingsFile)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("kiv.ini");
    ASSERT_TRUE(test::WriteFile(path, "; comment\r\n[KivForm]\r\nTop=12\r\nleft=abc\r\n"
                                      "[Other]\nname=a=b \n"));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("kivform", "TOP", 0), 12);
    EXPECT_EQ(ini.ReadInteger("kivform", "left", 7), 7);       // unreadable -> default
    EXPECT_EQ(ini.ReadInteger("kivform", "width", 500), 500);  // missing -> default
    EXPECT_EQ(ini.ReadString("other", "NAME"), "a=b ");
    EXPECT_EQ(ini.ReadString("missing", "x", "def"), "def");

    ASSERT_TRUE(ini.WriteBool("other", "flag", true));
    EXPECT_EQ(ini.ReadString("other", "flag"), "1");
    ini.WriteInteger("other", "flag", 5);
    EXPECT_TRUE(ini.ReadBool("other", "flag", false));
    ini.WriteInteger("other", "flag", 0);
    EXPECT_FALSE(ini.ReadBool("other", "flag", true));

    // A key written with other case replaces the existing one, keeping its spelling.
    ASSERT_TRUE(ini.WriteInteger("KIVFORM", "TOP", 99));
    const QByteArray data = test::ReadFile(path);
    EXPECT_TRUE(data.contains("Top=99"));
    EXPECT_EQ(data.count("op=99"), 1);
    EXPECT_TRUE(data.contains("; comment"));
    EXPECT_EQ(ini.ReadSection("kivform"), (QStringList{"Top", "left"}));
}

TEST(IniTest, LastWriterWinsAcrossInstances)
{
    QTemporaryDir tmp;
    TIniFile a(tmp.filePath("kiv.ini"));
    TIniFile b(tmp.filePath("kiv.ini"));
    EXPECT_FALSE(QFile::exists(a.FileName()));
    ASSERT_TRUE(a.WriteString("s", "k", "one"));
    EXPECT_EQ(b.ReadString("s", "k"), "one");
    ASSERT_TRUE(b.WriteString("s", "k", "two"));
    EXPECT_EQ(a.ReadString("s", "k"), "two");
}

TEST(IniTest, FailedWriteLeavesTheFileIntact)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root can write into any folder";
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("ro");
    QDir().mkpath(dir);
    TIniFile ini(dir + "/kiv.ini");
    ASSERT_TRUE(ini.WriteString("s", "k", "kept"));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(ini.WriteString("s", "k", "lost"));
    EXPECT_EQ(ini.ReadString("s", "k"), "kept");
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(IniTest, FullDiskLeavesTheFileIntact)
{
    // A file size limit makes every write past it fail, as a full disk does, even for root.
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    ASSERT_TRUE(ini.WriteString("s", "k", "kept"));
    const QByteArray before = test::ReadFile(ini.FileName());

    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit tiny = old;
    tiny.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const bool written = ini.WriteString("s", "k", QString(200, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::ReadFile(ini.FileName()), before);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList{"kiv.ini"});
}

TEST(IniTest, ValueWithLineBreakStaysOneKey)
{
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    ASSERT_TRUE(ini.WriteString("s", "k", "a\n[evil]\nx=1"));
    EXPECT_FALSE(ini.SectionExists("evil"));
    EXPECT_EQ(ini.ReadString("s", "k"), "a [evil] x=1");
}

TEST(IniTest, BatchWritesOnceAndEraseSection)
{
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    {
        TIniFile::Batch batch(ini);
        batch.WriteInteger("a", "x", 1);
        batch.WriteString("b", "y", "z");
        EXPECT_FALSE(QFile::exists(ini.FileName()));
    }
    EXPECT_EQ(ini.ReadInteger("a", "x", 0), 1);
    EXPECT_EQ(ini.ReadSections(), (QStringList{"a", "b"}));
    ASSERT_TRUE(ini.EraseSection("A"));
    EXPECT_EQ(ini.ReadSections(), QStringList{"b"});
}

TEST(IniTest, Latin1FileIsReadAsLatin1)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("kiv.ini");
    ASSERT_TRUE(test::WriteFile(path, "[s]\nk=caf\xe9\n"));
    EXPECT_EQ(TIniFile(path).ReadString("s", "k"), QString::fromUtf8("caf\xc3\xa9"));
}
