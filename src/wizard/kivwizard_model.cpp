#include "kivwizard_model.h"

#include "kivini.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "pc_int.h"

#include <QFile>

#include <cmath>

namespace kiv {

namespace {

const QStringList kRes = {"res1", "res2", "res4", "res8", "res16", "res32", "res64", "res128", "res256"};
const QStringList kT1Res = {"t1res1", "t1res2", "t1res4", "t1res8"};
const QStringList kT1Int = {"t1int1", "t1int2", "t1int4", "t1int8"};
const QStringList kT2Div = {"t2div1", "t2div4", "t2div16"};
const QStringList kT3Res = {"t3res1", "t3res2", "t3res3", "t3res4"};
const QStringList kT3Int = {"t3int1", "t3int2", "t3int3", "t3int4"};
const QStringList kT4Div = {"t4div1", "t4div4", "t4div16"};
const QStringList kWdt = {"WDT18", "wdt36", "wdt72", "wdt144", "wdt288", "wdt576", "wdt1152", "wdt2304"};
const int kDivFactors[3] = {1, 4, 16};

const QStringList kComparatorRows = {
    "A0,A3,0,A1,A2,0,",
    "A0,A2,C1OUT,A1,A2,C2OUT,",
    "A0,Vref,C1OUT,A1,Vref,C2OUT,",
    "A0,A2,C1OUT,A1,A2,C2OUT,",
    "A0,A3,C1OUT,A1,A2,C2OUT,",
    "Gnd,Gnd,0,A1,A2,C2OUT,",
    "A0,A2,C1OUT&&A3,A1,A2,C2OUT&&A4,",
    "Gnd,Gnd,0,Gnd,Gnd,0,",
    "A3,A2,C1OUT,A1,A2,C2OUT,",
    "A3,Vref,C1OUT,A2,Vref,C2OUT,",
};

// The digits at `from` (at most `width` characters, cut at the first non-digit) as a number.
int LeadingNumber(const QString &text, int from, int width)
{
    QString digits;
    for (int i = from; i < text.size() && i < from + width; ++i) {
        if (!text[i].isDigit())
            break;
        digits += text[i];
    }
    return digits.toInt();
}

}  // namespace


const QStringList &WizardPageCaptions()
{
    static const QStringList captions = {"General", "Communications", "SPI and LCD", "Timers",
                                         "QANTimers", "Analog", "Other", "Interrupts", "Drivers",
                                         "I/O Pins", "Header Files"};
    return captions;
}




qint64 RoundHalfUp(double value)
{
    return qint64(std::floor(value + 0.5));
}

QString FormatDuration(qint64 n)
{
    qint64 v;
    QString unit;
    if (n > 9999990) {
        v = n / 1000000;
        unit = " s";
    } else if (n > 9990) {
        v = n / 1000;
        unit = " ms";
    } else {
        v = n;
        unit = " us";
    }
    QString number;
    if (v > 999) {
        number = QString::number(v / 10);
    } else {
        number = QString::number(v);
        number.insert(number.size() - 1, '.');
    }
    return (number + unit).left(15);
}

QString PeriodText(qint64 frequency, qint64 count)
{
    if (frequency == 0)
        frequency = 1;
    return FormatDuration(RoundHalfUp(10000000.0 / double(frequency) * double(count)));
}

// ---------------------------------------------------------------------------------------------

TWizardModel::TWizardModel()
{
    CreateControls();
    RefreshTimers();
}

void TWizardModel::CreateControls()
{
    auto list = [this](const QString &name, const QString &caption, int page,
                       const QStringList &items, int index, const QString &parent = {}) {
        TWizardControl &c = Add(wcList, name, caption, page, parent);
        c.items = items;
        c.index = index;
        return &c;
    };
    auto number = [this](const QString &name, const QString &caption, int page, qint64 value,
                         qint64 minimum, qint64 maximum, const QString &parent = {}) {
        TWizardControl &c = Add(wcNumber, name, caption, page, parent);
        c.value = value;
        c.minimum = minimum;
        c.maximum = maximum;
        return &c;
    };

    // General
    Add(wcLabel, "MAIN_NAME", "", wpGeneral);
    list("NP_DEVICE", "Device", wpGeneral, {}, -1);
    number("np_clock", "Oscillator Frequency", wpGeneral, 20000000, 0, 99999999);
    Add(wcCheck, "enableicd", "Enable Integrated Chip Debugging (ICD)", wpGeneral);
    Add(wcCheck, "enable16", "Use 16 bit pointers for Full RAM use", wpGeneral);
    Add(wcCheck, "delaywdt", "Restart WDT during calls to DELAY", wpGeneral);
    list("functiongenoptions", "Function Generation", wpGeneral,
         {"Opening brace on the following line", "Opening brace on the same line"}, 0);

    // Communications
    Add(wcCheck, "NP_RS232", "Use RS-232", wpCommunications).checked = true;
    list("np_rs232x", "", wpCommunications, {"RS232#1", "RS232#2", "RS232#3", "RS232#4"}, 0);
    Add(wcEdit, "np_rs232_b", "Baud", wpCommunications).text = "9600";
    list("NP_rs232_p", "Parity", wpCommunications, {"None", "Even", "Odd"}, 0);
    list("np_rs232_x", "Transmit", wpCommunications, {}, -1);
    list("np_rs232_r", "Receive", wpCommunications, {}, -1);
    list("np_rs232_bit", "Bits", wpCommunications, {"5", "7", "8", "9"}, 3);
    Add(wcEdit, "np_rs232_stream", "Stream", wpCommunications);
    Add(wcCheck, "np_rs232_eblel", "Enable pin", wpCommunications);
    list("np_rs232_eble", "", wpCommunications, {}, -1);
    Add(wcCheck, "np_rs232_wdt", "restart_wdt", wpCommunications);
    Add(wcCheck, "np_rs232_invert", "Invert", wpCommunications);
    Add(wcCheck, "np_rs232_flt", "Float_high", wpCommunications);
    Add(wcCheck, "np_rs232_errors", "Errors", wpCommunications);
    Add(wcCheck, "np_rs232_brgh10k", "BRGH10K", wpCommunications);
    Add(wcCheck, "NP_I2C", "Use I2C", wpCommunications);
    list("np_I2C_sda", "SDA", wpCommunications, {}, -1);
    list("np_I2C_scl", "SCL", wpCommunications, {}, -1);
    list("np_i2c_mode", "", wpCommunications, {"Master", "Slave"}, 0);
    list("np_i2c_speed", "", wpCommunications, {"Fast", "Slow"}, 0);
    Add(wcCheck, "np_i2c_wdt", "Restart_wdt", wpCommunications);
    Add(wcCheck, "np_i2c_frchw", "Force_hw", wpCommunications);
    Add(wcEdit, "np_i2c_add", "Slave Address", wpCommunications);
    Add(wcCheck, "NP_PSP", "Hardware PSP", wpCommunications);

    // SPI and LCD
    Add(wcCheck, "NP_SPI", "Hardware SPI", wpSpiLcd);
    list("SPI_MS", "", wpSpiLcd, {"Master", "Slave"}, 0);
    list("SPI_DATA", "Spi mode", wpSpiLcd, {"CKP=0,CKE=0", "CKP=0,CKE=1", "CKP=1,CKE=0", "CKP=1,CKE=1"}, 0);
    list("SPI_CLOCK", "Clock", wpSpiLcd, {"Divide by 4", "Divide by 16", "Divide by 64", "Use Timer 2"}, 0);
    Add(wcCheck, "spi_ss", "Use Slave Select Pin", wpSpiLcd);
    Add(wcCheck, "spi_se", "Sample at End", wpSpiLcd);
    Add(wcCheck, "NP_LCD", "Hardware LCD", wpSpiLcd);
    list("lcd_type", "", wpSpiLcd, {"Static", "1:2 Mux", "1:3 Mux", "1:4 Mux"}, 0);
    Add(wcCheck, "lcd_stop", "STOP_ON_SLEEP", wpSpiLcd);
    Add(wcCheck, "lcd_timer1", "USE_TIMER_1", wpSpiLcd);
    number("lcd_res", "Resolution", wpSpiLcd, 0, 0, 15);
    Add(wcCheck, "lcd_seg4", "SEGO_4", wpSpiLcd);
    Add(wcCheck, "lcd_seg8", "SEG5_8", wpSpiLcd);
    Add(wcCheck, "lcd_seg11", "SEG9_11", wpSpiLcd);
    Add(wcCheck, "lcd_seg15", "SEG12_15", wpSpiLcd);
    Add(wcCheck, "lcd_seg19", "SEG16_19", wpSpiLcd);
    Add(wcCheck, "lcd_seg26", "SEG20_26", wpSpiLcd);
    Add(wcCheck, "lcd_seg28", "SEG27_28", wpSpiLcd);
    Add(wcCheck, "lcd_seg31", "SEG29_31", wpSpiLcd);
    Add(wcCheck, "lcd_segall", "ALL_LCD_PINS", wpSpiLcd);

    // Timers
    Add(wcGroup, "rtccbox", "Timer 0", wpTimers);
    Add(wcGroup, "t0srcbox", "Source", wpTimers, "rtccbox");
    Add(wcRadio, "t0int", "Internal", wpTimers, "t0srcbox").checked = true;
    Add(wcRadio, "t0ext1", "ext_l_to_h", wpTimers, "t0srcbox");
    Add(wcRadio, "t0ext2", "ext_h_to_l", wpTimers, "t0srcbox");
    Add(wcGroup, "t0resbox", "Resolution", wpTimers, "rtccbox");
    for (const QString &r : kRes)
        Add(wcRadio, r, "", wpTimers, "t0resbox").checked = r == "res2";
    number("frequency0", "Frequency", wpTimers, 5000000, 0, 999999999, "rtccbox");
    Add(wcLabel, "overflow0", "", wpTimers, "rtccbox");
    Add(wcCheck, "np_rtccoff", "Rtcc_Off", wpTimers, "rtccbox");
    Add(wcCheck, "np_rtcc8bit", "Rtcc_8_Bit", wpTimers, "rtccbox");
    Add(wcGroup, "timer1box", "Timer 1", wpTimers);
    list("t1mode", "", wpTimers, {"Disabled", "Internal", "External"}, 0, "timer1box");
    number("frequency1", "Frequency", wpTimers, 5000000, 0, 999999999, "timer1box");
    Add(wcLabel, "t1frel", "Hz", wpTimers, "timer1box");
    Add(wcGroup, "t1group", "Resolution", wpTimers, "timer1box");
    for (int i = 0; i < kT1Res.size(); ++i) {
        Add(wcRadio, kT1Res[i], "", wpTimers, "t1group").checked = i == 0;
        Add(wcLabel, kT1Int[i], "", wpTimers, "t1group");
    }
    Add(wcCheck, "t1clockout", "Clock out for crystal", wpTimers, "timer1box");
    Add(wcCheck, "t1sync", "Sync Ext Clock to Osc", wpTimers, "timer1box");
    Add(wcGroup, "timer2box", "Timer 2", wpTimers);
    Add(wcCheck, "t2enabled", "Enabled", wpTimers, "timer2box");
    Add(wcGroup, "t2resolution", "Resolution", wpTimers, "timer2box");
    for (int i = 0; i < kT2Div.size(); ++i)
        Add(wcRadio, kT2Div[i], "", wpTimers, "t2resolution").checked = i == 0;
    number("t2p", "Period", wpTimers, 0, 0, 255, "timer2box");
    number("t2i", "Postscaler", wpTimers, 1, 1, 16, "timer2box");
    Add(wcLabel, "t2ptime", "", wpTimers, "timer2box");
    Add(wcLabel, "t2itime", "", wpTimers, "timer2box");
    Add(wcGroup, "wdtbox", "Watch Dog Timer", wpTimers);
    Add(wcCheck, "nowdt", "Not used", wpTimers, "wdtbox").checked = true;
    Add(wcGroup, "wdtsbox", "", wpTimers, "wdtbox");
    const QStringList wdtCaptions = {"18 ms", "36 ms", "72 ms", "144 ms", "288 ms", "576 ms", "1152 ms", "2304 ms"};
    for (int i = 0; i < kWdt.size(); ++i)
        Add(wcRadio, kWdt[i], wdtCaptions[i], wpTimers, "wdtsbox").checked = i == 0;

    // QAN timers
    Add(wcGroup, "timer3box", "Timer 3", wpQanTimers);
    list("t3_mode", "", wpQanTimers, {"Disabled", "Internal", "External", "External Sync"}, 0, "timer3box");
    number("frequency3", "Frequency", wpQanTimers, 5000000, 0, 999999999, "timer3box");
    Add(wcLabel, "t3frel", "Hz", wpQanTimers, "timer3box");
    Add(wcGroup, "t3resbox", "Resolution", wpQanTimers, "timer3box");
    for (int i = 0; i < kT3Res.size(); ++i) {
        Add(wcRadio, kT3Res[i], "", wpQanTimers, "t3resbox").checked = i == 0;
        Add(wcLabel, kT3Int[i], "", wpQanTimers, "t3resbox");
    }
    Add(wcGroup, "timer4box", "Timer 4", wpQanTimers);
    Add(wcCheck, "t4enabled", "Enabled", wpQanTimers, "timer4box");
    Add(wcGroup, "t4resolution", "Resolution", wpQanTimers, "timer4box");
    for (int i = 0; i < kT4Div.size(); ++i)
        Add(wcRadio, kT4Div[i], "", wpQanTimers, "t4resolution").checked = i == 0;
    number("t4p", "Period", wpQanTimers, 0, 0, 255, "timer4box");
    number("t4i", "Postscaler", wpQanTimers, 1, 1, 16, "timer4box");
    Add(wcLabel, "t4ptime", "", wpQanTimers, "timer4box");
    Add(wcLabel, "t4itime", "", wpQanTimers, "timer4box");

    // Analog
    list("adc_pinsrb", "Analog Pins", wpAnalog, {}, -1);
    Add(wcGroup, "adc_pinscb", "Analog Pins", wpAnalog).visible = false;
    for (int i = 1; i <= kMaxAnalogCheckOptions; ++i)
        Add(wcCheck, QString("CheckBox%1").arg(i), "", wpAnalog, "adc_pinscb").visible = false;
    list("adcrange", "Range", wpAnalog, {}, -1);
    list("adcclock", "Clock", wpAnalog, {}, -1);
    list("adcbits", "Units", wpAnalog, {}, -1);
    list("adctad", "Acquisition", wpAnalog, {}, -1);
    list("adcmode", "Mode", wpAnalog, {}, -1);
    list("adctrigger", "Trigger", wpAnalog, {}, -1);
    list("adcinterrupt", "Interrupt", wpAnalog, {}, -1);

    // Other
    list("ccpx", "", wpOther, {}, -1);
    Add(wcGroup, "ccp1box", "CCPX Settings", wpOther);
    list("ccp1mode", "", wpOther, {"Off", "Capture ", "Compare", "PWM"}, 0, "ccp1box");
    list("ccp1edge", "", wpOther, {"Falling", "Rising"}, 1, "ccp1box");
    list("ccp1input", "", wpOther, {"1 edge", "4 edges", "16 edges"}, 0, "ccp1box");
    list("ccp1match", "", wpOther, {"Interrupt and Clear Pin", "Interrupt and Set Pin",
                                    "Interrupt and no change on Pin", "Set T1 to 0 and no change on Pin"},
         0, "ccp1box");
    list("ccp1pwm", "Options", wpOther, {}, -1, "ccp1box");
    Add(wcButton, "ccp1new", "More Options", wpOther, "ccp1box");
    Add(wcLabel, "ccp1l1", "", wpOther, "ccp1box");
    Add(wcLabel, "ccp1l2", "", wpOther, "ccp1box");
    Add(wcLabel, "ccp1l3", "", wpOther, "ccp1box");
    Add(wcGroup, "compa", "Comparators", wpOther);
    for (const char *n : {"c1x", "c1y", "c1z", "c2x", "c2y", "c2z"})
        Add(wcLabel, n, "", wpOther, "compa");
    Add(wcButton, "np_spin", "", wpOther, "compa");
    QStringList vrefItems = {"Off"};
    vrefItems << QStringList{"1.25", "1.41", "1.56", "1.72", "1.88", "2.03", "2.19", "2.34",
                             "2.50", "2.66", "2.81", "2.97", "3.13", "3.28", "3.44", "3.59"};
    vrefItems << QStringList{"0.00", "0.21", "0.42", "0.63", "0.83", "1.04", "1.25", "1.46",
                             "1.67", "1.88", "2.08", "2.29", "2.50", "2.71", "2.92", "3.13"};
    list("vref", "Vref", wpOther, vrefItems, 0);
    Add(wcCheck, "vrefra2", "Vref --> RA2", wpOther);

    // Interrupts, drivers, pins, headers
    Add(wcCheckList, "intchecklist", "", wpInterrupts);
    Add(wcCheckList, "driverlist", "Standard Drivers", wpDrivers);
    Add(wcCheck, "pullups", "Enable Pullups on port B", wpPins);
    const QList<QPair<QString, QString>> headers = {
        {"np_assert", "assert.h"}, {"np_ctype", "ctype.h"}, {"np_errno", "errno.h"},
        {"np_float", "float.h"}, {"np_limits", "limits.h"}, {"np_locale", "locale.h"},
        {"np_math", "math.h"}, {"np_s7600", "s7600.h"}, {"np_jmp", "setjmp.h"},
        {"np_smtp", "smtp.h"}, {"np_def", "stddef.h"}, {"np_lib", "stdlib.h"},
        {"np_libm", "stdlibm.h"}, {"np_string", "string.h"}, {"np_stdio", "stdio.h"},
        {"np_zeroram", "ZERO_RAM"}};
    for (const auto &h : headers)
        Add(wcCheck, h.first, h.second, wpHeaders);

    ComparatorLabels();
}

// --- control changes ---------------------------------------------------------------------





int TWizardModel::FindListItem(const QString &name, const QString &value) const
{
    // The analog lists also take an option's identifier.
    const QMap<QString, const QList<TAnalogOption> *> analog = {
        {"adcclock", &m_analog.clocks}, {"adctad", &m_analog.acquisitions},
        {"adcmode", &m_analog.modes}, {"adctrigger", &m_analog.triggers},
        {"adcinterrupt", &m_analog.interrupts}, {"adc_pinsrb", &m_analog.ports},
        {"adcrange", &m_analog.ranges}};
    if (const QList<TAnalogOption> *options = analog.value(name))
        for (int i = 0; i < options->size(); ++i)
            if (options->at(i).identifier == value)
                return i;
    return -1;
}

int TWizardModel::FindCheckListRow(const QString &name, const QString &row) const
{
    return name == "intchecklist" ? int(m_intNames.indexOf(row)) : -1;
}

void TWizardModel::IndexChanged(const QString &name)
{
    if (name == "NP_DEVICE") {
        RefreshGeneral();
        RefreshInterrupts();
        Notify();
        return;
    }
    const TWizardControl &c = C(name);
    if (name == "ccp1pwm" && c.index >= 0 && c.index < 3) {
        CheckRadio(kT2Div[c.index]);
        C("t2p").value = m_pwmPeriods[c.index];
        RefreshTimer2Labels();
    }
    AfterChange(name);
}




void TWizardModel::AfterChange(const QString &name)
{
    if (m_inRefresh)
        return;
    const TWizardControl &c = C(name);
    if (name == "t2p" || name == "t2i") {
        RefreshTimer2Labels();
    } else if (name == "t4p" || name == "t4i") {
        RefreshTimer4Labels();
    } else {
        switch (c.page) {
        case wpCommunications:
            // Every change of the page composes the selected channel's statement again, so a
            // baud rate or stream name typed just before OK is what the files get.
            RefreshCommunications();
            break;
        case wpSpiLcd: RefreshSpiLcd(); break;
        case wpTimers:
            if (c.kind != wcLabel)
                RefreshTimers();
            break;
        case wpQanTimers: RefreshQanTimers(); break;
        case wpAnalog: RefreshAnalog(); break;
        case wpOther: RefreshOther(); break;
        default: break;
        }
    }
    Notify();
}


void TWizardModel::Click(const QString &name)
{
    if (name == "np_spin+" || name == "np_spin") {
        comparatorMode = comparatorMode >= 9 ? 0 : comparatorMode + 1;
        RefreshOther();
    } else if (name == "np_spin-") {
        comparatorMode = comparatorMode <= 0 ? 9 : comparatorMode - 1;
        RefreshOther();
    } else if (name == "ccp1new") {
        qint64 frequency = 0;
        if (enterNumber)
            frequency = enterNumber("Frequency in HZ:");
        else
            frequency = Prompt().Number("Enter Number", "Frequency in HZ:", 0, 0, 999999999).value_or(0);
        C("ccp1pwm").items = PwmChoices(frequency, m_pwmPeriods);
        const int div = CheckedRadioIndex(kT2Div);
        C("ccp1pwm").index = div;
    }
    Notify();
}

// --- pages --------------------------------------------------------------------------------

void TWizardModel::ShowPage(int page)
{
    if (page < 0 || page >= wpPageCount)
        return;
    m_page = page;
    if (page == wpInterrupts) {
        if (C("intchecklist").items.isEmpty())
            RefreshInterrupts();
    } else {
        RefreshPage(page);
    }
    Notify();
}

void TWizardModel::RefreshPage(int page)
{
    switch (page) {
    case wpCommunications: RefreshCommunications(); break;
    case wpSpiLcd: RefreshSpiLcd(); break;
    case wpTimers: RefreshTimers(); break;
    case wpQanTimers: RefreshQanTimers(); break;
    case wpAnalog: RefreshAnalog(); break;
    case wpOther: RefreshOther(); break;
    case wpInterrupts: RefreshInterrupts(); break;
    case wpPins: RefreshPins(); break;
    default: break;
    }
}

// --- device ------------------------------------------------------------------------------

void TWizardModel::SetDeviceFileOnly(const QString &deviceFile)
{
    m_deviceFile = deviceFile;
    SetDeviceFile(deviceFile);
    QStringList names;
    try {
        ListDevices(names, kWizardKinds, 0);
    } catch (const TDeviceFileError &e) {
        m_fileError = e.Message();
    }
    TWizardControl &device = C("NP_DEVICE");
    device.items = names;
    device.index = names.indexOf("PIC16C74");
}

void TWizardModel::Open(const QString &deviceFile, const QString &driverFile)
{
    m_page = 0;
    SetDeviceFileOnly(deviceFile.isEmpty() ? UtilsDir() + "devices.dat" : deviceFile);
    C("np_clock").value = 20000000;
    RefreshTimers();
    bool ok = false;
    const QStringList lines = ReadTextLines(driverFile.isEmpty() ? DriverTableFile() : driverFile, &ok);
    SetDriverTable(ok ? ParseDriverTable(lines) : TDriverTable());
    ReadBraceStyle();
    Notify();
}


void TWizardModel::ReadBraceStyle()
{
    const TIniFile ini(SettingsFilePath());
    const QString style = ini.ReadString("KIVWIZARD", "CODESTYLE", "nextline");
    C("functiongenoptions").index = style == "nextline" ? 0 : 1;
}

void TWizardModel::WriteBraceStyle() const
{
    TIniFile ini(SettingsFilePath());
    ini.WriteString("KIVWIZARD", "CODESTYLE", BraceStyle() == 0 ? "nextline" : "sameline");
}

bool TWizardModel::SelectDevice(const QString &name)
{
    const int index = C("NP_DEVICE").items.indexOf(name);
    if (index < 0)
        return false;
    SetIndex("NP_DEVICE", index);
    return m_hasDevice && m_device.name() == name;
}

void TWizardModel::SelectPinItem(const QString &name, const QString &first, const QString &second)
{
    TWizardControl &c = C(name);
    c.items = PinNames();
    int index = c.items.indexOf(first);
    if (index < 0)
        index = c.items.indexOf(second);
    if (index < 0) {
        // Neither pin exists: the position where the second name would sort.
        index = 0;
        while (index < c.items.size() && c.items[index] < second)
            ++index;
        if (index >= c.items.size())
            index = c.items.size() - 1;
    }
    c.index = index;
}

void TWizardModel::RefreshGeneral()
{
    m_inRefresh = true;
    m_fileError.clear();
    SetDeviceFile(m_deviceFile);
    LoadFuseNames(m_fuseNames);
    DeviceRecord record;
    const QString name = C("NP_DEVICE").ItemText();
    if (name.isEmpty() || !FindDevice(name, record) || record.name() != name) {
        m_inRefresh = false;
        return;
    }
    m_device = record;
    m_hasDevice = true;

    // Fuse frame
    TDescriptionFile descriptions;
    try {
        descriptions = TDescriptionFile(m_fuseDescriptionPath.isEmpty() ? FuseDescriptionFile()
                                                                        : m_fuseDescriptionPath);
    } catch (const TDescriptionFileError &e) {
        m_fileError = e.Message();
    }
    m_fuses.Build(m_device, m_fuseNames, descriptions);
    m_fuses.SelectDefaults(m_device, m_fuseNames);

    C("nowdt").checked = true;
    CheckRadio("WDT18");
    CheckRadio("res1");

    // Pin table
    m_pins.clear();
    for (char port : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'J'}) {
        const uint8_t mask = m_device.portMask(port);
        for (int bit = 0; bit < 8; ++bit)
            if (mask & (1u << bit)) {
                TPinRow row;
                row.pin = QString(QChar(port)) + QString::number(bit);
                row.identifiers = "PIN_" + row.pin;
                m_pins << row;
            }
    }

    C("enableicd").enabled = m_device.hasProgramMemoryAccess();
    C("enable16").enabled = m_device.ramMap(288) == 0;

    SelectPinItem("np_rs232_x", "C6", "A3");
    SelectPinItem("np_rs232_r", "C7", "A2");
    C("np_rs232x").index = -1;
    C("np_rs232_eble").items = PinNames();
    SelectPinItem("np_I2C_sda", "C4", "B6");
    SelectPinItem("np_I2C_scl", "C3", "B7");
    C("NP_rs232_p").index = 0;
    C("np_rs232_bit").index = 3;

    const int ccpCount = qMin<int>(m_device.ccpCount(), 5);
    C("ccp1box").enabled = m_device.ccpCount() > 0;
    QStringList ccps;
    for (int i = 1; i <= ccpCount; ++i)
        ccps << QString("CCP%1").arg(i);
    C("ccpx").items = ccps;
    C("ccpx").index = ccps.isEmpty() ? -1 : 0;

    if (m_device.hasVref()) {
        C("vref").enabled = true;
        C("vrefra2").enabled = true;
        C("vref").index = 0;
    } else {
        C("vref").enabled = false;
        C("vrefra2").enabled = false;
    }
    C("compa").enabled = m_device.hasComparators();

    // Analog
    m_analog = TAnalogOptions();
    for (int i = 1; i <= kMaxAnalogCheckOptions; ++i) {
        TWizardControl &box = C(QString("CheckBox%1").arg(i));
        box.visible = false;
        box.caption.clear();
    }
    try {
        m_analog = ReadAnalogOptions(m_device, m_analogPath.isEmpty() ? AnalogOptionFile() : m_analogPath);
    } catch (const TAnalogFileError &e) {
        m_fileError = e.Message();
    }
    auto fill = [this](const QString &name, const QList<TAnalogOption> &options) {
        TWizardControl &c = C(name);
        c.items.clear();
        for (const TAnalogOption &o : options)
            c.items << o.text;
        c.index = -1;
    };
    fill("adcclock", m_analog.clocks);
    C("adcclock").index = m_analog.selectedClock;
    fill("adcrange", m_analog.ranges);
    fill("adctad", m_analog.acquisitions);
    fill("adcmode", m_analog.modes);
    fill("adctrigger", m_analog.triggers);
    fill("adcinterrupt", m_analog.interrupts);
    fill("adc_pinsrb", m_analog.ports);
    for (int i = 0; i < m_analog.checkOptionCount && i < kMaxAnalogCheckOptions; ++i) {
        TWizardControl &box = C(QString("CheckBox%1").arg(i + 1));
        box.caption = m_analog.checkCaptions.value(i);
        box.visible = true;
        box.checked = false;
    }
    C("adc_pinsrb").index = C("adc_pinsrb").items.isEmpty() ? -1 : 0;
    C("adcrange").visible = !m_analog.ranges.isEmpty();
    if (C("adcrange").visible && C("adcrange").index < 0)
        C("adcrange").index = 0;
    C("adctad").visible = !m_analog.acquisitions.isEmpty();
    C("adcmode").visible = !m_analog.modes.isEmpty();
    C("adctrigger").visible = !m_analog.triggers.isEmpty();
    C("adcinterrupt").visible = !m_analog.interrupts.isEmpty();
    if (C("adctad").index < 0 && !C("adctad").items.isEmpty())
        C("adctad").index = 0;
    C("adcmode").index = -1;
    C("adctrigger").index = -1;
    C("adcinterrupt").index = -1;

    m_adcBitsInUse = m_device.adcBits();
    const int b = qBound(0, m_adcBitsInUse, 16);
    QStringList bits = {"Units: 0-255"};
    const qint64 full = (qint64(1) << b) - 1;
    if (b > 8)
        bits << QString("Units: 0-%1").arg(full);
    bits << QString("Units: 0-%1").arg(b > 0 ? (full << (16 - b)) : 0);
    C("adcbits").items = bits;
    C("adcbits").index = 0;
    m_inRefresh = false;
}

// --- page refreshes --------------------------------------------------------------------------

void TWizardModel::RefreshTimers()
{
    const bool wasIn = m_inRefresh;
    m_inRefresh = true;
    const qint64 clock = C("np_clock").value;
    const bool kind3 = m_hasDevice && m_device.kind() == dkPic18;
    // 1. Timer 0 off / 8 bit
    if (kind3) {
        C("np_rtccoff").enabled = true;
        C("np_rtcc8bit").enabled = true;
        const bool on = !C("np_rtccoff").checked;
        C("t0srcbox").enabled = on;
        C("t0resbox").enabled = on;
        C("np_rtcc8bit").enabled = on;
    } else {
        C("np_rtccoff").enabled = false;
        C("np_rtcc8bit").enabled = false;
    }
    // 2. Timer 0 input frequency
    if (C("t0int").checked) {
        C("frequency0").value = clock / 4;
        C("frequency0").enabled = false;
    } else {
        C("frequency0").enabled = true;
    }
    // 3. Timer 1 and 2 boxes
    C("timer1box").enabled = m_hasDevice && m_device.hasTimer1();
    C("timer2box").enabled = m_hasDevice && m_device.hasTimer2();
    // 4. Watchdog
    if (kind3) {
        C("wdtsbox").enabled = !C("nowdt").checked;
    } else if (C("nowdt").checked) {
        C("wdtsbox").enabled = false;
        C("t0resbox").enabled = true;
        CheckRadio("WDT18");
    } else {
        C("wdtsbox").enabled = true;
        C("t0resbox").enabled = false;
        C("res1").enabled = true;
    }
    // 5. Prescaler captions
    const qint64 f0 = C("frequency0").value;
    for (int i = 0; i < kRes.size(); ++i)
        C(kRes[i]).caption = PeriodText(f0, qint64(1) << i);
    // 6. Overflow
    const int p = qMax(0, CheckedRadioIndex(kRes));
    const bool sixteen = C("np_rtcc8bit").enabled && !C("np_rtcc8bit").checked;
    qint64 r = f0 * 100 / (sixteen ? 65536 : 256) / (qint64(1) << p);
    if (r == 0)
        r = 1;
    C("overflow0").caption = FormatDuration(1000000000 / r);
    // 7. Timer 1 mode
    const QString t1 = C("t1mode").ItemText();
    if (t1 == "External") {
        C("frequency1").enabled = true;
        C("t1clockout").enabled = true;
        C("t1sync").enabled = true;
        C("t1group").enabled = true;
        C("t1frel").enabled = true;
    } else if (t1 == "Internal") {
        C("frequency1").value = clock / 4;
        C("t1group").enabled = true;
        C("frequency1").enabled = false;
        C("t1clockout").enabled = false;
        C("t1clockout").checked = false;
        C("t1sync").enabled = false;
        C("t1sync").checked = false;
        C("t1frel").enabled = true;
    } else {
        C("frequency1").value = clock / 4;
        for (const char *n : {"t1group", "t1clockout", "t1sync", "t1frel", "frequency1"})
            C(n).enabled = false;
    }
    // 8. Timer 1 captions
    const qint64 f1 = C("frequency1").value;
    for (int i = 0; i < kT1Res.size(); ++i) {
        C(kT1Res[i]).caption = PeriodText(f1, qint64(1) << i);
        C(kT1Int[i]).caption = PeriodText(f1, qint64(65536) << i);
    }
    // 9. Timer 2
    const bool t2 = C("t2enabled").checked;
    C("t2resolution").enabled = t2;
    C("t2p").enabled = t2;
    C("t2i").enabled = t2;
    for (int i = 0; i < kT2Div.size(); ++i)
        C(kT2Div[i]).caption = PeriodText(clock / 4, kDivFactors[i]);
    RefreshTimer2Labels();
    m_inRefresh = wasIn;
}

void TWizardModel::RefreshTimer2Labels()
{
    const qint64 f = C("np_clock").value / 4;
    const int d = CheckedRadioIndex(kT2Div);
    const qint64 k = d >= 0 ? kDivFactors[d] : 0;
    const qint64 p = C("t2p").value + 1;
    C("t2ptime").caption = PeriodText(f, k * p);
    C("t2itime").caption = PeriodText(f, k * p * C("t2i").value);
}

void TWizardModel::RefreshTimer4Labels()
{
    const qint64 f = C("np_clock").value / 4;
    const int d = CheckedRadioIndex(kT4Div);
    const qint64 k = d >= 0 ? kDivFactors[d] : 0;
    const qint64 p = C("t4p").value + 1;
    C("t4ptime").caption = PeriodText(f, k * p);
    C("t4itime").caption = PeriodText(f, k * p * C("t4i").value);
}

void TWizardModel::RefreshQanTimers()
{
    const bool wasIn = m_inRefresh;
    m_inRefresh = true;
    const qint64 clock = C("np_clock").value;
    const bool kind3 = m_hasDevice && m_device.kind() == dkPic18;
    if (kind3) {
        C("timer3box").enabled = true;
        C("t3_mode").enabled = true;
        C("t3resbox").enabled = true;
        C("frequency3").enabled = false;
        C("t3frel").enabled = false;
        C("timer4box").visible = m_device.hasTimer4();
    } else {
        C("timer4box").visible = false;
        for (const char *n : {"timer3box", "t3_mode", "t3resbox", "frequency3", "t3frel"})
            C(n).enabled = false;
    }
    if (C("timer3box").enabled) {
        const int mode = C("t3_mode").index;
        if (mode <= 1) {
            C("frequency3").value = clock / 4;
            C("frequency3").enabled = false;
            C("t3frel").enabled = mode == 1;
        } else {
            C("frequency3").enabled = true;
        }
    }
    const qint64 f3 = C("frequency3").value;
    for (int i = 0; i < kT3Res.size(); ++i) {
        C(kT3Res[i]).caption = PeriodText(f3, qint64(1) << i);
        C(kT3Int[i]).caption = PeriodText(f3, qint64(65536) << i);
    }
    const bool t4 = C("t4enabled").checked;
    C("t4resolution").enabled = t4;
    C("t4p").enabled = t4;
    C("t4i").enabled = t4;
    for (int i = 0; i < kT4Div.size(); ++i)
        C(kT4Div[i]).caption = PeriodText(clock / 4, kDivFactors[i]);
    RefreshTimer4Labels();
    m_inRefresh = wasIn;
}

void TWizardModel::ComposeSerialStatement()
{
    const int channel = C("np_rs232x").index;
    if (channel < 0 || channel > 3)
        return;
    if (!C("NP_RS232").checked) {
        rs232Text[channel].clear();
        return;
    }
    QString s = "#use rs232(baud=" + C("np_rs232_b").text + ",parity=" +
                C("NP_rs232_p").ItemText().left(1) + ",xmit=" +
                PinIdentifier(C("np_rs232_x").ItemText()) + ",rcv=" +
                PinIdentifier(C("np_rs232_r").ItemText()) + ",bits=" + C("np_rs232_bit").ItemText();
    if (!C("np_rs232_stream").text.isEmpty())
        s += ",stream=" + C("np_rs232_stream").text;
    if (C("np_rs232_eblel").checked)
        s += ",enable=" + PinIdentifier(C("np_rs232_eble").ItemText());
    if (C("np_rs232_wdt").checked)
        s += ",restart_wdt";
    if (C("np_rs232_invert").checked)
        s += ",invert";
    if (C("np_rs232_flt").checked)
        s += ",float_high";
    if (C("np_rs232_errors").checked)
        s += ",errors";
    if (C("np_rs232_brgh10k").checked)
        s += ",brgh10k";
    rs232Text[channel] = s + ")\r\n";
}

void TWizardModel::RefreshCommunications()
{
    const bool wasIn = m_inRefresh;
    m_inRefresh = true;
    if (C("np_rs232x").index < 0)
        C("np_rs232x").index = 0;
    if (C("np_rs232_eble").index < 0 && !C("np_rs232_eble").items.isEmpty())
        C("np_rs232_eble").index = 0;
    C("NP_PSP").enabled = m_hasDevice && m_device.hasPsp();
    const bool rs = C("NP_RS232").checked;
    for (const char *n : {"np_rs232_b", "NP_rs232_p", "np_rs232_x", "np_rs232_r", "np_rs232_bit",
                          "np_rs232_stream", "np_rs232_eblel", "np_rs232_wdt", "np_rs232_invert",
                          "np_rs232_flt", "np_rs232_errors", "np_rs232_brgh10k"})
        C(n).enabled = rs;
    C("np_rs232_eble").enabled = rs && C("np_rs232_eblel").checked;
    C("np_rs232x").enabled = true;
    C("NP_I2C").enabled = m_hasDevice && m_device.hasI2c();
    const bool i2c = C("NP_I2C").checked && C("NP_I2C").enabled;
    for (const char *n : {"np_I2C_sda", "np_I2C_scl", "np_i2c_mode", "np_i2c_speed", "np_i2c_wdt",
                          "np_i2c_frchw"})
        C(n).enabled = i2c;
    C("np_i2c_add").enabled = i2c && C("np_i2c_mode").index == 1;
    ComposeSerialStatement();
    if (rs) {
        const QString n = QString::number(C("np_rs232x").index + 1);
        AssignPinFunction(C("np_rs232_x").ItemText(), "RS232_XMIT" + n, 1);
        AssignPinFunction(C("np_rs232_r").ItemText(), "RS232_RCV" + n, 0);
        if (C("np_rs232_eblel").checked)
            AssignPinFunction(C("np_rs232_eble").ItemText(), "RS232_ENABLE" + n, 0);
    }
    m_inRefresh = wasIn;
}

void TWizardModel::RefreshSpiLcd()
{
    const bool hasSpi = m_hasDevice && m_device.hasSpi();
    const bool hasLcd = m_hasDevice && m_device.hasLcd();
    C("NP_SPI").enabled = hasSpi;
    C("NP_LCD").enabled = hasLcd;
    const bool lcd = hasLcd && C("NP_LCD").checked;
    for (const char *n : {"lcd_type", "lcd_stop", "lcd_timer1", "lcd_res", "lcd_seg4", "lcd_seg8",
                          "lcd_seg11", "lcd_seg15", "lcd_seg19", "lcd_seg26", "lcd_seg28",
                          "lcd_seg31", "lcd_segall"})
        C(n).enabled = lcd;
    if (!C("NP_SPI").checked || !hasSpi) {
        for (const char *n : {"SPI_MS", "SPI_DATA", "SPI_CLOCK", "spi_ss"})
            C(n).enabled = false;
    } else {
        C("SPI_MS").enabled = true;
        const bool slave = C("SPI_MS").index == 1;
        C("SPI_DATA").enabled = !slave;
        C("SPI_CLOCK").enabled = !slave;
        C("spi_ss").enabled = slave;
        C("spi_se").enabled = !slave;
    }
}

void TWizardModel::RefreshAnalog()
{
    C("adc_pinscb").visible = false;
    const bool adc = m_hasDevice && m_device.adcChannels() > 0;
    if (adc) {
        C("adcclock").enabled = true;
        C("adcrange").enabled = true;
        if (m_analog.checkOptionCount == 0) {
            C("adc_pinsrb").visible = true;
            C("adc_pinsrb").enabled = true;
        } else {
            C("adc_pinscb").visible = true;
            C("adc_pinscb").enabled = true;
            C("adc_pinsrb").visible = false;
        }
    } else {
        C("adcclock").enabled = false;
        C("adcrange").enabled = false;
        C("adc_pinsrb").enabled = false;
    }
    const qint64 f = C("np_clock").value / 4;
    auto retext = [&](const QString &name, const QList<TAnalogOption> &options, const QString &key,
                      int width, const std::function<QString(const QString &)> &make) {
        TWizardControl &c = C(name);
        for (int i = 0; i < options.size() && i < c.items.size(); ++i) {
            const int at = options[i].identifier.indexOf(key);
            if (at >= 0)
                c.items[i] = make(options[i].identifier.mid(at + key.size(), width));
        }
    };
    retext("adcclock", m_analog.clocks, "_DIV_", 2,
           [f](const QString &n) { return "Clock " + PeriodText(f, LeadingNumber(n, 0, 2)); });
    retext("adctad", m_analog.acquisitions, "_MUL_", 2,
           [f](const QString &n) { return "Acquisition time " + PeriodText(f, LeadingNumber(n, 0, 2)); });
    retext("adcmode", m_analog.modes, "_CONT_", 7,
           [](const QString &n) { return "Continous Mode: " + n; });
    retext("adctrigger", m_analog.triggers, "_WHEN_", 6,
           [](const QString &n) { return "A/D Trigger: " + n; });
    retext("adcinterrupt", m_analog.interrupts, "_INT_", 11,
           [](const QString &n) { return "Interrupt on : " + n; });
    if (C("adctad").visible && C("adctad").index < 0 && !C("adctad").items.isEmpty())
        C("adctad").index = 0;
}

void TWizardModel::ComparatorLabels()
{
    const QStringList parts = kComparatorRows.value(qBound(0, comparatorMode, 9)).split(',');
    const char *names[6] = {"c1x", "c1y", "c1z", "c2x", "c2y", "c2z"};
    for (int i = 0; i < 6; ++i)
        C(names[i]).caption = parts.value(i);
}

QStringList TWizardModel::PwmChoices(qint64 frequency, int periods[3]) const
{
    const qint64 clock = C("np_clock").value;
    if (frequency == 0)
        frequency = 1;
    QStringList items;
    for (int i = 0; i < 3; ++i) {
        const qint64 k = kDivFactors[i];
        qint64 pr = RoundHalfUp(double(clock) / double(4 * k * frequency)) - 1;
        pr = qBound(qint64(0), pr, qint64(255));
        periods[i] = int(pr);
        const qint64 n = RoundHalfUp(double(clock) / double(4 * k * (pr + 1)));
        QString text;
        if (n >= 1000) {
            text = QString::number(n);
            text.insert(text.size() - 3, '.');
            text += " Khz";
        } else {
            text = QString::number(n) + " Hz";
        }
        items << text + ", Duty=0 to " + QString::number(4 * (pr + 1));
    }
    return items;
}

void TWizardModel::ComposeCcpStatement()
{
    const int unit = C("ccpx").index;
    if (unit < 0 || unit > 4)
        return;
    const int mode = C("ccp1mode").index;
    QString s = "   setup_ccp" + QString::number(unit + 1);
    switch (mode) {
    case 1: {
        s += QString("(CCP_CAPTURE_") + (C("ccp1edge").index == 1 ? "RE" : "FE");
        const int input = C("ccp1input").index;
        if (input == 1)
            s += "|CCP_CAPTURE_DIV_4";
        else if (input == 2)
            s += "|CCP_CAPTURE_DIV_16";
        s += ");";
        break;
    }
    case 2: {
        static const char *match[4] = {"CLR_ON_MATCH);", "SET_ON_MATCH);", "INT);", "RESET_TIMER);"};
        s += QString("(CCP_COMPARE_") + match[qBound(0, C("ccp1match").index, 3)];
        break;
    }
    case 3:
        s += "(CCP_PWM);";
        break;
    default:
        s += "(CCP_OFF);";
        break;
    }
    ccpText[unit] = s + "\r\n";
    static const char *functions[4] = {"", "CAPTURE", "COMPARE", "PWM"};
    if (mode >= 1 && mode <= 3)
        ccpPinFunction[unit] = functions[mode] + QString::number(unit + 1);
}

void TWizardModel::RefreshOther()
{
    const bool wasIn = m_inRefresh;
    m_inRefresh = true;
    static const char *unitPins[5] = {"C2", "C1", "G0", "G3", "G4"};
    const int unit = C("ccpx").index;
    const QString pin = unit >= 0 && unit < 5 ? unitPins[unit] : "";
    const QString mode = C("ccp1mode").ItemText();
    for (const char *n : {"ccp1input", "ccp1edge", "ccp1match", "ccp1pwm", "ccp1new"})
        C(n).visible = false;
    if (mode == "Capture ") {
        C("ccp1input").visible = true;
        C("ccp1edge").visible = true;
        const QString input = C("ccp1input").ItemText();
        const int space = input.indexOf(' ');
        C("ccp1l1").caption = "After " + input.left(space + 1) + C("ccp1edge").ItemText() +
                              (space >= 0 ? input.mid(space, 10) : QString()) + " on " + pin +
                              ",  the timer 1";
        C("ccp1l2").caption = "value is copied to the " + C("ccpx").ItemText() + " holding register.";
    } else if (mode == "Compare") {
        C("ccp1match").visible = true;
        C("ccp1l1").caption = "When timer 1 value is equal to the " + C("ccpx").ItemText() + " holding register";
        C("ccp1l2").caption = C("ccp1match").ItemText() + " " + pin;
    } else if (mode == "PWM") {
        C("ccp1pwm").visible = true;
        C("ccp1new").visible = true;
        C("ccp1l1").caption.clear();
        C("ccp1l2").caption.clear();
        C("ccp1l3").caption = "Pulse Width Modulator Output on " + pin;
        const int d = CheckedRadioIndex(kT2Div);
        const qint64 k = d >= 0 ? kDivFactors[d] : 0;
        const double denominator = 4.0 * double(C("t2p").value + 1) * double(k);
        const qint64 frequency = denominator > 0 ? RoundHalfUp(double(C("np_clock").value) / denominator) : 0;
        C("ccp1pwm").items = PwmChoices(frequency, m_pwmPeriods);
        C("ccp1pwm").index = d;
        C("t2enabled").checked = true;
    } else {
        C("ccp1l1").caption.clear();
        C("ccp1l2").caption.clear();
        C("ccp1l3").caption.clear();
    }
    if (mode == "Capture " || mode == "Compare") {
        const int r = CheckedRadioIndex(kT1Res);
        C("ccp1l3").caption = "Timer 1 increments every " + (r >= 0 ? C(kT1Res[r]).caption : QString()) +
                              " (see timers tab to change).";
        if (C("t1mode").index == 0)
            C("t1mode").index = 1;
    }
    ComparatorLabels();
    ComposeCcpStatement();
    m_inRefresh = wasIn;
}

void TWizardModel::RefreshInterrupts()
{
    TWizardControl &list = C("intchecklist");
    list.items.clear();
    list.itemChecked.clear();
    m_intNames.clear();
    if (!m_hasDevice)
        return;
    const int kind = m_device.kind();
    if (kind != dkPic14 && kind != dkPic18)
        return;
    const QChar letter = kind == dkPic18 ? 'H' : 'M';
    TDescriptionFile descriptions;
    try {
        descriptions = TDescriptionFile(m_intsPath.isEmpty() ? InterruptDescriptionFile() : m_intsPath);
    } catch (const TDescriptionFileError &e) {
        m_fileError = e.Message();
    }
    for (int i = 1; i <= 47; ++i) {
        if (!m_device.hasInterrupt(i))
            continue;
        QString name = InterruptNameIn(letter, i);
        const int space = name.indexOf(' ');
        if (space >= 0)
            name = name.left(space);
        if (name.endsWith(QChar(0)))
            name.chop(1);
        if (name.isEmpty())
            name = "?";
        m_intNames << name;
        list.items << descriptions.ReviewDescription(name);
        list.itemChecked << false;
    }
}

void TWizardModel::ApplyAnalogPinText(QString text)
{
    while (!text.isEmpty()) {
        if (text.startsWith(' '))
            text.remove(0, 1);
        if (text.isEmpty())
            break;
        if (text.startsWith('V') && text.size() >= 5 && (text[4] == 'h' || text[4] == 'l')) {
            AssignPinFunction(text.mid(6, 2), text[4] == 'h' ? "Vrefh" : "Vrefl", 4);
            text.remove(0, 8);
            continue;
        }
        if (text.startsWith("GP")) {
            text.remove(0, 1);
            text[0] = 'A';
        }
        AssignPinFunction(text.left(2), "ADC", 4);
        text.remove(0, 2);
    }
}

void TWizardModel::RefreshPins()
{
    for (TPinRow &row : m_pins) {
        row.reserved = false;
        row.identifiers = PinIdentifier(row.pin);
    }
    if (C("NP_I2C").checked && C("NP_I2C").enabled) {
        AssignPinFunction(C("np_I2C_sda").ItemText(), "I2C_SDA", 0);
        AssignPinFunction(C("np_I2C_scl").ItemText(), "I2C_SCL", 0);
    }
    if (C("NP_PSP").checked && C("NP_PSP").enabled) {
        AssignPinFunction("E0", "PSP_RD", 1);
        AssignPinFunction("E1", "PSP_WR", 1);
        AssignPinFunction("E2", "PSP_CS", 1);
        for (int i = 0; i < 8; ++i)
            AssignPinFunction(QString("D%1").arg(i), QString("PSP_D%1").arg(i), 2);
    }
    if (C("t0ext1").checked || C("t0ext2").checked)
        AssignPinFunction("A4", "Timer0", 0);
    if (C("t1mode").ItemText() == "External")
        AssignPinFunction("C0", "Timer1", 0);
    if (C("t1clockout").checked)
        AssignPinFunction("C1", "Timer1", 0);
    if (C("t3_mode").index >= 2)
        AssignPinFunction("C0", "Timer3", 0);
    AssignPinFunction("C1", ccpPinFunction[1], 1);
    AssignPinFunction("C2", ccpPinFunction[0], 1);
    AssignPinFunction("G0", ccpPinFunction[2], 1);
    AssignPinFunction("G3", ccpPinFunction[3], 1);
    AssignPinFunction("G4", ccpPinFunction[4], 1);
    if (C("vref").enabled) {
        if (C("vrefra2").checked)
            AssignPinFunction("A2", "Vref", 1);
        const char *labels[4] = {"c1x", "c1y", "c2x", "c2y"};
        const char *functions[4] = {"Comp1+", "Comp1-", "Comp2+", "Comp2-"};
        // Modes 0 and 7 leave the comparators off: their pins stay free.
        const bool comparatorsOn = comparatorMode != 0 && comparatorMode != 7;
        for (int i = 0; i < 4 && comparatorsOn; ++i)
            if (C(labels[i]).caption.size() == 2)
                AssignPinFunction(C(labels[i]).caption, functions[i], 4);
        if (C("c1z").caption.contains("A3"))
            AssignPinFunction("A3", "Comp1OUT", 1);
        if (C("c2z").caption.contains("A4"))
            AssignPinFunction("A4", "Comp2OUT", 1);
    }
    const TWizardControl &rb = C("adc_pinsrb");
    if (rb.enabled && rb.index > 0)
        ApplyAnalogPinText(rb.ItemText());
    for (int n = 1; n <= m_analog.checkOptionCount && n <= kMaxAnalogCheckOptions; ++n)
        if (C(QString("CheckBox%1").arg(n)).checked)
            ApplyAnalogPinText(rb.items.value(n - 1));

    // Drivers: fixed and I2C requests first, then the allocated ones.
    const TWizardControl &drivers = C("driverlist");
    QList<int> checked;
    for (int i = 0; i < drivers.itemChecked.size(); ++i)
        if (drivers.itemChecked[i] && i < m_drivers.records.size())
            checked << i;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i : checked) {
            for (const QString &request : m_drivers.records[i].pinRequests.split(',', Qt::SkipEmptyParts)) {
                if (request.size() < 2 || !request[0].isDigit())
                    continue;
                const int c = request[0].digitValue();
                const QString rest = request.mid(1);
                if (pass == 0) {
                    if (rest.startsWith("SD") || rest.startsWith("SC")) {
                        const QString pin = C(rest.startsWith("SD") ? "np_I2C_sda" : "np_I2C_scl").ItemText();
                        AppendPinIdentifier(pin, rest.mid(2), c, false);
                    } else if (rest.size() >= 2 && rest[0] >= 'A' && rest[0] <= 'G' && rest[1].isDigit()) {
                        AppendPinIdentifier(rest.left(2), rest.mid(2), c, true);
                    }
                } else if (rest.startsWith('N') && rest.size() >= 2) {
                    const bool reserve = rest[1] == 'S';
                    AppendPinIdentifier(AllocatePin(c), rest.mid(2), 255, reserve);
                }
            }
        }
    }
    if (C("NP_SPI").checked && C("NP_SPI").enabled) {
        AssignPinFunction("C5", "SPI_DO", 1);
        AssignPinFunction("C4", "SPI_DI", 0);
        AssignPinFunction("C3", "SPI_CLK", 1);
        if (C("spi_ss").checked)
            AssignPinFunction("A5", "SPI_SS", 0);
    }
}

// --- pins ----------------------------------------------------------------------------------







bool TWizardModel::SetPinType(int row, int type)
{
    if (row < 0 || row >= m_pins.size() || type < 0 || type > 4)
        return false;
    if (type == 4 && m_pins[row].ioType != 3) {
        m_pins[row].ioType = 0;
        Notify();
        return false;
    }
    m_pins[row].ioType = type;
    Notify();
    return true;
}


void TWizardModel::ClearRunTexts()
{
    for (QString &t : rs232Text)
        t.clear();
    for (QString &t : ccpText)
        t.clear();
    for (QString &t : ccpPinFunction)
        t.clear();
}

}  // namespace kiv
