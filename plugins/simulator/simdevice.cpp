#include "simdevice.h"

#include "simdevice_data.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>
#include <mutex>

// The text block of a device, one item per line (numbers in hexadecimal unless noted):
//   core PIC14                   gputils' core class: PIC12, PIC12E, PIC14, PIC14E, PIC16E
//   bank SIZE COUNT              bank size and number of banks (decimal)
//   common FIRST LAST            RAM seen in every bank
//   linear FIRST LAST            the linear view of the banked RAM (enhanced 14-bit)
//   split ADDR                   PIC18: first SFR address of the access bank
//   maxram ADDR                  highest data address
//   prog WORDS                   program memory in instruction words (decimal)
//   ee FIRST LAST                data EEPROM as addressed in the HEX file's program space
//   cfg ADDR MASK DEFAULT        one configuration word
//   dir NAME ADDR OPT=VAL ...    a configuration setting with its options
//   bad FIRST LAST               unimplemented data addresses
//   r ADDR NAME                  a register
//   b REG BIT=N ...              the bits of a register (N decimal)
//   m REG MASK                   the named bits of a port, latch, tris or analog select register
//   mclr PIN                     the port pin that is the MCLR input when MCLRE is on

namespace kiv::sim {

const char *CoreName(TCore core)
{
    switch (core) {
    case TCore::Pic12: return "12-bit";
    case TCore::Pic12E: return "enhanced 12-bit";
    case TCore::Pic14: return "14-bit";
    case TCore::Pic14E: return "enhanced 14-bit";
    case TCore::Pic18: return "PIC18";
    }
    return "?";
}

std::string TSimConfigSetting::OptionOf(uint16_t word) const
{
    for (const auto &o : options)
        if ((word & mask) == o.second)
            return o.first;
    return {};
}

namespace {

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t p = 0;
    while (p < line.size()) {
        while (p < line.size() && line[p] == ' ')
            ++p;
        const size_t start = p;
        while (p < line.size() && line[p] != ' ')
            ++p;
        if (p > start)
            words.push_back(line.substr(start, p - start));
    }
    return words;
}

bool Number(std::string_view text, int base, uint32_t &value)
{
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

std::string Upper(std::string_view text)
{
    std::string s(text);
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "PIC16F877A", "p16f877a", "16F877A" -> "16F877A"; rfPIC names stay whole.
std::string Normalized(std::string_view name)
{
    std::string s = Upper(name);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(s.begin());
    if (s.rfind("PIC", 0) == 0)
        s.erase(0, 3);
    else if (s.size() > 1 && s[0] == 'P' && std::isdigit(static_cast<unsigned char>(s[1])))
        s.erase(0, 1);
    return s;
}

}  // namespace

bool TSimDevice::Parse(std::string_view text)
{
    bool haveCore = false;
    bool haveBank = false;
    size_t p = 0;
    while (p < text.size()) {
        size_t end = text.find('\n', p);
        if (end == std::string_view::npos)
            end = text.size();
        const std::vector<std::string_view> w = Words(text.substr(p, end - p));
        p = end + 1;
        if (w.empty())
            continue;
        const std::string_view key = w[0];
        uint32_t a = 0, b = 0, c = 0;
        if (key == "core" && w.size() == 2) {
            static const std::pair<const char *, TCore> cores[] = {{"PIC12", TCore::Pic12},
                                                                   {"PIC12E", TCore::Pic12E},
                                                                   {"PIC14", TCore::Pic14},
                                                                   {"PIC14E", TCore::Pic14E},
                                                                   {"PIC16E", TCore::Pic18}};
            for (const auto &[n, k] : cores)
                if (w[1] == n) {
                    core = k;
                    haveCore = true;
                }
        } else if (key == "bank" && w.size() == 3 && Number(w[1], 10, a) && Number(w[2], 10, b)) {
            if (a == 0 || a > 256 || b == 0 || b > 64)
                return false;
            bankSize = int(a);
            bankCount = int(b);
            haveBank = true;
        } else if (key == "common" && w.size() == 3 && Number(w[1], 16, a) && Number(w[2], 16, b)) {
            commonFirst = int(a);
            commonLast = int(b);
        } else if (key == "linear" && w.size() == 3 && Number(w[1], 16, a) && Number(w[2], 16, b)) {
            linearFirst = int(a);
            linearLast = int(b);
        } else if (key == "split" && w.size() == 2 && Number(w[1], 16, a)) {
            accessSplit = int(a);
        } else if (key == "maxram" && w.size() == 2 && Number(w[1], 16, a)) {
            maxRam = int(a);
        } else if (key == "prog" && w.size() == 2 && Number(w[1], 10, a)) {
            programWords = a;
        } else if (key == "ee" && w.size() == 3 && Number(w[1], 16, a) && Number(w[2], 16, b)) {
            eepromFirst = a;
            eepromBytes = b >= a ? int(b - a + 1) : 0;
        } else if (key == "cfg" && w.size() == 4 && Number(w[1], 16, a) && Number(w[2], 16, b)
                   && Number(w[3], 16, c)) {
            config.push_back({a, uint16_t(b), uint16_t(c)});
        } else if (key == "dir" && w.size() >= 3 && Number(w[2], 16, a)) {
            TSimConfigSetting s;
            s.name = std::string(w[1]);
            s.address = a;
            for (size_t i = 3; i < w.size(); ++i) {
                const size_t eq = w[i].find('=');
                if (eq == std::string_view::npos || !Number(w[i].substr(eq + 1), 16, b))
                    return false;
                s.options.emplace_back(std::string(w[i].substr(0, eq)), uint16_t(b));
                s.mask = uint16_t(s.mask | b);
            }
            settings.push_back(std::move(s));
        } else if (key == "bad" && w.size() == 3 && Number(w[1], 16, a) && Number(w[2], 16, b)) {
            badRam.emplace_back(int(a), int(b));
        } else if (key == "r" && w.size() == 3 && Number(w[1], 16, a)) {
            registers.emplace_back(int(a), std::string(w[2]));
        } else if (key == "b" && w.size() >= 2) {
            auto &map = bits[std::string(w[1])];
            for (size_t i = 2; i < w.size(); ++i) {
                const size_t eq = w[i].find('=');
                if (eq == std::string_view::npos || !Number(w[i].substr(eq + 1), 10, b) || b > 15)
                    return false;
                map[std::string(w[i].substr(0, eq))] = int(b);
            }
        } else if (key == "mclr" && w.size() == 2) {
            mclrPin = std::string(w[1]);
        } else if (key == "m" && w.size() == 3 && Number(w[2], 16, a)) {
            pinMasks[std::string(w[1])] = uint8_t(a);
        } else {
            return false;
        }
    }
    if (!haveCore || !haveBank || programWords == 0)
        return false;
    if (core == TCore::Pic18) {
        bankSize = 256;
        bankCount = 16;
    }
    m_byAddress.clear();
    for (size_t i = 0; i < registers.size(); ++i)
        m_byAddress.emplace(registers[i].first, i);
    return true;
}

int TSimDevice::RegisterAddress(std::string_view reg) const
{
    for (const auto &[address, n] : registers)
        if (n == reg)
            return address;
    return -1;
}

int TSimDevice::FirstRegister(std::initializer_list<const char *> names) const
{
    for (const char *n : names)
        if (const int a = RegisterAddress(n); a >= 0)
            return a;
    return -1;
}

std::vector<std::string> TSimDevice::RegisterNames(int address) const
{
    std::vector<std::string> names;
    const auto [first, last] = m_byAddress.equal_range(address);
    for (auto it = first; it != last; ++it)
        names.push_back(registers[it->second].second);
    return names;
}

int TSimDevice::BitOf(std::string_view reg, std::string_view bit) const
{
    const auto it = bits.find(std::string(reg));
    if (it == bits.end())
        return -1;
    const auto b = it->second.find(std::string(bit));
    return b == it->second.end() ? -1 : b->second;
}

std::pair<int, int> TSimDevice::FindBit(std::string_view regPrefix, std::string_view bit) const
{
    for (const auto &[reg, map] : bits) {
        if (reg.rfind(regPrefix, 0) != 0)
            continue;
        const auto b = map.find(std::string(bit));
        if (b != map.end()) {
            const int address = RegisterAddress(reg);
            if (address >= 0)
                return {address, b->second};
        }
    }
    return {-1, -1};
}

uint8_t TSimDevice::PinMask(std::string_view reg) const
{
    const auto it = pinMasks.find(std::string(reg));
    return it == pinMasks.end() ? 0xFF : it->second;
}

bool TSimDevice::IsBadRam(int address) const
{
    for (const auto &[first, last] : badRam)
        if (address >= first && address <= last)
            return true;
    return false;
}

const TSimConfigSetting *TSimDevice::Setting(std::string_view settingName) const
{
    for (const TSimConfigSetting &s : settings)
        if (s.name == settingName)
            return &s;
    return nullptr;
}

int TSimDevice::ConfigIndex(uint32_t address) const
{
    for (size_t i = 0; i < config.size(); ++i)
        if (config[i].address == address)
            return int(i);
    return -1;
}

namespace {

struct TDeviceCache {
    std::mutex mutex;
    std::map<int, std::unique_ptr<TSimDevice>> parsed;
};

TDeviceCache &Cache()
{
    static TDeviceCache cache;
    return cache;
}

}  // namespace

const TSimDevice *FindSimDevice(std::string_view name)
{
    const std::string wanted = Normalized(name);
    if (wanted.empty())
        return nullptr;
    for (int i = 0; i < kSimDeviceCount; ++i) {
        const TSimDeviceEntry &e = kSimDeviceTable[i];
        if (Normalized(e.name) != wanted && Normalized(e.processor) != wanted)
            continue;
        TDeviceCache &cache = Cache();
        std::lock_guard<std::mutex> lock(cache.mutex);
        auto &slot = cache.parsed[i];
        if (!slot) {
            auto device = std::make_unique<TSimDevice>();
            device->name = e.name;
            device->processor = e.processor;
            if (!device->Parse(e.text))
                return nullptr;
            slot = std::move(device);
        }
        return slot.get();
    }
    return nullptr;
}

std::vector<std::string> SimDeviceNames()
{
    std::vector<std::string> names;
    names.reserve(size_t(kSimDeviceCount));
    for (int i = 0; i < kSimDeviceCount; ++i)
        names.emplace_back(kSimDeviceTable[i].name);
    return names;
}

}  // namespace kiv::sim
