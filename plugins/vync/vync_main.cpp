// vync: the C compiler for the 14-bit PIC cores. Writes gpasm assembly with C source lines;
// without -S it also assembles and links the program with gpasm and gplink.
//
//   vync [-I folder]... [-D name[=value]]... [--icd] [--install folder] [-S] [-o file.asm]
//        [--report file] main.c
//   vync --device-headers folder      (the build writes the installation's devices/ with it)

#include "vync_compile.h"
#include "vync_headers.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kiv::vync;

namespace {

int Usage()
{
    std::cerr << "usage: vync [-I folder]... [-D name[=value]]... [--icd] [--install folder] [-S] [-o file.asm] "
                 "[--report file] main.c\n";
    return 2;
}

bool WriteFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

int Run(const std::vector<std::string> &argv, const std::string &folder)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(127);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--device-headers") {
        // Build step: the device headers of every 14-bit part into the folder argv[2].
        std::vector<std::string> skipped;
        const int n = WriteDeviceHeaders(argv[2], &skipped);
        for (const std::string &s : skipped)
            std::cerr << "vync: no header for " << s << "\n";
        if (n <= 0) {
            std::cerr << "vync: no device headers written (is gpasm installed?)\n";
            return 1;
        }
        std::cout << "vync: " << n << " device headers\n";
        return 0;
    }
    TCompileOptions options;
    bool assemblyOnly = false;
    std::string output, reportFile;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](std::string *v) {
            if (i + 1 >= argc)
                return false;
            *v = argv[++i];
            return true;
        };
        std::string v;
        if (a == "-I" && value(&v)) {
            options.includeDirs.push_back(v);
        } else if (a.rfind("-I", 0) == 0 && a.size() > 2) {
            options.includeDirs.push_back(a.substr(2));
        } else if ((a == "-D" && value(&v)) || (a.rfind("-D", 0) == 0 && a.size() > 2 && (v = a.substr(2), true))) {
            const std::size_t eq = v.find('=');
            options.defines.push_back(eq == std::string::npos ? std::make_pair(v, std::string()) : std::make_pair(v.substr(0, eq), v.substr(eq + 1)));
        } else if (a == "--icd") {
            options.icd = true;
        } else if (a == "--install" && value(&v)) {
            options.installDir = v;
        } else if (a == "-S") {
            assemblyOnly = true;
        } else if (a == "-o" && value(&v)) {
            output = v;
        } else if (a == "--report" && value(&v)) {
            reportFile = v;
        } else if (a == "--version" || a == "-v") {
            std::cout << "vync 0.1.0\n";
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (options.mainFile.empty()) {
            options.mainFile = a;
        } else {
            return Usage();
        }
    }
    if (options.mainFile.empty())
        return Usage();
    std::error_code ec;
    const fs::path main = fs::absolute(options.mainFile, ec);
    if (output.empty())
        output = (main.parent_path() / main.stem()).string() + ".asm";
    TCompileOutcome outcome = CompileC(options);
    for (const TMessage &m : outcome.messages.All())
        std::cout << MessageLine(outcome.messages, m) << "\n";
    if (!reportFile.empty() && !WriteFile(reportFile, ReportText(MakeReport(outcome)))) {
        std::cerr << "vync: can not write " << reportFile << "\n";
        return 1;
    }
    if (!outcome.ok)
        return 1;
    {
        // The assembly file never replaces a file of the user's.
        std::ifstream existing(output, std::ios::binary);
        std::string first;
        if (existing && std::getline(existing, first) && first.rfind("; Written by vync", 0) != 0) {
            std::cerr << "vync: " << output << " exists and was not written by vync; name the assembly file with -o\n";
            return 1;
        }
    }
    if (!WriteFile(output, outcome.assembly)) {
        std::cerr << "vync: can not write " << output << "\n";
        return 1;
    }
    if (assemblyOnly)
        return 0;
    const fs::path asmPath = fs::absolute(output, ec);
    const std::string folder = asmPath.parent_path().string();
    const std::string base = asmPath.stem().string();
    if (Run({"gpasm", "-c", "-g", "-o", base + ".o", asmPath.string()}, folder) != 0)
        return 1;
    if (Run({"gplink", "-q", "-c", "-m", "-o", base + ".hex", base + ".o"}, folder) != 0)
        return 1;
    return 0;
}
