#pragma once

// The call tree file (base + ".tre"): which routine calls which, read from the linked program.

#include "edition_core.h"
#include "gputils_reports.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::compiler {

/// Program memory from an Intel HEX file, byte addressed.
struct TProgramImage {
    std::map<std::uint32_t, std::uint8_t> bytes;

    /// The little-endian 16-bit word at byte address `at`; false when either byte is missing.
    bool Word(std::uint32_t at, std::uint16_t *word) const;
};

/// Reads INHX8M/INHX32 text, or INHX16 (word addresses, big-endian words) when `inhx16`.
/// False on a malformed record or checksum.
bool ReadIntelHex(std::string_view text, bool inhx16, TProgramImage *image);

/// One CALL (or RCALL) instruction; addresses in the link map's program units (words for the
/// 12- and 14-bit cores, bytes for PIC18).
struct TCallSite {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
};

/// The calls in the program memory of `script`. The 12- and 14-bit cores carry only the low
/// bits of the target in the instruction; the page is taken from the label that matches those
/// bits, preferring the caller's own page.
std::vector<TCallSite> FindCalls(const TProgramImage &image, TCore core, const TLinkerScript &script,
                                 const std::vector<TMapSymbol> &symbols);

/// The call tree text: a title line, an empty line, then each routine that nobody calls with
/// the routines it calls indented below it. Routines start at call targets and at code
/// sections; each is expanded once.
std::string CallTreeText(const std::string &title, const TLinkMap &map, const TLinkerScript &script,
                         const std::vector<TCallSite> &calls);

}  // namespace kiv::compiler
