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

// A large settings file is read once, not once per key: hundreds of reads at start-up cost one
// parse. A change by anyone (another program, an edit in place) is seen at the next read.
TEST(IniTest, AFileIsParsedOnceWhileItIsUnchanged)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("big.ini");
    QByteArray text = "[first]\r\nkey=1\r\n";
    for (int n = 0; n < 20000; ++n)
        text += "[s" + QByteArray::number(n) + "]\r\nk=" + QByteArray::number(n) + "\r\n";
    text += "[Last]\r\nKey=last\r\n[first]\r\nkey=duplicate\r\n";
    ASSERT_TRUE(test::WriteFile(path, text));
    const TIniFile ini(path);
    const int before = TIniFile::FileParses();
    for (int n = 0; n < 500; ++n)
        EXPECT_EQ(ini.ReadInteger("s" + QString::number(n * 40), "K", -1), n * 40);
    EXPECT_EQ(ini.ReadString("last", "key"), "last");
    EXPECT_EQ(ini.ReadString("first", "key"), "1") << "the first section of a name counts";
    EXPECT_TRUE(ini.SectionExists("S19999"));
    EXPECT_EQ(ini.ReadSection("LAST"), QStringList{"Key"});
    EXPECT_EQ(TIniFile::FileParses() - before, 1);

    // Written by another program, same size: seen at once.
    QByteArray changed = text;
    changed.replace("Key=last", "Key=next");
    ASSERT_TRUE(test::WriteFile(path, changed));
    EXPECT_EQ(ini.ReadString("last", "key"), "next");
    // Written through this class: no read-back needed, and the value is there.
    TIniFile writer(path);
    ASSERT_TRUE(writer.WriteString("last", "key", "mine"));
    const int afterWrite = TIniFile::FileParses();
    EXPECT_EQ(ini.ReadString("last", "key"), "mine");
    EXPECT_EQ(TIniFile::FileParses(), afterWrite);
}

// A settings file that is not text reads as empty (every key takes its default), and says so.
TEST(IniTest, ABinaryFileReadsAsEmpty)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("kiv.ini");
    ASSERT_TRUE(test::WriteFile(path, QByteArray("[s]\r\nk=1\r\n\0\x01\x02\xff", 14)));
    const TIniFile ini(path);
    EXPECT_FALSE(ini.IsTextFile());
    EXPECT_EQ(ini.ReadInteger("s", "k", 7), 7);
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    EXPECT_TRUE(TIniFile(tmp.filePath("none.ini")).IsTextFile()) << "a missing file is an empty text";
    TIniFile writer(path);
    ASSERT_TRUE(writer.WriteInteger("s", "k", 2));
    EXPECT_TRUE(ini.IsTextFile());
    EXPECT_EQ(ini.ReadInteger("s", "k", 7), 2);
}
