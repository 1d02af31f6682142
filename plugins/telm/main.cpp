// telm: the serial port monitor the IDE's "Serial Port Monitor" command starts.

#include "telm_window.h"
#include "toolmain.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    kiv::PrepareToolPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telm"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serial port monitor: choose a port of the system (or type a device path), its baud rate,\n"
        "data bits, parity, stop bits and flow control; see received bytes as text or hexadecimal\n"
        "with time stamps; send typed text or hexadecimal bytes with a chosen line end; log what\n"
        "arrives to a file. Settings are kept between runs in\n  ")
        + kiv::DefaultTelmSettingsPath());
    parser.addHelpOption();
    parser.addOption({QStringLiteral("settings"), QStringLiteral("Keep the settings in this INI file instead."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Open this port at start."), QStringLiteral("name")});
    parser.addOption({QStringLiteral("baud"), QStringLiteral("With --port: the baud rate."), QStringLiteral("rate")});
    parser.addOption({QStringLiteral("shot"), QStringLiteral("Draw the window into a PNG file and exit."),
                      QStringLiteral("file")});
    parser.process(app);

    const QString settings = parser.isSet(QStringLiteral("settings")) ? parser.value(QStringLiteral("settings"))
                                                                      : kiv::DefaultTelmSettingsPath();
    kiv::Tftelm window(settings);
    if (parser.isSet(QStringLiteral("port"))) {
        window.findChild<QComboBox *>(QStringLiteral("port"))->setCurrentText(parser.value(QStringLiteral("port")));
        if (parser.isSet(QStringLiteral("baud")))
            window.findChild<QComboBox *>(QStringLiteral("baud"))->setCurrentText(parser.value(QStringLiteral("baud")));
        window.OpenOrClose();
    }
    return kiv::RunToolWindow(window, parser.value(QStringLiteral("shot")));
}
