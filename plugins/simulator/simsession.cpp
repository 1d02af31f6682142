#include "simsession.h"

#include "simload.h"

#include "pc_chipr.h"

#include <QFileInfo>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace kiv::sim {

namespace {

// The clock option: the settings file keeps the option under the debugger's name and the
// option's name, upper case with spaces as "_".
constexpr const char *kSettingsSection = "SIMULATOR";
constexpr const char *kClockKey = "CLOCK_MHZ";
constexpr double kDefaultClockMHz = 20.0;
constexpr const char *kAnalogKey = "ANALOG_INPUTS";

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(value));
    return text;
}

}  // namespace

std::vector<std::string> TSimSession::OptionRows()
{
    return {
        "Processor;SR;;;The target microcontroller part number",
        "Clock MHz;S;;20;Oscillator frequency in MHz, four oscillator clocks make one instruction cycle",
        "Analog inputs;S;;VDD=5;Volts on the analog inputs, such as AN0=2.5 AN1=1.2 (512c: a converter count), "
        "with VDD=5 and VREF+= VREF-= for the references",
    };
}

std::string TSimSession::HelpText()
{
    return "Simulator: an instruction-set simulator of the 12-bit, enhanced 12-bit, 14-bit, enhanced 14-bit "
           "and PIC18 cores, with the memory map and registers of each part from the device data.\n"
           "\n"
           "Simulated: every instruction with its cycle count; banks, indirect addressing and the hardware "
           "stack (8-level ring on the 14-bit core, 16 levels with STKPTR on the enhanced 14-bit core, 31 "
           "levels with STKPTR/TOS and the fast register stack on PIC18, stack overflow resets when STVREN "
           "is set); the configuration words; I/O ports with TRIS and LAT (input pins read 0, the MCLR "
           "pin 1 while MCLRE is on); Timer0 with its prescaler (8 and 16 bits on PIC18); Timer1 and "
           "Timer3 on the instruction clock; Timer2 with PR2, prescaler and postscaler; interrupts with "
           "GIE/PEIE, flags and enables, the interrupt vector, PIC18 priorities (IPEN, GIEH/GIEL, IPR "
           "bits) and the enhanced core's automatic context save; the INT pins' edges the program makes "
           "by driving them; the USART transmitter (bytes go to the monitor at the baud rate "
           "from SPBRG/BRGH/BRG16) and receiver (bytes typed in the monitor, a two-byte FIFO, overrun); "
           "the A/D converter of the 14-bit parts (ADCON0/ADCON1, the clock bits wherever the part has them, "
           "ADRESH/ADRESL left or right justified or an 8-bit ADRES, GO/DONE clearing 12 TAD after GO, "
           "ADIF and its interrupt, VDD or the VREF pins as references; the levels on the inputs come from "
           "the \"Analog inputs\" option, e.g. AN0=2.5 AN1=512c VDD=5 VREF+=4.096, and a conversion samples "
           "them when it starts); "
           "the data EEPROM with its 55h/AAh write sequence, write time and EEIF; program memory reads "
           "through EECON1 on 14-bit parts and table reads on PIC18; the watchdog (period from the "
           "prescaler or postscaler, time-out reset, wake-up from SLEEP); SLEEP and wake-up by an enabled "
           "interrupt.\n"
           "\n"
           "Not simulated (these registers keep the value written and otherwise read as their reset "
           "value): the A/D converter of the 12-bit parts and PIC18, comparators and voltage references, CCP/ECCP and PWM, MSSP "
           "(SPI/I2C), the parallel slave port, CAN, USB, LCD, the oscillator control and clock "
           "switching, external clock inputs of the timers, interrupt-on-change, signals on pins from "
           "outside (nothing drives an input), flash self-writes (table writes and EECON1 writes to "
           "program memory end at once without changing it), brown-out and low-voltage detection, and "
           "the PIC18 extended instruction set.\n";
}

bool TSimSession::Log(const std::string &line)
{
    if (m_logPath.empty())
        return false;
    std::ofstream out(m_logPath, std::ios::app);
    out << line << '\n';
    return bool(out);
}

bool TSimSession::StartLog(std::string &msg)
{
    const char *tmp = std::getenv("TMPDIR");
    m_logPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/kivsim.log";
    std::ofstream out(m_logPath, std::ios::app);
    if (!out) {
        msg = "Cannot write the simulator's log file " + m_logPath + ".";
        m_logPath.clear();
        return false;
    }
    out << "kivsim log started " << std::time(nullptr) << '\n';
    return true;
}

bool TSimSession::EstablishCommunication(const std::string &settingsFile, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_settingsFile = settingsFile;
    m_clockMHz = kDefaultClockMHz;
    std::vector<std::string> warnings;
    // The analog inputs: a bad setting is reported and the inputs stay at 0 V with VDD 5 V.
    m_analog = TAnalogInputs();
    if (!settingsFile.empty() && QFileInfo::exists(QString::fromStdString(settingsFile))) {
        QSettings settings(QString::fromStdString(settingsFile), QSettings::IniFormat);
        const QString value = settings.value(QStringLiteral("%1/%2").arg(kSettingsSection, kClockKey)).toString();
        bool ok = false;
        const double mhz = value.trimmed().toDouble(&ok);
        if (!value.trimmed().isEmpty() && (!ok || mhz <= 0 || mhz > 1000)) {
            warnings.push_back("The simulator's \"Clock MHz\" option \"" + value.toStdString()
                               + "\" is not a frequency in MHz; the simulator uses 20 MHz.");
        } else if (ok) {
            m_clockMHz = mhz;
        }
        // Commas are separators of the setting; the INI reader reads a text with commas as a list.
        const QVariant stored = settings.value(QStringLiteral("%1/%2").arg(kSettingsSection, kAnalogKey));
        const QString analogText = stored.typeId() == QMetaType::QStringList
                                       ? stored.toStringList().join(QLatin1Char(','))
                                       : stored.toString();
        std::string error;
        TAnalogInputs analog;
        if (analog.Parse(analogText.toStdString(), error))
            m_analog = analog;
        else
            warnings.push_back("The simulator's \"Analog inputs\" option: " + error + "; the analog inputs stay at 0 V.");
    }
    if (auto sim = std::atomic_load(&m_sim)) {
        sim->SetClockHz(m_clockMHz * 1e6);
        sim->SetAnalogInputs(m_analog);
    }
    Log("communication, clock " + std::to_string(m_clockMHz) + " MHz, analog " + m_analog.Text());
    // A bad option is shown through the warning function: the user goes on with the default or
    // stops to correct it.
    lock.unlock();
    for (const std::string &warning : warnings) {
        Log(warning);
        if (m_warning && m_warning(warning.c_str(), "Simulator options") != 0) {
            msg = warning;
            return false;
        }
    }
    return true;
}

void TSimSession::SetDeviceFile(const std::string &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deviceFile = path;
}

std::string TSimSession::PartName() const
{
    return m_device ? m_device->name : std::string("part");
}

bool TSimSession::ForceChip(const std::string &name, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    const TSimDevice *device = FindSimDevice(name);
    if (!device) {
        msg = "The simulator does not know the part \"" + name + "\".";
        return false;
    }
    // The installation's device database must know the part as a device of the same family.
    if (!m_deviceFile.empty() && QFileInfo::exists(QString::fromStdString(m_deviceFile))) {
        kiv::SetDeviceFile(QString::fromStdString(m_deviceFile));
        DeviceRecord record;
        if (FindDevice(QString::fromStdString(device->name), record)) {
            const uint8_t expected = device->IsPic18() ? dkPic18 : device->IsBaseline() ? dkPic12 : dkPic14;
            if (record.kind() != expected) {
                msg = "The device database gives " + device->name + " another core than the simulator's "
                      + CoreName(device->core) + " core.";
                return false;
            }
        }
    }
    if (m_device != device) {
        auto sim = std::make_shared<TSimulator>(*device);
        sim->SetClockHz(m_clockMHz * 1e6);
        sim->SetAnalogInputs(m_analog);
        std::atomic_store(&m_sim, sim);
        m_device = device;
        m_programLoaded = false;
        m_breaks.clear();
    }
    Log("part " + device->name);
    return true;
}

bool TSimSession::TargetName(std::string &name, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!m_device) {
        msg = "The simulator has no part yet: it runs the part the program was built for.";
        return false;
    }
    name = m_device->name;
    return true;
}

bool TSimSession::ClockSpeed(double &mhz, std::string &)
{
    mhz = m_clockMHz;
    return true;
}

bool TSimSession::SupplyVolts(double &volts, std::string &)
{
    volts = m_analog.vdd;
    return true;
}

bool TSimSession::Ready(std::string &msg) const
{
    if (!m_sim) {
        msg = "The simulator has no part yet: it runs the part the program was built for.";
        return false;
    }
    return true;
}

bool TSimSession::Download(const std::string &file, TDbgProgressFunction progress, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    m_downloadStop.store(false);
    auto goOn = [&](int percent, const char *text) {
        return m_downloadStop.load() ? false : !progress || progress(percent, percent, text) != 0;
    };
    if (!goOn(0, "Loading")) {
        msg = "The download was stopped.";
        return false;
    }
    std::string error;
    if (!LoadProgramFile(*m_sim, file, error)) {
        msg = error;
        m_programLoaded = false;
        Log("download failed: " + error);
        return false;
    }
    for (const auto &[address, count] : m_breaks)
        m_sim->SetBreakpoint(address);
    m_programLoaded = true;
    if (!goOn(100, "Loaded")) {
        msg = "The download was stopped.";
        return false;
    }
    Log("downloaded " + file);
    return true;
}

bool TSimSession::Reset(std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    m_sim->Reset(TResetCause::Mclr);
    return true;
}

bool TSimSession::Go(uint32_t &pc, uint8_t &w, uint8_t &status, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is already running.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (!m_programLoaded) {
        msg = "No program is loaded into the simulator.";
        return false;
    }
    TSimulator &sim = *m_sim;
    sim.ClearStopRequest();
    sim.SetOutputFunction([this](uint8_t byte) {
        if (TDbgCharFunction output = m_output.load())
            output(byte);
    });
    const TStop stop = sim.Run(UINT64_MAX);
    pc = sim.Pc();
    w = sim.W();
    status = stop == TStop::Breakpoint ? kDbgStoppedOnBreak : 0;
    return true;
}

bool TSimSession::Step(uint32_t &pc, uint8_t &w, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (!m_programLoaded) {
        msg = "No program is loaded into the simulator.";
        return false;
    }
    m_sim->SetOutputFunction([this](uint8_t byte) {
        if (TDbgCharFunction output = m_output.load())
            output(byte);
    });
    m_sim->Step();
    pc = m_sim->Pc();
    w = m_sim->W();
    return true;
}

bool TSimSession::Stop(std::string &)
{
    m_downloadStop.store(true);
    if (auto sim = std::atomic_load(&m_sim))
        sim->RequestStop();
    return true;
}

bool TSimSession::SetBreak(int32_t address, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (address < 0 || !m_sim->SetBreakpoint(uint32_t(address))) {
        msg = "The address " + Hex(uint32_t(address)) + " is outside the program memory of the " + PartName() + ".";
        if (address >= 0 && m_device->IsPic18() && (address & 1))
            msg = "The address " + Hex(uint32_t(address)) + " is not the start of an instruction: PIC18 "
                  "instructions start at even addresses.";
        return false;
    }
    ++m_breaks[uint32_t(address)];
    return true;
}

bool TSimSession::ClearBreak(int32_t address, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (address == -1) {
        m_breaks.clear();
        if (m_sim)
            m_sim->ClearBreakpoints();
        return true;
    }
    const auto it = address >= 0 ? m_breaks.find(uint32_t(address)) : m_breaks.end();
    if (it == m_breaks.end()) {
        msg = "There is no breakpoint at " + Hex(uint32_t(address)) + ".";
        return false;
    }
    // A breakpoint set twice is armed until it is cleared twice.
    if (--it->second == 0) {
        if (m_sim)
            m_sim->ClearBreakpoint(it->first);
        m_breaks.erase(it);
    }
    return true;
}

bool TSimSession::ReadRam(int32_t address, int32_t count, uint8_t *data, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (address < 0 || count < 0 || int64_t(address) + count > m_sim->DataSize()) {
        msg = "The RAM range " + Hex(uint32_t(address)) + " (" + std::to_string(count) + " bytes) is outside the "
              "data memory of the " + PartName() + ", which ends at " + Hex(uint32_t(m_sim->DataSize() - 1)) + ".";
        return false;
    }
    for (int32_t i = 0; i < count; ++i)
        data[i] = m_sim->PeekData(address + i);
    return true;
}

bool TSimSession::WriteRam(int32_t address, int32_t count, const uint8_t *data, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (address < 0 || count < 0 || int64_t(address) + count > m_sim->DataSize()) {
        msg = "The RAM range " + Hex(uint32_t(address)) + " (" + std::to_string(count) + " bytes) is outside the "
              "data memory of the " + PartName() + ", which ends at " + Hex(uint32_t(m_sim->DataSize() - 1)) + ".";
        return false;
    }
    for (int32_t i = 0; i < count; ++i)
        m_sim->PokeData(address + i, data[i]);
    return true;
}

bool TSimSession::ValidRam(int32_t start, int32_t count, uint8_t *valid, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (start < 0 || count < 0 || int64_t(start) + count > 0x10000) {
        msg = "The RAM range " + Hex(uint32_t(start)) + " (" + std::to_string(count) + " bytes) is not a data "
              "memory range.";
        return false;
    }
    // Addresses past the part's data memory have no RAM.
    for (int32_t i = 0; i < count; ++i)
        valid[i] = m_sim->IsImplemented(start + i) ? 1 : 0;
    return true;
}

bool TSimSession::ReadEeprom(int32_t address, int32_t count, uint8_t *data, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (m_sim->EepromSize() == 0) {
        msg = "The " + PartName() + " has no data EEPROM.";
        return false;
    }
    if (address < 0 || count < 0 || int64_t(address) + count > m_sim->EepromSize()) {
        msg = "The EEPROM range " + Hex(uint32_t(address)) + " (" + std::to_string(count) + " bytes) is outside "
              "the " + std::to_string(m_sim->EepromSize()) + " bytes of data EEPROM of the " + PartName() + ".";
        return false;
    }
    for (int32_t i = 0; i < count; ++i)
        data[i] = m_sim->EepromByte(address + i);
    return true;
}

bool TSimSession::WriteEeprom(int32_t address, int32_t count, const uint8_t *data, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    if (m_sim->EepromSize() == 0) {
        msg = "The " + PartName() + " has no data EEPROM.";
        return false;
    }
    if (address < 0 || count < 0 || int64_t(address) + count > m_sim->EepromSize()) {
        msg = "The EEPROM range " + Hex(uint32_t(address)) + " (" + std::to_string(count) + " bytes) is outside "
              "the " + std::to_string(m_sim->EepromSize()) + " bytes of data EEPROM of the " + PartName() + ".";
        return false;
    }
    for (int32_t i = 0; i < count; ++i)
        m_sim->SetEepromByte(address + i, data[i]);
    return true;
}

bool TSimSession::ReadStack(int32_t &count, uint32_t *entries, std::string &msg)
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        msg = "The target is running; halt it first.";
        return false;
    }
    if (!Ready(msg))
        return false;
    const std::vector<uint32_t> stack = m_sim->StackEntries();
    if (!entries) {
        count = int32_t(stack.size());
        return true;
    }
    if (count < 0) {
        msg = "The stack entry count " + std::to_string(count) + " is negative.";
        return false;
    }
    const int32_t n = std::min<int32_t>(count, int32_t(stack.size()));
    for (int32_t i = 0; i < n; ++i)
        entries[i] = stack[size_t(i)];
    count = n;
    return true;
}

bool TSimSession::SetTargetOutput(TDbgCharFunction output)
{
    m_output.store(output);
    return true;
}

bool TSimSession::SendInput(uint8_t byte, std::string &msg)
{
    auto sim = std::atomic_load(&m_sim);
    if (!sim) {
        msg = "The simulator has no part yet: it runs the part the program was built for.";
        return false;
    }
    if (!sim->PushInput(byte)) {
        msg = "The simulated serial port's input is full: the program does not read what it receives.";
        return false;
    }
    return true;
}

TSimSession &Session()
{
    static TSimSession session;
    return session;
}

}  // namespace kiv::sim
