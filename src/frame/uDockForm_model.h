#pragma once

#include "uDockTree.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kiv {

/// The drop zone of a dockable form for a mouse position in its client area of `client` size:
/// the left, top, right and bottom fifths dock beside the form (alLeft, alTop, alRight,
/// alBottom), the centre makes a tab group (alClient); alNone outside. `preview` receives the
/// rectangle to show, in client coordinates: the half of the form on that side, or the centre
/// zone itself; it is left as it was for alNone.
TAlign DockZone(const QPoint &pos, const QSize &client, QRect *preview = nullptr);

}  // namespace kiv
