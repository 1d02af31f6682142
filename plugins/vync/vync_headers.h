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

/// Every part gputils knows (`gpasm -l`), as gpasm names them ("p16f877a").
std::vector<std::string> GputilsParts();

/// Writes the header of every 14-bit part into `folder`; returns how many were written, -1 when
/// gpasm can not be run. Parts gputils can not describe are listed in `skipped`.
int WriteDeviceHeaders(const std::string &folder, std::vector<std::string> *skipped);

}  // namespace kiv::vync
