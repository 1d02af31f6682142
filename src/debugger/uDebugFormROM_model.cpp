#include "uDebugFormROM_model.h"

#include "dasm_midrange.h"
#include "dasm_pic18.h"
#include "uDbgForm_model.h"
#include "uDebugFormBreaks_model.h"
#include "uWatchProxy.h"

#include <QFile>

#include <stdexcept>

namespace kiv {

namespace {

/// The value of an upper-case hexadecimal digit pair at `at`: each digit is its position in
/// "0123456789ABCDEF" (anything else counts as 0, as the reader never checks).
int HexPair(const QByteArray &line, int at)
{
    static const QByteArray digits("0123456789ABCDEF");
    const auto digit = [&](int i) {
        const int p = i < line.size() ? digits.indexOf(line.at(i)) : -1;
        return p < 0 ? 0 : p;
    };
    return digit(at) * 16 + digit(at + 1);
}

QString Hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

TDebugRomModel::TDebugRomModel(TDbgFormModel &session)
    : TDebugWindowModel(QStringLiteral("TDebugFormROM"), QStringLiteral("ROM"))
    , m_session(session)
    , m_midRange(std::make_unique<TMidRangeImage>())
    , m_words(kWords, 0)
    , m_loaded(kWords, false)
{
}

TDebugRomModel::~TDebugRomModel() = default;

void TDebugRomModel::LoadHex(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()).toStdString());
    std::fill(m_loaded.begin(), m_loaded.end(), false);
    quint32 base = 0;
    quint32 highest = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith(':'))
            continue;
        const int count = HexPair(line, 1);
        const quint32 address = quint32(HexPair(line, 3) * 256 + HexPair(line, 5));
        // Only the type's second digit counts: "4" is an extended linear address.
        const char typeDigit = line.size() > 8 ? line.at(8) : '0';
        if (typeDigit == '4') {
            base = quint32(HexPair(line, 11)) * 65536;
            continue;
        }
        for (int i = 0; i < count; ++i) {
            const int at = 9 + 2 * i;
            if (at + 1 >= line.size())
                break;
            const quint32 g = base + address + quint32(i);
            if (g >= 0x40000)
                continue;
            highest = std::max(highest, g);
            const quint8 byte = quint8(HexPair(line, at));
            uint16_t &word = m_words[g >> 1];
            if (i % 2 == 0)
                word = byte;
            else
                word = uint16_t((word & 0x00FF) | (byte << 8));
            m_loaded[g >> 1] = true;
        }
    }
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(QStringLiteral("Read error on file \"%1\". %2").arg(path, file.errorString()).toStdString());
    m_rows = int(highest / 2 + 1);
    // The 12- and 14-bit decoders look at the words before a CALL or GOTO; unloaded words are
    // blank to them.
    for (unsigned w = 0; w < TMidRangeImage::kWords; ++w)
        m_midRange->Word(w) = m_loaded[w] ? m_words[w] : 0xFFFF;
    Changed();
}

quint32 TDebugRomModel::RowAddress(int row) const
{
    return m_session.device.kind() == 3 ? quint32(row) * 2 : quint32(row);
}

int TDebugRomModel::RowOf(quint32 address) const
{
    return int(m_session.device.kind() == 3 ? address / 2 : address);
}

QString TDebugRomModel::RowText(int row) const
{
    QString text = Hex(RowAddress(row) & 0xFFFF, 4) + QStringLiteral(":  ");
    if (row < 0 || row >= 0x20000 || !Loaded(row))
        return text;
    text += Hex(m_words[size_t(row)], 4) + QStringLiteral("   ") + Instruction(row);
    return text;
}

QString TDebugRomModel::Instruction(int row) const
{
    const int kind = m_session.device.kind();
    if (kind == 0 || kind == 1) {
        if (row >= int(TMidRangeImage::kWords))
            return {};
        TMidRangeStyle style;
        style.rom = true;
        return QString::fromStdString(DecodeMidRange(*m_midRange, unsigned(row), kind == 1, style));
    }
    if (kind == 3) {
        // The first word of a two-word instruction gives nothing: the next word completes it.
        TPic18Decoder decoder;
        std::string text = decoder.Decode(m_words[size_t(row)], uint32_t(row) * 2);
        if (text.empty() && row + 1 < kWords)
            text = decoder.Decode(m_words[size_t(row) + 1], uint32_t(row + 1) * 2);
        if (text == "???")
            text.clear();
        return QString::fromStdString(text);
    }
    return {};
}

bool TDebugRomModel::IsBreakRow(int row) const
{
    const quint32 address = RowAddress(row);
    const TDebugBreaksModel &breaks = m_session.Breaks();
    for (int i = 0; i < breaks.BreakCount(); ++i) {
        if (quint32(breaks.BreakItem(i).address) == address)
            return true;
    }
    return false;
}

bool TDebugRomModel::IsPcRow(int row) const
{
    const int kind = m_session.device.kind();
    return (kind == 1 || kind == 3) && RowAddress(row) == m_session.PC;
}

int TDebugRomModel::ScrollTarget(int firstVisible, int visibleRows) const
{
    const int pcRow = RowOf(m_session.PC);
    if (pcRow >= firstVisible && pcRow < firstVisible + visibleRows)
        return -1;
    return std::max(pcRow - visibleRows / 2, 0);
}

void TDebugRomModel::SetVisibleRows(int first, int count)
{
    m_firstVisible = first;
    m_visibleRows = count;
}

void TDebugRomModel::Refresh()
{
    m_pendingScroll = ScrollTarget(m_firstVisible, m_visibleRows);
    Changed();
}

void TDebugRomModel::ShowRowSource(int row)
{
    TWatchProxy *watch = m_session.Watch();
    if (!watch)
        return;
    TWatchLine where;
    where.address = RowAddress(row);
    if (watch->FindLine(wfAddressToLine, where))
        m_session.ShowSource(where.fileNumber, where.line, where.listLine);
}

}  // namespace kiv
