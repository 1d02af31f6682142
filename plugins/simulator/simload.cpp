#include "simload.h"

#include "intelhex.h"

#include <cstdio>

namespace kiv::sim {

namespace {

bool LoadImage(TSimulator &sim, const TIntelHex &hex, const std::string &what, std::string &error)
{
    sim.ErasePrograms();
    if (hex.Empty()) {
        error = what + " holds no program.";
        return false;
    }
    for (const THexSegment &segment : hex.Segments()) {
        for (size_t i = 0; i < segment.bytes.size(); ++i) {
            const uint32_t address = segment.address + uint32_t(i);
            if (!sim.LoadHexByte(address, segment.bytes[i])) {
                char text[160];
                std::snprintf(text, sizeof text, " has data at address 0x%X, outside the memory of the %s.",
                              unsigned(address), sim.Device().name.c_str());
                error = what + text;
                sim.ErasePrograms();
                return false;
            }
        }
    }
    sim.FinishLoading();
    return true;
}

}  // namespace

bool LoadHexFile(TSimulator &sim, const std::string &path, std::string &error)
{
    TIntelHex hex;
    if (!hex.Load(path)) {
        error = "Cannot load the HEX file " + path + ": " + hex.Error();
        sim.ErasePrograms();
        return false;
    }
    return LoadImage(sim, hex, "The HEX file " + path, error);
}

bool LoadHexText(TSimulator &sim, const std::string &text, std::string &error)
{
    TIntelHex hex;
    if (!hex.Parse(text)) {
        error = "Not a valid HEX file: " + hex.Error();
        sim.ErasePrograms();
        return false;
    }
    return LoadImage(sim, hex, "The HEX file", error);
}

}  // namespace kiv::sim
