#pragma once

#include "uDebugBase_model.h"

#include <QStringList>

namespace kiv {

class TDbgFormModel;

/// The Stack window's model: the target's return stack as the watch library interprets it.
class TDebugStackModel : public TDebugWindowModel {
public:
    explicit TDebugStackModel(TDbgFormModel &session);

    /// The interpretation's lines (blanks at a line start dropped, empty lines skipped; CR and
    /// LF inside quotes do not split).
    static QStringList SplitLines(const QString &text);
    /// The name a stack line stands for: its leading digits, letters, "_" and "@".
    static QString LineName(const QString &line);

    const QStringList &Lines() const { return m_lines; }
    /// Double click on line `index`: the function's source.
    void ShowLine(int index);

    void Refresh() override;

private:
    TDbgFormModel &m_session;
    QStringList m_lines;
};

/// The Eval window's model: one expression evaluated on request, whose changes to memory can be
/// written to the target ("Keep side effects").
class TDebugEvalModel : public TDebugWindowModel {
public:
    explicit TDebugEvalModel(TDbgFormModel &session);

    QString expression;
    bool keepSideEffects = false;
    const QString &Result() const { return m_result; }
    /// Evaluates the expression; nothing for blanks.
    void Evaluate();

    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    TDbgFormModel &m_session;
    QString m_result;
};

/// The Monitor window's model: the character stream between the program on the target and the
/// user.
class TDebugMonitorModel : public TDebugWindowModel {
public:
    explicit TDebugMonitorModel(TDbgFormModel &session);

    bool Active() const { return m_active; }
    /// A character of target output (the debugger library's character function).
    void Character(char c);
    /// A typed key: sent to the target while the session is not dsReady; true when consumed.
    /// Echoed through Character when "Echo on Monitor" is on or the code is below 48 or above 128.
    bool KeyTyped(char c);
    /// The text the monitor shows, and its lines (the snapshot's).
    const QString &Text() const { return m_text; }
    void SetText(const QString &text) { m_text = text; }
    QStringList MonitorLines() const;
    int FontSize() const { return m_fontSize; }
    void SetMonitorFontSize(int size);

    /// Told of every character that arrives (the window inserts it at its caret).
    std::function<void(char)> OnCharacter;

    bool Activate() override;
    bool Deactivate() override;

private:
    TDbgFormModel &m_session;
    bool m_active = false;
    QString m_text;
    int m_fontSize = 9;
};

/// The "RTOS Tasks" window's model: the task records of a program built with the compiler's RTOS.
class TDebugTasksModel : public TDebugWindowModel {
public:
    explicit TDebugTasksModel(TDbgFormModel &session);

    /// The "@TASKINFO" entries of the symbol list.
    const QStringList &Entries() const { return m_entries; }
    int Selected() const { return m_selected; }
    void Select(int index);
    /// The text area: the selected task's record, or "No RTOS Tasks".
    const QString &Text() const { return m_text; }
    /// The current task, from 1; empty when unknown.
    const QString &CurrentTask() const { return m_current; }

    void Refresh() override;
    bool Activate() override;

private:
    TDbgFormModel &m_session;
    QStringList m_entries;
    int m_selected = -1;
    QString m_text;
    QString m_current;
};

/// One section of a verification text.
struct TVerificationResults {
    struct Row {
        QString address, actual, expected, note;
    };
    struct FuseRow {
        QString actual, expected;
        bool hasExpected = false;
        /// Drawn red: both texts when there is an expected name that differs.
        bool Mismatch() const { return hasExpected && actual != expected; }
    };
    QList<Row> program;
    QList<Row> data;
    QString actualFuses;
    QString expectedFuses;
    QList<FuseRow> fuses;
    /// 0 Program, 1 Data, 2 Configuration: the first page with rows (Configuration when none).
    int activePage = 2;

    /// Reads the text the library gives (three sections split by empty lines).
    static TVerificationResults Parse(const QString &text);
};

}  // namespace kiv
