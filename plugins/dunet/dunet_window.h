#pragma once

// The numeric converter's window: one line edit per field of TNumericConverter. Typing in a
// field updates the others at once; a field whose text is not a number is marked and its
// reason shown, and nothing else changes.

#include "dunet_model.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;

namespace kiv {

class Tfdunet : public QWidget {
    Q_OBJECT
public:
    explicit Tfdunet(QWidget *parent = nullptr);

    /// The model the window shows.
    TNumericConverter &Converter() { return m_converter; }
    /// The line edit of a field.
    QLineEdit *Field(TNumberField field) const { return m_fields[size_t(field)]; }
    /// True when the field's text is marked as not a number.
    bool IsMarked(TNumberField field) const;
    /// Shows the converter's current value in every field, clearing all marks.
    void ShowAll();

private:
    void FieldEdited(TNumberField field);
    void FieldFinished(TNumberField field);
    void ShowValue(int except);
    void SetMark(TNumberField field, const QString &reason);

    TNumericConverter m_converter;
    std::array<QLineEdit *, nfFieldCount> m_fields{};
    std::array<QLabel *, nfFieldCount> m_labels{};
    QButtonGroup *m_width = nullptr;
    QCheckBox *m_signed = nullptr;
    QLabel *m_ieeeAsPic = nullptr;
    QLabel *m_picAsIeee = nullptr;
    QLabel *m_status = nullptr;
};

}  // namespace kiv
