// kivsimgen: writes the simulator's device table (a C++ source) from the device data that
// gputils ships: the processor list of `gpasm -s` (core, banks, common and linear RAM, program
// size, configuration words and the watchdog/stack settings) and the .inc headers (register
// addresses, unimplemented RAM, the bits of the registers the simulator gives behaviour to,
// and which pins of each port exist).
//
//   kivsimgen [--gpasm PATH] [--headers DIR] --out FILE.cpp
//
// Each device becomes one text block of lines that the simulator reads when the device is
// chosen (see simdevice.cpp for the line forms).

#include "devicemap.h"
#include "gputilsdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>

using namespace kiv::devgen;

namespace {

QTextStream &Err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString Hex(uint32_t value)
{
    return QString::number(value, 16).toUpper();
}

// Registers whose bits the simulator needs by name.
bool WantsBits(const QString &reg)
{
    static const QRegularExpression rx(QStringLiteral(
        "^(STATUS|OPTION_REG|OPTION|INTCON\\d?|PIR\\d*|PIE\\d*|IPR\\d*|RCON|PCON\\d?|T[0-9]CON|"
        "TX\\d?STA\\d?|RC\\d?STA\\d?|BAUDCO?N\\d?|BAUD\\dCON|BAUDCTL|EECON1|NVMCON1|WDTCON\\d?|STKPTR|T\\dGCON|ADCON\\d|ANSEL|FVRCON)$"));
    return rx.match(reg).hasMatch();
}

// Registers of which only the set of named bit positions is needed: ports, latches, tris.
bool WantsMask(const QString &reg)
{
    static const QRegularExpression rx(QStringLiteral("^(PORT[A-K]|TRIS[A-K]|LAT[A-K]|GPIO|TRISIO|ANSEL[A-K]?H?)$"));
    return rx.match(reg).hasMatch();
}

// The configuration settings the simulator acts on.
bool WantsDirective(const QString &name)
{
    static const QRegularExpression rx(QStringLiteral("^(WDT|WDTE|WDTEN|WDTPS|STVREN|STVR|XINST|MCLRE)$"));
    return rx.match(name).hasMatch();
}

QString DeviceText(const TGpProcessor &p, const TIncHeader &h)
{
    QStringList lines;
    lines << QStringLiteral("core ") + p.coreClass;
    const bool pic18 = p.coreClass == QLatin1String("PIC16E");
    if (pic18)
        lines << QStringLiteral("bank 256 16");
    else
        lines << QStringLiteral("bank %1 %2").arg(p.bankSize).arg(std::max(1, p.bankCount));
    if (p.commonRam)
        lines << QStringLiteral("common %1 %2").arg(Hex(p.commonRam->first), Hex(p.commonRam->second));
    if (p.linearRam)
        lines << QStringLiteral("linear %1 %2").arg(Hex(p.linearRam->first), Hex(p.linearRam->second));
    if (p.accessSplit)
        lines << QStringLiteral("split ") + Hex(*p.accessSplit);
    const int maxRam = h.maxRam >= 0 ? h.maxRam : p.maxRam;
    if (maxRam >= 0)
        lines << QStringLiteral("maxram ") + Hex(uint32_t(maxRam));
    const uint32_t words = p.programSizeInBytes ? p.programSize / 2 : p.programSize;
    lines << QStringLiteral("prog %1").arg(words);
    if (p.eepromStart && p.eepromEnd && *p.eepromEnd >= *p.eepromStart)
        lines << QStringLiteral("ee %1 %2").arg(Hex(*p.eepromStart), Hex(*p.eepromEnd));
    for (const TGpConfigWord &word : p.configWords) {
        lines << QStringLiteral("cfg %1 %2 %3").arg(Hex(word.address), Hex(word.mask), Hex(word.defaultValue));
        for (const TGpDirective &d : word.directives) {
            if (!WantsDirective(d.name))
                continue;
            QString line = QStringLiteral("dir %1 %2").arg(d.name, Hex(word.address));
            for (const TGpOption &o : d.options)
                line += QStringLiteral(" %1=%2").arg(o.name, Hex(o.value));
            lines << line;
        }
    }
    // The port pin that is the MCLR input when MCLRE is on, from the configuration symbols'
    // comments ("RB3/MCLR pin function is MCLR").
    static const QRegularExpression pinRx(QStringLiteral("\\b(R[A-K][0-7]|GP[0-7])\\b"));
    for (auto it = h.comments.constBegin(); it != h.comments.constEnd(); ++it) {
        if (!it.key().startsWith(QLatin1String("_MCLRE_")))
            continue;
        if (const auto m = pinRx.match(it.value()); m.hasMatch()) {
            lines << QStringLiteral("mclr ") + m.captured(1);
            break;
        }
    }
    for (const auto &range : h.badRam)
        lines << QStringLiteral("bad %1 %2").arg(Hex(uint32_t(range.first)), Hex(uint32_t(range.second)));

    // Registers by address, then name, so the output does not depend on hash order.
    QList<QPair<uint32_t, QString>> regs;
    for (auto it = h.registers.constBegin(); it != h.registers.constEnd(); ++it)
        regs.append({it.value(), it.key()});
    std::sort(regs.begin(), regs.end());
    for (const auto &r : regs)
        lines << QStringLiteral("r %1 %2").arg(Hex(r.first), r.second);

    QStringList bitRegs = h.bits.keys();
    bitRegs.sort();
    for (const QString &reg : bitRegs) {
        const QHash<QString, int> &bits = h.bits[reg];
        if (WantsBits(reg)) {
            QList<QPair<int, QString>> sorted;
            for (auto b = bits.constBegin(); b != bits.constEnd(); ++b)
                sorted.append({b.value(), b.key()});
            std::sort(sorted.begin(), sorted.end());
            QString line = QStringLiteral("b ") + reg;
            for (const auto &b : sorted)
                line += QStringLiteral(" %1=%2").arg(b.second).arg(b.first);
            lines << line;
        } else if (WantsMask(reg)) {
            uint32_t mask = 0;
            for (auto b = bits.constBegin(); b != bits.constEnd(); ++b)
                if (b.value() < 8)
                    mask |= 1u << b.value();
            lines << QStringLiteral("m %1 %2").arg(reg, Hex(mask));
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString gpasm = QStringLiteral("gpasm");
    QString headers = QStringLiteral("/usr/share/gputils/header");
    QString out;
    const QStringList args = app.arguments().mid(1);
    for (int n = 0; n < args.size(); ++n) {
        const QString &a = args[n];
        if (a == QLatin1String("--gpasm") && n + 1 < args.size())
            gpasm = args[++n];
        else if (a == QLatin1String("--headers") && n + 1 < args.size())
            headers = args[++n];
        else if (a == QLatin1String("--out") && n + 1 < args.size())
            out = args[++n];
        else {
            Err() << "usage: kivsimgen [--gpasm PATH] [--headers DIR] --out FILE.cpp\n";
            return 2;
        }
    }
    if (out.isEmpty()) {
        Err() << "kivsimgen: no --out file\n";
        return 2;
    }

    QProcess list;
    list.start(gpasm, {QStringLiteral("-s")});
    if (!list.waitForFinished(60000) || list.exitStatus() != QProcess::NormalExit) {
        Err() << "kivsimgen: cannot run " << gpasm << " -s: " << list.errorString() << '\n';
        return 1;
    }
    const QList<TGpProcessor> processors = ParseProcessorList(QString::fromLatin1(list.readAllStandardOutput()));

    QByteArray code;
    code += "// Generated by kivsimgen from gputils' device data; do not edit.\n"
            "#include \"simdevice_data.h\"\n\n"
            "namespace kiv::sim {\n\n"
            "const TSimDeviceEntry kSimDeviceTable[] = {\n";
    int count = 0;
    int skipped = 0;
    for (const TGpProcessor &p : processors) {
        static const QStringList cores{"PIC12", "PIC12E", "PIC14", "PIC14E", "PIC16E"};
        const QString name = DeviceNameOf(p.ProcessorName());
        QFile headerFile(QDir(headers).filePath(p.headerFile));
        if (name.isEmpty() || !cores.contains(p.coreClass) || p.programSize == 0 || p.headerFile.isEmpty()
            || !headerFile.open(QIODevice::ReadOnly)) {
            ++skipped;
            continue;
        }
        const TIncHeader header = ParseIncHeader(QString::fromLatin1(headerFile.readAll()));
        const QString text = DeviceText(p, header);
        code += "    {\"" + name.toLatin1() + "\", \"" + p.ProcessorName().toLatin1() + "\", R\"KIVSIM(" + text.toLatin1()
                + ")KIVSIM\"},\n";
        ++count;
    }
    code += "};\n\nconst int kSimDeviceCount = " + QByteArray::number(count) + ";\n\n}  // namespace kiv::sim\n";

    QDir().mkpath(QFileInfo(out).absolutePath());
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(code) != code.size() || !file.commit()) {
        Err() << "kivsimgen: cannot write " << out << ": " << file.errorString() << '\n';
        return 1;
    }
    QTextStream(stdout) << "kivsimgen: " << count << " devices, " << skipped << " entries left out\n";
    return count > 0 ? 0 : 1;
}
