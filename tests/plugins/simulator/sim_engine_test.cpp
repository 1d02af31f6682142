// The simulator engine: the device table from gputils' data, memory maps and reset values, the
// test programs of each core run to their end with the results the data sheets give, breakpoints,
// a stop from another thread, the USART both ways, SLEEP and the watchdog, and bad program files.

#include "sim_programs.h"

#include "simdevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kiv {
namespace {

using namespace kiv::test;
using kiv::sim::FindSimDevice;
using kiv::sim::TCore;
using kiv::sim::TResetCause;
using kiv::sim::TSimulator;
using kiv::sim::TStop;

TEST(SimDevices, NamesInEveryFormFindTheSamePart)
{
    const sim::TSimDevice *part = FindSimDevice("PIC16F877A");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(FindSimDevice("p16f877a"), part);
    EXPECT_EQ(FindSimDevice("16F877A"), part);
    EXPECT_EQ(FindSimDevice(" pic16f877a "), part);
    EXPECT_EQ(FindSimDevice("PIC16F877X"), nullptr);
    EXPECT_EQ(FindSimDevice(""), nullptr);
    EXPECT_EQ(part->core, TCore::Pic14);
    EXPECT_EQ(part->programWords, 8192u);
    EXPECT_EQ(part->eepromBytes, 256);
    EXPECT_EQ(part->DataSize(), 512);
    EXPECT_GT(sim::SimDeviceNames().size(), 500u);
}

TEST(SimDevices, EveryCoreOfTheTableParsesWithItsMemory)
{
    struct TCase {
        const char *name;
        TCore core;
        int dataSize;
        uint32_t words;
    };
    const TCase cases[] = {
        {"PIC12F509", TCore::Pic12, 64, 1024},     {"PIC16F57", TCore::Pic12, 128, 2048},
        {"PIC16F84A", TCore::Pic14, 256, 1024},    {"PIC16F1827", TCore::Pic14E, 4096, 4096},
        {"PIC18F452", TCore::Pic18, 4096, 16384},  {"PIC18F26K22", TCore::Pic18, 4096, 32768},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.name);
        const sim::TSimDevice *part = FindSimDevice(c.name);
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->core, c.core);
        EXPECT_EQ(part->DataSize(), c.dataSize);
        EXPECT_EQ(part->programWords, c.words);
    }
}

TEST(SimMemory, BanksMirrorsAndGapsFollowTheDeviceData)
{
    TSimulator s(*FindSimDevice("PIC16F877A"));
    // 0x70-0x7F is one RAM in all four banks.
    s.PokeData(0x70, 0x5A);
    EXPECT_EQ(s.PeekData(0xF0), 0x5A);
    EXPECT_EQ(s.PeekData(0x170), 0x5A);
    EXPECT_EQ(s.PeekData(0x1F0), 0x5A);
    // Bank 2 repeats TMR0 and PORTB, bank 3 OPTION_REG and TRISB; STATUS is in every bank.
    EXPECT_EQ(s.RoleOf(0x101), sim::roTmr0);
    EXPECT_EQ(s.RoleOf(0x186), sim::roTris);
    EXPECT_EQ(s.RoleOf(0x183), sim::roStatus);
    // Addresses the data sheet leaves out read 0 and hold nothing.
    EXPECT_FALSE(s.IsImplemented(0x105));
    s.PokeData(0x105, 0x77);
    EXPECT_EQ(s.PeekData(0x105), 0);
    // Separate RAM in each bank elsewhere.
    s.PokeData(0x20, 1);
    s.PokeData(0xA0, 2);
    EXPECT_EQ(s.PeekData(0x20), 1);
    EXPECT_EQ(s.PeekData(0xA0), 2);

    TSimulator p18(*FindSimDevice("PIC18F452"));
    EXPECT_TRUE(p18.IsImplemented(0x5FF));
    EXPECT_FALSE(p18.IsImplemented(0x600));
    EXPECT_TRUE(p18.IsImplemented(0xF80));   // PORTA
}

TEST(SimMemory, PowerOnValuesOfTheRegisters)
{
    struct TCase {
        const char *device;
        const char *reg;
        uint8_t value;
    };
    const TCase cases[] = {
        {"PIC16F877A", "STATUS", 0x18},   {"PIC16F877A", "OPTION_REG", 0xFF}, {"PIC16F877A", "TRISA", 0x3F},
        {"PIC16F877A", "TRISE", 0x07},    {"PIC16F877A", "TXSTA", 0x02},      {"PIC16F877A", "PR2", 0xFF},
        {"PIC16F877A", "CMCON", 0x07},    {"PIC18F452", "T0CON", 0xFF},       {"PIC18F452", "INTCON2", 0xF5},
        {"PIC18F452", "INTCON3", 0xC0},   {"PIC18F452", "IPR1", 0xFF},        {"PIC18F452", "RCON", 0x1C},
        {"PIC16F1827", "WDTCON", 0x16},   {"PIC16F1827", "STATUS", 0x18},     {"PIC12F509", "FSR", 0xC0},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(std::string(c.device) + " " + c.reg);
        TSimulator s(*FindSimDevice(c.device));
        const int address = s.RegisterAddress(c.reg);
        ASSERT_GE(address, 0);
        EXPECT_EQ(s.PeekData(address), c.value);
    }
}

class SimPrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GpasmAvailable())
            GTEST_SKIP() << "gpasm is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }
    std::unique_ptr<TSimulator> Load(const char *device, const char *program)
    {
        QByteArray log;
        const QString hex = AssembleSimProgram(m_dir.path(), QString::fromLatin1(program), &log);
        EXPECT_FALSE(hex.isEmpty()) << log.toStdString();
        std::string error;
        auto s = LoadedSimulator(device, hex, &error);
        EXPECT_NE(s, nullptr) << error;
        return s;
    }
    QTemporaryDir m_dir;
};

TEST_F(SimPrograms, BanksIndirectTablesAndPages)
{
    auto s = Load("PIC16F877A", "mid_banks");
    ASSERT_TRUE(s && RunToEnd(*s));
    EXPECT_EQ(s->PeekData(0x70), uint8_t(0xA1 + 0xB2 + 0xC3 + 0xD4));
    EXPECT_EQ(s->PeekData(0x21), 0x11 + 0x22 + 0x33);   // the table's first three entries
    EXPECT_EQ(s->PeekData(0x23), s->PeekData(0x70));     // read back in bank 3 on page 3
    EXPECT_EQ(s->StackDepth(), 0);
}

TEST_F(SimPrograms, Timer0InterruptsCountOverflows)
{
    auto s = Load("PIC16F877A", "mid_timer0");
    ASSERT_TRUE(s && RunToEnd(*s));
    EXPECT_EQ(s->PeekData(0x72), 4);
    // 0xF0 to the first overflow, then 256 counts each, at 1:4: 4 * (16 + 3 * 256) cycles at least.
    EXPECT_GE(s->Cycles(), 4u * (16 + 3 * 256));
    EXPECT_LT(s->Cycles(), 4u * (16 + 3 * 256) + 400);
}

TEST_F(SimPrograms, DataEepromWriteAndRead)
{
    auto s = Load("PIC16F877A", "mid_eeprom");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->EepromByte(2), 0x33);   // from the HEX file
    ASSERT_TRUE(RunToEnd(*s));
    EXPECT_EQ(s->EepromByte(3), 0x5A);
    EXPECT_EQ(s->PeekData(0x30), 0x5A);
    EXPECT_EQ(s->PeekData(0x31), 0x33);
    EXPECT_TRUE(s->PeekData(s->RegisterAddress("PIR2")) & 0x10);   // EEIF
}

TEST_F(SimPrograms, UsartSendsAtTheBaudRate)
{
    auto s = Load("PIC16F877A", "mid_usart");
    ASSERT_TRUE(s);
    std::string sent;
    std::vector<uint64_t> when;
    s->SetOutputFunction([&](uint8_t byte) {
        sent += char(byte);
        when.push_back(s->Cycles());
    });
    ASSERT_TRUE(RunToEnd(*s, 200000));
    EXPECT_EQ(sent, "Hi!");
    // 9600 baud at 20 MHz: 520 instruction cycles a bit; the bytes leave a delay loop apart.
    ASSERT_EQ(when.size(), 3u);
    EXPECT_GE(when[1] - when[0], 10u * 520);
}

TEST_F(SimPrograms, UsartEchoesWhatItReceives)
{
    auto s = Load("PIC16F877A", "mid_echo");
    ASSERT_TRUE(s);
    std::string sent;
    s->SetOutputFunction([&](uint8_t byte) { sent += char(byte); });
    for (char c : std::string("hello, PIC"))
        ASSERT_TRUE(s->PushInput(uint8_t(c)));
    s->Run(20 * 5200 + 20000);
    EXPECT_EQ(sent, "OKHELLO, PIC");
    EXPECT_EQ(s->PeekData(0x74), 10);
    EXPECT_EQ(s->PeekData(s->RegisterAddress("RCSTA")) & 0x02, 0);   // no overrun
}

TEST_F(SimPrograms, Pic18TablesIndirectModesAndPriorities)
{
    auto s = Load("PIC18F452", "pic18_table");
    ASSERT_TRUE(s && RunToEnd(*s));
    // The table (gpasm's numbers are hexadecimal) summed, copied, and multiplied.
    const uint8_t table[8] = {0x01, 0x02, 0x03, 0x05, 0x08, 0x13, 0x21, 0x34};
    EXPECT_EQ(s->PeekData(0x00), 0x7B);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s->PeekData(0x100 + i), table[i]);
    EXPECT_EQ(s->PeekData(0x01), 7);                        // high-priority Timer0 interrupts
    EXPECT_EQ(s->PeekData(s->RegisterAddress("BSR")), 0);   // RETURN FAST put back the BSR of the CALL
    EXPECT_EQ(s->StackDepth(), 0);
}

TEST_F(SimPrograms, BaselineOptionTrisPagesAndBanks)
{
    auto s = Load("PIC12F509", "baseline");
    ASSERT_TRUE(s && RunToEnd(*s));
    // With FSR's bank bit set, the direct addresses 0x10-0x1F are those of bank 1 too.
    EXPECT_EQ(s->PeekData(0x10), 0x2A);
    EXPECT_EQ(s->PeekData(0x30), 0x5B);
    EXPECT_EQ(s->PeekData(0x31), 0x77);   // INDF with FSR 0x31, then "movwf 0x11" in bank 1
    EXPECT_EQ(s->PeekData(0x11), 0);
    EXPECT_EQ(s->W(), 0x77);
    EXPECT_EQ(s->StackDepth(), 0);
}

TEST_F(SimPrograms, EnhancedCoreLinearRamAndContextSave)
{
    auto s = Load("PIC16F1823", "enhanced");
    ASSERT_TRUE(s && RunToEnd(*s));
    EXPECT_GE(s->PeekData(0x70), 4);
    // MOVWI FSR0++ filled the linear RAM from 0x2020 (bank 0 offset 0x40) with 5, 8, 11, ...
    EXPECT_EQ(s->PeekData(0x40), 5);
    EXPECT_EQ(s->PeekData(0x41), 8);
    EXPECT_EQ(s->PeekData(0x47), 26);
    // W and BSR changed in the interrupt routine came back: the main loop saw 0x70 through bank 0.
    EXPECT_EQ(s->PeekData(s->RegisterAddress("BSR")), 0);
}

TEST_F(SimPrograms, WatchdogWakesFromSleep)
{
    auto s = Load("PIC16F877A", "sleep_wdt");
    ASSERT_TRUE(s);
    // 18 ms at 1:2 is 36 ms a wake-up: 180000 instruction cycles at 20 MHz.
    s->Run(4 * 180000 + 10000);
    EXPECT_EQ(s->PeekData(0x20), 4);
    EXPECT_EQ(s->PeekData(0x21), 0);   // woken, never reset
    EXPECT_TRUE(s->Sleeping());
    EXPECT_EQ(s->Status() & 0x18, 0x10);   // asleep: /PD clear, /TO set
}

TEST_F(SimPrograms, PeripheralInterruptsSendAndCount)
{
    auto s = Load("PIC16F877A", "mid_periph");
    ASSERT_TRUE(s);
    std::string sent;
    s->SetOutputFunction([&](uint8_t byte) { sent += char(byte); });
    ASSERT_TRUE(RunToEnd(*s, 200000));
    EXPECT_EQ(sent, "KIV");   // CR in the shift register and LF in TXREG when the count reaches 5
    EXPECT_EQ(s->PeekData(0x75), 5);
    EXPECT_EQ(s->PeekData(0x73), 1);             // Timer1 overflowed once (from 0xF000)
    // Timer2 interrupts every 2000 cycles from its start near the beginning.
    const uint64_t cycles = s->Cycles();
    EXPECT_GE(s->PeekData(0x74), (cycles - 200) / 2000);
    EXPECT_LE(s->PeekData(0x74), cycles / 2000);
    s->Run(20000);
    EXPECT_EQ(sent, "KIV\r\n");
}

TEST_F(SimPrograms, SingleStepsWhileAsleepAreCyclesOfSleep)
{
    auto s = Load("PIC16F877A", "sleep_wdt");
    ASSERT_TRUE(s);
    for (int i = 0; i < 50 && !s->Sleeping(); ++i)
        s->Step();
    ASSERT_TRUE(s->Sleeping());
    const uint32_t pc = s->Pc();
    const uint64_t start = s->Cycles();
    for (int i = 0; i < 1000; ++i)
        s->Step();
    EXPECT_TRUE(s->Sleeping());
    EXPECT_EQ(s->Pc(), pc);
    EXPECT_EQ(s->Cycles(), start + 1000);
    EXPECT_EQ(s->PeekData(0x20), 0);
    // The step in which the watchdog wakes the part shows it awake; the next runs the instruction
    // after SLEEP.
    while (s->Sleeping() && s->Cycles() < start + 200000)
        s->Step();
    ASSERT_FALSE(s->Sleeping());
    EXPECT_EQ(s->Pc(), pc);
    EXPECT_EQ(s->Status() & 0x18, 0);   // woken by a time-out: /TO and /PD clear
    s->Step();
    EXPECT_EQ(s->PeekData(0x20), 1);
}

TEST_F(SimPrograms, Pic18HighPriorityInterruptsTheLowPriorityRoutine)
{
    auto s = Load("PIC18F452", "pic18_priority");
    ASSERT_TRUE(s && RunToEnd(*s, 5'000'000));
    EXPECT_EQ(s->PeekData(0x01), 3);     // low-priority Timer1 interrupts
    EXPECT_GT(s->PeekData(0x00), 3);     // high-priority Timer0 interrupts
    EXPECT_GE(s->PeekData(0x03), 3);     // at least one inside each low-priority routine
    const uint8_t intcon = s->PeekData(s->RegisterAddress("INTCON"));
    EXPECT_EQ(intcon & 0xC0, 0x40);      // GIEL set again by its RETFIE; GIEH cleared at the end
    EXPECT_EQ(s->StackDepth(), 0);
}

TEST_F(SimPrograms, WatchdogTimeOutResetsThePart)
{
    auto s = Load("PIC16F877A", "wdt_reset");
    ASSERT_TRUE(s);
    // 18 ms at 20 MHz is 90000 instruction cycles.
    s->Run(3 * 90000 + 1000);
    EXPECT_EQ(s->PeekData(0x20), 3);   // counted only where /TO was clear after the reset
    EXPECT_EQ(s->LastResetCause(), TResetCause::Watchdog);
    EXPECT_EQ(s->Pc(), 7u);            // back in the loop after the third reset
}

TEST_F(SimPrograms, BreakpointsStopBeforeTheInstruction)
{
    auto s = Load("PIC16F877A", "mid_banks");
    ASSERT_TRUE(s);
    ASSERT_TRUE(s->SetBreakpoint(1));   // the table's ADDWF PCL
    EXPECT_EQ(s->Run(100000), TStop::Breakpoint);
    EXPECT_EQ(s->Pc(), 1u);
    const uint64_t cycles = s->Cycles();
    // Going on runs the instruction at the breakpoint, then stops there again on the next call.
    EXPECT_EQ(s->Run(100000), TStop::Breakpoint);
    EXPECT_EQ(s->Pc(), 1u);
    EXPECT_GT(s->Cycles(), cycles);
    EXPECT_FALSE(s->SetBreakpoint(8192));
    EXPECT_TRUE(s->ClearBreakpoint(1));
    EXPECT_FALSE(s->ClearBreakpoint(1));
}

TEST_F(SimPrograms, StopFromAnotherThreadEndsAnEndlessRun)
{
    auto s = Load("PIC16F877A", "mid_usart");
    ASSERT_TRUE(s && RunToEnd(*s, 200000));   // now in its closing loop
    std::atomic<bool> started{false};
    TStop stop = TStop::None;
    std::thread runner([&] {
        started = true;
        stop = s->Run(UINT64_MAX);
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto asked = std::chrono::steady_clock::now();
    s->RequestStop();
    runner.join();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_EQ(stop, TStop::StopRequest);
    // Well under 100 ms on an idle machine; the limit leaves room for a loaded one.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 2000);
}

TEST(SimLoad, BadFilesAreRefusedWithAMessage)
{
    TSimulator s(*FindSimDevice("PIC16F877A"));
    std::string error;
    EXPECT_FALSE(sim::LoadHexText(s, ":0400000001020304F2\n", error));   // no end record
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(sim::LoadHexText(s, ":04000000010203040\n:00000001FF\n", error));   // cut short
    EXPECT_FALSE(sim::LoadHexText(s, ":0400000001020304F1\n:00000001FF\n", error));   // bad checksum
    EXPECT_FALSE(sim::LoadHexText(s, ":00000001FF\n", error));
    EXPECT_NE(error.find("no program"), std::string::npos);
    // Data past the end of a 1K part.
    TSimulator small(*FindSimDevice("PIC16F84A"));
    EXPECT_FALSE(sim::LoadHexText(small, ":020800000030C6\n:00000001FF\n", error));
    EXPECT_NE(error.find("outside the memory of the PIC16F84A"), std::string::npos) << error;
    EXPECT_EQ(small.ProgramWord(0), 0x3FFF);   // left erased
    EXPECT_FALSE(sim::LoadHexFile(s, "/nonexistent/x.hex", error));
    EXPECT_FALSE(sim::LoadProgramFile(s, "/nonexistent/x.hex", error));
    // A good one.
    EXPECT_TRUE(sim::LoadHexText(s, ":020000000530C9\n:00000001FF\n", error)) << error;
    EXPECT_EQ(s.ProgramWord(0), 0x3005);
}

}  // namespace
}  // namespace kiv
