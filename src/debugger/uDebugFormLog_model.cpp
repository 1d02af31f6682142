#include "uDebugFormLog_model.h"

#include "kivdbgsnap_model.h"
#include "kivprompt.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormRAM_model.h"
#include "uWatchProxy.h"

#include <QFile>
#include <QTime>

namespace kiv {

TDebugLogModel::TDebugLogModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormLog"), QStringLiteral("Break Log"))
    , m_session(session)
{
}

void TDebugLogModel::SetBreakCount(int n)
{
    m_breakCount = n;
    if (n < 1) {
        m_on = false;
        m_position = 1;
    } else if (m_position > n) {
        m_position = n;
    }
    if (OnStateChanged)
        OnStateChanged();
}

void TDebugLogModel::SetBreakPosition(int n)
{
    m_position = std::clamp(n, 1, BreakPositionMaximum());
}

bool TDebugLogModel::IsLogBreak(quint32 pc) const
{
    if (!LogEnabled() || !m_on)
        return false;
    const TDebugBreaksModel &breaks = m_session.Breaks();
    for (int i = 0; i < breaks.BreakCount(); ++i) {
        const quint32 address = quint32(breaks.BreakItem(i).address);
        if (address + 2 == pc || address + 1 == pc)
            return m_position == i + 1;
    }
    return false;
}

void TDebugLogModel::RecordLogEntry()
{
    const TDebugBreaksModel &breaks = m_session.Breaks();
    const int index = m_position - 1;
    if (index < 0 || index >= breaks.BreakCount())
        return;
    const TBreakItem item = breaks.BreakItem(index);
    QStringList fields;
    for (const QString &raw : m_expressions.split(QLatin1Char(';'))) {
        const QString entry = raw.trimmed();
        if (entry.startsWith(QLatin1Char('%'))) {
            if (entry.compare(QLatin1String("%TIME"), Qt::CaseInsensitive) == 0)
                fields << QTime::currentTime().toString(QStringLiteral("mm:ss"));
            else
                fields << QStringLiteral("[Error: unsupported flag]");
            continue;
        }
        QString value;
        TWatchProxy *watch = m_session.Watch();
        TDebugRamModel &ram = m_session.Ram();
        ram.BeginEvaluation();
        const bool ok = watch
                        && watch->Evaluate(item.fileNumber, item.sourceLine, entry, value, 2047,
                                           &TDebugRamModel::MemoryFunction, &ram);
        ram.EndEvaluation();
        fields << (ok ? value : QStringLiteral("[Error evaluating the expression]"));
    }
    m_lines << fields.join(QLatin1Char('\t'));
    Changed();
}

void TDebugLogModel::Clear()
{
    m_lines.clear();
    m_session.Snapshot().ResetLogCounter();
    Changed();
}

bool TDebugLogModel::SaveTo(const QString &path)
{
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString &line : std::as_const(m_lines)) {
        if (!ok)
            break;
        ok = file.write((line + QStringLiteral("\r\n")).toUtf8()) >= 0;
    }
    if (ok)
        ok = file.flush();
    if (!ok)
        ShowInformation(QStringLiteral("Error saving the logging information to ") + path);
    return ok;
}

bool TDebugLogModel::Activate()
{
    Clear();
    return TDebugWindowModel::Activate();
}

bool TDebugLogModel::Deactivate()
{
    return TDebugWindowModel::Deactivate();
}

}  // namespace kiv
