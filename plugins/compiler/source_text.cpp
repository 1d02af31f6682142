#include "source_text.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace kiv::compiler {

namespace {

bool IsWordChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '.' || c == '$' || c >= 0x80;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            extra = 1;
        else if ((c & 0xF0) == 0xE0)
            extra = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= text.size() && extra > 0)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

bool SameChar(char a, char b, bool ignoreCase)
{
    if (!ignoreCase)
        return a == b;
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

bool ReadWholeFile(const std::string &path, std::string *data, std::size_t maxBytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes)
        return false;
    in.seekg(0, std::ios::beg);
    data->assign(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(data->data(), size))
        return false;
    return true;
}

bool ReadTextLines(const std::string &path, std::vector<std::string> *lines, std::size_t maxBytes)
{
    lines->clear();
    std::string data;
    if (!ReadWholeFile(path, &data, maxBytes))
        return false;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos)
            end = data.size();
        std::size_t stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        lines->emplace_back(data, start, stop - start);
        start = end + 1;
    }
    return true;
}

int CharacterColumn(std::string_view line, std::size_t bytePos)
{
    bytePos = std::min(bytePos, line.size());
    if (!IsValidUtf8(line))
        return static_cast<int>(bytePos) + 1;
    int column = 1;
    for (std::size_t i = 0; i < bytePos; ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
            ++column;
    }
    return column;
}

std::size_t FindToken(std::string_view line, std::string_view token, bool ignoreCase)
{
    if (token.empty())
        return std::string_view::npos;
    std::size_t end = line.size();
    // The comment starts at the first ";" outside a quoted string.
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            end = i;
            break;
        }
    }
    if (token.size() > end)
        return std::string_view::npos;
    for (std::size_t pos = 0; pos + token.size() <= end; ++pos) {
        bool match = true;
        for (std::size_t k = 0; k < token.size() && match; ++k)
            match = SameChar(line[pos + k], token[k], ignoreCase);
        if (!match)
            continue;
        const bool leftOk = pos == 0 || !IsWordChar(static_cast<unsigned char>(line[pos - 1]));
        const std::size_t after = pos + token.size();
        const bool rightOk = after >= end || !IsWordChar(static_cast<unsigned char>(line[after]));
        if (leftOk && rightOk)
            return pos;
    }
    return std::string_view::npos;
}

std::string QuotedToken(std::string_view message)
{
    const std::size_t open = message.find('"');
    if (open != std::string_view::npos) {
        const std::size_t close = message.find('"', open + 1);
        if (close != std::string_view::npos && close > open + 1)
            return std::string(message.substr(open + 1, close - open - 1));
    }
    const std::size_t lastOpen = message.rfind('(');
    if (lastOpen != std::string_view::npos) {
        const std::size_t close = message.find(')', lastOpen);
        if (close != std::string_view::npos && close > lastOpen + 1) {
            const std::string_view inner = message.substr(lastOpen + 1, close - lastOpen - 1);
            const bool oneWord = std::all_of(inner.begin(), inner.end(), [](char c) {
                return IsWordChar(static_cast<unsigned char>(c));
            });
            if (oneWord)
                return std::string(inner);
        }
    }
    return {};
}

const std::vector<std::string> *TSourceCache::Lines(const std::string &path)
{
    const auto found = m_files.find(path);
    if (found != m_files.end())
        return &found->second;
    if (m_failed.count(path))
        return nullptr;
    std::vector<std::string> lines;
    if (!ReadTextLines(path, &lines)) {
        m_failed[path] = true;
        return nullptr;
    }
    return &m_files.emplace(path, std::move(lines)).first->second;
}

}  // namespace kiv::compiler
