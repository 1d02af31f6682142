// The COFF header reader: both formats' headers, the three failures, the device lookup in a
// small devices.dat, and the utilities folder of a program.

#include "coff_dump_base.h"
#include "devicesdat_writer.h"
#include "fileioerror.h"
#include "gputils_build.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

class CoffDumpBaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // An installation: bin/kiv and utils/devices.dat with two devices.
        QDir().mkpath(m_dir.filePath("inst/bin"));
        QDir().mkpath(m_dir.filePath("inst/utils"));
        TDevicesDatWriter writer;
        writer.SetFuseNames({"XT"});
        for (const auto &[name, id, kind] : {std::tuple{"PIC16F877A", 0x877A, 1}, std::tuple{"PIC18F452", 0x452F, 3},
                                             std::tuple{"SX28", 0x877A, 4}}) {
            DeviceRecord record;
            record.setName(QString::fromLatin1(name));
            record.setId(static_cast<uint16_t>(id));
            record.setKind(static_cast<uint8_t>(kind));
            writer.AddRecord(record);
        }
        ASSERT_TRUE(writer.Save(m_dir.filePath("inst/utils/devices.dat")));
        m_program = m_dir.filePath("inst/bin/kiv");
    }

    // A header: magic, section count 0, optional header size, then `optional` bytes.
    QString Coff(const QString &name, std::uint16_t magic, std::uint16_t optionalSize, QByteArray optional,
                 int cut = -1)
    {
        QByteArray bytes(20, '\0');
        bytes[0] = static_cast<char>(magic & 0xFF);
        bytes[1] = static_cast<char>(magic >> 8);
        bytes[16] = static_cast<char>(optionalSize & 0xFF);
        bytes[17] = static_cast<char>(optionalSize >> 8);
        bytes += optional;
        if (cut >= 0)
            bytes = bytes.left(cut);
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(test::WriteFile(path, bytes));
        return path;
    }

    static QByteArray Optional(bool isNew, std::uint32_t processor)
    {
        QByteArray o;
        auto put = [&o](std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                o += static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        put(0x5678, 2);
        put(1, isNew ? 4 : 2);
        put(processor, 4);
        put(14, 4);
        put(8, 4);
        return o;
    }

    QTemporaryDir m_dir;
    QString m_program;
};

TEST_F(CoffDumpBaseTest, BothFormatsFindTheirDevice)
{
    {
        TCoffBase coff(m_program);
        EXPECT_FALSE(coff.Loaded);
        EXPECT_EQ(coff.Open(Coff("old.cof", 0x1234, 16, Optional(false, 0x877A))), 36);
        EXPECT_TRUE(coff.Loaded);
        EXPECT_TRUE(coff.DeviceFound);
        EXPECT_EQ(coff.DeviceName(), "PIC16F877A");
        EXPECT_EQ(coff.OptionalHeader.processorType, 0x877Au);
        EXPECT_EQ(coff.OptionalHeader.romWidthBits, 14u);
        EXPECT_EQ(coff.FileSize, 36u);
        EXPECT_EQ(coff.FileHeaderBytes.size(), 20);
        EXPECT_EQ(coff.OptionalHeaderBytes.size(), 16);
    }
    TCoffBase coff(m_program);
    EXPECT_EQ(coff.Open(Coff("new.cof", 0x1240, 18, Optional(true, 0x452F))), 38);
    EXPECT_EQ(coff.DeviceName(), "PIC18F452");
    EXPECT_EQ(coff.OptionalHeader.versionStamp, 1u);
    EXPECT_EQ(DeviceFile(), m_dir.filePath("inst/utils/devices.dat"));
}

struct TFailure {
    const char *what;
    std::uint16_t magic;
    std::uint16_t optionalSize;
    int cut;
    const char *message;
};

TEST_F(CoffDumpBaseTest, UnreadableHeadersRaiseCoffErrors)
{
    const TFailure cases[] = {
        {"19 bytes", 0x1234, 16, 19, " couldn't read file header."},
        {"empty", 0x1234, 16, 0, " couldn't read file header."},
        {"wrong magic", 0x1235, 16, -1, " does not appear to be a valid COFF file."},
        {"optional header cut", 0x1234, 16, 30, " could not read optional file header."},
        {"new optional header cut", 0x1240, 18, 37, " could not read optional file header."},
    };
    for (const TFailure &c : cases) {
        SCOPED_TRACE(c.what);
        TCoffBase coff(m_program);
        const QString path = Coff("bad.cof", c.magic, c.optionalSize, Optional(c.magic == 0x1240, 0x877A), c.cut);
        try {
            coff.Open(path);
            ADD_FAILURE() << "no error";
        } catch (const TCoffError &error) {
            EXPECT_EQ(error.Message(), "Coff file '" + path + "'" + c.message);
        }
        EXPECT_FALSE(coff.Loaded);
    }
    TCoffBase coff(m_program);
    EXPECT_THROW(coff.Open(m_dir.filePath("missing.cof")), TFileIoError);
}

TEST_F(CoffDumpBaseTest, OtherOptionalHeaderSizesAreProcessorZero)
{
    for (const std::uint16_t size : {0, 28, 18}) {
        TCoffBase coff(m_program);
        // An old file with an 18-byte optional header, a new one's size: not read either.
        EXPECT_EQ(coff.Open(Coff("odd.cof", 0x1234, size, Optional(false, 0x877A) + QByteArray(20, '\0'))), 20);
        EXPECT_TRUE(coff.Loaded);
        EXPECT_EQ(coff.OptionalHeader.processorType, 0u);
        EXPECT_FALSE(coff.DeviceFound);
        EXPECT_EQ(coff.DeviceName(), "");
    }
}

TEST_F(CoffDumpBaseTest, MissingDatabaseFindsNoDevice)
{
    TCoffBase coff(m_dir.filePath("elsewhere/kiv"));
    EXPECT_EQ(coff.Open(Coff("old.cof", 0x1234, 16, Optional(false, 0x877A))), 36);
    EXPECT_FALSE(coff.DeviceFound);
}

TEST_F(CoffDumpBaseTest, UtilitiesFolderOfAProgram)
{
    QDir().mkpath(m_dir.filePath("root/utils"));
    QDir().mkpath(m_dir.filePath("root/IDE"));
    QDir().mkpath(m_dir.filePath("root/Debuggers/IDE"));
    const QString root = m_dir.filePath("root/");
    EXPECT_EQ(TCoffBase::UtilitiesFolder(root + "kiv"), root + "utils/");
    EXPECT_EQ(TCoffBase::UtilitiesFolder(root + "IDE/kiv"), root + "utils/");
    EXPECT_EQ(TCoffBase::UtilitiesFolder(root + "ide/kiv"), root + "utils/");
    EXPECT_EQ(TCoffBase::UtilitiesFolder(root + "Debuggers/IDE/kiv"), root + "utils/");
    EXPECT_EQ(TCoffBase::UtilitiesFolder(root + "bin/kiv"), root + "utils/");
    // Without a utils folder the program's folder itself.
    EXPECT_EQ(TCoffBase::UtilitiesFolder(m_dir.filePath("plain/kiv")), m_dir.filePath("plain/"));
}

TEST_F(CoffDumpBaseTest, FilesGputilsWrites)
{
    if (!test::GputilsAvailable())
        GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
    for (const test::TTestProgram &program : test::TestPrograms()) {
        if (program.kind == test::TBuildKind::bkAbsolute || std::string(program.core) != "14-bit")
            continue;
        const test::TBuiltProgram built = test::BuildProgram(m_dir.path(), program.name, program.source, program.kind);
        ASSERT_TRUE(built.ok) << built.log.toStdString();
        TCoffBase coff(m_program);
        const bool old = program.kind == test::TBuildKind::bkRelocatableOldCoff;
        EXPECT_EQ(coff.Open(built.Path("cof")), old ? 36 : 38);
        EXPECT_EQ(coff.FileHeader.magic, old ? 0x1234 : 0x1240);
        EXPECT_EQ(coff.DeviceName(), "PIC16F877A");
        EXPECT_EQ(coff.FileSize, static_cast<quint32>(QFileInfo(built.Path("cof")).size()));
    }
}

}  // namespace
}  // namespace kiv
