#pragma once

#include <climits>
#include <functional>
#include <string_view>
#include <vector>

namespace kiv {

/// Read access to the lines of a text for the comment engine. Lines count from 1 and exclude
/// their line end. The engine's columns count bytes of a line (the widget holds UTF-8); every
/// character the engine looks for is ASCII, so the comments found are the same as when
/// counting characters.
class ILineSource {
public:
    virtual ~ILineSource() = default;
    /// Number of lines; an empty text has one empty line.
    virtual int LineCount() const = 0;
    /// The text of `line` (1 .. LineCount()). The view stays valid until the next call of
    /// Line() or ScanLines() or the next change of the text.
    virtual std::string_view Line(int line) const = 0;
    /// Calls `visit(line, text)` for `first`, `first` + 1, ... until it returns false or the
    /// text ends. The default reads line by line; a source may do it in one pass.
    virtual void ScanLines(int first, const std::function<bool(int, std::string_view)> &visit) const;
};

/// One block comment, from the "/" of "/*" to the "/" of "*/" (1-based lines and columns).
/// A comment that is never closed ends on the last line at column length + 2.
struct TCommentSpan {
    int startLine = 0;
    int startCol = 0;
    int endLine = 0;
    int endCol = 0;
    TCommentSpan *next = nullptr;
    TCommentSpan *prev = nullptr;
};

/// A span's position only: what tests and diagnostics compare.
struct TSpanPos {
    int startLine = 0;
    int startCol = 0;
    int endLine = 0;
    int endCol = 0;
    friend bool operator==(const TSpanPos &, const TSpanPos &) = default;
};

/// What the editor knew before a command changed the text; lines and columns from 1.
struct TEditSnapshot {
    int caretColumn = 1;
    int caretLine = 1;
    bool hadSelection = false;
    int lineCount = 1;
    int caretLineLength = 0;
};

/// Lines whose painting may have changed; empty while first > last.
struct TLineRange {
    int first = INT_MAX;
    int last = 0;
    bool Empty() const { return first > last; }
    void Add(int from, int to);
};

/// Bits of the position classification of an edit against the comment spans.
enum : int {
    pcStartLine = 0x01,   ///< the edit is on the span's start line
    pcEndLine = 0x02,     ///< the edit is on the span's end line
    pcBefore = 0x04,      ///< the span lies after the edit
    pcInside = 0x08,      ///< the edit is inside the comment
    pcDelimiter = 0x10,   ///< the edit touched "/*" or "*/"
    pcJustAfter = 0x20,   ///< the edit is just after a "*/"
};

/// The ordered list of block comments of a text, kept between a head and a tail sentinel.
/// `RebuildComments` scans the whole text; the incremental rules keep the list up to date for
/// single-character edits, line breaks and joined lines, touching only the spans of the edited
/// line and moving the spans after it. String literals are only recognised by the full scan;
/// the colouring layer corrects the rest while it paints lines.
class CCommentList {
public:
    explicit CCommentList(ILineSource *text = nullptr);
    virtual ~CCommentList();
    CCommentList(const CCommentList &) = delete;
    CCommentList &operator=(const CCommentList &) = delete;

    /// The text the spans belong to (not owned). Clears the spans.
    void SetText(ILineSource *text);
    ILineSource *Text() const { return m_text; }

    /// Discards all spans.
    void Clear();
    /// Discards all spans and scans the whole text.
    void RebuildComments();

    int Count() const { return m_count; }
    /// The first span, or nullptr when there is none.
    const TCommentSpan *First() const;
    /// The span after `span`, or nullptr at the end.
    const TCommentSpan *Next(const TCommentSpan *span) const;
    std::vector<TSpanPos> Spans() const;
    /// The spans a full scan of `text` gives.
    static std::vector<TSpanPos> ScanSpans(const ILineSource &text);
    /// True when the spans are in file order and do not overlap.
    bool Ordered() const;

    /// The first span that ends on or after `line` (it touches the line when it starts on or
    /// before it); nullptr when none. Uses and updates the lookup cursor.
    const TCommentSpan *SpanAtLine(int line);

    /// Classifies the snapshot caret (column `c`, line `l`) and the caret column after the edit
    /// `cAfter` against the spans: returns the pc... bits and sets `span` to the span of the
    /// edit (the tail sentinel when the edit lies after every span).
    int Classify(int c, int l, int cAfter, bool insertMode, TCommentSpan *&span);

    /// A change within the caret line: typed or deleted characters (`caretColumnAfter` is the
    /// caret column after the command).
    void SameLineEdit(const TEditSnapshot &before, int caretColumnAfter, bool insertMode);
    /// The caret line was split at the snapshot caret; the new line starts with `indent`
    /// characters of indentation before the moved text.
    void LineInserted(const TEditSnapshot &before, int indent);
    /// The line break after line l was removed. The snapshot caret is where the command
    /// started: after the end of line l (Delete) or at column 1 of line l + 1 (Backspace);
    /// the caret after it stands at the join (`caretColumnAfter`, `caretLineAfter` = l).
    void LinesJoined(const TEditSnapshot &before, int caretColumnAfter, int caretLineAfter);
    /// The indentation of `line` changed by `delta` characters (blanks inserted or removed at
    /// its start, the rest of the line unchanged): the spans that start or end on it move along.
    void ShiftLineText(int line, int delta);

    /// Lines to repaint since the last call, then forgets them.
    TLineRange TakeRepaint();
    /// How often a line could not be brought in agreement with the text and the whole text
    /// was scanned again; stays 0 unless the engine has a fault.
    int FallbackScans() const { return m_fallbackScans; }

protected:
    bool IsTail(const TCommentSpan *span) const { return span == &m_tail; }
    TCommentSpan *FirstSpan() { return m_head.next; }
    TCommentSpan *Tail() { return &m_tail; }
    /// First span ending on or after `line` (the tail when none), through the cursor.
    TCommentSpan *LookUp(int line);
    int LineCount() const;
    /// The text of `line`; empty out of range. Valid until the next read of the text.
    std::string_view LineText(int line) const;

    /// Inserts `span` (with positions set) after `after`.
    TCommentSpan *InsertAfter(TCommentSpan *after, int sl, int sc, int el, int ec);
    void RemoveSpan(TCommentSpan *span);
    /// Searches "/*" from (line, column) on that line and inserts the comment found there,
    /// its end searched from 2 columns further across the following lines; then removes the
    /// spans it overlaps. Returns the new span, or nullptr when none was inserted.
    TCommentSpan *InsertSpanFrom(int line, int column);
    /// Removes `span` and scans again from its start (or from column 1 of the next line when
    /// `fromNextLine`), inserting what is found, until a line after its old end is reached
    /// outside a comment. Returns the first span after the scanned region.
    TCommentSpan *RescanFrom(TCommentSpan *span, bool fromNextLine = false);
    /// Scans from (line, column) with plain substring searches, inserting the spans found
    /// after `after`, until a line after `untilLine` is reached outside a comment; spans of
    /// the old list that start in the scanned region are dropped. Returns the first span after
    /// the region.
    TCommentSpan *ScanRegion(TCommentSpan *after, int line, int column, int untilLine);
    /// After inserting or rescanning `span`: drops the following spans that start inside it.
    void RemoveOverlapped(TCommentSpan *span);

    void MarkRepaint(int from, int to) { m_repaint.Add(from, to); }
    void MarkRepaint(const TCommentSpan *span) { m_repaint.Add(span->startLine, span->endLine); }
    void NoteFallbackScan() { ++m_fallbackScans; }

private:
    void ShiftColumns(int line, int bits, int delta, TCommentSpan *span);
    void ShiftLines(TCommentSpan *span, int delta);
    /// The end of a comment whose "/*" is at (line, column): the (line, column of "/") of the
    /// first "*/" from column + 2 on, or the end of the text.
    void FindEnd(int line, int column, int &endLine, int &endCol) const;

    ILineSource *m_text = nullptr;
    TCommentSpan m_head;
    TCommentSpan m_tail;
    int m_count = 0;
    TCommentSpan *m_cursor = nullptr;
    int m_cursorLine = 0;
    TLineRange m_repaint;
    int m_fallbackScans = 0;
};

/// The start search of the full scan, one character at a time: tracks string literals
/// (a backslash escapes the next character inside one) and reports "/*" and "//" outside them.
/// A new search starts with a fresh state.
struct TStartSearch {
    enum TStep { ssNone, ssCommentStart, ssLineComment };
    bool inString = false;
    bool afterSlash = false;
    bool escape = false;
    /// Feeds one character; ssCommentStart means the previous character was the "/" of "/*",
    /// ssLineComment that it was the first "/" of "//".
    TStep Step(char ch);
};

/// Column (1-based) of the first comment start of `text` from `column` on, found with the
/// start search; 0 when none (also when a "//" comes first).
int FindCommentStart(std::string_view text, int column);
/// Column of the "*" of the first "*/" of `text` from `column` on; 0 when none.
int FindCommentEnd(std::string_view text, int column);
/// Column of the first "/*" of `text` from `column` on (plain search); 0 when none.
int FindPlainStart(std::string_view text, int column);

}  // namespace kiv
