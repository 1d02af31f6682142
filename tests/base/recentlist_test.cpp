#include "kivini.h"
#include "recentlist.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

TRecentList Filled(int n)
{
    TRecentList list;
    for (int i = n - 1; i >= 0; --i)
        list.AddRecent(QString("/f%1.c").arg(i));
    return list;  // slot k holds /fk.c
}

}  // namespace

TEST(RecentListTest, FullListLosesTheOldest)
{
    TRecentList list = Filled(10);
    list.AddRecent("/new.c");
    EXPECT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Slot(0), "/new.c");
    EXPECT_EQ(list.Slot(9), "/f8.c");
    EXPECT_FALSE(list.Visible().contains("/f9.c"));
}

TEST(RecentListTest, ExistingEntryMovesToFront)
{
    TRecentList list = Filled(10);
    list.AddRecent("/f4.c");
    EXPECT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Visible(), (QStringList{"/f4.c", "/f0.c", "/f1.c", "/f2.c", "/f3.c", "/f5.c",
                                           "/f6.c", "/f7.c", "/f8.c", "/f9.c"}));
}

TEST(RecentListTest, MatchIgnoresCaseAndKeepsLatestSpelling)
{
    TRecentList list = Filled(3);
    list.AddRecent("/F2.C");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Visible(), (QStringList{"/F2.C", "/f0.c", "/f1.c"}));
}

TEST(RecentListTest, CaptionsAreNumberedFromOne)
{
    TRecentList list = Filled(2);
    EXPECT_EQ(list.Caption(0), "&1: /f0.c");
    EXPECT_EQ(list.Caption(1), "&2: /f1.c");
}

TEST(RecentListTest, ReadWriteRoundTripAndMissingKey)
{
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    TRecentList list = Filled(4);
    list.Write(ini, "MRU");
    TRecentList back;
    back.Read(ini, "MRU");
    EXPECT_EQ(back.Visible(), list.Visible());

    // count 3 with key "1" missing: an empty entry keeps its place
    ASSERT_TRUE(ini.EraseSection("MRU"));
    ini.WriteInteger("MRU", "count", 3);
    ini.WriteString("MRU", "0", "/a.c");
    ini.WriteString("MRU", "2", "/c.c");
    TRecentList gap;
    gap.Read(ini, "MRU");
    EXPECT_EQ(gap.Visible(), (QStringList{"/a.c", "", "/c.c"}));
}
