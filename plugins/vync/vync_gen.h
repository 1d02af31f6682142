#pragma once

// Code generation for the 14-bit cores: RAM placement with a call-graph overlay of the
// functions' frames, bank and page selection, run-time routines, interrupt dispatch, and the
// gpasm source with .file/.line debug directives.

#include "vync_ast.h"
#include "vync_target.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kiv::vync {

/// What the compiler knows about the program it wrote, for the symbol, call tree and
/// statistics files.
struct TProgramReport {
    struct TVariable {
        std::string name;        /// C name ("count", "main.i")
        std::string label;       /// assembly label
        std::string type;        /// C type as messages show it
        std::string function;    /// owning function, empty for globals
        int address = 0;
        int bit = -1;
        int size = 0;
        bool overlaid = false;   /// shares RAM with other functions' locals
    };
    struct TRoutine {
        std::string name;        /// C name, or the run-time routine's name
        std::string label;
        bool runtime = false;    /// a run-time routine of the compiler
        std::string interrupt;   /// #int_ name for interrupt functions
        int address = 0;
        int words = 0;
        int frameBase = -1;
        int frameSize = 0;
        int depth = 0;           /// deepest hardware stack use below and including this routine
        std::vector<std::string> calls;
    };
    struct TTable {
        std::string name;
        std::string label;
        int address = 0;
        int words = 0;
    };
    std::string part;
    std::vector<TVariable> variables;
    std::vector<TRoutine> routines;
    std::vector<TTable> tables;
    int romUsed = 0;
    int romSize = 0;
    int ramUsed = 0;
    int ramSize = 0;
    int stackUsed = 0;
    int stackSize = 0;
    std::vector<std::string> roots;   /// main, then the interrupt entry when there is one
};

struct TCodegenOptions {
    bool icd = false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> configWords;   /// address, value
};

class TCodeGen {
public:
    TCodeGen(TMessages &messages, TProgram &program, const TTarget &target, TCodegenOptions options);
    ~TCodeGen();

    /// Generates the assembly; false when errors were reported.
    bool Run(std::string *assembly, TProgramReport *report);

private:
    struct TImpl;
    std::unique_ptr<TImpl> m;
};

}  // namespace kiv::vync
