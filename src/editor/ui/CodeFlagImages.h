#pragma once

#include <QImage>

#include <memory>

class QPainter;

namespace kiv {

/// The two 15 x 15 marker images of the editors' marker margin, made once and shared by every
/// editor: image 0 the current-line marker, image 1 the flag. They are drawn as one strip on
/// pure green, which then becomes transparent.
class TCodeFlagImages {
public:
    static constexpr int kSize = 15;

    /// The shared images; they live while an editor holds them.
    static std::shared_ptr<const TCodeFlagImages> Shared();

    const QImage &Current() const { return m_current; }
    const QImage &Flag() const { return m_flag; }
    /// The strip as drawn, before green became transparent (current-line marker, then flag).
    const QImage &Strip() const { return m_strip; }

    /// Draw the current-line marker or the flag with its top left corner at (x, y).
    void DrawCurrent(QPainter &painter, int x, int y) const;
    void DrawFlag(QPainter &painter, int x, int y) const;

    /// A marker image as wide as a marker margin of `marginWidth` pixels, with `image` at
    /// x = marginWidth - 20 (clipped at the margin's left edge).
    static QImage MarginImage(const QImage &image, int marginWidth);

    TCodeFlagImages();

private:
    QImage m_strip;
    QImage m_current;
    QImage m_flag;
};

}  // namespace kiv
