#include "uEditHint_model.h"

#include <QPoint>

#include <algorithm>

namespace kiv {

namespace {

bool IsNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

/// From index `at` (0-based) over blanks to the left; -1 past the start.
int SkipBlanksLeft(const QString &line, int at)
{
    while (at >= 0 && IsBlank(line.at(at)))
        --at;
    return at;
}

}  // namespace

QString MouseOverExpression(const QString &line, int column)
{
    const int length = int(line.size());
    if (column < 1 || column > length)
        return {};
    const int at = column - 1;
    const QChar c = line.at(at);
    if (c == QLatin1Char('(')) {
        int depth = 0;
        for (int i = at; i < length; ++i) {
            if (line.at(i) == QLatin1Char('('))
                ++depth;
            else if (line.at(i) == QLatin1Char(')') && --depth == 0)
                return line.mid(at, i - at + 1);
        }
        return {};
    }
    if (c == QLatin1Char(')')) {
        int depth = 0;
        for (int i = at; i >= 0; --i) {
            if (line.at(i) == QLatin1Char(')'))
                ++depth;
            else if (line.at(i) == QLatin1Char('(') && --depth == 0)
                return line.mid(i, at - i + 1);
        }
        return {};
    }
    QString tail;
    int scan = at;
    if (c == QLatin1Char('[')) {
        const int close = int(line.indexOf(QLatin1Char(']'), at + 1));
        if (close < 0)
            return {};
        tail = line.mid(at, close - at + 1);
        scan = SkipBlanksLeft(line, at - 1);
    }
    QString head;
    QString groups;
    while (scan >= 0 && scan < length) {
        // Index groups, right to left.
        while (scan >= 0 && line.at(scan) == QLatin1Char(']')) {
            const int open = int(line.lastIndexOf(QLatin1Char('['), scan));
            if (open < 0)
                return {};
            groups.prepend(line.mid(open, scan - open + 1));
            scan = SkipBlanksLeft(line, open - 1);
        }
        if (scan < 0)
            break;
        // The name around the scan position.
        if (!IsNameChar(line.at(scan)) && !(line.at(scan) == QLatin1Char('#')))
            break;
        int start = scan;
        int end = scan;
        if (line.at(scan) == QLatin1Char('#')) {
            // A "#" belongs to the name that follows it.
            if (scan + 1 >= length || !IsNameChar(line.at(scan + 1)))
                break;
            end = scan + 1;
        }
        while (start > 0 && IsNameChar(line.at(start - 1)))
            --start;
        while (end + 1 < length && IsNameChar(line.at(end + 1)))
            ++end;
        if (start > 0 && line.at(start - 1) == QLatin1Char('#') && line.at(start) != QLatin1Char('#'))
            --start;
        const QString name = line.mid(start, end - start + 1);
        const QChar first = name.at(0) == QLatin1Char('#') && name.size() > 1 ? name.at(1) : name.at(0);
        if (first.isDigit())
            break;
        head = name + groups + head;
        groups.clear();
        scan = SkipBlanksLeft(line, start - 1);
        if (scan >= 0 && line.at(scan) == QLatin1Char('.')) {
            head.prepend(QLatin1Char('.'));
            scan = SkipBlanksLeft(line, scan - 1);
            continue;
        }
        break;
    }
    if (head.isEmpty() || head.startsWith(QLatin1Char('.')))
        return {};
    return head + tail;
}

QString MouseOverSuffix(int radix)
{
    switch (radix) {
    case 1: return QStringLiteral(",h");
    case 2: return QStringLiteral(",b");
    default: return {};
    }
}

QRect HintPlacement(const QSize &textSize, int lineCount, const QPoint &pointer, const QSize &screen)
{
    const int W = screen.width();
    const int H = screen.height();
    int width = std::min(textSize.width() + 4, W / 2 - 30);
    const int measured = textSize.height();
    int height = std::max(lineCount, 1) * measured + 7;
    int x = pointer.x();
    if (pointer.x() + width > W)
        x = std::max(pointer.x() - width, 15);
    int y = pointer.y() + measured;
    if (y > 20) {
        bool moved = false;
        while (y > 20 && y + height > H) {
            y -= 20;
            moved = true;
        }
        if (moved)
            x += x == pointer.x() ? 5 : -5;
    }
    if (y <= 20 && y + height > H)
        height = H - y - 20;
    return QRect(x, y, width, height);
}

bool HintMoveIsSignificant(const QPoint &last, const QPoint &now)
{
    return std::abs(now.x() - last.x()) > 1 || std::abs(now.y() - last.y()) > 1;
}

}  // namespace kiv
