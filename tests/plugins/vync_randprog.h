#pragma once

// A seeded generator of random C programs in the compiler's integer subset: expressions over
// every integer type of the dialect (int1, int8, int16, int32, signed and unsigned), local and
// global variables, arrays, structures, pointers, loops and calls. Each program is written twice:
// in the dialect for vync, and in standard C for the host's compiler with every operation cast
// to the dialect's width and signedness, so both must give the same result bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::vynctest {

/// One unit: `cases` small programs in one C file, each a function storing its result in the
/// global r<N>; `main` runs them all in order.
struct TRandomUnit {
    std::string dialect;                 /// the whole C file for vync (without #device)
    std::string host;                    /// functions and globals for the host, names prefixed
    std::string hostRun;                 /// statements that run the unit and print "u k value"
    struct TResult {
        std::string name;                /// r0, r1, ...
        int bytes = 1;                   /// 0 for an int1 result
        bool isSigned = false;
    };
    std::vector<TResult> results;
};

/// Writes unit number `unit` of the run seeded with `seed`, with `cases` programs.
TRandomUnit MakeRandomUnit(std::uint32_t seed, int unit, int cases);

/// A host C file running `units` (their host parts) and printing one "unit case value" line per
/// result, the value in decimal as the dialect type reads it.
std::string HostProgram(const std::vector<TRandomUnit> &units);

}  // namespace kiv::vynctest
