// The analog option reader on small option files written here.

#include "cupadc.h"

#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

DeviceRecord AdcDevice(uint8_t kind, uint8_t channels, uint16_t variant = 0, uint8_t clock = 0, uint8_t channel = 0)
{
    DeviceRecord r;
    r.setName(QStringLiteral("PIC16F877A"));
    r.setKind(kind);
    r.setAdcChannels(channels);
    r.setAdcVariant(variant);
    r.setAdcClockOption(clock);
    r.setAdcChannelOption(channel);
    return r;
}

QStringList Identifiers(const QList<TAnalogOption> &options)
{
    QStringList ids;
    for (const TAnalogOption &o : options)
        ids << o.identifier;
    return ids;
}

QStringList Texts(const QList<TAnalogOption> &options)
{
    QStringList texts;
    for (const TAnalogOption &o : options)
        texts << o.text;
    return texts;
}

}  // namespace

TEST(AnalogTablesTest, EntriesAsTheSectionKeysUseThem)
{
    EXPECT_EQ(AdcClockTable().size(), 11);
    EXPECT_EQ(AdcClockTable()[0], "n/a");
    EXPECT_EQ(AdcClockTable()[2], "C1:6,C0:6-7");
    EXPECT_EQ(AdcClockTable()[10], "C0:2-5,C2:0-6,C3:0-7");
    EXPECT_EQ(AdcChannelTable().size(), 18);
    EXPECT_EQ(AdcChannelTable()[10], "C1:0-3_AE");
    EXPECT_EQ(AdcChannelTable()[17], "S:0-7,S1:0-3,C0:6");

    EXPECT_TRUE(AnalogSectionKeys(AdcDevice(dkPic14, 0, 0, 2, 10)).isEmpty());
    EXPECT_EQ(AnalogSectionKeys(AdcDevice(dkPic14, 8, 0, 2, 10)),
              (QStringList{"ADCCLKC1:6,C0:6-7", "ADCCHC1:0-3_AE", "ADCS"}));
    EXPECT_EQ(AnalogSectionKeys(AdcDevice(dkPic14, 8, 0, 0, 0)), QStringList{"ADCS"});
    // An option past the end of its table names no section.
    EXPECT_EQ(AnalogSectionKeys(AdcDevice(dkPic14, 8, 0, 11, 18)), QStringList{"ADCS"});
}

// Every kind of condition, on a kind 1 device with 8 channels and variant 5 and on a kind 3
// device with 13 channels and variant 7.
TEST(AnalogConditionsTest, EachConditionHoldsAndIsRemoved)
{
    const DeviceRecord mid = AdcDevice(dkPic14, 8, 5);
    const DeviceRecord pic18 = AdcDevice(dkPic18, 13, 7);
    struct TCase {
        const char *line;
        bool midHolds;
        bool pic18Holds;
        const char *left;   // the line once its conditions are removed
    } cases[] = {
        {"\\\\18#define A", false, true, "#define A"},
        {"\\\\!18#define A", true, false, "#define A"},
        {"#define A \\\\>08 // x", false, true, "#define A  // x"},
        {"#define A \\\\>7 // x", true, true, "#define A // x"},
        {"#define A \\\\>8 // x", false, true, "#define A // x"},
        {"\\\\<09#define A", true, false, "#define A"},
        {"\\\\<8 #define A", false, false, "#define A"},
        {"\\\\(1,5,9)#define A", true, false, "#define A"},
        {"\\\\(7)#define A", false, true, "#define A"},
        {"\\\\!(5)#define A", false, true, "#define A"},
        {"\\\\!(1, 2)#define A", true, true, "#define A"},
        {"\\\\18\\\\(7)#define A", false, true, "#define A"},
        {"\\\\!18\\\\>04#define A", true, false, "#define A"},
        {"#define A // no conditions", true, true, "#define A // no conditions"},
    };
    for (const TCase &c : cases) {
        QString line = QString::fromLatin1(c.line);
        EXPECT_EQ(TakeLineConditions(line, mid), c.midHolds) << c.line;
        EXPECT_EQ(line, QString::fromLatin1(c.left)) << c.line;
        line = QString::fromLatin1(c.line);
        EXPECT_EQ(TakeLineConditions(line, pic18), c.pic18Holds) << c.line;
        EXPECT_EQ(line, QString::fromLatin1(c.left)) << c.line;
    }
}

TEST(AnalogSectionTest, SectionRunsToTheNextSectionAndKeepsLinesWhoseConditionsHold)
{
    const QStringList file{
        "//!ADCS",
        "#define X",
        "//!ADCCLKC0:6-7 the clock section",
        "// Constants used for SETUP_ADC() are:",
        "\\\\18#define ONLY18",
        "#define BOTH",
        "//!ADCCHC1:0-1",
        "#define OTHER",
    };
    const DeviceRecord r = AdcDevice(dkPic14, 4);
    EXPECT_EQ(AnalogSectionLines(file, "ADCCLKC0:6-7", r),
              (QStringList{"// Constants used for SETUP_ADC() are:", "#define BOTH"}));
    // The key is cut at its first space.
    EXPECT_EQ(AnalogSectionLines(file, "ADCCHC1:0-1 ignored", r), QStringList{"#define OTHER"});
    EXPECT_EQ(AnalogSectionLines(file, "ADCS", r), QStringList{"#define X"});
    EXPECT_TRUE(AnalogSectionLines(file, "ADCCHC1:0-2_AE", r).isEmpty());
}

TEST(AnalogParseTest, ClockGroupAndTheGroupsOredInAfterIt)
{
    const QStringList lines{
        "// Constants used for SETUP_ADC() are:",
        "#define ADC_OFF ADON=0 // ADC off",
        "#define ADC_CLOCK_DIV_2 ADCS=000",
        "#define ADC_CLOCK_INTERNAL ADCS=011 // Internal RC clock",
        "not an option line",
        "// The following may be OR'ed in with the above using |",
        "#define ADC_TAD_MUL_0 ACQT=000 //  No acquisition delay",
        "#define ADC_TAD_MUL_2 ACQT=001",
        "// Modes, using |",
        "#define ADC_CONT_A x",
        "// Triggers, using |",
        "#define ADC_WHEN_INT0 x // trigger",
        "// Interrupts, using |",
        "#define ADC_INT_EVERY_OTHER x",
        "// Constants used in SETUP_ADC_PORTS() are:",
        "#define NO_ANALOGS PCFG=0111 // None",
    };
    const TAnalogOptions o = ParseAnalogOptions(lines);
    EXPECT_EQ(Identifiers(o.clocks), (QStringList{"ADC_OFF", "ADC_CLOCK_DIV_2", "ADC_CLOCK_INTERNAL"}));
    EXPECT_EQ(Texts(o.clocks), (QStringList{" ADC off", "ADC_CLOCK_DIV_2", " Internal RC clock"}));
    EXPECT_EQ(o.selectedClock, 2);
    EXPECT_EQ(Identifiers(o.acquisitions), (QStringList{"ADC_TAD_MUL_0", "ADC_TAD_MUL_2"}));
    EXPECT_EQ(Texts(o.acquisitions), (QStringList{"No acquisition delay", "ADC_TAD_MUL_2"}));
    EXPECT_EQ(Identifiers(o.modes), QStringList{"ADC_CONT_A"});
    EXPECT_EQ(Texts(o.triggers), QStringList{"ADC_WHEN_INT0"});
    EXPECT_EQ(Identifiers(o.interrupts), QStringList{"ADC_INT_EVERY_OTHER"});
    EXPECT_EQ(Identifiers(o.ports), QStringList{"NO_ANALOGS"});
}

TEST(AnalogParseTest, WithoutAnInternalClockNoneIsSelectedAndWithoutUsingGroupsTheListsStayEmpty)
{
    const QStringList lines{
        "// SETUP_ADC( options",
        "#define ADC_OFF x // off",
        "#define ADC_CLOCK_DIV_8 x",
        "// Constants used in SETUP_ADC_PORTS() are:",
        "#define NO_ANALOGS x // None",
        "// The following may be OR'ed in with the above using |",
        "#define VSS_VDD x //  Vss to Vdd",
    };
    const TAnalogOptions o = ParseAnalogOptions(lines);
    EXPECT_EQ(o.selectedClock, -1);
    EXPECT_TRUE(o.acquisitions.isEmpty());
    EXPECT_TRUE(o.modes.isEmpty());
    EXPECT_TRUE(o.triggers.isEmpty());
    EXPECT_TRUE(o.interrupts.isEmpty());
    // The "using |" group after the port group is the range group.
    EXPECT_EQ(o.ranges, (QList<TAnalogOption>{{"VSS_VDD", "Vss to Vdd"}}));
}

TEST(AnalogParseTest, PortOptionsRadioAndCheckBoxes)
{
    const QStringList lines{
        "// Constants used in SETUP_ADC_PORTS() are:",
        "#define NO_ANALOGS x // None",
        "#define HIDDEN x",
        "#define ALSO_HIDDEN x //! not offered",
        "#define AN0_AN1_AN3 x // A0 A1 A3",
        "#define sAN0 x //| A0 (AN0)",
        "#define sAN1 x //| A1 (AN1)",
        "#define AN0_TO_AN7_WITH_A_VERY_LONG_IDENTIFIER_NAME x // A0",
        "// The following may be OR'ed in with the above using |",
        "#define VSS_VDD x //  Range 0 - Vdd",
        "#define NO_COMMENT x",
        "#define VREF_VREF x //  Range Vref- - Vref+",
    };
    const TAnalogOptions o = ParseAnalogOptions(lines);
    EXPECT_EQ(Identifiers(o.ports), (QStringList{"NO_ANALOGS", "AN0_AN1_AN3", "sAN0", "sAN1",
                                                 "AN0_TO_AN7_WITH_A_VERY_LONG_IDEN"}));
    EXPECT_EQ(Texts(o.ports), (QStringList{" None", " A0 A1 A3", "| A0 (AN0)", "| A1 (AN1)", " A0"}));
    EXPECT_EQ(o.checkOptionCount, 2);
    EXPECT_EQ(o.checkCaptions, (QStringList{"A0 (AN0)", "A1 (AN1)"}));
    EXPECT_EQ(Identifiers(o.ranges), (QStringList{"VSS_VDD", "VREF_VREF"}));
    EXPECT_EQ(Texts(o.ranges), (QStringList{"Range 0 - Vdd", "Range Vref- - Vref+"}));
}

TEST(AnalogParseTest, AtMostSixteenCheckBoxes)
{
    QStringList lines{"// Constants used in SETUP_ADC_PORTS() are:"};
    for (int n = 0; n < 20; ++n)
        lines << QStringLiteral("#define sAN%1 x //| AN%1").arg(n);
    const TAnalogOptions o = ParseAnalogOptions(lines);
    EXPECT_EQ(o.checkOptionCount, kMaxAnalogCheckOptions);
    EXPECT_EQ(o.ports.size(), kMaxAnalogCheckOptions);
    EXPECT_EQ(o.checkCaptions.last(), "AN15");
}

class AnalogFileTest : public ::testing::Test {
protected:
    QString Write(const QByteArray &text)
    {
        const QString path = m_tmp.filePath("KIV.HT");
        EXPECT_TRUE(test::WriteFile(path, text));
        return path;
    }
    QTemporaryDir m_tmp;
};

TEST_F(AnalogFileTest, ReadsTheDevicesSectionsInOrder)
{
    const QString path = Write(
        "// an option file\r\n"
        "//!ADCCLKC0:6-7\r\n"
        "// Constants used for SETUP_ADC() are:\r\n"
        "#define ADC_OFF x // off\r\n"
        "#define ADC_CLOCK_INTERNAL x // internal\r\n"
        "//!ADCCHC1:0-1\r\n"
        "// Constants used in SETUP_ADC_PORTS() are:\r\n"
        "\\\\(3)#define NO_ANALOGS x // None\r\n"
        "\\\\(4)#define NO_ANALOGS_4 x // None\r\n"
        "\\\\>03#define ALL_ANALOG x // A0 A1 A2 A3\r\n"
        "//!ADCS\r\n"
        "\\\\18// The following may be OR'ed in with the above using |\r\n"
        "\\\\18#define VSS_VDD x //  Vss to Vdd\r\n");
    const TAnalogOptions mid = ReadAnalogOptions(AdcDevice(dkPic14, 4, 3, 1, 8), path);
    EXPECT_EQ(Identifiers(mid.clocks), (QStringList{"ADC_OFF", "ADC_CLOCK_INTERNAL"}));
    EXPECT_EQ(mid.selectedClock, 1);
    EXPECT_EQ(Identifiers(mid.ports), (QStringList{"NO_ANALOGS", "ALL_ANALOG"}));
    EXPECT_TRUE(mid.ranges.isEmpty());

    const TAnalogOptions pic18 = ReadAnalogOptions(AdcDevice(dkPic18, 3, 4, 1, 8), path);
    EXPECT_EQ(Identifiers(pic18.ports), QStringList{"NO_ANALOGS_4"});
    EXPECT_EQ(Identifiers(pic18.ranges), QStringList{"VSS_VDD"});
}

TEST_F(AnalogFileTest, ADeviceWithoutChannelsGetsNothingAndNeverOpensTheFile)
{
    const TAnalogOptions none = ReadAnalogOptions(AdcDevice(dkPic14, 0, 0, 1, 8), m_tmp.filePath("missing.ht"));
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.checkOptionCount, 0);
    EXPECT_TRUE(none.checkCaptions.isEmpty());
}

TEST_F(AnalogFileTest, AMissingFileIsAnErrorForADeviceWithChannels)
{
    EXPECT_THROW(ReadAnalogOptions(AdcDevice(dkPic14, 8, 0, 1, 8), m_tmp.filePath("missing.ht")), TAnalogFileError);
}

TEST_F(AnalogFileTest, AMissingSectionLeavesItsListsEmpty)
{
    const QString path = Write("//!ADCS\n// Constants used in SETUP_ADC_PORTS() are:\n#define NO_ANALOGS x // None\n");
    const TAnalogOptions o = ReadAnalogOptions(AdcDevice(dkPic14, 8, 0, 2, 10), path);
    EXPECT_TRUE(o.clocks.isEmpty());
    EXPECT_EQ(o.selectedClock, -1);
    EXPECT_EQ(Identifiers(o.ports), QStringList{"NO_ANALOGS"});
}

TEST_F(AnalogFileTest, BinaryGarbageGivesNoOptionsAndNoCrash)
{
    QByteArray garbage;
    for (int n = 0; n < 5000; ++n)
        garbage.append(char((n * 7919) % 256));
    const QString path = Write(garbage);
    const TAnalogOptions o = ReadAnalogOptions(AdcDevice(dkPic14, 8, 0, 2, 10), path);
    EXPECT_TRUE(o.IsEmpty());
}
