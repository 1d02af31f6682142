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

}  // namespace

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
    // The serial port's registers and flags, whatever the part calls them.
    const auto firstRegister = [&](std::initializer_list<const char *> names) -> std::string {
        for (const char *n : names) {
            if (t.Register(n) >= 0)
                return n;
        }
        return {};
    };
    {
        const std::string txreg = firstRegister({"TXREG", "TX1REG", "TXREG1"});
        const std::string rcreg = firstRegister({"RCREG", "RC1REG", "RCREG1"});
        const std::string spbrg = firstRegister({"SPBRG", "SPBRGL", "SP1BRGL", "SPBRG1"});
        const std::string txsta = firstRegister({"TXSTA", "TX1STA", "TXSTA1"});
        const std::string rcsta = firstRegister({"RCSTA", "RC1STA", "RCSTA1"});
        std::string txifReg, rcifReg;
        int txifBit = 0, rcifBit = 0;
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
        if (!txreg.empty() && !rcreg.empty() && !spbrg.empty() && !txsta.empty() && !rcsta.empty() &&
            bitOf({"TXIF", "TX1IF"}, &txifReg, &txifBit) && bitOf({"RCIF", "RC1IF"}, &rcifReg, &rcifBit)) {
            h << "\n// The serial port\n"
              << "#define __SERIAL_TXREG__ " << txreg << "\n#define __SERIAL_RCREG__ " << rcreg << "\n#define __SERIAL_SPBRG__ "
              << spbrg << "\n#define __SERIAL_TXSTA__ " << txsta << "\n#define __SERIAL_RCSTA__ " << rcsta << "\n"
              << "#bit __TXIF = " << txifReg << "." << txifBit << "\n#bit __RCIF = " << rcifReg << "." << rcifBit << "\n";
        }
    }

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
        if (bitAt("ADFM", &reg, &bit))
            h << "#bit __ADFM = " << reg << "." << bit << "\n";
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
