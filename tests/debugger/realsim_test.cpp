// Sessions with both real libraries — the simulator (debuggers/SIMDLL/kivsim.so) and the watch
// library — on a small program gpasm and gplink build for the PIC16F877A, with the
// installation's devices.dat and sfr.txt: breakpoints, watches, RAM and Data EE windows, the
// monitor, the stack, the peripheral registers and a snapshot.

#include "fakehost.h"
#include "gputils_build.h"
#include "kivdbgsnap_model.h"
#include "kivini.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "testfiles.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"
#include "uWatchProxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace kiv;
using namespace kiv::test;

namespace {

const char kProgram[] = R"(        list    p=16f877a
        #include <p16f877a.inc>
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

        udata
counter res     1
input   res     1
output  res     1
rxbyte  res     1

reset   code    0x0000
        pagesel main
        goto    main

        code
main
        banksel TRISB
        clrf    TRISB
        movlw   0x03            ; Timer0 prescaler 1:16
        movwf   OPTION_REG
        movlw   d'129'          ; 9600 baud at 20 MHz
        movwf   SPBRG
        movlw   b'00100100'     ; TXEN, BRGH
        movwf   TXSTA
        banksel RCSTA
        movlw   b'10010000'     ; SPEN, CREN
        movwf   RCSTA
        banksel counter
        clrf    counter
        clrf    input
        movlw   'H'
        call    put
        movlw   'i'
        call    put
        banksel EEADR
        movlw   3
        movwf   EEADR
        movlw   0x5A
        movwf   EEDATA
        banksel EECON1
        bcf     EECON1, EEPGD
        bsf     EECON1, WREN
        movlw   0x55
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        bsf     EECON1, WR
wait
        btfsc   EECON1, WR
        goto    wait
        bcf     EECON1, WREN
        banksel PORTB
loop
        incf    counter, f
        movf    counter, w
        movwf   PORTB
        movf    input, w
        movwf   output
        call    first
        btfsc   PIR1, RCIF
        call    receive
        goto    loop
first
        call    second
        return
second
        nop
        return
receive
        movf    RCREG, w
        movwf   rxbyte
        call    put
        return
put
        btfss   PIR1, TXIF
        goto    put
        movwf   TXREG
        return
        end
)";

class RealSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GputilsAvailable())
            GTEST_SKIP() << "gputils is not installed (the setup step installs it)";
        ASSERT_TRUE(dir.isValid());
        program = BuildProgram(dir.path(), QStringLiteral("prog"), QByteArray(kProgram), TBuildKind::bkRelocatable);
        ASSERT_TRUE(program.ok) << program.log.toStdString();
        devices = QStringLiteral(KIV_STAGE_DIR "/utils/devices.dat");
        SetDeviceFile(devices);
        host.base = program.base;
        Open();
    }
    void TearDown() override
    {
        Close();
        SetDeviceFile(QString());
    }
    void Open()
    {
        model = std::make_unique<TDbgFormModel>(host, dir.filePath(QStringLiteral("kiv.ini")), QStringLiteral(KIV_WATCH_LIBRARY),
                                                QStringList{QStringLiteral(KIV_SIM_LIBRARY)}, devices);
        model->SetSfrFile(QStringLiteral(KIV_STAGE_DIR "/lumo/sfr.txt"));
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
    void Enable()
    {
        model->Enable();
        ASSERT_EQ(model->State(), dsReady) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
        asmFile = model->FileName(model->FileIndex(program.Path("asm")));
    }
    int LineOf(const char *text) const
    {
        const QStringList lines = QString::fromLatin1(kProgram).split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (lines.at(i).trimmed() == QLatin1String(text))
                return i + 1;
        }
        ADD_FAILURE() << text;
        return 0;
    }
    QString Value(const QString &expression)
    {
        QString value;
        model->Ram().BeginEvaluation();
        model->Watch()->Evaluate(model->curFile, model->curLine, expression, value, 255, &TDebugRamModel::MemoryFunction,
                                 &model->Ram());
        model->Ram().DiscardEvaluation();
        return value;
    }
    /// Runs to the breakpoint on `line` (set for this run only).
    void RunToLine(int line)
    {
        const int index = model->Breaks().AddBreak(asmFile, line);
        ASSERT_GE(index, 0);
        model->Run();
        ASSERT_EQ(model->State(), dsReady);
        model->Breaks().RemoveBreak(index);
        EXPECT_EQ(host.open[asmFile].current, line);
    }

    QTemporaryDir dir;
    TFakeHost host;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    TBuiltProgram program;
    QString devices;
    QString asmFile;
    std::unique_ptr<TDbgFormModel> model;
};

}  // namespace

TEST_F(RealSim, BreakpointsWatchesRamAndDataEe)
{
    Enable();
    // The Watches window is the one the user looks at.
    model->Watches().SetShowing(true);
    EXPECT_EQ(model->codeTarget, QStringLiteral("PIC16F877A"));
    // A breakpoint on a source line stops Run there.
    const int movwfPortb = LineOf("movwf   PORTB");
    RunToLine(movwfPortb);

    // A watch on the counter follows the program as it steps.
    model->Watches().AddWatchText(QStringLiteral("counter"));
    const QString first = model->Watches().WatchElement(0).value;
    EXPECT_TRUE(first.startsWith(QLatin1String("1"))) << first.toStdString();
    RunToLine(movwfPortb);
    EXPECT_TRUE(model->Watches().WatchElement(0).value.startsWith(QLatin1String("2")))
        << model->Watches().WatchElement(0).value.toStdString();
    for (int n = 0; n < 12 && host.open[asmFile].current != movwfPortb - 1; ++n)
        model->Step();
    ASSERT_EQ(host.open[asmFile].current, movwfPortb - 1);
    EXPECT_TRUE(model->Watches().WatchElement(0).value.startsWith(QLatin1String("3")))
        << model->Watches().WatchElement(0).value.toStdString();

    // A byte written in the RAM window is what the program reads next.
    const int input = Value(QStringLiteral("&input")).toInt(nullptr, 0);
    ASSERT_GT(input, 0);
    ASSERT_TRUE(model->Ram().WriteByte(input, 0x77));
    RunToLine(LineOf("call    first"));
    EXPECT_TRUE(Value(QStringLiteral("output")).startsWith(QLatin1String("119"))) << Value(QStringLiteral("output")).toStdString();

    // The Data EE window shows the byte the program wrote.
    ASSERT_TRUE(model->DataEE().HasData());
    ASSERT_TRUE(model->DataEE().ReadAll(true));
    EXPECT_EQ(model->DataEE().Current(3), 0x5A);

    // Breakpoints and watches come back when the project is opened again.
    model->Breaks().AddBreak(asmFile, LineOf("nop"));
    Close();
    Open();
    Enable();
    ASSERT_EQ(model->Breaks().BreakCount(), 1);
    EXPECT_EQ(model->Breaks().BreakItem(0).sourceLine, LineOf("nop"));
    ASSERT_GE(model->Watches().WatchCount(), 2);
    EXPECT_EQ(model->Watches().WatchElement(0).expression, QStringLiteral("counter"));
    model->Run();
    EXPECT_EQ(host.open[asmFile].current, LineOf("nop"));
}

TEST_F(RealSim, MonitorStackPeripheralsAndSnapshot)
{
    Enable();
    // The program's text arrives in the Monitor; a key typed while it runs reaches it.
    QTimer::singleShot(100, [this] { model->Monitor().KeyTyped('x'); });
    QTimer::singleShot(400, [this] { model->Halt(); });
    model->Run();
    ASSERT_EQ(model->State(), dsReady);
    EXPECT_TRUE(model->Monitor().Text().startsWith(QLatin1String("Hi"))) << model->Monitor().Text().toStdString();
    EXPECT_TRUE(Value(QStringLiteral("rxbyte")).startsWith(QLatin1String("120"))) << Value(QStringLiteral("rxbyte")).toStdString();
    EXPECT_GE(model->Monitor().Text().count(QLatin1Char('x')), 2) << model->Monitor().Text().toStdString();

    // The Stack window names the two nested calls.
    RunToLine(LineOf("nop"));
    model->Stack().Refresh();
    const QString stack = model->Stack().Lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(stack.contains(QLatin1String("second"))) << stack.toStdString();
    EXPECT_TRUE(stack.contains(QLatin1String("first"))) << stack.toStdString();

    // The Peripherals window: PORTB follows the counter; OPTION_REG's prescaler is decoded.
    TDebugPeripheralsModel &peripherals = model->Peripherals();
    const auto select = [&peripherals](const char *caption) {
        for (int i = 0; i < peripherals.Groups().size(); ++i) {
            if (peripherals.Groups().at(i).caption == QLatin1String(caption))
                peripherals.Select(i);
        }
        return peripherals.SelectedCaption() == QLatin1String(caption);
    };
    ASSERT_TRUE(select("Timer 0"));
    EXPECT_TRUE(peripherals.Text().contains(QLatin1String("1:16"))) << peripherals.Text().toStdString();
    ASSERT_TRUE(select("I/O Ports"));
    const auto portb = [&peripherals]() {
        for (const QString &line : peripherals.Text().split(QStringLiteral("\r\n"))) {
            if (line.startsWith(QLatin1String("PORTB ")))
                return line;
        }
        return QString();
    };
    const QString before = portb();
    ASSERT_FALSE(before.isEmpty()) << peripherals.Text().toStdString();
    RunToLine(LineOf("movf    input, w"));
    model->Ram().ReadAll(false);
    peripherals.ShowSelectedGroup();
    EXPECT_NE(portb(), before);

    // A snapshot file with its sections.
    TSnapshotSettings &s = model->Snapshot().settings;
    s = TSnapshotSettings{};
    s.where = TSnapshotSettings::swOverwrite;
    s.filename = dir.filePath(QStringLiteral("snap.txt"));
    s.status = s.watches = s.breaks = s.ram = s.eeprom = s.rompc = s.nextc = s.monitorall = s.errors = s.config = true;
    model->Snapshot().TakeSnapshot();
    const QString text = QString::fromLatin1(ReadFile(s.filename));
    for (const char *heading : {"   PC=", "   Watches:", "   Breaks:", "   Ram Data:", "   Eeprom Data:", "   Rom Data:",
                                "   Next C line:", "   Monitor Data:", "   Monitor:  Hi", "   Errors:", "   Configuration:",
                                "   Debugger: Simulator"})
        EXPECT_TRUE(text.contains(QLatin1String(heading))) << heading << "\n" << text.toStdString();
}
