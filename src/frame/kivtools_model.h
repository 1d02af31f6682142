#pragma once

// The tool bars' names, the default visibility of tool bars and buttons, and the names under
// which commands and buttons are known in the settings file.

#include <QString>
#include <QStringList>

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

}  // namespace kiv
