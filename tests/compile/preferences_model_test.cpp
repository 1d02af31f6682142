#include "kivini.h"
#include "preferences_model.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

class CompileOptions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.isValid()); }
    TIniFile Ini(const QByteArray &text)
    {
        const QString path = m_temp.path() + "/kiv.ini";
        WriteFile(path, text);
        return TIniFile(path);
    }
    QTemporaryDir m_temp;
};

TEST_F(CompileOptions, DefaultsWithoutAnyKey)
{
    TCompileOptions options;
    options.noErrors = 0;
    options.Read(Ini(""));
    EXPECT_EQ(options.debugFormat, 4);
    EXPECT_EQ(options.listFormat, 0);
    EXPECT_EQ(options.objectFormat, 0);
    EXPECT_EQ(options.errorFormat, 1);
    EXPECT_FALSE(options.allErrors);
    EXPECT_FALSE(options.allWarnings);
    EXPECT_TRUE(options.keepTre);
    EXPECT_TRUE(options.keepSta);
    EXPECT_FALSE(options.keepScratch);
    EXPECT_EQ(options.noErrors, TCompileOptions::ne3Secs);
    EXPECT_EQ(options.onError, 0);
    EXPECT_TRUE(options.forceCoff);
    EXPECT_EQ(options.HoldFlags(), 0x3A0);
    EXPECT_EQ(options.OptionsWord(false), 3);
}

TEST_F(CompileOptions, ForceCoffOverridesTheStoredDebugFormatUntilTheFirstOk)
{
    TCompileOptions options;
    options.Read(Ini("[fileformats]\r\ndebug=1\r\n"));
    EXPECT_EQ(options.get_debug_format(), 4);
    options.Read(Ini("[fileformats]\r\ndebug=1\r\nforcecoff=0\r\n"));
    EXPECT_EQ(options.get_debug_format(), 1);
}

TEST_F(CompileOptions, StayUpKeys)
{
    struct Case {
        QByteArray keys;
        int noErrors;
        int onError;
    };
    const Case cases[] = {
        {"", TCompileOptions::ne3Secs, 0},
        {"stayupne=-1\r\nstayupoe=1\r\n", TCompileOptions::ne3Secs, 0},
        {"stayup=1\r\n", TCompileOptions::neHoldUp, 0},
        {"stayup=0\r\n", TCompileOptions::ne3Secs, 0},
        {"stayup=1\r\nstayupoe=1\r\n", TCompileOptions::neHoldUp, 0},
        // Once stayupne is stored the old key no longer counts.
        {"stayup=1\r\nstayupne=0\r\nstayupoe=1\r\n", TCompileOptions::neNo, 1},
        {"stayupne=7\r\n", TCompileOptions::ne15Secs, 0},
        {"stayupne=42\r\nstayupoe=9\r\n", TCompileOptions::ne3Secs, 0},
    };
    for (const Case &c : cases) {
        TCompileOptions options;
        options.Read(Ini("[fileformats]\r\n" + c.keys));
        EXPECT_EQ(options.noErrors, c.noErrors) << c.keys.constData();
        EXPECT_EQ(options.onError, c.onError) << c.keys.constData();
    }
}

TEST_F(CompileOptions, WriteStoresEveryKeyAndEndsForceCoff)
{
    TCompileOptions options;
    options.debugFormat = 3;
    options.listFormat = 2;
    options.objectFormat = 1;
    options.errorFormat = 2;
    options.allErrors = true;
    options.allWarnings = false;
    options.keepTre = false;
    options.keepSta = true;
    options.keepScratch = true;
    options.noErrors = TCompileOptions::neHoldUp;
    options.onError = 1;
    TIniFile ini = Ini("[fileformats]\r\nforcecoff=1\r\n");
    ASSERT_TRUE(options.Write(ini));
    EXPECT_FALSE(options.forceCoff);
    const QStringList keys = {"debug", "list", "object", "error", "allerrors", "allwarnings",
                              "tre", "sta", "scratch", "stayupne", "stayupoe", "forcecoff"};
    const QStringList values = {"3", "2", "1", "2", "1", "0", "0", "1", "1", "8", "1", "0"};
    for (int n = 0; n < keys.size(); ++n)
        EXPECT_EQ(ini.ReadString("fileformats", keys[n]), values[n]) << keys[n].toStdString();

    TCompileOptions back;
    back.Read(ini);
    EXPECT_EQ(back.debugFormat, 3);
    EXPECT_EQ(back.HoldFlags(), options.HoldFlags());
    EXPECT_EQ(back.get_error_format(), options.get_error_format());
}

TEST(CompileOptionsRules, MultiLinesChecksBothShowBoxesOnlyWhenNeitherIsChecked)
{
    TCompileOptions options;
    options.SetErrorFormat(2);
    EXPECT_TRUE(options.ShowBoxesEnabled());
    EXPECT_TRUE(options.allErrors && options.allWarnings);
    options.allWarnings = false;
    options.SetErrorFormat(2);
    EXPECT_TRUE(options.allErrors);
    EXPECT_FALSE(options.allWarnings);
    options.SetErrorFormat(0);
    EXPECT_FALSE(options.ShowBoxesEnabled());
    EXPECT_FALSE(options.allErrors || options.allWarnings);
}

TEST(CompileOptionsRules, ErrorFormatValue)
{
    struct Case {
        int format;
        bool all;
        bool warnings;
        quint16 value;
    };
    const Case cases[] = {
        {0, false, false, 0},      {1, false, false, 1},      {0, true, true, 0},
        {2, true, false, 0x8000},  {2, false, true, 0x4000},  {2, true, true, 0xC000},
        {2, false, false, 0},
    };
    for (const Case &c : cases) {
        TCompileOptions options;
        options.errorFormat = c.format;
        options.allErrors = c.all;
        options.allWarnings = c.warnings;
        EXPECT_EQ(options.get_error_format(), c.value) << c.format << c.all << c.warnings;
    }
}

TEST(CompileOptionsRules, HoldFlags)
{
    struct Case {
        int noErrors;
        int onError;
        quint16 flags;
    };
    const Case cases[] = {
        {0, 0, 0x0000}, {1, 0, 0x01A0}, {2, 0, 0x02A0}, {3, 0, 0x03A0}, {4, 0, 0x04A0},
        {5, 0, 0x05A0}, {6, 0, 0x0AA0}, {7, 0, 0x0FA0}, {8, 0, 0x0080}, {0, 1, 0x0040},
        {3, 1, 0x03E0}, {8, 1, 0x00C0},
    };
    for (const Case &c : cases) {
        TCompileOptions options;
        options.noErrors = c.noErrors;
        options.onError = c.onError;
        EXPECT_EQ(options.HoldFlags(), c.flags) << c.noErrors << " " << c.onError;
    }
}

TEST(CompileOptionsRules, OptionsWord)
{
    TCompileOptions options;
    options.keepTre = options.keepSta = options.keepScratch = false;
    EXPECT_EQ(options.OptionsWord(false), 0);
    EXPECT_EQ(options.OptionsWord(true), 0x40);
    options.keepTre = true;
    EXPECT_EQ(options.OptionsWord(false), 1);
    options.keepSta = true;
    options.keepScratch = true;
    EXPECT_EQ(options.OptionsWord(true), 0x4B);
    EXPECT_EQ(TCompileOptions::get_object_ext(), "HEX");
    EXPECT_EQ(TCompileOptions::get_list_ext(), "LST");
}

TEST(CompileOptionsRules, ListItems)
{
    EXPECT_EQ(TCompileOptions::DebugFormatItems(),
              QStringList({"None", "Standard .COD", "ATD .MAP", "Expanded .COD", "COFF"}));
    EXPECT_EQ(TCompileOptions::NoErrorsItems().size(), 9);
    EXPECT_EQ(TCompileOptions::NoErrorsItems().last(), "Hold Up");
    EXPECT_EQ(TCompileOptions::OnErrorItems(), QStringList({"No", "As above"}));
}

}  // namespace
}  // namespace kiv::test
