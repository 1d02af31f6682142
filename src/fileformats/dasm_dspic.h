#pragma once

// Instruction decoder and listing of the dsPIC family ("24 bit opcode"): sixteen family decoders
// selected by the top four bits of the 24-bit word.

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

/// Decodes dsPIC words one after the other. The first word of CALL, GOTO and DO gives no text
/// and is kept until the next family-0 word that yields text completes it.
class TDsPicDecoder {
public:
    /// The text of word `w` at program-counter address `address`; `completed` tells whether a
    /// kept first word took part (the listing then shows the instruction on that word's line).
    std::string Decode(uint32_t w, uint32_t address, bool *completed = nullptr);
    /// Appends the listing line(s) of word `w` at `address` to `out` (see `ListDsPic`).
    void AppendListing(std::string &out, uint32_t w, uint32_t address);
    /// The kept first word (its low 20 bits), 0 when there is none.
    uint32_t Pending() const { return m_pending; }
    bool HasPending() const { return m_hasPending; }
    void Reset() { m_pending = 0; m_hasPending = false; }

private:
    uint32_t m_pending = 0;
    bool m_hasPending = false;
};

/// A dsPIC program image by program-counter address: one 24-bit word at each even address,
/// 0xFFFFFF where the input gives nothing.
class TDsPicImage {
public:
    /// Program memory listed: PC addresses below 0x7FF000 (data EEPROM and configuration lie above).
    static constexpr uint32_t kProgramEnd = 0x7FF000;
    uint32_t Word(uint32_t pc) const { return pc / 2 < m_words.size() ? m_words[pc / 2] : 0xFFFFFF; }
    /// Sets byte 0, 1 or 2 of the word at `pc` (byte 3 of a HEX word is the unused phantom byte).
    void SetByte(uint32_t pc, unsigned byte, uint8_t value);
    /// The highest PC address given, or -1.
    int64_t Highest() const { return m_highest; }

private:
    std::vector<uint32_t> m_words;
    int64_t m_highest = -1;
};

/// The listing (`DisassembleDsPicHex` without the files): for each PC address from 0 to 0x1000
/// or the last word given, whichever is higher, "AAAAA   WWWWWW   text", CR LF line ends.
std::string ListDsPic(const TDsPicImage &image);

}  // namespace kiv
