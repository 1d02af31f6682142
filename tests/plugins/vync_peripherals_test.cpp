// The peripheral built-ins of the run-time library on real parts: programs compiled with the
// build's device headers, run in gpsim with voltages and signals on their pins.

#include "vync_headers.h"
#include "vync_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using kiv::vynctest::TRunResult;

namespace {

// A constant voltage on a pin of the part, from the start of the run.
std::string Voltage(const std::string &part, const std::string &pin, double volts)
{
    const std::string v = std::to_string(volts);
    return "stimulus asynchronous_stimulus\ninitial_state " + v + "\nstart_cycle 0\nperiod 1000000\nanalog\n{ 10, " + v +
           ",\n  20, " + v + " }\nname anvolts\nend\nnode anin\nattach anin anvolts " + part + "." + pin + "\n";
}

std::int64_t Value(const TRunResult &r, const std::string &name)
{
    std::int64_t v = -1;
    EXPECT_TRUE(r.Value(name, &v)) << "no variable " << name;
    return v;
}

struct TAdcCase {
    const char *title;
    const char *part;          // the header, and gpsim's processor name
    const char *device;        // #device line after the header ("" for none)
    const char *ports;         // argument of setup_adc_ports
    int channel;
    const char *pin;           // gpsim's name of the channel's pin
    double volts;
    int bits;                  // the width read_adc gives
    const char *selectReg;     // analog select register to check ("" for none)
    int selectValue;
};

// gpsim converts the fraction of the 5 V reference to the nearest step of the converter.
long Expected(double volts, int resolution, int bits)
{
    const long full = std::lround(volts / 5.0 * ((1 << resolution) - 1));
    if (bits == 8)
        return full >> (resolution - 8);
    if (bits == 16)
        return full << (16 - resolution);
    return full;
}

void PrintTo(const TAdcCase &c, std::ostream *os) { *os << c.part << " " << c.title; }

class VyncAdc : public ::testing::TestWithParam<TAdcCase> {};

TEST_P(VyncAdc, ReadReturnsTheVoltageOnThePin)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TAdcCase &c = GetParam();
    const std::string part = c.part;
    const std::string header = part.substr(3) + ".h";
    const std::string select = c.selectReg;
    const std::string source = "#include <" + header + ">\n" + c.device + "\n#use delay(clock=4000000)\n"
                               "int16 value;\nint8 sel;\nvoid main()\n{\n"
                               "   setup_adc_ports(" + c.ports + ");\n   setup_adc(ADC_CLOCK_DIV_8);\n"
                               "   set_adc_channel(" + std::to_string(c.channel) + ");\n   delay_us(50);\n"
                               "   value = read_adc();\n" +
                               (select.empty() ? "" : "   sel = " + select + ";\n") + "}\n";
    std::string lower = part;
    for (char &ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const TRunResult r = kiv::vynctest::RunInstalled(source, 200000, Voltage("p" + lower.substr(3), c.pin, c.volts));
    ASSERT_TRUE(r.finished) << c.title << "\n" << r.messages;
    ASSERT_EQ(r.output.find("rror"), std::string::npos) << r.output.substr(0, 3000);
    EXPECT_EQ(Value(r, "value"), Expected(c.volts, 10, c.bits)) << c.title;
    if (!select.empty()) {
        EXPECT_EQ(Value(r, "sel"), c.selectValue) << c.title << ": " << select;
    }
}

// Voltages away from a step of the converter, so that its rounding does not matter.
const TAdcCase kAdcCases[] = {
    {"ten bits", "PIC16F877A", "#device ADC=10", "ALL_ANALOG", 0, "porta0", 3.01, 10, "", 0},
    {"eight bits by default", "PIC16F877A", "", "ALL_ANALOG", 0, "porta0", 3.01, 8, "", 0},
    {"eight bits asked for", "PIC16F877A", "#device adc=8", "AN0_AN1_AN3", 1, "porta1", 1.23, 8, "", 0},
    {"sixteen bits", "PIC16F877A", "#device ADC=16", "ALL_ANALOG", 5, "porte0", 4.51, 16, "", 0},
    // Select bits named for their channel: AN5 is RB6 on the 16F88, AN10 is RB4 on the 16F690.
    {"ANSEL by channel", "PIC16F88", "#device ADC=10", "sAN5", 5, "portb6", 2.01, 10, "ANSEL", 0x20},
    {"ANSELH by channel", "PIC16F690", "#device ADC=10", "sAN10|sAN0", 10, "portb4", 0.77, 10, "ANSELH", 0x04},
    // GPIO parts: AN3 is GP4, its select bit is ANS3 (ANSEL also holds the clock: Fosc/8 is 001).
    {"GPIO channel 3", "PIC12F675", "#device ADC=10", "sAN3", 3, "gpio4", 1.51, 10, "ANSEL", 0x18},
    // Select bits named for their pin: AN3 is RA4 (ANSELA bit 4), AN5 is RC1 (ANSELC bit 1).
    {"ANSELA by pin", "PIC16F1823", "#device ADC=10", "sAN3", 3, "porta4", 1.26, 10, "ANSELA", 0x10},
    {"ANSELC by pin", "PIC16F1823", "#device ADC=10", "sAN5|sAN0", 5, "portc1", 3.99, 10, "ANSELC", 0x02},
    {"ANSELC from the 14-pin pin-out", "PIC16F1503", "#device ADC=10", "sAN6", 6, "portc2", 2.33, 10, "ANSELC", 0x04},
};

INSTANTIATE_TEST_SUITE_P(Parts, VyncAdc, ::testing::ValuesIn(kAdcCases));

TEST(VyncAdcHeaders, SelectBitsFollowTheChannelsPins)
{
    kiv::vync::TTarget t;
    std::string error;
    if (!kiv::vync::LoadTarget("PIC16F1827", &t, &error))
        GTEST_SKIP() << error;
    // The 18-pin part: AN5 on RB6, AN6 on RB7, AN11 on RB1; RB0 has no channel.
    const std::string h = kiv::vync::DeviceHeaderText(t);
    EXPECT_NE(h.find(" AN4=ANSELA.4 AN5=ANSELB.6 AN6=ANSELB.7 AN7=ANSELB.5 AN8=ANSELB.4 AN9=ANSELB.3 AN10=ANSELB.2 AN11=ANSELB.1\n"),
              std::string::npos)
        << h;
    EXPECT_NE(h.find("enum { __ADC_RESOLUTION = 10 };"), std::string::npos);
    // A part whose select bits are its channels keeps them in order.
    ASSERT_TRUE(kiv::vync::LoadTarget("PIC16F887", &t, &error)) << error;
    const auto select = kiv::vync::AnalogSelectBits(t);
    ASSERT_EQ(select.size(), 14u);
    EXPECT_EQ(select[9].channel, 9);
    EXPECT_EQ(select[9].reg, "ANSELH");
    EXPECT_EQ(select[9].bit, 1);
    // A converter with one result register gives 8 bits; the classic parts have no select bits.
    ASSERT_TRUE(kiv::vync::LoadTarget("PIC16F73", &t, &error)) << error;
    EXPECT_NE(kiv::vync::DeviceHeaderText(t).find("__ADC_RESOLUTION = 8 "), std::string::npos);
    ASSERT_TRUE(kiv::vync::LoadTarget("PIC16F877A", &t, &error)) << error;
    EXPECT_TRUE(kiv::vync::AnalogSelectBits(t).empty());
}

TEST(VyncAdcBits, AWidthTheConverterDoesNotHaveIsAnErrorOnItsLine)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TRunResult r = kiv::vynctest::RunInstalled("#include <16F877A.h>\n#device ADC=12\nint16 v;\nvoid main()\n{\n   v = read_adc();\n}\n");
    EXPECT_FALSE(r.compiled);
    EXPECT_NE(r.messages.find("Line 2"), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("gives 10 bits"), std::string::npos) << r.messages;
}

}  // namespace
