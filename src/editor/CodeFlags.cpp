#include "CodeFlags.h"

#include <algorithm>

namespace kiv {

bool CCodeFlags::Contains(int line) const
{
    return std::binary_search(m_lines.begin(), m_lines.end(), line);
}

void CCodeFlags::Add(int line)
{
    const auto at = std::lower_bound(m_lines.begin(), m_lines.end(), line);
    if (at != m_lines.end() && *at == line)
        return;
    m_lines.insert(at, line);
    Changed();
}

void CCodeFlags::Set(int line, bool on)
{
    const auto at = std::lower_bound(m_lines.begin(), m_lines.end(), line);
    const bool present = at != m_lines.end() && *at == line;
    if (on && !present) {
        m_lines.insert(at, line);
        Changed();
    } else if (!on && present) {
        m_lines.erase(at);
        Changed();
    }
}

bool CCodeFlags::Toggle(int line)
{
    const bool was = Contains(line);
    Set(line, !was);
    return was;
}

void CCodeFlags::Clear()
{
    if (m_lines.empty())
        return;
    m_lines.clear();
    Changed();
}

void CCodeFlags::SetCurrentLine(int line)
{
    line = std::max(line, 0);
    if (line == m_currentLine)
        return;
    m_currentLine = line;
    Changed();
}

void CCodeFlags::Changed()
{
    if (m_onChanged)
        m_onChanged();
}

}  // namespace kiv
