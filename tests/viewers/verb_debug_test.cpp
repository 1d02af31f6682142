// The kivtool twins of the debug file tools: lines, eval (through the installed watch
// library), cod and hexinfo, run as a script would run them.

#include "CODDUMP.h"
#include "debug_info.h"
#include "gputils_build.h"
#include "testfiles.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

class VerbDebugTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::GputilsAvailable())
            GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
        // An installation with the watch library, and a program.
        QDir().mkpath(m_dir.filePath("inst/bin"));
        QDir().mkpath(m_dir.filePath("inst/watch"));
        QDir().mkpath(m_dir.filePath("inst/dll"));
        ASSERT_TRUE(test::WriteFile(m_dir.filePath("inst/bin/kiv"), ""));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_WATCH_LIBRARY), m_dir.filePath("inst/watch/vynwatch.so")));
        m_built = test::BuildProgram(m_dir.filePath("p"), "r14", test::TestPrograms()[3].source,
                                     test::TBuildKind::bkRelocatable);
        ASSERT_TRUE(m_built.ok) << m_built.log.toStdString();
    }

    int Run(const QStringList &args, QString *out, QString *err = nullptr)
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIV_EXE", m_dir.filePath("inst/bin/kiv"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(KIV_TOOL), args);
        EXPECT_TRUE(tool.waitForFinished(60000));
        *out = QString::fromLatin1(tool.readAllStandardOutput());
        if (err)
            *err = QString::fromLatin1(tool.readAllStandardError());
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }

    QTemporaryDir m_dir;
    test::TBuiltProgram m_built;
};

TEST_F(VerbDebugTest, LinesPrintsTheLineTable)
{
    for (const char *extension : {"cod", "cof"}) {
        QString out;
        ASSERT_EQ(Run({"lines", m_built.Path(extension)}, &out), 0);
        TDebugInfo info;
        std::string error;
        ASSERT_TRUE(info.Load(m_built.Path(extension).toStdString(), &error));
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(static_cast<std::size_t>(lines.size()), info.Lines().size());
        EXPECT_TRUE(lines.contains("r14.asm\t14\t0x0005")) << out.toStdString();
        if (std::string(extension) == "cod") {
            EXPECT_TRUE(lines.contains("r14.asm\t11\t0x0003\tno code"));
        }
    }
    QString out;
    QString err;
    EXPECT_EQ(Run({"lines", m_built.Path("asm")}, &out, &err), 1);
    EXPECT_TRUE(err.startsWith("kivtool lines: ")) << err.toStdString();
    EXPECT_EQ(Run({"lines"}, &out, &err), 2);
}

TEST_F(VerbDebugTest, EvalUsesTheInstalledWatchLibrary)
{
    QString out;
    EXPECT_EQ(Run({"eval", m_built.Path("cof"), "count + buf[1]", "--ram", "20: 2A 00 05"}, &out), 0);
    EXPECT_EQ(out, "47 (0x2F)\n");
    const QString dump = m_dir.filePath("ram.txt");
    ASSERT_TRUE(test::WriteFile(dump, "0020: 10\n0006: 81\n"));
    EXPECT_EQ(Run({"eval", m_built.Path("cod"), "count | PORTB,h", "--ram", dump}, &out), 0);
    EXPECT_EQ(out, "0x91\n");
    EXPECT_EQ(Run({"eval", m_built.Path("cof"), "count / 0"}, &out), 1);
    EXPECT_EQ(out, "ERROR: division by zero\n");
    QString err;
    EXPECT_EQ(Run({"eval", m_built.Path("cof"), "count", "--ram", "zz"}, &out, &err), 2);
    EXPECT_TRUE(err.contains("--ram takes ADDR:BYTES")) << err.toStdString();
    EXPECT_EQ(Run({"eval", m_built.Path("asm"), "count"}, &out, &err), 2);
    EXPECT_TRUE(err.contains("cannot load")) << err.toStdString();
}

TEST_F(VerbDebugTest, CodWritesTheDumpReport)
{
    QString out;
    ASSERT_EQ(Run({"cod", m_built.Path("cod")}, &out), 0);
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    DumpCodFile(m_built.Path("cod"), expected, m_built.Path("lst"));
    EXPECT_EQ(out, QString::fromLatin1(expected.data()));
    const QString file = m_dir.filePath("r14.txt");
    ASSERT_EQ(Run({"cod", m_built.Path("cod"), file}, &out), 0);
    EXPECT_EQ(test::ReadFile(file), expected.data());
    QString err;
    EXPECT_EQ(Run({"cod", m_dir.filePath("none.cod")}, &out, &err), 1);
    EXPECT_TRUE(err.startsWith("kivtool cod: Cannot open the file")) << err.toStdString();
}

TEST_F(VerbDebugTest, HexinfoPrintsTheComments)
{
    const QString hex = m_dir.filePath("c.hex");
    ASSERT_TRUE(test::WriteFile(hex, ";PIC16F877A\n;built today\n:00000001FF\n;LINKHEX boot.hex\n"));
    QString out;
    ASSERT_EQ(Run({"hexinfo", hex}, &out), 0);
    EXPECT_TRUE(out.contains("Device line     PIC16F877A\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("Header text     PIC16F877A | built today\n"));
    EXPECT_TRUE(out.contains("Link HEX        boot.hex\n"));
    EXPECT_TRUE(out.contains("Burn time       none\n"));
    ASSERT_TRUE(test::WriteFile(hex, ";BURNTIME 0,FF BYTES NEXT=1\n"));
    EXPECT_EQ(Run({"hexinfo", hex}, &out), 1);
    EXPECT_TRUE(out.contains("Burn time       rejected\n"));
}

}  // namespace
}  // namespace kiv
