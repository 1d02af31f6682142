#include "uDockForm_model.h"
#include "uDockTree.h"
#include "uDockingLib_model.h"
#include "testfiles.h"

#include <QDataStream>
#include <QIODevice>
#include <QSet>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

struct TInsertStep {
    const char *name;
    TAlign side;
    const char *target;
};

struct TInsertCase {
    const char *title;
    std::vector<TInsertStep> steps;
    const char *dump;
};

TDockZoneTree Build(const std::vector<TInsertStep> &steps, TAlign defaultSide = alBottom)
{
    TDockZoneTree tree;
    for (const TInsertStep &step : steps)
        tree.Insert(QString::fromLatin1(step.name), step.side, QString::fromLatin1(step.target), defaultSide);
    return tree;
}

bool AllVisible(const QString &)
{
    return true;
}

}  // namespace

TEST(DockZoneTree, InsertBuildsZones)
{
    const std::vector<TInsertCase> cases = {
        {"first control fills the site", {{"a", alClient, ""}}, "a:0"},
        {"below", {{"a", alNone, ""}, {"b", alBottom, "a"}}, "H(a:0,b:0):0"},
        {"above", {{"a", alNone, ""}, {"b", alTop, "a"}}, "H(b:0,a:0):0"},
        {"right", {{"a", alNone, ""}, {"b", alRight, "a"}}, "V(a:0,b:0):0"},
        {"left", {{"a", alNone, ""}, {"b", alLeft, "a"}}, "V(b:0,a:0):0"},
        {"client uses the default side", {{"a", alNone, ""}, {"b", alClient, ""}}, "H(a:0,b:0):0"},
        {"split a zone across", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}},
         "H(a:0,V(b:0,c:0):0):0"},
        {"neighbour along the same split", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alBottom, "a"}},
         "H(a:0,c:0,b:0):0"},
        {"whole site across", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, ""}},
         "V(H(a:0,b:0):0,c:0):0"},
        {"end of the whole site along", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alTop, ""}},
         "H(c:0,a:0,b:0):0"},
        {"unknown target means the whole site", {{"a", alNone, ""}, {"b", alRight, "zz"}}, "V(a:0,b:0):0"},
        {"docking again moves", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"a", alRight, "b"}},
         "V(b:0,a:0):0"},
    };
    for (const TInsertCase &c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Build(c.steps).Dump(), QString::fromLatin1(c.dump));
    }
    // A top or bottom site puts windows side by side by default.
    EXPECT_EQ(Build({{"a", alNone, ""}, {"b", alNone, ""}}, alRight).Dump(), "V(a:0,b:0):0");
}

TEST(DockZoneTree, RemoveCollapsesSplits)
{
    struct TCase {
        const char *title;
        std::vector<TInsertStep> steps;
        const char *removed;
        const char *dump;
    };
    const std::vector<TCase> cases = {
        {"last control", {{"a", alNone, ""}}, "a", ""},
        {"split of two", {{"a", alNone, ""}, {"b", alBottom, "a"}}, "a", "b:0"},
        {"three along", {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alBottom, "b"}}, "b", "H(a:0,c:0):0"},
        {"nested split replaced by its child",
         {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}}, "c", "H(a:0,b:0):0"},
        {"same-way split merges into its parent",
         {{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}, {"d", alBottom, "c"}}, "b",
         "H(a:0,c:0,d:0):0"},
        {"absent name", {{"a", alNone, ""}}, "x", "a:0"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.title);
        TDockZoneTree tree = Build(c.steps);
        EXPECT_EQ(tree.Remove(QString::fromLatin1(c.removed)), QString::fromLatin1(c.removed) != "x");
        EXPECT_EQ(tree.Dump(), QString::fromLatin1(c.dump));
    }
}

TEST(DockZoneTree, OrientationOfAControl)
{
    TDockZoneTree tree = Build({{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}});
    EXPECT_EQ(tree.Orientation("a"), doHorizontal);
    EXPECT_EQ(tree.Orientation("c"), doVertical);
    EXPECT_EQ(tree.Orientation("nothing"), doNoOrient);
    EXPECT_EQ(Build({{"a", alNone, ""}}).Orientation("a"), doNoOrient);
}

TEST(DockZoneTree, LayoutSharesTheAreaAndSkipsHiddenControls)
{
    TDockZoneTree tree = Build({{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}});
    auto zones = tree.Layout(QRect(0, 0, 100, 204), AllVisible, 4);
    ASSERT_EQ(zones.size(), 3u);
    EXPECT_EQ(zones[0].name, "a");
    EXPECT_EQ(zones[0].rect, QRect(0, 0, 100, 100));
    EXPECT_EQ(zones[1].rect, QRect(0, 104, 48, 100));
    EXPECT_EQ(zones[2].rect, QRect(52, 104, 48, 100));
    ASSERT_EQ(tree.Splitters().size(), 2u);
    EXPECT_EQ(tree.Splitters()[0].rect, QRect(0, 100, 100, 4));

    // Hidden controls take no space; a split whose controls are all hidden disappears.
    zones = tree.Layout(QRect(0, 0, 100, 204), [](const QString &n) { return n != "b"; }, 4);
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[1].name, "c");
    EXPECT_EQ(zones[1].rect, QRect(0, 104, 100, 100));
    zones = tree.Layout(QRect(0, 0, 100, 204), [](const QString &n) { return n == "a"; }, 4);
    ASSERT_EQ(zones.size(), 1u);
    EXPECT_EQ(zones[0].rect, QRect(0, 0, 100, 204));
    EXPECT_TRUE(tree.Layout(QRect(0, 0, 100, 204), [](const QString &) { return false; }, 4).empty());
}

TEST(DockZoneTree, SplitterMovesAndProportionsCarryOver)
{
    TDockZoneTree tree = Build({{"a", alNone, ""}, {"b", alBottom, "a"}});
    tree.Layout(QRect(0, 0, 100, 204), AllVisible, 4);
    tree.MoveSplitter(tree.Splitters()[0], 50, 20);
    auto zones = tree.Layout(QRect(0, 0, 100, 204), AllVisible, 4);
    EXPECT_EQ(zones[0].rect.height(), 150);
    EXPECT_EQ(zones[1].rect.height(), 50);
    // Neighbours keep their minimum.
    tree.MoveSplitter(tree.Splitters()[0], 500, 20);
    zones = tree.Layout(QRect(0, 0, 100, 204), AllVisible, 4);
    EXPECT_EQ(zones[1].rect.height(), 20);
    // A larger site keeps the proportions.
    tree.MoveSplitter(tree.Splitters()[0], -80, 20);
    tree.Layout(QRect(0, 0, 100, 204), AllVisible, 4);   // 100 / 100
    tree.MoveSplitter(tree.Splitters()[0], 50, 20);      // 150 / 50
    zones = tree.Layout(QRect(0, 0, 100, 404), AllVisible, 4);
    EXPECT_EQ(zones[0].rect.height(), 300);
    EXPECT_EQ(zones[1].rect.height(), 100);
}

TEST(DockZoneTree, SavedBytesLoadBackToTheSameTree)
{
    TDockZoneTree tree = Build({{"OutputForm", alNone, ""}, {"fkivdebug", alBottom, "OutputForm"},
                                {"TDebugFormRAM", alRight, "fkivdebug"}, {"Größe", alTop, "OutputForm"}});
    tree.Layout(QRect(0, 0, 300, 500), AllVisible, 4);
    const QByteArray bytes = tree.SaveToStream();
    TDockZoneTree loaded;
    ASSERT_TRUE(loaded.LoadFromStream(bytes));
    EXPECT_EQ(loaded, tree);
    EXPECT_EQ(loaded.Dump(), tree.Dump());
    EXPECT_EQ(loaded.Names(), tree.Names());
    EXPECT_EQ(loaded.SaveToStream(), bytes);

    TDockZoneTree empty;
    ASSERT_TRUE(loaded.LoadFromStream(empty.SaveToStream()));
    EXPECT_TRUE(loaded.IsEmpty());
    ASSERT_TRUE(tree.LoadFromStream(QByteArray()));
    EXPECT_TRUE(tree.IsEmpty());
}

TEST(DockZoneTree, BytesThatAreNoArrangementLoadAsEmpty)
{
    TDockZoneTree tree = Build({{"a", alNone, ""}, {"b", alBottom, "a"}, {"c", alRight, "b"}});
    const QByteArray good = tree.SaveToStream();

    // Every truncation fails and leaves the tree empty.
    for (int length = 1; length < good.size(); ++length) {
        TDockZoneTree loaded = tree;
        EXPECT_FALSE(loaded.LoadFromStream(good.left(length))) << length;
        EXPECT_TRUE(loaded.IsEmpty()) << length;
    }
    // Any single damaged byte either fails or still gives a sound tree.
    for (int i = 0; i < good.size(); ++i) {
        for (char flip : {char(0x01), char(0x80), char(0xFF)}) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ flip);
            TDockZoneTree loaded;
            if (loaded.LoadFromStream(bad)) {
                const QStringList names = loaded.Names();
                EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
            } else {
                EXPECT_TRUE(loaded.IsEmpty());
            }
        }
    }

    auto stream = [](const std::function<void(QDataStream &)> &write) {
        QByteArray bytes;
        QDataStream s(&bytes, QIODevice::WriteOnly);
        s.setVersion(QDataStream::Qt_6_0);
        write(s);
        return bytes;
    };
    auto header = [](QDataStream &s) { s << quint32(0x4B445A54) << quint16(1) << quint8(1); };
    auto leaf = [](QDataStream &s, const QByteArray &name) {
        s << quint8(0) << quint8(0) << qint32(10) << quint16(name.size());
        s.writeRawData(name.constData(), int(name.size()));
    };
    struct TBad {
        const char *title;
        QByteArray bytes;
    };
    const std::vector<TBad> bad = {
        {"wrong magic", stream([&](QDataStream &s) { s << quint32(1) << quint16(1) << quint8(0); })},
        {"wrong version", stream([&](QDataStream &s) { s << quint32(0x4B445A54) << quint16(9) << quint8(0); })},
        {"trailing bytes", good + QByteArray("x")},
        {"split of one", stream([&](QDataStream &s) {
             header(s);
             s << quint8(1) << quint8(1) << qint32(0) << quint16(1);
             leaf(s, "a");
         })},
        {"bad orientation", stream([&](QDataStream &s) {
             header(s);
             s << quint8(1) << quint8(7) << qint32(0) << quint16(2);
             leaf(s, "a");
             leaf(s, "b");
         })},
        {"duplicate names", stream([&](QDataStream &s) {
             header(s);
             s << quint8(1) << quint8(1) << qint32(0) << quint16(2);
             leaf(s, "a");
             leaf(s, "a");
         })},
        {"empty name", stream([&](QDataStream &s) {
             header(s);
             leaf(s, "");
         })},
        {"name longer than the data", stream([&](QDataStream &s) {
             header(s);
             s << quint8(0) << quint8(0) << qint32(10) << quint16(60000);
         })},
        {"negative size", stream([&](QDataStream &s) {
             header(s);
             s << quint8(0) << quint8(0) << qint32(-5) << quint16(1);
             s.writeRawData("a", 1);
         })},
        {"nesting too deep", stream([&](QDataStream &s) {
             header(s);
             for (int depth = 0; depth < 40; ++depth)
                 s << quint8(1) << quint8(1 + depth % 2) << qint32(0) << quint16(2);
             for (int depth = 0; depth <= 40; ++depth)
                 leaf(s, "n" + QByteArray::number(depth));
         })},
    };
    for (const TBad &c : bad) {
        SCOPED_TRACE(c.title);
        TDockZoneTree loaded = tree;
        EXPECT_FALSE(loaded.LoadFromStream(c.bytes));
        EXPECT_TRUE(loaded.IsEmpty());
    }
}

TEST(DockData, HexText)
{
    EXPECT_EQ(DockDataToHex(QByteArray::fromRawData("\x00\xAB\x1f\x7e", 4)), "00AB1F7E");
    EXPECT_EQ(DockDataToHex({}), "");
    EXPECT_EQ(DockDataFromHex("00ab1F7E"), QByteArray("\x00\xAB\x1f\x7e", 4));
    for (const char *bad : {"0", "0G", "zz00", "00 1", "-1"})
        EXPECT_TRUE(DockDataFromHex(QString::fromLatin1(bad)).isEmpty()) << bad;
    EXPECT_TRUE(DockDataFromHex("").isEmpty());
}

TEST(DockPanelSizes, OpenAtAQuarterThenAtTheLastSize)
{
    const QSize client(1000, 800);
    struct TCase {
        int tag;
        int quarter;
    };
    for (const TCase c : {TCase{dpLeft, 250}, TCase{dpBottom, 200}, TCase{dpRight, 250}}) {
        SCOPED_TRACE(c.tag);
        TDockPanelSizes sizes;
        EXPECT_EQ(sizes.Saved(c.tag), 0);
        EXPECT_EQ(sizes.OpenSize(c.tag, client), c.quarter);
        EXPECT_EQ(sizes.Saved(c.tag), c.quarter);
        sizes.Resized(c.tag, 321);
        sizes.Resized(c.tag, 0);   // a collapse is no size to re-open at
        EXPECT_EQ(sizes.OpenSize(c.tag, client), 321);
        sizes.Collapsing(c.tag, 300);
        sizes.Collapsing(c.tag, 0);   // collapsing twice keeps the open size
        EXPECT_EQ(sizes.OpenSize(c.tag, client), 300);
    }
    TDockPanelSizes sizes;
    EXPECT_EQ(sizes.OpenSize(7, client), 250);
    EXPECT_EQ(sizes.Saved(7), 0);
}

TEST(DockPanelSizes, PreviewRectanglesReachIntoThePageArea)
{
    const QSize client(1000, 800);
    EXPECT_EQ(DockPanelPreviewRect(dpLeft, QSize(0, 500), client), QRect(0, 0, 250, 500));
    EXPECT_EQ(DockPanelPreviewRect(dpLeft, QSize(300, 500), client), QRect(0, 0, 250, 500));
    EXPECT_EQ(DockPanelPreviewRect(dpRight, QSize(0, 500), client), QRect(-250, 0, 250, 500));
    EXPECT_EQ(DockPanelPreviewRect(dpRight, QSize(100, 500), client), QRect(-250, 0, 350, 500));
    EXPECT_EQ(DockPanelPreviewRect(dpBottom, QSize(900, 0), client), QRect(0, -200, 900, 200));
    EXPECT_EQ(DockPanelPreviewRect(dpBottom, QSize(900, 150), client), QRect(0, -200, 900, 350));
    EXPECT_TRUE(IsDockPanelTag(0) && IsDockPanelTag(1) && IsDockPanelTag(2));
    EXPECT_FALSE(IsDockPanelTag(3) || IsDockPanelTag(-1));
}

TEST(DockZone, FifthsOfAForm)
{
    const QSize client(100, 50);   // fifths: 20 across, 10 down
    struct TCase {
        QPoint pos;
        TAlign side;
        QRect preview;
    };
    const QRect unchanged(1, 2, 3, 4);
    const std::vector<TCase> cases = {
        {{0, 0}, alLeft, QRect(0, 0, 50, 50)},
        {{19, 49}, alLeft, QRect(0, 0, 50, 50)},
        {{20, 0}, alTop, QRect(0, 0, 100, 25)},
        {{79, 9}, alTop, QRect(0, 0, 100, 25)},
        {{80, 0}, alRight, QRect(50, 0, 50, 50)},
        {{99, 49}, alRight, QRect(50, 0, 50, 50)},
        {{20, 40}, alBottom, QRect(0, 25, 100, 25)},
        {{79, 49}, alBottom, QRect(0, 25, 100, 25)},
        {{20, 10}, alClient, QRect(20, 10, 60, 30)},
        {{50, 25}, alClient, QRect(20, 10, 60, 30)},
        {{79, 39}, alClient, QRect(20, 10, 60, 30)},
        {{100, 0}, alNone, unchanged},
        {{-1, 5}, alNone, unchanged},
        {{50, 50}, alNone, unchanged},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos.x() << "," << c.pos.y());
        QRect preview = unchanged;
        EXPECT_EQ(DockZone(c.pos, client, &preview), c.side);
        EXPECT_EQ(preview, c.preview);
    }
    // Widths that are no multiple of five: the right zone takes the rest.
    EXPECT_EQ(DockZone({82, 30}, QSize(103, 50)), alRight);
    EXPECT_EQ(DockZone({79, 30}, QSize(103, 50)), alClient);
}
