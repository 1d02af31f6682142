// The flagged lines and the current line of an editor.

#include "CodeFlags.h"

#include <gtest/gtest.h>

using namespace kiv;

TEST(CCodeFlags, KeepsLinesSortedAndOnce)
{
    CCodeFlags flags;
    int changes = 0;
    flags.SetOnChanged([&] { ++changes; });
    flags.Add(30);
    flags.Add(4);
    flags.Add(17);
    flags.Add(4);
    EXPECT_EQ(flags.Lines(), (std::vector<int>{4, 17, 30}));
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(flags.Contains(17));
    EXPECT_FALSE(flags.Contains(5));

    flags.Set(17, true);   // present already
    flags.Set(5, false);   // absent already
    EXPECT_EQ(changes, 3);
    flags.Set(5, true);
    flags.Set(30, false);
    EXPECT_EQ(flags.Lines(), (std::vector<int>{4, 5, 17}));

    EXPECT_TRUE(flags.Toggle(4));    // was flagged, now cleared
    EXPECT_FALSE(flags.Toggle(40));  // was not, now flagged
    EXPECT_EQ(flags.Lines(), (std::vector<int>{5, 17, 40}));

    flags.Clear();
    EXPECT_TRUE(flags.Lines().empty());
}

TEST(CCodeFlags, CurrentLine)
{
    CCodeFlags flags;
    int changes = 0;
    flags.SetOnChanged([&] { ++changes; });
    EXPECT_EQ(flags.CurrentLine(), 0);
    flags.SetCurrentLine(12);
    flags.SetCurrentLine(12);
    EXPECT_EQ(flags.CurrentLine(), 12);
    EXPECT_EQ(changes, 1);
    flags.SetCurrentLine(0);
    EXPECT_EQ(flags.CurrentLine(), 0);
    // The current line and the flags are independent.
    flags.Add(3);
    flags.SetCurrentLine(3);
    flags.Set(3, false);
    EXPECT_EQ(flags.CurrentLine(), 3);
}
