// The simulator library as the IDE uses it: loaded by path with QLibrary from the staged
// installation tree, all 49 exports there, and the calls of a debug session with their argument
// checks, a DBG_STOP from a second thread ending DBG_GO1, and the serial port both ways through the
// character function and DBG_SEND_TARGET_INPUT.

#include "debugger_abi.h"
#include "sim_programs.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kiv {
namespace {

using namespace kiv::test;

QString StagedLibrary()
{
    return BuildDir() + QStringLiteral("/stage/debuggers/SIMDLL/kivsim.so");
}

// What the character function received, for the test that owns the library.
std::mutex g_outputMutex;
std::string g_output;

void Output(uint8_t byte)
{
    std::lock_guard<std::mutex> lock(g_outputMutex);
    g_output += char(byte);
}

std::string TakeOutput()
{
    std::lock_guard<std::mutex> lock(g_outputMutex);
    std::string text;
    text.swap(g_output);
    return text;
}

int32_t KeepGoing(int32_t, int32_t, const char *)
{
    return 1;
}

struct TSimLibrary {
    QLibrary library;
    template <typename T> T Fn(const char *name) { return reinterpret_cast<T>(library.resolve(name)); }

    TDbgName name = nullptr;
    TDbgGetOptions getOptions = nullptr;
    TDbgEstablishCommunication establish = nullptr;
    TDbgSetDirectory setDirectory = nullptr;
    TDbgMsgOnly reset = nullptr, stop = nullptr;
    TDbgForceChip forceChip = nullptr;
    TDbgGetTargetName targetName = nullptr;
    TDbgReadDouble clockSpeed = nullptr, readVdd = nullptr;
    TDbgDownloadToTarget download = nullptr;
    TDbgGetVerificationResults verification = nullptr;
    TDbgGo1 go1 = nullptr;
    TDbgStep step = nullptr;
    TDbgBreak setBreak = nullptr, clearBreak = nullptr;
    TDbgReadRam readRam = nullptr;
    TDbgWriteRam writeRam = nullptr;
    TDbgValidRam validRam = nullptr;
    TDbgReadEeprom readEeprom = nullptr;
    TDbgWriteEeprom writeEeprom = nullptr;
    TDbgReadStack readStack = nullptr;
    TDbgSetTargetOutput setOutput = nullptr;
    TDbgSendTargetInput sendInput = nullptr;
    TDbgGetSupportedTargets supported = nullptr;
    TDbgSetWarningCallback setWarning = nullptr;

    TSimLibrary() : library(StagedLibrary())
    {
        if (!library.load())
            return;
        name = Fn<TDbgName>("DBG_NAME");
        getOptions = Fn<TDbgGetOptions>("DBG_GET_OPTIONS");
        establish = Fn<TDbgEstablishCommunication>("DBG_ESTABLISH_COMMUNICATION");
        setDirectory = Fn<TDbgSetDirectory>("DBG_SET_DIRECTORY");
        reset = Fn<TDbgMsgOnly>("DBG_RESET");
        stop = Fn<TDbgMsgOnly>("DBG_STOP");
        forceChip = Fn<TDbgForceChip>("DBG_FORCE_CHIP");
        targetName = Fn<TDbgGetTargetName>("DBG_GET_TARGET_NAME");
        clockSpeed = Fn<TDbgReadDouble>("DBG_GET_CLOCK_SPEED");
        readVdd = Fn<TDbgReadDouble>("DBG_READ_VDD");
        download = Fn<TDbgDownloadToTarget>("DBG_DOWNLOAD_TO_TARGET");
        verification = Fn<TDbgGetVerificationResults>("DBG_GET_VERIFICATION_RESULTS");
        go1 = Fn<TDbgGo1>("DBG_GO1");
        step = Fn<TDbgStep>("DBG_STEP");
        setBreak = Fn<TDbgBreak>("DBG_SET_BREAK");
        clearBreak = Fn<TDbgBreak>("DBG_CLEAR_BREAK");
        readRam = Fn<TDbgReadRam>("DBG_READ_RAM");
        writeRam = Fn<TDbgWriteRam>("DBG_WRITE_RAM");
        validRam = Fn<TDbgValidRam>("DBG_VALID_RAM");
        readEeprom = Fn<TDbgReadEeprom>("DBG_READ_EEPROM");
        writeEeprom = Fn<TDbgWriteEeprom>("DBG_WRITE_EEPROM");
        readStack = Fn<TDbgReadStack>("DBG_READ_STACK");
        setOutput = Fn<TDbgSetTargetOutput>("DBG_SET_TARGET_OUTPUT");
        sendInput = Fn<TDbgSendTargetInput>("DBG_SEND_TARGET_INPUT");
        supported = Fn<TDbgGetSupportedTargets>("DBG_GET_SUPPORTED_TARGETS");
        setWarning = Fn<TDbgSetWarningCallback>("DBG_SET_WARNING_CALLBACK");
    }
};

class SimLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(StagedLibrary()))
            GTEST_SKIP() << "the installation tree is not staged: " << StagedLibrary().toStdString();
        ASSERT_TRUE(m_lib.library.isLoaded()) << m_lib.library.errorString().toStdString();
        ASSERT_TRUE(m_dir.isValid());
    }
    // Selects a part and downloads one of the test programs.
    void Start(const char *part, const char *program)
    {
        ASSERT_TRUE(GpasmAvailable());
        QByteArray log;
        const QString hex = AssembleSimProgram(m_dir.path(), QString::fromLatin1(program), &log);
        ASSERT_FALSE(hex.isEmpty()) << log.toStdString();
        char msg[kDbgTextSize] = {};
        ASSERT_EQ(m_lib.establish(m_settings.toUtf8().constData(), msg, kDbgMessageCapacity), 1) << msg;
        ASSERT_EQ(m_lib.forceChip(part, msg, kDbgMessageCapacity), 1) << msg;
        uint8_t inOut = 1;
        ASSERT_EQ(m_lib.download(hex.toUtf8().constData(), &inOut, &KeepGoing, msg, kDbgMessageCapacity), 1) << msg;
        ASSERT_EQ(m_lib.reset(msg, kDbgMessageCapacity), 1) << msg;
    }
    TSimLibrary m_lib;
    QTemporaryDir m_dir;
    QString m_settings = m_dir.filePath(QStringLiteral("kiv.ini"));
};

TEST_F(SimLibrary, HasEveryExportTheIdeChecks)
{
    for (const char *name : kDbgExportNames)
        EXPECT_NE(m_lib.library.resolve(name), nullptr) << name;
    char text[kDbgTextSize] = {};
    ASSERT_EQ(m_lib.name(text), 1);
    EXPECT_STREQ(text, "Simulator");
    static char rows[kDbgOptionRows][kDbgTextSize];
    int32_t count = 0;
    ASSERT_EQ(m_lib.getOptions(&rows[0][0], &count), 1);
    ASSERT_GE(count, 2);
    EXPECT_EQ(std::string(rows[0]).rfind("Processor;", 0), 0u);
    EXPECT_EQ(std::string(rows[1]).rfind("Clock MHz;", 0), 0u);
    EXPECT_EQ(std::string(rows[2]).rfind("Analog inputs;S;;", 0), 0u);
    for (int32_t r = 0; r < count; ++r)
        EXPECT_EQ(QString::fromLatin1(rows[r]).count(QLatin1Char(';')), 4) << rows[r] << ": five fields";
    uint8_t families = 0;
    char msg[kDbgTextSize];
    ASSERT_EQ(m_lib.supported(&families, nullptr, msg, kDbgMessageCapacity), 1);
    EXPECT_EQ(families, kDbgFamilyPic16 | kDbgFamilyPic18);
    // The help text is installed beside the library.
    EXPECT_TRUE(ReadFile(BuildDir() + QStringLiteral("/stage/debuggers/SIMDLL/kivsim.txt")).contains("Not simulated"));
}

TEST_F(SimLibrary, BadArgumentsAreRefusedWithAMessage)
{
    char msg[kDbgTextSize] = {};
    EXPECT_EQ(m_lib.forceChip("PIC99X999", msg, kDbgMessageCapacity), 0);
    EXPECT_STREQ(msg, "The simulator does not know the part \"PIC99X999\".");
    EXPECT_EQ(m_lib.forceChip(nullptr, msg, kDbgMessageCapacity), 0);
    EXPECT_GT(std::strlen(msg), 0u);
    ASSERT_EQ(m_lib.forceChip("PIC16F877A", msg, kDbgMessageCapacity), 1) << msg;
    uint32_t pc = 0;
    uint8_t w = 0, status = 0;
    EXPECT_EQ(m_lib.go1(&pc, &w, &status, msg, kDbgMessageCapacity, 0), 0);   // nothing loaded
    EXPECT_STREQ(msg, "No program is loaded into the simulator.");
    EXPECT_EQ(m_lib.go1(nullptr, &w, &status, msg, kDbgMessageCapacity, 0), 0);
    // A corrupt HEX file and a missing one.
    const QString bad = m_dir.filePath(QStringLiteral("bad.hex"));
    ASSERT_TRUE(WriteFile(bad, ":10000000FFFF\n"));
    uint8_t inOut = 1;
    EXPECT_EQ(m_lib.download(bad.toUtf8().constData(), &inOut, &KeepGoing, msg, kDbgMessageCapacity), 0);
    EXPECT_NE(std::string(msg).find("line 1"), std::string::npos) << msg;
    EXPECT_EQ(m_lib.download("/nonexistent/prog.hex", &inOut, &KeepGoing, msg, kDbgMessageCapacity), 0);
    // RAM, EEPROM and breakpoints outside the part, null buffers.
    uint8_t data[16] = {};
    EXPECT_EQ(m_lib.readRam(510, 4, data, msg, kDbgMessageCapacity), 0);
    EXPECT_NE(std::string(msg).find("outside the data memory of the PIC16F877A"), std::string::npos) << msg;
    EXPECT_EQ(m_lib.readRam(-1, 1, data, msg, kDbgMessageCapacity), 0);
    EXPECT_EQ(m_lib.readRam(0, 4, nullptr, msg, kDbgMessageCapacity), 0);
    EXPECT_EQ(m_lib.writeRam(512, 1, data, msg, kDbgMessageCapacity), 0);
    EXPECT_EQ(m_lib.readEeprom(1, 250, 8, data, msg, kDbgMessageCapacity), 0);
    EXPECT_EQ(m_lib.setBreak(0x2000, msg, kDbgMessageCapacity), 0);
    EXPECT_NE(std::string(msg).find("outside the program memory"), std::string::npos) << msg;
    EXPECT_EQ(m_lib.clearBreak(0x10, msg, kDbgMessageCapacity), 0);
    int32_t count = 0;
    EXPECT_EQ(m_lib.readStack(nullptr, nullptr, msg, kDbgMessageCapacity), 0);
    EXPECT_EQ(m_lib.readStack(&count, nullptr, msg, kDbgMessageCapacity), 1);
    // A message buffer shorter than the message is never overrun.
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(m_lib.forceChip("NOPE", small, 4), 0);
    EXPECT_EQ(std::strlen(small), 4u);
    // A part without data EEPROM.
    ASSERT_EQ(m_lib.forceChip("PIC16F505", msg, kDbgMessageCapacity), 1) << msg;
    EXPECT_EQ(m_lib.readEeprom(1, 0, 1, data, msg, kDbgMessageCapacity), 0);
    EXPECT_STREQ(msg, "The PIC16F505 has no data EEPROM.");
}

// The "Analog inputs" option from the settings file drives the A/D converter: the program
// converts AN0 and AN1 with the levels kiv.ini gives; VDD is what DBG_READ_VDD reads. A bad
// setting is reported and leaves the inputs at 0 V.
TEST_F(SimLibrary, AnalogInputsComeFromTheSettingsFile)
{
    ASSERT_TRUE(WriteFile(m_settings, "[SIMULATOR]\nANALOG_INPUTS=AN0=2.0, AN1=1.0, VDD=3.3\n"));
    Start("PIC16F877A", "mid_adc");
    char msg[kDbgTextSize] = {};
    double vdd = 0;
    ASSERT_EQ(m_lib.readVdd(0, &vdd, msg, kDbgMessageCapacity), 1);
    EXPECT_DOUBLE_EQ(vdd, 3.3);
    uint32_t pc = 0;
    uint8_t w = 0, status = 0;
    const auto runToEnd = [&] {
        ASSERT_EQ(m_lib.setBreak(0x57, msg, kDbgMessageCapacity), 1) << msg;   // done: goto done
        ASSERT_EQ(m_lib.go1(&pc, &w, &status, msg, kDbgMessageCapacity, 0), 1) << msg;
        ASSERT_EQ(pc, 0x57u);
    };
    runToEnd();
    uint8_t ram[4] = {};
    ASSERT_EQ(m_lib.readRam(0x20, 4, ram, msg, kDbgMessageCapacity), 1) << msg;
    EXPECT_EQ(ram[0] * 256 + ram[1], 620);        // 2.0 V of 3.3 V, right-justified
    EXPECT_EQ((ram[2] << 2) | (ram[3] >> 6), 310); // 1.0 V of 3.3 V, left-justified

    // A bad setting is a warning: "Stop" fails the call with the text, going on leaves the inputs
    // at 0 V.
    ASSERT_TRUE(WriteFile(m_settings, "[SIMULATOR]\nANALOG_INPUTS=AN0=lots\n"));
    static std::string warned;
    static int32_t answer = 1;
    ASSERT_EQ(m_lib.setWarning(
                  [](const char *text, const char *) {
                      warned = text;
                      return answer;
                  },
                  msg, kDbgMessageCapacity),
              1);
    EXPECT_EQ(m_lib.establish(m_settings.toUtf8().constData(), msg, kDbgMessageCapacity), 0);
    EXPECT_NE(std::string(msg).find("\"Analog inputs\" option: \"AN0=lots\""), std::string::npos) << msg;
    EXPECT_EQ(warned, msg);
    answer = 0;
    ASSERT_EQ(m_lib.establish(m_settings.toUtf8().constData(), msg, kDbgMessageCapacity), 1) << msg;
    m_lib.setWarning(nullptr, msg, kDbgMessageCapacity);
    ASSERT_EQ(m_lib.reset(msg, kDbgMessageCapacity), 1) << msg;
    runToEnd();
    ASSERT_EQ(m_lib.readRam(0x20, 2, ram, msg, kDbgMessageCapacity), 1) << msg;
    EXPECT_EQ(ram[0] * 256 + ram[1], 0);
}

TEST_F(SimLibrary, SessionRunsStepsAndReadsTheTarget)
{
    Start("PIC16F877A", "mid_banks");
    char msg[kDbgTextSize] = {};
    char part[kDbgTextSize] = {};
    ASSERT_EQ(m_lib.targetName(part, kDbgMessageCapacity, 1, msg, kDbgMessageCapacity), 1);
    EXPECT_STREQ(part, "PIC16F877A");
    int32_t mismatches = -1;
    ASSERT_EQ(m_lib.verification(nullptr, 0, &mismatches, msg), 1);
    EXPECT_EQ(mismatches, 0);
    double value = 0;
    ASSERT_EQ(m_lib.clockSpeed(0, &value, msg, kDbgMessageCapacity), 1);
    EXPECT_DOUBLE_EQ(value, 20.0);
    ASSERT_EQ(m_lib.readVdd(0, &value, msg, kDbgMessageCapacity), 1);
    EXPECT_DOUBLE_EQ(value, 5.0);

    uint32_t pc = 0;
    uint8_t w = 0, status = 0;
    ASSERT_EQ(m_lib.step(&pc, &w, 0, msg, kDbgMessageCapacity), 1) << msg;
    EXPECT_EQ(pc, 6u);   // goto start
    // Run to the table's ADDWF PCL: the break stops before it, with the status of a break.
    ASSERT_EQ(m_lib.setBreak(1, msg, kDbgMessageCapacity), 1) << msg;
    ASSERT_EQ(m_lib.setBreak(1, msg, kDbgMessageCapacity), 1) << msg;   // set twice ...
    ASSERT_EQ(m_lib.go1(&pc, &w, &status, msg, kDbgMessageCapacity, 0), 1) << msg;
    EXPECT_EQ(pc, 1u);
    EXPECT_EQ(status, kDbgStoppedOnBreak);
    EXPECT_EQ(w, 2);   // the first index: 3 - 1
    int32_t depth = 0;
    ASSERT_EQ(m_lib.readStack(&depth, nullptr, msg, kDbgMessageCapacity), 1);
    ASSERT_EQ(depth, 1);
    uint32_t entries[8] = {};
    depth = 8;
    ASSERT_EQ(m_lib.readStack(&depth, entries, msg, kDbgMessageCapacity), 1);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(entries[0], 0x22u);   // after the call in the loop
    ASSERT_EQ(m_lib.clearBreak(1, msg, kDbgMessageCapacity), 1);   // ... armed until cleared twice
    ASSERT_EQ(m_lib.go1(&pc, &w, &status, msg, kDbgMessageCapacity, 0), 1);
    EXPECT_EQ(pc, 1u);
    ASSERT_EQ(m_lib.clearBreak(-1, msg, kDbgMessageCapacity), 1);

    // RAM as the RAM window reads it: the byte of each bank, the shared byte, the gaps.
    uint8_t ram[512] = {};
    ASSERT_EQ(m_lib.readRam(0, 512, ram, msg, kDbgMessageCapacity), 1) << msg;
    EXPECT_EQ(ram[0x20], 0xA1);
    EXPECT_EQ(ram[0xA0], 0xB2);
    EXPECT_EQ(ram[0x120], 0xC3);
    EXPECT_EQ(ram[0x1A0], 0xD4);
    EXPECT_EQ(ram[0x70], ram[0x1F0]);
    uint8_t valid[512] = {};
    ASSERT_EQ(m_lib.validRam(0, 512, valid, msg, kDbgMessageCapacity), 1);
    EXPECT_EQ(valid[0x20], 1);
    EXPECT_EQ(valid[0x105], 0);
    const uint8_t value5 = 0x5C;
    ASSERT_EQ(m_lib.writeRam(0x1A0, 1, &value5, msg, kDbgMessageCapacity), 1);
    ASSERT_EQ(m_lib.readRam(0x1A0, 1, ram, msg, kDbgMessageCapacity), 1);
    EXPECT_EQ(ram[0], 0x5C);
    // EEPROM through the library.
    const uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(m_lib.writeEeprom(1, 10, 3, bytes, msg, kDbgMessageCapacity), 1);
    uint8_t back[3] = {};
    ASSERT_EQ(m_lib.readEeprom(1, 10, 3, back, msg, kDbgMessageCapacity), 1);
    EXPECT_EQ(std::memcmp(bytes, back, 3), 0);
}

// The progress calls of the download under way.
std::vector<int> g_progress;
int g_progressAnswer = 1;

int32_t RecordProgress(int32_t percent, int32_t, const char *)
{
    g_progress.push_back(percent);
    return g_progressAnswer;
}

TEST_F(SimLibrary, DownloadsCoffAndHexWithProgress)
{
    // The example project as the compiler edition builds it: gpasm -c and gplink write a .cof
    // and a .hex of the same program.
    ASSERT_TRUE(GpasmAvailable());
    const QByteArray source = ReadFile(SourceDir() + QStringLiteral("/data/examples/blink/blink.asm"));
    ASSERT_FALSE(source.isEmpty());
    const TBuiltProgram built = BuildProgram(m_dir.path(), QStringLiteral("blink"), source, TBuildKind::bkRelocatable);
    ASSERT_TRUE(built.ok) << built.log.toStdString();
    ASSERT_TRUE(QFile::exists(built.Path("cof")));
    char msg[kDbgTextSize] = {};
    ASSERT_EQ(m_lib.establish(m_settings.toUtf8().constData(), msg, kDbgMessageCapacity), 1) << msg;
    ASSERT_EQ(m_lib.forceChip("PIC16F877A", msg, kDbgMessageCapacity), 1) << msg;

    // Where each file leaves the program after the same number of steps.
    struct TAfter {
        uint32_t pc = 0;
        uint8_t w = 0;
        uint8_t ram[0x80] = {};
    };
    auto runFrom = [&](const QString &file, TAfter &after) {
        g_progress.clear();
        g_progressAnswer = 1;
        uint8_t inOut = 1;
        ASSERT_EQ(m_lib.download(file.toUtf8().constData(), &inOut, &RecordProgress, msg, kDbgMessageCapacity), 1)
            << msg;
        EXPECT_EQ(inOut, 1);
        ASSERT_GE(g_progress.size(), 2u);
        EXPECT_EQ(g_progress.front(), 0);
        EXPECT_EQ(g_progress.back(), 100);
        ASSERT_EQ(m_lib.reset(msg, kDbgMessageCapacity), 1) << msg;
        for (int i = 0; i < 500; ++i)
            ASSERT_EQ(m_lib.step(&after.pc, &after.w, 0, msg, kDbgMessageCapacity), 1) << msg;
        ASSERT_EQ(m_lib.readRam(0, 0x80, after.ram, msg, kDbgMessageCapacity), 1) << msg;
    };
    TAfter fromCoff, fromHex;
    runFrom(built.Path("cof"), fromCoff);
    runFrom(built.Path("hex"), fromHex);
    EXPECT_EQ(fromCoff.pc, fromHex.pc);
    EXPECT_EQ(fromCoff.w, fromHex.w);
    EXPECT_EQ(std::memcmp(fromCoff.ram, fromHex.ram, sizeof fromCoff.ram), 0);
    EXPECT_NE(fromCoff.pc, 0u);

    // A progress function that answers 0 stops the download.
    g_progress.clear();
    g_progressAnswer = 0;
    uint8_t inOut = 1;
    EXPECT_EQ(m_lib.download(built.Path("cof").toUtf8().constData(), &inOut, &RecordProgress, msg, kDbgMessageCapacity),
              0);
    EXPECT_STREQ(msg, "The download was stopped.");
    EXPECT_EQ(g_progress.size(), 1u);
    g_progressAnswer = 1;

    // A truncated COFF file is refused with a message.
    const QByteArray coff = ReadFile(built.Path("cof"));
    const QString cut = m_dir.filePath(QStringLiteral("cut.cof"));
    ASSERT_TRUE(WriteFile(cut, coff.left(coff.size() / 2)));
    EXPECT_EQ(m_lib.download(cut.toUtf8().constData(), &inOut, &RecordProgress, msg, kDbgMessageCapacity), 0);
    EXPECT_GT(std::strlen(msg), 0u);
}

TEST_F(SimLibrary, StopFromAnotherThreadEndsGo1)
{
    Start("PIC16F877A", "mid_timer0");
    char msg[kDbgTextSize] = {};
    std::atomic<int> result{-1};
    uint32_t pc = 0;
    uint8_t w = 0, status = 9;
    std::thread runner([&] {
        char runMsg[kDbgTextSize] = {};
        result = m_lib.go1(&pc, &w, &status, runMsg, kDbgMessageCapacity, 0);
    });
    // The program ends in an endless loop; let it get there.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(result.load(), -1);
    uint8_t ram[1];
    EXPECT_EQ(m_lib.readRam(0x20, 1, ram, msg, kDbgMessageCapacity), 0);   // refused, not waited for
    EXPECT_STREQ(msg, "The target is running; halt it first.");
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(m_lib.stop(msg, kDbgMessageCapacity), 1);
    runner.join();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
    std::printf("DBG_STOP ended DBG_GO1 in %lld ms\n", static_cast<long long>(ms.count()));
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(status, 0);
    // Within 100 ms on an idle machine; the limit leaves room for a loaded one.
    EXPECT_LT(ms.count(), 2000);
}

TEST_F(SimLibrary, SerialPortBothWays)
{
    TakeOutput();
    ASSERT_EQ(m_lib.setOutput(&Output), 1);
    Start("PIC16F877A", "mid_echo");
    char msg[kDbgTextSize] = {};
    for (char c : std::string("monitor"))
        ASSERT_EQ(m_lib.sendInput(uint8_t(c), msg, kDbgMessageCapacity), 1) << msg;
    uint32_t pc = 0;
    uint8_t w = 0, status = 0;
    std::atomic<int> result{-1};
    std::thread runner([&] {
        char runMsg[kDbgTextSize] = {};
        result = m_lib.go1(&pc, &w, &status, runMsg, kDbgMessageCapacity, 0);
    });
    // At 9600 baud the nine characters take about 10 ms of simulated time.
    std::string seen;
    for (int i = 0; i < 400 && seen.size() < 9; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen += TakeOutput();
    }
    // Input typed while the target runs reaches it too.
    ASSERT_EQ(m_lib.sendInput('!', msg, kDbgMessageCapacity), 1);
    for (int i = 0; i < 400 && seen.size() < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen += TakeOutput();
    }
    m_lib.stop(msg, kDbgMessageCapacity);
    runner.join();
    seen += TakeOutput();
    EXPECT_EQ(seen, "OKMONITOR!");
    EXPECT_EQ(result.load(), 1);
}

}  // namespace
}  // namespace kiv
