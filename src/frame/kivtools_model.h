#pragma once

// The tool bars' names, the default visibility of tool bars and buttons, and the names under
// which commands and buttons are known in the settings file.

#include <QString>
#include <QStringList>

#include <vector>

namespace kiv {

/// The tool bar names in building order: "General", "Project", "Edit", "Compiler-Select",
/// "Compile", "View", "Tools", "Debug", "Help".
const QStringList &ToolbarNames();

/// A command's key name: its category and caption joined by a blank, every "&" removed
/// ("&File" + "&Save" → "File Save"). Empty for a caption that has no key: empty, "-", or
/// starting with a digit.
QString CommandKeyName(const QString &category, const QString &caption);

/// The default visibility of a tool bar ("Edit") or button ("Edit Copy"); a name starting with
/// "File" is looked up with "General" in its place; a name not in the table is hidden.
bool DefaultToolbarVisible(const QString &name);

/// The form of a tool bar or button name in the settings file: a leading "General" becomes
/// "File".
QString ToolbarSettingsKey(const QString &name);

/// The value of a command's key in the settings section "Shortcuts": the primary shortcut's
/// text, then each secondary one preceded by the two characters backslash and t.
QString ShortcutsValue(const QStringList &shortcuts);
/// The shortcut texts of a "Shortcuts" value, primary first; empty parts are dropped.
QStringList ShortcutsFromValue(const QString &value);

/// The tool bars and their buttons by name ("Edit", "Edit Copy"), each with a visible flag,
/// kept sorted by name without regard to case and searched by halving. The "Customize Window"
/// dialog works on a copy: the working visibility, which OK hands back to the tool bars.
class TToolBarItems {
public:
    /// Adds `name`, or sets its flag when it is there already.
    void Set(const QString &name, bool visible);
    bool Contains(const QString &name) const { return IndexOf(name) >= 0; }
    /// The flag of `name`; false for a name that is not there.
    bool Visible(const QString &name) const;
    /// Every name, in sorted order.
    QStringList Names() const;
    int Count() const { return int(m_entries.size()); }
    /// Every entry takes its visibility from the default table.
    void ResetToDefaults();
    /// The entry's place, or -1.
    int IndexOf(const QString &name) const;

private:
    struct TEntry {
        QString name;
        bool visible = false;
    };
    std::vector<TEntry> m_entries;
};

/// The "(none)" line that stands for a command without shortcuts on the Keyboard page.
QString NoShortcutText();

/// The menu commands and their shortcuts as the Keyboard page of "Customize Window" edits them:
/// categories (the top-level menu captions without "&", in menu order), the commands of each
/// (captions without "&", in menu order), and each command's shortcut texts, primary first.
class TShortcutTable {
public:
    struct TCommand {
        QString category;   /// the top-level menu caption, without "&"
        QString caption;    /// the command caption, without "&"
        QString key;        /// the key name in the settings file
        QStringList shortcuts;
    };

    /// Adds a command at the end of its category; returns its index.
    int Add(const QString &category, const QString &caption, const QString &key,
            const QStringList &shortcuts);
    int Count() const { return int(m_commands.size()); }
    const TCommand &Command(int index) const { return m_commands.at(size_t(index)); }

    QStringList Categories() const;
    /// The command indexes of a category, in menu order.
    std::vector<int> Commands(const QString &category) const;
    /// The list of the "C&urrent Key(s):" box: the primary shortcut, then the secondary ones;
    /// "(none)" alone when the command has no shortcut.
    QStringList CurrentKeys(int command) const;
    /// The command, other than `except`, that has `shortcut` (compared without regard to case
    /// and blanks); -1 when none has.
    int Owner(const QString &shortcut, int except = -1) const;
    /// Gives the command `shortcut`: the primary one when it has none, else one more secondary
    /// one. A shortcut the command has already changes nothing. Returns whether it changed.
    bool Assign(int command, const QString &shortcut);
    /// Deletes the command's shortcut at `index` of its list (0 the primary one). Returns
    /// whether it changed.
    bool Remove(int command, int index);
    /// Deletes `shortcut` from the command, wherever it is in its list.
    bool RemoveShortcut(int command, const QString &shortcut);

private:
    std::vector<TCommand> m_commands;
};

/// The message that asks whether a shortcut that `owner` has moves to `command`.
QString ShortcutTakenQuestion(const QString &shortcut, const QString &owner, const QString &command);

/// Where a tool bar sits: docked in the top bar or floating, and its rectangle (relative to the
/// main window when docked, on the screen when floating).
struct TToolbarPlace {
    bool docked = true;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

/// The value of a missing position key in section "Toolbar Position".
constexpr int kNoToolbarPosition = -2147483647 - 1;

/// The rows of the top bar for the docked tool bars whose places are given, top row first,
/// each row left to right. Bars whose tops lie within half a bar height of a row's top share it.
std::vector<QStringList> ToolbarRows(const std::vector<std::pair<QString, TToolbarPlace>> &places);

/// The default arrangement of tool bars of the given widths (in building order): left to
/// right, a new row when the next bar would reach `clientWidth` - 75, and "Edit" always at the
/// start of a new row.
std::vector<QStringList> DefaultToolbarRows(const std::vector<std::pair<QString, int>> &widths,
                                            int clientWidth);

}  // namespace kiv
