#include "kivabout.h"
#include "kivprompt.h"
#include "kivsupport.h"
#include "kivsupport_model.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <Qsci/qsciglobal.h>

#include <gtest/gtest.h>

using namespace kiv;

namespace {

// Receives the URLs that QDesktopServices hands to the "mailto" handler.
class MailCatcher : public QObject {
    Q_OBJECT

public:
    MailCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "Open"); }
    ~MailCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); }

    QList<QUrl> urls;

public slots:
    void Open(const QUrl &url) { urls << url; }
};

// Installs a replacement for a dialog's static hook and removes it again.
template <typename Hook>
class HookGuard {
public:
    HookGuard(Hook &hook, Hook value)
        : m_hook(hook)
    {
        m_hook = std::move(value);
    }
    ~HookGuard() { m_hook = nullptr; }

private:
    Hook &m_hook;
};

template <typename T>
T *Child(QWidget &parent, const char *name)
{
    auto *child = parent.findChild<T *>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Writes the dialog as the user would see it when KIV_SHOT_DIR names a folder.
void Shot(QDialog &dialog, const QString &file)
{
    const QString dir = qEnvironmentVariable("KIV_SHOT_DIR");
    if (dir.isEmpty())
        return;
    dialog.show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(dialog.grab().save(QDir(dir).filePath(file)));
    dialog.hide();
}

}  // namespace

// --- "Technical Support Information" ---------------------------------------------------------

TEST(SupportDialog, ControlsAndCaptions)
{
    Tfkivsupport dialog(QStringLiteral("5.112"));
    EXPECT_EQ(dialog.objectName(), "fkivsupport");
    EXPECT_EQ(dialog.windowTitle(), "Technical Support Information");

    auto *hints = Child<QPlainTextEdit>(dialog, "hints");
    auto *immediate = Child<QCheckBox>(dialog, "immediate");
    auto *start = Child<QPushButton>(dialog, "startmail");
    ASSERT_TRUE(hints && immediate && start);
    EXPECT_TRUE(hints->isReadOnly());
    EXPECT_EQ(hints->toPlainText(), SupportHints());
    EXPECT_EQ(immediate->text(), "An immediate response with tracking number is requested.");
    EXPECT_FALSE(immediate->isChecked());
    EXPECT_EQ(start->text(), "Start e-mail software");
    Shot(dialog, QStringLiteral("kivsupport.png"));
}

TEST(SupportDialog, ButtonOpensMailAndCloses)
{
    struct Case {
        const char *version;
        bool immediate;
        const char *subject;
    };
    const Case cases[] = {
        {"QOR 5.112", false, "KIV Support for QOR5.112"},
        {"QOR 5.112", true, "KIV Support for QOR5.112{?}"},
        {" 4.1 & #2 ", true, "KIV Support for 4.1&#2{?}"},
    };
    for (const Case &c : cases) {
        MailCatcher mail;
        TScriptedPrompt prompt;
        TPromptGuard guard(&prompt);
        Tfkivsupport dialog(QString::fromUtf8(c.version));
        dialog.show();
        if (c.immediate)
            QTest::mouseClick(Child<QCheckBox>(dialog, "immediate"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(dialog, "startmail"), Qt::LeftButton);

        ASSERT_EQ(mail.urls.size(), 1) << c.version;
        const QUrl &url = mail.urls[0];
        EXPECT_EQ(url, SupportMailUrl(QString::fromUtf8(c.version), c.immediate));
        EXPECT_EQ(url.path(), SupportAddress());
        EXPECT_EQ(QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                  QString::fromUtf8(c.subject))
            << c.version;
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(prompt.Asked().empty());
    }
}

TEST(SupportDialog, NoMailProgramShowsAddressAndStaysOpen)
{
    TScriptedPrompt prompt;
    TPromptGuard guard(&prompt);
    QList<QUrl> tried;
    HookGuard open(Tfkivsupport::OpenUrlHook(),
                   std::function<bool(const QUrl &)>([&tried](const QUrl &url) {
                       tried << url;
                       return false;
                   }));

    Tfkivsupport dialog(QStringLiteral("5.112"));
    dialog.show();
    QTest::mouseClick(Child<QCheckBox>(dialog, "immediate"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "startmail"), Qt::LeftButton);

    ASSERT_EQ(tried.size(), 1);
    EXPECT_EQ(tried[0], SupportMailUrl(QStringLiteral("5.112"), true));
    ASSERT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(prompt.Asked()[0].type, TScriptedPrompt::Question::MessageBox);
    EXPECT_EQ(prompt.Asked()[0].kind, mtError);
    EXPECT_TRUE(prompt.Asked()[0].text.contains(SupportAddress()));
    EXPECT_TRUE(prompt.Asked()[0].text.contains("KIV Support for 5.112{?}"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // The user may try again once a mail program is set up.
    Tfkivsupport::OpenUrlHook() = [&tried](const QUrl &url) {
        tried << url;
        return true;
    };
    QTest::mouseClick(Child<QPushButton>(dialog, "startmail"), Qt::LeftButton);
    EXPECT_EQ(tried.size(), 2);
    EXPECT_EQ(prompt.Asked().size(), 1u);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(SupportDialog, EntryPointRunsTheDialogForTheVersion)
{
    MailCatcher mail;
    QString shown;
    HookGuard exec(Tfkivsupport::ExecHook(), std::function<int(QDialog &)>([&shown](QDialog &d) {
                       shown = d.windowTitle();
                       d.findChild<QPushButton *>(QStringLiteral("startmail"))->click();
                       return d.result();
                   }));
    ShowTechnicalSupport(nullptr, QStringLiteral("V 9.9"));
    EXPECT_EQ(shown, "Technical Support Information");
    ASSERT_EQ(mail.urls.size(), 1);
    EXPECT_EQ(QUrlQuery(mail.urls[0]).queryItemValue(QStringLiteral("subject"),
                                                     QUrl::FullyDecoded),
              "KIV Support for V9.9");
}

// --- About box ---------------------------------------------------------------------------------

TEST(AboutBox, ShowsProgramCompilerAndLibraryVersions)
{
    Tfkivabout dialog(QStringLiteral("QOR"), QStringLiteral("5.112"));
    EXPECT_EQ(dialog.objectName(), "fkivabout");
    auto text = [&dialog](const char *name) {
        auto *label = dialog.findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    };
    EXPECT_EQ(text("ProductName"), "KIV C Compiler IDE");
    EXPECT_EQ(text("Title"), "VYN C");
    EXPECT_EQ(text("Version"), "Version " + ProgramVersion());
    EXPECT_EQ(text("Compiler"), "Compiler: QOR, version 5.112");
    EXPECT_TRUE(text("Libraries").contains(QLatin1String(qVersion())));
    EXPECT_TRUE(text("Libraries").contains(QLatin1String(QSCINTILLA_VERSION_STR)));
    Shot(dialog, QStringLiteral("kivabout.png"));

    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("OKButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text().remove('&'), "OK");
    dialog.show();
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(AboutBox, CompilerLineOnlyForWhatIsGiven)
{
    struct Case {
        const char *edition;
        const char *version;
        const char *line;   // nullptr: no compiler line
    };
    const Case cases[] = {
        {"", "", nullptr},
        {"  ", " ", nullptr},
        {"PCH", "", "Compiler: PCH"},
        {"", "5.112", "Compiler: 5.112"},
        // A version text is shown as text, never as markup.
        {"QOR", "<b>5</b>", "Compiler: QOR, version <b>5</b>"},
    };
    for (const Case &c : cases) {
        Tfkivabout dialog(QString::fromUtf8(c.edition), QString::fromUtf8(c.version));
        auto *label = dialog.findChild<QLabel *>(QStringLiteral("Compiler"));
        if (!c.line) {
            EXPECT_EQ(label, nullptr) << c.edition << "/" << c.version;
            continue;
        }
        ASSERT_NE(label, nullptr) << c.edition << "/" << c.version;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.line));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

TEST(AboutBox, EntryPointRunsTheDialog)
{
    QString compiler;
    HookGuard exec(Tfkivabout::ExecHook(), std::function<int(QDialog &)>([&compiler](QDialog &d) {
                       auto *label = d.findChild<QLabel *>(QStringLiteral("Compiler"));
                       compiler = label ? label->text() : QString();
                       return int(QDialog::Accepted);
                   }));
    ShowAbout(nullptr, QStringLiteral("PCW"), QStringLiteral("5.0"));
    EXPECT_EQ(compiler, "Compiler: PCW, version 5.0");
}

#include "support_ui_test.moc"
