#pragma once

// Puts the device drafts together into one devices.dat: chooses the shared fuse name table
// (whole fuse groups, those most devices have first, within the header's 255 names and two
// blocks), places each device's fuse groups within its record's limits, and writes the
// description file of the fuse names and the analog option file KIV.HT. What does not fit is
// left out whole and counted, never written wrong.

#include "devicemap.h"

#include "devicesdat_writer.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kiv::devgen {

/// Names the SX wizard finds at fuse name positions 1 to 12, in this order.
QStringList LeadingFuseNames();

struct TBuildCounts {
    QMap<int, int> devicesByKind;
    int devicesLeftOut = 0;
    int entriesWritten = 0;
    int entriesBeyondWords = 0;    ///< in a configuration word the record cannot hold
    int entriesWithoutName = 0;    ///< their name did not make the name table
    int entriesBeyondRoom = 0;     ///< past the record's last fuse entry
    int namesUsed = 0;
    int namesLeftOut = 0;
    int groupsLeftOut = 0;             ///< whole groups left out (names beyond the table, no room)
    int groupsBeyondWords = 0;         ///< groups in configuration words the record cannot hold
    int devicesWithGroupsLeftOut = 0;
    int analogDevices = 0;             ///< devices with analog options in KIV.HT
    int analogVariants = 0;

    int Devices() const;
    /// The build log line of devices.dat.
    QString Summary() const;
    /// The build log line of the fuse groups and KIV.HT.
    QString GroupSummary() const;
};

class TDeviceDatabaseBuilder {
public:
    /// Adds a device; a second device of the same name is left out (and counted).
    void AddDevice(const TDeviceDraft &draft);
    /// Counts a device that could not be described at all.
    void CountLeftOut(const QString &processor, const QString &why);

    /// What was left out, one line each: devices with the reason, fuse names with their use count.
    const QStringList &Details() const { return m_details; }

    /// Chooses the fuse names and places the fuse entries; call once, after the last AddDevice.
    void Build();

    const TBuildCounts &Counts() const { return m_counts; }
    const QStringList &FuseNames() const { return m_names; }
    /// The finished records, sorted by name.
    const QList<DeviceRecord> &Records() const { return m_records; }

    /// The whole devices.dat.
    QByteArray DevicesDat() const;
    /// fuses.txt: "NAME description" per fuse name of the table, CR LF line ends.
    QByteArray FusesText() const;
    /// KIV.HT, the analog option file.
    QByteArray AnalogText() const;

private:
    QMap<QString, TDeviceDraft> m_drafts;   // sorted by name
    QStringList m_names;
    QMap<QString, QString> m_descriptions;
    QList<DeviceRecord> m_records;
    TBuildCounts m_counts;
    QStringList m_details;
    TAnalogFileBuilder m_analog;
};

}  // namespace kiv::devgen
