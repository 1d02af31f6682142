#pragma once

// Microchip COFF objects and executables as gputils writes them: the old format (file magic
// 0x1234, 16-byte optional header, 18-byte symbols, 16-bit symbol types) and the newer one
// gputils writes by default (0x1240: 18-byte optional header with a 32-bit version stamp,
// 20-byte symbols, 32-bit symbol types). Everything else (section headers, relocations, line
// numbers, string table) is laid out alike. Plain C++ on bytes; every offset and count is
// checked against the file size, and a file that breaks one is refused with a message.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

/// The names COFF itself gives its constants (gputils uses the same).
namespace coff {
inline constexpr std::uint16_t kMagicOld = 0x1234;
inline constexpr std::uint16_t kMagicNew = 0x1240;
inline constexpr std::uint16_t kOptionalMagic = 0x5678;

inline constexpr std::size_t kFileHeaderSize = 20;
inline constexpr std::size_t kOptionalHeaderSizeOld = 16;
inline constexpr std::size_t kOptionalHeaderSizeNew = 18;
inline constexpr std::size_t kSectionHeaderSize = 40;
inline constexpr std::size_t kRelocationSize = 12;
inline constexpr std::size_t kLineNumberSize = 16;
inline constexpr std::size_t kSymbolSizeOld = 18;
inline constexpr std::size_t kSymbolSizeNew = 20;

// File header flags.
inline constexpr std::uint16_t F_RELFLG = 0x0001;   ///< relocation information stripped
inline constexpr std::uint16_t F_EXEC = 0x0002;     ///< executable (no unresolved references)
inline constexpr std::uint16_t F_LNNO = 0x0004;     ///< line numbers stripped
inline constexpr std::uint16_t L_SYMS = 0x0080;     ///< local symbols stripped
inline constexpr std::uint16_t F_GENERIC = 0x8000;  ///< processor-independent object

// Section flags.
inline constexpr std::uint32_t STYP_TEXT = 0x0020;      ///< executable code
inline constexpr std::uint32_t STYP_DATA = 0x0040;      ///< initialised data
inline constexpr std::uint32_t STYP_BSS = 0x0080;       ///< uninitialised data
inline constexpr std::uint32_t STYP_DATA_ROM = 0x0100;  ///< initialised data in program memory
inline constexpr std::uint32_t STYP_ABS = 0x1000;       ///< absolute
inline constexpr std::uint32_t STYP_SHARED = 0x2000;    ///< shared across banks
inline constexpr std::uint32_t STYP_OVERLAY = 0x4000;   ///< overlaid with same-named sections
inline constexpr std::uint32_t STYP_ACCESS = 0x8000;    ///< in the access bank
inline constexpr std::uint32_t STYP_ACTREC = 0x10000;   ///< a function's activation record
inline constexpr std::uint32_t STYP_RELOC = 0x20000;    ///< relocated (gputils)
inline constexpr std::uint32_t STYP_BPACK = 0x40000;    ///< bytes packed into code words (gputils)

// Special section numbers of a symbol.
inline constexpr std::int16_t N_DEBUG = -2;
inline constexpr std::int16_t N_ABS = -1;
inline constexpr std::int16_t N_UNDEF = 0;

// Storage classes.
inline constexpr std::uint8_t C_EFCN = 0xFF;
inline constexpr std::uint8_t C_NULL = 0;
inline constexpr std::uint8_t C_AUTO = 1;
inline constexpr std::uint8_t C_EXT = 2;
inline constexpr std::uint8_t C_STAT = 3;
inline constexpr std::uint8_t C_REG = 4;
inline constexpr std::uint8_t C_EXTDEF = 5;
inline constexpr std::uint8_t C_LABEL = 6;
inline constexpr std::uint8_t C_ULABEL = 7;
inline constexpr std::uint8_t C_MOS = 8;
inline constexpr std::uint8_t C_ARG = 9;
inline constexpr std::uint8_t C_STRTAG = 10;
inline constexpr std::uint8_t C_MOU = 11;
inline constexpr std::uint8_t C_UNTAG = 12;
inline constexpr std::uint8_t C_TPDEF = 13;
inline constexpr std::uint8_t C_USTATIC = 14;
inline constexpr std::uint8_t C_ENTAG = 15;
inline constexpr std::uint8_t C_MOE = 16;
inline constexpr std::uint8_t C_REGPARM = 17;
inline constexpr std::uint8_t C_FIELD = 18;
inline constexpr std::uint8_t C_AUTOARG = 19;
inline constexpr std::uint8_t C_LASTENT = 20;
inline constexpr std::uint8_t C_BLOCK = 100;
inline constexpr std::uint8_t C_FCN = 101;
inline constexpr std::uint8_t C_EOS = 102;
inline constexpr std::uint8_t C_FILE = 103;
inline constexpr std::uint8_t C_LINE = 104;
inline constexpr std::uint8_t C_ALIAS = 105;
inline constexpr std::uint8_t C_HIDDEN = 106;
inline constexpr std::uint8_t C_EOF = 107;
inline constexpr std::uint8_t C_LIST = 108;
inline constexpr std::uint8_t C_SECTION = 109;

// Basic types (the low 4 bits of a symbol's type in the old format, 5 bits in the new one).
inline constexpr std::uint32_t T_NULL = 0;
inline constexpr std::uint32_t T_VOID = 1;
inline constexpr std::uint32_t T_CHAR = 2;
inline constexpr std::uint32_t T_SHORT = 3;
inline constexpr std::uint32_t T_INT = 4;
inline constexpr std::uint32_t T_LONG = 5;
inline constexpr std::uint32_t T_FLOAT = 6;
inline constexpr std::uint32_t T_DOUBLE = 7;
inline constexpr std::uint32_t T_STRUCT = 8;
inline constexpr std::uint32_t T_UNION = 9;
inline constexpr std::uint32_t T_ENUM = 10;
inline constexpr std::uint32_t T_MOE = 11;
inline constexpr std::uint32_t T_UCHAR = 12;
inline constexpr std::uint32_t T_USHORT = 13;
inline constexpr std::uint32_t T_UINT = 14;
inline constexpr std::uint32_t T_ULONG = 15;
inline constexpr std::uint32_t T_LNGDBL = 16;
inline constexpr std::uint32_t T_SLONG = 17;    ///< 24-bit "short long"
inline constexpr std::uint32_t T_USLONG = 18;   ///< unsigned 24-bit "short long"

// Derived types, 3 bits each above the basic type, the outermost derivation first.
inline constexpr std::uint32_t DT_NON = 0;
inline constexpr std::uint32_t DT_PTR = 1;      ///< pointer to data memory
inline constexpr std::uint32_t DT_FCN = 2;      ///< function
inline constexpr std::uint32_t DT_ARY = 3;      ///< array
inline constexpr std::uint32_t DT_ROMPTR = 4;   ///< pointer to program memory
inline constexpr std::uint32_t DT_FARROMPTR = 5;

/// Names of the constants above for printing ("C_EXT", "T_UCHAR", ...); a number when unknown.
std::string StorageClassName(std::uint8_t storageClass);
std::string BasicTypeName(std::uint32_t basicType);
std::string DerivedTypeName(std::uint32_t derivedType);
std::string RelocationTypeName(std::uint16_t type);
}  // namespace coff

struct TCoffFileHeader {
    std::uint16_t magic = 0;
    std::uint16_t sectionCount = 0;
    std::uint32_t timeStamp = 0;
    std::uint32_t symbolTableOffset = 0;
    std::uint32_t symbolCount = 0;            ///< entries, auxiliary entries included
    std::uint16_t optionalHeaderSize = 0;
    std::uint16_t flags = 0;
};

struct TCoffOptionalHeader {
    bool present = false;
    std::uint16_t magic = 0;
    std::uint32_t versionStamp = 0;           ///< 16 bits in the old format
    std::uint32_t processorType = 0;          ///< the processor number (e.g. 0x877A)
    std::uint32_t romWidthBits = 0;           ///< 12 or 14 for word-addressed cores, 8 for PIC18
    std::uint32_t ramWidthBits = 0;
};

struct TCoffRelocation {
    std::uint32_t address = 0;                ///< within the section
    std::uint32_t symbolIndex = 0;
    std::int16_t offset = 0;
    std::uint16_t type = 0;
};

struct TCoffLineNumber {
    std::uint32_t sourceSymbol = 0;           ///< index of the source file's C_FILE symbol
    std::uint16_t line = 0;
    std::uint32_t address = 0;                ///< program address, in the core's address units
    std::uint16_t flags = 0;
    std::uint32_t functionSymbol = 0;
};

struct TCoffSection {
    std::string name;
    std::uint32_t physicalAddress = 0;        ///< program sections: in the core's address units
    std::uint32_t virtualAddress = 0;
    std::uint32_t size = 0;                   ///< bytes
    std::uint32_t dataOffset = 0;
    std::uint32_t relocationOffset = 0;
    std::uint32_t lineNumberOffset = 0;
    std::uint16_t relocationCount = 0;
    std::uint16_t lineNumberCount = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> data;           ///< the section's bytes; empty when the file holds none
    std::vector<TCoffRelocation> relocations;
    std::vector<TCoffLineNumber> lineNumbers;

    bool IsCode() const { return (flags & coff::STYP_TEXT) != 0; }
    bool IsRomData() const { return (flags & coff::STYP_DATA_ROM) != 0; }
    /// Code or initialised data in program memory.
    bool InProgramMemory() const { return IsCode() || IsRomData(); }
    bool HasData() const { return !data.empty(); }
};

struct TCoffSymbol {
    std::uint32_t index = 0;                  ///< position in the symbol table
    std::string name;
    std::uint32_t value = 0;
    std::int16_t sectionNumber = 0;           ///< 1-based; N_DEBUG, N_ABS or N_UNDEF
    std::uint32_t type = 0;
    std::uint8_t storageClass = 0;
    std::uint8_t auxCount = 0;
    /// The raw bytes of each auxiliary entry (18 or 20 bytes each).
    std::vector<std::vector<std::uint8_t>> aux;
};

/// Type fields decoded; see coff::T_* and coff::DT_*.
struct TCoffType {
    std::uint32_t basic = 0;
    std::vector<std::uint32_t> derived;       ///< outermost first, DT_NON entries dropped
};

/// Auxiliary entry layouts (offsets are the same in both formats).
struct TCoffAuxFile {
    std::uint32_t nameOffset = 0;             ///< string table offset of the file name
    std::uint32_t includedAtLine = 0;         ///< 0 when not included
    std::uint8_t flags = 0;
};
struct TCoffAuxSection {
    std::uint32_t length = 0;
    std::uint16_t relocationCount = 0;
    std::uint16_t lineNumberCount = 0;
};
/// Arrays, struct/union tags, variables of a struct type, ends of structs and functions.
struct TCoffAuxSymbol {
    std::uint32_t tagIndex = 0;               ///< symbol index of the struct/union/enum tag
    std::uint16_t lineNumber = 0;
    std::uint16_t size = 0;                   ///< bytes of the whole object
    std::uint16_t dimensions[4] = {0, 0, 0, 0};
    std::uint32_t endIndex = 0;               ///< tags and functions: index past their last entry
    std::uint32_t functionSize = 0;           ///< functions
    std::uint32_t lineNumberPointer = 0;      ///< functions
};

/// Why a file could not be read (the message says more).
enum class TCoffReadError {
    crNone,
    crOpen,           ///< the operating system refused (see osError)
    crTooShort,       ///< fewer bytes than a file header
    crBadMagic,
    crOptionalHeader, ///< an optional header that is cut off or has an unknown size
    crTruncated,      ///< a table or a section's data lies past the end of the file
    crBadTable,       ///< a table is inconsistent (auxiliary entries past the end, bad names)
};

class TCoffFile {
public:
    /// Files larger than this are refused.
    static constexpr std::size_t kMaxFileSize = 64u * 1024 * 1024;

    /// Reads the whole file. False with Error() set when it is not a readable COFF file.
    bool Load(const std::string &path);
    /// Reads a COFF image from memory.
    bool Parse(const std::uint8_t *bytes, std::size_t size);
    bool Parse(const std::vector<std::uint8_t> &bytes) { return Parse(bytes.data(), bytes.size()); }

    /// Reads only the file header and the optional header (what a header check needs). An
    /// optional header whose size is not the format's is an error, or, when `lenient`, is left
    /// unread (all zero).
    static bool ParseHeaders(const std::uint8_t *bytes, std::size_t size, TCoffFileHeader *file,
                             TCoffOptionalHeader *optional, TCoffReadError *error, std::string *message,
                             bool lenient = false);

    const std::string &Error() const { return m_error; }
    TCoffReadError ErrorKind() const { return m_errorKind; }
    int OsError() const { return m_osError; }

    /// True for the newer format (0x1240).
    bool IsNewFormat() const { return m_header.magic == coff::kMagicNew; }
    std::size_t SymbolSize() const { return IsNewFormat() ? coff::kSymbolSizeNew : coff::kSymbolSizeOld; }
    const TCoffFileHeader &Header() const { return m_header; }
    const TCoffOptionalHeader &OptionalHeader() const { return m_optional; }
    const std::vector<TCoffSection> &Sections() const { return m_sections; }
    /// Every symbol in table order (auxiliary entries are kept inside their symbol).
    const std::vector<TCoffSymbol> &Symbols() const { return m_symbols; }
    /// The symbol at table index `index`, or nullptr (also for an index inside aux entries).
    const TCoffSymbol *SymbolAt(std::uint32_t index) const;
    /// The section of a 1-based section number, or nullptr.
    const TCoffSection *SectionOf(std::int16_t sectionNumber) const;
    /// The string table as stored (its 4-byte size included); empty when the file has none.
    const std::vector<std::uint8_t> &StringTable() const { return m_strings; }
    /// The text at `offset` of the string table; false when there is none.
    bool StringAt(std::uint32_t offset, std::string *text) const;

    /// Bytes per program address: 2 for the 12- and 14-bit cores (word addresses), 1 for PIC18.
    unsigned ProgramAddressBytes() const { return m_optional.romWidthBits > 8 ? 2u : 1u; }

    TCoffType DecodeType(std::uint32_t type) const;
    /// The name of a C_FILE symbol's source file (its auxiliary entry), empty when none.
    std::string SourceFileName(const TCoffSymbol &fileSymbol) const;
    static TCoffAuxFile FileAux(const std::vector<std::uint8_t> &aux);
    static TCoffAuxSection SectionAux(const std::vector<std::uint8_t> &aux);
    static TCoffAuxSymbol SymbolAux(const std::vector<std::uint8_t> &aux);

private:
    bool Fail(TCoffReadError kind, std::string message);
    bool ReadSections(const std::uint8_t *bytes, std::size_t size);
    bool ReadSymbols(const std::uint8_t *bytes, std::size_t size);
    bool ReadName(const std::uint8_t *entry, std::string *name, const char *what, std::uint32_t index);

    std::string m_error;
    TCoffReadError m_errorKind = TCoffReadError::crNone;
    int m_osError = 0;
    TCoffFileHeader m_header;
    TCoffOptionalHeader m_optional;
    std::vector<TCoffSection> m_sections;
    std::vector<TCoffSymbol> m_symbols;
    std::vector<std::int32_t> m_symbolAt;     // table index -> position in m_symbols, -1 for aux
    std::vector<std::uint8_t> m_strings;
};

}  // namespace kiv
