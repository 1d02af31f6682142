#include "adcmap.h"

#include "cupadc.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace kiv::devgen {

namespace {

// ---------------------------------------------------------------------------------------------
// Hand-written family tables (from the converter families' data sheets).

// Analog channel -> pin of the usual pin-outs, for headers that do not name the channels.
struct TPinMap {
    const char *name;
    QList<QPair<int, QString>> pins;
};

// 8-pin parts: GP0, GP1, GP2, GP4.
const TPinMap kMap8{"8-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}}};
// 14-pin parts (ports A and C) and 20-pin parts (ports A, B4-B7 and C).
const TPinMap kMap20{"14/20-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}, {4, "C0"}, {5, "C1"}, {6, "C2"},
                                   {7, "C3"}, {8, "C6"}, {9, "C7"}, {10, "B4"}, {11, "B5"}}};
// 28-pin and 40-pin parts.
const TPinMap kMap40{"28/40-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A3"}, {4, "A5"}, {5, "E0"}, {6, "E1"},
                                   {7, "E2"}, {8, "B2"}, {9, "B3"}, {10, "B1"}, {11, "B4"}, {12, "B0"}, {13, "B5"},
                                   {14, "C2"}, {15, "C3"}, {16, "C4"}, {17, "C5"}, {18, "C6"}, {19, "C7"},
                                   {20, "D0"}, {21, "D1"}, {22, "D2"}, {23, "D3"}, {24, "D4"}, {25, "D5"},
                                   {26, "D6"}, {27, "D7"}}};

// One row of a port configuration table: the analog channels and where the references come from.
struct TPortRow {
    QList<int> channels;
    bool vrefHigh = false;   // Vref+ on the AN3 pin
    bool vrefLow = false;    // Vref- on the AN2 pin
};

// PCFG3:0 of the 16F87x, 16F87xA and 18Fxx2/18Fxx8 converters, in PCFG order (0110 and 0111 both
// make every pin digital).
const QList<TPortRow> &TableAe4()
{
    static const QList<TPortRow> rows{
        {{0, 1, 2, 3, 4, 5, 6, 7}, false, false}, {{0, 1, 2, 4, 5, 6, 7}, true, false},
        {{0, 1, 2, 3, 4}, false, false},          {{0, 1, 2, 4}, true, false},
        {{0, 1, 3}, false, false},                {{0, 1}, true, false},
        {{}, false, false},                       {{}, false, false},
        {{0, 1, 4, 5, 6, 7}, true, true},         {{0, 1, 2, 3, 4, 5}, false, false},
        {{0, 1, 2, 4, 5}, true, false},           {{0, 1, 4, 5}, true, true},
        {{0, 1, 4}, true, true},                  {{0, 1}, true, true},
        {{0}, false, false},                      {{0}, true, true},
    };
    return rows;
}

// PCFG2:0 of the 16C7x and 16F7x converters: the first eight rows of the table above.
QList<TPortRow> TableAe3()
{
    return TableAe4().mid(0, 8);
}

// PCFG1:0 of the 16C71 and 16C71x converters (four channels on A0-A3).
QList<TPortRow> TableA2()
{
    return {{{0, 1, 2, 3}, false, false}, {{0, 1, 2}, true, false}, {{0, 1}, false, false}, {{}, false, false}};
}

bool NameMatches(const QString &name, const char *pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern)).match(name).hasMatch();
}

// ---------------------------------------------------------------------------------------------
// Reading the header.

const QHash<QString, QString> &RegisterLetters()
{
    static const QHash<QString, QString> letters{
        {"ADCON0", "C0"}, {"ADCON", "C0"}, {"ADCON1", "C1"}, {"ADCON2", "C2"}, {"ADCON3", "C3"},
        {"ANSEL", "S"},   {"ANSEL0", "S0"}, {"ANSEL1", "S1"}, {"ANSELH", "S1"},
    };
    return letters;
}

// Bit names of one register matching a pattern, with their bit numbers.
QList<QPair<QString, int>> BitsMatching(const TIncHeader &h, const QString &reg, const QRegularExpression &rx)
{
    QList<QPair<QString, int>> found;
    const auto it = h.bits.constFind(reg);
    if (it == h.bits.constEnd())
        return found;
    for (auto b = it->constBegin(); b != it->constEnd(); ++b)
        if (rx.match(b.key()).hasMatch())
            found.append({b.key(), b.value()});
    return found;
}

bool HasBitIn(const TIncHeader &h, const QStringList &regs, const QString &bit)
{
    return std::any_of(regs.begin(), regs.end(), [&](const QString &r) { return h.BitOf(r, bit) >= 0; });
}

const QStringList kAdRegisters{"ADCON0", "ADCON", "ADCON1", "ADCON2", "ADCON3"};

// Number of bits named prefix + digit in the A/D registers (ADCON0 .. ADCON3 and ANSEL, which
// holds the clock select bits of some parts).
int CountBits(const TIncHeader &h, const QString &prefix)
{
    const QRegularExpression rx(QStringLiteral("^%1\\d$").arg(prefix));
    int count = 0;
    for (auto it = RegisterLetters().constBegin(); it != RegisterLetters().constEnd(); ++it)
        count += int(BitsMatching(h, it.key(), rx).size());
    return count;
}

bool PinExists(const DeviceRecord &r, const QString &pin)
{
    if (pin.size() != 2 || !pin[1].isDigit())
        return false;
    return (r.portMask(char(pin[0].toLatin1())) >> pin[1].digitValue()) & 1;
}

// The channels the header names (AN0 .. ANn among the port bits).
QMap<int, QString> NamedChannels(const TIncHeader &h, const DeviceRecord &r, bool *gpio)
{
    static const QRegularExpression portRx(QStringLiteral("^(PORT([A-K])|GPIO)$"));
    static const QRegularExpression anRx(QStringLiteral("^AN(\\d+)$"));
    QMap<int, QString> pins;
    // Registers and bits in name order, so that a channel named on two pins always gets the same.
    QStringList registers = h.bits.keys();
    registers.sort();
    for (const QString &reg : std::as_const(registers)) {
        const auto port = portRx.match(reg);
        if (!port.hasMatch())
            continue;
        const QChar letter = port.captured(2).isEmpty() ? QLatin1Char('A') : port.captured(2)[0];
        const QHash<QString, int> &bits = h.bits[reg];
        QStringList names = bits.keys();
        names.sort();
        for (const QString &name : std::as_const(names)) {
            const auto an = anRx.match(name);
            if (!an.hasMatch() || bits.value(name) > 7)
                continue;
            const QString pin = QString(letter) + QString::number(bits.value(name));
            if (PinExists(r, pin) && !pins.contains(an.captured(1).toInt())) {
                pins.insert(an.captured(1).toInt(), pin);
                if (port.captured(2).isEmpty())
                    *gpio = true;
            }
        }
    }
    return pins;
}

// The pin-out map a part's ports call for, or nullptr when none fits.
const TPinMap *PinMapOf(const DeviceRecord &r)
{
    const bool a03 = (r.portMask('A') & 0x07) == 0x07;
    if (!a03)
        return nullptr;
    for (char port : {'F', 'G', 'H', 'J'})
        if (r.portMask(port))
            return nullptr;
    const uint8_t b = r.portMask('B'), c = r.portMask('C');
    if (b == 0 && c == 0 && !r.portMask('D') && !r.portMask('E'))
        return &kMap8;
    if (c != 0 && (b & 0x0F) == 0 && !r.portMask('D'))
        return &kMap20;
    if (c != 0 && (b & 0x01))
        return &kMap40;
    return nullptr;
}

QString MapPin(const TPinMap &map, int channel)
{
    for (const auto &p : map.pins)
        if (p.first == channel)
            return p.second;
    return {};
}

int MapChannel(const TPinMap &map, const QString &pin)
{
    for (const auto &p : map.pins)
        if (p.second == pin)
            return p.first;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Option lines.

QString Line(const QString &identifier, const QString &comment = {})
{
    return comment.isEmpty() ? QStringLiteral("#define ") + identifier
                             : QStringLiteral("#define %1 //%2").arg(identifier, comment);
}

QString PinText(const TAdcDescription &adc, int channel)
{
    const QString pin = adc.pins.value(channel);
    if (pin.isEmpty())
        return {};
    return adc.gpioNames && pin.startsWith(QLatin1Char('A')) ? QStringLiteral("GP") + pin.mid(1) : pin;
}

// " A0 A1 A3 Vrefh=A3": the pins of the channels, then the reference pins.
QString PinsComment(const TAdcDescription &adc, const TPortRow &row)
{
    QString text;
    for (int channel : row.channels) {
        const QString pin = PinText(adc, channel);
        text += QLatin1Char(' ') + (pin.isEmpty() ? QStringLiteral("AN%1").arg(channel) : pin);
    }
    if (row.vrefHigh && !adc.pins.value(3).isEmpty())
        text += QStringLiteral(" Vrefh=") + adc.pins.value(3);
    if (row.vrefLow && !adc.pins.value(2).isEmpty())
        text += QStringLiteral(" Vrefl=") + adc.pins.value(2);
    return text;
}

const char kClockMarker[] = "// Constants used for SETUP_ADC() are:";
const char kPortMarker[] = "// Constants used in SETUP_ADC_PORTS() are:";
const char kCheckMarker[] = "// Constants used in SETUP_ADC_PORTS() are (one per channel, combined with |):";

enum TClockKind { ckInternalOnly, ckTwoBits, ckThreeBits, ckBaseline };

QStringList ClockLines(TClockKind kind, int acquisitionBits)
{
    QStringList lines{QString::fromLatin1(kClockMarker), Line("ADC_OFF", "A/D converter off")};
    switch (kind) {
    case ckInternalOnly:
        break;
    case ckTwoBits:
        for (int n : {2, 8, 32})
            lines << Line(QStringLiteral("ADC_CLOCK_DIV_%1").arg(n), QStringLiteral("Clock Fosc/%1").arg(n));
        break;
    case ckThreeBits:
        for (int n : {2, 4, 8, 16, 32, 64})
            lines << Line(QStringLiteral("ADC_CLOCK_DIV_%1").arg(n), QStringLiteral("Clock Fosc/%1").arg(n));
        break;
    case ckBaseline:
        for (int n : {4, 8, 16})
            lines << Line(QStringLiteral("ADC_CLOCK_DIV_%1").arg(n), QStringLiteral("Clock Fosc/%1").arg(n));
        break;
    }
    lines << Line("ADC_CLOCK_INTERNAL", kind == ckBaseline || kind == ckInternalOnly
                                            ? QStringLiteral("Internal oscillator / 4")
                                            : QStringLiteral("Internal RC clock of the converter"));
    if (acquisitionBits > 0) {
        lines << QStringLiteral("// Acquisition delay before each conversion, combined with the clock using |");
        for (int n : {0, 2, 4, 6, 8, 12, 16, 20})
            lines << Line(QStringLiteral("ADC_TAD_MUL_%1").arg(n),
                          n == 0 ? QStringLiteral("  No acquisition delay") : QStringLiteral("  %1 Tad acquisition delay").arg(n));
    }
    return lines;
}

QStringList RangeLines(const TIncHeader &h)
{
    QStringList options;
    const QStringList regs = kAdRegisters;
    const bool differential = CountBits(h, QStringLiteral("CHSN")) > 0;
    if (HasBitIn(h, regs, "PVCFG0") && HasBitIn(h, regs, "PVCFG1")) {
        options << "VSS_VDD" << "VSS_VREF" << "VSS_FVR";
        if (HasBitIn(h, regs, "NVCFG0"))
            options << "VREF_VDD" << "VREF_VREF" << "VREF_FVR";
    } else if (HasBitIn(h, regs, "ADPREF0") && HasBitIn(h, regs, "ADPREF1")) {
        options << "VSS_VDD" << "VSS_VREF" << "VSS_FVR";
        if (HasBitIn(h, regs, "ADNREF"))
            options << "VREF_VDD" << "VREF_VREF" << "VREF_FVR";
    } else if (!differential && HasBitIn(h, regs, "VCFG0") && HasBitIn(h, regs, "VCFG1") && !HasBitIn(h, regs, "VCFG2")) {
        options << "VSS_VDD" << "VSS_VREF" << "VREF_VDD" << "VREF_VREF";
    } else if (!differential && (HasBitIn(h, regs, "VCFG") || (HasBitIn(h, regs, "VCFG0") && !HasBitIn(h, regs, "VCFG1")))) {
        options << "VSS_VDD" << "VSS_VREF";
    }
    if (options.isEmpty())
        return {};
    static const QHash<QString, QString> texts{
        {"VSS_VDD", "Range 0 to Vdd"},          {"VSS_VREF", "Range 0 to Vref+"},
        {"VSS_FVR", "Range 0 to the fixed reference"}, {"VREF_VDD", "Range Vref- to Vdd"},
        {"VREF_VREF", "Range Vref- to Vref+"},  {"VREF_FVR", "Range Vref- to the fixed reference"},
    };
    QStringList lines{QStringLiteral("// Reference range, combined with the port choice using |")};
    for (const QString &o : options)
        lines << Line(o, QStringLiteral("  ") + texts.value(o));
    return lines;
}

QStringList TableLines(const TAdcDescription &adc, const QList<TPortRow> &rows)
{
    const QList<int> all = adc.pins.keys();
    QStringList lines{QString::fromLatin1(kPortMarker), Line("NO_ANALOGS", " None")};
    QSet<QString> seen{"NO_ANALOGS"};
    for (const TPortRow &raw : rows) {
        TPortRow row;
        for (int c : raw.channels)
            if (adc.pins.contains(c) && !((raw.vrefHigh && c == 3) || (raw.vrefLow && c == 2)))
                row.channels << c;
        row.vrefHigh = raw.vrefHigh;
        row.vrefLow = raw.vrefLow;
        const QString name = PortChoiceName(row.channels, all, row.vrefHigh, row.vrefLow);
        if (seen.contains(name))
            continue;
        seen.insert(name);
        lines << Line(name, PinsComment(adc, row));
    }
    return lines;
}

QStringList PairLines(const TAdcDescription &adc)
{
    TPortRow all{adc.pins.keys(), false, false};
    return {QString::fromLatin1(kPortMarker), Line("NO_ANALOGS", " None"), Line("ALL_ANALOG", PinsComment(adc, all))};
}

// The 13-channel PIC18 converters: PCFG value v makes AN0 .. AN(14 - v) analog (all of them for
// 0 to 2), 15 none.
QStringList ProgressiveLines(const TAdcDescription &adc)
{
    const QList<int> all = adc.pins.keys();
    QStringList lines{QString::fromLatin1(kPortMarker), Line("NO_ANALOGS", " None")};
    QSet<QString> seen{"NO_ANALOGS"};
    for (int v = 0; v <= 14; ++v) {
        TPortRow row;
        for (int c : all)
            if (c <= 14 - v)
                row.channels << c;
        if (row.channels.isEmpty())
            continue;
        QString name = row.channels == all ? QStringLiteral("ALL_ANALOG")
                     : row.channels.size() == 1 ? QStringLiteral("AN0")
                                                : QStringLiteral("AN0_TO_AN%1").arg(row.channels.last());
        if (seen.contains(name))
            continue;
        seen.insert(name);
        lines << Line(name, PinsComment(adc, row));
    }
    return lines;
}

QStringList CheckBoxLines(const TAdcDescription &adc)
{
    QStringList lines{QString::fromLatin1(kCheckMarker)};
    int count = 0;
    for (auto it = adc.pins.constBegin(); it != adc.pins.constEnd() && count < kMaxAnalogCheckOptions; ++it, ++count) {
        const QString pin = PinText(adc, it.key());
        const QString caption = pin.isEmpty() ? QStringLiteral("AN%1").arg(it.key())
                                              : QStringLiteral("%1 (AN%2)").arg(pin).arg(it.key());
        lines << Line(QStringLiteral("sAN%1").arg(it.key()), QStringLiteral("| ") + caption);
    }
    return lines;
}

int MatchTable(const QString &fingerprint, const QStringList &table, const QString &ports, bool gpio)
{
    for (int n = 1; n < table.size(); ++n) {
        QString entry = table[n];
        QString suffix;
        if (const int underscore = int(entry.indexOf(QLatin1Char('_'))); underscore >= 0) {
            suffix = entry.mid(underscore + 1);
            entry = entry.left(underscore);
        }
        entry.remove(QLatin1Char('~'));
        QStringList parts = entry.split(QLatin1Char(','));
        std::sort(parts.begin(), parts.end());
        if (parts.join(QLatin1Char(',')) != fingerprint)
            continue;
        // The suffix names the ports of the family's analog pins ("GP" its GPIO pins): the
        // device's pins lie within them.
        if (suffix == QLatin1String("GP")) {
            if (!gpio)
                continue;
        } else if (!suffix.isEmpty()) {
            if (gpio || !std::all_of(ports.begin(), ports.end(), [&](QChar c) { return suffix.contains(c); }))
                continue;
        }
        return n;
    }
    return 0;
}

int AdcBits(const TIncHeader &h)
{
    auto any = [&](std::initializer_list<const char *> names) {
        return std::any_of(names.begin(), names.end(), [&](const char *n) {
            return h.HasBit(QLatin1String(n)) || h.registers.contains(QLatin1String(n)) || h.bits.contains(QLatin1String(n));
        });
    };
    if (any({"ADRMD", "CHSN0", "ADPCH", "ADRESH0"}))
        return 12;
    if (any({"ADRESH", "ADRESL"}))
        return 10;
    if (any({"ADRES"}))
        return 8;
    return 0;
}

}  // namespace

QString AdcBitFingerprint(const TIncHeader &header, const QString &pattern)
{
    const QRegularExpression rx(pattern);
    QStringList parts;
    for (auto it = RegisterLetters().constBegin(); it != RegisterLetters().constEnd(); ++it) {
        QList<int> bits;
        for (const auto &b : BitsMatching(header, it.key(), rx))
            bits << b.second;
        if (bits.isEmpty())
            continue;
        std::sort(bits.begin(), bits.end());
        parts << (bits.first() == bits.last() ? QStringLiteral("%1:%2").arg(it.value()).arg(bits.first())
                                              : QStringLiteral("%1:%2-%3").arg(it.value()).arg(bits.first()).arg(bits.last()));
    }
    std::sort(parts.begin(), parts.end());
    parts.removeDuplicates();
    return parts.join(QLatin1Char(','));
}

QString PortChoiceName(const QList<int> &channels, const QList<int> &allChannels, bool vrefHigh, bool vrefLow)
{
    if (channels.isEmpty())
        return QStringLiteral("NO_ANALOGS");
    const QString suffix = vrefHigh && vrefLow ? QStringLiteral("_VREF_VREF") : vrefHigh ? QStringLiteral("_VSS_VREF") : QString();
    if (channels == allChannels && suffix.isEmpty())
        return QStringLiteral("ALL_ANALOG");
    QStringList plain;
    for (int c : channels)
        plain << QStringLiteral("AN%1").arg(c);
    QString name = plain.join(QLatin1Char('_')) + suffix;
    if (name.size() <= kMaxAnalogIdentifier)
        return name;
    QStringList runs;
    for (int n = 0; n < channels.size();) {
        int last = n;
        while (last + 1 < channels.size() && channels[last + 1] == channels[last] + 1)
            ++last;
        if (last - n >= 2) {
            runs << QStringLiteral("AN%1_TO_AN%2").arg(channels[n]).arg(channels[last]);
        } else {
            for (int k = n; k <= last; ++k)
                runs << QStringLiteral("AN%1").arg(channels[k]);
        }
        n = last + 1;
    }
    return runs.join(QLatin1Char('_')) + suffix;
}

TAdcDescription DescribeAdc(const TIncHeader &h, const DeviceRecord &r)
{
    TAdcDescription adc;
    const bool hasAdc = h.registers.contains(QStringLiteral("ADCON0")) || h.registers.contains(QStringLiteral("ADCON"))
                     || h.registers.contains(QStringLiteral("ADCON0L"));
    if (!hasAdc)
        return adc;
    adc.bits = AdcBits(h);

    // Where the port configuration lives.
    static const QRegularExpression ansNumbered(QStringLiteral("^(ANS|ANSEL|AN)(\\d+)$"));
    static const QRegularExpression ansPerPin(QStringLiteral("^ANS([A-K])(\\d)$"));
    static const QRegularExpression pcfgRx(QStringLiteral("^PCFG(\\d+)$"));
    QSet<int> selectBits;           // channels with their own select bit
    QStringList perPinSelect;       // pins with their own select bit
    QList<int> pcfgField;           // PCFG bits of a configuration field in ADCON1
    bool ancon = false;
    for (auto it = h.bits.constBegin(); it != h.bits.constEnd(); ++it) {
        const QString &reg = it.key();
        const bool isAnsel = reg.startsWith(QLatin1String("ANSEL")) || reg.startsWith(QLatin1String("ANCON"));
        for (auto b = it->constBegin(); b != it->constEnd(); ++b) {
            if (isAnsel || reg == QLatin1String("ADCON0")) {
                if (const auto m = ansNumbered.match(b.key()); m.hasMatch())
                    selectBits.insert(m.captured(2).toInt());
                if (const auto m = ansPerPin.match(b.key()); m.hasMatch() && isAnsel)
                    perPinSelect << m.captured(1) + m.captured(2);
            }
            if (const auto m = pcfgRx.match(b.key()); m.hasMatch()) {
                if (reg.startsWith(QLatin1String("ANCON"))) {
                    selectBits.insert(m.captured(1).toInt());
                    ancon = true;
                } else if (reg == QLatin1String("ADCON1")) {
                    pcfgField << b.value();
                }
            }
        }
    }
    perPinSelect.removeDuplicates();

    bool gpio = false;
    const QMap<int, QString> named = NamedChannels(h, r, &gpio);
    const TPinMap *map = PinMapOf(r);
    const bool capSense = h.registers.contains(QStringLiteral("CPSCON0"));
    const int adcsBits = CountBits(h, QStringLiteral("ADCS"));
    // Baseline parts select their analog pins with a two-bit field ANS1:ANS0 in ADCON0.
    const bool baselineField = r.kind() == dkPic12 && h.BitOf(QStringLiteral("ADCON0"), QStringLiteral("ANS1")) >= 0
                            && adcsBits == 2;

    enum { pkNone, pkCheckBoxes, pkTable, pkPair } portKind = pkNone;
    QList<TPortRow> table;
    bool progressive = false;
    if (baselineField) {
        // AN0 .. AN2 on GP0 .. GP2, or on RB0 .. RB2 of the parts with ports B and C.
        const char port = r.portMask('A') ? 'A' : 'B';
        for (int c : {0, 1, 2}) {
            QString pin = named.value(c);
            if (pin.isEmpty() && PinExists(r, QStringLiteral("%1%2").arg(QChar(port)).arg(c)))
                pin = QStringLiteral("%1%2").arg(QChar(port)).arg(c);
            adc.pins.insert(c, pin);
        }
        portKind = pkPair;
        adc.family = QStringLiteral("baseline ANS1:ANS0");
    } else if (!selectBits.isEmpty() || (pcfgField.size() >= 5 && pcfgField.size() == named.size())) {
        if (selectBits.isEmpty())
            for (int n = 0; n < pcfgField.size(); ++n)
                selectBits.insert(n);
        for (int c : selectBits) {
            QString pin = named.value(c);
            if (pin.isEmpty() && map && named.isEmpty())
                pin = MapPin(*map, c);
            if (!pin.isEmpty() && !PinExists(r, pin))
                pin.clear();
            adc.pins.insert(c, pin);
        }
        portKind = pkCheckBoxes;
        adc.family = ancon ? QStringLiteral("channel select bits (ANCON)") : QStringLiteral("channel select bits");
    } else if (!perPinSelect.isEmpty()) {
        if (!named.isEmpty()) {
            for (auto it = named.constBegin(); it != named.constEnd(); ++it)
                if (perPinSelect.contains(it.value()))
                    adc.pins.insert(it.key(), it.value());
            portKind = pkCheckBoxes;
        } else if (map) {
            for (const QString &pin : std::as_const(perPinSelect)) {
                if (capSense && pin.startsWith(QLatin1Char('D')))
                    continue;   // touch sensing inputs, not converter channels
                const int c = MapChannel(*map, pin);
                if (c >= 0)
                    adc.pins.insert(c, pin);
            }
            portKind = pkCheckBoxes;
        } else {
            // Pins of an unknown pin-out: the channels are not known, only that there are some.
            for (int n = 0; n < perPinSelect.size(); ++n)
                adc.pins.insert(n, QString());
            portKind = pkPair;
        }
        adc.family = QStringLiteral("pin select bits");
    } else if (!pcfgField.isEmpty()) {
        std::sort(pcfgField.begin(), pcfgField.end());
        const QString name = r.name();
        if (!named.isEmpty()) {
            adc.pins = named;
        } else if (gpio || (r.portMask('B') == 0 && r.portMask('C') == 0)) {
            adc.pins = {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}};
        } else if (r.portMask('C') == 0) {
            adc.pins = {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A3"}};
            if (pcfgField.size() == 4)
                adc.pins.insert(4, QStringLiteral("A4"));
        } else {
            const QStringList ae{"A0", "A1", "A2", "A3", "A5", "E0", "E1", "E2"};
            for (int c = 0; c < ae.size(); ++c)
                if (PinExists(r, ae[c]))
                    adc.pins.insert(c, ae[c]);
        }
        const bool vcfg = HasBitIn(h, kAdRegisters, "VCFG0");
        if (pcfgField.size() == 4 && !vcfg && NameMatches(name, "^PIC(16F87[0-7]A?|18F[24][45][28])$")) {
            table = TableAe4();
            portKind = pkTable;
            adc.family = QStringLiteral("PCFG3:0 with references (16F87x, 18Fxx2)");
        } else if (pcfgField.size() == 3 && NameMatches(name, "^PIC16(C7[2-7][AB]?|CR72|F7[2-7])$")) {
            table = TableAe3();
            portKind = pkTable;
            adc.family = QStringLiteral("PCFG2:0 with references (16C7x, 16F7x)");
        } else if (pcfgField.size() == 2 && NameMatches(name, "^PIC16C71[0-5]?$")) {
            table = TableA2();
            portKind = pkTable;
            adc.family = QStringLiteral("PCFG1:0 (16C71x)");
        } else if (pcfgField.size() == 4 && vcfg && r.kind() == dkPic18 && !adc.pins.isEmpty() && adc.pins.lastKey() <= 12) {
            progressive = true;
            portKind = pkTable;
            adc.family = QStringLiteral("PCFG3:0 by channel count, VCFG references (PIC18)");
        } else {
            portKind = pkPair;
            adc.family = QStringLiteral("PCFG field");
        }
    }
    if (portKind == pkNone && !named.isEmpty()) {
        // No port configuration bits: the named channels are analog whenever the converter is on.
        adc.pins = named;
        portKind = pkPair;
        adc.family = QStringLiteral("no port configuration bits");
    }
    if (adc.pins.isEmpty())
        return adc;
    adc.gpioNames = gpio || (r.kind() != dkPic18 && !r.portMask('B') && !r.portMask('C') && h.registers.contains(QStringLiteral("GPIO")));

    // The clock.
    const QString clockPrint = AdcBitFingerprint(h, QStringLiteral("^(ADCS\\d|ACQT\\d|ACMOD\\d|ACSCH|ACONV|ADRS\\d|SSRC\\d)$"));
    adc.clockEntry = MatchTable(clockPrint, AdcClockTable(), QString(), false);
    const int acquisition = CountBits(h, QStringLiteral("ACQT"));
    TClockKind clockKind = adcsBits >= 3 ? ckThreeBits : adcsBits == 2 ? ckTwoBits : ckInternalOnly;
    if (adcsBits == 2 && r.kind() == dkPic12)
        clockKind = ckBaseline;
    adc.clockLines = ClockLines(clockKind, acquisition);

    // The ports and the references.
    switch (portKind) {
    case pkCheckBoxes: adc.portLines = CheckBoxLines(adc); break;
    case pkTable: adc.portLines = progressive ? ProgressiveLines(adc) : TableLines(adc, table); break;
    case pkPair:
    case pkNone: adc.portLines = PairLines(adc); break;
    }
    if (!(portKind == pkTable && !progressive))
        adc.portLines << RangeLines(h);

    QString ports;
    for (const QString &pin : std::as_const(adc.pins))
        if (!pin.isEmpty() && !ports.contains(pin[0]))
            ports += pin[0];
    std::sort(ports.begin(), ports.end());
    const QString channelPrint = AdcBitFingerprint(h, QStringLiteral("^(PCFG\\d+|VCFG\\d|ANS\\d+|NVCFG\\d|PVCFG\\d)$"));
    if (adc.clockEntry != 0)
        adc.channelEntry = MatchTable(channelPrint, AdcChannelTable(), ports, adc.gpioNames);
    return adc;
}

// ---------------------------------------------------------------------------------------------
// TAnalogFileBuilder

void TAnalogFileBuilder::AddDevice(DeviceRecord &record, const TAdcDescription &adc)
{
    record.setAdcVariant(0);
    record.setAdcClockOption(0);
    record.setAdcChannelOption(0);
    if (adc.Channels() == 0)
        return;
    record.setAdcClockOption(uint8_t(adc.clockEntry));
    record.setAdcChannelOption(uint8_t(adc.channelEntry));

    TVariant variant;
    if (adc.clockEntry != 0) {
        const QString key = QStringLiteral("ADCCLK") + AdcClockTable()[adc.clockEntry];
        if (!m_clockSections.contains(key))
            m_clockSections.insert(key, adc.clockLines);
        variant.section = adc.channelEntry != 0 ? QStringLiteral("ADCCH") + AdcChannelTable()[adc.channelEntry]
                                                : QStringLiteral("ADCS");
        variant.lines = adc.portLines;
    } else {
        // Without a clock section of its own the device reads its clock from ADCS too, before
        // its ports.
        variant.section = QStringLiteral("ADCS");
        variant.lines = adc.clockLines + adc.portLines;
    }
    int number = 0;
    for (int n = 0; n < m_variants.size(); ++n)
        if (m_variants[n].section == variant.section && m_variants[n].lines == variant.lines)
            number = n + 1;
    if (number == 0) {
        m_variants.append(variant);
        number = int(m_variants.size());
    }
    record.setAdcVariant(uint16_t(number));
    ++m_devices;
    ++m_families[adc.family];
}

QByteArray TAnalogFileBuilder::Text() const
{
    QStringList out{
        "// KIV.HT - the analog options the project wizard offers for each device.",
        "//",
        "// A section starts at a line \"//!KEY\" and runs to the next such line. A device reads the",
        "// section of its A/D clock (ADCCLK + entry of the clock table), of its port configuration",
        "// (ADCCH + entry of the channel table) and ADCS, keeping the lines whose conditions hold:",
        "// \\\\18 PIC18 only, \\\\!18 other families, \\\\>NN more than NN channels, \\\\<NN fewer than NN",
        "// channels, \\\\(a,b) device variant a or b, \\\\!(a,b) any other variant.",
        "//",
        "// Option lines give an identifier the compiler's device headers define, and after // the text",
        "// the wizard shows. Identifiers:",
        "//   ADC_OFF, ADC_CLOCK_DIV_n (conversion clock Fosc/n), ADC_CLOCK_INTERNAL (the converter's own",
        "//   clock); ADC_TAD_MUL_n (n Tad acquisition delay);",
        "//   NO_ANALOGS, ALL_ANALOG, ANa_ANb_... (these channels analog), ANa_TO_ANb (channels a to b",
        "//   as far as the device has them), suffix _VSS_VREF (Vref+ on the AN3 pin), _VREF_VREF",
        "//   (Vref+ on AN3, Vref- on AN2); sANn (channel n analog, combined with |);",
        "//   VSS_VDD, VSS_VREF, VSS_FVR, VREF_VDD, VREF_VREF, VREF_FVR (low and high reference).",
        "// A port text lists the pins of the channels; \"Vrefh=A3\" names a reference pin; \"//|\" marks",
        "// a choice shown as a check box.",
    };
    for (auto it = m_clockSections.constBegin(); it != m_clockSections.constEnd(); ++it) {
        out << QString();
        out << QStringLiteral("//!") + it.key();
        out << it.value();
    }
    QMap<QString, QList<int>> bySection;
    for (int n = 0; n < m_variants.size(); ++n)
        bySection[m_variants[n].section] << n;
    // ADCS last: a device reads it after its other sections.
    QStringList sections = bySection.keys();
    sections.removeAll(QStringLiteral("ADCS"));
    sections << QStringLiteral("ADCS");
    for (const QString &section : std::as_const(sections)) {
        out << QString();
        out << QStringLiteral("//!") + section;
        for (int n : bySection.value(section)) {
            const QString condition = QStringLiteral("\\\\(%1)").arg(n + 1);
            for (const QString &line : m_variants[n].lines)
                out << condition + line;
        }
    }
    QByteArray text;
    for (const QString &line : std::as_const(out))
        text += line.toLatin1() + "\r\n";
    return text;
}

}  // namespace kiv::devgen
