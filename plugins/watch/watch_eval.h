#pragma once

// Evaluation of C expressions over the target's RAM for the watch library.
//
// Operands: names of RAM symbols (in the scope of a source line: that function's locals, the
// file's statics, then globals), SFR names of the processor, constants and code labels of the
// debug file, numbers (123, 0x7B, 0b1111011, 0173, 'A', '\n') and casts to the dialect's types
// ((int16), (signed int8), (unsigned int32 *) ...; int and char are unsigned 8-bit, short and
// long 16-bit). Operators, with C's precedence: () [] . -> postfix ++ --; prefix ++ -- + - ! ~ *
// & sizeof, casts; * / %; + -; << >>; < <= > >=; == !=; &; ^; |; &&; ||; ?:; = += -= *= /= %=
// <<= >>= &= |= ^=. Integers are computed in 32 bits as C does (unsigned when an operand is an
// unsigned 32-bit value) and wrap on overflow; a float operand makes the operation a float one.
// Indexing a symbol without an array type reads its bytes (count[1] is the byte after count).
//
// A format may follow the expression after a comma: ",h" hexadecimal, ",b" binary, ",c"
// character, ",s" string, ",.N" float with N places, ",d" decimal. Without one an integer reads
// "37 (0x25)", a float "3.25", an array "{1, 2, 3}", a struct "{x=1, y=2}".
//
// Failures give a text beginning "ERROR: " that says why. Memory is read and written only
// through the memory access given for the evaluation.

#include "debug_info.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv::watch {

/// One special function register of the processor.
struct TSfr {
    std::string name;
    std::uint32_t address = 0;
};

/// Points `*data` at `count` RAM bytes from `address`, valid until the evaluation ends; false
/// when the bytes cannot be had.
using TMemoryAccess = std::function<bool(std::uint32_t address, std::uint32_t count, std::uint8_t **data)>;

struct TEvalContext {
    const TDebugInfo *info = nullptr;
    const std::vector<TSfr> *sfrs = nullptr;
    int file = -1;                 ///< the source file of the scope, -1 for none
    int line = 0;                  ///< the source line of the scope
    TMemoryAccess memory;
};

/// Evaluates `expression`; the result text, or "ERROR: " and the reason.
std::string Evaluate(const TEvalContext &context, const std::string &expression);

/// The name as the debug file has it: `name` itself, or the C compiler's label "_name" when
/// only that is in the file (the C name a user types for a variable or function).
std::string CName(const TDebugInfo &info, const std::string &name);

/// The symbol a name stands for at a scope (the rules above), or nullptr.
const TDebugSymbol *LookUpVariable(const TDebugInfo &info, const std::string &name, int file, int line);

}  // namespace kiv::watch
