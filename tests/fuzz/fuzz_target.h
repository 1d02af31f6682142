#pragma once

// One fuzz target per reader of outside bytes. A target is written once with KIV_FUZZ_TARGET and
// serves two builds:
// - the fuzzing build (KIV_FUZZ_ENTRY defined, clang -fsanitize=fuzzer): the body becomes the
//   program's LLVMFuzzerTestOneInput, one program per target;
// - the normal build: the body is registered by name, and the replay test runs the kept inputs
//   of tests/fuzz through the same code with the ordinary readers.
// A body returns a short summary of what the reader made of the bytes: "ok ..." when it took
// them, "error: ..." with the reader's own message when it refused them.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kiv::fuzz {

using TFuzzBody = std::string (*)(const std::uint8_t *data, std::size_t size);

/// Every target of this program by name.
inline std::map<std::string, TFuzzBody> &Targets()
{
    static std::map<std::string, TFuzzBody> targets;
    return targets;
}

inline bool RegisterTarget(const char *name, TFuzzBody body)
{
    Targets()[name] = body;
    return true;
}

/// A summary line of a reader's result.
inline std::string Outcome(bool ok, std::string_view error, std::string_view details = {})
{
    std::string text = ok ? "ok" : "error: ";
    if (ok) {
        if (!details.empty()) {
            text += ' ';
            text += details;
        }
    } else {
        text += error;
    }
    return text;
}

/// A folder of its own for targets that must hand their bytes to a reader as a file.
std::string ScratchFolder();
/// Writes `data` to `name` in the scratch folder and returns the file's path.
std::string WriteScratchFile(const std::string &name, const std::uint8_t *data, std::size_t size);

}  // namespace kiv::fuzz

#define KIV_FUZZ_CAT2(a, b) a##b
#define KIV_FUZZ_CAT(a, b) KIV_FUZZ_CAT2(a, b)

#ifdef KIV_FUZZ_ENTRY
#define KIV_FUZZ_TARGET(name)                                                                       \
    static std::string KivFuzzBody_##name(const std::uint8_t *data, std::size_t size);             \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)              \
    {                                                                                               \
        KivFuzzBody_##name(data, size);                                                             \
        return 0;                                                                                   \
    }                                                                                               \
    static std::string KivFuzzBody_##name(const std::uint8_t *data, std::size_t size)
#else
#define KIV_FUZZ_TARGET(name)                                                                       \
    static std::string KivFuzzBody_##name(const std::uint8_t *data, std::size_t size);             \
    [[maybe_unused]] static const bool KIV_FUZZ_CAT(kivFuzzRegistered_, name) =                     \
        ::kiv::fuzz::RegisterTarget(#name, &KivFuzzBody_##name);                                    \
    static std::string KivFuzzBody_##name(const std::uint8_t *data, std::size_t size)
#endif
