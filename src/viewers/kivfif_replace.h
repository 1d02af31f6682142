#pragma once

// Replacing a text in files: every match (by the rules of find in files) and nothing else
// changes, each file keeps its encoding and line ends, and a file that cannot be written keeps
// its old contents.

#include "kivfif_search.h"
#include "textfile.h"

#include <QString>

namespace kiv {

/// Replaces every match of `options` in `data`, text in `encoding`, with `replacement`, matches
/// taken left to right without overlapping. Returns the number of replacements; -1 (and `data`
/// unchanged) when `encoding` cannot hold the replacement or the text.
qsizetype ReplaceInBytes(QByteArray &data, TTextEncoding encoding, const TFindOptions &options,
                         const QString &replacement);

/// What replacing in one file did.
struct TReplaceOutcome {
    qsizetype replacements = 0;   /// matches replaced (0: the file was not written)
    bool failed = false;          /// the file was left as it was because of `error`
    QString error;
};

/// Replaces in the file at `path`: reads it, decides its encoding as the editor does (valid
/// UTF-8, else Latin-1), replaces, and writes it back through the safe writer only when
/// something changed. A binary file, an unreadable file, a replacement its encoding cannot hold
/// and a failed write leave the file untouched and say why.
TReplaceOutcome ReplaceInFile(const QString &path, const TFindOptions &options,
                              const QString &replacement);

}  // namespace kiv
