#include "dunet_model.h"
#include "dunet_window.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

struct TEntryCase {
    int width;
    bool isSigned;
    TNumberField field;
    const char *text;
    TInputState state;
    const char *hex;       // the pattern afterwards, as the hex field shows it (valid entries)
    const char *decimal;   // the decimal field afterwards (valid entries)
};

const TEntryCase kEntries[] = {
    // Decimal: ranges of every width, with and without sign.
    {8, false, nfDecimal, "255", isValid, "FF", "255"},
    {8, false, nfDecimal, "256", isInvalid, "", ""},
    {8, false, nfDecimal, "-1", isInvalid, "", ""},
    {8, true, nfDecimal, "-128", isValid, "80", "-128"},
    {8, true, nfDecimal, "-129", isInvalid, "", ""},
    {8, true, nfDecimal, "127", isValid, "7F", "127"},
    {8, true, nfDecimal, "128", isInvalid, "", ""},
    {16, true, nfDecimal, "-1", isValid, "FFFF", "-1"},
    {16, false, nfDecimal, "+65535", isValid, "FFFF", "65535"},
    {32, true, nfDecimal, "-2147483648", isValid, "80000000", "-2147483648"},
    {32, true, nfDecimal, "2147483648", isInvalid, "", ""},
    {32, false, nfDecimal, "4294967295", isValid, "FFFFFFFF", "4294967295"},
    {32, false, nfDecimal, "4294967296", isInvalid, "", ""},
    {32, false, nfDecimal, "99999999999999999999999", isInvalid, "", ""},
    {32, false, nfDecimal, "12a", isInvalid, "", ""},
    {32, false, nfDecimal, "", isIncomplete, "", ""},
    {32, true, nfDecimal, "-", isIncomplete, "", ""},
    // Hexadecimal, octal, binary: bit patterns of at most the width.
    {8, false, nfHex, "0x1F", isValid, "1F", "31"},
    {8, true, nfHex, "ff", isValid, "FF", "-1"},
    {8, false, nfHex, "100", isInvalid, "", ""},
    {8, false, nfHex, "00FF", isValid, "FF", "255"},
    {16, false, nfHex, "de ad", isValid, "DEAD", "57005"},
    {16, false, nfHex, "1G", isInvalid, "", ""},
    {16, false, nfHex, "0x", isIncomplete, "", ""},
    {8, false, nfOctal, "377", isValid, "FF", "255"},
    {8, false, nfOctal, "400", isInvalid, "", ""},
    {8, false, nfOctal, "8", isInvalid, "", ""},
    {8, false, nfBinary, "1010 0101", isValid, "A5", "165"},
    {8, false, nfBinary, "1 0000 0000", isInvalid, "", ""},
    {8, false, nfBinary, "0b2", isInvalid, "", ""},
    {32, false, nfBinary, "1000 0000 0000 0000 0000 0000 0000 0000", isValid, "80000000", "2147483648"},
    // Characters, most significant byte first.
    {16, false, nfChars, "AB", isValid, "4142", "16706"},
    {16, false, nfChars, "ABC", isInvalid, "", ""},
    {16, false, nfChars, "A", isValid, "0041", "65"},
    {16, false, nfChars, "\\x00A", isValid, "0041", "65"},
    {32, false, nfChars, "\\\\\\n\\0\\t", isValid, "5C0A0009", "1544159241"},
    {8, false, nfChars, "\\q", isInvalid, "", ""},
    {8, false, nfChars, "\\x4", isIncomplete, "", ""},
    {8, false, nfChars, "\\xZZ", isInvalid, "", ""},
    {8, false, nfChars, "\xc3\xa9", isValid, "E9", "233"},   // é, one Latin-1 byte
    {8, false, nfChars, "\xe2\x82\xac", isInvalid, "", ""},  // €, not one byte
    // IEEE 754 single, specials included.
    {32, false, nfIeee, "1.5", isValid, "3FC00000", "1069547520"},
    {32, false, nfIeee, "-0", isValid, "80000000", "2147483648"},
    {32, false, nfIeee, "nan", isValid, "7FC00000", "2143289344"},
    {32, false, nfIeee, "-Infinity", isValid, "FF800000", "4286578688"},
    {32, false, nfIeee, "3.4028235e38", isValid, "7F7FFFFF", "2139095039"},
    {32, false, nfIeee, "1e-45", isValid, "00000001", "1"},
    {32, false, nfIeee, "1e39", isInvalid, "", ""},
    {32, false, nfIeee, "1e-50", isInvalid, "", ""},
    {32, false, nfIeee, "1e999", isInvalid, "", ""},
    {32, false, nfIeee, "abc", isInvalid, "", ""},
    {32, false, nfIeee, "1.5e", isIncomplete, "", ""},
    {16, false, nfIeee, "1.5", isInvalid, "", ""},
    // The PIC compilers' float, exponent byte first.
    {32, false, nfPicFloat, "1.5", isValid, "7F400000", "2134900736"},
    {32, false, nfPicFloat, "-1.5", isValid, "7FC00000", "2143289344"},
    {32, false, nfPicFloat, "3.14", isValid, "8048F5C3", "2152265155"},
    {32, false, nfPicFloat, "0", isValid, "00000000", "0"},
    {32, false, nfPicFloat, "5e38", isValid, "FF3C1440", "4282127424"},
    {32, false, nfPicFloat, "1e39", isInvalid, "", ""},
    {32, false, nfPicFloat, "1e-39", isInvalid, "", ""},
    {32, false, nfPicFloat, "NaN", isInvalid, "", ""},
    {32, false, nfPicFloat, "inf", isInvalid, "", ""},
};

}  // namespace

TEST(NumericConverter, EntriesAsATable)
{
    for (const TEntryCase &c : kEntries) {
        TNumericConverter converter;
        converter.SetWidth(c.width);
        converter.SetSigned(c.isSigned);
        converter.SetBits(0x12345678);
        const QString text = QString::fromUtf8(c.text);
        const TInputCheck check = converter.Enter(c.field, text);
        SCOPED_TRACE(testing::Message() << c.width << (c.isSigned ? " signed " : " unsigned ")
                                        << "field " << int(c.field) << " \"" << c.text << '"');
        EXPECT_EQ(check.state, c.state) << check.reason.toStdString();
        if (c.state == isInvalid) {
            EXPECT_FALSE(check.reason.isEmpty());
        }
        if (c.state != isValid) {
            // Bad or unfinished input changes nothing.
            EXPECT_EQ(converter.Bits(), 0x12345678u);
            continue;
        }
        EXPECT_EQ(converter.Text(nfHex), QString::fromLatin1(c.hex));
        EXPECT_EQ(converter.Text(nfDecimal), QString::fromLatin1(c.decimal));
    }
}

TEST(NumericConverter, FieldsOfOnePattern)
{
    TNumericConverter c;
    c.SetBits(0x41424344);
    EXPECT_EQ(c.Text(nfDecimal), "1094861636");
    EXPECT_EQ(c.Text(nfOctal), "10120441504");
    EXPECT_EQ(c.Text(nfBinary), "0100 0001 0100 0010 0100 0011 0100 0100");
    EXPECT_EQ(c.Text(nfChars), "ABCD");
    EXPECT_EQ(c.Text(nfIeee), "12.141422");
    c.SetBits(0x3FC00000);
    EXPECT_EQ(c.Text(nfIeee), "1.5");
    EXPECT_EQ(c.Text(nfPicFloat), "-8.131516e-20");
    EXPECT_EQ(c.IeeeAsPicFloat(), "7F400000");
    EXPECT_EQ(c.PicFloatAsIeee(), "9FC00000");
    c.SetBits(0x7F800000);
    EXPECT_EQ(c.Text(nfIeee), "Infinity");
    EXPECT_EQ(c.Text(nfPicFloat), "-1");
    EXPECT_EQ(c.IeeeAsPicFloat(), "the PIC format has no infinity");
    c.SetBits(0xFF000000);
    EXPECT_EQ(c.PicFloatAsIeee(), "too large for the IEEE single format");
    c.SetBits(0x0000005C);
    EXPECT_EQ(c.Text(nfChars), "\\\\");
    c.SetBits(0);
    EXPECT_EQ(c.Text(nfChars), "\\x00");

    // Narrowing shows the low bits and loses nothing; the floats need 32 bits.
    c.SetBits(0x1234ABCD);
    c.SetWidth(8);
    c.SetSigned(true);
    EXPECT_EQ(c.Text(nfHex), "CD");
    EXPECT_EQ(c.Text(nfDecimal), "-51");
    EXPECT_FALSE(c.FieldEnabled(nfIeee));
    EXPECT_EQ(c.Text(nfPicFloat), "");
    c.SetWidth(12);
    EXPECT_EQ(c.Width(), 8);
    c.SetWidth(32);
    EXPECT_EQ(c.Text(nfHex), "1234ABCD");
}

TEST(NumericConverter, EveryFieldReadsBackItsOwnText)
{
    uint32_t x = 2024;
    for (int n = 0; n < 3000; ++n) {
        x = x * 1664525u + 1013904223u;
        for (int width : {8, 16, 32}) {
            for (bool isSigned : {false, true}) {
                TNumericConverter c;
                c.SetWidth(width);
                c.SetSigned(isSigned);
                c.SetBits(x);
                const uint32_t value = c.Value();
                for (int f = 0; f < nfFieldCount; ++f) {
                    const auto field = TNumberField(f);
                    if (!c.FieldEnabled(field))
                        continue;
                    // NaN patterns have many spellings of their own; a PIC exponent of 0 is zero.
                    if ((field == nfIeee && (value & 0x7F800000) == 0x7F800000 && (value & 0x7FFFFF))
                        || (field == nfPicFloat && (value >> 24) == 0))
                        continue;
                    uint32_t again = ~value;
                    const TInputCheck check = TNumericConverter::Parse(field, c.Text(field), width, isSigned, &again);
                    ASSERT_EQ(check.state, isValid) << f << ' ' << c.Text(field).toStdString();
                    EXPECT_EQ(again, value) << f << ' ' << c.Text(field).toStdString();
                }
            }
        }
    }
}

TEST(NumericConverterWindow, TypingUpdatesTheOtherFieldsAndMarksBadInput)
{
    Tfdunet window;
    window.show();
    QLineEdit *hex = window.findChild<QLineEdit *>("hex");
    QLineEdit *decimal = window.findChild<QLineEdit *>("decimal");
    QLineEdit *ieee = window.findChild<QLineEdit *>("ieee");
    QLineEdit *pic = window.findChild<QLineEdit *>("picfloat");
    ASSERT_TRUE(hex && decimal && ieee && pic);

    ieee->clear();
    QTest::keyClicks(ieee, "3.14");
    EXPECT_EQ(hex->text(), "4048F5C3");
    EXPECT_EQ(window.findChild<QLabel *>("ieeeaspic")->text(), "as PIC float:  8048F5C3");
    EXPECT_EQ(ieee->text(), "3.14");

    pic->clear();
    QTest::keyClicks(pic, "3.14");
    EXPECT_EQ(hex->text(), "8048F5C3");

    // A bad character marks the field, keeps it as typed and changes nothing else.
    decimal->selectAll();
    QTest::keyClicks(decimal, "12x");
    EXPECT_TRUE(window.IsMarked(nfDecimal));
    EXPECT_EQ(decimal->text(), "12x");
    EXPECT_EQ(hex->text(), "0000000C");   // "12" went in before the x
    EXPECT_FALSE(window.findChild<QLabel *>("status")->text().isEmpty());
    QTest::keyClick(decimal, Qt::Key_Backspace);
    EXPECT_FALSE(window.IsMarked(nfDecimal));

    // The mode controls re-show the value.
    window.findChild<QCheckBox *>("signedcheck")->click();
    hex->selectAll();
    QTest::keyClicks(hex, "FFFFFFFE");
    EXPECT_EQ(decimal->text(), "-2");
    window.findChild<QRadioButton *>("width8")->click();
    EXPECT_EQ(hex->text(), "FE");
    EXPECT_FALSE(ieee->isEnabled());
    QTest::keyClicks(hex, "0");   // "FE0" is 12 bits
    EXPECT_TRUE(window.IsMarked(nfHex));
    EXPECT_EQ(decimal->text(), "-2");
}
