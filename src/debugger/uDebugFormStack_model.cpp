#include "uDebugFormStack_model.h"

#include "kivdbgsnap_model.h"
#include "kivini.h"
#include "uDbgForm_model.h"
#include "uDbgProxy.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormRAM_model.h"
#include "uWatchProxy.h"

#include <vector>

namespace kiv {

// --- Stack -------------------------------------------------------------------------------------

TDebugStackModel::TDebugStackModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormStack"), QStringLiteral("Stack"))
    , m_session(session)
{
}

QStringList TDebugStackModel::SplitLines(const QString &text)
{
    QStringList lines;
    QString line;
    QChar quote;
    const auto finish = [&] {
        qsizetype start = 0;
        while (start < line.size() && (line.at(start) == QLatin1Char(' ') || line.at(start) == QLatin1Char('\t')))
            ++start;
        if (start < line.size())
            lines << line.mid(start);
        line.clear();
    };
    for (const QChar c : text) {
        if (quote.isNull() && (c == QLatin1Char('\r') || c == QLatin1Char('\n'))) {
            finish();
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            if (quote.isNull())
                quote = c;
            else if (quote == c)
                quote = QChar();
        }
        line += c;
    }
    finish();
    return lines;
}

QString TDebugStackModel::LineName(const QString &line)
{
    qsizetype n = 0;
    while (n < line.size()
           && (line.at(n).isLetterOrNumber() || line.at(n) == QLatin1Char('_') || line.at(n) == QLatin1Char('@')))
        ++n;
    return line.left(n);
}

void TDebugStackModel::Refresh()
{
    m_lines.clear();
    Changed();
    TDbgProxy *debugger = m_session.Debugger();
    TWatchProxy *watch = m_session.Watch();
    if (!debugger || !watch)
        return;
    QString msg;
    int count = 0;
    if (!debugger->ReadStack(count, nullptr, msg)) {
        m_session.ReportError(msg);
        return;
    }
    // The interpretation takes at most 255 entries (an 8-bit count).
    count = std::clamp(count, 0, 255);
    std::vector<quint32> entries(size_t(count), 0);
    if (count > 0 && !debugger->ReadStack(count, entries.data(), msg)) {
        m_session.ReportError(msg);
        return;
    }
    entries.resize(size_t(count));
    QString text;
    TDebugRamModel &ram = m_session.Ram();
    if (!watch->InterpretStack(m_session.PC, entries, text, &TDebugRamModel::MemoryFunction, &ram))
        m_lines << QStringLiteral("Error getting the stack information");
    else
        m_lines = SplitLines(text);
    Changed();
}

void TDebugStackModel::ShowLine(int index)
{
    TWatchProxy *watch = m_session.Watch();
    if (!watch || index < 0 || index >= m_lines.size())
        return;
    const QString name = LineName(m_lines.at(index));
    qint32 address = -1;
    if (!watch->GetFunctionAddr(name, address) || address == -1)
        return;
    TWatchLine where;
    where.address = quint32(address);
    if (watch->FindLine(wfAddressToLine, where))
        m_session.ShowSource(where.fileNumber, where.line, where.listLine);
}

// --- Eval -------------------------------------------------------------------------------------

TDebugEvalModel::TDebugEvalModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormEval"), QStringLiteral("Eval"))
    , m_session(session)
{
}

void TDebugEvalModel::Evaluate()
{
    const QString text = expression.trimmed();
    TWatchProxy *watch = m_session.Watch();
    if (text.isEmpty() || !watch)
        return;
    TDebugRamModel &ram = m_session.Ram();
    ram.BeginEvaluation();
    QString result;
    if (!watch->Evaluate(m_session.curFile, m_session.curLine, text, result, 65535, &TDebugRamModel::MemoryFunction,
                         &ram)) {
        m_session.ReportError(QStringLiteral("Error evaluating the expression: ") + text);
        // What the failed evaluation touched is not taken into the cache.
        ram.DiscardEvaluation();
        return;
    }
    ram.EndEvaluation();
    m_result = result;
    Changed();
    if (!keepSideEffects)
        return;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return;
    for (int a = 0; a <= ram.LastAddress(); ++a) {
        if (ram.State(a) <= 1 || ram.Current(a) == ram.Previous(a))
            continue;
        const quint8 value = ram.Current(a);
        QString msg;
        if (!debugger->WriteRam(a, 1, &value, msg)) {
            m_session.ReportError(msg);
            break;
        }
    }
}

bool TDebugEvalModel::LoadSettings(TIniFile &ini)
{
    expression = ini.ReadString(QStringLiteral("debugexpr"), QStringLiteral("expr"));
    keepSideEffects = ini.ReadBool(QStringLiteral("debugexpr"), QStringLiteral("sideeffects"), false);
    Changed();
    return true;
}

bool TDebugEvalModel::SaveSettings(TIniFile &ini)
{
    TIniFile::Batch batch(ini);
    batch.WriteString(QStringLiteral("debugexpr"), QStringLiteral("expr"), expression);
    batch.WriteBool(QStringLiteral("debugexpr"), QStringLiteral("sideeffects"), keepSideEffects);
    return batch.Commit();
}

// --- Monitor ----------------------------------------------------------------------------------

TDebugMonitorModel::TDebugMonitorModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormMonitor"), QStringLiteral("Monitor"))
    , m_session(session)
{
}

void TDebugMonitorModel::Character(char c)
{
    if (OnCharacter)
        OnCharacter(c);
    else
        m_text += QChar::fromLatin1(c);
}

bool TDebugMonitorModel::KeyTyped(char c)
{
    TDbgProxy *debugger = m_session.Debugger();
    if (!m_active || !debugger || m_session.State() == dsReady)
        return false;
    QString msg;
    if (!debugger->SendTargetInput(c, msg)) {
        m_session.ReportError(msg);
        return false;
    }
    const uchar code = uchar(c);
    if (m_session.Configure().Applied().echoOnMonitor || code < 48 || code > 128)
        Character(c);
    return true;
}

QStringList TDebugMonitorModel::MonitorLines() const
{
    QString text = m_text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TDebugMonitorModel::SetMonitorFontSize(int size)
{
    m_fontSize = size;
    Changed();
}

bool TDebugMonitorModel::Activate()
{
    m_active = false;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger || !debugger->SetTargetOutput())
        return false;
    TDebugWindowModel::Activate();
    m_text.clear();
    m_active = true;
    Changed();
    return true;
}

bool TDebugMonitorModel::Deactivate()
{
    m_active = false;
    return TDebugWindowModel::Deactivate();
}

// --- RTOS Tasks -------------------------------------------------------------------------------

TDebugTasksModel::TDebugTasksModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormTasks"), QStringLiteral("RTOS Tasks"))
    , m_session(session)
{
}

bool TDebugTasksModel::Activate()
{
    m_entries.clear();
    m_selected = -1;
    m_current.clear();
    m_text.clear();
    if (TWatchProxy *watch = m_session.Watch()) {
        QString list;
        watch->GetSymbolList(m_session.curFile, m_session.curLine, 1, list);
        QString entry;
        const auto finish = [&] {
            if (entry.startsWith(QLatin1String("@TASKINFO")))
                m_entries << entry;
            entry.clear();
        };
        for (const QChar c : list) {
            if (c.unicode() < 32)
                finish();
            else
                entry += c;
        }
        finish();
    }
    if (m_entries.isEmpty())
        m_text = QStringLiteral("No RTOS Tasks");
    m_selected = m_entries.isEmpty() ? -1 : 0;
    Changed();
    return TDebugWindowModel::Activate();
}

void TDebugTasksModel::Select(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    m_selected = index;
    Refresh();
}

void TDebugTasksModel::Refresh()
{
    if (m_entries.isEmpty() || m_selected < 0)
        return;
    TWatchProxy *watch = m_session.Watch();
    TDbgProxy *debugger = m_session.Debugger();
    if (!watch || !debugger)
        return;
    TDebugRamModel &ram = m_session.Ram();
    QString result;
    ram.BeginEvaluation();
    const bool found = watch->Evaluate(0, 0, QStringLiteral("&(") + m_entries.at(m_selected) + QStringLiteral("[0])"),
                                       result, 255, &TDebugRamModel::MemoryFunction, &ram);
    ram.EndEvaluation();
    if (!found) {
        m_session.ReportError(QStringLiteral("Cannot find task info"));
        return;
    }
    quint8 record[7] = {};
    QString msg;
    bool ok = false;
    const int address = result.trimmed().toInt(&ok, 0);
    if (!ok || !debugger->ReadRam(address, 7, record, msg)) {
        m_session.ReportError(ok ? msg : QStringLiteral("Cannot find task info"));
        return;
    }
    QString text;
    if (record[0] == 0)
        text += QStringLiteral("Process State:Ready\r\n");
    else if (record[0] == 128)
        text += QStringLiteral("Process State:Disabled\r\n");
    const char *labels[] = {"Lower Minor Cycle Per Run:", "Upper Minor Cycle Per Run:", "Lower Minor Cycle Counter:",
                            "Upper Minor Cycle Counter:", "Lower PC:", "Upper PC:"};
    for (int i = 0; i < 6; ++i)
        text += QLatin1String(labels[i]) + QString::number(record[i + 1]) + QStringLiteral("\r\n");
    m_text = text;
    ram.BeginEvaluation();
    const bool current = watch->Evaluate(0, 0, QStringLiteral("(@CURRENT_TASK[0])"), result, 255,
                                         &TDebugRamModel::MemoryFunction, &ram);
    ram.EndEvaluation();
    if (current)
        m_current = QString::number(result.trimmed().toInt(nullptr, 0) + 1);
    else
        m_session.ReportError(QStringLiteral("Cannot find current task"));
    Changed();
}

// --- Verification Results ---------------------------------------------------------------------

TVerificationResults TVerificationResults::Parse(const QString &text)
{
    TVerificationResults results;
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    int section = 0;
    int counted[2] = {0, 0};
    int fuseLine = 0;
    int groupStart = 0;
    for (const QString &line : lines) {
        if (section < 2 && line.isEmpty()) {
            ++section;
            continue;
        }
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (section < 2) {
            QList<Row> &rows = section == 0 ? results.program : results.data;
            const int n = ++counted[section];
            if (n < 200)
                rows.append(Row{fields.value(0), fields.value(1), fields.value(2), {}});
            else if (n == 200)
                rows.append(Row{QStringLiteral("****"), QStringLiteral("****"), QStringLiteral("****"),
                                QStringLiteral("Additional verification errors not shown")});
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        switch (fuseLine % 4) {
        case 0:
        case 1: {
            QString &actual = results.actualFuses;
            QString &expected = results.expectedFuses;
            actual += fields.value(1) + QLatin1Char(' ');
            expected += fields.value(2) + QLatin1Char(' ');
            break;
        }
        case 2:
            groupStart = int(results.fuses.size());
            for (const QString &name : fields)
                results.fuses.append(FuseRow{name, {}, false});
            break;
        case 3:
            for (int i = 0; i < fields.size(); ++i) {
                const int row = groupStart + i;
                if (row >= results.fuses.size())
                    results.fuses.append(FuseRow{});
                results.fuses[row].expected = fields.at(i);
                results.fuses[row].hasExpected = true;
            }
            break;
        }
        ++fuseLine;
    }
    results.activePage = !results.program.isEmpty() ? 0 : !results.data.isEmpty() ? 1 : 2;
    return results;
}

}  // namespace kiv
