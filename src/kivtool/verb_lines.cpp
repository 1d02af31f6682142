// kivtool lines FILE.cod|FILE.cof — the line table of a debug file: one line per entry, in the
// file's order, with the source file as the debug file names it, the source line and the
// program address (words on the 12- and 14-bit cores, bytes on PIC18), separated by tabs.

#include "kivtool.h"

#include "debug_info.h"

#include <QFile>

namespace kiv::tool {

int VerbLines(const QStringList &args)
{
    if (args.size() != 1) {
        Err() << "usage: kivtool lines FILE.cod|FILE.cof\n";
        return 2;
    }
    TDebugInfo info;
    std::string error;
    if (!info.Load(QFile::encodeName(args[0]).toStdString(), &error)) {
        Err() << "kivtool lines: " << QString::fromStdString(error) << '\n';
        return 1;
    }
    const int digits = info.Core() == TProgramCore::pcPic18 ? 6 : 4;
    for (const TDebugLine &line : info.Lines()) {
        Out() << QString::fromStdString(info.Files()[static_cast<std::size_t>(line.file)].stored) << '\t' << line.line
              << "\t0x" << QString::number(line.address, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
        if (!line.hasCode)
            Out() << "\tno code";
        Out() << '\n';
    }
    return 0;
}

}  // namespace kiv::tool
