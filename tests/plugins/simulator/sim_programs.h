#pragma once

// The simulator's test programs (tests/plugins/simulator/*.asm), assembled by gpasm into a
// temporary folder, and small helpers to run them in the engine.

#include "gputils_build.h"
#include "simcore.h"
#include "simload.h"
#include "testfiles.h"

#include <QDir>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace kiv::test {

/// The folder of the test programs.
inline QString SimProgramDir()
{
    return SourceDir() + QStringLiteral("/tests/plugins/simulator");
}

inline bool GpasmAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("gpasm")).isEmpty();
}

/// Assembles NAME.asm of the test programs into `folder`; the HEX file's path, empty on failure
/// (with gpasm's output in `log`).
inline QString AssembleSimProgram(const QString &folder, const QString &name, QByteArray *log = nullptr)
{
    const QByteArray source = ReadFile(SimProgramDir() + QLatin1Char('/') + name + QStringLiteral(".asm"));
    if (source.isEmpty())
        return {};
    const TBuiltProgram built = BuildProgram(folder, name, source, TBuildKind::bkAbsolute);
    if (log)
        *log = built.log;
    return built.ok ? built.Path("hex") : QString();
}

/// A simulator of `device` with the program at `hex` loaded; null when either fails.
inline std::unique_ptr<sim::TSimulator> LoadedSimulator(const char *device, const QString &hex, std::string *error = nullptr)
{
    const sim::TSimDevice *part = sim::FindSimDevice(device);
    if (!part)
        return nullptr;
    auto simulator = std::make_unique<sim::TSimulator>(*part);
    std::string message;
    if (!sim::LoadHexFile(*simulator, hex.toStdString(), message)) {
        if (error)
            *error = message;
        return nullptr;
    }
    return simulator;
}

/// The PC address of the first instruction that jumps to itself (the "done goto done" at the end
/// of a test program), UINT32_MAX when there is none.
inline uint32_t SelfLoop(const sim::TSimulator &s)
{
    for (uint32_t i = 0; i < s.ProgramWords(); ++i) {
        const uint16_t w = s.ProgramWord(i);
        switch (s.Core()) {
        case sim::TCore::Pic18:
            if (w == 0xD7FF)
                return i * 2;
            break;
        case sim::TCore::Pic12:
        case sim::TCore::Pic12E:
            if (w == (0xA00 | (i & 0x1FF)))
                return i;
            break;
        case sim::TCore::Pic14E:
            if (w == 0x33FF || w == (0x2800 | (i & 0x7FF)))
                return i;
            break;
        default:
            if (w == (0x2800 | (i & 0x7FF)))
                return i;
            break;
        }
    }
    return UINT32_MAX;
}

/// Runs until the program reaches its closing self loop, at most `limit` cycles; true when it got
/// there.
inline bool RunToEnd(sim::TSimulator &s, uint64_t limit = 2'000'000)
{
    const uint32_t end = SelfLoop(s);
    if (end == UINT32_MAX || !s.SetBreakpoint(end))
        return false;
    const sim::TStop stop = s.Run(limit);
    s.ClearBreakpoint(end);
    return stop == sim::TStop::Breakpoint && s.Pc() == end;
}

}  // namespace kiv::test
