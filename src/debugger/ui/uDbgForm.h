#pragma once

#include "uDockForm.h"

class QVBoxLayout;

namespace kiv {

/// The Debug window, the debug session controller's window: a dockable tool window that the
/// main window docks in the right panel. It handles windows dropped on it itself
/// (OwnDockHandling). Its controls are laid out in Layout().
class TDbgForm : public TDockForm {
    Q_OBJECT

public:
    explicit TDbgForm(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TDbgForm() override;

    /// The layout of the window's client area, top to bottom.
    QVBoxLayout *Layout() const { return m_layout; }

private:
    QVBoxLayout *m_layout;
};

}  // namespace kiv
