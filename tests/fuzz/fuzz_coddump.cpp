// The COD dump's report of a COD file: every directory, table and line entry written out as
// text, with no listing and no source files to hand.

#include "CODDUMP.h"
#include "fileioerror.h"
#include "fuzz_target.h"

#include <QBuffer>
#include <QFile>

KIV_FUZZ_TARGET(coddump)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("fuzz.cod", data, size));
    QBuffer report;
    report.open(QIODevice::WriteOnly);
    std::string summary;
    try {
        DumpCodFile(path, report, QString::fromStdString(fuzz::ScratchFolder()) + QStringLiteral("/none.lst"));
        summary = fuzz::Outcome(true, {}, std::to_string(report.data().size()) + " report bytes");
    } catch (const TFileIoError &e) {
        summary = fuzz::Outcome(false, e.what());
    }
    QFile::remove(path);
    return summary;
}
