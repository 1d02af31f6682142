// The C path of the 14-bit edition: the C compiler vync writes gpasm assembly and a report of
// the program, gpasm and gplink build it, and the edition writes the list, symbol, call tree
// and statistics files from what the compiler knows.

#include "compiler_abi.h"
#include "edition_build.h"
#include "edition_state.h"
#include "gputils_reports.h"
#include "tool_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

namespace kiv::compiler {

namespace {

bool IsExecutable(const fs::path &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// The C compiler: the installation's vync/vync, else the one beside this library's folder
// (dll/QOR.so and vync/vync share a parent in the installation and in the build tree).
std::string FindCCompiler(const std::string &installDir)
{
    if (!installDir.empty()) {
        const fs::path installed = fs::path(installDir) / "vync" / "vync";
        if (IsExecutable(installed))
            return installed.string();
    }
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&FindCCompiler), &info) && info.dli_fname) {
        std::error_code ec;
        const fs::path library = fs::weakly_canonical(info.dli_fname, ec);
        const fs::path beside = library.parent_path().parent_path() / "vync" / "vync";
        if (IsExecutable(beside))
            return beside.string();
    }
    return {};
}

std::string Hex(std::uint32_t value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

int Percent(std::uint32_t used, std::uint32_t capacity)
{
    if (capacity == 0)
        return 0;
    const std::uint64_t percent = (static_cast<std::uint64_t>(used) * 100 + capacity - 1) / capacity;
    return static_cast<int>(std::min<std::uint64_t>(percent, 100));
}

std::string Trim(const std::string &s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        --b;
    return s.substr(a, b - a);
}

// A directive of the C compiler's assembly: .file "path" or .line N.
bool DebugDirective(const std::string &text, std::string *file, int *line)
{
    const std::string t = Trim(text);
    if (t.starts_with(".file")) {
        const std::size_t open = t.find('"');
        const std::size_t close = open == std::string::npos ? open : t.find('"', open + 1);
        if (close == std::string::npos)
            return false;
        *file = t.substr(open + 1, close - open - 1);
        *line = 0;
        return true;
    }
    if (t.starts_with(".line")) {
        *line = std::atoi(t.c_str() + 5);
        return *line > 0;
    }
    return false;
}

// A gpasm line number of the assembly, as the C line the compiler was writing code for.
TMessageLocation CLineOfAssembly(const std::vector<std::string> &assembly, int asmLine, const std::string &fallback)
{
    std::string file;
    int line = 0;
    const int last = std::min<int>(asmLine, static_cast<int>(assembly.size()));
    for (int i = last - 1; i >= 0; --i) {
        std::string f;
        int n = 0;
        if (!DebugDirective(assembly[static_cast<std::size_t>(i)], &f, &n))
            continue;
        if (n > 0 && line == 0)
            line = n;
        if (n == 0) {
            file = f;
            break;
        }
    }
    if (file.empty() || line == 0)
        return {fallback, 1, 0, 0};
    return {file, line, 0, 0};
}

std::string Padded(std::string s, std::size_t width)
{
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

void TEditionBuild::CompileC(TState &state)
{
    state.isC = true;
    Status(0, "Compiling " + state.mainFile.filename().string(), csLine2);
    if (!RunCCompiler(state))
        return;
    Status(0, "Assembling " + state.mainFile.filename().string(), csLine2);
    if (!AssembleC(state))
        return;
    if (!Link(state))
        return;
    if (ToolStopRequested()) {
        AddError(state, mnStopped, {state.mainFile.string(), 1, 0, 0}, "The compile was stopped");
        return;
    }
    WriteCList(state);
    WriteCReports(state);
}

bool TEditionBuild::RunCCompiler(TState &state)
{
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    const std::string compiler = FindCCompiler(state.request.installDir);
    if (compiler.empty()) {
        AddError(state, mnCCompiler, mainLine,
                 "The C compiler vync/vync is not installed in " +
                     (state.request.installDir.empty() ? std::string("the installation folder") : state.request.installDir));
        return false;
    }
    const std::string reportPath = state.Output("vrp");
    std::vector<std::string> args = {compiler, "-S"};
    if (!state.request.installDir.empty()) {
        args.push_back("--install");
        args.push_back(state.request.installDir);
    }
    for (const std::string &dir : state.includeDirs) {
        args.push_back("-I");
        args.push_back(dir);
    }
    for (const std::string &define : state.defines) {
        args.push_back("-D");
        args.push_back(define);
    }
    if (state.request.options & coInCircuitDebugger)
        args.push_back("--icd");
    args.push_back("--report");
    args.push_back(reportPath);
    args.push_back("-o");
    args.push_back(state.AssemblyFile());
    args.push_back(state.mainFile.string());

    const TToolResult run = RunTool(args, state.folder.string(), ToolTimeLimitMs());
    if (run.stopped || run.timedOut) {
        ToolDidNotFinish(state, "The C compiler vync", run);
        return false;
    }
    std::string text;
    std::string problem;
    const bool haveReport = run.finished && ReadWholeFile(reportPath, &text) &&
                            vync::ParseReport(text, &state.cReport, &problem);
    if (!haveReport) {
        std::string why = !run.started  ? "could not be started: " + run.failure
                          : !run.finished ? run.failure
                          : run.signal    ? "stopped on signal " + std::to_string(run.signal)
                                          : "wrote no report" + (problem.empty() ? std::string() : " (" + problem + ")");
        const std::string said = Trim(run.output.substr(0, run.output.find('\n')));
        if (run.finished && !said.empty())
            why += ": " + said;
        AddError(state, mnCCompiler, mainLine, "The C compiler vync " + why);
        return false;
    }
    const vync::TReport &report = state.cReport;
    for (const std::string &file : report.files)
        state.projectFiles.push_back(file);
    if (state.projectFiles.empty())
        state.projectFiles.push_back(state.mainFile.string());
    state.lineCount = report.lines;
    for (long left = state.lineCount; left > 0;) {
        const long chunk = std::min<long>(left, 100);
        Status(0, {}, static_cast<std::uint8_t>(csLinesBase + chunk));
        left -= chunk;
    }
    for (const vync::TReport::TMessage &m : report.messages) {
        TMessageLocation where{m.file.empty() ? state.mainFile.string() : m.file, std::max(1, m.line), m.column,
                               m.endColumn};
        if (m.isError)
            AddError(state, m.number, where, m.text);
        else
            AddWarning(state, m.number, where, m.text);
    }
    if (!state.HasErrors() && run.exitCode != 0)
        AddError(state, mnCCompiler, mainLine, "The C compiler vync failed without a message");
    if (state.HasErrors())
        return false;
    std::string part = report.part;
    for (char &c : part)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    state.processorName = part.starts_with("pic") ? part.substr(3) : part;
    state.core = TCore::Bit14;
    return true;
}

bool TEditionBuild::AssembleC(TState &state)
{
    const TMessageLocation mainLine{state.mainFile.string(), 1, 0, 0};
    const std::string assembly = "./" + fs::path(state.AssemblyFile()).filename().string();
    const TToolResult run =
        RunTool({"gpasm", "-c", "-g", "-o", state.Relative("o"), assembly}, state.folder.string(), ToolTimeLimitMs());
    if (run.stopped || run.timedOut) {
        ToolDidNotFinish(state, "The assembler gpasm", run);
        return false;
    }
    if (!run.started || !run.finished) {
        AddError(state, mnToolFailed, mainLine,
                 "The assembler gpasm " + std::string(run.started ? "" : "could not be started: ") + run.failure);
        return false;
    }
    // The assembly is the compiler's: anything gpasm rejects is a fault of the compiler,
    // reported at the C line it was writing code for.
    std::vector<std::string> lines;
    ReadTextLines(state.AssemblyFile(), &lines);
    for (const TToolMessage &message : ParseGpasmOutput(run.output)) {
        if (message.kind != TToolMessage::Error)
            continue;
        AddError(state, mnCCompiler, CLineOfAssembly(lines, message.line, state.mainFile.string()),
                 "Internal error of the C compiler: gpasm rejects its assembly (line " + std::to_string(message.line) +
                     "): " + message.text);
    }
    if (!state.HasErrors() && (run.exitCode != 0 || !fs::exists(state.Object()))) {
        AddError(state, mnCCompiler, mainLine,
                 "Internal error of the C compiler: gpasm did not assemble its output: " +
                     Trim(run.output.substr(0, run.output.find('\n'))));
    }
    return !state.HasErrors();
}

void TEditionBuild::WriteCList(TState &state)
{
    // gplink lists the program from the debug lines, which name the C source; a listing of the
    // assembly comes from a second, plain link of the same assembly in a scratch folder. Its
    // .file/.line directives then become the C lines they stand for.
    char pattern[] = "/tmp/kivlistXXXXXX";
    const char *dir = ::mkdtemp(pattern);
    if (!dir)
        return;
    const fs::path scratch = dir;
    const std::string source = fs::absolute(state.AssemblyFile()).string();
    std::string listing;
    const TToolResult assembled = RunTool({"gpasm", "-c", "-w", "2", "-o", "l.o", source}, scratch.string());
    if (assembled.finished && assembled.exitCode == 0) {
        const TToolResult linked = RunTool({"gplink", "-o", "l.hex", "l.o"}, scratch.string());
        if (linked.finished && linked.exitCode == 0)
            ReadWholeFile((scratch / "l.lst").string(), &listing);
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (listing.empty())
        return;

    std::string out;
    std::string file;
    std::map<std::string, int> shown;   // last C line listed of each file
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        std::string line = listing.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // Source text starts in column 44 of gplink's listing.
        const std::string sourceText = line.size() > 43 ? line.substr(43) : std::string();
        std::string f;
        int n = 0;
        if (line.size() > 43 && line.compare(0, 43, std::string(43, ' ')) == 0 && DebugDirective(sourceText, &f, &n)) {
            if (n == 0) {
                file = f;
                continue;
            }
            const std::vector<std::string> *lines = state.sources.Lines(file);
            if (!lines)
                continue;
            // The C lines since the last one listed (comments and declarations before a
            // statement), or only this one when the code went backwards or far.
            int from = n;
            const auto last = shown.find(file);
            if (last != shown.end() && n > last->second && n - last->second <= 20)
                from = last->second + 1;
            for (int i = from; i <= n && i <= static_cast<int>(lines->size()); ++i) {
                out += std::string(43, ' ') + Padded(std::to_string(i) + ":", 7) + (*lines)[static_cast<std::size_t>(i - 1)] +
                       "\r\n";
            }
            shown[file] = std::max(n, last == shown.end() ? 0 : last->second);
            continue;
        }
        out += line + "\r\n";
    }
    WriteOutput(state, state.Output(state.listExtension), out);
}

void TEditionBuild::WriteCReports(TState &state)
{
    const vync::TReport &report = state.cReport;
    std::string coff;
    ReadWholeFile(state.Output("cof"), &coff, 1u << 20);
    const TCoffHeader header = ParseCoffHeader(coff);
    if (header.valid)
        state.result.processorId = static_cast<std::uint16_t>(header.processor);

    const std::string name = state.mainFile.filename().string();
    const std::string processor = state.DisplayProcessor();
    const int romPercent = Percent(static_cast<std::uint32_t>(report.romUsed), static_cast<std::uint32_t>(report.romSize));
    const int ramPercent = Percent(static_cast<std::uint32_t>(report.ramUsed), static_cast<std::uint32_t>(report.ramSize));
    const std::string romLine = std::to_string(report.romUsed) + " of " + std::to_string(report.romSize) + " words (" +
                                std::to_string(romPercent) + "%)";
    const std::string ramLine = std::to_string(report.ramUsed) + " of " + std::to_string(report.ramSize) + " bytes (" +
                                std::to_string(ramPercent) + "%)";

    // Symbol file: RAM by address with each variable's C type and owner, ROM by address.
    std::string sym = "Symbol map of " + name + ", " + processor + "\r\n\r\nRAM:\r\n";
    std::vector<const vync::TReport::TVariable *> variables;
    for (const auto &v : report.variables)
        variables.push_back(&v);
    std::stable_sort(variables.begin(), variables.end(), [](const auto *a, const auto *b) {
        return a->address < b->address || (a->address == b->address && a->bit < b->bit);
    });
    for (const auto *v : variables) {
        std::string where = Hex(static_cast<std::uint32_t>(v->address), 3);
        if (v->bit >= 0)
            where += "." + std::to_string(v->bit);
        std::string line = Padded(where, 9) + Padded(v->type, 18) + v->name;
        if (v->label.empty())
            line += "  (register)";
        else if (v->overlaid)
            line += "  (overlaid)";
        sym += line + "\r\n";
    }
    sym += "\r\nROM:\r\n";
    struct TRom {
        int address;
        std::string text;
    };
    std::vector<TRom> rom;
    for (const auto &r : report.routines) {
        if (r.address >= 0)
            rom.push_back({r.address, r.runtime ? r.label : r.name});
    }
    for (const auto &t : report.tables)
        rom.push_back({t.address, t.name + "  (table)"});
    std::stable_sort(rom.begin(), rom.end(), [](const TRom &a, const TRom &b) { return a.address < b.address; });
    for (const TRom &r : rom)
        sym += Hex(static_cast<std::uint32_t>(r.address), 4) + "    " + r.text + "\r\n";
    sym += "\r\nProject Files:\r\n";
    for (const std::string &file : state.projectFiles)
        sym += "    " + file + "\r\n";
    static const char *const kDebugLines[] = {"    Debug/None", "    Debug/COD: ", "    Debug/MAP: ", "    Debug/eCOD: ",
                                              "    Debug/COFF: "};
    static const char *const kDebugFiles[] = {"", "cod", "map", "cod", "cof"};
    const std::uint32_t debug = state.request.debugFormat <= 4 ? state.request.debugFormat : 0;
    sym += "\r\nCompiler Settings:\r\n";
    sym += "    Processor: " + processor + "\r\n";
    sym += "    Edition: " + std::string(m_edition.code) + " (" + m_edition.displayName + ")\r\n";
    sym += "    Language: C (vync)\r\n";
    sym += std::string(kDebugLines[debug]) + (debug == 0 ? std::string() : state.Output(kDebugFiles[debug])) + "\r\n";
    sym += std::string("    ICD Provisions: ") + ((state.request.options & coInCircuitDebugger) ? "Yes" : "No") + "\r\n";
    WriteOutput(state, state.Output("sym"), sym);

    std::map<std::string, const vync::TReport::TRoutine *> byName;
    for (const auto &r : report.routines)
        byName[r.name] = &r;

    if (state.request.options & coKeepCallTree) {
        // Each routine with its address, size, RAM frame and stack use; callees indented.
        std::string tree = "Call tree of " + name + ", " + processor + "\r\n\r\n";
        const auto describe = [](const vync::TReport::TRoutine &r) {
            std::string s = r.name + "  " + Hex(static_cast<std::uint32_t>(std::max(0, r.address)), 4) + "/" +
                            std::to_string(r.words);
            if (r.frameSize > 0)
                s += "  Ram=" + std::to_string(r.frameSize);
            s += "  Stack=" + std::to_string(r.depth);
            if (!r.interrupt.empty())
                s += "  #int_" + r.interrupt;
            return s;
        };
        std::set<std::string> called;
        for (const auto &r : report.routines) {
            for (const std::string &c : r.calls)
                called.insert(c);
        }
        std::set<std::string> expanded;
        std::vector<std::string> path;
        std::function<void(const vync::TReport::TRoutine &, int)> walk = [&](const vync::TReport::TRoutine &r, int depth) {
            tree += std::string(static_cast<std::size_t>(depth) * 3, ' ') + describe(r);
            if (std::find(path.begin(), path.end(), r.name) != path.end() || depth > 40) {
                tree += " ...\r\n";
                return;
            }
            if (!r.calls.empty() && expanded.count(r.name)) {
                tree += " (see above)\r\n";
                return;
            }
            tree += "\r\n";
            expanded.insert(r.name);
            path.push_back(r.name);
            for (const std::string &c : r.calls) {
                const auto it = byName.find(c);
                if (it != byName.end())
                    walk(*it->second, depth + 1);
                else
                    tree += std::string(static_cast<std::size_t>(depth + 1) * 3, ' ') + c + "\r\n";
            }
            path.pop_back();
        };
        for (const auto &r : report.routines) {
            if (!called.count(r.name) && r.name != "?reset")
                walk(r, 0);
        }
        WriteOutput(state, state.Output("tre"), tree);
    }

    if (state.request.options & coKeepStatistics) {
        std::string sta = "Statistics of " + name + ", " + processor + "\r\n\r\n";
        sta += "ROM used: " + romLine + "\r\n";
        sta += "RAM used: " + ramLine + "\r\n";
        sta += "Stack:    " + std::to_string(report.stackUsed) + " of " + std::to_string(report.stackSize) +
               " levels\r\n";
        sta += "Lines:    " + std::to_string(state.lineCount) + " in " + std::to_string(state.projectFiles.size()) +
               " files\r\n";
        sta += "\r\nFunctions:           Address  Words   RAM  Stack\r\n";
        for (const auto &r : report.routines) {
            const std::string shown = r.runtime ? r.label : r.name;
            char row[160];
            std::snprintf(row, sizeof row, "    %-16s  %04X    %5d  %4d  %5d\r\n", shown.substr(0, 16).c_str(),
                          static_cast<unsigned>(std::max(0, r.address)), r.words, r.frameSize, r.depth);
            sta += row;
        }
        if (!report.tables.empty()) {
            sta += "\r\nConstant tables:     Address  Words\r\n";
            for (const auto &t : report.tables) {
                char row[160];
                std::snprintf(row, sizeof row, "    %-16s  %04X    %5d\r\n", t.name.substr(0, 16).c_str(),
                              static_cast<unsigned>(std::max(0, t.address)), t.words);
                sta += row;
            }
        }
        WriteOutput(state, state.Output("sta"), sta);
    }

    Status(static_cast<std::uint8_t>(romPercent), "ROM used: " + romLine, csRomPercent);
    Status(static_cast<std::uint8_t>(ramPercent), "RAM used: " + ramLine, csRamPercent);
}

}  // namespace kiv::compiler
