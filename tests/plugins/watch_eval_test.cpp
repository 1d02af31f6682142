// Expression evaluation of the watch library over a RAM image, with a COFF file written by the
// test that carries C types: precedence, overflow, division by zero, unknown names, bad syntax,
// formats, arrays, structs, pointers, scopes and assignments.

#include "coff_writer.h"
#include "processor_info.h"
#include "watch_eval.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kiv {
namespace {

using test::TCoffWriter;

constexpr std::uint32_t kPtr = 1u << 5;     // DT_PTR in the newer format
constexpr std::uint32_t kFcn = 2u << 5;     // DT_FCN
constexpr std::uint32_t kAry = 3u << 5;     // DT_ARY

// A program of one C file: variables of each type, a struct, a function with a local that
// hides a global of the same name.
std::vector<std::uint8_t> TypedProgram()
{
    TCoffWriter w;
    w.sections.push_back({".udata", 0x20, 0x40, coff::STYP_BSS, {}, {}});
    TCoffWriter::TSection code{".code", 0, 12, coff::STYP_TEXT, {}, {}};
    code.data = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x30, 0x08, 0x00, 0x08, 0x00};
    w.sections.push_back(code);
    const std::uint32_t file = w.AddFile("main.c");
    w.sections[1].lines = {{file, 10, 0}, {file, 11, 1}, {file, 20, 3}, {file, 21, 4}};

    auto var = [&](const char *name, std::uint32_t address, std::uint32_t type, std::uint8_t cls = coff::C_EXT,
                   std::vector<std::vector<std::uint8_t>> aux = {}) {
        return w.Add({name, address, 1, type, cls, std::move(aux)});
    };
    var("count", 0x20, coff::T_UCHAR);
    var("temp", 0x22, coff::T_SHORT);
    var("big", 0x24, coff::T_LONG);
    var("ubig", 0x28, coff::T_ULONG);
    var("flt", 0x2C, coff::T_FLOAT);
    var("arr", 0x30, coff::T_SHORT | kAry, coff::C_EXT, {TCoffWriter::Aux(0, 8, {4})});
    // struct point { int8 x; int16 y; }
    const std::uint32_t tag = w.Add({"point", 0, -2, coff::T_STRUCT, coff::C_STRTAG, {TCoffWriter::Aux(0, 3)}});
    w.Add({"x", 0, -2, coff::T_CHAR, coff::C_MOS, {}});
    w.Add({"y", 1, -2, coff::T_SHORT, coff::C_MOS, {}});
    w.Add({".eos", 3, -2, 0, coff::C_EOS, {TCoffWriter::Aux(tag, 3)}});
    var("pt", 0x38, coff::T_STRUCT, coff::C_EXT, {TCoffWriter::Aux(tag, 3)});
    var("raw", 0x40, coff::T_NULL, coff::C_STAT);
    var("ptr", 0x44, coff::T_UCHAR | kPtr);
    var("msg", 0x46, coff::T_CHAR | kAry, coff::C_EXT, {TCoffWriter::Aux(0, 8, {8})});
    var("cnt", 0x51, coff::T_UCHAR);
    var("flag", 0x52, coff::T_UCHAR);
    w.Add({"main", 0, 2, coff::T_VOID | kFcn, coff::C_EXT, {}});
    w.Add({"f", 3, 2, coff::T_VOID | kFcn, coff::C_EXT, {}});
    w.Add({".bf", 3, 2, 0, coff::C_FCN, {}});
    var("cnt", 0x50, coff::T_UCHAR, coff::C_STAT);
    w.Add({".ef", 5, 2, 0, coff::C_FCN, {}});
    w.Add({"LIMIT", 100, -1, 0, coff::C_EXT, {}});
    w.Add({".eof", 0, -2, 0, coff::C_EOF, {}});
    return w.Bytes();
}

class WatchEvalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::vector<std::uint8_t> bytes = TypedProgram();
        TCoffFile coff;
        ASSERT_TRUE(coff.Parse(bytes)) << coff.Error();
        m_info.FromCoff(coff, "/tmp/typed.cof");
        m_sfrs = {{"STATUS", 3}, {"PORTB", 6}};
        ResetRam();
    }

    void ResetRam()
    {
        m_ram.assign(512, 0);
        m_ram[6] = 0x5A;                                   // PORTB
        m_ram[0x20] = 200;                                 // count
        Put(0x22, static_cast<std::uint16_t>(-100), 2);   // temp
        Put(0x24, static_cast<std::uint32_t>(-70000), 4); // big
        Put(0x28, 0xFFFFFFF0u, 4);                         // ubig
        float f = 3.25f;
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        Put(0x2C, bits, 4);                                // flt
        Put(0x30, 1, 2);                                   // arr
        Put(0x32, static_cast<std::uint16_t>(-2), 2);
        Put(0x34, 300, 2);
        Put(0x36, 4, 2);
        m_ram[0x38] = 0xFF;                                // pt.x = -1
        Put(0x39, 1000, 2);                                // pt.y
        m_ram[0x40] = 0x11;                                // raw
        m_ram[0x41] = 0x22;
        Put(0x44, 0x20, 2);                                // ptr = &count
        std::memcpy(&m_ram[0x46], "Hi!", 4);               // msg
        m_ram[0x50] = 7;                                   // f's cnt
        m_ram[0x51] = 9;                                   // global cnt
    }

    void Put(std::size_t at, std::uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            m_ram[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }

    std::string Eval(const std::string &expression, int line = 11)
    {
        watch::TEvalContext context;
        context.info = &m_info;
        context.sfrs = &m_sfrs;
        context.file = 0;
        context.line = line;
        context.memory = [this](std::uint32_t address, std::uint32_t count, std::uint8_t **data) {
            if (count == 0 || address + count > m_ram.size())
                return false;
            *data = &m_ram[address];
            return true;
        };
        return watch::Evaluate(context, expression);
    }

    TDebugInfo m_info;
    std::vector<watch::TSfr> m_sfrs;
    std::vector<std::uint8_t> m_ram;
};

struct TEvalCase {
    const char *expression;
    const char *expected;
};

TEST_F(WatchEvalTest, ExpressionTable)
{
    const TEvalCase cases[] = {
        // numbers and precedence
        {"1+2*3", "7 (0x07)"},
        {"(1+2)*3", "9 (0x09)"},
        {"2*3+4*5-6/2", "23 (0x17)"},
        {"1 + 2 << 3", "24 (0x18)"},
        {"1 | 2 ^ 3 & 4", "3 (0x03)"},
        {"5 > 3 == 1", "1 (0x01)"},
        {"0x10 + 0b11 + 017 + 'A'", "99 (0x63)"},
        {"-7 / 2", "-3 (0xFFFFFFFD)"},
        {"-7 % 2", "-1 (0xFFFFFFFF)"},
        {"~0", "-1 (0xFFFFFFFF)"},
        {"!5", "0 (0x00)"},
        {"-16 >> 2", "-4 (0xFFFFFFFC)"},
        {"0xF0 >> 4", "15 (0x0F)"},
        {"3 == 3 ? 10 : 20", "10 (0x0A)"},
        {"0 ? 10 : 2 ? 20 : 30", "20 (0x14)"},
        // overflow wraps as 32-bit C arithmetic does
        {"0x7FFFFFFF + 1", "-2147483648 (0x80000000)"},
        {"0xFFFFFFFF + 1", "0 (0x00)"},
        {"1 << 31", "-2147483648 (0x80000000)"},
        {"65536 * 65536", "0 (0x00)"},
        {"-2147483647 - 2", "2147483647 (0x7FFFFFFF)"},
        {"0u - 1 > 0", "1 (0x01)"},
        {"-1 < 0u", "0 (0x00)"},
        // short circuits leave the other side alone
        {"0 && 1/0", "0 (0x00)"},
        {"1 || 1/0", "1 (0x01)"},
        {"1 ? 5 : 1/0", "5 (0x05)"},
        {"0 && nosuch", "0 (0x00)"},
        // failures
        {"10 / 0", "ERROR: division by zero"},
        {"10 % (count - 200)", "ERROR: remainder of a division by zero"},
        {"1.5 / 0", "ERROR: division by zero"},
        {"nosuch + 1", "ERROR: unknown name 'nosuch'"},
        {"1 +", "ERROR: the expression ends too early"},
        {"(1 + 2", "ERROR: expected ')' at the end"},
        {"1 2", "ERROR: unexpected '2' at column 3"},
        {"1 $ 2", "ERROR: unexpected character '$' at column 3"},
        {"0x", "ERROR: bad number '0x' at column 1"},
        {"0x100000000", "ERROR: the number 0x100000000 does not fit in 32 bits"},
        {"1 << 32", "ERROR: the shift count 32 is out of range (0 to 31)"},
        {"1.5 % 2", "ERROR: the operator % needs integer operands"},
        {"", "ERROR: the expression is empty"},
        {"count,q", "ERROR: unknown display format ',q' (use ,h ,b ,c ,s ,d or ,.N)"},
        {"5 = 3", "ERROR: the left side of '=' at column 3 must be a variable"},
        {"*0x300", "ERROR: cannot read 1 byte of RAM at 0x300"},
        {"pt", "{x=-1, y=1000}"},
        {"pt + 1", "ERROR: pt is a struct; name one of its members"},
        {"pt.z", "ERROR: pt has no member 'z'"},
        {"count.x", "ERROR: count is not a struct (its type is int8)"},
        // variables with their C types
        {"count", "200 (0xC8)"},
        {"temp", "-100 (0xFF9C)"},
        {"big", "-70000 (0xFFFEEE90)"},
        {"ubig", "4294967280 (0xFFFFFFF0)"},
        {"ubig + 0x20", "16 (0x00000010)"},
        {"temp * 2", "-200 (0xFF38)"},
        {"count + 100", "300 (0x012C)"},
        {"flt", "3.25"},
        {"flt * 2 + 1", "7.5"},
        {"arr", "{1, -2, 300, 4}"},
        {"arr[2]", "300 (0x012C)"},
        {"arr[1] * 3", "-6 (0xFFFA)"},
        {"pt.y", "1000 (0x03E8)"},
        {"pt.x", "-1 (0xFF)"},
        {"raw", "17 (0x11)"},
        {"raw[1]", "34 (0x22)"},
        {"count[0]", "200 (0xC8)"},
        {"ptr", "0x0020"},
        {"*ptr", "200 (0xC8)"},
        {"ptr[0] + 1", "201 (0xC9)"},
        {"&count", "0x0020"},
        {"&arr[2]", "0x0034"},
        {"*&temp", "-100 (0xFF9C)"},
        {"*(int16 *)&arr[2]", "300 (0x012C)"},
        {"(signed int8)count", "-56 (0xC8)"},
        {"(int16)count", "200 (0x00C8)"},
        {"(int32)temp", "4294967196 (0xFFFFFF9C)"},
        {"(signed int32)temp", "-100 (0xFFFFFF9C)"},
        {"sizeof(arr)", "8 (0x08)"},
        {"sizeof pt", "3 (0x03)"},
        {"sizeof(int32)", "4 (0x04)"},
        {"PORTB", "90 (0x5A)"},
        {"portb & 0x0F", "10 (0x0A)"},
        {"LIMIT - count", "-100 (0x9C)"},
        // display formats
        {"count,h", "0xC8"},
        {"count,b", "0b11001000"},
        {"count,d", "200"},
        {"temp,h", "0xFF9C"},
        {"'A',c", "'A'"},
        {"10,c", "'\\n'"},
        {"msg,s", "\"Hi!\""},
        {"msg", "{72, 105, 33, 0, 0, 0, 0, 0}"},
        {"arr,h", "{0x0001, 0xFFFE, 0x012C, 0x0004}"},
        {"flt,.2", "3.25"},
        {"count,.1", "200.0"},
        {"(1,2)", "ERROR: expected ')' at column 3"},
    };
    for (const TEvalCase &c : cases) {
        ResetRam();
        EXPECT_EQ(Eval(c.expression), c.expected) << "expression: " << c.expression;
    }
}

TEST_F(WatchEvalTest, ScopeOfTheLineChoosesBetweenLocalAndGlobal)
{
    // Line 11 is in main, line 21 in f, whose static cnt hides the global one.
    EXPECT_EQ(Eval("cnt", 11), "9 (0x09)");
    EXPECT_EQ(Eval("cnt", 21), "7 (0x07)");
    EXPECT_EQ(Eval("&cnt", 21), "0x0050");
}

TEST_F(WatchEvalTest, AssignmentsWriteThroughTheMemoryFunction)
{
    EXPECT_EQ(Eval("count = 5"), "5 (0x05)");
    EXPECT_EQ(m_ram[0x20], 5);
    EXPECT_EQ(Eval("temp += 1000"), "900 (0x0384)");
    EXPECT_EQ(m_ram[0x22] | (m_ram[0x23] << 8), 900);
    EXPECT_EQ(Eval("count++"), "5 (0x05)");
    EXPECT_EQ(m_ram[0x20], 6);
    EXPECT_EQ(Eval("--count"), "5 (0x05)");
    EXPECT_EQ(Eval("arr[3] = -1"), "-1 (0xFFFF)");
    EXPECT_EQ(m_ram[0x36], 0xFF);
    EXPECT_EQ(m_ram[0x37], 0xFF);
    EXPECT_EQ(Eval("pt.y = pt.x"), "-1 (0xFFFF)");
    EXPECT_EQ(Eval("flt = flt / 2"), "1.625");
    EXPECT_EQ(Eval("count = 300"), "44 (0x2C)");   // cut to the variable's 8 bits
    // A branch that is not taken writes nothing.
    EXPECT_EQ(Eval("0 && (count = 1)"), "0 (0x00)");
    EXPECT_EQ(m_ram[0x20], 44);
}

TEST_F(WatchEvalTest, ModelHasTheTypesOfTheFile)
{
    const auto arr = m_info.SymbolsNamed("arr");
    ASSERT_EQ(arr.size(), 1u);
    EXPECT_EQ(m_info.TypeText(arr.front()->type), "signed int16[4]");
    const auto pt = m_info.SymbolsNamed("pt");
    ASSERT_EQ(pt.size(), 1u);
    const TDebugType &point = m_info.Type(pt.front()->type);
    EXPECT_EQ(point.kind, TDebugType::tkStruct);
    EXPECT_EQ(point.name, "struct point");
    EXPECT_EQ(point.size, 3u);
    ASSERT_EQ(point.members.size(), 2u);
    EXPECT_EQ(point.members[1].name, "y");
    EXPECT_EQ(point.members[1].offset, 1u);
    // Two functions (DT_FCN symbols) with their last return.
    ASSERT_EQ(m_info.Functions().size(), 2u);
    EXPECT_EQ(m_info.Functions()[0].name, "main");
    EXPECT_EQ(m_info.Functions()[0].end, 3u);
    EXPECT_EQ(m_info.Functions()[1].name, "f");
    EXPECT_EQ(m_info.Functions()[1].exit, 5u);
}

TEST(WatchSfrTest, RegisterFilesOfAHeader)
{
    const char *header =
        "        LIST\n"
        ";----- Register Files -----------------------------------------------------\n"
        "\n"
        ";-----Bank0------------------\n"
        "INDF             EQU  H'0000'\n"
        "PORTB            EQU  H'0006'\n"
        ";-----Bank1------------------\n"
        "TRISB            EQU  H'0086'\n"
        "BAD              EQU  6\n"
        ";----- STATUS Bits -----------------------------------------------------\n"
        "C                EQU  H'0000'\n";
    const std::vector<watch::TSfr> sfrs = watch::ParseSfrHeader(header);
    ASSERT_EQ(sfrs.size(), 3u);
    EXPECT_EQ(sfrs[0].name, "INDF");
    EXPECT_EQ(sfrs[1].name, "PORTB");
    EXPECT_EQ(sfrs[1].address, 6u);
    EXPECT_EQ(sfrs[2].name, "TRISB");
    EXPECT_EQ(sfrs[2].address, 0x86u);
}

TEST(WatchSfrTest, GputilsHeadersOfEachCore)
{
    if (watch::ReadSfrs("16f877a").empty())
        GTEST_SKIP() << "gputils' headers are not installed; scripts/setup.sh installs gputils";
    struct {
        const char *processor;
        const char *name;
        std::uint32_t address;
    } cases[] = {{"16f877a", "PORTB", 6}, {"18f452", "PORTB", 0xF81}, {"12f508", "GPIO", 6}, {"PIC16F1827", "PORTB", 0x0D}};
    for (const auto &c : cases) {
        const auto sfrs = watch::ReadSfrs(c.processor);
        const auto it = std::find_if(sfrs.begin(), sfrs.end(), [&](const watch::TSfr &s) { return s.name == c.name; });
        ASSERT_NE(it, sfrs.end()) << c.processor;
        EXPECT_EQ(it->address, c.address) << c.processor;
    }
    EXPECT_TRUE(watch::ReadSfrs("nosuchpart").empty());
    EXPECT_EQ(watch::ProcessorCore("16f877a"), TProgramCore::pc14Bit);
    EXPECT_EQ(watch::ProcessorCore("16f1827"), TProgramCore::pc14Bit);
    EXPECT_EQ(watch::ProcessorCore("18f452"), TProgramCore::pcPic18);
    EXPECT_EQ(watch::ProcessorCore("16f57"), TProgramCore::pc12Bit);
    EXPECT_EQ(watch::ProcessorCore("10f200"), TProgramCore::pc12Bit);
}

TEST(WatchSfrTest, CoreGuessedFromTheName)
{
    EXPECT_EQ(GuessCoreFromName("18f452"), TProgramCore::pcPic18);
    EXPECT_EQ(GuessCoreFromName("PIC16F877A"), TProgramCore::pc14Bit);
    EXPECT_EQ(GuessCoreFromName("16f57"), TProgramCore::pc12Bit);
    EXPECT_EQ(GuessCoreFromName("16f505"), TProgramCore::pc12Bit);
    EXPECT_EQ(GuessCoreFromName("16f548"), TProgramCore::pc14Bit);
    EXPECT_EQ(GuessCoreFromName("12f508"), TProgramCore::pc12Bit);
    EXPECT_EQ(GuessCoreFromName("12f675"), TProgramCore::pc14Bit);
    EXPECT_EQ(GuessCoreFromName("10f200"), TProgramCore::pc12Bit);
    EXPECT_EQ(GuessCoreFromName(""), TProgramCore::pcUnknown);
}

}  // namespace
}  // namespace kiv
