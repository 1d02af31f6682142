#include "kivfif_search.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::WriteFile;

namespace {

struct TFound {
    qint64 line;
    std::string text;
    qsizetype column;
};

std::vector<TFound> Search(const QByteArray &data, const TFindOptions &options, bool utf8 = true)
{
    std::vector<TFound> found;
    TFileSearcher searcher(options);
    searcher.SearchBytes(data.constData(), data.size(), utf8, [&](const TLineMatch &m) {
        found.push_back({m.line, std::string(m.text), m.column});
    });
    return found;
}

std::string Lines(const std::vector<TFound> &found)
{
    std::string out;
    for (const TFound &f : found)
        out += std::to_string(f.line) + ':' + std::to_string(f.column) + ':' + f.text + '|';
    return out;
}

}  // namespace

TEST(FindSearch, MatchingRules)
{
    struct Case {
        const char *name;
        QByteArray data;
        const char *text;
        bool matchCase;
        bool wholeWord;
        const char *expected;   // line:byte column:text| per matching line
    };
    const Case cases[] = {
        {"plain", "int a;\nfoo();\nbar\n", "foo", true, false, "2:0:foo();|"},
        {"case folds ASCII", "FOO\nfoo\nFoO\nfo\n", "foo", false, false, "1:0:FOO|2:0:foo|3:0:FoO|"},
        {"match case", "FOO\nfoo\n", "foo", true, false, "2:0:foo|"},
        {"first of two in a line", "a foo foo\n", "foo", true, false, "1:2:a foo foo|"},
        {"whole word skips a part of a word", "foobar foo\n", "foo", true, true, "1:7:foobar foo|"},
        {"whole word: underscore and digits are word", "foo_ 1foo foo2\n", "foo", true, true, ""},
        {"whole word at both ends of the line", "foo\n(foo)\n", "foo", true, true, "1:0:foo|2:1:(foo)|"},
        {"CR LF: the CR stays in the line", "a\r\nfoo\r\n", "foo", true, false, "2:0:foo\r|"},
        {"no final line break", "x\nlast foo", "foo", true, false, "2:5:last foo|"},
        {"empty text", "foo\n", "", true, false, ""},
        {"empty data", "", "foo", true, false, ""},
        {"match at the very end", "abc\nfoo", "foo", true, false, "2:0:foo|"},
        {"empty lines counted", "\n\n\nfoo\n\n", "foo", true, false, "4:0:foo|"},
        {"pattern longer than data", "fo", "foo", true, false, ""},
        {"tab in the line", "\tfoo\n", "foo", true, false, "1:1:\tfoo|"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TFindOptions options;
        options.text = QString::fromUtf8(c.text);
        options.matchCase = c.matchCase;
        options.wholeWord = c.wholeWord;
        EXPECT_EQ(Lines(Search(c.data, options)), c.expected);
    }
}

TEST(FindSearch, NonAsciiTextIsFoundInUtf8AndLatin1Files)
{
    TFindOptions options;
    options.text = QStringLiteral("réglage");
    options.matchCase = true;
    const QByteArray utf8 = QStringLiteral("// réglage\n").toUtf8();
    const QByteArray latin1 = QStringLiteral("// réglage\n").toLatin1();
    EXPECT_EQ(Search(utf8, options, true).size(), 1u);
    EXPECT_EQ(Search(latin1, options, false).size(), 1u);
    // The UTF-8 bytes of the text are not looked for in a Latin-1 file, nor the reverse.
    EXPECT_EQ(Search(utf8, options, false).size(), 0u);
    EXPECT_EQ(Search(latin1, options, true).size(), 0u);
    // A text Latin-1 cannot hold is not in a Latin-1 file.
    options.text = QStringLiteral("€");
    EXPECT_EQ(Search(QByteArray("\x80\n"), options, false).size(), 0u);
}

TEST(FindSearch, LineNumbersDoNotWrapAfter65536Lines)
{
    QByteArray data;
    for (int n = 1; n <= 70000; ++n)
        data += (n == 65537 || n == 69999 ? "here foo\n" : "line\n");
    TFindOptions options;
    options.text = QStringLiteral("foo");
    const std::vector<TFound> found = Search(data, options);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].line, 65537);
    EXPECT_EQ(found[1].line, 69999);
}

TEST(FindSearch, AVeryLongLineIsOneLine)
{
    QByteArray data = "first\n" + QByteArray(5'000'000, 'x') + "foo" + QByteArray(1000, 'y') + "\nlast foo\n";
    TFindOptions options;
    options.text = QStringLiteral("FOO");
    const std::vector<TFound> found = Search(data, options);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].line, 2);
    EXPECT_EQ(found[0].column, 5'000'000);
    EXPECT_EQ(found[0].text.size(), 5'001'003u);
    EXPECT_EQ(found[1].line, 3);
}

TEST(FindSearch, ColumnsAndTextForPeople)
{
    const std::string utf8 = QStringLiteral("é€x foo\r").toUtf8().toStdString();
    EXPECT_EQ(CharacterColumn(utf8, qsizetype(utf8.find("foo")), true), 5);
    EXPECT_EQ(DecodeMatchedLine(utf8, true), QStringLiteral("é€x foo"));
    const std::string latin1 = "\xe9t\xe9 foo";
    EXPECT_EQ(CharacterColumn(latin1, 4, false), 5);
    EXPECT_EQ(DecodeMatchedLine(latin1, false), QStringLiteral("été foo"));
}

class FindFiles : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.path() + '/' + name; }
    QByteArray Local(const QString &name) const { return QFile::encodeName(Path(name)); }
    QTemporaryDir m_tmp;
};

TEST_F(FindFiles, FileStatuses)
{
    ASSERT_TRUE(WriteFile(Path("a.c"), "int foo;\n"));
    ASSERT_TRUE(WriteFile(Path("bin.o"), QByteArray("foo\0\x01\x02", 6)));
    ASSERT_TRUE(WriteFile(Path("empty.c"), ""));
    ASSERT_EQ(::mkfifo(Local("pipe").constData(), 0644), 0);
    TFindOptions options;
    options.text = QStringLiteral("foo");
    TFileSearcher searcher(options);
    int matches = 0;
    const auto count = [&](const TLineMatch &) { ++matches; };
    EXPECT_EQ(searcher.SearchFile(Local("a.c"), count), fsSearched);
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(searcher.SearchFile(Local("bin.o"), count), fsBinary);
    EXPECT_EQ(searcher.SearchFile(Local("empty.c"), count), fsSearched);
    // A pipe is neither waited for nor read.
    EXPECT_EQ(searcher.SearchFile(Local("pipe"), count), fsNotAFile);
    EXPECT_EQ(searcher.SearchFile(Local("."), count), fsNotAFile);
    QString error;
    EXPECT_EQ(searcher.SearchFile(Local("missing.c"), count, &error), fsUnreadable);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(matches, 1);
}

TEST_F(FindFiles, UnreadableFile)
{
    ASSERT_TRUE(WriteFile(Path("secret.c"), "foo\n"));
    ::chmod(Local("secret.c").constData(), 0);
    ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755);
    TFindOptions options;
    options.text = QStringLiteral("foo");
    TFileSearcher searcher(options);
    // As an ordinary user (the superuser reads everything).
    const int previous = ::geteuid() == 0 ? ::setfsuid(65534) : -1;
    QString error;
    const TFileStatus status = searcher.SearchFile(Local("secret.c"), [](const TLineMatch &) {}, &error);
    if (previous >= 0)
        ::setfsuid(previous);
    EXPECT_EQ(status, fsUnreadable);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(FindFiles, WalkOrderSubfoldersAndLinks)
{
    for (const char *name : {"b.c", "a.c", "sub/z.c", "sub/deeper/y.h", "c/x.c"})
        ASSERT_TRUE(WriteFile(Path(name), "x\n"));
    ASSERT_EQ(::symlink(Local("sub").constData(), Local("sub/loop").constData()), 0);
    ASSERT_EQ(::symlink(Local("a.c").constData(), Local("link.c").constData()), 0);
    const auto walk = [&](bool subfolders, const QByteArray &root) {
        QStringList seen;
        WalkFolder(root, subfolders, [&](const QByteArray &path) {
            seen << QFile::decodeName(path).mid(m_tmp.path().size() + 1);
            return true;
        });
        return seen;
    };
    EXPECT_EQ(walk(false, QFile::encodeName(m_tmp.path())), QStringList({"a.c", "b.c"}));
    EXPECT_EQ(walk(true, QFile::encodeName(m_tmp.path())),
              QStringList({"a.c", "b.c", "c/x.c", "sub/deeper/y.h", "sub/z.c"}));
    // A trailing "/" names the same folder.
    EXPECT_EQ(walk(true, QFile::encodeName(m_tmp.path()) + "//"),
              walk(true, QFile::encodeName(m_tmp.path())));
    EXPECT_FALSE(WalkFolder(Local("missing"), true, [](const QByteArray &) { return true; }));

    // Cancelling stops the walk.
    std::atomic<bool> cancel{false};
    int files = 0;
    WalkFolder(QFile::encodeName(m_tmp.path()), true, [&](const QByteArray &) {
        cancel = ++files == 2;
        return true;
    }, &cancel);
    EXPECT_EQ(files, 2);
}

TEST(FindSearch, FolderPathsAsGrepPrintsThem)
{
    EXPECT_EQ(TrimFolderPath("src/"), QByteArray("src"));
    EXPECT_EQ(TrimFolderPath("src//"), QByteArray("src"));
    EXPECT_EQ(TrimFolderPath("/"), QByteArray("/"));
    EXPECT_EQ(TrimFolderPath("src"), QByteArray("src"));
}
