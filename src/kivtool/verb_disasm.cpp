// kivtool disasm --family 12|14|16|24 [--labels 0|1|2] [--numbers 0|1|2] [--binary] [--inhx16]
//                IN.hex [OUT] — the disassembler from the command line. Without OUT the listing
// goes to standard output. Label and number formats default to the dialog's ("C Label",
// "C (0x12)"); they apply to the 12-bit and 14-bit families only.

#include "kivtool.h"

#include "dasm_listing.h"

#include <cstdio>

namespace kiv::tool {

int VerbDisasm(const QStringList &args)
{
    TDasmOptions options;
    bool haveFamily = false;
    QStringList files;
    const QString usage = QStringLiteral(
        "usage: kivtool disasm --family 12|14|16|24 [--labels 0|1|2] [--numbers 0|1|2] [--binary] [--inhx16] IN.hex [OUT]\n");
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        auto value = [&](int low, int high, int *out) {
            bool ok = false;
            const int v = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || v < low || v > high)
                return false;
            *out = v;
            return true;
        };
        int v = 0;
        if (arg == QLatin1String("--family")) {
            if (i + 1 >= args.size())
                break;
            const QString family = args[++i];
            if (family == QLatin1String("12"))
                options.family = dfBits12;
            else if (family == QLatin1String("14"))
                options.family = dfBits14;
            else if (family == QLatin1String("16"))
                options.family = dfBits16;
            else if (family == QLatin1String("24"))
                options.family = dfBits24;
            else {
                Err() << "kivtool disasm: --family takes 12, 14, 16 or 24\n";
                return 2;
            }
            haveFamily = true;
        } else if (arg == QLatin1String("--labels")) {
            if (!value(0, 2, &v)) {
                Err() << "kivtool disasm: --labels takes 0, 1 or 2\n";
                return 2;
            }
            options.labels = TDasmLabelFormat(v);
        } else if (arg == QLatin1String("--numbers")) {
            if (!value(0, 2, &v)) {
                Err() << "kivtool disasm: --numbers takes 0, 1 or 2\n";
                return 2;
            }
            options.numbers = TDasmNumberFormat(v);
        } else if (arg == QLatin1String("--binary")) {
            options.hexInput = false;
        } else if (arg == QLatin1String("--inhx16")) {
            options.hexFormat = hfInhx16;
        } else if (arg.startsWith(QLatin1String("--"))) {
            Err() << "kivtool disasm: unknown option " << arg << '\n' << usage;
            return 2;
        } else {
            files << arg;
        }
    }
    if (!haveFamily || files.isEmpty() || files.size() > 2) {
        Err() << usage;
        return 2;
    }
    std::string error;
    if (files.size() == 2) {
        if (!DisassembleFile(options, files[0].toStdString(), files[1].toStdString(), &error)) {
            Err() << "kivtool disasm: " << QString::fromStdString(error) << '\n';
            return 1;
        }
        return 0;
    }
    std::string input;
    std::string listing;
    if (!ReadWholeFile(files[0].toStdString(), &input, &error)
        || !DisassembleBytes(options, input, &listing, &error)) {
        Err() << "kivtool disasm: " << (error.rfind("cannot ", 0) == 0 ? QString() : files[0] + QStringLiteral(", "))
              << QString::fromStdString(error) << '\n';
        return 1;
    }
    Out().flush();
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace kiv::tool
