#include "dunet_model.h"

#include "picfloat.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <string>

namespace kiv {

namespace {

uint64_t Mask(int width)
{
    return (uint64_t(1) << width) - 1;
}

TInputCheck Valid()
{
    return {isValid, {}};
}

TInputCheck Incomplete()
{
    return {isIncomplete, {}};
}

TInputCheck Invalid(const QString &reason)
{
    return {isInvalid, reason};
}

// The text without blanks and digit-group underscores.
QString Squeezed(const QString &text)
{
    QString s;
    for (QChar c : text)
        if (!c.isSpace() && c != QLatin1Char('_'))
            s.append(c);
    return s;
}

int DigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 99;
}

const char *BaseName(int base)
{
    switch (base) {
    case 16: return "hexadecimal";
    case 8: return "octal";
    case 2: return "binary";
    default: return "decimal";
    }
}

// Digits of `base` (after any prefix) to a pattern of at most `width` bits.
TInputCheck ParseDigits(const QString &digits, int base, int width, uint32_t *bits)
{
    if (digits.isEmpty())
        return Incomplete();
    uint64_t value = 0;
    for (QChar c : digits) {
        const int d = DigitValue(c);
        if (d >= base)
            return Invalid(QStringLiteral("'%1' is not a %2 digit").arg(c).arg(QLatin1String(BaseName(base))));
        value = value * uint64_t(base) + uint64_t(d);
        if (value > Mask(width))
            return Invalid(QStringLiteral("more than %1 bits").arg(width));
    }
    *bits = uint32_t(value);
    return Valid();
}

TInputCheck ParseDecimal(const QString &text, int width, bool isSigned, uint32_t *bits)
{
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negative = s.startsWith(QLatin1Char('-'));
        s = s.mid(1);
    }
    if (s.isEmpty())
        return Incomplete();
    const qint64 low = isSigned ? -(qint64(1) << (width - 1)) : 0;
    const qint64 high = isSigned ? (qint64(1) << (width - 1)) - 1 : qint64(Mask(width));
    const QString range = QStringLiteral("%1 %2-bit numbers are %3 to %4")
                              .arg(isSigned ? QLatin1String("signed") : QLatin1String("unsigned"))
                              .arg(width).arg(low).arg(high);
    qint64 magnitude = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid(QStringLiteral("'%1' is not a decimal digit").arg(c));
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > (qint64(1) << 33))
            return Invalid(range);
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < low || value > high)
        return Invalid(range);
    *bits = uint32_t(uint64_t(value) & Mask(width));
    return Valid();
}

TInputCheck ParseBased(const QString &text, int base, int width, uint32_t *bits)
{
    QString s = Squeezed(text);
    const QString prefix = base == 16 ? QStringLiteral("0x") : base == 8 ? QStringLiteral("0o")
                                                                          : QStringLiteral("0b");
    if (s.startsWith(prefix, Qt::CaseInsensitive))
        s = s.mid(2);
    else if (base == 16 && s.startsWith(QLatin1Char('$')))
        s = s.mid(1);
    return ParseDigits(s, base, width, bits);
}

// Characters, most significant byte first; "\\", "\xNN", "\0", "\t", "\n", "\r" stand for bytes.
TInputCheck ParseChars(const QString &text, int width, uint32_t *bits)
{
    if (text.isEmpty())
        return Incomplete();
    uint64_t value = 0;
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        int byte = text.at(i).unicode();
        if (text.at(i) == QLatin1Char('\\')) {
            if (i + 1 >= text.size())
                return Incomplete();
            const QChar e = text.at(++i);
            switch (e.unicode()) {
            case '\\': byte = '\\'; break;
            case '0': byte = 0; break;
            case 't': byte = '\t'; break;
            case 'n': byte = '\n'; break;
            case 'r': byte = '\r'; break;
            case 'x':
            case 'X': {
                // Two hexadecimal digits follow; fewer at the end of the text are still being typed.
                const qsizetype left = text.size() - (i + 1);
                for (qsizetype k = 1; k <= qMin<qsizetype>(2, left); ++k)
                    if (DigitValue(text.at(i + k)) >= 16)
                        return Invalid(QStringLiteral("\\x needs two hexadecimal digits"));
                if (left < 2)
                    return Incomplete();
                byte = DigitValue(text.at(i + 1)) * 16 + DigitValue(text.at(i + 2));
                i += 2;
                break;
            }
            default:
                return Invalid(QStringLiteral("unknown escape \\%1 (use \\\\, \\xNN, \\0, \\t, \\n or \\r)").arg(e));
            }
        } else if (byte > 0xFF) {
            return Invalid(QStringLiteral("'%1' is not a one-byte character").arg(text.at(i)));
        }
        if (++count > width / 8)
            return Invalid(QStringLiteral("more than %1 characters for %2 bits").arg(width / 8).arg(width));
        value = (value << 8) | uint64_t(byte);
    }
    *bits = uint32_t(value);
    return Valid();
}

bool IsFloatPrefix(const QString &s)
{
    static const QStringList prefixes = {QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("."),
                                         QStringLiteral("-."), QStringLiteral("+.")};
    if (s.isEmpty() || prefixes.contains(s))
        return true;
    return s.endsWith(QLatin1Char('e'), Qt::CaseInsensitive) || s.endsWith(QLatin1String("e-"), Qt::CaseInsensitive)
        || s.endsWith(QLatin1String("e+"), Qt::CaseInsensitive);
}

// A real number: decimal notation, "NaN", "Inf" or "Infinity" (any case, with a sign).
TInputCheck ParseReal(const QString &text, double *value)
{
    QString s = text.trimmed();
    bool negative = false;
    QString body = s;
    if (body.startsWith(QLatin1Char('-')) || body.startsWith(QLatin1Char('+'))) {
        negative = body.startsWith(QLatin1Char('-'));
        body = body.mid(1);
    }
    const QString word = body.toLower();
    if (word == QLatin1String("nan")) {
        *value = negative ? -std::nan("") : std::nan("");
        return Valid();
    }
    if (word == QLatin1String("inf") || word == QLatin1String("infinity")) {
        *value = negative ? -HUGE_VAL : HUGE_VAL;
        return Valid();
    }
    // Only the decimal form: digits, one point, an exponent.
    for (QChar c : body)
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('e')
            && c != QLatin1Char('E') && c != QLatin1Char('-') && c != QLatin1Char('+'))
            return Invalid(QStringLiteral("'%1' does not belong in a number").arg(c));
    const std::string latin = body.toStdString();
    double v = 0;
    const auto [end, error] = std::from_chars(latin.data(), latin.data() + latin.size(), v,
                                              std::chars_format::general);
    if (error == std::errc() && end == latin.data() + latin.size()) {
        *value = negative ? -v : v;
        return Valid();
    }
    if (IsFloatPrefix(s))
        return Incomplete();
    if (error == std::errc::result_out_of_range)
        return Invalid(QStringLiteral("the exponent is out of range"));
    return Invalid(QStringLiteral("not a number"));
}

QString StatusReason(TFloatStatus status, const char *format)
{
    switch (status) {
    case fsNotANumber: return QStringLiteral("the %1 format has no NaN").arg(QLatin1String(format));
    case fsInfinite: return QStringLiteral("the %1 format has no infinity").arg(QLatin1String(format));
    case fsOverflow: return QStringLiteral("too large for the %1 format").arg(QLatin1String(format));
    case fsUnderflow: return QStringLiteral("too near zero for the %1 format").arg(QLatin1String(format));
    default: return {};
    }
}

QString Hex8(uint32_t bits)
{
    return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

void TNumericConverter::SetWidth(int bits)
{
    if (bits == 8 || bits == 16 || bits == 32)
        m_width = bits;
}

uint32_t TNumericConverter::Value() const
{
    return uint32_t(m_bits & Mask(m_width));
}

bool TNumericConverter::FieldEnabled(TNumberField field) const
{
    return (field != nfIeee && field != nfPicFloat) || m_width == 32;
}

QString TNumericConverter::Text(TNumberField field) const
{
    const uint32_t v = Value();
    switch (field) {
    case nfDecimal:
        if (m_signed && (v >> (m_width - 1)) & 1u)
            return QString::number(qint64(v) - (qint64(1) << m_width));
        return QString::number(v);
    case nfHex:
        return QStringLiteral("%1").arg(v, m_width / 4, 16, QLatin1Char('0')).toUpper();
    case nfOctal:
        return QString::number(v, 8);
    case nfBinary: {
        const QString digits = QStringLiteral("%1").arg(v, m_width, 2, QLatin1Char('0'));
        QString grouped;
        for (int i = 0; i < digits.size(); i += 4) {
            if (i)
                grouped.append(QLatin1Char(' '));
            grouped.append(digits.mid(i, 4));
        }
        return grouped;
    }
    case nfChars: {
        // Leading zero bytes are left out, but a value shows at least one byte.
        QString text;
        bool started = false;
        for (int shift = m_width - 8; shift >= 0; shift -= 8) {
            const int byte = int((v >> shift) & 0xFF);
            if (byte == 0 && !started && shift > 0)
                continue;
            started = true;
            if (byte == '\\')
                text += QLatin1String("\\\\");
            else if (byte >= 0x20 && byte < 0x7F)
                text += QChar(byte);
            else
                text += QLatin1String("\\x") + QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        }
        return text;
    }
    case nfIeee:
        return m_width == 32 ? QString::fromStdString(IeeeText(v)) : QString();
    case nfPicFloat:
        return m_width == 32 ? QString::fromStdString(PicFloatText(v)) : QString();
    default:
        return {};
    }
}

TInputCheck TNumericConverter::Enter(TNumberField field, const QString &text)
{
    uint32_t bits = 0;
    const TInputCheck check = Parse(field, text, m_width, m_signed, &bits);
    if (check.state == isValid)
        m_bits = bits;
    return check;
}

QString TNumericConverter::IeeeAsPicFloat() const
{
    if (m_width != 32)
        return {};
    uint32_t pic = 0;
    const TFloatStatus status = IeeeToPicFloat(m_bits, &pic);
    return status == fsOk ? Hex8(pic) : StatusReason(status, "PIC");
}

QString TNumericConverter::PicFloatAsIeee() const
{
    if (m_width != 32)
        return {};
    uint32_t ieee = 0;
    const TFloatStatus status = PicFloatToIeee(m_bits, &ieee);
    return status == fsOk ? Hex8(ieee) : StatusReason(status, "IEEE single");
}

TInputCheck TNumericConverter::Parse(TNumberField field, const QString &text, int width,
                                     bool isSigned, uint32_t *bits)
{
    switch (field) {
    case nfDecimal: return ParseDecimal(text, width, isSigned, bits);
    case nfHex: return ParseBased(text, 16, width, bits);
    case nfOctal: return ParseBased(text, 8, width, bits);
    case nfBinary: return ParseBased(text, 2, width, bits);
    case nfChars: return ParseChars(text, width, bits);
    case nfIeee:
    case nfPicFloat: {
        if (width != 32)
            return Invalid(QStringLiteral("floating-point numbers need 32 bits"));
        double value = 0;
        const TInputCheck check = ParseReal(text, &value);
        if (check.state != isValid)
            return check;
        const TFloatStatus status = field == nfIeee ? DoubleToIeee(value, bits)
                                                    : DoubleToPicFloat(value, bits);
        if (status != fsOk)
            return Invalid(StatusReason(status, field == nfIeee ? "IEEE single" : "PIC"));
        // A NaN keeps its sign through the float conversion; give it the quiet pattern.
        if (field == nfIeee && std::isnan(value))
            *bits = std::signbit(value) ? 0xFFC00000u : 0x7FC00000u;
        return Valid();
    }
    default:
        return Invalid(QStringLiteral("no such field"));
    }
}

}  // namespace kiv
