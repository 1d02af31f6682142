#pragma once

// The device box of the review windows and the data sheet window: a drop-down list whose items
// are drawn character by character with per-character attributes (TMyHtComboPic colours a part
// by its family and sets its part number in bold).

#include "MyHtComboU_model.h"

#include <QColor>
#include <QComboBox>

#include <functional>

namespace kiv {

/// An owner-drawn combo box: every item is drawn from one TlineAttrib per character.
class TMyHtComboBase : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QColor HighLightColor READ HighLightColor WRITE SetHighLightColor)

public:
    explicit TMyHtComboBase(QWidget *parent = nullptr);

    /// Background of the selected item.
    QColor HighLightColor() const { return m_highlight; }
    void SetHighLightColor(const QColor &color) { m_highlight = color; update(); }

    /// Called with the attributes and the item index after the box filled them, so an owner can
    /// change them.
    std::function<void(QList<TlineAttrib> &, int index)> OnGetAttrib;

    /// The attributes item `index` is drawn with.
    QList<TlineAttrib> ItemAttributes(int index) const;
    /// Draws `text` with `attributes` from 2 pixels right of the rectangle's left edge.
    static void DrawAttributedText(QPainter &painter, const QRect &rect, const QString &text,
                                   const QList<TlineAttrib> &attributes, bool selected);

protected:
    /// Fills the attributes of one item; the base class draws every character plainly.
    virtual void FillAttributes(const QString &text, QList<TlineAttrib> &attributes) const;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_highlight;
};

class TMycolorComboBox : public TMyHtComboBase {
    Q_OBJECT
public:
    using TMyHtComboBase::TMyHtComboBase;
};

/// The device box: family colours and bold part numbers, a cream selection.
class TMyHtComboPic : public TMycolorComboBox {
    Q_OBJECT
public:
    explicit TMyHtComboPic(QWidget *parent = nullptr);

protected:
    void FillAttributes(const QString &text, QList<TlineAttrib> &attributes) const override;
};

}  // namespace kiv
