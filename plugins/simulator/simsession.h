#pragma once

// What stands behind the simulator library's exports: the settings, the part chosen, the
// simulator with its program, the breakpoints and the IDE's call-backs. The exports only check
// their pointers and buffers and hand over to one session object.
//
// Threads: the IDE makes DBG_GO1 and DBG_DOWNLOAD_TO_TARGET on a worker thread and, while one is
// pending, calls only DBG_STOP and DBG_SEND_TARGET_INPUT. Stop and SendInput therefore never
// take the session lock; every other call only tries it and, when a run holds it, fails at once
// with "The target is running" instead of waiting.

#include "debugger_abi.h"
#include "simcore.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::sim {

class TSimSession {
public:
    /// The display name of the debugger type.
    static const char *Name() { return "Simulator"; }
    /// The option rows the library declares ("name;type;values;value;hint").
    static std::vector<std::string> OptionRows();
    /// The help text: what is simulated and what reads as its reset value.
    static std::string HelpText();

    /// Remembers the IDE's settings file and reads the simulator's options from it.
    bool EstablishCommunication(const std::string &settingsFile, std::string &msg);
    /// The path of the installation's devices.dat.
    void SetDeviceFile(const std::string &path);
    void SetWarningFunction(TDbgWarningFunction warning) { m_warning = warning; }
    bool StartLog(std::string &msg);

    bool ForceChip(const std::string &name, std::string &msg);
    bool TargetName(std::string &name, std::string &msg);
    bool ClockSpeed(double &mhz, std::string &msg);
    /// VDD of the analog settings.
    bool SupplyVolts(double &volts, std::string &msg);
    /// The analog inputs read at EstablishCommunication.
    const TAnalogInputs &AnalogInputs() const { return m_analog; }

    bool Download(const std::string &file, TDbgProgressFunction progress, std::string &msg);
    bool Reset(std::string &msg);
    bool Go(uint32_t &pc, uint8_t &w, uint8_t &status, std::string &msg);
    bool Step(uint32_t &pc, uint8_t &w, std::string &msg);
    /// Makes a pending Go return; safe from any thread, never waits.
    bool Stop(std::string &msg);

    bool SetBreak(int32_t address, std::string &msg);
    bool ClearBreak(int32_t address, std::string &msg);

    bool ReadRam(int32_t address, int32_t count, uint8_t *data, std::string &msg);
    bool WriteRam(int32_t address, int32_t count, const uint8_t *data, std::string &msg);
    bool ValidRam(int32_t start, int32_t count, uint8_t *valid, std::string &msg);
    bool ReadEeprom(int32_t address, int32_t count, uint8_t *data, std::string &msg);
    bool WriteEeprom(int32_t address, int32_t count, const uint8_t *data, std::string &msg);
    /// Without `entries` only `count` is set; with them `count` entries at most are filled.
    bool ReadStack(int32_t &count, uint32_t *entries, std::string &msg);

    bool SetTargetOutput(TDbgCharFunction output);
    /// Queues a byte for the USART receiver; safe from any thread, never waits.
    bool SendInput(uint8_t byte, std::string &msg);

    /// The simulator of the chosen part (tests), null before ForceChip.
    std::shared_ptr<TSimulator> Simulator() const { return std::atomic_load(&m_sim); }

private:
    bool Ready(std::string &msg) const;
    bool Log(const std::string &line);
    std::string PartName() const;

    std::mutex m_mutex;
    std::shared_ptr<TSimulator> m_sim;
    const TSimDevice *m_device = nullptr;
    bool m_programLoaded = false;
    std::string m_settingsFile;
    std::string m_deviceFile;
    double m_clockMHz = 20.0;
    TAnalogInputs m_analog;
    std::map<uint32_t, int> m_breaks;   // address -> times armed
    std::atomic<TDbgCharFunction> m_output{nullptr};
    TDbgWarningFunction m_warning = nullptr;
    std::atomic<bool> m_downloadStop{false};
    std::string m_logPath;
};

/// The one session of the loaded library.
TSimSession &Session();

}  // namespace kiv::sim
