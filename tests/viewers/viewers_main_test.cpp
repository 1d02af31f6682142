// The main window's "D&isassembler" and "&File Compare" commands: the dialog's result opens as
// a page (a plain-text listing, a compare page), and a page already showing it is read again.

#include "EditorSyntax.h"
#include "kivdasm.h"
#include "kivfcd.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

class ViewersMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/utils"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_main->FormShow();
        m_savedDasm = DasmExecHook();
        m_savedCompare = CompareExecHook();
    }
    void TearDown() override
    {
        DasmExecHook() = m_savedDasm;
        CompareExecHook() = m_savedCompare;
        for (int i = 0; i < 8; ++i)
            m_prompt.Queue(mrNo);
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    QString File(const QString &name, const QByteArray &data)
    {
        const QString path = m_tmp.filePath("w/" + name);
        EXPECT_TRUE(test::WriteFile(path, data));
        return path;
    }
    void Run(const char *command)
    {
        QAction *action = m_main->Command(QString::fromLatin1(command));
        ASSERT_NE(action, nullptr);
        m_main->IdleUpdate();
        ASSERT_TRUE(action->isEnabled()) << command;
        action->trigger();
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
    std::function<int(QDialog &)> m_savedDasm, m_savedCompare;
};

TEST_F(ViewersMainTest, DisassemblerOpensTheListingAndReadsItAgainOnTheNextRun)
{
    const QString hex = File("prog.hex", ":020000001230BC\n:00000001FF\n");
    QByteArray word = "1230";
    DasmExecHook() = [&](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("infile")->setText(hex);
        dialog.findChild<QRadioButton *>("opcode14")->click();
        dialog.findChild<QRadioButton *>("filehex")->click();
        dialog.findChild<QRadioButton *>("labeladdr")->click();
        dialog.findChild<QPushButton *>("BitBtn3")->click();
        return dialog.result();
    };
    Run("ActionToolsDisassembler");
    TKivNotebook *notebook = m_main->Notebook();
    ASSERT_EQ(notebook->PageCount(), 1);
    EXPECT_EQ(QFileInfo(notebook->PagePath(0)).fileName(), "asmoutput.c");
    EXPECT_EQ(notebook->Editor(0)->text(), "0000: 3012  MOVLW  0x12\r\n");
    EXPECT_EQ(notebook->Editor(0)->EditorType(), TextEditor);

    // MOVLW 0x34 this time: the page shows the new listing.
    File("prog.hex", ":0200000034309A\n:00000001FF\n");
    Run("ActionToolsDisassembler");
    ASSERT_EQ(notebook->PageCount(), 1);
    EXPECT_EQ(notebook->Editor(0)->text(), "0000: 3034  MOVLW  0x34\r\n");
}

TEST_F(ViewersMainTest, FileCompareShowsAComparePageWithNavigation)
{
    const QString a = File("a.c", "int a;\nint b;\nint c;\n");
    const QString b = File("b.c", "int a;\nint B;\nint c;\n");
    bool ignoreCase = false;
    CompareExecHook() = [&](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("file1")->setText(a);
        dialog.findChild<QLineEdit *>("file2")->setText(b);
        dialog.findChild<QCheckBox *>("IgnoreCase")->setChecked(ignoreCase);
        dialog.findChild<QPushButton *>("BitBtn1")->click();
        return dialog.result();
    };
    Run("ActionToolsFileCompare");
    TKivNotebook *notebook = m_main->Notebook();
    ASSERT_EQ(notebook->PageCount(), 1);
    EXPECT_EQ(QFileInfo(notebook->PagePath(0)).fileName(), "compare.$$$");
    EXPECT_EQ(notebook->PageKind(0), 0x15);
    EXPECT_TRUE(notebook->Editor(0)->text().contains("D <! int b;\r\nI !> int B;"));
    EXPECT_EQ(notebook->Editor(0)->findChildren<QShortcut *>().size(), 2);
    EXPECT_TRUE(GoToChange(notebook->Editor(0), true));

    // Again with "Ignore case": the open page is read again.
    ignoreCase = true;
    Run("ActionToolsFileCompare");
    ASSERT_EQ(notebook->PageCount(), 1);
    EXPECT_FALSE(notebook->Editor(0)->text().contains("D <!"));
    EXPECT_EQ(notebook->Editor(0)->findChildren<QShortcut *>().size(), 2);
}

TEST_F(ViewersMainTest, MissingFileOpensNothing)
{
    CompareExecHook() = [&](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("file1")->setText(m_tmp.filePath("none"));
        dialog.findChild<QPushButton *>("BitBtn1")->click();
        return dialog.result();
    };
    Run("ActionToolsFileCompare");
    EXPECT_EQ(m_main->Notebook()->PageCount(), 0);
    EXPECT_EQ(m_prompt.Messages(), QStringList("File not found"));
}

}  // namespace
}  // namespace kiv
