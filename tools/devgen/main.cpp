// kivdevgen: builds the installation's utils/devices.dat, lumo/fuses.txt and lumo/KIV.HT from
// the device data that gputils ships (`gpasm -s`, the .inc headers, and the processor number gpasm
// writes into a COFF object for each processor).
//
//   kivdevgen --gpasm PATH --headers DIR --out-dir DIR [--verbose]
//
// It prints one line that counts what it wrote and what did not fit; --verbose lists the
// devices and fuse names left out before it.

#include "devgen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace kiv;
using namespace kiv::devgen;

namespace {

QTextStream &Err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool SaveFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        Err() << "kivdevgen: cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

// The COFF processor numbers of the given gpasm processor names: each is assembled from an
// empty source into an object, a few at a time.
QHash<QString, uint16_t> ProcessorIds(const QString &gpasm, const QStringList &processors, const QString &work)
{
    QHash<QString, uint16_t> ids;
    const QString source = work + QStringLiteral("/empty.asm");
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly))
            return ids;
        file.write(" end\n");
    }
    constexpr int kParallel = 4;
    for (int first = 0; first < processors.size(); first += kParallel) {
        QList<QProcess *> running;
        QStringList names;
        for (int n = first; n < std::min<int>(first + kParallel, processors.size()); ++n) {
            auto *process = new QProcess;
            process->setWorkingDirectory(work);
            process->setProcessChannelMode(QProcess::MergedChannels);
            const QString object = QStringLiteral("%1/id%2.o").arg(work).arg(n);
            process->start(gpasm, {QStringLiteral("-c"), QStringLiteral("-q"), QStringLiteral("-p"), processors[n],
                                   QStringLiteral("-o"), object, source});
            running << process;
            names << processors[n];
        }
        for (int n = 0; n < running.size(); ++n) {
            QProcess *process = running[n];
            process->waitForFinished(30000);
            const QString object = QStringLiteral("%1/id%2.o").arg(work).arg(first + n);
            QFile file(object);
            if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0
                && file.open(QIODevice::ReadOnly)) {
                if (const auto id = CoffProcessorType(file.readAll()); id && *id <= 0xFFFF)
                    ids.insert(names[n], uint16_t(*id));
            }
            file.remove();
            delete process;
        }
    }
    return ids;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString gpasm = QStringLiteral("gpasm");
    QString headers = QStringLiteral("/usr/share/gputils/header");
    QString outDir = QStringLiteral(".");
    bool verbose = false;
    const QStringList args = app.arguments().mid(1);
    for (int n = 0; n < args.size(); ++n) {
        const QString &a = args[n];
        if (a == QLatin1String("--gpasm") && n + 1 < args.size())
            gpasm = args[++n];
        else if (a == QLatin1String("--headers") && n + 1 < args.size())
            headers = args[++n];
        else if (a == QLatin1String("--out-dir") && n + 1 < args.size())
            outDir = args[++n];
        else if (a == QLatin1String("--verbose"))
            verbose = true;
        else {
            Err() << "usage: kivdevgen [--gpasm PATH] [--headers DIR] [--out-dir DIR] [--verbose]\n";
            return 2;
        }
    }

    QProcess list;
    list.start(gpasm, {QStringLiteral("-s")});
    if (!list.waitForFinished(60000) || list.exitStatus() != QProcess::NormalExit) {
        Err() << "kivdevgen: cannot run " << gpasm << " -s: " << list.errorString() << '\n';
        return 1;
    }
    const QList<TGpProcessor> processors = ParseProcessorList(QString::fromLatin1(list.readAllStandardOutput()));
    if (processors.isEmpty()) {
        Err() << "kivdevgen: " << gpasm << " -s listed no processors\n";
        return 1;
    }

    QTemporaryDir work;
    if (!work.isValid()) {
        Err() << "kivdevgen: no temporary folder: " << work.errorString() << '\n';
        return 1;
    }
    QStringList idNames;
    for (const TGpProcessor &p : processors)
        idNames << p.ProcessorName();
    const QStringList sxNames{"sx18", "sx20", "sx28", "sx48", "sx52"};
    idNames << sxNames;
    const QHash<QString, uint16_t> ids = ProcessorIds(gpasm, idNames, work.path());

    TDeviceDatabaseBuilder builder;
    for (const TGpProcessor &p : processors) {
        const QString name = DeviceNameOf(p.ProcessorName());
        const auto kind = KindOfCoreClass(p.coreClass);
        QFile headerFile(QDir(headers).filePath(p.headerFile));
        QString why;
        if (name.isEmpty())
            why = QStringLiteral("a generic entry, not a device");
        else if (name.size() > devrec::nameMax)
            why = QStringLiteral("name longer than %1 characters").arg(devrec::nameMax);
        else if (!kind)
            why = QStringLiteral("core class %1 has no device kind").arg(p.coreClass);
        else if (!ids.contains(p.ProcessorName()))
            why = QStringLiteral("gpasm gave no processor number");
        else if (p.headerFile.isEmpty() || !headerFile.open(QIODevice::ReadOnly))
            why = QStringLiteral("no header file");
        if (!why.isEmpty()) {
            builder.CountLeftOut(p.ProcessorName(), why);
            continue;
        }
        const TIncHeader header = ParseIncHeader(QString::fromLatin1(headerFile.readAll()));
        TDeviceDraft draft;
        draft.record = BuildRecord(name, *kind, ids.value(p.ProcessorName()), p, header);
        draft.fuses = NameFuseSettings(p, *kind == dkPic18, header);
        draft.adc = DescribeAdc(header, draft.record);
        builder.AddDevice(draft);
    }
    for (const TDeviceDraft &sx : SxDevices(ids))
        builder.AddDevice(sx);
    builder.Build();

    QDir().mkpath(outDir);
    if (!SaveFile(QDir(outDir).filePath(QStringLiteral("devices.dat")), builder.DevicesDat())
        || !SaveFile(QDir(outDir).filePath(QStringLiteral("fuses.txt")), builder.FusesText())
        || !SaveFile(QDir(outDir).filePath(QStringLiteral("KIV.HT")), builder.AnalogText()))
        return 1;
    QTextStream out(stdout);
    if (verbose)
        for (const QString &line : builder.Details())
            out << line << '\n';
    out << builder.Counts().Summary() << '\n' << builder.Counts().GroupSummary() << '\n';
    return 0;
}
