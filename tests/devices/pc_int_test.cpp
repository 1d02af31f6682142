#include "pc_int.h"

#include <gtest/gtest.h>

using namespace kiv;

TEST(InterruptTableTest, NamesByLetterAndPosition)
{
    EXPECT_EQ(InterruptTableSize('S'), 16);
    EXPECT_EQ(InterruptTableSize('M'), 47);
    EXPECT_EQ(InterruptTableSize('H'), 50);
    EXPECT_EQ(InterruptTableSize('B'), 0);

    const struct { char letter; int i; const char *name; } cases[] = {
        {'S', 1, "RB0"}, {'S', 9, "RB"}, {'S', 10, "RTCC"}, {'S', 16, "T2_COMP"}, {'S', 17, ""},
        {'M', 1, "RTCC"}, {'M', 10, "RDA"}, {'M', 31, "RA"}, {'M', 33, "OSC_FAIL"}, {'M', 47, "COMP2"},
        {'M', 48, ""}, {'M', 0, ""},
        {'H', 6, "EXT"}, {'H', 19, "LOWVOLT"}, {'H', 31, "TBE2"}, {'H', 47, "TIMER5"}, {'H', 50, "USB"},
        {'H', 51, ""}, {'B', 1, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(InterruptNameIn(QLatin1Char(c.letter), c.i), QString(c.name)) << c.letter << c.i;
}

TEST(InterruptTableTest, SelectingALetterWithoutAListChangesNothing)
{
    SelectInterruptTable('H');
    EXPECT_EQ(InterruptName(2), "TIMER0");
    SelectInterruptTable('B');
    EXPECT_EQ(SelectedInterruptTable(), QLatin1Char('H'));
    EXPECT_EQ(InterruptName(2), "TIMER0");
    SelectInterruptTable('S');
    EXPECT_EQ(InterruptName(2), "RB1");
    SelectInterruptTable('M');
    EXPECT_EQ(InterruptName(2), "RB");
    EXPECT_EQ(InterruptTableOfKind(0), QLatin1Char('B'));
    EXPECT_EQ(InterruptTableOfKind(4), QLatin1Char('S'));
}
