#pragma once

// The "Customize Window" dialog: which tool bars and buttons show, and the keyboard shortcuts
// of the menu commands.

#include "kivtools_model.h"

#include <QDialog>
#include <QList>

class QAction;
class QComboBox;
class QKeySequenceEdit;
class QListWidget;
class QListWidgetItem;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kiv {

class TToolbars;

/// `Tfkivtools`: page "Toolbars" edits the working visibility of the tool bars and their
/// buttons, which OK hands to the tool bars; page "Keyboard" gives and takes the shortcuts of
/// the menu commands, at once. OK writes shortcuts and tool bars to the settings file.
class Tfkivtools : public QDialog {
    Q_OBJECT

public:
    /// `settingsPath` is the settings file OK writes to.
    Tfkivtools(TToolbars *toolbars, QMenuBar *menus, QString settingsPath, QWidget *parent = nullptr);

    /// The working visibility (page "Toolbars").
    const TToolBarItems &Working() const { return m_working; }
    /// The commands and their shortcuts (page "Keyboard").
    const TShortcutTable &Shortcuts() const { return m_table; }

    /// Takes the working visibility from the tool bars, selects the first tool bar and reads
    /// the commands' shortcuts afresh; done each time the dialog shows.
    void Prepare();

    // Page "Toolbars".
    void SelectToolbar(int row);
    void ToolbarItemChanged(QListWidgetItem *item);
    void CommandItemChanged(QListWidgetItem *item);
    void CommandItemClicked(QListWidgetItem *item);
    void ResetButtonClick();

    // Page "Keyboard".
    void CategoryCBChange(int index);
    void CommandsLBClick(int row);
    void CurrentKeysLBClick(int row);
    void HotKeyChange();
    /// "&Assign": the HotKey's shortcut goes to the chosen command; a shortcut another command
    /// has moves after a Yes.
    void AssignBClick();
    void RemoveBClick();

    /// OK: the tool bars take the working visibility; shortcuts and tool bars are saved.
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FillCommands();
    void FillCurrentKeys();
    int CurrentCommand() const;
    void ApplyShortcuts(int command);

    TToolbars *m_toolbars;
    QMenuBar *m_menus;
    QString m_settingsPath;
    TToolBarItems m_working;
    TShortcutTable m_table;
    QList<QAction *> m_actions;    /// the action of each command of m_table
    std::vector<int> m_listed;     /// the commands in CommandsLB

    QTabWidget *m_pages = nullptr;
    QListWidget *m_toolbarList = nullptr;
    QListWidget *m_toolbarCommands = nullptr;
    QPlainTextEdit *m_description = nullptr;
    QComboBox *m_categories = nullptr;
    QListWidget *m_commands = nullptr;
    QListWidget *m_currentKeys = nullptr;
    QKeySequenceEdit *m_hotKey = nullptr;
    QPushButton *m_assign = nullptr;
    QPushButton *m_remove = nullptr;
    bool m_filling = false;
};

}  // namespace kiv
