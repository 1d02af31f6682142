// sfr.txt as the generator makes it from gputils' own device headers, read back by the
// Peripherals window's parser.

#include "gputilsdata.h"
#include "sfrgen.h"
#include "uDebugFormPeripherals_model.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

devgen::TIncHeader Header(const char *name)
{
    QFile file(QStringLiteral("/usr/share/gputils/header/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return devgen::ParseIncHeader(QString::fromLatin1(file.readAll()));
}

QStringList Section(const QByteArray &text, const QString &tag)
{
    QStringList lines;
    bool in = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!in) {
            in = line == tag.toLatin1();
            continue;
        }
        if (line.isEmpty() || line.startsWith('#'))
            break;
        lines << QString::fromLatin1(line);
    }
    return lines;
}

}  // namespace

TEST(SfrGen, RegisterNamesFindTheirGroups)
{
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("OPTION_REG")), QStringLiteral("#TIMER0"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("T0CON")), QStringLiteral("#TIMER0"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("ADRESH")), QStringLiteral("#ADC"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("CCP2CON")), QStringLiteral("#CCP"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("TXSTA")), QStringLiteral("#USART"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("PIE1")), QStringLiteral("#IR"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("STATUS")), QStringLiteral("#OSR"));
    EXPECT_EQ(sfrgen::SectionOfRegister(QStringLiteral("PORTB")), QString());
}

TEST(SfrGen, Pic16F877ATimer0DecodesThePrescaler)
{
    const devgen::TIncHeader header = Header("p16f877a.inc");
    if (header.registers.isEmpty())
        GTEST_SKIP() << "gputils' headers are not installed (the setup step installs gputils)";
    const QByteArray text = sfrgen::SfrText({{QStringLiteral("PIC16F877A"), header}});
    const QStringList lines = Section(text, QStringLiteral("#TIMER0"));
    ASSERT_FALSE(lines.isEmpty());
    // OPTION_REG = 0x07: prescaler 1:256 on Timer 0, internal clock.
    TFileProcessor parse({QStringLiteral("PIC16"), QStringLiteral("PIC16F877A")},
                         [](int address) { return address == 0x81 ? 0x07 : 0; });
    parse.Parse(lines);
    EXPECT_TRUE(parse.Notes().isEmpty()) << parse.Notes().join(QLatin1Char('\n')).toStdString();
    const QStringList out = parse.Output();
    EXPECT_TRUE(out.contains(QStringLiteral("OPTION_REG 81    00000111   0x07  ")));
    EXPECT_TRUE(out.contains(QStringLiteral("TMR0PS     81.0-2          7   1:256")));
    EXPECT_TRUE(out.contains(QStringLiteral("T0CS       81.5            0   Instruction clock")));
    // Another device sees nothing of it.
    TFileProcessor other({QStringLiteral("PIC16"), QStringLiteral("PIC16F84A")}, [](int) { return 0; });
    other.Parse(lines);
    EXPECT_TRUE(other.Registers().isEmpty());
    EXPECT_TRUE(other.Groups().isEmpty());
}

TEST(SfrGen, Pic18Timer0AndThePspOfThe877A)
{
    const devgen::TIncHeader pic18 = Header("p18f452.inc");
    const devgen::TIncHeader pic16 = Header("p16f877a.inc");
    if (pic18.registers.isEmpty() || pic16.registers.isEmpty())
        GTEST_SKIP() << "gputils' headers are not installed";
    const QByteArray text = sfrgen::SfrText({{QStringLiteral("PIC18F452"), pic18}, {QStringLiteral("PIC16F877A"), pic16}});
    TFileProcessor parse({QStringLiteral("PIC18"), QStringLiteral("PIC18F452")}, [](int address) { return address == 0xFD5 ? 0x85 : 0; });
    parse.Parse(Section(text, QStringLiteral("#TIMER0")));
    EXPECT_TRUE(parse.Output().contains(QStringLiteral("TMR0PS     fd5.0-2         5   1:64")));
    EXPECT_TRUE(parse.Output().contains(QStringLiteral("TMR0ON     fd5.7           1   On")));
    TFileProcessor psp({QStringLiteral("PIC16"), QStringLiteral("PIC16F877A")}, [](int address) { return address == 0x89 ? 0x10 : 0; });
    psp.Parse(Section(text, QStringLiteral("#PSP")));
    EXPECT_TRUE(psp.Output().contains(QStringLiteral("PSPMODE    89.4            1   Parallel slave port")));
}
