#include "intelhex.h"
#include "kivgcal_model.h"

#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

// An INHX32 file with a little program at address 0 and the given words (word address -> value),
// as a programmer writes what it read from a part.
QByteArray HexWithWords(const std::map<uint32_t, uint16_t> &words)
{
    std::vector<THexSegment> segments;
    segments.push_back({0, {0x83, 0x16, 0x05, 0x28}});
    for (const auto &[address, value] : words)
        segments.push_back({2 * address, {uint8_t(value & 0xFF), uint8_t(value >> 8)}});
    return QByteArray::fromStdString(WriteIntelHex32(segments));
}

// The 14000's constants: four PIC floats in the low bytes of RETLW words, then oscillator and
// watchdog values.
std::map<uint32_t, uint16_t> Constants14000()
{
    const uint32_t floats[] = {0x7F400000, 0x7D000000, 0x80C8F5C3, 0x00000000};
    std::map<uint32_t, uint16_t> words;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            words[4032 + 4 * i + k] = uint16_t(0x3400 | ((floats[i] >> (24 - 8 * k)) & 0xFF));
    words[4048] = 0x3404;
    words[4049] = 0x3400;
    words[4050] = 0x3412;
    words[4051] = 0x3400;
    return words;
}

struct TCase {
    const char *what;
    TCalPart part;
    std::map<uint32_t, uint16_t> words;
    const char *text;
};

}  // namespace

TEST(Calibration, WindowedPartsOfEachKind)
{
    const TCase cases[] = {
        {"508: MOVLW at the reset vector", cpIS512, {{511, 0x0C5A}}, "#rom 0x1ff={0x0C5A}\r\n"},
        {"671: RETLW", cpIS1024, {{1023, 0x3480}}, "#rom 0x3ff={0x3480}\r\n"},
        {"672: RETLW", cpIS2048, {{2047, 0x34A0}}, "#rom 0x7ff={0x34A0}\r\n"},
        {"an erased word is written as it is", cpIS512, {{511, 0x0FFF}}, "#rom 0x1ff={0x0FFF}\r\n"},
        {"14000", cpIS14000, Constants14000(),
         "#rom 0x0FC0={0x347F,0x3440,0x3400,0x3400} // Kref=1.5E+00\r\n"
         "#rom 0x0FC4={0x347D,0x3400,0x3400,0x3400} // Kbg=2.5E-01\r\n"
         "#rom 0x0FC8={0x3480,0x34C8,0x34F5,0x34C3} // Ktherm=-3.1400001E+00\r\n"
         "#rom 0x0FCC={0x3400,0x3400,0x3400,0x3400} // Ktc=0E+00\r\n"
         "#rom 0x0FD0={0x3404,0x3400,0x3412,0x3400} // Fosc=13316, Twdt=13330\r\n"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        TKivGcalModel model;
        model.inputFile = dir.filePath("read part.hex");
        model.outFile = dir.filePath("my part.cal");
        model.part = c.part;
        ASSERT_TRUE(WriteFile(model.inputFile, HexWithWords(c.words)));
        QString error;
        ASSERT_TRUE(model.Run(&error)) << error.toStdString();
        EXPECT_EQ(ReadFile(model.outFile), QByteArray(c.text));
    }
}

TEST(Calibration, AFileWithoutTheWordsSaysSoAndWritesNothing)
{
    struct TMissing {
        TCalPart part;
        std::map<uint32_t, uint16_t> words;
        const char *named;
    };
    std::map<uint32_t, uint16_t> partial = Constants14000();
    partial.erase(4040);
    partial.erase(4041);
    partial.erase(4051);
    const TMissing cases[] = {
        {cpIS512, {}, "word 0x1FF is not in it"},
        {cpIS1024, {{511, 0x0C5A}}, "word 0x3FF is not"},
        {cpIS14000, {}, "words 0xFC0-0xFD3 are not"},
        {cpIS14000, partial, "words 0xFC8-0xFC9, 0xFD3 are not"},
    };
    for (const TMissing &c : cases) {
        QTemporaryDir dir;
        TKivGcalModel model;
        model.inputFile = dir.filePath("in.hex");
        model.outFile = dir.filePath("out.cal");
        model.part = c.part;
        ASSERT_TRUE(WriteFile(model.inputFile, HexWithWords(c.words)));
        QString error;
        EXPECT_FALSE(model.Run(&error));
        EXPECT_TRUE(error.contains(c.named)) << error.toStdString();
        EXPECT_TRUE(error.contains("Nothing was written"));
        EXPECT_FALSE(QFileInfo::exists(model.outFile));
    }
}

TEST(Calibration, FilesThatCannotBeReadOrWritten)
{
    QTemporaryDir dir;
    TKivGcalModel model;
    model.inputFile = dir.filePath("missing.hex");
    model.outFile = dir.filePath("out.cal");
    QString error;
    EXPECT_FALSE(model.Run(&error));
    EXPECT_TRUE(error.startsWith("Can not open input file")) << error.toStdString();

    // A record whose checksum is wrong.
    model.inputFile = dir.filePath("bad.hex");
    ASSERT_TRUE(WriteFile(model.inputFile, ":0203FE005A0C00\r\n:00000001FF\r\n"));
    EXPECT_FALSE(model.Run(&error));
    EXPECT_TRUE(error.contains("line 1")) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(model.outFile));

    model.inputFile = dir.filePath("good.hex");
    ASSERT_TRUE(WriteFile(model.inputFile, HexWithWords({{511, 0x0C5A}})));
    model.outFile = dir.filePath("no/such/folder/out.cal");
    EXPECT_FALSE(model.Run(&error));
    EXPECT_TRUE(error.startsWith("Can not open output file")) << error.toStdString();

    // An existing include file is replaced whole.
    model.outFile = dir.filePath("out.cal");
    ASSERT_TRUE(WriteFile(model.outFile, "old text that is longer than the new one\r\n"));
    ASSERT_TRUE(model.Run(&error));
    EXPECT_EQ(ReadFile(model.outFile), "#rom 0x1ff={0x0C5A}\r\n");
    EXPECT_EQ(TKivGcalModel::SuggestedOutFile("/a/b/part 1.hex"), "/a/b/part 1.cal");
}
