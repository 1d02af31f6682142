#include "kivfif_model.h"
#include "testfiles.h"
#include "uOutputForm_model.h"

#include <QMutex>
#include <QThread>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::WriteFile;

TEST(FindModel, HistoryKeepsTenMostRecentFirst)
{
    QStringList history;
    for (int n = 0; n < 10; ++n)
        AddToFindHistory(history, QString::number(n));
    ASSERT_EQ(history.size(), 10);
    EXPECT_EQ(history.first(), QStringLiteral("9"));
    // A new text goes to the top and the oldest is dropped.
    AddToFindHistory(history, QStringLiteral("new"));
    EXPECT_EQ(history.size(), 10);
    EXPECT_EQ(history.first(), QStringLiteral("new"));
    EXPECT_FALSE(history.contains(QStringLiteral("0")));
    // A text already there keeps its place.
    AddToFindHistory(history, QStringLiteral("5"));
    EXPECT_EQ(history.size(), 10);
    EXPECT_EQ(history.indexOf(QStringLiteral("5")), 5);
}

TEST(FindModel, ResultLineNamesThePositionTheFindListReads)
{
    // "FOO" with ignore case in a line whose fifth character starts foo: columns 5 and 8.
    const QString line = FindResultLine(QStringLiteral("/p/main.c"), 12, 5, 3, QStringLiteral("int foo;"));
    EXPECT_EQ(line, QStringLiteral("... \"/p/main.c\" Line 12(5,8): int foo;"));
    const std::optional<TMessagePosition> pos = ParseFindResultLine(line);
    ASSERT_TRUE(pos.has_value());
    EXPECT_EQ(pos->line, 12);
    EXPECT_EQ(pos->startColumn, 5);
    EXPECT_EQ(pos->endColumn, 8);
}

TEST(FindModel, SummaryText)
{
    TFindSummary s;
    s.filesSearched = 2000;
    s.linesFound = 1;
    EXPECT_EQ(FindSummaryText(s), QStringLiteral("1 line found in 2000 files."));
    s.linesFound = 12;
    s.binarySkipped = 1;
    s.unreadableSkipped = 2;
    s.cancelled = true;
    EXPECT_EQ(FindSummaryText(s), QStringLiteral("12 lines found in 2000 files; skipped 1 binary file "
                                                 "and 2 unreadable files; search cancelled."));
}

class FindJob : public ::testing::Test {
protected:
    QString Path(const QString &name) const { return m_tmp.path() + '/' + name; }
    QTemporaryDir m_tmp;
};

TEST_F(FindJob, SearchesFilesThenFoldersAndCounts)
{
    ASSERT_TRUE(WriteFile(Path("tree/a.c"), "int FOO;\nfoo(foo);\n"));
    ASSERT_TRUE(WriteFile(Path("tree/sub/b.h"), "// nothing\n"));
    ASSERT_TRUE(WriteFile(Path("tree/sub/c.c"), QStringLiteral("/* é */ foo\r\n").toUtf8()));
    ASSERT_TRUE(WriteFile(Path("tree/sub/d.c"), QByteArray("foo\0", 4)));
    ASSERT_TRUE(WriteFile(Path("tree/latin.c"), "/* \xe9t\xe9 */ foo\n"));
    ASSERT_TRUE(WriteFile(Path("single.c"), "x\nfoo\n"));

    TFindOptions options;
    options.text = QStringLiteral("foo");
    TFindScope scope;
    scope.files << Path("single.c") << Path("missing.c");
    scope.folders << TFindScope::TFolder{Path("tree/"), true};
    TFindInFilesJob job(options, scope);
    QList<TFindResult> results;
    QObject::connect(&job, &TFindInFilesJob::Found, [&](const QList<TFindResult> &batch) { results << batch; });
    const TFindSummary summary = job.Run();

    QStringList texts;
    for (const TFindResult &r : results)
        texts << r.text;
    EXPECT_EQ(texts, QStringList({
                         "... \"" + Path("single.c") + "\" Line 2(1,4): foo",
                         "... \"" + Path("tree/a.c") + "\" Line 1(5,8): int FOO;",
                         "... \"" + Path("tree/a.c") + "\" Line 2(1,4): foo(foo);",
                         "... \"" + Path("tree/latin.c") + "\" Line 1(11,14): /* été */ foo",
                         "... \"" + Path("tree/sub/c.c") + "\" Line 1(9,12): /* é */ foo",
                     }));
    EXPECT_EQ(results.at(1).path, Path("tree/a.c"));
    EXPECT_EQ(summary.filesSearched, 5);
    EXPECT_EQ(summary.linesFound, 5);
    EXPECT_EQ(summary.binarySkipped, 1);
    EXPECT_EQ(summary.unreadableSkipped, 1);   // missing.c
    EXPECT_FALSE(summary.cancelled);

    // Without subfolders only the folder's own files.
    scope.files.clear();
    scope.folders = {TFindScope::TFolder{Path("tree"), false}};
    TFindInFilesJob flat(options, scope);
    EXPECT_EQ(flat.Run().linesFound, 3);
}

TEST_F(FindJob, RunsOnItsOwnThreadAndCanBeCancelled)
{
    for (int n = 0; n < 50; ++n)
        ASSERT_TRUE(WriteFile(Path(QStringLiteral("t/f%1.c").arg(n, 2, 10, QLatin1Char('0'))), "foo\nbar foo\n"));
    TFindOptions options;
    options.text = QStringLiteral("foo");
    TFindScope scope;
    scope.folders << TFindScope::TFolder{Path("t"), true};

    {
        TFindInFilesJob job(options, scope);
        QMutex mutex;
        qint64 found = 0;
        TFindSummary end;
        Qt::HANDLE worker = nullptr;
        QObject::connect(&job, &TFindInFilesJob::Found, &job, [&](const QList<TFindResult> &batch) {
            QMutexLocker lock(&mutex);
            found += batch.size();
            worker = QThread::currentThreadId();
        }, Qt::DirectConnection);
        QObject::connect(&job, &TFindInFilesJob::Finished, &job, [&](const TFindSummary &s) {
            QMutexLocker lock(&mutex);
            end = s;
        }, Qt::DirectConnection);
        job.Start();
        job.Wait();
        QMutexLocker lock(&mutex);
        EXPECT_EQ(found, 100);
        EXPECT_EQ(end.filesSearched, 50);
        EXPECT_NE(worker, QThread::currentThreadId());
    }
    {
        // Cancelled at the first file: the search stops soon after, keeping what it found.
        TFindInFilesJob job(options, scope);
        QObject::connect(&job, &TFindInFilesJob::Progress, &job, [&](qint64, qint64, const QString &) {
            job.Cancel();
        }, Qt::DirectConnection);
        const TFindSummary summary = job.Run();
        EXPECT_TRUE(summary.cancelled);
        EXPECT_LT(summary.filesSearched, 50);
        EXPECT_GE(summary.filesSearched, 1);
    }
}
