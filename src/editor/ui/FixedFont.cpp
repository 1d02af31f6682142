#include "FixedFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace kiv {

QFont FixedPitchFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch())
        return font;
    const QStringList families = QFontDatabase::families();
    QString chosen;
    for (const char *preferred : {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono",
                                  "Noto Mono", "Ubuntu Mono", "FreeMono", "Courier New"}) {
        const QString name = QString::fromLatin1(preferred);
        if (families.contains(name, Qt::CaseInsensitive) && QFontDatabase::isFixedPitch(name)) {
            chosen = name;
            break;
        }
    }
    for (int i = 0; chosen.isEmpty() && i < families.size(); ++i) {
        if (QFontDatabase::isFixedPitch(families[i]))
            chosen = families[i];
    }
    if (chosen.isEmpty())
        return font;
    QFont fixed(chosen);
    fixed.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() : 10);
    fixed.setFixedPitch(true);
    fixed.setStyleHint(QFont::TypeWriter);
    return fixed;
}

}  // namespace kiv
