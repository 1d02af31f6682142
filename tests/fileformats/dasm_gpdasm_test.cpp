// Agreement with gpdasm: images assembled by gpasm from sources that use every instruction of a
// family, and seeded random word images, are listed by both; after normalising (number format,
// case, operand order and the access bit of PIC18 file registers) every word's mnemonic and
// operands must agree. The places where our listing deliberately differs are named in
// kDifferences; every disagreement must fall under one of them, and each one is counted.

#include "dasm_listing.h"
#include "intelhex.h"
#include "testfiles.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <cstring>
#include <random>
#include <sstream>

namespace kiv {
namespace {

// The deliberate differences. `word` is the instruction's first word.
struct TDifference {
    const char *name;
    const char *why;
    TDasmFamily family;
    std::function<bool(uint32_t word)> applies;
};

const TDifference kDifferences[] = {
    {"page tracking", "CALL and GOTO targets carry the page bits of the instruction's address and of the page-latch "
     "writes before it; gpdasm prints the bare 11-bit (9-/8-bit) field. Targets are compared within the page.",
     dfBits14, nullptr},
    {"labels", "the label formats name targets L<address>; the comparison runs in the \"Addresses\" format, the "
     "label formats are tested on their own", dfBits14, nullptr},
    {"TRIS operand", "TRIS prints the port number (5-7) as one digit, gpdasm the register number 0x65-0x67; "
     "compared modulo 8", dfBits14, nullptr},
    {"CLRW forms", "0x0100-0x017F (bits 0-6 unused) all list as CLRW; gpdasm takes only 0x0103",
     dfBits14, [](uint32_t w) { return w >= 0x0100 && w <= 0x017F && w != 0x0103; }},
    {"HALT", "0x0061 is not in the 14-bit table (\"???\"); gpdasm lists it as halt", dfBits14,
     [](uint32_t w) { return w == 0x0061; }},
    {"undefined literal group", "0x3B00-0x3BFF lists the literal without a mnemonic; gpdasm lists dw", dfBits14,
     [](uint32_t w) { return (w & 0xFF00) == 0x3B00; }},
    {"12-bit TRIS 1", "only ports 5-7 are TRIS operands; gpdasm also lists 0x001 as tris 1", dfBits12,
     [](uint32_t w) { return w == 0x001; }},
    {"two-word instructions", "MOVFF, GOTO, CALL and LFSR show on the line of their second word, the first word's "
     "line holds only its address; gpdasm shows them on the first word's line. Compared across the two lines.",
     dfBits16, nullptr},
    {"broken two-word pair", "a first word (MOVFF, GOTO, CALL, LFSR) whose next word is not 0xF000-0xFFFF lists an "
     "empty line and is kept until a second word comes; gpdasm lists dw", dfBits16, nullptr},
    {"branch outside the part", "a relative branch whose target lies below 0 or past the part's 64 KB prints the "
     "target (wrapped around the 21-bit program counter); gpdasm lists dw", dfBits16, nullptr},
    {"LFSR with bits 6-7 set", "0xEE40-0xEEFF list as LFSR with the register number from bits 4-5; gpdasm lists dw",
     dfBits16, [](uint32_t w) { return w >= 0xEE40 && w <= 0xEEFF; }},
    {"target beyond the part", "GOTO and CALL print the whole 21-bit target that the words encode; gpdasm, knowing the "
     "part's 64 KB, wraps such a target or lists dw", dfBits16, nullptr},
    {"lone second word", "a word 0xF000-0xFFFF without a first word before it lists as NOP(FFFF) or ???; gpdasm "
     "lists dw", dfBits16, [](uint32_t w) { return w >= 0xF000; }},
    {"HALT and 0x0002", "0x0001 and 0x0002 list as an empty text; gpdasm lists halt and dw", dfBits16,
     [](uint32_t w) { return w == 0x0001 || w == 0x0002; }},
};

// One listing line reduced to what both tools say: the mnemonic in lower case and the operand
// values; "?" for a word that is no instruction.
struct TNorm {
    std::string mnemonic;
    std::vector<long> operands;
    bool operator==(const TNorm &) const = default;
};

std::string Show(const TNorm &n)
{
    std::string text = n.mnemonic;
    for (long v : n.operands) {
        std::ostringstream s;
        s << " 0x" << std::hex << v;
        text += s.str();
    }
    return text;
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Split(const std::string &text, const char *separators)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (std::strchr(separators, c)) {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

long HexValue(const std::string &token)
{
    std::string t = Lower(token);
    if (t.rfind("0x", 0) == 0)
        t = t.substr(2);
    return std::stol(t, nullptr, 16);
}

// gpdasm: "ADDR:  WORD  mnemonic  op, op" (a line with only an address and a word continues a
// two-word instruction).
std::map<uint32_t, TNorm> ParsePeer(const std::string &listing)
{
    std::map<uint32_t, TNorm> result;
    std::istringstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0 || !std::isxdigit(static_cast<unsigned char>(line[0])))
            continue;
        const uint32_t address = uint32_t(std::stoul(line.substr(0, colon), nullptr, 16));
        std::vector<std::string> parts = Split(line.substr(colon + 1), " \t,");
        if (parts.size() < 2)
            continue;  // continuation word
        TNorm n;
        n.mnemonic = Lower(parts[1]);
        if (n.mnemonic == "dw" || n.mnemonic == "db") {
            result[address] = {"?", {}};
            continue;
        }
        for (size_t i = 2; i < parts.size(); ++i)
            n.operands.push_back(HexValue(parts[i]));
        result[address] = n;
    }
    return result;
}

// Ours, 12/14-bit in the "Addresses" label format and "C (0x12)" numbers: "AAAA: WWWW  TEXT".
TNorm NormMidRange(const std::string &text, bool fourteen)
{
    std::vector<std::string> parts = Split(text, " ,");
    if (parts.empty() || parts[0] == "???" || text.rfind("  ", 0) == 0)
        return {"?", {}};
    TNorm n{Lower(parts[0]), {}};
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "F" || parts[i] == "W")
            n.operands.push_back(parts[i] == "F");
        else
            n.operands.push_back(HexValue(parts[i]));
    }
    if ((n.mnemonic == "call" || n.mnemonic == "goto") && !n.operands.empty())
        n.operands[0] &= fourteen ? 0x7FF : (n.mnemonic == "call" ? 0xFF : 0x1FF);  // page tracking
    if (n.mnemonic == "tris")
        n.operands[0] &= 7;
    return n;
}

// Ours, PIC18: "AAAA TEXT"; file registers carry the access bit as "x" / "F" prefixes.
TNorm NormPic18(const std::string &text)
{
    static const std::set<std::string> kFileDest = {"iorwf", "andwf", "xorwf", "comf", "addwfc", "addwf", "incf",
                                                    "decfsz", "rrcf", "rlcf", "swapf", "incfsz", "rrncf", "rlncf",
                                                    "infsnz", "dcfsnz", "movf", "subfwb", "subwfb", "subwf", "decf"};
    static const std::set<std::string> kFile = {"mulwf", "cpfslt", "cpfseq", "cpfsgt", "tstfsz", "setf", "clrf",
                                                "negf", "movwf"};
    static const std::set<std::string> kBit = {"btg", "bsf", "bcf", "btfss", "btfsc"};
    std::vector<std::string> parts = Split(text, " ,.");
    if (parts.empty() || parts[0] == "???")
        return {"?", {}};
    TNorm n{Lower(parts[0]), {}};
    if (n.mnemonic == "nop(ffff)")
        return {"?", {}};
    auto file = [](const std::string &token, long *a) {
        if (token[0] == 'x') {
            *a = 1;
            return HexValue(token.substr(1));
        }
        *a = 0;
        return HexValue(token) & 0xFF;
    };
    long a = 0;
    if (kFileDest.count(n.mnemonic)) {
        n.operands = {file(parts[1], &a), parts[2] == "F" ? 1 : 0};
        n.operands.push_back(a);
    } else if (kFile.count(n.mnemonic)) {
        n.operands = {file(parts[1], &a)};
        n.operands.push_back(a);
    } else if (kBit.count(n.mnemonic)) {
        n.operands = {file(parts[1], &a), std::stol(parts[2])};
        n.operands.push_back(a);
    } else if (n.mnemonic == "lfsr") {
        n.operands = {parts[1].back() - '0', HexValue(parts[2])};
    } else {
        for (size_t i = 1; i < parts.size(); ++i)
            n.operands.push_back(HexValue(parts[i]));
        if (n.mnemonic == "call" && n.operands.size() == 1)
            n.operands.push_back(0);
    }
    return n;
}

class GpdasmAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(KIV_GPASM) && defined(KIV_GPDASM)
        m_gpasm = QStringLiteral(KIV_GPASM);
        m_gpdasm = QStringLiteral(KIV_GPDASM);
#endif
        if (m_gpasm.isEmpty() || m_gpdasm.isEmpty() || !QFileInfo(m_gpdasm).isExecutable())
            GTEST_SKIP() << "gpasm/gpdasm not installed: scripts/setup.sh installs gputils";
        ASSERT_TRUE(m_dir.isValid());
    }

    QString Run(const QString &program, const QStringList &args)
    {
        QProcess process;
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromLatin1(process.readAllStandardOutput());
    }

    QString Assemble(const QString &name, const QString &processor, const QByteArray &source)
    {
        const QString asmPath = m_dir.filePath(name + QStringLiteral(".asm"));
        const QString hexPath = m_dir.filePath(name + QStringLiteral(".hex"));
        EXPECT_TRUE(test::WriteFile(asmPath, " list p=" + processor.toLatin1() + "\n" + source + " end\n"));
        Run(m_gpasm, {QStringLiteral("-p"), processor, QStringLiteral("-o"), hexPath, asmPath});
        return hexPath;
    }

    QString WriteWords(const QString &name, const std::vector<uint16_t> &words)
    {
        THexSegment segment{0, {}};
        for (uint16_t w : words) {
            segment.bytes.push_back(uint8_t(w));
            segment.bytes.push_back(uint8_t(w >> 8));
        }
        const QString path = m_dir.filePath(name + QStringLiteral(".hex"));
        EXPECT_TRUE(test::WriteFile(path, QByteArray::fromStdString(WriteIntelHex32({segment}))));
        return path;
    }

    // Lists `hexPath` with both tools and compares word by word; returns the number of words compared.
    int Compare(TDasmFamily family, const QString &processor, const QString &hexPath)
    {
        TDasmOptions options;
        options.family = family;
        options.labels = lfAddresses;
        options.numbers = nfC;
        std::string input, listing, error;
        EXPECT_TRUE(ReadWholeFile(hexPath.toStdString(), &input, &error)) << error;
        EXPECT_TRUE(DisassembleBytes(options, input, &listing, &error)) << error;
        const std::map<uint32_t, TNorm> peer =
            ParsePeer(Run(m_gpdasm, {QStringLiteral("-p"), processor, hexPath}).toStdString());
        TIntelHex hex;
        EXPECT_TRUE(hex.Parse(input));

        // Our lines by address.
        std::map<uint32_t, std::string> ours;
        std::istringstream in(listing);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (family == dfBits16) {
                if (line.size() >= 5)
                    ours[uint32_t(std::stoul(line.substr(0, 4), nullptr, 16))] = line.substr(5);
            } else if (line.size() >= 12) {
                ours[uint32_t(std::stoul(line.substr(0, 4), nullptr, 16))] = line.substr(12);
            }
        }

        int compared = 0;
        for (const auto &[address, theirs] : peer) {
            uint8_t low = 0, high = 0;
            const uint32_t byteAddress = family == dfBits16 ? address : address * 2;
            if (!hex.ByteAt(byteAddress, &low) || !hex.ByteAt(byteAddress + 1, &high))
                continue;
            const uint32_t word = low | (high << 8);
            if (family != dfBits16 && address >= 0x2000)
                continue;  // configuration, ID and data words are listed undecoded
            TNorm mine;
            if (family == dfBits16) {
                const bool twoWord = (word & 0xF000) == 0xC000 || (word & 0xFF00) == 0xEF00 ||
                                     (word & 0xFF00) == 0xEE00 || (word & 0xFE00) == 0xEC00;
                uint8_t nextLow = 0, nextHigh = 0xFF;
                hex.ByteAt(address + 2, &nextLow);
                hex.ByteAt(address + 3, &nextHigh);
                if (twoWord && nextHigh < 0xF0 && theirs.mnemonic == "?") {
                    ++m_counts["broken two-word pair"];
                    ++compared;
                    continue;
                }
                const bool relative = (word & 0xF000) == 0xD000 || (word & 0xF800) == 0xE000;
                if (relative && theirs.mnemonic == "?") {
                    const int offset = (word & 0xF000) == 0xD000 ? int(word & 0x7FF) - ((word & 0x400) ? 0x800 : 0)
                                                                 : int(int8_t(word & 0xFF));
                    const int target = int(address) + 2 + 2 * offset;
                    if (target < 0 || target > 0xFFFF) {
                        ++m_counts["branch outside the part"];
                        ++compared;
                        continue;
                    }
                }
                if (twoWord) {
                    ++m_counts["two-word instructions"];
                    mine = NormPic18(ours[address + 2]);
                    const bool jump = (mine.mnemonic == "goto" || mine.mnemonic == "call") && !mine.operands.empty();
                    if (jump && mine.operands[0] > 0xFFFF &&
                        (theirs.mnemonic == "?" || (!theirs.operands.empty() && theirs.operands[0] == (mine.operands[0] & 0xFFFF)))) {
                        ++m_counts["target beyond the part"];
                        ++compared;
                        continue;
                    }
                } else {
                    mine = NormPic18(ours[address]);
                }
            } else {
                mine = NormMidRange(ours[address], family == dfBits14);
            }
            ++compared;
            TNorm peerNorm = theirs;
            if (peerNorm.mnemonic == "tris" && !peerNorm.operands.empty())
                peerNorm.operands[0] &= 7;  // TRIS operand
            if (mine == peerNorm)
                continue;
            const TDifference *named = nullptr;
            for (const TDifference &d : kDifferences)
                if (d.family == family && d.applies && d.applies(word))
                    named = &d;
            if (named) {
                ++m_counts[named->name];
                continue;
            }
            ADD_FAILURE() << processor.toStdString() << " word 0x" << std::hex << word << " at 0x" << address
                          << ": ours \"" << Show(mine) << "\", gpdasm \"" << Show(peerNorm) << "\"";
        }
        return compared;
    }

    void TearDown() override
    {
        for (const auto &[name, count] : m_counts)
            std::printf("  named difference \"%s\": %d words\n", name.c_str(), count);
    }

    QTemporaryDir m_dir;
    QString m_gpasm;
    QString m_gpdasm;
    std::map<std::string, int> m_counts;
};

const char k14BitSource[] = R"(
 org 0
 addwf 0x20,f
 andwf 0x21,w
 clrf 0x22
 clrw
 comf 0x23,f
 decf 0x24,w
 decfsz 0x25,f
 incf 0x26,f
 incfsz 0x27,w
 iorwf 0x28,f
 movf 0x29,w
 movwf 0x2a
 nop
 rlf 0x2b,f
 rrf 0x2c,w
 subwf 0x2d,f
 swapf 0x2e,w
 xorwf 0x2f,f
 bcf 0x30,1
 bsf 0x31,7
 btfsc 0x03,2
 btfss 0x7f,0
 addlw 0x0c
 andlw 0xff
 call 0x123
 clrwdt
 goto 0x456
 iorlw 9
 movlw 0x80
 retfie
 retlw 0x0a
 return
 sleep
 sublw 0xab
 xorlw 0x1f
 option
 tris 6
 movlw 0x18
 movwf 0x0a
 call 0x10
 clrf 0x0a
 goto 0x20
 bsf 0x0a,3
 call 0x30
 org 0x1f00
 goto 0x7ff
)";

const char k12BitSource[] = R"(
 org 0
 addwf 0x10,f
 andwf 0x11,w
 clrf 0x12
 clrw
 comf 0x13,f
 decf 0x14,w
 decfsz 0x15,f
 incf 0x16,f
 incfsz 0x17,w
 iorwf 0x18,f
 movf 0x19,w
 movwf 0x1a
 nop
 rlf 0x1b,f
 rrf 0x1c,w
 subwf 0x1d,f
 swapf 0x1e,w
 xorwf 0x1f,f
 bcf 0x10,1
 bsf 0x11,7
 btfsc 0x03,2
 btfss 0x1f,0
 andlw 0xff
 call 0x23
 clrwdt
 goto 0x156
 iorlw 9
 movlw 0x80
 option
 retlw 0x0a
 sleep
 tris 6
 xorlw 0x1f
 bsf 0x03,5
 goto 0x10
)";

const char kPic18Source[] = R"(
 org 0
 addwf 0x20, f, 0
 addwfc 0x21, w, 1
 andwf 0x81, f, 0
 clrf 0x22, 1
 comf 0x23, w, 0
 cpfseq 0x24, 0
 cpfsgt 0x25, 1
 cpfslt 0x26, 0
 decf 0x27, f, 0
 decfsz 0x28, w, 1
 dcfsnz 0x29, f, 0
 incf 0x2a, f, 0
 incfsz 0x2b, w, 0
 infsnz 0x2c, f, 1
 iorwf 0xf81, f, 0
 movf 0x2d, w, 0
 movff 0x123, 0xf81
 movwf 0x2e, 0
 mulwf 0x2f, 1
 negf 0x30, 0
 rlcf 0x31, f, 0
 rlncf 0x32, w, 0
 rrcf 0x33, f, 1
 rrncf 0x34, f, 0
 setf 0x35, 0
 subfwb 0x36, f, 0
 subwf 0x37, w, 0
 subwfb 0x38, f, 1
 swapf 0x39, f, 0
 tstfsz 0x3a, 0
 xorwf 0x3b, w, 0
 bcf 0x3c, 1, 0
 bsf 0x80, 3, 0
 btfsc 0x3d, 7, 1
 btfss 0xfd8, 2, 0
 btg 0x3e, 0, 0
 bc $+4
 bn $+6
 bnc $-2
 bnn $+8
 bnov $
 bnz $+10
 bov $+2
 bz $+12
 bra $+100
 call 0x2000, 1
 call 0x400, 0
 clrwdt
 daw
 goto 0x100
 goto 0xfff0
 nop
 pop
 push
 rcall $+20
 reset
 retfie 1
 return 0
 sleep
 addlw 0x12
 andlw 0x34
 iorlw 0x56
 lfsr 2, 0x345
 movlb 5
 movlw 0x78
 mullw 0x9a
 retlw 0xbc
 sublw 0xde
 xorlw 0xf0
 tblrd*
 tblrd*+
 tblrd*-
 tblrd+*
 tblwt*
 tblwt*+
 tblwt*-
 tblwt+*
)";

TEST_F(GpdasmAgreement, EveryInstruction14)
{
    EXPECT_EQ(Compare(dfBits14, QStringLiteral("p16f877a"), Assemble(QStringLiteral("all14"), QStringLiteral("p16f877a"), k14BitSource)), 45);
}

TEST_F(GpdasmAgreement, EveryInstruction12)
{
    EXPECT_EQ(Compare(dfBits12, QStringLiteral("p16f57"), Assemble(QStringLiteral("all12"), QStringLiteral("p16f57"), k12BitSource)), 35);
}

TEST_F(GpdasmAgreement, EveryInstructionPic18)
{
    EXPECT_GT(Compare(dfBits16, QStringLiteral("p18f4620"), Assemble(QStringLiteral("all18"), QStringLiteral("p18f4620"), kPic18Source)), 70);
}

// Every 12-bit word value once, and every 14-bit word value once (in two images of 8K words).
TEST_F(GpdasmAgreement, EveryWordValue12And14)
{
    // The 12-bit part has 2K words of program memory, the 14-bit one 8K.
    std::vector<uint16_t> words;
    for (unsigned half = 0; half < 2; ++half) {
        words.assign(0x800, 0);
        for (unsigned i = 0; i < 0x800; ++i)
            words[i] = uint16_t(half * 0x800 + i);
        EXPECT_EQ(Compare(dfBits12, QStringLiteral("p16f57"), WriteWords(QStringLiteral("every12"), words)), 0x800);
    }
    for (unsigned half = 0; half < 2; ++half) {
        words.assign(0x2000, 0);
        for (unsigned i = 0; i < 0x2000; ++i)
            words[i] = uint16_t(half * 0x2000 + i);
        EXPECT_EQ(Compare(dfBits14, QStringLiteral("p16f877a"), WriteWords(QStringLiteral("every14"), words)), 0x2000);
    }
}

TEST_F(GpdasmAgreement, SeededRandomImages)
{
    std::mt19937 random(0x5EED);
    std::vector<uint16_t> words(0x2000);
    for (uint16_t &w : words)
        w = uint16_t(random() & 0x3FFF);
    EXPECT_EQ(Compare(dfBits14, QStringLiteral("p16f877a"), WriteWords(QStringLiteral("random14"), words)), 0x2000);
    words.assign(0x8000, 0);
    for (uint16_t &w : words)
        w = uint16_t(random());
    EXPECT_GT(Compare(dfBits16, QStringLiteral("p18f4620"), WriteWords(QStringLiteral("random18"), words)), 0x6000);
}

}  // namespace
}  // namespace kiv
