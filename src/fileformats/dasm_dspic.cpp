#include "dasm_dspic.h"

#include "dasm_text.h"

#include <algorithm>

namespace kiv {

using dasm::Hex;

namespace {

// The fields of one instruction word and the operand fragments built from them.
struct TWord {
    uint32_t w;
    uint32_t address;

    unsigned Bit(int n) const { return (w >> n) & 1; }
    unsigned sel() const { return (w >> 16) & 0xF; }
    unsigned s() const { return w & 0xF; }
    unsigned p() const { return (w >> 4) & 7; }
    unsigned d() const { return (w >> 7) & 0xF; }
    unsigned q() const { return (w >> 11) & 7; }
    unsigned b() const { return (w >> 15) & 0xF; }
    unsigned b2() const { return (w >> 11) & 0xF; }
    unsigned f() const { return w & 0x1FFF; }
    bool Lit5() const { return ((w >> 5) & 3) == 3; }

    std::string R(unsigned n) const { return std::to_string(n); }
    std::string DotB() const { return Bit(14) ? ".B" : ""; }
    std::string Wreg() const { return Bit(13) ? "" : ",  WREG"; }

    // A register in addressing mode `mode` (the six modes of SRC and DST).
    static std::string Mode(unsigned mode, unsigned reg)
    {
        const std::string r = std::to_string(reg);
        switch (mode) {
        case 0: return "W" + r;
        case 1: return "[W" + r + "]";
        case 2: return "[W" + r + "--]";
        case 3: return "[W" + r + "++]";
        case 4: return "[--W" + r + "]";
        case 5: return "[++W" + r + "]";
        default: return "";
        }
    }
    std::string Src(const std::string &prefix) const { return p() < 6 ? prefix + Mode(p(), s()) : ""; }
    std::string Dst() const { return q() < 6 ? ",  " + Mode(q(), d()) : ""; }
    // SRC with the register-offset form [Ws]+[Wb] for modes 6 and 7.
    std::string SrcOffset(const std::string &prefix, unsigned base) const
    {
        return p() < 6 ? prefix + Mode(p(), s()) : prefix + "[W" + R(s()) + "]+[W" + R(base) + "]";
    }
    std::string Relative() const
    {
        const int64_t k = int16_t(w & 0xFFFF);
        const int64_t target = int64_t(address) + 2 + 2 * k;
        return target < 0 ? Hex(uint64_t(target), 16) : Hex(uint64_t(target), 6);
    }
    std::string XPrefetch() const
    {
        static const char *const kX[16] = {", [W8]", ", [W8]+=2", ", [W8]+=4", ", [W8]+=6", "", ", [W8]-=6",
                                           ", [W8]-=4", ", [W8]-=2", ", [W9]", ", [W9]+=2", ", [W9]+=4",
                                           ", [W9]+=6", ", [W9]+[W12]", ", [W9]-=6", ", [W9]-=4", ", [W9]-=2"};
        return kX[(w >> 6) & 0xF];
    }
    std::string YPrefetch() const
    {
        static const char *const kY[16] = {", [W10]", ", [W10]+=2", ", [W10]+=4", ", [W10]+=6", "",
                                           ", [W11]-=6", ", [W11]-=4", ", [W11]-=2", ", [W11]", ", [W11]+=2",
                                           ", [W11]+=4", ", [W11]+=6", ", [W11]+[W12]", ", [W11]-=6",
                                           ", [W11]-=4", ", [W11]-=2"};
        return kY[(w >> 2) & 0xF];
    }
    std::string WriteBack() const
    {
        switch (w & 3) {
        case 0: return ",  W13";
        case 1: return ",  [W13]+=2";
        default: return "";
        }
    }
    // The shift literal of the accumulator instructions, with the instruction's two markers.
    std::string Shift(const char *negative, const char *positive) const
    {
        const unsigned r = (w >> 7) & 0xF;
        if (r == 0)
            return "";
        return Bit(10) ? negative + Hex(16 - r, 1) : positive + Hex((w >> 7) & 7, 1);
    }
    std::string Acc() const { return Bit(15) ? "B" : "A"; }
};

using TFamily = std::string (*)(const TWord &);

std::string Family1(const TWord &x)
{
    return std::string(x.Bit(19) ? "SUBBR" : "SUBR") + x.DotB() + "  W" + x.R(x.b())
           + (x.Lit5() ? "#0x" + Hex(x.w & 0x1F, 2) : x.Src("  ")) + x.Dst();
}

std::string Family2(const TWord &x)
{
    return "MOV  #0x" + Hex((x.w >> 4) & 0xFFFF, 4) + ",  W" + x.R(x.s());
}

std::string Family3(const TWord &x)
{
    static const char *const kBranches[15] = {"BRA OV,  0x", "BRA C or BRA GEU,  0x", "BRA Z,  0x", "BRA N,  0x",
                                              "BRA LE,  0x", "BRA LT,  0x", "BRA LEU,  0x", "BRA  0x",
                                              "BRA NOV,  0x", "BRA LTU or BRA NC,  0x", "BRA NZ,  0x",
                                              "BRA NN,  0x", "BRA GT,  0x", "BRA GE,  0x", "BRA GTU,  0x"};
    if (x.sel() == 15)
        return "Unknown: 0011 ???? xxxx xxxx xxxx xxxx";
    return kBranches[x.sel()] + x.Relative();
}

// Families 5, 6 and 7 (bit 19 clear): mnemonic Wb, source, destination.
std::string ThreeOperand(const TWord &x, const char *mnemonic)
{
    return std::string(mnemonic) + x.DotB() + "  W" + x.R(x.b()) + ",  "
           + (x.Lit5() ? "#0x" + Hex(x.w & 0x1F, 2) : x.Src("  ")) + x.Dst();
}

std::string Family4(const TWord &x)
{
    return std::string(x.Bit(19) ? "ADDC" : "ADD") + x.DotB() + "  W" + x.R(x.b())
           + (x.Lit5() ? ",  #0x" + Hex(x.w & 0x1F, 2) : x.Src(",  ")) + x.Dst();
}

std::string Family5(const TWord &x) { return ThreeOperand(x, x.Bit(19) ? "SUBB" : "SUB"); }
std::string Family6(const TWord &x) { return ThreeOperand(x, x.Bit(19) ? "XOR" : "AND"); }

std::string Family7(const TWord &x)
{
    if (!x.Bit(19))
        return ThreeOperand(x, "IOR");
    std::string text = "MOV" + x.DotB() + x.SrcOffset("  ", x.b());
    if (x.q() >= 6)
        text += ",  [W" + x.R(x.d()) + "]+[W" + x.R(x.b()) + "]";
    else
        text += x.Dst();
    return text;
}

std::string Family8(const TWord &x)
{
    const std::string f = Hex((x.w >> 4) & 0x7FFF, 4);
    return x.Bit(19) ? "MOV  W" + x.R(x.s()) + ",  0x" + f : "MOV  0x" + f + ",  W" + x.R(x.s());
}

std::string Family9(const TWord &x)
{
    const unsigned k = ((x.w >> 4) & 7) | (((x.w >> 11) & 7) << 3) | (((x.w >> 15) & 0xF) << 6);
    const bool byte = x.Bit(14);
    const unsigned m = byte ? 1 : 2;
    const bool store = x.Bit(19);
    const char *positive = store && byte ? " + " : " + 0x";
    const char *negative = store && byte ? " + -" : " + -0x";
    const std::string offset = k < 0x200 ? positive + Hex(k * m, 3) : negative + Hex((0x400 - k) * m, 3);
    if (!store)
        return std::string("MOV") + (byte ? ".B  [W" : "  [W") + x.R(x.s()) + offset + "],  W" + x.R(x.d());
    return std::string("MOV") + (byte ? ".B  W" : "  W") + x.R(x.s()) + ",  [W" + x.R(x.d()) + offset + "]";
}

std::string FamilyA(const TWord &x)
{
    const std::string regBit = Hex((x.w >> 12) & 0xF, 1);
    const std::string fileBit = Hex((x.w >> 13) & 7, 1);
    const std::string file = Hex(x.f(), 4);
    switch (x.sel()) {
    case 0:
    case 1:
    case 2: {
        static const char *const kByte[3] = {"BSET.B  ", "BCLR.B  ", "BTG.B  "};
        static const char *const kWord[3] = {"BSET  ", "BCLR  ", "BTG  "};
        return std::string(x.Bit(10) ? kByte[x.sel()] : kWord[x.sel()]) + x.Src("  ") + ",  #0x" + regBit;
    }
    case 3: return std::string(x.Bit(11) ? "BTST.Z  " : "BTST.C  ") + x.Src("  ") + ",  #0x" + regBit;
    case 4: return std::string(x.Bit(11) ? "BTSTS.Z  " : "BTSTS.C  ") + x.Src("  ") + ",  #0x" + regBit;
    case 5: return std::string(x.Bit(15) ? "BTST.Z  " : "BTST.C  ") + x.Src("  ") + ",  W" + x.R(x.b2());
    case 6: return "BTSS  " + x.Src("  ") + ",  #0x" + regBit;
    case 7: return "BTSC  " + x.Src("  ") + ",  #0x" + regBit;
    case 8: return "BSET.B  0x" + file + ",  #0x" + fileBit;
    case 9: return "BCLR.B  0x" + file + ",  #0x" + fileBit;
    case 10: return "BTG.B  0x" + file + ",  #0x" + fileBit;
    case 11: return "BTST.B  0x" + file + ",  #0x" + fileBit;
    case 12: return "BTSTS.B  0x" + file + ",  #0x" + fileBit;
    case 13: return std::string(x.Bit(15) ? "BSW.Z  " : "BSW.C  ") + x.Src("  ") + ",  W" + x.R(x.b2());
    case 14: return "BTSS.B  0x" + file + ",  #0x" + fileBit;
    default: return "BTSC.B  0x" + file + ",  #0x" + fileBit;
    }
}

std::string MulOperands1(const TWord &x)
{
    if (x.Lit5())
        return "#0x" + Hex(x.w & 0x1F, 2) + ",  W" + x.R(x.d());
    const std::string s = x.R(x.s());
    const std::string d = x.R(x.d());
    switch (x.p()) {
    case 0: return "W" + s + ",  W" + d;
    case 1: return "[W" + s + ",]  W" + d;
    case 2: return "[W" + s + ",--]  W" + d;
    case 3: return "[W" + s + ",++]  W" + d;
    case 4: return "[--W" + s + ",]  W" + d;
    default: return "[++W" + s + ",]  W" + d;
    }
}

std::string MulOperands2(const TWord &x)
{
    const std::string s = x.R(x.s());
    const std::string d = x.R(x.d());
    switch (x.p()) {
    case 0: return ",  W" + s + ",  W" + d;
    case 1: return ",  [W" + s + ",]  W" + d;
    case 2: return ",  [W" + s + ",--]  W" + d;
    case 3: return ",  [W" + s + ",++]  W" + d;
    case 4: return ",  [--W" + s + ",]  W" + d;
    case 5: return ",  [++W" + s + ",]  W" + d;
    default: return "";
    }
}

std::string FamilyB(const TWord &x)
{
    static const char *const kPairs[3][2] = {{"ADD", "ADDC"}, {"SUB", "SUBB"}, {"AND", "XOR"}};
    const std::string file = Hex(x.f(), 4);
    const unsigned sel = x.sel();
    switch (sel) {
    case 0:
    case 1:
    case 2:
        return kPairs[sel][x.Bit(15)] + x.DotB() + "  #0x" + Hex((x.w >> 4) & 0x3FF, 3) + ",  W" + x.R(x.s());
    case 3:
        if (!x.Bit(15))
            return std::string(x.Bit(14) ? "IOR.B  #0x" : "IOR  #0x") + Hex((x.w >> 4) & 0x3FF, 3) + ",  W" + x.R(x.s());
        return "MOV.B  #0x" + Hex((x.w >> 4) & 0xFF, 2) + ",  W" + x.R(x.s());
    case 4:
    case 5:
    case 6:
        return kPairs[sel - 4][x.Bit(15)] + x.DotB() + "  0x" + file + x.Wreg();
    case 7:
        if (!x.Bit(15))
            return std::string(x.Bit(14) ? "IOR.B" : "IOR") + "  0x" + file + x.Wreg();
        return std::string(x.Bit(14) ? "MOV.B" : "MOV") + "  WREG,  0x" + file;
    case 8:
    case 9:
        if (!x.Bit(15))
            return std::string(sel == 8 ? "MUL.UU  W" : "MUL.SU  W") + x.R(x.b2()) + ",  " + MulOperands1(x);
        return std::string(sel == 8 ? "MUL.US  W" : "MUL.SS  W") + x.R(x.b2()) + MulOperands2(x);
    case 10: return std::string(x.Bit(15) ? "TBLRDH" : "TBLRDL") + x.DotB() + x.Src("  ") + x.Dst();
    case 11: return std::string(x.Bit(15) ? "TBLWTH" : "TBLWTL") + x.DotB() + x.Src("  ") + x.Dst();
    case 12: return std::string(x.Bit(14) ? "MUL.B" : "MUL") + "  0x" + file;
    case 13: return std::string(x.Bit(15) ? "SUBBR" : "SUBR") + x.DotB() + "  0x" + file + x.Wreg();
    case 14: {
        if (x.Bit(15))
            return "MOV.D  W" + x.R(x.w & 0xE) + x.Dst();
        const std::string s = x.R(x.s());
        const std::string n = ",  W" + x.R((x.w >> 8) & 7);
        switch (x.p()) {
        case 0: return "MOV.D  W" + s + n;
        case 1: return "MOV.D  [W" + s + "]" + n;
        case 2: return "MOV.D  [W" + s + "--]" + n;
        case 3: return "MOV.D  [W" + s + "++]" + n;
        case 4: return "MOV.D  [--W" + s + "]" + n;
        case 5: return "MOV.D  [++W" + s + "]" + n;
        default: return "";
        }
    }
    default: return std::string(x.Bit(14) ? "MOV.B  0x" : "MOV  0x") + file + x.Wreg();
    }
}

std::string FamilyC(const TWord &x)
{
    static const char *const kWorking[4] = {"W4", "W5", "W6", "W7"};
    const unsigned sel = x.sel();
    const std::string x2 = kWorking[(x.w >> 12) & 3];
    if (!x.Bit(19)) {
        if (sel == 3) {
            std::string text = "CLR  " + x.Acc();
            if (!x.XPrefetch().empty())
                text += x.XPrefetch() + "," + x2;
            if (!x.YPrefetch().empty())
                text += x.YPrefetch() + (x.Bit(15) ? ",W5" : ",W4");
            return text + x.WriteBack();
        }
        std::string text;
        if (sel == 7)
            text = "MOVSAC  ";
        else if ((x.w & 3) == 3)
            text = x.Bit(14) ? "MPY.N  " : "MPY  ";
        else
            text = x.Bit(14) ? "MSC  " : "MAC  ";
        static const char *const kPairs[8] = {"W4*W5,  ", "W4*W6,  ", "W4*W7,  ", "", "W5*W6,  ", "W5*W7,  ", "W6*W7,  ", ""};
        text += kPairs[sel];
        text += x.Acc();
        if (!x.XPrefetch().empty())
            text += x.XPrefetch() + ",  " + x2;
        if (!x.YPrefetch().empty())
            text += x.YPrefetch() + (x.Bit(15) ? ",  W5" : ",  W4");
        return text + x.WriteBack();
    }
    const std::string accumulator = x.Bit(15) ? ",  B" : ",  A";
    switch (sel) {
    case 8:
        if (x.Bit(6)) {
            const unsigned t = x.w & 0x3F;
            return "SFTAC  " + x.Acc() + (t > 16 ? ",  #-0x" + Hex(64 - t, 2) : ",  #0x" + Hex(x.w & 0x1F, 2));
        }
        return "SFTAC  " + x.Acc() + ",  W" + x.R(x.s());
    case 9: return "ADD" + x.SrcOffset("  ", x.b2()) + x.Shift(",  #-0x", ",  #0x") + accumulator;
    case 10: return "LAC" + x.SrcOffset("  ", x.b2()) + x.Shift(",  #-0x", ",  #0x") + accumulator;
    case 11: {
        static const char *const kOps[4] = {"ADD  ", "NEG  ", "Unknown: 1100 1011 xx?? xxxx xxxx xxxx.", "SUB  "};
        return kOps[(x.w >> 12) & 3] + x.Acc();
    }
    case 12: return "SAC  " + x.Acc() + x.Shift(",  #-", ",  #") + x.SrcOffset(",  ", x.b2());
    case 13: return "SAC.R  " + x.Acc() + x.Shift(",  #-0x", ",  #0x") + x.SrcOffset(",  ", x.b2());
    case 15: return std::string(x.Bit(15) ? "FF1L" : "FF1R") + x.Src("  ") + ",  W" + x.R(x.d());
    default: return "Unknown: 1100 ???? xxxx xxxx xxxx xxxx.";
    }
}

std::string FamilyD(const TWord &x)
{
    const std::string suffix = x.Bit(14) ? ".B" : "";
    const std::string file = Hex(x.f(), 4);
    const bool first = x.Bit(15);
    switch (x.sel()) {
    case 0: return std::string(x.Bit(14) ? "SL.B  W" : "SL  W") + x.Src("  ") + x.Dst();
    case 1: return (first ? "ASR" : "LSR") + suffix + x.Src("  ") + x.Dst();
    case 2: return (first ? "RLC" : "RLNC") + suffix + x.Src("  ") + x.Dst();
    case 3: return (first ? "RRC" : "RRNC") + suffix + x.Src("  ") + x.Dst();
    case 4: return std::string(x.Bit(14) ? "SL.B  0x" : "SL  0x") + file + x.Wreg();
    case 5: return (first ? "ASR" : "LSR") + suffix + "  0x" + file + x.Wreg();
    case 6: return (first ? "RLC" : "RLNC") + suffix + "  0x" + Hex(x.f(), 1) + (x.Bit(13) ? "" : ", WREG");
    case 7: return (first ? "RRC" : "RRNC") + suffix + "  0x" + file + x.Wreg();
    case 8:
        return std::string(first ? "DIV.U" : "DIV.S") + (x.Bit(6) ? "D  W" : "  W") + x.R(x.d()) + "  W" + x.R(x.s());
    case 9: return "DIVF  W" + x.R(x.b2()) + ",  W" + x.R(x.s());
    case 13:
        return "SL  W" + x.R(x.b2()) + ",  " + (x.Bit(6) ? ",  #0x" : ",  W") + Hex(x.s(), 1) + ",  W" + x.R(x.d());
    case 14:
        return std::string(first ? "ASR" : "LSR") + "  W" + x.R(x.b2()) + (x.Bit(6) ? ",  #0x" : ",  W")
               + Hex(x.s(), 1) + ",  W" + x.R(x.d());
    case 15: return "FBCL" + x.Src("  ") + ",  W" + x.R(x.d());
    default: return "Unknown: 1101 ???? xxxx xxxx xxxx xxxx.";
    }
}

std::string FamilyE(const TWord &x)
{
    const std::string b10 = x.Bit(10) ? ".B" : "";
    const std::string file = Hex(x.f(), 4);
    const std::string two = x.Bit(15) ? "2" : "";
    switch (x.sel()) {
    case 0: return std::string(x.Bit(10) ? "CP0.B  " : "CP0  ") + x.Src("  ");
    case 1:
        return std::string("CP") + (x.Bit(15) ? "B" : "") + b10 + "  W" + x.R(x.b2())
               + (x.Lit5() ? ",  #0x" + Hex(x.w & 0x1F, 2) : x.Src("  "));
    case 2: return std::string(x.Bit(14) ? "CP0.B  " : "CP0  ") + "  0x" + file;
    case 3: return std::string(x.Bit(15) ? "CPB" : "CP") + (x.Bit(14) ? ".B  0x" : "  0x") + file;
    case 6: return std::string("CPS") + (x.Bit(15) ? "LT" : "GT") + b10 + "  W" + x.R(x.b2()) + ",  W" + x.R(x.s());
    case 7: return std::string("CPS") + (x.Bit(15) ? "EQ" : "NE") + b10 + "  W" + x.R(x.b2()) + ",  W" + x.R(x.s());
    case 8: return "INC" + two + x.DotB() + x.Src("  ") + x.Dst();
    case 9: return "DEC" + two + x.DotB() + x.Src("  ") + x.Dst();
    case 10: return std::string(x.Bit(15) ? "COM" : "NEG") + x.DotB() + x.Src("  ") + x.Dst();
    case 11: {
        std::string text = std::string(x.Bit(15) ? "SETM" : "CLR") + x.DotB();
        if (x.q() < 6)
            text += "  " + TWord::Mode(x.q(), x.d());
        return text;
    }
    case 12: return "INC" + two + x.DotB() + "  0x" + file + x.Wreg();
    case 13: return "DEC" + two + x.DotB() + "  0x" + file + x.Wreg();
    case 14: return std::string(x.Bit(15) ? "COM" : "NEG") + x.DotB() + "  0x" + file + x.Wreg();
    case 15: return std::string(x.Bit(15) ? "SETM" : "CLR") + x.DotB() + (x.Bit(13) ? "  0x" + file : "  WREG");
    default: return "Unknown: 1110 ???? xxxx xxxx xxxx xxxx.";
    }
}

std::string FamilyF(const TWord &x)
{
    static const char *const kWorking[4] = {",W4", ",W5", ",W6", ",W7"};
    const unsigned sel = x.sel();
    if (sel < 4) {
        static const char *const kOps[4] = {"MAC  ", "MPY  ", "EDAC  ", "ED  "};
        static const char *const kSquares[4] = {"W4*W4,  ", "W5*W5,  ", "W6*W6,  ", "W7*W7,  "};
        const unsigned op = x.w & 3;
        std::string text = std::string(kOps[op]) + kSquares[sel] + x.Acc();
        if (op >= 2) {
            text += x.XPrefetch() + x.YPrefetch();
            if (!x.XPrefetch().empty() || !x.YPrefetch().empty())
                text += kWorking[(x.w >> 12) & 3];
        } else {
            if (!x.XPrefetch().empty())
                text += x.XPrefetch() + ",  W" + x.R(4 + ((x.w >> 12) & 3));
            if (!x.YPrefetch().empty())
                text += x.YPrefetch() + (x.Bit(15) ? ",W5" : ",W4");
        }
        return text;
    }
    switch (sel) {
    case 8: return "PUSH  0x" + Hex((x.w >> 1) & 0x7FFF, 4);
    case 9: return "POP  0x" + Hex((x.w >> 1) & 0x7FFF, 4);
    case 10: return x.Bit(15) ? "ULNK  " : "LNK  #0x" + Hex((x.w >> 1) & 0x1FFF, 4);
    case 11: {
        if (x.p() >= 6)
            return "";
        return std::string(x.Bit(15) ? "ZE  " : "SE  ") + TWord::Mode(x.p(), x.s()) + ",  W" + x.R(x.d());
    }
    case 12: return "DISI  #0x" + Hex(x.w & 0x3FFF, 4);
    case 13:
        if (x.Bit(15))
            return "SWAP" + x.DotB() + "  W" + x.R(x.s());
        if (x.Bit(14))
            return "DAW.B  W" + x.R(x.s());
        return "EXCH  W" + x.R(x.d()) + ",  W" + x.R(x.s());
    case 14:
        switch ((x.w >> 12) & 0xF) {
        case 0: return "RESET";
        case 4: return "PWRSAV  #" + Hex(x.w & 1, 1);
        case 6: return "CLRWDT";
        case 8: return "POP.S";
        case 10: return "PUSH.S";
        default: return "Unknown: 1111 1110 ???? xxxx xxxx xxxx.";
        }
    case 15: return "NOPR";
    default: return "Unknown: 1111 ???? xxxx xxxx xxxx xxxx.";
    }
}

const TFamily kFamilies[16] = {nullptr, Family1, Family2, Family3, Family4, Family5, Family6, Family7,
                               Family8, Family9, FamilyA, FamilyB, FamilyC, FamilyD, FamilyE, FamilyF};

}  // namespace

std::string TDsPicDecoder::Decode(uint32_t w, uint32_t address, bool *completed)
{
    w &= 0xFFFFFF;
    if (completed)
        *completed = false;
    const TWord x{w, address};
    if ((w >> 20) != 0)
        return kFamilies[w >> 20](x);

    std::string text;
    switch (x.sel()) {
    case 0:
        if (m_hasPending) {
            const uint32_t p = m_pending;
            const std::string target = Hex((p & 0xFFFE) | ((w & 0x7F) << 16), 6);
            if ((p >> 16) == 2) {
                text = "CALL  0x" + target;
            } else if ((p >> 16) == 4) {
                text = "GOTO  0x" + target;
            } else {
                const int64_t k = int16_t(w & 0xFFFF);
                text = ((p >> 15) & 1) ? "DO  W" + std::to_string(p & 0xF) : "DO  #0x" + Hex(p & 0x3FFF, 4);
                text += ",  " + Hex(uint64_t(int64_t(address) + 4 + 2 * k) & 0xFFFFFF, 6);
            }
        } else {
            text = "NOP  0x" + Hex(w & 0xFFFF, 4);
        }
        break;
    case 1: {
        static const char *const kIndirect[16] = {"CALL  W", nullptr, "RCALL  W", nullptr, "GOTO  W", nullptr,
                                                  "BRA  W", nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr};
        const char *mnemonic = kIndirect[(w >> 12) & 0xF];
        if (mnemonic)
            text = mnemonic + x.R(x.s());
        break;
    }
    case 2:
    case 4:
    case 8:
        m_pending = w & 0xFFFFF;
        m_hasPending = true;
        return "";
    case 5:
        text = "RETLW" + x.DotB() + "  #0x" + Hex((w >> 4) & 0x3FF, 3) + ", W" + x.R(x.s());
        break;
    case 6:
        if (((w >> 12) & 0xF) == 0)
            text = "RETURN";
        else if (((w >> 12) & 0xF) == 4)
            text = "RETFIE";
        break;
    case 7:
        text = "RCALL  0x" + x.Relative();
        break;
    case 9:
        text = x.Bit(15) ? "REPEAT  W" + x.R(x.s()) : "REPEAT  #0x" + Hex(w & 0x3FFF, 4);
        break;
    case 12: text = "BRA OA,  0x" + x.Relative(); break;
    case 13: text = "BRA OB,  0x" + x.Relative(); break;
    case 14: text = "BRA SA,  0x" + x.Relative(); break;
    case 15: text = "BRA SB,  0x" + x.Relative(); break;
    default:
        text = "Unknown: 0000 ???? xxxx xxxx xxxx xxxx";
        break;
    }
    if (!text.empty() && m_hasPending) {
        if (completed)
            *completed = true;
        Reset();
    }
    return text;
}

void TDsPicDecoder::AppendListing(std::string &out, uint32_t w, uint32_t address)
{
    w &= 0xFFFFFF;
    bool completed = false;
    const uint32_t pending = m_pending;
    const std::string text = Decode(w, address, &completed);
    if ((w >> 20) == 0) {
        if (text.empty()) {
            out += "\r\n";
            return;
        }
        if (completed) {
            // The whole instruction on its first word's line; the second word lists as "NOP".
            out += Hex(address - 2, 5) + "   " + Hex(pending, 6) + "   " + text + "\r\n";
            out += Hex(address, 5) + "   " + Hex(w, 6) + "   NOP\r\n";
            return;
        }
    }
    out += Hex(address, 5) + "   " + Hex(w, 6) + "   " + text + "\r\n";
}

void TDsPicImage::SetByte(uint32_t pc, unsigned byte, uint8_t value)
{
    if (pc >= kProgramEnd || byte > 2)
        return;
    const uint32_t index = pc / 2;
    if (index >= m_words.size())
        m_words.resize(std::max<size_t>(index + 1, std::min<size_t>(kProgramEnd / 2, m_words.size() * 2)), 0xFFFFFF);
    uint32_t &word = m_words[index];
    word = (word & ~(0xFFu << (8 * byte))) | (uint32_t(value) << (8 * byte));
    if (int64_t(pc & ~1u) > m_highest)
        m_highest = pc & ~1u;
}

std::string ListDsPic(const TDsPicImage &image)
{
    const uint32_t last = std::max<uint32_t>(0x1000, image.Highest() < 0 ? 0 : uint32_t(image.Highest()));
    std::string out;
    out.reserve(size_t(last / 2 + 1) * 40);
    TDsPicDecoder decoder;
    for (uint32_t a = 0; a <= last; a += 2)
        decoder.AppendListing(out, image.Word(a), a);
    return out;
}

}  // namespace kiv
