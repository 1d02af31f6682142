#include "picfloat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace kiv;

namespace {

uint32_t IeeeBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

struct TPicCase {
    uint32_t bits;
    double value;
};

// Exponent byte first, then the sign bit and 23 mantissa bits.
const TPicCase kPicCases[] = {
    {0x00000000, 0.0},
    {0x00FFFFFF, 0.0},                     // exponent 0 is zero whatever the rest says
    {0x7F000000, 1.0},
    {0x7F800000, -1.0},
    {0x7F400000, 1.5},
    {0x80000000, 2.0},
    {0x8048F5C3, 3.1400001049041748046875},
    {0x7D4CCCCD, 0.4000000059604644775390625},
    {0x01000000, std::ldexp(1.0, -126)},   // the smallest number
    {0xFF7FFFFF, std::ldexp(double(0xFFFFFF), 128 - 23)},   // the largest, past IEEE's range
    {0xFFFFFFFF, -std::ldexp(double(0xFFFFFF), 128 - 23)},
};

}  // namespace

TEST(PicFloat, DecodesAndEncodesTheTable)
{
    for (const TPicCase &c : kPicCases) {
        EXPECT_EQ(PicFloatToDouble(c.bits), c.value) << std::hex << c.bits;
        uint32_t again = 0xDEADBEEF;
        ASSERT_EQ(DoubleToPicFloat(c.value, &again), fsOk) << std::hex << c.bits;
        EXPECT_EQ(again, (c.bits >> 24) == 0 ? 0u : c.bits) << std::hex << c.bits;
    }
}

TEST(PicFloat, RoundsToNearestAndRefusesWhatItCannotHold)
{
    uint32_t bits = 0;
    // 1 + 2^-24 is half-way between 1 and the next number: ties go to the even mantissa.
    ASSERT_EQ(DoubleToPicFloat(1.0 + std::ldexp(1.0, -24), &bits), fsOk);
    EXPECT_EQ(bits, 0x7F000000u);
    ASSERT_EQ(DoubleToPicFloat(1.0 + 3 * std::ldexp(1.0, -24), &bits), fsOk);
    EXPECT_EQ(bits, 0x7F000002u);
    // A mantissa that rounds up past 24 bits moves to the next exponent.
    ASSERT_EQ(DoubleToPicFloat(2.0 - std::ldexp(1.0, -30), &bits), fsOk);
    EXPECT_EQ(bits, 0x80000000u);
    // Just above half the smallest number rounds up to it.
    ASSERT_EQ(DoubleToPicFloat(std::ldexp(1.0, -127) * 1.5, &bits), fsOk);
    EXPECT_EQ(bits, 0x01000000u);
    EXPECT_EQ(DoubleToPicFloat(std::ldexp(1.0, -128), &bits), fsUnderflow);
    EXPECT_EQ(DoubleToPicFloat(std::ldexp(1.0, 129), &bits), fsOverflow);
    EXPECT_EQ(DoubleToPicFloat(NAN, &bits), fsNotANumber);
    EXPECT_EQ(DoubleToPicFloat(-INFINITY, &bits), fsInfinite);
    ASSERT_EQ(DoubleToPicFloat(-0.0, &bits), fsOk);
    EXPECT_EQ(bits, 0u);
}

TEST(PicFloat, TwinsOfIeeeSingles)
{
    struct TTwin {
        float value;
        TFloatStatus toPic;
    };
    const TTwin twins[] = {
        {1.0f, fsOk}, {-1.0f, fsOk}, {3.14f, fsOk}, {0.0f, fsOk}, {1e-30f, fsOk},
        {3.4028235e38f, fsOk}, {1.17549435e-38f, fsOk},
        {1e-40f, fsUnderflow}, {INFINITY, fsInfinite}, {NAN, fsNotANumber},
    };
    for (const TTwin &t : twins) {
        uint32_t pic = 0;
        EXPECT_EQ(IeeeToPicFloat(IeeeBits(t.value), &pic), t.toPic) << t.value;
        if (t.toPic != fsOk)
            continue;
        EXPECT_EQ(PicFloatToDouble(pic), double(t.value)) << t.value;
        uint32_t ieee = 0;
        ASSERT_EQ(PicFloatToIeee(pic, &ieee), fsOk);
        EXPECT_EQ(ieee, IeeeBits(t.value)) << t.value;
    }
    uint32_t ieee = 0;
    EXPECT_EQ(PicFloatToIeee(0xFF000000, &ieee), fsOverflow);
    // -0 has no PIC twin of its own: it becomes the one zero.
    uint32_t pic = 1;
    ASSERT_EQ(IeeeToPicFloat(0x80000000, &pic), fsOk);
    EXPECT_EQ(pic, 0u);
}

TEST(PicFloat, TextsReadBackAsTheSameNumber)
{
    EXPECT_EQ(IeeeText(IeeeBits(1.5f)), "1.5");
    EXPECT_EQ(IeeeText(IeeeBits(0.1f)), "0.1");
    EXPECT_EQ(IeeeText(0x80000000), "-0");
    EXPECT_EQ(IeeeText(0x7FC00000), "NaN");
    EXPECT_EQ(IeeeText(0xFF800000), "-Infinity");
    EXPECT_EQ(IeeeText(0x00000001), "1e-45");
    EXPECT_EQ(PicFloatText(0x8048F5C3), "3.14");
    EXPECT_EQ(PicFloatText(0x00123456), "0");
    EXPECT_EQ(PicFloatText(0xFF7FFFFF), "6.805647e+38");

    // Every sampled pattern reads back to itself.
    uint32_t x = 12345;
    for (int n = 0; n < 20000; ++n) {
        x = x * 1664525u + 1013904223u;
        uint32_t again = 0;
        const float f = [&] { float v; std::memcpy(&v, &x, 4); return v; }();
        if (!std::isnan(f)) {
            ASSERT_EQ(DoubleToIeee(std::strtod(IeeeText(x).c_str(), nullptr), &again), fsOk) << std::hex << x;
            EXPECT_EQ(again, x) << IeeeText(x);
        }
        if ((x >> 24) != 0) {
            ASSERT_EQ(DoubleToPicFloat(std::strtod(PicFloatText(x).c_str(), nullptr), &again), fsOk);
            EXPECT_EQ(again, x) << PicFloatText(x);
        }
    }
}

TEST(PicFloat, ScientificTextHasAtMostEightDigits)
{
    EXPECT_EQ(ScientificText(1.5), "1.5E+00");
    EXPECT_EQ(ScientificText(0.0), "0E+00");
    EXPECT_EQ(ScientificText(-3.14159265358979), "-3.1415927E+00");
    EXPECT_EQ(ScientificText(0.000123), "1.23E-04");
    EXPECT_EQ(ScientificText(6.02e23), "6.02E+23");
    EXPECT_EQ(ScientificText(99999999.9), "1E+08");
}
