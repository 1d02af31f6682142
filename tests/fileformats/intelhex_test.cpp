// Intel HEX reader: the three dialects, address records, and one clear message per bad record.

#include "intelhex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace kiv {
namespace {

std::vector<uint8_t> Bytes(const TIntelHex &hex, uint32_t from, uint32_t count)
{
    std::vector<uint8_t> out;
    for (uint32_t a = from; a < from + count; ++a) {
        uint8_t v = 0xEE;
        out.push_back(hex.ByteAt(a, &v) ? v : 0xEE);
    }
    return out;
}

TEST(IntelHex, Inhx8mDataAndEndRecord)
{
    TIntelHex hex;
    // gpasm's INHX8M output of "movlw 0x12 / goto 0x100 / nop" and two EEPROM bytes at 0x2100.
    ASSERT_TRUE(hex.Parse(":060000001230002900008F\n:0442000001000200B7\n:00000001FF\n")) << hex.Error();
    ASSERT_EQ(hex.Segments().size(), 2u);
    EXPECT_EQ(hex.Segments()[0].address, 0u);
    EXPECT_EQ(hex.Segments()[0].bytes, (std::vector<uint8_t>{0x12, 0x30, 0x00, 0x29, 0x00, 0x00}));
    EXPECT_EQ(hex.Segments()[1].address, 0x4200u);
    EXPECT_EQ(Bytes(hex, 0x4200, 4), (std::vector<uint8_t>{1, 0, 2, 0}));
    uint8_t v;
    EXPECT_FALSE(hex.ByteAt(6, &v));
    ASSERT_EQ(hex.DataSpans().size(), 2u);
    EXPECT_EQ(hex.DataSpans()[1].line, 2);
}

TEST(IntelHex, Inhx16WordsLandLowByteFirst)
{
    TIntelHex a, b;
    // gpasm -a inhx16 of the same program: counts and addresses are in words, words high byte first.
    ASSERT_TRUE(a.Parse(":0300000030122900000092\n:0221000000010002DA\n:00000001FF\n", hfInhx16)) << a.Error();
    ASSERT_TRUE(b.Parse(":060000001230002900008F\n:0442000001000200B7\n:00000001FF\n"));
    ASSERT_EQ(a.Segments().size(), b.Segments().size());
    for (size_t i = 0; i < a.Segments().size(); ++i) {
        EXPECT_EQ(a.Segments()[i].address, b.Segments()[i].address);
        EXPECT_EQ(a.Segments()[i].bytes, b.Segments()[i].bytes);
    }
}

TEST(IntelHex, ExtendedLinearAndSegmentAddresses)
{
    TIntelHex hex;
    ASSERT_TRUE(hex.Parse(":020000040030CA\n"          // upper 16 bits 0x0030
                          ":0100010055A9\n"            // byte 0x300001 = 0x55
                          ":020000021000EC\n"          // segment 0x1000: base 0x10000
                          ":02FFFF00AABB9B\n"          // wraps within the segment: 0x1FFFF and 0x10000
                          ":0400000300001234B3\n"      // start segment address
                          ":00000001FF\n"))
        << hex.Error();
    EXPECT_EQ(Bytes(hex, 0x300001, 1), std::vector<uint8_t>{0x55});
    EXPECT_EQ(Bytes(hex, 0x1FFFF, 1), std::vector<uint8_t>{0xAA});
    EXPECT_EQ(Bytes(hex, 0x10000, 1), std::vector<uint8_t>{0xBB});
    EXPECT_TRUE(hex.HasStartAddress());
    EXPECT_EQ(hex.StartAddress(), 0x1234u);
    // Segments come out in address order whatever the record order.
    for (size_t i = 1; i < hex.Segments().size(); ++i)
        EXPECT_LT(hex.Segments()[i - 1].address + hex.Segments()[i - 1].bytes.size(), hex.Segments()[i].address);
}

TEST(IntelHex, CommentsBlankLinesLowerCaseAndCrLf)
{
    TIntelHex hex;
    ASSERT_TRUE(hex.Parse("; Compiled for PIC16F877A\r\n\r\n  :020000040000fa  \r\n:02000000ab1241\r\n:00000001ff\r\n; after\r\n"))
        << hex.Error();
    EXPECT_EQ(Bytes(hex, 0, 2), (std::vector<uint8_t>{0xAB, 0x12}));
}

TEST(IntelHex, LaterRecordWinsWhereRecordsOverlap)
{
    TIntelHex hex;
    ASSERT_TRUE(hex.Parse(":020002001122C9\n:0400000001020304F2\n:00000001FF\n")) << hex.Error();
    ASSERT_EQ(hex.Segments().size(), 1u);
    EXPECT_EQ(hex.Segments()[0].bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

struct TBadCase {
    const char *name;
    const char *text;
    THexFormat format;
    int line;
    const char *message;  // a part of the message
};

class IntelHexBad : public ::testing::TestWithParam<TBadCase> {};

TEST_P(IntelHexBad, OneClearMessageWithTheLine)
{
    const TBadCase &c = GetParam();
    TIntelHex hex;
    EXPECT_FALSE(hex.Parse(c.text, c.format));
    EXPECT_EQ(hex.ErrorLine(), c.line);
    EXPECT_NE(hex.Error().find(c.message), std::string::npos) << hex.Error();
    if (c.line > 0) {
        EXPECT_EQ(hex.Error().rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << hex.Error();
    }
    EXPECT_TRUE(hex.Empty());
    EXPECT_TRUE(hex.DataSpans().empty());
}

const TBadCase kBadCases[] = {
    {"BadChecksum", ":060000001230002900008E\n:00000001FF\n", hfInhx32, 1, "checksum error (the record gives 8E, its bytes need 8F)"},
    {"ShortRecord", ":0600000012300029008F\n:00000001FF\n", hfInhx32, 1, "the byte count says 6 data bytes, but the record holds 5"},
    {"LongRecord", ":02000000123000BC\n:00000001FF\n", hfInhx32, 1, "but the record holds 3"},
    {"TooShort", ":000000\n", hfInhx32, 1, "too short"},
    {"OddDigits", ":0100000012E\n:00000001FF\n", hfInhx32, 1, "odd number"},
    {"BadDigit", ":01000000G2ED\n", hfInhx32, 1, "invalid character 'G'"},
    {"NoColon", "0100000055AA\n:00000001FF\n", hfInhx32, 1, "not a HEX record (a record begins with ':')"},
    {"Inhx16OddBytes", ":0300000030122900009B\n:00000001FF\n", hfInhx16, 1, "holds whole 16-bit words, but this one has 5 data bytes"},
    {"Inhx16CountInWords", ":06000000301229000000AA\n:00000001FF\n", hfInhx16, 1, "says 6 words (12 bytes)"},
    {"Truncated", ":060000001230002900008F\n", hfInhx32, 0, "without an end-of-file record"},
    {"Empty", "\n; nothing\n", hfInhx32, 0, "holds no HEX records"},
    {"UnknownType", ":00000006FA\n:00000001FF\n", hfInhx32, 1, "unknown record type 06"},
    {"EofWithData", ":01000001AA54\n", hfInhx32, 1, "end-of-file record holds no data"},
    {"ShortAddressRecord", ":0100000400FB\n:00000001FF\n", hfInhx32, 1, "extended linear address record holds 2 bytes"},
    {"SecondLineBad", "; comment\n:0100000055AA\n:0100010055AB\n:00000001FF\n", hfInhx32, 3, "checksum"},
    {"TextLine", ":0100000055AA\nhello\n:00000001FF\n", hfInhx32, 2, "not a HEX record"},
    {"BinaryBytes", ":01000000\x01\x02\x03\x04\n", hfInhx32, 1, "invalid character byte 0x01"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IntelHexBad, ::testing::ValuesIn(kBadCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(IntelHex, FailureLeavesNothingFromAnEarlierParse)
{
    TIntelHex hex;
    ASSERT_TRUE(hex.Parse(":0100000055AA\n:00000001FF\n"));
    EXPECT_FALSE(hex.Parse(":0100000055AB\n:00000001FF\n"));
    EXPECT_TRUE(hex.Empty());
    ASSERT_TRUE(hex.Parse(":0100000055AA\n:00000001FF\n"));
    EXPECT_TRUE(hex.Error().empty());
}

TEST(IntelHex, LoadNamesAMissingFile)
{
    TIntelHex hex;
    EXPECT_FALSE(hex.Load("/nonexistent/folder/x.hex"));
    EXPECT_NE(hex.Error().find("cannot open /nonexistent/folder/x.hex"), std::string::npos) << hex.Error();
}

TEST(IntelHex, WriterRoundTrip)
{
    std::vector<THexSegment> segments = {{0x0, {}}, {0xFFF8, {}}, {0x300000, {0x12, 0x34}}};
    for (int i = 0; i < 40; ++i)
        segments[0].bytes.push_back(uint8_t(i * 7));
    for (int i = 0; i < 20; ++i)  // crosses a 64 KB page
        segments[1].bytes.push_back(uint8_t(0xA0 + i));
    const std::string text = WriteIntelHex32(segments);
    TIntelHex hex;
    ASSERT_TRUE(hex.Parse(text)) << hex.Error();
    ASSERT_EQ(hex.Segments().size(), segments.size());
    for (size_t i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(hex.Segments()[i].address, segments[i].address);
        EXPECT_EQ(hex.Segments()[i].bytes, segments[i].bytes);
    }
}

TEST(IntelHex, RandomCorruptionNeverCrashes)
{
    std::vector<THexSegment> segments = {{0x100, {}}};
    for (int i = 0; i < 300; ++i)
        segments[0].bytes.push_back(uint8_t(i));
    const std::string good = WriteIntelHex32(segments);
    uint32_t seed = 12345;
    auto next = [&seed] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    int failures = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        const int edits = 1 + next() % 3;
        for (int e = 0; e < edits; ++e) {
            const size_t at = next() % text.size();
            switch (next() % 3) {
            case 0: text[at] = char(next()); break;
            case 1: text.erase(at, 1 + next() % 5); break;
            default: text.insert(at, 1, char(next())); break;
            }
        }
        TIntelHex hex;
        if (!hex.Parse(text)) {
            ++failures;
            EXPECT_FALSE(hex.Error().empty());
        }
    }
    EXPECT_GT(failures, 1500);  // nearly every corruption is caught by the count or the checksum
}

}  // namespace
}  // namespace kiv
