#pragma once

// Instruction decoder and listing of the 12-bit and 14-bit PIC families: one table per family,
// shared by the disassembler listing and the debugger's ROM window.

#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

/// Number format of register numbers and 8-bit literals: 0 "Simple (12)", 1 "ASM (12H)",
/// 2 "C (0x12)".
enum TDasmNumberFormat { nfSimple = 0, nfAsm = 1, nfC = 2 };
/// Label format: 0 "Addresses", 1 "C Label", 2 "MC ASM Label".
enum TDasmLabelFormat { lfAddresses = 0, lfCLabel = 1, lfMcAsmLabel = 2 };

/// The program image of a 12-bit or 14-bit part: 16,384 words by word address; 0xFFFF marks a
/// word the input does not give.
class TMidRangeImage {
public:
    static constexpr unsigned kWords = 0x4000;
    TMidRangeImage() : m_words(kWords, 0xFFFF) {}
    uint16_t operator[](unsigned address) const { return address < kWords ? m_words[address] : 0xFFFF; }
    uint16_t &Word(unsigned address) { return m_words[address]; }
    const std::vector<uint16_t> &Words() const { return m_words; }

private:
    std::vector<uint16_t> m_words;
};

/// Formats of the operands; the listing's and the ROM window's differ.
struct TMidRangeStyle {
    /// Number format of register numbers and literals in the listing.
    TDasmNumberFormat numbers = nfC;
    /// Labels: CALL and GOTO targets get an "L" in front when not lfAddresses.
    TDasmLabelFormat labels = lfAddresses;
    /// The ROM window's forms: registers and literals as 2 hexadecimal digits, bit operands as
    /// register "." bit, CALL/GOTO with the 11-bit target as 3 digits and no page tracking.
    bool rom = false;
};

/// `FormatByteOperand`: "5", "1F" / "1Fh", "0Ah" / "0x1F" by number format.
std::string FormatByteOperand(unsigned value, TDasmNumberFormat format);

/// The target of a 14-bit CALL or GOTO at `address` with the 11-bit field `target`, with the
/// page bits the instruction's own address and the page-latch writes before it give.
unsigned TrackPageBits14(const TMidRangeImage &image, unsigned address, unsigned target);
/// The same for the 12-bit family (9-bit GOTO or 8-bit CALL field).
unsigned TrackPageBits12(const TMidRangeImage &image, unsigned address, unsigned target);

/// The text of the word at `address` (the image gives the words before it for page tracking).
std::string DecodeMidRange(const TMidRangeImage &image, unsigned address, bool fourteen, const TMidRangeStyle &style);
/// The same, appended to `out`.
void AppendMidRange(std::string &out, const TMidRangeImage &image, unsigned address, bool fourteen,
                    const TMidRangeStyle &style);

/// The whole listing (`DisassembleMidRange` without the files): a label pass, then one line per
/// word that holds data, CR LF line ends.
std::string ListMidRange(const TMidRangeImage &image, bool fourteen, TDasmNumberFormat numbers, TDasmLabelFormat labels);

}  // namespace kiv
