// kivtool VERB [ARGS...] — the IDE's window-free tools from the command line.

#include "kivtool.h"

#include "pc_chipr.h"
#include "pc_dirs.h"

#include <QCoreApplication>

#include <cstdio>

namespace kiv::tool {

QTextStream &Out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &Err()
{
    static QTextStream stream(stderr);
    return stream;
}

int FindDeviceArgument(const QStringList &args, const char *verb, const char *usage,
                       QLatin1String option, QString &optionFile, DeviceRecord &device)
{
    QString file = UtilsDir() + QStringLiteral("devices.dat");
    QString name;
    bool bad = false;
    for (int n = 0; n < args.size() && !bad; ++n) {
        const QString &a = args[n];
        if (a == QLatin1String("--file") && n + 1 < args.size())
            file = args[++n];
        else if (a == option && n + 1 < args.size())
            optionFile = args[++n];
        else if (!a.startsWith(QLatin1String("--")) && name.isEmpty())
            name = a;
        else
            bad = true;
    }
    if (bad || name.isEmpty()) {
        Err() << "usage: " << usage << '\n';
        return 2;
    }
    SetDeviceFile(file);
    if (!FindDevice(name, device)) {
        Err() << "kivtool " << verb << ": no device \"" << name << "\" in " << file << '\n';
        return 1;
    }
    return 0;
}

int VerbCod(const QStringList &args);
int VerbCompile(const QStringList &args);
int VerbDevices(const QStringList &args);
int VerbSim(const QStringList &args);
int VerbFind(const QStringList &args);
int VerbReplace(const QStringList &args);
int VerbDisasm(const QStringList &args);
int VerbCompare(const QStringList &args);
int VerbFuses(const QStringList &args);
int VerbAdc(const QStringList &args);
int VerbWizard(const QStringList &args);
int VerbEval(const QStringList &args);
int VerbHexinfo(const QStringList &args);
int VerbLines(const QStringList &args);
int VerbDebug(const QStringList &args);
int VerbCalibrate(const QStringList &args);
int VerbTool(const QStringList &args);

namespace {

struct TVerb {
    const char *name;
    const char *usage;
    const char *summary;
    int (*run)(const QStringList &args);
};

int VerbDirs(const QStringList &)
{
    Out() << "InstallDir          " << InstallDir() << '\n'
          << "DllDir              " << DllDir() << '\n'
          << "UtilsDir            " << UtilsDir() << '\n'
          << "CompilerDir         " << CompilerDir() << '\n'
          << "CompilerProgramDir  " << CompilerProgramDir() << '\n'
          << "WatchDir            " << WatchDir() << '\n'
          << "DebuggerProfilesDir " << DebuggerProfilesDir() << '\n'
          << "SettingsFilePath    " << SettingsFilePath() << '\n';
    return 0;
}

// One line per verb; verbs arrive with the tools they drive.
const TVerb kVerbs[] = {
    {"dirs", "dirs", "print the installation directories the IDE uses", &VerbDirs},
    {"compile", "compile PATH.pjt", "compile a project with the selected edition", &VerbCompile},
    {"devices", "devices [--kinds 0,1,3] [NAME]", "list device names, or print one device record", &VerbDevices},
    {"find", "find [--case] [--word] PATTERN PATH...", "print the lines that hold PATTERN as file:line:text", &VerbFind},
    {"replace", "replace [--case] [--word] PATTERN REPLACEMENT FILE...", "replace PATTERN in files, keeping encodings and line ends", &VerbReplace},
    {"disasm", "disasm --family 12|14|16|24 IN.hex [OUT]", "disassemble a HEX file (--labels, --numbers, --binary, --inhx16)", &VerbDisasm},
    {"compare", "compare [--ignore-case] FILE1 FILE2", "line differences in diff's normal form; exit 0 same, 1 different", &VerbCompare},
    {"fuses", "fuses NAME", "print the fuse groups the wizard offers for a device", &VerbFuses},
    {"adc", "adc NAME", "print the analog options the wizard offers for a device", &VerbAdc},
    {"wizard", "wizard --device NAME [--set CONTROL=VALUE ...] OUT.c", "write the project wizard's C file, header and project", &VerbWizard},
    {"lines", "lines FILE.cod|FILE.cof", "print the line table of a debug file (file, line, address)", &VerbLines},
    {"eval", "eval FILE EXPR --ram ADDR:BYTES", "evaluate an expression with the watch library over RAM bytes", &VerbEval},
    {"cod", "cod FILE.cod [OUT]", "write the COD dump report of a debug file", &VerbCod},
    {"hexinfo", "hexinfo FILE.hex", "print what the comment lines of a HEX file say", &VerbHexinfo},
    {"sim", "sim --device NAME PROG.hex [--cycles N] [--trace N] [--uart]", "run a program in the simulator; print the final PC, W and cycles", &VerbSim},
    {"debug", "debug PATH.pjt [--debugger NAME] [COMMAND...]", "a debug session without a window: step, over, run, break, watch, ram, periph, stack, snapshot", &VerbDebug},
    {"calibrate", "calibrate 512|1024|2048|14000 IN.hex OUT", "write the #rom include file of a windowed part's calibration words", &VerbCalibrate},
    {"tool", "tool [--run] SLOT [BASE]", "expand (or start) a programmer or debugger slot's command line; --template TEXT for one's own", &VerbTool},
};

void PrintHelp()
{
    Out() << "usage: kivtool VERB [ARGS...]\n\nverbs:\n";
    for (const TVerb &verb : kVerbs) {
        const QString usage = QString::fromLatin1(verb.usage);
        // A long usage gets its own line.
        if (usage.size() >= 36)
            Out() << "  " << usage << '\n' << QString(38, QLatin1Char(' ')) << verb.summary << '\n';
        else
            Out() << "  " << usage.leftJustified(36) << verb.summary << '\n';
    }
}

}  // namespace

}  // namespace kiv::tool

int main(int argc, char **argv)
{
    using namespace kiv::tool;
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("KIV_EXE"))
        kiv::SetExecutablePathForDirs(QStringLiteral(KIV_STAGE_DIR "/bin/kiv"));
    else
        kiv::SetExecutablePathForDirs(qEnvironmentVariable("KIV_EXE"));

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        PrintHelp();
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const TVerb &verb : kVerbs) {
        if (name == QLatin1String(verb.name)) {
            const int rc = verb.run(args);
            Out().flush();
            Err().flush();
            return rc;
        }
    }
    Err() << "kivtool: unknown verb \"" << name << "\"; kivtool --help lists them\n";
    return 2;
}
