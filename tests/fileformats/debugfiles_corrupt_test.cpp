// Broken COD and COFF files: cut short at every boundary, with counts and offsets pointing past
// the end, with wrong magic numbers and with loops in the directory chain. Each gives a failure
// with a message, never a crash or a read outside the file.

#include "cod_file.h"
#include "coff_file.h"
#include "debug_info.h"
#include "gputils_build.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace kiv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const QString &path)
{
    const QByteArray data = test::ReadFile(path);
    return Bytes(data.begin(), data.end());
}

void Put16(Bytes &b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes &b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Real files, built once.
class CorruptFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::GputilsAvailable())
            return;
        s_dir = new QTemporaryDir;
        for (const test::TTestProgram &program : test::TestPrograms()) {
            const std::string name = program.name;
            if (name != "r14" && name != "o14" && name != "a18")
                continue;
            const test::TBuiltProgram built =
                test::BuildProgram(s_dir->path(), program.name, program.source, program.kind);
            if (!built.ok)
                continue;
            if (name == "r14") {
                s_coffNew = ReadBytes(built.Path("cof"));
                s_cod = ReadBytes(built.Path("cod"));
            } else if (name == "o14") {
                s_coffOld = ReadBytes(built.Path("cof"));
            } else {
                s_codPic18 = ReadBytes(built.Path("cod"));
            }
        }
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        if (s_coffNew.empty() || s_coffOld.empty() || s_cod.empty() || s_codPic18.empty())
            GTEST_SKIP() << "gputils is not installed; scripts/setup.sh installs it";
    }

    static QTemporaryDir *s_dir;
    static Bytes s_coffNew;
    static Bytes s_coffOld;
    static Bytes s_cod;
    static Bytes s_codPic18;
};

QTemporaryDir *CorruptFixture::s_dir = nullptr;
Bytes CorruptFixture::s_coffNew;
Bytes CorruptFixture::s_coffOld;
Bytes CorruptFixture::s_cod;
Bytes CorruptFixture::s_codPic18;

TEST_F(CorruptFixture, CoffCutAtEveryLengthFailsOrKeepsWhatIsWhole)
{
    for (const Bytes *whole : {&s_coffNew, &s_coffOld}) {
        TCoffFile reference;
        ASSERT_TRUE(reference.Parse(*whole)) << reference.Error();
        const std::size_t symbolsEnd =
            reference.Header().symbolTableOffset + reference.Header().symbolCount * reference.SymbolSize();
        for (std::size_t length = 0; length < whole->size(); ++length) {
            // A copy of exactly `length` bytes, so that a read past it is caught by a sanitizer.
            const Bytes cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(length));
            TCoffFile coff;
            const bool ok = coff.Parse(cut.data(), cut.size());
            if (length < symbolsEnd) {
                EXPECT_FALSE(ok) << "length " << length;
                EXPECT_FALSE(coff.Error().empty()) << "length " << length;
                EXPECT_NE(coff.ErrorKind(), TCoffReadError::crNone);
            } else if (!ok) {
                EXPECT_EQ(coff.ErrorKind(), TCoffReadError::crTruncated) << coff.Error();
            }
        }
    }
}

struct TCoffDamage {
    const char *what;
    std::function<void(Bytes &, const TCoffFile &)> damage;
    TCoffReadError expected;
    const char *message;   // a part of the message
};

TEST_F(CorruptFixture, CoffWithDamagedHeadersAndTables)
{
    const TCoffDamage cases[] = {
        {"wrong magic", [](Bytes &b, const TCoffFile &) { Put16(b, 0, 0x1235); }, TCoffReadError::crBadMagic,
         "magic 0x1235"},
        {"19 bytes", [](Bytes &b, const TCoffFile &) { b.resize(19); }, TCoffReadError::crTooShort, "too short"},
        {"optional header cut", [](Bytes &b, const TCoffFile &) { b.resize(30); }, TCoffReadError::crOptionalHeader,
         "optional header"},
        {"optional header of 28 bytes", [](Bytes &b, const TCoffFile &) { Put16(b, 16, 28); },
         TCoffReadError::crOptionalHeader, "28 bytes"},
        {"65535 sections", [](Bytes &b, const TCoffFile &) { Put16(b, 2, 0xFFFF); }, TCoffReadError::crTruncated,
         "section headers"},
        {"symbol table past the end", [](Bytes &b, const TCoffFile &) { Put32(b, 8, 0x7FFFFFF0); },
         TCoffReadError::crTruncated, "symbol table"},
        {"4 billion symbols", [](Bytes &b, const TCoffFile &) { Put32(b, 12, 0xFFFFFFFF); },
         TCoffReadError::crTruncated, "symbol table"},
        {"auxiliary entries past the end",
         [](Bytes &b, const TCoffFile &c) {
             const std::size_t last = c.Header().symbolTableOffset + (c.Header().symbolCount - 1) * c.SymbolSize();
             b[last + c.SymbolSize() - 1] = 5;
         },
         TCoffReadError::crBadTable, "auxiliary entries"},
        {"section data past the end",
         [](Bytes &b, const TCoffFile &c) {
             for (std::size_t i = 0; i < c.Sections().size(); ++i) {
                 if (c.Sections()[i].HasData())
                     Put32(b, 20 + c.Header().optionalHeaderSize + i * 40 + 16, 0x01000000);
             }
         },
         TCoffReadError::crTruncated, "data of Section"},
        {"line numbers past the end",
         [](Bytes &b, const TCoffFile &c) {
             for (std::size_t i = 0; i < c.Sections().size(); ++i) {
                 if (c.Sections()[i].lineNumberCount)
                     Put16(b, 20 + c.Header().optionalHeaderSize + i * 40 + 34, 0xFFFF);
             }
         },
         TCoffReadError::crTruncated, "line numbers"},
        {"relocations past the end",
         [](Bytes &b, const TCoffFile &c) { Put16(b, 20 + c.Header().optionalHeaderSize + 32, 0x4000); },
         TCoffReadError::crTruncated, "relocations"},
        {"string table longer than the file",
         [](Bytes &b, const TCoffFile &c) {
             Put32(b, c.Header().symbolTableOffset + c.Header().symbolCount * c.SymbolSize(), 0x100000);
         },
         TCoffReadError::crTruncated, "string table"},
        {"long name outside the string table",
         [](Bytes &b, const TCoffFile &c) {
             const std::size_t first = c.Header().symbolTableOffset;
             Put32(b, first, 0);
             Put32(b, first + 4, 0x7FFFFFFF);
         },
         TCoffReadError::crBadTable, "string table"},
    };
    for (const Bytes *whole : {&s_coffNew, &s_coffOld}) {
        TCoffFile reference;
        ASSERT_TRUE(reference.Parse(*whole));
        for (const TCoffDamage &c : cases) {
            SCOPED_TRACE(c.what);
            Bytes damaged = *whole;
            c.damage(damaged, reference);
            const Bytes exact(damaged);   // no spare capacity behind the bytes
            TCoffFile coff;
            EXPECT_FALSE(coff.Parse(exact.data(), exact.size()));
            EXPECT_EQ(coff.ErrorKind(), c.expected) << coff.Error();
            EXPECT_NE(coff.Error().find(c.message), std::string::npos) << coff.Error();
            TDebugInfo info;
            EXPECT_TRUE(info.Files().empty());
        }
    }
}

TEST_F(CorruptFixture, CoffMissingFileGivesTheSystemError)
{
    TCoffFile coff;
    EXPECT_FALSE(coff.Load("/nonexistent/folder/x.cof"));
    EXPECT_EQ(coff.ErrorKind(), TCoffReadError::crOpen);
    EXPECT_EQ(coff.OsError(), ENOENT);
    EXPECT_NE(coff.Error().find("x.cof"), std::string::npos);
    EXPECT_FALSE(coff.Load(s_dir->path().toStdString()));
    EXPECT_EQ(coff.OsError(), EISDIR);
}

TEST_F(CorruptFixture, CodCutAtEveryBlockBoundaryFails)
{
    for (const Bytes *whole : {&s_cod, &s_codPic18}) {
        ASSERT_EQ(whole->size() % kCodBlockSize, 0u);
        const std::size_t blocks = whole->size() / kCodBlockSize;
        for (std::size_t b = 0; b < blocks; ++b) {
            for (const std::size_t length : {b * kCodBlockSize, b * kCodBlockSize + 1, b * kCodBlockSize + 511}) {
                const Bytes cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(length));
                TCodFile cod;
                EXPECT_FALSE(cod.Parse(cut.data(), cut.size())) << "length " << length;
                EXPECT_FALSE(cod.Error().empty());
            }
        }
        TCodFile cod;
        EXPECT_TRUE(cod.Parse(*whole)) << cod.Error();
    }
}

struct TCodDamage {
    const char *what;
    std::function<void(Bytes &)> damage;
    bool loads;
    const char *message;
};

TEST_F(CorruptFixture, CodWithDamagedDirectory)
{
    const TCodDamage cases[] = {
        {"directory pointing at itself", [](Bytes &b) {
             const std::size_t at = b.size();
             const auto self = static_cast<std::uint16_t>(at / kCodBlockSize);
             b.insert(b.end(), b.begin(), b.begin() + kCodBlockSize);
             Put16(b, coddir::nextDirectory, self);
             Put16(b, at + coddir::nextDirectory, self);
         }, false, "returns to block"},
        {"directory chain loops", [](Bytes &b) {
             // Two more directories (copies of the first) that point at each other.
             const auto first = static_cast<std::uint16_t>(b.size() / kCodBlockSize);
             b.insert(b.end(), b.begin(), b.begin() + kCodBlockSize);
             b.insert(b.end(), b.begin(), b.begin() + kCodBlockSize);
             Put16(b, coddir::nextDirectory, first);
             Put16(b, first * kCodBlockSize + coddir::nextDirectory, static_cast<std::uint16_t>(first + 1));
             Put16(b, (first + 1) * kCodBlockSize + coddir::nextDirectory, first);
         }, false, "returns to block"},
        {"next directory past the end", [](Bytes &b) { Put16(b, coddir::nextDirectory, 0x7000); }, false,
         "past the end"},
        {"symbol table past the end", [](Bytes &b) { Put16(b, coddir::longSymbols + 2, 0x7FFF); }, false,
         "long symbol table"},
        {"table ends before it starts", [](Bytes &b) {
             Put16(b, coddir::lineNumbers, 4);
             Put16(b, coddir::lineNumbers + 2, 3);
         }, false, "before it starts"},
        {"code block past the end", [](Bytes &b) { Put16(b, coddir::codeBlocks + 2, 0x1234); }, false,
         "Code block 4660"},
        {"zero-length file name table", [](Bytes &b) {
             const std::size_t at = (b[coddir::fileNames] | (b[coddir::fileNames + 1] << 8)) * kCodBlockSize;
             std::fill(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + kCodBlockSize), 0);
         }, true, ""},
        {"absent tables", [](Bytes &b) {
             for (std::size_t field : {coddir::symbols, coddir::fileNames, coddir::lineNumbers, coddir::memoryMap,
                                       coddir::localSymbols, coddir::longSymbols, coddir::debugMessages})
                 Put32(b, field, 0);
         }, true, ""},
        {"long symbol running past its block", [](Bytes &b) {
             const std::size_t at = (b[coddir::longSymbols] | (b[coddir::longSymbols + 1] << 8)) * kCodBlockSize;
             std::fill(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + kCodBlockSize), 'x');
             b[at] = 0;
             b[at + 505] = 200;
         }, true, ""},
        {"all zero", [](Bytes &b) { std::fill(b.begin(), b.end(), 0); }, false, "not a COD directory"},
    };
    for (const TCodDamage &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes damaged = s_cod;
        c.damage(damaged);
        const Bytes exact(damaged);
        TCodFile cod;
        EXPECT_EQ(cod.Parse(exact.data(), exact.size()), c.loads) << cod.Error();
        if (!c.loads) {
            EXPECT_NE(cod.Error().find(c.message), std::string::npos) << cod.Error();
        } else {
            TDebugInfo info;
            info.FromCod(cod, "x.cod");
            for (const TDebugLine &line : info.Lines())
                EXPECT_LT(static_cast<std::size_t>(line.file), info.Files().size());
        }
    }
}

TEST_F(CorruptFixture, RandomDamageNeverCrashes)
{
    // A fixed sequence of byte changes over the real files; the readers must only fail cleanly.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
        for (const Bytes *whole : {&s_coffNew, &s_coffOld, &s_cod, &s_codPic18}) {
            Bytes damaged = *whole;
            for (int k = 0; k < 4; ++k)
                damaged[next() % damaged.size()] = static_cast<std::uint8_t>(next());
            const Bytes exact(damaged);
            if (whole == &s_cod || whole == &s_codPic18) {
                TCodFile cod;
                if (cod.Parse(exact.data(), exact.size())) {
                    TDebugInfo info;
                    info.FromCod(cod, "x.cod");
                } else {
                    ++failures;
                }
            } else {
                TCoffFile coff;
                if (coff.Parse(exact.data(), exact.size())) {
                    TDebugInfo info;
                    info.FromCoff(coff, "x.cof");
                    for (const TDebugLine &line : info.Lines())
                        EXPECT_LT(static_cast<std::size_t>(line.file), info.Files().size());
                } else {
                    EXPECT_FALSE(coff.Error().empty());
                    ++failures;
                }
            }
        }
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace kiv
