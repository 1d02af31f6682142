// The project wizard's model: timing texts, the driver table, the page refresh rules on the
// fixture devices and on the installation's generated data, and the pin allocation.

#include "kivini.h"
#include "kivprompt.h"
#include "kivwizard_model.h"

#include "wizard_fixture.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

TEST(WizardTimingTest, FormatDurationAndPeriodText)
{
    const struct {
        qint64 n;
        const char *text;
    } cases[] = {{5, ".5 us"}, {5000, "500 us"}, {123456, "12.3 ms"}, {20000000, "2.0 s"},
                 {0, ".0 us"}, {9990, "999 us"}, {9991, ".9 ms"}, {99999, "9.9 ms"}, {9999990, "999 ms"}};
    for (const auto &c : cases)
        EXPECT_EQ(FormatDuration(c.n), c.text) << c.n;
    EXPECT_EQ(PeriodText(5000000, 1), ".2 us");      // 1 / 5 MHz = 0.2 us
    EXPECT_EQ(PeriodText(5000000, 256), "51.2 us");
    EXPECT_EQ(PeriodText(0, 1), "1.0 s");             // frequency 0 counts as 1 Hz: 10 000 000 units
}

TEST(WizardDriverTableTest, LinesFieldsAndRows)
{
    const TDriverTable t = ParseDriverTable(QString(FixtureDrivers()).split("\r\n"));
    ASSERT_EQ(t.records.size(), 4);
    EXPECT_EQ(t.rows, (QStringList{"Character LCD on port D", "Serial EEPROM 24LC256", "4x3 keypad"}));
    EXPECT_EQ(t.records[0].includeFile, "lcd.c");
    EXPECT_EQ(t.records[0].mainStatement, "lcd_init();");
    EXPECT_EQ(t.records[0].pinRequests, "2D0LCD_E,2D1LCD_RS,2D2LCD_RW,");
    // Only two "|": no row, and the rest is the request field.
    EXPECT_EQ(t.records[3].pinRequests, "0B7HIDDEN,");
}

TEST(WizardOpenTest, DeviceListBraceStyleAndDrivers)
{
    TWizardFixture fixture;
    TIniFile(SettingsFilePath()).WriteString("KIVWIZARD", "CODESTYLE", "sameline");
    TWizardModel model;
    fixture.Open(model);
    EXPECT_EQ(model.C("NP_DEVICE").items, (QStringList{"PIC12T508", "PIC16T877", "PIC18T452"}));
    EXPECT_EQ(model.C("NP_DEVICE").index, -1);   // no PIC16C74 in this file
    EXPECT_EQ(model.BraceStyle(), 1);
    EXPECT_EQ(model.C("driverlist").items.size(), 3);
    EXPECT_EQ(model.C("np_clock").value, 20000000);
    model.SetIndex("functiongenoptions", 0);
    model.WriteBraceStyle();
    EXPECT_EQ(TIniFile(SettingsFilePath()).ReadString("KIVWIZARD", "CODESTYLE"), "nextline");
}

// Enabled (E), disabled (D), visible (V) or hidden (H) states per device after each page shows.
struct TStateCase {
    const char *control;
    const char *pic12;
    const char *pic16;
    const char *pic18;
};

TEST(WizardRefreshTest, PageStatesFollowTheDevice)
{
    const TStateCase cases[] = {
        {"enableicd", "D", "E", "D"},   {"enable16", "D", "E", "E"},   {"NP_I2C", "D", "E", "E"},
        {"NP_PSP", "D", "E", "D"},      {"NP_SPI", "D", "E", "E"},     {"NP_LCD", "D", "D", "E"},
        {"timer1box", "D", "E", "E"},   {"timer2box", "D", "E", "E"},  {"np_rtccoff", "D", "D", "E"},
        {"timer3box", "D", "D", "E"},   {"timer4box", "H", "H", "V"},  {"ccp1box", "D", "E", "E"},
        {"vref", "D", "E", "D"},        {"compa", "D", "E", "D"},      {"adcclock", "D", "E", "E"},
        {"adc_pinsrb", "D", "E", "E"},  {"adctad", "H", "H", "V"},     {"adcrange", "H", "H", "V"},
    };
    TWizardFixture fixture;
    const char *devices[3] = {"PIC12T508", "PIC16T877", "PIC18T452"};
    for (int d = 0; d < 3; ++d) {
        TWizardModel model;
        fixture.Open(model);
        ASSERT_TRUE(model.SelectDevice(devices[d])) << devices[d];
        for (int page = 0; page < wpPageCount; ++page)
            model.ShowPage(page);
        for (const TStateCase &c : cases) {
            const char *want = d == 0 ? c.pic12 : d == 1 ? c.pic16 : c.pic18;
            const TWizardControl &control = model.C(c.control);
            const char *got = (*want == 'E' || *want == 'D') ? (control.enabled ? "E" : "D")
                                                             : (control.visible ? "V" : "H");
            EXPECT_STREQ(got, want) << devices[d] << " " << c.control;
        }
    }
}

TEST(WizardRefreshTest, DeviceStateOfTheFixtureParts)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    // Pins: ports A to E in order, no F to J.
    EXPECT_EQ(model.Pins().size(), 6 + 8 + 8 + 8 + 3);
    EXPECT_EQ(model.Pins().first().pin, "A0");
    EXPECT_EQ(model.Pins().last().pin, "E2");
    const QStringList names = model.PinNames();
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(names, sorted);
    // Pin drop-downs and their defaults.
    EXPECT_EQ(model.C("np_rs232_x").ItemText(), "C6");
    EXPECT_EQ(model.C("np_rs232_r").ItemText(), "C7");
    EXPECT_EQ(model.C("np_I2C_sda").ItemText(), "C4");
    EXPECT_EQ(model.C("np_I2C_scl").ItemText(), "C3");
    EXPECT_EQ(model.C("np_rs232_bit").ItemText(), "9");
    EXPECT_EQ(model.C("ccpx").items, (QStringList{"CCP1", "CCP2"}));
    // Interrupts from the "M" table with ints.txt descriptions.
    EXPECT_EQ(model.InterruptNames(), (QStringList{"RTCC", "AD", "TBE", "RDA", "TIMER1", "TIMER2"}));
    EXPECT_EQ(model.C("intchecklist").items.value(0), "Timer 0 overflow");
    EXPECT_EQ(model.C("intchecklist").items.value(1), "");
    // Analog: ports, the internal clock chosen, 10-bit units.
    EXPECT_EQ(model.C("adc_pinsrb").items.size(), 4);
    EXPECT_EQ(model.C("adc_pinsrb").index, 0);
    EXPECT_EQ(model.C("adcclock").index, 3);
    EXPECT_EQ(model.C("adcbits").items, (QStringList{"Units: 0-255", "Units: 0-1023", "Units: 0-65472"}));
    model.ShowPage(wpAnalog);
    EXPECT_EQ(model.C("adcclock").items.value(1), "Clock 1.6 us");   // Fosc/4 = 5 MHz, 8 counts

    // The 12-bit part: no interrupts, no A/D lists, pin defaults fall back.
    ASSERT_TRUE(model.SelectDevice("PIC12T508"));
    EXPECT_TRUE(model.InterruptNames().isEmpty());
    EXPECT_TRUE(model.C("adc_pinsrb").items.isEmpty());
    EXPECT_EQ(model.C("adcbits").items, (QStringList{"Units: 0-255", "Units: 0-0"}));
    EXPECT_EQ(model.C("np_I2C_sda").ItemText(), "B5");   // no C4, no B6: where B6 would sort (last)
}

TEST(WizardRefreshTest, TimersAndWatchdogShareThePrescaler)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    model.ShowPage(wpTimers);
    EXPECT_EQ(model.C("frequency0").value, 5000000);
    EXPECT_FALSE(model.C("frequency0").enabled);
    EXPECT_EQ(model.C("res1").caption, ".2 us");
    EXPECT_TRUE(model.C("t0resbox").enabled);
    EXPECT_FALSE(model.C("wdtsbox").enabled);
    // res1 checked by the run start: overflow = 1e9 / (5e6 * 100 / 256) = 51.2 us.
    EXPECT_EQ(model.C("overflow0").caption, "51.2 us");
    model.SetChecked("nowdt", false);
    EXPECT_TRUE(model.C("wdtsbox").enabled);
    EXPECT_FALSE(model.C("t0resbox").enabled);

    // Kind 3: the prescaler stays usable while the watchdog runs.
    ASSERT_TRUE(model.SelectDevice("PIC18T452"));
    model.ShowPage(wpTimers);
    model.SetChecked("nowdt", false);
    EXPECT_TRUE(model.C("t0resbox").enabled);
    EXPECT_TRUE(model.C("wdtsbox").enabled);
    // 16-bit timer 0 unless 8 bit is checked.
    EXPECT_EQ(model.C("overflow0").caption, "13.1 ms");
    model.SetChecked("np_rtcc8bit", true);
    EXPECT_EQ(model.C("overflow0").caption, "51.2 us");

    // Timer 2 period labels follow t2p and t2i.
    model.SetChecked("t2enabled", true);
    model.SetValue("t2p", 99);
    model.SetValue("t2i", 10);
    EXPECT_EQ(model.C("t2ptime").caption, "20.0 us");
    EXPECT_EQ(model.C("t2itime").caption, "200 us");
}

TEST(WizardRefreshTest, CapturePwmAndComparator)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    model.ShowPage(wpOther);
    model.SetIndex("ccp1mode", 1);
    EXPECT_EQ(model.C("ccp1l1").caption, "After 1 Rising edge on C2,  the timer 1");
    EXPECT_EQ(model.C("ccp1l2").caption, "value is copied to the CCP1 holding register.");
    EXPECT_EQ(model.C("t1mode").ItemText(), "Internal");
    EXPECT_EQ(model.ccpText[0], "   setup_ccp1(CCP_CAPTURE_RE);\r\n");
    EXPECT_EQ(model.ccpPinFunction[0], "CAPTURE1");

    model.SetIndex("ccp1mode", 3);
    EXPECT_TRUE(model.C("t2enabled").checked);
    EXPECT_EQ(model.C("ccp1l3").caption, "Pulse Width Modulator Output on C2");
    // t2p 0, prescaler 1: F = 20 MHz / 4 = 5 MHz; every period value is limited to 0.
    EXPECT_EQ(model.C("ccp1pwm").items.value(0), "5000.000 Khz, Duty=0 to 4");
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    prompt.Queue(1000);
    model.Click("ccp1new");
    EXPECT_EQ(model.C("ccp1pwm").items, (QStringList{"19.531 Khz, Duty=0 to 1024", "4.883 Khz, Duty=0 to 1024",
                                                     "1.221 Khz, Duty=0 to 1024"}));
    model.SetIndex("ccp1pwm", 2);
    EXPECT_TRUE(model.C("t2div16").checked);
    EXPECT_EQ(model.C("t2p").value, 255);

    for (int i = 0; i < 9; ++i)
        model.Click("np_spin");
    EXPECT_EQ(model.comparatorMode, 9);
    EXPECT_EQ(model.C("c1x").caption, "A3");
    EXPECT_EQ(model.C("c2z").caption, "C2OUT");
    model.Click("np_spin");
    EXPECT_EQ(model.comparatorMode, 0);
    model.Click("np_spin-");
    EXPECT_EQ(model.comparatorMode, 9);
}

TEST(WizardPinTest, AllocationAnalogRefusalAndIdentifierReset)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    // The keypad driver allocates two free pins; the LCD driver takes D0 to D2 for good.
    model.SetItemChecked("driverlist", 0, true);
    model.SetItemChecked("driverlist", 2, true);
    model.ShowPage(wpPins);
    EXPECT_EQ(model.Pins()[model.PinRow("D0")].identifiers, "PIN_D0,LCD_E");
    EXPECT_TRUE(model.Pins()[model.PinRow("D0")].reserved);
    EXPECT_EQ(model.Pins()[model.PinRow("A0")].identifiers, "PIN_A0,KBD_ROW1");
    EXPECT_EQ(model.Pins()[model.PinRow("A1")].identifiers, "PIN_A1,KBD_ROW2");
    EXPECT_TRUE(model.Pins()[model.PinRow("A1")].reserved);
    // A pin taken is not offered again: the next allocation skips A0 and A1.
    EXPECT_EQ(model.AllocatePin(0), "A2");
    // Freeing the keypad (showing the page again without it) offers A0 again.
    model.SetItemChecked("driverlist", 2, false);
    model.ShowPage(wpPins);
    EXPECT_FALSE(model.Pins()[model.PinRow("A0")].reserved);
    EXPECT_EQ(model.AllocatePin(0), "A0");

    // Analog is refused unless the pin is "Not used".
    const int b2 = model.PinRow("B2");
    EXPECT_FALSE(model.SetPinType(b2, 4));
    EXPECT_EQ(model.Pins()[b2].ioType, 0);
    EXPECT_TRUE(model.SetPinType(b2, 3));
    EXPECT_TRUE(model.SetPinType(b2, 4));

    // Extra identifiers typed by the user are cut back to the first when the page shows again.
    model.SetPinIdentifiers(b2, "LED,STATUS");
    model.ShowPage(wpPins);
    EXPECT_EQ(model.Pins()[b2].identifiers, "LED");

    // No pin fits: a message, and the first pin is returned.
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    EXPECT_EQ(model.AllocatePin(4), "B2");
    EXPECT_EQ(model.AllocatePin(4), "B2");
    model.SetPinType(b2, 0);
    EXPECT_EQ(model.AllocatePin(4), "A0");
    EXPECT_EQ(prompt.Messages(), QStringList{"Can not allocate all pins"});

    // Peripherals: PSP and SPI and an analog port option with reference pins.
    model.SetChecked("NP_PSP", true);
    model.SetChecked("NP_SPI", true);
    model.SetIndex("adc_pinsrb", 3);
    model.ShowPage(wpPins);
    EXPECT_EQ(model.Pins()[model.PinRow("E0")].identifiers, "PIN_E0,(PSP_RD)");
    EXPECT_EQ(model.Pins()[model.PinRow("C5")].identifiers, "PIN_C5,(SPI_DO)");
    EXPECT_EQ(model.Pins()[model.PinRow("A3")].identifiers, "PIN_A3,(Vrefh)");
    EXPECT_EQ(model.Pins()[model.PinRow("A2")].identifiers, "PIN_A2,(Vrefl)");
    EXPECT_EQ(model.Pins()[model.PinRow("A0")].ioType, 4);
}

// The installation's generated device data: the three parts the issue names.
TEST(WizardGeneratedDataTest, RealDevicesFillThePages)
{
    const QString stage = BuildDir() + "/stage/";
    if (!QFileInfo::exists(stage + "utils/devices.dat"))
        GTEST_SKIP() << "no staged installation";
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    SetExecutablePathForDirs(stage + "bin/kiv");
    TWizardModel model;
    model.Open();
    for (int page = 0; page < wpPageCount; ++page)
        model.ShowPage(page);

    ASSERT_TRUE(model.SelectDevice("PIC16F877A"));
    for (int page = 0; page < wpPageCount; ++page)
        model.ShowPage(page);
    EXPECT_TRUE(model.LastFileError().isEmpty()) << model.LastFileError().toStdString();
    EXPECT_TRUE(model.C("NP_I2C").enabled);
    EXPECT_TRUE(model.C("NP_PSP").enabled);
    EXPECT_TRUE(model.C("timer2box").enabled);
    EXPECT_EQ(model.C("ccpx").items, (QStringList{"CCP1", "CCP2"}));
    EXPECT_GT(model.C("adc_pinsrb").items.size(), 4);
    EXPECT_GE(model.Fuses().Controls().size(), 6);
    EXPECT_TRUE(model.InterruptNames().contains("RDA"));
    EXPECT_EQ(model.Pins().size(), 33);

    ASSERT_TRUE(model.SelectDevice("PIC18F452"));
    for (int page = 0; page < wpPageCount; ++page)
        model.ShowPage(page);
    EXPECT_TRUE(model.C("np_rtccoff").enabled);
    EXPECT_TRUE(model.C("timer3box").enabled);
    EXPECT_GT(model.C("adc_pinsrb").items.size(), 4);
    EXPECT_TRUE(model.InterruptNames().contains("TIMER3"));

    ASSERT_TRUE(model.SelectDevice("PIC12F508"));
    for (int page = 0; page < wpPageCount; ++page)
        model.ShowPage(page);
    for (const char *n : {"NP_I2C", "NP_PSP", "NP_SPI", "timer1box", "timer2box", "ccp1box", "adcclock",
                          "adc_pinsrb", "np_rtccoff", "timer3box"})
        EXPECT_FALSE(model.C(n).enabled) << n;
    EXPECT_TRUE(model.C("intchecklist").items.isEmpty());
    EXPECT_TRUE(model.C("adc_pinsrb").items.isEmpty());
    SetExecutablePathForDirs(QString());
}

}  // namespace
