#include "kivsupport.h"

#include "kivprompt.h"
#include "kivsupport_model.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kiv {

Tfkivsupport::Tfkivsupport(const QString &compilerVersion, QWidget *parent)
    : QDialog(parent)
    , m_compilerVersion(compilerVersion)
{
    setObjectName(QStringLiteral("fkivsupport"));
    setWindowTitle(QStringLiteral("Technical Support Information"));

    m_hints = new QPlainTextEdit(this);
    m_hints->setObjectName(QStringLiteral("hints"));
    m_hints->setReadOnly(true);
    // Read-only, but the user may still select and copy the address or a hint.
    m_hints->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_hints->setPlainText(SupportHints());

    m_immediate = new QCheckBox(
        QStringLiteral("An immediate response with tracking number is requested."), this);
    m_immediate->setObjectName(QStringLiteral("immediate"));

    m_startMail = new QPushButton(QStringLiteral("Start e-mail software"), this);
    m_startMail->setObjectName(QStringLiteral("startmail"));
    m_startMail->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_startMail);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_hints, 1);
    layout->addWidget(m_immediate);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(m_startMail, &QPushButton::clicked, this, &Tfkivsupport::StartMailClick);
}

QUrl Tfkivsupport::MailUrl() const
{
    return SupportMailUrl(m_compilerVersion, m_immediate->isChecked());
}

void Tfkivsupport::StartMailClick()
{
    const auto &open = OpenUrlHook();
    const QUrl url = MailUrl();
    const bool started = open ? open(url) : QDesktopServices::openUrl(url);
    if (started) {
        accept();
        return;
    }
    ShowError(QStringLiteral("No e-mail program could be started.\n\n"
                             "Please write to %1 with the subject \"%2\".")
                  .arg(SupportAddress(),
                       SupportSubject(m_compilerVersion, m_immediate->isChecked())));
}

std::function<bool(const QUrl &)> &Tfkivsupport::OpenUrlHook()
{
    static std::function<bool(const QUrl &)> hook;
    return hook;
}

std::function<int(QDialog &)> &Tfkivsupport::ExecHook()
{
    static std::function<int(QDialog &)> hook;
    return hook;
}

void ShowTechnicalSupport(QWidget *parent, const QString &compilerVersion)
{
    Tfkivsupport dialog(compilerVersion, parent);
    const auto &hook = Tfkivsupport::ExecHook();
    if (hook)
        hook(dialog);
    else
        dialog.exec();
}

}  // namespace kiv
