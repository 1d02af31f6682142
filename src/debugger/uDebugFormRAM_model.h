#pragma once

#include "uDebugBase_model.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace kiv {

class TDbgFormModel;

/// The RAM window's model: a cache of the target's RAM that the table shows and through which
/// the watch library evaluates expressions (the memory function).
///
/// Five arrays of LastAddress() + 1 bytes: current (shown, from the last full read), previous
/// (before the last full read or evaluation), valid (from DBG_VALID_RAM; 0 = no RAM there),
/// state (0 not read since the target last ran, 1 read, above 1 touched by an evaluation) and
/// shadow (the evaluation's working copy).
class TDebugRamModel : public TDebugWindowModel {
public:
    explicit TDebugRamModel(TDbgFormModel &session);

    /// Resizes the arrays to `n` + 1 bytes (Attach); -1 empties them.
    void SetLastAddress(int n);
    int LastAddress() const { return int(m_current.size()) - 1; }
    int Size() const { return int(m_current.size()); }

    /// After every run or step: nothing is read since the target ran.
    void MarkStale();
    /// Every byte was read since the target last ran.
    bool CacheValid() const { return m_cacheValid; }
    /// One full read when forced or when the cache is stale; true when read or not needed.
    bool ReadAll(bool force);
    /// Reads the bytes of [first, first + count) not read since the target ran (all of them
    /// when forced), each unread stretch in one library call; true when nothing failed.
    bool ReadRange(int first, int count, bool force);
    /// The rows the table shows; Refresh and scrolling read only those and a margin of rows.
    void SetVisibleRows(int first, int last);
    static constexpr int kRowMargin = 8;
    void BeginEvaluation() { }
    /// Takes what an evaluation changed into current (previous keeps the old bytes).
    void EndEvaluation();
    /// Forgets what a failed evaluation changed: shadow is current again.
    void DiscardEvaluation();
    /// The memory function given to the watch library; `context` is the model.
    static int32_t MemoryFunction(void *context, int32_t address, int32_t count, uint8_t **data);

    uint8_t Current(int address) const { return m_current.at(size_t(address)); }
    uint8_t Previous(int address) const { return m_previous.at(size_t(address)); }
    uint8_t Valid(int address) const { return m_valid.at(size_t(address)); }
    uint8_t State(int address) const { return m_state.at(size_t(address)); }
    uint8_t Shadow(int address) const { return m_shadow.at(size_t(address)); }
    /// A byte of current, 0 beyond the cache (the peripheral registers' rule).
    uint8_t ValueAt(int address) const;

    /// Writes one byte edited in the table (only in dsReady); false after a reported failure.
    bool WriteByte(int address, uint8_t value);
    /// Library reads so far and bytes they asked for (how much scrolling and evaluating cost).
    int ReadCalls() const { return m_readCalls; }
    qint64 BytesRead() const { return m_bytesRead; }

    /// The table: 8 or 16 bytes per row; rows = ceil(size / bytes per row) + 1.
    int BytesPerRow() const { return m_bytesPerRow; }
    void SetBytesPerRow(int n);
    /// The width rule: wider than 434 pixels shows 16 bytes per row, else 8.
    void WidthChanged(int pixels);
    int RowCount() const;
    static QString ColumnHeading(int column, int bytesPerRow);

    /// "Auto Read": Refresh reads once per halt.
    bool AutoRead() const { return m_autoRead; }
    void SetAutoRead(bool on) { m_autoRead = on; }

    void Refresh() override;
    bool Activate() override;
    bool Deactivate() override;
    bool LoadSettings(TIniFile &ini) override;
    bool SaveSettings(TIniFile &ini) override;

private:
    TDbgFormModel &m_session;
    std::vector<uint8_t> m_current;
    std::vector<uint8_t> m_previous;
    std::vector<uint8_t> m_valid;
    std::vector<uint8_t> m_state;
    std::vector<uint8_t> m_shadow;
    bool m_cacheValid = false;
    bool m_autoRead = true;
    int m_firstVisible = 0;
    int m_lastVisible = -1;
    int m_bytesPerRow = 8;
    int m_readCalls = 0;
    qint64 m_bytesRead = 0;
};

}  // namespace kiv
