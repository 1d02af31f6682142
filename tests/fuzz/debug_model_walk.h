#pragma once

// Walks everything a debugger asks of a debug model, so that a fuzz target reaches the lookups
// as well as the reader; the result counts what the model holds.

#include "debug_info.h"

#include <cstdlib>
#include <string>

namespace kiv::fuzz {

inline std::string WalkDebugModel(const TDebugInfo &info)
{
    for (std::size_t t = 0; t < info.Types().size(); ++t) {
        const TDebugType &type = info.Type(static_cast<int>(t));
        (void)info.TypeText(static_cast<int>(t));
        for (const TDebugType::TMember &member : type.members)
            (void)info.Type(member.type);
        if (type.element >= 0)
            (void)info.Type(type.element);
    }
    for (const TDebugLine &line : info.Lines()) {
        std::uint32_t address = 0;
        (void)info.AddressOfLine(line.file, line.line, &address);
        (void)info.LineOfAddress(line.address);
        (void)info.FunctionAt(line.address);
    }
    for (const TDebugFunction &function : info.Functions()) {
        if (info.FunctionsNamed(function.name).empty())
            std::abort();   // a function the model lists must be found by its name
        (void)info.LineOfAddress(function.exit);
    }
    for (const TDebugSymbol &symbol : info.Symbols()) {
        if (info.SymbolsNamed(symbol.name).empty())
            std::abort();
        (void)info.Type(symbol.type);
    }
    for (const TDebugSourceFile &file : info.Files())
        (void)info.FileNumber(file.path);
    std::uint16_t word = 0;
    for (std::uint32_t address : {0u, 1u, 4u, 0x7FFu, 0xFFFFu, 0xFFFFFFFFu})
        (void)info.ProgramWord(address, &word);
    return std::to_string(info.Files().size()) + " files, " + std::to_string(info.Lines().size()) + " lines, "
           + std::to_string(info.Functions().size()) + " functions, " + std::to_string(info.Symbols().size())
           + " symbols, " + std::to_string(info.Types().size()) + " types";
}

}  // namespace kiv::fuzz
