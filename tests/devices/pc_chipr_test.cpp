#include "devicesdat_writer.h"
#include "pc_chipr.h"

#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

DeviceRecord Device(const QString &name, uint8_t kind, uint16_t id)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    return r;
}

// Each test writes its own devices.dat into a fresh folder and points the unit at it.
class DeviceFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_tmp.filePath("devices.dat");
        SetDeviceFile(m_path);
    }
    void Write(const TDevicesDatWriter &writer) { ASSERT_TRUE(writer.Save(m_path)); }
    void WriteBytes(const QByteArray &bytes) { ASSERT_TRUE(test::WriteFile(m_path, bytes)); }

    QTemporaryDir m_tmp;
    QString m_path;
};

// A small file: names A..C, three devices of kinds 0, 1, 3.
TDevicesDatWriter SmallFile()
{
    TDevicesDatWriter w;
    EXPECT_TRUE(w.SetFuseNames({"HS", "XT", "NOWDT"}));
    w.AddRecord(Device("PIC12F508", dkPic12, 0xF508));
    w.AddRecord(Device("PIC16F877A", dkPic14, 0x877A));
    w.AddRecord(Device("PIC18F452", dkPic18, 0x452F));
    return w;
}

}  // namespace

TEST(DeviceRecordTest, FieldsSitAtTheirOffsets)
{
    DeviceRecord r;
    r.setName("PIC16F877A");
    r.setKind(dkPic14);
    r.setId(0x877A);
    r.setHasUsart(true);
    r.setEepromSize(16);
    r.setCcpCount(2);
    r.setAdcChannels(8);
    r.setAdcBits(10);
    r.setPortMask('A', 0x3F);
    r.setPortMask('E', 0x07);
    r.setPortMask('H', 0x11);
    r.setPortMask('J', 0x22);
    r.setPortMask('K', 0x33);
    r.setPortMask('I', 0xFF);   // no such port field: ignored
    r.setInterrupt(1, true);
    r.setInterrupt(63, true);
    r.setDataSheet("39582b");

    EXPECT_EQ(r.Byte(512), 10);
    EXPECT_EQ(r.Byte(513), 'P');
    EXPECT_EQ(r.Byte(530), 1);
    EXPECT_EQ(r.Byte(534), 1);
    EXPECT_EQ(r.Byte(536), 16);
    EXPECT_EQ(r.Byte(543), 2);
    EXPECT_EQ(r.Byte(594), 8);
    EXPECT_EQ(r.Byte(956), 10);
    EXPECT_EQ(r.Byte(603), 0x3F);
    EXPECT_EQ(r.Byte(607), 0x07);
    EXPECT_EQ(r.Byte(923), 0x11);
    EXPECT_EQ(r.Byte(924), 0x22);
    EXPECT_EQ(r.Byte(933), 0x33);
    EXPECT_EQ(r.Byte(824), 0x7A);
    EXPECT_EQ(r.Byte(825), 0x87);
    EXPECT_EQ(r.Byte(959), 0x02);
    EXPECT_EQ(r.Byte(966), 0x80);
    EXPECT_EQ(r.Byte(831), 6);
    EXPECT_EQ(r.portMask('I'), 0);
    EXPECT_TRUE(r.hasInterrupt(1));
    EXPECT_FALSE(r.hasInterrupt(2));
    EXPECT_FALSE(r.hasInterrupt(64));
    EXPECT_EQ(r.interrupts(), (uint64_t(1) << 63) | 2u);
    EXPECT_EQ(r.dataSheet(), "39582b");
}

TEST(DeviceRecordTest, LengthBytesNeverReadPastTheirField)
{
    DeviceRecord r;
    r.SetByte(512, 200);   // corrupt length byte
    for (int n = 513; n < 530; ++n)
        r.SetByte(n, 'X');
    EXPECT_EQ(r.name(), QString(15, 'X'));
    r.setName("A-NAME-LONGER-THAN-FIFTEEN");
    EXPECT_EQ(r.name(), "A-NAME-LONGER-T");
    EXPECT_EQ(r.Byte(512), 15);
    EXPECT_EQ(r.Byte(-1), 0);
    EXPECT_EQ(r.Byte(2048), 0);
    EXPECT_EQ(r.ramMap(512), 0);
}

TEST(KindSetTest, MembersAndKindsOfEightOrMore)
{
    EXPECT_EQ(kWizardKinds, 0x4B);
    EXPECT_EQ(kReviewKinds, 0x1B);
    const struct { unsigned kind; bool wizard; bool review; } cases[] = {
        {0, true, true}, {1, true, true}, {2, false, false}, {3, true, true},
        {4, false, true}, {5, false, false}, {6, true, false}, {7, false, false},
        {8, false, false}, {11, false, false}, {255, false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(KindInSet(kWizardKinds, c.kind), c.wizard) << c.kind;
        EXPECT_EQ(KindInSet(kReviewKinds, c.kind), c.review) << c.kind;
    }
    EXPECT_FALSE(KindInSet(kAllKinds, 8));
}

TEST_F(DeviceFileTest, FindsDevicesByNameAndBlock)
{
    Write(SmallFile());
    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC16F877A", r));
    EXPECT_EQ(r.id(), 0x877A);
    EXPECT_EQ(r.kind(), dkPic14);
    EXPECT_EQ(FuseName(3), "NOWDT");

    // Names compare exactly, case included.
    EXPECT_FALSE(FindDevice("pic16f877a", r));
    EXPECT_FALSE(FindDevice("PIC16F877", r));
    // Without a match the record holds the file's last record.
    EXPECT_EQ(r.name(), "PIC18F452");

    ASSERT_TRUE(FindDevice("@#3", r));   // blocks 0, 1 header; 2, 3, 4 the devices
    EXPECT_EQ(r.name(), "PIC16F877A");
    ASSERT_TRUE(FindDevice("@#0000412", r));   // only five digits count: "00004"
    EXPECT_EQ(r.name(), "PIC18F452");
}

TEST_F(DeviceFileTest, HeaderEndingInBlockZeroStillStartsDevicesAtBlockTwo)
{
    // Block 1 is skipped even when it does not look like a header block at all.
    TDevicesDatWriter w;
    w.SetRawHeader({QByteArray("@3HS\0XT\0\0", 9), QByteArray("JUNK")});
    DeviceRecord first = Device("PIC10F200", dkPic12, 0x0200);
    w.AddRecord(first);
    Write(w);

    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC10F200", r));
    EXPECT_EQ(FuseName(1), "HS");
    EXPECT_EQ(FuseName(2), "XT");
    QStringList list;
    EXPECT_EQ(ListDevices(list, kAllKinds, 0), 0);
    EXPECT_EQ(list, QStringList{"PIC10F200"});
    int visited = 0;
    EXPECT_TRUE(ForEachDevice([&](const DeviceRecord &d) { ++visited; return d.name() == "PIC10F200"; }, kAllKinds));
    EXPECT_EQ(visited, 1);
}

TEST_F(DeviceFileTest, NamesRunOnIntoBlockOneAndAcrossTheBoundary)
{
    // 1022 bytes of text fill block 0; a name straddles into block 1.
    QStringList names;
    for (int n = 0; n < 101; ++n)
        names << QStringLiteral("NAME%1_XY").arg(n, 3, 10, QLatin1Char('0'));   // 10 bytes + NUL
    names << "STRADDLE" << "LAST";
    TDevicesDatWriter w;
    ASSERT_TRUE(w.SetFuseNames(names));
    w.AddRecord(Device("PIC16F84A", dkPic14, 0x684A));
    Write(w);

    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC16F84A", r));
    EXPECT_EQ(FuseNameList(SharedFuseNames()), names);
    EXPECT_EQ(FuseName(102), "STRADDLE");
    EXPECT_EQ(FuseName(103), "LAST");
    EXPECT_EQ(FuseName(104), "");
    FuseNameTable own;
    LoadFuseNames(own);
    EXPECT_EQ(own, SharedFuseNames());
}

TEST_F(DeviceFileTest, PairSplitAcrossBlocksDoesNotEndTheList)
{
    QByteArray block0("@3");
    block0.append(QByteArray(1020, 'A'));
    block0.append('\0');          // offset 1022
    block0.append('\0');          // offset 1023: a pair within block 0 ends the list here
    QByteArray block0b("@3");
    block0b.append(QByteArray(1021, 'A'));
    block0b.append('\0');         // offset 1023 only; the next NUL is in block 1
    QByteArray block1("@A");
    block1.append(QByteArray("\0B\0\0", 4));

    TDevicesDatWriter ends;
    ends.SetRawHeader({block0, block1});
    Write(ends);
    FuseNameTable table;
    LoadFuseNames(table);
    EXPECT_EQ(FuseNameList(table).size(), 1);

    TDevicesDatWriter split;
    split.SetRawHeader({block0b, block1});
    Write(split);
    LoadFuseNames(table);
    EXPECT_EQ(FuseNameList(table), (QStringList{QString(1021, 'A'), "", "B"}));
    EXPECT_EQ(FuseNameIn(table, 3), "B");
}

TEST_F(DeviceFileTest, HeaderContinuingIntoBlockTwoMovesTheFirstRecord)
{
    QByteArray block0("@3");
    block0.append(QByteArray(1022, 'A'));
    QByteArray block1("@A");
    block1.append(QByteArray(1022, 'B'));
    QByteArray block2("@AC\0\0", 5);
    TDevicesDatWriter w;
    w.SetRawHeader({block0, block1, block2});
    w.AddRecord(Device("PIC16F628A", dkPic14, 0x628A));
    Write(w);

    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC16F628A", r));
    EXPECT_EQ(FuseName(1), QString(1022, 'A') + QString(1022, 'B') + "C");
    // ListDevices always starts at block 2 and so reads block 2 as a (nameless) record.
    QStringList list;
    ListDevices(list, kAllKinds, 0);
    EXPECT_EQ(list.size(), 2);
}

TEST_F(DeviceFileTest, BadHeaderGivesAnEmptyNameTable)
{
    Write(SmallFile());
    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC12F508", r));
    ASSERT_EQ(FuseName(1), "HS");

    TDevicesDatWriter w;
    w.SetRawHeader({QByteArray("XXHS\0\0", 6), QByteArray("@A")});
    w.AddRecord(Device("PIC12F508", dkPic12, 0xF508));
    Write(w);
    ASSERT_TRUE(FindDevice("PIC12F508", r));
    EXPECT_EQ(FuseName(1), "");
    EXPECT_TRUE(SharedFuseNames().isEmpty());

    FuseNameTable own("OLD\0", 4);
    LoadFuseNames(own);
    EXPECT_TRUE(own.isEmpty());
}

TEST_F(DeviceFileTest, WithoutHeaderTheSearchStartsAtBlockOne)
{
    TDevicesDatWriter w;
    w.SetRawHeader({});
    w.AddRecord(Device("BLOCK0", dkPic14, 1));
    w.AddRecord(Device("BLOCK1", dkPic14, 2));
    w.AddRecord(Device("BLOCK2", dkPic14, 3));
    Write(w);
    DeviceRecord r;
    EXPECT_FALSE(FindDevice("BLOCK0", r));
    EXPECT_TRUE(FindDevice("BLOCK1", r));
    QStringList list;
    ListDevices(list, kAllKinds, 0);
    EXPECT_EQ(list, QStringList{"BLOCK2"});
}

TEST_F(DeviceFileTest, OneBlockRecordsReadTheirSecondHalfAsZero)
{
    DeviceRecord pic18 = Device("PIC18F8722", dkPic18, 0x8722);
    ASSERT_TRUE(SetFuseEntry(pic18, 81, {0x0F00, 0x0500, 2, 3}));
    ASSERT_TRUE(SetFuseEntry(pic18, 1, {0x0003, 0x0001, 1, 1}));
    DeviceRecord oneBlock = pic18;
    oneBlock.setName("PIC18F6722");
    oneBlock.setHasSecondBlock(false);   // its bytes 1024.. are never written

    TDevicesDatWriter w;
    w.SetFuseNames({"HS", "XT"});
    w.AddRecord(oneBlock);
    w.AddRecord(pic18);
    w.AddRecord(Device("PIC18F452", dkPic18, 0x452F));
    Write(w);

    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC18F8722", r));
    EXPECT_EQ(r, pic18);
    EXPECT_EQ(FuseMask(r, 81), 0x0F00);
    EXPECT_EQ(FuseValue(r, 81), 0x0500);
    EXPECT_EQ(FuseNameIndex(r, 81), 2);
    EXPECT_EQ(FuseWord(r, 81), 3);

    ASSERT_TRUE(FindDevice("PIC18F6722", r));
    EXPECT_EQ(r.hasSecondBlock(), 0);
    EXPECT_EQ(FuseMask(r, 81), 0);
    EXPECT_EQ(FuseNameIndex(r, 81), 0);
    for (int n = 1024; n < 2048; ++n)
        ASSERT_EQ(r.bytes[n], 0) << n;

    // The one-block record did not swallow the next record.
    QStringList list;
    ListDevices(list, kAllKinds, 0);
    EXPECT_EQ(list, (QStringList{"PIC18F6722", "PIC18F8722", "PIC18F452"}));
}

TEST_F(DeviceFileTest, ControlRecordsAreNeverListedOrVisited)
{
    DeviceRecord info = Device("@INFO", dkPic14, 0x1111);
    DeviceRecord eof = Device("@EOF", dkPic14, 0x2222);
    eof.setHasSecondBlock(true);   // control records never have a second block
    TDevicesDatWriter w;
    w.SetFuseNames({"HS"});
    w.AddRecord(info);
    w.AddRecord(Device("PIC16F84A", dkPic14, 0x684A));
    w.AddRecord(eof);
    w.AddRecord(Device("PIC16F628A", dkPic14, 0x628A));
    Write(w);

    QStringList list;
    ListDevices(list, kAllKinds, 0);
    EXPECT_EQ(list, (QStringList{"PIC16F84A", "PIC16F628A"}));
    QStringList visited;
    EXPECT_TRUE(ForEachDevice([&](const DeviceRecord &d) { visited << d.name(); return true; }, kAllKinds));
    EXPECT_EQ(visited, list);

    DeviceRecord r;
    // A lookup by exact name compares every record, control records included.
    EXPECT_TRUE(FindDevice("@EOF", r));
    // By block number: "@I..." is found, any other control record is not.
    EXPECT_TRUE(FindDevice("@#2", r));
    EXPECT_EQ(r.name(), "@INFO");
    EXPECT_FALSE(FindDevice("@#4", r));
    EXPECT_EQ(r.name(), "@EOF");
    EXPECT_TRUE(FindDevice("@#3", r));
    EXPECT_EQ(r.name(), "PIC16F84A");
}

TEST_F(DeviceFileTest, BlockNumbersPastTheEndAndNonNumbers)
{
    Write(SmallFile());
    DeviceRecord r = Device("KEEP", dkPic18, 0x1234);
    EXPECT_FALSE(FindDevice("@#5", r));
    EXPECT_EQ(r.name(), "@EOF");
    EXPECT_EQ(r.id(), 0x1234);   // the rest is left as it was
    EXPECT_EQ(r.kind(), dkPic18);

    for (const char *bad : {"@#", "@#x1", "@#-1", "@# 2", "@#1a"})
        EXPECT_THROW(FindDevice(bad, r), TDeviceNumberError) << bad;
}

TEST_F(DeviceFileTest, ListDevicesReturnsThePositionOfTheId)
{
    TDevicesDatWriter w;
    w.SetFuseNames({"HS"});
    w.AddRecord(Device("PIC12F508", dkPic12, 0xF508));
    w.AddRecord(Device("SX28AC", dkSx, 0x5328));
    w.AddRecord(Device("PIC16F877A", dkPic14, 0x877A));
    w.AddRecord(Device("DSPIC", 5, 0x3000));
    w.AddRecord(Device("PIC18F452", dkPic18, 0x452F));
    w.AddRecord(Device("TWIN", dkPic18, 0x877A));
    w.AddRecord(Device("KIND9", 9, 0x9999));
    Write(w);

    struct Case { KindSet kinds; uint16_t id; int position; QStringList names; };
    const QStringList wizard{"PIC12F508", "PIC16F877A", "PIC18F452", "TWIN"};
    const QStringList review{"PIC12F508", "SX28AC", "PIC16F877A", "PIC18F452", "TWIN"};
    const Case cases[] = {
        {kWizardKinds, 0, 0, wizard},
        {kWizardKinds, 0x452F, 2, wizard},
        {kWizardKinds, 0x4242, 0, wizard},          // no record carries the id
        {kWizardKinds, 0x5328, 1, wizard},          // SX is outside the set: the next position
        {kWizardKinds, 0x3000, 2, wizard},
        {kWizardKinds, 0x877A, 3, wizard},          // the last record with the id decides
        {kReviewKinds, 0x5328, 1, review},
        {kReviewKinds, 0x9999, 5, review},          // kind 9: never listed, its id still counts
        {kAllKinds, 0xF508, 0, {"PIC12F508", "SX28AC", "PIC16F877A", "DSPIC", "PIC18F452", "TWIN"}},
    };
    for (const Case &c : cases) {
        QStringList list{"stale"};
        EXPECT_EQ(ListDevices(list, c.kinds, c.id), c.position) << c.kinds << " " << c.id;
        EXPECT_EQ(list, c.names);
    }
}

TEST_F(DeviceFileTest, ForEachDeviceStopsWhenTheVisitorSaysSo)
{
    Write(SmallFile());
    QStringList seen;
    auto visitor = [](const DeviceRecord &record, void *context) {
        auto *names = static_cast<QStringList *>(context);
        names->append(record.name());
        return record.id() != 0x877A;
    };
    EXPECT_FALSE(ForEachDevice(visitor, kAllKinds, &seen));
    EXPECT_EQ(seen, (QStringList{"PIC12F508", "PIC16F877A"}));
    seen.clear();
    EXPECT_TRUE(ForEachDevice(visitor, MakeKindSet({0, 3}), &seen));
    EXPECT_EQ(seen, (QStringList{"PIC12F508", "PIC18F452"}));
    EXPECT_EQ(FuseName(2), "XT");
}

TEST_F(DeviceFileTest, MissingFile)
{
    SetDeviceFile(m_tmp.filePath("nothing/devices.dat"));
    DeviceRecord r = Device("KEEP", dkPic14, 7);
    EXPECT_FALSE(FindDevice("PIC16F877A", r));
    EXPECT_EQ(r.name(), "KEEP");
    int calls = 0;
    EXPECT_TRUE(ForEachDevice([&](const DeviceRecord &) { ++calls; return false; }, kAllKinds));
    EXPECT_EQ(calls, 0);
    FuseNameTable own("HS\0", 3);
    LoadFuseNames(own);
    EXPECT_EQ(own, FuseNameTable("HS\0", 3));
    QStringList list{"stale"};
    EXPECT_THROW(ListDevices(list, kAllKinds, 0), TDeviceFileError);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(DeviceFileTest, TruncatedFilesReadTheMissingBytesAsZero)
{
    DeviceRecord big = Device("PIC18F8722", dkPic18, 0x8722);
    for (int entry = 81; entry <= 130; ++entry)
        ASSERT_TRUE(SetFuseEntry(big, entry, {0xFFFF, uint16_t(entry), 1, 1}));
    TDevicesDatWriter w;
    w.SetFuseNames({"HS"});
    w.AddRecord(Device("PIC16F84A", dkPic14, 0x684A));
    QByteArray whole = w.Bytes();
    const QByteArray bigBytes(reinterpret_cast<const char *>(big.bytes.data()), kDeviceRecordSize);

    // The second block is cut after entry 90's slot; the record still reads, the rest as zero.
    WriteBytes(whole + bigBytes.left(1024 + 6 * 10));
    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC18F8722", r));
    EXPECT_EQ(FuseValue(r, 90), 90);
    EXPECT_EQ(FuseMask(r, 91), 0);
    EXPECT_EQ(FuseMask(r, 130), 0);

    // Only part of the first block: the name is there, everything after reads as zero.
    WriteBytes(whole + bigBytes.left(530));
    ASSERT_TRUE(FindDevice("PIC18F8722", r));
    EXPECT_EQ(r.kind(), 0);
    EXPECT_EQ(r.hasSecondBlock(), 0);

    // A header cut short: an empty file and a file of one partial block.
    WriteBytes(QByteArray());
    EXPECT_FALSE(FindDevice("PIC16F84A", r));
    WriteBytes(QByteArray("@3HS", 4));
    FuseNameTable table;
    LoadFuseNames(table);
    EXPECT_EQ(FuseNameList(table), QStringList{"HS"});
    EXPECT_FALSE(FindDevice("PIC16F84A", r));
    QStringList list;
    EXPECT_EQ(ListDevices(list, kAllKinds, 0), 0);
    EXPECT_TRUE(list.isEmpty());
}

TEST(FuseNameTest, PositionsOfATable)
{
    const FuseNameTable table("LP\0XT\0HS\0", 9);
    const struct { int position; const char *name; } cases[] = {
        {0, ""}, {1, "LP"}, {2, "XT"}, {3, "HS"}, {4, ""}, {255, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FuseNameIn(table, uint8_t(c.position)), QString(c.name)) << c.position;
    EXPECT_EQ(FuseNameIn(FuseNameTable(), 1), "");
    // A table cut short keeps its last, unterminated name.
    EXPECT_EQ(FuseNameIn(FuseNameTable("LP\0X", 4), 2), "X");
}

TEST(FuseTableTest, WhereEachRangeOfEntriesLives)
{
    DeviceRecord r;
    // Fill every byte so that anything read from the wrong place shows.
    for (int n = 0; n < kDeviceRecordSize; ++n)
        r.bytes[n] = uint8_t(n * 7 + 3);
    r.SetByte(devrec::name, 0);

    r.setKind(dkPic14);
    r.setHasSecondBlock(true);
    for (int entry : {51, 60, 80, 81, 130, 131, 255}) {
        EXPECT_EQ(FuseMask(r, uint8_t(entry)), 0) << entry;
        EXPECT_EQ(FuseValue(r, uint8_t(entry)), 0) << entry;
        EXPECT_EQ(FuseNameIndex(r, uint8_t(entry)), 0) << entry;
    }
    EXPECT_EQ(FuseMask(r, 7), r.Word(611 + 28));
    EXPECT_EQ(FuseValue(r, 7), r.Word(613 + 28));
    EXPECT_EQ(FuseNameIndex(r, 7), r.Byte(871));

    r.setKind(dkPic18);
    EXPECT_EQ(FuseMask(r, 51), r.Word(366));
    EXPECT_EQ(FuseValue(r, 80), r.Word(368 + 4 * 29));
    EXPECT_EQ(FuseNameIndex(r, 60), r.Byte(345));
    EXPECT_EQ(FuseWord(r, 1), r.Byte(256));
    EXPECT_EQ(FuseWord(r, 80), r.Byte(335));
    EXPECT_EQ(FuseMask(r, 81), r.Word(1024));
    EXPECT_EQ(FuseValue(r, 130), r.Word(1024 + 6 * 49 + 2));
    EXPECT_EQ(FuseNameIndex(r, 130), r.Byte(1024 + 6 * 49 + 4));
    EXPECT_EQ(FuseMask(r, 131), 0);
    r.setHasSecondBlock(false);
    EXPECT_EQ(FuseMask(r, 81), 0);
    EXPECT_EQ(FuseNameIndex(r, 100), 0);
    EXPECT_EQ(FuseWord(r, 100), 0);

    r.setKind(dkPic12);
    EXPECT_EQ(FuseWord(r, 3), 1);
    EXPECT_EQ(FuseMask(r, 51), 0);
}

TEST(FuseTableTest, SecondWordOfFourteenBitDevices)
{
    DeviceRecord r = Device("PIC16F88", dkPic14, 0x688F);
    ASSERT_TRUE(SetFuseEntry(r, 3, {0x0001, 0x0001, 1, 2}));
    ASSERT_TRUE(SetFuseEntry(r, 50, {0x0002, 0x0000, 1, 2}));
    ASSERT_TRUE(SetFuseEntry(r, 4, {0x0004, 0x0004, 1, 1}));
    EXPECT_EQ(FuseWord(r, 3), 2);
    EXPECT_EQ(FuseWord(r, 50), 2);
    EXPECT_EQ(FuseWord(r, 4), 1);
    EXPECT_EQ(r.Byte(815), 0x08);
    // Bits above 55 are never looked at.
    r.SetByte(815 + 6, 0xFF);
    EXPECT_EQ(FuseWord(r, 55), 2);
    EXPECT_EQ(FuseWord(r, 56), 1);
    r.setKind(dkPic12);
    EXPECT_EQ(FuseWord(r, 3), 1);
}

TEST(FuseTableTest, ConfigWordCountStopsAtTheFirstNamelessEntry)
{
    const FuseNameTable table("HS\0XT\0WDT\0", 10);
    DeviceRecord r = Device("PIC18F452", dkPic18, 0x452F);
    SetFuseEntry(r, 1, {0x0F00, 0x0200, 1, 1});
    SetFuseEntry(r, 2, {0x0F00, 0x0100, 2, 4});
    SetFuseEntry(r, 3, {0x0001, 0x0001, 3, 2});
    SetFuseEntry(r, 5, {0x0001, 0x0000, 3, 7});   // after the nameless entry 4: not counted
    EXPECT_EQ(ConfigWordCount(r, table), 4);
    SetFuseEntry(r, 4, {0x0001, 0x0000, 3, 1});
    EXPECT_EQ(ConfigWordCount(r, table), 7);
    r.setKind(dkPic14);
    EXPECT_EQ(ConfigWordCount(r, table), 1);
}

TEST(WriterTest, FuseEntriesTheLayoutCannotHold)
{
    struct Case { uint8_t kind; int entry; uint8_t word; bool stored; };
    const Case cases[] = {
        {dkPic12, 1, 1, true}, {dkPic12, 50, 1, true}, {dkPic12, 51, 1, false},
        {dkPic12, 1, 2, false}, {dkPic12, 0, 1, false},
        {dkPic14, 50, 2, true}, {dkPic14, 51, 1, false}, {dkPic14, 5, 3, false},
        {dkPic18, 130, 7, true}, {dkPic18, 131, 1, false}, {dkPic18, 80, 0, false},
        {dkSx, 1, 1, true}, {dkSx, 1, 2, false},
    };
    for (const Case &c : cases) {
        DeviceRecord r = Device("X", c.kind, 1);
        const DeviceRecord before = r;
        EXPECT_EQ(SetFuseEntry(r, c.entry, {0x0003, 0x0001, 1, c.word}), c.stored)
            << int(c.kind) << " " << c.entry << " " << int(c.word);
        if (!c.stored)
            EXPECT_EQ(r, before);
        else
            EXPECT_EQ(FuseMask(r, uint8_t(c.entry)), 0x0003);
    }
}

TEST(WriterTest, FuseNameTableLimits)
{
    QStringList many;
    for (int n = 0; n < 255; ++n)
        many << QStringLiteral("F%1").arg(n);
    EXPECT_TRUE(TDevicesDatWriter::FuseNamesFit(many));
    EXPECT_FALSE(TDevicesDatWriter::FuseNamesFit(many + QStringList{"ONE_MORE"}));

    QStringList longNames;
    for (int n = 0; n < 128; ++n)
        longNames << QStringLiteral("LONG_NAME_%1__").arg(n, 3, 10, QLatin1Char('0'));   // 15 + NUL
    EXPECT_FALSE(TDevicesDatWriter::FuseNamesFit(longNames));   // 128 * 16 + 1 > 2044
    EXPECT_TRUE(TDevicesDatWriter::FuseNamesFit(longNames.mid(0, 127)));   // 127 * 16 + 1
    EXPECT_FALSE(TDevicesDatWriter::FuseNamesFit({"OK", ""}));
    EXPECT_FALSE(TDevicesDatWriter::FuseNamesFit({QString("A") + QChar(0) + "B"}));

    TDevicesDatWriter w;
    ASSERT_TRUE(w.SetFuseNames({"HS", "XT"}));
    EXPECT_FALSE(w.SetFuseNames(many + QStringList{"ONE_MORE"}));
    EXPECT_EQ(w.FuseNames(), (QStringList{"HS", "XT"}));
    EXPECT_EQ(w.FuseNamePosition("XT"), 2);
    EXPECT_EQ(w.FuseNamePosition("RC"), 0);
}

TEST_F(DeviceFileTest, EveryFittingTableReadsBackWhole)
{
    // Names whose total lands the closing pair on each side of the block boundary.
    for (int pad = 0; pad < 12; ++pad) {
        QStringList names;
        for (int n = 0; n < 92; ++n)
            names << QStringLiteral("NAME%1_X").arg(n, 2, 10, QLatin1Char('0'));   // 10 bytes
        names << QString(pad + 1, 'P');
        ASSERT_TRUE(TDevicesDatWriter::FuseNamesFit(names));
        TDevicesDatWriter w;
        ASSERT_TRUE(w.SetFuseNames(names));
        w.AddRecord(Device("PIC16F84A", dkPic14, 0x684A));
        Write(w);
        FuseNameTable table;
        LoadFuseNames(table);
        QStringList read = FuseNameList(table);
        if (read.size() == names.size() + 1 && read.last().isEmpty())
            read.removeLast();   // pair split at the boundary: one empty name past the last
        EXPECT_EQ(read, names) << pad;
        DeviceRecord r;
        EXPECT_TRUE(FindDevice("PIC16F84A", r)) << pad;
    }
}

// A damaged devices.dat is told apart from a sound one, however little it lists.
TEST_F(DeviceFileTest, DamageIsReportedApartFromAnEmptyList)
{
    const QByteArray sound = SmallFile().Bytes();
    TDevicesDatWriter empty;
    ASSERT_TRUE(empty.SetFuseNames({"HS"}));
    QByteArray headerGone = sound;
    headerGone[0] = 'X';
    QByteArray longName = sound;
    longName[2 * kDeviceBlockSize + devrec::name] = char(255);
    QByteArray controlName = sound;
    controlName[2 * kDeviceBlockSize + devrec::name + 3] = '\x07';
    QByteArray random(6000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    const struct {
        const char *name;
        QByteArray bytes;
        QString problem;   // empty: sound; otherwise the start of the first problem
    } cases[] = {
        {"sound", sound, QString()},
        {"sound and empty", empty.Bytes(), QString()},
        {"no file", QByteArray(), "does not exist"},
        {"shorter than its header", sound.left(1500), "is too short for a device database: 1500 bytes"},
        {"header damaged", headerGone, "has a damaged header: it does not begin with \"@3\""},
        {"cut short", sound.left(sound.size() - 100), "is cut short"},
        {"a name length of 255", longName, "the record at block 2 has a name length of 255"},
        {"control characters", controlName, "the record at block 2 has control characters in its name"},
        {"random bytes", random, "has a damaged header"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_path);
        if (QByteArray(c.name) != "no file")
            WriteBytes(c.bytes);
        const QStringList problems = DeviceFileProblems(m_path);
        if (c.problem.isEmpty()) {
            EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
            continue;
        }
        ASSERT_FALSE(problems.isEmpty());
        EXPECT_TRUE(problems.first().startsWith(m_path)) << problems.first().toStdString();
        EXPECT_TRUE(problems.first().contains(c.problem)) << problems.first().toStdString();
    }
}
