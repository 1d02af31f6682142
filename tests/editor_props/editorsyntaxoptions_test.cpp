#include "EditorSyntaxOptions.h"
#include "kivini.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace kiv {
namespace {

class EditorSyntaxOptionsTest : public ::testing::Test {
protected:
    QString IniPath() const { return m_tmp.filePath(QStringLiteral("kiv.ini")); }
    void WriteIni(const char *text) { ASSERT_TRUE(test::WriteFile(IniPath(), QByteArray(text))); }

    QTemporaryDir m_tmp;
};

TEST_F(EditorSyntaxOptionsTest, FileWithoutKeysGivesDefaultsAndSavingWritesAll32Keys)
{
    WriteIni("[other]\nx=1\n");
    TIniFile ini(IniPath());
    TEditorSyntaxOptions options;
    options.Settings().tabSize = 99;
    options.ApplyPreset(3);
    options.LoadEditorProperties(ini);
    EXPECT_EQ(options.Settings(), TEditorSettings());
    EXPECT_EQ(options.Colors(), ColorSpeedSettings()[0].colors);
    ASSERT_TRUE(options.SaveEditorProperties(ini));

    struct Expected { const char *section; const char *key; const char *value; };
    const Expected expected[] = {
        {"editoptions", "vscroll", "1"}, {"editoptions", "hscroll", "1"},
        {"editoptions", "syntaxhighlighting", "1"}, {"editoptions", "autohighlightbrackets", "1"},
        {"editoptions", "autoindent", "1"}, {"editoptions", "wordstar", "0"},
        {"editoptions", "autoposcruely", "1"}, {"editoroptions", "tabsize", "3"},
        {"editoptions", "realtabs", "0"}, {"editoptions", "lmarginvisible", "1"},
        {"editoptions", "rmarginvisible", "1"}, {"editoptions", "lmarginwidth", "25"},
        {"editoptions", "rmarginwidth", "80"}, {"editoptions", "linenumvisible", "0"},
        {"font", "name", "Fixedsys"}, {"font", "size", "9"}, {"font", "italic", "0"},
        {"font", "bold", "0"}, {"font", "underline", "0"}, {"editoptions", "clrspeed", "0"},
        {"colors", "fgFont", "0"}, {"colors", "bgFont", "16777215"},
        {"colors", "fgSelection", "16777215"}, {"colors", "bgSelection", "8388608"},
        {"colors", "fgComments", "8421504"}, {"colors", "bgComments", "536870911"},
        {"colors", "fgKeywords", "16711680"}, {"colors", "bgKeywords", "536870911"},
        {"colors", "fgPreprocessors", "32768"}, {"colors", "bgPreprocessors", "536870911"},
        {"colors", "fgBrace_matching", "536870911"}, {"colors", "bgBrace_matching", "65280"},
    };
    for (const Expected &e : expected) {
        SCOPED_TRACE(e.key);
        EXPECT_EQ(ini.ReadString(e.section, e.key, QStringLiteral("missing")), QString::fromLatin1(e.value));
    }
    int keys = 0;
    for (const char *section : {"editoptions", "editoroptions", "font", "colors"})
        keys += ini.ReadSection(section).size();
    EXPECT_EQ(keys, 32);
    EXPECT_EQ(ini.ReadSection("editoroptions"), QStringList{QStringLiteral("tabsize")});
}

TEST_F(EditorSyntaxOptionsTest, SavedValuesLoadBack)
{
    TIniFile ini(IniPath());
    TEditorSyntaxOptions saved;
    TEditorSettings &s = saved.Settings();
    s.vscroll = false; s.hscroll = false; s.syntaxHighlighting = false;
    s.autoHighlightBrackets = false; s.autoIndent = false; s.wordStar = true;
    s.autoPosCruely = false; s.tabSize = 8; s.realTabs = true; s.lMarginVisible = false;
    s.rMarginVisible = false; s.lMarginWidth = 40; s.rMarginWidth = 72; s.lineNumVisible = true;
    s.fontName = QStringLiteral("DejaVu Sans Mono"); s.fontSize = 12; s.italic = true;
    s.bold = true; s.underline = true; s.clrSpeed = 4;
    saved.ApplyPreset(1);
    saved.Colors()[ceKeywords].fg = kAutomaticColor;
    ASSERT_TRUE(saved.SaveEditorProperties(ini));

    TEditorSyntaxOptions loaded;
    loaded.LoadEditorProperties(ini);
    EXPECT_EQ(loaded.Settings(), saved.Settings());
    EXPECT_EQ(loaded.Colors(), saved.Colors());
}

TEST_F(EditorSyntaxOptionsTest, AutomaticIsStoredAs536870911AndResolvesThroughFontThenBlackWhite)
{
    TIniFile ini(IniPath());
    TEditorSyntaxOptions options;
    options.Colors()[ceComments].fg = kAutomaticColor;
    ASSERT_TRUE(options.SaveEditorProperties(ini));
    EXPECT_EQ(ini.ReadString("colors", "fgComments"), QStringLiteral("536870911"));

    struct Case { TColorPair font; TColorPair comments; TColorPair resolved; };
    const Case cases[] = {
        // Comments foreground Automatic: the Font foreground.
        {{0x123456, 0xFFFFFF}, {kAutomaticColor, 0x00FF00}, {0x123456, 0x00FF00}},
        // Font foreground Automatic too: black.
        {{kAutomaticColor, 0xFFFFFF}, {kAutomaticColor, 0x00FF00}, {0x000000, 0x00FF00}},
        // Background Automatic: the Font background, else white.
        {{0x000000, 0x800000}, {0x808080, kAutomaticColor}, {0x808080, 0x800000}},
        {{0x000000, kAutomaticColor}, {0x808080, kAutomaticColor}, {0x808080, 0xFFFFFF}},
        // Own values win.
        {{0x111111, 0x222222}, {0x333333, 0x444444}, {0x333333, 0x444444}},
    };
    for (const Case &c : cases) {
        options.Colors()[ceText] = c.font;
        options.Colors()[ceComments] = c.comments;
        EXPECT_EQ(options.ColorPair(ceComments), c.resolved);
        EXPECT_EQ(options.ResolvedColors()[ceComments], c.resolved);
    }
    options.Colors()[ceText] = {kAutomaticColor, kAutomaticColor};
    EXPECT_EQ(options.ColorPair(ceText), (TColorPair{0x000000, 0xFFFFFF}));
}

TEST_F(EditorSyntaxOptionsTest, PresetIndexOnlyNamesThePresetTheStoredColoursStay)
{
    WriteIni("[editoptions]\nclrspeed=2\n[colors]\nfgFont=255\nbgFont=65535\nfgKeywords=128\n");
    TIniFile ini(IniPath());
    TEditorSyntaxOptions options;
    options.LoadEditorProperties(ini);
    EXPECT_EQ(options.Settings().clrSpeed, 2);
    EXPECT_STREQ(ColorSpeedSettings()[options.Settings().clrSpeed].name, "Twilight");
    EXPECT_EQ(options.Colors()[ceText], (TColorPair{255, 65535}));
    EXPECT_EQ(options.Colors()[ceKeywords].fg, 128u);
    // A missing colour key takes the first preset's value, not Twilight's.
    EXPECT_EQ(options.Colors()[ceComments], ColorSpeedSettings()[0].colors[ceComments]);
}

TEST_F(EditorSyntaxOptionsTest, PresetsAndTheSavedCopy)
{
    const char *names[] = {"Default", "Classic", "Twilight", "Ocean", "Visual Studio (TM)"};
    for (int i = 0; i < kColorSpeedSettingCount; ++i)
        EXPECT_STREQ(ColorSpeedSettings()[i].name, names[i]);
    EXPECT_EQ(ColorSpeedSettings()[3].colors[ceBraceMatch], (TColorPair{0xFFFF00, 0x800080}));

    TEditorSyntaxOptions options;
    options.ApplyPreset(2);
    options.SaveColors();
    EXPECT_TRUE(options.ApplyPreset(0));
    EXPECT_EQ(options.Colors(), ColorSpeedSettings()[0].colors);
    EXPECT_FALSE(options.ApplyPreset(5));
    EXPECT_FALSE(options.ApplyPreset(-1));
    EXPECT_EQ(options.Colors(), ColorSpeedSettings()[0].colors);
    options.RestoreColors();
    EXPECT_EQ(options.Colors(), ColorSpeedSettings()[2].colors);
}

TEST_F(EditorSyntaxOptionsTest, ColourKeysAndElementNames)
{
    const char *fg[] = {"fgFont", "fgSelection", "fgComments", "fgKeywords", "fgPreprocessors",
                        "fgBrace_matching"};
    for (int i = 0; i < kColorElementCount; ++i) {
        EXPECT_EQ(ColorKey(i, true), QString::fromLatin1(fg[i]));
        EXPECT_EQ(ColorKey(i, false), QStringLiteral("bg") + QString::fromLatin1(fg[i]).mid(2));
    }
    EXPECT_EQ(ColorElementName(5), QStringLiteral("Brace matching"));
}

TEST_F(EditorSyntaxOptionsTest, LegacyColoursAreMigrated)
{
    WriteIni("[font]\nname=Courier\ncolor=255\n[colors]\nselection=8421504\n");
    TIniFile ini(IniPath());
    TEditorSyntaxOptions::MigrateLegacyColors(ini);
    EXPECT_EQ(ini.ReadInteger("colors", "fgFont", -1), 255);
    EXPECT_EQ(ini.ReadInteger("colors", "fgSelection", -1), 536870911);
    EXPECT_EQ(ini.ReadInteger("colors", "bgSelection", -1), 8421504);
    EXPECT_FALSE(ini.ValueExists("font", "color"));
    EXPECT_FALSE(ini.ValueExists("colors", "selection"));
    EXPECT_EQ(ini.ReadString("font", "name"), QStringLiteral("Courier"));
    EXPECT_FALSE(ini.ValueExists("colors", "bgFont"));
    // A second start finds nothing to migrate.
    const QByteArray after = test::ReadFile(IniPath());
    TEditorSyntaxOptions::MigrateLegacyColors(ini);
    EXPECT_EQ(test::ReadFile(IniPath()), after);
}

TEST_F(EditorSyntaxOptionsTest, EveryLegacyKeyGoesToItsPlace)
{
    WriteIni("[font]\ncolor=1\n[colors]\nbackground=2\nselection=3\ncomments=4\nkeywords=5\n"
             "preproc=6\nbracematch=7\n");
    TIniFile ini(IniPath());
    TEditorSyntaxOptions::MigrateLegacyColors(ini);
    const int a = 536870911;
    const std::pair<const char *, int> expected[] = {
        {"fgFont", 1}, {"bgFont", 2}, {"fgSelection", a}, {"bgSelection", 3},
        {"fgComments", 4}, {"bgComments", a}, {"fgKeywords", 5}, {"bgKeywords", a},
        {"fgPreprocessors", 6}, {"bgPreprocessors", a}, {"fgBrace_matching", a},
        {"bgBrace_matching", 7}};
    for (const auto &[key, value] : expected)
        EXPECT_EQ(ini.ReadInteger("colors", key, -1), value) << key;
    EXPECT_EQ(ini.ReadSection("colors").size(), 12);
}

TEST_F(EditorSyntaxOptionsTest, WithoutFontColorOldKeysStayUntouched)
{
    const char text[] = "[colors]\nselection=8421504\nbackground=5\n";
    WriteIni(text);
    TIniFile ini(IniPath());
    TEditorSyntaxOptions::MigrateLegacyColors(ini);
    EXPECT_EQ(test::ReadFile(IniPath()), QByteArray(text));
}

}  // namespace
}  // namespace kiv
