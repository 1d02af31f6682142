#include "coff_file.h"

#include "byte_reader.h"

#include <cstdio>

namespace kiv {

namespace coff {

namespace {

std::string Numbered(std::uint32_t value)
{
    return std::to_string(value);
}

}  // namespace

std::string StorageClassName(std::uint8_t storageClass)
{
    static const char *const kLow[] = {"C_NULL",   "C_AUTO",  "C_EXT",    "C_STAT",    "C_REG",    "C_EXTDEF",
                                       "C_LABEL",  "C_ULABEL", "C_MOS",   "C_ARG",     "C_STRTAG", "C_MOU",
                                       "C_UNTAG",  "C_TPDEF", "C_USTATIC", "C_ENTAG",  "C_MOE",    "C_REGPARM",
                                       "C_FIELD",  "C_AUTOARG", "C_LASTENT"};
    static const char *const kHigh[] = {"C_BLOCK", "C_FCN",    "C_EOS",  "C_FILE", "C_LINE",
                                        "C_ALIAS", "C_HIDDEN", "C_EOF",  "C_LIST", "C_SECTION"};
    if (storageClass == C_EFCN)
        return "C_EFCN";
    if (storageClass < sizeof kLow / sizeof kLow[0])
        return kLow[storageClass];
    if (storageClass >= C_BLOCK && storageClass - C_BLOCK < static_cast<int>(sizeof kHigh / sizeof kHigh[0]))
        return kHigh[storageClass - C_BLOCK];
    return Numbered(storageClass);
}

std::string BasicTypeName(std::uint32_t basicType)
{
    static const char *const kNames[] = {"T_NULL",  "T_VOID",  "T_CHAR",  "T_SHORT",  "T_INT",
                                         "T_LONG",  "T_FLOAT", "T_DOUBLE", "T_STRUCT", "T_UNION",
                                         "T_ENUM",  "T_MOE",   "T_UCHAR", "T_USHORT", "T_UINT",
                                         "T_ULONG", "T_LNGDBL", "T_SLONG", "T_USLONG"};
    if (basicType < sizeof kNames / sizeof kNames[0])
        return kNames[basicType];
    return Numbered(basicType);
}

std::string DerivedTypeName(std::uint32_t derivedType)
{
    static const char *const kNames[] = {"DT_NON", "DT_PTR", "DT_FCN", "DT_ARY", "DT_ROMPTR", "DT_FARROMPTR"};
    if (derivedType < sizeof kNames / sizeof kNames[0])
        return kNames[derivedType];
    return Numbered(derivedType);
}

std::string RelocationTypeName(std::uint16_t type)
{
    static const char *const kNames[] = {
        nullptr,               "RELOCT_CALL",         "RELOCT_GOTO",         "RELOCT_HIGH",
        "RELOCT_LOW",          "RELOCT_P",            "RELOCT_BANKSEL",      "RELOCT_PAGESEL",
        "RELOCT_ALL",          "RELOCT_IBANKSEL",     "RELOCT_F",            "RELOCT_TRIS",
        "RELOCT_MOVLR",        "RELOCT_MOVLB",        "RELOCT_GOTO2",        "RELOCT_FF1",
        "RELOCT_FF2",          "RELOCT_LFSR1",        "RELOCT_LFSR2",        "RELOCT_BRA",
        "RELOCT_CONDBRA",      "RELOCT_UPPER",        "RELOCT_ACCESS",       "RELOCT_PAGESEL_WREG",
        "RELOCT_PAGESEL_BITS", "RELOCT_SCNSZ_LOW",    "RELOCT_SCNSZ_HIGH",   "RELOCT_SCNSZ_UPPER",
        "RELOCT_SCNEND_LOW",   "RELOCT_SCNEND_HIGH",  "RELOCT_SCNEND_UPPER", "RELOCT_SCNEND_LFSR",
        "RELOCT_TRIS_3BIT",    "RELOCT_PAGESEL_MOVLP"};
    if (type < sizeof kNames / sizeof kNames[0] && kNames[type])
        return kNames[type];
    return Numbered(type);
}

}  // namespace coff

namespace {

std::string Hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string PastEnd(const std::string &what, std::uint64_t offset, std::uint64_t length, std::size_t fileSize)
{
    return what + " (" + std::to_string(length) + " bytes at offset " + Hex(offset) + ") ends past the end of the file (" +
           std::to_string(fileSize) + " bytes)";
}

}  // namespace

bool TCoffFile::Fail(TCoffReadError kind, std::string message)
{
    m_errorKind = kind;
    m_error = std::move(message);
    return false;
}

bool TCoffFile::Load(const std::string &path)
{
    std::vector<std::uint8_t> bytes;
    std::string why;
    int osError = 0;
    if (!ReadFileBytes(path, kMaxFileSize, &bytes, &why, &osError)) {
        *this = TCoffFile();
        m_osError = osError;
        return Fail(TCoffReadError::crOpen, why);
    }
    if (!Parse(bytes)) {
        m_error = path + ": " + m_error;
        return false;
    }
    return true;
}

bool TCoffFile::ParseHeaders(const std::uint8_t *bytes, std::size_t size, TCoffFileHeader *file,
                             TCoffOptionalHeader *optional, TCoffReadError *error, std::string *message,
                             bool lenient)
{
    const TByteReader in(bytes, size);
    auto fail = [&](TCoffReadError kind, std::string text) {
        if (error)
            *error = kind;
        if (message)
            *message = std::move(text);
        return false;
    };
    *file = TCoffFileHeader();
    *optional = TCoffOptionalHeader();
    if (!in.Has(0, coff::kFileHeaderSize))
        return fail(TCoffReadError::crTooShort, "The file is too short for a COFF file header (" +
                                                    std::to_string(size) + " bytes, 20 needed)");
    file->magic = in.U16(0);
    file->sectionCount = in.U16(2);
    file->timeStamp = in.U32(4);
    file->symbolTableOffset = in.U32(8);
    file->symbolCount = in.U32(12);
    file->optionalHeaderSize = in.U16(16);
    file->flags = in.U16(18);
    if (file->magic != coff::kMagicOld && file->magic != coff::kMagicNew)
        return fail(TCoffReadError::crBadMagic, "The file is not a Microchip COFF file (magic " + Hex(file->magic) +
                                                    ", 0x1234 or 0x1240 expected)");
    const bool isNew = file->magic == coff::kMagicNew;
    const std::size_t expected = isNew ? coff::kOptionalHeaderSizeNew : coff::kOptionalHeaderSizeOld;
    if (file->optionalHeaderSize == 0 || (lenient && file->optionalHeaderSize != expected))
        return true;
    if (file->optionalHeaderSize != expected)
        return fail(TCoffReadError::crOptionalHeader,
                    "The optional header has " + std::to_string(file->optionalHeaderSize) + " bytes; this format has " +
                        std::to_string(expected));
    if (!in.Has(coff::kFileHeaderSize, expected))
        return fail(TCoffReadError::crOptionalHeader,
                    PastEnd("The optional header", coff::kFileHeaderSize, expected, size));
    const std::size_t at = coff::kFileHeaderSize;
    optional->present = true;
    optional->magic = in.U16(at);
    std::size_t next = at + 2;
    if (isNew) {
        optional->versionStamp = in.U32(next);
        next += 4;
    } else {
        optional->versionStamp = in.U16(next);
        next += 2;
    }
    optional->processorType = in.U32(next);
    optional->romWidthBits = in.U32(next + 4);
    optional->ramWidthBits = in.U32(next + 8);
    return true;
}

bool TCoffFile::Parse(const std::uint8_t *bytes, std::size_t size)
{
    *this = TCoffFile();
    TCoffReadError kind = TCoffReadError::crNone;
    std::string message;
    if (!ParseHeaders(bytes, size, &m_header, &m_optional, &kind, &message))
        return Fail(kind, message);
    if (!ReadSymbols(bytes, size))
        return false;
    if (!ReadSections(bytes, size))
        return false;
    return true;
}

bool TCoffFile::ReadName(const std::uint8_t *entry, std::string *name, const char *what, std::uint32_t index)
{
    const TByteReader in(entry, 8);
    if (in.U32(0) == 0 && m_header.magic != 0) {
        // A long name: four zero bytes and the name's offset in the string table.
        const std::uint32_t offset = in.U32(4);
        if (offset == 0) {
            name->clear();
            return true;
        }
        if (!StringAt(offset, name))
            return Fail(TCoffReadError::crBadTable, std::string("The name of ") + what + " " + std::to_string(index) +
                                                        " points outside the string table (offset " + Hex(offset) + ")");
        return true;
    }
    *name = in.FixedText(0, 8);
    return true;
}

bool TCoffFile::StringAt(std::uint32_t offset, std::string *text) const
{
    // Offsets count from the start of the table, whose first four bytes hold its size.
    if (offset < 4)
        return false;
    const TByteReader table(m_strings);
    return table.NulText(offset, m_strings.size(), text);
}

bool TCoffFile::ReadSymbols(const std::uint8_t *bytes, std::size_t size)
{
    const TByteReader in(bytes, size);
    const std::size_t entrySize = SymbolSize();
    const std::uint64_t start = m_header.symbolTableOffset;
    const std::uint64_t length = static_cast<std::uint64_t>(m_header.symbolCount) * entrySize;
    if (m_header.symbolCount == 0)
        return true;
    if (!in.Has(start, length))
        return Fail(TCoffReadError::crTruncated,
                    PastEnd("The symbol table of " + std::to_string(m_header.symbolCount) + " entries", start, length, size));

    // The string table follows the symbols: a 32-bit size (itself included), then the texts.
    const std::uint64_t stringsAt = start + length;
    if (in.Has(stringsAt, 4)) {
        const std::uint32_t stringSize = in.U32(stringsAt);
        if (stringSize >= 4) {
            if (!in.Has(stringsAt, stringSize))
                return Fail(TCoffReadError::crTruncated, PastEnd("The string table", stringsAt, stringSize, size));
            m_strings.assign(bytes + stringsAt, bytes + stringsAt + stringSize);
        }
    }

    m_symbolAt.assign(m_header.symbolCount, -1);
    std::uint32_t index = 0;
    while (index < m_header.symbolCount) {
        const std::uint8_t *entry = bytes + start + static_cast<std::uint64_t>(index) * entrySize;
        const TByteReader e(entry, entrySize);
        TCoffSymbol symbol;
        symbol.index = index;
        if (!ReadName(entry, &symbol.name, "symbol", index))
            return false;
        symbol.value = e.U32(8);
        symbol.sectionNumber = static_cast<std::int16_t>(e.U16(12));
        std::size_t at = 14;
        if (IsNewFormat()) {
            symbol.type = e.U32(at);
            at += 4;
        } else {
            symbol.type = e.U16(at);
            at += 2;
        }
        symbol.storageClass = e.U8(at);
        symbol.auxCount = e.U8(at + 1);
        if (static_cast<std::uint64_t>(index) + 1 + symbol.auxCount > m_header.symbolCount)
            return Fail(TCoffReadError::crBadTable, "Symbol " + std::to_string(index) + " (" + symbol.name + ") has " +
                                                        std::to_string(symbol.auxCount) +
                                                        " auxiliary entries past the end of the symbol table");
        for (std::uint8_t k = 0; k < symbol.auxCount; ++k) {
            const std::uint8_t *aux = entry + static_cast<std::size_t>(k + 1) * entrySize;
            symbol.aux.emplace_back(aux, aux + entrySize);
        }
        m_symbolAt[index] = static_cast<std::int32_t>(m_symbols.size());
        index += 1u + symbol.auxCount;
        m_symbols.push_back(std::move(symbol));
    }
    return true;
}

bool TCoffFile::ReadSections(const std::uint8_t *bytes, std::size_t size)
{
    const TByteReader in(bytes, size);
    const std::uint64_t first = coff::kFileHeaderSize + m_header.optionalHeaderSize;
    const std::uint64_t length = static_cast<std::uint64_t>(m_header.sectionCount) * coff::kSectionHeaderSize;
    if (!in.Has(first, length))
        return Fail(TCoffReadError::crTruncated,
                    PastEnd("The " + std::to_string(m_header.sectionCount) + " section headers", first, length, size));
    m_sections.reserve(m_header.sectionCount);
    for (std::uint32_t i = 0; i < m_header.sectionCount; ++i) {
        const std::uint64_t at = first + static_cast<std::uint64_t>(i) * coff::kSectionHeaderSize;
        const TByteReader h(bytes + at, coff::kSectionHeaderSize);
        TCoffSection section;
        if (!ReadName(bytes + at, &section.name, "section", i + 1))
            return false;
        section.physicalAddress = h.U32(8);
        section.virtualAddress = h.U32(12);
        section.size = h.U32(16);
        section.dataOffset = h.U32(20);
        section.relocationOffset = h.U32(24);
        section.lineNumberOffset = h.U32(28);
        section.relocationCount = h.U16(32);
        section.lineNumberCount = h.U16(34);
        section.flags = h.U32(36);
        const std::string what = "Section " + std::to_string(i + 1) + " (" + section.name + ")";

        // Uninitialised sections and sections without a data pointer carry no bytes.
        if (section.dataOffset != 0 && section.size != 0 && !(section.flags & coff::STYP_BSS)) {
            if (!in.Has(section.dataOffset, section.size))
                return Fail(TCoffReadError::crTruncated,
                            PastEnd("The data of " + what, section.dataOffset, section.size, size));
            section.data.assign(bytes + section.dataOffset, bytes + section.dataOffset + section.size);
        }
        if (section.relocationCount != 0) {
            const std::uint64_t bytesNeeded = static_cast<std::uint64_t>(section.relocationCount) * coff::kRelocationSize;
            if (!in.Has(section.relocationOffset, bytesNeeded))
                return Fail(TCoffReadError::crTruncated,
                            PastEnd("The relocations of " + what, section.relocationOffset, bytesNeeded, size));
            for (std::uint32_t r = 0; r < section.relocationCount; ++r) {
                const std::uint64_t rat = section.relocationOffset + static_cast<std::uint64_t>(r) * coff::kRelocationSize;
                TCoffRelocation relocation;
                relocation.address = in.U32(rat);
                relocation.symbolIndex = in.U32(rat + 4);
                relocation.offset = static_cast<std::int16_t>(in.U16(rat + 8));
                relocation.type = in.U16(rat + 10);
                section.relocations.push_back(relocation);
            }
        }
        if (section.lineNumberCount != 0) {
            const std::uint64_t bytesNeeded = static_cast<std::uint64_t>(section.lineNumberCount) * coff::kLineNumberSize;
            if (!in.Has(section.lineNumberOffset, bytesNeeded))
                return Fail(TCoffReadError::crTruncated,
                            PastEnd("The line numbers of " + what, section.lineNumberOffset, bytesNeeded, size));
            for (std::uint32_t n = 0; n < section.lineNumberCount; ++n) {
                const std::uint64_t lat = section.lineNumberOffset + static_cast<std::uint64_t>(n) * coff::kLineNumberSize;
                TCoffLineNumber line;
                line.sourceSymbol = in.U32(lat);
                line.line = in.U16(lat + 4);
                line.address = in.U32(lat + 6);
                line.flags = in.U16(lat + 10);
                line.functionSymbol = in.U32(lat + 12);
                section.lineNumbers.push_back(line);
            }
        }
        m_sections.push_back(std::move(section));
    }
    return true;
}

const TCoffSymbol *TCoffFile::SymbolAt(std::uint32_t index) const
{
    if (index >= m_symbolAt.size() || m_symbolAt[index] < 0)
        return nullptr;
    return &m_symbols[static_cast<std::size_t>(m_symbolAt[index])];
}

const TCoffSection *TCoffFile::SectionOf(std::int16_t sectionNumber) const
{
    if (sectionNumber < 1 || static_cast<std::size_t>(sectionNumber) > m_sections.size())
        return nullptr;
    return &m_sections[static_cast<std::size_t>(sectionNumber - 1)];
}

TCoffType TCoffFile::DecodeType(std::uint32_t type) const
{
    TCoffType decoded;
    const unsigned basicBits = IsNewFormat() ? 5 : 4;
    const unsigned typeBits = IsNewFormat() ? 32 : 16;
    decoded.basic = type & ((1u << basicBits) - 1);
    for (unsigned shift = basicBits; shift + 3 <= typeBits; shift += 3) {
        const std::uint32_t derived = (type >> shift) & 7u;
        if (derived == coff::DT_NON)
            break;
        decoded.derived.push_back(derived);
    }
    return decoded;
}

TCoffAuxFile TCoffFile::FileAux(const std::vector<std::uint8_t> &aux)
{
    const TByteReader in(aux);
    TCoffAuxFile file;
    file.nameOffset = in.U32(0);
    file.includedAtLine = in.U32(4);
    file.flags = in.U8(8);
    return file;
}

TCoffAuxSection TCoffFile::SectionAux(const std::vector<std::uint8_t> &aux)
{
    const TByteReader in(aux);
    TCoffAuxSection section;
    section.length = in.U32(0);
    section.relocationCount = in.U16(4);
    section.lineNumberCount = in.U16(6);
    return section;
}

TCoffAuxSymbol TCoffFile::SymbolAux(const std::vector<std::uint8_t> &aux)
{
    const TByteReader in(aux);
    TCoffAuxSymbol symbol;
    symbol.tagIndex = in.U32(0);
    symbol.functionSize = in.U32(4);
    symbol.lineNumber = in.U16(4);
    symbol.size = in.U16(6);
    for (int d = 0; d < 4; ++d)
        symbol.dimensions[d] = in.U16(8 + 2 * static_cast<std::uint64_t>(d));
    symbol.lineNumberPointer = in.U32(8);
    symbol.endIndex = in.U32(12);
    return symbol;
}

std::string TCoffFile::SourceFileName(const TCoffSymbol &fileSymbol) const
{
    if (fileSymbol.aux.empty())
        return fileSymbol.name == ".file" ? std::string() : fileSymbol.name;
    std::string name;
    if (StringAt(FileAux(fileSymbol.aux.front()).nameOffset, &name))
        return name;
    return {};
}

}  // namespace kiv
