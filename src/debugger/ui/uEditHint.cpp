#include "uEditHint.h"

#include "uEditHint_model.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace kiv {

namespace {

/// How long a hint stays when the timeout flag is set.
constexpr int kHintTimeout = 7000;

}  // namespace

TFormEditHint::TFormEditHint(QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormEditHint"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("EditHintMemo"));
    m_memo->setReadOnly(true);
    m_memo->setFocusPolicy(Qt::NoFocus);
    m_memo->setFrameStyle(QFrame::NoFrame);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette palette = m_memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::Highlight));
    m_memo->setPalette(palette);
    m_memo->viewport()->installEventFilter(this);
    layout->addWidget(m_memo);
    m_closeTimer.setObjectName(QStringLiteral("CloseTimer"));
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(kHintTimeout);
    connect(&m_closeTimer, &QTimer::timeout, this, &TFormEditHint::CloseHint);
    resize(0, 0);
}

QString TFormEditHint::Text() const
{
    return m_memo->toPlainText();
}

void TFormEditHint::ShowHint(const QString &text, const QPoint &pointer)
{
    QString shown = text;
    shown.replace(QLatin1Char('\t'), QStringLiteral("  "));
    m_memo->setPlainText(shown);
    const QFontMetrics metrics(m_memo->font());
    const QSize measured = metrics.size(0, shown + QLatin1Char('H'));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    const int lines = int(shown.count(QLatin1Char('\n'))) + 1;
    const QRect place = HintPlacement(QSize(measured.width(), metrics.height()), lines, pointer, area);
    setGeometry(place);
    if (!isVisible())
        show();
    if (m_timeout)
        m_closeTimer.start();
}

void TFormEditHint::CloseHint()
{
    m_closeTimer.stop();
    resize(0, 0);
    hide();
}

void TFormEditHint::closeEvent(QCloseEvent *event)
{
    // A close request only hides the hint; the window stays for the next one.
    event->ignore();
    CloseHint();
}

bool TFormEditHint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kiv
