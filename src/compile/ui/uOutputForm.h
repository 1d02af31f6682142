#pragma once

#include "uDockForm.h"

class QVBoxLayout;

namespace kiv {

/// The Output window: a dockable tool window that the main window docks at the bottom, as a
/// page of a tab group. Its lists (compiler messages, find results) are laid out in Layout().
/// Closing it only hides it.
class TOutputForm : public TDockForm {
    Q_OBJECT

public:
    explicit TOutputForm(TDockingLib *dockingLib, QWidget *floatParent = nullptr);
    ~TOutputForm() override;

    /// The layout of the window's client area, top to bottom.
    QVBoxLayout *Layout() const { return m_layout; }

private:
    QVBoxLayout *m_layout;
};

}  // namespace kiv
