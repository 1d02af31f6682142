#pragma once

// COD debug files: a chain of 512-byte directory blocks, each describing a 64 K range of
// program memory, with code blocks, short, long and local symbol tables, source file names,
// line number records, a memory map and a debug message area. Plain C++ on bytes.
//
// Two levels: decoders of single blocks (used by the COD dump, which goes on past a bad
// block), and TCodFile, which reads a whole file and refuses one whose directory or tables
// point outside it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

inline constexpr std::size_t kCodBlockSize = 512;

/// A table's first and last block; first = 0 means the table is absent.
struct TCodRange {
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    bool Present() const { return first != 0; }
};

/// Offsets of the directory block fields.
namespace coddir {
inline constexpr std::size_t codeBlocks = 0;     ///< 128 x u16
inline constexpr std::size_t sourcePath = 256;   ///< length byte + up to 63 characters
inline constexpr std::size_t date = 320;         ///< length byte + up to 7 characters
inline constexpr std::size_t time = 328;         ///< u16 hours * 100 + minutes
inline constexpr std::size_t version = 330;      ///< length byte + up to 19 characters
inline constexpr std::size_t compiler = 350;     ///< length byte + up to 11 characters
inline constexpr std::size_t notice = 362;       ///< length byte + up to 63 characters
inline constexpr std::size_t symbols = 426;
inline constexpr std::size_t fileNames = 430;
inline constexpr std::size_t lineNumbers = 434;
inline constexpr std::size_t addressSize = 438;  ///< u8
inline constexpr std::size_t highAddress = 439;  ///< u16
inline constexpr std::size_t nextDirectory = 441;
inline constexpr std::size_t memoryMap = 443;
inline constexpr std::size_t localSymbols = 447;
inline constexpr std::size_t codType = 451;      ///< u16
inline constexpr std::size_t processor = 453;    ///< length byte + up to 8 characters
inline constexpr std::size_t longSymbols = 462;
inline constexpr std::size_t debugMessages = 466;
}  // namespace coddir

struct TCodDirectory {
    std::uint16_t block = 0;                    ///< the block this directory was read from
    std::array<std::uint16_t, 128> codeBlocks{};
    std::string sourcePath;
    std::string date;
    std::uint16_t time = 0;
    std::string compilerVersion;
    std::string compilerName;
    std::string notice;
    TCodRange symbols;
    TCodRange fileNames;
    TCodRange lineNumbers;
    std::uint8_t addressSize = 0;
    std::uint16_t highAddress = 0;              ///< high word of this directory's 64 K range
    std::uint16_t nextDirectory = 0;
    TCodRange memoryMap;
    TCodRange localSymbols;
    std::uint16_t codType = 0;
    std::string processor;
    TCodRange longSymbols;
    TCodRange debugMessages;
};

/// Symbol types: our compiler's codes, and the three gputils writes (2 RAM label, 46 code
/// address, 47 constant).
namespace codtype {
inline constexpr std::uint16_t kSignedByte = 2;   ///< gputils: any RAM label
inline constexpr std::uint16_t kSignedWord = 3;
inline constexpr std::uint16_t kByte = 4;
inline constexpr std::uint16_t kWord = 5;
inline constexpr std::uint16_t kRom = 46;         ///< a program address
inline constexpr std::uint16_t kConstant = 47;    ///< gputils: EQU and SET values
inline constexpr std::uint16_t kFloat = 255;
inline constexpr std::uint16_t kBit0 = 145;       ///< 145 .. 152: bit 0 .. 7 of a byte
inline constexpr std::uint16_t kBit7 = 152;
}  // namespace codtype

/// The type's name in reports ("WORD", "BIT 3"), empty for codes without one.
std::string CodTypeName(std::uint16_t type);

struct TCodSymbol {
    std::string name;
    std::uint16_t type = 0;
    std::uint32_t value = 0;
};

struct TCodLocalSymbol {
    std::string header;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::string name;
    std::uint8_t type = 0;
    std::uint16_t value = 0;
};

/// Line flags (the system's names; gputils sets 0x10 on lines without code and 0x80 on all).
namespace codline {
inline constexpr std::uint8_t kAssert = 0x01;
inline constexpr std::uint8_t kNoCode = 0x02;
inline constexpr std::uint8_t kNoListLine = 0x04;
inline constexpr std::uint8_t kConstantsInCode = 0x08;
inline constexpr std::uint8_t kDefinition = 0x10;
inline constexpr std::uint8_t kInterruptStart = 0x20;
inline constexpr std::uint8_t kFunctionStart = 0x40;
inline constexpr std::uint8_t kSourceLine = 0x80;
}  // namespace codline

struct TCodLineEntry {
    std::uint8_t file = 0;
    std::uint8_t flags = 0;
    std::uint16_t line = 0;
    std::uint16_t address = 0;
};

struct TCodMemoryRange {
    std::uint16_t start = 0;   ///< byte addresses within the directory's 64 K range
    std::uint16_t end = 0;
};

/// Decoders of one block's entries (`block` is kCodBlockSize bytes).
namespace codblock {
TCodDirectory Directory(const std::uint8_t *block, std::uint16_t blockNumber);
/// The short symbols of one block, up to the first entry with a length byte of 0.
std::vector<TCodSymbol> ShortSymbols(const std::uint8_t *block);
/// The long symbols of one block, up to a length byte of 0 or the end of the block.
std::vector<TCodSymbol> LongSymbols(const std::uint8_t *block);
/// All 16 entries of a local symbol block.
std::vector<TCodLocalSymbol> LocalSymbols(const std::uint8_t *block);
/// The file names of one block, up to the first empty entry.
std::vector<std::string> FileNames(const std::uint8_t *block);
/// All 85 entries of a line number block.
std::vector<TCodLineEntry> LineEntries(const std::uint8_t *block);
/// The ranges of one memory map block, up to an entry 0..0 that is not the first.
std::vector<TCodMemoryRange> MemoryMap(const std::uint8_t *block);
}  // namespace codblock

/// One directory with its tables read.
struct TCodSection {
    TCodDirectory directory;
    std::vector<TCodSymbol> shortSymbols;
    std::vector<TCodSymbol> longSymbols;
    std::vector<TCodLocalSymbol> localSymbols;
    std::vector<std::string> fileNames;        ///< indexed by file number (block index * 8 + entry)
    std::vector<TCodLineEntry> lines;          ///< every entry in table order, the header entry first
    std::vector<TCodMemoryRange> memoryMap;
    bool hasDebugMessages = false;
};

class TCodFile {
public:
    /// Files larger than this are refused.
    static constexpr std::size_t kMaxFileSize = 32u * 1024 * 1024;
    /// Longest directory chain followed.
    static constexpr int kMaxDirectories = 256;

    bool Load(const std::string &path);
    bool Parse(const std::uint8_t *bytes, std::size_t size);
    bool Parse(const std::vector<std::uint8_t> &bytes) { return Parse(bytes.data(), bytes.size()); }

    const std::string &Error() const { return m_error; }
    int OsError() const { return m_osError; }

    /// The directories along the chain from block 0, each with its tables.
    const std::vector<TCodSection> &Sections() const { return m_sections; }
    /// The processor named by the first directory ("16f877a").
    std::string Processor() const;
    /// Source file names of the first directory that has a file name table.
    const std::vector<std::string> &FileNames() const;
    /// The program bytes the code blocks hold, limited to the memory map when there is one:
    /// byte address (high word included) -> value.
    const std::vector<std::pair<std::uint32_t, std::uint8_t>> &ProgramBytes() const { return m_program; }

private:
    bool Fail(std::string message);
    bool ReadRange(const TCodRange &range, const char *what, std::uint16_t directory,
                   std::vector<const std::uint8_t *> *blocks);

    const std::uint8_t *m_bytes = nullptr;   // during Parse only
    std::size_t m_size = 0;
    std::string m_error;
    int m_osError = 0;
    std::vector<TCodSection> m_sections;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> m_program;
};

}  // namespace kiv
