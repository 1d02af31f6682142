#include "devicesdat_writer.h"
#include "kivinc.h"
#include "kivmnew.h"
#include "kivprompt.h"
#include "kivproject.h"
#include "pc_chipr.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

QString SourceDataDir()
{
    const QString source = kiv::test::SourceDir();
    if (!source.isEmpty())
        return source + "/data";
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../data";
}

// Drives a dialog without showing it: `drive` clicks through it and returns the dialog's result.
class ExecHookGuard {
public:
    explicit ExecHookGuard(std::function<int(QDialog &)> drive)
    {
        Tfkivinc::ExecHook() = std::move(drive);
    }
    ~ExecHookGuard() { Tfkivinc::ExecHook() = nullptr; }
};

void Click(QWidget &dialog, const char *button)
{
    auto *b = dialog.findChild<QPushButton *>(button);
    ASSERT_NE(b, nullptr) << button;
    b->click();
}

}  // namespace

// --- "Include Files" ---------------------------------------------------------------------------

TEST(IncludeDialog, ControlsAndCaptions)
{
    Tfkivinc dialog;
    dialog.Setup("/a/;/b/", "Assign new list to current project", true);
    EXPECT_EQ(dialog.windowTitle(), "Include Files");
    ASSERT_NE(dialog.findChild<QListWidget *>("ListBox"), nullptr);
    ASSERT_NE(dialog.findChild<QLineEdit *>("newname"), nullptr);
    auto *cbox = dialog.findChild<QCheckBox *>("cbox");
    ASSERT_NE(cbox, nullptr);
    EXPECT_EQ(cbox->text(), "Assign new list to current project");
    EXPECT_TRUE(cbox->isChecked());
    QStringList captions;
    for (const char *name : {"MoveUp", "MoveDn", "Delete", "Add", "Browse", "Save", "Cancel"}) {
        auto *b = dialog.findChild<QPushButton *>(name);
        ASSERT_NE(b, nullptr) << name;
        captions << b->text();
    }
    EXPECT_EQ(captions, (QStringList{"Move Up", "Move Dn", "Delete", "Add", "...", "Save", "Cancel"}));
    bool labelled = false;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        labelled |= label->text() == "Include File Search Order:";
    EXPECT_TRUE(labelled);
}

TEST(IncludeDialog, EmptyEntriesAreDroppedAndSavedBackWithSeparators)
{
    Tfkivinc dialog;
    dialog.Setup(";;/opt/inc", "Make this list the default for new projects", false);
    EXPECT_EQ(dialog.Entries(), QStringList{"/opt/inc"});
    EXPECT_EQ(dialog.List(), "/opt/inc;");
}

TEST(IncludeDialog, MoveDeleteAndAdd)
{
    Tfkivinc dialog;
    dialog.Setup("/a;/b;/c", "x", false);
    auto *list = dialog.findChild<QListWidget *>("ListBox");
    auto *newname = dialog.findChild<QLineEdit *>("newname");

    list->setCurrentRow(0);
    Click(dialog, "MoveUp");   // not past the top
    EXPECT_EQ(dialog.Entries(), (QStringList{"/a", "/b", "/c"}));
    Click(dialog, "MoveDn");
    EXPECT_EQ(dialog.Entries(), (QStringList{"/b", "/a", "/c"}));
    EXPECT_EQ(list->currentRow(), 1);
    Click(dialog, "MoveDn");
    Click(dialog, "MoveDn");   // not past the bottom
    EXPECT_EQ(dialog.Entries(), (QStringList{"/b", "/c", "/a"}));
    Click(dialog, "MoveUp");
    EXPECT_EQ(dialog.Entries(), (QStringList{"/b", "/a", "/c"}));

    list->setCurrentRow(0);
    Click(dialog, "Delete");
    EXPECT_EQ(dialog.Entries(), (QStringList{"/a", "/c"}));

    Click(dialog, "Add");      // empty edit field adds nothing
    EXPECT_EQ(dialog.Entries(), (QStringList{"/a", "/c"}));
    newname->setText("/new/inc/");
    Click(dialog, "Add");
    EXPECT_EQ(dialog.Entries(), (QStringList{"/a", "/c", "/new/inc/"}));
    EXPECT_EQ(dialog.List(), "/a;/c;/new/inc/;");

    list->clear();
    Click(dialog, "Delete");   // nothing selected, nothing happens
    Click(dialog, "MoveUp");
    EXPECT_TRUE(dialog.Entries().isEmpty());
}

TEST(IncludeDialog, BrowseAsksForAFolder)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    prompt.Queue(QString("/chosen/folder"));
    Tfkivinc dialog;
    dialog.Setup("", "x", false);
    Click(dialog, "Browse");
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].type, TScriptedPrompt::Question::Folder);
    EXPECT_EQ(prompt.Asked()[0].caption, "Select a Folder");
    EXPECT_EQ(dialog.findChild<QLineEdit *>("newname")->text(), "/chosen/folder");
    // A cancelled chooser leaves the field alone.
    Click(dialog, "Browse");
    EXPECT_EQ(dialog.findChild<QLineEdit *>("newname")->text(), "/chosen/folder");
}

TEST(IncludeDialog, SaveReturnsTheListAndCancelTheGivenString)
{
    {
        ExecHookGuard hook([](QDialog &d) {
            d.findChild<QLineEdit *>("newname")->setText("/x");
            d.findChild<QPushButton *>("Add")->click();
            d.findChild<QCheckBox *>("cbox")->setChecked(true);
            d.findChild<QPushButton *>("Save")->click();
            return d.result();
        });
        bool checked = false;
        bool accepted = false;
        EXPECT_EQ(EditIncludeDirs(nullptr, ";/a", "c", checked, &accepted), "/a;/x;");
        EXPECT_TRUE(accepted);
        EXPECT_TRUE(checked);
    }
    {
        ExecHookGuard hook([](QDialog &d) {
            d.findChild<QPushButton *>("Delete")->click();
            d.findChild<QCheckBox *>("cbox")->setChecked(false);
            d.findChild<QPushButton *>("Cancel")->click();
            return d.result();
        });
        bool checked = true;
        bool accepted = true;
        EXPECT_EQ(EditIncludeDirs(nullptr, ";;/a", "c", checked, &accepted), ";;/a");
        EXPECT_FALSE(accepted);
        EXPECT_TRUE(checked);
    }
}

// --- "Manual Project Create" -------------------------------------------------------------------

namespace {

struct FakeDevice {
    int kind;
    quint16 id;
};

// A device list for the dialog; the real one is the installation's device database.
TDeviceSource Devices(std::map<QString, FakeDevice> devices, quint8 *askedKinds = nullptr)
{
    TDeviceSource source;
    source.List = [devices, askedKinds](quint8 kinds) {
        if (askedKinds)
            *askedKinds = kinds;
        QStringList names;
        for (const auto &[name, d] : devices) {
            if (kinds & (1u << d.kind))
                names << name;
        }
        return names;
    };
    source.Find = [devices](const QString &name, int *kind, quint16 *id) {
        const auto it = devices.find(name);
        if (it == devices.end())
            return false;
        *kind = it->second.kind;
        *id = it->second.id;
        return true;
    };
    return source;
}

const std::map<QString, FakeDevice> kDevices{
    {"PIC12F508", {0, 0x2508}}, {"PIC16C74", {1, 0x6C74}}, {"PIC16F877A", {1, 0x877A}},
    {"PIC18F452", {3, 0x452F}}, {"SX28AC", {4, 0x0028}},
};

class ManualCreateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Path("inst/dll")));
        ASSERT_TRUE(QDir().mkpath(Path("inst/lumo")));
        ASSERT_TRUE(QDir().mkpath(Path("work")));
        ASSERT_TRUE(QFile::copy(SourceDataDir() + "/lumo/DEFAULT.PJT", Path("inst/lumo/DEFAULT.PJT")));
        SetExecutablePathForDirs(Path("inst/bin/kiv"));
    }
    void TearDown() override { SetExecutablePathForDirs(QString()); }
    QString Path(const QString &name) const { return m_tmp.filePath(name); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
};

}  // namespace

TEST_F(ManualCreateTest, ControlsAndDeviceList)
{
    quint8 kinds = 0;
    Tfkivmnew dialog;
    EXPECT_EQ(dialog.windowTitle(), "Manual Project Create");
    ASSERT_NE(dialog.findChild<QLineEdit *>("mainfile"), nullptr);
    auto *target = dialog.findChild<QComboBox *>("target");
    ASSERT_NE(target, nullptr);
    for (const char *name : {"Browse", "IncludeDirs", "Create", "Cancel"})
        EXPECT_NE(dialog.findChild<QPushButton *>(name), nullptr) << name;
    EXPECT_EQ(dialog.findChild<QPushButton *>("IncludeDirs")->text(), "Review/Edit Include File Dirs");

    dialog.Setup("/w/main.c", "/i;", Devices(kDevices, &kinds), true, false);
    EXPECT_EQ(dialog.findChild<QLineEdit *>("mainfile")->text(), "/w/main.c");
    EXPECT_EQ(kinds, 0b1011);
    EXPECT_EQ(target->count(), 4);
    EXPECT_EQ(target->currentText(), "PIC16C74");

    dialog.Setup("/w/main.c", "/i;", Devices(kDevices, &kinds), false, true);
    EXPECT_EQ(kinds, 0b11011);
    EXPECT_EQ(target->count(), 5);
    EXPECT_EQ(target->currentText(), "SX28AC");

    // Without the device database the list stays empty.
    dialog.Setup("/w/main.c", "/i;", TDeviceSource{}, true, true);
    EXPECT_EQ(target->count(), 0);
}

TEST_F(ManualCreateTest, MissingMainFileGetsTheStarterFileAndAProject)
{
    const QString main = Path("work/pump.c");
    m_prompt.Queue(mrYes);
    Tfkivmnew dialog;
    dialog.Setup(main, "/inst/devices/;", Devices(kDevices), true, false);
    Click(dialog, "Create");
    EXPECT_EQ(m_prompt.Messages(), QStringList{main + " does not exist, Create?"});
    EXPECT_EQ(m_prompt.Asked().at(0).buttons, mbYesNo);
    EXPECT_EQ(ReadFile(main), "#include <16C74.h>\r\n\r\nvoid main() {\r\n\r\n}\r\n");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.CreatedMainFile(), main);

    TProjectFile project(Path("work/pump.pjt"));
    ASSERT_TRUE(project.Exists());
    EXPECT_EQ(project.MainFile(), main);
    EXPECT_EQ(project.Processor(), 0x6C74);
    EXPECT_EQ(project.Edition(), "QOR");
    EXPECT_EQ(project.Includes(), "/inst/devices/;");
}

TEST_F(ManualCreateTest, AnsweringNoCreatesNothing)
{
    const QString main = Path("work/pump.c");
    m_prompt.Queue(mrNo);
    Tfkivmnew dialog;
    dialog.Setup(main, "", Devices(kDevices), true, false);
    Click(dialog, "Create");
    EXPECT_FALSE(QFileInfo::exists(main));
    EXPECT_FALSE(QFileInfo::exists(Path("work/pump.pjt")));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.CreatedMainFile().isEmpty());
}

TEST_F(ManualCreateTest, ExistingProjectFileIsKeptUnchanged)
{
    const QString main = Path("work/blink.asm");
    ASSERT_TRUE(WriteFile(main, "  list p=16f877a\r\n  end\r\n"));
    const QByteArray mine = "[Target Data]\r\nFileList=blink.asm\r\nOptionString=+FH\r\n";
    ASSERT_TRUE(WriteFile(Path("work/blink.pjt"), mine));
    Tfkivmnew dialog;
    dialog.Setup(main, "/i;", Devices(kDevices), true, false);
    dialog.findChild<QComboBox *>("target")->setCurrentText("PIC16F877A");
    Click(dialog, "Create");
    EXPECT_TRUE(m_prompt.Asked().empty());   // the main file exists: no question
    EXPECT_EQ(ReadFile(Path("work/blink.pjt")), mine);
    EXPECT_EQ(ReadFile(main), "  list p=16f877a\r\n  end\r\n");
    EXPECT_EQ(dialog.CreatedMainFile(), main);
}

TEST_F(ManualCreateTest, AssemblyMainFileGivesAnAssemblyProject)
{
    const QString main = Path("work/blink.asm");
    ASSERT_TRUE(WriteFile(main, "  end\r\n"));
    Tfkivmnew dialog;
    dialog.Setup(main, "/i;", Devices(kDevices), true, false);
    dialog.findChild<QComboBox *>("target")->setCurrentText("PIC18F452");
    Click(dialog, "Create");
    TProjectFile project(Path("work/blink.pjt"));
    EXPECT_EQ(project.MainFile(), main);
    EXPECT_EQ(project.Processor(), 0x452F);
    EXPECT_EQ(project.Edition(), "QAN");
    EXPECT_EQ(TCurrentProject::FromMainFile(dialog.CreatedMainFile()).ProjectFile(),
              Path("work/blink.pjt"));
}

TEST_F(ManualCreateTest, EmptyMainFileIsNonameInTheWorkingFolder)
{
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Path("work")));
    m_prompt.Queue(mrYes);
    Tfkivmnew dialog;
    dialog.Setup("", "", Devices(kDevices), true, false);
    Click(dialog, "Create");
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QFileInfo::exists(Path("work/noname.c")));
    EXPECT_TRUE(QFileInfo::exists(Path("work/noname.pjt")));
    EXPECT_EQ(QFileInfo(dialog.CreatedMainFile()).canonicalFilePath(),
              QFileInfo(Path("work/noname.c")).canonicalFilePath());
}

TEST_F(ManualCreateTest, UnwritableFolderIsReportedAndTheDialogStays)
{
    const QString main = Path("work/missing/folder/pump.c");
    m_prompt.Queue(mrYes);
    Tfkivmnew dialog;
    dialog.Setup(main, "", Devices(kDevices), true, false);
    Click(dialog, "Create");
    ASSERT_EQ(m_prompt.Asked().size(), 2u);
    EXPECT_EQ(m_prompt.Asked()[1].kind, mtError);
    EXPECT_TRUE(m_prompt.Asked()[1].text.startsWith("Cannot create " + main));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(ManualCreateTest, BrowseOffersCFilesThenAllFiles)
{
    m_prompt.Queue(QString("/picked/main.c"));
    Tfkivmnew dialog;
    dialog.Setup(Path("work/pump.c"), "", Devices(kDevices), true, false);
    Click(dialog, "Browse");
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].type, TScriptedPrompt::Question::OpenFile);
    EXPECT_EQ(m_prompt.Asked()[0].filters, (QStringList{"C Files (*.c)", "All Files (*)"}));
    EXPECT_EQ(dialog.MainFileText(), "/picked/main.c");
}

TEST_F(ManualCreateTest, ReviewedIncludeListGoesIntoTheProjectAndMayBecomeTheDefault)
{
    const QString main = Path("work/pump.c");
    ASSERT_TRUE(WriteFile(main, "void main() {}\r\n"));
    int step = 0;
    ExecHookGuard hook([&step](QDialog &d) {
        if (d.objectName() == "fkivinc") {
            // The include dialog: starts from the global list, unchecked.
            EXPECT_EQ(static_cast<Tfkivinc &>(d).Entries(), (QStringList{"/g1", "/g2"}));
            EXPECT_FALSE(d.findChild<QCheckBox *>("cbox")->isChecked());
            EXPECT_EQ(d.findChild<QCheckBox *>("cbox")->text(),
                      "Make this list the default for new projects");
            d.findChild<QLineEdit *>("newname")->setText("/mine");
            d.findChild<QPushButton *>("Add")->click();
            d.findChild<QCheckBox *>("cbox")->setChecked(true);
            d.findChild<QPushButton *>("Save")->click();
            return d.result();
        }
        ++step;
        d.findChild<QPushButton *>("IncludeDirs")->click();
        d.findChild<QPushButton *>("Create")->click();
        return d.result();
    });
    QString global = "/g1;/g2";
    EXPECT_EQ(ManualCreate(nullptr, main, global, Devices(kDevices)), main);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(global, "/g1;/g2;/mine;");
    EXPECT_EQ(TProjectFile(Path("work/pump.pjt")).Includes(), "/g1;/g2;/mine;");
}

TEST_F(ManualCreateTest, CancelReturnsNothing)
{
    ExecHookGuard hook([](QDialog &d) {
        d.findChild<QPushButton *>("Cancel")->click();
        return d.result();
    });
    QString global = "/g";
    EXPECT_EQ(ManualCreate(nullptr, Path("work/x.c"), global, Devices(kDevices)), "");
    EXPECT_EQ(global, "/g");
    EXPECT_FALSE(QFileInfo::exists(Path("work/x.pjt")));
}

// --- The device list from a real device database ---------------------------------------------

TEST_F(ManualCreateTest, InstalledDevicesReadTheDeviceDatabase)
{
    TDevicesDatWriter writer;
    ASSERT_TRUE(writer.SetFuseNames({"WDT", "NOWDT"}));
    const std::tuple<const char *, int, quint16> devices[] = {
        {"PIC16C74", 1, 0x6C74}, {"PIC18F452", 3, 0x452F}, {"SX28AC", 4, 0x0028},
        {"PIC12F508", 0, 0x2508}, {"OTHER6", 6, 0x0006},
    };
    for (const auto &[name, kind, id] : devices) {
        DeviceRecord record;
        record.setName(name);
        record.setKind(uint8_t(kind));
        record.setId(id);
        writer.AddRecord(record);
    }
    const QString file = Path("inst/utils/devices.dat");
    ASSERT_TRUE(QDir().mkpath(Path("inst/utils")));
    ASSERT_TRUE(writer.Save(file));
    const QString previous = DeviceFile();
    SetDeviceFile(file);

    const TDeviceSource source = InstalledDevices();
    EXPECT_EQ(source.List(kReviewKinds), (QStringList{"PIC16C74", "PIC18F452", "SX28AC", "PIC12F508"}));
    int kind = -1;
    quint16 id = 0;
    ASSERT_TRUE(source.Find("PIC18F452", &kind, &id));
    EXPECT_EQ(kind, 3);
    EXPECT_EQ(id, 0x452F);
    EXPECT_FALSE(source.Find("PIC99X99", &kind, &id));
    EXPECT_FALSE(source.Find("@#x", &kind, &id));

    // The whole dialog on the real list: the project gets the device's id and family.
    m_prompt.Queue(mrYes);
    Tfkivmnew dialog;
    dialog.Setup(Path("work/t.c"), "", source, true, true);
    EXPECT_EQ(dialog.Device(), "PIC16C74");
    dialog.findChild<QComboBox *>("target")->setCurrentText("SX28AC");
    Click(dialog, "Create");
    EXPECT_EQ(ReadFile(Path("work/t.c")).left(21), "#include <SX28AC.h>\r\n");
    EXPECT_EQ(TProjectFile(Path("work/t.pjt")).Processor(), 0x0028);
    EXPECT_EQ(TProjectFile(Path("work/t.pjt")).Edition(), "MAZ");

    // A device file that cannot be read is reported and lists nothing.
    m_prompt.ClearAsked();
    SetDeviceFile(Path("inst/utils/none.dat"));
    EXPECT_TRUE(InstalledDevices().List(kReviewKinds).isEmpty());
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].kind, mtError);
    SetDeviceFile(previous);
}
