// The built watch library, loaded by path as the debugger loads it, on programs gpasm and
// gplink build for 12-bit, 14-bit and PIC18 parts: file names, the three line modes against
// the debug model and the listing, functions and exits, evaluation through a memory function,
// the stack, symbol lists, and refused files.

#include "debug_info.h"
#include "gputils_build.h"
#include "listing_index.h"
#include "watch_abi.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>

namespace kiv {
namespace {

using TMemoryFunction = std::int32_t (*)(void *, std::int32_t, std::int32_t, std::uint8_t **);

struct TWatchLibrary {
    void *handle = nullptr;
    std::uint16_t (*loadCod)(std::int16_t, const char *) = nullptr;
    std::uint16_t (*loadCoff)(const char *, std::uint32_t *) = nullptr;
    std::uint16_t (*getFilename)(std::int32_t, char *) = nullptr;
    std::uint16_t (*findLine)(std::int32_t, std::int32_t *, std::int32_t *, std::int32_t *, std::uint32_t *,
                              std::uint8_t *) = nullptr;
    std::uint16_t (*findFunction)(std::uint32_t, std::uint32_t *, char *, char *) = nullptr;
    std::uint16_t (*getFunctionAddr)(const char *, std::int32_t *) = nullptr;
    std::uint16_t (*evaluate2)(std::int32_t, std::int32_t, const char *, char *, std::int32_t, std::int32_t,
                               TMemoryFunction, void *) = nullptr;
    std::uint16_t (*interpretStack2)(std::uint32_t, std::uint8_t, const std::uint32_t *, char *, std::int32_t,
                                     TMemoryFunction, void *) = nullptr;
    std::uint16_t (*getSymbolList)(std::int32_t, std::int32_t, std::int32_t, char *, std::int32_t) = nullptr;

    TWatchLibrary()
    {
        handle = dlopen(KIV_WATCH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        loadCod = reinterpret_cast<decltype(loadCod)>(dlsym(handle, "VYNWATCH_LOAD_COD"));
        loadCoff = reinterpret_cast<decltype(loadCoff)>(dlsym(handle, "VYNWATCH_LOAD_COFF"));
        getFilename = reinterpret_cast<decltype(getFilename)>(dlsym(handle, "VYNWATCH_GET_FILENAME"));
        findLine = reinterpret_cast<decltype(findLine)>(dlsym(handle, "VYNWATCH_FIND_LINE"));
        findFunction = reinterpret_cast<decltype(findFunction)>(dlsym(handle, "VYNWATCH_FIND_FUNCTION"));
        getFunctionAddr = reinterpret_cast<decltype(getFunctionAddr)>(dlsym(handle, "VYNWATCH_GET_FUNCTION_ADDR"));
        evaluate2 = reinterpret_cast<decltype(evaluate2)>(dlsym(handle, "VYNWATCH_EVALUATE2"));
        interpretStack2 = reinterpret_cast<decltype(interpretStack2)>(dlsym(handle, "VYNWATCH_INTERPRET_STACK2"));
        getSymbolList = reinterpret_cast<decltype(getSymbolList)>(dlsym(handle, "VYNWATCH_GET_SYMBOL_LIST"));
    }
    ~TWatchLibrary()
    {
        if (handle)
            dlclose(handle);
    }

    std::vector<std::string> FileNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < 1000; ++i) {
            char name[301];
            std::memset(name, 'x', sizeof name);
            if (getFilename(i, name) != 1)
                break;
            names.push_back(name);
        }
        return names;
    }
};

// Target RAM for the memory function.
struct TRam {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(4096, 0);
    int calls = 0;
    static std::int32_t Read(void *context, std::int32_t address, std::int32_t count, std::uint8_t **data)
    {
        TRam *ram = static_cast<TRam *>(context);
        ++ram->calls;
        if (count <= 0 || address < 0 || static_cast<std::size_t>(address) + static_cast<std::size_t>(count) > ram->bytes.size())
            return 0;
        *data = ram->bytes.data() + address;
        return 1;
    }
};

class WatchLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::GputilsAvailable())
            return;
        s_dir = new QTemporaryDir;
        for (const test::TTestProgram &program : test::TestPrograms())
            s_built.push_back(test::BuildProgram(s_dir->path(), program.name, program.source, program.kind));
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
        ASSERT_TRUE(m_library.handle) << dlerror();
        for (const test::TBuiltProgram &built : s_built)
            ASSERT_TRUE(built.ok) << built.log.toStdString();
    }

    static const test::TBuiltProgram &Built(const char *name)
    {
        for (const test::TBuiltProgram &built : s_built) {
            if (built.base.endsWith(QString("/") + name))
                return built;
        }
        throw std::runtime_error("no program");
    }
    static std::string Path(const char *name, const char *extension) { return Built(name).Path(extension).toStdString(); }

    bool LoadCoff(const char *name)
    {
        std::uint32_t code = 0;
        return m_library.loadCoff(Path(name, "cof").c_str(), &code) == 1;
    }

    std::string Eval(const char *expression, TRam &ram, int file = 0, int line = 1)
    {
        char result[256];
        const std::uint16_t done = m_library.evaluate2(file, line, expression, result, 255, 0, &TRam::Read, &ram);
        EXPECT_EQ(done, 1) << expression;
        return result;
    }

    static QTemporaryDir *s_dir;
    static std::vector<test::TBuiltProgram> s_built;
    TWatchLibrary m_library;
};

QTemporaryDir *WatchLibraryTest::s_dir = nullptr;
std::vector<test::TBuiltProgram> WatchLibraryTest::s_built;

TEST_F(WatchLibraryTest, ExportsAllThirteenNames)
{
    for (const char *name : kWatchExportNames)
        EXPECT_NE(dlsym(m_library.handle, name), nullptr) << name;
    // The readers inside stay the library's own.
    EXPECT_EQ(dlsym(m_library.handle, "_ZN3kiv9TCoffFile5ParseEPKhm"), nullptr);
}

TEST_F(WatchLibraryTest, FileNamesAreTheSessionsSourcesInOrder)
{
    ASSERT_TRUE(LoadCoff("r14"));
    const auto names = m_library.FileNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], Built("r14").Path("asm").toStdString());
    EXPECT_EQ(names[1], "/usr/share/gputils/header/p16f877a.inc");
    ASSERT_EQ(m_library.loadCod(2, Path("a14", "cod").c_str()), 1);
    const auto codNames = m_library.FileNames();
    ASSERT_EQ(codNames.size(), 2u);
    EXPECT_EQ(codNames[0], Built("a14").Path("asm").toStdString());
}

// Every code line of every program: address -> line and list line (mode 3), line -> address
// (mode 1), list line -> address (mode 2), as the model and the listing say.
TEST_F(WatchLibraryTest, LineModesAgreeWithTheModelAndTheListing)
{
    int checked = 0;
    for (const test::TTestProgram &program : test::TestPrograms()) {
        for (const char *extension : {"cod", "cof"}) {
            if (program.kind == test::TBuildKind::bkAbsolute && std::string(extension) == "cof")
                continue;
            SCOPED_TRACE(std::string(program.name) + "." + extension);
            const std::string path = Path(program.name, extension);
            std::uint32_t code = 0;
            ASSERT_EQ(std::string(extension) == "cod" ? m_library.loadCod(2, path.c_str())
                                                      : m_library.loadCoff(path.c_str(), &code),
                      1);
            TDebugInfo info;
            std::string error;
            ASSERT_TRUE(info.Load(path, &error)) << error;
            TListingIndex listing;
            ASSERT_TRUE(listing.Load(Path(program.name, "lst")));
            for (const TDebugLine &line : info.Lines()) {
                if (!line.hasCode)
                    continue;
                std::int32_t file = -1, number = -1, list = -1;
                std::uint32_t address = line.address;
                std::uint8_t flags = 0;
                ASSERT_EQ(m_library.findLine(3, &file, &number, &list, &address, &flags), 1) << line.address;
                const TDebugLine *expected = info.LineOfAddress(line.address);
                EXPECT_EQ(file, expected->file);
                EXPECT_EQ(number, expected->line);
                EXPECT_EQ(list, listing.ListLineOfAddress(line.address));
                EXPECT_GT(list, 0);

                std::int32_t file1 = line.file, number1 = line.line, list1 = 0;
                std::uint32_t address1 = 0xFFFF;
                ASSERT_EQ(m_library.findLine(1, &file1, &number1, &list1, &address1, &flags), 1);
                std::uint32_t lowest = 0;
                ASSERT_TRUE(info.AddressOfLine(line.file, line.line, &lowest));
                EXPECT_EQ(address1, lowest);
                EXPECT_EQ(list1, listing.ListLineOfAddress(lowest));

                std::int32_t file2 = -1, number2 = -1, list2 = list;
                std::uint32_t address2 = 0xFFFF;
                ASSERT_EQ(m_library.findLine(2, &file2, &number2, &list2, &address2, &flags), 1);
                EXPECT_EQ(address2, line.address);
                EXPECT_EQ(number2, number);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 80);

    // Places without code.
    ASSERT_TRUE(LoadCoff("r14"));
    std::int32_t file = 0, line = 3, list = 0;   // "udata"
    std::uint32_t address = 0;
    EXPECT_EQ(m_library.findLine(1, &file, &line, &list, &address, nullptr), 0);
    file = 7;
    line = 12;
    EXPECT_EQ(m_library.findLine(1, &file, &line, &list, &address, nullptr), 0);
    list = 1;   // the listing's title line
    EXPECT_EQ(m_library.findLine(2, &file, &line, &list, &address, nullptr), 0);
    address = 0x1FFF;
    EXPECT_EQ(m_library.findLine(3, &file, &line, &list, &address, nullptr), 0);
    EXPECT_EQ(m_library.findLine(4, &file, &line, &list, &address, nullptr), 0);
}

struct TFunctionCase {
    const char *program;
    std::uint32_t address;
    const char *name;
    std::uint32_t exit;
};

TEST_F(WatchLibraryTest, FunctionsAndTheirExits)
{
    const TFunctionCase cases[] = {
        {"r14", 5, "main", 0}, {"r14", 9, "sub", 10}, {"r12", 6, "sub", 6}, {"r12", 2, "loop", 0},
        {"r18", 0x12, "fn", 0x14}, {"o18", 0x06, "main", 0},
    };
    for (const TFunctionCase &c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.name);
        ASSERT_TRUE(LoadCoff(c.program));
        std::uint32_t exit = 123;
        char name[41];
        char second[41];
        ASSERT_EQ(m_library.findFunction(c.address, &exit, name, second), 1);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(exit, c.exit);
        EXPECT_EQ(std::string(second), std::string(c.program) + ".asm");
        std::int32_t at = -1;
        ASSERT_EQ(m_library.getFunctionAddr(c.name, &at), 1);
        std::uint32_t exit2 = 0;
        ASSERT_EQ(m_library.findFunction(static_cast<std::uint32_t>(at), &exit2, name, second), 1);
        EXPECT_STREQ(name, c.name);
        // Asking again from the function's own address finds no later one.
        EXPECT_EQ(m_library.getFunctionAddr(c.name, &at), 0);
    }
    // Before the first function there is none.
    ASSERT_TRUE(LoadCoff("r14"));
    std::uint32_t exit = 99;
    char name[41] = "x";
    char second[41] = "y";
    EXPECT_EQ(m_library.findFunction(0, &exit, name, second), 0);
    EXPECT_EQ(exit, 0u);
    EXPECT_STREQ(name, "");
    std::int32_t at = -1;
    EXPECT_EQ(m_library.getFunctionAddr("nosuch", &at), 0);
}

TEST_F(WatchLibraryTest, EvaluatesThroughTheMemoryFunction)
{
    TRam ram;
    ram.bytes[0x20] = 42;        // count (the map places .udata at 0x20)
    ram.bytes[0x23] = 0x7F;      // buf[2]
    ram.bytes[6] = 0x81;         // PORTB
    ram.bytes[3] = 0x18;         // STATUS
    ASSERT_TRUE(LoadCoff("r14"));
    EXPECT_EQ(Eval("count", ram), "42 (0x2A)");
    EXPECT_EQ(Eval("buf[2] + count", ram), "169 (0xA9)");
    EXPECT_EQ(Eval("PORTB,b", ram), "0b10000001");
    EXPECT_EQ(Eval("STATUS & 0x10 ? 1 : 0", ram), "1 (0x01)");
    EXPECT_EQ(Eval("sub", ram), "8 (0x0008)");
    EXPECT_EQ(Eval("count / (PORTB - 0x81)", ram), "ERROR: division by zero");
    EXPECT_EQ(Eval("nosuch", ram), "ERROR: unknown name 'nosuch'");
    EXPECT_GT(ram.calls, 0);

    // Writes land in the memory function's bytes.
    EXPECT_EQ(Eval("count = count + 1", ram), "43 (0x2B)");
    EXPECT_EQ(ram.bytes[0x20], 43);

    // A short buffer is filled and ended, never passed.
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(m_library.evaluate2(0, 1, "count", small, 5, 0, &TRam::Read, &ram), 1);
    EXPECT_STREQ(small, "43 (");
    EXPECT_EQ(small[5], '#');

    // COD: cblock names are RAM labels; SFR names of the part come from gputils' header.
    ASSERT_EQ(m_library.loadCod(2, Path("a14", "cod").c_str()), 1);
    ram.bytes[0x0C] = 5;
    ram.bytes[0x0D] = 0x34;
    ram.bytes[0x0E] = 0x12;
    EXPECT_EQ(Eval("cnt", ram), "5 (0x05)");
    EXPECT_EQ(Eval("tmp[1] << 8 | tmp", ram), "4660 (0x1234)");
    EXPECT_EQ(Eval("*(int16 *)&tmp,h", ram), "0x1234");
    EXPECT_EQ(Eval("PORTB", ram), "129 (0x81)");

    // PIC18: access RAM and the SFRs at the top of bank 15.
    ASSERT_TRUE(LoadCoff("r18"));
    ram.bytes[0xF81] = 0x3C;
    EXPECT_EQ(Eval("PORTB,h", ram), "0x3C");
    const auto map = QString::fromLatin1(test::ReadFile(Built("r18").Path("map")));
    EXPECT_TRUE(map.contains("v1"));
    EXPECT_EQ(Eval("&v1 == &v2 - 1", ram), "1 (0x01)");
}

TEST_F(WatchLibraryTest, StackLinesNameFunctionsAndTheirCallLines)
{
    ASSERT_TRUE(LoadCoff("r14"));
    char text[4097];
    const std::uint32_t entries[] = {6};   // sub returns to main after "call sub" (line 14)
    TRam ram;
    ASSERT_EQ(m_library.interpretStack2(9, 1, entries, text, sizeof text, &TRam::Read, &ram), 1);
    EXPECT_STREQ(text, "sub  r14.asm line 18  (PC 0x0009)\r\nmain  r14.asm line 14  (returns to 0x0006)");

    ASSERT_TRUE(LoadCoff("r18"));
    const std::uint32_t pic18[] = {0x0A};   // rcall fn at 8 returns to 0x0A
    ASSERT_EQ(m_library.interpretStack2(0x12, 1, pic18, text, sizeof text, &TRam::Read, &ram), 1);
    EXPECT_STREQ(text, "fn  r18.asm line 16  (PC 0x000012)\r\nmain  r18.asm line 12  (returns to 0x00000A)");

    // An empty stack is the PC's line alone; a tiny buffer keeps whole lines only.
    ASSERT_EQ(m_library.interpretStack2(0x12, 0, nullptr, text, sizeof text, &TRam::Read, &ram), 1);
    EXPECT_STREQ(text, "fn  r18.asm line 16  (PC 0x000012)");
    char tiny[40];
    ASSERT_EQ(m_library.interpretStack2(0x12, 1, pic18, tiny, sizeof tiny, &TRam::Read, &ram), 1);
    EXPECT_STREQ(tiny, "fn  r18.asm line 16  (PC 0x000012)");
}

TEST_F(WatchLibraryTest, SymbolListsByClass)
{
    char buffer[102400];
    ASSERT_TRUE(LoadCoff("r14"));
    ASSERT_EQ(m_library.getSymbolList(0, 13, 1, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "count");
    ASSERT_EQ(m_library.getSymbolList(0, 13, 2, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "big (byte at 0x25)\r\nbuf (byte at 0x21)");
    ASSERT_EQ(m_library.getSymbolList(1, 13, 2, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "");
    ASSERT_EQ(m_library.getSymbolList(-1, 0, 4, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "big (byte at 0x25)\r\nbuf (byte at 0x21)");

    ASSERT_EQ(m_library.loadCod(2, Path("a14", "cod").c_str()), 1);
    ASSERT_EQ(m_library.getSymbolList(0, 10, 1, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "cnt\r\ntmp");
    ASSERT_EQ(m_library.getSymbolList(0, 10, 8, buffer, sizeof buffer), 1);
    EXPECT_NE(std::string(buffer).find("#define PORTB 6\r\n"), std::string::npos);
    // Cut after a whole entry when the buffer is short.
    const std::string full = buffer;
    char shortBuffer[30];
    ASSERT_EQ(m_library.getSymbolList(0, 10, 8, shortBuffer, sizeof shortBuffer), 1);
    const std::string cut = shortBuffer;
    EXPECT_FALSE(cut.empty());
    EXPECT_TRUE(full.starts_with(cut));
    EXPECT_EQ(full.substr(cut.size(), 2), "\r\n");
}

TEST_F(WatchLibraryTest, RefusedFilesKeepThePreviousOne)
{
    ASSERT_TRUE(LoadCoff("r14"));
    std::uint32_t code = 0;
    EXPECT_EQ(m_library.loadCoff("/nonexistent/x.cof", &code), 0);
    EXPECT_EQ(code, static_cast<std::uint32_t>(ENOENT) << 8);
    EXPECT_EQ(m_library.loadCoff(Path("r14", "cod").c_str(), &code), 0);   // a COD is no COFF
    EXPECT_EQ(code, 0x8002u);
    const QString cut = Built("r14").Path("cut.cof");
    ASSERT_TRUE(test::WriteFile(cut, test::ReadFile(Built("r14").Path("cof")).left(100)));
    EXPECT_EQ(m_library.loadCoff(cut.toStdString().c_str(), &code), 0);
    EXPECT_EQ(code >> 8, 0x80u);
    EXPECT_EQ(m_library.loadCod(2, cut.toStdString().c_str()), 0);
    EXPECT_EQ(m_library.loadCod(2, "/nonexistent/x.cod"), 0);
    // The file loaded before is still there.
    EXPECT_EQ(m_library.FileNames().size(), 2u);
    TRam ram;
    ram.bytes[0x20] = 7;
    EXPECT_EQ(Eval("count", ram), "7 (0x07)");
}

}  // namespace
}  // namespace kiv
