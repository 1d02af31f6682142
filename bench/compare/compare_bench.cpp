// File compare against GNU diff on the same files, in one run:
//   compare_200k  two generated 200,000-line files with about 1 % scattered changes (lines
//                 inserted, deleted and changed at seeded random places)
// Ours reads both files, compares them and writes the differences in diff's normal form to a
// file; the peer is `diff A B > OUT`. Each side's time is the best of several runs.

#include "fastfc.h"

#include <sys/wait.h>
#include <spawn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

extern char **environ;

namespace {

template <typename F>
double Best(int runs, F &&run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

bool WriteText(const std::string &path, const std::string &text)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// Runs `diff a b` with its output in `out`; the exit status.
int RunDiff(const std::string &a, const std::string &b, const std::string &out)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char *argv[] = {"diff", a.c_str(), b.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "diff", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main()
{
    const std::string folder = (std::filesystem::temp_directory_path() / "kivbench_compare").string();
    std::filesystem::create_directories(folder);
    std::mt19937 random(200000);
    static const char *const kCode[] = {"{", "}", "", "    return 0;", "    i++;", "    x = y + 1;", "#include <pic.h>"};
    std::string one, two;
    one.reserve(200000 * 24);
    two.reserve(200000 * 24);
    for (int i = 0; i < 200000; ++i) {
        const std::string line = random() % 2 ? std::string(kCode[random() % 7])
                                              : "    value_" + std::to_string(random() % 5000) + " = " + std::to_string(i) + ";";
        one += line + '\n';
        const unsigned r = random() % 1000;
        if (r < 3)
            continue;  // deleted
        if (r < 6)
            two += "    inserted_" + std::to_string(random()) + "();\n";
        if (r < 10) {
            two += "    changed_" + std::to_string(random()) + "();\n";
            continue;
        }
        two += line + '\n';
    }
    const std::string a = folder + "/a.c", b = folder + "/b.c";
    if (!WriteText(a, one) || !WriteText(b, two)) {
        std::fprintf(stderr, "compare_200k: cannot write the files in %s\n", folder.c_str());
        return 1;
    }

    bool ok = true;
    int deleted = 0, inserted = 0;
    auto runOurs = [&] {
        kiv::TTextLines x, y;
        std::string error;
        ok = kiv::ReadFileBytes(a, &x.text, &error) && kiv::ReadFileBytes(b, &y.text, &error) && ok;
        x.Split();
        y.Split();
        std::vector<int> keysX, keysY;
        kiv::LineKeys(x.lines, y.lines, &keysX, &keysY);
        ok = WriteText(folder + "/ours.diff", kiv::NormalDiff(x, y, keysX, keysY, &deleted, &inserted)) && ok;
    };
    int status = 0;
    auto runPeer = [&] { status = RunDiff(a, b, folder + "/peer.diff"); };
    // Runs alternate, so that a busy machine slows both sides alike; the best of each counts.
    double ours = 1e9, peer = 1e9;
    for (int i = 0; i < 15; ++i) {
        ours = std::min(ours, Best(1, runOurs));
        peer = std::min(peer, Best(1, runPeer));
    }
    std::filesystem::remove_all(folder);
    if (!ok || status != 1) {
        std::fprintf(stderr, "compare_200k: %s\n", ok ? "diff did not run (is diffutils installed?)" : "our run failed");
        return 1;
    }
    std::printf("compare_200k ours=%.6f peer=%.6f ratio=%.3f\n", ours, peer, ours / peer);
    return 0;
}
