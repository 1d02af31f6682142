#pragma once

#include "uDebugBase_model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

class TDbgProxy;

/// One row of the option table: "name;type;values;value;hint", at most 255 characters.
struct TDebugOption {
    QString name;
    QString type;     /// first letter B boolean, I integer, L list, S string; "R" in it: read-only
    QString values;   /// the choices of an "L" row, separated by ","
    QString value;    /// the current value
    QString hint;

    /// Splits a row text at its first four ";".
    static TDebugOption FromText(const QString &text);
    /// The row text, cut to 255 characters.
    QString Text() const;
    QChar Kind() const { return type.isEmpty() ? QChar() : type.at(0).toUpper(); }
    bool ReadOnly() const { return type.contains(QLatin1Char('R'), Qt::CaseInsensitive); }
    QStringList Choices() const { return values.split(QLatin1Char(','), Qt::SkipEmptyParts); }
};

/// One debugger type found in the debugger folders.
struct TDebuggerType {
    QString path;
    QString name;
};

/// The options the IDE applies from the table after every load and Apply.
struct TAppliedOptions {
    bool compileReload = true;
    bool mouseOverEval = true;
    bool timeoutMouseOver = true;
    int mouseOverRadix = 0;       /// 0 Default, 1 Hexadecimal, 2 Binary
    bool userstream = true;
    bool echoOnMonitor = true;
    int monitorFontSize = 9;
};

/// The "Debug Configure" window's model: the debugger type (which library a session loads) and
/// the option table, the IDE's rows then the library's, with values stored in the settings
/// file under the debugger's name.
class TDebugConfigureModel : public TDebugWindowModel {
public:
    /// `settingsFile` is the settings file the options are stored in.
    explicit TDebugConfigureModel(QString settingsFile);

    /// The IDE's own rows, in table order.
    static const QStringList &IdeOptionRows();
    /// The settings key of a name: upper case, spaces turned into "_".
    static QString KeyOf(const QString &name);

    /// Loads each library of `paths` to ask its name (DBG_NAME), drops those that cannot be
    /// loaded or give no name, and selects the stored type ("kivdebug" / "Debugger-type"), or
    /// the first when the stored one is not listed (nothing is written then).
    void BuildDebuggerList(const QStringList &paths);
    const QList<TDebuggerType> &Debuggers() const { return m_debuggers; }
    int SelectedIndex() const { return m_selected; }
    /// Selects a type and stores its name; false when `index` is the selected one already or out
    /// of range. The session restarts with the new library (OnDebuggerChanged).
    bool SelectDebugger(int index);
    std::function<void()> OnDebuggerChanged;
    QString SelectedLibraryPath() const;
    QString SelectedDebuggerName() const;
    /// The selected name is "Simulator", in any case.
    bool IsSimulator() const;

    /// Builds the table (the IDE's rows, the library's rows from `debugger` when given, else
    /// those it gave last, the "Palex Supplies Vdd" row for a Palex unit), loads the stored
    /// values and applies them. Apply and Abort end disabled.
    void RebuildOptions(TDbgProxy *debugger);
    /// The same with the rows as they are.
    void ReloadOptionValues();
    const QList<TDebugOption> &Options() const { return m_options; }
    /// The value of the first row named `name` (any case); a single space when none is.
    QString GetOption(const QString &name) const;
    /// Replaces the "Processor" row by a read-only one with `value`, at the end of the table.
    void SetProcessor(const QString &value);

    /// The grid: the text shown for row `index`; editing one enables Apply and Abort.
    QString Shown(int index) const;
    void SetShown(int index, const QString &text);
    bool EditsPending() const { return m_dirty; }
    /// Writes every row that is not read-only under its key and applies the options.
    void ApplyOptions();
    /// Discards the edits: the stored values again.
    void AbortOptions();
    const TAppliedOptions &Applied() const { return m_applied; }
    /// Told after the options were applied (the monitor's font size, the mouse-over settings).
    std::function<void(const TAppliedOptions &)> OnApplied;
    /// Told when the table or its values changed.
    std::function<void()> OnOptionsChanged;

    /// The profile Load and Save buttons: off at every state change, on in dsReady.
    void SetProfileButtonsEnabled(bool on);
    bool ProfileButtonsEnabled() const { return m_profileButtons; }
    std::function<void(bool)> OnProfileButtonsEnabled;

    bool Activate() override;
    bool Deactivate() override;

private:
    QString Section() const;
    void LoadStoredValues();
    void Apply();

    QString m_settingsFile;
    QList<TDebuggerType> m_debuggers;
    int m_selected = -1;
    QStringList m_libraryRows;
    QList<TDebugOption> m_options;
    QStringList m_shown;
    bool m_dirty = false;
    bool m_profileButtons = false;
    TAppliedOptions m_applied;
};

}  // namespace kiv
