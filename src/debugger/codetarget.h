#pragma once

#include <QString>

namespace kiv {

/// The part a program was compiled for, from its COFF file (the device whose identifier is the
/// optional header's processor number) or its HEX file (the last comment line beginning "PIC").
/// False with the reader's message in `error` when the file cannot be read.
bool ReadCodeTarget(const QString &path, bool coff, QString &name, QString &error);

}  // namespace kiv
