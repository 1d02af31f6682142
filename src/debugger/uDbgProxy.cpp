#include "uDbgProxy.h"

#include "libtext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

namespace kiv {

namespace {

const char kBusy[] = "The debugger library is busy: the target is running.";

}  // namespace

/// What the library's call-backs and the worker thread reach the interface thread through. It
/// is a plain object shared by the proxy and its worker calls, so a thread that was given up can
/// still use it after the proxy is gone; whatever runs on the interface thread is posted to the
/// application object, which outlives every proxy.
class TDbgCallbackHub {
public:
    TDbgProxy *proxy = nullptr;          // interface thread only; none once the proxy is gone
    QThread *thread = nullptr;           // the interface thread
    std::atomic<bool> stopping{false};   // read by the progress function on the worker
};

namespace {

std::mutex g_hubMutex;
std::shared_ptr<TDbgCallbackHub> g_hub;   // the hub of the loaded debugger library

std::shared_ptr<TDbgCallbackHub> CurrentHub()
{
    std::lock_guard<std::mutex> lock(g_hubMutex);
    return g_hub;
}

std::shared_ptr<TDbgCallbackHub> MakeHub()
{
    auto hub = std::make_shared<TDbgCallbackHub>();
    hub->thread = QThread::currentThread();
    return hub;
}

/// Runs `function` on the interface thread, later; dropped when the application is gone.
template <typename F>
void Post(F function)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(function), Qt::QueuedConnection);
}

}  // namespace

/// One call on the worker thread. It owns every buffer the library writes to, so a call that
/// was given up can go on writing without touching the caller's (long gone) frame.
class TDbgWorkerCall {
public:
    std::thread thread;
    std::shared_ptr<TDbgCallbackHub> hub;
    QEventLoop *loop = nullptr;   // interface thread only
    bool finished = false;        // interface thread only, set by the posted completion
    bool abandoned = false;
    int32_t result = 0;

    // Arguments and results of the call.
    std::string text;
    char msg[kDbgTextSize] = {};
    uint32_t pc = 0;
    uint8_t w = 0;
    uint8_t status = 0;
    uint8_t byte = 0;
    int32_t value = 0;
};

/// Counts one library call, and raises TRequestUnloadException before it when an unload was
/// asked and after it (Done) when one was asked meanwhile.
class TDbgCallGuard {
public:
    explicit TDbgCallGuard(TDbgProxy &proxy)
        : m_proxy(proxy)
    {
        if (m_proxy.m_unloadRequested)
            throw TRequestUnloadException();
        m_proxy.Enter();
    }
    ~TDbgCallGuard()
    {
        if (!m_done)
            m_proxy.Leave();
    }
    void Done()
    {
        m_done = true;
        m_proxy.Leave();
        if (m_proxy.m_unloadRequested)
            throw TRequestUnloadException();
    }

private:
    TDbgProxy &m_proxy;
    bool m_done = false;
};

TDbgProxy::TDbgProxy(const QString &path)
    : m_path(path)
    , m_library(path)
{
    if (!QFileInfo(path).isFile() || !m_library.load()) {
        QString text = QStringLiteral("Couldn't load the debugging library. The file \"") + path
                       + QStringLiteral("\" couldn't be found.");
        // A file that is there but does not load gets the loader's reason as well.
        if (QFileInfo(path).isFile())
            text += QLatin1Char('\n') + m_library.errorString();
        throw TLibraryLoadError(text);
    }
    m_name = Resolve<TDbgName>("DBG_NAME");
    m_getOptions = Resolve<TDbgGetOptions>("DBG_GET_OPTIONS");
    m_establishCommunication = Resolve<TDbgEstablishCommunication>("DBG_ESTABLISH_COMMUNICATION");
    m_setDirectory = Resolve<TDbgSetDirectory>("DBG_SET_DIRECTORY");
    m_setWarningCallback = Resolve<TDbgSetWarningCallback>("DBG_SET_WARNING_CALLBACK");
    m_startLog = Resolve<TDbgMsgOnly>("DBG_STARTLOG");
    m_reset = Resolve<TDbgMsgOnly>("DBG_RESET");
    m_stop = Resolve<TDbgMsgOnly>("DBG_STOP");
    m_getTargetName = Resolve<TDbgGetTargetName>("DBG_GET_TARGET_NAME");
    m_forceChip = Resolve<TDbgForceChip>("DBG_FORCE_CHIP");
    m_getSupportedTargets = Resolve<TDbgGetSupportedTargets>("DBG_GET_SUPPORTED_TARGETS");
    m_readRevision = Resolve<TDbgReadRevision>("DBG_READ_REVISION");
    m_palexDeactivate = Resolve<TDbgPalexDeactivate>("DBG_PALEX_DEACTIVATE");
    m_palexSetTarget = Resolve<TDbgPalexSetTarget>("DBG_PALEX_SET_TARGET");
    m_setEraseMode = Resolve<TDbgSetEraseMode>("DBG_SET_ERASE_MODE");
    m_readVdd = Resolve<TDbgReadDouble>("DBG_READ_VDD");
    m_getClockSpeed = Resolve<TDbgReadDouble>("DBG_GET_CLOCK_SPEED");
    m_downloadToTarget = Resolve<TDbgDownloadToTarget>("DBG_DOWNLOAD_TO_TARGET");
    m_getVerificationResults = Resolve<TDbgGetVerificationResults>("DBG_GET_VERIFICATION_RESULTS");
    m_go1 = Resolve<TDbgGo1>("DBG_GO1");
    m_step = Resolve<TDbgStep>("DBG_STEP");
    m_setBreak = Resolve<TDbgBreak>("DBG_SET_BREAK");
    m_clearBreak = Resolve<TDbgBreak>("DBG_CLEAR_BREAK");
    m_readRam = Resolve<TDbgReadRam>("DBG_READ_RAM");
    m_writeRam = Resolve<TDbgWriteRam>("DBG_WRITE_RAM");
    m_validRam = Resolve<TDbgValidRam>("DBG_VALID_RAM");
    m_readEeprom = Resolve<TDbgReadEeprom>("DBG_READ_EEPROM");
    m_writeEeprom = Resolve<TDbgWriteEeprom>("DBG_WRITE_EEPROM");
    m_readStack = Resolve<TDbgReadStack>("DBG_READ_STACK");
    m_setTargetOutput = Resolve<TDbgSetTargetOutput>("DBG_SET_TARGET_OUTPUT");
    m_sendTargetInput = Resolve<TDbgSendTargetInput>("DBG_SEND_TARGET_INPUT");
    m_launchConfiguration = Resolve<TDbgLaunchConfiguration>("DBG_LAUNCH_CONFIGURATION");
    // The exports the IDE never calls must be there all the same.
    for (int i = 0; i < kDbgExportCount; ++i)
        Resolve<void (*)()>(kDbgExportNames[i]);

    auto hub = MakeHub();
    hub->proxy = this;
    std::lock_guard<std::mutex> lock(g_hubMutex);
    g_hub = std::move(hub);
}

TDbgProxy::~TDbgProxy()
{
    {
        std::lock_guard<std::mutex> lock(g_hubMutex);
        if (g_hub && g_hub->proxy == this) {
            g_hub->proxy = nullptr;
            g_hub->stopping = true;
            g_hub.reset();
        }
    }
    if (m_worker) {
        // Only an abandoned call can still be out there; it keeps its own buffers.
        m_worker->loop = nullptr;
        if (m_worker->thread.joinable())
            m_worker->thread.detach();
    }
    if (!m_abandoned && m_library.isLoaded())
        m_library.unload();
}

template <typename T>
T TDbgProxy::Resolve(const char *name)
{
    auto function = reinterpret_cast<T>(m_library.resolve(name));
    if (!function) {
        const QString text = QStringLiteral("The file \"") + m_path
                             + QStringLiteral("\" doesn't seem to be a valid VYN debugging library. ")
                             + QStringLiteral("The function ") + QString::fromLatin1(name)
                             + QStringLiteral(" coudln't be found");
        m_library.unload();
        throw TLibraryLoadError(text);
    }
    return function;
}

QString TDbgProxy::LibraryName(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QLibrary library(path);
    if (!library.load())
        return {};
    QString name;
    if (auto function = reinterpret_cast<TDbgName>(library.resolve("DBG_NAME"))) {
        char buffer[kDbgTextSize] = {};
        function(buffer);
        name = LibraryText(buffer, kDbgTextSize);
    }
    library.unload();
    return name;
}

void TDbgProxy::Enter()
{
    ++m_calls;
}

void TDbgProxy::Leave()
{
    --m_calls;
}

bool TDbgProxy::RefuseWhileBusy(QString &msg)
{
    if (!m_worker)
        return false;
    msg = QString::fromLatin1(kBusy);
    return true;
}

bool TDbgProxy::RequestUnload()
{
    if (!m_unloadRequested) {
        m_unloadRequested = true;
        if (auto hub = CurrentHub(); hub && hub->proxy == this)
            hub->stopping = true;
        // A pending Go1 returns once the target is stopped; the count then drops to 0.
        if (m_goPending) {
            char buffer[kDbgTextSize] = {};
            ++m_calls;
            m_stop(buffer, kDbgMessageCapacity);
            --m_calls;
        }
    }
    return m_calls == 0;
}

void TDbgProxy::AbandonPendingCall()
{
    if (!m_worker)
        return;
    m_abandoned = true;
    m_worker->abandoned = true;
    if (m_worker->loop)
        m_worker->loop->quit();
}

int32_t TDbgProxy::RunOnWorker(std::function<int32_t()> call)
{
    // `call` works on m_worker's buffers only; see TDbgWorkerCall.
    const std::shared_ptr<TDbgWorkerCall> worker = m_worker;
    worker->hub = CurrentHub();
    if (!worker->hub)
        worker->hub = MakeHub();
    QEventLoop loop;
    worker->loop = &loop;
    worker->thread = std::thread([worker, call] {
        worker->result = call();
        Post([worker] {
            worker->finished = true;
            if (worker->loop)
                worker->loop->quit();
        });
    });
    Q_EMIT CallsChanged();
    // The interface keeps running here; commands that arrive meanwhile (Halt, Disable, window
    // refreshes) see WorkerPending() and GoPending().
    while (!worker->finished && !worker->abandoned)
        loop.exec();
    worker->loop = nullptr;
    if (worker->abandoned) {
        worker->thread.detach();
        m_worker.reset();
        Q_EMIT CallsChanged();
        throw TRequestUnloadException();
    }
    worker->thread.join();
    m_worker.reset();
    Q_EMIT CallsChanged();
    return worker->result;
}

// --- call-backs ------------------------------------------------------------------------------

int32_t TDbgProxy::WarningEntry(const char *text, const char *caption)
{
    const QString warning = LibraryText(text, 4096);
    const QString title = LibraryText(caption, kDbgTextSize);
    const std::shared_ptr<TDbgCallbackHub> hub = CurrentHub();
    if (!hub || hub->stopping)
        return 1;
    auto ask = [hub, warning, title]() -> int32_t {
        TDbgProxy *proxy = hub->proxy;
        if (!proxy || proxy->m_unloadRequested || !proxy->OnWarning)
            return 1;
        return proxy->OnWarning(warning, title) ? 1 : 0;
    };
    if (QThread::currentThread() == hub->thread)
        return ask();
    // The interface thread waits in the worker call's event loop (or in a dialog's), so it
    // takes this request; it never blocks on the worker without running its events.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return 1;
    int32_t answer = 1;
    QMetaObject::invokeMethod(app, [&answer, ask] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
}

void TDbgProxy::CharacterEntry(uint8_t character)
{
    const std::shared_ptr<TDbgCallbackHub> hub = CurrentHub();
    if (!hub)
        return;
    auto deliver = [hub, character] {
        if (TDbgProxy *proxy = hub->proxy; proxy && proxy->OnCharacter)
            proxy->OnCharacter(char(character));
    };
    if (QThread::currentThread() == hub->thread)
        deliver();
    else
        Post(deliver);
}

int32_t TDbgProxy::ProgressEntry(int32_t percent, int32_t, const char *)
{
    const std::shared_ptr<TDbgCallbackHub> hub = CurrentHub();
    if (!hub || hub->stopping)
        return 0;
    auto deliver = [hub, percent] {
        if (TDbgProxy *proxy = hub->proxy; proxy && proxy->OnProgress)
            proxy->OnProgress(percent);
    };
    if (QThread::currentThread() == hub->thread)
        deliver();
    else
        Post(deliver);
    return 1;
}

// --- the operations --------------------------------------------------------------------------

namespace {

/// A message buffer for one call.
struct TMsg {
    char text[kDbgTextSize] = {};
    QString Text() const { return LibraryText(text, kDbgTextSize); }
};

QByteArray PathBytes(const QString &path)
{
    return QFile::encodeName(path);
}

}  // namespace

template <typename F>
bool TDbgProxy::CallWithMessage(QString &msg, F &&call)
{
    TDbgCallGuard guard(*this);
    if (RefuseWhileBusy(msg)) {
        guard.Done();
        return false;
    }
    TMsg m;
    const int32_t ok = call(m.text);
    guard.Done();
    msg = m.Text();
    return ok != 0;
}

bool TDbgProxy::Name(QString &name)
{
    TDbgCallGuard guard(*this);
    QString busy;
    if (RefuseWhileBusy(busy)) {
        guard.Done();
        return false;
    }
    char buffer[kDbgTextSize] = {};
    const int32_t ok = m_name(buffer);
    guard.Done();
    name = LibraryText(buffer, kDbgTextSize);
    return ok != 0;
}

bool TDbgProxy::GetOptions(QStringList &rows)
{
    TDbgCallGuard guard(*this);
    QString busy;
    if (RefuseWhileBusy(busy)) {
        guard.Done();
        return false;
    }
    std::vector<char> buffer(size_t(kDbgOptionRows) * kDbgTextSize, '\0');
    int32_t count = 0;
    const int32_t ok = m_getOptions(buffer.data(), &count);
    guard.Done();
    rows.clear();
    count = std::clamp<int32_t>(count, 0, kDbgOptionRows);
    for (int i = 0; i < count; ++i)
        rows << LibraryText(buffer.data() + size_t(i) * kDbgTextSize, kDbgTextSize);
    return ok != 0;
}

bool TDbgProxy::EstablishCommunication(const QString &settingsFile, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_establishCommunication(PathBytes(settingsFile).constData(), text, kDbgMessageCapacity);
    });
}

void TDbgProxy::SetDirectory(const QString &devicesDat)
{
    TDbgCallGuard guard(*this);
    QString busy;
    if (!RefuseWhileBusy(busy))
        m_setDirectory(PathBytes(devicesDat).constData());
    guard.Done();
}

bool TDbgProxy::SetWarningCallback(QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_setWarningCallback(&TDbgProxy::WarningEntry, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::StartLog(QString &msg)
{
    return CallWithMessage(msg, [&](char *text) { return m_startLog(text, kDbgMessageCapacity); });
}

bool TDbgProxy::Reset(QString &msg)
{
    return CallWithMessage(msg, [&](char *text) { return m_reset(text, kDbgMessageCapacity); });
}

bool TDbgProxy::Stop(QString &msg)
{
    // Stop is meant for a pending worker call.
    TDbgCallGuard guard(*this);
    TMsg m;
    const int32_t ok = m_stop(m.text, kDbgMessageCapacity);
    guard.Done();
    msg = m.Text();
    return ok != 0;
}

bool TDbgProxy::GetTargetName(QString &name, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        char buffer[kDbgTextSize] = {};
        const int32_t ok = m_getTargetName(buffer, kDbgMessageCapacity, 1, text, kDbgMessageCapacity);
        name = LibraryText(buffer, kDbgTextSize);
        return ok;
    });
}

bool TDbgProxy::ForceChip(const QString &name, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_forceChip(name.toLatin1().constData(), text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::GetSupportedTargets(quint8 &families, QString &msg)
{
    uint8_t bits = 0;
    uint8_t other = 0;
    return CallWithMessage(msg, [&](char *text) {
        const int32_t ok = m_getSupportedTargets(&bits, &other, text, kDbgMessageCapacity);
        families = bits;
        return ok;
    });
}

bool TDbgProxy::ReadRevision(quint8 &revision, QString &msg)
{
    uint8_t value = 0;
    return CallWithMessage(msg, [&](char *text) {
        const int32_t ok = m_readRevision(&value, text, kDbgMessageCapacity);
        revision = value;
        return ok;
    });
}

bool TDbgProxy::PalexDeactivate(QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_palexDeactivate(2, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::PalexSetTarget(char character, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_palexSetTarget(uint8_t(character), 500, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::SetEraseMode(quint8 eraseMode, quint8 programMode, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_setEraseMode(eraseMode, programMode, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ReadVdd(double &volts, QString &msg)
{
    double value = 0;
    return CallWithMessage(msg, [&](char *text) {
        const int32_t ok = m_readVdd(0, &value, text, kDbgMessageCapacity);
        volts = value;
        return ok;
    });
}

bool TDbgProxy::GetClockSpeed(double &mhz, QString &msg)
{
    double value = 0;
    return CallWithMessage(msg, [&](char *text) {
        const int32_t ok = m_getClockSpeed(0, &value, text, kDbgMessageCapacity);
        mhz = value;
        return ok;
    });
}

bool TDbgProxy::DownloadToTarget(const QString &file, QString &msg)
{
    TDbgCallGuard guard(*this);
    if (RefuseWhileBusy(msg)) {
        guard.Done();
        return false;
    }
    const auto worker = std::make_shared<TDbgWorkerCall>();
    m_worker = worker;
    TDbgWorkerCall *call = worker.get();
    call->text = PathBytes(file).toStdString();
    call->byte = 1;
    const TDbgDownloadToTarget function = m_downloadToTarget;
    const int32_t ok = RunOnWorker([call, function] {
        return function(call->text.c_str(), &call->byte, &TDbgProxy::ProgressEntry, call->msg,
                        kDbgMessageCapacity);
    });
    // RunOnWorker ran the call to its end: the buffers are ours again.
    msg = LibraryText(call->msg, kDbgTextSize);
    guard.Done();
    return ok != 0;
}

bool TDbgProxy::GetVerificationResults(QString *text, int &count, QString &msg)
{
    TDbgCallGuard guard(*this);
    if (RefuseWhileBusy(msg)) {
        guard.Done();
        return false;
    }
    TMsg m;
    const QByteArray initial = msg.toLatin1().left(kDbgMessageCapacity);
    std::memcpy(m.text, initial.constData(), size_t(initial.size()));
    int32_t n = 0;
    int32_t ok = 0;
    if (text) {
        // The caller asks with the count it got first: count + 1 characters.
        std::vector<char> buffer(size_t(std::max(count, 0)) + 1, '\0');
        n = count;
        ok = m_getVerificationResults(buffer.data(), int32_t(buffer.size()), &n, m.text);
        *text = LibraryText(buffer.data(), int(buffer.size()));
    } else {
        ok = m_getVerificationResults(nullptr, 0, &n, m.text);
    }
    guard.Done();
    count = n;
    msg = m.Text();
    return ok != 0;
}

bool TDbgProxy::Go1(quint32 &pc, quint8 &w, quint8 &status, quint8 mode, QString &msg)
{
    TDbgCallGuard guard(*this);
    if (RefuseWhileBusy(msg)) {
        guard.Done();
        return false;
    }
    const auto worker = std::make_shared<TDbgWorkerCall>();
    m_worker = worker;
    TDbgWorkerCall *call = worker.get();
    call->pc = pc;
    call->w = w;
    call->byte = mode;
    const TDbgGo1 function = m_go1;
    m_goPending = true;
    struct PendingFlag {
        bool &flag;
        ~PendingFlag() { flag = false; }
    } pending{m_goPending};
    const int32_t ok = RunOnWorker([call, function] {
        return function(&call->pc, &call->w, &call->status, call->msg, kDbgMessageCapacity, call->byte);
    });
    pc = call->pc;
    w = call->w;
    status = call->status;
    msg = LibraryText(call->msg, kDbgTextSize);
    guard.Done();
    return ok != 0;
}

bool TDbgProxy::Step(quint32 &pc, quint8 &w, QString &msg)
{
    uint32_t p = pc;
    uint8_t value = w;
    return CallWithMessage(msg, [&](char *text) {
        const int32_t ok = m_step(&p, &value, 0, text, kDbgMessageCapacity);
        pc = p;
        w = value;
        return ok;
    });
}

bool TDbgProxy::SetBreak(qint32 address, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_setBreak(address, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ClearBreak(qint32 address, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_clearBreak(address, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ReadRam(int address, int count, quint8 *data, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_readRam(address, count, data, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::WriteRam(int address, int count, const quint8 *data, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_writeRam(address, count, data, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ValidRam(int count, quint8 *valid, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_validRam(0, count, valid, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ReadEeprom(int address, int count, quint8 *data, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_readEeprom(1, address, count, data, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::WriteEeprom(int address, int count, const quint8 *data, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        return m_writeEeprom(1, address, count, data, text, kDbgMessageCapacity);
    });
}

bool TDbgProxy::ReadStack(int &count, quint32 *entries, QString &msg)
{
    return CallWithMessage(msg, [&](char *text) {
        int32_t n = entries ? count : 0;
        const int32_t ok = m_readStack(&n, entries, text, kDbgMessageCapacity);
        // Never more entries than the caller has room for.
        count = entries ? std::clamp<int32_t>(n, 0, count) : std::max<int32_t>(n, 0);
        return ok;
    });
}

bool TDbgProxy::SetTargetOutput()
{
    TDbgCallGuard guard(*this);
    QString busy;
    if (RefuseWhileBusy(busy)) {
        guard.Done();
        return false;
    }
    const int32_t ok = m_setTargetOutput(&TDbgProxy::CharacterEntry);
    guard.Done();
    return ok != 0;
}

bool TDbgProxy::SendTargetInput(char character, QString &msg)
{
    // Typed characters reach a running target: allowed while Go1 is pending.
    TDbgCallGuard guard(*this);
    TMsg m;
    const int32_t ok = m_sendTargetInput(uint8_t(character), m.text, kDbgMessageCapacity);
    guard.Done();
    msg = m.Text();
    return ok != 0;
}

bool TDbgProxy::LaunchConfiguration(const QString &folder, QString &msg)
{
    TDbgCallGuard guard(*this);
    if (RefuseWhileBusy(msg)) {
        guard.Done();
        return false;
    }
    const auto worker = std::make_shared<TDbgWorkerCall>();
    m_worker = worker;
    TDbgWorkerCall *call = worker.get();
    call->text = PathBytes(folder).toStdString();
    const TDbgLaunchConfiguration function = m_launchConfiguration;
    const int32_t ok = RunOnWorker([call, function] {
        return function(call->text.c_str(), &call->value, call->msg, kDbgMessageCapacity);
    });
    msg = LibraryText(call->msg, kDbgTextSize);
    guard.Done();
    return ok != 0;
}

}  // namespace kiv
