#include "call_tree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>

namespace kiv::compiler {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HexByte(std::string_view text, std::size_t at, std::uint8_t *value)
{
    if (at + 2 > text.size())
        return false;
    const int hi = HexDigit(text[at]);
    const int lo = HexDigit(text[at + 1]);
    if (hi < 0 || lo < 0)
        return false;
    *value = static_cast<std::uint8_t>(hi * 16 + lo);
    return true;
}

// Deeper call chains are cut with "..." so a long chain can not exhaust the stack.
constexpr int kMaxDepth = 200;

std::string HexAddress(std::uint32_t address)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", address);
    return buffer;
}

}  // namespace

bool TProgramImage::Word(std::uint32_t at, std::uint16_t *word) const
{
    const auto lo = bytes.find(at);
    const auto hi = bytes.find(at + 1);
    if (lo == bytes.end() || hi == bytes.end())
        return false;
    *word = static_cast<std::uint16_t>(lo->second | (hi->second << 8));
    return true;
}

bool ReadIntelHex(std::string_view text, bool inhx16, TProgramImage *image)
{
    image->bytes.clear();
    std::uint32_t upper = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.empty() || line[0] == ';')
            continue;   // blank and comment lines
        if (line[0] != ':' || line.size() < 11)
            return false;
        std::vector<std::uint8_t> record;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            std::uint8_t b = 0;
            if (!HexByte(line, i, &b))
                return false;
            record.push_back(b);
        }
        if (record.size() < 5 || record.size() != static_cast<std::size_t>(record[0]) + 5)
            return false;
        std::uint8_t sum = 0;
        for (std::uint8_t b : record)
            sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0)
            return false;
        const std::uint8_t count = record[0];
        const std::uint32_t offset = (record[1] << 8) | record[2];
        const std::uint8_t type = record[3];
        if (type == 1)
            break;
        if (type == 4 && count == 2) {
            upper = static_cast<std::uint32_t>((record[4] << 8) | record[5]) << 16;
            continue;
        }
        if (type != 0)
            continue;
        for (std::uint8_t i = 0; i < count; ++i) {
            std::uint32_t at = upper + offset + i;
            std::uint8_t value = record[4 + i];
            if (inhx16) {
                // Word addresses, high byte first: store little-endian at byte addresses.
                at = (upper + offset) * 2 + (i ^ 1u);
            }
            image->bytes[at] = value;
        }
    }
    return true;
}

std::vector<TCallSite> FindCalls(const TProgramImage &image, TCore core, const TLinkerScript &script,
                                 const std::vector<TMapSymbol> &symbols)
{
    std::vector<std::uint32_t> labels;
    for (const TMapSymbol &symbol : symbols) {
        if (symbol.location == "program")
            labels.push_back(symbol.address);
    }
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());

    // 12/14-bit: `k` holds the low bits of the target; the page bits come from PCLATH or STATUS.
    auto resolvePaged = [&labels](std::uint32_t from, std::uint32_t k, std::uint32_t pageMask) {
        const std::uint32_t samePage = (from & ~pageMask) | k;
        std::uint32_t other = samePage;
        bool haveOther = false;
        for (std::uint32_t label : labels) {
            if ((label & pageMask) != k)
                continue;
            if (label == samePage)
                return samePage;
            if (!haveOther) {
                other = label;
                haveOther = true;
            }
        }
        return other;
    };

    std::vector<TCallSite> calls;
    for (const TMemoryRange &page : script.codePages) {
        if (page.isProtected)
            continue;
        if (core == TCore::Pic18) {
            for (std::uint32_t at = page.start & ~1u; at <= page.end; at += 2) {
                std::uint16_t word = 0;
                if (!image.Word(at, &word))
                    continue;
                if ((word & 0xFE00) == 0xEC00) {
                    std::uint16_t second = 0;
                    if (image.Word(at + 2, &second) && (second & 0xF000) == 0xF000) {
                        const std::uint32_t target = ((static_cast<std::uint32_t>(second & 0x0FFF) << 8) |
                                                      (word & 0xFF)) * 2;
                        calls.push_back({at, target});
                        at += 2;
                    }
                } else if ((word & 0xF800) == 0xD800) {
                    int offset = word & 0x7FF;
                    if (offset & 0x400)
                        offset -= 0x800;
                    calls.push_back({at, static_cast<std::uint32_t>(static_cast<int>(at) + 2 + 2 * offset)});
                }
            }
        } else if (core == TCore::Bit14 || core == TCore::Bit12) {
            for (std::uint32_t at = page.start; at <= page.end; ++at) {
                std::uint16_t word = 0;
                if (!image.Word(at * 2, &word))
                    continue;
                if (core == TCore::Bit14 && (word & 0x3800) == 0x2000)
                    calls.push_back({at, resolvePaged(at, word & 0x7FF, 0x7FF)});
                else if (core == TCore::Bit12 && (word & 0xF00) == 0x900)
                    calls.push_back({at, resolvePaged(at, word & 0xFF, 0x1FF)});
            }
        }
    }
    return calls;
}

std::string CallTreeText(const std::string &title, const TLinkMap &map, const TLinkerScript &script,
                         const std::vector<TCallSite> &calls)
{
    // The routines: every call target and every code section start in program memory.
    std::map<std::uint32_t, std::string> names;
    for (const TMapSymbol &symbol : map.symbols) {
        if (symbol.location == "program" && !names.count(symbol.address))
            names[symbol.address] = symbol.name;
    }
    std::set<std::uint32_t> starts;
    std::set<std::uint32_t> sectionStarts;
    for (const TMapSection &section : map.sections) {
        if (section.location == "program" && section.type == "code" &&
            script.InProgramMemory(section.address)) {
            starts.insert(section.address);
            sectionStarts.insert(section.address);
            if (!names.count(section.address))
                names[section.address] = section.name;
        }
    }
    std::set<std::uint32_t> called;
    for (const TCallSite &call : calls) {
        starts.insert(call.to);
        called.insert(call.to);
    }
    auto nameOf = [&names](std::uint32_t address) {
        const auto found = names.find(address);
        return found != names.end() ? found->second + " " + HexAddress(address) : HexAddress(address);
    };
    auto ownerOf = [&starts](std::uint32_t address) -> std::optional<std::uint32_t> {
        auto it = starts.upper_bound(address);
        if (it == starts.begin())
            return std::nullopt;
        return *--it;
    };

    // Callees of each routine, in the order of their first call.
    std::map<std::uint32_t, std::vector<std::uint32_t>> callees;
    std::vector<TCallSite> ordered = calls;
    std::sort(ordered.begin(), ordered.end(), [](const TCallSite &a, const TCallSite &b) {
        return a.from < b.from;
    });
    for (const TCallSite &call : ordered) {
        const auto owner = ownerOf(call.from);
        if (!owner)
            continue;
        std::vector<std::uint32_t> &list = callees[*owner];
        if (std::find(list.begin(), list.end(), call.to) == list.end())
            list.push_back(call.to);
    }

    std::vector<std::uint32_t> roots;
    for (std::uint32_t start : starts) {
        if (!called.count(start))
            roots.push_back(start);
    }
    if (roots.empty())
        roots.assign(sectionStarts.begin(), sectionStarts.end());

    std::string text = title + "\r\n\r\n";
    std::set<std::uint32_t> expanded;
    std::vector<std::uint32_t> path;
    std::function<void(std::uint32_t, int)> walk = [&](std::uint32_t routine, int depth) {
        text += std::string(static_cast<std::size_t>(depth) * 3, ' ') + nameOf(routine);
        if (depth >= kMaxDepth) {
            text += " ...\r\n";
            return;
        }
        if (std::find(path.begin(), path.end(), routine) != path.end()) {
            text += " (recursive)\r\n";
            return;
        }
        const auto found = callees.find(routine);
        const bool hasCallees = found != callees.end() && !found->second.empty();
        if (hasCallees && expanded.count(routine)) {
            text += " (see above)\r\n";
            return;
        }
        text += "\r\n";
        expanded.insert(routine);
        if (!hasCallees)
            return;
        path.push_back(routine);
        for (std::uint32_t callee : found->second)
            walk(callee, depth + 1);
        path.pop_back();
    };
    for (std::uint32_t root : roots)
        walk(root, 0);
    return text;
}

}  // namespace kiv::compiler
