#pragma once

// The project wizard's state without a window: every control of every page by its name, the
// chosen device, the fuse selection, the pin table, the driver table, the analog option lists
// and the interrupt list, with the page refreshes that keep the pages consistent and the small
// timing calculations the pages show. The window only shows this state and forwards changes.

#include "cupadc.h"
#include "fuseselection_model.h"
#include "pc_chipr.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace kiv {

/// What a wizard control is.
enum TWizardControlKind {
    wcLabel,      ///< a text that the pages compute (caption)
    wcGroup,      ///< a group box: enabled and visible only
    wcCheck,      ///< a check box (checked)
    wcRadio,      ///< one radio button of a group of buttons (checked; one per group)
    wcList,       ///< a drop-down list or a radio group (items, index; -1 = nothing chosen)
    wcEdit,       ///< a text field (text)
    wcNumber,     ///< a whole-number field (value)
    wcCheckList,  ///< a check list (items, itemChecked)
    wcButton,     ///< a push button
};

/// One control of the wizard window.
struct TWizardControl {
    QString name;
    TWizardControlKind kind = wcLabel;
    QString caption;          ///< the text shown beside or on the control
    QString parent;           ///< the group box holding it (empty: the page itself)
    int page = 0;             ///< the page index
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    int index = -1;
    QString text;
    qint64 value = 0;
    qint64 minimum = 0;
    qint64 maximum = 99999999;
    QStringList items;
    QList<bool> itemChecked;

    /// The chosen item's text, empty when nothing is chosen.
    QString ItemText() const;
};

/// The wizard's pages in tab order.
enum TWizardPage {
    wpGeneral, wpCommunications, wpSpiLcd, wpTimers, wpQanTimers, wpAnalog, wpOther,
    wpInterrupts, wpDrivers, wpPins, wpHeaders, wpPageCount
};

/// Page captions in tab order ("General" … "Header Files").
const QStringList &WizardPageCaptions();

/// The I/O Type column's items: "Input", "Output", "Input/Output", "Not used", "Analog".
const QStringList &PinTypeNames();

/// One row of the pin table.
struct TPinRow {
    QString pin;          ///< port letter and bit digit, "C6"
    QString identifiers;  ///< comma-separated, at most 150 characters
    int ioType = 0;       ///< 0 Input, 1 Output, 2 Input/Output, 3 Not used, 4 Analog
    bool reserved = false;
};

/// Longest identifiers text of a pin.
constexpr int kMaxPinIdentifiers = 150;

/// One driver of drivers.dat.
struct TDriverRecord {
    QString includeFile;    ///< at most 20 characters
    QString mainStatement;  ///< at most 40 characters
    QString pinRequests;    ///< at most 150 characters, with a "," appended
};

/// A driver table and the rows of the driver list read from drivers.dat.
struct TDriverTable {
    QList<TDriverRecord> records;
    QStringList rows;       ///< the driverlist texts, matched to records by position
};

/// Parses the lines of drivers.dat.
TDriverTable ParseDriverTable(const QStringList &lines);
/// drivers.dat of the installation: UtilsDir() + "drivers.dat".
QString DriverTableFile();

/// `FormatDuration`: n in units of 0.1 us.
QString FormatDuration(qint64 n);
/// `PeriodText`: FormatDuration of 10 000 000 / frequency × count, rounded (frequency 0 as 1).
QString PeriodText(qint64 frequency, qint64 count);

/// Rounds half away from zero, the way the pages round.
qint64 RoundHalfUp(double value);

/// The project wizard's model.
class TWizardModel {
public:
    TWizardModel();

    // --- controls -----------------------------------------------------------------------
    /// Every control in creation order.
    const QList<TWizardControl> &Controls() const { return m_controls; }
    /// The control of that name; an unknown name is a programming error (asserted) and gives a
    /// dummy control.
    TWizardControl &C(const QString &name);
    const TWizardControl &C(const QString &name) const;
    bool HasControl(const QString &name) const { return m_index.contains(name); }

    /// A user change of a control, followed by the refresh the change triggers.
    void SetChecked(const QString &name, bool checked);
    void SetIndex(const QString &name, int index);
    void SetText(const QString &name, const QString &text);
    void SetValue(const QString &name, qint64 value);
    void SetItemChecked(const QString &name, int item, bool checked);
    /// Sets a control from a text the way a script gives it: "1"/"0" for check boxes and radio
    /// buttons, an item index or item text for lists, a number for number fields, any text for
    /// edits, "N=1" for an item of a check list. False with a reason when that is not possible.
    bool SetFromText(const QString &name, const QString &value, QString *error);

    /// A click on a push button ("np_spin+" / "np_spin-" step the comparator mode, "ccp1new"
    /// asks for a PWM frequency through the prompt).
    void Click(const QString &name);

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
    void SetDriverTable(const TDriverTable &table);
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
    const TDriverTable &Drivers() const { return m_drivers; }
    /// An error raised by the last refresh that read a file (empty when none); the window
    /// shows it.
    QString LastFileError() const { return m_fileError; }

    // --- pins --------------------------------------------------------------------------
    const QList<TPinRow> &Pins() const { return m_pins; }
    int PinRow(const QString &pin) const;
    QStringList PinNames() const;
    /// `PinIdentifier`: the first entry of the pin's identifiers.
    QString PinIdentifier(const QString &pin) const;
    void AssignPinFunction(const QString &pin, const QString &name, int type);
    void AppendPinIdentifier(const QString &pin, const QString &text, int type, bool reserved);
    /// `AllocatePin`: the first free pin whose type fits class c.
    QString AllocatePin(int typeClass);
    /// The user edits a cell: the I/O Type (refused for "Analog" unless the pin is "Not used";
    /// then the cell falls back to "Input") and the identifiers (cut at 150 characters).
    bool SetPinType(int row, int type);
    void SetPinIdentifiers(int row, const QString &text);

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

    /// Called after any state change (the window re-shows the controls).
    std::function<void()> changed;
    /// Asks for a whole number ("More Options" of the PWM choices); without it the question
    /// goes through the prompt interface.
    std::function<qint64(const QString &prompt)> enterNumber;

private:
    TWizardControl &Add(TWizardControlKind kind, const QString &name, const QString &caption,
                        int page, const QString &parent = {});
    void CreateControls();
    void CheckRadio(const QString &name);
    QString CheckedRadio(const QString &group) const;
    int CheckedRadioIndex(const QStringList &buttons) const;
    void AfterChange(const QString &name);
    void ComparatorLabels();
    void SelectPinItem(const QString &name, const QString &first, const QString &second);
    void ComposeSerialStatement();
    void ComposeCcpStatement();
    void ApplyAnalogPinText(QString text);
    void Notify();

    QList<TWizardControl> m_controls;
    QMap<QString, int> m_index;
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
    TDriverTable m_drivers;
    QList<TPinRow> m_pins;
    QString m_fileError;
    int m_pwmPeriods[3] = {0, 0, 0};
};

}  // namespace kiv
