#include "CODDUMP.h"

#include "cod_file.h"
#include "fileioerror.h"
#include "listing_index.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

namespace kiv {

namespace {

// W(x, n): right-aligned in n characters, a longer text whole.
QString W(const QString &text, int width)
{
    return text.rightJustified(width, QLatin1Char(' '));
}

QString W(long long value, int width)
{
    return W(QString::number(value), width);
}

QString Sp(int n)
{
    return QString(n, QLatin1Char(' '));
}

QString Hex4(unsigned value)
{
    return QString::number(value & 0xFFFF, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString Hex2(unsigned value)
{
    return QString::number(value & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// Text from a file as part of one report line: control characters other than tabs (a broken
// file's line ends and NULs, a listing's form feeds) become dots.
QString Printable(const QByteArray &text)
{
    QString result = QString::fromLatin1(text);
    for (QChar &c : result) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F)
            c = QLatin1Char('.');
    }
    return result;
}

QString Printable(const std::string &text)
{
    return Printable(QByteArray::fromStdString(text));
}

QString TypeText(unsigned type)
{
    return QString::fromStdString(CodTypeName(static_cast<std::uint16_t>(type))) + QLatin1Char('(') +
           QString::number(type) + QLatin1Char(')');
}

QString FlagText(std::uint8_t flags)
{
    static const char *const kNames[] = {"ASSERT ",     "NO_CODE ",         "NO_LIST_LINE ",   "CONSTANTS_IN_CODE ",
                                         "DEFINITION ", "INTERRUPT_START ", "FUNCTION_START ", "SOURCE_LINE "};
    QString text;
    for (int bit = 0; bit < 8; ++bit) {
        if (flags & (1u << bit))
            text += QLatin1String(kNames[bit]);
    }
    return text;
}

class TCodReport {
public:
    TCodReport(const QByteArray &cod, const QString &codFile, QIODevice &out, QIODevice *listing)
        : m_cod(cod), m_codFolder(QFileInfo(codFile).absolutePath()), m_out(out), m_listing(listing)
    {
    }

    void Write()
    {
        Line();
        Line();
        Line(QStringLiteral("Directory page list:"));
        const std::vector<std::uint16_t> chain = Chain(true);
        for (const std::uint16_t d : chain) {
            if (!ReadBlock(d)) {
                Line(QStringLiteral("**** Error reading block ") + QString::number(d));
                continue;
            }
            const TCodDirectory dir = codblock::Directory(m_block.data(), d);
            const QString h = QString::number(dir.highAddress, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            Line(QStringLiteral("   Block") + W(d, 4) + QStringLiteral(" Range: ") + h + QStringLiteral("0000 to ") + h +
                 QStringLiteral("FFFF"));
        }
        for (const std::uint16_t d : chain) {
            Line();
            Line();
            Line(QStringLiteral("Directory page #") + QString::number(d));
            if (!ReadBlock(d)) {
                Line(QStringLiteral("**** Error reading block ") + QString::number(d));
                continue;
            }
            const TCodDirectory dir = codblock::Directory(m_block.data(), d);
            Header(dir);
            MemoryMap(dir);
            CodeTable(dir);
            FileNames(dir);
            Symbols(dir);
            LongSymbols(dir);
            LocalSymbols(dir);
            DebugMessages(dir);
            LineNumbers(dir);
        }
    }

private:
    void Line(const QString &text = QString())
    {
        const QByteArray bytes = text.toLatin1() + "\r\n";
        if (m_out.write(bytes) != bytes.size())
            throw TFileIoError(QStringLiteral("Cannot write the COD report: ") + m_out.errorString());
    }

    // A block into m_block; false (and the previous contents kept) when it is not in the file whole.
    bool ReadBlock(std::uint32_t block)
    {
        const qint64 at = static_cast<qint64>(block) * static_cast<qint64>(kCodBlockSize);
        if (at + static_cast<qint64>(kCodBlockSize) > m_cod.size())
            return false;
        std::copy(m_cod.constData() + at, m_cod.constData() + at + kCodBlockSize, m_block.begin());
        return true;
    }

    // A block of a table's range; past the end of the file the error line is written and the
    // table ends there, since every later block of the range lies past the end as well (a
    // damaged range may name 65,535 of them).
    bool TableBlock(std::uint32_t block)
    {
        if (ReadBlock(block))
            return true;
        Line(QStringLiteral("**** Error reading block ") + QString::number(block));
        return false;
    }

    // The directory blocks from block 0, each once: a chain that returns to a block it passed
    // or points past the end stops there.
    std::vector<std::uint16_t> Chain(bool report)
    {
        std::vector<std::uint16_t> chain;
        std::set<std::uint16_t> seen;
        std::uint16_t block = 0;
        while (seen.insert(block).second) {
            chain.push_back(block);
            if (!ReadBlock(block))
                break;
            const std::uint16_t next = codblock::Directory(m_block.data(), block).nextDirectory;
            if (next == 0)
                break;
            if (seen.count(next) && report)
                Line(QStringLiteral("**** The directory chain returns to block ") + QString::number(next));
            block = next;
        }
        return chain;
    }

    void Title(const char *title, const char *underline)
    {
        Line(QLatin1String(title));
        Line(QLatin1String(underline));
    }

    void End()
    {
        Line();
        Line();
    }

    void Absent(const char *message)
    {
        Line();
        Line(QLatin1String(message));
        End();
    }

    void Header(const TCodDirectory &d)
    {
        Line();
        Line(QStringLiteral("Source path:  ") + Printable(d.sourcePath));
        Line(QStringLiteral("Date/Time:    ") + Printable(d.date) + QStringLiteral("  ") +
             QString::number(d.time / 100) + QLatin1Char(':') + QString::number(d.time % 100));
        Line(QStringLiteral("Compiler:     ") + Printable(d.compilerName) + QStringLiteral("  ") +
             Printable(d.compilerVersion) + QStringLiteral("  ") + Printable(d.notice) +
             QStringLiteral("  COD type=") + QString::number(d.codType));
        Line(QStringLiteral("Address base: ") + Hex4(d.highAddress) + QStringLiteral("0000"));
        Line(QStringLiteral("Processor:    ") + Printable(d.processor));
        Line();
        Line();
    }

    void MemoryMap(const TCodDirectory &d)
    {
        m_used.assign(m_used.size(), false);
        Title("Memory Map", "----------");
        if (!d.memoryMap.Present())
            return Absent("Memory map does not exist");
        Line(Sp(9) + QStringLiteral("Start") + Sp(5) + QStringLiteral("End"));
        for (std::uint32_t b = d.memoryMap.first; b <= d.memoryMap.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            const std::vector<TCodMemoryRange> ranges = codblock::MemoryMap(m_block.data());
            for (std::size_t i = 0; i < ranges.size(); ++i) {
                const TCodMemoryRange &r = ranges[i];
                Line(W(static_cast<long long>((b - d.memoryMap.first) * 128 + i), 4) + QStringLiteral(": ") +
                     W(Hex4(r.start), 8) + W(Hex4(r.end), 8));
                for (std::uint32_t a = r.start; a <= r.end; ++a)
                    m_used[a] = true;
            }
        }
        End();
    }

    void CodeTable(const TCodDirectory &d)
    {
        Title("Code Table", "-------------------");
        for (std::size_t i = 0; i < d.codeBlocks.size(); ++i) {
            const std::uint16_t b = d.codeBlocks[i];
            if (b == 0)
                continue;
            if (!ReadBlock(b)) {
                // Not the previous block's words under this block's addresses.
                Line(QStringLiteral("**** Error reading block ") + QString::number(b));
                continue;
            }
            for (int r = 0; r < 32; ++r) {
                QString words;
                bool any = false;
                for (int k = 0; k < 8; ++k) {
                    const std::size_t at = static_cast<std::size_t>(r * 16 + 2 * k);
                    const std::size_t address = i * kCodBlockSize + at;
                    if (m_used[address]) {
                        words += Hex4(m_block[at] | (m_block[at + 1] << 8)) + QLatin1Char(' ');
                        any = true;
                    } else {
                        words += QStringLiteral("---- ");
                    }
                }
                if (any)
                    Line(Hex2(d.highAddress) + Hex4(static_cast<unsigned>(i * kCodBlockSize + r * 16)) +
                         QStringLiteral(": ") + words);
            }
        }
        End();
    }

    // The file as stored, beside the COD file, or by its bare name in the current folder or
    // beside the COD file; the name that was found, or the last one tried.
    QString FindSource(const QString &stored, bool *found) const
    {
        const QString bare = QFileInfo(stored).fileName();
        QStringList tries = {stored};
        if (QFileInfo(stored).isRelative())
            tries << QDir(m_codFolder).filePath(stored);
        tries << bare << QDir(m_codFolder).filePath(bare);
        for (const QString &name : tries) {
            if (!name.isEmpty() && QFileInfo(name).isFile()) {
                *found = true;
                return name;
            }
        }
        *found = false;
        return bare;
    }

    void FileNames(const TCodDirectory &d)
    {
        m_files.clear();
        Title("Source File Name Table", "----------------------");
        if (!d.fileNames.Present())
            return Absent("Source name table does not exist");
        Line(QStringLiteral("File#") + Sp(6) + QStringLiteral("Source File Name"));
        for (std::uint32_t b = d.fileNames.first; b <= d.fileNames.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            const std::vector<std::string> names = codblock::FileNames(m_block.data());
            for (std::size_t i = 0; i < names.size(); ++i) {
                const int number = static_cast<int>((b - d.fileNames.first) * 8 + i);
                bool found = false;
                const QString name = FindSource(Printable(names[i]), &found);
                Line(W(number, 4) + QStringLiteral(": ") + W(found ? QStringLiteral("Found") : QStringLiteral("Not Found"), 10) +
                     QStringLiteral("  ") + name);
                m_files.insert(number, found ? name : QString());
            }
        }
        End();
    }

    void SymbolHeader()
    {
        Line(QStringLiteral(" Sym#") + QStringLiteral("      Type") + QStringLiteral("   Value") + Sp(6) +
             QStringLiteral("Symbol Name"));
    }

    void SymbolLine(long long number, unsigned type, unsigned value, const std::string &name)
    {
        Line(W(number, 4) + QStringLiteral(": ") + W(TypeText(type), 9) + W(Hex4(value), 8) + Sp(6) +
             Printable(name));
    }

    void Symbols(const TCodDirectory &d)
    {
        Title("Symbol Table Information", "------------------------");
        if (!d.symbols.Present())
            return Absent("Symbol table does not exist");
        SymbolHeader();
        for (std::uint32_t b = d.symbols.first; b <= d.symbols.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            const std::vector<TCodSymbol> symbols = codblock::ShortSymbols(m_block.data());
            for (std::size_t i = 0; i < symbols.size(); ++i)
                SymbolLine(static_cast<long long>((b - d.symbols.first) * 32 + i), symbols[i].type, symbols[i].value,
                           symbols[i].name);
        }
        End();
    }

    void LongSymbols(const TCodDirectory &d)
    {
        Title("Long Symbol Table", "------------------");
        if (!d.longSymbols.Present())
            return Absent("Long symbol table does not exist");
        SymbolHeader();
        long long number = 0;
        for (std::uint32_t b = d.longSymbols.first; b <= d.longSymbols.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            for (const TCodSymbol &s : codblock::LongSymbols(m_block.data()))
                SymbolLine(number++, s.type & 0xFF, s.value & 0xFFFF, s.name);
        }
        End();
    }

    void LocalSymbols(const TCodDirectory &d)
    {
        Title("Local Symbol Table", "-------------------");
        if (!d.localSymbols.Present())
            return Absent("Local symbol table does not exist");
        Line(QStringLiteral(" Sym#") + QStringLiteral(" Local Hdr") + QStringLiteral("   Symbol Name") +
             QStringLiteral("     Type") + Sp(5) + QStringLiteral("Value") + Sp(5) + QStringLiteral("Start") + Sp(7) +
             QStringLiteral("End"));
        for (std::uint32_t b = d.localSymbols.first; b <= d.localSymbols.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            const std::vector<TCodLocalSymbol> symbols = codblock::LocalSymbols(m_block.data());
            for (std::size_t i = 0; i < symbols.size(); ++i) {
                const TCodLocalSymbol &s = symbols[i];
                Line(W(static_cast<long long>((b - d.localSymbols.first) * 16 + i), 4) + QStringLiteral(": ") +
                     W(Printable(s.header), 10) + W(Printable(s.name), 14) + W(TypeText(s.type), 9) +
                     W(Hex4(s.value), 10) + W(static_cast<long long>(s.start), 10) + W(static_cast<long long>(s.end), 10));
            }
        }
        End();
    }

    void DebugMessages(const TCodDirectory &d)
    {
        Title("Debug Message Table", "-------------------");
        Line(d.debugMessages.Present() ? QStringLiteral("  Exists, but this utility is unable to display the information")
                                       : QStringLiteral(" Debug message table does not exist"));
        End();
    }

    // Line `number` (1-based) of a source file, cut to 150 characters; false when it has none.
    bool SourceLine(int file, int number, QString *text)
    {
        auto it = m_sourceLines.find(file);
        if (it == m_sourceLines.end()) {
            QStringList lines;
            QFile source(m_files.value(file));
            if (!m_files.value(file).isEmpty() && source.open(QIODevice::ReadOnly)) {
                while (!source.atEnd()) {
                    QByteArray line = source.readLine();
                    while (line.endsWith('\n') || line.endsWith('\r'))
                        line.chop(1);
                    lines << Printable(line.left(150));
                }
            }
            it = m_sourceLines.insert(file, lines);
        }
        if (number < 1 || number > it->size())
            return false;
        *text = it->at(number - 1);
        return true;
    }

    void LineNumbers(const TCodDirectory &d)
    {
        Title("Source/Listing File Information Table", "-------------------------------------");
        if (!d.lineNumbers.Present())
            return Absent("Source/listing file table does not exist");

        QStringList listing;
        TListingIndex index;
        if (m_listing) {
            m_listing->seek(0);
            const QByteArray text = m_listing->readAll();
            for (QByteArray line : text.split('\n')) {
                while (line.endsWith('\r'))
                    line.chop(1);
                listing << Printable(line);
            }
            if (!listing.isEmpty() && listing.back().isEmpty())
                listing.removeLast();
            index.Parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        }

        std::vector<TCodLineEntry> entries;
        for (std::uint32_t b = d.lineNumbers.first; b <= d.lineNumbers.last && b <= 0xFFFF; ++b) {
            if (!TableBlock(b))
                break;
            const std::vector<TCodLineEntry> block = codblock::LineEntries(m_block.data());
            entries.insert(entries.end(), block.begin(), block.end());
        }
        if (entries.empty())
            return End();

        int counter = 0;
        QString listingText;
        QString sourceText;
        auto hasCode = [](const TCodLineEntry &e) {
            return (e.flags & (codline::kNoCode | codline::kDefinition)) == 0 && (e.line != 0 || e.address != 0);
        };
        // The header entry's count, or, when the listing shows that the lines before the first
        // entry with code are more, that number.
        counter = entries[0].address & 0xFF;
        if (!index.Empty()) {
            int ordinal = 0;
            for (std::size_t i = 1; i < entries.size(); ++i) {
                if (!(entries[i].flags & codline::kNoListLine))
                    ++ordinal;
                if (!hasCode(entries[i]))
                    continue;
                const int at = index.ListLineOfAddress(entries[i].address);
                if (at > ordinal + counter)
                    counter = at - ordinal;
                break;
            }
        }
        for (std::size_t i = 1; i < entries.size(); ++i) {
            const TCodLineEntry &e = entries[i];
            if (e.flags & codline::kNoListLine) {
                listingText.clear();
            } else {
                ++counter;
                if (!index.Empty() && hasCode(e) && Misaligned(listing.value(counter - 1), e.address)) {
                    // Page headers of the listing have no entries: catch up with the line
                    // that carries this entry's code.
                    const std::vector<TListingCodeLine> &codeLines = index.CodeLines();   // in line order
                    auto from = std::lower_bound(codeLines.begin(), codeLines.end(), counter,
                                                 [](const TListingCodeLine &code, int line) { return code.line < line; });
                    for (auto code = from; code != codeLines.end(); ++code) {
                        if (code->line >= counter + 400)
                            break;
                        if (code->address == e.address) {
                            counter = code->line;
                            break;
                        }
                    }
                }
                listingText = counter >= 1 && counter <= listing.size() ? listing[counter - 1] : QString();
            }
            if (e.file < 128) {
                QString text;
                if (SourceLine(e.file, e.line, &text))
                    sourceText = text;
            }
            Line(QStringLiteral("Code Address: ") + Hex4(e.address) + QStringLiteral(" Flags: ") + FlagText(e.flags));
            QString list = QStringLiteral("List File:   ") + QString::number(counter);
            Line(list.leftJustified(std::max<int>(21, list.size() + 1)) + QStringLiteral("> ") + listingText);
            const QString place = QString::number(e.file) + QLatin1Char(':') + QString::number(e.line);
            Line(QStringLiteral("Source file: ") + place.leftJustified(std::max<int>(8, place.size() + 1)) +
                 QStringLiteral("> ") + sourceText);
            Line();
        }
        End();
    }

    // True when the listing line an entry with code reached is not its line: a code line of
    // another address, or a line that is neither code nor one of the assembler's messages
    // (which have entries of their own).
    static bool Misaligned(const QString &line, unsigned address)
    {
        std::uint32_t at = 0;
        const QByteArray bytes = line.toLatin1();
        if (TListingIndex::ParseCodeLine(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), &at))
            return at != address;
        for (const char *diagnostic : {"Message[", "Warning[", "Error["}) {
            if (line.startsWith(QLatin1String(diagnostic)))
                return false;
        }
        return true;
    }

    const QByteArray &m_cod;
    const QString m_codFolder;
    QIODevice &m_out;
    QIODevice *m_listing;
    std::array<std::uint8_t, kCodBlockSize> m_block{};
    std::vector<bool> m_used = std::vector<bool>(65544, false);
    QHash<int, QString> m_files;
    QHash<int, QStringList> m_sourceLines;
};

}  // namespace

void DumpCodFile(const QString &codFile, QIODevice &output, const QString &listingFile)
{
    QFile cod(codFile);
    if (!cod.open(QIODevice::ReadOnly))
        throw TFileIoError(QStringLiteral("Cannot open the file ") + codFile + QStringLiteral(": ") + cod.errorString());
    if (cod.size() > 32ll * 1024 * 1024)
        throw TFileIoError(codFile + QStringLiteral(" is too large for a COD file"));
    const QByteArray bytes = cod.readAll();
    cod.close();
    QFile listing(listingFile);
    const bool haveListing = !listingFile.isEmpty() && listing.open(QIODevice::ReadOnly);
    TCodReport report(bytes, codFile, output, haveListing ? &listing : nullptr);
    report.Write();
}

void DumpCodFile(const QString &codFile, const QString &outputFile, const QString &listingFile)
{
    QFile out(outputFile);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw TFileIoError(QStringLiteral("Cannot create the file ") + outputFile + QStringLiteral(": ") +
                           out.errorString());
    DumpCodFile(codFile, out, listingFile);
    out.close();
    if (out.error() != QFileDevice::NoError)
        throw TFileIoError(QStringLiteral("Cannot write the file ") + outputFile + QStringLiteral(": ") + out.errorString());
}

}  // namespace kiv
