#pragma once

#include <QString>

namespace kiv {

/// A NUL-terminated text from an outside library's buffer of `size` bytes, read no further
/// than the buffer's end: UTF-8 when it is valid UTF-8, otherwise Latin-1.
QString LibraryText(const char *text, int size);

/// `text` as the 8-bit bytes an outside library expects: UTF-8.
QByteArray LibraryBytes(const QString &text);

}  // namespace kiv
