#include "CodeFlagImages.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace kiv {

namespace {

const QColor kTransparentGreen(0, 255, 0);

// A right-pointing arrow: the line the program stands on.
void PaintCurrent(QPainter &p, int x0)
{
    QPolygonF arrow;
    arrow << QPointF(x0 + 1, 4) << QPointF(x0 + 7, 4) << QPointF(x0 + 7, 1) << QPointF(x0 + 14, 7)
          << QPointF(x0 + 7, 13) << QPointF(x0 + 7, 10) << QPointF(x0 + 1, 10);
    p.setPen(QPen(QColor(96, 64, 0), 1));
    p.setBrush(QColor(255, 208, 0));
    p.drawPolygon(arrow);
}

// A red flag on a dark pole.
void PaintFlag(QPainter &p, int x0)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 64, 64));
    p.drawRect(x0 + 2, 1, 2, 14);
    QPolygonF cloth;
    cloth << QPointF(x0 + 4, 1) << QPointF(x0 + 14, 4) << QPointF(x0 + 4, 8);
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(QColor(224, 0, 0));
    p.drawPolygon(cloth);
}

QImage WithoutGreen(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((row[x] & 0xFFFFFF) == (kTransparentGreen.rgb() & 0xFFFFFF))
                row[x] = qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

}  // namespace

TCodeFlagImages::TCodeFlagImages()
{
    // Crisp edges: every pixel is either artwork or the transparent green.
    m_strip = QImage(2 * kSize, kSize, QImage::Format_RGB32);
    m_strip.fill(kTransparentGreen);
    QPainter p(&m_strip);
    PaintCurrent(p, 0);
    PaintFlag(p, kSize);
    p.end();
    const QImage clear = WithoutGreen(m_strip);
    m_current = clear.copy(0, 0, kSize, kSize);
    m_flag = clear.copy(kSize, 0, kSize, kSize);
}

std::shared_ptr<const TCodeFlagImages> TCodeFlagImages::Shared()
{
    // Made for the first editor, freed with the last one.
    static std::weak_ptr<const TCodeFlagImages> shared;
    std::shared_ptr<const TCodeFlagImages> images = shared.lock();
    if (!images) {
        images = std::make_shared<const TCodeFlagImages>();
        shared = images;
    }
    return images;
}

void TCodeFlagImages::DrawCurrent(QPainter &painter, int x, int y) const
{
    painter.drawImage(x, y, m_current);
}

void TCodeFlagImages::DrawFlag(QPainter &painter, int x, int y) const
{
    painter.drawImage(x, y, m_flag);
}

QImage TCodeFlagImages::MarginImage(const QImage &image, int marginWidth)
{
    const int width = std::max(marginWidth, 1);
    QImage out(width, kSize, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(marginWidth - 20, 0, image);
    p.end();
    return out;
}

}  // namespace kiv
