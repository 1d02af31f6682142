// The simulator's program download: the bytes as a program file (HEX or COFF, told apart by
// their first bytes) and as HEX text, into a 12-bit, a 14-bit, an enhanced 14-bit and a PIC18
// part. A refused file leaves the part erased; a loaded one runs a few hundred cycles.

#include "fuzz_target.h"
#include "simload.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace {

// Every program word erased, as a refused download must leave the part.
bool ProgramErased(const kiv::sim::TSimulator &sim)
{
    for (std::uint32_t w = 0; w < sim.ProgramWords(); ++w) {
        if (sim.ProgramWord(w) != sim.ErasedWord())
            return false;
    }
    return true;
}

}  // namespace

KIV_FUZZ_TARGET(simload)
{
    using namespace kiv::sim;
    const std::string path = kiv::fuzz::WriteScratchFile("program", data, size);
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::string summary;
    static const char *const names[] = {"PIC10F200", "PIC16F877A", "PIC16F1827", "PIC18F452"};
    // Made once: a download erases the part first and resets it afterwards, as the debugger's
    // part is loaded again and again.
    static std::unique_ptr<TSimulator> sims[std::size(names)];
    for (std::size_t n = 0; n < std::size(names); ++n) {
        const char *name = names[n];
        if (!sims[n]) {
            const TSimDevice *device = FindSimDevice(name);
            if (!device)
                std::abort();   // the device table lacks a part the target needs
            sims[n] = std::make_unique<TSimulator>(*device);
        }
        TSimulator *sim = sims[n].get();
        for (const bool fromFile : {true, false}) {
            std::string error;
            const bool ok = fromFile ? LoadProgramFile(*sim, path, error) : LoadHexText(*sim, text, error);
            if (!ok) {
                if (error.empty() || !ProgramErased(*sim))
                    std::abort();   // a refusal says why and leaves nothing behind
                // The file's name is left out, so that the summary does not depend on where it was.
                const std::size_t at = error.find(path);
                if (at != std::string::npos)
                    error.replace(at, path.size(), "FILE");
                summary += kiv::fuzz::Outcome(false, error) + "\n";
                continue;
            }
            sim->Run(500);
            summary += kiv::fuzz::Outcome(true, {}, std::string(name) + (fromFile ? " file" : " text")) + "\n";
        }
    }
    std::remove(path.c_str());
    return summary;
}
