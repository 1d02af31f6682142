#pragma once

// The rules that enable the main window's commands: the idle update, run whenever the event
// queue empties, and the command groups, updated after pages, the current page or the project
// change. Both are plain functions of the window's state so they can be checked without one.

#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace kiv {

/// What the idle update looks at.
struct TIdleState {
    int pageCount = 0;
    bool hasCurrentPage = false;
    int pageKind = 0;              /// PageKind bits of the current page
    bool hasSelection = false;     /// the current editor or viewer has a selection
    bool readOnly = false;         /// the current editor is read-only
    bool clipboardHasText = false;
    bool canUndo = false;          /// the current editor has something to undo
};

/// The commands the idle update enables.
struct TIdleEnables {
    bool paste = false;
    bool copy = false;             /// Copy and Cut
    bool gotoLine = false;
    bool pageCommands = false;     /// Next/Previous Window, Match Brace (Extended), Select All, Find, Next
    bool indentSelection = false;
    bool editorCommands = false;   /// Replace
    bool undo = false;             /// an editable editor with something to undo
};

TIdleEnables IdleEnables(const TIdleState &state);

/// What the command groups look at.
struct TGroupState {
    int pageCount = 0;
    bool hasCurrentPage = false;
    bool currentIsEditor = false;
    bool anyEditor = false;
    /// The project base (folder + name), empty without a project.
    QString projectBase;
};

/// The changes one run of the command groups makes; an empty entry leaves its command alone.
struct TGroupChanges {
    std::array<std::optional<bool>, 8> group;   /// index 1 .. 7
    std::optional<bool> enableDebugger;
    std::optional<bool> disableDebugger;
    std::optional<bool> projectIncludeDirs;
};

/// Mode 0 pages changed, 1 project changed or compiled, 2 current page changed. `exists` tells
/// whether a file is there (the project's output files).
TGroupChanges CommandGroupChanges(int mode, const TGroupState &state,
                                  const std::function<bool(const QString &)> &exists);

/// The line a "Goto Line" answer moves to: min(answer, line count), at least line 1; nothing for
/// an answer below 1 when `ignoreBelowOne` (the status bar's question) is set.
std::optional<int> GotoLineTarget(int answer, int lineCount, bool ignoreBelowOne);

/// The web pages of the Internet sub-menu and of the support commands, by command name; empty
/// for another name.
QString WebPageOf(const QString &commandName);

}  // namespace kiv
