// kivsfrgen: writes lumo/sfr.txt from gputils' device headers.

#include "devicemap.h"
#include "sfrgen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

using namespace kiv;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString headers = QStringLiteral("/usr/share/gputils/header");
    QString out = QStringLiteral("sfr.txt");
    const QStringList args = app.arguments().mid(1);
    for (int n = 0; n < args.size(); ++n) {
        if (args[n] == QLatin1String("--headers") && n + 1 < args.size())
            headers = args[++n];
        else if (args[n] == QLatin1String("--out") && n + 1 < args.size())
            out = args[++n];
        else {
            QTextStream(stderr) << "usage: kivsfrgen [--headers DIR] [--out FILE]\n";
            return 2;
        }
    }
    QList<QPair<QString, devgen::TIncHeader>> devices;
    const QFileInfoList files = QDir(headers).entryInfoList({QStringLiteral("p*.inc")}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        const QString device = devgen::DeviceNameOf(info.completeBaseName());
        if (device.isEmpty())
            continue;
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        devices.append({device, devgen::ParseIncHeader(QString::fromLatin1(file.readAll()))});
    }
    sfrgen::TSfrCounts counts;
    const QByteArray text = sfrgen::SfrText(devices, &counts);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        QTextStream(stderr) << "kivsfrgen: cannot write " << out << "\n";
        return 1;
    }
    QTextStream(stdout) << "sfr.txt: " << counts.devices << " devices, " << counts.registers << " registers, "
                        << counts.groups << " bit groups\n";
    return 0;
}
