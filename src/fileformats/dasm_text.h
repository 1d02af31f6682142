#pragma once

// Small text helpers of the disassemblers: upper-case hexadecimal digits, zero-padded.

#include <cstdint>
#include <string>

namespace kiv::dasm {

/// `value` in at least `digits` upper-case hexadecimal digits.
inline void AppendHex(std::string &out, uint64_t value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    char buffer[17];
    int n = 0;
    do {
        buffer[n++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value && n < 16);
    while (n < digits && n < 16)
        buffer[n++] = '0';
    while (n > 0)
        out += buffer[--n];
}

inline std::string Hex(uint64_t value, int digits)
{
    std::string out;
    AppendHex(out, value, digits);
    return out;
}

}  // namespace kiv::dasm
