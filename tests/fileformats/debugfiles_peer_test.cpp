// The COD and COFF readers against the gputils peers, on programs that gpasm and gplink build
// for 12-bit, 14-bit and PIC18 parts (absolute and relocatable; old and new COFF): headers,
// sections, data, relocations, symbols and line tables agree with gpvo, directory, file names,
// symbols, code and line table with gpvc -a, symbol addresses with the link map.

#include "cod_file.h"
#include "coff_file.h"
#include "debug_info.h"
#include "gputils_build.h"
#include "listing_index.h"
#include "peer_views.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

namespace kiv {
namespace {

using test::TBuildKind;
using test::TBuiltProgram;

// Every program is built once for all tests of this file.
class PeerPrograms {
public:
    static PeerPrograms &Get()
    {
        static PeerPrograms programs;
        return programs;
    }
    bool Available() const { return m_available; }
    const std::vector<std::pair<test::TTestProgram, TBuiltProgram>> &Built() const { return m_built; }

private:
    PeerPrograms()
    {
        m_available = test::GputilsAvailable();
        if (!m_available)
            return;
        for (const test::TTestProgram &program : test::TestPrograms())
            m_built.push_back({program, test::BuildProgram(m_dir.path(), program.name, program.source, program.kind)});
    }
    QTemporaryDir m_dir;
    bool m_available = false;
    std::vector<std::pair<test::TTestProgram, TBuiltProgram>> m_built;
};

#define REQUIRE_GPUTILS()                                                                          \
    do {                                                                                           \
        if (!PeerPrograms::Get().Available())                                                      \
            GTEST_SKIP() << "gputils (gpasm, gplink, gpvc, gpvo) is not installed; scripts/setup.sh installs it"; \
    } while (0)

QString SectionName(const TCoffFile &coff, std::int16_t number)
{
    if (number == coff::N_DEBUG)
        return "DEBUG";
    if (number == coff::N_ABS)
        return "ABSOLUTE";
    if (number == coff::N_UNDEF)
        return "UNDEFINED";
    const TCoffSection *section = coff.SectionOf(number);
    return section ? QString::fromStdString(section->name) : QString::number(number);
}

QString Hex4(unsigned value)
{
    return QString::asprintf("%04x", value);
}

void ExpectCoffAgrees(const QString &path)
{
    SCOPED_TRACE(path.toStdString());
    int exitCode = -1;
    const test::TPeerCoff peer = test::ParseGpvo(test::RunProgram({"gpvo", path}, ".", &exitCode));
    ASSERT_EQ(exitCode, 0);
    TCoffFile coff;
    ASSERT_TRUE(coff.Load(path.toStdString())) << coff.Error();

    EXPECT_EQ(peer.version, QString::asprintf("0x%x", coff.Header().magic));
    EXPECT_EQ(peer.sectionCount, coff.Header().sectionCount);
    EXPECT_EQ(peer.symbolCount, static_cast<int>(coff.Header().symbolCount));
    ASSERT_TRUE(coff.OptionalHeader().present);
    EXPECT_EQ(coff.OptionalHeader().magic, coff::kOptionalMagic);

    ASSERT_EQ(peer.sections.size(), coff.Sections().size());
    const unsigned unit = coff.ProgramAddressBytes();
    for (std::size_t i = 0; i < coff.Sections().size(); ++i) {
        const TCoffSection &ours = coff.Sections()[i];
        const test::TPeerSection &theirs = peer.sections[i];
        SCOPED_TRACE(ours.name);
        EXPECT_EQ(theirs.name, QString::fromStdString(ours.name));
        EXPECT_EQ(theirs.physical, ours.physicalAddress);
        EXPECT_EQ(theirs.size, ours.size);
        EXPECT_EQ(theirs.relocationCount, ours.relocationCount);
        EXPECT_EQ(theirs.lineCount, ours.lineNumberCount);
        EXPECT_EQ(theirs.flags, ours.flags);
        // Data lines are "address: word" with program addresses.
        ASSERT_EQ(theirs.words.size() * 2, ours.data.size());
        for (const auto &[address, word] : theirs.words) {
            const std::size_t at = (address - ours.physicalAddress) * unit;
            ASSERT_LT(at + 1, ours.data.size());
            EXPECT_EQ(word, ours.data[at] | (ours.data[at + 1] << 8)) << "at " << address;
        }
        ASSERT_EQ(theirs.relocations.size(), ours.relocations.size());
        for (std::size_t r = 0; r < ours.relocations.size(); ++r) {
            const TCoffRelocation &rel = ours.relocations[r];
            // gpvo prints relocation addresses in program address units.
            EXPECT_EQ(theirs.relocations[r].address, ours.IsCode() ? rel.address / unit : rel.address);
            EXPECT_EQ(theirs.relocations[r].offset, rel.offset);
            EXPECT_EQ(theirs.relocations[r].type, rel.type);
            const TCoffSymbol *symbol = coff.SymbolAt(rel.symbolIndex);
            ASSERT_NE(symbol, nullptr);
            EXPECT_EQ(theirs.relocations[r].symbol, QString::fromStdString(symbol->name));
        }
        ASSERT_EQ(theirs.lines.size(), ours.lineNumbers.size());
        for (std::size_t n = 0; n < ours.lineNumbers.size(); ++n) {
            const TCoffLineNumber &line = ours.lineNumbers[n];
            EXPECT_EQ(theirs.lines[n].line, line.line);
            EXPECT_EQ(theirs.lines[n].address, line.address);
            const TCoffSymbol *file = coff.SymbolAt(line.sourceSymbol);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(theirs.lines[n].file, QString::fromStdString(coff.SourceFileName(*file)));
        }
    }

    ASSERT_EQ(peer.symbols.size(), coff.Symbols().size());
    for (std::size_t i = 0; i < coff.Symbols().size(); ++i) {
        const TCoffSymbol &ours = coff.Symbols()[i];
        const test::TPeerSymbol &theirs = peer.symbols[i];
        SCOPED_TRACE(ours.name);
        EXPECT_EQ(theirs.index, static_cast<int>(ours.index) + 1);
        EXPECT_EQ(theirs.name, QString::fromStdString(ours.name));
        EXPECT_EQ(theirs.section, SectionName(coff, ours.sectionNumber));
        EXPECT_EQ(theirs.value, ours.value);
        const TCoffType type = coff.DecodeType(ours.type);
        EXPECT_EQ(theirs.type, QString::fromStdString(coff::BasicTypeName(type.basic)));
        EXPECT_EQ(theirs.derived,
                  QString::fromStdString(coff::DerivedTypeName(type.derived.empty() ? 0 : type.derived.front())));
        EXPECT_EQ(theirs.storageClass, QString::fromStdString(coff::StorageClassName(ours.storageClass)));
        EXPECT_EQ(theirs.auxCount, ours.auxCount);
    }

    // The line table of the debug model is the sections' line numbers with their file names.
    TDebugInfo info;
    std::string error;
    ASSERT_TRUE(info.LoadCoff(path.toStdString(), &error)) << error;
    std::vector<test::TPeerLine> peerLines;
    for (const test::TPeerSection &section : peer.sections)
        peerLines.insert(peerLines.end(), section.lines.begin(), section.lines.end());
    ASSERT_EQ(info.Lines().size(), peerLines.size());
    for (std::size_t n = 0; n < peerLines.size(); ++n) {
        const TDebugLine &line = info.Lines()[n];
        EXPECT_EQ(peerLines[n], (test::TPeerLine{QString::fromStdString(info.Files()[line.file].stored), line.line,
                                                 line.address, -1}));
    }
}

TEST(DebugFilesPeerTest, CoffObjectsAndExecutablesAgreeWithGpvo)
{
    REQUIRE_GPUTILS();
    int checked = 0;
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        if (program.kind == TBuildKind::bkAbsolute)
            continue;
        ASSERT_TRUE(built.ok) << built.log.toStdString();
        ExpectCoffAgrees(built.Path("o"));
        ExpectCoffAgrees(built.Path("cof"));
        checked += 2;
    }
    EXPECT_EQ(checked, 12);
}

TEST(DebugFilesPeerTest, CoffFormatFollowsTheAssemblerOption)
{
    REQUIRE_GPUTILS();
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        if (program.kind == TBuildKind::bkAbsolute)
            continue;
        TCoffFile coff;
        ASSERT_TRUE(coff.Load(built.Path("cof").toStdString())) << coff.Error();
        const bool old = program.kind == TBuildKind::bkRelocatableOldCoff;
        EXPECT_EQ(coff.Header().magic, old ? coff::kMagicOld : coff::kMagicNew) << program.name;
        EXPECT_EQ(coff.Header().optionalHeaderSize, old ? 16 : 18) << program.name;
        EXPECT_EQ(coff.SymbolSize(), old ? 18u : 20u);
        const unsigned width = std::string(program.core) == "PIC18" ? 8 : std::string(program.core) == "14-bit" ? 14 : 12;
        EXPECT_EQ(coff.OptionalHeader().romWidthBits, width) << program.name;
        EXPECT_EQ(coff.OptionalHeader().ramWidthBits, 8u);
        EXPECT_TRUE(coff.Header().flags & coff::F_EXEC) << program.name;
    }
}

TEST(DebugFilesPeerTest, CoffSymbolAddressesAgreeWithTheMap)
{
    REQUIRE_GPUTILS();
    int compared = 0;
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        if (program.kind == TBuildKind::bkAbsolute)
            continue;
        SCOPED_TRACE(program.name);
        TDebugInfo info;
        std::string error;
        ASSERT_TRUE(info.LoadCoff(built.Path("cof").toStdString(), &error)) << error;
        const auto map = test::ParseMapSymbols(test::ReadFile(built.Path("map")));
        ASSERT_FALSE(map.empty());
        for (const test::TMapSymbolEntry &entry : map) {
            const auto symbols = info.SymbolsNamed(entry.name.toStdString());
            ASSERT_EQ(symbols.size(), 1u) << entry.name.toStdString();
            EXPECT_EQ(symbols.front()->address, entry.address) << entry.name.toStdString();
            EXPECT_EQ(symbols.front()->kind,
                      entry.location == "program" ? TSymbolKind::skCode : TSymbolKind::skVariable);
            EXPECT_EQ(symbols.front()->global, entry.storage == "extern") << entry.name.toStdString();
            ++compared;
        }
    }
    EXPECT_GE(compared, 6 * 5);
}

const char *GpvcTypeName(std::uint16_t type)
{
    switch (type) {
    case codtype::kSignedByte: return "c_short";
    case codtype::kRom: return "address";
    case codtype::kConstant: return "constant";
    default: return "?";
    }
}

TEST(DebugFilesPeerTest, CodAgreesWithGpvc)
{
    REQUIRE_GPUTILS();
    int checked = 0;
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        SCOPED_TRACE(program.name);
        ASSERT_TRUE(built.ok) << built.log.toStdString();
        int exitCode = -1;
        const test::TPeerCod peer = test::ParseGpvc(test::RunProgram({"gpvc", "-a", built.Path("cod")}, ".", &exitCode));
        ASSERT_EQ(exitCode, 0);
        TCodFile cod;
        ASSERT_TRUE(cod.Load(built.Path("cod").toStdString())) << cod.Error();
        ASSERT_EQ(cod.Sections().size(), 1u);
        const TCodDirectory &d = cod.Sections().front().directory;
        EXPECT_EQ(peer.directory.value("Source file"), QString::fromStdString(d.sourcePath));
        EXPECT_EQ(peer.directory.value("Date"), QString::fromStdString(d.date));
        EXPECT_EQ(peer.directory.value("Time"), QString::asprintf("%02d:%02d", d.time / 100, d.time % 100));
        EXPECT_EQ(peer.directory.value("Compiler version"), QString::fromStdString(d.compilerVersion));
        EXPECT_EQ(peer.directory.value("Compiler"), QString::fromStdString(d.compilerName));
        EXPECT_EQ(peer.directory.value("Notice"), QString::fromStdString(d.notice));
        EXPECT_EQ(peer.directory.value("Processor"), QString::fromStdString(d.processor));
        EXPECT_EQ(peer.directory.value("COD file version"), QString::number(d.codType));
        EXPECT_EQ(peer.directory.value("High word of 64k address"), Hex4(d.highAddress));
        EXPECT_EQ(peer.directory.value("Next directory block"), Hex4(d.nextDirectory));
        auto range = [](const TCodRange &r) { return Hex4(r.first) + "  end block: " + Hex4(r.last); };
        EXPECT_EQ(peer.directory.value("Short symbol table start block"), range(d.symbols));
        EXPECT_EQ(peer.directory.value("File name table start block"), range(d.fileNames));
        EXPECT_EQ(peer.directory.value("Source info table start block"), range(d.lineNumbers));
        EXPECT_EQ(peer.directory.value("Rom table start block"), range(d.memoryMap));
        EXPECT_EQ(peer.directory.value("Local scope table start block"), range(d.localSymbols));
        EXPECT_EQ(peer.directory.value("Long symbol table start block"), range(d.longSymbols));
        EXPECT_EQ(peer.directory.value("Debug messages start block"), range(d.debugMessages));

        QStringList files;
        for (const std::string &name : cod.FileNames())
            files << QString::fromStdString(name);
        EXPECT_EQ(peer.files, files);

        const auto &longSymbols = cod.Sections().front().longSymbols;
        ASSERT_EQ(peer.longSymbols.size(), longSymbols.size());
        for (std::size_t i = 0; i < longSymbols.size(); ++i) {
            EXPECT_EQ(peer.longSymbols[i].first, QString::fromStdString(longSymbols[i].name));
            EXPECT_EQ(peer.longSymbols[i].second.first, longSymbols[i].value);
            EXPECT_EQ(peer.longSymbols[i].second.second, GpvcTypeName(longSymbols[i].type));
        }

        // gpvc leaves out the table's header entry, as the debug model does.
        TDebugInfo info;
        info.FromCod(cod, built.Path("cod").toStdString());
        ASSERT_EQ(peer.lines.size(), info.Lines().size());
        for (std::size_t n = 0; n < info.Lines().size(); ++n) {
            const TDebugLine &line = info.Lines()[n];
            EXPECT_EQ(peer.lines[n], (test::TPeerLine{QString::fromStdString(info.Files()[line.file].stored), line.line,
                                                      line.address, line.flags}))
                << "entry " << n;
        }

        // Code words: gpvc dumps whole rows; the bytes the memory map marks must match.
        std::map<std::uint32_t, std::uint8_t> bytes(cod.ProgramBytes().begin(), cod.ProgramBytes().end());
        ASSERT_FALSE(bytes.empty());
        int words = 0;
        const bool pic18 = std::string(program.core) == "PIC18";
        for (const test::TPeerCod::TRomWord &rom : peer.rom) {
            const std::uint32_t at = pic18 ? rom.row + 2 * rom.column : (rom.row + rom.column) * 2;
            const auto low = bytes.find(at);
            if (low == bytes.end())
                continue;
            ASSERT_NE(bytes.find(at + 1), bytes.end());
            EXPECT_EQ(rom.word, low->second | (bytes[at + 1] << 8)) << "byte " << at;
            ++words;
        }
        EXPECT_EQ(static_cast<std::size_t>(words) * 2, bytes.size());
        ++checked;
    }
    EXPECT_EQ(checked, 9);
}

TEST(DebugFilesPeerTest, CodSymbolAddressesAgreeWithTheMap)
{
    REQUIRE_GPUTILS();
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        if (program.kind == TBuildKind::bkAbsolute)
            continue;
        SCOPED_TRACE(program.name);
        TDebugInfo info;
        std::string error;
        ASSERT_TRUE(info.LoadCod(built.Path("cod").toStdString(), &error)) << error;
        // gplink's COD holds the global symbols only.
        int globals = 0;
        int externs = 0;
        for (const test::TMapSymbolEntry &entry : test::ParseMapSymbols(test::ReadFile(built.Path("map")))) {
            externs += entry.storage == "extern" ? 1 : 0;
            const auto symbols = info.SymbolsNamed(entry.name.toStdString());
            if (entry.storage != "extern") {
                EXPECT_TRUE(symbols.empty()) << entry.name.toStdString();
                continue;
            }
            ASSERT_EQ(symbols.size(), 1u) << entry.name.toStdString();
            EXPECT_EQ(symbols.front()->address, entry.address);
            EXPECT_EQ(symbols.front()->kind,
                      entry.location == "program" ? TSymbolKind::skCode : TSymbolKind::skVariable);
            ++globals;
        }
        EXPECT_EQ(globals, externs);
        EXPECT_GE(globals, 1);
    }
}

TEST(DebugFilesPeerTest, EveryCodeLineHasItsListingLine)
{
    REQUIRE_GPUTILS();
    for (const auto &[program, built] : PeerPrograms::Get().Built()) {
        SCOPED_TRACE(program.name);
        const QStringList listing = QString::fromLatin1(test::ReadFile(built.Path("lst"))).split('\n');
        TListingIndex index;
        ASSERT_TRUE(index.Load(built.Path("lst").toStdString()));
        ASSERT_FALSE(index.Empty());
        for (const char *extension : {"cod", "cof"}) {
            if (program.kind == TBuildKind::bkAbsolute && std::string(extension) == "cof")
                continue;
            TDebugInfo info;
            std::string error;
            ASSERT_TRUE(info.Load(built.Path(extension).toStdString(), &error)) << error;
            int lines = 0;
            for (const TDebugLine &line : info.Lines()) {
                if (!line.hasCode)
                    continue;
                const int at = index.ListLineOfAddress(line.address);
                ASSERT_GT(at, 0) << "address " << line.address;
                // The listing line starts with the address, in 4 or 6 digits.
                const QString text = listing.value(at - 1);
                EXPECT_EQ(text.section(' ', 0, 0).toUInt(nullptr, 16), line.address) << text.toStdString();
                std::uint32_t back = 0;
                ASSERT_TRUE(index.AddressOfListLine(at, &back));
                EXPECT_EQ(back, line.address);
                ++lines;
            }
            EXPECT_GE(lines, 6);
        }
    }
}

struct TExpectedFunction {
    const char *program;
    const char *extension;
    const char *name;
    std::uint32_t start;
    std::uint32_t exit;
};

TEST(DebugFilesPeerTest, FunctionsEndAtTheirLastReturn)
{
    REQUIRE_GPUTILS();
    // Addresses from the programs' listings: PIC18 counts bytes, the other cores words.
    const TExpectedFunction cases[] = {
        {"r14", "cof", "main", 3, 0},    {"r14", "cof", "sub", 8, 10},   {"r14", "cod", "sub", 8, 10},
        {"o14", "cof", "sub", 8, 10},    {"a14", "cod", "isr", 4, 4},    {"a14", "cod", "sub", 9, 11},
        {"r12", "cof", "sub", 6, 6},     {"a12", "cod", "sub", 5, 5},    {"r18", "cof", "fn", 0x10, 0x14},
        {"o18", "cof", "fn", 0x10, 0x14}, {"a18", "cod", "sub", 0x14, 0x18}, {"r18", "cod", "main", 4, 0},
    };
    for (const TExpectedFunction &c : cases) {
        SCOPED_TRACE(std::string(c.program) + "." + c.extension + " " + c.name);
        const auto &built = PeerPrograms::Get().Built();
        const auto it = std::find_if(built.begin(), built.end(), [&](const auto &b) { return b.first.name == std::string(c.program); });
        ASSERT_NE(it, built.end());
        TDebugInfo info;
        std::string error;
        ASSERT_TRUE(info.Load(it->second.Path(c.extension).toStdString(), &error)) << error;
        const auto functions = info.FunctionsNamed(c.name);
        ASSERT_EQ(functions.size(), 1u);
        EXPECT_EQ(functions.front()->start, c.start);
        EXPECT_EQ(functions.front()->exit, c.exit);
        EXPECT_EQ(info.FunctionAt(c.start), functions.front());
    }
}

}  // namespace
}  // namespace kiv
