// The device windows driven through their controls: the fuse frame, the review windows, the
// device box and the "Global Defines" window. With KIV_SHOT_DIR set each test also saves a
// picture of its window there.

#include "MyHtComboU.h"
#include "devicesdat_writer.h"
#include "fuseselection.h"
#include "kivdef.h"
#include "kivini.h"
#include "kivprompt.h"
#include "kivreview.h"

#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

void Shot(QWidget &widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
    if (dir.isEmpty())
        return;
    widget.show();
    QTest::qWait(50);
    widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

DeviceRecord Device(const QString &name, uint8_t kind, uint16_t id)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    return r;
}

// A devices.dat with three parts and fuses, fuses.txt and ints.txt, in a fresh folder.
class DeviceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TDevicesDatWriter writer;
        ASSERT_TRUE(writer.SetFuseNames({"LP", "XT", "HS", "RC", "PROTECT", "NOPROTECT", "DEBUG"}));
        DeviceRecord mid = Device("PIC16F877A", dkPic14, 0x877A);
        ASSERT_TRUE(SetFuseEntry(mid, 1, {0x0003, 0x0000, 1, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 2, {0x0003, 0x0001, 2, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 3, {0x0003, 0x0002, 3, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 4, {0x0003, 0x0003, 4, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 5, {0x2000, 0x0000, 5, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 6, {0x2000, 0x2000, 6, 1}));
        ASSERT_TRUE(SetFuseEntry(mid, 7, {0x0800, 0x0000, 7, 1}));
        for (int n : {1, 4, 10})
            mid.setInterrupt(n, true);
        writer.AddRecord(Device("PIC12F508", dkPic12, 0xF508));
        writer.AddRecord(mid);
        writer.AddRecord(Device("PIC18F452", dkPic18, 0x452F));
        writer.AddRecord(Device("SX28AC", dkSx, 0x0028));
        writer.AddRecord(Device("PIC16C74", 6, 0x0074));   // a kind the reviews do not list
        ASSERT_TRUE(writer.Save(m_tmp.filePath("devices.dat")));
        SetDeviceFile(m_tmp.filePath("devices.dat"));
        ASSERT_TRUE(test::WriteFile(m_tmp.filePath("fuses.txt"),
                                    "LP Low power crystal\r\nXT Crystal\r\nHS High speed crystal\r\nRC Resistor/capacitor\r\n"
                                    "PROTECT Code protected\r\nNOPROTECT Not code protected\r\nDEBUG Debug mode\r\n"));
        ASSERT_TRUE(test::WriteFile(m_tmp.filePath("ints.txt"), "RTCC Timer 0 overflow\r\nEXT External interrupt\r\n"));
        LoadFuseNames(m_names);
        TDeviceReviewWindow::ExecHook() = [this](QDialog &dialog) {
            m_shown = &dialog;
            m_memo = dialog.findChild<QPlainTextEdit *>("Memo")->toPlainText();
            m_devices.clear();
            auto *target = dialog.findChild<QComboBox *>("target");
            for (int n = 0; n < target->count(); ++n)
                m_devices << target->itemText(n);
            m_chosen = target->currentText();
            return int(QDialog::Accepted);
        };
    }
    void TearDown() override
    {
        TDeviceReviewWindow::ExecHook() = [](QDialog &dialog) { return dialog.exec(); };
    }

    QTemporaryDir m_tmp;
    FuseNameTable m_names;
    QDialog *m_shown = nullptr;
    QString m_memo;
    QStringList m_devices;
    QString m_chosen;
};

}  // namespace

TEST_F(DeviceWindowTest, FuseFrameControlsFollowTheModel)
{
    DeviceRecord device;
    ASSERT_TRUE(FindDevice("PIC16F877A", device));
    TOtherFusesFrame frame;
    frame.BuildFuseFrame(device, m_names, TDescriptionFile(m_tmp.filePath("fuses.txt")));
    frame.SelectDefaultFuses(device, m_names);
    ASSERT_EQ(frame.ControlWidgets().size(), 3);
    auto *oscillator = qobject_cast<QComboBox *>(frame.ControlWidgets()[0]);
    auto *protect = qobject_cast<QCheckBox *>(frame.ControlWidgets()[1]);
    auto *debug = qobject_cast<QCheckBox *>(frame.ControlWidgets()[2]);
    ASSERT_TRUE(oscillator && protect && debug);
    EXPECT_EQ(oscillator->currentText(), "Resistor/capacitor");
    EXPECT_EQ(protect->text(), "Code protected");
    EXPECT_FALSE(protect->isChecked());
    EXPECT_EQ(frame.SelectedFuses(), "RC, NOPROTECT");

    int changes = 0;
    QObject::connect(&frame, &TOtherFusesFrame::FusesChanged, [&] { ++changes; });
    frame.show();
    QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(5, protect->height() / 2));
    debug->setChecked(true);
    oscillator->setCurrentIndex(2);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(frame.SelectedFuses(), "HS, PROTECT, DEBUG");
    Shot(frame, "fuseframe");

    // Rebuilding for another device replaces the controls.
    ASSERT_TRUE(FindDevice("PIC12F508", device));
    frame.BuildFuseFrame(device, m_names, TDescriptionFile(m_tmp.filePath("fuses.txt")));
    EXPECT_TRUE(frame.ControlWidgets().isEmpty());
    EXPECT_EQ(frame.SelectedFuses(), "");
}

TEST_F(DeviceWindowTest, FuseReviewStartsOnTheProjectsProcessor)
{
    Tfkivfuse window(nullptr, m_tmp.filePath("fuses.txt"));
    ASSERT_TRUE(window.Open(0x877A));
    EXPECT_EQ(window.windowTitle(), "Fuse Review");
    EXPECT_EQ(window.Target()->currentText(), "PIC16F877A");
    EXPECT_EQ(window.Memo()->toPlainText(),
              "LP\t\tLow power crystal\nXT\t\tCrystal\nHS\t\tHigh speed crystal\nRC\t\tResistor/capacitor\n"
              "PROTECT\tCode protected\nNOPROTECT\tNot code protected\nDEBUG\t\tDebug mode");
    Shot(window, "fusereview");
    // Choosing another device in the box lists its fuses.
    window.Target()->setCurrentIndex(window.Target()->findText("PIC12F508"));
    EXPECT_EQ(window.Memo()->toPlainText(), "");
}

TEST_F(DeviceWindowTest, ReviewListsTheReviewKindsAndStartsOnTheFirstWithoutAProject)
{
    Tfkivints window(nullptr, m_tmp.filePath("ints.txt"));
    ASSERT_TRUE(window.Open(21829));
    QStringList items;
    for (int n = 0; n < window.Target()->count(); ++n)
        items << window.Target()->itemText(n);
    EXPECT_EQ(items, (QStringList{"PIC12F508", "PIC16F877A", "PIC18F452", "SX28AC"}));
    EXPECT_EQ(window.Target()->currentIndex(), 0);
    window.Target()->setCurrentIndex(1);
    EXPECT_EQ(window.Memo()->toPlainText(), "RTCC\t\tTimer 0 overflow\nEXT\t\tExternal interrupt\nRDA\t\t");
    EXPECT_EQ(window.windowTitle(), "Interrupt Review");
    Shot(window, "interruptreview");
}

TEST_F(DeviceWindowTest, AMissingDescriptionFileIsReportedAndNothingOpens)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    Tfkivfuse window(nullptr, m_tmp.filePath("missing.txt"));
    EXPECT_FALSE(window.Open(0));
    ASSERT_EQ(prompt.Messages().size(), 1);
    EXPECT_TRUE(prompt.Messages()[0].contains("missing.txt"));
}

TEST_F(DeviceWindowTest, AMissingDeviceFileIsReported)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    SetDeviceFile(m_tmp.filePath("none.dat"));
    Tfkivints window(nullptr, m_tmp.filePath("ints.txt"));
    EXPECT_FALSE(window.Open(0));
    EXPECT_EQ(prompt.Messages().size(), 1);
}

TEST_F(DeviceWindowTest, DeviceBoxDrawsFamilyColoursAndBoldPartNumbers)
{
    TMyHtComboPic box;
    box.addItems({"PIC16F877", "PIC18F452", "SX28AC"});
    EXPECT_EQ(box.HighLightColor(), QColor(255, 251, 240));
    const QList<TlineAttrib> a = box.ItemAttributes(0);
    ASSERT_EQ(a.size(), 9);
    EXPECT_EQ(a[0].textColor, 0x008000u);
    EXPECT_FALSE(a[4].bold);
    EXPECT_TRUE(a[6].bold);
    EXPECT_EQ(a[6].textColor, 0u);
    EXPECT_EQ(box.ItemAttributes(1)[0].textColor, 0x0000FFu);
    EXPECT_EQ(box.ItemAttributes(2)[0].textColor, 0u);
    box.OnGetAttrib = [](QList<TlineAttrib> &attributes, int index) {
        if (index == 2)
            attributes[0].bold = true;
    };
    EXPECT_TRUE(box.ItemAttributes(2)[0].bold);
    box.resize(200, box.sizeHint().height());
    Shot(box, "devicebox");
}

TEST(DeviceBoxModelTest, FamiliesAndDigits)
{
    EXPECT_EQ(HtComboFamily("pic12f508"), 0);
    EXPECT_EQ(HtComboFamily("PIC14000"), 1);
    EXPECT_EQ(HtComboFamily("PIC16C74"), 2);
    EXPECT_EQ(HtComboFamily("PIC18F452"), 3);
    EXPECT_EQ(HtComboFamily("SX28AC"), 4);
    const QList<TlineAttrib> a = HtComboAttributes("RFPIC12F675", "Sans", 9, kHtComboCream);
    // "PIC" at position 3: digits from position 9 on ("675") are bold; "12" is not.
    QString bold;
    for (const TlineAttrib &x : a)
        bold += x.bold ? '1' : '0';
    EXPECT_EQ(bold, "00000000111");
    EXPECT_EQ(a[0].textColor, 0xFF00FFu);
    EXPECT_EQ(a[0].fontName, "Sans");
    EXPECT_TRUE(HtComboAttributes("XYZ123", "Sans", 9, 0)[3].bold == false);
}

TEST(GlobalDefinesWindowTest, GridEnabledBoxOkLoadAndSave)
{
    QTemporaryDir tmp;
    const QString ini = tmp.filePath("kiv.ini");
    {
        TIniFile file(ini);
        file.WriteString("defines", "D1", "STORED");
        file.WriteString("defines", "V1", "7");
    }
    Tfkivdef window(ini);
    window.ProjectFolder = [&] { return tmp.path() + "/"; };
    EXPECT_EQ(window.windowTitle(), "Global Defines");
    EXPECT_EQ(window.Grid()->horizontalHeaderItem(0)->text(), "Identifier");
    EXPECT_EQ(window.Grid()->horizontalHeaderItem(1)->text(), "Value");
    EXPECT_EQ(window.Grid()->item(0, 0)->text(), "STORED");
    EXPECT_FALSE(window.EnabledBox()->isChecked());
    EXPECT_EQ(window.GlobalDefinesText(), "");

    window.Grid()->item(1, 0)->setText("9 lives");
    window.Grid()->item(1, 1)->setText("1");
    window.EnabledBox()->click();
    EXPECT_EQ(window.GlobalDefinesText(), "STORED=7\t_9lives=1\t");
    Shot(window, "globaldefines");

    window.findChild<QPushButton *>("OKBtn")->click();
    EXPECT_EQ(TIniFile(ini).ReadString("defines", "D2"), "_9lives");

    // Save and Load go through the file questions.
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    prompt.Queue(tmp.filePath("my.def"));
    window.findChild<QPushButton *>("SaveBtn")->click();
    EXPECT_EQ(test::ReadFile(tmp.filePath("my.def")), "#define STORED 7\r\n#define _9lives 1\r\n");
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].filters, QStringList{"Global defines (*.def)"});
    EXPECT_EQ(prompt.Asked()[0].text, tmp.path() + "/");

    window.findChild<QPushButton *>("ClearBtn")->click();
    EXPECT_EQ(window.GlobalDefinesText(), "");
    EXPECT_EQ(window.Grid()->item(0, 0)->text(), "");
    ASSERT_TRUE(test::WriteFile(tmp.filePath("in.def"), "#define A 1\n#define B two words\n"));
    prompt.Queue(tmp.filePath("in.def"));
    window.findChild<QPushButton *>("LoadBtn")->click();
    EXPECT_EQ(window.Grid()->item(1, 1)->text(), "two words");
    EXPECT_EQ(window.GlobalDefinesText(), "A=1\tB=two words\t");
    EXPECT_EQ(prompt.Asked()[1].filters, QStringList{"Global Defines (*.def)"});

    // A cancelled question changes nothing; an unreadable file is reported.
    window.findChild<QPushButton *>("LoadBtn")->click();
    EXPECT_EQ(window.GlobalDefinesText(), "A=1\tB=two words\t");
    prompt.Queue(tmp.filePath("nothere.def"));
    window.findChild<QPushButton *>("LoadBtn")->click();
    EXPECT_EQ(prompt.Messages().size(), 1);
    EXPECT_EQ(window.GlobalDefinesText(), "A=1\tB=two words\t");
}
