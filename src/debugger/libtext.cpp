#include "libtext.h"

#include <QStringDecoder>

#include <cstring>

namespace kiv {

QString LibraryText(const char *text, int size)
{
    if (!text || size <= 0)
        return {};
    const QByteArray bytes(text, qsizetype(strnlen(text, size_t(size))));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(bytes);
}

QByteArray LibraryBytes(const QString &text)
{
    return text.toUtf8();
}

}  // namespace kiv
