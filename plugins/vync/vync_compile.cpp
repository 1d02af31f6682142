#include "vync_compile.h"

#include "vync_fuses.h"
#include "vync_parse.h"
#include "vync_pp.h"
#include "vync_target.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kiv::vync {

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Clean(std::string s)
{
    for (char &c : s) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return s;
}

// Configuration words from #fuses: each word starts at its default and takes each fuse's bits.
bool ApplyFuses(TMessages &messages, const TProgram &program, const TTarget &target, const std::string &installDir,
                TCodegenOptions *options)
{
    if (program.fuses.empty())
        return true;
    std::vector<TFuse> fuses;
    std::string error;
    const std::string dat = installDir.empty() ? std::string() : (fs::path(installDir) / "utils" / "devices.dat").string();
    if (dat.empty() || !ReadFuses(dat, target.name, &fuses, &error)) {
        messages.Error(vmFuse, program.fuses.front().at,
                       "#fuses needs the device database: " + (error.empty() ? std::string("no installation folder") : error));
        return false;
    }
    std::vector<std::uint32_t> words;
    for (const TConfigWord &w : target.config)
        words.push_back(w.defaultValue & 0x3FFF);
    bool ok = true;
    for (const TFuseSetting &setting : program.fuses) {
        const std::string want = Upper(setting.name);
        const auto it = std::find_if(fuses.begin(), fuses.end(), [&](const TFuse &f) { return Upper(f.name) == want; });
        if (it == fuses.end()) {
            messages.Error(vmFuse, setting.at, "Unknown fuse " + setting.name + " for " + target.name);
            ok = false;
            continue;
        }
        const std::size_t w = static_cast<std::size_t>(std::max(1, it->word) - 1);
        if (w >= words.size()) {
            messages.Error(vmFuse, setting.at, "Fuse " + setting.name + " names configuration word " + std::to_string(w + 1) + ", which " + target.name + " does not have");
            ok = false;
            continue;
        }
        words[w] = (words[w] & ~static_cast<std::uint32_t>(it->mask)) | (it->value & it->mask);
    }
    for (std::size_t i = 0; i < words.size(); ++i)
        options->configWords.push_back({target.config[i].address, words[i]});
    return ok;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

}  // namespace

std::string MessageLine(const TMessages &messages, const TMessage &m)
{
    std::string line = m.isError ? "*** Error " : ">>> Warning ";
    line += std::to_string(m.number) + " \"" + messages.FileName(m.where.file) + "\" Line " +
            std::to_string(std::max(1, m.where.line));
    if (m.where.column > 0 && m.where.endColumn > m.where.column)
        line += "(" + std::to_string(m.where.column) + "," + std::to_string(m.where.endColumn) + ")";
    return line + ": " + Clean(m.text);
}

TCompileOutcome CompileC(const TCompileOptions &options)
{
    TCompileOutcome out;
    std::string install = options.installDir;
    if (install.empty()) {
        const std::string exe = ExecutableFolder();
        if (!exe.empty())
            install = fs::path(exe).parent_path().string();
    }
    TPreprocessOptions pp;
    pp.includeDirs = options.includeDirs;
    pp.defines = options.defines;
    if (!install.empty()) {
        pp.systemDirs.push_back((fs::path(install) / "devices").string());
        pp.systemDirs.push_back((fs::path(install) / "drivers").string());
    }
    std::vector<TToken> tokens;
    TPreprocessor pre(out.messages, pp);
    const bool read = pre.Run(options.mainFile, &tokens);
    out.files = pre.Files();
    out.lines = pre.LineCount();
    if (!read)
        return out;
    TProgram program;
    TParser parser(out.messages, program, std::move(tokens));
    parser.Run();
    if (options.icd)
        program.icd = true;
    if (program.device.empty()) {
        out.messages.Error(vmDevice, {0, 1, 0, 0}, "No part chosen: the program needs #device (or the part's header, #include <16F877A.h>)");
        return out;
    }
    out.part = program.device;
    TTarget target;
    std::string error;
    if (!LoadTarget(program.device, &target, &error)) {
        out.messages.Error(vmDevice, program.deviceAt, error);
        return out;
    }
    TCodegenOptions codegen;
    codegen.icd = program.icd;
    ApplyFuses(out.messages, program, target, install, &codegen);
    if (out.messages.ErrorCount())
        return out;
    TCodeGen generator(out.messages, program, target, codegen);
    out.ok = generator.Run(&out.assembly, &out.program) && out.messages.ErrorCount() == 0;
    return out;
}

TReport MakeReport(const TCompileOutcome &o)
{
    TReport r;
    r.part = o.part;
    r.lines = o.lines;
    r.files = o.files;
    for (const TMessage &m : o.messages.All())
        r.messages.push_back({m.isError, m.number, o.messages.FileName(m.where.file), m.where.line, m.where.column,
                              m.where.endColumn, m.text});
    const TProgramReport &p = o.program;
    for (const auto &v : p.variables)
        r.variables.push_back({v.name, v.label, v.type, v.function, v.address, v.bit, v.size, v.overlaid});
    for (const auto &t : p.routines) {
        r.routines.push_back({t.name, t.label, t.runtime, t.interrupt, t.address, t.words, t.frameBase, t.frameSize,
                              t.depth, t.calls});
    }
    for (const auto &t : p.tables)
        r.tables.push_back({t.name, t.label, t.address, t.words});
    r.romUsed = p.romUsed;
    r.romSize = p.romSize;
    r.ramUsed = p.ramUsed;
    r.ramSize = p.ramSize;
    r.stackUsed = p.stackUsed;
    r.stackSize = p.stackSize;
    return r;
}

}  // namespace kiv::vync
