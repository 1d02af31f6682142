#pragma once

// Calibration data extraction: the factory calibration words of a windowed part, read from the
// HEX file a programmer read from it, written as an include file of #rom directives that put
// them back. The window "Extract Calibration Data" (Tfkivgcal) is a thin layer over this.

#include <QByteArray>
#include <QString>

namespace kiv {

class TIntelHex;

/// The device group of the window.
enum TCalPart {
    cpIS512,     ///< "508,518": the word at 0x1FF
    cpIS1024,    ///< "505,509,519,671,673": the word at 0x3FF
    cpIS2048,    ///< "672,674": the word at 0x7FF
    cpIS14000,   ///< "14000": the constants at 0xFC0 ... 0xFD3
};

/// The include file text of the calibration words of `part` in a HEX image (word w = the bytes
/// at 2w, low, and 2w + 1, high), CR LF line ends. False with `error` naming the missing words
/// when the image does not hold them all; nothing is made then.
bool CalibrationText(const TIntelHex &hex, TCalPart part, QByteArray *text, QString *error);

/// The window's choices and its OK button without the window.
class TKivGcalModel {
public:
    QString inputFile;   ///< the HEX file
    QString outFile;     ///< the include file
    TCalPart part = cpIS512;

    /// The include file's name offered for an input file: its folder and name with ".cal".
    static QString SuggestedOutFile(const QString &inputFile);

    /// Reads the input and writes the include file. False with `error` (beginning "Can not
    /// open input file" or "Can not open output file" when a file cannot be read or written)
    /// when it cannot; the include file is then not written or left as it was.
    bool Run(QString *error) const;
};

}  // namespace kiv
