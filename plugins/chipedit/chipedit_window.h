#pragma once

// The device editor and selector window over TChipEditModel. As the Device Editor it browses
// and edits every device of devices.dat and saves the file; as the Device Selector (+S) it
// narrows the list by features and copies the chosen name to the clipboard.

#include "chipedit_model.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;
class QTreeWidgetItem;

namespace kiv {

class Tfchipedit : public QMainWindow {
    Q_OBJECT
public:
    /// `selector` starts the Device Selector, otherwise the Device Editor.
    explicit Tfchipedit(bool selector, QWidget *parent = nullptr);

    /// Reads the device file; false with `error` when it cannot be read.
    bool Open(const QString &path, QString *error);
    TChipEditModel &Model() { return m_model; }
    bool IsSelector() const { return m_selector; }

    /// Makes the device named `name` the chosen one; false when there is none in the list.
    bool Choose(const QString &name);
    /// The chosen device's index in the model, -1 when none.
    int Chosen() const;
    /// Copies the chosen device's name to the clipboard.
    void CopyName();
    /// Saves the edits; false when they could not be written (the reason is shown).
    bool Save();
    /// The last message shown in the status bar.
    QString Message() const;
    /// Fills the device list again from the search text and, for the selector, the features.
    void ApplyFilter();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ShowDevice();
    void ShowTitle();
    void ShowMessage(const QString &text, bool error);
    void FieldEdited(QTableWidgetItem *item);
    void InterruptToggled(QTreeWidgetItem *item);
    void PinToggled(QTableWidgetItem *item);
    TDeviceFilter Filter() const;
    void RefreshRow(int index);

    bool m_selector;
    bool m_showing = false;   // true while controls are filled from the model
    TChipEditModel m_model;
    QLineEdit *m_search = nullptr;
    QComboBox *m_core = nullptr;
    QSpinBox *m_minProgram = nullptr;
    QSpinBox *m_minData = nullptr;
    QSpinBox *m_minEeprom = nullptr;
    QSpinBox *m_minAdc = nullptr;
    QSpinBox *m_minPins = nullptr;
    QCheckBox *m_needUsart = nullptr;
    QCheckBox *m_needSpi = nullptr;
    QCheckBox *m_needI2c = nullptr;
    QTreeWidget *m_devices = nullptr;
    QLabel *m_count = nullptr;
    QTableWidget *m_fields = nullptr;
    QTreeWidget *m_fuses = nullptr;
    QTreeWidget *m_interrupts = nullptr;
    QTableWidget *m_ports = nullptr;
    QLabel *m_memory = nullptr;
    QLabel *m_message = nullptr;
    QAction *m_save = nullptr;
    QAction *m_revert = nullptr;
};

}  // namespace kiv
