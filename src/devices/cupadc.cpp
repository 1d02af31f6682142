#include "cupadc.h"

#include "pc_dirs.h"

#include <QFile>

namespace kiv {

bool TAnalogOptions::IsEmpty() const
{
    return clocks.isEmpty() && acquisitions.isEmpty() && modes.isEmpty() && triggers.isEmpty()
        && interrupts.isEmpty() && ports.isEmpty() && ranges.isEmpty();
}

const QStringList &AdcClockTable()
{
    static const QStringList table = QStringLiteral(
        "n/a|C0:6-7|C1:6,C0:6-7|C1:4-6,C0:6-7|C2:0-2|C1:4-6|S:4-6|C1:4-7|C2:0-5|C1:6,C0:6-7,C2:3-5|"
        "C0:2-5,C2:0-6,C3:0-7")
        .split(QLatin1Char('|'));
    return table;
}

const QStringList &AdcChannelTable()
{
    static const QStringList table = QStringLiteral(
        "n/a|C1:0-6|C0:6-7,~C1:0-6|C1:0-5_AFH|C1:0-5_ABE|S:0-7,C0:6|C1:0-2_GP|C1:0-2_AE|C1:0-1|"
        "S:0-6,C1:4-5|C1:0-3_AE|S:0-7,C1:4-5|S:0-5,C1:4-6|C0:6,S:0-3|C1:0-3_AD|S0:0-7,S1:0,C1:6-7|"
        "S:0-7,C0:5-6|S:0-7,S1:0-3,C0:6")
        .split(QLatin1Char('|'));
    return table;
}

QStringList AnalogSectionKeys(const DeviceRecord &record)
{
    QStringList keys;
    if (record.adcChannels() == 0)
        return keys;
    const int clock = record.adcClockOption();
    if (clock != 0 && clock < AdcClockTable().size())
        keys << QStringLiteral("ADCCLK") + AdcClockTable()[clock];
    const int channel = record.adcChannelOption();
    if (channel != 0 && channel < AdcChannelTable().size())
        keys << QStringLiteral("ADCCH") + AdcChannelTable()[channel];
    keys << QStringLiteral("ADCS");
    return keys;
}

namespace {

const QString kKind18 = QStringLiteral("\\\\18");
const QString kNotKind18 = QStringLiteral("\\\\!18");
const QString kMore = QStringLiteral("\\\\>");
const QString kLess = QStringLiteral("\\\\<");
const QString kInList = QStringLiteral("\\\\(");
const QString kNotInList = QStringLiteral("\\\\!(");

// The number of a "\\>NN" or "\\<NN" condition: the two characters after the mark, cut at a space.
int ConditionNumber(const QString &line, int at)
{
    QString digits = line.mid(at + 3, 2);
    const int space = int(digits.indexOf(QLatin1Char(' ')));
    if (space >= 0)
        digits = digits.left(space);
    return digits.toInt();   // not a number: 0
}

// Removes a "\\(" list ")" condition at `at` (mark length `markLength`) and tells whether one of
// the listed numbers equals `variant`.
bool TakeList(QString &line, int at, int markLength, uint16_t variant)
{
    int close = int(line.indexOf(QLatin1Char(')'), at + markLength));
    if (close < 0)
        close = int(line.size()) - 1;
    const QString list = line.mid(at + markLength, close - at - markLength);
    line.remove(at, close - at + 1);
    for (const QString &item : list.split(QLatin1Char(','))) {
        bool ok = false;
        const int n = item.trimmed().toInt(&ok);
        if (ok && n == variant)
            return true;
    }
    return false;
}

}  // namespace

bool TakeLineConditions(QString &line, const DeviceRecord &record)
{
    bool holds = true;
    for (;;) {
        if (const int at = int(line.indexOf(kNotKind18)); at >= 0) {
            holds = holds && record.kind() != dkPic18;
            line.remove(at, 5);
        } else if (const int at = int(line.indexOf(kKind18)); at >= 0) {
            holds = holds && record.kind() == dkPic18;
            line.remove(at, 4);
        } else if (const int at = int(line.indexOf(kMore)); at >= 0) {
            holds = holds && ConditionNumber(line, at) < record.adcChannels();
            line.remove(at, 5);
        } else if (const int at = int(line.indexOf(kLess)); at >= 0) {
            holds = holds && record.adcChannels() < ConditionNumber(line, at);
            line.remove(at, 5);
        } else if (const int at = int(line.indexOf(kNotInList)); at >= 0) {
            holds = !TakeList(line, at, int(kNotInList.size()), record.adcVariant()) && holds;
        } else if (const int at = int(line.indexOf(kInList)); at >= 0) {
            holds = TakeList(line, at, int(kInList.size()), record.adcVariant()) && holds;
        } else {
            return holds;
        }
    }
}

QStringList AnalogSectionLines(const QStringList &fileLines, const QString &key, const DeviceRecord &record)
{
    const QString header = QStringLiteral("//!") + key.section(QLatin1Char(' '), 0, 0);
    QStringList taken;
    int n = 0;
    while (n < fileLines.size() && fileLines[n].section(QLatin1Char(' '), 0, 0) != header)
        ++n;
    for (++n; n < fileLines.size() && !fileLines[n].startsWith(QLatin1String("//!")); ++n) {
        QString line = fileLines[n];
        if (TakeLineConditions(line, record))
            taken << line;
    }
    return taken;
}

namespace {

struct TOptionLine {
    QString identifier;
    bool hasComment = false;
    QString comment;   // the text after "//"
};

// "#define NAME VALUE // comment": the first word is dropped, the identifier is the next word.
TOptionLine ParseOptionLine(const QString &line)
{
    TOptionLine option;
    const int space = int(line.indexOf(QLatin1Char(' ')));
    if (space >= 0) {
        const QString rest = line.mid(space + 1);
        option.identifier = rest.section(QLatin1Char(' '), 0, 0);
    }
    const int slashes = int(line.indexOf(QLatin1String("//")));
    if (slashes >= 0) {
        option.hasComment = true;
        option.comment = line.mid(slashes + 2);
    }
    return option;
}

bool IsGroupEnd(const QString &line)
{
    return line.startsWith(QLatin1String("//"));
}

// The option lines of the group whose marker is at `marker`; `end` receives the index of the
// line that ends the group (or the line count).
QList<TOptionLine> GroupOptions(const QStringList &lines, int marker, int *end)
{
    QList<TOptionLine> options;
    int n = marker + 1;
    for (; n < lines.size() && !IsGroupEnd(lines[n]); ++n) {
        if (!lines[n].startsWith(QLatin1Char('#')))
            continue;
        TOptionLine option = ParseOptionLine(lines[n]);
        if (!option.identifier.isEmpty())
            options << option;
    }
    *end = int(n);
    return options;
}

int FindMarker(const QStringList &lines, int from, const QString &text)
{
    for (int n = from; n < lines.size(); ++n)
        if (lines[n].contains(text))
            return n;
    return -1;
}

// The comment from its third character on ("//| text" and "//  text" both give "text").
QString FromThird(const QString &comment)
{
    return comment.mid(2, kMaxAnalogText);
}

}  // namespace

TAnalogOptions ParseAnalogOptions(const QStringList &lines)
{
    TAnalogOptions result;
    const QString usingBar = QStringLiteral("using |");
    const QString setupPorts = QStringLiteral("SETUP_ADC_PORTS(");
    int cursor = 0;

    // 1. The clock group, and the groups "OR'ed in" after it: acquisition, mode, trigger and
    // interrupt, assigned in this order to the consecutive "using |" groups that follow it (up to
    // the port group).
    if (const int clock = FindMarker(lines, 0, QStringLiteral("SETUP_ADC(")); clock >= 0) {
        for (const TOptionLine &o : GroupOptions(lines, clock, &cursor)) {
            const QString text = o.hasComment && !o.comment.isEmpty() ? o.comment.left(kMaxAnalogText) : o.identifier;
            if (o.identifier.contains(QLatin1String("INTERNAL")))
                result.selectedClock = int(result.clocks.size());
            result.clocks << TAnalogOption{o.identifier, text};
        }
        QList<TAnalogOption> *const lists[] = {&result.acquisitions, &result.modes, &result.triggers,
                                               &result.interrupts};
        int next = 0;
        while (cursor < lines.size() && next < 4 && !lines[cursor].contains(setupPorts)) {
            if (!lines[cursor].contains(usingBar)) {
                ++cursor;
                continue;
            }
            for (const TOptionLine &o : GroupOptions(lines, cursor, &cursor)) {
                QString text = o.identifier;
                if (next == 0 && o.hasComment && !FromThird(o.comment).isEmpty())
                    text = FromThird(o.comment);
                lists[next]->append(TAnalogOption{o.identifier, text});
            }
            ++next;
        }
    }

    // 2. The port group: radio options, or check-box options when the comment starts with "|".
    const int ports = FindMarker(lines, cursor, setupPorts);
    if (ports < 0)
        return result;
    for (const TOptionLine &o : GroupOptions(lines, ports, &cursor)) {
        if (!o.hasComment || o.comment.startsWith(QLatin1Char('!')))
            continue;
        if (o.comment.startsWith(QLatin1Char('|'))) {
            // Only sixteen check boxes exist; a further check-box option is left out whole, so
            // check box N always stands for port option N - 1.
            if (result.checkOptionCount >= kMaxAnalogCheckOptions)
                continue;
            ++result.checkOptionCount;
            result.checkCaptions << FromThird(o.comment);
        }
        result.ports << TAnalogOption{o.identifier.left(kMaxAnalogIdentifier), o.comment.left(kMaxAnalogText)};
    }

    // 3. The range group: the next "using |" group.
    if (const int range = FindMarker(lines, cursor, usingBar); range >= 0) {
        for (const TOptionLine &o : GroupOptions(lines, range, &cursor))
            if (o.hasComment)
                result.ranges << TAnalogOption{o.identifier, FromThird(o.comment)};
    }
    return result;
}

TAnalogOptions ReadAnalogOptions(const DeviceRecord &record, const QString &path)
{
    const QStringList keys = AnalogSectionKeys(record);
    if (keys.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TAnalogFileError(QStringLiteral("Cannot open the analog option file %1: %2").arg(path, file.errorString()));
    QStringList fileLines;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        fileLines << QString::fromLatin1(line);
    }
    if (file.error() != QFileDevice::NoError)
        throw TAnalogFileError(QStringLiteral("Cannot read the analog option file %1: %2").arg(path, file.errorString()));
    QStringList lines;
    for (const QString &key : keys)
        lines << AnalogSectionLines(fileLines, key, record);
    return ParseAnalogOptions(lines);
}

QString AnalogOptionFile()
{
    return CompilerDir() + QStringLiteral("KIV.HT");
}

}  // namespace kiv
