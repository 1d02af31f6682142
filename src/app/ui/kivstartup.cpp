#include "kivstartup.h"

#include "EditorProperties.h"
#include "kivmain.h"
#include "kivmain_props.h"
#include "pc_dirs.h"
#include "qtprompt.h"

#include <QApplication>

namespace kiv {

TKivSession::~TKivSession() = default;

TCommandLine KivReadCommandLine(const QStringList &args)
{
    TCommandLine commandLine = ParseCommandLine(args);
    SetTraceLevel(commandLine.TraceLevel);
    if (commandLine.CreateTraceFile)
        CreateTraceFile();
    TraceMilestone(QStringLiteral("A"));
    return commandLine;
}

std::unique_ptr<TKivSession> KivStart(const TCommandLine &commandLine)
{
    TraceMilestone(QStringLiteral("B"));
    QApplication::setApplicationName(QStringLiteral("VYN C"));
    TraceMilestone(QStringLiteral("D"));

    auto session = std::make_unique<TKivSession>();
    session->commandLine = commandLine;
    session->prompt = std::make_unique<TQtPrompt>();
    SetPrompt(session->prompt.get());

    session->main = std::make_unique<Tfkivmain>(commandLine);
    // The long-lived dialogs follow the main window, each after its milestone.
    for (const char *milestone : {"F", "G", "H", "J", "Q", "R", "U", "W", "X"})
        TraceMilestone(QString::fromLatin1(milestone));
    // The editor properties exist before the environment is restored, which reads them.
    session->editorProperties =
        std::make_unique<TFrmEditorProperties>(SettingsFilePath(), session->main.get());
    ConnectEditorProperties(*session->main, *session->editorProperties);

    session->main->FormShow();
    // The window takes the keyboard when it appears; without a window manager nothing else
    // would give it, and the menu keys and shortcuts would wait for a click.
    session->main->activateWindow();
    if (!commandLine.Error.isEmpty())
        ShowError(commandLine.Error);
    return session;
}

int KivMain(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const TCommandLine commandLine = KivReadCommandLine(args);

    QApplication app(argc, argv);
    int result = 0;
    {
        std::unique_ptr<TKivSession> session = KivStart(commandLine);
        result = app.exec();
        SetPrompt(nullptr);
    }
    TraceMilestone(QStringLiteral("Z"));
    return result;
}

}  // namespace kiv
