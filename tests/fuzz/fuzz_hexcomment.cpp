// The comment lines of an Intel HEX file: header, property block, device line and the BURNTIME
// and LINKHEX directives, with the hexadecimal numbers the directives carry.

#include "fuzz_target.h"
#include "hexcommentinfo.h"

#include <QFile>

KIV_FUZZ_TARGET(hexcomment)
{
    using namespace kiv;
    const QString path = QString::fromStdString(fuzz::WriteScratchFile("fuzz.hex", data, size));
    THexCommentInfo info;
    const bool ok = info.Load(path);
    for (const QString &property : info.Properties)
        (void)info.Property(property.section(QLatin1Char('='), 0, 0));
    std::uint32_t number = 0;
    (void)THexCommentInfo::ParseHexNumber(info.BurnTimeText, &number);
    QFile::remove(path);
    if (!ok)
        return fuzz::Outcome(false, "a BURNTIME directive was rejected");
    return fuzz::Outcome(true, {}, std::to_string(info.Properties.size()) + " properties, "
                                       + std::to_string(info.LinkHexEntries.size()) + " links, device "
                                       + info.DeviceLine.toStdString());
}
