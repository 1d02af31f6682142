#include "dasm_pic18.h"

#include "dasm_text.h"

#include <algorithm>
#include <array>

namespace kiv {

using dasm::AppendHex;

namespace {

enum TPic18Operand : uint8_t {
    poNone,       // the text alone
    poLiteral,    // " " + 2-digit literal
    poBank,       // one hex digit
    poReturn,     // RETURN / RETFIE with the fast-return bit, or "???"
    poFile,       // " " + file register
    poFileDest,   // " " + file register + ",F" / ",W"
    poFileBit,    // " " + file register "." bit
    poBranch11,   // BRA / RCALL target
    poBranch8,    // conditional branch target
    poFirstWord,  // first word of a two-word instruction: kept, no text
    poSecondWord, // completes the kept word
    poEmpty,      // no text
    poUnknown,    // "???"
};

struct TPic18Op {
    uint16_t mask;
    uint16_t match;
    const char *text;
    TPic18Operand operand;
};

// In the order of the tests; the first entry that fits decodes the word.
const TPic18Op kPic18Ops[] = {
    {0xFFFF, 0x00FF, "RESET", poNone},
    {0xFFFF, 0x00E0, "TRAP", poNone},
    {0xFFFF, 0x00E1, "TRET", poNone},
    {0xFF00, 0x0800, "SUBLW ", poLiteral},
    {0xFF00, 0x0900, "IORLW ", poLiteral},
    {0xFF00, 0x0A00, "XORLW ", poLiteral},
    {0xFF00, 0x0B00, "ANDLW ", poLiteral},
    {0xFF00, 0x0C00, "RETLW ", poLiteral},
    {0xFF00, 0x0D00, "MULLW ", poLiteral},
    {0xFF00, 0x0E00, "MOVLW ", poLiteral},
    {0xFF00, 0x0F00, "ADDLW ", poLiteral},
    {0xFFF0, 0x0100, "MOVLB  ", poBank},
    {0xFFF0, 0x0010, "", poReturn},
    {0xFE00, 0x0200, "MULWF ", poFile},
    {0xFC00, 0x0400, "DECF  ", poFileDest},
    {0xFFFF, 0x0000, "NOP   ", poNone},
    {0xFFFF, 0x0003, "SLEEP ", poNone},
    {0xFFFF, 0x0004, "CLRWDT", poNone},
    {0xFFFF, 0x0005, "PUSH  ", poNone},
    {0xFFFF, 0x0006, "POP   ", poNone},
    {0xFFFF, 0x0007, "DAW   ", poNone},
    {0xFFFF, 0x0008, "TBLRD*", poNone},
    {0xFFFF, 0x0009, "TBLRD*+", poNone},
    {0xFFFF, 0x000A, "TBLRD*-", poNone},
    {0xFFFF, 0x000B, "TBLRD+*", poNone},
    {0xFFFF, 0x000C, "TBLWT*", poNone},
    {0xFFFF, 0x000D, "TBLWT*+", poNone},
    {0xFFFF, 0x000E, "TBLWT*-", poNone},
    {0xFFFF, 0x000F, "TBLWT+*", poNone},
    {0xFFFE, 0x0000, "", poEmpty},  // 0x0001 and 0x0002
    {0xFFFC, 0x0000, "", poEmpty},
    {0xF000, 0x0000, "???", poUnknown},
    {0xFC00, 0x1000, "IORWF ", poFileDest},
    {0xFC00, 0x1400, "ANDWF ", poFileDest},
    {0xFC00, 0x1800, "XORWF ", poFileDest},
    {0xFC00, 0x1C00, "COMF  ", poFileDest},
    {0xFC00, 0x2000, "ADDWFC", poFileDest},
    {0xFC00, 0x2400, "ADDWF ", poFileDest},
    {0xFC00, 0x2800, "INCF  ", poFileDest},
    {0xFC00, 0x2C00, "DECFSZ", poFileDest},
    {0xFC00, 0x3000, "RRCF  ", poFileDest},
    {0xFC00, 0x3400, "RLCF  ", poFileDest},
    {0xFC00, 0x3800, "SWAPF ", poFileDest},
    {0xFC00, 0x3C00, "INCFSZ", poFileDest},
    {0xFC00, 0x4000, "RRNCF ", poFileDest},
    {0xFC00, 0x4400, "RLNCF ", poFileDest},
    {0xFC00, 0x4800, "INFSNZ", poFileDest},
    {0xFC00, 0x4C00, "DCFSNZ", poFileDest},
    {0xFC00, 0x5000, "MOVF  ", poFileDest},
    {0xFC00, 0x5400, "SUBFWB", poFileDest},
    {0xFC00, 0x5800, "SUBWFB", poFileDest},
    {0xFC00, 0x5C00, "SUBWF ", poFileDest},
    {0xFE00, 0x6000, "CPFSLT", poFile},
    {0xFE00, 0x6200, "CPFSEQ", poFile},
    {0xFE00, 0x6400, "CPFSGT", poFile},
    {0xFE00, 0x6600, "TSTFSZ", poFile},
    {0xFE00, 0x6800, "SETF  ", poFile},
    {0xFE00, 0x6A00, "CLRF  ", poFile},
    {0xFE00, 0x6C00, "NEGF  ", poFile},
    {0xFE00, 0x6E00, "MOVWF ", poFile},
    {0xF000, 0x7000, "BTG   ", poFileBit},
    {0xF000, 0x8000, "BSF   ", poFileBit},
    {0xF000, 0x9000, "BCF   ", poFileBit},
    {0xF000, 0xA000, "BTFSS ", poFileBit},
    {0xF000, 0xB000, "BTFSC ", poFileBit},
    {0xF000, 0xC000, "", poFirstWord},  // MOVFF
    {0xF800, 0xD000, "BRA    ", poBranch11},
    {0xF800, 0xD800, "RCALL  ", poBranch11},
    {0xFF00, 0xE000, "BZ    ", poBranch8},
    {0xFF00, 0xE100, "BNZ   ", poBranch8},
    {0xFF00, 0xE200, "BC    ", poBranch8},
    {0xFF00, 0xE300, "BNC   ", poBranch8},
    {0xFF00, 0xE400, "BOV   ", poBranch8},
    {0xFF00, 0xE500, "BNOV  ", poBranch8},
    {0xFF00, 0xE600, "BN    ", poBranch8},
    {0xFF00, 0xE700, "BNN   ", poBranch8},
    {0xFF00, 0xEF00, "", poFirstWord},  // GOTO
    {0xFF00, 0xEE00, "", poFirstWord},  // LFSR
    {0xFE00, 0xEC00, "", poFirstWord},  // CALL
    {0xF000, 0xE000, "???", poUnknown},
    {0xF000, 0xF000, "", poSecondWord},
};

const std::array<uint8_t, 0x10000> &Index()
{
    static const std::array<uint8_t, 0x10000> index = [] {
        std::array<uint8_t, 0x10000> table{};
        for (unsigned w = 0; w < 0x10000; ++w) {
            uint8_t i = 0;
            while ((w & kPic18Ops[i].mask) != kPic18Ops[i].match)
                ++i;
            table[w] = i;
        }
        return table;
    }();
    return index;
}

// A branch below address 0 wraps around the 21-bit program counter.
constexpr uint32_t kPcMask = 0x1FFFFF;

// Registers 0x00-0x7F of the access bank are the general-purpose ones; 0x80-0xFF are the
// special-function registers at 0xF80-0xFFF.
void AppendFile(std::string &out, unsigned w)
{
    const unsigned a = w & 0xFF;
    if (w & 0x100) {
        out += 'x';
        AppendHex(out, a, 2);
    } else if (a < 0x80) {
        AppendHex(out, a, 2);
    } else {
        AppendHex(out, 0xF00 + a, 3);
    }
}

void AppendRegister12(std::string &out, unsigned v)
{
    AppendHex(out, v, v < 0x100 ? 2 : 3);
}

}  // namespace

void TPic18Decoder::Append(std::string &out, unsigned w, uint32_t address)
{
    w &= 0xFFFF;
    const TPic18Op &op = kPic18Ops[Index()[w]];
    switch (op.operand) {
    case poNone:
    case poUnknown:
        out += op.text;
        break;
    case poEmpty:
        break;
    case poLiteral:
        out += op.text;
        out += ' ';
        AppendHex(out, w & 0xFF, 2);
        break;
    case poBank:
        out += op.text;
        AppendHex(out, w & 0xF, 1);
        break;
    case poReturn:
        if ((w & 0xE) == 2)
            out += "RETURN ";
        else if ((w & 0xE) == 0)
            out += "RETFIE ";
        else {
            out += "???";
            break;
        }
        out += (w & 1) ? '1' : '0';
        break;
    case poFile:
        out += op.text;
        out += ' ';
        AppendFile(out, w);
        break;
    case poFileDest:
        out += op.text;
        out += ' ';
        AppendFile(out, w);
        out += (w & 0x200) ? ",F" : ",W";
        break;
    case poFileBit:
        out += op.text;
        out += ' ';
        AppendFile(out, w & 0x1FF);
        out += '.';
        out += char('0' + ((w >> 9) & 7));
        break;
    case poBranch11: {
        const int k = (w & 0x400) ? int(w & 0x7FF) - 0x800 : int(w & 0x7FF);
        out += op.text;
        AppendHex(out, uint32_t(int64_t(address) + 2 + 2 * k) & kPcMask, 4);
        break;
    }
    case poBranch8: {
        const int k = (w & 0x80) ? int(w & 0xFF) - 0x100 : int(w & 0xFF);
        out += op.text;
        AppendHex(out, uint32_t(int64_t(address) + 2 + 2 * k) & kPcMask, 4);
        break;
    }
    case poFirstWord:
        m_pending = w;
        break;
    case poSecondWord: {
        const unsigned p = m_pending;
        m_pending = 0;
        if ((p >> 12) == 0xC) {
            out += "MOVFF  ";
            AppendRegister12(out, p & 0xFFF);
            out += ',';
            AppendRegister12(out, w & 0xFFF);
        } else if ((p & 0xF00) == 0xF00) {
            const uint32_t target = ((p & 0xFF) | ((w & 0xFFF) << 8)) * 2;
            out += "GOTO   ";
            AppendHex(out, target, 4);
        } else if ((p & 0xE00) == 0xC00) {
            const uint32_t target = ((p & 0xFF) | ((w & 0xFFF) << 8)) * 2;
            out += "CALL   ";
            AppendHex(out, target, 4);
            if (p & 0x100)
                out += ",1";
        } else if ((p & 0xE00) == 0xE00) {
            out += "LFSR  FSR";
            out += char('0' + ((p >> 4) & 3));
            out += ',';
            AppendHex(out, (w & 0xFF) + (p & 0xF) * 256, 3);
        } else if (w == 0xFFFF) {
            out += "NOP(FFFF)";
        } else {
            out += "???";
        }
        break;
    }
    }
}

std::string TPic18Decoder::Decode(unsigned w, uint32_t address)
{
    std::string out;
    Append(out, w, address);
    return out;
}

void TPic18Image::SetByte(uint32_t address, uint8_t value)
{
    if (address >= kBytes)
        return;
    const uint32_t index = address / 2;
    if (index >= m_words.size())
        m_words.resize(std::max<size_t>(index + 1, std::min<size_t>(kBytes / 2, m_words.size() * 2)), 0xFFFF);
    uint16_t &word = m_words[index];
    word = (address & 1) ? uint16_t((word & 0x00FF) | (value << 8)) : uint16_t((word & 0xFF00) | value);
    if (int64_t(address) > m_highest)
        m_highest = address;
}

std::string ListPic18(const TPic18Image &image)
{
    const uint32_t last = std::max<uint32_t>(0x1000, image.Highest() < 0 ? 0 : uint32_t(image.Highest()) & ~1u);
    std::string out;
    out.reserve(size_t(last / 2 + 1) * 20);
    TPic18Decoder decoder;
    for (uint32_t a = 0; a <= last; a += 2) {
        AppendHex(out, a, 4);
        out += ' ';
        decoder.Append(out, image.Word(a), a);
        out += "\r\n";
    }
    return out;
}

}  // namespace kiv
