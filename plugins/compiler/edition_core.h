#pragma once

// The compiler editions this library can be built as, and the processor cores they build.

#include <string>
#include <string_view>

namespace kiv::compiler {

/// Instruction cores of the PIC families, as gputils classifies the processors.
enum class TCore { Unknown, Bit12, Bit14, Pic18, Pic17 };

/// One edition: its code (the library's file name), display name and the core it builds.
struct TEditionInfo {
    const char *code;
    const char *displayName;
    TCore core;
};

/// The edition with `code` (compared exactly), or nullptr.
const TEditionInfo *EditionByCode(std::string_view code);

/// The edition that builds `core`, or nullptr when no edition does.
const TEditionInfo *EditionForCore(TCore core);

/// The core of a gputils processor class ("PIC12", "PIC12E", "PIC14E", "PIC16E" ...).
TCore CoreOfClass(std::string_view gpasmClass);

/// "12-bit", "14-bit", "PIC18", "16-bit (PIC17)" or "unknown".
const char *CoreName(TCore core);

}  // namespace kiv::compiler
