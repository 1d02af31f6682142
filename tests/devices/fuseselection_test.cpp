// The fuse frame's groups, controls, defaults and chosen fuses, the description lookups and the
// review window lines, on a small devices.dat written here.

#include "devicesdat_writer.h"
#include "fuseselection_model.h"
#include "kivfuse_model.h"
#include "kivints_model.h"
#include "pc_chipr.h"
#include "pc_int.h"

#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

const QStringList kNames{"LP", "XT", "HS", "RC", "NOWDT", "WDT", "PROTECT", "NOPROTECT", "PUT", "NOPUT",
                         "BROWNOUT", "NOBROWNOUT", "LVP", "NOLVP", "WRT_OFF", "WRT_1", "WRT_2", "WRT_3",
                         "DEBUG", "WDT128", "WDT1", "RESERVED", "CCP2C1", "CCP2B3", "STVREN", "NOSTVREN"};

struct TEntry {
    const char *name;
    uint16_t mask;
    uint16_t value;
    uint8_t word;
};

DeviceRecord Device(const QString &name, uint8_t kind, std::initializer_list<TEntry> entries)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    int n = 1;
    for (const TEntry &e : entries)
        EXPECT_TRUE(SetFuseEntry(r, n++, {e.mask, e.value, uint8_t(kNames.indexOf(e.name) + 1), e.word})) << e.name;
    return r;
}

// A 14-bit part: oscillator (4), watchdog (excluded), code protect pair, power-up timer pair,
// one lone fuse (DEBUG), write protection (4 settings), and a second-word pair.
DeviceRecord Midrange()
{
    return Device("PIC16F877A", dkPic14,
                  {{"LP", 0x0003, 0x0000, 1}, {"XT", 0x0003, 0x0001, 1}, {"HS", 0x0003, 0x0002, 1},
                   {"RC", 0x0003, 0x0003, 1}, {"NOWDT", 0x0004, 0x0000, 1}, {"WDT", 0x0004, 0x0004, 1},
                   {"PROTECT", 0x2000, 0x0000, 1}, {"NOPROTECT", 0x2000, 0x2000, 1},
                   {"NOPUT", 0x0008, 0x0008, 1}, {"PUT", 0x0008, 0x0000, 1},
                   {"DEBUG", 0x0800, 0x0000, 1},
                   {"WRT_OFF", 0x0600, 0x0600, 1}, {"WRT_1", 0x0600, 0x0400, 1}, {"WRT_2", 0x0600, 0x0200, 1},
                   {"WRT_3", 0x0600, 0x0000, 1},
                   {"NOLVP", 0x0001, 0x0000, 2}, {"LVP", 0x0001, 0x0001, 2}});
}

// A PIC18 part with fuses in three configuration words, the same mask in two of them.
DeviceRecord Pic18()
{
    return Device("PIC18F452", dkPic18,
                  {{"LP", 0x0700, 0x0000, 1}, {"XT", 0x0700, 0x0100, 1}, {"HS", 0x0700, 0x0200, 1},
                   {"NOPUT", 0x0001, 0x0001, 2}, {"PUT", 0x0001, 0x0000, 2},
                   {"WDT1", 0x0E00, 0x0000, 2}, {"WDT128", 0x0E00, 0x0E00, 2},
                   {"CCP2C1", 0x0100, 0x0100, 3}, {"CCP2B3", 0x0100, 0x0000, 3},
                   {"STVREN", 0x0001, 0x0001, 4}, {"NOSTVREN", 0x0001, 0x0000, 4},
                   {"BROWNOUT", 0x0002, 0x0002, 2}, {"NOBROWNOUT", 0x0002, 0x0000, 2}});
}

const TDescriptionFile &Descriptions()
{
    static const TDescriptionFile file = TDescriptionFile::FromLines({
        "LP Low power crystal",
        "XT Crystal up to 4 MHz",
        "HS   High speed crystal  ",
        "PROTECT Code protected",
        "PROTECTX Not this one",
        "PUT Power Up Timer",
        "DEBUG Debug mode",
        "WRT_1 Write protect upper quarter",
        "LVP Low voltage programming",
        "STVREN Stack overflow resets",
        "BROWNOUT Brownout reset",
    });
    return file;
}

class FuseFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TDevicesDatWriter writer;
        ASSERT_TRUE(writer.SetFuseNames(kNames));
        writer.AddRecord(Midrange());
        writer.AddRecord(Pic18());
        writer.AddRecord(Device("PIC12F508", dkPic12, {}));
        ASSERT_TRUE(writer.Save(m_tmp.filePath("devices.dat")));
        SetDeviceFile(m_tmp.filePath("devices.dat"));
        LoadFuseNames(m_names);
    }
    DeviceRecord Find(const QString &name)
    {
        DeviceRecord r;
        EXPECT_TRUE(FindDevice(name, r));
        return r;
    }
    QTemporaryDir m_tmp;
    FuseNameTable m_names;
};

QStringList ControlKinds(const TFuseFrameModel &frame)
{
    QStringList kinds;
    for (const TFuseControl &c : frame.Controls())
        kinds << (c.kind == TFuseControl::fcCheckBox ? "check" : "drop") + QStringLiteral(":") + c.captions.join('|');
    return kinds;
}

}  // namespace

TEST(FuseGroupsTest, ItemsOfTheSameMaskAndWordShareAGroup)
{
    TFuseGroups groups;
    groups.Add("LP", 3, 0, 1, 0);
    groups.Add("PUT", 8, 1, 1, 0);
    groups.Add("XT", 3, 2, 1, 1);
    groups.Add("LVP", 3, 3, 2, 1);   // same mask, other word
    ASSERT_EQ(groups.GroupCount(), 3);
    EXPECT_EQ(groups.ItemCount(0), 2);
    EXPECT_EQ(groups.Item(0, 1).name, "XT");
    EXPECT_EQ(groups.Item(0, 1).entry, 2);
    EXPECT_EQ(groups.Item(2, 0).word, 2);
    EXPECT_EQ(groups.ItemCount(7), 0);
}

TEST(DescriptionFileTest, FrameLookupTakesTheFirstLineAndReviewLookupTheLast)
{
    const TDescriptionFile file = TDescriptionFile::FromLines(
        {"HS  first  ", "HSPLL pll", "HS second", "HS\tnot a space", "NAME " + QString(120, 'x')});
    EXPECT_EQ(file.FuseDescription("HS"), "first");
    EXPECT_EQ(file.FuseDescription("H"), "H");               // no line: the name itself
    EXPECT_EQ(file.FuseDescription("MISSING"), "MISSING");
    EXPECT_EQ(file.ReviewDescription("HS"), "second");
    EXPECT_EQ(file.ReviewDescription("H"), "");
    EXPECT_EQ(file.ReviewDescription("NAME").size(), 100);
}

TEST(DescriptionFileTest, AMissingFileIsAnError)
{
    QTemporaryDir tmp;
    EXPECT_THROW(TDescriptionFile(tmp.filePath("fuses.txt")), TDescriptionFileError);
}

TEST_F(FuseFileTest, GroupsBecomeCheckBoxesAndDropDowns)
{
    TFuseFrameModel frame;
    frame.Build(Find("PIC16F877A"), m_names, Descriptions());
    EXPECT_EQ(ControlKinds(frame),
              (QStringList{"drop:Low power crystal|Crystal up to 4 MHz|High speed crystal|RC",
                           "check:Code protected", "check:Power Up Timer", "check:Debug mode",
                           "drop:WRT_OFF|Write protect upper quarter|WRT_2|WRT_3", "check:Low voltage programming"}));
    EXPECT_EQ(frame.ChoiceNames(),
              (QStringList{"LP", "XT", "HS", "RC", "PROTECT", "NOPROTECT", "PUT", "NOPUT", "DEBUG", "",
                           "WRT_OFF", "WRT_1", "WRT_2", "WRT_3", "LVP", "NOLVP"}));
    // Built controls start unchecked and on item 0.
    EXPECT_EQ(frame.SelectedFuses(), "LP, NOPROTECT, NOPUT, WRT_OFF, NOLVP");
}

TEST_F(FuseFileTest, DefaultsAreTheFusesAnAllOnesWordSelects)
{
    TFuseFrameModel frame;
    const DeviceRecord device = Find("PIC16F877A");
    frame.Build(device, m_names, Descriptions());
    frame.SelectDefaults(device, m_names);
    // RC (value = mask), NOPROTECT, NOPUT, no DEBUG, WRT_OFF, LVP.
    EXPECT_EQ(frame.SelectedFuses(), "RC, NOPROTECT, NOPUT, WRT_OFF, LVP");

    frame.SetChecked(1, true);      // PROTECT
    frame.SetChecked(3, true);      // DEBUG
    frame.SetChosen(4, 3);          // WRT_3
    frame.SetChosen(4, 9);          // out of range: ignored
    frame.SetChosen(1, 1);          // not a drop-down: ignored
    EXPECT_EQ(frame.SelectedFuses(), "RC, PROTECT, NOPUT, DEBUG, WRT_3, LVP");
    frame.SetChecked(1, false);
    frame.SetChecked(3, false);     // a lone fuse unchecked contributes nothing
    EXPECT_EQ(frame.SelectedFuses(), "RC, NOPROTECT, NOPUT, WRT_3, LVP");
}

TEST_F(FuseFileTest, Pic18GroupsFollowTheirWordsAndDefaultsEachWord)
{
    TFuseFrameModel frame;
    const DeviceRecord device = Find("PIC18F452");
    frame.Build(device, m_names, Descriptions());
    // WDT1/WDT128 and CCP2C1/CCP2B3 are the wizard's own: left out.
    EXPECT_EQ(ControlKinds(frame),
              (QStringList{"drop:Low power crystal|Crystal up to 4 MHz|High speed crystal", "check:Power Up Timer",
                           "check:Stack overflow resets", "check:Brownout reset"}));
    frame.SelectDefaults(device, m_names);
    EXPECT_EQ(frame.SelectedFuses(), "LP, NOPUT, STVREN, BROWNOUT");
}

TEST_F(FuseFileTest, ADeviceWithoutFusesHasNoControlsAndAnEmptySelection)
{
    TFuseFrameModel frame;
    const DeviceRecord device = Find("PIC12F508");
    frame.Build(device, m_names, Descriptions());
    frame.SelectDefaults(device, m_names);
    EXPECT_TRUE(frame.Controls().isEmpty());
    EXPECT_EQ(frame.SelectedFuses(), "");
}

TEST_F(FuseFileTest, ReviewLinesListEveryFuseWithItsDescription)
{
    const QStringList lines = FuseReviewLines(Find("PIC16F877A"), m_names, TDescriptionFile::FromLines({
        "NOWDT No watchdog", "WRT_OFF   Not write protected", "NOPROTECT Not protected"}));
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[0], "LP\t\t");
    EXPECT_EQ(lines[4], "NOWDT\t\tNo watchdog");
    EXPECT_EQ(lines[7], "NOPROTECT\tNot protected");
    EXPECT_EQ(lines[11], "WRT_OFF\tNot write protected");
}

TEST(FuseReviewTest, ReservedEntriesAreLeftOutAndNamesWithIGetTheirTab)
{
    TDevicesDatWriter writer;
    ASSERT_TRUE(writer.SetFuseNames({"RESERVED", "INTRC_IO", "INTOSCIO9", "BROWNOUT"}));
    DeviceRecord r;
    r.setName("X");
    r.setKind(dkPic14);
    for (int n = 1; n <= 4; ++n)
        ASSERT_TRUE(SetFuseEntry(r, n, {uint16_t(1 << n), 0, uint8_t(n), 1}));
    const FuseNameTable table = writer.Bytes().mid(2, 100);
    const QStringList lines = FuseReviewLines(r, table, TDescriptionFile());
    EXPECT_EQ(lines, (QStringList{"INTRC_IO\t\t", "INTOSCIO9\t", "BROWNOUT\t"}));
}

TEST(InterruptReviewTest, LinesFollowTheKindsTableAndStopAt47)
{
    DeviceRecord r;
    r.setKind(dkPic14);
    for (int n : {1, 4, 11, 33, 48})
        r.setInterrupt(n, true);
    const TDescriptionFile file = TDescriptionFile::FromLines({"RTCC Timer 0", "TIMER1 old", "TIMER1 Timer 1 overflow"});
    EXPECT_EQ(InterruptReviewLines(r, file),
              (QStringList{"RTCC\t\tTimer 0", "EXT\t\t", "TIMER1\t\tTimer 1 overflow", "OSC_FAIL\t\t"}));
    EXPECT_EQ(SelectedInterruptTable(), 'M');

    r.setKind(dkPic18);
    EXPECT_EQ(InterruptReviewLines(r, file), (QStringList{"RTCC\t\tTimer 0", "TIMER2\t\t", "PSP\t\t", "CCP3\t\t"}));
    r.setKind(dkSx);
    EXPECT_EQ(InterruptReviewLines(r, file).value(0), "RB0\t\t");

    // Kind 0 has no table: the selection stays as it was.
    r.setKind(dkPic12);
    InterruptReviewLines(r, file);
    EXPECT_EQ(SelectedInterruptTable(), 'S');
}
