// kivshot OUT.png [--window NAME] [--action NAME] [--menu NAME] [ARGS...]
// Starts the IDE as `kiv ARGS...` would, on the offscreen platform, lets the event loop settle,
// runs the main window's command NAME (a QAction's objectName, e.g. ActionCompile) when asked,
// renders the main window (or the top-level window NAME: an objectName or a class name) to a
// PNG and exits 0. --menu NAME draws the main window with its menu NAME (objectName, e.g.
// File1) dropped down.

#include "kivmain.h"
#include "kivprompt.h"
#include "kivstartup.h"
#include "pc_dirs.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace {

void Settle(int milliseconds)
{
    // A real event loop, so the program's idle work runs whenever it waits for events.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QWidget *FindWindow(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name || QString::fromLatin1(w->metaObject()->className()) == name
            || QString::fromLatin1(w->metaObject()->className()).endsWith("::" + name))
            return w;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || QByteArray(argv[1]).startsWith('-')) {
        std::fprintf(stderr, "usage: kivshot OUT.png [--window NAME] [--action NAME] [--menu NAME] [ARGS...]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QString windowName;
    QString actionName;
    QString menuName;
    QStringList args;
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--window") && i + 1 < argc)
            windowName = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--action") && i + 1 < argc)
            actionName = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--menu") && i + 1 < argc)
            menuName = QString::fromLocal8Bit(argv[++i]);
        else
            args << arg;
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The IDE resolves its installation as the staged program would.
    if (qEnvironmentVariableIsEmpty("KIV_EXE"))
        kiv::SetExecutablePathForDirs(QStringLiteral(KIV_STAGE_DIR "/bin/kiv"));
    else
        kiv::SetExecutablePathForDirs(qEnvironmentVariable("KIV_EXE"));

    const kiv::TCommandLine commandLine = kiv::KivReadCommandLine(args);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::unique_ptr<kiv::TKivSession> session = kiv::KivStart(commandLine);
    // A maximised window has no screen to fill offscreen: give it a desktop-like size.
    if (session->main->isMaximized() || session->main->width() < 640) {
        session->main->showNormal();
        session->main->resize(1024, 700);
    }
    Settle(400);
    if (!actionName.isEmpty()) {
        auto *action = session->main->findChild<QAction *>(actionName);
        if (!action) {
            std::fprintf(stderr, "kivshot: no command named %s\n", qPrintable(actionName));
            return 1;
        }
        action->trigger();
        Settle(400);
    }

    QWidget *target = session->main.get();
    if (!windowName.isEmpty()) {
        target = FindWindow(windowName);
        if (!target) {
            std::fprintf(stderr, "kivshot: no window named %s\n", qPrintable(windowName));
            return 1;
        }
        target->show();
        Settle(200);
    }
    // Offscreen windows have no frame: draw a plain caption bar above the window's own pixels.
    QPixmap client = target->grab();
    if (!menuName.isEmpty()) {
        auto *menu = session->main->menuBar()->findChild<QMenu *>(menuName);
        if (!menu) {
            std::fprintf(stderr, "kivshot: no menu named %s\n", qPrintable(menuName));
            return 1;
        }
        // The menu is a window of its own: draw it where it drops down from its title.
        QMenuBar *bar = session->main->menuBar();
        bar->setActiveAction(menu->menuAction());
        Settle(100);
        client = target->grab();
        const QRect title = bar->actionGeometry(menu->menuAction());
        const QPoint at = bar->mapTo(session->main.get(), title.bottomLeft());
        menu->adjustSize();
        QPainter painter(&client);
        painter.drawPixmap(at, menu->grab());
        painter.setPen(Qt::darkGray);
        painter.drawRect(QRect(at, menu->size()).adjusted(0, 0, -1, -1));
    }
    const int captionHeight = 24;
    QPixmap shot(client.width(), client.height() + captionHeight);
    shot.fill(QColor(0x3a, 0x5f, 0x9a));
    {
        QPainter painter(&shot);
        painter.drawPixmap(0, captionHeight, client);
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(8, 0, client.width() - 16, captionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         target->windowTitle());
    }
    if (!shot.save(out, "PNG")) {
        std::fprintf(stderr, "kivshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    kiv::SetPrompt(nullptr);
    std::printf("%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    // Leaving without closing the window keeps the user's settings file as it was.
    session.release();
    std::fflush(stdout);
    std::_Exit(0);
}
