#pragma once

#include <QStringList>
#include <QTextStream>

namespace kiv {
struct DeviceRecord;
struct TFindOptions;
}

namespace kiv::tool {

/// Standard output and error of the tool.
QTextStream &Out();
QTextStream &Err();

/// Reads the arguments "[--file devices.dat] [OPTION FILE] NAME" of a verb about one device and
/// finds the device: `optionFile` holds its default on entry and the given file on return. On
/// bad arguments prints `usage`, on an unknown device says so; returns the exit code then (2 or
/// 1), and 0 when `device` was found.
int FindDeviceArgument(const QStringList &args, const char *verb, const char *usage,
                       QLatin1String option, QString &optionFile, DeviceRecord &device);

/// Reads the options "--case" and "--word" of find and replace into `options` and the other
/// arguments into `operands` ("--" ends the options). False on an unknown option.
bool ReadFindArguments(const QStringList &args, TFindOptions &options, QStringList &operands);

}  // namespace kiv::tool
