#pragma once

// Instruction decoder and listing of the PIC18 family ("16 bit opcode"), shared by the
// disassembler listing and the debugger's ROM window.

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

/// Decodes PIC18 words one after the other. The first word of a two-word instruction (MOVFF,
/// GOTO, CALL, LFSR) gives no text and is kept; the word after it completes the instruction.
class TPic18Decoder {
public:
    /// Appends the text of word `w` at byte address `address` to `out`; see the class comment.
    void Append(std::string &out, unsigned w, uint32_t address);
    /// The text of word `w`.
    std::string Decode(unsigned w, uint32_t address);
    /// Forgets a kept first word.
    void Reset() { m_pending = 0; }
    /// The kept first word, 0 when there is none.
    unsigned Pending() const { return m_pending; }

private:
    unsigned m_pending = 0;
};

/// A PIC18 program image by byte address: words at even addresses, 0xFFFF where the input gives
/// nothing. Grows to the highest address given.
class TPic18Image {
public:
    /// Program memory of the family: byte addresses 0x000000-0x1FFFFF.
    static constexpr uint32_t kBytes = 0x200000;
    uint16_t Word(uint32_t address) const
    {
        return address / 2 < m_words.size() ? m_words[address / 2] : 0xFFFF;
    }
    /// Sets one byte of the word at address & ~1.
    void SetByte(uint32_t address, uint8_t value);
    /// The highest byte address given, or -1 when none is.
    int64_t Highest() const { return m_highest; }

private:
    std::vector<uint16_t> m_words;
    int64_t m_highest = -1;
};

/// The listing (`DisassemblePic18Hex` without the files): one line "AAAA text" per word from
/// address 0 to 0x1000 or to the last word given, whichever is higher; CR LF line ends.
std::string ListPic18(const TPic18Image &image);

}  // namespace kiv
