#include "gputilsdata.h"

#include <QRegularExpression>

namespace kiv::devgen {

QString TGpProcessor::ProcessorName() const
{
    return names.size() > 1 ? names[1] : names.value(0);
}

int TGpProcessor::EepromBytes() const
{
    if (!eepromStart || !eepromEnd || *eepromEnd < *eepromStart)
        return 0;
    return int(*eepromEnd - *eepromStart + 1);
}

namespace {

std::optional<uint32_t> Hex(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const uint32_t value = t.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return value;
}

// "Key   : value" lines of a processor block.
bool KeyValue(const QString &line, QString &key, QString &value)
{
    const int colon = int(line.indexOf(QLatin1Char(':')));
    if (colon < 0)
        return false;
    key = line.left(colon).trimmed();
    value = line.mid(colon + 1).trimmed();
    return true;
}

}  // namespace

QList<TGpProcessor> ParseProcessorList(const QString &text)
{
    static const QRegularExpression wordRx(
        QStringLiteral("^\\s*Config Word\\s*:\\s*address\\s*=\\s*(0x[0-9A-Fa-f]+),\\s*mask\\s*=\\s*(0x[0-9A-Fa-f]+),\\s*default\\s*=\\s*(0x[0-9A-Fa-f]+)"));
    static const QRegularExpression directiveRx(QStringLiteral("^\\s+Directive:\\s*(\\S+)\\s*$"));
    static const QRegularExpression optionRx(
        QStringLiteral("^\\s+Option:\\s*(\\S+)\\s*=\\s*(0x[0-9A-Fa-f]+)(\\s*\\(default\\))?"));
    static const QRegularExpression rangeRx(QStringLiteral("(0x[0-9A-Fa-f]+)\\s*-\\s*(0x[0-9A-Fa-f]+)"));

    QList<TGpProcessor> list;
    TGpProcessor *current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.remove(QLatin1Char('\r'));
        if (line.startsWith(QLatin1String("Names"))) {
            list.append(TGpProcessor());
            current = &list.last();
            QString key, value;
            KeyValue(line, key, value);
            for (const QString &name : value.split(QLatin1Char(',')))
                if (!name.trimmed().isEmpty())
                    current->names.append(name.trimmed());
            continue;
        }
        if (!current)
            continue;
        if (auto m = wordRx.match(line); m.hasMatch()) {
            TGpConfigWord word;
            word.address = Hex(m.captured(1)).value_or(0);
            word.mask = Hex(m.captured(2)).value_or(0);
            word.defaultValue = Hex(m.captured(3)).value_or(0);
            current->configWords.append(word);
            continue;
        }
        if (auto m = directiveRx.match(line); m.hasMatch()) {
            if (!current->configWords.isEmpty())
                current->configWords.last().directives.append(TGpDirective{m.captured(1), {}});
            continue;
        }
        if (auto m = optionRx.match(line); m.hasMatch()) {
            if (!current->configWords.isEmpty() && !current->configWords.last().directives.isEmpty())
                current->configWords.last().directives.last().options.append(
                    {m.captured(1), Hex(m.captured(2)).value_or(0), !m.captured(3).isEmpty()});
            continue;
        }
        QString key, value;
        if (!KeyValue(line, key, value))
            continue;
        if (key == QLatin1String("Class")) {
            current->coreClass = value;
        } else if (key == QLatin1String("Max. RAM Addr.")) {
            current->maxRam = int(Hex(value).value_or(uint32_t(-1)));
        } else if (key == QLatin1String("Config") || key == QLatin1String("Config Range")) {
            current->configStart = Hex(value.section(QLatin1Char('-'), 0, 0));
        } else if (key == QLatin1String("EEPROM Range")) {
            if (auto m = rangeRx.match(value); m.hasMatch()) {
                current->eepromStart = Hex(m.captured(1));
                current->eepromEnd = Hex(m.captured(2));
            }
        } else if (key == QLatin1String("Header File")) {
            current->headerFile = value;
        } else if (key == QLatin1String("Bank Size")) {
            current->bankSize = value.section(QLatin1Char(' '), 0, 0).toInt();
        } else if (key == QLatin1String("Bank Number")) {
            current->bankCount = value.toInt();
        } else if (key == QLatin1String("Common RAM") || key == QLatin1String("Linear RAM")) {
            if (auto m = rangeRx.match(value); m.hasMatch() && Hex(m.captured(1)) && Hex(m.captured(2))) {
                auto &range = key.startsWith(QLatin1Char('C')) ? current->commonRam : current->linearRam;
                range = qMakePair(*Hex(m.captured(1)), *Hex(m.captured(2)));
            }
        } else if (key == QLatin1String("Access Split")) {
            current->accessSplit = Hex(value);
        } else if (key == QLatin1String("Program Size")) {
            current->programSize = value.section(QLatin1Char(' '), 0, 0).toUInt();
            current->programSizeInBytes = value.endsWith(QLatin1String("bytes"));
        }
    }
    return list;
}

int TIncHeader::BitOf(const QString &reg, const QString &bit) const
{
    const auto it = bits.constFind(reg);
    if (it == bits.constEnd())
        return -1;
    return it->value(bit, -1);
}

QString TIncHeader::ConfigComment(const QString &directive, const QString &option) const
{
    const QString key = QLatin1Char('_') + directive + QLatin1Char('_') + option;
    if (const auto it = comments.constFind(key); it != comments.constEnd())
        return *it;
    // PIC18 headers add the configuration byte ("_1H", "_2L", ...).
    static const char *const suffixes[] = {"1L", "1H", "2L", "2H", "3L", "3H", "4L", "4H",
                                           "5L", "5H", "6L", "6H", "7L", "7H"};
    for (const char *suffix : suffixes) {
        const auto it = comments.constFind(key + QLatin1Char('_') + QLatin1String(suffix));
        if (it != comments.constEnd())
            return *it;
    }
    return settingTexts.value(directive + QLatin1Char('=') + option);
}

namespace {

// H'01FF' (also plain hexadecimal).
int IncNumber(QString text)
{
    text = text.trimmed();
    if ((text.startsWith(QLatin1String("H'")) || text.startsWith(QLatin1String("h'")))
        && text.endsWith(QLatin1Char('\'')))
        text = text.mid(2, text.size() - 3);
    else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    const int value = text.toInt(&ok, 16);
    return ok ? value : -1;
}

}  // namespace

TIncHeader ParseIncHeader(const QString &text)
{
    static const QRegularExpression equRx(
        QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s+EQU\\s+(H'[0-9A-Fa-f]+')\\s*(;\\s*(.*))?$"));
    static const QRegularExpression bitsRx(QStringLiteral("^;-----\\s*([A-Za-z0-9_]+) Bits"));
    static const QRegularExpression headingRx(QStringLiteral("^;   (\\S.*):\\s*$"));
    static const QRegularExpression settingRx(QStringLiteral("^;     ([A-Za-z0-9_]+) = (\\S+)\\s+(\\S.*)$"));

    TIncHeader header;
    enum { None, Registers, Bits } section = None;
    QString bitsOf;
    QString heading;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.remove(QLatin1Char('\r'));
        if (line.startsWith(QLatin1String(";-----"))) {
            if (line.contains(QLatin1String("Register Files"))) {
                section = Registers;
            } else if (auto m = bitsRx.match(line); m.hasMatch()) {
                section = Bits;
                bitsOf = m.captured(1);
            } else if (!line.startsWith(QLatin1String(";-----Bank"))) {
                section = None;
            }
            continue;
        }
        if (line.startsWith(QLatin1String(";====")))
            section = None;
        if (const auto m = headingRx.match(line); m.hasMatch()) {
            heading = m.captured(1).trimmed();
            continue;
        }
        if (const auto m = settingRx.match(line); m.hasMatch()) {
            const QString key = m.captured(1) + QLatin1Char('=') + m.captured(2);
            const QString text = m.captured(3).trimmed();
            header.settingTexts.insert(key, heading.isEmpty() ? text : heading + QStringLiteral(": ") + text);
            continue;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("__MAXRAM"))) {
            header.maxRam = IncNumber(trimmed.mid(8));
            continue;
        }
        if (trimmed.startsWith(QLatin1String("__BADRAM"))) {
            for (const QString &part : trimmed.mid(8).split(QLatin1Char(','))) {
                const QStringList ends = part.split(QLatin1Char('-'));
                const int from = IncNumber(ends.value(0));
                const int to = ends.size() > 1 ? IncNumber(ends.value(1)) : from;
                if (from >= 0 && to >= from)
                    header.badRam.append({from, to});
            }
            continue;
        }
        const auto m = equRx.match(line);
        if (!m.hasMatch())
            continue;
        const QString name = m.captured(1);
        const int value = IncNumber(m.captured(2));
        if (name.startsWith(QLatin1Char('_')) && !m.captured(4).trimmed().isEmpty())
            header.comments.insert(name, m.captured(4).trimmed());
        if (section == Registers) {
            header.registers.insert(name, uint32_t(value));
        } else if (section == Bits && value >= 0 && value < 16) {
            header.bits[bitsOf].insert(name, value);
            header.allBits.insert(name);
        }
    }
    return header;
}

std::optional<uint32_t> CoffProcessorType(const QByteArray &object)
{
    auto u16 = [&](int at) { return uint32_t(uint8_t(object[at])) | (uint32_t(uint8_t(object[at + 1])) << 8); };
    auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };
    if (object.size() < 20)
        return std::nullopt;
    const uint32_t magic = u16(0);
    // Old Microchip COFF (0x1234) has a 2-byte version stamp, the newer one (0x1240) 4 bytes.
    const int stampSize = magic == 0x1234 ? 2 : magic == 0x1240 ? 4 : 0;
    if (stampSize == 0 || u16(16) == 0)
        return std::nullopt;
    const int procAt = 20 + 2 + stampSize;
    if (object.size() < procAt + 4)
        return std::nullopt;
    return u32(procAt);
}

}  // namespace kiv::devgen
