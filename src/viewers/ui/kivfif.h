#pragma once

#include "kivfif_model.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace kiv {

/// What the find dialog asks of the main window.
struct TFindDialogHost {
    /// Finds `text` in the current page (direction -1 backward, 0 entire file, 1 forward);
    /// true when found.
    std::function<bool(const QString &text, bool matchCase, int direction)> FindInPage;
    /// Lists every matching line of the current page in the find results.
    std::function<void(const QString &text, bool matchCase, int direction)> FindAllInPage;
    /// Runs a search of files and lists its matches in the find results.
    std::function<void(const TFindOptions &options, const TFindRequest &request)> FindInFiles;
};

/// The dialog "Find" / "Find in files" (`Tfkivfif`): the text with its history, "Ignore Case",
/// where to search (files of the project, a given directory, the include directories) or, for
/// the current page, the direction; "Find" and "Find All". Created once with the main window.
class Tfkivfif : public QDialog {
    Q_OBJECT

public:
    /// `history` is the search history, most recent first (not owned; the main window saves
    /// it with its environment).
    Tfkivfif(QStringList *history, QWidget *parent = nullptr);

    TFindDialogHost Host;

    /// "&Find text in project": a search of files; shown modally.
    void ShowFindInFiles();
    /// "Find": a search of the current page for `word`; shown modally.
    void ShowFind(const QString &word);
    /// The editor's "Find ... in project": searches the project's files for `word`, ignoring
    /// case, without showing the dialog.
    void FindWordInProject(const QString &word);

    /// "Find": searches the current page; closes with OK when found, else warns.
    void FindBtnClick();
    /// "Find All": lists every match in the find results, then closes with OK.
    void FindAllBtnClick();
    /// The height rule of both radio groups: the directory options show only for "Given
    /// directory".
    void searchinClick();

    /// Dialog height in the system's units: 170, or 250 with the directory options shown.
    int DesignHeight() const;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FillHistory();
    TFindOptions Options() const;
    void ChooseDirectory();

    QStringList *m_history;
    QComboBox *m_key = nullptr;
    QCheckBox *m_ignoreCase = nullptr;
    QGroupBox *m_searchIn = nullptr;
    QButtonGroup *m_searchInGroup = nullptr;
    QGroupBox *m_searchDir = nullptr;
    QButtonGroup *m_searchDirGroup = nullptr;
    QGroupBox *m_directoryOptions = nullptr;
    QLineEdit *m_directory = nullptr;
    QPushButton *m_dirButton = nullptr;
    QCheckBox *m_subdirs = nullptr;
    QPushButton *m_findButton = nullptr;
    QPushButton *m_findAllButton = nullptr;
};

}  // namespace kiv
