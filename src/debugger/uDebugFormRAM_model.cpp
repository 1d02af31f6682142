#include "uDebugFormRAM_model.h"

#include "kivini.h"
#include "uDbgForm_model.h"
#include "uDbgProxy.h"

#include <algorithm>

namespace kiv {

TDebugRamModel::TDebugRamModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormRAM"), QStringLiteral("RAM"))
    , m_session(session)
{
}

void TDebugRamModel::SetLastAddress(int n)
{
    const size_t size = n < 0 ? 0 : size_t(n) + 1;
    for (auto *array : {&m_current, &m_previous, &m_valid, &m_state, &m_shadow})
        array->assign(size, 0);
    m_cacheValid = false;
    Changed();
}

void TDebugRamModel::MarkStale()
{
    m_cacheValid = false;
    std::fill(m_state.begin(), m_state.end(), 0);
}

bool TDebugRamModel::ReadAll(bool force)
{
    if (!force && m_cacheValid)
        return true;
    const bool ok = ReadRange(0, Size(), force);
    m_cacheValid = ok && std::all_of(m_state.begin(), m_state.end(), [](uint8_t s) { return s != 0; });
    return ok;
}

bool TDebugRamModel::ReadRange(int first, int count, bool force)
{
    first = std::max(first, 0);
    const int end = std::min(first + std::max(count, 0), Size());
    if (first >= end)
        return true;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return false;
    const TDebugState remembered = m_session.State();
    bool changedState = false;
    bool ok = true;
    bool changed = false;
    int a = first;
    while (a < end && ok) {
        if (!force && m_state[size_t(a)] != 0) {
            ++a;
            continue;
        }
        int b = a;
        while (b < end && (force || m_state[size_t(b)] == 0))
            ++b;
        if (!changedState) {
            // The state shows the read and the cursor waits; both come back afterwards.
            m_session.SetState(dsReadingRam);
            m_session.Host().SetBusyCursor(true);
            changedState = true;
        }
        std::vector<uint8_t> fresh(size_t(b - a), 0);
        QString msg;
        ++m_readCalls;
        m_bytesRead += b - a;
        try {
            ok = debugger->ReadRam(a, b - a, fresh.data(), msg);
        } catch (...) {
            m_session.Host().SetBusyCursor(false);
            m_session.SetState(remembered);
            throw;
        }
        if (!ok) {
            m_session.ReportError(msg);
            break;
        }
        for (int i = a; i < b; ++i) {
            m_previous[size_t(i)] = m_current[size_t(i)];
            m_current[size_t(i)] = fresh[size_t(i - a)];
            m_shadow[size_t(i)] = m_current[size_t(i)];
            m_state[size_t(i)] = 1;
        }
        changed = true;
        a = b;
    }
    if (changedState) {
        m_session.Host().SetBusyCursor(false);
        m_session.SetState(remembered);
    }
    if (changed)
        Changed();
    return ok;
}

void TDebugRamModel::SetVisibleRows(int first, int last)
{
    m_firstVisible = first;
    m_lastVisible = last;
    if (m_autoRead && m_session.IsHalted() && m_session.IsActive()) {
        const int from = std::max(first - kRowMargin, 0) * m_bytesPerRow;
        const int to = (last + kRowMargin + 1) * m_bytesPerRow;
        ReadRange(from, to - from, false);
    }
}

int32_t TDebugRamModel::MemoryFunction(void *context, int32_t address, int32_t count, uint8_t **data)
{
    auto *model = static_cast<TDebugRamModel *>(context);
    if (!model || !data || count <= 0 || address < 0 || qint64(address) + count > qint64(model->m_current.size()))
        return 0;
    const bool unread = std::any_of(model->m_state.begin() + address, model->m_state.begin() + address + count,
                                    [](uint8_t s) { return s == 0; });
    if (unread) {
        // Reads a span of 16 bytes from the address (at least the request), at most to the
        // last address.
        const int span = std::max(std::min(16, model->LastAddress() - address + 1), int(count));
        QString msg;
        bool ok = false;
        if (TDbgProxy *debugger = model->m_session.Debugger()) {
            ++model->m_readCalls;
            model->m_bytesRead += span;
            ok = debugger->ReadRam(address, span, model->m_shadow.data() + address, msg);
        }
        if (!ok)
            std::copy(model->m_current.begin() + address, model->m_current.begin() + address + span,
                      model->m_shadow.begin() + address);
        for (int a = address; a < address + span; ++a) {
            if (model->m_state[size_t(a)] == 0)
                model->m_state[size_t(a)] = 1;
        }
    }
    for (int a = address; a < address + count; ++a) {
        if (model->m_state[size_t(a)] < 255)
            ++model->m_state[size_t(a)];
    }
    *data = model->m_shadow.data() + address;
    return 1;
}

void TDebugRamModel::EndEvaluation()
{
    bool changed = false;
    for (size_t a = 0; a < m_state.size(); ++a) {
        if (m_state[a] > 1) {
            if (m_current[a] != m_shadow[a])
                changed = true;
            m_previous[a] = m_current[a];
            m_current[a] = m_shadow[a];
        }
    }
    if (changed)
        Changed();
}

void TDebugRamModel::DiscardEvaluation()
{
    for (size_t a = 0; a < m_state.size(); ++a) {
        if (m_state[a] > 1) {
            m_shadow[a] = m_current[a];
            m_state[a] = 1;
        }
    }
}

uint8_t TDebugRamModel::ValueAt(int address) const
{
    return address >= 0 && size_t(address) < m_current.size() ? m_current[size_t(address)] : 0;
}

bool TDebugRamModel::WriteByte(int address, uint8_t value)
{
    if (m_session.State() != dsReady || address < 0 || size_t(address) >= m_current.size())
        return false;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return false;
    m_shadow[size_t(address)] = value;
    QString msg;
    if (!debugger->WriteRam(address, 1, &value, msg)) {
        m_session.ReportError(msg);
        return false;
    }
    m_previous[size_t(address)] = m_current[size_t(address)];
    m_current[size_t(address)] = value;
    Changed();
    return true;
}

void TDebugRamModel::SetBytesPerRow(int n)
{
    n = n >= 16 ? 16 : 8;
    if (n == m_bytesPerRow)
        return;
    m_bytesPerRow = n;
    Changed();
}

void TDebugRamModel::WidthChanged(int pixels)
{
    SetBytesPerRow(pixels > 434 ? 16 : 8);
}

int TDebugRamModel::RowCount() const
{
    return (Size() + m_bytesPerRow - 1) / m_bytesPerRow + 1;
}

QString TDebugRamModel::ColumnHeading(int column, int bytesPerRow)
{
    if (bytesPerRow == 16)
        return QString::number(column, 16).toUpper();
    return QString::number(column, 16).toUpper() + QLatin1Char('/') + QString::number(column + 8, 16).toUpper();
}

void TDebugRamModel::Refresh()
{
    // Only the rows on screen and a margin are read; the rest waits until it is scrolled to.
    if (m_autoRead && m_lastVisible >= m_firstVisible)
        SetVisibleRows(m_firstVisible, m_lastVisible);
    else
        Changed();
}

bool TDebugRamModel::Activate()
{
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return false;
    QString msg;
    try {
        if (!debugger->ValidRam(Size(), m_valid.data(), msg)) {
            m_session.ReportError(msg);
            return false;
        }
    } catch (const TRequestUnloadException &) {
        return false;
    }
    std::fill(m_current.begin(), m_current.end(), 0);
    std::fill(m_previous.begin(), m_previous.end(), 0);
    std::fill(m_state.begin(), m_state.end(), 0);
    m_cacheValid = false;
    Changed();
    return TDebugWindowModel::Activate();
}

bool TDebugRamModel::Deactivate()
{
    m_cacheValid = false;
    return TDebugWindowModel::Deactivate();
}

bool TDebugRamModel::LoadSettings(TIniFile &ini)
{
    m_autoRead = ini.ReadBool(QStringLiteral("debugram"), QStringLiteral("autoread"), true);
    Changed();
    return true;
}

bool TDebugRamModel::SaveSettings(TIniFile &ini)
{
    ini.WriteBool(QStringLiteral("debugram"), QStringLiteral("autoread"), m_autoRead);
    return true;
}

}  // namespace kiv
