#pragma once

// Bounds-checked reads of little- and big-endian numbers from a byte range. Every read names
// its offset; a read that would pass the end yields false (or 0 from the unchecked helpers),
// never a read outside the range.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class TByteReader {
public:
    TByteReader() = default;
    TByteReader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    explicit TByteReader(const std::vector<std::uint8_t> &bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    std::size_t Size() const { return m_size; }
    const std::uint8_t *Data() const { return m_data; }

    /// True when `count` bytes from `offset` lie inside the range (overflow-safe).
    bool Has(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= m_size && count <= m_size - offset;
    }

    /// The reads below return 0 when the bytes are not there; callers check Has() first when
    /// a missing value is an error.
    std::uint8_t U8(std::uint64_t offset) const { return Has(offset, 1) ? m_data[offset] : 0; }
    std::uint16_t U16(std::uint64_t offset) const
    {
        if (!Has(offset, 2))
            return 0;
        return static_cast<std::uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::uint32_t U32(std::uint64_t offset) const
    {
        if (!Has(offset, 4))
            return 0;
        return static_cast<std::uint32_t>(m_data[offset]) | (static_cast<std::uint32_t>(m_data[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(m_data[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(m_data[offset + 3]) << 24);
    }
    /// Most significant byte first.
    std::uint32_t U32BigEndian(std::uint64_t offset) const
    {
        if (!Has(offset, 4))
            return 0;
        return (static_cast<std::uint32_t>(m_data[offset]) << 24) | (static_cast<std::uint32_t>(m_data[offset + 1]) << 16) |
               (static_cast<std::uint32_t>(m_data[offset + 2]) << 8) | static_cast<std::uint32_t>(m_data[offset + 3]);
    }

    /// `count` bytes from `offset` as text, cut at the first NUL; empty when out of range.
    std::string FixedText(std::uint64_t offset, std::size_t count) const
    {
        if (!Has(offset, count))
            return {};
        std::string text(reinterpret_cast<const char *>(m_data + offset), count);
        const std::size_t nul = text.find('\0');
        if (nul != std::string::npos)
            text.resize(nul);
        return text;
    }

    /// A length byte at `offset` followed by that many characters, at most `maxLength` of them
    /// (a longer length byte is cut). Characters past the end of the range are not read.
    std::string ShortText(std::uint64_t offset, std::size_t maxLength) const
    {
        if (!Has(offset, 1))
            return {};
        std::size_t length = m_data[offset];
        if (length > maxLength)
            length = maxLength;
        if (!Has(offset + 1, length))
            length = static_cast<std::size_t>(m_size - offset - 1);
        return std::string(reinterpret_cast<const char *>(m_data + offset + 1), length);
    }

    /// Text starting at `offset` up to the first NUL, at most `maxLength` characters; false
    /// when the offset is outside the range or no NUL ends the text within the range.
    bool NulText(std::uint64_t offset, std::size_t maxLength, std::string *text) const
    {
        if (offset >= m_size)
            return false;
        const std::size_t limit = static_cast<std::size_t>(m_size - offset);
        const char *start = reinterpret_cast<const char *>(m_data + offset);
        const std::size_t length = std::string_view(start, limit).find('\0');
        if (length == std::string_view::npos || length > maxLength)
            return false;
        text->assign(start, length);
        return true;
    }

private:
    const std::uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
};

/// Reads a whole file into `bytes`, refusing files larger than `maxSize`. On failure `error`
/// says why and `osError` (when given) receives the operating system's error number, 0 when the
/// failure was not the system's.
bool ReadFileBytes(const std::string &path, std::size_t maxSize, std::vector<std::uint8_t> *bytes,
                   std::string *error, int *osError = nullptr);

}  // namespace kiv
