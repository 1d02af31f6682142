#include "kivdbgsnap_model.h"

#include "kivini.h"
#include "kivprompt.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugFormDataEE_model.h"
#include "uDebugFormLog_model.h"
#include "uDebugFormRAM_model.h"
#include "uDebugFormROM_model.h"
#include "uDebugFormStack_model.h"
#include "uDebugFormWatches_model.h"
#include "uWatchProxy.h"

#include <QFile>
#include <QFileInfo>
#include <QTime>

namespace kiv {

namespace {

const char kSection[] = "snapshot";
const QString kEol = QStringLiteral("\r\n");

QString Hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

void TSnapshotSettings::Load(const TIniFile &ini)
{
    const QString s = QLatin1String(kSection);
    const auto b = [&](const char *key) { return ini.ReadBool(s, QLatin1String(key), false); };
    where = std::clamp(ini.ReadInteger(s, QStringLiteral("where"), 0), 0, 3);
    filename = ini.ReadString(s, QStringLiteral("filename"), QStringLiteral("debuglog.txt"));
    whenbreak = b("whenbreak");
    whenstep = b("whenstep");
    status = b("status");
    watches = b("watches");
    breaks = b("breaks");
    ram = b("ram");
    ramstart = ini.ReadInteger(s, QStringLiteral("ramstart"), 0) & 0xFFFF;
    ramend = ini.ReadInteger(s, QStringLiteral("ramend"), 255) & 0xFFFF;
    eeprom = b("eeprom");
    rompc = b("rompc");
    rompcpm6 = b("rompcpm6");
    romrange = b("romrange");
    romstart = ini.ReadInteger(s, QStringLiteral("romstart"), 0) & 0xFFFF;
    romend = ini.ReadInteger(s, QStringLiteral("romend"), 8191) & 0xFFFF;
    perifs = b("perifs");
    stack = b("stack");
    eval = b("eval");
    monitorall = b("monitorall");
    monitornew = b("monitornew");
    logall = b("logall");
    lognew = b("lognew");
    errors = b("errors");
    config = b("config");
    lastc = b("lastc");
    nextc = b("nextc");
}

void TSnapshotSettings::Save(TIniFile &ini) const
{
    const QString s = QLatin1String(kSection);
    TIniFile::Batch batch(ini);
    const auto b = [&](const char *key, bool value) { batch.WriteBool(s, QLatin1String(key), value); };
    batch.WriteInteger(s, QStringLiteral("where"), where);
    batch.WriteString(s, QStringLiteral("filename"), filename);
    b("whenbreak", whenbreak);
    b("whenstep", whenstep);
    b("status", status);
    b("watches", watches);
    b("breaks", breaks);
    b("ram", ram);
    batch.WriteInteger(s, QStringLiteral("ramstart"), ramstart);
    batch.WriteInteger(s, QStringLiteral("ramend"), ramend);
    b("eeprom", eeprom);
    b("rompc", rompc);
    b("rompcpm6", rompcpm6);
    b("romrange", romrange);
    batch.WriteInteger(s, QStringLiteral("romstart"), romstart);
    batch.WriteInteger(s, QStringLiteral("romend"), romend);
    b("perifs", perifs);
    b("stack", stack);
    b("eval", eval);
    b("monitorall", monitorall);
    b("monitornew", monitornew);
    b("logall", logall);
    b("lognew", lognew);
    b("errors", errors);
    b("config", config);
    b("lastc", lastc);
    b("nextc", nextc);
    batch.Commit();
}

TSnapshotModel::TSnapshotModel(TDbgFormModel &session)
    : m_session(session)
{
}

QString TSnapshotModel::UniqueName(const QString &name, const std::function<bool(const QString &)> &exists)
{
    QString current = name;
    // Bounded: a name can only grow by one digit per round.
    for (int round = 0; round < 100000 && exists(current); ++round) {
        QString stem = current;
        QString extension;
        if (stem.size() > 3 && stem.at(stem.size() - 4) == QLatin1Char('.')) {
            extension = stem.right(4);
            stem.chop(4);
        }
        qsizetype i = stem.size() - 1;
        while (true) {
            if (i < 0) {
                stem.insert(0, QLatin1Char('1'));
                break;
            }
            const QChar c = stem.at(i);
            if (c >= QLatin1Char('0') && c <= QLatin1Char('8')) {
                stem[i] = QChar(c.unicode() + 1);
                break;
            }
            if (c == QLatin1Char('9')) {
                --i;
                continue;
            }
            stem.insert(i + 1, QLatin1Char('1'));
            break;
        }
        current = stem + extension;
    }
    return current;
}

QString TSnapshotModel::RomListing(quint32 from, quint32 to)
{
    QString text = kEol + QStringLiteral("   Rom Data:") + kEol;
    from &= 0xFFFF;
    to &= 0xFFFF;
    const bool pic18 = m_session.device.kind() == 3;
    const quint32 first = pic18 ? from / 2 : from;
    const quint32 last = pic18 ? to / 2 : to;
    TDebugRomModel &rom = m_session.Rom();
    if (from <= to) {
        for (quint32 row = first; row <= last; ++row) {
            text += QStringLiteral("   ") + rom.RowText(int(row));
            if (rom.IsPcRow(int(row)))
                text += QStringLiteral("    <<<<<<");
            text += kEol;
        }
    }
    return text + kEol;
}

QString TSnapshotModel::SourceLine(const QString &label, quint32 address)
{
    QString text = kEol + QStringLiteral("   Next C line:") + kEol;
    TWatchLine where;
    where.address = address;
    QString line;
    if (m_session.Watch() && m_session.Watch()->FindLine(wfAddressToLine, where))
        line = m_session.SourceLineText(where.fileNumber, where.line);
    else
        line = QStringLiteral("Error getting the source line. Cannot resolve the address at: ") + QString::number(address);
    return text + QStringLiteral("   ") + label + QStringLiteral("  (") + QString::number(where.fileNumber) + QLatin1Char(',')
           + QString::number(where.line) + QStringLiteral(")  ") + line + kEol;
}

QString TSnapshotModel::SnapshotText()
{
    const TSnapshotSettings &s = settings;
    QString text = kEol;
    if (s.status) {
        const TDebugStatus status = DebugStatus(m_session.State(), m_session.PC, m_session.W, m_session.clockMHz);
        text += QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ") + m_session.Host().ProjectBase()
                + QStringLiteral("   ") + status.pane3 + kEol;
        text += QStringLiteral("   PC=") + Hex(m_session.PC & 0xFFFF, 4) + QStringLiteral(",  W=") + Hex(m_session.W, 2) + kEol;
    }
    if (s.watches) {
        TDebugWatchesModel &watches = m_session.Watches();
        watches.EvaluateWatches();
        text += kEol + QStringLiteral("   Watches:") + kEol;
        for (int i = 0; i < watches.WatchCount(); ++i)
            text += QStringLiteral("      ") + watches.WatchElement(i).expression + QStringLiteral("  =>  ")
                    + watches.WatchElement(i).value + kEol;
        text += kEol;
    }
    if (s.breaks) {
        const TDebugBreaksModel &breaks = m_session.Breaks();
        text += kEol + QStringLiteral("   Breaks:") + kEol;
        for (int i = 0; i < breaks.BreakCount(); ++i)
            text += QStringLiteral("   Break set at ") + breaks.BreakItem(i).DisplayText() + kEol;
        text += kEol;
    }
    if (s.ram) {
        TDebugRamModel &ram = m_session.Ram();
        ram.ReadAll(true);
        text += kEol + QStringLiteral("   Ram Data:") + kEol;
        const int last = std::min(s.ramend, ram.LastAddress());
        for (int a = s.ramstart; a <= last; ++a) {
            if ((a - s.ramstart) % 16 == 0)
                text += QStringLiteral("   RAM  ") + Hex(quint32(a), 3) + QStringLiteral(": ");
            text += Hex(ram.Current(a), 2) + QLatin1Char(' ');
            if ((a - s.ramstart) % 16 == 15)
                text += kEol;
        }
        if (last >= s.ramstart && (last - s.ramstart) % 16 != 15)
            text += kEol;
        text += kEol;
    }
    if (s.eeprom) {
        TDebugDataEEModel &ee = m_session.DataEE();
        text += kEol + QStringLiteral("   Eeprom Data:") + kEol;
        if (ee.HasData()) {
            for (int a = 0; a < ee.Size(); ++a) {
                if (a % 16 == 0)
                    text += QStringLiteral("   Data EEPROM  ") + Hex(quint32(a), 2) + QStringLiteral(": ");
                text += Hex(ee.Current(a), 2) + QLatin1Char(' ');
                if (a % 16 == 15)
                    text += kEol;
            }
            if (ee.Size() % 16 != 0)
                text += kEol;
            text += kEol;
        }
    }
    if (s.rompc)
        text += RomListing(m_session.PC, m_session.PC);
    if (s.rompcpm6)
        text += RomListing(m_session.PC - 6, m_session.PC + 6);
    if (s.romrange)
        text += RomListing(quint32(s.romstart), quint32(s.romend));
    if (s.lastc)
        text += SourceLine(QStringLiteral("Last => "), m_session.lastPC);
    if (s.nextc)
        text += SourceLine(QStringLiteral("Next => "), m_session.PC);
    if (s.eval) {
        TDebugEvalModel &eval = m_session.Eval();
        eval.Evaluate();
        text += kEol + QStringLiteral("   Evaluate Expressions:") + kEol;
        if (!eval.expression.trimmed().isEmpty())
            text += QStringLiteral("   ") + eval.expression + QStringLiteral("  =>  ") + eval.Result() + kEol;
        else
            text += QStringLiteral("   Expression field is empty.") + kEol;
        text += kEol;
    }
    if (s.monitorall || s.monitornew) {
        const QStringList lines = m_session.Monitor().MonitorLines();
        const auto write = [&](bool all) {
            text += kEol + QStringLiteral("   Monitor Data:") + kEol;
            // Lines count from 1; "new" starts after the last line written.
            for (int n = all ? 1 : m_monitorWritten + 1; n <= lines.size(); ++n)
                text += QStringLiteral("   Monitor:  ") + lines.at(n - 1) + kEol;
            m_monitorWritten = int(lines.size());
            text += kEol;
        };
        if (s.monitorall)
            write(true);
        if (s.monitornew)
            write(false);
    }
    if (s.logall || s.lognew) {
        const QStringList lines = m_session.Log().Lines();
        const auto write = [&](bool all) {
            text += kEol + QStringLiteral("   Log Data:") + kEol;
            for (int n = all ? 0 : m_logWritten + 1; n < lines.size(); ++n)
                text += QStringLiteral("   Log:  ") + lines.at(n) + kEol;
            m_logWritten = int(lines.size()) - 1;
            text += kEol;
        };
        if (s.logall)
            write(true);
        if (s.lognew)
            write(false);
    }
    if (s.errors) {
        text += kEol + QStringLiteral("   Errors:") + kEol;
        for (const QString &entry : std::as_const(m_session.errorLog))
            text += QStringLiteral("   Error log: ") + entry + kEol;
        m_session.errorLog.clear();
        text += kEol;
    }
    if (s.config) {
        text += kEol + QStringLiteral("   Configuration:") + kEol;
        text += QStringLiteral("   Debugger: ") + m_session.Configure().SelectedDebuggerName() + QStringLiteral("    ")
                + m_session.Configure().GetOption(QStringLiteral("Processor")) + kEol;
        text += kEol;
    }
    return text;
}

void TSnapshotModel::TakeSnapshot()
{
    if (OnBusy)
        OnBusy(true);
    struct Done {
        TSnapshotModel &model;
        ~Done()
        {
            if (model.OnBusy)
                model.OnBusy(false);
        }
    } done{*this};
    TSnapshotSettings &s = settings;
    if (s.where == TSnapshotSettings::swPrinter)
        s.filename = QStringLiteral("kiv-debug-snapshot.txt");
    else if (s.where == TSnapshotSettings::swUnique)
        s.filename = UniqueName(s.filename, [](const QString &name) { return QFileInfo::exists(name); });
    QFile file(s.filename);
    const bool append = s.where == TSnapshotSettings::swAppend && file.exists();
    if (!file.open(append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate)) {
        ShowInformation(QStringLiteral("Error while doing the snapshot. ") + file.errorString());
        return;
    }
    QString text;
    try {
        text = SnapshotText();
    } catch (const std::exception &e) {
        text += QStringLiteral("**** ERROR while doing the snapshot: ") + QString::fromLocal8Bit(e.what());
    }
    if (file.write(text.toUtf8()) < 0 || !file.flush())
        file.write(QStringLiteral("**** ERROR while doing the snapshot: %1").arg(file.errorString()).toUtf8());
    file.close();
    if (s.where == TSnapshotSettings::swPrinter)
        QFile::remove(s.filename);
}

bool TSnapshotModel::AppendComment(const QStringList &lines)
{
    QFile file(settings.filename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QString text = kEol + QStringLiteral("Comments:") + kEol;
    for (const QString &line : lines)
        text += QStringLiteral("     ") + line + kEol;
    return file.write(text.toUtf8()) >= 0;
}

void TSnapshotModel::LoadProfile(const QString &path)
{
    settings.Load(TIniFile(path));
}

void TSnapshotModel::SaveProfile(const QString &path) const
{
    TIniFile ini(path);
    settings.Save(ini);
}

void TSnapshotModel::ResetCounters()
{
    m_monitorWritten = 1;
    m_logWritten = -1;
}

}  // namespace kiv
