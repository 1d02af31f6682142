#pragma once

// The watch library's state between calls: the loaded debug file with its listing and the
// processor's registers, and the answers behind the VYNWATCH_ exports in C++ terms.
//
// File numbers are indexes into the debug file's source files (COD: its file name table; COFF:
// its .file symbols in table order, each name once). Program addresses are in the core's units
// (words on the 12- and 14-bit cores, bytes on PIC18). The listing is the ".lst" beside the
// debug file; its lines are counted from 1.

#include "debug_info.h"
#include "listing_index.h"
#include "watch_eval.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::watch {

/// Error codes of a failed COFF load: the operating system's error number shifted left by 8
/// when the file could not be read, else one of these (their high byte, 0x80, is no system
/// error number).
enum TCoffLoadError : std::uint32_t {
    wcTooShort = 0x8001,
    wcBadMagic = 0x8002,
    wcOptionalHeader = 0x8003,
    wcTruncated = 0x8004,
    wcBadTable = 0x8005,
    wcUnreadable = 0x8006,
};

/// Symbol classes of VYNWATCH_GET_SYMBOL_LIST.
enum TSymbolClass : int {
    scGlobals = 1,       ///< variables every file sees: bare names
    scInScope = 2,       ///< the function's locals and the file's statics at a line: "name (type at 0xADDR)"
    scAllStatics = 4,    ///< every variable that is not global: "name (type at 0xADDR)"
    scDefines = 8,       ///< constants: "#define NAME value"
};

class TWatchSession {
public:
    /// Reads a debug file. A failure leaves the previous file loaded; `error` says why.
    bool LoadCod(const std::string &path, std::string *error);
    /// `errorCode` receives a TCoffLoadError or a system error number << 8 on failure.
    bool LoadCoff(const std::string &path, std::uint32_t *errorCode, std::string *error);
    bool Loaded() const { return m_info.FileFormat() != TDebugInfo::dfNone; }

    const TDebugInfo &Info() const { return m_info; }
    const std::vector<TSfr> &Sfrs() const { return m_sfrs; }
    const TListingIndex &Listing() const { return m_listing; }

    /// The name of a file number (its full path when known); "[Unknown file]" for a number the
    /// table leaves empty; false past the last file.
    bool FileName(int number, std::string *name) const;

    /// VYNWATCH_FIND_LINE: mode 1 file and line -> address (and list line), mode 2 list line ->
    /// address (and file and line), mode 3 address -> file, line and list line. `flags` receives
    /// the line entry's flags (COD) or 0. False when the place has no code.
    bool FindLine(int mode, std::int32_t *file, std::int32_t *line, std::int32_t *listLine, std::uint32_t *address,
                  std::uint8_t *flags) const;

    /// The function holding `address`: its name, the address of its last return instruction (0
    /// when it has none) and the name of its source file.
    bool FindFunction(std::uint32_t address, std::uint32_t *exitAddress, std::string *name, std::string *file) const;

    /// The first function (or code label) called `name` whose address is above `*address`
    /// (-1 for any).
    bool FunctionAddress(const std::string &name, std::int32_t *address) const;

    /// The value text of an expression in the scope of a source line (see watch_eval.h).
    std::string Evaluate(int file, int line, const std::string &expression, const TMemoryAccess &memory) const;

    /// The call chain: one line for the PC, then one per return address from the newest
    /// (`entries` hold the return stack from its oldest entry). Each line begins with the
    /// function's name.
    std::string InterpretStack(std::uint32_t pc, const std::vector<std::uint32_t> &entries) const;

    /// Symbol names of a class, one per line (CR LF between them).
    std::string SymbolList(int file, int line, int symbolClass) const;

    /// Names given with VYNWATCH_ADD_DEFINE, usable as constants until the next load.
    void AddDefine(const std::string &name, std::uint32_t value);

private:
    void Install(TDebugInfo info, const std::string &path);
    std::string Describe(const TDebugSymbol &symbol) const;
    std::string PlaceOf(std::uint32_t address) const;

    TDebugInfo m_info;
    TListingIndex m_listing;
    std::vector<TSfr> m_sfrs;
};

}  // namespace kiv::watch
