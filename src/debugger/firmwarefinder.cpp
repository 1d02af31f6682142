#include "firmwarefinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <zip.h>

#include <stdexcept>

namespace kiv {

// --- HEX file properties ----------------------------------------------------------------------------

QStringList HexProperties(const QString &path, bool *ok)
{
    QStringList properties;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return properties;
    }
    if (ok)
        *ok = true;
    // Header: comment lines up to a ";$" line; then the property block: the comment lines
    // that follow it, up to the first line that is not a comment.
    const auto next = [&file](QString &line) {
        if (file.atEnd())
            return false;
        line = QString::fromLatin1(file.readLine(64 * 1024)).trimmed();
        return true;
    };
    QString line;
    bool sawDollar = false;
    while (next(line)) {
        if (line.isEmpty() || !line.startsWith(QLatin1Char(';')))
            break;
        if (line.mid(1).trimmed() == QLatin1String("$")) {
            sawDollar = true;
            break;
        }
    }
    if (!sawDollar)
        return properties;
    while (next(line)) {
        if (line.isEmpty() || !line.startsWith(QLatin1Char(';')))
            break;
        QString text = line.mid(1);
        text.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        properties << text;
    }
    return properties;
}

QString HexProperty(const QStringList &properties, const QString &name)
{
    for (const QString &entry : properties) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        if (eq >= 0 && entry.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return entry.mid(eq + 1);
    }
    return {};
}

// --- archives -------------------------------------------------------------------------------------

TFWArchiveAccess::TFWArchiveAccess() = default;

TFWArchiveAccess::~TFWArchiveAccess()
{
    ReleaseAll();
}

bool TFWArchiveAccess::ListEntries(const QString &archive, QStringList &list, bool onlyHex)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    if (!zip) {
        if (OnLog)
            OnLog(QStringLiteral("Firmware archive ") + archive + QStringLiteral(" cannot be read; skipped"));
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    QStringList names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            continue;
        const QString entry = QString::fromUtf8(name);
        if (!onlyHex || entry.toUpper().endsWith(QLatin1String(".HEX")))
            names << entry;
    }
    zip_discard(zip);
    list += names;
    return true;
}

QString TFWArchiveAccess::LocalFile(const QString &reference)
{
    const qsizetype bar = reference.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return reference;
    const QString archive = reference.left(bar);
    const QString entry = reference.mid(bar + 1);
    const QString key = (archive + QLatin1Char('|') + entry).toLower();
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).startsWith(key + QLatin1Char('|')))
            return m_paths.at(i);
    }
    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/icdXXXXXX"));
    temporary.setAutoRemove(false);
    if (!temporary.open())
        throw std::runtime_error("Internal error on getting temp file name");
    const QString path = temporary.fileName();
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    bool ok = false;
    if (zip) {
        if (zip_file_t *in = zip_fopen(zip, entry.toUtf8().constData(), 0)) {
            char buffer[16384];
            ok = true;
            zip_int64_t n = 0;
            while ((n = zip_fread(in, buffer, sizeof buffer)) > 0) {
                if (temporary.write(buffer, n) != n) {
                    ok = false;
                    break;
                }
            }
            if (n < 0)
                ok = false;
            zip_fclose(in);
        }
        zip_discard(zip);
    }
    temporary.close();
    // The item is kept even when extraction failed, so that release removes the file.
    m_items << key + QLatin1Char('|') + path.toLower();
    m_paths << path;
    if (!ok && OnLog)
        OnLog(QStringLiteral("Firmware archive ") + archive + QStringLiteral(" has no readable entry ") + entry);
    return ok ? path : QString();
}

void TFWArchiveAccess::Release(const QString &reference)
{
    const QString key = reference.toLower();
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).startsWith(key + QLatin1Char('|'))) {
            QFile::remove(m_paths.at(i));
            m_items.removeAt(i);
            m_paths.removeAt(i);
            return;
        }
    }
}

void TFWArchiveAccess::ReleaseAll()
{
    for (const QString &path : std::as_const(m_paths))
        QFile::remove(path);
    m_items.clear();
    m_paths.clear();
}

// --- the finder -------------------------------------------------------------------------------------

TFirmwareFinder::TFirmwareFinder(QString folder)
    : m_folder(std::move(folder))
{
}

QString TFirmwareFinder::UnitName(int code)
{
    switch (code) {
    case 0:
    case 128: return QStringLiteral("BORIN");
    case 2: return QStringLiteral("PALEX");
    case 32: return QStringLiteral("BORIN-20");
    case 64: return QStringLiteral("PELKO");
    case 96: return QStringLiteral("PELKO-40");
    case 160: return QStringLiteral("BORIN-40");
    default: return {};
    }
}

int TFirmwareFinder::HexValue(const QString &text)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'));
    const QString digits = (x >= 0 ? text.mid(x + 1) : text).toUpper().trimmed();
    if (digits.isEmpty())
        return 0;
    if (digits.size() > 7)
        return -1;
    int value = 0;
    for (const QChar c : digits) {
        const int d = QStringLiteral("0123456789ABCDEF").indexOf(c);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

TFirmwareFinder::Info TFirmwareFinder::ReadInfo(const QString &file, QString *description)
{
    Info info;
    const QString local = m_archives.LocalFile(file);
    if (description)
        description->clear();
    if (local.isEmpty())
        return info;
    const QStringList properties = HexProperties(local);
    info.major = HexValue(HexProperty(properties, QStringLiteral("FIRMWARE_MAJOR")));
    info.minor = HexValue(HexProperty(properties, QStringLiteral("FIRMWARE_MINOR")));
    const auto version = [&info] {
        const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper(); };
        return two(info.major) + QLatin1Char('.') + two(info.minor);
    };
    const QString types = HexProperty(properties, QStringLiteral("FIRMWARE_TYPES"));
    if (!types.isEmpty()) {
        info.firmware = true;
        for (const QString &code : types.split(QLatin1Char(',')))
            info.codes << HexValue(code);
        for (const QString &flag : HexProperty(properties, QStringLiteral("TARGET_TYPES")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int value = HexValue(flag);
            if (value > 0)
                info.families |= value;
        }
        if (description) {
            QStringList names;
            bool borin = false;
            for (const int code : std::as_const(info.codes)) {
                const QString name = UnitName(code);
                if (name.isEmpty())
                    continue;
                if (code == 0 || code == 128) {
                    if (borin)
                        continue;
                    borin = true;
                }
                names << name;
            }
            QStringList families;
            if (info.families & 1)
                families << QStringLiteral("PIC16");
            if (info.families & 2)
                families << QStringLiteral("PIC18");
            if (info.families & 4)
                families << QStringLiteral("DSPIC");
            *description = QStringLiteral("VYN ") + names.join(QStringLiteral(" or ")) + QStringLiteral(" for ")
                           + families.join(QStringLiteral(", ")) + QStringLiteral(" targets v") + version();
        }
        return info;
    }
    const QString name = QFileInfo(local).fileName().toLower();
    if (name == QLatin1String("vynicd.hex") || name == QLatin1String("vynicd20.hex") || name == QLatin1String("vynicd40.hex")) {
        info.firmware = true;
        info.families = 3;
        if (name == QLatin1String("vynicd.hex"))
            info.codes = {0, 128};
        else if (name == QLatin1String("vynicd20.hex"))
            info.codes = {32, 64};
        else
            info.codes = {96, 160};
        if (description) {
            const QString units = name == QLatin1String("vynicd.hex")     ? QStringLiteral("BORIN")
                                  : name == QLatin1String("vynicd20.hex") ? QStringLiteral("BORIN-20 or PELKO")
                                                                          : QStringLiteral("PELKO-40");
            *description = QStringLiteral("VYN ") + units + QStringLiteral(" Firmware v") + version();
        }
    } else if (name == QLatin1String("mpl876.hex") && description) {
        *description = QStringLiteral("Microchip MPLAB Firmware");
    }
    return info;
}

QString TFirmwareFinder::FirmwareDescription(const QString &file)
{
    QString description;
    ReadInfo(file, &description);
    return description;
}

QStringList TFirmwareFinder::FirmwareFiles()
{
    QStringList candidates;
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir())
        return candidates;
    const QDir dir(m_folder);
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.hex")}, QDir::Files, QDir::Name))
        candidates << info.absoluteFilePath();
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.fw")}, QDir::Files, QDir::Name)) {
        QStringList entries;
        if (!m_archives.ListEntries(info.absoluteFilePath(), entries, true))
            continue;
        for (const QString &entry : std::as_const(entries))
            candidates << info.absoluteFilePath() + QLatin1Char('|') + entry;
    }
    QStringList files;
    for (const QString &file : std::as_const(candidates)) {
        if (FirmwareDescription(file).startsWith(QLatin1String("VYN")))
            files << file;
    }
    return files;
}

QStringList TFirmwareFinder::MatchingFirmware(int code, int mask)
{
    QStringList matching;
    for (const QString &file : FirmwareFiles()) {
        const Info info = ReadInfo(file, nullptr);
        if (info.firmware && (info.families & mask) == info.families && info.codes.contains(code))
            matching << file;
    }
    return matching;
}

QString TFirmwareFinder::NewestFirmware(int code, int mask)
{
    QString best;
    int bestMajor = 0;
    int bestMinor = 0;
    for (const QString &file : MatchingFirmware(code, mask)) {
        const Info info = ReadInfo(file, nullptr);
        if (info.major > bestMajor || (info.major == bestMajor && info.minor > bestMinor)) {
            best = file;
            bestMajor = info.major;
            bestMinor = info.minor;
        }
    }
    return best;
}

bool TFirmwareFinder::IsFirmwareOld(int code, int mask, const QString &version)
{
    const QString newest = NewestFirmware(code, mask);
    if (newest.isEmpty())
        return false;
    const Info info = ReadInfo(newest, nullptr);
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    const int major = HexValue(dot < 0 ? version : version.left(dot));
    const int minor = HexValue(dot < 0 ? QString() : version.mid(dot + 1));
    return major < info.major || (major == info.major && minor < info.minor);
}

}  // namespace kiv
