#pragma once

#include "SyntaxColoring.h"

#include <QString>

#include <array>

namespace kiv {

class TIniFile;

/// The editor options kept in the settings file. A default-constructed value holds the value
/// each option takes when its key is missing.
struct TEditorSettings {
    bool vscroll = true;
    bool hscroll = true;
    bool syntaxHighlighting = true;
    bool autoHighlightBrackets = true;
    bool autoIndent = true;
    bool wordStar = false;            ///< the WordStar key table before the default one
    bool autoPosCruely = true;        ///< automatic placement of "}"
    int tabSize = 3;
    bool realTabs = false;            ///< keep tab characters ("&Keep tabs")
    bool lMarginVisible = true;       ///< the marker margin
    bool rMarginVisible = true;       ///< the right margin line
    int lMarginWidth = 25;            ///< marker margin width in pixels
    int rMarginWidth = 80;            ///< right margin column
    bool lineNumVisible = false;
    QString fontName = QStringLiteral("Fixedsys");
    int fontSize = 9;                 ///< points
    bool italic = false;
    bool bold = false;
    bool underline = false;
    int clrSpeed = 0;                 ///< index of the selected colour preset

    friend bool operator==(const TEditorSettings &, const TEditorSettings &) = default;
};

/// One option of the settings file: its section, key and the field holding it. The table
/// `EditorSettingKeys()` lists them in the order they are read and written.
struct TEditorSettingKey {
    enum TKind { skBool, skInt, skString };
    const char *section;
    const char *key;
    TKind kind;
    bool TEditorSettings::*boolField = nullptr;
    int TEditorSettings::*intField = nullptr;
    QString TEditorSettings::*stringField = nullptr;
};
/// The 20 options in file order (vscroll first, clrspeed last).
const std::array<TEditorSettingKey, 20> &EditorSettingKeys();

/// The colour set: six raw (foreground, background) pairs in element order (Font, Selection,
/// Comments, Keywords, Preprocessors, Brace matching). A value may be kAutomaticColor.
using TColorClass = TColorTable;

/// A built-in colour preset: its name and six raw pairs in element order.
struct TColorSpeedSettingDesc {
    const char *name;
    TColorClass colors;
};
constexpr int kColorSpeedSettingCount = 5;
/// "Default", "Classic", "Twilight", "Ocean", "Visual Studio (TM)".
const std::array<TColorSpeedSettingDesc, kColorSpeedSettingCount> &ColorSpeedSettings();

/// The element names shown in the "Element" list, in element order.
QString ColorElementName(int element);
/// The settings key of an element's colour: "fg"/"bg" + the name with blanks as "_".
QString ColorKey(int element, bool foreground);

/// Resolves the Automatic values of a raw colour set: an element's own colour, else the
/// Font element's, else black (foreground) or white (background).
TColorTable ResolveColors(const TColorClass &raw);

/// The one process-wide set of editor options and colours, without any window: loaded from
/// and saved to the settings file (sections editoptions, editoroptions, font and colors).
class TEditorSyntaxOptions {
public:
    TEditorSyntaxOptions();

    TEditorSettings &Settings() { return m_settings; }
    const TEditorSettings &Settings() const { return m_settings; }
    /// The raw colour set (Automatic values kept).
    TColorClass &Colors() { return m_colors; }
    const TColorClass &Colors() const { return m_colors; }

    /// The six resolved pairs in element order.
    TColorTable ResolvedColors() const { return ResolveColors(m_colors); }
    /// The resolved pair of one element (0 .. 5); an index out of range gives the Font pair.
    TColorPair ColorPair(int element) const;
    /// Keeps a spare copy of the twelve raw values / puts that copy back.
    void SaveColors() { m_savedColors = m_colors; }
    void RestoreColors() { m_colors = m_savedColors; }
    /// The colour set takes the twelve values of preset `index`; an index out of range
    /// changes nothing (false).
    bool ApplyPreset(int index);

    /// Reads every option and the twelve colours; a missing key yields its default, a missing
    /// colour the first preset's value. The preset index only names the preset: the stored
    /// colours stay as they are.
    void LoadEditorProperties(const TIniFile &ini);
    /// Writes the 20 options and then the 12 colours in one replace of the file; false when
    /// the file could not be written.
    bool SaveEditorProperties(TIniFile &ini) const;

    /// Moves the colours of an old settings file ([font] color and the old [colors] keys) to
    /// the twelve colour keys. Does nothing unless [font] color exists.
    static void MigrateLegacyColors(TIniFile &ini);

private:
    TEditorSettings m_settings;
    TColorClass m_colors;
    TColorClass m_savedColors;
};

}  // namespace kiv
