// Random editing against the full scan: typed characters (with "/", "*", quotes, backslashes),
// deletions, line breaks and joins are applied through the incremental rules while a window of
// lines is painted the way the editor widget styles them; what the window shows must always be
// what a full scan shows, and painting every line must leave the spans of a full scan.

#include "SyntaxColoring.h"
#include "linetext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>

using namespace kiv;
using kiv::test::TLineText;

namespace {

const char *const kFragments[] = {
    "int a = 1;",
    "/* comment */",
    "/* open",
    "close */",
    "\"str /* not */ ing\"",
    "\"esc \\\" /* q\"",
    "// line /* x",
    "*/*",
    "/**/",
    "x = a / *p;",
    "#define X 1",
    "char c = '\"';",
    "s = \"a\\\\\"; /* c */",
    "",
    "   ",
    "while (x) {",
    "}",
    "/*/",
    "*/",
    "/*",
    "\"",
    "\\",
    "//",
    "return \"/*\" /* \"*/\" */;",
};

// Characters typed, the comment and string delimiters often.
const char kTyped[] = "//**\"\"\\\\  ax#;(\t";

std::vector<std::string> RandomText(std::mt19937 &random, int lines)
{
    std::uniform_int_distribution<int> fragment(0, int(std::size(kFragments)) - 1);
    std::uniform_int_distribution<int> perLine(0, 3);
    std::vector<std::string> text;
    for (int i = 0; i < lines; ++i) {
        std::string line;
        const int n = perLine(random);
        for (int j = 0; j < n; ++j) {
            if (j)
                line += ' ';
            line += kFragments[fragment(random)];
        }
        text.push_back(line);
    }
    return text;
}

// What a freshly scanned engine paints on lines 1 .. last.
std::vector<std::string> FreshPainting(const TLineText &text, int last, int *fallbacks)
{
    CSytaxColoring fresh(const_cast<TLineText *>(&text));
    fresh.RebuildComments();
    const std::vector<TSpanPos> scanned = fresh.Spans();
    std::vector<std::string> painted(static_cast<size_t>(last));
    for (int line = 1; line <= last; ++line)
        fresh.PaintLine(line, painted[size_t(line - 1)]);
    // Painting agrees with the full scan: it must not have corrected anything.
    EXPECT_EQ(fresh.Spans(), scanned);
    *fallbacks += fresh.FallbackScans();
    return painted;
}

struct TRunStats {
    int edits = 0;
    int ruleAgreed = 0;
    int fullChecks = 0;
};

// One seeded editing session of `steps` edits.
void RunSession(unsigned seed, int steps, TRunStats &stats)
{
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    TLineText text(RandomText(random, 60));
    CSytaxColoring engine(&text);
    engine.RebuildComments();

    // The widget's lazy styling: lines 1 .. styledTo keep the colours painted last; a change
    // invalidates from its line on; painting runs in line order up to the end of the window.
    const int windowHeight = 30;
    int top = 1;
    int styledTo = 0;
    std::vector<std::string> styles;
    int caretLine = 1;
    int caretColumn = 1;
    int freshFallbacks = 0;

    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE(::testing::Message() << "step " << step);
        const int lines = text.LineCount();
        // Mostly keep typing where the caret is; sometimes jump.
        if (pick(0, 9) < 3 || caretLine > lines) {
            caretLine = pick(1, lines);
            caretColumn = pick(1, int(text.At(caretLine).size()) + 1);
        }
        caretColumn = std::clamp(caretColumn, 1, int(text.At(caretLine).size()) + 1);
        const int length = int(text.At(caretLine).size());
        int editLine = caretLine;
        int kind = pick(0, 99);
        if (lines > 150 && kind < 60)
            kind = 95;   // join
        if (lines < 5 && kind >= 85)
            kind = 75;   // enter
        if (kind < 45) {
            text.Type(engine, caretLine, caretColumn, kTyped[pick(0, int(sizeof(kTyped)) - 2)]);
            ++caretColumn;
        } else if (kind < 50) {
            text.Type(engine, caretLine, caretColumn, kTyped[pick(0, int(sizeof(kTyped)) - 2)], false);
            ++caretColumn;
        } else if (kind < 60) {
            if (caretColumn > 1) {
                text.Backspace(engine, caretLine, caretColumn);
                --caretColumn;
            }
        } else if (kind < 70) {
            if (caretColumn <= length)
                text.Delete(engine, caretLine, caretColumn);
        } else if (kind < 85) {
            const int indent = pick(0, 3) == 0 ? pick(1, 4) : 0;
            text.Enter(engine, caretLine, caretColumn, indent);
            ++caretLine;
            caretColumn = indent + 1;
        } else if (kind < 93) {
            if (caretLine < lines) {
                caretColumn = length + 1;
                text.JoinByDelete(engine, caretLine);
            }
        } else {
            if (caretLine > 1) {
                caretColumn = int(text.At(caretLine - 1).size()) + 1;
                text.JoinByBackspace(engine, caretLine);
                --caretLine;
                editLine = caretLine;
            }
        }
        ++stats.edits;
        ASSERT_TRUE(engine.Ordered());
        if (engine.Spans() == CCommentList::ScanSpans(text))
            ++stats.ruleAgreed;

        // Styling after the change, as the widget does it.
        const TLineRange changed = engine.TakeRepaint();
        styledTo = std::min(styledTo, editLine - 1);
        if (!changed.Empty())
            styledTo = std::min(styledTo, changed.first - 1);
        const int count = text.LineCount();
        styles.resize(size_t(count));
        if (caretLine < top)
            top = caretLine;
        if (caretLine >= top + windowHeight)
            top = caretLine - windowHeight + 1;
        if (pick(0, 49) == 0)
            top = pick(1, count);   // scrolled away
        const int bottom = std::min(count, top + windowHeight - 1);
        int restyles = 0;
        for (int line = styledTo + 1; line <= bottom; ++line) {
            const int passStart = styledTo + 1;
            engine.PaintLine(line, styles[size_t(line - 1)]);
            // A correction that reaches back before this styling pass restyles from there.
            const TLineRange repaint = engine.TakeRepaint();
            if (!repaint.Empty() && repaint.first < passStart) {
                ASSERT_LT(++restyles, 10) << "corrections keep reaching back";
                styledTo = repaint.first - 1;
                line = styledTo;
                continue;
            }
        }
        styledTo = std::max(styledTo, bottom);
        ASSERT_TRUE(engine.Ordered());

        // The window shows what a full scan shows.
        const std::vector<std::string> expected = FreshPainting(text, bottom, &freshFallbacks);
        for (int line = top; line <= bottom; ++line) {
            ASSERT_EQ(styles[size_t(line - 1)], expected[size_t(line - 1)])
                << "line " << line << ": \"" << text.At(line) << "\"";
        }

        // Now and then the user pages through the whole file.
        if (step % 500 == 499) {
            for (int line = 1; line <= count; ++line)
                engine.PaintLine(line, styles[size_t(line - 1)]);
            engine.TakeRepaint();
            styledTo = count;
            ASSERT_EQ(engine.Spans(), CCommentList::ScanSpans(text));
            ++stats.fullChecks;
        }
    }
    for (int line = 1; line <= text.LineCount(); ++line) {
        std::string elements;
        engine.PaintLine(line, elements);
    }
    EXPECT_EQ(engine.Spans(), CCommentList::ScanSpans(text));
    EXPECT_EQ(engine.FallbackScans(), 0);
    EXPECT_EQ(freshFallbacks, 0);
    ++stats.fullChecks;
}

}  // namespace

TEST(Convergence, RandomEditsEndWithTheSpansOfAFullScan)
{
    TRunStats stats;
    for (unsigned seed : {1u, 2u, 3u, 20240601u}) {
        RunSession(seed, 4000, stats);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GE(stats.edits, 10000);
    std::cout << "edits " << stats.edits << ", rules alone agreed with the full scan after "
              << stats.ruleAgreed << ", full-text checks " << stats.fullChecks << "\n";
}
