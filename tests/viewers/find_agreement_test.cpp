// kivtool find against grep -rn: the same lines, on a generated tree of C files and on a tree
// with CR LF files, Latin-1 files, a binary file and an unreadable file. Both run as an ordinary
// user, so that a file without read permission is unreadable for both even when the tests run as
// the superuser.

#include "generated_tree.h"
#include "testfiles.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::WriteFile;

namespace {

struct TRun {
    QList<QByteArray> lines;   // sorted: grep lists a folder in the order the file system gives
    int exitCode = -1;
    QByteArray errors;
};

TRun RunAsOrdinaryUser(const QString &program, const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(env);
    if (::geteuid() == 0) {
        process.setProgram(QStringLiteral("setpriv"));
        process.setArguments(QStringList({"--reuid=65534", "--regid=65534", "--clear-groups", "--", program}) + args);
    } else {
        process.setProgram(program);
        process.setArguments(args);
    }
    process.start();
    process.waitForFinished(120000);
    TRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    QByteArray out = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    run.lines = out.split('\n');
    if (!run.lines.isEmpty() && run.lines.last().isEmpty())
        run.lines.removeLast();
    std::sort(run.lines.begin(), run.lines.end());
    return run;
}

struct TOptions {
    bool matchCase;
    bool wholeWord;
};

class FindAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_kivtool = kiv::test::BuildDir() + QStringLiteral("/bin/kivtool");
        if (!QFileInfo(m_kivtool).isExecutable())
            GTEST_SKIP() << "kivtool is not built";
        if (QStandardPaths::findExecutable(QStringLiteral("grep")).isEmpty())
            GTEST_SKIP() << "grep is not installed";
        ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755);
    }

    QString Path(const QString &name) const { return m_tmp.path() + '/' + name; }

    void ExpectAgreement(const QString &text, const QString &folder, TOptions o, bool expectLines)
    {
        SCOPED_TRACE(text.toStdString() + (o.matchCase ? " --case" : "") + (o.wholeWord ? " --word" : ""));
        QStringList ours{QStringLiteral("find")};
        QStringList grep{QStringLiteral("-rnF")};
        if (o.matchCase)
            ours << QStringLiteral("--case");
        else
            grep << QStringLiteral("-i");
        if (o.wholeWord) {
            ours << QStringLiteral("--word");
            grep << QStringLiteral("-w");
        }
        ours << QStringLiteral("--") << text << folder;
        grep << QStringLiteral("--") << text << folder;
        const TRun a = RunAsOrdinaryUser(m_kivtool, ours);
        const TRun b = RunAsOrdinaryUser(QStringLiteral("grep"), grep);
        EXPECT_EQ(a.exitCode, b.exitCode) << a.errors.toStdString() << b.errors.toStdString();
        EXPECT_EQ(a.lines.size(), b.lines.size());
        EXPECT_TRUE(a.lines == b.lines);
        if (a.lines != b.lines) {
            for (qsizetype i = 0; i < std::min(a.lines.size(), b.lines.size()); ++i) {
                if (a.lines[i] != b.lines[i]) {
                    ADD_FAILURE() << "first difference: ours \"" << a.lines[i].toStdString()
                                  << "\" grep \"" << b.lines[i].toStdString() << '"';
                    break;
                }
            }
        }
        if (expectLines) {
            EXPECT_FALSE(a.lines.isEmpty());
        }
    }

    QString m_kivtool;
    QTemporaryDir m_tmp;
};

const TOptions kAllOptions[] = {{false, false}, {true, false}, {false, true}, {true, true}};

}  // namespace

TEST_F(FindAgreement, GeneratedTree)
{
    kiv::test::TTreeShape shape;
    shape.files = 60;
    shape.filesPerFolder = 20;
    ASSERT_GT(kiv::test::WriteGeneratedTree(Path("tree"), shape), 0);
    for (const TOptions &o : kAllOptions) {
        ExpectAgreement(QString::fromLatin1(kiv::test::CommonWord()), Path("tree"), o, true);
        ExpectAgreement(QStringLiteral("Value"), Path("tree"), o, true);
        ExpectAgreement(QStringLiteral("int8 value"), Path("tree"), o, false);
        ExpectAgreement(QStringLiteral("x"), Path("tree"), o, false);
        ExpectAgreement(QStringLiteral("not in any file"), Path("tree"), o, false);
    }
    ExpectAgreement(QString::fromLatin1(kiv::test::RareWord()), Path("tree/"), {true, false}, false);
}

TEST_F(FindAgreement, LineEndsEncodingsBinaryAndUnreadableFiles)
{
    ASSERT_TRUE(WriteFile(Path("t/crlf.c"), "int foo;\r\nFoo(1);\r\n\r\nfoo_bar = foo;\r\nlast foo"));
    ASSERT_TRUE(WriteFile(Path("t/latin1.c"), "/* r\xe9glage foo */\nint \xe9" "foo;\nfoo\xe9 = 1;\n"));
    ASSERT_TRUE(WriteFile(Path("t/utf8.c"), QStringLiteral("/* réglage foo */\nint éfoo;\n").toUtf8()));
    ASSERT_TRUE(WriteFile(Path("t/sub/image.bin"), QByteArray("foo\0\x01\x02 foo\n", 11)));
    ASSERT_TRUE(WriteFile(Path("t/sub/secret.c"), "foo\n"));
    ASSERT_TRUE(WriteFile(Path("t/sub/empty.c"), ""));
    ::chmod(QFile::encodeName(Path("t/sub/secret.c")).constData(), 0);
    for (const TOptions &o : kAllOptions) {
        ExpectAgreement(QStringLiteral("foo"), Path("t"), o, true);
        ExpectAgreement(QStringLiteral("FOO"), Path("t"), o, false);
        ExpectAgreement(QStringLiteral("glage"), Path("t"), o, true);
    }

    // What was skipped is counted.
    const TRun run = RunAsOrdinaryUser(m_kivtool, {"find", "foo", Path("t")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains("skipped 1 binary file and 1 unreadable file")) << run.errors.toStdString();
}
