#include "uDockingLib_model.h"

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
