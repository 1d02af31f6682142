#include "uDebugFormBreaks_model.h"

#include "kivini.h"
#include "kivprompt.h"
#include "uDbgForm_model.h"
#include "uDbgProxy.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormROM_model.h"
#include "uWatchProxy.h"

#include <QFileInfo>
#include <QHash>

namespace kiv {

namespace {

const char kSection[] = "debugbreak";

bool IsListName(const QString &name)
{
    return QFileInfo(name).suffix().toUpper() == QLatin1String("LST");
}

}  // namespace

bool TBreakItem::OnListFile() const
{
    return IsListName(fileName);
}

QString TBreakItem::DisplayText() const
{
    return QStringLiteral("%1").arg(quint32(address) & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper() + QStringLiteral("   ")
           + fileName + QLatin1Char(':') + QString::number(OnListFile() ? listLine : sourceLine);
}

TDebugBreaksModel::TDebugBreaksModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormBreaks"), QStringLiteral("Breaks"))
    , m_session(session)
{
}

int TDebugBreaksModel::AddBreak(const QString &fileName, int line)
{
    if (fileName.isEmpty())
        return -1;
    TWatchProxy *watch = m_session.Watch();
    if (!watch)
        return -1;
    TWatchLine where;
    TWatchFindMode mode = wfLineToAddress;
    if (!IsListName(fileName)) {
        const int file = m_session.FileIndex(fileName);
        if (file == -1) {
            ShowInformation(QStringLiteral("Error adding the breakpoint: The file ") + fileName
                            + QStringLiteral(" does not belong to the debugging session."));
            return -1;
        }
        where.fileNumber = file;
        where.line = line;
    } else {
        if (fileName.compare(m_session.ListFile(), Qt::CaseInsensitive) != 0) {
            ShowInformation(QStringLiteral("Error adding the breakpoint: The file ") + fileName
                            + QStringLiteral(" is not the list file of the project."));
            return -1;
        }
        mode = wfListLineToAddress;
        where.fileNumber = 0;
        where.listLine = line;
    }
    if (!watch->FindLine(mode, where)) {
        ShowInformation(QStringLiteral("Error adding the breakpoint at ") + fileName + QStringLiteral(", line: ")
                        + QString::number(line));
        return -1;
    }
    return AddBreakAtAddress(fileName, where.fileNumber, qint32(where.address), where.listLine, where.line, true);
}

int TDebugBreaksModel::AddBreakAtAddress(const QString &fileName, int fileNumber, qint32 address, int listLine,
                                         int sourceLine, bool lookUp)
{
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return -1;
    if (lookUp) {
        TWatchLine where;
        where.address = quint32(address);
        if (!m_session.Watch() || !m_session.Watch()->FindLine(wfAddressToLine, where)) {
            ShowInformation(QStringLiteral("Error adding the breakpoint at ") + fileName
                            + QStringLiteral(", address: 0x")
                            + QStringLiteral("%1").arg(quint32(address) & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper());
            return -1;
        }
        fileNumber = where.fileNumber;
        sourceLine = where.line;
        listLine = where.listLine;
    }
    QString msg;
    if (!debugger->SetBreak(address, msg)) {
        m_session.ReportError(msg);
        return -1;
    }
    m_items.append(TBreakItem{fileNumber, fileName, sourceLine, listLine, address});
    ListChanged();
    return int(m_items.size()) - 1;
}

void TDebugBreaksModel::RemoveBreak(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return;
    QString msg;
    if (!debugger->ClearBreak(m_items.at(index).address, msg)) {
        m_session.ReportError(msg);
        return;
    }
    m_items.removeAt(index);
    ListChanged();
}

void TDebugBreaksModel::RemoveAllBreaks()
{
    // Each removal as RemoveBreak; an item the library refuses to clear stays and is skipped.
    int index = 0;
    while (index < m_items.size()) {
        const int before = int(m_items.size());
        RemoveBreak(index);
        if (m_items.size() == before)
            ++index;
    }
}

int TDebugBreaksModel::FindBreak(const QString &fileName, int line) const
{
    if (!IsListName(fileName)) {
        const int file = m_session.FileIndex(fileName);
        for (int i = 0; i < m_items.size(); ++i) {
            if (m_items.at(i).fileNumber == file && m_items.at(i).sourceLine == line)
                return i;
        }
        return -1;
    }
    if (fileName.compare(m_session.ListFile(), Qt::CaseInsensitive) != 0)
        return -1;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).listLine == line)
            return i;
    }
    return -1;
}

void TDebugBreaksModel::ToggleBreak(const QString &fileName, int line)
{
    const int found = FindBreak(fileName, line);
    if (found >= 0)
        RemoveBreak(found);
    else
        AddBreak(fileName, line);
}

void TDebugBreaksModel::MarkBreaks()
{
    IDebugHost &host = m_session.Host();
    const QString list = m_session.ListFile();
    QHash<QString, QList<int>> flags;
    if (host.IsOpen(list))
        flags.insert(list, {});
    for (const QString &file : std::as_const(m_session.sourceFiles)) {
        if (host.IsOpen(file))
            flags.insert(file, {});
    }
    for (const TBreakItem &item : std::as_const(m_items)) {
        if (flags.contains(list))
            flags[list] << item.listLine;
        const QString source = m_session.FileName(item.fileNumber);
        if (flags.contains(source))
            flags[source] << item.sourceLine;
    }
    for (auto it = flags.cbegin(); it != flags.cend(); ++it) {
        host.SetDebugMode(it.key(), true);
        host.SetBreakFlags(it.key(), it.value());
    }
}

void TDebugBreaksModel::ListChanged()
{
    m_session.Log().SetBreakCount(BreakCount());
    m_session.Rom().Changed();
    MarkBreaks();
    Changed();
}

void TDebugBreaksModel::SetButtonsEnabled(bool on)
{
    m_buttons = on;
    if (OnButtonsEnabled)
        OnButtonsEnabled(on);
}

void TDebugBreaksModel::AddAtCaret()
{
    const int line = m_session.Host().ActiveCaretLine();
    if (line > 0)
        AddBreak(m_session.Host().ActivePagePath(), line);
}

void TDebugBreaksModel::ShowBreak(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    const TBreakItem item = m_items.at(index);
    IDebugHost &host = m_session.Host();
    const QString active = host.ActivePagePath();
    if (!active.isEmpty() && active.compare(m_session.ListFile(), Qt::CaseInsensitive) == 0) {
        host.ShowLine(active, item.listLine, true, true);
        return;
    }
    if (!active.isEmpty() && m_session.FileIndex(active) == item.fileNumber && item.fileNumber >= 0) {
        host.ShowLine(active, item.sourceLine, true, true);
        return;
    }
    if (host.OpenEditor(item.fileName))
        host.ShowLine(item.fileName, item.OnListFile() ? item.listLine : item.sourceLine, true, true);
}

bool TDebugBreaksModel::Activate()
{
    RemoveAllBreaks();
    m_session.Log().SetBreakCount(0);
    return TDebugWindowModel::Activate();
}

bool TDebugBreaksModel::LoadSettings(TIniFile &ini)
{
    RemoveAllBreaks();
    m_session.Log().SetBreakCount(0);
    const QString section = QLatin1String(kSection);
    const int count = ini.ReadInteger(section, QStringLiteral("count"), -1);
    for (int n = 1; n <= count; ++n)
        AddBreak(ini.ReadString(section, QStringLiteral("f%1").arg(n)), ini.ReadInteger(section, QStringLiteral("l%1").arg(n), 0));
    return true;
}

bool TDebugBreaksModel::SaveSettings(TIniFile &ini)
{
    const QString section = QLatin1String(kSection);
    {
        TIniFile::Batch batch(ini);
        batch.EraseSection(section);
        batch.WriteInteger(section, QStringLiteral("count"), BreakCount());
        for (int n = 1; n <= m_items.size(); ++n) {
            const TBreakItem &item = m_items.at(n - 1);
            batch.WriteString(section, QStringLiteral("f%1").arg(n), item.fileName);
            batch.WriteInteger(section, QStringLiteral("l%1").arg(n), item.OnListFile() ? item.listLine : item.sourceLine);
        }
        batch.Commit();
    }
    // While a call runs on the worker the session is ending: the library goes with the list.
    TDbgProxy *debugger = m_session.Debugger();
    if (debugger && !debugger->WorkerPending() && !debugger->UnloadRequested()) {
        RemoveAllBreaks();
    } else {
        m_items.clear();
        ListChanged();
    }
    return true;
}

}  // namespace kiv
