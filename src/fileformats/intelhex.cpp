#include "intelhex.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace kiv {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Hex2(unsigned value)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

void TIntelHex::Clear()
{
    m_segments.clear();
    m_spans.clear();
    m_error.clear();
    m_errorLine = 0;
    m_hasStart = false;
    m_start = 0;
    m_ordered = true;
}

bool TIntelHex::Fail(int line, const std::string &message)
{
    m_segments.clear();
    m_spans.clear();
    m_hasStart = false;
    m_start = 0;
    m_errorLine = line;
    m_error = line > 0 ? "line " + std::to_string(line) + ": " + message : message;
    return false;
}

void TIntelHex::AddData(uint32_t address, const uint8_t *bytes, size_t count, int line)
{
    m_spans.push_back({address, uint32_t(count), line});
    if (!m_segments.empty()) {
        THexSegment &last = m_segments.back();
        const uint64_t end = uint64_t(last.address) + last.bytes.size();
        if (end == address) {
            last.bytes.insert(last.bytes.end(), bytes, bytes + count);
            return;
        }
        if (address < end)
            m_ordered = false;
    }
    m_segments.push_back({address, std::vector<uint8_t>(bytes, bytes + count)});
}

// Records out of order or overlapping are rare; they are put in order byte by byte, later
// records overriding earlier ones.
void TIntelHex::Normalise()
{
    if (m_ordered)
        return;
    std::map<uint32_t, uint8_t> bytes;
    for (const THexSegment &segment : m_segments)
        for (size_t i = 0; i < segment.bytes.size(); ++i)
            bytes[uint32_t(segment.address + i)] = segment.bytes[i];
    m_segments.clear();
    for (const auto &[address, value] : bytes) {
        if (m_segments.empty() || uint64_t(m_segments.back().address) + m_segments.back().bytes.size() != address)
            m_segments.push_back({address, {}});
        m_segments.back().bytes.push_back(value);
    }
    m_ordered = true;
}

bool TIntelHex::Parse(std::string_view text, THexFormat format)
{
    Clear();
    uint32_t base = 0;       // from type 2 and type 4 records
    bool segmented = false;  // type 2 addresses wrap within their 64 KB segment
    int line = 0;
    size_t pos = 0;
    std::vector<uint8_t> record;
    std::vector<uint8_t> data;
    bool ended = false;
    bool sawRecord = false;
    while (pos < text.size() && !ended) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view row = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        while (!row.empty() && IsBlank(row.front()))
            row.remove_prefix(1);
        while (!row.empty() && IsBlank(row.back()))
            row.remove_suffix(1);
        if (row.empty() || row.front() == ';')
            continue;
        if (row.front() != ':')
            return Fail(line, "not a HEX record (a record begins with ':')");
        row.remove_prefix(1);
        sawRecord = true;
        if (row.size() < 10)
            return Fail(line, "the record is too short (a record holds at least 5 bytes)");
        record.clear();
        for (size_t i = 0; i < row.size(); i += 2) {
            const int high = HexValue(row[i]);
            const int low = i + 1 < row.size() ? HexValue(row[i + 1]) : 0;
            if (high < 0 || low < 0) {
                const char bad = high < 0 ? row[i] : row[i + 1];
                const std::string shown = bad >= 0x20 && bad < 0x7F ? std::string("'") + bad + "'"
                                                                    : "byte 0x" + Hex2(uint8_t(bad));
                return Fail(line, "invalid character " + shown + " in the record");
            }
            if (i + 1 >= row.size())
                return Fail(line, "the record has an odd number of hexadecimal digits");
            record.push_back(uint8_t(high * 16 + low));
        }
        const unsigned count = record[0];
        const unsigned offset = record[1] * 256u + record[2];
        const unsigned type = record[3];
        const size_t dataBytes = record.size() - 5;
        if (format == hfInhx16 && type == 0 && dataBytes % 2)
            return Fail(line, "an INHX16 record holds whole 16-bit words, but this one has "
                                  + std::to_string(dataBytes) + " data bytes");
        const size_t expected = format == hfInhx16 && type == 0 ? size_t(count) * 2 : count;
        if (dataBytes != expected) {
            const std::string unit = format == hfInhx16 && type == 0 ? " words (" + std::to_string(expected) + " bytes)"
                                                                      : " data bytes";
            return Fail(line, "the byte count says " + std::to_string(count) + unit + ", but the record holds "
                                  + std::to_string(dataBytes) + " data bytes");
        }
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < record.size(); ++i)
            sum += record[i];
        const unsigned checksum = (0x100 - (sum & 0xFF)) & 0xFF;
        if (checksum != record.back())
            return Fail(line, "checksum error (the record gives " + Hex2(record.back()) + ", its bytes need "
                                  + Hex2(checksum) + ")");
        const uint8_t *payload = record.data() + 4;
        switch (type) {
        case 0: {
            if (dataBytes == 0)
                break;
            if (format == hfInhx16) {
                // Words high byte first, addressed by word: put them into the byte image low byte first.
                data.resize(dataBytes);
                for (size_t i = 0; i < dataBytes; i += 2) {
                    data[i] = payload[i + 1];
                    data[i + 1] = payload[i];
                }
                const uint64_t address = (uint64_t(base) + offset) * 2;
                if (address + dataBytes > 0x100000000ull)
                    return Fail(line, "the record's data runs past the 4 GB address space");
                AddData(uint32_t(address), data.data(), dataBytes, line);
            } else if (segmented && offset + dataBytes > 0x10000) {
                // Extended segment addressing wraps within the 64 KB segment.
                const size_t first = 0x10000 - offset;
                AddData(base + offset, payload, first, line);
                AddData(base, payload + first, dataBytes - first, line);
            } else {
                const uint64_t address = uint64_t(base) + offset;
                if (address + dataBytes > 0x100000000ull)
                    return Fail(line, "the record's data runs past the 4 GB address space");
                AddData(uint32_t(address), payload, dataBytes, line);
            }
            break;
        }
        case 1:
            if (count != 0)
                return Fail(line, "an end-of-file record holds no data, but this one has " + std::to_string(count) + " bytes");
            ended = true;
            break;
        case 2:
        case 4:
            if (count != 2)
                return Fail(line, std::string(type == 2 ? "an extended segment" : "an extended linear")
                                      + " address record holds 2 bytes, but this one has " + std::to_string(count));
            base = (payload[0] * 256u + payload[1]) << (type == 2 ? 4 : 16);
            segmented = type == 2;
            break;
        case 3:
        case 5:
            if (count != 4)
                return Fail(line, std::string("a start address record holds 4 bytes, but this one has ") + std::to_string(count));
            m_hasStart = true;
            m_start = type == 5 ? (uint32_t(payload[0]) << 24) | (payload[1] << 16) | (payload[2] << 8) | payload[3]
                                : (payload[0] * 256u + payload[1]) * 16 + payload[2] * 256u + payload[3];
            break;
        default:
            return Fail(line, "unknown record type " + Hex2(type));
        }
    }
    if (!ended && m_spans.empty() && !sawRecord)
        return Fail(0, "the file holds no HEX records");
    if (!ended)
        return Fail(0, "the file ends at line " + std::to_string(line)
                           + " without an end-of-file record (:00000001FF); it may be truncated");
    Normalise();
    return true;
}

bool TIntelHex::Load(const std::string &path, THexFormat format)
{
    Clear();
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Fail(0, "cannot open " + path + ": " + std::strerror(errno));
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool bad = std::ferror(file);
    const int error = errno;
    std::fclose(file);
    if (bad)
        return Fail(0, "cannot read " + path + ": " + std::strerror(error));
    return Parse(text, format);
}

bool TIntelHex::ByteAt(uint32_t address, uint8_t *value) const
{
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), address,
                               [](uint32_t a, const THexSegment &s) { return a < s.address; });
    if (it == m_segments.begin())
        return false;
    --it;
    if (address - it->address >= it->bytes.size())
        return false;
    *value = it->bytes[address - it->address];
    return true;
}

std::string WriteIntelHex32(const std::vector<THexSegment> &segments)
{
    std::string out;
    uint32_t upper = 0;
    auto record = [&out](unsigned type, unsigned offset, const uint8_t *bytes, size_t count) {
        unsigned sum = unsigned(count) + (offset >> 8) + (offset & 0xFF) + type;
        out += ':' + Hex2(unsigned(count)) + Hex2(offset >> 8) + Hex2(offset & 0xFF) + Hex2(type);
        for (size_t i = 0; i < count; ++i) {
            out += Hex2(bytes[i]);
            sum += bytes[i];
        }
        out += Hex2((0x100 - (sum & 0xFF)) & 0xFF) + "\r\n";
    };
    for (const THexSegment &segment : segments) {
        size_t i = 0;
        while (i < segment.bytes.size()) {
            const uint32_t address = segment.address + uint32_t(i);
            if ((address >> 16) != upper) {
                upper = address >> 16;
                const uint8_t value[2] = {uint8_t(upper >> 8), uint8_t(upper)};
                record(4, 0, value, 2);
            }
            // A record stays within its 64 KB page and holds at most 16 bytes.
            const size_t room = 0x10000 - (address & 0xFFFF);
            const size_t count = std::min({size_t(16), segment.bytes.size() - i, room});
            record(0, address & 0xFFFF, segment.bytes.data() + i, count);
            i += count;
        }
    }
    record(1, 0, nullptr, 0);
    return out;
}

}  // namespace kiv
