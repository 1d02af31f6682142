#include "kivcomp.h"

#include "kivini.h"
#include "screenfit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kiv {

namespace {

const QString kSection = QStringLiteral("compilestatus");

}  // namespace

Tfkivcomp::Tfkivcomp(TKivCompModel &model, QString settingsFile, QWidget *parent)
    : QDialog(parent)
    , m_model(model)
    , m_settingsFile(std::move(settingsFile))
{
    setObjectName(QStringLiteral("fkivcomp"));
    setWindowTitle(QStringLiteral("VYN C Compiler"));
    setMinimumSize(kDesignWidth, kHeight);
    setMaximumSize(kMaxWidth, kHeight);
    BuildControls();
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_display == cdTimed)
            done(QDialog::Accepted);
    });
    ReadGeometry();
    ModelChanged();
}

void Tfkivcomp::BuildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(4);
    auto line = [this](int n) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("line%1").arg(n));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(1);
        m_lines[n - 1] = label;
        return label;
    };

    auto *top = new QHBoxLayout;
    top->addWidget(line(1), 1);
    m_animation = new QProgressBar(this);
    m_animation->setObjectName(QStringLiteral("Animate1"));
    m_animation->setRange(0, 0);
    m_animation->setTextVisible(false);
    m_animation->setFixedSize(60, 14);
    m_animation->setVisible(false);
    top->addWidget(m_animation);
    layout->addLayout(top);
    layout->addWidget(line(2));
    layout->addWidget(line(3));

    m_bars = new QWidget(this);
    m_bars->setObjectName(QStringLiteral("bars"));
    auto *bars = new QHBoxLayout(m_bars);
    bars->setContentsMargins(0, 0, 0, 0);
    auto bar = [this, bars](const char *name, const QString &caption) {
        bars->addWidget(new QLabel(caption, m_bars));
        auto *progress = new QProgressBar(m_bars);
        progress->setObjectName(QLatin1String(name));
        progress->setRange(0, 100);
        progress->setFormat(QStringLiteral("%p%"));
        bars->addWidget(progress, 1);
        return progress;
    };
    m_rom = bar("rombar", QStringLiteral("ROM"));
    m_ram = bar("rambar", QStringLiteral("RAM"));
    layout->addWidget(m_bars);

    layout->addWidget(line(4));
    layout->addWidget(line(5));
    layout->addWidget(line(6));

    m_errorPanel = new QFrame(this);
    m_errorPanel->setObjectName(QStringLiteral("errorpanel"));
    m_errorPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *panel = new QVBoxLayout(m_errorPanel);
    panel->setContentsMargins(6, 4, 6, 4);
    m_errorLabel = new QLabel(m_errorPanel);
    m_errorLabel->setObjectName(QStringLiteral("errorlabel"));
    m_errorLabel->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_errorLine1 = new QLabel(m_errorPanel);
    m_errorLine1->setObjectName(QStringLiteral("errorline1"));
    m_errorLine1->setTextFormat(Qt::PlainText);
    m_errorLine2 = new QLabel(m_errorPanel);
    m_errorLine2->setObjectName(QStringLiteral("errorline2"));
    m_errorLine2->setTextFormat(Qt::PlainText);
    m_errorLine2->setWordWrap(true);
    panel->addWidget(m_errorLabel);
    panel->addWidget(m_errorLine1);
    panel->addWidget(m_errorLine2);
    layout->addWidget(m_errorPanel);

    layout->addStretch(1);
    layout->addWidget(line(7));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_stopButton = new QPushButton(QStringLiteral("Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("stopbutton"));
    m_stopButton->setAutoDefault(false);
    m_stopButton->setEnabled(false);
    m_stopButton->setToolTip(QStringLiteral("Stop the compile and the programs it runs"));
    buttons->addWidget(m_stopButton);
    m_hideButton = new QPushButton(QStringLiteral("Hide"), this);
    m_hideButton->setObjectName(QStringLiteral("hidebutton"));
    m_hideButton->setAutoDefault(false);
    m_helpButton = new QPushButton(QStringLiteral("Help"), this);
    m_helpButton->setObjectName(QStringLiteral("helpbutton"));
    m_helpButton->setAutoDefault(false);
    m_helpButton->setEnabled(false);
    buttons->addWidget(m_hideButton);
    buttons->addWidget(m_helpButton);
    layout->addLayout(buttons);

    connect(m_stopButton, &QPushButton::clicked, this, &Tfkivcomp::StopClick);
    connect(m_hideButton, &QPushButton::clicked, this, &Tfkivcomp::HideClick);
    connect(m_helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help(QStringLiteral("vync"), QStringLiteral("Invoking_the_Command_Line_Compiler"));
    });
}

void Tfkivcomp::SetHelp(std::function<void(const QString &, const QString &)> help)
{
    m_help = std::move(help);
    m_helpButton->setEnabled(bool(m_help));
}

void Tfkivcomp::ReadGeometry()
{
    const TIniFile ini(m_settingsFile);
    const int width = qBound(kDesignWidth, ini.ReadInteger(kSection, "width", kDesignWidth),
                             kMaxWidth);
    resize(width, kHeight);
    if (ini.ValueExists(kSection, "left") && ini.ValueExists(kSection, "top")) {
        // A stored place off every screen would hide the window.
        QList<QRect> screens;
        for (const QScreen *screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        const QRect place = FitOnScreens(ini.ReadInteger(kSection, "left", 0),
                                         ini.ReadInteger(kSection, "top", 0), width, kHeight, screens,
                                         QSize(width, kHeight));
        move(place.topLeft());
    }
    m_savedGeometry = QRect(pos(), size());
}

void Tfkivcomp::SaveGeometry()
{
    const QRect now(pos(), size());
    if (now == m_savedGeometry)
        return;
    m_savedGeometry = now;
    TIniFile ini(m_settingsFile);
    TIniFile::Batch batch(ini);
    batch.WriteInteger(kSection, "width", now.width());
    batch.WriteInteger(kSection, "top", now.y());
    batch.WriteInteger(kSection, "left", now.x());
    batch.Commit();
}

void Tfkivcomp::ModelChanged()
{
    if (!m_model.Caption.isEmpty())
        setWindowTitle(m_model.Caption);
    for (int n = 1; n <= TKivCompModel::kLineCount; ++n)
        m_lines[n - 1]->setText(m_model.Line(n));
    m_bars->setVisible(m_model.BarsVisible);
    m_rom->setValue(qBound(0, m_model.RomPercent, 100));
    m_ram->setValue(qBound(0, m_model.RamPercent, 100));
    m_errorPanel->setVisible(m_model.ErrorPanelVisible);
    m_errorLabel->setText(m_model.ErrorLabel);
    m_errorLine1->setText(m_model.ErrorLine1);
    m_errorLine2->setText(m_model.ErrorLine2);
    m_stopButton->setEnabled(m_model.Running() && m_model.Stoppable && !m_model.Stopping);
}

void Tfkivcomp::ProcessEvents()
{
    QCoreApplication::processEvents();
}

void Tfkivcomp::ShowBusy()
{
    m_display = cdBusy;
    m_animation->setVisible(true);
    show();
    raise();
    QCoreApplication::processEvents();
}

void Tfkivcomp::EndBusy()
{
    m_animation->setVisible(false);
    m_display = cdHidden;
    HideAndReturnTheKeyboard();
    SaveGeometry();
}

void Tfkivcomp::HideAndReturnTheKeyboard()
{
    // Without a window manager nobody gives the keyboard back to the main window, and its
    // shortcuts would stay dead until it is clicked.
    const bool active = isActiveWindow();
    hide();
    if (active && parentWidget())
        parentWidget()->window()->activateWindow();
}

void Tfkivcomp::WaitSeconds(int seconds)
{
    // The window shows why nothing is compiled while the wait lasts.
    m_display = cdWaiting;
    show();
    raise();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    m_display = cdHidden;
    HideAndReturnTheKeyboard();
    SaveGeometry();
}

void Tfkivcomp::RunModal(TDisplay display)
{
    m_display = display;
    exec();
    if (parentWidget())
        parentWidget()->window()->activateWindow();
    m_timer->stop();
    m_display = cdHidden;
    SaveGeometry();
}

void Tfkivcomp::ShowUntilClosed()
{
    RunModal(cdUntilClosed);
}

void Tfkivcomp::ShowModalAnyKey()
{
    RunModal(cdAnyKey);
}

void Tfkivcomp::ShowModalHeld()
{
    RunModal(cdHeld);
}

void Tfkivcomp::ShowModalTimed(int seconds)
{
    m_timer->start(seconds * 1000);
    RunModal(cdTimed);
}

void Tfkivcomp::HideClick()
{
    if (m_display == cdBusy || m_display == cdWaiting)
        hide();
    else
        done(QDialog::Accepted);
}

void Tfkivcomp::StopClick()
{
    m_model.RequestStop();
    ModelChanged();
}

void Tfkivcomp::keyPressEvent(QKeyEvent *event)
{
    if (m_display == cdAnyKey) {
        done(QDialog::Accepted);
        return;
    }
    if (m_display == cdHeld) {
        // Held up: a key does not end the display, Escape included.
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tfkivcomp::closeEvent(QCloseEvent *event)
{
    m_closeBox = true;
    QDialog::closeEvent(event);
    m_closeBox = false;
}

void Tfkivcomp::reject()
{
    if (m_display == cdHeld && !m_closeBox)
        return;
    if (m_display == cdBusy || m_display == cdWaiting) {
        hide();
        return;
    }
    QDialog::reject();
}

}  // namespace kiv
