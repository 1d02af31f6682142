#include "dasm_midrange.h"

#include "dasm_text.h"

#include <array>

namespace kiv {

using dasm::AppendHex;

namespace {

enum TMidOperand : uint8_t {
    moNone,         // the mnemonic alone
    moFileDest,     // register and ",F" / ",W"
    moFile,         // register (the mnemonic carries its own padding)
    moFileBit,      // register "," bit
    moLiteral,      // 8-bit literal
    moCall,         // CALL target with page tracking
    moGoto,         // GOTO target with page tracking
    moTris,         // one hex digit
    moBareLiteral,  // an undefined literal form: the literal without a mnemonic
    moEmpty,        // no text
    moUnknown,      // "???"
};

struct TMidOp {
    uint16_t mask;
    uint16_t match;
    const char *text;
    TMidOperand operand;
};

// The first entry whose mask and match fit the word decodes it; the order is the order of the
// tests in the family's table.
const TMidOp k12BitOps[] = {
    {0xFF00, 0x0400, "BCF  ", moFileBit},
    {0xFF00, 0x0500, "BSF  ", moFileBit},
    {0xFF00, 0x0600, "BTFSC", moFileBit},
    {0xFF00, 0x0700, "BTFSS", moFileBit},
    {0xFF00, 0x0800, "RETLW", moLiteral},
    {0xFF00, 0x0C00, "MOVLW", moLiteral},
    {0xFF00, 0x0D00, "IORLW", moLiteral},
    {0xFF00, 0x0E00, "ANDLW", moLiteral},
    {0xFF00, 0x0F00, "XORLW", moLiteral},
    {0xFF00, 0x0900, "CALL ", moCall},
    {0xFE00, 0x0A00, "GOTO ", moGoto},
    {0xFFC0, 0x0080, "SUBWF", moFileDest},
    {0xFFC0, 0x00C0, "DECF ", moFileDest},
    {0xFFC0, 0x0100, "IORWF", moFileDest},
    {0xFFC0, 0x0140, "ANDWF", moFileDest},
    {0xFFC0, 0x0180, "XORWF", moFileDest},
    {0xFFC0, 0x01C0, "ADDWF", moFileDest},
    {0xFFC0, 0x0200, "MOVF ", moFileDest},
    {0xFFC0, 0x0240, "COMF ", moFileDest},
    {0xFFC0, 0x0280, "INCF ", moFileDest},
    {0xFFC0, 0x02C0, "DECFSZ", moFileDest},
    {0xFFC0, 0x0300, "RRF  ", moFileDest},
    {0xFFC0, 0x0340, "RLF  ", moFileDest},
    {0xFFC0, 0x0380, "SWAPF", moFileDest},
    {0xFFC0, 0x03C0, "INCFSZ", moFileDest},
    {0xFFE0, 0x0060, "CLRF   ", moFile},
    {0xFFE0, 0x0020, "MOVWF  ", moFile},
    {0xFFFF, 0x0005, "TRIS   ", moTris},
    {0xFFFF, 0x0006, "TRIS   ", moTris},
    {0xFFFF, 0x0007, "TRIS   ", moTris},
    {0xFFFF, 0x0000, "NOP", moNone},
    {0xFFFF, 0x0002, "OPTION", moNone},
    {0xFFFF, 0x0003, "SLEEP", moNone},
    {0xFFFF, 0x0004, "CLRWDT", moNone},
    {0xFFFF, 0x0040, "CLRW", moNone},
    {0x0000, 0x0000, "???", moUnknown},
};

const TMidOp k14BitOps[] = {
    {0xFF80, 0x0180, "CLRF   ", moFile},
    {0xFF00, 0x0100, "CLRW", moNone},
    {0xFF00, 0x0200, "SUBWF", moFileDest},
    {0xFF00, 0x0300, "DECF ", moFileDest},
    {0xFF00, 0x0400, "IORWF", moFileDest},
    {0xFF00, 0x0500, "ANDWF", moFileDest},
    {0xFF00, 0x0600, "XORWF", moFileDest},
    {0xFF00, 0x0700, "ADDWF", moFileDest},
    {0xFF00, 0x0800, "MOVF ", moFileDest},
    {0xFF00, 0x0900, "COMF ", moFileDest},
    {0xFF00, 0x0A00, "INCF ", moFileDest},
    {0xFF00, 0x0B00, "DECFSZ", moFileDest},
    {0xFF00, 0x0C00, "RRF  ", moFileDest},
    {0xFF00, 0x0D00, "RLF  ", moFileDest},
    {0xFF00, 0x0E00, "SWAPF", moFileDest},
    {0xFF00, 0x0F00, "INCFSZ", moFileDest},
    // MOVWF, TRIS and the operand-free forms lie below 0x1000 only: BCF f,1 (0x1080), CALL
    // 0x080 (0x2080) and MOVLW 0x80 (0x3080) share their low bits.
    {0xFF80, 0x0080, "MOVWF  ", moFile},
    {0xFFFF, 0x0065, "TRIS   ", moTris},
    {0xFFFF, 0x0066, "TRIS   ", moTris},
    {0xFFFF, 0x0067, "TRIS   ", moTris},
    {0xFF9F, 0x0000, "NOP", moNone},  // 0x0020, 0x0040 and 0x0060 are NOP as well
    {0xFFFF, 0x0008, "RETURN", moNone},
    {0xFFFF, 0x0009, "RETFIE", moNone},
    {0xFFFF, 0x0062, "OPTION", moNone},
    {0xFFFF, 0x0063, "SLEEP", moNone},
    {0xFFFF, 0x0064, "CLRWDT", moNone},
    {0xF000, 0x0000, "???", moUnknown},
    {0xFC00, 0x1000, "BCF  ", moFileBit},
    {0xFC00, 0x1400, "BSF  ", moFileBit},
    {0xFC00, 0x1800, "BTFSC", moFileBit},
    {0xFC00, 0x1C00, "BTFSS", moFileBit},
    {0xF800, 0x2000, "CALL ", moCall},
    {0xF800, 0x2800, "GOTO ", moGoto},
    // Bits 8 and 9 of MOVLW and RETLW and bit 8 of SUBLW and ADDLW are "don't care" bits.
    {0xFC00, 0x3000, "MOVLW", moLiteral},
    {0xFC00, 0x3400, "RETLW", moLiteral},
    {0xFF00, 0x3800, "IORLW", moLiteral},
    {0xFF00, 0x3900, "ANDLW", moLiteral},
    {0xFF00, 0x3A00, "XORLW", moLiteral},
    {0xFE00, 0x3C00, "SUBLW", moLiteral},
    {0xFE00, 0x3E00, "ADDLW", moLiteral},
    {0xF000, 0x3000, "", moBareLiteral},
    {0x0000, 0x0000, "", moEmpty},
};

struct TMidFamily {
    const TMidOp *ops;
    unsigned words;       // words below this are decoded through the table; others give no text
    unsigned fileMask;
    unsigned destBit;
    unsigned bitShift;
};

const TMidFamily k12 = {k12BitOps, 0x1000, 0x1F, 5, 5};
const TMidFamily k14 = {k14BitOps, 0x4000, 0x7F, 7, 7};

// Index of the decoding entry of every word of a family, built once.
template <size_t N>
std::array<uint8_t, N> BuildIndex(const TMidOp *ops)
{
    std::array<uint8_t, N> index{};
    for (unsigned w = 0; w < N; ++w) {
        uint8_t i = 0;
        while ((w & ops[i].mask) != ops[i].match)
            ++i;
        index[w] = i;
    }
    return index;
}

const TMidOp &Lookup(unsigned w, bool fourteen)
{
    if (fourteen) {
        static const auto index = BuildIndex<0x4000>(k14BitOps);
        return k14BitOps[index[w]];
    }
    static const auto index = BuildIndex<0x1000>(k12BitOps);
    return k12BitOps[index[w]];
}

void AppendByteOperand(std::string &out, unsigned value, TDasmNumberFormat format)
{
    value &= 0xFF;
    std::string s;
    AppendHex(s, value, 2);
    if (s[0] == '0')
        s.erase(0, 1);
    if (value < 10 || format == nfSimple) {
        out += s;
    } else if (format == nfAsm) {
        if (s[0] >= 'A')
            out += '0';
        out += s;
        out += 'h';
    } else {
        out += "0x";
        out += s;
    }
}

}  // namespace

std::string FormatByteOperand(unsigned value, TDasmNumberFormat format)
{
    std::string out;
    AppendByteOperand(out, value, format);
    return out;
}

unsigned TrackPageBits14(const TMidRangeImage &image, unsigned address, unsigned t)
{
    t += address & 0x1800;
    if (address == 0)
        return t;
    const unsigned p1 = image[address - 1];
    const unsigned p2 = address >= 2 ? image[address - 2] : 0xFFFF;
    auto apply = [&t](unsigned p) {
        if (p == 0x118A)
            t &= ~0x800u;
        if (p == 0x158A)
            t |= 0x800;
        if (p == 0x120A)
            t &= ~0x1000u;
        if (p == 0x160A)
            t |= 0x1000;
    };
    apply(p1);
    if (address >= 2)
        apply(p2);  // the farther write is applied last and wins
    if (p1 == 0x008A && address >= 2 && (p2 & 0x3C00) == 0x3000)
        return ((p2 & 0x18) << 8) + (t & 0x7FF);
    if (p1 == 0x018A)
        t &= 0x7FF;
    return t;
}

unsigned TrackPageBits12(const TMidRangeImage &image, unsigned address, unsigned t)
{
    t |= address & 0x600;
    if (address < 2)
        return t;
    const unsigned p1 = image[address - 1];
    const unsigned p2 = image[address - 2];
    if (p1 == 0x4AA)
        return t & ~0x200u;
    if (p1 == 0x4CA)
        return t & ~0x400u;
    if (p2 == 0x4AA)
        return t & ~0x200u;
    if (p2 == 0x4CA)
        return t & ~0x400u;
    if (p1 == 0x5AA)
        return t | 0x200;
    if (p1 == 0x5CA)
        return t | 0x400;
    if (p2 == 0x5AA)
        return t | 0x200;
    if (p2 == 0x5CA)
        return t | 0x400;
    return t;
}

void AppendMidRange(std::string &out, const TMidRangeImage &image, unsigned address, bool fourteen,
                    const TMidRangeStyle &style)
{
    const TMidFamily &family = fourteen ? k14 : k12;
    const unsigned w = image[address];
    if (w >= family.words)
        return;
    const TMidOp &op = Lookup(w, fourteen);
    const unsigned f = w & family.fileMask;
    auto byte = [&](unsigned value) {
        if (style.rom)
            AppendHex(out, value & 0xFF, 2);
        else
            AppendByteOperand(out, value, style.numbers);
    };
    switch (op.operand) {
    case moNone:
    case moUnknown:
        out += op.text;
        break;
    case moEmpty:
        break;
    case moFileDest:
        out += op.text;
        out += op.text[5] ? " " : "  ";
        byte(f);
        out += (w >> family.destBit) & 1 ? ",F" : ",W";
        break;
    case moFile:
        out += op.text;
        byte(f);
        break;
    case moFileBit:
        out += op.text;
        out += "  ";
        byte(f);
        out += style.rom ? '.' : ',';
        out += char('0' + ((w >> family.bitShift) & 7));
        break;
    case moLiteral:
        out += op.text;
        out += "  ";
        byte(w & 0xFF);
        break;
    case moBareLiteral:
        out += "  ";
        byte(w & 0xFF);
        break;
    case moCall:
    case moGoto: {
        out += op.text;
        if (style.rom) {
            out += "  ";
            AppendHex(out, w & 0x7FF, 3);
            break;
        }
        out += style.labels != lfAddresses ? "  L" : "  ";
        unsigned target;
        if (fourteen)
            target = TrackPageBits14(image, address, w & 0x7FF);
        else
            target = TrackPageBits12(image, address, w & (op.operand == moCall ? 0xFF : 0x1FF));
        AppendHex(out, target & 0xFFFF, 4);
        break;
    }
    case moTris:
        out += op.text;
        AppendHex(out, w & 7, 1);
        break;
    }
}

std::string DecodeMidRange(const TMidRangeImage &image, unsigned address, bool fourteen, const TMidRangeStyle &style)
{
    std::string out;
    AppendMidRange(out, image, address, fourteen, style);
    return out;
}

std::string ListMidRange(const TMidRangeImage &image, bool fourteen, TDasmNumberFormat numbers, TDasmLabelFormat labels)
{
    // Label pass: every CALL and GOTO target, with the same page tracking the listing prints.
    std::vector<bool> labelled(0x8000, false);
    for (unsigned a = 0; a < TMidRangeImage::kWords; ++a) {
        const unsigned w = image[a];
        unsigned target = 0x8000;
        if (fourteen) {
            if (w < 0x4000 && ((w & 0x3800) == 0x2000 || (w & 0x3800) == 0x2800))
                target = TrackPageBits14(image, a, w & 0x7FF);
        } else if (w < 0x1000) {
            if ((w & 0xF00) == 0x900)
                target = TrackPageBits12(image, a, w & 0xFF);
            else if ((w & 0xE00) == 0xA00)
                target = TrackPageBits12(image, a, w & 0x1FF);
        }
        if (target < 0x8000)
            labelled[target] = true;
    }

    const TMidRangeStyle style{numbers, labels, false};
    std::string out;
    out.reserve(1 << 16);
    if (labels != lfAddresses)
        out += "0000: \r\n";
    for (unsigned a = 0; a < TMidRangeImage::kWords; ++a) {
        const unsigned w = image[a];
        if (w == 0xFFFF)
            continue;
        if (a > 0x1FFF) {
            // Configuration, ID and data words: listed undecoded.
            AppendHex(out, a, 4);
            out += ": ";
            AppendHex(out, w, 4);
            out += "\r\n";
            continue;
        }
        if (labels == lfAddresses) {
            AppendHex(out, a, 4);
            out += ": ";
            AppendHex(out, w, 4);
            out += "  ";
        } else if (labelled[a]) {
            out += 'L';
            AppendHex(out, a, 4);
            out += labels == lfCLabel ? ": " : "  ";
        } else {
            out += "       ";
            if (a > 0 && image[a - 1] == 0xFFFF) {
                // The first word after a gap shows its address.
                out += "\r\n";
                AppendHex(out, a, 4);
                out += ": ";
            }
        }
        AppendMidRange(out, image, a, fourteen, style);
        out += "\r\n";
    }
    return out;
}

}  // namespace kiv
