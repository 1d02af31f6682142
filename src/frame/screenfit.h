#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace kiv {

/// A stored window rectangle made to fit the screens: at least `minimum` and at most the size of
/// the screen it lands on, and wholly on that screen. The screen is the one holding the
/// rectangle's centre, else the one it overlaps most, else the first. `screens` are the
/// screens' available areas; without any the rectangle only gets its minimum size.
/// The stored numbers are taken as they are (any int), so nothing overflows on the way.
QRect FitOnScreens(int left, int top, int width, int height, const QList<QRect> &screens,
                   const QSize &minimum);

}  // namespace kiv
