// The C example project examples/blinkc, compiled by vync and built by gputils: the watch
// library maps its addresses to C lines and back through the .cof line table, as the
// debugger does to step at C-source level; and the program runs in gpsim.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

int Shell(const std::string &command, std::string *output)
{
    output->clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The line of blinkc.c (from 1) that holds `text`.
int LineOf(const std::string &path, const std::string &text)
{
    std::ifstream in(path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.find(text) != std::string::npos)
            return n;
    }
    return -1;
}

class BlinkcExample : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string out;
        if (Shell("gpasm -v", &out) != 0 || !fs::exists(fs::path(KIV_VYNC_DEVICES_DIR) / "16F877A.h"))
            GTEST_SKIP() << "gputils or the generated device headers are missing";
        char pattern[] = "/tmp/blinkcXXXXXX";
        m_folder = mkdtemp(pattern);
        // An installation with the device headers and the device database.
        fs::create_directories(fs::path(m_folder) / "install" / "utils");
        fs::create_directory_symlink(KIV_VYNC_DEVICES_DIR, fs::path(m_folder) / "install" / "devices");
        fs::copy_file(KIV_DEVICES_DAT, fs::path(m_folder) / "install" / "utils" / "devices.dat");
        for (const char *name : {"blinkc.c", "blinkc.h", "blinkc.pjt"})
            fs::copy_file(fs::path(KIV_TEST_SOURCE_DIR) / "data" / "examples" / "blinkc" / name, fs::path(m_folder) / name);
        m_source = m_folder + "/blinkc.c";
        ASSERT_EQ(Shell("cd '" + m_folder + "' && '" KIV_VYNC_PROGRAM "' --install '" + m_folder + "/install' blinkc.c", &out), 0) << out;
        m_handle = dlopen(KIV_WATCH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(m_handle) << dlerror();
    }
    void TearDown() override
    {
        if (m_handle)
            dlclose(m_handle);
        std::error_code ec;
        if (!m_folder.empty())
            fs::remove_all(m_folder, ec);
    }
    template <typename F>
    F Function(const char *name)
    {
        return reinterpret_cast<F>(dlsym(m_handle, name));
    }

    std::string m_folder;
    std::string m_source;
    void *m_handle = nullptr;
};

TEST_F(BlinkcExample, WatchLibraryMapsAddressesToCLines)
{
    using TLoadCoff = std::uint16_t (*)(const char *, std::uint32_t *);
    using TLoadCod = std::uint16_t (*)(std::int16_t, const char *);
    using TFileName = std::uint16_t (*)(std::int32_t, char *);
    using TFindLine = std::uint16_t (*)(std::int32_t, std::int32_t *, std::int32_t *, std::int32_t *, std::uint32_t *, std::uint8_t *);
    using TFindFunction = std::uint16_t (*)(std::uint32_t, std::uint32_t *, char *, char *);
    const auto loadCoff = Function<TLoadCoff>("VYNWATCH_LOAD_COFF");
    const auto loadCod = Function<TLoadCod>("VYNWATCH_LOAD_COD");
    const auto fileName = Function<TFileName>("VYNWATCH_GET_FILENAME");
    const auto findLine = Function<TFindLine>("VYNWATCH_FIND_LINE");
    const auto findFunction = Function<TFindFunction>("VYNWATCH_FIND_FUNCTION");
    ASSERT_TRUE(loadCoff && loadCod && fileName && findLine && findFunction);

    const int toggleLine = LineOf(m_source, "output_toggle(LED);");
    const int delayLine = LineOf(m_source, "delay_ms(100);");
    ASSERT_GT(toggleLine, 0);
    // gplink's .cod carries no C line table (its line records follow the assembly listing), so
    // the debugger steps C programs through the .cof, the format it asks for.
    for (const char *format : {"cof"}) {
        SCOPED_TRACE(format);
        const std::string debugFile = m_folder + "/blinkc." + format;
        if (std::string(format) == "cof") {
            std::uint32_t code = 0;
            ASSERT_EQ(loadCoff(debugFile.c_str(), &code), 1);
        } else {
            ASSERT_EQ(loadCod(0, debugFile.c_str()), 1);
        }
        // The session's files: the C file is one of them.
        int cFile = -1;
        for (int i = 0; i < 50; ++i) {
            char name[301] = {};
            if (fileName(i, name) != 1)
                break;
            if (std::string(name).ends_with("blinkc.c"))
                cFile = i;
        }
        ASSERT_GE(cFile, 0) << "the debug file names blinkc.c";
        for (int line : {toggleLine, delayLine}) {
            // C line -> address -> the same C line, inside the right function.
            std::int32_t file = cFile, number = line, list = 0;
            std::uint32_t address = 0;
            ASSERT_EQ(findLine(1, &file, &number, &list, &address, nullptr), 1) << "line " << line;
            std::int32_t file3 = -1, number3 = -1, list3 = 0;
            std::uint32_t address3 = address;
            ASSERT_EQ(findLine(3, &file3, &number3, &list3, &address3, nullptr), 1);
            EXPECT_EQ(file3, cFile);
            EXPECT_EQ(number3, line);
            std::uint32_t exit = 0;
            char name[41] = {}, second[41] = {};
            ASSERT_EQ(findFunction(address, &exit, name, second), 1);
            EXPECT_STREQ(name, line == toggleLine ? "toggle_led" : "wait");
        }
    }
}

TEST_F(BlinkcExample, BlinksInGpsim)
{
    // Run long enough for two half-second waits at 20 MHz (2.5 million cycles each); the LED
    // has toggled twice and the tenths counted.
    std::ofstream(m_folder + "/run.stc") << "break c 5200000\nrun\ndump r\nquit\n";
    std::string out;
    Shell("cd '" + m_folder + "' && gpsim -i -S disable -s blinkc.cod -c run.stc", &out);
    // blinks and tenths from the symbol map of the report-free build: read them from the .map.
    std::ifstream map(m_folder + "/blinkc.map");
    std::string line;
    int blinks = -1, tenths = -1;
    while (std::getline(map, line)) {
        std::istringstream words(line);
        std::string name, address;
        words >> name >> address;
        if (name == "_blinks")
            blinks = std::stoi(address, nullptr, 16);
        if (name == "_tenths")
            tenths = std::stoi(address, nullptr, 16);
    }
    ASSERT_GE(blinks, 0);
    ASSERT_GE(tenths, 0);
    const auto ram = [&](int a) {
        std::istringstream lines(out);
        std::string l;
        while (std::getline(lines, l)) {
            if (l.size() < 8 || l[4] != ':')
                continue;
            const int base = std::stoi(l.substr(0, 4), nullptr, 16);
            if (a >= base && a < base + 16)
                return std::stoi(l.substr(7 + static_cast<std::size_t>(a - base) * 3, 2), nullptr, 16);
        }
        return -1;
    };
    EXPECT_EQ(ram(blinks), 3) << "toggled at 0, 0.5 and 1.0 seconds";
    EXPECT_EQ(ram(tenths), 10);
}

}  // namespace
