#pragma once

// What the compiler knows about the chosen part, read from the processor data gputils ships:
// `gpasm -s -p NAME` (core, banks, pages, configuration words), the part's linker script
// (general-purpose RAM) and its .inc header (register and bit names).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kiv::vync {

struct TRamRange {
    int start = 0;
    int end = 0;   /// inclusive
};

struct TConfigWord {
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t defaultValue = 0;
};

struct TTarget {
    std::string name;            /// "PIC16F877A"
    std::string gpName;          /// "16f877a"
    bool enhanced = false;       /// the enhanced 14-bit core (PIC14E)
    int banks = 1;
    int pageSize = 2048;         /// words
    int pages = 1;
    int programWords = 0;
    bool hasCommon = false;
    TRamRange common;            /// RAM seen from every bank
    std::vector<TRamRange> gpr;  /// banked general-purpose RAM, by address
    std::vector<TConfigWord> config;
    std::uint32_t eepromStart = 0;
    int eepromBytes = 0;
    int stackDepth = 8;
    std::map<std::string, int> registers;                 /// upper case name -> address
    std::map<std::string, std::pair<std::string, int>> bitNames;   /// bit name -> (register, bit)

    /// Address of register `name` (upper case), -1 when the part has none.
    int Register(const std::string &name) const;
    /// The (register address, bit) of bit `name`; false when the part has none.
    bool Bit(const std::string &name, int *address, int *bit) const;
    /// True when `address` reads the same in every bank (core registers, common RAM).
    bool Unbanked(int address) const;
    int BankOf(int address) const { return (address >> 7) & (banks > 1 ? banks - 1 : 0); }
};

/// Loads the part `name` ("PIC16F877A", "16F877A"); false with `error` set when gputils does not
/// know it or it is not a 14-bit part.
bool LoadTarget(const std::string &name, TTarget *target, std::string *error);

}  // namespace kiv::vync
