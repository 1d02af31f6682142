#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kiv {

class TDbgFormModel;

/// The "Watch entry" dialog: one expression and its display format, with the variables and
/// defines in scope at the caret to pick from.
class Tfkivdbgwatch : public QDialog {
    Q_OBJECT

public:
    Tfkivdbgwatch(TDbgFormModel &session, QWidget *parent = nullptr);

    /// Empty expression, OK captioned "Add Watch".
    void SetForAdd();
    /// The row's expression split into its text and format, OK captioned "Edit Watch".
    void SetForEdit(const QString &expression);
    /// The expression with the chosen format's suffix; from the last used list when empty.
    QString ResultText() const;

    QLineEdit *WatchString() const { return m_expression; }
    QListWidget *Variables() const { return m_variables; }
    QListWidget *Defines() const { return m_defines; }
    QButtonGroup *Format() const { return m_format; }
    QSpinBox *FormatPlaces() const { return m_places; }

private:
    void FillLists();
    TDbgFormModel &m_session;
    QLineEdit *m_expression;
    QButtonGroup *m_format;
    QSpinBox *m_places;
    QListWidget *m_variables;
    QListWidget *m_defines;
    QPushButton *m_ok;
    bool m_lastVariables = true;
};

}  // namespace kiv
