#pragma once

// The device headers devices/<part>.h of the installation, written at build time from the
// processor data gputils ships: the #device line, the PIN_xx numbers, the interrupt numbers of
// enable_interrupts, the register names, then the run-time library vyncrt.h that holds the
// options of the built-in functions.

#include "vync_target.h"

#include <string>
#include <vector>

namespace kiv::vync {

/// The header's file name: the part name without its leading letters ("16F877A.h").
std::string DeviceHeaderName(const std::string &part);

/// The text of the device header of `target`.
std::string DeviceHeaderText(const TTarget &target);

/// The analog select bit of one converter channel.
struct TAnalogSelect {
    int channel = -1;
    std::string reg;    /// "ANSELB"
    int bit = 0;
    std::string pin;    /// "B6" where the bit is named for its pin
};

/// The select bits of the part's analog channels (ANSEL/ANSELH named per channel, ANSELA ..
/// named per pin), by channel; empty on parts that configure their pins another way.
std::vector<TAnalogSelect> AnalogSelectBits(const TTarget &target);

/// The function __adc_pin_select(int32 channels) of the device header: sets each channel's
/// select bit from bit `channel` of its argument and clears the others (with `target`, also the
/// select bits of pins without a channel).
std::string AnalogSelectFunction(const std::vector<TAnalogSelect> &select, const TTarget *target = nullptr);

/// The hardware serial port of a part: its registers and flags, and its usual pins.
struct TUsart {
    std::string txreg, rcreg, spbrg, txsta, rcsta;   /// register names
    std::string txifReg, rcifReg;
    int txifBit = 0;
    int rcifBit = 0;
    int txPin = -1;   /// pin number (port address * 8 + bit); -1 where the program assigns the pins
    int rxPin = -1;
};

/// The serial port of `target`; false when the part has none.
bool FindUsart(const TTarget &target, TUsart *usart);

/// The MSSP module of a part that can be an I2C master: its registers, interrupt flag and pins.
struct TMssp {
    std::string con, con2, stat, add, buf;   /// register names
    std::string ifReg;
    int ifBit = 0;
    int sclPin = -1;
    int sdaPin = -1;
};

/// The master-capable MSSP of `target` on fixed pins; false when the part has none.
bool FindMssp(const TTarget &target, TMssp *mssp);

/// The pin number of "C6" (port C bit 6; port A is GPIO where the part has that), -1 when the
/// part has no such port.
int PinNumber(const TTarget &target, const std::string &pin);
/// "PIN_C6" for a pin number, empty when it is not on a port of the part.
std::string PinName(const TTarget &target, int pin);
/// True when the part has the pin (its port has a bit named at that place).
bool PinExists(const TTarget &target, int pin);

/// Every part gputils knows (`gpasm -l`), as gpasm names them ("p16f877a").
std::vector<std::string> GputilsParts();

/// Writes the header of every 14-bit part into `folder`; returns how many were written, -1 when
/// gpasm can not be run. Parts gputils can not describe are listed in `skipped`.
int WriteDeviceHeaders(const std::string &folder, std::vector<std::string> *skipped);

}  // namespace kiv::vync
