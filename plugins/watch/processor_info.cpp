#include "processor_info.h"

#include "byte_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kiv::watch {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(std::string_view text)
{
    std::size_t a = 0;
    std::size_t b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    return std::string(text.substr(a, b - a));
}

// The value after "KEY" and a colon or blanks on the first line that starts with it.
std::string FieldOf(const std::string &output, const std::string &key)
{
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        if (line.starts_with(key)) {
            std::string value = line.substr(key.size());
            const std::size_t colon = value.find(':');
            if (colon != std::string::npos && Trimmed(value.substr(0, colon)).empty())
                value = value.substr(colon + 1);
            return Trimmed(value);
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

bool RunCapture(const std::vector<std::string> &argv, std::string *output, int timeoutMs)
{
    output->clear();
    if (argv.empty())
        return false;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (output->size() < (1u << 20))
            output->append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string CoffProcessorName(const TDebugInfo &info, const std::string &coffPath)
{
    for (const TDebugSourceFile &file : info.Files()) {
        const std::string base = Lower(fs::path(file.stored).filename().string());
        // gputils' headers are named p + the processor + ".inc"; user headers rarely are.
        if (base.size() > 6 && base[0] == 'p' && base.ends_with(".inc") && std::isdigit(static_cast<unsigned char>(base[1]))) {
            const std::string name = base.substr(1, base.size() - 5);
            for (const std::string &folder : HeaderFolders()) {
                std::error_code ec;
                if (fs::is_regular_file(fs::path(folder) / base, ec))
                    return name;
            }
        }
    }
    std::string output;
    if (RunCapture({"gpvo", "-f", coffPath}, &output))
        return Lower(FieldOf(output, "Processor Type"));
    return {};
}

TProgramCore ProcessorCore(const std::string &processor)
{
    if (processor.empty())
        return TProgramCore::pcUnknown;
    std::string output;
    if (RunCapture({"gpasm", "-s", "-p", processor}, &output)) {
        const std::string gpasmClass = FieldOf(output, "Class");
        if (gpasmClass.starts_with("PIC12"))
            return TProgramCore::pc12Bit;
        if (gpasmClass.starts_with("PIC14"))
            return TProgramCore::pc14Bit;
        if (gpasmClass == "PIC16E")
            return TProgramCore::pcPic18;
    }
    return GuessCoreFromName(processor);
}

std::vector<std::string> HeaderFolders()
{
    return {"/usr/share/gputils/header", "/usr/local/share/gputils/header"};
}

std::vector<TSfr> ParseSfrHeader(std::string_view text)
{
    std::vector<TSfr> sfrs;
    bool inRegisters = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.starts_with(";-----")) {
            // ";----- Register Files ---" opens the part, ";-----Bank1---" stays in it, and the
            // next titled part (";----- STATUS Bits ---") closes it.
            if (line.find("Register Files") != std::string::npos)
                inRegisters = true;
            else if (inRegisters && line.find("Bank") == std::string::npos)
                break;
            continue;
        }
        if (!inRegisters || line.empty() || line[0] == ';')
            continue;
        // NAME EQU H'0006'
        std::size_t a = 0;
        while (a < line.size() && !std::isspace(static_cast<unsigned char>(line[a])))
            ++a;
        const std::string name = line.substr(0, a);
        const std::string rest = Trimmed(std::string_view(line).substr(a));
        if (!Lower(rest).starts_with("equ"))
            continue;
        const std::string value = Trimmed(std::string_view(rest).substr(3));
        if (value.size() < 4 || (value[0] != 'H' && value[0] != 'h') || value[1] != '\'')
            continue;
        const std::size_t close = value.find('\'', 2);
        if (close == std::string::npos)
            continue;
        try {
            std::size_t used = 0;
            const unsigned long address = std::stoul(value.substr(2, close - 2), &used, 16);
            if (used == close - 2)
                sfrs.push_back({name, static_cast<std::uint32_t>(address)});
        } catch (const std::exception &) {
        }
    }
    return sfrs;
}

std::vector<TSfr> ReadSfrs(const std::string &processor)
{
    if (processor.empty())
        return {};
    std::string name = Lower(processor);
    if (name.starts_with("pic"))
        name = name.substr(3);
    for (const std::string &folder : HeaderFolders()) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!ReadFileBytes((fs::path(folder) / ("p" + name + ".inc")).string(), 4u << 20, &bytes, &error))
            continue;
        return ParseSfrHeader(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    }
    return {};
}

}  // namespace kiv::watch
