#pragma once

// The "Global Defines" window: up to nine identifier/value pairs passed to every compile while
// "Enabled" is checked. Created once at start-up; lives until exit.

#include "kivdef_model.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QTableWidget;

namespace kiv {

class Tfkivdef : public QDialog {
    Q_OBJECT

public:
    /// Creates the window and loads the pairs from the settings file at `settingsPath`.
    explicit Tfkivdef(QString settingsPath, QWidget *parent = nullptr);

    /// The folder the Load and Save dialogs start in (the current project's folder).
    std::function<QString()> ProjectFolder;

    /// "Clear": empties every row.
    void ClearClick();
    /// "Load": reads a define file chosen by the user.
    void LoadClick();
    /// "Save": writes the rows to a define file chosen by the user.
    void SaveClick();
    /// OK: writes the rows to the settings file and closes the window.
    void OKClick();

    /// For the compiler: empty unless "Enabled" is checked.
    QString GlobalDefinesText() const { return m_defines.GlobalDefinesText(); }
    const TGlobalDefines &Defines() const { return m_defines; }
    QTableWidget *Grid() const { return m_grid; }
    QCheckBox *EnabledBox() const { return m_enabled; }

private:
    void ShowRows();
    void TakeRows();

    QString m_settingsPath;
    TGlobalDefines m_defines;
    QTableWidget *m_grid = nullptr;
    QCheckBox *m_enabled = nullptr;
};

}  // namespace kiv
