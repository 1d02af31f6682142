// The "Compare Files" dialog and its model: controls, the "Ignore" group, "Compare" with both
// files, "File not found", and navigation between the changes of a result page.

#include "kivfcd.h"
#include "kivfcd_model.h"
#include "kivprompt.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>

#include <Qsci/qsciscintilla.h>

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(NextChangeLine, BlocksCountOnce)
{
    //                                0    1    2    3    4    5    6    7
    const std::vector<char> lines = {'C', ' ', 'D', 'I', ' ', ' ', 'I', ' '};
    EXPECT_EQ(NextChangeLine(lines, 0, true), 2);
    EXPECT_EQ(NextChangeLine(lines, 2, true), 6);
    EXPECT_EQ(NextChangeLine(lines, 3, true), 6);
    EXPECT_EQ(NextChangeLine(lines, 6, true), -1);
    EXPECT_EQ(NextChangeLine(lines, 7, false), 6);
    EXPECT_EQ(NextChangeLine(lines, 6, false), 2);
    EXPECT_EQ(NextChangeLine(lines, 3, false), -1);
    EXPECT_EQ(NextChangeLine(lines, 5, false), 2);
    EXPECT_EQ(NextChangeLine({}, 0, true), -1);
}

class KivFcdDialog : public ::testing::Test {
protected:
    void SetUp() override { SetPrompt(&m_prompt); }
    void TearDown() override { SetPrompt(nullptr); }
    template <typename T>
    T *Find(QDialog &dialog, const char *name)
    {
        T *child = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    TScriptedPrompt m_prompt;
    QTemporaryDir m_dir;
};

TEST_F(KivFcdDialog, ControlsAndTheIgnoreGroup)
{
    Tfkivfcd dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Compare Files");
    EXPECT_EQ(Find<QGroupBox>(dialog, "filetypebox")->title(), "File Type");
    QGroupBox *ignore = Find<QGroupBox>(dialog, "ignorebox");
    EXPECT_FALSE(ignore->isVisible());
    EXPECT_EQ(Find<QCheckBox>(dialog, "romcheck")->text(), "ROM addresses");
    EXPECT_EQ(Find<QCheckBox>(dialog, "ramcheck")->text(), "RAM addresses");
    EXPECT_EQ(Find<QCheckBox>(dialog, "IgnoreMOVLB")->text(), "MOVLB opcode");
    EXPECT_TRUE(Find<QCheckBox>(dialog, "IgnoreCase")->isChecked());
    EXPECT_EQ(Find<QPushButton>(dialog, "BitBtn1")->text(), "Compare");
    QList<QRadioButton *> types = Find<QGroupBox>(dialog, "filetypebox")->findChildren<QRadioButton *>();
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types[0]->text(), "Source or Text");
    EXPECT_TRUE(types[0]->isChecked());
    types[1]->click();
    EXPECT_TRUE(ignore->isVisible());
    types[0]->click();
    EXPECT_FALSE(ignore->isVisible());
}

TEST_F(KivFcdDialog, CompareWritesTheResultBesideFileOne)
{
    const QString a = m_dir.filePath("a.c"), b = m_dir.filePath("b.c");
    ASSERT_TRUE(test::WriteFile(a, "int a;\nint b;\n"));
    ASSERT_TRUE(test::WriteFile(b, "int a;\nint c;\n"));
    m_prompt.Queue(a);
    m_prompt.Queue(b);
    Tfkivfcd dialog;
    Find<QPushButton>(dialog, "Button1")->click();
    Find<QPushButton>(dialog, "Button2")->click();
    EXPECT_EQ(Find<QLineEdit>(dialog, "file1")->text(), a);
    EXPECT_EQ(Find<QLineEdit>(dialog, "file2")->text(), b);
    Find<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_EQ(dialog.result(), Tfkivfcd::kYes);
    EXPECT_EQ(dialog.ResultFile(), m_dir.filePath("compare.$$$"));
    EXPECT_EQ(test::ReadFile(dialog.ResultFile()),
              "Comparing " + a.toLatin1() + " and " + b.toLatin1() + "\r\n  int a;\r\nD <! int b;\r\nI !> int c;\r\n");
}

TEST_F(KivFcdDialog, MissingFileSaysFileNotFound)
{
    Tfkivfcd dialog;
    Find<QLineEdit>(dialog, "file1")->setText(m_dir.filePath("none.c"));
    Find<QLineEdit>(dialog, "file2")->setText(m_dir.filePath("none2.c"));
    Find<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_EQ(dialog.result(), Tfkivfcd::kCancel);
    EXPECT_EQ(m_prompt.Messages(), QStringList("File not found"));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("compare.$$$")));
}

TEST_F(KivFcdDialog, ListingThatIsNotOneIsReportedAndTheResultStillShown)
{
    const QString a = m_dir.filePath("a.lst"), b = m_dir.filePath("b.lst");
    ASSERT_TRUE(test::WriteFile(a, "abc\n"));
    ASSERT_TRUE(test::WriteFile(b, "abc\n"));
    auto saved = CompareExecHook();
    CompareExecHook() = [&](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("file1")->setText(a);
        dialog.findChild<QLineEdit *>("file2")->setText(b);
        dialog.findChild<QCheckBox *>("ramcheck")->setChecked(true);
        dialog.findChild<QPushButton *>("BitBtn1")->click();
        return dialog.result();
    };
    QString result;
    EXPECT_EQ(ShowCompareDialog(nullptr, &result), Tfkivfcd::kYes);
    CompareExecHook() = saved;
    EXPECT_EQ(result, m_dir.filePath("compare.$$$"));
    EXPECT_EQ(m_prompt.Messages(), QStringList("Error! One of the file is not a compatible list file."));
    EXPECT_EQ(test::ReadFile(result), "Files are not list file\r\n");
}

TEST_F(KivFcdDialog, AltDownAndAltUpMoveBetweenChanges)
{
    QsciScintilla editor;
    editor.setText("Comparing a and b\n  x\nD <! y\nI !> z\n  w\n  v\nI !> u\n  t\n");
    InstallChangeNavigation(&editor);
    InstallChangeNavigation(&editor);
    EXPECT_EQ(editor.findChildren<QShortcut *>().size(), 2);
    editor.show();
    editor.setFocus();
    QApplication::setActiveWindow(&editor);
    editor.setCursorPosition(0, 0);
    int line = 0, index = 0;
    EXPECT_TRUE(GoToChange(&editor, true));
    editor.getCursorPosition(&line, &index);
    EXPECT_EQ(line, 2);
    QTest::keyClick(&editor, Qt::Key_Down, Qt::AltModifier);
    editor.getCursorPosition(&line, &index);
    EXPECT_EQ(line, 6);
    EXPECT_FALSE(GoToChange(&editor, true));
    QTest::keyClick(&editor, Qt::Key_Up, Qt::AltModifier);
    editor.getCursorPosition(&line, &index);
    EXPECT_EQ(line, 2);
}

}  // namespace
}  // namespace kiv
