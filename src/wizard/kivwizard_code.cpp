#include "kivwizard_code.h"

#include "kivproject.h"
#include "kivprompt.h"
#include "kivwizard_model.h"
#include "textfile.h"

#include <QFileInfo>
#include <QList>
#include <QPair>

namespace kiv {

namespace {

const char *const kCrLf = "\r\n";

int CheckedIndex(const TWizardModel &m, const QStringList &buttons)
{
    for (int i = 0; i < buttons.size(); ++i)
        if (m.C(buttons[i]).checked)
            return i;
    return -1;
}

const QStringList kRes = {"res1", "res2", "res4", "res8", "res16", "res32", "res64", "res128", "res256"};
const QStringList kWdt = {"WDT18", "wdt36", "wdt72", "wdt144", "wdt288", "wdt576", "wdt1152", "wdt2304"};

bool CheckedAndEnabled(const TWizardModel &m, const QString &name)
{
    return m.C(name).checked && m.C(name).enabled;
}

QString GeneralSection(TWizardModel &m, int placement)
{
    if (placement != plHeader)
        return {};
    const DeviceRecord &d = m.Device();
    QString s;
    if (CheckedAndEnabled(m, "enable16"))
        s += "#device *=16\r\n";
    if (CheckedAndEnabled(m, "enableicd"))
        s += "#device ICD=TRUE\r\n";
    if (!m.C("adc_pinsrb").items.isEmpty()) {
        const TWizardControl &bits = m.C("adcbits");
        if (bits.index <= 0)
            s += "#device adc=8";
        else if (bits.index == bits.items.size() - 1)
            s += "#device adc=16";
        else
            s += "#device adc=" + QString::number(m.AdcBitsInUse());
        s += kCrLf;
    }
    s += "#fuses ";
    if (d.kind() == dkPic18) {
        if (m.C("nowdt").checked) {
            s += "NOWDT,WDT128,";
        } else {
            static const char *post[8] = {"WDT1, ", "WDT2, ", "WDT4, ", "WDT8, ",
                                          "WDT16, ", "WDT32, ", "WDT64, ", "WDT128, "};
            s += "WDT,";
            const int w = CheckedIndex(m, kWdt);
            if (w >= 0)
                s += post[w];
        }
    } else {
        s += m.C("nowdt").checked ? "NOWDT," : "WDT,";
    }
    s += m.Fuses().SelectedFuses() + kCrLf;
    const QString clock = QString::number(m.C("np_clock").value);
    if (CheckedAndEnabled(m, "delaywdt"))
        s += "#use delay(clock=" + clock + ",RESTART_WDT)\r\n";
    else
        s += "#use delay(clock=" + clock + ")\r\n";
    return s;
}

QString PinsSection(TWizardModel &m, int placement)
{
    QString s;
    if (placement == plHeader) {
        for (const TPinRow &row : m.Pins()) {
            for (const QString &entry : row.identifiers.split(',')) {
                if (entry.trimmed().isEmpty() || entry.startsWith('(') || entry.startsWith('"'))
                    continue;
                if (entry.size() == 6 && entry.startsWith("PIN_"))
                    continue;
                s += "#define " + entry + "   PIN_" + row.pin + kCrLf;
            }
        }
    } else if (placement == plInMain && m.C("pullups").checked) {
        s += "   port_b_pullups(TRUE);\r\n";
    }
    return s;
}

QString AnalogSection(TWizardModel &m, int placement)
{
    if (placement != plInMain || m.Device().adcChannels() == 0)
        return {};
    const TAnalogOptions &a = m.Analog();
    TWizardControl &clock = m.C("adcclock");
    const TWizardControl &range = m.C("adcrange");
    const TWizardControl &ports = m.C("adc_pinsrb");
    auto rangeId = [&]() {
        return range.index >= 0 && range.index < a.ranges.size() ? a.ranges[range.index].identifier : QString();
    };
    QString s;
    if (a.checkOptionCount == 0) {
        const QString id = ports.index >= 0 && ports.index < a.ports.size() ? a.ports[ports.index].identifier : QString();
        QString statement = ("   setup_adc_ports(" + id).left(51);
        if (id.contains("NO_ANA"))
            clock.index = 0;
        if (range.visible && !range.items.isEmpty())
            statement += "|" + rangeId();
        s += statement + ");\r\n";
    } else {
        QString statement = "   setup_adc_ports(";
        bool any = false;
        for (int n = 1; n <= a.checkOptionCount && n <= kMaxAnalogCheckOptions; ++n)
            if (m.C(QString("CheckBox%1").arg(n)).checked) {
                statement += a.ports.value(n - 1).identifier + "|";
                any = true;
            }
        if (!any) {
            statement += "NO_ANALOGS|";
            clock.index = 0;
        }
        if (!range.items.isEmpty())
            statement += rangeId() + "|";
        if (statement.endsWith('|'))
            statement.chop(1);
        if (statement.endsWith('(')) {
            statement += "0";
            clock.index = 0;
        }
        s += statement + ");\r\n";
    }
    // A device whose option file names no converter clock gets no converter statement (a lone
    // ");" would not compile). Without a chosen clock the first one is written.
    if (!clock.items.isEmpty() && !a.clocks.isEmpty()) {
        const int c = clock.index >= 0 && clock.index < a.clocks.size() ? clock.index : 0;
        QString statement = "   setup_adc(" + a.clocks[c].identifier;
        const TWizardControl &tad = m.C("adctad");
        if (tad.visible && !tad.items.isEmpty() && tad.index >= 0 && tad.index < a.acquisitions.size())
            statement += "|" + a.acquisitions[tad.index].identifier;
        auto option = [&](const QString &name, const QList<TAnalogOption> &options) {
            const TWizardControl &c = m.C(name);
            if (c.visible && c.index >= 0 && c.index < options.size())
                statement += "|" + options[c.index].identifier;
        };
        option("adcmode", a.modes);
        option("adctrigger", a.triggers);
        option("adcinterrupt", a.interrupts);
        s += statement + ");\r\n";
    }
    return s;
}

QString CommunicationsSection(TWizardModel &m, int placement)
{
    const DeviceRecord &d = m.Device();
    QString s;
    if (placement == plHeader) {
        for (const QString &t : m.rs232Text)
            s += t;
        if (CheckedAndEnabled(m, "NP_I2C") && d.hasI2c()) {
            const bool slave = m.C("np_i2c_mode").index == 1;
            s += "#use i2c(" + m.C("np_i2c_mode").ItemText() + "," + m.C("np_i2c_speed").ItemText() +
                 ",sda=" + m.PinIdentifier(m.C("np_I2C_sda").ItemText()) +
                 ",scl=" + m.PinIdentifier(m.C("np_I2C_scl").ItemText());
            if (m.C("np_i2c_wdt").checked)
                s += ",restart_wdt";
            if (m.C("np_i2c_frchw").checked)
                s += ",force_hw";
            if (slave)
                s += ",address=0x" + m.C("np_i2c_add").text;
            s += ")\r\n";
        }
    } else if (placement == plInMain) {
        if (m.C("NP_PSP").enabled && d.hasPsp())
            s += m.C("NP_PSP").checked ? "   setup_psp(PSP_ENABLED);\r\n" : "   setup_psp(PSP_DISABLED);\r\n";
    }
    return s;
}

QString SpiLcdSection(TWizardModel &m, int placement)
{
    if (placement != plInMain)
        return {};
    const DeviceRecord &d = m.Device();
    QString s;
    if (CheckedAndEnabled(m, "NP_SPI") && d.hasSpi()) {
        s += "   setup_spi(";
        if (m.C("SPI_MS").index == 1) {
            s += "SPI_SLAVE";
            if (!m.C("spi_ss").checked)
                s += "|SPI_SS_DISABLED";
        } else {
            static const char *data[4] = {"|SPI_L_TO_H", "|SPI_L_TO_H|SPI_XMIT_L_TO_H",
                                          "|SPI_H_TO_L|SPI_XMIT_L_TO_H", "|SPI_H_TO_L"};
            static const char *clock[4] = {"|SPI_CLK_DIV_4", "|SPI_CLK_DIV_16", "|SPI_CLK_DIV_64", "|SPI_CLK_T2"};
            s += "SPI_MASTER";
            s += data[qBound(0, m.C("SPI_DATA").index, 3)];
            s += clock[qBound(0, m.C("SPI_CLOCK").index, 3)];
        }
        s += m.C("spi_se").checked ? "|SPI_SAMPLE_AT_END);" : ");";
        s += kCrLf;
    } else if (m.C("NP_SPI").enabled) {
        if (!CheckedAndEnabled(m, "NP_I2C") && d.hasSpi())
            s += "   setup_spi(FALSE);\r\n";
    }
    if (m.C("NP_LCD").checked && d.hasLcd()) {
        static const char *types[4] = {"LCD_STATIC", "LCD_MUX12", "LCD_MUX13", "LCD_MUX14"};
        s += QString("   setup_lcd(") + types[qBound(0, m.C("lcd_type").index, 3)];
        if (m.C("lcd_stop").checked)
            s += "| STOP_ON_SLEEP";
        if (m.C("lcd_timer1").checked)
            s += "| USE_TIMER1";
        s += "," + QString::number(m.C("lcd_res").value);
        const QList<QPair<QString, QString>> segments = {
            {"lcd_seg4", "SEG0_4"}, {"lcd_seg8", "SEG5_8"}, {"lcd_seg11", "SEG9_11"},
            {"lcd_seg15", "SEG12_15"}, {"lcd_seg19", "SEG16_19"}, {"lcd_seg26", "SEG20_26"},
            {"lcd_seg28", "SEG27_28"}, {"lcd_seg31", "SEG29_31"}, {"lcd_segall", "ALL_LCD_PINS"}};
        bool first = true;
        for (const auto &seg : segments)
            if (m.C(seg.first).checked) {
                s += (first ? "," : "|") + seg.second;
                first = false;
            }
        s += ");\r\n";
    } else if (d.hasLcd()) {
        s += "   setup_lcd(LCD_DISABLED);\r\n";
    }
    return s;
}

QString TimerZeroSource(const TWizardModel &m)
{
    if (m.C("t0ext1").checked)
        return "   setup_timer_0(RTCC_EXT_L_TO_H";
    if (m.C("t0ext2").checked)
        return "   setup_timer_0(RTCC_EXT_H_TO_L";
    return "   setup_timer_0(RTCC_INTERNAL";
}

QString TimersSection(TWizardModel &m, int placement)
{
    if (placement != plInMain)
        return {};
    const DeviceRecord &d = m.Device();
    QString s;
    const int res = CheckedIndex(m, kRes);
    if (d.kind() == dkPic18) {
        s += m.C("nowdt").checked ? "   setup_wdt(WDT_OFF);\r\n" : "   setup_wdt(WDT_ON);\r\n";
        if (m.C("np_rtccoff").checked) {
            s += "   setup_timer_0(RTCC_OFF";
        } else {
            s += TimerZeroSource(m);
            if (res >= 1)
                s += "|RTCC_DIV_" + QString::number(1 << res);
            if (m.C("np_rtcc8bit").checked)
                s += "|RTCC_8_bit";
        }
        s += ");\r\n";
    } else {
        s += TimerZeroSource(m);
        if (m.C("nowdt").checked && res >= 0)
            s += "|RTCC_DIV_" + QString::number(1 << res);
        s += ");";
        if (!m.C("nowdt").checked) {
            static const char *wdt[8] = {"setup_wdt(WDT_18MS);", "setup_wdt(WDT_36MS);",
                                         "setup_wdt(WDT_72MS);", "setup_wdt(WDT_144MS);",
                                         "setup_wdt(WDT_288MS);", "setup_wdt(WDT_576MS);",
                                         "setup_wdt(WDT_1152MS);", "setup_wdt(WDT_2304MS);"};
            const int w = CheckedIndex(m, kWdt);
            if (w >= 0)
                s += wdt[w];
        }
        s += kCrLf;
    }
    if (m.C("timer1box").enabled && d.hasTimer1()) {
        const QString mode = m.C("t1mode").ItemText();
        if (mode == "Internal" || mode == "External") {
            s += mode == "Internal" ? "   setup_timer_1(T1_INTERNAL" : "   setup_timer_1(T1_EXTERNAL";
            const int r = CheckedIndex(m, {"t1res1", "t1res2", "t1res4", "t1res8"});
            s += "|T1_DIV_BY_" + QString::number(1 << qMax(0, r));
            if (CheckedAndEnabled(m, "t1clockout"))
                s += "|T1_CLK_OUT";
            if (CheckedAndEnabled(m, "t1sync"))
                s += "|T1_EXTERNAL_SYNC";
            s += ");\r\n";
        } else {
            s += "   setup_timer_1(T1_DISABLED);\r\n";
        }
    }
    if (m.C("timer2box").enabled && d.hasTimer2()) {
        if (m.C("t2enabled").checked) {
            static const char *div[3] = {"T2_DIV_BY_1,", "T2_DIV_BY_4,", "T2_DIV_BY_16,"};
            const int k = qMax(0, CheckedIndex(m, {"t2div1", "t2div4", "t2div16"}));
            s += QString("   setup_timer_2(") + div[k] + QString::number(m.C("t2p").value) + "," +
                 QString::number(m.C("t2i").value) + ");\r\n";
        } else {
            s += "   setup_timer_2(T2_DISABLED,0,1);\r\n";
        }
    }
    return s;
}

QString QanTimersSection(TWizardModel &m, int placement)
{
    const DeviceRecord &d = m.Device();
    if (placement != plInMain || d.kind() != dkPic18)
        return {};
    QString s;
    if (m.C("timer3box").enabled && d.hasTimer3()) {
        static const char *modes[4] = {"   setup_timer_3(T3_DISABLED", "   setup_timer_3(T3_INTERNAL",
                                       "   setup_timer_3(T3_EXTERNAL", "   setup_timer_3(T3_EXTERNAL_SYNC"};
        static const char *div[4] = {"|T3_DIV_BY_1);", "|T3_DIV_BY_2);", "|T3_DIV_BY_4);", "|T3_DIV_BY_8);"};
        s += modes[qBound(0, m.C("t3_mode").index, 3)];
        s += div[qMax(0, CheckedIndex(m, {"t3res1", "t3res2", "t3res3", "t3res4"}))];
        s += kCrLf;
    }
    if (d.hasTimer4()) {
        const bool on = m.C("t4enabled").checked;
        static const char *div[3] = {"T4_DIV_BY_1", "T4_DIV_BY_4", "T4_DIV_BY_16"};
        s += "   setup_timer_4(";
        s += on ? div[qMax(0, CheckedIndex(m, {"t4div1", "t4div4", "t4div16"}))] : "T4_DISABLED";
        s += on ? "," + QString::number(m.C("t4p").value) + "," + QString::number(m.C("t4i").value) + ");"
                : QString(",0,1);");
        s += kCrLf;
    }
    return s;
}

QString OtherSection(TWizardModel &m, int placement)
{
    if (placement != plInMain)
        return {};
    const DeviceRecord &d = m.Device();
    QString s;
    for (const QString &t : m.ccpText)
        s += t;
    if (d.hasComparators()) {
        static const char *names[10] = {"NC_NC_NC_NC", "1", "A0_VR_A1_VR", "A0_A2_A1_A2", "A0_A3_A1_A2",
                                        "NC_NC_A1_A2", "A0_A2_A1_A2_OUT_ON_A3_A4", "NC_NC_NC_NC",
                                        "A3_A2_A1_A2", "A3_VR_A2_VR"};
        s += QString("   setup_comparator(") + names[qBound(0, m.comparatorMode, 9)] + ");\r\n";
    }
    if (d.hasVref()) {
        // Items 1 to 16 are the high range (1.25 V to 3.59 V), items 17 to 32 the low range
        // (0.00 V to 3.13 V): the range written is the one whose voltage the user picked.
        const int item = m.C("vref").index;
        if (item <= 0)
            s += "   setup_vref(FALSE";
        else if (item <= 16)
            s += "   setup_vref(VREF_HIGH|" + QString::number(item - 1);
        else
            s += "   setup_vref(VREF_LOW|" + QString::number(item - 17);
        if (item > 0 && m.C("vrefra2").checked)
            s += "|VREF_A2";
        s += ");\r\n";
    }
    return s;
}

QString DriversSection(TWizardModel &m, int placement)
{
    QString s;
    const TWizardControl &list = m.C("driverlist");
    for (int i = 0; i < list.itemChecked.size() && i < m.Drivers().records.size(); ++i) {
        if (!list.itemChecked[i])
            continue;
        const TDriverRecord &r = m.Drivers().records[i];
        if (placement == plBeforeMain)
            s += "#include <" + r.includeFile + ">\r\n";
        else if (placement == plInMain)
            s += "   " + r.mainStatement + kCrLf;
    }
    return s;
}

QString HeadersSection(TWizardModel &m, int placement)
{
    if (placement != plBeforeMain)
        return {};
    const QList<QPair<QString, QString>> headers = {
        {"np_assert", "assert.h"}, {"np_ctype", "ctype.h"}, {"np_errno", "errno.h"},
        {"np_float", "float.h"}, {"np_limits", "limits.h"}, {"np_locale", "locale.h"},
        {"np_math", "math.h"}, {"np_s7600", "s7600.h"}, {"np_jmp", "setjmp.h"},
        {"np_stdio", "stdio.h"}, {"np_def", "stddef.h"}, {"np_lib", "stdlib.h"},
        {"np_libm", "stdlibm.h"}, {"np_string", "string.h"}};
    QString s;
    for (const auto &h : headers)
        if (m.C(h.first).checked)
            s += "  #include <" + h.second + ">\r\n";
    if (m.C("np_zeroram").checked)
        s += "  #ZERO_RAM\r\n";
    return s;
}

QString InterruptsSection(TWizardModel &m, int placement)
{
    const TWizardControl &list = m.C("intchecklist");
    QString s;
    int count = 0;
    for (int i = 0; i < list.itemChecked.size() && i < m.InterruptNames().size(); ++i) {
        if (!list.itemChecked[i])
            continue;
        const QString n = m.InterruptNames()[i];
        ++count;
        if (placement == plBeforeMain) {
            s += "#int_" + n + kCrLf + n + "_isr() ";
            if (m.BraceStyle() == 0)
                s += kCrLf;
            s += "{\r\n\r\n}\r\n\r\n";
        } else if (placement == plInMain) {
            s += "   enable_interrupts(INT_" + n.toUpper() + ");\r\n";
        }
    }
    if (placement == plInMain && count > 0)
        s += "   enable_interrupts(GLOBAL);\r\n";
    return s;
}

}  // namespace

const QList<int> &SectionOrder()
{
    static const QList<int> order = {wpGeneral, wpPins, wpAnalog, wpCommunications, wpSpiLcd, wpTimers,
                                     wpQanTimers, wpOther, wpDrivers, wpHeaders, wpInterrupts};
    return order;
}

QString SectionText(TWizardModel &model, int page, int placement)
{
    if (!model.HasDevice())
        return {};
    switch (page) {
    case wpGeneral: return GeneralSection(model, placement);
    case wpPins: return PinsSection(model, placement);
    case wpAnalog: return AnalogSection(model, placement);
    case wpCommunications: return CommunicationsSection(model, placement);
    case wpSpiLcd: return SpiLcdSection(model, placement);
    case wpTimers: return TimersSection(model, placement);
    case wpQanTimers: return QanTimersSection(model, placement);
    case wpOther: return OtherSection(model, placement);
    case wpDrivers: return DriversSection(model, placement);
    case wpHeaders: return HeadersSection(model, placement);
    case wpInterrupts: return InterruptsSection(model, placement);
    default: return {};
    }
}

QString PreviewText(TWizardModel &model, int page)
{
    static const char *headings[3] = {"Inserted into .h file:", "Inserted into .c file before main():",
                                      "Inserted into .c file in main():"};
    QString out;
    for (int placement = 1; placement <= 3; ++placement) {
        const QString text = SectionText(model, page, placement);
        if (!text.isEmpty())
            out += QString(kCrLf) + headings[placement - 1] + kCrLf + kCrLf + text;
    }
    return out;
}

void AppendSection(QString &out, const QString &text)
{
    QString rest = text;
    while (!rest.isEmpty()) {
        const int cr = rest.indexOf('\r');
        if (cr < 0) {
            out += rest + kCrLf;
            break;
        }
        out += rest.left(cr) + kCrLf;
        rest.remove(0, cr + 2);
    }
}

namespace {

// Position of the first ".c" in the file name part of `path`, -1 without one.
int DotCInFileName(const QString &path)
{
    const int slash = path.lastIndexOf('/');
    return path.indexOf(".c", slash + 1);
}

}  // namespace

QString WizardHeaderPath(const QString &cPath)
{
    const int at = DotCInFileName(cPath);
    return (at < 0 ? cPath : cPath.left(at)) + ".h";
}

void WizardProjectBase(const QString &cPath, QString *base, QString *extension)
{
    const int at = DotCInFileName(cPath);
    if (at < 0) {
        *base = cPath;
        extension->clear();
    } else {
        *base = cPath.left(at);
        *extension = cPath.mid(at + 1, 3);
    }
}

QByteArray WizardCFile(TWizardModel &model, const QString &headerPath)
{
    QString out = "#include \"" + headerPath + "\"" + kCrLf;
    for (int page : SectionOrder())
        AppendSection(out, SectionText(model, page, plBeforeMain));
    out += "\r\n\r\n";
    if (model.BraceStyle() == 0)
        out += "void main()\r\n{\r\n\r\n";
    else
        out += "void main() {\r\n\r\n";
    for (int page : SectionOrder())
        AppendSection(out, SectionText(model, page, plInMain));
    out += "\r\n}\r\n";
    return out.toLatin1();
}

QByteArray WizardHeaderFile(TWizardModel &model)
{
    QString name = model.Device().name();
    int i = 0;
    while (i < name.size() && name[i] >= 'A' && name[i] <= 'Z')
        ++i;
    QString out = "#include <" + name.mid(i) + ".h>" + kCrLf;
    for (int page : SectionOrder())
        AppendSection(out, SectionText(model, page, plHeader));
    out += kCrLf;
    return out.toLatin1();
}

TWizardRunResult WriteWizardFiles(TWizardModel &model, const QString &cPath, const QString &includes)
{
    TWizardRunResult result;
    const QString headerPath = WizardHeaderPath(cPath);
    // Both texts are made before anything is written, so a failure leaves the disk as it was.
    const QByteArray cText = WizardCFile(model, headerPath);
    const QByteArray hText = WizardHeaderFile(model);
    QString error;
    if (!WriteFileSafely(cPath, cText, false, &error) || !WriteFileSafely(headerPath, hText, false, &error)) {
        result.error = error.isEmpty() ? "Can not create " + cPath : error;
        ShowError(result.error);
        return result;
    }
    QString base;
    QString extension;
    WizardProjectBase(cPath, &base, &extension);
    if (CreateProjectFile(base, extension, model.Device().id(), includes, model.Device().kind()) == trFailed) {
        result.error = "Can not create " + base + ".pjt";
        ShowError(result.error);
        return result;
    }
    result.cPath = cPath;
    result.headerPath = headerPath;
    return result;
}

bool RunWizardScript(TWizardModel &model, const QString &device,
                     const QList<QPair<QString, QString>> &settings, QString *error)
{
    if (!model.SelectDevice(device)) {
        if (error)
            *error = "no device \"" + device + "\" in the device list";
        return false;
    }
    model.ClearRunTexts();
    model.RefreshGeneral();
    auto pageOf = [&model](const QString &name) {
        if (name.startsWith("pin:") || name.startsWith("pintype:"))
            return int(wpPins);
        return model.HasControl(name) ? model.C(name).page : -1;
    };
    for (const auto &setting : settings)
        if (pageOf(setting.first) < 0) {
            if (error)
                *error = "no control named " + setting.first;
            return false;
        }
    for (int page = 0; page < wpPageCount; ++page) {
        model.ShowPage(page);
        for (const auto &setting : settings) {
            if (pageOf(setting.first) != page)
                continue;
            const QString &name = setting.first;
            if (name.startsWith("pin:") || name.startsWith("pintype:")) {
                const int row = model.PinRow(name.mid(name.indexOf(':') + 1));
                if (row < 0) {
                    if (error)
                        *error = "no pin " + name.mid(name.indexOf(':') + 1);
                    return false;
                }
                if (name.startsWith("pin:"))
                    model.SetPinIdentifiers(row, setting.second);
                else if (!model.SetPinType(row, setting.second.toInt())) {
                    if (error)
                        *error = "pin type refused: " + name + "=" + setting.second;
                    return false;
                }
            } else if (!model.SetFromText(name, setting.second, error)) {
                return false;
            }
        }
    }
    return true;
}

TWizardRunResult RunProjectWizard(TWizardModel &model, const QString &includes,
                                  const std::function<bool()> &showModal)
{
    model.ShowPage(wpGeneral);
    model.ClearRunTexts();
    model.RefreshGeneral();
    TFileQuestion question;
    question.caption = "New Project Main File Name";
    question.filters = QStringList{"C Source Files (*.c)", "All files (*)"};
    question.defaultSuffix.clear();
    QString path = Prompt().SaveFileName(question);
    if (path.isEmpty())
        return {};
    if (!QFileInfo(path).fileName().contains('.'))
        path += ".c";
    model.C("MAIN_NAME").caption = path;
    model.C("MAIN_NAME").text = path;
    if (model.changed)
        model.changed();
    if (!showModal || !showModal())
        return {};
    return WriteWizardFiles(model, model.C("MAIN_NAME").text, includes);
}

}  // namespace kiv
