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
    // Where the device data leaves them implemented, banks 2 and 3 repeat the ports and TRIS
    // registers (the PIC16F690's PORTA at 0x105, TRISA and TRISC at 0x185 and 0x187).
    TSimulator f690(*FindSimDevice("PIC16F690"));
    EXPECT_EQ(f690.RoleOf(0x105), sim::roPort);
    EXPECT_EQ(f690.RoleOf(0x185), sim::roTris);
    f690.Write(0x187, 0x0F);
    EXPECT_EQ(f690.PeekData(0x87), 0x0F);
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

// ---- the A/D converter -------------------------------------------------------------------------

// One conversion per family's register layout, driven as a program drives it: the set-up writes
// (right-justified, FOSC/32, the channel, ADON), then GO. At 20 MHz FOSC/32 gives TAD = 8 cycles,
// so GO/DONE clears and ADIF rises 96 cycles after GO.
struct TAdcCase {
    const char *part;
    std::vector<std::pair<const char *, uint8_t>> setup;   // register, value
    uint8_t go;                                            // ADCON0 with GO
    int channel;
    int bits;
};

const TAdcCase kAdcCases[] = {
    // ADFM in ADCON1, ADCS1:0 in ADCON0, CHS2:0 at bit 3, PCFG 0000 (VDD reference).
    {"PIC16F877A", {{"ADCON1", 0x80}, {"ADCON0", 0x91}}, 0x95, 2, 10},
    // ADFM and VCFG in ADCON0, ADCS in ADCON1, CHS3:0 at bit 2.
    {"PIC16F690", {{"ADCON1", 0x20}, {"ADCON0", 0x89}}, 0x8B, 2, 10},
    // The clock bits in ANSEL.
    {"PIC12F675", {{"ANSEL", 0x2F}, {"ADCON0", 0x89}}, 0x8B, 2, 10},
    // The enhanced core: CHS4:0 at bit 2, ADFM and ADCS in ADCON1.
    {"PIC16F1827", {{"ADCON1", 0xA0}, {"ADCON0", 0x09}}, 0x0B, 2, 10},
    // ADCS2 and VCFG1:0 in ADCON1, ANSEL separate.
    {"PIC16F88", {{"ADCON1", 0x80}, {"ADCON0", 0x91}}, 0x95, 2, 10},
    // The 8-bit converter with a single ADRES.
    {"PIC16F74", {{"ADCON1", 0x00}, {"ADCON0", 0x91}}, 0x95, 2, 8},
};

// The A/D test programs run to their end with levels on the inputs; the results the data sheets'
// transfer function gives (the reference is the highest code, the nearest code is taken).
TEST_F(SimPrograms, AdcProgramsConvertTheInputsTheyAreGiven)
{
    struct TCase {
        const char *program;
        const char *device;
        const char *analog;
        std::vector<std::pair<int, uint8_t>> ram;   // address, value
    };
    const TCase cases[] = {
        // AN0 2.0 V -> 409 (0x199) right-justified; AN1 1.0 V -> 205 left-justified (0x33, 0x40);
        // ADCON0 after ADON off during a conversion: GO stays (0x14); AN0 on the RC clock and
        // through the interrupt, left-justified; one interrupt.
        {"mid_adc", "PIC16F877A", "AN0=2.0 AN1=1.0 AN2=5",
         {{0x20, 0x01}, {0x21, 0x99}, {0x22, 0x33}, {0x23, 0x40}, {0x24, 0x14}, {0x25, 0x66}, {0x27, 0x66}, {0x28, 1}}},
        // AN1 1.0 V -> 205 right-justified; AN3 4.0 V -> 818 (0x332) left-justified.
        {"adc_12f675", "PIC12F675", "AN1=1.0 AN3=4.0", {{0x20, 0x00}, {0x21, 0xCD}, {0x22, 0xCC}, {0x23, 0x80}}},
        // AN9 3.0 V -> 614 (0x266); AN2 0.5 V -> 102, left-justified (0x19).
        {"adc_16f690", "PIC16F690", "AN9=3 AN2=0.5", {{0x20, 0x02}, {0x21, 0x66}, {0x22, 0x19}}},
        // AN4 1.5 V -> 307 (0x133); AN1 4.5 V -> 921, left-justified (0xE6); one interrupt.
        {"adc_16f1827", "PIC16F1827", "AN4=1.5 AN1=4.5", {{0x20, 0x01}, {0x21, 0x33}, {0x22, 0xE6}, {0x70, 1}}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.program);
        auto s = Load(c.device, c.program);
        ASSERT_TRUE(s);
        sim::TAnalogInputs analog;
        std::string error;
        ASSERT_TRUE(analog.Parse(c.analog, error)) << error;
        s->SetAnalogInputs(analog);
        ASSERT_TRUE(RunToEnd(*s));
        for (const auto &[address, value] : c.ram)
            EXPECT_EQ(s->PeekData(address), value) << "at 0x" << std::hex << address;
    }
}

TEST(SimAdc, ConvertsTheInputTwelveTadAfterGoOnEveryLayout)
{
    for (const TAdcCase &c : kAdcCases) {
        SCOPED_TRACE(c.part);
        const sim::TSimDevice *part = FindSimDevice(c.part);
        ASSERT_NE(part, nullptr);
        TSimulator s(*part);
        ASSERT_TRUE(s.HasAdc());
        EXPECT_EQ(s.AdcBits(), c.bits);
        sim::TAnalogInputs analog;
        std::string error;
        ASSERT_TRUE(analog.Parse("AN2=3.0 AN1=1.0", error)) << error;
        s.SetAnalogInputs(analog);
        s.ErasePrograms();
        s.FinishLoading();
        for (const auto &[reg, value] : c.setup) {
            ASSERT_GE(s.RegisterAddress(reg), 0) << reg;
            s.Write(unsigned(s.RegisterAddress(reg)), value);
        }
        const int adcon0 = s.RegisterAddress("ADCON0");
        const auto [adifAddr, adifBit] = part->FindBit("PIR", "ADIF");
        ASSERT_GE(adifAddr, 0);
        EXPECT_EQ(s.AdcConversionCycles(), 96u);
        s.Write(unsigned(adcon0), c.go);
        s.Run(95);
        EXPECT_EQ(s.PeekData(adcon0), c.go) << "GO/DONE clears only when the conversion is done";
        EXPECT_FALSE((s.PeekData(adifAddr) >> adifBit) & 1);
        s.Run(2);
        EXPECT_EQ(s.PeekData(adcon0), c.setup.back().second) << "GO/DONE clear";
        EXPECT_TRUE((s.PeekData(adifAddr) >> adifBit) & 1);
        // 3.0 V of 5 V: 613.8 of 1023 -> 614 (0x266); of 255 -> 153.
        if (c.bits == 8) {
            EXPECT_EQ(s.PeekData(s.RegisterAddress("ADRES")), 153);
        } else {
            EXPECT_EQ(s.PeekData(s.RegisterAddress("ADRESH")), 0x02);
            EXPECT_EQ(s.PeekData(s.RegisterAddress("ADRESL")), 0x66);
        }
    }
}

TEST(SimAdc, JustificationClockReferencesAndAbort)
{
    TSimulator s(*FindSimDevice("PIC16F877A"));
    s.ErasePrograms();
    s.FinishLoading();
    sim::TAnalogInputs analog;
    std::string error;
    ASSERT_TRUE(analog.Parse("AN0=2.0, AN1=700c VREF+=4.0 VDD=5", error)) << error;
    s.SetAnalogInputs(analog);
    const unsigned adcon0 = unsigned(s.RegisterAddress("ADCON0"));
    const unsigned adcon1 = unsigned(s.RegisterAddress("ADCON1"));
    const int adresh = s.RegisterAddress("ADRESH"), adresl = s.RegisterAddress("ADRESL");
    auto convert = [&](uint8_t con0, uint8_t con1) {
        s.Write(adcon1, con1);
        s.Write(adcon0, con0);
        s.Write(adcon0, uint8_t(con0 | 0x04));
        s.Run(s.AdcConversionCycles() + 1);
        EXPECT_EQ(s.PeekData(int(adcon0)) & 0x04, 0);
    };
    // Left-justified, VDD reference: 2.0 V -> 409 (0x199): ADRESH 0x66, ADRESL 0x40.
    convert(0x81, 0x00);
    EXPECT_EQ(s.PeekData(adresh), 0x66);
    EXPECT_EQ(s.PeekData(adresl), 0x40);
    // PCFG 0001: AN3 is VREF+ (4.0 V): 2.0 V -> 512 (0x200), right-justified.
    convert(0x81, 0x81);
    EXPECT_EQ(s.PeekData(adresh), 0x02);
    EXPECT_EQ(s.PeekData(adresl), 0x00);
    // A raw count is returned as it is.
    convert(0x89, 0x80);
    EXPECT_EQ(s.PeekData(adresh) * 256 + s.PeekData(adresl), 700);

    // The clock selection: FOSC/2 (ADCS 000) 12 TAD of half a cycle, FOSC/64 (ADCS2 with 10)
    // 192 cycles, the RC clock about 4 us per TAD (240 cycles at 20 MHz).
    s.Write(adcon1, 0x00);
    s.Write(adcon0, 0x01);
    EXPECT_EQ(s.AdcConversionCycles(), 6u);
    s.Write(adcon1, 0x40);
    s.Write(adcon0, 0x81);
    EXPECT_EQ(s.AdcConversionCycles(), 192u);
    s.Write(adcon0, 0xC1);
    EXPECT_EQ(s.AdcConversionCycles(), 240u);

    // Clearing ADON during a conversion ends it without a result; GO stays as written.
    s.Write(adcon1, 0x80);
    s.Write(adcon0, 0x81);
    s.Write(unsigned(adresh), 0xAA);
    s.Write(adcon0, 0x85);
    s.Run(10);
    s.Write(adcon0, 0x84);
    s.Run(200);
    EXPECT_EQ(s.PeekData(adresh), 0xAA);
    EXPECT_EQ(s.PeekData(int(adcon0)), 0x84);
    // GO without ADON starts nothing.
    s.Write(adcon0, 0x80);
    s.Write(adcon0, 0x84);
    s.Run(200);
    EXPECT_EQ(s.PeekData(adresh), 0xAA);
    // The memory window does not start a conversion.
    s.Write(adcon0, 0x81);
    s.PokeData(int(adcon0), 0x85);
    EXPECT_EQ(s.PeekData(int(adcon0)), 0x81);
}

TEST(SimAdc, AnalogSettingsAreCheckedAndReadBack)
{
    struct TCase {
        const char *text;
        bool ok;
    };
    const TCase cases[] = {
        {"AN0=2.5", true},        {"an3=1.2v, AN31=1023c", true}, {"VDD=3.3 VREF-=0.5 VREF+=3", true},
        {"", true},               {"AN0", false},                 {"AN32=1", false},
        {"AN0=abc", false},       {"AN0=-1", false},               {"AN0=1.5c", false},
        {"VDD=12c", false},       {"RA0=1", false},                {"AN0=2.5 AN1=x", false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.text);
        sim::TAnalogInputs analog;
        std::string error;
        EXPECT_EQ(analog.Parse(c.text, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(analog.volts.empty()) << "a bad item changes nothing";
            continue;
        }
        sim::TAnalogInputs again;
        ASSERT_TRUE(again.Parse(analog.Text(), error)) << analog.Text();
        EXPECT_EQ(again.Text(), analog.Text());
    }
    sim::TAnalogInputs analog;
    std::string error;
    ASSERT_TRUE(analog.Parse("an3=1.2v, AN31=1023c VDD=3.3", error));
    EXPECT_EQ(analog.Text(), "AN3=1.2 AN31=1023c VDD=3.3");
}

TEST(SimAdc, TheInterruptAndSleepFollowTheClock)
{
    TSimulator s(*FindSimDevice("PIC16F877A"));
    s.ErasePrograms();
    for (uint32_t word = 0; word < 16; ++word) {   // SLEEP everywhere but the vector
        s.LoadHexByte(word * 2, 0x63);
        s.LoadHexByte(word * 2 + 1, 0x00);
    }
    s.FinishLoading();
    const unsigned adcon0 = unsigned(s.RegisterAddress("ADCON0"));
    const unsigned adcon1 = unsigned(s.RegisterAddress("ADCON1"));
    const unsigned pie1 = unsigned(s.RegisterAddress("PIE1"));
    const unsigned pir1 = unsigned(s.RegisterAddress("PIR1"));
    const unsigned intcon = unsigned(s.RegisterAddress("INTCON"));
    // ADIE, PEIE and GIE: the end of the conversion enters the interrupt vector.
    s.Write(pie1, 0x40);
    s.Write(intcon, 0xC0);
    s.Write(adcon0, 0x81);
    s.SetPc(0x20);   // past the SLEEPs: erased words
    s.Write(adcon0, 0x85);
    const uint64_t taken = s.InterruptsTaken();
    s.Run(98);
    EXPECT_EQ(s.InterruptsTaken(), taken + 1);

    // SLEEP abandons a conversion on the instruction clock: GO clears, no flag, no wake-up.
    s.Write(intcon, 0x40);   // PEIE only: ADIF would wake the part without a vector
    s.Write(pir1, 0x00);
    s.Write(adcon0, 0x81);
    s.Write(adcon0, 0x85);
    s.SetPc(8);
    s.Step();
    EXPECT_TRUE(s.Sleeping());
    EXPECT_EQ(s.PeekData(int(adcon0)) & 0x04, 0x00);
    s.Run(1000);
    EXPECT_TRUE(s.Sleeping());
    EXPECT_EQ(s.PeekData(int(pir1)) & 0x40, 0x00);

    // On the RC clock the conversion goes on in SLEEP, and ADIF wakes the part.
    s.Reset();
    s.Write(pie1, 0x40);
    s.Write(intcon, 0x40);
    s.Write(adcon1, 0x00);
    s.Write(adcon0, 0xC1);
    s.Write(adcon0, 0xC5);
    s.SetPc(8);
    s.Step();
    EXPECT_TRUE(s.Sleeping());
    s.Run(1000);
    EXPECT_FALSE(s.Sleeping());
    EXPECT_EQ(s.PeekData(int(pir1)) & 0x40, 0x40);
    EXPECT_EQ(s.PeekData(int(adcon0)) & 0x04, 0x00);
}

}  // namespace
}  // namespace kiv
