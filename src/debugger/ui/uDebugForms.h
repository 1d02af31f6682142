#pragma once

// The twelve debug windows: thin views over their models (src/debugger/*_model.h), docked as
// tabs of the Debug window. Control object names are the names the windows' forms give.

#include "uDebugBase.h"

#include <array>

class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QToolButton;

namespace kiv {

class TDbgFormModel;
class TDebugConfigureModel;
class TDebugRamModel;
class TDebugDataEEModel;
class TDebugRomModel;
class TDebugBreaksModel;
class TDebugStackModel;
class TDebugWatchesModel;
class TDebugPeripheralsModel;
class TDebugEvalModel;
class TDebugMonitorModel;
class TDebugLogModel;
class TDebugTasksModel;
class TByteTableModel;
class TRomTableModel;

/// Creates the twelve windows of `session`, in the session's order.
std::array<TDebugDockForm *, dwCount> CreateDebugWindows(TDbgForm *debugForm, TDbgFormModel &session);

/// "Debug Configure": the debugger type, the option grid and the profile and tool buttons.
class TDebugFormConfigure : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormConfigure(TDbgForm *debugForm, TDbgFormModel &session);
    QComboBox *Debuggers() const { return m_debugger; }
    QTableWidget *Grid() const { return m_grid; }
    void FillGrid();
    void LoadProfileClick();
    void SaveProfileClick();

protected:
    void SetControlsEnabled(bool on) override;
    void ModelChanged() override;

private:
    void UpdateButtons();
    TDbgFormModel &m_session;
    TDebugConfigureModel &m_model;
    QComboBox *m_debugger;
    QTableWidget *m_grid;
    QLabel *m_hint;
    QToolButton *m_load, *m_save, *m_reload, *m_program;
    QPushButton *m_apply, *m_abort;
    bool m_filling = false;
    bool m_sessionControls = false;
};

/// RAM and Data EE: a table of bytes, "Auto Read" and "Refresh".
class TDebugFormBytes : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormBytes(TDbgForm *debugForm, TDbgFormModel &session, TDebugWindowModel *model, bool ram);
    QTableView *Table() const { return m_table; }
    TByteTableModel *TableModel() const { return m_tableModel; }

protected:
    void ModelChanged() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void VisibleRowsChanged();
    TDbgFormModel &m_session;
    bool m_ram;
    QTableView *m_table;
    TByteTableModel *m_tableModel;
    QCheckBox *m_autoRead;
    QLabel *m_none;
};

/// ROM: one program word per row with its instruction.
class TDebugFormROM : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormROM(TDbgForm *debugForm, TDbgFormModel &session);
    QTableView *Table() const { return m_table; }

protected:
    void ModelChanged() override;

private:
    TDebugRomModel &m_model;
    QTableView *m_table;
    TRomTableModel *m_tableModel;
};

/// Breaks: the breakpoints with the Add and Delete buttons.
class TDebugFormBreaks : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormBreaks(TDbgForm *debugForm, TDbgFormModel &session);
    QListWidget *List() const { return m_list; }

protected:
    void ModelChanged() override;
    void SetControlsEnabled(bool on) override;

private:
    TDebugBreaksModel &m_model;
    QListWidget *m_list;
    QToolButton *m_add, *m_delete;
};

/// Stack: the return stack as a call chain.
class TDebugFormStack : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormStack(TDbgForm *debugForm, TDbgFormModel &session);

protected:
    void ModelChanged() override;

private:
    TDebugStackModel &m_model;
    QListWidget *m_list;
};

/// Watches: the expressions and their values.
class TDebugFormWatches : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormWatches(TDbgForm *debugForm, TDbgFormModel &session);
    QTableWidget *Table() const { return m_table; }
    void AddWatch();
    void EditWatch();

protected:
    void ModelChanged() override;
    void SetControlsEnabled(bool on) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ContextMenu(const QPoint &pos);
    TDbgFormModel &m_session;
    TDebugWatchesModel &m_model;
    QTableWidget *m_table;
    QToolButton *m_add, *m_delete;
    bool m_filling = false;
};

/// Peripherals: the registers of one peripheral group.
class TDebugFormPeripherals : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormPeripherals(TDbgForm *debugForm, TDbgFormModel &session);
    QListWidget *Selection() const { return m_selection; }
    QPlainTextEdit *Text() const { return m_text; }

protected:
    void ModelChanged() override;

private:
    TDebugPeripheralsModel &m_model;
    QListWidget *m_selection;
    QPlainTextEdit *m_text;
    bool m_filling = false;
};

/// Eval: one expression on request.
class TDebugFormEval : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormEval(TDbgForm *debugForm, TDbgFormModel &session);

protected:
    void ModelChanged() override;

private:
    TDebugEvalModel &m_model;
    QLineEdit *m_expression;
    QPlainTextEdit *m_value;
    QCheckBox *m_sideEffects;
};

/// Monitor: the target's character stream.
class TDebugFormMonitor : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormMonitor(TDbgForm *debugForm, TDbgFormModel &session);
    QPlainTextEdit *Editor() const { return m_editor; }

protected:
    void ModelChanged() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Insert(char c);
    TDebugMonitorModel &m_model;
    QPlainTextEdit *m_editor;
};

/// Break Log: a logging breakpoint's recorded lines.
class TDebugFormLog : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormLog(TDbgForm *debugForm, TDbgFormModel &session);

protected:
    void ModelChanged() override;
    void SetControlsEnabled(bool on) override;

private:
    void UpdateLogControls();
    TDebugLogModel &m_model;
    QLabel *m_logLabel;
    QCheckBox *m_on;
    QSpinBox *m_break;
    QLineEdit *m_expressions;
    QPlainTextEdit *m_results;
    QPushButton *m_clear, *m_save;
};

/// RTOS Tasks: the task records.
class TDebugFormTasks : public TDebugDockForm {
    Q_OBJECT
public:
    TDebugFormTasks(TDbgForm *debugForm, TDbgFormModel &session);

protected:
    void ModelChanged() override;

private:
    TDebugTasksModel &m_model;
    QComboBox *m_selection;
    QLabel *m_currentLabel, *m_current;
    QPlainTextEdit *m_text;
    bool m_filling = false;
};

}  // namespace kiv
