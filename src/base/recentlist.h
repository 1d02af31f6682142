#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace kiv {

class TIniFile;

/// A recent-use list: ten slots, slot 0 the most recent, and a visible count of menu entries.
class TRecentList {
public:
    static constexpr int kSlots = 10;

    /// Moves `path` to the front when a slot holds it (compared without regard to case),
    /// otherwise pushes every entry down and puts it in front, losing slot 9.
    void AddRecent(const QString &path);

    int Count() const { return m_count; }
    QString Slot(int n) const { return m_slots.at(n); }
    QStringList Visible() const;                /// the paths of slots 0 .. Count() - 1
    QString Caption(int n) const;               /// "&<n+1>: <path>"
    void Clear();

    /// Reads "count" and keys "count-1" .. "0" of `section`, oldest first, through AddRecent.
    void Read(const TIniFile &ini, const QString &section);
    /// Writes "count" and keys "0" .. "count-1" of `section`.
    void Write(TIniFile &ini, const QString &section) const;

private:
    std::array<QString, kSlots> m_slots;
    int m_count = 0;
};

}  // namespace kiv
