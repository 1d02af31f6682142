// The bracket matcher on small texts: forward and backward searches past strings, block
// comments and line comments, the bracket at the caret, and the search limits.

#include "CPareMatch.h"
#include "linetext.h"

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::TLineText;

namespace {

struct MatchCase {
    const char *name;
    std::vector<std::string> lines;
    int line;      // the bracket's line
    int column;    // the bracket's column
    TPareResult expected;  // (0, 0): not found
};

TPareResult Match(const TLineText &text, int line, int column, int forwardLimit = 0, int backwardLimit = 1)
{
    CPareMatch match(text);
    const std::string &lineText = text.Lines()[size_t(line - 1)];
    EXPECT_LE(column, int(lineText.size()));
    const char bracket = column <= int(lineText.size()) ? lineText[size_t(column - 1)] : ' ';
    match.Setup(bracket, line, forwardLimit ? forwardLimit : text.LineCount(), backwardLimit, column);
    match.Find();
    return match.Result();
}

}  // namespace

TEST(CPareMatch, FindsThePartnersOfATable)
{
    const MatchCase cases[] = {
        {"round on a line", {"f(a, b);"}, 1, 2, {7, 1}},
        {"round backwards", {"f(a, b);"}, 1, 7, {2, 1}},
        {"nested", {"f(g(a), (b));"}, 1, 2, {12, 1}},
        {"nested backwards", {"f(g(a), (b));"}, 1, 12, {2, 1}},
        {"square", {"a[i[2]] = 1;"}, 1, 2, {7, 1}},
        {"braces over lines", {"void f() {", "  if (a) {", "  }", "}"}, 1, 10, {1, 4}},
        {"braces backwards over lines", {"void f() {", "  if (a) {", "  }", "}"}, 4, 1, {10, 1}},
        {"other kinds do not count", {"f([)]"}, 1, 2, {4, 1}},
        {"( in a string", {"f(\"(\", a)"}, 1, 2, {9, 1}},
        {"( in a string backwards", {"f(\"(\", a)"}, 1, 9, {2, 1}},
        {"escaped quote in a string", {"f(\"\\\")\", a)"}, 1, 2, {11, 1}},
        {"escaped quote backwards", {"f(\"\\\")\", a)"}, 1, 11, {2, 1}},
        {"escaped backslash ends the string", {"f(\"\\\\\", a)"}, 1, 2, {10, 1}},
        {"escaped backslash backwards", {"f(\"\\\\\", a)"}, 1, 10, {2, 1}},
        {"( in a block comment", {"f(a /* ( */, b)"}, 1, 2, {15, 1}},
        {") in a block comment backwards", {"f(a /* ) */, b)"}, 1, 15, {2, 1}},
        {"block comment over lines", {"f(a /* )", "  ) */", "  )"}, 1, 2, {3, 3}},
        {"block comment over lines backwards", {"f(a /* (", "  ( */", "  )"}, 3, 3, {2, 1}},
        {") in a line comment", {"f(a, // )", "  b)"}, 1, 2, {4, 2}},
        {"( in a line comment backwards", {"f(a, // (", "  b)"}, 2, 4, {2, 1}},
        {") after // on the partner's line", {"x = (a); // )", "if (b)"}, 2, 6, {4, 2}},
        {"( after // on the partner's line is skipped", {"f(a, b // (", ")"}, 2, 1, {2, 1}},
        {"quote in a line comment backwards", {"f(a, // say \"hi", "  b)"}, 2, 4, {2, 1}},
        {"// in a string on the partner's line", {"f(\"http://x\",", "  b)"}, 2, 4, {2, 1}},
        {"backwards from a bracket in a line comment", {"f(a);", "x; // b)"}, 2, 8, {0, 0}},
        {"no partner", {"f(a;", "b;"}, 1, 2, {0, 0}},
        {"no partner backwards", {"a);"}, 1, 2, {0, 0}},
        {"an unclosed ( inside braces", {"{ ( }"}, 1, 1, {5, 1}},
    };
    for (const MatchCase &c : cases) {
        TLineText text(c.lines);
        EXPECT_EQ(Match(text, c.line, c.column), c.expected) << c.name;
    }
}

TEST(CPareMatch, SetupTellsTheDirection)
{
    TLineText text({"f(a)[b]{c}"});
    CPareMatch match(text);
    EXPECT_EQ(match.Setup('(', 1, 1, 1, 2), 1);
    EXPECT_EQ(match.Setup('[', 1, 1, 1, 5), 1);
    EXPECT_EQ(match.Setup('{', 1, 1, 1, 8), 1);
    EXPECT_EQ(match.Setup(')', 1, 1, 1, 4), 0);
    EXPECT_EQ(match.Setup(']', 1, 1, 1, 7), 0);
    EXPECT_EQ(match.Setup('}', 1, 1, 1, 10), 0);
    // Anything else leaves the search unusable.
    EXPECT_EQ(match.Setup('a', 1, 1, 1, 3), -1);
    EXPECT_FALSE(match.Find());
    EXPECT_EQ(match.Result(), (TPareResult{0, 0}));
    EXPECT_EQ(match.Setup('(', 5, 5, 1, 1), -1);
    EXPECT_FALSE(match.Find());
}

// The transient highlight searches the visible lines only; Match Brace the whole file.
TEST(CPareMatch, LimitLinesBoundTheSearch)
{
    TLineText text({"void f() {", "  a;", "  b;", "  c;", "}"});
    EXPECT_EQ(Match(text, 1, 10, 3), (TPareResult{0, 0}));
    EXPECT_EQ(Match(text, 1, 10, 5), (TPareResult{1, 5}));
    EXPECT_EQ(Match(text, 5, 1, 0, 2), (TPareResult{0, 0}));
    EXPECT_EQ(Match(text, 5, 1, 0, 1), (TPareResult{10, 1}));
    // A limit before the start line still reads the rest of the start line.
    TLineText one({"a; (b) {", "}"});
    EXPECT_EQ(Match(one, 1, 4, 1), (TPareResult{6, 1}));
    EXPECT_EQ(Match(one, 1, 8, 1), (TPareResult{0, 0}));
}

TEST(CPareMatch, BracketAtTheCaret)
{
    struct Case {
        const char *line;
        int caret;
        int expected;
    };
    const Case cases[] = {
        {"f(a)", 2, 2},   // right of the caret
        {"f(a)", 5, 4},   // just right of ")" with nothing after it
        {"f(a)", 3, 2},   // left of the caret
        {"(a)", 1, 1},    // column 1 looks no further left
        {"abc", 2, 0},
        {"", 1, 0},
        {"x)", 9, 0},     // past the end of the line
    };
    for (const Case &c : cases)
        EXPECT_EQ(CPareMatch::BracketColumnAt(c.line, c.caret), c.expected) << c.line << " at " << c.caret;
}
