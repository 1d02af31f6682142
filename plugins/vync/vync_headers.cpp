#include "vync_headers.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kiv::vync {

namespace {

std::string Hex(int v, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, v);
    return buffer;
}

// The interrupts of enable_interrupts: the name after INT_ and the bases of the enable bit
// names (base + "IE") that parts use for it.
struct TInterruptName {
    const char *name;
    const char *bases[4];
};

const TInterruptName kInterrupts[] = {
    {"RTCC", {"T0", "TMR0", nullptr}},   {"TIMER0", {"T0", "TMR0", nullptr}}, {"EXT", {"INT", "INT0", nullptr}},
    {"RB", {"RB", "RAB", "IOC", nullptr}}, {"RA", {"RA", "GP", "RAB", nullptr}}, {"TIMER1", {"TMR1", nullptr}},
    {"TIMER2", {"TMR2", nullptr}},       {"TIMER4", {"TMR4", nullptr}},       {"TIMER6", {"TMR6", nullptr}},
    {"RDA", {"RC", nullptr}},            {"TBE", {"TX", nullptr}},            {"AD", {"AD", nullptr}},
    {"CCP1", {"CCP1", nullptr}},         {"CCP2", {"CCP2", nullptr}},         {"SSP", {"SSP", "SSP1", nullptr}},
    {"EEPROM", {"EE", "EEI", nullptr}},  {"COMP", {"CM", "C1", "CMI", nullptr}}, {"COMP2", {"C2", nullptr}},
    {"PSP", {"PSP", nullptr}},           {"BUSCOL", {"BCL", "BCL1", nullptr}}, {"OSC_FAIL", {"OSF", nullptr}},
    {"LOWVOLT", {"LVD", nullptr}},       {"RDA2", {"RC2", nullptr}},          {"TBE2", {"TX2", nullptr}},
};

bool IsIdentifier(const std::string &s)
{
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_'))
        return false;
    for (char c : s) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

// The result width of the part's converter: 8 with one result register, 12 where the result
// mode bit ADRMD chooses between 10 and 12 bits, 10 otherwise.
int AdcResolution(const TTarget &t)
{
    if (t.Register("ADRESH") < 0 && t.Register("ADRESL") < 0)
        return 8;
    return t.bitNames.count("ADRMD") ? 12 : 10;
}

// Analog channel -> pin of the usual pin-outs of the families whose headers name the select bit
// of each pin (ANSA4) but not the channel on it: the channel numbers of their data sheets.
struct TPinOut {
    const char *name;
    std::vector<std::pair<int, const char *>> pins;
};

const TPinOut kPinOut8{"8-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}}};
const TPinOut kPinOut14{"14-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}, {4, "C0"}, {5, "C1"}, {6, "C2"}, {7, "C3"}}};
const TPinOut kPinOut18{"18-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A3"}, {4, "A4"}, {5, "B6"}, {6, "B7"},
                                   {7, "B5"}, {8, "B4"}, {9, "B3"}, {10, "B2"}, {11, "B1"}}};
const TPinOut kPinOut20{"20-pin", {{0, "A0"}, {1, "A1"}, {2, "A2"}, {3, "A4"}, {4, "C0"}, {5, "C1"}, {6, "C2"},
                                   {7, "C3"}, {8, "C6"}, {9, "C7"}, {10, "B4"}, {11, "B5"}}};
const TPinOut kPinOut40{"28/40-pin", {{0, "A0"},  {1, "A1"},  {2, "A2"},  {3, "A3"},  {4, "A5"},  {5, "E0"},  {6, "E1"},
                                      {7, "E2"},  {8, "B2"},  {9, "B3"},  {10, "B1"}, {11, "B4"}, {12, "B0"}, {13, "B5"},
                                      {14, "C2"}, {15, "C3"}, {16, "C4"}, {17, "C5"}, {18, "C6"}, {19, "C7"}, {20, "D0"},
                                      {21, "D1"}, {22, "D2"}, {23, "D3"}, {24, "D4"}, {25, "D5"}, {26, "D6"}, {27, "D7"}}};

bool HasPort(const TTarget &t, char letter)
{
    return t.Register(std::string("PORT") + letter) >= 0;
}

const TPinOut *PinOutOf(const TTarget &t)
{
    for (char port : {'F', 'G', 'H', 'J'})
        if (HasPort(t, port))
            return nullptr;
    const bool b = HasPort(t, 'B'), c = HasPort(t, 'C');
    if (!b && !c)
        return &kPinOut8;
    if (!b && c)
        return &kPinOut14;
    if (b && !c)
        return &kPinOut18;
    // 20-pin parts have port B from RB4 on only.
    if (!t.bitNames.count("RB0") && !t.bitNames.count("ANSB0") && !HasPort(t, 'D') && !HasPort(t, 'E'))
        return &kPinOut20;
    return &kPinOut40;
}

// The usual pins of the serial port, by pin-out family (the port's pins of a part with
// peripheral pin select are whatever the program makes them: none here).
bool UsartPinNames(const TTarget &t, std::string *tx, std::string *rx)
{
    if (t.Register("RXPPS") >= 0 || t.Register("RX1PPS") >= 0)
        return false;
    const TPinOut *p = PinOutOf(t);
    const std::string n = t.name;
    if (p == &kPinOut8) {
        *tx = "A0", *rx = "A1";
    } else if (p == &kPinOut14) {
        *tx = "C4", *rx = "C5";
    } else if (p == &kPinOut18) {
        if (n == "PIC16F87" || n == "PIC16F88")
            *tx = "B5", *rx = "B2";
        else
            *tx = "B2", *rx = "B1";
    } else if (p == &kPinOut20) {
        *tx = "B7", *rx = "B5";
    } else {
        *tx = "C6", *rx = "C7";
    }
    return true;
}

// The usual pins of the MSSP module (I2C clock and data), by pin-out family.
bool MsspPinNames(const TTarget &t, std::string *scl, std::string *sda)
{
    if (t.Register("SSPCLKPPS") >= 0 || t.Register("SSP1CLKPPS") >= 0)
        return false;
    const TPinOut *p = PinOutOf(t);
    if (!p)
        return false;
    if (p == &kPinOut8)
        *scl = "A1", *sda = "A2";
    else if (p == &kPinOut14)
        *scl = "C0", *sda = "C1";
    else if (p == &kPinOut18)
        *scl = "B4", *sda = "B1";
    else if (p == &kPinOut20)
        *scl = "B6", *sda = "B4";
    else
        *scl = "C3", *sda = "C4";
    return true;
}

}  // namespace

bool FindMssp(const TTarget &t, TMssp *m)
{
    const auto first = [&](std::initializer_list<const char *> names) -> std::string {
        for (const char *n : names) {
            if (t.Register(n) >= 0)
                return n;
        }
        return {};
    };
    TMssp r;
    r.con = first({"SSPCON", "SSP1CON1", "SSPCON1"});
    r.con2 = first({"SSPCON2", "SSP1CON2"});
    r.stat = first({"SSPSTAT", "SSP1STAT"});
    r.add = first({"SSPADD", "SSP1ADD"});
    r.buf = first({"SSPBUF", "SSP1BUF"});
    if (r.con.empty() || r.con2.empty() || r.stat.empty() || r.add.empty() || r.buf.empty())
        return false;
    bool flag = false;
    for (const char *n : {"SSPIF", "SSP1IF"}) {
        const auto it = t.bitNames.find(n);
        if (it != t.bitNames.end() && t.Register(it->second.first) >= 0) {
            r.ifReg = it->second.first;
            r.ifBit = it->second.second;
            flag = true;
            break;
        }
    }
    std::string scl, sda;
    if (!flag || !MsspPinNames(t, &scl, &sda))
        return false;
    r.sclPin = PinNumber(t, scl);
    r.sdaPin = PinNumber(t, sda);
    *m = r;
    return r.sclPin >= 0 && r.sdaPin >= 0;
}

int PinNumber(const TTarget &t, const std::string &pin)
{
    if (pin.size() != 2)
        return -1;
    const std::string port = std::string("PORT") + pin[0];
    int address = t.Register(port);
    if (address < 0 && pin[0] == 'A')
        address = t.Register("GPIO");
    return address < 0 ? -1 : address * 8 + (pin[1] - '0');
}

std::string PinName(const TTarget &t, int pin)
{
    if (pin < 0)
        return {};
    for (const auto &[name, address] : t.registers) {
        if (address == pin / 8 && ((name.size() == 5 && name.rfind("PORT", 0) == 0) || name == "GPIO"))
            return std::string("PIN_") + (name == "GPIO" ? 'A' : name[4]) + std::to_string(pin % 8);
    }
    return {};
}

bool PinExists(const TTarget &t, int pin)
{
    if (PinName(t, pin).empty())
        return false;
    for (const auto &[name, where] : t.bitNames) {
        if (where.second == pin % 8 && t.Register(where.first) == pin / 8)
            return true;
    }
    return false;
}

bool FindUsart(const TTarget &t, TUsart *u)
{
    const auto firstRegister = [&](std::initializer_list<const char *> names) -> std::string {
        for (const char *n : names) {
            if (t.Register(n) >= 0)
                return n;
        }
        return {};
    };
    const auto bitOf = [&](std::initializer_list<const char *> names, std::string *reg, int *bit) {
        for (const char *n : names) {
            const auto it = t.bitNames.find(n);
            if (it != t.bitNames.end() && t.Register(it->second.first) >= 0) {
                *reg = it->second.first;
                *bit = it->second.second;
                return true;
            }
        }
        return false;
    };
    TUsart r;
    r.txreg = firstRegister({"TXREG", "TX1REG", "TXREG1"});
    r.rcreg = firstRegister({"RCREG", "RC1REG", "RCREG1"});
    r.spbrg = firstRegister({"SPBRG", "SPBRGL", "SP1BRGL", "SPBRG1"});
    r.txsta = firstRegister({"TXSTA", "TX1STA", "TXSTA1"});
    r.rcsta = firstRegister({"RCSTA", "RC1STA", "RCSTA1"});
    if (r.txreg.empty() || r.rcreg.empty() || r.spbrg.empty() || r.txsta.empty() || r.rcsta.empty() ||
        !bitOf({"TXIF", "TX1IF"}, &r.txifReg, &r.txifBit) || !bitOf({"RCIF", "RC1IF"}, &r.rcifReg, &r.rcifBit))
        return false;
    std::string tx, rx;
    if (UsartPinNames(t, &tx, &rx)) {
        r.txPin = PinNumber(t, tx);
        r.rxPin = PinNumber(t, rx);
    }
    *u = r;
    return true;
}

std::vector<TAnalogSelect> AnalogSelectBits(const TTarget &t)
{
    std::vector<TAnalogSelect> result;
    std::map<int, TAnalogSelect> byChannel;
    // Select bits named for their channel (ANS5 in ANSEL/ANSELH): the channel is in the name.
    // Select bits named for their pin (ANSB6 in ANSELB): the channel on that pin, as the
    // part's header names it on its port (AN5 in PORTB), else as the family's pin-out has it.
    std::map<std::string, int> channelOfPin;
    for (const auto &[name, where] : t.bitNames) {
        const std::string &reg = where.first;
        if (name.size() > 2 && name.rfind("AN", 0) == 0 && std::isdigit(static_cast<unsigned char>(name[2])) &&
            name.find_first_not_of("0123456789", 2) == std::string::npos && reg.size() == 5 && reg.rfind("PORT", 0) == 0)
            channelOfPin[std::string(1, reg[4]) + std::to_string(where.second)] = std::stoi(name.substr(2));
    }
    const TPinOut *pinOut = channelOfPin.empty() ? PinOutOf(t) : nullptr;
    for (const auto &[name, where] : t.bitNames) {
        const std::string &reg = where.first;
        if (reg.rfind("ANSEL", 0) != 0 || t.Register(reg) < 0 || name.rfind("ANS", 0) != 0 || name.size() < 4)
            continue;
        TAnalogSelect s;
        s.reg = reg;
        s.bit = where.second;
        const std::string rest = name.substr(3);
        if (std::isdigit(static_cast<unsigned char>(rest[0])) && rest.find_first_not_of("0123456789") == std::string::npos) {
            s.channel = std::stoi(rest);
        } else if (rest.size() == 2 && std::isupper(static_cast<unsigned char>(rest[0])) && std::isdigit(static_cast<unsigned char>(rest[1]))) {
            s.pin = rest;
            if (const auto it = channelOfPin.find(rest); it != channelOfPin.end()) {
                s.channel = it->second;
            } else if (pinOut) {
                for (const auto &[channel, pin] : pinOut->pins)
                    if (rest == pin)
                        s.channel = channel;
            }
        } else if (rest.rfind("EL", 0) == 0 && rest.size() > 2 && rest.find_first_not_of("0123456789", 2) == std::string::npos) {
            s.channel = std::stoi(rest.substr(2));   // ANSEL5
        }
        if (s.channel < 0 || s.channel > 27 || byChannel.count(s.channel))
            continue;
        byChannel[s.channel] = s;
    }
    // The pins of select bits named for their channel, where the header or the pin-out tells.
    const TPinOut *family = PinOutOf(t);
    for (auto &[channel, s] : byChannel) {
        if (!s.pin.empty())
            continue;
        for (const auto &[pin, c] : channelOfPin)
            if (c == channel)
                s.pin = pin;
        if (s.pin.empty() && family && channelOfPin.empty()) {
            for (const auto &[c, pin] : family->pins)
                if (c == channel)
                    s.pin = pin;
        }
    }
    for (const auto &[channel, s] : byChannel)
        result.push_back(s);
    return result;
}

std::string AnalogSelectFunction(const std::vector<TAnalogSelect> &select, const TTarget *target)
{
    std::ostringstream f;
    f << "// setup_adc_ports: the select bit of each analog channel's pin\n// ";
    for (const TAnalogSelect &s : select)
        f << " AN" << s.channel << "=" << s.reg << "." << s.bit;
    f << "\n#define __ADC_PIN_SELECT__ 1\nvoid __adc_pin_select(int32 channels)\n{\n   int8 sel;\n";
    std::map<std::string, int> masks;
    for (const TAnalogSelect &s : select)
        masks[s.reg] |= 1 << s.bit;
    // Select bits of pins without a converter channel are cleared too: those pins are digital.
    if (target) {
        for (const auto &[name, where] : target->bitNames) {
            if (masks.count(where.first) && name.rfind("ANS", 0) == 0)
                masks[where.first] |= 1 << where.second;
        }
    }
    for (const auto &[reg, mask] : masks) {
        f << "   sel = 0;\n";
        for (const TAnalogSelect &s : select) {
            if (s.reg == reg)
                f << "   if (channels & " << Hex(static_cast<int>(1u << s.channel), 8) << ")\n      sel |= " << Hex(1 << s.bit, 2) << ";\n";
        }
        if (mask == 0xFF)
            f << "   " << reg << " = sel;\n";
        else
            f << "   " << reg << " = (" << reg << " & " << Hex(~mask & 0xFF, 2) << ") | sel;\n";
    }
    f << "}\n";
    return f.str();
}

std::string DeviceHeaderName(const std::string &part)
{
    std::size_t i = 0;
    while (i < part.size() && std::isalpha(static_cast<unsigned char>(part[i])))
        ++i;
    std::string name = part.substr(i);
    for (char &c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name + ".h";
}

std::string DeviceHeaderText(const TTarget &t)
{
    std::ostringstream h;
    const std::string guard = "__DEVICE_" + DeviceHeaderName(t.name).substr(0, DeviceHeaderName(t.name).size() - 2) + "__";
    h << "//////// " << DeviceHeaderName(t.name) << ": the " << t.name << " for the vync C compiler\n"
      << "//////// Written at build time from the processor data of gputils; do not edit.\n"
      << "#ifndef __DEVICE_HEADER__\n#define __DEVICE_HEADER__ 1\n"
      << "#device " << t.name << "\n"
      << "#define " << guard << " 1\n";
    if (t.enhanced)
        h << "#define __ENHANCED_CORE__ 1\n";
    h << "#define __PROGRAM_WORDS__ " << t.programWords << "\n";
    if (t.eepromBytes > 0)
        h << "#define __EEPROM_BYTES__ " << t.eepromBytes << "\n";

    // Pins: the port register's address times 8 plus the bit (GPIO counts as port A).
    h << "\n// Pins: the address of the port register times 8, plus the bit\n";
    std::map<std::string, std::set<int>> portBits;
    for (const auto &[bit, where] : t.bitNames) {
        const std::string &reg = where.first;
        if ((reg.size() == 5 && reg.rfind("PORT", 0) == 0) || reg == "GPIO")
            portBits[reg].insert(where.second);
    }
    for (const auto &[reg, bits] : portBits) {
        const int address = t.Register(reg);
        if (address < 0)
            continue;
        const char letter = reg == "GPIO" ? 'A' : reg[4];
        for (int b : bits)
            h << "#define PIN_" << letter << b << "  " << address * 8 + b << "\n";
    }

    // Interrupts: the enable bit's address times 8 plus the bit; 0x8000 marks a peripheral
    // interrupt, which also needs the peripheral enable bit.
    h << "\n// Interrupts for enable_interrupts and disable_interrupts\n";
    int ga = 0, gb = 0;
    if (t.Bit("GIE", &ga, &gb))
        h << "#define GLOBAL  " << ga * 8 + gb << "\n";
    const int intcon = t.Register("INTCON");
    for (const TInterruptName &n : kInterrupts) {
        for (const char *const *b = n.bases; *b; ++b) {
            int ea = 0, eb = 0, fa = 0, fb = 0;
            const std::string base = *b;
            const std::string ie = base == "INT" ? "INTE" : base + "IE", flag = base == "INT" ? "INTF" : base + "IF";
            if (t.Bit(ie, &ea, &eb) && t.Bit(flag, &fa, &fb)) {
                const int value = ea * 8 + eb + (ea != intcon ? 0x8000 : 0);
                h << "#define INT_" << n.name << "  " << Hex(value, 4) << "\n";
                break;
            }
        }
    }

    // Registers: a #byte for each, and a macro saying the part has it.
    h << "\n// Registers\n";
    std::map<int, std::vector<std::string>> byAddress;
    for (const auto &[name, address] : t.registers) {
        if (name.size() < 2 || !IsIdentifier(name) || address < 0 || address > 0xFFF)
            continue;
        h << "#byte " << name << " = " << Hex(address, 3) << "\n#define __REG_" << name << "__ " << Hex(address, 3) << "\n";
    }
    // The serial port: its usual pins, for the help of #use rs232.
    {
        TUsart u;
        if (FindUsart(t, &u)) {
            h << "\n// The serial port: #use rs232 on its pins uses it, other pins get a port in software\n"
              << "#define __SERIAL_TXREG__ " << u.txreg << "\n";
            if (u.txPin >= 0)
                h << "// xmit=" << PinName(t, u.txPin) << ", rcv=" << PinName(t, u.rxPin) << "\n";
        }
    }

    if (t.Register("LCDCON") >= 0 && t.bitNames.count("VLCDEN"))
        h << "\n// The LCD driver's bias voltage pins\n#define __LCD_VLCDEN__ 1\n";

    // Where the A/D converter keeps its fields, for the run-time library.
    const auto bitAt = [&](const char *name, std::string *reg, int *bit) {
        const auto it = t.bitNames.find(name);
        if (it == t.bitNames.end() || t.Register(it->second.first) < 0)
            return false;
        *reg = it->second.first;
        *bit = it->second.second;
        return true;
    };
    std::string reg;
    int bit = 0;
    if (t.Register("ADCON0") >= 0) {
        h << "\n// The A/D converter's fields\n";
        if (bitAt("ADCS0", &reg, &bit))
            h << "#define __ADC_ADCS_REG__ " << reg << "\n#define __ADC_ADCS_SHIFT__ " << bit << "\n";
        if (bitAt("ADCS2", &reg, &bit) && reg != t.bitNames.at("ADCS0").first)
            h << "#bit __ADCS2 = " << reg << "." << bit << "\n#define __ADC_SPLIT_ADCS__ 1\n";
        if (bitAt("GO_NOT_DONE", &reg, &bit) || bitAt("GO_DONE", &reg, &bit) || bitAt("GO", &reg, &bit) || bitAt("ADGO", &reg, &bit))
            h << "#bit __ADGO = " << reg << "." << bit << "\n";
        if (bitAt("ADON", &reg, &bit))
            h << "#bit __ADON = " << reg << "." << bit << "\n";
        if (bitAt("CHS0", &reg, &bit)) {
            int width = 1;
            std::string r2;
            int b2 = 0;
            for (const char *n : {"CHS1", "CHS2", "CHS3", "CHS4"}) {
                if (bitAt(n, &r2, &b2) && r2 == reg)
                    ++width;
            }
            h << "#define __ADC_CHS_REG__ " << reg << "\n#define __ADC_CHS_SHIFT__ " << bit << "\n#define __ADC_CHS_MASK__ "
              << Hex(((1 << width) - 1) << bit, 2) << "\n";
        }
        if (bitAt("PCFG0", &reg, &bit))
            h << "#define __ADC_PCFG_REG__ " << reg << "\n";
        const auto bitMacro = [&](const char *macro, const char *bitName, std::initializer_list<const char *> names) {
            for (const char *n : names) {
                if (bitAt(n, &reg, &bit)) {
                    h << "#bit " << bitName << " = " << reg << "." << bit << "\n#define " << macro << " 1\n";
                    return true;
                }
            }
            return false;
        };
        bitMacro("__ADC_ADFM__", "__ADFM", {"ADFM"});
        bitMacro("__ADC_ADRMD__", "__ADRMD", {"ADRMD"});
        if (bitAt("CHSN0", &reg, &bit)) {
            int mask = 0;
            std::string r2;
            int b2 = 0;
            for (const char *n : {"CHSN0", "CHSN1", "CHSN2", "CHSN3"}) {
                if (bitAt(n, &r2, &b2) && r2 == reg)
                    mask |= 1 << b2;
            }
            h << "#define __ADC_CHSN_REG__ " << reg << "\n#define __ADC_CHSN_MASK__ " << Hex(mask, 2) << "\n";
        }
        // The references of setup_adc_ports: a pin for Vref+ and one for Vref-, or the fields
        // of the enhanced converters.
        bitMacro("__ADC_VCFG0__", "__VCFG0", {"VCFG0", "VCFG"});
        bitMacro("__ADC_VCFG1__", "__VCFG1", {"VCFG1"});
        if (t.bitNames.count("ADPREF0") && t.bitNames.count("ADPREF1")) {
            bitMacro("__ADC_ADPREF__", "__ADPREF0", {"ADPREF0"});
            bitMacro("__ADC_ADPREF1__", "__ADPREF1", {"ADPREF1"});
        }
        bitMacro("__ADC_ADNREF__", "__ADNREF", {"ADNREF"});
        const int resolution = AdcResolution(t);
        h << "// The converter's resolution, for read_adc and #device ADC=\n"
          << "enum { __ADC_RESOLUTION = " << resolution << " };\n";
        const std::vector<TAnalogSelect> select = AnalogSelectBits(t);
        if (!select.empty())
            h << AnalogSelectFunction(select, &t);
    }

    h << "\n#include <vyncrt.h>\n#endif\n";
    return h.str();
}

std::vector<std::string> GputilsParts()
{
    std::vector<std::string> parts;
    FILE *pipe = popen("gpasm -l 2>/dev/null", "r");
    if (!pipe)
        return parts;
    char word[64];
    while (std::fscanf(pipe, "%63s", word) == 1)
        parts.emplace_back(word);
    pclose(pipe);
    return parts;
}

int WriteDeviceHeaders(const std::string &folder, std::vector<std::string> *skipped)
{
    const std::vector<std::string> parts = GputilsParts();
    if (parts.empty())
        return -1;
    std::filesystem::create_directories(folder);
    int written = 0;
    for (const std::string &p : parts) {
        // Only names of the mid-range families can be 14-bit parts.
        const std::string n = p.rfind("p", 0) == 0 ? p.substr(1) : p;
        if (n.rfind("12", 0) != 0 && n.rfind("16", 0) != 0)
            continue;
        TTarget target;
        std::string error;
        if (!LoadTarget(n, &target, &error)) {
            if (error.find("not a 14-bit") == std::string::npos && skipped)
                skipped->push_back(n + ": " + error);
            continue;
        }
        std::ofstream out((std::filesystem::path(folder) / DeviceHeaderName(target.name)).string(), std::ios::binary);
        out << DeviceHeaderText(target);
        if (out)
            ++written;
    }
    return written;
}

}  // namespace kiv::vync
