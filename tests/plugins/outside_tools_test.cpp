// The IDE's Tools commands start the outside programs the build installs into the staged tree.

#include "kivmain.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

using namespace kiv;

namespace {

// A process of ours: its id and arguments (argv[1] ...).
struct TStarted {
    pid_t pid = 0;
    QStringList arguments;
};

// Finds the process running `program` whose environment carries `mark` (so only the process this
// test started is found) and that is not one of `seen`, waiting up to five seconds.
TStarted FindStarted(const QString &program, const QByteArray &mark, const QList<pid_t> &seen)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (int attempt = 0; attempt < 500; ++attempt) {
        for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool isPid = false;
            const pid_t pid = pid_t(entry.toInt(&isPid));
            if (!isPid || seen.contains(pid))
                continue;
            const QString proc = QStringLiteral("/proc/") + entry;
            if (QFileInfo(proc + QStringLiteral("/exe")).canonicalFilePath() != wanted)
                continue;
            if (!test::ReadFile(proc + QStringLiteral("/environ")).split('\0').contains(mark))
                continue;
            TStarted started{pid, {}};
            const QList<QByteArray> argv = test::ReadFile(proc + QStringLiteral("/cmdline")).split('\0');
            for (int i = 1; i < argv.size(); ++i)
                if (!argv.at(i).isEmpty())
                    started.arguments << QString::fromLocal8Bit(argv.at(i));
            return started;
        }
        QTest::qWait(10);
    }
    return {};
}

// Ends a program the test started and waits until it is gone: a program left running would keep
// the test's output open, and a second search for the same program could find it.
bool Running(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return false;
    // An ended program nobody has reaped yet is no longer running.
    const QByteArray stat = test::ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) != "Z";
}

void EndStarted(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 500 && Running(pid); ++i)
        QTest::qWait(10);
    if (Running(pid))
        ::kill(pid, SIGKILL);
}

class OutsideToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_stage = test::BuildDir() + QStringLiteral("/stage");
        qputenv("HOME", m_tmp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_tmp.filePath("config").toLocal8Bit());
        // Every program this test starts inherits the mark.
        m_mark = "KIV_OUTSIDE_TOOL_TEST=" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        qputenv("KIV_OUTSIDE_TOOL_TEST", m_mark.mid(m_mark.indexOf('=') + 1));
        SetExecutablePathForDirs(m_stage + QStringLiteral("/bin/kiv"));
    }
    void TearDown() override
    {
        // What a failed check left running (an ended program's id may belong to another by now).
        for (pid_t pid : m_started) {
            if (Running(pid) && test::ReadFile(QStringLiteral("/proc/%1/environ").arg(pid)).split('\0').contains(m_mark))
                EndStarted(pid);
        }
        m_main.reset();
        SetExecutablePathForDirs(QString());
        qunsetenv("KIV_OUTSIDE_TOOL_TEST");
    }

    QTemporaryDir m_tmp;
    QString m_stage;
    QByteArray m_mark;
    QList<pid_t> m_started;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(OutsideToolsTest, ToolsCommandsStartTheInstalledPrograms)
{
    if (!QFileInfo::exists(m_stage + QStringLiteral("/bin/kiv")))
        GTEST_SKIP() << "the staged tree is made by a full build";
    struct TCase {
        const char *command;
        QString program;
        QStringList arguments;
    };
    const TCase cases[] = {
        {"ActionToolsDeviceEditor", UtilsDir() + QStringLiteral("chipedit"), {}},
        {"ActionToolsDeviceSelector", UtilsDir() + QStringLiteral("chipedit"), {QStringLiteral("+S")}},
        {"ActionToolsNumericConverter", UtilsDir() + QStringLiteral("dunet"), {}},
        {"ActionToolsSerialPortMonitor", TelmDir() + QStringLiteral("telm"), {}},
    };
    EXPECT_EQ(UtilsDir(), m_stage + QStringLiteral("/utils/"));
    EXPECT_EQ(TelmDir(), m_stage + QStringLiteral("/telm/"));

    m_main = std::make_unique<Tfkivmain>(TCommandLine{});
    m_main->FormShow();
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(QFileInfo(c.program).isExecutable()) << c.program.toStdString();
        m_main->Command(QString::fromLatin1(c.command))->trigger();
        EXPECT_TRUE(m_prompt.Messages().isEmpty()) << m_prompt.Messages().join('\n').toStdString();
        const TStarted started = FindStarted(c.program, m_mark, m_started);
        ASSERT_NE(started.pid, 0) << "not running: " << c.program.toStdString();
        m_started << started.pid;
        EXPECT_EQ(started.arguments, c.arguments);
        // The program stays up on its own: the IDE does not wait for it.
        QTest::qWait(200);
        EXPECT_TRUE(Running(started.pid));
        EndStarted(started.pid);
    }
}

TEST_F(OutsideToolsTest, EachProgramExplainsItselfWithoutADisplay)
{
    if (!QFileInfo::exists(m_stage + QStringLiteral("/bin/kiv")))
        GTEST_SKIP() << "the staged tree is made by a full build";
    const struct {
        QString program;
        const char *says;
    } programs[] = {
        {UtilsDir() + QStringLiteral("chipedit"), "Device editor and selector"},
        {UtilsDir() + QStringLiteral("dunet"), "Numeric converter"},
        {TelmDir() + QStringLiteral("telm"), "Serial port monitor"},
    };
    for (const auto &p : programs) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(p.program, {QStringLiteral("--help")});
        ASSERT_TRUE(process.waitForFinished(20000)) << p.program.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << p.program.toStdString();
        const QString text = QString::fromLocal8Bit(process.readAllStandardOutput());
        EXPECT_TRUE(text.contains(QLatin1String(p.says))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("--shot"))) << text.toStdString();
    }
}
