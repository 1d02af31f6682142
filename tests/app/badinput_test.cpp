// Bad input at the main window: stored geometry off the screens, projects and files that cannot
// be opened, and files deleted behind an open page. Each says what is wrong and loses nothing.

#include "EditorSyntax.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace kiv;
using kiv::test::ReadFile;
using kiv::test::WriteFile;

namespace {

class BadInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        root = m_tmp.path() + "/";
        WriteFile(root + "inst/bin/kiv", "");
        QDir().mkpath(root + "inst/dll");
        QDir().mkpath(root + "inst/lumo");
        QDir().mkpath(root + "home");
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", (root + "home").toUtf8());
        SetExecutablePathForDirs(root + "inst/bin/kiv");
    }

    void TearDown() override
    {
        if (m_main) {
            for (int i = 0; i < m_main->Notebook()->PageCount(); ++i) {
                if (TOvcTextFileEditorSyntax *editor = m_main->Notebook()->Editor(i))
                    editor->ClearModified();
            }
        }
        m_main.reset();
        qputenv("HOME", m_oldHome);
        SetExecutablePathForDirs(QString());
    }

    Tfkivmain &Main(const TCommandLine &commandLine = {})
    {
        if (!m_main) {
            m_main = std::make_unique<Tfkivmain>(commandLine);
            m_main->FormShow();
        }
        return *m_main;
    }

    QString File(const QString &name, const QByteArray &data)
    {
        EXPECT_TRUE(WriteFile(root + name, data));
        return root + name;
    }

    QTemporaryDir m_tmp;
    QString root;
    QByteArray m_oldHome;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    std::unique_ptr<Tfkivmain> m_main;
};

// Geometry far outside the screen, or past the integer range, opens a window on the screen that
// fits it.
TEST_F(BadInput, StoredGeometryOffTheScreenIsBroughtBack)
{
    const char *cases[] = {
        "left=-99999\r\ntop=-99999\r\nwidth=999999\r\nheight=999999\r\n",
        "left=99999999999\r\ntop=-99999999999\r\nwidth=99999999999\r\nheight=7\r\n",
        "left=2147483647\r\ntop=2147483647\r\nwidth=2147483647\r\nheight=2147483647\r\n",
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const char *keys : cases) {
        SCOPED_TRACE(keys);
        WriteFile(root + "home/kiv.ini", QByteArray("[kivform]\r\nsize=0\r\n") + keys);
        m_main.reset();
        Main();
        // On the screen and no larger than it, unless the window's own controls need more.
        const QRect shown = Main().geometry();
        const QSize least = Main().minimumSizeHint();
        EXPECT_TRUE(screen.contains(shown.topLeft())) << shown.x() << "," << shown.y();
        EXPECT_LE(shown.width(), std::max(screen.width(), least.width()));
        EXPECT_LE(shown.height(), std::max(screen.height(), least.height()));
        EXPECT_GE(shown.width(), 100);
        EXPECT_GE(shown.height(), 100);
    }
}

// A settings file that is not text is reported once at start-up and read as empty.
TEST_F(BadInput, ASettingsFileThatIsNotTextIsReportedOnce)
{
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 37 + 11) % 256);
    WriteFile(root + "home/kiv.ini", garbage);
    Main();
    EXPECT_EQ(prompt.Messages(),
              QStringList{"The settings file " + root + "home/kiv.ini"
                          + " is not a text file: its settings are ignored, and it is replaced when "
                            "the settings are saved."});
    EXPECT_TRUE(Main().isVisible());
}

// A project that cannot be opened says what is wrong and with which file, and the pages open
// before stay as they were.
TEST_F(BadInput, AProjectThatCannotBeOpenedSaysWhyAndKeepsThePages)
{
    const QString open = File("w/open.c", "int a;\n");
    const QString garbage = File("w/garbage.pjt", QByteArray("\x00\x13\xff\xfe[Target Data]\x00", 18));
    const QString nomain = File("w/nomain.pjt", "[Target Data]\r\nFileList=gone.c\r\n");
    const QString empty = File("w/empty.pjt", "[Target Data]\r\nFileList=\r\n");
    ASSERT_GE(Main().doopenfile(open, 'R'), 0);
    const struct {
        QString project;
        QString message;
    } cases[] = {
        {garbage, garbage + " is not a project file: it holds binary data, not text."},
        {nomain, "The main file " + root + "w/gone.c of the project " + nomain + " does not exist."},
        {empty, "The project file " + empty + " names no main file: its [Target Data] FileList is empty."},
    };
    for (const auto &c : cases) {
        prompt.ClearAsked();
        EXPECT_EQ(Main().OpenProject(c.project), -1);
        EXPECT_EQ(prompt.Messages(), QStringList{c.message});
        EXPECT_EQ(Main().Notebook()->PagePaths(), QStringList{open});
    }
}

// The one file named on the command line is opened or its problem is said: a folder named like a
// C file, a file that is not there.
TEST_F(BadInput, ACommandLineFileThatCannotBeOpenedIsReported)
{
    QDir().mkpath(root + "w/folder.c");
    const struct {
        QString path;
        QString message;
    } cases[] = {
        {root + "w/folder.c", root + "w/folder.c is a folder, not a file."},
        {root + "w/missing.c", "The file " + root + "w/missing.c does not exist."},
    };
    for (const auto &c : cases) {
        m_main.reset();
        prompt.ClearAsked();
        TCommandLine commandLine;
        commandLine.CommandLineFile = c.path;
        Main(commandLine);
        EXPECT_EQ(prompt.Messages(), QStringList{c.message});
        EXPECT_EQ(Main().Notebook()->PageCount(), 0);
    }
}

// A file deleted while open is reported once as deleted (no reload offered, which could not
// work); the editor keeps its text, counts as changed, and saving writes the file again.
TEST_F(BadInput, AFileDeletedWhileOpenIsReportedOnceAndCanBeSavedAgain)
{
    const QString path = File("w/deleted.c", "int kept;\n");
    ASSERT_EQ(Main().doopenfile(path, 'R'), 0);
    ASSERT_TRUE(QFile::remove(path));
    prompt.ClearAsked();
    Main().CheckDiskChanges();
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].buttons, mbOK);
    EXPECT_EQ(prompt.Asked()[0].text, "The file " + path
                                          + " was deleted from disk. The editor keeps its text; "
                                            "saving writes it to the file again.");
    TOvcTextFileEditorSyntax *editor = Main().Notebook()->Editor(0);
    EXPECT_TRUE(editor->Modified());
    EXPECT_EQ(Main().Notebook()->tabText(0), "*deleted.c");
    Main().CheckDiskChanges();
    EXPECT_EQ(prompt.Asked().size(), 1u) << "asked again about the same deletion";

    ASSERT_TRUE(Main().SavePage(0));
    EXPECT_EQ(ReadFile(path), "int kept;\n");
    Main().CheckDiskChanges();
    EXPECT_EQ(prompt.Asked().size(), 1u);
}

}  // namespace
