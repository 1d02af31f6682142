// The A/D converter of the 12-bit and 14-bit parts: ADCON0/ADCON1 (and ANSEL where it holds the
// clock bits), ADRESH/ADRESL with left or right justification or a single 8-bit ADRES, GO/DONE
// clearing after the conversion time of the selected clock, ADIF and the A/D interrupt. Every
// bit is found by its name in the device data, so one converter serves every part. The analog
// levels come from the user's settings (TAnalogInputs).

#include "simcore.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kiv::sim {

namespace {

// A conversion takes this many TAD from GO to DONE: eleven bit periods plus the hold and the
// transfer into ADRES on the 14-bit parts' 10-bit converter.
constexpr double kConversionTad = 12;
// TAD of the converter's internal RC oscillator, typical values of the data sheets.
constexpr double kRcTadSeconds = 4e-6;
constexpr double kRcTadSecondsEnhanced = 1.6e-6;
// The fixed voltage reference's levels (FVRCON ADFVR 1, 2, 3).
constexpr double kFvrVolts[4] = {0.0, 1.024, 2.048, 4.096};

std::string Trimmed(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string Upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

// ---- the analog inputs -----------------------------------------------------------------------

bool TAnalogInputs::Parse(std::string_view text, std::string &error)
{
    TAnalogInputs next = *this;
    std::string items(text);
    for (char &c : items)
        if (c == ',' || c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    size_t at = 0;
    while (at < items.size()) {
        const size_t end = std::min(items.find(' ', at), items.size());
        const std::string item = Trimmed(std::string_view(items).substr(at, end - at));
        at = end + 1;
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = "\"" + item + "\" is not an analog setting such as AN0=2.5";
            return false;
        }
        const std::string name = Upper(Trimmed(std::string_view(item).substr(0, eq)));
        std::string value = Upper(Trimmed(std::string_view(item).substr(eq + 1)));
        bool raw = false;
        if (!value.empty() && value.back() == 'C') {
            raw = true;
            value.pop_back();
        } else if (!value.empty() && value.back() == 'V') {
            value.pop_back();
        }
        char *stop = nullptr;
        const double number = value.empty() ? NAN : std::strtod(value.c_str(), &stop);
        if (value.empty() || !stop || *stop || !std::isfinite(number) || number < 0) {
            error = "\"" + item + "\" does not give a voltage (such as 2.5) or a count (such as 512c)";
            return false;
        }
        if (name == "VDD" || name == "VREF+" || name == "VREF-") {
            if (raw || number > 20) {
                error = "\"" + item + "\" is not a voltage for " + name;
                return false;
            }
            (name == "VDD" ? next.vdd : name == "VREF+" ? next.vrefHigh.emplace() : next.vrefLow.emplace()) = number;
            continue;
        }
        int channel = -1;
        if (name.size() > 2 && name.compare(0, 2, "AN") == 0 && name.size() <= 4
            && std::all_of(name.begin() + 2, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            channel = std::atoi(name.c_str() + 2);
        if (channel < 0 || channel > 31) {
            error = "\"" + name + "\" is not an analog input (AN0 to AN31, VDD, VREF+ or VREF-)";
            return false;
        }
        if (raw) {
            if (number != std::floor(number) || number > 4095) {
                error = "\"" + item + "\" is not a converter count (0 to 1023)";
                return false;
            }
            next.counts[channel] = int(number);
            next.volts.erase(channel);
        } else {
            if (number > 20) {
                error = "\"" + item + "\" is more volts than a pin takes";
                return false;
            }
            next.volts[channel] = number;
            next.counts.erase(channel);
        }
    }
    *this = next;
    return true;
}

std::string TAnalogInputs::Text() const
{
    std::string text;
    auto add = [&](const std::string &item) {
        if (!text.empty())
            text += ' ';
        text += item;
    };
    for (int ch = 0; ch < 32; ++ch) {
        if (const auto v = volts.find(ch); v != volts.end())
            add("AN" + std::to_string(ch) + "=" + Number(v->second));
        if (const auto c = counts.find(ch); c != counts.end())
            add("AN" + std::to_string(ch) + "=" + std::to_string(c->second) + "c");
    }
    add("VDD=" + Number(vdd));
    if (vrefHigh)
        add("VREF+=" + Number(*vrefHigh));
    if (vrefLow)
        add("VREF-=" + Number(*vrefLow));
    return text;
}

// ---- the converter ---------------------------------------------------------------------------

void TSimulator::BuildAdc()
{
    // The 14-bit cores' converter; the 12-bit parts' and PIC18's differ in clock selection and
    // acquisition and are not simulated.
    if (m_dev.core != TCore::Pic14 && m_dev.core != TCore::Pic14E)
        return;
    auto find = [&](std::initializer_list<const char *> regs, std::initializer_list<const char *> names) {
        TBitRef ref;
        for (const char *r : regs)
            for (const char *n : names) {
                if (ref.Valid())
                    return ref;
                const auto [a, b] = m_dev.FindBit(r, n);
                ref.addr = a;
                ref.bit = b;
            }
        return ref;
    };
    m_adGo = find({"ADCON0"}, {"GO_NOT_DONE", "GO_DONE", "GO", "NOT_DONE", "GO_nDONE"});
    m_adOn = find({"ADCON0"}, {"ADON"});
    m_adFm = find({"ADCON"}, {"ADFM"});
    m_adif = find({"PIR"}, {"ADIF"});
    const char *adcs[] = {"ADCS0", "ADCS1", "ADCS2"};
    for (int i = 0; i < 3; ++i)
        m_adcs[size_t(i)] = find({"ADCON", "ANSEL"}, {adcs[i]});
    const char *chs[] = {"CHS0", "CHS1", "CHS2", "CHS3", "CHS4"};
    for (int i = 0; i < 5; ++i)
        m_chs[size_t(i)] = find({"ADCON"}, {chs[i]});
    const char *pcfg[] = {"PCFG0", "PCFG1", "PCFG2", "PCFG3"};
    for (int i = 0; i < 4; ++i)
        m_pcfg[size_t(i)] = find({"ADCON"}, {pcfg[i]});
    m_vcfg = find({"ADCON"}, {"VCFG"});
    m_vcfgPair[0] = find({"ADCON"}, {"VCFG0"});
    m_vcfgPair[1] = find({"ADCON"}, {"VCFG1"});
    m_adpref[0] = find({"ADCON"}, {"ADPREF0"});
    m_adpref[1] = find({"ADCON"}, {"ADPREF1"});
    m_adnref = find({"ADCON"}, {"ADNREF"});
    m_adfvr[0] = find({"FVRCON"}, {"ADFVR0"});
    m_adfvr[1] = find({"FVRCON"}, {"ADFVR1"});
    m_adresh = m_dev.FirstRegister({"ADRESH", "ADRES"});
    m_adresl = m_dev.RegisterAddress("ADRESL");
    m_adBits = m_adresl >= 0 ? 10 : 8;
    if (m_adGo.Valid() && m_adGo.addr != m_dev.RegisterAddress("ADCON0"))
        m_adGo = {};   // the simulator only knows GO/DONE in ADCON0
}

int TSimulator::AdcClockCode() const
{
    int code = 0;
    for (int i = 0; i < 3; ++i)
        if (BitSet(m_adcs[size_t(i)]))
            code |= 1 << i;
    return code;
}

int TSimulator::AdcChannel() const
{
    int channel = 0;
    for (int i = 0; i < 5; ++i)
        if (BitSet(m_chs[size_t(i)]))
            channel |= 1 << i;
    return channel;
}

uint64_t TSimulator::AdcConversionCycles() const
{
    // ADCS: 0 FOSC/2, 1 FOSC/8, 2 FOSC/32, 3 the RC oscillator; with ADCS2 set FOSC/4, /16, /64.
    static constexpr int kDivider[8] = {2, 8, 32, 0, 4, 16, 64, 0};
    const int code = AdcClockCode();
    double tadCycles;
    if (kDivider[code] == 0) {
        const double rc = m_dev.core == TCore::Pic14E ? kRcTadSecondsEnhanced : kRcTadSeconds;
        tadCycles = rc * m_clockHz / 4.0;
    } else {
        tadCycles = kDivider[code] / 4.0;
    }
    return std::max<uint64_t>(1, uint64_t(std::ceil(kConversionTad * tadCycles - 1e-9)));
}

uint16_t TSimulator::AdcSample(int channel) const
{
    const int full = 1 << m_adBits;
    if (const auto c = m_analog.counts.find(channel); c != m_analog.counts.end())
        return uint16_t(std::min(c->second, full - 1));
    const auto v = m_analog.volts.find(channel);
    const double volts = v == m_analog.volts.end() ? 0.0 : v->second;
    // The references: VDD and VSS, or the VREF pins the configuration selects.
    bool externalHigh = false, externalLow = false;
    double high = m_analog.vdd;
    if (m_pcfg[0].Valid() && !m_vcfgPair[0].Valid()) {
        // PCFG modes with AN3 as VREF+ (and AN2 as VREF-).
        int mode = 0;
        for (int i = 0; i < 4; ++i)
            if (BitSet(m_pcfg[size_t(i)]))
                mode |= 1 << i;
        externalHigh = mode == 1 || mode == 3 || mode == 5 || mode == 8 || (mode >= 10 && mode <= 13) || mode == 15;
        externalLow = mode == 8 || (mode >= 11 && mode <= 13) || mode == 15;
    }
    if (BitSet(m_vcfg) || BitSet(m_vcfgPair[0]))
        externalHigh = true;
    if (BitSet(m_vcfgPair[1]) || BitSet(m_adnref))
        externalLow = true;
    if (m_adpref[0].Valid()) {
        const int pref = (BitSet(m_adpref[1]) ? 2 : 0) | (BitSet(m_adpref[0]) ? 1 : 0);
        if (pref == 2) {
            externalHigh = true;
        } else if (pref == 3) {
            const int level = (BitSet(m_adfvr[1]) ? 2 : 0) | (BitSet(m_adfvr[0]) ? 1 : 0);
            high = m_adfvr[0].Valid() ? kFvrVolts[level] : m_analog.vdd;
        }
    }
    if (externalHigh)
        high = m_analog.vrefHigh.value_or(m_analog.vdd);
    const double low = externalLow ? m_analog.vrefLow.value_or(0.0) : 0.0;
    if (high <= low)
        return 0;
    // The reference maps to the highest code; the nearest code is taken.
    const double scaled = std::floor((volts - low) / (high - low) * (full - 1) + 0.5);
    return uint16_t(std::clamp(scaled, 0.0, double(full - 1)));
}

void TSimulator::AdconWritten(unsigned index, uint8_t old)
{
    if (!HasAdc() || int(index) != m_adGo.addr)
        return;
    const uint8_t goMask = uint8_t(1u << m_adGo.bit);
    const bool on = BitSet(m_adOn);
    const bool go = m_ram[index] & goMask;
    if (m_adDone != UINT64_MAX) {
        // Clearing GO or ADON ends the conversion without a result.
        if (!go || !on) {
            m_adDone = UINT64_MAX;
            Reschedule();
        }
        return;
    }
    if (go && !(old & goMask) && on) {
        m_adResult = AdcSample(AdcChannel());
        m_adDone = m_cycles + AdcConversionCycles();
        Reschedule();
    }
}

void TSimulator::AdcFinish()
{
    m_adDone = UINT64_MAX;
    const uint16_t r = m_adResult;
    if (m_adBits == 8 || m_adresl < 0) {
        if (m_adresh >= 0)
            m_ram[m_adresh] = uint8_t(r);
    } else if (BitSet(m_adFm)) {
        m_ram[m_adresh] = uint8_t(r >> 8);
        m_ram[m_adresl] = uint8_t(r);
    } else {
        m_ram[m_adresh] = uint8_t(r >> 2);
        m_ram[m_adresl] = uint8_t((r & 3) << 6);
    }
    m_ram[m_adGo.addr] &= uint8_t(~(1u << m_adGo.bit));
    SetFlag(m_adif.addr, m_adif.bit);
}

void TSimulator::AdcSleep()
{
    // Only the RC clock runs in SLEEP; a conversion on the instruction clock is abandoned.
    if (m_adDone == UINT64_MAX || (AdcClockCode() & 3) == 3)
        return;
    m_adDone = UINT64_MAX;
    m_ram[m_adGo.addr] &= uint8_t(~(1u << m_adGo.bit));
}

}  // namespace kiv::sim
