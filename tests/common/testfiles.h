#pragma once

// Small helpers for tests that work on real files in a temporary folder.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <ostream>

// Failed expectations print QStrings as quoted text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

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

/// The source tree: $KIV_SOURCE_DIR when set, else the tree the test was built from.
inline QString SourceDir()
{
    const QString env = qEnvironmentVariable("KIV_SOURCE_DIR");
#ifdef KIV_TEST_SOURCE_DIR
    if (env.isEmpty())
        return QStringLiteral(KIV_TEST_SOURCE_DIR);
#endif
    return env;
}

/// The build tree: $KIV_BUILD_DIR when set, else the tree the test was built in.
inline QString BuildDir()
{
    const QString env = qEnvironmentVariable("KIV_BUILD_DIR");
#ifdef KIV_TEST_BUILD_DIR
    if (env.isEmpty())
        return QStringLiteral(KIV_TEST_BUILD_DIR);
#endif
    return env;
}

}  // namespace kiv::test
