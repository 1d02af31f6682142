// The analog option file KIV.HT as the project wizard reads it: the sections of every clock and
// channel option of the tables, for 12-bit, 14-bit and PIC18 devices with different channel
// counts and variants, so that every kind of line condition is met both ways.

#include "cupadc.h"
#include "fuzz_target.h"

#include <QFile>

#include <cstdlib>
#include <iterator>

namespace {

// Limits the option lists keep whatever the file holds.
void CheckOptions(const kiv::TAnalogOptions &options)
{
    using namespace kiv;
    if (options.checkOptionCount < 0 || options.checkOptionCount > kMaxAnalogCheckOptions
        || options.checkCaptions.size() != options.checkOptionCount
        || options.checkOptionCount > options.ports.size())
        std::abort();
    if (options.selectedClock < -1 || options.selectedClock >= options.clocks.size())
        std::abort();
    for (const TAnalogOption &port : options.ports) {
        if (port.identifier.size() > kMaxAnalogIdentifier || port.text.size() > kMaxAnalogText)
            std::abort();
    }
    for (const QString &caption : options.checkCaptions) {
        if (caption.size() > kMaxAnalogText)
            std::abort();
    }
}

}  // namespace

KIV_FUZZ_TARGET(kivht)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("KIV.HT", data, size));
    const int clocks = int(AdcClockTable().size());
    const int channels = int(AdcChannelTable().size());
    const std::uint8_t kinds[] = {dkPic12, dkPic14, dkPic18};
    const std::uint8_t channelCounts[] = {5, 8, 13};
    // Variants the installed file lists, and some it does not.
    const std::uint16_t variants[] = {0, 1, 2, 4, 5, 6, 7, 8, 18, 20, 21, 23, 25, 30, 40, 52, 70, 100, 999};
    int devices = 0;
    int options = 0;
    std::string error;
    // One device per channel option; the clock options run along beside them, one past the end of
    // each table included.
    for (int n = 0; n <= channels; ++n) {
        DeviceRecord record;
        record.setName(QStringLiteral("PIC16F877A"));
        record.setKind(kinds[n % 3]);
        record.setAdcChannels(channelCounts[(n / 3) % 3]);
        record.setAdcVariant(variants[n % std::size(variants)]);
        record.setAdcClockOption(std::uint8_t(n % (clocks + 1)));
        record.setAdcChannelOption(std::uint8_t(n));
        try {
            const TAnalogOptions read = ReadAnalogOptions(record, path);
            CheckOptions(read);
            ++devices;
            options += int(read.clocks.size() + read.acquisitions.size() + read.modes.size() + read.triggers.size()
                           + read.interrupts.size() + read.ports.size() + read.ranges.size());
        } catch (const TAnalogFileError &e) {
            error = e.what();
        }
    }
    QFile::remove(path);
    if (!error.empty())
        return fuzz::Outcome(false, error);
    return fuzz::Outcome(true, {}, std::to_string(devices) + " devices, " + std::to_string(options) + " options");
}
