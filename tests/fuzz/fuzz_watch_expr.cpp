// The watch library's C expressions over a program with typed variables, a struct, an array, a
// pointer, a function with a local and SFRs: parsing, evaluation, formats and assignments, with
// every memory access checked against the RAM image.

#include "coff_writer.h"
#include "fuzz_target.h"
#include "watch_eval.h"

#include <cstdlib>

namespace {

using kiv::test::TCoffWriter;

constexpr std::uint32_t kPtr = 1u << 5;
constexpr std::uint32_t kFcn = 2u << 5;
constexpr std::uint32_t kAry = 3u << 5;

const kiv::TDebugInfo &Program()
{
    static const kiv::TDebugInfo info = [] {
        namespace coff = kiv::coff;
        TCoffWriter w;
        w.sections.push_back({".udata", 0x20, 0x40, coff::STYP_BSS, {}, {}});
        TCoffWriter::TSection code{".code", 0, 12, coff::STYP_TEXT, {}, {}};
        code.data = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x30, 0x08, 0x00, 0x08, 0x00};
        w.sections.push_back(code);
        const std::uint32_t file = w.AddFile("main.c");
        w.sections[1].lines = {{file, 10, 0}, {file, 11, 1}, {file, 20, 3}, {file, 21, 4}};
        auto var = [&](const char *name, std::uint32_t address, std::uint32_t type, std::uint8_t cls = coff::C_EXT,
                       std::vector<std::vector<std::uint8_t>> aux = {}) {
            return w.Add({name, address, 1, type, cls, std::move(aux)});
        };
        var("count", 0x20, coff::T_UCHAR);
        var("temp", 0x22, coff::T_SHORT);
        var("big", 0x24, coff::T_LONG);
        var("ubig", 0x28, coff::T_ULONG);
        var("flt", 0x2C, coff::T_FLOAT);
        var("arr", 0x30, coff::T_SHORT | kAry, coff::C_EXT, {TCoffWriter::Aux(0, 8, {4})});
        const std::uint32_t tag = w.Add({"point", 0, -2, coff::T_STRUCT, coff::C_STRTAG, {TCoffWriter::Aux(0, 3)}});
        w.Add({"x", 0, -2, coff::T_CHAR, coff::C_MOS, {}});
        w.Add({"y", 1, -2, coff::T_SHORT, coff::C_MOS, {}});
        w.Add({".eos", 3, -2, 0, coff::C_EOS, {TCoffWriter::Aux(tag, 3)}});
        var("pt", 0x38, coff::T_STRUCT, coff::C_EXT, {TCoffWriter::Aux(tag, 3)});
        var("raw", 0x40, coff::T_NULL, coff::C_STAT);
        var("ptr", 0x44, coff::T_UCHAR | kPtr);
        var("msg", 0x46, coff::T_CHAR | kAry, coff::C_EXT, {TCoffWriter::Aux(0, 8, {8})});
        var("grid", 0x60, coff::T_UCHAR | kAry, coff::C_EXT, {TCoffWriter::Aux(0, 6, {2, 3})});
        var("cnt", 0x51, coff::T_UCHAR);
        w.Add({"main", 0, 2, coff::T_VOID | kFcn, coff::C_EXT, {}});
        w.Add({"f", 3, 2, coff::T_VOID | kFcn, coff::C_EXT, {}});
        w.Add({".bf", 3, 2, 0, coff::C_FCN, {}});
        var("cnt", 0x50, coff::T_UCHAR, coff::C_STAT);
        w.Add({".ef", 5, 2, 0, coff::C_FCN, {}});
        w.Add({"LIMIT", 100, -1, 0, coff::C_EXT, {}});
        w.Add({".eof", 0, -2, 0, coff::C_EOF, {}});
        kiv::TCoffFile file_;
        if (!file_.Parse(w.Bytes()))
            std::abort();
        kiv::TDebugInfo built;
        built.FromCoff(file_, "/nonexistent/typed.cof");
        return built;
    }();
    return info;
}

}  // namespace

KIV_FUZZ_TARGET(watch_expr)
{
    using namespace kiv;
    static const std::vector<watch::TSfr> sfrs = {{"STATUS", 3}, {"PORTB", 6}, {"FSR", 4}, {"INDF", 0}};
    std::vector<std::uint8_t> ram(512);
    for (std::size_t i = 0; i < ram.size(); ++i)
        ram[i] = static_cast<std::uint8_t>(i * 7);
    ram[0x44] = 0x30;   // ptr points at arr, inside the RAM image
    ram[0x45] = 0x00;
    const std::string expression(reinterpret_cast<const char *>(data), size);
    std::string summary;
    for (int line : {11, 21}) {
        watch::TEvalContext context;
        context.info = &Program();
        context.sfrs = &sfrs;
        context.file = 0;
        context.line = line;
        context.memory = [&ram](std::uint32_t address, std::uint32_t count, std::uint8_t **bytes) {
            if (count == 0 || address >= ram.size() || count > ram.size() - address)
                return false;
            *bytes = &ram[address];
            return true;
        };
        const std::string result = watch::Evaluate(context, expression);
        summary += result.rfind("ERROR: ", 0) == 0 ? "error: " + result.substr(7) : "ok " + result;
        summary += "\n";
    }
    return summary;
}
