#pragma once

// The disassembler's whole path without windows: read a HEX or binary file, put its bytes into
// the program image of the chosen family, write the listing.

#include "dasm_midrange.h"
#include "intelhex.h"

#include <string>
#include <string_view>

namespace kiv {

/// The instruction-word family: "12 Bit opcode", "14 Bit opcode", "16 bit opcode" (PIC18),
/// "24 bit opcode" (dsPIC).
enum TDasmFamily { dfBits12, dfBits14, dfBits16, dfBits24 };

/// What the parameters dialog chooses.
struct TDasmOptions {
    TDasmFamily family = dfBits14;
    /// HEX input; false reads a raw binary image (12-bit and 14-bit families only).
    bool hexInput = true;
    THexFormat hexFormat = hfInhx32;
    TDasmNumberFormat numbers = nfC;
    TDasmLabelFormat labels = lfCLabel;
};

/// The listing of the file contents `input`. False with `*error` set when the input is bad (a
/// bad HEX record, data outside the family's program memory, a binary file larger than the
/// image); nothing is listed then.
bool DisassembleBytes(const TDasmOptions &options, std::string_view input, std::string *listing, std::string *error);

/// Reads `inputPath`, and only when it is good writes the listing to `outputPath` (created or
/// replaced). False with `*error` set (naming the file) on bad input or a file error; a bad
/// input leaves the output file as it was.
bool DisassembleFile(const TDasmOptions &options, const std::string &inputPath, const std::string &outputPath,
                     std::string *error);

/// Reads a whole file into `*data`; false with `*error` naming the file.
bool ReadWholeFile(const std::string &path, std::string *data, std::string *error);

}  // namespace kiv
