#pragma once

// The lines of the "Interrupt Review" window: every interrupt keyword of a device with its
// description.

#include "fuseselection_model.h"
#include "pc_chipr.h"

#include <QStringList>

namespace kiv {

/// Selects the interrupt name table of the device's kind (1 "M", 3 "H", 4 "S"; kind 0 asks for
/// "B", which has no table and leaves the selection as it was), then gives one line per interrupt
/// number 1 to 47 in the device's set: the name cut at its first space ("?" when empty), tab(s)
/// to line the descriptions up, and the review description of the name.
QStringList InterruptReviewLines(const DeviceRecord &device, const TDescriptionFile &descriptions);

}  // namespace kiv
