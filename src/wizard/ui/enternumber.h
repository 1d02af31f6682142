#pragma once

// The "Enter Number" window: one prompt, one whole-number field, one OK button.

#include <QDialog>

class QLabel;
class QSpinBox;

namespace kiv {

class TFenternumber : public QDialog {
    Q_OBJECT

public:
    explicit TFenternumber(const QString &prompt, QWidget *parent = nullptr);
    /// The field's value, however the window was closed.
    qint64 Value() const;

private:
    QSpinBox *m_number = nullptr;
};

/// `EnterNumber`: shows the window modally and returns the field's value.
qint64 EnterNumber(QWidget *parent, const QString &prompt);

}  // namespace kiv
