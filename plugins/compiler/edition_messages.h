#pragma once

// The messages an edition reports, their stable numbers, and the error file (base + ".err").
//
// Error numbers stay below 200 and warning numbers start at 200: the IDE's help lookup opens the
// warnings page for numbers of 200 and more.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::compiler {

enum TMessageNumber : int {
    // Errors of the edition itself.
    mnMainFileMissing = 1,     /// the main file does not exist or can not be read
    mnCSource = 2,             /// a C main file for an edition without C ("- Try QOR")
    mnWrongCore = 3,           /// the processor belongs to another edition's core ("- Try CODE")
    mnUnsupportedSource = 4,   /// a main file that is neither assembly nor C
    mnToolFailed = 5,          /// gpasm, gplink or gpvo could not be started or did not finish
    mnBadArgument = 6,         /// an argument of COMPILE is too long or malformed
    mnNoProcessor = 7,         /// the source selects no processor
    mnWriteFailed = 8,         /// an output file could not be written
    mnCCompiler = 9,           /// the C compiler vync is missing, failed, or wrote assembly gpasm rejects
    mnStopped = 20,            /// the compile was stopped (STOP_COMPILE)
    // Assembler errors (gpasm), grouped.
    mnUnknownOpcode = 10,
    mnUndefinedSymbol = 11,
    mnIncludeMissing = 12,
    mnDuplicateLabel = 13,
    mnSyntax = 14,
    mnSection = 15,            /// code or data outside a section, or a section used wrongly
    mnArgument = 16,           /// missing, extra, illegal or out-of-range operands
    mnErrorDirective = 17,     /// the source's own ERROR directive
    mnTooManyErrors = 18,      /// more assembler errors than a compile keeps
    mnAssemblerOther = 19,
    // Linker errors (gplink).
    mnMissingDefinition = 30,  /// an EXTERN symbol that no object defines
    mnMemoryFull = 31,         /// a section does not fit into the part's memory
    mnLinkerOther = 39,
    // Warnings.
    mnAssemblerWarning = 200,
    mnAssemblerMessage = 201,
    mnLinkerWarning = 202,
    mnBinaryFormat = 203,      /// binary object format requested; Intel HEX written
};

enum class TSeverity { Error, Warning };

/// Where a message points. Lines and columns count from 1; columns count characters.
/// `endColumn` is the column just after the last character of the marked text; both columns are
/// 0 when only the line is known.
struct TMessageLocation {
    std::string file;
    int line = 1;
    int startColumn = 0;
    int endColumn = 0;

    bool HasColumns() const { return startColumn > 0 && endColumn > startColumn; }
};

struct TBuildMessage {
    TSeverity severity = TSeverity::Error;
    int number = 0;
    TMessageLocation where;
    std::string text;
};

/// The number of an assembler error reported by gpasm as Error[`gpasmNumber`].
int NumberForAssemblerError(int gpasmNumber, std::string_view text);

/// The number of a linker error reported by gplink with `text`.
int NumberForLinkerError(std::string_view text);

/// One message line of the error file:
///   *** Error 10 "/path/file.asm" Line 6(9,19): Unknown opcode: "frobnicate"
///   >>> Warning 200 "/path/file.asm" Line 5: Argument out of range.
/// The columns are left out when unknown or when `withColumns` is false.
std::string MessageLine(const TBuildMessage &message, bool withColumns = true);

/// Which messages the error file holds for an error format value (COMPILE argument 9).
struct TErrorFileFormat {
    bool withColumns = true;   /// false for the Original format
    bool allErrors = false;    /// Multi-Lines "Show All errors"; otherwise the first error only
    bool warnings = false;     /// Multi-Lines "Show Warnings"

    static TErrorFileFormat FromArgument(std::uint32_t errorFormat);
};

/// The error file's text: the chosen errors, then the chosen warnings, then a summary line
/// (ErrorFileSummary). Lines end with CR LF.
std::string ErrorFileText(const std::vector<TBuildMessage> &messages, const TErrorFileFormat &format);

/// The error file's last line: "N Errors, M Warnings", followed, when the format leaves messages
/// out, by how many and by the options that list them.
std::string ErrorFileSummary(const std::vector<TBuildMessage> &messages, const TErrorFileFormat &format);

/// The messages the error file holds, in the order it holds them.
std::vector<const TBuildMessage *> MessagesInErrorFile(const std::vector<TBuildMessage> &messages,
                                                       const TErrorFileFormat &format);

/// "N Errors, M Warnings" for the whole build.
std::string SummaryText(const std::vector<TBuildMessage> &messages);

}  // namespace kiv::compiler
