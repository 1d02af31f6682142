#include "edition_library.h"

#include <array>
#include <cstring>
#include <dlfcn.h>

namespace kiv::test {

namespace {

std::vector<TStatusReport> *g_reports = nullptr;

void CollectStatus(std::uint8_t value, const char *text, std::uint8_t code)
{
    if (g_reports)
        g_reports->push_back({value, text ? text : "", code});
}

using TBuffer = std::array<char, kCompileStringSize>;

TBuffer Buffer(const std::string &text)
{
    TBuffer buffer{};
    std::strncpy(buffer.data(), text.c_str(), buffer.size() - 1);
    return buffer;
}

}  // namespace

bool TCompileOutcome::Reported(int code) const
{
    for (const TStatusReport &report : reports) {
        if (report.code == code)
            return true;
    }
    return false;
}

int TCompileOutcome::LineTotal() const
{
    int total = 0;
    for (const TStatusReport &report : reports) {
        if (report.code >= 151)
            total += report.code - 150;
    }
    return total;
}

std::string TEditionLibrary::LibraryPath(const std::string &code)
{
    return std::string(KIV_EDITION_DIR) + "/" + code + ".so";
}

TEditionLibrary::TEditionLibrary(const std::string &code)
{
    m_handle = dlopen(LibraryPath(code).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        m_error = dlerror();
        return;
    }
    m_compile = reinterpret_cast<TCompileFunc>(dlsym(m_handle, kCompileExportName));
    m_version = reinterpret_cast<TGetVersion32Func>(dlsym(m_handle, kGetVersionExportName));
    m_stop = reinterpret_cast<TStopCompileFunc>(dlsym(m_handle, kStopCompileExportName));
    if (!m_compile || !m_version)
        m_error = "the library lacks COMPILE or GET_VERSION32";
}

TEditionLibrary::~TEditionLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

TCompileOutcome TEditionLibrary::Compile(const TCompileArgs &args) const
{
    const TBuffer includes = Buffer(args.includeDirs);
    return CompileWithIncludeBuffer(args, includes.data());
}

TCompileOutcome TEditionLibrary::CompileWithIncludeBuffer(const TCompileArgs &args,
                                                          const char *includeBuffer) const
{
    TCompileOutcome outcome;
    const TBuffer main = Buffer(args.mainFile);
    const TBuffer install = Buffer("/opt/kiv/");
    const TBuffer empty = Buffer("");
    const TBuffer defines = Buffer(args.defines);
    const TBuffer objectExtension = Buffer(args.objectExtension);
    const TBuffer listExtension = Buffer(args.listExtension);
    TBuffer message = Buffer("stale message");
    TBuffer file = Buffer("stale file");
    std::uint16_t line = 0xFFFF;
    std::uint16_t start = 0xFFFF;
    std::uint16_t end = 0xFFFF;
    std::uint16_t processor = 0xFFFF;
    std::int16_t last = 12345;
    g_reports = &outcome.reports;
    outcome.result = m_compile(main.data(), install.data(), includeBuffer, empty.data(), defines.data(),
                               args.debugFormat, args.objectFormat, 0, args.errorFormat,
                               kCompileConstantArgument, args.options, objectExtension.data(),
                               listExtension.data(), message.data(), file.data(), &line, &start, &end,
                               &processor, CollectStatus, &last);
    g_reports = nullptr;
    outcome.errorMessage = std::string(message.data(), strnlen(message.data(), message.size()));
    outcome.errorFile = std::string(file.data(), strnlen(file.data(), file.size()));
    outcome.errorLine = line;
    outcome.errorStartColumn = start;
    outcome.errorEndColumn = end;
    outcome.processorId = processor;
    outcome.lastMessage = last;
    return outcome;
}

}  // namespace kiv::test
