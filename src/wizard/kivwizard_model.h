#pragma once

// The project wizard's state without a window: every control of every page by its name, the
// chosen device, the fuse selection, the pin table, the driver table, the analog option lists
// and the interrupt list, with the page refreshes that keep the pages consistent and the small
// timing calculations the pages show. The window only shows this state and forwards changes.

#include "cupadc.h"
#include "kivwizard_controls.h"
#include "fuseselection_model.h"
#include "pc_chipr.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

/// The wizard's pages in tab order.
enum TWizardPage {
    wpGeneral, wpCommunications, wpSpiLcd, wpTimers, wpQanTimers, wpAnalog, wpOther,
    wpInterrupts, wpDrivers, wpPins, wpHeaders, wpPageCount
};

/// Page captions in tab order ("General" … "Header Files").
const QStringList &WizardPageCaptions();

/// `FormatDuration`: n in units of 0.1 us.
QString FormatDuration(qint64 n);
/// `PeriodText`: FormatDuration of 10 000 000 / frequency × count, rounded (frequency 0 as 1).
QString PeriodText(qint64 frequency, qint64 count);

/// Rounds half away from zero, the way the pages round.
qint64 RoundHalfUp(double value);

/// The project wizard's model.
class TWizardModel : public TControlModel {
public:
    TWizardModel();

    /// A click on a push button ("np_spin+" / "np_spin-" step the comparator mode, "ccp1new"
    /// asks for a PWM frequency).
    void Click(const QString &name) override;

    // --- pages --------------------------------------------------------------------------
    int CurrentPage() const { return m_page; }
    /// Shows a page: runs its refresh.
    void ShowPage(int page);
    /// Runs the refresh of a page.
    void RefreshPage(int page);

    // --- device ------------------------------------------------------------------------
    /// `OpenWizardWindow`: lists the devices of devices.dat (UtilsDir), selects "PIC16C74",
    /// reads drivers.dat and the brace style. Paths default to the installation's.
    void Open(const QString &deviceFile = {}, const QString &driverFile = {});
    /// The device list and selection without touching the settings (tests).
    void SetDeviceFileOnly(const QString &deviceFile);
    void SetFuseDescriptionFile(const QString &path) { m_fuseDescriptionPath = path; }
    void SetAnalogOptionFile(const QString &path) { m_analogPath = path; }
    void SetInterruptDescriptionFile(const QString &path) { m_intsPath = path; }
    /// Chooses a device by name (`SelectDevice`): RefreshGeneral then RefreshInterrupts.
    /// False when the name is not in the device list.
    bool SelectDevice(const QString &name);
    const DeviceRecord &Device() const { return m_device; }
    bool HasDevice() const { return m_hasDevice; }

    /// Loads the device chosen in NP_DEVICE and resets the device-dependent state.
    void RefreshGeneral();
    void RefreshCommunications();
    void RefreshSpiLcd();
    void RefreshTimers();
    void RefreshQanTimers();
    void RefreshAnalog();
    void RefreshOther();
    void RefreshInterrupts();
    void RefreshPins();
    /// The Timer 2 / Timer 4 period labels.
    void RefreshTimer2Labels();
    void RefreshTimer4Labels();

    /// The per-run texts are cleared when a run starts.
    void ClearRunTexts();

    // --- fuse frame, analog, interrupts, drivers --------------------------------------
    TFuseFrameModel &Fuses() { return m_fuses; }
    const TFuseFrameModel &Fuses() const { return m_fuses; }
    const TAnalogOptions &Analog() const { return m_analog; }
    int AdcBitsInUse() const { return m_adcBitsInUse; }
    /// The interrupt names of the intchecklist rows.
    const QStringList &InterruptNames() const { return m_intNames; }
    /// An error raised by the last refresh that read a file (empty when none); the window
    /// shows it.
    QString LastFileError() const { return m_fileError; }

    /// The I/O Type cell: "Analog" is refused unless the pin is "Not used" (the cell then falls
    /// back to "Input").
    bool SetPinType(int row, int type) override;

    // --- per-run texts -------------------------------------------------------------
    QString rs232Text[4];
    QString ccpText[5];
    QString ccpPinFunction[5];
    int comparatorMode = 0;

    /// Brace style of generated functions: 0 following line, 1 same line.
    int BraceStyle() const { return C("functiongenoptions").index == 1 ? 1 : 0; }
    /// Reads "KIVWIZARD"/"CODESTYLE" from the settings; writes it back.
    void ReadBraceStyle();
    void WriteBraceStyle() const;

    /// `PwmChoices`(F): three items for prescalers 1, 4 and 16, with their period values.
    QStringList PwmChoices(qint64 frequency, int periods[3]) const;
    /// The period values behind the current ccp1pwm items.
    const int *PwmPeriods() const { return m_pwmPeriods; }

    /// Asks for a whole number ("More Options" of the PWM choices); without it the question
    /// goes through the prompt interface.
    std::function<qint64(const QString &prompt)> enterNumber;

protected:
    void AfterChange(const QString &name) override;
    void IndexChanged(const QString &name) override;
    int FindListItem(const QString &name, const QString &value) const override;
    int FindCheckListRow(const QString &name, const QString &row) const override;

private:
    void CreateControls();
    void ComparatorLabels();
    void SelectPinItem(const QString &name, const QString &first, const QString &second);
    void ComposeSerialStatement();
    void ComposeCcpStatement();
    void ApplyAnalogPinText(QString text);

    int m_page = 0;
    bool m_inRefresh = false;

    QString m_deviceFile;
    QString m_fuseDescriptionPath;
    QString m_analogPath;
    QString m_intsPath;
    DeviceRecord m_device;
    bool m_hasDevice = false;
    FuseNameTable m_fuseNames;
    TFuseFrameModel m_fuses;
    TAnalogOptions m_analog;
    int m_adcBitsInUse = 0;
    QStringList m_intNames;
    QString m_fileError;
    int m_pwmPeriods[3] = {0, 0, 0};
};

}  // namespace kiv
