#pragma once

// The simulation engine: one device's program memory, data memory, stack and peripherals, run
// instruction by instruction. Program memory is decoded once into a table of small records and
// run by a switch; peripherals are brought up to date only when the program touches them or
// when their next event (an overflow, a finished character, a finished EEPROM write) is due, so
// the loop does no work per instruction for them. Plain C++: no Qt, no allocation and no virtual
// call while running.
//
// Addresses: program counters and breakpoints are word addresses for the 12-bit and 14-bit
// cores and byte addresses for PIC18, as the debugger and the HEX file see them. Data addresses
// are the device's data space (bank * bank size + offset).
//
// Threads: Run and everything else is called from one thread at a time; RequestStop and
// PushInput may be called from any thread at any time.

#include "simdevice.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kiv::sim {

/// Why Run returned.
enum class TStop : uint8_t {
    None,
    Breakpoint,    ///< the PC reached an armed breakpoint (the instruction there is not executed yet)
    StopRequest,   ///< RequestStop was called
    CycleLimit,    ///< the cycle limit given to Run was reached
};

/// What caused a reset.
enum class TResetCause : uint8_t { PowerOn, Mclr, Watchdog, Software, StackOverflow };

/// Behaviour of a data address.
enum TRole : uint8_t {
    roPlain = 0,
    roUnimplemented,   ///< reads 0, writes are ignored
    roIndf,            ///< INDF (12/14-bit), INDF0/INDF1 (enhanced), INDFn/POSTINCn/... (PIC18): aux = FSR number and mode
    roPcl,
    roStatus,
    roFsr,             ///< 12-bit FSR (bank select bits), 14-bit FSR
    roFsrPart,         ///< enhanced 14-bit and PIC18 FSRnL/FSRnH
    roPclath,
    roPclatu,
    roBsr,
    roWreg,
    roIrq,             ///< INTCON, INTCON2/3, PIRn, PIEn, IPRn, RCON
    roTmr0,            ///< TMR0, TMR0L
    roTmr0H,
    roOption,          ///< OPTION_REG
    roT0con,
    roTmrL,            ///< TMR1L/TMR3L: aux = timer (1 or 3)
    roTmrH,
    roTcon,            ///< T1CON/T3CON
    roTmr2,
    roPr2,
    roT2con,
    roTxreg,
    roRcreg,
    roTxsta,
    roRcsta,
    roBaud,            ///< SPBRG, SPBRGH, BAUDCON
    roEecon1,
    roEecon2,
    roPort,            ///< PORTx/GPIO: aux = port index
    roLat,
    roTris,
    roStkptr,
    roTos,             ///< TOSL/TOSH/TOSU: aux = byte
    roWdtcon,
    roPcon,
    roAdcon,           ///< the A/D control register with GO/DONE and ADON (ADCON0)
};

/// What drives the analog inputs: the voltage on each ANn pin (or a raw converter count that
/// the converter returns as it is), the supply and the external references.
struct TAnalogInputs {
    double vdd = 5.0;
    std::optional<double> vrefHigh;   ///< volts on the VREF+ pin; VDD when not given
    std::optional<double> vrefLow;    ///< volts on the VREF- pin; 0 V when not given
    std::map<int, double> volts;      ///< channel -> volts
    std::map<int, int> counts;        ///< channel -> raw count

    /// Adds the settings of a text such as "AN0=2.5 AN1=1.2V AN2=512c VDD=3.3 VREF+=2.048"
    /// (items separated by blanks or commas; a number with "c" is a raw count). On a bad item
    /// nothing changes and `error` says why.
    bool Parse(std::string_view text, std::string &error);
    /// The settings as Parse reads them.
    std::string Text() const;
};

/// The decoded form of one program word.
struct TInsn {
    uint16_t op = 0;
    uint16_t f = 0;     ///< file address, literal or FSR number
    uint32_t k = 0;     ///< second operand: bit mask, branch target, literal
};

class TSimulator {
public:
    explicit TSimulator(const TSimDevice &device);

    const TSimDevice &Device() const { return m_dev; }
    TCore Core() const { return m_dev.core; }

    // ---- program -------------------------------------------------------------------------
    /// Empties program memory (erased words), configuration (defaults) and the data EEPROM.
    void ErasePrograms();
    /// Stores one byte of a HEX file at its byte address: program memory, configuration words,
    /// ID locations or data EEPROM by the device's layout. False when the address is outside
    /// the device. Call FinishLoading after the last byte.
    bool LoadHexByte(uint32_t byteAddress, uint8_t value);
    /// Decodes the program memory loaded and resets the part.
    void FinishLoading();
    /// Program word at a word address (erased value outside the program).
    uint16_t ProgramWord(uint32_t wordAddress) const;
    uint32_t ProgramWords() const { return uint32_t(m_prog.size()); }
    /// Erased program word of the core (0xFFF, 0x3FFF or 0xFFFF).
    uint16_t ErasedWord() const;
    /// Current value of configuration word `index` (order of TSimDevice::config).
    uint16_t ConfigWord(int index) const;

    // ---- reset and running -------------------------------------------------------------------
    void Reset(TResetCause cause = TResetCause::PowerOn);
    /// Runs until a breakpoint, RequestStop, or `maxCycles` more instruction cycles. When the PC
    /// is at a breakpoint on entry, that instruction runs first.
    TStop Run(uint64_t maxCycles);
    /// Runs one instruction (or enters an interrupt that is due); an interrupt that becomes due
    /// during the instruction is entered before Step returns. Breakpoints are not checked.
    void Step();
    /// Makes a Run in progress on another thread return promptly. Safe from any thread.
    void RequestStop() { m_stopRequest.store(true, std::memory_order_relaxed); }
    /// Forgets a stop request that arrived while nothing was running.
    void ClearStopRequest() { m_stopRequest.store(false, std::memory_order_relaxed); }

    /// PC as the debugger sees it (word address; PIC18 byte address).
    uint32_t Pc() const { return m_dev.IsPic18() ? m_pc * 2 : m_pc; }
    void SetPc(uint32_t pc);
    uint8_t W() const { return m_w; }
    void SetW(uint8_t w) { m_w = w; }
    uint8_t Status() const;
    uint64_t Cycles() const { return m_cycles; }
    bool Sleeping() const { return m_sleeping; }
    /// Resets counted since the last power-on reset, and the cause of the last one.
    TResetCause LastResetCause() const { return m_lastReset; }

    /// Instruction clock input in Hz (four clocks per instruction cycle).
    void SetClockHz(double hz);
    double ClockHz() const { return m_clockHz; }

    // ---- breakpoints -------------------------------------------------------------------------
    /// Arms a breakpoint at a PC address; false outside program memory.
    bool SetBreakpoint(uint32_t pcAddress);
    /// Disarms one; false when none was armed there.
    bool ClearBreakpoint(uint32_t pcAddress);
    void ClearBreakpoints();
    bool HasBreakpoint(uint32_t pcAddress) const;

    // ---- memory for the debugger (no side effects on reads) ----------------------------------
    int DataSize() const { return m_dataSize; }
    /// True when the address holds a register or RAM.
    bool IsImplemented(int address) const;
    uint8_t PeekData(int address) const;
    /// Stores a value as the debugger's memory window does: the register takes the value and
    /// what depends on it follows (bank, timers, interrupts), without starting any action.
    void PokeData(int address, uint8_t value);
    int EepromSize() const { return int(m_eeprom.size()); }
    uint8_t EepromByte(int address) const { return m_eeprom[size_t(address)]; }
    void SetEepromByte(int address, uint8_t value) { m_eeprom[size_t(address)] = value; }
    /// Return addresses on the hardware stack, most recent first (PC addressing).
    std::vector<uint32_t> StackEntries() const;
    /// Number of return addresses the stack holds (at most its size).
    int StackDepth() const { return m_stackDepth; }
    int StackSize() const { return m_stackSize; }

    // ---- analog inputs and the A/D converter --------------------------------------------------
    /// The levels on the analog inputs; a conversion samples them when it starts.
    void SetAnalogInputs(const TAnalogInputs &inputs) { m_analog = inputs; }
    const TAnalogInputs &AnalogInputs() const { return m_analog; }
    /// True when the part has an A/D converter the simulator runs.
    bool HasAdc() const { return m_adGo.Valid() && m_adOn.Valid(); }
    /// Bits of a conversion result (8 on parts with a single ADRES, else 10).
    int AdcBits() const { return m_adBits; }
    /// Instruction cycles a conversion started now takes with the clock ADCS selects.
    uint64_t AdcConversionCycles() const;
    /// The result a conversion of `channel` started now gives.
    uint16_t AdcSample(int channel) const;

    // ---- serial port -------------------------------------------------------------------------
    /// Receives each byte the USART transmits (called on the running thread).
    void SetOutputFunction(std::function<void(uint8_t)> output) { m_output = std::move(output); }
    /// Queues a byte for the USART receiver; false when the queue is full. Safe from any thread.
    bool PushInput(uint8_t byte);

    /// Address of a register by name (for tests and tools), -1 when the device has none.
    int RegisterAddress(std::string_view name) const { return m_dev.RegisterAddress(name); }
    TRole RoleOf(int address) const;

    /// Reads and writes of unimplemented data addresses so far (for tools that compare runs).
    uint64_t UnimplementedAccesses() const { return m_unimplementedAccesses; }
    /// Interrupts entered so far.
    uint64_t InterruptsTaken() const { return m_interruptsTaken; }
    /// The cycle a peripheral last raised an interrupt flag in.
    uint64_t LastFlagCycle() const { return m_lastFlagCycle; }

    /// Read and write as an instruction would (side effects included).
    uint8_t Read(unsigned address);
    void Write(unsigned address, uint8_t value);

private:
    friend class TSimTestAccess;

    // The map entry of a data address: the index of its storage (an alias points at its
    // original) plus flags for addresses with behaviour on reading or writing.
    static constexpr uint16_t kReadSpecial = 0x8000;
    static constexpr uint16_t kWriteSpecial = 0x4000;
    static constexpr uint16_t kIndirect = 0x2000;
    static constexpr uint16_t kIndexMask = 0x1FFF;

    void BuildMemory();
    void BuildInterrupts();
    void AssignRole(int address, const std::string &name);
    uint8_t ResetValue(int address) const;

    void Decode(uint32_t index);
    void DecodeAll();
    TInsn DecodeMid(uint16_t word) const;
    TInsn DecodeBaseline(uint16_t word) const;
    TInsn Decode18(uint32_t index) const;

    template <bool kStep> TStop RunMid(uint64_t endCycle);
    template <bool kStep> TStop Run18(uint64_t endCycle);

    /// The address a PIC18 file operand reaches: for an indirect register the address its FSR
    /// gives (the FSR moved once), for an indirect register reached that way a cell that reads 0.
    unsigned ResolveFile(unsigned address)
    {
        const uint16_t entry = m_map[address];
        return (entry & kIndirect) ? ResolveIndirect(entry & kIndexMask) : address;
    }
    unsigned ResolveIndirect(unsigned index);
    uint8_t ReadSpecial(unsigned index);
    void WriteSpecial(unsigned index, uint8_t value);
    uint8_t PeekSpecial(unsigned index) const;
    uint8_t PeekTimer(unsigned index);

    // Indirect access.
    uint8_t ReadIndirect(unsigned fsr, bool peek = false);
    void WriteIndirect(unsigned fsr, uint8_t value);
    unsigned FsrValue(unsigned n) const;
    void SetFsrValue(unsigned n, unsigned value);
    unsigned IndirectAddress(unsigned index, bool advance);
    uint8_t ReadLinear(unsigned address);
    void WriteLinear(unsigned address, uint8_t value);

    // Stack.
    void Push(uint32_t pc);
    uint32_t Pop();

    // Status bits.
    uint8_t &StatusRef() { return m_ram[m_statusIndex]; }
    void UpdateBank();
    void ResetRegisters(TResetCause cause);

    // Events and peripherals.
    void ScheduleNow() { m_nextEvent = 0; }
    void Reschedule();
    TStop HandleEvents();
    void UpdateIrq();
    bool TakeInterrupt();
    // A single step while asleep: one cycle, and what falls due in it (a wake-up shows at once).
    void StepAsleep();
    void EnterSleep();
    void StackFault();
    void WakeUp();
    void ClearWatchdog();
    void WatchdogChanged();
    uint64_t WatchdogPeriod() const;
    bool WatchdogEnabled() const;
    uint8_t OptionValue() const;

    void SyncTimer0() { SyncTimer0(m_cycles); }
    void SyncTimer0(uint64_t now);
    void Timer0Changed();
    uint8_t Timer0Prescale() const;   // log2 of the prescaler, 0 for none
    bool Timer0Counting() const;
    void SyncTimer(int n) { SyncTimer(n, m_cycles); }   // Timer1 or Timer3
    void SyncTimer(int n, uint64_t now);
    void TimerChanged(int n);
    void SyncTimer2() { SyncTimer2(m_cycles); }
    void SyncTimer2(uint64_t now);
    /// The cycle an instruction reads a register in: its first (m_cycles counts it already).
    uint64_t ReadCycle() const { return m_cycles > 0 ? m_cycles - 1 : 0; }
    void Timer2Changed();
    void UartTxStart();
    void UartChanged();
    void UartTick();
    uint64_t UartCharCycles() const;
    uint64_t UartBitCycles() const;
    bool UartTxEnabled() const;
    void EepromStartWrite();
    void EepromRead();
    bool EepromTargetsData() const;
    uint32_t EepromAddress() const;
    uint8_t PortRead(int port) const;
    void BuildIntPins();
    void PinsChanged(int port);
    uint8_t ReadProgramByte(uint32_t address) const;

    void SetFlag(int address, int bit);

    // A/D converter.
    struct TBitRef {
        int addr = -1, bit = -1;
        bool Valid() const { return addr >= 0 && bit >= 0; }
    };
    bool BitSet(const TBitRef &b) const { return b.Valid() && (m_ram[b.addr] >> b.bit) & 1; }
    void BuildAdc();
    void AdconWritten(unsigned index, uint8_t old);
    void AdcFinish();
    void AdcSleep();
    int AdcClockCode() const;
    int AdcChannel() const;

    const TSimDevice &m_dev;

    // Program memory.
    std::vector<uint16_t> m_prog;
    std::vector<TInsn> m_code;
    std::vector<uint16_t> m_config;
    std::array<uint8_t, 8> m_idLocs{};
    std::unordered_map<uint32_t, uint16_t> m_breakOps;   // word index -> original op
    uint32_t m_pcMask = 0;

    // Data memory; one more entry than the device has: a cell that reads 0 and ignores writes.
    int m_dataSize = 0;
    std::vector<uint16_t> m_map;
    std::vector<uint8_t> m_ramStore;
    uint8_t *m_ram = nullptr;
    std::vector<uint8_t> m_role;
    std::vector<uint8_t> m_aux;
    std::vector<uint8_t> m_eeprom;

    uint64_t m_unimplementedAccesses = 0;
    uint64_t m_interruptsTaken = 0;

    // Core state.
    uint32_t m_pc = 0;   // word index (PIC18: byte address / 2)
    uint8_t m_w = 0;
    uint64_t m_cycles = 0;
    unsigned m_bank = 0;   // bank base of direct addressing (PIC18: BSR << 8)
    unsigned m_statusIndex = 3;
    int m_pclath = -1, m_pclatu = -1, m_bsr = -1, m_intcon = -1, m_option = -1;
    int m_fsr[3] = {-1, -1, -1};     // FSRnL (12/14-bit: FSR)
    int m_fsrh[3] = {-1, -1, -1};
    std::array<uint32_t, 32> m_stack{};
    int m_sp = 0;          // see Push/Pop
    int m_stackDepth = 0;  // entries in use (for the debugger)
    int m_stackSize = 8;
    int m_stkptr = -1, m_pcon = -1;
    bool m_sleeping = false;
    TResetCause m_lastReset = TResetCause::PowerOn;
    uint8_t m_tablat = 0;
    int m_tblptr = -1, m_tablatAddr = -1, m_prodl = -1;
    int m_shadowBase = -1;   // enhanced 14-bit: STATUS_SHAD
    uint8_t m_fastW = 0, m_fastStatus = 0, m_fastBsr = 0;   // PIC18 fast register stack

    // Events.
    // Entering an interrupt takes one instruction cycle after the instruction during which it fell
    // due (the reference simulator's timing; the data sheets give the latency as three to four
    // cycles from the event, which depends on where in the instruction the event falls).
    static constexpr uint64_t kInterruptCycles = 1;
    static constexpr double kEepromWriteSeconds = 0.004;
    uint64_t m_nextEvent = 0;
    uint64_t m_pollAt = 0;
    uint64_t m_runEnd = UINT64_MAX;
    uint64_t m_irqEarliest = 0;
    uint64_t m_flagCycle = UINT64_MAX;   // the cycle of the timer event being handled
    uint64_t m_lastFlagCycle = 0;        // the cycle the last flag was raised in
    bool m_stepTail = false;             // handling what fell due during a single step's instruction
    bool m_tookInterrupt = false;
    bool m_stackOverflow = false;
    std::atomic<bool> m_stopRequest{false};
    double m_clockHz = 20e6;

    // Interrupts.
    struct TIrqGroup {
        int flagAddr = -1, enableAddr = -1, prioAddr = -1;
        int enableShift = 0;   // enable bit = flag bit + shift
        int prioShift = 0;     // priority bit = flag bit + shift (IPR: 0)
        uint8_t mask = 0;
        uint8_t alwaysHigh = 0;   // flag bits of sources without a priority bit (INT0)
        bool peripheral = false;
    };
    std::vector<TIrqGroup> m_irqGroups;
    int m_rcon = -1;
    int m_eeifAddr = -1, m_eeifBit = -1, m_eeieBit = -1;   // 16F84-style EE interrupt in INTCON
    uint8_t m_irqLevel = 0;    // 0 none, 1 low (or the only level), 2 high
    bool m_wakeRequest = false;

    // Timer0.
    int m_tmr0 = -1, m_tmr0h = -1, m_t0con = -1;
    uint64_t m_t0Sync = 0;      // cycle the count below belongs to
    uint64_t m_t0Start = 0;     // no counting before this cycle (write inhibit)
    uint32_t m_t0Pre = 0;       // prescaler count
    uint8_t m_t0HighBuffer = 0;
    uint64_t m_t0Overflow = UINT64_MAX;
    // Timer1 and Timer3 (index 0 and 1).
    struct TTimer16 {
        int low = -1, high = -1, con = -1;
        int flagAddr = -1, flagBit = -1;
        uint64_t sync = 0;
        uint32_t pre = 0;
        uint8_t highBuffer = 0;
        uint64_t overflow = UINT64_MAX;
        uint64_t flagAt = UINT64_MAX;
    } m_t16[2];
    // Timer2.
    int m_tmr2 = -1, m_pr2 = -1, m_t2con = -1, m_tmr2ifAddr = -1, m_tmr2ifBit = -1;
    uint64_t m_t2Sync = 0;
    uint32_t m_t2Pre = 0, m_t2Post = 0;
    uint64_t m_t2Match = UINT64_MAX;
    uint64_t m_t2FlagAt = UINT64_MAX;
    // USART.
    int m_txreg = -1, m_rcreg = -1, m_txsta = -1, m_rcsta = -1, m_spbrg = -1, m_spbrgh = -1, m_baudcon = -1;
    int m_txifAddr = -1, m_txifBit = -1, m_rcifAddr = -1, m_rcifBit = -1;
    bool m_txBusy = false, m_txPending = false;
    uint8_t m_txShift = 0, m_txPendingByte = 0;
    uint64_t m_txDone = UINT64_MAX;
    uint64_t m_brgStart = 0;           // the baud rate generator restarts when SPBRG is written
    uint64_t m_txLoad = UINT64_MAX;    // TXIF follows a TXREG write here ...
    uint64_t m_txMove = UINT64_MAX;    // ... and TXREG moves into the shift register here
    uint8_t m_rxFifo[2] = {0, 0};
    int m_rxCount = 0;
    uint64_t m_rxNext = UINT64_MAX;
    std::array<std::atomic<uint8_t>, 256> m_inputRing{};
    std::atomic<uint32_t> m_inputHead{0}, m_inputTail{0};
    std::function<void(uint8_t)> m_output;
    // EEPROM.
    int m_eecon1 = -1, m_eecon2 = -1, m_eedata = -1, m_eedath = -1, m_eeadr = -1, m_eeadrh = -1;
    int m_eeifFlagAddr = -1, m_eeifFlagBit = -1;
    int m_eeUnlock = 0;       // 0, 1 after 0x55, 2 after 0xAA
    uint64_t m_eeUnlockCycle = 0;
    uint64_t m_eeDone = UINT64_MAX;
    uint32_t m_eeWriteAddr = 0;
    uint8_t m_eeWriteData = 0;
    // Watchdog.
    uint64_t m_wdtStart = 0;
    uint64_t m_wdtExpire = UINT64_MAX;
    int m_wdtcon = -1;
    // Ports: latches and the levels driven onto input pins from outside.
    int m_portCount = 0;
    std::array<int, 11> m_portAddr{}, m_trisAddr{}, m_latAddr{};
    std::array<uint8_t, 11> m_latch{}, m_pinIn{}, m_pinMask{};
    std::array<uint8_t, 11> m_pinLevel{};   // pin levels as last seen by the edge detectors
    // External interrupt pins INT/INT0..INT2: port, bit, flag and edge-select bits.
    struct TIntPin {
        int port = -1, bit = 0;
        int flagAddr = -1, flagBit = -1;
        int edgeAddr = -1, edgeBit = -1;
    };
    std::vector<TIntPin> m_intPins;
    // A/D converter: the bits by name from the device data, the conversion in progress.
    TBitRef m_adGo, m_adOn, m_adFm, m_adif, m_vcfg, m_adnref;
    std::array<TBitRef, 3> m_adcs{};
    std::array<TBitRef, 2> m_vcfgPair{}, m_adpref{};
    std::array<TBitRef, 5> m_chs{};
    std::array<TBitRef, 4> m_pcfg{};
    std::array<TBitRef, 2> m_adfvr{};
    int m_adresh = -1, m_adresl = -1;
    int m_adBits = 10;
    uint64_t m_adDone = UINT64_MAX;
    uint16_t m_adResult = 0;
    TAnalogInputs m_analog;
    // Baseline parts: OPTION and the TRIS registers are set by instructions only.
    uint8_t m_baselineOption = 0xFF;
    std::array<uint8_t, 11> m_baselineTris{};
};

}  // namespace kiv::sim
