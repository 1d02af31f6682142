#include "tool_runner.h"

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kiv::compiler {

namespace {

class TFd {
public:
    explicit TFd(int fd = -1) : m_fd(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    int Get() const { return m_fd; }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

std::atomic<bool> g_stop{false};

// How often a running tool looks for a stop request.
constexpr int kPollMs = 50;

// Ends the tool and whatever it started: it leads a process group of its own.
void KillGroup(pid_t pid)
{
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
}

int WaitForChild(pid_t pid, int *status)
{
    for (;;) {
        const pid_t r = ::waitpid(pid, status, 0);
        if (r == pid)
            return 0;
        if (r < 0 && errno == EINTR)
            continue;
        return -1;
    }
}

}  // namespace

void RequestToolStop()
{
    g_stop.store(true);
}

void ClearToolStop()
{
    g_stop.store(false);
}

bool ToolStopRequested()
{
    return g_stop.load();
}

int ToolTimeLimitMs()
{
    constexpr int kDefaultSeconds = 120;
    const char *text = std::getenv("KIV_TOOL_TIME_LIMIT");
    if (!text || !*text)
        return kDefaultSeconds * 1000;
    char *end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds < 1 || seconds > 86400)
        return kDefaultSeconds * 1000;
    return static_cast<int>(seconds) * 1000;
}

TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir, int timeoutMs,
                    std::size_t maxOutput)
{
    TToolLimits limits;
    limits.timeoutMs = timeoutMs;
    limits.maxOutput = maxOutput;
    return RunTool(argv, workDir, limits);
}

TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir,
                    const TToolLimits &limits)
{
    const int timeoutMs = limits.timeoutMs;
    const std::size_t maxOutput = limits.maxOutput;
    TToolResult result;
    if (argv.empty()) {
        result.failure = "no program given";
        return result;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.failure = std::string("can not create a pipe: ") + std::strerror(errno);
        return result;
    }
    TFd readEnd(fds[0]);
    TFd writeEnd(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 2);
    if (!workDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    if (ToolStopRequested()) {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        result.stopped = true;
        result.failure = "was stopped";
        return result;
    }
    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();
    if (spawnError != 0) {
        result.failure = std::strerror(spawnError);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // Why the program is being ended early, if it is.
    enum { keRunning, keTimedOut, keStopped, keEnough } ending = keRunning;
    auto checkEnding = [&] {
        if (ending != keRunning)
            return true;
        if (ToolStopRequested())
            ending = keStopped;
        else if (std::chrono::steady_clock::now() >= deadline)
            ending = keTimedOut;
        return ending != keRunning;
    };
    char buffer[8192];
    for (;;) {
        if (checkEnding())
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        pollfd pfd{readEnd.Get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::clamp<long long>(left, 0, kPollMs)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0)
            continue;
        const ssize_t n = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        if (n == 0)
            break;
        const std::size_t room = maxOutput > result.output.size() ? maxOutput - result.output.size() : 0;
        const std::size_t kept = std::min<std::size_t>(room, static_cast<std::size_t>(n));
        result.output.append(buffer, kept);
        if (kept > 0 && limits.enough && limits.enough(result.output)) {
            ending = keEnough;
            break;
        }
    }
    int status = 0;
    bool reaped = false;
    // A program that closed its output may still be running: give it the rest of the time.
    while (!checkEnding()) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            reaped = true;
            break;
        }
        if (r < 0 && errno != EINTR)
            break;
        ::usleep(2000);
    }
    if (!reaped) {
        if (ending != keRunning)
            KillGroup(pid);
        if (WaitForChild(pid, &status) != 0) {
            result.failure = std::string("lost track of the program: ") + std::strerror(errno);
            return result;
        }
    }
    switch (ending) {
    case keRunning:
        break;
    case keTimedOut:
        result.timedOut = true;
        result.failure = "did not finish within " + std::to_string(timeoutMs / 1000) + " seconds";
        return result;
    case keStopped:
        result.stopped = true;
        result.failure = "was stopped";
        return result;
    case keEnough:
        result.cutShort = true;
        result.failure = "was ended early";
        return result;
    }
    if (WIFEXITED(status)) {
        result.finished = true;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.failure = "ended by signal " + std::to_string(result.signal);
    }
    return result;
}

}  // namespace kiv::compiler
