#include "kivints_model.h"

#include "pc_int.h"

namespace kiv {

QStringList InterruptReviewLines(const DeviceRecord &device, const TDescriptionFile &descriptions)
{
    QChar letter = QLatin1Char('B');
    switch (device.kind()) {
    case dkPic14: letter = QLatin1Char('M'); break;
    case dkPic18: letter = QLatin1Char('H'); break;
    case dkSx: letter = QLatin1Char('S'); break;
    default: break;
    }
    SelectInterruptTable(letter);

    QStringList lines;
    for (int i = 1; i <= kListedInterrupts; ++i) {
        if (!device.hasInterrupt(i))
            continue;
        QString name = InterruptName(i).section(QLatin1Char(' '), 0, 0);
        if (name.isEmpty())
            name = QStringLiteral("?");
        if (name.endsWith(QChar(0)))
            name.chop(1);
        QString shown = name;
        if (shown.size() > 6 && !shown.contains(QLatin1Char('W')))
            shown += QLatin1Char('\t');
        if (shown.size() < 7 || (shown.size() < 9 && shown.contains(QLatin1Char('I'))))
            shown += QLatin1Char('\t');
        lines << shown + QLatin1Char('\t') + descriptions.ReviewDescription(name);
    }
    return lines;
}

}  // namespace kiv
