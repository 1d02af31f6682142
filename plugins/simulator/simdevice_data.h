#pragma once

// The device table generated at build time by kivsimgen from gputils' device data.

namespace kiv::sim {

/// One device of the generated table: its name as the IDE writes it ("PIC16F877A"), gputils'
/// processor name ("p16f877a") and the text block that describes it (see simdevice.cpp).
struct TSimDeviceEntry {
    const char *name;
    const char *processor;
    const char *text;
};

extern const TSimDeviceEntry kSimDeviceTable[];
extern const int kSimDeviceCount;

}  // namespace kiv::sim
