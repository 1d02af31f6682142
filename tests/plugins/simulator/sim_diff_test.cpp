// Differential runs against gpsim (kivsimdiff, libgpsim in its process): after every step PC, W,
// STATUS and the compared registers agree. The test programs of each core, the example project,
// and seeded random instruction streams; scripts/simdiff runs longer ones. Where gpsim departs
// from the data sheet kivsimdiff names the difference (see KnownDifference there).

#include "sim_programs.h"

#include <QProcess>
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
        {"mid_adc", "PIC16F877A", 1000, 1000},
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

}  // namespace
}  // namespace kiv
