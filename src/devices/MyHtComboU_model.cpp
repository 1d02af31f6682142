#include "MyHtComboU_model.h"

namespace kiv {

int HtComboFamily(const QString &text)
{
    const QString upper = text.toUpper();
    if (upper.contains(QLatin1String("PIC12")))
        return 0;
    if (upper.contains(QLatin1String("PIC14")))
        return 1;
    if (upper.contains(QLatin1String("PIC16")))
        return 2;
    if (upper.contains(QLatin1String("PIC18")))
        return 3;
    return 4;
}

TRgb HtComboFamilyColor(int family)
{
    switch (family) {
    case 0: return 0xFF00FF;
    case 1: return 0x808080;
    case 2: return 0x008000;
    case 3: return 0x0000FF;
    default: return 0x000000;
    }
}

QList<TlineAttrib> HtComboAttributes(const QString &text, const QString &fontName, int fontSize, TRgb highlight)
{
    const TRgb familyColor = HtComboFamilyColor(HtComboFamily(text));
    // 1-based position of "PIC"; the digits from 6 characters on stand out.
    const int pic = int(text.toUpper().indexOf(QLatin1String("PIC"))) + 1;
    QList<TlineAttrib> attributes;
    attributes.reserve(text.size());
    for (int n = 0; n < text.size(); ++n) {
        TlineAttrib a;
        a.fontName = fontName;
        a.fontSize = fontSize;
        a.background = 0xFFFFFF;
        a.selectedBackground = highlight;
        const int position = n + 1;
        const bool partNumber = pic > 0 && position >= pic + 6 && text[n] >= QLatin1Char('0') && text[n] <= QLatin1Char('9');
        a.bold = partNumber;
        a.textColor = partNumber ? 0x000000 : familyColor;
        a.selectedTextColor = a.textColor;
        attributes << a;
    }
    return attributes;
}

}  // namespace kiv
