// The pieces of the compiler editions that read the tools' output and write the reports.

#include "call_tree.h"
#include "edition_core.h"
#include "edition_messages.h"
#include "gputils_reports.h"
#include "source_text.h"
#include "tool_runner.h"
#include "compiler_abi.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include <sys/types.h>

using namespace kiv;
using namespace kiv::compiler;

namespace {

TEST(EditionGpasmOutput, MessagesWithAndWithoutPlace)
{
    const auto messages = ParseGpasmOutput(
        "bad.asm:6:Error[181]   Unknown opcode: \"frobnicate\"\n"
        "/a b/c:d.inc:12:Warning[202] Argument out of range.\r\n"
        "x.asm:3:Message[302] Register in operand not in bank 0.\n"
        "Error[131]   Processor type is undefined.\n"
        "error: could not open file\n"
        "message: Using default linker script\n"
        "some other line\n");
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].kind, TToolMessage::Error);
    EXPECT_EQ(messages[0].file, "bad.asm");
    EXPECT_EQ(messages[0].line, 6);
    EXPECT_EQ(messages[0].number, 181);
    EXPECT_EQ(messages[0].text, "Unknown opcode: \"frobnicate\"");
    EXPECT_EQ(messages[1].file, "/a b/c:d.inc") << "a \":\" in the file name stays in the name";
    EXPECT_EQ(messages[1].line, 12);
    EXPECT_EQ(messages[1].kind, TToolMessage::Warning);
    EXPECT_EQ(messages[2].kind, TToolMessage::Message);
    EXPECT_EQ(messages[3].file, "");
    EXPECT_EQ(messages[3].number, 131);
    EXPECT_EQ(messages[4].text, "could not open file");
}

TEST(EditionGplinkOutput, ErrorsAndWarningsButNotInformation)
{
    const auto messages = ParseGplinkOutput(
        "message: Using default linker script \"/usr/share/gputils/lkr/16f877a_g.lkr\".\n"
        "error: Missing definition for symbol \"far_away\", required by \"t2.o\".\n"
        "warning: Processor mismatch.\n");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].kind, TToolMessage::Error);
    EXPECT_EQ(NumberForLinkerError(messages[0].text), mnMissingDefinition);
    EXPECT_EQ(QuotedToken(messages[0].text), "far_away");
    EXPECT_EQ(messages[1].kind, TToolMessage::Warning);
    EXPECT_EQ(ParseLinkerScriptMessage("message: Using default linker script \"/x/y.lkr\".\n"), "/x/y.lkr");
}

TEST(EditionDependencyFile, OneFilePerLineEvenWithSpaces)
{
    const auto files = ParseDependencyFile("/my work/a.o :  \\\n  /my work/a.asm \\\n  /usr/share/p.inc \\\n  sub/b.inc\n");
    EXPECT_EQ(files, (std::vector<std::string>{"/my work/a.asm", "/usr/share/p.inc", "sub/b.inc"}));
    EXPECT_TRUE(ParseDependencyFile("garbage without separator").empty());
}

TEST(EditionProcessorProperties, ClassAndNameFromGpasm)
{
    TProcessorInfo info;
    ASSERT_TRUE(ParseProcessorProperties("Names          : pic18f452, p18f452, 18f452\nClass          : PIC16E\n"
                                         "Linker Script  : 18f452_g.lkr\n",
                                         &info));
    EXPECT_EQ(info.name, "pic18f452");
    EXPECT_EQ(info.gpasmClass, "PIC16E");
    EXPECT_EQ(info.linkerScript, "18f452_g.lkr");
    EXPECT_FALSE(ParseProcessorProperties("nothing useful", &info));
    EXPECT_EQ(ParseObjectProcessor("COFF version 0x1234\nProcessor Type       16f877a\n"), "16f877a");
}

TEST(EditionCore, ClassesMapToEditions)
{
    const struct {
        const char *gpasmClass;
        TCore core;
        const char *edition;
    } cases[] = {{"PIC12", TCore::Bit12, "QEL"}, {"PIC12E", TCore::Bit12, "QEL"}, {"PIC12I", TCore::Bit12, "QEL"},
                 {"PIC14", TCore::Bit14, "QOR"}, {"PIC14E", TCore::Bit14, "QOR"}, {"PIC14EX", TCore::Bit14, "QOR"},
                 {"PIC16E", TCore::Pic18, "QAN"}, {"PIC16", TCore::Pic17, nullptr},  {"SX", TCore::Unknown, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.gpasmClass);
        EXPECT_EQ(CoreOfClass(c.gpasmClass), c.core);
        const TEditionInfo *edition = EditionForCore(c.core);
        if (c.edition) {
            ASSERT_NE(edition, nullptr);
            EXPECT_STREQ(edition->code, c.edition);
        } else {
            EXPECT_EQ(edition, nullptr);
        }
    }
}

TEST(EditionLinkMap, SectionsAndSymbols)
{
    const char *text =
        "                                 Section Info\n"
        "                  Section       Type    Address   Location Size(Bytes)\n"
        "                ---------  ---------  ---------  ---------  ---------\n"
        "                      rst       code   0x000000    program   0x000006\n"
        "                   .udata      udata   0x000020       data   0x000002\n"
        "\n\n"
        "                              Program Memory Usage\n"
        "                               Start         End\n"
        "                           ---------   ---------\n"
        "                            0x000000    0x000002\n"
        "\n"
        "                              Symbols - Sorted by Name\n"
        "                     Name    Address   Location    Storage File\n"
        "                ---------  ---------  ---------  --------- ---------\n"
        "                   count1   0x000020       data     static /my work/blink.asm\n"
        "                    start   0x000003    program     static blink.asm\n"
        "\n"
        "                              Symbols - Sorted by Address\n"
        "                ---------  ---------  ---------  --------- ---------\n"
        "                    other   0x000003    program     static blink.asm\n";
    TLinkMap map;
    ASSERT_TRUE(ParseLinkMap(text, &map));
    ASSERT_EQ(map.sections.size(), 2u);
    EXPECT_EQ(map.sections[0].name, "rst");
    EXPECT_EQ(map.sections[0].sizeBytes, 6u);
    EXPECT_EQ(map.sections[1].location, "data");
    ASSERT_EQ(map.symbols.size(), 2u);
    EXPECT_EQ(map.symbols[0].file, "/my work/blink.asm");
    EXPECT_EQ(map.symbols[1].address, 3u);
}

TEST(EditionLinkerScript, CapacitiesCountUnprotectedMemoryOnce)
{
    const TLinkerScript script = ParseLinkerScript(
        "// comment CODEPAGE NAME=x START=0 END=0xFFFF\n"
        "CODEPAGE   NAME=page0      START=0x0               END=0x7FF\n"
        "CODEPAGE   NAME=page1      START=0x800             END=0xFFF\n"
        "CODEPAGE   NAME=.config    START=0x2007            END=0x2007         PROTECTED\n"
        "#IFDEF _DEBUGCODESTART\n"
        "  CODEPAGE   NAME=debug    START=0x1F00            END=0x1FFF\n"
        "#ELSE\n"
        "  CODEPAGE   NAME=page3    START=0x1000            END=0x1FFF\n"
        "#FI\n"
        "DATABANK   NAME=sfr0       START=0x0               END=0x1F           PROTECTED\n"
        "DATABANK   NAME=gpr0       START=0x20              END=0x6F\n"
        "ACCESSBANK NAME=accessram  START=0x0               END=0x7F\n"
        "SHAREBANK  NAME=gprnobnk   START=0x70            END=0x7F\n"
        "SHAREBANK  NAME=gprnobnk   START=0xF0            END=0xFF           PROTECTED\n"
        "SHAREBANK  NAME=gprnobnk   START=0x170           END=0x17F\n");
    EXPECT_EQ(script.ProgramCapacity(), 0x2000u);
    EXPECT_EQ(script.DataCapacity(), 0x50u + 0x80u + 0x10u);
    EXPECT_TRUE(script.InProgramMemory(0x1FFF));
    EXPECT_FALSE(script.InProgramMemory(0x2007));
}

TEST(EditionCoffHeader, OldAndNewFormatsAndShortFiles)
{
    std::string old(36, '\0');
    old[0] = 0x34; old[1] = 0x12; old[16] = 16;
    old[24] = 0x7A; old[25] = static_cast<char>(0x87);
    TCoffHeader header = ParseCoffHeader(old);
    EXPECT_TRUE(header.valid);
    EXPECT_EQ(header.processor, 0x877Au);

    std::string fresh(38, '\0');
    fresh[0] = 0x40; fresh[1] = 0x12; fresh[16] = 18;
    fresh[26] = 0x2F; fresh[27] = 0x45;
    header = ParseCoffHeader(fresh);
    EXPECT_TRUE(header.valid);
    EXPECT_EQ(header.processor, 0x452Fu);

    EXPECT_FALSE(ParseCoffHeader(old.substr(0, 30)).valid) << "cut inside the optional header";
    EXPECT_FALSE(ParseCoffHeader("").valid);
    old[16] = 18;
    EXPECT_FALSE(ParseCoffHeader(old).valid) << "old magic with a new-size optional header";
}

TEST(EditionIntelHex, RecordsChecksumsAndWordOrder)
{
    TProgramImage image;
    ASSERT_TRUE(ReadIntelHex(":020000040000FA\r\n:0400000001020304F2\r\n:00000001FF\r\n", false, &image));
    std::uint16_t word = 0;
    ASSERT_TRUE(image.Word(0, &word));
    EXPECT_EQ(word, 0x0201);
    EXPECT_FALSE(ReadIntelHex(":0400000001020304F3\n", false, &image)) << "bad checksum";
    EXPECT_FALSE(ReadIntelHex("not a hex file\n", false, &image));
    EXPECT_FALSE(ReadIntelHex(":0400000001\n", false, &image)) << "record shorter than its count";
    // INHX16: word addresses, high byte first.
    ASSERT_TRUE(ReadIntelHex(":02000100200DD0\n", true, &image));
    ASSERT_TRUE(image.Word(2, &word));
    EXPECT_EQ(word, 0x200D);
}

TEST(EditionCallTree, Pic14CallsResolveThroughLabelsOnTheirPage)
{
    // call 0x00D at 0x009 and at 0x805 (page 1); labels at 0x00D and 0x80D.
    TProgramImage image;
    auto put = [&image](std::uint32_t wordAddress, std::uint16_t word) {
        image.bytes[wordAddress * 2] = static_cast<std::uint8_t>(word & 0xFF);
        image.bytes[wordAddress * 2 + 1] = static_cast<std::uint8_t>(word >> 8);
    };
    put(0x009, 0x200D);
    put(0x805, 0x200D);
    const TLinkerScript script = ParseLinkerScript("CODEPAGE NAME=p START=0 END=0xFFF\n");
    const std::vector<TMapSymbol> symbols = {{"low", 0x00D, "program", "static", ""},
                                             {"high", 0x80D, "program", "static", ""},
                                             {"var", 0x00D, "data", "static", ""}};
    const std::vector<TCallSite> calls = FindCalls(image, TCore::Bit14, script, symbols);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].to, 0x00Du);
    EXPECT_EQ(calls[1].to, 0x80Du);
}

TEST(EditionCallTree, RecursionAndSharedCalleesAreWrittenOnce)
{
    TLinkMap map;
    map.sections = {{"code", "code", 0x0, "program", 0x40}};
    map.symbols = {{"main", 0x0, "program", "static", ""},
                   {"a", 0x8, "program", "static", ""},
                   {"b", 0x10, "program", "static", ""}};
    const TLinkerScript script = ParseLinkerScript("CODEPAGE NAME=p START=0 END=0x7FF\n");
    // main calls a and b; a calls b; b calls a.
    const std::vector<TCallSite> calls = {{0x1, 0x8}, {0x2, 0x10}, {0x9, 0x10}, {0x11, 0x8}};
    const std::string tree = CallTreeText("T", map, script, calls);
    EXPECT_EQ(tree, "T\r\n\r\n"
                    "main 0x0000\r\n"
                    "   a 0x0008\r\n"
                    "      b 0x0010\r\n"
                    "         a 0x0008 (recursive)\r\n"
                    "   b 0x0010 (see above)\r\n");
}

TEST(EditionSourceText, TokensOutsideCommentsAndCharacterColumns)
{
    EXPECT_EQ(FindToken("        goto    nowhere ; nowhere", "nowhere", false), 16u);
    EXPECT_EQ(FindToken("  call nowhere2", "nowhere", false), std::string::npos) << "whole words only";
    EXPECT_EQ(FindToken(" ; call x", "x", false), std::string::npos) << "comments are skipped";
    EXPECT_EQ(FindToken(" messg \"a;b\" x", "x", false), 13u) << "a \";\" inside quotes is no comment";
    EXPECT_EQ(FindToken(" LIST P=16F877A", "16f877a", true), 8u);
    const std::string utf8 = "\xC3\xA9t\xC3\xA9 x";   // "été x"
    EXPECT_EQ(CharacterColumn(utf8, utf8.find('x')), 5);
    const std::string latin1 = "\xE9t\xE9 x";         // Latin-1 bytes: one character each
    EXPECT_EQ(CharacterColumn(latin1, latin1.find('x')), 5);
    EXPECT_EQ(QuotedToken("Symbol not previously defined: \"nowhere\""), "nowhere");
    EXPECT_EQ(QuotedToken("Duplicate label or redefining symbol. (x)"), "x");
    EXPECT_EQ(QuotedToken("ERROR: (custom failure)"), "");
}

TEST(EditionErrorFile, LinesSummaryAndNumbers)
{
    std::vector<TBuildMessage> messages = {
        {TSeverity::Warning, mnAssemblerWarning, {"/p/a.asm", 3, 0, 0}, "cut"},
        {TSeverity::Error, mnUnknownOpcode, {"/p/a.asm", 6, 9, 19}, "Unknown opcode: \"x\""},
        {TSeverity::Error, mnUndefinedSymbol, {"/p/b.inc", 2, 0, 0}, "line\nbreak"},
    };
    EXPECT_EQ(MessageLine(messages[1]), "*** Error 10 \"/p/a.asm\" Line 6(9,19): Unknown opcode: \"x\"");
    EXPECT_EQ(MessageLine(messages[1], false), "*** Error 10 \"/p/a.asm\" Line 6: Unknown opcode: \"x\"");
    EXPECT_EQ(MessageLine(messages[2]), "*** Error 11 \"/p/b.inc\" Line 2: line break");
    EXPECT_EQ(MessageLine(messages[0]), ">>> Warning 200 \"/p/a.asm\" Line 3: cut");
    EXPECT_EQ(ErrorFileText(messages, TErrorFileFormat::FromArgument(0xC000)),
              MessageLine(messages[1]) + "\r\n" + MessageLine(messages[2]) + "\r\n" + MessageLine(messages[0]) +
                  "\r\n2 Errors, 1 Warnings\r\n");
    EXPECT_EQ(ErrorFileText({}, TErrorFileFormat::FromArgument(1)), "0 Errors, 0 Warnings\r\n");
    EXPECT_LT(static_cast<int>(mnLinkerOther), 200) << "errors stay below the warning numbers";
    EXPECT_EQ(NumberForAssemblerError(1102, "Parser error: syntax error"), mnSyntax);
    EXPECT_EQ(NumberForAssemblerError(999, "odd"), mnAssemblerOther);
}

TEST(EditionToolRunner, OutputExitCodesAndFailures)
{
    TToolResult run = RunTool({"sh", "-c", "echo out; echo err >&2; exit 3"}, "/");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("out"), std::string::npos);
    EXPECT_NE(run.output.find("err"), std::string::npos);

    run = RunTool({"sh", "-c", "pwd"}, "/tmp");
    EXPECT_EQ(run.output, "/tmp\n") << "runs in the given folder";

    run = RunTool({"kiv-no-such-program-here"}, "/");
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(run.failure.empty());

    run = RunTool({"sh", "-c", "head -c 100000 /dev/zero"}, "/", 60000, 1000);
    EXPECT_TRUE(run.finished) << "output past the limit is drained, not left blocking the program";
    EXPECT_EQ(run.output.size(), 1000u);

    run = RunTool({"sleep", "30"}, "/", 100);
    EXPECT_FALSE(run.finished);
    EXPECT_TRUE(run.timedOut);
    EXPECT_NE(run.failure.find("did not finish"), std::string::npos);
}

// True once process `pid` has ended (gone, or a zombie nobody reaped yet).
bool Ended(pid_t pid)
{
    for (int wait = 0; wait < 100; ++wait) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            return true;
        const std::size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

pid_t ReadPid(const std::string &path)
{
    std::ifstream in(path);
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
}

// Ending a tool (time limit or stop) ends what it started as well; the stop comes from another
// thread, as STOP_COMPILE does.
TEST(EditionToolRunner, TimeLimitAndStopEndTheToolAndItsChildren)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string pidFile = dir.path().toStdString() + "/child.pid";
    const std::vector<std::string> argv = {"sh", "-c", "sleep 30 & echo $! > '" + pidFile + "'; wait"};

    auto start = std::chrono::steady_clock::now();
    TToolResult run = RunTool(argv, "/", 500);
    EXPECT_TRUE(run.timedOut);
    EXPECT_FALSE(run.finished);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    pid_t child = ReadPid(pidFile);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(Ended(child)) << "the tool's own child outlived it";

    std::remove(pidFile.c_str());
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        RequestToolStop();
    });
    start = std::chrono::steady_clock::now();
    run = RunTool(argv, "/", 60000);
    stopper.join();
    EXPECT_TRUE(run.stopped);
    EXPECT_FALSE(run.finished);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    child = ReadPid(pidFile);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(Ended(child));
    // Until the stop is cleared no tool starts.
    run = RunTool({"true"}, "/");
    EXPECT_TRUE(run.stopped);
    EXPECT_FALSE(run.started);
    ClearToolStop();
    run = RunTool({"true"}, "/");
    EXPECT_TRUE(run.finished);
}

TEST(EditionToolRunner, OutputThatSaysEnoughEndsTheTool)
{
    TToolLimits limits;
    limits.timeoutMs = 60000;
    limits.enough = [](const std::string &output) { return output.size() > 10000; };
    const auto start = std::chrono::steady_clock::now();
    const TToolResult run = RunTool({"yes", "Error[101] again"}, "/", limits);
    EXPECT_TRUE(run.cutShort);
    EXPECT_FALSE(run.finished);
    EXPECT_GT(run.output.size(), 10000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(EditionToolRunner, TheTimeLimitComesFromTheEnvironment)
{
    const struct {
        const char *value;   // nullptr: unset
        int ms;
    } cases[] = {{nullptr, 120000}, {"3", 3000}, {"0", 120000}, {"x", 120000}, {"99999999", 120000}};
    for (const auto &c : cases) {
        if (c.value)
            qputenv("KIV_TOOL_TIME_LIMIT", c.value);
        else
            qunsetenv("KIV_TOOL_TIME_LIMIT");
        EXPECT_EQ(ToolTimeLimitMs(), c.ms) << (c.value ? c.value : "unset");
    }
    qunsetenv("KIV_TOOL_TIME_LIMIT");
}

TEST(EditionErrorFile, TheSummarySaysWhatIsNotListedAndHowToListIt)
{
    std::vector<TBuildMessage> messages;
    for (int n = 1; n <= 200; ++n)
        messages.push_back({TSeverity::Error, mnUnknownOpcode, {"/p/a.asm", n, 0, 0}, "Unknown opcode"});
    const std::string standard = ErrorFileText(messages, TErrorFileFormat::FromArgument(efStandard));
    EXPECT_NE(standard.find("200 Errors, 0 Warnings; 199 more errors are not listed: choose "
                            "\"Multi-Lines\" with \"Show All errors\" in Options/File Formats to list "
                            "them all\r\n"),
              std::string::npos)
        << standard;
    const std::string all = ErrorFileText(messages, TErrorFileFormat::FromArgument(efAllErrors));
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 201);
    EXPECT_TRUE(all.ends_with("200 Errors, 0 Warnings\r\n"));
}

}  // namespace
