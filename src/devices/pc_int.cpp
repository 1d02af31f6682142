#include "pc_int.h"

#include <array>
#include <iterator>

namespace kiv {

namespace {

// The same keyword may stand at several positions: devices differ in which one they use.
const char *const kSxNames[] = {
    "RB0", "RB1", "RB2", "RB3", "RB4", "RB5", "RB6", "RB7", "RB", "RTCC",
    "TIMER1", "T1_CAPT", "T1_COMP", "TIMER2", "T2_CAPT", "T2_COMP",
};

const char *const kMidrangeNames[] = {
    "RTCC", "RB", "RC", "EXT", "AD", "AD", "AD", "ADOF", "TBE", "RDA",
    "TIMER1", "TIMER2", "CCP1", "CCP1", "CCP2", "SSP", "I2C", "PSP", "LCD", "COMP",
    "COMP", "BUTTON", "BUSCOL", "LOWVOLT", "EEPROM", "EEPROM", "USB", "TIMER0", "EEPROM", "COMP",
    "RA", "COMP", "OSC_FAIL", "CCP1", "COMP2", "OSC_FAIL", "TBE", "LOWVOLT", "CCP3", "LOWVOLT",
    "CR", "LCD", "LOWVOLT", "COMP", "COMP2", "COMP1", "COMP2",
};

const char *const kPic18Names[] = {
    "RTCC", "TIMER0", "TIMER1", "TIMER2", "TIMER3", "EXT", "EXT1", "EXT2", "EXT3", "RB",
    "PSP", "AD", "RDA", "TBE", "SSP", "CCP1", "CCP2", "BUSCOL", "LOWVOLT", "CANIRX",
    "CANWAKE", "CANERR", "COMP", "EEPROM", "TBE0", "TBE1", "TBE2", "RDA0", "RDA1", "RDA2",
    "TBE2", "TIMER4", "CCP3", "CCP4", "CCP5", "CANTX2", "CANTX1", "CANTX0", "CANRX1", "CANRX0",
    "OSCF", "LVD", "PWMTB", "IC3DR", "IC2QEI", "IC1", "TIMER5", "LCD", "SPP", "USB",
};

struct TNameList {
    const char *const *names;
    int size;
};

TNameList ListOf(QChar letter)
{
    switch (letter.unicode()) {
    case 'S': return {kSxNames, int(std::size(kSxNames))};
    case 'M': return {kMidrangeNames, int(std::size(kMidrangeNames))};
    case 'H': return {kPic18Names, int(std::size(kPic18Names))};
    default: return {nullptr, 0};
    }
}

QChar g_selected = QLatin1Char('M');

}  // namespace

void SelectInterruptTable(QChar letter)
{
    if (ListOf(letter).names)
        g_selected = letter;
}

QChar SelectedInterruptTable()
{
    return g_selected;
}

QString InterruptName(int i)
{
    return InterruptNameIn(g_selected, i);
}

QString InterruptNameIn(QChar letter, int i)
{
    const TNameList list = ListOf(letter);
    if (i < 1 || i > list.size)
        return {};
    return QString::fromLatin1(list.names[i - 1]);
}

int InterruptTableSize(QChar letter)
{
    return ListOf(letter).size;
}

QChar InterruptTableOfKind(int kind)
{
    switch (kind) {
    case 1: return QLatin1Char('M');
    case 3: return QLatin1Char('H');
    case 4: return QLatin1Char('S');
    default: return QLatin1Char('B');
    }
}

}  // namespace kiv
