// The programs the project wizard writes, for a spread of 14-bit parts, built with the
// installation's device headers and device database; and the generated headers themselves.

#include "vync_compile.h"
#include "vync_headers.h"
#include "vync_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Lines joined with CR LF, as the wizard writes them.
std::string Crlf(const std::vector<std::string> &lines)
{
    std::string s;
    for (const std::string &l : lines)
        s += l + "\r\n";
    return s;
}

struct TWizardCase {
    const char *part;
    std::vector<std::string> header;   // after the device include line
    std::vector<std::string> before;   // the C file before main()
    std::vector<std::string> inMain;   // the C file in main()
};

// The sections of every wizard page with their main options, in the order the wizard writes
// them: General, I/O Pins, Analog, Communications, SPI and LCD, Timers, Other, Header Files,
// Interrupts.
const std::vector<TWizardCase> &Cases()
{
    static const std::vector<TWizardCase> cases = {
        {"PIC16F877A",
         {"#device *=16", "#device adc=8", "#fuses NOWDT,HS, NOPUT, NOPROTECT, NOLVP", "#use delay(clock=20000000)",
          "#define LED   PIN_B0", "#define START   PIN_B1",
          "#use rs232(baud=9600,parity=N,xmit=PIN_C6,rcv=PIN_C7,bits=8)", "#use i2c(Master,Fast,sda=PIN_C4,scl=PIN_C3)"},
         {"  #ZERO_RAM", "#int_RTCC", "RTCC_isr() ", "{", "", "}", "", "#int_TIMER1", "TIMER1_isr() ", "{", "", "}", ""},
         {"   port_b_pullups(TRUE);", "   setup_adc_ports(AN0_AN1_AN3);", "   setup_adc(ADC_CLOCK_DIV_32);",
          "   setup_psp(PSP_DISABLED);", "   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_8);",
          "   setup_timer_1(T1_INTERNAL|T1_DIV_BY_8);", "   setup_timer_2(T2_DIV_BY_4,250,1);", "   setup_ccp1(CCP_PWM);",
          "   setup_ccp2(CCP_CAPTURE_RE|CCP_CAPTURE_DIV_4);", "   setup_comparator(NC_NC_NC_NC);",
          "   setup_vref(VREF_LOW|7|VREF_A2);", "   enable_interrupts(INT_RTCC);", "   enable_interrupts(INT_TIMER1);",
          "   enable_interrupts(GLOBAL);"}},
        {"PIC16F628A",
         {"#fuses WDT,INTRC_IO, NOLVP, NOMCLR", "#use delay(clock=4000000,RESTART_WDT)", "#define RELAY   PIN_A2",
          "#use rs232(baud=19200,parity=E,xmit=PIN_B2,rcv=PIN_B1,bits=8,restart_wdt)"},
         {"#int_EXT", "EXT_isr() {", "", "}", ""},
         {"   port_b_pullups(TRUE);", "   setup_timer_0(RTCC_INTERNAL);setup_wdt(WDT_18MS);",
          "   setup_timer_1(T1_EXTERNAL|T1_DIV_BY_1|T1_CLK_OUT|T1_EXTERNAL_SYNC);", "   setup_timer_2(T2_DISABLED,0,1);",
          "   setup_ccp1(CCP_COMPARE_INT);", "   setup_comparator(A0_A3_A1_A2);", "   setup_vref(VREF_HIGH|3);",
          "   enable_interrupts(INT_EXT);", "   enable_interrupts(GLOBAL);"}},
        {"PIC16F88",
         {"#device adc=8", "#fuses NOWDT,INTRC_IO, NOPUT, NOMCLR, NOBROWNOUT, NOLVP", "#use delay(clock=8000000)"},
         {"#int_AD", "AD_isr() ", "{", "", "}", ""},
         {"   setup_adc_ports(sAN0|sAN1|VSS_VDD);", "   setup_adc(ADC_CLOCK_DIV_16);",
          "   setup_spi(SPI_SLAVE|SPI_SS_DISABLED);", "   setup_timer_0(RTCC_EXT_L_TO_H|RTCC_DIV_1);",
          "   setup_timer_1(T1_DISABLED);", "   setup_timer_2(T2_DIV_BY_16,100,16);", "   setup_ccp1(CCP_CAPTURE_FE);",
          "   setup_comparator(NC_NC_NC_NC);", "   setup_vref(FALSE);", "   enable_interrupts(INT_AD);",
          "   enable_interrupts(GLOBAL);"}},
        {"PIC16F690",
         {"#device adc=8", "#fuses NOWDT,INTRC_IO, NOMCLR", "#use delay(clock=4000000)", "#define SENSOR   PIN_C0"},
         {"#int_RB", "RB_isr() ", "{", "", "}", ""},
         {"   setup_adc_ports(sAN4|sAN8);", "   setup_adc(ADC_CLOCK_INTERNAL);",
          "   setup_spi(SPI_MASTER|SPI_H_TO_L|SPI_CLK_DIV_64|SPI_SAMPLE_AT_END);",
          "   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_256);", "   setup_timer_1(T1_INTERNAL|T1_DIV_BY_2);",
          "   setup_timer_2(T2_DISABLED,0,1);", "   setup_ccp1(CCP_OFF);", "   setup_comparator(NC_NC_NC_NC);",
          "   setup_vref(FALSE);", "   enable_interrupts(INT_RB);", "   enable_interrupts(GLOBAL);"}},
        {"PIC16F1827",
         {"#device adc=8", "#fuses NOWDT,INTRC_IO, NOLVP", "#use delay(clock=16000000)", "#define LAMP   PIN_B3"},
         {"#int_TIMER2", "TIMER2_isr() ", "{", "", "}", ""},
         {"   setup_adc_ports(sAN0);", "   setup_adc(ADC_CLOCK_DIV_32);", "   setup_spi(FALSE);",
          "   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_1);", "   setup_timer_1(T1_INTERNAL|T1_DIV_BY_4);",
          "   setup_timer_2(T2_DIV_BY_16,249,10);", "   setup_ccp1(CCP_PWM);", "   setup_comparator(NC_NC_NC_NC);",
          "   enable_interrupts(INT_TIMER2);", "   enable_interrupts(GLOBAL);"}},
        {"PIC12F675",
         {"#device adc=8", "#fuses NOWDT,INTRC_IO, NOMCLR, NOPROTECT", "#use delay(clock=4000000)", "#define BEEP   PIN_A2"},
         {"#int_TIMER1", "TIMER1_isr() ", "{", "", "}", ""},
         {"   setup_adc_ports(sAN0|VSS_VDD);", "   setup_adc(ADC_CLOCK_DIV_8);",
          "   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_64);", "   setup_timer_1(T1_INTERNAL|T1_DIV_BY_1);",
          "   setup_comparator(NC_NC_NC_NC);", "   setup_vref(VREF_LOW|10);", "   enable_interrupts(INT_TIMER1);",
          "   enable_interrupts(GLOBAL);"}},
    };
    return cases;
}

// An installation folder with the generated device headers and the device database.
class TInstall {
public:
    TInstall()
    {
        char pattern[] = "/tmp/vyncwizXXXXXX";
        const char *dir = mkdtemp(pattern);
        m_folder = dir ? dir : "/tmp";
        fs::create_directories(fs::path(m_folder) / "utils");
        fs::create_directory_symlink(KIV_VYNC_DEVICES_DIR, fs::path(m_folder) / "devices");
        fs::copy_file(KIV_DEVICES_DAT, fs::path(m_folder) / "utils" / "devices.dat");
    }
    ~TInstall()
    {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    const std::string &Folder() const { return m_folder; }

private:
    std::string m_folder;
};

std::string HeaderName(const std::string &part) { return kiv::vync::DeviceHeaderName(part); }

// Writes the wizard's two files for `c` into `folder`; returns the C file's path.
std::string WriteProject(const TWizardCase &c, const std::string &folder)
{
    const std::string cPath = folder + "/main.c", hPath = folder + "/main.h";
    std::vector<std::string> h = {"#include <" + HeaderName(c.part) + ">"};
    h.insert(h.end(), c.header.begin(), c.header.end());
    h.push_back("");
    std::ofstream(hPath, std::ios::binary) << Crlf(h);
    std::vector<std::string> src = {"#include \"" + hPath + "\""};
    src.insert(src.end(), c.before.begin(), c.before.end());
    src.insert(src.end(), {"", "", "void main()", "{", ""});
    src.insert(src.end(), c.inMain.begin(), c.inMain.end());
    src.insert(src.end(), {"", "}"});
    std::ofstream(cPath, std::ios::binary) << Crlf(src);
    return cPath;
}

bool Ready()
{
    return fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / "16F877A.h") && fs::exists(KIV_DEVICES_DAT);
}

class VyncWizard : public ::testing::TestWithParam<std::size_t> {};

TEST_P(VyncWizard, BuildsWithoutErrors)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TWizardCase &c = Cases()[GetParam()];
    TInstall install;
    const std::string folder = install.Folder() + "/project";
    fs::create_directories(folder);
    kiv::vync::TCompileOptions options;
    options.mainFile = WriteProject(c, folder);
    options.installDir = install.Folder();
    const kiv::vync::TCompileOutcome out = kiv::vync::CompileC(options);
    std::string messages;
    for (const auto &m : out.messages.All())
        messages += kiv::vync::MessageLine(out.messages, m) + "\n";
    ASSERT_TRUE(out.ok) << c.part << "\n" << messages;
    EXPECT_EQ(out.messages.ErrorCount(), 0) << messages;
    EXPECT_EQ(out.part, c.part);
    // gpasm and gplink accept the assembly.
    std::ofstream(folder + "/main.asm", std::ios::binary) << out.assembly;
    std::string tools;
    EXPECT_EQ(kiv::vynctest::Shell("cd '" + folder + "' && gpasm -c -g -o main.o main.asm && gplink -c -m -o main.hex main.o", &tools), 0)
        << c.part << "\n" << tools;
    if (std::string(c.part) == "PIC16F877A") {
        // The set-up calls run to the end of main in the simulator.
        kiv::vynctest::TRunResult run;
        run.report = out.program;
        kiv::vynctest::RunInGpsim(folder, "main", 200000, &run);
        EXPECT_TRUE(run.finished) << run.messages;
        // Timer 0 on the internal clock divided by 8, timer 2 on at 1:4, PWM on CCP1.
        const auto ram = [&](int a) { return a < static_cast<int>(run.ram.size()) ? run.ram[static_cast<std::size_t>(a)] : -1; };
        EXPECT_EQ(ram(0x81) & 0x3F, 0x02);   // OPTION_REG
        EXPECT_EQ(ram(0x12), 0x05);          // T2CON
        EXPECT_EQ(ram(0x92), 250);           // PR2
        EXPECT_EQ(ram(0x17) & 0x0F, 0x0C);   // CCP1CON
        EXPECT_EQ(ram(0x1D) & 0x0F, 0x06);   // CCP2CON: every 4th rising edge
        EXPECT_EQ(ram(0x10), 0x31);          // T1CON
        EXPECT_EQ(ram(0x9D), 0xE7);          // CVRCON: on, low range, level 7, out on RA2
        EXPECT_EQ(ram(0x9F) & 0x0F, 0x04);   // ADCON1: AN0, AN1, AN3
        EXPECT_EQ(ram(0x1F) & 0xC1, 0x81);   // ADCON0: Fosc/32, on
        EXPECT_EQ(ram(0x0B) & 0xE0, 0xE0);   // INTCON: GIE, PEIE, T0IE
        EXPECT_EQ(ram(0x8C) & 0x01, 0x01);   // PIE1: TMR1IE
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, VyncWizard, ::testing::Range<std::size_t>(0, Cases().size()));

TEST(VyncDeviceHeaders, EveryFourteenBitPartHasOne)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    int headers = 0;
    for (const auto &entry : fs::directory_iterator(KIV_VYNC_DEVICES_DIR)) {
        if (entry.path().filename() != "vyncrt.h")
            ++headers;
    }
    EXPECT_GT(headers, 250);
    for (const char *name : {"16F877A.h", "16F628A.h", "16F88.h", "16F690.h", "16F1827.h", "12F675.h", "16F84A.h", "16F1938.h"})
        EXPECT_TRUE(fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / name)) << name;
    EXPECT_TRUE(fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / "vyncrt.h"));
}

TEST(VyncDeviceHeaders, PinsAndInterruptsOfTheSixteenF877A)
{
    kiv::vync::TTarget t;
    std::string error;
    if (!kiv::vync::LoadTarget("PIC16F877A", &t, &error))
        GTEST_SKIP() << error;
    const std::string h = kiv::vync::DeviceHeaderText(t);
    EXPECT_NE(h.find("#device PIC16F877A\n"), std::string::npos);
    EXPECT_NE(h.find("#define PIN_B0  48\n"), std::string::npos);   // PORTB 0x06 * 8
    EXPECT_NE(h.find("#define PIN_E2  74\n"), std::string::npos);   // PORTE 0x09 * 8 + 2
    EXPECT_EQ(h.find("PIN_E3"), std::string::npos);
    EXPECT_NE(h.find("#define GLOBAL  95\n"), std::string::npos);   // INTCON 0x0B, GIE bit 7
    EXPECT_NE(h.find("#define INT_EXT  0x005C\n"), std::string::npos);
    EXPECT_NE(h.find("#define INT_TIMER1  0x8460\n"), std::string::npos);   // PIE1 0x8C bit 0, peripheral
    EXPECT_NE(h.find("#byte TRISB = 0x086\n"), std::string::npos);
    EXPECT_EQ(h.find("#byte W ="), std::string::npos);
    // GPIO is port A on the eight-pin parts.
    ASSERT_TRUE(kiv::vync::LoadTarget("PIC12F675", &t, &error)) << error;
    EXPECT_NE(kiv::vync::DeviceHeaderText(t).find("#define PIN_A5  45\n"), std::string::npos);
}

}  // namespace

namespace {

// A program with the device header, built and run in gpsim to the end of main.
kiv::vynctest::TRunResult RunWithHeader(const std::string &source, long cycles = 2000000)
{
    TInstall install;
    const std::string folder = install.Folder() + "/program";
    fs::create_directories(folder);
    std::ofstream(folder + "/prog.c", std::ios::binary) << source;
    kiv::vync::TCompileOptions options;
    options.mainFile = folder + "/prog.c";
    options.installDir = install.Folder();
    const kiv::vync::TCompileOutcome out = kiv::vync::CompileC(options);
    kiv::vynctest::TRunResult run;
    for (const auto &m : out.messages.All())
        run.messages += kiv::vync::MessageLine(out.messages, m) + "\n";
    if (!out.ok)
        return run;
    run.compiled = true;
    run.report = out.program;
    std::ofstream(folder + "/prog.asm", std::ios::binary) << out.assembly;
    std::string tools;
    if (kiv::vynctest::Shell("cd '" + folder + "' && gpasm -c -g -o prog.o prog.asm && gplink -c -m -o prog.hex prog.o", &tools) != 0) {
        run.messages += tools;
        return run;
    }
    run.built = true;
    kiv::vynctest::RunInGpsim(folder, "prog", cycles, &run);
    return run;
}

TEST(VyncBuiltins, EepromWrittenIsReadBack)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    const auto r = RunWithHeader(R"(#include <16F877A.h>
int8 first, second, untouched;
void main() {
   write_eeprom(3, 0x5A);
   write_eeprom(200, 0xC3);
   first = read_eeprom(3);
   second = read_eeprom(200);
   write_eeprom(4, 0);
   untouched = read_eeprom(4);
}
)");
    ASSERT_TRUE(r.finished) << r.messages;
    std::int64_t v = 0;
    ASSERT_TRUE(r.Value("first", &v));
    EXPECT_EQ(v, 0x5A);
    ASSERT_TRUE(r.Value("second", &v));
    EXPECT_EQ(v, 0xC3);
    ASSERT_TRUE(r.Value("untouched", &v));
    EXPECT_EQ(v, 0);
}

TEST(VyncBuiltins, TimerZeroRunsItsInterruptFunction)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    for (const char *header : {"16F877A.h", "16F1825.h"}) {
        SCOPED_TRACE(header);
        const auto r = RunWithHeader(std::string("#include <") + header + R"(>
#use delay(clock=4000000)
int8 ticks;
int16 spins;
#int_rtcc
void tick_isr()
{
   ticks++;
}
void main()
{
   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_2);
   set_timer0(0);
   enable_interrupts(INT_RTCC);
   enable_interrupts(GLOBAL);
   while (ticks < 3)
      spins++;
   disable_interrupts(GLOBAL);
}
)");
        ASSERT_TRUE(r.finished) << r.messages;
        std::int64_t ticks = 0, spins = 0;
        ASSERT_TRUE(r.Value("ticks", &ticks));
        ASSERT_TRUE(r.Value("spins", &spins));
        EXPECT_EQ(ticks, 3);
        EXPECT_GT(spins, 10);
    }
}

TEST(VyncBuiltins, PinsAndPortsDriveTheirRegisters)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    const auto r = RunWithHeader(R"(#include <16F877A.h>
int8 trisb, portb, trisd, portd;
void main()
{
   set_tris_b(0xFF);
   output_high(PIN_B0);
   output_low(PIN_B1);
   output_toggle(PIN_B2);
   output_float(PIN_B7);
   output_d(0x3C);
   trisb = TRISB;
   portb = PORTB & 0x07;
   trisd = TRISD;
   portd = PORTD;
}
)");
    ASSERT_TRUE(r.finished) << r.messages;
    std::int64_t v = 0;
    ASSERT_TRUE(r.Value("trisb", &v));
    EXPECT_EQ(v, 0xF8);
    ASSERT_TRUE(r.Value("portb", &v));
    EXPECT_EQ(v, 0x05);
    ASSERT_TRUE(r.Value("trisd", &v));
    EXPECT_EQ(v, 0x00);
    ASSERT_TRUE(r.Value("portd", &v));
    EXPECT_EQ(v, 0x3C);
}

}  // namespace

namespace {

// The bytes a program writes to the serial port's transmit register, in gpsim (which
// simulates the port's timing: each byte waits for the register to empty).
std::string SentBytes(const std::string &source, std::string *messages)
{
    TInstall install;
    const std::string folder = install.Folder() + "/serial";
    fs::create_directories(folder);
    std::ofstream(folder + "/prog.c", std::ios::binary) << source;
    kiv::vync::TCompileOptions options;
    options.mainFile = folder + "/prog.c";
    options.installDir = install.Folder();
    const kiv::vync::TCompileOutcome out = kiv::vync::CompileC(options);
    for (const auto &m : out.messages.All())
        *messages += kiv::vync::MessageLine(out.messages, m) + "\n";
    if (!out.ok)
        return {};
    std::ofstream(folder + "/prog.asm", std::ios::binary) << out.assembly;
    std::string tools;
    if (kiv::vynctest::Shell("cd '" + folder + "' && gpasm -c -g -o prog.o prog.asm && gplink -c -m -o prog.hex prog.o", &tools) != 0) {
        *messages += tools;
        return {};
    }
    std::string end;
    {
        std::ifstream map(folder + "/prog.map");
        std::string line;
        while (std::getline(map, line)) {
            std::istringstream words(line);
            std::string name, address;
            words >> name >> address;
            if (name == "?end")
                end = address;
        }
    }
    std::ofstream script(folder + "/run.stc");
    script << "break w 0x19\nbreak e " << end << "\n";
    for (int i = 0; i < 80; ++i)
        script << "run\n";
    script << "quit\n";
    script.close();
    kiv::vynctest::Shell("cd '" + folder + "' && gpsim -i -S disable -s prog.cod -c run.stc", &tools);
    std::string sent;
    std::istringstream lines(tools);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t at = line.find("Wrote: 0x");
        if (at != std::string::npos && line.find(" to txreg") != std::string::npos)
            sent += static_cast<char>(std::stoi(line.substr(at + 9, 4), nullptr, 16));
    }
    return sent;
}

TEST(VyncBuiltins, PrintfSendsExactlyItsBytesThroughTheSerialPort)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    std::string messages;
    const std::string sent = SentBytes(R"(#include <16F877A.h>
#use delay(clock=20000000)
#use rs232(baud=115200,parity=N,xmit=PIN_C6,rcv=PIN_C7,bits=8)
int8 count = 200;
signed long level = -1234;
int16 word = 0xBEEF;
int8 name[4] = {'a', 'b', 'c', 0};
void main()
{
   printf("%u %ld\r\n", count, level);
   printf("[%5u|%03u|%x|%lX|%c|%s|%d%%]", 42, 7, 255, word, 'z', name, -5);
   puts("ok");
}
)",
                                        &messages);
    EXPECT_EQ(sent, "200 -1234\r\n[   42|007|ff|BEEF|z|abc|-5%]ok\r\n") << messages;
}

TEST(VyncBuiltins, PrintfWithoutTheSerialPortIsAnError)
{
    if (!Ready())
        GTEST_SKIP() << "the device headers were not generated (gputils missing)";
    std::string messages;
    SentBytes("#include <16F877A.h>\nvoid main()\n{\n   printf(\"x\");\n}\n", &messages);
    EXPECT_NE(messages.find("Line 4"), std::string::npos) << messages;
    EXPECT_NE(messages.find("#use rs232"), std::string::npos) << messages;
}

}  // namespace
