// The windows of the programmer launch, the data sheets and the calibration extraction, and the
// main window commands that open them.

#include "devicesdat_writer.h"
#include "intelhex.h"
#include "kivgcal.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivpdf.h"
#include "kivprgm.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

// Pictures of the windows for a person to look at, when KIV_SHOT_DIR names a folder.
void Shot(QWidget &window, const char *name)
{
    const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
    if (dir.isEmpty())
        return;
    window.show();
    QTest::qWait(50);
    window.grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void Open(const QUrl &url) { urls << url; }
};

DeviceRecord Device(const QString &name, uint8_t kind, uint16_t id, const QString &sheet)
{
    DeviceRecord r;
    r.setName(name);
    r.setKind(kind);
    r.setId(id);
    r.setDataSheet(sheet);
    return r;
}

class ToolWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *dir : {"inst/dll", "inst/utils", "inst/lumo", "inst/Data Sheets", "home", "w"})
            QDir().mkpath(m_tmp.filePath(dir));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        TDevicesDatWriter w;
        w.AddRecord(Device("PIC12T08", dkPic12, 0x0508, "41236c"));
        w.AddRecord(Device("PIC16T84", dkPic14, 0x0084, "30430c"));
        w.AddRecord(Device("PIC18T452", dkPic18, 0x0452, "39564b"));
        w.AddRecord(Device("DSPIC30T", 5, 0x3030, "70000"));   // not a kind the window lists
        ASSERT_TRUE(w.Save(UtilsDir() + "devices.dat"));
        SetDeviceFile(UtilsDir() + "devices.dat");
    }
    void TearDown() override
    {
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    Tfkivmain &Main()
    {
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_main->FormShow();
        return *m_main;
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    QString Sheets() const { return InstallDir() + "Data Sheets/"; }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

}  // namespace

TEST_F(ToolWindowsTest, ProgrammerOptionsWindowLoadsEditsAndSavesTheSlots)
{
    TIniFile ini(SettingsFilePath());
    ASSERT_TRUE(ini.WriteString("debugger2", "name", "Sim"));
    ASSERT_TRUE(ini.WriteString("debugger2", "command", "{/opt/pic sim/sim{ %C"));
    Tfkivprgm window;
    window.LoadToolSettings(ini);
    EXPECT_EQ(window.findChild<QLineEdit *>("name")->text(), "WARP-13");
    EXPECT_EQ(window.findChild<QLineEdit *>("command0")->text(), "\"c:\\program files\\lumo\\ICD.EXE\" \"-T%H\"");
    EXPECT_EQ(window.findChild<QLineEdit *>("name2")->text(), "Sim");
    EXPECT_EQ(window.findChild<QLineEdit *>("command2")->text(), "\"/opt/pic sim/sim\" %C");
    for (const char *label : {"%H - Hex file name  ", "%D - Base part number", "%P - Project file name", "%C - Debug file name"}) {
        bool found = false;
        for (QLabel *l : window.findChildren<QLabel *>())
            found = found || l->text() == QLatin1String(label);
        EXPECT_TRUE(found) << label;
    }
    Shot(window, "kivprgm");

    // Cancel keeps everything; OK writes the five slots.
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QLineEdit *>("name3")->setText("Emulator");
        window.findChild<QLineEdit *>("command3")->setText("/opt/ICEPIC32/run \"%C\"");
        window.reject();
    });
    EXPECT_FALSE(window.EditToolSettings(ini));
    EXPECT_EQ(window.Confirmed().Slot(tsDebugger3).name, "");
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QLineEdit *>("name3")->setText("Emulator");
        window.findChild<QLineEdit *>("command3")->setText("/opt/ICEPIC32/run \"%C\"");
        window.findChild<QDialogButtonBox *>("buttons")->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(window.EditToolSettings(ini));
    EXPECT_EQ(ini.ReadString("debugger3", "name"), "Emulator");
    EXPECT_EQ(ini.ReadString("debugger3", "command"), "/opt/ICEPIC32/run {%C{");
    EXPECT_EQ(window.Confirmed().Slot(tsDebugger3).command, "/opt/ICEPIC32/run \"%C\"");
}

TEST_F(ToolWindowsTest, MainWindowCommandsFollowTheSlots)
{
    Tfkivmain &main = Main();
    QAction *chip = main.Command("ActionToolsProgramChip");
    QAction *chip2 = main.Command("ActionToolsProgramChip2");
    ASSERT_TRUE(chip && chip2);
    EXPECT_TRUE(chip->isVisible());
    EXPECT_EQ(chip->text(), "ICD");
    EXPECT_EQ(chip2->text(), "WARP-13");
    EXPECT_EQ(main.Command("tool1action")->text(), "MPLAB");
    EXPECT_TRUE(main.Command("tool1action")->isVisible());
    EXPECT_FALSE(main.Command("tool2action")->isVisible());
    EXPECT_FALSE(main.Command("tool3action")->isVisible());
    for (const char *name : {"Action69", "ActionViewDataSheet", "ActionToolsExtractCalData",
                             "ActionToolsProgramChip", "ActionToolsProgramChip2"})
        EXPECT_TRUE(main.Command(name)->isEnabled()) << name;

    // A programmer that is not installed says so with its path.
    chip2->trigger();
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_EQ(m_prompt.Messages().at(0), "Cannot find program: C:\\PROGRA~1\\WARP13\\WARP13.EXE");

    // A programmer that is there gets the project's hex file as one argument.
    const QString out = W("args.txt");
    const QString script = m_tmp.filePath("pic tools/burn");
    ASSERT_TRUE(WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + out.toLocal8Bit() + ".tmp'\n"
                                  "mv '" + out.toLocal8Bit() + ".tmp' '" + out.toLocal8Bit() + "'\n"));
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    TIniFile ini(SettingsFilePath());
    ASSERT_TRUE(ini.WriteString("prgmer2", "name", "Burner"));
    ASSERT_TRUE(ini.WriteString("prgmer2", "command", "{" + script + "{ -p %H"));
    main.ToolOptions()->LoadToolSettings(ini);
    main.UpdateToolCommands();
    EXPECT_EQ(chip->text(), "Burner");
    ASSERT_TRUE(WriteFile(W("my blink.c"), "void main() {}\n"));
    main.doopenfile(W("my blink.c"), 'R');
    chip->trigger();
    for (int i = 0; i < 300 && !QFileInfo::exists(out); ++i)
        QTest::qWait(10);
    EXPECT_EQ(ReadFile(out), "-p\n" + W("my blink.HEX").toLocal8Bit() + "\n");
    EXPECT_EQ(m_prompt.Messages().size(), 1);
}

TEST_F(ToolWindowsTest, DataSheetWindowListsDevicesAndOtherPdfs)
{
    for (const char *name : {"errata.pdf", "30292c.pdf", "Overview.PDF", "notes.txt", "41236c.pdf"})
        ASSERT_TRUE(WriteFile(Sheets() + name, "%PDF-1.4\n"));
    ASSERT_TRUE(WriteFile(W("pump.pjt"), "[PROJECT]\r\nProcessor=0x0084\r\n"));
    Tfkivpdf window;
    ASSERT_TRUE(window.Start(W("pump.pjt")));
    auto *target = window.findChild<QComboBox *>("target");
    auto *others = window.findChild<QComboBox *>("otherlist");
    auto *path = window.findChild<QLineEdit *>("path");
    ASSERT_TRUE(target && others && path);
    EXPECT_EQ(path->text(), Sheets());
    ASSERT_EQ(target->count(), 3);
    EXPECT_EQ(target->currentText(), "PIC16T84");
    QStringList names;
    for (int i = 0; i < others->count(); ++i)
        names << others->itemText(i);
    EXPECT_EQ(names, QStringList({"errata", "Overview"}));
    EXPECT_EQ(others->currentIndex(), 0);
    Shot(window, "kivpdf");

    // A folder typed without its "/" gets one; its PDFs are listed at once.
    QDir().mkpath(m_tmp.filePath("other sheets"));
    ASSERT_TRUE(WriteFile(m_tmp.filePath("other sheets/appnote.pdf"), "%PDF"));
    path->clear();
    QTest::keyClicks(path, m_tmp.filePath("other sheets"));
    EXPECT_EQ(others->count(), 1);
    EXPECT_EQ(window.Model().directory, m_tmp.filePath("other sheets") + "/");
    path->clear();
    QTest::keyClicks(path, Sheets());
    EXPECT_EQ(others->count(), 2);

    // The device's sheet is missing: Retry asks again, Cancel gives up.
    window.findChild<QPushButton *>("BitBtn1")->click();
    EXPECT_EQ(window.Result(), Tfkivpdf::vrDevice);
    m_prompt.Queue(mrRetry);
    m_prompt.Queue(mrCancel);
    EXPECT_EQ(window.FileToOpen(), QString());
    ASSERT_EQ(m_prompt.Messages().size(), 2);
    EXPECT_EQ(m_prompt.Messages().at(0), "Not Found: " + Sheets() + "30430c.pdf");
    EXPECT_EQ(m_prompt.Asked().at(0).buttons, mbRetryCancel);
    // ... and once it is there, Retry finds it.
    m_prompt.ClearAsked();
    QTimer::singleShot(0, [&] { WriteFile(Sheets() + "30430c.pdf", "%PDF"); });
    m_prompt.Queue(mrRetry);
    QTest::qWait(10);
    EXPECT_EQ(window.FileToOpen(), Sheets() + "30430c.pdf");
}

TEST_F(ToolWindowsTest, DataSheetCommandOpensTheFileWithTheDesktop)
{
    ASSERT_TRUE(WriteFile(Sheets() + "41236c.pdf", "%PDF"));
    TIniFile(SettingsFilePath()).WriteString("datasheets", "directory", m_tmp.filePath("elsewhere"));
    Tfkivpdf window;
    ASSERT_TRUE(window.Start(QString()));
    // Without a project file the processor number is 21829, which no device has: the first.
    EXPECT_EQ(window.findChild<QComboBox *>("target")->currentIndex(), 0);
    window.findChild<QLineEdit *>("path")->setText(Sheets());
    window.findChild<QPushButton *>("BitBtn1")->click();
    // The folder chosen is kept for the next time.
    EXPECT_EQ(TIniFile(SettingsFilePath()).ReadString("datasheets", "directory"), Sheets());
    EXPECT_EQ(window.FileToOpen(), Sheets() + "41236c.pdf");

    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    Tfkivmain &main = Main();
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *pdf = qobject_cast<Tfkivpdf *>(w))
                pdf->findChild<QPushButton *>("BitBtn1")->click();
    });
    main.Command("ActionViewDataSheet")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls.at(0).toLocalFile(), Sheets() + "41236c.pdf");
}

TEST_F(ToolWindowsTest, CalibrationWindowWritesTheIncludeFileAndTheEditorOpensIt)
{
    const QString hex = W("read part.hex");
    std::vector<THexSegment> image = {{0, {0x25, 0x0C}}, {2 * 1023, {0x80, 0x34}}};
    ASSERT_TRUE(WriteFile(hex, QByteArray::fromStdString(WriteIntelHex32(image))));

    Tfkivgcal window;
    EXPECT_TRUE(window.findChild<QRadioButton *>("IS512")->isChecked());
    EXPECT_EQ(window.findChild<QRadioButton *>("IS1024")->text(), "505,509,519,671,673");
    EXPECT_TRUE(window.findChild<QLabel *>("instructions")->text().contains("Comment the include out for OTP parts."));
    m_prompt.Queue(hex);
    window.findChild<QPushButton *>("browseinput")->click();
    EXPECT_EQ(m_prompt.Asked().back().caption, "Input .HEX filename");
    EXPECT_EQ(window.findChild<QLineEdit *>("inputfile")->text(), hex);
    EXPECT_EQ(window.findChild<QLineEdit *>("outfile")->text(), W("read part.cal"));
    Shot(window, "kivgcal");

    // The 508 group finds no word at 0x1FF: said so, nothing written, the window stays open.
    window.OkClick();
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_TRUE(m_prompt.Messages().at(0).contains("0x1FF"));
    EXPECT_FALSE(QFileInfo::exists(W("read part.cal")));
    window.findChild<QRadioButton *>("IS1024")->setChecked(true);
    window.OkClick();
    EXPECT_EQ(window.Written(), W("read part.cal"));
    EXPECT_EQ(ReadFile(W("read part.cal")), "#rom 0x3ff={0x3480}\r\n");

    // The main window's command opens what the window wrote.
    Tfkivmain &main = Main();
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *gcal = qobject_cast<Tfkivgcal *>(w)) {
                gcal->findChild<QLineEdit *>("inputfile")->setText(hex);
                gcal->findChild<QLineEdit *>("outfile")->setText(W("cal.h"));
                gcal->findChild<QRadioButton *>("IS1024")->setChecked(true);
                gcal->OkClick();
            }
        }
    });
    main.Command("ActionToolsExtractCalData")->trigger();
    ASSERT_EQ(main.Notebook()->PageCount(), 1);
    EXPECT_EQ(main.Notebook()->PagePath(0), W("cal.h"));
}

#include "tools30_ui_test.moc"
