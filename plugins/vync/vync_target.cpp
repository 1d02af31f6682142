#include "vync_target.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kiv::vync {

namespace {

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string &s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

long Number(const std::string &text)
{
    std::string s = Trim(text);
    if (s.empty())
        return -1;
    char *end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 0);
    return end == s.c_str() ? -1 : v;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string GputilsDir()
{
    if (const char *env = std::getenv("VYNC_GPUTILS_DIR"); env && *env)
        return env;
    return "/usr/share/gputils";
}

}  // namespace

int TTarget::Register(const std::string &name) const
{
    const auto it = registers.find(name);
    return it == registers.end() ? -1 : it->second;
}

bool TTarget::Bit(const std::string &name, int *address, int *bit) const
{
    const auto it = bitNames.find(name);
    if (it == bitNames.end())
        return false;
    const int a = Register(it->second.first);
    if (a < 0)
        return false;
    *address = a;
    *bit = it->second.second;
    return true;
}

bool TTarget::Unbanked(int address) const
{
    const int offset = address & 0x7F;
    if (hasCommon && offset >= (common.start & 0x7F) && offset <= (common.end & 0x7F))
        return true;
    if (enhanced)
        return offset <= 0x0B;   // INDF0/1, PCL, STATUS, FSR0/1, BSR, WREG, PCLATH, INTCON
    if (banks == 1)
        return true;
    return offset == 0x00 || offset == 0x02 || offset == 0x03 || offset == 0x04 || offset == 0x0A || offset == 0x0B;
}

bool LoadTarget(const std::string &requested, TTarget *target, std::string *error)
{
    std::string part = Lower(requested);
    if (part.rfind("pic", 0) == 0)
        part = part.substr(3);
    if (part.empty() || !std::all_of(part.begin(), part.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c));
        })) {
        *error = "Unknown part " + requested;
        return false;
    }
    const std::string command = "gpasm -s -p p" + part + " 2>&1";
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    } else {
        *error = "The assembler gpasm could not be started";
        return false;
    }
    TTarget t;
    t.name = "PIC" + Upper(part);
    t.gpName = part;
    std::string coreClass, header, script;
    std::istringstream lines(output);
    std::string line;
    bool sawNames = false;
    TConfigWord *word = nullptr;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        if (key == "Names") {
            sawNames = true;
        } else if (key == "Class") {
            coreClass = value;
        } else if (key == "Bank Number") {
            t.banks = static_cast<int>(Number(value));
        } else if (key == "Common RAM") {
            const std::size_t dash = value.find('-');
            if (dash != std::string::npos) {
                t.hasCommon = true;
                t.common = {static_cast<int>(Number(value.substr(0, dash))), static_cast<int>(Number(value.substr(dash + 1)))};
            }
        } else if (key == "Page Size") {
            t.pageSize = static_cast<int>(Number(value));
        } else if (key == "Page Number") {
            t.pages = static_cast<int>(Number(value));
        } else if (key == "Program Size") {
            t.programWords = static_cast<int>(Number(value));
        } else if (key == "Config Word") {
            // "address = 0x2007, mask = 0x2FCF, default = 0xFFFF"
            TConfigWord w;
            std::istringstream parts(value);
            std::string item;
            while (std::getline(parts, item, ',')) {
                const std::size_t eq = item.find('=');
                if (eq == std::string::npos)
                    continue;
                const std::string k = Trim(item.substr(0, eq));
                const long v = Number(item.substr(eq + 1));
                if (k == "address") w.address = static_cast<std::uint32_t>(v);
                else if (k == "mask") w.mask = static_cast<std::uint32_t>(v);
                else if (k == "default") w.defaultValue = static_cast<std::uint32_t>(v);
            }
            t.config.push_back(w);
            word = &t.config.back();
        } else if (key == "EEPROM Range") {
            const std::size_t dash = value.find('-');
            if (dash != std::string::npos) {
                t.eepromStart = static_cast<std::uint32_t>(Number(value.substr(0, dash)));
                t.eepromBytes = static_cast<int>(Number(value.substr(dash + 1)) - Number(value.substr(0, dash)) + 1);
            }
        } else if (key == "Header File") {
            header = value;
        } else if (key == "Linker Script") {
            script = value;
        }
    }
    (void)word;
    if (!sawNames) {
        *error = "Unknown part " + requested;
        return false;
    }
    if (coreClass != "PIC14" && coreClass != "PIC14E" && coreClass != "PIC14EX") {
        *error = t.name + " is not a 14-bit part";
        return false;
    }
    t.enhanced = coreClass != "PIC14";
    t.stackDepth = t.enhanced ? 16 : 8;
    if (t.banks < 1)
        t.banks = 1;
    if (t.pages < 1)
        t.pages = 1;

    // General-purpose RAM from the linker script's unprotected DATABANKs.
    const std::string lkr = ReadFile(GputilsDir() + "/lkr/" + script);
    if (lkr.empty()) {
        *error = "The linker script " + script + " of " + t.name + " can not be read";
        return false;
    }
    std::istringstream lkrLines(lkr);
    while (std::getline(lkrLines, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.rfind("DATABANK", 0) != 0 || trimmed.find("PROTECTED") != std::string::npos)
            continue;
        const std::size_t s = trimmed.find("START=");
        const std::size_t e = trimmed.find("END=");
        if (s == std::string::npos || e == std::string::npos)
            continue;
        TRamRange r{static_cast<int>(Number(trimmed.substr(s + 6, trimmed.find(' ', s) - s - 6))),
                    static_cast<int>(Number(trimmed.substr(e + 4, trimmed.find(' ', e) == std::string::npos ? std::string::npos : trimmed.find(' ', e) - e - 4)))};
        if (r.start < 0 || r.end < r.start)
            continue;
        // Common RAM is not counted as banked RAM.
        if (t.hasCommon && r.start <= t.common.end && r.end >= t.common.start) {
            if (r.start < t.common.start)
                t.gpr.push_back({r.start, t.common.start - 1});
            if (r.end > t.common.end)
                t.gpr.push_back({t.common.end + 1, r.end});
            continue;
        }
        t.gpr.push_back(r);
    }
    std::sort(t.gpr.begin(), t.gpr.end(), [](const TRamRange &a, const TRamRange &b) { return a.start < b.start; });

    // Register and bit names from the header.
    const std::string inc = ReadFile(GputilsDir() + "/header/" + header);
    std::istringstream incLines(inc);
    std::string currentRegister;
    while (std::getline(incLines, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty())
            continue;
        if (trimmed[0] == ';') {
            // ";----- STATUS Bits ---" names the register of the bits that follow.
            const std::size_t dash = trimmed.find("----- ");
            if (dash != std::string::npos) {
                std::istringstream words(trimmed.substr(dash + 6));
                std::string reg;
                words >> reg;
                currentRegister = Upper(reg);
            }
            continue;
        }
        std::istringstream words(trimmed);
        std::string name, equ, value;
        words >> name >> equ >> value;
        if (Upper(equ) != "EQU" || name.empty() || name[0] == '_')
            continue;
        long v = -1;
        if (value.size() > 3 && (value[0] == 'H' || value[0] == 'h') && value[1] == '\'')
            v = std::strtol(value.c_str() + 2, nullptr, 16);
        else
            v = Number(value);
        if (v < 0)
            continue;
        name = Upper(name);
        if (currentRegister.empty() || currentRegister == "REGISTER") {
            if (!t.registers.count(name))
                t.registers[name] = static_cast<int>(v);
        } else if (v <= 7) {
            if (!t.bitNames.count(name))
                t.bitNames[name] = {currentRegister, static_cast<int>(v)};
        }
    }
    if (t.registers.empty()) {
        *error = "The header " + header + " of " + t.name + " can not be read";
        return false;
    }
    *target = std::move(t);
    return true;
}

}  // namespace kiv::vync
