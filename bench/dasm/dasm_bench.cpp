// The disassembler against gpdasm on the same images, in one run:
//   disasm_pic16_8k   an 8K-word 14-bit image (gpdasm -p p16f877a)
//   disasm_pic18_32k  a 32K-word PIC18 image (gpdasm -p p18f4620)
// The images are made from a fixed seed. Ours reads the HEX file, lists it and writes the listing
// file (the whole "DASM" path); the peer is the gpdasm program writing its listing to a file.
// Each side's time is the best of several runs.

#include "dasm_listing.h"
#include "intelhex.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

template <typename F>
double Best(int runs, F &&run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

bool WriteText(const std::string &path, const std::string &text)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

int Measure(const char *name, kiv::TDasmFamily family, const char *processor, unsigned words, unsigned mask,
            const std::string &folder, uint32_t seed)
{
    std::mt19937 random(seed);
    kiv::THexSegment segment{0, {}};
    for (unsigned i = 0; i < words; ++i) {
        const unsigned w = random() & mask;
        segment.bytes.push_back(uint8_t(w));
        segment.bytes.push_back(uint8_t(w >> 8));
    }
    const std::string hex = folder + "/" + name + ".hex";
    if (!WriteText(hex, kiv::WriteIntelHex32({segment}))) {
        std::fprintf(stderr, "%s: cannot write %s\n", name, hex.c_str());
        return 1;
    }
    kiv::TDasmOptions options;
    options.family = family;
    options.labels = kiv::lfCLabel;
    std::string error;
    bool ok = true;
    const std::string command = std::string("gpdasm -p ") + processor + " " + hex + " > " + folder + "/peer.lst";
    int status = 0;
    // Runs alternate, so that a busy machine slows both sides alike; the best of each counts.
    double ours = 1e9, peer = 1e9;
    for (int i = 0; i < 9; ++i) {
        ours = std::min(ours, Best(1, [&] { ok = kiv::DisassembleFile(options, hex, folder + "/ours.lst", &error) && ok; }));
        peer = std::min(peer, Best(1, [&] { status |= std::system(command.c_str()); }));
    }
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return 1;
    }
    if (status != 0) {
        std::fprintf(stderr, "%s: gpdasm failed (is gputils installed?)\n", name);
        return 1;
    }
    std::printf("%s ours=%.6f peer=%.6f ratio=%.3f\n", name, ours, peer, ours / peer);
    return 0;
}

}  // namespace

int main()
{
    const std::string folder = (std::filesystem::temp_directory_path() / "kivbench_dasm").string();
    std::filesystem::create_directories(folder);
    int status = Measure("disasm_pic16_8k", kiv::dfBits14, "p16f877a", 0x2000, 0x3FFF, folder, 16877);
    status |= Measure("disasm_pic18_32k", kiv::dfBits16, "p18f4620", 0x8000, 0xFFFF, folder, 184620);
    std::filesystem::remove_all(folder);
    return status;
}
