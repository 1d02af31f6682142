#pragma once

// The "Extract Calibration Data" window (Tfkivgcal) over TKivGcalModel.

#include "kivgcal_model.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace kiv {

class Tfkivgcal : public QDialog {
    Q_OBJECT
public:
    explicit Tfkivgcal(QWidget *parent = nullptr);

    /// The choices as the controls show them.
    TKivGcalModel Model() const;
    /// The OK button: writes the include file and closes the window with OK; a failure is
    /// shown and the window stays open.
    void OkClick();
    /// The include file written by the last OK.
    const QString &Written() const { return m_written; }

private:
    void BrowseInput();
    void BrowseOutput();

    QLineEdit *m_input = nullptr;
    QLineEdit *m_output = nullptr;
    QRadioButton *m_parts[4] = {};
    QString m_written;
};

/// `ExtractCalibration`: shows the window modally; the include file's path when it was closed
/// with OK and the file was written, empty otherwise.
QString ExtractCalibration(QWidget *parent);

}  // namespace kiv
