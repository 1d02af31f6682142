#include "gputils_reports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace kiv::compiler {

namespace {

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// The blank-separated words of `line`; `offsets` (when given) receives where each starts.
std::vector<std::string> Words(std::string_view line, std::vector<std::size_t> *offsets = nullptr)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i >= line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        words.emplace_back(line.substr(start, i - start));
        if (offsets)
            offsets->push_back(start);
    }
    return words;
}

bool ParseNumber(std::string_view text, std::uint32_t *value)
{
    if (text.empty())
        return false;
    const std::string s(text);
    char *end = nullptr;
    const unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (end == s.c_str() || *end != '\0')
        return false;
    *value = static_cast<std::uint32_t>(v);
    return true;
}

bool ParseDecimal(std::string_view text, int *value)
{
    if (text.empty() || text.size() > 9)
        return false;
    int v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// "Error[113]   text" at the start of `rest`: kind, number and text.
bool ParseTaggedMessage(std::string_view rest, TToolMessage *message)
{
    static const struct {
        const char *tag;
        TToolMessage::Kind kind;
    } kTags[] = {{"Error[", TToolMessage::Error},
                 {"Warning[", TToolMessage::Warning},
                 {"Message[", TToolMessage::Message}};
    for (const auto &tag : kTags) {
        const std::string_view name(tag.tag);
        if (!rest.starts_with(name))
            continue;
        const std::size_t close = rest.find(']', name.size());
        if (close == std::string_view::npos)
            return false;
        int number = 0;
        if (!ParseDecimal(rest.substr(name.size(), close - name.size()), &number))
            return false;
        message->kind = tag.kind;
        message->number = number;
        message->text = std::string(Trim(rest.substr(close + 1)));
        return true;
    }
    return false;
}

// "error: text" / "warning: text" / "message: text".
bool ParsePlainMessage(std::string_view line, TToolMessage *message, bool *isInfo)
{
    *isInfo = false;
    if (line.starts_with("error:")) {
        message->kind = TToolMessage::Error;
        message->text = std::string(Trim(line.substr(6)));
        return true;
    }
    if (line.starts_with("warning:")) {
        message->kind = TToolMessage::Warning;
        message->text = std::string(Trim(line.substr(8)));
        return true;
    }
    if (line.starts_with("message:")) {
        *isInfo = true;
        message->kind = TToolMessage::Message;
        message->text = std::string(Trim(line.substr(8)));
        return true;
    }
    return false;
}

}  // namespace

std::vector<TToolMessage> ParseGpasmOutput(std::string_view output)
{
    std::vector<TToolMessage> messages;
    for (std::string_view line : SplitLines(output)) {
        TToolMessage message;
        if (ParseTaggedMessage(line, &message)) {
            messages.push_back(std::move(message));
            continue;
        }
        // "file:line:Tag[n] text"; the file name itself may hold ":" characters.
        bool found = false;
        for (std::size_t colon = line.find(':'); colon != std::string_view::npos && !found;
             colon = line.find(':', colon + 1)) {
            const std::size_t second = line.find(':', colon + 1);
            if (second == std::string_view::npos)
                break;
            int lineNumber = 0;
            if (!ParseDecimal(line.substr(colon + 1, second - colon - 1), &lineNumber))
                continue;
            if (!ParseTaggedMessage(line.substr(second + 1), &message))
                continue;
            message.file = std::string(line.substr(0, colon));
            message.line = lineNumber;
            found = true;
        }
        if (found) {
            messages.push_back(std::move(message));
            continue;
        }
        bool isInfo = false;
        if (ParsePlainMessage(line, &message, &isInfo) && !isInfo)
            messages.push_back(std::move(message));
    }
    return messages;
}

std::vector<TToolMessage> ParseGplinkOutput(std::string_view output)
{
    std::vector<TToolMessage> messages;
    for (std::string_view line : SplitLines(output)) {
        TToolMessage message;
        bool isInfo = false;
        if (ParsePlainMessage(line, &message, &isInfo) && !isInfo)
            messages.push_back(std::move(message));
    }
    return messages;
}

bool ParseProcessorProperties(std::string_view output, TProcessorInfo *info)
{
    *info = {};
    for (std::string_view line : SplitLines(output)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (key == "Names" && info->name.empty()) {
            const std::size_t comma = value.find(',');
            info->name = std::string(Trim(value.substr(0, comma)));
        } else if (key == "Class" && info->gpasmClass.empty()) {
            info->gpasmClass = std::string(value);
        } else if (key == "Linker Script" && info->linkerScript.empty()) {
            info->linkerScript = std::string(value);
        } else if (key == "Max. ROM Addr.") {
            info->maxRomAddress = static_cast<std::uint32_t>(std::strtoul(std::string(value).c_str(), nullptr, 0));
        }
    }
    return !info->name.empty() && !info->gpasmClass.empty();
}

std::string ParseObjectProcessor(std::string_view gpvoOutput)
{
    for (std::string_view line : SplitLines(gpvoOutput)) {
        if (line.starts_with("Processor Type"))
            return std::string(Trim(line.substr(14)));
    }
    return {};
}

std::vector<std::string> ParseDependencyFile(std::string_view text)
{
    std::vector<std::string> files;
    bool first = true;
    for (std::string_view line : SplitLines(text)) {
        std::string_view entry = line;
        if (first) {
            // "target :  \" or "target : dep \"
            const std::size_t sep = line.find(" : ");
            if (sep == std::string_view::npos)
                return files;
            entry = line.substr(sep + 3);
            first = false;
        }
        entry = Trim(entry);
        if (entry.ends_with("\\"))
            entry = Trim(entry.substr(0, entry.size() - 1));
        if (!entry.empty())
            files.emplace_back(entry);
    }
    return files;
}

std::string ParseLinkerScriptMessage(std::string_view gplinkOutput)
{
    static constexpr std::string_view kLead = "Using default linker script \"";
    const std::size_t at = gplinkOutput.find(kLead);
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + kLead.size();
    const std::size_t close = gplinkOutput.find('"', start);
    if (close == std::string_view::npos)
        return {};
    return std::string(gplinkOutput.substr(start, close - start));
}

bool ParseLinkMap(std::string_view text, TLinkMap *map)
{
    *map = {};
    enum { None, Sections, Symbols, Other } table = None;
    bool inRows = false;
    bool sawSections = false;
    for (std::string_view raw : SplitLines(text)) {
        const std::string_view line = Trim(raw);
        if (line == "Section Info") {
            table = Sections;
            inRows = false;
            sawSections = true;
            continue;
        }
        if (line == "Symbols - Sorted by Name") {
            table = Symbols;
            inRows = false;
            continue;
        }
        if (line == "Program Memory Usage" || line == "Symbols - Sorted by Address" ||
            line.starts_with("External Symbols")) {
            table = Other;
            continue;
        }
        if (table == None || table == Other)
            continue;
        if (line.starts_with("---")) {
            inRows = true;
            continue;
        }
        if (!inRows)
            continue;
        if (line.empty()) {
            table = Other;
            continue;
        }
        std::vector<std::size_t> offsets;
        const std::vector<std::string> words = Words(line, &offsets);
        if (table == Sections && words.size() >= 5) {
            TMapSection section;
            section.name = words[0];
            section.type = words[1];
            section.location = words[3];
            if (ParseNumber(words[2], &section.address) && ParseNumber(words[4], &section.sizeBytes))
                map->sections.push_back(section);
        } else if (table == Symbols && words.size() >= 4) {
            TMapSymbol symbol;
            symbol.name = words[0];
            symbol.location = words[2];
            symbol.storage = words[3];
            // The file column is the rest of the line; it may hold spaces.
            if (words.size() >= 5)
                symbol.file = std::string(Trim(line.substr(offsets[4])));
            if (ParseNumber(words[1], &symbol.address))
                map->symbols.push_back(symbol);
        }
    }
    return sawSections;
}

TLinkerScript ParseLinkerScript(std::string_view text)
{
    TLinkerScript script;
    // One entry per open #IFDEF: whether its current branch is read. No symbol is defined, so
    // the #IFDEF branch is skipped and the #ELSE branch is read.
    std::vector<bool> branches;
    auto active = [&branches] {
        return std::all_of(branches.begin(), branches.end(), [](bool b) { return b; });
    };
    for (std::string_view raw : SplitLines(text)) {
        std::string_view line = raw;
        const std::size_t comment = line.find("//");
        if (comment != std::string_view::npos)
            line = line.substr(0, comment);
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        const std::string directive = Upper(words[0]);
        if (directive == "#IFDEF" || directive == "#IFNDEF") {
            branches.push_back(directive == "#IFNDEF");
            continue;
        }
        if (directive == "#ELSE") {
            if (!branches.empty())
                branches.back() = !branches.back();
            continue;
        }
        if (directive == "#FI") {
            if (!branches.empty())
                branches.pop_back();
            continue;
        }
        if (!active())
            continue;
        const bool code = directive == "CODEPAGE";
        const bool data = directive == "DATABANK" || directive == "ACCESSBANK";
        const bool shared = directive == "SHAREBANK";
        if (!code && !data && !shared)
            continue;
        TMemoryRange range;
        bool haveStart = false;
        bool haveEnd = false;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const std::string word = Upper(words[i]);
            if (word.starts_with("NAME="))
                range.name = words[i].substr(5);
            else if (word.starts_with("START="))
                haveStart = ParseNumber(words[i].substr(6), &range.start);
            else if (word.starts_with("END="))
                haveEnd = ParseNumber(words[i].substr(4), &range.end);
            else if (word == "PROTECTED")
                range.isProtected = true;
        }
        if (!haveStart || !haveEnd || range.end < range.start)
            continue;
        (code ? script.codePages : data ? script.dataBanks : script.shareBanks).push_back(range);
    }
    return script;
}

std::uint32_t TLinkerScript::ProgramCapacity() const
{
    std::uint32_t total = 0;
    for (const TMemoryRange &page : codePages) {
        if (!page.isProtected)
            total += page.Size();
    }
    return total;
}

std::uint32_t TLinkerScript::DataCapacity() const
{
    std::uint32_t total = 0;
    for (const TMemoryRange &bank : dataBanks) {
        if (!bank.isProtected)
            total += bank.Size();
    }
    // The mirrors of a shared bank carry its name; the memory is counted once.
    std::set<std::string> counted;
    for (const TMemoryRange &bank : shareBanks) {
        if (!bank.isProtected && counted.insert(bank.name).second)
            total += bank.Size();
    }
    return total;
}

bool TLinkerScript::InProgramMemory(std::uint32_t address) const
{
    return std::any_of(codePages.begin(), codePages.end(), [address](const TMemoryRange &page) {
        return !page.isProtected && address >= page.start && address <= page.end;
    });
}

TCoffHeader ParseCoffHeader(std::string_view bytes)
{
    TCoffHeader header;
    auto u16 = [&bytes](std::size_t at) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                          (static_cast<unsigned char>(bytes[at + 1]) << 8));
    };
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
    };
    if (bytes.size() < 20)
        return header;
    header.magic = u16(0);
    header.optionalHeaderSize = u16(16);
    // Old format (0x1234): 16-byte optional header, the processor after a 2-byte version.
    // New format (0x1240): 18-byte optional header, the processor after a 4-byte version.
    std::size_t processorAt = 0;
    if (header.magic == 0x1234 && header.optionalHeaderSize == 16)
        processorAt = 20 + 4;
    else if (header.magic == 0x1240 && header.optionalHeaderSize == 18)
        processorAt = 20 + 6;
    else
        return header;
    if (bytes.size() < 20u + static_cast<std::size_t>(header.optionalHeaderSize))
        return header;
    header.processor = u32(processorAt);
    header.valid = true;
    return header;
}

}  // namespace kiv::compiler
