#pragma once

// Compiles C programs with vync, builds them with gpasm and gplink, runs them in gpsim to the
// end of main and reads RAM back: the harness of the compiler's program tests.

#include "vync_compile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kiv::vynctest {

struct TRunResult {
    bool compiled = false;
    bool built = false;
    bool finished = false;        /// reached the end of main
    std::string messages;         /// compiler messages, tool output on failure
    std::vector<int> ram;         /// RAM after the run; -1 for unimplemented addresses
    vync::TProgramReport report;
    std::string folder;
    std::string output;           /// what gpsim printed
    std::string trace;            /// gpsim's log, when the script logs to trace.log

    /// The value of global `name` (little-endian, sign extended when `isSigned`); false when the
    /// program has no such variable.
    bool Value(const std::string &name, std::int64_t *value, bool isSigned = false) const;
};

/// A work folder with a small device database holding the fuses the tests use.
class TVyncRunner {
public:
    TVyncRunner();
    ~TVyncRunner();

    /// Compiles and runs `source` (a whole C file) for at most `cycles` instruction cycles.
    TRunResult Run(const std::string &source, long cycles = 3000000);
    /// Compiles only.
    vync::TCompileOutcome Compile(const std::string &source, const std::string &name = "prog.c");

    const std::string &Folder() const { return m_folder; }

private:
    std::string m_folder;
    int m_counter = 0;
};

/// Runs `base`.cod of `dir` in gpsim to the end of main (at most `cycles`), filling `result`'s
/// RAM and `finished`. `script` (gpsim commands: stimuli, nodes, logging) runs before the program.
void RunInGpsim(const std::string &dir, const std::string &base, long cycles, TRunResult *result,
                const std::string &script = {});

/// True when the device headers and devices.dat of the build are there (gputils installed).
bool InstallationReady();

/// Compiles `source` against the build's device headers and devices.dat, builds it with gpasm
/// and gplink and runs it in gpsim with `script` (see RunInGpsim).
TRunResult RunInstalled(const std::string &source, long cycles = 2000000, const std::string &script = {});

/// Runs a shell command; its output goes to `output`. Returns the exit code.
int Shell(const std::string &command, std::string *output);

}  // namespace kiv::vynctest
