#pragma once

// Shared fixture of the compile tests: a temporary installation with the script-replaying test
// compiler installed under chosen edition codes, a project folder, and recording doubles of the
// main window and the compile status window.

#include "compilerlib.h"
#include "kivcomp_model.h"
#include "kivcompile.h"
#include "testfiles.h"

#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kiv::test {

/// One COMPILE call as the test compiler recorded it: key -> value.
using TRecordedCall = QMap<QString, QString>;

/// Records each display the compile asks the status window for.
class TRecordingView : public IKivCompView {
public:
    QStringList calls;
    int modelChanges = 0;
    std::function<void()> onProcessEvents;

    void ModelChanged() override { ++modelChanges; }
    void ProcessEvents() override
    {
        calls << "ProcessEvents";
        if (onProcessEvents)
            onProcessEvents();
    }
    void ShowBusy() override { calls << "ShowBusy"; }
    void EndBusy() override { calls << "EndBusy"; }
    void WaitSeconds(int seconds) override { calls << QStringLiteral("Wait %1").arg(seconds); }
    void ShowUntilClosed() override { calls << "ShowUntilClosed"; }
    void ShowModalAnyKey() override { calls << "ModalAnyKey"; }
    void ShowModalHeld() override { calls << "ModalHeld"; }
    void ShowModalTimed(int seconds) override { calls << QStringLiteral("Timed %1").arg(seconds); }

    /// The calls other than ProcessEvents.
    QStringList Displays() const
    {
        QStringList out;
        for (const QString &call : calls)
            if (call != "ProcessEvents")
                out << call;
        return out;
    }
};

/// Records what the compile asks of the main window.
class TRecordingHost : public ICompileHost {
public:
    QString base;
    QString extension = ".c";
    QString includes = "/inc/a;/inc/b";
    QString defines;
    bool debugActive = false;
    bool openErrorFileResult = true;
    QStringList log;

    bool CurrentProject(QString *b, QString *e) const override
    {
        *b = base;
        *e = extension;
        return !base.isEmpty();
    }
    QString IncludeDirs() const override { return includes; }
    QString GlobalDefines() const override { return defines; }
    bool DebugSessionActive() const override { return debugActive; }
    void SetCompileEnabled(bool enabled) override
    {
        log << QStringLiteral("CompileEnabled %1").arg(enabled);
    }
    void SaveAll() override { log << "SaveAll"; }
    void ReleasePages(const QStringList &paths) override
    {
        log << "Release " + paths.join(',');
    }
    void ClosePages(const QString &path) override { log << "Close " + path; }
    void ReopenReleasedPages() override { log << "Reopen"; }
    void CompilerSelected(int index) override { log << QStringLiteral("Selected %1").arg(index); }
    void ShowOutputWindow() override { log << "ShowOutput"; }
    bool OpenErrorFile(const QString &path) override
    {
        log << "Open " + path;
        return openErrorFileResult;
    }
    void SelectErrorPosition(int line, int start, int end) override
    {
        log << QStringLiteral("Select %1 %2 %3").arg(line).arg(start).arg(end);
    }
    void ShowCompileErrorStatus(const QString &message) override { log << "Status " + message; }
    void AddRecentProject(const QString &path) override { log << "Recent " + path; }
    void CompileFinished() override { log << "Finished"; }
    void UpdateCommandGroups(int mode) override { log << QStringLiteral("Groups %1").arg(mode); }

    /// The log entries starting with `prefix`.
    QStringList Entries(const QString &prefix) const
    {
        QStringList out;
        for (const QString &entry : log)
            if (entry.startsWith(prefix))
                out << entry;
        return out;
    }
};

/// A temporary installation: dll/ with test compiler copies, and a project folder.
class TCompileFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        dllDir = m_temp.path() + "/dll/";
        projectDir = m_temp.path() + "/project/";
        ASSERT_TRUE(QDir().mkpath(dllDir));
        ASSERT_TRUE(QDir().mkpath(projectDir));
        base = projectDir + "main";
        ASSERT_TRUE(WriteFile(base + ".c", "void main() {}\r\n"));
    }

    /// Installs the test compiler as each of `codes`.
    void Install(const QStringList &codes)
    {
        for (const QString &code : codes)
            ASSERT_TRUE(QFile::copy(QStringLiteral(KIV_TEST_COMPILER), dllDir + code + ".so"))
                << code.toStdString();
    }

    void Script(const QStringList &lines)
    {
        ASSERT_TRUE(WriteFile(base + ".script", (lines.join("\n") + "\n").toUtf8()));
    }

    /// Every COMPILE call recorded so far, in order.
    std::vector<TRecordedCall> Calls() const
    {
        std::vector<TRecordedCall> calls;
        TRecordedCall call;
        const QStringList lines = QString::fromUtf8(ReadFile(base + ".calls")).split('\n');
        for (const QString &line : lines) {
            if (line == "end") {
                calls.push_back(call);
                call.clear();
                continue;
            }
            const int eq = line.indexOf('=');
            if (eq > 0)
                call.insert(line.left(eq), line.mid(eq + 1));
        }
        return calls;
    }

    QString ErrFileText() const { return QString::fromUtf8(ReadFile(base + ".err")); }

    QTemporaryDir m_temp;
    QString dllDir;
    QString projectDir;
    QString base;
};

}  // namespace kiv::test
