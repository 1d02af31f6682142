// kivsimdiff: runs the same program in our simulator and in gpsim (libgpsim, in this process)
// one step at a time and compares PC, W, STATUS and the registers after every step.
//
//   kivsimdiff --device NAME [--steps N] [--clock MHZ] PROG.hex
//   kivsimdiff --device NAME --random SEED [--steps N] [--length WORDS]
//
// The first form runs a program file; the second a seeded random instruction stream for the
// device's core (see RandomProgram). It prints "ok: N steps" or the first difference with the
// last steps before it, and exits with 0 when both agree, 1 on a difference, 2 on bad use.
//
// Known differences where gpsim does not follow the data sheet are named in Allowed() and
// counted, not reported.

#include "simcore.h"
#include "simload.h"

#include "intelhex.h"

#include <gpsim/gpsim_time.h>
#include <gpsim/interface.h>
#include <gpsim/pic-processor.h>
#include <gpsim/registers.h>
#include <gpsim/sim_context.h>
#include <gpsim/stimuli.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace kiv::sim;

namespace {

struct TOptions {
    std::string device;
    std::string hex;
    long steps = 2000;
    long length = 200;
    bool random = false;
    unsigned seed = 1;
    double clockMHz = 20;
    bool verbose = false;
    bool keepGoing = false;
    std::vector<std::string> show;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: kivsimdiff --device NAME [--steps N] [--clock MHZ] PROG.hex\n"
                 "       kivsimdiff --device NAME --random SEED [--steps N] [--length WORDS]\n"
                 "  --verbose prints every step, --show REG[,REG...] those registers of both after it,\n"
                 "  --keep-going goes on after a difference\n");
    return 2;
}

// ---- random programs -----------------------------------------------------------------------

// Registers a random program may name directly: RAM that is general purpose in every bank, and
// the core registers whose behaviour both simulators define the same way.
struct TRandomSpace {
    std::vector<unsigned> files;        // operands for file instructions (bank offsets / access addresses)
    std::vector<unsigned> fsrTargets;   // values loaded into FSRs
};

uint16_t Rand(std::mt19937 &rng, unsigned n)
{
    return uint16_t(std::uniform_int_distribution<unsigned>(0, n - 1)(rng));
}

// The mid-range stream: every instruction of the core except SLEEP, with file operands from the
// general purpose RAM (0x20-0x7F is RAM in every bank of the test parts) and the core registers
// INDF, PCL, STATUS, FSR and PCLATH; FSR is loaded with RAM addresses before indirect use.
std::vector<uint16_t> RandomMid(std::mt19937 &rng, long length, bool enhanced)
{
    std::vector<uint16_t> words;
    auto file = [&]() -> unsigned {
        const unsigned pick = Rand(rng, 100);
        if (pick < 80)
            return 0x20 + Rand(rng, 0x60);
        if (pick < 86)
            return 0x03;               // STATUS
        if (pick < 92)
            return 0x00;               // INDF / INDF0
        if (pick < 95)
            return enhanced ? 0x01u : 0x04u;   // INDF1 / FSR
        if (pick < 97 && !enhanced)
            return 0x0A;               // PCLATH (kept small below)
        return 0x02;                   // PCL
    };
    const long n = length;
    if (enhanced) {
        // FSR0 and FSR1 start in RAM, so that MOVIW/MOVWI with an offset stay in the data space.
        for (unsigned fsrl : {0x04u, 0x06u}) {
            words.push_back(uint16_t(0x3000 | (0x20 + Rand(rng, 0x60))));
            words.push_back(uint16_t(0x0080 | fsrl));
        }
    }
    while (long(words.size()) < n - 2) {
        const unsigned kind = Rand(rng, 100);
        const unsigned d = Rand(rng, 2);
        if (kind < 6) {
            // Point an FSR at RAM.
            const unsigned target = (Rand(rng, 2) ? 0x20 : 0xA0) + Rand(rng, 0x60);
            words.push_back(uint16_t(0x3000 | target));                        // MOVLW
            if (enhanced) {
                words.push_back(uint16_t(0x0080 | (Rand(rng, 2) ? 0x04 : 0x06)));   // MOVWF FSR0L/FSR1L
            } else {
                words.push_back(uint16_t(0x0080 | 0x04));                      // MOVWF FSR
            }
            continue;
        }
        if (kind < 9) {
            // PCLATH stays within the program's page.
            words.push_back(uint16_t(0x3000 | 0x00));
            words.push_back(uint16_t(0x0080 | 0x0A));
            continue;
        }
        if (kind < 50) {
            // Byte-oriented file operations 0x0100 .. 0x0F00 (and MOVWF / CLRF).
            const unsigned op = 2 + Rand(rng, 14);
            unsigned f = file();
            if (f == 0x02 && op != 0x8 && Rand(rng, 4))
                f = 0x20;   // writes to PCL jump: keep them rare
            words.push_back(uint16_t((op << 8) | (d << 7) | f));
            continue;
        }
        if (kind < 55) {
            words.push_back(uint16_t(0x0080 | file()));   // MOVWF
            continue;
        }
        if (kind < 58) {
            // CLRF / CLRW. The data sheet leaves the low seven bits of CLRW open (00 0001 0xxx xxxx);
            // gpsim takes only 0x0103, the word assemblers write, as CLRW and the others as NOP.
            words.push_back(Rand(rng, 2) ? uint16_t(0x0180 | file()) : uint16_t(0x0103));
            continue;
        }
        if (kind < 72) {
            // Bit operations; STATUS bits 3-4 (/PD, /TO) included.
            const unsigned op = Rand(rng, 4);
            unsigned f = file();
            if (f == 0x02)
                f = 0x21;
            words.push_back(uint16_t(0x1000 | (op << 10) | (Rand(rng, 8) << 7) | f));
            continue;
        }
        if (kind < 88) {
            // Literal operations.
            static const uint16_t ops[] = {0x3000, 0x3800, 0x3900, 0x3A00, 0x3C00, 0x3E00};
            words.push_back(uint16_t(ops[Rand(rng, 6)] | Rand(rng, 256)));
            continue;
        }
        if (kind < 92) {
            // GOTO / CALL within the program.
            const unsigned target = Rand(rng, unsigned(n));
            words.push_back(uint16_t((Rand(rng, 3) ? 0x2800 : 0x2000) | target));
            continue;
        }
        if (kind < 95) {
            words.push_back(Rand(rng, 2) ? 0x0008 : uint16_t(0x3400 | Rand(rng, 256)));   // RETURN / RETLW
            continue;
        }
        if (kind < 96) {
            words.push_back(0x0064);   // CLRWDT
            continue;
        }
        if (enhanced) {
            static const uint16_t eops[] = {0x3500, 0x3600, 0x3700, 0x3B00, 0x3D00};   // LSLF LSRF ASRF SUBWFB ADDWFC
            const unsigned pick = Rand(rng, 8);
            if (pick < 5)
                words.push_back(uint16_t(eops[pick] | (d << 7) | file()));
            else if (pick == 5)
                words.push_back(uint16_t(0x0010 | Rand(rng, 8)));   // MOVIW
            else if (pick == 6)
                words.push_back(uint16_t(0x3F00 | Rand(rng, 256)));   // MOVIW/MOVWI k[n]
            else
                words.push_back(uint16_t(0x0020 | Rand(rng, 4)));   // MOVLB 0..3
            continue;
        }
        words.push_back(0x0000);
    }
    words.push_back(uint16_t(0x2800));   // GOTO 0
    return words;
}

// The 12-bit stream: every instruction but SLEEP, OPTION and TRIS, with file operands from the
// general purpose RAM of bank 0 (0x10-0x1F), the shared RAM 0x08-0x0F and the core registers
// INDF, STATUS and FSR; FSR is loaded with RAM addresses of both banks before indirect use.
std::vector<uint16_t> RandomBaseline(std::mt19937 &rng, long length)
{
    std::vector<uint16_t> words;
    auto file = [&]() -> unsigned {
        const unsigned pick = Rand(rng, 100);
        if (pick < 84)
            return 0x08 + Rand(rng, 0x18);
        if (pick < 92)
            return 0x03;   // STATUS
        return 0x00;       // INDF (FSR itself only through MOVLW/MOVWF, so that it stays in RAM)
    };
    const long n = length;
    while (long(words.size()) < n - 2) {
        const unsigned kind = Rand(rng, 100);
        const unsigned d = Rand(rng, 2);
        if (kind < 6) {
            const unsigned target = Rand(rng, 2) ? 0x08 + Rand(rng, 0x18) : 0x30 + Rand(rng, 0x10);
            words.push_back(uint16_t(0xC00 | target));   // MOVLW
            words.push_back(uint16_t(0x020 | 0x04));     // MOVWF FSR
            continue;
        }
        if (kind < 52) {
            static const uint16_t ops[] = {0x080, 0x0C0, 0x100, 0x140, 0x180, 0x1C0, 0x200,
                                           0x240, 0x280, 0x2C0, 0x300, 0x340, 0x380, 0x3C0};
            words.push_back(uint16_t(ops[Rand(rng, 14)] | (d << 5) | file()));
            continue;
        }
        if (kind < 58) {
            words.push_back(uint16_t(0x020 | file()));   // MOVWF
            continue;
        }
        if (kind < 61) {
            words.push_back(Rand(rng, 2) ? uint16_t(0x060 | file()) : uint16_t(0x040));   // CLRF / CLRW
            continue;
        }
        if (kind < 76) {
            words.push_back(uint16_t(0x400 | (Rand(rng, 4) << 8) | (Rand(rng, 8) << 5) | file()));
            continue;
        }
        if (kind < 90) {
            static const uint16_t ops[] = {0xC00, 0xD00, 0xE00, 0xF00};
            words.push_back(uint16_t(ops[Rand(rng, 4)] | Rand(rng, 256)));
            continue;
        }
        if (kind < 94) {
            // GOTO anywhere in the program, CALL into the first 256 words.
            if (Rand(rng, 3))
                words.push_back(uint16_t(0xA00 | Rand(rng, unsigned(n))));
            else
                words.push_back(uint16_t(0x900 | Rand(rng, std::min<unsigned>(256, unsigned(n)))));
            continue;
        }
        if (kind < 96) {
            words.push_back(uint16_t(0x800 | Rand(rng, 256)));   // RETLW
            continue;
        }
        words.push_back(kind < 98 ? 0x004 : 0x000);   // CLRWDT / NOP
    }
    words.push_back(0xA00);   // GOTO 0
    return words;
}

// The PIC18 stream: the whole instruction set except SLEEP, RESET and table writes, with file
// operands from the access RAM (0x00-0x7F), banked RAM in banks 0-5 and the core registers WREG,
// STATUS, BSR, the FSRs and their indirect registers, PRODH:PRODL, TABLAT and TBLPTR.
std::vector<uint16_t> Random18(std::mt19937 &rng, long length)
{
    std::vector<uint16_t> words;
    // WREG, STATUS, FSRnL, the indirect registers, PRODL/H, TABLAT, TBLPTRL/H (FSRnH only through
    // LFSR, so that the FSRs stay in RAM).
    static const unsigned sfrs[] = {0xE8, 0xD8, 0xE9, 0xE1, 0xD9, 0xEF, 0xEE, 0xED, 0xEC, 0xEB, 0xE7, 0xE6, 0xE5,
                                    0xE4, 0xE3, 0xDF, 0xDE, 0xDD, 0xDC, 0xDB, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7};
    // Operand bits of a file instruction: a (bit 8) and f.
    auto file = [&]() -> unsigned {
        const unsigned pick = Rand(rng, 100);
        if (pick < 60)
            return Rand(rng, 0x80);                   // access RAM
        if (pick < 80)
            return 0x100 | Rand(rng, 0x100);          // banked RAM (BSR 0-5)
        return sfrs[Rand(rng, sizeof sfrs / sizeof sfrs[0])];
    };
    const long n = length;
    auto target = [&]() { return unsigned(Rand(rng, unsigned(n))); };
    // The FSRs start in banked RAM, away from the special function registers.
    for (unsigned fsr = 0; fsr < 3; ++fsr) {
        const unsigned k = 0x100 + Rand(rng, 0x400);
        words.push_back(uint16_t(0xEE00 | (fsr << 4) | (k >> 8)));
        words.push_back(uint16_t(0xF000 | (k & 0xFF)));
    }
    while (long(words.size()) < n - 3) {
        const unsigned kind = Rand(rng, 100);
        if (kind < 5) {
            // LFSR n, RAM address
            const unsigned fsr = Rand(rng, 3);
            const unsigned k = 0x100 + Rand(rng, 0x400);
            words.push_back(uint16_t(0xEE00 | (fsr << 4) | (k >> 8)));
            words.push_back(uint16_t(0xF000 | (k & 0xFF)));
            continue;
        }
        if (kind < 7) {
            words.push_back(uint16_t(0x0100 | Rand(rng, 6)));   // MOVLB 0..5
            continue;
        }
        if (kind < 45) {
            // Byte-oriented operations 0x04xx .. 0x5Cxx with d and a.
            static const uint16_t ops[] = {0x0400, 0x1000, 0x1400, 0x1800, 0x1C00, 0x2000, 0x2400, 0x2800, 0x2C00,
                                           0x3000, 0x3400, 0x3800, 0x3C00, 0x4000, 0x4400, 0x4800, 0x4C00, 0x5000,
                                           0x5400, 0x5800, 0x5C00};
            words.push_back(uint16_t(ops[Rand(rng, sizeof ops / sizeof ops[0])] | (Rand(rng, 2) << 9) | file()));
            continue;
        }
        if (kind < 55) {
            // 0x60xx .. 0x6Exx: CPFSLT CPFSEQ CPFSGT TSTFSZ SETF CLRF NEGF MOVWF, MULWF
            const unsigned op = Rand(rng, 9);
            if (op == 8)
                words.push_back(uint16_t(0x0200 | file()));
            else
                words.push_back(uint16_t(0x6000 | (op << 9) | file()));
            continue;
        }
        if (kind < 65) {
            // Bit operations BTG BSF BCF BTFSS BTFSC.
            const unsigned op = 7 + Rand(rng, 5);
            words.push_back(uint16_t((op << 12) | (Rand(rng, 8) << 9) | file()));
            continue;
        }
        if (kind < 77) {
            // Literal operations SUBLW IORLW XORLW ANDLW MULLW MOVLW ADDLW (RETLW below).
            static const uint16_t ops[] = {0x0800, 0x0900, 0x0A00, 0x0B00, 0x0D00, 0x0E00, 0x0F00};
            words.push_back(uint16_t(ops[Rand(rng, 7)] | Rand(rng, 256)));
            continue;
        }
        if (kind < 80) {
            // MOVFF between RAM and the core registers.
            auto absolute = [&]() -> unsigned {
                const unsigned f = file();
                if (f & 0x100)
                    return (Rand(rng, 6) << 8) | (f & 0xFF);
                return f < 0x80 ? f : 0xF00 | f;
            };
            unsigned dst = absolute();
            while (dst == 0xFE8 || dst == 0xFD8)
                dst = absolute();
            words.push_back(uint16_t(0xC000 | absolute()));
            words.push_back(uint16_t(0xF000 | dst));
            continue;
        }
        if (kind < 88) {
            // Relative branches (8-bit and BRA/RCALL), kept within the program.
            const unsigned here = unsigned(words.size());
            const int offset = int(target()) - int(here) - 1;
            if (Rand(rng, 4) == 0 && offset >= -1024 && offset < 1024) {
                words.push_back(uint16_t((Rand(rng, 2) ? 0xD000 : 0xD800) | (unsigned(offset) & 0x7FF)));
            } else if (offset >= -128 && offset < 128) {
                words.push_back(uint16_t(0xE000 | (Rand(rng, 8) << 8) | (unsigned(offset) & 0xFF)));
            } else {
                words.push_back(0x0000);
            }
            continue;
        }
        if (kind < 92) {
            // GOTO / CALL (fast or not) within the program.
            const unsigned t = target();
            const unsigned pick = Rand(rng, 3);
            words.push_back(uint16_t((pick == 0 ? 0xEF00 : pick == 1 ? 0xEC00 : 0xED00) | (t & 0xFF)));
            words.push_back(uint16_t(0xF000 | (t >> 8)));
            continue;
        }
        if (kind < 95) {
            static const uint16_t rets[] = {0x0012, 0x0013, 0x0C00};
            const uint16_t r = rets[Rand(rng, 3)];
            words.push_back(r == 0x0C00 ? uint16_t(r | Rand(rng, 256)) : r);
            continue;
        }
        if (kind < 97) {
            static const uint16_t misc[] = {0x0004, 0x0005, 0x0006, 0x0007};   // CLRWDT PUSH POP DAW
            words.push_back(misc[Rand(rng, 4)]);
            continue;
        }
        words.push_back(uint16_t(0x0008 | Rand(rng, 4)));   // TBLRD
    }
    words.push_back(0xEF00);   // GOTO 0
    words.push_back(0xF000);
    return words;
}

// ---- comparing ---------------------------------------------------------------------------------

struct TState {
    uint32_t pc = 0;
    unsigned w = 0;
    unsigned status = 0;
    uint64_t cycles = 0;
};

std::string Hex(unsigned v, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", width, v);
    return text;
}

class TDiff {
public:
    TDiff(const TSimDevice &device, pic_processor *gp) : m_sim(device), m_gp(gp) {}

    TSimulator m_sim;
    pic_processor *m_gp;
    std::vector<int> m_compare;   // data addresses compared after each step
    std::deque<std::string> m_history;
    long m_allowed = 0;
    bool m_pic18 = false;

    uint32_t GpPc() const { return m_gp->pc->get_value(); }

    TState Ours() const
    {
        return {m_sim.Pc(), m_sim.W(), m_sim.Status(), m_sim.Cycles()};
    }

    TState Theirs() const
    {
        TState s;
        s.pc = GpPc();
        s.w = m_gp->Wget();
        s.status = m_gp->status->get_value() & ((m_pic18 || m_enhanced) ? kStatus18Mask : 0xFF);
        s.cycles = get_cycles().get();
        return s;
    }

    void ChooseRegisters()
    {
        m_tblptru = m_sim.RegisterAddress("TBLPTRU");
        m_status = m_sim.RegisterAddress("STATUS");
        m_pclath = m_sim.RegisterAddress("PCLATH");
        m_intcon = m_sim.RegisterAddress("INTCON");
        m_txsta = m_sim.RegisterAddress("TXSTA");
        const auto [txifAddr, txifBit] = m_sim.Device().FindBit("PIR", "TXIF");
        m_txifAddr = txifAddr;
        m_txifMask = txifBit >= 0 ? 1u << txifBit : 0;
        m_eecon1 = m_sim.RegisterAddress("EECON1");
        m_tmr2 = m_sim.RegisterAddress("TMR2");
        m_pr2 = m_sim.RegisterAddress("PR2");
        const auto [eeifAddr, eeifBit] = m_sim.Device().FindBit("PIR", "EEIF");
        m_eeifAddr = eeifAddr;
        m_eeifMask = eeifBit >= 0 ? 1u << eeifBit : 0;
        const TSimDevice &dev = m_sim.Device();
        for (int a = 0; a < m_sim.DataSize(); ++a) {
            const TRole role = m_sim.RoleOf(a);
            const bool ram = role == roPlain && dev.RegisterNames(a).empty();
            // The core registers and those of the peripherals both simulators model the same way.
            static const std::set<std::string> core = {
                "STATUS", "FSR",   "PCLATH", "BSR",     "FSR0L",   "FSR0H",      "FSR1L",  "FSR1H",
                "FSR2L",  "FSR2H", "PRODL",  "PRODH",   "TABLAT",  "TBLPTRL",    "TBLPTRH", "TBLPTRU",
                "WREG",   "INTCON", "INTCON2", "INTCON3", "RCON",  "TMR0",       "TMR0L",  "TMR0H",
                "T0CON",  "OPTION_REG", "TMR1L", "TMR1H", "T1CON", "TMR2",       "PR2",    "T2CON",
                "TMR3L",  "TMR3H", "T3CON",  "PIR1",    "PIR2",    "PIE1",       "PIE2",   "IPR1",
                "IPR2",   "TXSTA", "RCSTA",  "SPBRG",   "EEDATA",  "EEADR",      "EECON1"};
            bool named = false;
            for (const std::string &n : dev.RegisterNames(a))
                named = named || core.count(n);
            if ((ram || named) && a < int(m_gp->register_memory_size()))
                m_compare.push_back(a);
        }
    }

    // Bits of a register compared. TBLPTRU: the data sheet's bits 7-6 are unimplemented and
    // read 0 (TBLPTR is 22 bits); gpsim keeps eight bits.
    unsigned CompareMask(int address) const
    {
        if (m_pic18 && address == m_tblptru)
            return 0x3F;
        if (m_pic18 && address == m_status)
            return kStatus18Mask;
        if (m_enhanced && address == m_status)
            return kStatus18Mask;
        if (m_inInterrupt && address == m_intcon)
            return m_pic18 ? 0x3F : 0x7F;
        // The moments TXIF and TRMT change: the data sheet starts a character on the next tick of
        // the baud rate generator, which an SPBRG write restarts; gpsim's generator keeps its own
        // phase, so the edges come a few cycles apart. Programs compared here poll them only
        // after waiting longer than a character.
        if (address == m_txifAddr)
            return 0xFF & ~m_txifMask;
        if (address == m_txsta)
            return 0xFD;
        // The data EEPROM write time: 4 ms typical by the data sheet; gpsim ends a write after a
        // few dozen cycles. WR and EEIF are not compared; programs compared here wait longer than a
        // write before they look.
        if (address == m_eecon1)
            return 0xFD;
        if (address == m_eeifAddr)
            return 0xFF & ~m_eeifMask;
        // Enhanced 14-bit PCLATH: the data sheet implements PCLATH<6:0>; gpsim keeps five bits.
        if (m_enhanced && address == m_pclath)
            return 0x1F;
        return 0xFF;
    }
    bool m_enhanced = false;
    int m_tblptru = -1, m_status = -1, m_pclath = -1, m_intcon = -1, m_txsta = -1, m_txifAddr = -1;
    unsigned m_txifMask = 0;
    int m_eecon1 = -1, m_eeifAddr = -1, m_tmr2 = -1, m_pr2 = -1;
    unsigned m_eeifMask = 0;
    bool m_inInterrupt = false;

    // PIC18 and enhanced 14-bit STATUS: bits 7-5 are unimplemented and read 0; gpsim stores what
    // is written there.
    static constexpr unsigned kStatus18Mask = 0x1F;

    std::string Describe(const TState &s) const
    {
        return "PC=" + Hex(s.pc, 4) + " W=" + Hex(s.w, 2) + " STATUS=" + Hex(s.status, 2) + " cycles="
               + std::to_string(s.cycles);
    }

    // The first difference, empty when both agree.
    std::string Compare(uint64_t cycleBase) const
    {
        const TState a = Ours();
        TState b = Theirs();
        b.cycles -= cycleBase;
        std::string diff;
        if (a.pc != b.pc || a.w != b.w || a.status != b.status || a.cycles != b.cycles)
            diff = "ours   " + Describe(a) + "\ngpsim  " + Describe(b) + "\n";
        for (int addr : m_compare) {
            const unsigned mask = CompareMask(addr);
            const unsigned ours = m_sim.PeekData(addr) & mask;
            const unsigned theirs = m_gp->registers[addr]->get_value() & mask;
            // TMR2 in the cycle it resets: the data sheet goes from PR2 to 0; gpsim shows PR2 + 1.
            if (addr == m_tmr2 && ours == 0 && theirs == ((m_sim.PeekData(m_pr2) + 1u) & 0xFF))
                continue;
            // A flag raised on the last edge of the instruction just run: gpsim acts on it at the
            // same time but shows it only after the next cycle.
            if ((addr == m_intcon || m_sim.RoleOf(addr) == roIrq) && (ours & ~theirs) == (ours ^ theirs)
                && m_sim.LastFlagCycle() == m_sim.Cycles())
                continue;
            if (ours != theirs)
                diff += "register 0x" + Hex(unsigned(addr), 3) + ": ours " + Hex(ours, 2) + ", gpsim " + Hex(theirs, 2)
                        + "\n";
        }
        return diff;
    }
};

// Where gpsim departs from the data sheet, the comparison ends before the instruction and says
// why: the run up to there counts.
const char *KnownDifference(const TSimulator &sim, uint32_t word, bool programmed)
{
    const TCore core = sim.Core();
    if (!programmed && core != TCore::Pic18)
        return "a word the program does not set (the chip runs erased memory as the instruction its "
               "bits make, ADDLW 0xFF on the 14-bit core; gpsim runs nothing there)";
    if (core == TCore::Pic14 || core == TCore::Pic12) {
        const bool call = core == TCore::Pic14 ? (word & 0x3800) == 0x2000 : (word & 0xF00) == 0x900;
        const bool ret = core == TCore::Pic14 ? (word == 0x0008 || word == 0x0009 || (word & 0x3C00) == 0x3400)
                                              : (word & 0xF00) == 0x800;
        if (call && sim.StackDepth() == sim.StackSize())
            return "a call with the stack full (the data sheet's stack is a circular buffer that the next "
                   "push overwrites; gpsim refuses the call)";
        if (core == TCore::Pic14 && (word & 0x3000) == 0x2000) {
            const int pclath = sim.RegisterAddress("PCLATH");
            const uint32_t target = ((sim.PeekData(pclath) & 0x18u) << 8) | (word & 0x7FF);
            if (target >= sim.ProgramWords())
                return call ? "a call past the end of program memory (the chip wraps around within its memory; "
                              "gpsim refuses the call)"
                            : "a jump past the end of program memory (the chip wraps around within its memory; "
                              "gpsim stops)";
        }
        if (core == TCore::Pic14 && (word & 0x3000) == 0 && (word & 0x7F) == 0x02 && (word & 0x80)) {
            // A byte operation that writes PCL jumps to PCLATH<4:0>:result.
            const int pclath = sim.RegisterAddress("PCLATH");
            if (((sim.PeekData(pclath) & 0x1Fu) << 8) >= sim.ProgramWords())
                return "a write to PCL with PCLATH past the end of program memory (the chip wraps around within "
                       "its memory; gpsim stops)";
        }
        if (ret && sim.StackDepth() == 0)
            return "a return with the stack empty (the data sheet's circular stack returns the entry it "
                   "comes to; gpsim returns to 0)";
    }
    if (core == TCore::Pic14E) {
        const bool call = (word & 0x3800) == 0x2000 || word == 0x000A;
        const bool ret = word == 0x0008 || word == 0x0009 || (word & 0x3F00) == 0x3400;
        if ((call && sim.StackDepth() == sim.StackSize()) || (ret && sim.StackDepth() == 0))
            return "a call with the stack full or a return with it empty (the data sheet resets the part "
                   "when STVREN is set; gpsim stops without running the instruction)";
        // GOTO, CALL, CALLW, and byte operations that write PCL.
        const bool jump = (word & 0x3000) == 0x2000 || word == 0x000A
                          || ((word & 0x3000) == 0 && (word & 0x7F) == 0x02 && (word & 0x80) && word >= 0x0080);
        if (jump && (sim.PeekData(sim.RegisterAddress("PCLATH")) & 0x60))
            return "a jump from a page set by PCLATH<6:5> (the data sheet implements PCLATH<6:0>; gpsim keeps "
                   "five bits)";
    }
    if (core == TCore::Pic18 && word == 0x0007 && sim.W() >= 0xFA)
        return "DAW where the low digit's adjustment carries out of W (the data sheet adds that carry to the "
               "high digit; gpsim drops it)";
    if (core == TCore::Pic18 && (word & 0xF000) == 0xC000) {
        // MOVFF through an indirect register that moves its FSR.
        const unsigned src = word & 0xFFF;
        const unsigned next = sim.ProgramWord(sim.Pc() / 2 + 1) & 0xFFF;
        for (unsigned a : {src, next})
            if (a == 0xFEC || a == 0xFED || a == 0xFEE || a == 0xFE4 || a == 0xFE5 || a == 0xFE6 || a == 0xFDC
                || a == 0xFDD || a == 0xFDE)
                return "MOVFF through POSTINCn/POSTDECn/PREINCn (gpsim leaves its own copy of the FSR behind)";
    }
    if (core == TCore::Pic18 && !(word & 0x100)) {
        // Access-bank operand: the indirect registers of FSR0 (0xEB-0xEF), FSR1 (0xE3-0xE7), FSR2 (0xDB-0xDF).
        const unsigned f = word & 0xFF;
        const bool moving = f == 0xEC || f == 0xED || f == 0xEE || f == 0xE4 || f == 0xE5 || f == 0xE6
                            || f == 0xDC || f == 0xDD || f == 0xDE;
        const bool preinc = f == 0xEC || f == 0xE4 || f == 0xDC;
        const bool addwf = (word & 0xFC00) == 0x2400;
        const bool hasDest = (word >= 0x1000 && word < 0x6000) || (word & 0xFC00) == 0x0400;
        const bool readOnly = (word & 0xF800) == 0x6000 || (word & 0xFE00) == 0x0200 || (word & 0xE000) == 0xA000;
        const bool toW = hasDest && !(word & 0x200);
        if (moving && (toW || readOnly))
            return "a read through POSTINCn/POSTDECn/PREINCn into W or for a test (the data sheet moves the FSR "
                   "on every access; gpsim's ADDWF does not move it and other instructions leave gpsim's own "
                   "copy of the FSR behind)";
        const bool negfOrClrf = (word & 0xFE00) == 0x6C00 || (word & 0xFE00) == 0x6A00;
        if (f == 0xD8 && ((hasDest && (word & 0x200) && (word & 0xFC00) != 0x3800 && (word & 0xF000) != 0x4000
                           && !((word & 0xFC00) == 0x2C00 || (word & 0xFC00) == 0x3C00))
                          || negfOrClrf))
            return "an instruction that sets the flags writing its result to STATUS (the data sheet sets the "
                   "flags by the instruction's logic and writes nothing else; gpsim mixes the result in)";
        if (preinc && (addwf || (word & 0xE000) == 0x8000))
            return "ADDWF, BSF or BCF through PREINCn to the file (the data sheet reads and writes the "
                   "incremented address; gpsim reads the address before the increment)";
    }
    return nullptr;
}

// Instruction cycles gpsim does not count for an instruction the data sheet gives more, with the
// reason; the comparison of cycle counts allows for them.
unsigned GpsimShortCycles(const TSimulator &sim, uint32_t word, const char **why)
{
    if (sim.Core() == TCore::Pic18 && (word & 0xFFF8) == 0x0008) {
        *why = "TBLRD/TBLWT counted as one cycle (the data sheet gives two)";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--device" && i + 1 < argc)
            o.device = next();
        else if (a == "--steps" && i + 1 < argc)
            o.steps = std::atol(next());
        else if (a == "--length" && i + 1 < argc)
            o.length = std::atol(next());
        else if (a == "--clock" && i + 1 < argc)
            o.clockMHz = std::atof(next());
        else if (a == "--random" && i + 1 < argc) {
            o.random = true;
            o.seed = unsigned(std::strtoul(next(), nullptr, 10));
        } else if (a == "--verbose")
            o.verbose = true;
        else if (a == "--show" && i + 1 < argc) {
            // Registers printed after every step with --verbose: NAME[,NAME...].
            std::string list = next();
            for (size_t at = 0; at != std::string::npos;) {
                const size_t comma = list.find(',', at);
                o.show.push_back(list.substr(at, comma == std::string::npos ? comma : comma - at));
                at = comma == std::string::npos ? comma : comma + 1;
            }
        } else if (a == "--keep-going")
            o.keepGoing = o.verbose = true;
        else if (!a.empty() && a[0] != '-' && o.hex.empty())
            o.hex = a;
        else
            return Usage();
    }
    if (o.device.empty() || (o.hex.empty() && !o.random) || o.steps <= 0 || o.length < 16)
        return Usage();
    const TSimDevice *device = FindSimDevice(o.device);
    if (!device) {
        std::fprintf(stderr, "kivsimdiff: unknown device %s\n", o.device.c_str());
        return 2;
    }

    // gpsim prints its own progress on stdout; keep ours apart from it.
    std::fflush(stdout);
    initialize_gpsim_core();
    initialization_is_complete();
    CSimulationContext *context = CSimulationContext::GetContext();
    Processor *processor = nullptr;
    std::vector<uint16_t> words;
    std::string hexPath = o.hex;
    if (o.random) {
        std::mt19937 rng(o.seed);
        words = device->IsPic18()      ? Random18(rng, o.length)
                : device->IsBaseline() ? RandomBaseline(rng, o.length)
                                       : RandomMid(rng, o.length, device->core == TCore::Pic14E);
    }
    if (o.random) {
        processor = context->add_processor(device->processor.c_str(), "diff");
    } else if (!context->LoadProgram(hexPath.c_str(), device->processor.c_str(), &processor)) {
        processor = nullptr;
    }
    auto *gp = dynamic_cast<pic_processor *>(processor);
    if (!gp) {
        std::fprintf(stderr, "kivsimdiff: gpsim cannot run %s\n", device->processor.c_str());
        return 2;
    }
    gp->set_frequency(o.clockMHz * 1e6);

    TDiff diff(*device, gp);
    diff.m_pic18 = device->IsPic18();
    diff.m_enhanced = device->core == TCore::Pic14E;
    diff.m_sim.SetClockHz(o.clockMHz * 1e6);
    std::string error;
    if (o.random) {
        // Program words in both; the watchdog off in both (configuration word defaults aside).
        if (device->IsBaseline()) {
            // The reset vector of the 12-bit core is the last word: the oscillator calibration MOVLW.
            while (words.size() < diff.m_sim.ProgramWords() - 1)
                words.push_back(diff.m_sim.ErasedWord());
            words.push_back(0xC70);
        }
        for (size_t i = 0; i < words.size(); ++i) {
            const uint32_t byteAddress = uint32_t(i * 2);
            diff.m_sim.LoadHexByte(byteAddress, uint8_t(words[i]));
            diff.m_sim.LoadHexByte(byteAddress + 1, uint8_t(words[i] >> 8));
            static_cast<Processor *>(gp)->init_program_memory(device->IsPic18() ? byteAddress : uint32_t(i), unsigned(words[i]));
        }
        for (const TSimConfigWord &cw : device->config) {
            uint16_t value = cw.defaultValue;
            for (const char *name : {"WDTE", "WDT", "WDTEN"})
                if (const TSimConfigSetting *s = device->Setting(name); s && s->address == cw.address)
                    for (const auto &opt : s->options)
                        if (opt.first == "OFF")
                            value = uint16_t((value & ~s->mask) | opt.second);
            if (device->IsPic18()) {
                diff.m_sim.LoadHexByte(cw.address, uint8_t(value));
            } else {
                diff.m_sim.LoadHexByte(cw.address * 2, uint8_t(value));
                diff.m_sim.LoadHexByte(cw.address * 2 + 1, uint8_t(value >> 8));
            }
            gp->set_config_word(cw.address, value);
        }
        diff.m_sim.FinishLoading();

    } else if (!LoadHexFile(diff.m_sim, o.hex, error)) {
        std::fprintf(stderr, "kivsimdiff: %s\n", error.c_str());
        return 2;
    }
    diff.m_sim.SetClockHz(o.clockMHz * 1e6);
    diff.ChooseRegisters();
    // The program words the file or the random stream sets.
    std::vector<bool> programmed(diff.m_sim.ProgramWords(), false);
    if (o.random) {
        for (size_t i = 0; i < words.size() && i < programmed.size(); ++i)
            programmed[i] = true;
    } else {
        kiv::TIntelHex hex;
        hex.Load(o.hex);
        for (const kiv::THexSegment &segment : hex.Segments())
            for (size_t i = 0; i < segment.bytes.size(); ++i)
                if ((segment.address + i) / 2 < programmed.size())
                    programmed[(segment.address + i) / 2] = true;
    }
    // The same RAM contents in both to start with.
    std::mt19937 fill(o.seed * 7919u + 1);
    for (int a : diff.m_compare) {
        if (!device->RegisterNames(a).empty())
            continue;
        const uint8_t v = uint8_t(Rand(fill, 256));
        diff.m_sim.PokeData(a, v);
        gp->registers[a]->put_value(v);
    }
    // A processor gpsim creates has not been through a power-on reset: its STATUS starts with /TO
    // and /PD clear. It takes the power-on STATUS.
    if ((o.random && !device->IsPic18()) || device->IsBaseline())
        gp->status->put_value(diff.m_sim.Status());
    std::map<std::string, long> known;
    // The interrupt priority registers: all ones after a power-on reset by the data sheet (every
    // source high priority); gpsim starts them at 0.
    for (const char *name : {"IPR1", "IPR2", "IPR3"}) {
        const int a = device->RegisterAddress(name);
        if (a >= 0 && (gp->registers[a]->get_value() & 0xFF) != diff.m_sim.PeekData(a)) {
            gp->registers[a]->put_value(diff.m_sim.PeekData(a));
            ++known["the power-on value of IPRn (all ones by the data sheet; gpsim 0)"];
        }
    }
    // PR2 of the enhanced 14-bit parts: 1111 1111 after power-on by the data sheet; gpsim 0.
    if (const int pr2 = device->RegisterAddress("PR2"); pr2 >= 0 && device->core == TCore::Pic14E
        && (gp->registers[pr2]->get_value() & 0xFF) != diff.m_sim.PeekData(pr2)) {
        gp->registers[pr2]->put_value(diff.m_sim.PeekData(pr2));
        ++known["the power-on value of PR2 on the enhanced 14-bit core (0xFF by the data sheet; gpsim 0)"];
    }
    // TMR0 of the 14-bit parts: unknown after power-on by the data sheet; gpsim starts some parts
    // at 0xFF. Ours takes gpsim's value (the timer is stopped by OPTION_REG's power-on value).
    if (const int tmr0 = device->RegisterAddress("TMR0"); tmr0 >= 0 && device->core == TCore::Pic14
        && (gp->registers[tmr0]->get_value() & 0xFF) != diff.m_sim.PeekData(tmr0)) {
        diff.m_sim.PokeData(tmr0, uint8_t(gp->registers[tmr0]->get_value()));
        ++known["the power-on value of TMR0 (unknown by the data sheet; gpsim 0xFF on some parts)"];
    }
    uint64_t base = get_cycles().get() - diff.m_sim.Cycles();

    std::string first = diff.Compare(base);
    if (!first.empty()) {
        std::printf("difference after reset:\n%s", first.c_str());
        if (!o.keepGoing)
            return 1;
    }
    uint64_t resetsSeen = UINT64_MAX;
    for (long step = 1; step <= o.steps; ++step) {
        const TState before = diff.Ours();
        const uint32_t word = device->IsPic18() ? diff.m_sim.ProgramWord(before.pc / 2)
                                                : diff.m_sim.ProgramWord(before.pc);
        const uint32_t index = device->IsPic18() ? before.pc / 2 : before.pc;
        const bool isProgrammed = index < programmed.size() && programmed[index];
        const char *why = KnownDifference(diff.m_sim, word, isProgrammed);
        if (o.random && (device->core == TCore::Pic14 || device->IsBaseline())) {
            // An INDF operand reaching a peripheral register: the comparison would be one of pin and
            // peripheral models, not of the core; the run ends there.
            const bool indf = device->IsBaseline() ? (word & 0x1F) == 0 && word >= 0x020 && word < 0x800
                                                   : (word & 0x7F) == 0 && word >= 0x0080 && word < 0x2000;
            if (indf) {
                const int fsr = diff.m_sim.PeekData(4);
                const int address = device->IsBaseline() ? fsr & (diff.m_sim.DataSize() - 1)
                                                         : (fsr | (diff.m_sim.Status() & 0x80) << 1);
                static const std::set<std::string> core = {"INDF", "PCL", "STATUS", "FSR", "PCLATH"};
                const std::vector<std::string> names = device->RegisterNames(address);
                const TRole role = diff.m_sim.RoleOf(address);
                if ((!names.empty() && !core.count(names.front())) || role == roPort || role == roTmr0) {
                    std::printf("ok: %ld steps, stopped where INDF reached the register at 0x%03X\n", step - 1,
                                unsigned(address));
                    for (const auto &[text, count] : known)
                        std::printf("  known difference, %ld times: %s\n", count, text.c_str());
                    return 0;
                }
            }
        }
        if (o.random && device->core == TCore::Pic14E && ((word & 0x3F00) == 0x3F00 || (word & 0x3FF0) == 0x0010)) {
            // MOVIW/MOVWI reaching a register rather than RAM ends the run, as INDF does on the
            // older cores.
            const bool offset = (word & 0x3F00) == 0x3F00;
            const unsigned n = offset ? (word >> 6) & 1 : (word >> 2) & 1;
            const int low = diff.m_sim.RegisterAddress(n ? "FSR1L" : "FSR0L");
            int fsr = diff.m_sim.PeekData(low) | diff.m_sim.PeekData(low + 1) << 8;
            if (offset)
                fsr += int8_t(uint8_t((word & 0x3F) << 2)) >> 2;
            else if ((word & 3) == 0)
                ++fsr;
            else if ((word & 3) == 1)
                --fsr;
            fsr &= 0xFFFF;
            if (fsr < 0x1000 && (fsr & 0x7F) < 0x20) {
                std::printf("ok: %ld steps, stopped where FSR%u reached the register at 0x%03X\n", step - 1, n,
                            unsigned(fsr));
                for (const auto &[text, count] : known)
                    std::printf("  known difference, %ld times: %s\n", count, text.c_str());
                return 0;
            }
        }
        if (o.random && device->core == TCore::Pic14E) {
            for (const char *name : {"FSR0L", "FSR1L"}) {
                const int low = diff.m_sim.RegisterAddress(name);
                const int fsr = diff.m_sim.PeekData(low) | diff.m_sim.PeekData(low + 1) << 8;
                if (fsr >= 0x1000 - 0x40) {
                    std::printf("ok: %ld steps, stopped where %s reached 0x%04X\n", step - 1, name, unsigned(fsr));
                    for (const auto &[text, count] : known)
                        std::printf("  known difference, %ld times: %s\n", count, text.c_str());
                    return 0;
                }
            }
        }
        if (o.random && device->IsPic18()) {
            // The random stream moves FSRs freely; once one reaches the special function registers the
            // run compares peripherals rather than the core, and ends.
            for (const char *name : {"FSR0L", "FSR1L", "FSR2L"}) {
                const int low = diff.m_sim.RegisterAddress(name);
                const int fsr = diff.m_sim.PeekData(low) | (diff.m_sim.PeekData(low + 1) & 0x0F) << 8;
                // PLUSWn reaches FSRn plus the signed W.
                const int plusW = (fsr + int8_t(diff.m_sim.W())) & 0xFFF;
                if (fsr >= 0x600 - 0x80 || plusW >= 0x600) {
                    std::printf("ok: %ld steps, stopped where %s reached 0x%03X\n", step - 1, name,
                                unsigned(fsr >= 0x600 - 0x80 ? fsr : plusW));
                    for (const auto &[text, count] : known)
                        std::printf("  known difference, %ld times: %s\n", count, text.c_str());
                    return 0;
                }
            }
        }
        if (!why && device->IsPic18() && (word & 0xFFFC) == 0x0008) {
            // A table read beyond the implemented memory: the data sheet reads 0; gpsim reads 0xFF.
            const uint32_t ptr = diff.m_sim.PeekData(0xFF6) | diff.m_sim.PeekData(0xFF7) << 8
                                 | (diff.m_sim.PeekData(0xFF8) & 0x3F) << 16;
            const uint32_t at = (word & 3) == 3 ? (ptr + 1) & 0x3FFFFF : ptr;
            if (at >= diff.m_sim.ProgramWords() * 2 && !(at >= 0x200000 && at < 0x200008)
                && device->ConfigIndex(at) < 0)
                why = "a table read beyond the implemented memory (the data sheet reads 0; gpsim reads 0xFF)";
            else if (at / 2 < programmed.size() && !programmed[at / 2])
                why = "a table read of program memory the program does not set (erased flash reads 0xFF; gpsim "
                      "reads its empty-word marker 0x3FFF)";
        }
        if (why && (std::strstr(why, "refuses") || std::strstr(why, "gpsim stops"))) {
            std::printf("ok: %ld steps, stopped before a known difference: %s\n", step - 1, why);
            return 0;
        }
        // RAM the FSRs point at before and after the step (for bringing gpsim back).
        std::vector<int> touched;
        auto addTouched = [&]() {
            if (!device->IsPic18() && device->core != TCore::Pic14E)
                return;
            for (const char *name : {"FSR0L", "FSR1L", "FSR2L"}) {
                const int low = diff.m_sim.RegisterAddress(name);
                if (low < 0)
                    continue;
                const int fsr = device->IsPic18()
                                    ? diff.m_sim.PeekData(low) | (diff.m_sim.PeekData(low + 1) & 0x0F) << 8
                                    : diff.m_sim.PeekData(low) | diff.m_sim.PeekData(low + 1) << 8;
                for (int d = -1; d <= 1; ++d)
                    if (fsr + d >= 0 && fsr + d < (device->IsPic18() ? 0xF60 : 0x1000) && !device->RegisterNames(fsr + d).size())
                        touched.push_back(fsr + d);
            }
        };
        if (why)
            addTouched();
        const bool inInterruptBefore = diff.m_inInterrupt;
        const uint64_t unimplementedBefore = diff.m_sim.UnimplementedAccesses();
        const uint64_t interruptsBefore = diff.m_sim.InterruptsTaken();
        const uint64_t gpBefore = get_cycles().get();
        diff.m_sim.Step();
        gp->step(1, false);
        if (why)
            addTouched();
        if (diff.m_sim.InterruptsTaken() != interruptsBefore && before.pc != diff.m_sim.Pc()
            && diff.m_sim.StackDepth() > 0 && diff.GpPc() != diff.m_sim.Pc()) {
            // An interrupt that fell due in the last cycle of a two-cycle instruction: gpsim ends the
            // instruction a cycle early and enters the interrupt in its next step; the data sheet's
            // instruction keeps both cycles. gpsim takes that step too, and its clock then gets the
            // cycle it left out, so that its timers count on from the same moment as ours.
            gp->step(1, false);
            if (diff.GpPc() == diff.m_sim.Pc()) {
                while (get_cycles().get() - base < diff.m_sim.Cycles())
                    get_cycles().increment();
                base = get_cycles().get() - diff.m_sim.Cycles();
                ++known["an interrupt falling due in the second cycle of a two-cycle instruction (gpsim ends the "
                        "instruction a cycle early and enters the interrupt a step later)"];
            }
        }
        if (diff.m_sim.InterruptsTaken() == interruptsBefore && !diff.m_sim.Sleeping()
            && int(gp->stack->pointer) == diff.m_sim.StackDepth() + 1 && diff.GpPc() != diff.m_sim.Pc()
            && (diff.GpPc() == 0x04 || (device->IsPic18() && (diff.GpPc() == 0x08 || diff.GpPc() == 0x18)))) {
            // An interrupt whose flag rose on the last edge of the instruction: gpsim enters it within
            // that instruction's step, the engine as a step of its own. Both reach the vector in the
            // same cycle; the engine takes its step too.
            diff.m_sim.Step();
            if (diff.m_sim.InterruptsTaken() != interruptsBefore && diff.GpPc() == diff.m_sim.Pc())
                ++known["an interrupt whose flag rose on an instruction's last edge (gpsim enters it in that "
                        "instruction's step, the engine in a step of its own; both in the same cycle)"];
        }
        if (diff.m_txifAddr >= 0 && diff.GpPc() != diff.m_sim.Pc()
            && ((diff.m_sim.PeekData(diff.m_txifAddr) ^ gp->registers[diff.m_txifAddr]->get_value()) & diff.m_txifMask)) {
            // TXIF rising at a different moment (see CompareMask) and an interrupt on it: from here
            // the two run different code.
            std::printf("ok: %ld steps, stopped at a known difference: the moment TXIF rises (the data sheet "
                        "starts a character on the baud generator's next tick; gpsim's generator keeps its own "
                        "phase)\n",
                        step - 1);
            for (const auto &[text, count] : known)
                std::printf("  known difference, %ld times: %s\n", count, text.c_str());
            return 0;
        }
        if (device->IsPic18() && inInterruptBefore && diff.m_sim.InterruptsTaken() != interruptsBefore
            && diff.m_sim.Pc() == 0x08 && diff.GpPc() != diff.m_sim.Pc()) {
            // A high-priority interrupt inside the low-priority routine: the data sheet's high-priority
            // interrupt overrides a low-priority one in progress; gpsim enters no interrupt before the
            // routine's RETFIE. From here the two run different code.
            std::printf("ok: %ld steps, stopped at a known difference: a high-priority interrupt during the "
                        "low-priority routine (the data sheet nests it; gpsim waits for RETFIE)\n",
                        step - 1);
            for (const auto &[text, count] : known)
                std::printf("  known difference, %ld times: %s\n", count, text.c_str());
            return 0;
        }
        if (diff.m_sim.UnimplementedAccesses() != unimplementedBefore
            && diff.m_sim.Cycles() - before.cycles == get_cycles().get() - gpBefore + 1) {
            base -= 1;
            ++known["an access to an unimplemented data address (the chip reads 0 and ignores writes; gpsim "
                    "reports an invalid register and counts one cycle less)"];
        }
        if (device->IsPic18() && diff.m_sim.LastResetCause() == TResetCause::StackOverflow
            && diff.m_sim.Pc() == 0 && resetsSeen != diff.m_sim.Cycles()) {
            // A stack fault reset: the data sheet clears TBLPTR and TABLAT on every reset (gpsim keeps
            // them) and gives no time for the faulting instruction (gpsim counts one cycle less).
            resetsSeen = diff.m_sim.Cycles();
            why = "a stack fault reset (the data sheet clears the stack pointer, TBLPTR, TABLAT, BSR and INTCON; "
                  "gpsim keeps them and counts one cycle less for the faulting instruction)";
            gp->stack->pointer = diff.m_sim.StackDepth();
            for (const char *name : {"TBLPTRL", "TBLPTRH", "TBLPTRU", "TABLAT", "BSR", "INTCON"})
                if (const int a = diff.m_sim.RegisterAddress(name); a >= 0)
                    gp->registers[a]->put_value(diff.m_sim.PeekData(a));
            base = get_cycles().get() - diff.m_sim.Cycles();
        }
        // Entering an interrupt clears GIE (the data sheet); gpsim keeps its own note of being in the
        // interrupt routine and its INTCON shows GIE set until RETFIE. GIE is not compared in there.
        if (diff.m_sim.InterruptsTaken() != interruptsBefore) {
            diff.m_inInterrupt = true;
            ++known["GIE inside an interrupt routine (the data sheet clears it on entry; gpsim's INTCON shows "
                    "it set)"];
        } else if ((word == 0x0009 && !device->IsPic18() && !device->IsBaseline())
                   || ((word & 0xFFFE) == 0x0010 && device->IsPic18())) {
            diff.m_inInterrupt = false;
        }
        const char *shortWhy = nullptr;
        if (const unsigned shortfall = GpsimShortCycles(diff.m_sim, word, &shortWhy)) {
            base -= shortfall;
            ++known[shortWhy];
        }
        if (device->core == TCore::Pic14E) {
            // STATUS bits 7-5 and PCLATH bits 6-5 of the enhanced core: the data sheet implements
            // PCLATH<6:0> and nothing above /TO in STATUS; gpsim keeps STATUS<7:5> and cuts PCLATH to
            // five bits. gpsim takes our values so that later reads and jumps agree.
            const unsigned gpStatus = gp->status->get_value() & 0xFF;
            if (gpStatus != diff.m_sim.Status() && (gpStatus & 0x1F) == diff.m_sim.Status()) {
                gp->status->put_value(diff.m_sim.Status());
                ++known["STATUS bits 7-5 of the enhanced 14-bit core (unimplemented, read 0; gpsim stores them)"];
            }
            const int pclath = diff.m_sim.RegisterAddress("PCLATH");
            const unsigned ours = diff.m_sim.PeekData(pclath);
            const unsigned theirs = gp->registers[pclath]->get_value() & 0xFF;
            if (ours != theirs && (ours & 0x1F) == (theirs & 0x1F)) {
                gp->registers[pclath]->put_value(ours);
                ++known["PCLATH bits 6-5 of the enhanced 14-bit core (the data sheet implements PCLATH<6:0>; gpsim "
                        "keeps five bits)"];
            }
        }
        if (!why && device->IsPic18()) {
            // OV after an addition: the data sheet's OV is the two's-complement overflow (carry into
            // bit 7 differs from the carry out); gpsim sets it by other rules (ADDWF/ADDLW: the result's
            // sign differs from W's, ADDWFC: from the file's, INCF: the result's sign).
            const bool addition = (word & 0xFC00) == 0x2400 || (word & 0xFC00) == 0x2000 || (word & 0xFF00) == 0x0F00
                                  || (word & 0xFC00) == 0x2800;
            if (addition && ((gp->status->get_value() ^ diff.m_sim.Status()) & 0x1F) == 0x08)
                why = "OV after ADDWF, ADDWFC, ADDLW or INCF (the data sheet's two's-complement overflow; "
                      "gpsim compares signs instead)";
        }
        if (why) {
            // gpsim's PC, W and STATUS take ours, and the comparison goes on.
            ++known[why];
            gp->pc->put_value(diff.m_sim.Pc());
            gp->Wput(diff.m_sim.W());
            gp->status->put_value(diff.m_sim.Status());
            if (const int pclath = diff.m_sim.RegisterAddress("PCLATH"); pclath >= 0)
                gp->registers[pclath]->put_value(diff.m_sim.PeekData(pclath));
            if (device->IsPic18() || device->core == TCore::Pic14E) {
                // The FSRs and the RAM they point at take our values.
                for (const char *name : {"FSR0L", "FSR0H", "FSR1L", "FSR1H", "FSR2L", "FSR2H"})
                    if (const int a = diff.m_sim.RegisterAddress(name); a >= 0)
                        gp->registers[a]->put_value(diff.m_sim.PeekData(a));
                for (int a : touched)
                    gp->registers[a]->put_value(diff.m_sim.PeekData(a));
                for (const char *name : {"TABLAT", "TBLPTRL", "TBLPTRH", "TBLPTRU"})
                    if (const int a = diff.m_sim.RegisterAddress(name); a >= 0)
                        gp->registers[a]->put_value(diff.m_sim.PeekData(a));
            }
        }
        diff.m_history.push_back("step " + std::to_string(step) + " at " + Hex(before.pc, 4) + " word " + Hex(word, 4)
                                 + " -> " + diff.Describe(diff.Ours()) + " stack " + std::to_string(diff.m_sim.StackDepth())
                                 + "/" + std::to_string(gp->stack->pointer)
                                 + (device->IsPic18() ? " TBLPTR=" + Hex(unsigned(diff.m_sim.PeekData(0xFF6) | diff.m_sim.PeekData(0xFF7) << 8 | diff.m_sim.PeekData(0xFF8) << 16), 6) + " FSR1=" + Hex(unsigned(diff.m_sim.PeekData(0xFE1) | diff.m_sim.PeekData(0xFE2) << 8), 3) + " FSR2=" + Hex(unsigned(diff.m_sim.PeekData(0xFD9) | diff.m_sim.PeekData(0xFDA) << 8), 3) : " FSR=" + Hex(diff.m_sim.PeekData(4), 2)));
        if (diff.m_history.size() > 12)
            diff.m_history.pop_front();
        const std::string d = diff.Compare(base);
        if (!d.empty() && o.keepGoing) {
            std::printf("%s\n%s", diff.m_history.back().c_str(), d.c_str());
            for (const std::string &name : o.show)
                if (const int a = diff.m_sim.RegisterAddress(name); a >= 0)
                    std::printf("    %s ours %02X gpsim %02X\n", name.c_str(), unsigned(diff.m_sim.PeekData(a)),
                                unsigned(gp->registers[a]->get_value() & 0xFF));
            continue;
        }
        if (!d.empty()) {
            std::printf("difference at step %ld:\n", step);
            for (const std::string &h : diff.m_history)
                std::printf("  %s\n", h.c_str());
            std::printf("%s", d.c_str());
            return 1;
        }
        if (o.verbose) {
            TState theirs = diff.Theirs();
            theirs.cycles -= base;
            std::printf("%s\n    gpsim %s (base %llu)\n", diff.m_history.back().c_str(), diff.Describe(theirs).c_str(),
                        (unsigned long long)base);
            for (const std::string &name : o.show)
                if (const int a = diff.m_sim.RegisterAddress(name); a >= 0)
                    std::printf("    %s ours %02X gpsim %02X\n", name.c_str(), unsigned(diff.m_sim.PeekData(a)),
                                unsigned(gp->registers[a]->get_value() & 0xFF));
        }
    }
    std::printf("ok: %ld steps\n", o.steps);
    for (const auto &[why, count] : known)
        std::printf("  known difference, %ld times: %s\n", count, why.c_str());
    return 0;
}
