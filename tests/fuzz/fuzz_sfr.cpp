// The Peripherals window's register file "sfr.txt": every section a device can list, read from
// the file, parsed against the feature tokens of two mid-range devices and a PIC18 device with their RAM
// values, and formatted as the window shows it.

#include "fuzz_target.h"
#include "uDebugFormPeripherals_model.h"

#include <QFile>

#include <cstdlib>

namespace {

kiv::DeviceRecord FuzzDevice(std::uint8_t kind, const char *name)
{
    kiv::DeviceRecord record;
    record.setName(QString::fromLatin1(name));
    record.setKind(kind);
    record.setAdcChannels(8);
    record.setCcpCount(5);
    record.setHasPeripheralInts(true);
    record.setHasUsart(true);
    record.setHasSpi(true);
    record.setHasI2c(true);
    record.setHasTimer1(true);
    record.setHasTimer2(true);
    record.setHasTimer3(kind == kiv::dkPic18);
    record.setHasPsp(true);
    record.setHasComparators(true);
    record.setEepromSize(1);
    return record;
}

}  // namespace

KIV_FUZZ_TARGET(sfr)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("sfr.txt", data, size));
    static const QStringList tags{"#ADC", "#CCP", "#PSP", "#SPI", "#TIMER0", "#TIMER1", "#TIMER2", "#TIMER3",
                                  "#TIMER4", "#USART", "#USB", "#LCD", "#CAN", "#VRG", "#EEPROM", "#OSR", "#IR"};
    static const QStringList features[] = {
        TDebugPeripheralsModel::FeatureTokens(FuzzDevice(dkPic14, "PIC16F877A")),
        TDebugPeripheralsModel::FeatureTokens(FuzzDevice(dkPic18, "PIC18F452")),
        TDebugPeripheralsModel::FeatureTokens(FuzzDevice(dkPic14, "PIC16F1827")),
    };
    int sections = 0;
    int registers = 0;
    int groups = 0;
    int notes = 0;
    for (const QString &tag : tags) {
        QStringList lines;
        if (!TDebugPeripheralsModel::ReadSection(path, tag, lines)) {
            QFile::remove(path);
            return fuzz::Outcome(false, "cannot read the file");
        }
        if (lines.isEmpty())
            continue;
        ++sections;
        for (const QStringList &tokens : features) {
            const QList<int> addresses = TFileProcessor::RegisterAddresses(lines, tokens);
            TFileProcessor parse(tokens, [](int address) { return (address * 37 + 11) & 0xFF; });
            parse.Parse(lines);
            const QStringList output = parse.Output();
            // The text holds a line per register, two blank lines, and a line per group.
            if (output.size() != parse.Registers().size() + 2 + parse.Groups().size())
                std::abort();
            if (addresses.size() != parse.Registers().size())
                std::abort();   // the addresses read from the target are those of the registers shown
            registers += int(parse.Registers().size());
            groups += int(parse.Groups().size());
            notes += int(parse.Notes().size());
        }
    }
    QFile::remove(path);
    return fuzz::Outcome(true, {}, std::to_string(sections) + " sections, " + std::to_string(registers) + " registers, "
                                       + std::to_string(groups) + " groups, " + std::to_string(notes) + " notes");
}
