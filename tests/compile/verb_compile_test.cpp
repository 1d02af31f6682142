#include "compile_fixture.h"

#include <QProcess>

namespace kiv::test {
namespace {

/// kivtool compile against a temporary installation: bin/kiv, dll/ with the test compiler,
/// a home folder for the settings file and a project.
class VerbCompile : public TCompileFixture {
protected:
    void SetUp() override
    {
        TCompileFixture::SetUp();
        WriteFile(m_temp.path() + "/bin/kiv", "");
        QDir().mkpath(m_temp.path() + "/home");
        WriteFile(base + ".pjt", "[Target Data]\r\nFileList=main.c\r\nOptionString=+FM\r\n");
    }

    int Run(const QStringList &args, QString *out)
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIV_EXE", m_temp.path() + "/bin/kiv");
        env.insert("HOME", m_temp.path() + "/home");
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(KIV_TOOL), QStringList{"compile"} + args);
        EXPECT_TRUE(tool.waitForFinished(60000));
        *out = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
        return tool.exitCode();
    }
};

TEST_F(VerbCompile, ACleanCompilePrintsTheStatusLinesAndSucceeds)
{
    Install({"QEL", "QOR", "QAN"});
    Script({"cb 0 160", "cb 0 80 main.hex", "err No Errors", "processor 877A"});
    // The stored selection is QAN; the project's OptionString "+FM" selects QOR.
    WriteFile(m_temp.path() + "/home/kiv.ini", "[compiler]\r\nindex=2\r\n");
    QString out;
    EXPECT_EQ(Run({base + ".pjt"}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("VYN QOR C Compiler, Version T1.0 QOR")) << out.toStdString();
    EXPECT_TRUE(out.contains("Lines: 10"));
    EXPECT_TRUE(out.contains("Output files: ERR  HEX"));
    EXPECT_TRUE(out.contains("No Errors"));
    EXPECT_EQ(Calls().at(0)["edition"], "QOR");
    EXPECT_EQ(Calls().at(0)["install"], m_temp.path() + "/");
    EXPECT_TRUE(QString::fromUtf8(ReadFile(base + ".pjt")).contains("Processor=0x877A"));
}

TEST_F(VerbCompile, WithoutAnEditionInTheProjectTheStoredIndexCounts)
{
    Install({"QEL", "QOR", "QAN"});
    WriteFile(base + ".pjt", "[Target Data]\r\nFileList=main.c\r\n");
    WriteFile(m_temp.path() + "/home/kiv.ini", "[compiler]\r\nindex=2\r\n");
    Script({"err No Errors"});
    QString out;
    EXPECT_EQ(Run({base + ".pjt"}, &out), 0) << out.toStdString();
    EXPECT_EQ(Calls().at(0)["edition"], "QAN");
}

TEST_F(VerbCompile, AFailedCompileListsTheErrorsAndExitsOne)
{
    Install({"QOR"});
    Script({"err *** Error 12 \"main.c\" Line 3(2,5): Undefined identifier",
            "message Undefined identifier", "file main.c", "line 3", "start 2", "end 5"});
    QString out;
    EXPECT_EQ(Run({base + ".pjt"}, &out), 1);
    EXPECT_TRUE(out.contains("> *** Error 12 \"main.c\" Line 3(2,5): Undefined identifier"))
        << out.toStdString();
    EXPECT_TRUE(out.contains("First error: main.c, Line 3 (2,5): Undefined identifier"));
    EXPECT_FALSE(QString::fromUtf8(ReadFile(base + ".pjt")).contains("Processor"));
}

TEST_F(VerbCompile, NoInstalledEditionFailsWithTheNotInstalledLine)
{
    QString out;
    EXPECT_EQ(Run({base + ".pjt"}, &out), 1);
    EXPECT_TRUE(out.contains("Error: The selected compiler: \"\" is not installed on this PC"))
        << out.toStdString();
}

TEST_F(VerbCompile, AMissingProjectOrMainFileIsReported)
{
    QString out;
    EXPECT_EQ(Run({projectDir + "none.pjt"}, &out), 2);
    EXPECT_TRUE(out.contains("does not exist"));
    QFile::remove(base + ".c");
    EXPECT_EQ(Run({base + ".pjt"}, &out), 1);
    EXPECT_TRUE(out.contains("main file")) << out.toStdString();
    EXPECT_EQ(Run({}, &out), 2);

    // An empty FileList names no main file: said so, not "the main file  does not exist".
    WriteFile(base + ".pjt", "[Target Data]\r\nFileList=\r\n");
    EXPECT_EQ(Run({base + ".pjt"}, &out), 1);
    EXPECT_TRUE(out.contains("The project file " + base + ".pjt names no main file")) << out.toStdString();
}

}  // namespace
}  // namespace kiv::test
