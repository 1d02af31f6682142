#pragma once

#include "uDebugBase_model.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace kiv {

class TDbgFormModel;
class TMidRangeImage;

/// The ROM window's model: the program words of the project's HEX file (byte addresses 0 to
/// 0x3FFFF, one "loaded" bit per word) and each row's text with its instruction, decoded with
/// the instruction set of the device's kind when the row is shown.
class TDebugRomModel : public TDebugWindowModel {
public:
    static constexpr int kWords = 131072;

    explicit TDebugRomModel(TDbgFormModel &session);
    ~TDebugRomModel() override;

    /// Reads an Intel HEX file into the image. Throws std::runtime_error with the platform's
    /// message when the file cannot be read.
    void LoadHex(const QString &path);
    /// Rows of the table: the highest byte address loaded / 2 + 1 (0 before a load).
    int RowCount() const { return m_rows; }
    bool Loaded(int word) const { return word >= 0 && word < kWords && m_loaded[size_t(word)]; }
    uint16_t Word(int word) const { return word >= 0 && word < kWords ? m_words[size_t(word)] : 0; }
    /// The address a row shows: the word address for 14-bit parts, the byte address for PIC18.
    quint32 RowAddress(int row) const;
    /// The row of an address (the PC's row).
    int RowOf(quint32 address) const;
    /// "AAAA:  WWWW   instruction" (the word and instruction only when loaded).
    QString RowText(int row) const;
    /// Rows of breakpoints are drawn red; the PC's row yellow (only for kinds 1 and 3).
    bool IsBreakRow(int row) const;
    bool IsPcRow(int row) const;

    /// The first row to show so that the PC's row is in view: -1 when it is in view already,
    /// else the PC's row minus half the visible rows (at least 0).
    int ScrollTarget(int firstVisible, int visibleRows) const;
    /// Double click on a row: its source line, when the watch library knows one.
    void ShowRowSource(int row);

    void Refresh() override;
    /// The row the window scrolls to at the next redraw (-1: none).
    int PendingScroll() const { return m_pendingScroll; }
    void ClearPendingScroll() { m_pendingScroll = -1; }
    void SetVisibleRows(int first, int count);

private:
    /// The instruction of word `row` in the device's instruction set; empty for kinds without one.
    QString Instruction(int row) const;

    TDbgFormModel &m_session;
    std::unique_ptr<TMidRangeImage> m_midRange;   // the first 16,384 words, for 12- and 14-bit decoding
    std::vector<uint16_t> m_words;
    std::vector<bool> m_loaded;
    int m_rows = 0;
    int m_firstVisible = 0;
    int m_visibleRows = 0;
    int m_pendingScroll = -1;
};

}  // namespace kiv
