#include "hexcommentinfo.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>

namespace kiv {

namespace {

// Blanks a HEX line is trimmed of.
QString TrimBlanks(const QString &text)
{
    int a = 0;
    int b = text.size();
    while (a < b && (text[a] == QLatin1Char(' ') || text[a] == QLatin1Char('\t') || text[a] == QLatin1Char('\r')))
        ++a;
    while (b > a &&
           (text[b - 1] == QLatin1Char(' ') || text[b - 1] == QLatin1Char('\t') || text[b - 1] == QLatin1Char('\r')))
        --b;
    return text.mid(a, b - a);
}

bool IsComment(const QString &line)
{
    return !line.isEmpty() && line.front() == QLatin1Char(';');
}

// The items of a BURNTIME directive: up to the next space outside double quotes; the spaces
// after an item are skipped.
QStringList BurnItems(const QString &text)
{
    QStringList items;
    int at = 0;
    while (at < text.size()) {
        QString item;
        bool quoted = false;
        while (at < text.size() && (quoted || text[at] != QLatin1Char(' '))) {
            if (text[at] == QLatin1Char('"'))
                quoted = !quoted;
            item += text[at++];
        }
        while (at < text.size() && text[at] == QLatin1Char(' '))
            ++at;
        items << item;
    }
    return items;
}

// The value after the first "=" with its double quotes turned into spaces, trimmed.
QString CleanValue(const QString &item)
{
    const int eq = item.indexOf(QLatin1Char('='));
    QString value = eq < 0 ? item : item.mid(eq + 1);
    value.replace(QLatin1Char('"'), QLatin1Char(' '));
    return value.trimmed();
}

bool StartsWithNoCase(const QString &text, const char *prefix)
{
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

}  // namespace

bool THexCommentInfo::ParseHexNumber(const QString &text, std::uint32_t *value)
{
    const int x = text.indexOf(QLatin1Char('x'));
    const QString digits = (x < 0 ? text : text.mid(x + 1)).toUpper().trimmed();
    std::uint64_t result = 0;
    for (const QChar c : digits) {
        const int d = QStringLiteral("0123456789ABCDEF").indexOf(c);
        if (d < 0)
            return false;
        result = (result << 4) | static_cast<std::uint64_t>(d);
        if (result > 0xFFFFFFFFull)
            return false;
    }
    *value = static_cast<std::uint32_t>(result);
    return true;
}

void THexCommentInfo::ResetDirectives()
{
    BurnStart = 0;
    BurnEnd = 0;
    BurnBinary = false;
    NextSpec.clear();
    Prompt.clear();
    LogFile.clear();
    BurnTimeValid = false;
    BurnEeprom = false;
    BurnTimeText.clear();
}

QString THexCommentInfo::Property(const QString &name) const
{
    for (const QString &entry : Properties) {
        const int eq = entry.indexOf(QLatin1Char('='));
        if (eq >= 0 && entry.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return entry.mid(eq + 1);
    }
    return {};
}

bool THexCommentInfo::FileExists(const QString &name) const
{
    if (QFileInfo(name).isFile())
        return true;
    // A relative name also counts from the HEX file's folder.
    return QFileInfo(name).isRelative() && QFileInfo(QFileInfo(FileName).dir(), name).isFile();
}

bool THexCommentInfo::ParseBurnTime()
{
    const QStringList items = BurnItems(BurnTimeText);
    int at = 0;
    auto next = [&]() -> QString { return at < items.size() ? items[at++] : QString(); };

    const QString range = next();
    const int comma = range.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    if (!ParseHexNumber(range.left(comma), &BurnStart) || !ParseHexNumber(range.mid(comma + 1), &BurnEnd))
        return false;

    const QString mode = next();
    if (mode.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0)
        BurnBinary = true;
    else if (mode.compare(QLatin1String("STRING"), Qt::CaseInsensitive) == 0)
        BurnBinary = false;
    else
        return false;

    QString item = next();
    if (item.compare(QLatin1String("EEPROM"), Qt::CaseInsensitive) == 0) {
        BurnEeprom = true;
        item = next();
    }
    if (!StartsWithNoCase(item, "NEXT=") && !StartsWithNoCase(item, "NEXTFILE=") && !StartsWithNoCase(item, "LISTFILE="))
        return false;
    NextSpec = item;

    for (int optional = 0; optional < 2 && at < items.size(); ++optional) {
        item = next();
        const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
        if (!item.contains(QLatin1Char('=')))
            continue;
        if (name.compare(QLatin1String("PROMPT"), Qt::CaseInsensitive) == 0)
            Prompt = item;
        else if (name.compare(QLatin1String("LOG"), Qt::CaseInsensitive) == 0)
            LogFile = item;
    }
    return true;
}

bool THexCommentInfo::ValidateBurnTime()
{
    if (NextSpec.isEmpty())
        return false;
    const QString value = CleanValue(NextSpec);
    if (StartsWithNoCase(NextSpec, "NEXTFILE=")) {
        NextKind = 1;
        if (!FileExists(value))
            return false;
    } else if (StartsWithNoCase(NextSpec, "NEXT=")) {
        NextKind = 0;
        std::uint32_t number = 0;
        if (!ParseHexNumber(value, &number))
            return false;
    } else if (StartsWithNoCase(NextSpec, "LISTFILE=")) {
        NextKind = 2;
        if (!FileExists(value))
            return false;
    }
    if (!Prompt.isEmpty()) {
        Prompt = CleanValue(Prompt);
        if (Prompt.isEmpty())
            return false;
    }
    if (!LogFile.isEmpty()) {
        LogFile = CleanValue(LogFile);
        if (LogFile.isEmpty())
            return false;
    }
    return true;
}

THexCommentInfo::TCheck THexCommentInfo::CheckDirective(const QString &text, bool header)
{
    if (StartsWithNoCase(text, "BURNTIME")) {
        ResetDirectives();
        BurnTimeText = text.mid(9);
        if (ParseBurnTime() && ValidateBurnTime()) {
            BurnTimeValid = true;
            return TCheck::tcOk;
        }
        return TCheck::tcRejected;
    }
    if (StartsWithNoCase(text, "LINKHEX")) {
        LinkHexEntries << text.mid(8);
        return TCheck::tcOk;
    }
    if (StartsWithNoCase(text, "PIC")) {
        DeviceLine = text;
        return TCheck::tcOk;
    }
    (header ? HeaderComments : OtherComments) << text;
    return TCheck::tcOk;
}

bool THexCommentInfo::Load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> raw = file.readAll().split('\n');
    file.close();

    FileName = fileName;
    ResetDirectives();
    HeaderComments.clear();
    OtherComments.clear();
    LinkHexEntries.clear();
    BurnTimeText.clear();
    DeviceLine.clear();

    QString header;
    bool rejected = false;
    int at = 0;
    auto nextLine = [&]() { return TrimBlanks(QString::fromLatin1(raw[at++])); };
    auto finish = [&]() {
        header.remove(QLatin1Char(';'));
        HeaderText = header.trimmed();
        DeviceLine.remove(QLatin1Char(';'));
        DeviceLine = DeviceLine.trimmed();
    };
    auto check = [&](const QString &line, bool inHeader) {
        if (CheckDirective(line.mid(1), inHeader) == TCheck::tcRejected) {
            ResetDirectives();
            rejected = true;
        }
        return !rejected;
    };

    // Header: comment lines up to ";$" or the first other line (which is consumed).
    bool dollar = false;
    while (at < raw.size()) {
        const QString line = nextLine();
        if (!IsComment(line))
            break;
        if (!check(line, true)) {
            finish();
            return false;
        }
        if (line.mid(1).trimmed() == QLatin1String("$")) {
            dollar = true;
            break;
        }
        header += line.mid(1) + QLatin1Char('\r');
    }

    // Properties: after a ";$" line, the comment lines that follow, up to the first other line.
    Properties.clear();
    while (dollar && at < raw.size()) {
        const QString line = nextLine();
        if (!IsComment(line))
            break;
        if (!check(line, false)) {
            finish();
            return false;
        }
        QString property = line.mid(1);
        property.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        Properties << property;
    }

    // The rest: only comment lines matter.
    while (at < raw.size()) {
        const QString line = nextLine();
        if (IsComment(line) && !check(line, false)) {
            finish();
            return false;
        }
    }
    finish();
    return true;
}

}  // namespace kiv
