#include "codetarget.h"

#include "pc_chipr.h"

#include <QFile>

namespace kiv {

namespace {

bool CoffTarget(const QString &path, QString &name, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray head = file.read(20 + 18);
    const auto u16 = [&head](int at) { return uint32_t(uint8_t(head[at])) | (uint32_t(uint8_t(head[at + 1])) << 8); };
    const QString quoted = QStringLiteral("Coff file '") + path + QLatin1Char('\'');
    if (head.size() < 20) {
        error = quoted + QStringLiteral(" couldn't read file header.");
        return false;
    }
    const uint32_t magic = u16(0);
    if (magic != 0x1234 && magic != 0x1240) {
        error = quoted + QStringLiteral(" does not appear to be a valid COFF file.");
        return false;
    }
    // The optional header: magic, version stamp (2 bytes in 0x1234 files, 4 in 0x1240 ones),
    // then the processor number.
    uint32_t processor = 0;
    const int optional = int(u16(16));
    const int stamp = magic == 0x1234 ? 2 : 4;
    if (optional == 16 + stamp - 2) {
        const int at = 20 + 2 + stamp;
        if (head.size() < at + 4) {
            error = quoted + QStringLiteral(" could not read optional file header.");
            return false;
        }
        processor = u16(at) | (u16(at + 2) << 16);
    }
    name.clear();
    ForEachDevice(
        [&](const DeviceRecord &record) {
            if (record.id() != processor)
                return true;
            name = record.name();
            return false;
        },
        MakeKindSet({0, 1, 3, 6}));
    return true;
}

bool HexTarget(const QString &path, QString &name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    name.clear();
    while (!file.atEnd()) {
        const QString line = QString::fromLatin1(file.readLine(64 * 1024)).trimmed();
        if (!line.startsWith(QLatin1Char(';')))
            continue;
        const QString text = line.mid(1);
        if (text.left(3).compare(QLatin1String("PIC"), Qt::CaseInsensitive) == 0 && !text.startsWith(QLatin1String("BURNTIME"), Qt::CaseInsensitive))
            name = QString(text).remove(QLatin1Char(';')).trimmed();
    }
    return true;
}

}  // namespace

bool ReadCodeTarget(const QString &path, bool coff, QString &name, QString &error)
{
    error.clear();
    return coff ? CoffTarget(path, name, error) : HexTarget(path, name);
}

}  // namespace kiv
