#pragma once

// What the watch library learns about the program's processor from gputils: its name (COFF
// files store only a number), its core (the instruction set, for finding return instructions)
// and its special function registers (from the processor's header file).

#include "debug_info.h"
#include "watch_eval.h"

#include <string>
#include <string_view>
#include <vector>

namespace kiv::watch {

/// Runs `argv` (argv[0] looked up in PATH) with standard input from /dev/null and collects its
/// standard output and error; false when it could not start, did not end within `timeoutMs` or
/// ended with a non-zero code.
bool RunCapture(const std::vector<std::string> &argv, std::string *output, int timeoutMs = 10000);

/// The processor a COFF file was built for, as gputils names it ("16f877a"): from a source file
/// named like a gputils processor header ("p16f877a.inc"), else from what `gpvo -f` prints.
/// Empty when neither says.
std::string CoffProcessorName(const TDebugInfo &info, const std::string &coffPath);

/// The core of a processor: gputils' own class of it (`gpasm -s -p NAME`), or a guess from the
/// name when gpasm cannot be asked.
TProgramCore ProcessorCore(const std::string &processor);

/// The folders holding gputils' processor headers.
std::vector<std::string> HeaderFolders();

/// The registers of the "Register Files" part of a processor header ("PORTB EQU H'0006'").
std::vector<TSfr> ParseSfrHeader(std::string_view text);

/// The registers of a processor from its gputils header; empty when there is none.
std::vector<TSfr> ReadSfrs(const std::string &processor);

}  // namespace kiv::watch
