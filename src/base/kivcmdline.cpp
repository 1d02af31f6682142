#include "kivcmdline.h"

namespace kiv {

TCommandLine ParseCommandLine(const QStringList &args)
{
    TCommandLine result;
    for (const QString &arg : args) {
        const QString upper = arg.toUpper();
        if (upper == QLatin1String("+DEBUGLOG")) {
            result.TraceLevel = 3;
        } else if (upper == QLatin1String("+DEBUG")) {
            result.TraceLevel = 1;
            result.CreateTraceFile = true;
        } else if (upper == QLatin1String("-TOOLBAR")) {
            result.TraceLevel = 2;
        } else if (upper.startsWith(QLatin1String("PRINTLINES="))) {
            // Exactly the two characters after "=" form the number; anything after is ignored.
            const QString digits = upper.mid(11, 2);
            bool ok = digits.size() == 2 && digits[0].isDigit() && digits[1].isDigit();
            const int value = ok ? digits.toInt(&ok, 10) : 0;
            if (ok) {
                result.PrintLines = value;
            } else {
                result.Error = QStringLiteral("The argument \"%1\" is not valid: PRINTLINES= must be "
                                              "followed by a two-digit number of lines.").arg(arg);
            }
        } else if (upper.contains(QLatin1String(".C")) || upper.contains(QLatin1String(".PJT"))) {
            result.CommandLineFile = arg;
        }
    }
    return result;
}

}  // namespace kiv
