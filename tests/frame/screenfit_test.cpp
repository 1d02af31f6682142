#include "screenfit.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kiv;

// Stored window places far off the screens, or larger than them, come back on a screen and
// within it.
TEST(FitOnScreens, StoredPlacesEndOnAScreenAndFitIt)
{
    const QList<QRect> one = {QRect(0, 0, 1920, 1080)};
    const QList<QRect> two = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(100, 100);
    const struct {
        const char *name;
        int left, top, width, height;
        QList<QRect> screens;
        QRect expected;
    } cases[] = {
        {"on the screen stays", 50, 60, 800, 600, one, QRect(50, 60, 800, 600)},
        {"far up and left", -99999, -99999, 800, 600, one, QRect(0, 0, 800, 600)},
        {"far too large", 0, 0, 999999, 999999, one, QRect(0, 0, 1920, 1080)},
        {"both", -99999, -99999, 999999, 999999, one, QRect(0, 0, 1920, 1080)},
        {"past the right edge", 1800, 1000, 800, 600, one, QRect(1120, 480, 800, 600)},
        {"tiny", 10, 10, 0, -5, one, QRect(10, 10, 100, 100)},
        {"the integer range's ends", INT_MIN, INT_MAX, INT_MAX, INT_MAX, one, QRect(0, 0, 1920, 1080)},
        {"on the second screen", 2000, 100, 600, 400, two, QRect(2000, 100, 600, 400)},
        {"mostly on the second screen", 1800, 100, 1000, 400, two, QRect(1920, 100, 1000, 400)},
        {"larger than the second screen", 2000, 0, 1900, 1900, two, QRect(1920, 0, 1280, 1024)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FitOnScreens(c.left, c.top, c.width, c.height, c.screens, minimum), c.expected) << c.name;
}
