#pragma once

// Readers of what the gputils programs print and write: gpasm and gplink messages, processor
// properties (gpasm -s), the object's processor (gpvo), dependency files (gpasm -M), link maps,
// linker scripts and the COFF header.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::compiler {

/// One message printed by gpasm or gplink.
struct TToolMessage {
    enum Kind { Error, Warning, Message };
    Kind kind = Error;
    std::string file;   /// as printed (may be relative to the working folder); empty when none
    int line = 0;       /// 0 when none
    int number = 0;     /// gpasm's message number, 0 for gplink
    std::string text;
};

/// gpasm lines "file:line:Error[113]   text", "Warning[202] text", "error: text".
/// Other lines are not messages and are skipped.
std::vector<TToolMessage> ParseGpasmOutput(std::string_view output);

/// gplink lines "error: text", "warning: text" ("message:" lines are skipped).
std::vector<TToolMessage> ParseGplinkOutput(std::string_view output);

/// Properties of one processor from `gpasm -s -p NAME`.
struct TProcessorInfo {
    std::string name;            /// the first of "Names", e.g. "pic16f877a"
    std::string gpasmClass;      /// "PIC14", "PIC16E" ...
    std::string linkerScript;    /// file name of the default linker script, may be empty
    std::uint32_t maxRomAddress = 0;   /// "Max. ROM Addr.": words on the 12- and 14-bit cores, bytes on PIC18
};
bool ParseProcessorProperties(std::string_view output, TProcessorInfo *info);

/// The processor of an object from `gpvo` ("Processor Type       16f877a"), empty when none.
std::string ParseObjectProcessor(std::string_view gpvoOutput);

/// The prerequisites of a gpasm dependency file (one per line after "target : \").
std::vector<std::string> ParseDependencyFile(std::string_view text);

/// The linker script gplink reports it used, empty when it named none.
std::string ParseLinkerScriptMessage(std::string_view gplinkOutput);

struct TMapSection {
    std::string name;
    std::string type;        /// code, udata, idata, romdata ...
    std::uint32_t address = 0;
    std::string location;    /// program or data
    std::uint32_t sizeBytes = 0;
};

struct TMapSymbol {
    std::string name;
    std::uint32_t address = 0;
    std::string location;    /// program or data
    std::string storage;     /// static, extern ...
    std::string file;
};

/// The tables of a gplink map file.
struct TLinkMap {
    std::vector<TMapSection> sections;
    std::vector<TMapSymbol> symbols;   /// "Symbols - Sorted by Name"
};
bool ParseLinkMap(std::string_view text, TLinkMap *map);

struct TMemoryRange {
    std::string name;
    std::uint32_t start = 0;
    std::uint32_t end = 0;   /// inclusive
    bool isProtected = false;
    std::uint32_t Size() const { return end >= start ? end - start + 1 : 0; }
};

/// The memory a linker script declares; #IFDEF blocks are read with no symbol defined.
struct TLinkerScript {
    std::vector<TMemoryRange> codePages;
    std::vector<TMemoryRange> dataBanks;     /// DATABANK and ACCESSBANK
    std::vector<TMemoryRange> shareBanks;    /// SHAREBANK (mirrors share a name)

    /// Program memory for code (unprotected code pages), in the script's address units.
    std::uint32_t ProgramCapacity() const;
    /// General-purpose RAM in bytes (unprotected banks, each shared bank counted once).
    std::uint32_t DataCapacity() const;
    /// True when `address` lies in an unprotected code page.
    bool InProgramMemory(std::uint32_t address) const;
};
TLinkerScript ParseLinkerScript(std::string_view text);

/// The header of a Microchip COFF file as the IDE reads it.
struct TCoffHeader {
    bool valid = false;
    std::uint16_t magic = 0;
    std::uint16_t optionalHeaderSize = 0;
    std::uint32_t processor = 0;   /// from the optional header
};
TCoffHeader ParseCoffHeader(std::string_view bytes);

}  // namespace kiv::compiler
