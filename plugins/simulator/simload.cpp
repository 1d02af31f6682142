#include "simload.h"

#include "coff_file.h"
#include "intelhex.h"

#include <fstream>

#include <cstdio>

namespace kiv::sim {

namespace {

bool LoadSegments(TSimulator &sim, const std::vector<THexSegment> &segments, const std::string &what,
                  std::string &error)
{
    sim.ErasePrograms();
    if (segments.empty()) {
        error = what + " holds no program.";
        return false;
    }
    for (const THexSegment &segment : segments) {
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
    return LoadSegments(sim, hex.Segments(), "The HEX file " + path, error);
}

bool LoadCoffFile(TSimulator &sim, const std::string &path, std::string &error)
{
    TCoffFile coff;
    if (!coff.Load(path)) {
        error = "Cannot load the COFF file " + path + ": " + coff.Error();
        sim.ErasePrograms();
        return false;
    }
    const std::string what = "The COFF file " + path;
    const unsigned unit = coff.ProgramAddressBytes();
    if ((unit == 1) != sim.Device().IsPic18()) {
        error = what + " was built for a " + (unit == 1 ? "PIC18" : "12-bit or 14-bit") + " part, not the "
                + sim.Device().name + ".";
        sim.ErasePrograms();
        return false;
    }
    std::vector<THexSegment> segments;
    for (const TCoffSection &section : coff.Sections())
        if (section.InProgramMemory() && section.HasData())
            segments.push_back({section.physicalAddress * unit, section.data});
    return LoadSegments(sim, segments, what, error);
}

bool LoadProgramFile(TSimulator &sim, const std::string &path, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {0, 0};
    if (!in || !in.read(magic, 2)) {
        error = "Cannot read the program file " + path + ".";
        sim.ErasePrograms();
        return false;
    }
    const unsigned word = uint8_t(magic[0]) | unsigned(uint8_t(magic[1])) << 8;
    if (word == 0x1234 || word == 0x1240)
        return LoadCoffFile(sim, path, error);
    return LoadHexFile(sim, path, error);
}

bool LoadHexText(TSimulator &sim, const std::string &text, std::string &error)
{
    TIntelHex hex;
    if (!hex.Parse(text)) {
        error = "Not a valid HEX file: " + hex.Error();
        sim.ErasePrograms();
        return false;
    }
    return LoadSegments(sim, hex.Segments(), "The HEX file", error);
}

}  // namespace kiv::sim
