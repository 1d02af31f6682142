// kivtool debug, the command-line twin of a debug session, run as a script would run it: the
// installation's editions build the example, then a session with the simulator and the watch
// library steps, stops at a breakpoint, evaluates a watch and reads the stack.

#include "testfiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

QString RunKivtool(const QStringList &args, const QString &folder, const QString &home, int *exitCode)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KIV_KIVTOOL), args);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLatin1(process.readAll());
}

TEST(KivtoolDebug, StepsBreaksWatchesAndTheStack)
{
    if (QStandardPaths::findExecutable("gpasm").isEmpty())
        GTEST_SKIP() << "gputils is not installed (scripts/setup.sh installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath("home");
    ASSERT_TRUE(WriteFile(home + "/kiv.ini", ""));
    for (const char *file : {"blink.asm", "blink.pjt"})
        ASSERT_TRUE(QFile::copy(SourceDir() + "/data/examples/blink/" + file, dir.filePath(file)));
    int rc = -1;
    const QString compiled = RunKivtool({"compile", "blink.pjt"}, dir.path(), home, &rc);
    ASSERT_EQ(rc, 0) << compiled.toStdString();

    const QString out = RunKivtool({"debug", "blink.pjt", "step", "2", "break", "blink.asm:61", "run", "watch", "count2",
                                    "stack"},
                                   dir.path(), home, &rc);
    EXPECT_EQ(rc, 0) << out.toStdString();
    const QStringList lines = out.split('\n');
    ASSERT_GE(lines.size(), 6) << out.toStdString();
    EXPECT_EQ(lines.at(0), "PC=0001 W=00  blink.asm:22  pagesel main");
    EXPECT_EQ(lines.at(1), "PC=0002 W=00  blink.asm:23  goto    main");
    EXPECT_TRUE(lines.at(2).startsWith("PC=0003 W=00  blink.asm:30")) << out.toStdString();
    EXPECT_TRUE(lines.at(3).endsWith("blink.asm:61  decfsz  count2, f")) << out.toStdString();
    // Stopped at the first pass through the inner loop: count2 was just loaded with 0xFF.
    EXPECT_EQ(lines.at(4), "count2 = 255 (0xFF)");
    EXPECT_TRUE(out.contains("delay40") || out.contains("inner")) << out.toStdString();
    EXPECT_TRUE(out.contains("delay")) << out.toStdString();

    const QString unknown = RunKivtool({"debug", "blink.pjt", "jump"}, dir.path(), home, &rc);
    EXPECT_EQ(rc, 2);
    EXPECT_TRUE(unknown.contains("unknown command jump")) << unknown.toStdString();
}

}  // namespace
}  // namespace kiv::test
