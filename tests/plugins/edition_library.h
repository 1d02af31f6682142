#pragma once

// Loads a built compiler edition library by path and calls its exports as the IDE does.

#include "compiler_abi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::test {

/// One status call-back the library made.
struct TStatusReport {
    int value = 0;
    std::string text;
    int code = 0;
};

/// The arguments of one COMPILE call that the tests vary.
struct TCompileArgs {
    std::string mainFile;
    std::string includeDirs;
    std::string defines;
    std::uint32_t debugFormat = dfCoff;
    std::uint32_t objectFormat = 0;
    std::uint32_t errorFormat = efStandard;
    std::uint32_t options = coKeepCallTree | coKeepStatistics;
    std::string objectExtension = "HEX";
    std::string listExtension = "LST";
};

/// What one COMPILE call handed back.
struct TCompileOutcome {
    std::int32_t result = -1;
    std::string errorMessage;
    std::string errorFile;
    int errorLine = -1;
    int errorStartColumn = -1;
    int errorEndColumn = -1;
    int processorId = -1;
    int lastMessage = 0;
    std::vector<TStatusReport> reports;

    bool Reported(int code) const;
    int LineTotal() const;   /// the sum the status window keeps from codes 151..255
};

class TEditionLibrary {
public:
    /// Loads the library built for `code` ("QEL", "QOR", "QAN") from the build tree.
    explicit TEditionLibrary(const std::string &code);
    ~TEditionLibrary();
    TEditionLibrary(const TEditionLibrary &) = delete;
    TEditionLibrary &operator=(const TEditionLibrary &) = delete;

    bool IsLoaded() const { return m_compile && m_version; }
    const std::string &LoadError() const { return m_error; }

    TCompileOutcome Compile(const TCompileArgs &args) const;
    /// Calls COMPILE with a raw 256-byte include-list buffer (to pass one without a NUL).
    TCompileOutcome CompileWithIncludeBuffer(const TCompileArgs &args, const char *includeBuffer) const;
    TGetVersion32Func Version() const { return m_version; }
    /// STOP_COMPILE, or nullptr when the library lacks it.
    TStopCompileFunc Stop() const { return m_stop; }

    /// Path of the library file for `code`.
    static std::string LibraryPath(const std::string &code);

private:
    void *m_handle = nullptr;
    TCompileFunc m_compile = nullptr;
    TGetVersion32Func m_version = nullptr;
    TStopCompileFunc m_stop = nullptr;
    std::string m_error;
};

}  // namespace kiv::test
