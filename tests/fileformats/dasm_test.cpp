// Disassembler listings of the 12-bit, 14-bit and PIC18 families: layout, labels, page tracking,
// operand formats, HEX and binary input, and bad input.

#include "dasm_listing.h"
#include "dasm_pic18.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kiv {
namespace {

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// An INHX32 file of 16-bit words from a word address, low byte first.
std::string HexOfWords(const std::vector<std::pair<uint32_t, std::vector<uint16_t>>> &blocks, unsigned bytesPerWord = 2)
{
    std::vector<THexSegment> segments;
    for (const auto &[wordAddress, words] : blocks) {
        THexSegment segment{wordAddress * 2, {}};
        for (uint16_t w : words) {
            segment.bytes.push_back(uint8_t(w));
            segment.bytes.push_back(uint8_t(w >> 8));
        }
        segments.push_back(segment);
    }
    return WriteIntelHex32(segments);
}

std::string List(TDasmFamily family, const std::string &hex, TDasmLabelFormat labels = lfAddresses,
                 TDasmNumberFormat numbers = nfC)
{
    TDasmOptions options;
    options.family = family;
    options.labels = labels;
    options.numbers = numbers;
    std::string listing, error;
    EXPECT_TRUE(DisassembleBytes(options, hex, &listing, &error)) << error;
    return listing;
}

TEST(FormatByteOperand, ByNumberFormat)
{
    struct TCase {
        unsigned value;
        const char *simple, *asmText, *c;
    };
    const TCase cases[] = {
        {0x05, "5", "5", "5"},         {0x00, "0", "0", "0"},       {0x09, "9", "9", "9"},
        {0x0C, "C", "0Ch", "0xC"},     {0x0A, "A", "0Ah", "0xA"},   {0x1F, "1F", "1Fh", "0x1F"},
        {0xAB, "AB", "0ABh", "0xAB"},  {0xFF, "FF", "0FFh", "0xFF"}, {0x10, "10", "10h", "0x10"},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(FormatByteOperand(c.value, nfSimple), c.simple) << c.value;
        EXPECT_EQ(FormatByteOperand(c.value, nfAsm), c.asmText) << c.value;
        EXPECT_EQ(FormatByteOperand(c.value, nfC), c.c) << c.value;
    }
}

// One word at address 5 (nothing around it), label format 0, each number format.
TEST(MidRange, WordTexts)
{
    struct TCase {
        bool fourteen;
        uint16_t word;
        TDasmNumberFormat numbers;
        const char *text;
    };
    const TCase cases[] = {
        {true, 0x3012, nfC, "MOVLW  0x12"},     {true, 0x300C, nfSimple, "MOVLW  C"},
        {true, 0x300C, nfAsm, "MOVLW  0Ch"},    {true, 0x3009, nfAsm, "MOVLW  9"},
        {true, 0x07A0, nfC, "ADDWF  0x20,F"},   {true, 0x0521, nfC, "ANDWF  0x21,W"},
        {true, 0x0BA5, nfC, "DECFSZ 0x25,F"},   {true, 0x0F27, nfC, "INCFSZ 0x27,W"},
        {true, 0x01A2, nfC, "CLRF   0x22"},     {true, 0x0103, nfC, "CLRW"},
        {true, 0x00AA, nfC, "MOVWF  0x2A"},     {true, 0x0066, nfC, "TRIS   6"},
        {true, 0x0000, nfC, "NOP"},             {true, 0x0008, nfC, "RETURN"},
        {true, 0x0009, nfC, "RETFIE"},          {true, 0x0062, nfC, "OPTION"},
        {true, 0x0063, nfC, "SLEEP"},           {true, 0x0064, nfC, "CLRWDT"},
        {true, 0x0001, nfC, "???"},             {true, 0x10B0, nfC, "BCF    0x30,1"},
        {true, 0x17B1, nfC, "BSF    0x31,7"},   {true, 0x1903, nfC, "BTFSC  3,2"},
        {true, 0x1C7F, nfC, "BTFSS  0x7F,0"},   {true, 0x3E0C, nfC, "ADDLW  0xC"},
        {true, 0x340A, nfC, "RETLW  0xA"},      {true, 0x3CAB, nfC, "SUBLW  0xAB"},
        {true, 0x3809, nfC, "IORLW  9"},        {true, 0x39FF, nfC, "ANDLW  0xFF"},
        {true, 0x3A1F, nfC, "XORLW  0x1F"},     {true, 0x3B1F, nfC, "  0x1F"},
        {true, 0x3080, nfC, "MOVLW  0x80"},     {true, 0x1080, nfC, "BCF    0,1"},
        {true, 0x2123, nfC, "CALL   0123"},     {true, 0x2C56, nfC, "GOTO   0456"},
        {true, 0x4000, nfC, ""},
        {false, 0x0C12, nfC, "MOVLW  0x12"},    {false, 0x0800, nfC, "RETLW  0"},
        {false, 0x0D0C, nfAsm, "IORLW  0Ch"},   {false, 0x0E0C, nfSimple, "ANDLW  C"},
        {false, 0x0FFF, nfC, "XORLW  0xFF"},    {false, 0x01FF, nfC, "ADDWF  0x1F,F"},
        {false, 0x0080, nfC, "SUBWF  0,W"},     {false, 0x02E5, nfC, "DECFSZ 5,F"},
        {false, 0x0065, nfC, "CLRF   5"},       {false, 0x0026, nfC, "MOVWF  6"},
        {false, 0x0005, nfC, "TRIS   5"},       {false, 0x0040, nfC, "CLRW"},
        {false, 0x0002, nfC, "OPTION"},         {false, 0x0003, nfC, "SLEEP"},
        {false, 0x0004, nfC, "CLRWDT"},         {false, 0x0000, nfC, "NOP"},
        {false, 0x0041, nfC, "???"},            {false, 0x04A6, nfC, "BCF    6,5"},
        {false, 0x07E3, nfC, "BTFSS  3,7"},     {false, 0x09FF, nfC, "CALL   00FF"},
        {false, 0x0BFF, nfC, "GOTO   01FF"},    {false, 0x1000, nfC, ""},
    };
    for (const TCase &c : cases) {
        TMidRangeImage image;
        image.Word(5) = c.word;
        const TMidRangeStyle style{c.numbers, lfAddresses, false};
        EXPECT_EQ(DecodeMidRange(image, 5, c.fourteen, style), c.text) << std::hex << c.word;
    }
}

TEST(MidRange, RomWindowForms)
{
    TMidRangeImage image;
    const std::pair<uint16_t, const char *> cases[] = {
        {0x198C, "BTFSC  0C.3"}, {0x3005, "MOVLW  05"}, {0x07A0, "ADDWF  20,F"},
        {0x2123, "CALL   123"},  {0x2FFF, "GOTO   7FF"}, {0x00FF, "MOVWF  7F"},
    };
    for (const auto &[word, text] : cases) {
        image.Word(0x900) = word;
        image.Word(0x8FF) = 0x160A;  // page tracking does not apply in the ROM window
        EXPECT_EQ(DecodeMidRange(image, 0x900, true, {nfC, lfAddresses, true}), text);
    }
}

TEST(MidRange, ListingLayoutAndLabels)
{
    // CALL 0x123 at 0x10, MOVLW 0x12 at 0x11; RETURN at 0x123; a configuration word at 0x2007.
    const std::string hex = HexOfWords({{0x10, {0x2123, 0x3012}}, {0x123, {0x0008}}, {0x2007, {0x3F39}}});
    EXPECT_EQ(Lines(List(dfBits14, hex, lfAddresses)),
              (std::vector<std::string>{"0010: 2123  CALL   0123", "0011: 3012  MOVLW  0x12", "0123: 0008  RETURN",
                                        "2007: 3F39"}));
    EXPECT_EQ(Lines(List(dfBits14, hex, lfCLabel)),
              (std::vector<std::string>{"0000: ", "       ", "0010: CALL   L0123", "       MOVLW  0x12", "L0123: RETURN",
                                        "2007: 3F39"}));
    EXPECT_EQ(Lines(List(dfBits14, hex, lfMcAsmLabel)),
              (std::vector<std::string>{"0000: ", "       ", "0010: CALL   L0123", "       MOVLW  0x12", "L0123  RETURN",
                                        "2007: 3F39"}));
}

TEST(MidRange, EmptyInput)
{
    EXPECT_EQ(List(dfBits14, ":00000001FF\n", lfAddresses), "");
    EXPECT_EQ(List(dfBits14, ":00000001FF\n", lfCLabel), "0000: \r\n");
    EXPECT_EQ(List(dfBits12, ":00000001FF\n", lfMcAsmLabel), "0000: \r\n");
}

TEST(MidRange, PageTracking14)
{
    struct TCase {
        std::vector<uint16_t> before;
        uint16_t call;
        unsigned address;
        const char *text;
    };
    const TCase cases[] = {
        {{0x3018, 0x008A}, 0x2010, 0x100, "CALL   1810"},  // MOVLW 0x18, MOVWF PCLATH
        {{0x3008, 0x008A}, 0x2010, 0x100, "CALL   0810"},
        {{0x0000, 0x018A}, 0x2810, 0x900, "GOTO   0010"},  // CLRF PCLATH clears the page bits
        {{0x0000, 0x158A}, 0x2010, 0x100, "CALL   0810"},  // BSF PCLATH,3
        {{0x0000, 0x160A}, 0x2010, 0x100, "CALL   1010"},  // BSF PCLATH,4
        {{0x118A, 0x0000}, 0x2010, 0x900, "CALL   0010"},  // BCF PCLATH,3 two words before
        {{0x158A, 0x118A}, 0x2010, 0x100, "CALL   0810"},  // the farther write wins
        {{0x0000, 0x0000}, 0x2010, 0x1900, "CALL   1810"},  // the page of the instruction's own address
    };
    for (const TCase &c : cases) {
        TMidRangeImage image;
        image.Word(c.address - 2) = c.before[0];
        image.Word(c.address - 1) = c.before[1];
        image.Word(c.address) = c.call;
        EXPECT_EQ(DecodeMidRange(image, c.address, true, {}), c.text) << c.text;
    }
}

TEST(MidRange, PageTracking12)
{
    TMidRangeImage image;
    image.Word(0x200) = 0x0A10;  // GOTO 0x10 at 0x200: page 1 from its own address
    EXPECT_EQ(DecodeMidRange(image, 0x200, false, {}), "GOTO   0210");
    image.Word(0x1FF) = 0x04AA;  // BCF 0x0A,5 right before
    EXPECT_EQ(DecodeMidRange(image, 0x200, false, {}), "GOTO   0010");
    image.Word(0x1FF) = 0x0000;
    image.Word(0x1FE) = 0x05CA;  // BSF 0x0A,6 two words before
    EXPECT_EQ(DecodeMidRange(image, 0x200, false, {}), "GOTO   0610");
    image.Word(0x1FF) = 0x04CA;  // BCF 0x0A,6 right before is tested first
    EXPECT_EQ(DecodeMidRange(image, 0x200, false, {}), "GOTO   0210");
}

TEST(MidRange, LabelsFollowPageTracking)
{
    // MOVLW 0x18, MOVWF 0x0A, CALL 0x010 at 0: the label is at 0x1810, the word there is listed with it.
    const std::string hex = HexOfWords({{0, {0x3018, 0x008A, 0x2010}}, {0x1810, {0x0008}}});
    const std::vector<std::string> lines = Lines(List(dfBits14, hex, lfCLabel));
    EXPECT_EQ(lines[3], "       CALL   L1810");
    EXPECT_EQ(lines[4], "L1810: RETURN");
}

TEST(MidRange, BinaryInput)
{
    TDasmOptions options;
    options.family = dfBits14;
    options.hexInput = false;
    options.labels = lfAddresses;
    std::string listing, error;
    // MOVLW 0x12, an erased word 0xFFFF (not listed), then an odd final byte.
    const std::string bytes("\x12\x30\xFF\xFF\x08", 5);
    ASSERT_TRUE(DisassembleBytes(options, bytes, &listing, &error)) << error;
    EXPECT_EQ(Lines(listing), (std::vector<std::string>{"0000: 3012  MOVLW  0x12", "0002: FF08  "}));
    EXPECT_FALSE(DisassembleBytes(options, std::string(0x8001, '\0'), &listing, &error));
    EXPECT_NE(error.find("more than the 32768 bytes"), std::string::npos) << error;
    options.family = dfBits16;
    EXPECT_FALSE(DisassembleBytes(options, bytes, &listing, &error));
}

struct TBadInput {
    const char *name;
    TDasmFamily family;
    THexFormat format;
    std::string text;
    const char *message;
};

class DasmBadInput : public ::testing::TestWithParam<TBadInput> {};

TEST_P(DasmBadInput, OneClearMessageNoListing)
{
    const TBadInput &c = GetParam();
    TDasmOptions options;
    options.family = c.family;
    options.hexFormat = c.format;
    std::string listing = "untouched";
    std::string error;
    EXPECT_FALSE(DisassembleBytes(options, c.text, &listing, &error));
    EXPECT_EQ(listing, "untouched");
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
}

const TBadInput kBadInputs[] = {
    {"BadChecksum", dfBits14, hfInhx32, ":020000001230BD\n:00000001FF\n", "line 1: checksum error"},
    {"ShortRecord", dfBits16, hfInhx32, ":020000000000\n:00000001FF\n", "line 1: the byte count says 2"},
    {"OddInhx16", dfBits14, hfInhx16, ":010000003012009D\n:00000001FF\n", "line 1: an INHX16 record holds whole 16-bit words"},
    {"PastImage14", dfBits14, hfInhx32, ":020000040001F9\n:020000000000FE\n:00000001FF\n",
     "line 2: data at byte address 0x10000 lies outside the program image"},
    {"PastImage12", dfBits12, hfInhx32, ":02800000FFFF80\n:00000001FF\n", "line 1: data at byte address 0x8000"},
    {"PastImage18", dfBits16, hfInhx32, ":020000040040BA\n:020000000000FE\n:00000001FF\n",
     "line 2: data at byte address 0x400000 lies outside the PIC18 memory"},
    {"PastImage24", dfBits24, hfInhx32, ":020000040200F8\n:0400000000000000FC\n:00000001FF\n",
     "line 2: data at byte address 0x2000000 lies outside the dsPIC memory"},
    {"Truncated", dfBits24, hfInhx32, ":0400000000000000FC\n", "without an end-of-file record"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DasmBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Pic18, WordTexts)
{
    struct TCase {
        uint32_t address;
        uint16_t word;
        const char *text;
    };
    const TCase cases[] = {
        {0x10, 0xD7FF, "BRA    0010"},    {0x20, 0xE005, "BZ    002C"},   {0, 0x6E81, "MOVWF  F81"},
        {0, 0x6F81, "MOVWF  x81"},        {0, 0x8680, "BSF    F80.3"},  {0, 0x867F, "BSF    7F.3"},
        {0, 0x0E12, "MOVLW  12"},         {0, 0x0812, "SUBLW  12"},     {0, 0x0D05, "MULLW  05"},
        {0, 0x0105, "MOVLB  5"},          {0, 0x0013, "RETURN 1"},      {0, 0x0010, "RETFIE 0"},
        {0, 0x0014, "???"},               {0, 0x0230, "MULWF  30"},     {0, 0x0521, "DECF   x21,W"},
        {0, 0x0000, "NOP   "},            {0, 0x0003, "SLEEP "},        {0, 0x0004, "CLRWDT"},
        {0, 0x0005, "PUSH  "},            {0, 0x0006, "POP   "},        {0, 0x0007, "DAW   "},
        {0, 0x0008, "TBLRD*"},            {0, 0x0009, "TBLRD*+"},       {0, 0x000F, "TBLWT+*"},
        {0, 0x0001, ""},                  {0, 0x0002, ""},              {0, 0x00FF, "RESET"},
        {0, 0x0020, "???"},               {0, 0x2620, "ADDWF  20,F"},   {0, 0x5C81, "SUBWF  F81,W"},
        {0, 0x4BFF, "INFSNZ xFF,F"},      {0, 0x6A10, "CLRF   10"},     {0, 0x6000, "CPFSLT 00"},
        {0, 0x7E00, "BTG    00.7"},       {0, 0xB1FF, "BTFSC  xFF.0"},  {0x100, 0xD800, "RCALL  0102"},
        {0x100, 0xE7FF, "BNN   0100"},    {0, 0xE800, "???"},           {0, 0xF123, "???"},
        {0, 0xFFFF, "NOP(FFFF)"},
    };
    for (const TCase &c : cases) {
        TPic18Decoder decoder;
        EXPECT_EQ(decoder.Decode(c.word, c.address), c.text) << std::hex << c.word;
    }
}

TEST(Pic18, TwoWordInstructions)
{
    struct TCase {
        uint16_t first, second;
        const char *text;
    };
    const TCase cases[] = {
        {0xEF80, 0xF000, "GOTO   0100"},    {0xEF00, 0xF800, "GOTO   100000"},  {0xED00, 0xF010, "CALL   2000,1"},
        {0xEC05, 0xF000, "CALL   000A"},    {0xC123, 0xFF81, "MOVFF  123,F81"}, {0xC010, 0xF020, "MOVFF  10,20"},
        {0xEE23, 0xF045, "LFSR  FSR2,345"},
    };
    for (const TCase &c : cases) {
        TPic18Decoder decoder;
        EXPECT_EQ(decoder.Decode(c.first, 0), "");
        EXPECT_EQ(decoder.Decode(c.second, 2), c.text);
        EXPECT_EQ(decoder.Pending(), 0u);
        EXPECT_EQ(decoder.Decode(0xFFFF, 4), "NOP(FFFF)");
    }
}

TEST(Pic18, ListingLayout)
{
    // GOTO 0x100 at 0; nothing else below 0x1000: 2,049 lines.
    const std::vector<std::string> lines = Lines(List(dfBits16, HexOfWords({{0, {0xEF80, 0xF000}}})));
    ASSERT_EQ(lines.size(), 2049u);
    EXPECT_EQ(lines[0], "0000 ");
    EXPECT_EQ(lines[1], "0002 GOTO   0100");
    EXPECT_EQ(lines[2], "0004 NOP(FFFF)");
    EXPECT_EQ(lines[2048], "1000 NOP(FFFF)");
}

TEST(Pic18, ConfigurationSkippedEepromSkippedCodeAbove1000Listed)
{
    std::string hex = ":020000040030CA\n:0100000044BB\n"      // configuration byte at 0x300000
                      ":0200000400F00A\n:020000001234B8\n"    // data EEPROM at 0xF00000
                      ":020000040000FA\n:02200000120EBE\n"    // MOVLW 0x12 at 0x2000
                      ":00000001FF\n";
    const std::vector<std::string> lines = Lines(List(dfBits16, hex));
    ASSERT_EQ(lines.size(), 0x2000u / 2 + 1);
    EXPECT_EQ(lines[0], "0000 NOP(FFFF)");
    EXPECT_EQ(lines.back(), "2000 MOVLW  12");
}

}  // namespace
}  // namespace kiv
