#include "kivini.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <atomic>
#include <memory>
#include <mutex>

#include <sys/stat.h>

namespace kiv {

namespace {

// The lines of a text file's bytes: UTF-8 when it is valid UTF-8, else Latin-1; either line end.
QStringList SplitText(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError())
        text = QString::fromLatin1(data);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace('\r', '\n');
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString SectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.startsWith('[')) {
        const qsizetype end = t.indexOf(']');
        if (end > 0)
            return t.mid(1, end - 1).trimmed();
    }
    return {};
}

bool IsSectionLine(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith('[') && t.indexOf(']') > 0;
}

// Splits "key=value"; lines without "=" (comments, blanks) have no key.
bool SplitKey(const QString &line, QString *key, QString *value)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0 || line.trimmed().startsWith(';'))
        return false;
    *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1);
    return !key->isEmpty();
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [first, end) of the body of `section`, first = the header's index; -1 if absent.
qsizetype FindSection(const QStringList &lines, const QString &section, qsizetype *end)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (IsSectionLine(lines[i]) && SameName(SectionName(lines[i]), section)) {
            qsizetype j = i + 1;
            while (j < lines.size() && !IsSectionLine(lines[j]))
                ++j;
            *end = j;
            return i;
        }
    }
    return -1;
}

qsizetype FindKey(const QStringList &lines, const QString &section, const QString &key,
                  QString *value)
{
    qsizetype end = 0;
    const qsizetype head = FindSection(lines, section, &end);
    if (head < 0)
        return -1;
    for (qsizetype i = head + 1; i < end; ++i) {
        QString k;
        if (SplitKey(lines[i], &k, value) && SameName(k, key))
            return i;
    }
    return -1;
}

void SetValue(QStringList &lines, const QString &section, const QString &key, const QString &value)
{
    // Line breaks inside a value would split it into a second key; keep the value on one line.
    QString clean = value;
    clean.replace('\r', ' ').replace('\n', ' ');
    const qsizetype at = FindKey(lines, section, key, nullptr);
    if (at >= 0) {
        const QString oldKey = lines[at].left(lines[at].indexOf('=')).trimmed();
        lines[at] = oldKey + '=' + clean;
        return;
    }
    qsizetype end = 0;
    const qsizetype head = FindSection(lines, section, &end);
    if (head < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << '[' + section + ']' << key + '=' + clean;
        return;
    }
    // Insert after the section's last non-blank line, keeping a blank separator in place.
    qsizetype insertAt = end;
    while (insertAt > head + 1 && lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, key + '=' + clean);
}

void RemoveSection(QStringList &lines, const QString &section)
{
    qsizetype end = 0;
    qsizetype head;
    while ((head = FindSection(lines, section, &end)) >= 0)
        lines.remove(head, end - head);
}

bool WriteLines(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray data;
    for (const QString &line : lines) {
        data += line.toUtf8();
        data += "\r\n";
    }
    // A short write (full disk, size limit) must not be committed over the old file.
    if (file.write(data) != data.size() || !file.flush() || file.error() != QFileDevice::NoError
        || file.size() != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// What identifies one version of a file on disk: a write by anyone changes at least one of
// these (a replace gives a new inode, an edit in place a new time or size).
struct TFileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool operator==(const TFileStamp &) const = default;
};

TFileStamp StampOf(const QString &path)
{
    TFileStamp stamp;
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = info.st_size;
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.inode = info.st_ino;
    stamp.device = info.st_dev;
    return stamp;
}

// A settings file read once: its lines, where each section starts and ends, and where each of
// its keys is, all by lower-case name and first occurrence, as the linear lookups find them.
struct TParsedIni {
    QStringList lines;
    bool text = true;   // false: the file holds binary data and reads as empty
    QHash<QString, QPair<qsizetype, qsizetype>> sections;   // header line, end of the body
    QHash<QString, QHash<QString, qsizetype>> keys;

    explicit TParsedIni(QStringList allLines, bool isText)
        : lines(std::move(allLines)), text(isText)
    {
        QString current;
        bool first = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString &line = lines[i];
            if (IsSectionLine(line)) {
                if (first)
                    sections[current].second = i;
                current = SectionName(line).toLower();
                first = !sections.contains(current);
                if (first)
                    sections.insert(current, {i, lines.size()});
                continue;
            }
            QString key;
            if (first && SplitKey(line, &key, nullptr)) {
                QHash<QString, qsizetype> &inSection = keys[current];
                const QString lower = key.toLower();
                if (!inSection.contains(lower))
                    inSection.insert(lower, i);
            }
        }
    }

    /// Line index of `key` in `section`, or -1; `value` receives its value.
    qsizetype Find(const QString &section, const QString &key, QString *value) const
    {
        const auto inSection = keys.constFind(section.toLower());
        if (inSection == keys.cend())
            return -1;
        const auto at = inSection->constFind(key.toLower());
        if (at == inSection->cend())
            return -1;
        if (value) {
            QString k;
            SplitKey(lines[*at], &k, value);
        }
        return *at;
    }
};

// A file that is not text: binary bytes where a settings file has lines.
bool LooksBinary(const QByteArray &data)
{
    return data.contains('\0');
}

// Every read of a settings file used to read and split the whole file again; a large file made
// each of the hundreds of reads at start-up cost as much as the file is long. Parsed files are
// kept while their stamp is unchanged, for a few files at a time.
class TIniCache {
public:
    std::shared_ptr<const TParsedIni> Get(const QString &path)
    {
        const TFileStamp stamp = StampOf(path);
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_files.constFind(path);
            if (it != m_files.cend() && it->stamp == stamp)
                return it->parsed;
        }
        ++s_parses;
        std::shared_ptr<const TParsedIni> parsed;
        QByteArray data;
        QFile file(path);
        if (stamp.exists && file.open(QIODevice::ReadOnly))
            data = file.readAll();
        if (LooksBinary(data))
            parsed = std::make_shared<const TParsedIni>(QStringList(), false);
        else
            parsed = std::make_shared<const TParsedIni>(SplitText(data), true);
        Store(path, stamp, parsed);
        return parsed;
    }

    /// The file was just written with `lines`.
    void Written(const QString &path, const QStringList &lines)
    {
        Store(path, StampOf(path), std::make_shared<const TParsedIni>(lines, true));
    }

    static inline std::atomic<int> s_parses{0};

private:
    static constexpr int kFiles = 8;

    struct TEntry {
        TFileStamp stamp;
        std::shared_ptr<const TParsedIni> parsed;
        quint64 used = 0;
    };

    void Store(const QString &path, const TFileStamp &stamp, std::shared_ptr<const TParsedIni> parsed)
    {
        std::lock_guard lock(m_mutex);
        if (!m_files.contains(path) && m_files.size() >= kFiles) {
            auto oldest = m_files.begin();
            for (auto it = m_files.begin(); it != m_files.end(); ++it) {
                if (it->used < oldest->used)
                    oldest = it;
            }
            m_files.erase(oldest);
        }
        m_files.insert(path, {stamp, std::move(parsed), ++m_clock});
    }

    std::mutex m_mutex;
    QHash<QString, TEntry> m_files;
    quint64 m_clock = 0;
};

TIniCache &Cache()
{
    static TIniCache cache;
    return cache;
}

bool WriteAndRemember(const QString &path, const QStringList &lines)
{
    if (!WriteLines(path, lines))
        return false;
    Cache().Written(path, lines);
    return true;
}

}  // namespace

QStringList ReadTextLines(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    const QByteArray data = file.readAll();
    if (ok)
        *ok = true;
    return SplitText(data);
}

TIniFile::TIniFile(QString path)
    : m_path(std::move(path))
{
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    QString value;
    if (Cache().Get(m_path)->Find(section, key, &value) < 0)
        return def;
    return value;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const QString text = ReadString(section, key).trimmed();
    const int value = text.toInt(&ok, 10);
    if (ok)
        return value;
    // Hexadecimal in the "0x" form is accepted on reading, as the platform INI service does.
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const int hex = text.mid(2).toInt(&ok, 16);
        if (ok)
            return hex;
    }
    return def;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return Cache().Get(m_path)->Find(section, key, nullptr) >= 0;
}

bool TIniFile::SectionExists(const QString &section) const
{
    return Cache().Get(m_path)->sections.contains(section.toLower());
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    const std::shared_ptr<const TParsedIni> parsed = Cache().Get(m_path);
    QStringList keys;
    const auto range = parsed->sections.constFind(section.toLower());
    if (range == parsed->sections.cend())
        return keys;
    for (qsizetype i = range->first + 1; i < range->second; ++i) {
        QString k;
        if (SplitKey(parsed->lines[i], &k, nullptr))
            keys << k;
    }
    return keys;
}

QStringList TIniFile::ReadSections() const
{
    QStringList sections;
    for (const QString &line : Cache().Get(m_path)->lines) {
        if (IsSectionLine(line))
            sections << SectionName(line);
    }
    return sections;
}

bool TIniFile::IsTextFile() const
{
    return Cache().Get(m_path)->text;
}

int TIniFile::FileParses()
{
    return TIniCache::s_parses.load();
}

bool TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    QStringList lines = Cache().Get(m_path)->lines;
    SetValue(lines, section, key, value);
    return WriteAndRemember(m_path, lines);
}

bool TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::EraseSection(const QString &section)
{
    QStringList lines = Cache().Get(m_path)->lines;
    RemoveSection(lines, section);
    return WriteAndRemember(m_path, lines);
}

bool TIniFile::DeleteKey(const QString &section, const QString &key)
{
    QStringList lines = Cache().Get(m_path)->lines;
    const qsizetype at = FindKey(lines, section, key, nullptr);
    if (at < 0)
        return true;
    lines.removeAt(at);
    return WriteAndRemember(m_path, lines);
}

TIniFile::Batch::Batch(TIniFile &file)
    : m_file(file)
    , m_lines(Cache().Get(file.FileName())->lines)
{
}

TIniFile::Batch::~Batch()
{
    Commit();
}

void TIniFile::Batch::WriteString(const QString &section, const QString &key, const QString &value)
{
    SetValue(m_lines, section, key, value);
    m_dirty = true;
}

void TIniFile::Batch::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::Batch::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::Batch::EraseSection(const QString &section)
{
    RemoveSection(m_lines, section);
    m_dirty = true;
}

bool TIniFile::Batch::Commit()
{
    if (!m_dirty)
        return true;
    m_dirty = false;
    return WriteAndRemember(m_file.FileName(), m_lines);
}

}  // namespace kiv
