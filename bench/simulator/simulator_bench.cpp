// The simulator against gpsim on the same 10-million-cycle programs:
//   sim_pic16_10M  a PIC16F877A loop with calls, bank switches and indirect access;
//   sim_pic18_10M  a PIC18F452 loop with table reads, multiplies, indirect moves and calls.
// gpasm builds both programs. Ours loads the HEX file and runs 10,000,000 instruction cycles in
// the engine; the peer is `gpsim -i -I script` loading the same file and running to a cycle break
// at 10,000,000. The times are processor seconds (user + system), the median of five runs: on a
// machine shared with other work, wall-clock times mostly measure the wait for a processor. The
// peer's time includes its start-up, measured alone and taken off.

#include "simcore.h"
#include "simload.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr uint64_t kCycles = 10'000'000;

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

// Processor seconds of one gpsim run of `script`, its output thrown away.
double TimeGpsim(const QString &script)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    QByteArray path = QFile::encodeName(script);
    char name[] = "gpsim";
    char cli[] = "-i";
    char include[] = "-I";
    char *argv[] = {name, cli, include, path.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "gpsim", &actions, nullptr, argv, environ) != 0) {
        std::perror("gpsim");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return Seconds(usage);
}

bool WriteText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

void Measure(const char *name, const char *device, const char *processor, const char *source, const QString &work)
{
    const QString asmFile = QStringLiteral(KIV_BENCH_SOURCE_DIR "/") + QString::fromLatin1(source);
    const QString hex = work + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".hex");
    QProcess gpasm;
    gpasm.setProcessChannelMode(QProcess::MergedChannels);
    gpasm.start(QStringLiteral("gpasm"), {QStringLiteral("-o"), hex, asmFile});
    gpasm.waitForFinished(60000);
    if (gpasm.exitCode() != 0 || !QFile::exists(hex)) {
        std::fprintf(stderr, "%s: gpasm failed: %s\n", name, gpasm.readAll().constData());
        std::exit(1);
    }
    const QString script = work + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".stc");
    const QString empty = work + QStringLiteral("/empty.stc");
    if (!WriteText(script, QStringLiteral("processor %1\nload %2\nbreak c %3\nrun\nquit\n")
                               .arg(QString::fromLatin1(processor), hex)
                               .arg(kCycles)
                               .toLocal8Bit())
        || !WriteText(empty, QStringLiteral("processor %1\nload %2\nquit\n")
                                 .arg(QString::fromLatin1(processor), hex)
                                 .toLocal8Bit())) {
        std::fprintf(stderr, "%s: cannot write the gpsim scripts\n", name);
        std::exit(1);
    }
    const kiv::sim::TSimDevice *part = kiv::sim::FindSimDevice(device);
    if (!part) {
        std::fprintf(stderr, "%s: no device %s\n", name, device);
        std::exit(1);
    }
    std::vector<double> ours, peer;
    for (int run = 0; run < 5; ++run) {
        const double before = SelfSeconds();
        kiv::sim::TSimulator sim(*part);
        std::string error;
        if (!kiv::sim::LoadHexFile(sim, hex.toStdString(), error)) {
            std::fprintf(stderr, "%s: %s\n", name, error.c_str());
            std::exit(1);
        }
        sim.Run(kCycles);
        ours.push_back(SelfSeconds() - before);
        if (sim.Cycles() < kCycles) {
            std::fprintf(stderr, "%s: the engine stopped at cycle %llu\n", name,
                         static_cast<unsigned long long>(sim.Cycles()));
            std::exit(1);
        }
        peer.push_back(std::max(0.0, TimeGpsim(script) - TimeGpsim(empty)));
    }
    const double o = Median(ours);
    const double p = Median(peer);
    std::printf("%s ours=%.6f peer=%.6f ratio=%.3f\n", name, o, p, p > 0 ? o / p : 0.0);
    std::fflush(stdout);
}

}  // namespace

int main()
{
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "kivbench_simulator: no temporary folder\n");
        return 1;
    }
    Measure("sim_pic16_10M", "PIC16F877A", "p16f877a", "bench_pic16.asm", work.path());
    Measure("sim_pic18_10M", "PIC18F452", "p18f452", "bench_pic18.asm", work.path());
    return 0;
}
