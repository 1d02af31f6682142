#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "hexviewer.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivmain_props.h"
#include "pc_dirs.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace kiv {
namespace {

template <class T>
T *Child(QWidget &parent, const char *name)
{
    T *child = parent.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class EditorPropertiesTest : public ::testing::Test {
protected:
    QString IniPath() const { return m_tmp.filePath(QStringLiteral("kiv.ini")); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
};

TEST_F(EditorPropertiesTest, SyntaxHighlightingOffChangesSourcePagesOnly)
{
    struct Case { tEditorType type; tEditorType whenOff; tEditorType whenOn; };
    const Case cases[] = {
        {NormalEditor, NormalEditor, SyntaxColoringEditor},
        {SyntaxColoringEditor, NormalEditor, SyntaxColoringEditor},
        {DiffFileViewer, DiffFileViewer, DiffFileViewer},
        {TextEditor, TextEditor, TextEditor},
        {AdvancedViewer, AdvancedViewer, AdvancedViewer},
    };
    TEditorSyntaxOptions options;
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.type));
        TOvcTextFileEditorSyntax editor;
        editor.SetEditorType(c.type);
        editor.SetHighlightBrackets(true);
        options.Settings().syntaxHighlighting = false;
        options.Settings().autoHighlightBrackets = false;
        ApplyEditorProperties(editor, options);
        EXPECT_EQ(editor.EditorType(), c.whenOff);
        // Only source pages follow the bracket option too.
        const bool source = c.type == NormalEditor || c.type == SyntaxColoringEditor;
        EXPECT_EQ(editor.HighlightBrackets(), !source);
        options.Settings().syntaxHighlighting = true;
        ApplyEditorProperties(editor, options);
        EXPECT_EQ(editor.EditorType(), c.whenOn);
    }
}

TEST_F(EditorPropertiesTest, OptionsReachTheEditor)
{
    TEditorSyntaxOptions options;
    TEditorSettings &s = options.Settings();
    s.tabSize = 8;
    s.realTabs = true;
    s.autoIndent = false;
    s.lineNumVisible = true;
    s.lMarginVisible = false;
    s.rMarginWidth = 72;
    options.ApplyPreset(2);
    TOvcTextFileEditorSyntax editor;
    ApplyEditorProperties(editor, options);
    EXPECT_EQ(editor.tabWidth(), 8);
    EXPECT_TRUE(editor.indentationsUseTabs());
    EXPECT_FALSE(editor.autoIndent());
    EXPECT_TRUE(editor.ShowLineNumbers());
    EXPECT_FALSE(editor.ShowNewMargin());
    EXPECT_EQ(editor.LeftMargin(), 0);
    EXPECT_EQ(editor.RightMargin(), 72);
    EXPECT_EQ(editor.Colors(), options.ResolvedColors());

    // A page in debug mode keeps its marker margin.
    editor.SetDebug(true);
    s.lMarginWidth = 30;
    ApplyEditorProperties(editor, options);
    EXPECT_TRUE(editor.ShowNewMargin());
    EXPECT_EQ(editor.LeftMargin(), 30);
}

TEST_F(EditorPropertiesTest, PagesTakeTheOptionsTheCallTreeKeepsItsFont)
{
    const QString source = m_tmp.filePath(QStringLiteral("main.c"));
    const QString tree = m_tmp.filePath(QStringLiteral("main.tre"));
    const QString hex = m_tmp.filePath(QStringLiteral("main.hex"));
    for (const QString &path : {source, tree, hex})
        ASSERT_TRUE(test::WriteFile(path, "int x;\n"));
    TKivNotebook notebook;
    TOvcTextFileEditorSyntax *sourceEditor = notebook.AddEditorPage(source);
    TOvcTextFileEditorSyntax *treeEditor = notebook.AddEditorPage(tree);
    THexViewer *viewer = notebook.AddViewerPage(hex);
    ASSERT_TRUE(viewer->Open(hex));

    TEditorSyntaxOptions options;
    options.Settings().fontSize = 14;
    options.Settings().bold = true;
    options.ApplyPreset(1);
    ApplyPropertiesToPages(notebook, options);
    EXPECT_EQ(sourceEditor->Colors(), options.ResolvedColors());
    EXPECT_EQ(treeEditor->Colors(), options.ResolvedColors());
    EXPECT_TRUE(sourceEditor->Coloring()->Lexer()->font(0).bold());
    EXPECT_FALSE(treeEditor->Coloring()->Lexer()->font(0).bold());
    EXPECT_EQ(treeEditor->Coloring()->Lexer()->font(0).pointSize(), 14);
}

TEST_F(EditorPropertiesTest, DialogControlsAndCaptions)
{
    TFrmEditorProperties dialog(IniPath());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Editor Properties"));
    auto *pages = Child<QTabWidget>(dialog, "PageControl");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("&General"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("&Display"));
    EXPECT_EQ(pages->tabText(2), QStringLiteral("&Color"));
    const std::pair<const char *, const char *> checks[] = {
        {"VScroll", "Vertical scroll bar"}, {"HScroll", "Horizontal scroll bar"},
        {"SyntaxHighlighting", "Syntax highlighting"},
        {"AutoHighlightBrackets", "Auto highlight brackets"}, {"AutoIndent", "Auto indent"},
        {"WordStarKeys", "WordStar keys"}, {"AutoPosCruely", "Auto positioning the '}'"},
        {"Italic", "Italic"}, {"Bold", "Bold"}, {"Underline", "Underline"},
        {"LMarginVisible", "Visible left margin"}, {"RMarginVisible", "Visible right margin"},
        {"LineNumVisible", "Show Line Numbers"}};
    for (const auto &[name, caption] : checks) {
        if (QCheckBox *box = Child<QCheckBox>(dialog, name)) {
            EXPECT_EQ(box->text(), QString::fromLatin1(caption));
        }
    }
    EXPECT_EQ(Child<QLineEdit>(dialog, "TabSize")->toolTip(), QStringLiteral("Tab size"));
    EXPECT_EQ(Child<QLabel>(dialog, "FontSample")->text(), QStringLiteral("AaBbYyZz"));
    auto *fg = Child<QComboBox>(dialog, "ForegroundColor");
    EXPECT_EQ(fg->itemText(0), QStringLiteral("Automatic"));
    EXPECT_EQ(fg->itemText(fg->count() - 1), QStringLiteral("Custom"));
    auto *presets = Child<QComboBox>(dialog, "ColorSpeedSetting");
    ASSERT_EQ(presets->count(), 5);
    EXPECT_EQ(presets->itemText(4), QStringLiteral("Visual Studio (TM)"));
    EXPECT_EQ(Child<QListWidget>(dialog, "ElementList")->count(), 6);

    // The width boxes are enabled exactly while their margin is visible.
    auto *left = Child<QCheckBox>(dialog, "LMarginVisible");
    auto *width = Child<QLineEdit>(dialog, "LMarginWidth");
    EXPECT_TRUE(width->isEnabled());
    left->click();
    EXPECT_FALSE(width->isEnabled());
}

TEST_F(EditorPropertiesTest, SampleEditorLivesWhileTheDialogIsShown)
{
    TFrmEditorProperties dialog(IniPath());
    EXPECT_EQ(dialog.SampleEditor(), nullptr);
    dialog.show();
    TOvcTextFileEditorSyntax *sample = dialog.SampleEditor();
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->LineCount(), 14);
    EXPECT_EQ(sample->Line(3), QStringLiteral("int function(long param)").leftJustified(35));
    EXPECT_TRUE(sample->ReadOnly());
    EXPECT_EQ(sample->EditorType(), SyntaxColoringEditor);
    EXPECT_EQ(sample->Colors(), ResolveColors(ColorSpeedSettings()[0].colors));

    // Choosing "Automatic" for the Comments foreground paints comments in the Font colour.
    Child<QListWidget>(dialog, "ElementList")->setCurrentRow(ceComments);
    auto *fg = Child<QComboBox>(dialog, "ForegroundColor");
    fg->setCurrentIndex(0);
    emit fg->activated(0);
    EXPECT_EQ(dialog.EditColors()[ceComments].fg, kAutomaticColor);
    EXPECT_EQ(sample->Colors()[ceComments].fg, 0x000000u);
    // A preset replaces all twelve values.
    auto *presets = Child<QComboBox>(dialog, "ColorSpeedSetting");
    presets->setCurrentIndex(3);
    emit presets->activated(3);
    EXPECT_EQ(sample->Colors(), ResolveColors(ColorSpeedSettings()[3].colors));

    dialog.hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.SampleEditor(), nullptr);
}

TEST_F(EditorPropertiesTest, CancelLeavesPagesAndFileUnchanged)
{
    ASSERT_TRUE(test::WriteFile(IniPath(), "[font]\nname=Fixedsys\nsize=11\n[editoptions]\nclrspeed=2\n"));
    TFrmEditorProperties dialog(IniPath());
    {
        TIniFile ini(IniPath());
        dialog.LoadEditorProperties(ini);
    }
    const QByteArray before = test::ReadFile(IniPath());
    TOvcTextFileEditorSyntax page;
    ApplyEditorProperties(page, dialog.Options());
    const TColorTable pageColors = page.Colors();
    const int pageSize = page.font().pointSize();
    int applied = 0;
    dialog.ApplyPropertiesToPages = [&] { ++applied; };

    dialog.show();
    auto *presets = Child<QComboBox>(dialog, "ColorSpeedSetting");
    presets->setCurrentIndex(1);
    emit presets->activated(1);
    Child<QComboBox>(dialog, "FontSize")->setCurrentText(QStringLiteral("20"));
    Child<QCheckBox>(dialog, "Bold")->setChecked(true);
    Child<QPushButton>(dialog, "CancelBtn")->click();

    EXPECT_EQ(applied, 0);
    EXPECT_EQ(test::ReadFile(IniPath()), before);
    EXPECT_EQ(page.Colors(), pageColors);
    EXPECT_EQ(page.font().pointSize(), pageSize);
    // The dialog shows the stored values again.
    EXPECT_EQ(presets->currentIndex(), 2);
    EXPECT_EQ(Child<QComboBox>(dialog, "FontSize")->currentText(), QStringLiteral("11"));
    EXPECT_FALSE(Child<QCheckBox>(dialog, "Bold")->isChecked());
    EXPECT_EQ(dialog.Options().Settings().fontSize, 11);
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(EditorPropertiesTest, OkSavesAndAppliesToPages)
{
    TFrmEditorProperties dialog(IniPath());
    int applied = 0;
    dialog.ApplyPropertiesToPages = [&] { ++applied; };
    dialog.show();
    Child<QCheckBox>(dialog, "WordStarKeys")->setChecked(true);
    Child<QLineEdit>(dialog, "TabSize")->setText(QStringLiteral("5"));
    Child<QPushButton>(dialog, "OKBtn")->click();
    EXPECT_EQ(applied, 1);
    TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadInteger("editoroptions", "tabsize", 0), 5);
    EXPECT_TRUE(ini.ReadBool("editoptions", "wordstar", false));
    EXPECT_EQ(dialog.Options().Settings().tabSize, 5);
    EXPECT_TRUE(m_prompt.Asked().empty());
}

TEST_F(EditorPropertiesTest, NumberBoxThatIsNotAnIntegerReportsAndGivesZero)
{
    TFrmEditorProperties dialog(IniPath());
    Child<QLineEdit>(dialog, "TabSize")->setText(QStringLiteral("abc"));
    Child<QPushButton>(dialog, "OKBtn")->click();
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].text, QStringLiteral("Error converting the value to integer in Tab size"));
    EXPECT_EQ(m_prompt.Asked()[0].kind, mtError);
    EXPECT_EQ(dialog.Options().Settings().tabSize, 0);
}

TEST_F(EditorPropertiesTest, SizeBoxTakesDigitsOnlyAndEmptyMeansNinePoints)
{
    TFrmEditorProperties dialog(IniPath());
    auto *size = Child<TNumberComboBox>(dialog, "FontSize");
    ASSERT_EQ(size->count(), 24);
    EXPECT_EQ(size->itemText(0), QStringLiteral("7"));
    EXPECT_EQ(size->itemText(23), QStringLiteral("30"));
    size->lineEdit()->clear();
    QTest::keyClicks(size->lineEdit(), QStringLiteral("1x-2"));
    EXPECT_EQ(size->currentText(), QStringLiteral("12"));
    size->lineEdit()->clear();
    size->setCurrentText(QString());
    EXPECT_EQ(Child<QLabel>(dialog, "FontSample")->font().pointSize(), 9);
}

TEST_F(EditorPropertiesTest, FixedsysStandsInWithTheSystemFixedFontAndKeepsItsName)
{
    TEditorSettings settings;
    const QFont font = EditorFont(settings);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
    EXPECT_EQ(font.pointSize(), 9);
    TFrmEditorProperties dialog(IniPath());
    Child<QPushButton>(dialog, "OKBtn")->click();
    EXPECT_EQ(TIniFile(IniPath()).ReadString("font", "name"), QStringLiteral("Fixedsys"));
}

class MainWindowPropertiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_properties = std::make_unique<TFrmEditorProperties>(IniPath(), m_main.get());
        ConnectEditorProperties(*m_main, *m_properties);
    }
    void TearDown() override
    {
        m_properties.reset();
        m_main.reset();
    }
    QString IniPath() const { return m_tmp.filePath(QStringLiteral("kiv.ini")); }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
    std::unique_ptr<TFrmEditorProperties> m_properties;
};

TEST_F(MainWindowPropertiesTest, RestoreReadsThePropertiesAndOkReachesEveryOpenPage)
{
    ASSERT_TRUE(test::WriteFile(IniPath(), "[editoptions]\nsyntaxhighlighting=0\nclrspeed=1\n"
                                           "[colors]\nfgFont=255\n"));
    EXPECT_EQ(EditorProperties(*m_main), m_properties.get());
    {
        TIniFile ini(IniPath());
        m_main->RestoreOwnSettings(ini);
    }
    EXPECT_FALSE(m_properties->Options().Settings().syntaxHighlighting);
    const QString source = m_tmp.filePath(QStringLiteral("a.c"));
    const QString compare = m_tmp.filePath(QStringLiteral("a.dif"));
    ASSERT_TRUE(test::WriteFile(source, "int x;\n"));
    ASSERT_TRUE(test::WriteFile(compare, "D  int y;\n"));
    const int sourcePage = m_main->doopenfile(source, 'R');
    const int comparePage = m_main->doopenfile(compare, 'D');
    ASSERT_GE(sourcePage, 0);
    ASSERT_GE(comparePage, 0);
    TOvcTextFileEditorSyntax *sourceEditor = m_main->Notebook()->Editor(sourcePage);
    TOvcTextFileEditorSyntax *compareEditor = m_main->Notebook()->Editor(comparePage);
    EXPECT_EQ(sourceEditor->EditorType(), NormalEditor);
    EXPECT_EQ(sourceEditor->Colors()[ceText].fg, 255u);

    m_properties->show();
    Child<QCheckBox>(*m_properties, "SyntaxHighlighting")->setChecked(true);
    auto *presets = Child<QComboBox>(*m_properties, "ColorSpeedSetting");
    presets->setCurrentIndex(2);
    emit presets->activated(2);
    Child<QPushButton>(*m_properties, "OKBtn")->click();
    EXPECT_EQ(sourceEditor->EditorType(), SyntaxColoringEditor);
    EXPECT_EQ(compareEditor->EditorType(), DiffFileViewer);
    EXPECT_EQ(sourceEditor->Colors(), ResolveColors(ColorSpeedSettings()[2].colors));
    EXPECT_EQ(compareEditor->Colors(), ResolveColors(ColorSpeedSettings()[2].colors));
    EXPECT_EQ(TIniFile(IniPath()).ReadInteger("colors", "fgFont", -1), 0xFFFFFF);
}

}  // namespace
}  // namespace kiv
