#pragma once

// A text held as a list of lines, with the editing operations a user performs; each edit
// reports to the comment engine as the editor's change handling does.

#include "CommentList.h"

#include <ostream>
#include <string>
#include <vector>

namespace kiv {
inline std::ostream &operator<<(std::ostream &os, const TSpanPos &s)
{
    return os << "(" << s.startLine << ":" << s.startCol << " - " << s.endLine << ":" << s.endCol << ")";
}
}  // namespace kiv

namespace kiv::test {

class TLineText : public ILineSource {
public:
    TLineText() : m_lines(1) {}
    explicit TLineText(std::vector<std::string> lines) : m_lines(std::move(lines))
    {
        if (m_lines.empty())
            m_lines.emplace_back();
    }

    int LineCount() const override { return int(m_lines.size()); }
    std::string_view Line(int line) const override { return m_lines[size_t(line - 1)]; }
    std::string &At(int line) { return m_lines[size_t(line - 1)]; }
    const std::vector<std::string> &Lines() const { return m_lines; }

    TEditSnapshot Snapshot(int line, int column) const
    {
        TEditSnapshot s;
        s.caretLine = line;
        s.caretColumn = column;
        s.lineCount = LineCount();
        s.caretLineLength = int(m_lines[size_t(line - 1)].size());
        return s;
    }

    /// Types `ch` at (line, column), inserting or overwriting.
    void Type(CCommentList &list, int line, int column, char ch, bool insertMode = true)
    {
        const TEditSnapshot before = Snapshot(line, column);
        std::string &text = At(line);
        if (insertMode || column > int(text.size()))
            text.insert(size_t(column - 1), 1, ch);
        else
            text[size_t(column - 1)] = ch;
        list.SameLineEdit(before, column + 1, insertMode);
    }
    /// Backspace with the caret at (line, column > 1).
    void Backspace(CCommentList &list, int line, int column)
    {
        const TEditSnapshot before = Snapshot(line, column);
        At(line).erase(size_t(column - 2), 1);
        list.SameLineEdit(before, column - 1, true);
    }
    /// Delete with the caret at (line, column) inside the line.
    void Delete(CCommentList &list, int line, int column)
    {
        const TEditSnapshot before = Snapshot(line, column);
        At(line).erase(size_t(column - 1), 1);
        list.SameLineEdit(before, column, true);
    }
    /// Enter at (line, column); the new line gets `indent` blanks before the moved text.
    void Enter(CCommentList &list, int line, int column, int indent = 0)
    {
        const TEditSnapshot before = Snapshot(line, column);
        std::string &text = At(line);
        std::string rest = std::string(size_t(indent), ' ') + text.substr(size_t(column - 1));
        text.erase(size_t(column - 1));
        m_lines.insert(m_lines.begin() + line, rest);
        list.LineInserted(before, indent);
    }
    /// Delete at the end of `line`: joins the next line to it.
    void JoinByDelete(CCommentList &list, int line)
    {
        const int column = int(At(line).size()) + 1;
        const TEditSnapshot before = Snapshot(line, column);
        Join(line);
        list.LinesJoined(before, column, line);
    }
    /// Backspace at column 1 of `line` (> 1): joins it to the line before.
    void JoinByBackspace(CCommentList &list, int line)
    {
        const TEditSnapshot before = Snapshot(line, 1);
        const int column = int(At(line - 1).size()) + 1;
        Join(line - 1);
        list.LinesJoined(before, column, line - 1);
    }

private:
    void Join(int line)
    {
        At(line) += At(line + 1);
        m_lines.erase(m_lines.begin() + line);
    }

    std::vector<std::string> m_lines;
};

}  // namespace kiv::test
