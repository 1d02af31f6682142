// dunet: the numeric converter the IDE's "Numeric Converter" command starts.

#include "dunet_window.h"
#include "toolmain.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char **argv)
{
    kiv::PrepareToolPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dunet"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Numeric converter: a number as decimal (signed or unsigned), hexadecimal, octal, binary\n"
        "and characters at 8, 16 or 32 bits, and as an IEEE 754 single beside the PIC compilers'\n"
        "32-bit float (exponent byte first). Typing in any field updates the others; text that is\n"
        "not a number of that field is marked and changes nothing."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("width"), QStringLiteral("Start at 8, 16 or 32 bits (default 32)."),
                      QStringLiteral("bits")});
    parser.addOption({QStringLiteral("signed"), QStringLiteral("Show the decimal field signed.")});
    parser.addOption({QStringLiteral("shot"), QStringLiteral("Draw the window into a PNG file and exit."),
                      QStringLiteral("file")});
    parser.addPositionalArgument(QStringLiteral("number"),
                                 QStringLiteral("A first value: decimal, or hexadecimal after 0x."));
    parser.process(app);

    kiv::Tfdunet window;
    kiv::TNumericConverter &converter = window.Converter();
    if (parser.isSet(QStringLiteral("width"))) {
        const int bits = parser.value(QStringLiteral("width")).toInt();
        if (bits != 8 && bits != 16 && bits != 32) {
            std::fprintf(stderr, "dunet: --width takes 8, 16 or 32\n");
            return 2;
        }
        converter.SetWidth(bits);
    }
    converter.SetSigned(parser.isSet(QStringLiteral("signed")));
    if (!parser.positionalArguments().isEmpty()) {
        const QString number = parser.positionalArguments().constFirst();
        const kiv::TNumberField field = number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                            ? kiv::nfHex : kiv::nfDecimal;
        const kiv::TInputCheck check = converter.Enter(field, number);
        if (check.state != kiv::isValid) {
            std::fprintf(stderr, "dunet: %s: %s\n", qPrintable(number),
                         qPrintable(check.reason.isEmpty() ? QStringLiteral("not a number") : check.reason));
            return 2;
        }
    }
    window.ShowAll();
    return kiv::RunToolWindow(window, parser.value(QStringLiteral("shot")));
}
