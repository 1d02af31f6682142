#include "sfrgen.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace kiv::sfrgen {

namespace {

struct TSectionRule {
    const char *tag;
    const char *pattern;
};

// Which registers make up each peripheral group. Ports are the IDE's own section.
const TSectionRule kSections[] = {
    {"#ADC", "^(ADCON\\d*|ADRES[HL]?|ANSEL[A-Z]?H?|ANCON\\d|ADCOMCON)$"},
    {"#CCP", "^(CCP\\d*CON|CCPR\\d*[HL]|ECCP\\d*AS|ECCP\\d*DEL|PWM\\d*CON|CCPAS|PSTR\\d*CON|CCPTMRS\\d*|CCP\\d*AS)$"},
    {"#PSP", "^(PSPCON)$"},
    {"#SPI", "^(SSP\\d*(BUF|CON\\d?|STAT|ADD|MSK))$"},
    {"#TIMER0", "^(TMR0[HL]?|OPTION_REG|T0CON)$"},
    {"#TIMER1", "^(TMR1[HL]|T1CON|T1GCON)$"},
    {"#TIMER2", "^(TMR2|PR2|T2CON)$"},
    {"#TIMER3", "^(TMR3[HL]|T3CON|T3GCON)$"},
    {"#TIMER4", "^(TMR4|PR4|T4CON)$"},
    {"#USART", "^(TXSTA\\d?|RCSTA\\d?|TXREG\\d?|RCREG\\d?|SPBRG\\d?|SPBRGH\\d?|BAUDCON\\d?|BAUDCTL\\d?|TX\\dSTA|RC\\dSTA|TX\\dREG|RC\\dREG|SP\\dBRG[HL]?)$"},
    {"#USB", "^(UCON|UCFG|USTAT|UADDR|UIR|UIE|UEIR|UEIE|UFRM[HL]|UEP\\d+)$"},
    {"#LCD", "^(LCD[A-Z0-9]*)$"},
    {"#CAN", "^(CANCON|CANSTAT|ECANCON|COMSTAT|BRGCON\\d|CIOCON|TXERRCNT|RXERRCNT|RXB\\dCON|TXB\\dCON|RXF\\d+SID[HL]|RXM\\dSID[HL]|TXB\\dSID[HL]|RXB\\dSID[HL]|TXB\\dDLC|RXB\\dDLC)$"},
    {"#VRG", "^(CVRCON\\d?|VRCON|REFCON\\d?|FVRCON)$"},
    {"#EEPROM", "^(EEDATA|EEDAT[HL]?|EEADR[HL]?|EEDATH|EEADRH|EECON[12])$"},
    {"#OSR", "^(STATUS|PCL|PCLATH|PCLATU|FSR\\d?[HL]?|OSCCON\\d?|OSCTUNE|OSCSTAT|PCON\\d?|RCON|WDTCON|BSR|STKPTR|TOS[HLU]|WREG|PROD[HL]|TBLPTR[HLU]|TABLAT|LVDCON|HLVDCON|CMCON\\d?|CM\\dCON\\d|CMSTAT|SRCON\\d?|WPUB|IOCB)$"},
    {"#IR", "^(INTCON\\d?|PIR\\d|PIE\\d|IPR\\d)$"},
};

/// A named bit group: its register (a pattern; "\\1" in a bit name stands for the register's
/// first captured number), the bits from the least significant, and the names of its values.
struct TGroupRule {
    const char *reg;
    const char *name;
    std::initializer_list<const char *> bits;
    std::initializer_list<const char *> values;
};

const TGroupRule kGroups[] = {
    // Timer 0 on the 12-bit and 14-bit cores.
    {"^OPTION_REG$", "TMR0PS", {"PS0", "PS1", "PS2"}, {"1:2", "1:4", "1:8", "1:16", "1:32", "1:64", "1:128", "1:256"}},
    {"^OPTION_REG$", "PSA", {"PSA"}, {"Prescaler to Timer0", "Prescaler to WDT"}},
    {"^OPTION_REG$", "T0CS", {"T0CS"}, {"Instruction clock", "T0CKI pin"}},
    {"^OPTION_REG$", "T0SE", {"T0SE"}, {"Rising edge", "Falling edge"}},
    {"^OPTION_REG$", "INTEDG", {"INTEDG"}, {"Falling edge", "Rising edge"}},
    {"^OPTION_REG$", "RBPU", {"NOT_RBPU"}, {"Pull-ups on", "Pull-ups off"}},
    // Timer 0 of the PIC18.
    {"^T0CON$", "TMR0PS", {"T0PS0", "T0PS1", "T0PS2"}, {"1:2", "1:4", "1:8", "1:16", "1:32", "1:64", "1:128", "1:256"}},
    {"^T0CON$", "PSA", {"PSA"}, {"Prescaler on", "No prescaler"}},
    {"^T0CON$", "T0CS", {"T0CS"}, {"Instruction clock", "T0CKI pin"}},
    {"^T0CON$", "T08BIT", {"T08BIT"}, {"16-bit", "8-bit"}},
    {"^T0CON$", "TMR0ON", {"TMR0ON"}, {"Off", "On"}},
    // Timers 1 and 3.
    {"^T1CON$", "TMR1PS", {"T1CKPS0", "T1CKPS1"}, {"1:1", "1:2", "1:4", "1:8"}},
    {"^T1CON$", "TMR1CS", {"TMR1CS"}, {"Fosc/4", "External clock"}},
    {"^T1CON$", "TMR1ON", {"TMR1ON"}, {"Off", "On"}},
    {"^T3CON$", "TMR3PS", {"T3CKPS0", "T3CKPS1"}, {"1:1", "1:2", "1:4", "1:8"}},
    {"^T3CON$", "TMR3CS", {"TMR3CS"}, {"Fosc/4", "External clock"}},
    {"^T3CON$", "TMR3ON", {"TMR3ON"}, {"Off", "On"}},
    // Timers 2 and 4.
    {"^T2CON$", "TMR2PS", {"T2CKPS0", "T2CKPS1"}, {"1:1", "1:4", "1:16", "1:16"}},
    {"^T2CON$", "TMR2POST", {"TOUTPS0", "TOUTPS1", "TOUTPS2", "TOUTPS3"},
     {"1:1", "1:2", "1:3", "1:4", "1:5", "1:6", "1:7", "1:8", "1:9", "1:10", "1:11", "1:12", "1:13", "1:14", "1:15", "1:16"}},
    {"^T2CON$", "TMR2ON", {"TMR2ON"}, {"Off", "On"}},
    {"^T4CON$", "TMR4PS", {"T4CKPS0", "T4CKPS1"}, {"1:1", "1:4", "1:16", "1:16"}},
    {"^T4CON$", "TMR4ON", {"TMR4ON"}, {"Off", "On"}},
    // A/D converter.
    {"^ADCON0$", "ADCS", {"ADCS0", "ADCS1"}, {"Fosc/2", "Fosc/8", "Fosc/32", "FRC"}},
    {"^ADCON0$", "CHS", {"CHS0", "CHS1", "CHS2", "CHS3"},
     {"AN0", "AN1", "AN2", "AN3", "AN4", "AN5", "AN6", "AN7", "AN8", "AN9", "AN10", "AN11", "AN12", "AN13", "AN14", "AN15"}},
    {"^ADCON0$", "CHS", {"CHS0", "CHS1", "CHS2"}, {"AN0", "AN1", "AN2", "AN3", "AN4", "AN5", "AN6", "AN7"}},
    {"^ADCON0$", "ADON", {"ADON"}, {"Off", "On"}},
    {"^ADCON0$", "GO", {"GO_NOT_DONE"}, {"Idle", "Converting"}},
    {"^ADCON0$", "GO", {"GO_DONE"}, {"Idle", "Converting"}},
    {"^ADCON1$", "ADFM", {"ADFM"}, {"Left justified", "Right justified"}},
    {"^ADCON1$", "PCFG", {"PCFG0", "PCFG1", "PCFG2", "PCFG3"}, {}},
    {"^ADCON2$", "ADFM", {"ADFM"}, {"Left justified", "Right justified"}},
    // Capture/compare/PWM modes.
    {"^CCP(\\d)CON$", "CCP\\1M", {"CCP\\1M0", "CCP\\1M1", "CCP\\1M2", "CCP\\1M3"},
     {"Off", "Reserved", "Compare, toggle output", "Reserved", "Capture falling edge", "Capture rising edge",
      "Capture 4th rising edge", "Capture 16th rising edge", "Compare, set output", "Compare, clear output",
      "Compare, interrupt only", "Compare, special event", "PWM", "PWM", "PWM", "PWM"}},
    // Synchronous serial port.
    {"^SSPCON1?$", "SSPM", {"SSPM0", "SSPM1", "SSPM2", "SSPM3"},
     {"SPI master Fosc/4", "SPI master Fosc/16", "SPI master Fosc/64", "SPI master TMR2/2", "SPI slave, SS on",
      "SPI slave, SS off", "I2C slave 7-bit", "I2C slave 10-bit", "I2C master", "Reserved", "Reserved",
      "I2C firmware master", "Reserved", "Reserved", "I2C slave 7-bit, S/P ints", "I2C slave 10-bit, S/P ints"}},
    {"^SSPCON1?$", "SSPEN", {"SSPEN"}, {"Off", "On"}},
    // USART.
    {"^TXSTA1?$", "SYNC", {"SYNC"}, {"Asynchronous", "Synchronous"}},
    {"^TXSTA1?$", "BRGH", {"BRGH"}, {"Low speed", "High speed"}},
    {"^TXSTA1?$", "TX9", {"TX9"}, {"8-bit", "9-bit"}},
    {"^TXSTA1?$", "TXEN", {"TXEN"}, {"Off", "On"}},
    {"^RCSTA1?$", "SPEN", {"SPEN"}, {"Off", "On"}},
    {"^RCSTA1?$", "RX9", {"RX9"}, {"8-bit", "9-bit"}},
    {"^RCSTA1?$", "CREN", {"CREN"}, {"Off", "On"}},
    // Parallel slave port.
    {"^TRISE$", "PSPMODE", {"PSPMODE"}, {"General I/O", "Parallel slave port"}},
    {"^TRISE$", "IBF", {"IBF"}, {"Empty", "Word received"}},
    {"^TRISE$", "OBF", {"OBF"}, {"Read", "Word not read"}},
    // Core.
    {"^STATUS$", "BANK", {"RP0", "RP1"}, {"Bank 0", "Bank 1", "Bank 2", "Bank 3"}},
    {"^STATUS$", "BANK", {"PA0"}, {"Page 0", "Page 1"}},
    {"^EECON1$", "EEPGD", {"EEPGD"}, {"Data EEPROM", "Program memory"}},
    {"^EECON1$", "WREN", {"WREN"}, {"Off", "On"}},
    {"^INTCON$", "GIE", {"GIE"}, {"Off", "On"}},
    {"^INTCON$", "PEIE", {"PEIE"}, {"Off", "On"}},
    {"^OSCCON$", "IRCF", {"IRCF0", "IRCF1", "IRCF2"}, {}},
};

const QList<QPair<QString, QRegularExpression>> &SectionRules()
{
    static const QList<QPair<QString, QRegularExpression>> rules = [] {
        QList<QPair<QString, QRegularExpression>> list;
        for (const TSectionRule &rule : kSections)
            list.append({QLatin1String(rule.tag), QRegularExpression(QLatin1String(rule.pattern))});
        return list;
    }();
    return rules;
}

QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

const QStringList &SectionTags()
{
    static const QStringList tags = [] {
        QStringList list;
        for (const TSectionRule &rule : kSections)
            list << QLatin1String(rule.tag);
        return list;
    }();
    return tags;
}

QString SectionOfRegister(const QString &name)
{
    for (const auto &[tag, pattern] : SectionRules()) {
        if (pattern.match(name).hasMatch())
            return tag;
    }
    return {};
}

int RegisterMask(const devgen::TIncHeader &header, const QString &name)
{
    const auto bits = header.bits.constFind(name);
    if (bits == header.bits.cend() || bits->isEmpty())
        return 0xFF;
    int mask = 0;
    for (const int bit : *bits) {
        if (bit >= 0 && bit < 8)
            mask |= 1 << bit;
    }
    return mask == 0 ? 0xFF : mask;
}

QMap<QString, QStringList> DeviceSections(const QString &device, const devgen::TIncHeader &header)
{
    QMap<QString, QStringList> sections;
    const QString condition = QLatin1Char('(') + device + QLatin1Char(')');
    QStringList names = header.registers.keys();
    std::sort(names.begin(), names.end(), [&header](const QString &a, const QString &b) {
        const uint32_t x = header.registers.value(a);
        const uint32_t y = header.registers.value(b);
        return x != y ? x < y : a < b;
    });
    QHash<QString, QString> sectionOf;
    for (const QString &name : std::as_const(names)) {
        const QString tag = SectionOfRegister(name);
        if (tag.isEmpty())
            continue;
        const uint32_t address = header.registers.value(name);
        sectionOf.insert(name, tag);
        sections[tag] << QLatin1Char(':') + name + QLatin1Char(',') + Hex(address, address > 0xFF ? 3 : 2) + QLatin1Char(',')
                             + Hex(uint32_t(RegisterMask(header, name)), 2) + condition;
    }
    // TRISE carries the parallel slave port's mode and flags where the part has one.
    if (header.HasRegister(QStringLiteral("TRISE")) && header.BitOf(QStringLiteral("TRISE"), QStringLiteral("PSPMODE")) >= 0) {
        const uint32_t address = header.registers.value(QStringLiteral("TRISE"));
        sectionOf.insert(QStringLiteral("TRISE"), QStringLiteral("#PSP"));
        sections[QStringLiteral("#PSP")] << QStringLiteral(":TRISE,") + Hex(address, address > 0xFF ? 3 : 2) + QLatin1Char(',')
                                                  + Hex(uint32_t(RegisterMask(header, QStringLiteral("TRISE"))), 2) + condition;
    }
    QSet<QString> made;   // register + group name: the first matching rule wins
    for (const TGroupRule &rule : kGroups) {
        const QRegularExpression pattern(QLatin1String(rule.reg));
        for (const QString &name : std::as_const(names)) {
            const auto match = pattern.match(name);
            if (!match.hasMatch() || !sectionOf.contains(name))
                continue;
            const QString number = match.lastCapturedIndex() >= 1 ? match.captured(1) : QString();
            QString groupName = QLatin1String(rule.name);
            groupName.replace(QLatin1String("\\1"), number);
            const QString key = name + QLatin1Char('|') + groupName;
            if (made.contains(key))
                continue;
            // The bits must all be there, next to each other from the first.
            int first = -1;
            bool ok = true;
            int n = 0;
            for (const char *bitPattern : rule.bits) {
                QString bit = QLatin1String(bitPattern);
                bit.replace(QLatin1String("\\1"), number);
                const int at = header.BitOf(name, bit);
                if (at < 0 || (n > 0 && at != first + n)) {
                    ok = false;
                    break;
                }
                if (n == 0)
                    first = at;
                ++n;
            }
            if (!ok || n == 0)
                continue;
            made.insert(key);
            QStringList &lines = sections[sectionOf.value(name)];
            QString field = name + QLatin1Char('.') + QString::number(first, 16).toUpper();
            if (n > 1)
                field += QLatin1Char(':') + QString::number(n, 16).toUpper();
            lines << QLatin1Char('!') + groupName + QLatin1Char(',') + field + condition;
            int value = 0;
            for (const char *text : rule.values)
                lines << QString::number(value++) + QStringLiteral(":") + QLatin1String(text);
        }
    }
    return sections;
}

QByteArray SfrText(const QList<QPair<QString, devgen::TIncHeader>> &devices, TSfrCounts *counts)
{
    QMap<QString, QStringList> all;
    TSfrCounts n;
    for (const auto &[device, header] : devices) {
        const QMap<QString, QStringList> sections = DeviceSections(device, header);
        bool any = false;
        for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
            for (const QString &line : it.value()) {
                if (line.startsWith(QLatin1Char(':')))
                    ++n.registers;
                else if (line.startsWith(QLatin1Char('!')))
                    ++n.groups;
            }
            all[it.key()] += it.value();
            any = true;
        }
        if (any)
            ++n.devices;
    }
    QByteArray text;
    text += "// Peripheral register definitions of the debugger's Peripherals window, made from the\r\n"
            "// device headers of gputils. A register line is \":name,address,mask(device)\", a group line\r\n"
            "// \"!name,register.bit[:width](device)\" followed by \"value:name\" lines.\r\n\r\n";
    for (const QString &tag : SectionTags()) {
        text += tag.toLatin1() + "\r\n";
        for (const QString &line : all.value(tag))
            text += line.toLatin1() + "\r\n";
        text += "\r\n";
    }
    if (counts)
        *counts = n;
    return text;
}

}  // namespace kiv::sfrgen
