// Differential testing of the compiler: seeded random programs (vync_randprog.h) compiled by
// vync, built by gputils and run in gpsim, against the same programs compiled for the host by
// the system's C compiler. VYNC_DIFF_SEED and VYNC_DIFF_UNITS choose the run
// (scripts/vync_differential.sh runs a long one).

#include "vync_randprog.h"
#include "vync_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using kiv::vynctest::TRandomUnit;
using kiv::vynctest::TRunResult;
using kiv::vynctest::TVyncRunner;

namespace {

constexpr int kCasesPerUnit = 12;

long EnvNumber(const char *name, long fallback)
{
    const char *v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

std::string HostCompiler()
{
    std::string out;
    for (const char *cc : {"cc", "gcc", "clang"}) {
        if (kiv::vynctest::Shell(std::string(cc) + " --version", &out) == 0)
            return cc;
    }
    return {};
}

// The host's results: (unit, case) -> value.
bool RunHost(const std::vector<TRandomUnit> &units, const std::string &folder, std::map<std::pair<int, int>, long long> *values,
             std::string *error)
{
    const std::string cc = HostCompiler();
    if (cc.empty()) {
        *error = "no host C compiler";
        return false;
    }
    std::ofstream(folder + "/host.c") << kiv::vynctest::HostProgram(units);
    std::string out;
    if (kiv::vynctest::Shell(cc + " -O1 -fwrapv -w -o '" + folder + "/host' '" + folder + "/host.c'", &out) != 0) {
        *error = "host compile failed: " + out.substr(0, 2000);
        return false;
    }
    if (kiv::vynctest::Shell("'" + folder + "/host'", &out) != 0) {
        *error = "host run failed";
        return false;
    }
    std::istringstream lines(out);
    int u = 0, k = 0;
    long long v = 0;
    while (lines >> u >> k >> v)
        (*values)[{u, k}] = v;
    return true;
}

TEST(VyncDifferential, RandomProgramsAgreeWithTheHostCompiler)
{
    std::string out;
    if (kiv::vynctest::Shell("gpasm -v && gpsim -v", &out) != 0)
        GTEST_SKIP() << "gputils and gpsim are not installed (the setup step installs them)";
    const auto seed = static_cast<std::uint32_t>(EnvNumber("VYNC_DIFF_SEED", 20261210));
    const int unitCount = static_cast<int>(EnvNumber("VYNC_DIFF_UNITS", 170));
    std::vector<TRandomUnit> units;
    for (int u = 0; u < unitCount; ++u)
        units.push_back(kiv::vynctest::MakeRandomUnit(seed, u, kCasesPerUnit));

    TVyncRunner hostRunner;
    std::map<std::pair<int, int>, long long> expected;
    std::string error;
    ASSERT_TRUE(RunHost(units, hostRunner.Folder(), &expected, &error)) << error;

    // Two workers share the units: even units on the classic core, odd ones on the enhanced.
    std::vector<std::string> failures(static_cast<std::size_t>(unitCount));
    std::vector<int> compared(static_cast<std::size_t>(unitCount), 0);
    const auto work = [&](int first) {
        TVyncRunner runner;
        for (int u = first; u < unitCount; u += 2) {
            const char *part = u % 2 ? "PIC16F1825" : "PIC16F877A";
            const std::string source = std::string("#device ") + part + "\n" + units[static_cast<std::size_t>(u)].dialect;
            const TRunResult r = runner.Run(source, 20000000);
            std::string &f = failures[static_cast<std::size_t>(u)];
            if (!r.compiled || !r.built || !r.finished) {
                f = "unit " + std::to_string(u) + " (" + part + ") did not run:\n" + r.messages.substr(0, 3000);
                std::ofstream(runner.Folder() + "/failed_unit" + std::to_string(u) + ".c") << source;
                continue;
            }
            for (std::size_t k = 0; k < units[static_cast<std::size_t>(u)].results.size(); ++k) {
                const auto &res = units[static_cast<std::size_t>(u)].results[k];
                std::int64_t got = 0;
                if (!r.Value(res.name, &got, res.isSigned)) {
                    f += "unit " + std::to_string(u) + ": no variable " + res.name + "\n";
                    continue;
                }
                const auto it = expected.find({u, static_cast<int>(k)});
                if (it == expected.end()) {
                    f += "unit " + std::to_string(u) + ": the host gave no " + res.name + "\n";
                    continue;
                }
                ++compared[static_cast<std::size_t>(u)];
                if (got != it->second)
                    f += "unit " + std::to_string(u) + " (" + part + ") " + res.name + ": vync " + std::to_string(got) + ", host " +
                         std::to_string(it->second) + "\n";
            }
            if (!f.empty())
                f += "--- source (seed " + std::to_string(seed) + ") ---\n" + source;
        }
    };
    std::thread second(work, 1);
    work(0);
    second.join();
    int total = 0;
    int failed = 0;
    for (int u = 0; u < unitCount; ++u) {
        total += compared[static_cast<std::size_t>(u)];
        if (!failures[static_cast<std::size_t>(u)].empty()) {
            ++failed;
            if (failed <= 3)
                ADD_FAILURE() << failures[static_cast<std::size_t>(u)];
            else
                ADD_FAILURE() << failures[static_cast<std::size_t>(u)].substr(0, 300);
        }
    }
    EXPECT_EQ(failed, 0) << failed << " of " << unitCount << " units differ";
    EXPECT_EQ(total, unitCount * kCasesPerUnit);
    std::cout << "[ DIFF     ] " << total << " random programs compared (seed " << seed << ", " << unitCount << " units)\n";
}

}  // namespace
