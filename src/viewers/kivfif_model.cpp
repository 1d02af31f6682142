#include "kivfif_model.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace kiv {

namespace {

// The search reports at most this often, so a search with many matches does not flood the
// receiving thread, and at least this often, so its progress shows.
constexpr qint64 kReportMilliseconds = 100;
constexpr qsizetype kBatchSize = 1000;

QString Count(qint64 n, const char *one, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

}  // namespace

void AddToFindHistory(QStringList &history, const QString &text)
{
    if (history.contains(text))
        return;
    history.prepend(text);
    while (history.size() > kFindHistorySize)
        history.removeAt(kFindHistorySize);
}

QString FindResultLine(const QString &file, qint64 line, int column, int textLength,
                       const QString &lineText)
{
    return QStringLiteral("... \"") + file + QStringLiteral("\" Line ") + QString::number(line)
           + QLatin1Char('(') + QString::number(column) + QLatin1Char(',')
           + QString::number(column + textLength) + QStringLiteral("): ") + lineText;
}

QStringList FindAllInLines(const TFindAllPage &page, const QString &text, bool matchCase,
                           int direction)
{
    QStringList results;
    if (text.isEmpty() || !page.lineText)
        return results;
    const int step = direction < 0 ? -1 : 1;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int line = direction == 0 ? 1 : page.caretLine; line >= 1 && line <= page.lineCount;
         line += step) {
        const QString lineText = page.lineText(line);
        const qsizetype at = lineText.indexOf(text, 0, cs);
        if (at >= 0)
            results << FindResultLine(page.caption, line, int(at) + 1, int(text.size()), lineText);
    }
    return results;
}

std::optional<TFindScope> FindScopeOf(const TFindRequest &request, QStringList *errors)
{
    TFindScope scope;
    const auto addFolder = [&](QString folder, bool subfolders) {
        if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        if (!QFileInfo(folder).isDir()) {
            if (errors)
                *errors << QStringLiteral("Directory not found: ") + folder;
            return;
        }
        scope.folders << TFindScope::TFolder{folder, subfolders};
    };
    switch (request.searchIn) {
    case siProject:
        if (!request.projectCompiled)
            return std::nullopt;
        scope.files = request.projectFiles;
        break;
    case siGivenDirectory:
        addFolder(request.directory, request.subdirectories);
        break;
    case siIncludeDirectories:
        for (const QString &dir : request.includeDirs.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            addFolder(dir, true);
        break;
    }
    return scope;
}

bool InFindScope(const TFindScope &scope, const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    for (const QString &file : scope.files) {
        if (QDir::cleanPath(file) == clean)
            return true;
    }
    for (const TFindScope::TFolder &folder : scope.folders) {
        const QString dir = QDir::cleanPath(folder.path);
        const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
        if (!clean.startsWith(prefix))
            continue;
        if (folder.subfolders || !clean.mid(prefix.size()).contains(QLatin1Char('/')))
            return true;
    }
    return false;
}

QString FindSummaryText(const TFindSummary &s)
{
    QString text = Count(s.linesFound, "line", "lines") + QStringLiteral(" found in ")
                   + Count(s.filesSearched, "file", "files");
    QStringList skipped;
    if (s.binarySkipped > 0)
        skipped << Count(s.binarySkipped, "binary file", "binary files");
    if (s.unreadableSkipped > 0)
        skipped << Count(s.unreadableSkipped, "unreadable file", "unreadable files");
    if (!skipped.isEmpty())
        text += QStringLiteral("; skipped ") + skipped.join(QStringLiteral(" and "));
    if (s.cancelled)
        text += QStringLiteral("; search cancelled");
    return text + QLatin1Char('.');
}

// --- TFindInFilesJob ----------------------------------------------------------------------------

TFindInFilesJob::TFindInFilesJob(TFindOptions options, TFindScope scope, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_scope(std::move(scope))
{
    qRegisterMetaType<kiv::TFindResult>();
    qRegisterMetaType<QList<kiv::TFindResult>>();
    qRegisterMetaType<kiv::TFindSummary>();
}

TFindInFilesJob::~TFindInFilesJob()
{
    Cancel();
    Wait();
    delete m_thread;
}

bool TFindInFilesJob::Running() const
{
    return m_thread && m_thread->isRunning();
}

void TFindInFilesJob::Wait()
{
    if (m_thread)
        m_thread->wait();
}

void TFindInFilesJob::Start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] {
        const TFindSummary summary = Run();
        Q_EMIT Finished(summary);
    });
    m_thread->setObjectName(QStringLiteral("FindInFiles"));
    m_thread->start();
}

TFindSummary TFindInFilesJob::Run()
{
    m_summary = TFindSummary();
    m_pending.clear();
    m_lastReport = -kReportMilliseconds;   // the first file reports at once
    QElapsedTimer clock;
    clock.start();
    TFileSearcher searcher(m_options);
    const auto report = [&](const QByteArray &path) {
        if (clock.elapsed() - m_lastReport >= kReportMilliseconds || m_pending.size() >= kBatchSize) {
            m_lastReport = clock.elapsed();
            Flush(QFile::decodeName(path));
        }
    };

    for (const QString &file : std::as_const(m_scope.files)) {
        if (m_cancel.load())
            break;
        const QByteArray path = QFile::encodeName(file);
        SearchOne(searcher, path);
        report(path);
    }
    for (const TFindScope::TFolder &folder : std::as_const(m_scope.folders)) {
        if (m_cancel.load())
            break;
        TWalkCounts counts;
        const bool listed = WalkFolder(
            QFile::encodeName(folder.path), folder.subfolders,
            [&](const QByteArray &path) {
                SearchOne(searcher, path);
                report(path);
                return true;
            },
            &m_cancel, &counts);
        m_summary.unreadableSkipped += counts.unreadableFolders + (listed ? 0 : 1);
    }
    m_summary.cancelled = m_cancel.load();
    Flush(QString());
    return m_summary;
}

void TFindInFilesJob::SearchOne(TFileSearcher &searcher, const QByteArray &path)
{
    QString name;
    const int textLength = int(m_options.text.size());
    const TFileStatus status = searcher.SearchFile(path, [&](const TLineMatch &match) {
        if (name.isEmpty())
            name = QFile::decodeName(path);
        const bool utf8 = searcher.FileIsUtf8();
        const int column = CharacterColumn(match.text, match.column, utf8);
        m_pending.append({FindResultLine(name, match.line, column, textLength,
                                         DecodeMatchedLine(match.text, utf8)),
                          name});
        ++m_summary.linesFound;
    });
    switch (status) {
    case fsSearched: ++m_summary.filesSearched; break;
    case fsBinary: ++m_summary.binarySkipped; break;
    case fsUnreadable: ++m_summary.unreadableSkipped; break;
    case fsNotAFile: break;
    }
}

void TFindInFilesJob::Flush(const QString &file)
{
    if (!m_pending.isEmpty()) {
        QList<TFindResult> batch;
        batch.swap(m_pending);
        Q_EMIT Found(batch);
    }
    Q_EMIT Progress(m_summary.filesSearched, m_summary.linesFound, file);
}

}  // namespace kiv
