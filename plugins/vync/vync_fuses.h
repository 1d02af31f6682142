#pragma once

// The fuse table of the device database (utils/devices.dat): each fuse name of a part with the
// configuration bits it sets.

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::vync {

struct TFuse {
    std::string name;
    std::uint16_t mask = 0;
    std::uint16_t value = 0;
    int word = 1;   /// configuration word, 1-based
};

/// Reads the fuses of `part` ("PIC16F877A") from devices.dat. False with `error` set when the
/// file can not be read or does not hold the part.
bool ReadFuses(const std::string &devicesDat, const std::string &part, std::vector<TFuse> *fuses, std::string *error);

}  // namespace kiv::vync
