// A debug session in the IDE, offscreen, with the real parts a user has: the main window, the
// compiler editions, the watch library watch/vynwatch.so and the simulator library
// debuggers/SIMDLL/kivsim.so, on the shipped example project. Everything goes through the main
// window's commands.

#include "EditorSyntax.h"
#include "kivini.h"
#include "kivmain.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_dirs.h"
#include "testfiles.h"
#include "uDbgForm.h"
#include "uDbgForm_model.h"
#include "uDebugBase.h"
#include "uDebugFormBreaks_model.h"
#include "uDebugFormWatches_model.h"
#include "uEditHint.h"
#include "uWatchProxy.h"

#include <QAction>
#include <QCursor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kiv::test {
namespace {

class IdeDebug : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("gpasm").isEmpty())
            GTEST_SKIP() << "gputils is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(m_temp.isValid());
        root = m_temp.path() + "/";
        WriteFile(root + "bin/kiv", "");
        const QString stage = QStringLiteral(KIV_STAGE_DIR "/");
        for (const char *file : {"dll/QEL.so", "dll/QOR.so", "dll/QAN.so", "watch/vynwatch.so",
                                 "debuggers/SIMDLL/kivsim.so", "utils/devices.dat", "lumo/sfr.txt"}) {
            QDir().mkpath(QFileInfo(root + file).absolutePath());
            ASSERT_TRUE(QFile::copy(stage + file, root + file)) << file;
        }
        project = root + "examples/blink/";
        QDir().mkpath(project);
        for (const char *file : {"blink.asm", "blink.pjt"})
            ASSERT_TRUE(QFile::copy(SourceDir() + "/data/examples/blink/" + file, project + file));
        QDir().mkpath(root + "home");
        // No timed display after the compile; COFF as the debug file.
        WriteFile(root + "home/kiv.ini", "[fileformats]\r\nstayupne=0\r\nstayupoe=0\r\n");
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", (root + "home").toUtf8());
        SetExecutablePathForDirs(root + "bin/kiv");
    }

    void TearDown() override
    {
        if (main && Session() && Session()->IsActive()) {
            Session()->Stop(false);
            WaitUntil([this] { return !Session()->IsActive(); });
        }
        main.reset();
        if (!m_oldHome.isNull())
            qputenv("HOME", m_oldHome);
        SetExecutablePathForDirs(QString());
    }

    Tfkivmain &Main()
    {
        if (!main) {
            main = std::make_unique<Tfkivmain>(TCommandLine{});
            main->resize(1200, 800);
            main->show();
        }
        return *main;
    }

    TDbgFormModel *Session() { return Main().DebugForm()->Session(); }

    void Trigger(const char *name)
    {
        QAction *action = Main().Command(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        ASSERT_TRUE(action->isEnabled()) << name;
        action->trigger();
    }

    template <typename F>
    static bool WaitUntil(F done, int ms = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    QString StateText() { return Main().DebugForm()->StatusPane(3)->text(); }

    TOvcTextFileEditorSyntax *AsmEditor()
    {
        TKivNotebook *notebook = Main().Notebook();
        for (int i = 0; i < notebook->PageCount(); ++i) {
            if (notebook->PagePath(i).endsWith("blink.asm"))
                return notebook->Editor(i);
        }
        return nullptr;
    }

    int Marker()
    {
        TOvcTextFileEditorSyntax *editor = AsmEditor();
        return editor ? editor->CodeFlags().CurrentLine() : -1;
    }

    /// The blink.asm line the watch library gives for `pc`.
    int LineOfPc(quint32 pc)
    {
        TWatchLine where;
        where.address = pc;
        if (!Session()->Watch()->FindLine(wfAddressToLine, where))
            return 0;
        return where.line;
    }

    void CompileAndEnable()
    {
        ASSERT_GE(Main().OpenProject(project + "blink.pjt"), 0);
        Trigger("ActionCompile");
        ASSERT_TRUE(QFileInfo(project + "blink.cof").isFile()) << prompt.Messages().join('\n').toStdString();
        // An assembly program has no in-circuit provisions of its own: the readiness check asks
        // once and recompiles in that mode when the answer is Yes.
        prompt.Queue(mrYes);
        Trigger("ActionDbgEnable");
        ASSERT_TRUE(WaitUntil([this] { return Session()->State() == dsReady; }))
            << StateText().toStdString() << "\n" << prompt.Messages().join('\n').toStdString();
    }

    QTemporaryDir m_temp;
    QByteArray m_oldHome;
    QString root;
    QString project;
    TScriptedPrompt prompt;
    TPromptGuard guard{&prompt};
    std::unique_ptr<Tfkivmain> main;
};

TEST_F(IdeDebug, EnableStepRunHaltAndDisableThroughTheMainWindow)
{
    CompileAndEnable();
    ASSERT_EQ(prompt.Asked().size(), 1u) << prompt.Messages().join('\n').toStdString();
    EXPECT_TRUE(prompt.Messages().first().startsWith("Your code does not have ICD mode enable."));
    EXPECT_EQ(StateText(), "Ready MCU at 20.00 MHz");
    EXPECT_EQ(Main().DebugForm()->StatusPane(1)->text(), "PC=0001");
    EXPECT_EQ(Main().DebugForm()->StatusPane(2)->text(), "W=00");
    EXPECT_FALSE(Main().Command("ActionDbgEnable")->isEnabled());
    EXPECT_TRUE(Main().Command("ActionDbgDisable")->isEnabled());

    // After reset the marker stands on "pagesel main"; single steps walk the source.
    ASSERT_NE(AsmEditor(), nullptr);
    EXPECT_TRUE(AsmEditor()->Debug());
    EXPECT_EQ(Marker(), 22);
    const int expected[] = {23, 30, 31, 32, 33, 36, 37};
    for (const int line : expected) {
        Trigger("ActionDbgStep");
        ASSERT_EQ(Session()->State(), dsReady) << prompt.Messages().join('\n').toStdString();
        EXPECT_EQ(Marker(), line) << "PC " << Session()->PC;
    }
    // Into the delay routine.
    Trigger("ActionDbgStep");
    EXPECT_EQ(Marker(), 46);

    // Run on the endless loop: the interface goes on taking events; Halt stops it.
    int ticks = 0;
    bool sawRunning = false;
    bool haltShown = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        if (StateText() == "Running")
            sawRunning = true;
        if (Main().Command("ActionDbgHalt")->isEnabled() && !Main().Command("ActionDbgRun")->isEnabled())
            haltShown = true;
        if (ticks == 15)
            Main().Command("ActionDbgHalt")->trigger();
    });
    ticker.start(20);
    Trigger("ActionDbgRun");
    ticker.stop();
    EXPECT_GE(ticks, 15);
    EXPECT_TRUE(sawRunning);
    EXPECT_TRUE(haltShown);
    ASSERT_EQ(Session()->State(), dsReady);
    EXPECT_EQ(StateText(), "Ready MCU at 20.00 MHz");
    // Nearly all the time goes in the delay's loops: the halt is inside delay40 with the marker
    // on the line of the PC.
    const int halted = LineOfPc(Session()->PC);
    EXPECT_GE(halted, 54);
    EXPECT_LE(halted, 65);
    EXPECT_EQ(Marker(), halted);
    EXPECT_EQ(Main().DebugForm()->StatusPane(1)->text(),
              "PC=" + QStringLiteral("%1").arg(Session()->PC, 4, 16, QLatin1Char('0')).toUpper());

    // Resting the mouse on count2 shows the value the watch shows.
    Session()->Watches().AddWatchText("count2");
    const QString watched = Session()->Watches().WatchElement(0).value;
    EXPECT_FALSE(watched.isEmpty());
    TOvcTextFileEditorSyntax *editor = AsmEditor();
    const long position = editor->PositionOf(TextPos{61, 18});
    const QPoint local(int(editor->SendScintilla(QsciScintilla::SCI_POINTXFROMPOSITION, 0UL, position)) + 2,
                       int(editor->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL, position)) + 4);
    QCursor::setPos(editor->viewport()->mapToGlobal(local));
    TDbgForm *form = Main().DebugForm();
    form->EditorMouseMove(editor, QPoint(0, 0));
    form->EditorMouseMove(editor, local);
    form->TimerHintStartingTimer();
    EXPECT_EQ(form->EditHint()->Text(), "count2=" + watched);

    // A double click in the editor's left margin sets a breakpoint on that line; another one
    // clears it.
    const auto marginDoubleClick = [editor](int line) {
        const long at = editor->PositionOf(TextPos{line, 1});
        const QPointF point(2, int(editor->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL, at)) + 4);
        QMouseEvent click(QEvent::MouseButtonDblClick, point, editor->viewport()->mapToGlobal(point), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->viewport(), &click);
    };
    marginDoubleClick(63);
    ASSERT_EQ(Session()->Breaks().BreakCount(), 1) << prompt.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Session()->Breaks().BreakItem(0).sourceLine, 63);
    EXPECT_TRUE(editor->CodeFlags().Contains(63));
    marginDoubleClick(63);
    EXPECT_EQ(Session()->Breaks().BreakCount(), 0);

    const QString shot = qEnvironmentVariable("KIV_DEBUG_SHOT");
    if (!shot.isEmpty()) {
        Main().grab().save(shot);
        // Without a stored layout the Debug window floats beside the main window.
        Main().DebugForm()->window()->grab().save(shot + ".debug.png");
        // The memory, watch and break windows of the halted session.
        Session()->Breaks().AddBreak(AsmEditor()->FileName(), 63);
        const std::pair<TDebugWindowId, const char *> windows[] = {
            {dwRAM, "ram"}, {dwROM, "rom"}, {dwWatches, "watches"}, {dwBreaks, "breaks"}};
        for (const auto &[id, name] : windows) {
            form->ShowWindow(id);
            for (int n = 0; n < 5; ++n)
                QCoreApplication::processEvents();
            form->Window(id)->grab().save(shot + "." + name + ".png");
        }
    }

    // Disable returns to the editor: library unloaded, markers gone, window closed.
    Trigger("ActionDbgDisable");
    ASSERT_TRUE(WaitUntil([this] { return !Session()->IsActive(); }));
    EXPECT_EQ(Session()->State(), dsDisabled);
    EXPECT_FALSE(AsmEditor()->Debug());
    EXPECT_EQ(Marker(), 0);
    EXPECT_TRUE(Main().Command("ActionDbgEnable")->isEnabled());
    EXPECT_FALSE(Main().Command("ActionDbgDisable")->isEnabled());
    EXPECT_FALSE(Main().Command("ActionDbgStep")->isEnabled());
}

TEST_F(IdeDebug, ClosingTheIdeDuringARunStopsTheTargetFirst)
{
    CompileAndEnable();
    bool closeRefused = false;
    QTimer::singleShot(200, [&] {
        // The close request is refused while the session runs; the session stops and the
        // window closes after the library is unloaded.
        closeRefused = !Main().close();
    });
    Trigger("ActionDbgRun");
    EXPECT_TRUE(closeRefused);
    ASSERT_TRUE(WaitUntil([this] { return !Session()->IsActive(); }));
    EXPECT_TRUE(WaitUntil([this] { return !Main().isVisible(); }));
}

}  // namespace
}  // namespace kiv::test
