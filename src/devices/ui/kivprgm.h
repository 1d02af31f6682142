#pragma once

// The "Device Programmer/Debugger Options" window (Tfkivprgm): the names and command line
// templates of the two programmer and three debugger slots.

#include "kivprgm_model.h"

#include <QDialog>

#include <array>

class QLineEdit;

namespace kiv {

class TIniFile;

class Tfkivprgm : public QDialog {
    Q_OBJECT
public:
    explicit Tfkivprgm(QWidget *parent = nullptr);

    /// LoadToolSettings: the five slots from the settings file into the controls.
    void LoadToolSettings(const TIniFile &ini);
    /// The slots as the controls show them.
    TToolSettings Settings() const;
    /// The slots as last loaded or confirmed with OK.
    const TToolSettings &Confirmed() const { return m_confirmed; }
    /// EditToolSettings: shows the window modally; on OK writes the slots and returns true.
    /// A settings file that cannot be written is reported and the slots stay as they were.
    bool EditToolSettings(TIniFile &ini);

private:
    void Show(const TToolSettings &settings);

    TToolSettings m_confirmed;
    std::array<QLineEdit *, tsSlotCount> m_names{};
    std::array<QLineEdit *, tsSlotCount> m_commands{};
};

}  // namespace kiv
