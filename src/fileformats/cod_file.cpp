#include "cod_file.h"

#include "byte_reader.h"

#include <algorithm>
#include <set>

namespace kiv {

std::string CodTypeName(std::uint16_t type)
{
    switch (type) {
    case codtype::kSignedByte: return "SBYTE";
    case codtype::kSignedWord: return "SWORD";
    case codtype::kByte: return "BYTE";
    case codtype::kWord: return "WORD";
    case codtype::kFloat: return "FLOAT";
    case codtype::kRom: return "ROM";
    default: break;
    }
    if (type >= codtype::kBit0 && type <= codtype::kBit7)
        return "BIT " + std::to_string(type - codtype::kBit0);
    return {};
}

namespace codblock {

namespace {

TCodRange RangeAt(const TByteReader &in, std::size_t offset)
{
    return {in.U16(offset), in.U16(offset + 2)};
}

}  // namespace

TCodDirectory Directory(const std::uint8_t *block, std::uint16_t blockNumber)
{
    const TByteReader in(block, kCodBlockSize);
    TCodDirectory d;
    d.block = blockNumber;
    for (std::size_t i = 0; i < d.codeBlocks.size(); ++i)
        d.codeBlocks[i] = in.U16(coddir::codeBlocks + 2 * i);
    d.sourcePath = in.ShortText(coddir::sourcePath, 63);
    // gputils leaves the date's length byte 0 and writes its 7 characters after it.
    const std::uint8_t dateLength = in.U8(coddir::date);
    d.date = dateLength >= 1 && dateLength <= 7 ? in.ShortText(coddir::date, 7) : in.FixedText(coddir::date + 1, 7);
    d.time = in.U16(coddir::time);
    d.compilerVersion = in.ShortText(coddir::version, 19);
    d.compilerName = in.ShortText(coddir::compiler, 11);
    d.notice = in.ShortText(coddir::notice, 63);
    d.symbols = RangeAt(in, coddir::symbols);
    d.fileNames = RangeAt(in, coddir::fileNames);
    d.lineNumbers = RangeAt(in, coddir::lineNumbers);
    d.addressSize = in.U8(coddir::addressSize);
    d.highAddress = in.U16(coddir::highAddress);
    d.nextDirectory = in.U16(coddir::nextDirectory);
    d.memoryMap = RangeAt(in, coddir::memoryMap);
    d.localSymbols = RangeAt(in, coddir::localSymbols);
    d.codType = in.U16(coddir::codType);
    d.processor = in.ShortText(coddir::processor, 8);
    d.longSymbols = RangeAt(in, coddir::longSymbols);
    d.debugMessages = RangeAt(in, coddir::debugMessages);
    return d;
}

std::vector<TCodSymbol> ShortSymbols(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<TCodSymbol> symbols;
    for (std::size_t i = 0; i < 32; ++i) {
        const std::size_t at = i * 16;
        if (in.U8(at) == 0)
            break;
        symbols.push_back({in.ShortText(at, 12), in.U8(at + 13), in.U16(at + 14)});
    }
    return symbols;
}

std::vector<TCodSymbol> LongSymbols(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<TCodSymbol> symbols;
    std::size_t at = 0;
    while (at < kCodBlockSize) {
        const std::size_t length = in.U8(at);
        // An entry that would run past the block ends the block's entries.
        if (length == 0 || !in.Has(at, length + 7))
            break;
        symbols.push_back({in.ShortText(at, 255), in.U16(at + length + 1), in.U32BigEndian(at + length + 3)});
        at += length + 7;
    }
    return symbols;
}

std::vector<TCodLocalSymbol> LocalSymbols(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<TCodLocalSymbol> symbols;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t at = i * 32;
        TCodLocalSymbol symbol;
        symbol.header = in.ShortText(at, 7);
        symbol.start = in.U32(at + 8);
        symbol.end = in.U32(at + 12);
        symbol.name = in.ShortText(at + 16, 12);
        symbol.type = in.U8(at + 29);
        symbol.value = in.U16(at + 30);
        symbols.push_back(symbol);
    }
    return symbols;
}

std::vector<std::string> FileNames(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = i * 64;
        if (in.U8(at) == 0)
            break;
        names.push_back(in.ShortText(at, 63));
    }
    return names;
}

std::vector<TCodLineEntry> LineEntries(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<TCodLineEntry> entries;
    entries.reserve(85);
    for (std::size_t i = 0; i < 85; ++i) {
        const std::size_t at = i * 6;
        entries.push_back({in.U8(at), in.U8(at + 1), in.U16(at + 2), in.U16(at + 4)});
    }
    return entries;
}

std::vector<TCodMemoryRange> MemoryMap(const std::uint8_t *block)
{
    const TByteReader in(block, kCodBlockSize);
    std::vector<TCodMemoryRange> ranges;
    for (std::size_t i = 0; i < 128; ++i) {
        const TCodMemoryRange range{in.U16(i * 4), in.U16(i * 4 + 2)};
        if (i != 0 && range.start == 0 && range.end == 0)
            break;
        ranges.push_back(range);
    }
    return ranges;
}

}  // namespace codblock

bool TCodFile::Fail(std::string message)
{
    m_error = std::move(message);
    return false;
}

bool TCodFile::Load(const std::string &path)
{
    std::vector<std::uint8_t> bytes;
    std::string why;
    int osError = 0;
    if (!ReadFileBytes(path, kMaxFileSize, &bytes, &why, &osError)) {
        *this = TCodFile();
        m_osError = osError;
        return Fail(why);
    }
    if (!Parse(bytes)) {
        m_error = path + ": " + m_error;
        return false;
    }
    return true;
}

bool TCodFile::ReadRange(const TCodRange &range, const char *what, std::uint16_t directory,
                         std::vector<const std::uint8_t *> *blocks)
{
    blocks->clear();
    if (!range.Present())
        return true;
    const std::string where = std::string("The ") + what + " of the directory in block " + std::to_string(directory);
    if (range.last < range.first)
        return Fail(where + " ends (block " + std::to_string(range.last) + ") before it starts (block " +
                    std::to_string(range.first) + ")");
    const TByteReader in(m_bytes, m_size);
    for (std::uint32_t b = range.first; b <= range.last; ++b) {
        if (!in.Has(static_cast<std::uint64_t>(b) * kCodBlockSize, kCodBlockSize))
            return Fail(where + " needs block " + std::to_string(b) + ", past the end of the file (" +
                        std::to_string(m_size / kCodBlockSize) + " whole blocks)");
        blocks->push_back(m_bytes + static_cast<std::size_t>(b) * kCodBlockSize);
    }
    return true;
}

bool TCodFile::Parse(const std::uint8_t *bytes, std::size_t size)
{
    *this = TCodFile();
    m_bytes = bytes;
    m_size = size;
    struct TReset {
        TCodFile *file;
        ~TReset() { file->m_bytes = nullptr, file->m_size = 0; }
    } reset{this};

    const TByteReader in(bytes, size);
    if (!in.Has(0, kCodBlockSize))
        return Fail("The file is too short for a COD directory block (" + std::to_string(size) + " bytes, 512 needed)");

    std::set<std::uint16_t> visited;
    std::uint16_t block = 0;
    while (true) {
        if (!visited.insert(block).second)
            return Fail("The directory chain returns to block " + std::to_string(block));
        if (static_cast<int>(visited.size()) > kMaxDirectories)
            return Fail("The directory chain is longer than " + std::to_string(kMaxDirectories) + " blocks");
        if (!in.Has(static_cast<std::uint64_t>(block) * kCodBlockSize, kCodBlockSize))
            return Fail("The directory chain points to block " + std::to_string(block) + ", past the end of the file");
        TCodSection section;
        section.directory = codblock::Directory(bytes + static_cast<std::size_t>(block) * kCodBlockSize, block);
        const TCodDirectory &d = section.directory;
        if (m_sections.empty() && d.processor.empty() && d.compilerName.empty() && d.sourcePath.empty())
            return Fail("Block 0 is not a COD directory (no source, compiler or processor name)");

        std::vector<const std::uint8_t *> blocks;
        if (!ReadRange(d.symbols, "symbol table", block, &blocks))
            return false;
        for (const std::uint8_t *b : blocks) {
            const auto symbols = codblock::ShortSymbols(b);
            section.shortSymbols.insert(section.shortSymbols.end(), symbols.begin(), symbols.end());
        }
        if (!ReadRange(d.longSymbols, "long symbol table", block, &blocks))
            return false;
        for (const std::uint8_t *b : blocks) {
            const auto symbols = codblock::LongSymbols(b);
            section.longSymbols.insert(section.longSymbols.end(), symbols.begin(), symbols.end());
        }
        if (!ReadRange(d.localSymbols, "local symbol table", block, &blocks))
            return false;
        for (const std::uint8_t *b : blocks) {
            const auto symbols = codblock::LocalSymbols(b);
            section.localSymbols.insert(section.localSymbols.end(), symbols.begin(), symbols.end());
        }
        if (!ReadRange(d.fileNames, "file name table", block, &blocks))
            return false;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            // File numbers count 8 per block, so a short block leaves empty numbers.
            auto names = codblock::FileNames(blocks[i]);
            names.resize(8);
            section.fileNames.insert(section.fileNames.end(), names.begin(), names.end());
        }
        while (!section.fileNames.empty() && section.fileNames.back().empty())
            section.fileNames.pop_back();
        if (!ReadRange(d.lineNumbers, "line number table", block, &blocks))
            return false;
        for (const std::uint8_t *b : blocks) {
            const auto entries = codblock::LineEntries(b);
            section.lines.insert(section.lines.end(), entries.begin(), entries.end());
        }
        if (!ReadRange(d.memoryMap, "memory map", block, &blocks))
            return false;
        for (const std::uint8_t *b : blocks) {
            const auto ranges = codblock::MemoryMap(b);
            section.memoryMap.insert(section.memoryMap.end(), ranges.begin(), ranges.end());
        }
        if (!ReadRange(d.debugMessages, "debug message table", block, &blocks))
            return false;
        section.hasDebugMessages = d.debugMessages.Present();

        // Code: each used byte address of the memory map (every block's bytes without one).
        std::vector<bool> used(65536, section.memoryMap.empty());
        for (const TCodMemoryRange &range : section.memoryMap) {
            for (std::uint32_t a = range.start; a <= range.end && a < used.size(); ++a)
                used[a] = true;
        }
        for (std::size_t i = 0; i < d.codeBlocks.size(); ++i) {
            const std::uint16_t codeBlock = d.codeBlocks[i];
            if (codeBlock == 0)
                continue;
            if (!in.Has(static_cast<std::uint64_t>(codeBlock) * kCodBlockSize, kCodBlockSize))
                return Fail("Code block " + std::to_string(codeBlock) + " of the directory in block " +
                            std::to_string(block) + " lies past the end of the file");
            const std::uint8_t *code = bytes + static_cast<std::size_t>(codeBlock) * kCodBlockSize;
            for (std::size_t k = 0; k < kCodBlockSize; ++k) {
                const std::size_t address = i * kCodBlockSize + k;
                if (used[address])
                    m_program.push_back({(static_cast<std::uint32_t>(d.highAddress) << 16) | static_cast<std::uint32_t>(address), code[k]});
            }
        }

        const std::uint16_t next = d.nextDirectory;
        m_sections.push_back(std::move(section));
        if (next == 0)
            break;
        block = next;
    }
    std::sort(m_program.begin(), m_program.end());
    return true;
}

std::string TCodFile::Processor() const
{
    return m_sections.empty() ? std::string() : m_sections.front().directory.processor;
}

const std::vector<std::string> &TCodFile::FileNames() const
{
    static const std::vector<std::string> kNone;
    for (const TCodSection &section : m_sections) {
        if (!section.fileNames.empty())
            return section.fileNames;
    }
    return kNone;
}

}  // namespace kiv
