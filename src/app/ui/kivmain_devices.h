#pragma once

// The main window's part of the device database: the "Valid Fuses" and "Valid Interrupts"
// reviews and the long-lived "Global Defines" window whose defines every compile receives.

#include <QObject>

namespace kiv {

class Tfkivdef;
class Tfkivmain;

class TDeviceParts : public QObject {
    Q_OBJECT

public:
    explicit TDeviceParts(Tfkivmain &main);

    /// The "Global Defines" window, created once.
    Tfkivdef *DefinesWindow() const { return m_defines; }

    /// View "Valid Fuses" / "Valid Interrupts" for the current project's processor.
    void ShowFuseReview();
    void ShowInterruptReview();
    /// Options "Global Defines...".
    void ShowGlobalDefines();

private:
    int ProjectProcessor() const;

    Tfkivmain &m_main;
    Tfkivdef *m_defines = nullptr;
};

}  // namespace kiv
