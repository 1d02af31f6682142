#include "vync_diag.h"

namespace kiv::vync {

void TMessages::Error(int number, const TSourceSpan &where, std::string text)
{
    if (m_errors >= kMaxErrors)
        return;
    // The same error at the same place once: recovery may meet a bad token twice.
    for (const TMessage &m : m_messages) {
        if (m.isError && m.where.file == where.file && m.where.line == where.line &&
            m.where.column == where.column && m.text == text)
            return;
    }
    ++m_errors;
    m_messages.push_back({true, number, where, std::move(text)});
}

void TMessages::Warning(int number, const TSourceSpan &where, std::string text)
{
    for (const TMessage &m : m_messages) {
        if (!m.isError && m.where.file == where.file && m.where.line == where.line && m.text == text)
            return;
    }
    ++m_warnings;
    m_messages.push_back({false, number, where, std::move(text)});
}

int TMessages::FileIndex(const std::string &path)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i] == path)
            return static_cast<int>(i);
    }
    files.push_back(path);
    return static_cast<int>(files.size() - 1);
}

std::string TMessages::FileName(int index) const
{
    if (index < 0 || index >= static_cast<int>(files.size()))
        return {};
    return files[static_cast<std::size_t>(index)];
}

}  // namespace kiv::vync
