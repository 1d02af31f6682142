#include "tool_runner.h"

#include <cerrno>
#include <chrono>
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

TToolResult RunTool(const std::vector<std::string> &argv, const std::string &workDir, int timeoutMs,
                    std::size_t maxOutput)
{
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

    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();
    if (spawnError != 0) {
        result.failure = std::strerror(spawnError);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[8192];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{readEnd.Get(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 1000)));
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
        result.output.append(buffer, std::min<std::size_t>(room, static_cast<std::size_t>(n)));
    }
    int status = 0;
    bool reaped = false;
    // A program that closed its output may still be running: give it the rest of the time.
    while (!timedOut) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            reaped = true;
            break;
        }
        if (r < 0 && errno != EINTR)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            break;
        }
        ::usleep(2000);
    }
    if (!reaped) {
        if (timedOut)
            ::kill(pid, SIGKILL);
        if (WaitForChild(pid, &status) != 0) {
            result.failure = std::string("lost track of the program: ") + std::strerror(errno);
            return result;
        }
    }
    if (timedOut) {
        result.failure = "did not finish within " + std::to_string(timeoutMs / 1000) + " seconds";
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
