#pragma once

// What one compile of an edition works with; shared by the assembly and the C paths.

#include "edition_build.h"
#include "source_text.h"
#include "vync_report.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kiv::compiler {

namespace fs = std::filesystem;

inline std::string UpperText(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Everything one compile works with.
struct TEditionBuild::TState {
    TCompileRequest request;
    TCompileResult result;
    TSourceCache sources;

    fs::path mainFile;
    fs::path folder;
    std::string base;              // folder + name, without extension
    std::string objectExtension;   // lower case, without the dot
    std::string listExtension;
    std::vector<std::string> includeDirs;
    std::vector<std::string> defines;

    std::vector<std::string> projectFiles;   // main file, then every include, absolute
    long lineCount = 0;

    std::string processorName;     // "16f877a" as gputils names it
    TCore core = TCore::Unknown;
    std::uint32_t maxRomAddress = 0;   // gputils' "Max. ROM Addr." of the processor
    std::string linkerScriptPath;

    // C projects: what the C compiler reported, and its assembly file.
    bool isC = false;
    vync::TReport cReport;
    std::string AssemblyFile() const { return Output("$$$"); }

    std::string Output(const std::string &extension) const { return base + "." + extension; }
    std::string Object() const { return base + ".o"; }
    // Names relative to the project folder, where the tools run: gpasm names its sections
    // and gplink its messages after them. "./" keeps a name starting with "-" from reading as
    // an option.
    std::string Relative(const std::string &extension) const
    {
        return "./" + fs::path(base).filename().string() + "." + extension;
    }
    // "16f877a" -> "PIC16F877A"
    std::string DisplayProcessor() const
    {
        return "PIC" + UpperText(processorName.starts_with("pic") ? processorName.substr(3) : processorName);
    }
    bool HasErrors() const { return result.FirstError() != nullptr; }
};

}  // namespace kiv::compiler
