// The installation's devices.dat and fuses.txt as the build generated them from gputils' data,
// read through pc_chipr like the IDE reads them.

#include "devgen.h"

#include "cupadc.h"
#include "fuseselection_model.h"

#include "pc_chipr.h"
#include "pc_int.h"

#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

#ifdef KIV_GENERATED_DIR
const QString kGenerated = QStringLiteral(KIV_GENERATED_DIR);
#else
const QString kGenerated;
#endif

class GeneratedDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kGenerated.isEmpty())
            GTEST_SKIP() << "gputils is not installed, so devices.dat was not generated (the setup step installs it)";
        ASSERT_TRUE(QFile::exists(DevicesDat())) << DevicesDat().toStdString();
        SetDeviceFile(DevicesDat());
    }
    static QString DevicesDat() { return kGenerated + QStringLiteral("/devices.dat"); }

    static DeviceRecord Find(const QString &name)
    {
        DeviceRecord r;
        EXPECT_TRUE(FindDevice(name, r)) << name.toStdString();
        return r;
    }
};

struct TGroup {
    int word;
    uint16_t mask;
    QStringList names;
};

// The fuse groups of a device the way the fuse frame forms them: same mask and word.
QList<TGroup> Groups(const DeviceRecord &r)
{
    QList<TGroup> groups;
    for (int entry = 1; entry <= kMaxFuseEntry; ++entry) {
        const uint16_t mask = FuseMask(r, uint8_t(entry));
        if (!mask)
            continue;
        const int word = FuseWord(r, uint8_t(entry));
        const QString name = FuseName(FuseNameIndex(r, uint8_t(entry)));
        auto it = std::find_if(groups.begin(), groups.end(), [&](const TGroup &g) { return g.mask == mask && g.word == word; });
        if (it == groups.end())
            groups.append({word, mask, {name}});
        else
            it->names << name;
    }
    return groups;
}

bool HasGroup(const QList<TGroup> &groups, const QStringList &names)
{
    return std::any_of(groups.begin(), groups.end(), [&](const TGroup &g) {
        return std::all_of(names.begin(), names.end(), [&](const QString &n) { return g.names.contains(n); });
    });
}

}  // namespace

TEST_F(GeneratedDataTest, ListsEveryDeviceGputilsDescribes)
{
    QStringList all;
    ListDevices(all, kAllKinds, 0);
    EXPECT_GE(all.size(), 600);
    EXPECT_EQ(all.removeDuplicates(), 0);
    QStringList sx;
    ListDevices(sx, MakeKindSet({4}), 0);
    EXPECT_EQ(sx, (QStringList{"SX18AC", "SX20AC", "SX28AC", "SX48BD", "SX52BD"}));
    QStringList wizard;
    const int position = ListDevices(wizard, kWizardKinds, 0x877A);
    EXPECT_EQ(wizard.value(position), "PIC16F877A");
    EXPECT_EQ(wizard.size() + sx.size(), all.size());
}

TEST_F(GeneratedDataTest, Pic16F877A)
{
    const DeviceRecord r = Find("PIC16F877A");
    EXPECT_EQ(r.kind(), dkPic14);
    EXPECT_EQ(r.id(), 0x877A);
    const struct { char port; uint8_t mask; } ports[] = {
        {'A', 0x3F}, {'B', 0xFF}, {'C', 0xFF}, {'D', 0xFF}, {'E', 0x07}, {'F', 0}, {'G', 0}, {'H', 0}, {'J', 0}, {'K', 0},
    };
    for (const auto &p : ports)
        EXPECT_EQ(r.portMask(p.port), p.mask) << p.port;
    EXPECT_TRUE(r.hasUsart());
    EXPECT_TRUE(r.hasUsart9Bit());
    EXPECT_TRUE(r.hasSpi());
    EXPECT_TRUE(r.hasI2c());
    EXPECT_TRUE(r.hasI2cMaster());
    EXPECT_TRUE(r.hasTimer1());
    EXPECT_TRUE(r.hasTimer2());
    EXPECT_FALSE(r.hasTimer3());
    EXPECT_EQ(r.ccpCount(), 2);
    EXPECT_EQ(r.adcChannels(), 8);
    EXPECT_EQ(r.adcBits(), 10);
    EXPECT_EQ(r.eepromSize(), 16);
    EXPECT_TRUE(r.hasPsp());
    EXPECT_TRUE(r.hasComparators());
    EXPECT_TRUE(r.hasProgramMemoryAccess());
    EXPECT_EQ(r.trisMode(), 0);
    // The debugger's last data address: 0x1FF.
    int last = 0;
    for (int a = 0; a < 512; ++a)
        if (r.ramMap(a))
            last = a;
    EXPECT_EQ(last, 0x1FF);

    SelectInterruptTable('M');
    QStringList interrupts;
    for (int n = 1; n <= kListedInterrupts; ++n)
        if (r.hasInterrupt(n))
            interrupts << InterruptName(n);
    for (const char *name : {"RTCC", "RB", "EXT", "AD", "TBE", "RDA", "TIMER1", "TIMER2", "CCP1", "CCP2", "SSP", "PSP", "EEPROM"})
        EXPECT_TRUE(interrupts.contains(name)) << name;

    const QList<TGroup> groups = Groups(r);
    EXPECT_TRUE(HasGroup(groups, {"WDT", "NOWDT"}));
    EXPECT_TRUE(HasGroup(groups, {"PROTECT", "NOPROTECT"}));
    EXPECT_TRUE(HasGroup(groups, {"PUT", "NOPUT"}));
    EXPECT_TRUE(HasGroup(groups, {"BROWNOUT", "NOBROWNOUT"}));
    EXPECT_TRUE(HasGroup(groups, {"LVP", "NOLVP"}));
    EXPECT_TRUE(HasGroup(groups, {"CPD", "NOCPD"}));
    EXPECT_TRUE(HasGroup(groups, {"DEBUG", "NODEBUG"}));
    EXPECT_TRUE(HasGroup(groups, {"LP", "XT", "HS", "RC"}));
    // Every group whole: write protection offers all four of its settings.
    EXPECT_TRUE(HasGroup(groups, {"NOWRT", "WRT_256", "WRT_1FOURTH", "WRT_HALF"}));
    for (const TGroup &g : groups)
        EXPECT_GE(g.names.size(), 2) << g.names.join(' ').toStdString();
    // The fuse that an all-ones configuration word selects is the default of each group.
    for (int entry = 1; entry <= 50; ++entry) {
        if (FuseName(FuseNameIndex(r, uint8_t(entry))) == "WDT") {
            EXPECT_EQ(FuseMask(r, uint8_t(entry)), FuseValue(r, uint8_t(entry)));
        }
    }
}

TEST_F(GeneratedDataTest, Pic18F452)
{
    const DeviceRecord r = Find("PIC18F452");
    EXPECT_EQ(r.kind(), dkPic18);
    EXPECT_EQ(r.id(), 0x452F);
    EXPECT_GE(ConfigWordCount(r), 2);
    const QList<TGroup> groups = Groups(r);
    QSet<int> words;
    for (const TGroup &g : groups)
        words.insert(g.word);
    EXPECT_GE(words.size(), 5);
    EXPECT_TRUE(HasGroup(groups, {"WDT1", "WDT2", "WDT4", "WDT8", "WDT16", "WDT32", "WDT64", "WDT128"}));
    EXPECT_TRUE(HasGroup(groups, {"WDT", "NOWDT"}));
    EXPECT_TRUE(HasGroup(groups, {"HS", "XT", "LP", "RC", "HSPLL"}));
    EXPECT_TRUE(HasGroup(groups, {"CCP2C1", "CCP2B3"}));
    EXPECT_EQ(r.portMask('E'), 0x07);
    EXPECT_TRUE(r.hasTimer3());
    EXPECT_EQ(r.adcChannels(), 8);
}

TEST_F(GeneratedDataTest, Pic12F508IsA12BitPart)
{
    const DeviceRecord r = Find("PIC12F508");
    EXPECT_EQ(r.kind(), dkPic12);
    EXPECT_NE(r.portMask('A'), 0);
    EXPECT_EQ(r.trisMode(), 1);
    EXPECT_TRUE(HasGroup(Groups(r), {"WDT", "NOWDT"}));
}

TEST_F(GeneratedDataTest, EveryRecordNamesItsFusesAndFitsItsKind)
{
    FuseNameTable table;
    LoadFuseNames(table);
    const QStringList names = FuseNameList(table);
    ASSERT_GE(names.size(), 100);
    EXPECT_EQ(names.mid(0, 12), devgen::LeadingFuseNames());   // the SX wizard's oscillators

    int devices = 0;
    ForEachDevice([&](const DeviceRecord &r) {
        ++devices;
        EXPECT_TRUE(r.kind() == 0 || r.kind() == 1 || r.kind() == 3 || r.kind() == 4) << r.name().toStdString();
        for (int entry = 1; entry <= kMaxFuseEntry; ++entry) {
            if (!FuseMask(r, uint8_t(entry)))
                continue;
            const uint8_t position = FuseNameIndex(r, uint8_t(entry));
            EXPECT_FALSE(FuseName(position).isEmpty()) << r.name().toStdString() << " entry " << entry;
            EXPECT_GE(FuseWord(r, uint8_t(entry)), 1);
        }
        return true;
    }, kAllKinds);
    EXPECT_GE(devices, 600);
}

TEST_F(GeneratedDataTest, EveryFuseNameAndInterruptKeywordIsDescribed)
{
    const QList<QByteArray> fuseLines = test::ReadFile(kGenerated + QStringLiteral("/fuses.txt")).split('\n');
    QSet<QString> described;
    for (const QByteArray &line : fuseLines)
        if (line.indexOf(' ') > 0 && line.trimmed().size() > line.indexOf(' '))
            described.insert(QString::fromLatin1(line.left(line.indexOf(' '))));
    FuseNameTable table;
    LoadFuseNames(table);
    for (const QString &name : FuseNameList(table))
        EXPECT_TRUE(described.contains(name)) << name.toStdString();

    const QList<QByteArray> intLines = test::ReadFile(test::SourceDir() + QStringLiteral("/data/lumo/ints.txt")).split('\n');
    QSet<QString> keywords;
    for (const QByteArray &line : intLines)
        if (line.indexOf(' ') > 0)
            keywords.insert(QString::fromLatin1(line.left(line.indexOf(' '))));
    for (QChar letter : {QLatin1Char('S'), QLatin1Char('M'), QLatin1Char('H')})
        for (int n = 1; n <= InterruptTableSize(letter); ++n)
            EXPECT_TRUE(keywords.contains(InterruptNameIn(letter, n))) << InterruptNameIn(letter, n).toStdString();
}

namespace {

QStringList Ids(const QList<TAnalogOption> &options)
{
    QStringList ids;
    for (const TAnalogOption &o : options)
        ids << o.identifier;
    return ids;
}

}  // namespace

TEST_F(GeneratedDataTest, AnalogOptionsOfTheGeneratedOptionFile)
{
    const QString kht = kGenerated + QStringLiteral("/KIV.HT");
    const TAnalogOptions mid = ReadAnalogOptions(Find("PIC16F877A"), kht);
    EXPECT_EQ(Ids(mid.clocks).value(0), "ADC_OFF");
    EXPECT_TRUE(Ids(mid.clocks).contains("ADC_CLOCK_DIV_32"));
    EXPECT_EQ(mid.clocks.value(mid.selectedClock).identifier, "ADC_CLOCK_INTERNAL");
    EXPECT_EQ(Ids(mid.ports).mid(0, 2), (QStringList{"NO_ANALOGS", "ALL_ANALOG"}));
    EXPECT_TRUE(Ids(mid.ports).contains("AN0_AN1_AN3"));
    EXPECT_EQ(mid.checkOptionCount, 0);

    const TAnalogOptions pic18 = ReadAnalogOptions(Find("PIC18F452"), kht);
    EXPECT_FALSE(pic18.clocks.isEmpty());
    EXPECT_GE(pic18.ports.size(), 10);

    const TAnalogOptions k = ReadAnalogOptions(Find("PIC18F4520"), kht);
    EXPECT_EQ(k.acquisitions.size(), 8);
    EXPECT_EQ(Ids(k.ranges), (QStringList{"VSS_VDD", "VSS_VREF", "VREF_VDD", "VREF_VREF"}));

    const DeviceRecord enhanced = Find("PIC16F1937");
    EXPECT_EQ(enhanced.adcChannels(), 14);
    const TAnalogOptions e = ReadAnalogOptions(enhanced, kht);
    EXPECT_EQ(e.checkOptionCount, 14);
    EXPECT_EQ(e.checkCaptions.value(0), "A0 (AN0)");

    const DeviceRecord baseline = Find("PIC12F508");
    EXPECT_EQ(baseline.adcChannels(), 0);
    EXPECT_TRUE(ReadAnalogOptions(baseline, kht).IsEmpty());

    // Every device with a converter gets clock and port options; none without gets any.
    int withOptions = 0;
    ForEachDevice([&](const DeviceRecord &r) {
        const TAnalogOptions o = ReadAnalogOptions(r, kht);
        if (r.adcChannels() == 0) {
            EXPECT_TRUE(o.IsEmpty()) << r.name().toStdString();
            return true;
        }
        ++withOptions;
        EXPECT_GE(o.clocks.size(), 2) << r.name().toStdString();
        EXPECT_FALSE(o.ports.isEmpty()) << r.name().toStdString();
        for (const TAnalogOption &p : o.ports)
            EXPECT_LE(p.identifier.size(), kMaxAnalogIdentifier) << r.name().toStdString();
        return true;
    }, kAllKinds);
    EXPECT_GE(withOptions, 500);
}

TEST_F(GeneratedDataTest, FuseFrameOfThe877AOffersItsGroups)
{
    const DeviceRecord r = Find("PIC16F877A");
    FuseNameTable names;
    LoadFuseNames(names);
    TFuseFrameModel frame;
    frame.Build(r, names, TDescriptionFile(kGenerated + QStringLiteral("/fuses.txt")));
    frame.SelectDefaults(r, names);
    const QStringList choices = frame.ChoiceNames();
    for (const char *name : {"HS", "PUT", "BROWNOUT", "LVP", "CPD", "PROTECT", "WRT_256", "WRT_HALF", "NOWRT"})
        EXPECT_TRUE(choices.contains(name)) << name;
    EXPECT_FALSE(choices.contains("WDT"));   // the Timers page writes the watchdog fuses
    EXPECT_EQ(frame.SelectedFuses(), "RC, NOPUT, BROWNOUT, LVP, NOCPD, NOWRT, NODEBUG, NOPROTECT");
}

#if defined(KIV_KIVTOOL)
TEST_F(GeneratedDataTest, KivtoolPrintsFuseGroupsAndAnalogOptions)
{
    QProcess tool;
    tool.start(QStringLiteral(KIV_KIVTOOL), {"fuses", "--file", DevicesDat(), "--descriptions",
                                             kGenerated + "/fuses.txt", "PIC16F877A"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0);
    QString out = QString::fromLatin1(tool.readAllStandardOutput());
    for (const char *text : {"PIC16F877A: ", "* RC", "WRT_1FOURTH", "Default fuses: RC, NOPUT"})
        EXPECT_TRUE(out.contains(QLatin1String(text))) << text << "\n" << out.toStdString();

    tool.start(QStringLiteral(KIV_KIVTOOL), {"adc", "--file", DevicesDat(), "--options", kGenerated + "/KIV.HT", "PIC16F877A"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0);
    out = QString::fromLatin1(tool.readAllStandardOutput());
    for (const char *text : {"PIC16F877A: 8 channels, 10 bits", "* ADC_CLOCK_INTERNAL", "AN0_AN1_AN3", "A0 A1 A3"})
        EXPECT_TRUE(out.contains(QLatin1String(text))) << text << "\n" << out.toStdString();

    tool.start(QStringLiteral(KIV_KIVTOOL), {"adc", "--file", DevicesDat(), "--options", kGenerated + "/KIV.HT", "PIC12F508"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(QString::fromLatin1(tool.readAllStandardOutput()), "PIC12F508: no A/D converter\n");

    tool.start(QStringLiteral(KIV_KIVTOOL), {"fuses", "--file", DevicesDat(), "NOSUCH"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 1);
}

TEST_F(GeneratedDataTest, KivtoolPrintsOneRecordAndListsByKind)
{
    QProcess tool;
    tool.start(QStringLiteral(KIV_KIVTOOL), {"devices", "--file", DevicesDat(), "PIC16F877A"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0);
    const QString out = QString::fromLatin1(tool.readAllStandardOutput());
    for (const char *text : {"Name              PIC16F877A", "Kind              1 (14-bit PIC core)",
                             "Id                0x877A", "A 0x3F (A0-A5)", "E 0x07 (E0-E2)", "2 CCP",
                             "8 channels, 10 bits", "NOWDT=0x0000 WDT=0x0004", "LP=0x0000 XT=0x0001 HS=0x0002 RC=0x0003",
                             "1 RTCC", "10 RDA"})
        EXPECT_TRUE(out.contains(QLatin1String(text))) << text << "\n" << out.toStdString();

    tool.start(QStringLiteral(KIV_KIVTOOL), {"devices", "--file", DevicesDat(), "--kinds", "4"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(QString::fromLatin1(tool.readAllStandardOutput()), "SX18AC\nSX20AC\nSX28AC\nSX48BD\nSX52BD\n");

    tool.start(QStringLiteral(KIV_KIVTOOL), {"devices", "--file", DevicesDat(), "NOSUCHPART"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(tool.readAllStandardError().contains("no device \"NOSUCHPART\""));
}
#endif

#if defined(KIV_DEVGEN) && defined(KIV_GPASM)
TEST_F(GeneratedDataTest, GeneratorIsDeterministic)
{
    QTemporaryDir out;
    QProcess gen;
    gen.start(QStringLiteral(KIV_DEVGEN), {"--gpasm", QStringLiteral(KIV_GPASM), "--out-dir", out.path()});
    ASSERT_TRUE(gen.waitForFinished(300000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    EXPECT_EQ(test::ReadFile(out.filePath("devices.dat")), test::ReadFile(DevicesDat()));
    EXPECT_EQ(test::ReadFile(out.filePath("fuses.txt")), test::ReadFile(kGenerated + "/fuses.txt"));
    EXPECT_EQ(test::ReadFile(out.filePath("KIV.HT")), test::ReadFile(kGenerated + "/KIV.HT"));
    EXPECT_TRUE(gen.readAllStandardOutput().startsWith("devices.dat: "));
}
#endif
