#pragma once

#include <functional>
#include <vector>

namespace kiv {

/// The flagged lines of one editor (kept in ascending order) and its current line (0 = none).
/// What a flag and the current line mean belongs to the debugger; the editor only keeps and
/// draws them. Lines count from 1.
class CCodeFlags {
public:
    bool Contains(int line) const;
    /// Adds `line` (once); the list stays sorted.
    void Add(int line);
    /// Adds `line` when `on` and it is absent, removes it when not `on` and present.
    void Set(int line, bool on);
    /// Flips `line`; true when it was flagged and is now cleared.
    bool Toggle(int line);
    void Clear();
    const std::vector<int> &Lines() const { return m_lines; }

    int CurrentLine() const { return m_currentLine; }
    void SetCurrentLine(int line);

    /// Called after every change of the flags or the current line.
    void SetOnChanged(std::function<void()> hook) { m_onChanged = std::move(hook); }

private:
    void Changed();

    std::vector<int> m_lines;
    int m_currentLine = 0;
    std::function<void()> m_onChanged;
};

}  // namespace kiv
