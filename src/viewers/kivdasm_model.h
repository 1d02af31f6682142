#pragma once

// The state of the "Disassembly Parameters" dialog and its "DASM" run, without the window.

#include "dasm_listing.h"

#include <QString>

namespace kiv {

/// The dialog's choices; `kNone` where no radio button of a group is selected.
class TKivDasmModel {
public:
    static constexpr int kNone = -1;

    QString inputFile;
    /// The output file name, preset each time the dialog opens.
    QString outputFile = QStringLiteral("asmoutput.c");
    /// "Disassemble as": 12, 14, 16, 24 or kNone.
    int family = kNone;
    /// "Input file": 0 "HEX file", 1 "Binary file" or kNone.
    int inputKind = kNone;
    /// "Label format": 0 "Addresses", 1 "C Label", 2 "MC ASM Label".
    int labelFormat = 1;
    /// "Numeric Format": 0 "Simple (12)", 1 "ASM (12H)", 2 "C (0x12)".
    int numberFormat = 2;

    /// Which buttons can be chosen; "16 bit opcode" and "24 bit opcode" fix the others.
    bool binaryEnabled = true;
    bool labelChoiceEnabled = true;   ///< "C Label" and "MC ASM Label"
    bool numberChoiceEnabled = true;  ///< "ASM (12H)" and "Simple (12)"

    /// `opcode24Click`, the handler of "24 bit opcode" and "16 bit opcode": HEX input, addresses
    /// as labels and C numbers, the other choices disabled for as long as the dialog is open.
    void opcode24Click();

    /// The options a run uses: the dsPIC or PIC18 family when chosen; otherwise the 14-bit family
    /// exactly when "14 Bit opcode" is chosen (12-bit when no family is), HEX input exactly when
    /// "HEX file" is chosen.
    TDasmOptions Options() const;

    /// The output file as written: a relative name lies in the input file's folder.
    QString OutputPath() const;

    /// `BitBtn3Click` without the window: disassembles the input into the output file. False
    /// with `*error` set (a whole sentence naming the file) when the input is bad or a file
    /// cannot be read or written; a bad input leaves an existing output file as it was.
    bool Run(QString *error) const;
};

}  // namespace kiv
