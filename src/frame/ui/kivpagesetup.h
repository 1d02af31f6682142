#pragma once

#include "kivprint_model.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPrinter;

namespace kiv {

/// The "Page Setup" dialog (`TPageSetupForm`): the page margins, orientation, header and footer
/// templates with their margins, alignment and rules, and the page number's place, alignment
/// and text. OK copies the fields into the text options.
class TPageSetupForm : public QDialog {
    Q_OBJECT

public:
    TPageSetupForm(QPrinter *printer, QWidget *parent = nullptr);

    /// Fills the fields from the text options and the orientation.
    void SetValues(const TTextOptions &options, int orientation);
    /// Copies the fields into the text options and the orientation.
    void GetValues(TTextOptions &options, int &orientation) const;
    /// "Set &Default": after a Yes, the fields take the default values.
    void SetDefaultClick();

    /// The values stored for the dialog in the settings file (section "PageSetupForm", keys by
    /// control name), applied to `options` and `orientation`; keys that are missing leave them.
    static void LoadStoredValues(TIniFile &ini, TTextOptions &options, int &orientation);

private:
    QDoubleSpinBox *Margin(const char *name);
    QButtonGroup *Radio(const char *name, const QStringList &captions, const QList<int> &ids,
                        class QLayout *into);

    QPrinter *m_printer;
    QDoubleSpinBox *m_left = nullptr;
    QDoubleSpinBox *m_top = nullptr;
    QDoubleSpinBox *m_right = nullptr;
    QDoubleSpinBox *m_bottom = nullptr;
    QButtonGroup *m_orientation = nullptr;
    QLineEdit *m_header = nullptr;
    QDoubleSpinBox *m_headerMargin = nullptr;
    QButtonGroup *m_headerAlign = nullptr;
    QCheckBox *m_headerLine = nullptr;
    QLineEdit *m_footer = nullptr;
    QDoubleSpinBox *m_footerMargin = nullptr;
    QButtonGroup *m_footerAlign = nullptr;
    QCheckBox *m_footerLine = nullptr;
    QButtonGroup *m_pageNumber = nullptr;
    QButtonGroup *m_pageNumAlign = nullptr;
    QLineEdit *m_pageNumText = nullptr;
};

}  // namespace kiv
