#include "screenfit.h"

#include <algorithm>
#include <climits>

namespace kiv {

QRect FitOnScreens(int left, int top, int width, int height, const QList<QRect> &screens,
                   const QSize &minimum)
{
    // Stored values may be anything: the arithmetic stays in 64 bits until they are bounded.
    const qint64 w = std::max<qint64>(width, minimum.width());
    const qint64 h = std::max<qint64>(height, minimum.height());
    if (screens.isEmpty()) {
        const qint64 bound = INT_MAX / 4;
        return QRect(int(std::clamp<qint64>(left, -bound, bound)), int(std::clamp<qint64>(top, -bound, bound)),
                     int(std::min(w, bound)), int(std::min(h, bound)));
    }

    const qint64 centreX = qint64(left) + w / 2;
    const qint64 centreY = qint64(top) + h / 2;
    auto overlap = [&](const QRect &s) {
        const qint64 x1 = std::max<qint64>(left, s.left());
        const qint64 x2 = std::min<qint64>(qint64(left) + w, qint64(s.right()) + 1);
        const qint64 y1 = std::max<qint64>(top, s.top());
        const qint64 y2 = std::min<qint64>(qint64(top) + h, qint64(s.bottom()) + 1);
        return x2 > x1 && y2 > y1 ? (x2 - x1) * (y2 - y1) : 0;
    };
    const QRect *screen = nullptr;
    for (const QRect &s : screens) {
        if (centreX >= s.left() && centreX <= s.right() && centreY >= s.top() && centreY <= s.bottom()) {
            screen = &s;
            break;
        }
    }
    if (!screen) {
        qint64 best = 0;
        for (const QRect &s : screens) {
            const qint64 area = overlap(s);
            if (area > best) {
                best = area;
                screen = &s;
            }
        }
    }
    if (!screen)
        screen = &screens.first();

    const int fitW = int(std::min<qint64>(w, screen->width()));
    const int fitH = int(std::min<qint64>(h, screen->height()));
    const int x = int(std::clamp<qint64>(left, screen->left(), qint64(screen->right()) - fitW + 1));
    const int y = int(std::clamp<qint64>(top, screen->top(), qint64(screen->bottom()) - fitH + 1));
    return QRect(x, y, fitW, fitH);
}

}  // namespace kiv
