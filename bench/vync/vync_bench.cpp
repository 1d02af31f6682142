// The C compiler against the assembler on the same program, in one run:
//   compile_speed  vync compiling a 5,000-line C file to assembly (in process, the whole path
//                  from pre-processor to the written text) against gpasm assembling the
//                  assembly vync wrote (the gpasm program, -c, to an object file).
// The C file is made from a fixed pattern; each side's time is the best of several runs.

#include "vync_compile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

template <typename F>
double Best(int runs, F &&run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// About 5,000 lines, laid out as a program is written: a comment block, declarations and
// statements in each of 200 functions, and main calling them.
std::string MakeSource(int *lines)
{
    std::ostringstream s;
    s << "#device PIC16F1789\n"
         "int8 table[16];\nint16 total;\nsigned int16 balance;\n\n";
    const int functions = 200;
    for (int f = 0; f < functions; ++f) {
        s << "//////////////////////////////////////////////////////////////////////////////\n"
          << "// step" << f << ": one stage of the filter.\n"
          << "//   x     the sample\n"
          << "//   adds the sample to the running total and keeps the table of levels\n"
          << "//////////////////////////////////////////////////////////////////////////////\n"
          << "void step" << f << "(int8 x)\n{\n"
          << "   int8 a;          // the sample with its offset\n"
          << "   int8 b;          // the mixed value\n"
          << "\n"
          << "   a = x + " << f % 200 << ";\n"
          << "   b = a ^ 0x" << std::hex << (f * 37) % 256 << std::dec << ";\n"
          << "   if (a > " << 10 + f % 100 << ")\n"
          << "   {\n"
          << "      total += a;\n"
          << "   }\n"
          << "   else\n"
          << "   {\n"
          << "      balance -= b;\n"
          << "   }\n"
          << "   while (b > 10)\n"
          << "      b = b >> 1;\n"
          << "   table[x & 15] = b;\n"
          << "}\n\n";
    }
    s << "void main()\n{\n   int8 i;\n   for (i = 0; i < 3; i++) {\n";
    for (int f = 0; f < functions; ++f)
        s << "      step" << f << "(i);\n";
    s << "   }\n}\n";
    const std::string text = s.str();
    *lines = 0;
    for (char c : text)
        *lines += c == '\n';
    return text;
}

}  // namespace

int main()
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kivbench_vync_" + std::to_string(getpid()));
    fs::create_directories(dir);
    int lines = 0;
    const std::string source = MakeSource(&lines);
    const std::string cPath = (dir / "big.c").string();
    std::ofstream(cPath, std::ios::binary) << source;

    kiv::vync::TCompileOutcome outcome;
    const double ours = Best(3, [&] {
        kiv::vync::TCompileOptions options;
        options.mainFile = cPath;
        outcome = kiv::vync::CompileC(options);
        std::ofstream((dir / "big.asm").string(), std::ios::binary) << outcome.assembly;
    });
    if (!outcome.ok) {
        for (const auto &m : outcome.messages.All())
            std::fprintf(stderr, "%s\n", kiv::vync::MessageLine(outcome.messages, m).c_str());
        std::fprintf(stderr, "compile_speed: vync failed on the %d-line file\n", lines);
        return 1;
    }
    const std::string command = "cd '" + dir.string() + "' && gpasm -c -o big.o big.asm >/dev/null 2>&1";
    int status = 0;
    const double peer = Best(3, [&] { status = std::system(command.c_str()); });
    if (status != 0) {
        std::fprintf(stderr, "compile_speed: gpasm failed on vync's assembly\n");
        return 1;
    }
    std::printf("compile_speed ours=%.4f peer=%.4f ratio=%.2f   (%d C lines, %d ROM words)\n", ours, peer, ours / peer, lines,
                outcome.program.romUsed);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
