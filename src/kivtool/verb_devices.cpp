// kivtool devices [--kinds 0,1,3] [--file PATH] [NAME] — the device database from the command
// line. Without a name it lists the device names of the given kinds (all kinds by default) in
// file order; with one it prints that record: fields, ports, interrupts and fuse groups.

#include "kivtool.h"

#include "pc_chipr.h"
#include "pc_dirs.h"
#include "pc_int.h"

#include <QFileInfo>

#include <algorithm>

namespace kiv::tool {

namespace {

// Text from the file as a terminal can show it: control characters (a damaged file may hold
// NULs, escapes, bells) become \xNN.
QString Printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString Hex(unsigned value, int digits)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString KindText(unsigned kind)
{
    switch (kind) {
    case dkPic12: return QStringLiteral("0 (12-bit PIC core)");
    case dkPic14: return QStringLiteral("1 (14-bit PIC core)");
    case dkPic18: return QStringLiteral("3 (PIC18)");
    case dkSx: return QStringLiteral("4 (SX)");
    default: return QString::number(kind);
    }
}

// "A0-A5" for 0x3F, "A0-A3 A5" for 0x2F.
QString PinList(char port, uint8_t mask)
{
    QStringList runs;
    int bit = 0;
    while (bit < 8) {
        if (!((mask >> bit) & 1)) {
            ++bit;
            continue;
        }
        int last = bit;
        while (last + 1 < 8 && ((mask >> (last + 1)) & 1))
            ++last;
        runs << (last == bit ? QStringLiteral("%1%2").arg(QChar(port)).arg(bit)
                             : QStringLiteral("%1%2-%1%3").arg(QChar(port)).arg(bit).arg(last));
        bit = last + 1;
    }
    return runs.join(QLatin1Char(' '));
}

void PrintLine(const QString &label, const QString &value)
{
    Out() << label.leftJustified(18) << value << '\n';
}

void PrintRecord(const DeviceRecord &r)
{
    PrintLine(QStringLiteral("Name"), Printable(r.name()));
    PrintLine(QStringLiteral("Kind"), KindText(r.kind()));
    PrintLine(QStringLiteral("Id"), Hex(r.id(), 4) + QStringLiteral(" (%1)").arg(r.id()));
    PrintLine(QStringLiteral("Data sheet"), Printable(r.dataSheet()));
    if (r.kind() != dkPic18) {
        int last = -1;
        for (int address = 0; address < 512; ++address)
            if (r.ramMap(address))
                last = address;
        if (last >= 0)
            PrintLine(QStringLiteral("Data memory"), QStringLiteral("last data address %1").arg(Hex(unsigned(last), 3)));
    }
    PrintLine(QStringLiteral("EEPROM"), r.eepromSize() ? QStringLiteral("%1 bytes").arg(r.eepromSize() * 16)
                                                       : QStringLiteral("none"));

    QStringList ports;
    for (char port : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'J', 'K'})
        if (r.portMask(port))
            ports << QStringLiteral("%1 %2 (%3)").arg(QChar(port)).arg(Hex(r.portMask(port), 2)).arg(PinList(port, r.portMask(port)));
    PrintLine(QStringLiteral("Ports"), ports.isEmpty() ? QStringLiteral("none") : ports.join(QStringLiteral(", ")));
    PrintLine(QStringLiteral("TRIS registers"), r.trisMode() == 0 ? QStringLiteral("in data memory")
                                                                  : QStringLiteral("not in data memory (%1)").arg(r.trisMode()));

    QStringList peripherals;
    if (r.hasUsart())
        peripherals << (r.hasUsart9Bit() ? QStringLiteral("USART (9-bit)") : QStringLiteral("USART"));
    if (r.hasUsart2())
        peripherals << QStringLiteral("USART 2");
    if (r.hasSpi())
        peripherals << QStringLiteral("SPI");
    if (r.hasI2c())
        peripherals << (r.hasI2cMaster() ? QStringLiteral("I2C (master)") : QStringLiteral("I2C"));
    if (r.hasTimer1())
        peripherals << QStringLiteral("Timer 1");
    if (r.hasTimer2())
        peripherals << QStringLiteral("Timer 2");
    if (r.hasTimer3())
        peripherals << QStringLiteral("Timer 3");
    if (r.hasTimer4())
        peripherals << QStringLiteral("Timer 4");
    if (r.ccpCount())
        peripherals << QStringLiteral("%1 CCP").arg(r.ccpCount());
    if (r.hasComparators())
        peripherals << QStringLiteral("comparators");
    if (r.hasVref())
        peripherals << QStringLiteral("comparator voltage reference");
    if (r.hasPsp())
        peripherals << QStringLiteral("PSP");
    if (r.hasLcd())
        peripherals << QStringLiteral("LCD");
    if (r.hasCan())
        peripherals << QStringLiteral("CAN");
    if (r.hasUsb())
        peripherals << QStringLiteral("USB");
    if (r.hasPor())
        peripherals << QStringLiteral("POR/BOR status");
    if (r.hasPeripheralInts())
        peripherals << QStringLiteral("peripheral interrupts");
    if (r.hasProgramMemoryAccess())
        peripherals << QStringLiteral("program memory access");
    PrintLine(QStringLiteral("Peripherals"), peripherals.isEmpty() ? QStringLiteral("none") : peripherals.join(QStringLiteral(", ")));
    if (r.adcChannels())
        PrintLine(QStringLiteral("A/D"), QStringLiteral("%1 channels, %2 bits, clock option %3, channel option %4, variant %5")
                                             .arg(r.adcChannels()).arg(r.adcBits()).arg(r.adcClockOption())
                                             .arg(r.adcChannelOption()).arg(r.adcVariant()));
    else
        PrintLine(QStringLiteral("A/D"), QStringLiteral("none"));

    const QChar table = InterruptTableOfKind(r.kind());
    QStringList interrupts;
    for (int n = 0; n < 64; ++n) {
        if (!r.hasInterrupt(n))
            continue;
        const QString name = InterruptNameIn(table, n);
        interrupts << (name.isEmpty() ? QString::number(n) : QStringLiteral("%1 %2").arg(n).arg(name));
    }
    PrintLine(QStringLiteral("Interrupts"), interrupts.isEmpty() ? QStringLiteral("none") : interrupts.join(QStringLiteral(", ")));

    // Fuse groups: entries of one mask and word, in entry order.
    struct TGroup { int word; uint16_t mask; QStringList items; };
    QList<TGroup> groups;
    for (int entry = 1; entry <= kMaxFuseEntry; ++entry) {
        const uint16_t mask = FuseMask(r, uint8_t(entry));
        if (mask == 0)
            continue;
        const int word = FuseWord(r, uint8_t(entry));
        QString name = Printable(FuseName(FuseNameIndex(r, uint8_t(entry))));
        if (name.isEmpty())
            name = QStringLiteral("?%1").arg(FuseNameIndex(r, uint8_t(entry)));
        const QString item = QStringLiteral("%1=%2").arg(name, Hex(FuseValue(r, uint8_t(entry)), 4));
        auto it = std::find_if(groups.begin(), groups.end(), [&](const TGroup &g) { return g.mask == mask && g.word == word; });
        if (it == groups.end())
            groups.append({word, mask, {item}});
        else
            it->items << item;
    }
    PrintLine(QStringLiteral("Config words"), QString::number(ConfigWordCount(r)));
    Out() << "Fuses\n";
    if (groups.isEmpty())
        Out() << "  none\n";
    for (const TGroup &g : groups)
        Out() << "  word " << g.word << " mask " << Hex(g.mask, 4) << ": " << g.items.join(QLatin1Char(' ')) << '\n';
}

bool ParseKinds(const QString &text, KindSet &kinds)
{
    kinds = 0;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int kind = part.trimmed().toInt(&ok);
        if (!ok || kind < 0 || kind > 7)
            return false;
        kinds = KindSet(kinds | (1u << kind));
    }
    return kinds != 0;
}

}  // namespace

int VerbDevices(const QStringList &args)
{
    KindSet kinds = kAllKinds;
    QString file = UtilsDir() + QStringLiteral("devices.dat");
    QString name;
    for (int n = 0; n < args.size(); ++n) {
        const QString &a = args[n];
        if (a == QLatin1String("--kinds") && n + 1 < args.size()) {
            if (!ParseKinds(args[++n], kinds)) {
                Err() << "kivtool devices: --kinds takes kind numbers 0 to 7 separated by commas\n";
                return 2;
            }
        } else if (a == QLatin1String("--file") && n + 1 < args.size()) {
            file = args[++n];
        } else if (!a.startsWith(QLatin1String("--")) && name.isEmpty()) {
            name = a;
        } else {
            Err() << "usage: kivtool devices [--kinds 0,1,3] [--file PATH] [NAME]\n";
            return 2;
        }
    }
    if (!QFileInfo(file).isFile()) {
        Err() << "kivtool devices: no device database at " << file << '\n';
        return 1;
    }
    SetDeviceFile(file);
    // A damaged file is said to be damaged: what can still be read is shown, and the exit code
    // tells a script that the answer is not to be trusted.
    const QStringList problems = DeviceFileProblems(file);
    for (const QString &problem : problems)
        Err() << "kivtool devices: " << Printable(problem) << '\n';
    const int result = problems.isEmpty() ? 0 : 1;

    if (name.isEmpty()) {
        QStringList names;
        try {
            ListDevices(names, kinds, 0);
        } catch (const TDeviceFileError &e) {
            Err() << "kivtool devices: " << e.Message() << '\n';
            return 1;
        }
        for (const QString &device : names)
            Out() << Printable(device) << '\n';
        return result;
    }

    DeviceRecord record;
    bool found = false;
    try {
        found = FindDevice(name, record);
        // Names are stored in upper case; let a user type them either way.
        if (!found && !name.startsWith(QLatin1Char('@')))
            found = FindDevice(name.toUpper(), record);
    } catch (const TDeviceNumberError &e) {
        Err() << "kivtool devices: " << e.Message() << '\n';
        return 2;
    }
    if (!found || !KindInSet(kinds, record.kind())) {
        Err() << "kivtool devices: no device \"" << Printable(name) << "\" in " << file << '\n';
        return 1;
    }
    PrintRecord(record);
    return result;
}

}  // namespace kiv::tool
