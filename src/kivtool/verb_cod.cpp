// kivtool cod FILE.cod [OUT] — the COD dump report of a debug file, with listing lines from the
// ".lst" beside it; to OUT, or to standard output without one.

#include "kivtool.h"

#include "CODDUMP.h"
#include "fileioerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace kiv::tool {

int VerbCod(const QStringList &args)
{
    if (args.isEmpty() || args.size() > 2) {
        Err() << "usage: kivtool cod FILE.cod [OUT]\n";
        return 2;
    }
    const QFileInfo cod(args[0]);
    const QString listing = cod.dir().filePath(cod.completeBaseName() + QStringLiteral(".lst"));
    try {
        if (args.size() == 2) {
            DumpCodFile(args[0], args[1], listing);
        } else {
            Out().flush();
            QFile out;
            if (!out.open(stdout, QIODevice::WriteOnly)) {
                Err() << "kivtool cod: cannot write to standard output\n";
                return 1;
            }
            DumpCodFile(args[0], out, listing);
        }
    } catch (const TFileIoError &error) {
        Err() << "kivtool cod: " << error.Message() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace kiv::tool
