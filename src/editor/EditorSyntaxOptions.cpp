#include "EditorSyntaxOptions.h"

#include "kivini.h"

namespace kiv {

namespace {

constexpr TColorValue kAuto = kAutomaticColor;
constexpr TColorValue kBlack = 0x000000;
constexpr TColorValue kWhite = 0xFFFFFF;
constexpr TColorValue kNavy = 0x800000;
constexpr TColorValue kGrey = 0x808080;
constexpr TColorValue kSilver = 0xC0C0C0;
constexpr TColorValue kBlue = 0xFF0000;
constexpr TColorValue kGreen = 0x008000;
constexpr TColorValue kLime = 0x00FF00;
constexpr TColorValue kYellow = 0x00FFFF;
constexpr TColorValue kAqua = 0xFFFF00;
constexpr TColorValue kFuchsia = 0xFF00FF;
constexpr TColorValue kTeal = 0x808000;
constexpr TColorValue kPurple = 0x800080;

const char kEditOptions[] = "editoptions";
const char kEditorOptions[] = "editoroptions";
const char kFont[] = "font";
const char kColors[] = "colors";

TEditorSettingKey BoolKey(const char *section, const char *key, bool TEditorSettings::*field)
{
    TEditorSettingKey k{section, key, TEditorSettingKey::skBool};
    k.boolField = field;
    return k;
}

TEditorSettingKey IntKey(const char *section, const char *key, int TEditorSettings::*field)
{
    TEditorSettingKey k{section, key, TEditorSettingKey::skInt};
    k.intField = field;
    return k;
}

TEditorSettingKey StringKey(const char *section, const char *key, QString TEditorSettings::*field)
{
    TEditorSettingKey k{section, key, TEditorSettingKey::skString};
    k.stringField = field;
    return k;
}

}  // namespace

const std::array<TEditorSettingKey, 20> &EditorSettingKeys()
{
    using S = TEditorSettings;
    static const std::array<TEditorSettingKey, 20> keys = {
        BoolKey(kEditOptions, "vscroll", &S::vscroll),
        BoolKey(kEditOptions, "hscroll", &S::hscroll),
        BoolKey(kEditOptions, "syntaxhighlighting", &S::syntaxHighlighting),
        BoolKey(kEditOptions, "autohighlightbrackets", &S::autoHighlightBrackets),
        BoolKey(kEditOptions, "autoindent", &S::autoIndent),
        BoolKey(kEditOptions, "wordstar", &S::wordStar),
        BoolKey(kEditOptions, "autoposcruely", &S::autoPosCruely),
        // The tab size is the one key of section editoroptions.
        IntKey(kEditorOptions, "tabsize", &S::tabSize),
        BoolKey(kEditOptions, "realtabs", &S::realTabs),
        BoolKey(kEditOptions, "lmarginvisible", &S::lMarginVisible),
        BoolKey(kEditOptions, "rmarginvisible", &S::rMarginVisible),
        IntKey(kEditOptions, "lmarginwidth", &S::lMarginWidth),
        IntKey(kEditOptions, "rmarginwidth", &S::rMarginWidth),
        BoolKey(kEditOptions, "linenumvisible", &S::lineNumVisible),
        StringKey(kFont, "name", &S::fontName),
        IntKey(kFont, "size", &S::fontSize),
        BoolKey(kFont, "italic", &S::italic),
        BoolKey(kFont, "bold", &S::bold),
        BoolKey(kFont, "underline", &S::underline),
        IntKey(kEditOptions, "clrspeed", &S::clrSpeed),
    };
    return keys;
}

const std::array<TColorSpeedSettingDesc, kColorSpeedSettingCount> &ColorSpeedSettings()
{
    // Pairs in element order: Font, Selection, Comments, Keywords, Preprocessors, Brace matching.
    static const std::array<TColorSpeedSettingDesc, kColorSpeedSettingCount> presets = {{
        {"Default", {{{kBlack, kWhite}, {kWhite, kNavy}, {kGrey, kAuto}, {kBlue, kAuto},
                      {kGreen, kAuto}, {kAuto, kLime}}}},
        {"Classic", {{{kYellow, kNavy}, {kNavy, kSilver}, {kSilver, kAuto}, {kWhite, kAuto},
                      {kLime, kAuto}, {kBlack, kFuchsia}}}},
        {"Twilight", {{{kWhite, kBlack}, {kNavy, kSilver}, {kSilver, kAuto}, {kAqua, kAuto},
                       {kYellow, kAuto}, {kBlack, kLime}}}},
        {"Ocean", {{{kBlue, kAqua}, {kAqua, kBlue}, {kTeal, kAuto}, {kBlack, kAuto},
                    {kGreen, kAuto}, {kAqua, kPurple}}}},
        {"Visual Studio (TM)", {{{kBlack, kWhite}, {kWhite, kBlack}, {kGreen, kAuto},
                                 {kBlue, kAuto}, {kBlue, kAuto}, {kAuto, kLime}}}},
    }};
    return presets;
}

QString ColorElementName(int element)
{
    static const char *const names[kColorElementCount] = {
        "Font", "Selection", "Comments", "Keywords", "Preprocessors", "Brace matching"};
    if (element < 0 || element >= kColorElementCount)
        return {};
    return QString::fromLatin1(names[element]);
}

QString ColorKey(int element, bool foreground)
{
    QString name = ColorElementName(element);
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return (foreground ? QStringLiteral("fg") : QStringLiteral("bg")) + name;
}

TColorTable ResolveColors(const TColorClass &raw)
{
    const TColorPair &font = raw[ceText];
    TColorTable resolved;
    for (int i = 0; i < kColorElementCount; ++i) {
        const TColorPair &own = raw[i];
        resolved[i].fg = own.fg != kAuto ? own.fg : font.fg != kAuto ? font.fg : kBlack;
        resolved[i].bg = own.bg != kAuto ? own.bg : font.bg != kAuto ? font.bg : kWhite;
    }
    return resolved;
}

TEditorSyntaxOptions::TEditorSyntaxOptions()
    : m_colors(ColorSpeedSettings()[0].colors), m_savedColors(m_colors)
{
}

TColorPair TEditorSyntaxOptions::ColorPair(int element) const
{
    if (element < 0 || element >= kColorElementCount)
        element = ceText;
    return ResolvedColors()[element];
}

bool TEditorSyntaxOptions::ApplyPreset(int index)
{
    if (index < 0 || index >= kColorSpeedSettingCount)
        return false;
    m_colors = ColorSpeedSettings()[index].colors;
    return true;
}

void TEditorSyntaxOptions::LoadEditorProperties(const TIniFile &ini)
{
    const TEditorSettings defaults;
    for (const TEditorSettingKey &k : EditorSettingKeys()) {
        const QString section = QString::fromLatin1(k.section);
        const QString key = QString::fromLatin1(k.key);
        switch (k.kind) {
        case TEditorSettingKey::skBool:
            m_settings.*k.boolField = ini.ReadBool(section, key, defaults.*k.boolField);
            break;
        case TEditorSettingKey::skInt:
            m_settings.*k.intField = ini.ReadInteger(section, key, defaults.*k.intField);
            break;
        case TEditorSettingKey::skString:
            m_settings.*k.stringField = ini.ReadString(section, key, defaults.*k.stringField);
            break;
        }
    }
    const TColorClass &first = ColorSpeedSettings()[0].colors;
    const QString colors = QString::fromLatin1(kColors);
    for (int i = 0; i < kColorElementCount; ++i) {
        m_colors[i].fg = TColorValue(ini.ReadInteger(colors, ColorKey(i, true), int(first[i].fg)));
        m_colors[i].bg = TColorValue(ini.ReadInteger(colors, ColorKey(i, false), int(first[i].bg)));
    }
}

bool TEditorSyntaxOptions::SaveEditorProperties(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    for (const TEditorSettingKey &k : EditorSettingKeys()) {
        const QString section = QString::fromLatin1(k.section);
        const QString key = QString::fromLatin1(k.key);
        switch (k.kind) {
        case TEditorSettingKey::skBool: batch.WriteBool(section, key, m_settings.*k.boolField); break;
        case TEditorSettingKey::skInt: batch.WriteInteger(section, key, m_settings.*k.intField); break;
        case TEditorSettingKey::skString:
            batch.WriteString(section, key, m_settings.*k.stringField);
            break;
        }
    }
    const QString colors = QString::fromLatin1(kColors);
    for (int i = 0; i < kColorElementCount; ++i) {
        batch.WriteInteger(colors, ColorKey(i, true), int(m_colors[i].fg));
        batch.WriteInteger(colors, ColorKey(i, false), int(m_colors[i].bg));
    }
    return batch.Commit();
}

void TEditorSyntaxOptions::MigrateLegacyColors(TIniFile &ini)
{
    const QString font = QString::fromLatin1(kFont);
    const QString colors = QString::fromLatin1(kColors);
    const QString color = QStringLiteral("color");
    if (!ini.ValueExists(font, color))
        return;
    const int automatic = int(kAutomaticColor);
    // Each old key is moved only once its new keys are written, so an interrupted migration
    // never loses a colour.
    if (!ini.WriteString(colors, ColorKey(ceText, true), ini.ReadString(font, color)))
        return;
    ini.DeleteKey(font, color);
    struct TOldKey {
        const char *key;
        int element;
        bool valueIsForeground;   ///< the old value becomes the foreground, else the background
        bool otherIsAutomatic;    ///< the other half becomes Automatic
    };
    static const TOldKey oldKeys[] = {
        {"background", ceText, false, false},
        {"selection", ceSelection, false, true},
        {"comments", ceComments, true, true},
        {"keywords", ceKeywords, true, true},
        {"preproc", cePreprocessor, true, true},
        {"bracematch", ceBraceMatch, false, true},
    };
    for (const TOldKey &old : oldKeys) {
        const QString key = QString::fromLatin1(old.key);
        if (!ini.ValueExists(colors, key))
            continue;
        const QString value = ini.ReadString(colors, key);
        TIniFile::Batch batch(ini);
        if (old.otherIsAutomatic)
            batch.WriteInteger(colors, ColorKey(old.element, !old.valueIsForeground), automatic);
        batch.WriteString(colors, ColorKey(old.element, old.valueIsForeground), value);
        if (!batch.Commit())
            return;
        ini.DeleteKey(colors, key);
    }
}

}  // namespace kiv
