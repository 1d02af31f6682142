#pragma once

// The numeric converter's model: one 32-bit pattern shown as decimal (signed or unsigned),
// hexadecimal, octal, binary and characters at a width of 8, 16 or 32 bits, and, at 32 bits,
// as an IEEE 754 single and as the PIC compilers' 32-bit float. Entering text in one field
// sets the pattern when the text is a valid number for that field; anything else leaves the
// pattern as it was and says why. QtCore only.

#include <QString>

#include <cstdint>

namespace kiv {

/// The fields of the converter.
enum TNumberField {
    nfDecimal,
    nfHex,
    nfOctal,
    nfBinary,
    nfChars,       ///< the bytes as characters, most significant first
    nfIeee,        ///< the pattern read as an IEEE 754 single (32 bits only)
    nfPicFloat,    ///< the pattern read as a PIC float, exponent byte first (32 bits only)
    nfFieldCount
};

/// What entering a text did.
enum TInputState {
    isValid,       ///< the text is a number; the pattern took its value
    isIncomplete,  ///< empty, or the start of a number ("-", "0x", "1e"): nothing changed
    isInvalid,     ///< not a number of this field: nothing changed, `reason` says why
};

struct TInputCheck {
    TInputState state = isValid;
    QString reason;
};

class TNumericConverter {
public:
    /// 8, 16 or 32; any other value is ignored. The pattern is kept whole, so narrowing and
    /// widening again loses nothing; the fields show its low `Width()` bits.
    void SetWidth(int bits);
    int Width() const { return m_width; }
    /// Whether the decimal field reads and shows two's complement numbers.
    void SetSigned(bool isSigned) { m_signed = isSigned; }
    bool IsSigned() const { return m_signed; }

    /// The whole 32-bit pattern.
    uint32_t Bits() const { return m_bits; }
    void SetBits(uint32_t bits) { m_bits = bits; }
    /// The pattern cut to the width.
    uint32_t Value() const;

    /// True when the field applies at the current width (the floats need 32 bits).
    bool FieldEnabled(TNumberField field) const;
    /// The field's text for the current pattern; empty for a field that does not apply.
    QString Text(TNumberField field) const;
    /// Reads `text` as a number of `field`; when valid the pattern becomes that number
    /// (bits above the width cleared).
    TInputCheck Enter(TNumberField field, const QString &text);

    /// The same number as the IEEE field in the PIC format, as eight hexadecimal digits, or
    /// why it has none ("NaN has no PIC float").
    QString IeeeAsPicFloat() const;
    /// The same number as the PIC field as an IEEE single in hexadecimal, or why it has none.
    QString PicFloatAsIeee() const;

    /// Reads `text` as a number of `field` at `width` bits without changing anything.
    static TInputCheck Parse(TNumberField field, const QString &text, int width, bool isSigned,
                             uint32_t *bits);

private:
    uint32_t m_bits = 0;
    int m_width = 32;
    bool m_signed = false;
};

}  // namespace kiv
