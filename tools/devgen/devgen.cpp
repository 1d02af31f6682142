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

constexpr int kMaxChoicesNamed = 16;

// A name the SX wizard would take for an internal oscillator choice.
bool LooksLikeSxOscillator(const QString &name)
{
    return name.size() >= 2 && name.startsWith(QLatin1Char('I')) && name.endsWith(QLatin1Char('Z'));
}

}  // namespace

void TDeviceDatabaseBuilder::Build()
{
    // How many devices use each name, counting only entries a record can hold. Settings with
    // very many choices (write protection by page: WPFP_PAGE_0 .. 255) would take the room of
    // dozens of common names and get none.
    QHash<QString, int> uses;
    for (const TDeviceDraft &draft : std::as_const(m_drafts)) {
        QSet<QString> names;
        for (const TFuseSetting &setting : draft.fuses)
            for (const TFuseChoice &choice : setting.choices)
                if (setting.choices.size() <= kMaxChoicesNamed)
                    if (WordFits(draft.record.kind(), choice.word))
                        names.insert(choice.name);
        for (const QString &name : names)
            ++uses[name];
    }
    QStringList ranked = uses.keys();
    std::sort(ranked.begin(), ranked.end(), [&](const QString &a, const QString &b) {
        const int ua = uses.value(a), ub = uses.value(b);
        return ua != ub ? ua > ub : a < b;
    });

    // Names the project wizard writes itself (watchdog, CCP pin choices) come first, so that
    // every device that has them keeps them.
    const QStringList wizardNames{"NOWDT", "WDT", "WDT1", "WDT2", "WDT4", "WDT8", "WDT16", "WDT32", "WDT64",
                                  "WDT128", "CCP2C1", "CCP2B3", "CCPB0", "CCPB2", "CCPB3"};
    for (auto it = wizardNames.crbegin(); it != wizardNames.crend(); ++it) {
        if (uses.contains(*it)) {
            ranked.removeAll(*it);
            ranked.prepend(*it);
        }
    }

    m_names = LeadingFuseNames();
    QStringList deferred;
    for (const QString &name : std::as_const(ranked)) {
        if (m_names.contains(name))
            continue;
        if (m_names.size() < 20 && LooksLikeSxOscillator(name)) {
            deferred << name;
            continue;
        }
        m_names << name;
        if (!TDevicesDatWriter::FuseNamesFit(m_names))
            m_names.removeLast();
    }
    for (const QString &name : std::as_const(deferred)) {
        m_names << name;
        if (!TDevicesDatWriter::FuseNamesFit(m_names))
            m_names.removeLast();
    }
    // Any ranked name that did not make it is counted once.
    for (const QString &name : std::as_const(ranked)) {
        if (!m_names.contains(name)) {
            ++m_counts.namesLeftOut;
            m_details << QStringLiteral("fuse name %1: used by %2 devices").arg(name).arg(uses.value(name));
        }
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
                else if (!position.contains(choice.name))
                    ++m_counts.entriesWithoutName;
                else
                    kept << choice;
            }
            // A NAME/NONAME pair that lost one half would turn into a lone check box.
            if (setting.choices.size() == 2 && kept.size() == 1) {
                ++m_counts.entriesWithoutName;
                kept.clear();
            }
            if (kept.isEmpty())
                continue;
            if (next + kept.size() - 1 > lastEntry) {
                m_counts.entriesBeyondRoom += int(kept.size());
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
        ++m_counts.devicesByKind[kind];
        m_records.append(record);
    }
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
