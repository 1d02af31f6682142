#include "recentlist.h"

#include "kivini.h"

namespace kiv {

void TRecentList::AddRecent(const QString &path)
{
    int start = kSlots - 1;
    bool found = false;
    // Only visible entries are candidates: the unused slots hold empty paths, and an empty
    // path read back from the file must take a place of its own.
    for (int k = 0; k < m_count; ++k) {
        if (m_slots[k].compare(path, Qt::CaseInsensitive) == 0) {
            start = k;
            found = true;
            break;
        }
    }
    for (int p = start; p >= 1; --p)
        m_slots[p] = m_slots[p - 1];
    m_slots[0] = path;
    if (!found && m_count < kSlots)
        ++m_count;
}

QStringList TRecentList::Visible() const
{
    QStringList list;
    for (int n = 0; n < m_count; ++n)
        list << m_slots[n];
    return list;
}

QString TRecentList::Caption(int n) const
{
    return QStringLiteral("&%1: %2").arg(n + 1).arg(m_slots.at(n));
}

void TRecentList::Clear()
{
    m_slots.fill(QString());
    m_count = 0;
}

void TRecentList::Read(const TIniFile &ini, const QString &section)
{
    const int count = qBound(0, ini.ReadInteger(section, QStringLiteral("count"), 0), kSlots);
    for (int n = count - 1; n >= 0; --n)
        AddRecent(ini.ReadString(section, QString::number(n)));
}

void TRecentList::Write(TIniFile &ini, const QString &section) const
{
    TIniFile::Batch batch(ini);
    batch.WriteInteger(section, QStringLiteral("count"), m_count);
    for (int n = 0; n < m_count; ++n)
        batch.WriteString(section, QString::number(n), m_slots[n]);
}

}  // namespace kiv
