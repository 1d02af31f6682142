#pragma once

// Runs one of the gputils programs and collects what it prints.

#include <functional>
#include <string>
#include <vector>

namespace kiv::compiler {

struct TToolResult {
    bool started = false;      /// the program could be started
    bool finished = false;     /// it ended by itself within the time limit
    bool timedOut = false;     /// it was ended because it ran past the time limit
    bool stopped = false;      /// it was ended because a stop was requested (RequestToolStop)
    bool cutShort = false;     /// it was ended because its output said enough (TToolLimits)
    int exitCode = -1;         /// its exit code when it ended normally
    int signal = 0;            /// the signal that ended it, 0 when none
    std::string output;        /// stdout and stderr, interleaved as written
    std::string failure;       /// why it could not be started or did not finish
};

/// What a run may take.
struct TToolLimits {
    int timeoutMs = 120000;                        /// the program is ended after this time
    std::size_t maxOutput = 4u * 1024 * 1024;      /// output beyond this is read and dropped
    /// Looked at after each piece of output with everything kept so far; true ends the program
    /// (TToolResult::cutShort) and keeps what it printed.
    std::function<bool(const std::string &output)> enough;
};

/// Runs `argv` (argv[0] is looked up in PATH) in `workDir` with stdin from /dev/null, in a
/// process group of its own: ending it (time limit, stop, enough output) ends every program it
/// started as well.
TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir,
                    const TToolLimits &limits);
/// The same with a time limit and an output limit.
TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir,
                    int timeoutMs = 120000, std::size_t maxOutput = 4u * 1024 * 1024);

/// Asks the tool running now, and every later one until ClearToolStop, to end at once. Any
/// thread may call it.
void RequestToolStop();
void ClearToolStop();
bool ToolStopRequested();

/// The time a tool may run: KIV_TOOL_TIME_LIMIT seconds (1 to 86400) when that is set, else
/// 120 seconds.
int ToolTimeLimitMs();

}  // namespace kiv::compiler
