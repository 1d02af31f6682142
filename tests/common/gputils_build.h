#pragma once

// Small programs built by the real gputils tools for tests of the debug file readers: gpasm
// alone (absolute: .hex, .cod, .lst) or gpasm -c and gplink -c -m (relocatable: .o, .cof, .cod,
// .map, .lst, .hex), in the newer COFF format or the old one (gpasm -C), and the peers' own
// views of the results (gpvc, gpvo).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <vector>

namespace kiv::test {

/// True when gpasm, gplink, gpvc and gpvo can be run.
inline bool GputilsAvailable()
{
    for (const char *tool : {"gpasm", "gplink", "gpvc", "gpvo"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    return true;
}

/// Runs a program in `folder` and returns what it printed (standard output and error).
inline QByteArray RunProgram(const QStringList &command, const QString &folder, int *exitCode = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(command.front(), command.mid(1));
    process.waitForFinished(60000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAll();
}

struct TBuiltProgram {
    QString folder;
    QString base;        ///< folder + name without extension
    bool ok = false;
    QByteArray log;      ///< what the tools printed
    QString Path(const char *extension) const { return base + "." + QString::fromLatin1(extension); }
};

enum class TBuildKind { bkAbsolute, bkRelocatable, bkRelocatableOldCoff };

/// Writes NAME.asm into `folder` and builds it; extra gpasm options (e.g. "-g") may be given.
inline TBuiltProgram BuildProgram(const QString &folder, const QString &name, const QByteArray &source,
                                  TBuildKind kind, const QStringList &gpasmOptions = {})
{
    TBuiltProgram built;
    built.folder = folder;
    built.base = QDir(folder).filePath(name);
    QDir().mkpath(folder);
    QFile file(built.Path("asm"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(source) != source.size())
        return built;
    file.close();
    int exitCode = -1;
    QStringList gpasm = {"gpasm"};
    if (kind != TBuildKind::bkAbsolute)
        gpasm << "-c";
    if (kind == TBuildKind::bkRelocatableOldCoff)
        gpasm << "-C";
    gpasm << gpasmOptions << name + ".asm";
    built.log += RunProgram(gpasm, folder, &exitCode);
    if (exitCode != 0)
        return built;
    if (kind != TBuildKind::bkAbsolute) {
        built.log += RunProgram({"gplink", "-c", "-m", "-o", name + ".hex", name + ".o"}, folder, &exitCode);
        if (exitCode != 0)
            return built;
    }
    built.ok = true;
    return built;
}

/// A test program for one core: its processor and its source.
struct TTestProgram {
    const char *name;
    const char *core;        ///< "12-bit", "14-bit", "PIC18"
    TBuildKind kind;
    const char *source;
};

/// Programs for each core, absolute and relocatable, old and new COFF. Each includes its
/// processor's header (a second source file) and has data, a called routine and a loop.
inline const std::vector<TTestProgram> &TestPrograms()
{
    static const char *const kR12 =
        "        list p=12f508\n"
        "        include \"p12f508.inc\"\n"
        "        udata\n"
        "count   res 1\n"
        "pair    res 2\n"
        "        global count\n"
        "rst     code 0\n"
        "        goto main\n"
        "prog    code\n"
        "main    clrf count\n"
        "loop    incf count,f\n"
        "        call sub\n"
        "        movwf pair\n"
        "        goto loop\n"
        "sub     retlw 5\n"
        "        end\n";
    static const char *const kA12 =
        "        list p=12f508\n"
        "        include \"p12f508.inc\"\n"
        "        cblock 0x10\n"
        "        count\n"
        "        pair:2\n"
        "        endc\n"
        "        org 0\n"
        "start   clrf count\n"
        "loop    incf count,f\n"
        "        call sub\n"
        "        movwf pair\n"
        "        goto loop\n"
        "sub     retlw 5\n"
        "        end\n";
    static const char *const kR14 =
        "        list p=16f877a\n"
        "        include \"p16f877a.inc\"\n"
        "        udata\n"
        "count   res 1\n"
        "buf     res 4\n"
        "big     res 2\n"
        "        global count, main, sub\n"
        "rst     code 0\n"
        "        pagesel main\n"
        "        goto main\n"
        "prog    code\n"
        "main    clrf count\n"
        "loop    incf count,f\n"
        "        call sub\n"
        "        movwf buf\n"
        "        goto loop\n"
        "sub     movlw 5\n"
        "        addwf count,w\n"
        "        return\n"
        "        end\n";
    static const char *const kA14 =
        "        list p=16f84a\n"
        "        include \"p16f84a.inc\"\n"
        "        cblock 0x0c\n"
        "        cnt\n"
        "        tmp:2\n"
        "        endc\n"
        "        org 0\n"
        "        goto start\n"
        "        org 4\n"
        "isr     retfie\n"
        "start   clrf cnt\n"
        "loop    incf cnt,f\n"
        "        call sub\n"
        "        goto loop\n"
        "sub     movlw 5\n"
        "        movwf tmp\n"
        "        return\n"
        "        end\n";
    static const char *const kR18 =
        "        list p=18f452\n"
        "        include \"p18f452.inc\"\n"
        "        udata\n"
        "v1      res 1\n"
        "v2      res 2\n"
        "        global v1, main, fn\n"
        "rst     code 0\n"
        "        goto main\n"
        "prog    code\n"
        "main    clrf v1,A\n"
        "loop    incf v1,f,A\n"
        "        rcall fn\n"
        "        call fn\n"
        "        bra loop\n"
        "fn      movlw 3\n"
        "        movwf v2,A\n"
        "        return\n"
        "        end\n";
    static const char *const kA18 =
        "        list p=18f452\n"
        "        include \"p18f452.inc\"\n"
        "        cblock 0x20\n"
        "        cnt\n"
        "        tmp:2\n"
        "        endc\n"
        "        org 0\n"
        "        goto start\n"
        "        org 8\n"
        "isr     retfie FAST\n"
        "start   clrf cnt,A\n"
        "loop    incf cnt,f,A\n"
        "        call sub\n"
        "        bra loop\n"
        "sub     movlw 5\n"
        "        movwf tmp,A\n"
        "        return\n"
        "        end\n";
    static const std::vector<TTestProgram> programs = {
        {"r12", "12-bit", TBuildKind::bkRelocatable, kR12},
        {"o12", "12-bit", TBuildKind::bkRelocatableOldCoff, kR12},
        {"a12", "12-bit", TBuildKind::bkAbsolute, kA12},
        {"r14", "14-bit", TBuildKind::bkRelocatable, kR14},
        {"o14", "14-bit", TBuildKind::bkRelocatableOldCoff, kR14},
        {"a14", "14-bit", TBuildKind::bkAbsolute, kA14},
        {"r18", "PIC18", TBuildKind::bkRelocatable, kR18},
        {"o18", "PIC18", TBuildKind::bkRelocatableOldCoff, kR18},
        {"a18", "PIC18", TBuildKind::bkAbsolute, kA18},
    };
    return programs;
}

}  // namespace kiv::test
