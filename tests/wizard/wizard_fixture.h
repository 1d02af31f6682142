#pragma once

// A small installation for the project wizard's tests: devices.dat with three hand-made
// devices (a 14-bit part with every peripheral, a PIC18 part and a 12-bit part), fuses.txt,
// ints.txt, KIV.HT, drivers.dat and the project template, in a temporary folder that is also
// the user's home (so kiv.ini is the test's own).

#include "devicesdat_writer.h"
#include "kivwizard_model.h"
#include "pc_dirs.h"

#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

namespace kiv::test {

inline const QStringList &FixtureFuseNames()
{
    static const QStringList names{"LP", "XT", "HS", "RC", "NOWDT", "WDT", "PROTECT", "NOPROTECT",
                                   "PUT", "NOPUT", "BROWNOUT", "NOBROWNOUT", "LVP", "NOLVP",
                                   "WRT_OFF", "WRT_1", "WRT_2", "WRT_3", "MCLR", "NOMCLR"};
    return names;
}

struct TFixtureFuse {
    const char *name;
    uint16_t mask;
    uint16_t value;
    uint8_t word;
};

inline void AddFuses(DeviceRecord &r, std::initializer_list<TFixtureFuse> fuses)
{
    int n = 1;
    for (const TFixtureFuse &f : fuses)
        SetFuseEntry(r, n++, {f.mask, f.value, uint8_t(FixtureFuseNames().indexOf(f.name) + 1), f.word});
}

/// PIC16T877: ports A (6 pins), B to D (8), E (3); every 14-bit peripheral, 8 A/D channels.
inline DeviceRecord FixtureMidrange()
{
    DeviceRecord r;
    r.setName("PIC16T877");
    r.setKind(dkPic14);
    r.setId(0x877F);
    r.setPortMask('A', 0x3F);
    r.setPortMask('B', 0xFF);
    r.setPortMask('C', 0xFF);
    r.setPortMask('D', 0xFF);
    r.setPortMask('E', 0x07);
    r.setHasTimer1(true);
    r.setHasTimer2(true);
    r.setHasI2c(true);
    r.setHasSpi(true);
    r.setHasPsp(true);
    r.setCcpCount(2);
    r.setHasComparators(true);
    r.setHasVref(true);
    r.setHasProgramMemoryAccess(true);
    r.setAdcChannels(8);
    r.setAdcBits(10);
    r.setAdcVariant(2);
    r.setAdcClockOption(1);     // "C0:6-7"
    r.setAdcChannelOption(0);
    for (int i : {1, 5, 9, 10, 11, 12})   // RTCC AD TBE RDA TIMER1 TIMER2 in the "M" table
        r.setInterrupt(i, true);
    AddFuses(r, {{"LP", 0x0003, 0x0000, 1}, {"XT", 0x0003, 0x0001, 1}, {"HS", 0x0003, 0x0002, 1},
                 {"RC", 0x0003, 0x0003, 1}, {"NOWDT", 0x0004, 0x0000, 1}, {"WDT", 0x0004, 0x0004, 1},
                 {"PROTECT", 0x2000, 0x0000, 1}, {"NOPROTECT", 0x2000, 0x2000, 1},
                 {"NOPUT", 0x0008, 0x0008, 1}, {"PUT", 0x0008, 0x0000, 1},
                 {"WRT_OFF", 0x0600, 0x0600, 1}, {"WRT_1", 0x0400, 0x0400, 1}});
    return r;
}

/// PIC18T452: ports A to E, timers 1 to 4, an LCD driver, 8 A/D channels in the kind 3 sections.
inline DeviceRecord FixturePic18()
{
    DeviceRecord r;
    r.setName("PIC18T452");
    r.setKind(dkPic18);
    r.setId(0x452F);
    r.setPortMask('A', 0x7F);
    r.setPortMask('B', 0xFF);
    r.setPortMask('C', 0xFF);
    r.setPortMask('D', 0xFF);
    r.setPortMask('E', 0x07);
    r.setHasTimer1(true);
    r.setHasTimer2(true);
    r.setHasTimer3(true);
    r.setHasTimer4(true);
    r.setCcpCount(2);
    r.setHasSpi(true);
    r.setHasI2c(true);
    r.setHasLcd(true);
    r.setAdcChannels(8);
    r.setAdcBits(10);
    r.setAdcVariant(3);
    r.setAdcClockOption(1);
    for (int i : {1, 3, 13, 14})   // RTCC TIMER1 RDA TBE in the "H" table
        r.setInterrupt(i, true);
    AddFuses(r, {{"LP", 0x0007, 0x0000, 1}, {"XT", 0x0007, 0x0001, 1}, {"HS", 0x0007, 0x0002, 1},
                 {"RC", 0x0007, 0x0007, 1}, {"PUT", 0x0001, 0x0000, 2}, {"NOPUT", 0x0001, 0x0001, 2},
                 {"PROTECT", 0x0001, 0x0000, 5}, {"NOPROTECT", 0x0001, 0x0001, 5}});
    return r;
}

/// PIC12T508: a 12-bit part with port B (6 pins) and nothing else.
inline DeviceRecord FixtureBaseline()
{
    DeviceRecord r;
    r.setName("PIC12T508");
    r.setKind(dkPic12);
    r.setId(0x508F);
    r.setPortMask('B', 0x3F);
    r.setRamMap(288, 1);
    AddFuses(r, {{"LP", 0x0003, 0x0000, 1}, {"XT", 0x0003, 0x0001, 1}, {"RC", 0x0003, 0x0003, 1},
                 {"NOWDT", 0x0004, 0x0000, 1}, {"WDT", 0x0004, 0x0004, 1},
                 {"MCLR", 0x0010, 0x0010, 1}, {"NOMCLR", 0x0010, 0x0000, 1}});
    return r;
}

/// SX48T: an SX part with ports A to E and the two multi-function timers.
inline DeviceRecord FixtureSx()
{
    DeviceRecord r;
    r.setName("SX48T");
    r.setKind(dkSx);
    r.setId(0x0048);
    r.setPortMask('A', 0x0F);
    r.setPortMask('B', 0xFF);
    r.setPortMask('C', 0xFF);
    r.setPortMask('D', 0xFF);
    r.setPortMask('E', 0x00);
    r.setHasTimer1(true);
    r.setHasComparators(true);
    return r;
}

/// SX18T: a small SX part without the multi-function timers.
inline DeviceRecord FixtureSxSmall()
{
    DeviceRecord r;
    r.setName("SX18T");
    r.setKind(dkSx);
    r.setId(0x0018);
    r.setPortMask('A', 0x0F);
    r.setPortMask('B', 0xFF);
    return r;
}

inline const char *FixtureAnalogFile()
{
    return "// analog options of the fixture devices\r\n"
           "//!ADCCLKC0:6-7\r\n"
           "// Constants used for SETUP_ADC() are:\r\n"
           "#define ADC_OFF //A/D converter off\r\n"
           "#define ADC_CLOCK_DIV_8 //Clock Fosc/8\r\n"
           "#define ADC_CLOCK_DIV_32 //Clock Fosc/32\r\n"
           "#define ADC_CLOCK_INTERNAL //Internal RC clock\r\n"
           "\\\\18// Acquisition delay, combined with the clock using |\r\n"
           "\\\\18#define ADC_TAD_MUL_0 //  No delay\r\n"
           "\\\\18#define ADC_TAD_MUL_4 //  4 Tad\r\n"
           "//!ADCS\r\n"
           "// Constants used in SETUP_ADC_PORTS() are:\r\n"
           "#define NO_ANALOGS // None\r\n"
           "#define ALL_ANALOG // A0 A1 A2 A3 A5 E0 E1 E2\r\n"
           "#define AN0_AN1_AN3 // A0 A1 A3\r\n"
           "#define AN0_VREF_VREF // A0 Vrefh=A3 Vrefl=A2\r\n"
           "\\\\18// References, combined with the ports using |\r\n"
           "\\\\18#define VSS_VDD // Range 0-Vdd\r\n"
           "\\\\18#define VREF_VREF // Range Vref-Vref\r\n";
}

inline const char *FixtureDrivers()
{
    return "lcd.c|lcd_init();|Character LCD on port D|2D0LCD_E,2D1LCD_RS,2D2LCD_RW\r\n"
           "24lc256.c|init_ext_eeprom();|Serial EEPROM 24LC256|0SDEEPROM_SDA,0SCEEPROM_SCL\r\n"
           "keypad.c|kbd_init();|4x3 keypad|0NSKBD_ROW1,0NSKBD_ROW2\r\n"
           "hidden.c|hidden();|0B7HIDDEN\r\n";
}

/// The temporary installation. Keep one per test; it points the directories at itself.
class TWizardFixture {
public:
    TWizardFixture()
    {
        root = dir.path() + "/";
        qputenv("HOME", dir.path().toLocal8Bit());
        QDir().mkpath(root + "inst/bin");
        QDir().mkpath(root + "inst/dll");
        QDir().mkpath(root + "inst/utils");
        QDir().mkpath(root + "inst/lumo");
        SetExecutablePathForDirs(root + "inst/bin/kiv");
        TDevicesDatWriter writer;
        writer.SetFuseNames(FixtureFuseNames());
        writer.AddRecord(FixtureBaseline());
        writer.AddRecord(FixtureMidrange());
        writer.AddRecord(FixturePic18());
        writer.AddRecord(FixtureSx());
        writer.AddRecord(FixtureSxSmall());
        writer.Save(root + "inst/utils/devices.dat");
        WriteFile(root + "inst/utils/drivers.dat", FixtureDrivers());
        WriteFile(root + "inst/lumo/KIV.HT", FixtureAnalogFile());
        WriteFile(root + "inst/lumo/fuses.txt",
                  "HS High speed osc\r\nXT Crystal osc\r\nLP Low power osc\r\nRC Resistor/capacitor osc\r\n"
                  "PROTECT Code protected\r\nPUT Power up timer\r\nWRT_OFF No write protect\r\n"
                  "WRT_1 Upper half write protected\r\nMCLR Master clear pin used\r\n");
        WriteFile(root + "inst/lumo/ints.txt",
                  "RTCC Timer 0 overflow\r\nRB Port B any change\r\nTBE RS232 transmit buffer empty\r\n"
                  "RDA RS232 receive data available\r\nTIMER1 Timer 1 overflow\r\n");
        WriteFile(root + "inst/lumo/DEFAULT.PJT", ReadFile(SourceDir() + "/data/lumo/DEFAULT.PJT"));
    }
    ~TWizardFixture() { SetExecutablePathForDirs(QString()); }

    /// A model opened on the fixture installation.
    void Open(TWizardModel &model) const { model.Open(); }

    QTemporaryDir dir;
    QString root;
};

}  // namespace kiv::test
