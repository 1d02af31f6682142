// kivtool sim, the command-line twin of the simulator: --analog sets the analog inputs as the
// "Analog inputs" option does. The A/D test program ends with the last conversion of AN0 in W.

#include "sim_programs.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace kiv {
namespace {

using namespace kiv::test;

struct TToolRun {
    int exitCode = -1;
    QString output;
};

TToolRun RunKivtool(const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KIV_KIVTOOL), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromLatin1(process.readAll())};
}

TEST(SimKivtool, AnalogInputsFromTheCommandLine)
{
    if (!GpasmAvailable())
        GTEST_SKIP() << "gpasm is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray log;
    const QString hex = AssembleSimProgram(dir.path(), QStringLiteral("mid_adc"), &log);
    ASSERT_FALSE(hex.isEmpty()) << log.toStdString();
    struct TCase {
        QStringList analog;
        const char *w;   // ADRESH of AN0, left-justified
    };
    const TCase cases[] = {
        {{}, "W=0x00"},                                          // nothing on the input: 0 V
        {{"--analog", "AN0=2.0"}, "W=0x66"},                     // 409 of 1023
        {{"--analog", "AN0=1023c"}, "W=0xFF"},                   // a raw count
        {{"--analog", "VDD=4", "--analog", "AN0=1.0V"}, "W=0x40"},   // 256 of 1023 against 4 V
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.analog.join(QLatin1Char(' ')).toStdString());
        const TToolRun run = RunKivtool(QStringList{"sim", "--device", "PIC16F877A", hex, "--cycles", "5000"} + c.analog);
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        EXPECT_TRUE(run.output.contains(QLatin1String(c.w))) << run.output.toStdString();
    }
    const TToolRun bad = RunKivtool({"sim", "--device", "PIC16F877A", hex, "--analog", "AN0=much"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.output.contains(QLatin1String("\"AN0=much\" does not give a voltage"))) << bad.output.toStdString();
    // The help text names the converter.
    EXPECT_TRUE(RunKivtool({"sim", "--help"}).output.contains(QLatin1String("the A/D converter of the 14-bit parts")));
}

}  // namespace
}  // namespace kiv
