#include "edition_core.h"

namespace kiv::compiler {

namespace {

const TEditionInfo kEditions[] = {
    {"QEL", "Microchip 12 bit", TCore::Bit12},
    {"QOR", "Microchip 14 bit", TCore::Bit14},
    {"QAN", "Microchip PIC18", TCore::Pic18},
};

}  // namespace

const TEditionInfo *EditionByCode(std::string_view code)
{
    for (const TEditionInfo &edition : kEditions) {
        if (code == edition.code)
            return &edition;
    }
    return nullptr;
}

const TEditionInfo *EditionForCore(TCore core)
{
    for (const TEditionInfo &edition : kEditions) {
        if (edition.core == core)
            return &edition;
    }
    return nullptr;
}

TCore CoreOfClass(std::string_view gpasmClass)
{
    // PIC12, PIC12E and PIC12I are 12-bit cores; PIC14, PIC14E and PIC14EX the 14-bit ones.
    // gputils names the PIC18 family PIC16E and the PIC17 family PIC16.
    if (gpasmClass.starts_with("PIC12"))
        return TCore::Bit12;
    if (gpasmClass.starts_with("PIC14"))
        return TCore::Bit14;
    if (gpasmClass == "PIC16E")
        return TCore::Pic18;
    if (gpasmClass == "PIC16")
        return TCore::Pic17;
    return TCore::Unknown;
}

const char *CoreName(TCore core)
{
    switch (core) {
    case TCore::Bit12: return "12-bit";
    case TCore::Bit14: return "14-bit";
    case TCore::Pic18: return "PIC18";
    case TCore::Pic17: return "16-bit (PIC17)";
    case TCore::Unknown: break;
    }
    return "unknown";
}

}  // namespace kiv::compiler
