#include "kivfif_replace.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

TEST(Replace, OnlyTheMatchesChange)
{
    struct Case {
        const char *name;
        QByteArray before;
        TTextEncoding encoding;
        const char *text;
        const char *with;
        bool matchCase;
        bool wholeWord;
        QByteArray after;
        qsizetype count;
    };
    const auto latin1 = TTextEncoding::teLatin1;
    const auto utf8 = TTextEncoding::teUtf8;
    const Case cases[] = {
        {"CR LF kept", "foo = 1;\r\nbar(foo);\r\n", utf8, "foo", "count", true, false,
         "count = 1;\r\nbar(count);\r\n", 2},
        {"ignore case", "FOO Foo foo\n", utf8, "foo", "x", false, false, "x x x\n", 3},
        {"match case", "FOO Foo foo\n", utf8, "foo", "x", true, false, "FOO Foo x\n", 1},
        {"whole words only", "foo foobar _foo foo\n", utf8, "foo", "x", true, true,
         "x foobar _foo x\n", 2},
        {"no overlap, left to right", "aaaa\n", utf8, "aa", "b", true, false, "bb\n", 2},
        {"longer replacement", "a.a\n", utf8, "a", "abc", true, false, "abc.abc\n", 2},
        {"Latin-1 text stays Latin-1", "/* \xe9t\xe9 */ int t;\n", latin1, "été", "hiver", true,
         false, "/* hiver */ int t;\n", 1},
        {"Latin-1 replacement written as Latin-1", "int t;\n", latin1, "t", "é", true, true,
         "int \xe9;\n", 1},
        {"UTF-8 replacement written as UTF-8", "int t;\n", utf8, "t", "é", true, true,
         "int \xc3\xa9;\n", 1},
        {"nothing found", "abc\n", utf8, "x", "y", true, false, "abc\n", 0},
        {"to nothing", "a-b-c\n", utf8, "-", "", true, false, "abc\n", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TFindOptions options;
        options.text = QString::fromUtf8(c.text);
        options.matchCase = c.matchCase;
        options.wholeWord = c.wholeWord;
        QByteArray data = c.before;
        EXPECT_EQ(ReplaceInBytes(data, c.encoding, options, QString::fromUtf8(c.with)), c.count);
        EXPECT_EQ(data, c.after);
    }
}

TEST(Replace, ReplacementLatin1CannotHoldIsRefused)
{
    TFindOptions options;
    options.text = QStringLiteral("t");
    QByteArray data = "t \xe9\n";
    EXPECT_EQ(ReplaceInBytes(data, TTextEncoding::teLatin1, options, QStringLiteral("€")), -1);
    EXPECT_EQ(data, QByteArray("t \xe9\n"));
}

class ReplaceFiles : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.path() + '/' + name; }
    TFindOptions Options(const char *text) const
    {
        TFindOptions options;
        options.text = QString::fromUtf8(text);
        options.matchCase = true;
        return options;
    }
    QTemporaryDir m_tmp;
};

TEST_F(ReplaceFiles, FileKeepsItsEncodingAndLineEnds)
{
    const QByteArray crlf = "/* \xe9t\xe9 */\r\nint foo;\r\nfoo = 2;\r\n";
    ASSERT_TRUE(WriteFile(Path("a.c"), crlf));
    const TReplaceOutcome outcome = ReplaceInFile(Path("a.c"), Options("foo"), QStringLiteral("bar"));
    EXPECT_FALSE(outcome.failed) << outcome.error.toStdString();
    EXPECT_EQ(outcome.replacements, 2);
    EXPECT_EQ(ReadFile(Path("a.c")), QByteArray("/* \xe9t\xe9 */\r\nint bar;\r\nbar = 2;\r\n"));
    // No backup is left beside it.
    EXPECT_FALSE(QFileInfo::exists(Path("a.BAK")));
}

TEST_F(ReplaceFiles, FilesThatCannotBeChangedStayAsTheyWere)
{
    ASSERT_TRUE(WriteFile(Path("bin.o"), QByteArray("foo\0", 4)));
    ASSERT_TRUE(WriteFile(Path("latin.c"), "foo \xe9\n"));
    ASSERT_TRUE(WriteFile(Path("none.c"), "bar\n"));
    struct Case {
        const char *file;
        const char *with;
        bool failed;
    };
    const Case cases[] = {
        {"bin.o", "x", true},
        {"latin.c", "€", true},   // Latin-1 cannot hold it
        {"missing.c", "x", true},
        {"none.c", "x", false},   // nothing to replace: not written
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray before = ReadFile(Path(c.file));
        const TReplaceOutcome outcome = ReplaceInFile(Path(c.file), Options("foo"), QString::fromUtf8(c.with));
        EXPECT_EQ(outcome.failed, c.failed);
        EXPECT_EQ(outcome.failed, !outcome.error.isEmpty());
        EXPECT_EQ(outcome.replacements, 0);
        EXPECT_EQ(ReadFile(Path(c.file)), before);
    }
}

TEST_F(ReplaceFiles, LatinOneFileThatWouldReadAsUtf8IsRefused)
{
    // "\xc3" followed by the replacement's Latin-1 byte 0xa9 would form the UTF-8 of "é".
    ASSERT_TRUE(WriteFile(Path("odd.c"), "\xc3x\n"));
    const TReplaceOutcome outcome = ReplaceInFile(Path("odd.c"), Options("x"), QStringLiteral("©"));
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(ReadFile(Path("odd.c")), QByteArray("\xc3x\n"));
}

TEST_F(ReplaceFiles, AFileThatCannotBeWrittenKeepsItsText)
{
    // The folder and file belong to someone else: an ordinary user may read but not write.
    ASSERT_TRUE(WriteFile(Path("ro/main.c"), "int foo;\n"));
    ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755);
    ::chmod(QFile::encodeName(Path("ro")).constData(), 0555);
    ::chmod(QFile::encodeName(Path("ro/main.c")).constData(), 0444);
    const int previous = ::geteuid() == 0 ? ::setfsuid(65534) : -1;
    const TReplaceOutcome outcome = ReplaceInFile(Path("ro/main.c"), Options("foo"), QStringLiteral("bar"));
    if (previous >= 0)
        ::setfsuid(previous);
    ::chmod(QFile::encodeName(Path("ro")).constData(), 0755);
    EXPECT_TRUE(outcome.failed);
    EXPECT_FALSE(outcome.error.isEmpty());
    EXPECT_EQ(ReadFile(Path("ro/main.c")), QByteArray("int foo;\n"));
    EXPECT_EQ(QDir(Path("ro")).entryList(QDir::Files), QStringList({"main.c"}));
}
