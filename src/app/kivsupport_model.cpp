#include "kivsupport_model.h"

namespace kiv {

#ifndef KIV_PROGRAM_VERSION
#error "KIV_PROGRAM_VERSION comes from the build (src/app/CMakeLists.txt)"
#endif

QString SupportAddress()
{
    return QStringLiteral("support@kiv-ide.example");
}

QString SupportSubject(const QString &compilerVersion, bool immediateResponse)
{
    QString version;
    version.reserve(compilerVersion.size());
    for (const QChar c : compilerVersion) {
        if (!c.isSpace())
            version += c;
    }
    QString subject = QStringLiteral("KIV Support for ") + version;
    if (immediateResponse)
        subject += QStringLiteral("{?}");
    return subject;
}

QUrl SupportMailUrl(const QString &compilerVersion, bool immediateResponse)
{
    const QByteArray subject =
        QUrl::toPercentEncoding(SupportSubject(compilerVersion, immediateResponse));
    const QByteArray encoded =
        "mailto:" + SupportAddress().toLatin1() + "?subject=" + subject;
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString SupportHints()
{
    return QStringLiteral(
        "Before you write\n"
        "\n"
        "Many questions are answered in the compiler's help (Help menu) and in the examples "
        "folder of the installation. If you still need help, a short and complete request gets "
        "the fastest answer.\n"
        "\n"
        "Please include\n"
        "\n"
        "1. The compiler edition and its version. The button below puts the version into the "
        "subject line for you; the edition is shown in the About box (Help menu).\n"
        "2. The device you compile for, as written in your #device line.\n"
        "3. A minimal source that shows the problem: remove everything that is not needed to "
        "show it, and paste the source into the message (or attach it together with its header "
        "files).\n"
        "4. The exact message: copy the line from the output window, with its file name, line "
        "number and message number, rather than describing it.\n"
        "5. The steps that lead to the problem: what you did, what you expected and what "
        "happened instead. For problems with the hardware or the debugger, name the debugger or "
        "programmer and its firmware version.\n"
        "\n"
        "Use one message for one problem. Requests go to ")
        + SupportAddress() + QStringLiteral(".\n");
}

QString ProgramVersion()
{
    return QStringLiteral(KIV_PROGRAM_VERSION);
}

}  // namespace kiv
