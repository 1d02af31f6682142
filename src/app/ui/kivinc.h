#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kiv {

/// The "Include Files" dialog: the include folders in search order, edited as a list, and one
/// check box whose caption and meaning the caller gives.
class Tfkivinc : public QDialog {
    Q_OBJECT

public:
    explicit Tfkivinc(QWidget *parent = nullptr);

    /// Fills the list from a ";"-separated string (empty pieces are dropped) and sets the check
    /// box's caption and state.
    void Setup(const QString &list, const QString &checkCaption, bool checked);

    QStringList Entries() const;
    /// The entries joined back, each followed by ";".
    QString List() const;
    bool Checked() const;

    /// Moves the selected entry one place up / down; nothing at the ends.
    void MoveUpClick();
    void MoveDnClick();
    /// Removes the selected entry.
    void DeleteClick();
    /// Appends the text of `newname` when it is not empty.
    void AddClick();
    /// Fills `newname` from a folder chooser titled "Select a Folder".
    void BrowseClick();

    /// Runs a dialog modally; tests replace it to drive the dialog without blocking. The
    /// result is QDialog::Accepted or QDialog::Rejected.
    static std::function<int(QDialog &)> &ExecHook();

private:
    void MoveSelected(int delta);

    QListWidget *m_list = nullptr;
    QLineEdit *m_newname = nullptr;
    QCheckBox *m_cbox = nullptr;
};

/// Runs the "Include Files" dialog on `list`. On "Save" returns the edited list (each entry
/// followed by ";") and sets `checked` to the check box state; on cancel returns `list` unchanged
/// and leaves `checked` alone. `accepted`, when given, tells which of the two happened.
QString EditIncludeDirs(QWidget *parent, const QString &list, const QString &checkCaption,
                        bool &checked, bool *accepted = nullptr);

}  // namespace kiv
