#pragma once

#include "uDebugBase_model.h"

#include <cstdint>
#include <vector>

namespace kiv {

class TDbgFormModel;

/// The Data EE window's model: the target's data EEPROM, read once per session (or on the
/// "Refresh" button) and edited a byte at a time.
class TDebugDataEEModel : public TDebugWindowModel {
public:
    explicit TDebugDataEEModel(TDbgFormModel &session);

    /// The device's EEPROM size in bytes (its eepromSize x 16); 0 hides the table.
    int Size() const { return int(m_current.size()); }
    bool HasData() const { return Size() > 0; }
    bool IsRead() const { return m_read; }
    /// Reads the whole EEPROM when forced or not yet read this session.
    bool ReadAll(bool force);
    uint8_t Current(int address) const { return m_current.at(size_t(address)); }
    uint8_t Previous(int address) const { return m_previous.at(size_t(address)); }
    const std::vector<uint8_t> &CurrentBytes() const { return m_current; }
    /// Writes one edited byte (size above 0, dsReady); false after a reported failure.
    bool WriteByte(int address, uint8_t value);

    int BytesPerRow() const { return m_bytesPerRow; }
    void WidthChanged(int pixels);
    int RowCount() const;

    bool AutoRead() const { return m_autoRead; }
    void SetAutoRead(bool on) { m_autoRead = on; }

    void Refresh() override;
    bool Activate() override;
    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    TDbgFormModel &m_session;
    std::vector<uint8_t> m_current;
    std::vector<uint8_t> m_previous;
    bool m_read = false;
    bool m_autoRead = true;
    int m_bytesPerRow = 8;
};

}  // namespace kiv
