#pragma once

// The main window's part of the device database: the "Valid Fuses" and "Valid Interrupts"
// reviews, the long-lived "Global Defines" window whose defines every compile receives, and the
// project wizard.

#include <QObject>

namespace kiv {

class Tfkivdef;
class Tfkivmain;
class Tfkivsxwiz;
class Tfkivwizard;

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
    /// The project wizard's window, created once.
    Tfkivwizard *WizardWindow() const { return m_wizard; }
    /// Project New "PIC Wizard": runs the wizard; on OK the new C file is opened.
    void RunPicWizard();
    /// The SX wizard's window, created once.
    Tfkivsxwiz *SxWizardWindow() const { return m_sxWizard; }
    /// Project New "SX Wizard": runs the SX wizard; on OK the new C file is opened.
    void RunSxWizard();

private:
    int ProjectProcessor() const;

    Tfkivmain &m_main;
    Tfkivdef *m_defines = nullptr;
    Tfkivwizard *m_wizard = nullptr;
    Tfkivsxwiz *m_sxWizard = nullptr;
};

}  // namespace kiv
