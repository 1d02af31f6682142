#include "kivwizard_controls.h"

#include "kivprompt.h"
#include "pc_dirs.h"

namespace kiv {

TWizardControl &TControlModel::Add(TWizardControlKind kind, const QString &name,
                                  const QString &caption, int page, const QString &parent)
{
    TWizardControl control;
    control.kind = kind;
    control.name = name;
    control.caption = caption;
    control.page = page;
    control.parent = parent;
    m_index.insert(name, m_controls.size());
    m_controls << control;
    return m_controls.last();
}

TWizardControl &TControlModel::C(const QString &name)
{
    static TWizardControl dummy;
    const auto it = m_index.constFind(name);
    Q_ASSERT_X(it != m_index.constEnd(), "TControlModel::C", qPrintable(name));
    if (it == m_index.constEnd()) {
        dummy = TWizardControl();
        return dummy;
    }
    return m_controls[*it];
}

const TWizardControl &TControlModel::C(const QString &name) const
{
    return const_cast<TControlModel *>(this)->C(name);
}

void TControlModel::Notify()
{
    if (changed)
        changed();
}

void TControlModel::CheckRadio(const QString &name)
{
    TWizardControl &c = C(name);
    for (TWizardControl &other : m_controls)
        if (other.kind == wcRadio && other.parent == c.parent)
            other.checked = false;
    c.checked = true;
}

int TControlModel::CheckedRadioIndex(const QStringList &buttons) const
{
    for (int i = 0; i < buttons.size(); ++i)
        if (C(buttons[i]).checked)
            return i;
    return -1;
}

void TControlModel::SetChecked(const QString &name, bool checked)
{
    TWizardControl &c = C(name);
    if (c.kind == wcRadio) {
        if (!checked)
            return;
        CheckRadio(name);
    } else {
        c.checked = checked;
    }
    AfterChange(name);
}

void TControlModel::SetText(const QString &name, const QString &text)
{
    C(name).text = text;
    AfterChange(name);
}

void TControlModel::SetValue(const QString &name, qint64 value)
{
    TWizardControl &c = C(name);
    c.value = qBound(c.minimum, value, c.maximum);
    AfterChange(name);
}

void TControlModel::SetItemChecked(const QString &name, int item, bool checked)
{
    TWizardControl &c = C(name);
    if (item < 0 || item >= c.itemChecked.size())
        return;
    c.itemChecked[item] = checked;
    AfterChange(name);
}

bool TControlModel::SetFromText(const QString &name, const QString &value, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!HasControl(name))
        return fail("no control named " + name);
    TWizardControl &c = C(name);
    bool ok = false;
    switch (c.kind) {
    case wcCheck:
    case wcRadio: {
        const QString v = value.toLower();
        if (v != "1" && v != "0" && v != "true" && v != "false")
            return fail(name + " takes 1 or 0");
        SetChecked(name, v == "1" || v == "true");
        return true;
    }
    case wcList: {
        int index = c.items.indexOf(value);
        if (index < 0) {
            index = FindListItem(name, value);
        }
        if (index < 0) {
            index = value.toInt(&ok);
            if (!ok || index < -1 || index >= c.items.size())
                return fail(name + " has no item " + value);
        }
        SetIndex(name, index);
        return true;
    }
    case wcEdit:
        SetText(name, value);
        return true;
    case wcNumber: {
        const qint64 n = QString(value).remove(',').toLongLong(&ok);
        if (!ok)
            return fail(name + " takes a whole number");
        SetValue(name, n);
        return true;
    }
    case wcCheckList: {
        // "N=1" checks row N (0-based); a row text checks that row.
        const int eq = value.lastIndexOf('=');
        QString row = eq >= 0 ? value.left(eq) : value;
        const bool on = eq < 0 || value.mid(eq + 1) != "0";
        int item = c.items.indexOf(row);
        if (item < 0)
            item = FindCheckListRow(name, row);
        if (item < 0) {
            item = row.toInt(&ok);
            if (!ok)
                item = -1;
        }
        if (item < 0 || item >= c.items.size())
            return fail(name + " has no row " + row);
        SetItemChecked(name, item, on);
        return true;
    }
    case wcButton:
        // A click; "-" steps the comparator spin button down.
        Click(value == "-" ? name + "-" : name);
        return true;
    default:
        return fail(name + " cannot be set");
    }
}

void TControlModel::SetDriverTable(const TDriverTable &table)
{
    m_drivers = table;
    TWizardControl &list = C("driverlist");
    list.items = table.rows;
    list.itemChecked = QList<bool>(table.rows.size(), false);
}

int TControlModel::PinRow(const QString &pin) const
{
    for (int i = 0; i < m_pins.size(); ++i)
        if (m_pins[i].pin == pin)
            return i;
    return -1;
}

QStringList TControlModel::PinNames() const
{
    QStringList names;
    for (const TPinRow &row : m_pins)
        names << row.pin;
    return names;
}

QString TControlModel::PinIdentifier(const QString &pin) const
{
    const int row = PinRow(pin);
    if (row < 0)
        return {};
    const QString &ids = m_pins[row].identifiers;
    const int comma = ids.indexOf(',');
    return comma < 0 ? ids : ids.left(comma);
}

void TControlModel::AssignPinFunction(const QString &pin, const QString &name, int type)
{
    const int row = PinRow(pin);
    if (row < 0 || name.isEmpty())
        return;
    TPinRow &r = m_pins[row];
    if (r.identifiers.contains("(" + name + ")"))
        return;
    r.identifiers = (r.identifiers + ",(" + name + ")").left(kMaxPinIdentifiers);
    r.ioType = type;
    r.reserved = true;
}

void TControlModel::AppendPinIdentifier(const QString &pin, const QString &text, int type, bool reserved)
{
    const int row = PinRow(pin);
    if (row < 0)
        return;
    TPinRow &r = m_pins[row];
    r.identifiers = (r.identifiers + "," + text).left(kMaxPinIdentifiers);
    if (type != 255)
        r.ioType = type;
    r.reserved = reserved;
}

QString TControlModel::AllocatePin(int typeClass)
{
    for (TPinRow &r : m_pins) {
        if (r.reserved)
            continue;
        if (typeClass == 4 && r.ioType == 4)
            return r.pin;
        if (typeClass < 3 && r.ioType >= 0 && r.ioType <= 2) {
            if (r.ioType != typeClass)
                r.ioType = 2;
            return r.pin;
        }
    }
    ShowError("Can not allocate all pins");
    return m_pins.isEmpty() ? QString() : m_pins.first().pin;
}

void TControlModel::SetPinIdentifiers(int row, const QString &text)
{
    if (row < 0 || row >= m_pins.size())
        return;
    m_pins[row].identifiers = text.left(kMaxPinIdentifiers);
    Notify();
}

QString TWizardControl::ItemText() const
{
    return index >= 0 && index < items.size() ? items[index] : QString();
}

const QStringList &PinTypeNames()
{
    static const QStringList names = {"Input", "Output", "Input/Output", "Not used", "Analog"};
    return names;
}

TDriverTable ParseDriverTable(const QStringList &lines)
{
    TDriverTable table;
    for (QString line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const int bar1 = line.indexOf('|');
        if (bar1 < 0)
            continue;
        const int bar2 = line.indexOf('|', bar1 + 1);
        if (bar2 < 0)
            continue;
        TDriverRecord record;
        record.includeFile = line.left(bar1).left(20);
        record.mainStatement = line.mid(bar1 + 1, bar2 - bar1 - 1).left(40);
        const int bar3 = line.indexOf('|', bar2 + 1);
        QString requests;
        if (bar3 < 0) {
            requests = line.mid(bar2 + 1);
        } else {
            table.rows << line.mid(bar2 + 1, bar3 - bar2 - 1);
            requests = line.mid(bar3 + 1);
        }
        record.pinRequests = requests.left(kMaxPinIdentifiers) + ",";
        table.records << record;
    }
    return table;
}

QString DriverTableFile()
{
    return UtilsDir() + "drivers.dat";
}

void TControlModel::SetIndex(const QString &name, int index)
{
    TWizardControl &c = C(name);
    c.index = index >= -1 && index < c.items.size() ? index : -1;
    IndexChanged(name);
}

void TControlModel::IndexChanged(const QString &name)
{
    AfterChange(name);
}

void TControlModel::SetPinPullup(int row, bool on)
{
    if (row < 0 || row >= m_pins.size())
        return;
    m_pins[row].pullup = on;
    Notify();
}

bool TControlModel::SetPinType(int row, int type)
{
    if (row < 0 || row >= m_pins.size())
        return false;
    m_pins[row].ioType = type;
    Notify();
    return true;
}

}  // namespace kiv
