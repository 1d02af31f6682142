// chipedit: the device editor (no arguments) and device selector ("+S") the IDE's Tools menu
// starts. It works on devices.dat beside itself unless --file names another.

#include "chipedit_window.h"
#include "toolmain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char **argv)
{
    kiv::PrepareToolPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("chipedit"));

    // "+S" is the IDE's way of asking for the selector; the parser takes it as an argument.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Device editor and selector for devices.dat.\n"
        "Without +S: browse every device (search by name, every field of the record, fuse groups\n"
        "with their choices, interrupts, ports and pins, memory sizes) and edit records; Save\n"
        "writes the file in one step and keeps the previous one as devices.BAK.\n"
        "With +S: choose a part by its features and copy its name to the clipboard."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("file"), QStringLiteral("The device file (default: devices.dat beside the program)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("device"), QStringLiteral("Start with this device chosen."), QStringLiteral("name")});
    parser.addOption({QStringLiteral("page"), QStringLiteral("Start on this page: 1 record, 2 fuses, 3 interrupts, 4 ports and pins, 5 memory."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("shot"), QStringLiteral("Draw the window into a PNG file and exit."),
                      QStringLiteral("file")});
    parser.addPositionalArgument(QStringLiteral("+S"), QStringLiteral("Start as the device selector."), QStringLiteral("[+S]"));
    parser.process(app);

    bool selector = false;
    for (const QString &arg : parser.positionalArguments()) {
        if (arg.compare(QLatin1String("+S"), Qt::CaseInsensitive) == 0) {
            selector = true;
        } else {
            std::fprintf(stderr, "chipedit: unknown argument %s (see --help)\n", qPrintable(arg));
            return 2;
        }
    }
    const QString path = parser.isSet(QStringLiteral("file"))
                             ? parser.value(QStringLiteral("file"))
                             : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("devices.dat"));
    kiv::Tfchipedit window(selector);
    QString error;
    // A file that cannot be read is reported in the window, which stays open empty.
    if (!window.Open(path, &error))
        std::fprintf(stderr, "chipedit: %s\n", qPrintable(error));
    if (parser.isSet(QStringLiteral("device")))
        window.Choose(parser.value(QStringLiteral("device")));
    if (parser.isSet(QStringLiteral("page"))) {
        auto *pages = window.findChild<QTabWidget *>(QStringLiteral("pages"));
        pages->setCurrentIndex(qBound(0, parser.value(QStringLiteral("page")).toInt() - 1, pages->count() - 1));
    }
    return kiv::RunToolWindow(window, parser.value(QStringLiteral("shot")));
}
