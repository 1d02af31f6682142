#include "uDebugFormWatches_model.h"

#include "kivini.h"
#include "uDbgForm_model.h"
#include "uDebugFormRAM_model.h"
#include "uWatchProxy.h"

namespace kiv {

namespace {

QStringList SplitEntries(const QString &list)
{
    QStringList entries;
    QString entry;
    for (const QChar c : list) {
        if (c.unicode() < 32) {
            if (!entry.isEmpty())
                entries << entry;
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.isEmpty())
        entries << entry;
    return entries;
}

}  // namespace

TDebugWatchesModel::TDebugWatchesModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormWatches"), QStringLiteral("Watches"))
    , m_session(session)
{
    DeleteAllWatches();
}

QString TDebugWatchesModel::Suffix(int format, int places)
{
    switch (format) {
    case wfHex: return QStringLiteral(",h");
    case wfBinary: return QStringLiteral(",b");
    case wfCharacter: return QStringLiteral(",c");
    case wfString: return QStringLiteral(",s");
    case wfFloat: return QStringLiteral(",.") + QString::number(std::clamp(places, 0, 9));
    default: return {};
    }
}

void TDebugWatchesModel::SplitExpression(const QString &text, QString &expression, int &format, int &places)
{
    places = 4;
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (comma < 0) {
        expression = text;
        format = wfDecimal;
        return;
    }
    expression = text.left(comma);
    const QString suffix = text.mid(comma);
    if (suffix.startsWith(QLatin1String(",."))) {
        format = wfFloat;
        bool ok = false;
        const int n = suffix.mid(2).toInt(&ok);
        places = ok ? std::clamp(n, 0, 9) : 0;
    } else if (suffix == QLatin1String(",h")) {
        format = wfHex;
    } else if (suffix == QLatin1String(",b")) {
        format = wfBinary;
    } else if (suffix == QLatin1String(",c")) {
        format = wfCharacter;
    } else if (suffix == QLatin1String(",s")) {
        format = wfString;
    } else {
        format = wfDecimal;
    }
}

void TDebugWatchesModel::EvaluateWatches()
{
    if (!m_session.IsHalted() || !m_session.IsActive())
        return;
    TWatchProxy *watch = m_session.Watch();
    TDebugRamModel &ram = m_session.Ram();
    ram.BeginEvaluation();
    for (TWatchElement &element : m_elements) {
        if (element.expression.isEmpty()) {
            element.value.clear();
            continue;
        }
        QString result;
        if (watch)
            watch->Evaluate(m_session.curFile, m_session.curLine, element.expression, result, 255,
                            &TDebugRamModel::MemoryFunction, &ram);
        element.value = result;
    }
    ram.EndEvaluation();
    Changed();
}

void TDebugWatchesModel::AddWatchText(const QString &text)
{
    m_elements.insert(m_elements.size() - 1, TWatchElement{QString::number(m_elements.size()), text, {}});
    ++m_rowLimit;
    EvaluateWatches();
    Changed();
}

void TDebugWatchesModel::SetExpression(int row, const QString &text)
{
    if (row < 0 || row >= m_elements.size())
        return;
    m_elements[row].expression = text.left(255);
    TWatchElement &blank = m_elements.last();
    if (!blank.expression.isEmpty()) {
        blank.number = QString::number(m_elements.size());
        m_elements.append(TWatchElement{});
        ++m_rowLimit;
    }
    EvaluateWatches();
    Changed();
}

void TDebugWatchesModel::SetNumber(int row, const QString &text)
{
    if (row >= 0 && row < m_elements.size()) {
        m_elements[row].number = text.left(255);
        Changed();
    }
}

void TDebugWatchesModel::DeleteWatch(int row)
{
    if (row < 0 || row >= m_elements.size() - 1)
        return;
    m_rowLimit = std::max(m_rowLimit - 1, 2);
    m_elements.removeAt(row);
    Changed();
}

void TDebugWatchesModel::DeleteAllWatches()
{
    m_elements.clear();
    m_elements.append(TWatchElement{});
    m_rowLimit = 2;
    Changed();
}

void TDebugWatchesModel::SymbolLists(QStringList &variables, QStringList &defines) const
{
    variables.clear();
    defines.clear();
    TWatchProxy *watch = m_session.Watch();
    if (!watch)
        return;
    int file = -1;
    int line = 0;
    if (!m_session.CurrentEditorPosition(file, line))
        file = -1;
    QString list;
    watch->GetSymbolList(file, line, file == -1 ? 4 : 2, list);
    variables = SplitEntries(list);
    watch->GetSymbolList(file, line, 1, list);
    variables += SplitEntries(list);
    watch->GetSymbolList(file, line, 8, list);
    defines = SplitEntries(list);
}

QString TDebugWatchesModel::VariableText(const QString &entry)
{
    return entry.section(QLatin1Char(' '), 0, 0);
}

QString TDebugWatchesModel::DefineText(const QString &entry)
{
    return entry.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(1);
}

void TDebugWatchesModel::SetButtonsEnabled(bool on)
{
    m_buttons = on;
    if (OnButtonsEnabled)
        OnButtonsEnabled(on);
}

bool TDebugWatchesModel::Activate()
{
    DeleteAllWatches();
    return TDebugWindowModel::Activate();
}

bool TDebugWatchesModel::Deactivate()
{
    DeleteAllWatches();
    return TDebugWindowModel::Deactivate();
}

bool TDebugWatchesModel::LoadSettings(TIniFile &ini)
{
    m_countWidth = ini.ReadInteger(QStringLiteral("kivdebug"), QStringLiteral("watchcol0"), 75);
    const int count = ini.ReadInteger(QStringLiteral("debugwatch"), QStringLiteral("count"), -1);
    for (int n = 1; n <= count; ++n) {
        m_elements.insert(m_elements.size() - 1,
                          TWatchElement{QString::number(n),
                                        ini.ReadString(QStringLiteral("debugwatch"), QStringLiteral("e%1").arg(n)).left(255),
                                        {}});
        ++m_rowLimit;
    }
    Changed();
    return true;
}

bool TDebugWatchesModel::SaveSettings(TIniFile &ini)
{
    TIniFile::Batch batch(ini);
    batch.WriteInteger(QStringLiteral("kivdebug"), QStringLiteral("watchcol0"), m_countWidth);
    batch.EraseSection(QStringLiteral("debugwatch"));
    int n = 0;
    for (const TWatchElement &element : std::as_const(m_elements)) {
        if (element.expression.isEmpty())
            continue;
        ++n;
        batch.WriteString(QStringLiteral("debugwatch"), QStringLiteral("e%1").arg(n), element.expression);
    }
    batch.WriteInteger(QStringLiteral("debugwatch"), QStringLiteral("count"), n);
    return batch.Commit();
}

}  // namespace kiv
