// The global defines: identifier cleaning, settings storage, define files and the compiler text.

#include "kivdef_model.h"
#include "kivini.h"

#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;

TEST(CleanIdentifierTest, Cases)
{
    const struct { const char *in, *out; } cases[] = {
        {"DEBUG", "DEBUG"}, {"9 lives", "_9lives"}, {"   ", "space"}, {"", "space"},
        {"_x", "_x"}, {"a b c", "abc"}, {"$x", "_$x"}, {" Z", "Z"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CleanIdentifier(c.in), QString(c.out)) << c.in;
}

TEST(GlobalDefinesTest, CompilerTextOnlyWhileEnabled)
{
    TGlobalDefines defines;
    defines.SetRow(0, "DEBUG", "1");
    defines.SetRow(2, "9 lives", "");
    defines.SetRow(4, "MSG", "a\tb");
    EXPECT_EQ(defines.GlobalDefinesText(), "");
    defines.SetEnabled(true);
    EXPECT_EQ(defines.GlobalDefinesText(), "DEBUG=1\t_9lives=\tMSG=a b\t");
    defines.Clear();
    EXPECT_EQ(defines.GlobalDefinesText(), "");
}

TEST(GlobalDefinesTest, SettingsKeepRowsInOrderAndEndAtTheFirstEmptyIdentifier)
{
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    // Stale keys from an earlier, longer list.
    ini.WriteString("defines", "D3", "OLD");
    ini.WriteString("defines", "V3", "9");

    TGlobalDefines defines;
    defines.SetRow(1, "A", "1");
    defines.SetRow(5, "9 b", "two words");
    ASSERT_TRUE(defines.SaveToSettings(ini));
    EXPECT_EQ(ini.ReadString("defines", "D1"), "A");
    EXPECT_EQ(ini.ReadString("defines", "D2"), "_9b");
    EXPECT_EQ(ini.ReadString("defines", "V2"), "two words");
    EXPECT_TRUE(ini.ValueExists("defines", "D3"));
    EXPECT_EQ(ini.ReadString("defines", "D3"), "");

    TGlobalDefines loaded;
    loaded.SetRow(8, "LEFT", "over");
    loaded.LoadFromSettings(ini);
    EXPECT_EQ(loaded.Rows()[0], (TGlobalDefine{"A", "1"}));
    EXPECT_EQ(loaded.Rows()[1], (TGlobalDefine{"_9b", "two words"}));
    for (int n = 2; n < kGlobalDefineRows; ++n)
        EXPECT_EQ(loaded.Rows()[n], TGlobalDefine()) << n;
    EXPECT_FALSE(loaded.Enabled());
}

TEST(GlobalDefinesTest, AllNineRowsLeaveNoEmptyKey)
{
    QTemporaryDir tmp;
    TIniFile ini(tmp.filePath("kiv.ini"));
    TGlobalDefines defines;
    for (int n = 0; n < kGlobalDefineRows; ++n)
        defines.SetRow(n, QStringLiteral("D%1").arg(n), QString::number(n));
    ASSERT_TRUE(defines.SaveToSettings(ini));
    EXPECT_FALSE(ini.ValueExists("defines", "D10"));
    TGlobalDefines loaded;
    loaded.LoadFromSettings(ini);
    EXPECT_EQ(loaded.Rows(), defines.Rows());
}

TEST(GlobalDefinesTest, DefineFilesRoundTrip)
{
    TGlobalDefines defines;
    defines.SetRow(0, "old", "x");
    defines.SetRow(7, "stale", "y");
    defines.LoadDefineLines({"// a comment", "#define FIRST 1", "#define  ", "#define SECOND two words",
                             "#define THIRD", "#defineX no"});
    EXPECT_EQ(defines.Rows()[0], (TGlobalDefine{"FIRST", "1"}));
    EXPECT_EQ(defines.Rows()[1], TGlobalDefine());
    EXPECT_EQ(defines.Rows()[2], (TGlobalDefine{"SECOND", "two words"}));
    EXPECT_EQ(defines.Rows()[3], (TGlobalDefine{"THIRD", ""}));
    EXPECT_EQ(defines.Rows()[7], TGlobalDefine());
    EXPECT_EQ(defines.DefineFileText(), "#define FIRST 1\r\n#define SECOND two words\r\n#define THIRD \r\n");

    QStringList many;
    for (int n = 0; n < 12; ++n)
        many << QStringLiteral("#define N%1 %1").arg(n);
    defines.LoadDefineLines(many);
    EXPECT_EQ(defines.Rows()[8], (TGlobalDefine{"N8", "8"}));
}
