// kivtool devices on damaged device databases: the damage is said on standard error with a
// failing exit code, and nothing the file holds reaches the terminal as a control byte.

#include "devicesdat_writer.h"
#include "testfiles.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

struct TRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

TRun Devices(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(KIV_KIVTOOL), QStringList{"devices"} + args);
    EXPECT_TRUE(tool.waitForFinished(30000));
    return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
}

bool HasControlBytes(const QByteArray &text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F)
            return true;
    }
    return false;
}

DeviceRecord Named(const QByteArray &name, uint8_t kind)
{
    DeviceRecord record;
    record.SetByte(devrec::name, uint8_t(name.size()));
    for (int n = 0; n < name.size(); ++n)
        record.SetByte(devrec::name + 1 + n, uint8_t(name[n]));
    record.setKind(kind);
    return record;
}

TEST(VerbDevices, DamagedFilesAreReportedAndNeverPrintControlBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDevicesDatWriter sound;
    ASSERT_TRUE(sound.SetFuseNames({"HS", "XT"}));
    sound.AddRecord(Named("PIC16F84A", dkPic14));
    TDevicesDatWriter controls = sound;
    controls.AddRecord(Named(QByteArray("BAD\0\x1b[2J\x07", 9), dkPic14));
    QByteArray header = sound.Bytes();
    header[1] = '9';
    QByteArray random(5000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 131 + 7) % 256);

    const struct {
        const char *name;
        QByteArray bytes;
        int exitCode;
        const char *said;   // on standard error; nullptr: nothing
    } cases[] = {
        {"sound", sound.Bytes(), 0, nullptr},
        {"truncated", sound.Bytes().left(1200), 1, "too short for a device database"},
        {"header damaged", header, 1, "damaged header"},
        {"names with control bytes", controls.Bytes(), 1, "control characters in its name"},
        {"random bytes", random, 1, "damaged header"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + ".dat");
        ASSERT_TRUE(test::WriteFile(path, c.bytes));
        const TRun run = Devices({"--file", path});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_FALSE(HasControlBytes(run.out)) << run.out.toStdString();
        EXPECT_FALSE(HasControlBytes(run.err)) << run.err.toStdString();
        if (c.said)
            EXPECT_TRUE(run.err.contains(c.said)) << run.err.toStdString();
        else
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
    const TRun listed = Devices({"--file", dir.filePath("names with control bytes.dat")});
    EXPECT_TRUE(listed.out.contains("PIC16F84A\n"));
    EXPECT_TRUE(listed.out.contains("BAD\\x00\\x1b[2J\\x07\n")) << listed.out.toStdString();
}

}  // namespace
