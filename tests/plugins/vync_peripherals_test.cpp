// The peripheral built-ins of the run-time library on real parts: programs compiled with the
// build's device headers, run in gpsim with voltages and signals on their pins.

#include "vync_headers.h"
#include "vync_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <iostream>
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
    const int resolution = part == "PIC16F1788" ? 12 : 10;
    EXPECT_EQ(Value(r, "value"), Expected(c.volts, resolution, c.bits)) << c.title;
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
    // A 12-bit converter: single-ended, the whole result; and its eight high bits.
    {"twelve bits", "PIC16F1788", "#device ADC=12", "sAN1", 1, "porta1", 3.01, 12, "ANSELA", 0x02},
    {"twelve bits read as eight", "PIC16F1788", "", "sAN1", 1, "porta1", 3.01, 8, "ANSELA", 0x02},
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

namespace {

// The level of one pin at each write to its port register, from gpsim's log of writes:
// (cycle, level) whenever the level changes.
std::vector<std::pair<long, int>> PinTrace(const std::string &log, const std::string &reg, int bit)
{
    // (cycle, value written); gpsim writes some values as "0x00??": the next write's "was" has it.
    std::vector<std::pair<long, int>> writes;
    long cycle = -1;
    std::size_t from = 0;
    while (from < log.size()) {
        std::size_t to = log.find('\n', from);
        if (to == std::string::npos)
            to = log.size();
        const std::string line = log.substr(from, to - from);
        from = to + 1;
        if (line.rfind("0x", 0) == 0 && line.size() > 18)
            cycle = std::stol(line.substr(2, 16), nullptr, 16);
        const std::size_t wrote = line.find("Wrote: 0x");
        if (wrote == std::string::npos || line.find(" to " + reg + "(") == std::string::npos)
            continue;
        const std::string text = line.substr(wrote + 9, 4);
        const std::size_t was = line.find(" was 0x");
        if (!writes.empty() && writes.back().second < 0 && was != std::string::npos)
            writes.back().second = std::stoi(line.substr(was + 7, 4), nullptr, 16);
        writes.emplace_back(cycle, text.find('?') == std::string::npos ? std::stoi(text, nullptr, 16) : -1);
    }
    std::vector<std::pair<long, int>> changes;
    int level = -1;
    for (const auto &[at, value] : writes) {
        if (value < 0)
            continue;
        const int now = (value >> bit) & 1;
        if (now != level)
            changes.emplace_back(at, now);
        level = now;
    }
    return changes;
}

// The bytes of an 8N1 line (idle high) and the worst distance, in instruction cycles, of any
// edge from its ideal place counted from its frame's start edge.
std::string DecodeFrames(const std::vector<std::pair<long, int>> &trace, double bitCycles, double *worst)
{
    std::string bytes;
    *worst = 0;
    std::size_t i = 0;
    const auto levelAt = [&](long cycle) {
        int level = 1;
        for (const auto &[c, l] : trace) {
            if (c > cycle)
                break;
            level = l;
        }
        return level;
    };
    while (i < trace.size()) {
        if (trace[i].second != 0) {
            ++i;
            continue;
        }
        const long start = trace[i].first;
        int value = 0;
        for (int b = 0; b < 8; ++b)
            value |= levelAt(start + static_cast<long>((1.5 + b) * bitCycles)) << b;
        EXPECT_EQ(levelAt(start + static_cast<long>(9.5 * bitCycles)), 1) << "stop bit of byte " << bytes.size();
        bytes += static_cast<char>(value);
        // Every edge of this frame, against the ideal one.
        std::size_t j = i + 1;
        for (; j < trace.size() && trace[j].first < start + static_cast<long>(9.5 * bitCycles); ++j) {
            const double place = (trace[j].first - start) / bitCycles;
            const double off = (place - std::round(place)) * bitCycles;
            *worst = std::max(*worst, std::fabs(off));
        }
        i = j;
    }
    return bytes;
}

// An asynchronous stimulus sending `bytes` (8N1, idle high) from cycle `first`, a frame every
// `gap` cycles.
std::string SerialStimulus(const std::string &pin, const std::string &bytes, double bitCycles, long first, long gap)
{
    std::string points;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const long start = first + static_cast<long>(n) * gap;
        const int frame = (static_cast<unsigned char>(bytes[n]) << 1) | 0x200;   // start 0, data, stop 1
        int last = 1;
        for (int b = 0; b < 10; ++b) {
            const int level = (frame >> b) & 1;
            if (level != last)
                points += (points.empty() ? "" : ",\n  ") + std::to_string(start + static_cast<long>(b * bitCycles)) + ", " +
                          std::to_string(level);
            last = level;
        }
    }
    return "stimulus asynchronous_stimulus\ninitial_state 1\nstart_cycle 0\nperiod 100000000\n{ " + points +
           " }\nname line\nend\nnode serial_in\nattach serial_in line " + pin + "\n";
}

struct TSoftSerialCase {
    const char *part;
    const char *clock;
    long baud;
    const char *xmit;
    const char *rcv;
    const char *outReg;   // gpsim's name of the register the pin is written through
    int bit;
    const char *inPin;    // gpsim's name of the receive pin
};

void PrintTo(const TSoftSerialCase &c, std::ostream *os) { *os << c.part << " " << c.clock << " Hz " << c.baud << " baud"; }

class VyncSoftSerial : public ::testing::TestWithParam<TSoftSerialCase> {};

// A port in software sends every bit edge within half an instruction cycle of its place, and
// receives what a line on its pin sends.
TEST_P(VyncSoftSerial, SendsAndReceivesOnItsPins)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TSoftSerialCase &c = GetParam();
    const std::string part = c.part;
    std::string lower = part;
    for (char &ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const double bitCycles = std::stod(c.clock) / 4.0 / static_cast<double>(c.baud);
    const std::string source = "#include <" + part.substr(3) + ".h>\n#use delay(clock=" + c.clock + ")\n"
                               "#use rs232(baud=" + std::to_string(c.baud) + ",parity=N,xmit=" + c.xmit + ",rcv=" + c.rcv + ",bits=8)\n"
                               "int8 first, second, waiting;\nint16 n = 1234;\n"
                               "void main()\n{\n   setup_adc_ports(NO_ANALOGS);\n#if defined(__REG_CMCON__) || defined(__REG_CMCON0__)\n"
                               "   setup_comparator(NC_NC_NC_NC);\n#endif\n   putc(0x55);\n   printf(\"n=%lu\\r\\n\", n);\n"
                               "   putc(0xA3);\n   waiting = kbhit();\n   first = getc();\n   second = getc();\n}\n";
    const std::string script = "log on trace.log\nlog w " + std::string(c.outReg) + "\n" +
                               SerialStimulus("p" + lower.substr(3) + "." + c.inPin, "K\xE6", bitCycles, static_cast<long>(bitCycles * 600),
                                              static_cast<long>(bitCycles * 13));
    const TRunResult r = kiv::vynctest::RunInstalled(source, 3000000, script);
    ASSERT_TRUE(r.finished) << r.messages << r.output.substr(0, 2000);
    EXPECT_EQ(Value(r, "waiting"), 0);
    EXPECT_EQ(Value(r, "first"), 'K');
    EXPECT_EQ(Value(r, "second"), 0xE6);
    double worst = 0;
    const std::string sent = DecodeFrames(PinTrace(r.trace, c.outReg, c.bit), bitCycles, &worst);
    EXPECT_EQ(sent, "\x55n=1234\r\n\xA3");
    EXPECT_LE(worst, 0.5 + 1e-9) << "instruction cycles off an edge's place (the help page states half a cycle)";
    std::cout << "[ TIMING   ] " << c.part << " " << c.baud << " baud: " << bitCycles << " cycles a bit, edges at most " << worst
              << " cycles off\n";
}

const TSoftSerialCase kSoftSerialCases[] = {
    {"PIC16F877A", "4000000", 9600, "PIN_B1", "PIN_B2", "portb", 1, "portb2"},
    {"PIC16F877A", "20000000", 115200, "PIN_D7", "PIN_C0", "portd", 7, "portc0"},
    {"PIC16F1823", "16000000", 19200, "PIN_A2", "PIN_C3", "lata", 2, "portc3"},
    {"PIC12F675", "4000000", 2400, "PIN_A2", "PIN_A1", "gpio", 2, "gpio1"},
};

INSTANTIATE_TEST_SUITE_P(Parts, VyncSoftSerial, ::testing::ValuesIn(kSoftSerialCases));

TEST(VyncSoftSerialPins, APinThePartDoesNotHaveIsAnError)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    struct TCase {
        const char *use;
        const char *message;
    } cases[] = {
        {"#use rs232(baud=9600,xmit=PIN_E5,rcv=PIN_C7)", "xmit=PIN_E5 is not a pin"},
        {"#use rs232(baud=9600,xmit=PIN_B1,rcv=PIN_H2)", "rcv=PIN_H2 is not a pin"},
        {"#use rs232(baud=9600,xmit=PIN_B1,rcv=1234)", "rcv= names pin 1234"},
    };
    for (const TCase &c : cases) {
        const TRunResult r = kiv::vynctest::RunInstalled(std::string("#include <16F877A.h>\n#use delay(clock=4000000)\n") + c.use +
                                                         "\nvoid main()\n{\n   putc('x');\n}\n");
        EXPECT_FALSE(r.compiled) << c.use;
        EXPECT_NE(r.messages.find("Line 3"), std::string::npos) << r.messages;
        EXPECT_NE(r.messages.find(c.message), std::string::npos) << r.messages;
    }
    // A part without a serial port needs the pins.
    const TRunResult r = kiv::vynctest::RunInstalled("#include <16F84A.h>\n#use delay(clock=4000000)\n#use rs232(baud=9600)\n"
                                                     "void main()\n{\n   putc('x');\n}\n");
    EXPECT_FALSE(r.compiled);
    EXPECT_NE(r.messages.find("has no serial port"), std::string::npos) << r.messages;
}

}  // namespace

namespace {

// The bus as the master drives it, from the writes to the TRIS register that holds both lines
// (1 released, 0 pulled low): "S" a start, "P" a stop, and for each nine clocks the byte the
// master put on the data line and its level at the ninth clock ("A0/1": 0xA0, then released).
std::string DecodeBus(const std::string &log, const std::string &reg, int sda, int scl)
{
    const auto sdaTrace = PinTrace(log, reg, sda);
    const auto sclTrace = PinTrace(log, reg, scl);
    std::vector<std::tuple<long, char, int>> events;   // cycle, line, level
    for (const auto &[c, l] : sdaTrace)
        events.emplace_back(c, 'd', l);
    for (const auto &[c, l] : sclTrace)
        events.emplace_back(c, 'c', l);
    std::stable_sort(events.begin(), events.end(), [](const auto &a, const auto &b) { return std::get<0>(a) < std::get<0>(b); });
    std::string out;
    int d = 1, c = 1, bits = 0, value = 0;
    for (const auto &[cycle, line, level] : events) {
        if (line == 'd') {
            if (c == 1 && d == 1 && level == 0) {
                out += " S";
                bits = value = 0;
            } else if (c == 1 && d == 0 && level == 1) {
                out += " P";
            }
            d = level;
        } else {
            if (c == 0 && level == 1) {
                if (bits < 8) {
                    value = (value << 1) | d;
                } else {
                    char text[16];
                    std::snprintf(text, sizeof text, " %02X/%d", value, d);
                    out += text;
                    bits = -1;
                    value = 0;
                }
                ++bits;
            }
            c = level;
        }
    }
    return out.empty() ? out : out.substr(1);
}

struct TI2cCase {
    const char *part;
    const char *clock;
    const char *options;   // after the pins in #use i2c
    bool hardware;         // the MSSP drives the bus (the TRIS trace shows nothing)
    const char *sda;
    const char *scl;
    const char *trisReg;
    int sdaBit;
    int sclBit;
    const char *sdaPin;
    const char *sclPin;
};

void PrintTo(const TI2cCase &c, std::ostream *os) { *os << c.part << " " << c.sda << " " << c.scl << c.options; }

class VyncI2c : public ::testing::TestWithParam<TI2cCase> {};

// A write to gpsim's 24xx256 EEPROM on the bus, then a read back; a device that is not there
// answers with no acknowledge. In software and on the MSSP module.
TEST_P(VyncI2c, WritesAndReadsAnEepromOnTheBus)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TI2cCase &c = GetParam();
    const std::string part = c.part;
    std::string gpsimName = "p" + part.substr(3);
    for (char &ch : gpsimName)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const std::string source = "#include <" + part.substr(3) + ".h>\n#use delay(clock=" + c.clock + ")\n" +
                               "#use i2c(Master,Slow,sda=" + c.sda + ",scl=" + c.scl + c.options + ")\n" + R"(
int8 ack1, ack2, ack3, ack4, ack5, nack, first, second;
void main()
{
   setup_adc_ports(NO_ANALOGS);
   i2c_start();
   ack1 = i2c_write(0xA0);
   ack2 = i2c_write(0x00);
   ack3 = i2c_write(0x10);
   i2c_write(0x5A);
   i2c_write(0xC3);
   i2c_stop();
   delay_ms(10);
   i2c_start();
   ack5 = i2c_write(0xA0);
   i2c_write(0x00);
   i2c_write(0x10);
   i2c_stop();
   i2c_start();
   ack4 = i2c_write(0xA1);
   first = i2c_read();
   second = i2c_read(0);
   i2c_stop();
   i2c_start();
   nack = i2c_write(0xA8);
   i2c_stop();
   i2c_start();
   i2c_write(0xA0);
   i2c_start();
   i2c_write(0xA8);
   i2c_stop();
}
)";
    const std::string script = "module library libgpsim_modules\nmodule load e24xx256 ee\nmodule load pullup pusda\nmodule load pullup puscl\n"
                               "node sda\nnode scl\nattach sda " + gpsimName + "." + c.sdaPin + " ee.SDA pusda.pin\n"
                               "attach scl " + gpsimName + "." + c.sclPin + " ee.SCL puscl.pin\n"
                               "log on trace.log\nlog w " + c.trisReg + "\n";
    const TRunResult r = kiv::vynctest::RunInstalled(source, 3000000, script);
    ASSERT_TRUE(r.finished) << r.messages << r.output.substr(0, 3000);
    EXPECT_EQ(Value(r, "ack1"), 0);
    EXPECT_EQ(Value(r, "ack2"), 0);
    EXPECT_EQ(Value(r, "ack3"), 0);
    EXPECT_EQ(Value(r, "ack5"), 0);
    EXPECT_EQ(Value(r, "ack4"), 0);
    // gpsim's MSSP leaves ACKSTAT at 0 when no device acknowledges (the bus in software reads
    // the 1 on the same bus), so only the software cases check the missing acknowledge.
    if (!c.hardware) {
        EXPECT_EQ(Value(r, "nack"), 1);
    }
    EXPECT_EQ(Value(r, "first"), 0x5A);
    EXPECT_EQ(Value(r, "second"), 0xC3);
    // Start, the bytes, the master releasing the data line for each acknowledge (and for the
    // bytes it reads), its own acknowledge after the first byte read and none after the last,
    // stop; and a repeated start (gpsim's EEPROM keeps the data line low after its acknowledge
    // until the next clock, so it misses a repeated start: the read above starts anew).
    if (c.hardware)
        return;
    EXPECT_EQ(DecodeBus(r.trace, c.trisReg, c.sdaBit, c.sclBit),
              "S A0/1 00/1 10/1 5A/1 C3/1 P S A0/1 00/1 10/1 P S A1/1 FF/0 FF/1 P S A8/1 P S A0/1 S A8/1 P");
}

const TI2cCase kI2cCases[] = {
    {"PIC16F877A", "4000000", ",force_sw", false, "PIN_C4", "PIN_C3", "trisc", 4, 3, "portc4", "portc3"},
    {"PIC16F877A", "20000000", "", false, "PIN_B1", "PIN_B2", "trisb", 1, 2, "portb1", "portb2"},
    {"PIC16F1823", "16000000", ",force_sw", false, "PIN_C1", "PIN_C0", "trisc", 1, 0, "portc1", "portc0"},
    // The MSSP on its pins.
    {"PIC16F877A", "4000000", "", true, "PIN_C4", "PIN_C3", "trisc", 4, 3, "portc4", "portc3"},
    {"PIC16F1823", "16000000", ",force_hw", true, "PIN_C1", "PIN_C0", "trisc", 1, 0, "portc1", "portc0"},
};

INSTANTIATE_TEST_SUITE_P(Parts, VyncI2c, ::testing::ValuesIn(kI2cCases));

TEST(VyncI2cUse, PinsAreCheckedAndTheBusMustBeDescribedFirst)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    TRunResult r = kiv::vynctest::RunInstalled("#include <16F877A.h>\n#use delay(clock=4000000)\n#use i2c(Master,sda=PIN_E6,scl=PIN_C3)\n"
                                               "void main()\n{\n   i2c_start();\n}\n");
    EXPECT_FALSE(r.compiled);
    EXPECT_NE(r.messages.find("Line 3"), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("sda=PIN_E6 is not a pin"), std::string::npos) << r.messages;
    r = kiv::vynctest::RunInstalled("#include <16F877A.h>\nvoid main()\n{\n   i2c_start();\n}\n");
    EXPECT_FALSE(r.compiled);
    EXPECT_NE(r.messages.find("Line 4"), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("#use i2c"), std::string::npos) << r.messages;
}

}  // namespace

namespace {

struct TLcdCase {
    const char *part;
    const char *call;   // as the wizard writes it
    int lcdcon;
    int lcdps;
    std::vector<int> segments;   // LCDSE0, LCDSE1, ...
};

void PrintTo(const TLcdCase &c, std::ostream *os) { *os << c.part << " " << c.call; }

class VyncLcd : public ::testing::TestWithParam<TLcdCase> {};

// The wizard's setup_lcd lines set the LCD driver's registers: read back in gpsim.
TEST_P(VyncLcd, TheWizardsCallSetsTheDriversRegisters)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    const TLcdCase &c = GetParam();
    const std::string part = c.part;
    std::string reads = "   lcdcon = LCDCON;\n   lcdps = LCDPS & 0x4F;\n";
    for (std::size_t i = 0; i < c.segments.size(); ++i)
        reads += "   se[" + std::to_string(i) + "] = LCDSE" + std::to_string(i) + ";\n";
    const std::string source = "#include <" + part.substr(3) + ".h>\n#use delay(clock=8000000)\nint8 lcdcon, lcdps, se[6];\n"
                               "void main()\n{\n" + c.call + "\n" + reads + "}\n";
    const TRunResult r = kiv::vynctest::RunInstalled(source, 100000);
    ASSERT_TRUE(r.finished) << r.messages << r.output.substr(0, 2000);
    EXPECT_EQ(Value(r, "lcdcon"), c.lcdcon);
    EXPECT_EQ(Value(r, "lcdps"), c.lcdps);
    for (std::size_t i = 0; i < c.segments.size(); ++i) {
        const auto &v = r.report.variables;
        const auto se = std::find_if(v.begin(), v.end(), [](const auto &x) { return x.name == "se"; });
        ASSERT_NE(se, v.end());
        EXPECT_EQ(r.ram[static_cast<std::size_t>(se->address) + i], c.segments[i]) << "LCDSE" << i;
    }
}

const TLcdCase kLcdCases[] = {
    // 1:3 commons with the bias pins (VLCDEN), stop in sleep, timer 1's oscillator; prescale 3.
    {"PIC16F917", "   setup_lcd(LCD_MUX13| STOP_ON_SLEEP| USE_TIMER1,3,SEG0_4|SEG5_8|SEG12_15);", 0xD6, 0x03, {0xFF, 0xF1, 0x00}},
    {"PIC16F917", "   setup_lcd(LCD_STATIC,15,SEG16_19|SEG20_26);", 0x80, 0x0F, {0x00, 0x00, 0xFF}},
    {"PIC16F917", "   setup_lcd(LCD_MUX14,0);", 0x93, 0x00, {0x00, 0x00, 0x00}},
    {"PIC16F917", "   setup_lcd(LCD_DISABLED);", 0x00, 0x00, {0x00, 0x00, 0x00}},
    {"PIC16F914", "   setup_lcd(LCD_MUX12,7,ALL_LCD_PINS);", 0x91, 0x07, {0xFF, 0xFF, 0xFF}},
};

INSTANTIATE_TEST_SUITE_P(Parts, VyncLcd, ::testing::ValuesIn(kLcdCases));

TEST(VyncLcdParts, PartsWithoutTheModuleSayWhy)
{
    if (!kiv::vynctest::InstallationReady())
        GTEST_SKIP() << "the device headers or devices.dat were not generated (gputils missing)";
    // Compiles for the 64-pin parts with 42 segments (LCDSE0 .. LCDSE5) on both cores.
    for (const char *header : {"16F946.h", "16F1946.h"}) {
        const TRunResult r = kiv::vynctest::RunInstalled(std::string("#include <") + header +
                                                         ">\nvoid main()\n{\n   setup_lcd(LCD_MUX14| STOP_ON_SLEEP,2,ALL_LCD_PINS);\n}\n");
        EXPECT_TRUE(r.compiled) << header << "\n" << r.messages;
    }
    const TRunResult r = kiv::vynctest::RunInstalled("#include <16F877A.h>\nvoid main()\n{\n   setup_lcd(LCD_DISABLED);\n}\n");
    EXPECT_FALSE(r.compiled);
    EXPECT_NE(r.messages.find("Line 4"), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("LCD driver module"), std::string::npos) << r.messages;
}

}  // namespace
