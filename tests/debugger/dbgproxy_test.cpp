// The library proxies against the scripted libraries: loading, every export resolved, the
// calls and their messages, the worker thread of the long calls and the unload request.

#include "scriptlibs.h"
#include "testfiles.h"
#include "uDbgProxy.h"
#include "uWatchProxy.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::ScriptLibPath;
using kiv::test::TScriptDbg;
using kiv::test::TScriptWatch;

namespace {

QString LoadError(const QString &path)
{
    try {
        TDbgProxy proxy(path);
    } catch (const TLibraryLoadError &e) {
        return e.Text();
    }
    return {};
}

QString WatchLoadError(const QString &path)
{
    try {
        TWatchProxy proxy(path);
    } catch (const TLibraryLoadError &e) {
        return e.Text();
    }
    return {};
}

/// Runs `action` from the event loop once `after` ms passed.
void Later(int after, std::function<void()> action)
{
    QTimer::singleShot(after, qApp, std::move(action));
}

}  // namespace

TEST(DbgProxy, MissingFileGivesTheLoadMessage)
{
    const QString path = QStringLiteral("/nonexistent/folder/dbg.so");
    EXPECT_EQ(LoadError(path), QStringLiteral("Couldn't load the debugging library. The file \"") + path
                                   + QStringLiteral("\" couldn't be found."));
}

TEST(DbgProxy, AnyMissingExportRefusesTheLibrary)
{
    TScriptDbg script("scriptdbg_nohstack");
    EXPECT_EQ(LoadError(script.Path()),
              QStringLiteral("The file \"") + script.Path()
                  + QStringLiteral("\" doesn't seem to be a valid VYN debugging library. The function "
                                   "DBG_WRITE_HSTACK coudln't be found"));
    TScriptDbg noName("scriptdbg_noname");
    EXPECT_TRUE(LoadError(noName.Path()).endsWith(QStringLiteral("The function DBG_NAME coudln't be found")));
    EXPECT_TRUE(LoadError(ScriptLibPath("scriptdbg")).isEmpty());
}

TEST(DbgProxy, AFileThatIsNoLibraryIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.so"));
    ASSERT_TRUE(kiv::test::WriteFile(path, "not a shared library"));
    EXPECT_TRUE(LoadError(path).startsWith(QStringLiteral("Couldn't load the debugging library. The file \"")
                                           + path + QStringLiteral("\" couldn't be found.\n")));
}

TEST(DbgProxy, LibraryNameAsksDbgName)
{
    TScriptDbg script;
    EXPECT_EQ(TDbgProxy::LibraryName(script.Path()), QStringLiteral("Script"));
    EXPECT_EQ(TDbgProxy::LibraryName(ScriptLibPath("scriptdbg_sim")), QStringLiteral("Simulator"));
    EXPECT_EQ(TDbgProxy::LibraryName(ScriptLibPath("scriptdbg_noname")), QString());
    EXPECT_EQ(TDbgProxy::LibraryName(QStringLiteral("/nonexistent.so")), QString());
}

TEST(DbgProxy, CallsPassArgumentsAndMessages)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    QString msg;
    script.Fail("DBG_ESTABLISH_COMMUNICATION", 1, "No unit on the port");
    EXPECT_FALSE(proxy.EstablishCommunication(QStringLiteral("/tmp/kiv.ini"), msg));
    EXPECT_EQ(msg, QStringLiteral("No unit on the port"));
    EXPECT_TRUE(proxy.EstablishCommunication(QStringLiteral("/tmp/kiv.ini"), msg));
    EXPECT_TRUE(proxy.SetEraseMode(2, 0, msg));
    script.SetInt("clock", 1234);
    double mhz = 0;
    EXPECT_TRUE(proxy.GetClockSpeed(mhz, msg));
    EXPECT_DOUBLE_EQ(mhz, 12.34);
    script.SetText("options", "Processor;S;;PIC16F877A;The part\nICD F/W;SR;;V2.14;firmware");
    QStringList rows;
    EXPECT_TRUE(proxy.GetOptions(rows));
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Processor;S;;PIC16F877A;The part"),
                                 QStringLiteral("ICD F/W;SR;;V2.14;firmware")}));
    script.Ram()[0x20] = 0x5A;
    quint8 byte = 0;
    EXPECT_TRUE(proxy.ReadRam(0x20, 1, &byte, msg));
    EXPECT_EQ(byte, 0x5A);
    script.SetStack({0x10, 0x22});
    int count = 0;
    EXPECT_TRUE(proxy.ReadStack(count, nullptr, msg));
    EXPECT_EQ(count, 2);
    quint32 entries[1] = {};
    count = 1;
    EXPECT_TRUE(proxy.ReadStack(count, entries, msg));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(entries[0], 0x10u);
    EXPECT_EQ(script.Calls(QStringLiteral("DBG_SET_ERASE_MODE")), QStringList{QStringLiteral("DBG_SET_ERASE_MODE 2 0")});
    EXPECT_EQ(proxy.CallsInProgress(), 0);
}

TEST(DbgProxy, Go1RunsOnAWorkerWhileTheInterfaceRuns)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    QString output;
    QThread *outputThread = nullptr;
    proxy.OnCharacter = [&](char c) {
        output += QLatin1Char(c);
        outputThread = QThread::currentThread();
    };
    ASSERT_TRUE(proxy.SetTargetOutput());
    script.SetText("output", "Hi!");

    // While Go1 waits, the event loop runs: a timer fires, sees the pending call, is refused any
    // other library call, and Halt's Stop makes Go1 return.
    int ticks = 0;
    bool sawPending = false;
    QString busyMsg;
    bool readDuringRun = true;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    Later(100, [&] {
        sawPending = proxy.GoPending() && proxy.CallsInProgress() == 1;
        quint8 byte = 0;
        readDuringRun = proxy.ReadRam(0, 1, &byte, busyMsg);
        QString msg;
        proxy.Stop(msg);
    });
    quint32 pc = 0x10;
    quint8 w = 0;
    quint8 status = 9;
    QString msg;
    script.SetInt("haltpc", 0x42);
    EXPECT_TRUE(proxy.Go1(pc, w, status, 1, msg));
    EXPECT_EQ(pc, 0x42u);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(sawPending);
    EXPECT_FALSE(readDuringRun);
    EXPECT_FALSE(busyMsg.isEmpty());
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(script.Query("gootherthread"), 1);
    // Output reached the interface thread before Go1 returned.
    EXPECT_EQ(output, QStringLiteral("Hi!"));
    EXPECT_EQ(outputThread, QThread::currentThread());
    EXPECT_EQ(script.Calls(QStringLiteral("DBG_READ_RAM")).size(), 0);
    EXPECT_EQ(script.Calls(QStringLiteral("DBG_GO1")), QStringList{QStringLiteral("DBG_GO1 16 1")});
    EXPECT_FALSE(proxy.GoPending());
    EXPECT_EQ(proxy.CallsInProgress(), 0);
}

TEST(DbgProxy, ScriptedStopsReturnInOrder)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    script.PushStop(0x100, 7, 1);
    script.PushStop(0x200, 8, 1);
    QString msg;
    quint32 pc = 0;
    quint8 w = 0;
    quint8 status = 0;
    ASSERT_TRUE(proxy.Go1(pc, w, status, 0, msg));
    EXPECT_EQ(pc, 0x100u);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(status, 1);
    ASSERT_TRUE(proxy.Go1(pc, w, status, 0, msg));
    EXPECT_EQ(pc, 0x200u);
    script.Fail("DBG_GO1", 1, "Target lost");
    EXPECT_FALSE(proxy.Go1(pc, w, status, 0, msg));
    EXPECT_EQ(msg, QStringLiteral("Target lost"));
}

TEST(DbgProxy, WarningsFromTheWorkerAreAnsweredOnTheInterfaceThread)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    QString shown;
    QThread *askedOn = nullptr;
    proxy.OnWarning = [&](const QString &text, const QString &caption) {
        shown = caption + QLatin1Char('|') + text;
        askedOn = QThread::currentThread();
        return false;   // go on
    };
    QString msg;
    ASSERT_TRUE(proxy.SetWarningCallback(msg));
    script.SetText("warning", "Low battery");
    script.PushStop(1, 0, 1);
    quint32 pc = 0;
    quint8 w = 0;
    quint8 status = 0;
    ASSERT_TRUE(proxy.Go1(pc, w, status, 0, msg));
    EXPECT_EQ(shown, QStringLiteral("Script warning|Low battery"));
    EXPECT_EQ(askedOn, QThread::currentThread());
    EXPECT_EQ(script.Query("warninganswer"), 0);
    // Without a handler the warning stops.
    proxy.OnWarning = nullptr;
    script.PushStop(1, 0, 1);
    ASSERT_TRUE(proxy.Go1(pc, w, status, 0, msg));
    EXPECT_EQ(script.Query("warninganswer"), 1);
}

TEST(DbgProxy, DownloadReportsProgressFromTheWorker)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    QList<int> progress;
    proxy.OnProgress = [&](int percent) { progress << percent; };
    QString msg;
    EXPECT_TRUE(proxy.DownloadToTarget(QStringLiteral("/tmp/blink.cof"), msg));
    EXPECT_EQ(progress, (QList<int>{0, 25, 50, 75, 100}));
    EXPECT_EQ(script.Query("downloadotherthread"), 1);
    EXPECT_EQ(script.Calls(QStringLiteral("DBG_DOWNLOAD")), QStringList{QStringLiteral("DBG_DOWNLOAD_TO_TARGET /tmp/blink.cof 1")});
}

TEST(DbgProxy, UnloadRequestStopsAPendingGoAndEndsEveryCall)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    bool freeAtOnce = true;
    Later(50, [&] { freeAtOnce = proxy.RequestUnload(); });
    quint32 pc = 0;
    quint8 w = 0;
    quint8 status = 0;
    QString msg;
    EXPECT_THROW(proxy.Go1(pc, w, status, 0, msg), TRequestUnloadException);
    EXPECT_FALSE(freeAtOnce);   // Go1 was still pending when it was asked
    EXPECT_EQ(script.Calls(QStringLiteral("DBG_STOP")).size(), 1);
    EXPECT_EQ(proxy.CallsInProgress(), 0);
    EXPECT_TRUE(proxy.RequestUnload());
    // Every later call ends before it reaches the library.
    const int before = script.Calls().size();
    EXPECT_THROW(proxy.Reset(msg), TRequestUnloadException);
    EXPECT_EQ(script.Calls().size(), before);
}

TEST(DbgProxy, ProgressAnswersStopOnceUnloading)
{
    TScriptDbg script;
    TDbgProxy proxy(script.Path());
    script.SetInt("downloadms", 30);
    Later(40, [&] { proxy.RequestUnload(); });
    QString msg;
    EXPECT_THROW(proxy.DownloadToTarget(QStringLiteral("/tmp/x.hex"), msg), TRequestUnloadException);
    EXPECT_EQ(script.Query("progressanswer"), 0);
}

TEST(DbgProxy, ALibraryThatIgnoresStopCanBeGivenUp)
{
    TScriptDbg script;   // keeps the library loaded for the thread given up
    {
        TDbgProxy proxy(script.Path());
        script.SetInt("ignorestop", 1);
        Later(30, [&] { proxy.RequestUnload(); });
        Later(120, [&] {
            EXPECT_TRUE(proxy.WorkerPending());
            proxy.AbandonPendingCall();
        });
        quint32 pc = 0;
        quint8 w = 0;
        quint8 status = 0;
        QString msg;
        EXPECT_THROW(proxy.Go1(pc, w, status, 0, msg), TRequestUnloadException);
        EXPECT_TRUE(proxy.Abandoned());
        EXPECT_EQ(proxy.CallsInProgress(), 0);
    }
    // The library's thread finishes on its own time; nothing of the proxy is touched.
    EXPECT_EQ(script.Query("gorunning"), 1);
    script.Release();
    for (int i = 0; i < 200 && script.Query("gorunning"); ++i)
        QThread::msleep(5);
    EXPECT_EQ(script.Query("gorunning"), 0);
    QCoreApplication::processEvents();
}

TEST(WatchProxy, LoadErrors)
{
    const QString missing = QStringLiteral("/nonexistent/watch/vynwatch.so");
    EXPECT_EQ(WatchLoadError(missing), QStringLiteral("Couldn't load the watch library. The file \"") + missing
                                           + QStringLiteral("\" couldn't be found."));
    const QString notWatch = ScriptLibPath("scriptdbg");
    EXPECT_EQ(WatchLoadError(notWatch), QStringLiteral("The file \"") + notWatch
                                            + QStringLiteral("\" doesn't seem to be a valid watch library."));
    EXPECT_EQ(TWatchProxy::LibraryPath(QStringLiteral("/opt/kiv/watch/")),
              QStringLiteral("/opt/kiv/watch/vynwatch.so"));
}

TEST(WatchProxy, CoffErrorTextNamesTheSystemError)
{
    EXPECT_EQ(TWatchProxy::CoffErrorText(0x0200, QStringLiteral("/p/a.cof")),
              QStringLiteral("Error loading the COF file (Watch Error #0x00000200) /p/a.cof: ")
                  + QString::fromLocal8Bit(strerror(2)));
    EXPECT_EQ(TWatchProxy::CoffErrorText(0x12345678, QStringLiteral("/p/a.cof")),
              QStringLiteral("Error loading the COF file (Watch Error #0x12345678) /p/a.cof"));
}

namespace {

int32_t Memory(void *context, int32_t address, int32_t count, uint8_t **data)
{
    auto *ram = static_cast<std::vector<uint8_t> *>(context);
    if (address < 0 || size_t(address + count) > ram->size())
        return 0;
    *data = ram->data() + address;
    return 1;
}

}  // namespace

TEST(WatchProxy, SymbolQuestions)
{
    TScriptWatch watch;
    watch.AddFile(QStringLiteral("/p/main.c"));
    watch.AddFile(QStringLiteral("/p/lib.c"));
    watch.AddLine(1, 12, 40, 0x33);
    watch.AddFunction("delay", 0x30, 0x3F);
    watch.AddSymbol("count", 0x21, 2);
    TWatchProxy proxy(watch.Path());
    QString name;
    EXPECT_TRUE(proxy.GetFilename(1, name));
    EXPECT_EQ(name, QStringLiteral("/p/lib.c"));
    EXPECT_FALSE(proxy.GetFilename(2, name));
    TWatchLine where;
    where.address = 0x33;
    ASSERT_TRUE(proxy.FindLine(wfAddressToLine, where));
    EXPECT_EQ(where.fileNumber, 1);
    EXPECT_EQ(where.line, 12);
    EXPECT_EQ(where.listLine, 40);
    quint32 exit = 0;
    EXPECT_TRUE(proxy.FindFunction(0x35, exit, name));
    EXPECT_EQ(name, QStringLiteral("delay"));
    EXPECT_EQ(exit, 0x3Fu);
    std::vector<uint8_t> ram(64, 0);
    ram[0x21] = 0x2A;
    QString value;
    EXPECT_TRUE(proxy.Evaluate(1, 12, QStringLiteral("count,h"), value, 255, &Memory, &ram));
    EXPECT_EQ(value, QStringLiteral("0x2A"));
    EXPECT_FALSE(proxy.Evaluate(1, 12, QStringLiteral("nothing"), value, 255, &Memory, &ram));
    EXPECT_TRUE(value.startsWith(QStringLiteral("ERROR")));
}
