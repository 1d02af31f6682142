#include "uDockForm_model.h"

namespace kiv {

TAlign DockZone(const QPoint &pos, const QSize &client, QRect *preview)
{
    const int w = client.width();
    const int h = client.height();
    const int w5 = w / 5;
    const int h5 = h / 5;
    // Half-open rectangles, tested in this order.
    auto inside = [&pos](int left, int top, int right, int bottom) {
        return pos.x() >= left && pos.x() < right && pos.y() >= top && pos.y() < bottom;
    };
    struct TZone {
        QRect area;   // left, top, right (exclusive), bottom (exclusive) as a QRect of that size
        TAlign side;
        QRect preview;
    };
    const TZone zones[] = {
        {QRect(0, 0, w5, h), alLeft, QRect(0, 0, w / 2, h)},
        {QRect(w5, 0, 4 * w5 - w5, h5), alTop, QRect(0, 0, w, h / 2)},
        {QRect(4 * w5, 0, w - 4 * w5, h), alRight, QRect(w / 2, 0, w - w / 2, h)},
        {QRect(w5, 4 * h5, 4 * w5 - w5, h - 4 * h5), alBottom, QRect(0, h / 2, w, h - h / 2)},
        {QRect(w5, h5, 4 * w5 - w5, 4 * h5 - h5), alClient, QRect(w5, h5, 4 * w5 - w5, 4 * h5 - h5)},
    };
    for (const TZone &zone : zones) {
        const QRect &a = zone.area;
        if (inside(a.x(), a.y(), a.x() + a.width(), a.y() + a.height())) {
            if (preview)
                *preview = zone.preview;
            return zone.side;
        }
    }
    return alNone;
}

}  // namespace kiv
