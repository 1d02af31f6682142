#pragma once

// Writes small Microchip COFF files (the 0x1240 format) for tests: sections, symbols with
// types and auxiliary entries, line numbers and a string table, laid out as gputils lays them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kiv::test {

class TCoffWriter {
public:
    struct TLine {
        std::uint32_t fileSymbol;
        std::uint16_t line;
        std::uint32_t address;
    };
    struct TSection {
        std::string name;
        std::uint32_t address = 0;
        std::uint32_t size = 0;
        std::uint32_t flags = 0;
        std::vector<std::uint8_t> data;
        std::vector<TLine> lines;
    };
    struct TSymbol {
        std::string name;
        std::uint32_t value = 0;
        std::int16_t section = 0;
        std::uint32_t type = 0;
        std::uint8_t storageClass = 0;
        std::vector<std::vector<std::uint8_t>> aux;
    };

    std::uint32_t processor = 0x877A;
    std::uint32_t romWidth = 14;
    std::vector<TSection> sections;
    std::vector<TSymbol> symbols;

    /// Adds a symbol; returns its table index.
    std::uint32_t Add(TSymbol symbol)
    {
        std::uint32_t index = 0;
        for (const TSymbol &s : symbols)
            index += 1 + static_cast<std::uint32_t>(s.aux.size());
        symbols.push_back(std::move(symbol));
        return index;
    }

    /// A .file symbol with its name in an auxiliary entry; returns its table index.
    std::uint32_t AddFile(const std::string &name)
    {
        TSymbol file;
        file.name = ".file";
        file.section = -2;
        file.storageClass = 103;
        file.aux.push_back(std::vector<std::uint8_t>(20, 0));
        m_fileNames.push_back({Add(file), name});
        return m_fileNames.back().first;
    }

    /// An auxiliary entry of an array, struct variable or tag.
    static std::vector<std::uint8_t> Aux(std::uint32_t tagIndex, std::uint16_t size,
                                         std::initializer_list<std::uint16_t> dimensions = {},
                                         std::uint32_t endIndex = 0)
    {
        std::vector<std::uint8_t> aux(20, 0);
        Put32(aux, 0, tagIndex);
        Put16(aux, 6, size);
        std::size_t at = 8;
        for (std::uint16_t d : dimensions) {
            Put16(aux, at, d);
            at += 2;
        }
        if (endIndex)
            Put32(aux, 12, endIndex);
        return aux;
    }

    std::vector<std::uint8_t> Bytes()
    {
        std::vector<std::uint8_t> strings(4, 0);
        auto name8 = [&](std::vector<std::uint8_t> &out, std::size_t at, const std::string &name) {
            if (name.size() <= 8) {
                for (std::size_t i = 0; i < name.size(); ++i)
                    out[at + i] = static_cast<std::uint8_t>(name[i]);
            } else {
                Put32(out, at, 0);
                Put32(out, at + 4, static_cast<std::uint32_t>(strings.size()));
                strings.insert(strings.end(), name.begin(), name.end());
                strings.push_back(0);
            }
        };
        for (const auto &[index, name] : m_fileNames) {
            std::uint32_t at = 0;
            for (TSymbol &s : symbols) {
                if (at == index) {
                    Put32(s.aux.front(), 0, static_cast<std::uint32_t>(strings.size()));
                    strings.insert(strings.end(), name.begin(), name.end());
                    strings.push_back(0);
                }
                at += 1 + static_cast<std::uint32_t>(s.aux.size());
            }
        }
        std::uint32_t symbolCount = 0;
        for (const TSymbol &s : symbols)
            symbolCount += 1 + static_cast<std::uint32_t>(s.aux.size());

        std::vector<std::uint8_t> out(20 + 18 + 40 * sections.size(), 0);
        Put16(out, 0, 0x1240);
        Put16(out, 2, static_cast<std::uint16_t>(sections.size()));
        Put16(out, 16, 18);
        Put16(out, 18, 0x0002);
        Put16(out, 20, 0x5678);
        Put32(out, 22, 1);
        Put32(out, 26, processor);
        Put32(out, 30, romWidth);
        Put32(out, 34, 8);
        for (std::size_t i = 0; i < sections.size(); ++i) {
            TSection &s = sections[i];
            const std::size_t h = 38 + 40 * i;
            name8(out, h, s.name);
            Put32(out, h + 8, s.address);
            Put32(out, h + 12, s.address);
            Put32(out, h + 16, s.size);
            Put32(out, h + 36, s.flags);
            if (!s.data.empty()) {
                Put32(out, h + 20, static_cast<std::uint32_t>(out.size()));
                out.insert(out.end(), s.data.begin(), s.data.end());
            }
            if (!s.lines.empty()) {
                Put32(out, h + 28, static_cast<std::uint32_t>(out.size()));
                Put16(out, h + 34, static_cast<std::uint16_t>(s.lines.size()));
                for (const TLine &l : s.lines) {
                    std::vector<std::uint8_t> entry(16, 0);
                    Put32(entry, 0, l.fileSymbol);
                    Put16(entry, 4, l.line);
                    Put32(entry, 6, l.address);
                    out.insert(out.end(), entry.begin(), entry.end());
                }
            }
        }
        Put32(out, 8, static_cast<std::uint32_t>(out.size()));
        Put32(out, 12, symbolCount);
        for (const TSymbol &s : symbols) {
            std::vector<std::uint8_t> entry(20, 0);
            name8(entry, 0, s.name);
            Put32(entry, 8, s.value);
            Put16(entry, 12, static_cast<std::uint16_t>(s.section));
            Put32(entry, 14, s.type);
            entry[18] = s.storageClass;
            entry[19] = static_cast<std::uint8_t>(s.aux.size());
            out.insert(out.end(), entry.begin(), entry.end());
            for (const auto &aux : s.aux)
                out.insert(out.end(), aux.begin(), aux.end());
        }
        Put32(strings, 0, static_cast<std::uint32_t>(strings.size()));
        out.insert(out.end(), strings.begin(), strings.end());
        return out;
    }

    static void Put16(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v)
    {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    static void Put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
    {
        Put16(b, at, static_cast<std::uint16_t>(v));
        Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
    }

private:
    std::vector<std::pair<std::uint32_t, std::string>> m_fileNames;
};

}  // namespace kiv::test
