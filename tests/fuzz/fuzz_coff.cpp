// COFF objects and executables of both formats (0x1234 and 0x1240): the header check, the whole
// reader with its tables, the auxiliary entries and types, and the debug model built from it.

#include "coff_file.h"
#include "debug_model_walk.h"
#include "fuzz_target.h"

KIV_FUZZ_TARGET(coff)
{
    using namespace kiv;
    TCoffFileHeader header;
    TCoffOptionalHeader optional;
    TCoffReadError headerError = TCoffReadError::crNone;
    std::string headerMessage;
    const bool headersOk = TCoffFile::ParseHeaders(data, size, &header, &optional, &headerError, &headerMessage);

    TCoffFile coff;
    if (!coff.Parse(data, size)) {
        if (headersOk && coff.ErrorKind() == TCoffReadError::crBadMagic)
            std::abort();   // the header check and the reader disagree about the magic
        return fuzz::Outcome(false, coff.Error());
    }
    if (!headersOk)
        std::abort();       // the reader took a file whose headers the header check refused
    for (const TCoffSymbol &symbol : coff.Symbols()) {
        if (coff.SymbolAt(symbol.index) != &symbol)
            std::abort();
        (void)coff.DecodeType(symbol.type);
        (void)coff.SectionOf(symbol.sectionNumber);
        (void)coff::StorageClassName(symbol.storageClass);
        if (symbol.storageClass == coff::C_FILE)
            (void)coff.SourceFileName(symbol);
        for (const std::vector<std::uint8_t> &aux : symbol.aux) {
            (void)TCoffFile::FileAux(aux);
            (void)TCoffFile::SectionAux(aux);
            (void)TCoffFile::SymbolAux(aux);
        }
    }
    for (const TCoffSection &section : coff.Sections()) {
        for (const TCoffRelocation &relocation : section.relocations)
            (void)coff::RelocationTypeName(relocation.type);
    }
    std::string text;
    for (std::uint32_t offset : {0u, 4u, 5u, static_cast<std::uint32_t>(coff.StringTable().size())})
        (void)coff.StringAt(offset, &text);

    TDebugInfo info;
    info.FromCoff(coff, "/nonexistent/fuzz.cof");
    return fuzz::Outcome(true, {}, fuzz::WalkDebugModel(info));
}
