#include "testfiles.h"
#include "uErrorList_model.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

TEST(MessageLine, Form)
{
    struct Case {
        const char *line;
        bool message;
    };
    const Case cases[] = {
        {"*** Error 12 \"a.c\" Line 3: x", true},
        {"--- Warning 203 \"a.c\" Line 3: x", true},
        {">>> Info \"a.c\" Line 3: x", true},
        {"..x\"a.c\" Line 3: x", false},
        {"....\"a.c\" Line 3: x", true},
        {"Error: something", false},
        {"", false},
        {" *** Error", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsMessageLine(QString::fromLatin1(c.line)), c.message) << c.line;
}

TEST(MessageLine, Positions)
{
    struct Case {
        const char *line;
        bool parsed;
        const char *file;
        int line_;
        int start;
        int end;
    };
    const Case cases[] = {
        {"*** Error 12 \"blink.c\" Line 5(3,8): Undefined identifier", true, "blink.c", 5, 3, 8},
        {"*** Error 12 \"/p/blink.asm\" Line 17: Unknown opcode", true, "/p/blink.asm", 17, -1, -1},
        {"--- Warning 203 \"x.h\" Line 100(1,40): Condition always TRUE", true, "x.h", 100, 1, 40},
        {"*** Error \"a b.c\" Line 2: x: y", true, "a b.c", 2, -1, -1},
        {"*** Error 12 \"a.c\" Line five: x", false, "", 0, 0, 0},
        {"*** Error 12 \"a.c\" Line 5(3,x): x", false, "", 0, 0, 0},
        {"*** Error 12 \"a.c\" Line 5(3,8: x", false, "", 0, 0, 0},
        {"*** Error 12 \"a.c\" Line 5", false, "", 0, 0, 0},
        {"*** Error 12 no quotes Line 5: x", false, "", 0, 0, 0},
        {"Plain text \"a.c\" Line 5: x", false, "", 0, 0, 0},
    };
    for (const Case &c : cases) {
        const auto position = ParseMessageLine(QString::fromLatin1(c.line));
        ASSERT_EQ(position.has_value(), c.parsed) << c.line;
        if (!position)
            continue;
        EXPECT_EQ(position->file, QString::fromLatin1(c.file)) << c.line;
        EXPECT_EQ(position->line, c.line_) << c.line;
        EXPECT_EQ(position->startColumn, c.start) << c.line;
        EXPECT_EQ(position->endColumn, c.end) << c.line;
    }
}

TEST(ErrorLine, StarOrErrorStartsAFailure)
{
    EXPECT_TRUE(IsErrorLine("*"));
    EXPECT_TRUE(IsErrorLine("*** anything"));
    EXPECT_TRUE(IsErrorLine("Error: The selected compiler"));
    EXPECT_TRUE(IsErrorLine("Errors: 3"));
    EXPECT_FALSE(IsErrorLine(""));
    EXPECT_FALSE(IsErrorLine("error lower case"));
    EXPECT_FALSE(IsErrorLine(" *** indented"));
    EXPECT_FALSE(IsErrorLine("--- Warning"));
    EXPECT_FALSE(IsErrorLine("No Errors"));
}

class ErrorListFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.isValid()); }
    QString Err(const QByteArray &text)
    {
        const QString path = m_temp.path() + "/main.err";
        WriteFile(path, text);
        return path;
    }
    QTemporaryDir m_temp;
};

TEST_F(ErrorListFile, TheFirstErrorLineIsSelectedAndMarksTheFailure)
{
    struct Case {
        QByteArray text;
        int selected;
    };
    const Case cases[] = {
        {"No Errors\r\n", -1},
        {"", -1},
        {"*\r\n", 0},
        {"\r\n--- Warning 203 \"a.c\" Line 1: w\r\n*** Error 1 \"a.c\" Line 2: e\r\n", 2},
        {"Memory usage: 1%\nError: something\n*** Error 2\n", 1},
    };
    for (const Case &c : cases) {
        TErrorListModel errors;
        bool failed = true;
        ASSERT_TRUE(errors.LoadErrorFile(Err(c.text), &failed));
        EXPECT_EQ(errors.Selected(), c.selected) << c.text.constData();
        EXPECT_EQ(failed, c.selected >= 0) << c.text.constData();
    }
}

TEST_F(ErrorListFile, LinesAreKeptInFileOrderAndReplacedByTheNextFile)
{
    TErrorListModel errors;
    ASSERT_TRUE(errors.LoadErrorFile(Err("one\r\ntwo\r\n\r\nfour\r\n"), nullptr));
    EXPECT_EQ(errors.Lines(), QStringList({"one", "two", "", "four"}));
    QSignalSpy changed(&errors, &TErrorListModel::LinesChanged);
    ASSERT_TRUE(errors.LoadErrorFile(Err("*** only\r\n"), nullptr));
    EXPECT_EQ(errors.Lines(), QStringList({"*** only"}));
    EXPECT_GE(changed.count(), 1);
}

TEST_F(ErrorListFile, AMissingFileLeavesAnEmptyListAndSaysSo)
{
    TErrorListModel errors;
    errors.AddLine("stale");
    bool failed = true;
    EXPECT_FALSE(errors.LoadErrorFile(m_temp.path() + "/none.err", &failed));
    EXPECT_EQ(errors.Count(), 0);
    EXPECT_FALSE(failed);
    // A folder in its place is no file either.
    QDir().mkpath(m_temp.path() + "/dir.err");
    EXPECT_FALSE(errors.LoadErrorFile(m_temp.path() + "/dir.err", &failed));
}

TEST_F(ErrorListFile, BinaryContentIsListedWithoutHarm)
{
    QByteArray binary(4096, '\0');
    for (int n = 0; n < binary.size(); ++n)
        binary[n] = char(n * 37);
    TErrorListModel errors;
    ASSERT_TRUE(errors.LoadErrorFile(Err(binary), nullptr));
    EXPECT_GT(errors.Count(), 0);
}

TEST(ErrorListSelection, OutOfRangeSelectsNothing)
{
    TErrorListModel errors;
    errors.AddLine("a");
    errors.SetSelected(0);
    EXPECT_EQ(errors.Selected(), 0);
    errors.SetSelected(5);
    EXPECT_EQ(errors.Selected(), -1);
}

}  // namespace
}  // namespace kiv::test
