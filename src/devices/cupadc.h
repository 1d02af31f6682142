#pragma once

// The analog option file KIV.HT: sections of option lines that describe what the project
// wizard's analog page offers for a device (A/D clock, acquisition, mode, trigger and interrupt
// options, analog port configurations, reference ranges). A device's sections are chosen by its
// record's adcClockOption and adcChannelOption; lines carry conditions on the record's kind,
// channel count and adcVariant.

#include "pc_chipr.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kiv {

/// Number of port options that can be shown as check boxes (CheckBox1 .. CheckBox16).
constexpr int kMaxAnalogCheckOptions = 16;
/// Longest identifier a port option keeps.
constexpr int kMaxAnalogIdentifier = 32;
/// Longest item text or check-box caption.
constexpr int kMaxAnalogText = 50;

/// One entry of an option list: the identifier generated code uses and the text shown for it.
struct TAnalogOption {
    QString identifier;
    QString text;
    bool operator==(const TAnalogOption &other) const = default;
};

/// Everything ReadAnalogOptions fills in for one device.
struct TAnalogOptions {
    QList<TAnalogOption> clocks;        ///< adcclock
    int selectedClock = -1;             ///< the clock whose identifier contains "INTERNAL", -1 without
    QList<TAnalogOption> acquisitions;  ///< adctad
    QList<TAnalogOption> modes;         ///< adcmode
    QList<TAnalogOption> triggers;      ///< adctrigger
    QList<TAnalogOption> interrupts;    ///< adcinterrupt
    QList<TAnalogOption> ports;         ///< adc_pinsrb items (text: everything after "//")
    int checkOptionCount = 0;           ///< leading port options shown as check boxes, 0 .. 16
    QStringList checkCaptions;          ///< captions of check boxes 1 .. checkOptionCount
    QList<TAnalogOption> ranges;        ///< adcrange

    bool IsEmpty() const;
    bool operator==(const TAnalogOptions &other) const = default;
};

/// KIV.HT could not be read.
class TAnalogFileError : public std::runtime_error {
public:
    explicit TAnalogFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

/// The A/D clock option table: entry n names the section "ADCCLK" + entry (entry 0 is "n/a").
const QStringList &AdcClockTable();
/// The A/D channel option table: entry n names the section "ADCCH" + entry.
const QStringList &AdcChannelTable();

/// The section keys a device reads, in order: its clock section, its channel section (each only
/// when its option is set and names an entry of the table) and "ADCS". Empty without A/D channels.
QStringList AnalogSectionKeys(const DeviceRecord &record);

/// Evaluates and removes the conditions a line carries. Returns true when all of them hold.
bool TakeLineConditions(QString &line, const DeviceRecord &record);

/// The lines of section `key` (cut at its first space) whose conditions hold, conditions
/// removed. A key that is not in the file gives no lines.
QStringList AnalogSectionLines(const QStringList &fileLines, const QString &key, const DeviceRecord &record);

/// Parses collected section lines into the option lists.
TAnalogOptions ParseAnalogOptions(const QStringList &lines);

/// The analog options of a device from the option file at `path`. A device without A/D channels
/// gets none and the file is not opened. Throws TAnalogFileError when the file cannot be read.
TAnalogOptions ReadAnalogOptions(const DeviceRecord &record, const QString &path);

/// The option file of the installation: CompilerDir() + "KIV.HT".
QString AnalogOptionFile();

}  // namespace kiv
