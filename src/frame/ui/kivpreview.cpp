#include "kivpreview.h"

#include "kivprint.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace kiv {

namespace {

const QStringList &ZoomEntries()
{
    static const QStringList entries{
        QStringLiteral("Fit To Page"), QStringLiteral("Fit To Width"), QStringLiteral("Custom"),
        QStringLiteral("25%"),         QStringLiteral("50%"),          QStringLiteral("75%"),
        QStringLiteral("100%"),        QStringLiteral("125%"),         QStringLiteral("150%"),
        QStringLiteral("200%"),        QStringLiteral("300%"),         QStringLiteral("400%"),
    };
    return entries;
}

// Between two pages, and around them when they do not fit.
constexpr int kPageGap = 20;
constexpr int kEdge = 10;

}  // namespace

/// One page of the preview, drawn scaled to the panel, with the grid when asked. Clicks go to
/// the zoom tool, drags to the hand tool.
class TPreviewPanel : public QWidget {
public:
    TPreviewPanel(TPreviewForm &form, QWidget *parent)
        : QWidget(parent)
        , m_form(form)
    {
        setObjectName(QStringLiteral("PreviewPanel"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    const TPrintPage *Page = nullptr;
    TPageMetrics Metrics;
    bool Grid = false;
    bool ZoomTool = false;
    bool HandTool = false;
    QScrollArea *Scroll = nullptr;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!Page || Metrics.pageWidth <= 0)
            return;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.save();
        painter.scale(double(width()) / Metrics.pageWidth, double(height()) / Metrics.pageHeight);
        PaintPage(painter, *Page);
        painter.restore();
        if (Grid) {
            painter.setPen(QColor(192, 192, 192));
            const double stepX = double(width()) * Metrics.horizontalDpi / Metrics.pageWidth;
            const double stepY = double(height()) * Metrics.verticalDpi / Metrics.pageHeight;
            for (double x = stepX; x < width(); x += stepX)
                painter.drawLine(QPointF(x, 0), QPointF(x, height()));
            for (double y = stepY; y < height(); y += stepY)
                painter.drawLine(QPointF(0, y), QPointF(width(), y));
        }
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        m_drag = event->globalPosition().toPoint();
        if (ZoomTool && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton))
            m_form.ZoomAt(mapTo(parentWidget(), event->position().toPoint()), event->button() == Qt::LeftButton);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!HandTool || !Scroll || !(event->buttons() & Qt::LeftButton))
            return;
        const QPoint now = event->globalPosition().toPoint();
        const QPoint delta = now - m_drag;
        m_drag = now;
        Scroll->horizontalScrollBar()->setValue(Scroll->horizontalScrollBar()->value() - delta.x());
        Scroll->verticalScrollBar()->setValue(Scroll->verticalScrollBar()->value() - delta.y());
    }

private:
    TPreviewForm &m_form;
    QPoint m_drag;
};

TPreviewForm::TPreviewForm(const TPreviewPrinter &engine, QPrinter *printer, QWidget *parent)
    : QDialog(parent)
    , m_engine(engine)
    , m_printer(printer)
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(engine.previewCaption.isEmpty() ? QStringLiteral("Print Preview") : engine.previewCaption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    layout->addLayout(bar);
    const auto tool = [this, bar](const char *name, const QString &text, bool checkable = false) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(text);
        button->setToolTip(text);
        button->setCheckable(checkable);
        bar->addWidget(button);
        return button;
    };

    m_zoomList = new QComboBox(this);
    m_zoomList->setObjectName(QStringLiteral("ZoomList"));
    m_zoomList->addItems(ZoomEntries());
    bar->addWidget(m_zoomList);
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    m_zoomLabel->setMinimumWidth(48);
    bar->addWidget(m_zoomLabel);
    m_onePage = tool("OnePageBtn", QStringLiteral("One Page"), true);
    m_twoPage = tool("TwoPagesBtn", QStringLiteral("Two Pages"), true);
    m_onePage->setChecked(true);
    m_first = tool("FirstPageBtn", QStringLiteral("First Page"));
    m_prior = tool("PriorPageBtn", QStringLiteral("Previous Page"));
    m_next = tool("NextPageBtn", QStringLiteral("Next Page"));
    m_last = tool("LastPageBtn", QStringLiteral("Last Page"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("PageLabel"));
    bar->addWidget(m_pageLabel);
    auto *goToLabel = new QLabel(QStringLiteral("Go to Page Number"), this);
    bar->addWidget(goToLabel);
    m_goTo = new QSpinBox(this);
    m_goTo->setObjectName(QStringLiteral("GoToPage"));
    m_goTo->setRange(1, std::max(1, engine.PageCount()));
    bar->addWidget(m_goTo);
    m_grid = tool("GridBtn", QStringLiteral("Grid"), true);
    m_grid->setChecked(engine.ShowGrid);
    m_zoomTool = tool("ZoomToolBtn", QStringLiteral("Zoom"), true);
    m_handTool = tool("HandToolBtn", QStringLiteral("Hand"), true);
    m_zoomTool->setChecked(true);
    bar->addStretch(1);
    auto *print = new QPushButton(QStringLiteral("&Print..."), this);
    print->setObjectName(QStringLiteral("PrintBtn"));
    print->setAutoDefault(false);
    print->setEnabled(printer != nullptr && engine.PageCount() > 0);
    bar->addWidget(print);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    bar->addWidget(close);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("PreviewScroll"));
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setWidgetResizable(false);
    m_sheet = new QWidget;
    m_sheet->setObjectName(QStringLiteral("PreviewSheet"));
    for (TPreviewPanel *&panel : m_panels) {
        panel = new TPreviewPanel(*this, m_sheet);
        panel->Scroll = m_scroll;
    }
    m_scroll->setWidget(m_sheet);
    layout->addWidget(m_scroll, 1);

    connect(m_zoomList, &QComboBox::currentTextChanged, this, [this] { UpdateZoom(); });
    connect(m_onePage, &QToolButton::clicked, this, [this] { SetTwoPages(false); });
    connect(m_twoPage, &QToolButton::clicked, this, [this] { SetTwoPages(true); });
    connect(m_first, &QToolButton::clicked, this, [this] { SetPage(1); });
    connect(m_prior, &QToolButton::clicked, this, [this] { SetPage(m_page - (m_twoPages ? 2 : 1)); });
    connect(m_next, &QToolButton::clicked, this, [this] { SetPage(m_page + (m_twoPages ? 2 : 1)); });
    connect(m_last, &QToolButton::clicked, this, [this] { SetPage(m_engine.PageCount()); });
    connect(m_goTo, &QSpinBox::valueChanged, this, [this](int page) { SetPage(page); });
    connect(m_grid, &QToolButton::toggled, this, [this] { UpdatePages(); });
    connect(m_zoomTool, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            m_handTool->setChecked(false);
        UpdatePages();
    });
    connect(m_handTool, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            m_zoomTool->setChecked(false);
        UpdatePages();
    });
    connect(print, &QPushButton::clicked, this, [this] {
        if (m_printer)
            PrintWithDialog(m_engine, *m_printer, this);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    const int zoom = engine.ZoomOption == zoFitToWidth ? 1 : engine.ZoomOption == zoCustom ? 2 : 0;
    m_zoomList->setCurrentIndex(zoom);
    if (engine.ZoomOption == zoTwoPages)
        SetTwoPages(true);
    resize(900, 700);
    UpdateZoom();
}

double TPreviewForm::ZoomFactorOf(const QString &text)
{
    if (!text.endsWith(QLatin1Char('%')))
        return 1.0;
    bool ok = false;
    const int percent = text.chopped(1).toInt(&ok);
    return ok && percent >= 25 && percent <= 400 ? percent / 100.0 : 1.0;
}

double TPreviewForm::ScreenDpi() const
{
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

void TPreviewForm::SetZoomText(const QString &text)
{
    const int index = m_zoomList->findText(text);
    if (index >= 0)
        m_zoomList->setCurrentIndex(index);
}

void TPreviewForm::SetZoom(double zoom)
{
    m_zoom = std::clamp(zoom, 0.05, 20.0);
    const QSignalBlocker blocker(m_zoomList);
    m_zoomList->setCurrentIndex(2);   // "Custom"
    UpdatePages();
}

void TPreviewForm::UpdateZoom()
{
    const TPageMetrics &m = m_engine.Metrics();
    const QString entry = m_zoomList->currentText();
    const QSize viewport = m_scroll->viewport()->size();
    const double dpi = ScreenDpi();
    if (entry == QLatin1String("Fit To Page") && m.pageHeight > 0)
        m_zoom = (viewport.height() - kPageGap) / dpi / (double(m.pageHeight) / m.verticalDpi);
    else if (entry == QLatin1String("Fit To Width") && m.pageWidth > 0)
        m_zoom = (viewport.width() - kPageGap) / dpi / (double(m.pageWidth) / m.horizontalDpi);
    else if (entry != QLatin1String("Custom"))
        m_zoom = ZoomFactorOf(entry);
    m_zoom = std::max(m_zoom, 0.05);
    UpdatePages();
}

QSize TPreviewForm::PanelSize() const
{
    const TPageMetrics &m = m_engine.Metrics();
    const double dpi = ScreenDpi();
    return QSize(int(dpi * m_zoom * m.pageWidth / std::max(1, m.horizontalDpi)),
                 int(dpi * m_zoom * m.pageHeight / std::max(1, m.verticalDpi)));
}

void TPreviewForm::SetPage(int page)
{
    const int count = m_engine.PageCount();
    m_page = std::clamp(page, 1, std::max(1, count));
    UpdatePages();
}

void TPreviewForm::SetTwoPages(bool on)
{
    m_twoPages = on;
    m_onePage->setChecked(!on);
    m_twoPage->setChecked(on);
    UpdatePages();
}

void TPreviewForm::UpdatePages()
{
    const int count = m_engine.PageCount();
    const QSize panel = PanelSize();
    const bool second = m_twoPages && m_page + 1 <= count;
    const int shown = second ? 2 : 1;
    const QSize sheet(panel.width() * shown + (shown - 1) * kPageGap, panel.height());
    const QSize viewport = m_scroll->viewport()->size();
    // Centred when they fit, else 10 pixels from the edge.
    const int left = sheet.width() + 2 * kEdge <= viewport.width() ? (viewport.width() - sheet.width()) / 2 : kEdge;
    const int top = sheet.height() + 2 * kEdge <= viewport.height() ? (viewport.height() - sheet.height()) / 2 : kEdge;
    m_sheet->resize(std::max(viewport.width(), sheet.width() + 2 * kEdge),
                    std::max(viewport.height(), sheet.height() + 2 * kEdge));
    for (int i = 0; i < 2; ++i) {
        TPreviewPanel *p = m_panels[i];
        const int page = m_page + i;
        const bool visible = count > 0 && (i == 0 || second);
        p->setVisible(visible);
        p->Page = visible ? &m_engine.Pages().at(page - 1) : nullptr;
        p->Metrics = m_engine.Metrics();
        p->Grid = m_grid->isChecked();
        p->ZoomTool = m_zoomTool->isChecked();
        p->HandTool = m_handTool->isChecked();
        p->setCursor(p->HandTool ? Qt::OpenHandCursor : p->ZoomTool ? Qt::CrossCursor : Qt::ArrowCursor);
        p->setGeometry(left + i * (panel.width() + kPageGap), top, panel.width(), panel.height());
        p->update();
    }
    m_zoomLabel->setText(QString::number(std::lround(m_zoom * 100)) + QLatin1Char('%'));
    m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(count > 0 ? m_page : 0).arg(count));
    m_first->setEnabled(m_page > 1);
    m_prior->setEnabled(m_page > 1);
    m_next->setEnabled(m_page + (second ? 1 : 0) < count);
    m_last->setEnabled(m_page + (second ? 1 : 0) < count);
    m_goTo->setEnabled(count > 1);
    const QSignalBlocker blocker(m_goTo);
    m_goTo->setValue(m_page);
}

void TPreviewForm::ZoomAt(const QPoint &sheetPoint, bool in)
{
    // The point keeps its place on the page and comes to the middle of the view.
    const QSize before = PanelSize();
    const QPoint panelTopLeft = m_panels[0]->pos();
    const double fx = before.width() > 0 ? double(sheetPoint.x() - panelTopLeft.x()) / before.width() : 0.5;
    const double fy = before.height() > 0 ? double(sheetPoint.y() - panelTopLeft.y()) / before.height() : 0.5;
    SetZoom(in ? m_zoom * 1.5 : m_zoom / 1.5);
    const QSize after = PanelSize();
    const QPoint target = m_panels[0]->pos() + QPoint(int(fx * after.width()), int(fy * after.height()));
    m_scroll->ensureVisible(target.x(), target.y(), m_scroll->viewport()->width() / 2,
                            m_scroll->viewport()->height() / 2);
}

QImage TPreviewForm::RenderPage(int page, int width) const
{
    const TPageMetrics &m = m_engine.Metrics();
    const QSize size(width, int(double(width) * m.pageHeight / std::max(1, m.pageWidth)));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (page < 1 || page > m_engine.PageCount() || m.pageWidth <= 0)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(double(size.width()) / m.pageWidth, double(size.height()) / m.pageHeight);
    PaintPage(painter, m_engine.Pages().at(page - 1));
    return image;
}

void TPreviewForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    UpdateZoom();
}

void TPreviewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    UpdateZoom();
}

}  // namespace kiv
