#include "fusenames.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>

namespace kiv::devgen {

namespace {

// Directives that stand for one well-known setting, by the keyword base they take.
const QHash<QString, QString> &Aliases()
{
    static const QHash<QString, QString> aliases{
        {"WDTE", "WDT"}, {"WDTEN", "WDT"}, {"WDT", "WDT"},
        {"WDTPS", "WDT"}, {"WDPS", "WDT"}, {"DSWDTPS", "DSWDT"},
        {"PWRTE", "PUT"}, {"PWRT", "PUT"}, {"PWRTEN", "PUT"}, {"nPWRTEN", "PUT"},
        {"BOREN", "BROWNOUT"}, {"BODEN", "BROWNOUT"}, {"BOR", "BROWNOUT"},
        {"BODENV", "BORV"},
        {"MCLRE", "MCLR"}, {"MCLR", "MCLR"},
        {"CP", "PROTECT"},
        {"STVR", "STVREN"},
        {"CLKOUTEN", "CLKOUT"},
        {"CCP2MUX", "CCP2MX"},
        {"EBRTB", "EBTRB"},
        {"PBAD", "PBADEN"},
    };
    return aliases;
}

bool IsOscillatorDirective(const QString &directive)
{
    return directive == QLatin1String("FOSC") || directive == QLatin1String("OSC")
        || directive == QLatin1String("FOSC0") || directive == QLatin1String("FEXTOSC");
}

// Bases whose numeric options are written straight after the base (WDT128, BORV45).
bool JoinsNumbers(const QString &base)
{
    return base == QLatin1String("WDT") || base == QLatin1String("DSWDT") || base == QLatin1String("BORV");
}

QString Sanitized(const QString &text)
{
    QString out = text.toUpper();
    for (QChar &c : out)
        if (!((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            c = QLatin1Char('_');
    return out;
}

bool IsOn(const QString &option)
{
    static const QStringList on{"ON", "ENABLED", "EN", "ENABLE"};
    return on.contains(option, Qt::CaseInsensitive);
}

bool IsOff(const QString &option)
{
    static const QStringList off{"OFF", "DISABLED", "DIS", "DISABLE"};
    return off.contains(option, Qt::CaseInsensitive);
}

bool IsReserved(const QString &option)
{
    return option.compare(QLatin1String("RESERVED"), Qt::CaseInsensitive) == 0
        || option.compare(QLatin1String("Unimplemented"), Qt::CaseInsensitive) == 0;
}

QString OscillatorKeyword(const QString &option, const QStringList &siblings)
{
    static const QHash<QString, QString> map{
        {"LP", "LP"}, {"XT", "XT"}, {"HS", "HS"}, {"EC", "EC"}, {"RC", "RC"},
        {"LP_OSC", "LP"}, {"XT_OSC", "XT"}, {"HS_OSC", "HS"}, {"EC_OSC", "EC"},
        {"HSPLL", "HSPLL"}, {"H4", "HSPLL"}, {"ECPLL", "ECPLL"}, {"E4", "ECPLL"},
        {"EXTRC", "RC"}, {"ERC", "RC"}, {"EXTRCCLK", "RC"}, {"ERCCLKOUT", "RC"}, {"EXTRC_CLKOUT", "RC"},
        {"ER_CLKOUT", "RC"}, {"ERCLK", "RC"}, {"RCCLKO", "RC"}, {"EXTRC_CLKOUTEN", "RC"},
        {"EXTRCIO", "RC_IO"}, {"RCIO", "RC_IO"}, {"RCIO6", "RC_IO"}, {"ERIO", "RC_IO"}, {"EXTRC_IO", "RC_IO"},
        {"EXTRC_NOCLKOUT", "RC_IO"}, {"ER_NOCLKOUT", "RC_IO"}, {"EXTRC_RB4EN", "RC_IO"}, {"EXTRC_RB4", "RC_IO"},
        {"INTRC", "INTRC"}, {"IRC", "INTRC"}, {"INT", "INTRC"}, {"INTOSCCLK", "INTRC"}, {"INTRCCLK", "INTRC"},
        {"INTIO7", "INTRC"}, {"INTIO1", "INTRC"}, {"INTOSCO", "INTRC"}, {"IRCCLKOUT", "INTRC"},
        {"INTRC_CLKOUT", "INTRC"}, {"INTOSCCLKO", "INTRC"}, {"IRCIO7", "INTRC"}, {"INTRC_CLKOUTEN", "INTRC"},
        {"INTOSCIO", "INTRC_IO"}, {"INTRCIO", "INTRC_IO"}, {"INTIO67", "INTRC_IO"}, {"INTIO2", "INTRC_IO"},
        {"INTRC_NOCLKOUT", "INTRC_IO"}, {"IRCIO67", "INTRC_IO"}, {"IRCIO", "INTRC_IO"}, {"INTRC_IO", "INTRC_IO"},
        {"INTRC_RB4", "INTRC_IO"}, {"INTRC_RB4EN", "INTRC_IO"},
        {"ECIO", "EC_IO"}, {"ECIO6", "EC_IO"},
        {"ECCLK", "EC"}, {"EXTCLK", "EC"},
    };
    const QString upper = option.toUpper();
    // INTOSC has its clock out when the setting also offers INTOSCIO; alone it is the
    // I/O variant (clock out is a separate setting there).
    if (upper == QLatin1String("INTOSC")) {
        const bool hasIoVariant = std::any_of(siblings.begin(), siblings.end(), [](const QString &s) {
            return s.compare(QLatin1String("INTOSCIO"), Qt::CaseInsensitive) == 0;
        });
        return hasIoVariant ? QStringLiteral("INTRC") : QStringLiteral("INTRC_IO");
    }
    return map.value(upper, Sanitized(option));
}

// Keywords that name one concrete option of a setting, whatever its directive is called.
QString SpecialKeyword(const QString &base, const QString &option)
{
    const QString o = option.toUpper();
    if (base == QLatin1String("MCLR")) {
        if (o == QLatin1String("EXTMCLR"))
            return QStringLiteral("MCLR");
        if (o == QLatin1String("INTMCLR"))
            return QStringLiteral("NOMCLR");
    }
    if (base == QLatin1String("PBADEN")) {
        if (o == QLatin1String("ANA"))
            return QStringLiteral("PBADEN");
        if (o == QLatin1String("DIG"))
            return QStringLiteral("NOPBADEN");
    }
    if (base == QLatin1String("CCP2MX")) {
        static const QStringList c1{"RC1", "PORTC", "PORTC1", "ON", "DEFAULT"};
        static const QStringList b3{"RB3", "PORTB3", "PORTB", "PORTBE", "OFF", "ALTERNATE"};
        if (c1.contains(o))
            return QStringLiteral("CCP2C1");
        if (b3.contains(o))
            return QStringLiteral("CCP2B3");
        if (o == QLatin1String("PORTE"))
            return QStringLiteral("CCP2E7");
    }
    if (base == QLatin1String("CCPMX") && o.startsWith(QLatin1String("RB")))
        return QStringLiteral("CCPB") + o.mid(2);
    if (base == QLatin1String("PROTECT") && o == QLatin1String("ALL"))
        return QStringLiteral("PROTECT");
    static const QStringList noSleep{"NSLEEP", "NOSLP", "NSLP"};
    if (noSleep.contains(o))
        return base + QStringLiteral("_NOSL");
    static const QStringList software{"SWDTEN", "SWON", "SBODEN", "SBOREN", "SOFT"};
    if (software.contains(o))
        return base + QStringLiteral("_SW");
    return {};
}

}  // namespace

QString FuseKeyword(const QString &directive, const QString &option, const QStringList &siblingOptions)
{
    if (IsOscillatorDirective(directive))
        return OscillatorKeyword(option, siblingOptions);
    const QString base = Aliases().value(directive, Sanitized(directive));
    const QString special = SpecialKeyword(base, option);
    if (!special.isEmpty())
        return special;
    if (IsOn(option))
        return base;
    if (IsOff(option))
        return QStringLiteral("NO") + base;
    const QString o = Sanitized(option);
    if (o.startsWith(Sanitized(directive)))
        return o;
    if (o.front().isDigit() && JoinsNumbers(base))
        return base + o;
    return base + QLatin1Char('_') + o;
}

TWordPlace PlaceOfConfigAddress(const TGpProcessor &processor, bool pic18, uint32_t address)
{
    if (pic18) {
        uint32_t start = processor.configStart.value_or(address);
        for (const TGpConfigWord &w : processor.configWords)
            start = std::min(start, w.address);
        start &= ~1u;
        const uint32_t offset = address >= start ? address - start : 0;
        return {int(offset / 2) + 1, (offset & 1) ? 8 : 0};
    }
    QList<uint32_t> addresses;
    for (const TGpConfigWord &w : processor.configWords)
        if (!addresses.contains(w.address))
            addresses.append(w.address);
    std::sort(addresses.begin(), addresses.end());
    return {int(addresses.indexOf(address)) + 1, 0};
}

namespace {

const QRegularExpression &NumberedProtection()
{
    static const QRegularExpression rx(QStringLiteral("^(CP|WRT|EBTR|EBRT)[0-9]+$"));
    return rx;
}

QString MergedBase(const QString &directive)
{
    const QString prefix = NumberedProtection().match(directive).captured(1);
    if (prefix == QLatin1String("CP"))
        return QStringLiteral("PROTECT");
    if (prefix == QLatin1String("EBRT"))
        return QStringLiteral("EBTR");
    return prefix;
}

bool IsOnOffPair(const TGpDirective &directive)
{
    if (directive.options.size() != 2)
        return false;
    const QString a = directive.options[0].name, b = directive.options[1].name;
    return (IsOn(a) && IsOff(b)) || (IsOff(a) && IsOn(b));
}

}  // namespace

QList<TFuseSetting> NameFuseSettings(const TGpProcessor &processor, bool pic18, const TIncHeader &header)
{
    QList<TFuseSetting> settings;
    // Numbered protection bits of one word (CP0, CP1 ...) merge into one setting.
    QMap<QPair<QString, int>, int> merged;

    for (const TGpConfigWord &word : processor.configWords) {
        const TWordPlace place = PlaceOfConfigAddress(processor, pic18, word.address);
        for (const TGpDirective &directive : word.directives) {
            QList<TGpOption> options;
            QStringList optionNames;
            uint32_t mask = 0;
            for (const TGpOption &o : directive.options) {
                if (IsReserved(o.name))
                    continue;
                options.append(o);
                optionNames.append(o.name);
                mask |= o.value;
            }
            const uint32_t shifted = (mask << place.shift) & 0xFFFF;
            if (shifted == 0 || options.isEmpty())
                continue;

            if (NumberedProtection().match(directive.name).hasMatch() && IsOnOffPair(directive)) {
                const QString base = MergedBase(directive.name);
                const auto key = qMakePair(base, place.word);
                if (const auto it = merged.constFind(key); it != merged.constEnd()) {
                    for (TFuseChoice &choice : settings[*it].choices) {
                        const bool on = choice.name == base;
                        for (const TGpOption &o : options)
                            if (IsOn(o.name) == on)
                                choice.value = uint16_t(choice.value | ((o.value << place.shift) & 0xFFFF));
                        choice.mask = uint16_t(choice.mask | shifted);
                    }
                    continue;
                }
                TFuseSetting setting;
                for (const TGpOption &o : options) {
                    TFuseChoice choice;
                    choice.name = IsOn(o.name) ? base : QStringLiteral("NO") + base;
                    choice.mask = uint16_t(shifted);
                    choice.value = uint16_t((o.value << place.shift) & 0xFFFF);
                    choice.word = place.word;
                    choice.directive = directive.name;
                    choice.option = o.name;
                    setting.choices.append(choice);
                }
                merged.insert(key, int(settings.size()));
                settings.append(setting);
                continue;
            }

            TFuseSetting setting;
            QStringList used;
            for (const TGpOption &o : options) {
                QString name = FuseKeyword(directive.name, o.name, optionNames);
                // Two options of one setting never share a keyword.
                if (used.contains(name))
                    name = Sanitized(directive.name) + QLatin1Char('_') + Sanitized(o.name);
                if (used.contains(name))
                    continue;
                used.append(name);
                TFuseChoice choice;
                choice.name = name;
                choice.mask = uint16_t(shifted);
                choice.value = uint16_t((o.value << place.shift) & 0xFFFF);
                choice.word = place.word;
                choice.directive = directive.name;
                choice.option = o.name;
                choice.comment = header.ConfigComment(directive.name, o.name);
                setting.choices.append(choice);
            }
            settings.append(setting);
        }
    }
    return settings;
}

namespace {

const QHash<QString, QString> &Descriptions()
{
    static const QHash<QString, QString> table{
        {"LP", "Low power crystal or resonator oscillator (up to 200 kHz)"},
        {"XT", "Crystal or resonator oscillator (up to 4 MHz)"},
        {"HS", "High speed crystal or resonator oscillator (above 4 MHz)"},
        {"RC", "External resistor/capacitor oscillator, clock out on OSC2"},
        {"RC_IO", "External resistor/capacitor oscillator, OSC2 pin used for I/O"},
        {"EC", "External clock input, clock out on OSC2"},
        {"EC_IO", "External clock input, OSC2 pin used for I/O"},
        {"INTRC", "Internal oscillator, clock out on OSC2"},
        {"INTRC_IO", "Internal oscillator, oscillator pins used for I/O"},
        {"HSPLL", "High speed crystal or resonator with the PLL enabled"},
        {"ECPLL", "External clock input with the PLL enabled"},
        {"INT4MHZ", "Internal oscillator at 4 MHz"},
        {"INT2MHZ", "Internal oscillator at 2 MHz"},
        {"INT1MHZ", "Internal oscillator at 1 MHz"},
        {"INT500KHZ", "Internal oscillator at 500 kHz"},
        {"INT250KHZ", "Internal oscillator at 250 kHz"},
        {"INT125MHZ", "Internal oscillator at 125 kHz"},
        {"INT62KHZ", "Internal oscillator at 62.5 kHz"},
        {"INT31KHZ", "Internal oscillator at 31.25 kHz"},
        {"WDT", "Watch Dog Timer enabled"},
        {"NOWDT", "No Watch Dog Timer"},
        {"WDT_NOSL", "Watch Dog Timer enabled while running, off during sleep"},
        {"WDT_SW", "Watch Dog Timer under software control"},
        {"PROTECT", "Program memory code protected from reading"},
        {"NOPROTECT", "Program memory not code protected"},
        {"PROTECT_50", "Upper half of program memory code protected"},
        {"PROTECT_75", "Upper three quarters of program memory code protected"},
        {"PUT", "Power Up Timer enabled"},
        {"NOPUT", "No Power Up Timer"},
        {"BROWNOUT", "Reset when a brownout is detected"},
        {"NOBROWNOUT", "No brownout reset"},
        {"BROWNOUT_NOSL", "Brownout reset enabled while running, off during sleep"},
        {"BROWNOUT_SW", "Brownout reset under software control"},
        {"LVP", "Low voltage programming enabled, PGM pin reserved for it"},
        {"NOLVP", "No low voltage programming, PGM pin used for I/O"},
        {"CPD", "Data EEPROM code protected"},
        {"NOCPD", "Data EEPROM not code protected"},
        {"WRT", "Program memory write protected"},
        {"NOWRT", "Program memory not write protected"},
        {"WRT_ALL", "All of program memory write protected"},
        {"WRT_HALF", "First half of program memory write protected"},
        {"WRT_1FOURTH", "First quarter of program memory write protected"},
        {"WRT_FOURTH", "First quarter of program memory write protected"},
        {"WRT_256", "First 256 words of program memory write protected"},
        {"WRT_BOOT", "Boot block of program memory write protected"},
        {"DEBUG", "In-circuit debugger mode enabled"},
        {"NODEBUG", "In-circuit debugger mode disabled, debug pins free"},
        {"MCLR", "Master clear pin enabled"},
        {"NOMCLR", "Master clear pin used as input, reset tied internally"},
        {"IESO", "Internal/external oscillator switch over enabled"},
        {"NOIESO", "Internal/external oscillator switch over disabled"},
        {"FCMEN", "Fail-safe clock monitor enabled"},
        {"NOFCMEN", "Fail-safe clock monitor disabled"},
        {"STVREN", "Stack overflow or underflow causes a reset"},
        {"NOSTVREN", "Stack overflow or underflow does not cause a reset"},
        {"XINST", "Extended instruction set enabled"},
        {"NOXINST", "Extended instruction set disabled (legacy mode)"},
        {"CPB", "Boot block code protected"},
        {"NOCPB", "Boot block not code protected"},
        {"WRTB", "Boot block write protected"},
        {"NOWRTB", "Boot block not write protected"},
        {"WRTC", "Configuration registers write protected"},
        {"NOWRTC", "Configuration registers not write protected"},
        {"WRTD", "Data EEPROM write protected"},
        {"NOWRTD", "Data EEPROM not write protected"},
        {"EBTR", "Program memory protected from table reads by other blocks"},
        {"NOEBTR", "Program memory not protected from table reads"},
        {"EBTRB", "Boot block protected from table reads by other blocks"},
        {"NOEBTRB", "Boot block not protected from table reads"},
        {"PBADEN", "Port B pins 0 to 4 start as analog inputs"},
        {"NOPBADEN", "Port B pins 0 to 4 start as digital I/O"},
        {"LPT1OSC", "Timer 1 oscillator in low power mode"},
        {"NOLPT1OSC", "Timer 1 oscillator in high power mode"},
        {"CLKOUT", "Clock out function on the CLKOUT pin"},
        {"NOCLKOUT", "CLKOUT pin used for I/O"},
        {"PLLEN", "PLL enabled"},
        {"NOPLLEN", "PLL disabled"},
        {"CCP2C1", "CCP2 input/output on pin C1"},
        {"CCP2B3", "CCP2 input/output on pin B3"},
        {"CCP2E7", "CCP2 input/output on pin E7"},
        {"CCPB0", "CCP1 input/output on pin B0"},
        {"CCPB2", "CCP1 input/output on pin B2"},
        {"CCPB3", "CCP1 input/output on pin B3"},
    };
    return table;
}

}  // namespace

QString FuseDescription(const TFuseChoice &choice)
{
    const QString &name = choice.name;
    if (const auto it = Descriptions().constFind(name); it != Descriptions().constEnd())
        return *it;

    static const QRegularExpression numbered(QStringLiteral("^(WDT|DSWDT|BORV)([0-9]+)$"));
    if (const auto m = numbered.match(name); m.hasMatch()) {
        const QString n = m.captured(2);
        if (m.captured(1) == QLatin1String("WDT"))
            return QStringLiteral("Watch Dog Timer uses a 1:%1 postscaler").arg(n);
        if (m.captured(1) == QLatin1String("DSWDT"))
            return QStringLiteral("Deep sleep Watch Dog Timer uses a 1:%1 postscaler").arg(n);
        if (n.size() >= 2)
            return QStringLiteral("Brownout reset at %1.%2 V").arg(n.left(1), n.mid(1));
        return QStringLiteral("Brownout reset voltage setting %1").arg(n);
    }
    QString comment = choice.comment.simplified();
    if (!comment.isEmpty())
        return comment;
    return QStringLiteral("%1 set to %2").arg(choice.directive, choice.option);
}

}  // namespace kiv::devgen
