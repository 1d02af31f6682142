#include "uDebugFormDataEE_model.h"

#include "kivini.h"
#include "uDbgForm_model.h"
#include "uDbgProxy.h"

namespace kiv {

TDebugDataEEModel::TDebugDataEEModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormDataEE"), QStringLiteral("Data EE"))
    , m_session(session)
{
}

bool TDebugDataEEModel::ReadAll(bool force)
{
    if (!HasData() || (m_read && !force))
        return HasData();
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return false;
    m_session.Host().SetBusyCursor(true);
    struct Cursor {
        IDebugHost &host;
        ~Cursor() { host.SetBusyCursor(false); }
    } cursor{m_session.Host()};
    std::vector<uint8_t> fresh(m_current.size(), 0);
    QString msg;
    if (!debugger->ReadEeprom(0, Size(), fresh.data(), msg)) {
        m_session.ReportError(msg);
        return false;
    }
    m_previous = m_current;
    m_current = fresh;
    m_read = true;
    Changed();
    return true;
}

bool TDebugDataEEModel::WriteByte(int address, uint8_t value)
{
    if (!HasData() || m_session.State() != dsReady || address < 0 || address >= Size())
        return false;
    TDbgProxy *debugger = m_session.Debugger();
    if (!debugger)
        return false;
    QString msg;
    if (!debugger->WriteEeprom(address, 1, &value, msg)) {
        m_session.ReportError(msg);
        return false;
    }
    m_previous[size_t(address)] = m_current[size_t(address)];
    m_current[size_t(address)] = value;
    Changed();
    return true;
}

void TDebugDataEEModel::WidthChanged(int pixels)
{
    const int n = pixels > 434 ? 16 : 8;
    if (n != m_bytesPerRow) {
        m_bytesPerRow = n;
        Changed();
    }
}

int TDebugDataEEModel::RowCount() const
{
    return (Size() + m_bytesPerRow - 1) / m_bytesPerRow + 1;
}

void TDebugDataEEModel::Refresh()
{
    if (m_autoRead)
        ReadAll(false);
    else
        Changed();
}

bool TDebugDataEEModel::Activate()
{
    const bool ok = TDebugWindowModel::Activate();
    const size_t size = size_t(m_session.device.eepromSize()) * 16;
    m_current.assign(size, 0);
    m_previous.assign(size, 0);
    m_read = false;
    Changed();
    return ok;
}

bool TDebugDataEEModel::LoadSettings(TIniFile &ini)
{
    m_autoRead = ini.ReadBool(QStringLiteral("debugeedata"), QStringLiteral("autoread"), true);
    Changed();
    return true;
}

bool TDebugDataEEModel::SaveSettings(TIniFile &ini)
{
    ini.WriteBool(QStringLiteral("debugeedata"), QStringLiteral("autoread"), m_autoRead);
    return true;
}

}  // namespace kiv
