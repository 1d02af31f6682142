// kivtool hexinfo FILE.hex — what the comment lines of an Intel HEX file say: device line,
// header text, properties, link entries, the burn-time directive and the other comments.

#include "kivtool.h"

#include "hexcommentinfo.h"

namespace kiv::tool {

int VerbHexinfo(const QStringList &args)
{
    if (args.size() != 1) {
        Err() << "usage: kivtool hexinfo FILE.hex\n";
        return 2;
    }
    THexCommentInfo info;
    const bool loaded = info.Load(args[0]);
    if (!loaded && info.FileName.isEmpty()) {
        Err() << "kivtool hexinfo: cannot open " << args[0] << '\n';
        return 1;
    }
    auto field = [](const char *label, const QString &value) {
        Out() << QString::fromLatin1(label).leftJustified(16) << value << '\n';
    };
    auto list = [&field](const char *label, const QStringList &values) {
        if (values.isEmpty())
            field(label, QString());
        for (const QString &value : values)
            field(label, value);
    };
    field("Device line", info.DeviceLine);
    field("Header text", QString(info.HeaderText).replace(QLatin1Char('\r'), QStringLiteral(" | ")));
    list("Property", info.Properties);
    list("Header comment", info.HeaderComments);
    list("Comment", info.OtherComments);
    list("Link HEX", info.LinkHexEntries);
    if (info.BurnTimeValid) {
        field("Burn time", info.BurnTimeText);
        field("Burn range", QStringLiteral("0x%1 to 0x%2")
                                .arg(info.BurnStart, 4, 16, QLatin1Char('0'))
                                .arg(info.BurnEnd, 4, 16, QLatin1Char('0'))
                                .toUpper()
                                .replace(QStringLiteral("0X"), QStringLiteral("0x")));
        field("Burn as", QString::fromLatin1(info.BurnBinary ? "BINARY" : "STRING") +
                             (info.BurnEeprom ? QStringLiteral(" EEPROM") : QString()));
        field("Next", info.NextSpec);
        field("Prompt", info.Prompt);
        field("Log file", info.LogFile);
    } else {
        field("Burn time", loaded ? QStringLiteral("none") : QStringLiteral("rejected"));
    }
    return loaded ? 0 : 1;
}

}  // namespace kiv::tool
