#pragma once

// The text the COFF dump program prints for a COFF file: the file and optional headers, each
// section with its data as hexadecimal words (bytes for data memory), its relocations and line
// numbers, then the symbols with their auxiliary entries.

#include "coff_file.h"

#include <string>

namespace kiv::coffdump {

/// The whole report of `coff`, read from `path`; lines end with "\n".
std::string CoffText(const TCoffFile &coff, const std::string &path);

}  // namespace kiv::coffdump
