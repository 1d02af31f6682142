#include "uDebugFormPeripherals_model.h"

#include "kivini.h"
#include "kivprompt.h"
#include "uDbgForm_model.h"
#include "uDebugFormRAM_model.h"

#include <QFile>

#include <algorithm>

namespace kiv {

namespace {

QString RemoveBlanks(QString line)
{
    line.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return line;
}

/// Upper-case hexadecimal digits only.
bool ParseHex(const QString &text, int &value)
{
    if (text.isEmpty() || text.size() > 6)
        return false;
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    value = text.toInt(nullptr, 16);
    return true;
}

QString Pad(const QString &text, int width)
{
    return text.leftJustified(width, QLatin1Char(' '), false);
}

}  // namespace

TFileProcessor::TFileProcessor(QStringList features, std::function<int(int)> ram)
    : m_features(std::move(features))
    , m_ram(std::move(ram))
{
}

QString TFileProcessor::AddressText(int address)
{
    return QStringLiteral("%1").arg(address, address >= 256 ? 3 : 2, 16, QLatin1Char('0'));
}

int TFileProcessor::FindRegister(const QString &name) const
{
    for (int i = 0; i < m_registers.size(); ++i) {
        if (m_registers.at(i).name == name)
            return i;
    }
    return -1;
}

bool TFileProcessor::Holds(const QString &conditions, bool allowNot, bool &ok) const
{
    // conditions: "(" token ")" repeated; a "!" before a token negates it (groups only).
    ok = true;
    bool holds = true;
    int at = 0;
    while (at < conditions.size()) {
        if (conditions.at(at) != QLatin1Char('(')) {
            ok = false;
            return false;
        }
        const int close = int(conditions.indexOf(QLatin1Char(')'), at));
        if (close < 0) {
            ok = false;
            return false;
        }
        QString token = conditions.mid(at + 1, close - at - 1);
        bool negate = false;
        if (allowNot && token.startsWith(QLatin1Char('!'))) {
            negate = true;
            token.remove(0, 1);
        }
        if (token.isEmpty()) {
            ok = false;
            return false;
        }
        const bool present = m_features.contains(token);
        if (present == negate)
            holds = false;
        at = close + 1;
    }
    return holds;
}

bool TFileProcessor::ParseRegister(const QString &line)
{
    // :NAME,ADDRESS,MASK(token)(token)
    const QString body = line.mid(1);
    const QStringList parts = body.split(QLatin1Char(','));
    if (parts.size() != 3 || parts.at(0).isEmpty())
        return false;
    const QString &tail = parts.at(2);
    const qsizetype open = tail.indexOf(QLatin1Char('('));
    const QString maskText = open < 0 ? tail : tail.left(open);
    const QString conditions = open < 0 ? QString() : tail.mid(open);
    int address = 0;
    int mask = 0;
    if (!ParseHex(parts.at(1), address) || !ParseHex(maskText, mask) || mask > 0xFF)
        return false;
    bool ok = true;
    if (!Holds(conditions, false, ok))
        return ok;
    TRegister reg{parts.at(0), address, m_ram ? (m_ram(address) & 0xFF) : 0, mask};
    const int existing = FindRegister(reg.name);
    if (existing >= 0)
        m_registers[existing] = reg;
    else
        m_registers.append(reg);
    return true;
}

bool TFileProcessor::ParseGroup(const QString &line, int &defined)
{
    // !NAME,REG.BIT[:WIDTH],...(token)(!token)
    defined = -1;
    const QString body = line.mid(1);
    const qsizetype open = body.indexOf(QLatin1Char('('));
    const QString fieldsText = open < 0 ? body : body.left(open);
    const QString conditions = open < 0 ? QString() : body.mid(open);
    QStringList parts = fieldsText.split(QLatin1Char(','));
    if (parts.size() < 2 || parts.at(0).isEmpty())
        return false;
    const QString name = parts.takeFirst();
    struct Field {
        QString reg;
        int first, width;
    };
    QList<Field> fields;
    for (const QString &part : std::as_const(parts)) {
        const qsizetype dot = part.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0)
            return false;
        QString bitText = part.mid(dot + 1);
        int width = 1;
        if (const qsizetype colon = bitText.indexOf(QLatin1Char(':')); colon >= 0) {
            if (!ParseHex(bitText.mid(colon + 1), width))
                return false;
            bitText = bitText.left(colon);
        }
        int first = 0;
        if (!ParseHex(bitText, first) || first > 7 || width < 1 || first + width > 8)
            return false;
        fields.append(Field{part.left(dot), first, width});
    }
    bool ok = true;
    if (!Holds(conditions, true, ok))
        return ok;
    int index = -1;
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).name == name)
            index = i;
    }
    if (index < 0) {
        m_groups.append(TBitGroup{name, {}, {}});
        index = int(m_groups.size()) - 1;
    }
    TBitGroup &group = m_groups[index];
    group.fields.clear();
    for (const Field &field : std::as_const(fields)) {
        const int reg = FindRegister(field.reg);
        if (reg >= 0)
            group.fields.append(TBits{reg, field.first, field.width});
    }
    defined = index;
    return true;
}

void TFileProcessor::Parse(const QStringList &lines)
{
    enum { none, inGroup, skipping } values = none;
    int groupIndex = -1;
    int number = 0;
    for (const QString &raw : lines) {
        ++number;
        QString line = raw;
        if (const qsizetype comment = line.indexOf(QLatin1String("//")); comment >= 0)
            line.truncate(comment);
        if (line.trimmed().isEmpty())
            continue;
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char(':'))) {
            values = none;
            if (!ParseRegister(RemoveBlanks(trimmed)))
                m_notes << QStringLiteral("Line %1 skipped: %2").arg(number).arg(trimmed);
            continue;
        }
        if (trimmed.startsWith(QLatin1Char('!'))) {
            if (!ParseGroup(RemoveBlanks(trimmed), groupIndex)) {
                m_notes << QStringLiteral("Line %1 skipped: %2").arg(number).arg(trimmed);
                values = skipping;
                continue;
            }
            values = groupIndex >= 0 ? inGroup : skipping;
            continue;
        }
        if (values == skipping)
            continue;
        if (values == inGroup) {
            const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
            bool ok = false;
            const int value = colon < 0 ? 0 : trimmed.left(colon).trimmed().toInt(&ok, 10);
            if (colon >= 0 && ok) {
                m_groups[groupIndex].valueNames.insert(value, line.mid(line.indexOf(QLatin1Char(':')) + 1).trimmed());
                continue;
            }
            // A line without ":" or without a decimal value ends the value list.
            values = none;
        }
        m_notes << QStringLiteral("Line %1 skipped: %2").arg(number).arg(trimmed);
    }
}

int TFileProcessor::FieldValue(const TBits &bits) const
{
    if (bits.reg < 0 || bits.reg >= m_registers.size())
        return 0;
    const TRegister &reg = m_registers.at(bits.reg);
    return ((reg.value & reg.mask) >> bits.first) & ((1 << bits.width) - 1);
}

int TFileProcessor::GroupValue(const TBitGroup &group) const
{
    int value = 0;
    int shift = 0;
    for (const TBits &bits : group.fields) {
        value |= FieldValue(bits) << shift;
        shift += bits.width;
    }
    return value;
}

QStringList TFileProcessor::Output() const
{
    QStringList out;
    for (const TRegister &reg : m_registers) {
        QString bits;
        for (int b = 7; b >= 0; --b)
            bits += (reg.mask >> b) & 1 ? ((reg.value >> b) & 1 ? QLatin1Char('1') : QLatin1Char('0')) : QLatin1Char('X');
        out << Pad(reg.name, 10) + QLatin1Char(' ') + Pad(AddressText(reg.address), 5) + QLatin1Char(' ') + Pad(bits, 10)
                   + QLatin1Char(' ')
                   + Pad(QStringLiteral("0x%1").arg(reg.value & 0xFF, 2, 16, QLatin1Char('0')), 6);
    }
    out << QString() << QString();
    for (const TBitGroup &group : m_groups) {
        QStringList fields;
        for (const TBits &bits : group.fields) {
            QString field = AddressText(m_registers.at(bits.reg).address) + QLatin1Char('.') + QString::number(bits.first);
            if (bits.width > 1)
                field += QLatin1Char('-') + QString::number(bits.first + bits.width - 1);
            fields << field;
        }
        const int value = GroupValue(group);
        out << Pad(group.name, 10) + QLatin1Char(' ') + Pad(fields.join(QLatin1Char(',')), 15) + QLatin1Char(' ')
                   + Pad(QString::number(value), 3) + QLatin1Char(' ') + group.valueNames.value(value);
    }
    return out;
}

QList<int> TFileProcessor::RegisterAddresses(const QStringList &lines, const QStringList &features)
{
    TFileProcessor parse(features, nullptr);
    parse.Parse(lines);
    QList<int> addresses;
    for (const TRegister &reg : parse.Registers())
        addresses << reg.address;
    return addresses;
}

// --- the window's model ---------------------------------------------------------------------------

TDebugPeripheralsModel::TDebugPeripheralsModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormPeripherals"), QStringLiteral("Peripherals"))
    , m_session(session)
{
}

QStringList TDebugPeripheralsModel::FeatureTokens(const DeviceRecord &d)
{
    QStringList tokens;
    const auto add = [&tokens](bool on, const char *token) {
        if (on)
            tokens << QLatin1String(token);
    };
    add(d.kind() == 1, "PIC16");
    add(d.kind() == 3, "PIC18");
    add(d.kind() != 0, "INTS");
    add(d.hasPeripheralInts(), "PINTS");
    add(d.adcChannels() != 0, "A/DNORM");
    add(d.ccpCount() >= 1, "CCP1");
    add(d.ccpCount() > 1, "CCP2");
    add(d.trisMode() == 0, "TRIS");
    add(d.hasPor(), "POR");
    add(d.hasUsart(), "SCI");
    add(d.hasUsart2(), "SCI2");
    add(d.hasUsart9Bit(), "SCI-9");
    add(d.hasUsb(), "USB");
    add(d.hasCan(), "CAN");
    add(d.hasSpi(), "SPI");
    add(d.hasI2c(), "I2C");
    add(d.hasI2cMaster(), "I2C-MS");
    add(d.hasTimer1(), "TIM1");
    add(d.hasTimer2(), "TIM2");
    add(d.hasTimer3(), "TIM3");
    add(d.hasTimer4(), "TIM4");
    add(d.ccpCount() > 3, "ECCP");
    add(d.hasPsp(), "PSP");
    add(d.hasVref(), "VREF");
    add(d.hasLcd(), "LCD");
    add(d.hasProgramMemoryAccess(), "PRGMEM");
    add(d.hasComparators(), "COMP");
    tokens << d.name();
    return tokens;
}

QList<TPeripheralGroup> TDebugPeripheralsModel::GroupsFor(const DeviceRecord &d)
{
    QList<TPeripheralGroup> groups;
    const auto add = [&groups](bool on, const char *tag, const char *caption) {
        if (on)
            groups.append(TPeripheralGroup{QLatin1String(tag), QLatin1String(caption)});
    };
    add(d.adcChannels() != 0, "#ADC", "Analog/Digital Conv");
    add(d.ccpCount() != 0, "#CCP", "Capture/Compare/PWM");
    add(true, "#PORTS", "I/O Ports");
    add(d.hasPsp(), "#PSP", "Paralell Slave Port (PSP)");
    add(d.hasSpi(), "#SPI", "Serial Port Interface (SPI)");
    add(true, "#TIMER0", "Timer 0");
    add(d.hasTimer1(), "#TIMER1", "Timer 1");
    add(d.hasTimer2(), "#TIMER2", "Timer 2");
    add(d.hasTimer3(), "#TIMER3", "Timer 3");
    add(d.hasTimer4(), "#TIMER4", "Timer 4");
    add(d.hasUsart(), "#USART", "Serial Comm Interface (SCI)");
    add(d.hasUsb(), "#USB", "USB");
    add(d.hasLcd(), "#LCD", "LCD");
    add(d.hasCan(), "#CAN", "CAN");
    add(d.hasVref(), "#VRG", "VRG");
    add(d.eepromSize() != 0, "#EEPROM", "EEPROM");
    add(true, "#OSR", "Misc MPU Registers");
    add(true, "#IR", "Interrupts");
    return groups;
}

QStringList TDebugPeripheralsModel::PortLines(const DeviceRecord &d)
{
    QStringList lines;
    const auto hex = [](int value) { return QStringLiteral("%1").arg(value, value > 0xFF ? 3 : 2, 16, QLatin1Char('0')).toUpper(); };
    for (const char port : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'J', 'K'}) {
        const int mask = d.portMask(port);
        if (mask == 0)
            continue;
        const QString x = QString(QLatin1Char(port));
        if (d.kind() == 1) {
            lines << QStringLiteral(":PORT") + x + QLatin1Char(',') + hex(port - 60) + QLatin1Char(',') + hex(mask);
            lines << QStringLiteral(":TRIS") + x + QLatin1Char(',') + hex(port + 68) + QLatin1Char(',') + hex(mask);
        } else if (d.kind() == 3) {
            if (port == 'K') {
                lines << QStringLiteral(":PORTK,") + hex(0xF7D) + QLatin1Char(',') + hex(mask);
                lines << QStringLiteral(":TRISK,") + hex(0xF7F) + QLatin1Char(',') + hex(mask);
            } else {
                const int n = port - 'A';
                lines << QStringLiteral(":PORT") + x + QLatin1Char(',') + hex(0xF80 + n) + QLatin1Char(',') + hex(mask);
                lines << QStringLiteral(":TRIS") + x + QLatin1Char(',') + hex(0xF92 + n) + QLatin1Char(',') + hex(mask);
                lines << QStringLiteral(":LAT") + x + QLatin1Char(',') + hex(0xF89 + n) + QLatin1Char(',') + hex(mask);
            }
        }
    }
    return lines;
}

bool TDebugPeripheralsModel::ReadSection(const QString &path, const QString &tag, QStringList &lines)
{
    lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inSection = false;
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = QString::fromLatin1(bytes);
        if (!inSection) {
            inSection = line == tag;
            continue;
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            break;
        lines << line;
    }
    return file.error() == QFileDevice::NoError;
}

QString TDebugPeripheralsModel::SelectedCaption() const
{
    return m_selected >= 0 && m_selected < m_groups.size() ? m_groups.at(m_selected).caption : QString();
}

void TDebugPeripheralsModel::Select(int index)
{
    if (index < 0 || index >= m_groups.size())
        return;
    m_selected = index;
    ShowSelectedGroup();
}

void TDebugPeripheralsModel::ShowSelectedGroup()
{
    if (m_selected < 0 || m_selected >= m_groups.size())
        return;
    const QString tag = m_groups.at(m_selected).tag;
    QStringList lines;
    if (tag == QLatin1String("#PORTS")) {
        lines = PortLines(m_device);
    } else if (!ReadSection(m_sfrFile, tag, lines)) {
        ShowInformation(QStringLiteral("Error reading ") + m_sfrFile);
        return;
    }
    // Only the section's registers are read from the target.
    TDebugRamModel &ram = m_session.Ram();
    const QList<int> addresses = TFileProcessor::RegisterAddresses(lines, m_features);
    if (!addresses.isEmpty() && m_session.IsActive() && m_session.IsHalted()) {
        const auto [low, high] = std::minmax_element(addresses.begin(), addresses.end());
        if (!ram.ReadRange(*low, *high - *low + 1, false))
            return;
    }
    TFileProcessor parse(m_features, [&ram](int address) { return int(ram.ValueAt(address)); });
    parse.Parse(lines);
    m_text = parse.Output().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    m_notes = parse.Notes();
    Changed();
}

bool TDebugPeripheralsModel::Activate()
{
    m_device = m_session.device;
    m_features = FeatureTokens(m_device);
    m_groups = GroupsFor(m_device);
    m_selected = m_groups.isEmpty() ? -1 : 0;
    m_text.clear();
    Changed();
    return TDebugWindowModel::Activate();
}

bool TDebugPeripheralsModel::LoadSettings(TIniFile &ini)
{
    const QString selected = ini.ReadString(QStringLiteral("debugperif"), QStringLiteral("selected"));
    if (!selected.isEmpty() && selected != SelectedCaption()) {
        for (int i = 0; i < m_groups.size(); ++i) {
            if (m_groups.at(i).caption == selected) {
                m_selected = i;
                Changed();
                break;
            }
        }
    }
    return true;
}

bool TDebugPeripheralsModel::SaveSettings(TIniFile &ini)
{
    ini.WriteString(QStringLiteral("debugperif"), QStringLiteral("selected"), SelectedCaption());
    return true;
}

}  // namespace kiv
