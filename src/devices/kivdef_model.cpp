#include "kivdef_model.h"

#include "kivini.h"

namespace kiv {

namespace {
const QString kSection = QStringLiteral("defines");
}

QString CleanIdentifier(const QString &text)
{
    QString id = text;
    id.remove(QLatin1Char(' '));
    if (id.isEmpty())
        return QStringLiteral("space");
    const QChar first = id.front();
    const bool letter = (first >= QLatin1Char('A') && first <= QLatin1Char('Z'))
                     || (first >= QLatin1Char('a') && first <= QLatin1Char('z')) || first == QLatin1Char('_');
    return letter ? id : QLatin1Char('_') + id;
}

TGlobalDefines::TGlobalDefines()
{
    m_rows.resize(kGlobalDefineRows);
}

void TGlobalDefines::SetRow(int index, const QString &identifier, const QString &value)
{
    if (index >= 0 && index < kGlobalDefineRows)
        m_rows[index] = {identifier, value};
}

void TGlobalDefines::Clear()
{
    for (TGlobalDefine &row : m_rows)
        row = {};
}

void TGlobalDefines::LoadFromSettings(const TIniFile &ini)
{
    Clear();
    for (int n = 1; n <= kGlobalDefineRows; ++n) {
        const QString identifier = ini.ReadString(kSection, QStringLiteral("D%1").arg(n));
        if (identifier.isEmpty())
            break;
        m_rows[n - 1] = {identifier, ini.ReadString(kSection, QStringLiteral("V%1").arg(n))};
    }
}

bool TGlobalDefines::SaveToSettings(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    int written = 0;
    for (const TGlobalDefine &row : m_rows) {
        if (row.identifier.isEmpty())
            continue;
        ++written;
        batch.WriteString(kSection, QStringLiteral("D%1").arg(written), CleanIdentifier(row.identifier));
        batch.WriteString(kSection, QStringLiteral("V%1").arg(written), row.value);
    }
    if (written < kGlobalDefineRows) {
        batch.WriteString(kSection, QStringLiteral("D%1").arg(written + 1), QString());
        batch.WriteString(kSection, QStringLiteral("V%1").arg(written + 1), QString());
    }
    return batch.Commit();
}

void TGlobalDefines::LoadDefineLines(const QStringList &lines)
{
    int row = 0;
    for (const QString &line : lines) {
        if (row >= kGlobalDefineRows)
            break;
        if (!line.startsWith(QLatin1String("#define ")))
            continue;
        const QString rest = line.mid(8);
        const int space = int(rest.indexOf(QLatin1Char(' ')));
        if (space < 0)
            m_rows[row] = {rest, QString()};
        else
            m_rows[row] = {rest.left(space), rest.mid(space + 1)};
        ++row;
    }
    for (; row < kGlobalDefineRows; ++row)
        m_rows[row] = {};
}

QByteArray TGlobalDefines::DefineFileText() const
{
    QByteArray text;
    for (const TGlobalDefine &row : m_rows) {
        if (row.identifier.isEmpty())
            continue;
        text += (QStringLiteral("#define ") + CleanIdentifier(row.identifier) + QLatin1Char(' ') + row.value).toUtf8();
        text += "\r\n";
    }
    return text;
}

QString TGlobalDefines::GlobalDefinesText() const
{
    if (!m_enabled)
        return {};
    QString text;
    for (const TGlobalDefine &row : m_rows) {
        if (row.identifier.isEmpty())
            continue;
        QString value = row.value;
        value.replace(QLatin1Char('\t'), QLatin1Char(' '));
        text += CleanIdentifier(row.identifier) + QLatin1Char('=') + value + QLatin1Char('\t');
    }
    return text;
}

}  // namespace kiv
