#pragma once

// The interrupt name tables: three fixed keyword lists selected by a letter. The `interrupts`
// set of a device record is indexed by the 1-based positions of the list of its kind.

#include <QString>

namespace kiv {

/// Positions above this are never listed, even when a record sets them.
constexpr int kListedInterrupts = 47;

/// Selects the list "M" (14-bit), "H" (PIC18) or "S" (SX); any other letter changes nothing.
void SelectInterruptTable(QChar letter);
/// The letter of the selected list ("M" at start).
QChar SelectedInterruptTable();
/// The i-th name (1-based) of the selected list; empty when i is outside it.
QString InterruptName(int i);

/// The i-th name of the list `letter`, without touching the selection; empty when there is no
/// such list or position.
QString InterruptNameIn(QChar letter, int i);
/// Number of names of the list `letter` (0 when there is none).
int InterruptTableSize(QChar letter);
/// The list letter of a device kind: 1 "M", 3 "H", 4 "S", otherwise "B" (which has no list).
QChar InterruptTableOfKind(int kind);

}  // namespace kiv
