#pragma once

#include <QDialog>

#include <map>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kiv {

class TSnapshotModel;

/// The "Snapshot of debugger state" dialog: where the snapshot goes, when it is taken
/// automatically and which sections it holds; snapshot profiles (".sna") in the debugger
/// profiles folder. "Now" takes a snapshot.
class Tfkivdbgsnap : public QDialog {
    Q_OBJECT

public:
    Tfkivdbgsnap(TSnapshotModel &snapshot, QWidget *parent = nullptr);

    /// Shows the dialog; "Now" takes a snapshot with the settings shown.
    void ShowSnapshotDialog();
    /// Controls from the model's settings and back.
    void LoadControls();
    void StoreControls();
    QCheckBox *Box(const char *name) const;
    void FillProfiles();

private:
    void UpdateEnabled();
    TSnapshotModel &m_snapshot;
    QButtonGroup *m_where;
    QLineEdit *m_filename;
    QPushButton *m_browse;
    QPushButton *m_comment;
    std::map<QString, QCheckBox *> m_boxes;
    QLineEdit *m_ramStart, *m_ramEnd, *m_romStart, *m_romEnd;
    QListWidget *m_profiles;
};

}  // namespace kiv
