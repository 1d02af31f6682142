#include "vync_gen.h"

#include "vync_headers.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

namespace kiv::vync {

namespace {

std::string Hex(std::int64_t v, int digits = 2)
{
    char b[32];
    std::snprintf(b, sizeof b, "0x%0*llX", digits, static_cast<unsigned long long>(v));
    return b;
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

constexpr int kStatus = 0x03;
constexpr int kIndf = 0x00;
constexpr int kPcl = 0x02;
constexpr int kFsr = 0x04;       // FSR0L on the enhanced core
constexpr int kFsrHigh = 0x05;   // FSR0H on the enhanced core
constexpr int kPclath = 0x0A;
constexpr int kIntcon = 0x0B;
constexpr int kC = 0;
constexpr int kZ = 2;

// Fake address spaces of the first pass: every frame and variable in a bank of its own, so
// that the first pass counts the most scratch bytes any placement can need.
constexpr int kFakeBase = 0x100000;
constexpr int kFakeStride = 0x10000;

}  // namespace

struct TCodeGen::TImpl {
    // ---- program structure ---------------------------------------------------------------
    struct TLine {
        enum Kind { Ins, Label, Directive, Call, PageRestore, Comment } kind = Ins;
        std::string text;
        int words = 1;
        std::string target;   // Call: unit label
    };

    struct TUnit {
        std::string label;
        std::string name;            // C name or run-time routine name
        TFunction *function = nullptr;
        std::string helper;          // run-time routine kind ("mul", "divu", ...), width in `width`
        int width = 0;
        int context = 0;             // 0 main program, 1 interrupt
        bool isTable = false;
        TSymbol *table = nullptr;
        bool isEntry = false;        // reset, interrupt or start-up code at a fixed place
        int fixedAddress = -1;
        std::vector<TLine> code;
        int words = 0;
        int frameFixed = 0;          // bytes of result, parameters and locals
        int frameSize = 0;
        int frameBase = -1;
        int tempTop = 0;
        int tempMax = 0;
        int retOffset = 0;
        std::set<TUnit *> callees;
        int page = 0;
        int address = -1;
        int depth = 0;
        bool placed = false;
    };

    struct TVal {
        enum Kind { None, Imm, Mem, Bit } kind = None;
        std::int64_t imm = 0;
        int addr = 0;
        int bit = 0;
        int size = 1;
        bool sign = false;
        std::string symbol;   // Imm: symbolic value (a table label), empty when numeric
        static TVal Immediate(std::int64_t v, int size, bool sign = false)
        {
            TVal t;
            t.kind = Imm;
            t.imm = v;
            t.size = size;
            t.sign = sign;
            return t;
        }
        static TVal Memory(int addr, int size, bool sign = false)
        {
            TVal t;
            t.kind = Mem;
            t.addr = addr;
            t.size = size;
            t.sign = sign;
            return t;
        }
        static TVal BitAt(int addr, int bit)
        {
            TVal t;
            t.kind = Bit;
            t.addr = addr;
            t.bit = bit;
            t.size = 1;
            return t;
        }
        std::uint8_t Byte(int i) const
        {
            return static_cast<std::uint8_t>((static_cast<std::uint64_t>(imm) >> (8 * i)) & 0xFF);
        }
    };

    struct TLoc {
        enum Kind { Direct, Bit, Indirect, Field } kind = Direct;
        int addr = 0;     // Direct, Bit, Field (direct)
        int bit = 0;
        int size = 1;
        int ptr = -1;     // Indirect / Field through a pointer: address of the pointer temp
        int fieldOffset = 0;
        int fieldWidth = 0;
        bool sign = false;
    };

    TImpl(TMessages &messages, TProgram &program, const TTarget &target, TCodegenOptions options)
        : msgs(messages), prog(program), tgt(target), opts(std::move(options))
    {
    }

    TMessages &msgs;
    TProgram &prog;
    const TTarget &tgt;
    TCodegenOptions opts;

    std::map<std::string, std::unique_ptr<TUnit>> units;
    std::vector<TUnit *> unitOrder;
    std::map<TFunction *, int> contexts;
    int pass = 1;
    TUnit *cur = nullptr;
    int bank = -1;            // current bank, -1 unknown
    int labelCounter = 0;
    std::map<std::string, int> labelBanks;   // bank known at forward jumps to a label (-2: mixed)
    std::set<std::string> placedLabels;
    int lastFile = -1;
    int lastLine = -1;
    std::map<int, std::string> addressNames;   // for comments in the assembly
    std::map<std::string, int> registerUse;    // registers named in the assembly
    int fakeCounter = 0;
    // interrupt save area
    int wSave = -1, statusSave = -1, pclathSave = -1, fsrSave = -1;
    std::vector<int> wSaveMirrors;
    std::vector<std::pair<std::string, TFunction *>> interrupts;   // flag name, handler
    struct TLoopLabels {
        std::string breakLabel;
        std::string continueLabel;
    };
    std::vector<TLoopLabels> loops;
    std::string exitLabel;
    std::vector<bool> usedRam;
    TProgramReport report;
    std::map<TSymbol *, std::pair<TUnit *, int>> frameOffsets;   // locals and parameters
    std::vector<TUnit *> roots;       // main, then the interrupt entry
    TUnit *startUnit = nullptr;
    TUnit *resetUnit = nullptr;
    TUnit *isrUnit = nullptr;

    // ---- small helpers ---------------------------------------------------------------------
    bool Enhanced() const { return tgt.enhanced; }

    int BankOf(int addr) const
    {
        if (pass == 1)
            return addr >= kFakeBase ? addr >> 7 : tgt.BankOf(addr);
        return tgt.BankOf(addr);
    }

    bool Unbanked(int addr) const
    {
        if (addr >= kFakeBase)
            return false;
        return tgt.Unbanked(addr);
    }

    bool SameBank(int a, int b) const { return Unbanked(a) || Unbanked(b) || BankOf(a) == BankOf(b); }

    std::string NewLabel(const char *kind)
    {
        return "?" + std::string(kind) + std::to_string(++labelCounter);
    }

    std::string Operand(int addr) const
    {
        if (addr >= kFakeBase)
            return Hex(addr & 0x7F);
        return Hex(addr & 0x7F);
    }

    void Emit(const std::string &text, int words = 1)
    {
        TLine l;
        l.kind = TLine::Ins;
        l.text = text;
        l.words = words;
        cur->code.push_back(l);
    }

    void Directive(const std::string &text)
    {
        TLine l;
        l.kind = TLine::Directive;
        l.text = text;
        l.words = 0;
        cur->code.push_back(l);
    }

    void Comment(const std::string &text)
    {
        TLine l;
        l.kind = TLine::Comment;
        l.text = text;
        l.words = 0;
        cur->code.push_back(l);
    }

    std::string Reg(int addr) const
    {
        std::string s = Operand(addr);
        if (pass == 2) {
            const auto it = addressNames.find(addr);
            if (it != addressNames.end())
                return s + "\t; " + it->second;
        }
        return s;
    }

    // An instruction on file register `addr`: "movf 0x25,w".
    void Op(const char *mnemonic, int addr, const char *dest = nullptr)
    {
        Select(addr);
        std::string text = std::string(mnemonic) + "\t" + Operand(addr);
        if (dest)
            text += std::string(",") + dest;
        if (pass == 2) {
            const auto it = addressNames.find(addr);
            if (it != addressNames.end())
                text += "\t; " + it->second;
        }
        Emit(text);
    }

    void BitOp(const char *mnemonic, int addr, int bit)
    {
        Select(addr);
        std::string text = std::string(mnemonic) + "\t" + Operand(addr) + "," + std::to_string(bit);
        if (pass == 2) {
            const auto it = addressNames.find(addr);
            if (it != addressNames.end())
                text += "\t; " + it->second;
        }
        Emit(text);
    }

    void Lit(const char *mnemonic, int value) { Emit(std::string(mnemonic) + "\t" + Hex(value & 0xFF)); }

    void LitSym(const char *mnemonic, const std::string &value) { Emit(std::string(mnemonic) + "\t" + value); }

    void Select(int addr)
    {
        if (Unbanked(addr))
            return;
        SelectBank(BankOf(addr));
    }

    void SelectBank(int b)
    {
        if (b == bank)
            return;
        if (Enhanced()) {
            Emit("movlb\t" + std::to_string(pass == 1 ? (b & 31) : b));
        } else {
            const int old = bank;
            const bool know = old >= 0 && pass == 2;
            const int want = pass == 1 ? (b & 3) : b;
            if (!know || ((old ^ want) & 1))
                Emit(std::string(want & 1 ? "bsf" : "bcf") + "\tSTATUS,5");
            if (tgt.banks > 2 && (!know || ((old ^ want) & 2)))
                Emit(std::string(want & 2 ? "bsf" : "bcf") + "\tSTATUS,6");
        }
        bank = b;
    }

    void Label(const std::string &name)
    {
        TLine l;
        l.kind = TLine::Label;
        l.text = name;
        l.words = 0;
        cur->code.push_back(l);
        placedLabels.insert(name);
        // The bank is known here only when every jump seen so far agrees with the fall-through.
        const auto it = labelBanks.find(name);
        if (it == labelBanks.end()) {
            // No forward jump: only the fall-through reaches it unless a later (backward) jump
            // does; callers that jump back mark the label with LoopLabel.
        } else if (it->second != bank) {
            bank = -1;
        }
    }

    // A label that a later jump reaches (loop heads): nothing is known there.
    void LoopLabel(const std::string &name)
    {
        bank = -1;
        Label(name);
        bank = -1;
    }

    void Goto(const std::string &label)
    {
        if (!placedLabels.count(label)) {
            auto it = labelBanks.find(label);
            if (it == labelBanks.end())
                labelBanks[label] = bank;
            else if (it->second != bank)
                it->second = -2;
        }
        Emit("goto\t" + label);
    }

    // A conditional skip over a goto: the skipped goto needs no bank.
    void SkipGoto(const char *skip, int addr, int bit, const std::string &label)
    {
        BitOp(skip, addr, bit);
        Goto(label);
    }

    void CallUnit(TUnit *u)
    {
        cur->callees.insert(u);
        TLine l;
        l.kind = TLine::Call;
        l.target = u->label;
        l.text = "call\t" + u->label;
        cur->code.push_back(l);
        bank = -1;
    }

    void PageRestore()
    {
        TLine l;
        l.kind = TLine::PageRestore;
        l.words = 0;
        cur->code.push_back(l);
    }

    void SourceLine(const TSourceSpan &at)
    {
        if (at.file < 0 || at.line <= 0)
            return;
        if (at.file != lastFile) {
            Directive(".file \"" + msgs.FileName(at.file) + "\"");
            lastFile = at.file;
            lastLine = -1;
        }
        if (at.line != lastLine) {
            Directive(".line " + std::to_string(at.line));
            lastLine = at.line;
        }
    }

    // ---- units and frames ------------------------------------------------------------------
    TUnit *NewUnit(const std::string &label)
    {
        auto u = std::make_unique<TUnit>();
        u->label = label;
        TUnit *raw = u.get();
        units[label] = std::move(u);
        unitOrder.push_back(raw);
        return raw;
    }

    int FakeAddress()
    {
        return kFakeBase + kFakeStride * (++fakeCounter);
    }

    int Temp(int size)
    {
        const int offset = cur->frameFixed + cur->tempTop;
        cur->tempTop += size;
        cur->tempMax = std::max(cur->tempMax, cur->tempTop);
        if (pass == 2 && cur->frameFixed + cur->tempTop > cur->frameSize) {
            // The first pass counted the most; this can not happen.
            msgs.Error(vmInternal, cur->function ? cur->function->at : TSourceSpan{},
                       "Internal error: scratch RAM of " + cur->name + " exceeded");
        }
        return cur->frameBase + offset;
    }

    TVal TempVal(int size, bool sign = false) { return TVal::Memory(Temp(size), size, sign); }

    // The run-time routine `kind` for `width` bytes in the current context.
    TUnit *Helper(const std::string &kind, int width)
    {
        const int context = cur ? cur->context : 0;
        const std::string label = "?" + kind + std::to_string(width * 8) + (context ? "_i" : "");
        auto it = units.find(label);
        if (it != units.end())
            return it->second.get();
        TUnit *u = NewUnit(label);
        u->name = kind + std::to_string(width * 8) + (context ? " (interrupt)" : "");
        u->helper = kind;
        u->width = width;
        u->context = context;
        u->frameFixed = HelperFrameSize(kind, width);
        u->frameSize = u->frameFixed;
        u->frameBase = FakeAddress();
        return u;
    }

    static int HelperFrameSize(const std::string &kind, int n)
    {
        if (kind == "mul")
            return 3 * n + 1;          // A, B, R, count
        if (kind == "divu")
            return 4 * n + 3;          // A, B, R, T, X, count, S
        if (kind == "divs")
            return 0;                  // works on the frame of divu
        if (kind == "romrd")
            return 2;
        return 0;
    }

    // ---- moving values ---------------------------------------------------------------------
    // W := byte i of v (a Mem, Imm). For bytes past the end: the extension (0 or sign).
    void LoadByte(const TVal &v, int i)
    {
        if (v.kind == TVal::Imm) {
            if (!v.symbol.empty() && i < 2) {
                LitSym("movlw", (i == 0 ? "low(" : "high(") + v.symbol + (v.imm ? "+" + std::to_string(v.imm) : "") + ")");
                return;
            }
            Lit("movlw", v.Byte(i));
            return;
        }
        if (v.kind == TVal::Bit) {
            if (i > 0) {
                Lit("movlw", 0);
                return;
            }
            Lit("movlw", 0);
            BitOp("btfsc", v.addr, v.bit);
            Lit("movlw", 1);
            return;
        }
        if (i < v.size) {
            Op("movf", v.addr + i, "w");
            return;
        }
        if (!v.sign) {
            Lit("movlw", 0);
            return;
        }
        Lit("movlw", 0);
        BitOp("btfsc", v.addr + v.size - 1, 7);
        Lit("movlw", 0xFF);
    }

    // dst (Mem) := src, extended or truncated to dst.size.
    void Move(const TVal &src, const TVal &dst)
    {
        if (dst.kind == TVal::Bit) {
            StoreBit(src, dst.addr, dst.bit);
            return;
        }
        if (src.kind == TVal::Mem && dst.kind == TVal::Mem && src.addr == dst.addr && src.size >= dst.size)
            return;
        int signByteFrom = -1;   // bytes from here on take the sign fill
        for (int i = 0; i < dst.size; ++i) {
            if (src.kind == TVal::Imm && src.symbol.empty() && src.Byte(i) == 0 && (i < src.size || !src.sign)) {
                Op("clrf", dst.addr + i);
                continue;
            }
            if (src.kind == TVal::Mem && i >= src.size) {
                if (!src.sign) {
                    Op("clrf", dst.addr + i);
                    continue;
                }
                if (signByteFrom < 0) {
                    signByteFrom = i;
                    LoadByte(src, i);
                }
                Op("movwf", dst.addr + i);
                continue;
            }
            if (src.kind == TVal::Bit && i > 0) {
                Op("clrf", dst.addr + i);
                continue;
            }
            LoadByte(src, i);
            Op("movwf", dst.addr + i);
        }
    }

    // Bit := (src != 0)
    void StoreBit(const TVal &src, int addr, int bit)
    {
        if (src.kind == TVal::Imm) {
            BitOp(src.imm ? "bsf" : "bcf", addr, bit);
            return;
        }
        if (src.kind == TVal::Bit) {
            if (src.addr == addr && src.bit == bit)
                return;
            Lit("movlw", 0);
            BitOp("btfsc", src.addr, src.bit);
            Lit("movlw", 1);
            Lit("iorlw", 0);
        } else {
            // Z from the OR of every byte.
            LoadByte(src, 0);
            for (int i = 1; i < src.size; ++i) {
                Op("iorwf", src.addr + i, "w");
            }
            if (src.size == 1)
                Lit("iorlw", 0);
        }
        // Bank of the bit before the skip: the skipped bsf must not need a bank switch.
        Select(addr);
        BitOp("bcf", addr, bit);
        Emit("btfss\tSTATUS,2");
        BitOp("bsf", addr, bit);
    }

    // A value that later code can rely on: results of calls live in the callee's frame, which
    // a later call may reuse.
    TVal Stable(const TVal &v)
    {
        if (v.kind != TVal::Mem && v.kind != TVal::Bit)
            return v;
        if (v.kind == TVal::Mem && InFrame(v.addr, v.size))
            return v;
        TVal t = TempVal(v.size, v.sign);
        if (v.kind == TVal::Bit)
            t = TempVal(1);
        Move(v, t);
        return t;
    }

    bool InFrame(int addr, int size) const
    {
        return cur && addr >= cur->frameBase && addr + size <= cur->frameBase + cur->frameFixed + cur->tempMax + 4096 &&
               addr >= cur->frameBase + cur->frameFixed;
    }

    // ---- locations -------------------------------------------------------------------------
    bool ConstAddress(const TExpr *e, std::int64_t *addr)
    {
        switch (e->op) {
        case TOp::AddrOf: {
            const TExpr *v = e->kids[0];
            if (v->op == TOp::Var && v->sym->address >= 0) {
                *addr = v->sym->address;
                return true;
            }
            if (v->op == TOp::Deref)
                return ConstAddress(v->kids[0], addr);
            return false;
        }
        case TOp::Const:
            *addr = e->value;
            return true;
        case TOp::Cast:
            if (e->kids[0]->type->kind == TTypeKind::Pointer || e->kids[0]->type->IsInteger())
                return ConstAddress(e->kids[0], addr);
            return false;
        case TOp::Add:
        case TOp::Sub: {
            std::int64_t base;
            if (e->kids[1]->op != TOp::Const || !ConstAddress(e->kids[0], &base))
                return false;
            *addr = e->op == TOp::Add ? base + e->kids[1]->value : base - e->kids[1]->value;
            return true;
        }
        default:
            return false;
        }
    }

    TLoc Locate(const TExpr *e)
    {
        TLoc loc;
        loc.size = std::max(1, e->type->Size());
        loc.sign = e->type->kind == TTypeKind::Int && e->type->isSigned;
        if (e->op == TOp::Var) {
            TSymbol *s = e->sym;
            if ((s->storage == TStorage::BitRegister || e->type->kind == TTypeKind::Bit) && s->bit >= 0) {
                loc.kind = TLoc::Bit;
                loc.addr = s->address;
                loc.bit = s->bit;
                return loc;
            }
            loc.kind = TLoc::Direct;
            loc.addr = s->address;
            return loc;
        }
        if (e->op == TOp::Deref || e->op == TOp::BitField) {
            std::int64_t addr;
            if (ConstAddress(e->kids[0], &addr)) {
                loc.kind = TLoc::Direct;
                loc.addr = static_cast<int>(addr);
            } else {
                TVal p = Eval(e->kids[0]);
                if (p.kind != TVal::Mem || !InFrame(p.addr, 2)) {
                    TVal t = TempVal(2);
                    Move(p, t);
                    p = t;
                }
                loc.kind = TLoc::Indirect;
                loc.ptr = p.addr;
            }
            if (e->op == TOp::BitField) {
                loc.fieldOffset = e->bitOffset;
                loc.fieldWidth = e->bitWidth;
                loc.size = 1;
                if (loc.kind == TLoc::Direct) {
                    if (e->bitWidth == 1 && e->type->kind == TTypeKind::Bit) {
                        loc.kind = TLoc::Bit;
                        loc.bit = e->bitOffset;
                        return loc;
                    }
                    loc.ptr = -1;
                }
                loc.kind = TLoc::Field;
            }
            return loc;
        }
        msgs.Error(vmInternal, e->at, "Internal error: not a location");
        return loc;
    }

    void SetFsr(int ptrAddr, int add = 0)
    {
        // FSR := the pointer at ptrAddr (+ add)
        if (add == 0) {
            Op("movf", ptrAddr, "w");
            Op("movwf", kFsr);
        } else {
            Op("movf", ptrAddr, "w");
            Lit("addlw", add);
            Op("movwf", kFsr);
        }
        if (Enhanced()) {
            Op("movf", ptrAddr + 1, "w");
            if (add) {
                Emit("btfsc\tSTATUS,0");
                Lit("addlw", 1);
            }
            Op("movwf", kFsrHigh);
        } else if (tgt.banks > 2) {
            Emit("bcf\tSTATUS,7");
            Select(ptrAddr + 1);
            BitOp("btfsc", ptrAddr + 1, 0);
            Emit("bsf\tSTATUS,7");
        }
    }

    void NextFsr()
    {
        if (Enhanced())
            Emit("addfsr\t" + std::to_string(kFsr) + ",1");   // FSR0 is register 4 to gpasm
        else
            Emit("incf\tFSR,f");
    }

    // Reads a location into a value (temps for indirect and field locations).
    TVal Load(const TLoc &loc, const TType *type)
    {
        const bool sign = type->kind == TTypeKind::Int && type->isSigned;
        switch (loc.kind) {
        case TLoc::Direct:
            if (type->kind == TTypeKind::Bit)
                return TVal::Memory(loc.addr, 1);
            return TVal::Memory(loc.addr, loc.size, sign);
        case TLoc::Bit:
            return TVal::BitAt(loc.addr, loc.bit);
        case TLoc::Indirect: {
            TVal t = TempVal(loc.size, sign);
            SetFsr(loc.ptr);
            for (int i = 0; i < loc.size; ++i) {
                if (i)
                    NextFsr();
                Op("movf", kIndf, "w");
                Op("movwf", t.addr + i);
            }
            return t;
        }
        case TLoc::Field: {
            TVal t = TempVal(1);
            if (loc.ptr >= 0) {
                SetFsr(loc.ptr);
                Op("movf", kIndf, "w");
            } else {
                Op("movf", loc.addr, "w");
            }
            Op("movwf", t.addr);
            if (loc.fieldWidth == 1 && type->kind == TTypeKind::Bit) {
                return TVal::BitAt(t.addr, loc.fieldOffset);
            }
            for (int i = 0; i < loc.fieldOffset; ++i)
                Op("rrf", t.addr, "f");
            Lit("movlw", (1 << loc.fieldWidth) - 1);
            Op("andwf", t.addr, "f");
            t.size = 1;
            return t;
        }
        }
        return {};
    }

    void Store(const TVal &src, const TLoc &loc)
    {
        switch (loc.kind) {
        case TLoc::Direct:
            Move(src, TVal::Memory(loc.addr, loc.size, loc.sign));
            return;
        case TLoc::Bit:
            StoreBit(src, loc.addr, loc.bit);
            return;
        case TLoc::Indirect: {
            TVal s = src;
            if (s.kind == TVal::Bit) {
                TVal t = TempVal(1);
                Move(s, t);
                s = t;
            }
            SetFsr(loc.ptr);
            for (int i = 0; i < loc.size; ++i) {
                if (i)
                    NextFsr();
                LoadByte(s, i);
                Op("movwf", kIndf);
            }
            return;
        }
        case TLoc::Field: {
            // byte = (byte & ~mask) | ((src << offset) & mask)
            const int mask = ((1 << loc.fieldWidth) - 1) << loc.fieldOffset;
            TVal v = TempVal(1);
            if (src.kind == TVal::Bit)
                Move(src, v);
            else {
                LoadByte(src, 0);
                Op("movwf", v.addr);
            }
            if (loc.fieldWidth == 1 && src.kind != TVal::Imm) {
                // Any non-zero value of an int1 field is 1.
            }
            for (int i = 0; i < loc.fieldOffset; ++i) {
                Emit("bcf\tSTATUS,0");
                Op("rlf", v.addr, "f");
            }
            Lit("movlw", mask);
            Op("andwf", v.addr, "f");
            if (loc.ptr >= 0) {
                SetFsr(loc.ptr);
                Op("movf", kIndf, "w");
            } else {
                Op("movf", loc.addr, "w");
            }
            Lit("andlw", ~mask & 0xFF);
            Op("iorwf", v.addr, "w");
            if (loc.ptr >= 0)
                Op("movwf", kIndf);
            else
                Op("movwf", loc.addr);
            return;
        }
        }
    }

    // ---- expressions -----------------------------------------------------------------------
    static bool HasCall(const TExpr *e)
    {
        if (!e)
            return false;
        if (e->op == TOp::Call || e->op == TOp::RomRead || e->op == TOp::Mul || e->op == TOp::Div || e->op == TOp::Mod)
            return true;
        if (e->op == TOp::OpAssign && (e->binop == TOp::Mul || e->binop == TOp::Div || e->binop == TOp::Mod))
            return true;
        for (const TExpr *k : e->kids) {
            if (HasCall(k))
                return true;
        }
        return false;
    }

    static bool Reads(const TExpr *e, const TSymbol *s)
    {
        if (!e)
            return false;
        if (e->op == TOp::Var && e->sym == s)
            return true;
        if (e->op == TOp::Deref || e->op == TOp::Call || e->op == TOp::BitField)
            return true;   // may reach anything
        for (const TExpr *k : e->kids) {
            if (Reads(k, s))
                return true;
        }
        return false;
    }

    int SizeOf(const TType *t) const { return std::max(1, t->Size()); }
    bool Signed(const TType *t) const { return t->kind == TTypeKind::Int && t->isSigned; }

    // The value of e; a temp, a variable, a constant or a bit.
    TVal Eval(const TExpr *e)
    {
        switch (e->op) {
        case TOp::Const:
            return TVal::Immediate(e->value, SizeOf(e->type), Signed(e->type));
        case TOp::Var: {
            const TSymbol *s = e->sym;
            if (s->storage == TStorage::Constant)
                return TVal::Immediate(s->constValue, SizeOf(e->type), Signed(e->type));
            return Load(Locate(e), e->type);
        }
        case TOp::Deref:
        case TOp::BitField:
            if (e->type->kind == TTypeKind::Struct || e->type->kind == TTypeKind::Array) {
                msgs.Error(vmUnsupported, e->at, "A structure or array can not be used as a value here");
                return TVal::Immediate(0, 1);
            }
            return Load(Locate(e), e->type);
        case TOp::AddrOf: {
            std::int64_t addr;
            if (ConstAddress(e, &addr))
                return TVal::Immediate(addr, 2);
            break;
        }
        case TOp::Cast: {
            const TExpr *k = e->kids[0];
            if (e->type->kind == TTypeKind::Void) {
                EvalDiscard(k);
                return TVal::Immediate(0, 1);
            }
            TVal v = Eval(k);
            const int size = SizeOf(e->type);
            if (v.kind == TVal::Imm) {
                TVal r = TVal::Immediate(Truncate(v.imm, e->type), size, Signed(e->type));
                r.symbol = v.symbol;
                return r;
            }
            if (v.kind == TVal::Mem && size <= v.size) {
                // Truncation: the low bytes of the same place.
                v.size = size;
                v.sign = Signed(e->type);
                return v;
            }
            // Widening: the value is computed once; the source's sign says how to widen.
            TVal t = TempVal(size, Signed(e->type));
            Move(v, t);
            return t;
        }
        case TOp::Call: {
            TUnit *u = GenCall(e);
            const TType *r = e->type;
            if (r->kind == TTypeKind::Void)
                return TVal::Immediate(0, 1);
            return TVal::Memory(u->frameBase + u->retOffset, SizeOf(r), Signed(r));
        }
        default:
            break;
        }
        TVal t = TempVal(SizeOf(e->type), Signed(e->type));
        EvalInto(e, t);
        return t;
    }

    void EvalDiscard(const TExpr *e)
    {
        switch (e->op) {
        case TOp::Assign:
        case TOp::OpAssign:
        case TOp::PreInc:
        case TOp::PreDec:
        case TOp::PostInc:
        case TOp::PostDec:
            GenAssignLike(e, nullptr);
            return;
        case TOp::Call:
            GenCall(e);
            return;
        case TOp::Builtin:
            GenBuiltin(e, nullptr);
            return;
        case TOp::Comma:
            EvalDiscard(e->kids[0]);
            EvalDiscard(e->kids[1]);
            return;
        case TOp::Cond: {
            const std::string other = NewLabel("L"), end = NewLabel("L");
            Branch(e->kids[0], other, false);
            EvalDiscard(e->kids[1]);
            Goto(end);
            Label(other);
            bank = -1;
            EvalDiscard(e->kids[2]);
            Label(end);
            bank = -1;
            return;
        }
        case TOp::LogAnd:
        case TOp::LogOr: {
            const std::string end = NewLabel("L");
            Branch(e->kids[0], end, e->op == TOp::LogOr);
            EvalDiscard(e->kids[1]);
            Label(end);
            bank = -1;
            return;
        }
        case TOp::Cast:
            EvalDiscard(e->kids[0]);
            return;
        default:
            if (HasCall(e) || e->op == TOp::Deref)
                Eval(e);
            return;
        }
    }

    // dst := e. dst is a Mem of e's size (or a Bit for int1 results).
    void EvalInto(const TExpr *e, const TVal &dst)
    {
        switch (e->op) {
        case TOp::Const:
        case TOp::Var:
        case TOp::Deref:
        case TOp::BitField:
        case TOp::Call:
            Move(Eval(e), dst);
            return;
        case TOp::AddrOf: {
            std::int64_t addr;
            if (ConstAddress(e, &addr)) {
                Move(TVal::Immediate(addr, 2), dst);
                return;
            }
            msgs.Error(vmUnsupported, e->at, "This address can not be taken");
            return;
        }
        case TOp::RomRead:
            GenRomRead(e, dst);
            return;
        case TOp::Cast: {
            const TExpr *k = e->kids[0];
            if (e->type->kind == TTypeKind::Void) {
                EvalDiscard(k);
                return;
            }
            TVal v = Eval(k);
            // A narrowing or widening move; the source's sign says how to widen.
            TVal src = v;
            if (src.kind == TVal::Imm) {
                src.imm = Truncate(src.imm, e->type);
                src.size = SizeOf(e->type);
            }
            Move(src, dst);
            return;
        }
        case TOp::Neg:
        case TOp::Not: {
            TVal d = WorkTarget(dst);
            EvalInto(e->kids[0], d);
            for (int i = 0; i < d.size; ++i)
                Op("comf", d.addr + i, "f");
            if (e->op == TOp::Neg)
                IncrementInPlace(d);
            Finish(d, dst);
            return;
        }
        case TOp::Add:
        case TOp::Sub:
        case TOp::And:
        case TOp::Or:
        case TOp::Xor: {
            TVal d = WorkTarget(dst);
            if (e->op != TOp::Sub && IsSimple(e->kids[0]) && !IsSimple(e->kids[1])) {
                // Evaluate the harder side first, into the target.
                EvalInto(e->kids[1], d);
                TVal b = Eval(e->kids[0]);
                ApplyInPlace(e->op, d, b);
            } else {
                EvalInto(e->kids[0], d);
                TVal b = Eval(e->kids[1]);
                ApplyInPlace(e->op, d, b);
            }
            Finish(d, dst);
            return;
        }
        case TOp::Mul:
        case TOp::Div:
        case TOp::Mod:
            GenMulDiv(e->op, e->kids[0], e->kids[1], e->type, dst);
            return;
        case TOp::Shl:
        case TOp::Shr: {
            TVal d = WorkTarget(dst);
            EvalInto(e->kids[0], d);
            TVal n = Eval(e->kids[1]);
            ShiftInPlace(d, e->op == TOp::Shl, Signed(e->type), n);
            Finish(d, dst);
            return;
        }
        case TOp::Eq:
        case TOp::Ne:
        case TOp::Lt:
        case TOp::Le:
        case TOp::Gt:
        case TOp::Ge:
        case TOp::LogAnd:
        case TOp::LogOr:
        case TOp::LogNot: {
            // 0 or 1 through a branch.
            const std::string no = NewLabel("L"), end = NewLabel("L");
            if (dst.kind == TVal::Bit) {
                Branch(e, no, false);
                BitOp("bsf", dst.addr, dst.bit);
                Goto(end);
                Label(no);
                bank = -1;
                BitOp("bcf", dst.addr, dst.bit);
                Label(end);
                bank = -1;
                return;
            }
            TVal t = TempVal(1);
            Op("clrf", t.addr);
            Branch(e, no, false);
            Op("incf", t.addr, "f");
            Label(no);
            bank = -1;
            Move(t, dst);
            return;
        }
        case TOp::Cond: {
            const std::string other = NewLabel("L"), end = NewLabel("L");
            TVal d = dst;
            Branch(e->kids[0], other, false);
            EvalInto(e->kids[1], d);
            Goto(end);
            Label(other);
            bank = -1;
            EvalInto(e->kids[2], d);
            Label(end);
            bank = -1;
            return;
        }
        case TOp::Comma:
            EvalDiscard(e->kids[0]);
            EvalInto(e->kids[1], dst);
            return;
        case TOp::Assign:
        case TOp::OpAssign:
        case TOp::PreInc:
        case TOp::PreDec:
        case TOp::PostInc:
        case TOp::PostDec:
            GenAssignLike(e, &dst);
            return;
        case TOp::Builtin:
            GenBuiltin(e, &dst);
            return;
        }
    }

    static bool IsSimple(const TExpr *e)
    {
        return e->op == TOp::Const || (e->op == TOp::Var && e->sym->storage != TStorage::Rom) ||
               (e->op == TOp::Cast && IsSimple(e->kids[0]));
    }

    // Arithmetic happens in a temp of the frame unless dst is one already.
    TVal WorkTarget(const TVal &dst)
    {
        if (dst.kind == TVal::Mem && InFrame(dst.addr, dst.size))
            return dst;
        return TempVal(dst.kind == TVal::Bit ? 1 : dst.size, dst.sign);
    }

    void Finish(const TVal &work, const TVal &dst)
    {
        if (dst.kind == TVal::Mem && work.addr == dst.addr)
            return;
        Move(work, dst);
    }

    // An operand next to a frame temp: same bank, or copied into the frame.
    TVal Near(const TVal &b, const TVal &d)
    {
        if (b.kind != TVal::Mem)
            return b;
        bool ok = true;
        for (int i = 0; i < b.size; ++i)
            ok = ok && SameBank(b.addr + i, d.addr);
        if (ok)
            return b;
        TVal t = TempVal(b.size, b.sign);
        Move(b, t);
        return t;
    }

    // d op= b, in place (d a frame temp or any Mem for single bytes).
    void ApplyInPlace(TOp op, const TVal &d, TVal b)
    {
        const int n = d.size;
        if (b.kind == TVal::Bit) {
            TVal t = TempVal(1);
            Move(b, t);
            b = t;
        }
        if (op == TOp::And || op == TOp::Or || op == TOp::Xor) {
            const char *mn = op == TOp::And ? "andwf" : op == TOp::Or ? "iorwf" : "xorwf";
            for (int i = 0; i < n; ++i) {
                if (b.kind == TVal::Imm && b.symbol.empty()) {
                    const int v = b.Byte(i);
                    if ((op == TOp::And && v == 0xFF) || (op != TOp::And && v == 0))
                        continue;
                    if (op == TOp::And && v == 0) {
                        Op("clrf", d.addr + i);
                        continue;
                    }
                    if (op == TOp::Xor && v == 0xFF) {
                        Op("comf", d.addr + i, "f");
                        continue;
                    }
                }
                LoadByte(b, i);
                Op(mn, d.addr + i, "f");
            }
            return;
        }
        const bool add = op == TOp::Add;
        if (b.kind == TVal::Imm && b.symbol.empty()) {
            // Skip low bytes that are 0 (no carry comes out of them).
            int first = 0;
            while (first < n && b.Byte(first) == 0)
                ++first;
            if (first == n)
                return;
            if (add && n - first == 1 && b.Byte(first) == 1) {
                Op("incf", d.addr + first, "f");
                return;
            }
            if (!add && n - first == 1 && b.Byte(first) == 1) {
                Op("decf", d.addr + first, "f");
                return;
            }
            for (int i = first; i < n; ++i) {
                const int v = b.Byte(i);
                if (i == first) {
                    Lit("movlw", v);
                    Op(add ? "addwf" : "subwf", d.addr + i, "f");
                    continue;
                }
                if (Enhanced()) {
                    Lit("movlw", v);
                    Op(add ? "addwfc" : "subwfb", d.addr + i, "f");
                    continue;
                }
                Select(d.addr + i);
                if (v == 0xFF) {
                    Lit("movlw", 0xFF);
                    Emit(add ? "btfss\tSTATUS,0" : "btfsc\tSTATUS,0");
                    Op(add ? "addwf" : "subwf", d.addr + i, "f");
                } else {
                    Lit("movlw", v);
                    Emit(add ? "btfsc\tSTATUS,0" : "btfss\tSTATUS,0");
                    Lit("movlw", v + 1);
                    Op(add ? "addwf" : "subwf", d.addr + i, "f");
                }
            }
            return;
        }
        if (b.kind == TVal::Imm) {
            // A symbolic constant (a table address), two bytes.
            LoadByte(b, 0);
            Op(add ? "addwf" : "subwf", d.addr, "f");
            for (int i = 1; i < n; ++i) {
                LoadByte(b, i);
                Emit(add ? "btfsc\tSTATUS,0" : "btfss\tSTATUS,0");
                Lit(add ? "addlw" : "addlw", add ? 1 : 1);
                Op(add ? "addwf" : "subwf", d.addr + i, "f");
            }
            return;
        }
        b = Near(b, d);
        for (int i = 0; i < n; ++i) {
            if (i == 0) {
                LoadByte(b, 0);
                Op(add ? "addwf" : "subwf", d.addr, "f");
                continue;
            }
            if (Enhanced()) {
                LoadByte(b, i);
                Op(add ? "addwfc" : "subwfb", d.addr + i, "f");
                continue;
            }
            if (i >= b.size) {
                // Extension bytes of b: 0 or 0xFF, as constants through W.
                if (!b.sign) {
                    Select(d.addr + i);
                    Lit("movlw", 0);
                    Emit(add ? "btfsc\tSTATUS,0" : "btfss\tSTATUS,0");
                    Lit("movlw", 1);
                    Op(add ? "addwf" : "subwf", d.addr + i, "f");
                    continue;
                }
                TVal t = TempVal(1);
                LoadByte(b, i);
                Op("movwf", t.addr);
                Select(d.addr + i);
                Op("movf", t.addr, "w");
                Emit(add ? "btfsc\tSTATUS,0" : "btfss\tSTATUS,0");
                Op("incfsz", t.addr, "w");
                Op(add ? "addwf" : "subwf", d.addr + i, "f");
                continue;
            }
            Op("movf", b.addr + i, "w");
            Emit(add ? "btfsc\tSTATUS,0" : "btfss\tSTATUS,0");
            Op("incfsz", b.addr + i, "w");
            Op(add ? "addwf" : "subwf", d.addr + i, "f");
        }
    }

    void IncrementInPlace(const TVal &d)
    {
        Op("incf", d.addr, "f");
        for (int i = 1; i < d.size; ++i) {
            Select(d.addr + i);
            Emit("btfsc\tSTATUS,2");
            Op("incf", d.addr + i, "f");
        }
    }

    void DecrementInPlace(const TVal &d)
    {
        if (d.size == 1) {
            Op("decf", d.addr, "f");
            return;
        }
        ApplyInPlace(TOp::Sub, d, TVal::Immediate(1, d.size));
    }

    void ShiftOnce(const TVal &d, bool left, bool sign)
    {
        const int n = d.size;
        if (left) {
            if (Enhanced()) {
                Op("lslf", d.addr, "f");
            } else {
                Emit("bcf\tSTATUS,0");
                Op("rlf", d.addr, "f");
            }
            for (int i = 1; i < n; ++i)
                Op("rlf", d.addr + i, "f");
        } else {
            if (Enhanced()) {
                Op(sign ? "asrf" : "lsrf", d.addr + n - 1, "f");
            } else if (sign) {
                Op("rlf", d.addr + n - 1, "w");
                Op("rrf", d.addr + n - 1, "f");
            } else {
                Emit("bcf\tSTATUS,0");
                Op("rrf", d.addr + n - 1, "f");
            }
            for (int i = n - 2; i >= 0; --i)
                Op("rrf", d.addr + i, "f");
        }
    }

    void ShiftInPlace(const TVal &d, bool left, bool sign, TVal count)
    {
        const int n = d.size;
        if (count.kind == TVal::Imm) {
            int k = static_cast<int>(std::min<std::int64_t>(count.imm & 0xFF, 255));
            if (k >= 8 * n) {
                if (!left && sign) {
                    Lit("movlw", 0);
                    BitOp("btfsc", d.addr + n - 1, 7);
                    Lit("movlw", 0xFF);
                    for (int i = 0; i < n; ++i)
                        Op("movwf", d.addr + i);
                } else {
                    for (int i = 0; i < n; ++i)
                        Op("clrf", d.addr + i);
                }
                return;
            }
            const int bytes = k / 8;
            if (bytes) {
                if (left) {
                    for (int i = n - 1; i >= bytes; --i) {
                        Op("movf", d.addr + i - bytes, "w");
                        Op("movwf", d.addr + i);
                    }
                    for (int i = 0; i < bytes; ++i)
                        Op("clrf", d.addr + i);
                } else {
                    if (sign) {
                        TVal fill = TempVal(1);
                        Lit("movlw", 0);
                        BitOp("btfsc", d.addr + n - 1, 7);
                        Lit("movlw", 0xFF);
                        Op("movwf", fill.addr);
                        for (int i = 0; i + bytes < n; ++i) {
                            Op("movf", d.addr + i + bytes, "w");
                            Op("movwf", d.addr + i);
                        }
                        for (int i = n - bytes; i < n; ++i) {
                            Op("movf", fill.addr, "w");
                            Op("movwf", d.addr + i);
                        }
                    } else {
                        for (int i = 0; i + bytes < n; ++i) {
                            Op("movf", d.addr + i + bytes, "w");
                            Op("movwf", d.addr + i);
                        }
                        for (int i = n - bytes; i < n; ++i)
                            Op("clrf", d.addr + i);
                    }
                }
            }
            k %= 8;
            if (k >= 4 && n == 1 && !sign) {
                // A nibble swap and a mask for four or more bits of one byte.
                Op("swapf", d.addr, "f");
                Lit("movlw", left ? 0xF0 : 0x0F);
                Op("andwf", d.addr, "f");
                k -= 4;
            }
            for (int i = 0; i < k; ++i)
                ShiftOnce(d, left, sign);
            return;
        }
        TVal c = TempVal(1);
        LoadByte(count, 0);
        Op("movwf", c.addr);
        const std::string loop = NewLabel("L"), done = NewLabel("L");
        Select(c.addr);
        Emit("btfsc\tSTATUS,2");
        Goto(done);
        LoopLabel(loop);
        ShiftOnce(d, left, sign);
        Select(c.addr);
        Op("decfsz", c.addr, "f");
        Goto(loop);
        Label(done);
        bank = -1;
    }

    static bool PowerOfTwo(std::int64_t v, int *shift)
    {
        if (v <= 0 || (v & (v - 1)))
            return false;
        int s = 0;
        while ((std::int64_t(1) << s) != v)
            ++s;
        *shift = s;
        return true;
    }

    void GenMulDiv(TOp op, const TExpr *a, const TExpr *b, const TType *type, const TVal &dst)
    {
        const int n = SizeOf(type);
        const bool sign = Signed(type);
        int shift = 0;
        if (b->op == TOp::Const && PowerOfTwo(b->value, &shift) && (op == TOp::Mul || !sign)) {
            TVal d = WorkTarget(dst);
            EvalInto(a, d);
            if (op == TOp::Mul)
                ShiftInPlace(d, true, sign, TVal::Immediate(shift, 1));
            else if (op == TOp::Div)
                ShiftInPlace(d, false, false, TVal::Immediate(shift, 1));
            else
                ApplyInPlace(TOp::And, d, TVal::Immediate(b->value - 1, n));
            Finish(d, dst);
            return;
        }
        TUnit *h = op == TOp::Mul ? Helper("mul", n) : Helper(sign ? "divs" : "divu", n);
        TUnit *frame = op == TOp::Mul ? h : Helper("divu", n);
        if (h != frame)
            h->callees.insert(frame);
        const int A = frame->frameBase, B = frame->frameBase + n, R = frame->frameBase + 2 * n;
        // Operands with calls of their own are computed before the routine's frame is filled.
        TVal va, vb;
        if (HasCall(b)) {
            va = Stable(Eval(a));
            vb = Eval(b);
            Move(va, TVal::Memory(A, n, sign));
            Move(vb, TVal::Memory(B, n, sign));
        } else {
            EvalInto(a, TVal::Memory(A, n, sign));
            Move(Eval(b), TVal::Memory(B, n, sign));
        }
        CallUnit(h);
        PageRestore();
        if (op == TOp::Mul)
            Move(TVal::Memory(R, n, sign), dst);
        else if (op == TOp::Div)
            Move(TVal::Memory(A, n, sign), dst);
        else
            Move(TVal::Memory(R, n, sign), dst);
    }

    void GenRomRead(const TExpr *e, const TVal &dst)
    {
        TSymbol *table = e->sym;
        TUnit *tu = TableUnit(table);
        cur->callees.insert(tu);
        TUnit *rd = Helper("romrd", 1);
        const int n = SizeOf(e->type);
        const TExpr *offset = e->kids[0];
        TVal out = dst;
        if (dst.kind == TVal::Bit || (n > 1 && !InFrame(dst.addr, n)))
            out = TempVal(n);
        TVal addr;
        if (offset->op == TOp::Const) {
            addr = TVal::Immediate(offset->value, 2);
            addr.symbol = tu->label;
        } else {
            addr = TempVal(2);
            EvalInto(offset, addr);
            TVal base = TVal::Immediate(0, 2);
            base.symbol = tu->label;
            ApplyInPlace(TOp::Add, addr, base);
        }
        for (int i = 0; i < n; ++i) {
            if (addr.kind == TVal::Imm) {
                TVal a = addr;
                a.imm += i;
                Move(a, TVal::Memory(rd->frameBase, 2));
            } else {
                if (i)
                    IncrementInPlace(addr);
                Move(addr, TVal::Memory(rd->frameBase, 2));
            }
            CallUnit(rd);
            PageRestore();
            if (out.kind == TVal::Mem)
                Op("movwf", out.addr + i);
        }
        if (out.kind != dst.kind || out.addr != dst.addr)
            Move(out, dst);
    }

    TUnit *TableUnit(TSymbol *table)
    {
        const std::string label = "_" + table->asmName;
        auto it = units.find(label);
        if (it != units.end())
            return it->second.get();
        TUnit *u = NewUnit(label);
        u->name = table->name;
        u->isTable = true;
        u->table = table;
        u->words = static_cast<int>(table->rom.size());
        return u;
    }

    TUnit *UnitFor(TFunction *f)
    {
        auto it = units.find("_" + f->name);
        return it == units.end() ? nullptr : it->second.get();
    }

    TUnit *GenCall(const TExpr *e)
    {
        TFunction *f = e->callee;
        TUnit *u = UnitFor(f);
        if (!u) {
            msgs.Error(vmInternal, e->at, "Internal error: no code for " + f->name);
            return cur;
        }
        bool laterCall = false;
        for (std::size_t i = 1; i < e->kids.size(); ++i)
            laterCall = laterCall || HasCall(e->kids[i]);
        std::vector<TVal> values;
        for (std::size_t i = 0; i < e->kids.size() && i < f->params.size(); ++i) {
            const TSymbol *p = f->params[i];
            TVal slot = p->bit >= 0 ? TVal::BitAt(p->address, p->bit)
                                    : TVal::Memory(p->address, SizeOf(p->type), Signed(p->type));
            if (laterCall) {
                values.push_back(Stable(Eval(e->kids[i])));
            } else {
                EvalInto(e->kids[i], slot);
            }
        }
        if (laterCall) {
            for (std::size_t i = 0; i < values.size(); ++i) {
                const TSymbol *p = f->params[i];
                TVal slot = p->bit >= 0 ? TVal::BitAt(p->address, p->bit)
                                        : TVal::Memory(p->address, SizeOf(p->type), Signed(p->type));
                Move(values[i], slot);
            }
        }
        CallUnit(u);
        PageRestore();
        return u;
    }

    // Assignments and increments; the value of the expression goes to *dst when given.
    void GenAssignLike(const TExpr *e, const TVal *dst)
    {
        const TExpr *target = e->kids[0];
        if (e->op == TOp::Assign && target->type->kind == TTypeKind::Struct) {
            CopyStruct(target, e->kids[1]);
            return;
        }
        if (e->op == TOp::Assign) {
            const TExpr *value = e->kids[1];
            // A direct variable not read by the value is computed in place.
            if (target->op == TOp::Var && target->sym->bit < 0 && target->sym->storage != TStorage::BitRegister &&
                !Reads(value, target->sym) && !HasCall(value) && target->type->kind != TTypeKind::Bit) {
                TLoc loc = Locate(target);
                TVal place = TVal::Memory(loc.addr, loc.size, loc.sign);
                EvalInto(value, place);
                if (dst)
                    Move(place, *dst);
                return;
            }
            TVal v = Eval(value);
            if (v.kind == TVal::Mem && !InFrame(v.addr, v.size) && HasCallInAddress(target))
                v = Stable(v);
            TLoc loc = Locate(target);
            Store(v, loc);
            if (dst)
                Move(v.kind == TVal::Imm ? TVal::Immediate(Truncate(v.imm, target->type), SizeOf(target->type)) : Load(loc, target->type), *dst);
            return;
        }
        if (e->op == TOp::OpAssign) {
            const TExpr *value = e->kids[1];
            const TType *t = target->type;
            const int n = SizeOf(t);
            // The operation's type: width and sign as the parser chose.
            int opWidth = e->bitWidth ? e->bitWidth : n;
            bool opSign = e->bitWidth ? e->bitOffset != 0 : Signed(t);
            if (t->kind == TTypeKind::Pointer) {
                opWidth = 2;
                opSign = false;
            }
            TVal rhs;
            const bool rhsFirst = HasCall(value);
            if (rhsFirst)
                rhs = Stable(Eval(value));
            TLoc loc = Locate(target);
            // In place for a byte (or a same-width direct variable) and the simple operators.
            const bool simpleOp = e->binop == TOp::Add || e->binop == TOp::Sub || e->binop == TOp::And ||
                                  e->binop == TOp::Or || e->binop == TOp::Xor;
            if (!rhsFirst)
                rhs = Eval(value);
            if (loc.kind == TLoc::Direct && simpleOp && opWidth == n && t->kind != TTypeKind::Bit &&
                (n == 1 || AllSameBank(loc.addr, n))) {
                TVal place = TVal::Memory(loc.addr, n, Signed(t));
                TVal r = rhs;
                if (n > 1 && r.kind == TVal::Mem)
                    r = Near(r, place);
                ApplyInPlace(e->binop, place, r);
                if (dst)
                    Move(place, *dst);
                return;
            }
            TVal cur0 = Load(loc, t);
            TVal work = TempVal(opWidth, opSign);
            Move(cur0, work);
            if (e->binop == TOp::Mul || e->binop == TOp::Div || e->binop == TOp::Mod) {
                // Through the run-time routine with values already computed.
                TypedMulDiv(e->binop, work, rhs, opWidth, opSign);
            } else if (e->binop == TOp::Shl || e->binop == TOp::Shr) {
                ShiftInPlace(work, e->binop == TOp::Shl, opSign, rhs);
            } else {
                ApplyInPlace(e->binop, work, rhs);
            }
            // An indirect target's pointer temp stays valid across calls: it lives in this frame.
            TVal back = work;
            back.size = std::min(work.size, n);
            if (t->kind == TTypeKind::Bit) {
                Store(work, loc);
            } else {
                Store(back, loc);
            }
            if (dst)
                Move(Load(loc, t), *dst);
            return;
        }
        // ++ and --
        const bool inc = e->op == TOp::PreInc || e->op == TOp::PostInc;
        const bool post = e->op == TOp::PostInc || e->op == TOp::PostDec;
        const TType *t = target->type;
        const int n = SizeOf(t);
        TLoc loc = Locate(target);
        if (t->kind == TTypeKind::Bit) {
            TVal old;
            if (post && dst) {
                old = TempVal(1);
                Move(Load(loc, t), old);
            }
            if (inc) {
                Store(TVal::Immediate(1, 1), loc);
            } else {
                TVal v = Load(loc, t);
                TVal tmp = TempVal(1);
                Move(v, tmp);
                Lit("movlw", 1);
                Op("xorwf", tmp.addr, "f");
                Store(tmp, loc);
            }
            if (dst)
                Move(post ? old : Load(loc, t), *dst);
            return;
        }
        const std::int64_t step = e->value ? e->value : 1;
        TVal old;
        if (post && dst) {
            old = TempVal(n, Signed(t));
            Move(Load(loc, t), old);
        }
        if (loc.kind == TLoc::Direct && (n == 1 || AllSameBank(loc.addr, n))) {
            TVal place = TVal::Memory(loc.addr, n, Signed(t));
            if (step == 1)
                inc ? IncrementInPlace(place) : DecrementInPlace(place);
            else
                ApplyInPlace(inc ? TOp::Add : TOp::Sub, place, TVal::Immediate(step, n));
            if (dst)
                Move(post ? old : place, *dst);
            return;
        }
        TVal work = TempVal(n, Signed(t));
        Move(Load(loc, t), work);
        ApplyInPlace(inc ? TOp::Add : TOp::Sub, work, TVal::Immediate(step, n));
        Store(work, loc);
        if (dst)
            Move(post ? old : work, *dst);
    }

    bool AllSameBank(int addr, int n) const
    {
        for (int i = 1; i < n; ++i) {
            if (!SameBank(addr, addr + i) || (Unbanked(addr) != Unbanked(addr + i) && !Unbanked(addr)))
                return false;
        }
        return !(pass == 1 && addr >= kFakeBase && false);
    }

    static bool HasCallInAddress(const TExpr *target)
    {
        if (target->op == TOp::Deref || target->op == TOp::BitField)
            return HasCall(target->kids[0]);
        return false;
    }

    void TypedMulDiv(TOp op, const TVal &work, const TVal &rhs, int n, bool sign)
    {
        int shift = 0;
        if (rhs.kind == TVal::Imm && PowerOfTwo(rhs.imm, &shift) && (op == TOp::Mul || !sign)) {
            if (op == TOp::Mul)
                ShiftInPlace(work, true, sign, TVal::Immediate(shift, 1));
            else if (op == TOp::Div)
                ShiftInPlace(work, false, false, TVal::Immediate(shift, 1));
            else
                ApplyInPlace(TOp::And, work, TVal::Immediate(rhs.imm - 1, n));
            return;
        }
        TUnit *h = op == TOp::Mul ? Helper("mul", n) : Helper(sign ? "divs" : "divu", n);
        TUnit *frame = op == TOp::Mul ? h : Helper("divu", n);
        if (h != frame)
            h->callees.insert(frame);
        const int A = frame->frameBase, B = frame->frameBase + n, R = frame->frameBase + 2 * n;
        Move(work, TVal::Memory(A, n, sign));
        Move(rhs, TVal::Memory(B, n, sign));
        CallUnit(h);
        PageRestore();
        Move(TVal::Memory(op == TOp::Div ? A : R, n, sign), work);
    }

    void CopyStruct(const TExpr *target, const TExpr *source)
    {
        const int n = SizeOf(target->type);
        TLoc from = Locate(source);
        TLoc to = Locate(target);
        for (int i = 0; i < n; ++i) {
            if (from.kind == TLoc::Direct) {
                Op("movf", from.addr + i, "w");
            } else {
                SetFsr(from.ptr, i);
                Op("movf", kIndf, "w");
            }
            if (to.kind == TLoc::Direct) {
                Op("movwf", to.addr + i);
            } else {
                TVal t = TempVal(1);
                Op("movwf", t.addr);
                SetFsr(to.ptr, i);
                Op("movf", t.addr, "w");
                Op("movwf", kIndf);
            }
        }
    }

    // ---- conditions ------------------------------------------------------------------------
    // Jumps to `label` when e is `when`; falls through otherwise.
    void Branch(const TExpr *e, const std::string &label, bool when)
    {
        switch (e->op) {
        case TOp::Const:
            if ((e->value != 0) == when)
                Goto(label);
            return;
        case TOp::LogNot:
            Branch(e->kids[0], label, !when);
            return;
        case TOp::LogAnd:
        case TOp::LogOr: {
            const bool isAnd = e->op == TOp::LogAnd;
            if (isAnd != when) {
                // and-false / or-true: either side decides alone.
                Branch(e->kids[0], label, when);
                Branch(e->kids[1], label, when);
            } else {
                const std::string skip = NewLabel("L");
                Branch(e->kids[0], skip, !when);
                Branch(e->kids[1], label, when);
                Label(skip);
                bank = -1;
            }
            return;
        }
        case TOp::Eq:
        case TOp::Ne:
            BranchEquality(e, label, when);
            return;
        case TOp::Lt:
        case TOp::Le:
        case TOp::Gt:
        case TOp::Ge:
            BranchOrder(e, label, when);
            return;
        default:
            break;
        }
        TVal v = Eval(e);
        if (v.kind == TVal::Imm) {
            if ((v.imm != 0) == when)
                Goto(label);
            return;
        }
        if (v.kind == TVal::Bit) {
            SkipGoto(when ? "btfsc" : "btfss", v.addr, v.bit, label);
            return;
        }
        LoadByte(v, 0);
        for (int i = 1; i < v.size; ++i)
            Op("iorwf", v.addr + i, "w");
        if (v.size == 1)
            Lit("iorlw", 0);
        Emit(when ? "btfss\tSTATUS,2" : "btfsc\tSTATUS,2");
        Goto(label);
    }

    void BranchEquality(const TExpr *e, const std::string &label, bool when)
    {
        const bool eq = e->op == TOp::Eq;
        const TExpr *a = e->kids[0], *b = e->kids[1];
        TVal va = Eval(a);
        if (va.kind == TVal::Mem && !InFrame(va.addr, va.size) && HasCall(b))
            va = Stable(va);
        TVal vb = Eval(b);
        if (va.kind == TVal::Imm)
            std::swap(va, vb);
        if (va.kind == TVal::Bit && vb.kind == TVal::Imm) {
            const bool bitIs = vb.imm != 0;
            // Jump when the bit equals (or differs from) the constant, as asked.
            const bool jumpWhenSet = (eq == when) == bitIs;
            SkipGoto(jumpWhenSet ? "btfsc" : "btfss", va.addr, va.bit, label);
            return;
        }
        if (va.kind == TVal::Bit) {
            TVal t = TempVal(1);
            Move(va, t);
            va = t;
        }
        if (vb.kind == TVal::Bit) {
            TVal t = TempVal(1);
            Move(vb, t);
            vb = t;
        }
        const int n = std::max(va.size, vb.size);
        // Jump target when a byte differs.
        const bool jumpOnEqual = eq == when;
        const std::string differ = jumpOnEqual ? NewLabel("L") : label;
        for (int i = 0; i < n; ++i) {
            if (vb.kind == TVal::Imm && vb.symbol.empty() && vb.Byte(i) == 0 && i < va.size) {
                Op("movf", va.addr + i, "w");
            } else {
                LoadByte(va, i);
                if (vb.kind == TVal::Imm)
                    Lit("xorlw", vb.Byte(i));
                else if (i < vb.size)
                    Op("xorwf", vb.addr + i, "w");
                else {
                    TVal ext = TempVal(1);
                    Op("movwf", ext.addr);
                    LoadByte(vb, i);
                    Op("xorwf", ext.addr, "w");
                }
            }
            Emit("btfss\tSTATUS,2");
            Goto(differ);
        }
        if (jumpOnEqual) {
            Goto(label);
            Label(differ);
            bank = -1;
        }
    }

    void BranchOrder(const TExpr *e, const std::string &label, bool when)
    {
        // a < b  <=>  not C after a - b.
        const TExpr *a = e->kids[0], *b = e->kids[1];
        const TType *t = a->type;
        const bool sign = Signed(t);
        bool swap = e->op == TOp::Gt || e->op == TOp::Le;
        // jump when (x < y) == lessWanted
        bool lessWanted = (e->op == TOp::Lt || e->op == TOp::Gt) ? when : !when;
        TVal va = Eval(a);
        if (va.kind == TVal::Mem && !InFrame(va.addr, va.size) && HasCall(b))
            va = Stable(va);
        TVal vb = Eval(b);
        if (swap)
            std::swap(va, vb);
        const int n = std::max({va.size, vb.size, SizeOf(t)});
        if (va.kind == TVal::Imm && vb.kind == TVal::Imm) {
            const bool less = va.imm < vb.imm;
            if (less == lessWanted)
                Goto(label);
            return;
        }
        if (va.kind != TVal::Mem || va.size < n || sign) {
            TVal ta = TempVal(n, sign);
            Move(va, ta);
            va = ta;
        }
        if (sign) {
            // Flip the sign bits: signed order becomes unsigned order.
            Lit("movlw", 0x80);
            Op("xorwf", va.addr + n - 1, "f");
            if (vb.kind == TVal::Imm) {
                vb.imm ^= std::int64_t(0x80) << (8 * (n - 1));
            } else {
                TVal tb = TempVal(n, sign);
                Move(vb, tb);
                vb = tb;
                Lit("movlw", 0x80);
                Op("xorwf", vb.addr + n - 1, "f");
            }
        }
        if (vb.kind == TVal::Bit) {
            TVal tb = TempVal(1);
            Move(vb, tb);
            vb = tb;
        }
        if (vb.kind == TVal::Mem && (vb.size < n || !Enhanced())) {
            bool near = vb.size >= n;
            for (int i = 0; i < n && near; ++i)
                near = SameBank(vb.addr + i, va.addr + i) && SameBank(va.addr, va.addr + i);
            if (!near) {
                TVal tb = TempVal(n, vb.sign);
                Move(vb, tb);
                vb = tb;
            }
        }
        if (!Enhanced()) {
            bool near = true;
            for (int i = 1; i < n; ++i)
                near = near && SameBank(va.addr, va.addr + i);
            if (!near) {
                TVal ta = TempVal(n, false);
                Move(va, ta);
                va = ta;
            }
        }
        // C := (va >= vb)
        for (int i = 0; i < n; ++i) {
            if (i == 0) {
                LoadByte(vb, 0);
                Op("subwf", va.addr, "w");
                continue;
            }
            if (Enhanced()) {
                LoadByte(vb, i);
                Op("subwfb", va.addr + i, "w");
                continue;
            }
            Select(va.addr + i);
            if (vb.kind == TVal::Imm) {
                const int v = vb.Byte(i);
                if (v == 0xFF) {
                    Lit("movlw", 0xFF);
                    Emit("btfsc\tSTATUS,0");
                    Op("subwf", va.addr + i, "w");
                } else {
                    Lit("movlw", v);
                    Emit("btfss\tSTATUS,0");
                    Lit("movlw", v + 1);
                    Op("subwf", va.addr + i, "w");
                }
            } else {
                Op("movf", vb.addr + i, "w");
                Emit("btfss\tSTATUS,0");
                Op("incfsz", vb.addr + i, "w");
                Op("subwf", va.addr + i, "w");
            }
        }
        Emit(lessWanted ? "btfss\tSTATUS,0" : "btfsc\tSTATUS,0");
        Goto(label);
    }

    // ---- built-in functions ----------------------------------------------------------------
    void GenBuiltin(const TExpr *e, const TVal *dst)
    {
        const std::string &name = e->name;
        const auto constArg = [&](std::size_t i, std::int64_t *v) {
            if (i < e->kids.size() && e->kids[i]->op == TOp::Const) {
                *v = e->kids[i]->value;
                return true;
            }
            msgs.Error(vmNotConstant, i < e->kids.size() ? e->kids[i]->at : e->at, name + " needs a constant here");
            return false;
        };
        if (name == "nop") {
            Emit("nop");
            return;
        }
        if (name == "sleep") {
            Emit("sleep");
            Emit("nop");
            return;
        }
        if (name == "restart_wdt") {
            Emit("clrwdt");
            return;
        }
        if (name == "bit_set" || name == "bit_clear" || name == "bit_test") {
            std::int64_t bit = 0;
            if (!constArg(1, &bit))
                return;
            const TExpr *var = e->kids[0];
            if (var->op != TOp::Var && var->op != TOp::Deref) {
                msgs.Error(vmNotLvalue, var->at, name + " needs a variable");
                return;
            }
            TLoc loc = Locate(var);
            const int n = SizeOf(var->type);
            if (bit < 0 || bit >= 8 * n) {
                msgs.Error(vmDirectiveArgs, e->kids[1]->at, "Bit " + std::to_string(bit) + " is outside the variable");
                return;
            }
            if (loc.kind == TLoc::Direct) {
                if (name == "bit_test") {
                    if (dst)
                        Move(TVal::BitAt(loc.addr + static_cast<int>(bit / 8), static_cast<int>(bit % 8)), *dst);
                    return;
                }
                BitOp(name == "bit_set" ? "bsf" : "bcf", loc.addr + static_cast<int>(bit / 8), static_cast<int>(bit % 8));
                return;
            }
            TVal v = Load(loc, var->type);
            if (name == "bit_test") {
                if (dst)
                    Move(TVal::BitAt(v.addr + static_cast<int>(bit / 8), static_cast<int>(bit % 8)), *dst);
                return;
            }
            BitOp(name == "bit_set" ? "bsf" : "bcf", v.addr + static_cast<int>(bit / 8), static_cast<int>(bit % 8));
            Store(v, loc);
            return;
        }
        if (name == "make8") {
            std::int64_t k = 0;
            if (!constArg(1, &k))
                return;
            TVal v = Eval(e->kids[0]);
            if (!dst)
                return;
            if (v.kind == TVal::Imm) {
                Move(TVal::Immediate((v.imm >> (8 * k)) & 0xFF, 1), *dst);
            } else if (v.kind == TVal::Mem && k < v.size) {
                Move(TVal::Memory(v.addr + static_cast<int>(k), 1), *dst);
            } else {
                Move(TVal::Immediate(0, 1), *dst);
            }
            return;
        }
        if (name == "make16" || name == "make32") {
            if (!dst)
                return;
            const int parts = static_cast<int>(e->kids.size());
            TVal d = WorkTarget(*dst);
            // Arguments from the most significant part down, each a byte (make32 also takes
            // 16-bit parts: the widths say how many bytes each gives).
            int at = d.size;
            for (int i = 0; i < parts; ++i) {
                const int width = name == "make16" ? 1 : std::min(2, SizeOf(e->kids[static_cast<std::size_t>(i)]->type));
                at -= width;
                if (at < 0)
                    break;
                TVal v = Eval(e->kids[static_cast<std::size_t>(i)]);
                Move(v, TVal::Memory(d.addr + at, width));
            }
            for (int i = 0; i < at; ++i)
                Op("clrf", d.addr + i);
            Finish(d, *dst);
            return;
        }
        if (name == "swap") {
            const TExpr *var = e->kids[0];
            TLoc loc = Locate(var);
            if (loc.kind == TLoc::Direct) {
                Op("swapf", loc.addr, "f");
            } else {
                TVal v = Load(loc, var->type);
                Op("swapf", v.addr, "f");
                Store(v, loc);
            }
            return;
        }
        if (name == "delay_cycles" || name == "delay_us" || name == "delay_ms") {
            GenDelay(e);
            return;
        }
        if (name.rfind("__rs232_", 0) == 0) {
            GenSerial(e, dst);
            return;
        }
        if (name.rfind("__i2c_", 0) == 0) {
            GenI2c(e, dst);
            return;
        }
        if (name == "enable_interrupts" || name == "disable_interrupts") {
            // The device header's numbers: enable bit address * 8 + bit, 0x8000 for a peripheral
            // interrupt, which also needs the peripheral enable bit.
            std::int64_t v = 0;
            if (!constArg(0, &v))
                return;
            const bool enable = name == "enable_interrupts";
            const int addr = static_cast<int>((v & 0x7FFF) >> 3), bit = static_cast<int>(v & 7);
            if (v < 0 || v > 0xFFFF || addr == 0) {
                msgs.Error(vmDirectiveArgs, e->kids[0]->at, "Not an interrupt: " + std::to_string(v) + " (use INT_ names of the device header)");
                return;
            }
            BitOp(enable ? "bsf" : "bcf", addr, bit);
            int pa = 0, pb = 0;
            if (enable && (v & 0x8000) && tgt.Bit("PEIE", &pa, &pb))
                BitOp("bsf", pa, pb);
            return;
        }
        GenPinBuiltin(e, dst);
    }

    // ---- the serial port of #use rs232 --------------------------------------------------------
    // The hardware serial port when #use rs232 names its pins (or no pins), otherwise a port in
    // software on the given pins: each bit edge and each sample of a received bit falls on the
    // instruction cycle nearest to its place for the baud rate and the clock of #use delay.
    struct TSerialPlan {
        bool known = false;
        bool ok = false;
        bool hardware = false;
        TUsart usart;
        int bitCycles10 = 0;   // instruction cycles per bit, times 1024
    };
    TSerialPlan serialPlan;

    const TSerialPlan &SerialPlan()
    {
        TSerialPlan &p = serialPlan;
        if (p.known)
            return p;
        p.known = true;
        const auto &rs = prog.rs232;
        const TSourceSpan at = rs.at;
        for (const auto &[key, pin] : {std::pair<const char *, int>{"xmit", rs.xmit}, {"rcv", rs.rcv}}) {
            if (pin >= 0 && !PinExists(tgt, pin)) {
                msgs.Error(vmDirectiveArgs, at, std::string("#use rs232: ") + key + "= names pin " + std::to_string(pin) + ", which " +
                                                    tgt.name + " does not have");
                return p;
            }
        }
        const bool hasUsart = FindUsart(tgt, &p.usart);
        const bool pinsMatch = (rs.xmit < 0 || rs.xmit == p.usart.txPin) && (rs.rcv < 0 || rs.rcv == p.usart.rxPin);
        p.hardware = hasUsart && !rs.invert && (pinsMatch || (p.usart.txPin < 0 && rs.xmit < 0 && rs.rcv < 0));
        if (!p.hardware && rs.xmit < 0 && rs.rcv < 0) {
            msgs.Error(vmDirectiveArgs, at, "#use rs232 needs its pins: " + tgt.name + (hasUsart ? "" : " has no serial port;") +
                                                " give xmit= and rcv= (PIN_B0 ...)");
            return p;
        }
        const std::uint64_t clock = prog.clock, baud = rs.baud;
        if (clock == 0 || baud == 0)
            return p;
        if (!p.hardware) {
            p.bitCycles10 = static_cast<int>((clock * 256 + baud / 2) / baud);   // clock / 4 / baud * 1024
            if (p.bitCycles10 < 24 * 1024) {
                msgs.Error(vmDirectiveArgs, at, "#use rs232: " + std::to_string(baud) + " baud is too fast for a port in software at " +
                                                    std::to_string(clock) + " Hz (a bit needs at least 24 instruction cycles)");
                return p;
            }
            if (p.bitCycles10 / 1024 > 200000) {
                msgs.Error(vmDirectiveArgs, at, "#use rs232: " + std::to_string(baud) + " baud is too slow for a port in software");
                return p;
            }
        }
        p.ok = true;
        return p;
    }

    // Makes a pin digital where the part has an analog select bit for it.
    void DigitalPin(int pin)
    {
        const std::string name = PinName(tgt, pin);
        if (name.size() != 6)
            return;
        for (const TAnalogSelect &a : AnalogSelectBits(tgt)) {
            if (a.pin == name.substr(4) && tgt.Register(a.reg) >= 0)
                BitOp("bcf", tgt.Register(a.reg), a.bit);
        }
    }

    int PortOut(int pin) const { return Enhanced() ? pin / 8 + 0x100 : pin / 8; }

    // Cycles of the instructions written since `mark` (timed code: no jumps, and a skip counts
    // its skipped instruction as its second cycle).
    int CyclesSince(std::size_t mark) const
    {
        int n = 0;
        for (std::size_t i = mark; i < cur->code.size(); ++i)
            n += cur->code[i].kind == TLine::Ins ? 1 : 0;
        return n;
    }

    // The next timed instruction `distance` cycles after the one ending at `mark`: what
    // `prepare` wrote counts, the wait fills the rest (it changes W, not the carry), `select`
    // chooses the bank (padded to two cycles) and `act` writes `lead` cycles of instructions and
    // then the timed one.
    void TimedStep(std::size_t &mark, int distance, const std::function<void()> &prepare, const std::function<void()> &select,
                   const std::function<void()> &act, int lead = 0)
    {
        prepare();
        const int wait = distance - 1 - CyclesSince(mark) - 2 - lead;
        WaitCycles(std::max(0, wait));
        const std::size_t before = cur->code.size();
        select();
        for (int i = CyclesSince(before); i < 2; ++i)
            Emit("nop");
        act();
        mark = cur->code.size();
    }

    void GenSerial(const TExpr *e, const TVal *dst)
    {
        const std::string &name = e->name;
        const TSerialPlan &p = SerialPlan();
        if (!p.ok)
            return;
        const auto &rs = prog.rs232;
        const TUsart &u = p.usart;
        if (p.hardware) {
            const int txreg = tgt.Register(u.txreg), rcreg = tgt.Register(u.rcreg);
            if (name == "__rs232_start") {
                const std::uint64_t clock = prog.clock, baud = rs.baud;
                std::uint64_t divisor = (clock + 8 * baud) / (16 * baud);
                int txsta = 0x24;   // transmit on, high speed
                if (divisor > 256) {
                    divisor = (clock + 32 * baud) / (64 * baud);
                    txsta = 0x20;
                }
                if (divisor < 1 || divisor > 256) {
                    msgs.Error(vmDirectiveArgs, rs.at, "#use rs232: " + std::to_string(baud) + " baud can not be made from a clock of " +
                                                           std::to_string(clock) + " Hz");
                    return;
                }
                if (u.rxPin >= 0)
                    DigitalPin(u.rxPin);
                if (u.txPin >= 0)
                    DigitalPin(u.txPin);
                Lit("movlw", static_cast<int>(divisor - 1));
                Op("movwf", tgt.Register(u.spbrg));
                Lit("movlw", txsta);
                Op("movwf", tgt.Register(u.txsta));
                Lit("movlw", 0x90);   // port on, receiving
                Op("movwf", tgt.Register(u.rcsta));
                return;
            }
            if (name == "__rs232_put") {
                const TVal v = Stable(Eval(e->kids[0]));
                const std::string wait = NewLabel("L");
                LoopLabel(wait);
                SkipGoto("btfss", tgt.Register(u.txifReg), u.txifBit, wait);
                LoadByte(v, 0);
                Op("movwf", txreg);
                return;
            }
            if (name == "__rs232_get") {
                // An overrun stops the receiver until it is switched off and on.
                int oerrAddr = 0, oerr = 0, crenAddr = 0, cren = 0;
                if (tgt.Bit("OERR", &oerrAddr, &oerr) && tgt.Bit("CREN", &crenAddr, &cren)) {
                    const std::string fine = NewLabel("L");
                    SkipGoto("btfss", oerrAddr, oerr, fine);
                    BitOp("bcf", crenAddr, cren);
                    BitOp("bsf", crenAddr, cren);
                    Label(fine);
                    bank = -1;
                }
                const std::string wait = NewLabel("L");
                LoopLabel(wait);
                SkipGoto("btfss", tgt.Register(u.rcifReg), u.rcifBit, wait);
                if (dst)
                    Move(TVal::Memory(rcreg, 1), *dst);
                else
                    Op("movf", rcreg, "w");
                return;
            }
            if (name == "__rs232_ready") {
                if (dst)
                    Move(TVal::BitAt(tgt.Register(u.rcifReg), u.rcifBit), *dst);
                return;
            }
            return;
        }
        // The port in software.
        const bool invert = rs.invert;
        const auto edgeCycles = [&](int k) { return static_cast<int>((static_cast<std::int64_t>(p.bitCycles10) * k + 512) / 1024); };
        if (name == "__rs232_start") {
            if (rs.xmit >= 0) {
                DigitalPin(rs.xmit);
                BitOp(invert ? "bcf" : "bsf", PortOut(rs.xmit), rs.xmit % 8);   // idle
                BitOp("bcf", rs.xmit / 8 + 0x80, rs.xmit % 8);
            }
            if (rs.rcv >= 0) {
                DigitalPin(rs.rcv);
                BitOp("bsf", rs.rcv / 8 + 0x80, rs.rcv % 8);
            }
            return;
        }
        if (name == "__rs232_put") {
            if (rs.xmit < 0) {
                msgs.Error(vmDirectiveArgs, e->at, "#use rs232 has no xmit= pin to send on");
                return;
            }
            const int out = PortOut(rs.xmit), mask = 1 << (rs.xmit % 8);
            TVal v = Eval(e->kids[0]);
            TVal shift = TempVal(1);
            Move(v, shift);
            std::size_t mark = 0;
            // Start bit.
            BitOp(invert ? "bsf" : "bcf", out, rs.xmit % 8);
            mark = cur->code.size();
            for (int k = 1; k <= 9; ++k) {
                const int distance = edgeCycles(k) - edgeCycles(k - 1);
                if (k <= 8) {
                    // The next bit into the carry; then W = the port with the pin at that bit.
                    TimedStep(
                        mark, distance, [&] { Op("rrf", shift.addr, "f"); }, [&] { Select(out); },
                        [&] {
                            Op("movf", out, "w");
                            Lit("andlw", ~mask & 0xFF);
                            Emit(invert ? "btfss\tSTATUS,0" : "btfsc\tSTATUS,0");
                            Lit("iorlw", mask);
                            Op("movwf", out);
                        },
                        4);
                } else {
                    TimedStep(mark, distance, [] {}, [&] { Select(out); },
                              [&] { Emit(std::string(invert ? "bcf\t" : "bsf\t") + Operand(out) + "," + std::to_string(rs.xmit % 8)); });
                }
            }
            // The stop bit's time.
            WaitCycles(std::max(0, edgeCycles(10) - edgeCycles(9) - 1 - CyclesSince(mark)));
            return;
        }
        if (rs.rcv < 0) {
            msgs.Error(vmDirectiveArgs, e->at, "#use rs232 has no rcv= pin to receive on");
            return;
        }
        const int in = rs.rcv / 8, bit = rs.rcv % 8;
        if (name == "__rs232_ready") {
            if (!dst)
                return;
            // A start bit has begun.
            TVal t = TempVal(1);
            Move(TVal::BitAt(in, bit), t);
            if (!invert) {
                Op("movf", t.addr, "w");
                Lit("xorlw", 1);
                Op("movwf", t.addr);
            }
            Move(t, *dst);
            return;
        }
        if (name == "__rs232_get") {
            TVal shift = TempVal(1);
            const std::string wait = NewLabel("L");
            LoopLabel(wait);
            // Waits for the start bit; it began 0 to 2 cycles before the sample that saw it.
            SkipGoto(invert ? "btfss" : "btfsc", in, bit, wait);
            std::size_t mark = cur->code.size() - 1;   // the skipped goto counts as a cycle
            const int middle = (edgeCycles(3) + 1) / 2 - 1;   // the middle of bit 0, 1.5 bits on
            for (int k = 0; k < 8; ++k) {
                const int distance = k == 0 ? middle : edgeCycles(k + 1) - edgeCycles(k);
                TimedStep(
                    mark, distance, [&] { Emit("bcf\tSTATUS,0"); }, [&] { Select(in); },
                    [&] { Emit(std::string(invert ? "btfss\t" : "btfsc\t") + Operand(in) + "," + std::to_string(bit)); });
                // The bit into the top of the byte; after eight, bit 0 is the first.
                Emit("bsf\tSTATUS,0");
                Op("rrf", shift.addr, "f");
            }
            // Returns in the middle of the stop bit.
            WaitCycles(std::max(0, edgeCycles(1) - 1 - CyclesSince(mark)));
            if (dst)
                Move(shift, *dst);
            return;
        }
    }

    // ---- the I2C bus of #use i2c ---------------------------------------------------------------
    // In software the two pins are open-drain lines: low is the port bit 0 with the pin an output,
    // high is the pin released (an input) for the pull-up; a device may hold the clock low and is
    // waited for. Each half period of the clock is at least 1/(2 * rate).
    struct TI2cPlan {
        bool known = false;
        bool ok = false;
        bool hardware = false;
        int half = 1;   // instruction cycles of half a clock period
        TMssp mssp;
        int divisor = 0;
    };
    TI2cPlan i2cPlan;

    // The bus on the MSSP module: each step starts the module and waits for it.
    void GenI2cHardware(const TI2cPlan &p, const std::string &name, const TExpr *e, const TVal *dst)
    {
        const TMssp &m = p.mssp;
        const int con = tgt.Register(m.con), con2 = tgt.Register(m.con2), stat = tgt.Register(m.stat);
        const int add = tgt.Register(m.add), buf = tgt.Register(m.buf), flags = tgt.Register(m.ifReg);
        enum { kSen = 0, kRsen = 1, kPen = 2, kRcen = 3, kAcken = 4, kAckdt = 5, kAckstat = 6, kStart = 3 };
        const auto waitClear = [&](int addr, int bit) {
            const std::string wait = NewLabel("L");
            LoopLabel(wait);
            SkipGoto("btfsc", addr, bit, wait);
        };
        const auto waitFlag = [&] {
            const std::string wait = NewLabel("L");
            LoopLabel(wait);
            SkipGoto("btfss", flags, m.ifBit, wait);
        };
        if (name == "__i2c_init") {
            DigitalPin(m.sdaPin);
            DigitalPin(m.sclPin);
            LineRelease(m.sdaPin);
            LineRelease(m.sclPin);
            Lit("movlw", p.divisor - 1);
            Op("movwf", add);
            Lit("movlw", prog.i2c.rate <= 100000 ? 0x80 : 0x00);   // slew rate control off at 100 kHz
            Op("movwf", stat);
            Op("clrf", con2);
            Lit("movlw", 0x28);   // on, I2C master
            Op("movwf", con);
            return;
        }
        if (name == "__i2c_start") {
            // A repeated start while the bus is ours (a start was the last condition seen).
            const std::string plain = NewLabel("L"), done = NewLabel("L");
            SkipGoto("btfss", stat, kStart, plain);
            BitOp("bsf", con2, kRsen);
            waitClear(con2, kRsen);
            Goto(done);
            Label(plain);
            bank = -1;
            BitOp("bsf", con2, kSen);
            waitClear(con2, kSen);
            Label(done);
            bank = -1;
            return;
        }
        if (name == "__i2c_stop") {
            BitOp("bsf", con2, kPen);
            waitClear(con2, kPen);
            return;
        }
        if (name == "__i2c_write") {
            TVal v = Stable(Eval(e->kids[0]));
            BitOp("bcf", flags, m.ifBit);
            LoadByte(v, 0);
            Op("movwf", buf);
            waitFlag();
            if (dst)
                Move(TVal::BitAt(con2, kAckstat), *dst);
            return;
        }
        if (name == "__i2c_read") {
            TVal ackWanted = Stable(Eval(e->kids[0]));
            TVal value = TempVal(1);
            BitOp("bcf", flags, m.ifBit);
            BitOp("bsf", con2, kRcen);
            waitFlag();
            Move(TVal::Memory(buf, 1), value);
            // ACKDT 0 acknowledges.
            const std::string noAck = NewLabel("L"), send = NewLabel("L");
            BitOp("bsf", con2, kAckdt);
            LoadByte(ackWanted, 0);
            Emit("iorlw\t0x00");
            Emit("btfsc\tSTATUS,2");
            Goto(noAck);
            BitOp("bcf", con2, kAckdt);
            Label(noAck);
            bank = -1;
            BitOp("bsf", con2, kAcken);
            waitClear(con2, kAcken);
            (void)send;
            if (dst)
                Move(value, *dst);
            return;
        }
    }

    const TI2cPlan &I2cPlan()
    {
        TI2cPlan &p = i2cPlan;
        if (p.known)
            return p;
        p.known = true;
        const auto &bus = prog.i2c;
        for (const auto &[key, pin] : {std::pair<const char *, int>{"sda", bus.sda}, {"scl", bus.scl}}) {
            if (pin < 0)
                return p;
            if (!PinExists(tgt, pin)) {
                msgs.Error(vmDirectiveArgs, bus.at, std::string("#use i2c: ") + key + "= names pin " + std::to_string(pin) + ", which " +
                                                        tgt.name + " does not have");
                return p;
            }
        }
        const std::uint64_t rate = bus.rate ? bus.rate : 100000;
        p.half = static_cast<int>(std::max<std::uint64_t>(1, (prog.clock / 4 + 2 * rate - 1) / (2 * rate)));
        // The MSSP when its pins are the bus's: SSPADD = Fosc / (4 rate) - 1, rounded up.
        const std::uint64_t divisor = (prog.clock + 4 * rate - 1) / (4 * rate);
        if (!bus.forceSoftware && FindMssp(tgt, &p.mssp) && p.mssp.sdaPin == bus.sda && p.mssp.sclPin == bus.scl && divisor >= 2 &&
            divisor <= 256) {
            p.hardware = true;
            p.divisor = static_cast<int>(divisor);
        } else if (bus.forceHardware) {
            msgs.Error(vmDirectiveArgs, bus.at, "#use i2c: force_hw needs the pins of " + tgt.name + "'s MSSP module" +
                                                    (p.mssp.sdaPin >= 0 ? " (sda=" + PinName(tgt, p.mssp.sdaPin) + ", scl=" +
                                                                              PinName(tgt, p.mssp.sclPin) + ")" : std::string(", which it does not have")));
            return p;
        }
        p.ok = true;
        return p;
    }

    void LineLow(int pin)
    {
        BitOp("bcf", PortOut(pin), pin % 8);   // the latch may have read a high pin back
        BitOp("bcf", pin / 8 + 0x80, pin % 8);
    }

    void LineRelease(int pin) { BitOp("bsf", pin / 8 + 0x80, pin % 8); }

    // Releases the clock and waits while a device holds it low.
    void ClockHigh(int scl)
    {
        LineRelease(scl);
        const std::string wait = NewLabel("L");
        LoopLabel(wait);
        SkipGoto("btfss", scl / 8, scl % 8, wait);
    }

    void GenI2c(const TExpr *e, const TVal *dst)
    {
        const std::string &name = e->name;
        const TI2cPlan &p = I2cPlan();
        if (!p.ok)
            return;
        if (p.hardware) {
            GenI2cHardware(p, name, e, dst);
            return;
        }
        const int sda = prog.i2c.sda, scl = prog.i2c.scl;
        const auto half = [&] { WaitCycles(p.half); };
        if (name == "__i2c_init") {
            DigitalPin(sda);
            DigitalPin(scl);
            LineRelease(sda);
            LineRelease(scl);
            return;
        }
        if (name == "__i2c_start") {
            // Also a repeated start: both lines high first, then the data line falls.
            LineRelease(sda);
            half();
            ClockHigh(scl);
            half();
            LineLow(sda);
            half();
            LineLow(scl);
            half();
            return;
        }
        if (name == "__i2c_stop") {
            LineLow(sda);
            half();
            ClockHigh(scl);
            half();
            LineRelease(sda);
            half();
            return;
        }
        if (name == "__i2c_write") {
            TVal v = Eval(e->kids[0]);
            TVal shift = TempVal(1), count = TempVal(1);
            Move(v, shift);
            Lit("movlw", 8);
            Op("movwf", count.addr);
            const std::string loop = NewLabel("L"), low = NewLabel("L"), next = NewLabel("L");
            LoopLabel(loop);
            // The bits from the top.
            Op("rlf", shift.addr, "f");
            Emit("btfss\tSTATUS,0");
            Goto(low);
            LineRelease(sda);
            Goto(next);
            Label(low);
            bank = -1;
            LineLow(sda);
            Label(next);
            bank = -1;
            half();
            ClockHigh(scl);
            half();
            LineLow(scl);
            Op("decfsz", count.addr, "f");
            Goto(loop);
            // The device's acknowledge: it holds the data line low.
            LineRelease(sda);
            half();
            ClockHigh(scl);
            half();
            TVal ack = TempVal(1);
            Move(TVal::BitAt(sda / 8, sda % 8), ack);
            LineLow(scl);
            half();
            if (dst)
                Move(ack, *dst);
            return;
        }
        if (name == "__i2c_read") {
            TVal ackWanted = Stable(Eval(e->kids[0]));
            TVal shift = TempVal(1), count = TempVal(1);
            LineRelease(sda);
            Lit("movlw", 8);
            Op("movwf", count.addr);
            const std::string loop = NewLabel("L");
            LoopLabel(loop);
            half();
            ClockHigh(scl);
            half();
            Emit("bcf\tSTATUS,0");
            BitOp("btfsc", sda / 8, sda % 8);
            Emit("bsf\tSTATUS,0");
            Op("rlf", shift.addr, "f");
            LineLow(scl);
            Op("decfsz", count.addr, "f");
            Goto(loop);
            // Our acknowledge, unless the caller asked for none (the last byte).
            const std::string noAck = NewLabel("L"), sent = NewLabel("L");
            LoadByte(ackWanted, 0);
            Emit("iorlw\t0x00");
            Emit("btfsc\tSTATUS,2");
            Goto(noAck);
            LineLow(sda);
            Label(noAck);
            bank = -1;
            half();
            ClockHigh(scl);
            half();
            LineLow(scl);
            LineRelease(sda);
            half();
            (void)sent;
            if (dst)
                Move(shift, *dst);
            return;
        }
    }

    // Busy loops exact to the instruction cycle for the clock of #use delay.
    void GenDelay(const TExpr *e)
    {
        const std::string &name = e->name;
        std::int64_t cycles = 0;
        if (name != "delay_cycles" && prog.clock == 0) {
            msgs.Error(vmDirectiveArgs, e->at, name + " needs #use delay(clock=...) first");
            return;
        }
        const std::uint64_t perUs = prog.clock / 4;   // instruction cycles per second
        if (e->kids.empty())
            return;
        if (e->kids[0]->op != TOp::Const) {
            // A variable count: an outer loop around a fixed inner delay.
            if (name == "delay_cycles") {
                msgs.Error(vmNotConstant, e->kids[0]->at, "delay_cycles needs a constant");
                return;
            }
            TVal n = Stable(Eval(e->kids[0]));
            TVal count = TempVal(n.size);
            Move(n, count);
            const std::int64_t unit = name == "delay_ms" ? static_cast<std::int64_t>(perUs / 1000) : static_cast<std::int64_t>(perUs / 1000000);
            const std::string loop = NewLabel("L"), done = NewLabel("L");
            // while (count) { wait unit - loop overhead; count--; }
            LoopLabel(loop);
            LoadByte(count, 0);
            for (int i = 1; i < count.size; ++i)
                Op("iorwf", count.addr + i, "w");
            Emit("btfsc\tSTATUS,2");
            Goto(done);
            WaitCycles(std::max<std::int64_t>(0, unit - 8 - 2 * count.size));
            DecrementInPlace(count);
            Goto(loop);
            Label(done);
            bank = -1;
            return;
        }
        const std::int64_t v = e->kids[0]->value;
        if (name == "delay_cycles")
            cycles = v;
        else if (name == "delay_us")
            cycles = static_cast<std::int64_t>((static_cast<std::uint64_t>(v) * prog.clock + 3999999) / 4000000);
        else
            cycles = static_cast<std::int64_t>((static_cast<std::uint64_t>(v) * prog.clock + 3999) / 4000);
        WaitCycles(cycles);
    }

    void WaitCycles(std::int64_t cycles)
    {
        // Nested counting loops in two frame temps, reused by each stage (both passes ask for
        // the same temps whatever the bank instructions cost); each level's cost is exact.
        TVal c, c2;
        if (cycles >= 4) {
            c = TempVal(1);
            c2 = TempVal(1);   // next to c in the frame: the same bank
        }
        while (cycles > 0) {
            if (cycles < 4) {
                for (std::int64_t i = 0; i < cycles; ++i)
                    Emit("nop");
                return;
            }
            // The counter's bank is chosen once, before the loop; those instructions count.
            const std::size_t mark = cur->code.size();
            Select(c.addr);
            cycles -= static_cast<std::int64_t>(cur->code.size() - mark);
            if (cycles < 4)
                continue;
            if (cycles <= 3 * 256 + 2) {
                // movlw k; movwf c; loop: decfsz c,f; goto loop  -> 2 + 3k - 1 cycles
                const std::int64_t k = std::min<std::int64_t>((cycles - 1) / 3, 256);
                Lit("movlw", static_cast<int>(k & 0xFF));
                Op("movwf", c.addr);
                const std::string loop = NewLabel("L");
                Label(loop);   // only this loop jumps back here, in the same bank
                Op("decfsz", c.addr, "f");
                Emit("goto\t" + loop);
                cycles -= 2 + 3 * k - 1;
                continue;
            }
            // Two levels: outer k2 times an inner loop of 256 (767 + 3 cycles per outer round).
            const std::int64_t perOuter = 3 * 256 - 1 + 3;   // inner loop + movwf/decfsz/goto of the outer
            std::int64_t k2 = std::min<std::int64_t>((cycles - 3) / (perOuter + 1), 256);
            if (k2 < 1)
                k2 = 1;
            const TVal c1 = c;
            Lit("movlw", static_cast<int>(k2 & 0xFF));
            Op("movwf", c2.addr);
            const std::string outer = NewLabel("L"), inner = NewLabel("L");
            Label(outer);
            Op("clrf", c1.addr);
            Label(inner);
            Op("decfsz", c1.addr, "f");
            Emit("goto\t" + inner);
            Op("decfsz", c2.addr, "f");
            Emit("goto\t" + outer);
            // movlw, movwf: 2; per outer: clrf 1 + inner 3*256-1 + decfsz/goto 3 (last: 2)
            cycles -= 2 + k2 * (1 + 3 * 256 - 1 + 3) - 1;
        }
    }

    void GenPinBuiltin(const TExpr *e, const TVal *dst)
    {
        // Pins are numbers: port register address * 8 + bit.
        const std::string &name = e->name;
        std::int64_t pin = 0;
        if (e->kids.empty() || e->kids[0]->op != TOp::Const) {
            msgs.Error(vmNotConstant, e->kids.empty() ? e->at : e->kids[0]->at, name + " needs a pin constant such as PIN_B0");
            return;
        }
        pin = e->kids[0]->value;
        const int port = static_cast<int>(pin >> 3);
        const int bit = static_cast<int>(pin & 7);
        const int tris = Enhanced() ? port + 0x80 : port + 0x80;
        const int lat = Enhanced() ? port + 0x100 : -1;
        if (port <= 0 || port >= 0x80) {
            msgs.Error(vmDirectiveArgs, e->kids[0]->at, "Not a pin: " + std::to_string(pin));
            return;
        }
        if (name == "input") {
            BitOp("bsf", tris, bit);
            if (dst)
                Move(TVal::BitAt(port, bit), *dst);
            return;
        }
        if (name == "output_float") {
            BitOp("bsf", tris, bit);
            return;
        }
        const int out = lat >= 0 ? lat : port;
        if (name == "output_high" || name == "output_low") {
            BitOp(name == "output_high" ? "bsf" : "bcf", out, bit);
            BitOp("bcf", tris, bit);
            return;
        }
        if (name == "output_toggle") {
            Lit("movlw", 1 << bit);
            Op("xorwf", out, "f");
            BitOp("bcf", tris, bit);
            return;
        }
        if (name == "output_bit") {
            TVal v = Eval(e->kids[1]);
            StoreBit(v, out, bit);
            BitOp("bcf", tris, bit);
            return;
        }
        msgs.Error(vmUnsupported, e->at, "The built-in function " + name + " is not available yet");
    }

    // ---- statements ------------------------------------------------------------------------
    void GenStmt(const TStmt *s)
    {
        if (!s)
            return;
        switch (s->kind) {
        case TStmtKind::Empty:
            return;
        case TStmtKind::Block:
            for (const TStmt *k : s->list)
                GenStmt(k);
            return;
        default:
            break;
        }
        SourceLine(s->at);
        const int mark = cur->tempTop;
        switch (s->kind) {
        case TStmtKind::Expr:
            if (s->expr)
                EvalDiscard(s->expr);
            break;
        case TStmtKind::Init: {
            const TSymbol *v = s->expr->sym;
            if (!v->init.empty()) {
                if (v->bit >= 0) {
                    BitOp(v->init.front().value ? "bsf" : "bcf", v->address, v->bit);
                } else {
                    std::vector<int> bytes(static_cast<std::size_t>(SizeOf(v->type)), 0);
                    for (const TInitByte &b : v->init) {
                        if (b.offset >= 0 && b.offset < static_cast<int>(bytes.size()))
                            bytes[static_cast<std::size_t>(b.offset)] = b.value;
                    }
                    for (std::size_t i = 0; i < bytes.size(); ++i) {
                        if (bytes[i] == 0) {
                            Op("clrf", v->address + static_cast<int>(i));
                        } else {
                            Lit("movlw", bytes[i]);
                            Op("movwf", v->address + static_cast<int>(i));
                        }
                    }
                }
            }
            for (const TStmt *k : s->list)
                GenStmt(k);
            break;
        }
        case TStmtKind::If: {
            const std::string other = NewLabel("L");
            Branch(s->expr, other, false);
            GenStmt(s->body);
            if (s->other) {
                const std::string end = NewLabel("L");
                Goto(end);
                Label(other);
                bank = -1;
                GenStmt(s->other);
                Label(end);
                bank = -1;
            } else {
                Label(other);
                bank = -1;
            }
            break;
        }
        case TStmtKind::While: {
            const std::string top = NewLabel("L"), end = NewLabel("L");
            LoopLabel(top);
            Branch(s->expr, end, false);
            loops.push_back({end, top});
            GenStmt(s->body);
            loops.pop_back();
            Goto(top);
            Label(end);
            bank = -1;
            break;
        }
        case TStmtKind::DoWhile: {
            const std::string top = NewLabel("L"), next = NewLabel("L"), end = NewLabel("L");
            LoopLabel(top);
            loops.push_back({end, next});
            GenStmt(s->body);
            loops.pop_back();
            Label(next);
            bank = -1;
            SourceLine(s->expr->at);
            Branch(s->expr, top, true);
            Label(end);
            bank = -1;
            break;
        }
        case TStmtKind::For: {
            const std::string top = NewLabel("L"), next = NewLabel("L"), end = NewLabel("L");
            if (s->init)
                EvalDiscard(s->init);
            cur->tempTop = mark;
            LoopLabel(top);
            if (s->expr)
                Branch(s->expr, end, false);
            cur->tempTop = mark;
            loops.push_back({end, next});
            GenStmt(s->body);
            loops.pop_back();
            Label(next);
            bank = -1;
            if (s->step) {
                SourceLine(s->at);
                EvalDiscard(s->step);
            }
            Goto(top);
            Label(end);
            bank = -1;
            break;
        }
        case TStmtKind::Switch:
            GenSwitch(s);
            break;
        case TStmtKind::Case:
        case TStmtKind::Default: {
            const auto it = caseLabels.find(s);
            if (it != caseLabels.end()) {
                Label(it->second);
                bank = -1;
            }
            break;
        }
        case TStmtKind::Break:
            if (!loops.empty())
                Goto(loops.back().breakLabel);
            break;
        case TStmtKind::Continue:
            for (auto it = loops.rbegin(); it != loops.rend(); ++it) {
                if (!it->continueLabel.empty()) {
                    Goto(it->continueLabel);
                    break;
                }
            }
            break;
        case TStmtKind::Return:
            if (s->expr) {
                const TType *r = cur->function->Result();
                TVal slot = TVal::Memory(cur->frameBase + cur->retOffset, SizeOf(r), Signed(r));
                EvalInto(s->expr, slot);
            }
            Goto(exitLabel);
            break;
        case TStmtKind::Goto:
            if (!cur->function->labels.count(s->label))
                msgs.Error(vmLabel, s->at, "Label " + s->label + " is not defined");
            else
                Goto("?U" + cur->function->name + "." + s->label);
            break;
        case TStmtKind::Label:
            LoopLabel("?U" + cur->function->name + "." + s->label);
            break;
        default:
            break;
        }
        cur->tempTop = mark;
    }

    std::map<const TStmt *, std::string> caseLabels;

    void CollectCases(const TStmt *s, std::vector<const TStmt *> *cases)
    {
        if (!s)
            return;
        if (s->kind == TStmtKind::Case || s->kind == TStmtKind::Default) {
            cases->push_back(s);
            return;
        }
        if (s->kind == TStmtKind::Switch)
            return;   // nested switch: its own cases
        for (const TStmt *k : s->list)
            CollectCases(k, cases);
        CollectCases(s->body, cases);
        CollectCases(s->other, cases);
    }

    void GenSwitch(const TStmt *s)
    {
        std::vector<const TStmt *> cases;
        CollectCases(s->body, &cases);
        TVal v = Stable(Eval(s->expr));
        if (v.kind == TVal::Imm) {
            TVal t = TempVal(v.size);
            Move(v, t);
            v = t;
        }
        const TType *type = s->expr->type;
        const std::string end = NewLabel("L");
        std::string defaultLabel = end;
        std::set<std::int64_t> seen;
        for (const TStmt *c : cases) {
            const std::string label = NewLabel("C");
            caseLabels[c] = label;
            if (c->kind == TStmtKind::Default) {
                defaultLabel = label;
                continue;
            }
            const std::int64_t value = Truncate(c->caseValue, type);
            if (!seen.insert(value).second) {
                msgs.Error(vmRedefined, c->at, "case " + std::to_string(c->caseValue) + " appears twice");
                continue;
            }
            // Jump to the case when every byte matches.
            const std::string next = NewLabel("L");
            for (int i = 0; i < v.size; ++i) {
                Op("movf", v.addr + i, "w");
                Lit("xorlw", static_cast<int>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
                Emit("btfss\tSTATUS,2");
                Goto(i + 1 < v.size ? next : next);
            }
            Goto(label);
            Label(next);
            bank = -1;
        }
        Goto(defaultLabel);
        loops.push_back({end, ""});
        GenStmt(s->body);
        loops.pop_back();
        Label(end);
        bank = -1;
    }

    // ---- whole units -----------------------------------------------------------------------
    void GenFunction(TUnit *u)
    {
        cur = u;
        bank = -1;
        lastFile = -1;
        lastLine = -1;
        labelBanks.clear();
        placedLabels.clear();
        u->code.clear();
        u->tempTop = 0;
        u->callees.clear();
        TFunction *f = u->function;
        exitLabel = NewLabel("X");
        SourceLine(f->at);
        Label(u->label);
        bank = -1;
        GenStmt(f->body);
        Label(exitLabel);
        bank = -1;
        if (f->name == "main") {
            // main falls into the sleep of the start-up code.
        }
        Emit("return");
        cur = nullptr;
    }

    void GenHelper(TUnit *u)
    {
        cur = u;
        bank = -1;
        u->code.clear();
        const int n = u->width;
        const int base = u->frameBase;
        Label(u->label);
        bank = -1;
        if (u->helper == "romrd") {
            Op("movf", base + 1, "w");
            Op("movwf", kPclath);
            Op("movf", base, "w");
            Op("movwf", kPcl);
            cur = nullptr;
            return;
        }
        if (u->helper == "mul") {
            const int A = base, B = base + n, R = base + 2 * n, cnt = base + 3 * n;
            for (int i = 0; i < n; ++i)
                Op("clrf", R + i);
            Lit("movlw", 8 * n);
            Op("movwf", cnt);
            const std::string loop = "?ml" + u->label.substr(1), skip = "?ms" + u->label.substr(1);
            Label(loop);
            SelectBank(BankOf(base));
            BitOp("btfss", B, 0);
            Emit("goto\t" + skip);
            ApplyInPlace(TOp::Add, TVal::Memory(R, n), TVal::Memory(A, n));
            Label(skip);
            ShiftOnce(TVal::Memory(A, n), true, false);
            ShiftOnce(TVal::Memory(B, n), false, false);
            Op("decfsz", cnt, "f");
            Emit("goto\t" + loop);
            Emit("return");
            cur = nullptr;
            return;
        }
        if (u->helper == "divu") {
            const int A = base, B = base + n, R = base + 2 * n, T = base + 3 * n, X = base + 4 * n, cnt = X + 1;
            for (int i = 0; i < n; ++i)
                Op("clrf", R + i);
            Lit("movlw", 8 * n);
            Op("movwf", cnt);
            const std::string loop = "?dl" + u->label.substr(1), skip = "?ds" + u->label.substr(1);
            Label(loop);
            SelectBank(BankOf(base));
            Emit("bcf\tSTATUS,0");
            for (int i = 0; i < n; ++i)
                Op("rlf", A + i, "f");
            for (int i = 0; i < n; ++i)
                Op("rlf", R + i, "f");
            Op("clrf", X);
            Op("rlf", X, "f");
            for (int i = 0; i < n; ++i) {
                Op("movf", R + i, "w");
                Op("movwf", T + i);
            }
            ApplyInPlace(TOp::Sub, TVal::Memory(T, n), TVal::Memory(B, n));
            BitOp("btfsc", X, 0);
            Emit("bsf\tSTATUS,0");
            Emit("btfss\tSTATUS,0");
            Emit("goto\t" + skip);
            for (int i = 0; i < n; ++i) {
                Op("movf", T + i, "w");
                Op("movwf", R + i);
            }
            BitOp("bsf", A, 0);
            Label(skip);
            Op("decfsz", cnt, "f");
            Emit("goto\t" + loop);
            Emit("return");
            cur = nullptr;
            return;
        }
        if (u->helper == "divs") {
            TUnit *core = units["?divu" + std::to_string(n * 8) + (u->context ? "_i" : "")].get();
            const int fb = core->frameBase;
            const int A = fb, B = fb + n, R = fb + 2 * n, S = fb + 4 * n + 2;
            const auto negate = [&](int at) {
                for (int i = 0; i < n; ++i)
                    Op("comf", at + i, "f");
                IncrementInPlace(TVal::Memory(at, n));
            };
            const std::string l1 = "?d1" + u->label.substr(1), l2 = "?d2" + u->label.substr(1),
                              l3 = "?d3" + u->label.substr(1), l4 = "?d4" + u->label.substr(1);
            Op("clrf", S);
            BitOp("btfss", A + n - 1, 7);
            Emit("goto\t" + l1);
            negate(A);
            Lit("movlw", 3);
            Op("movwf", S);
            Label(l1);
            SelectBank(BankOf(fb));
            BitOp("btfss", B + n - 1, 7);
            Emit("goto\t" + l2);
            negate(B);
            Lit("movlw", 1);
            Op("xorwf", S, "f");
            Label(l2);
            SelectBank(BankOf(fb));
            CallUnit(core);
            PageRestore();
            SelectBank(BankOf(fb));
            BitOp("btfss", S, 0);
            Emit("goto\t" + l3);
            negate(A);
            Label(l3);
            SelectBank(BankOf(fb));
            BitOp("btfss", S, 1);
            Emit("goto\t" + l4);
            negate(R);
            Label(l4);
            Emit("return");
            cur = nullptr;
            return;
        }
        cur = nullptr;
    }

    // ---- the program -----------------------------------------------------------------------
    bool Run(std::string *assembly, TProgramReport *out);
    bool Prepare();
    void LayoutFrames();
    bool AllocateRam();
    bool CheckCalls();
    void GenEntries();
    bool PlaceCode();
    std::string Render();
    int UnitWords(const TUnit *u, bool worstCase) const;
    std::vector<TUnit *> TopoOrder(const std::vector<TUnit *> &roots);
    int PageBits() const;
    void FillReport();
    bool ResolveInterrupts();
};

// ---------------------------------------------------------------------------------------------

bool TCodeGen::TImpl::ResolveInterrupts()
{
    // The interrupt of each #int_xxx function: its flag and enable bits on this part.
    struct TName {
        const char *name;
        const char *bases[4];
    };
    static const TName kNames[] = {
        {"rtcc", {"T0", "TMR0", nullptr}},     {"timer0", {"T0", "TMR0", nullptr}},
        {"ext", {"INT", "INT0", nullptr}},         {"rb", {"RB", "RAB", "IOC", nullptr}},
        {"ra", {"RA", "GP", "RAB", nullptr}},  {"timer1", {"TMR1", nullptr}},
        {"timer2", {"TMR2", nullptr}},         {"timer4", {"TMR4", nullptr}},
        {"timer6", {"TMR6", nullptr}},         {"rda", {"RC", nullptr}},
        {"tbe", {"TX", nullptr}},              {"ad", {"AD", nullptr}},
        {"ccp1", {"CCP1", nullptr}},           {"ccp2", {"CCP2", nullptr}},
        {"ssp", {"SSP", "SSP1", nullptr}},     {"eeprom", {"EE", "EEI", nullptr}},
        {"comp", {"CM", "C1", "CMI", nullptr}},{"comp2", {"C2", nullptr}},
        {"psp", {"PSP", nullptr}},             {"bus_col", {"BCL", "BCL1", nullptr}},
        {"osc_fail", {"OSF", nullptr}},        {"lowvolt", {"LVD", nullptr}},
        {"rda2", {"RC2", nullptr}},            {"tbe2", {"TX2", nullptr}},
    };
    for (TFunction *f : prog.functions) {
        if (f->interrupt.empty() || !f->defined)
            continue;
        const std::string n = Lower(f->interrupt);
        if (n == "global" || n == "default") {
            msgs.Error(vmInterrupt, f->at, "#int_" + n + " is not supported; use the interrupt's own #int_ name");
            continue;
        }
        bool found = false;
        for (const TName &entry : kNames) {
            if (n != entry.name)
                continue;
            for (const char *const *b = entry.bases; *b && !found; ++b) {
                int fa, fb, ea, eb;
                const std::string base = *b;
                // The external interrupt's bits are INTE and INTF on the older parts.
                const std::string ie = base == "INT" ? "INTE" : base + "IE", flag = base == "INT" ? "INTF" : base + "IF";
                if (tgt.Bit(flag, &fa, &fb) && tgt.Bit(ie, &ea, &eb)) {
                    interrupts.push_back({base, f});
                    found = true;
                }
            }
        }
        if (!found)
            msgs.Error(vmInterrupt, f->at, "#int_" + n + " is not an interrupt of " + tgt.name);
        if (f->type->params.size() || f->Result()->kind != TTypeKind::Void)
            msgs.Error(vmInterrupt, f->at, "An interrupt function takes no arguments and returns nothing");
    }
    return true;
}

bool TCodeGen::TImpl::CheckCalls()
{
    // Recursion: a depth-first walk over the functions' calls.
    std::map<TFunction *, int> state;   // 0 new, 1 on the path, 2 done
    std::vector<TFunction *> path;
    bool ok = true;
    std::function<void(TFunction *)> visit = [&](TFunction *f) {
        state[f] = 1;
        path.push_back(f);
        for (TFunction *g : f->calls) {
            if (state[g] == 1) {
                std::string cycle;
                auto it = std::find(path.begin(), path.end(), g);
                for (; it != path.end(); ++it)
                    cycle += (*it)->name + " -> ";
                cycle += g->name;
                msgs.Error(vmRecursion, f->at, "Recursion is not allowed: " + cycle);
                ok = false;
            } else if (state[g] == 0) {
                visit(g);
            }
        }
        path.pop_back();
        state[f] = 2;
    };
    for (TFunction *f : prog.functions) {
        if (f->defined && state[f] == 0)
            visit(f);
    }
    if (!ok)
        return false;
    // Contexts: what main reaches runs in the main program, what the handlers reach in the
    // interrupt. A function in both would have its variables overwritten.
    std::function<void(TFunction *, int)> mark = [&](TFunction *f, int context) {
        auto it = contexts.find(f);
        if (it != contexts.end()) {
            if (it->second != context && it->second != 3) {
                msgs.Error(vmInterruptCall, f->at, "Function " + f->name + " is called from an interrupt and from the main program");
                it->second = 3;
            }
            return;
        }
        contexts[f] = context;
        for (TFunction *g : f->calls)
            mark(g, context);
    };
    for (TFunction *f : prog.functions) {
        if (f->name == "main" && f->defined)
            mark(f, 0);
    }
    for (const auto &[base, f] : interrupts)
        mark(f, 1);
    return msgs.ErrorCount() == 0;
}

bool TCodeGen::TImpl::Prepare()
{
    TFunction *mainFunction = nullptr;
    for (TFunction *f : prog.functions) {
        if (f->name == "main" && f->defined)
            mainFunction = f;
    }
    if (!mainFunction) {
        msgs.Error(vmNoMain, {0, 1, 0, 0}, "The program has no main() function");
        return false;
    }
    ResolveInterrupts();
    if (!CheckCalls())
        return false;
    // Units for the functions that run, with frames laid out: result, parameters, locals.
    for (TFunction *f : prog.functions) {
        if (!f->defined || !contexts.count(f))
            continue;
        TUnit *u = NewUnit("_" + f->name);
        u->name = f->name;
        u->function = f;
        u->context = contexts[f] == 1 ? 1 : 0;
        int offset = 0;
        int bitByte = -1, bitCount = 8;
        const auto place = [&](TSymbol *s) {
            if (s->type->kind == TTypeKind::Bit) {
                if (bitCount >= 8) {
                    bitByte = offset++;
                    bitCount = 0;
                }
                frameOffsets[s] = {u, bitByte};
                s->bit = bitCount++;
                return;
            }
            frameOffsets[s] = {u, offset};
            offset += SizeOf(s->type);
        };
        const TType *r = f->Result();
        u->retOffset = 0;
        if (r && r->kind != TTypeKind::Void)
            offset += SizeOf(r);
        for (TSymbol *p : f->params)
            place(p);
        for (TSymbol *l : f->locals) {
            if (l->storage == TStorage::Local)
                place(l);
        }
        u->frameFixed = offset;
        u->frameBase = FakeAddress();
    }
    return true;
}

void TCodeGen::TImpl::LayoutFrames()
{
    for (auto &[s, place] : frameOffsets)
        s->address = place.first->frameBase + place.second;
    // #bit names for bits of variables follow their variable.
    for (TSymbol *s : prog.globals) {
        if (s->alias)
            s->address = s->alias->address + s->bit / 8, s->bit %= 8;
    }
}

int TCodeGen::TImpl::PageBits() const
{
    if (tgt.pages <= 1)
        return 0;
    if (Enhanced())
        return 1;
    return tgt.pages > 2 ? 2 : 1;
}

int TCodeGen::TImpl::UnitWords(const TUnit *u, bool worstCase) const
{
    if (u->isTable)
        return u->words;
    int words = 0;
    const int sel = PageBits();
    for (const TLine &l : u->code) {
        switch (l.kind) {
        case TLine::Ins:
            words += l.words;
            break;
        case TLine::Call:
            words += 1 + (worstCase ? sel : 0);
            break;
        case TLine::PageRestore:
            words += worstCase ? sel : 0;
            break;
        default:
            break;
        }
    }
    return words;
}

std::vector<TCodeGen::TImpl::TUnit *> TCodeGen::TImpl::TopoOrder(const std::vector<TUnit *> &starts)
{
    std::vector<TUnit *> post;
    std::set<TUnit *> seen;
    std::function<void(TUnit *)> visit = [&](TUnit *u) {
        if (!seen.insert(u).second)
            return;
        for (TUnit *c : u->callees)
            visit(c);
        post.push_back(u);
    };
    for (TUnit *r : starts)
        visit(r);
    std::reverse(post.begin(), post.end());
    return post;
}

bool TCodeGen::TImpl::AllocateRam()
{
    const int ramTop = Enhanced() ? 0x1000 : 0x200;
    usedRam.assign(static_cast<std::size_t>(ramTop), true);   // true: not available
    std::vector<bool> isRam(static_cast<std::size_t>(ramTop), false);
    int ramTotal = 0;
    for (const TRamRange &r : tgt.gpr) {
        for (int a = r.start; a <= r.end && a < ramTop; ++a) {
            usedRam[static_cast<std::size_t>(a)] = false;
            isRam[static_cast<std::size_t>(a)] = true;
            ++ramTotal;
        }
    }
    if (tgt.hasCommon) {
        for (int a = tgt.common.start; a <= tgt.common.end && a < ramTop; ++a) {
            usedRam[static_cast<std::size_t>(a)] = false;
            isRam[static_cast<std::size_t>(a)] = true;
            ++ramTotal;
        }
    }
    report.ramSize = ramTotal;
    const auto take = [&](int a, int n) {
        for (int i = 0; i < n; ++i) {
            if (a + i >= 0 && a + i < ramTop)
                usedRam[static_cast<std::size_t>(a + i)] = true;
        }
    };
    // Places the variables fixed by #locate first.
    for (TSymbol *s : prog.globals) {
        if (s->fixed && (s->storage == TStorage::Global || s->storage == TStorage::Static))
            take(s->address, SizeOf(s->type));
    }
    for (TFunction *f : prog.functions) {
        for (TSymbol *s : f->locals) {
            if (s->fixed && s->storage == TStorage::Static)
                take(s->address, SizeOf(s->type));
        }
    }
    // The interrupt's save area.
    if (!interrupts.empty() && !Enhanced()) {
        const auto fromCommon = [&]() -> int {
            for (int a = tgt.common.end; a >= tgt.common.start; --a) {
                if (!usedRam[static_cast<std::size_t>(a)]) {
                    usedRam[static_cast<std::size_t>(a)] = true;
                    return a;
                }
            }
            return -1;
        };
        if (tgt.hasCommon) {
            wSave = fromCommon();
            statusSave = fromCommon();
            pclathSave = fromCommon();
            fsrSave = fromCommon();
        } else {
            // The same offset in every bank, so that W can be saved in any bank.
            int offset = -1;
            for (int o = 0x7F; o >= 0 && offset < 0; --o) {
                bool everywhere = true;
                for (int b = 0; b < tgt.banks && everywhere; ++b) {
                    const int a = (b << 7) | o;
                    everywhere = a < ramTop && isRam[static_cast<std::size_t>(a)] && !usedRam[static_cast<std::size_t>(a)];
                    // A bank that mirrors bank 0 shows the same byte.
                    if (!everywhere && b > 0 && a < ramTop && !isRam[static_cast<std::size_t>(a)])
                        everywhere = false;
                }
                if (everywhere)
                    offset = o;
            }
            if (offset < 0) {
                // Parts whose upper banks mirror bank 0: bank 0 alone holds it.
                for (int o = 0x7F; o >= 0 && offset < 0; --o) {
                    if (o < ramTop && isRam[static_cast<std::size_t>(o)] && !usedRam[static_cast<std::size_t>(o)])
                        offset = o;
                }
            }
            if (offset < 0) {
                msgs.Error(vmOutOfRam, prog.deviceAt, "No RAM left to save the registers in the interrupt");
                return false;
            }
            for (int b = 0; b < tgt.banks; ++b) {
                const int a = (b << 7) | offset;
                if (a < ramTop)
                    usedRam[static_cast<std::size_t>(a)] = true;
            }
            wSave = offset;
            const auto fromBank0 = [&]() -> int {
                for (int a = 0x7F; a >= 0; --a) {
                    if (isRam[static_cast<std::size_t>(a)] && !usedRam[static_cast<std::size_t>(a)]) {
                        usedRam[static_cast<std::size_t>(a)] = true;
                        return a;
                    }
                }
                return -1;
            };
            statusSave = fromBank0();
            pclathSave = fromBank0();
            fsrSave = fromBank0();
        }
        if (wSave < 0 || statusSave < 0 || pclathSave < 0 || fsrSave < 0) {
            msgs.Error(vmOutOfRam, prog.deviceAt, "No RAM left to save the registers in the interrupt");
            return false;
        }
    }
    // Program variables: first fit from bank 0 up, common RAM last.
    const auto firstFit = [&](int n) -> int {
        std::vector<TRamRange> order = tgt.gpr;
        if (tgt.hasCommon)
            order.push_back(tgt.common);
        for (const TRamRange &r : order) {
            for (int a = r.start; a + n - 1 <= r.end; ++a) {
                bool free = true;
                for (int i = 0; i < n && free; ++i)
                    free = !usedRam[static_cast<std::size_t>(a + i)];
                if (free) {
                    take(a, n);
                    return a;
                }
            }
        }
        return -1;
    };
    int bitsByte = -1, bitsUsed = 8;
    std::vector<TSymbol *> statics;
    for (TSymbol *s : prog.globals) {
        if (s->storage == TStorage::Global)
            statics.push_back(s);
    }
    for (TFunction *f : prog.functions) {
        for (TSymbol *s : f->locals) {
            if (s->storage == TStorage::Static)
                statics.push_back(s);
        }
    }
    for (TSymbol *s : statics) {
        if (s->fixed)
            continue;
        if (s->type->kind == TTypeKind::Bit) {
            if (bitsUsed >= 8) {
                bitsByte = firstFit(1);
                bitsUsed = 0;
                if (bitsByte < 0) {
                    msgs.Error(vmOutOfRam, s->at, "Not enough RAM for " + s->name);
                    return false;
                }
            }
            s->address = bitsByte;
            s->bit = bitsUsed++;
            continue;
        }
        const int n = SizeOf(s->type);
        const int a = firstFit(n);
        if (a < 0) {
            msgs.Error(vmOutOfRam, s->at, "Not enough RAM for " + s->name + " (" + std::to_string(n) + " bytes)");
            return false;
        }
        s->address = a;
    }
    // Overlay areas: the largest free run of each bank, and the common RAM.
    struct TArea {
        int start = 0;
        int size = 0;
    };
    std::vector<TArea> areas;
    std::vector<TRamRange> ranges = tgt.gpr;
    if (tgt.hasCommon)
        ranges.push_back(tgt.common);
    for (const TRamRange &r : ranges) {
        TArea best;
        for (int a = r.start; a <= r.end;) {
            if (usedRam[static_cast<std::size_t>(a)]) {
                ++a;
                continue;
            }
            int b = a;
            while (b <= r.end && !usedRam[static_cast<std::size_t>(b)])
                ++b;
            if (b - a > best.size)
                best = {a, b - a};
            a = b;
        }
        areas.push_back(best);
    }
    // Stack the frames along every call path; frames of functions that never run at the same
    // time share RAM.
    std::map<TUnit *, std::vector<int>> topOut;
    std::map<TUnit *, std::vector<TUnit *>> callers;
    for (TUnit *u : unitOrder) {
        for (TUnit *c : u->callees)
            callers[c].push_back(u);
    }
    std::vector<int> mainTops(areas.size(), 0);
    const auto placeTree = [&](TUnit *root, const std::vector<int> &rootTops) -> bool {
        for (TUnit *u : TopoOrder({root})) {
            std::vector<int> tops = u == root ? rootTops : std::vector<int>(areas.size(), 0);
            for (TUnit *c : callers[u]) {
                auto it = topOut.find(c);
                if (it == topOut.end())
                    continue;   // a caller of another tree
                for (std::size_t i = 0; i < areas.size(); ++i)
                    tops[i] = std::max(tops[i], it->second[i]);
            }
            if (u == root) {
                for (std::size_t i = 0; i < areas.size(); ++i)
                    tops[i] = std::max(tops[i], rootTops[i]);
            }
            if (u->frameSize > 0) {
                bool placed = false;
                for (std::size_t i = 0; i < areas.size() && !placed; ++i) {
                    if (tops[i] + u->frameSize <= areas[i].size) {
                        u->frameBase = areas[i].start + tops[i];
                        tops[i] += u->frameSize;
                        placed = true;
                    }
                }
                if (!placed) {
                    msgs.Error(vmOutOfRam, u->function ? u->function->at : prog.deviceAt,
                               "Not enough RAM for the variables of " + u->name + " (" + std::to_string(u->frameSize) + " bytes)");
                    return false;
                }
            }
            topOut[u] = tops;
            for (std::size_t i = 0; i < areas.size(); ++i)
                mainTops[i] = std::max(mainTops[i], tops[i]);
        }
        return true;
    };
    if (!placeTree(roots[0], std::vector<int>(areas.size(), 0)))
        return false;
    if (roots.size() > 1) {
        const std::vector<int> after = mainTops;
        if (!placeTree(roots[1], after))
            return false;
    }
    LayoutFrames();
    int used = 0;
    for (int a = 0; a < ramTop; ++a) {
        if (isRam[static_cast<std::size_t>(a)] && usedRam[static_cast<std::size_t>(a)])
            ++used;
    }
    for (std::size_t i = 0; i < areas.size(); ++i)
        used += mainTops[i];
    report.ramUsed = used;
    // Names for the comments of the assembly.
    addressNames.clear();
    for (TSymbol *s : statics) {
        for (int i = 0; i < SizeOf(s->type); ++i)
            addressNames[s->address + i] = s->name + (i ? "+" + std::to_string(i) : std::string());
    }
    for (auto &[s, place] : frameOffsets) {
        if (s->bit >= 0)
            continue;
        for (int i = 0; i < SizeOf(s->type); ++i)
            addressNames[s->address + i] = s->asmName + (i ? "+" + std::to_string(i) : std::string());
    }
    return true;
}

void TCodeGen::TImpl::GenEntries()
{
    // Reset vector.
    resetUnit = units.count("?reset") ? units["?reset"].get() : NewUnit("?reset");
    resetUnit->isEntry = true;
    resetUnit->fixedAddress = 0;
    resetUnit->code.clear();
    cur = resetUnit;
    Label("?reset");
    if (Enhanced() && tgt.pages > 1)
        Emit("movlp\t0");
    Emit("goto\t?start");
    cur = nullptr;

    // Interrupt entry.
    if (!interrupts.empty()) {
        isrUnit = units.count("?isr") ? units["?isr"].get() : NewUnit("?isr");
        isrUnit->isEntry = true;
        isrUnit->fixedAddress = 4;
        isrUnit->context = 1;
        isrUnit->code.clear();
        isrUnit->callees.clear();
        cur = isrUnit;
        bank = -1;
        Label("?isr");
        if (!Enhanced()) {
            Emit("movwf\t" + Hex(wSave & 0x7F) + "\t; W");
            Emit("swapf\tSTATUS,w");
            Emit("clrf\tSTATUS");
            bank = 0;
            Op("movwf", statusSave);
            Op("movf", kPclath, "w");
            Op("movwf", pclathSave);
            Emit("clrf\tPCLATH");
            Op("movf", kFsr, "w");
            Op("movwf", fsrSave);
        } else {
            Emit("movlp\t0");
        }
        for (const auto &[base, f] : interrupts) {
            int fa = 0, fb = 0, ea = 0, eb = 0;
            tgt.Bit(base == "INT" ? "INTF" : base + "IF", &fa, &fb);
            tgt.Bit(base == "INT" ? "INTE" : base + "IE", &ea, &eb);
            const std::string next = NewLabel("I");
            SkipGoto("btfss", ea, eb, next);
            SkipGoto("btfss", fa, fb, next);
            CallUnit(UnitFor(f));
            PageRestore();
            BitOp("bcf", fa, fb);
            Label(next);
            bank = -1;
        }
        if (!Enhanced()) {
            Emit("clrf\tSTATUS");
            bank = 0;
            Op("movf", fsrSave, "w");
            Op("movwf", kFsr);
            Op("movf", pclathSave, "w");
            Op("movwf", kPclath);
            Op("swapf", statusSave, "w");
            Emit("movwf\tSTATUS");
            Emit("swapf\t" + Hex(wSave & 0x7F) + ",f");
            Emit("swapf\t" + Hex(wSave & 0x7F) + ",w");
        }
        Emit("retfie");
        cur = nullptr;
    }

    // Start-up: clear RAM when asked, initial values, main, then sleep.
    startUnit = units.count("?start") ? units["?start"].get() : NewUnit("?start");
    startUnit->code.clear();
    startUnit->callees.clear();
    startUnit->name = "start-up";
    cur = startUnit;
    bank = -1;
    Label("?start");
    if (prog.zeroRam) {
        std::vector<TRamRange> ranges = tgt.gpr;
        if (tgt.hasCommon)
            ranges.push_back(tgt.common);
        for (const TRamRange &r : ranges) {
            const std::string loop = NewLabel("Z");
            Lit("movlw", r.start & 0xFF);
            Op("movwf", kFsr);
            if (Enhanced()) {
                Lit("movlw", (r.start >> 8) & 0xFF);
                Op("movwf", kFsrHigh);
            } else if (tgt.banks > 2) {
                Emit(r.start & 0x100 ? "bsf\tSTATUS,7" : "bcf\tSTATUS,7");
            }
            LoopLabel(loop);
            Op("clrf", kIndf);
            NextFsr();
            Lit("movlw", (r.end + 1) & 0xFF);
            Op("xorwf", kFsr, "w");
            Emit("btfss\tSTATUS,2");
            Emit("goto\t" + loop);
        }
    }
    std::vector<TSymbol *> statics;
    for (TSymbol *s : prog.globals) {
        if (s->storage == TStorage::Global)
            statics.push_back(s);
    }
    for (TFunction *f : prog.functions) {
        for (TSymbol *s : f->locals) {
            if (s->storage == TStorage::Static)
                statics.push_back(s);
        }
    }
    for (TSymbol *s : statics) {
        if (!s->hasInit)
            continue;
        if (s->bit >= 0) {
            BitOp(!s->init.empty() && s->init.front().value ? "bsf" : "bcf", s->address, s->bit);
            continue;
        }
        std::vector<int> bytes(static_cast<std::size_t>(SizeOf(s->type)), 0);
        for (const TInitByte &b : s->init) {
            if (b.offset >= 0 && b.offset < static_cast<int>(bytes.size()))
                bytes[static_cast<std::size_t>(b.offset)] = b.value;
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == 0) {
                Op("clrf", s->address + static_cast<int>(i));
            } else {
                Lit("movlw", bytes[i]);
                Op("movwf", s->address + static_cast<int>(i));
            }
        }
    }
    for (TFunction *f : prog.functions) {
        if (f->name == "main" && f->defined) {
            CallUnit(UnitFor(f));
            PageRestore();
        }
    }
    Label("?end");
    Emit("sleep");
    Emit("goto\t?end");
    cur = nullptr;
}

bool TCodeGen::TImpl::PlaceCode()
{
    const int pageSize = tgt.pageSize;
    const int total = std::min(tgt.programWords, tgt.pages * pageSize);
    int cursor = isrUnit ? 4 + UnitWords(isrUnit, true) : UnitWords(resetUnit, true);
    if (resetUnit)
        resetUnit->address = 0, resetUnit->page = 0;
    if (isrUnit)
        isrUnit->address = 4, isrUnit->page = 0;
    std::vector<TUnit *> order;
    order.push_back(startUnit);
    for (TUnit *u : unitOrder) {
        if (u != startUnit && u != resetUnit && u != isrUnit)
            order.push_back(u);
    }
    int romUsed = (resetUnit ? UnitWords(resetUnit, false) : 0) + (isrUnit ? UnitWords(isrUnit, false) : 0);
    for (TUnit *u : order) {
        if (!u->isTable && !u->function && u->helper.empty() && u != startUnit)
            continue;
        const int words = UnitWords(u, true);
        if (words > pageSize) {
            msgs.Error(vmOutOfRom, u->function ? u->function->at : prog.deviceAt,
                       (u->isTable ? "Table " : "Function ") + u->name + " is larger than a program memory page (" +
                           std::to_string(words) + " words)");
            return false;
        }
        if (cursor / pageSize != (cursor + words - 1) / pageSize)
            cursor = (cursor / pageSize + 1) * pageSize;
        if (cursor + words > total) {
            msgs.Error(vmOutOfRom, u->function ? u->function->at : prog.deviceAt,
                       "Out of program memory: " + tgt.name + " has " + std::to_string(total) + " words");
            return false;
        }
        u->address = cursor;
        u->page = cursor / pageSize;
        u->placed = true;
        cursor += words;
        romUsed += UnitWords(u, false);
    }
    report.romUsed = romUsed;
    report.romSize = total;
    return true;
}

std::string TCodeGen::TImpl::Render()
{
    std::ostringstream out;
    out << "; Written by vync from " << msgs.FileName(0) << "\n";
    // Numbers without a prefix are decimal (gpasm's own default is hexadecimal).
    out << "\tlist\tp=" << tgt.gpName << ", r=dec\n";
    out << "\terrorlevel\t-302, -306\n";
    out << "\t.file\t\"" << msgs.FileName(0) << "\"\n";
    out << "INDF\tequ\t0x00\nPCL\tequ\t0x02\nSTATUS\tequ\t0x03\nFSR\tequ\t0x04\nPCLATH\tequ\t0x0A\nINTCON\tequ\t0x0B\n";
    // Configuration words.
    for (const auto &[address, value] : opts.configWords)
        out << "\t__config\t" << Hex(address, 4) << ", " << Hex(value, 4) << "\n";

    // RAM: one overlay section per bank; each variable is a label at its address, so that the
    // link map and the debug files name it.
    struct TRamLabel {
        int address;
        int size;
        std::string label;
        std::string type;
        int coffType;
    };
    std::vector<TRamLabel> labels;
    const auto coffType = [](const TType *t) -> int {
        // Microchip COFF base types: 12 uchar, 13 ushort, 14 uint, 15 ulong, 2 char, 3 short,
        // 4 int, 5 long, 8 struct; derived bits 5..: 1 pointer, 3 array.
        int derived = 0;
        int shift = 5;
        while (t && (t->kind == TTypeKind::Pointer || t->kind == TTypeKind::Array)) {
            derived |= (t->kind == TTypeKind::Pointer ? 1 : 3) << shift;
            shift += 3;
            t = t->target;
        }
        int base = 0;
        if (!t)
            return derived;
        if (t->kind == TTypeKind::Bit)
            base = 12;
        else if (t->kind == TTypeKind::Struct)
            base = t->record && t->record->isUnion ? 9 : 8;
        else if (t->kind == TTypeKind::Int)
            base = t->width == 1 ? (t->isSigned ? 2 : 12) : t->width == 2 ? (t->isSigned ? 4 : 14) : (t->isSigned ? 5 : 15);
        return derived | base;
    };
    std::set<int> bitBytes;
    std::vector<TSymbol *> statics;
    for (TSymbol *s : prog.globals) {
        if (s->storage == TStorage::Global)
            statics.push_back(s);
    }
    for (TFunction *f : prog.functions) {
        for (TSymbol *s : f->locals) {
            if (s->storage == TStorage::Static)
                statics.push_back(s);
        }
    }
    for (TSymbol *s : statics) {
        if (s->address < 0)
            continue;
        if (s->bit >= 0) {
            bitBytes.insert(s->address);
            continue;
        }
        labels.push_back({s->address, SizeOf(s->type), "_" + s->asmName, s->type->Name(), coffType(s->type)});
    }
    for (auto &[s, place] : frameOffsets) {
        if (!contexts.count(place.first->function))
            continue;
        if (s->bit >= 0) {
            bitBytes.insert(s->address);
            continue;
        }
        labels.push_back({s->address, SizeOf(s->type), "_" + s->asmName, s->type->Name(), coffType(s->type)});
    }
    for (int a : bitBytes)
        labels.push_back({a, 1, "?bits" + Hex(a, 3).substr(2), "", 12});
    for (TUnit *u : unitOrder) {
        if (u->frameSize > u->frameFixed && u->frameBase >= 0)
            labels.push_back({u->frameBase + u->frameFixed, u->frameSize - u->frameFixed, "?t" + u->label.substr(u->label[0] == '_' ? 1 : 1), "", 0});
    }
    if (wSave >= 0) {
        labels.push_back({wSave, 1, "?w_save", "", 0});
        labels.push_back({statusSave, 1, "?status_save", "", 0});
        labels.push_back({pclathSave, 1, "?pclath_save", "", 0});
        labels.push_back({fsrSave, 1, "?fsr_save", "", 0});
    }
    std::stable_sort(labels.begin(), labels.end(), [](const TRamLabel &a, const TRamLabel &b) {
        return a.address < b.address || (a.address == b.address && a.size > b.size);
    });
    std::map<std::string, int> sectionStart;   // section name -> its start address
    std::map<std::string, int> sectionPos;
    for (const TRamLabel &l : labels) {
        const bool common = tgt.hasCommon && l.address >= tgt.common.start && l.address <= tgt.common.end;
        const int bankNo = common ? -1 : tgt.BankOf(l.address);
        std::string section = common ? "ram.common" : "ram.b" + std::to_string(bankNo);
        // The start of the bank's RAM range that holds the label.
        int start = l.address;
        for (const TRamRange &r : tgt.gpr) {
            if (l.address >= r.start && l.address <= r.end)
                start = r.start;
        }
        if (common)
            start = tgt.common.start;
        if (!sectionStart.count(section)) {
            sectionStart[section] = start;
        }
        if (sectionStart[section] != start) {
            section += "_" + Hex(start, 3).substr(2);
            sectionStart[section] = start;
        }
        auto pos = sectionPos.find(section);
        if (pos == sectionPos.end() || pos->second > l.address) {
            out << section << "\tUDATA_OVR\t" << Hex(start, 3) << "\n";
            sectionPos[section] = start;
            pos = sectionPos.find(section);
        }
        if (l.address > pos->second)
            out << "\tres\t" << (l.address - pos->second) << "\n";
        out << l.label << "\tres\t" << l.size;
        if (!l.type.empty())
            out << "\t; " << l.type;
        out << "\n";
        if (l.coffType)
            out << "\t.type\t" << l.label << ", " << Hex(l.coffType) << "\n";
        pos->second = l.address + l.size;
    }

    // Code.
    const int sel = PageBits();
    const auto pageSelect = [&](int page) {
        std::string s;
        if (Enhanced()) {
            s += "\tmovlp\t" + Hex((page * tgt.pageSize) >> 8) + "\n";
        } else {
            s += std::string(page & 1 ? "\tbsf" : "\tbcf") + "\tPCLATH,3\n";
            if (sel > 1)
                s += std::string(page & 2 ? "\tbsf" : "\tbcf") + "\tPCLATH,4\n";
        }
        return s;
    };
    std::vector<TUnit *> placed;
    for (TUnit *u : unitOrder) {
        if (u->address >= 0 && (u->placed || u->isEntry))
            placed.push_back(u);
    }
    std::sort(placed.begin(), placed.end(), [](const TUnit *a, const TUnit *b) { return a->address < b->address; });
    for (TUnit *u : placed) {
        std::string section = "c." + (u->label[0] == '?' || u->label[0] == '_' ? u->label.substr(1) : u->label);
        out << "\n" << section << "\tCODE\t" << Hex(u->address, 4) << "\n";
        if (u->isTable) {
            out << u->label << ":\n";
            const auto &bytes = u->table->rom;
            for (std::size_t i = 0; i < bytes.size(); ++i)
                out << "\tretlw\t" << Hex(bytes[i]) << "\n";
            continue;
        }
        bool pclathChanged = false;
        for (const TLine &l : u->code) {
            switch (l.kind) {
            case TLine::Label:
                out << l.text << ":\n";
                if (u->function && l.text == u->label) {
                    // A C function: derived type function (2 at bit 5) of its result.
                    const TType *result = u->function->Result();
                    const int base = !result || result->kind == TTypeKind::Void ? 1 : coffType(result);
                    out << "\t.type\t" << l.text << ", " << Hex(0x40 | base) << "\n";
                }
                break;
            case TLine::Ins:
                out << "\t" << l.text << "\n";
                break;
            case TLine::Directive:
                out << "\t" << l.text << "\n";
                break;
            case TLine::Comment:
                out << "; " << l.text << "\n";
                break;
            case TLine::Call: {
                const auto it = units.find(l.target);
                const int page = it != units.end() ? it->second->page : 0;
                if (sel && page != u->page) {
                    out << pageSelect(page);
                    pclathChanged = true;
                }
                if (sel && it != units.end() && it->second->helper == "romrd")
                    pclathChanged = true;
                out << "\t" << l.text << "\n";
                break;
            }
            case TLine::PageRestore:
                if (sel && pclathChanged)
                    out << pageSelect(u->page);
                pclathChanged = false;
                break;
            }
        }
    }
    // #rom
    int n = 0;
    for (const TRomEntry &r : prog.roms) {
        out << "\nrom." << n++ << "\tCODE\t" << Hex(r.address, 4) << "\n";
        for (std::uint16_t w : r.words)
            out << "\tdw\t" << Hex(w, 4) << "\n";
    }
    out << "\n\tEND\n";
    return out.str();
}

void TCodeGen::TImpl::FillReport()
{
    report.variables.clear();
    report.routines.clear();
    report.tables.clear();
    report.part = tgt.name;
    report.stackSize = tgt.stackDepth;
    std::vector<TSymbol *> statics;
    for (TSymbol *s : prog.globals) {
        if (s->storage == TStorage::Global || s->storage == TStorage::Register || s->storage == TStorage::BitRegister)
            statics.push_back(s);
    }
    for (TSymbol *s : statics) {
        TProgramReport::TVariable v;
        v.name = s->name;
        v.label = s->storage == TStorage::Global ? "_" + s->asmName : std::string();
        v.type = s->type->Name();
        v.address = s->address;
        v.bit = s->bit;
        v.size = SizeOf(s->type);
        report.variables.push_back(v);
    }
    for (TFunction *f : prog.functions) {
        if (!contexts.count(f))
            continue;
        for (TSymbol *s : f->params) {
            TProgramReport::TVariable v;
            v.name = s->asmName;
            v.label = "_" + s->asmName;
            v.type = s->type->Name();
            v.function = f->name;
            v.address = s->address;
            v.bit = s->bit;
            v.size = SizeOf(s->type);
            v.overlaid = true;
            report.variables.push_back(v);
        }
        for (TSymbol *s : f->locals) {
            if (s->storage != TStorage::Local && s->storage != TStorage::Static)
                continue;
            TProgramReport::TVariable v;
            v.name = s->asmName;
            v.label = "_" + s->asmName;
            v.type = s->type->Name();
            v.function = f->name;
            v.address = s->address;
            v.bit = s->bit;
            v.size = SizeOf(s->type);
            v.overlaid = s->storage == TStorage::Local;
            report.variables.push_back(v);
        }
    }
    // Stack depth: a call uses one level, the interrupt one more.
    std::map<TUnit *, int> depth;
    std::function<int(TUnit *)> depthOf = [&](TUnit *u) -> int {
        auto it = depth.find(u);
        if (it != depth.end())
            return it->second;
        depth[u] = 0;
        int d = 0;
        for (TUnit *c : u->callees) {
            if (!c->isTable)
                d = std::max(d, 1 + depthOf(c));
        }
        depth[u] = d;
        return d;
    };
    for (TUnit *u : unitOrder) {
        if (u->isTable) {
            report.tables.push_back({u->name, u->label, u->address, u->words});
            continue;
        }
        if (!u->function && u->helper.empty() && u != startUnit && u != isrUnit && u != resetUnit)
            continue;
        TProgramReport::TRoutine r;
        r.name = u->function ? u->function->name : u->name.empty() ? u->label : u->name;
        r.label = u->label;
        r.runtime = !u->function;
        r.interrupt = u->function ? u->function->interrupt : std::string();
        r.address = u->address;
        r.words = UnitWords(u, false);
        r.frameBase = u->frameSize ? u->frameBase : -1;
        r.frameSize = u->frameSize;
        r.depth = depthOf(u);
        for (TUnit *c : u->callees)
            r.calls.push_back(c->function ? c->function->name : c->name.empty() ? c->label : c->name);
        report.routines.push_back(r);
    }
    const int mainDepth = startUnit ? depthOf(startUnit) : 0;
    const int isrDepth = isrUnit ? 1 + depthOf(isrUnit) : 0;
    report.stackUsed = mainDepth + isrDepth;
    report.roots = {"main"};
    if (isrUnit)
        report.roots.push_back("?isr");
}

bool TCodeGen::TImpl::Run(std::string *assembly, TProgramReport *out)
{
    if (!Prepare())
        return false;
    // Globals in the first pass: each in a bank of its own.
    std::vector<TSymbol *> statics;
    for (TSymbol *s : prog.globals) {
        if (s->storage == TStorage::Global)
            statics.push_back(s);
    }
    for (TFunction *f : prog.functions) {
        for (TSymbol *s : f->locals) {
            if (s->storage == TStorage::Static)
                statics.push_back(s);
        }
    }
    for (TSymbol *s : statics) {
        if (!s->fixed) {
            s->address = FakeAddress();
            if (s->type->kind == TTypeKind::Bit)
                s->bit = 0;
        }
    }
    LayoutFrames();
    // First pass: code with every variable far apart, to learn each frame's scratch bytes and
    // the calls.
    pass = 1;
    std::vector<TUnit *> functionUnits;
    for (TUnit *u : unitOrder) {
        if (u->function)
            functionUnits.push_back(u);
    }
    for (TUnit *u : functionUnits)
        GenFunction(u);
    if (msgs.ErrorCount())
        return false;
    for (TUnit *u : unitOrder) {
        if (u->function)
            u->frameSize = u->frameFixed + u->tempMax;
    }
    // Divide routines share their core's frame; the signed entry calls the core.
    GenEntries();
    roots.clear();
    roots.push_back(startUnit);
    if (isrUnit)
        roots.push_back(isrUnit);
    if (!AllocateRam())
        return false;
    // Second pass: the real addresses.
    pass = 2;
    for (TUnit *u : functionUnits)
        GenFunction(u);
    for (TUnit *u : unitOrder) {
        if (!u->helper.empty())
            GenHelper(u);
    }
    GenEntries();
    if (msgs.ErrorCount())
        return false;
    FillReport();
    if (report.stackUsed > tgt.stackDepth) {
        msgs.Error(vmStackDepth, prog.deviceAt.line ? prog.deviceAt : TSourceSpan{0, 1, 0, 0},
                   "Calls nest " + std::to_string(report.stackUsed) + " levels deep; " + tgt.name + " has a stack of " +
                       std::to_string(tgt.stackDepth));
        return false;
    }
    if (!PlaceCode())
        return false;
    FillReport();
    *assembly = Render();
    *out = report;
    return true;
}

TCodeGen::TCodeGen(TMessages &messages, TProgram &program, const TTarget &target, TCodegenOptions options)
    : m(std::make_unique<TImpl>(messages, program, target, std::move(options)))
{
}

TCodeGen::~TCodeGen() = default;

bool TCodeGen::Run(std::string *assembly, TProgramReport *report)
{
    return m->Run(assembly, report);
}

}  // namespace kiv::vync
