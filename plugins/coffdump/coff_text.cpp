#include "coff_text.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace kiv::coffdump {

namespace {

std::string Format(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string SectionFlagText(std::uint32_t flags)
{
    static const struct {
        std::uint32_t bit;
        const char *text;
    } kFlags[] = {{coff::STYP_TEXT, "code"},       {coff::STYP_DATA, "initialised data"},
                  {coff::STYP_BSS, "uninitialised data"}, {coff::STYP_DATA_ROM, "data in program memory"},
                  {coff::STYP_ABS, "absolute"},    {coff::STYP_SHARED, "shared"},
                  {coff::STYP_OVERLAY, "overlay"}, {coff::STYP_ACCESS, "access bank"},
                  {coff::STYP_ACTREC, "activation record"}, {coff::STYP_RELOC, "relocated"},
                  {coff::STYP_BPACK, "packed bytes"}};
    std::string text;
    for (const auto &f : kFlags) {
        if (flags & f.bit)
            text += (text.empty() ? "" : ", ") + std::string(f.text);
    }
    return text;
}

std::string FileFlagText(std::uint16_t flags)
{
    static const struct {
        std::uint16_t bit;
        const char *text;
    } kFlags[] = {{coff::F_RELFLG, "relocations stripped"}, {coff::F_EXEC, "executable"},
                  {coff::F_LNNO, "line numbers stripped"},  {coff::L_SYMS, "local symbols stripped"},
                  {coff::F_GENERIC, "processor independent"}};
    std::string text;
    for (const auto &f : kFlags) {
        if (flags & f.bit)
            text += (text.empty() ? "" : ", ") + std::string(f.text);
    }
    return text;
}

std::string SectionName(const TCoffFile &coff, std::int16_t number)
{
    switch (number) {
    case coff::N_DEBUG: return "DEBUG";
    case coff::N_ABS: return "ABSOLUTE";
    case coff::N_UNDEF: return "UNDEFINED";
    default: break;
    }
    const TCoffSection *section = coff.SectionOf(number);
    return section ? section->name : Format("#%d", number);
}

std::string SymbolName(const TCoffFile &coff, std::uint32_t index)
{
    const TCoffSymbol *symbol = coff.SymbolAt(index);
    return symbol ? symbol->name : Format("#%u", index);
}

std::string TypeText(const TCoffFile &coff, std::uint32_t type)
{
    const TCoffType decoded = coff.DecodeType(type);
    std::string text = coff::BasicTypeName(decoded.basic);
    for (std::uint32_t d : decoded.derived)
        text += " " + coff::DerivedTypeName(d);
    return text;
}

std::string AuxText(const TCoffFile &coff, const TCoffSymbol &symbol, const std::vector<std::uint8_t> &aux)
{
    switch (symbol.storageClass) {
    case coff::C_FILE: {
        const TCoffAuxFile file = TCoffFile::FileAux(aux);
        std::string name;
        if (!coff.StringAt(file.nameOffset, &name))
            name = Format("(string table offset %u)", file.nameOffset);
        return "file " + name + Format(", included at line %u, flags 0x%02X", file.includedAtLine, file.flags);
    }
    case coff::C_SECTION: {
        const TCoffAuxSection section = TCoffFile::SectionAux(aux);
        return Format("length %u, %u relocations, %u line numbers", section.length, section.relocationCount,
                      section.lineNumberCount);
    }
    default:
        break;
    }
    const TCoffType type = coff.DecodeType(symbol.type);
    const TCoffAuxSymbol a = TCoffFile::SymbolAux(aux);
    if (!type.derived.empty() && type.derived.front() == coff::DT_ARY)
        return Format("array: tag %u, size %u, dimensions %u %u %u %u", a.tagIndex, a.size, a.dimensions[0],
                      a.dimensions[1], a.dimensions[2], a.dimensions[3]);
    if (symbol.storageClass == coff::C_STRTAG || symbol.storageClass == coff::C_UNTAG ||
        symbol.storageClass == coff::C_ENTAG)
        return Format("tag: size %u, next entry %u", a.size, a.endIndex);
    if (symbol.storageClass == coff::C_EOS)
        return Format("end of struct: tag %u (%s), size %u", a.tagIndex, SymbolName(coff, a.tagIndex).c_str(), a.size);
    if (type.basic == coff::T_STRUCT || type.basic == coff::T_UNION)
        return Format("struct: tag %u (%s), size %u", a.tagIndex, SymbolName(coff, a.tagIndex).c_str(), a.size);
    if (!type.derived.empty() && type.derived.front() == coff::DT_FCN)
        return Format("function: size %u, line numbers at 0x%X, next entry %u", a.functionSize, a.lineNumberPointer,
                      a.endIndex);
    std::string bytes = "bytes";
    for (std::uint8_t b : aux)
        bytes += Format(" %02X", b);
    return bytes;
}

}  // namespace

std::string CoffText(const TCoffFile &coff, const std::string &path)
{
    const TCoffFileHeader &h = coff.Header();
    const TCoffOptionalHeader &o = coff.OptionalHeader();
    const unsigned unit = coff.ProgramAddressBytes();
    std::string out;
    out += "COFF file " + path + "\n\n";
    out += "File header\n";
    out += Format("  Magic                 0x%04X (%s format)\n", h.magic, coff.IsNewFormat() ? "new" : "old");
    out += Format("  Sections              %u\n", h.sectionCount);
    char stamp[64] = "";
    const std::time_t time = static_cast<std::time_t>(h.timeStamp);
    if (const std::tm *tm = std::gmtime(&time))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S UTC", tm);
    out += Format("  Time stamp            0x%08X (%s)\n", h.timeStamp, stamp);
    out += Format("  Symbol table          %u entries at 0x%08X\n", h.symbolCount, h.symbolTableOffset);
    out += Format("  Optional header size  %u\n", h.optionalHeaderSize);
    out += Format("  Flags                 0x%04X %s\n", h.flags, FileFlagText(h.flags).c_str());
    out += "\n";
    if (o.present) {
        out += "Optional header\n";
        out += Format("  Magic                 0x%04X\n", o.magic);
        out += Format("  Version stamp         %u\n", o.versionStamp);
        out += Format("  Processor             0x%04X\n", o.processorType);
        out += Format("  Program word width    %u bits\n", o.romWidthBits);
        out += Format("  Data word width       %u bits\n", o.ramWidthBits);
        out += "\n";
    }

    for (std::size_t i = 0; i < coff.Sections().size(); ++i) {
        const TCoffSection &s = coff.Sections()[i];
        const bool program = s.InProgramMemory();
        out += Format("Section %zu: %s\n", i + 1, s.name.c_str());
        out += Format("  Physical address      0x%06X\n", s.physicalAddress);
        out += Format("  Virtual address       0x%06X\n", s.virtualAddress);
        out += Format("  Size                  %u bytes\n", s.size);
        out += Format("  Data                  at 0x%08X\n", s.dataOffset);
        out += Format("  Relocations           %u at 0x%08X\n", s.relocationCount, s.relocationOffset);
        out += Format("  Line numbers          %u at 0x%08X\n", s.lineNumberCount, s.lineNumberOffset);
        out += Format("  Flags                 0x%08X %s\n", s.flags, SectionFlagText(s.flags).c_str());
        if (s.HasData()) {
            out += program ? "  Data (program words)\n" : "  Data (bytes)\n";
            const std::size_t perRow = program ? 16 : 16;
            for (std::size_t row = 0; row < s.data.size(); row += perRow) {
                // Program sections count in the core's address units, data sections in bytes.
                const std::uint32_t address = program ? s.physicalAddress + static_cast<std::uint32_t>(row / unit)
                                                      : s.physicalAddress + static_cast<std::uint32_t>(row);
                out += Format("    %06X:", address);
                for (std::size_t k = row; k < row + perRow && k < s.data.size(); k += program ? 2 : 1) {
                    if (program) {
                        const unsigned word = s.data[k] | (k + 1 < s.data.size() ? s.data[k + 1] << 8 : 0);
                        out += Format(" %04X", word);
                    } else {
                        out += Format(" %02X", s.data[k]);
                    }
                }
                out += "\n";
            }
        }
        if (!s.relocations.empty()) {
            out += "  Relocations\n";
            out += "    Address  Offset  Type                      Symbol\n";
            for (const TCoffRelocation &r : s.relocations) {
                const std::uint32_t address = program ? r.address / unit : r.address;
                out += Format("    %06X   %6d  %-24s  %s\n", address, r.offset,
                              (coff::RelocationTypeName(r.type) + Format(" (%u)", r.type)).c_str(),
                              SymbolName(coff, r.symbolIndex).c_str());
            }
        }
        if (!s.lineNumbers.empty()) {
            out += "  Line numbers\n";
            out += "    Address  Line   Flags  File\n";
            for (const TCoffLineNumber &n : s.lineNumbers) {
                const TCoffSymbol *file = coff.SymbolAt(n.sourceSymbol);
                out += Format("    %06X   %-5u  0x%02X   %s\n", n.address, n.line, n.flags,
                              file ? coff.SourceFileName(*file).c_str() : "?");
            }
        }
        out += "\n";
    }

    out += Format("Symbols (%zu, with auxiliary entries %u)\n", coff.Symbols().size(), h.symbolCount);
    out += "  Index  Name                      Section     Value       Type                 Class      Aux\n";
    for (const TCoffSymbol &s : coff.Symbols()) {
        out += Format("  %-5u  %-24s  %-10s  0x%08X  %-19s  %-9s  %u\n", s.index, s.name.c_str(),
                      SectionName(coff, s.sectionNumber).c_str(), s.value, TypeText(coff, s.type).c_str(),
                      coff::StorageClassName(s.storageClass).c_str(), s.auxCount);
        for (const auto &aux : s.aux)
            out += "         " + AuxText(coff, s, aux) + "\n";
    }
    return out;
}

}  // namespace kiv::coffdump
