// kivtool adc [--file devices.dat] [--options KIV.HT] NAME — the analog options the project
// wizard offers for a device: clock, acquisition, mode, trigger and interrupt choices, port
// configurations (check boxes marked) and reference ranges.

#include "kivtool.h"

#include "cupadc.h"
#include "pc_chipr.h"
#include "pc_dirs.h"

namespace kiv::tool {

namespace {

void PrintList(const char *title, const QList<TAnalogOption> &options, int selected = -1, int checkBoxes = 0)
{
    if (options.isEmpty())
        return;
    Out() << title << '\n';
    for (int n = 0; n < options.size(); ++n) {
        const char *mark = n == selected ? "* " : n < checkBoxes ? "[] " : "  ";
        Out() << "  " << mark << options[n].identifier.leftJustified(32) << ' ' << options[n].text << '\n';
    }
}

}  // namespace

int VerbAdc(const QStringList &args)
{
    QString optionFile = AnalogOptionFile();
    DeviceRecord device;
    const char usage[] = "kivtool adc [--file devices.dat] [--options KIV.HT] NAME";
    if (const int code = FindDeviceArgument(args, "adc", usage, QLatin1String("--options"), optionFile, device))
        return code;
    if (device.adcChannels() == 0) {
        Out() << device.name() << ": no A/D converter\n";
        return 0;
    }
    TAnalogOptions options;
    try {
        options = ReadAnalogOptions(device, optionFile);
    } catch (const TAnalogFileError &e) {
        Err() << "kivtool adc: " << e.Message() << '\n';
        return 1;
    }
    Out() << device.name() << ": " << device.adcChannels() << " channels, " << device.adcBits() << " bits; sections "
          << AnalogSectionKeys(device).join(QStringLiteral(", ")) << "; variant " << device.adcVariant() << '\n';
    PrintList("Clock (adcclock, * = selected):", options.clocks, options.selectedClock);
    PrintList("Acquisition (adctad):", options.acquisitions);
    PrintList("Mode (adcmode):", options.modes);
    PrintList("Trigger (adctrigger):", options.triggers);
    PrintList("Interrupt (adcinterrupt):", options.interrupts);
    PrintList("Ports (adc_pinsrb, [] = check box):", options.ports, -1, options.checkOptionCount);
    PrintList("Range (adcrange):", options.ranges);
    if (options.IsEmpty())
        Out() << "no options\n";
    return 0;
}

}  // namespace kiv::tool
