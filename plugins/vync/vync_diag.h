#pragma once

// Messages of one compile: each error and warning with its file, line, columns and number.
//
// Numbers: errors of the C compiler are 40 to 199, its warnings 210 and up (the help set
// documents each one under its number; 200 and up open the warnings page).

#include <string>
#include <vector>

namespace kiv::vync {

enum TMessageNumber : int {
    // Reading the source.
    vmFileMissing = 40,          /// the main file or an include file can not be read
    vmBadCharacter = 41,         /// a character that is no part of C
    vmUnterminated = 42,         /// a string, character or comment that does not end
    vmBadNumber = 43,            /// a malformed number
    vmErrorDirective = 44,       /// the source's own #error
    vmBadDirective = 45,         /// an unknown or malformed pre-processor directive
    vmConditional = 46,          /// #else/#endif without #if, #if without #endif
    vmMacroArguments = 47,       /// wrong number of macro arguments
    vmIncludeDepth = 48,         /// includes nested too deep (a file including itself)
    // Syntax.
    vmExpected = 50,             /// a token was expected ("Expecting a ;")
    vmExpression = 51,           /// an expression was expected
    vmUnknownType = 52,          /// unknown type or bad type combination
    vmFloat = 53,                /// floating point is not supported
    vmDeclaration = 54,          /// a malformed declaration
    // Meaning.
    vmUndefined = 60,            /// an identifier that was never declared
    vmRedefined = 61,            /// declared twice
    vmNotLvalue = 62,            /// assignment to something that is not a variable
    vmConstAssign = 63,          /// assignment to a constant
    vmTypeMismatch = 64,         /// operand types that do not fit the operator
    vmArguments = 65,            /// a call with the wrong number of arguments
    vmNotConstant = 66,          /// a constant expression was expected
    vmBadStatement = 67,         /// break/continue/case outside their statement
    vmNoMember = 68,             /// struct has no such member
    vmReturn = 69,               /// return value missing or given to a void function
    vmDivideByZero = 70,         /// constant division by zero
    vmUnsupported = 71,          /// a construct this compiler does not generate code for
    vmLabel = 72,                /// goto to an undefined label, label defined twice
    // Directives.
    vmDevice = 80,               /// #device: no or unknown part, or a second part
    vmFuse = 81,                 /// #fuses: unknown fuse name
    vmInterrupt = 82,            /// #int_xxx: unknown interrupt, or not followed by a function
    vmDirectiveArgs = 83,        /// #byte, #bit, #locate, #rom ... with bad arguments
    // Program.
    vmNoMain = 90,               /// no main() function
    vmRecursion = 91,            /// a function calls itself (directly or through others)
    vmOutOfRam = 92,             /// the variables do not fit into the part's RAM
    vmOutOfRom = 93,             /// the program does not fit into the part's program memory
    vmInterruptCall = 94,        /// a function called from an interrupt and from main code
    vmStackDepth = 95,           /// calls nested deeper than the hardware stack
    vmInternal = 99,             /// an internal fault of the compiler
    // Warnings.
    vmwUnusedValue = 210,        /// code has no effect
    vmwTruncated = 211,          /// a constant does not fit the type it is assigned to
    vmwDirectiveIgnored = 214,   /// a directive that this compiler accepts and ignores
    vmwUserWarning = 216,        /// the source's own #warning
};

/// Where a message points: 1-based line and character columns, endColumn just after the last
/// marked character (both 0 when only the line is known).
struct TSourceSpan {
    int file = -1;      /// index into the compile's file list, -1 when none
    int line = 0;
    int column = 0;
    int endColumn = 0;
};

struct TMessage {
    bool isError = true;
    int number = 0;
    TSourceSpan where;
    std::string text;
};

/// The messages of one compile, and the files they refer to.
class TMessages {
public:
    /// Adds an error; after `kMaxErrors` errors further ones are dropped.
    void Error(int number, const TSourceSpan &where, std::string text);
    void Warning(int number, const TSourceSpan &where, std::string text);

    int ErrorCount() const { return m_errors; }
    int WarningCount() const { return m_warnings; }
    bool TooMany() const { return m_errors >= kMaxErrors; }
    const std::vector<TMessage> &All() const { return m_messages; }

    /// Files named by spans; index 0 is the main file.
    std::vector<std::string> files;
    /// Index of `path` in `files`, added when new.
    int FileIndex(const std::string &path);
    std::string FileName(int index) const;

    static constexpr int kMaxErrors = 50;

private:
    std::vector<TMessage> m_messages;
    int m_errors = 0;
    int m_warnings = 0;
};

}  // namespace kiv::vync
