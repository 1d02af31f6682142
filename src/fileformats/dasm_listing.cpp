#include "dasm_listing.h"

#include "dasm_dspic.h"
#include "dasm_pic18.h"
#include "dasm_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kiv {

namespace {

// One area of a family's address space: data there is loaded, skipped (memory the listing does
// not show, such as configuration words or data EEPROM) or refused.
struct TArea {
    uint64_t begin;
    uint64_t end;
    bool load;
};

// Checks every data record against the areas; the first record that reaches outside all of them
// is reported with its line.
bool CheckAreas(const TIntelHex &hex, const TArea *areas, size_t count, const char *what, std::string *error)
{
    for (const THexDataSpan &span : hex.DataSpans()) {
        uint64_t a = span.address;
        const uint64_t end = uint64_t(span.address) + span.size;
        while (a < end) {
            const TArea *area = nullptr;
            for (size_t i = 0; i < count; ++i)
                if (a >= areas[i].begin && a < areas[i].end)
                    area = &areas[i];
            if (!area) {
                *error = "line " + std::to_string(span.line) + ": data at byte address 0x" + dasm::Hex(a, 4)
                         + " lies outside " + what;
                return false;
            }
            a = std::min(end, area->end);
        }
    }
    return true;
}

bool LoadMidRange(const TIntelHex &hex, TMidRangeImage &image, std::string *error)
{
    const TArea areas[] = {{0, 0x8000, true}};
    if (!CheckAreas(hex, areas, 1, "the program image (word addresses 0000-3FFF, byte addresses 0000-7FFF)", error))
        return false;
    for (const THexSegment &segment : hex.Segments()) {
        for (size_t i = 0; i < segment.bytes.size(); ++i) {
            const uint32_t address = segment.address + uint32_t(i);
            uint16_t &word = image.Word(address / 2);
            const uint8_t value = segment.bytes[i];
            word = (address & 1) ? uint16_t((word & 0x00FF) | (value << 8)) : uint16_t((word & 0xFF00) | value);
        }
    }
    return true;
}

bool LoadPic18(const TIntelHex &hex, TPic18Image &image, std::string *error)
{
    // Program memory, then ID locations, configuration and device ID, then data EEPROM.
    const TArea areas[] = {{0, TPic18Image::kBytes, true}, {0x200000, 0x400000, false}, {0xF00000, 0x1000000, false}};
    if (!CheckAreas(hex, areas, 3, "the PIC18 memory (program memory 000000-1FFFFF, IDs and configuration "
                                   "200000-3FFFFF, data EEPROM F00000-FFFFFF)", error))
        return false;
    for (const THexSegment &segment : hex.Segments()) {
        if (segment.address >= TPic18Image::kBytes)
            continue;
        for (size_t i = 0; i < segment.bytes.size(); ++i)
            image.SetByte(segment.address + uint32_t(i), segment.bytes[i]);
    }
    return true;
}

bool LoadDsPic(const TIntelHex &hex, TDsPicImage &image, std::string *error)
{
    // A HEX file gives four bytes per 24-bit word (the fourth is unused): byte address = 2 × PC.
    const TArea areas[] = {{0, uint64_t(TDsPicImage::kProgramEnd) * 2, true},
                           {uint64_t(TDsPicImage::kProgramEnd) * 2, 0x2000000, false}};
    if (!CheckAreas(hex, areas, 2, "the dsPIC memory (program memory below PC 7FF000, data EEPROM and "
                                   "configuration up to PC FFFFFF)", error))
        return false;
    for (const THexSegment &segment : hex.Segments()) {
        for (size_t i = 0; i < segment.bytes.size(); ++i) {
            const uint32_t address = segment.address + uint32_t(i);
            image.SetByte((address / 4) * 2, address % 4, segment.bytes[i]);
        }
    }
    return true;
}

}  // namespace

bool DisassembleBytes(const TDasmOptions &options, std::string_view input, std::string *listing, std::string *error)
{
    const bool midRange = options.family == dfBits12 || options.family == dfBits14;
    if (!options.hexInput) {
        if (!midRange) {
            *error = "binary input is read for the 12-bit and 14-bit families only; use a HEX file";
            return false;
        }
        constexpr size_t kBytes = TMidRangeImage::kWords * 2;
        if (input.size() > kBytes) {
            *error = "the binary file holds " + std::to_string(input.size()) + " bytes, more than the "
                     + std::to_string(kBytes) + " bytes (16384 words) of the program image";
            return false;
        }
        TMidRangeImage image;
        for (size_t i = 0; i < input.size(); ++i) {
            uint16_t &word = image.Word(unsigned(i / 2));
            const uint8_t value = uint8_t(input[i]);
            word = (i & 1) ? uint16_t((word & 0x00FF) | (value << 8)) : uint16_t((word & 0xFF00) | value);
        }
        *listing = ListMidRange(image, options.family == dfBits14, options.numbers, options.labels);
        return true;
    }

    TIntelHex hex;
    if (!hex.Parse(input, options.hexFormat)) {
        *error = hex.Error();
        return false;
    }
    switch (options.family) {
    case dfBits12:
    case dfBits14: {
        TMidRangeImage image;
        if (!LoadMidRange(hex, image, error))
            return false;
        *listing = ListMidRange(image, options.family == dfBits14, options.numbers, options.labels);
        return true;
    }
    case dfBits16: {
        TPic18Image image;
        if (!LoadPic18(hex, image, error))
            return false;
        *listing = ListPic18(image);
        return true;
    }
    case dfBits24: {
        TDsPicImage image;
        if (!LoadDsPic(hex, image, error))
            return false;
        *listing = ListDsPic(image);
        return true;
    }
    }
    return false;
}

bool ReadWholeFile(const std::string &path, std::string *data, std::string *error)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    data->clear();
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data->append(buffer, got);
    const bool bad = std::ferror(file);
    const int code = errno;
    std::fclose(file);
    if (bad) {
        *error = "cannot read " + path + ": " + std::strerror(code);
        return false;
    }
    return true;
}

bool DisassembleFile(const TDasmOptions &options, const std::string &inputPath, const std::string &outputPath,
                     std::string *error)
{
    std::string input;
    if (!ReadWholeFile(inputPath, &input, error))
        return false;
    std::string listing;
    if (!DisassembleBytes(options, input, &listing, error)) {
        *error = inputPath + ", " + *error;
        return false;
    }
    FILE *file = std::fopen(outputPath.c_str(), "wb");
    if (!file) {
        *error = "cannot create " + outputPath + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(listing.data(), 1, listing.size(), file) == listing.size();
    const int code = errno;
    if (std::fclose(file) != 0 || !written) {
        *error = "cannot write " + outputPath + ": " + std::strerror(written ? errno : code);
        return false;
    }
    return true;
}

}  // namespace kiv
