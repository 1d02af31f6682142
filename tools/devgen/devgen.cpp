#include "devgen.h"

#include <QHash>

#include <algorithm>

namespace kiv::devgen {

QStringList LeadingFuseNames()
{
    return {"LP", "XT", "HS", "RC", "INT4MHZ", "INT2MHZ", "INT1MHZ", "INT500KHZ",
            "INT250KHZ", "INT125MHZ", "INT62KHZ", "INT31KHZ"};
}

int TBuildCounts::Devices() const
{
    int total = 0;
    for (int n : devicesByKind)
        total += n;
    return total;
}

QString TBuildCounts::Summary() const
{
    QStringList kinds;
    for (auto it = devicesByKind.constBegin(); it != devicesByKind.constEnd(); ++it)
        kinds << QStringLiteral("kind %1: %2").arg(it.key()).arg(it.value());
    return QStringLiteral("devices.dat: %1 devices (%2), %3 fuse names, %4 fuse entries; left out: "
                          "%5 devices, %6 fuse entries (%7 in configuration words the record cannot "
                          "hold, %8 with names beyond the name table, %9 beyond the record's last entry), "
                          "%10 fuse names")
        .arg(Devices())
        .arg(kinds.join(QStringLiteral(", ")))
        .arg(namesUsed)
        .arg(entriesWritten)
        .arg(devicesLeftOut)
        .arg(entriesBeyondWords + entriesWithoutName + entriesBeyondRoom)
        .arg(entriesBeyondWords)
        .arg(entriesWithoutName)
        .arg(entriesBeyondRoom)
        .arg(namesLeftOut);
}

QString TBuildCounts::GroupSummary() const
{
    return QStringLiteral("fuse groups left out: %1 on %2 devices (%3 more in configuration words the record cannot "
                          "hold); KIV.HT: %4 devices with analog options in %5 variants")
        .arg(groupsLeftOut)
        .arg(devicesWithGroupsLeftOut)
        .arg(groupsBeyondWords)
        .arg(analogDevices)
        .arg(analogVariants);
}

void TDeviceDatabaseBuilder::CountLeftOut(const QString &processor, const QString &why)
{
    ++m_counts.devicesLeftOut;
    m_details << QStringLiteral("device %1: %2").arg(processor, why);
}

void TDeviceDatabaseBuilder::AddDevice(const TDeviceDraft &draft)
{
    const QString name = draft.record.name();
    if (name.isEmpty() || m_drafts.contains(name)) {
        CountLeftOut(name, QStringLiteral("a device of this name is already there"));
        return;
    }
    m_drafts.insert(name, draft);
}

namespace {

// The configuration words a record of `kind` can hold an entry for.
bool WordFits(uint8_t kind, int word)
{
    switch (kind) {
    case dkPic18: return word >= 1 && word <= 255;
    case dkPic14: return word == 1 || word == 2;
    default: return word == 1;
    }
}

// A name the SX wizard would take for an internal oscillator choice.
bool LooksLikeSxOscillator(const QString &name)
{
    return name.size() >= 2 && name.startsWith(QLatin1Char('I')) && name.endsWith(QLatin1Char('Z'));
}

}  // namespace

namespace {

// The names of the choices of a setting that a record of `kind` can hold: the fuse group the
// frame and the review windows show. Empty when the setting lies in a word the record cannot hold.
QStringList GroupNames(const TFuseSetting &setting, uint8_t kind)
{
    QStringList names;
    for (const TFuseChoice &choice : setting.choices)
        if (WordFits(kind, choice.word))
            names << choice.name;
    return names;
}

}  // namespace

void TDeviceDatabaseBuilder::Build()
{
    // The name table has room for a few hundred names while the devices use thousands. A group
    // offered with some of its choices missing misleads (a write protection with two of its four
    // settings), so names are chosen by whole groups: the groups most devices have come first,
    // and a group goes in only when all its names fit.
    QHash<QString, int> groupUses;              // sorted names joined by "," -> devices
    QHash<QString, QStringList> groupOrder;     // the same key -> names in setting order
    for (const TDeviceDraft &draft : std::as_const(m_drafts)) {
        QSet<QString> groups;
        for (const TFuseSetting &setting : draft.fuses) {
            QStringList names = GroupNames(setting, draft.record.kind());
            if (names.isEmpty())
                continue;
            QStringList sorted = names;
            sorted.sort();
            const QString key = sorted.join(QLatin1Char(','));
            groupOrder.insert(key, names);
            groups.insert(key);
        }
        for (const QString &key : groups)
            ++groupUses[key];
    }
    QStringList ranked = groupUses.keys();
    std::sort(ranked.begin(), ranked.end(), [&](const QString &a, const QString &b) {
        const int ua = groupUses.value(a), ub = groupUses.value(b);
        if (ua != ub)
            return ua > ub;
        const int na = int(groupOrder.value(a).size()), nb = int(groupOrder.value(b).size());
        return na != nb ? na < nb : a < b;
    });

    m_names = LeadingFuseNames();
    // Names the project wizard writes itself (watchdog, CCP pin choices) come next, so that every
    // device that has them keeps them.
    const QStringList wizardNames{"NOWDT", "WDT", "WDT1", "WDT2", "WDT4", "WDT8", "WDT16", "WDT32", "WDT64",
                                  "WDT128", "CCP2C1", "CCP2B3", "CCPB0", "CCPB2", "CCPB3"};
    QSet<QString> usedNames;
    for (const QString &key : std::as_const(ranked))
        for (const QString &name : groupOrder.value(key))
            usedNames.insert(name);
    for (const QString &name : wizardNames)
        if (usedNames.contains(name) && !m_names.contains(name))
            m_names << name;

    auto addGroup = [&](const QStringList &names) {
        QStringList candidate = m_names;
        for (const QString &name : names)
            if (!candidate.contains(name))
                candidate << name;
        if (candidate.size() == m_names.size())
            return true;
        if (!TDevicesDatWriter::FuseNamesFit(candidate))
            return false;
        m_names = candidate;
        return true;
    };
    // Devices come first, cheapest first: each one whose whole set of groups still fits gets the
    // names it lacks, so that as many devices as possible have every group complete. Then the
    // remaining room goes to single groups, by the devices they serve per byte of new names. The
    // SX wizard reads positions 1 to 20 for its internal oscillator names ("I...Z"): names like
    // those wait until those positions are taken.
    QSet<QString> inTable(m_names.begin(), m_names.end());
    auto missing = [&](const QStringList &names, int *bytes) {
        QStringList lacking;
        *bytes = 0;
        for (const QString &name : names) {
            if (!inTable.contains(name) && !lacking.contains(name)) {
                lacking << name;
                *bytes += int(name.size()) + 1;
            }
        }
        return lacking;
    };
    auto sxBlocked = [&](const QStringList &names) {
        return m_names.size() < 20 && std::any_of(names.begin(), names.end(), [](const QString &n) {
            return LooksLikeSxOscillator(n);
        });
    };
    auto take = [&](const QStringList &names) {
        if (!addGroup(names))
            return false;
        for (const QString &name : names)
            inTable.insert(name);
        return true;
    };

    constexpr int kDeviceBudget = 40;
    QList<QStringList> deviceNames;
    for (const TDeviceDraft &draft : std::as_const(m_drafts)) {
        QStringList names;
        for (const TFuseSetting &setting : draft.fuses)
            names << GroupNames(setting, draft.record.kind());
        names.removeDuplicates();
        if (!names.isEmpty())
            deviceNames << names;
    }
    for (;;) {
        int best = -1, bestBytes = 0;
        QStringList bestLacking;
        for (int n = 0; n < deviceNames.size(); ++n) {
            int bytes = 0;
            const QStringList lacking = missing(deviceNames[n], &bytes);
            if (lacking.isEmpty() || sxBlocked(lacking) || bytes > kDeviceBudget)
                continue;
            QStringList candidate = m_names + lacking;
            if (!TDevicesDatWriter::FuseNamesFit(candidate))
                continue;
            if (best < 0 || bytes < bestBytes) {
                best = n;
                bestBytes = bytes;
                bestLacking = lacking;
            }
        }
        if (best < 0)
            break;
        take(bestLacking);
    }

    QStringList open = ranked;
    for (;;) {
        int best = -1;
        double bestRatio = 0;
        for (int n = 0; n < open.size(); ++n) {
            const QStringList names = groupOrder.value(open[n]);
            int bytes = 0;
            const QStringList lacking = missing(names, &bytes);
            if (sxBlocked(lacking))
                continue;
            const double ratio = bytes == 0 ? 1e9 : double(groupUses.value(open[n])) / bytes;
            if (best < 0 || ratio > bestRatio) {
                best = n;
                bestRatio = ratio;
            }
        }
        if (best < 0)
            break;
        take(groupOrder.value(open.takeAt(best)));
    }

    for (const QString &name : std::as_const(usedNames)) {
        if (!m_names.contains(name))
            ++m_counts.namesLeftOut;
    }
    m_counts.namesUsed = int(m_names.size());
    QHash<QString, uint8_t> position;
    for (int n = 0; n < m_names.size(); ++n)
        position.insert(m_names[n], uint8_t(n + 1));

    // Each name is described by the first device (in name order) that has it.
    for (const QString &name : LeadingFuseNames())
        m_descriptions.insert(name, FuseDescription(TFuseChoice{name, 0, 0, 1, {}, {}, {}}));
    for (const TDeviceDraft &draft : std::as_const(m_drafts))
        for (const TFuseSetting &setting : draft.fuses)
            for (const TFuseChoice &choice : setting.choices)
                if (position.contains(choice.name) && !m_descriptions.contains(choice.name))
                    m_descriptions.insert(choice.name, FuseDescription(choice));

    QMap<QString, QStringList> groupsLeftOut;   // device -> the groups it lost
    for (TDeviceDraft &draft : m_drafts) {
        DeviceRecord &record = draft.record;
        const uint8_t kind = record.kind();
        const int lastEntry = MaxFuseEntry(kind);
        int next = 1;
        for (const TFuseSetting &setting : std::as_const(draft.fuses)) {
            QList<TFuseChoice> kept;
            for (const TFuseChoice &choice : setting.choices) {
                if (!WordFits(kind, choice.word))
                    ++m_counts.entriesBeyondWords;
                else
                    kept << choice;
            }
            if (kept.isEmpty()) {
                ++m_counts.groupsBeyondWords;
                continue;
            }
            // A group goes in whole or not at all.
            const bool named = std::all_of(kept.begin(), kept.end(),
                                           [&](const TFuseChoice &c) { return position.contains(c.name); });
            QStringList names;
            for (const TFuseChoice &c : std::as_const(kept))
                names << c.name;
            if (!named) {
                m_counts.entriesWithoutName += int(kept.size());
                ++m_counts.groupsLeftOut;
                groupsLeftOut[record.name()] << names.join(QLatin1Char('/'));
                continue;
            }
            if (next + kept.size() - 1 > lastEntry) {
                m_counts.entriesBeyondRoom += int(kept.size());
                ++m_counts.groupsLeftOut;
                groupsLeftOut[record.name()] << names.join(QLatin1Char('/')) + QStringLiteral(" (no room)");
                continue;
            }
            for (const TFuseChoice &choice : std::as_const(kept)) {
                const bool stored = SetFuseEntry(record, next, {choice.mask, choice.value, position.value(choice.name),
                                                                uint8_t(choice.word)});
                if (!stored) {
                    ++m_counts.entriesBeyondWords;
                    continue;
                }
                ++next;
                ++m_counts.entriesWritten;
            }
        }
        m_analog.AddDevice(record, draft.adc);
        ++m_counts.devicesByKind[kind];
        m_records.append(record);
    }
    m_counts.devicesWithGroupsLeftOut = int(groupsLeftOut.size());
    for (auto it = groupsLeftOut.constBegin(); it != groupsLeftOut.constEnd(); ++it)
        m_details << QStringLiteral("device %1: %2 fuse groups do not fit: %3")
                         .arg(it.key())
                         .arg(it.value().size())
                         .arg(it.value().join(QStringLiteral(", ")));
    m_counts.analogDevices = m_analog.DevicesWithOptions();
    m_counts.analogVariants = m_analog.Variants();
    for (auto it = m_analog.Families().constBegin(); it != m_analog.Families().constEnd(); ++it)
        m_details << QStringLiteral("analog family %1: %2 devices").arg(it.key()).arg(it.value());
}

QByteArray TDeviceDatabaseBuilder::AnalogText() const
{
    return m_analog.Text();
}

QByteArray TDeviceDatabaseBuilder::DevicesDat() const
{
    TDevicesDatWriter writer;
    writer.SetFuseNames(m_names);
    for (const DeviceRecord &record : m_records)
        writer.AddRecord(record);
    return writer.Bytes();
}

QByteArray TDeviceDatabaseBuilder::FusesText() const
{
    QByteArray text;
    for (const QString &name : m_names) {
        const QString description = m_descriptions.value(name, name);
        text.append((name + QLatin1Char(' ') + description).toLatin1());
        text.append("\r\n");
    }
    return text;
}

}  // namespace kiv::devgen
