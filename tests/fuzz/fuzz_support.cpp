#include "fuzz_target.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kiv::fuzz {

std::string ScratchFolder()
{
    // Memory-backed when the machine has it: targets write a file for every input. The name
    // lives as long as the program, so the clean-up at exit can still read it.
    static const std::string &folder = *new std::string([] {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error))
            base = std::filesystem::temp_directory_path(error);
        std::string pattern = (base / "kivfuzz.XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return pattern;
    }());
    return folder;
}

std::string WriteScratchFile(const std::string &name, const std::uint8_t *data, std::size_t size)
{
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

}  // namespace kiv::fuzz
