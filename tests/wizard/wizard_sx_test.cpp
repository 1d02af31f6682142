// The SX wizard: timing texts, the multi-function timer groups, the oscillator list, the pins
// and the generated files (a golden C file and header, KIV_WIZARD_GOLDEN_WRITE=1 writes them).

#include "kivprompt.h"
#include "kivsxwiz_model.h"

#include "wizard_fixture.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

TEST(SxTimingTest, DurationTexts)
{
    EXPECT_EQ(SxDuration(5), ".5 ns");
    EXPECT_EQ(SxDuration(200), "20.0 ns");
    EXPECT_EQ(SxDuration(5000), "500 ns");
    EXPECT_EQ(SxDuration(123456), "12.3 us");
    EXPECT_EQ(SxDuration(20000000), "2.0 ms");
    EXPECT_EQ(SxShortDuration(5), ".5 us");
    EXPECT_EQ(SxShortDuration(123456), "12.3 ms");
    EXPECT_EQ(SxPeriodText(12500000, 256), "20.5 us");   // 204.8 rounds up
}

class SxWizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_model.Open();
        ASSERT_EQ(m_model.C("NP_DEVICE").items, (QStringList{"SX18T", "SX48T"}));
        ASSERT_TRUE(m_model.SelectDevice("SX48T"));
    }
    TWizardFixture m_fixture;
    TSxWizardModel m_model;
};

TEST_F(SxWizardTest, OscillatorListAndClock)
{
    // The fixture's fuse name table starts LP XT HS RC: four items, "HS" chosen.
    EXPECT_EQ(m_model.C("osc").items, (QStringList{"LP - <= 200 khz clock", "XT - <= 4 mhz clock",
                                                   "HS - 4-20 mhz clock", "RC - Resistor/Capacitor <= 4 mhz"}));
    EXPECT_EQ(m_model.C("osc").index, 2);
    EXPECT_EQ(m_model.C("np_rs232_x").ItemText(), "C6");
    EXPECT_EQ(m_model.C("np_I2C_sda").ItemText(), "C4");
    EXPECT_EQ(m_model.SectionText(spGeneral, 1), "#use delay(clock=50000000)\r\n#fuses HS,NOWDT\r\n");
}

TEST_F(SxWizardTest, PwmGoalsChooseThePrescaler)
{
    m_model.ShowPage(spOther);
    m_model.SetIndex("mode1", 1);
    m_model.SetValue("pwmf1", 5000000);
    EXPECT_EQ(m_model.C("prescale1").index, 0);   // E = 10, no halving
    EXPECT_EQ(m_model.C("comp11").value, 5);
    EXPECT_EQ(m_model.C("comp12").value, 5);
    EXPECT_EQ(m_model.C("desc11").caption, "PWM - Freq = 5000000 Hz,  Duty = 50.00%");
    EXPECT_EQ(m_model.C("desc12").caption, "High for 100 ns, Low for 100 ns");
    EXPECT_EQ(m_model.C("desc13").caption, "Output on pin B6.");
    m_model.SetValue("pwmf1", 10);
    EXPECT_EQ(m_model.C("prescale1").index, 7);   // 5 000 000 halved seven times: 39 062, "/ 128"
    EXPECT_EQ(m_model.C("comp11").value + m_model.C("comp12").value, 39062);
    EXPECT_FALSE(m_model.C("compgroup1").visible);
    EXPECT_TRUE(m_model.C("pwmgroup1").visible);
    // Timer mode: compare values back to 65535; the external counter.
    m_model.SetIndex("mode1", 0);
    EXPECT_EQ(m_model.C("comp11").value, 65535);
    EXPECT_EQ(m_model.C("desc11").caption, "Timer increments every 2.5 us");   // the prescaler stays at / 128
    m_model.SetChecked("ext1", true);
    EXPECT_EQ(m_model.C("desc11").caption, "Counter mode.");
    EXPECT_EQ(m_model.C("desc12").caption, "Overflows every 65356 counts.");
    m_model.SetIndex("mode2", 2);
    EXPECT_EQ(m_model.C("desc21").caption, "When C0 or C2 rises timer 2 value is captured.");
}

TEST_F(SxWizardTest, TimersPrescalerServesTimerZeroOrWatchdog)
{
    m_model.ShowPage(spTimers);
    EXPECT_FALSE(m_model.C("res1").enabled);
    EXPECT_TRUE(m_model.C("res2").checked);
    m_model.SetChecked("wdt72", true);
    EXPECT_TRUE(m_model.C("res1").checked);
    EXPECT_FALSE(m_model.C("res2").enabled);
    EXPECT_EQ(m_model.SectionText(spTimers, 3), "   setup_counters(RTCC_INTERNAL,WDT_72MS);\r\n");
    // NOWDT with res1 chosen: no prescaler name before ");".
    m_model.SetChecked("NOWDT", true);
    m_model.C("res2").checked = false;
    m_model.C("res1").checked = true;
    EXPECT_EQ(m_model.SectionText(spTimers, 3), "   setup_counters(RTCC_INTERNAL,);\r\n");
}

TEST_F(SxWizardTest, PinsPortsAndInterrupts)
{
    // A port whose pins are all "Not used" gets no io statement.
    m_model.ShowPage(spPins);
    for (int row = 0; row < m_model.Pins().size(); ++row)
        if (m_model.Pins()[row].pin.startsWith('D'))
            m_model.SetPinType(row, 5);
    const QString before = m_model.SectionText(spPins, 2);
    EXPECT_FALSE(before.contains("(D)"));
    EXPECT_TRUE(before.contains("#use fast_io(A)\r\n"));
    m_model.SetPinType(m_model.PinRow("B3"), 4);
    m_model.SetPinPullup(m_model.PinRow("B0"), true);
    EXPECT_TRUE(m_model.SectionText(spPins, 2).contains("#use standard_io(B)\r\n"));
    EXPECT_TRUE(m_model.SectionText(spPins, 3).contains(
        "   set_mode_B(mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLINmPULLUP);\r\n"));
    EXPECT_TRUE(m_model.SectionText(spPins, 3).contains("   set_mode_A(0,0,0,0,mTTLIN,mTTLIN,mTTLIN,mTTLIN);\r\n"));
    EXPECT_TRUE(m_model.SectionText(spPins, 3).contains("   set_mode_D(,,,,,,,);\r\n"));
    // Pin numbers start at 40 for A0.
    m_model.SetPinIdentifiers(m_model.PinRow("B1"), "PIN_B1,LED");
    EXPECT_EQ(m_model.SectionText(spPins, 1), "#define LED   49\r\n");

    m_model.SetChecked("intrb2", true);
    m_model.SetChecked("intrb2f", true);
    m_model.SetChecked("intrb5", true);
    EXPECT_EQ(m_model.SectionText(spInterrupts, 3),
              "   setup_miwu(miwuOFF,miwuOFF,miwuL2H,miwuOFF,miwuOFF,miwuH2L,miwuOFF,miwuOFF);\r\n");
    EXPECT_EQ(m_model.SectionText(spInterrupts, 2),
              "\r\n#int_rb2\r\nrb2_isr() {\r\n\r\n}\r\n\r\n\r\n#int_rb5\r\nrb5_isr() {\r\n\r\n}\r\n\r\n");
    m_model.SetChecked("intrb", true);
    EXPECT_TRUE(m_model.SectionText(spInterrupts, 2).startsWith("\r\n#int_rb\r\n"));

    // The small part has no timer groups; its timer interrupts are disabled.
    ASSERT_TRUE(m_model.SelectDevice("SX18T"));
    m_model.ShowPage(spOther);
    m_model.ShowPage(spInterrupts);
    EXPECT_FALSE(m_model.C("t1_box").visible);
    EXPECT_FALSE(m_model.C("intt1").enabled);
    EXPECT_TRUE(m_model.C("intrtcc").enabled);
}

TEST_F(SxWizardTest, RunWritesTheGoldenFilesAndNoProject)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    prompt.Queue(m_fixture.root + "sx_main");
    // The user's choices are made in the window, after the run start refreshed the device.
    const TSxRunResult r = RunSxWizard(m_model, [this] {
        for (int page = 0; page < spPageCount; ++page)
            m_model.ShowPage(page);
        m_model.SetChecked("NP_I2C", true);
        m_model.SetChecked("delaywdt", true);
        m_model.SetChecked("enable16", true);
        m_model.ShowPage(spOther);
        m_model.SetIndex("mode1", 1);
        m_model.SetValue("pwmf1", 20000);
        m_model.SetValue("pwmd1", 25);
        m_model.SetIndex("mode2", 2);
        m_model.SetChecked("output2", true);
        m_model.SetChecked("intt2capt", true);
        m_model.Click("SpinButton1");
        m_model.SetChecked("intrtcc", true);
        m_model.SetItemChecked("driverlist", 0, true);
        m_model.ShowPage(spPins);
        m_model.SetPinPullup(m_model.PinRow("B0"), true);
        m_model.SetPinIdentifiers(m_model.PinRow("B3"), "PIN_B3,BUTTON");
        m_model.SetPinType(m_model.PinRow("A1"), 3);
        return true;
    });
    ASSERT_EQ(r.cPath, m_fixture.root + "sx_main.c");
    EXPECT_EQ(r.headerPath, m_fixture.root + "sx_main.h");
    EXPECT_FALSE(QFileInfo::exists(m_fixture.root + "sx_main.pjt"));
    const bool write = qEnvironmentVariableIntValue("KIV_WIZARD_GOLDEN_WRITE") == 1;
    for (const QString ext : {".c", ".h"}) {
        QByteArray made = ReadFile(m_fixture.root + "sx_main" + ext);
        made.replace(m_fixture.root.toUtf8(), "@ROOT@/");
        const QString golden = SourceDir() + "/tests/wizard/golden/sx_main" + ext;
        if (write)
            WriteFile(golden, made);
        EXPECT_EQ(made, ReadFile(golden)) << ext.toStdString();
    }
    // Cancelling the file dialog writes nothing.
    EXPECT_TRUE(RunSxWizard(m_model, [] { return true; }).cPath.isEmpty());
}

}  // namespace
