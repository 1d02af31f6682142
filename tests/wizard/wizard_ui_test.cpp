// The project wizard's window: driven through its pages with real control events, read back from
// the model; the "Code" and "Enter Number" windows. With KIV_SHOT_DIR set, every page is saved
// as a picture for PIC16F877A and PIC18F452 of the installation's generated data.

#include "enternumber.h"
#include "kivpopup.h"
#include "kivsxwiz.h"
#include "kivprompt.h"
#include "kivwizard.h"

#include "wizard_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

template <typename T>
T *Find(QWidget &window, const QString &name)
{
    T *w = window.findChild<T *>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

void Choose(QComboBox *list, const QString &text)
{
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

TEST(WizardWindowTest, PagesDrivenWithControlEventsReachTheModel)
{
    TWizardFixture fixture;
    Tfkivwizard window(nullptr, false);
    window.Model().Open();
    window.ShowModel();
    window.show();
    EXPECT_EQ(window.windowTitle(), "New project");
    auto *tabs = Find<QTabBar>(window, "TabSet");
    ASSERT_EQ(tabs->count(), 11);
    EXPECT_EQ(tabs->tabText(4), "QANTimers");

    Choose(Find<QComboBox>(window, "NP_DEVICE"), "PIC16T877");
    EXPECT_EQ(window.Model().Device().name(), "PIC16T877");
    EXPECT_TRUE(Find<QCheckBox>(window, "enableicd")->isEnabled());
    QTest::mouseClick(Find<QCheckBox>(window, "enable16"), Qt::LeftButton);
    EXPECT_TRUE(window.Model().C("enable16").checked);
    // The fuse frame shows the device's groups; a change reaches the model's fuse selection.
    auto *frame = Find<QWidget>(window, "OtherFusesFrame1");
    auto *protect = frame->findChild<QCheckBox *>("fuse2");
    ASSERT_NE(protect, nullptr);
    const QString before = window.Model().Fuses().SelectedFuses();
    protect->click();
    EXPECT_NE(window.Model().Fuses().SelectedFuses(), before);

    // Communications: baud typed, parity chosen, I2C in slave mode enables the address.
    tabs->setCurrentIndex(wpCommunications);
    EXPECT_EQ(window.Model().CurrentPage(), int(wpCommunications));
    QTest::keyClicks(Find<QLineEdit>(window, "np_rs232_b"), "2");
    EXPECT_EQ(window.Model().C("np_rs232_b").text, "96002");
    Choose(Find<QComboBox>(window, "NP_rs232_p"), "Odd");
    EXPECT_TRUE(window.Model().rs232Text[0].startsWith("#use rs232(baud=96002,parity=O,"));
    auto *i2c = Find<QCheckBox>(window, "NP_I2C");
    i2c->click();
    EXPECT_TRUE(window.Model().C("NP_I2C").checked);
    EXPECT_FALSE(Find<QLineEdit>(window, "np_i2c_add")->isEnabled());
    Find<QRadioButton>(window, "np_i2c_mode1")->click();
    EXPECT_EQ(window.Model().C("np_i2c_mode").index, 1);
    EXPECT_TRUE(Find<QLineEdit>(window, "np_i2c_add")->isEnabled());

    // Timers: a prescaler button and the watchdog.
    tabs->setCurrentIndex(wpTimers);
    Find<QCheckBox>(window, "nowdt")->click();
    EXPECT_FALSE(window.Model().C("nowdt").checked);
    EXPECT_TRUE(Find<QWidget>(window, "wdtsbox")->isEnabled());
    Find<QRadioButton>(window, "wdt144")->click();
    EXPECT_TRUE(window.Model().C("wdt144").checked);
    EXPECT_FALSE(window.Model().C("WDT18").checked);
    EXPECT_FALSE(Find<QRadioButton>(window, "WDT18")->isChecked());
    Find<QCheckBox>(window, "t2enabled")->click();
    Find<QSpinBox>(window, "t2p")->setValue(99);
    EXPECT_EQ(window.Model().C("t2p").value, 99);
    EXPECT_EQ(Find<QLabel>(window, "t2ptime")->text(), window.Model().C("t2ptime").caption);

    // Other: PWM mode and the comparator spin button.
    tabs->setCurrentIndex(wpOther);
    Choose(Find<QComboBox>(window, "ccp1mode"), "PWM");
    EXPECT_TRUE(Find<QComboBox>(window, "ccp1pwm")->isVisibleTo(&window));
    EXPECT_EQ(window.Model().ccpText[0], "   setup_ccp1(CCP_PWM);\r\n");
    Find<QToolButton>(window, "np_spin_up")->click();
    EXPECT_EQ(window.Model().comparatorMode, 1);
    EXPECT_EQ(Find<QLabel>(window, "c1z")->text(), "C1OUT");

    // Interrupts and drivers are check lists.
    tabs->setCurrentIndex(wpInterrupts);
    auto *ints = Find<QListWidget>(window, "intchecklist");
    ASSERT_EQ(ints->count(), 6);
    ints->item(3)->setCheckState(Qt::Checked);
    EXPECT_TRUE(window.Model().C("intchecklist").itemChecked[3]);
    tabs->setCurrentIndex(wpDrivers);
    auto *drivers = Find<QListWidget>(window, "driverlist");
    ASSERT_EQ(drivers->count(), 3);
    drivers->item(0)->setCheckState(Qt::Checked);

    // I/O Pins: the driver's pins show; an identifier typed in the table reaches the model;
    // "Analog" is refused for a pin in use.
    tabs->setCurrentIndex(wpPins);
    auto *pins = Find<QTableWidget>(window, "pintable");
    ASSERT_EQ(pins->rowCount(), 33);
    const int d0 = window.Model().PinRow("D0");
    EXPECT_EQ(pins->item(d0, 2)->text(), "PIN_D0,LCD_E");
    const int b2 = window.Model().PinRow("B2");
    pins->item(b2, 2)->setText("PIN_B2,LED");
    EXPECT_EQ(window.Model().Pins()[b2].identifiers, "PIN_B2,LED");
    auto *type = Find<QComboBox>(window, "pintype_B2");
    type->setCurrentIndex(4);
    emit type->activated(4);
    EXPECT_EQ(window.Model().Pins()[b2].ioType, 0);
    EXPECT_EQ(type->currentIndex(), 0);

    // The preview of the Interrupts page holds the routine of the checked row.
    tabs->setCurrentIndex(wpInterrupts);
    EXPECT_TRUE(PreviewText(window.Model(), window.Model().CurrentPage()).contains("#int_RDA"));
}

TEST(WizardWindowTest, CodeWindowAndNumberDialog)
{
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *popup = qobject_cast<Tfkivpopup *>(w)) {
                EXPECT_EQ(popup->windowTitle(), "Code");
                EXPECT_EQ(popup->Memo()->toPlainText(), "");
                popup->accept();
            }
    });
    ShowCode(nullptr, "");
    // Closing "Enter Number" with its close box still gives the value.
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *number = qobject_cast<TFenternumber *>(w)) {
                EXPECT_EQ(number->windowTitle(), "Enter Number");
                EXPECT_EQ(number->findChild<QLabel *>("prompt")->text(), "Frequency in HZ:");
                number->findChild<QSpinBox *>("number")->setValue(1234);
                number->reject();
            }
    });
    EXPECT_EQ(EnterNumber(nullptr, "Frequency in HZ:"), 1234);
}

// Pictures of every page for two real devices (KIV_SHOT_DIR), and no control cut off.
TEST(WizardWindowTest, PagesOfRealDevices)
{
    const QString stage = BuildDir() + "/stage/";
    if (!QFileInfo::exists(stage + "utils/devices.dat"))
        GTEST_SKIP() << "no staged installation";
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    SetExecutablePathForDirs(stage + "bin/kiv");
    const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
    {
        Tfkivwizard window;
        window.resize(820, 600);
        window.show();
        for (const char *device : {"PIC16F877A", "PIC18F452"}) {
            Choose(window.findChild<QComboBox *>("NP_DEVICE"), device);
            ASSERT_EQ(window.Model().Device().name(), device);
            window.findChild<QCheckBox *>("NP_I2C")->setChecked(true);
            for (int page = 0; page < wpPageCount; ++page) {
                window.findChild<QTabBar *>("TabSet")->setCurrentIndex(page);
                QApplication::processEvents();
                if (!dir.isEmpty())
                    window.grab().save(QString("%1/wizard_%2_%3.png").arg(dir, device).arg(page));
            }
        }
    }
    SetExecutablePathForDirs(QString());
}

TEST(WizardWindowTest, SxWindowPagesAndPullUps)
{
    TWizardFixture fixture;
    Tfkivsxwiz window(nullptr, false);
    window.Model().Open();
    window.ShowModel();
    window.show();
    auto *tabs = Find<QTabBar>(window, "TabSet");
    ASSERT_EQ(tabs->count(), 7);
    EXPECT_NE(window.findChild<QPushButton *>("RzButton1"), nullptr);
    Choose(Find<QComboBox>(window, "NP_DEVICE"), "SX48T");
    EXPECT_EQ(window.Model().Device().name(), "SX48T");
    Find<QRadioButton>(window, "osc0")->click();
    EXPECT_EQ(window.Model().C("osc").index, 0);
    tabs->setCurrentIndex(spOther);
    Find<QRadioButton>(window, "mode11")->click();
    EXPECT_EQ(window.Model().C("mode1").ItemText(), "PWM");
    EXPECT_TRUE(Find<QWidget>(window, "pwmgroup1")->isVisibleTo(&window));
    EXPECT_FALSE(Find<QWidget>(window, "compgroup1")->isVisibleTo(&window));
    Find<QToolButton>(window, "SpinButton1_up")->click();
    EXPECT_EQ(Find<QLabel>(window, "c1z")->text(), "ON");
    tabs->setCurrentIndex(spPins);
    auto *pins = Find<QTableWidget>(window, "pintable");
    ASSERT_EQ(pins->columnCount(), 4);
    EXPECT_EQ(pins->horizontalHeaderItem(2)->text(), "PU");
    const int b0 = window.Model().PinRow("B0");
    pins->item(b0, 2)->setCheckState(Qt::Checked);
    EXPECT_TRUE(window.Model().Pins()[b0].pullup);
    EXPECT_TRUE(window.Model().SectionText(spPins, 3).contains("mPULLUP"));
    const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
    if (!dir.isEmpty())
        for (int page = 0; page < spPageCount; ++page) {
            tabs->setCurrentIndex(page);
            window.grab().save(QString("%1/sxwizard_%2.png").arg(dir).arg(page));
        }
}

}  // namespace
