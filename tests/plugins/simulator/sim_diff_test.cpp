// Differential runs against gpsim (kivsimdiff, libgpsim in its process): after every step PC, W,
// STATUS and the compared registers agree. The test programs of each core, the example project,
// and seeded random instruction streams; scripts/simdiff runs longer ones. Where gpsim departs
// from the data sheet kivsimdiff names the difference (see KnownDifference there).

#include "sim_programs.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

using namespace kiv::test;

#ifdef KIV_SIMDIFF
constexpr const char *kSimDiff = KIV_SIMDIFF;
#else
constexpr const char *kSimDiff = "";
#endif

struct TDiffRun {
    int exitCode = -1;
    QString output;
};

TDiffRun RunDiff(const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromLatin1(kSimDiff), args);
    process.waitForFinished(300000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLatin1(process.readAll())};
}

class SimDiff : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString::fromLatin1(kSimDiff).isEmpty())
            GTEST_SKIP() << "kivsimdiff is not built (gpsim-dev missing)";
        if (!GpasmAvailable())
            GTEST_SKIP() << "gpasm is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    QTemporaryDir m_dir;
};

TEST_F(SimDiff, TestProgramsAgreeStepByStep)
{
    struct TCase {
        const char *program;
        const char *device;
        int steps;
        int atLeast;   // a run may stop earlier at a named difference after which the two run different code
        const char *clockMHz = "20";
    };
    const TCase cases[] = {
        {"mid_banks", "PIC16F877A", 400, 400},          {"mid_timer0", "PIC16F877A", 3000, 3000},
        // Conversions on three clocks, one abandoned, one ending in the interrupt (inputs at 0 V).
        {"mid_adc", "PIC16F877A", 1000, 1000},          {"adc_16f690", "PIC16F690", 1000, 1000},
        {"adc_12f675", "PIC12F675", 1000, 1000},
        {"mid_usart", "PIC16F877A", 25000, 25000},      {"mid_eeprom", "PIC16F877A", 25000, 25000},
        {"pic18_table", "PIC18F452", 6000, 6000},       {"baseline", "PIC12F509", 200, 200},
        {"enhanced", "PIC16F1823", 4000, 4000},         // At 4 MHz the watchdog's 18 ms are 18000 cycles: two resets, and one wake-up from SLEEP.
        {"wdt_reset", "PIC16F877A", 40000, 40000, "4"},
        {"sleep_wdt", "PIC16F877A", 40000, 40000, "4"},
        // Timer1, Timer2 and USART transmit interrupts, up to the first TXIF edge of a whole character.
        {"mid_periph", "PIC16F877A", 60000, 4000},
        // High-priority Timer0 and low-priority Timer1 interrupts, up to the first nesting.
        {"pic18_priority", "PIC18F452", 200000, 40000},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.program);
        QByteArray log;
        const QString hex = AssembleSimProgram(m_dir.path(), QString::fromLatin1(c.program), &log);
        ASSERT_FALSE(hex.isEmpty()) << log.toStdString();
        const TDiffRun run = RunDiff({"--device", c.device, "--clock", c.clockMHz, "--steps", QString::number(c.steps), hex});
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        const int at = int(run.output.indexOf(QStringLiteral("ok: ")));
        ASSERT_GE(at, 0) << run.output.toStdString();
        const long compared = run.output.mid(at + 4).section(QLatin1Char(' '), 0, 0).toLong();
        EXPECT_GE(compared, c.atLeast) << run.output.toStdString();
        if (c.atLeast == c.steps)
            EXPECT_EQ(compared, c.steps) << run.output.toStdString();
        else
            EXPECT_TRUE(run.output.contains(QStringLiteral("stopped at a known difference"))) << run.output.toStdString();
    }
}

TEST_F(SimDiff, ExampleProjectAgrees)
{
    // The installation's example, built as the compiler edition builds it: gpasm -c and gplink.
    const QByteArray source = ReadFile(SourceDir() + QStringLiteral("/data/examples/blink/blink.asm"));
    ASSERT_FALSE(source.isEmpty());
    const TBuiltProgram built = BuildProgram(m_dir.path(), QStringLiteral("blink"), source, TBuildKind::bkRelocatable);
    ASSERT_TRUE(built.ok) << built.log.toStdString();
    const TDiffRun run = RunDiff({"--device", "PIC16F877A", "--steps", "20000", built.Path("hex")});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("ok: 20000 steps"))) << run.output.toStdString();
}

TEST_F(SimDiff, RandomInstructionStreamsAgree)
{
    struct TCase {
        const char *device;
        int seeds;
    };
    // Modest here; scripts/simdiff runs hundreds of seeds.
    const TCase cases[] = {{"PIC16F877A", 6}, {"PIC18F452", 6}, {"PIC12F509", 4}, {"PIC16F1788", 4}};
    long total = 0;
    for (const TCase &c : cases) {
        for (int seed = 1; seed <= c.seeds; ++seed) {
            SCOPED_TRACE(std::string(c.device) + " seed " + std::to_string(seed));
            const TDiffRun run = RunDiff({"--device", c.device, "--random", QString::number(seed), "--steps", "3000"});
            EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
            const int at = int(run.output.indexOf(QStringLiteral("ok: ")));
            ASSERT_GE(at, 0) << run.output.toStdString();
            total += run.output.mid(at + 4).section(QLatin1Char(' '), 0, 0).toLong();
        }
    }
    // Runs may end early at a named difference; together they still cover thousands of steps.
    EXPECT_GT(total, 20000);
}

// The A/D results against gpsim driven the same way: gpsim's analog stimuli on RA0 and RA1 and
// our "Analog inputs" give the same codes for the test program's conversions (levels away from
// the middle of a code, where gpsim's pin loading moves the result by one).
TEST_F(SimDiff, AdcResultsAgreeWithGpsimsAnalogStimuli)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gpsim")).isEmpty())
        GTEST_SKIP() << "gpsim is not installed";
    QByteArray log;
    const QString hex = AssembleSimProgram(m_dir.path(), QStringLiteral("mid_adc"), &log);
    ASSERT_FALSE(hex.isEmpty()) << log.toStdString();
    const QString cod = hex.left(hex.size() - 3) + QStringLiteral("cod");
    const double levels[][2] = {{2.0, 1.0}, {0.3, 4.7}, {4.99, 0.012}, {3.3, 0.0}};
    for (const auto &level : levels) {
        SCOPED_TRACE(std::to_string(level[0]) + " V, " + std::to_string(level[1]) + " V");
        auto s = LoadedSimulator("PIC16F877A", hex);
        ASSERT_TRUE(s);
        sim::TAnalogInputs analog;
        std::string error;
        ASSERT_TRUE(analog.Parse("AN0=" + std::to_string(level[0]) + " AN1=" + std::to_string(level[1]), error)) << error;
        s->SetAnalogInputs(analog);
        const uint32_t end = SelfLoop(*s);
        ASSERT_TRUE(RunToEnd(*s));

        QString script;
        for (int pin = 0; pin < 2; ++pin)
            script += QStringLiteral("stimulus asynchronous_stimulus\ninitial_state 0\nstart_cycle 0\nanalog\n{ 1, %1 }\n"
                                     "name s%2\nend\nnode n%2\nattach n%2 s%2 porta%2\n")
                          .arg(level[pin])
                          .arg(pin);
        script += QStringLiteral("break e %1\nrun\ndump r\nquit\n").arg(end);
        const QString scriptFile = m_dir.filePath(QStringLiteral("adc.stc"));
        ASSERT_TRUE(WriteFile(scriptFile, script.toLatin1()));
        QProcess gpsim;
        gpsim.setProcessChannelMode(QProcess::MergedChannels);
        gpsim.start(QStringLiteral("gpsim"), {"-i", "-S", "disable", "-s", cod, "-c", scriptFile});
        ASSERT_TRUE(gpsim.waitForFinished(60000));
        const QString out = QString::fromLatin1(gpsim.readAll());
        const int at = int(out.indexOf(QStringLiteral("\n0020:")));
        ASSERT_GE(at, 0) << out.toStdString();
        const QStringList bytes = out.mid(at + 7, 3 * 9).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_EQ(bytes.size(), 9) << out.toStdString();
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(s->PeekData(0x20 + i), bytes.at(i).toInt(nullptr, 16)) << "at 0x" << std::hex << 0x20 + i;
    }
}

}  // namespace
}  // namespace kiv
