// A compiler edition library for the IDE-side tests. It builds nothing: it replays a script
// that the test writes next to the main file (base + ".script") and records every call it
// receives in base + ".calls", so a test can see exactly what the IDE passed.
//
// Script lines (a line may start with "@CODE " to apply only when this copy of the library is
// installed as edition CODE, e.g. "@QOR err ..."):
//   cb VALUE CODE TEXT     call the status call-back
//   err TEXT               one line of the error file base + ".err"
//   noerr                  write no error file at all (an old one is removed)
//   message TEXT           out argument 14
//   file TEXT              out argument 15
//   line N / start N / end N / processor HEX / last N   out arguments 16-19 and 21
//   fillmessage            fill argument 14 to its last byte without a NUL
//   output EXT             create base + "." + EXT with one line naming this edition
//   hang                   run until STOP_COMPILE is called, calling the status call-back every
//                          20 ms (code 21, the time waited); gives up after 10 seconds and
//                          records "hang=gave up" in the calls file, "hang=stopped" otherwise
//   thread                 record whether COMPILE runs on the process's first thread

#include "compiler_abi.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

std::string EditionCode()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&EditionCode), &info) || !info.dli_fname)
        return "?";
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        path = path.substr(slash + 1);
    const size_t dot = path.find('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string BaseOf(const std::string &mainFile)
{
    const size_t slash = mainFile.rfind('/');
    const size_t dot = mainFile.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return mainFile;
    return mainFile.substr(0, dot);
}

void Copy(char *buffer, const std::string &text)
{
    std::strncpy(buffer, text.c_str(), kiv::kCompileStringSize - 1);
    buffer[kiv::kCompileStringSize - 1] = 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void STOP_COMPILE()
{
    g_stop = true;
}

extern "C" __attribute__((visibility("default"))) void GET_VERSION32(char *buffer)
{
    const std::string text = buffer[1] == kiv::kVersionBufferMark ? "T1.0 " + EditionCode()
                                                                   : "no mark";
    std::strncpy(buffer, text.c_str(), kiv::kVersionBufferSize - 1);
    buffer[kiv::kVersionBufferSize - 1] = 0;
}

extern "C" __attribute__((visibility("default"))) std::int32_t COMPILE(
    const char *mainFile, const char *installDir, const char *includeDirs, const char *reserved,
    const char *defines, std::uint32_t debugFormat, std::uint32_t objectFormat,
    std::uint32_t listFormat, std::uint32_t errorFormat, std::uint32_t constantNine,
    std::uint32_t options, const char *objectExtension, const char *listExtension,
    char *errorMessage, char *errorFile, std::uint16_t *errorLine, std::uint16_t *errorStart,
    std::uint16_t *errorEnd, std::uint16_t *processorId, TCompileStatusCallback status,
    std::int16_t *lastMessage)
{
    g_stop = false;
    const std::string code = EditionCode();
    const std::string base = BaseOf(mainFile);
    {
        std::ofstream calls(base + ".calls", std::ios::app);
        calls << "edition=" << code << '\n'
              << "main=" << mainFile << '\n'
              << "install=" << installDir << '\n'
              << "includes=" << includeDirs << '\n'
              << "reserved=[" << reserved << "]\n"
              << "defines=" << defines << '\n'
              << "debug=" << debugFormat << '\n'
              << "object=" << objectFormat << '\n'
              << "list=" << listFormat << '\n'
              << "error=" << errorFormat << '\n'
              << "constant=" << constantNine << '\n'
              << "options=" << options << '\n'
              << "objext=" << objectExtension << '\n'
              << "listext=" << listExtension << '\n'
              << "inmessage=[" << errorMessage << "]\n"
              << "infile=[" << errorFile << "]\n"
              << "inline=" << *errorLine << '\n'
              << "end\n";
    }

    std::vector<std::string> errLines;
    bool writeErr = true;
    std::ifstream script(base + ".script");
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind('@', 0) == 0) {
            const size_t space = line.find(' ');
            if (space == std::string::npos || line.substr(1, space - 1) != code)
                continue;
            line = line.substr(space + 1);
        }
        const size_t space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "cb" && status) {
            std::istringstream fields(rest);
            unsigned value = 0, cbCode = 0;
            fields >> value >> cbCode;
            std::string text;
            std::getline(fields, text);
            if (!text.empty() && text.front() == ' ')
                text.erase(0, 1);
            status(std::uint8_t(value), text.c_str(), std::uint8_t(cbCode));
        } else if (verb == "err") {
            errLines.push_back(rest);
        } else if (verb == "noerr") {
            writeErr = false;
        } else if (verb == "message") {
            Copy(errorMessage, rest);
        } else if (verb == "file") {
            Copy(errorFile, rest);
        } else if (verb == "line") {
            *errorLine = std::uint16_t(std::atoi(rest.c_str()));
        } else if (verb == "start") {
            *errorStart = std::uint16_t(std::atoi(rest.c_str()));
        } else if (verb == "end") {
            *errorEnd = std::uint16_t(std::atoi(rest.c_str()));
        } else if (verb == "processor") {
            *processorId = std::uint16_t(std::strtoul(rest.c_str(), nullptr, 16));
        } else if (verb == "last") {
            *lastMessage = std::int16_t(std::atoi(rest.c_str()));
        } else if (verb == "fillmessage") {
            std::memset(errorMessage, 'M', kiv::kCompileStringSize);
        } else if (verb == "hang") {
            using namespace std::chrono;
            const auto start = steady_clock::now();
            bool stopped = false;
            while (steady_clock::now() - start < seconds(10)) {
                if (g_stop) {
                    stopped = true;
                    break;
                }
                if (status) {
                    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
                    status(0, ("waited " + std::to_string(waited) + " ms").c_str(), 21);
                }
                std::this_thread::sleep_for(milliseconds(20));
            }
            std::ofstream(base + ".calls", std::ios::app) << "hang=" << (stopped ? "stopped" : "gave up")
                                                          << "\n";
        } else if (verb == "thread") {
            std::ofstream(base + ".calls", std::ios::app)
                << "mainthread=" << (getpid() == static_cast<pid_t>(gettid()) ? "yes" : "no") << "\n";
        } else if (verb == "output") {
            std::ofstream(base + "." + rest) << "written by " << code << '\n';
        }
    }

    const std::string errPath = base + ".err";
    std::remove(errPath.c_str());
    if (writeErr) {
        std::ofstream err(errPath, std::ios::binary);
        for (const std::string &text : errLines)
            err << text << "\r\n";
    }
    return errorFile[0] ? 1 : 0;
}
