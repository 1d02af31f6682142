#pragma once

// The SX wizard without its window: the pages of a new SX project (oscillator, serial port and
// I2C, timer 0 and watchdog, the two multi-function timers, comparator, wake-up interrupts,
// drivers, pins with pull-ups), their refresh rules, the section texts and the run that writes
// the C file and its header.

#include "kivwizard_controls.h"
#include "pc_chipr.h"

#include <QByteArray>

namespace kiv {

/// The SX wizard's pages in tab order.
enum TSxPage { spGeneral, spCommunications, spTimers, spOther, spInterrupts, spDrivers, spPins, spPageCount };

/// Page captions in tab order.
const QStringList &SxPageCaptions();
/// The SX pin types: "TTL Input", "CMOS Input", "ST Input", "Output", "Input/Output", "Not used".
const QStringList &SxPinTypeNames();

/// `SxDuration`: n in units of 0.1 ns.
QString SxDuration(qint64 n);
/// `SxShortDuration`: n in units of 0.1 us.
QString SxShortDuration(qint64 n);
/// `SxPeriodText`: SxShortDuration of 10 000 000 / f × count, rounded (f = 0 as 1).
QString SxPeriodText(qint64 frequency, qint64 count);

class TSxWizardModel : public TControlModel {
public:
    TSxWizardModel();

    /// Lists the SX devices (kind 4) of devices.dat, sorted, and reads drivers.dat.
    void Open(const QString &deviceFile = {}, const QString &driverFile = {});
    /// Chooses a device by name: RefreshSxGeneral. False when it is not in the list.
    bool SelectDevice(const QString &name);
    const DeviceRecord &Device() const { return m_device; }
    bool HasDevice() const { return m_hasDevice; }

    int CurrentPage() const { return m_page; }
    void ShowPage(int page);

    /// `RefreshSxGeneral`: device change and run start.
    void RefreshSxGeneral();
    void RefreshCommunications();
    void RefreshTimers();
    void RefreshOther();
    void RefreshTimerGroup(int n);
    void RefreshInterrupts();
    void RefreshPins();

    void Click(const QString &name) override;

    int comparatorModeSx = 0;

    /// One page's text for a placement (1 header, 2 C file before main(), 3 inside main()).
    QString SectionText(int page, int placement) const;
    /// The preview of a page, as the PIC wizard's.
    QString PreviewText(int page) const;
    /// The header path: the C path up to its first "." in the file name, then ".h".
    static QString HeaderPath(const QString &cPath);
    QByteArray CFile(const QString &headerPath) const;
    QByteArray HeaderFile() const;

protected:
    void AfterChange(const QString &name) override;
    void IndexChanged(const QString &name) override;

private:
    void CreateControls();
    void RebuildPins();
    void ComparatorLabels();
    void SelectPinItem(const QString &name, const QString &first, const QString &second);
    QString GeneralSection(int placement) const;
    QString PinsSection(int placement) const;
    QString CommunicationsSection(int placement) const;
    QString TimersSection(int placement) const;
    QString OtherSection(int placement) const;
    QString DriversSection(int placement) const;
    QString InterruptsSection(int placement) const;

    QString m_deviceFile;
    DeviceRecord m_device;
    bool m_hasDevice = false;
    int m_page = 0;
    bool m_inRefresh = false;
};

/// `RunSxWizard`: refreshes the General page, asks for the main file (title "New Project Main
/// File Name"), shows the window with `showModal` and writes the C file and the header (no
/// project file). Empty paths when cancelled or a file could not be written.
struct TSxRunResult {
    QString cPath;
    QString headerPath;
    QString error;
};
TSxRunResult RunSxWizard(TSxWizardModel &model, const std::function<bool()> &showModal);
/// The files of a run for a C path, written whole or not at all.
TSxRunResult WriteSxWizardFiles(TSxWizardModel &model, const QString &cPath);

}  // namespace kiv
