#pragma once

// Loading a program file into the simulator: an Intel HEX file (INHX8M/INHX32) or a COFF file,
// read with the shared readers, their bytes placed by the device's layout.

#include "simcore.h"

#include <string>

namespace kiv::sim {

/// Loads a HEX file: program memory, configuration words, ID locations and data EEPROM. The
/// part is erased first and reset afterwards. False with a message when the file cannot be read,
/// is not a valid HEX file, or holds data outside the device; the part is then left erased.
bool LoadHexFile(TSimulator &sim, const std::string &path, std::string &error);

/// Loads the program memory, configuration and EEPROM sections of a COFF file that gplink wrote.
bool LoadCoffFile(TSimulator &sim, const std::string &path, std::string &error);

/// A HEX or a COFF file, told apart by their first bytes.
bool LoadProgramFile(TSimulator &sim, const std::string &path, std::string &error);

/// The same for the text of a HEX file already in memory.
bool LoadHexText(TSimulator &sim, const std::string &text, std::string &error);

}  // namespace kiv::sim
