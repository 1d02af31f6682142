#include "kivtools_model.h"

#include <QSet>

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

}  // namespace kiv
