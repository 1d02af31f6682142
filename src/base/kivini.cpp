#include "kivini.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace kiv {

namespace {

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

TIniFile::TIniFile(QString path)
    : m_path(std::move(path))
{
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    QString value;
    if (FindKey(ReadTextLines(m_path), section, key, &value) < 0)
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
    return FindKey(ReadTextLines(m_path), section, key, nullptr) >= 0;
}

bool TIniFile::SectionExists(const QString &section) const
{
    qsizetype end = 0;
    return FindSection(ReadTextLines(m_path), section, &end) >= 0;
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    const QStringList lines = ReadTextLines(m_path);
    qsizetype end = 0;
    const qsizetype head = FindSection(lines, section, &end);
    QStringList keys;
    if (head < 0)
        return keys;
    for (qsizetype i = head + 1; i < end; ++i) {
        QString k;
        if (SplitKey(lines[i], &k, nullptr))
            keys << k;
    }
    return keys;
}

QStringList TIniFile::ReadSections() const
{
    QStringList sections;
    for (const QString &line : ReadTextLines(m_path)) {
        if (IsSectionLine(line))
            sections << SectionName(line);
    }
    return sections;
}

bool TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    QStringList lines = ReadTextLines(m_path);
    SetValue(lines, section, key, value);
    return WriteLines(m_path, lines);
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
    QStringList lines = ReadTextLines(m_path);
    RemoveSection(lines, section);
    return WriteLines(m_path, lines);
}

bool TIniFile::DeleteKey(const QString &section, const QString &key)
{
    QStringList lines = ReadTextLines(m_path);
    const qsizetype at = FindKey(lines, section, key, nullptr);
    if (at < 0)
        return true;
    lines.removeAt(at);
    return WriteLines(m_path, lines);
}

TIniFile::Batch::Batch(TIniFile &file)
    : m_file(file)
    , m_lines(ReadTextLines(file.FileName()))
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
    return WriteLines(m_file.FileName(), m_lines);
}

}  // namespace kiv
