#include "kivgcal_model.h"

#include "intelhex.h"
#include "picfloat.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace kiv {

namespace {

struct TWordRange {
    uint32_t first;
    uint32_t count;
};

// The words each part's lines are made of.
TWordRange WordsOf(TCalPart part)
{
    switch (part) {
    case cpIS1024: return {1023, 1};
    case cpIS2048: return {2047, 1};
    case cpIS14000: return {4032, 20};
    default: return {511, 1};
    }
}

QString Hex4(uint32_t value)
{
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

// Ranges of word addresses as "0x1FF" or "0xFC0-0xFD3".
QString RangesText(const QList<uint32_t> &words)
{
    QStringList parts;
    for (qsizetype i = 0; i < words.size();) {
        qsizetype j = i;
        while (j + 1 < words.size() && words[j + 1] == words[j] + 1)
            ++j;
        QString text = QStringLiteral("0x") + QStringLiteral("%1").arg(words[i], 3, 16, QLatin1Char('0')).toUpper();
        if (j > i)
            text += QStringLiteral("-0x") + QStringLiteral("%1").arg(words[j], 3, 16, QLatin1Char('0')).toUpper();
        parts << text;
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace

bool CalibrationText(const TIntelHex &hex, TCalPart part, QByteArray *text, QString *error)
{
    const TWordRange range = WordsOf(part);
    QList<uint32_t> words;
    QList<uint32_t> missing;
    for (uint32_t w = range.first; w < range.first + range.count; ++w) {
        uint8_t low = 0;
        uint8_t high = 0;
        const bool hasLow = hex.ByteAt(2 * w, &low);
        const bool hasHigh = hex.ByteAt(2 * w + 1, &high);
        if (!hasLow || !hasHigh)
            missing << w;
        words << (uint32_t(high) << 8 | low);
    }
    if (!missing.isEmpty()) {
        *error = QStringLiteral("The HEX file holds no calibration data for this part: program memory word")
               + (missing.size() > 1 ? QStringLiteral("s ") : QStringLiteral(" ")) + RangesText(missing)
               + QStringLiteral(" %1 not in it. Nothing was written.").arg(missing.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"));
        return false;
    }

    QString out;
    if (part != cpIS14000) {
        const QString address = QStringLiteral("%1").arg(range.first, 0, 16);
        out = QStringLiteral("#rom 0x") + address + QStringLiteral("={0x") + Hex4(words[0]) + QStringLiteral("}\r\n");
    } else {
        static const char *const names[] = {" // Kref=", " // Kbg=", " // Ktherm=", " // Ktc="};
        for (int i = 0; i < 5; ++i) {
            const uint32_t *w = &words[4 * i];
            out += QStringLiteral("#rom 0x") + Hex4(range.first + 4 * i) + QStringLiteral("={");
            for (int k = 0; k < 4; ++k)
                out += (k ? QStringLiteral(",0x") : QStringLiteral("0x")) + Hex4(w[k]);
            out += QLatin1Char('}');
            if (i < 4) {
                // The low bytes of the four words, first word most significant, are one PIC float.
                const uint32_t bits = (w[0] & 0xFF) << 24 | (w[1] & 0xFF) << 16 | (w[2] & 0xFF) << 8 | (w[3] & 0xFF);
                out += QLatin1String(names[i]) + QString::fromStdString(ScientificText(PicFloatToDouble(bits)));
            } else {
                out += QStringLiteral(" // Fosc=") + QString::number(w[0]) + QStringLiteral(", Twdt=") + QString::number(w[2]);
            }
            out += QStringLiteral("\r\n");
        }
    }
    *text = out.toLatin1();
    return true;
}

QString TKivGcalModel::SuggestedOutFile(const QString &inputFile)
{
    if (inputFile.isEmpty())
        return {};
    const QFileInfo info(inputFile);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".cal"));
}

bool TKivGcalModel::Run(QString *error) const
{
    QByteArray data;
    QString why;
    if (inputFile.isEmpty() || !ReadWholeFile(inputFile, data, &why)) {
        *error = QStringLiteral("Can not open input file") + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why);
        return false;
    }
    TIntelHex hex;
    if (!hex.Parse(std::string_view(data.constData(), size_t(data.size())))) {
        *error = inputFile + QStringLiteral(" is not a HEX file this utility can read: ")
               + QString::fromStdString(hex.Error());
        return false;
    }
    QByteArray text;
    if (!CalibrationText(hex, part, &text, error))
        return false;
    if (outFile.isEmpty() || !WriteFileSafely(outFile, text, false, &why)) {
        *error = QStringLiteral("Can not open output file") + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why);
        return false;
    }
    return true;
}

}  // namespace kiv
