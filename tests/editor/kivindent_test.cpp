// The indentation aids on small texts: block indent and unindent with the comment spans
// following, the automatic placement of a typed "}", and "Indent selection" on a before/after
// pair.

#include "kivindent.h"
#include "linetext.h"

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::TLineText;

namespace {

// Applies the changes to the text and moves the spans as the editor does.
void Apply(TLineText &text, CCommentList &spans, const std::vector<TLineChange> &changes)
{
    for (const TLineChange &change : changes) {
        text.At(change.line) = change.text;
        spans.ShiftLineText(change.line, change.delta);
    }
}

}  // namespace

TEST(BlockIndent, BlockOfASelection)
{
    struct Case {
        int sl, sc, el, ec;
        int first, last;
    };
    const Case cases[] = {
        {2, 3, 4, 5, 2, 4},
        {2, 3, 4, 1, 2, 3},   // ends in column 1 of its last line
        {2, 1, 2, 1, 2, 2},
        {4, 5, 2, 3, 2, 4},   // made backwards
        {3, 1, 3, 4, 3, 3},
    };
    for (const Case &c : cases) {
        const TLineBlock block = BlockOfSelection(c.sl, c.sc, c.el, c.ec);
        EXPECT_EQ(block.first, c.first);
        EXPECT_EQ(block.last, c.last);
    }
}

TEST(BlockIndent, IndentAndUnindentLines)
{
    struct Case {
        const char *line;
        bool realTabs;
        bool unindent;
        const char *expected;
    };
    const Case cases[] = {
        {"a;", false, false, "    a;"},
        {"a;", true, false, "\ta;"},
        {"", false, false, "    "},
        {"   a;", false, true, "a;"},          // three spaces: all three go
        {"      a;", false, true, "  a;"},     // six spaces: four go
        {"\t  a;", false, true, "  a;"},       // a tab: just the tab
        {"  \ta;", false, true, "\ta;"},       // spaces before a tab
        {"a;", false, true, "a;"},
    };
    for (const Case &c : cases) {
        const TIndentOptions options{4, c.realTabs};
        const std::string got = c.unindent ? UnindentLineText(c.line, 4) : IndentLineText(c.line, options);
        EXPECT_EQ(got, c.expected) << "'" << c.line << "'";
    }
}

// The spans on the changed lines move with the text and end where a full scan puts them.
TEST(BlockIndent, CommentSpansFollowTheLines)
{
    TLineText text({"/* a */ x; /* b", "c */ y; /* d */", "z; /* e */", "w;"});
    CCommentList spans(&text);
    spans.RebuildComments();
    for (bool unindent : {false, true, false}) {
        for (bool realTabs : {false, true}) {
            const auto changes = IndentBlockLines(text, TLineBlock{1, 3}, TIndentOptions{3, realTabs}, unindent);
            Apply(text, spans, changes);
            EXPECT_EQ(spans.Spans(), CCommentList::ScanSpans(text)) << text.At(1);
        }
    }
    EXPECT_EQ(text.At(1), "\t   /* a */ x; /* b");
    EXPECT_EQ(text.At(4), "w;");
}

TEST(AutoPlaceBrace, PlacesTheBraceUnderItsPartnersLine)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        int line, column;
        TIndentOptions options;
        bool placed;
        const char *expected;
        int caret;
    };
    const Case cases[] = {
        {"fixed tabs", {"   if (a) {", "      x;", "         }"}, 3, 10, {3, false}, true, "   }", 5},
        {"fixed, brace too far left", {"      while (a) {", "}"}, 2, 1, {3, false}, true, "      }", 8},
        {"real tabs", {"       if (a) {", "x;", "}"}, 3, 1, {3, true}, true, "\t\t }", 5},
        {"real tabs, partner line indented with a tab", {"\t  f() {", "  }"}, 2, 3, {4, true}, true, "\t  }", 5},
        {"fixed tabs, partner line indented with a tab", {"\t  f() {", "}"}, 1 + 1, 1, {4, false}, true, "      }", 8},
        {"text after the brace stays", {"  {", "      } x"}, 2, 7, {3, false}, true, "  } x", 4},
        {"code before the brace", {"if (a) {", "  x; }"}, 2, 6, {3, false}, false, "", 0},
        {"no partner", {"x;", "   }"}, 2, 4, {3, false}, false, "", 0},
        {"not a brace", {"{", "  )"}, 2, 3, {3, false}, false, "", 0},
    };
    for (const Case &c : cases) {
        TLineText text(c.lines);
        const auto placement = AutoPlaceBrace(text, c.line, c.column, c.options);
        ASSERT_EQ(placement.has_value(), c.placed) << c.name;
        if (!placement)
            continue;
        EXPECT_EQ(placement->text, c.expected) << c.name;
        EXPECT_EQ(placement->caretColumn, c.caret) << c.name;
        EXPECT_EQ(placement->delta, int(placement->text.size()) - int(text.At(c.line).size())) << c.name;
    }
}

TEST(IndentSelection, BeforeAndAfter)
{
    const std::vector<std::string> before = {
        "void main()",
        "{",
        "int a;",
        "if (a)",
        "a = 1;",
        "x = f(a,",
        "b);",
        "#define MAX(a, b) \\",
        "((a) > (b) ? \\",
        "(a) : (b))",
        "int c; // until )",
        "/* kept as it is",
        "  up to here */",
        "switch (a) {",
        "case 1:",
        "a = 2;",
        "break;",
        "  case FOO:",
        "a = 3;",
        "        default:",
        "a = 0;",
        "}",
        "  again:",
        "#asm",
        "movlw 1",
        "#endasm",
        "if (a)",
        "{",
        "puts(\"}\");",
        "}",
        "",
        "   }",
    };
    const std::vector<std::string> after = {
        "void main()",
        "{",
        "   int a;",
        "   if (a)",
        "      a = 1;",
        "   x = f(a,",
        "   b);",
        "   #define MAX(a, b) \\",
        "      ((a) > (b) ? \\",
        "      (a) : (b))",
        "   int c; // until )",
        "/* kept as it is",
        "  up to here */",
        "   switch (a) {",
        "      case 1:",
        "      a = 2;",
        "      break;",
        "   case FOO:",
        "      a = 3;",
        "default:",
        "      a = 0;",
        "   }",
        "again:",
        "   #asm",
        "   movlw 1",
        "   #endasm",
        "   if (a)",
        "   {",
        "      puts(\"}\");",
        "   }",
        "",
        "}",
    };
    TLineText text(before);
    CCommentList spans(&text);
    spans.RebuildComments();
    const auto changes = IndentSelectionLines(text, 1, text.LineCount(), 3,
                                              [&](int line) { return LineStartsInComment(spans, line); });
    Apply(text, spans, changes);
    ASSERT_EQ(text.Lines().size(), after.size());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(text.Lines()[i], after[i]) << "line " << i + 1;
    EXPECT_EQ(spans.Spans(), CCommentList::ScanSpans(text));
}

// The base is the indentation of the nearest non-blank line above; a selection inside a block
// starts at that base; only the selected lines change.
TEST(IndentSelection, BaseFromTheLineAbove)
{
    TLineText text({"  \t  if (a) {", "", "x;", "if (b)", "y;", "}", "z;"});
    EXPECT_EQ(BaseIndentation(text, 3), 4);
    EXPECT_EQ(BaseIndentation(text, 1), 0);
    CCommentList spans(&text);
    spans.RebuildComments();
    const auto changes = IndentSelectionLines(text, 3, 5, 2, [&](int line) { return LineStartsInComment(spans, line); });
    Apply(text, spans, changes);
    EXPECT_EQ(text.At(3), "    x;");
    EXPECT_EQ(text.At(4), "    if (b)");
    EXPECT_EQ(text.At(5), "      y;");
    EXPECT_EQ(text.At(6), "}");
}

// Spans on re-indented lines move with them: a comment after code, one starting a line after
// blanks, one ending on a line.
TEST(IndentSelection, CommentSpansMove)
{
    TLineText text({"{", "      /* a */ x; /* b */", "y; /* c", "d */ z;", "      w; /* e */", "}"});
    CCommentList spans(&text);
    spans.RebuildComments();
    const auto changes = IndentSelectionLines(text, 1, 6, 4, [&](int line) { return LineStartsInComment(spans, line); });
    Apply(text, spans, changes);
    EXPECT_EQ(text.At(2), "    /* a */ x; /* b */");
    EXPECT_EQ(text.At(3), "    y; /* c");
    EXPECT_EQ(text.At(4), "d */ z;");
    EXPECT_EQ(text.At(5), "    w; /* e */");
    EXPECT_EQ(spans.Spans(), CCommentList::ScanSpans(text));
}
