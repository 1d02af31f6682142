#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace kiv {

/// The replace dialog of the "Replace" command: the text to find and its replacement, "Match
/// case", the direction (starting "Down"), and the buttons "Find Next", "Replace", "Replace All",
/// "Replace in Project" and "Cancel". Whole-word matching is not offered. It stays open beside
/// the editor while the user works through the matches.
class TReplaceDialog : public QDialog {
    Q_OBJECT

public:
    explicit TReplaceDialog(QWidget *parent = nullptr);

    QString FindText() const;
    void SetFindText(const QString &text);
    QString ReplaceText() const;
    bool MatchCase() const;
    /// The direction: true "Down", false "Up".
    bool Down() const;
    void SetDown(bool down);

Q_SIGNALS:
    void FindNextClicked();
    void ReplaceClicked();
    void ReplaceAllClicked();
    void ReplaceInProjectClicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QComboBox *m_find = nullptr;
    QComboBox *m_replace = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QRadioButton *m_up = nullptr;
    QRadioButton *m_down = nullptr;
};

}  // namespace kiv
