// A C program compiled by vync, built by gputils and run in gpsim, then read back through the
// watch library loaded by path, as the debugger reads it: its globals are shown as C values of
// their types (unsigned and signed 8-, 16- and 32-bit, arrays) from the RAM gpsim left.

#include "vync_runner.h"
#include "watch_abi.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

using kiv::vynctest::TRunResult;
using kiv::vynctest::TVyncRunner;

std::int32_t ReadRam(void *context, std::int32_t address, std::int32_t count, std::uint8_t **data)
{
    auto *ram = static_cast<std::vector<std::uint8_t> *>(context);
    if (count <= 0 || address < 0 || static_cast<std::size_t>(address) + static_cast<std::size_t>(count) > ram->size())
        return 0;
    *data = ram->data() + address;
    return 1;
}

TEST(VyncWatchTest, GlobalsReadAsCValuesAfterARunInGpsim)
{
    std::string out;
    if (kiv::vynctest::Shell("gpasm -v && gpsim -v", &out) != 0)
        GTEST_SKIP() << "gputils and gpsim are not installed; scripts/setup.sh installs them";
    void *library = dlopen(KIV_WATCH_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto loadCoff = reinterpret_cast<kiv::TWatchLoadCoff>(dlsym(library, "VYNWATCH_LOAD_COFF"));
    const auto evaluate = reinterpret_cast<kiv::TWatchEvaluate2>(dlsym(library, "VYNWATCH_EVALUATE2"));
    ASSERT_TRUE(loadCoff && evaluate);

    TVyncRunner runner;
    const TRunResult run = runner.Run(R"(#device PIC16F877A
#fuses NOWDT
int8 u; signed int8 c; int16 w; signed int16 s; int32 big; signed int32 neg;
int16 arr[3];
void main() {
   u = 200; c = -3; w = 60000; s = -1234; big = 100000; neg = -70000;
   arr[0] = 1; arr[1] = 300; arr[2] = 65535;
}
)");
    ASSERT_TRUE(run.finished) << run.messages;
    std::vector<std::uint8_t> ram(run.ram.size());
    for (std::size_t i = 0; i < ram.size(); ++i)
        ram[i] = static_cast<std::uint8_t>(run.ram[i] < 0 ? 0 : run.ram[i]);

    std::uint32_t code = 0;
    ASSERT_EQ(loadCoff((run.folder + "/prog.cof").c_str(), &code), 1) << std::hex << code;
    struct TCase {
        const char *expression;
        const char *shown;
    };
    // Names as the C source has them (whether the file holds them bare or as "_u" labels).
    for (const TCase &c : std::vector<TCase>{
             {"u", "200 (0xC8)"},
             {"c", "-3 (0xFD)"},
             {"w", "60000 (0xEA60)"},
             {"s", "-1234 (0xFB2E)"},
             {"big", "100000 (0x000186A0)"},
             {"neg", "-70000 (0xFFFEEE90)"},
             {"arr", "{1, 300, 65535}"},
             {"arr[1]", "300 (0x012C)"},
             {"s + 1", "-1233 (0xFB2F)"},
             {"nosuch", "ERROR: unknown name 'nosuch'"},
         }) {
        char result[256] = {};
        EXPECT_EQ(evaluate(0, 0, c.expression, result, sizeof result - 1, 0, &ReadRam, &ram), 1);
        EXPECT_STREQ(result, c.shown) << c.expression;
    }
    // The functions by their C names too.
    const auto functionAddr = reinterpret_cast<kiv::TWatchGetFunctionAddr>(dlsym(library, "VYNWATCH_GET_FUNCTION_ADDR"));
    std::int32_t address = -1;
    EXPECT_EQ(functionAddr("main", &address), 1);
    EXPECT_GE(address, 0);
    dlclose(library);
}

}  // namespace
