// What the generator makes of a device's A/D converter, on small headers written here, and the
// option file it writes read back through the wizard's reader.

#include "adcmap.h"
#include "gputilsdata.h"

#include "cupadc.h"
#include "pc_chipr.h"

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::devgen;

namespace {

// A header text: registers, then "REG Bits" sections of "NAME=bit" pairs.
TIncHeader Header(const QStringList &registers, const QList<QPair<QString, QStringList>> &bits)
{
    QString text = ";----- Register Files -----------------------------------------------------\n";
    int address = 0x10;
    for (const QString &r : registers)
        text += QStringLiteral("%1 EQU H'%2'\n").arg(r.leftJustified(16)).arg(address++, 4, 16, QLatin1Char('0'));
    for (const auto &section : bits) {
        text += QStringLiteral(";----- %1 Bits -----------------------------------------------------\n").arg(section.first);
        for (const QString &b : section.second)
            text += QStringLiteral("%1 EQU H'%2'\n").arg(b.section('=', 0, 0).leftJustified(16)).arg(b.section('=', 1).toInt(), 4, 16, QLatin1Char('0'));
    }
    return ParseIncHeader(text);
}

DeviceRecord Ports(const QString &name, uint8_t kind, std::initializer_list<QPair<char, uint8_t>> ports)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    for (const auto &p : ports)
        r.setPortMask(p.first, p.second);
    return r;
}

QStringList Identifiers(const QList<TAnalogOption> &options)
{
    QStringList ids;
    for (const TAnalogOption &o : options)
        ids << o.identifier;
    return ids;
}

// The options a device gets once its description went through the option file.
TAnalogOptions RoundTrip(DeviceRecord record, const TAdcDescription &adc)
{
    TAnalogFileBuilder builder;
    builder.AddDevice(record, adc);
    record.setAdcChannels(uint8_t(adc.Channels()));
    const QStringList lines = QString::fromLatin1(builder.Text()).split(QStringLiteral("\r\n"));
    QStringList collected;
    for (const QString &key : AnalogSectionKeys(record))
        collected << AnalogSectionLines(lines, key, record);
    return ParseAnalogOptions(collected);
}

const QStringList kAdcon0Legacy{"ADON=0", "GO=2", "CHS0=3", "CHS1=4", "CHS2=5", "ADCS0=6", "ADCS1=7"};

}  // namespace

TEST(AdcMapTest, PortChoiceNames)
{
    const QList<int> all{0, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(PortChoiceName({}, all, false, false), "NO_ANALOGS");
    EXPECT_EQ(PortChoiceName(all, all, false, false), "ALL_ANALOG");
    EXPECT_EQ(PortChoiceName({0, 1, 3}, all, false, false), "AN0_AN1_AN3");
    EXPECT_EQ(PortChoiceName({0, 1}, all, true, false), "AN0_AN1_VSS_VREF");
    EXPECT_EQ(PortChoiceName({0, 1}, all, true, true), "AN0_AN1_VREF_VREF");
    // Past 32 characters runs of three or more are written as ranges.
    EXPECT_EQ(PortChoiceName({0, 1, 2, 4, 5, 6, 7}, all, true, false), "AN0_TO_AN2_AN4_TO_AN7_VSS_VREF");
    EXPECT_EQ(PortChoiceName({0, 1, 4, 5, 6, 7}, all, true, true), "AN0_AN1_AN4_TO_AN7_VREF_VREF");
}

TEST(AdcMapTest, NoConverterNoChannels)
{
    const TAdcDescription adc = DescribeAdc(Header({"PORTA", "PORTB"}, {}), Ports("PIC16F84A", dkPic14, {{'A', 0x1F}}));
    EXPECT_EQ(adc.Channels(), 0);
    DeviceRecord r = Ports("PIC16F84A", dkPic14, {{'A', 0x1F}});
    TAnalogFileBuilder builder;
    builder.AddDevice(r, adc);
    EXPECT_EQ(r.adcVariant(), 0);
    EXPECT_EQ(builder.DevicesWithOptions(), 0);
}

TEST(AdcMapTest, ConfigurationTableOfThe877AFamily)
{
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ADRESH", "ADRESL"},
                                {{"ADCON0", kAdcon0Legacy}, {"ADCON1", {"PCFG0=0", "PCFG1=1", "PCFG2=2", "PCFG3=3", "ADCS2=6", "ADFM=7"}}});
    const DeviceRecord big = Ports("PIC16F877A", dkPic14, {{'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}, {'D', 0xFF}, {'E', 0x07}});
    const TAdcDescription adc = DescribeAdc(h, big);
    EXPECT_EQ(adc.Channels(), 8);
    EXPECT_EQ(adc.pins.value(4), "A5");
    EXPECT_EQ(adc.pins.value(7), "E2");
    EXPECT_EQ(adc.bits, 10);
    EXPECT_EQ(AdcClockTable().value(adc.clockEntry), "C1:6,C0:6-7");
    EXPECT_EQ(AdcChannelTable().value(adc.channelEntry), "C1:0-3_AE");

    const TAnalogOptions o = RoundTrip(big, adc);
    EXPECT_EQ(Identifiers(o.clocks), (QStringList{"ADC_OFF", "ADC_CLOCK_DIV_2", "ADC_CLOCK_DIV_4", "ADC_CLOCK_DIV_8",
                                                  "ADC_CLOCK_DIV_16", "ADC_CLOCK_DIV_32", "ADC_CLOCK_DIV_64",
                                                  "ADC_CLOCK_INTERNAL"}));
    EXPECT_EQ(o.selectedClock, 7);
    ASSERT_EQ(o.ports.size(), 15);
    EXPECT_EQ(o.ports[0], (TAnalogOption{"NO_ANALOGS", " None"}));
    EXPECT_EQ(o.ports[1], (TAnalogOption{"ALL_ANALOG", " A0 A1 A2 A3 A5 E0 E1 E2"}));
    EXPECT_EQ(o.ports[7], (TAnalogOption{"AN0_AN1_AN4_TO_AN7_VREF_VREF", " A0 A1 A5 E0 E1 E2 Vrefh=A3 Vrefl=A2"}));
    EXPECT_EQ(o.checkOptionCount, 0);
    EXPECT_TRUE(o.ranges.isEmpty());

    // The 28-pin part has no port E: rows that differ only there are offered once.
    const DeviceRecord small = Ports("PIC16F876A", dkPic14, {{'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}});
    const TAnalogOptions s = RoundTrip(small, DescribeAdc(h, small));
    EXPECT_EQ(Identifiers(s.ports), (QStringList{"NO_ANALOGS", "ALL_ANALOG", "AN0_AN1_AN2_AN4_VSS_VREF", "AN0_AN1_AN3",
                                                 "AN0_AN1_VSS_VREF", "AN0_AN1_AN4_VREF_VREF", "AN0_AN1_VREF_VREF", "AN0",
                                                 "AN0_VREF_VREF"}));
}

TEST(AdcMapTest, AnUnknownConfigurationTableOffersAllOrNothing)
{
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ADRESH"},
                                {{"ADCON0", kAdcon0Legacy}, {"ADCON1", {"PCFG0=0", "PCFG1=1", "PCFG2=2", "PCFG3=3", "ADCS2=6"}}});
    const DeviceRecord r = Ports("PIC16F819", dkPic14, {{'A', 0xFF}, {'B', 0xFF}});
    const TAdcDescription adc = DescribeAdc(h, r);
    EXPECT_EQ(adc.Channels(), 5);
    EXPECT_EQ(adc.pins.value(4), "A4");
    EXPECT_EQ(Identifiers(RoundTrip(r, adc).ports), (QStringList{"NO_ANALOGS", "ALL_ANALOG"}));
}

TEST(AdcMapTest, ChannelSelectBitsBecomeCheckBoxesWithReferenceRanges)
{
    // A 16F88x-like part: ANSEL/ANSELH per channel, VCFG1:VCFG0 in ADCON1; no channel names in
    // the header, so the 40-pin map gives the pins.
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ANSEL", "ANSELH", "ADRESH", "ADRESL"},
                                {{"ADCON0", kAdcon0Legacy},
                                 {"ADCON1", {"VCFG0=4", "VCFG1=5", "ADFM=7"}},
                                 {"ANSEL", {"ANS0=0", "ANS1=1", "ANS2=2", "ANS3=3", "ANS4=4", "ANS5=5", "ANS6=6", "ANS7=7"}},
                                 {"ANSELH", {"ANS8=0", "ANS9=1", "ANS10=2", "ANS11=3", "ANS12=4", "ANS13=5"}}});
    const DeviceRecord r = Ports("PIC16F887", dkPic14, {{'A', 0xFF}, {'B', 0xFF}, {'C', 0xFF}, {'D', 0xFF}, {'E', 0x0F}});
    const TAdcDescription adc = DescribeAdc(h, r);
    EXPECT_EQ(adc.Channels(), 14);
    EXPECT_EQ(adc.pins.value(12), "B0");
    const TAnalogOptions o = RoundTrip(r, adc);
    EXPECT_EQ(o.checkOptionCount, 14);
    EXPECT_EQ(o.checkCaptions.value(8), "B2 (AN8)");
    EXPECT_EQ(o.ports.value(8), (TAnalogOption{"sAN8", "| B2 (AN8)"}));
    EXPECT_EQ(Identifiers(o.ranges), (QStringList{"VSS_VDD", "VSS_VREF", "VREF_VDD", "VREF_VREF"}));
    EXPECT_EQ(o.ranges[0].text, "Range 0 to Vdd");
}

TEST(AdcMapTest, PinSelectBitsCountOnlyConverterChannels)
{
    // A 16F1937-like part: ANSELx bits per pin, touch sensing on port D, 3 clock bits in ADCON1.
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ANSELA", "ANSELB", "ANSELD", "ANSELE", "ADRESH", "CPSCON0"},
                                {{"ADCON0", {"ADON=0", "CHS0=2", "CHS1=3", "CHS2=4", "CHS3=5", "CHS4=6"}},
                                 {"ADCON1", {"ADPREF0=0", "ADPREF1=1", "ADCS0=4", "ADCS1=5", "ADCS2=6"}},
                                 {"ANSELA", {"ANSA0=0", "ANSA1=1", "ANSA2=2", "ANSA3=3", "ANSA4=4", "ANSA5=5"}},
                                 {"ANSELB", {"ANSB0=0", "ANSB1=1", "ANSB2=2", "ANSB3=3", "ANSB4=4", "ANSB5=5"}},
                                 {"ANSELD", {"ANSD0=0", "ANSD1=1", "ANSD2=2", "ANSD3=3", "ANSD4=4", "ANSD5=5", "ANSD6=6", "ANSD7=7"}},
                                 {"ANSELE", {"ANSE0=0", "ANSE1=1", "ANSE2=2"}}});
    const DeviceRecord r = Ports("PIC16F1937", dkPic14, {{'A', 0xFF}, {'B', 0xFF}, {'C', 0xFF}, {'D', 0xFF}, {'E', 0x0F}});
    const TAdcDescription adc = DescribeAdc(h, r);
    EXPECT_EQ(adc.Channels(), 14);   // A4 and port D are touch inputs only
    EXPECT_EQ(adc.pins.value(13), "B5");
    EXPECT_EQ(AdcClockTable().value(adc.clockEntry), "C1:4-6");
    const TAnalogOptions o = RoundTrip(r, adc);
    EXPECT_EQ(o.checkOptionCount, 14);
    EXPECT_EQ(Identifiers(o.ranges), (QStringList{"VSS_VDD", "VSS_VREF", "VSS_FVR"}));
}

TEST(AdcMapTest, ProgressiveConfigurationOfPic18AndItsAcquisitionTimes)
{
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ADCON2", "ADRESH", "PORTA", "PORTB", "PORTE"},
                                {{"ADCON0", {"ADON=0", "CHS0=2", "CHS1=3", "CHS2=4", "CHS3=5"}},
                                 {"ADCON1", {"PCFG0=0", "PCFG1=1", "PCFG2=2", "PCFG3=3", "VCFG0=4", "VCFG1=5"}},
                                 {"ADCON2", {"ADCS0=0", "ADCS1=1", "ADCS2=2", "ACQT0=3", "ACQT1=4", "ACQT2=5", "ADFM=7"}},
                                 {"PORTA", {"RA0=0", "AN0=0", "AN1=1", "AN2=2", "AN3=3", "AN4=5"}},
                                 {"PORTB", {"AN12=0", "AN10=1", "AN8=2", "AN9=3", "AN11=4"}}});
    const DeviceRecord r = Ports("PIC18F2520", dkPic18, {{'A', 0xFF}, {'B', 0xFF}, {'C', 0xFF}, {'E', 0x08}});
    const TAdcDescription adc = DescribeAdc(h, r);
    EXPECT_EQ(adc.Channels(), 10);
    EXPECT_EQ(AdcClockTable().value(adc.clockEntry), "C2:0-5");
    EXPECT_EQ(AdcChannelTable().value(adc.channelEntry), "C1:0-5_ABE");
    const TAnalogOptions o = RoundTrip(r, adc);
    EXPECT_EQ(Identifiers(o.acquisitions).value(0), "ADC_TAD_MUL_0");
    EXPECT_EQ(o.acquisitions.value(0).text, "No acquisition delay");
    EXPECT_EQ(o.acquisitions.size(), 8);
    EXPECT_EQ(Identifiers(o.ports), (QStringList{"NO_ANALOGS", "ALL_ANALOG", "AN0_TO_AN11", "AN0_TO_AN10", "AN0_TO_AN9",
                                                 "AN0_TO_AN8", "AN0_TO_AN4", "AN0_TO_AN3", "AN0_TO_AN2", "AN0_TO_AN1", "AN0"}));
    EXPECT_EQ(o.ports[2].text, " A0 A1 A2 A3 A5 B2 B3 B1 B4");
    EXPECT_EQ(o.ranges.size(), 4);
}

TEST(AdcMapTest, VariantsAreSharedByEqualDevicesAndKeepDevicesApart)
{
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ADRESH"},
                                {{"ADCON0", kAdcon0Legacy}, {"ADCON1", {"PCFG0=0", "PCFG1=1", "PCFG2=2", "PCFG3=3", "ADCS2=6"}}});
    DeviceRecord a = Ports("PIC16F877A", dkPic14, {{'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}, {'E', 0x07}});
    DeviceRecord b = Ports("PIC16F874A", dkPic14, {{'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}, {'E', 0x07}});
    DeviceRecord c = Ports("PIC16F876A", dkPic14, {{'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}});
    TAnalogFileBuilder builder;
    builder.AddDevice(a, DescribeAdc(h, a));
    builder.AddDevice(b, DescribeAdc(h, b));
    builder.AddDevice(c, DescribeAdc(h, c));
    EXPECT_EQ(a.adcVariant(), b.adcVariant());
    EXPECT_NE(a.adcVariant(), c.adcVariant());
    EXPECT_EQ(builder.Variants(), 2);
    EXPECT_EQ(builder.DevicesWithOptions(), 3);
    const QByteArray text = builder.Text();
    EXPECT_TRUE(text.contains("\r\n//!ADCCLKC1:6,C0:6-7\r\n"));
    EXPECT_TRUE(text.contains("\r\n//!ADCCHC1:0-3_AE\r\n"));
    EXPECT_TRUE(text.endsWith("//!ADCS\r\n"));
    EXPECT_EQ(text.count("//!ADCCLKC1:6,C0:6-7"), 1);
}

TEST(AdcMapTest, Fingerprints)
{
    const TIncHeader h = Header({"ADCON0", "ADCON1", "ANSEL"},
                                {{"ADCON0", kAdcon0Legacy}, {"ADCON1", {"ADCS2=6"}}, {"ANSEL", {"ANS0=0", "ANS3=3"}}});
    EXPECT_EQ(AdcBitFingerprint(h, "^ADCS\\d$"), "C0:6-7,C1:6");
    EXPECT_EQ(AdcBitFingerprint(h, "^ANS\\d$"), "S:0-3");
    EXPECT_EQ(AdcBitFingerprint(h, "^NONE$"), "");
}
