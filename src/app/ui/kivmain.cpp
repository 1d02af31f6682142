#include "kivmain.h"

#include "kivini.h"
#include "kivmain_debug.h"
#include "kivnotebook.h"
#include "kivprompt.h"
#include "pc_chipr.h"
#include "pc_dirs.h"
#include "screenfit.h"
#include "uDbgForm.h"
#include "uDockPageControl.h"
#include "uDockPanel.h"
#include "uDockingLib.h"
#include "uOutputForm.h"
#include "uTabHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace kiv {

namespace {

constexpr int kPanel0Width = 75;
constexpr int kPanel1Width = 75;
constexpr int kPanel3Width = 50;

}  // namespace

Tfkivmain::Tfkivmain(TCommandLine commandLine, QWidget *parent)
    : QMainWindow(parent)
    , m_commandLine(std::move(commandLine))
    , m_environment(InstallDir())
{
    setObjectName(QStringLiteral("fkivmain"));
    setWindowTitle(QStringLiteral("KIV C Compiler IDE"));
    FormCreate();
}

Tfkivmain::~Tfkivmain()
{
    qApp->removeEventFilter(this);
    // The editors' viewports are hidden after this body has run, while this object is no
    // longer a Tfkivmain: their events must not reach the debug parts' filter then.
    if (m_debug)
        m_debug->MainClosing();
}

void Tfkivmain::FormCreate()
{
    // The page area fills the client area.
    CreateDocuments();
    QWidget *pages = m_notebook;
    setCentralWidget(pages);
    // The device database the wizards, reviews and the debugger look devices up in.
    SetDeviceFile(UtilsDir() + QStringLiteral("devices.dat"));

    CreateStatusBar();
    CreateMenus();
    TraceMilestone(QStringLiteral("MA"));
    CreateCompile();
    CreateDevices();
    CreateTools();
    TraceMilestone(QStringLiteral("MB"));
    TraceMilestone(QStringLiteral("MC"));
    TraceMilestone(QStringLiteral("MD"));
    TraceMilestone(QStringLiteral("MG"));
    CreateDocking();
    CreateOutput();
    CreateFind();
    CreatePrint();
    CreateDebugger();
    // No pages yet: the commands that need one start disabled.
    UpdateCommandGroups(0);

    // Escape closes the output window; the event is always passed on.
    qApp->installEventFilter(this);
}

void Tfkivmain::CreateMenus()
{
    CreateCommands();
    CreateProjects();
}

void Tfkivmain::CreateStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int n = 0; n < 4; ++n) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(n));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(2);
        m_panels[n] = panel;
        bar->addWidget(panel, 0);
    }
    m_panels[0]->setAlignment(Qt::AlignCenter);
    // A click on panel 0 asks for a line to go to (eventFilter).
    m_panels[0]->installEventFilter(this);
    LayoutStatusPanels();
}

int Tfkivmain::StatusPanel2Width(int barWidth)
{
    return qMax(0, int((barWidth - kPanel0Width - kPanel1Width - 33) * 0.75));
}

void Tfkivmain::LayoutStatusPanels()
{
    m_panels[0]->setFixedWidth(kPanel0Width);
    m_panels[1]->setFixedWidth(kPanel1Width);
    m_panels[2]->setFixedWidth(StatusPanel2Width(statusBar()->width()));
    m_panels[3]->setFixedWidth(kPanel3Width);
}

void Tfkivmain::SetStatusText(int panel, const QString &text)
{
    m_panels.at(panel)->setText(text);
}

void Tfkivmain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!isMaximized() && !isMinimized() && !isFullScreen())
        m_normalGeometry = geometry();
    LayoutStatusPanels();
}

void Tfkivmain::AddRecentFile(const QString &path)
{
    m_environment.RecentFiles.AddRecent(path);
    RebuildReopenMenu(m_reopenFiles, m_environment.RecentFiles, ReopenFile);
}

void Tfkivmain::AddRecentProject(const QString &path)
{
    m_environment.RecentProjects.AddRecent(path);
    RebuildReopenMenu(m_reopenProjects, m_environment.RecentProjects, ReopenProject);
}

void Tfkivmain::RebuildReopenMenu(QMenu *menu, const TRecentList &list,
                                  const std::function<void(const QString &)> &opener)
{
    menu->clear();
    for (int n = 0; n < list.Count(); ++n) {
        QAction *entry = menu->addAction(list.Caption(n));
        const QString path = list.Slot(n);
        entry->setData(path);
        entry->setEnabled(bool(opener));
        connect(entry, &QAction::triggered, this, [this, path, menu] {
            const auto &open = menu == m_reopenFiles ? ReopenFile : ReopenProject;
            if (open)
                open(path);
        });
    }
    menu->setEnabled(list.Count() > 0);
}

void Tfkivmain::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;
    BuildToolbars();
    TIniFile ini(SettingsFilePath());
    // A settings file that is not text is said once and read as empty.
    if (QFileInfo::exists(ini.FileName()) && !ini.IsTextFile())
        ShowWarning(QStringLiteral("The settings file ") + ini.FileName()
                    + QStringLiteral(" is not a text file: its settings are ignored, and it is "
                                     "replaced when the settings are saved."));
    m_environment.RestoreEnvironment(ini, *this, m_commandLine.CommandLineFile);
    RebuildReopenMenu(m_reopenFiles, m_environment.RecentFiles, ReopenFile);
    RebuildReopenMenu(m_reopenProjects, m_environment.RecentProjects, ReopenProject);
    TraceMilestone(QStringLiteral("ME"));
    TraceMilestone(QStringLiteral("MF"));
    RestoreDockLayout();
}

TWindowGeometry Tfkivmain::WindowGeometry() const
{
    TWindowGeometry g;
    const QRect r = m_normalGeometry.isValid() ? m_normalGeometry : geometry();
    g.top = r.y();
    g.left = r.x();
    g.height = r.height();
    g.width = r.width();
    g.size = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    return g;
}

void Tfkivmain::ApplyWindowGeometry(const TWindowGeometry &g)
{
    // Stored numbers far outside the screens would open a window nobody can see or reach.
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    setGeometry(FitOnScreens(g.left, g.top, g.width, g.height, screens, QSize(100, 100)));
    m_normalGeometry = geometry();
    switch (g.size) {
    case 1: showMinimized(); break;
    case 2: showMaximized(); break;
    default: showNormal(); break;
    }
}

QRect Tfkivmain::AvailableScreenArea() const
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void Tfkivmain::saveenv()
{
    if (m_environmentSaved)
        return;
    m_environmentSaved = true;
    TIniFile ini(SettingsFilePath());
    m_environment.saveenv(ini, *this);
}

void Tfkivmain::closeEvent(QCloseEvent *event)
{
    if (DebugSessionActive && DebugSessionActive()) {
        event->ignore();
        if (StopDebugSessionThenClose)
            StopDebugSessionThenClose();
        return;
    }
    // The window closes once a running compile has ended; the compile is asked to stop.
    if (CompileRunning()) {
        event->ignore();
        CloseWhenCompileEnds();
        return;
    }
    saveenv();
    // A page whose changes could not be saved keeps the window open.
    if (m_notebook->PageCount() > 0) {
        m_environmentSaved = false;
        event->ignore();
        return;
    }
    SaveDockLayout();
    CloseHelp();
    event->accept();
}

void Tfkivmain::CreateDocking()
{
    // The dock panels and their splitters go around whatever fills the client area.
    m_dockArea = new TDockArea(takeCentralWidget(), this);
    setCentralWidget(m_dockArea);
    m_dockingLib = new TDockingLib(this, m_dockArea->LeftPanel(), m_dockArea->BottomPanel(),
                                   m_dockArea->RightPanel(), m_dockArea->LeftSplitter(),
                                   m_dockArea->BottomSplitter(), m_dockArea->RightSplitter());
    m_outputForm = new TOutputForm(m_dockingLib, this);
    m_debugForm = new TDbgForm(m_dockingLib, this);
    SetOutputWindow(m_outputForm);
}

void Tfkivmain::RestoreDockLayout()
{
    // Each tool window goes back where it was; without a saved place the Output window becomes
    // a page of a tab group in the bottom panel and the Debug window waits, hidden, in the right
    // panel, which stays collapsed until a debug session shows it. A place the file cannot give
    // (an older or damaged file: an unknown host, a panel that does not exist) counts as no
    // place, so the window is never left nowhere. Then the panels take their saved sizes and
    // arrangements.
    TIniFile ini(SettingsFilePath());
    const auto restored = [&](TDockForm *form, const QString &section) {
        if (!m_dockingLib->RestoreFormPlace(ini, form, section))
            return false;
        return form->HostDockSite() != nullptr || !ini.ReadBool(section, QStringLiteral("Docked"), true);
    };
    if (!restored(m_outputForm, QStringLiteral("OutputForm"))) {
        auto *group = new TTabDockHost(m_dockingLib, this);
        group->ManualDock(m_dockingLib->BottomPanel(), nullptr, alClient);
        m_outputForm->ManualDock(group->PageControl1(), nullptr, alClient);
        m_outputForm->show();
        group->UpdateCaption();
        group->show();
    }
    if (!restored(m_debugForm, QStringLiteral("fkivdebug"))) {
        m_debugForm->hide();
        m_debugForm->ManualDock(m_dockingLib->RightPanel(), nullptr, alClient);
    }
    m_debugForm->RestoreDockLayout(ini);
    m_dockingLib->LoadDockSites(ini, QStringLiteral("Dock Sites"));
}

void Tfkivmain::SaveDockLayout()
{
    TIniFile ini(SettingsFilePath());
    m_dockingLib->SaveFormPlace(ini, m_outputForm, QStringLiteral("OutputForm"));
    m_dockingLib->SaveFormPlace(ini, m_debugForm, QStringLiteral("fkivdebug"));
    m_debugForm->SaveDockLayout(ini);
    m_dockingLib->SaveDockSites(ini, QStringLiteral("Dock Sites"));
}

bool Tfkivmain::eventFilter(QObject *watched, QEvent *event)
{
    // A click on status bar panel 0 asks for a line to go to.
    if (watched == m_panels[0] && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        StatusGotoLine();
        return true;
    }
    // A question or dialog of ours closes: when no other window takes the keyboard, this one
    // does. Without a window manager nobody else would, and the menu keys and shortcuts would
    // stay dead until the window is clicked.
    if (event->type() == QEvent::Hide && watched->isWidgetType() && watched != this) {
        auto *window = static_cast<QWidget *>(watched);
        if (window->isWindow() && window->windowModality() != Qt::NonModal) {
            QTimer::singleShot(0, this, [this] {
                // The window system may not yet have told that the closed window lost the
                // keyboard: a hidden active window counts as none.
                const QWidget *active = QApplication::activeWindow();
                if ((!active || !active->isVisible()) && isVisible() && !isMinimized())
                    activateWindow();
            });
        }
    }
    // Only the transition from released to pressed counts: auto-repeat is ignored until the
    // key has been let go.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && watched->isWidgetType()) {
            if (event->type() == QEvent::KeyRelease) {
                if (!key->isAutoRepeat())
                    m_escapeDown = false;
            } else if (!m_escapeDown) {
                m_escapeDown = true;
                if (QApplication::activeWindow() == this && m_outputWindow
                    && m_outputWindow->isVisible())
                    m_outputWindow->close();
            }
        }
    }
    return false;
}

}  // namespace kiv
