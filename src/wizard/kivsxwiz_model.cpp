#include "kivsxwiz_model.h"

#include "kivini.h"
#include "kivprompt.h"
#include "kivwizard_code.h"
#include "kivwizard_model.h"
#include "pc_dirs.h"
#include "textfile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace kiv {

namespace {

const QStringList kWdt = {"NOWDT", "WDT18", "wdt36", "wdt72", "wdt144", "wdt288", "wdt576", "wdt1152", "wdt2304"};
const QStringList kRes = {"res1", "res2", "res4", "res8", "res16", "res32", "res64", "res128", "res256"};
const int kPrescale[8] = {1, 2, 4, 8, 16, 32, 64, 128};
const char *const kCrLf = "\r\n";

QString NumberText(qint64 v)
{
    if (v > 999)
        return QString::number(v / 10);
    QString number = QString::number(v);
    number.insert(number.size() - 1, '.');
    return number;
}

// A timer group's control name: "%1" stands for the group number ("comp%11" -> "comp11").
QString Tn(int n, const char *name)
{
    return QString(name).replace("%1", QString::number(n));
}

}  // namespace

const QStringList &SxPageCaptions()
{
    static const QStringList captions = {"General", "Communications", "Timers", "Other",
                                         "Interrupts", "Drivers", "I/O Pins"};
    return captions;
}

const QStringList &SxPinTypeNames()
{
    static const QStringList names = {"TTL Input", "CMOS Input", "ST Input", "Output", "Input/Output", "Not used"};
    return names;
}

QString SxDuration(qint64 n)
{
    if (n > 9990000)
        return NumberText(n / 1000000) + " ms";
    if (n > 9990)
        return NumberText(n / 1000) + " us";
    return NumberText(n) + " ns";
}

QString SxShortDuration(qint64 n)
{
    if (n > 9990)
        return NumberText(n / 1000) + " ms";
    return NumberText(n) + " us";
}

QString SxPeriodText(qint64 frequency, qint64 count)
{
    if (frequency == 0)
        frequency = 1;
    return SxShortDuration(RoundHalfUp(10000000.0 / double(frequency) * double(count)));
}

TSxWizardModel::TSxWizardModel()
{
    CreateControls();
    ComparatorLabels();
}

void TSxWizardModel::CreateControls()
{
    auto list = [this](const QString &name, const QString &caption, int page, const QStringList &items,
                       int index, const QString &parent = {}) {
        TWizardControl &c = Add(wcList, name, caption, page, parent);
        c.items = items;
        c.index = index;
    };
    auto number = [this](const QString &name, const QString &caption, int page, qint64 value, qint64 maximum,
                         const QString &parent = {}) {
        TWizardControl &c = Add(wcNumber, name, caption, page, parent);
        c.value = value;
        c.maximum = maximum;
    };
    Add(wcLabel, "MAIN_NAME", "", spGeneral);
    list("NP_DEVICE", "Device", spGeneral, {}, -1);
    number("np_clock", "Oscillator Frequency", spGeneral, 50000000, 999999999);
    list("osc", "Oscilator", spGeneral, {}, -1);
    Add(wcCheck, "enable16", "Use 5 bit pointers for limited RAM and best ROM", spGeneral);
    Add(wcCheck, "delaywdt", "Restart WDT during calls to DELAY", spGeneral);

    Add(wcCheck, "NP_RS232", "Use RS-232", spCommunications).checked = true;
    number("np_rs232_b", "Baud", spCommunications, 9600, 999999999);
    list("NP_rs232p", "Parity", spCommunications, {"None", "Even", "Odd"}, 0);
    list("np_rs232_x", "Transmit", spCommunications, {}, -1);
    list("np_rs232_r", "Receive", spCommunications, {}, -1);
    Add(wcCheck, "NP_I2C", "Use I2C", spCommunications);
    list("np_I2C_sda", "SDA", spCommunications, {}, -1);
    list("np_I2C_scl", "SCL", spCommunications, {}, -1);

    Add(wcGroup, "wdtbox", "WDT", spTimers);
    const QStringList wdtCaptions = {"Not used", "18 ms", "36 ms", "72 ms", "144 ms", "288 ms", "576 ms", "1152 ms", "2304 ms"};
    for (int i = 0; i < kWdt.size(); ++i)
        Add(wcRadio, kWdt[i], wdtCaptions[i], spTimers, "wdtbox").checked = i == 0;
    Add(wcGroup, "t0srcbox", "Timer 0", spTimers);
    Add(wcRadio, "t0int", "Internal", spTimers, "t0srcbox").checked = true;
    Add(wcRadio, "t0ext", "External", spTimers, "t0srcbox");
    Add(wcGroup, "t0resbox", "Resolution:", spTimers);
    for (const QString &r : kRes)
        Add(wcRadio, r, "", spTimers, "t0resbox").checked = r == "res2";
    number("frequency0", "Frequency", spTimers, 12500000, 999999999);
    Add(wcLabel, "overflow0", "", spTimers);

    Add(wcGroup, "compa", "Comparator", spOther);
    for (const char *n : {"c1x", "c1y", "c1z"})
        Add(wcLabel, n, "", spOther, "compa");
    Add(wcButton, "SpinButton1", "", spOther, "compa");
    for (int n = 1; n <= 2; ++n) {
        const QString box = Tn(n, "t%1_box");
        Add(wcGroup, box, n == 1 ? "Timer 1" : "Timer 2", spOther);
        list(Tn(n, "mode%1"), "Mode", spOther, {"Timer", "PWM", "Capt/Comp"}, 0, box);
        list(Tn(n, "prescale%1"), "Prescaler", spOther,
             {"None", "/ 2", "/ 4", "/ 8", "/ 16", "/ 32", "/ 64", "/ 128"}, 0, box);
        Add(wcCheck, Tn(n, "ext%1"), "External", spOther, box);
        list(Tn(n, "edge%1"), "Edge", spOther, {"Falling", "Rising"}, 1, box);
        const QString compare = Tn(n, "compgroup%1");
        Add(wcGroup, compare, "Compare", spOther, box);
        number(Tn(n, "comp%11"), "Compare 1", spOther, 65535, 65535, compare);
        number(Tn(n, "comp%12"), "Compare 2", spOther, 65535, 65535, compare);
        Add(wcCheck, Tn(n, "output%1"), "Output ", spOther, compare);
        const QString pwm = Tn(n, "pwmgroup%1");
        Add(wcGroup, pwm, "PWM", spOther, box);
        number(Tn(n, "pwmf%1"), "Frequency (Hz)", spOther, 1000, 999999999, pwm);
        number(Tn(n, "pwmd%1"), "Duty (%)", spOther, 50, 100, pwm);
        for (int d = 1; d <= 3; ++d)
            Add(wcLabel, QString("desc%1%2").arg(n).arg(d), "", spOther, box);
    }

    Add(wcCheck, "intrb", "One ISR for any of the following:", spInterrupts);
    for (int b = 0; b < 8; ++b) {
        Add(wcCheck, QString("intrb%1").arg(b), QString("External interrupt on B%1").arg(b), spInterrupts);
        Add(wcCheck, QString("intrb%1f").arg(b), "Falling Edge", spInterrupts);
    }
    Add(wcCheck, "intrtcc", "Timer0 (RTCC) Overflow", spInterrupts);
    Add(wcCheck, "intt1", "Timer 1 Overflow", spInterrupts);
    Add(wcCheck, "intt1capt", "Timer 1 Capture", spInterrupts);
    Add(wcCheck, "intt1comp", "Timer 1 Compare", spInterrupts);
    Add(wcCheck, "intt2", "Timer 2 Overflow", spInterrupts);
    Add(wcCheck, "intt2capt", "Timer 2 Capture", spInterrupts);
    Add(wcCheck, "intt2comp", "Timer 2 Compare", spInterrupts);
    Add(wcCheckList, "driverlist", "Standard Drivers", spDrivers);
}

void TSxWizardModel::Open(const QString &deviceFile, const QString &driverFile)
{
    m_deviceFile = deviceFile.isEmpty() ? UtilsDir() + "devices.dat" : deviceFile;
    SetDeviceFile(m_deviceFile);
    QStringList names;
    try {
        ListDevices(names, MakeKindSet({dkSx}), 0);
    } catch (const TDeviceFileError &) {
    }
    names.sort();
    C("NP_DEVICE").items = names;
    C("NP_DEVICE").index = names.indexOf("SX28AC");
    bool ok = false;
    const QStringList lines = ReadTextLines(driverFile.isEmpty() ? DriverTableFile() : driverFile, &ok);
    SetDriverTable(ok ? ParseDriverTable(lines) : TDriverTable());
    Notify();
}

bool TSxWizardModel::SelectDevice(const QString &name)
{
    const int index = C("NP_DEVICE").items.indexOf(name);
    if (index < 0)
        return false;
    SetIndex("NP_DEVICE", index);
    return m_hasDevice && m_device.name() == name;
}

void TSxWizardModel::ShowPage(int page)
{
    if (page < 0 || page >= spPageCount)
        return;
    m_page = page;
    switch (page) {
    case spCommunications: RefreshCommunications(); break;
    case spTimers: RefreshTimers(); break;
    case spOther: RefreshOther(); break;
    case spInterrupts: RefreshInterrupts(); break;
    case spPins: RefreshPins(); break;
    default: break;
    }
    Notify();
}

void TSxWizardModel::SelectPinItem(const QString &name, const QString &first, const QString &second)
{
    TWizardControl &c = C(name);
    c.items = PinNames();
    int index = c.items.indexOf(first);
    if (index < 0)
        index = c.items.indexOf(second);
    if (index < 0 && !c.items.isEmpty()) {
        index = 0;
        while (index < c.items.size() - 1 && c.items[index] < second)
            ++index;
    }
    c.index = index;
}

void TSxWizardModel::RebuildPins()
{
    m_pins.clear();
    for (char port = 'A'; port <= 'G'; ++port) {
        const uint8_t mask = m_device.portMask(port);
        for (int bit = 0; bit < 8; ++bit)
            if (mask & (1u << bit)) {
                TPinRow row;
                row.pin = QString(QChar(port)) + QString::number(bit);
                row.identifiers = "PIN_" + row.pin;
                m_pins << row;
            }
    }
}

void TSxWizardModel::RefreshSxGeneral()
{
    SetDeviceFile(m_deviceFile);
    DeviceRecord record;
    const QString name = C("NP_DEVICE").ItemText();
    if (name.isEmpty() || !FindDevice(name, record) || record.name() != name)
        return;
    m_device = record;
    m_hasDevice = true;
    static const QMap<QString, QString> clocks = {
        {"INT4MHZ", "4 Mhz"}, {"INT2MHZ", "2 Mhz"}, {"INT1MHZ", "1 Mhz"}, {"INT500KHZ", "500 khz"},
        {"INT250KHZ", "250 Khz"}, {"INT125MHZ", "125 Khz"}, {"INT62KHZ", "62.5 Khz"}, {"INT31KHZ", "31.25 Khz"}};
    QStringList osc;
    for (int position = 1; position <= 20; ++position) {
        const QString fuse = FuseName(uint8_t(position));
        if (fuse == "LP")
            osc << "LP - <= 200 khz clock";
        else if (fuse == "XT")
            osc << "XT - <= 4 mhz clock";
        else if (fuse == "HS")
            osc << "HS - 4-20 mhz clock";
        else if (fuse == "RC")
            osc << "RC - Resistor/Capacitor <= 4 mhz";
        else if (fuse.size() >= 2 && fuse.startsWith('I') && fuse.endsWith('Z'))
            osc << fuse + " - Internal " + clocks.value(fuse);
    }
    C("osc").items = osc;
    C("osc").index = osc.size() >= 3 ? 2 : int(osc.size()) - 1;
    RebuildPins();
    SelectPinItem("np_rs232_x", "C6", "A3");
    SelectPinItem("np_rs232_r", "C7", "A2");
    SelectPinItem("np_I2C_sda", "C4", "B6");
    SelectPinItem("np_I2C_scl", "C3", "B7");
    C("NP_rs232p").index = 0;
}

void TSxWizardModel::IndexChanged(const QString &name)
{
    if (name == "NP_DEVICE") {
        RefreshSxGeneral();
        Notify();
        return;
    }
    if (name == "osc") {
        static const qint64 clocks[8] = {4000000, 2000000, 1000000, 500000, 250000, 125000, 62500, 31250};
        const int item = C("osc").index;
        if (item >= 4 && item <= 11)
            C("np_clock").value = clocks[item - 4];
    }
    AfterChange(name);
}

void TSxWizardModel::AfterChange(const QString &name)
{
    if (m_inRefresh)
        return;
    switch (C(name).page) {
    case spCommunications: RefreshCommunications(); break;
    case spTimers: RefreshTimers(); break;
    case spOther: RefreshOther(); break;
    default: break;
    }
    Notify();
}

void TSxWizardModel::RefreshCommunications()
{
    const bool rs = C("NP_RS232").checked;
    for (const char *n : {"np_rs232_b", "NP_rs232p", "np_rs232_x", "np_rs232_r"})
        C(n).enabled = rs;
    const bool i2c = C("NP_I2C").checked;
    C("np_I2C_sda").enabled = i2c;
    C("np_I2C_scl").enabled = i2c;
}

void TSxWizardModel::RefreshTimers()
{
    const qint64 clock = C("np_clock").value;
    if (C("t0int").checked) {
        C("frequency0").value = clock / 4;
        C("frequency0").enabled = false;
    } else {
        C("frequency0").enabled = true;
    }
    if (C("NOWDT").checked || C("WDT18").checked) {
        C("res1").enabled = false;
        if (C("res1").checked)
            CheckRadio("res2");
        for (int i = 1; i < kRes.size(); ++i)
            C(kRes[i]).enabled = true;
    } else {
        C("res1").enabled = true;
        CheckRadio("res1");
        for (int i = 1; i < kRes.size(); ++i)
            C(kRes[i]).enabled = false;
    }
    const qint64 f0 = C("frequency0").value;
    for (int i = 0; i < kRes.size(); ++i)
        C(kRes[i]).caption = SxPeriodText(f0, qint64(1) << i);
    const int p = qMax(0, CheckedRadioIndex(kRes));
    qint64 r = f0 / 256 / (qint64(1) << p);
    if (r < 1)
        r = 1;
    C("overflow0").caption = SxShortDuration(10000000 / r);
}

void TSxWizardModel::ComparatorLabels()
{
    static const char *z[3] = {"off", "ON", "B0,ON"};
    C("c1x").caption = "B1";
    C("c1y").caption = "B2";
    C("c1z").caption = z[qBound(0, comparatorModeSx, 2)];
}

void TSxWizardModel::RefreshTimerGroup(int n)
{
    const bool wasIn = m_inRefresh;
    m_inRefresh = true;
    const qint64 clock = qMax<qint64>(1, C("np_clock").value);
    const qint64 t = RoundHalfUp(1e10 / double(clock));
    TWizardControl &prescale = C(Tn(n, "prescale%1"));
    if (prescale.index < 0)
        prescale.index = 0;
    qint64 k = kPrescale[qBound(0, prescale.index, 7)];
    const QString mode = C(Tn(n, "mode%1")).ItemText();
    TWizardControl &comp1 = C(Tn(n, "comp%11"));
    TWizardControl &comp2 = C(Tn(n, "comp%12"));
    TWizardControl &desc1 = C(Tn(n, "desc%11"));
    TWizardControl &desc2 = C(Tn(n, "desc%12"));
    TWizardControl &desc3 = C(Tn(n, "desc%13"));
    const QString timer = QString::number(n);
    if (mode == "PWM") {
        C(Tn(n, "compgroup%1")).visible = false;
        C(Tn(n, "pwmgroup%1")).visible = true;
        C(Tn(n, "ext%1")).visible = false;
        C(Tn(n, "edge%1")).visible = false;
        prescale.visible = false;
        const qint64 goal = qMax<qint64>(1, C(Tn(n, "pwmf%1")).value);
        qint64 e = RoundHalfUp(double(clock) / double(goal));
        int h = 0;
        while (e > 65535 && h < 7) {
            e /= 2;
            ++h;
        }
        e = qMin<qint64>(e, 65535);
        prescale.index = h;
        k = kPrescale[h];
        const double duty = double(C(Tn(n, "pwmd%1")).value) / 100.0;
        comp1.value = RoundHalfUp(double(e) * duty);
        comp2.value = RoundHalfUp((1.0 - duty) * double(e));
        const qint64 total = comp1.value + comp2.value;
        const qint64 frequency = total > 0 ? clock / RoundHalfUp(double(total * k)) : 0;
        const double percent = total > 0 ? 100.0 * double(comp1.value) / double(total) : 0.0;
        desc1.caption = "PWM - Freq = " + QString::number(frequency) + " Hz,  Duty = " +
                        QString::number(percent, 'f', 2) + "%";
        desc2.caption = "High for " + SxDuration(comp1.value * t * k) + ", Low for " + SxDuration(comp2.value * t * k);
        desc3.caption = n == 1 ? "Output on pin B6." : "Output on pin C2.";
    } else if (mode == "Capt/Comp") {
        C(Tn(n, "compgroup%1")).visible = true;
        C(Tn(n, "pwmgroup%1")).visible = false;
        C(Tn(n, "ext%1")).visible = true;
        C(Tn(n, "edge%1")).visible = true;
        prescale.visible = true;
        const QString how = C(Tn(n, "edge%1")).ItemText() == "Rising" ? "rises" : "falls";
        desc1.caption = (n == 1 ? "When B4 or B5 " : "When C0 or C2 ") + how + " timer " + timer + " value is captured.";
        desc2.caption = "Timer increments every " + SxDuration(k * t) + ", Overflows at " +
                        SxShortDuration(RoundHalfUp(double(k * t) * 65.356));
        desc3.caption = "When timer " + timer + " reaches " + SxDuration(comp1.value * t * k) +
                        (n == 1 ? " B6 is toggled." : " C2 is toggled.");
    } else {
        C(Tn(n, "compgroup%1")).visible = false;
        C(Tn(n, "pwmgroup%1")).visible = false;
        C(Tn(n, "ext%1")).visible = true;
        C(Tn(n, "edge%1")).visible = true;
        comp1.value = 65535;
        comp2.value = 65535;
        if (C(Tn(n, "ext%1")).checked) {
            prescale.visible = false;
            desc1.caption = "Counter mode.";
            desc2.caption = "Overflows every 65356 counts.";
        } else {
            prescale.visible = true;
            C(Tn(n, "edge%1")).visible = false;
            desc1.caption = "Timer increments every " + SxDuration(k * t);
            desc2.caption = "Overflows every " + SxShortDuration(RoundHalfUp(double(k * t) * 65.356));
        }
        desc3.caption.clear();
    }
    m_inRefresh = wasIn;
}

void TSxWizardModel::RefreshOther()
{
    const bool timers = m_hasDevice && m_device.hasTimer1();
    C("t1_box").visible = timers;
    C("t2_box").visible = timers;
    if (timers) {
        RefreshTimerGroup(1);
        RefreshTimerGroup(2);
    }
    ComparatorLabels();
}

void TSxWizardModel::RefreshInterrupts()
{
    for (TWizardControl &c : m_controls)
        if (c.page == spInterrupts)
            c.enabled = true;
    if (!(m_hasDevice && m_device.hasTimer1()))
        for (const char *n : {"intt1", "intt1capt", "intt1comp", "intt2", "intt2capt", "intt2comp"})
            C(n).enabled = false;
}

void TSxWizardModel::RefreshPins()
{
    RebuildPins();
    if (C("NP_RS232").checked) {
        AssignPinFunction(C("np_rs232_x").ItemText(), "RS232_XMIT", 3);
        AssignPinFunction(C("np_rs232_r").ItemText(), "RS232_RCV", 0);
    }
    if (C("NP_I2C").checked) {
        AssignPinFunction(C("np_I2C_sda").ItemText(), "I2C_SDA", 0);
        AssignPinFunction(C("np_I2C_scl").ItemText(), "I2C_SCL", 0);
    }
    if (C("t0ext").checked)
        AssignPinFunction("A4", "Timer0", 0);
    if (comparatorModeSx == 1 || comparatorModeSx == 2) {
        AssignPinFunction("B1", "COMPARE", 0);
        AssignPinFunction("B2", "COMPARE", 0);
    }
    if (comparatorModeSx == 2)
        AssignPinFunction("B0", "COMP_OUT", 0);
    const char *pins[2][5] = {{"B6", "B4", "B5", "B7", "1"}, {"C2", "C0", "C1", "C3", "2"}};
    for (int n = 1; n <= 2; ++n) {
        const char *const *p = pins[n - 1];
        const QString mode = C(Tn(n, "mode%1")).ItemText();
        const QString t = QString("T%1_").arg(n);
        if (mode == "Capt/Comp" && C(Tn(n, "output%1")).checked)
            AssignPinFunction(p[0], t + "COMP_OUT", 0);
        if (mode == "PWM")
            AssignPinFunction(p[0], QString("PWM%1").arg(n), 0);
        if (mode == "Capt/Comp") {
            AssignPinFunction(p[1], t + "CAPT1", 0);
            AssignPinFunction(p[2], t + "CAPT2", 0);
        }
        if (C(Tn(n, "ext%1")).checked)
            AssignPinFunction(p[3], t + "IN", 0);
    }
    for (int b = 0; b < 8; ++b)
        if (C(QString("intrb%1").arg(b)).checked)
            AssignPinFunction(QString("B%1").arg(b), "EXTINT", 0);
    // Drivers: the request types 0, 1, 2 are input, output, input/output here too.
    static const int sxType[3] = {0, 3, 4};
    const TWizardControl &drivers = C("driverlist");
    QList<int> checked;
    for (int i = 0; i < drivers.itemChecked.size() && i < m_drivers.records.size(); ++i)
        if (drivers.itemChecked[i])
            checked << i;
    for (int pass = 0; pass < 2; ++pass)
        for (int i : checked)
            for (const QString &request : m_drivers.records[i].pinRequests.split(',', Qt::SkipEmptyParts)) {
                if (request.size() < 2 || !request[0].isDigit())
                    continue;
                const int c = request[0].digitValue();
                const int type = c < 3 ? sxType[c] : c;
                const QString rest = request.mid(1);
                if (pass == 0) {
                    if (rest.startsWith("SD") || rest.startsWith("SC"))
                        AppendPinIdentifier(C(rest.startsWith("SD") ? "np_I2C_sda" : "np_I2C_scl").ItemText(),
                                            rest.mid(2), type, false);
                    else if (rest.size() >= 2 && rest[0] >= 'A' && rest[0] <= 'G' && rest[1].isDigit())
                        AppendPinIdentifier(rest.left(2), rest.mid(2), type, true);
                } else if (rest.startsWith('N') && rest.size() >= 2) {
                    AppendPinIdentifier(AllocatePin(c), rest.mid(2), 255, rest[1] == 'S');
                }
            }
}

void TSxWizardModel::Click(const QString &name)
{
    if (name == "SpinButton1" || name == "SpinButton1+")
        comparatorModeSx = comparatorModeSx >= 2 ? 0 : comparatorModeSx + 1;
    else if (name == "SpinButton1-")
        comparatorModeSx = comparatorModeSx <= 0 ? 2 : comparatorModeSx - 1;
    ComparatorLabels();
    Notify();
}

// --- section texts --------------------------------------------------------------------------

QString TSxWizardModel::GeneralSection(int placement) const
{
    if (placement != plHeader)
        return {};
    QString s;
    if (C("enable16").checked)
        s += "#device *=5\r\n";
    const QString clock = QString::number(C("np_clock").value);
    s += "#use delay(clock=" + clock +
         (C("delaywdt").checked && C("delaywdt").enabled ? ",RESTART_WDT)" : ")") + kCrLf;
    // A device table without oscillator names leaves the fuse line without one.
    QString fuses;
    const QString osc = C("osc").ItemText();
    if (!osc.isEmpty())
        fuses += osc.left(osc.indexOf(' ') < 0 ? osc.size() : osc.indexOf(' ')) + ",";
    fuses += C("NOWDT").checked ? "NOWDT," : "WDT,";
    fuses.chop(1);
    s += "#fuses " + fuses + kCrLf;
    return s;
}

QString TSxWizardModel::PinsSection(int placement) const
{
    QString s;
    if (placement == plHeader) {
        for (const TPinRow &row : m_pins) {
            const int number = 8 * (row.pin[0].unicode() - 'A' + 5) + row.pin.mid(1).toInt();
            for (const QString &entry : row.identifiers.split(',')) {
                if (entry.trimmed().isEmpty() || entry.startsWith('(') || (entry.startsWith("PIN_") && entry.size() == 6))
                    continue;
                s += "#define " + entry + "   " + QString::number(number) + kCrLf;
            }
        }
    } else {
        for (char port = 'A'; port <= 'E'; ++port) {
            QList<const TPinRow *> rows;
            for (const TPinRow &row : m_pins)
                if (row.pin[0] == QChar(port))
                    rows << &row;
            if (placement == plBeforeMain) {
                bool used = false, io = false;
                for (const TPinRow *r : rows) {
                    used = used || r->ioType != 5;
                    io = io || r->ioType == 4;
                }
                if (used)
                    s += QString(io ? "#use standard_io(%1)" : "#use fast_io(%1)").arg(QChar(port)) + kCrLf;
            } else if (PinRow(QString(QChar(port)) + "0") >= 0) {
                static const char *modes[5] = {"mTTLIN", "mCMOSIN", "mSTIN", "mOUTPUT", "mTTLIN"};
                QStringList fields;
                for (int bit = 7; bit >= 0; --bit) {
                    const int row = PinRow(QString(QChar(port)) + QString::number(bit));
                    if (row < 0) {
                        fields << "0";
                        continue;
                    }
                    const TPinRow &r = m_pins[row];
                    QString field = r.ioType >= 0 && r.ioType <= 4 ? modes[r.ioType] : "";
                    if (r.ioType < 4 && r.pullup)
                        field += "mPULLUP";
                    fields << field;
                }
                s += QString("   set_mode_%1(").arg(QChar(port)) + fields.join(',') + ");" + kCrLf;
            }
        }
    }
    return s;
}

QString TSxWizardModel::CommunicationsSection(int placement) const
{
    if (placement != plHeader)
        return {};
    QString s;
    if (C("NP_RS232").checked)
        s += "#use rs232(baud=" + QString::number(C("np_rs232_b").value) + ",parity=" +
             C("NP_rs232p").ItemText().left(1) + ",xmit=" + PinIdentifier(C("np_rs232_x").ItemText()) +
             ",rcv=" + PinIdentifier(C("np_rs232_r").ItemText()) + ")" + kCrLf;
    if (C("NP_I2C").checked)
        s += "#use i2c(master,sda=" + PinIdentifier(C("np_I2C_sda").ItemText()) + ",scl=" +
             PinIdentifier(C("np_I2C_scl").ItemText()) + ")" + kCrLf;
    return s;
}

QString TSxWizardModel::TimersSection(int placement) const
{
    if (placement != plInMain)
        return {};
    QString s = C("t0ext").checked ? "   setup_counters(RTCC_EXT_L_TO_H" : "   setup_counters(RTCC_INTERNAL";
    if (C("intrtcc").checked)
        s += "|INT_RTCC";
    s += ",";
    if (C("NOWDT").checked || C("WDT18").checked) {
        const int r = CheckedRadioIndex(kRes);
        if (r >= 1)
            s += "RTCC_DIV_" + QString::number(1 << r);
    } else {
        static const char *wdt[9] = {"", "", "WDT_36MS", "WDT_72MS", "WDT_144MS", "WDT_288MS",
                                     "WDT_576MS", "WDT_1152MS", "WDT_2304MS"};
        const int w = CheckedRadioIndex(kWdt);
        if (w >= 0)
            s += wdt[w];
    }
    return s + ");" + kCrLf;
}

QString TSxWizardModel::OtherSection(int placement) const
{
    if (placement != plInMain)
        return {};
    QString s;
    for (int n = 1; n <= 2; ++n) {
        const QString mode = C(Tn(n, "mode%1")).ItemText();
        const bool rising = C(Tn(n, "edge%1")).ItemText() == "Rising";
        QString text;
        if (mode == "PWM")
            text = "tPWM";
        else if (mode == "Capt/Comp")
            text = QString("tCC") + (rising ? "|CAPT_H2L" : "|CAPT_L2H");
        else if (C(Tn(n, "ext%1")).checked)
            text = QString("tEXT") + (rising ? "|ext_H2L" : "|EXT_L2H");
        else
            text = "tSW";
        if (C(Tn(n, "intt%1")).checked)
            text += "|OVFL_INT";
        if (C(Tn(n, "intt%1capt")).checked)
            text += "|CAPT_INT";
        if (C(Tn(n, "intt%1comp")).checked)
            text += "|COMP_INT";
        const int prescale = qBound(0, C(Tn(n, "prescale%1")).index, 7);
        s += QString("   setup_timer_%1(").arg(n) + text + ",DIV_BY_" + QString::number(kPrescale[prescale]) + "," +
             QString::number(C(Tn(n, "comp%11")).value) + "," + QString::number(C(Tn(n, "comp%12")).value) + ");" + kCrLf;
    }
    static const char *comp[3] = {"   read_comp(COMP_DISABLE);", "   read_comp(COMP_ENABLE);",
                                  "   read_comp(COMP_ENABLE|CMP_RB0);"};
    s += QString(comp[qBound(0, comparatorModeSx, 2)]) + kCrLf;
    return s;
}

QString TSxWizardModel::DriversSection(int placement) const
{
    QString s;
    const TWizardControl &list = C("driverlist");
    for (int i = 0; i < list.itemChecked.size() && i < m_drivers.records.size(); ++i) {
        if (!list.itemChecked[i])
            continue;
        if (placement == plBeforeMain)
            s += "#include <" + m_drivers.records[i].includeFile + ">" + kCrLf;
        else if (placement == plInMain)
            s += "   " + m_drivers.records[i].mainStatement + kCrLf;
    }
    return s;
}

QString TSxWizardModel::InterruptsSection(int placement) const
{
    QString s;
    if (placement == plBeforeMain) {
        QStringList routines;
        if (C("intrb").checked) {
            routines << "rb";
        } else {
            for (int b = 0; b < 8; ++b)
                if (C(QString("intrb%1").arg(b)).checked)
                    routines << QString("rb%1").arg(b);
        }
        const QList<QPair<QString, QString>> others = {
            {"intrtcc", "rtcc"}, {"intt1", "timer1"}, {"intt1comp", "t1_comp"}, {"intt1capt", "t1_capt"},
            {"intt2", "timer2"}, {"intt2comp", "t2_comp"}, {"intt2capt", "t2_capt"}};
        for (const auto &o : others)
            if (C(o.first).checked)
                routines << o.second;
        for (const QString &r : routines)
            s += QString(kCrLf) + "#int_" + r + kCrLf + r + "_isr() {" + kCrLf + kCrLf + "}" + kCrLf + kCrLf;
    } else if (placement == plInMain) {
        QStringList fields;
        bool any = false;
        for (int b = 7; b >= 0; --b) {
            const bool on = C(QString("intrb%1").arg(b)).checked;
            any = any || on;
            fields << (!on ? "miwuOFF" : C(QString("intrb%1f").arg(b)).checked ? "miwuH2L" : "miwuL2H");
        }
        if (any)
            s += "   setup_miwu(" + fields.join(',') + ");" + kCrLf;
    }
    return s;
}

QString TSxWizardModel::SectionText(int page, int placement) const
{
    if (!m_hasDevice)
        return {};
    switch (page) {
    case spGeneral: return GeneralSection(placement);
    case spPins: return PinsSection(placement);
    case spCommunications: return CommunicationsSection(placement);
    case spTimers: return TimersSection(placement);
    case spOther: return OtherSection(placement);
    case spDrivers: return DriversSection(placement);
    case spInterrupts: return InterruptsSection(placement);
    default: return {};
    }
}

QString TSxWizardModel::PreviewText(int page) const
{
    static const char *headings[3] = {"Inserted into .h file:", "Inserted into .c file before main():",
                                      "Inserted into .c file in main():"};
    QString out;
    for (int placement = 1; placement <= 3; ++placement) {
        const QString text = SectionText(page, placement);
        if (!text.isEmpty())
            out += QString(kCrLf) + headings[placement - 1] + kCrLf + kCrLf + text;
    }
    return out;
}

namespace {
// General, I/O Pins, (Analog: nothing), Communications, Timers, Other, Drivers, Interrupts.
const int kSxOrder[7] = {spGeneral, spPins, spCommunications, spTimers, spOther, spDrivers, spInterrupts};
}  // namespace

QString TSxWizardModel::HeaderPath(const QString &cPath)
{
    const int slash = cPath.lastIndexOf('/');
    const int dot = cPath.indexOf('.', slash + 1);
    return (dot < 0 ? cPath : cPath.left(dot)) + ".h";
}

QByteArray TSxWizardModel::CFile(const QString &headerPath) const
{
    QString out = "#include \"" + headerPath + "\"" + kCrLf;
    for (int page : kSxOrder)
        AppendSection(out, SectionText(page, plBeforeMain));
    out += "\r\n\r\nvoid main() {\r\n\r\n";
    for (int page : kSxOrder)
        AppendSection(out, SectionText(page, plInMain));
    out += "\r\n}\r\n";
    return out.toLatin1();
}

QByteArray TSxWizardModel::HeaderFile() const
{
    QString out = "#include <" + m_device.name() + ".h>" + kCrLf;
    for (int page : kSxOrder)
        AppendSection(out, SectionText(page, plHeader));
    out += kCrLf;
    return out.toLatin1();
}

TSxRunResult WriteSxWizardFiles(TSxWizardModel &model, const QString &cPath)
{
    TSxRunResult result;
    const QString headerPath = TSxWizardModel::HeaderPath(cPath);
    const QByteArray c = model.CFile(headerPath);
    const QByteArray h = model.HeaderFile();
    QString error;
    if (!WriteFileSafely(cPath, c, false, &error) || !WriteFileSafely(headerPath, h, false, &error)) {
        result.error = error;
        ShowError(error);
        return result;
    }
    result.cPath = cPath;
    result.headerPath = headerPath;
    return result;
}

TSxRunResult RunSxWizard(TSxWizardModel &model, const std::function<bool()> &showModal)
{
    model.RefreshSxGeneral();
    TFileQuestion question;
    question.caption = "New Project Main File Name";
    question.filters = QStringList{"C Source Files (*.c)", "All files (*)"};
    QString path = Prompt().SaveFileName(question);
    if (path.isEmpty())
        return {};
    if (!QFileInfo(path).fileName().contains('.'))
        path += ".c";
    model.C("MAIN_NAME").text = path;
    if (model.changed)
        model.changed();
    if (!showModal || !showModal())
        return {};
    return WriteSxWizardFiles(model, path);
}

}  // namespace kiv
