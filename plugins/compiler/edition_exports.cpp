// The two exports of a compiler edition library. This file is built once per edition, with
// KIV_EDITION_CODE naming the edition (QEL, QOR or QAN).

#include "compiler_abi.h"
#include "edition_build.h"
#include "source_text.h"
#include "tool_runner.h"

#include <cstring>
#include <string>
#include <type_traits>

#ifndef KIV_EDITION_CODE
#error "KIV_EDITION_CODE names the edition this library is built as"
#endif

#define KIV_EXPORT __attribute__((visibility("default")))

namespace {

using namespace kiv;
using namespace kiv::compiler;

// Takes a NUL-terminated string argument from its 256-byte buffer; false when the buffer holds
// no NUL (the text would be cut).
bool TakeString(const char *buffer, std::string *value)
{
    value->clear();
    if (!buffer)
        return true;
    const std::size_t length = strnlen(buffer, kCompileStringSize);
    if (length >= static_cast<std::size_t>(kCompileStringSize))
        return false;
    value->assign(buffer, length);
    return true;
}

// Copies `text` into an out buffer of `size` bytes, NUL-terminated, never splitting a UTF-8
// sequence.
void PutString(char *buffer, std::size_t size, const std::string &text)
{
    if (!buffer || size == 0)
        return;
    std::size_t length = std::min(text.size(), size - 1);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void PutWord(std::uint16_t *out, int value)
{
    if (out)
        *out = static_cast<std::uint16_t>(std::max(0, std::min(value, 0xFFFF)));
}

// The columns handed back for an error: its own, or the whole line when only the line is known.
void WholeLineWhenUnknown(TMessageLocation *where)
{
    if (where->HasColumns())
        return;
    std::vector<std::string> lines;
    where->startColumn = 1;
    where->endColumn = 1;
    if (ReadTextLines(where->file, &lines) && where->line >= 1 &&
        where->line <= static_cast<int>(lines.size())) {
        const std::string &text = lines[static_cast<std::size_t>(where->line - 1)];
        where->endColumn = CharacterColumn(text, text.size());
    }
}

const TEditionInfo &Edition()
{
    static const TEditionInfo *edition = EditionByCode(KIV_EDITION_CODE);
    return *edition;
}

}  // namespace

extern "C" {

KIV_EXPORT std::int32_t COMPILE(const char *mainFile, const char *installDir, const char *includeDirs,
                                const char *reserved, const char *defines, std::uint32_t debugFormat,
                                std::uint32_t objectFormat, std::uint32_t listFormat,
                                std::uint32_t errorFormat, std::uint32_t constantNine,
                                std::uint32_t options, const char *objectExtension,
                                const char *listExtension, char *errorMessage, char *errorFile,
                                std::uint16_t *errorLine, std::uint16_t *errorStartColumn,
                                std::uint16_t *errorEndColumn, std::uint16_t *processorId,
                                TCompileStatusCallback status, std::int16_t *lastMessage)
{
    PutString(errorMessage, kCompileStringSize, {});
    PutString(errorFile, kCompileStringSize, {});
    PutWord(errorLine, 0);
    PutWord(errorStartColumn, 0);
    PutWord(errorEndColumn, 0);
    PutWord(processorId, 0);
    if (lastMessage)
        *lastMessage = -1;
    // A stop asked for before this compile began belongs to an earlier one.
    ClearToolStop();
    try {
        TCompileRequest request;
        request.debugFormat = debugFormat;
        request.objectFormat = objectFormat;
        request.listFormat = listFormat;
        request.errorFormat = errorFormat;
        request.options = options;
        if (!TakeString(mainFile, &request.mainFile)) {
            PutString(errorMessage, kCompileStringSize,
                      "The main file path is longer than " + std::to_string(kCompileStringSize - 1) +
                          " characters");
            return 1;
        }
        std::string ignored;
        const struct {
            const char *buffer;
            std::string *value;
            const char *what;
        } kStrings[] = {{installDir, &request.installDir, "installation folder"},
                        {includeDirs, &request.includeDirs, "include folder list"},
                        {reserved, &ignored, "fourth argument"},
                        {defines, &request.defines, "global defines"},
                        {objectExtension, &request.objectExtension, "object file extension"},
                        {listExtension, &request.listExtension, "list file extension"}};
        for (const auto &argument : kStrings) {
            if (!TakeString(argument.buffer, argument.value) && request.argumentProblem.empty()) {
                request.argumentProblem = std::string("The ") + argument.what + " is longer than " +
                                          std::to_string(kCompileStringSize - 1) + " characters";
            }
        }
        (void)constantNine;

        TEditionBuild build(Edition(), [status](std::uint8_t value, const std::string &text, std::uint8_t code) {
            if (status)
                status(value, text.c_str(), code);
        });
        const TCompileResult result = build.Run(request);
        PutWord(processorId, result.processorId);
        if (lastMessage)
            *lastMessage = static_cast<std::int16_t>(result.lastMessageNumber);
        if (const TBuildMessage *error = result.FirstError()) {
            TMessageLocation where = error->where;
            WholeLineWhenUnknown(&where);
            PutString(errorMessage, kCompileStringSize, error->text);
            PutString(errorFile, kCompileStringSize, where.file);
            PutWord(errorLine, where.line);
            PutWord(errorStartColumn, where.startColumn);
            PutWord(errorEndColumn, where.endColumn);
            return 1;
        }
        return 0;
    } catch (...) {
        PutString(errorMessage, kCompileStringSize, "The compiler stopped on an internal error");
        return 1;
    }
}

KIV_EXPORT void STOP_COMPILE()
{
    // The running tool is ended within moments; the build then reports the stop.
    RequestToolStop();
}

KIV_EXPORT void GET_VERSION32(char *buffer)
{
    if (!buffer)
        return;
    try {
        PutString(buffer, kVersionBufferSize, EditionVersion());
    } catch (...) {
        PutString(buffer, kVersionBufferSize, "0");
    }
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&COMPILE), TCompileFunc>, "COMPILE must match the edition ABI");
static_assert(std::is_same_v<decltype(&GET_VERSION32), TGetVersion32Func>,
              "GET_VERSION32 must match the edition ABI");
static_assert(std::is_same_v<decltype(&STOP_COMPILE), TStopCompileFunc>,
              "STOP_COMPILE must match the edition ABI");
