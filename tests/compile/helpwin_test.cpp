// The help window over the shipped help folder: pages with anchors, contents, index, and a topic
// the help has no page for.

#include "kivhelp.h"
#include "kivhelpwin.h"
#include "testfiles.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        compilerDir = SourceDir() + "/data/lumo/";
        folder = compilerDir + "vync.help/";
        ASSERT_TRUE(QFileInfo(folder).isDir());
        window = std::make_unique<Tfkivhelpwin>();
        window->resize(700, 360);
        browser = window->findChild<QTextBrowser *>("HelpBrowser");
        tabs = window->findChild<QTabWidget *>("HelpTabs");
        contents = window->findChild<QTreeWidget *>("ContentsTree");
        indexKey = window->findChild<QLineEdit *>("IndexKey");
        index = window->findChild<QListWidget *>("IndexList");
        ASSERT_TRUE(browser && tabs && contents && indexKey && index);
    }

    /// The shown page, relative to the help folder, with its anchor.
    QString Shown() const
    {
        const QUrl url = window->Source();
        if (url.isEmpty())
            return {};
        QString page = QDir(folder).relativeFilePath(url.toLocalFile());
        if (url.hasFragment())
            page += '#' + url.fragment();
        return page;
    }

    QString compilerDir;
    QString folder;
    std::unique_ptr<Tfkivhelpwin> window;
    QTextBrowser *browser = nullptr;
    QTabWidget *tabs = nullptr;
    QTreeWidget *contents = nullptr;
    QLineEdit *indexKey = nullptr;
    QListWidget *index = nullptr;
};

TEST_F(HelpWindow, APageOpensAtItsAnchor)
{
    window->ShowPage(folder, {"Error_Messages/Errors.htm", "E39"}, "39");
    Settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Shown(), "Error_Messages/Errors.htm#E39");
    EXPECT_TRUE(browser->toPlainText().contains("Error 39"));
    // E39 is the last entry of a long page: the view has scrolled down to it.
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);

    window->ShowPage(folder, {"Error_Messages/Errors.htm", "E1"}, "1");
    Settle();
    EXPECT_EQ(Shown(), "Error_Messages/Errors.htm#E1");
}

TEST_F(HelpWindow, ContentsShowTheDefaultPageAndTheTree)
{
    window->ShowContents(folder);
    Settle();
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(Shown(), "Welcome.htm");
    ASSERT_GE(contents->topLevelItemCount(), 3);
    QTreeWidgetItem *top = contents->topLevelItem(0);
    EXPECT_EQ(top->text(0), "KIV IDE Help");
    ASSERT_GT(top->childCount(), 0);

    // Clicking an entry opens its page.
    QTreeWidgetItem *child = top->child(0);
    const QRect rect = contents->visualItemRect(child);
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, rect.center());
    Settle();
    EXPECT_EQ(Shown(), window->HelpSet().Contents()[1].target.page);
}

TEST_F(HelpWindow, TheIndexJumpsToTheTypedKeywordAndOpensItWithEnter)
{
    window->ShowIndex(folder);
    Settle();
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(index->count(), window->HelpSet().Index().size());
    QTest::keyClicks(indexKey, "bank");
    EXPECT_EQ(index->currentItem()->text(), "banksel");
    QTest::keyClick(indexKey, Qt::Key_Return);
    Settle();
    EXPECT_EQ(Shown(), "Statements.htm#banksel");
}

TEST_F(HelpWindow, ATopicWithoutAPageSaysSoAndOffersTheIndex)
{
    window->ShowPage(folder, {"_USE_spi.htm", ""}, "_USE_spi");
    Settle();
    EXPECT_EQ(Shown(), "");
    EXPECT_TRUE(browser->toPlainText().contains("_USE_spi"));
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(indexKey->text(), "_USE_spi");

    // A page outside the help folder is not shown either.
    window->ShowPage(folder, {"../DEFAULT.PJT", ""}, "../DEFAULT");
    Settle();
    EXPECT_EQ(Shown(), "");
}

TEST_F(HelpWindow, TheHelpLookupShowsItsPagesHere)
{
    THelpLookup help(compilerDir);
    help.SetViewer(window.get());
    help.SelectHelpFile("vync");
    ASSERT_TRUE(help.HtmlHelp());

    help.KeywordHelp({true, false, -1, "  #include <p16f877a.inc>", 6});
    Settle();
    EXPECT_EQ(Shown(), "_include.htm");
    help.ShowMessageHelp(1203);
    Settle();
    EXPECT_EQ(Shown(), "Warnings/Warnings.htm#W203");
    help.ShowHelpTopic("CompileOptions");
    Settle();
    EXPECT_EQ(Shown(), "CompileOptions.htm");

    help.Close();
    Settle();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace kiv::test
