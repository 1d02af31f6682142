// The PIC18 core: decoding and the run loop.

#include "simcore.h"

#include "simconst.h"

namespace kiv::sim {

namespace {

constexpr uint32_t kBanked = 0x100;
constexpr uint32_t kToFile = 0x200;

}  // namespace

TInsn TSimulator::Decode18(uint32_t index) const
{
    const uint16_t w = index < m_prog.size() ? m_prog[index] : 0;
    const uint16_t next = index + 1 < m_prog.size() ? m_prog[index + 1] : 0;
    TInsn in;
    const unsigned split = unsigned(m_dev.accessSplit);
    auto file = [&](uint16_t op, bool hasDest) {
        in.op = op;
        const unsigned f = w & 0xFF;
        if (w & 0x100) {
            in.f = uint16_t(f);
            in.k = kBanked;
        } else {
            in.f = uint16_t(f < split ? f : 0xF00 | f);
            in.k = 0;
        }
        if (hasDest && (w & 0x200))
            in.k |= kToFile;
        return in;
    };
    auto lit = [&](uint16_t op, uint32_t k) {
        in.op = op;
        in.k = k;
        return in;
    };
    auto rel = [&](int bits) {
        // Target word index of a relative branch.
        const int32_t n = int32_t(uint32_t(w) << (32 - bits)) >> (32 - bits);
        return uint32_t(int32_t(index) + 1 + n) & m_pcMask;
    };
    switch (w >> 12) {
    case 0x0:
        switch ((w >> 8) & 0xF) {
        case 0x0:
            switch (w & 0xFF) {
            case 0x00: return lit(op18Nop, 0);
            case 0x03: return lit(op18Sleep, 0);
            case 0x04: return lit(op18Clrwdt, 0);
            case 0x05: return lit(op18Push, 0);
            case 0x06: return lit(op18Pop, 0);
            case 0x07: return lit(op18Daw, 0);
            case 0x08:
            case 0x09:
            case 0x0A:
            case 0x0B: return lit(op18Tblrd, w & 3);
            case 0x0C:
            case 0x0D:
            case 0x0E:
            case 0x0F: return lit(op18Tblwt, w & 3);
            case 0x10:
            case 0x11: return lit(op18Retfie, w & 1);
            case 0x12:
            case 0x13: return lit(op18Return, w & 1);
            case 0xFF: return lit(op18Reset, 0);
            default: return lit(opInvalid, 0);
            }
        case 0x1:
            if ((w & 0xF0) == 0x00)
                return lit(op18Movlb, w & 0x0F);
            return lit(opInvalid, 0);
        case 0x2:
        case 0x3: return file(op18Mulwf, false);
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x7: return file(op18Decf, true);
        case 0x8: return lit(op18Sublw, w & 0xFF);
        case 0x9: return lit(op18Iorlw, w & 0xFF);
        case 0xA: return lit(op18Xorlw, w & 0xFF);
        case 0xB: return lit(op18Andlw, w & 0xFF);
        case 0xC: return lit(op18Retlw, w & 0xFF);
        case 0xD: return lit(op18Mullw, w & 0xFF);
        case 0xE: return lit(op18Movlw, w & 0xFF);
        case 0xF: return lit(op18Addlw, w & 0xFF);
        }
        break;
    case 0x1: {
        static const uint16_t ops[4] = {op18Iorwf, op18Andwf, op18Xorwf, op18Comf};
        return file(ops[(w >> 10) & 3], true);
    }
    case 0x2: {
        static const uint16_t ops[4] = {op18Addwfc, op18Addwf, op18Incf, op18Decfsz};
        return file(ops[(w >> 10) & 3], true);
    }
    case 0x3: {
        static const uint16_t ops[4] = {op18Rrcf, op18Rlcf, op18Swapf, op18Incfsz};
        return file(ops[(w >> 10) & 3], true);
    }
    case 0x4: {
        static const uint16_t ops[4] = {op18Rrncf, op18Rlncf, op18Infsnz, op18Dcfsnz};
        return file(ops[(w >> 10) & 3], true);
    }
    case 0x5: {
        static const uint16_t ops[4] = {op18Movf, op18Subfwb, op18Subwfb, op18Subwf};
        return file(ops[(w >> 10) & 3], true);
    }
    case 0x6: {
        static const uint16_t ops[8] = {op18Cpfslt, op18Cpfseq, op18Cpfsgt, op18Tstfsz,
                                        op18Setf,   op18Clrf,   op18Negf,   op18Movwf};
        return file(ops[(w >> 9) & 7], false);
    }
    case 0x7:
    case 0x8:
    case 0x9:
    case 0xA:
    case 0xB: {
        static const uint16_t ops[5] = {op18Btg, op18Bsf, op18Bcf, op18Btfss, op18Btfsc};
        file(ops[(w >> 12) - 7], false);
        in.k |= 1u << ((w >> 9) & 7);
        return in;
    }
    case 0xC:
        in.op = op18Movff;
        in.f = w & 0xFFF;
        in.k = next & 0xFFF;
        return in;
    case 0xD: return lit((w & 0x800) ? op18Rcall : op18Bra, rel(11));
    case 0xE:
        switch ((w >> 8) & 0xF) {
        case 0x0: return lit(op18Bz, rel(8));
        case 0x1: return lit(op18Bnz, rel(8));
        case 0x2: return lit(op18Bc, rel(8));
        case 0x3: return lit(op18Bnc, rel(8));
        case 0x4: return lit(op18Bov, rel(8));
        case 0x5: return lit(op18Bnov, rel(8));
        case 0x6: return lit(op18Bn, rel(8));
        case 0x7: return lit(op18Bnn, rel(8));
        case 0xC:
        case 0xD:
            in.op = op18Call;
            in.f = (w >> 8) & 1;
            in.k = ((uint32_t(next & 0xFFF) << 8) | (w & 0xFF)) & m_pcMask;
            return in;
        case 0xE:
            if ((w & 0xC0) == 0 && (w & 0x30) != 0x30) {
                in.op = op18Lfsr;
                in.f = (w >> 4) & 3;
                in.k = (uint32_t(w & 0xF) << 8) | (next & 0xFF);
                return in;
            }
            return lit(opInvalid, 0);
        case 0xF:
            in.op = op18Goto;
            in.k = ((uint32_t(next & 0xFFF) << 8) | (w & 0xFF)) & m_pcMask;
            return in;
        default: return lit(opInvalid, 0);
        }
    case 0xF: return lit(op18Second, 0);
    }
    return lit(opInvalid, 0);
}

namespace {

// Result and STATUS flags (C, DC, Z, OV, N) of a + b + carry.
inline uint8_t AddFlags(unsigned a, unsigned b, unsigned carry, uint8_t &result)
{
    const unsigned r = a + b + carry;
    result = uint8_t(r);
    return uint8_t((r > 0xFF ? kC : 0) | (((a & 0xF) + (b & 0xF) + carry) > 0xF ? kDC : 0)
                   | ((r & 0xFF) == 0 ? kZ : 0) | ((~(a ^ b) & (a ^ r) & 0x80) ? kOV : 0) | ((r & 0x80) ? kN : 0));
}

// a - b - borrow, with C and DC meaning "no borrow".
inline uint8_t SubFlags(unsigned a, unsigned b, unsigned borrow, uint8_t &result)
{
    return AddFlags(a, (~b) & 0xFF, borrow ? 0 : 1, result);
}

inline uint8_t ZnFlags(uint8_t r)
{
    return uint8_t((r == 0 ? kZ : 0) | ((r & 0x80) ? kN : 0));
}

constexpr uint8_t kAllFlags = kC | kDC | kZ | kOV | kN;

}  // namespace

template <bool kStep>
TStop TSimulator::Run18(uint64_t endCycle)
{
    (void)endCycle;
#define ADDR18(in) ResolveFile(unsigned((in).f) | (((in).k & kBanked) ? m_bank : 0u))
#define SETFLAGS(mask, value)                                                                      \
    do {                                                                                           \
        uint8_t &st_ = StatusRef();                                                                \
        st_ = uint8_t((st_ & ~(mask)) | (value));                                                  \
    } while (0)
#define DEST(in, addr, value)                                                                      \
    do {                                                                                           \
        if ((in).k & kToFile)                                                                      \
            Write((addr), (value));                                                                \
        else                                                                                       \
            m_w = (value);                                                                         \
    } while (0)
// A skip passes over one word; the second word of a two-word instruction then runs as a NOP,
// which gives the data sheet's three cycles for skipping such an instruction.
#define SKIP()                                                                                     \
    do {                                                                                           \
        m_pc = (m_pc + 1) & m_pcMask;                                                              \
        ++m_cycles;                                                                                \
    } while (0)

    for (;;) {
        if (m_cycles >= m_nextEvent) {
            const TStop stop = HandleEvents();
            if (stop != TStop::None)
                return stop;
            if (m_sleeping) {
                if (kStep) {
                    StepAsleep();
                    return TStop::None;
                }
                if (m_nextEvent != UINT64_MAX && m_nextEvent > m_cycles)
                    m_cycles = m_nextEvent;
                continue;
            }
            if (kStep && m_tookInterrupt)
                return TStop::None;
            if (m_cycles >= m_nextEvent)
                continue;
        }
        if (kStep && m_sleeping) {
            StepAsleep();
            return TStop::None;
        }
        const uint32_t pc = m_pc;
        const TInsn &in = m_code[pc];
        m_pc = (pc + 1) & m_pcMask;
        ++m_cycles;
        uint16_t op = in.op;
    dispatch:
        switch (op) {
        case op18Nop:
        case op18Second:
        case opInvalid:
        case opNop:
            break;
        case opBreak:
            if (kStep) {
                op = m_breakOps[pc];
                goto dispatch;
            }
            m_pc = pc;
            --m_cycles;
            return TStop::Breakpoint;
        case op18Sleep:
            EnterSleep();
            break;
        case op18Clrwdt:
            ClearWatchdog();
            if (m_rcon >= 0)
                m_ram[m_rcon] |= 0x18;
            break;
        case op18Push:
            Push(m_pc);
            break;
        case op18Pop:
            Pop();
            break;
        case op18Daw: {
            unsigned w = m_w;
            const uint8_t st = StatusRef();
            unsigned carry = st & kC;
            if ((w & 0x0F) > 9 || (st & kDC))
                w += 0x06;
            if ((w & 0x1F0) > 0x90 || carry) {
                w += 0x60;
            }
            if (w > 0xFF)
                carry = 1;
            m_w = uint8_t(w);
            SETFLAGS(kC, carry ? kC : 0);
            break;
        }
        case op18Tblrd:
        case op18Tblwt: {
            uint32_t ptr = m_tblptr >= 0 ? (uint32_t(m_ram[m_tblptr]) | uint32_t(m_ram[m_tblptr + 1]) << 8
                                            | uint32_t(m_ram[m_tblptr + 2] & 0x3F) << 16)
                                         : 0;
            if (in.k == 3)
                ptr = (ptr + 1) & 0x3FFFFF;
            if (op == op18Tblrd && m_tablatAddr >= 0)
                m_ram[m_tablatAddr] = ReadProgramByte(ptr);
            if (in.k == 1)
                ptr = (ptr + 1) & 0x3FFFFF;
            else if (in.k == 2)
                ptr = (ptr - 1) & 0x3FFFFF;
            if (m_tblptr >= 0) {
                m_ram[m_tblptr] = uint8_t(ptr);
                m_ram[m_tblptr + 1] = uint8_t(ptr >> 8);
                m_ram[m_tblptr + 2] = uint8_t(ptr >> 16);
            }
            ++m_cycles;
            break;
        }
        case op18Retfie:
        case op18Return:
            m_pc = Pop() & m_pcMask;
            ++m_cycles;
            if (in.k) {
                m_w = m_fastW;
                StatusRef() = m_fastStatus & 0x1F;
                if (m_bsr >= 0)
                    m_ram[m_bsr] = m_fastBsr & 0x0F;
                UpdateBank();
            }
            if (op == op18Retfie && m_intcon >= 0) {
                uint8_t &intcon = m_ram[m_intcon];
                const bool ipen = m_rcon >= 0 && (m_ram[m_rcon] & 0x80);
                if (ipen && (intcon & 0x80))
                    intcon |= 0x40;
                else
                    intcon |= 0x80;
                UpdateIrq();
            }
            break;
        case op18Reset:
            Reset(TResetCause::Software);
            break;
        case op18Movlb:
            if (m_bsr >= 0) {
                m_ram[m_bsr] = uint8_t(in.k);
                UpdateBank();
            }
            break;
        case op18Sublw: {
            uint8_t r;
            const uint8_t fl = SubFlags(in.k, m_w, 0, r);
            m_w = r;
            SETFLAGS(kAllFlags, fl);
            break;
        }
        case op18Addlw: {
            uint8_t r;
            const uint8_t fl = AddFlags(m_w, in.k, 0, r);
            m_w = r;
            SETFLAGS(kAllFlags, fl);
            break;
        }
        case op18Iorlw:
            m_w = uint8_t(m_w | in.k);
            SETFLAGS(kZ | kN, ZnFlags(m_w));
            break;
        case op18Xorlw:
            m_w = uint8_t(m_w ^ in.k);
            SETFLAGS(kZ | kN, ZnFlags(m_w));
            break;
        case op18Andlw:
            m_w = uint8_t(m_w & in.k);
            SETFLAGS(kZ | kN, ZnFlags(m_w));
            break;
        case op18Retlw:
            m_w = uint8_t(in.k);
            m_pc = Pop() & m_pcMask;
            ++m_cycles;
            break;
        case op18Mullw:
        case op18Mulwf: {
            const unsigned b = op == op18Mullw ? in.k : Read(ADDR18(in));
            const unsigned product = unsigned(m_w) * b;
            if (m_prodl >= 0) {
                m_ram[m_prodl] = uint8_t(product);
                m_ram[m_prodl + 1] = uint8_t(product >> 8);
            }
            break;
        }
        case op18Movlw:
            m_w = uint8_t(in.k);
            break;
        case op18Decf:
        case op18Incf:
        case op18Addwf:
        case op18Addwfc:
        case op18Subwf:
        case op18Subwfb:
        case op18Subfwb: {
            const unsigned addr = ADDR18(in);
            const unsigned a = Read(addr);
            const unsigned c = StatusRef() & kC;
            uint8_t r = 0;
            uint8_t fl = 0;
            switch (op) {
            case op18Decf: fl = SubFlags(a, 1, 0, r); break;
            case op18Incf: fl = AddFlags(a, 1, 0, r); break;
            case op18Addwf: fl = AddFlags(a, m_w, 0, r); break;
            case op18Addwfc: fl = AddFlags(a, m_w, c, r); break;
            case op18Subwf: fl = SubFlags(a, m_w, 0, r); break;
            case op18Subwfb: fl = SubFlags(a, m_w, !c, r); break;
            default: fl = SubFlags(m_w, a, !c, r); break;
            }
            DEST(in, addr, r);
            SETFLAGS(kAllFlags, fl);
            break;
        }
        case op18Iorwf:
        case op18Andwf:
        case op18Xorwf:
        case op18Comf:
        case op18Movf: {
            const unsigned addr = ADDR18(in);
            const uint8_t a = Read(addr);
            uint8_t r;
            switch (op) {
            case op18Iorwf: r = uint8_t(a | m_w); break;
            case op18Andwf: r = uint8_t(a & m_w); break;
            case op18Xorwf: r = uint8_t(a ^ m_w); break;
            case op18Comf: r = uint8_t(~a); break;
            default: r = a; break;
            }
            DEST(in, addr, r);
            SETFLAGS(kZ | kN, ZnFlags(r));
            break;
        }
        case op18Rrcf:
        case op18Rlcf: {
            const unsigned addr = ADDR18(in);
            const uint8_t a = Read(addr);
            const uint8_t c = StatusRef() & kC;
            uint8_t r;
            uint8_t carry;
            if (op == op18Rrcf) {
                r = uint8_t((a >> 1) | (c << 7));
                carry = a & 1;
            } else {
                r = uint8_t((a << 1) | c);
                carry = a >> 7;
            }
            DEST(in, addr, r);
            SETFLAGS(kC | kZ | kN, uint8_t(carry | ZnFlags(r)));
            break;
        }
        case op18Rrncf:
        case op18Rlncf: {
            const unsigned addr = ADDR18(in);
            const uint8_t a = Read(addr);
            const uint8_t r = op == op18Rrncf ? uint8_t((a >> 1) | (a << 7)) : uint8_t((a << 1) | (a >> 7));
            DEST(in, addr, r);
            SETFLAGS(kZ | kN, ZnFlags(r));
            break;
        }
        case op18Swapf: {
            const unsigned addr = ADDR18(in);
            const uint8_t a = Read(addr);
            DEST(in, addr, uint8_t((a >> 4) | (a << 4)));
            break;
        }
        case op18Decfsz:
        case op18Incfsz:
        case op18Infsnz:
        case op18Dcfsnz: {
            const unsigned addr = ADDR18(in);
            const uint8_t a = Read(addr);
            const bool inc = op == op18Incfsz || op == op18Infsnz;
            const uint8_t r = inc ? uint8_t(a + 1) : uint8_t(a - 1);
            DEST(in, addr, r);
            const bool zeroSkips = op == op18Decfsz || op == op18Incfsz;
            if ((r == 0) == zeroSkips)
                SKIP();
            break;
        }
        case op18Cpfslt:
            if (Read(ADDR18(in)) < m_w)
                SKIP();
            break;
        case op18Cpfseq:
            if (Read(ADDR18(in)) == m_w)
                SKIP();
            break;
        case op18Cpfsgt:
            if (Read(ADDR18(in)) > m_w)
                SKIP();
            break;
        case op18Tstfsz:
            if (Read(ADDR18(in)) == 0)
                SKIP();
            break;
        case op18Setf:
            Write(ADDR18(in), 0xFF);
            break;
        case op18Clrf:
            Write(ADDR18(in), 0);
            SETFLAGS(kZ, kZ);
            break;
        case op18Negf: {
            const unsigned addr = ADDR18(in);
            uint8_t r;
            const uint8_t fl = SubFlags(0, Read(addr), 0, r);
            Write(addr, r);
            SETFLAGS(kAllFlags, fl);
            break;
        }
        case op18Movwf:
            Write(ADDR18(in), m_w);
            break;
        case op18Btg: {
            const unsigned addr = ADDR18(in);
            Write(addr, uint8_t(Read(addr) ^ (in.k & 0xFF)));
            break;
        }
        case op18Bsf: {
            const unsigned addr = ADDR18(in);
            Write(addr, uint8_t(Read(addr) | (in.k & 0xFF)));
            break;
        }
        case op18Bcf: {
            const unsigned addr = ADDR18(in);
            Write(addr, uint8_t(Read(addr) & ~(in.k & 0xFF)));
            break;
        }
        case op18Btfss:
            if (Read(ADDR18(in)) & in.k & 0xFF)
                SKIP();
            break;
        case op18Btfsc:
            if (!(Read(ADDR18(in)) & in.k & 0xFF))
                SKIP();
            break;
        case op18Movff: {
            const uint8_t v = Read(in.f);
            m_pc = (m_pc + 1) & m_pcMask;
            ++m_cycles;
            Write(in.k, v);
            break;
        }
        case op18Bra:
            m_pc = in.k;
            ++m_cycles;
            break;
        case op18Rcall:
            Push(m_pc);
            m_pc = in.k;
            ++m_cycles;
            break;
        case op18Bz:
        case op18Bnz:
        case op18Bc:
        case op18Bnc:
        case op18Bov:
        case op18Bnov:
        case op18Bn:
        case op18Bnn: {
            const uint8_t st = StatusRef();
            bool taken;
            switch (op) {
            case op18Bz: taken = st & kZ; break;
            case op18Bnz: taken = !(st & kZ); break;
            case op18Bc: taken = st & kC; break;
            case op18Bnc: taken = !(st & kC); break;
            case op18Bov: taken = st & kOV; break;
            case op18Bnov: taken = !(st & kOV); break;
            case op18Bn: taken = st & kN; break;
            default: taken = !(st & kN); break;
            }
            if (taken) {
                m_pc = in.k;
                ++m_cycles;
            }
            break;
        }
        case op18Call:
            Push((m_pc + 1) & m_pcMask);
            if (in.f) {
                m_fastW = m_w;
                m_fastStatus = StatusRef();
                m_fastBsr = m_bsr >= 0 ? m_ram[m_bsr] : 0;
            }
            m_pc = in.k;
            ++m_cycles;
            break;
        case op18Goto:
            m_pc = in.k;
            ++m_cycles;
            break;
        case op18Lfsr:
            if (m_fsr[in.f] >= 0)
                SetFsrValue(in.f, in.k);
            m_pc = (m_pc + 1) & m_pcMask;
            ++m_cycles;
            break;
        default:
            break;
        }
        if (kStep) {
            if (m_stackOverflow)
                StackFault();
            // What fell due during the instruction (an interrupt above all) happens within the step.
            if (m_cycles >= m_nextEvent && !m_sleeping) {
                m_stepTail = true;
                HandleEvents();
                m_stepTail = false;
            }
            return TStop::None;
        }
    }
#undef ADDR18
#undef SETFLAGS
#undef DEST
#undef SKIP
}

template TStop TSimulator::Run18<false>(uint64_t);
template TStop TSimulator::Run18<true>(uint64_t);

}  // namespace kiv::sim
