#include "chipedit_model.h"
#include "chipedit_window.h"
#include "devicesdat_writer.h"
#include "pc_chipr.h"
#include "pc_int.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <set>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

DeviceRecord Device(const QString &name, uint8_t kind, uint16_t id)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    return r;
}

// A small device file: a 12-bit part, a 14-bit part with a USART, a control record, a PIC18 part
// that takes two blocks, a record of an unknown kind, and an SX part.
QByteArray Fixture()
{
    TDevicesDatWriter w;
    EXPECT_TRUE(w.SetFuseNames({"LP", "XT", "HS", "RC", "WDT", "NOWDT", "PROTECT", "NOPROTECT", "H4"}));

    DeviceRecord p12 = Device("PIC12T08", dkPic12, 0x0508);
    p12.setPortMask('A', 0x3F);
    EXPECT_TRUE(SetFuseEntry(p12, 1, {0x0003, 0x0000, 1, 1}));
    EXPECT_TRUE(SetFuseEntry(p12, 2, {0x0003, 0x0001, 2, 1}));
    w.AddRecord(p12);

    DeviceRecord p16 = Device("PIC16T84", dkPic14, 0x0084);
    p16.setHasUsart(true);
    p16.setEepromSize(4);
    p16.setPortMask('A', 0x1F);
    p16.setPortMask('B', 0xFF);
    p16.setAdcChannels(5);
    p16.setAdcBits(10);
    p16.SetWord(devrec::programWords, 1024);
    for (int a = 0x0C; a < 0x50; ++a)
        p16.setRamMap(a, 1);
    p16.setInterrupt(1, true);
    p16.setDataSheet("30430c");
    EXPECT_TRUE(SetFuseEntry(p16, 1, {0x0003, 0x0000, 1, 1}));
    EXPECT_TRUE(SetFuseEntry(p16, 2, {0x0003, 0x0001, 2, 1}));
    EXPECT_TRUE(SetFuseEntry(p16, 3, {0x0003, 0x0002, 3, 1}));
    EXPECT_TRUE(SetFuseEntry(p16, 4, {0x0004, 0x0004, 5, 1}));
    EXPECT_TRUE(SetFuseEntry(p16, 5, {0x0004, 0x0000, 6, 1}));
    EXPECT_TRUE(SetFuseEntry(p16, 6, {0x0001, 0x0001, 9, 2}));
    w.AddRecord(p16);

    w.AddRecord(Device("@INFO", 0, 0));

    DeviceRecord p18 = Device("PIC18T452", dkPic18, 0x0452);
    p18.setHasSpi(true);
    p18.setHasI2c(true);
    p18.setHasUsart(true);
    p18.setEepromSize(16);
    p18.SetWord(devrec::programWords, 0x4000);
    p18.SetWord(devrec::programWords + 2, 0x0001);   // 0x14000 words: more than 16 bits
    p18.SetWord(devrec::dataBytes, 1536);
    p18.setPortMask('A', 0x7F);
    p18.setPortMask('B', 0xFF);
    p18.setPortMask('C', 0xFF);
    p18.setPortMask('D', 0xFF);
    p18.setPortMask('E', 0x07);
    p18.setAdcChannels(8);
    EXPECT_TRUE(SetFuseEntry(p18, 1, {0x0007, 0x0002, 3, 1}));
    EXPECT_TRUE(SetFuseEntry(p18, 90, {0x0001, 0x0000, 7, 5}));   // lives in the second block
    w.AddRecord(p18);

    w.AddRecord(Device("ODDKIND", 9, 0x9999));

    DeviceRecord sx = Device("SX28T", dkSx, 0x0028);
    sx.setPortMask('A', 0x0F);
    sx.setPortMask('B', 0xFF);
    sx.setPortMask('C', 0xFF);
    w.AddRecord(sx);
    return w.Bytes();
}

class ChipEditTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath("devices.dat");
        m_original = Fixture();
        ASSERT_TRUE(WriteFile(m_path, m_original));
    }

    DeviceRecord ReadBack(const QString &name)
    {
        SetDeviceFile(m_path);
        DeviceRecord r;
        EXPECT_TRUE(FindDevice(name, r)) << name.toStdString();
        return r;
    }

    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_original;
};

// The superuser may write anywhere: a failed write is tried with an ordinary user's rights.
class TOrdinaryUser {
public:
    TOrdinaryUser()
    {
        if (::geteuid() == 0)
            m_previous = ::setfsuid(65534);
    }
    ~TOrdinaryUser()
    {
        if (m_previous >= 0)
            ::setfsuid(m_previous);
    }

private:
    int m_previous = -1;
};

}  // namespace

TEST_F(ChipEditTest, ReadsTheDevicesThroughTheReader)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error)) << error.toStdString();
    // Control records and kinds outside every set are not devices.
    EXPECT_EQ(model.Names(), QStringList({"PIC12T08", "PIC16T84", "PIC18T452", "SX28T"}));
    EXPECT_EQ(model.Device(2).Byte(devrec::fuseExtension + 6 * 9), 1);   // its second block was read
    EXPECT_EQ(FuseNameList(model.FuseNames()).first(), "LP");

    const TDeviceSummary s16 = Summarize(model.Device(1));
    EXPECT_EQ(s16.programWords, 1024u);
    EXPECT_EQ(s16.dataBytes, 0x50 - 0x0C);   // from the data memory map
    EXPECT_EQ(s16.eepromBytes, 64);
    EXPECT_EQ(s16.ioPins, 13);
    EXPECT_TRUE(s16.usart);
    const TDeviceSummary s18 = Summarize(model.Device(2));
    EXPECT_EQ(s18.programWords, 0x14000u);
    EXPECT_EQ(s18.dataBytes, 1536);

    TChipEditModel missing;
    EXPECT_FALSE(missing.Load(m_dir.filePath("none.dat"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(missing.Count(), 0);
}

TEST_F(ChipEditTest, FuseGroupsAndInterrupts)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    const QList<TFuseGroup> groups = FuseGroups(model.Device(1), model.FuseNames());
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].mask, 0x0003);
    ASSERT_EQ(groups[0].choices.size(), 3);
    EXPECT_EQ(groups[0].choices[2].name, "HS");
    EXPECT_EQ(groups[1].choices[1].name, "NOWDT");
    EXPECT_EQ(groups[2].word, 2);
    EXPECT_EQ(groups[2].choices[0].name, "H4");

    const QList<TFuseGroup> groups18 = FuseGroups(model.Device(2), model.FuseNames());
    ASSERT_EQ(groups18.size(), 2);
    EXPECT_EQ(groups18[1].choices[0].entry, 90);
    EXPECT_EQ(groups18[1].word, 5);

    const QList<TInterruptInfo> ints = Interrupts(model.Device(1));
    ASSERT_EQ(ints.size(), qMin(InterruptTableSize('M'), kListedInterrupts));
    EXPECT_EQ(ints[0].number, 1);
    EXPECT_EQ(ints[0].name, InterruptNameIn('M', 1));
    EXPECT_TRUE(ints[0].present);
    EXPECT_FALSE(ints[1].present);
}

TEST(ChipEditFields, ValuesAsATable)
{
    struct TCase {
        const char *field;
        const char *text;
        bool ok;
        const char *shown;   // FieldText afterwards (when ok)
    };
    const TCase cases[] = {
        {"name", "PIC16X99", true, "PIC16X99"},
        {"name", "PIC16F1234567890", false, ""},   // 16 characters
        {"name", "@X", false, ""},
        {"name", "", false, ""},
        {"dataSheet", "41190c", true, "41190c"},
        {"kind", "3", true, "3"},
        {"kind", "7", false, ""},
        {"eepromSize", "255", true, "255"},
        {"eepromSize", "256", false, ""},
        {"eepromSize", "-1", false, ""},
        {"eepromSize", "0x10", true, "16"},
        {"id", "65535", true, "65535"},
        {"id", "65536", false, ""},
        {"programWords", "131072", true, "131072"},
        {"programWords", "4294967296", false, ""},
        {"hasUsart", "1", true, "1"},
        {"hasUsart", "2", false, ""},
        {"hasUsart", "yes", false, ""},
        {"portMaskB", "f0", true, "F0"},
        {"portMaskB", "1FF", false, ""},
        {"portMaskB", "zz", false, ""},
        {"hasSecondBlock", "1", false, ""},
    };
    for (const TCase &c : cases) {
        DeviceRecord r = Device("PIC16T84", dkPic14, 0x84);
        const DeviceRecord before = r;
        const TRecordField *field = FindRecordField(c.field);
        ASSERT_NE(field, nullptr) << c.field;
        QString error;
        EXPECT_EQ(SetFieldText(r, *field, QString::fromLatin1(c.text), &error), c.ok) << c.field << ' ' << c.text;
        if (c.ok) {
            EXPECT_EQ(FieldText(r, *field), QString::fromLatin1(c.shown)) << c.field;
        } else {
            EXPECT_FALSE(error.isEmpty()) << c.field;
            EXPECT_TRUE(r == before) << c.field << ' ' << c.text;
        }
    }
    // Every field has a distinct place.
    std::set<int> offsets;
    for (const TRecordField &f : RecordFields())
        EXPECT_TRUE(offsets.insert(f.offset).second) << f.name;
}

TEST_F(ChipEditTest, SelectorFiltersByFeatures)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    struct TCase {
        TDeviceFilter filter;
        QStringList names;
    };
    auto filter = [](auto set) {
        TDeviceFilter f;
        set(f);
        return f;
    };
    const TCase cases[] = {
        {TDeviceFilter(), {"PIC12T08", "PIC16T84", "PIC18T452", "SX28T"}},
        {filter([](TDeviceFilter &f) { f.name = "t4"; }), {"PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.name = "pic1"; }), {"PIC12T08", "PIC16T84", "PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.kind = dkPic14; }), {"PIC16T84"}},
        {filter([](TDeviceFilter &f) { f.minProgramWords = 2048; }), {"PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.minDataBytes = 60; }), {"PIC16T84", "PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.minEepromBytes = 65; }), {"PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.minAdcChannels = 5; }), {"PIC16T84", "PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.usart = true; }), {"PIC16T84", "PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.spi = true; f.i2c = true; }), {"PIC18T452"}},
        {filter([](TDeviceFilter &f) { f.minIoPins = 20; }), {"PIC18T452", "SX28T"}},
        {filter([](TDeviceFilter &f) { f.minIoPins = 20; f.kind = dkSx; }), {"SX28T"}},
        {filter([](TDeviceFilter &f) { f.name = "zzz"; }), {}},
    };
    for (const TCase &c : cases) {
        QStringList names;
        for (int i : model.Select(c.filter))
            names << model.Device(i).name();
        EXPECT_EQ(names, c.names);
    }
}

TEST_F(ChipEditTest, AnEditIsSavedAndReadBackAndTheOldFileKept)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    const int p16 = model.Find("PIC16T84");
    ASSERT_TRUE(model.SetField(p16, *FindRecordField("hasUsart"), "0", &error));
    ASSERT_TRUE(model.SetField(p16, *FindRecordField("eepromSize"), "8", &error));
    ASSERT_TRUE(model.SetField(p16, *FindRecordField("name"), "PIC16T84A", &error));
    model.SetPin(p16, 'A', 7, true);
    model.SetInterrupt(p16, 3, true);
    // The PIC18 part keeps its two blocks.
    ASSERT_TRUE(model.SetField(model.Find("PIC18T452"), *FindRecordField("adcBits"), "12", &error));
    EXPECT_TRUE(model.IsModified());
    ASSERT_TRUE(model.Save(&error)) << error.toStdString();
    EXPECT_FALSE(model.IsModified());

    const DeviceRecord r = ReadBack("PIC16T84A");
    EXPECT_FALSE(r.hasUsart());
    EXPECT_EQ(r.eepromSize(), 8);
    EXPECT_EQ(r.portMask('A'), 0x9F);
    EXPECT_TRUE(r.hasInterrupt(3));
    EXPECT_EQ(FuseName(FuseNameIndex(r, 3)), "HS");
    DeviceRecord old;
    EXPECT_FALSE(FindDevice("PIC16T84", old));
    const DeviceRecord r18 = ReadBack("PIC18T452");
    EXPECT_EQ(r18.adcBits(), 12);
    EXPECT_EQ(FuseMask(r18, 90), 0x0001);
    EXPECT_EQ(ReadBack("SX28T").portMask('C'), 0xFF);

    // Only the edited records' bytes changed; the previous file is the backup.
    const QByteArray now = ReadFile(m_path);
    ASSERT_EQ(now.size(), m_original.size());
    int changedBlocks = 0;
    for (int b = 0; b < now.size() / kDeviceBlockSize; ++b)
        changedBlocks += now.mid(b * kDeviceBlockSize, kDeviceBlockSize) != m_original.mid(b * kDeviceBlockSize, kDeviceBlockSize);
    EXPECT_EQ(changedBlocks, 2);   // the 14-bit record and the first block of the PIC18 record
    EXPECT_EQ(ReadFile(m_dir.filePath("devices.BAK")), m_original);
}

TEST_F(ChipEditTest, NamesStayUnique)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    EXPECT_FALSE(model.SetField(0, *FindRecordField("name"), "PIC16T84", &error));
    EXPECT_TRUE(error.contains("already"));
    EXPECT_TRUE(model.SetField(0, *FindRecordField("name"), "PIC12T08", &error));   // its own name
    EXPECT_FALSE(model.IsModified());
}

TEST_F(ChipEditTest, AFailedWriteLeavesTheFileAsItWas)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    ASSERT_TRUE(model.SetField(1, *FindRecordField("hasUsart"), "0", &error));
    // The file may be written, the folder may not: the new file cannot be made beside it.
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                                      | QFileDevice::WriteOther);
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                            | QFileDevice::ExeOther);
    bool saved = true;
    {
        TOrdinaryUser user;
        saved = model.Save(&error);
    }
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFile(m_path), m_original);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"devices.dat"});
    // The edit is still there to be saved elsewhere or later.
    EXPECT_TRUE(model.IsModified());
    EXPECT_TRUE(model.Save(&error)) << error.toStdString();
    EXPECT_FALSE(ReadBack("PIC16T84").hasUsart());
}

TEST_F(ChipEditTest, AFileChangedOnDiskIsNotOverwritten)
{
    TChipEditModel model;
    QString error;
    ASSERT_TRUE(model.Load(m_path, &error));
    ASSERT_TRUE(model.SetField(1, *FindRecordField("hasUsart"), "0", &error));
    QByteArray other = m_original;
    other[2 * kDeviceBlockSize + devrec::eepromSize] = 9;
    ASSERT_TRUE(WriteFile(m_path, other));
    EXPECT_FALSE(model.Save(&error));
    EXPECT_TRUE(error.contains("changed on disk"));
    EXPECT_EQ(ReadFile(m_path), other);
}

TEST_F(ChipEditTest, EditorWindowEditsAndSaves)
{
    Tfchipedit window(false);
    window.show();
    QString error;
    ASSERT_TRUE(window.Open(m_path, &error));
    auto *devices = window.findChild<QTreeWidget *>("devices");
    ASSERT_EQ(devices->topLevelItemCount(), 4);
    window.findChild<QLineEdit *>("search")->setText("t84");
    ASSERT_EQ(devices->topLevelItemCount(), 1);
    EXPECT_EQ(window.Model().Device(window.Chosen()).name(), "PIC16T84");

    auto *fields = window.findChild<QTableWidget *>("fields");
    int usartRow = -1;
    for (int row = 0; row < fields->rowCount(); ++row)
        if (fields->item(row, 0)->toolTip() == "hasUsart")
            usartRow = row;
    ASSERT_GE(usartRow, 0);
    EXPECT_EQ(fields->item(usartRow, 2)->text(), "1");
    fields->item(usartRow, 2)->setText("5");   // refused: shown again as it is
    EXPECT_TRUE(window.Message().contains("1 (present) or 0"));
    EXPECT_FALSE(window.Model().IsModified());
    fields->item(usartRow, 2)->setText("0");
    EXPECT_TRUE(window.Model().IsModified());
    EXPECT_TRUE(window.windowTitle().endsWith(" *"));
    EXPECT_EQ(window.findChild<QTreeWidget *>("fuses")->topLevelItemCount(), 3);

    window.findChild<QAction *>("actionsave")->trigger();
    EXPECT_FALSE(window.Model().IsModified()) << window.Message().toStdString();
    EXPECT_FALSE(ReadBack("PIC16T84").hasUsart());
    EXPECT_EQ(window.Model().Device(window.Chosen()).name(), "PIC16T84");
}

TEST_F(ChipEditTest, SelectorWindowNarrowsAndCopiesTheName)
{
    Tfchipedit window(true);
    window.show();
    QString error;
    ASSERT_TRUE(window.Open(m_path, &error));
    EXPECT_TRUE(window.windowTitle().startsWith("Device Selector"));
    EXPECT_EQ(window.findChild<QAction *>("actionsave"), nullptr);
    auto *devices = window.findChild<QTreeWidget *>("devices");
    window.findChild<QCheckBox *>("needusart")->setChecked(true);
    EXPECT_EQ(devices->topLevelItemCount(), 2);
    window.findChild<QSpinBox *>("mineeprom")->setValue(100);
    ASSERT_EQ(devices->topLevelItemCount(), 1);
    EXPECT_EQ(window.findChild<QLabel *>("count")->text(), "1 of 4 devices");
    window.CopyName();
    EXPECT_EQ(QApplication::clipboard()->text(), "PIC18T452");
    // The record is shown but not editable.
    auto *fields = window.findChild<QTableWidget *>("fields");
    EXPECT_FALSE(fields->item(0, 2)->flags() & Qt::ItemIsEditable);
}
