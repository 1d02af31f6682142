#pragma once

// What both project wizards are made of: named controls with their state, radio buttons grouped by
// their box, the pin table with its allocation rule and the driver table of drivers.dat. A wizard
// model derives from TControlModel and adds its pages and refresh rules.

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

/// The I/O Type column's items: "Input", "Output", "Input/Output", "Not used", "Analog".
const QStringList &PinTypeNames();

/// One row of the pin table.
struct TPinRow {
    QString pin;          ///< port letter and bit digit, "C6"
    QString identifiers;  ///< comma-separated, at most 150 characters
    int ioType = 0;       ///< 0 Input, 1 Output, 2 Input/Output, 3 Not used, 4 Analog
    bool reserved = false;
    bool pullup = false;  ///< SX wizard: the pin's pull-up
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

/// Named controls, pins and drivers; the refresh rules belong to the derived wizard.
class TControlModel {
public:
    virtual ~TControlModel() = default;

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
    /// edits, "ROW=1" for a row of a check list, any value for a button (a click; "-" steps a
    /// spin button down). False with a reason when that is not possible.
    bool SetFromText(const QString &name, const QString &value, QString *error);
    /// A click on a push button.
    virtual void Click(const QString &name) = 0;

    // --- pins --------------------------------------------------------------------------
    const QList<TPinRow> &Pins() const { return m_pins; }
    int PinRow(const QString &pin) const;
    QStringList PinNames() const;
    /// `PinIdentifier`: the first entry of the pin's identifiers.
    QString PinIdentifier(const QString &pin) const;
    void AssignPinFunction(const QString &pin, const QString &name, int type);
    void AppendPinIdentifier(const QString &pin, const QString &text, int type, bool reserved);
    /// `AllocatePin`: the first free pin whose type fits class c (4: an analog pin; below 3: an
    /// input, output or input/output pin, which becomes input/output when its type differs).
    QString AllocatePin(int typeClass);
    /// The user edits the I/O Type cell; false when the edit is refused.
    virtual bool SetPinType(int row, int type);
    /// The user edits the identifiers cell (cut at 150 characters).
    void SetPinIdentifiers(int row, const QString &text);
    /// The user edits the pull-up cell (SX wizard).
    void SetPinPullup(int row, bool on);

    // --- drivers -----------------------------------------------------------------------
    const TDriverTable &Drivers() const { return m_drivers; }
    void SetDriverTable(const TDriverTable &table);

    /// Called after any state change (the window re-shows the controls).
    std::function<void()> changed;

protected:
    TWizardControl &Add(TWizardControlKind kind, const QString &name, const QString &caption,
                        int page, const QString &parent = {});
    void CheckRadio(const QString &name);
    int CheckedRadioIndex(const QStringList &buttons) const;
    void Notify();
    /// The refresh a user change triggers.
    virtual void AfterChange(const QString &name) = 0;
    /// A list's index changed; by default AfterChange.
    virtual void IndexChanged(const QString &name);
    /// A list item named by something other than its text (-1: none).
    virtual int FindListItem(const QString &name, const QString &value) const { return -1; }
    /// A check list row named by something other than its text (-1: none).
    virtual int FindCheckListRow(const QString &name, const QString &row) const { return -1; }

    QList<TWizardControl> m_controls;
    QMap<QString, int> m_index;
    QList<TPinRow> m_pins;
    TDriverTable m_drivers;
};

}  // namespace kiv
