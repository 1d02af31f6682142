// The 12-bit, 14-bit and enhanced 14-bit cores: decoding and the run loop.

#include "simcore.h"

#include "simconst.h"

namespace kiv::sim {

TInsn TSimulator::DecodeMid(uint16_t w) const
{
    const bool enhanced = m_dev.core == TCore::Pic14E;
    TInsn in;
    const uint16_t f = w & 0x7F;
    const uint32_t d = (w >> 7) & 1;
    auto file = [&](uint16_t op) {
        in.op = op;
        in.f = f;
        in.k = d;
        return in;
    };
    auto lit = [&](uint16_t op, uint32_t k) {
        in.op = op;
        in.k = k;
        return in;
    };
    switch (w >> 12) {
    case 0:
        switch ((w >> 8) & 0xF) {
        case 0x0:
            if (w & 0x80)
                return file(opMovwf);
            if (enhanced) {
                if (w == 0x0001)
                    return lit(opReset, 0);
                if (w == 0x000A)
                    return lit(opCallw, 0);
                if (w == 0x000B)
                    return lit(opBrw, 0);
                if ((w & 0xFFF0) == 0x0010) {
                    in.op = (w & 0x8) ? opMovwi : opMoviw;
                    in.f = (w >> 2) & 1;
                    in.k = w & 3;
                    return in;
                }
                if ((w & 0xFFE0) == 0x0020)
                    return lit(opMovlb, w & 0x1F);
            }
            switch (w) {
            case 0x0000:
            case 0x0020:
            case 0x0040:
            case 0x0060: return lit(opNop, 0);
            case 0x0008: return lit(opReturn, 0);
            case 0x0009: return lit(opRetfie, 0);
            case 0x0062: return lit(opOption, 0);
            case 0x0063: return lit(opSleep, 0);
            case 0x0064: return lit(opClrwdt, 0);
            case 0x0065:
            case 0x0066:
            case 0x0067:
                in.op = opTris;
                in.f = uint16_t(0x80 | (w & 7));
                return in;
            default: return lit(opInvalid, 0);
            }
        case 0x1: return (w & 0x80) ? file(opClrf) : lit(opClrw, 0);
        case 0x2: return file(opSubwf);
        case 0x3: return file(opDecf);
        case 0x4: return file(opIorwf);
        case 0x5: return file(opAndwf);
        case 0x6: return file(opXorwf);
        case 0x7: return file(opAddwf);
        case 0x8: return file(opMovf);
        case 0x9: return file(opComf);
        case 0xA: return file(opIncf);
        case 0xB: return file(opDecfsz);
        case 0xC: return file(opRrf);
        case 0xD: return file(opRlf);
        case 0xE: return file(opSwapf);
        case 0xF: return file(opIncfsz);
        }
        break;
    case 1: {
        static const uint16_t ops[4] = {opBcf, opBsf, opBtfsc, opBtfss};
        in.op = ops[(w >> 10) & 3];
        in.f = f;
        in.k = 1u << ((w >> 7) & 7);
        return in;
    }
    case 2: return lit((w & 0x800) ? opGoto : opCall, w & 0x7FF);
    case 3: {
        const uint32_t k = w & 0xFF;
        const unsigned sub = (w >> 8) & 0xF;
        if (enhanced) {
            switch (sub) {
            case 0x0: return lit(opMovlw, k);
            case 0x1:
                if (w & 0x80)
                    return lit(opMovlp, w & 0x7F);
                in.op = opAddfsr;
                in.f = (w >> 6) & 1;
                in.k = uint32_t(int32_t(int8_t(uint8_t((w & 0x3F) << 2)) >> 2));
                return in;
            case 0x2:
            case 0x3: return lit(opBra, uint32_t(int32_t(int16_t(uint16_t((w & 0x1FF) << 7)) >> 7)));
            case 0x4: return lit(opRetlw, k);
            case 0x5: return file(opLslf);
            case 0x6: return file(opLsrf);
            case 0x7: return file(opAsrf);
            case 0x8: return lit(opIorlw, k);
            case 0x9: return lit(opAndlw, k);
            case 0xA: return lit(opXorlw, k);
            case 0xB: return file(opSubwfb);
            case 0xC: return lit(opSublw, k);
            case 0xD: return file(opAddwfc);
            case 0xE: return lit(opAddlw, k);
            case 0xF:
                in.op = (w & 0x80) ? opMovwiK : opMoviwK;
                in.f = (w >> 6) & 1;
                in.k = uint32_t(int32_t(int8_t(uint8_t((w & 0x3F) << 2)) >> 2));
                return in;
            }
        }
        if (sub < 4)
            return lit(opMovlw, k);
        if (sub < 8)
            return lit(opRetlw, k);
        switch (sub) {
        case 0x8: return lit(opIorlw, k);
        case 0x9: return lit(opAndlw, k);
        case 0xA: return lit(opXorlw, k);
        case 0xC:
        case 0xD: return lit(opSublw, k);
        default: return lit(opAddlw, k);
        }
    }
    }
    return lit(opInvalid, 0);
}

TInsn TSimulator::DecodeBaseline(uint16_t w) const
{
    const bool enhanced = m_dev.core == TCore::Pic12E;
    TInsn in;
    const uint16_t f = w & 0x1F;
    const uint32_t d = (w >> 5) & 1;
    auto file = [&](uint16_t op) {
        in.op = op;
        in.f = f;
        in.k = d;
        return in;
    };
    auto lit = [&](uint16_t op, uint32_t k) {
        in.op = op;
        in.k = k;
        return in;
    };
    switch (w >> 8) {
    case 0x0:
        switch ((w >> 6) & 3) {
        case 1:
            if (w & 0x20)
                return file(opClrf);
            return w == 0x040 ? lit(opClrw, 0) : lit(opInvalid, 0);
        case 2: return file(opSubwf);
        case 3: return file(opDecf);
        default: break;
        }
        if (w & 0x20)
            return file(opMovwf);
        if (enhanced) {
            if ((w & 0xF8) == 0x10)
                return lit(opMovlb, w & 7);
            if (w == 0x01E)
                return lit(opReturn, 0);
            if (w == 0x01F)
                return lit(opRetfie, 0);
        }
        switch (w) {
        case 0x000: return lit(opNop, 0);
        case 0x002: return lit(opOption, 0);
        case 0x003: return lit(opSleep, 0);
        case 0x004: return lit(opClrwdt, 0);
        case 0x005:
        case 0x006:
        case 0x007:
            in.op = opTris;
            in.f = w & 7;
            return in;
        default: return lit(opInvalid, 0);
        }
    case 0x1: {
        static const uint16_t ops[4] = {opIorwf, opAndwf, opXorwf, opAddwf};
        return file(ops[(w >> 6) & 3]);
    }
    case 0x2: {
        static const uint16_t ops[4] = {opMovf, opComf, opIncf, opDecfsz};
        return file(ops[(w >> 6) & 3]);
    }
    case 0x3: {
        static const uint16_t ops[4] = {opRrf, opRlf, opSwapf, opIncfsz};
        return file(ops[(w >> 6) & 3]);
    }
    case 0x4:
    case 0x5:
    case 0x6:
    case 0x7: {
        static const uint16_t ops[4] = {opBcf, opBsf, opBtfsc, opBtfss};
        in.op = ops[(w >> 8) & 3];
        in.f = f;
        in.k = 1u << ((w >> 5) & 7);
        return in;
    }
    case 0x8: return lit(opRetlw, w & 0xFF);
    case 0x9: return lit(opCall12, w & 0xFF);
    case 0xA:
    case 0xB: return lit(opGoto12, w & 0x1FF);
    case 0xC: return lit(opMovlw, w & 0xFF);
    case 0xD: return lit(opIorlw, w & 0xFF);
    case 0xE: return lit(opAndlw, w & 0xFF);
    case 0xF: return lit(opXorlw, w & 0xFF);
    }
    return lit(opInvalid, 0);
}

// The loop of the 12-bit and 14-bit cores. `kStep` runs one instruction (or enters one
// interrupt) and returns.
template <bool kStep>
TStop TSimulator::RunMid(uint64_t endCycle)
{
    (void)endCycle;
    const bool enhanced = m_dev.core == TCore::Pic14E;
    const bool baseline = m_dev.IsBaseline();
    const uint32_t pageMask = enhanced ? 0x78 : 0x18;
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
                // Nothing runs until the next event: jump there.
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
        case opNop:
        case opInvalid:
            break;
        case opBreak:
            if (kStep) {
                op = m_breakOps[pc];
                goto dispatch;
            }
            m_pc = pc;
            --m_cycles;
            return TStop::Breakpoint;
        case opMovwf:
            Write(m_bank | in.f, m_w);
            break;
        case opClrw:
            m_w = 0;
            StatusRef() |= kZ;
            break;
        case opClrf:
            Write(m_bank | in.f, 0);
            StatusRef() |= kZ;
            break;
        case opSubwf: {
            const unsigned a = Read(m_bank | in.f);
            const unsigned w = m_w;
            const uint8_t r = uint8_t(a - w);
            const uint8_t flags = uint8_t((a >= w ? kC : 0) | ((a & 0xF) >= (w & 0xF) ? kDC : 0) | (r == 0 ? kZ : 0));
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kDC | kZ)) | flags);
            break;
        }
        case opSubwfb: {
            const unsigned a = Read(m_bank | in.f);
            const unsigned b = unsigned(m_w) + ((StatusRef() & kC) ? 0 : 1);
            const uint8_t r = uint8_t(a - b);
            const unsigned bl = (m_w & 0xF) + ((StatusRef() & kC) ? 0 : 1);
            const uint8_t flags = uint8_t((a >= b ? kC : 0) | ((a & 0xF) >= bl ? kDC : 0) | (r == 0 ? kZ : 0));
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kDC | kZ)) | flags);
            break;
        }
        case opAddwf:
        case opAddwfc: {
            const unsigned a = Read(m_bank | in.f);
            const unsigned c = (op == opAddwfc && (StatusRef() & kC)) ? 1 : 0;
            const unsigned r = a + m_w + c;
            const uint8_t flags = uint8_t((r > 0xFF ? kC : 0) | (((a & 0xF) + (m_w & 0xF) + c) > 0xF ? kDC : 0)
                                          | ((r & 0xFF) == 0 ? kZ : 0));
            if (in.k)
                Write(m_bank | in.f, uint8_t(r));
            else
                m_w = uint8_t(r);
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kDC | kZ)) | flags);
            break;
        }
        case opDecf:
        case opIncf:
        case opIorwf:
        case opAndwf:
        case opXorwf:
        case opMovf:
        case opComf: {
            const uint8_t a = Read(m_bank | in.f);
            uint8_t r;
            switch (op) {
            case opDecf: r = uint8_t(a - 1); break;
            case opIncf: r = uint8_t(a + 1); break;
            case opIorwf: r = uint8_t(a | m_w); break;
            case opAndwf: r = uint8_t(a & m_w); break;
            case opXorwf: r = uint8_t(a ^ m_w); break;
            case opMovf: r = a; break;
            default: r = uint8_t(~a); break;
            }
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~kZ) | (r == 0 ? kZ : 0));
            break;
        }
        case opDecfsz:
        case opIncfsz: {
            const uint8_t a = Read(m_bank | in.f);
            const uint8_t r = op == opDecfsz ? uint8_t(a - 1) : uint8_t(a + 1);
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            if (r == 0) {
                m_pc = (m_pc + 1) & m_pcMask;
                ++m_cycles;
            }
            break;
        }
        case opRrf:
        case opRlf: {
            const uint8_t a = Read(m_bank | in.f);
            const uint8_t c = StatusRef() & kC;
            uint8_t r;
            uint8_t carry;
            if (op == opRrf) {
                r = uint8_t((a >> 1) | (c << 7));
                carry = a & 1;
            } else {
                r = uint8_t((a << 1) | c);
                carry = a >> 7;
            }
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~kC) | carry);
            break;
        }
        case opLslf:
        case opLsrf:
        case opAsrf: {
            const uint8_t a = Read(m_bank | in.f);
            uint8_t r;
            uint8_t carry;
            if (op == opLslf) {
                r = uint8_t(a << 1);
                carry = a >> 7;
            } else {
                r = uint8_t((a >> 1) | (op == opAsrf ? (a & 0x80) : 0));
                carry = a & 1;
            }
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kZ)) | carry | (r == 0 ? kZ : 0));
            break;
        }
        case opSwapf: {
            const uint8_t a = Read(m_bank | in.f);
            const uint8_t r = uint8_t((a >> 4) | (a << 4));
            if (in.k)
                Write(m_bank | in.f, r);
            else
                m_w = r;
            break;
        }
        case opBcf: {
            const unsigned addr = m_bank | in.f;
            Write(addr, uint8_t(Read(addr) & ~in.k));
            break;
        }
        case opBsf: {
            const unsigned addr = m_bank | in.f;
            Write(addr, uint8_t(Read(addr) | in.k));
            break;
        }
        case opBtfsc:
            if (!(Read(m_bank | in.f) & in.k)) {
                m_pc = (m_pc + 1) & m_pcMask;
                ++m_cycles;
            }
            break;
        case opBtfss:
            if (Read(m_bank | in.f) & in.k) {
                m_pc = (m_pc + 1) & m_pcMask;
                ++m_cycles;
            }
            break;
        case opCall:
            Push(m_pc);
            [[fallthrough]];
        case opGoto:
            m_pc = ((uint32_t(m_pclath >= 0 ? m_ram[m_pclath] : 0) & pageMask) << 8 | in.k) & m_pcMask;
            ++m_cycles;
            break;
        case opCall12:
            Push(m_pc);
            m_pc = ((uint32_t(StatusRef() & 0x60) << 4) | in.k) & m_pcMask;
            ++m_cycles;
            break;
        case opGoto12:
            m_pc = ((uint32_t(StatusRef() & 0x60) << 4) | in.k) & m_pcMask;
            ++m_cycles;
            break;
        case opMovlw:
            m_w = uint8_t(in.k);
            break;
        case opRetlw:
            m_w = uint8_t(in.k);
            [[fallthrough]];
        case opReturn:
            m_pc = Pop() & m_pcMask;
            ++m_cycles;
            break;
        case opRetfie:
            m_pc = Pop() & m_pcMask;
            ++m_cycles;
            if (enhanced && m_shadowBase >= 0) {
                // STATUS_SHAD, WREG_SHAD, BSR_SHAD, PCLATH_SHAD, FSR0L_SHAD .. FSR1H_SHAD
                const uint8_t *s = m_ram + m_shadowBase;
                uint8_t &st = StatusRef();
                st = uint8_t((st & 0x18) | (s[0] & 0x07));
                m_w = s[1];
                m_ram[m_bsr] = s[2] & 0x1F;
                m_ram[m_pclath] = s[3] & 0x7F;
                m_ram[m_fsr[0]] = s[4];
                m_ram[m_fsrh[0]] = s[5];
                m_ram[m_fsr[1]] = s[6];
                m_ram[m_fsrh[1]] = s[7];
                UpdateBank();
            }
            if (m_intcon >= 0)
                m_ram[m_intcon] |= 0x80;
            UpdateIrq();
            break;
        case opIorlw:
            m_w = uint8_t(m_w | in.k);
            StatusRef() = uint8_t((StatusRef() & ~kZ) | (m_w == 0 ? kZ : 0));
            break;
        case opAndlw:
            m_w = uint8_t(m_w & in.k);
            StatusRef() = uint8_t((StatusRef() & ~kZ) | (m_w == 0 ? kZ : 0));
            break;
        case opXorlw:
            m_w = uint8_t(m_w ^ in.k);
            StatusRef() = uint8_t((StatusRef() & ~kZ) | (m_w == 0 ? kZ : 0));
            break;
        case opSublw: {
            const unsigned k = in.k;
            const unsigned w = m_w;
            const uint8_t r = uint8_t(k - w);
            m_w = r;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kDC | kZ)) | (k >= w ? kC : 0) | ((k & 0xF) >= (w & 0xF) ? kDC : 0)
                         | (r == 0 ? kZ : 0));
            break;
        }
        case opAddlw: {
            const unsigned k = in.k;
            const unsigned r = k + m_w;
            uint8_t &st = StatusRef();
            st = uint8_t((st & ~(kC | kDC | kZ)) | (r > 0xFF ? kC : 0) | (((k & 0xF) + (m_w & 0xF)) > 0xF ? kDC : 0)
                         | ((r & 0xFF) == 0 ? kZ : 0));
            m_w = uint8_t(r);
            break;
        }
        case opSleep:
            EnterSleep();
            break;
        case opClrwdt:
            ClearWatchdog();
            if (!m_dev.IsPic18())
                StatusRef() |= 0x18;
            break;
        case opOption:
            if (baseline) {
                SyncTimer0();
                const bool was = Timer0Counting();
                m_baselineOption = m_w;
                if (!was && Timer0Counting())
                    m_t0Sync = std::max(m_t0Start, ReadCycle());
                Timer0Changed();
                WatchdogChanged();
            } else if (m_option >= 0) {
                WriteSpecial(unsigned(m_option), m_w);
            }
            break;
        case opTris:
            if (baseline) {
                // TRIS 5/6/7: the port register at that address.
                const uint16_t entry = m_map[in.f];
                const unsigned index = entry & kIndexMask;
                if (m_role[index] == roPort) {
                    m_baselineTris[m_aux[index]] = m_w;
                    PinsChanged(m_aux[index]);
                }
            } else {
                Write(in.f, m_w);
            }
            break;
        // Enhanced 14-bit.
        case opMovlb:
            if (m_bsr >= 0) {
                m_ram[m_bsr] = uint8_t(in.k);
                UpdateBank();
            }
            break;
        case opMovlp:
            m_ram[m_pclath] = uint8_t(in.k);
            break;
        case opBra:
            m_pc = (m_pc + in.k) & m_pcMask;
            ++m_cycles;
            break;
        case opBrw:
            m_pc = (m_pc + m_w) & m_pcMask;
            ++m_cycles;
            break;
        case opCallw:
            Push(m_pc);
            m_pc = ((uint32_t(m_ram[m_pclath]) << 8) | m_w) & m_pcMask;
            ++m_cycles;
            break;
        case opReset:
            Reset(TResetCause::Software);
            break;
        case opAddfsr:
            SetFsrValue(in.f, (FsrValue(in.f) + in.k) & 0xFFFF);
            break;
        case opMoviw:
        case opMovwi: {
            unsigned fsr = FsrValue(in.f);
            unsigned address = fsr;
            switch (in.k) {
            case 0: address = fsr = (fsr + 1) & 0xFFFF; break;
            case 1: address = fsr = (fsr - 1) & 0xFFFF; break;
            case 2: fsr = (fsr + 1) & 0xFFFF; break;
            default: fsr = (fsr - 1) & 0xFFFF; break;
            }
            SetFsrValue(in.f, fsr);
            if (op == opMoviw) {
                m_w = ReadLinear(address);
                StatusRef() = uint8_t((StatusRef() & ~kZ) | (m_w == 0 ? kZ : 0));
            } else {
                WriteLinear(address, m_w);
            }
            break;
        }
        case opMoviwK:
            m_w = ReadLinear((FsrValue(in.f) + in.k) & 0xFFFF);
            StatusRef() = uint8_t((StatusRef() & ~kZ) | (m_w == 0 ? kZ : 0));
            break;
        case opMovwiK:
            WriteLinear((FsrValue(in.f) + in.k) & 0xFFFF, m_w);
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
}

template TStop TSimulator::RunMid<false>(uint64_t);
template TStop TSimulator::RunMid<true>(uint64_t);

}  // namespace kiv::sim
