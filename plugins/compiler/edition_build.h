#pragma once

// One compile of a project by an edition: assemble with gpasm, check the processor's core, link
// with gplink, and write the error, symbol, call tree and statistics files.

#include "edition_core.h"
#include "edition_messages.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv::compiler {

struct TToolResult;

/// The arguments of one compile, as COMPILE receives them.
struct TCompileRequest {
    std::string mainFile;          /// project base + extension
    std::string installDir;
    std::string includeDirs;       /// folders separated by ";"
    std::string defines;           /// "NAME=value" entries, each followed by a tab
    std::uint32_t debugFormat = 4;
    std::uint32_t objectFormat = 0;
    std::uint32_t listFormat = 0;
    std::uint32_t errorFormat = 1;
    std::uint32_t options = 0;
    std::string objectExtension = "HEX";
    std::string listExtension = "LST";
    /// Set when an argument could not be taken (too long for its buffer): the compile reports
    /// it as an error instead of building.
    std::string argumentProblem;
};

struct TCompileResult {
    std::vector<TBuildMessage> messages;   /// every error and warning, in the order found
    std::uint16_t processorId = 0;         /// the COFF processor number, 0 when unknown
    int lastMessageNumber = -1;            /// number of the error file's last message
    std::string errorFile;                 /// base + ".err"

    /// The first error, or nullptr when the compile succeeded.
    const TBuildMessage *FirstError() const;
};

/// Receives status reports: value, text, code (the status call-back's arguments).
using TStatusSink = std::function<void(std::uint8_t value, const std::string &text, std::uint8_t code)>;

/// The edition's version text for GET_VERSION32, at most 25 characters.
std::string EditionVersion();

class TEditionBuild {
public:
    TEditionBuild(const TEditionInfo &edition, TStatusSink status);

    /// Builds the project named by `request`. Always writes the error file (unless the main
    /// file's folder can not be written) and never throws.
    TCompileResult Run(const TCompileRequest &request);

private:
    struct TState;

    void Compile(TState &state);
    bool Assemble(TState &state);
    bool CheckProcessor(TState &state);
    bool Link(TState &state);
    void AddHexComments(TState &state);
    void WriteReports(TState &state);
    // C main files: vync writes the assembly, gpasm and gplink build it (edition_c.cpp).
    void CompileC(TState &state);
    bool RunCCompiler(TState &state);
    bool AssembleC(TState &state);
    void WriteCList(TState &state);
    void WriteCReports(TState &state);
    void Finish(TState &state);

    /// The error for a tool run that was stopped, ran past its time limit or did not end.
    void ToolDidNotFinish(TState &state, const std::string &tool, const TToolResult &run);
    void AddError(TState &state, int number, TMessageLocation where, std::string text);
    void AddWarning(TState &state, int number, TMessageLocation where, std::string text);
    TMessageLocation ResolveLocation(TState &state, const std::string &printedFile, int line,
                                     const std::string &token);
    TMessageLocation FindUsage(TState &state, const std::string &token, bool skipDeclarations);
    bool WriteOutput(TState &state, const std::string &path, const std::string &text);
    void Status(std::uint8_t value, const std::string &text, std::uint8_t code);

    const TEditionInfo &m_edition;
    TStatusSink m_status;
};

}  // namespace kiv::compiler
