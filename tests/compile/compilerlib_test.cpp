#include "compile_fixture.h"
#include "compilerlib.h"
#include "kivprompt.h"

namespace kiv::test {
namespace {

using CompilerLibrary = TCompileFixture;

TEST_F(CompilerLibrary, AMissingLibraryIsReportedAndNothingStaysLoaded)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    TCompilerLibrary library(dllDir);
    EXPECT_FALSE(library.LoadCompiler("QOR"));
    EXPECT_FALSE(library.IsLoaded());
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].kind, mtError);
    EXPECT_EQ(prompt.Asked()[0].text, "Can not open " + dllDir + "QOR.so");
    EXPECT_EQ(library.CompilerVersion("QOR"), "DLL Error");
}

TEST_F(CompilerLibrary, AFileThatIsNotALibraryIsReportedTheSameWay)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    WriteFile(dllDir + "QEL.so", "not a shared object");
    TCompilerLibrary library(dllDir);
    EXPECT_FALSE(library.LoadCompiler("QEL"));
    EXPECT_EQ(prompt.Messages(), QStringList({"Can not open " + dllDir + "QEL.so"}));
}

TEST_F(CompilerLibrary, VersionComesFromTheLoadedEditionWithTheBufferMarkSet)
{
    Install({"QEL", "QOR"});
    TCompilerLibrary library(dllDir);
    EXPECT_EQ(library.CompilerVersion("QEL"), "T1.0 QEL");
    EXPECT_EQ(library.LoadedCode(), "QEL");
    // Another edition replaces the loaded one.
    EXPECT_EQ(library.CompilerVersion("QOR"), "T1.0 QOR");
    EXPECT_EQ(library.LoadedCode(), "QOR");
}

TEST_F(CompilerLibrary, CompilePassesEveryArgumentInOrder)
{
    Install({"QOR"});
    Script({"message Undefined identifier", "file main.c", "line 12", "start 3", "end 9",
            "processor 877A", "last 12"});
    TCompilerLibrary library(dllDir);
    ASSERT_TRUE(library.LoadCompiler("QOR"));
    TCompileArguments args;
    args.mainFile = base + ".c";
    args.installDir = "/opt/kiv/";
    args.includeDirs = "/a;/b";
    args.defines = "DEBUG=1\t";
    args.debugFormat = 3;
    args.objectFormat = 1;
    args.listFormat = 2;
    args.errorFormat = 0xC000;
    args.options = 0x4B;
    const TCompileResult result = library.Compile(args, nullptr);

    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    const TRecordedCall &call = calls[0];
    EXPECT_EQ(call["main"], base + ".c");
    EXPECT_EQ(call["install"], "/opt/kiv/");
    EXPECT_EQ(call["includes"], "/a;/b");
    EXPECT_EQ(call["reserved"], "[]");
    EXPECT_EQ(call["defines"], "DEBUG=1\t");
    EXPECT_EQ(call["debug"], "3");
    EXPECT_EQ(call["object"], "1");
    EXPECT_EQ(call["list"], "2");
    EXPECT_EQ(call["error"], QString::number(0xC000));
    EXPECT_EQ(call["constant"], "9");
    EXPECT_EQ(call["options"], QString::number(0x4B));
    EXPECT_EQ(call["objext"], "HEX");
    EXPECT_EQ(call["listext"], "LST");
    EXPECT_EQ(call["inmessage"], "[]");
    EXPECT_EQ(call["infile"], "[]");
    EXPECT_EQ(call["inline"], "0");

    EXPECT_EQ(result.message, "Undefined identifier");
    EXPECT_EQ(result.errorFile, "main.c");
    EXPECT_EQ(result.line, 12);
    EXPECT_EQ(result.startColumn, 3);
    EXPECT_EQ(result.endColumn, 9);
    EXPECT_EQ(result.processorId, 0x877A);
    EXPECT_EQ(result.lastMessage, 12);
}

TEST_F(CompilerLibrary, AMessageFillingItsWholeBufferIsCutAtTheBuffer)
{
    Install({"QEL"});
    Script({"fillmessage"});
    TCompilerLibrary library(dllDir);
    ASSERT_TRUE(library.LoadCompiler("QEL"));
    TCompileArguments args;
    args.mainFile = base + ".c";
    const TCompileResult result = library.Compile(args, nullptr);
    EXPECT_EQ(result.message, QString(255, 'M'));
    EXPECT_EQ(result.lastMessage, -1);
}

TEST(CompileArguments, TextsLongerThanTheirBuffersAreRejectedNeverCut)
{
    struct Case {
        const char *what;
        QString TCompileArguments::*field;
    };
    const Case cases[] = {
        {"main file path", &TCompileArguments::mainFile},
        {"installation folder", &TCompileArguments::installDir},
        {"include directory list", &TCompileArguments::includeDirs},
        {"global defines text", &TCompileArguments::defines},
    };
    for (const Case &c : cases) {
        TCompileArguments args;
        args.*c.field = QString(255, 'a');
        EXPECT_EQ(CheckCompileArguments(args), QString()) << c.what;
        args.*c.field = QString(256, 'a');
        EXPECT_EQ(CheckCompileArguments(args),
                  QStringLiteral("The %1 is too long for the compiler: 256 bytes, at most 255. "
                                 "The compile was not started.")
                      .arg(QLatin1String(c.what)));
        // Bytes count, not characters: 128 two-byte characters need 256 bytes.
        args.*c.field = QString(128, QChar(0xE9));
        EXPECT_FALSE(CheckCompileArguments(args).isEmpty()) << c.what;
    }
}

TEST(LibraryText, InvalidUtf8IsReadAsLatin1)
{
    const char utf8[] = "caf\xC3\xA9";
    const char latin1[] = "caf\xE9";
    EXPECT_EQ(DecodeLibraryText(utf8, 256), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(DecodeLibraryText(latin1, 256), QString::fromLatin1("caf\xE9"));
    EXPECT_EQ(DecodeLibraryText("abcdef", 3), "abc");
    EXPECT_EQ(DecodeLibraryText(nullptr, 3), "");
}

}  // namespace
}  // namespace kiv::test
