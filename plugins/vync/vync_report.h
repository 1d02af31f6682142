#pragma once

// The report of one compile (vync --report FILE): what the compiler knows about the program,
// for the compiler edition that writes the error, symbol, call tree and statistics files.
// One record per line, fields separated by tabs; the first line is "vync" and the format's
// version. Plain C++ so that the editions read it without the compiler.

#include <string>
#include <vector>

namespace kiv::vync {

struct TReport {
    struct TMessage {
        bool isError = true;
        int number = 0;
        std::string file;
        int line = 0;
        int column = 0;      /// 0 when only the line is known
        int endColumn = 0;   /// just after the last marked character
        std::string text;
    };
    struct TVariable {
        std::string name;        /// C name ("count", "wait.k")
        std::string label;       /// assembly label, empty for #byte / #bit names
        std::string type;        /// C type as messages show it
        std::string function;    /// owning function, empty for globals
        int address = 0;
        int bit = -1;
        int size = 0;
        bool overlaid = false;   /// shares RAM with other functions' locals
    };
    struct TRoutine {
        std::string name;
        std::string label;
        bool runtime = false;    /// a run-time routine of the compiler
        std::string interrupt;   /// #int_ name of an interrupt function
        int address = 0;
        int words = 0;
        int frameBase = -1;
        int frameSize = 0;
        int depth = 0;           /// hardware stack levels used below and including it
        std::vector<std::string> calls;
    };
    struct TTable {
        std::string name;
        std::string label;
        int address = 0;
        int words = 0;
    };

    std::string part;            /// "PIC16F877A", empty when no part was chosen
    long lines = 0;              /// source lines read
    std::vector<std::string> files;   /// main file first, then the includes
    std::vector<TMessage> messages;
    std::vector<TVariable> variables;
    std::vector<TRoutine> routines;
    std::vector<TTable> tables;
    int romUsed = 0, romSize = 0;
    int ramUsed = 0, ramSize = 0;
    int stackUsed = 0, stackSize = 0;
};

std::string ReportText(const TReport &report);

/// Reads a report's text; false with `error` set when it is not a report of this format.
/// Unknown records are skipped, so that older editions read newer reports.
bool ParseReport(const std::string &text, TReport *report, std::string *error);

}  // namespace kiv::vync
