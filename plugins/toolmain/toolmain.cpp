#include "toolmain.h"

#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace kiv {

void PrepareToolPlatform(int argc, char **argv)
{
    // Pictures and the help text need no display.
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--shot") == 0 || std::strncmp(arg, "--shot=", 7) == 0
            || std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "-?") == 0
            || std::strcmp(arg, "--help-all") == 0)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

int RunToolWindow(QWidget &window, const QString &shot)
{
    window.show();
    if (shot.isEmpty())
        return QApplication::exec();
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    if (!window.grab().save(shot, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(shot));
        return 1;
    }
    return 0;
}

}  // namespace kiv
