#pragma once

#include "uDockForm.h"
#include "uErrorList.h"

class QMenu;
class QStackedWidget;
class QTabBar;
class QVBoxLayout;

namespace kiv {

class TFindResultsList;

/// The Output window: a dockable tool window that the main window docks at the bottom, as a
/// page of a tab group. Its tab strip `TabSet1` switches between the compiler's messages
/// ("Compiler", the error list) and the find results ("Find"); only the selected tab's list is
/// shown, filling the window. Closing it only hides it.
class TOutputForm : public TDockForm {
    Q_OBJECT

public:
    /// The tabs of `TabSet1`.
    enum TOutputTab { otCompiler = 0, otFind = 1 };

    explicit TOutputForm(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TOutputForm() override;

    /// The layout of the window's client area, top to bottom.
    QVBoxLayout *Layout() const { return m_layout; }

    TErrorList *ErrorList() const { return m_errorList; }
    TFindResultsList *FindResultsList() const { return m_findResults; }
    QTabBar *TabSet1() const { return m_tabSet; }
    /// The error list's context menu: "Find Source Line", "Help on this message".
    QMenu *PopupMenuErrorList() const { return m_popup; }

    /// How the lists open files, go to positions and show message help; the main window fills
    /// it in.
    TOutputNavigation Navigation;

    /// Selects tab 0 (the error list) or 1 (the find results) and brings the window into view
    /// wherever it is docked.
    void ShowTab(int tab);
    /// The selected tab.
    int Tab() const;

    /// The context menu's commands.
    void FindSourceLineClick();
    void HelpOnThisMessageClick();

private:
    void TabSet1Change(int tab);

    QVBoxLayout *m_layout;
    QStackedWidget *m_pages = nullptr;
    QTabBar *m_tabSet = nullptr;
    TErrorList *m_errorList = nullptr;
    TFindResultsList *m_findResults = nullptr;
    QMenu *m_popup = nullptr;
};

}  // namespace kiv
