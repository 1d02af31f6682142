// The compiler edition libraries, loaded by path and called as the IDE calls them, building real
// sources with gputils in a temporary folder.

#include "edition_library.h"
#include "edition_messages.h"
#include "hexcommentinfo.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <tuple>

using namespace kiv;
using namespace kiv::test;
using namespace kiv::compiler;

namespace {

const char kCleanSource[] = R"(; a small program with a call chain
        list    p=16f877a
        #include <p16f877a.inc>
        udata
counter res     1
rstvec  code    0x0000
        pagesel main
        goto    main
        code
main    call    outer
        goto    main
outer   call    inner
        call    inner
        return
inner   incf    counter, f
        return
        end
)";

// Line 6 holds an unknown opcode, line 7 an undefined symbol.
const char kBadSource[] = R"(        list    p=16f877a
        #include <p16f877a.inc>
        code
start
        movlw   0x10
        frobnicate 3
        goto    nowhere
        end
)";

const char kPic18Source[] = R"(; PIC18 source
        list    p=18f452
        #include <p18f452.inc>
        udata
counter res     1
rstvec  code    0x0000
        goto    main
        code
main    rcall   step
        call    step
        bra     main
step    incf    counter, f, A
        return
        end
)";

const char kBit12Source[] = R"(        list    p=12f508
        #include <p12f508.inc>
        udata
counter res     1
rstvec  code    0x0000
        goto    main
        code
main    call    step
        goto    main
step    incf    counter, f
        retlw   0
        end
)";

// The source tree: from the test runner's environment, else the folder this test was built from.
QString SourceTree()
{
    const QString fromRunner = SourceDir();
    return fromRunner.isEmpty() ? QStringLiteral(KIV_TEST_SOURCE_DIR) : fromRunner;
}

bool ToolsInstalled()
{
    return !QStandardPaths::findExecutable("gpasm").isEmpty() &&
           !QStandardPaths::findExecutable("gplink").isEmpty() &&
           !QStandardPaths::findExecutable("gpvo").isEmpty();
}

std::vector<std::string> Lines(const QByteArray &data)
{
    std::vector<std::string> lines;
    std::istringstream in(data.toStdString());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// A message line read the way the IDE's error list reads it to jump to the source.
struct TNavigation {
    bool isMessageLine = false;
    std::string file;
    int line = 0;
    int startColumn = -1;
    int endColumn = -1;
};

TNavigation Navigate(const std::string &text)
{
    TNavigation nav;
    if (text.empty())
        return nav;
    const char first = text[0];
    const bool lead = first == '*' || first == '-' || first == '>' ||
                      (first == '.' && text.size() > 4 && text[4] == '"');
    const std::size_t open = text.find('"');
    if (!lead || open == std::string::npos)
        return nav;
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos)
        return nav;
    nav.file = text.substr(open + 1, close - open - 1);
    const std::string rest = text.substr(close + 1);
    const std::size_t colon = rest.find(':');
    const std::size_t space = rest.rfind(' ', colon);
    if (colon == std::string::npos || space == std::string::npos)
        return nav;
    const std::string position = rest.substr(space + 1, colon - space - 1);
    const std::size_t paren = position.find('(');
    nav.line = std::atoi(position.substr(0, paren).c_str());
    if (paren != std::string::npos) {
        const std::size_t comma = position.find(',', paren);
        nav.startColumn = std::atoi(position.substr(paren + 1, comma - paren - 1).c_str());
        nav.endColumn = std::atoi(position.substr(comma + 1, position.size() - comma - 2).c_str());
    }
    nav.isMessageLine = true;
    return nav;
}

// The text a navigation selects: columns count from 1, the end column is just past the text.
std::string Selected(const std::string &path, const TNavigation &nav)
{
    const std::vector<std::string> lines = Lines(ReadFile(QString::fromStdString(path)));
    if (nav.line < 1 || nav.line > static_cast<int>(lines.size()) || nav.startColumn < 1)
        return {};
    return lines[static_cast<std::size_t>(nav.line - 1)].substr(static_cast<std::size_t>(nav.startColumn - 1),
                                                                 static_cast<std::size_t>(nav.endColumn - nav.startColumn));
}

class EditionLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ToolsInstalled())
            GTEST_SKIP() << "gputils (gpasm, gplink, gpvo) is not installed; scripts/setup.sh installs it";
        ASSERT_TRUE(m_dir.isValid());
    }

    std::string Write(const QString &name, const QByteArray &text)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(WriteFile(path, text));
        return path.toStdString();
    }

    QString Path(const QString &name) const { return m_dir.filePath(name); }
    bool Exists(const QString &name) const { return QFileInfo::exists(m_dir.filePath(name)); }
    std::vector<std::string> ErrorLines(const QString &base) const
    {
        return Lines(ReadFile(m_dir.filePath(base + ".err")));
    }

    QTemporaryDir m_dir;
};

TEST_F(EditionLibraryTest, LibrariesExportBothEntryPointsAndAVersion)
{
    for (const char *code : {"QEL", "QOR", "QAN"}) {
        TEditionLibrary library(code);
        ASSERT_TRUE(library.IsLoaded()) << code << ": " << library.LoadError();
        std::array<char, 40> buffer;
        buffer.fill('#');
        buffer[1] = kVersionBufferMark;
        library.Version()(buffer.data());
        const std::size_t length = strnlen(buffer.data(), kVersionBufferSize);
        EXPECT_LT(length, static_cast<std::size_t>(kVersionBufferSize)) << "NUL within the 26-byte buffer";
        EXPECT_GT(length, 0u);
        for (std::size_t i = kVersionBufferSize; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], '#') << "wrote past the buffer at " << i;
    }
}

TEST_F(EditionLibraryTest, CleanProgramWritesEveryOutputFile)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    const std::string main = Write("clean.asm", kCleanSource);
    // Outputs of an earlier compile are replaced, not left behind.
    WriteFile(Path("clean.tre"), "stale");

    TCompileArgs args;
    args.mainFile = main;
    const TCompileOutcome out = qor.Compile(args);

    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.errorMessage, "");
    EXPECT_EQ(out.errorFile, "");
    EXPECT_EQ(out.errorLine, 0);
    EXPECT_EQ(out.processorId, 0x877A);
    EXPECT_EQ(out.lastMessage, -1);
    for (const char *extension : {"hex", "cod", "cof", "lst", "map", "err", "sym", "tre", "sta"})
        EXPECT_TRUE(Exists(QStringLiteral("clean.") + extension)) << extension;
    EXPECT_FALSE(Exists("clean.o")) << "scratch files are removed";

    const QByteArray coff = ReadFile(Path("clean.cof"));
    ASSERT_GE(coff.size(), 36);
    EXPECT_EQ(static_cast<unsigned char>(coff[0]), 0x34);
    EXPECT_EQ(static_cast<unsigned char>(coff[1]), 0x12);
    EXPECT_EQ(static_cast<unsigned char>(coff[16]), 16) << "16-byte optional header";

    const std::vector<std::string> err = ErrorLines("clean");
    ASSERT_FALSE(err.empty());
    EXPECT_NE(err[0][0], '*');
    EXPECT_NE(err[0].substr(0, 5), "Error");

    const std::vector<std::string> sym = Lines(ReadFile(Path("clean.sym")));
    const auto projectFiles = std::find(sym.begin(), sym.end(), "Project Files:");
    ASSERT_NE(projectFiles, sym.end());
    std::vector<std::string> listed;
    for (auto it = projectFiles + 1; it != sym.end() && !it->empty(); ++it)
        listed.push_back(it->substr(it->find_first_not_of(' ')));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], main);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(listed[1])).fileName().compare("p16f877a.inc", Qt::CaseInsensitive) == 0)
        << listed[1];
    const auto settings = std::find(sym.begin(), sym.end(), "Compiler Settings:");
    ASSERT_NE(settings, sym.end());
    EXPECT_TRUE(std::any_of(settings, sym.end(), [](const std::string &l) { return l.starts_with("    Debug/COFF:"); }));
    EXPECT_FALSE(std::any_of(settings, sym.end(), [](const std::string &l) {
        return l.starts_with("    ICD Provisions: Yes");
    }));

    // The call tree follows the calls: main -> outer -> inner.
    const std::vector<std::string> tree = Lines(ReadFile(Path("clean.tre")));
    const auto mainLine = std::find_if(tree.begin(), tree.end(), [](const std::string &l) { return l.starts_with("main "); });
    ASSERT_NE(mainLine, tree.end());
    ASSERT_LT(mainLine + 2, tree.end());
    EXPECT_TRUE((mainLine + 1)->starts_with("   outer ")) << *(mainLine + 1);
    EXPECT_TRUE((mainLine + 2)->starts_with("      inner ")) << *(mainLine + 2);

    // Status reports: every output file, the line count, ROM and RAM.
    for (int code : {csObjectFile, csSymbolFile, csCallTreeFile, csStatisticsFile, csListFile, csMapFile,
                     csCodFile, csCoffFile, csRomPercent, csRamPercent})
        EXPECT_TRUE(out.Reported(code)) << "code " << code;
    const int sourceLines = static_cast<int>(Lines(kCleanSource).size()) +
                            static_cast<int>(Lines(ReadFile(QString::fromStdString(listed[1]))).size());
    EXPECT_EQ(out.LineTotal(), sourceLines);
    for (const TStatusReport &report : out.reports) {
        if (report.code == csRomPercent) {
            EXPECT_EQ(report.value, 1) << "10 words of 8192, rounded up";
        } else if (report.code == csRamPercent) {
            EXPECT_EQ(report.value, 1) << "1 byte of 368, rounded up";
        }
    }
    EXPECT_TRUE(ReadFile(Path("clean.sta")).contains("ROM used: 10 of 8192 words"));
    EXPECT_TRUE(ReadFile(Path("clean.sta")).contains("RAM used: 1 of 368 bytes"));
}

TEST_F(EditionLibraryTest, InCircuitOptionIsRecordedAndScratchFilesKeptOnRequest)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("icd.asm", kCleanSource);
    args.options = coInCircuitDebugger | coKeepScratch;
    const TCompileOutcome out = qor.Compile(args);
    EXPECT_EQ(out.result, 0) << out.errorMessage;
    EXPECT_TRUE(ReadFile(Path("icd.sym")).contains("\n    ICD Provisions: Yes"));
    EXPECT_TRUE(Exists("icd.o"));
    EXPECT_FALSE(Exists("icd.tre")) << "no call tree without its option";
    EXPECT_FALSE(Exists("icd.sta")) << "no statistics without their option";
    EXPECT_FALSE(out.Reported(csCallTreeFile));
}

TEST_F(EditionLibraryTest, ExampleProjectBuildsClean)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    const QByteArray source = ReadFile(SourceTree() + "/data/examples/blink/blink.asm");
    ASSERT_FALSE(source.isEmpty());
    TCompileArgs args;
    args.mainFile = Write("blink.asm", source);
    args.errorFormat = efAllErrors | efWarnings;
    const TCompileOutcome out = qor.Compile(args);
    EXPECT_EQ(out.result, 0) << out.errorMessage;
    EXPECT_EQ(out.processorId, 0x877A);
    const std::vector<std::string> err = ErrorLines("blink");
    ASSERT_EQ(err.size(), 1u) << "no errors and no warnings, only the summary";
    EXPECT_EQ(err[0], "0 Errors, 0 Warnings");

    // The project file names this main file, the 14-bit edition and the processor.
    const QByteArray project = ReadFile(SourceTree() + "/data/examples/blink/blink.pjt");
    EXPECT_TRUE(project.contains("FileList=blink.asm\r\n"));
    EXPECT_TRUE(project.contains("OptionString=+FM\r\n"));
    EXPECT_TRUE(project.contains("Processor=0x877A\r\n"));
}

TEST_F(EditionLibraryTest, ErrorLinesNavigateToFileLineAndColumns)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    const std::string main = Write("bad.asm", kBadSource);
    WriteFile(Path("bad.hex"), ":00000001FF\n");   // a program from an earlier compile
    TCompileArgs args;
    args.mainFile = main;
    args.errorFormat = efAllErrors;
    const TCompileOutcome out = qor.Compile(args);

    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("bad");
    ASSERT_GE(err.size(), 3u);
    struct {
        int line;
        const char *selected;
        int number;
    } const expected[] = {{6, "frobnicate", 10}, {7, "nowhere", 11}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(err[i]);
        EXPECT_EQ(err[i].substr(0, 4), "*** ");
        const TNavigation nav = Navigate(err[i]);
        ASSERT_TRUE(nav.isMessageLine);
        EXPECT_EQ(nav.file, main);
        EXPECT_EQ(nav.line, expected[i].line);
        EXPECT_EQ(Selected(nav.file, nav), expected[i].selected);
        EXPECT_NE(err[i].find("Error " + std::to_string(expected[i].number) + " "), std::string::npos);
    }
    EXPECT_EQ(err.back(), "2 Errors, 0 Warnings");

    EXPECT_EQ(out.errorFile, main);
    EXPECT_EQ(out.errorLine, 6);
    EXPECT_EQ(out.errorStartColumn, 9);
    EXPECT_EQ(out.errorEndColumn, 19);
    EXPECT_EQ(out.errorMessage, "Unknown opcode: \"frobnicate\"");
    EXPECT_EQ(out.lastMessage, 11);
    for (const char *extension : {"hex", "cod", "cof", "sym", "o"})
        EXPECT_FALSE(Exists(QStringLiteral("bad.") + extension)) << extension;
}

TEST_F(EditionLibraryTest, ErrorInAnIncludeFileNamesThatFile)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    const std::string include = Write("lib/macros.inc", "; helpers\n        bogus   1\n");
    TCompileArgs args;
    args.mainFile = Write("inc.asm", "        list p=16f877a\n        #include <p16f877a.inc>\n        code\n"
                                     "        #include \"lib/macros.inc\"\n        end\n");
    const TCompileOutcome out = qor.Compile(args);
    const std::vector<std::string> err = ErrorLines("inc");
    ASSERT_FALSE(err.empty());
    const TNavigation nav = Navigate(err[0]);
    EXPECT_EQ(nav.file, QFileInfo(QString::fromStdString(include)).absoluteFilePath().toStdString());
    EXPECT_EQ(nav.line, 2);
    EXPECT_EQ(Selected(nav.file, nav), "bogus");
    EXPECT_EQ(out.errorFile, nav.file);
}

TEST_F(EditionLibraryTest, ErrorFormatChoosesTheLines)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    // Two errors (lines 6, 7) and one warning (line 5: the value is cut to 8 bits).
    const std::string source = std::string(kBadSource).replace(std::string(kBadSource).find("0x10"), 4, "0x1234");
    Write("fmt.asm", QByteArray::fromStdString(source));
    const std::string both = "2 Errors, 1 Warnings; 1 more error and 1 warning are not listed: choose "
                             "\"Multi-Lines\" with \"Show All errors\" and \"Show Warnings\" in Options/File "
                             "Formats to list them all";
    const struct {
        std::uint32_t format;
        int errors;
        int warnings;
        bool columns;
        std::string summary;   // the last line says what is left out and how to list it
    } cases[] = {
        {efOriginal, 1, 0, false, both},
        {efStandard, 1, 0, true, both},
        {efAllErrors, 2, 0, true,
         "2 Errors, 1 Warnings; 1 warning is not listed: choose \"Multi-Lines\" with \"Show Warnings\" in "
         "Options/File Formats to list it"},
        {efWarnings, 1, 1, true,
         "2 Errors, 1 Warnings; 1 more error is not listed: choose \"Multi-Lines\" with \"Show All "
         "errors\" in Options/File Formats to list it"},
        {efAllErrors | efWarnings, 2, 1, true, "2 Errors, 1 Warnings"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        TCompileArgs args;
        args.mainFile = Path("fmt.asm").toStdString();
        args.errorFormat = c.format;
        qor.Compile(args);
        const std::vector<std::string> err = ErrorLines("fmt");
        int errors = 0;
        int warnings = 0;
        bool columns = false;
        for (const std::string &line : err) {
            errors += line.starts_with("*** Error ");
            warnings += line.starts_with(">>> Warning ");
            if (line.starts_with("*** Error "))
                columns = columns || Navigate(line).startColumn > 0;
        }
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(warnings, c.warnings);
        EXPECT_EQ(columns, c.columns);
        ASSERT_FALSE(err.empty());
        EXPECT_TRUE(err[0].starts_with("*** Error ")) << "errors come first";
        EXPECT_EQ(err.back(), c.summary);
    }
}

TEST_F(EditionLibraryTest, EachEditionBuildsOnlyItsCore)
{
    const struct {
        const char *edition;
        const char *source;
        const char *tryCode;   // nullptr: builds
    } cases[] = {
        {"QOR", kCleanSource, nullptr},
        {"QOR", kPic18Source, "QAN"},
        {"QOR", kBit12Source, "QEL"},
        {"QAN", kPic18Source, nullptr},
        {"QAN", kCleanSource, "QOR"},
        {"QEL", kBit12Source, nullptr},
        {"QEL", kPic18Source, "QAN"},
    };
    int index = 0;
    for (const auto &c : cases) {
        const QString name = QStringLiteral("core%1").arg(index++);
        SCOPED_TRACE(std::string(c.edition) + " " + name.toStdString());
        TEditionLibrary library(c.edition);
        ASSERT_TRUE(library.IsLoaded()) << library.LoadError();
        TCompileArgs args;
        args.mainFile = Write(name + ".asm", c.source);
        const TCompileOutcome out = library.Compile(args);
        const std::vector<std::string> err = ErrorLines(name);
        ASSERT_FALSE(err.empty());
        if (!c.tryCode) {
            EXPECT_EQ(out.result, 0) << err[0];
            EXPECT_TRUE(Exists(name + ".hex"));
            const QByteArray coff = ReadFile(Path(name + ".cof"));
            ASSERT_GE(coff.size(), 26);
            const int id = static_cast<unsigned char>(coff[24]) | (static_cast<unsigned char>(coff[25]) << 8);
            EXPECT_EQ(out.processorId, id);
            continue;
        }
        EXPECT_NE(out.result, 0);
        EXPECT_TRUE(err[0].starts_with("*** Error 3 ")) << err[0];
        EXPECT_TRUE(err[0].ends_with(std::string("- Try ") + c.tryCode)) << err[0];
        const TNavigation nav = Navigate(err[0]);
        EXPECT_EQ(Selected(nav.file, nav).empty(), false) << "points at the processor in the LIST line";
        EXPECT_NE(Lines(ReadFile(QString::fromStdString(nav.file)))[static_cast<std::size_t>(nav.line - 1)].find("list"),
                  std::string::npos);
        EXPECT_FALSE(Exists(name + ".hex"));
        EXPECT_EQ(out.lastMessage, 3);
    }
}

TEST_F(EditionLibraryTest, CFileOnAnEditionWithoutCNamesTheCEdition)
{
    for (const char *code : {"QEL", "QAN"}) {
        SCOPED_TRACE(code);
        TEditionLibrary edition(code);
        ASSERT_TRUE(edition.IsLoaded()) << edition.LoadError();
        TCompileArgs args;
        args.mainFile = Write("main.c", "#device PIC16F877A\n\nvoid main() {\n\n}\n");
        const TCompileOutcome out = edition.Compile(args);
        EXPECT_NE(out.result, 0);
        const std::vector<std::string> err = ErrorLines("main");
        ASSERT_EQ(err.size(), 2u);
        EXPECT_TRUE(err[0].starts_with("*** Error 2 ")) << err[0];
        EXPECT_TRUE(err[0].ends_with("- Try QOR")) << "the IDE switches to the edition named after - Try";
        EXPECT_EQ(Navigate(err[0]).file, args.mainFile);
        EXPECT_EQ(out.LineTotal(), 0);
        const QStringList files = QDir(m_dir.path()).entryList(QDir::Files);
        EXPECT_EQ(files, QStringList({"main.c", "main.err"})) << "no output is faked";
    }
}

// A C project: the main file includes a header of the project.
const char kCMain[] = R"(#include "defs.h"
int8 count;
int16 total;
void add(int8 k) {
   total += k;
}
void main() {
   int8 i;
   for (i = 0; i < LIMIT; i++) {
      count++;
      add(i);
   }
}
)";

TEST_F(EditionLibraryTest, CProgramBuildsWithEveryOutputFile)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    Write("defs.h", "#device PIC16F877A\n#define LIMIT 5\n");
    TCompileArgs args;
    args.mainFile = Write("prog.c", kCMain);
    const TCompileOutcome out = qor.Compile(args);
    ASSERT_EQ(out.result, 0) << out.errorMessage << "\n" << ReadFile(Path("prog.err")).toStdString();
    EXPECT_EQ(out.processorId, 0x877A);
    EXPECT_EQ(out.lastMessage, -1);
    for (const char *extension : {"hex", "cod", "cof", "lst", "map", "err", "sym", "tre", "sta"})
        EXPECT_TRUE(Exists(QStringLiteral("prog.") + extension)) << extension;
    for (const char *extension : {"o", "$$$", "vrp"})
        EXPECT_FALSE(Exists(QStringLiteral("prog.") + extension)) << "scratch file " << extension << " is removed";
    EXPECT_EQ(ErrorLines("prog").front(), "0 Errors, 0 Warnings");

    // The debug file names the C source: its line table points into prog.c.
    EXPECT_TRUE(ReadFile(Path("prog.cof")).contains(QByteArray::fromStdString(args.mainFile)));

    const std::vector<std::string> sym = Lines(ReadFile(Path("prog.sym")));
    const auto has = [](const std::vector<std::string> &lines, const std::string &start, const std::string &part) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
            return l.starts_with(start) && l.find(part) != std::string::npos;
        });
    };
    EXPECT_TRUE(has(sym, "0", "int16             total")) << "RAM symbols carry their C type";
    EXPECT_TRUE(has(sym, "0", "add.k")) << "a parameter is named after its function";
    const auto projectFiles = std::find(sym.begin(), sym.end(), "Project Files:");
    ASSERT_NE(projectFiles, sym.end());
    ASSERT_LT(projectFiles + 2, sym.end());
    EXPECT_EQ(*(projectFiles + 1), "    " + args.mainFile);
    EXPECT_EQ(*(projectFiles + 2), "    " + Path("defs.h").toStdString());
    EXPECT_TRUE(has(sym, "    Debug/COFF:", "prog.cof"));

    const std::vector<std::string> tree = Lines(ReadFile(Path("prog.tre")));
    const auto mainLine = std::find_if(tree.begin(), tree.end(), [](const std::string &l) { return l.starts_with("   main "); });
    ASSERT_NE(mainLine, tree.end()) << ReadFile(Path("prog.tre")).toStdString();
    ASSERT_LT(mainLine + 1, tree.end());
    EXPECT_TRUE((mainLine + 1)->starts_with("      add ")) << *(mainLine + 1);

    EXPECT_TRUE(ReadFile(Path("prog.sta")).contains("ROM used: "));
    // The list file shows each C line before the instructions written for it.
    const std::vector<std::string> list = Lines(ReadFile(Path("prog.lst")));
    const auto countLine = std::find_if(list.begin(), list.end(), [](const std::string &l) {
        return l.find("10:") != std::string::npos && l.find("count++;") != std::string::npos;
    });
    ASSERT_NE(countLine, list.end());
    ASSERT_LT(countLine + 1, list.end());
    EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>((*(countLine + 1))[0]))) << *(countLine + 1);

    for (int code : {csObjectFile, csSymbolFile, csCallTreeFile, csStatisticsFile, csListFile, csCodFile, csCoffFile,
                     csRomPercent, csRamPercent})
        EXPECT_TRUE(out.Reported(code)) << "code " << code;
    EXPECT_FALSE(out.Reported(csScratchFile));
    EXPECT_EQ(out.LineTotal(), 13 + 2) << "the lines of the main file and its header";
}

TEST_F(EditionLibraryTest, CErrorsAreListedEachOnItsLine)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("bad.c", "#device PIC16F877A\nint8 a;\nvoid main() {\n   a = missing + 1;\n   a = 2\n   a = 3;\n}\n");
    args.errorFormat = efAllErrors | efWarnings;
    const TCompileOutcome out = qor.Compile(args);
    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("bad");
    ASSERT_GE(err.size(), 3u) << ReadFile(Path("bad.err")).toStdString();
    const TNavigation first = Navigate(err[0]);
    ASSERT_TRUE(first.isMessageLine) << err[0];
    EXPECT_EQ(first.file, args.mainFile);
    EXPECT_EQ(first.line, 4);
    EXPECT_EQ(Selected(args.mainFile, first), "missing") << err[0];
    const TNavigation second = Navigate(err[1]);
    ASSERT_TRUE(second.isMessageLine) << err[1];
    EXPECT_TRUE(second.line == 5 || second.line == 6) << err[1];
    EXPECT_EQ(out.errorFile, args.mainFile);
    EXPECT_EQ(out.errorLine, 4);
    EXPECT_GE(out.lastMessage, 40) << "the C compiler's own message numbers";
    for (const char *extension : {"hex", "cod", "cof", "sym", "$$$"})
        EXPECT_FALSE(Exists(QStringLiteral("bad.") + extension)) << extension;
}

TEST_F(EditionLibraryTest, CScratchFilesAndInCircuitOption)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("icdc.c", "#device PIC16F877A\nint8 a;\nvoid main() {\n   a = 1;\n}\n");
    args.options = coInCircuitDebugger | coKeepScratch;
    const TCompileOutcome out = qor.Compile(args);
    ASSERT_EQ(out.result, 0) << out.errorMessage;
    EXPECT_TRUE(ReadFile(Path("icdc.sym")).contains("\n    ICD Provisions: Yes"));
    EXPECT_TRUE(Exists("icdc.$$$")) << "the assembly the C compiler wrote";
    EXPECT_TRUE(out.Reported(csScratchFile));
    EXPECT_TRUE(ReadFile(Path("icdc.$$$")).startsWith("; Written by vync"));
}

TEST_F(EditionLibraryTest, UnusableMainFilesGiveOneErrorLine)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    Write("notes.txt", "nothing to build\n");
    const struct {
        const char *file;
        int number;
    } cases[] = {{"missing.asm", mnMainFileMissing}, {"notes.txt", mnUnsupportedSource}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        TCompileArgs args;
        args.mainFile = Path(c.file).toStdString();
        const TCompileOutcome out = qor.Compile(args);
        const std::vector<std::string> err = ErrorLines(QFileInfo(c.file).completeBaseName());
        ASSERT_EQ(err.size(), 2u);
        EXPECT_TRUE(err[0].starts_with("*** Error " + std::to_string(c.number) + " ")) << err[0];
        EXPECT_EQ(out.lastMessage, c.number);
        EXPECT_FALSE(out.errorMessage.empty());
    }
}

TEST_F(EditionLibraryTest, IncludeFoldersAndGlobalDefinesReachTheAssembler)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());
    WriteFile(shared.filePath("pins.inc"), "LEDBIT  equ     3\n");
    TCompileArgs args;
    args.mainFile = Write("defs.asm", "        list p=16f877a\n        #include <p16f877a.inc>\n"
                                      "        #include <pins.inc>\n"
                                      "        ifndef SPEED\n        error \"SPEED is not defined\"\n        endif\n"
                                      "        code\n        bsf PORTB, LEDBIT\n        movlw SPEED\n        end\n");
    args.includeDirs = shared.path().toStdString() + ";";
    args.defines = "SPEED=5\tDEBUGGING=\t";
    TCompileOutcome out = qor.Compile(args);
    EXPECT_EQ(out.result, 0) << out.errorMessage;
    EXPECT_TRUE(ReadFile(Path("defs.sym")).contains(QDir(shared.path()).filePath("pins.inc").toUtf8()))
        << "the included file is one of the project's files";

    args.defines.clear();
    out = qor.Compile(args);
    EXPECT_NE(out.result, 0);
    EXPECT_EQ(out.errorLine, 5);
    EXPECT_EQ(out.lastMessage, mnErrorDirective);
}

TEST_F(EditionLibraryTest, MissingExternalDefinitionPointsAtItsUse)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("ext.asm", "        list p=16f877a\n        #include <p16f877a.inc>\n"
                                     "        extern  far_away\n        code\nstart\n        call    far_away\n        end\n");
    const TCompileOutcome out = qor.Compile(args);
    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("ext");
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(err[0].starts_with("*** Error 30 ")) << err[0];
    const TNavigation nav = Navigate(err[0]);
    EXPECT_EQ(nav.line, 6);
    EXPECT_EQ(Selected(nav.file, nav), "far_away");
}

TEST_F(EditionLibraryTest, ArgumentWithoutRoomForItsEndIsRejected)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("long.asm", kCleanSource);
    std::array<char, kCompileStringSize> includes;
    includes.fill('a');   // no NUL within the buffer: the list would be cut
    const TCompileOutcome out = qor.CompileWithIncludeBuffer(args, includes.data());
    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("long");
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(err[0].starts_with("*** Error 6 ")) << err[0];
    EXPECT_NE(err[0].find("include folder list"), std::string::npos);
    EXPECT_FALSE(Exists("long.hex"));
}

TEST_F(EditionLibraryTest, MissingAssemblerIsReported)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("nogpasm.asm", kCleanSource);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir.path().toUtf8());   // a folder without the gputils programs
    const TCompileOutcome out = qor.Compile(args);
    qputenv("PATH", path);
    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("nogpasm");
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(err[0].starts_with("*** Error 5 ")) << err[0];
    EXPECT_NE(err[0].find("gpasm could not be started"), std::string::npos) << err[0];
}

TEST_F(EditionLibraryTest, Pic18CallTreeFollowsCallAndRcall)
{
    TEditionLibrary qan("QAN");
    ASSERT_TRUE(qan.IsLoaded()) << qan.LoadError();
    TCompileArgs args;
    args.mainFile = Write("p18.asm", kPic18Source);
    const TCompileOutcome out = qan.Compile(args);
    ASSERT_EQ(out.result, 0) << out.errorMessage;
    const std::vector<std::string> tree = Lines(ReadFile(Path("p18.tre")));
    const auto mainLine = std::find_if(tree.begin(), tree.end(), [](const std::string &l) { return l.starts_with("main "); });
    ASSERT_NE(mainLine, tree.end());
    ASSERT_LT(mainLine + 1, tree.end());
    EXPECT_TRUE((mainLine + 1)->starts_with("   step ")) << *(mainLine + 1);
    EXPECT_TRUE(ReadFile(Path("p18.sta")).contains(" of 32768 bytes"));
}

// Enhanced 14-bit parts keep their configuration words at word 0x8007, past the 64 KB INHX8M
// can address: the edition writes INHX32 for them, and INHX8M for parts that fit.
TEST_F(EditionLibraryTest, HexFormatFollowsTheHighestAddressOfThePart)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    TCompileArgs args;
    args.mainFile = Write("enh.asm", "        list p=16f1827\n        #include <p16f1827.inc>\n"
                                     "        __config _CONFIG1, _FOSC_INTOSC & _WDTE_OFF\n"
                                     "        __config _CONFIG2, _LVP_OFF\n"
                                     "        udata\ncnt     res 1\nrst     code 0\n        goto main\n"
                                     "        code\nmain    banksel cnt\n        incf cnt,f\n        goto main\n"
                                     "        end\n");
    const TCompileOutcome out = qor.Compile(args);
    ASSERT_EQ(out.result, 0) << out.errorMessage;
    const QByteArray hex = ReadFile(Path("enh.hex"));
    // The configuration words at byte 0x1000E follow an extended address record for 0x0001.
    EXPECT_TRUE(hex.contains(":020000040001F9")) << hex.toStdString();
    EXPECT_TRUE(hex.contains(":02000E00E4FF0D")) << hex.toStdString();

    args.mainFile = Write("mid.asm", kCleanSource);
    ASSERT_EQ(qor.Compile(args).result, 0);
    EXPECT_FALSE(ReadFile(Path("mid.hex")).contains(":02000004")) << "INHX8M has no extended address records";
}

TEST_F(EditionLibraryTest, HexNamesItsDeviceForTheDebugger)
{
    for (const auto &[code, source, device] : {std::tuple{"QOR", kCleanSource, "PIC16F877A"},
                                               std::tuple{"QAN", kPic18Source, "PIC18F452"}}) {
        TEditionLibrary edition(code);
        ASSERT_TRUE(edition.IsLoaded()) << edition.LoadError();
        TCompileArgs args;
        args.mainFile = Write(QString::fromLatin1(code) + ".asm", source);
        ASSERT_EQ(edition.Compile(args).result, 0) << code;
        const QString hexPath = Path(QString::fromLatin1(code) + ".hex");
        THexCommentInfo info;
        ASSERT_TRUE(info.Load(hexPath));
        EXPECT_EQ(info.GetDeviceLine(), QString::fromLatin1(device));
        ASSERT_EQ(info.OtherComments.size(), 1);
        EXPECT_TRUE(info.OtherComments.front().contains(QStringLiteral("built by ") + code)) << info.OtherComments.front().toStdString();
        EXPECT_TRUE(info.Properties.isEmpty());
        EXPECT_FALSE(info.BurnTimeValid);
        // The device is the file's last line (the user tools' part number), after the end record.
        const QList<QByteArray> lines = ReadFile(hexPath).trimmed().split('\n');
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines.back().trimmed(), ";" + QByteArray(device));
        EXPECT_EQ(lines[lines.size() - 3].trimmed(), ":00000001FF");
        // gputils' disassembler still reads the program: the comments follow the end record.
        if (!QStandardPaths::findExecutable("gpdasm").isEmpty()) {
            QProcess gpdasm;
            gpdasm.start("gpdasm", {"-p", QString::fromLatin1(device).mid(3).toLower().prepend("p"), hexPath});
            ASSERT_TRUE(gpdasm.waitForFinished(30000));
            EXPECT_EQ(gpdasm.exitCode(), 0);
            EXPECT_TRUE(gpdasm.readAllStandardOutput().contains("0000:")) << code;
        }
        // The call tree still reads the program past the comment lines.
        EXPECT_TRUE(Exists(QString::fromLatin1(code) + ".tre"));
    }
}

}  // namespace

// An include file that includes itself keeps gpasm running for ever: the tool's time limit
// ends it with an error that says why, and a stop from another thread ends it at once.
TEST_F(EditionLibraryTest, ASelfIncludingSourceIsEndedAtTheTimeLimitOrByStop)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    ASSERT_NE(qor.Stop(), nullptr) << "the edition exports STOP_COMPILE";
    Write("self.asm", "        list p=16f877a\n#include \"self.asm\"\n        end\n");
    TCompileArgs args;
    args.mainFile = Path("self.asm").toStdString();

    qputenv("KIV_TOOL_TIME_LIMIT", "1");
    auto start = std::chrono::steady_clock::now();
    TCompileOutcome out = qor.Compile(args);
    qunsetenv("KIV_TOOL_TIME_LIMIT");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    std::vector<std::string> err = ErrorLines("self");
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(err[0].starts_with("*** Error 5 ")) << err[0];
    EXPECT_NE(err[0].find("did not finish within 1 seconds"), std::string::npos) << err[0];
    EXPECT_NE(err[0].find("includes itself"), std::string::npos) << err[0];
    EXPECT_NE(out.result, 0);

    // STOP_COMPILE while gpasm runs (the default limit would take two minutes).
    std::thread stopper([&qor] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        qor.Stop()();
    });
    start = std::chrono::steady_clock::now();
    out = qor.Compile(args);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    err = ErrorLines("self");
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err[0].substr(0, 14), "*** Error 20 \"") << err[0];
    EXPECT_NE(err[0].find("The compile was stopped"), std::string::npos) << err[0];
    EXPECT_FALSE(Exists("self.hex"));

    // A stop asked for before a compile does not reach the next one.
    qor.Stop()();
    Write("ok.asm", kCleanSource);
    args.mainFile = Path("ok.asm").toStdString();
    out = qor.Compile(args);
    EXPECT_EQ(out.result, 0) << out.errorMessage;
}

// Thousands of errors (include files that include each other) are cut at a sane number, and
// the error file says so.
TEST_F(EditionLibraryTest, TooManyErrorsEndTheAssemblerAndAreSaidToBeCut)
{
    TEditionLibrary qor("QOR");
    ASSERT_TRUE(qor.IsLoaded()) << qor.LoadError();
    QByteArray source = "        list p=16f877a\n";
    for (int n = 0; n < 700; ++n)
        source += "        frobnicate " + QByteArray::number(n) + "\n";
    source += "        end\n";
    Write("many.asm", source);
    TCompileArgs args;
    args.mainFile = Path("many.asm").toStdString();
    args.errorFormat = efAllErrors;
    const TCompileOutcome out = qor.Compile(args);
    EXPECT_NE(out.result, 0);
    const std::vector<std::string> err = ErrorLines("many");
    int unknown = 0;
    int cut = 0;
    for (const std::string &line : err) {
        unknown += line.starts_with("*** Error 10 ");
        cut += line.starts_with("*** Error 18 ") && line.find("Too many errors") != std::string::npos;
    }
    EXPECT_EQ(unknown, 500);
    EXPECT_EQ(cut, 1);
    ASSERT_FALSE(err.empty());
    EXPECT_TRUE(err.back().starts_with("501 Errors")) << err.back();
}
