// Broken debug and HEX files through everything that reads them: the watch library loaded by
// path (every export, with buffers of exactly the sizes the IDE passes), the COFF dump text,
// the COFF header reader, the COD dump report and the HEX comment reader. Files are real ones
// gputils builds, cut short and with bytes changed; each reader must fail cleanly or answer
// from what it could read. Run under the sanitizer build (scripts/sanitize.sh) these also
// catch reads and writes outside the buffers. KIV_DAMAGE_ROUNDS sets the number of random
// rounds (default 20).

#include "CODDUMP.h"
#include "coff_dump_base.h"
#include "coff_file.h"
#include "coff_text.h"
#include "fileioerror.h"
#include "gputils_build.h"
#include "hexcommentinfo.h"
#include "testfiles.h"
#include "watch_abi.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <vector>

namespace kiv {
namespace {

int Rounds()
{
    const char *text = std::getenv("KIV_DAMAGE_ROUNDS");
    const int rounds = text ? std::atoi(text) : 0;
    return rounds > 0 ? rounds : 20;
}

// A fixed pseudo-random sequence, so a failure can be repeated.
class TDamage {
public:
    std::uint32_t Next()
    {
        m_seed = m_seed * 1103515245u + 12345u;
        return m_seed >> 8;
    }
    QByteArray Changed(const QByteArray &whole, int changes)
    {
        QByteArray damaged = whole;
        for (int k = 0; k < changes && !damaged.isEmpty(); ++k)
            damaged[static_cast<qsizetype>(Next() % static_cast<std::uint32_t>(damaged.size()))] = static_cast<char>(Next());
        return damaged;
    }

private:
    std::uint32_t m_seed = 20261210u;
};

// Target RAM for the memory function: 4 KB of a pattern.
std::int32_t ReadRam(void *context, std::int32_t address, std::int32_t count, std::uint8_t **data)
{
    auto *ram = static_cast<std::vector<std::uint8_t> *>(context);
    if (count <= 0 || address < 0 || static_cast<std::size_t>(address) + static_cast<std::size_t>(count) > ram->size())
        return 0;
    *data = ram->data() + address;
    return 1;
}

class TLibrary {
public:
    TLibrary() : m_handle(dlopen(KIV_WATCH_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
    ~TLibrary()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    bool Loaded() const { return m_handle != nullptr; }
    template <typename T> T Get(const char *name) const { return reinterpret_cast<T>(dlsym(m_handle, name)); }

private:
    void *m_handle;
};

// Every question the debugger asks, over a range of places; answers must be terminated texts
// inside their buffers.
void AskEverything(const TLibrary &library)
{
    const auto getFilename = library.Get<TWatchGetFilename>("VYNWATCH_GET_FILENAME");
    const auto findLine = library.Get<TWatchFindLine>("VYNWATCH_FIND_LINE");
    const auto findFunction = library.Get<TWatchFindFunction>("VYNWATCH_FIND_FUNCTION");
    const auto functionAddr = library.Get<TWatchGetFunctionAddr>("VYNWATCH_GET_FUNCTION_ADDR");
    const auto evaluate = library.Get<TWatchEvaluate2>("VYNWATCH_EVALUATE2");
    const auto stack = library.Get<TWatchInterpretStack2>("VYNWATCH_INTERPRET_STACK2");
    const auto symbols = library.Get<TWatchGetSymbolList>("VYNWATCH_GET_SYMBOL_LIST");
    ASSERT_TRUE(getFilename && findLine && findFunction && functionAddr && evaluate && stack && symbols);

    int files = 0;
    for (; files < 300; ++files) {
        const auto name = std::make_unique<char[]>(kWatchFileNameSize);
        if (getFilename(files, name.get()) != 1)
            break;
        ASSERT_NE(std::memchr(name.get(), 0, kWatchFileNameSize), nullptr);
    }
    // A damaged file table may name hundreds of files; the first few and the one past the end do.
    const int fileCount = std::min(files, 3);
    for (const int file : {-1, 0, 1, 2, files}) {
        for (int line = -1; line < 40; line += 3) {
            std::int32_t f = file, l = line, list = 0;
            std::uint32_t address = 0;
            std::uint8_t extra = 0;
            findLine(wfLineToAddress, &f, &l, &list, &address, &extra);
        }
    }
    for (int list = -1; list < 120; list += 2) {
        std::int32_t f = 0, l = 0, listLine = list;
        std::uint32_t address = 0;
        std::uint8_t extra = 0;
        findLine(wfListLineToAddress, &f, &l, &listLine, &address, &extra);
    }
    for (std::uint32_t address : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 0x10u, 0x20u, 0x7FFu, 0x8007u, 0xFFFFu, 0xFFFFFFFFu}) {
        std::int32_t f = 0, l = 0, list = 0;
        std::uint32_t at = address;
        std::uint8_t extra = 0;
        findLine(wfAddressToLine, &f, &l, &list, &at, &extra);
        std::uint32_t exit = 0;
        const auto name = std::make_unique<char[]>(kWatchFunctionNameSize);
        const auto second = std::make_unique<char[]>(kWatchFunctionNameSize);
        if (findFunction(address, &exit, name.get(), second.get()) == 1) {
            ASSERT_NE(std::memchr(name.get(), 0, kWatchFunctionNameSize), nullptr);
            ASSERT_NE(std::memchr(second.get(), 0, kWatchFunctionNameSize), nullptr);
        }
    }
    for (const char *name : {"main", "sub", "fn", "loop", "", "@x"}) {
        std::int32_t address = -1;
        for (int k = 0; k < 4 && functionAddr(name, &address) == 1; ++k) {
        }
    }
    std::vector<std::uint8_t> ram(4096);
    for (std::size_t i = 0; i < ram.size(); ++i)
        ram[i] = static_cast<std::uint8_t>(i * 7);
    for (const char *expression : {"count", "buf[3]", "v1 + v2 * 2", "cnt", "tmp[1] << 3", "PORTB", "STATUS & 4",
                                   "main", "count / 0", "nosuch", "((", "sizeof(big)"}) {
        for (int file = 0; file <= fileCount; ++file) {
            for (const int capacity : {1, 8, 255}) {
                const auto result = std::make_unique<char[]>(static_cast<std::size_t>(capacity));
                if (evaluate(file, 12, expression, result.get(), capacity, 0, &ReadRam, &ram) == 1)
                    ASSERT_NE(std::memchr(result.get(), 0, static_cast<std::size_t>(capacity)), nullptr) << expression;
            }
        }
    }
    const std::uint32_t entries[] = {1, 2, 3, 5, 8, 0x20, 0xFFFF, 0xFFFFFFFF};
    for (const int capacity : {1, 16, kWatchStackTextSize}) {
        const auto text = std::make_unique<char[]>(static_cast<std::size_t>(capacity));
        if (stack(4, 8, entries, text.get(), capacity, &ReadRam, &ram) == 1)
            ASSERT_NE(std::memchr(text.get(), 0, static_cast<std::size_t>(capacity)), nullptr);
    }
    for (const int symbolClass : {1, 2, 4, 8, 3, 0}) {
        for (const int capacity : {1, 12, kWatchSymbolListSize}) {
            const auto list = std::make_unique<char[]>(static_cast<std::size_t>(capacity));
            if (symbols(0, 12, symbolClass, list.get(), capacity) == 1)
                ASSERT_NE(std::memchr(list.get(), 0, static_cast<std::size_t>(capacity)), nullptr);
        }
    }
}

class DamagedDebugFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::GputilsAvailable())
            return;
        s_dir = new QTemporaryDir;
        for (const test::TTestProgram &program : test::TestPrograms()) {
            const test::TBuiltProgram built =
                test::BuildProgram(s_dir->path(), program.name, program.source, program.kind);
            if (built.ok)
                s_built.push_back(built);
        }
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
        ASSERT_EQ(s_built.size(), test::TestPrograms().size());
        ASSERT_TRUE(m_library.Loaded()) << dlerror();
    }

    // Writes `bytes` as NAME.EXT beside a copy of the program's listing, as a build leaves them.
    static QString Place(const test::TBuiltProgram &built, const char *extension, const QByteArray &bytes)
    {
        const QString base = s_dir->filePath("damaged");
        QFile::remove(base + ".lst");
        QFile::copy(built.Path("lst"), base + ".lst");
        const QString path = base + "." + QString::fromLatin1(extension);
        EXPECT_TRUE(test::WriteFile(path, bytes));
        return path;
    }

    void ThroughCoffReaders(const test::TBuiltProgram &built, const QByteArray &bytes)
    {
        const QString path = Place(built, "cof", bytes);
        TCoffFile coff;
        if (coff.Load(path.toStdString())) {
            const std::string text = coffdump::CoffText(coff, path.toStdString());
            EXPECT_FALSE(text.empty());
        } else {
            EXPECT_FALSE(coff.Error().empty());
        }
        try {
            m_header.Open(path);
        } catch (const TCoffError &error) {
            EXPECT_TRUE(error.Message().contains(path));
        }
        std::uint32_t code = 0;
        if (m_library.Get<TWatchLoadCoff>("VYNWATCH_LOAD_COFF")(path.toUtf8().constData(), &code) == 1)
            AskEverything(m_library);
        else
            EXPECT_NE(code, 0u);
    }

    void ThroughCodReaders(const test::TBuiltProgram &built, const QByteArray &bytes)
    {
        const QString path = Place(built, "cod", bytes);
        QBuffer report;
        report.open(QIODevice::WriteOnly);
        DumpCodFile(path, report, s_dir->filePath("damaged.lst"));
        EXPECT_TRUE(report.data().startsWith("\r\n\r\nDirectory page list:\r\n"));
        if (m_library.Get<TWatchLoadCod>("VYNWATCH_LOAD_COD")(2, path.toUtf8().constData()) == 1)
            AskEverything(m_library);
    }

    static QTemporaryDir *s_dir;
    static std::vector<test::TBuiltProgram> s_built;
    TLibrary m_library;
    TCoffBase m_header;
};

QTemporaryDir *DamagedDebugFilesTest::s_dir = nullptr;
std::vector<test::TBuiltProgram> DamagedDebugFilesTest::s_built;

TEST_F(DamagedDebugFilesTest, CoffCutShortAndChanged)
{
    TDamage damage;
    const int rounds = Rounds();
    for (const test::TBuiltProgram &built : s_built) {
        if (!QFile::exists(built.Path("cof")))
            continue;
        SCOPED_TRACE(built.base.toStdString());
        const QByteArray whole = test::ReadFile(built.Path("cof"));
        ThroughCoffReaders(built, whole);
        // Every length through the headers and section table, then a spread over the rest.
        for (qsizetype length = 0; length < whole.size(); length += length < 200 ? 1 : 37)
            ThroughCoffReaders(built, whole.left(length));
        for (int round = 0; round < rounds; ++round)
            ThroughCoffReaders(built, damage.Changed(whole, 1 + static_cast<int>(damage.Next() % 6)));
        if (HasFatalFailure())
            return;
    }
}

TEST_F(DamagedDebugFilesTest, CodCutShortAndChanged)
{
    TDamage damage;
    const int rounds = Rounds();
    for (const test::TBuiltProgram &built : s_built) {
        if (!QFile::exists(built.Path("cod")))
            continue;
        SCOPED_TRACE(built.base.toStdString());
        const QByteArray whole = test::ReadFile(built.Path("cod"));
        ThroughCodReaders(built, whole);
        for (qsizetype length = 0; length < whole.size(); length += 97)
            ThroughCodReaders(built, whole.left(length));
        // Changes in the directory block, where the table pointers are, and anywhere.
        for (int round = 0; round < rounds; ++round) {
            QByteArray changed = damage.Changed(whole, 1 + static_cast<int>(damage.Next() % 4));
            const int at = 420 + static_cast<int>(damage.Next() % 60);
            changed[at] = static_cast<char>(damage.Next());
            ThroughCodReaders(built, changed);
        }
        if (HasFatalFailure())
            return;
    }
}

TEST_F(DamagedDebugFilesTest, HexCommentsOfChangedFiles)
{
    TDamage damage;
    const QByteArray hex = test::ReadFile(s_built.front().Path("hex")) +
                           ";Compiled for PIC16F877A\n;$\n;FIRMWARE_MAJOR = 0x02\n"
                           ";BURNTIME 0x0000,0x1FFF BINARY EEPROM NEXT=0x100 PROMPT=\"a b\" LOG=x.log\n"
                           ";LINKHEX other.hex\n;PIC16F877A\n";
    const QString path = s_dir->filePath("damaged.hex");
    for (int round = 0; round < Rounds() * 4; ++round) {
        QByteArray changed = damage.Changed(hex, 1 + static_cast<int>(damage.Next() % 8));
        changed.truncate(static_cast<qsizetype>(damage.Next() % static_cast<std::uint32_t>(changed.size() + 1)));
        ASSERT_TRUE(test::WriteFile(path, changed));
        THexCommentInfo info;
        const bool loaded = info.Load(path);
        EXPECT_EQ(info.FileName, path);
        if (!loaded) {
            // A rejected burn-time directive leaves no half-read directive behind.
            EXPECT_FALSE(info.BurnTimeValid);
            EXPECT_TRUE(info.BurnTimeText.isEmpty());
            EXPECT_TRUE(info.NextSpec.isEmpty());
        }
    }
    // One long line without a line end.
    ASSERT_TRUE(test::WriteFile(path, ";PIC" + QByteArray(4 << 20, 'A')));
    THexCommentInfo info;
    EXPECT_TRUE(info.Load(path));
    EXPECT_EQ(info.GetDeviceLine().size(), (4 << 20) + 3);
}

}  // namespace
}  // namespace kiv
