// Printing from the main window to a PDF file, checked with the PDF's text and with pictures of
// its pages made by pdftoppm.

#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "SyntaxColoring.h"
#include "kivmain.h"
#include "kivmain_props.h"
#include "kivnotebook.h"
#include "kivpreview.h"
#include "kivprintfile.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kiv;
using kiv::test::WriteFile;

namespace {

// A C file of `lines` lines with keywords, comments, tabs and one very long line.
QByteArray CFile(int lines)
{
    QByteArray text = "/* timer handling */\r\n";
    for (int n = 2; n <= lines; ++n) {
        if (n == 20)
            text += "int8 table[] = {" + QByteArray(300, '1').replace("1", "1,") + "};\r\n";
        else if (n % 5 == 0)
            text += "\twhile (count_" + QByteArray::number(n) + " > 0) count--;\r\n";
        else
            text += "int8 value_" + QByteArray::number(n) + " = " + QByteArray::number(n) + ";  // note\r\n";
    }
    return text;
}

QStringList Words(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QString RunTool(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class PrintMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty() || QStandardPaths::findExecutable("pdftotext").isEmpty())
            GTEST_SKIP() << "poppler-utils (pdftoppm, pdftotext) is not installed";
        QDir().mkpath(m_tmp.filePath("inst/dll"));
        QDir().mkpath(m_tmp.filePath("home"));
        QDir().mkpath(m_tmp.filePath("w"));
        qputenv("HOME", m_tmp.filePath("home").toLocal8Bit());
        SetExecutablePathForDirs(m_tmp.filePath("inst/bin/kiv"));
        m_main = std::make_unique<Tfkivmain>(TCommandLine{});
        m_properties = std::make_unique<TFrmEditorProperties>(SettingsFilePath(), m_main.get());
        ConnectEditorProperties(*m_main, *m_properties);
        m_main->FormShow();
        m_main->resize(1000, 700);
        m_pdf = m_tmp.filePath("out.pdf");
        m_main->Printer()->setOutputFormat(QPrinter::PdfFormat);
        m_main->Printer()->setOutputFileName(m_pdf);
        m_main->Printer()->setPageSize(QPageSize(QPageSize::Letter));
    }
    void TearDown() override
    {
        for (int i = 0; i < 8; ++i)
            m_prompt.Queue(mrNo);
        m_properties.reset();
        m_main.reset();
        SetExecutablePathForDirs(QString());
    }
    QString W(const QString &name) const { return m_tmp.filePath("w/" + name); }
    TOvcTextFileEditorSyntax *Editor() const { return m_main->Notebook()->Editor(m_main->Notebook()->CurrentPage()); }
    // Prints the current page with the dialog's options set by `setup`, keeping the pages.
    void PrintCurrent(const std::function<void(TFPrintFile &)> &setup)
    {
        m_main->ExecPrintDialog = [this, setup](TFPrintFile &dialog) {
            dialog.FormShow();
            setup(dialog);
            EXPECT_TRUE(dialog.OkClick());
            m_pages = dialog.Engine().Pages();
            m_metrics = dialog.Engine().Metrics();
            if (!m_pages.isEmpty()) {
                const TPreviewForm preview(dialog.Engine(), m_main->Printer());
                m_preview = preview.RenderPage(1, int(std::lround(8.5 * 100)));
                // The body's first row and the row height, from where lines 1 and 2 are drawn.
                for (const TPageItem &item : m_pages.at(0).items) {
                    if (item.kind == TPageItem::ikText && item.text.startsWith("1 "))
                        m_layoutTop = item.rect.y();
                    else if (item.kind == TPageItem::ikText && item.text.startsWith("2 "))
                        m_lineHeight = item.rect.y() - m_layoutTop;
                }
            }
            return int(QDialog::Accepted);
        };
        m_main->IdleUpdate();
        QAction *print = m_main->Command("ActionFilePrint");
        ASSERT_TRUE(print->isEnabled());
        print->trigger();
    }
    int PdfPages() const
    {
        const QString info = RunTool("pdfinfo", {m_pdf});
        const QRegularExpressionMatch m = QRegularExpression("Pages:\\s+(\\d+)").match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    QTemporaryDir m_tmp;
    TScriptedPrompt m_prompt;
    TPromptGuard m_guard{&m_prompt};
    std::unique_ptr<Tfkivmain> m_main;
    std::unique_ptr<TFrmEditorProperties> m_properties;
    QString m_pdf;
    QList<TPrintPage> m_pages;
    TPageMetrics m_metrics;
    QImage m_preview;
    int m_layoutTop = 0;
    int m_lineHeight = 0;
};

}  // namespace

TEST_F(PrintMainTest, ColouredCFileToPdfAndPictures)
{
    const QString path = W("timer.c");
    ASSERT_TRUE(WriteFile(path, CFile(130)));
    ASSERT_GE(m_main->doopenfile(path, 'R'), 0);
    ASSERT_EQ(Editor()->EditorType(), SyntaxColoringEditor);
    PrintCurrent([](TFPrintFile &dialog) {
        dialog.findChild<QCheckBox *>("SyntaxPrintChk")->setChecked(true);
        dialog.findChild<QCheckBox *>("LineNumbersChk")->setChecked(true);
    });
    ASSERT_FALSE(m_pages.isEmpty());
    const int pages = int(m_pages.size());
    EXPECT_GE(pages, 3);
    ASSERT_EQ(PdfPages(), pages);

    // The text of every page, in drawing order, is the text of the recorded page: the same line
    // breaks as the preview shows.
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE(p);
        const QString text = RunTool("pdftotext", {"-raw", "-f", QString::number(p), "-l", QString::number(p), m_pdf, "-"});
        EXPECT_EQ(Words(text), Words(m_pages.at(p - 1).Texts().join(' ')));
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(p).arg(pages))) << text.toStdString();
        EXPECT_TRUE(text.contains(path)) << "header";
    }
    const QString first = RunTool("pdftotext", {"-raw", "-f", "1", "-l", "1", m_pdf, "-"});
    EXPECT_TRUE(first.contains("7  :") || first.contains("7 :")) << first.left(400).toStdString();
    EXPECT_TRUE(first.contains("while (count_5 > 0)"));
    // The long line went on over several rows and lost nothing.
    EXPECT_EQ(first.count("1,"), 300);

    // The pictures: ink where the header is, and the keyword "while" in its colour.
    const int dpi = 100;
    const QString prefix = m_tmp.filePath("page");
    RunTool("pdftoppm", {"-r", QString::number(dpi), "-f", "1", "-l", "1", "-png", m_pdf, prefix});
    QImage picture(prefix + "-1.png");
    if (picture.isNull())
        picture = QImage(prefix + "-01.png");
    ASSERT_FALSE(picture.isNull());
    // KIV_PRINT_PICTURES=folder keeps the PDF and its pictures there for a person to look at.
    const QString keep = qEnvironmentVariable("KIV_PRINT_PICTURES");
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        QFile::copy(m_pdf, keep + "/timer.pdf");
        for (const QString &png : QDir(m_tmp.path()).entryList({"page-*.png"}))
            QFile::copy(m_tmp.filePath(png), keep + "/" + png);
        m_preview.save(keep + "/preview-1.png");
    }
    const double scale = double(dpi) / m_metrics.verticalDpi;
    const auto region = [&](const TPageItem &item, int chars) {
        const int height = int(item.font.pixelSize * scale) + 2;
        const int width = int(chars * item.font.pixelSize * 0.6 * scale) + 2;
        return QRect(int(item.rect.x() * scale), int(item.rect.y() * scale), width, height);
    };
    const auto pixels = [&](const QRect &r, const std::function<bool(QColor)> &want) {
        int count = 0;
        for (int y = r.top(); y <= r.bottom() && y < picture.height(); ++y)
            for (int x = r.left(); x <= r.right() && x < picture.width(); ++x)
                count += want(picture.pixelColor(x, y));
        return count;
    };
    const TColorPair keyword = Editor()->Colors()[ceKeywords];
    const QColor keywordColor(int(keyword.fg & 0xFF), int((keyword.fg >> 8) & 0xFF), int((keyword.fg >> 16) & 0xFF));
    const TPageItem *header = nullptr;
    const TPageItem *whileItem = nullptr;
    const TPageItem *seven = nullptr;
    for (const TPageItem &item : m_pages.at(0).items) {
        if (item.kind != TPageItem::ikText)
            continue;
        if (item.text.startsWith(path))
            header = &item;
        else if (item.text == "while" && !whileItem)
            whileItem = &item;
        else if (item.text.startsWith("7 "))
            seven = &item;
    }
    ASSERT_NE(header, nullptr);
    ASSERT_NE(whileItem, nullptr);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(whileItem->color, (unsigned(keywordColor.red()) << 16) | (unsigned(keywordColor.green()) << 8) | unsigned(keywordColor.blue()));
    const auto dark = [](QColor c) { return c.lightness() < 128; };
    EXPECT_GT(pixels(region(*header, 20), dark), 20);
    EXPECT_GT(pixels(region(*seven, 5), dark), 5);
    // A pixel close to the keyword colour, and none of it where the plain text "int8" is.
    const auto near = [&](QColor c) {
        return std::abs(c.red() - keywordColor.red()) + std::abs(c.green() - keywordColor.green())
                   + std::abs(c.blue() - keywordColor.blue()) < 90
               && !dark(QColor(Qt::white)) && c != QColor(Qt::white);
    };
    EXPECT_GT(pixels(region(*whileItem, 5), near), 3);

    // The preview draws the same page: its picture has ink on the same rows as the printed one.
    ASSERT_EQ(m_preview.width(), picture.width());
    const int top = int(m_layoutTop * scale);
    const int rowHeight = std::max(1, int(m_lineHeight * scale));
    int rowsWithInk = 0;
    for (int y = top; y + rowHeight < picture.height() - int(0.5 * dpi); y += rowHeight) {
        const QRect band(0, y + 1, picture.width(), rowHeight - 2);
        const bool printed = pixels(band, dark) > 0;
        int previewInk = 0;
        for (int yy = band.top(); yy <= band.bottom(); ++yy)
            for (int x = 0; x < m_preview.width(); ++x)
                previewInk += m_preview.pixelColor(x, yy).lightness() < 128;
        EXPECT_EQ(printed, previewInk > 0) << "row at " << y;
        rowsWithInk += printed;
    }
    EXPECT_GT(rowsWithInk, 40);
}

TEST_F(PrintMainTest, SelectedLinesAndTheirTitle)
{
    QByteArray text;
    for (int n = 1; n <= 20; ++n)
        text += "line " + QByteArray::number(n) + "\n";
    ASSERT_TRUE(WriteFile(W("sel.c"), text));
    ASSERT_GE(m_main->doopenfile(W("sel.c"), 'R'), 0);
    Editor()->SetSelection(TextPos{3, 5}, TextPos{9, 1});
    bool enabled = false;
    PrintCurrent([&](TFPrintFile &dialog) {
        auto *selected = dialog.findChild<QCheckBox *>("SelectedLinesChk");
        enabled = selected->isEnabled() && selected->isChecked();
    });
    EXPECT_TRUE(enabled);
    ASSERT_EQ(m_pages.size(), 1);
    QStringList body;
    for (const QString &t : m_pages.at(0).Texts()) {
        if (t.startsWith("line "))
            body << t;
    }
    EXPECT_EQ(body, QStringList({"line 3", "line 4", "line 5", "line 6", "line 7", "line 8"}));
}

TEST_F(PrintMainTest, ProjectFilesEachWithTheirOwnPagesAndTitle)
{
    QStringList files;
    for (const char *name : {"a.c", "b.c", "empty.c", "d.h"}) {
        QByteArray text;
        if (QByteArray(name) != "empty.c") {
            for (int n = 1; n <= 70; ++n)
                text += QByteArray(name) + " line " + QByteArray::number(n) + "\n";
        }
        ASSERT_TRUE(WriteFile(W(name), text));
        files << W(name);
    }
    QList<TPrintPage> pages;
    QString caption;
    m_main->ExecPrintDialog = [&](TFPrintFile &dialog) {
        dialog.FormShow();
        caption = dialog.windowTitle();
        EXPECT_TRUE(dialog.OkClick());
        pages = dialog.Engine().Pages();
        return int(QDialog::Accepted);
    };
    m_main->PrintFileList(files);
    EXPECT_EQ(caption, QStringLiteral("Print Project"));
    // 70 lines take two pages each; the empty file none; no empty page at the end.
    ASSERT_EQ(pages.size(), 6);
    EXPECT_EQ(PdfPages(), 6);
    const auto has = [&](int page, const QString &start) {
        for (const QString &t : pages.at(page).Texts())
            if (t.startsWith(start))
                return true;
        return false;
    };
    for (int p = 0; p < 6; ++p) {
        const QString file = files.at(p < 4 ? p / 2 : 3);
        EXPECT_TRUE(has(p, file + "    ")) << p;   // the title: path, four blanks, date
        EXPECT_TRUE(has(p, QStringLiteral("Page %1 of 2").arg(p % 2 + 1))) << p;
    }
}

TEST_F(PrintMainTest, EmptyFileAndPreview)
{
    ASSERT_TRUE(WriteFile(W("empty.c"), ""));
    ASSERT_GE(m_main->doopenfile(W("empty.c"), 'R'), 0);
    PrintCurrent([](TFPrintFile &) {});
    EXPECT_TRUE(m_pages.isEmpty());

    // The preview of a file shows the pages the printer gets.
    ASSERT_TRUE(WriteFile(W("p.c"), CFile(130)));
    ASSERT_GE(m_main->doopenfile(W("p.c"), 'R'), 0);
    int previewPages = -1;
    QString label;
    m_main->ExecPrintDialog = [&](TFPrintFile &dialog) {
        dialog.ShowPreview = [&](TPreviewPrinter &engine) {
            TPreviewForm form(engine, m_main->Printer());
            form.resize(800, 600);
            previewPages = engine.PageCount();
            form.SetPage(2);
            label = form.findChild<QLabel *>("PageLabel")->text();
        };
        dialog.PreviewClick();
        EXPECT_TRUE(dialog.OkClick());
        m_pages = dialog.Engine().Pages();
        return int(QDialog::Accepted);
    };
    m_main->Command("ActionFilePrint")->trigger();
    EXPECT_EQ(previewPages, m_pages.size());
    EXPECT_EQ(PdfPages(), previewPages);
    EXPECT_EQ(label, QStringLiteral("Page 2 of %1").arg(previewPages));
}

TEST_F(PrintMainTest, HexViewerPrintsItsDumpWithADatedTitle)
{
    QByteArray data;
    for (int i = 0; i < 64; ++i)
        data += char(i);
    ASSERT_TRUE(WriteFile(W("data.bin"), data));
    ASSERT_GE(m_main->doopenreadonly(W("data.bin"), "data.bin", 'H'), 0);
    PrintCurrent([](TFPrintFile &) {});
    ASSERT_EQ(m_pages.size(), 1);
    const QStringList texts = m_pages.at(0).Texts();
    EXPECT_TRUE(texts.first().startsWith(W("data.bin") + "    ")) << texts.first().toStdString();
    EXPECT_TRUE(QRegularExpression("    \\d\\d-[A-Z][a-z][a-z]-\\d\\d \\d\\d:\\d\\d [ap]m$").match(texts.first()).hasMatch())
        << texts.first().toStdString();
    int rows = 0;
    for (const QString &t : texts)
        rows += t.startsWith("000000");
    EXPECT_EQ(rows, 4);
    EXPECT_TRUE(m_main->Command("ActionFilePrinterSetup")->isEnabled());
}
