// The main window's "PIC Wizard" command, offscreen with scripted answers: the file name comes
// from the prompt, the wizard window is closed with OK, the C file, header and project are
// written and the C file opens on a page. With KIV_SHOT_DIR set the main window is saved.

#include "kivmain.h"
#include "kivmain_devices.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "kivsxwiz.h"
#include "kivwizard.h"

#include "wizard_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kiv;
using namespace kiv::test;

namespace {

// Clicks a button of the wizard window as soon as it is shown.
void ClickWhenShown(const QString &button)
{
    QTimer::singleShot(50, [button] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *wizard = qobject_cast<Tfkivwizard *>(w); wizard && wizard->isVisible()) {
                wizard->findChild<QPushButton *>(button)->click();
                return;
            }
        ClickWhenShown(button);
    });
}

// The same for the SX wizard's window.
void ClickSxWhenShown()
{
    QTimer::singleShot(50, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *wizard = qobject_cast<Tfkivsxwiz *>(w); wizard && wizard->isVisible()) {
                wizard->findChild<QPushButton *>("OKBtn")->click();
                return;
            }
        ClickSxWhenShown();
    });
}

TEST(WizardMainTest, PicWizardWritesTheFilesAndOpensTheCFile)
{
    TWizardFixture fixture;
    QDir().mkpath(fixture.root + "w");
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    {
        Tfkivmain main(TCommandLine{});
        main.resize(1000, 700);
        main.show();
        QAction *command = main.findChild<QAction *>("wizardaction");
        ASSERT_NE(command, nullptr);
        Tfkivwizard *wizard = main.DeviceParts()->WizardWindow();
        ASSERT_NE(wizard, nullptr);
        auto *device = wizard->findChild<QComboBox *>("NP_DEVICE");
        device->setCurrentIndex(device->findText("PIC16T877"));
        emit device->activated(device->currentIndex());

        // Cancel in the wizard window: nothing is written, nothing opens.
        prompt.Queue(fixture.root + "w/first");
        ClickWhenShown("CancelBtn");
        command->trigger();
        EXPECT_FALSE(QFileInfo::exists(fixture.root + "w/first.c"));
        EXPECT_TRUE(main.Notebook()->PagePaths().isEmpty());

        // OK: three files, and the C file on a page.
        prompt.Queue(fixture.root + "w/blinky");
        ClickWhenShown("OKBtn");
        command->trigger();
        const QString c = fixture.root + "w/blinky.c";
        EXPECT_TRUE(ReadFile(c).startsWith("#include \"" + (fixture.root + "w/blinky.h").toUtf8() + "\"\r\n"));
        EXPECT_TRUE(ReadFile(fixture.root + "w/blinky.h").startsWith("#include <16T877.h>\r\n#device adc=8\r\n"));
        EXPECT_TRUE(ReadFile(fixture.root + "w/blinky.pjt").contains("Processor=0x877F"));
        EXPECT_EQ(main.Notebook()->CurrentPath(), c);
        const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
        if (!dir.isEmpty()) {
            QApplication::processEvents();
            main.grab().save(dir + "/wizard_main.png");
        }
        for (int i = 0; i < 8; ++i)
            prompt.Queue(mrNo);
    }
}


TEST(WizardMainTest, SxWizardWritesTheCFileAndHeaderAndOpensTheCFile)
{
    TWizardFixture fixture;
    QDir().mkpath(fixture.root + "w");
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    {
        Tfkivmain main(TCommandLine{});
        main.show();
        QAction *command = main.findChild<QAction *>("sxwizardaction");
        ASSERT_NE(command, nullptr);
        Tfkivsxwiz *wizard = main.DeviceParts()->SxWizardWindow();
        ASSERT_NE(wizard, nullptr);
        auto *device = wizard->findChild<QComboBox *>("NP_DEVICE");
        device->setCurrentIndex(device->findText("SX48T"));
        emit device->activated(device->currentIndex());
        prompt.Queue(fixture.root + "w/sx");
        ClickSxWhenShown();
        command->trigger();
        const QString c = fixture.root + "w/sx.c";
        EXPECT_TRUE(ReadFile(c).startsWith("#include \"" + (fixture.root + "w/sx.h").toUtf8() + "\"\r\n"));
        EXPECT_TRUE(ReadFile(fixture.root + "w/sx.h").startsWith("#include <SX48T.h>\r\n"));
        EXPECT_FALSE(QFileInfo::exists(fixture.root + "w/sx.pjt"));
        EXPECT_EQ(main.Notebook()->CurrentPath(), c);
        for (int i = 0; i < 8; ++i)
            prompt.Queue(mrNo);
    }
}

}  // namespace
