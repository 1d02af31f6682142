#pragma once

// The lines of a gpasm or gplink listing that carry program code, with their addresses, so that
// a program address leads to its listing line and back. A code line begins with its address in
// hexadecimal, then the first code word as exactly four hexadecimal digits (gpasm "0005   018C",
// "00000A 6A20"; gplink "000003   01a0"); page headers, messages, symbol tables and lines
// without code are passed over. Addresses are in the listing's units (words on the 12- and
// 14-bit cores, bytes on PIC18), the units of the debug files' line tables.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct TListingCodeLine {
    int line = 0;                 ///< 1-based line of the listing
    std::uint32_t address = 0;
};

class TListingIndex {
public:
    /// Files larger than this are not read.
    static constexpr std::size_t kMaxFileSize = 64u * 1024 * 1024;

    /// Reads the listing; false (and an empty index) when it cannot be read.
    bool Load(const std::string &path);
    void Parse(std::string_view text);

    bool Empty() const { return m_lines.empty(); }
    /// Code lines in listing order.
    const std::vector<TListingCodeLine> &CodeLines() const { return m_lines; }
    /// The first listing line that holds code at `address`, 0 when none does.
    int ListLineOfAddress(std::uint32_t address) const;
    /// The address of a code line; false for a line without code.
    bool AddressOfListLine(int line, std::uint32_t *address) const;

    /// True when `text` (one line) is a code line; `address` receives its address.
    static bool ParseCodeLine(std::string_view text, std::uint32_t *address);

private:
    std::vector<TListingCodeLine> m_lines;             // in line order
    std::vector<TListingCodeLine> m_byAddress;         // sorted by address, then line
};

}  // namespace kiv
