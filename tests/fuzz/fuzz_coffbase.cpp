// The COFF header reader the debugger runs before a session: the file and optional headers of
// both formats and the device looked up by the processor number.

#include "coff_dump_base.h"
#include "fileioerror.h"
#include "fuzz_target.h"

#include <QFile>

KIV_FUZZ_TARGET(coffbase)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("fuzz.cof", data, size));
    std::string summary;
    try {
        TCoffBase base;
        const int read = base.Open(path);
        summary = fuzz::Outcome(true, {}, std::to_string(read) + " header bytes, processor "
                                              + std::to_string(base.OptionalHeader.processorType));
    } catch (const TCoffError &e) {
        summary = fuzz::Outcome(false, e.what());
    } catch (const TFileIoError &e) {
        summary = fuzz::Outcome(false, e.what());
    }
    QFile::remove(path);
    return summary;
}
