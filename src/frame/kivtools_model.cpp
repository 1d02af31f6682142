#include "kivtools_model.h"

#include <QSet>

#include <algorithm>

namespace kiv {

namespace {

const QLatin1String kGeneral("General");
const QLatin1String kFile("File");

}  // namespace

const QStringList &ToolbarNames()
{
    static const QStringList names = {
        QStringLiteral("General"), QStringLiteral("Project"), QStringLiteral("Edit"),
        QStringLiteral("Compiler-Select"), QStringLiteral("Compile"), QStringLiteral("View"),
        QStringLiteral("Tools"), QStringLiteral("Debug"), QStringLiteral("Help"),
    };
    return names;
}

QString CommandKeyName(const QString &category, const QString &caption)
{
    QString text = caption;
    text.remove('&');
    if (text.isEmpty() || text == QLatin1String("-") || text.at(0).isDigit())
        return {};
    QString group = category;
    group.remove('&');
    return group + ' ' + text;
}

bool DefaultToolbarVisible(const QString &name)
{
    // Every entry not listed here starts hidden.
    static const QSet<QString> visible = {
        "Compile", "Compile Compile", "Compiler-Select", "Debug", "Debug Enable Debugger",
        "Edit", "Edit Copy", "Edit Cut", "Edit Find", "Edit Indent selection", "Edit Next",
        "Edit Paste", "Edit Replace", "Edit Undo", "General", "General Close",
        "General Close All", "General New", "General Open", "General Print", "General Save",
        "General Save All", "Help", "Help Index", "Project", "Project Close Project",
        "Project Open", "Project Open All Files", "View", "View C/ASM List", "View Data Sheet",
        "View Symbol Map",
    };
    QString key = name;
    if (key.startsWith(kFile))
        key.replace(0, kFile.size(), kGeneral);
    return visible.contains(key);
}

QString ToolbarSettingsKey(const QString &name)
{
    if (!name.startsWith(kGeneral))
        return name;
    QString key = name;
    return key.replace(0, kGeneral.size(), kFile);
}

QString ShortcutsValue(const QStringList &shortcuts)
{
    return shortcuts.join(QStringLiteral("\\t"));
}

QStringList ShortcutsFromValue(const QString &value)
{
    QStringList shortcuts;
    for (const QString &part : value.split(QStringLiteral("\\t"))) {
        const QString text = part.trimmed();
        if (!text.isEmpty())
            shortcuts << text;
    }
    return shortcuts;
}

// --- tool bar registry -------------------------------------------------------------------------

namespace {

bool NameLess(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

}  // namespace

int TToolBarItems::IndexOf(const QString &name) const
{
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), name,
                                     [](const TEntry &e, const QString &n) { return NameLess(e.name, n); });
    if (it == m_entries.end() || QString::compare(it->name, name, Qt::CaseInsensitive) != 0)
        return -1;
    return int(it - m_entries.begin());
}

void TToolBarItems::Set(const QString &name, bool visible)
{
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), name,
                                     [](const TEntry &e, const QString &n) { return NameLess(e.name, n); });
    if (it != m_entries.end() && QString::compare(it->name, name, Qt::CaseInsensitive) == 0)
        it->visible = visible;
    else
        m_entries.insert(it, TEntry{name, visible});
}

bool TToolBarItems::Visible(const QString &name) const
{
    const int index = IndexOf(name);
    return index >= 0 && m_entries[size_t(index)].visible;
}

QStringList TToolBarItems::Names() const
{
    QStringList names;
    for (const TEntry &entry : m_entries)
        names << entry.name;
    return names;
}

void TToolBarItems::ResetToDefaults()
{
    for (TEntry &entry : m_entries)
        entry.visible = DefaultToolbarVisible(entry.name);
}

// --- shortcuts of the commands -----------------------------------------------------------------

QString NoShortcutText()
{
    return QStringLiteral("(none)");
}

namespace {

QString PlainKey(QString text)
{
    return text.remove(' ').toLower();
}

}  // namespace

int TShortcutTable::Add(const QString &category, const QString &caption, const QString &key,
                        const QStringList &shortcuts)
{
    m_commands.push_back(TCommand{category, caption, key, shortcuts});
    return int(m_commands.size()) - 1;
}

QStringList TShortcutTable::Categories() const
{
    QStringList categories;
    for (const TCommand &command : m_commands) {
        if (!categories.contains(command.category))
            categories << command.category;
    }
    return categories;
}

std::vector<int> TShortcutTable::Commands(const QString &category) const
{
    std::vector<int> indexes;
    for (int n = 0; n < Count(); ++n) {
        if (m_commands[size_t(n)].category == category)
            indexes.push_back(n);
    }
    return indexes;
}

QStringList TShortcutTable::CurrentKeys(int command) const
{
    const QStringList &shortcuts = Command(command).shortcuts;
    return shortcuts.isEmpty() ? QStringList{NoShortcutText()} : shortcuts;
}

int TShortcutTable::Owner(const QString &shortcut, int except) const
{
    const QString wanted = PlainKey(shortcut);
    for (int n = 0; n < Count(); ++n) {
        if (n == except)
            continue;
        for (const QString &text : m_commands[size_t(n)].shortcuts) {
            if (PlainKey(text) == wanted)
                return n;
        }
    }
    return -1;
}

bool TShortcutTable::Assign(int command, const QString &shortcut)
{
    if (command < 0 || command >= Count() || shortcut.trimmed().isEmpty())
        return false;
    QStringList &shortcuts = m_commands[size_t(command)].shortcuts;
    const QString wanted = PlainKey(shortcut);
    for (const QString &text : shortcuts) {
        if (PlainKey(text) == wanted)
            return false;
    }
    shortcuts << shortcut;
    return true;
}

bool TShortcutTable::Remove(int command, int index)
{
    if (command < 0 || command >= Count())
        return false;
    QStringList &shortcuts = m_commands[size_t(command)].shortcuts;
    if (index < 0 || index >= shortcuts.size())
        return false;
    shortcuts.removeAt(index);
    return true;
}

bool TShortcutTable::RemoveShortcut(int command, const QString &shortcut)
{
    if (command < 0 || command >= Count())
        return false;
    const QStringList &shortcuts = m_commands[size_t(command)].shortcuts;
    for (int n = 0; n < shortcuts.size(); ++n) {
        if (PlainKey(shortcuts.at(n)) == PlainKey(shortcut))
            return Remove(command, n);
    }
    return false;
}

QString ShortcutTakenQuestion(const QString &shortcut, const QString &owner, const QString &command)
{
    return QStringLiteral("The shortcut %1 is assigned to \"%2\".\nRemove it there and assign it to \"%3\"?")
        .arg(shortcut, owner, command);
}

// --- tool bar rows -----------------------------------------------------------------------------

std::vector<QStringList> ToolbarRows(const std::vector<std::pair<QString, TToolbarPlace>> &places)
{
    std::vector<std::pair<QString, TToolbarPlace>> sorted = places;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
        return a.second.top < b.second.top;
    });
    struct TRow {
        int top;
        int height;
        std::vector<std::pair<int, QString>> bars;   // left, name
    };
    std::vector<TRow> rows;
    for (const auto &[name, place] : sorted) {
        const int half = qMax(1, place.height / 2);
        if (rows.empty() || place.top - rows.back().top >= qMax(half, rows.back().height / 2))
            rows.push_back(TRow{place.top, place.height, {}});
        rows.back().bars.emplace_back(place.left, name);
    }
    std::vector<QStringList> result;
    for (TRow &row : rows) {
        std::stable_sort(row.bars.begin(), row.bars.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        QStringList names;
        for (const auto &bar : row.bars)
            names << bar.second;
        result.push_back(names);
    }
    return result;
}

std::vector<QStringList> DefaultToolbarRows(const std::vector<std::pair<QString, int>> &widths,
                                            int clientWidth)
{
    std::vector<QStringList> rows;
    int right = 0;
    for (const auto &[name, width] : widths) {
        const bool newRow = rows.empty() || name == QLatin1String("Edit")
                            || (!rows.back().isEmpty() && right + width >= clientWidth - 75);
        if (newRow) {
            rows.emplace_back();
            right = 0;
        }
        rows.back() << name;
        right += width;
    }
    return rows;
}

}  // namespace kiv
