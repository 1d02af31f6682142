#pragma once

// Intel HEX reader: INHX8M, INHX32 (extended linear and extended segment address records) and
// INHX16. Plain C++ on bytes; every record's length and checksum is checked, and a bad record is
// reported with its line number. The result is a byte image addressed by byte address.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

/// The HEX dialects. INHX8M and INHX32 count bytes and address bytes; INHX16 counts 16-bit words,
/// addresses words and stores each word high byte first.
enum THexFormat {
    hfInhx32,  ///< INHX8M or INHX32 (INHX8M is INHX32 without address records)
    hfInhx16,
};

/// A run of consecutive bytes of the image.
struct THexSegment {
    uint32_t address = 0;         ///< byte address of bytes[0]
    std::vector<uint8_t> bytes;
};

/// Where one data record put its bytes; used to report data outside a program image by line.
struct THexDataSpan {
    uint32_t address = 0;  ///< first byte address
    uint32_t size = 0;     ///< number of bytes
    int line = 0;          ///< 1-based line of the record in the file
};

/// The bytes of a HEX file, by byte address. A word of an INHX16 file at word address w lands at
/// byte addresses 2w (low byte) and 2w + 1 (high byte), as in an INHX8M file of the same program.
class TIntelHex {
public:
    /// Parses the text of a HEX file. On failure the image is left empty, the result is false
    /// and Error() / ErrorLine() tell what was wrong where. Blank lines and comment lines (";")
    /// are skipped; reading stops at the end-of-file record, which must be there.
    bool Parse(std::string_view text, THexFormat format = hfInhx32);
    /// Reads and parses a file; a file that cannot be read is an error naming the file.
    bool Load(const std::string &path, THexFormat format = hfInhx32);

    /// The reason of the last failure, a whole sentence that begins with "line N: " when a
    /// record is at fault; empty after success.
    const std::string &Error() const { return m_error; }
    /// The 1-based line of the bad record, 0 when the failure was not a record's.
    int ErrorLine() const { return m_errorLine; }

    /// The image as runs of bytes in increasing address order, without overlaps; a byte given
    /// twice keeps the later record's value.
    const std::vector<THexSegment> &Segments() const { return m_segments; }
    /// The data records in file order.
    const std::vector<THexDataSpan> &DataSpans() const { return m_spans; }
    /// The byte at a byte address; false when the file gives none.
    bool ByteAt(uint32_t address, uint8_t *value) const;
    /// True when the file holds no data bytes.
    bool Empty() const { return m_segments.empty(); }
    /// The start address of a type 3 or 5 record, when the file has one.
    bool HasStartAddress() const { return m_hasStart; }
    uint32_t StartAddress() const { return m_start; }

    /// Forgets everything read.
    void Clear();

private:
    bool Fail(int line, const std::string &message);
    void AddData(uint32_t address, const uint8_t *bytes, size_t count, int line);
    void Normalise();

    std::vector<THexSegment> m_segments;
    std::vector<THexDataSpan> m_spans;
    std::string m_error;
    int m_errorLine = 0;
    bool m_hasStart = false;
    uint32_t m_start = 0;
    bool m_ordered = true;
};

/// Writes bytes as INHX32 text (16 data bytes a record, extended linear address records where
/// the upper 16 address bits change, CR LF line ends) — for tests and tools.
std::string WriteIntelHex32(const std::vector<THexSegment> &segments);

}  // namespace kiv
