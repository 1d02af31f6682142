#include "kivedit_model.h"

namespace kiv {

int FindOptionSet(bool matchCase, int direction)
{
    int options = direction < 0 ? soForward + soBackward : direction == 0 ? soForward + soGlobal : soForward;
    if (matchCase)
        options += soMatchCase;
    return options;
}

int ReplaceOptionSet(bool down, bool matchCase, bool all)
{
    int options = down ? 0 : soBackward;
    if (matchCase)
        options += soMatchCase;
    options += all ? soReplaceAll : soReplace;
    return options;
}

QString IncludeNameOfLine(const QString &line)
{
    if (!line.contains(QLatin1String("#INCLUDE"), Qt::CaseInsensitive))
        return {};
    const qsizetype open = line.indexOf(QLatin1Char('<'));
    if (open >= 0) {
        const qsizetype close = line.indexOf(QLatin1Char('>'), open + 1);
        return close > open ? line.mid(open + 1, close - open - 1) : QString();
    }
    const qsizetype first = line.indexOf(QLatin1Char('"'));
    const qsizetype second = first >= 0 ? line.indexOf(QLatin1Char('"'), first + 1) : -1;
    return second > first ? line.mid(first + 1, second - first - 1) : QString();
}

QString FindNextCaption(const QString &word)
{
    return QStringLiteral("Find next \"") + word + QLatin1Char('"');
}

QString FindInProjectCaption(const QString &word)
{
    return QStringLiteral("Find \"") + word + QStringLiteral("\" in project");
}

QString HelpOnCaption(const QString &word)
{
    return QStringLiteral("Help on \"") + word + QLatin1Char('"');
}

QString OpenIncludeCaption(const QString &name)
{
    return QStringLiteral("Open \"") + name + QLatin1Char('"');
}

}  // namespace kiv
