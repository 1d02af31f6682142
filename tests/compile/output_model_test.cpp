// The positions the Output window's lists lead to: find-result lines and the selection a
// go-to-position makes.

#include "uOutputForm_model.h"

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

TEST(FindResultLine, ThePositionFollowsTheQuoteBeforeLine)
{
    const struct {
        const char *line;
        bool parsed;
        int lineNumber, start, end;
    } cases[] = {
        {R"(... "/p/blink.asm" Line 35(9,13):         goto    loop)", true, 35, 9, 13},
        {R"(... "/p/a b.c" Line 2(5,8): x = foo; // a: b)", true, 2, 5, 8},
        // The path is not read from the text: the list keeps it beside the entry.
        {R"(... "C:\odd "name" Line 7(1,4): text)", true, 7, 1, 4},
        {R"(... "/p/a.c" Line 12: whole line)", true, 12, -1, -1},
        {R"(... "/p/a.c" Line 1x(1,4): text)", false, 0, 0, 0},
        {R"(... "/p/a.c" Line 3(1,y): text)", false, 0, 0, 0},
        {R"(... "/p/a.c" Line 3(1,4 text)", false, 0, 0, 0},
        {R"(... "/p/a.c" Line (1,4): text)", false, 0, 0, 0},
        {R"(... "/p/a.c" line 3(1,4): lower-case Line)", false, 0, 0, 0},
        {R"(.. "/p/a.c" Line 3(1,4): fifth character not a quote)", false, 0, 0, 0},
        {R"(Found "/p/a.c" Line 3(1,4): not a message line)", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const auto &c : cases) {
        const std::optional<TMessagePosition> position = ParseFindResultLine(c.line);
        ASSERT_EQ(position.has_value(), c.parsed) << c.line;
        if (!position)
            continue;
        EXPECT_EQ(position->line, c.lineNumber) << c.line;
        EXPECT_EQ(position->startColumn, c.start) << c.line;
        EXPECT_EQ(position->endColumn, c.end) << c.line;
        EXPECT_TRUE(position->file.isEmpty());
    }
}

TEST(FindResultLine, TabsAreShownAsThreeSpaces)
{
    EXPECT_EQ(FindResultText("a\tb\t\tc"), "a   b      c");
    EXPECT_EQ(FindResultText(""), "");
}

TEST(GoToSelection, SelectsTheColumnsOnTheLineAndPutsItTenLinesBelowTheTop)
{
    const struct {
        const char *name;
        int lineCount, lineLength, line, start, end;
        bool select;
        TextPos anchor, caret;
        int topLine;
    } cases[] = {
        {"columns", 100, 30, 40, 9, 14, true, {40, 9}, {40, 14}, 30},
        {"whole line", 100, 30, 40, -1, -1, true, {40, 1}, {40, 31}, 30},
        {"start below 0", 100, 30, 40, -5, 6, true, {40, 1}, {40, 6}, 30},
        {"start 0", 100, 30, 40, 0, 6, true, {40, 1}, {40, 6}, 30},
        {"end below 0", 100, 30, 40, 7, -1, true, {40, 7}, {40, 31}, 30},
        {"columns past the end", 100, 30, 40, 50, 90, true, {40, 31}, {40, 31}, 30},
        {"empty line", 100, 0, 40, -1, -1, true, {40, 1}, {40, 1}, 30},
        {"near the top", 100, 30, 4, 2, 3, true, {4, 2}, {4, 3}, 1},
        {"line 11", 100, 30, 11, 2, 3, true, {11, 2}, {11, 3}, 1},
        {"line 12", 100, 30, 12, 2, 3, true, {12, 2}, {12, 3}, 2},
        {"last line", 100, 30, 100, 1, 2, true, {100, 1}, {100, 2}, 90},
        {"beyond the end", 100, 0, 101, 1, 2, false, {1, 1}, {1, 1}, 1},
        {"line 0", 100, 0, 0, 1, 2, false, {1, 1}, {1, 1}, 1},
        {"negative line", 100, 0, -3, 1, 2, false, {1, 1}, {1, 1}, 1},
        {"empty text", 0, 0, 1, 1, 2, false, {1, 1}, {1, 1}, 1},
    };
    for (const auto &c : cases) {
        const TGoToSelection s = GoToSelection(c.lineCount, c.lineLength, c.line, c.start, c.end);
        EXPECT_EQ(s.select, c.select) << c.name;
        if (!c.select)
            continue;
        EXPECT_EQ(s.anchor, c.anchor) << c.name;
        EXPECT_EQ(s.caret, c.caret) << c.name;
        EXPECT_EQ(s.topLine, c.topLine) << c.name;
    }
}

}  // namespace
}  // namespace kiv::test
