#include "uDbgForm.h"

#include "EditorSyntax.h"
#include "kivini.h"
#include "uDbgForm_model.h"
#include "uDebugBase.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugForms.h"
#include "uDebugFormRAM_model.h"
#include "uDockPageControl.h"
#include "uDockingLib.h"
#include "uEditHint.h"
#include "uEditHint_model.h"
#include "uWatchProxy.h"

#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kiv {

namespace {

/// The delay before the value under a resting mouse is evaluated.
constexpr int kHintDelay = 300;

QColor ColourOf(TStatusColour colour, const QPalette &palette)
{
    switch (colour) {
    case scRed: return QColor(Qt::red);
    case scAqua: return QColor(0, 255, 255);
    case scYellow: return QColor(Qt::yellow);
    case scBlack: return QColor(Qt::black);
    case scWhite: return QColor(Qt::white);
    case scButtonFace: return palette.color(QPalette::Button);
    case scNone: break;
    }
    return {};
}

}  // namespace

TDbgForm::TDbgForm(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockForm(dockingLib, floatParent)
{
    setObjectName(QStringLiteral("fkivdebug"));
    setWindowTitle(QStringLiteral("Debug"));
    SetUndockSize(QSize(320, 420));
    OwnDockHandling = true;
    m_layout = new QVBoxLayout(Client());
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_pages = new TDockPageControl(Client());
    m_pages->setObjectName(QStringLiteral("DbgPageControl"));
    m_pages->SetTag(TDebugDockForm::kDebugHostTag);
    m_pages->setTabPosition(QTabWidget::North);
    m_pages->OnGetSiteInfo = [](TDockSite *, TDockClient *client, QRect &, const QPoint &, bool &canDock) {
        canDock = qobject_cast<TDebugDockForm *>(client) != nullptr;
    };
    m_pages->OnDockOver = [](TDockSite *, TDockDragObject &source, const QPoint &, bool &accept) {
        accept = qobject_cast<TDebugDockForm *>(source.Control) != nullptr;
    };
    m_pages->OnChange = [](TDockPageControl *pages) {
        if (auto *form = qobject_cast<TDebugDockForm *>(pages->ActivePageClient()))
            form->PostRefresh();
    };
    m_layout->addWidget(m_pages, 1);
    // A window dropped on the Debug window itself becomes a tab too.
    OnGetSiteInfo = [](TDockSite *, TDockClient *client, QRect &, const QPoint &, bool &canDock) {
        canDock = qobject_cast<TDebugDockForm *>(client) != nullptr;
    };
    OnDockOver = [](TDockSite *, TDockDragObject &source, const QPoint &, bool &accept) {
        accept = qobject_cast<TDebugDockForm *>(source.Control) != nullptr;
    };

    auto *status = new QWidget(Client());
    status->setObjectName(QStringLiteral("StatusBar1"));
    auto *statusLayout = new QHBoxLayout(status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(2);
    for (int n = 0; n < 3; ++n) {
        auto *pane = new QLabel(status);
        pane->setObjectName(QStringLiteral("StatusPane%1").arg(n + 1));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setIndent(2);
        pane->setAutoFillBackground(true);
        m_panes[n] = pane;
        statusLayout->addWidget(pane, n == 2 ? 1 : 0);
    }
    m_panes[0]->setMinimumWidth(70);
    m_panes[1]->setMinimumWidth(45);
    m_layout->addWidget(status);

    m_hintTimer.setSingleShot(true);
    m_hintTimer.setInterval(kHintDelay);
    connect(&m_hintTimer, &QTimer::timeout, this, &TDbgForm::TimerHintStartingTimer);
}

TDbgForm::~TDbgForm()
{
    // The windows show the session's models: they go first.
    for (TDebugDockForm *&window : m_windows) {
        delete window;
        window = nullptr;
    }
    m_session.reset();
    delete m_hint;
}

void TDbgForm::CreateSession(IDebugHost &host, const QString &settingsFile, const QString &watchPath,
                             const QStringList &debuggerPaths, const QString &devicesDat)
{
    m_session = std::make_unique<TDbgFormModel>(host, settingsFile, watchPath, debuggerPaths, devicesDat);
    m_windows = CreateDebugWindows(this, *m_session);
    for (TDebugDockForm *window : m_windows) {
        window->ManualDock(m_pages, nullptr, alClient);
        window->show();
    }
    m_pages->setCurrentIndex(0);
    m_hint = new TFormEditHint();
}

void TDbgForm::ShowStatus(const TDebugStatus &status)
{
    if (status.unchanged)
        return;
    m_panes[0]->setText(status.pane1);
    m_panes[1]->setText(status.pane2);
    m_panes[2]->setText(status.pane3);
    QPalette palette = m_panes[2]->palette();
    const QPalette base = this->palette();
    palette.setColor(QPalette::Window, ColourOf(status.fill, base));
    palette.setColor(QPalette::WindowText, ColourOf(status.text, base));
    m_panes[2]->setPalette(palette);
}

void TDbgForm::ShowWindow(TDebugWindowId id)
{
    TDebugDockForm *window = m_windows.at(id);
    if (!window)
        return;
    window->show();
    if (DockingLib())
        DockingLib()->ShowDockedForm(window);
    else
        window->ShowDocked();
}

void TDbgForm::SetWindowVisible(TDebugWindowId id, bool on)
{
    TDebugDockForm *window = m_windows.at(id);
    if (!window)
        return;
    if (on)
        ShowWindow(id);
    else
        window->close();
}

bool TDbgForm::WindowVisible(TDebugWindowId id) const
{
    TDebugDockForm *window = m_windows.at(id);
    return window && window->Visible();
}

void TDbgForm::ShowAllWindows()
{
    for (int id = 0; id < dwCount; ++id)
        ShowWindow(TDebugWindowId(id));
}

void TDbgForm::HideAllWindows()
{
    for (TDebugDockForm *window : m_windows) {
        if (window)
            window->close();
    }
}

void TDbgForm::ResetWindows()
{
    setUpdatesEnabled(false);
    for (TDebugDockForm *window : m_windows) {
        if (!window)
            continue;
        if (!window->IsDebugTab())
            window->ManualDock(m_pages, nullptr, alClient);
        window->show();
        m_pages->ActivatePage(window);
    }
    m_pages->setCurrentIndex(0);
    setUpdatesEnabled(true);
}

void TDbgForm::SaveDockLayout(TIniFile &ini)
{
    if (!DockingLib())
        return;
    for (TDebugDockForm *window : m_windows) {
        if (window)
            DockingLib()->SaveFormPlace(ini, window, window->Model()->ClassName());
    }
}

void TDbgForm::RestoreDockLayout(const TIniFile &ini)
{
    if (!DockingLib())
        return;
    for (TDebugDockForm *window : m_windows) {
        if (!window)
            continue;
        // Without a saved place a window stays a tab of the Debug window.
        if (ini.SectionExists(window->Model()->ClassName()))
            DockingLib()->RestoreFormPlace(ini, window, window->Model()->ClassName());
    }
}

void TDbgForm::CloseQuietly()
{
    m_quietClose = true;
    close();
    m_quietClose = false;
}

void TDbgForm::closeEvent(QCloseEvent *event)
{
    if (m_quietClose) {
        TDockForm::closeEvent(event);
        return;
    }
    if (m_session && m_session->IsActive()) {
        event->ignore();
        m_session->Stop(true);
        return;
    }
    TDockForm::closeEvent(event);
    if (event->isAccepted()) {
        if (m_session)
            m_session->Stop(true);
        if (OnHidden)
            OnHidden();
    }
}

bool TDbgForm::DockClientNotification(TDockDragObject &source, const QPoint &)
{
    auto *window = qobject_cast<TDebugDockForm *>(source.Control);
    if (!window)
        return true;
    window->ManualDock(m_pages, nullptr, alClient);
    window->show();
    m_pages->ActivatePage(window);
    return true;
}

// --- evaluation under the mouse ---------------------------------------------------------------

void TDbgForm::EditorMouseMove(TOvcTextFileEditorSyntax *editor, const QPoint &pos)
{
    if (!m_session)
        return;
    if (m_session->IsActive() && !m_session->Configure().Applied().mouseOverEval)
        return;
    if (m_lastMouse.x() == -1)
        m_lastMouse = pos;
    if (HintMoveIsSignificant(m_lastMouse, pos)) {
        if (m_hint)
            m_hint->CloseHint();
        m_hintEditor = editor;
        m_hintTimer.start();
    }
    m_lastMouse = pos;
}

void TDbgForm::TimerHintStartingTimer()
{
    m_hintTimer.stop();
    TOvcTextFileEditorSyntax *editor = m_hintEditor;
    if (!m_session || !editor || m_session->FileIndex(editor->FileName()) == -1)
        return;
    const QPoint screen = QCursor::pos();
    const QPoint local = editor->viewport()->mapFromGlobal(screen);
    const long position = editor->SendScintilla(QsciScintilla::SCI_POSITIONFROMPOINTCLOSE, ulong(local.x()), long(local.y()));
    if (position < 0)
        return;
    const TextPos at = editor->TextPosAt(int(position));
    const QString text = editor->Line(at.line).left(255);
    if (text.size() < at.column)
        return;
    QString expression = MouseOverExpression(text, at.column);
    if (expression.isEmpty())
        return;
    const TAppliedOptions &options = m_session->Configure().Applied();
    expression += MouseOverSuffix(options.mouseOverRadix);
    if (m_session->State() != dsReady || !m_session->Watch())
        return;
    QString value;
    TDebugRamModel &ram = m_session->Ram();
    ram.BeginEvaluation();
    const bool ok = m_session->Watch()->Evaluate(m_session->curFile, m_session->curLine, expression, value, 2047,
                                                 &TDebugRamModel::MemoryFunction, &ram);
    if (ok)
        ram.EndEvaluation();
    else
        ram.DiscardEvaluation();
    if (!ok || value.isEmpty() || value.startsWith(QLatin1String("ERROR")))
        return;
    m_hint->SetTimeout(options.timeoutMouseOver);
    m_hint->ShowHint(expression + QLatin1Char('=') + value, screen);
}

}  // namespace kiv
