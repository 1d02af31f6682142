#include "listing_index.h"

#include "byte_reader.h"

#include <algorithm>

namespace kiv {

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

}  // namespace

bool TListingIndex::ParseCodeLine(std::string_view text, std::uint32_t *address)
{
    std::size_t at = 0;
    std::uint32_t value = 0;
    while (at < text.size() && IsHexDigit(text[at])) {
        value = (value << 4) | HexValue(text[at]);
        ++at;
    }
    if (at < 4 || at > 8)
        return false;
    const std::size_t gap = at;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (at == gap)
        return false;
    const std::size_t word = at;
    while (at < text.size() && IsHexDigit(text[at]))
        ++at;
    if (at - word != 4)
        return false;
    if (at < text.size() && text[at] != ' ' && text[at] != '\t' && text[at] != '\r')
        return false;
    *address = value;
    return true;
}

void TListingIndex::Parse(std::string_view text)
{
    m_lines.clear();
    m_byAddress.clear();
    int line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++line;
        std::uint32_t address = 0;
        if (ParseCodeLine(text.substr(start, end - start), &address))
            m_lines.push_back({line, address});
        start = end + 1;
    }
    m_byAddress = m_lines;
    std::stable_sort(m_byAddress.begin(), m_byAddress.end(),
                     [](const TListingCodeLine &a, const TListingCodeLine &b) { return a.address < b.address; });
}

bool TListingIndex::Load(const std::string &path)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path, kMaxFileSize, &bytes, &error)) {
        m_lines.clear();
        m_byAddress.clear();
        return false;
    }
    Parse(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    return true;
}

int TListingIndex::ListLineOfAddress(std::uint32_t address) const
{
    const auto it = std::lower_bound(m_byAddress.begin(), m_byAddress.end(), address,
                                     [](const TListingCodeLine &a, std::uint32_t value) { return a.address < value; });
    if (it == m_byAddress.end() || it->address != address)
        return 0;
    return it->line;
}

bool TListingIndex::AddressOfListLine(int line, std::uint32_t *address) const
{
    const auto it = std::lower_bound(m_lines.begin(), m_lines.end(), line,
                                     [](const TListingCodeLine &a, int value) { return a.line < value; });
    if (it == m_lines.end() || it->line != line)
        return false;
    *address = it->address;
    return true;
}

}  // namespace kiv
