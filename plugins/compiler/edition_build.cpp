#include "edition_build.h"

#include "edition_state.h"

#include "call_tree.h"
#include "compiler_abi.h"
#include "gputils_reports.h"
#include "source_text.h"
#include "tool_runner.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kiv::compiler {

namespace fs = std::filesystem;

namespace {

constexpr const char kEditionVersion[] = "0.1.0";

// A compile keeps at most this many assembler errors; the assembler is ended there.
constexpr int kErrorLimit = 500;

// Counts "Error[" in the output a tool printed so far, looking at each byte once; true past
// kErrorLimit.
class TErrorCounter {
public:
    bool operator()(const std::string &output)
    {
        static constexpr std::string_view kTag = "Error[";
        for (std::size_t at = output.find(kTag, m_next); at != std::string::npos;
             at = output.find(kTag, at + 1)) {
            ++m_count;
            m_next = at + 1;
        }
        // A tag cut in two by the pipe is found once the rest has arrived.
        if (output.size() >= kTag.size())
            m_next = std::max(m_next, output.size() - (kTag.size() - 1));
        return m_count > kErrorLimit;
    }

private:
    std::size_t m_next = 0;
    int m_count = 0;
};

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trimmed(const std::string &s)
{
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        const std::string part = Trimmed(text.substr(start, end - start));
        if (!part.empty())
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

bool FileExists(const fs::path &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

void RemoveFile(const fs::path &path)
{
    std::error_code ec;
    fs::remove(path, ec);
}

int Percent(std::uint32_t used, std::uint32_t capacity)
{
    if (capacity == 0)
        return 0;
    // Rounded up, so that any use shows at least 1%.
    const std::uint64_t percent = (static_cast<std::uint64_t>(used) * 100 + capacity - 1) / capacity;
    return static_cast<int>(std::min<std::uint64_t>(percent, 100));
}

std::string Hex(std::uint32_t value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

// The first line of a tool's output that says something, for messages about failed runs.
std::string FirstOutputLine(const std::string &output)
{
    for (const std::string &line : Split(output, '\n')) {
        if (!line.starts_with("message:"))
            return line;
    }
    return {};
}

}  // namespace

std::string EditionVersion()
{
    // The gputils version is read once: GET_VERSION32 is called before every compile.
    static const std::string version = [] {
        std::string text = kEditionVersion;
        const TToolResult run = RunTool({"gpasm", "-v"}, {}, 10000, 4096);
        const std::size_t dash = run.output.find("gpasm-");
        if (run.finished && dash != std::string::npos) {
            const std::size_t start = dash + 6;
            const std::size_t end = run.output.find_first_of(" \r\n", start);
            text += " gputils " + run.output.substr(start, end == std::string::npos ? end : end - start);
        }
        return text.substr(0, 25);
    }();
    return version;
}

const TBuildMessage *TCompileResult::FirstError() const
{
    for (const TBuildMessage &message : messages) {
        if (message.severity == TSeverity::Error)
            return &message;
    }
    return nullptr;
}

TEditionBuild::TEditionBuild(const TEditionInfo &edition, TStatusSink status)
    : m_edition(edition), m_status(std::move(status))
{
}

void TEditionBuild::Status(std::uint8_t value, const std::string &text, std::uint8_t code)
{
    if (m_status)
        m_status(value, text, code);
}

void TEditionBuild::ToolDidNotFinish(TState &state, const std::string &tool, const TToolResult &run)
{
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    if (run.stopped) {
        AddError(state, mnStopped, mainLine, "The compile was stopped");
        return;
    }
    if (run.timedOut) {
        const bool assembler = tool.find("gpasm") != std::string::npos;
        AddError(state, mnToolFailed, mainLine,
                 tool + " " + run.failure + " and was ended" +
                     (assembler ? "; an include file that includes itself, directly or through another "
                                  "file, keeps it running"
                                : std::string()));
        return;
    }
    AddError(state, mnToolFailed, mainLine, tool + " " + run.failure);
}

void TEditionBuild::AddError(TState &state, int number, TMessageLocation where, std::string text)
{
    state.result.messages.push_back({TSeverity::Error, number, std::move(where), std::move(text)});
}

void TEditionBuild::AddWarning(TState &state, int number, TMessageLocation where, std::string text)
{
    state.result.messages.push_back({TSeverity::Warning, number, std::move(where), std::move(text)});
}

TCompileResult TEditionBuild::Run(const TCompileRequest &request)
{
    TState state;
    state.request = request;
    try {
        Compile(state);
    } catch (const std::exception &e) {
        AddError(state, mnAssemblerOther, {state.mainFile.string(), 1, 0, 0},
                 std::string("The compile stopped: ") + e.what());
    }
    try {
        Finish(state);
    } catch (const std::exception &) {
        // The out arguments still carry the first error.
    }
    return state.result;
}

void TEditionBuild::Compile(TState &state)
{
    const TCompileRequest &request = state.request;
    std::error_code ec;
    fs::path main = request.mainFile;
    if (!main.empty() && main.is_relative())
        main = fs::absolute(main, ec);
    state.mainFile = main.lexically_normal();
    state.folder = state.mainFile.parent_path();
    state.base = (state.folder / state.mainFile.stem()).string();
    state.result.errorFile = state.Output("err");
    state.objectExtension = Lower(request.objectExtension.empty() ? "HEX" : request.objectExtension);
    state.listExtension = Lower(request.listExtension.empty() ? "LST" : request.listExtension);
    state.includeDirs = Split(request.includeDirs, ';');
    for (const std::string &define : Split(request.defines, '\t')) {
        // "NAME=" defines the name without a value.
        state.defines.push_back(define.ends_with("=") ? define.substr(0, define.size() - 1) : define);
    }

    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    if (request.mainFile.empty() || state.mainFile.filename().empty()) {
        AddError(state, mnMainFileMissing, mainLine, "No main file was given");
        return;
    }

    // Output files of an earlier compile must not pass for this compile's results.
    for (const char *extension : {"err", "sym", "tre", "sta", "map", "cod", "cof", "o", "d", "$$$", "vrp"})
        RemoveFile(state.Output(extension));
    RemoveFile(state.Output(state.objectExtension));
    RemoveFile(state.Output(state.listExtension));
    RemoveFile(state.Output("lst"));

    if (!request.argumentProblem.empty()) {
        AddError(state, mnBadArgument, mainLine, request.argumentProblem);
        return;
    }
    for (const std::string *extension : {&state.objectExtension, &state.listExtension}) {
        const bool plain = !extension->empty() && extension->size() <= 8 &&
                           std::all_of(extension->begin(), extension->end(), [](char c) {
                               return std::isalnum(static_cast<unsigned char>(c));
                           });
        if (!plain) {
            AddError(state, mnBadArgument, mainLine,
                     "The output file extension \"" + *extension + "\" is not a plain file extension");
            return;
        }
    }

    std::string probe;
    if (!FileExists(state.mainFile) || !ReadWholeFile(state.mainFile.string(), &probe)) {
        AddError(state, mnMainFileMissing, mainLine, "The main file does not exist or can not be read");
        return;
    }

    const std::string extension = Lower(state.mainFile.extension().string());
    if (extension == ".c") {
        if (m_edition.core == TCore::Bit14) {
            CompileC(state);
        } else {
            // The C compiler builds the 14-bit parts; the 14-bit edition runs it.
            const TEditionInfo *c = EditionForCore(TCore::Bit14);
            AddError(state, mnCSource, mainLine,
                     "The " + std::string(CoreName(m_edition.core)) + " edition " + m_edition.code +
                         " builds assembly sources; C is built by the 14-bit edition - Try " +
                         std::string(c ? c->code : "QOR"));
        }
        return;
    }
    if (extension != ".asm" && extension != ".s" && extension != ".src") {
        AddError(state, mnUnsupportedSource, mainLine,
                 "The main file is neither a C source (.c) nor an assembly source (.asm, .s or .src)");
        return;
    }

    Status(0, "Assembling " + state.mainFile.filename().string(), csLine2);
    if (!Assemble(state))
        return;
    if (!CheckProcessor(state))
        return;
    if (!Link(state))
        return;
    if (ToolStopRequested()) {
        AddError(state, mnStopped, mainLine, "The compile was stopped");
        return;
    }
    WriteReports(state);
}

TMessageLocation TEditionBuild::ResolveLocation(TState &state, const std::string &printedFile, int line,
                                                const std::string &token)
{
    TMessageLocation where{state.mainFile.string(), std::max(line, 1), 0, 0};
    if (printedFile.empty()) {
        where.line = 1;
        return where;
    }
    // gpasm prints files as it opened them: relative ones from the project folder or an
    // include folder.
    fs::path path = printedFile;
    if (path.is_relative()) {
        fs::path found = state.folder / path;
        if (!FileExists(found)) {
            for (const std::string &dir : state.includeDirs) {
                fs::path candidate = fs::path(dir) / path;
                if (candidate.is_relative())
                    candidate = state.folder / candidate;
                if (FileExists(candidate)) {
                    found = candidate;
                    break;
                }
            }
        }
        path = found;
    }
    where.file = path.lexically_normal().string();
    if (!token.empty()) {
        if (const auto *lines = state.sources.Lines(where.file)) {
            if (where.line <= static_cast<int>(lines->size())) {
                const std::string &text = (*lines)[static_cast<std::size_t>(where.line - 1)];
                const std::size_t at = FindToken(text, token, false);
                if (at != std::string::npos) {
                    where.startColumn = CharacterColumn(text, at);
                    where.endColumn = CharacterColumn(text, at + token.size());
                }
            }
        }
    }
    return where;
}

TMessageLocation TEditionBuild::FindUsage(TState &state, const std::string &token, bool skipDeclarations)
{
    // The first use of `token` in the project's own files (the main file first), skipping
    // EXTERN and GLOBAL lines when asked; else the first line naming it at all.
    TMessageLocation fallback{state.mainFile.string(), 1, 0, 0};
    bool haveFallback = false;
    std::vector<std::string> files = state.projectFiles;
    if (files.empty())
        files.push_back(state.mainFile.string());
    for (const std::string &file : files) {
        const auto *lines = state.sources.Lines(file);
        if (!lines)
            continue;
        for (std::size_t i = 0; i < lines->size(); ++i) {
            const std::string &text = (*lines)[i];
            const std::size_t at = FindToken(text, token, false);
            if (at == std::string::npos)
                continue;
            TMessageLocation where{file, static_cast<int>(i + 1), CharacterColumn(text, at),
                                   CharacterColumn(text, at + token.size())};
            const bool declaration = FindToken(text, "extern", true) != std::string::npos ||
                                     FindToken(text, "global", true) != std::string::npos;
            if (!skipDeclarations || !declaration)
                return where;
            if (!haveFallback) {
                fallback = where;
                haveFallback = true;
            }
        }
    }
    return fallback;
}

bool TEditionBuild::Assemble(TState &state)
{
    std::vector<std::string> args = {"gpasm", "-C", "-c", "-M", "-I", state.folder.string()};
    for (const std::string &dir : state.includeDirs) {
        args.push_back("-I");
        args.push_back(dir);
    }
    for (const std::string &define : state.defines) {
        args.push_back("-D");
        args.push_back(define);
    }
    if (state.request.options & coInCircuitDebugger) {
        args.push_back("-D");
        args.push_back("__DEBUG=1");
    }
    args.push_back("-o");
    args.push_back(state.Relative("o"));
    args.push_back(state.mainFile.string());

    TToolLimits limits;
    limits.timeoutMs = ToolTimeLimitMs();
    limits.enough = TErrorCounter();
    const TToolResult run = RunTool(args, state.folder.string(), limits);
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    if (!run.started) {
        AddError(state, mnToolFailed, mainLine, "The assembler gpasm could not be started: " + run.failure);
        return false;
    }
    if (!run.finished && !run.cutShort) {
        ToolDidNotFinish(state, "The assembler gpasm", run);
        return false;
    }

    // The project's files, for the line count and the symbol file.
    std::string dependencies;
    if (ReadWholeFile(state.Output("d"), &dependencies)) {
        for (const std::string &file : ParseDependencyFile(dependencies))
            state.projectFiles.push_back(ResolveLocation(state, file, 1, {}).file);
    }
    if (state.projectFiles.empty() || state.projectFiles.front() != state.mainFile.string()) {
        state.projectFiles.erase(std::remove(state.projectFiles.begin(), state.projectFiles.end(),
                                             state.mainFile.string()),
                                 state.projectFiles.end());
        state.projectFiles.insert(state.projectFiles.begin(), state.mainFile.string());
    }
    for (const std::string &file : state.projectFiles) {
        if (const auto *lines = state.sources.Lines(file))
            state.lineCount += static_cast<long>(lines->size());
    }
    // Codes 151..255 each add (code - 150) lines to the status window's count.
    for (long left = state.lineCount; left > 0;) {
        const long chunk = std::min<long>(left, 100);
        Status(0, {}, static_cast<std::uint8_t>(csLinesBase + chunk));
        left -= chunk;
    }

    int errors = 0;
    for (const TToolMessage &message : ParseGpasmOutput(run.output)) {
        if (message.kind == TToolMessage::Error && ++errors > kErrorLimit)
            break;
        const std::string token = QuotedToken(message.text);
        TMessageLocation where = ResolveLocation(state, message.file, message.line, token);
        if (message.kind == TToolMessage::Error)
            AddError(state, NumberForAssemblerError(message.number, message.text), where, message.text);
        else
            AddWarning(state, message.kind == TToolMessage::Warning ? mnAssemblerWarning : mnAssemblerMessage,
                       where, message.text);
    }
    if (run.cutShort || errors > kErrorLimit) {
        AddError(state, mnTooManyErrors, mainLine,
                 "Too many errors: the assembler gpasm was ended after " + std::to_string(kErrorLimit) +
                     " errors and the rest of the source was not checked");
        return false;
    }
    if (run.exitCode != 0 && !state.HasErrors()) {
        const std::string said = FirstOutputLine(run.output);
        AddError(state, mnAssemblerOther, mainLine,
                 "The assembler gpasm failed" + (said.empty() ? std::string() : ": " + said));
    }
    if (!state.HasErrors() && !FileExists(state.Object()))
        AddError(state, mnAssemblerOther, mainLine, "The assembler gpasm wrote no object file");
    return !state.HasErrors();
}

bool TEditionBuild::CheckProcessor(TState &state)
{
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    const TToolResult object = RunTool({"gpvo", "-f", state.Relative("o")}, state.folder.string(),
                                       ToolTimeLimitMs());
    if (object.stopped || object.timedOut) {
        ToolDidNotFinish(state, "The object reader gpvo", object);
        return false;
    }
    if (!object.finished || object.exitCode != 0) {
        AddError(state, mnToolFailed, mainLine,
                 "The object reader gpvo " + (object.started ? std::string("failed") : "could not be started") +
                     (object.failure.empty() ? std::string() : ": " + object.failure));
        return false;
    }
    state.processorName = ParseObjectProcessor(object.output);
    if (state.processorName.empty()) {
        AddError(state, mnNoProcessor, mainLine, "The source selects no processor (LIST P= or PROCESSOR)");
        return false;
    }
    const TToolResult properties =
        RunTool({"gpasm", "-s", "-p", state.processorName}, state.folder.string(), ToolTimeLimitMs());
    if (properties.stopped || properties.timedOut) {
        ToolDidNotFinish(state, "The assembler gpasm", properties);
        return false;
    }
    TProcessorInfo info;
    if (!properties.finished || !ParseProcessorProperties(properties.output, &info)) {
        AddError(state, mnToolFailed, mainLine,
                 "The assembler gpasm did not describe the processor " + state.DisplayProcessor());
        return false;
    }
    state.core = CoreOfClass(info.gpasmClass);
    state.maxRomAddress = info.maxRomAddress;
    if (state.core == m_edition.core)
        return true;

    // Point at the directive that selects the processor.
    const std::string bare = Lower(state.processorName.starts_with("pic") ? state.processorName.substr(3)
                                                                          : state.processorName);
    TMessageLocation where = mainLine;
    bool located = false;
    for (const std::string &file : state.projectFiles) {
        const auto *lines = state.sources.Lines(file);
        if (!lines || located)
            continue;
        for (std::size_t i = 0; i < lines->size() && !located; ++i) {
            const std::string &text = (*lines)[i];
            if (FindToken(text, "list", true) == std::string::npos &&
                FindToken(text, "processor", true) == std::string::npos)
                continue;
            for (const std::string &token : {bare, "p" + bare, "pic" + bare}) {
                const std::size_t at = FindToken(text, token, true);
                if (at == std::string::npos)
                    continue;
                where = {file, static_cast<int>(i + 1), CharacterColumn(text, at),
                         CharacterColumn(text, at + token.size())};
                located = true;
                break;
            }
        }
    }
    std::string text = "The " + std::string(CoreName(m_edition.core)) + " edition " + m_edition.code +
                       " does not build " + state.DisplayProcessor() + ", a " + CoreName(state.core) +
                       " part";
    if (const TEditionInfo *other = EditionForCore(state.core))
        text += " - Try " + std::string(other->code);
    else
        text += "; no edition builds it";
    AddError(state, mnWrongCore, where, text);
    return false;
}

bool TEditionBuild::Link(TState &state)
{
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    // INHX8M reaches byte address 0xFFFF; parts that use more (PIC18, and enhanced 14-bit
    // parts with configuration words at word 0x8007) need INHX32's extended address records.
    const std::uint64_t highestByte = state.core == TCore::Pic18 ? state.maxRomAddress
                                                                 : static_cast<std::uint64_t>(state.maxRomAddress) * 2 + 1;
    std::string format = highestByte > 0xFFFF ? "inhx32" : "inhx8m";
    if (state.request.objectFormat == 1) {
        format = "inhx16";
    } else if (state.request.objectFormat == 2) {
        AddWarning(state, mnBinaryFormat, mainLine,
                   "The Binary object format is not available; an 8-bit Intel HEX file was written instead");
    }
    std::vector<std::string> args = {"gplink", "-c", "-m", "-a", format};
    if (state.request.options & coInCircuitDebugger) {
        args.push_back("-u");
        args.push_back("_DEBUG");
    }
    args.push_back("-o");
    args.push_back(state.Relative(state.objectExtension));
    args.push_back(state.Relative("o"));
    const TToolResult run = RunTool(args, state.folder.string(), ToolTimeLimitMs());
    if (run.started && !run.finished) {
        ToolDidNotFinish(state, "The linker gplink", run);
        return false;
    }
    if (!run.started) {
        AddError(state, mnToolFailed, mainLine, "The linker gplink could not be started: " + run.failure);
        return false;
    }
    state.linkerScriptPath = ParseLinkerScriptMessage(run.output);
    for (const TToolMessage &message : ParseGplinkOutput(run.output)) {
        const std::string token = QuotedToken(message.text);
        if (message.kind == TToolMessage::Error) {
            const int number = NumberForLinkerError(message.text);
            // Missing symbols point at their first use, full sections at their declaration.
            const bool locate = !token.empty() && number != mnLinkerOther;
            const TMessageLocation where =
                locate ? FindUsage(state, token, number == mnMissingDefinition) : mainLine;
            AddError(state, number, where, message.text);
        } else {
            AddWarning(state, mnLinkerWarning, token.empty() ? mainLine : FindUsage(state, token, false),
                       message.text);
        }
    }
    if (run.exitCode != 0 && !state.HasErrors()) {
        const std::string said = FirstOutputLine(run.output);
        AddError(state, mnLinkerOther, mainLine,
                 "The linker gplink failed" + (said.empty() ? std::string() : ": " + said));
    }
    if (!state.HasErrors() && !FileExists(state.Output(state.objectExtension)))
        AddError(state, mnLinkerOther, mainLine, "The linker gplink wrote no HEX file");
    if (state.HasErrors())
        return false;

    AddHexComments(state);
    if (state.listExtension != "lst" && FileExists(state.Output("lst"))) {
        std::error_code ec;
        fs::rename(state.Output("lst"), state.Output(state.listExtension), ec);
    }
    return true;
}

void TEditionBuild::AddHexComments(TState &state)
{
    // The debugger takes the target device from the last comment line that starts with "PIC",
    // and the user tools' part number from the file's last line: the device line goes last. The
    // comments follow the end-of-file record, where programmers, gpsim and gpdasm stop reading;
    // a comment before the data records makes them refuse the file.
    const std::string path = state.Output(state.objectExtension);
    std::string hex;
    if (!ReadWholeFile(path, &hex))
        return;
    const std::string lineEnd = hex.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    if (!hex.empty() && hex.back() != '\n')
        hex += lineEnd;
    const std::string comments = ";" + state.mainFile.filename().string() + " built by " + m_edition.code + " (" +
                                 m_edition.displayName + ") " + EditionVersion() + lineEnd + ";" +
                                 state.DisplayProcessor() + lineEnd;
    WriteOutput(state, path, hex + comments);
}

bool TEditionBuild::WriteOutput(TState &state, const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        RemoveFile(path);
        AddError(state, mnWriteFailed, {state.mainFile.string(), 1, 0, 0}, "Can not write " + path);
        return false;
    }
    return true;
}

void TEditionBuild::WriteReports(TState &state)
{
    std::string coff;
    ReadWholeFile(state.Output("cof"), &coff, 1u << 20);
    const TCoffHeader header = ParseCoffHeader(coff);
    if (header.valid)
        state.result.processorId = static_cast<std::uint16_t>(header.processor);

    std::string mapText;
    TLinkMap map;
    if (ReadWholeFile(state.Output("map"), &mapText))
        ParseLinkMap(mapText, &map);
    std::string scriptText;
    TLinkerScript script;
    if (!state.linkerScriptPath.empty() && ReadWholeFile(state.linkerScriptPath, &scriptText))
        script = ParseLinkerScript(scriptText);

    // Program memory is counted in words on the 12- and 14-bit cores, in bytes on PIC18.
    const bool byteUnits = state.core == TCore::Pic18;
    const char *romUnit = byteUnits ? "bytes" : "words";
    std::uint32_t romUsed = 0;
    std::uint32_t ramUsed = 0;
    for (const TMapSection &section : map.sections) {
        if (section.location == "program" && script.InProgramMemory(section.address))
            romUsed += byteUnits ? section.sizeBytes : section.sizeBytes / 2;
        else if (section.location == "data")
            ramUsed += section.sizeBytes;
    }
    const std::uint32_t romCapacity = script.ProgramCapacity();
    const std::uint32_t ramCapacity = script.DataCapacity();
    const int romPercent = Percent(romUsed, romCapacity);
    const int ramPercent = Percent(ramUsed, ramCapacity);
    const std::string name = state.mainFile.filename().string();
    const std::string processor = state.DisplayProcessor();
    const std::string romLine = std::to_string(romUsed) + " of " + std::to_string(romCapacity) + " " +
                                romUnit + " (" + std::to_string(romPercent) + "%)";
    const std::string ramLine = std::to_string(ramUsed) + " of " + std::to_string(ramCapacity) +
                                " bytes (" + std::to_string(ramPercent) + "%)";

    // Symbol file: the link's symbols, the project's files, the settings of this compile.
    std::string sym = "Symbol map of " + name + ", " + processor + "\r\n";
    for (const char *location : {"data", "program"}) {
        sym += std::string("\r\n") + (std::string(location) == "data" ? "RAM:" : "ROM:") + "\r\n";
        std::vector<const TMapSymbol *> symbols;
        for (const TMapSymbol &symbol : map.symbols) {
            if (symbol.location == location)
                symbols.push_back(&symbol);
        }
        std::stable_sort(symbols.begin(), symbols.end(), [](const TMapSymbol *a, const TMapSymbol *b) {
            return a->address < b->address;
        });
        for (const TMapSymbol *symbol : symbols)
            sym += Hex(symbol->address, 4) + "    " + symbol->name + "\r\n";
    }
    sym += "\r\nProject Files:\r\n";
    for (const std::string &file : state.projectFiles)
        sym += "    " + file + "\r\n";
    static const char *const kDebugLines[] = {"    Debug/None", "    Debug/COD: ", "    Debug/MAP: ",
                                              "    Debug/eCOD: ", "    Debug/COFF: "};
    static const char *const kDebugFiles[] = {"", "cod", "map", "cod", "cof"};
    const std::uint32_t debug = state.request.debugFormat <= 4 ? state.request.debugFormat : 0;
    sym += "\r\nCompiler Settings:\r\n";
    sym += "    Processor: " + processor + "\r\n";
    sym += "    Edition: " + std::string(m_edition.code) + " (" + m_edition.displayName + ")\r\n";
    sym += std::string(kDebugLines[debug]) +
           (debug == 0 ? std::string() : state.Output(kDebugFiles[debug])) + "\r\n";
    sym += std::string("    ICD Provisions: ") + ((state.request.options & coInCircuitDebugger) ? "Yes" : "No") + "\r\n";
    WriteOutput(state, state.Output("sym"), sym);

    if (state.request.options & coKeepCallTree) {
        std::string hexText;
        TProgramImage image;
        if (ReadWholeFile(state.Output(state.objectExtension), &hexText))
            ReadIntelHex(hexText, state.request.objectFormat == 1, &image);
        const std::vector<TCallSite> calls = FindCalls(image, state.core, script, map.symbols);
        const std::string tree = CallTreeText("Call tree of " + name + ", " + processor, map, script, calls);
        WriteOutput(state, state.Output("tre"), tree);
    }

    if (state.request.options & coKeepStatistics) {
        std::string sta = "Statistics of " + name + ", " + processor + "\r\n\r\n";
        sta += "ROM used: " + romLine + "\r\n";
        sta += "RAM used: " + ramLine + "\r\n";
        sta += "Lines:    " + std::to_string(state.lineCount) + " in " +
               std::to_string(state.projectFiles.size()) + " files\r\n";
        sta += "\r\nSections:\r\n";
        for (const TMapSection &section : map.sections) {
            const bool program = section.location == "program";
            const std::uint32_t size = program && !byteUnits ? section.sizeBytes / 2 : section.sizeBytes;
            sta += "    " + section.name + "  " + section.type + "  0x" + Hex(section.address, 4) + "  " +
                   std::to_string(size) + (program ? std::string(" ") + romUnit : std::string(" bytes")) + "\r\n";
        }
        WriteOutput(state, state.Output("sta"), sta);
    }

    Status(static_cast<std::uint8_t>(romPercent), "ROM used: " + romLine, csRomPercent);
    Status(static_cast<std::uint8_t>(ramPercent), "RAM used: " + ramLine, csRamPercent);
}

void TEditionBuild::Finish(TState &state)
{
    const bool keepScratch = (state.request.options & coKeepScratch) != 0;
    if (!keepScratch) {
        RemoveFile(state.Object());
        RemoveFile(state.Output("d"));
        if (state.isC) {
            RemoveFile(state.AssemblyFile());
            RemoveFile(state.Output("vrp"));
        }
    }
    if (state.HasErrors()) {
        // A failed compile leaves no program behind that could pass for its result.
        for (const std::string &extension : {state.objectExtension, std::string("cod"), std::string("cof"),
                                             std::string("map"), std::string("sym"), std::string("tre"),
                                             std::string("sta")})
            RemoveFile(state.Output(extension));
    }

    // Output files, in the order the status window lists them.
    const struct {
        std::string extension;
        std::uint8_t code;
    } kOutputs[] = {{state.objectExtension, csObjectFile}, {state.listExtension, csListFile},
                    {"map", csMapFile},   {"cod", csCodFile},          {"cof", csCoffFile},
                    {"sym", csSymbolFile}, {"tre", csCallTreeFile},    {"sta", csStatisticsFile},
                    {"$$$", csScratchFile}};
    if (!state.base.empty()) {
        for (const auto &output : kOutputs) {
            const std::string path = state.Output(output.extension);
            if (FileExists(path))
                Status(0, path, output.code);
        }
    }

    const TErrorFileFormat format = TErrorFileFormat::FromArgument(state.request.errorFormat);
    const std::vector<const TBuildMessage *> shown = MessagesInErrorFile(state.result.messages, format);
    state.result.lastMessageNumber = shown.empty() ? -1 : shown.back()->number;
    if (!state.base.empty()) {
        const std::string text = ErrorFileText(state.result.messages, format);
        std::ofstream out(state.result.errorFile, std::ios::binary | std::ios::trunc);
        if (out)
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            AddError(state, mnWriteFailed, {state.mainFile.string(), 1, 0, 0},
                     "Can not write the error file " + state.result.errorFile);
        }
    }
    // Nothing was assembled: line 2 would otherwise still read as a finished compile.
    if (state.HasErrors() && state.lineCount == 0)
        Status(0, "Compilation failed.", csLine2);
    Status(0, SummaryText(state.result.messages), csLine7);
}

}  // namespace kiv::compiler
