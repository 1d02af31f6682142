// gpasm and gplink listings as the watch library indexes them: code lines and their addresses,
// both ways.

#include "fuzz_target.h"
#include "listing_index.h"

#include <cstdlib>

KIV_FUZZ_TARGET(listing)
{
    using namespace kiv;
    TListingIndex index;
    index.Parse(std::string_view(reinterpret_cast<const char *>(data), size));
    for (const TListingCodeLine &code : index.CodeLines()) {
        std::uint32_t address = 0;
        if (!index.AddressOfListLine(code.line, &address) || index.ListLineOfAddress(code.address) == 0)
            std::abort();   // every code line must be found again by line and by address
    }
    return fuzz::Outcome(true, {}, std::to_string(index.CodeLines().size()) + " code lines");
}
