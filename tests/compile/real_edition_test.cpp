// The IDE side against the real compiler editions (gputils behind them) and the shipped example.

#include "compile_fixture.h"
#include "compilertable.h"
#include "kivini.h"
#include "kivprompt.h"
#include "preferences_model.h"
#include "uErrorList_model.h"

#include <QProcess>
#include <QStandardPaths>

#include <memory>

namespace kiv::test {
namespace {

class RealEdition : public TCompileFixture {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("gpasm").isEmpty()
            || QStandardPaths::findExecutable("gplink").isEmpty())
            GTEST_SKIP() << "gputils is not installed (scripts/setup.sh installs it)";
        TCompileFixture::SetUp();
        for (const char *code : {"QEL", "QOR", "QAN"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_EDITION_DIR "/") + code + ".so",
                                    dllDir + code + ".so"));
        const QString example = SourceDir() + "/data/examples/blink/";
        for (const char *file : {"blink.asm", "blink.pjt"})
            ASSERT_TRUE(QFile::copy(example + file, projectDir + file)) << file;
        base = projectDir + "blink";
    }

    QStringList OutputFiles() const
    {
        QStringList missing;
        for (const char *ext : {".err", ".hex", ".lst", ".sym", ".cod", ".cof", ".tre", ".sta"})
            if (!QFileInfo(base + ext).isFile())
                missing << ext;
        return missing;
    }
};

TEST_F(RealEdition, KivtoolCompilesTheExampleCleanAndWritesEveryOutputFile)
{
    WriteFile(m_temp.path() + "/bin/kiv", "");
    QDir().mkpath(m_temp.path() + "/home");
    TIniFile(base + ".pjt").WriteString("PROJECT", "Processor", "0x0000");
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KIV_EXE", m_temp.path() + "/bin/kiv");
    env.insert("HOME", m_temp.path() + "/home");
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(KIV_TOOL), {"compile", base + ".pjt"});
    ASSERT_TRUE(tool.waitForFinished(120000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
    EXPECT_EQ(tool.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("VYN QOR C Compiler")) << out.toStdString();
    EXPECT_EQ(OutputFiles(), QStringList());
    bool failed = true;
    TErrorListModel errors;
    ASSERT_TRUE(errors.LoadErrorFile(base + ".err", &failed));
    EXPECT_FALSE(failed) << errors.Lines().join('\n').toStdString();
    EXPECT_EQ(TIniFile(base + ".pjt").ReadString("PROJECT", "Processor"), "0x877A");
}

TEST_F(RealEdition, DebugReadinessRecompilesForTheInCircuitDebugger)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    TRecordingHost host;
    host.base = base;
    host.extension = ".asm";
    host.includes.clear();
    TInstalledCompilers compilers;
    compilers.Build(dllDir);
    ASSERT_TRUE(compilers.Select(compilers.IndexOfCode("QOR")));
    TCompileOptions options;
    options.noErrors = TCompileOptions::neNo;
    TCompilerLibrary library(dllDir);
    TKivCompModel status;
    TRecordingView view;
    TErrorListModel errors;
    TCompileController controller(host, compilers, options, library, status, view, errors);

    ASSERT_TRUE(controller.CompileProject());
    EXPECT_FALSE(controller.LastCompileFailed()) << errors.Lines().join('\n').toStdString();
    EXPECT_EQ(OutputFiles(), QStringList());
    EXPECT_EQ(controller.LastResult().processorId, 0x877A);
    EXPECT_TRUE(status.BarsVisible);
    EXPECT_TRUE(status.OutputFiles.startsWith("Output files: ERR  HEX")) << status.OutputFiles.toStdString();

    // Compiled without in-circuit provisions: the check asks, recompiles and then passes.
    prompt.Queue(mrYes);
    EXPECT_TRUE(controller.DebugReadiness());
    EXPECT_EQ(prompt.Messages().size(), 1);
    EXPECT_TRUE(prompt.Messages().value(0).startsWith("Your code does not have ICD mode enable."));
    prompt.ClearAsked();
    EXPECT_TRUE(controller.DebugReadiness());
    EXPECT_TRUE(prompt.Asked().empty());
}

TEST_F(RealEdition, AnErrorInTheSourceLeadsToItsFileAndLine)
{
    WriteFile(projectDir + "blink.asm",
              "        list p=16f877a\n"
              "#include <p16f877a.inc>\n"
              "        org 0\n"
              "start   movlw 1\n"
              "        bogus 3\n"
              "        goto nowhere\n"
              "        end\n");
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    TRecordingHost host;
    host.base = base;
    host.extension = ".asm";
    host.includes.clear();
    TInstalledCompilers compilers;
    compilers.Build(dllDir);
    ASSERT_TRUE(compilers.Select(compilers.IndexOfCode("QOR")));
    TCompileOptions options;
    options.noErrors = TCompileOptions::neNo;
    TCompilerLibrary library(dllDir);
    TKivCompModel status;
    TRecordingView view;
    TErrorListModel errors;
    TCompileController controller(host, compilers, options, library, status, view, errors);
    controller.CompileProject();
    EXPECT_TRUE(controller.LastCompileFailed());
    const QStringList opened = host.Entries("Open ");
    ASSERT_EQ(opened.size(), 1) << host.log.join('\n').toStdString();
    EXPECT_EQ(QFileInfo(opened[0].mid(5)).canonicalFilePath(),
              QFileInfo(projectDir + "blink.asm").canonicalFilePath());
    EXPECT_EQ(host.Entries("Select ").value(0).section(' ', 1, 1), "5")
        << host.log.join('\n').toStdString();
    // The selected error-list line names the same place.
    const auto position = ParseMessageLine(errors.Line(errors.Selected()));
    ASSERT_TRUE(position.has_value()) << errors.Line(errors.Selected()).toStdString();
    EXPECT_EQ(position->line, 5);
}

}  // namespace
}  // namespace kiv::test
