#include "picfloat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kiv {

namespace {

constexpr uint32_t kMantissaMask = 0x7FFFFF;

float FloatOf(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

uint32_t BitsOf(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// The shortest "%.Ng" text whose value encodes to `bits` again through `encode`.
template <typename Encode>
std::string ShortestText(double value, uint32_t bits, Encode encode)
{
    char text[64];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        uint32_t again = 0;
        if (encode(std::strtod(text, nullptr), &again) == fsOk && again == bits)
            return text;
    }
    return text;
}

}  // namespace

double PicFloatToDouble(uint32_t bits)
{
    const int exponent = int(bits >> 24);
    if (exponent == 0)
        return 0.0;
    const double mantissa = 1.0 + double(bits & kMantissaMask) / double(1u << 23);
    const double magnitude = std::ldexp(mantissa, exponent - 127);
    return (bits & 0x800000) ? -magnitude : magnitude;
}

TFloatStatus DoubleToPicFloat(double value, uint32_t *bits)
{
    if (std::isnan(value))
        return fsNotANumber;
    if (std::isinf(value))
        return fsInfinite;
    if (value == 0.0) {
        *bits = 0;
        return fsOk;
    }
    const bool negative = std::signbit(value);
    int e = 0;
    const double fraction = std::frexp(std::fabs(value), &e);   // [0.5, 1) * 2^e
    // 24 significant bits, rounded to nearest with ties to even (the default rounding mode).
    double mantissa = std::nearbyint(std::ldexp(fraction, 24));
    if (mantissa >= double(1u << 24)) {
        mantissa /= 2;
        ++e;
    }
    const int exponent = e - 1 + 127;
    if (exponent > 255)
        return fsOverflow;
    if (exponent < 1) {
        // Half the smallest number rounds up to it; anything nearer zero has no encoding.
        if (exponent == 0 && mantissa > double(1u << 23)) {
            *bits = (1u << 24) | (negative ? 0x800000u : 0u);
            return fsOk;
        }
        return fsUnderflow;
    }
    *bits = (uint32_t(exponent) << 24) | (negative ? 0x800000u : 0u)
          | (uint32_t(mantissa) & kMantissaMask);
    return fsOk;
}

double IeeeToDouble(uint32_t bits)
{
    return double(FloatOf(bits));
}

TFloatStatus DoubleToIeee(double value, uint32_t *bits)
{
    const float f = float(value);
    if (std::isinf(f) && !std::isinf(value))
        return fsOverflow;
    if (f == 0.0f && value != 0.0)
        return fsUnderflow;
    *bits = BitsOf(f);
    return fsOk;
}

TFloatStatus IeeeToPicFloat(uint32_t ieee, uint32_t *pic)
{
    const uint32_t exponent = (ieee >> 23) & 0xFF;
    const uint32_t mantissa = ieee & kMantissaMask;
    if (exponent == 0xFF)
        return mantissa ? fsNotANumber : fsInfinite;
    if (exponent == 0) {
        if (mantissa)
            return fsUnderflow;
        *pic = 0;
        return fsOk;
    }
    *pic = (exponent << 24) | ((ieee >> 31) << 23) | mantissa;
    return fsOk;
}

TFloatStatus PicFloatToIeee(uint32_t pic, uint32_t *ieee)
{
    const uint32_t exponent = pic >> 24;
    if (exponent == 0) {
        *ieee = 0;
        return fsOk;
    }
    if (exponent == 0xFF)
        return fsOverflow;
    *ieee = (((pic >> 23) & 1u) << 31) | (exponent << 23) | (pic & kMantissaMask);
    return fsOk;
}

std::string IeeeText(uint32_t bits)
{
    const float f = FloatOf(bits);
    if (std::isnan(f))
        return "NaN";
    if (std::isinf(f))
        return f < 0 ? "-Infinity" : "Infinity";
    if (f == 0.0f)
        return std::signbit(f) ? "-0" : "0";
    return ShortestText(double(f), bits, DoubleToIeee);
}

std::string PicFloatText(uint32_t bits)
{
    if ((bits >> 24) == 0)
        return "0";
    return ShortestText(PicFloatToDouble(bits), bits, DoubleToPicFloat);
}

std::string ScientificText(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.7E", value);
    // Trailing zeros of the mantissa go, and its point when nothing follows it.
    std::string s = text;
    const size_t e = s.find('E');
    if (e == std::string::npos)
        return s;
    size_t end = e;
    while (end > 0 && s[end - 1] == '0')
        --end;
    if (end > 0 && s[end - 1] == '.')
        --end;
    return s.substr(0, end) + s.substr(e);
}

}  // namespace kiv
