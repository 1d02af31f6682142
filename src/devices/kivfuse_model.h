#pragma once

// The lines of the "Fuse Review" window: every fuse keyword of a device with its description.

#include "fuseselection_model.h"
#include "pc_chipr.h"

#include <QStringList>

namespace kiv {

/// One line per fuse entry 1 to 130 with a mask: name, tab(s) and the review description of the
/// name. "RESERVED" entries are left out; a trailing NUL is removed; names shorter than 7
/// characters, or shorter than 9 and containing "I", get a second tab so the descriptions line up.
/// Names are taken from `fuseNames`.
QStringList FuseReviewLines(const DeviceRecord &device, const FuseNameTable &fuseNames,
                            const TDescriptionFile &descriptions);

}  // namespace kiv
