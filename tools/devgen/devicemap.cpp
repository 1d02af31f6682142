#include "devicemap.h"

#include "devicesdat_writer.h"
#include "pc_int.h"

#include <QRegularExpression>

#include <algorithm>

namespace kiv::devgen {

QString DeviceNameOf(const QString &processorName)
{
    const QString lower = processorName.toLower();
    // Generic entries stand for families, not parts.
    static const QRegularExpression generic(QStringLiteral("(xx|5x|xxx)$"));
    if (generic.match(lower).hasMatch())
        return {};
    if (lower.startsWith(QLatin1String("p1")))
        return QStringLiteral("PIC") + lower.mid(1).toUpper();
    // rfPIC parts: rf675f is the rfPIC12F675F, rf509af the rfPIC12C509AF.
    static const QRegularExpression rf(QStringLiteral("^rf(\\d)(\\d\\d)(.*)$"));
    if (const auto m = rf.match(lower); m.hasMatch())
        return QStringLiteral("RFPIC12%1%2%3")
            .arg(m.captured(1) == QLatin1String("6") ? QStringLiteral("F6") : QStringLiteral("C5"),
                 m.captured(2), m.captured(3).toUpper());
    return lower.toUpper();
}

std::optional<uint8_t> KindOfCoreClass(const QString &coreClass)
{
    if (coreClass == QLatin1String("PIC12") || coreClass == QLatin1String("PIC12E"))
        return dkPic12;
    if (coreClass == QLatin1String("PIC14") || coreClass == QLatin1String("PIC14E"))
        return dkPic14;
    if (coreClass == QLatin1String("PIC16E"))
        return dkPic18;
    return std::nullopt;
}

namespace {

// A register (or a register's bit section) of the header.
bool Has(const TIncHeader &h, const QString &name)
{
    return h.registers.contains(name) || h.bits.contains(name);
}

bool HasAny(const TIncHeader &h, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return Has(h, QLatin1String(n)); });
}

bool HasAnyBit(const TIncHeader &h, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return h.HasBit(QLatin1String(n)); });
}

uint8_t PortMask(const TIncHeader &h, QChar port)
{
    uint8_t mask = 0;
    const QString pin = QStringLiteral("R") + port;
    for (auto it = h.bits.constBegin(); it != h.bits.constEnd(); ++it) {
        if (it.key() != QStringLiteral("PORT") + port)
            continue;
        for (auto b = it->constBegin(); b != it->constEnd(); ++b) {
            // Only the plain pin names: RA0 .. RA7.
            if (b.key().size() == 3 && b.key().startsWith(pin) && b.key()[2].isDigit() && b.value() < 8
                && b.key()[2].digitValue() == b.value())
                mask = uint8_t(mask | (1u << b.value()));
        }
    }
    return mask;
}

uint8_t GpioMask(const TIncHeader &h)
{
    uint8_t mask = 0;
    const auto it = h.bits.constFind(QStringLiteral("GPIO"));
    if (it == h.bits.constEnd())
        return 0;
    for (auto b = it->constBegin(); b != it->constEnd(); ++b)
        if (b.key().size() == 3 && b.key().startsWith(QLatin1String("GP")) && b.key()[2].isDigit()
            && b.key()[2].digitValue() == b.value())
            mask = uint8_t(mask | (1u << b.value()));
    return mask;
}

int CcpCount(const TIncHeader &h)
{
    int count = 0;
    for (int n = 1; n <= 5; ++n)
        if (Has(h, QStringLiteral("CCP%1CON").arg(n)) || Has(h, QStringLiteral("ECCP%1CON").arg(n)))
            ++count;
    if (count == 0 && HasAny(h, {"CCPCON", "ECCPCON"}))
        count = 1;
    return count;
}

}  // namespace

QList<int> InterruptPositions(uint8_t kind, const TIncHeader &h)
{
    struct TSource { int position; std::initializer_list<const char *> flags; };
    auto any = [&](std::initializer_list<const char *> flags) { return HasAnyBit(h, flags); };
    QList<int> positions;
    auto add = [&](int position, bool present) {
        if (present && !positions.contains(position))
            positions.append(position);
    };

    if (kind == dkPic14) {
        const bool portB = PortMask(h, QLatin1Char('B')) != 0;
        const bool ioc = any({"IOCIF"});
        add(1, any({"T0IF", "TMR0IF"}));
        add(2, any({"RBIF", "RABIF"}) || (ioc && portB));
        add(4, any({"INTF"}));
        add(5, any({"ADIF"}));
        add(9, any({"TXIF", "TX1IF"}));
        add(10, any({"RCIF", "RC1IF"}));
        add(11, any({"TMR1IF"}));
        add(12, any({"TMR2IF"}));
        add(13, any({"CCP1IF"}));
        add(15, any({"CCP2IF"}));
        add(16, any({"SSPIF", "SSP1IF"}));
        add(18, any({"PSPIF"}));
        add(19, any({"LCDIF"}));
        add(20, any({"CMIF", "C1IF"}));
        add(23, any({"BCLIF", "BCL1IF"}));
        add(24, any({"LVDIF", "HLVDIF"}));
        add(25, any({"EEIF"}));
        add(27, any({"USBIF"}));
        add(31, any({"GPIF", "RAIF"}) || (ioc && !portB));
        add(33, any({"OSFIF"}));
        add(35, any({"C2IF"}));
        add(39, any({"CCP3IF"}));
    } else if (kind == dkPic18) {
        add(1, any({"TMR0IF", "T0IF"}));
        add(3, any({"TMR1IF"}));
        add(4, any({"TMR2IF"}));
        add(5, any({"TMR3IF"}));
        add(6, any({"INT0IF", "INT0F"}));
        add(7, any({"INT1IF", "INT1F"}));
        add(8, any({"INT2IF", "INT2F"}));
        add(9, any({"INT3IF", "INT3F"}));
        add(10, any({"RBIF", "IOCIF"}));
        add(11, any({"PSPIF"}));
        add(12, any({"ADIF"}));
        add(13, any({"RCIF", "RC1IF"}));
        add(14, any({"TXIF", "TX1IF"}));
        add(15, any({"SSPIF", "SSP1IF"}));
        add(16, any({"CCP1IF", "ECCP1IF"}));
        add(17, any({"CCP2IF", "ECCP2IF"}));
        add(18, any({"BCLIF", "BCL1IF"}));
        add(19, any({"LVDIF", "HLVDIF"}));
        add(20, any({"IRXIF"}));
        add(21, any({"WAKIF"}));
        add(22, any({"ERRIF"}));
        add(23, any({"CMIF", "C1IF"}));
        add(24, any({"EEIF"}));
        add(27, any({"TX2IF"}));
        add(30, any({"RC2IF"}));
        add(32, any({"TMR4IF"}));
        add(33, any({"CCP3IF", "ECCP3IF"}));
        add(34, any({"CCP4IF"}));
        add(35, any({"CCP5IF"}));
        add(36, any({"TXB2IF"}));
        add(37, any({"TXB1IF"}));
        add(38, any({"TXB0IF"}));
        add(39, any({"RXB1IF"}));
        add(40, any({"RXB0IF"}));
        add(41, any({"OSCFIF"}));
        add(43, any({"PTIF"}));
        add(44, any({"IC3DRIF"}));
        add(45, any({"IC2QEIF"}));
        add(46, any({"IC1IF"}));
        add(47, any({"TMR5IF"}));
        add(48, any({"LCDIF"}));
        add(49, any({"SPPIF"}));
        add(50, any({"USBIF"}));
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

DeviceRecord BuildRecord(const QString &name, uint8_t kind, uint16_t id,
                         const TGpProcessor &processor, const TIncHeader &h)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    r.setDataSheet(name);

    // Data memory map (the PIC18 record keeps its extended fuse table there instead).
    if (kind != dkPic18) {
        const int maxRam = h.maxRam >= 0 ? h.maxRam : processor.maxRam;
        for (int address = 0; address <= std::min(maxRam, 511); ++address) {
            const bool bad = std::any_of(h.badRam.begin(), h.badRam.end(), [&](const QPair<int, int> &range) {
                return address >= range.first && address <= range.second;
            });
            r.setRamMap(address, bad ? 0 : 1);
        }
    }
    r.setEepromSize(uint8_t(std::min(255, processor.EepromBytes() / 16)));

    for (char port : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'J', 'K'})
        r.setPortMask(port, PortMask(h, QLatin1Char(port)));
    if (r.portMask('A') == 0)
        r.setPortMask('A', GpioMask(h));
    // 12-bit cores set pin directions with the TRIS instruction; their headers still name
    // TRISGPIO/TRISA as pseudo registers for it.
    r.setTrisMode(kind != dkPic12 && HasAny(h, {"TRISA", "TRISB", "TRISC", "TRISIO"}) ? 0 : 1);

    r.setHasUsart(HasAny(h, {"TXSTA", "TXSTA1", "TX1STA", "U1CON0"}));
    r.setHasUsart2(HasAny(h, {"TXSTA2", "TX2STA", "U2CON0"}));
    r.setHasUsart9Bit(r.hasUsart() && HasAnyBit(h, {"TX9", "TX91", "TX9_TXSTA"}));
    r.setHasPeripheralInts(HasAny(h, {"PIE1", "PIE0"}));
    r.setHasPor(HasAny(h, {"PCON", "PCON0", "RCON"}));
    r.setHasComparators(HasAny(h, {"CMCON", "CMCON0", "CM1CON0", "CM1CON", "CM2CON0"}));
    const bool ssp = HasAny(h, {"SSPCON", "SSPCON1", "SSP1CON1", "SSP1CON"});
    r.setHasSpi(ssp);
    r.setHasI2c(ssp && HasAny(h, {"SSPADD", "SSP1ADD", "SSPSTAT", "SSP1STAT"}));
    r.setHasI2cMaster(HasAny(h, {"SSPCON2", "SSP1CON2"}));
    r.setHasTimer1(HasAny(h, {"T1CON"}));
    r.setHasTimer2(HasAny(h, {"T2CON"}));
    r.setHasTimer3(HasAny(h, {"T3CON"}));
    r.setHasTimer4(HasAny(h, {"T4CON"}));
    r.setHasPsp(HasAnyBit(h, {"PSPIF"}));
    r.setCcpCount(uint8_t(CcpCount(h)));
    r.setHasLcd(HasAny(h, {"LCDCON"}));
    r.setHasCan(HasAny(h, {"CANCON", "ECANCON"}));
    r.setHasVref(HasAny(h, {"CVRCON", "VRCON", "CVRCON0"}));
    r.setHasUsb(HasAny(h, {"UCON"}));
    r.setHasProgramMemoryAccess(HasAny(h, {"PMCON1", "PMADRL", "NVMCON1", "NVMCON"})
                                || h.HasBit(QStringLiteral("EEPGD"))
                                || (kind == dkPic18 && Has(h, QStringLiteral("EECON1"))));
    const TAdcDescription adc = DescribeAdc(h, r);
    r.setAdcChannels(uint8_t(std::min(255, adc.Channels())));
    if (r.adcChannels() > 0) {
        r.setAdcBits(uint8_t(adc.bits));
        r.setAdcClockOption(uint8_t(adc.clockEntry));
        r.setAdcChannelOption(uint8_t(adc.channelEntry));
    }
    for (int position : InterruptPositions(kind, h))
        r.setInterrupt(position, true);
    return r;
}

QList<TDeviceDraft> SxDevices(const QHash<QString, uint16_t> &ids)
{
    // Ports and memory from the SX18AC/20AC/28AC and SX48BD/52BD data sheets: RA is 4 bits
    // wide except on the SX52BD; RB, RC, RD, RE are 8 bits. The SX48BD/52BD add two 16-bit
    // multi-function timers with capture and compare.
    struct TSx { const char *name; const char *processor; uint8_t a, b, c, d, e; bool timers; };
    const TSx parts[] = {
        {"SX18AC", "sx18", 0x0F, 0xFF, 0x00, 0x00, 0x00, false},
        {"SX20AC", "sx20", 0x0F, 0xFF, 0x00, 0x00, 0x00, false},
        {"SX28AC", "sx28", 0x0F, 0xFF, 0xFF, 0x00, 0x00, false},
        {"SX48BD", "sx48", 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, true},
        {"SX52BD", "sx52", 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, true},
    };
    QList<TDeviceDraft> list;
    for (const TSx &sx : parts) {
        TDeviceDraft draft;
        DeviceRecord &r = draft.record;
        r.setName(QLatin1String(sx.name));
        r.setKind(dkSx);
        r.setId(ids.value(QLatin1String(sx.processor), 0));
        r.setDataSheet(QLatin1String(sx.name));
        r.setPortMask('A', sx.a);
        r.setPortMask('B', sx.b);
        r.setPortMask('C', sx.c);
        r.setPortMask('D', sx.d);
        r.setPortMask('E', sx.e);
        r.setTrisMode(1);   // port direction is set through the MODE register, not in data memory
        r.setHasComparators(true);
        r.setHasTimer1(sx.timers);
        r.setHasTimer2(sx.timers);
        // "S" table: RB0 .. RB7, RB, RTCC, then the two timers' overflow, capture and compare.
        for (int position = 1; position <= (sx.timers ? 16 : 10); ++position)
            r.setInterrupt(position, true);
        list.append(draft);
    }
    return list;
}

}  // namespace kiv::devgen
