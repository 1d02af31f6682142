#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

class TDbgFormModel;
class TIniFile;

/// The choices of the "Snapshot of debugger state" dialog; a snapshot profile (".sna") and a
/// debug profile (".dbg") keep them in section "snapshot".
struct TSnapshotSettings {
    enum TWhere { swPrinter, swAppend, swUnique, swOverwrite };
    int where = swAppend;
    QString filename = QStringLiteral("debuglog.txt");
    bool whenbreak = false;
    bool whenstep = false;
    bool status = true;
    bool watches = true;
    bool breaks = false;
    bool ram = false;
    int ramstart = 0;
    int ramend = 255;
    bool eeprom = false;
    bool rompc = true;
    bool rompcpm6 = false;
    bool romrange = false;
    int romstart = 0;
    int romend = 8191;
    bool perifs = false;
    bool stack = false;
    bool eval = false;
    bool monitorall = false;
    bool monitornew = false;
    bool logall = false;
    bool lognew = false;
    bool errors = false;
    bool config = false;
    bool lastc = false;
    bool nextc = false;

    /// Reads the section; a missing "where" is 0, a missing boolean false.
    void Load(const TIniFile &ini);
    void Save(TIniFile &ini) const;
};

/// Writes the state of a halted session as text: the sections the settings choose, in a fixed
/// order, to a file chosen by "where".
class TSnapshotModel {
public:
    explicit TSnapshotModel(TDbgFormModel &session);

    TSnapshotSettings settings;

    /// The next free name: "debuglog.txt" -> "debuglog1.txt" ...; a name ending in 9 carries.
    static QString UniqueName(const QString &name, const std::function<bool(const QString &)> &exists);
    /// Writes one snapshot; the Snapshot command is off meanwhile (OnBusy).
    void TakeSnapshot();
    /// The text of a snapshot's sections (without the file handling).
    QString SnapshotText();
    /// Appends the comment lines to the snapshot file.
    bool AppendComment(const QStringList &lines);

    void LoadProfile(const QString &path);
    void SaveProfile(const QString &path) const;

    /// Attach: the monitor counter to 1, the log counter to -1.
    void ResetCounters();
    void ResetLogCounter() { m_logWritten = -1; }
    int MonitorWritten() const { return m_monitorWritten; }
    int LogWritten() const { return m_logWritten; }

    std::function<void(bool busy)> OnBusy;

private:
    QString RomListing(quint32 from, quint32 to);
    QString SourceLine(const QString &label, quint32 address);

    TDbgFormModel &m_session;
    int m_monitorWritten = 1;
    int m_logWritten = -1;
};

}  // namespace kiv
