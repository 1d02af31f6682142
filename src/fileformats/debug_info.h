#pragma once

// What a debugger needs from a COD or COFF debug file, in one shape: the source files, the line
// table, functions with their extent and exit, symbols by kind and scope, and C types when the
// file carries them. Plain C++ on the records of TCodFile and TCoffFile.
//
// Addresses of code and lines are in the core's program address units (words on the 12- and
// 14-bit cores, bytes on PIC18), the units of the program counter. Data addresses are RAM
// addresses.
//
// C types are read from COFF symbols:
// - basic types: T_CHAR int8, T_UCHAR unsigned int8, T_SHORT and T_INT int16, T_USHORT and
//   T_UINT unsigned int16, T_SLONG int24, T_USLONG unsigned int24, T_LONG int32, T_ULONG unsigned
//   int32, T_FLOAT and T_DOUBLE 32-bit IEEE float, T_ENUM one byte (or the auxiliary size);
//   T_NULL means "no type" and such a symbol reads as one unsigned byte;
// - derived types (outermost first): DT_ARY with the dimensions of the symbol's auxiliary entry
//   (without them, as many elements as fit before the next symbol), DT_PTR and DT_ROMPTR 16-bit,
//   DT_FARROMPTR 24-bit pointers, DT_FCN functions;
// - T_STRUCT and T_UNION: the auxiliary entry's tag index names a C_STRTAG or C_UNTAG symbol;
//   the members follow it (C_MOS / C_MOU, value = byte offset, each with its own type) up to a
//   C_EOS symbol; members whose name is a C_FIELD of one bit are bits (value = bit number).
// COD files carry the codes of codtype: SWORD, BYTE, WORD, FLOAT and BIT n have their C type;
// gputils marks every RAM label with code 2, read as one unsigned byte.

#include "cod_file.h"
#include "coff_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

enum class TProgramCore { pcUnknown, pc12Bit, pc14Bit, pcPic18 };

/// One C type. Types are numbered by their place in TDebugInfo::Types().
struct TDebugType {
    enum Kind { tkByte, tkInteger, tkFloat, tkPointer, tkArray, tkStruct, tkUnion, tkBit, tkVoid, tkFunction };
    struct TMember {
        std::string name;
        std::uint32_t offset = 0;   ///< bytes from the start of the struct
        int type = 0;
    };
    Kind kind = tkByte;
    std::string name;               ///< "int8", "unsigned int16", "struct point", "int16[4]"
    std::uint32_t size = 1;         ///< bytes
    bool isSigned = false;
    int element = -1;               ///< arrays: element type; pointers: the type pointed to
    std::uint32_t count = 0;        ///< arrays: number of elements
    std::uint8_t bit = 0;           ///< bits: bit number within the byte
    bool romPointer = false;        ///< pointers into program memory
    std::vector<TMember> members;   ///< structs and unions
};

enum class TSymbolKind { skVariable, skCode, skConstant };

struct TDebugSymbol {
    std::string name;
    TSymbolKind kind = TSymbolKind::skVariable;
    std::uint32_t address = 0;      ///< variables: RAM address; code: program address; constants: value
    int type = 0;                   ///< index into Types(); 0 is the untyped byte
    bool typed = false;             ///< the file gave the type
    std::uint32_t extent = 0;       ///< bytes up to the next symbol of its section, 0 when unknown
    bool global = false;
    int file = -1;                  ///< source file that declares it, -1 when unknown
    int function = -1;              ///< function whose local it is, -1 for none
    bool scoped = false;            ///< visible only between scopeStart and scopeEnd (program addresses)
    std::uint32_t scopeStart = 0;
    std::uint32_t scopeEnd = 0;
    std::string origin;             ///< the file's own words for it ("C_EXT", "WORD(5)")
};

struct TDebugFunction {
    std::string name;
    std::uint32_t start = 0;
    std::uint32_t end = 0;          ///< first address after it
    std::uint32_t exit = 0;         ///< address of its last return instruction, 0 when none
    int file = -1;
};

struct TDebugLine {
    int file = 0;                   ///< index into Files()
    int line = 0;                   ///< 1-based source line
    std::uint32_t address = 0;
    std::uint16_t flags = 0;        ///< COD line flags; COFF line number flags
    bool hasCode = true;
};

struct TDebugSourceFile {
    std::string stored;             ///< the name as the debug file stores it
    std::string path;               ///< absolute path: the stored one, or found beside the debug file
};

class TDebugInfo {
public:
    enum Format { dfNone, dfCod, dfCoff };

    /// Reads a COD or a COFF file; false with `error` (and `osError` for system errors).
    bool LoadCod(const std::string &path, std::string *error, int *osError = nullptr);
    bool LoadCoff(const std::string &path, std::string *error, int *osError = nullptr);
    /// By extension: ".cod" COD, anything else COFF.
    bool Load(const std::string &path, std::string *error, int *osError = nullptr);

    /// Builds the model from records already read; `debugFile` places relative source names.
    void FromCod(const TCodFile &cod, const std::string &debugFile);
    void FromCoff(const TCoffFile &coff, const std::string &debugFile);

    Format FileFormat() const { return m_format; }
    const std::string &DebugFile() const { return m_debugFile; }
    /// The processor as the file names it ("16f877a"); empty when the file does not say.
    const std::string &Processor() const { return m_processor; }
    void SetProcessor(const std::string &name) { m_processor = name; }
    /// COFF: the optional header's processor number; 0 for COD.
    std::uint32_t ProcessorNumber() const { return m_processorNumber; }
    TProgramCore Core() const { return m_core; }
    /// Sets the core (the files do not always say) and finds the function exits again.
    void SetCore(TProgramCore core);

    const std::vector<TDebugSourceFile> &Files() const { return m_files; }
    const std::vector<TDebugLine> &Lines() const { return m_lines; }
    const std::vector<TDebugSymbol> &Symbols() const { return m_symbols; }
    /// Adds a symbol the debug file does not have (a name defined by the debugger's user).
    void AddSymbol(TDebugSymbol symbol) { m_symbols.push_back(std::move(symbol)); }
    const std::vector<TDebugFunction> &Functions() const { return m_functions; }
    const std::vector<TDebugType> &Types() const { return m_types; }
    const TDebugType &Type(int index) const;

    /// The file number of `path` (compared with the stored and the resolved name), -1 if none.
    int FileNumber(const std::string &path) const;
    /// The lowest code address of a source line; false when the line has no code.
    bool AddressOfLine(int file, int line, std::uint32_t *address) const;
    /// The line entry of `address`: the first code entry at it, else the nearest one below it
    /// within the same function; nullptr when none.
    const TDebugLine *LineOfAddress(std::uint32_t address) const;
    /// The function whose extent holds `address`, or nullptr.
    const TDebugFunction *FunctionAt(std::uint32_t address) const;
    /// Functions named `name` in address order.
    std::vector<const TDebugFunction *> FunctionsNamed(const std::string &name) const;
    /// Symbols named `name` (compared exactly) in table order.
    std::vector<const TDebugSymbol *> SymbolsNamed(const std::string &name) const;
    /// The program word at a program address (two bytes, little-endian); false when unknown.
    bool ProgramWord(std::uint32_t address, std::uint16_t *word) const;
    /// Bytes per program address unit.
    unsigned ProgramAddressBytes() const { return m_core == TProgramCore::pcPic18 ? 1u : 2u; }

    /// A type's C spelling with a name ("int16 count[4]" -> "int16[4]").
    std::string TypeText(int type) const;

private:
    void Reset();
    TDebugSourceFile ResolveFile(const std::string &stored) const;
    int AddFile(const std::string &stored);
    int AddType(TDebugType type);
    int BasicType(std::uint32_t basic, std::uint32_t auxSize);
    int CoffType(const TCoffFile &coff, std::uint32_t rawType, const std::vector<std::vector<std::uint8_t>> &aux,
                 std::uint32_t extent, int depth);
    int CoffStructType(const TCoffFile &coff, std::uint32_t tagIndex, bool isUnion, int depth);
    int CodType(std::uint16_t codType);
    void FindFunctionExits();
    void UseCNames();
    void SortLookups();

    Format m_format = dfNone;
    std::string m_debugFile;
    std::string m_folder;
    std::string m_processor;
    std::uint32_t m_processorNumber = 0;
    TProgramCore m_core = TProgramCore::pcUnknown;
    std::vector<TDebugSourceFile> m_files;
    std::vector<TDebugLine> m_lines;
    std::vector<TDebugSymbol> m_symbols;
    std::vector<TDebugFunction> m_functions;            // sorted by start
    std::vector<TDebugType> m_types;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> m_program;   // byte address -> value, sorted
    std::vector<std::size_t> m_codeLinesByAddress;      // indexes of code lines, by address then table order
    std::vector<std::pair<std::uint32_t, int>> m_structCache;        // COFF tag index -> type
};

/// The core of a processor name as gputils spells it, guessed from the name alone: "18..." is
/// PIC18, the baseline families (10F, 12C5, 12F5, 16C5, 16F5x, 16F50x, 16F52x, 16F57x) 12-bit, the
/// rest 14-bit. The watch library asks gputils itself when it can.
TProgramCore GuessCoreFromName(const std::string &processor);

/// True when `word` at a program address is a return instruction of `core`.
bool IsReturnInstruction(TProgramCore core, std::uint16_t word);

}  // namespace kiv
