// The windows of printing: the "Print File" dialog, the preview and the "Page Setup" dialog.

#include "kivini.h"
#include "kivpagesetup.h"
#include "kivpreview.h"
#include "kivprint.h"
#include "kivprintfile.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

class TLines : public IPrintSource {
public:
    explicit TLines(int count, bool compare = false, bool syntax = true)
        : m_count(count)
        , m_compare(compare)
        , m_syntax(syntax)
    {
    }
    int LineCount() const override { return m_count; }
    QString Line(int line) const override { return QStringLiteral("line %1").arg(line); }
    int SelectionFirst() const override { return first; }
    int SelectionLast() const override { return last; }
    bool CanSyntaxPrint() const override { return m_syntax; }
    bool IsCompareResult() const override { return m_compare; }
    int first = 1;
    int last = 0;

private:
    int m_count;
    bool m_compare;
    bool m_syntax;
};

class PrintUiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.filePath("inst/lumo"));
        QDir().mkpath(m_tmp.filePath("home"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(m_tmp.filePath("out.pdf"));
        m_printer.setPageSize(QPageSize(QPageSize::Letter));
    }
    void TearDown() override { SetExecutablePathForDirs(QString()); }
    template <class T>
    T *Child(QWidget &parent, const char *name)
    {
        T *child = parent.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    QPrinter m_printer{QPrinter::HighResolution};
};

}  // namespace

TEST(PrintFonts, AFixedPitchFontThatIsNotInstalledPrintsInAnotherFixedPitchFont)
{
    TPrintFont font;
    font.name = QStringLiteral("Fixedsys");
    font.fixedPitch = true;
    font.pixelSize = 40;
    EXPECT_TRUE(QFontInfo(ToQFont(font)).fixedPitch());
    TQtTextMeasure measure;
    EXPECT_EQ(measure.TextWidth(font, "iiiiiiiiii"), measure.TextWidth(font, "MMMMMMMMMM"));
}

TEST_F(PrintUiTest, DialogFollowsItsSource)
{
    TLines source(30);
    source.first = 3;
    source.last = 8;
    {
        TFPrintFile dialog(&m_printer);
        dialog.SetSource(&source, "/p/a.c");
        dialog.FormShow();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print File"));
        EXPECT_TRUE(Child<QCheckBox>(dialog, "SelectedLinesChk")->isEnabled());
        EXPECT_TRUE(Child<QCheckBox>(dialog, "SelectedLinesChk")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(dialog, "PrintColorsChk")->isHidden());
        EXPECT_DOUBLE_EQ(Child<QDoubleSpinBox>(dialog, "MarginTop")->value(), 0.5);
    }
    TLines compare(10, true, false);
    {
        TFPrintFile dialog(&m_printer);
        dialog.SetSource(&compare, "/p/a.cmp");
        dialog.FormShow();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print Comparing File"));
        EXPECT_FALSE(Child<QCheckBox>(dialog, "PrintColorsChk")->isHidden());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "SyntaxPrintChk")->isEnabled());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "SyntaxPrintChk")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "SelectedLinesChk")->isEnabled());
    }
}

TEST_F(PrintUiTest, SettingsAreReadAndWrittenWhenTheSystemSays)
{
    {
        TIniFile ini(SettingsFilePath());
        ini.WriteString("printer", "margin_left", "1.5");
        ini.WriteBool("Print", "PrintLineNumber", true);
    }
    TLines source(5);
    {
        TFPrintFile dialog(&m_printer);
        EXPECT_TRUE(Child<QCheckBox>(dialog, "LineNumbersChk")->isChecked());
        dialog.SetSource(&source, "/p/a.c");
        dialog.FormShow();
        EXPECT_DOUBLE_EQ(Child<QDoubleSpinBox>(dialog, "MarginLeft")->value(), 1.5);
        Child<QDoubleSpinBox>(dialog, "MarginLeft")->setValue(2.0);
        Child<QCheckBox>(dialog, "SyntaxPrintChk")->setChecked(true);
        dialog.reject();   // Cancel: the "printer" keys stay
    }
    {
        TIniFile ini(SettingsFilePath());
        EXPECT_EQ(ini.ReadString("printer", "margin_left"), QStringLiteral("1.5"));
        EXPECT_TRUE(ini.ReadBool("Print", "SyntaxPrint", false));   // written on the way out
    }
    {
        TFPrintFile dialog(&m_printer);
        dialog.SetSource(&source, "/p/a.c");
        dialog.FormShow();
        Child<QDoubleSpinBox>(dialog, "MarginLeft")->setValue(2.0);
        EXPECT_TRUE(dialog.OkClick());
        EXPECT_EQ(dialog.Engine().PageCount(), 1);
    }
    EXPECT_EQ(TIniFile(SettingsFilePath()).ReadString("printer", "margin_left"), QStringLiteral("2"));
    EXPECT_TRUE(QFileInfo(m_tmp.filePath("out.pdf")).size() > 0);
}

TEST_F(PrintUiTest, SetupGoesThroughThePageSetupDialog)
{
    TLines source(5);
    TFPrintFile dialog(&m_printer);
    dialog.SetSource(&source, "/p/a.c");
    dialog.FormShow();
    Child<QDoubleSpinBox>(dialog, "MarginRight")->setValue(0.75);
    double seen = 0;
    dialog.PageSetup = [&](TPreviewPrinter &engine) {
        seen = engine.TextOptions.MarginRight;
        engine.TextOptions.MarginLeft = 0.25;
        return true;
    };
    Child<QPushButton>(dialog, "SetupBtn")->click();
    EXPECT_DOUBLE_EQ(seen, 0.75);
    EXPECT_DOUBLE_EQ(Child<QDoubleSpinBox>(dialog, "MarginLeft")->value(), 0.25);
}

TEST_F(PrintUiTest, PageSetupFieldsAndDefaults)
{
    TPageSetupForm form(&m_printer);
    TTextOptions o;
    o.Header = "head";
    o.HeaderAlign = paRight;
    o.PrintPageNumber = pnNone;
    o.PageNumAlign = paCenter;
    o.MarginLeft = 0.125;
    form.SetValues(o, 1);
    TTextOptions back;
    int orientation = 0;
    form.GetValues(back, orientation);
    EXPECT_EQ(orientation, 1);
    EXPECT_EQ(back.Header, QStringLiteral("head"));
    EXPECT_EQ(back.HeaderAlign, paRight);
    EXPECT_EQ(back.PrintPageNumber, pnNone);
    EXPECT_EQ(back.PageNumAlign, paCenter);
    EXPECT_DOUBLE_EQ(back.MarginLeft, 0.125);

    // "Set Default" changes nothing without a Yes.
    m_prompt.Queue(mrNo);
    form.SetDefaultClick();
    form.GetValues(back, orientation);
    EXPECT_EQ(back.Header, QStringLiteral("head"));
    EXPECT_EQ(m_prompt.Messages(), QStringList({"Are you sure you want to save these values as the Default Settings?"}));
    m_prompt.Queue(mrYes);
    form.SetDefaultClick();
    form.GetValues(back, orientation);
    EXPECT_EQ(back.Header, QStringLiteral("%p%f    %d %t"));
    EXPECT_EQ(back.HeaderAlign, paLeft);
    EXPECT_TRUE(back.lineheader);
    EXPECT_EQ(back.PrintPageNumber, pnTop);
    EXPECT_EQ(back.PageNumAlign, paRight);
    EXPECT_EQ(back.PageNumText, QStringLiteral("Page %d of %d"));
    EXPECT_DOUBLE_EQ(back.MarginTop, 0.5);
    EXPECT_FALSE(back.linefooter);
}

TEST_F(PrintUiTest, PreviewPagesZoomAndTools)
{
    TQtTextMeasure measure;
    TPreviewPrinter engine(measure);
    AttachPrinter(engine, m_printer);
    TLines source(200);
    TPrintJob job;
    engine.StartPagination();
    TPrintDocument(engine, source, job).Print();
    engine.EndPagination();
    const int pages = engine.PageCount();
    ASSERT_GE(pages, 3);

    TPreviewForm form(engine, &m_printer);
    form.resize(900, 700);
    form.show();
    EXPECT_EQ(Child<QLabel>(form, "PageLabel")->text(), QStringLiteral("Page 1 of %1").arg(pages));
    EXPECT_FALSE(Child<QToolButton>(form, "FirstPageBtn")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>(form, "NextPageBtn")->isEnabled());
    EXPECT_TRUE(Child<QSpinBox>(form, "GoToPage")->isEnabled());
    EXPECT_EQ(Child<QSpinBox>(form, "GoToPage")->maximum(), pages);
    Child<QToolButton>(form, "LastPageBtn")->click();
    EXPECT_EQ(form.Page(), pages);
    EXPECT_FALSE(Child<QToolButton>(form, "NextPageBtn")->isEnabled());
    Child<QSpinBox>(form, "GoToPage")->setValue(2);
    EXPECT_EQ(Child<QLabel>(form, "PageLabel")->text(), QStringLiteral("Page 2 of %1").arg(pages));

    // Fit to page: the page's height fills the view but 20 pixels.
    form.SetZoomText("Fit To Page");
    const QWidget *viewport = form.findChild<QScrollArea *>("PreviewScroll")->viewport();
    EXPECT_NEAR(form.PanelSize().height(), viewport->height() - 20, 2);
    form.SetZoomText("50%");
    EXPECT_DOUBLE_EQ(form.Zoom(), 0.5);
    EXPECT_EQ(Child<QLabel>(form, "ZoomLabel")->text(), QStringLiteral("50%"));
    // The zoom tool: in by 1.5, out by 1.5, and the list says "Custom".
    form.ZoomAt(QPoint(100, 100), true);
    EXPECT_DOUBLE_EQ(form.Zoom(), 0.75);
    EXPECT_EQ(Child<QComboBox>(form, "ZoomList")->currentText(), QStringLiteral("Custom"));
    form.ZoomAt(QPoint(100, 100), false);
    EXPECT_DOUBLE_EQ(form.Zoom(), 0.5);
    EXPECT_DOUBLE_EQ(TPreviewForm::ZoomFactorOf("400%"), 4.0);
    EXPECT_DOUBLE_EQ(TPreviewForm::ZoomFactorOf("Fit To Width"), 1.0);

    // Two pages side by side.
    form.SetPage(1);
    form.SetTwoPages(true);
    const QList<QWidget *> panels = form.findChildren<QWidget *>("PreviewPanel");
    ASSERT_EQ(panels.size(), 2);
    EXPECT_TRUE(panels[1]->isVisible());
    EXPECT_EQ(panels[1]->x() - panels[0]->x(), panels[0]->width() + 20);
    // KIV_PRINT_PICTURES=folder keeps pictures of the windows for a person to look at.
    const QString keep = qEnvironmentVariable("KIV_PRINT_PICTURES");
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        form.SetZoomText("Fit To Page");
        form.grab().save(keep + "/preview-window.png");
        TPageSetupForm setup(&m_printer);
        setup.adjustSize();
        setup.grab().save(keep + "/page-setup.png");
        TFPrintFile dialog(&m_printer);
        dialog.SetSource(&source, "/p/a.c");
        dialog.FormShow();
        dialog.adjustSize();
        dialog.grab().save(keep + "/print-file.png");
    }
    // A preview page is the recorded page.
    const QImage first = form.RenderPage(1, 425);
    EXPECT_EQ(first.height(), 550);
    int ink = 0;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            ink += first.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(ink, 100);
}
