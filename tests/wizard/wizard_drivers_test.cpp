// The installation's drivers.dat and the driver sources it lists: every row names a source in
// the drivers folder, and each driver compiles with our C compiler in a program that calls its
// main() statement (the program defines the PIC16F877A pin constants itself).

#include "kivwizard_model.h"

#include "testfiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

TDriverTable InstalledDrivers(bool *ok)
{
    const QStringList lines = QString::fromLatin1(ReadFile(SourceDir() + "/data/utils/drivers.dat")).split('\n');
    *ok = !lines.isEmpty();
    return ParseDriverTable(lines);
}

TEST(WizardDriversTest, EveryRowNamesASourceOfTheDriversFolder)
{
    bool ok = false;
    const TDriverTable table = InstalledDrivers(&ok);
    ASSERT_TRUE(ok);
    ASSERT_GE(table.records.size(), 4);
    EXPECT_EQ(table.rows.size(), table.records.size());
    for (const TDriverRecord &r : table.records) {
        EXPECT_TRUE(QFileInfo::exists(SourceDir() + "/data/drivers/" + r.includeFile)) << r.includeFile.toStdString();
        EXPECT_TRUE(r.mainStatement.endsWith(';')) << r.mainStatement.toStdString();
        EXPECT_TRUE(r.pinRequests.endsWith(',')) << r.includeFile.toStdString();
    }
}

TEST(WizardDriversTest, EveryDriverCompiles)
{
    const QString stage = BuildDir() + "/stage/";
    const QString vync = stage + "vync/vync";
    if (!QFileInfo::exists(vync) || !QFileInfo::exists(stage + "drivers"))
        GTEST_SKIP() << "no staged compiler";
    bool ok = false;
    const TDriverTable table = InstalledDrivers(&ok);
    ASSERT_TRUE(ok);
    // Pin constants as the device header defines them: 8 x port register address + bit.
    QString pins;
    const char ports[] = "ABCDE";
    for (int p = 0; p < 5; ++p)
        for (int bit = 0; bit < 8; ++bit)
            pins += QString("#define PIN_%1%2 %3\n").arg(ports[p]).arg(bit).arg(8 * (5 + p) + bit);
    QTemporaryDir dir;
    for (const TDriverRecord &r : table.records) {
        SCOPED_TRACE(r.includeFile.toStdString());
        const QString program = "#device PIC16F877A\n#fuses HS,NOWDT\n#use delay(clock=20000000)\n" + pins +
                                "#include <" + r.includeFile + ">\nvoid main() {\n   " + r.mainStatement + "\n}\n";
        const QString source = dir.filePath(QFileInfo(r.includeFile).completeBaseName() + "_main.c");
        ASSERT_TRUE(WriteFile(source, program.toLatin1()));
        QProcess compile;
        compile.setWorkingDirectory(dir.path());
        compile.start(vync, {"--install", stage, "-o", source.chopped(2) + ".asm", source});
        ASSERT_TRUE(compile.waitForFinished(60000));
        EXPECT_EQ(compile.exitCode(), 0) << compile.readAllStandardOutput().toStdString()
                                         << compile.readAllStandardError().toStdString();
    }
}

}  // namespace
