#pragma once

// The state of the "Compare Files" dialog and its comparison run, without the window.

#include "fastfc.h"

#include <QString>

#include <vector>

namespace kiv {

/// The dialog's choices and `CompareFiles`.
class TKivFcdModel {
public:
    QString file1;
    QString file2;
    /// "File Type": 0 "Source or Text", 1 "Listing".
    int fileType = 0;
    bool ignoreRom = false;    ///< "ROM addresses"
    bool ignoreRam = false;    ///< "RAM addresses"
    bool ignoreMovlb = false;  ///< "MOVLB opcode"
    bool ignoreCase = true;    ///< "Ignore case"

    /// The group "Ignore" is shown exactly when "Listing" is selected.
    bool IgnoreVisible() const { return fileType == 1; }
    /// Both named files exist.
    bool FilesExist() const;
    /// The result file: the folder of file 1 + "compare.$$$".
    QString ResultFile() const;
    /// `CompareFiles` with the four check boxes (they count whatever "File Type" shows). False
    /// with `*error` set when a file cannot be read or written or a listing is not recognised;
    /// the result file then holds what was written before.
    bool Compare(QString *error) const;
};

/// The first line of the next (or previous) block of changed lines — lines that begin with "D"
/// or "I" in a compare result — after (before) the 0-based `line`; -1 when there is none.
/// `firstChars` holds the first character of every line.
int NextChangeLine(const std::vector<char> &firstChars, int line, bool forward);

}  // namespace kiv
