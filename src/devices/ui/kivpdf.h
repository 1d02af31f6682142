#pragma once

// The "View Data Sheet" window (Tfkivpdf): a device's data sheet, or another PDF document of the
// data sheet folder, opened with the desktop's viewer.

#include "kivpdf_model.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace kiv {

class TMyHtComboPic;

class Tfkivpdf : public QDialog {
    Q_OBJECT
public:
    /// The button that closed the window.
    enum TViewResult { vrNone, vrDevice, vrOther };

    explicit Tfkivpdf(QWidget *parent = nullptr);

    /// Steps 1 to 4 of ShowDataSheets without showing the window; false (the error shown) when
    /// the device file cannot be read.
    bool Start(const QString &projectFile);
    TKivPdfModel &Model() { return m_model; }
    /// Which "View" closed the window.
    TViewResult Result() const { return m_result; }
    /// What the chosen "View" asks for: the device's data sheet after the retry loop (empty when
    /// cancelled or not found), or the other PDF.
    QString FileToOpen();

private:
    void PathChanged();
    void ShowOthers();
    void ViewClick(TViewResult which);

    TKivPdfModel m_model;
    QLineEdit *m_path = nullptr;
    TMyHtComboPic *m_target = nullptr;
    QComboBox *m_others = nullptr;
    TViewResult m_result = vrNone;
};

/// `ShowDataSheets`: the whole dialog for the project file `projectFile`; opens the chosen file
/// with the desktop's viewer.
void ShowDataSheets(QWidget *parent, const QString &projectFile);

}  // namespace kiv
