#pragma once

// The 32-bit floating-point format of PIC compilers beside IEEE 754 single precision. Plain C++.
//
// The PIC format stores the exponent byte first: as one 32-bit number (exponent byte most
// significant) it is E EEEEEEE S MMMMMMM MMMMMMMM MMMMMMMM — an 8-bit exponent with bias 127,
// the sign bit, and a 23-bit mantissa with a hidden leading 1. An exponent of 0 means zero; there
// are no infinities, no NaNs and no denormal numbers, so exponent 255 is an ordinary (very
// large) number. IEEE single precision holds the same fields as S EEEEEEEE MMM...: every normal
// IEEE number and zero have an exact PIC twin, and every PIC number with an exponent below 255.

#include <cstdint>
#include <string>

namespace kiv {

/// Why a value has no exact encoding.
enum TFloatStatus {
    fsOk,          ///< encoded
    fsNotANumber,  ///< NaN, which the format cannot hold
    fsInfinite,    ///< an infinity, which the format cannot hold
    fsOverflow,    ///< beyond the largest number of the format
    fsUnderflow,   ///< not zero, but nearer zero than the smallest number of the format
};

/// The value of a PIC float.
double PicFloatToDouble(uint32_t bits);
/// The PIC float nearest to `value` (ties to even). Zero of either sign gives 0.
TFloatStatus DoubleToPicFloat(double value, uint32_t *bits);

/// The value of an IEEE 754 single.
double IeeeToDouble(uint32_t bits);
/// The single nearest to `value` (ties to even); NaN and infinities are kept as such.
/// fsOverflow when a finite value rounds to infinity, fsUnderflow when a value that is not zero
/// rounds to zero.
TFloatStatus DoubleToIeee(double value, uint32_t *bits);

/// The PIC float of the same number as an IEEE single; fails for NaN and infinities, and with
/// fsUnderflow for denormal numbers.
TFloatStatus IeeeToPicFloat(uint32_t ieee, uint32_t *pic);
/// The IEEE single of the same number as a PIC float; fails with fsOverflow for exponent 255.
TFloatStatus PicFloatToIeee(uint32_t pic, uint32_t *ieee);

/// The shortest decimal text that reads back as the same IEEE single ("1.5", "1e-07", "-0",
/// "NaN", "Infinity", "-Infinity").
std::string IeeeText(uint32_t bits);
/// The shortest decimal text that reads back as the same PIC float.
std::string PicFloatText(uint32_t bits);
/// Scientific notation with at most 8 significant digits and an exponent of at least two digits
/// ("1.5E+00", "-3.1415927E-05").
std::string ScientificText(double value);

}  // namespace kiv
