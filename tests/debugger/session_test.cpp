// The session controller over the scripted libraries: the state table, the start sequence and
// its failures, running, stepping, halting and stopping with calls pending.

#include "session_fixture.h"

#include "kivdbgsnap_model.h"
#include "uDbgProxy.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormRAM_model.h"

#include <QTimer>

using namespace kiv;
using namespace kiv::test;

namespace {

/// Runs `action` from the event loop after `ms`.
void Later(int ms, std::function<void()> action)
{
    QTimer::singleShot(ms, qApp, std::move(action));
}

}  // namespace

// --- the state table ---------------------------------------------------------------------------

TEST(DebugState, StatusTextsAndColours)
{
    struct Case {
        TDebugState state;
        const char *text;
        TStatusColour fill, textColour;
        bool registers;
    };
    const Case cases[] = {
        {dsNotReady, "Not Ready", scRed, scWhite, false},
        {dsLoading, "Loading", scAqua, scBlack, false},
        {dsReady, "Ready MCU at 20.00 MHz", scButtonFace, scBlack, true},
        {dsRunning, "Running", scYellow, scBlack, false},
        {dsAttaching, "Attaching", scAqua, scBlack, false},
        {dsNoCommunication, "No Communication", scRed, scWhite, false},
        {dsHaltedBusy, "Busy", scAqua, scBlack, true},
        {dsReadingRam, "Reading RAM", scYellow, scBlack, false},
        {dsBusy, "Busy", scAqua, scBlack, true},
    };
    for (const Case &c : cases) {
        const TDebugStatus s = DebugStatus(c.state, 0x1A2B, 0x0C, 20.0);
        EXPECT_EQ(s.pane3, QLatin1String(c.text)) << int(c.state);
        EXPECT_EQ(s.fill, c.fill) << int(c.state);
        EXPECT_EQ(s.text, c.textColour) << int(c.state);
        EXPECT_EQ(s.pane1, c.registers ? QStringLiteral("PC=1A2B") : QString()) << int(c.state);
        EXPECT_EQ(s.pane2, c.registers ? QStringLiteral("W=0C") : QString()) << int(c.state);
    }
    EXPECT_TRUE(DebugStatus(dsDisabled, 0, 0, 0).unchanged);
    EXPECT_EQ(DebugStatus(dsLoading, 0, 0, 0, 40).pane3, QStringLiteral("Loading 40%"));
    EXPECT_EQ(DebugStatus(dsReady, 0, 0, 4.0).pane3, QStringLiteral("Ready MCU at 4.00 MHz"));
}

TEST(DebugState, CommandsOfEachState)
{
    struct Case {
        TDebugState state;
        bool run, halt, step, reset, program, windows;
    };
    const Case cases[] = {
        {dsDisabled, false, false, false, false, false, false},
        {dsReady, true, false, true, true, true, true},
        {dsRunning, false, true, false, false, false, true},
        {dsNotReady, false, false, false, true, true, true},
        {dsNoCommunication, false, false, false, true, true, true},
        {dsLoading, false, false, false, false, false, true},
        {dsAttaching, false, false, false, false, false, true},
        {dsReadingRam, false, false, false, false, false, true},
        {dsHaltedBusy, false, false, false, false, false, true},
        {dsBusy, false, false, false, false, false, true},
    };
    for (const Case &c : cases) {
        const TDebugCommands on = DebugCommands(c.state);
        EXPECT_EQ(on.run, c.run) << int(c.state);
        EXPECT_EQ(on.halt, c.halt) << int(c.state);
        EXPECT_EQ(on.step, c.step) << int(c.state);
        EXPECT_EQ(on.reset, c.reset) << int(c.state);
        EXPECT_EQ(on.program, c.program) << int(c.state);
        EXPECT_EQ(on.debugWindows, c.windows) << int(c.state);
        EXPECT_EQ(on.haltShown, c.state == dsRunning) << int(c.state);
    }
}

// --- Enable and the start sequence --------------------------------------------------------------

using Session = SessionFixture;

TEST_F(Session, EnableRunsTheStartSequenceToReady)
{
    EnableReady();
    EXPECT_EQ(host.status.pane3, QStringLiteral("Ready MCU at 20.00 MHz"));
    EXPECT_EQ(host.status.pane1, QStringLiteral("PC=0001"));
    EXPECT_EQ(host.status.pane2, QStringLiteral("W=00"));
    EXPECT_EQ(model->codeTarget, QStringLiteral("PIC16F877A"));
    EXPECT_EQ(model->detectedTarget, QStringLiteral("PIC16F877A"));
    EXPECT_EQ(model->PC, 1u);   // a 14-bit part after reset
    EXPECT_EQ(model->sourceFiles, QStringList{source});
    EXPECT_TRUE(model->windowsReady);
    EXPECT_TRUE(model->IsHalted());
    // The library saw the sequence in order.
    const QStringList calls = CallNames();
    const QStringList order = {"DBG_SET_WARNING_CALLBACK", "DBG_SET_DIRECTORY", "DBG_GET_OPTIONS",
                               "DBG_ESTABLISH_COMMUNICATION", "DBG_FORCE_CHIP", "DBG_SET_ERASE_MODE",
                               "DBG_DOWNLOAD_TO_TARGET", "DBG_GET_VERIFICATION_RESULTS", "DBG_RESET",
                               "DBG_GET_CLOCK_SPEED", "DBG_VALID_RAM", "DBG_SET_TARGET_OUTPUT"};
    qsizetype at = -1;
    for (const QString &name : order) {
        const qsizetype found = calls.indexOf(name, at + 1);
        EXPECT_GT(found, at) << name.toStdString();
        at = found;
    }
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_FORCE_CHIP")), QStringList{QStringLiteral("DBG_FORCE_CHIP PIC16F877A")});
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_DOWNLOAD")),
              QStringList{QStringLiteral("DBG_DOWNLOAD_TO_TARGET ") + base + QStringLiteral(".cof 1")});
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_DIRECTORY")), QStringList{QStringLiteral("DBG_SET_DIRECTORY ") + devices});
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_VALID_RAM")), QStringList{QStringLiteral("DBG_VALID_RAM 0 496")});
    EXPECT_EQ(watch.Loaded(), base + QStringLiteral(".cof"));
    // The PC's line is shown with the current-line marker.
    ASSERT_TRUE(host.open.contains(source));
    EXPECT_EQ(host.open[source].current, 3);
    EXPECT_TRUE(host.open[source].debug);
    EXPECT_EQ(host.shown.last(), source + QStringLiteral(":3"));
    EXPECT_TRUE(host.commands.run);
    EXPECT_FALSE(host.enableCommand);
    EXPECT_TRUE(host.disableCommand);
    EXPECT_TRUE(host.windowsCommands);
    EXPECT_TRUE(prompt.Messages().isEmpty()) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
}

TEST_F(Session, EnablingWhileActiveDoesNothing)
{
    EnableReady();
    model->Enable();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_ESTABLISH_COMMUNICATION")).size(), 1);
}

TEST_F(Session, FirstEnableShowsEveryWindowWithoutStoredVisibility)
{
    EnableReady();
    EXPECT_TRUE(host.debugWindowShowing);
    for (bool on : host.visible)
        EXPECT_TRUE(on);
}

TEST_F(Session, StoredVisibilityDecidesWhichWindowsShow)
{
    TIniFile ini(settings);
    ini.WriteBool(QStringLiteral("DebugVisibility"), QStringLiteral("TDebugFormRAM"), true);
    ini.WriteBool(QStringLiteral("DebugVisibility"), QStringLiteral("TDebugFormStack"), false);
    EnableReady();
    EXPECT_TRUE(host.visible[dwRAM]);
    EXPECT_FALSE(host.visible[dwStack]);
    EXPECT_FALSE(host.visible[dwConfigure]);
}

struct FailureCase {
    const char *exportName;
    TDebugState state;
};

class SessionFailure : public SessionFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SessionFailure, AFailingExportEndsInItsState)
{
    const FailureCase c = GetParam();
    dbg.Fail(c.exportName, 1, "scripted failure");
    model->Enable();
    EXPECT_EQ(model->State(), c.state) << c.exportName;
    ASSERT_FALSE(model->errorLog.isEmpty()) << c.exportName;
    EXPECT_TRUE(model->errorLog.last().endsWith(QStringLiteral("  scripted failure"))) << model->errorLog.last().toStdString();
    EXPECT_TRUE(prompt.Messages().contains(QStringLiteral("scripted failure")));
}

INSTANTIATE_TEST_SUITE_P(Exports, SessionFailure,
                         ::testing::Values(FailureCase{"DBG_ESTABLISH_COMMUNICATION", dsNoCommunication},
                                           FailureCase{"DBG_FORCE_CHIP", dsNoCommunication},
                                           FailureCase{"DBG_DOWNLOAD_TO_TARGET", dsNotReady},
                                           FailureCase{"DBG_GET_VERIFICATION_RESULTS", dsNotReady},
                                           FailureCase{"DBG_RESET", dsNotReady},
                                           FailureCase{"DBG_GET_CLOCK_SPEED", dsReady},
                                           FailureCase{"DBG_VALID_RAM", dsNotReady}));

TEST_F(Session, AWindowThatCannotActivateStopsTheOthers)
{
    dbg.SetInt("targetoutput", 0);   // the Monitor cannot work with this target
    ASSERT_TRUE(WriteFile(base + QStringLiteral(".pjt"), "[debugbreak]\r\ncount=1\r\nf1=" + source.toUtf8() + "\r\nl1=3\r\n"));
    model->Enable();
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_TRUE(model->Window(dwEval)->ControlsEnabled());
    EXPECT_FALSE(model->Window(dwLog)->ControlsEnabled());
    EXPECT_FALSE(model->Window(dwTasks)->ControlsEnabled());
    // No window read its project settings: the breakpoint was not armed.
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_SET_BREAK")).isEmpty());
    EXPECT_FALSE(model->windowsReady);
}

TEST_F(Session, WatchLibraryLoadFailureIsReportedWithTheSystemMessage)
{
    watch.FailLoad(2 << 8);
    model->Enable();
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_TRUE(prompt.Messages().last().startsWith(QStringLiteral("Error loading the COF file (Watch Error #0x00000200) ")
                                                    + base + QStringLiteral(".cof: ")));
}

TEST_F(Session, OnlyExpandedCodOrCoffIsSupported)
{
    host.format = 1;   // "Standard .COD"
    ASSERT_TRUE(WriteFile(base + QStringLiteral(".hex"), ";PIC16F877A\n:00000001FF\n"));
    model->Enable();
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Only Expanded COD or COFF formats are supported by the debugger."));
    // Without COFF the target comes from the HEX file's comment and the HEX file is downloaded.
    EXPECT_EQ(model->codeTarget, QStringLiteral("PIC16F877A"));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_DOWNLOAD")),
              QStringList{QStringLiteral("DBG_DOWNLOAD_TO_TARGET ") + base + QStringLiteral(".hex 1")});
}

TEST_F(Session, AnUnreadableCoffFileEndsAttach)
{
    ASSERT_TRUE(WriteFile(base + QStringLiteral(".cof"), QByteArray(10, 'x')));
    model->Enable();
    EXPECT_EQ(model->State(), dsAttaching);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error loading the COF file: \"") + base
                                            + QStringLiteral(".cof\" (Coff file '") + base
                                            + QStringLiteral(".cof' couldn't read file header.)"));
}

TEST_F(Session, VerificationErrorsShowTheResults)
{
    dbg.SetText("verification", "0010\t3FFF\t0123\n");
    model->Enable();
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_EQ(host.verification, QStringList{QStringLiteral("0010\t3FFF\t0123\n")});
}

TEST_F(Session, NoVerificationErrorsNoWindow)
{
    EnableReady();
    EXPECT_TRUE(host.verification.isEmpty());
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_GET_VERIFICATION_RESULTS")),
              QStringList{QStringLiteral("DBG_GET_VERIFICATION_RESULTS count There were program verification errors")});
}

TEST_F(Session, ALibraryLackingAnExportCannotBeEnabled)
{
    TScriptDbg lacking("scriptdbg_nohstack");
    model = std::make_unique<TDbgFormModel>(host, settings, watch.Path(), QStringList{lacking.Path()}, devices);
    model->Enable();
    EXPECT_EQ(model->State(), dsDisabled);
    EXPECT_FALSE(model->IsActive());
    EXPECT_TRUE(prompt.Messages().last().endsWith(QStringLiteral("The function DBG_WRITE_HSTACK coudln't be found")));
    EXPECT_EQ(prompt.Asked().back().caption, QStringLiteral("Error"));
    EXPECT_TRUE(host.enableCommand);
}

// --- erase and program modes -------------------------------------------------------------------------

struct EraseCase {
    const char *erase;
    const char *program;
    const char *first;
    const char *second;
};

class SessionErase : public SessionFixture, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(SessionErase, AFailedModeIsRetriedOnceWithOtherModes)
{
    const EraseCase c = GetParam();
    TIniFile ini(settings);
    ini.WriteString(QStringLiteral("EraseSettings"), QStringLiteral("EraseMode"), QLatin1String(c.erase));
    ini.WriteString(QStringLiteral("ProgramSettings"), QStringLiteral("ProgramMode"), QLatin1String(c.program));
    dbg.Fail("DBG_SET_ERASE_MODE", 1, "mode not supported");
    EnableReady();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_ERASE_MODE")),
              (QStringList{QStringLiteral("DBG_SET_ERASE_MODE ") + QLatin1String(c.first),
                           QStringLiteral("DBG_SET_ERASE_MODE ") + QLatin1String(c.second)}));
}

INSTANTIATE_TEST_SUITE_P(Modes, SessionErase,
                         ::testing::Values(EraseCase{"deNoErase", "pmEraseProgram", "2 1", "0 0"},
                                           EraseCase{"deNoErase", "pmProgramOnly", "2 0", "0 0"},
                                           EraseCase{"deLimitedErase", "pmEraseProgram", "1 1", "1 0"},
                                           EraseCase{"DEALWAYSERASE", "pmprogramonly", "0 0", "0 1"}));

TEST_F(Session, ASucceedingModeIsSetOnce)
{
    EnableReady();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_ERASE_MODE")), QStringList{QStringLiteral("DBG_SET_ERASE_MODE 0 1")});
}

TEST_F(Session, FastModeBelowFourVoltsAsks)
{
    TIniFile(settings).WriteString(QStringLiteral("ProgramSettings"), QStringLiteral("ProgramMode"), QStringLiteral("pmProgramOnly"));
    dbg.SetInt("vdd", 330);
    model->Enable();   // the scripted prompt answers No
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_EQ(prompt.Asked().back().caption, QStringLiteral("ICD Warning"));
    EXPECT_TRUE(prompt.Messages().last().contains(QStringLiteral("The current voltage level is: 3.30\n")));
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_DOWNLOAD")).isEmpty());
}

// --- PIC18 reset --------------------------------------------------------------------------------------

TEST_F(Session, Pic18WithAZeroStackPointerGetsOneStep)
{
    WriteProject(0x452);
    dbg.Ram()[4092] = 0x20;   // low 5 bits zero
    EnableReady();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_READ_RAM 4092")), QStringList{QStringLiteral("DBG_READ_RAM 4092 1")});
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_STEP")).size(), 1);
    EXPECT_EQ(model->PC, 0u);
    EXPECT_EQ(model->device.kind(), 3);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_VALID_RAM")), QStringList{QStringLiteral("DBG_VALID_RAM 0 4096")});
}

TEST_F(Session, Pic18WithAStackPointerTakesNoStep)
{
    WriteProject(0x452);
    dbg.Ram()[4092] = 0x01;
    EnableReady();
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_STEP")).isEmpty());
}

// --- running, stepping, halting ------------------------------------------------------------------------

TEST_F(Session, RunStopsAtABreakAndMarksTheLine)
{
    EnableReady();
    dbg.PushStop(3, 0x55, kDbgStoppedOnBreak);
    model->Run();
    EXPECT_EQ(model->State(), dsReady);
    EXPECT_EQ(model->PC, 3u);
    EXPECT_EQ(model->W, 0x55);
    EXPECT_EQ(model->lastPC, 1u);
    EXPECT_EQ(host.open[source].current, 6);
    EXPECT_EQ(host.status.pane1, QStringLiteral("PC=0003"));
    EXPECT_EQ(host.status.pane2, QStringLiteral("W=55"));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_GO1")), QStringList{QStringLiteral("DBG_GO1 1 1")});
}

TEST_F(Session, AnEndlessRunKeepsTheInterfaceRunningUntilHalt)
{
    EnableReady();
    dbg.SetInt("haltpc", 3);
    // The interface's own timer halts the run after ten ticks: it must keep running while the
    // target does (a loaded machine only makes the ticks come later).
    int ticks = 0;
    TDebugState seen = dsDisabled;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks != 10)
            return;
        seen = model->State();
        EXPECT_TRUE(host.commands.halt);
        model->Halt();
    });
    ticker.start(10);
    model->Run();
    ticker.stop();
    EXPECT_EQ(seen, dsRunning);
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(model->State(), dsReady);
    EXPECT_EQ(model->PC, 3u);
    EXPECT_TRUE(model->haltRequested);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_STOP")).size(), 1);
}

TEST_F(Session, AFailedRunIsReportedAndNotReady)
{
    EnableReady();
    dbg.Fail("DBG_GO1", 1, "target lost");
    model->Run();
    EXPECT_EQ(model->State(), dsNotReady);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("target lost"));
}

TEST_F(Session, LoggingBreaksRecordAndRunOn)
{
    EnableReady();
    ASSERT_GE(model->Breaks().AddBreak(source, 4), 0);   // address 2
    model->Log().SetLogOn(true);
    model->Log().SetExpressions(QStringLiteral("count"));
    dbg.Ram()[0x20] = 7;
    for (int i = 0; i < 3; ++i)
        dbg.PushStop(3, 0, kDbgStoppedOnBreak);   // address + 1: the logging break
    dbg.PushStop(0x10, 0, kDbgStoppedOnBreak);
    model->Run();
    EXPECT_EQ(model->Log().Lines(), (QStringList{QStringLiteral("7"), QStringLiteral("7"), QStringLiteral("7")}));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_GO1")).size(), 4);
    EXPECT_EQ(model->PC, 0x10u);
    EXPECT_EQ(model->State(), dsReady);
}

TEST_F(Session, SingleStepMovesToTheNextLine)
{
    EnableReady();
    dbg.PushStep(2);
    model->Step();
    EXPECT_EQ(model->PC, 2u);
    EXPECT_EQ(host.open[source].current, 4);
    dbg.PushStep(3);
    model->Step();
    EXPECT_EQ(host.open[source].current, 6);
    EXPECT_EQ(model->State(), dsReady);
}

TEST_F(Session, StepInTheListFileStepsOneInstruction)
{
    EnableReady();
    host.open.insert(list, {});
    host.active = list;
    dbg.PushStep(2);
    model->Step();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_STEP")).size(), 1);
    EXPECT_EQ(host.open[list].current, 3);
    EXPECT_EQ(host.scrolled.last(), list + QStringLiteral(":3"));
}

TEST_F(Session, StepOverFromAGeneratedRoutineRunsToItsExit)
{
    watch.AddFunction("@delay_ms", 0x20, 0x28);
    watch.AddLine(0, 8, 6, 0x28);
    EnableReady();
    model->PC = 0x22;
    dbg.PushStop(0x28, 0, kDbgStoppedOnBreak);
    model->StepOver();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_GO1")).size(), 1);
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_STEP")).isEmpty());
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_BREAK")), QStringList{QStringLiteral("DBG_SET_BREAK 40")});
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_CLEAR_BREAK")),
              (QStringList{QStringLiteral("DBG_CLEAR_BREAK -1"), QStringLiteral("DBG_CLEAR_BREAK 40")}));
    EXPECT_EQ(model->PC, 0x28u);
}

TEST_F(Session, RunToCursorOutsideTheSessionIsANotice)
{
    EnableReady();
    const QString other = dir.filePath(QStringLiteral("other.c"));
    ASSERT_TRUE(WriteFile(other, "int x;\n"));
    host.open.insert(other, {});
    host.active = other;
    host.caret = 1;
    model->RunToCursor();
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error: The file ") + other
                                            + QStringLiteral(" does not belong to the debugging session."));
    EXPECT_EQ(model->State(), dsReady);
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_GO1")).isEmpty());
}

TEST_F(Session, RunToCursorRunsToTheLinesAddressAndRearmsTheBreaks)
{
    EnableReady();
    ASSERT_GE(model->Breaks().AddBreak(source, 8), 0);   // 0x10
    host.active = source;
    host.caret = 6;   // address 3
    dbg.PushStop(3, 0, kDbgStoppedOnBreak);
    model->RunToCursor();
    EXPECT_EQ(model->PC, 3u);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_BREAK")),
              (QStringList{QStringLiteral("DBG_SET_BREAK 16"), QStringLiteral("DBG_SET_BREAK 3"),
                           QStringLiteral("DBG_SET_BREAK 16")}));
    EXPECT_EQ(dbg.Query("breakcount"), 1);
}

TEST_F(Session, RunToCursorOnALineWithoutCode)
{
    EnableReady();
    host.active = source;
    host.caret = 1;
    model->RunToCursor();
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Cannot resolve the address at line 1"));
    EXPECT_EQ(model->State(), dsReady);
}

TEST_F(Session, ResetWhenReadyResetsTheTarget)
{
    EnableReady();
    dbg.PushStop(3, 0, kDbgStoppedOnBreak);
    model->Run();
    model->Reset();
    EXPECT_EQ(model->PC, 1u);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_RESET")).size(), 2);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_DOWNLOAD")).size(), 1);
    EXPECT_EQ(host.open[source].current, 3);
}

TEST_F(Session, ResetWhenNotReadyRunsTheStartSequence)
{
    dbg.Fail("DBG_DOWNLOAD_TO_TARGET", 1, "no target");
    model->Enable();
    ASSERT_EQ(model->State(), dsNotReady);
    model->Reset();
    EXPECT_EQ(model->State(), dsReady);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_DOWNLOAD")).size(), 2);
}

// --- stopping -----------------------------------------------------------------------------------

TEST_F(Session, DisableUnloadsAndClosesTheWindows)
{
    EnableReady();
    ASSERT_GE(model->Breaks().AddBreak(source, 4), 0);
    model->Disable();
    EXPECT_FALSE(model->IsActive());
    EXPECT_EQ(model->State(), dsDisabled);
    EXPECT_EQ(host.debugWindowClosed, 1);
    for (bool on : host.visible)
        EXPECT_FALSE(on);
    EXPECT_TRUE(host.enableCommand);
    EXPECT_FALSE(host.disableCommand);
    EXPECT_FALSE(host.windowsCommands);
    EXPECT_FALSE(host.open[source].debug);
    // The windows' settings went to the project file, the visibility to the settings file.
    EXPECT_EQ(TIniFile(base + QStringLiteral(".pjt")).ReadInteger(QStringLiteral("debugbreak"), QStringLiteral("count"), -1), 1);
    EXPECT_TRUE(TIniFile(settings).ReadBool(QStringLiteral("DebugVisibility"), QStringLiteral("TDebugFormRAM"), false));
    EXPECT_EQ(dbg.Query("breakcount"), 0);
}

TEST_F(Session, DisableWhileGoIsPendingStopsOnceAndWaits)
{
    EnableReady();
    bool activeWhileWaiting = false;
    Later(100, [&] {
        model->Disable();
        activeWhileWaiting = model->IsActive();
    });
    model->Run();
    EXPECT_TRUE(activeWhileWaiting);   // the library stayed loaded under the pending call
    ASSERT_TRUE(WaitUntil([&] { return !model->IsActive(); }));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_STOP")).size(), 1);
    EXPECT_EQ(model->State(), dsDisabled);
    EXPECT_EQ(host.debugWindowClosed, 1);
    EXPECT_FALSE(host.busyCursor);
}

TEST_F(Session, ALibraryThatNeverReturnsCanBeGivenUp)
{
    EnableReady();
    dbg.SetInt("ignorestop", 1);
    model->SetStuckTimeout(100);
    prompt.Queue(mrYes);   // "Disable the session anyway?"
    Later(50, [&] { model->Disable(); });
    model->Run();
    ASSERT_TRUE(WaitUntil([&] { return !model->IsActive(); }));
    EXPECT_EQ(model->State(), dsDisabled);
    EXPECT_EQ(prompt.Asked().back().caption, QStringLiteral("Debugger"));
    dbg.Release();
    WaitUntil([&] { return dbg.Query("gorunning") == 0; });
}

TEST_F(Session, CompileReloadEnablesAgainKeepingTheWindow)
{
    EnableReady();
    model->CompileFinished();
    ASSERT_TRUE(WaitUntil([&] { return model->State() == dsReady; }));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_ESTABLISH_COMMUNICATION")).size(), 2);
    EXPECT_TRUE(host.debugWindowShowing);
    EXPECT_EQ(host.debugWindowClosed, 0);
}

TEST_F(Session, StopRunsTheContinuationAfterTheUnload)
{
    EnableReady();
    bool activeInContinuation = true;
    model->Stop(true, [&] { activeInContinuation = model->IsActive(); });
    EXPECT_FALSE(activeInContinuation);
}

// --- the warning function ------------------------------------------------------------------------

TEST_F(Session, WarningsAskAndRememberTheBox)
{
    dbg.SetText("warning", "Target voltage low");
    host.continueWarnings = true;
    host.keepShowingWarnings = false;
    EnableReady();
    EXPECT_EQ(host.warnings, QStringList{QStringLiteral("Script warning|Target voltage low")});
    EXPECT_EQ(dbg.Query("warninganswer"), 0);
    EXPECT_EQ(TIniFile(settings).ReadString(QStringLiteral("ICD-WARNINGS"), QStringLiteral("warnings")), QStringLiteral("off"));
    // Switched off, warnings go on without asking.
    dbg.PushStop(3, 0, kDbgStoppedOnBreak);
    model->Run();
    EXPECT_EQ(host.warnings.size(), 1);
    EXPECT_EQ(dbg.Query("warninganswer"), 0);
}

// --- a unit that is not the simulator -------------------------------------------------------------------

class UnitSession : public SessionFixture {
protected:
    UnitSession()
        : SessionFixture("scriptdbg")
    {
    }
    void SetUp() override
    {
        SessionFixture::SetUp();
        dbg.SetText("options", "ICD F/W;SR;;VYN 02.14;The unit's firmware\nProcessor;S;;;The target part");
    }
};

TEST_F(UnitSession, DetectedTargetsDifferingInCaseAsk)
{
    dbg.SetText("target", "pic16f877a");
    prompt.Queue(mrYes);
    EnableReady();
    EXPECT_EQ(prompt.Asked().front().caption, QStringLiteral("ICD"));
    EXPECT_EQ(prompt.Messages().front(), QStringLiteral("The detected target name: pic16f877a does not match the code's "
                                                        "target: PIC16F877A. Do you want to continue anyway?"));
}

TEST_F(UnitSession, AnEmptyDetectedTargetDoesNotAsk)
{
    dbg.SetText("target", "");
    TIniFile(settings).WriteString(QStringLiteral("SCRIPT"), QStringLiteral("PROCESSOR"), QStringLiteral("PIC16F877A"));
    EnableReady();
    EXPECT_TRUE(prompt.Messages().isEmpty());
}

TEST_F(UnitSession, TheProcessorOptionTakesTheDetectedTarget)
{
    dbg.SetText("target", "PIC16F877A");
    EnableReady();
    EXPECT_EQ(model->Configure().GetOption(QStringLiteral("Processor")), QStringLiteral("PIC16F877A"));
    EXPECT_EQ(model->device.name(), QStringLiteral("PIC16F877A"));
}

TEST_F(UnitSession, FirmwareWithoutVIsRefused)
{
    dbg.SetText("options", "ICD F/W;SR;;X2.14;firmware");
    dbg.SetText("target", "PIC16F877A");
    model->Enable();
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("ICD unit does not have VYN firmware loaded."));
    EXPECT_EQ(model->State(), dsAttaching);
}

TEST_F(UnitSession, TargetDetectionFailureExplainsTheFirmware)
{
    dbg.Fail("DBG_GET_TARGET_NAME", 1, "No target");
    dbg.SetInt("families", kDbgFamilyPic16);
    model->Enable();
    EXPECT_EQ(model->State(), dsNoCommunication);
    EXPECT_EQ(prompt.Messages().last(),
              QStringLiteral("No target\n\nTarget detection problems may be due to the ICD firmware not supporting\n"
                             "your target chip's family type\nThe current ICD firmware supports the following "
                             "targets:\nPIC16 \n\nTo use firmware that does support your target's device family,\n"
                             "use the ICD Program to update the firmware. The ICD Program can be launched from\n"
                             "\"ICD Program\" toolbar button in the \"Debug Configure\" window."));
}
