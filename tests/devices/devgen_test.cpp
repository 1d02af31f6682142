// The generator's readers of gputils data and its naming and placing rules, on small texts
// written here.

#include "devgen.h"
#include "devicemap.h"
#include "fusenames.h"
#include "gputilsdata.h"

#include "pc_chipr.h"

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::devgen;

namespace {

const char kProcessorList[] =
    "Names          : pic16f877a, p16f877a, 16f877a\n"
    "Class          : PIC14\n"
    "Max. RAM Addr. : 0x1FF\n"
    "Config         : 0x2007\n"
    "  Config Word  : address = 0x2007, mask = 0x2FCF, default = 0xFFFF\n"
    "      Directive: FOSC\n"
    "         Option:   LP      = 0x0000\n"
    "         Option:   XT      = 0x0001\n"
    "         Option:   HS      = 0x0002\n"
    "         Option:   EXTRC   = 0x0003 (default)\n"
    "      Directive: WDTE\n"
    "         Option:   OFF     = 0x0000\n"
    "         Option:   ON      = 0x0004 (default)\n"
    "      Directive: CP\n"
    "         Option:   ON      = 0x0000\n"
    "         Option:   OFF     = 0x2000 (default)\n"
    "EEPROM Range   : 0x2100 - 0x21FF\n"
    "Header File    : p16f877a.inc\n"
    "\n"
    "Names          : pic18f452, p18f452, 18f452\n"
    "Class          : PIC16E\n"
    "Config Range   : 0x300000 - 0x30000D\n"
    "  Config Word  : address = 0x300001, mask = 0x27, default = 0x27\n"
    "      Directive: OSC\n"
    "         Option:   HS    = 0x02\n"
    "         Option:   RCIO  = 0x07 (default)\n"
    "  Config Word  : address = 0x300003, mask = 0x0F, default = 0x0F\n"
    "      Directive: WDTPS\n"
    "         Option:   1     = 0x00\n"
    "         Option:   128   = 0x0E (default)\n"
    "  Config Word  : address = 0x300008, mask = 0x0F, default = 0x0F\n"
    "      Directive: CP0\n"
    "         Option:   ON    = 0x00\n"
    "         Option:   OFF   = 0x01 (default)\n"
    "      Directive: CP1\n"
    "         Option:   ON    = 0x00\n"
    "         Option:   OFF   = 0x02 (default)\n"
    "  Config Word  : address = 0x300009, mask = 0xC0, default = 0xC0\n"
    "      Directive: CPD\n"
    "         Option:   ON    = 0x00\n"
    "         Option:   OFF   = 0x80 (default)\n"
    "  Config Word  : address = 0x30000A, mask = 0x0F, default = 0x0F\n"
    "      Directive: CP2\n"
    "         Option:   ON    = 0x00\n"
    "         Option:   OFF   = 0x01 (default)\n"
    "      Directive: SOSCSEL\n"
    "         Option:   RESERVED = 0x00\n"
    "EEPROM Range   : 0xF00000 - 0xF000FF\n"
    "Header File    : p18f452.inc\n";

const char kHeader[] =
    ";==========================================================================\n"
    ";----- Register Files -----------------------------------------------------\n"
    ";-----Bank0------------------\n"
    "PORTA            EQU  H'0005'\n"
    "PORTB            EQU  H'0006'\n"
    "INTCON           EQU  H'000B'\n"
    "PIR1             EQU  H'000C'\n"
    "T1CON            EQU  H'0010'\n"
    "CCP1CON          EQU  H'0017'\n"
    "CCP2CON          EQU  H'001D'\n"
    "TXSTA            EQU  H'0098'\n"
    "ADRESH           EQU  H'001E'\n"
    "ADCON0           EQU  H'001F'\n"
    ";-----Bank1------------------\n"
    "TRISA            EQU  H'0085'\n"
    "ADRESL           EQU  H'009E'\n"
    "ADCON1           EQU  H'009F'\n"
    "\n"
    ";----- PORTA Bits -----------------------------------------------------\n"
    "RA0              EQU  H'0000'\n"
    "RA1              EQU  H'0001'\n"
    "RA3              EQU  H'0003'\n"
    "AN0              EQU  H'0000'\n"
    "AN1              EQU  H'0001'\n"
    ";----- PORTB Bits -----------------------------------------------------\n"
    "RB0              EQU  H'0000'\n"
    "RB7              EQU  H'0007'\n"
    ";----- INTCON Bits -----------------------------------------------------\n"
    "RBIF             EQU  H'0000'\n"
    "INTF             EQU  H'0001'\n"
    "TMR0IF           EQU  H'0002'\n"
    ";----- PIR1 Bits -----------------------------------------------------\n"
    "TMR1IF           EQU  H'0000'\n"
    "TXIF             EQU  H'0004'\n"
    "RCIF             EQU  H'0005'\n"
    ";----- TXSTA Bits -----------------------------------------------------\n"
    "TX9              EQU  H'0006'\n"
    ";----- ADCON0 Bits -----------------------------------------------------\n"
    "ADCS0            EQU  H'0006'\n"
    "ADCS1            EQU  H'0007'\n"
    ";----- ADCON1 Bits -----------------------------------------------------\n"
    "ADCS2            EQU  H'0006'\n"
    ";==========================================================================\n"
    "       __MAXRAM  H'01FF'\n"
    "       __BADRAM  H'008F'-H'0090', H'0105'\n"
    ";==========================================================================\n"
    ";   Watchdog Timer:\n"
    ";     WDTE = OFF          Disabled\n"
    "_CONFIG          EQU  H'2007'\n"
    "_FOSC_HS             EQU  H'3FFE'    ; HS oscillator\n"
    "_WDTE_OFF_2H         EQU  H'3FFB'    ; WDT disabled\n";

}  // namespace

TEST(GputilsDataTest, ProcessorListBlocks)
{
    const QList<TGpProcessor> list = ParseProcessorList(QString::fromLatin1(kProcessorList));
    ASSERT_EQ(list.size(), 2);
    const TGpProcessor &mid = list[0];
    EXPECT_EQ(mid.ProcessorName(), "p16f877a");
    EXPECT_EQ(mid.coreClass, "PIC14");
    EXPECT_EQ(mid.maxRam, 0x1FF);
    EXPECT_EQ(mid.configStart.value_or(0), 0x2007u);
    EXPECT_EQ(mid.EepromBytes(), 256);
    EXPECT_EQ(mid.headerFile, "p16f877a.inc");
    ASSERT_EQ(mid.configWords.size(), 1);
    ASSERT_EQ(mid.configWords[0].directives.size(), 3);
    EXPECT_EQ(mid.configWords[0].directives[0].options.size(), 4);
    EXPECT_TRUE(mid.configWords[0].directives[0].options[3].isDefault);
    EXPECT_EQ(mid.configWords[0].directives[2].options[1].value, 0x2000u);

    const TGpProcessor &pic18 = list[1];
    EXPECT_EQ(pic18.coreClass, "PIC16E");
    EXPECT_EQ(pic18.configStart.value_or(0), 0x300000u);
    EXPECT_EQ(pic18.configWords.size(), 5);
}

TEST(GputilsDataTest, HeaderRegistersBitsRamAndComments)
{
    const TIncHeader h = ParseIncHeader(QString::fromLatin1(kHeader));
    EXPECT_TRUE(h.HasRegister("TXSTA"));
    EXPECT_FALSE(h.HasRegister("RA0"));
    EXPECT_EQ(h.registers.value("TRISA"), 0x85u);
    EXPECT_EQ(h.BitOf("PORTB", "RB7"), 7);
    EXPECT_EQ(h.BitOf("ADCON1", "ADCS2"), 6);
    EXPECT_EQ(h.BitOf("ADCON1", "ADCS0"), -1);
    EXPECT_TRUE(h.HasBit("RCIF"));
    EXPECT_EQ(h.maxRam, 0x1FF);
    ASSERT_EQ(h.badRam.size(), 2);
    EXPECT_EQ(h.badRam[0], qMakePair(0x8F, 0x90));
    EXPECT_EQ(h.badRam[1], qMakePair(0x105, 0x105));
    EXPECT_EQ(h.ConfigComment("FOSC", "HS"), "HS oscillator");
    EXPECT_EQ(h.ConfigComment("WDTE", "OFF"), "WDT disabled");   // PIC18-style byte suffix
    EXPECT_EQ(h.settingTexts.value("WDTE=OFF"), "Watchdog Timer: Disabled");
    EXPECT_EQ(h.ConfigComment("FOSC", "XT"), "");
}

TEST(GputilsDataTest, CoffProcessorNumber)
{
    // File header (20 bytes) then the optional header: magic, version stamp, processor type.
    QByteArray v2(64, '\0');
    v2[0] = char(0x40); v2[1] = char(0x12);   // 0x1240
    v2[16] = 0x1C;                             // optional header size
    v2[26] = char(0x7A); v2[27] = char(0x87);
    EXPECT_EQ(CoffProcessorType(v2).value_or(0), 0x877Au);
    QByteArray v1(64, '\0');
    v1[0] = char(0x34); v1[1] = char(0x12);   // 0x1234: two-byte version stamp
    v1[16] = 0x12;
    v1[24] = char(0x2F); v1[25] = char(0x45);
    EXPECT_EQ(CoffProcessorType(v1).value_or(0), 0x452Fu);
    EXPECT_FALSE(CoffProcessorType(QByteArray("not an object")).has_value());
    QByteArray noOptional = v2;
    noOptional[16] = 0;
    EXPECT_FALSE(CoffProcessorType(noOptional).has_value());
}

TEST(FuseNamesTest, KeywordsOfOptions)
{
    const struct { const char *directive; const char *option; QStringList siblings; const char *keyword; } cases[] = {
        {"WDTE", "ON", {}, "WDT"},
        {"WDTE", "OFF", {}, "NOWDT"},
        {"WDTEN", "NOSLP", {}, "WDT_NOSL"},
        {"WDTE", "SWDTEN", {}, "WDT_SW"},
        {"WDTPS", "128", {}, "WDT128"},
        {"CP", "ON", {}, "PROTECT"},
        {"CP", "OFF", {}, "NOPROTECT"},
        {"CP", "75", {}, "PROTECT_75"},
        {"PWRTE", "ON", {}, "PUT"},
        {"nPWRTEN", "OFF", {}, "NOPUT"},
        {"BOREN", "OFF", {}, "NOBROWNOUT"},
        {"BODEN", "ON", {}, "BROWNOUT"},
        {"BOREN", "NSLEEP", {}, "BROWNOUT_NOSL"},
        {"LVP", "OFF", {}, "NOLVP"},
        {"CPD", "ON", {}, "CPD"},
        {"WRT", "OFF", {}, "NOWRT"},
        {"DEBUG", "OFF", {}, "NODEBUG"},
        {"MCLRE", "ON", {}, "MCLR"},
        {"MCLRE", "INTMCLR", {}, "NOMCLR"},
        {"BORV", "45", {}, "BORV45"},
        {"PLLEN", "ENABLED", {}, "PLLEN"},
        {"PBADEN", "DIG", {}, "NOPBADEN"},
        {"CCP2MX", "RB3", {}, "CCP2B3"},
        {"CCP2MUX", "ON", {}, "CCP2C1"},
        {"CCPMX", "RB0", {}, "CCPB0"},
        {"STVR", "ON", {}, "STVREN"},
        {"FOSC", "EXTRC", {}, "RC"},
        {"FOSC", "EXTRCIO", {}, "RC_IO"},
        {"OSC", "IntRC", {}, "INTRC"},
        {"FOSC", "INTOSCIO", {}, "INTRC_IO"},
        {"FOSC", "INTOSC", {"INTOSC", "INTOSCIO"}, "INTRC"},
        {"FOSC", "INTOSC", {"INTOSC", "ECH"}, "INTRC_IO"},
        {"OSC", "HSPLL", {}, "HSPLL"},
        {"OSC", "ECHPIO6", {}, "ECHPIO6"},
        {"WDTCPS", "WDTCPS1F", {}, "WDTCPS1F"},
        {"SOSCSEL", "HIGH", {}, "SOSCSEL_HIGH"},
        {"VCAPEN", "RA0", {}, "VCAPEN_RA0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FuseKeyword(c.directive, c.option, c.siblings), QString(c.keyword)) << c.directive << "=" << c.option;
}

TEST(FuseNamesTest, Pic18BytesPairIntoWordsAndNumberedProtectionMerges)
{
    const QList<TGpProcessor> list = ParseProcessorList(QString::fromLatin1(kProcessorList));
    const TGpProcessor &pic18 = list[1];
    const struct { uint32_t address; int word; int shift; } places[] = {
        {0x300000, 1, 0}, {0x300001, 1, 8}, {0x300003, 2, 8}, {0x300008, 5, 0}, {0x30000D, 7, 8},
    };
    for (const auto &p : places) {
        const TWordPlace place = PlaceOfConfigAddress(pic18, true, p.address);
        EXPECT_EQ(place.word, p.word) << std::hex << p.address;
        EXPECT_EQ(place.shift, p.shift) << std::hex << p.address;
    }

    const QList<TFuseSetting> settings = NameFuseSettings(pic18, true, TIncHeader());
    // OSC, WDTPS, CP0+CP1 (word 5), CPD, CP2 (word 6); the all-reserved SOSCSEL has no entries.
    ASSERT_EQ(settings.size(), 5);
    EXPECT_EQ(settings[0].choices[0].name, "HS");
    EXPECT_EQ(settings[0].choices[0].mask, 0x0700);
    EXPECT_EQ(settings[0].choices[0].value, 0x0200);
    EXPECT_EQ(settings[1].choices[1].name, "WDT128");
    EXPECT_EQ(settings[1].choices[1].word, 2);
    EXPECT_EQ(settings[1].choices[1].value, 0x0E00);
    const TFuseSetting &protect = settings[2];
    ASSERT_EQ(protect.choices.size(), 2);
    EXPECT_EQ(protect.choices[0].name, "PROTECT");
    EXPECT_EQ(protect.choices[0].mask, 0x0003);
    EXPECT_EQ(protect.choices[0].value, 0x0000);
    EXPECT_EQ(protect.choices[1].name, "NOPROTECT");
    EXPECT_EQ(protect.choices[1].value, 0x0003);
    EXPECT_EQ(protect.choices[1].word, 5);
    EXPECT_EQ(settings[3].choices[1].name, "NOCPD");
    EXPECT_EQ(settings[3].choices[1].mask, 0x8000);
    EXPECT_EQ(settings[4].choices[0].name, "PROTECT");   // another word: its own setting
    EXPECT_EQ(settings[4].choices[0].word, 6);

    // 14-bit: words counted in address order, no shift.
    const QList<TFuseSetting> mid = NameFuseSettings(list[0], false, TIncHeader());
    ASSERT_EQ(mid.size(), 3);
    EXPECT_EQ(mid[0].choices[3].name, "RC");
    EXPECT_EQ(mid[2].choices[0].name, "PROTECT");
    EXPECT_EQ(mid[2].choices[0].mask, 0x2000);
}

TEST(DeviceMapTest, NamesAndKinds)
{
    const struct { const char *processor; const char *device; } names[] = {
        {"p16f877a", "PIC16F877A"}, {"p18f452", "PIC18F452"}, {"p12lf1840t48a", "PIC12LF1840T48A"},
        {"rf675f", "RFPIC12F675F"}, {"rf509ag", "RFPIC12C509AG"}, {"ps500", "PS500"},
        {"p16cxx", ""}, {"p16c5x", ""}, {"p18cxx", ""},
    };
    for (const auto &n : names)
        EXPECT_EQ(DeviceNameOf(n.processor), QString(n.device)) << n.processor;
    EXPECT_EQ(KindOfCoreClass("PIC12").value_or(99), 0);
    EXPECT_EQ(KindOfCoreClass("PIC12E").value_or(99), 0);
    EXPECT_EQ(KindOfCoreClass("PIC14E").value_or(99), 1);
    EXPECT_EQ(KindOfCoreClass("PIC16E").value_or(99), 3);
    EXPECT_FALSE(KindOfCoreClass("PIC16").has_value());
}

TEST(DeviceMapTest, RecordFromProcessorAndHeader)
{
    const TGpProcessor mid = ParseProcessorList(QString::fromLatin1(kProcessorList))[0];
    const TIncHeader h = ParseIncHeader(QString::fromLatin1(kHeader));
    const DeviceRecord r = BuildRecord("PIC16F877A", dkPic14, 0x877A, mid, h);
    EXPECT_EQ(r.name(), "PIC16F877A");
    EXPECT_EQ(r.id(), 0x877A);
    EXPECT_EQ(r.eepromSize(), 16);
    EXPECT_EQ(r.portMask('A'), 0x0B);
    EXPECT_EQ(r.portMask('B'), 0x81);
    EXPECT_EQ(r.portMask('C'), 0);
    EXPECT_EQ(r.trisMode(), 0);
    EXPECT_TRUE(r.hasUsart());
    EXPECT_TRUE(r.hasUsart9Bit());
    EXPECT_TRUE(r.hasTimer1());
    EXPECT_FALSE(r.hasTimer2());
    EXPECT_EQ(r.ccpCount(), 2);
    EXPECT_EQ(r.adcChannels(), 2);   // AN0, AN1
    EXPECT_EQ(r.adcBits(), 10);
    EXPECT_EQ(r.adcClockOption(), 2);   // "C1:6,C0:6-7"
    EXPECT_EQ(r.ramMap(0x20), 1);
    EXPECT_EQ(r.ramMap(0x8F), 0);
    EXPECT_EQ(r.ramMap(0x105), 0);
    EXPECT_EQ(r.ramMap(0x1FF), 1);
    for (int n : {1, 2, 4, 9, 10, 11})
        EXPECT_TRUE(r.hasInterrupt(n)) << n;
    EXPECT_FALSE(r.hasInterrupt(5));   // no ADIF in this header

    // The same header as a 12-bit part: no TRIS registers, no RAM past 511, and no "M" flags.
    const DeviceRecord base = BuildRecord("PIC12F508", dkPic12, 0xF508, mid, h);
    EXPECT_EQ(base.trisMode(), 1);
    EXPECT_EQ(base.interrupts(), 0u);
}

TEST(DeviceMapTest, SxDevicesFromDataSheetFacts)
{
    const QList<TDeviceDraft> sx = SxDevices({{"sx28", 0x28}});
    ASSERT_EQ(sx.size(), 5);
    const DeviceRecord &sx28 = sx[2].record;
    EXPECT_EQ(sx28.name(), "SX28AC");
    EXPECT_EQ(sx28.kind(), dkSx);
    EXPECT_EQ(sx28.id(), 0x28);
    EXPECT_EQ(sx28.portMask('A'), 0x0F);
    EXPECT_EQ(sx28.portMask('C'), 0xFF);
    EXPECT_EQ(sx28.portMask('D'), 0);
    EXPECT_FALSE(sx28.hasTimer1());
    EXPECT_TRUE(sx28.hasInterrupt(10));
    EXPECT_FALSE(sx28.hasInterrupt(11));
    EXPECT_TRUE(sx[4].record.hasTimer1());
    EXPECT_EQ(sx[4].record.portMask('A'), 0xFF);
}

namespace {

TFuseSetting Pair(const QString &on, uint16_t mask, int word = 1)
{
    TFuseSetting s;
    s.choices << TFuseChoice{on, mask, mask, word, on, "ON", {}}
              << TFuseChoice{"NO" + on, mask, 0, word, on, "OFF", {}};
    return s;
}

TDeviceDraft Draft(const QString &name, uint8_t kind, const QList<TFuseSetting> &fuses)
{
    TDeviceDraft d;
    d.record.setName(name);
    d.record.setKind(kind);
    d.fuses = fuses;
    return d;
}

}  // namespace

TEST(DeviceDatabaseBuilderTest, NameTableAndEntryLimits)
{
    TDeviceDatabaseBuilder builder;
    // A kind 1 device with a setting in a third word (not storable) and 30 pairs (60 entries:
    // only 25 pairs fit in entries 1 to 50).
    QList<TFuseSetting> many;
    for (int n = 0; n < 30; ++n)
        many << Pair(QStringLiteral("F%1").arg(n), uint16_t(1u << (n % 14)));
    many << Pair("THIRD", 0x0001, 3);
    builder.AddDevice(Draft("PIC16F1", dkPic14, many));
    builder.AddDevice(Draft("PIC16F1", dkPic14, {}));   // same name again: left out
    builder.AddDevice(Draft("PIC18F1", dkPic18, {Pair("F0", 0x0001, 9)}));
    builder.Build();

    const TBuildCounts &c = builder.Counts();
    EXPECT_EQ(c.devicesLeftOut, 1);
    EXPECT_EQ(c.Devices(), 2);
    EXPECT_EQ(c.entriesWritten, 50 + 2);
    EXPECT_EQ(c.entriesBeyondRoom, 10);
    EXPECT_EQ(c.entriesBeyondWords, 2);
    EXPECT_EQ(builder.FuseNames().mid(0, 12), LeadingFuseNames());
    EXPECT_FALSE(builder.FuseNames().contains("THIRD"));
    EXPECT_TRUE(c.Summary().startsWith("devices.dat: 2 devices (kind 1: 1, kind 3: 1)")) << c.Summary().toStdString();

    const DeviceRecord &pic16 = builder.Records()[0];
    EXPECT_EQ(pic16.name(), "PIC16F1");
    const FuseNameTable table = [&] {
        QByteArray t;
        for (const QString &n : builder.FuseNames())
            t += n.toLatin1() + '\0';
        return t;
    }();
    EXPECT_EQ(FuseNameIn(table, FuseNameIndex(pic16, 1)), "F0");
    EXPECT_EQ(FuseNameIn(table, FuseNameIndex(pic16, 2)), "NOF0");
    EXPECT_NE(FuseMask(pic16, 50), 0);
    const DeviceRecord &pic18 = builder.Records()[1];
    EXPECT_EQ(FuseWord(pic18, 1), 9);
    EXPECT_EQ(FuseWord(pic18, 2), 9);

    // fuses.txt: one CR LF line per name of the table.
    const QList<QByteArray> lines = builder.FusesText().split('\n');
    EXPECT_EQ(lines.size() - 1, builder.FuseNames().size());
    EXPECT_TRUE(lines[0].startsWith("LP "));
    EXPECT_TRUE(lines[0].endsWith('\r'));
}

TEST(DeviceDatabaseBuilderTest, GroupsGoInWholeOrNotAtAll)
{
    // Long names fill the header's two blocks: the 40 pairs both devices use get their names;
    // of the 20 pairs only the first device uses, some fit whole and the rest are left out
    // whole: no group is ever offered with one of its names missing.
    auto name = [](int n) { return QStringLiteral("SETTING_LONG_NAME_%1").arg(n, 3, 10, QLatin1Char('0')); };
    auto pairs = [&](int count) {
        QList<TFuseSetting> fuses;
        for (int n = 0; n < count; ++n)
            fuses << Pair(name(n), 0x0001, 1 + n % 7);
        return fuses;
    };
    TDeviceDatabaseBuilder builder;
    builder.AddDevice(Draft("PIC18F0", dkPic18, pairs(60)));
    builder.AddDevice(Draft("PIC18F1", dkPic18, pairs(40)));
    builder.Build();

    const QStringList &names = builder.FuseNames();
    EXPECT_TRUE(TDevicesDatWriter::FuseNamesFit(names));
    int complete = 0, halves = 0;
    for (int n = 0; n < 60; ++n) {
        const bool on = names.contains(name(n)), off = names.contains("NO" + name(n));
        complete += on && off;
        halves += on != off;
    }
    EXPECT_GE(complete, 40);
    EXPECT_LT(complete, 60);
    EXPECT_EQ(halves, 0);
    EXPECT_EQ(builder.Counts().entriesWithoutName, 2 * (60 - complete));
    EXPECT_EQ(builder.Counts().groupsLeftOut, 60 - complete);
    EXPECT_EQ(builder.Counts().devicesWithGroupsLeftOut, 1);
    auto written = [](const DeviceRecord &r) {
        int count = 0;
        while (count < kMaxFuseEntry && FuseMask(r, uint8_t(count + 1)) != 0)
            ++count;
        return count;
    };
    EXPECT_EQ(written(builder.Records()[0]), 2 * complete);
    EXPECT_EQ(written(builder.Records()[1]), 80);
    EXPECT_TRUE(builder.Details().join('\n').contains("device PIC18F0: " + QString::number(60 - complete)
                                                       + " fuse groups do not fit"));
}

TEST(DeviceDatabaseBuilderTest, ADeviceMissingAFewNamesIsCompletedBeforeWiderGroups)
{
    // Many devices share a group of long, rare names; one device lacks only two short names of a
    // four-setting group. With the table nearly full, the one device is completed first.
    auto group = [](const QString &base, const QStringList &options) {
        TFuseSetting s;
        for (int n = 0; n < options.size(); ++n)
            s.choices << TFuseChoice{options[n], 0x0600, uint16_t(n << 9), 1, base, options[n], {}};
        return s;
    };
    TDeviceDatabaseBuilder builder;
    QList<TFuseSetting> filler;
    for (int n = 0; n < 110; ++n)
        filler << Pair(QStringLiteral("FILLER_%1").arg(n, 3, 10, QLatin1Char('0')), uint16_t(1u << (n % 8)), 1 + n % 50);
    for (int d = 0; d < 5; ++d)
        builder.AddDevice(Draft(QStringLiteral("PIC18F%1").arg(d), dkPic18, filler));
    builder.AddDevice(Draft("PIC16F877A", dkPic14, {group("WRT", {"NOWRT", "WRT_256", "WRT_1FOURTH", "WRT_HALF"})}));
    builder.Build();
    for (const char *n : {"NOWRT", "WRT_256", "WRT_1FOURTH", "WRT_HALF"})
        EXPECT_TRUE(builder.FuseNames().contains(n)) << n;
    EXPECT_EQ(builder.Records()[0].name(), "PIC16F877A");
    EXPECT_EQ(FuseMask(builder.Records()[0], 4), 0x0600);
}
