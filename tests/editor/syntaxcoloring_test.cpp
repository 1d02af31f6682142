// The comment spans and line painting on small texts: the full scan, the incremental rules on
// the cases that matter, keywords, and the colours of painted lines.

#include "SyntaxColoring.h"
#include "linetext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include <ostream>

using namespace kiv;
using kiv::test::TLineText;

namespace {

using Spans = std::vector<TSpanPos>;

// One character per column: '.' text, 'C' comment, 'K' keyword, 'P' preprocessor, 'B' brace
// match, 'S' selection.
std::string Paint(CSytaxColoring &engine, int line, const TLineSelection *selection = nullptr)
{
    std::string elements;
    EXPECT_TRUE(engine.PaintLine(line, elements, selection));
    static const char kLetters[] = ".SCKPB";
    for (char &e : elements)
        e = kLetters[static_cast<unsigned char>(e)];
    return elements;
}

void PaintAll(CSytaxColoring &engine, int lines)
{
    for (int line = 1; line <= lines; ++line)
        Paint(engine, line);
}

}  // namespace

// The full scan on the texts that decide where comments are.
TEST(CommentScan, FullScanFindsTheCommentsOfATable)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        Spans spans;
    };
    const Case cases[] = {
        {"none", {"int a;", "int b;"}, {}},
        {"one line", {"int a; /* note */ int b;"}, {{1, 8, 1, 17}}},
        {"two on a line", {"/* a */ x /* b */"}, {{1, 1, 1, 7}, {1, 11, 1, 17}}},
        {"over lines", {"a /* one", "two", "three */ b"}, {{1, 3, 3, 8}}},
        {"never closed", {"int a; /* open", "still", "more"}, {{1, 8, 3, 6}}},
        {"never closed on an empty last line", {"/* open", ""}, {{1, 1, 2, 2}}},
        {"in a string", {"char *s = \"/* no */\";", "int b;"}, {}},
        {"after an escaped quote", {"s = \"\\\"/*\"; /* real */"}, {{1, 13, 1, 22}}},
        {"after an escaped backslash", {"s = \"a\\\\\"; /* c */"}, {{1, 12, 1, 18}}},
        {"line comment first", {"x = 1; // note /* not a comment", "int y;"}, {}},
        {"line comment inside a comment", {"/* a // b */ c"}, {{1, 1, 1, 12}}},
        {"end followed by an asterisk", {"/* a */* b */"}, {{1, 1, 1, 7}}},
        {"end shared with no start", {"/*/ x */"}, {{1, 1, 1, 8}}},
        {"shortest", {"/**/"}, {{1, 1, 1, 4}}},
        {"start right after an end", {"/* a *//* b */"}, {{1, 1, 1, 7}, {1, 8, 1, 14}}},
        {"slash and quote", {"a = b /\"*\"; /* c */"}, {{1, 13, 1, 19}}},
        // A double quote in a character constant opens a string: the comment after it is missed.
        {"quote in a character constant", {"c = '\"'; /* x */"}, {}},
        {"string ends with its line", {"\"open /* x", "/* y */"}, {{2, 1, 2, 7}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TLineText text(c.lines);
        EXPECT_EQ(CCommentList::ScanSpans(text), c.spans);
    }
}

TEST(Keywords, MatchWithoutRegardToCaseAndUpToTenCharacters)
{
    struct Case {
        const char *word;
        bool keyword;
    };
    const Case cases[] = {
        {"int", true},       {"INT", true},       {"Int", true},      {"iNt8", true},
        {"int16", true},     {"INT32", true},     {"int1", true},     {"int64", false},
        {"auto", true},      {"while", true},     {"volatile", true}, {"unsigned", true},
        {"register", true},  {"separate", true},  {"entry", true},    {"inline", true},
        {"sizeof", true},    {"do", true},        {"double", true},   {"typedef", true},
        {"d", false},        {"in", false},       {"integer", false}, {"whiles", false},
        {"registerxx", false}, {"unsignedlong", false}, {"", false},  {"_int", false},
        {"bool", false},     {"#define", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(IsKeyword(c.word, int(std::strlen(c.word))), c.keyword);
    }
    // An 11-letter word that starts with a keyword is cut off by length, not by the table.
    EXPECT_FALSE(IsKeyword("continueabc", 11));
    EXPECT_TRUE(IsKeyword("continueabc", 8));
}

TEST(Painting, ColoursCommentsKeywordsAndPreprocessorLines)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        int line;
        std::string painted;
    };
    const Case cases[] = {
        {"include", {"#include <stdio.h>"}, 1, "PPPPPPPP.........."},
        {"define", {"#define MAX 10"}, 1, "PPPPPPP......."},
        {"keywords", {"int x; RETURN x;"}, 1, "KKK....KKKKKK..."},
        {"keyword in an identifier", {"int_x = 1;"}, 1, ".........."},
        {"keyword before a bracket", {"if(x)while(y)"}, 1, "KK...KKKKK..."},
        {"one-line comment", {"int a; /* c */ x"}, 1, "KKK....CCCCCCC.."},
        {"line comment", {"x = 1; // int /* y"}, 1, ".......CCCCCCCCCCC"},
        {"keyword in a string", {"s = \"int\"; int"}, 1, "...........KKK"},
        {"comment start in a string", {"s = \"/*\"; int"}, 1, "..........KKK"},
        {"open comment, first line", {"int a; /* open", "still int", "more"}, 1, "KKK....CCCCCCC"},
        {"open comment, inner line", {"int a; /* open", "still int", "more"}, 2, "CCCCCCCCC"},
        {"open comment, last line", {"int a; /* open", "still int", "more"}, 3, "CCCC"},
        {"comment closed, code after", {"/* a", "b */ int"}, 2, "CCCC.KKK"},
        {"hash inside a word", {"a#if"}, 1, "...."},
        {"empty line", {"/* a", "", "*/"}, 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TLineText text(c.lines);
        CSytaxColoring engine(&text);
        engine.RebuildComments();
        EXPECT_EQ(Paint(engine, c.line), c.painted);
    }
}

TEST(Painting, RunsCoverTheLine)
{
    TLineText text({"int a; /* c */"});
    CSytaxColoring engine(&text);
    engine.RebuildComments();
    std::vector<TColorRun> runs;
    ASSERT_TRUE(engine.PaintLine(1, runs));
    const std::vector<TColorRun> expected = {
        {1, 3, ceKeywords}, {4, 4, ceText}, {8, 7, ceComments}};
    EXPECT_EQ(runs, expected);
    EXPECT_FALSE(engine.PaintLine(2, runs));
    EXPECT_TRUE(runs.empty());
}

TEST(Painting, BraceHighlightAndSelectionAreLaidOver)
{
    TLineText text({"f(a) /* c */", "int x;"});
    CSytaxColoring engine(&text);
    engine.RebuildComments();
    engine.SetBraceHighlight({1, 2}, {1, 4});
    EXPECT_EQ(Paint(engine, 1), ".B.B.CCCCCCC");
    const TLineRange lines = engine.ClearBraceHighlight();
    EXPECT_EQ(lines.first, 1);
    EXPECT_EQ(lines.last, 1);
    EXPECT_EQ(Paint(engine, 1), ".....CCCCCCC");
    const TLineSelection selection{{1, 8}, {2, 3}};
    EXPECT_EQ(Paint(engine, 1, &selection), ".....CCSSSSS");
    EXPECT_EQ(Paint(engine, 2, &selection), "SSK...");
}

TEST(CompareColours, DeletedAndInsertedLinesOnScreenAndPrinter)
{
    EXPECT_EQ(CompareLineColors("D  12 text", true).bg, RgbColor(255, 0, 0));
    EXPECT_EQ(CompareLineColors("D  12 text", false).bg, RgbColor(255, 128, 128));
    EXPECT_EQ(CompareLineColors("I  12 text", true).bg, RgbColor(0, 128, 0));
    EXPECT_EQ(CompareLineColors("I  12 text", false).bg, RgbColor(0, 176, 0));
    EXPECT_EQ(CompareLineColors("I", true).fg, RgbColor(255, 255, 255));
    EXPECT_FALSE(CompareLineColors("  12 text", true).coloured);
    EXPECT_FALSE(CompareLineColors("", true).coloured);
    EXPECT_FALSE(CompareLineColors("d lower case", true).coloured);
}

TEST(ColourTable, DefaultPresetResolved)
{
    const TColorTable table = DefaultColorTable();
    EXPECT_EQ(table[ceText], (TColorPair{0x000000, 0xFFFFFF}));
    EXPECT_EQ(table[ceSelection], (TColorPair{0xFFFFFF, 0x800000}));
    EXPECT_EQ(table[ceComments], (TColorPair{0x808080, 0xFFFFFF}));
    EXPECT_EQ(table[ceKeywords], (TColorPair{0xFF0000, 0xFFFFFF}));
    EXPECT_EQ(table[cePreprocessor], (TColorPair{0x008000, 0xFFFFFF}));
    EXPECT_EQ(table[ceBraceMatch], (TColorPair{0x000000, 0x00FF00}));
}

// Edits typed into the texts that matter; after the rule and the painting of every line the
// spans are those of a full scan, and some cases hold already after the rule alone.
TEST(IncrementalRules, EdgeCases)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        std::function<void(TLineText &, CCommentList &)> edit;
        Spans afterRule;   // checked before painting unless empty and `checkRule` is false
        bool checkRule;
        Spans afterPaint;
    };
    const Case cases[] = {
        {"type /* opens a comment to the end",
         {"int a;", "int b;"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 1, '/'); t.Type(l, 1, 2, '*'); },
         {{1, 1, 2, 8}}, true, {{1, 1, 2, 8}}},
        {"type */ closes it",
         {"/* a", "b", "c"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 2, 2, '*'); t.Type(l, 2, 3, '/'); },
         {{1, 1, 2, 3}}, true, {{1, 1, 2, 3}}},
        {"/* typed in a string goes when the line is painted",
         {"s = \"\";", "int b;"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 6, '/'); t.Type(l, 1, 7, '*'); },
         {}, false, {}},
        {"/* after // starts nothing",
         {"x; // ", "int b;"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 7, '/'); t.Type(l, 1, 8, '*'); },
         {}, false, {}},
        {"*/* closes and opens nothing",
         {"/* a */ b */"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 8, '*'); },
         {{1, 1, 1, 7}}, true, {{1, 1, 1, 7}}},
        {"/* typed before */* takes the slash for the end only",
         {"x */* y */"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 1, '/'); t.Type(l, 1, 2, '*'); },
         {{1, 1, 1, 6}}, true, {{1, 1, 1, 6}}},
        {"Enter inside a comment makes it one line longer",
         {"/* one", "two */ x"},
         [](TLineText &t, CCommentList &l) { t.Enter(l, 1, 5); },
         {{1, 1, 3, 6}}, true, {{1, 1, 3, 6}}},
        {"Enter with indentation moves the end columns",
         {"a /* one two */ b /* c */"},
         [](TLineText &t, CCommentList &l) { t.Enter(l, 1, 9, 3); },
         {{1, 3, 2, 10}, {2, 14, 2, 20}}, true, {{1, 3, 2, 10}, {2, 14, 2, 20}}},
        {"Enter before the comment moves it down",
         {"x /* c */"},
         [](TLineText &t, CCommentList &l) { t.Enter(l, 1, 3); },
         {{2, 1, 2, 7}}, true, {{2, 1, 2, 7}}},
        {"Enter between / and * ends the comment",
         {"x /* c */ y /* d */"},
         [](TLineText &t, CCommentList &l) { t.Enter(l, 1, 4); },
         {{2, 10, 2, 16}}, true, {{2, 10, 2, 16}}},
        {"Enter between * and / reopens it",
         {"/* a *", "/ b */ c /* d */"},
         [](TLineText &t, CCommentList &l) { t.JoinByDelete(l, 1); t.Enter(l, 1, 7); },
         {{1, 1, 2, 6}, {2, 10, 2, 16}}, true, {{1, 1, 2, 6}, {2, 10, 2, 16}}},
        {"deleting the line break joins the columns",
         {"a /* x", "y */ b /* z */"},
         [](TLineText &t, CCommentList &l) { t.JoinByDelete(l, 1); },
         {{1, 3, 1, 10}, {1, 14, 1, 20}}, true, {{1, 3, 1, 10}, {1, 14, 1, 20}}},
        {"backspace at column 1 joins the columns",
         {"a /* x", "y */ b /* z */"},
         [](TLineText &t, CCommentList &l) { t.JoinByBackspace(l, 2); },
         {{1, 3, 1, 10}, {1, 14, 1, 20}}, true, {{1, 3, 1, 10}, {1, 14, 1, 20}}},
        {"joining / and * opens a comment",
         {"a /", "* b */"},
         [](TLineText &t, CCommentList &l) { t.JoinByDelete(l, 1); },
         {{1, 3, 1, 9}}, true, {{1, 3, 1, 9}}},
        {"joining * and / closes a comment",
         {"/* a *", "/ b"},
         [](TLineText &t, CCommentList &l) { t.JoinByDelete(l, 1); },
         {{1, 1, 1, 7}}, true, {{1, 1, 1, 7}}},
        {"deleting the / of /* removes the comment",
         {"x /* c */ y"},
         [](TLineText &t, CCommentList &l) { t.Delete(l, 1, 3); },
         {}, true, {}},
        {"backspacing the * of */ reopens to the next end",
         {"/* a */ b", "c */ d"},
         [](TLineText &t, CCommentList &l) { t.Backspace(l, 1, 7); },
         {{1, 1, 2, 4}}, true, {{1, 1, 2, 4}}},
        {"typing before a comment on its line moves it",
         {"x /* c */ /* d */"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 1, 'y'); },
         {{1, 4, 1, 10}, {1, 12, 1, 18}}, true, {{1, 4, 1, 10}, {1, 12, 1, 18}}},
        {"overwriting the * of /* removes the comment",
         {"x /* c */"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 4, 'q', false); },
         {}, true, {}},
        {"a quote typed before a comment puts it in a string",
         {"x /* c */ \" y"},
         [](TLineText &t, CCommentList &l) { t.Type(l, 1, 1, '"'); },
         {{1, 4, 1, 10}}, true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TLineText text(c.lines);
        CSytaxColoring engine(&text);
        engine.RebuildComments();
        c.edit(text, engine);
        EXPECT_TRUE(engine.Ordered());
        if (c.checkRule) {
            EXPECT_EQ(engine.Spans(), c.afterRule);
        }
        PaintAll(engine, text.LineCount());
        EXPECT_EQ(engine.Spans(), c.afterPaint);
        EXPECT_EQ(engine.Spans(), CCommentList::ScanSpans(text));
        EXPECT_EQ(engine.FallbackScans(), 0);
    }
}

TEST(IncrementalRules, UnclosedCommentColoursEveryLineAfterIt)
{
    TLineText text({"int a;", "int b;", "int c;"});
    CSytaxColoring engine(&text);
    engine.RebuildComments();
    text.Type(engine, 1, 7, ' ');
    text.Type(engine, 1, 8, '/');
    text.Type(engine, 1, 9, '*');
    EXPECT_EQ(Paint(engine, 1), "KKK....CC");
    EXPECT_EQ(Paint(engine, 2), "CCCCCC");
    EXPECT_EQ(Paint(engine, 3), "CCCCCC");
}

TEST(IncrementalRules, RepaintCoversTheLinesACommentChanges)
{
    TLineText text({"int a;", "int b;", "int c;", "int d;"});
    CSytaxColoring engine(&text);
    engine.RebuildComments();
    engine.TakeRepaint();
    text.Type(engine, 2, 1, '/');
    engine.TakeRepaint();
    text.Type(engine, 2, 2, '*');
    const TLineRange range = engine.TakeRepaint();
    EXPECT_EQ(range.first, 2);
    EXPECT_EQ(range.last, 4);
}

TEST(Lookup, CursorFindsTheSpansOfEachLine)
{
    TLineText text({"/* a", "b */ x /* c */", "y", "/* d */", "z"});
    CSytaxColoring engine(&text);
    engine.RebuildComments();
    const int expectedStart[] = {1, 1, 4, 4, 0};
    const int order[] = {1, 2, 3, 4, 5, 3, 1, 5, 2};
    for (int line : order) {
        SCOPED_TRACE(line);
        const TCommentSpan *span = engine.SpanAtLine(line);
        if (expectedStart[line - 1] == 0) {
            EXPECT_EQ(span, nullptr);
        } else {
            ASSERT_NE(span, nullptr);
            EXPECT_EQ(span->startLine, expectedStart[line - 1]);
        }
    }
}
