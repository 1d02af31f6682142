// dsPIC disassembler: a table of encodings built from the instruction tables (every family and
// selector, the addressing modes, literals, offsets, prefetches), the two-word instructions of
// the listing, and round-trip properties over the whole 24-bit word space.

#include "dasm_dspic.h"
#include "dasm_listing.h"
#include "intelhex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace kiv {
namespace {

struct TCase {
    uint32_t word;
    const char *text;
};

// Decoded at PC 0 with no first word kept.
const TCase kCases[] = {
    // Family 0
    {0x000000, "NOP  0x0000"}, {0x001234, "NOP  0x1234"},
    {0x010002, "CALL  W2"}, {0x012003, "RCALL  W3"}, {0x014004, "GOTO  W4"}, {0x016005, "BRA  W5"}, {0x011000, ""},
    {0x050123, "RETLW  #0x012, W3"}, {0x054123, "RETLW.B  #0x012, W3"},
    {0x020000, ""}, {0x040000, ""}, {0x080000, ""},  // first words: kept, no text
    {0x060000, "RETURN"}, {0x064000, "RETFIE"}, {0x062000, ""},
    {0x070002, "RCALL  0x000006"}, {0x07FFFE, "RCALL  0xFFFFFFFFFFFFFFFE"},
    {0x090010, "REPEAT  #0x0010"}, {0x098005, "REPEAT  W5"},
    {0x0C0002, "BRA OA,  0x000006"}, {0x0D0002, "BRA OB,  0x000006"}, {0x0E0002, "BRA SA,  0x000006"},
    {0x0F0002, "BRA SB,  0x000006"},
    {0x030000, "Unknown: 0000 ???? xxxx xxxx xxxx xxxx"}, {0x0A0000, "Unknown: 0000 ???? xxxx xxxx xxxx xxxx"},
    {0x0B0000, "Unknown: 0000 ???? xxxx xxxx xxxx xxxx"},
    // Family 1: SUBR / SUBBR
    {0x108182, "SUBR  W1  W2,  W3"}, {0x188182, "SUBBR  W1  W2,  W3"}, {0x10C182, "SUBR.B  W1  W2,  W3"},
    {0x100065, "SUBR  W0#0x05,  W0"},
    // Family 2
    {0x212345, "MOV  #0x1234,  W5"},
    // Family 3: branches
    {0x300000, "BRA OV,  0x000002"}, {0x310000, "BRA C or BRA GEU,  0x000002"}, {0x370000, "BRA  0x000002"},
    {0x390000, "BRA LTU or BRA NC,  0x000002"}, {0x3E0000, "BRA GTU,  0x000002"},
    {0x320000, "BRA Z,  0x000002"}, {0x330000, "BRA N,  0x000002"}, {0x340000, "BRA LE,  0x000002"},
    {0x350000, "BRA LT,  0x000002"}, {0x360000, "BRA LEU,  0x000002"}, {0x380000, "BRA NOV,  0x000002"},
    {0x3A0000, "BRA NZ,  0x000002"}, {0x3B0000, "BRA NN,  0x000002"}, {0x3C0000, "BRA GT,  0x000002"},
    {0x3D0000, "BRA GE,  0x000002"},
    {0x3F0000, "Unknown: 0011 ???? xxxx xxxx xxxx xxxx"},
    // Family 4: ADD / ADDC with every addressing mode
    {0x408182, "ADD  W1,  W2,  W3"}, {0x488182, "ADDC  W1,  W2,  W3"}, {0x408065, "ADD  W1,  #0x05,  W0"},
    {0x408992, "ADD  W1,  [W2],  [W3]"}, {0x4099A2, "ADD  W1,  [W2--],  [W3++]"},
    {0x40A9C2, "ADD  W1,  [--W2],  [++W3]"}, {0x40B182, "ADD  W1,  W2"}, {0x40C182, "ADD.B  W1,  W2,  W3"},
    // Families 5 to 7: SUB, AND, XOR, IOR
    {0x508182, "SUB  W1,    W2,  W3"}, {0x588182, "SUBB  W1,    W2,  W3"}, {0x508065, "SUB  W1,  #0x05,  W0"},
    {0x608182, "AND  W1,    W2,  W3"}, {0x688182, "XOR  W1,    W2,  W3"}, {0x708182, "IOR  W1,    W2,  W3"},
    {0x5081D2, "SUB  W1,    [++W2],  W3"},
    // Family 7 with bit 19: MOV with register offsets
    {0x780182, "MOV  W2,  W3"}, {0x7A81E2, "MOV  [W2]+[W5],  W3"}, {0x7AC1E2, "MOV.B  [W2]+[W5],  W3"},
    {0x7AB182, "MOV  W2,  [W3]+[W5]"},
    // Family 8: MOV to and from file registers
    {0x881234, "MOV  W4,  0x0123"}, {0x801234, "MOV  0x0123,  W4"},
    // Family 9: MOV with a 10-bit signed offset
    {0x9001A2, "MOV  [W2 + 0x004],  W3"}, {0x97B9F2, "MOV  [W2 + -0x002],  W3"}, {0x940182, "MOV  [W2 + -0x400],  W3"},
    {0x9041A2, "MOV.B  [W2 + 0x002],  W3"}, {0x9801A2, "MOV  W2,  [W3 + 0x004]"}, {0x9841A2, "MOV.B  W2,  [W3 + 002]"},
    {0x9FF9F2, "MOV.B  W2,  [W3 + -001]"},
    // Family 10 (A): bit operations
    {0xA03002, "BSET    W2,  #0x3"}, {0xA03402, "BSET.B    W2,  #0x3"}, {0xA1F012, "BCLR    [W2],  #0xF"},
    {0xA20002, "BTG    W2,  #0x0"}, {0xA35802, "BTST.Z    W2,  #0x5"}, {0xA35002, "BTST.C    W2,  #0x5"},
    {0xA45802, "BTSTS.Z    W2,  #0x5"}, {0xA58802, "BTST.Z    W2,  W1"}, {0xA67002, "BTSS    W2,  #0x7"},
    {0xA77002, "BTSC    W2,  #0x7"}, {0xA8A123, "BSET.B  0x0123,  #0x5"}, {0xA9A123, "BCLR.B  0x0123,  #0x5"},
    {0xAAA123, "BTG.B  0x0123,  #0x5"}, {0xABA123, "BTST.B  0x0123,  #0x5"}, {0xACA123, "BTSTS.B  0x0123,  #0x5"},
    {0xAD8802, "BSW.Z    W2,  W1"}, {0xAD0802, "BSW.C    W2,  W1"}, {0xAEA123, "BTSS.B  0x0123,  #0x5"},
    {0xAFA123, "BTSC.B  0x0123,  #0x5"},
    // Family 11 (B)
    {0xB00123, "ADD  #0x012,  W3"}, {0xB08123, "ADDC  #0x012,  W3"}, {0xB10123, "SUB  #0x012,  W3"},
    {0xB28123, "XOR  #0x012,  W3"}, {0xB30123, "IOR  #0x012,  W3"}, {0xB34123, "IOR.B  #0x012,  W3"},
    {0xB3C123, "MOV.B  #0x12,  W3"}, {0xB40123, "ADD  0x0123,  WREG"}, {0xB42123, "ADD  0x0123"},
    {0xB4A123, "ADDC  0x0123"}, {0xB50123, "SUB  0x0123,  WREG"}, {0xB60123, "AND  0x0123,  WREG"}, {0xB70123, "IOR  0x0123,  WREG"},
    {0xB78123, "MOV  WREG,  0x0123"}, {0xB7C123, "MOV.B  WREG,  0x0123"},
    {0xB80A02, "MUL.UU  W1,  W2,  W4"}, {0xB80A65, "MUL.UU  W1,  #0x05,  W4"}, {0xB80A12, "MUL.UU  W1,  [W2,]  W4"},
    {0xB90A32, "MUL.SU  W1,  [W2,++]  W4"}, {0xB98A02, "MUL.SS  W1,  W2,  W4"}, {0xB88A42, "MUL.US  W1,  [--W2,]  W4"},
    {0xB98A62, "MUL.SS  W1"},
    {0xBA0192, "TBLRDL  [W2],  W3"}, {0xBA8192, "TBLRDH  [W2],  W3"}, {0xBAC192, "TBLRDH.B  [W2],  W3"},
    {0xBB0192, "TBLWTL  [W2],  W3"}, {0xBC0123, "MUL  0x0123"}, {0xBC4123, "MUL.B  0x0123"},
    {0xBD0123, "SUBR  0x0123,  WREG"}, {0xBDA123, "SUBBR  0x0123"},
    {0xBE0412, "MOV.D  [W2],  W4"}, {0xBE0432, "MOV.D  [W2++],  W4"}, {0xBE0462, ""}, {0xBE8184, "MOV.D  W4,  W3"},
    {0xBF0123, "MOV  0x0123,  WREG"}, {0xBF6123, "MOV.B  0x0123"},
    // Family 12 (C): DSP
    {0xC00112, "MAC  W4*W5,  A"}, {0xC02004, "MAC  W4*W5,  A, [W8],  W6, [W10]+=2,  W4,  W13"},
    {0xC10113, "MPY  W4*W6,  A"}, {0xC14113, "MPY.N  W4*W6,  A"}, {0xC24112, "MSC  W4*W7,  A"},
    {0xC48112, "MAC  W5*W6,  B"}, {0xC58125, "MAC  W5*W7,  B, [W11]+=2,  W5,  [W13]+=2"},
    {0xC60112, "MAC  W6*W7,  A"}, {0xC70112, "MOVSAC  A"}, {0xC30112, "CLR  A"}, {0xC31212, "CLR  A, [W9],W5"},
    {0xC382A0, "CLR  B, [W9]+=4,W4, [W11],W5,  W13"},
    {0xC80045, "SFTAC  A,  #0x05"}, {0xC8007E, "SFTAC  A,  #-0x02"}, {0xC88003, "SFTAC  B,  W3"},
    {0xC90002, "ADD  W2,  A"}, {0xC90182, "ADD  W2,  #0x3,  A"}, {0xC90702, "ADD  W2,  #-0x2,  A"},
    {0xC98002, "ADD  W2,  B"}, {0xC90862, "ADD  [W2]+[W1],  A"},
    {0xCA0012, "LAC  [W2],  A"}, {0xCB0000, "ADD  A"}, {0xCB1000, "NEG  A"}, {0xCB3000, "SUB  A"},
    {0xCB2000, "Unknown: 1100 1011 xx?? xxxx xxxx xxxx.A"}, {0xCC0182, "SAC  A,  #3,  W2"},
    {0xCC8702, "SAC  B,  #-2,  W2"}, {0xCD0012, "SAC.R  A,  [W2]"}, {0xCD0182, "SAC.R  A,  #0x3,  W2"},
    {0xCE0000, "Unknown: 1100 ???? xxxx xxxx xxxx xxxx."}, {0xCF0192, "FF1R  [W2],  W3"}, {0xCF8192, "FF1L  [W2],  W3"},
    // Family 13 (D): shifts, rotates, divides
    {0xD00182, "SL  W  W2,  W3"}, {0xD04182, "SL.B  W  W2,  W3"}, {0xD10182, "LSR  W2,  W3"},
    {0xD18182, "ASR  W2,  W3"}, {0xD1C182, "ASR.B  W2,  W3"}, {0xD28182, "RLC  W2,  W3"}, {0xD20182, "RLNC  W2,  W3"},
    {0xD38182, "RRC  W2,  W3"}, {0xD30182, "RRNC  W2,  W3"}, {0xD03182, "SL  W  W2"},
    {0xD40123, "SL  0x0123,  WREG"}, {0xD46123, "SL.B  0x0123"}, {0xD58123, "ASR  0x0123,  WREG"},
    {0xD68123, "RLC  0x123, WREG"}, {0xD6A123, "RLC  0x123"}, {0xD70123, "RRNC  0x0123,  WREG"},
    {0xD80182, "DIV.S  W3  W2"}, {0xD881C2, "DIV.UD  W3  W2"}, {0xD90802, "DIVF  W1,  W2"},
    {0xDD0982, "SL  W1,  ,  W2,  W3"}, {0xDD09C2, "SL  W1,  ,  #0x2,  W3"}, {0xDE0982, "LSR  W1,  W2,  W3"},
    {0xDE89C2, "ASR  W1,  #0x2,  W3"}, {0xDF0192, "FBCL  [W2],  W3"},
    {0xDA0000, "Unknown: 1101 ???? xxxx xxxx xxxx xxxx."}, {0xDB0000, "Unknown: 1101 ???? xxxx xxxx xxxx xxxx."},
    {0xDC0000, "Unknown: 1101 ???? xxxx xxxx xxxx xxxx."},
    // Family 14 (E): compares, increments, clears
    {0xE00012, "CP0    [W2]"}, {0xE00412, "CP0.B    [W2]"}, {0xE10802, "CP  W1  W2"}, {0xE10865, "CP  W1,  #0x05"},
    {0xE18802, "CPB  W1  W2"}, {0xE10C02, "CP.B  W1  W2"}, {0xE20123, "CP0    0x0123"}, {0xE24123, "CP0.B    0x0123"},
    {0xE30123, "CP  0x0123"}, {0xE3C123, "CPB.B  0x0123"}, {0xE60802, "CPSGT  W1,  W2"}, {0xE68802, "CPSLT  W1,  W2"},
    {0xE70802, "CPSNE  W1,  W2"}, {0xE78802, "CPSEQ  W1,  W2"}, {0xE80192, "INC  [W2],  W3"},
    {0xE88192, "INC2  [W2],  W3"}, {0xE84192, "INC.B  [W2],  W3"}, {0xE90192, "DEC  [W2],  W3"},
    {0xEA0192, "NEG  [W2],  W3"}, {0xEA8192, "COM  [W2],  W3"}, {0xEB0980, "CLR  [W3]"}, {0xEB8180, "SETM  W3"},
    {0xEB3180, "CLR"}, {0xEB2180, "CLR  [--W3]"}, {0xEC0123, "INC  0x0123,  WREG"}, {0xECA123, "INC2  0x0123"},
    {0xED0123, "DEC  0x0123,  WREG"}, {0xEE0123, "NEG  0x0123,  WREG"}, {0xEE8123, "COM  0x0123,  WREG"},
    {0xEF0000, "CLR  WREG"}, {0xEF2123, "CLR  0x0123"}, {0xEFE123, "SETM.B  0x0123"},
    {0xE40000, "Unknown: 1110 ???? xxxx xxxx xxxx xxxx."}, {0xE50000, "Unknown: 1110 ???? xxxx xxxx xxxx xxxx."},
    // Family 15 (F)
    {0xF00110, "MAC  W4*W4,  A"}, {0xF01001, "MPY  W4*W4,  A, [W8],  W5, [W10],W4"}, {0xF10113, "ED  W5*W5,  A"},
    {0xF23052, "EDAC  W6*W6,  A, [W8]+=2,W7"}, {0xF38112, "EDAC  W7*W7,  B"},
    {0xF80246, "PUSH  0x0123"}, {0xF90246, "POP  0x0123"}, {0xFA0010, "LNK  #0x0008"}, {0xFA8000, "ULNK  "},
    {0xFB0192, "SE  [W2],  W3"}, {0xFB8182, "ZE  W2,  W3"}, {0xFB01E2, ""}, {0xFC0123, "DISI  #0x0123"},
    {0xFD8002, "SWAP  W2"}, {0xFDC002, "SWAP.B  W2"}, {0xFD4002, "DAW.B  W2"}, {0xFD0182, "EXCH  W3,  W2"},
    {0xFE0000, "RESET"}, {0xFE4001, "PWRSAV  #1"}, {0xFE6000, "CLRWDT"}, {0xFE8000, "POP.S"}, {0xFEA000, "PUSH.S"},
    {0xFE2000, "Unknown: 1111 1110 ???? xxxx xxxx xxxx."}, {0xFFFFFF, "NOPR"},
    {0xF40000, "Unknown: 1111 ???? xxxx xxxx xxxx xxxx."}, {0xF50000, "Unknown: 1111 ???? xxxx xxxx xxxx xxxx."},
    {0xF60000, "Unknown: 1111 ???? xxxx xxxx xxxx xxxx."}, {0xF70000, "Unknown: 1111 ???? xxxx xxxx xxxx xxxx."},
};

TEST(DsPic, EncodingTable)
{
    for (const TCase &c : kCases) {
        TDsPicDecoder decoder;
        EXPECT_EQ(decoder.Decode(c.word, 0), c.text) << std::hex << c.word;
    }
}

TEST(DsPic, EveryFamilyAndSelectorIsInTheTable)
{
    bool seen[16][16] = {};
    for (const TCase &c : kCases)
        seen[c.word >> 20][(c.word >> 16) & 0xF] = true;
    // Families 1, 2 and 4 to 9 do not use the selector; the others have a row for each.
    for (unsigned family : {0u, 3u, 10u, 11u, 12u, 13u, 14u, 15u})
        for (unsigned sel = 0; sel < 16; ++sel)
            EXPECT_TRUE(seen[family][sel]) << "family " << family << " selector " << sel;
    for (unsigned family = 1; family < 10; ++family)
        EXPECT_TRUE(family == 3 || seen[family][0] || seen[family][8] || seen[family][1]) << family;
}

TEST(DsPic, BranchTargets)
{
    TDsPicDecoder decoder;
    EXPECT_EQ(decoder.Decode(0x32FFFF, 0x100), "BRA Z,  0x000100");  // offset -1 at 0x100
    EXPECT_EQ(decoder.Decode(0x3C0010, 0x200), "BRA GT,  0x000222");
    EXPECT_EQ(decoder.Decode(0x07FFFF, 0x100), "RCALL  0x000100");
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string HexOfWords(uint32_t pc, const std::vector<uint32_t> &words)
{
    THexSegment segment{pc * 2, {}};
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            segment.bytes.push_back(i < 3 ? uint8_t(w >> (8 * i)) : 0);
    return WriteIntelHex32({segment});
}

std::vector<std::string> List(const std::string &hex)
{
    TDasmOptions options;
    options.family = dfBits24;
    std::string listing, error;
    EXPECT_TRUE(DisassembleBytes(options, hex, &listing, &error)) << error;
    return Lines(listing);
}

TEST(DsPic, ListingOfAGoto)
{
    const std::vector<std::string> lines = List(HexOfWords(0, {0x040100, 0x000000}));
    ASSERT_EQ(lines.size(), 2050u);  // 2,049 addresses, and the completed GOTO takes two lines
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "00000   040100   GOTO  0x000100");
    EXPECT_EQ(lines[2], "00002   000000   NOP");
    EXPECT_EQ(lines[3], "00004   FFFFFF   NOPR");
    EXPECT_EQ(lines.back(), "01000   FFFFFF   NOPR");
}

TEST(DsPic, SeparatedSecondWordCompletesTheCall)
{
    // CALL's first word, an ADD, then the second word: the CALL shows on the line before the word that completes it.
    const std::vector<std::string> lines = List(HexOfWords(0x10, {0x020100, 0x408182, 0x000001}));
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], "00012   408182   ADD  W1,  W2,  W3");
    EXPECT_EQ(lines[10], "00012   020100   CALL  0x010100");
    EXPECT_EQ(lines[11], "00014   000001   NOP");
}

TEST(DsPic, DoLoop)
{
    TDsPicDecoder decoder;
    EXPECT_EQ(decoder.Decode(0x080005, 0x0E), "");
    EXPECT_EQ(decoder.Decode(0x000003, 0x10), "DO  #0x0005,  00001A");
    EXPECT_EQ(decoder.Decode(0x088003, 0x0E), "");
    EXPECT_EQ(decoder.Decode(0x00FFFF, 0x10), "DO  W3,  000012");
    EXPECT_FALSE(decoder.HasPending());
}

TEST(DsPic, CodeAbove1000IsListedConfigurationSkipped)
{
    std::string hex = HexOfWords(0x2000, {0x212345});
    hex.insert(hex.size() - std::string(":00000001FF\r\n").size(), ":0200000401F009\r\n:04000000FFFF0000FE\r\n");
    const std::vector<std::string> lines = List(hex);
    ASSERT_EQ(lines.size(), 0x2000u / 2 + 1);
    EXPECT_EQ(lines.back(), "02000   212345   MOV  #0x1234,  W5");
}

// Every word decodes to one line of text without line breaks; within the listing each address
// gives exactly one line, except that a completed two-word instruction gives two.
TEST(DsPic, RoundTripOverTheWordSpace)
{
    // 256 words of every value of the top eight bits; checked quietly, the first failure reported.
    std::mt19937 random(20260);
    int failures = 0;
    std::string first;
    auto fail = [&](uint32_t w, const std::string &why) {
        if (failures++ == 0) {
            char word[8];
            std::snprintf(word, sizeof word, "%06X", w);
            first = std::string(word) + ": " + why;
        }
    };
    for (uint32_t high = 0; high < 0x100; ++high) {
        for (int i = 0; i < 256; ++i) {
            const uint32_t w = (high << 16) | (random() & 0xFFFF);
            TDsPicDecoder decoder;
            const std::string text = decoder.Decode(w, 0x100);
            const unsigned family = w >> 20, sel = (w >> 16) & 0xF;
            const bool firstWord = family == 0 && (sel == 2 || sel == 4 || sel == 8);
            if (text.find_first_of("\r\n") != std::string::npos)
                fail(w, "line break in the text");
            if (decoder.HasPending() != firstWord || (firstWord && !text.empty()))
                fail(w, "first word kept wrongly");
            std::string listing;
            decoder.Reset();
            decoder.AppendListing(listing, w, 0x100);
            char word[8];
            std::snprintf(word, sizeof word, "%06X", w);
            const std::string expected = (family == 0 && text.empty()) ? "\r\n" : "00100   " + std::string(word) + "   " + text + "\r\n";
            if (listing != expected)
                fail(w, "listing line \"" + listing + "\"");
        }
    }
    EXPECT_EQ(failures, 0) << first;
}

TEST(DsPic, RandomImagesListOneLinePerAddress)
{
    std::mt19937 random(7);
    std::vector<uint32_t> words(0x900);
    for (uint32_t &w : words)
        w = random() & 0xFFFFFF;
    const std::vector<std::string> lines = List(HexOfWords(0, words));
    TDsPicDecoder decoder;
    size_t expected = 0;
    for (uint32_t a = 0; a <= std::max<uint32_t>(0x1000, uint32_t(words.size() - 1) * 2); a += 2) {
        bool completed = false;
        decoder.Decode(a / 2 < words.size() ? words[a / 2] : 0xFFFFFF, a, &completed);
        expected += completed ? 2 : 1;
    }
    EXPECT_EQ(lines.size(), expected);
}

}  // namespace
}  // namespace kiv
