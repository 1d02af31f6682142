#include "kivcomp_model.h"

#include "kivprompt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QSaveFile>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv {

namespace {

// Longest status text read from the library; the texts are short lines.
constexpr int kStatusTextLimit = 4096;

}  // namespace

/// One COMPILE call on a thread of its own. The status call-back, which runs on that thread,
/// only queues its reports; the thread that started the compile applies them to the model and
/// the view, so neither is ever touched from the compiler's thread.
class TCompileWork {
public:
    TCompileWork(TKivCompModel &model, IKivCompView &view, TCompilerLibrary &library)
        : m_model(model), m_view(view), m_library(library)
    {
    }

    /// Runs COMPILE and returns once it has ended and every report is applied.
    TCompileResult Run(const TCompileArguments &args);
    /// From the status call-back: queues one report (any thread).
    void Post(quint8 value, QString text, quint8 code);
    /// Asks the compile to stop (the starting thread).
    void RequestStop();
    bool StopRequested() const { return m_stop.load(); }

private:
    struct TReport {
        quint8 value;
        QString text;
        quint8 code;
    };

    void Wake();
    void Drain(bool processEvents);

    TKivCompModel &m_model;
    IKivCompView &m_view;
    TCompilerLibrary &m_library;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<TReport> m_pending;
    bool m_done = false;
    bool m_wakePosted = false;
    std::atomic<bool> m_stop{false};
    QObject *m_context = nullptr;   // lives on the starting thread; wakes it through its queue
    QEventLoop *m_loop = nullptr;
};

namespace {

// The status call-back carries no context, so the run in progress is kept here. Compiles never
// overlap: the "Compile" command does not re-enter itself. Set before the compiler's thread
// starts and cleared after it ended.
TCompileWork *g_active = nullptr;

void StatusThunk(std::uint8_t value, const char *text, std::uint8_t code)
{
    TCompileWork *work = g_active;
    if (!work)
        return;
    try {
        work->Post(value, DecodeLibraryText(text, kStatusTextLimit), code);
    } catch (...) {
        // Nothing may unwind through the library's frames.
    }
}

bool WriteLine(const QString &path, const QString &line)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(line.toUtf8() + "\r\n");
    return file.commit();
}

}  // namespace

TCompileResult TCompileWork::Run(const TCompileArguments &args)
{
    TCompileResult result;
    // With the application's event loop on this thread a local loop keeps the interface going
    // while the compiler works; without one (the command-line tool, plain tests) this thread
    // just waits for the reports.
    const bool eventLoop = QCoreApplication::instance()
                           && QThread::currentThread() == QCoreApplication::instance()->thread();
    QObject context;
    QEventLoop loop;
    if (eventLoop) {
        m_context = &context;
        m_loop = &loop;
    }
    g_active = this;
    std::thread compiler([this, &args, &result] {
        result = m_library.Compile(args, &StatusThunk);
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        Wake();
    });
    if (eventLoop) {
        loop.exec();
    } else {
        for (;;) {
            bool done = false;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_done || !m_pending.empty(); });
                done = m_done;
            }
            Drain(true);
            if (done)
                break;
        }
    }
    compiler.join();
    g_active = nullptr;
    Drain(!eventLoop);
    m_context = nullptr;
    m_loop = nullptr;
    return result;
}

void TCompileWork::Post(quint8 value, QString text, quint8 code)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back({value, std::move(text), code});
    }
    // A stop asked for before COMPILE started was forgotten by it: say it again from inside.
    if (m_stop.load())
        m_library.Stop();
    Wake();
}

void TCompileWork::Wake()
{
    if (!m_context) {
        m_changed.notify_one();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_wakePosted)
            return;
        m_wakePosted = true;
    }
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            bool done = false;
            {
                std::lock_guard lock(m_mutex);
                m_wakePosted = false;
                done = m_done;
            }
            Drain(false);
            if (done)
                m_loop->quit();
        },
        Qt::QueuedConnection);
}

void TCompileWork::Drain(bool processEvents)
{
    std::vector<TReport> reports;
    {
        std::lock_guard lock(m_mutex);
        reports.swap(m_pending);
    }
    for (const TReport &report : reports) {
        const bool process = m_model.StatusCallback(report.value, report.text, report.code);
        m_view.ModelChanged();
        if (process && processEvents)
            m_view.ProcessEvents();
    }
}

void TCompileWork::RequestStop()
{
    if (m_stop.exchange(true))
        return;
    m_library.Stop();
}

void TKivCompModel::RequestStop()
{
    if (!m_work || !Stoppable || Stopping)
        return;
    Stopping = true;
    SetLine(7, QStringLiteral("Stopping the compile..."));
    m_work->RequestStop();
}

void TKivCompModel::SetLine(int n, const QString &text)
{
    if (n >= 1 && n <= kLineCount)
        m_lines[n - 1] = text;
}

void TKivCompModel::Reset(const QString &mainFile)
{
    LineTotal = 0;
    OutputFiles = QStringLiteral("Output files: ERR");
    for (QString &line : m_lines)
        line.clear();
    SetLine(1, QStringLiteral("Project:  ") + mainFile);
    RomPercent = RamPercent = 0;
    BarsVisible = false;
    Stoppable = false;
    Stopping = false;
    ErrorPanelVisible = false;
    ErrorLabel.clear();
    ErrorLine1.clear();
    ErrorLine2.clear();
}

bool TKivCompModel::StatusCallback(quint8 value, const QString &text, quint8 code)
{
    bool process = false;
    switch (code) {
    case 20: SetLine(2, text); break;
    case 21: SetLine(7, text); break;
    case 80: OutputFiles += QStringLiteral("  ") + ObjectExtension.toUpper(); break;
    case 90: OutputFiles += QStringLiteral("  SYM"); break;
    case 91: OutputFiles += QStringLiteral("  TRE"); break;
    case 92: OutputFiles += QStringLiteral("  STA"); break;
    case 93: OutputFiles += QStringLiteral("  ") + ListExtension.toUpper(); break;
    case 95: OutputFiles += QStringLiteral("  $$$"); break;
    case 96: OutputFiles += QStringLiteral("  PJT"); break;
    case 97: OutputFiles += QStringLiteral("  MAP"); break;
    case 98: OutputFiles += QStringLiteral("  COD"); break;
    case 99: OutputFiles += QStringLiteral("  COF"); break;
    case 101: RomPercent = value; break;
    case 102:
        RamPercent = value;
        BarsVisible = true;
        break;
    default: break;
    }
    if (code >= 70 && code <= 99) {
        int skip = 0;
        while (skip < text.size() && text.at(skip) == ' ')
            ++skip;
        SetLine(3, text.mid(skip));
        process = true;
    }
    if (code >= 151) {
        LineTotal += code - 150;
        SetLine(2, QStringLiteral("Lines: ") + QString::number(LineTotal));
        process = true;
    }
    if (value != 0)
        SetLine(3, text);
    return process;
}

QString TKivCompModel::NotInstalledLine(const QString &code)
{
    return QStringLiteral("Error: The selected compiler: \"") + code
        + QStringLiteral("\" is not installed on this PC");
}

TCompileRunStatus TKivCompModel::Compile(IKivCompView &view, TCompilerLibrary &library,
                                         const QString &code, bool installed,
                                         const TCompileArguments &args, quint16 holdFlags,
                                         const QString &errorFilePath, TCompileResult &result)
{
    result = TCompileResult();
    ObjectExtension = args.objectExtension;
    ListExtension = args.listExtension;
    Reset(args.mainFile);

    if (!installed) {
        const QString line = NotInstalledLine(code);
        if (!WriteLine(errorFilePath, line)) {
            ShowError(QStringLiteral("Cannot write the file ") + errorFilePath);
            return crAborted;
        }
        result.message = line;
        ErrorPanelVisible = true;
        ErrorLabel = QStringLiteral("ERROR");
        ErrorLine2 = line;
        view.ModelChanged();
        if (holdFlags & 0x20)
            view.WaitSeconds(holdFlags >> 8);
        if (holdFlags & 0x40)
            view.ShowUntilClosed();
        return crNotInstalled;
    }

    if (!library.LoadCompiler(code))
        return crAborted;
    Caption = QStringLiteral("VYN ") + code + QStringLiteral(" C Compiler, Version ")
        + library.CompilerVersion(code);
    Stoppable = library.CanStop();
    Stopping = false;
    bool stopped = false;
    {
        TCompileWork work(*this, view, library);
        m_work = &work;
        view.ModelChanged();
        view.ShowBusy();
        result = work.Run(args);
        m_work = nullptr;
        stopped = work.StopRequested();
    }
    Stoppable = false;
    Stopping = false;
    if (stopped) {
        SetLine(2, QStringLiteral("The compile was stopped."));
        SetLine(3, OutputFiles);
        view.ModelChanged();
        view.EndBusy();
        return crStopped;
    }
    if (Line(2).isEmpty())
        SetLine(2, QStringLiteral("Compilation complete."));
    SetLine(3, OutputFiles);
    view.ModelChanged();
    view.EndBusy();

    const bool error = !result.errorFile.isEmpty();
    bool timed = holdFlags & 0x20;
    if (error) {
        ErrorPanelVisible = true;
        ErrorLabel = QStringLiteral("ERROR");
        ErrorLine1 = result.errorFile + QStringLiteral(",  Line ") + QString::number(result.line);
        ErrorLine2 = result.message;
        view.ModelChanged();
        if (holdFlags & 0x40) {
            view.ShowModalAnyKey();
            timed = false;
        }
    } else if ((holdFlags & 0x80) && !(holdFlags & 0x20)) {
        view.ShowModalHeld();
    }
    // A plain timed display ("No Errors:" seconds, "On Error:" No) is for clean compiles only.
    if (timed && !((holdFlags & 0xFF) == 0xA0 && error))
        view.ShowModalTimed(holdFlags >> 8);
    return crCompiled;
}

}  // namespace kiv
