// The disassembler's whole path on a file's bytes: the first byte chooses the family, HEX or
// binary input, the HEX dialect and the number and label formats; the rest is the file.

#include "dasm_listing.h"
#include "fuzz_target.h"

KIV_FUZZ_TARGET(dasm)
{
    using namespace kiv;
    if (size == 0)
        return "error: no options byte";
    const std::uint8_t choice = data[0];
    TDasmOptions options;
    options.family = static_cast<TDasmFamily>(choice & 3);
    options.hexInput = (choice & 4) == 0;
    options.hexFormat = (choice & 8) ? hfInhx16 : hfInhx32;
    options.numbers = static_cast<TDasmNumberFormat>(((choice >> 4) & 3) % 3);
    options.labels = static_cast<TDasmLabelFormat>(((choice >> 6) & 3) % 3);
    const std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);
    std::string listing;
    std::string error;
    const bool ok = DisassembleBytes(options, input, &listing, &error);
    return fuzz::Outcome(ok, error, std::to_string(listing.size()) + " listing bytes");
}
