#pragma once

// Runs one of the gputils programs and collects what it prints.

#include <string>
#include <vector>

namespace kiv::compiler {

struct TToolResult {
    bool started = false;      /// the program could be started
    bool finished = false;     /// it ended by itself within the time limit
    int exitCode = -1;         /// its exit code when it ended normally
    int signal = 0;            /// the signal that ended it, 0 when none
    std::string output;        /// stdout and stderr, interleaved as written
    std::string failure;       /// why it could not be started or did not finish
};

/// Runs `argv` (argv[0] is looked up in PATH) in `workDir` with stdin from /dev/null. Output
/// beyond `maxOutput` bytes is read and dropped. A program still running after `timeoutMs` is
/// killed.
TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir,
                    int timeoutMs = 120000, std::size_t maxOutput = 4u * 1024 * 1024);

}  // namespace kiv::compiler
