// The COD dump against gpvc -a on programs gpasm and gplink build for 12-bit, 14-bit and PIC18
// parts, the report's own edge cases, and broken files.

#include "CODDUMP.h"
#include "cod_file.h"
#include "fileioerror.h"
#include "gputils_build.h"
#include "peer_views.h"
#include "testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

using Bytes = QByteArray;

void Put16(Bytes &b, int at, unsigned v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

QStringList Report(const QString &cod, const QString &listing = QString())
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    DumpCodFile(cod, out, listing);
    QString text = QString::fromLatin1(out.data());
    EXPECT_FALSE(text.contains(QRegularExpression("[^\\r]\\n"))) << "every line ends with CR LF";
    text.replace("\r\n", "\n");
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

struct TReportEntry {
    unsigned address = 0;
    QString flags;
    int listLine = 0;
    QString listText;
    int file = 0;
    int line = 0;
    QString sourceText;
};

// The line table section of a report.
std::vector<TReportEntry> ReportEntries(const QStringList &lines)
{
    std::vector<TReportEntry> entries;
    static const QRegularExpression code("^Code Address: ([0-9A-F]{4}) Flags: (.*)$");
    static const QRegularExpression list("^List File:   (\\d+) +> (.*)$");
    static const QRegularExpression source("^Source file: (\\d+):(\\d+) +> (.*)$");
    for (int i = 0; i + 2 < lines.size(); ++i) {
        const QRegularExpressionMatch c = code.match(lines[i]);
        if (!c.hasMatch())
            continue;
        const QRegularExpressionMatch l = list.match(lines[i + 1]);
        const QRegularExpressionMatch s = source.match(lines[i + 2]);
        EXPECT_TRUE(l.hasMatch()) << lines[i + 1].toStdString();
        EXPECT_TRUE(s.hasMatch()) << lines[i + 2].toStdString();
        entries.push_back({c.captured(1).toUInt(nullptr, 16), c.captured(2), l.captured(1).toInt(), l.captured(2),
                           s.captured(1).toInt(), s.captured(2).toInt(), s.captured(3)});
    }
    return entries;
}

class CodDumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::GputilsAvailable())
            return;
        s_dir = new QTemporaryDir;
        for (const test::TTestProgram &program : test::TestPrograms())
            s_built.push_back({program, test::BuildProgram(s_dir->path(), program.name, program.source, program.kind)});
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
        s_built.clear();
    }
    void SetUp() override
    {
        if (!s_dir)
            GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
        for (const auto &[program, built] : s_built)
            ASSERT_TRUE(built.ok) << built.log.toStdString();
    }
    static const test::TBuiltProgram &Built(const char *name)
    {
        for (const auto &[program, built] : s_built) {
            if (std::string(program.name) == name)
                return built;
        }
        throw std::runtime_error("no program");
    }

    static QTemporaryDir *s_dir;
    static std::vector<std::pair<test::TTestProgram, test::TBuiltProgram>> s_built;
};

QTemporaryDir *CodDumpTest::s_dir = nullptr;
std::vector<std::pair<test::TTestProgram, test::TBuiltProgram>> CodDumpTest::s_built;

QString Field(const QStringList &lines, const QString &label)
{
    for (const QString &line : lines) {
        if (line.startsWith(label))
            return line.mid(label.size());
    }
    return "<missing " + label + ">";
}

TEST_F(CodDumpTest, ReportAgreesWithGpvc)
{
    int programs = 0;
    for (const auto &[program, built] : s_built) {
        SCOPED_TRACE(program.name);
        const test::TPeerCod peer = test::ParseGpvc(test::RunProgram({"gpvc", "-a", built.Path("cod")}, "."));
        const QStringList report = Report(built.Path("cod"), built.Path("lst"));

        // Directory.
        EXPECT_EQ(report.value(2), "Directory page list:");
        EXPECT_EQ(report.value(3), "   Block   0 Range: 000000 to 00FFFF");
        EXPECT_EQ(report.filter(QRegularExpression("^Directory page #")), QStringList{"Directory page #0"});
        EXPECT_EQ(Field(report, "Source path:  "), peer.directory.value("Source file"));
        const QStringList dateTime = Field(report, "Date/Time:    ").split("  ");
        ASSERT_EQ(dateTime.size(), 2);
        EXPECT_EQ(dateTime[0], peer.directory.value("Date"));
        EXPECT_EQ(QTime::fromString(dateTime[1], "h:m"), QTime::fromString(peer.directory.value("Time"), "hh:mm"));
        EXPECT_EQ(Field(report, "Compiler:     "),
                  peer.directory.value("Compiler") + "  " + peer.directory.value("Compiler version") + "  " +
                      peer.directory.value("Notice") + "  COD type=" + peer.directory.value("COD file version"));
        EXPECT_EQ(Field(report, "Address base: "), peer.directory.value("High word of 64k address") + "0000");
        EXPECT_EQ(Field(report, "Processor:    "), peer.directory.value("Processor"));

        // Source files: found beside the COD file, gputils' header where it lies.
        const int files = report.indexOf("Source File Name Table");
        ASSERT_GT(files, 0);
        EXPECT_EQ(report.value(files + 2), "File#      Source File Name");
        for (int i = 0; i < peer.files.size(); ++i) {
            const QString line = report.value(files + 3 + i);
            EXPECT_TRUE(line.startsWith(QString("%1:      Found  ").arg(i, 4))) << line.toStdString();
            EXPECT_TRUE(line.endsWith(QFileInfo(peer.files[i]).fileName())) << line.toStdString();
        }
        EXPECT_EQ(report.value(files + 3 + static_cast<int>(peer.files.size())), "");

        // Long symbols with their addresses.
        const int symbols = report.indexOf("Long Symbol Table");
        ASSERT_GT(symbols, 0);
        EXPECT_EQ(report.value(symbols + 2), " Sym#      Type   Value      Symbol Name");
        for (std::size_t i = 0; i < peer.longSymbols.size(); ++i) {
            const QStringList words = report.value(symbols + 3 + static_cast<int>(i)).simplified().split(' ');
            ASSERT_EQ(words.size(), 4);
            EXPECT_EQ(words[3], peer.longSymbols[i].first);
            // The report shows a value's low 16 bits.
            EXPECT_EQ(words[2].toUInt(nullptr, 16), peer.longSymbols[i].second.first & 0xFFFF);
        }

        // Line table: gpvc's entries in order (the report also shows the table's unused
        // entries), each with its listing line and source line.
        const std::vector<TReportEntry> entries = ReportEntries(report);
        ASSERT_GE(entries.size(), peer.lines.size());
        EXPECT_EQ(entries.size() % 85, 84u) << "85 entries per block, the header entry not shown";
        const QStringList listing = QString::fromLatin1(test::ReadFile(built.Path("lst"))).split('\n');
        int withCode = 0;
        for (std::size_t n = 0; n < entries.size(); ++n) {
            const TReportEntry &e = entries[n];
            if (n >= peer.lines.size()) {
                EXPECT_EQ(e.address, 0u);
                EXPECT_EQ(e.line, 0);
                continue;
            }
            const test::TPeerLine &p = peer.lines[n];
            EXPECT_EQ(e.address, p.address) << n;
            EXPECT_EQ(e.line, p.line) << n;
            EXPECT_EQ(QFileInfo(peer.files.value(e.file)).fileName(), QFileInfo(p.file).fileName()) << n;
            EXPECT_EQ(e.flags.contains("DEFINITION"), (p.flags & 0x10) != 0);
            EXPECT_TRUE(e.flags.contains("SOURCE_LINE"));
            // The listing line is the one the listing numbers so, and entries with code show
            // the line that carries their address.
            EXPECT_EQ(e.listText, listing.value(e.listLine - 1).remove('\r')) << n;
            if (!(p.flags & 0x10)) {
                EXPECT_EQ(e.listText.section(' ', 0, 0).toUInt(nullptr, 16), e.address) << e.listText.toStdString();
                ++withCode;
            }
        }
        EXPECT_GE(withCode, 6);
        ++programs;
    }
    EXPECT_EQ(programs, 9);
}

// What only one of the two prints, for the same file.
struct TOnlyOne {
    const char *text;
    bool inReport;
};

TEST_F(CodDumpTest, FieldsOnlyOneOfThemPrints)
{
    const TOnlyOne fields[] = {
        {"Bytes for address", false},       // gpvc: the address size byte
        {"Code blocks index", false},       // gpvc: the code block numbers
        {"Formatted Code Dump", false},     // gpvc: code as word rows (the report: "Code Table")
        {"ROM Usage", false},               // gpvc: ranges in words (the report: "Memory Map" in bytes)
        {"LstLn", false},                   // gpvc: its entry counter
        {"Address base:", true},            // report: the high word as an address
        {"Memory Map", true},               // report: the map's byte ranges
        {"Code Table", true},               // report: code rows by byte address, unmapped words as ----
        {"List File:", true},               // report: the listing line of each entry
        {"Flags: SOURCE_LINE", true},       // report: flag names (gpvc: a hex byte and letters)
        {"Source/Listing File Information Table", true},   // report (gpvc: "Line Number Information")
    };
    const test::TBuiltProgram &built = Built("r14");
    const QString gpvc = QString::fromLatin1(test::RunProgram({"gpvc", "-a", built.Path("cod")}, "."));
    const QString report = Report(built.Path("cod"), built.Path("lst")).join('\n');
    for (const TOnlyOne &f : fields) {
        EXPECT_EQ(report.contains(f.text), f.inReport) << f.text;
        EXPECT_EQ(gpvc.contains(f.text), !f.inReport) << f.text;
    }
}

TEST_F(CodDumpTest, CodeRowsFollowTheMemoryMap)
{
    const QStringList report = Report(Built("a14").Path("cod"));
    // a14 has code at words 0 and 4 to 13: byte rows 0x0000 and 0x0010; the row at 0x0000
    // shows words 1 to 3 as unmapped.
    const int table = report.indexOf("Code Table");
    ASSERT_GT(table, 0);
    EXPECT_EQ(report.value(table + 1), "-------------------");
    EXPECT_EQ(report.value(table + 2), "000000: 2805 ---- ---- ---- 0009 018C 0A8C 2009 ");
    EXPECT_EQ(report.value(table + 3), "000010: 2806 3005 008D 0008 ---- ---- ---- ---- ");
    EXPECT_EQ(report.value(table + 4), "");
    const int map = report.indexOf("Memory Map");
    EXPECT_EQ(report.value(map + 2), "         Start     End");
    EXPECT_EQ(report.value(map + 3), "   0:     0000    0001");
    EXPECT_EQ(report.value(map + 4), "   1:     0008    0017");
    // Without a listing the listing texts stay empty.
    for (const TReportEntry &e : ReportEntries(report))
        EXPECT_EQ(e.listText, "");
}

TEST_F(CodDumpTest, ShortSymbolsTypesTimeAndFilesFoundByBareName)
{
    // A copy of r14.cod in a folder of its own, with a short symbol table and a new time, and
    // the source beside it only under its bare name in the current folder.
    Bytes cod = test::ReadFile(Built("r14").Path("cod"));
    const int block = static_cast<int>(cod.size() / 512);
    Bytes symbols(512, '\0');
    auto entry = [&symbols](int index, const char *name, int type, unsigned value) {
        const int at = index * 16;
        symbols[at] = static_cast<char>(std::strlen(name));
        std::memcpy(symbols.data() + at + 1, name, std::strlen(name));
        symbols[at + 13] = static_cast<char>(type);
        Put16(symbols, at + 14, value);
    };
    entry(0, "counter", 5, 0x20);
    entry(1, "odd", 9, 0x1234);
    entry(2, "bit3", 148, 0x21);
    cod += symbols;
    Put16(cod, 426, static_cast<unsigned>(block));
    Put16(cod, 428, static_cast<unsigned>(block));
    Put16(cod, 328, 1405);
    QDir().mkpath(s_dir->filePath("moved"));
    QDir().mkpath(s_dir->filePath("cwd"));
    const QString copy = s_dir->filePath("moved/r14.cod");
    ASSERT_TRUE(test::WriteFile(copy, cod));
    ASSERT_TRUE(QFile::copy(Built("r14").Path("asm"), s_dir->filePath("cwd/r14.asm")));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(s_dir->filePath("cwd")));
    const QStringList report = Report(copy);
    QDir::setCurrent(before);

    EXPECT_TRUE(Field(report, "Date/Time:    ").endsWith("  14:5"));
    const int table = report.indexOf("Symbol Table Information");
    ASSERT_GT(table, 0);
    EXPECT_EQ(report.value(table + 2), " Sym#      Type   Value      Symbol Name");
    EXPECT_EQ(report.value(table + 3), "   0:   WORD(5)    0020      counter");
    EXPECT_EQ(report.value(table + 4), "   1:       (9)    1234      odd");
    EXPECT_EQ(report.value(table + 5), "   2: BIT 3(148)    0021      bit3");
    const int files = report.indexOf("Source File Name Table");
    EXPECT_EQ(report.value(files + 3), "   0:      Found  r14.asm");
    EXPECT_TRUE(report.value(files + 4).startsWith("   1:      Found  /usr/share/gputils/header/"));
    // Its lines are shown from the file found.
    bool shown = false;
    for (const TReportEntry &e : ReportEntries(report))
        shown |= e.file == 0 && e.line == 12 && e.sourceText == "main    clrf count";
    EXPECT_TRUE(shown);
}

TEST_F(CodDumpTest, AbsentTablesSayTheyDoNotExist)
{
    Bytes cod = test::ReadFile(Built("r14").Path("cod"));
    for (int field : {426, 430, 434, 443, 447, 462, 466})
        Put16(cod, field, 0);
    const QString path = s_dir->filePath("bare.cod");
    ASSERT_TRUE(test::WriteFile(path, cod));
    const QString report = Report(path).join('\n');
    for (const char *message : {"Memory Map\n----------\n\nMemory map does not exist\n\n\n",
                                "Symbol Table Information\n------------------------\n\nSymbol table does not exist",
                                "\nLong symbol table does not exist", "\nLocal symbol table does not exist",
                                "\nSource name table does not exist", "\n Debug message table does not exist",
                                "\nSource/listing file table does not exist"})
        EXPECT_TRUE(report.contains(message)) << message;
}

TEST_F(CodDumpTest, BrokenFilesGiveErrorLinesAndEnd)
{
    const Bytes whole = test::ReadFile(Built("a18").Path("cod"));
    const int blocks = static_cast<int>(whole.size() / 512);
    for (int b = 1; b < blocks; ++b) {
        const QString path = s_dir->filePath("cut.cod");
        ASSERT_TRUE(test::WriteFile(path, whole.left(b * 512 + 100)));
        const QStringList report = Report(path, Built("a18").Path("lst"));
        EXPECT_FALSE(report.filter(QRegularExpression("^\\*\\*\\*\\* Error reading block \\d+$")).isEmpty()) << b;
    }
    // A directory chain that loops ends; one past the end is reported.
    Bytes looped = whole;
    const int extra = static_cast<int>(looped.size() / 512);
    looped += whole.left(512);
    Put16(looped, 441, static_cast<unsigned>(extra));
    Put16(looped, extra * 512 + 441, static_cast<unsigned>(extra));
    const QString loopPath = s_dir->filePath("loop.cod");
    ASSERT_TRUE(test::WriteFile(loopPath, looped));
    QStringList report = Report(loopPath);
    EXPECT_EQ(report.filter(QRegularExpression("^Directory page #")).size(), 2);
    EXPECT_TRUE(report.contains(QString("**** The directory chain returns to block %1").arg(extra)));

    Bytes past = whole;
    Put16(past, 441, 0x7000);
    const QString pastPath = s_dir->filePath("past.cod");
    ASSERT_TRUE(test::WriteFile(pastPath, past));
    report = Report(pastPath);
    EXPECT_TRUE(report.contains("**** Error reading block 28672"));

    // A table whose range runs far past the end of the file: one line for the first missing
    // block, and the table ends there, not a report of a million lines.
    Bytes wide = whole;
    const int wholeBlocks = int(whole.size() / 512);
    Put16(wide, 447, static_cast<unsigned>(wholeBlocks));
    Put16(wide, 449, 0xFFFF);
    const QString widePath = s_dir->filePath("wide.cod");
    ASSERT_TRUE(test::WriteFile(widePath, wide));
    report = Report(widePath);
    EXPECT_TRUE(report.contains(QString("**** Error reading block %1").arg(wholeBlocks)));
    EXPECT_FALSE(report.contains(QString("**** Error reading block %1").arg(wholeBlocks + 1)));
    EXPECT_LT(report.size(), 5000);

    // A table whose range runs to block 65,535: one error line at the first missing block, and
    // the table ends there (no stale entries repeated for every missing block).
    Bytes longRange = whole;
    for (int field : {428, 432, 436, 445, 449, 464})
        Put16(longRange, field, 0xFFFF);
    const QString longPath = s_dir->filePath("long.cod");
    ASSERT_TRUE(test::WriteFile(longPath, longRange));
    report = Report(longPath);
    int present = 0;
    for (int field : {426, 430, 434, 443, 447, 462})
        present += (whole[field] | whole[field + 1]) != 0;
    EXPECT_EQ(report.filter(QRegularExpression("^\\*\\*\\*\\* Error reading block " + QString::number(blocks) + "$")).size(), present);
    EXPECT_EQ(report.filter(QRegularExpression("^\\*\\*\\*\\* Error reading block")).size(), present);
    // At most every block of the file read as each table's entries.
    EXPECT_LT(report.size(), blocks * (128 + 85 * 4) + 1000);

    // Zero-length: a file with nothing but an empty first block.
    const QString empty = s_dir->filePath("empty.cod");
    ASSERT_TRUE(test::WriteFile(empty, Bytes(512, '\0')));
    report = Report(empty);
    EXPECT_TRUE(report.contains("Memory map does not exist"));

    const QString tiny = s_dir->filePath("tiny.cod");
    ASSERT_TRUE(test::WriteFile(tiny, "COD"));
    report = Report(tiny);
    EXPECT_TRUE(report.contains("**** Error reading block 0"));

    EXPECT_THROW(DumpCodFile(s_dir->filePath("none.cod"), s_dir->filePath("none.txt"), QString()), TFileIoError);
    EXPECT_THROW(DumpCodFile(Built("a18").Path("cod"), s_dir->filePath("no/such/folder.txt"), QString()), TFileIoError);
}

TEST_F(CodDumpTest, WritesTheOutputFile)
{
    const test::TBuiltProgram &built = Built("r18");
    const QString out = built.Path("cod") + ".txt";
    DumpCodFile(built.Path("cod"), out, built.Path("lst"));
    const QByteArray text = test::ReadFile(out);
    EXPECT_TRUE(text.startsWith("\r\n\r\nDirectory page list:\r\n"));
    EXPECT_TRUE(text.contains("Processor:    18f452\r\n"));
}

}  // namespace
}  // namespace kiv
