#include "debug_info.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>

namespace kiv {

namespace fs = std::filesystem;

namespace {

bool FileExists(const fs::path &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWithCi(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() && Lower(text.substr(text.size() - tail.size())) == tail;
}

// Classes of COFF symbols that describe the table itself rather than program objects.
bool IsStructuralClass(std::uint8_t c)
{
    switch (c) {
    case coff::C_FILE: case coff::C_EOF: case coff::C_LIST: case coff::C_SECTION: case coff::C_EOS:
    case coff::C_STRTAG: case coff::C_UNTAG: case coff::C_ENTAG: case coff::C_MOS: case coff::C_MOU:
    case coff::C_MOE: case coff::C_FIELD: case coff::C_TPDEF: case coff::C_BLOCK: case coff::C_FCN:
    case coff::C_LINE: case coff::C_ALIAS: case coff::C_HIDDEN:
        return true;
    default:
        return false;
    }
}

}  // namespace

TProgramCore GuessCoreFromName(const std::string &processor)
{
    std::string name = Lower(processor);
    if (name.starts_with("pic"))
        name = name.substr(3);
    else if (name.starts_with("p") && name.size() > 1 && std::isdigit(static_cast<unsigned char>(name[1])))
        name = name.substr(1);
    if (name.empty())
        return TProgramCore::pcUnknown;
    if (name.starts_with("18"))
        return TProgramCore::pcPic18;
    if (name.starts_with("10f") || name.starts_with("10lf"))
        return TProgramCore::pc12Bit;
    for (const char *prefix : {"12c5", "12f5", "12ce5", "16c5", "16cr5", "16hv5", "16f5", "rf5"}) {
        if (!name.starts_with(prefix))
            continue;
        // 16F5x, 16F50x, 16F52x and 16F57x are baseline; 16F54x and longer numbers are not.
        const std::string digits = name.substr(std::string(prefix).size());
        if (std::string(prefix) == "16f5" && digits.size() >= 2 && std::isdigit(static_cast<unsigned char>(digits[1])) &&
            digits[0] != '0' && digits[0] != '2' && digits[0] != '7')
            break;
        return TProgramCore::pc12Bit;
    }
    return TProgramCore::pc14Bit;
}

bool IsReturnInstruction(TProgramCore core, std::uint16_t word)
{
    switch (core) {
    case TProgramCore::pc12Bit:
        return (word & 0x0F00) == 0x0800;   // RETLW
    case TProgramCore::pc14Bit:
        return word == 0x0008 || word == 0x0009 || (word & 0x3C00) == 0x3400;   // RETURN, RETFIE, RETLW
    case TProgramCore::pcPic18:
        return (word & 0xFFFC) == 0x0010 || (word & 0xFF00) == 0x0C00;   // RETFIE, RETURN, RETLW
    case TProgramCore::pcUnknown:
        break;
    }
    return false;
}

void TDebugInfo::Reset()
{
    *this = TDebugInfo();
    TDebugType byte;
    byte.kind = TDebugType::tkByte;
    byte.name = "byte";
    byte.size = 1;
    m_types.push_back(byte);
}

const TDebugType &TDebugInfo::Type(int index) const
{
    static const TDebugType kByte = [] {
        TDebugType t;
        t.name = "byte";
        return t;
    }();
    if (index < 0 || static_cast<std::size_t>(index) >= m_types.size())
        return kByte;
    return m_types[static_cast<std::size_t>(index)];
}

int TDebugInfo::AddType(TDebugType type)
{
    m_types.push_back(std::move(type));
    return static_cast<int>(m_types.size() - 1);
}

TDebugSourceFile TDebugInfo::ResolveFile(const std::string &stored) const
{
    TDebugSourceFile file;
    file.stored = stored;
    if (stored.empty())
        return file;
    fs::path path = stored;
    if (path.is_relative())
        path = fs::path(m_folder) / path;
    path = path.lexically_normal();
    if (!FileExists(path)) {
        // Names are stored as the tools were given them, and COD cuts long names: the file may
        // still lie beside the debug file.
        const fs::path beside = (fs::path(m_folder) / fs::path(stored).filename()).lexically_normal();
        if (FileExists(beside))
            path = beside;
    }
    file.path = path.string();
    return file;
}

int TDebugInfo::AddFile(const std::string &stored)
{
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (m_files[i].stored == stored)
            return static_cast<int>(i);
    }
    m_files.push_back(ResolveFile(stored));
    return static_cast<int>(m_files.size() - 1);
}

bool TDebugInfo::Load(const std::string &path, std::string *error, int *osError)
{
    if (EndsWithCi(path, ".cod"))
        return LoadCod(path, error, osError);
    return LoadCoff(path, error, osError);
}

bool TDebugInfo::LoadCod(const std::string &path, std::string *error, int *osError)
{
    TCodFile cod;
    if (!cod.Load(path)) {
        if (error)
            *error = cod.Error();
        if (osError)
            *osError = cod.OsError();
        return false;
    }
    FromCod(cod, path);
    return true;
}

bool TDebugInfo::LoadCoff(const std::string &path, std::string *error, int *osError)
{
    TCoffFile coffFile;
    if (!coffFile.Load(path)) {
        if (error)
            *error = coffFile.Error();
        if (osError)
            *osError = coffFile.OsError();
        return false;
    }
    FromCoff(coffFile, path);
    return true;
}

int TDebugInfo::BasicType(std::uint32_t basic, std::uint32_t auxSize)
{
    TDebugType t;
    t.kind = TDebugType::tkInteger;
    switch (basic) {
    case coff::T_CHAR: t.size = 1; t.isSigned = true; break;
    case coff::T_UCHAR: t.size = 1; break;
    case coff::T_SHORT: case coff::T_INT: t.size = 2; t.isSigned = true; break;
    case coff::T_USHORT: case coff::T_UINT: t.size = 2; break;
    case coff::T_SLONG: t.size = 3; t.isSigned = true; break;
    case coff::T_USLONG: t.size = 3; break;
    case coff::T_LONG: t.size = 4; t.isSigned = true; break;
    case coff::T_ULONG: t.size = 4; break;
    case coff::T_FLOAT: case coff::T_DOUBLE: case coff::T_LNGDBL:
        t.kind = TDebugType::tkFloat;
        t.size = 4;
        t.name = "float";
        break;
    case coff::T_ENUM: t.size = auxSize ? std::min<std::uint32_t>(auxSize, 4) : 1; break;
    case coff::T_VOID:
        t.kind = TDebugType::tkVoid;
        t.size = 0;
        t.name = "void";
        break;
    default:
        return 0;
    }
    if (t.kind == TDebugType::tkInteger)
        // The C dialect's names: its integers are unsigned unless declared signed.
        t.name = std::string(t.isSigned ? "signed " : "") + "int" + std::to_string(t.size * 8);
    for (std::size_t i = 0; i < m_types.size(); ++i) {
        const TDebugType &o = m_types[i];
        if (o.kind == t.kind && o.size == t.size && o.isSigned == t.isSigned && o.name == t.name)
            return static_cast<int>(i);
    }
    return AddType(t);
}

int TDebugInfo::CoffStructType(const TCoffFile &coff, std::uint32_t tagIndex, bool isUnion, int depth)
{
    for (const auto &[index, type] : m_structCache) {
        if (index == tagIndex)
            return type;
    }
    const TCoffSymbol *tag = coff.SymbolAt(tagIndex);
    if (!tag || (tag->storageClass != coff::C_STRTAG && tag->storageClass != coff::C_UNTAG) || depth > 8)
        return 0;
    TDebugType t;
    t.kind = tag->storageClass == coff::C_UNTAG || isUnion ? TDebugType::tkUnion : TDebugType::tkStruct;
    t.name = std::string(t.kind == TDebugType::tkUnion ? "union " : "struct ") + tag->name;
    t.size = tag->aux.empty() ? 0 : TCoffFile::SymbolAux(tag->aux.front()).size;
    // Reserve the number first, so that a member pointing back at its own struct ends.
    const int id = AddType(t);
    m_structCache.push_back({tagIndex, id});
    std::vector<TDebugType::TMember> members;
    const auto &symbols = coff.Symbols();
    auto it = std::find_if(symbols.begin(), symbols.end(), [&](const TCoffSymbol &s) { return s.index == tagIndex; });
    std::uint32_t largest = 0;
    for (++it; it != symbols.end() && it->storageClass != coff::C_EOS; ++it) {
        TDebugType::TMember member;
        member.name = it->name;
        if (it->storageClass == coff::C_FIELD) {
            TDebugType bit;
            bit.kind = TDebugType::tkBit;
            bit.bit = static_cast<std::uint8_t>(it->value % 8);
            bit.name = "int1";
            member.offset = it->value / 8;
            member.type = AddType(bit);
        } else if (it->storageClass == coff::C_MOS || it->storageClass == coff::C_MOU) {
            member.offset = it->storageClass == coff::C_MOU ? 0 : it->value;
            member.type = CoffType(coff, it->type, it->aux, 0, depth + 1);
        } else {
            break;
        }
        largest = std::max(largest, member.offset + Type(member.type).size);
        members.push_back(member);
    }
    TDebugType &stored = m_types[static_cast<std::size_t>(id)];
    stored.members = std::move(members);
    if (stored.size == 0)
        stored.size = largest;
    return id;
}

int TDebugInfo::CoffType(const TCoffFile &coff, std::uint32_t rawType,
                         const std::vector<std::vector<std::uint8_t>> &aux, std::uint32_t extent, int depth)
{
    const TCoffType decoded = coff.DecodeType(rawType);
    const TCoffAuxSymbol auxSymbol = aux.empty() ? TCoffAuxSymbol() : TCoffFile::SymbolAux(aux.front());
    int type = 0;
    if (decoded.basic == coff::T_STRUCT || decoded.basic == coff::T_UNION)
        type = aux.empty() ? 0 : CoffStructType(coff, auxSymbol.tagIndex, decoded.basic == coff::T_UNION, depth);
    else
        type = BasicType(decoded.basic, decoded.derived.empty() ? auxSymbol.size : 0);
    if (decoded.derived.empty())
        return type;

    // Array dimensions count from the outermost array.
    int arrays = 0;
    for (std::uint32_t d : decoded.derived)
        arrays += d == coff::DT_ARY ? 1 : 0;
    int arrayOrdinal = arrays;
    for (std::size_t i = decoded.derived.size(); i-- > 0;) {
        const std::uint32_t derived = decoded.derived[i];
        const TDebugType inner = Type(type);
        TDebugType t;
        if (derived == coff::DT_ARY) {
            --arrayOrdinal;
            std::uint32_t count = arrayOrdinal < 4 ? auxSymbol.dimensions[arrayOrdinal] : 0;
            if (count == 0 && i == 0 && inner.size != 0)
                count = (auxSymbol.size ? auxSymbol.size : extent) / inner.size;
            if (count == 0)
                count = 1;
            t.kind = TDebugType::tkArray;
            t.element = type;
            t.count = count;
            t.size = inner.size * count;
            t.name = inner.name + "[" + std::to_string(count) + "]";
        } else if (derived == coff::DT_PTR || derived == coff::DT_ROMPTR || derived == coff::DT_FARROMPTR) {
            t.kind = TDebugType::tkPointer;
            t.element = type;
            t.romPointer = derived != coff::DT_PTR;
            t.size = derived == coff::DT_FARROMPTR ? 3 : 2;
            t.name = inner.name + (t.romPointer ? " rom*" : "*");
        } else if (derived == coff::DT_FCN) {
            t.kind = TDebugType::tkFunction;
            t.element = type;
            t.size = 0;
            t.name = inner.name + "()";
        } else {
            return 0;
        }
        type = AddType(t);
    }
    return type;
}

int TDebugInfo::CodType(std::uint16_t codType)
{
    switch (codType) {
    case codtype::kSignedWord: return BasicType(coff::T_SHORT, 0);
    case codtype::kByte: return BasicType(coff::T_UCHAR, 0);
    case codtype::kWord: return BasicType(coff::T_USHORT, 0);
    case codtype::kFloat: return BasicType(coff::T_FLOAT, 0);
    default: break;
    }
    if (codType >= codtype::kBit0 && codType <= codtype::kBit7) {
        TDebugType bit;
        bit.kind = TDebugType::tkBit;
        bit.bit = static_cast<std::uint8_t>(codType - codtype::kBit0);
        bit.name = "int1";
        return AddType(bit);
    }
    return 0;
}

void TDebugInfo::FromCod(const TCodFile &cod, const std::string &debugFile)
{
    Reset();
    m_format = dfCod;
    m_debugFile = debugFile;
    m_folder = fs::path(debugFile).parent_path().string();
    m_processor = cod.Processor();
    m_core = GuessCoreFromName(m_processor);
    // File numbers index the table, so every entry keeps its place.
    for (const std::string &name : cod.FileNames())
        m_files.push_back(ResolveFile(name));

    for (const TCodSection &section : cod.Sections()) {
        const std::uint32_t high = static_cast<std::uint32_t>(section.directory.highAddress) << 16;
        for (std::size_t i = 0; i < section.lines.size(); ++i) {
            const TCodLineEntry &e = section.lines[i];
            // The table's first entry is its header; unused entries are zero.
            if (i == 0 || (e.file == 0 && e.flags == 0 && e.line == 0 && e.address == 0))
                continue;
            if (e.file >= m_files.size() || e.line == 0)
                continue;
            TDebugLine line;
            line.file = e.file;
            line.line = e.line;
            line.address = high | e.address;
            line.flags = e.flags;
            line.hasCode = (e.flags & (codline::kNoCode | codline::kDefinition)) == 0;
            m_lines.push_back(line);
        }
        auto addSymbol = [&](const TCodSymbol &s) {
            TDebugSymbol symbol;
            symbol.name = s.name;
            symbol.address = s.value;
            symbol.global = true;
            const std::string typeName = CodTypeName(s.type);
            symbol.origin = typeName + "(" + std::to_string(s.type) + ")";
            if (s.type == codtype::kRom) {
                symbol.kind = TSymbolKind::skCode;
            } else if (s.type == codtype::kConstant) {
                symbol.kind = TSymbolKind::skConstant;
            } else {
                symbol.kind = TSymbolKind::skVariable;
                symbol.type = CodType(s.type);
                symbol.typed = symbol.type != 0;
            }
            m_symbols.push_back(symbol);
        };
        for (const TCodSymbol &s : section.shortSymbols)
            addSymbol(s);
        for (const TCodSymbol &s : section.longSymbols)
            addSymbol(s);
        for (const TCodLocalSymbol &s : section.localSymbols) {
            if (s.name.empty())
                continue;
            TDebugSymbol symbol;
            symbol.name = s.name;
            symbol.address = s.value;
            symbol.kind = TSymbolKind::skVariable;
            symbol.type = CodType(s.type);
            symbol.typed = symbol.type != 0;
            symbol.scoped = true;
            symbol.scopeStart = s.start;
            symbol.scopeEnd = s.end;
            symbol.origin = "local " + s.header;
            m_symbols.push_back(symbol);
        }
    }
    m_program = cod.ProgramBytes();

    // Variables reach up to the next variable.
    std::vector<TDebugSymbol *> variables;
    for (TDebugSymbol &s : m_symbols) {
        if (s.kind == TSymbolKind::skVariable && !s.scoped)
            variables.push_back(&s);
    }
    std::stable_sort(variables.begin(), variables.end(),
                     [](const TDebugSymbol *a, const TDebugSymbol *b) { return a->address < b->address; });
    for (std::size_t i = 0; i + 1 < variables.size(); ++i) {
        if (variables[i + 1]->address > variables[i]->address)
            variables[i]->extent = variables[i + 1]->address - variables[i]->address;
    }

    // Functions: the code symbols, each up to the next one or the end of its stretch of code.
    std::vector<const TDebugSymbol *> code;
    for (const TDebugSymbol &s : m_symbols) {
        if (s.kind == TSymbolKind::skCode)
            code.push_back(&s);
    }
    std::stable_sort(code.begin(), code.end(),
                     [](const TDebugSymbol *a, const TDebugSymbol *b) { return a->address < b->address; });
    const unsigned unit = ProgramAddressBytes();
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (i + 1 < code.size() && code[i + 1]->address == code[i]->address)
            continue;   // two names for one address: the later one names the function
        TDebugFunction function;
        function.name = code[i]->name;
        function.start = code[i]->address;
        std::uint32_t end = function.start;
        // Follow the program bytes while they are contiguous.
        auto it = std::lower_bound(m_program.begin(), m_program.end(),
                                   std::make_pair(function.start * unit, std::uint8_t(0)));
        std::uint32_t expected = function.start * unit;
        while (it != m_program.end() && it->first == expected) {
            ++expected;
            ++it;
        }
        end = expected / unit;
        if (i + 1 < code.size())
            end = std::min(end, code[i + 1]->address);
        function.end = std::max(end, function.start + 1);
        m_functions.push_back(function);
    }
    for (TDebugSymbol &s : m_symbols) {
        if (s.scoped) {
            // A local's scope is the function that holds its start.
            for (std::size_t f = 0; f < m_functions.size(); ++f) {
                if (s.scopeStart >= m_functions[f].start && s.scopeStart < m_functions[f].end)
                    s.function = static_cast<int>(f);
            }
        }
    }
    UseCNames();
    SortLookups();
    FindFunctionExits();
}

void TDebugInfo::FromCoff(const TCoffFile &coffFile, const std::string &debugFile)
{
    Reset();
    m_format = dfCoff;
    m_debugFile = debugFile;
    m_folder = fs::path(debugFile).parent_path().string();
    m_processorNumber = coffFile.OptionalHeader().processorType;
    switch (coffFile.OptionalHeader().romWidthBits) {
    case 12: m_core = TProgramCore::pc12Bit; break;
    case 14: m_core = TProgramCore::pc14Bit; break;
    case 8: case 16: m_core = TProgramCore::pcPic18; break;
    default: m_core = TProgramCore::pcUnknown; break;
    }
    const unsigned unit = coffFile.OptionalHeader().romWidthBits > 8 ? 2u : 1u;

    // Source files and the file that declares each symbol: .file opens a file (nested for
    // included files), .eof closes it.
    std::map<std::uint32_t, int> fileOfSymbol;
    std::vector<int> open;
    std::vector<int> declaringFile(coffFile.Symbols().size(), -1);
    // Symbols of functions: .bf and .ef bracket a function's own symbols.
    std::vector<int> functionSymbol(coffFile.Symbols().size(), -1);
    int lastFunction = -1;
    int inFunction = -1;
    bool anyTypedFunction = false;
    for (std::size_t i = 0; i < coffFile.Symbols().size(); ++i) {
        const TCoffSymbol &s = coffFile.Symbols()[i];
        if (s.storageClass == coff::C_FILE) {
            const int file = AddFile(coffFile.SourceFileName(s));
            fileOfSymbol[s.index] = file;
            open.push_back(file);
        } else if (s.storageClass == coff::C_EOF) {
            if (!open.empty())
                open.pop_back();
        } else if (s.storageClass == coff::C_FCN) {
            inFunction = s.name == ".bf" ? lastFunction : -1;
        }
        declaringFile[i] = open.empty() ? -1 : open.back();
        functionSymbol[i] = inFunction;
        const TCoffSection *section = coffFile.SectionOf(s.sectionNumber);
        const TCoffType type = coffFile.DecodeType(s.type);
        if (section && section->InProgramMemory() && !type.derived.empty() && type.derived.front() == coff::DT_FCN) {
            lastFunction = static_cast<int>(i);
            anyTypedFunction = true;
        }
    }

    for (const TCoffSection &section : coffFile.Sections()) {
        for (const TCoffLineNumber &n : section.lineNumbers) {
            const auto file = fileOfSymbol.find(n.sourceSymbol);
            if (file == fileOfSymbol.end())
                continue;
            TDebugLine line;
            line.file = file->second;
            line.line = n.line;
            line.address = n.address;
            line.flags = n.flags;
            m_lines.push_back(line);
        }
        if (section.InProgramMemory() && section.HasData()) {
            const std::uint32_t base = section.physicalAddress * unit;
            for (std::size_t k = 0; k < section.data.size(); ++k)
                m_program.push_back({base + static_cast<std::uint32_t>(k), section.data[k]});
        }
    }
    std::sort(m_program.begin(), m_program.end());
    m_program.erase(std::unique(m_program.begin(), m_program.end(),
                                [](const auto &a, const auto &b) { return a.first == b.first; }),
                    m_program.end());

    // The extent of each data symbol: up to the next symbol of its section, or the section's end.
    struct TRaw {
        std::size_t symbol;
        const TCoffSection *section;
    };
    std::vector<TRaw> dataSymbols;
    for (std::size_t i = 0; i < coffFile.Symbols().size(); ++i) {
        const TCoffSymbol &s = coffFile.Symbols()[i];
        const TCoffSection *section = coffFile.SectionOf(s.sectionNumber);
        if (section && !section->InProgramMemory() && !IsStructuralClass(s.storageClass))
            dataSymbols.push_back({i, section});
    }
    std::map<std::size_t, std::uint32_t> extent;
    for (const TRaw &raw : dataSymbols) {
        const TCoffSymbol &s = coffFile.Symbols()[raw.symbol];
        std::uint32_t end = raw.section->physicalAddress + raw.section->size;
        for (const TRaw &other : dataSymbols) {
            const std::uint32_t a = coffFile.Symbols()[other.symbol].value;
            if (other.section == raw.section && a > s.value && a < end)
                end = a;
        }
        extent[raw.symbol] = end > s.value ? end - s.value : 0;
    }

    bool anyGlobalCode = false;
    for (const TCoffSymbol &s : coffFile.Symbols()) {
        const TCoffSection *section = coffFile.SectionOf(s.sectionNumber);
        if (section && section->IsCode() && s.storageClass == coff::C_EXT)
            anyGlobalCode = true;
    }

    struct TCodeSymbol {
        std::uint32_t address;
        std::string name;
        const TCoffSection *section;
        int file;
    };
    std::vector<TCodeSymbol> functionStarts;
    for (std::size_t i = 0; i < coffFile.Symbols().size(); ++i) {
        const TCoffSymbol &s = coffFile.Symbols()[i];
        if (IsStructuralClass(s.storageClass) || s.sectionNumber == coff::N_UNDEF || s.sectionNumber == coff::N_DEBUG)
            continue;
        if (s.storageClass == coff::C_AUTO || s.storageClass == coff::C_ARG || s.storageClass == coff::C_REG ||
            s.storageClass == coff::C_REGPARM || s.storageClass == coff::C_AUTOARG || s.storageClass == coff::C_EXTDEF)
            continue;   // kept on a stack or in registers: no fixed address to read
        TDebugSymbol symbol;
        symbol.name = s.name;
        symbol.address = s.value;
        symbol.global = s.storageClass == coff::C_EXT;
        symbol.file = declaringFile[i];
        symbol.origin = coff::StorageClassName(s.storageClass);
        const TCoffSection *section = coffFile.SectionOf(s.sectionNumber);
        const TCoffType type = coffFile.DecodeType(s.type);
        if (s.sectionNumber == coff::N_ABS) {
            symbol.kind = TSymbolKind::skConstant;
        } else if (section && section->InProgramMemory()) {
            symbol.kind = TSymbolKind::skCode;
            const bool typedFunction = !type.derived.empty() && type.derived.front() == coff::DT_FCN;
            bool isFunction = false;
            if (section->IsCode()) {
                if (anyTypedFunction)
                    isFunction = typedFunction;
                else if (anyGlobalCode)
                    isFunction = s.storageClass == coff::C_EXT;
                else
                    isFunction = s.storageClass == coff::C_EXT || s.storageClass == coff::C_STAT ||
                                 s.storageClass == coff::C_LABEL;
            }
            if (isFunction)
                functionStarts.push_back({s.value, s.name, section, declaringFile[i]});
        } else if (section) {
            symbol.kind = TSymbolKind::skVariable;
            const auto e = extent.find(i);
            symbol.extent = e == extent.end() ? 0 : e->second;
            symbol.type = CoffType(coffFile, s.type, s.aux, symbol.extent, 0);
            symbol.typed = s.type != coff::T_NULL && symbol.type != 0;
            if (symbol.typed)
                symbol.origin += " " + TypeText(symbol.type);
        } else {
            continue;
        }
        if (functionSymbol[i] >= 0 && !symbol.global)
            symbol.function = functionSymbol[i];   // a symbol index for now, a function below
        m_symbols.push_back(symbol);
    }

    std::stable_sort(functionStarts.begin(), functionStarts.end(),
                     [](const TCodeSymbol &a, const TCodeSymbol &b) { return a.address < b.address; });
    for (std::size_t i = 0; i < functionStarts.size(); ++i) {
        const TCodeSymbol &f = functionStarts[i];
        if (i + 1 < functionStarts.size() && functionStarts[i + 1].address == f.address)
            continue;
        TDebugFunction function;
        function.name = f.name;
        function.start = f.address;
        std::uint32_t end = f.section->physicalAddress + (f.section->size + unit - 1) / unit;
        if (i + 1 < functionStarts.size() && functionStarts[i + 1].address > f.address)
            end = std::min(end, functionStarts[i + 1].address);
        function.end = std::max(end, f.address + 1);
        function.file = f.file;
        m_functions.push_back(function);
    }
    // Locals of a function: their symbol index becomes the function's number.
    for (TDebugSymbol &s : m_symbols) {
        if (s.function < 0)
            continue;
        const TCoffSymbol *owner = &coffFile.Symbols()[static_cast<std::size_t>(s.function)];
        s.function = -1;
        for (std::size_t f = 0; f < m_functions.size(); ++f) {
            if (m_functions[f].start == owner->value && m_functions[f].name == owner->name) {
                s.function = static_cast<int>(f);
                s.scoped = true;
                s.scopeStart = m_functions[f].start;
                s.scopeEnd = m_functions[f].end - 1;
            }
        }
    }
    UseCNames();
    SortLookups();
    FindFunctionExits();
    for (TDebugFunction &f : m_functions) {
        if (f.file < 0) {
            if (const TDebugLine *line = LineOfAddress(f.start))
                f.file = line->file;
        }
    }
}

void TDebugInfo::UseCNames()
{
    // A program compiled from C names its variables and functions with a leading underscore in
    // the assembly (_count for count); the debugger shows and finds them by their C names.
    const bool fromC = std::any_of(m_files.begin(), m_files.end(), [](const TDebugSourceFile &f) {
        const std::string &n = f.stored;
        return n.size() > 2 && n[n.size() - 2] == '.' && (n.back() == 'c' || n.back() == 'C');
    });
    if (!fromC)
        return;
    const auto cName = [](std::string *name) {
        if (name->size() > 1 && (*name)[0] == '_' && (std::isalpha(static_cast<unsigned char>((*name)[1])) || (*name)[1] == '_'))
            name->erase(0, 1);
    };
    for (TDebugSymbol &s : m_symbols)
        cName(&s.name);
    for (TDebugFunction &f : m_functions)
        cName(&f.name);
}

void TDebugInfo::SortLookups()
{
    std::stable_sort(m_functions.begin(), m_functions.end(),
                     [](const TDebugFunction &a, const TDebugFunction &b) { return a.start < b.start; });
    m_codeLinesByAddress.clear();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].hasCode)
            m_codeLinesByAddress.push_back(i);
    }
    std::stable_sort(m_codeLinesByAddress.begin(), m_codeLinesByAddress.end(), [this](std::size_t a, std::size_t b) {
        return m_lines[a].address < m_lines[b].address;
    });
}

void TDebugInfo::SetCore(TProgramCore core)
{
    m_core = core;
    FindFunctionExits();
}

bool TDebugInfo::ProgramWord(std::uint32_t address, std::uint16_t *word) const
{
    const std::uint32_t at = address * ProgramAddressBytes();
    const auto it = std::lower_bound(m_program.begin(), m_program.end(), std::make_pair(at, std::uint8_t(0)));
    if (it == m_program.end() || it->first != at)
        return false;
    const auto next = it + 1;
    if (next == m_program.end() || next->first != at + 1)
        return false;
    *word = static_cast<std::uint16_t>(it->second | (next->second << 8));
    return true;
}

void TDebugInfo::FindFunctionExits()
{
    // The last return instruction of a function is the one a step over runs to. The return
    // instructions are found once over the program's bytes, so that a function's range, which
    // a damaged file may make billions of addresses wide, costs one search and not a walk.
    const std::uint32_t step = m_core == TProgramCore::pcPic18 ? 2 : 1;
    const std::uint32_t bytes = ProgramAddressBytes();
    std::vector<std::uint32_t> returns;   // ascending word addresses holding a return
    for (const auto &[at, value] : m_program) {
        if (at % bytes != 0)
            continue;
        const std::uint32_t a = at / bytes;
        std::uint16_t word = 0;
        if (a % step == 0 && (returns.empty() || returns.back() != a) && ProgramWord(a, &word)
            && IsReturnInstruction(m_core, word))
            returns.push_back(a);
    }
    for (TDebugFunction &f : m_functions) {
        f.exit = 0;
        if (f.end <= f.start)
            continue;
        auto it = std::lower_bound(returns.begin(), returns.end(), f.end);
        if (it != returns.begin() && *(it - 1) >= f.start)
            f.exit = *(it - 1);
    }
}

int TDebugInfo::FileNumber(const std::string &path) const
{
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (!m_files[i].stored.empty() && (m_files[i].path == path || m_files[i].stored == path))
            return static_cast<int>(i);
    }
    return -1;
}

bool TDebugInfo::AddressOfLine(int file, int line, std::uint32_t *address) const
{
    bool found = false;
    std::uint32_t lowest = 0;
    for (const TDebugLine &l : m_lines) {
        if (l.hasCode && l.file == file && l.line == line && (!found || l.address < lowest)) {
            lowest = l.address;
            found = true;
        }
    }
    if (found)
        *address = lowest;
    return found;
}

const TDebugLine *TDebugInfo::LineOfAddress(std::uint32_t address) const
{
    auto it = std::upper_bound(m_codeLinesByAddress.begin(), m_codeLinesByAddress.end(), address,
                               [this](std::uint32_t value, std::size_t i) { return value < m_lines[i].address; });
    if (it == m_codeLinesByAddress.begin())
        return nullptr;
    --it;
    const TDebugLine &below = m_lines[*it];
    if (below.address == address) {
        // The first entry in table order at this address.
        while (it != m_codeLinesByAddress.begin() && m_lines[*(it - 1)].address == address)
            --it;
        return &m_lines[*it];
    }
    // Between two entries: the code belongs to the nearer line above, within one function.
    const TDebugFunction *function = FunctionAt(address);
    if (!function || below.address < function->start)
        return nullptr;
    while (it != m_codeLinesByAddress.begin() && m_lines[*(it - 1)].address == below.address)
        --it;
    return &m_lines[*it];
}

const TDebugFunction *TDebugInfo::FunctionAt(std::uint32_t address) const
{
    auto it = std::upper_bound(m_functions.begin(), m_functions.end(), address,
                               [](std::uint32_t value, const TDebugFunction &f) { return value < f.start; });
    if (it == m_functions.begin())
        return nullptr;
    --it;
    return address < it->end ? &*it : nullptr;
}

std::vector<const TDebugFunction *> TDebugInfo::FunctionsNamed(const std::string &name) const
{
    std::vector<const TDebugFunction *> found;
    for (const TDebugFunction &f : m_functions) {
        if (f.name == name)
            found.push_back(&f);
    }
    return found;
}

std::vector<const TDebugSymbol *> TDebugInfo::SymbolsNamed(const std::string &name) const
{
    std::vector<const TDebugSymbol *> found;
    for (const TDebugSymbol &s : m_symbols) {
        if (s.name == name)
            found.push_back(&s);
    }
    return found;
}

std::string TDebugInfo::TypeText(int type) const
{
    return Type(type).name;
}

}  // namespace kiv
