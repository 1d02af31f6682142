#pragma once

#include "uDebugBase_model.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

class TDbgFormModel;

/// The "Break Log" window's model: one breakpoint becomes a logging point; each time Run stops
/// there a line of expression values is recorded and Run goes on.
class TDebugLogModel : public TDebugWindowModel {
public:
    explicit TDebugLogModel(TDbgFormModel &session);

    /// After every change of the breakpoint list: n below 1 disables the log.
    void SetBreakCount(int n);
    int BreakCount() const { return m_breakCount; }
    /// The "Log:" box (usable only with a breakpoint) and the "Break:" position (1-based).
    bool LogEnabled() const { return m_breakCount >= 1; }
    bool LogOn() const { return m_on; }
    void SetLogOn(bool on) { m_on = on && LogEnabled(); }
    int BreakPosition() const { return m_position; }
    void SetBreakPosition(int n);
    int BreakPositionMaximum() const { return m_breakCount < 1 ? 1 : m_breakCount; }
    /// The spin edit is read-only with exactly one breakpoint.
    bool BreakPositionReadOnly() const { return m_breakCount == 1; }
    /// The ";"-separated items to record.
    const QString &Expressions() const { return m_expressions; }
    void SetExpressions(const QString &text) { m_expressions = text; }

    /// Whether Run's stop at `pc` is the logging breakpoint: the first breakpoint whose address
    /// + 1 or + 2 is the PC decides.
    bool IsLogBreak(quint32 pc) const;
    /// Records one line: the items' values separated by tabs.
    void RecordLogEntry();
    const QStringList &Lines() const { return m_lines; }
    /// Empties the results; the snapshot's count of written log lines goes back to -1.
    void Clear();
    /// Writes the lines to a text file; false after the notice.
    bool SaveTo(const QString &path);

    /// Told when the controls' state changed (SetBreakCount).
    std::function<void()> OnStateChanged;

    bool Activate() override;
    bool Deactivate() override;

private:
    TDbgFormModel &m_session;
    int m_breakCount = 0;
    bool m_on = false;
    int m_position = 1;
    QString m_expressions;
    QStringList m_lines;
};

}  // namespace kiv
