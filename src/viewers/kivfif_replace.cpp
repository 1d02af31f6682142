#include "kivfif_replace.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kiv {

qsizetype ReplaceInBytes(QByteArray &data, TTextEncoding encoding, const TFindOptions &options,
                         const QString &replacement)
{
    const TFindPatterns patterns(options);
    const bool utf8 = encoding == TTextEncoding::teUtf8;
    const TBytePattern &pattern = patterns.For(utf8);
    if (pattern.IsEmpty())
        return 0;
    const char *raw = data.constData();
    const qsizetype size = data.size();
    std::vector<char> folded;
    const char *hay = raw;
    if (!pattern.MatchCase()) {
        TBytePattern::FoldCase(raw, size, folded);
        hay = folded.data();
    }
    qsizetype at = pattern.Find(hay, raw, size, 0, size);
    if (at < 0)
        return 0;

    QByteArray with;
    if (utf8) {
        with = replacement.toUtf8();
    } else {
        if (!std::all_of(replacement.cbegin(), replacement.cend(),
                         [](QChar c) { return c.unicode() <= 0xFF; }))
            return -1;
        with = replacement.toLatin1();
    }
    QByteArray out;
    out.reserve(size);
    qsizetype from = 0;
    qsizetype count = 0;
    while (at >= 0) {
        out.append(raw + from, at - from);
        out.append(with);
        ++count;
        from = at + pattern.Size();
        at = pattern.Find(hay, raw, size, from, size);
    }
    out.append(raw + from, size - from);
    data = out;
    return count;
}

TReplaceOutcome ReplaceInFile(const QString &path, const TFindOptions &options,
                              const QString &replacement)
{
    TReplaceOutcome outcome;
    const auto fail = [&](const QString &why) {
        outcome.failed = true;
        outcome.error = why;
        return outcome;
    };
    if (!QFileInfo(path).isFile())
        return fail(path + QStringLiteral(": not a file"));
    QByteArray data;
    QString error;
    if (!ReadWholeFile(path, data, &error))
        return fail(error);
    if (data.contains('\0'))
        return fail(path + QStringLiteral(": a binary file is not changed"));
    const TTextEncoding encoding = IsValidUtf8(data) ? TTextEncoding::teUtf8 : TTextEncoding::teLatin1;
    const qsizetype count = ReplaceInBytes(data, encoding, options, replacement);
    if (count < 0)
        return fail(path + QStringLiteral(": the replacement has characters that Latin-1 cannot hold"));
    if (count == 0)
        return outcome;
    // A Latin-1 file whose new bytes happen to form UTF-8 would be read back as other text.
    if (encoding == TTextEncoding::teLatin1 && IsValidUtf8(data))
        return fail(path + QStringLiteral(": after the replacement the Latin-1 file would read as UTF-8"));
    if (!WriteFileSafely(path, data, false, &error))
        return fail(error);
    outcome.replacements = count;
    return outcome;
}

}  // namespace kiv
