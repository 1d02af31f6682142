// The COFF dump program vyncoff, run as the IDE runs it, on objects and executables gputils
// writes in both formats: every section with its data words, relocations and line numbers,
// every symbol, and clear failures.

#include "coff_file.h"
#include "gputils_build.h"
#include "testfiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun Vyncoff(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral(KIV_VYNCOFF), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLatin1(process.readAllStandardOutput()), QString::fromLatin1(process.readAllStandardError())};
}

TEST(CoffDumpTest, DumpsEverySectionAndSymbol)
{
    if (!test::GputilsAvailable())
        GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
    QTemporaryDir dir;
    int files = 0;
    for (const test::TTestProgram &program : test::TestPrograms()) {
        if (program.kind == test::TBuildKind::bkAbsolute)
            continue;
        const test::TBuiltProgram built = test::BuildProgram(dir.path(), program.name, program.source, program.kind);
        ASSERT_TRUE(built.ok) << built.log.toStdString();
        for (const char *extension : {"o", "cof"}) {
            const QString path = built.Path(extension);
            SCOPED_TRACE(path.toStdString());
            const TRun run = Vyncoff({path});
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(run.err.isEmpty());
            TCoffFile coff;
            ASSERT_TRUE(coff.Load(path.toStdString()));
            const QStringList lines = run.out.split('\n');
            EXPECT_EQ(lines.value(0), "COFF file " + path);
            EXPECT_TRUE(run.out.contains(QString::asprintf("Magic                 0x%04X", coff.Header().magic)));
            EXPECT_TRUE(run.out.contains(QString::asprintf("Processor             0x%04X", coff.OptionalHeader().processorType)));
            for (std::size_t i = 0; i < coff.Sections().size(); ++i) {
                const TCoffSection &s = coff.Sections()[i];
                const int at = lines.indexOf(QString("Section %1: %2").arg(i + 1).arg(QString::fromStdString(s.name)));
                ASSERT_GE(at, 0) << s.name;
                // The data rows hold the section's words in order.
                QStringList words;
                int row = lines.indexOf(QRegularExpression("  Data \\((program words|bytes)\\)"), at);
                if (s.HasData()) {
                    ASSERT_GT(row, at);
                    while (lines.value(++row).startsWith("    ") && lines[row].contains(':'))
                        words += lines[row].section(':', 1).split(' ', Qt::SkipEmptyParts);
                    ASSERT_EQ(static_cast<std::size_t>(words.size()), s.InProgramMemory() ? s.data.size() / 2 : s.data.size());
                    for (int w = 0; w < words.size(); ++w) {
                        const unsigned expected = s.InProgramMemory()
                                                      ? s.data[2 * static_cast<std::size_t>(w)] | (s.data[2 * static_cast<std::size_t>(w) + 1] << 8)
                                                      : s.data[static_cast<std::size_t>(w)];
                        EXPECT_EQ(words[w].toUInt(nullptr, 16), expected);
                    }
                }
                EXPECT_TRUE(run.out.contains(QString("  Relocations           %1 at").arg(s.relocationCount)));
                EXPECT_TRUE(run.out.contains(QString("  Line numbers          %1 at").arg(s.lineNumberCount)));
            }
            int relocations = 0;
            int lineNumbers = 0;
            for (const TCoffSection &s : coff.Sections()) {
                relocations += s.relocationCount;
                lineNumbers += s.lineNumberCount;
            }
            EXPECT_EQ(run.out.count(QRegularExpression("RELOCT_")), relocations);
            EXPECT_EQ(run.out.count(QRegularExpression("^    [0-9A-F]{6}   \\d+ +0x[0-9A-F]{2}   \\S",
                                                        QRegularExpression::MultilineOption)),
                      lineNumbers);
            for (const TCoffSymbol &symbol : coff.Symbols()) {
                const QRegularExpression line(QString("^  %1\\s+%2\\s").arg(symbol.index).arg(QRegularExpression::escape(
                                                  QString::fromStdString(symbol.name))),
                                              QRegularExpression::MultilineOption);
                EXPECT_TRUE(run.out.contains(line)) << symbol.name;
            }
            EXPECT_TRUE(run.out.contains("file " + QString::fromLatin1(program.name) + ".asm, included at line 0"));
            ++files;
        }
    }
    EXPECT_EQ(files, 12);
}

TEST(CoffDumpTest, WritesToTheNamedFileAndRefusesBadFiles)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.cof");
    ASSERT_TRUE(test::WriteFile(bad, QByteArray(40, 'x')));
    TRun run = Vyncoff({bad});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vyncoff: " + bad + ": The file is not a Microchip COFF file (magic 0x7878, 0x1234 or 0x1240 expected)\n");
    // Standard output is no terminal here: the report says it too.
    EXPECT_EQ(run.out, run.err);

    run = Vyncoff({dir.filePath("missing.cof")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("missing.cof")) << run.err.toStdString();

    run = Vyncoff({});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.startsWith("Usage: vyncoff FILE [OUT]"));

    if (!test::GputilsAvailable())
        return;
    const test::TBuiltProgram built =
        test::BuildProgram(dir.path(), "r14", test::TestPrograms()[3].source, test::TBuildKind::bkRelocatable);
    ASSERT_TRUE(built.ok);
    const QString out = dir.filePath("r14.txt");
    run = Vyncoff({built.Path("cof"), out});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(QString::fromLatin1(test::ReadFile(out)), Vyncoff({built.Path("cof")}).out);
    run = Vyncoff({built.Path("cof"), dir.filePath("no/such/folder.txt")});
    EXPECT_EQ(run.exitCode, 1);
}

}  // namespace
}  // namespace kiv
