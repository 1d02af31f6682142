#include "watch_session.h"

#include "processor_info.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace kiv::watch {

namespace fs = std::filesystem;

namespace {

std::string Hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string BaseName(const std::string &path)
{
    return fs::path(path).filename().string();
}

}  // namespace

void TWatchSession::Install(TDebugInfo info, const std::string &path)
{
    m_info = std::move(info);
    std::string processor = m_info.Processor();
    if (m_info.FileFormat() == TDebugInfo::dfCoff && processor.empty()) {
        processor = CoffProcessorName(m_info, path);
        m_info.SetProcessor(processor);
    }
    // COD files name the processor but not its core; COFF files give the core by their word width.
    if (m_info.FileFormat() == TDebugInfo::dfCod || m_info.Core() == TProgramCore::pcUnknown) {
        const TProgramCore core = ProcessorCore(processor);
        if (core != TProgramCore::pcUnknown)
            m_info.SetCore(core);
    }
    m_sfrs = ReadSfrs(processor);
    const fs::path listing = fs::path(path).replace_extension(".lst");
    m_listing = TListingIndex();
    m_listing.Load(listing.string());
}

bool TWatchSession::LoadCod(const std::string &path, std::string *error)
{
    TDebugInfo info;
    if (!info.LoadCod(path, error))
        return false;
    Install(std::move(info), path);
    return true;
}

bool TWatchSession::LoadCoff(const std::string &path, std::uint32_t *errorCode, std::string *error)
{
    TCoffFile coffFile;
    if (!coffFile.Load(path)) {
        if (error)
            *error = coffFile.Error();
        std::uint32_t code = wcUnreadable;
        switch (coffFile.ErrorKind()) {
        case TCoffReadError::crOpen:
            if (coffFile.OsError() > 0 && coffFile.OsError() < 128)
                code = static_cast<std::uint32_t>(coffFile.OsError()) << 8;
            break;
        case TCoffReadError::crTooShort: code = wcTooShort; break;
        case TCoffReadError::crBadMagic: code = wcBadMagic; break;
        case TCoffReadError::crOptionalHeader: code = wcOptionalHeader; break;
        case TCoffReadError::crTruncated: code = wcTruncated; break;
        case TCoffReadError::crBadTable: code = wcBadTable; break;
        case TCoffReadError::crNone: break;
        }
        if (errorCode)
            *errorCode = code;
        return false;
    }
    TDebugInfo info;
    info.FromCoff(coffFile, path);
    Install(std::move(info), path);
    return true;
}

bool TWatchSession::FileName(int number, std::string *name) const
{
    if (!Loaded() || number < 0 || static_cast<std::size_t>(number) >= m_info.Files().size())
        return false;
    const TDebugSourceFile &file = m_info.Files()[static_cast<std::size_t>(number)];
    *name = file.stored.empty() ? std::string("[Unknown file]") : file.path;
    return true;
}

bool TWatchSession::FindLine(int mode, std::int32_t *file, std::int32_t *line, std::int32_t *listLine,
                             std::uint32_t *address, std::uint8_t *flags) const
{
    if (!Loaded() || !file || !line || !listLine || !address)
        return false;
    std::uint8_t lineFlags = 0;
    switch (mode) {
    case 1: {
        if (*file < 0 || static_cast<std::size_t>(*file) >= m_info.Files().size())
            return false;
        std::uint32_t found = 0;
        if (!m_info.AddressOfLine(*file, *line, &found))
            return false;
        *address = found;
        *listLine = m_listing.ListLineOfAddress(found);
        if (const TDebugLine *entry = m_info.LineOfAddress(found))
            lineFlags = static_cast<std::uint8_t>(entry->flags);
        break;
    }
    case 2: {
        std::uint32_t found = 0;
        if (!m_listing.AddressOfListLine(*listLine, &found))
            return false;
        *address = found;
        if (const TDebugLine *entry = m_info.LineOfAddress(found)) {
            *file = entry->file;
            *line = entry->line;
            lineFlags = static_cast<std::uint8_t>(entry->flags);
        }
        break;
    }
    case 3: {
        const TDebugLine *entry = m_info.LineOfAddress(*address);
        if (!entry)
            return false;
        *file = entry->file;
        *line = entry->line;
        *listLine = m_listing.ListLineOfAddress(*address);
        if (*listLine == 0)
            *listLine = m_listing.ListLineOfAddress(entry->address);
        lineFlags = static_cast<std::uint8_t>(entry->flags);
        break;
    }
    default:
        return false;
    }
    if (flags)
        *flags = lineFlags;
    return true;
}

bool TWatchSession::FindFunction(std::uint32_t address, std::uint32_t *exitAddress, std::string *name,
                                 std::string *file) const
{
    const TDebugFunction *function = Loaded() ? m_info.FunctionAt(address) : nullptr;
    if (!function) {
        *exitAddress = 0;
        name->clear();
        file->clear();
        return false;
    }
    *exitAddress = function->exit;
    *name = function->name;
    *file = function->file >= 0 && static_cast<std::size_t>(function->file) < m_info.Files().size()
                ? BaseName(m_info.Files()[static_cast<std::size_t>(function->file)].stored)
                : std::string();
    return true;
}

bool TWatchSession::FunctionAddress(const std::string &cName, std::int32_t *address) const
{
    if (!Loaded())
        return false;
    const std::string name = CName(m_info, cName);
    const std::int64_t after = *address;
    std::int64_t best = -1;
    for (const TDebugFunction *f : m_info.FunctionsNamed(name)) {
        if (static_cast<std::int64_t>(f->start) > after && (best < 0 || f->start < best))
            best = f->start;
    }
    if (best < 0) {
        for (const TDebugSymbol *s : m_info.SymbolsNamed(name)) {
            if (s->kind == TSymbolKind::skCode && static_cast<std::int64_t>(s->address) > after &&
                (best < 0 || s->address < best))
                best = s->address;
        }
    }
    if (best < 0)
        return false;
    *address = static_cast<std::int32_t>(best);
    return true;
}

std::string TWatchSession::Evaluate(int file, int line, const std::string &expression, const TMemoryAccess &memory) const
{
    TEvalContext context;
    context.info = &m_info;
    context.sfrs = &m_sfrs;
    context.file = file;
    context.line = line;
    context.memory = memory;
    return watch::Evaluate(context, expression);
}

std::string TWatchSession::PlaceOf(std::uint32_t address) const
{
    const TDebugLine *line = m_info.LineOfAddress(address);
    if (!line)
        return {};
    return BaseName(m_info.Files()[static_cast<std::size_t>(line->file)].stored) + " line " + std::to_string(line->line);
}

std::string TWatchSession::InterpretStack(std::uint32_t pc, const std::vector<std::uint32_t> &entries) const
{
    const int digits = m_info.Core() == TProgramCore::pcPic18 ? 6 : 4;
    auto describe = [&](std::uint32_t address, std::uint32_t lineAddress, const char *what) {
        const TDebugFunction *function = m_info.FunctionAt(address);
        std::string text = function ? function->name : "0x" + Hex(address, digits);
        const std::string place = PlaceOf(lineAddress);
        if (!place.empty())
            text += "  " + place;
        text += "  (" + std::string(what) + " 0x" + Hex(address, digits) + ")";
        return text;
    };
    std::string text = describe(pc, pc, "PC");
    // The newest return address first; the line is that of the call just before it.
    for (std::size_t i = entries.size(); i-- > 0;) {
        const std::uint32_t ret = entries[i];
        text += "\r\n" + describe(ret, ret > 0 ? ret - 1 : 0, "returns to");
    }
    return text;
}

std::string TWatchSession::Describe(const TDebugSymbol &symbol) const
{
    return symbol.name + " (" + m_info.TypeText(symbol.type) + " at 0x" + Hex(symbol.address, 2) + ")";
}

std::string TWatchSession::SymbolList(int file, int line, int symbolClass) const
{
    if (!Loaded())
        return {};
    std::vector<std::string> entries;
    std::set<std::string> seen;
    auto add = [&](const std::string &entry) {
        if (seen.insert(entry).second)
            entries.push_back(entry);
    };
    std::uint32_t scope = 0;
    const bool haveScope = file >= 0 && m_info.AddressOfLine(file, line, &scope);
    for (const TDebugSymbol &s : m_info.Symbols()) {
        switch (symbolClass) {
        case scGlobals:
            if (s.kind == TSymbolKind::skVariable && s.global && !s.scoped)
                add(s.name);
            break;
        case scInScope:
            if (s.kind != TSymbolKind::skVariable || s.global)
                break;
            if ((s.scoped && haveScope && scope >= s.scopeStart && scope <= s.scopeEnd) ||
                (!s.scoped && file >= 0 && s.file == file))
                add(Describe(s));
            break;
        case scAllStatics:
            if (s.kind == TSymbolKind::skVariable && !s.global)
                add(Describe(s));
            break;
        case scDefines:
            if (s.kind == TSymbolKind::skConstant)
                add("#define " + s.name + " " + std::to_string(s.address));
            break;
        default:
            break;
        }
    }
    std::sort(entries.begin(), entries.end());
    std::string text;
    for (const std::string &entry : entries) {
        if (!text.empty())
            text += "\r\n";
        text += entry;
    }
    return text;
}

void TWatchSession::AddDefine(const std::string &name, std::uint32_t value)
{
    TDebugSymbol symbol;
    symbol.name = name;
    symbol.kind = TSymbolKind::skConstant;
    symbol.address = value;
    symbol.global = true;
    symbol.origin = "define";
    m_info.AddSymbol(symbol);
}

}  // namespace kiv::watch
