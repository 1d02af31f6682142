// Events, interrupts and peripherals: Timer0, Timer1/Timer3, Timer2, the USART, the data
// EEPROM, the watchdog, SLEEP and the ports. Each peripheral keeps the cycle its registers were
// last brought up to date and the cycle of its next event; the run loop only looks at the
// earliest event.

#include "simcore.h"

#include "simconst.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kiv::sim {

namespace {

// Instruction cycles between two looks at a stop request while running.
constexpr uint64_t kPollCycles = 20000;

}  // namespace

// ---- interrupts ------------------------------------------------------------------------------

void TSimulator::BuildInterrupts()
{
    m_irqGroups.clear();
    if (m_intcon < 0)
        return;
    const bool pic18 = m_dev.IsPic18();
    TIrqGroup core;
    core.flagAddr = core.enableAddr = m_intcon;
    core.enableShift = 3;
    core.mask = 0x07;
    if (pic18) {
        core.prioAddr = m_dev.RegisterAddress("INTCON2");
        core.alwaysHigh = 0x02;   // INT0 has no priority bit
    }
    m_irqGroups.push_back(core);
    if (pic18) {
        if (const int intcon3 = m_dev.RegisterAddress("INTCON3"); intcon3 >= 0) {
            TIrqGroup g;
            g.flagAddr = g.enableAddr = g.prioAddr = intcon3;
            g.enableShift = 3;
            g.prioShift = 6;
            g.mask = 0x03;
            m_irqGroups.push_back(g);
        }
    }
    // The data EEPROM interrupt of the oldest 14-bit parts: flag in EECON1, enable in INTCON.
    if (const int eeie = m_dev.BitOf("INTCON", "EEIE"); eeie >= 0 && m_eecon1 >= 0) {
        const int eeif = m_dev.BitOf("EECON1", "EEIF");
        if (eeif >= 0) {
            TIrqGroup g;
            g.flagAddr = m_eecon1;
            g.enableAddr = m_intcon;
            g.enableShift = eeie - eeif;
            g.mask = uint8_t(1u << eeif);
            m_irqGroups.push_back(g);
            m_eeifFlagAddr = m_eecon1;
            m_eeifFlagBit = eeif;
        }
    }
    for (int n = 1; n <= 9; ++n) {
        const std::string num = std::to_string(n);
        int pir = m_dev.RegisterAddress("PIR" + num);
        int pie = m_dev.RegisterAddress("PIE" + num);
        if (n == 1 && pir < 0) {
            pir = m_dev.RegisterAddress("PIR");
            pie = m_dev.RegisterAddress("PIE");
        }
        if (pir < 0 || pie < 0)
            continue;
        TIrqGroup g;
        g.flagAddr = pir;
        g.enableAddr = pie;
        g.mask = 0xFF;
        g.peripheral = true;
        if (pic18)
            g.prioAddr = m_dev.RegisterAddress("IPR" + num);
        m_irqGroups.push_back(g);
    }
    // Flags the peripherals set.
    auto findFlag = [&](std::initializer_list<const char *> names, int &addr, int &bit) {
        for (const char *n : names) {
            const auto [a, b] = m_dev.FindBit("PIR", n);
            if (a >= 0) {
                addr = a;
                bit = b;
                return;
            }
        }
    };
    findFlag({"TMR1IF"}, m_t16[0].flagAddr, m_t16[0].flagBit);
    findFlag({"TMR3IF"}, m_t16[1].flagAddr, m_t16[1].flagBit);
    findFlag({"TMR2IF"}, m_tmr2ifAddr, m_tmr2ifBit);
    findFlag({"TXIF", "TX1IF"}, m_txifAddr, m_txifBit);
    findFlag({"RCIF", "RC1IF"}, m_rcifAddr, m_rcifBit);
    if (m_eeifFlagAddr < 0)
        findFlag({"EEIF"}, m_eeifFlagAddr, m_eeifFlagBit);
}

void TSimulator::SetFlag(int address, int bit)
{
    if (address < 0 || bit < 0)
        return;
    m_ram[address] = uint8_t(m_ram[address] | (1u << bit));
    m_lastFlagCycle = m_flagCycle != UINT64_MAX ? m_flagCycle : m_cycles;
    UpdateIrq();
}

void TSimulator::UpdateIrq()
{
    m_irqLevel = 0;
    m_wakeRequest = false;
    if (m_intcon < 0)
        return;
    const uint8_t ic = m_ram[m_intcon];
    const bool pic18 = m_dev.IsPic18();
    const bool ipen = pic18 && m_rcon >= 0 && (m_ram[m_rcon] & 0x80);
    for (const TIrqGroup &g : m_irqGroups) {
        const uint8_t flags = m_ram[g.flagAddr] & g.mask;
        if (!flags)
            continue;
        const uint8_t enables = uint8_t(g.enableShift >= 0 ? m_ram[g.enableAddr] >> g.enableShift
                                                           : m_ram[g.enableAddr] << -g.enableShift);
        const uint8_t active = flags & enables;
        if (!active)
            continue;
        if (!ipen) {
            if (g.peripheral && !(ic & 0x40))
                continue;
            m_wakeRequest = true;
            if (ic & 0x80)
                m_irqLevel = pic18 ? 2 : 1;
            continue;
        }
        const uint8_t prio = uint8_t((g.prioAddr >= 0 ? m_ram[g.prioAddr] >> g.prioShift : 0) | g.alwaysHigh);
        if (active & prio) {
            m_wakeRequest = true;
            if (ic & 0x80)
                m_irqLevel = 2;
        }
        if (active & ~prio) {
            m_wakeRequest = true;
            if ((ic & 0x80) && (ic & 0x40) && m_irqLevel < 1)
                m_irqLevel = 1;
        }
    }
    if (m_irqLevel || (m_sleeping && m_wakeRequest))
        ScheduleNow();
}

bool TSimulator::TakeInterrupt()
{
    if (!m_irqLevel || m_intcon < 0)
        return false;
    uint8_t &ic = m_ram[m_intcon];
    Push(m_pc);
    if (m_dev.IsPic18()) {
        m_fastW = m_w;
        m_fastStatus = StatusRef();
        m_fastBsr = m_bsr >= 0 ? m_ram[m_bsr] : 0;
        const bool ipen = m_rcon >= 0 && (m_ram[m_rcon] & 0x80);
        if (m_irqLevel == 2 || !ipen) {
            ic &= uint8_t(~0x80);
            m_pc = 0x08 / 2;
        } else {
            ic &= uint8_t(~0x40);
            m_pc = 0x18 / 2;
        }
    } else {
        if (m_dev.core == TCore::Pic14E && m_shadowBase >= 0) {
            uint8_t *s = m_ram + m_shadowBase;
            s[0] = StatusRef() & 0x07;
            s[1] = m_w;
            s[2] = m_ram[m_bsr];
            s[3] = m_ram[m_pclath];
            s[4] = m_ram[m_fsr[0]];
            s[5] = m_ram[m_fsrh[0]];
            s[6] = m_ram[m_fsr[1]];
            s[7] = m_ram[m_fsrh[1]];
        }
        ic &= uint8_t(~0x80);
        m_pc = 4;
    }
    m_cycles += kInterruptCycles;
    m_tookInterrupt = true;
    ++m_interruptsTaken;
    UpdateIrq();
    return true;
}

// ---- events ----------------------------------------------------------------------------------

void TSimulator::Reschedule()
{
    uint64_t next = std::min(m_pollAt, m_runEnd);
    next = std::min({next, m_t0Overflow, m_t16[0].overflow, m_t16[1].overflow, m_t16[0].flagAt, m_t16[1].flagAt,
                     m_t2Match, m_t2FlagAt, m_txDone, m_txLoad,
                     m_txMove, m_rxNext,
                     m_eeDone, m_adDone, m_wdtExpire});
    if ((m_irqLevel && !m_sleeping) || (m_sleeping && m_wakeRequest) || m_stackOverflow)
        next = std::min(next, std::max(m_irqEarliest, m_cycles));
    m_nextEvent = next;
}

TStop TSimulator::HandleEvents()
{
    m_tookInterrupt = false;
    if (m_stopRequest.exchange(false, std::memory_order_relaxed))
        return TStop::StopRequest;
    if (m_cycles >= m_runEnd)
        return TStop::CycleLimit;
    const uint64_t now = m_cycles;
    if (now >= m_t0Overflow) {
        m_flagCycle = m_t0Overflow;
        SyncTimer0();
        Timer0Changed();
    }
    for (int t = 0; t < 2; ++t)
        if (now >= m_t16[t].overflow) {
            m_flagCycle = m_t16[t].overflow;
            SyncTimer(t);
            TimerChanged(t);
        }
    if (now >= m_t2Match) {
        m_flagCycle = m_t2Match;
        SyncTimer2();
        Timer2Changed();
    }
    for (TTimer16 &t : m_t16)
        if (now >= t.flagAt) {
            m_flagCycle = t.flagAt;
            t.flagAt = UINT64_MAX;
            SetFlag(t.flagAddr, t.flagBit);
        }
    if (now >= m_t2FlagAt) {
        m_flagCycle = m_t2FlagAt;
        m_t2FlagAt = UINT64_MAX;
        SetFlag(m_tmr2ifAddr, m_tmr2ifBit);
    }
    m_flagCycle = UINT64_MAX;
    UartTick();
    if (now >= m_eeDone) {
        m_eeDone = UINT64_MAX;
        if (m_eeWriteAddr < m_eeprom.size())
            m_eeprom[m_eeWriteAddr] = m_eeWriteData;
        if (m_eecon1 >= 0)
            m_ram[m_eecon1] &= uint8_t(~0x02);
        SetFlag(m_eeifFlagAddr, m_eeifFlagBit);
    }
    if (now >= m_adDone) {
        m_flagCycle = m_adDone;
        AdcFinish();
        m_flagCycle = UINT64_MAX;
    }
    if (now >= m_wdtExpire) {
        m_wdtExpire = UINT64_MAX;
        if (m_sleeping && !m_dev.IsBaseline()) {
            // A time-out during SLEEP wakes the part: /TO = 0, /PD = 0.
            WakeUp();
            if (m_dev.IsPic18()) {
                if (m_rcon >= 0)
                    m_ram[m_rcon] &= uint8_t(~0x18);
            } else {
                StatusRef() &= uint8_t(~0x18);
            }
            ClearWatchdog();
        } else {
            const bool wasSleeping = m_sleeping;
            Reset(TResetCause::Watchdog);
            if (wasSleeping)
                StatusRef() &= uint8_t(~0x18);
            m_tookInterrupt = true;
        }
    }
    if (m_stackOverflow)
        StackFault();
    if (m_sleeping && m_wakeRequest) {
        if (m_dev.IsBaseline()) {
            Reset(TResetCause::Mclr);
        } else {
            WakeUp();
            // The instruction after SLEEP runs before the interrupt is entered.
            m_irqEarliest = m_cycles + 1;
        }
    }
    // A single step ends with the interrupt a flag raised during its instruction; one raised on the
    // step's last edge is entered by the next step, as its own step.
    if (m_irqLevel && !m_sleeping && m_cycles >= m_irqEarliest && !(m_stepTail && m_lastFlagCycle >= m_cycles))
        TakeInterrupt();
    m_pollAt = m_cycles + kPollCycles;
    Reschedule();
    return TStop::None;
}

void TSimulator::StackFault()
{
    m_stackOverflow = false;
    const TSimConfigSetting *stvren = m_dev.Setting("STVREN");
    if (!stvren)
        stvren = m_dev.Setting("STVR");
    if (!stvren)
        return;
    const std::string option = stvren->OptionOf(ConfigWord(m_dev.ConfigIndex(stvren->address)));
    if (option == "ON") {
        // A stack overflow or underflow resets the part.
        Reset(TResetCause::StackOverflow);
        m_tookInterrupt = true;
    }
}

void TSimulator::StepAsleep()
{
    ++m_cycles;
    if (m_cycles >= m_nextEvent) {
        m_stepTail = true;
        HandleEvents();
        m_stepTail = false;
    }
}

void TSimulator::EnterSleep()
{
    if (m_wakeRequest) {
        // An enabled interrupt is already pending: SLEEP completes as a NOP.
        return;
    }
    SyncTimer0();
    SyncTimer(0);
    SyncTimer(1);
    SyncTimer2();
    AdcSleep();
    m_sleeping = true;
    if (m_dev.IsPic18()) {
        if (m_rcon >= 0)
            m_ram[m_rcon] = uint8_t((m_ram[m_rcon] & ~0x08) | 0x10);
    } else {
        StatusRef() = uint8_t((StatusRef() & ~0x08) | 0x10);
    }
    ClearWatchdog();
    Timer0Changed();
    TimerChanged(0);
    TimerChanged(1);
    Timer2Changed();
    ScheduleNow();
}

void TSimulator::WakeUp()
{
    // Time did not count for the timers while asleep.
    m_t0Sync = std::max(m_t0Sync, m_cycles);
    for (TTimer16 &t : m_t16)
        t.sync = std::max(t.sync, m_cycles);
    m_t2Sync = std::max(m_t2Sync, m_cycles);
    m_sleeping = false;
    Timer0Changed();
    TimerChanged(0);
    TimerChanged(1);
    Timer2Changed();
    ClearWatchdog();
}

bool TSimulator::PushInput(uint8_t byte)
{
    const uint32_t head = m_inputHead.load(std::memory_order_relaxed);
    const uint32_t tail = m_inputTail.load(std::memory_order_acquire);
    if (head - tail >= m_inputRing.size())
        return false;
    m_inputRing[head % m_inputRing.size()].store(byte, std::memory_order_relaxed);
    m_inputHead.store(head + 1, std::memory_order_release);
    return true;
}

// ---- watchdog --------------------------------------------------------------------------------

uint8_t TSimulator::OptionValue() const
{
    if (m_dev.IsBaseline())
        return m_baselineOption;
    return m_option >= 0 ? m_ram[m_option] : 0xFF;
}

bool TSimulator::WatchdogEnabled() const
{
    const TSimConfigSetting *s = nullptr;
    for (const char *name : {"WDTE", "WDT", "WDTEN"})
        if (!s)
            s = m_dev.Setting(name);
    if (!s)
        return false;
    const std::string option = s->OptionOf(ConfigWord(m_dev.ConfigIndex(s->address)));
    if (option == "ON")
        return true;
    if (option == "SWDTEN" || option == "SWON" || option == "SWDTDIS")
        return m_wdtcon >= 0 && (m_ram[m_wdtcon] & 0x01);
    if (option == "NSLEEP" || option == "NOSLP")
        return !m_sleeping;
    return false;
}

uint64_t TSimulator::WatchdogPeriod() const
{
    double seconds = 0.018;
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E:
    case TCore::Pic14: {
        const uint8_t option = OptionValue();
        if (option & 0x08)
            seconds *= double(1u << (option & 7));
        break;
    }
    case TCore::Pic14E: {
        const unsigned ps = m_wdtcon >= 0 ? (m_ram[m_wdtcon] >> 1) & 0x1F : 11;
        seconds = double(1ull << (std::min(ps, 18u) + 5)) / 31000.0;
        break;
    }
    case TCore::Pic18: {
        const TSimConfigSetting *ps = m_dev.Setting("WDTPS");
        double post = 128;
        if (ps) {
            const std::string option = ps->OptionOf(ConfigWord(m_dev.ConfigIndex(ps->address)));
            if (!option.empty())
                post = std::atof(option.c_str());
        }
        seconds = (m_dev.Setting("WDTEN") ? 0.004 : 0.018) * std::max(post, 1.0);
        break;
    }
    }
    return uint64_t(std::max(1.0, std::llround(seconds * m_clockHz / 4.0) * 1.0));
}

void TSimulator::ClearWatchdog()
{
    m_wdtStart = m_cycles;
    WatchdogChanged();
}

void TSimulator::WatchdogChanged()
{
    m_wdtExpire = WatchdogEnabled() ? m_wdtStart + WatchdogPeriod() : UINT64_MAX;
    if (m_wdtExpire <= m_cycles)
        m_wdtExpire = m_cycles + 1;
}

// ---- Timer0 ----------------------------------------------------------------------------------

bool TSimulator::Timer0Counting() const
{
    if (m_sleeping || m_tmr0 < 0)
        return false;
    if (m_dev.IsPic18())
        return m_t0con >= 0 && (m_ram[m_t0con] & 0x80) && !(m_ram[m_t0con] & 0x20);
    return !(OptionValue() & 0x20);
}

uint8_t TSimulator::Timer0Prescale() const
{
    const uint8_t v = m_dev.IsPic18() ? (m_t0con >= 0 ? m_ram[m_t0con] : 0xFF) : OptionValue();
    return (v & 0x08) ? 0 : uint8_t((v & 7) + 1);
}

void TSimulator::SyncTimer0(uint64_t now)
{
    if (!Timer0Counting()) {
        m_t0Sync = std::max(m_t0Sync, now);
        return;
    }
    const uint64_t from = std::max(m_t0Sync, m_t0Start);
    m_t0Sync = std::max(m_t0Sync, now);
    if (now <= from)
        return;
    const unsigned shift = Timer0Prescale();
    const uint64_t total = m_t0Pre + (now - from);
    const uint64_t incs = total >> shift;
    m_t0Pre = uint32_t(total & ((1u << shift) - 1));
    if (!incs)
        return;
    const bool sixteen = m_dev.IsPic18() && m_tmr0h >= 0 && !(m_ram[m_t0con] & 0x40);
    bool overflow;
    if (sixteen) {
        const uint64_t value = (uint64_t(m_ram[m_tmr0h]) << 8 | m_ram[m_tmr0]) + incs;
        overflow = value > 0xFFFF;
        m_ram[m_tmr0] = uint8_t(value);
        m_ram[m_tmr0h] = uint8_t(value >> 8);
    } else {
        const uint64_t value = uint64_t(m_ram[m_tmr0]) + incs;
        overflow = value > 0xFF;
        m_ram[m_tmr0] = uint8_t(value);
    }
    if (overflow && m_intcon >= 0)
        SetFlag(m_intcon, 2);
}

void TSimulator::Timer0Changed()
{
    m_t0Overflow = UINT64_MAX;
    if (Timer0Counting()) {
        const bool sixteen = m_dev.IsPic18() && m_tmr0h >= 0 && !(m_ram[m_t0con] & 0x40);
        const uint64_t value = sixteen ? (uint64_t(m_ram[m_tmr0h]) << 8 | m_ram[m_tmr0]) : m_ram[m_tmr0];
        const uint64_t range = sixteen ? 0x10000 : 0x100;
        const unsigned shift = Timer0Prescale();
        const uint64_t ticks = ((range - value) << shift) - m_t0Pre;
        m_t0Overflow = std::max(m_t0Start, m_t0Sync) + ticks;
    }
    Reschedule();
}

// ---- Timer1 and Timer3 -----------------------------------------------------------------------

void TSimulator::SyncTimer(int n, uint64_t now)
{
    TTimer16 &t = m_t16[n];
    if (t.low < 0 || t.high < 0 || t.con < 0) {
        t.sync = now;
        return;
    }
    const uint8_t con = m_ram[t.con];
    const uint64_t from = t.sync;
    t.sync = std::max(t.sync, now);
    if (m_sleeping || !(con & 0x01) || now <= from)
        return;
    // Clock source: the instruction clock (or the oscillator, four counts per cycle on parts
    // with two source bits); an external clock does not count here.
    unsigned perCycle = 1;
    const std::string conName = n == 0 ? "T1CON" : "T3CON";
    const std::string csName = n == 0 ? "TMR1CS1" : "TMR3CS1";
    if (m_dev.BitOf(conName, csName) == 7) {
        const unsigned cs = (con >> 6) & 3;
        if (cs == 1)
            perCycle = 4;
        else if (cs != 0)
            return;
    } else if (con & 0x02) {
        return;
    }
    const unsigned shift = (con >> 4) & 3;
    const uint32_t preBefore = t.pre;
    const uint64_t total = t.pre + (now - from) * perCycle;
    const uint64_t incs = total >> shift;
    t.pre = uint32_t(total & ((1u << shift) - 1));
    if (!incs)
        return;
    const uint64_t before = uint64_t(m_ram[t.high]) << 8 | m_ram[t.low];
    const uint64_t value = before + incs;
    m_ram[t.low] = uint8_t(value);
    m_ram[t.high] = uint8_t(value >> 8);
    if (value > 0xFFFF) {
        // TMR1IF follows the overflow one cycle later.
        const uint64_t counts = ((0x10000 - before) << shift) - preBefore;
        t.flagAt = std::min(t.flagAt, from + (counts + perCycle - 1) / perCycle + 1);
        Reschedule();
    }
}

void TSimulator::TimerChanged(int n)
{
    TTimer16 &t = m_t16[n];
    t.overflow = UINT64_MAX;
    if (t.low >= 0 && t.high >= 0 && t.con >= 0 && !m_sleeping && (m_ram[t.con] & 0x01)) {
        const uint8_t con = m_ram[t.con];
        unsigned perCycle = 1;
        const std::string conName = n == 0 ? "T1CON" : "T3CON";
        const std::string csName = n == 0 ? "TMR1CS1" : "TMR3CS1";
        bool counts = true;
        if (m_dev.BitOf(conName, csName) == 7) {
            const unsigned cs = (con >> 6) & 3;
            perCycle = cs == 1 ? 4 : 1;
            counts = cs <= 1;
        } else {
            counts = !(con & 0x02);
        }
        if (counts) {
            const unsigned shift = (con >> 4) & 3;
            const uint64_t value = uint64_t(m_ram[t.high]) << 8 | m_ram[t.low];
            const uint64_t counts = ((0x10000 - value) << shift) - t.pre;
            t.overflow = t.sync + (counts + perCycle - 1) / perCycle;
        }
    }
    Reschedule();
}

// ---- Timer2 ----------------------------------------------------------------------------------

namespace {

unsigned Timer2Prescale(uint8_t con)
{
    switch (con & 3) {
    case 0: return 0;
    case 1: return 2;
    default: return 4;
    }
}

}  // namespace

void TSimulator::SyncTimer2(uint64_t now)
{
    const uint64_t from = m_t2Sync;
    m_t2Sync = std::max(m_t2Sync, now);
    if (m_tmr2 < 0 || m_pr2 < 0 || m_t2con < 0 || m_sleeping || now <= from)
        return;
    const uint8_t con = m_ram[m_t2con];
    if (!(con & 0x04))
        return;
    const unsigned shift = Timer2Prescale(con);
    const uint32_t preBefore = m_t2Pre;
    const uint64_t total = m_t2Pre + (now - from);
    uint64_t ticks = total >> shift;
    m_t2Pre = uint32_t(total & ((1u << shift) - 1));
    if (!ticks)
        return;
    unsigned value = m_ram[m_tmr2];
    const unsigned pr = m_ram[m_pr2];
    const unsigned period = pr + 1;
    if (value > pr) {
        // Counts up to 0xFF and wraps to 0 without a match.
        const unsigned toWrap = 256 - value;
        if (ticks < toWrap) {
            m_ram[m_tmr2] = uint8_t(value + ticks);
            return;
        }
        ticks -= toWrap;
        value = 0;
    }
    const unsigned toReset = pr - value + 1;
    if (ticks < toReset) {
        m_ram[m_tmr2] = uint8_t(value + ticks);
        return;
    }
    const uint64_t firstReset = (total >> shift) - ticks + toReset;   // ticks to the first reset
    ticks -= toReset;
    const uint64_t resets = 1 + ticks / period;
    m_ram[m_tmr2] = uint8_t(ticks % period);
    const unsigned post = ((con >> 3) & 0x0F) + 1;
    const uint64_t count = m_t2Post + resets;
    if (count >= post) {
        // TMR2IF follows the reset that completes the postscaler one cycle later.
        const uint64_t resetTicks = firstReset + uint64_t(post - 1 - m_t2Post) * period;
        m_t2FlagAt = std::min(m_t2FlagAt, from + (resetTicks << shift) - preBefore + 1);
        Reschedule();
    }
    m_t2Post = uint32_t(count % post);
}

void TSimulator::Timer2Changed()
{
    m_t2Match = UINT64_MAX;
    if (m_tmr2 >= 0 && m_pr2 >= 0 && m_t2con >= 0 && !m_sleeping && (m_ram[m_t2con] & 0x04)) {
        const uint8_t con = m_ram[m_t2con];
        const unsigned shift = Timer2Prescale(con);
        const unsigned value = m_ram[m_tmr2];
        const unsigned pr = m_ram[m_pr2];
        const uint64_t period = pr + 1;
        uint64_t ticks = value > pr ? (256 - value) + period : pr - value + 1;
        const unsigned post = ((con >> 3) & 0x0F) + 1;
        ticks += (post - 1 - std::min<unsigned>(m_t2Post, post - 1)) * period;
        m_t2Match = m_t2Sync + (ticks << shift) - m_t2Pre;
    }
    Reschedule();
}

// ---- USART -----------------------------------------------------------------------------------

uint64_t TSimulator::UartBitCycles() const
{
    const uint8_t txsta = m_txsta >= 0 ? m_ram[m_txsta] : 0;
    const bool brgh = txsta & 0x04;
    const bool brg16 = m_baudcon >= 0 && (m_ram[m_baudcon] & 0x08);
    unsigned n = m_spbrg >= 0 ? m_ram[m_spbrg] : 0;
    if (brg16 && m_spbrgh >= 0)
        n |= unsigned(m_ram[m_spbrgh]) << 8;
    const unsigned clocksPerBit = (brg16 ? (brgh ? 4 : 16) : (brgh ? 16 : 64)) * (n + 1);
    return std::max<uint64_t>(1, clocksPerBit / 4);
}

uint64_t TSimulator::UartCharCycles() const
{
    const uint8_t txsta = m_txsta >= 0 ? m_ram[m_txsta] : 0;
    return UartBitCycles() * ((txsta & 0x40) ? 11 : 10);
}

bool TSimulator::UartTxEnabled() const
{
    return m_txsta >= 0 && m_rcsta >= 0 && (m_ram[m_txsta] & 0x20) && (m_ram[m_rcsta] & 0x80);
}

void TSimulator::UartTxStart()
{
    if (!UartTxEnabled() || m_txBusy || !m_txPending)
        return;
    m_txShift = m_txPendingByte;
    m_txPending = false;
    m_txBusy = true;
    m_ram[m_txsta] &= uint8_t(~0x02);   // TRMT
    // The start bit begins on the next tick of the baud rate generator; the shift register is
    // empty again once the start bit and the data bits are out (the stop bit is the idle line).
    const uint64_t bit = UartBitCycles();
    const uint64_t start = m_brgStart + (m_cycles - m_brgStart + bit - 1) / bit * bit;
    m_txDone = start + bit * ((m_ram[m_txsta] & 0x40) ? 10 : 9);
    SetFlag(m_txifAddr, m_txifBit);     // TXREG is free again
    Reschedule();
}

void TSimulator::UartChanged()
{
    if (m_txsta < 0 || m_rcsta < 0) {
        m_txDone = m_rxNext = UINT64_MAX;
        return;
    }
    if (!UartTxEnabled()) {
        // Clearing TXEN (or SPEN) resets the transmitter.
        m_txBusy = false;
        m_txDone = UINT64_MAX;
        m_ram[m_txsta] |= 0x02;
    } else {
        if (!m_txBusy && !m_txPending)
            SetFlag(m_txifAddr, m_txifBit);
        UartTxStart();
    }
    if (!(m_ram[m_rcsta] & 0x80) || !(m_ram[m_rcsta] & 0x10))
        m_rxNext = UINT64_MAX;
    UartTick();
    Reschedule();
}

void TSimulator::UartTick()
{
    const uint64_t now = m_cycles;
    if (now >= m_txLoad) {
        m_txLoad = UINT64_MAX;
        if (m_txPending && m_txifAddr >= 0) {
            m_ram[m_txifAddr] &= uint8_t(~(1u << m_txifBit));
            UpdateIrq();
        }
        if (m_txPending && !m_txBusy)
            m_txMove = now + 1;
    }
    if (now >= m_txMove) {
        m_txMove = UINT64_MAX;
        UartTxStart();
    }
    if (now >= m_txDone) {
        m_txDone = UINT64_MAX;
        m_txBusy = false;
        if (m_txsta >= 0)
            m_ram[m_txsta] |= 0x02;
        if (m_output)
            m_output(m_txShift);
        UartTxStart();
    }
    if (m_rcsta < 0 || !(m_ram[m_rcsta] & 0x80) || !(m_ram[m_rcsta] & 0x10) || (m_ram[m_rcsta] & 0x02))
        return;   // receiver off, or stopped by an overrun until CREN is cleared
    const uint32_t tail = m_inputTail.load(std::memory_order_relaxed);
    const bool waiting = m_inputHead.load(std::memory_order_acquire) != tail;
    if (now >= m_rxNext) {
        m_rxNext = UINT64_MAX;
        if (waiting) {
            const uint8_t byte = m_inputRing[tail % m_inputRing.size()].load(std::memory_order_relaxed);
            m_inputTail.store(tail + 1, std::memory_order_release);
            if (m_rxCount < 2) {
                m_rxFifo[m_rxCount++] = byte;
                if (m_rcreg >= 0)
                    m_ram[m_rcreg] = m_rxFifo[0];
                SetFlag(m_rcifAddr, m_rcifBit);
            } else {
                m_ram[m_rcsta] |= 0x02;   // OERR: the byte is lost
            }
        }
    }
    if (m_rxNext == UINT64_MAX && m_inputHead.load(std::memory_order_acquire) != m_inputTail.load(std::memory_order_relaxed))
        m_rxNext = now + UartCharCycles();
}

// ---- data EEPROM -----------------------------------------------------------------------------

bool TSimulator::EepromTargetsData() const
{
    if (m_eecon1 < 0)
        return false;
    const uint8_t con = m_ram[m_eecon1];
    if (!m_dev.bits.count("EECON1") || m_dev.BitOf("EECON1", "EEPGD") < 0)
        return true;
    return !(con & 0x80) && !(m_dev.BitOf("EECON1", "CFGS") == 6 && (con & 0x40));
}

uint32_t TSimulator::EepromAddress() const
{
    uint32_t address = m_eeadr >= 0 ? m_ram[m_eeadr] : 0;
    if (m_eeadrh >= 0)
        address |= uint32_t(m_ram[m_eeadrh]) << 8;
    return address;
}

void TSimulator::EepromRead()
{
    if (m_eedata < 0)
        return;
    const uint32_t address = EepromAddress();
    if (EepromTargetsData()) {
        m_ram[m_eedata] = m_eeprom.empty() ? 0 : m_eeprom[address % m_eeprom.size()];
    } else if (m_dev.IsPic18()) {
        m_ram[m_eedata] = 0;
    } else {
        // Program memory read: EEDATH:EEDATA = the word at EEADRH:EEADR.
        const uint16_t word = ProgramWord(address);
        m_ram[m_eedata] = uint8_t(word);
        if (m_eedath >= 0)
            m_ram[m_eedath] = uint8_t(word >> 8);
        m_cycles += 1;
    }
}

void TSimulator::EepromStartWrite()
{
    if (!EepromTargetsData() || m_eeprom.empty()) {
        // Writes to program memory are not simulated: the write ends at once.
        m_ram[m_eecon1] &= uint8_t(~0x02);
        SetFlag(m_eeifFlagAddr, m_eeifFlagBit);
        return;
    }
    m_eeWriteAddr = EepromAddress() % uint32_t(m_eeprom.size());
    m_eeWriteData = m_eedata >= 0 ? m_ram[m_eedata] : 0;
    m_eeDone = m_cycles + std::max<uint64_t>(1, uint64_t(kEepromWriteSeconds * m_clockHz / 4.0));
    Reschedule();
}

// ---- ports -----------------------------------------------------------------------------------

// The external interrupt pins: INT (RB0, or RA2/GP2 on parts without PORTB) on the 12/14-bit
// cores, INT0..INT2 on RB0..RB2 on PIC18. A pin's edge in the direction its INTEDG bit selects
// raises the flag, also when the program drives the pin as an output.
void TSimulator::BuildIntPins()
{
    m_intPins.clear();
    if (m_intcon < 0)
        return;
    const bool portb = m_portAddr[1] != 0;
    auto add = [&](int port, int bit, const char *flagReg, const char *flag, const char *edgeReg, const char *edge) {
        TIntPin pin;
        pin.port = port;
        pin.bit = bit;
        pin.flagAddr = m_dev.RegisterAddress(flagReg);
        pin.flagBit = m_dev.BitOf(flagReg, flag);
        pin.edgeAddr = m_dev.RegisterAddress(edgeReg);
        pin.edgeBit = m_dev.BitOf(edgeReg, edge);
        if (pin.flagAddr >= 0 && pin.flagBit >= 0 && m_portAddr[size_t(port)])
            m_intPins.push_back(pin);
    };
    if (m_dev.IsPic18()) {
        add(1, 0, "INTCON", "INT0IF", "INTCON2", "INTEDG0");
        add(1, 1, "INTCON3", "INT1IF", "INTCON2", "INTEDG1");
        add(1, 2, "INTCON3", "INT2IF", "INTCON2", "INTEDG2");
    } else {
        add(portb ? 1 : 0, portb ? 0 : 2, "INTCON", "INTF", "OPTION_REG", "INTEDG");
    }
    for (int p = 0; p < 11; ++p)
        m_pinLevel[size_t(p)] = PortRead(p);
}

void TSimulator::PinsChanged(int port)
{
    const uint8_t level = PortRead(port);
    const uint8_t before = m_pinLevel[size_t(port)];
    m_pinLevel[size_t(port)] = level;
    if (level == before)
        return;
    for (const TIntPin &pin : m_intPins) {
        if (pin.port != port || !((level ^ before) & (1u << pin.bit)))
            continue;
        const bool rising = level & (1u << pin.bit);
        const bool wantRising = pin.edgeAddr < 0 || pin.edgeBit < 0 || (m_ram[pin.edgeAddr] & (1u << pin.edgeBit));
        if (rising == wantRising)
            SetFlag(pin.flagAddr, pin.flagBit);
    }
}

uint8_t TSimulator::PortRead(int port) const
{
    const size_t p = size_t(port);
    uint8_t tris;
    if (m_dev.IsBaseline())
        tris = m_baselineTris[p];
    else
        tris = m_trisAddr[p] ? m_ram[m_trisAddr[p] - 1] : 0xFF;
    return uint8_t(((m_latch[p] & ~tris) | (m_pinIn[p] & tris)) & m_pinMask[p]);
}

}  // namespace kiv::sim
