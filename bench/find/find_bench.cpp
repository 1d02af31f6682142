// Find in files against grep -rn on a seeded tree of 2,000 C files of 300 lines:
//   find_rare    a word on about thirty lines of the tree;
//   find_common  a word on about a third of the lines.
// Ours is the search kivtool find runs (walk, read, match, "file:line:text" lines written to a
// file); the peer is grep -rn writing to a file of its own. (Not /dev/null: grep notices it and
// stops at the first match of each file.) Both match case, as grep -rn does. The times are processor seconds (user + system) of our search and of the grep process,
// the median of five runs after one warm-up run that fills the page cache: on a machine shared
// with other work, wall-clock times mostly measure the wait for a processor.
// The line counts of both are compared first, so a fast wrong answer cannot pass.

#include "generated_tree.h"
#include "kivfif_search.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

double Seconds(const rusage &r)
{
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double SelfSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return Seconds(r);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The search of kivtool find, writing to `fd`; returns the number of lines printed.
qint64 Ours(const QByteArray &text, const QByteArray &folder, int fd)
{
    kiv::TFindOptions options;
    options.text = QString::fromLatin1(text);
    options.matchCase = true;
    kiv::TFileSearcher searcher(options);
    QByteArray out;
    qint64 lines = 0;
    kiv::WalkFolder(folder, true, [&](const QByteArray &path) {
        searcher.SearchFile(path, [&](const kiv::TLineMatch &m) {
            kiv::AppendGrepLine(out, path, m);
            ++lines;
        });
        if (out.size() >= (1 << 20)) {
            if (::write(fd, out.constData(), size_t(out.size())) < 0)
                std::perror("write");
            out.clear();
        }
        return true;
    });
    if (!out.isEmpty() && ::write(fd, out.constData(), size_t(out.size())) < 0)
        std::perror("write");
    return lines;
}

// grep -rn; returns the number of lines it printed.
qint64 Peer(const QByteArray &text, const QByteArray &folder)
{
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    grep.setProcessEnvironment(env);
    grep.start(QStringLiteral("grep"), {QStringLiteral("-rn"), QString::fromLatin1(text), QString::fromLocal8Bit(folder)});
    grep.waitForFinished(-1);
    return grep.readAllStandardOutput().count('\n');
}

// Processor seconds of one grep -rn writing to `out`.
double TimePeer(const QByteArray &text, const QByteArray &folder, int out)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    setenv("LC_ALL", "C", 1);
    QByteArray t = text;
    QByteArray f = folder;
    char rn[] = "-rn";
    char name[] = "grep";
    char *argv[] = {name, rn, t.data(), f.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "grep", &actions, nullptr, argv, environ) != 0) {
        std::perror("grep");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return Seconds(usage);
}

int Truncated(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
}

void Measure(const char *name, const QByteArray &text, const QByteArray &folder, const QString &scratch)
{
    const QString oursFile = scratch + QStringLiteral("/ours.txt");
    const QString peerFile = scratch + QStringLiteral("/peer.txt");
    int ourOut = Truncated(oursFile);
    const qint64 ours = Ours(text, folder, ourOut);
    const qint64 peer = Peer(text, folder);
    if (ours != peer) {
        std::fprintf(stderr, "%s: ours found %lld lines, grep %lld\n", name, static_cast<long long>(ours),
                     static_cast<long long>(peer));
        std::exit(1);
    }
    std::vector<double> a, b;
    for (int run = 0; run < 5; ++run) {
        ::close(ourOut);
        ourOut = Truncated(oursFile);
        const double before = SelfSeconds();
        Ours(text, folder, ourOut);
        a.push_back(SelfSeconds() - before);
        const int out = Truncated(peerFile);
        b.push_back(TimePeer(text, folder, out));
        ::close(out);
    }
    ::close(ourOut);
    const double o = Median(a);
    const double p = Median(b);
    std::printf("%s ours=%.6f peer=%.6f ratio=%.3f\n", name, o, p, p > 0 ? o / p : 0.0);
    std::fflush(stdout);
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("tree"));
    if (kiv::test::WriteGeneratedTree(root) < 0) {
        std::fprintf(stderr, "cannot write the tree under %s\n", qPrintable(root));
        return 1;
    }
    const QByteArray folder = QFile::encodeName(root);
    Measure("find_rare", kiv::test::RareWord(), folder, dir.path());
    Measure("find_common", kiv::test::CommonWord(), folder, dir.path());
    return 0;
}
