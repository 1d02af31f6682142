#include "compile_fixture.h"
#include "compilertable.h"
#include "kivini.h"
#include "kivprompt.h"
#include "preferences_model.h"
#include "uErrorList_model.h"

#include <memory>

namespace kiv::test {
namespace {

class CompileProject : public TCompileFixture {
protected:
    void SetUp() override
    {
        TCompileFixture::SetUp();
        host.base = base;
        options.noErrors = TCompileOptions::neNo;
    }

    /// Builds the installed list from dll/ (selecting `code` when given) and the controller.
    void Make(const QString &code = {})
    {
        compilers.Build(dllDir);
        if (!code.isEmpty()) {
            ASSERT_TRUE(compilers.Select(compilers.IndexOfCode(code))) << code.toStdString();
        }
        library = std::make_unique<TCompilerLibrary>(dllDir);
        controller = std::make_unique<TCompileController>(host, compilers, options, *library,
                                                          status, view, errors);
        controller->InstallFolder = "/opt/kiv/";
    }

    QString Processor() const
    {
        return TIniFile(base + ".pjt").ReadString("PROJECT", "Processor");
    }

    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    TRecordingHost host;
    TInstalledCompilers compilers;
    TCompileOptions options;
    std::unique_ptr<TCompilerLibrary> library;
    TKivCompModel status;
    TRecordingView view;
    TErrorListModel errors;
    std::unique_ptr<TCompileController> controller;
};

TEST_F(CompileProject, ACleanCompileRecordsTheProcessorAndTheRecentProject)
{
    Install({"QOR"});
    Script({"err No Errors", "processor 877A", "cb 0 80 main.hex"});
    host.defines = "LED=3\t";
    Make();
    ASSERT_TRUE(controller->CompileProject());

    EXPECT_EQ(host.log, QStringList({
                            "CompileEnabled 0",
                            "SaveAll",
                            "Release " + QStringList({base + ".HEX", base + ".LST", base + ".sym",
                                                      base + ".sta", base + ".tre"})
                                             .join(','),
                            "Close " + base + ".$$$",
                            "Reopen",
                            "Recent " + base + ".pjt",
                            "Finished",
                            "Groups 1",
                            "CompileEnabled 1",
                        }));
    EXPECT_FALSE(controller->LastCompileFailed());
    EXPECT_EQ(Processor(), "0x877A");
    EXPECT_EQ(errors.Lines(), QStringList({"No Errors"}));
    EXPECT_EQ(errors.Selected(), -1);

    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["main"], base + ".c");
    EXPECT_EQ(calls[0]["install"], "/opt/kiv/");
    EXPECT_EQ(calls[0]["includes"], "/inc/a;/inc/b");
    EXPECT_EQ(calls[0]["reserved"], "[]");
    EXPECT_EQ(calls[0]["defines"], "LED=3\t");
    EXPECT_EQ(calls[0]["constant"], "9");
    EXPECT_EQ(calls[0]["debug"], "4");
    EXPECT_EQ(calls[0]["error"], "1");
    EXPECT_EQ(calls[0]["options"], "3");
    EXPECT_EQ(calls[0]["objext"], "HEX");
    EXPECT_EQ(calls[0]["listext"], "LST");
}

TEST_F(CompileProject, TheMainFileGetsItsDotAndTheProjectFileKeepsItsOtherKeys)
{
    Install({"QOR"});
    Script({"processor 1F"});
    WriteFile(base + ".pjt", "[Target Data]\r\nFileList=main.c\r\n[PROJECT]\r\nProcessor=0x0000\r\n");
    host.extension = "c";
    Make();
    controller->CompileProject();
    EXPECT_EQ(Calls().at(0)["main"], base + ".c");
    EXPECT_EQ(Processor(), "0x001F");
    EXPECT_EQ(TIniFile(base + ".pjt").ReadString("Target Data", "FileList"), "main.c");
}

TEST_F(CompileProject, AStarFirstLineCountsAsAnError)
{
    Install({"QOR"});
    Script({"err * the compiler stopped", "processor 877A"});
    Make();
    controller->CompileProject();
    EXPECT_TRUE(controller->LastCompileFailed());
    EXPECT_EQ(errors.Selected(), 0);
    EXPECT_TRUE(host.Entries("Recent").isEmpty());
    EXPECT_TRUE(host.Entries("Finished").isEmpty());
    EXPECT_EQ(Processor(), "");
    // Without a message of its own, the status bar shows the selected error line.
    EXPECT_EQ(host.Entries("Status"), QStringList({"Status * the compiler stopped"}));
}

TEST_F(CompileProject, AFailureOpensTheErrorFileAndSelectsTheColumns)
{
    Install({"QOR"});
    Script({"err --- Warning 203 \"main.c\" Line 2(1,4): Condition always TRUE",
            "err *** Error 12 \"main.c\" Line 7(3,9): Undefined identifier", "message Undefined identifier",
            "file main.c", "line 7", "start 3", "end 9", "last 12"});
    Make();
    controller->CompileProject();
    EXPECT_TRUE(controller->LastCompileFailed());
    EXPECT_EQ(errors.Selected(), 1);
    EXPECT_EQ(controller->LastMessageNumber(), 12);
    const QStringList after = host.log.mid(host.log.indexOf("Reopen"));
    // Messages bring the Output window into view; the error's editor is opened after it.
    EXPECT_EQ(after, QStringList({"Reopen", "ShowOutput", "Open " + projectDir + "main.c",
                                  "Select 7 3 9", "Status Undefined identifier", "Groups 1",
                                  "CompileEnabled 1"}));
    EXPECT_TRUE(prompt.Asked().empty());
}

TEST_F(CompileProject, AnAbsoluteErrorFileIsOpenedAsItIs)
{
    Install({"QOR"});
    Script({"err *** Error", "message Bad", "file /else/where.h", "line 2"});
    Make();
    controller->CompileProject();
    EXPECT_EQ(host.Entries("Open"), QStringList({"Open /else/where.h"}));
}

TEST_F(CompileProject, AMessageStartingWithASpaceShowsTheWholeErrorFile)
{
    Install({"QOR"});
    Script({"err *** Error 99 \"main.c\" Line 1: out of memory", "err   detail one",
            "err   detail two", "message  Out of ROM", "file main.c", "line 1"});
    Make();
    controller->CompileProject();
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].kind, mtError);
    EXPECT_EQ(prompt.Asked()[0].text, " Out of ROM\n\n  detail one\n  detail two\n");
}

TEST_F(CompileProject, MultiLineFormatsUseTheOutputWindow)
{
    Install({"QOR"});
    struct Case {
        bool all;
        bool warnings;
        bool error;
        QStringList shown;   // log entries "ShowOutput" and "Open ..."
    };
    const Case cases[] = {
        {true, true, false, {"ShowOutput"}},
        {true, true, true, {"ShowOutput", "ShowOutput"}},
        {false, true, true, {"ShowOutput", "ShowOutput"}},
        // A message line in the list shows the Output window whatever the format.
        {true, false, true, {"ShowOutput", "ShowOutput"}},
        {true, false, false, {}},
    };
    for (const Case &c : cases) {
        host.log.clear();
        options.errorFormat = 2;
        options.allErrors = c.all;
        options.allWarnings = c.warnings;
        Script(c.error ? QStringList({"err *** Error", "message Bad", "file main.c", "line 3"})
                       : QStringList({"err No Errors"}));
        Make();
        controller->CompileProject();
        QStringList shown = host.Entries("ShowOutput") + host.Entries("Open");
        EXPECT_EQ(shown, c.shown) << c.all << c.warnings << c.error;
        EXPECT_EQ(Calls().back()["error"], QString::number(options.get_error_format()));
    }
}

TEST_F(CompileProject, TryAnswerSwitchesToTheNamedInstalledEdition)
{
    Install({"QEL", "QOR", "QAN"});
    Script({"@QOR err *** Error: This is a PIC18 part - Try QAN", "@QAN err No Errors",
            "@QAN processor 1830"});
    Make("QOR");
    controller->CompileProject();
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["edition"], "QOR");
    EXPECT_EQ(calls[1]["edition"], "QAN");
    EXPECT_EQ(compilers.SelectedCode(), "QAN");
    EXPECT_EQ(host.Entries("Selected"), QStringList({"Selected 2"}));
    EXPECT_FALSE(controller->LastCompileFailed());
    EXPECT_EQ(Processor(), "0x1830");
    // The pages are released once and re-opened once, after the last compile.
    EXPECT_EQ(host.Entries("Release").size(), 1);
    EXPECT_EQ(host.Entries("Reopen").size(), 1);
}

TEST_F(CompileProject, TryAnswersThatStop)
{
    struct Case {
        const char *first;
        int calls;
    };
    const Case cases[] = {
        {"*** Error - Try QOR", 1},      // the selected edition itself
        {"*** Error - Try OR", 1},       // part of the selected code
        {"*** Error - Try MAZ", 1},      // not installed
        {"*** Error - Try", 1},          // nothing named
        {"*** Error - Try ", 1},
        {"No Errors", 1},
    };
    Install({"QEL", "QOR", "QAN"});
    for (const Case &c : cases) {
        QFile::remove(base + ".calls");
        Script({QStringLiteral("err ") + c.first});
        Make("QOR");
        controller->CompileProject();
        EXPECT_EQ(int(Calls().size()), c.calls) << c.first;
        EXPECT_EQ(compilers.SelectedCode(), "QOR") << c.first;
    }
}

TEST_F(CompileProject, TryAnswerNamesAPartOfACode)
{
    Install({"QEL", "QOR", "QAN"});
    Script({"@QOR err *** Error - Try AN", "@QAN err No Errors"});
    Make("QOR");
    controller->CompileProject();
    EXPECT_EQ(compilers.SelectedCode(), "QAN");
    EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(CompileProject, TwoEditionsNamingEachOtherEndAfterOneRound)
{
    Install({"QOR", "QAN"});
    Script({"@QOR err *** Error - Try QAN", "@QAN err *** Error - Try QOR"});
    Make("QOR");
    controller->CompileProject();
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1]["edition"], "QAN");
    EXPECT_TRUE(controller->LastCompileFailed());
}

TEST_F(CompileProject, AnEditionThatIsNotInstalledFailsWithItsErrorLine)
{
    Install({"QEL", "QOR"});
    Make("QOR");
    QFile::remove(dllDir + "QOR.so");
    controller->CompileProject();
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(controller->LastCompileFailed());
    const QString line = "Error: The selected compiler: \"QOR\" is not installed on this PC";
    EXPECT_EQ(errors.Lines(), QStringList({line}));
    EXPECT_EQ(errors.Selected(), 0);
    EXPECT_EQ(host.Entries("Status"), QStringList({"Status " + line}));
    EXPECT_TRUE(host.Entries("Open").isEmpty());
    EXPECT_TRUE(host.Entries("Recent").isEmpty());
}

TEST_F(CompileProject, WithoutAnyInstalledEditionTheErrorFileSaysSo)
{
    Make();
    controller->CompileProject();
    EXPECT_EQ(errors.Lines(),
              QStringList({"Error: The selected compiler: \"\" is not installed on this PC"}));
    EXPECT_TRUE(controller->LastCompileFailed());
}

TEST_F(CompileProject, WithoutAProjectNothingRuns)
{
    Install({"QOR"});
    host.base.clear();
    Make();
    EXPECT_FALSE(controller->CompileProject());
    EXPECT_TRUE(host.log.isEmpty());
}

TEST_F(CompileProject, CompileDoesNotReEnterItself)
{
    Install({"QOR"});
    Script({"cb 0 171", "err No Errors"});
    Make();
    int inner = 0;
    view.onProcessEvents = [&] {
        ++inner;
        EXPECT_FALSE(controller->CompileProject());
        EXPECT_TRUE(controller->Running());
    };
    ASSERT_TRUE(controller->CompileProject());
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_FALSE(controller->Running());
}

TEST_F(CompileProject, AnIncludeListTooLongForItsBufferIsRejectedNotCut)
{
    Install({"QOR"});
    Script({"err No Errors"});
    host.includes = QString(300, 'i');
    Make();
    controller->CompileProject();
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(prompt.Messages(),
              QStringList({"The include directory list is too long for the compiler: 300 bytes, "
                           "at most 255. The compile was not started."}));
    EXPECT_TRUE(controller->LastCompileFailed());
    EXPECT_TRUE(host.Entries("Recent").isEmpty());
    // The released pages come back and the command is enabled again.
    EXPECT_EQ(host.log.mid(host.log.indexOf("Reopen")),
              QStringList({"Reopen", "Groups 1", "CompileEnabled 1"}));
}

TEST_F(CompileProject, AMissingLibraryStopsWithoutReadingTheOldErrorFile)
{
    WriteFile(dllDir + "QOR.so", "not a library");
    WriteFile(base + ".err", "No Errors\r\n");
    Make("QOR");
    controller->CompileProject();
    EXPECT_EQ(prompt.Messages(), QStringList({"Can not open " + dllDir + "QOR.so"}));
    EXPECT_EQ(QString::fromUtf8(ReadFile(base + ".err")), "No Errors\r\n");
    EXPECT_TRUE(controller->LastCompileFailed());
    EXPECT_TRUE(host.Entries("Recent").isEmpty());
    EXPECT_EQ(Processor(), "");
}

TEST_F(CompileProject, AnErrorFileThatCannotBeReadStopsTheCommand)
{
    Install({"QOR"});
    Script({"noerr", "processor 877A"});
    Make();
    controller->CompileProject();
    EXPECT_EQ(prompt.Messages(), QStringList({"Cannot read the file " + base + ".err"}));
    EXPECT_TRUE(host.Entries("Recent").isEmpty());
    EXPECT_EQ(Processor(), "");
}

TEST_F(CompileProject, AnActiveDebugSessionCompilesForTheInCircuitDebugger)
{
    Install({"QOR"});
    Script({"err No Errors"});
    host.debugActive = true;
    options.keepTre = options.keepSta = false;
    Make();
    controller->CompileProject();
    EXPECT_EQ(Calls().at(0)["options"], QString::number(0x40));
}

class DebugReadiness : public CompileProject {
protected:
    void Sym(const QByteArray &text) { WriteFile(base + ".sym", text); }
};

TEST_F(DebugReadiness, WithoutASymbolFileTheProjectMustBeCompiledFirst)
{
    Install({"QOR"});
    Make();
    EXPECT_FALSE(controller->DebugReadiness());
    EXPECT_EQ(prompt.Messages(), QStringList({"Project must be compiled first."}));
}

TEST_F(DebugReadiness, QuestionsAndAnswers)
{
    const QByteArray settings = "Compiler Settings:\r\n";
    const QByteArray coff = "    Debug/COFF: Yes\r\n";
    const QByteArray ecod = "    Debug/eCOD: Yes\r\n";
    const QByteArray icd = "    ICD Provisions: Yes\r\n";
    const QString formatQuestion =
        "The debugger only supports the Expanded COD format or COFF. To automatically set the "
        "COFF format and recompile click YES, otherwise you have to select it from "
        "Options/File Formats.";
    const QString icdQuestion =
        "Your code does not have ICD mode enable. To recompile with this mode click YES, "
        "otherwise you have to add \"#device icd=true\" to your code.";
    struct Case {
        QByteArray sym;
        QList<TMsgResult> answers;
        bool ready;
        QStringList asked;
        int compiles;
    };
    const Case cases[] = {
        {"Project Files:\r\n  main.c\r\n", {}, true, {}, 0},
        {settings + coff + icd, {}, true, {}, 0},
        {settings + ecod + icd, {}, true, {}, 0},
        {settings + icd, {mrNo}, false, {formatQuestion}, 0},
        {settings + icd, {mrYes}, true, {formatQuestion}, 1},
        {settings + coff, {mrNo}, false, {icdQuestion}, 0},
        {settings + coff, {mrYes}, true, {icdQuestion}, 1},
        {settings, {mrYes, mrYes}, true, {formatQuestion, icdQuestion}, 1},
        {settings, {mrYes, mrNo}, false, {formatQuestion, icdQuestion}, 0},
        // Indentation matters: the lines are matched from their start.
        {settings + "  Debug/COFF: Yes\r\n" + icd, {mrNo}, false, {formatQuestion}, 0},
    };
    Install({"QOR"});
    Script({"err No Errors"});
    for (const Case &c : cases) {
        QFile::remove(base + ".calls");
        Sym(c.sym);
        TScriptedPrompt answers;
        TPromptGuard inner(&answers);
        for (TMsgResult answer : c.answers)
            answers.Queue(answer);
        options.debugFormat = 1;
        Make();
        EXPECT_EQ(controller->DebugReadiness(), c.ready) << c.sym.constData();
        EXPECT_EQ(answers.Messages(), c.asked) << c.sym.constData();
        for (const auto &question : answers.Asked()) {
            EXPECT_EQ(question.caption, "Kiv");
            EXPECT_EQ(question.buttons, mbYesNo);
        }
        EXPECT_EQ(int(Calls().size()), c.compiles) << c.sym.constData();
    }
}

TEST_F(DebugReadiness, TheRecompileUsesCoffAndTheInCircuitOptionOnce)
{
    Install({"QOR"});
    Script({"err No Errors"});
    WriteFile(base + ".sym", "Compiler Settings:\r\n    Debug/Standard COD: Yes\r\n");
    options.debugFormat = 1;
    options.keepTre = options.keepSta = false;
    prompt.Queue(mrYes);
    prompt.Queue(mrYes);
    Make();
    EXPECT_TRUE(controller->DebugReadiness());
    EXPECT_FALSE(controller->InCircuitOnce());
    controller->CompileProject();
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["debug"], "4");
    EXPECT_EQ(calls[0]["options"], QString::number(0x40));
    EXPECT_EQ(calls[1]["options"], "0");
}

TEST_F(DebugReadiness, AFailedRecompileFailsTheCheck)
{
    Install({"QOR"});
    Script({"err *** Error 1 \"main.c\" Line 1: bad", "message bad", "file main.c", "line 1"});
    WriteFile(base + ".sym", "Compiler Settings:\r\n    Debug/COFF: Yes\r\n");
    prompt.Queue(mrYes);
    Make();
    EXPECT_FALSE(controller->DebugReadiness());
    EXPECT_FALSE(controller->InCircuitOnce());
}

}  // namespace
}  // namespace kiv::test
