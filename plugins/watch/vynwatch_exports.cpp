// The watch library's exports: C functions the debugger looks up by name in watch/vynwatch.so.
// Results are 16-bit, 1 = done; texts are NUL-terminated and never longer than their buffers.
// The debugger calls them one at a time on its interface thread.

#include "watch_abi.h"
#include "watch_session.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#define VYNWATCH_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using TMemoryFunction = kiv::TWatchMemoryFunction;

constexpr int kFileNameBuffer = kiv::kWatchFileNameSize;
constexpr int kFunctionNameBuffer = kiv::kWatchFunctionNameSize;

kiv::watch::TWatchSession &Session()
{
    static kiv::watch::TWatchSession session;
    return session;
}

// Copies `text` into a buffer of `capacity` bytes (the terminating NUL included).
void CopyText(const std::string &text, char *buffer, std::int64_t capacity)
{
    if (!buffer || capacity <= 0)
        return;
    const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// Texts of lists are cut at a line break, so that no entry arrives half.
void CopyLines(const std::string &text, char *buffer, std::int64_t capacity)
{
    if (text.size() < static_cast<std::size_t>(std::max<std::int64_t>(capacity, 1)))
        return CopyText(text, buffer, capacity);
    std::string cut = text.substr(0, static_cast<std::size_t>(capacity - 1));
    const std::size_t lineEnd = cut.rfind("\r\n");
    if (lineEnd != std::string::npos)
        cut.resize(lineEnd);
    CopyText(cut, buffer, capacity);
}

kiv::watch::TMemoryAccess MemoryAccess(TMemoryFunction memory, void *context)
{
    if (!memory)
        return {};
    return [memory, context](std::uint32_t address, std::uint32_t count, std::uint8_t **data) {
        if (address > 0x7FFFFFFF || count > 0x7FFFFFFF)
            return false;
        return memory(context, static_cast<std::int32_t>(address), static_cast<std::int32_t>(count), data) != 0;
    };
}

}  // namespace

VYNWATCH_EXPORT std::uint16_t VYNWATCH_LOAD_COD(std::int16_t /*two*/, const char *codFile)
{
    try {
        std::string error;
        return codFile && Session().LoadCod(codFile, &error) ? 1 : 0;
    } catch (const std::exception &) {
        return 0;
    }
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_LOAD_COFF(const char *coffFile, std::uint32_t *errorCode)
{
    try {
        std::uint32_t code = kiv::watch::wcUnreadable;
        std::string error;
        if (coffFile && Session().LoadCoff(coffFile, &code, &error))
            return 1;
        if (errorCode)
            *errorCode = code;
        return 0;
    } catch (const std::exception &) {
        if (errorCode)
            *errorCode = kiv::watch::wcUnreadable;
        return 0;
    }
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_GET_FILENAME(std::int32_t fileNumber, char *name)
{
    std::string text;
    if (!name || !Session().FileName(fileNumber, &text))
        return 0;
    CopyText(text, name, kFileNameBuffer);
    return 1;
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_FIND_LINE(std::int32_t mode, std::int32_t *fileNumber, std::int32_t *line,
                                                 std::int32_t *listLine, std::uint32_t *address, std::uint8_t *flags)
{
    return Session().FindLine(mode, fileNumber, line, listLine, address, flags) ? 1 : 0;
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_FIND_FUNCTION(std::uint32_t address, std::uint32_t *exitAddress, char *name,
                                                     char *second)
{
    std::uint32_t exit = 0;
    std::string functionName;
    std::string file;
    const bool found = Session().FindFunction(address, &exit, &functionName, &file);
    if (exitAddress)
        *exitAddress = exit;
    CopyText(functionName, name, kFunctionNameBuffer);
    CopyText(file, second, kFunctionNameBuffer);
    return found ? 1 : 0;
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_GET_FUNCTION_ADDR(const char *name, std::int32_t *address)
{
    if (!name || !address)
        return 0;
    return Session().FunctionAddress(name, address) ? 1 : 0;
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_EVALUATE2(std::int32_t fileNumber, std::int32_t line, const char *expression,
                                                 char *result, std::int32_t capacity, std::int32_t /*zero*/,
                                                 TMemoryFunction memory, void *context)
{
    if (!expression || !result || capacity <= 0)
        return 0;
    if (!Session().Loaded()) {
        CopyText("ERROR: no debug file is loaded", result, capacity);
        return 0;
    }
    try {
        CopyText(Session().Evaluate(fileNumber, line, expression, MemoryAccess(memory, context)), result, capacity);
        return 1;
    } catch (const std::exception &e) {
        CopyText(std::string("ERROR: ") + e.what(), result, capacity);
        return 0;
    }
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_INTERPRET_STACK2(std::uint32_t pc, std::uint8_t count,
                                                        const std::uint32_t *entries, char *output,
                                                        std::int32_t capacity, TMemoryFunction /*memory*/,
                                                        void * /*context*/)
{
    if (!output || capacity <= 0 || !Session().Loaded() || (count && !entries))
        return 0;
    try {
        const std::vector<std::uint32_t> stack(entries, entries + count);
        CopyLines(Session().InterpretStack(pc, stack), output, capacity);
        return 1;
    } catch (const std::exception &) {
        return 0;
    }
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_GET_SYMBOL_LIST(std::int32_t fileNumber, std::int32_t line,
                                                       std::int32_t symbolClass, char *buffer, std::int32_t capacity)
{
    if (!buffer || capacity <= 0 || !Session().Loaded())
        return 0;
    try {
        CopyLines(Session().SymbolList(fileNumber, line, symbolClass), buffer, capacity);
        return 1;
    } catch (const std::exception &) {
        return 0;
    }
}

// The four exports the debugger requires but never calls.

/// Evaluates without target memory: constants, labels and arithmetic only.
VYNWATCH_EXPORT std::uint16_t VYNWATCH_EVALUATE(std::int32_t fileNumber, std::int32_t line, const char *expression,
                                                char *result, std::int32_t capacity)
{
    return VYNWATCH_EVALUATE2(fileNumber, line, expression, result, capacity, 0, nullptr, nullptr);
}

/// Makes `name` stand for `value` in later evaluations of the loaded file.
VYNWATCH_EXPORT std::uint16_t VYNWATCH_ADD_DEFINE(const char *name, std::int32_t value)
{
    if (!name || !*name || !Session().Loaded())
        return 0;
    Session().AddDefine(name, static_cast<std::uint32_t>(value));
    return 1;
}

VYNWATCH_EXPORT std::uint16_t VYNWATCH_INTERPRET_STACK(std::uint32_t pc, std::uint8_t count,
                                                       const std::uint32_t *entries, char *output, std::int32_t capacity)
{
    return VYNWATCH_INTERPRET_STACK2(pc, count, entries, output, capacity, nullptr, nullptr);
}

/// This library has no channel to a debugger unit of its own: nothing is done.
VYNWATCH_EXPORT std::uint16_t VYNWATCH_DEBUGGER_IO(std::int32_t /*command*/, void * /*data*/, std::int32_t /*size*/)
{
    return 0;
}

// The exports have the types the debugger calls them with.
static_assert(std::is_same_v<decltype(&VYNWATCH_LOAD_COD), kiv::TWatchLoadCod>);
static_assert(std::is_same_v<decltype(&VYNWATCH_LOAD_COFF), kiv::TWatchLoadCoff>);
static_assert(std::is_same_v<decltype(&VYNWATCH_GET_FILENAME), kiv::TWatchGetFilename>);
static_assert(std::is_same_v<decltype(&VYNWATCH_FIND_LINE), kiv::TWatchFindLine>);
static_assert(std::is_same_v<decltype(&VYNWATCH_FIND_FUNCTION), kiv::TWatchFindFunction>);
static_assert(std::is_same_v<decltype(&VYNWATCH_GET_FUNCTION_ADDR), kiv::TWatchGetFunctionAddr>);
static_assert(std::is_same_v<decltype(&VYNWATCH_EVALUATE2), kiv::TWatchEvaluate2>);
static_assert(std::is_same_v<decltype(&VYNWATCH_INTERPRET_STACK2), kiv::TWatchInterpretStack2>);
static_assert(std::is_same_v<decltype(&VYNWATCH_GET_SYMBOL_LIST), kiv::TWatchGetSymbolList>);
