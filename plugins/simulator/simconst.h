#pragma once

// Decoded operations of the simulator's instruction table and the bit values it uses.

#include <cstdint>

namespace kiv::sim {

enum TOp : uint16_t {
    opNop = 0,
    opBreak,        // an armed breakpoint; the original operation is kept aside
    opInvalid,      // a word no instruction has: runs as NOP

    // 12-bit, 14-bit and enhanced 14-bit; f = file (bank offset), k = destination (1 = file)
    opMovwf,
    opClrw,
    opClrf,
    opSubwf,
    opDecf,
    opIorwf,
    opAndwf,
    opXorwf,
    opAddwf,
    opMovf,
    opComf,
    opIncf,
    opDecfsz,
    opRrf,
    opRlf,
    opSwapf,
    opIncfsz,
    opBcf,          // k = bit mask
    opBsf,
    opBtfsc,
    opBtfss,
    opCall,         // k = target within the page
    opGoto,
    opMovlw,        // k = literal
    opRetlw,
    opIorlw,
    opAndlw,
    opXorlw,
    opSublw,
    opAddlw,
    opReturn,
    opRetfie,
    opSleep,
    opClrwdt,
    opOption,
    opTris,         // f = port register address
    // enhanced 14-bit
    opMovlb,
    opBrw,
    opCallw,
    opReset,
    opMoviw,        // f = FSR number, k = mode (0 ++FSR, 1 --FSR, 2 FSR++, 3 FSR--)
    opMovwi,
    opMoviwK,       // f = FSR number, k = signed offset
    opMovwiK,
    opAddfsr,
    opMovlp,
    opBra,          // k = signed offset
    opLslf,
    opLsrf,
    opAsrf,
    opSubwfb,
    opAddwfc,
    // 12-bit
    opCall12,
    opGoto12,

    // PIC18; f = file address: absolute when the access bank is used, else bank offset with
    // k bit 8 set; destination in k bit 9 (1 = file). Bit operations keep the mask in k bits 0-7.
    op18Nop,
    op18Sleep,
    op18Clrwdt,
    op18Push,
    op18Pop,
    op18Daw,
    op18Tblrd,      // k = mode 0 *, 1 *+, 2 *-, 3 +*
    op18Tblwt,
    op18Retfie,     // k = fast
    op18Return,
    op18Reset,
    op18Movlb,
    op18Sublw,
    op18Iorlw,
    op18Xorlw,
    op18Andlw,
    op18Retlw,
    op18Mullw,
    op18Movlw,
    op18Addlw,
    op18Mulwf,
    op18Decf,
    op18Iorwf,
    op18Andwf,
    op18Xorwf,
    op18Comf,
    op18Addwfc,
    op18Addwf,
    op18Incf,
    op18Decfsz,
    op18Rrcf,
    op18Rlcf,
    op18Swapf,
    op18Incfsz,
    op18Rrncf,
    op18Rlncf,
    op18Infsnz,
    op18Dcfsnz,
    op18Movf,
    op18Subfwb,
    op18Subwfb,
    op18Subwf,
    op18Cpfslt,
    op18Cpfseq,
    op18Cpfsgt,
    op18Tstfsz,
    op18Setf,
    op18Clrf,
    op18Negf,
    op18Movwf,
    op18Btg,
    op18Bsf,
    op18Bcf,
    op18Btfss,
    op18Btfsc,
    op18Movff,      // f = source, k = destination
    op18Bra,        // k = target word index
    op18Rcall,
    op18Bz,
    op18Bnz,
    op18Bc,
    op18Bnc,
    op18Bov,
    op18Bnov,
    op18Bn,
    op18Bnn,
    op18Call,       // k = target word index, f = fast
    op18Lfsr,       // f = FSR number, k = value
    op18Goto,
    op18Second,     // second word of a two-word instruction: NOP
};

// 12-bit and 14-bit STATUS bits.
constexpr uint8_t kC = 0x01;
constexpr uint8_t kDC = 0x02;
constexpr uint8_t kZ = 0x04;
// PIC18 STATUS bits.
constexpr uint8_t kOV = 0x08;
constexpr uint8_t kN = 0x10;

// Modes of the indirect registers (low three bits of a roIndf aux byte; FSR number * 8 above).
constexpr uint8_t kIndfPlain = 0;
constexpr uint8_t kIndfPostInc = 1;
constexpr uint8_t kIndfPostDec = 2;
constexpr uint8_t kIndfPreInc = 3;
constexpr uint8_t kIndfPlusW = 4;

}  // namespace kiv::sim
