#include "CommentList.h"

#include <algorithm>

namespace kiv {

// --- text access ----------------------------------------------------------------------------

void ILineSource::ScanLines(int first, const std::function<bool(int, std::string_view)> &visit) const
{
    const int count = LineCount();
    for (int line = std::max(first, 1); line <= count; ++line) {
        if (!visit(line, Line(line)))
            return;
    }
}

void TLineRange::Add(int from, int to)
{
    if (from > to)
        std::swap(from, to);
    first = std::min(first, from);
    last = std::max(last, to);
}

// --- searches -------------------------------------------------------------------------------

TStartSearch::TStep TStartSearch::Step(char ch)
{
    if (inString) {
        if (escape)
            escape = false;
        else if (ch == '\\')
            escape = true;
        else if (ch == '"')
            inString = false;
        return ssNone;
    }
    if (afterSlash) {
        afterSlash = false;
        if (ch == '*')
            return ssCommentStart;
        if (ch == '/')
            return ssLineComment;
    }
    if (ch == '"' && !escape) {
        inString = true;
        return ssNone;
    }
    escape = ch == '\\';
    afterSlash = ch == '/';
    return ssNone;
}

int FindCommentStart(std::string_view text, int column)
{
    const int length = int(text.size());
    // Most lines have no slash at all.
    if (column < 1)
        column = 1;
    if (column > length || !std::char_traits<char>::find(text.data() + column - 1, size_t(length - column + 1), '/'))
        return 0;
    TStartSearch search;
    for (int col = std::max(column, 1); col <= length; ++col) {
        switch (search.Step(text[col - 1])) {
        case TStartSearch::ssCommentStart: return col - 1;
        case TStartSearch::ssLineComment: return 0;
        case TStartSearch::ssNone: break;
        }
    }
    return 0;
}

namespace {

int FindPair(std::string_view text, int column, char first, char second)
{
    const int length = int(text.size());
    for (int col = std::max(column, 1); col < length; ++col) {
        // Skip quickly to the next candidate for the first character.
        const char *at = static_cast<const char *>(
            std::char_traits<char>::find(text.data() + col - 1, size_t(length - col), first));
        if (!at)
            return 0;
        col = int(at - text.data()) + 1;
        if (col < length && text[col] == second)
            return col;
    }
    return 0;
}

}  // namespace

int FindCommentEnd(std::string_view text, int column)
{
    return FindPair(text, column, '*', '/');
}

int FindPlainStart(std::string_view text, int column)
{
    return FindPair(text, column, '/', '*');
}

// --- the list -------------------------------------------------------------------------------

CCommentList::CCommentList(ILineSource *text)
    : m_text(text)
{
    m_head.next = &m_tail;
    m_tail.prev = &m_head;
    // The tail lies after every line, so a walk over the spans always stops at it.
    m_tail.startLine = m_tail.endLine = INT_MAX;
    m_tail.startCol = m_tail.endCol = INT_MAX;
}

CCommentList::~CCommentList()
{
    // The text may be gone already: free the spans without asking it anything.
    m_text = nullptr;
    Clear();
}

void CCommentList::SetText(ILineSource *text)
{
    m_text = text;
    Clear();
}

void CCommentList::Clear()
{
    TCommentSpan *span = m_head.next;
    while (span != &m_tail) {
        TCommentSpan *next = span->next;
        delete span;
        span = next;
    }
    m_head.next = &m_tail;
    m_tail.prev = &m_head;
    m_count = 0;
    m_cursor = nullptr;
    m_cursorLine = 0;
    m_repaint.Add(1, std::max(LineCount(), 1));
}

int CCommentList::LineCount() const
{
    return m_text ? m_text->LineCount() : 0;
}

std::string_view CCommentList::LineText(int line) const
{
    if (!m_text || line < 1 || line > m_text->LineCount())
        return {};
    return m_text->Line(line);
}

void CCommentList::RebuildComments()
{
    Clear();
    if (!m_text)
        return;
    bool inComment = false;
    int startLine = 0;
    int startCol = 0;
    int lastLine = 0;
    int lastLength = 0;
    TCommentSpan *last = &m_head;
    m_text->ScanLines(1, [&](int line, std::string_view text) {
        int column = 1;
        for (;;) {
            if (!inComment) {
                const int start = FindCommentStart(text, column);
                if (!start)
                    break;
                startLine = line;
                startCol = start;
                inComment = true;
                column = start + 2;
            }
            const int end = FindCommentEnd(text, column);
            if (!end)
                break;
            last = InsertAfter(last, startLine, startCol, line, end + 1);
            inComment = false;
            column = end + 2;
        }
        lastLine = line;
        lastLength = int(text.size());
        return true;
    });
    if (inComment)
        InsertAfter(last, startLine, startCol, lastLine, lastLength + 2);
}

std::vector<TSpanPos> CCommentList::ScanSpans(const ILineSource &text)
{
    CCommentList list(const_cast<ILineSource *>(&text));
    list.RebuildComments();
    return list.Spans();
}

const TCommentSpan *CCommentList::First() const
{
    return m_head.next == &m_tail ? nullptr : m_head.next;
}

const TCommentSpan *CCommentList::Next(const TCommentSpan *span) const
{
    if (!span || span->next == &m_tail)
        return nullptr;
    return span->next;
}

std::vector<TSpanPos> CCommentList::Spans() const
{
    std::vector<TSpanPos> spans;
    spans.reserve(size_t(m_count));
    for (const TCommentSpan *s = m_head.next; s != &m_tail; s = s->next)
        spans.push_back({s->startLine, s->startCol, s->endLine, s->endCol});
    return spans;
}

bool CCommentList::Ordered() const
{
    const TCommentSpan *prev = nullptr;
    for (const TCommentSpan *s = m_head.next; s != &m_tail; s = s->next) {
        if (s->next->prev != s || s->startLine < 1)
            return false;
        if (s->endLine < s->startLine || (s->endLine == s->startLine && s->endCol <= s->startCol))
            return false;
        if (prev && (s->startLine < prev->endLine
                     || (s->startLine == prev->endLine && s->startCol <= prev->endCol)))
            return false;
        prev = s;
    }
    return true;
}

TLineRange CCommentList::TakeRepaint()
{
    const TLineRange range = m_repaint;
    m_repaint = TLineRange();
    return range;
}

TCommentSpan *CCommentList::LookUp(int line)
{
    TCommentSpan *span = m_cursor ? m_cursor : m_head.next;
    if (span == &m_tail)
        return span;
    // Consecutive lines cost one step: move back only while the previous span still reaches
    // the line, then forward past the spans that end before it.
    while (span->prev != &m_head && span->prev->endLine >= line)
        span = span->prev;
    while (span != &m_tail && span->endLine < line)
        span = span->next;
    if (span != &m_tail) {
        m_cursor = span;
        m_cursorLine = line;
    }
    return span;
}

const TCommentSpan *CCommentList::SpanAtLine(int line)
{
    const TCommentSpan *span = LookUp(line);
    return span == &m_tail ? nullptr : span;
}

TCommentSpan *CCommentList::InsertAfter(TCommentSpan *after, int sl, int sc, int el, int ec)
{
    auto *span = new TCommentSpan{sl, sc, el, ec, after->next, after};
    after->next->prev = span;
    after->next = span;
    ++m_count;
    MarkRepaint(span);
    return span;
}

void CCommentList::RemoveSpan(TCommentSpan *span)
{
    if (span == &m_tail || span == &m_head)
        return;
    if (m_cursor == span) {
        m_cursor = span->prev != &m_head ? span->prev : nullptr;
        m_cursorLine = 0;
    }
    MarkRepaint(span);
    span->prev->next = span->next;
    span->next->prev = span->prev;
    delete span;
    --m_count;
}

// --- classification and shifting ------------------------------------------------------------

int CCommentList::Classify(int c, int l, int cAfter, bool insertMode, TCommentSpan *&span)
{
    int result = 0;
    for (TCommentSpan *s = m_head.next;; s = s->next) {
        result &= pcJustAfter;
        if (s == &m_tail || l < s->startLine) {
            span = s;
            return result | pcBefore;
        }
        const int sl = s->startLine;
        const int sc = s->startCol;
        const int el = s->endLine;
        const int ec = s->endCol;
        if (l > el)
            continue;
        if (sl < l && l < el) {
            result |= pcInside;
        } else {
            if (l == el) {
                if (cAfter == ec) {
                    result |= 0x1A;
                } else if (ec < c) {
                    // After this comment's end: the edit belongs to a later span.
                    result = c == ec + 1 ? (pcJustAfter | pcEndLine) : (result | pcEndLine);
                    continue;
                } else {
                    result |= c < ec - 1 ? (pcInside | pcEndLine) : 0x1A;
                }
            }
            if (l == sl) {
                const bool before = c < sc || (c == sc && c < cAfter && insertMode)
                                    || (c == sc && cAfter < c);
                if (before)
                    result = (result & 0xF2) | pcBefore | pcStartLine;
                else
                    result |= (sc + 1 >= c || cAfter == sc + 1) ? 0x19 : (pcInside | pcStartLine);
            }
        }
        if (result != 0) {
            span = s;
            return result;
        }
    }
}

void CCommentList::ShiftColumns(int line, int bits, int delta, TCommentSpan *span)
{
    if (delta == 0 || span == &m_tail)
        return;
    if (span->startLine == line && (bits & pcBefore))
        span->startCol += delta;
    if (span->endLine == line) {
        span->endCol += delta;
        for (TCommentSpan *s = span->next; s != &m_tail && s->startLine == line; s = s->next) {
            s->startCol += delta;
            if (s->endLine == line)
                s->endCol += delta;
        }
    }
    MarkRepaint(line, line);
}

void CCommentList::ShiftLines(TCommentSpan *span, int delta)
{
    if (span == &m_tail || delta == 0)
        return;
    const int from = std::min(span->startLine, span->startLine + delta);
    for (TCommentSpan *s = span; s != &m_tail; s = s->next) {
        s->startLine += delta;
        s->endLine += delta;
    }
    MarkRepaint(std::max(from, 1), std::max(LineCount(), from));
}

void CCommentList::ShiftLineText(int line, int delta)
{
    if (delta == 0 || line < 1 || line > LineCount())
        return;
    // Classified as an edit at column 1: a span starting on the line lies after it (also one
    // starting at column 1 when blanks are inserted before it), a span ending on it ends after it.
    TCommentSpan *span = nullptr;
    const int bits = Classify(1, line, 1 + std::max(delta, 0), true, span);
    ShiftColumns(line, bits, delta, span);
}

// --- the incremental rules ------------------------------------------------------------------

void CCommentList::SameLineEdit(const TEditSnapshot &before, int caretColumnAfter, bool insertMode)
{
    const int l = before.caretLine;
    const int c = before.caretColumn;
    if (l < 1 || l > LineCount())
        return;
    int delta = int(LineText(l).size()) - before.caretLineLength;
    if (!insertMode && delta > 0)
        delta = 0;
    TCommentSpan *span = nullptr;
    const int bits = Classify(c, l, caretColumnAfter, insertMode, span);
    ShiftColumns(l, bits, delta, span);
    MarkRepaint(l, l);
    if (bits & pcDelimiter) {
        RescanFrom(span);
        return;
    }
    // Look at the characters around the caret for a delimiter pair the edit created.
    const std::string_view text = LineText(l);
    const int from = (bits & pcJustAfter) ? c : std::max(1, caretColumnAfter - 2);
    const int count = (bits & pcJustAfter) ? 2 : 4;
    if (from > int(text.size()))
        return;
    const std::string_view window = text.substr(size_t(from - 1), size_t(count));
    const size_t open = window.find("/*");
    const size_t close = window.find("*/");
    bool inserted = false;
    if (open != std::string_view::npos
        && (bits == 0 || (bits & (pcBefore | pcEndLine | pcJustAfter))))
        inserted = InsertSpanFrom(l, from + int(open)) != nullptr;
    if (close != std::string_view::npos && (bits & pcInside) && !inserted)
        RescanFrom(span);
}

void CCommentList::LineInserted(const TEditSnapshot &before, int indent)
{
    const int l = before.caretLine;
    const int c = before.caretColumn;
    if (l < 1 || l >= LineCount())
        return;
    TCommentSpan *span = nullptr;
    int bits = Classify(c, l, c, true, span);
    if (bits & pcInside) {
        const bool wholeSpan = (bits & pcStartLine) && c == span->startCol;
        ShiftLines(wholeSpan ? span : span->next, 1);
        if (((bits & pcStartLine) && c == span->startCol + 1)
            || ((bits & pcEndLine) && c == span->endCol)) {
            // A "/*" or "*/" was split. The scan works on the new text; the spans after the
            // scanned region that still sit on the new line are moved by the column shift.
            span = RescanFrom(span);
            bits = pcBefore;
        }
    } else {
        ShiftLines(span, 1);
    }
    if (span != &m_tail) {
        const bool splitInside = (bits & pcInside)
                                 && (!(bits & pcStartLine) || span->startCol + 1 < c);
        if (splitInside)
            span->endLine += 1;
        if ((bits & pcStartLine) && (bits & pcInside) && c == span->startCol)
            span->startCol = indent + 1;
        ShiftColumns(l + 1, bits, indent - c + 1, span);
    }
    MarkRepaint(l, l + 1);
}

void CCommentList::LinesJoined(const TEditSnapshot &before, int caretColumnAfter, int caretLineAfter)
{
    const int c = before.caretColumn;
    const int l = caretLineAfter;
    if (l < 1 || l > LineCount())
        return;
    TCommentSpan *span = nullptr;
    int bits = Classify(c, before.caretLine, c, true, span);
    ShiftLines(span, -1);
    if (span != &m_tail) {
        if ((bits & pcStartLine) && c == span->startCol)
            bits = (bits & ~pcInside) | pcBefore;
        if (span->startLine == l)
            bits |= pcStartLine;
    }
    ShiftColumns(l, bits, caretColumnAfter - 1, span);
    // Shifting moved the start of a comment that contains the join; put it back.
    if ((bits & pcInside) && span != &m_tail)
        span->startLine += 1;
    MarkRepaint(l, l);
    const std::string_view text = LineText(l);
    if (caretColumnAfter < 2 || caretColumnAfter > int(text.size()))
        return;
    const std::string_view pair = text.substr(size_t(caretColumnAfter - 2), 2);
    if (pair == "*/" && (bits & pcInside))
        RescanFrom(span);
    else if (pair == "/*" && !(bits & (pcInside | pcDelimiter)))
        InsertSpanFrom(l, caretColumnAfter - 1);
}

// --- rescans and insertion ------------------------------------------------------------------

void CCommentList::FindEnd(int line, int column, int &endLine, int &endCol) const
{
    endLine = 0;
    int from = column + 2;
    int lastLine = line;
    int lastLength = 0;
    m_text->ScanLines(line, [&](int at, std::string_view text) {
        const int end = FindCommentEnd(text, from);
        from = 1;
        lastLine = at;
        lastLength = int(text.size());
        if (end) {
            endLine = at;
            endCol = end + 1;
            return false;
        }
        return true;
    });
    if (!endLine) {
        endLine = lastLine;
        endCol = lastLength + 2;
    }
}

TCommentSpan *CCommentList::InsertSpanFrom(int line, int column)
{
    const int start = FindPlainStart(LineText(line), column);
    if (!start)
        return nullptr;
    // The new comment goes after the last span that starts before it, unless that span
    // already covers its start.
    TCommentSpan *next = LookUp(line);
    while (next != &m_tail
           && (next->startLine < line || (next->startLine == line && next->startCol < start)))
        next = next->next;
    TCommentSpan *prev = next->prev;
    if (prev != &m_head
        && (prev->endLine > line || (prev->endLine == line && prev->endCol >= start)))
        return nullptr;
    int endLine = 0;
    int endCol = 0;
    FindEnd(line, start, endLine, endCol);
    TCommentSpan *span = InsertAfter(prev, line, start, endLine, endCol);
    RemoveOverlapped(span);
    return span;
}

void CCommentList::RemoveOverlapped(TCommentSpan *span)
{
    TCommentSpan *s = span->next;
    while (s != &m_tail && s->startLine <= span->endLine) {
        if (s->startLine < span->endLine || s->startCol < span->endCol) {
            TCommentSpan *next = s->next;
            RemoveSpan(s);
            s = next;
            continue;
        }
        if (s->startCol == span->endCol) {
            // A "*/*": the slash closes this comment and cannot open the next one.
            MarkRepaint(s);
            s->startCol += 1;
            RescanFrom(s);
        }
        break;
    }
}

TCommentSpan *CCommentList::RescanFrom(TCommentSpan *span, bool fromNextLine)
{
    if (span == &m_tail || span == &m_head)
        return &m_tail;
    TCommentSpan *after = span->prev;
    const int line = fromNextLine ? span->startLine + 1 : span->startLine;
    const int column = fromNextLine ? 1 : span->startCol;
    const int untilLine = span->endLine;
    RemoveSpan(span);
    return ScanRegion(after, line, column, untilLine);
}

TCommentSpan *CCommentList::ScanRegion(TCommentSpan *after, int line, int column, int untilLine)
{
    const int lines = LineCount();
    TCommentSpan *last = after;
    bool inComment = false;
    int startLine = 0;
    int startCol = 0;
    int stopLine = lines + 1;
    int lastLength = 0;
    const int firstLine = std::max(line, 1);
    int from = column;
    m_text->ScanLines(firstLine, [&](int at, std::string_view text) {
        if (at > firstLine)
            from = 1;
        if (!inComment && at > untilLine && from == 1) {
            stopLine = at;
            return false;
        }
        lastLength = int(text.size());
        for (;;) {
            if (!inComment) {
                const int start = FindPlainStart(text, from);
                if (!start)
                    break;
                startLine = at;
                startCol = start;
                inComment = true;
                from = start + 2;
            }
            const int end = FindCommentEnd(text, from);
            if (!end)
                break;
            last = InsertAfter(last, startLine, startCol, at, end + 1);
            inComment = false;
            from = end + 2;
        }
        return true;
    });
    if (inComment) {
        last = InsertAfter(last, startLine, startCol, lines, lastLength + 2);
        stopLine = lines + 1;
    }
    // Everything from the first line up to the stop line was scanned: older spans that start
    // there are stale.
    TCommentSpan *s = last->next;
    while (s != &m_tail && s->startLine < stopLine) {
        TCommentSpan *next = s->next;
        RemoveSpan(s);
        s = next;
    }
    MarkRepaint(firstLine, std::min(stopLine, std::max(lines, firstLine)));
    if (last != after)
        RemoveOverlapped(last);
    return last->next;
}

}  // namespace kiv
