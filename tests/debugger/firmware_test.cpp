// The firmware finder over a folder of HEX files and ZIP firmware archives made by the test.

#include "firmwarefinder.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zip.h>

using namespace kiv;

namespace {

QByteArray FirmwareHex(const char *major, const char *minor, const char *types, const char *targets = "0x01,0x02")
{
    QByteArray text = "; VYN debugger firmware\r\n;$\r\n";
    text += QByteArray("; FIRMWARE_MAJOR = ") + major + "\r\n";
    text += QByteArray("; FIRMWARE_MINOR = ") + minor + "\r\n";
    if (types)
        text += QByteArray("; FIRMWARE_TYPES = ") + types + "\r\n";
    text += QByteArray("; TARGET_TYPES = ") + targets + "\r\n";
    text += ":00000001FF\r\n";
    return text;
}

/// Writes a ZIP archive with the named entries.
bool WriteZip(const QString &path, const QList<QPair<QString, QByteArray>> &entries)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    QList<QByteArray> keep;   // the buffers live until the archive is closed
    for (const auto &[name, data] : entries) {
        keep << data;
        zip_source_t *source = zip_source_buffer(zip, keep.last().constData(), zip_uint64_t(keep.last().size()), 0);
        if (!source || zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

QStringList TemporaryIcdFiles()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("icd*")}, QDir::Files);
}

class Firmware : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        finder.SetFolder(folder);
    }
    QTemporaryDir dir;
    QString folder;
    TFirmwareFinder finder;
};

}  // namespace

TEST_F(Firmware, HexValues)
{
    EXPECT_EQ(TFirmwareFinder::HexValue(QStringLiteral("0x1f")), 0x1F);
    EXPECT_EQ(TFirmwareFinder::HexValue(QStringLiteral(" 2A ")), 0x2A);
    EXPECT_EQ(TFirmwareFinder::HexValue(QString()), 0);
    EXPECT_EQ(TFirmwareFinder::HexValue(QStringLiteral("0x1G")), -1);
}

TEST_F(Firmware, DescriptionsByPropertiesAndByName)
{
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("borin.hex"), FirmwareHex("0x02", "0x15", "0x00,0x80,0x40,0x07")));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("vynicd20.hex"), FirmwareHex("0x03", "0x1", nullptr)));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("mpl876.hex"), ":00000001FF\r\n"));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("other.hex"), ":00000001FF\r\n"));
    EXPECT_EQ(finder.FirmwareDescription(folder + QStringLiteral("borin.hex")),
              QStringLiteral("VYN BORIN or PELKO for PIC16, PIC18 targets v02.15"));
    EXPECT_EQ(finder.FirmwareDescription(folder + QStringLiteral("vynicd20.hex")),
              QStringLiteral("VYN BORIN-20 or PELKO Firmware v03.01"));
    EXPECT_EQ(finder.FirmwareDescription(folder + QStringLiteral("mpl876.hex")), QStringLiteral("Microchip MPLAB Firmware"));
    EXPECT_EQ(finder.FirmwareDescription(folder + QStringLiteral("other.hex")), QString());
    EXPECT_EQ(finder.FirmwareFiles(),
              (QStringList{folder + QStringLiteral("borin.hex"), folder + QStringLiteral("vynicd20.hex")}));
}

TEST_F(Firmware, UnitCodesMatchTheirFiles)
{
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("borin.hex"), FirmwareHex("0x02", "0x15", "0x00,0x80")));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("vynicd20.hex"), FirmwareHex("0x03", "0x00", nullptr)));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("vynicd40.hex"), FirmwareHex("0x04", "0x00", nullptr)));
    EXPECT_EQ(finder.MatchingFirmware(128, 0xFFFF), QStringList{folder + QStringLiteral("borin.hex")});
    EXPECT_EQ(finder.MatchingFirmware(64, 0xFFFF), QStringList{folder + QStringLiteral("vynicd20.hex")});
    // A mask without PIC18 leaves out firmware for PIC16 and PIC18.
    EXPECT_TRUE(finder.MatchingFirmware(64, 0x1).isEmpty());
}

TEST_F(Firmware, OldFirmwareComparesMajorThenMinor)
{
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("a.hex"), FirmwareHex("0x02", "0x15", "0x00,0x80")));
    EXPECT_TRUE(finder.IsFirmwareOld(0, 0xFFFF, QStringLiteral("02.14")));
    EXPECT_FALSE(finder.IsFirmwareOld(0, 0xFFFF, QStringLiteral("02.15")));
    EXPECT_FALSE(finder.IsFirmwareOld(0, 0xFFFF, QStringLiteral("03.00")));
    EXPECT_TRUE(finder.IsFirmwareOld(128, 0xFFFF, QStringLiteral("01.FF")));
    EXPECT_FALSE(finder.IsFirmwareOld(32, 0xFFFF, QStringLiteral("00.01")));   // nothing for this unit
}

TEST_F(Firmware, TiesKeepTheFirstAndBadVersionsAreNeverNewest)
{
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("a.hex"), FirmwareHex("0x02", "0x15", "0x20")));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("b.hex"), FirmwareHex("0x02", "0x15", "0x20")));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("c.hex"), FirmwareHex("0xZZ", "0x15", "0x20")));
    EXPECT_EQ(finder.NewestFirmware(32, 0xFFFF), folder + QStringLiteral("a.hex"));
}

TEST_F(Firmware, ArchivesGiveTheirHexEntriesOnly)
{
    const QStringList before = TemporaryIcdFiles();
    ASSERT_TRUE(WriteZip(folder + QStringLiteral("units.fw"),
                         {{QStringLiteral("readme.txt"), "about"}, {QStringLiteral("NEW.HEX"), FirmwareHex("0x05", "0x00", "0x60")}}));
    ASSERT_TRUE(kiv::test::WriteFile(folder + QStringLiteral("broken.fw"), "not a zip archive"));
    QStringList logged;
    finder.Archives().OnLog = [&logged](const QString &line) { logged << line; };
    QStringList entries;
    ASSERT_TRUE(finder.Archives().ListEntries(folder + QStringLiteral("units.fw"), entries, true));
    EXPECT_EQ(entries, QStringList{QStringLiteral("NEW.HEX")});
    const QString reference = folder + QStringLiteral("units.fw|NEW.HEX");
    EXPECT_EQ(finder.FirmwareFiles(), QStringList{reference});
    EXPECT_EQ(logged.size(), 1);   // the broken archive, skipped
    EXPECT_EQ(finder.NewestFirmware(96, 0xFFFF), reference);
    // One extraction per entry, however often it is asked for.
    const QString local = finder.Archives().LocalFile(reference);
    EXPECT_EQ(finder.Archives().LocalFile(reference), local);
    EXPECT_EQ(finder.Archives().Items().size(), 1);
    EXPECT_TRUE(QFileInfo(local).fileName().startsWith(QStringLiteral("icd")));
    EXPECT_EQ(kiv::test::ReadFile(local), FirmwareHex("0x05", "0x00", "0x60"));
    finder.Archives().ReleaseAll();
    EXPECT_FALSE(QFileInfo::exists(local));
    EXPECT_EQ(TemporaryIcdFiles(), before);
}
