// Hand-written programs for each feature of the language, compiled by vync, built by gpasm and
// gplink, run in gpsim to the end of main, and checked variable by variable.

#include "vync_runner.h"

#include <gtest/gtest.h>

#include <iostream>

#include <string>
#include <vector>

using kiv::vynctest::TRunResult;
using kiv::vynctest::TVyncRunner;

namespace {

struct TExpect {
    const char *name;
    long long value;
    bool isSigned = false;
};

struct TProgramCase {
    const char *title;
    const char *part;
    const char *body;
    std::vector<TExpect> expect;
};

bool GputilsAvailable()
{
    std::string out;
    return kiv::vynctest::Shell("gpasm -v && gpsim -v", &out) == 0;
}

std::string Source(const TProgramCase &c)
{
    return std::string("#device ") + c.part + "\n#fuses NOWDT\n" + c.body;
}

const std::vector<TProgramCase> &Cases()
{
    static const std::vector<TProgramCase> cases = {
        {"arithmetic of every width", "PIC16F877A", R"(
int8 a, b, q8, r8; int16 c, d, q16, r16; int32 e, f, q32, r32;
signed int8 sa; signed int16 sc; signed int32 se;
void main() {
   a = 200; b = 7;
   q8 = a / b; r8 = a % b;
   c = 60000; d = 123;
   q16 = c / d; r16 = c % d;
   e = 4000000000; f = 65537;
   q32 = e / f; r32 = e % f;
   sa = -100; sa = sa / 7;
   sc = -30000; sc = sc * 2 / 3;
   se = -123456789; se = se / 1000 + se % 1000;
   a = a * b;
   c = c + d * 3 - 1;
   e = e + f;
}
)",
         {{"q8", 28}, {"r8", 4}, {"q16", 487}, {"r16", 99}, {"q32", 61034}, {"r32", 14742}, {"sa", -14, true},
          {"sc", 1845, true}, {"se", -123456 - 789, true}, {"a", 200 * 7 % 256}, {"c", (60000 + 369 - 1) % 65536},
          {"e", 4000065537LL % 4294967296LL}}},
        {"constants folded with wrap-around (no signed overflow in the compiler)", "PIC16F877A", R"(
int32 w1, w2; int16 w3;
void main() {
   w1 = 0xFFFFFFFF * 0xFFFFFFFF;
   w2 = 4000000000 + 4000000000;
   w3 = 0xFFFF * 0xFFFF;
}
)",
         {{"w1", 1}, {"w2", 8000000000LL % 4294967296LL}, {"w3", 1}}},
        {"comparisons, signed and unsigned", "PIC16F877A", R"(
int8 r1, r2, r3, r4, r5, r6, r7, r8;
signed int8 x = -5; int8 y = 250; signed int16 sx = -300; int16 uy = 40000; int32 big = 3000000000;
signed int32 sbig = -2;
void main() {
   r1 = x < 3;
   r2 = y > 100;
   r3 = sx < 5;
   r4 = uy > 30000;
   r5 = big > 2000000000;
   r6 = sbig < 0;
   r7 = (x == -5) && (y != 3);
   r8 = (sx >= -300) + (sx <= -301) * 2 + (uy == 40000) * 4;
}
)",
         {{"r1", 1}, {"r2", 1}, {"r3", 1}, {"r4", 1}, {"r5", 1}, {"r6", 1}, {"r7", 1}, {"r8", 5}}},
        {"shifts", "PIC16F877A", R"(
int8 a = 0x81, n = 3; int16 b = 0x1234; signed int16 c = -1000; int32 d = 0x12345678;
int8 r1, r2; int16 r3, r4, r5; int32 r6, r7; signed int16 r8;
void main() {
   r1 = a << 1; r2 = a >> n;
   r3 = b << 4; r4 = b >> 9; r5 = b << n;
   r6 = d >> 12; r7 = d << 20;
   r8 = c >> 3;
}
)",
         {{"r1", 0x02}, {"r2", 0x10}, {"r3", 0x2340}, {"r4", 0x09}, {"r5", 0x91A0}, {"r6", 0x12345}, {"r7", 0x67800000},
          {"r8", -125, true}}},
        {"loops, switch, break and continue", "PIC16F877A", R"(
int8 sum, count, odd, w; int16 total;
void main() {
   int8 i;
   sum = 0;
   for (i = 0; i < 10; i++) sum += i;
   count = 0;
   while (1) { count++; if (count == 7) break; }
   odd = 0; i = 0;
   do { i++; if (i & 1) continue; odd++; } while (i < 9);
   total = 0;
   for (i = 0; i < 6; ++i) {
      switch (i) {
      case 0: total += 1; break;
      case 1: case 2: total += 10; break;
      case 4: total += 100;
      default: total += 1000; break;
      }
   }
   w = 3 > 2 ? 11 : 22;
}
)",
         {{"sum", 45}, {"count", 7}, {"odd", 4}, {"total", 1 + 10 + 10 + 1000 + 1100 + 1000}, {"w", 11}}},
        {"arrays, pointers and structures", "PIC16F877A", R"(
struct point { int8 x; int16 y; signed int8 z; };
struct point pts[4];
int8 grid[3][4];
int16 words[5];
int8 s1, s2; int16 s3; signed int8 s4;
struct point *p;
int8 *q;
void fill(struct point *t, int8 n) { t->x = n; t->y = (int16)n * 100; t->z = -n; }
void main() {
   int8 i, j;
   for (i = 0; i < 4; i++) fill(&pts[i], i + 1);
   for (i = 0; i < 3; i++) for (j = 0; j < 4; j++) grid[i][j] = i * 10 + j;
   for (i = 0; i < 5; i++) words[i] = 1000 + i;
   p = pts + 2;
   s1 = p->x + grid[2][3];
   q = &grid[1][0];
   s2 = q[2] + *(q + 3);
   s3 = words[i - 1] + pts[3].y;
   s4 = pts[1].z + p->z;
   pts[0] = pts[3];
}
)",
         {{"s1", 3 + 23}, {"s2", 12 + 13}, {"s3", 1004 + 400}, {"s4", -5, true}}},
        {"bits, bit fields and int1", "PIC16F877A", R"(
int1 f1, f2, f3;
struct flags { int8 a : 3; int8 b : 4; int1 c; };
struct flags fl;
int8 r1, r2, r3, v = 0x5A;
#bit v3 = v.3
void main() {
   f1 = 1; f2 = 0;
   f3 = f1 && !f2;
   fl.a = 5; fl.b = 9; fl.c = 1;
   r1 = fl.a + fl.b + fl.c;
   r2 = f3 ? 7 : 8;
   v3 = 0;
   r3 = v;
   if (f1) r3++;
}
)",
         {{"f1", 1}, {"f2", 0}, {"f3", 1}, {"r1", 15}, {"r2", 7}, {"r3", 0x53}}},
        {"constant tables and strings in program memory", "PIC16F877A", R"(
const int8 table[8] = {3, 1, 4, 1, 5, 9, 2, 6};
const int16 big[3] = {1000, 2000, 3000};
const char text[] = "HELLO";
int8 t1, t2, len; int16 t3;
void main() {
   int8 i;
   t1 = table[5];
   i = 7;
   t2 = table[i] + table[i - 6];
   t3 = big[2] + big[i - 6];
   len = 0;
   while (text[len] != 0) len++;
}
)",
         {{"t1", 9}, {"t2", 7}, {"t3", 5000}, {"len", 5}}},
        {"functions, parameters, overlaid locals", "PIC16F877A", R"(
int16 square(int8 x) { int16 r; r = x; return r * r; }
int8 max3(int8 a, int8 b, int8 c) { int8 m = a; if (b > m) m = b; if (c > m) m = c; return m; }
int32 mix(int16 a, int32 b) { return b - a; }
int16 r1; int8 r2; int32 r3;
void main() {
   r1 = square(12) + square(3);
   r2 = max3(4, 90, 17);
   r3 = mix(square(100), 70000);
}
)",
         {{"r1", 153}, {"r2", 90}, {"r3", 60000}}},
        {"compound assignments and increments", "PIC16F877A", R"(
int8 a = 10, b; int16 c = 1000; int32 d = 5; signed int8 s = 3;
int8 arr[4] = {1, 2, 3, 4}; int8 *p;
void main() {
   a += 5; a *= 3; a -= 1; a /= 2; a %= 9; a <<= 2; a |= 1; a ^= 0xFF; a &= 0x3F;
   c *= 7; c >>= 1; c++;
   d <<= 8; d += c; --d;
   s -= 10; s *= -2;
   p = arr; p++; *p += 10; p[1] *= 3;
   b = a++;
   b += ++a;
}
)",
         {{"a", 48}, {"c", 3501}, {"d", 5 * 256 + 3501 - 1}, {"s", 14, true}, {"arr", 0x04090C01}, {"b", 46 + 48}}},
        {"enumerations, typedefs, sizeof, comma", "PIC16F877A", R"(
typedef int16 word;
enum color { RED, GREEN = 5, BLUE };
struct pair { word a; int8 b; };
word w; int8 s1, s2, e; int8 c;
void main() {
   w = BLUE * 1000;
   s1 = sizeof(struct pair);
   s2 = sizeof(w) + sizeof(int32);
   e = GREEN;
   c = (e++, e + 1);
}
)",
         {{"w", 6000}, {"s1", 3}, {"s2", 6}, {"e", 6}, {"c", 7}}},
        {"variables in every bank", "PIC16F877A", R"(
int8 fill0[70]; int8 fill1[80]; int8 fill2[90]; int8 far3[40];
int16 sum; int8 last;
void main() {
   int8 i;
   for (i = 0; i < 40; i++) far3[i] = i;
   for (i = 0; i < 80; i++) fill1[i] = 2;
   sum = 0;
   for (i = 0; i < 40; i++) sum += far3[i] + fill1[i];
   last = far3[39];
}
)",
         {{"sum", 780 + 80}, {"last", 39}}},
        {"enhanced core: banks, arithmetic, tables", "PIC16F1825", R"(
int8 bank0[60]; int8 far[70]; int32 x = 123456; int16 y; signed int16 z = -77;
const int8 tbl[4] = {10, 20, 30, 40};
int8 r;
void main() {
   int8 i;
   for (i = 0; i < 70; i++) far[i] = i;
   y = (int16)far[69] * 100 + tbl[i & 3];
   x = x * 3 / 7 + z;
   r = far[3] < far[4];
}
)",
         {{"y", 6930}, {"x", 123456 * 3 / 7 - 77}, {"r", 1}}},
        {"interrupt from timer 0", "PIC16F877A", R"(
#byte INTCON = 0x0B
#byte OPTION_REG = 0x81
#byte TMR0 = 0x01
int8 ticks; int16 spins;
#int_rtcc
void tick_isr() { ticks++; }
void main() {
   ticks = 0; spins = 0;
   OPTION_REG = 0x88;      // internal clock, no prescaler
   TMR0 = 0;
   INTCON = 0xA0;          // GIE, T0IE
   while (ticks < 5) spins++;
   INTCON = 0;
}
)",
         {{"ticks", 5}}},
    };
    return cases;
}

class VyncProgram : public ::testing::TestWithParam<std::size_t> {};

TEST_P(VyncProgram, RunsInGpsim)
{
    if (!GputilsAvailable())
        GTEST_SKIP() << "gputils and gpsim are not installed (the setup step installs them)";
    const TProgramCase &c = Cases()[GetParam()];
    TVyncRunner runner;
    const TRunResult r = runner.Run(Source(c));
    ASSERT_TRUE(r.compiled) << c.title << "\n" << r.messages;
    ASSERT_TRUE(r.built) << c.title << "\n" << r.messages;
    ASSERT_TRUE(r.finished) << c.title << "\n" << r.messages;
    // The code size table of the compiler's notes.
    std::cout << "[ ROM      ] " << r.report.romUsed << " words, " << r.report.ramUsed << " RAM bytes: " << c.title << " ("
              << c.part << ")\n";
    for (const TExpect &e : c.expect) {
        std::int64_t v = 0;
        ASSERT_TRUE(r.Value(e.name, &v, e.isSigned)) << c.title << ": no variable " << e.name;
        EXPECT_EQ(v, e.value) << c.title << ": " << e.name << " (folder " << r.folder << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Features, VyncProgram, ::testing::Range<std::size_t>(0, Cases().size()));

// Delays measured with timer 1 counting instruction cycles: a constant delay takes exactly its
// time (the help page states no call overhead), at 20 MHz and at 4 MHz, on both cores.
struct TDelayCase {
    const char *part;
    const char *clock;
    const char *call;
    long long cycles;
};

TEST(VyncDelay, TakesItsTimeToTheCycle)
{
    if (!GputilsAvailable())
        GTEST_SKIP() << "gputils and gpsim are not installed (the setup step installs them)";
    const TDelayCase cases[] = {
        {"PIC16F877A", "20000000", "delay_ms(1)", 5000},      {"PIC16F877A", "20000000", "delay_us(100)", 500},
        {"PIC16F877A", "20000000", "delay_ms(10)", 50000},    {"PIC16F877A", "4000000", "delay_ms(1)", 1000},
        {"PIC16F877A", "20000000", "delay_cycles(7)", 7},     {"PIC16F877A", "4000000", "delay_us(3)", 3},
        {"PIC16F1825", "16000000", "delay_ms(1)", 4000},      {"PIC16F1825", "16000000", "delay_us(250)", 1000},
    };
    for (const TDelayCase &c : cases) {
        SCOPED_TRACE(std::string(c.part) + " " + c.clock + " " + c.call);
        const bool enhanced = std::string(c.part) == "PIC16F1825";
        const std::string t1 = enhanced ? "0x18" : "0x10", tl = enhanced ? "0x16" : "0x0E", th = enhanced ? "0x17" : "0x0F";
        const std::string source = std::string("#device ") + c.part + "\n#use delay(clock=" + c.clock + ")\n" +
                                   "#byte T1CON = " + t1 + "\n#byte TMR1L = " + tl + "\n#byte TMR1H = " + th + "\n" +
                                   "int8 fill[70];\nint16 bare, timed;\n"
                                   "void main() {\n"
                                   "   T1CON = 0; TMR1L = 0; TMR1H = 0; T1CON = 1;\n   T1CON = 0;\n"
                                   "   bare = make16(TMR1H, TMR1L);\n"
                                   "   TMR1L = 0; TMR1H = 0; T1CON = 1;\n   " + c.call + ";\n   T1CON = 0;\n"
                                   "   timed = make16(TMR1H, TMR1L);\n   fill[0] = 1;\n}\n";
        TVyncRunner runner;
        const TRunResult r = runner.Run(source);
        ASSERT_TRUE(r.finished) << r.messages;
        std::int64_t bare = 0, timed = 0;
        ASSERT_TRUE(r.Value("bare", &bare));
        ASSERT_TRUE(r.Value("timed", &timed));
        EXPECT_EQ(timed - bare, c.cycles);
    }
}

}  // namespace
