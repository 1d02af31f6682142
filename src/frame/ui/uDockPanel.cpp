#include "uDockPanel.h"

#include "uDockManager.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QPainter>

namespace kiv {

// ---------------------------------------------------------------------------------------------
// TDockZoneSite

TDockZoneSite::TDockZoneSite(QWidget *parent)
    : QWidget(parent)
    , TDockSite(this)
{
    m_manager = TDockTree::Create(this);
    setMouseTracking(true);
}

TDockZoneSite::~TDockZoneSite() = default;

void TDockZoneSite::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_manager->PaintSite(painter);
}

void TDockZoneSite::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_manager->ResetBounds();
}

void TDockZoneSite::mousePressEvent(QMouseEvent *event)
{
    if (!m_manager->MousePress(event))
        QWidget::mousePressEvent(event);
}

void TDockZoneSite::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_manager->MouseMove(event))
        QWidget::mouseMoveEvent(event);
}

void TDockZoneSite::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_manager->MouseRelease(event))
        QWidget::mouseReleaseEvent(event);
}

void TDockZoneSite::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_manager->MouseDoubleClick(event))
        QWidget::mouseDoubleClickEvent(event);
}

void TDockZoneSite::InsertClient(TDockClient *client, TAlign side, TDockClient *dropOn)
{
    AdoptClient(client, this);
    m_manager->InsertControl(client, side, dropOn);
}

void TDockZoneSite::RemoveClient(TDockClient *client)
{
    m_manager->RemoveControl(client);
}

void TDockZoneSite::ClientVisibilityChanged(TDockClient *)
{
    m_manager->ResetBounds();
}

void TDockZoneSite::ClientCaptionChanged(TDockClient *)
{
    update();
}

// ---------------------------------------------------------------------------------------------
// TDockPanel

TDockPanel::TDockPanel(TAlign align, QWidget *parent)
    : TDockZoneSite(parent)
    , m_align(align)
{
    SetPanelSize(0);
}

TDockPanel::~TDockPanel() = default;

void TDockPanel::SetPanelSize(int size)
{
    m_panelSize = std::max(0, size);
    // Fixed across the main window, so the surrounding layout gives the panel exactly this
    // size; resized at once as well, so the size holds before the next layout pass.
    if (m_align == alBottom || m_align == alTop) {
        setFixedHeight(m_panelSize);
        resize(width(), m_panelSize);
    } else {
        setFixedWidth(m_panelSize);
        resize(m_panelSize, height());
    }
    if (OnResize)
        OnResize(this);
}

// ---------------------------------------------------------------------------------------------
// TDockSplitter

TDockSplitter::TDockSplitter(TDockPanel *panel, QWidget *parent)
    : QWidget(parent)
    , m_panel(panel)
{
    const bool across = panel->SiteAlign() == alBottom || panel->SiteAlign() == alTop;
    if (across) {
        setFixedHeight(kThickness);
        setCursor(Qt::SplitVCursor);
    } else {
        setFixedWidth(kThickness);
        setCursor(Qt::SplitHCursor);
    }
}

void TDockSplitter::paintEvent(QPaintEvent *)
{
    // A raised bar: light on the edge towards the page area, dark on the far edge.
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    const bool across = m_panel->SiteAlign() == alBottom || m_panel->SiteAlign() == alTop;
    painter.setPen(palette().color(QPalette::Light));
    if (across)
        painter.drawLine(0, 0, width() - 1, 0);
    else
        painter.drawLine(0, 0, 0, height() - 1);
    painter.setPen(palette().color(QPalette::Mid));
    if (across)
        painter.drawLine(0, height() - 1, width() - 1, height() - 1);
    else
        painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
}

void TDockSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_pressPos = event->globalPosition().toPoint();
    m_startSize = m_panel->PanelSize();
}

void TDockSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QPoint delta = event->globalPosition().toPoint() - m_pressPos;
    int size = m_startSize;
    int room = 0;
    switch (m_panel->SiteAlign()) {
    case alLeft: size += delta.x(); break;
    case alRight: size -= delta.x(); break;
    case alBottom: size -= delta.y(); break;
    case alTop: size += delta.y(); break;
    default: break;
    }
    if (QWidget *area = parentWidget()) {
        const bool across = m_panel->SiteAlign() == alBottom || m_panel->SiteAlign() == alTop;
        room = (across ? area->height() : area->width()) - 2 * kMinPanelSize;
    }
    size = std::max(kMinPanelSize, room > kMinPanelSize ? std::min(size, room) : size);
    if (size != m_panel->PanelSize())
        m_panel->SetPanelSize(size);
}

void TDockSplitter::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

// ---------------------------------------------------------------------------------------------
// TDockArea

TDockArea::TDockArea(QWidget *central, QWidget *parent)
    : QWidget(parent)
    , m_central(central ? central : new QWidget)
{
    setObjectName(QStringLiteral("DockArea"));
    m_left = new TDockPanel(alLeft, this);
    m_left->setObjectName(QStringLiteral("LeftDockPanel"));
    m_bottom = new TDockPanel(alBottom, this);
    m_bottom->setObjectName(QStringLiteral("BottomDockPanel"));
    m_right = new TDockPanel(alRight, this);
    m_right->setObjectName(QStringLiteral("RightDockPanel"));
    m_leftSplitter = new TDockSplitter(m_left, this);
    m_leftSplitter->setObjectName(QStringLiteral("LeftSplitter"));
    m_bottomSplitter = new TDockSplitter(m_bottom, this);
    m_bottomSplitter->setObjectName(QStringLiteral("BottomSplitter"));
    m_rightSplitter = new TDockSplitter(m_right, this);
    m_rightSplitter->setObjectName(QStringLiteral("RightSplitter"));
    for (QWidget *splitter : {static_cast<QWidget *>(m_leftSplitter), static_cast<QWidget *>(m_bottomSplitter),
                              static_cast<QWidget *>(m_rightSplitter)})
        splitter->hide();

    // The bottom panel runs under the page area and both side panels.
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_left);
    row->addWidget(m_leftSplitter);
    row->addWidget(m_central, 1);
    row->addWidget(m_rightSplitter);
    row->addWidget(m_right);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    column->addWidget(m_bottomSplitter);
    column->addWidget(m_bottom);
}

}  // namespace kiv
