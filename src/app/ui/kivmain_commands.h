#pragma once

// The main window's command table: every command of the menus, the tool bars and the keyboard.

namespace kiv {

class Tfkivmain;

/// One command. The QAction built from it has objectName = `name`; its menu is the top-level
/// menu captioned `category`, inside the sub-menu `submenu` when that is set.
struct TCommand {
    const char *name;
    const char *category;
    const char *submenu = nullptr;
    const char *caption = nullptr;
    /// Shortcuts separated by ", "; the first is the one the menu shows.
    const char *shortcuts = nullptr;
    /// Icon theme names separated by "|"; the first the theme has is used.
    const char *icon = nullptr;
    /// Tool bar command group 1 .. 7, or 0.
    int group = 0;
    void (Tfkivmain::*run)() = nullptr;
    void (Tfkivmain::*runWith)(int) = nullptr;
    int argument = 0;
    bool checkable = false;
    bool separatorBefore = false;
    /// Reached by other commands only, not listed in a menu.
    bool hidden = false;
};

/// The table, in menu order.
const TCommand *Commands(int *count);

}  // namespace kiv
