#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kiv {

namespace {

QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Permissions a newly created file gets from the process's file creation mask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool IsValidUtf8(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData());
    const auto *end = p + data.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned min = 0;
        unsigned value = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, value = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (p[i] & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

TTextFileFormat DetectTextFormat(const QByteArray &data)
{
    TTextFileFormat format;
    format.encoding = IsValidUtf8(data) ? TTextEncoding::teUtf8 : TTextEncoding::teLatin1;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] == '\n') {
            format.lineEnd = TLineEnd::leLf;
            break;
        }
        if (data[i] == '\r') {
            format.lineEnd = i + 1 < data.size() && data[i + 1] == '\n' ? TLineEnd::leCrLf
                                                                        : TLineEnd::leCr;
            break;
        }
    }
    return format;
}

QByteArray ToUtf8(const QByteArray &data, TTextEncoding encoding)
{
    if (encoding == TTextEncoding::teUtf8)
        return data;
    return QString::fromLatin1(data).toUtf8();
}

QByteArray FromUtf8(const QByteArray &utf8, TTextEncoding &encoding)
{
    if (encoding == TTextEncoding::teUtf8)
        return utf8;
    const QString text = QString::fromUtf8(utf8);
    for (const QChar ch : text) {
        if (ch.unicode() > 0xFF) {
            encoding = TTextEncoding::teUtf8;
            return utf8;
        }
    }
    return text.toLatin1();
}

bool ReadWholeFile(const QString &path, QByteArray &data, QString *error)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open ") + path + QStringLiteral(": ")
                     + (QFileInfo(path).isDir() ? SystemError(EISDIR) : file.errorString());
        return false;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

QString BackupFileName(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf('.');
    const QString base = dot >= 0 ? name.left(dot) : name;
    return info.dir().filePath(base + QStringLiteral(".BAK"));
}

bool WriteFileSafely(const QString &path, const QByteArray &data, bool backup, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Cannot save ") + path + QStringLiteral(": ") + why;
        return false;
    };

    // Saving through a symbolic link writes the file it points to and keeps the link.
    QString target = path;
    const QFileInfo linkInfo(path);
    if (linkInfo.isSymLink())
        target = linkInfo.symLinkTarget();
    const QFileInfo info(target);
    if (info.isDir())
        return fail(SystemError(EISDIR));
    const bool exists = info.exists();
    mode_t mode = NewFileMode();
    if (exists) {
        // The old file must be writable: a read-only file is not replaced behind its back.
        QFile probe(target);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(probe.errorString());
        probe.close();
        struct stat st {};
        if (::stat(QFile::encodeName(target).constData(), &st) == 0)
            mode = st.st_mode & 07777;
    }

    QTemporaryFile temp(info.absoluteDir().filePath(QStringLiteral(".") + info.fileName()
                                                     + QStringLiteral(".XXXXXX")));
    if (!temp.open())
        return fail(temp.errorString());
    if (temp.write(data) != data.size() || !temp.flush())
        return fail(temp.errorString());
    if (::fsync(temp.handle()) != 0)
        return fail(SystemError(errno));
    ::fchmod(temp.handle(), mode);
    temp.close();
    const QByteArray tempName = QFile::encodeName(temp.fileName());
    const QByteArray targetName = QFile::encodeName(target);

    bool moved = false;
    QByteArray backupName;
    if (backup && exists) {
        const QString bak = BackupFileName(target);
        if (bak != target) {
            backupName = QFile::encodeName(bak);
            const QFileInfo bakInfo(bak);
            if ((bakInfo.exists() || bakInfo.isSymLink()) && ::unlink(backupName.constData()) != 0)
                return fail(QStringLiteral("cannot delete ") + bak + QStringLiteral(": ")
                            + SystemError(errno));
            // A hard link keeps the file in place until the new one replaces it; where the file
            // system has no links the file is moved instead.
            if (::link(targetName.constData(), backupName.constData()) != 0) {
                if (::rename(targetName.constData(), backupName.constData()) != 0)
                    return fail(QStringLiteral("cannot move the file to ") + bak
                                + QStringLiteral(": ") + SystemError(errno));
                moved = true;
            }
        }
    }
    if (::rename(tempName.constData(), targetName.constData()) != 0) {
        const int code = errno;
        if (moved)
            ::rename(backupName.constData(), targetName.constData());
        return fail(SystemError(code));
    }
    temp.setAutoRemove(false);
    return true;
}

qint64 FileAge(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    return info.lastModified().toMSecsSinceEpoch();
}

}  // namespace kiv
