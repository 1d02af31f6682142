#include "uDockingLib_model.h"

#include <algorithm>

namespace kiv {

bool IsDockPanelTag(int tag)
{
    return tag == dpLeft || tag == dpBottom || tag == dpRight;
}

QRect DockPanelPreviewRect(int tag, const QSize &panelSize, const QSize &clientSize)
{
    const int quarterWidth = clientSize.width() / 4;
    const int quarterHeight = clientSize.height() / 4;
    switch (tag) {
    case dpLeft:
        return QRect(0, 0, quarterWidth, panelSize.height());
    case dpRight:
        return QRect(-quarterWidth, 0, panelSize.width() + quarterWidth, panelSize.height());
    case dpBottom:
        return QRect(0, -quarterHeight, panelSize.width(), panelSize.height() + quarterHeight);
    default:
        return QRect(QPoint(0, 0), panelSize);
    }
}

QRect FitFloatingRect(const QRect &saved, const QRect &screen)
{
    int width = saved.width() > 0 ? saved.width() : 200;
    int height = saved.height() > 0 ? saved.height() : 200;
    width = std::max(width, kMinFloatingWidth);
    height = std::max(height, kMinFloatingHeight);
    if (!screen.isValid())
        return QRect(saved.left(), saved.top(), width, height);
    width = std::min(width, screen.width());
    height = std::min(height, screen.height());
    // 64-bit arithmetic: saved positions come from a file and may be anywhere in int's range.
    const qint64 maxLeft = qint64(screen.left()) + screen.width() - width;
    const qint64 maxTop = qint64(screen.top()) + screen.height() - height;
    const int left = int(std::clamp<qint64>(saved.left(), screen.left(), maxLeft));
    const int top = int(std::clamp<qint64>(saved.top(), screen.top(), maxTop));
    return QRect(left, top, width, height);
}

int FitPanelSize(int tag, int size, const QSize &clientSize)
{
    size = std::max(size, 0);
    const int extent = tag == dpBottom ? clientSize.height() : clientSize.width();
    if (extent > 0)
        size = std::min(size, extent * 3 / 4);
    return size;
}

int TDockPanelSizes::Saved(int tag) const
{
    switch (tag) {
    case dpLeft: return m_left;
    case dpBottom: return m_bottom;
    case dpRight: return m_right;
    default: return 0;
    }
}

void TDockPanelSizes::SetSaved(int tag, int size)
{
    switch (tag) {
    case dpLeft: m_left = size; break;
    case dpBottom: m_bottom = size; break;
    case dpRight: m_right = size; break;
    default: break;
    }
}

int TDockPanelSizes::OpenSize(int tag, const QSize &clientSize)
{
    int size = Saved(tag);
    if (size == 0) {
        size = tag == dpBottom ? clientSize.height() / 4 : clientSize.width() / 4;
        SetSaved(tag, size);
    }
    return size;
}

void TDockPanelSizes::Collapsing(int tag, int currentSize)
{
    // Collapsing an already collapsed panel must not forget the size it had when open.
    if (currentSize > 0)
        SetSaved(tag, currentSize);
}

void TDockPanelSizes::Resized(int tag, int size)
{
    if (size > 0)
        SetSaved(tag, size);
}

}  // namespace kiv
