#pragma once

// Small helpers for tests that work on real files in a temporary folder.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace kiv::test {

/// Writes `data` to `path`, creating missing folders; returns false on failure.
inline bool WriteFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

/// The source tree, as the test runner passes it.
inline QString SourceDir()
{
    return qEnvironmentVariable("KIV_SOURCE_DIR");
}

/// The build tree, as the test runner passes it.
inline QString BuildDir()
{
    return qEnvironmentVariable("KIV_BUILD_DIR");
}

}  // namespace kiv::test
