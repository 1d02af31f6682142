#pragma once

// A device as the simulator sees it: core, data memory layout, registers with their addresses
// and the bits it gives behaviour to, program size, configuration words and data EEPROM. Read
// from the table generated from gputils' device data; no Qt.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv::sim {

/// Instruction set families.
enum class TCore : uint8_t {
    Pic12,    ///< 12-bit core (baseline)
    Pic12E,   ///< enhanced 12-bit core (baseline with interrupts)
    Pic14,    ///< 14-bit core (mid-range)
    Pic14E,   ///< enhanced 14-bit core
    Pic18,    ///< PIC18 (16-bit instruction words)
};

/// "12-bit", "14-bit", ...
const char *CoreName(TCore core);

/// One configuration word (PIC18: configuration byte).
struct TSimConfigWord {
    uint32_t address = 0;    ///< as in the HEX file's program space: word address (PIC18 byte address)
    uint16_t mask = 0;
    uint16_t defaultValue = 0;
};

/// A configuration setting: "WDTE" with its options "OFF"=0x0, "ON"=0x4 in one word.
struct TSimConfigSetting {
    std::string name;
    uint32_t address = 0;
    uint16_t mask = 0;    ///< the bits any option sets
    std::vector<std::pair<std::string, uint16_t>> options;

    /// The option whose value equals `word & mask`, empty when none does.
    std::string OptionOf(uint16_t word) const;
};

class TSimDevice {
public:
    std::string name;        ///< "PIC16F877A"
    std::string processor;   ///< "p16f877a"
    TCore core = TCore::Pic14;
    int bankSize = 128;
    int bankCount = 1;
    int commonFirst = -1, commonLast = -1;   ///< RAM seen in every bank, -1 without
    int linearFirst = -1, linearLast = -1;   ///< enhanced 14-bit linear RAM view, -1 without
    int accessSplit = 0x80;                  ///< PIC18: first SFR address of the access bank
    int maxRam = -1;
    uint32_t programWords = 0;               ///< program memory in instruction words
    uint32_t eepromFirst = 0;                ///< where the HEX file holds the data EEPROM (device addressing)
    int eepromBytes = 0;
    std::vector<TSimConfigWord> config;
    std::vector<TSimConfigSetting> settings;
    std::vector<std::pair<int, int>> badRam;                 ///< unimplemented ranges, inclusive
    std::vector<std::pair<int, std::string>> registers;      ///< (address, name), by address
    std::map<std::string, std::map<std::string, int>> bits;  ///< register -> bit -> number
    std::map<std::string, uint8_t> pinMasks;                 ///< PORTA/TRISA/LATA/ANSELA -> named bits
    std::string mclrPin;                                     ///< "RB3", "GP3": the MCLR input when MCLRE is on

    /// Data addresses of the device: banks times bank size (PIC18: 4096).
    int DataSize() const { return bankSize * bankCount; }
    /// Address of a register by name, -1 when the device has none.
    int RegisterAddress(std::string_view reg) const;
    /// Address of the first of `names` the device has, -1 when none.
    int FirstRegister(std::initializer_list<const char *> names) const;
    /// Names of the register at `address`, in file order (empty when none).
    std::vector<std::string> RegisterNames(int address) const;
    /// Bit number of `bit` in `reg`, -1 when unknown.
    int BitOf(std::string_view reg, std::string_view bit) const;
    /// The register and bit number of a bit name looked up in every register whose name starts
    /// with `regPrefix`; (-1, -1) when none has it.
    std::pair<int, int> FindBit(std::string_view regPrefix, std::string_view bit) const;
    /// Named bits of a port register, 0xFF when the device data gives none.
    uint8_t PinMask(std::string_view reg) const;
    bool IsBadRam(int address) const;
    /// A configuration setting by name ("WDTE"), null when the device has none.
    const TSimConfigSetting *Setting(std::string_view settingName) const;
    /// Index of the configuration word at `address`, -1 when none.
    int ConfigIndex(uint32_t address) const;
    bool IsPic18() const { return core == TCore::Pic18; }
    bool IsBaseline() const { return core == TCore::Pic12 || core == TCore::Pic12E; }

    /// Fills this device from a text block of the generated table; false on a malformed block.
    bool Parse(std::string_view text);

private:
    std::multimap<int, size_t> m_byAddress;
};

/// The device named `name`, compared without regard to case and accepting "PIC16F877A",
/// "16F877A" and gputils' "p16f877a"; null when the table has no such device. Devices are read
/// from the table once and kept.
const TSimDevice *FindSimDevice(std::string_view name);
/// The names of every device of the table, in table order.
std::vector<std::string> SimDeviceNames();

}  // namespace kiv::sim
