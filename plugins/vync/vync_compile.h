#pragma once

// One compile of a C main file to gpasm assembly, and the report of what the compiler knows
// about the program (messages, variables, routines, memory use) that the compiler edition reads
// to write the error, symbol, call tree and statistics files.

#include "vync_diag.h"
#include "vync_gen.h"
#include "vync_report.h"

#include <string>
#include <utility>
#include <vector>

namespace kiv::vync {

struct TCompileOptions {
    std::string mainFile;
    std::vector<std::string> includeDirs;
    std::vector<std::pair<std::string, std::string>> defines;
    std::string installDir;   /// holds devices/, drivers/ and utils/devices.dat
    bool icd = false;
};

struct TCompileOutcome {
    TMessages messages;
    std::vector<std::string> files;   /// main file first, then every include
    long lines = 0;
    TProgramReport program;
    std::string assembly;
    std::string part;
    bool ok = false;
};

TCompileOutcome CompileC(const TCompileOptions &options);

/// The report of the compile, for the report file (vync_report.h).
TReport MakeReport(const TCompileOutcome &outcome);

/// One message as a message line: *** Error 60 "file" Line 3(5,8): text
std::string MessageLine(const TMessages &messages, const TMessage &message);

}  // namespace kiv::vync
