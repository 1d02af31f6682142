#pragma once

#include "uDockingLib_model.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

namespace kiv {

class TDockClient;
class TDockForm;
class TDockPanel;
class TDockSite;
class TDockSplitter;
class TIniFile;

/// The docking layer of the main window: the three dock panels (left 0, bottom 1, right 2) with
/// their splitters, the rules for which windows dock there, and the operations that open and
/// collapse panels and bring a docked tool window into view.
class TDockingLib : public QObject {
    Q_OBJECT

public:
    /// Sets the panels to size 0 with their tags, hides the splitters and installs the panel
    /// handlers (get site info, dock over, dock drop, undock, resize).
    TDockingLib(QWidget *mainWindow, TDockPanel *leftPanel, TDockPanel *bottomPanel, TDockPanel *rightPanel,
                TDockSplitter *leftSplitter, TDockSplitter *bottomSplitter, TDockSplitter *rightSplitter);
    ~TDockingLib() override;

    QWidget *MainWindow() const { return m_mainWindow; }
    TDockPanel *LeftPanel() const { return m_left; }
    TDockPanel *BottomPanel() const { return m_bottom; }
    TDockPanel *RightPanel() const { return m_right; }
    /// The panel with tag 0, 1 or 2; none for another tag.
    TDockPanel *Panel(int tag) const;
    /// The panel `site` is, if it is one of the three.
    TDockPanel *AsPanel(TDockSite *site) const;
    TDockSplitter *Splitter(const TDockPanel *panel) const;

    /// Last open size of each panel (0 until it was first opened).
    int SavedLeftWidth() const { return m_sizes.Saved(dpLeft); }
    int SavedRightWidth() const { return m_sizes.Saved(dpRight); }
    int SavedBottomHeight() const { return m_sizes.Saved(dpBottom); }
    TDockPanelSizes &SavedSizes() { return m_sizes; }

    /// Opens a panel at its saved size (a quarter of the main window the first time) and shows
    /// `form` when given, or collapses it to 0 keeping its size; collapsing is refused while
    /// more than one window in the panel is visible.
    void ShowDockPanel(TDockPanel *panel, bool show, TDockClient *form = nullptr);
    /// Brings a tool window into view wherever it is docked, opening its panel or group.
    void ShowDockedForm(TDockForm *form);
    /// Whether the user can see the form: floating, its own visibility; in a group, the group's
    /// and its own; in a panel, whether the panel is open (the form's own visibility does not
    /// count); false elsewhere.
    bool IsDockedFormShowing(TDockForm *form) const;

    /// Writes one form's place to `section`: whether it is docked, the class and tag of the
    /// site it is docked in ("TPanel", "TPageControl" of a tab group, "TConjoinDockHost", or
    /// "custom"), its group window's place, its own bounds and visibility. Errors while writing
    /// are ignored; false then.
    bool SaveFormPlace(TIniFile &ini, TDockForm *form, const QString &section) const;
    /// Puts a form back where SaveFormPlace found it, opening the tab or side-by-side group it
    /// belonged to when that is not open yet. False when the form was docked but the section is
    /// missing: the caller places it.
    bool RestoreFormPlace(const TIniFile &ini, TDockForm *form, const QString &section);

    /// Writes the three panels' sizes and arrangements to `section` ("Left Width", "Left Height",
    /// "Left Data", then Bottom and Right). A collapsed panel records the size it re-opens at.
    bool SaveDockSites(TIniFile &ini, const QString &section) const;
    /// Reads what SaveDockSites wrote: loads each panel's arrangement, takes its size as the
    /// saved size, then opens the panels that hold a visible window and collapses the others.
    void LoadDockSites(const TIniFile &ini, const QString &section);

    /// The main window's client size, which sizes the panels.
    QSize ClientSize() const;
    /// The available area of the screen the main window is on (of the primary screen before
    /// it is shown); floating windows of a saved layout are fitted into it.
    QRect ScreenArea() const;

private:
    void InstallPanelHandlers(TDockPanel *panel);

    QPointer<QWidget> m_mainWindow;
    TDockPanel *m_left;
    TDockPanel *m_bottom;
    TDockPanel *m_right;
    TDockSplitter *m_leftSplitter;
    TDockSplitter *m_bottomSplitter;
    TDockSplitter *m_rightSplitter;
    TDockPanelSizes m_sizes;
    QList<QPointer<TDockPanel>> m_alive;   // the panels may go first when the main window closes
};

}  // namespace kiv
