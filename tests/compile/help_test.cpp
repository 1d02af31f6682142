// Help lookup: help file selection, message pages, the word at the caret, "Keyword at cursor",
// and the help set the installation ships.

#include "kivhelp.h"
#include "kivprompt.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv::test {
namespace {

/// Records what the help lookup asks the viewer to show.
class TRecordingViewer : public IHelpViewer {
public:
    QStringList shown;

    void ShowPage(const QString &folder, const THelpPage &page, const QString &topic) override
    {
        shown << QStringLiteral("page %1 %2#%3 (%4)").arg(QDir(folder).dirName(), page.page,
                                                         page.anchor, topic);
    }
    void ShowContents(const QString &folder) override
    {
        shown << QStringLiteral("contents ") + QDir(folder).dirName();
    }
    void ShowIndex(const QString &folder) override
    {
        shown << QStringLiteral("index ") + QDir(folder).dirName();
    }
    void CloseAll() override { shown << QStringLiteral("close"); }
};

class HelpLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        compilerDir = m_temp.path() + "/lumo/";
        ASSERT_TRUE(QDir().mkpath(compilerDir + "vync.help"));
        help = std::make_unique<THelpLookup>(compilerDir);
        help->SetViewer(&viewer);
        help->SelectHelpFile("vync");
    }

    QTemporaryDir m_temp;
    QString compilerDir;
    TRecordingViewer viewer;
    std::unique_ptr<THelpLookup> help;
};

TEST_F(HelpLookup, AHelpFolderSelectsHtmlHelpAndItsAbsenceTheOldStyleFile)
{
    EXPECT_TRUE(help->HtmlHelp());
    EXPECT_EQ(help->HelpFile(), compilerDir + "vync.help/");

    help->SelectHelpFile("maz");
    EXPECT_FALSE(help->HtmlHelp());
    EXPECT_EQ(help->HelpFile(), compilerDir + "maz.hlp");
}

TEST_F(HelpLookup, AnEditionWhoseNameContainsCenixSwitchesToTheMazHelpFile)
{
    const struct {
        const char *name;
        const char *base;
    } cases[] = {
        {"Scenix SX", "maz"},
        {"Microchip 14 bit", "vync"},
        {"Microchip dsPIC", "vync"},
        {"SCENIX SX", "vync"},   // the test is case-sensitive
        {"", "vync"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HelpBaseForEdition(c.name), c.base) << c.name;

    ASSERT_TRUE(QDir().mkpath(compilerDir + "maz.help"));
    help->SelectHelpFileForEdition("Scenix SX");
    EXPECT_EQ(help->HelpFile(), compilerDir + "maz.help/");
    help->SelectHelpFileForEdition("Microchip PIC18");
    EXPECT_EQ(help->HelpFile(), compilerDir + "vync.help/");
}

TEST_F(HelpLookup, MessageHelpOpensTheErrorsOrTheWarningsPageAtTheMessagesAnchor)
{
    const struct {
        int context;
        const char *page;
        const char *anchor;
    } cases[] = {
        {1001, "Error_Messages/Errors.htm", "E1"},
        {1011, "Error_Messages/Errors.htm", "E11"},
        {1199, "Error_Messages/Errors.htm", "E199"},
        {1200, "Warnings/Warnings.htm", "W200"},
        {1203, "Warnings/Warnings.htm", "W203"},
        {11, "Error_Messages/Errors.htm", "E11"},   // the context is taken mod 1000
    };
    for (const auto &c : cases) {
        EXPECT_EQ(MessageHelpPage(c.context), (THelpPage{c.page, c.anchor})) << c.context;
    }
    help->ShowMessageHelp(1202);
    EXPECT_EQ(viewer.shown, QStringList{"page vync.help Warnings/Warnings.htm#W202 (202)"});
}

TEST(MessageNumberOfLine, ReadsTheNumberAfterErrorOrWarningOnMessageLines)
{
    const struct {
        const char *line;
        int number;   // -1: no number
    } cases[] = {
        {R"(*** Error 11 "/p/a.asm" Line 6(9,14): Symbol not previously defined: "x")", 11},
        {R"(>>> Warning 200 "/p/a.asm" Line 5: Argument out of range.)", 200},
        {R"(>>> Warning 203 "/p/a.asm" Line 1: Error in the format)", 203},
        {R"(*** Error 203 "/p/a.asm" Line 1: a warning-numbered line)", 203},
        {R"(--- Error12 "/p/a.asm" Line 1: no space before the number)", 12},
        {R"(*** Error "/p/a.asm" Line 17: the digits after Error are the line's)", 17},
        {R"(*** Error 70000 "/p/a.asm" Line 1: five digits at most)", 70000},
        {R"(1 Errors, 0 Warnings)", -1},                  // not a message line
        {R"(... "/p/a.asm" Line 4(1,4): Error 5)", -1},     // find results are not messages
        {R"(*** Something "/p/a.asm" Line 4: text)", -1},  // neither Error nor Warning
        {R"(*** Error without digits)", -1},
        {"", -1},
    };
    for (const auto &c : cases) {
        const std::optional<int> number = MessageNumberOfLine(c.line);
        EXPECT_EQ(number.value_or(-1), c.number) << c.line;
    }
}

TEST(WordAtCaret, TakesIdentifierCharactersOnBothSidesWithOneHashInFront)
{
    const struct {
        const char *line;
        int column;   // the caret stands before this 1-based column
        const char *word;
        const char *topic;
    } cases[] = {
        {"  output_high(PIN_B0);", 6, "output_high", "output_high"},   // inside
        {"  output_high(PIN_B0);", 3, "output_high", "output_high"},   // at its start
        {"  output_high(PIN_B0);", 14, "output_high", "output_high"},  // just after it
        {"  x = 0x1F + 255;", 14, "255", "255"},                       // a number is a word
        {"#include <16f877a.h>", 4, "#include", "_include"},
        {"  #include \"a.h\"", 11, "#include", "_include"},
        {"##define X", 5, "#define", "_define"},                      // one "#" only
        {"#use delay(clock=20000000)", 3, "#use delay", "_USE_delay"},
        {"#USE\t  rs232(baud=9600)", 2, "#USE\t  rs232", "_USE_rs232"},
        {"#use", 2, "#use", "_USE_"},
        {"a  b", 3, "", ""},                                          // between two blanks
        {"", 1, "", ""},
        {"word", 99, "word", "word"},                                  // past the end
        {"word", -5, "word", "word"},                                  // before the start
    };
    for (const auto &c : cases) {
        const QString word = WordAtCaret(c.line, c.column);
        EXPECT_EQ(word, c.word) << c.line << " @" << c.column;
        EXPECT_EQ(KeywordTopic(word), c.topic) << c.line << " @" << c.column;
    }
}

TEST_F(HelpLookup, KeywordAtCursorFollowsTheEditorTheErrorStatusAndTheWord)
{
    const struct {
        TKeywordContext context;
        const char *shown;
    } cases[] = {
        {{false, false, -1, "#include <x.h>", 3}, "index vync.help"},
        {{true, true, 11, "#include <x.h>", 3}, "page vync.help Error_Messages/Errors.htm#E11 (11)"},
        {{true, true, 201, "x", 1}, "page vync.help Warnings/Warnings.htm#W201 (201)"},
        {{true, true, -1, "x", 1}, "page vync.help Error_Messages/Errors.htm# ()"},
        {{true, false, 11, "#include <x.h>", 3}, "page vync.help _include.htm# (_include)"},
        {{true, false, 11, "   ", 2}, "index vync.help"},
    };
    for (const auto &c : cases) {
        viewer.shown.clear();
        help->KeywordHelp(c.context);
        EXPECT_EQ(viewer.shown, QStringList{c.shown}) << c.shown;
    }
}

TEST_F(HelpLookup, TopicsContentsIndexAndLastError)
{
    help->ShowHelpTopic("Editor");
    help->ShowHelpContents();
    help->ShowHelpIndex();
    help->LastError(-1);   // no message: nothing
    help->LastError(14);
    help->ShowHelpTopicOf("vync", "Invoking_the_Command_Line_Compiler");
    help->Close();
    EXPECT_EQ(viewer.shown, (QStringList{
                                "page vync.help Editor.htm# (Editor)",
                                "contents vync.help",
                                "index vync.help",
                                "page vync.help Error_Messages/Errors.htm#E14 (14)",
                                "page vync.help Invoking_the_Command_Line_Compiler.htm# "
                                "(Invoking_the_Command_Line_Compiler)",
                                "close",
                            }));
    EXPECT_EQ(help->Viewer(), nullptr);
}

TEST_F(HelpLookup, OldStyleHelpIsNotShownButSaysWhy)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    help->SelectHelpFile("maz");
    help->ShowHelpTopic("Editor");
    ASSERT_TRUE(WriteFile(compilerDir + "maz.hlp", "old"));
    help->ShowMessageHelp(1011);
    EXPECT_TRUE(viewer.shown.isEmpty());
    const QStringList messages = prompt.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(compilerDir + "maz.help/")) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains("old-style")) << messages[1].toStdString();
}

TEST_F(HelpLookup, WithoutAViewerHtmlHelpShowsNothing)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    help->SetViewer(nullptr);
    help->ShowHelpTopic("Editor");
    help->ShowHelpIndex();
    EXPECT_TRUE(prompt.Asked().empty());
}

TEST(HelpPagePath, StaysInsideTheHelpFolder)
{
    EXPECT_EQ(HelpPagePath("/h/vync.help/", "Warnings/Warnings.htm"),
              "/h/vync.help/Warnings/Warnings.htm");
    EXPECT_EQ(HelpPagePath("/h/vync.help/", "a/../Editor.htm"), "/h/vync.help/Editor.htm");
    EXPECT_EQ(HelpPagePath("/h/vync.help/", "../kiv.ini"), "");
    EXPECT_EQ(HelpPagePath("/h/vync.help/", "/etc/passwd"), "");
    EXPECT_EQ(HelpPagePath("/h/vync.help/", ""), "");
}

TEST(HelpSet, ParsesLevelsSkipsMalformedLinesAndSortsTheIndex)
{
    const QList<THelpEntry> entries = THelpSet::ParseEntries(
        "Top | Welcome.htm\r\n"
        "  Child | a/b.htm#x\n"
        "    Grandchild | c.htm\n"
        "no separator here\n"
        " | empty title.htm\n"
        "Title only | \n"
        "\n"
        "Second | d.htm\n");
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].level, 0);
    EXPECT_EQ(entries[1].level, 1);
    EXPECT_EQ(entries[1].target, (THelpPage{"a/b.htm", "x"}));
    EXPECT_EQ(entries[2].level, 2);
    EXPECT_EQ(entries[3].title, "Second");

    QTemporaryDir temp;
    const QString folder = temp.path() + "/";
    ASSERT_TRUE(WriteFile(folder + "index.txt", "zeta | z.htm\nAlpha | a.htm\nbeta | b.htm\n"));
    THelpSet set;
    set.Load(folder);
    EXPECT_TRUE(set.Contents().isEmpty());
    EXPECT_EQ(set.DefaultPage().page, "index.htm");
    ASSERT_EQ(set.Index().size(), 3);
    EXPECT_EQ(set.Index()[0].title, "Alpha");
    EXPECT_EQ(set.Index()[2].title, "zeta");
}

// --- the shipped help set -----------------------------------------------------------------------

class ShippedHelp : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = SourceDir() + "/data/lumo/vync.help/";
        ASSERT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
        set.Load(folder);
    }

    /// The anchors a page defines (name= and id=).
    static QSet<QString> Anchors(const QString &path)
    {
        QSet<QString> anchors;
        static const QRegularExpression re(R"re((?:name|id)\s*=\s*"([^"]+)")re");
        const QString text = QString::fromUtf8(ReadFile(path));
        for (auto it = re.globalMatch(text); it.hasNext();)
            anchors << it.next().captured(1);
        return anchors;
    }

    /// "" when `page` (relative to `from`'s folder) exists with `anchor`, else what is wrong.
    QString Check(const QString &fromFolder, const QString &page, const QString &anchor) const
    {
        const QString path = QDir::cleanPath(fromFolder + '/' + page);
        if (!path.startsWith(QDir::cleanPath(folder)))
            return path + " lies outside the help folder";
        if (!QFileInfo(path).isFile())
            return path + " does not exist";
        if (!anchor.isEmpty() && !Anchors(path).contains(anchor))
            return path + " has no anchor " + anchor;
        return {};
    }

    QString folder;
    THelpSet set;
};

TEST_F(ShippedHelp, EveryContentsAndIndexEntryLeadsToAnExistingPageAndAnchor)
{
    EXPECT_GE(set.Contents().size(), 10);
    EXPECT_GE(set.Index().size(), 20);
    for (const QList<THelpEntry> *list : {&set.Contents(), &set.Index()}) {
        for (const THelpEntry &entry : *list)
            EXPECT_EQ(Check(folder, entry.target.page, entry.target.anchor), "")
                << entry.title.toStdString();
    }
}

TEST_F(ShippedHelp, EveryTopicTheIdeNamesHasAPage)
{
    for (const char *topic :
         {"Editor", "BuiltInFunctions", "PreProcessor", "DataDefinition", "Operators",
          "Statements", "CompileOptions", "Invoking_the_Command_Line_Compiler", "ProjectWizard",
          "_include"})
        EXPECT_TRUE(QFileInfo(folder + topic + ".htm").isFile()) << topic;
}

TEST_F(ShippedHelp, EveryMessageNumberOfTheEditionsHasItsAnchor)
{
    // The numbers as the editions define them, so a new message cannot miss its help.
    const QString header =
        QString::fromUtf8(ReadFile(SourceDir() + "/plugins/compiler/edition_messages.h"));
    static const QRegularExpression re(R"(\bmn\w+\s*=\s*(\d+))");
    QList<int> numbers;
    for (auto it = re.globalMatch(header); it.hasNext();)
        numbers << it.next().captured(1).toInt();
    ASSERT_GE(numbers.size(), 20);
    for (int n : numbers) {
        const THelpPage page = MessageHelpPage(n + 1000);
        EXPECT_EQ(Check(folder, page.page, page.anchor), "") << n;
    }
}

TEST_F(ShippedHelp, EveryLinkInEveryPageResolves)
{
    static const QRegularExpression href(R"re(href\s*=\s*"([^"]*)")re");
    int pages = 0;
    for (QDirIterator it(folder, {"*.htm"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        ++pages;
        const QString text = QString::fromUtf8(ReadFile(path));
        const QString from = QFileInfo(path).absolutePath();
        for (auto m = href.globalMatch(text); m.hasNext();) {
            const QString target = m.next().captured(1);
            const THelpPage page = SplitHelpAddress(target);
            const QString file = page.page.isEmpty() ? QFileInfo(path).fileName() : page.page;
            EXPECT_EQ(Check(from, file, page.anchor), "") << path.toStdString() << " -> "
                                                         << target.toStdString();
        }
    }
    EXPECT_GE(pages, 15);
}

}  // namespace
}  // namespace kiv::test
