// COD debug files: the block decoders the COD dump runs on every block, the whole reader with its
// directory chain and tables, and the debug model built from it.

#include "cod_file.h"
#include "debug_model_walk.h"
#include "fuzz_target.h"

KIV_FUZZ_TARGET(cod)
{
    using namespace kiv;
    for (std::size_t at = 0; at + kCodBlockSize <= size; at += kCodBlockSize) {
        const std::uint8_t *block = data + at;
        const TCodDirectory directory = codblock::Directory(block, static_cast<std::uint16_t>(at / kCodBlockSize));
        (void)codblock::ShortSymbols(block);
        for (const TCodSymbol &symbol : codblock::LongSymbols(block))
            (void)CodTypeName(symbol.type);
        (void)codblock::LocalSymbols(block);
        (void)codblock::FileNames(block);
        (void)codblock::LineEntries(block);
        (void)codblock::MemoryMap(block);
        (void)directory;
    }

    TCodFile cod;
    if (!cod.Parse(data, size))
        return fuzz::Outcome(false, cod.Error());
    (void)cod.Processor();
    (void)cod.FileNames();
    TDebugInfo info;
    info.FromCod(cod, "/nonexistent/fuzz.cod");
    return fuzz::Outcome(true, {}, std::to_string(cod.Sections().size()) + " directories, "
                                 + std::to_string(cod.ProgramBytes().size()) + " program bytes, "
                                 + fuzz::WalkDebugModel(info));
}
