#pragma once

// The main window's tool bars, one per top-level menu, each with a button per menu command
// that has an icon; the visibility of bars and buttons comes from the settings file or, when
// it has none, from the default table.

#include "kivtools_model.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QRect;
class QToolBar;

namespace kiv {

class TIniFile;

class TToolbars : public QObject {
    Q_OBJECT

public:
    /// `compilerSelect` is the existing bar that becomes the "Compiler-Select" tool bar.
    TToolbars(QMainWindow *main, QToolBar *compilerSelect);

    /// Builds every tool bar from the menu of the same caption ("General" from "File"),
    /// places them in the top area and applies the visibility stored in `ini`. Without stored
    /// places the rows are made to fit `clientWidth` (the width the window is about to get;
    /// 0: its present width).
    void BuildToolbars(const QMenuBar *menus, const TIniFile &ini, int clientWidth = 0);

    /// The tool bar of that name, or nullptr.
    QToolBar *Toolbar(const QString &name) const;
    /// The button entry of a tool bar and caption ("Edit Copy"); its visibility is the button's.
    QAction *Button(const QString &name) const;
    /// Shows or hides a tool bar by name.
    void SetToolbarVisible(bool visible, const QString &name);
    bool IsToolbarVisible(const QString &name) const;
    /// Shows or hides a button; separators and the bar follow.
    void SetButtonVisible(const QString &name, bool visible);

    /// Writes the visibility of every tool bar and button to section "Toolbar" and where each
    /// tool bar sits to section "Toolbar Position".
    void SaveToolbars(TIniFile &ini) const;

    /// The registry: every tool bar and button with its visibility.
    TToolBarItems Items() const;
    /// Every tool bar and button takes the visibility `items` gives it (names that are not
    /// there keep theirs); tool bars without a visible button are hidden.
    void ApplyItems(const TToolBarItems &items);
    /// The button names of a tool bar ("Edit Copy"), in the bar's order.
    QStringList ButtonNames(const QString &toolbar) const;
    /// The menu command a button runs.
    QAction *ButtonCommand(const QString &name) const;
    /// Where a tool bar sits now.
    TToolbarPlace Place(const QString &name) const;

    /// Gives every menu command the shortcuts of its key in section "Shortcuts" (primary, then
    /// secondary ones); a command without a key keeps the shortcuts it has. A text that is no
    /// key combination is skipped. The command's tool bar flag (property "toolbarFlag") comes
    /// from its key in section "Toolbar".
    static void LoadShortcuts(const QMenuBar *menus, const TIniFile &ini);
    /// Writes every menu command's shortcuts to section "Shortcuts" and its tool bar flag to
    /// section "Toolbar".
    static bool SaveShortcuts(const QMenuBar *menus, TIniFile &ini);

    /// Calls `visit` for every menu command that has a key name, with that name and the caption
    /// of its top-level menu.
    static void ForEachCommand(const QMenuBar *menus,
                               const std::function<void(QAction *, const QString &key, const QString &menu)> &visit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Shows or hides a button and sets its command's tool bar flag to match.
    void ShowButton(const QString &name, QAction *entry, bool visible);
    TToolbarPlace LivePlace(const QToolBar *bar) const;
    QToolBar *CreateToolbar(const QString &name, const QMenu *menu);
    void ArrangeToolbars(const TIniFile &ini, int clientWidth);
    void UpdateSeparators(QToolBar *bar) const;
    bool HasVisibleButton(const QToolBar *bar) const;

    QMainWindow *m_main;
    QToolBar *m_compilerSelect;
    QMap<QString, QToolBar *> m_bars;       /// by tool bar name
    QMap<QString, QAction *> m_buttons;     /// by tool bar name + " " + caption
    QMap<QString, bool> m_barVisible;       /// the wanted visibility of each bar
    QMap<QString, TToolbarPlace> m_hiddenPlaces;   /// where each bar was when it was last shown
};

}  // namespace kiv
