#pragma once

// The main window's tool bars, one per top-level menu, each with a button per menu command
// that has an icon; the visibility of bars and buttons comes from the settings file or, when
// it has none, from the default table.

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;

namespace kiv {

class TIniFile;

class TToolbars : public QObject {
    Q_OBJECT

public:
    /// `compilerSelect` is the existing bar that becomes the "Compiler-Select" tool bar.
    TToolbars(QMainWindow *main, QToolBar *compilerSelect);

    /// Builds every tool bar from the menu of the same caption ("General" from "File"),
    /// places them in the top area and applies the visibility stored in `ini`.
    void BuildToolbars(const QMenuBar *menus, const TIniFile &ini);

    /// The tool bar of that name, or nullptr.
    QToolBar *Toolbar(const QString &name) const;
    /// The button entry of a tool bar and caption ("Edit Copy"); its visibility is the button's.
    QAction *Button(const QString &name) const;
    /// Shows or hides a tool bar by name.
    void SetToolbarVisible(bool visible, const QString &name);
    bool IsToolbarVisible(const QString &name) const;
    /// Shows or hides a button; separators and the bar follow.
    void SetButtonVisible(const QString &name, bool visible);

    /// Writes the visibility of every tool bar and button to section "Toolbar".
    void SaveToolbars(TIniFile &ini) const;

    /// Gives every menu command the shortcuts of its key in section "Shortcuts" (primary, then
    /// secondary ones); a command without a key keeps the shortcuts it has. A text that is no
    /// key combination is skipped.
    static void LoadShortcuts(const QMenuBar *menus, const TIniFile &ini);
    /// Writes every menu command's shortcuts to section "Shortcuts".
    static bool SaveShortcuts(const QMenuBar *menus, TIniFile &ini);

private:
    QToolBar *CreateToolbar(const QString &name, const QMenu *menu);
    void UpdateSeparators(QToolBar *bar) const;
    bool HasVisibleButton(const QToolBar *bar) const;

    QMainWindow *m_main;
    QToolBar *m_compilerSelect;
    QMap<QString, QToolBar *> m_bars;       /// by tool bar name
    QMap<QString, QAction *> m_buttons;     /// by tool bar name + " " + caption
    QMap<QString, bool> m_barVisible;       /// the wanted visibility of each bar
};

}  // namespace kiv
