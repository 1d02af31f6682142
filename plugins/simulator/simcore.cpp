#include "simcore.h"

#include "simconst.h"

#include <algorithm>
#include <cstring>
#include <regex>

namespace kiv::sim {

namespace {

bool StartsWith(const std::string &s, const char *prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// "TRISB" -> 1, "PORTA" -> 0, "GPIO"/"TRISIO" -> 0; -1 for anything else.
int PortIndex(const std::string &name, const char *prefix)
{
    const size_t n = std::strlen(prefix);
    if (name.size() != n + 1 || !StartsWith(name, prefix))
        return -1;
    const char c = name[n];
    if (c < 'A' || c > 'K' || c == 'I')
        return -1;
    return c < 'I' ? c - 'A' : c - 'A' - 1;
}

}  // namespace

TSimulator::TSimulator(const TSimDevice &device) : m_dev(device)
{
    m_prog.assign(device.programWords, ErasedWord());
    m_config.resize(device.config.size());
    for (size_t i = 0; i < device.config.size(); ++i)
        m_config[i] = device.config[i].defaultValue;
    m_eeprom.assign(size_t(device.eepromBytes), 0xFF);
    switch (device.core) {
    case TCore::Pic12:
    case TCore::Pic12E: m_stackSize = device.core == TCore::Pic12E ? 4 : 2; break;
    case TCore::Pic14: m_stackSize = 8; break;
    case TCore::Pic14E: m_stackSize = 16; break;
    case TCore::Pic18: m_stackSize = 31; break;
    }
    // Program counter width: 12-bit cores up to 2K words, 14-bit 8K, enhanced 14-bit 32K words,
    // PIC18 2M bytes (1M words). The counter wraps within it.
    uint32_t span = 1;
    while (span < m_prog.size())
        span <<= 1;
    const uint32_t limit = device.IsPic18() ? (1u << 20) : device.core == TCore::Pic14E ? (1u << 15)
                           : device.core == TCore::Pic14 ? (1u << 13) : (1u << 11);
    m_pcMask = std::min(span, limit) - 1;
    m_code.resize(size_t(m_pcMask) + 1);
    BuildMemory();
    BuildInterrupts();
    BuildAdc();
    BuildIntPins();
    DecodeAll();
    Reset(TResetCause::PowerOn);
}

uint16_t TSimulator::ErasedWord() const
{
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E: return 0xFFF;
    case TCore::Pic14:
    case TCore::Pic14E: return 0x3FFF;
    case TCore::Pic18: return 0xFFFF;
    }
    return 0xFFFF;
}

// ---- data memory layout --------------------------------------------------------------------

void TSimulator::BuildMemory()
{
    const int size = m_dev.DataSize();
    m_dataSize = size;
    m_map.assign(size_t(size) + 1, 0);
    m_ramStore.assign(size_t(size) + 1, 0);
    m_ram = m_ramStore.data();
    m_role.assign(size_t(size) + 1, roPlain);
    m_aux.assign(size_t(size) + 1, 0);
    m_role[size_t(size)] = roUnimplemented;
    m_map[size_t(size)] = uint16_t(size | kReadSpecial | kWriteSpecial);

    const bool mid = m_dev.core == TCore::Pic14;
    const bool enhanced = m_dev.core == TCore::Pic14E;
    const bool baseline = m_dev.IsBaseline();
    const int bankSize = m_dev.bankSize;

    // 14-bit parts with four banks repeat the registers of banks 0 and 1 below 0x10 in banks 2
    // and 3 (TMR0, the ports, OPTION_REG, the TRIS registers) where the device data names nothing
    // else there and does not mark the address unimplemented.
    auto bankTwoMirror = [&](int a) -> int {
        if (!mid || a < 0x100 || (a & 0x7F) >= 0x10 || m_dev.IsBadRam(a))
            return -1;
        return m_dev.RegisterNames(a - 0x100).empty() ? -1 : a - 0x100;
    };

    std::vector<int> target(size_t(size), -1);   // alias target, -1 for itself
    for (int a = 0; a < size; ++a) {
        const int bank = a / bankSize;
        const int off = a % bankSize;
        if (bank > 0 && !m_dev.IsPic18()) {
            const bool core = (mid && (off <= 4 || off == 0x0A || off == 0x0B))
                              || (enhanced && off <= 0x0B) || (baseline && off < 0x10);
            const bool common = m_dev.commonFirst >= 0 && off >= m_dev.commonFirst && off <= m_dev.commonLast;
            if ((core && (!mid || off != 1)) || common) {
                target[size_t(a)] = off;
                continue;
            }
        }
        if (!m_dev.RegisterNames(a).empty())
            continue;
        if (const int m = bankTwoMirror(a); m >= 0) {
            target[size_t(a)] = m;
            continue;
        }
        if (m_dev.IsBadRam(a) || (m_dev.maxRam >= 0 && a > m_dev.maxRam))
            m_role[size_t(a)] = roUnimplemented;
    }

    for (int a = 0; a < size; ++a) {
        if (target[size_t(a)] < 0)
            for (const std::string &n : m_dev.RegisterNames(a))
                AssignRole(a, n);
    }
    for (int a = 0; a < size; ++a) {
        const int t = target[size_t(a)] >= 0 ? target[size_t(a)] : a;
        uint16_t entry = uint16_t(t);
        switch (m_role[size_t(t)]) {
        case roPlain: break;
        case roStatus:
        case roPclath:
        case roPclatu:
        case roBsr:
        case roIrq:
        case roOption:
        case roT0con:
        case roTcon:
        case roPr2:
        case roT2con:
        case roTxreg:
        case roRcsta:
        case roBaud:
        case roEecon1:
        case roTris:
        case roLat:
        case roWdtcon:
        case roFsr:
        case roFsrPart:
        case roPcon:
        case roAdcon:
            entry |= kWriteSpecial;
            break;
        case roIndf:
            entry |= kWriteSpecial | kReadSpecial | (m_dev.IsPic18() ? kIndirect : 0);
            break;
        case roTxsta:
        default:
            entry |= kWriteSpecial | kReadSpecial;
            break;
        }
        m_map[size_t(a)] = entry;
    }
}

void TSimulator::AssignRole(int address, const std::string &n)
{
    const size_t a = size_t(address);
    auto set = [&](TRole role, uint8_t aux = 0) {
        m_role[a] = role;
        m_aux[a] = aux;
    };
    const bool pic18 = m_dev.IsPic18();
    if (n == "INDF") {
        set(roIndf, 0);
    } else if (n == "INDF0" || n == "INDF1" || n == "INDF2") {
        set(roIndf, uint8_t((n[4] - '0') * 8 + kIndfPlain));
    } else if (pic18 && (StartsWith(n, "POSTINC") || StartsWith(n, "POSTDEC") || StartsWith(n, "PREINC")
                         || StartsWith(n, "PLUSW"))
               && n.size() >= 6 && n.back() >= '0' && n.back() <= '2') {
        const uint8_t mode = StartsWith(n, "POSTINC") ? kIndfPostInc : StartsWith(n, "POSTDEC") ? kIndfPostDec
                             : StartsWith(n, "PREINC")  ? kIndfPreInc
                                                        : kIndfPlusW;
        set(roIndf, uint8_t((n.back() - '0') * 8 + mode));
    } else if (n == "PCL") {
        set(roPcl);
    } else if (n == "STATUS") {
        set(roStatus);
        m_statusIndex = unsigned(address);
    } else if (n == "FSR") {
        set(roFsr);
        m_fsr[0] = address;
    } else if ((n == "FSR0L" || n == "FSR1L" || n == "FSR2L" || n == "FSR0H" || n == "FSR1H" || n == "FSR2H")) {
        const int i = n[3] - '0';
        set(roFsrPart, uint8_t(i * 2 + (n[4] == 'H')));
        (n[4] == 'H' ? m_fsrh : m_fsr)[i] = address;
    } else if (n == "PCLATH") {
        set(roPclath);
        m_pclath = address;
    } else if (n == "PCLATU") {
        set(roPclatu);
        m_pclatu = address;
    } else if (n == "BSR") {
        set(roBsr);
        m_bsr = address;
    } else if (n == "WREG") {
        set(roWreg);
    } else if (n == "INTCON" || n == "INTCON2" || n == "INTCON3" || n == "RCON"
               || std::regex_match(n, std::regex("(PIR|PIE|IPR)[0-9]*"))) {
        set(roIrq);
        if (n == "INTCON")
            m_intcon = address;
        if (n == "RCON")
            m_rcon = address;
    } else if (n == "TMR0" || n == "TMR0L") {
        set(roTmr0);
        m_tmr0 = address;
    } else if (n == "TMR0H") {
        set(roTmr0H);
        m_tmr0h = address;
    } else if (n == "OPTION_REG") {
        set(roOption);
        m_option = address;
    } else if (n == "T0CON") {
        set(roT0con);
        m_t0con = address;
    } else if (n == "TMR1L" || n == "TMR3L") {
        const int t = n[3] == '1' ? 0 : 1;
        set(roTmrL, uint8_t(t));
        m_t16[t].low = address;
    } else if (n == "TMR1H" || n == "TMR3H") {
        const int t = n[3] == '1' ? 0 : 1;
        set(roTmrH, uint8_t(t));
        m_t16[t].high = address;
    } else if (n == "T1CON" || n == "T3CON") {
        const int t = n[1] == '1' ? 0 : 1;
        set(roTcon, uint8_t(t));
        m_t16[t].con = address;
    } else if (n == "TMR2") {
        set(roTmr2);
        m_tmr2 = address;
    } else if (n == "PR2") {
        set(roPr2);
        m_pr2 = address;
    } else if (n == "T2CON") {
        set(roT2con);
        m_t2con = address;
    } else if (n == "TXREG" || n == "TXREG1" || n == "TX1REG") {
        set(roTxreg);
        m_txreg = address;
    } else if (n == "RCREG" || n == "RCREG1" || n == "RC1REG") {
        set(roRcreg);
        m_rcreg = address;
    } else if (n == "TXSTA" || n == "TXSTA1" || n == "TX1STA") {
        set(roTxsta);
        m_txsta = address;
    } else if (n == "RCSTA" || n == "RCSTA1" || n == "RC1STA") {
        set(roRcsta);
        m_rcsta = address;
    } else if (n == "SPBRG" || n == "SPBRG1" || n == "SP1BRG" || n == "SP1BRGL" || n == "SPBRGL") {
        set(roBaud);
        m_spbrg = address;
    } else if (n == "SPBRGH" || n == "SPBRGH1" || n == "SP1BRGH") {
        set(roBaud);
        m_spbrgh = address;
    } else if (n == "BAUDCON" || n == "BAUDCON1" || n == "BAUD1CON" || n == "BAUDCTL") {
        set(roBaud);
        m_baudcon = address;
    } else if (n == "EECON1") {
        set(roEecon1);
        m_eecon1 = address;
    } else if (n == "EECON2") {
        set(roEecon2);
        m_eecon2 = address;
    } else if (n == "EEDATA" || n == "EEDAT" || n == "EEDATL") {
        m_eedata = address;
    } else if (n == "EEDATH") {
        m_eedath = address;
    } else if (n == "EEADR" || n == "EEADRL") {
        m_eeadr = address;
    } else if (n == "EEADRH") {
        m_eeadrh = address;
    } else if (int p = PortIndex(n, "PORT"); p >= 0 || n == "GPIO") {
        p = std::max(p, 0);
        set(roPort, uint8_t(p));
        m_portAddr[size_t(p)] = address + 1;
        m_pinMask[size_t(p)] = m_dev.PinMask(n);
        m_portCount = std::max(m_portCount, p + 1);
    } else if (int l = PortIndex(n, "LAT"); l >= 0) {
        set(roLat, uint8_t(l));
        m_latAddr[size_t(l)] = address + 1;
    } else if (int t = PortIndex(n, "TRIS"); t >= 0 || n == "TRISIO") {
        t = std::max(t, 0);
        set(roTris, uint8_t(t));
        m_trisAddr[size_t(t)] = address + 1;
    } else if (n == "STKPTR") {
        set(roStkptr);
        m_stkptr = address;
    } else if (n == "TOSL" || n == "TOSH" || n == "TOSU") {
        set(roTos, uint8_t(n[3] == 'L' ? 0 : n[3] == 'H' ? 1 : 2));
    } else if (n == "WDTCON") {
        set(roWdtcon);
        m_wdtcon = address;
    } else if (n == "ADCON0") {
        set(roAdcon);
    } else if (n == "PCON") {
        set(roPcon);
        m_pcon = address;
    } else if (n == "TBLPTRL") {
        m_tblptr = address;
    } else if (n == "TABLAT") {
        m_tablatAddr = address;
    } else if (n == "PRODL") {
        m_prodl = address;
    } else if (n == "STATUS_SHAD") {
        m_shadowBase = address;
    }
}

TRole TSimulator::RoleOf(int address) const
{
    if (address < 0 || address >= DataSize())
        return roUnimplemented;
    return TRole(m_role[m_map[size_t(address)] & kIndexMask]);
}

bool TSimulator::IsImplemented(int address) const
{
    return RoleOf(address) != roUnimplemented;
}

// Power-on values by register name, as the data sheets of each family give them (an unknown
// bit counts as 0). Registers not listed here start at 0.
uint8_t TSimulator::ResetValue(int address) const
{
    const std::vector<std::string> names = m_dev.RegisterNames(address);
    if (names.empty())
        return 0;
    const std::string &n = names.front();
    const TCore core = m_dev.core;
    auto named = [&](const std::string &reg) -> uint8_t {
        // The bits the device data names for the register.
        const auto it = m_dev.bits.find(reg);
        if (it == m_dev.bits.end())
            return m_dev.PinMask(reg);
        uint8_t mask = 0;
        for (const auto &b : it->second)
            if (b.second < 8)
                mask = uint8_t(mask | (1u << b.second));
        return mask;
    };
    if (n == "STATUS")
        return core == TCore::Pic18 ? 0x00 : 0x18;
    if (n == "OPTION_REG" || n == "T0CON" || n == "PR2")
        return 0xFF;
    if (int p = PortIndex(n, "TRIS"); p >= 0 || n == "TRISIO") {
        // Every pin an input.
        const std::string port = n == "TRISIO" ? "GPIO" : "PORT" + n.substr(4);
        return m_dev.PinMask(port);
    }
    if (StartsWith(n, "ANSEL")) {
        // Every pin analog; ANSEL of the small parts also holds the A/D clock bits, which start 0.
        const auto it = m_dev.bits.find(n);
        if (it == m_dev.bits.end())
            return named(n);
        uint8_t mask = 0;
        for (const auto &b : it->second)
            if (b.second < 8 && StartsWith(b.first, "ANS"))
                mask = uint8_t(mask | (1u << b.second));
        return mask;
    }
    if (StartsWith(n, "IPR"))
        return named(n);
    if (n == "INTCON2")
        return uint8_t(0xF5 & (named(n) ? named(n) : 0xFF));
    if (n == "INTCON3")
        return 0xC0;
    if (n == "RCON")
        return 0x1C;
    if (n == "TXSTA" || n == "TXSTA1" || n == "TX1STA")
        return 0x02;
    if (n == "BAUDCON" || n == "BAUDCON1" || n == "BAUD1CON" || n == "BAUDCTL")
        return 0x40;
    if (n == "CMCON")
        return 0x07;
    if (n == "WDTCON")
        return core == TCore::Pic14E ? 0x16 : core == TCore::Pic14 ? 0x08 : 0x00;
    if (n == "STKPTR")
        return core == TCore::Pic14E ? 0x1F : 0x00;
    if (n == "OSCCON")
        return core == TCore::Pic14E ? 0x38 : core == TCore::Pic14 ? 0x60 : 0x00;
    if (n == "OSCCAL")
        return 0xFE;
    if (n == "WPUB" || n == "WPUA")
        return core == TCore::Pic14E ? 0xFF : 0x00;
    return 0;
}

// ---- reset -----------------------------------------------------------------------------------

// Registers whose power-on value is unknown keep their value through the other resets (MCLR,
// watchdog, RESET instruction, stack faults); the others take their reset value again.
static bool KeepsValueOnReset(const std::string &n, bool pic18)
{
    static const char *const prefixes[] = {"WREG", "FSR", "PROD", "TMR1L", "TMR1H", "TMR3L", "TMR3H", "PORT", "LAT",
                                           "GPIO", "EEADR", "EEDAT", "ADRES", "CCPR", "SSPBUF", "SSP1BUF",
                                           "SSP2BUF"};
    for (const char *p : prefixes)
        if (StartsWith(n, p))
            return true;
    return n == "TMR1" || n == "TMR3" || (pic18 ? (n == "TMR0L" || n == "STATUS") : n == "TMR0");
}

void TSimulator::ResetRegisters(TResetCause cause)
{
    const int size = DataSize();
    const bool pic18 = m_dev.IsPic18();
    for (int a = 0; a < size; ++a) {
        const uint16_t entry = m_map[size_t(a)];
        if ((entry & kIndexMask) != a)
            continue;   // an alias
        const uint8_t role = m_role[size_t(a)];
        if (role == roUnimplemented) {
            m_ram[a] = 0;
            continue;
        }
        const std::vector<std::string> names = m_dev.RegisterNames(a);
        if (names.empty()) {
            if (cause == TResetCause::PowerOn)
                m_ram[a] = 0;
            continue;
        }
        if (cause != TResetCause::PowerOn && KeepsValueOnReset(names.front(), pic18))
            continue;
        if (cause != TResetCause::PowerOn && !pic18 && role == roStatus) {
            // 000q quuu: the flags stay, the bank and page bits clear.
            m_ram[a] = uint8_t((m_ram[a] & 0x07) | (ResetValue(a) & 0x18));
            continue;
        }
        if (cause != TResetCause::PowerOn && pic18 && role == roStkptr) {
            m_ram[a] &= 0xC0;   // STKFUL and STKUNF stay
            continue;
        }
        m_ram[a] = ResetValue(a);
        if (role == roFsr && m_dev.IsBaseline())
            m_ram[a] = uint8_t(m_ram[a] | ~unsigned(DataSize() - 1));   // unimplemented bits read 1
    }
    // The MCLR pin is high while the part runs: with MCLRE on, its port bit reads 1.
    m_pinIn.fill(0);
    if (const TSimConfigSetting *mclre = m_dev.Setting("MCLRE"); mclre && m_dev.mclrPin.size() == 3) {
        const std::string &pin = m_dev.mclrPin;
        const int port = pin[0] == 'G' ? 0 : pin[1] < 'I' ? pin[1] - 'A' : pin[1] - 'A' - 1;
        const int bit = pin[2] - '0';
        if (port >= 0 && port < 11 && bit >= 0 && bit < 8
            && mclre->OptionOf(ConfigWord(m_dev.ConfigIndex(mclre->address))) == "ON")
            m_pinIn[size_t(port)] = uint8_t(1u << bit);
    }
    for (int p = 0; p < 11; ++p) {
        if (cause == TResetCause::PowerOn)
            m_latch[size_t(p)] = 0;
        if (m_trisAddr[size_t(p)])
            m_ram[m_trisAddr[size_t(p)] - 1] = m_pinMask[size_t(p)];
    }
    for (int p = 0; p < 11; ++p)
        m_pinLevel[size_t(p)] = PortRead(p);
}

void TSimulator::Reset(TResetCause cause)
{
    m_lastReset = cause;
    ResetRegisters(cause);
    m_w = cause == TResetCause::PowerOn ? 0 : m_w;
    if (m_dev.IsBaseline()) {
        // Baseline parts start at the last program word (the oscillator calibration MOVLW)
        // and have their OPTION and TRIS registers outside the data space.
        m_pc = uint32_t(m_prog.size() - 1) & m_pcMask;
        m_baselineOption = 0xFF;
        for (int p = 0; p < 11; ++p)
            m_baselineTris[size_t(p)] = 0xFF;
    } else {
        m_pc = 0;
    }
    m_sp = 0;
    m_stackDepth = 0;
    m_stack.fill(0);
    if (m_dev.core == TCore::Pic14E) {
        m_sp = 0x1F;
    }
    uint8_t &st = StatusRef();
    // /TO and /PD: 1 1 after power-on and MCLR, /TO 0 after a watchdog time-out.
    const uint8_t toPd = cause == TResetCause::Watchdog ? 0x08 : 0x18;
    if (m_dev.IsPic18()) {
        if (m_rcon >= 0)
            m_ram[m_rcon] = uint8_t((m_ram[m_rcon] & ~0x18) | toPd);
    } else {
        st = uint8_t((st & ~0x18) | toPd);
    }
    if (cause == TResetCause::PowerOn)
        m_fastW = m_fastStatus = m_fastBsr = 0;   // the fast register stack keeps its values otherwise
    m_sleeping = false;
    m_irqLevel = 0;
    m_wakeRequest = false;
    m_irqEarliest = 0;
    // Peripherals.
    m_t0Sync = m_t0Start = m_cycles;
    m_t0Pre = 0;
    m_t0HighBuffer = 0;
    for (TTimer16 &t : m_t16) {
        t.sync = m_cycles;
        t.pre = 0;
        t.highBuffer = 0;
        t.flagAt = UINT64_MAX;
    }
    m_t2Sync = m_cycles;
    m_t2FlagAt = UINT64_MAX;
    m_t2Pre = m_t2Post = 0;
    m_txBusy = m_txPending = false;
    m_txDone = m_txLoad = m_txMove = UINT64_MAX;
    m_brgStart = m_cycles;
    m_rxCount = 0;
    m_rxNext = UINT64_MAX;
    m_eeUnlock = 0;
    m_eeDone = UINT64_MAX;
    m_adDone = UINT64_MAX;
    m_tablat = 0;
    UpdateBank();
    m_wdtStart = m_cycles;
    Timer0Changed();
    TimerChanged(0);
    TimerChanged(1);
    Timer2Changed();
    UartChanged();
    UpdateIrq();
    ClearWatchdog();
    Reschedule();
}

void TSimulator::UpdateBank()
{
    switch (m_dev.core) {
    case TCore::Pic14: m_bank = unsigned(StatusRef() & 0x60) << 2; break;
    case TCore::Pic14E: m_bank = m_bsr >= 0 ? unsigned(m_ram[m_bsr] & 0x1F) << 7 : 0; break;
    case TCore::Pic18: m_bank = m_bsr >= 0 ? unsigned(m_ram[m_bsr] & 0x0F) << 8 : 0; break;
    case TCore::Pic12:
    case TCore::Pic12E:
        if (m_dev.core == TCore::Pic12E && m_bsr >= 0)
            m_bank = unsigned(m_ram[m_bsr] & 0x07) << 5;
        else
            m_bank = m_fsr[0] >= 0 ? unsigned(m_ram[m_fsr[0]]) & unsigned(DataSize() - 1) & ~0x1Fu : 0;
        break;
    }
    if (m_bank >= unsigned(DataSize()))
        m_bank %= unsigned(DataSize());
}

uint8_t TSimulator::Status() const
{
    return m_ram[m_statusIndex];
}

void TSimulator::SetPc(uint32_t pc)
{
    m_pc = (m_dev.IsPic18() ? pc / 2 : pc) & m_pcMask;
}

void TSimulator::SetClockHz(double hz)
{
    if (hz > 0) {
        m_clockHz = hz;
        ClearWatchdog();
        UartChanged();
        Reschedule();
    }
}

// ---- program memory --------------------------------------------------------------------------

void TSimulator::ErasePrograms()
{
    std::fill(m_prog.begin(), m_prog.end(), ErasedWord());
    for (size_t i = 0; i < m_config.size(); ++i)
        m_config[i] = m_dev.config[i].defaultValue;
    std::fill(m_eeprom.begin(), m_eeprom.end(), 0xFF);
    m_idLocs.fill(0xFF);
    DecodeAll();
    Reset(TResetCause::PowerOn);
}

bool TSimulator::LoadHexByte(uint32_t byteAddress, uint8_t value)
{
    if (m_dev.IsPic18()) {
        if (byteAddress / 2 < m_prog.size()) {
            uint16_t &w = m_prog[byteAddress / 2];
            w = (byteAddress & 1) ? uint16_t((w & 0x00FF) | (value << 8)) : uint16_t((w & 0xFF00) | value);
            return true;
        }
        if (const int i = m_dev.ConfigIndex(byteAddress); i >= 0) {
            m_config[size_t(i)] = value;
            return true;
        }
        if (byteAddress >= 0x300000 && byteAddress < 0x300010)
            return true;   // configuration bytes the device does not implement
        if (byteAddress >= 0x200000 && byteAddress < 0x200008) {
            m_idLocs[byteAddress - 0x200000] = value;
            return true;
        }
        if (m_dev.eepromBytes > 0 && byteAddress >= m_dev.eepromFirst
            && byteAddress < m_dev.eepromFirst + uint32_t(m_dev.eepromBytes)) {
            m_eeprom[byteAddress - m_dev.eepromFirst] = value;
            return true;
        }
        return false;
    }
    // 12-bit and 14-bit: the HEX file holds each word as two bytes, low byte first.
    const uint32_t word = byteAddress / 2;
    const bool high = byteAddress & 1;
    if (word < m_prog.size()) {
        uint16_t &w = m_prog[word];
        w = high ? uint16_t((w & 0x00FF) | (value << 8)) : uint16_t((w & 0xFF00) | value);
        w &= ErasedWord();
        return true;
    }
    if (const int i = m_dev.ConfigIndex(word); i >= 0) {
        uint16_t &w = m_config[size_t(i)];
        w = high ? uint16_t((w & 0x00FF) | (value << 8)) : uint16_t((w & 0xFF00) | value);
        return true;
    }
    if (m_dev.eepromBytes > 0 && word >= m_dev.eepromFirst && word < m_dev.eepromFirst + uint32_t(m_dev.eepromBytes)) {
        if (!high)
            m_eeprom[word - m_dev.eepromFirst] = value;
        return true;
    }
    // ID locations and the other words of the configuration area.
    const uint32_t idFirst = m_dev.core == TCore::Pic14E ? 0x8000u : m_dev.core == TCore::Pic14 ? 0x2000u
                                                                                               : uint32_t(m_prog.size());
    if (word >= idFirst && word < idFirst + 16) {
        if (word - idFirst < 4)
            m_idLocs[(word - idFirst) * 2 + high] = value;
        return true;
    }
    return false;
}

uint16_t TSimulator::ProgramWord(uint32_t wordAddress) const
{
    return wordAddress < m_prog.size() ? m_prog[wordAddress] : ErasedWord();
}

uint16_t TSimulator::ConfigWord(int index) const
{
    return index >= 0 && size_t(index) < m_config.size() ? m_config[size_t(index)] : 0xFFFF;
}

uint8_t TSimulator::ReadProgramByte(uint32_t address) const
{
    if (address / 2 < m_prog.size()) {
        const uint16_t w = m_prog[address / 2];
        return (address & 1) ? uint8_t(w >> 8) : uint8_t(w);
    }
    if (const int i = m_dev.ConfigIndex(address); i >= 0)
        return uint8_t(m_config[size_t(i)]);
    if (address >= 0x200000 && address < 0x200008)
        return m_idLocs[address - 0x200000];
    return 0;
}

void TSimulator::FinishLoading()
{
    DecodeAll();
    Reset(TResetCause::PowerOn);
}

void TSimulator::DecodeAll()
{
    for (uint32_t i = 0; i < m_code.size(); ++i)
        Decode(i);
}

void TSimulator::Decode(uint32_t index)
{
    if (index >= m_code.size())
        return;
    const auto brk = m_breakOps.find(index);
    // Past the end of a 12-bit or 14-bit program memory the fetch wraps around; PIC18 reads 0.
    const uint16_t word = index < m_prog.size() ? m_prog[index] : m_prog.empty() ? 0 : m_prog[index % m_prog.size()];
    TInsn insn = m_dev.IsPic18() ? Decode18(index) : m_dev.IsBaseline() ? DecodeBaseline(word) : DecodeMid(word);
    if (brk != m_breakOps.end()) {
        brk->second = insn.op;
        insn.op = opBreak;
    }
    m_code[index] = insn;
}

// ---- breakpoints ---------------------------------------------------------------------------

bool TSimulator::SetBreakpoint(uint32_t pcAddress)
{
    const uint32_t index = m_dev.IsPic18() ? pcAddress / 2 : pcAddress;
    if ((m_dev.IsPic18() && (pcAddress & 1)) || index >= m_prog.size())
        return false;
    if (m_breakOps.count(index) != 0)
        return true;
    if (m_breakOps.count(index) == 0) {
        m_breakOps[index] = m_code[index].op;
        m_code[index].op = opBreak;
    }
    return true;
}

bool TSimulator::ClearBreakpoint(uint32_t pcAddress)
{
    const uint32_t index = m_dev.IsPic18() ? pcAddress / 2 : pcAddress;
    const auto it = m_breakOps.find(index);
    if (it == m_breakOps.end() || (m_dev.IsPic18() && (pcAddress & 1)))
        return false;
    m_code[index].op = it->second;
    m_breakOps.erase(it);
    return true;
}

void TSimulator::ClearBreakpoints()
{
    for (const auto &[index, op] : m_breakOps)
        m_code[index].op = op;
    m_breakOps.clear();
}

bool TSimulator::HasBreakpoint(uint32_t pcAddress) const
{
    return m_breakOps.count(m_dev.IsPic18() ? pcAddress / 2 : pcAddress) != 0;
}

// ---- running ---------------------------------------------------------------------------------

TStop TSimulator::Run(uint64_t maxCycles)
{
    const uint64_t end = maxCycles > UINT64_MAX - m_cycles ? UINT64_MAX : m_cycles + maxCycles;
    // Going on from a breakpoint runs the instruction there first.
    if (maxCycles > 0 && HasBreakpoint(Pc()))
        Step();
    m_runEnd = end;
    Reschedule();
    const TStop stop = m_dev.IsPic18() ? Run18<false>(end) : RunMid<false>(end);
    m_runEnd = UINT64_MAX;
    Reschedule();
    return stop;
}

void TSimulator::Step()
{
    m_runEnd = UINT64_MAX;
    Reschedule();
    if (m_dev.IsPic18())
        Run18<true>(UINT64_MAX);
    else
        RunMid<true>(UINT64_MAX);
    Reschedule();
}

// ---- stack -----------------------------------------------------------------------------------

void TSimulator::Push(uint32_t pc)
{
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E:
        // Two (four) levels; the deepest is overwritten when full.
        for (int i = m_stackSize - 1; i > 0; --i)
            m_stack[size_t(i)] = m_stack[size_t(i - 1)];
        m_stack[0] = pc;
        m_stackDepth = std::min(m_stackDepth + 1, m_stackSize);
        break;
    case TCore::Pic14:
        // Eight levels used as a ring: the ninth push overwrites the first.
        m_stack[size_t(m_sp)] = pc;
        m_sp = (m_sp + 1) & 7;
        m_stackDepth = std::min(m_stackDepth + 1, 8);
        break;
    case TCore::Pic14E: {
        // STKPTR runs 0x1F (empty), 0 .. 15; a push past 15 is an overflow.
        const int next = (m_sp + 1) & 0x1F;
        if (m_sp == 15) {
            if (m_pcon >= 0)
                m_ram[m_pcon] |= 0x80;   // STKOVF
            m_stackOverflow = true;
        }
        m_sp = next & 0x1F;
        if (m_sp < 16)
            m_stack[size_t(m_sp)] = pc;
        m_stackDepth = m_sp < 16 ? m_sp + 1 : 16;
        break;
    }
    case TCore::Pic18: {
        if (m_sp >= 31) {
            if (m_stkptr >= 0)
                m_ram[m_stkptr] |= 0x80;   // STKFUL
            m_stackOverflow = true;
            break;
        }
        ++m_sp;
        m_stack[size_t(m_sp)] = pc;
        if (m_sp == 31) {
            if (m_stkptr >= 0)
                m_ram[m_stkptr] |= 0x80;
            m_stackOverflow = true;
        }
        m_stackDepth = m_sp;
        break;
    }
    }
    if (m_stackOverflow)
        ScheduleNow();
}

uint32_t TSimulator::Pop()
{
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E: {
        const uint32_t pc = m_stack[0];
        for (int i = 0; i + 1 < m_stackSize; ++i)
            m_stack[size_t(i)] = m_stack[size_t(i + 1)];
        m_stackDepth = std::max(m_stackDepth - 1, 0);
        return pc;
    }
    case TCore::Pic14:
        m_sp = (m_sp - 1) & 7;
        m_stackDepth = std::max(m_stackDepth - 1, 0);
        return m_stack[size_t(m_sp)];
    case TCore::Pic14E: {
        uint32_t pc = 0;
        if (m_sp == 0x1F) {
            if (m_pcon >= 0)
                m_ram[m_pcon] |= 0x40;   // STKUNF
            m_stackOverflow = true;
            ScheduleNow();
        } else if (m_sp < 16) {
            pc = m_stack[size_t(m_sp)];
        }
        m_sp = (m_sp - 1) & 0x1F;
        m_stackDepth = m_sp < 16 ? m_sp + 1 : 0;
        return pc;
    }
    case TCore::Pic18: {
        if (m_sp == 0) {
            if (m_stkptr >= 0)
                m_ram[m_stkptr] |= 0x40;   // STKUNF
            m_stackOverflow = true;
            ScheduleNow();
            return 0;
        }
        const uint32_t pc = m_stack[size_t(m_sp)];
        --m_sp;
        m_stackDepth = m_sp;
        return pc;
    }
    }
    return 0;
}

std::vector<uint32_t> TSimulator::StackEntries() const
{
    std::vector<uint32_t> entries;
    const uint32_t scale = m_dev.IsPic18() ? 2 : 1;
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E:
        for (int i = 0; i < m_stackDepth; ++i)
            entries.push_back(m_stack[size_t(i)]);
        break;
    case TCore::Pic14:
        for (int i = 0; i < m_stackDepth; ++i)
            entries.push_back(m_stack[size_t((m_sp - 1 - i) & 7)]);
        break;
    case TCore::Pic14E:
        for (int i = m_stackDepth - 1; i >= 0; --i)
            entries.push_back(m_stack[size_t(i)]);
        break;
    case TCore::Pic18:
        for (int i = m_sp; i >= 1; --i)
            entries.push_back(m_stack[size_t(i)] * scale);
        break;
    }
    return entries;
}

// ---- data access -----------------------------------------------------------------------------

uint8_t TSimulator::Read(unsigned address)
{
    const uint16_t entry = m_map[address];
    if (entry & kReadSpecial)
        return ReadSpecial(entry & kIndexMask);
    return m_ram[entry & kIndexMask];
}

void TSimulator::Write(unsigned address, uint8_t value)
{
    const uint16_t entry = m_map[address];
    if (entry & kWriteSpecial)
        WriteSpecial(entry & kIndexMask, value);
    else
        m_ram[entry & kIndexMask] = value;
}

unsigned TSimulator::FsrValue(unsigned n) const
{
    if (m_dev.core == TCore::Pic14E)
        return unsigned(m_ram[m_fsr[n]]) | unsigned(m_ram[m_fsrh[n]]) << 8;
    if (m_dev.IsPic18())
        return unsigned(m_ram[m_fsr[n]]) | unsigned(m_ram[m_fsrh[n]] & 0x0F) << 8;
    return m_ram[m_fsr[0]];
}

void TSimulator::SetFsrValue(unsigned n, unsigned value)
{
    m_ram[m_fsr[n]] = uint8_t(value);
    if (m_dev.IsPic18())
        m_ram[m_fsrh[n]] = uint8_t((value >> 8) & 0x0F);
    else
        m_ram[m_fsrh[n]] = uint8_t(value >> 8);
}

// The data address an indirect register reaches, with its FSR moved as the mode says when
// `advance` is set.
unsigned TSimulator::IndirectAddress(unsigned index, bool advance)
{
    const unsigned aux = m_aux[index];
    const unsigned n = aux / 8;
    const unsigned mode = aux % 8;
    switch (m_dev.core) {
    case TCore::Pic12:
    case TCore::Pic12E:
        return unsigned(m_ram[m_fsr[0]]) & unsigned(DataSize() - 1);
    case TCore::Pic14:
        return (unsigned(m_ram[m_fsr[0]]) | unsigned(StatusRef() & 0x80) << 1) & unsigned(DataSize() - 1);
    case TCore::Pic14E:
        return FsrValue(n);
    case TCore::Pic18:
        break;
    }
    const unsigned fsr = FsrValue(n);
    switch (mode) {
    case kIndfPostInc:
        if (advance)
            SetFsrValue(n, (fsr + 1) & 0xFFF);
        return fsr;
    case kIndfPostDec:
        if (advance)
            SetFsrValue(n, (fsr - 1) & 0xFFF);
        return fsr;
    case kIndfPreInc:
        if (advance)
            SetFsrValue(n, (fsr + 1) & 0xFFF);
        return (fsr + 1) & 0xFFF;
    case kIndfPlusW:
        return (fsr + unsigned(int8_t(m_w))) & 0xFFF;
    default:
        return fsr;
    }
}

// Enhanced 14-bit FSR space: traditional data addresses below 0x1000, the linear view of the
// general purpose RAM from 0x2000, program memory from 0x8000.
uint8_t TSimulator::ReadLinear(unsigned address)
{
    address &= 0xFFFF;
    if (address < 0x1000)
        return address < unsigned(DataSize()) ? Read(address) : 0;
    if (address >= 0x2000 && address < 0x29B0) {
        const unsigned n = address - 0x2000;
        const unsigned a = (n / 80) * 128 + 0x20 + n % 80;
        return a < unsigned(DataSize()) ? Read(a) : 0;
    }
    if (address >= 0x8000)
        return uint8_t(ProgramWord(address - 0x8000));
    return 0;
}

void TSimulator::WriteLinear(unsigned address, uint8_t value)
{
    address &= 0xFFFF;
    if (address < 0x1000) {
        if (address < unsigned(DataSize()))
            Write(address, value);
    } else if (address >= 0x2000 && address < 0x29B0) {
        const unsigned n = address - 0x2000;
        const unsigned a = (n / 80) * 128 + 0x20 + n % 80;
        if (a < unsigned(DataSize()))
            Write(a, value);
    }
}

unsigned TSimulator::ResolveIndirect(unsigned index)
{
    const unsigned address = IndirectAddress(index, true);
    if (m_role[m_map[address] & kIndexMask] == roIndf)
        return unsigned(m_dataSize);
    return address;
}

uint8_t TSimulator::ReadIndirect(unsigned index, bool peek)
{
    const unsigned address = IndirectAddress(index, !peek);
    if (m_dev.core == TCore::Pic14E) {
        const unsigned a = address & 0xFFFF;
        if (a < 0x1000 && m_role[m_map[a % unsigned(DataSize())] & kIndexMask] == roIndf)
            return 0;
        return peek ? (a < unsigned(DataSize()) ? PeekData(int(a)) : 0) : ReadLinear(address);
    }
    if (m_role[m_map[address] & kIndexMask] == roIndf)
        return 0;   // an indirect register reached indirectly reads 0
    return peek ? PeekData(int(address)) : Read(address);
}

void TSimulator::WriteIndirect(unsigned index, uint8_t value)
{
    const unsigned address = IndirectAddress(index, true);
    if (m_dev.core == TCore::Pic14E) {
        const unsigned a = address & 0xFFFF;
        if (a < 0x1000 && m_role[m_map[a % unsigned(DataSize())] & kIndexMask] == roIndf)
            return;
        WriteLinear(address, value);
        return;
    }
    if (m_role[m_map[address] & kIndexMask] == roIndf)
        return;
    Write(address, value);
}

uint8_t TSimulator::ReadSpecial(unsigned index)
{
    switch (m_role[index]) {
    case roUnimplemented:
        ++m_unimplementedAccesses;
        return 0;
    case roIndf: return ReadIndirect(index);
    case roPcl:
        if (m_dev.IsPic18()) {
            const uint32_t pc = m_pc * 2;
            if (m_pclath >= 0)
                m_ram[m_pclath] = uint8_t(pc >> 8);
            if (m_pclatu >= 0)
                m_ram[m_pclatu] = uint8_t((pc >> 16) & 0x1F);
            return uint8_t(pc);
        }
        return uint8_t(m_pc);
    case roWreg: return m_w;
    case roTmr0:
        m_flagCycle = ReadCycle();
        SyncTimer0(ReadCycle());
        m_flagCycle = UINT64_MAX;
        if (m_dev.IsPic18() && m_tmr0h >= 0)
            m_t0HighBuffer = m_ram[m_tmr0h];
        return m_ram[index];
    case roTmr0H:
        return m_t0HighBuffer;
    case roTmrL: {
        TTimer16 &t = m_t16[m_aux[index]];
        m_flagCycle = ReadCycle();
        SyncTimer(m_aux[index], ReadCycle());
        m_flagCycle = UINT64_MAX;
        if (m_dev.IsPic18() && t.con >= 0 && (m_ram[t.con] & 0x80) && t.high >= 0)
            t.highBuffer = m_ram[t.high];   // RD16: reading the low byte latches the high byte
        return m_ram[index];
    }
    case roTmrH: {
        TTimer16 &t = m_t16[m_aux[index]];
        m_flagCycle = ReadCycle();
        SyncTimer(m_aux[index], ReadCycle());
        m_flagCycle = UINT64_MAX;
        if (m_dev.IsPic18() && t.con >= 0 && (m_ram[t.con] & 0x80))
            return t.highBuffer;
        return m_ram[index];
    }
    case roTmr2:
        m_flagCycle = ReadCycle();
        SyncTimer2(ReadCycle());
        m_flagCycle = UINT64_MAX;
        return m_ram[index];
    case roRcreg: {
        const uint8_t byte = m_rxFifo[0];
        if (m_rxCount > 0) {
            m_rxFifo[0] = m_rxFifo[1];
            --m_rxCount;
            if (m_rxCount == 0 && m_rcifAddr >= 0)
                m_ram[m_rcifAddr] &= uint8_t(~(1u << m_rcifBit));
            m_ram[index] = m_rxFifo[0];
            UpdateIrq();
        }
        return byte;
    }
    case roPort: return PortRead(m_aux[index]);
    case roStkptr: return PeekSpecial(index);
    case roTos: return PeekSpecial(index);
    case roEecon2: return 0;
    default: return m_ram[index];
    }
}

// A timer register's value now, without changing what the program sees later: the timer is
// brought up to date, read, and put back as it was (a flag it would set stays for the program's
// own time to set).
uint8_t TSimulator::PeekTimer(unsigned index)
{
    const int flagAddrs[] = {m_intcon, m_t16[0].flagAddr, m_t16[1].flagAddr, m_tmr2ifAddr};
    uint8_t flags[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        if (flagAddrs[i] >= 0)
            flags[i] = m_ram[flagAddrs[i]];
    const uint8_t irqLevel = m_irqLevel;
    const bool wake = m_wakeRequest;
    const uint64_t nextEvent = m_nextEvent;
    uint8_t value = 0;
    switch (m_role[index]) {
    case roTmr0:
    case roTmr0H: {
        const uint8_t low = m_tmr0 >= 0 ? m_ram[m_tmr0] : 0;
        const uint8_t high = m_tmr0h >= 0 ? m_ram[m_tmr0h] : 0;
        const uint64_t sync = m_t0Sync;
        const uint32_t pre = m_t0Pre;
        SyncTimer0();
        value = m_ram[index];
        if (m_tmr0 >= 0)
            m_ram[m_tmr0] = low;
        if (m_tmr0h >= 0)
            m_ram[m_tmr0h] = high;
        m_t0Sync = sync;
        m_t0Pre = pre;
        break;
    }
    case roTmrL:
    case roTmrH: {
        TTimer16 &t = m_t16[m_aux[index]];
        const uint8_t low = t.low >= 0 ? m_ram[t.low] : 0;
        const uint8_t high = t.high >= 0 ? m_ram[t.high] : 0;
        const uint64_t sync = t.sync;
        const uint32_t pre = t.pre;
        SyncTimer(m_aux[index]);
        value = m_ram[index];
        if (t.low >= 0)
            m_ram[t.low] = low;
        if (t.high >= 0)
            m_ram[t.high] = high;
        t.sync = sync;
        t.pre = pre;
        break;
    }
    default: {
        const uint8_t tmr2 = m_ram[index];
        const uint64_t sync = m_t2Sync;
        const uint32_t pre = m_t2Pre, post = m_t2Post;
        SyncTimer2();
        value = m_ram[index];
        m_ram[index] = tmr2;
        m_t2Sync = sync;
        m_t2Pre = pre;
        m_t2Post = post;
        break;
    }
    }
    for (int i = 0; i < 4; ++i)
        if (flagAddrs[i] >= 0)
            m_ram[flagAddrs[i]] = flags[i];
    m_irqLevel = irqLevel;
    m_wakeRequest = wake;
    m_nextEvent = nextEvent;
    return value;
}

uint8_t TSimulator::PeekSpecial(unsigned index) const
{
    auto *self = const_cast<TSimulator *>(this);
    switch (m_role[index]) {
    case roUnimplemented: return 0;
    case roIndf: return self->ReadIndirect(index, true);
    case roPcl: return uint8_t(m_dev.IsPic18() ? m_pc * 2 : m_pc);
    case roWreg: return m_w;
    case roTmr0:
    case roTmr0H:
    case roTmrL:
    case roTmrH:
    case roTmr2:
        return self->PeekTimer(index);
    case roRcreg: return m_rxFifo[0];
    case roPort: return PortRead(m_aux[index]);
    case roStkptr:
        if (m_dev.IsPic18())
            return uint8_t((m_ram[index] & 0xC0) | (m_sp & 0x1F));
        return uint8_t(m_sp & 0x1F);
    case roTos: {
        uint32_t tos = 0;
        if (m_dev.IsPic18())
            tos = m_sp > 0 ? m_stack[size_t(m_sp)] * 2 : 0;
        else if (m_sp < 16)
            tos = m_stack[size_t(m_sp)];
        return uint8_t(tos >> (8 * m_aux[index]));
    }
    case roEecon2: return 0;
    default: return m_ram[index];
    }
}

void TSimulator::WriteSpecial(unsigned index, uint8_t value)
{
    switch (m_role[index]) {
    case roUnimplemented:
        ++m_unimplementedAccesses;
        return;
    case roIndf:
        WriteIndirect(index, value);
        return;
    case roPcl:
        m_ram[index] = value;
        if (m_dev.IsPic18()) {
            const uint32_t pc = (uint32_t(m_pclatu >= 0 ? m_ram[m_pclatu] & 0x1F : 0) << 16)
                                | (uint32_t(m_pclath >= 0 ? m_ram[m_pclath] : 0) << 8) | (value & 0xFE);
            m_pc = (pc / 2) & m_pcMask;
        } else if (m_dev.IsBaseline()) {
            // PC<8> is cleared; the page comes from the STATUS page bits.
            m_pc = ((uint32_t(StatusRef() & 0x60) << 4) | value) & m_pcMask;
        } else {
            m_pc = ((uint32_t(m_pclath >= 0 ? m_ram[m_pclath] : 0) << 8) | value) & m_pcMask;
        }
        ++m_cycles;
        return;
    case roStatus:
        if (m_dev.IsPic18()) {
            m_ram[index] = value & 0x1F;
        } else {
            // /TO and /PD are read-only; the enhanced core has nothing above them.
            const uint8_t implemented = m_dev.core == TCore::Pic14E ? 0x07 : 0xE7;
            m_ram[index] = uint8_t((value & implemented) | (m_ram[index] & 0x18));
            UpdateBank();
        }
        return;
    case roFsr:
        if (m_dev.IsBaseline()) {
            // Unimplemented high bits of the baseline FSR read as 1.
            m_ram[index] = uint8_t(value | ~unsigned(DataSize() - 1));
            UpdateBank();
        } else {
            m_ram[index] = value;
        }
        return;
    case roFsrPart:
        m_ram[index] = (m_dev.IsPic18() && (m_aux[index] & 1)) ? uint8_t(value & 0x0F) : value;
        return;
    case roPclath:
        m_ram[index] = m_dev.IsPic18() ? value : uint8_t(value & (m_dev.core == TCore::Pic14E ? 0x7F : 0x1F));
        return;
    case roPclatu:
        m_ram[index] = value & 0x1F;
        return;
    case roBsr:
        m_ram[index] = value & (m_dev.IsPic18() ? 0x0F : m_dev.core == TCore::Pic14E ? 0x1F : 0x07);
        UpdateBank();
        return;
    case roWreg:
        m_w = value;
        return;
    case roIrq:
        m_ram[index] = value;
        UpdateIrq();
        return;
    case roTmr0:
        SyncTimer0();
        if (m_dev.IsPic18() && m_tmr0h >= 0 && m_t0con >= 0 && !(m_ram[m_t0con] & 0x40))
            m_ram[m_tmr0h] = m_t0HighBuffer;   // 16-bit mode: the buffered high byte goes in too
        m_ram[index] = value;
        // A write clears the prescaler and holds the count for two instruction cycles, the
        // writing instruction's own cycle (already counted here) and the next one.
        m_t0Pre = 0;
        m_t0Start = m_cycles + 1;
        m_t0Sync = m_cycles;
        Timer0Changed();
        return;
    case roTmr0H:
        m_t0HighBuffer = value;
        return;
    case roOption:
    case roT0con: {
        SyncTimer0();
        const bool was = Timer0Counting();
        m_ram[index] = value;
        // A timer switched on counts from the first cycle of the instruction that switched it on.
        if (!was && Timer0Counting())
            m_t0Sync = std::max(m_t0Start, ReadCycle());
        Timer0Changed();
        if (m_role[index] == roOption)
            WatchdogChanged();
        return;
    }
    case roTmrL:
    case roTmrH: {
        const int t = m_aux[index];
        SyncTimer(t);
        if (m_role[index] == roTmrH && m_dev.IsPic18() && m_t16[t].con >= 0 && (m_ram[m_t16[t].con] & 0x80)) {
            m_t16[t].highBuffer = value;   // RD16: written with the low byte
            return;
        }
        if (m_role[index] == roTmrL && m_dev.IsPic18() && m_t16[t].con >= 0 && (m_ram[m_t16[t].con] & 0x80)
            && m_t16[t].high >= 0)
            m_ram[m_t16[t].high] = m_t16[t].highBuffer;
        m_ram[index] = value;
        TimerChanged(t);
        return;
    }
    case roTcon: {
        const int t = m_aux[index];
        SyncTimer(t);
        const bool was = m_ram[index] & 0x01;
        m_ram[index] = value;
        if (!was && (value & 0x01))
            m_t16[t].sync = ReadCycle();   // counts from the first cycle of the instruction that switched it on
        TimerChanged(t);
        return;
    }
    case roTmr2:
        SyncTimer2();
        m_ram[index] = value;
        Timer2Changed();
        return;
    case roPr2:
        SyncTimer2();
        m_ram[index] = value;
        Timer2Changed();
        return;
    case roT2con: {
        SyncTimer2();
        const bool was = m_ram[index] & 0x04;
        if ((value & 0x7B) != (m_ram[index] & 0x7B))
            m_t2Pre = m_t2Post = 0;   // a write clears the prescaler and postscaler
        m_ram[index] = value;
        if (!was && (value & 0x04))
            m_t2Sync = ReadCycle();   // counts from the first cycle of the instruction that switched it on
        Timer2Changed();
        return;
    }
    case roTxreg:
        // TXIF is valid again in the second cycle after the write (it reads as before until then),
        // and an idle shift register takes the byte a cycle later.
        if (m_txPending && !m_txBusy)
            UartTxStart();   // the byte written before is in the shift register by now
        m_ram[index] = value;
        m_txPendingByte = value;
        m_txPending = true;
        m_txLoad = m_cycles + 1;
        if (m_txsta >= 0 && UartTxEnabled())
            m_ram[m_txsta] &= uint8_t(~0x02);   // TRMT: the shift register is about to be loaded
        Reschedule();
        return;
    case roRcreg:
        return;
    case roTxsta:
        m_ram[index] = uint8_t((value & ~0x02) | (m_ram[index] & 0x02));   // TRMT is read-only
        UartChanged();
        return;
    case roRcsta:
        // FERR and OERR are read-only; clearing CREN clears OERR.
        m_ram[index] = uint8_t((value & ~0x06) | (m_ram[index] & 0x06));
        if (!(value & 0x10))
            m_ram[index] &= uint8_t(~0x02);
        UartChanged();
        return;
    case roBaud:
        m_ram[index] = value;
        if (int(index) == m_spbrg || int(index) == m_spbrgh)
            m_brgStart = m_cycles;
        UartChanged();
        return;
    case roEecon1: {
        const uint8_t old = m_ram[index];
        // WR and RD can only be set by the program; WR clears when the write finishes.
        uint8_t v = uint8_t((value & ~0x03) | (old & 0x02));
        m_ram[index] = v;
        if ((value & 0x01) && !(old & 0x02))
            EepromRead();
        if ((value & 0x02) && !(old & 0x02)) {
            // WR starts a write only with WREN set, right after the 55h/AAh sequence.
            if ((v & 0x04) && m_eeUnlock == 2 && m_cycles - m_eeUnlockCycle <= 3) {
                m_ram[index] = uint8_t(v | 0x02);
                EepromStartWrite();
            }
        }
        m_eeUnlock = 0;
        return;
    }
    case roEecon2:
        if (value == 0x55) {
            m_eeUnlock = 1;
        } else if (value == 0xAA && m_eeUnlock == 1) {
            m_eeUnlock = 2;
        } else {
            m_eeUnlock = 0;
        }
        m_eeUnlockCycle = m_cycles;
        return;
    case roPort: {
        const int p = m_aux[index];
        m_latch[size_t(p)] = value;
        PinsChanged(p);
        return;
    }
    case roLat:
        m_latch[m_aux[index]] = value;
        PinsChanged(m_aux[index]);
        return;
    case roTris:
        m_ram[index] = uint8_t(value & m_pinMask[m_aux[index]]);
        if (!m_pinMask[m_aux[index]])
            m_ram[index] = value;
        PinsChanged(m_aux[index]);
        return;
    case roStkptr:
        if (m_dev.IsPic18()) {
            // The program may clear STKFUL/STKUNF and move the pointer.
            m_ram[index] = uint8_t((m_ram[index] & value & 0xC0));
            m_sp = value & 0x1F;
            m_stackDepth = m_sp;
        } else {
            m_sp = value & 0x1F;
            m_stackDepth = m_sp < 16 ? m_sp + 1 : 0;
        }
        return;
    case roTos: {
        const int shift = 8 * m_aux[index];
        if (m_dev.IsPic18()) {
            if (m_sp > 0) {
                uint32_t tos = m_stack[size_t(m_sp)] * 2;
                tos = (tos & ~(0xFFu << shift)) | (uint32_t(value) << shift);
                m_stack[size_t(m_sp)] = (tos / 2) & 0xFFFFF;
            }
        } else if (m_sp < 16) {
            uint32_t tos = m_stack[size_t(m_sp)];
            tos = (tos & ~(0xFFu << shift)) | (uint32_t(value) << shift);
            m_stack[size_t(m_sp)] = tos & 0x7FFF;
        }
        return;
    }
    case roWdtcon:
        m_ram[index] = value;
        ClearWatchdog();
        return;
    case roPcon:
        m_ram[index] = value;
        return;
    case roAdcon: {
        const uint8_t old = m_ram[index];
        m_ram[index] = value;
        AdconWritten(index, old);
        return;
    }
    default:
        m_ram[index] = value;
        return;
    }
}

uint8_t TSimulator::PeekData(int address) const
{
    if (address < 0 || address >= DataSize())
        return 0;
    const uint16_t entry = m_map[size_t(address)];
    const unsigned index = entry & kIndexMask;
    if (entry & kReadSpecial)
        return PeekSpecial(index);
    if (m_role[index] == roWreg)
        return m_w;
    return m_ram[index];
}

void TSimulator::PokeData(int address, uint8_t value)
{
    if (address < 0 || address >= DataSize())
        return;
    const unsigned index = m_map[size_t(address)] & kIndexMask;
    switch (m_role[index]) {
    case roUnimplemented:
    case roIndf:
        return;
    case roPcl: {
        // Moves the PC within its page.
        const uint32_t pc = m_dev.IsPic18() ? m_pc * 2 : m_pc;
        SetPc((pc & ~0xFFu) | (m_dev.IsPic18() ? (value & 0xFE) : value));
        m_ram[index] = value;
        return;
    }
    case roStatus:
        m_ram[index] = m_dev.IsPic18() ? uint8_t(value & 0x1F) : value;
        UpdateBank();
        return;
    case roTxreg:
    case roRcreg:
    case roEecon2:
        m_ram[index] = value;
        return;
    case roEecon1:
        m_ram[index] = uint8_t((value & ~0x03) | (m_ram[index] & 0x03));
        return;
    case roAdcon: {
        // GO/DONE stays as it is: the memory window does not start or end a conversion.
        const uint8_t go = m_adGo.Valid() && int(index) == m_adGo.addr ? uint8_t(1u << m_adGo.bit) : 0;
        m_ram[index] = uint8_t((value & ~go) | (m_ram[index] & go));
        return;
    }
    case roPcon:
    case roPlain:
        m_ram[index] = value;
        return;
    default: {
        const uint64_t cycles = m_cycles;
        WriteSpecial(index, value);
        m_cycles = cycles;
        Reschedule();
        return;
    }
    }
}

}  // namespace kiv::sim
