// C programs in the simulator, end to end: the C compiler (vync, the compiler behind the C
// editions) and gputils build a program for the PIC16F877A, and a debug session runs it in the
// simulator debugger library (debuggers/SIMDLL/kivsim.so) with the watch library. What the
// built-in functions do is read back through the session: a 1 ms delay timed by Timer1, the
// bytes of printf in the Monitor window, read_adc against the simulator's "Analog inputs"
// option, the Timer0 interrupt function and the data EEPROM.

#include "fakehost.h"
#include "kivwizard_code.h"
#include "kivwizard_model.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uDbgForm_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"
#include "uWatchProxy.h"
#include "vync_compile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace kiv;
using namespace kiv::test;

namespace {

namespace fs = std::filesystem;

// Every behaviour in one program; each marker comment names the line a test stops on.
const char kProgram[] = R"(#include <16F877A.h>
#fuses HS,NOWDT,NOLVP
#use delay(clock=20000000)
#use rs232(baud=9600, xmit=PIN_C6, rcv=PIN_C7)

int16 bare;
int16 timed;
int8 ticks;
int16 spins;
int8 adc0;
int8 adc1;
int8 ee_back;
int8 count8;
signed int32 big;
int8 finished;

#int_rtcc
void tick_isr()
{
   ticks++;
}

void main()
{
   finished = 0;
   // Timer1 counts instruction cycles: once around two assignments, once around the same with
   // the delay between them.
   setup_timer_1(T1_DISABLED);
   set_timer1(0);
   setup_timer_1(T1_INTERNAL | T1_DIV_BY_1);
   finished = 0;
   finished = 0;
   setup_timer_1(T1_DISABLED);
   bare = get_timer1();
   set_timer1(0);
   setup_timer_1(T1_INTERNAL | T1_DIV_BY_1);
   finished = 0;
   delay_ms(1);
   finished = 0;
   setup_timer_1(T1_DISABLED);
   timed = get_timer1();   // @delay

   count8 = 200;   // @delaydone
   big = -56789;
   printf("%u %ld\r\n", count8, big);   // @printf

   setup_adc_ports(ALL_ANALOG);
   setup_adc(ADC_CLOCK_DIV_32);
   set_adc_channel(0);
   delay_us(20);
   adc0 = read_adc();
   set_adc_channel(1);
   delay_us(20);
   adc1 = read_adc();   // @adc

   ticks = 0;
   spins = 0;
   setup_timer_0(RTCC_INTERNAL | RTCC_DIV_2);
   set_rtcc(0);
   enable_interrupts(INT_RTCC);
   enable_interrupts(GLOBAL);
   while (ticks < 3)
      spins++;
   disable_interrupts(GLOBAL);   // @rtcc

   write_eeprom(5, 0xA7);
   ee_back = read_eeprom(5);   // @eeprom
   finished = 1;   // @end
   while (TRUE)
      ;
}
)";

class CSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gpasm")).isEmpty())
            GTEST_SKIP() << "gputils is not installed (the setup step installs it)";
        if (!fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / "16F877A.h") || !fs::exists(KIV_DEVICES_DAT))
            GTEST_SKIP() << "the device headers and devices.dat are not built";
        ASSERT_TRUE(dir.isValid());
        const fs::path root(dir.path().toStdString());
        fs::create_directories(root / "install" / "utils");
        fs::create_directory_symlink(KIV_VYNC_DEVICES_DIR, root / "install" / "devices");
        fs::copy_file(KIV_DEVICES_DAT, root / "install" / "utils" / "devices.dat");
        devices = QString::fromStdString((root / "install" / "utils" / "devices.dat").string());
        SetDeviceFile(devices);
    }
    void TearDown() override
    {
        Close();
        SetDeviceFile(QString());
    }

    /// Compiles `source` as prog.c and builds prog.hex and prog.cof with gputils.
    void Build(const QString &source)
    {
        ASSERT_TRUE(WriteFile(dir.filePath(QStringLiteral("prog.c")), source.toLatin1()));
        program = source;
        BuildFile(QStringLiteral("prog"));
    }
    /// Compiles NAME.c of the test folder and builds NAME.hex and NAME.cof with gputils; the
    /// compiler's installation is the test's own folder unless `installDir` is given.
    void BuildFile(const QString &name, const QString &installDir = QString())
    {
        cFile = dir.filePath(name + QStringLiteral(".c"));
        vync::TCompileOptions options;
        options.mainFile = cFile.toStdString();
        options.installDir = (installDir.isEmpty() ? dir.filePath(QStringLiteral("install")) : installDir).toStdString();
        const vync::TCompileOutcome out = vync::CompileC(options);
        std::string messages;
        for (const auto &m : out.messages.All())
            messages += vync::MessageLine(out.messages, m) + "\n";
        ASSERT_TRUE(out.ok) << messages;
        ASSERT_TRUE(WriteFile(dir.filePath(name + QStringLiteral(".asm")), QByteArray::fromStdString(out.assembly)));
        for (const QStringList &tool : {QStringList{"gpasm", "-c", "-g", "-o", name + ".o", name + ".asm"},
                                        QStringList{"gplink", "-c", "-m", "-o", name + ".hex", name + ".o"}}) {
            QProcess process;
            process.setWorkingDirectory(dir.path());
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(tool.first(), tool.mid(1));
            ASSERT_TRUE(process.waitForFinished(60000));
            ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
        }
        host.base = dir.filePath(name);
    }
    /// Edits an option row of the Debug Configure window and applies it.
    void SetOptionInGrid(const QString &name, const QString &value)
    {
        TDebugConfigureModel &configure = model->Configure();
        for (int i = 0; i < configure.Options().size(); ++i) {
            if (configure.Options().at(i).name == name) {
                configure.SetShown(i, value);
                configure.ApplyOptions();
                ASSERT_EQ(configure.GetOption(name), value);
                return;
            }
        }
        FAIL() << "the simulator declares no option " << name.toStdString();
    }
    void Enable()
    {
        model = std::make_unique<TDbgFormModel>(host, dir.filePath(QStringLiteral("kiv.ini")), QStringLiteral(KIV_WATCH_LIBRARY),
                                                QStringList{QStringLiteral(KIV_SIM_LIBRARY)}, devices);
        model->Enable();
        ASSERT_EQ(model->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
        cName = model->FileName(model->FileIndex(cFile));
        ASSERT_NE(model->FileIndex(cFile), -1) << "the debug file names prog.c";
    }
    void Close()
    {
        if (model && model->IsActive()) {
            model->Stop(false);
            QElapsedTimer timer;
            timer.start();
            while (model->IsActive() && timer.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        model.reset();
    }
    /// The line of the program that carries `// @marker`.
    int Line(const char *marker) const { return LineWith(QLatin1String("// @") + QLatin1String(marker)); }
    /// The first line of the program that holds `text`.
    int LineWith(const QString &text) const
    {
        const QStringList lines = program.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i)
            if (lines.at(i).contains(text))
                return i + 1;
        ADD_FAILURE() << text.toStdString();
        return 0;
    }
    /// Runs to a breakpoint on a C line (set for this run only).
    void RunToLine(int line)
    {
        const int index = model->Breaks().AddBreak(cName, line);
        ASSERT_GE(index, 0) << "no code on line " << line;
        model->Run();
        ASSERT_EQ(model->State(), dsReady);
        model->Breaks().RemoveBreak(index);
        ASSERT_EQ(host.open[cName].current, line) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    }
    /// A C expression's value through the watch library (the number its text starts with).
    qlonglong Value(const QString &expression)
    {
        QString value;
        model->Ram().BeginEvaluation();
        model->Watch()->Evaluate(model->curFile, model->curLine, expression, value, 255, &TDebugRamModel::MemoryFunction,
                                 &model->Ram());
        model->Ram().DiscardEvaluation();
        bool ok = false;
        const qlonglong number = value.section(QLatin1Char(' '), 0, 0).toLongLong(&ok, 0);
        EXPECT_TRUE(ok) << expression.toStdString() << " = " << value.toStdString();
        return number;
    }

    QTemporaryDir dir;
    TFakeHost host;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    QString devices;
    QString cFile;
    QString cName;
    QString program;
    std::unique_ptr<TDbgFormModel> model;
};

TEST_F(CSim, DelayMsTakesItsCyclesAtTwentyMegahertz)
{
    Build(QString::fromLatin1(kProgram));
    Enable();
    RunToLine(Line("delaydone"));
    // delay_ms(1) at 20 MHz: 5,000 instruction cycles; the help page states no call overhead.
    EXPECT_EQ(Value(QStringLiteral("timed")) - Value(QStringLiteral("bare")), 5000);
}

TEST_F(CSim, PrintfSendsItsBytesToTheMonitor)
{
    Build(QString::fromLatin1(kProgram));
    Enable();
    ASSERT_TRUE(model->Monitor().Active());
    RunToLine(Line("delaydone"));
    EXPECT_EQ(model->Monitor().Text(), QString());
    // The USART shifts the last bytes out while the program goes on (about 1 ms a byte at 9600
    // baud); by the end of the EEPROM write every byte has reached the Monitor, and no other.
    RunToLine(Line("end"));
    EXPECT_EQ(model->Monitor().Text(), QStringLiteral("200 -56789\r\n"));
}

TEST_F(CSim, ReadAdcReturnsTheSimulatorsAnalogInput)
{
    // 2.5 V of 5 V on AN0 is code 512 of the ten-bit converter, AN1 is given as 700 counts.
    // read_adc gives the eight high bits by default, the ten bits with ADC=10, and the result
    // left-justified in sixteen bits with ADC=16.
    struct TCase {
        const char *directive;
        const char *type;
        int an0, an1;
    };
    const TCase cases[] = {
        {"", "int8", 512 >> 2, 700 >> 2},
        {"#device ADC=10", "int16", 512, 700},
        {"#device ADC=16", "int16", 512 << 6, 700 << 6},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.directive);
        QString source = QString::fromLatin1(kProgram);
        source.replace(QStringLiteral("int8 adc0;\nint8 adc1;"), QStringLiteral("%1 adc0;\n%1 adc1;").arg(QLatin1String(c.type)));
        source.replace(QStringLiteral("#include <16F877A.h>\n"), QStringLiteral("#include <16F877A.h>\n%1\n").arg(QLatin1String(c.directive)));
        Build(source);
        // The option as the user sets it in the Debug Configure window; the library reads it
        // when the next session starts.
        Enable();
        SetOptionInGrid(QStringLiteral("Analog inputs"), QStringLiteral("AN0=2.5, AN1=700c, VDD=5"));
        Close();
        Enable();
        RunToLine(Line("adc") + 2);
        EXPECT_EQ(Value(QStringLiteral("adc0")), c.an0);
        EXPECT_EQ(Value(QStringLiteral("adc1")), c.an1);
        Close();
    }
}

TEST_F(CSim, TimerZeroInterruptRunsTheRtccFunction)
{
    Build(QString::fromLatin1(kProgram));
    Enable();
    // A breakpoint in the interrupt function stops there, called from the interrupt.
    RunToLine(LineWith(QStringLiteral("ticks++;")));
    RunToLine(Line("rtcc"));
    EXPECT_EQ(Value(QStringLiteral("ticks")), 3);
    // Three overflows of 256 x 2 cycles: the main loop spun meanwhile.
    EXPECT_GT(Value(QStringLiteral("spins")), 10);
}

TEST_F(CSim, EepromWrittenIsReadBack)
{
    Build(QString::fromLatin1(kProgram));
    Enable();
    RunToLine(Line("end"));
    EXPECT_EQ(Value(QStringLiteral("ee_back")), 0xA7);
    // The Data EE window reads the same byte from the simulator.
    ASSERT_TRUE(model->DataEE().HasData());
    ASSERT_TRUE(model->DataEE().ReadAll(true));
    EXPECT_EQ(model->DataEE().Current(5), 0xA7);
}

// The C example in a session: a breakpoint on a C line, stepping by C lines (into a called
// function), and C variables as watches.
TEST_F(CSim, TheBlinkExampleStepsByCLinesAndShowsItsVariables)
{
    for (const char *file : {"blinkc.c", "blinkc.h"})
        ASSERT_TRUE(QFile::copy(SourceDir() + QStringLiteral("/data/examples/blinkc/") + QLatin1String(file),
                                dir.filePath(QLatin1String(file))));
    program = QString::fromLatin1(ReadFile(dir.filePath(QStringLiteral("blinkc.c"))));
    BuildFile(QStringLiteral("blinkc"));
    Enable();
    model->Watches().SetShowing(true);
    RunToLine(LineWith(QStringLiteral("setup_adc_ports(NO_ANALOGS);")));
    // Step Over ends on the next C line of main (the built-ins written in C run through); Step
    // goes into the called function.
    struct TMove {
        bool into;
        const char *next;
    };
    const TMove moves[] = {{false, "setup_adc(ADC_OFF);"}, {false, "setup_timer_0(RTCC_INTERNAL|RTCC_DIV_1);"},
                           {false, "output_low(LED);"},    {false, "blinks = 0;"},
                           {false, "tenths = 0;"},         {false, "toggle_led();"},
                           {true, "output_toggle(LED);"},  {true, "blinks++;"}};
    for (const TMove &move : moves) {
        SCOPED_TRACE(move.next);
        if (move.into)
            model->Step();
        else
            model->StepOver();
        ASSERT_EQ(model->State(), dsReady);
        EXPECT_EQ(host.open[cName].current, LineWith(QLatin1String(move.next)));
    }
    // A breakpoint in the waiting loop, and the two counters as watches.
    model->Watches().AddWatchText(QStringLiteral("tenths"));
    model->Watches().AddWatchText(QStringLiteral("blinks"));
    const int tenthsLine = LineWith(QStringLiteral("tenths++;"));
    ASSERT_GE(model->Breaks().AddBreak(cName, tenthsLine), 0);
    for (int pass = 0; pass < 3; ++pass) {
        model->Run();
        ASSERT_EQ(model->State(), dsReady);
        EXPECT_EQ(host.open[cName].current, tenthsLine);
        EXPECT_TRUE(model->Watches().WatchElement(0).value.startsWith(QString::number(pass)))
            << model->Watches().WatchElement(0).value.toStdString();
        EXPECT_TRUE(model->Watches().WatchElement(1).value.startsWith(QLatin1String("1")))
            << model->Watches().WatchElement(1).value.toStdString();
    }
    EXPECT_EQ(Value(QStringLiteral("tenths + 10")), 12);
}

// A project the wizard writes for the PIC16F877A with the main options of its pages runs in the
// simulator to the end of main, through every set-up call, and leaves the peripherals set as
// the options asked.
TEST_F(CSim, AWizardProjectRunsThroughItsSetUpCalls)
{
    const QString stage = QStringLiteral(KIV_STAGE_DIR "/");
    if (!QFile::exists(stage + QStringLiteral("devices/16F877A.h")) || !QFile::exists(stage + QStringLiteral("lumo/KIV.HT")))
        GTEST_SKIP() << "no staged installation with device headers";
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir.path().toLocal8Bit());
    SetExecutablePathForDirs(stage + QStringLiteral("bin/kiv"));
    TWizardModel wizard;
    wizard.Open();
    QString error;
    const QList<QPair<QString, QString>> settings = {
        {"np_clock", "20000000"}, {"pin:B4", "PIN_B4,LED"}, {"pullups", "1"}, {"t1mode", "Internal"},
        {"t1res4", "1"}, {"t2enabled", "1"}, {"t2div4", "1"}, {"t2p", "200"}, {"t2i", "2"}, {"adc_pinsrb", "1"},
        {"adcclock", "2"}, {"ccp1mode", "PWM"}, {"intchecklist", "RTCC"}, {"intchecklist", "TIMER1"}};
    const bool scripted = RunWizardScript(wizard, QStringLiteral("PIC16F877A"), settings, &error);
    const TWizardRunResult written = scripted ? WriteWizardFiles(wizard, dir.filePath(QStringLiteral("main.c")), QString())
                                              : TWizardRunResult();
    SetExecutablePathForDirs(QString());
    qputenv("HOME", home);
    ASSERT_TRUE(scripted) << error.toStdString();
    ASSERT_EQ(written.cPath, dir.filePath(QStringLiteral("main.c"))) << written.error.toStdString();
    program = QString::fromLatin1(ReadFile(written.cPath));
    BuildFile(QStringLiteral("main"), stage);
    // The end of main: the label the compiler puts after it, from the linker's map.
    quint32 end = 0;
    for (const QString &line : QString::fromLatin1(ReadFile(dir.filePath(QStringLiteral("main.map")))).split(QLatin1Char('\n'))) {
        const QStringList words = line.simplified().split(QLatin1Char(' '));
        if (words.size() >= 2 && words.at(0) == QLatin1String("?end"))
            end = words.at(1).toUInt(nullptr, 16);
    }
    ASSERT_NE(end, 0u);
    Enable();
    ASSERT_TRUE(model->RunToAddress(end)) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(model->PC, end);
    const auto ram = [&](int address) {
        quint8 value = 0;
        QString msg;
        EXPECT_TRUE(model->Debugger()->ReadRam(address, 1, &value, msg)) << msg.toStdString();
        return int(value);
    };
    EXPECT_EQ(ram(0x10) & 0x31, 0x21) << "T1CON: internal clock, 1:4";
    EXPECT_EQ(ram(0x92), 200) << "PR2";
    EXPECT_EQ(ram(0x12) & 0x07, 0x05) << "T2CON: on, 1:4";
    EXPECT_EQ(ram(0x17) & 0x0F, 0x0C) << "CCP1CON: PWM";
    EXPECT_EQ(ram(0x0B) & 0xA0, 0xA0) << "INTCON: GIE, T0IE";
    EXPECT_EQ(ram(0x81) & 0x80, 0x00) << "OPTION_REG: port B pull-ups on";
}

}  // namespace
