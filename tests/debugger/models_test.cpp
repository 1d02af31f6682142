// The window-free parts of the debug windows: sfr.txt parsing and output, the expression under
// the mouse and the hint's place, watch formats, verification texts, the snapshot's unique file
// names, the option table and the ROM window's HEX reader.

#include "kivdbgsnap_model.h"
#include "kivini.h"
#include "testfiles.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"
#include "uEditHint_model.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

// --- sfr.txt --------------------------------------------------------------------------------------

namespace {

QStringList Parse(const QStringList &lines, const QStringList &features, std::function<int(int)> ram,
                  QStringList *notes = nullptr)
{
    TFileProcessor parse(features, std::move(ram));
    parse.Parse(lines);
    if (notes)
        *notes = parse.Notes();
    return parse.Output();
}

}  // namespace

TEST(SfrParser, RegisterLineWithMaskAndValue)
{
    const QStringList out = Parse({QStringLiteral(":ADCON1, 9F, 3F")}, {}, [](int) { return 0xC5; });
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out.at(0), QStringLiteral("ADCON1     9f    XX000101   0xc5  "));
    EXPECT_TRUE(out.at(1).isEmpty());
    EXPECT_TRUE(out.at(2).isEmpty());
}

TEST(SfrParser, AddressesFromTwoToThreeDigits)
{
    EXPECT_EQ(TFileProcessor::AddressText(0x5), QStringLiteral("05"));
    EXPECT_EQ(TFileProcessor::AddressText(0xFF), QStringLiteral("ff"));
    EXPECT_EQ(TFileProcessor::AddressText(0x181), QStringLiteral("181"));
}

TEST(SfrParser, ConditionsOfRegisterLines)
{
    const QStringList lines = {QStringLiteral(":ADRESH,1E,FF(A/DNORM)"), QStringLiteral(":TMR0,01,FF(PIC16)"),
                               QStringLiteral(":T0CON,FD5,FF(PIC18)")};
    TFileProcessor pic16({QStringLiteral("PIC16"), QStringLiteral("INTS")}, [](int) { return 0; });
    pic16.Parse(lines);
    ASSERT_EQ(pic16.Registers().size(), 1);
    EXPECT_EQ(pic16.Registers().at(0).name, QStringLiteral("TMR0"));
}

TEST(SfrParser, NegatedGroupConditions)
{
    const QStringList lines = {QStringLiteral(":OPTION_REG,81,FF"), QStringLiteral("!PS,OPTION_REG.0:3(!PIC18)"),
                               QStringLiteral("0:1:2"), QStringLiteral("7:1:256")};
    TFileProcessor pic16({QStringLiteral("PIC16")}, [](int) { return 0x07; });
    pic16.Parse(lines);
    ASSERT_EQ(pic16.Groups().size(), 1);
    EXPECT_EQ(pic16.Output().last(), QStringLiteral("PS         81.0-2          7   1:256"));
    TFileProcessor pic18({QStringLiteral("PIC18")}, [](int) { return 0x07; });
    pic18.Parse(lines);
    EXPECT_TRUE(pic18.Groups().isEmpty());
    EXPECT_TRUE(pic18.Notes().isEmpty());   // value lines of a failed group are skipped quietly
}

TEST(SfrParser, FieldOfWidthThree)
{
    const QStringList out = Parse({QStringLiteral(":ADCON0,1F,FF"), QStringLiteral("!CHS,ADCON0.4:3")}, {},
                                  [](int) { return 0x50; });
    EXPECT_EQ(out.last(), QStringLiteral("CHS        1f.4-6          5   "));
}

TEST(SfrParser, GroupsJoinFieldsOfSeveralRegisters)
{
    // The first field gives the low bits.
    const QStringList out = Parse({QStringLiteral(":A,20,FF"), QStringLiteral(":B,21,FF"), QStringLiteral("!AB,A.7,B.0"),
                                   QStringLiteral("3:both")},
                                  {}, [](int address) { return address == 0x20 ? 0x80 : 0x01; });
    EXPECT_EQ(out.last(), QStringLiteral("AB         20.7,21.0       3   both"));
}

TEST(SfrParser, GroupNamingAnUndefinedRegisterKeepsTheOthers)
{
    const QStringList out = Parse({QStringLiteral(":A,20,FF"), QStringLiteral("!G,A.1,MISSING.0")}, {},
                                  [](int) { return 0x02; });
    EXPECT_EQ(out.last(), QStringLiteral("G          20.1            1   "));
}

TEST(SfrParser, CommentsBlankLinesAndMalformedLines)
{
    QStringList notes;
    const QStringList out = Parse({QStringLiteral("// heading"), QStringLiteral(":A,20,FF // the A register"),
                                   QStringLiteral("   "), QStringLiteral(":B,zz,FF"), QStringLiteral(":C,21"),
                                   QStringLiteral("!G,A.9"), QStringLiteral("stray text"), QStringLiteral(":D,22,FF(PIC16")},
                                  {QStringLiteral("PIC16")}, [](int) { return 1; }, &notes);
    EXPECT_EQ(out.first().left(10), QStringLiteral("A         "));
    EXPECT_EQ(out.size(), 3);   // only A survives, then the two empty lines
    EXPECT_EQ(notes.size(), 4);   // the stray line after the bad group line is one of its values
    EXPECT_TRUE(notes.at(0).contains(QStringLiteral(":B,zz,FF")));
}

TEST(SfrParser, ValueListEndsAtALineWithoutANumber)
{
    QStringList notes;
    const QStringList out = Parse({QStringLiteral(":A,20,FF"), QStringLiteral("!G,A.0"), QStringLiteral("0:off"),
                                   QStringLiteral("x:on"), QStringLiteral("1:late")},
                                  {}, [](int) { return 1; }, &notes);
    EXPECT_EQ(out.last(), QStringLiteral("G          20.0            1   "));
    EXPECT_EQ(notes.size(), 2);
}

TEST(SfrParser, RedefinedRegisterTakesTheNewAddress)
{
    const QStringList out = Parse({QStringLiteral(":A,20,FF"), QStringLiteral(":A,30,0F")}, {},
                                  [](int address) { return address; });
    EXPECT_EQ(out.first(), QStringLiteral("A          30    XXXX0000   0x30  "));
}

TEST(SfrFile, SectionsEndAtBlankLinesAndTags)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sfr.txt"));
    ASSERT_TRUE(kiv::test::WriteFile(path, "#ADC\r\n:ADCON0,1F,FF\r\n\r\n:OUTSIDE,1,FF\r\n#TIMER0\r\n:TMR0,1,FF\r\n#IR\r\n"));
    QStringList lines;
    ASSERT_TRUE(TDebugPeripheralsModel::ReadSection(path, QStringLiteral("#ADC"), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral(":ADCON0,1F,FF")});
    ASSERT_TRUE(TDebugPeripheralsModel::ReadSection(path, QStringLiteral("#TIMER0"), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral(":TMR0,1,FF")});
    ASSERT_TRUE(TDebugPeripheralsModel::ReadSection(path, QStringLiteral("#USB"), lines));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_FALSE(TDebugPeripheralsModel::ReadSection(dir.filePath(QStringLiteral("none.txt")), QStringLiteral("#ADC"), lines));
}

TEST(SfrDevice, FeatureTokensAndGroups)
{
    DeviceRecord d;
    d.setName(QStringLiteral("PIC16F84A"));
    d.setKind(1);
    d.setEepromSize(4);
    d.setPortMask('A', 0x1F);
    d.setPortMask('B', 0xFF);
    EXPECT_EQ(TDebugPeripheralsModel::FeatureTokens(d),
              (QStringList{QStringLiteral("PIC16"), QStringLiteral("INTS"), QStringLiteral("TRIS"), QStringLiteral("PIC16F84A")}));
    QStringList captions;
    for (const TPeripheralGroup &group : TDebugPeripheralsModel::GroupsFor(d))
        captions << group.caption;
    // No A/D converter: no "Analog/Digital Conv".
    EXPECT_EQ(captions, (QStringList{QStringLiteral("I/O Ports"), QStringLiteral("Timer 0"), QStringLiteral("EEPROM"),
                                     QStringLiteral("Misc MPU Registers"), QStringLiteral("Interrupts")}));
    EXPECT_EQ(TDebugPeripheralsModel::PortLines(d),
              (QStringList{QStringLiteral(":PORTA,05,1F"), QStringLiteral(":TRISA,85,1F"), QStringLiteral(":PORTB,06,FF"),
                           QStringLiteral(":TRISB,86,FF")}));
}

TEST(SfrDevice, Pic18Ports)
{
    DeviceRecord d;
    d.setKind(3);
    d.setPortMask('C', 0xFF);
    d.setPortMask('K', 0x0F);
    EXPECT_EQ(TDebugPeripheralsModel::PortLines(d),
              (QStringList{QStringLiteral(":PORTC,F82,FF"), QStringLiteral(":TRISC,F94,FF"), QStringLiteral(":LATC,F8B,FF"),
                           QStringLiteral(":PORTK,F7D,0F"), QStringLiteral(":TRISK,F7F,0F")}));
}

// --- the expression under the mouse ---------------------------------------------------------------

TEST(MouseOver, Expressions)
{
    struct Case {
        const char *line;
        int column;
        const char *expression;
    };
    const Case cases[] = {
        {"(a+b)*c", 1, "(a+b)"},
        {"(a+b)*c", 5, "(a+b)"},
        {"f((x))", 2, "((x))"},
        {"s.b.c", 3, "s.b"},
        {"s.b.c", 5, "s.b.c"},
        {"s.b.c", 1, "s"},
        {"tbl[i]", 4, "tbl[i]"},
        {"tbl[i]", 6, "tbl[i]"},
        {"tbl[i]", 5, "i"},
        {"p . x", 5, "p.x"},
        {"x = 123;", 6, ""},
        {"count", 9, ""},
        {"  count++;", 4, "count"},
        {"a[1][2].m", 9, "a[1][2].m"},
        {"#define LED", 3, "#define"},
        {"x = .5", 6, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MouseOverExpression(QLatin1String(c.line), c.column), QLatin1String(c.expression))
            << c.line << " @" << c.column;
}

TEST(MouseOver, SuffixOfTheRadix)
{
    EXPECT_EQ(QStringLiteral("count") + MouseOverSuffix(2) + QStringLiteral("=") + QStringLiteral("00000101"),
              QStringLiteral("count,b=00000101"));
    EXPECT_EQ(MouseOverSuffix(0), QString());
    EXPECT_EQ(MouseOverSuffix(1), QStringLiteral(",h"));
}

TEST(MouseOver, MovesOfOnePixelKeepTheHint)
{
    EXPECT_FALSE(HintMoveIsSignificant(QPoint(10, 10), QPoint(11, 9)));
    EXPECT_TRUE(HintMoveIsSignificant(QPoint(10, 10), QPoint(12, 10)));
}

TEST(MouseOver, HintNearTheBottomMovesUpAndAside)
{
    const QSize screen(1000, 800);
    const QRect normal = HintPlacement(QSize(100, 14), 1, QPoint(200, 300), screen);
    EXPECT_EQ(normal, QRect(200, 314, 104, 21));
    const QRect low = HintPlacement(QSize(100, 14), 1, QPoint(200, 790), screen);
    EXPECT_EQ(low.y(), 764);   // 804 moved up twice by 20
    EXPECT_EQ(low.x(), 205);
    const QRect right = HintPlacement(QSize(300, 14), 1, QPoint(900, 790), screen);
    EXPECT_EQ(right.x(), 900 - 304 - 5);
    const QRect wide = HintPlacement(QSize(900, 14), 1, QPoint(10, 10), screen);
    EXPECT_EQ(wide.width(), 470);
}

// --- watches -------------------------------------------------------------------------------------

TEST(WatchFormat, SplitAndSuffix)
{
    struct Case {
        const char *text;
        const char *expression;
        int format;
        int places;
    };
    const Case cases[] = {
        {"a,b", "a", wfBinary, 4}, {"a,q", "a", wfDecimal, 4}, {"x.y,.", "x.y", wfFloat, 0},
        {"f,.3", "f", wfFloat, 3}, {"f,.z", "f", wfFloat, 0},  {"buf[1],s", "buf[1]", wfString, 4},
        {"plain", "plain", wfDecimal, 4},
    };
    for (const Case &c : cases) {
        QString expression;
        int format = -1;
        int places = -1;
        TDebugWatchesModel::SplitExpression(QLatin1String(c.text), expression, format, places);
        EXPECT_EQ(expression, QLatin1String(c.expression)) << c.text;
        EXPECT_EQ(format, c.format) << c.text;
        EXPECT_EQ(places, c.places) << c.text;
    }
    EXPECT_EQ(TDebugWatchesModel::Suffix(wfHex), QStringLiteral(",h"));
    EXPECT_EQ(TDebugWatchesModel::Suffix(wfFloat, 2), QStringLiteral(",.2"));
    EXPECT_EQ(TDebugWatchesModel::VariableText(QStringLiteral("count int8 0x20")), QStringLiteral("count"));
    EXPECT_EQ(TDebugWatchesModel::DefineText(QStringLiteral("#define  LED PIN_B0")), QStringLiteral("LED"));
}

// --- stack lines ------------------------------------------------------------------------------------

TEST(StackText, LinesAndNames)
{
    EXPECT_EQ(TDebugStackModel::SplitLines(QStringLiteral("main()\r\n   delay(\"a\rb\")\n\n@const12")),
              (QStringList{QStringLiteral("main()"), QStringLiteral("delay(\"a\rb\")"), QStringLiteral("@const12")}));
    EXPECT_EQ(TDebugStackModel::LineName(QStringLiteral("main(x=1)")), QStringLiteral("main"));
    EXPECT_EQ(TDebugStackModel::LineName(QStringLiteral("@const12")), QStringLiteral("@const12"));
}

// --- verification texts ----------------------------------------------------------------------------

TEST(Verification, SectionsRowsAndFuses)
{
    QString text;
    for (int i = 0; i < 250; ++i)
        text += QStringLiteral("%1\t3FFF\t0000\n").arg(i, 4, 16, QLatin1Char('0'));
    text += QStringLiteral("\n\n");   // no data memory section
    text += QStringLiteral("w1\t3F72\t3F71\nw2\t0000\t0000\nHS\tWDT\nXT\tWDT\tPUT\n");
    const TVerificationResults r = TVerificationResults::Parse(text);
    ASSERT_EQ(r.program.size(), 200);
    EXPECT_EQ(r.program.at(198).address, QStringLiteral("00c6"));
    EXPECT_EQ(r.program.at(199).note, QStringLiteral("Additional verification errors not shown"));
    EXPECT_TRUE(r.data.isEmpty());
    EXPECT_EQ(r.actualFuses, QStringLiteral("3F72 0000 "));
    EXPECT_EQ(r.expectedFuses, QStringLiteral("3F71 0000 "));
    ASSERT_EQ(r.fuses.size(), 3);
    EXPECT_TRUE(r.fuses.at(0).Mismatch());    // HS against XT
    EXPECT_FALSE(r.fuses.at(1).Mismatch());   // WDT against WDT
    EXPECT_EQ(r.fuses.at(2).actual, QString());
    EXPECT_EQ(r.fuses.at(2).expected, QStringLiteral("PUT"));
    EXPECT_EQ(r.activePage, 0);
}

// --- snapshot file names ------------------------------------------------------------------------------

TEST(SnapshotName, UniqueNames)
{
    QSet<QString> existing = {QStringLiteral("debuglog.txt")};
    const auto exists = [&existing](const QString &name) { return existing.contains(name); };
    EXPECT_EQ(TSnapshotModel::UniqueName(QStringLiteral("debuglog.txt"), exists), QStringLiteral("debuglog1.txt"));
    existing << QStringLiteral("debuglog1.txt");
    EXPECT_EQ(TSnapshotModel::UniqueName(QStringLiteral("debuglog.txt"), exists), QStringLiteral("debuglog2.txt"));
    existing = {QStringLiteral("log9.txt")};
    EXPECT_EQ(TSnapshotModel::UniqueName(QStringLiteral("log9.txt"), exists), QStringLiteral("log19.txt"));
    existing = {QStringLiteral("99")};
    EXPECT_EQ(TSnapshotModel::UniqueName(QStringLiteral("99"), exists), QStringLiteral("199"));
    EXPECT_EQ(TSnapshotModel::UniqueName(QStringLiteral("free.txt"), exists), QStringLiteral("free.txt"));
}

TEST(SnapshotSettings, ProfileRoundTripAndDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.sna"));
    TSnapshotSettings s;
    s.where = TSnapshotSettings::swUnique;
    s.ram = true;
    s.ramstart = 0x20;
    s.romend = 0x1FFF;
    TIniFile ini(path);
    s.Save(ini);
    TSnapshotSettings back;
    back.Load(TIniFile(path));
    EXPECT_EQ(back.where, TSnapshotSettings::swUnique);
    EXPECT_TRUE(back.ram);
    EXPECT_EQ(back.ramstart, 0x20);
    EXPECT_EQ(back.romend, 0x1FFF);
    EXPECT_TRUE(back.status);
    // An empty profile: "where" 0 and every box off.
    TSnapshotSettings empty;
    empty.Load(TIniFile(dir.filePath(QStringLiteral("none.sna"))));
    EXPECT_EQ(empty.where, 0);
    EXPECT_FALSE(empty.status);
    EXPECT_FALSE(empty.rompc);
    EXPECT_EQ(empty.filename, QStringLiteral("debuglog.txt"));
}

// --- the option table ------------------------------------------------------------------------------

TEST(DebugOptions, IdeRowsStoredValuesApplyAndAbort)
{
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("kiv.ini"));
    TDebugConfigureModel model(settings);
    EXPECT_EQ(model.Options().size(), 7);
    EXPECT_EQ(TDebugConfigureModel::KeyOf(QStringLiteral("Compile Reload")), QStringLiteral("COMPILE_RELOAD"));
    EXPECT_TRUE(model.Applied().compileReload);
    EXPECT_EQ(model.GetOption(QStringLiteral("mouse over radix")), QStringLiteral("Default"));
    EXPECT_EQ(model.GetOption(QStringLiteral("ICD F/W")), QStringLiteral(" "));
    // Without a debugger type nothing is stored; with one the values go under its name.
    model.SetShown(0, QStringLiteral("False"));
    EXPECT_TRUE(model.EditsPending());
    model.AbortOptions();
    EXPECT_EQ(model.Shown(0), QStringLiteral("True"));
    EXPECT_FALSE(model.EditsPending());
}

TEST(DebugOptions, RowFieldsAndTheProcessorRow)
{
    const TDebugOption row = TDebugOption::FromText(QStringLiteral("Port;L;COM1,COM2;COM2;The port; the serial one"));
    EXPECT_EQ(row.name, QStringLiteral("Port"));
    EXPECT_EQ(row.Kind(), QLatin1Char('L'));
    EXPECT_EQ(row.Choices(), (QStringList{QStringLiteral("COM1"), QStringLiteral("COM2")}));
    EXPECT_EQ(row.hint, QStringLiteral("The port; the serial one"));
    EXPECT_FALSE(row.ReadOnly());
    EXPECT_TRUE(TDebugOption::FromText(QStringLiteral("F;SR;;v;h")).ReadOnly());
    EXPECT_EQ(TDebugOption::FromText(QString(300, QLatin1Char('x'))).Text().size(), 255);
    QTemporaryDir dir;
    TDebugConfigureModel model(dir.filePath(QStringLiteral("kiv.ini")));
    model.SetProcessor(QStringLiteral("PIC18F452"));
    EXPECT_EQ(model.GetOption(QStringLiteral("Processor")), QStringLiteral("PIC18F452"));
    EXPECT_EQ(model.Options().last().Text(), QStringLiteral("Processor;SR;;PIC18F452;The target microcontroller part number"));
}
