#include "kivfuse_model.h"

namespace kiv {

QStringList FuseReviewLines(const DeviceRecord &device, const FuseNameTable &fuseNames,
                            const TDescriptionFile &descriptions)
{
    QStringList lines;
    for (int i = 1; i <= kMaxFuseEntry; ++i) {
        if (FuseMask(device, uint8_t(i)) == 0)
            continue;
        QString name = FuseNameIn(fuseNames, FuseNameIndex(device, uint8_t(i)));
        if (name.toUpper() == QLatin1String("RESERVED"))
            continue;
        if (name.endsWith(QChar(0)))
            name.chop(1);
        QString shown = name;
        if (shown.size() < 7 || (shown.size() < 9 && shown.contains(QLatin1Char('I'))))
            shown += QLatin1Char('\t');
        lines << shown + QLatin1Char('\t') + descriptions.ReviewDescription(name);
    }
    return lines;
}

}  // namespace kiv
