#pragma once

#include <QFont>

namespace kiv {

/// The desktop's fixed-pitch font. When the platform names one that does not resolve to a
/// fixed-pitch face (a bare platform without a desktop theme gives a proportional "monospace"),
/// the first installed fixed-pitch family is taken, preferring the common ones.
QFont FixedPitchFont();

}  // namespace kiv
