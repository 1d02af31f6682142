// Comment lines of Intel HEX files: header, property block, device line, BURNTIME, LINKHEX and
// the other comments, with the cases the format's description names.

#include "hexcommentinfo.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

class HexCommentInfoTest : public ::testing::Test {
protected:
    QString Hex(const QString &name, const QByteArray &text)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(test::WriteFile(path, text));
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(HexCommentInfoTest, HeaderPropertiesAndDeviceLine)
{
    THexCommentInfo info;
    ASSERT_TRUE(info.Load(Hex("a.hex", ";Compiled for PIC16F877A\r\n;$\r\n; FIRMWARE_MAJOR = 0x02\r\n"
                                       ";TARGET_TYPES=PIC16 PIC18\r\n:0400000000000000FC\r\n:00000001FF\r\n"
                                       ";PIC18F452\r\n;pic16f84\r\n;just a note\r\n")));
    EXPECT_EQ(info.HeaderText, "Compiled for PIC16F877A");
    EXPECT_EQ(info.Properties, (QStringList{"FIRMWARE_MAJOR=0x02", "TARGET_TYPES=PIC16PIC18"}));
    EXPECT_EQ(info.Property("firmware_major"), "0x02");
    EXPECT_EQ(info.Property("NONE"), "");
    // The last device line wins; the test ignores case, the value keeps it.
    EXPECT_EQ(info.GetDeviceLine(), "pic16f84");
    EXPECT_EQ(info.HeaderComments, (QStringList{"Compiled for PIC16F877A", "$"}));
    EXPECT_EQ(info.OtherComments, (QStringList{" FIRMWARE_MAJOR = 0x02", "TARGET_TYPES=PIC16 PIC18", "just a note"}));
    EXPECT_EQ(info.FileName, m_dir.filePath("a.hex"));
    EXPECT_FALSE(info.BurnTimeValid);
}

TEST_F(HexCommentInfoTest, WithoutDollarLineThereAreNoProperties)
{
    THexCommentInfo info;
    ASSERT_TRUE(info.Load(Hex("b.hex", ";PIC16F877A\n;first\n:00000001FF\n;KEY=1\n;OTHER=2\n")));
    EXPECT_TRUE(info.Properties.isEmpty());
    EXPECT_EQ(info.GetDeviceLine(), "PIC16F877A");
    EXPECT_EQ(info.GetHeaderText(), "PIC16F877A\rfirst");
    EXPECT_EQ(info.OtherComments, (QStringList{"KEY=1", "OTHER=2"}));
}

TEST_F(HexCommentInfoTest, SemicolonsAndBlanksAreCleanedFromHeaderAndDevice)
{
    THexCommentInfo info;
    ASSERT_TRUE(info.Load(Hex("c.hex", "  ;  one; two  \n;PIC18F4550;  \n\n:00000001FF\n")));
    EXPECT_EQ(info.GetHeaderText(), "one two\rPIC18F4550");
    EXPECT_EQ(info.GetDeviceLine(), "PIC18F4550");
}

struct TBurnCase {
    const char *directive;
    bool accepted;
    std::uint32_t start;
    std::uint32_t end;
    bool binary;
    bool eeprom;
    const char *next;
    int nextKind;
    const char *prompt;
    const char *log;
};

TEST_F(HexCommentInfoTest, BurnTimeDirectives)
{
    Hex("next.hex", ":00000001FF\n");
    const TBurnCase cases[] = {
        {"BURNTIME 0x0000,0x1FFF BINARY NEXT=0x100", true, 0, 0x1FFF, true, false, "NEXT=0x100", 0, "", ""},
        {"burntime 10,2f string eeprom next=FF", true, 0x10, 0x2F, false, true, "next=FF", 0, "", ""},
        {"BURNTIME 0,7F BINARY NEXTFILE=next.hex PROMPT=\"Insert the next board\" LOG=burn.log", true, 0, 0x7F, true,
         false, "NEXTFILE=next.hex", 1, "Insert the next board", "burn.log"},
        {"BURNTIME 0,7F BINARY LISTFILE=\"next.hex\" LOG=\"my log.txt\"", true, 0, 0x7F, true, false,
         "LISTFILE=\"next.hex\"", 2, "", "my log.txt"},
        {"BURNTIME 0,1 BINARY NEXT=", true, 0, 1, true, false, "NEXT=", 0, "", ""},
        {"BURNTIME 0x0000 BINARY NEXT=0x100", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFF BYTES NEXT=0x100", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFF BINARY NEXT=0xG1", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFF BINARY NEXTFILE=missing.hex", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFF BINARY AFTER=1", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFF BINARY NEXT=1 PROMPT=\"\"", false, 0, 0, false, false, "", 0, "", ""},
        {"BURNTIME 0,1FFZ BINARY NEXT=1", false, 0, 0, false, false, "", 0, "", ""},
    };
    for (const TBurnCase &c : cases) {
        SCOPED_TRACE(c.directive);
        THexCommentInfo info;
        const QString path = Hex("burn.hex", QByteArray(";PIC16F877A\n:00000001FF\n;") + c.directive + "\n;after\n");
        EXPECT_EQ(info.Load(path), c.accepted);
        EXPECT_EQ(info.BurnTimeValid, c.accepted);
        EXPECT_EQ(info.BurnStart, c.start);
        EXPECT_EQ(info.BurnEnd, c.end);
        EXPECT_EQ(info.BurnBinary, c.binary);
        EXPECT_EQ(info.BurnEeprom, c.eeprom);
        EXPECT_EQ(info.NextSpec, c.next);
        if (c.accepted) {
            EXPECT_EQ(info.NextKind, c.nextKind);
        }
        EXPECT_EQ(info.Prompt, c.prompt);
        EXPECT_EQ(info.LogFile, c.log);
        // Accepted, the reading goes on to the end; rejected, it stops at the directive.
        EXPECT_EQ(info.OtherComments.contains("after"), c.accepted);
        EXPECT_EQ(info.GetDeviceLine(), "PIC16F877A");
        EXPECT_EQ(info.BurnTimeText.isEmpty(), !c.accepted);
    }
}

TEST_F(HexCommentInfoTest, LinkHexEntriesAndUnreadableFiles)
{
    THexCommentInfo info;
    ASSERT_TRUE(info.Load(Hex("l.hex", ";LINKHEX first.hex\n:00000001FF\n;linkhex:second.hex 0x100\n")));
    EXPECT_EQ(info.LinkHexEntries, (QStringList{"first.hex", "second.hex 0x100"}));

    // A file that cannot be opened leaves the record as it was.
    EXPECT_FALSE(info.Load(m_dir.filePath("none.hex")));
    EXPECT_EQ(info.LinkHexEntries.size(), 2);
    EXPECT_EQ(info.FileName, m_dir.filePath("l.hex"));

    // Binary junk reads as lines without comments.
    THexCommentInfo junk;
    EXPECT_TRUE(junk.Load(Hex("junk.hex", QByteArray("\x00\x01\xff;\x80\n;PIC\xe9", 11))));
    EXPECT_EQ(junk.GetDeviceLine(), QString::fromLatin1("PIC\xe9"));

    THexCommentInfo number;
    std::uint32_t value = 0;
    EXPECT_TRUE(THexCommentInfo::ParseHexNumber("0x1f", &value));
    EXPECT_EQ(value, 0x1Fu);
    EXPECT_TRUE(THexCommentInfo::ParseHexNumber("", &value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(THexCommentInfo::ParseHexNumber("0X1F", &value));   // only a lower-case x is skipped
    EXPECT_FALSE(THexCommentInfo::ParseHexNumber("123456789", &value));
}

}  // namespace
}  // namespace kiv
