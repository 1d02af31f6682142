#pragma once

// Find in files without windows: the search history, the result lines the find results list
// shows, the set of files to search, and the search itself on a thread of its own that reports
// its matches and progress as it goes and can be cancelled.

#include "kivfif_search.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace kiv {

/// Items the search history keeps.
constexpr int kFindHistorySize = 10;

/// The history update at the start of a search: a text that is not in the history goes to the
/// top, and the oldest item is dropped when there are more than ten; a text already there keeps
/// its place.
void AddToFindHistory(QStringList &history, const QString &text);

/// The text of one result line: three dots, a blank and a double quote; `file` (a full path or a
/// page caption); a double quote, " Line " and the 1-based line number; "(" column "," column +
/// length of the text "): "; the line as it is.
QString FindResultLine(const QString &file, qint64 line, int column, int textLength,
                       const QString &lineText);

/// What "find all" in a page looks at.
struct TFindAllPage {
    QString caption;      /// the page caption, shown in each result
    int lineCount = 0;
    int caretLine = 1;    /// 1-based
    std::function<QString(int line)> lineText;
};

/// "Find all" in a page: the lines are visited from the caret line (line 1 when `direction` is
/// 0) in steps of the direction (1 for 0) until past the last line (backward: until line 0);
/// each line holding the text gives one result line (FindResultLine, with the page caption) at
/// its first occurrence. Without match case the comparison ignores case. Whole lines are
/// searched, however long.
QStringList FindAllInLines(const TFindAllPage &page, const QString &text, bool matchCase,
                           int direction);

/// One match for the find results list: its line and the full path of its file.
struct TFindResult {
    QString text;
    QString path;
};

/// The files and folders one search looks through, in order: single files first, then folders.
struct TFindScope {
    struct TFolder {
        QString path;
        bool subfolders = false;
    };
    QStringList files;
    QList<TFolder> folders;
};

/// Where "Search all files in" looks: the index of the `searchin` choice.
enum TSearchIn { siProject = 0, siGivenDirectory = 1, siIncludeDirectories = 2 };

/// What a find-in-files request names, and what the main window knows about it.
struct TFindRequest {
    TSearchIn searchIn = siProject;
    QString directory;              /// the given directory, as typed
    bool subdirectories = false;    /// "Include subdirectories"
    bool projectCompiled = false;   /// the project's symbol file exists
    QStringList projectFiles;       /// the files its "Project Files:" block names
    QString includeDirs;            /// the global include directory list, ";" between entries
};

/// The message when the project has no symbol file.
inline QString ProjectNotCompiledMessage() { return QStringLiteral("Project must be compiled first."); }

/// The scope of a request: the project's files; the given directory (one trailing "/" removed),
/// with its sub-folders when asked; or each include directory with its sub-folders. Nothing when
/// the project is not compiled. A directory that does not exist adds "Directory not found: " +
/// directory to `errors` and is left out.
std::optional<TFindScope> FindScopeOf(const TFindRequest &request, QStringList *errors);

/// Whether a search of `scope` reads the file `path` (a full path).
bool InFindScope(const TFindScope &scope, const QString &path);

/// The outcome of a search.
struct TFindSummary {
    qint64 filesSearched = 0;
    qint64 linesFound = 0;
    qint64 binarySkipped = 0;      /// files holding NUL bytes
    qint64 unreadableSkipped = 0;  /// files (and folders) that could not be read
    bool cancelled = false;
};

/// A short report of a search for people: how many lines in how many files, what was skipped,
/// and whether it was cancelled.
QString FindSummaryText(const TFindSummary &summary);

/// Searches a scope line by line. Run() does it on the calling thread; Start() on a thread of its
/// own, reporting through the signals (queued to the receiver's thread). Each matching line gives
/// one TFindResult whose column is that of the first match, in characters.
class TFindInFilesJob : public QObject {
    Q_OBJECT

public:
    TFindInFilesJob(TFindOptions options, TFindScope scope, QObject *parent = nullptr);
    ~TFindInFilesJob() override;

    /// Searches on the calling thread; Found and Progress are emitted as with Start().
    TFindSummary Run();
    /// Searches on a new thread; Finished is emitted at the end.
    void Start();
    /// Asks the search to stop after the file it is in; results so far stay.
    void Cancel() { m_cancel.store(true); }
    bool Running() const;
    /// Waits until a started search has ended (Finished may still be on its way).
    void Wait();

Q_SIGNALS:
    /// Matches in file order, a batch at a time.
    void Found(const QList<kiv::TFindResult> &results);
    /// Now and then: files searched so far, lines found so far and the file being searched.
    void Progress(qint64 filesSearched, qint64 linesFound, const QString &file);
    void Finished(const kiv::TFindSummary &summary);

private:
    void SearchOne(TFileSearcher &searcher, const QByteArray &path);
    void Flush(const QString &file);

    TFindOptions m_options;
    TFindScope m_scope;
    std::atomic<bool> m_cancel{false};
    TFindSummary m_summary;
    QList<TFindResult> m_pending;
    qint64 m_lastReport = 0;
    QThread *m_thread = nullptr;
};

}  // namespace kiv

Q_DECLARE_METATYPE(kiv::TFindResult)
Q_DECLARE_METATYPE(kiv::TFindSummary)
