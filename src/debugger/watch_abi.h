#pragma once

// The binary interface between the IDE and the watch library (watch/vynwatch.so), which reads
// the compiler's debug file (COD or COFF) and answers symbol questions. Plain C++ without Qt:
// the IDE and the library both include this header.
//
// Every export is an extern "C" function looked up by name; the library must export all 13
// names of kWatchExportNames. Results are uint16_t, 1 = done. Texts are NUL-terminated.
// The IDE makes every call on its interface thread, one at a time.

#include <cstdint>

namespace kiv {

/// Buffer sizes the IDE passes.
inline constexpr int kWatchFileNameSize = 301;     /// VYNWATCH_GET_FILENAME
inline constexpr int kWatchFunctionNameSize = 41;  /// VYNWATCH_FIND_FUNCTION, both texts
inline constexpr int kWatchStackTextSize = 4097;   /// VYNWATCH_INTERPRET_STACK2
inline constexpr int kWatchSymbolListSize = 102400;/// VYNWATCH_GET_SYMBOL_LIST

/// VYNWATCH_FIND_LINE modes.
enum TWatchFindMode : int32_t {
    wfLineToAddress = 1,      /// file number and line -> address (and list line)
    wfListLineToAddress = 2,  /// list-file line -> address (and file number, line)
    wfAddressToLine = 3,      /// address -> file number, line and list-file line
};

/// VYNWATCH_GET_SYMBOL_LIST classes.
enum TWatchSymbolClass : int32_t { wsClass1 = 1, wsClass2 = 2, wsClass4 = 4, wsClass8 = 8 };

/// The IDE's memory function: points `*data` at `count` bytes of target RAM from `address`
/// (reading the target when needed) and returns non-zero, or returns 0 when it cannot. The
/// library reads, and may write, those bytes through `*data` until the evaluation call
/// returns; what it writes stays in the IDE's working copy and does not reach the target.
using TWatchMemoryFunction = int32_t (*)(void *context, int32_t address, int32_t count, uint8_t **data);

using TWatchLoadCod = uint16_t (*)(int16_t two, const char *codFile);
/// On failure `*errorCode` is set; its high byte (code >> 8) 1 .. 127 is an operating system
/// error number.
using TWatchLoadCoff = uint16_t (*)(const char *coffFile, uint32_t *errorCode);
using TWatchGetFilename = uint16_t (*)(int32_t fileNumber, char *name /*kWatchFileNameSize*/);
using TWatchFindLine = uint16_t (*)(int32_t mode, int32_t *fileNumber, int32_t *line, int32_t *listLine,
                                    uint32_t *address, uint8_t *extra);
/// `exitAddress` 0: no function. Both texts are kWatchFunctionNameSize buffers; a name beginning
/// "@" is a routine the compiler generated.
using TWatchFindFunction = uint16_t (*)(uint32_t address, uint32_t *exitAddress, char *name, char *second);
/// `*address` is -1 on entry.
using TWatchGetFunctionAddr = uint16_t (*)(const char *name, int32_t *address);
/// A result beginning "ERROR" is a failed evaluation. `zero` is 0.
using TWatchEvaluate2 = uint16_t (*)(int32_t fileNumber, int32_t line, const char *expression, char *result,
                                     int32_t capacity, int32_t zero, TWatchMemoryFunction memory,
                                     void *context);
using TWatchInterpretStack2 = uint16_t (*)(uint32_t pc, uint8_t count, const uint32_t *entries, char *output,
                                           int32_t capacity, TWatchMemoryFunction memory, void *context);
/// Names separated by line breaks.
using TWatchGetSymbolList = uint16_t (*)(int32_t fileNumber, int32_t line, int32_t symbolClass, char *buffer,
                                         int32_t capacity);

/// The 13 exports: the 9 the IDE calls, then the 4 it requires but never calls.
inline constexpr const char *kWatchExportNames[] = {
    "VYNWATCH_LOAD_COD", "VYNWATCH_LOAD_COFF", "VYNWATCH_GET_FILENAME", "VYNWATCH_FIND_LINE",
    "VYNWATCH_FIND_FUNCTION", "VYNWATCH_GET_FUNCTION_ADDR", "VYNWATCH_EVALUATE2",
    "VYNWATCH_INTERPRET_STACK2", "VYNWATCH_GET_SYMBOL_LIST",
    // required, never called
    "VYNWATCH_EVALUATE", "VYNWATCH_ADD_DEFINE", "VYNWATCH_INTERPRET_STACK", "VYNWATCH_DEBUGGER_IO",
};
inline constexpr int kWatchExportCount = int(sizeof(kWatchExportNames) / sizeof(kWatchExportNames[0]));
static_assert(kWatchExportCount == 13);

}  // namespace kiv
