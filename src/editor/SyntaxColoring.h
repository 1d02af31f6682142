#pragma once

#include "CommentList.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv {

/// The colour classes of a painted line, in the order of the colour table.
enum TColorElement : unsigned char {
    ceText = 0,
    ceSelection = 1,
    ceComments = 2,
    ceKeywords = 3,
    cePreprocessor = 4,
    ceBraceMatch = 5,
};
constexpr int kColorElementCount = 6;

/// A colour as the settings file stores it: 0x00BBGGRR. kAutomaticColor means "Automatic".
using TColorValue = std::uint32_t;
constexpr TColorValue kAutomaticColor = 0x1FFFFFFF;
constexpr TColorValue RgbColor(int r, int g, int b)
{
    return TColorValue(r & 0xFF) | (TColorValue(g & 0xFF) << 8) | (TColorValue(b & 0xFF) << 16);
}

struct TColorPair {
    TColorValue fg = 0x000000;
    TColorValue bg = 0xFFFFFF;
    friend bool operator==(const TColorPair &, const TColorPair &) = default;
};
/// Six resolved pairs in element order: text, selection, comments, keywords, preprocessor,
/// brace match.
using TColorTable = std::array<TColorPair, kColorElementCount>;

/// The "Default" colour preset with its Automatic entries resolved against the text pair.
TColorTable DefaultColorTable();

/// A run of one colour class on a line: `column` counts from 1 (engine columns).
struct TColorRun {
    int column = 1;
    int length = 0;
    TColorElement element = ceText;
    friend bool operator==(const TColorRun &, const TColorRun &) = default;
};

/// A position in engine columns (bytes of the line), both counting from 1.
struct TLineColumn {
    int line = 0;
    int column = 0;
};

/// A selection in engine columns: from `start` up to (not including) `end`.
struct TLineSelection {
    TLineColumn start;
    TLineColumn end;
};

/// True when `text` (of `length` characters) is one of the 39 C keywords of the built-in
/// table, compared without regard to case; words longer than 10 characters never are.
bool IsKeyword(const char *text, int length);

/// True for the characters that end a word: blanks, quotes and C punctuation, not "#".
bool IsWordDelimiter(char ch);

/// Line colours of a compare result: a line starting with "D" (deleted) or "I" (inserted)
/// is drawn white on red or green; the printer gets lighter shades.
struct TCompareLineColors {
    bool coloured = false;
    TColorValue fg = 0xFFFFFF;
    TColorValue bg = 0xFFFFFF;
};
TCompareLineColors CompareLineColors(std::string_view line, bool screen);

/// The colour layer over the comment spans: the colour table, keyword lookup, the brace
/// highlight state and line painting. Painting a line also checks the spans that touch it
/// against the text and corrects them (comments that start inside a string, comments the
/// list lacks, comments after "//", stale ends), so that the list converges on what a full
/// scan gives.
class CSytaxColoring : public CCommentList {
public:
    explicit CSytaxColoring(ILineSource *text = nullptr);

    void SetColors(const TColorTable &colors) { m_colors = colors; }
    const TColorTable &Colors() const { return m_colors; }

    /// Paints `line`: one colour element per column of its text into `elements` (resized to
    /// the line length). Includes the brace highlight and, when given, the selection.
    /// Returns false for a line out of range.
    bool PaintLine(int line, std::string &elements, const TLineSelection *selection = nullptr);
    /// The same as runs of equal colour covering the whole line.
    bool PaintLine(int line, std::vector<TColorRun> &runs, const TLineSelection *selection = nullptr);

    /// Shows the bracket at `first` and its partner `partner` (engine columns; a zero line
    /// means none) in the brace-match colours.
    void SetBraceHighlight(TLineColumn first, TLineColumn partner);
    /// Ends the brace highlight; returns the lines it was on (to repaint).
    TLineRange ClearBraceHighlight();
    bool BraceHighlightActive() const { return m_braceActive; }
    TLineColumn BraceFirst() const { return m_braceFirst; }
    TLineColumn BracePartner() const { return m_bracePartner; }

private:
    /// One painting pass over `line`; false when it had to correct the spans (paint again).
    bool PaintPass(int line, std::string_view text, unsigned char *elements);
    /// True when the end of `span` agrees with the text of `line` searched from `column`.
    bool EndAgrees(const TCommentSpan *span, int line, std::string_view text, int column) const;
    /// Removes the spans from `span` on that start on or before `line`; true when none did.
    bool DropStartingOn(int line, TCommentSpan *span);

    TColorTable m_colors;
    bool m_braceActive = false;
    TLineColumn m_braceFirst;
    TLineColumn m_bracePartner;
};

/// Turns one element per column into runs of equal elements.
std::vector<TColorRun> ElementsToRuns(const std::string &elements);

}  // namespace kiv
