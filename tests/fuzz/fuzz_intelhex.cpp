// Intel HEX text in every dialect: the image, the data records and the start address, and the
// INHX32 text written back from the image must read again to the same bytes.

#include "fuzz_target.h"
#include "intelhex.h"

#include <cstdlib>

KIV_FUZZ_TARGET(intelhex)
{
    using namespace kiv;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string summary;
    for (THexFormat format : {hfInhx32, hfInhx16}) {
        TIntelHex hex;
        const bool ok = hex.Parse(text, format);
        if (!ok) {
            summary += fuzz::Outcome(false, hex.Error()) + "\n";
            continue;
        }
        std::size_t bytes = 0;
        for (const THexSegment &segment : hex.Segments()) {
            bytes += segment.bytes.size();
            std::uint8_t value = 0;
            if (!hex.ByteAt(segment.address, &value) || value != segment.bytes.front())
                std::abort();   // an image that does not answer for its own first byte
        }
        TIntelHex again;
        if (!again.Parse(WriteIntelHex32(hex.Segments())) || again.Segments().size() != hex.Segments().size())
            std::abort();       // the image written back must read again
        for (std::size_t i = 0; i < hex.Segments().size(); ++i) {
            if (again.Segments()[i].address != hex.Segments()[i].address
                || again.Segments()[i].bytes != hex.Segments()[i].bytes)
                std::abort();
        }
        summary += fuzz::Outcome(true, {}, std::to_string(hex.Segments().size()) + " runs, " + std::to_string(bytes)
                                         + " bytes") + "\n";
    }
    return summary;
}
