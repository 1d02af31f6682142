#pragma once

// The binary interface between the IDE and a compiler edition library (dll/<code>.so).
// Plain C++ without Qt: the IDE side and the edition libraries both include this header.
//
// An edition library exports two C functions, looked up by name:
//   COMPILE        builds one project and reports through the status call-back
//   GET_VERSION32  writes the edition's version text
// and may export a third, which the IDE uses when it is there:
//   STOP_COMPILE   asks a COMPILE running on another thread to end soon
// Every string argument travels in a 256-byte NUL-terminated buffer. "Word" arguments are 16-bit
// unsigned values carried in 32-bit slots.

#include <cstdint>

namespace kiv {

/// Names of the two exports of a compiler edition library.
inline constexpr const char kCompileExportName[] = "COMPILE";
inline constexpr const char kGetVersionExportName[] = "GET_VERSION32";
/// Name of the optional export that stops a running COMPILE.
inline constexpr const char kStopCompileExportName[] = "STOP_COMPILE";

/// Size of every string buffer passed to or filled by COMPILE, the terminating NUL included.
inline constexpr int kCompileStringSize = 256;

/// Size of the GET_VERSION32 buffer; the caller sets its second byte to kVersionBufferMark first.
inline constexpr int kVersionBufferSize = 26;
inline constexpr char kVersionBufferMark = 0x61;

/// The fixed value of COMPILE argument 10.
inline constexpr std::uint32_t kCompileConstantArgument = 9;

/// Bits of the options word (COMPILE argument 11).
enum TCompileOption : std::uint32_t {
    coKeepCallTree = 0x01,
    coKeepStatistics = 0x02,
    coKeepScratch = 0x08,
    coInCircuitDebugger = 0x40,
};

/// Debug file formats (COMPILE argument 6).
enum TDebugFormat : std::uint32_t {
    dfNone = 0,
    dfStandardCod = 1,
    dfAtdMap = 2,
    dfExpandedCod = 3,
    dfCoff = 4,
};

/// Error file format values (COMPILE argument 9): 0 Original, 1 Standard; Multi-Lines passes
/// efAllErrors and/or efWarnings instead of 2.
enum TErrorFormat : std::uint32_t {
    efOriginal = 0,
    efStandard = 1,
    efWarnings = 0x4000,
    efAllErrors = 0x8000,
};

/// Codes of the status call-back (its third argument). 151..255 add (code - 150) compiled lines.
enum TCompileStatusCode : std::uint8_t {
    csLine2 = 20,           /// line 2 of the status window := text
    csLine7 = 21,           /// line 7 of the status window := text
    csObjectFile = 80,      /// the object (HEX) file was written
    csSymbolFile = 90,
    csCallTreeFile = 91,
    csStatisticsFile = 92,
    csListFile = 93,
    csScratchFile = 95,
    csProjectFile = 96,
    csMapFile = 97,
    csCodFile = 98,
    csCoffFile = 99,
    csRomPercent = 101,     /// value = ROM use in percent
    csRamPercent = 102,     /// value = RAM use in percent; shows both bars
    csLinesBase = 150,      /// code csLinesBase + n (n = 1..105) reports n more compiled lines
};

}  // namespace kiv

extern "C" {

/// The status call-back: an 8-bit value, a NUL-terminated text and an 8-bit code.
typedef void (*TCompileStatusCallback)(std::uint8_t value, const char *text, std::uint8_t code);

/// COMPILE: 21 arguments in this order. The result is informative only (0 when the build
/// succeeded); the IDE relies on the out arguments and on the error file base + ".err".
typedef std::int32_t (*TCompileFunc)(
    const char *mainFile,           //  1 project base + extension
    const char *installDir,         //  2 installation folder
    const char *includeDirs,        //  3 include folders separated by ";"
    const char *reserved,           //  4 always empty
    const char *defines,            //  5 global defines
    std::uint32_t debugFormat,      //  6 TDebugFormat
    std::uint32_t objectFormat,     //  7 0 8-bit HEX, 1 16-bit HEX, 2 binary
    std::uint32_t listFormat,       //  8 0 VYN, 1 Microchip, 2 old Microchip, 3 symbolic
    std::uint32_t errorFormat,      //  9 TErrorFormat
    std::uint32_t constantNine,     // 10 always kCompileConstantArgument
    std::uint32_t options,          // 11 TCompileOption bits
    const char *objectExtension,    // 12 "HEX"
    const char *listExtension,      // 13 "LST"
    char *errorMessage,             // 14 out: first error message, "" when none (256 bytes)
    char *errorFile,                // 15 out: file of the first error, "" when none (256 bytes)
    std::uint16_t *errorLine,       // 16 out: line of the first error (1-based)
    std::uint16_t *errorStartColumn,// 17 out: its first column (1-based)
    std::uint16_t *errorEndColumn,  // 18 out: its last column
    std::uint16_t *processorId,     // 19 out: the target's COFF processor number
    TCompileStatusCallback status,  // 20 status call-back (may be null)
    std::int16_t *lastMessage);     // 21 out: number of the last error or warning, -1 when none

/// GET_VERSION32: fills `buffer` (kVersionBufferSize bytes) with a NUL-terminated version text.
typedef void (*TGetVersion32Func)(char *buffer);

/// STOP_COMPILE (optional): callable from any thread. A COMPILE that is running ends the programs
/// it started, writes its error file with an error saying the compile was stopped, and returns
/// soon. COMPILE forgets a request made before it started, so the caller repeats the request
/// from the status call-back, which runs inside COMPILE.
typedef void (*TStopCompileFunc)(void);

}  // extern "C"
