#include "kivcommands_model.h"

#include "kivnotebook_model.h"

#include <QHash>

namespace kiv {

TIdleEnables IdleEnables(const TIdleState &state)
{
    TIdleEnables on;
    if (!state.hasCurrentPage) {
        on.pageCommands = state.pageCount > 0;
        return on;
    }
    const bool editor = (state.pageKind & pkEditor) != 0;
    // A read-only output view counts as a viewer for everything that changes text.
    const bool editable = editor && !state.readOnly && !(state.pageKind & pkReadOnly);
    const bool canPaste = editable && state.clipboardHasText;
    on.paste = canPaste;
    on.copy = state.hasSelection;
    on.gotoLine = !(state.pageKind & pkHex);
    on.pageCommands = state.pageCount > 0;
    on.indentSelection = state.hasSelection && editable;
    on.editorCommands = editable;
    // Undo with nothing to undo would look like a command that does nothing.
    on.undo = editable && state.canUndo;
    return on;
}

TGroupChanges CommandGroupChanges(int mode, const TGroupState &state,
                                  const std::function<bool(const QString &)> &exists)
{
    TGroupChanges changes;
    switch (mode) {
    case 0:
        if (state.pageCount > 0) {
            changes.group[1] = true;
            if (state.currentIsEditor)
                changes.group[2] = true;
            if (state.anyEditor)
                changes.group[3] = true;
        } else {
            for (int g = 1; g <= 7; ++g)
                changes.group[g] = false;
            changes.enableDebugger = false;
            changes.disableDebugger = false;
        }
        break;
    case 1: {
        changes.projectIncludeDirs = true;
        const QString &base = state.projectBase;
        const auto has = [&](const char *extension) {
            return !base.isEmpty() && exists && exists(base + QLatin1String(extension));
        };
        changes.group[4] = has(".sym");
        changes.group[5] = has(".lst");
        changes.enableDebugger = changes.group[5];
        changes.group[6] = has(".tre");
        changes.group[7] = has(".sta");
        break;
    }
    case 2:
        if (state.hasCurrentPage)
            changes.group[2] = state.currentIsEditor;
        break;
    default:
        break;
    }
    return changes;
}

std::optional<int> GotoLineTarget(int answer, int lineCount, bool ignoreBelowOne)
{
    if (answer < 1 && ignoreBelowOne)
        return std::nullopt;
    return std::max(1, std::min(answer, std::max(1, lineCount)));
}

QString WebPageOf(const QString &commandName)
{
    // The program's own pages, and the device maker's pages for data sheets and resources.
    static const QHash<QString, QString> pages = {
        {QStringLiteral("Action100"), QStringLiteral("https://kiv-ide.example/updates/check")},
        {QStringLiteral("Action101"), QStringLiteral("https://kiv-ide.example/downloads")},
        {QStringLiteral("Action102"), QStringLiteral("https://kiv-ide.example/maintenance")},
        {QStringLiteral("Action103"), QStringLiteral("https://kiv-ide.example/news")},
        {QStringLiteral("Action105"),
         QStringLiteral("https://www.microchip.com/en-us/products/microcontrollers-and-microprocessors/8-bit-mcus")},
        {QStringLiteral("Action106"),
         QStringLiteral("https://www.microchip.com/en-us/tools-resources/documentation")},
    };
    return pages.value(commandName);
}

}  // namespace kiv
