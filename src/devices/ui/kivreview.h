#pragma once

// The review windows "Fuse Review" (unit kivfuse) and "Interrupt Review" (unit kivints): a device
// box over the devices of the kinds {0, 1, 3, 4}, starting on the project's processor, and the
// device's valid keywords with their descriptions.

#include "fuseselection_model.h"
#include "pc_chipr.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;

namespace kiv {

class TMyHtComboPic;

class TDeviceReviewWindow : public QDialog {
    Q_OBJECT

public:
    /// Fills the device box and selects the device whose id is `processor`. False, after showing
    /// why, when the device database or the description file cannot be read.
    bool Open(int processor);

    TMyHtComboPic *Target() const { return m_target; }
    QPlainTextEdit *Memo() const { return m_memo; }

    /// Runs a dialog modally; tests replace it to look at the window without blocking.
    static std::function<int(QDialog &)> &ExecHook();

protected:
    TDeviceReviewWindow(const QString &caption, const QString &listCaption, QString descriptionFile, QWidget *parent);
    virtual QStringList Lines(const DeviceRecord &device, const TDescriptionFile &descriptions) = 0;

private:
    void TargetChange();

    QString m_descriptionFile;
    TDescriptionFile m_descriptions;
    TMyHtComboPic *m_target = nullptr;
    QPlainTextEdit *m_memo = nullptr;
};

/// "Fuse Review".
class Tfkivfuse : public TDeviceReviewWindow {
    Q_OBJECT
public:
    /// `descriptionFile` empty: the installation's fuses.txt.
    explicit Tfkivfuse(QWidget *parent = nullptr, const QString &descriptionFile = {});

protected:
    QStringList Lines(const DeviceRecord &device, const TDescriptionFile &descriptions) override;
};

/// "Interrupt Review".
class Tfkivints : public TDeviceReviewWindow {
    Q_OBJECT
public:
    /// `descriptionFile` empty: the installation's ints.txt.
    explicit Tfkivints(QWidget *parent = nullptr, const QString &descriptionFile = {});

protected:
    QStringList Lines(const DeviceRecord &device, const TDescriptionFile &descriptions) override;
};

/// View "Valid Fuses": the review of the project's processor (`processor` as ProjectProcessorNumber
/// gives it).
void ShowFuseReview(QWidget *parent, int processor);
/// View "Valid Interrupts".
void ShowInterruptReview(QWidget *parent, int processor);

}  // namespace kiv
