#include "devicesdat_writer.h"
#include "pc_chipr.h"

#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

DeviceRecord Device(const QString &name, uint8_t kind, uint16_t id)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    return r;
}

// Header, a one-block record, a control record, a two-block PIC18 record, and a two-block record
// whose second block the file cuts short.
QByteArray File()
{
    TDevicesDatWriter w;
    EXPECT_TRUE(w.SetFuseNames({"HS", "XT"}));
    w.AddRecord(Device("PIC16A", dkPic14, 1));
    w.AddRecord(Device("@CTRL", 0, 0));
    DeviceRecord p18 = Device("PIC18B", dkPic18, 2);
    EXPECT_TRUE(SetFuseEntry(p18, 81, {0x0F00, 0x0200, 1, 3}));
    w.AddRecord(p18);
    DeviceRecord cut = Device("PIC18C", dkPic18, 3);
    cut.setHasSecondBlock(true);
    QByteArray bytes(reinterpret_cast<const char *>(cut.bytes.data()), kDeviceRecordSize);
    w.AddBytes(bytes.left(kDeviceBlockSize + 100));
    return w.Bytes();
}

}  // namespace

TEST(DeviceFileRecords, StoredRecordsWithTheirBlocks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("devices.dat");
    ASSERT_TRUE(WriteFile(path, File()));
    QList<TStoredRecord> records;
    QString error;
    ASSERT_TRUE(ReadStoredRecords(path, records, &error)) << error.toStdString();
    ASSERT_EQ(records.size(), 4);
    const struct {
        const char *name;
        qint64 block;
        int blocks;
    } expected[] = {{"PIC16A", 2, 1}, {"@CTRL", 3, 1}, {"PIC18B", 4, 2}, {"PIC18C", 6, 2}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(records[i].record.name(), expected[i].name);
        EXPECT_EQ(records[i].block, expected[i].block) << i;
        EXPECT_EQ(records[i].blocks, expected[i].blocks) << i;
    }
    EXPECT_FALSE(ReadStoredRecords(dir.filePath("none.dat"), records, &error));
    EXPECT_TRUE(records.isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(DeviceFileRecords, ReplacingKeepsEverythingElseAndTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("devices.dat");
    const QByteArray original = File();
    ASSERT_TRUE(WriteFile(path, original));

    // The one-block record grows a second block: the records after it move, unchanged.
    DeviceRecord grown = Device("PIC18A", dkPic18, 1);
    ASSERT_TRUE(SetFuseEntry(grown, 100, {0x0001, 0x0001, 2, 4}));
    QString error;
    ASSERT_TRUE(ReplaceDeviceRecords(path, {{2, grown}}, &error)) << error.toStdString();
    const QByteArray now = ReadFile(path);
    EXPECT_EQ(now.size(), original.size() + kDeviceBlockSize);
    EXPECT_EQ(now.left(2 * kDeviceBlockSize), original.left(2 * kDeviceBlockSize));
    EXPECT_EQ(now.mid(4 * kDeviceBlockSize), original.mid(3 * kDeviceBlockSize));
    EXPECT_EQ(ReadFile(dir.filePath("devices.BAK")), original);

    SetDeviceFile(path);
    DeviceRecord r;
    ASSERT_TRUE(FindDevice("PIC18A", r));
    EXPECT_EQ(FuseMask(r, 100), 0x0001);
    EXPECT_EQ(FuseName(FuseNameIndex(r, 100)), "XT");
    ASSERT_TRUE(FindDevice("PIC18B", r));
    EXPECT_EQ(FuseWord(r, 81), 3);

    // A block that starts no record is refused and changes nothing.
    EXPECT_FALSE(ReplaceDeviceRecords(path, {{6, grown}}, &error));   // PIC18B's second block
    EXPECT_TRUE(error.contains("block 6"));
    EXPECT_EQ(ReadFile(path), now);
    EXPECT_FALSE(ReplaceDeviceRecords(dir.filePath("none.dat"), {{2, grown}}, &error));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none.dat")));
}
