// The debug windows' models in a session over the scripted libraries: the RAM cache and its
// memory function, the ROM image, breakpoints, watches, the log, Eval, Monitor, Stack, Tasks,
// Peripherals and the snapshot.

#include "session_fixture.h"

#include "kivdbgsnap_model.h"
#include "uDbgProxy.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormPeripherals_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormROM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimer>

using namespace kiv;
using namespace kiv::test;

using Windows = SessionFixture;

// --- RAM ------------------------------------------------------------------------------------------

TEST_F(Windows, MemoryFunctionReadsSixteenBytesOnceAndRefusesTheEnd)
{
    EnableReady();
    TDebugRamModel &ram = model->Ram();
    dbg.Ram()[0x30] = 0x11;
    const int before = int(dbg.Calls(QStringLiteral("DBG_READ_RAM")).size());
    uint8_t *data = nullptr;
    ASSERT_EQ(TDebugRamModel::MemoryFunction(&ram, 0x30, 2, &data), 1);
    EXPECT_EQ(data[0], 0x11);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_READ_RAM")).mid(before), QStringList{QStringLiteral("DBG_READ_RAM 48 16")});
    ASSERT_EQ(TDebugRamModel::MemoryFunction(&ram, 0x31, 1, &data), 1);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_READ_RAM")).size() - before, 1);   // read already
    // A request crossing the last address (495) fails without reading.
    EXPECT_EQ(TDebugRamModel::MemoryFunction(&ram, 490, 10, &data), 0);
    EXPECT_EQ(TDebugRamModel::MemoryFunction(&ram, 0x20, 0, &data), 0);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_READ_RAM")).size() - before, 1);
}

TEST_F(Windows, EvaluationsChangeTheCacheNotTheTarget)
{
    EnableReady();
    dbg.Ram()[0x20] = 5;
    TDebugEvalModel &eval = model->Eval();
    eval.expression = QStringLiteral("count++");
    eval.Evaluate();
    eval.Evaluate();
    EXPECT_EQ(eval.Result(), QStringLiteral("6"));
    EXPECT_EQ(model->Ram().Current(0x20), 7);
    EXPECT_EQ(model->Ram().Previous(0x20), 6);
    EXPECT_EQ(dbg.Ram()[0x20], 5);
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_WRITE_RAM")).isEmpty());
}

TEST_F(Windows, KeepSideEffectsWritesTheChangedBytes)
{
    EnableReady();
    dbg.Ram()[0x20] = 5;
    TDebugEvalModel &eval = model->Eval();
    eval.expression = QStringLiteral("  count++ ");
    eval.keepSideEffects = true;
    eval.Evaluate();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_WRITE_RAM")), QStringList{QStringLiteral("DBG_WRITE_RAM 32 1 6")});
    EXPECT_EQ(dbg.Ram()[0x20], 6);
    // Blanks only: nothing.
    eval.expression = QStringLiteral("   ");
    eval.Evaluate();
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_WRITE_RAM")).size(), 1);
}

TEST_F(Windows, AFailedEvaluationLeavesResultAndTarget)
{
    EnableReady();
    TDebugEvalModel &eval = model->Eval();
    eval.expression = QStringLiteral("nothing");
    eval.keepSideEffects = true;
    eval.Evaluate();
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error evaluating the expression: nothing"));
    EXPECT_EQ(eval.Result(), QString());
    EXPECT_TRUE(dbg.Calls(QStringLiteral("DBG_WRITE_RAM")).isEmpty());
}

TEST_F(Windows, AnEditedRamCellReachesTheTarget)
{
    EnableReady();
    EXPECT_TRUE(model->Ram().WriteByte(0x21, 0x44));
    EXPECT_EQ(dbg.Ram()[0x21], 0x44);
    EXPECT_EQ(model->Ram().Current(0x21), 0x44);
    EXPECT_EQ(model->Ram().Shadow(0x21), 0x44);
    dbg.Fail("DBG_WRITE_RAM", 1, "write refused");
    EXPECT_FALSE(model->Ram().WriteByte(0x22, 1));
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("write refused"));
}

TEST_F(Windows, ScrollingReadsOnlyTheVisibleRowsAndAMargin)
{
    WriteProject(0x452);   // a PIC18: 4096 bytes of RAM
    dbg.Ram()[4092] = 1;
    EnableReady();
    TDebugRamModel &ram = model->Ram();
    ASSERT_EQ(ram.Size(), 4096);
    const qint64 before = ram.BytesRead();
    ram.SetVisibleRows(0, 20);
    EXPECT_EQ(ram.BytesRead() - before, (20 + TDebugRamModel::kRowMargin + 1) * 8);
    ram.SetVisibleRows(300, 320);
    ram.SetVisibleRows(301, 321);   // one row on: only the new row
    EXPECT_EQ(ram.BytesRead() - before, (20 + 8 + 1) * 8 + (20 + 2 * 8 + 1) * 8 + 8);
    EXPECT_LT(ram.BytesRead() - before, 4096);
    EXPECT_EQ(ram.Current(300 * 8), dbg.Ram()[300 * 8]);
    // After a run nothing counts as read.
    ram.MarkStale();
    const qint64 again = ram.BytesRead();
    ram.SetVisibleRows(301, 321);
    EXPECT_EQ(ram.BytesRead() - again, (20 + 2 * 8 + 1) * 8);
}

TEST_F(Windows, RamColumnsFollowTheWidth)
{
    EnableReady();
    TDebugRamModel &ram = model->Ram();
    ram.WidthChanged(400);
    EXPECT_EQ(ram.BytesPerRow(), 8);
    EXPECT_EQ(TDebugRamModel::ColumnHeading(0, 8), QStringLiteral("0/8"));
    EXPECT_EQ(TDebugRamModel::ColumnHeading(7, 8), QStringLiteral("7/F"));
    const int rows8 = ram.RowCount();
    ram.WidthChanged(435);
    EXPECT_EQ(ram.BytesPerRow(), 16);
    EXPECT_EQ(TDebugRamModel::ColumnHeading(15, 16), QStringLiteral("F"));
    EXPECT_EQ(ram.RowCount() - 1, (rows8 - 1) / 2);
}

// --- Data EE ---------------------------------------------------------------------------------------

TEST_F(Windows, DataEepromReadsOncePerSession)
{
    EnableReady();
    TDebugDataEEModel &ee = model->DataEE();
    EXPECT_EQ(ee.Size(), 256);
    dbg.Eeprom()[3] = 0xAB;
    EXPECT_TRUE(ee.ReadAll(false));
    EXPECT_TRUE(ee.ReadAll(false));
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_READ_EEPROM")).size(), 1);
    EXPECT_EQ(ee.Current(3), 0xAB);
    EXPECT_TRUE(ee.WriteByte(4, 0x5A));
    EXPECT_EQ(dbg.Eeprom()[4], 0x5A);
}

// --- ROM -------------------------------------------------------------------------------------------

TEST_F(Windows, RomReadsDataAndExtendedAddressRecords)
{
    EnableReady();
    const QString hex = dir.filePath(QStringLiteral("rom.hex"));
    // A type 2 record is data; an odd start puts its first byte in the low half of the word below;
    // a type 4 record moves the base.
    ASSERT_TRUE(WriteFile(hex, ":02001002AABB00\nnot a record\n:01000301CC00\n:020000040001F9\n:0200000012340000\n:00000001FF\n"));
    TDebugRomModel &rom = model->Rom();
    rom.LoadHex(hex);
    EXPECT_TRUE(rom.Loaded(0x08));
    EXPECT_EQ(rom.Word(0x08), 0xBBAA);
    EXPECT_EQ(rom.Word(0x01), 0x00CC);
    EXPECT_EQ(rom.Word(0x8000), 0x3412);
    EXPECT_EQ(rom.RowCount(), 0x10001 / 2 + 1);
    EXPECT_FALSE(rom.Loaded(0x09));
    EXPECT_THROW(rom.LoadHex(dir.filePath(QStringLiteral("missing.hex"))), std::runtime_error);
}

TEST_F(Windows, Pic18RowsTakeTheSecondWordOfTwoWordInstructions)
{
    WriteProject(0x452);
    dbg.Ram()[4092] = 1;
    // GOTO 0x0100 at 0 (EF80 F000), then MOVLW 0x05.
    ASSERT_TRUE(WriteFile(base + QStringLiteral(".hex"), ":0600000080EF00F0050E8E\n:00000001FF\n"));
    EnableReady();
    TDebugRomModel &rom = model->Rom();
    EXPECT_EQ(rom.RowText(0).left(14), QStringLiteral("0000:  EF80   "));
    EXPECT_TRUE(rom.RowText(0).contains(QStringLiteral("GOTO"))) << rom.RowText(0).toStdString();
    EXPECT_TRUE(rom.RowText(2).startsWith(QStringLiteral("0004:  0E05   MOVLW"))) << rom.RowText(2).toStdString();
    EXPECT_EQ(rom.RowAddress(2), 4u);
    EXPECT_EQ(rom.RowOf(4), 2);
}

TEST_F(Windows, RomRowsShowTheAddressAndTheWord)
{
    EnableReady();
    TDebugRomModel &rom = model->Rom();
    EXPECT_EQ(rom.RowText(1).left(13), QStringLiteral("0001:  0201  "));
    EXPECT_EQ(rom.RowText(0), QStringLiteral("0000:  0000   NOP"));
    EXPECT_EQ(rom.RowText(0x100), QStringLiteral("0100:  "));
    EXPECT_TRUE(rom.IsPcRow(1));
    EXPECT_FALSE(rom.IsPcRow(0));
    ASSERT_GE(model->Breaks().AddBreak(source, 4), 0);
    EXPECT_TRUE(rom.IsBreakRow(2));
    // The PC's row comes into view.
    EXPECT_EQ(rom.ScrollTarget(0, 20), -1);
    model->PC = 0x500;
    EXPECT_EQ(rom.ScrollTarget(0, 20), 0x500 - 10);
}

// --- Breaks ------------------------------------------------------------------------------------------

TEST_F(Windows, ABreakpointTwiceArmsTwiceAndToggleRemovesTheFirst)
{
    EnableReady();
    TDebugBreaksModel &breaks = model->Breaks();
    EXPECT_EQ(breaks.AddBreak(source, 4), 0);
    EXPECT_EQ(breaks.AddBreak(source, 4), 1);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_SET_BREAK")).size(), 2);
    EXPECT_EQ(breaks.BreakItem(0).DisplayText(), QStringLiteral("0002   ") + source + QStringLiteral(":4"));
    breaks.ToggleBreak(source, 4);
    EXPECT_EQ(breaks.BreakCount(), 1);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_CLEAR_BREAK 2")).size(), 1);
    // The open editor shows the flag; the log knows the count.
    EXPECT_EQ(host.open[source].flags, QList<int>{4});
    EXPECT_EQ(model->Log().BreakCount(), 1);
}

TEST_F(Windows, BreakpointNotices)
{
    EnableReady();
    TDebugBreaksModel &breaks = model->Breaks();
    EXPECT_EQ(breaks.AddBreak(dir.filePath(QStringLiteral("other.c")), 3), -1);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error adding the breakpoint: The file ") + dir.filePath(QStringLiteral("other.c"))
                                            + QStringLiteral(" does not belong to the debugging session."));
    EXPECT_EQ(breaks.AddBreak(dir.filePath(QStringLiteral("other.lst")), 3), -1);
    EXPECT_TRUE(prompt.Messages().last().endsWith(QStringLiteral(" is not the list file of the project.")));
    EXPECT_EQ(breaks.AddBreak(source, 1), -1);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error adding the breakpoint at ") + source + QStringLiteral(", line: 1"));
    EXPECT_EQ(breaks.AddBreak(QString(), 3), -1);
    dbg.Fail("DBG_SET_BREAK", 1, "No more breakpoints");
    EXPECT_EQ(breaks.AddBreak(source, 4), -1);
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("No more breakpoints"));
    EXPECT_TRUE(model->errorLog.last().endsWith(QStringLiteral("No more breakpoints")));
}

TEST_F(Windows, BreakpointsComeBackFromTheProjectFile)
{
    EnableReady();
    TDebugBreaksModel &breaks = model->Breaks();
    ASSERT_EQ(breaks.AddBreak(source, 6), 0);
    ASSERT_EQ(breaks.AddBreak(list, 3), 1);   // list line 3: address 2
    EXPECT_EQ(breaks.BreakItem(1).DisplayText(), QStringLiteral("0002   ") + list + QStringLiteral(":3"));
    model->Disable();
    const TIniFile pjt(base + QStringLiteral(".pjt"));
    EXPECT_EQ(pjt.ReadInteger(QStringLiteral("debugbreak"), QStringLiteral("count"), -1), 2);
    EXPECT_EQ(pjt.ReadInteger(QStringLiteral("debugbreak"), QStringLiteral("l2"), -1), 3);
    EXPECT_EQ(dbg.Query("breakcount"), 0);
    EnableReady();
    ASSERT_EQ(model->Breaks().BreakCount(), 2);
    EXPECT_EQ(model->Breaks().BreakItem(0).sourceLine, 6);
    EXPECT_EQ(model->Breaks().BreakItem(1).listLine, 3);
    EXPECT_EQ(dbg.Query("breakcount"), 2);
}

TEST_F(Windows, ProfilesWithoutBreakpointsAddNone)
{
    EnableReady();
    for (const char *text : {"[debugbreak]\r\ncount=0\r\nf1=x\r\nl1=1\r\n", "[other]\r\n"}) {
        const QString profile = dir.filePath(QStringLiteral("p.dbg"));
        ASSERT_TRUE(WriteFile(profile, text));
        model->LoadProfile(profile);
        EXPECT_EQ(model->Breaks().BreakCount(), 0);
    }
}

TEST_F(Windows, RemovingAllClearsEveryAddress)
{
    EnableReady();
    TDebugBreaksModel &breaks = model->Breaks();
    breaks.AddBreak(source, 2);
    breaks.AddBreak(source, 4);
    breaks.AddBreak(source, 6);
    breaks.RemoveAllBreaks();
    EXPECT_EQ(breaks.BreakCount(), 0);
    EXPECT_EQ(dbg.Calls(QStringLiteral("DBG_CLEAR_BREAK")),
              (QStringList{QStringLiteral("DBG_CLEAR_BREAK 0"), QStringLiteral("DBG_CLEAR_BREAK 2"), QStringLiteral("DBG_CLEAR_BREAK 3")}));
}

TEST_F(Windows, ARunStopsAtABreakpoint)
{
    EnableReady();
    ASSERT_EQ(model->Breaks().AddBreak(source, 8), 0);   // 0x10
    dbg.PushStop(0x10, 0, kDbgStoppedOnBreak);
    model->Run();
    EXPECT_EQ(host.open[source].current, 8);
    EXPECT_EQ(host.open[source].flags, QList<int>{8});
}

// --- Watches -----------------------------------------------------------------------------------------

TEST_F(Windows, WatchesFollowTheProgram)
{
    EnableReady();
    TDebugWatchesModel &watches = model->Watches();
    dbg.Ram()[0x20] = 1;
    watches.AddWatchText(QStringLiteral("count"));
    EXPECT_EQ(watches.WatchElement(0).value, QStringLiteral("1"));
    dbg.Ram()[0x20] = 2;
    dbg.PushStep(2);
    model->Watches().SetShowing(true);
    model->Step();
    EXPECT_EQ(watches.WatchElement(0).value, QStringLiteral("2"));
}

TEST_F(Windows, WatchNumbersStayWhenRowsGo)
{
    EnableReady();
    TDebugWatchesModel &watches = model->Watches();
    for (const char *e : {"a", "b", "c"})
        watches.AddWatchText(QLatin1String(e));
    EXPECT_EQ(watches.WatchCount(), 4);
    EXPECT_EQ(watches.RowLimit(), 5);
    watches.DeleteWatch(1);
    EXPECT_EQ(watches.WatchElement(0).number, QStringLiteral("1"));
    EXPECT_EQ(watches.WatchElement(1).number, QStringLiteral("3"));
    watches.AddWatchText(QStringLiteral("d"));
    EXPECT_EQ(watches.WatchElement(2).number, QStringLiteral("3"));
    watches.DeleteWatch(3);   // the blank row stays
    EXPECT_EQ(watches.WatchCount(), 4);
    // Typing into the blank row makes it a watch and a new blank row follows.
    watches.SetExpression(3, QStringLiteral("e"));
    EXPECT_EQ(watches.WatchCount(), 5);
    EXPECT_EQ(watches.WatchElement(3).number, QStringLiteral("4"));
    EXPECT_TRUE(watches.WatchElement(4).expression.isEmpty());
}

TEST_F(Windows, WatchesDoNotEvaluateWhileRunning)
{
    EnableReady();
    TDebugWatchesModel &watches = model->Watches();
    dbg.Ram()[0x20] = 9;
    watches.AddWatchText(QStringLiteral("count"));
    model->SetState(dsRunning);
    dbg.Ram()[0x20] = 10;
    model->Ram().MarkStale();
    watches.EvaluateWatches();
    EXPECT_EQ(watches.WatchElement(0).value, QStringLiteral("9"));
    model->SetState(dsReady);
}

TEST_F(Windows, WatchesComeBackAndProfilesAddTwice)
{
    EnableReady();
    model->Watches().AddWatchText(QStringLiteral("count,h"));
    model->Disable();
    EXPECT_EQ(TIniFile(base + QStringLiteral(".pjt")).ReadString(QStringLiteral("debugwatch"), QStringLiteral("e1")),
              QStringLiteral("count,h"));
    EnableReady();
    ASSERT_EQ(model->Watches().WatchCount(), 2);
    EXPECT_EQ(model->Watches().WatchElement(0).expression, QStringLiteral("count,h"));
    const QString profile = dir.filePath(QStringLiteral("w.dbg"));
    ASSERT_TRUE(WriteFile(profile, "[debugwatch]\r\ncount=1\r\ne1=x\r\n"));
    model->LoadProfile(profile);
    model->LoadProfile(profile);
    EXPECT_EQ(model->Watches().WatchCount(), 4);
}

// --- Log, Monitor, Stack, Tasks ---------------------------------------------------------------------------

TEST_F(Windows, LogItemsTimeValuesAndUnsupportedFlags)
{
    EnableReady();
    ASSERT_EQ(model->Breaks().AddBreak(source, 4), 0);
    TDebugLogModel &log = model->Log();
    EXPECT_TRUE(log.LogEnabled());
    EXPECT_TRUE(log.BreakPositionReadOnly());
    log.SetLogOn(true);
    log.SetExpressions(QStringLiteral("%time;  count ;%FOO"));
    dbg.Ram()[0x20] = 42;
    log.RecordLogEntry();
    const QStringList fields = log.Lines().last().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$")).match(fields.at(0)).hasMatch());
    EXPECT_EQ(fields.at(1), QStringLiteral("42"));
    EXPECT_EQ(fields.at(2), QStringLiteral("[Error: unsupported flag]"));
    EXPECT_TRUE(log.IsLogBreak(3));
    EXPECT_TRUE(log.IsLogBreak(4));
    EXPECT_FALSE(log.IsLogBreak(2));
    model->Breaks().RemoveAllBreaks();
    EXPECT_FALSE(log.LogEnabled());
    EXPECT_FALSE(log.LogOn());
}

TEST_F(Windows, MonitorShowsOutputAndSendsKeysWhileRunning)
{
    EnableReady();
    dbg.SetText("output", "Hello\r\n");
    TDebugMonitorModel &monitor = model->Monitor();
    QString typed;
    int sent = 0;
    QTimer::singleShot(50, qApp, [&] {
        sent += monitor.KeyTyped('a') ? 1 : 0;
        sent += monitor.KeyTyped('\r') ? 1 : 0;
        model->Halt();
    });
    model->Run();
    EXPECT_EQ(monitor.Text(), QStringLiteral("Hello\r\na\r"));
    EXPECT_EQ(dbg.Input(), QStringLiteral("a\r"));
    EXPECT_EQ(sent, 2);
    // Halted, typing is the editor's.
    EXPECT_FALSE(monitor.KeyTyped('b'));
}

TEST_F(Windows, StackNamesTheFunctions)
{
    watch.AddFunction("outer", 0x20, 0x2F);
    EnableReady();
    model->PC = 0x10;   // in delay
    dbg.SetStack({0x02, 0x21});
    TDebugStackModel &stack = model->Stack();
    stack.Refresh();
    EXPECT_EQ(stack.Lines(), (QStringList{QStringLiteral("delay()"), QStringLiteral("outer()"), QStringLiteral("main()")}));
    stack.ShowLine(0);
    EXPECT_EQ(host.shown.last(), source + QStringLiteral(":8+select+focus"));
    dbg.Fail("DBG_READ_STACK", 1, "stack unreadable");
    stack.Refresh();
    EXPECT_TRUE(stack.Lines().isEmpty());
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("stack unreadable"));
}

TEST_F(Windows, NoRtosTasks)
{
    EnableReady();
    EXPECT_TRUE(model->Tasks().Entries().isEmpty());
    EXPECT_EQ(model->Tasks().Text(), QStringLiteral("No RTOS Tasks"));
}

TEST_F(Windows, RtosTaskRecords)
{
    watch.AddSymbol("@TASKINFO_blink", 0x40, 1);
    watch.AddSymbol("@CURRENT_TASK", 0x50, 1);
    watch.SetEval("&(@TASKINFO_blink[0])", "64", 1);
    watch.SetEval("(@CURRENT_TASK[0])", "0", 1);
    const uint8_t record[7] = {0, 10, 0, 3, 0, 0x34, 0x12};
    std::copy(record, record + 7, dbg.Ram() + 0x40);
    EnableReady();
    TDebugTasksModel &tasks = model->Tasks();
    ASSERT_EQ(tasks.Entries(), QStringList{QStringLiteral("@TASKINFO_blink")});
    tasks.Refresh();
    EXPECT_EQ(tasks.Text(), QStringLiteral("Process State:Ready\r\nLower Minor Cycle Per Run:10\r\nUpper Minor Cycle Per Run:0\r\n"
                                           "Lower Minor Cycle Counter:3\r\nUpper Minor Cycle Counter:0\r\nLower PC:52\r\nUpper PC:18\r\n"));
    EXPECT_EQ(tasks.CurrentTask(), QStringLiteral("1"));
}

// --- Peripherals ---------------------------------------------------------------------------------------

TEST_F(Windows, PortsFromTheDeviceRecord)
{
    EnableReady();
    TDebugPeripheralsModel &peripherals = model->Peripherals();
    int ports = -1;
    for (int i = 0; i < peripherals.Groups().size(); ++i) {
        if (peripherals.Groups().at(i).tag == QLatin1String("#PORTS"))
            ports = i;
    }
    ASSERT_GE(ports, 0);
    dbg.Ram()[0x06] = 0xA5;
    peripherals.Select(ports);
    EXPECT_TRUE(peripherals.Text().startsWith(QStringLiteral("PORTB      06    10100101   0xa5  \r\n")));
}

TEST_F(Windows, AMissingSfrFileIsANotice)
{
    EnableReady();
    model->SetSfrFile(dir.filePath(QStringLiteral("none.txt")));
    TDebugPeripheralsModel &peripherals = model->Peripherals();
    peripherals.Select(1);   // Timer 0
    EXPECT_EQ(prompt.Messages().last(), QStringLiteral("Error reading ") + dir.filePath(QStringLiteral("none.txt")));
}

// --- Snapshot ------------------------------------------------------------------------------------------

TEST_F(Windows, SnapshotSections)
{
    EnableReady();
    model->Watches().AddWatchText(QStringLiteral("count"));
    model->Breaks().AddBreak(source, 4);
    model->ReportError(QStringLiteral("an old error"));
    const QString file = dir.filePath(QStringLiteral("snap.txt"));
    TSnapshotSettings &s = model->Snapshot().settings;
    s.where = TSnapshotSettings::swOverwrite;
    s.filename = file;
    s.breaks = s.ram = s.eeprom = s.rompcpm6 = s.nextc = s.errors = s.config = s.eval = true;
    s.ramstart = 0x20;
    s.ramend = 0x2F;
    model->Snapshot().TakeSnapshot();
    const QString text = QString::fromUtf8(ReadFile(file));
    EXPECT_TRUE(text.startsWith(QStringLiteral("\r\n")));
    EXPECT_TRUE(text.contains(base + QStringLiteral("   Ready MCU at 20.00 MHz\r\n   PC=0001,  W=00\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n   Watches:\r\n      count  =>  0\r\n        =>  \r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("   Break set at 0002   ") + source + QStringLiteral(":4\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("   RAM  020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("   Eeprom Data:\r\n   Data EEPROM  00: ")));
    EXPECT_TRUE(text.contains(QStringLiteral("   Rom Data:\r\n\r\n")));   // PC - 6 below 0: no rows
    EXPECT_TRUE(text.contains(QStringLiteral("   Next C line:\r\n   Next =>   (0,3)    nop\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("   Expression field is empty.\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("an old error\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("   Debugger: Simulator    ")));
    // The error section emptied the log.
    EXPECT_TRUE(model->errorLog.isEmpty());
    // Sections in their fixed order.
    EXPECT_LT(text.indexOf(QStringLiteral("Watches:")), text.indexOf(QStringLiteral("Breaks:")));
    EXPECT_LT(text.indexOf(QStringLiteral("Ram Data:")), text.indexOf(QStringLiteral("Eeprom Data:")));
    EXPECT_LT(text.indexOf(QStringLiteral("Next C line:")), text.indexOf(QStringLiteral("Evaluate Expressions:")));
    EXPECT_LT(text.indexOf(QStringLiteral("Errors:")), text.indexOf(QStringLiteral("Configuration:")));
}

TEST_F(Windows, SnapshotToPrinterLeavesNoFileAndNewLogLinesOnlyOnce)
{
    EnableReady();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TSnapshotSettings &s = model->Snapshot().settings;
    s.where = TSnapshotSettings::swPrinter;
    model->Snapshot().TakeSnapshot();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("kiv-debug-snapshot.txt"))));
    s.where = TSnapshotSettings::swAppend;
    s.filename = QStringLiteral("log.txt");
    s.status = s.watches = s.rompc = false;
    s.lognew = true;
    model->Log().SetExpressions(QStringLiteral("%TIME"));
    model->Breaks().AddBreak(source, 4);
    model->Log().RecordLogEntry();
    model->Snapshot().TakeSnapshot();
    model->Snapshot().TakeSnapshot();
    QDir::setCurrent(previous);
    const QString text = QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("log.txt"))));
    EXPECT_EQ(text.count(QStringLiteral("Log Data:")), 2);
    EXPECT_EQ(text.count(QStringLiteral("   Log:  ")), 1);
}
