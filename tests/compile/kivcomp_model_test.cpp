#include "compile_fixture.h"
#include "kivcomp_model.h"
#include "kivprompt.h"

#include <thread>

namespace kiv::test {
namespace {

TEST(CompileStatusModel, ResetShowsTheProjectAndHidesEverythingElse)
{
    TKivCompModel model;
    model.StatusCallback(55, "junk", 102);
    model.ErrorPanelVisible = true;
    model.Reset("/p/main.c");
    EXPECT_EQ(model.Line(1), "Project:  /p/main.c");
    for (int n = 2; n <= 7; ++n)
        EXPECT_EQ(model.Line(n), "") << n;
    EXPECT_EQ(model.OutputFiles, "Output files: ERR");
    EXPECT_EQ(model.LineTotal, 0);
    EXPECT_FALSE(model.BarsVisible);
    EXPECT_FALSE(model.ErrorPanelVisible);
}

TEST(CompileStatusModel, CallbackCodes)
{
    struct Case {
        quint8 value;
        QString text;
        quint8 code;
        int line;            // line that changes, 0 for none
        QString lineText;
        QString outputFiles; // output-files list after the call
        bool process;
    };
    const QString start = "Output files: ERR";
    const Case cases[] = {
        {0, "Compiling main.c", 20, 2, "Compiling main.c", start, false},
        {0, "Free ROM 100", 21, 7, "Free ROM 100", start, false},
        {0, "  main.hex", 80, 3, "main.hex", start + "  HEX", true},
        {0, " main.sym", 90, 3, "main.sym", start + "  SYM", true},
        {0, "main.tre", 91, 3, "main.tre", start + "  TRE", true},
        {0, "main.sta", 92, 3, "main.sta", start + "  STA", true},
        {0, "main.lst", 93, 3, "main.lst", start + "  LST", true},
        {0, "main.$$$", 95, 3, "main.$$$", start + "  $$$", true},
        {0, "main.pjt", 96, 3, "main.pjt", start + "  PJT", true},
        {0, "main.map", 97, 3, "main.map", start + "  MAP", true},
        {0, "main.cod", 98, 3, "main.cod", start + "  COD", true},
        {0, "main.cof", 99, 3, "main.cof", start + "  COF", true},
        {0, "  pass 2", 70, 3, "pass 2", start, true},
        {0, "  other", 94, 3, "other", start, true},
        {0, "x", 19, 0, "", start, false},
        {0, "x", 100, 0, "", start, false},
        {0, "x", 150, 0, "", start, false},
        {0, "x", 151, 2, "Lines: 1", start, true},
        {0, "x", 255, 2, "Lines: 105", start, true},
        // A value other than 0 puts the untrimmed text into line 3 after any code.
        {7, "  note", 19, 3, "  note", start, false},
        {7, "  note", 80, 3, "  note", start + "  HEX", true},
    };
    for (const Case &c : cases) {
        TKivCompModel model;
        model.Reset("m.c");
        EXPECT_EQ(model.StatusCallback(c.value, c.text, c.code), c.process) << int(c.code);
        for (int n = 2; n <= 7; ++n)
            EXPECT_EQ(model.Line(n), n == c.line ? c.lineText : QString())
                << "code " << int(c.code) << " line " << n;
        EXPECT_EQ(model.OutputFiles, c.outputFiles) << int(c.code);
    }
}

TEST(CompileStatusModel, LinesAddUpAndBarsShowWithRam)
{
    TKivCompModel model;
    model.ObjectExtension = "hex";
    model.Reset("m.c");
    model.StatusCallback(0, "", 160);
    model.StatusCallback(0, "", 155);
    EXPECT_EQ(model.Line(2), "Lines: 15");
    model.StatusCallback(0, "", 80);
    EXPECT_EQ(model.OutputFiles, "Output files: ERR  HEX");
    model.StatusCallback(45, "", 101);
    EXPECT_EQ(model.RomPercent, 45);
    EXPECT_FALSE(model.BarsVisible);
    model.StatusCallback(12, "", 102);
    EXPECT_EQ(model.RamPercent, 12);
    EXPECT_TRUE(model.BarsVisible);
    model.Reset("m.c");
    EXPECT_EQ(model.LineTotal, 0);
}

class CompileStatusRun : public TCompileFixture {
protected:
    TCompileArguments Args() const
    {
        TCompileArguments args;
        args.mainFile = base + ".c";
        return args;
    }
};

TEST_F(CompileStatusRun, CleanCompileShowsTheCallbackLinesAndTheOutputFiles)
{
    Install({"QOR"});
    Script({"cb 0 171", "cb 0 80 main.hex", "cb 0 90 main.sym", "cb 40 101", "cb 10 102",
            "cb 0 21 RAM used: 10%"});
    TKivCompModel model;
    TRecordingView view;
    TCompilerLibrary library(dllDir);
    TCompileResult result;
    EXPECT_EQ(model.Compile(view, library, "QOR", true, Args(), 0, base + ".err", result),
              crCompiled);
    EXPECT_EQ(model.Caption, "VYN QOR C Compiler, Version T1.0 QOR");
    EXPECT_EQ(model.Line(1), "Project:  " + base + ".c");
    EXPECT_EQ(model.Line(2), "Lines: 21");
    EXPECT_EQ(model.Line(3), "Output files: ERR  HEX  SYM");
    EXPECT_EQ(model.Line(7), "RAM used: 10%");
    EXPECT_TRUE(model.BarsVisible);
    EXPECT_EQ(model.RomPercent, 40);
    EXPECT_EQ(model.RamPercent, 10);
    EXPECT_FALSE(model.ErrorPanelVisible);
    EXPECT_EQ(view.calls, QStringList({"ShowBusy", "ProcessEvents", "ProcessEvents",
                                       "ProcessEvents", "EndBusy"}));
}

TEST_F(CompileStatusRun, TheCompilerRunsOffTheCallingThreadAndItsReportsArriveOnIt)
{
    Install({"QOR"});
    Script({"thread", "cb 0 171", "cb 0 80 main.hex", "cb 0 21 done", "err No Errors"});
    TKivCompModel model;
    TRecordingView view;
    const std::thread::id caller = std::this_thread::get_id();
    bool everyCallOnTheCaller = true;
    view.onProcessEvents = [&] { everyCallOnTheCaller &= std::this_thread::get_id() == caller; };
    TCompilerLibrary library(dllDir);
    TCompileResult result;
    EXPECT_EQ(model.Compile(view, library, "QOR", true, Args(), 0, base + ".err", result),
              crCompiled);
    EXPECT_TRUE(QString::fromUtf8(ReadFile(base + ".calls")).contains("mainthread=no"));
    EXPECT_TRUE(everyCallOnTheCaller);
    EXPECT_EQ(model.Line(2), "Lines: 21");
    EXPECT_EQ(model.Line(7), "done");
    EXPECT_EQ(view.calls, QStringList({"ShowBusy", "ProcessEvents", "ProcessEvents", "EndBusy"}));
}

TEST_F(CompileStatusRun, LineTwoSaysCompleteWhenTheCompilerLeftItEmpty)
{
    Install({"QOR"});
    Script({});
    TKivCompModel model;
    TRecordingView view;
    TCompilerLibrary library(dllDir);
    TCompileResult result;
    model.Compile(view, library, "QOR", true, Args(), 0, base + ".err", result);
    EXPECT_EQ(model.Line(2), "Compilation complete.");
    EXPECT_EQ(model.Line(3), "Output files: ERR");
}

TEST_F(CompileStatusRun, AnErrorFillsTheErrorPanel)
{
    Install({"QOR"});
    Script({"message Undefined identifier", "file main.c", "line 7"});
    TKivCompModel model;
    TRecordingView view;
    TCompilerLibrary library(dllDir);
    TCompileResult result;
    model.Compile(view, library, "QOR", true, Args(), 0, base + ".err", result);
    EXPECT_TRUE(model.ErrorPanelVisible);
    EXPECT_EQ(model.ErrorLabel, "ERROR");
    EXPECT_EQ(model.ErrorLine1, "main.c,  Line 7");
    EXPECT_EQ(model.ErrorLine2, "Undefined identifier");
}

TEST_F(CompileStatusRun, DisplaysAfterTheCompileFollowTheHoldFlags)
{
    Install({"QOR"});
    struct Case {
        quint16 flags;
        bool error;
        QStringList displays;   // after ShowBusy, EndBusy
    };
    const Case cases[] = {
        {0x0000, false, {}},
        {0x0000, true, {}},
        // "3 Secs" / "No": shown for 3 seconds after a clean compile, not again after a failure.
        {0x03A0, false, {"Timed 3"}},
        {0x03A0, true, {}},
        // "3 Secs" / "As above": a failure is shown until a key, and the timed display dropped.
        {0x03E0, false, {"Timed 3"}},
        {0x03E0, true, {"ModalAnyKey"}},
        // "Hold Up": held after a clean compile; with "As above" a failure waits for any key.
        {0x0080, false, {"ModalHeld"}},
        {0x0080, true, {}},
        {0x00C0, false, {"ModalHeld"}},
        {0x00C0, true, {"ModalAnyKey"}},
        {0x0040, true, {"ModalAnyKey"}},
        {0x0040, false, {}},
    };
    for (const Case &c : cases) {
        QFile::remove(base + ".calls");
        Script(c.error ? QStringList({"message Bad", "file main.c", "line 1"}) : QStringList());
        TKivCompModel model;
        TRecordingView view;
        TCompilerLibrary library(dllDir);
        TCompileResult result;
        model.Compile(view, library, "QOR", true, Args(), c.flags, base + ".err", result);
        EXPECT_EQ(view.Displays(), QStringList({"ShowBusy", "EndBusy"}) + c.displays)
            << std::hex << c.flags << " error " << c.error;
    }
}

TEST_F(CompileStatusRun, AnEditionThatIsNotInstalledGetsTheOneLineErrorFile)
{
    struct Case {
        quint16 flags;
        QStringList displays;
    };
    const Case cases[] = {
        {0x0000, {}},
        {0x03A0, {"Wait 3"}},
        {0x0040, {"ShowUntilClosed"}},
        {0x05E0, {"Wait 5", "ShowUntilClosed"}},
        {0x0080, {}},
    };
    for (const Case &c : cases) {
        WriteFile(base + ".err", "old contents\r\nsecond line\r\n");
        TKivCompModel model;
        TRecordingView view;
        TCompilerLibrary library(dllDir);
        TCompileResult result;
        EXPECT_EQ(model.Compile(view, library, "QAN", false, Args(), c.flags, base + ".err",
                                result),
                  crNotInstalled);
        EXPECT_EQ(ErrFileText(),
                  "Error: The selected compiler: \"QAN\" is not installed on this PC\r\n");
        EXPECT_EQ(result.message,
                  "Error: The selected compiler: \"QAN\" is not installed on this PC");
        EXPECT_EQ(view.Displays(), c.displays) << std::hex << c.flags;
        EXPECT_FALSE(library.IsLoaded());
    }
}

TEST_F(CompileStatusRun, AMissingLibraryCompilesNothingAndLeavesTheErrorFile)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    WriteFile(base + ".err", "old\r\n");
    TKivCompModel model;
    TRecordingView view;
    TCompilerLibrary library(dllDir);
    TCompileResult result;
    // Reported installed (the file vanished after the check): the load fails.
    EXPECT_EQ(model.Compile(view, library, "QOR", true, Args(), 0x03E0, base + ".err", result),
              crAborted);
    EXPECT_EQ(prompt.Messages(), QStringList({"Can not open " + dllDir + "QOR.so"}));
    EXPECT_EQ(ErrFileText(), "old\r\n");
    EXPECT_TRUE(view.Displays().isEmpty());
}

}  // namespace
}  // namespace kiv::test
