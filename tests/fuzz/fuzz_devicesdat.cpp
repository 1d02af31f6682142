// The device database: the fuse name table, every device of every kind with its fuse entries, the
// device list, and look-ups by name and by block number.

#include "fuzz_target.h"
#include "pc_chipr.h"

#include <QFile>

KIV_FUZZ_TARGET(devicesdat)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("devices.dat", data, size));
    SetDeviceFile(path);
    FuseNameTable table;
    LoadFuseNames(table);
    (void)FuseNameList(table);

    int devices = 0;
    QString firstName;
    ForEachDevice([&](const DeviceRecord &record) {
        ++devices;
        if (firstName.isEmpty())
            firstName = record.name();
        (void)record.dataSheet();
        for (char port : {'A', 'G', 'H', 'J', 'K'})
            (void)record.portMask(port);
        (void)record.interrupts();
        for (int entry = 0; entry <= kMaxFuseEntry + 1; ++entry) {
            const auto e = static_cast<std::uint8_t>(entry);
            (void)FuseMask(record, e);
            (void)FuseValue(record, e);
            (void)FuseName(FuseNameIndex(record, e));
            (void)FuseWord(record, e);
        }
        (void)ConfigWordCount(record);
        return devices < 64;
    }, kAllKinds);

    std::string summary;
    try {
        QStringList list;
        (void)ListDevices(list, kAllKinds, 0x877A);
        DeviceRecord record;
        if (!firstName.isEmpty())
            (void)FindDevice(firstName, record);
        for (const char *name : {"@#2", "@#3", "@#99999", "PIC16F877A"})
            (void)FindDevice(QString::fromLatin1(name), record);
        summary = fuzz::Outcome(true, {}, std::to_string(devices) + " devices, " + std::to_string(list.size()) + " listed");
    } catch (const TDeviceNumberError &e) {
        summary = fuzz::Outcome(false, e.what());
    } catch (const TDeviceFileError &e) {
        summary = fuzz::Outcome(false, e.what());
    }
    // A block "number" that is not one takes the reader's own error path.
    try {
        DeviceRecord record;
        (void)FindDevice(QStringLiteral("@#x1"), record);
    } catch (const TDeviceNumberError &) {
    } catch (const TDeviceFileError &) {
    }
    QFile::remove(path);
    return summary;
}
