#pragma once

#include "uDebugBase_model.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

class TDbgFormModel;

/// One row of the Watches table.
struct TWatchElement {
    QString number;       /// the "Count" column
    QString expression;   /// may end with a display suffix (",h" ...)
    QString value;        /// the last evaluation's text
};

/// The display formats of the "Watch entry" dialog.
enum TWatchFormat { wfDecimal, wfHex, wfBinary, wfCharacter, wfString, wfFloat };

/// The Watches window's model: C expressions evaluated through the watch library whenever the
/// target halts. The list always ends with one blank element, the row on which a new
/// expression is typed.
class TDebugWatchesModel : public TDebugWindowModel {
public:
    explicit TDebugWatchesModel(TDbgFormModel &session);

    /// The suffix of a format (",h", ",." and the places for Float ...).
    static QString Suffix(int format, int places = 4);
    /// Splits an expression at its last "," into the text before it, the format and the places.
    static void SplitExpression(const QString &text, QString &expression, int &format, int &places);

    int WatchCount() const { return int(m_elements.size()); }   /// with the blank element
    const TWatchElement &WatchElement(int index) const { return m_elements.at(index); }
    /// Rows of the table: the element count plus the heading, at least 2.
    int RowLimit() const { return m_rowLimit; }

    /// Evaluates every expression (only while halted) in the scope of the PC's line.
    void EvaluateWatches();
    /// A new watch before the blank row, numbered with the element count.
    void AddWatchText(const QString &text);
    /// An edited expression cell (`row` counts the elements from 0); a filled blank element
    /// becomes a watch and a new blank one follows.
    void SetExpression(int row, const QString &text);
    void SetNumber(int row, const QString &text);
    /// Removes a row (never the blank one); the others keep their numbers.
    void DeleteWatch(int row);
    void DeleteAllWatches();

    /// The "Watch entry" dialog's lists for the caret position: variables (class 2, or 4 outside
    /// a session file, then class 1) and defines (class 8).
    void SymbolLists(QStringList &variables, QStringList &defines) const;
    /// What the dialog's buttons append: the variable up to its first space; the define's
    /// second word.
    static QString VariableText(const QString &entry);
    static QString DefineText(const QString &entry);

    /// Width of the "Count" column ("kivdebug" / "watchcol0").
    int CountColumnWidth() const { return m_countWidth; }
    void SetCountColumnWidth(int width) { m_countWidth = width; }

    /// The Add and Delete buttons (off at every state change, on in dsReady).
    void SetButtonsEnabled(bool on);
    bool ButtonsEnabled() const { return m_buttons; }
    std::function<void(bool)> OnButtonsEnabled;

    void Refresh() override { EvaluateWatches(); }
    bool Activate() override;
    bool Deactivate() override;
    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    TDbgFormModel &m_session;
    QList<TWatchElement> m_elements;
    int m_rowLimit = 2;
    int m_countWidth = 75;
    bool m_buttons = false;
};

}  // namespace kiv
