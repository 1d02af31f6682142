#pragma once

// The editing commands without windows: the search state of the main window with its option
// sets, and what the editor's context menu offers.

#include <QChar>
#include <QString>

namespace kiv {

/// The find option set in the editor's terms: forward 1, backward forward + 2, from the start
/// 1 + 8; match case adds 4. `direction` is -1 backward, 0 from the start, 1 forward.
int FindOptionSet(bool matchCase, int direction);
/// The replace option set: backward 2 (forward 0), match case 4, replace one 16 or all 32.
int ReplaceOptionSet(bool down, bool matchCase, bool all);

/// Bits of both option sets.
enum TSearchOption {
    soForward = 1,
    soBackward = 2,
    soMatchCase = 4,
    soGlobal = 8,
    soReplace = 16,
    soReplaceAll = 32,
};

/// The main window's search state: the last text, the mode of the last operation (find "F" or
/// replace "R"), and the two option sets.
struct TSearchState {
    QString text;
    QChar mode = QLatin1Char('F');
    int findOptions = soForward;
    int replaceOptions = 0;
};

/// The include file named on a line with "#INCLUDE" (any case): the text between "<" and ">",
/// or, without "<", between the first pair of double quotes; empty when there is none.
QString IncludeNameOfLine(const QString &line);

/// Captions of the context menu's word entries.
QString FindNextCaption(const QString &word);
QString FindInProjectCaption(const QString &word);
QString HelpOnCaption(const QString &word);
QString OpenIncludeCaption(const QString &name);

}  // namespace kiv
