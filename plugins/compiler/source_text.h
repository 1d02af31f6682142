#pragma once

// Source files as lines, for turning the tools' line numbers into columns.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::compiler {

/// Reads a text file as lines (LF or CR LF ends). Files above `maxBytes` or unreadable files give
/// false and no lines.
bool ReadTextLines(const std::string &path, std::vector<std::string> *lines,
                   std::size_t maxBytes = 64u * 1024 * 1024);

/// Reads a whole file; false when it can not be read or exceeds `maxBytes`.
bool ReadWholeFile(const std::string &path, std::string *data, std::size_t maxBytes = 64u * 1024 * 1024);

/// The 1-based character column of byte offset `bytePos` in `line`: UTF-8 sequences count as one
/// character when the line is valid UTF-8, otherwise every byte is one character (Latin-1).
int CharacterColumn(std::string_view line, std::size_t bytePos);

/// Byte offset of the first whole-word occurrence of `token` in `line` before its ";" comment,
/// or npos. Word characters are letters, digits, "_", "." and "$" (assembler identifiers).
std::size_t FindToken(std::string_view line, std::string_view token, bool ignoreCase);

/// The text the assembler or linker quoted in a message: the first "..." part, else the last
/// (...) part that is a single word; empty when there is none.
std::string QuotedToken(std::string_view message);

/// Lines of source files, read once per build.
class TSourceCache {
public:
    /// The lines of `path`, or nullptr when it can not be read.
    const std::vector<std::string> *Lines(const std::string &path);

private:
    std::map<std::string, std::vector<std::string>> m_files;
    std::map<std::string, bool> m_failed;
};

}  // namespace kiv::compiler
