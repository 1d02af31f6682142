#include "textfile.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

TEST(TextFile, Utf8Validation)
{
    struct Case {
        const char *name;
        QByteArray data;
        bool valid;
    };
    const Case cases[] = {
        {"ascii", "abc", true},
        {"two bytes", "\xc3\xa9", true},
        {"three bytes", "\xe2\x82\xac", true},
        {"four bytes", "\xf0\x9f\x98\x80", true},
        {"nul", QByteArray("\0", 1), true},
        {"latin1", "\xe9t\xe9", false},
        {"overlong", "\xc0\x80", false},
        {"surrogate", "\xed\xa0\x80", false},
        {"past U+10FFFF", "\xf4\x90\x80\x80", false},
        {"cut short", "\xe2\x82", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsValidUtf8(c.data), c.valid);
    }
}

TEST(TextFile, FormatFromTheFirstLineEnd)
{
    EXPECT_EQ(DetectTextFormat("a\r\nb\n").lineEnd, TLineEnd::leCrLf);
    EXPECT_EQ(DetectTextFormat("a\nb\r\n").lineEnd, TLineEnd::leLf);
    EXPECT_EQ(DetectTextFormat("a\rb").lineEnd, TLineEnd::leCr);
    EXPECT_EQ(DetectTextFormat("a\r").lineEnd, TLineEnd::leCr);
    EXPECT_EQ(DetectTextFormat("no end").lineEnd, TLineEnd::leLf);
    EXPECT_EQ(DetectTextFormat("\xe9").encoding, TTextEncoding::teLatin1);
    EXPECT_EQ(DetectTextFormat("\xc3\xa9").encoding, TTextEncoding::teUtf8);
}

TEST(TextFile, Latin1RoundTripAndFallback)
{
    TTextEncoding latin1 = TTextEncoding::teLatin1;
    const QByteArray raw("\xe9\xff\x80", 3);
    EXPECT_EQ(FromUtf8(ToUtf8(raw, latin1), latin1), raw);
    EXPECT_EQ(latin1, TTextEncoding::teLatin1);
    const QByteArray euro("\xe2\x82\xac");
    EXPECT_EQ(FromUtf8(euro, latin1), euro);
    EXPECT_EQ(latin1, TTextEncoding::teUtf8);
}

TEST(TextFile, BackupNames)
{
    EXPECT_EQ(BackupFileName("/w/main.c"), "/w/main.BAK");
    EXPECT_EQ(BackupFileName("/w/Makefile"), "/w/Makefile.BAK");
    EXPECT_EQ(BackupFileName("/w.d/a.b.h"), "/w.d/a.b.BAK");
}

class SafeWrite : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.filePath(name); }
    QStringList Files() const
    {
        return QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QTemporaryDir m_tmp;
};

TEST_F(SafeWrite, NewFileWithoutBackup)
{
    ASSERT_TRUE(WriteFileSafely(Path("new.c"), "text", true));
    EXPECT_EQ(ReadFile(Path("new.c")), "text");
    EXPECT_EQ(Files(), QStringList{"new.c"});
}

TEST_F(SafeWrite, ExistingFileMovesToBackupKeepingItsPermissions)
{
    ASSERT_TRUE(WriteFile(Path("a.c"), "old"));
    ASSERT_TRUE(WriteFile(Path("a.BAK"), "older"));
    QFile::setPermissions(Path("a.c"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(WriteFileSafely(Path("a.c"), "new", true));
    EXPECT_EQ(ReadFile(Path("a.c")), "new");
    EXPECT_EQ(ReadFile(Path("a.BAK")), "old");
    EXPECT_TRUE(QFile::permissions(Path("a.c")) & QFile::ExeOwner);
    EXPECT_EQ(Files(), (QStringList{"a.BAK", "a.c"}));
    ASSERT_TRUE(WriteFileSafely(Path("a.c"), "newer", false));
    EXPECT_EQ(ReadFile(Path("a.BAK")), "old");
}

TEST_F(SafeWrite, SymbolicLinkStaysALink)
{
    ASSERT_TRUE(WriteFile(Path("real.c"), "old"));
    ASSERT_TRUE(QFile::link(Path("real.c"), Path("link.c")));
    ASSERT_TRUE(WriteFileSafely(Path("link.c"), "new", false));
    EXPECT_TRUE(QFileInfo(Path("link.c")).isSymLink());
    EXPECT_EQ(ReadFile(Path("real.c")), "new");
}

// Failures leave every file as it was, and nothing half-written behind.
TEST_F(SafeWrite, FailuresChangeNothing)
{
    ASSERT_TRUE(WriteFile(Path("a.c"), "old"));
    // A backup name that cannot be replaced (a folder with contents).
    ASSERT_TRUE(WriteFile(Path("a.BAK/keep"), "x"));
    QString error;
    EXPECT_FALSE(WriteFileSafely(Path("a.c"), "new", true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFile(Path("a.c")), "old");
    EXPECT_EQ(Files(), QStringList{"a.c"});
    EXPECT_FALSE(WriteFileSafely(Path("a.c"), "new", true, &error));   // and again
    EXPECT_EQ(ReadFile(Path("a.c")), "old");

    // A folder in place of the file, and a folder that does not exist.
    EXPECT_FALSE(WriteFileSafely(Path("a.BAK"), "new", false, &error));
    EXPECT_FALSE(WriteFileSafely(Path("none/b.c"), "new", false, &error));
    EXPECT_EQ(Files(), QStringList{"a.c"});
}

// The superuser may write any file: the check runs with the file system rights of an ordinary
// user, as the IDE usually does.
class TOrdinaryUser {
public:
    TOrdinaryUser()
    {
        if (::geteuid() == 0)
            m_previous = ::setfsuid(65534);
    }
    ~TOrdinaryUser()
    {
        if (m_previous >= 0)
            ::setfsuid(m_previous);
    }

private:
    int m_previous = -1;
};

TEST_F(SafeWrite, ReadOnlyFileIsRefused)
{
    ASSERT_TRUE(WriteFile(Path("ro.c"), "old"));
    QFile::setPermissions(Path("ro.c"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(m_tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    QString error;
    bool written = true;
    {
        TOrdinaryUser user;
        written = WriteFileSafely(Path("ro.c"), "new", true, &error);
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFile(Path("ro.c")), "old");
    EXPECT_EQ(Files(), QStringList{"ro.c"});
}

TEST(TextFile, AgeOfAMissingFile)
{
    QTemporaryDir tmp;
    EXPECT_EQ(FileAge(tmp.filePath("none")), -1);
    ASSERT_TRUE(WriteFile(tmp.filePath("a"), "x"));
    EXPECT_GT(FileAge(tmp.filePath("a")), 0);
}
