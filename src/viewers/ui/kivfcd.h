#pragma once

// "Compare Files": the file compare dialog over TKivFcdModel.

#include "kivfcd_model.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QsciScintilla;
class QCheckBox;
class QGroupBox;
class QLineEdit;

namespace kiv {

/// The dialog `Tfkivfcd`: two file names, the file type with its "Ignore" group for listings,
/// "Ignore case", and "Compare". After a comparison it closes with the result kYes, which
/// tells the main window to show ResultFile() as a compare page; with a missing file it says
/// "File not found" and closes with kCancel.
class Tfkivfcd : public QDialog {
    Q_OBJECT

public:
    static constexpr int kYes = 6;
    static constexpr int kCancel = 2;

    explicit Tfkivfcd(QWidget *parent = nullptr);

    /// The model with the controls' current values.
    TKivFcdModel Model() const;
    /// The result file of the last comparison.
    QString ResultFile() const { return m_resultFile; }

    void Button1Click();
    void Button2Click();
    void filetypeboxClick();
    void BitBtn1Click();

private:
    QString AskFile(const QString &current);

    QString m_resultFile;
    QLineEdit *m_file1 = nullptr;
    QLineEdit *m_file2 = nullptr;
    QButtonGroup *m_fileType = nullptr;
    QGroupBox *m_ignoreBox = nullptr;
    QCheckBox *m_rom = nullptr;
    QCheckBox *m_ram = nullptr;
    QCheckBox *m_movlb = nullptr;
    QCheckBox *m_ignoreCase = nullptr;
};

/// Shows the dialog modally; returns its result (kYes after a comparison) and, with kYes, the
/// result file in `*resultFile`.
int ShowCompareDialog(QWidget *parent, QString *resultFile);

/// Navigation between the changes of a compare result shown in `editor`: Alt+Down moves the
/// caret to the first line of the next block of "D" / "I" lines, Alt+Up to the previous one.
/// Installing it twice on one editor does nothing more.
void InstallChangeNavigation(QsciScintilla *editor);
/// Moves the caret of `editor` to the next (previous) change; false when there is none.
bool GoToChange(QsciScintilla *editor, bool forward);

/// Runs a dialog modally; tests replace it to drive the dialog without blocking.
std::function<int(QDialog &)> &CompareExecHook();

}  // namespace kiv
