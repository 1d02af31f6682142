#pragma once

#include <QRect>
#include <QSize>

namespace kiv {

/// The tags of the main window's three dock panels, as the saved layout names them.
enum TDockPanelTag { dpLeft = 0, dpBottom = 1, dpRight = 2 };

/// True for 0, 1 and 2.
bool IsDockPanelTag(int tag);

/// The rectangle, relative to the panel, that previews a drop on the dock panel `tag`: a quarter
/// of the main window's client width (left, right) or height (bottom), reaching out of the
/// panel into the page area so that a collapsed panel still shows where the window will go.
QRect DockPanelPreviewRect(int tag, const QSize &panelSize, const QSize &clientSize);

/// The smallest floating tool window a saved layout may give.
inline constexpr int kMinFloatingWidth = 120;
inline constexpr int kMinFloatingHeight = 80;

/// A saved floating rectangle made usable on `screen` (the available area of the screen the
/// main window is on): a size of 0 or less takes the default 200, a size is kept between the
/// minimum and the screen's, and the rectangle is moved, keeping its size, until it lies on
/// the screen. An invalid `screen` only mends the size.
QRect FitFloatingRect(const QRect &saved, const QRect &screen);

/// A saved dock panel size (width of the left and right panels, height of the bottom panel)
/// made usable in a main window whose client area is `clientSize`: negative sizes become 0,
/// and no panel takes more than three quarters of the client width or height, so the pages
/// always keep room. An empty `clientSize` only mends negative sizes.
int FitPanelSize(int tag, int size, const QSize &clientSize);

/// The last open size of each dock panel: width of the left and right panels, height of the
/// bottom panel. 0 means "never opened", which opens at a quarter of the main window.
class TDockPanelSizes {
public:
    int Saved(int tag) const;
    void SetSaved(int tag, int size);

    /// The size to open the panel at; a panel opened for the first time takes a quarter of the
    /// client width (left, right) or height (bottom), which becomes its saved size.
    int OpenSize(int tag, const QSize &clientSize);
    /// The panel is about to collapse from `currentSize`: that size is kept for the next opening.
    void Collapsing(int tag, int currentSize);
    /// The panel was resized; a size of 0 is a collapse, not a size to re-open at.
    void Resized(int tag, int size);

private:
    int m_left = 0;
    int m_bottom = 0;
    int m_right = 0;
};

}  // namespace kiv
