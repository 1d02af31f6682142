// The files the project wizard writes: golden C, header and project files for a handful of
// wizard states (each compared byte for byte with a checked-in file; KIV_WIZARD_GOLDEN_WRITE=1
// writes them afresh for a reviewer to read), the section rules the Part's edge cases name, the
// header path rules and the run's failures.

#include "kivprompt.h"
#include "kivwizard_code.h"
#include "kivwizard_model.h"

#include "wizard_fixture.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

struct TGoldenCase {
    const char *name;
    const char *device;
    QList<QPair<QString, QString>> settings;
};

QList<TGoldenCase> GoldenCases()
{
    return {
        // Defaults of a 14-bit part: the brace on the following line, no watchdog.
        {"mid_default", "PIC16T877", {}},
        // Every main choice of a 14-bit part, brace on the same line.
        {"mid_full",
         "PIC16T877",
         {{"functiongenoptions", "1"}, {"np_clock", "4000000"}, {"enable16", "1"}, {"enableicd", "1"},
          {"delaywdt", "1"},
          {"np_rs232_b", "19200"}, {"NP_rs232_p", "Even"}, {"np_rs232_bit", "8"},
          {"np_rs232_stream", "PC"}, {"np_rs232_eblel", "1"}, {"np_rs232_eble", "B3"},
          {"np_rs232_errors", "1"}, {"np_rs232_invert", "1"},
          {"NP_I2C", "1"}, {"np_i2c_mode", "Slave"}, {"np_i2c_add", "A0"}, {"np_i2c_frchw", "1"},
          {"NP_PSP", "1"},
          {"NP_SPI", "1"}, {"SPI_DATA", "2"}, {"SPI_CLOCK", "1"}, {"spi_se", "1"},
          {"nowdt", "0"}, {"wdt72", "1"}, {"t0ext2", "1"},
          {"t1mode", "Internal"}, {"t1res4", "1"}, {"t2enabled", "1"}, {"t2div4", "1"}, {"t2p", "99"},
          {"t2i", "5"},
          {"adc_pinsrb", "3"}, {"adcbits", "1"}, {"adcclock", "ADC_CLOCK_DIV_32"},
          {"ccp1mode", "PWM"}, {"ccp1pwm", "0"}, {"np_spin", "1"}, {"np_spin", "1"}, {"vref", "20"},
          {"vrefra2", "1"},
          {"intchecklist", "RDA"}, {"intchecklist", "TIMER1"},
          {"driverlist", "0"}, {"driverlist", "2"},
          {"pin:B4", "PIN_B4,LED,STATUS"}, {"pin:B5", "BUTTON,\"quoted\",(RESERVED)"}, {"pullups", "1"},
          {"np_stdio", "1"}, {"np_string", "1"}, {"np_smtp", "1"}, {"np_zeroram", "1"}}},
        // Two interrupts with the brace on the following line; capture on CCP2; compare fuse choice.
        {"mid_capture",
         "PIC16T877",
         {{"NP_RS232", "0"}, {"ccpx", "CCP2"}, {"ccp1mode", "Capture "}, {"ccp1edge", "Falling"},
          {"ccp1input", "2"}, {"intchecklist", "RTCC"}, {"intchecklist", "TIMER2"}, {"nowdt", "0"}}},
        // A PIC18 part: watchdog postscaler, 8-bit timer 0, timers 3 and 4, acquisition and range, the
        // LCD with three segment groups, I2C master (so no SPI statement).
        {"pic18",
         "PIC18T452",
         {{"nowdt", "0"}, {"wdt576", "1"}, {"res8", "1"}, {"np_rtcc8bit", "1"}, {"t3_mode", "External"},
          {"t3res3", "1"}, {"t4enabled", "1"}, {"t4div16", "1"}, {"t4p", "200"}, {"t4i", "3"},
          {"adc_pinsrb", "ALL_ANALOG"}, {"adcrange", "1"}, {"adctad", "1"}, {"intchecklist", "RDA"},
          {"NP_LCD", "1"}, {"lcd_type", "2"}, {"lcd_timer1", "1"}, {"lcd_res", "7"}, {"lcd_seg4", "1"},
          {"lcd_seg15", "1"}, {"lcd_segall", "1"}, {"NP_I2C", "1"}}},
        // A 12-bit part with no peripherals; the watchdog on and nothing else.
        {"pic12", "PIC12T508", {{"nowdt", "0"}, {"wdt2304", "1"}, {"np_rs232_x", "B0"}, {"np_rs232_r", "B1"}}},
    };
}

QString Golden(const QString &file)
{
    return SourceDir() + "/tests/wizard/golden/" + file;
}

TEST(WizardGoldenTest, GeneratedFilesEqualTheCheckedInFiles)
{
    const bool write = qEnvironmentVariableIntValue("KIV_WIZARD_GOLDEN_WRITE") == 1;
    for (const TGoldenCase &c : GoldenCases()) {
        SCOPED_TRACE(c.name);
        TWizardFixture fixture;
        TWizardModel model;
        fixture.Open(model);
        QString error;
        ASSERT_TRUE(RunWizardScript(model, c.device, c.settings, &error)) << error.toStdString();
        const QString cPath = fixture.root + "proj/" + c.name + ".c";
        QDir().mkpath(fixture.root + "proj");
        const TWizardRunResult result = WriteWizardFiles(model, cPath, "/inc/a;/inc/b");
        ASSERT_EQ(result.cPath, cPath) << result.error.toStdString();
        for (const QString ext : {".c", ".h", ".pjt"}) {
            QByteArray made = ReadFile(fixture.root + "proj/" + c.name + ext);
            made.replace(fixture.root.toUtf8(), "@ROOT@/");
            const QString golden = Golden(QString(c.name) + ext);
            if (write)
                WriteFile(golden, made);
            EXPECT_EQ(made, ReadFile(golden)) << (c.name + ext).toStdString();
        }
    }
}

// The texts the Part spells out, one case at a time.
TEST(WizardSectionTest, EdgeCasesOfTheSections)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    QString error;

    // Kind 1, watchdog on: the Timer 0 statement and the watchdog call share one line.
    ASSERT_TRUE(RunWizardScript(model, "PIC16T877", {{"nowdt", "0"}}, &error));
    EXPECT_TRUE(SectionText(model, wpTimers, plInMain)
                    .startsWith("   setup_timer_0(RTCC_INTERNAL);setup_wdt(WDT_18MS);\r\n"));

    // No fuse chosen that the frame offers: "#fuses NOWDT," and nothing after the comma.
    TWizardModel bare;
    fixture.Open(bare);
    ASSERT_TRUE(RunWizardScript(bare, "PIC16T877", {}, &error));
    EXPECT_TRUE(SectionText(bare, wpGeneral, plHeader).contains("#fuses NOWDT,HS") ||
                SectionText(bare, wpGeneral, plHeader).contains("#fuses NOWDT,RC"));

    // The I/O Pins section writes no #define for a pin whose only identifier is its default.
    EXPECT_EQ(SectionText(bare, wpPins, plHeader), QString());
    // Two interrupts, same-line braces: two routines, two enables and one GLOBAL.
    ASSERT_TRUE(RunWizardScript(bare, "PIC16T877",
                                {{"functiongenoptions", "1"}, {"intchecklist", "RTCC"}, {"intchecklist", "RDA"}},
                                &error));
    EXPECT_EQ(SectionText(bare, wpInterrupts, plBeforeMain),
              "#int_RTCC\r\nRTCC_isr() {\r\n\r\n}\r\n\r\n#int_RDA\r\nRDA_isr() {\r\n\r\n}\r\n\r\n");
    EXPECT_EQ(SectionText(bare, wpInterrupts, plInMain),
              "   enable_interrupts(INT_RTCC);\r\n   enable_interrupts(INT_RDA);\r\n"
              "   enable_interrupts(GLOBAL);\r\n");
    // The preview shows each placement with its heading.
    EXPECT_EQ(PreviewText(bare, wpInterrupts),
              "\r\nInserted into .c file before main():\r\n\r\n"
              "#int_RTCC\r\nRTCC_isr() {\r\n\r\n}\r\n\r\n#int_RDA\r\nRDA_isr() {\r\n\r\n}\r\n\r\n"
              "\r\nInserted into .c file in main():\r\n\r\n"
              "   enable_interrupts(INT_RTCC);\r\n   enable_interrupts(INT_RDA);\r\n"
              "   enable_interrupts(GLOBAL);\r\n");
    // A port option without analog pins chooses the first clock.
    ASSERT_TRUE(RunWizardScript(bare, "PIC16T877", {{"adc_pinsrb", "0"}, {"adcclock", "2"}}, &error))
        << error.toStdString();
    EXPECT_EQ(SectionText(bare, wpAnalog, plInMain), "   setup_adc_ports(NO_ANALOGS);\r\n   setup_adc(ADC_OFF);\r\n");
}

TEST(WizardSectionTest, SectionWriterSplitsAtCarriageReturns)
{
    QString out;
    AppendSection(out, "");
    EXPECT_EQ(out, "");
    AppendSection(out, "a\r\nb");
    EXPECT_EQ(out, "a\r\nb\r\n");
    AppendSection(out, "c\r\n\r\n");
    EXPECT_EQ(out, "a\r\nb\r\nc\r\n\r\n");
}

TEST(WizardPathTest, HeaderPathAndProjectBase)
{
    struct {
        const char *c;
        const char *header;
        const char *base;
        const char *extension;
    } cases[] = {
        {"/p/main.c", "/p/main.h", "/p/main", "c"},
        {"/p/main.txt", "/p/main.txt.h", "/p/main.txt", ""},
        {"/p/MAIN.C", "/p/MAIN.C.h", "/p/MAIN.C", ""},
        // A folder with ".c" in its name does not cut the path.
        {"/p/proj.cfg/main.c", "/p/proj.cfg/main.h", "/p/proj.cfg/main", "c"},
        {"/p/a.cpp", "/p/a.h", "/p/a", "cpp"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(WizardHeaderPath(c.c), c.header) << c.c;
        QString base, extension;
        WizardProjectBase(c.c, &base, &extension);
        EXPECT_EQ(base, c.base) << c.c;
        EXPECT_EQ(extension, c.extension) << c.c;
    }
}

TEST(WizardRunTest, CancelWritesNothingAndANameGetsDotC)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);

    // Cancelled file dialog.
    EXPECT_TRUE(RunProjectWizard(model, {}, [] { return true; }).cPath.isEmpty());
    // Cancelled window.
    prompt.Queue(fixture.root + "one");
    EXPECT_TRUE(RunProjectWizard(model, {}, [] { return false; }).cPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(fixture.root + "one.c"));
    EXPECT_FALSE(QFileInfo::exists(fixture.root + "one.h"));
    // OK: a name without an extension gets ".c"; C, header and project are written.
    prompt.Queue(fixture.root + "two");
    const TWizardRunResult r = RunProjectWizard(model, {}, [] { return true; });
    EXPECT_EQ(r.cPath, fixture.root + "two.c");
    EXPECT_EQ(r.headerPath, fixture.root + "two.h");
    EXPECT_TRUE(ReadFile(r.cPath).startsWith("#include \"" + (fixture.root + "two.h").toUtf8() + "\"\r\n"));
    EXPECT_TRUE(ReadFile(r.headerPath).startsWith("#include <16T877.h>\r\n"));
    EXPECT_TRUE(ReadFile(fixture.root + "two.pjt").contains("Processor=0x877F"));
}

TEST(WizardRunTest, AFileThatCannotBeCreatedEndsTheRunWithAMessage)
{
    TWizardFixture fixture;
    TWizardModel model;
    fixture.Open(model);
    ASSERT_TRUE(model.SelectDevice("PIC16T877"));
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    prompt.Queue(fixture.root + "missing/folder/main.c");
    const TWizardRunResult r = RunProjectWizard(model, {}, [] { return true; });
    EXPECT_TRUE(r.cPath.isEmpty());
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_EQ(prompt.Messages().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(fixture.root + "missing"));
}

}  // namespace
