#pragma once

// What the gputils peers print about a debug file, read back into records: gpvo for COFF,
// gpvc -a for COD, and the .map that gplink writes.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kiv::test {

struct TPeerLine {
    QString file;
    int line = 0;
    std::uint32_t address = 0;
    int flags = -1;          ///< gpvc only
    bool operator==(const TPeerLine &o) const
    {
        return file == o.file && line == o.line && address == o.address && flags == o.flags;
    }
};

struct TPeerRelocation {
    std::uint32_t address = 0;
    int offset = 0;
    int type = 0;
    QString symbol;
};

struct TPeerSection {
    QString name;
    std::uint32_t physical = 0;
    std::uint32_t size = 0;
    int relocationCount = 0;
    int lineCount = 0;
    std::uint32_t flags = 0;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> words;   ///< address, first word
    std::vector<TPeerRelocation> relocations;
    std::vector<TPeerLine> lines;
};

struct TPeerSymbol {
    int index = 0;           ///< as gpvo prints it (table index + 1)
    QString name;
    QString section;
    std::uint32_t value = 0;
    QString type;
    QString derived;
    QString storageClass;
    int auxCount = 0;
};

struct TPeerCoff {
    QString version;         ///< "0x1240"
    QString processor;
    int sectionCount = -1;
    int symbolCount = -1;
    std::vector<TPeerSection> sections;
    std::vector<TPeerSymbol> symbols;
};

inline std::uint32_t PeerNumber(const QString &text)
{
    bool ok = false;
    const QString t = text.trimmed();
    const std::uint32_t value = t.startsWith("0x") ? t.mid(2).toUInt(&ok, 16) : t.toUInt(&ok, 10);
    return value;
}

/// Reads what `gpvo FILE` printed.
inline TPeerCoff ParseGpvo(const QByteArray &output)
{
    TPeerCoff coff;
    enum { None, Data, Relocations, Lines, Symbols } part = None;
    const QStringList lines = QString::fromLatin1(output).split('\n');
    static const QRegularExpression field(QStringLiteral("^(.+?)\\s{2,}(\\S.*)$"));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) {
            if (part != Symbols)
                part = None;
            continue;
        }
        if (line == "Section Header") {
            coff.sections.push_back({});
            part = None;
            continue;
        }
        if (line == "Data") { part = Data; continue; }
        if (line == "Relocations Table") { part = Relocations; continue; }
        if (line == "Line Number Table") { part = Lines; continue; }
        if (line == "Symbol Table") { part = Symbols; continue; }
        const QStringList words = line.split(QRegularExpression("\\s+"));
        switch (part) {
        case Data:
            if (words.size() >= 2 && words[0].endsWith(':'))
                coff.sections.back().words.push_back(
                    {words[0].chopped(1).toUInt(nullptr, 16), static_cast<std::uint16_t>(words[1].toUInt(nullptr, 16))});
            continue;
        case Relocations:
            if (words.size() >= 5 && words[0] != "Address")
                coff.sections.back().relocations.push_back(
                    {PeerNumber(words[0]), static_cast<int>(PeerNumber(words[1])), static_cast<int>(PeerNumber(words[2])),
                     words[4]});
            continue;
        case Lines:
            if (words.size() >= 3 && words[0] != "Line")
                coff.sections.back().lines.push_back({words.mid(2).join(' '), words[0].toInt(), PeerNumber(words[1]), -1});
            continue;
        case Symbols:
            if (words.size() >= 8 && words[0] != "Idx" && !raw.startsWith(' ')) {
                TPeerSymbol symbol;
                symbol.index = words[0].toInt();
                symbol.name = words[1];
                symbol.section = words[2];
                symbol.value = PeerNumber(words[3]);
                symbol.type = words[4];
                symbol.derived = words[5];
                symbol.storageClass = words[6];
                symbol.auxCount = words[7].toInt();
                coff.symbols.push_back(symbol);
            }
            continue;
        case None:
            break;
        }
        const QRegularExpressionMatch m = field.match(line);
        if (!m.hasMatch())
            continue;
        const QString key = m.captured(1);
        const QString value = m.captured(2);
        if (key == "COFF version")
            coff.version = value.section(':', 0, 0);
        else if (key == "Processor Type")
            coff.processor = value;
        else if (key == "Number of Sections")
            coff.sectionCount = value.toInt();
        else if (key == "Number of Symbols")
            coff.symbolCount = value.toInt();
        else if (coff.sections.empty())
            continue;
        else if (key == "Name")
            coff.sections.back().name = value;
        else if (key == "Physical address")
            coff.sections.back().physical = PeerNumber(value);
        else if (key == "Size of Section")
            coff.sections.back().size = PeerNumber(value);
        else if (key == "Number of Relocations")
            coff.sections.back().relocationCount = value.toInt();
        else if (key == "Number of Line Numbers")
            coff.sections.back().lineCount = value.toInt();
        else if (key == "Flags")
            coff.sections.back().flags = PeerNumber(value);
    }
    return coff;
}

struct TPeerCod {
    QMap<QString, QString> directory;        ///< "Source file", "Date", "Processor", ...
    QStringList files;
    std::vector<std::pair<QString, std::pair<std::uint32_t, QString>>> longSymbols;   ///< name, value, type
    std::vector<TPeerLine> lines;
    struct TRomWord {
        std::uint32_t row;   ///< the row's address: words, or bytes on PIC18
        int column;
        std::uint16_t word;
    };
    std::vector<TRomWord> rom;
};

/// Reads what `gpvc -a FILE` printed.
inline TPeerCod ParseGpvc(const QByteArray &output)
{
    TPeerCod cod;
    enum { None, Directory, Symbols, Files, Lines, Rom } part = Directory;
    static const QRegularExpression dirField(QStringLiteral("^[0-9a-f,]+ - ([^:]+):\\s*(.*)$"));
    static const QRegularExpression symbol(QStringLiteral("^(\\S+) = ([0-9a-f]+), type = (\\S+)\\s*$"));
    static const QRegularExpression entry(
        QStringLiteral("^\\s*(\\d+)\\s+(\\d+)\\s+([0-9A-F]{6})\\s+([0-9a-f]{2}) \\S{8}\\s+(.*?)\\s*$"));
    static const QRegularExpression rom(QStringLiteral("^([0-9a-f]{6}):((?:\\s+[0-9a-f]{4})+)\\s*$"));
    for (const QString &line : QString::fromLatin1(output).split('\n')) {
        if (line.startsWith("Long Symbol Table Information")) { part = Symbols; continue; }
        if (line.startsWith("Source File Information")) { part = Files; continue; }
        if (line.startsWith("Line Number Information")) { part = Lines; continue; }
        if (line.startsWith("Formatted Code Dump")) { part = Rom; continue; }
        if (line.startsWith("Code blocks index") || line.startsWith("ROM Usage")) { part = None; continue; }
        switch (part) {
        case Directory: {
            const QRegularExpressionMatch m = dirField.match(line);
            if (m.hasMatch())
                cod.directory[m.captured(1).trimmed()] = m.captured(2).trimmed();
            break;
        }
        case Symbols: {
            const QRegularExpressionMatch m = symbol.match(line);
            if (m.hasMatch())
                cod.longSymbols.push_back({m.captured(1), {m.captured(2).toUInt(nullptr, 16), m.captured(3)}});
            break;
        }
        case Files:
            if (line.trimmed().isEmpty())
                part = None;
            else if (!line.startsWith("---"))
                cod.files << line.trimmed();
            break;
        case Lines: {
            const QRegularExpressionMatch m = entry.match(line);
            if (m.hasMatch())
                cod.lines.push_back({m.captured(5), m.captured(2).toInt(), m.captured(3).toUInt(nullptr, 16),
                                     static_cast<int>(m.captured(4).toUInt(nullptr, 16))});
            break;
        }
        case Rom: {
            const QRegularExpressionMatch m = rom.match(line);
            if (m.hasMatch()) {
                const std::uint32_t row = m.captured(1).toUInt(nullptr, 16);
                int column = 0;
                for (const QString &w : m.captured(2).split(' ', Qt::SkipEmptyParts))
                    cod.rom.push_back({row, column++, static_cast<std::uint16_t>(w.toUInt(nullptr, 16))});
            }
            break;
        }
        case None:
            break;
        }
    }
    return cod;
}

struct TMapSymbolEntry {
    QString name;
    std::uint32_t address = 0;
    QString location;        ///< "program" or "data"
    QString storage;         ///< "static", "extern"
};

/// The "Symbols - Sorted by Name" table of a gplink map.
inline std::vector<TMapSymbolEntry> ParseMapSymbols(const QByteArray &map)
{
    std::vector<TMapSymbolEntry> symbols;
    bool inTable = false;
    for (const QString &line : QString::fromLatin1(map).split('\n')) {
        if (line.contains("Symbols - Sorted by Name")) {
            inTable = true;
            continue;
        }
        if (line.contains("Symbols - Sorted by Address"))
            break;
        if (!inTable)
            continue;
        const QStringList w = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        if (w.size() >= 4 && w[1].startsWith("0x"))
            symbols.push_back({w[0], PeerNumber(w[1]), w[2], w[3]});
    }
    return symbols;
}

}  // namespace kiv::test
