#include "MyHtComboU.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace kiv {

namespace {

QColor Color(TRgb rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

TRgb Rgb(const QColor &color)
{
    return (TRgb(color.red()) << 16) | (TRgb(color.green()) << 8) | TRgb(color.blue());
}

// Draws the items of the drop-down list with the box's attributes.
class THtItemDelegate : public QStyledItemDelegate {
public:
    explicit THtItemDelegate(TMyHtComboBase *box) : QStyledItemDelegate(box), m_box(box) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->save();
        painter->fillRect(option.rect, selected ? m_box->HighLightColor() : QColor(Qt::white));
        TMyHtComboBase::DrawAttributedText(*painter, option.rect, text, m_box->ItemAttributes(index.row()), selected);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QFont bold = option.font;
        bold.setBold(true);
        size.setWidth(QFontMetrics(bold).horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 8);
        return size;
    }

private:
    TMyHtComboBase *m_box;
};

}  // namespace

TMyHtComboBase::TMyHtComboBase(QWidget *parent)
    : QComboBox(parent), m_highlight(QApplication::palette().highlight().color())
{
    setEditable(false);
    setItemDelegate(new THtItemDelegate(this));
}

void TMyHtComboBase::FillAttributes(const QString &text, QList<TlineAttrib> &attributes) const
{
    attributes.clear();
    for (int n = 0; n < text.size(); ++n) {
        TlineAttrib a;
        a.fontName = font().family();
        a.fontSize = font().pointSize();
        a.textColor = Rgb(palette().text().color());
        a.selectedTextColor = a.textColor;
        a.selectedBackground = Rgb(m_highlight);
        attributes << a;
    }
}

QList<TlineAttrib> TMyHtComboBase::ItemAttributes(int index) const
{
    QList<TlineAttrib> attributes;
    FillAttributes(itemText(index), attributes);
    if (OnGetAttrib)
        OnGetAttrib(attributes, index);
    return attributes;
}

void TMyHtComboBase::DrawAttributedText(QPainter &painter, const QRect &rect, const QString &text,
                                        const QList<TlineAttrib> &attributes, bool selected)
{
    int x = rect.left() + 2;
    for (int n = 0; n < text.size(); ++n) {
        const TlineAttrib a = attributes.value(n);
        QFont font = painter.font();
        if (!a.fontName.isEmpty())
            font.setFamily(a.fontName);
        if (a.fontSize > 0)
            font.setPointSize(a.fontSize);
        font.setBold(a.bold);
        painter.setFont(font);
        painter.setPen(Color(selected ? a.selectedTextColor : a.textColor));
        const QFontMetrics metrics(font);
        painter.drawText(QRect(x, rect.top(), metrics.horizontalAdvance(text[n]) + 1, rect.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, QString(text[n]));
        x += metrics.horizontalAdvance(text[n]);
    }
}

void TMyHtComboBase::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0) {
        painter.fillRect(field, hasFocus() ? m_highlight : QColor(Qt::white));
        DrawAttributedText(painter, field, currentText(), ItemAttributes(currentIndex()), hasFocus());
    }
}

TMyHtComboPic::TMyHtComboPic(QWidget *parent) : TMycolorComboBox(parent)
{
    SetHighLightColor(Color(kHtComboCream));
}

void TMyHtComboPic::FillAttributes(const QString &text, QList<TlineAttrib> &attributes) const
{
    attributes = HtComboAttributes(text, font().family(), font().pointSize(), Rgb(HighLightColor()));
}

}  // namespace kiv
