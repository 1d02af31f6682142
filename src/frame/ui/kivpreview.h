#pragma once

#include "kivprint_model.h"

#include <QDialog>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace kiv {

class TPreviewPanel;

/// The print preview (`TPreviewForm`): the recorded pages drawn scaled, one or two at a time,
/// with the zoom list, page buttons, "Go to Page Number", a grid, zoom and hand tools,
/// "&Print..." and "&Close". Shown maximised and modal.
class TPreviewForm : public QDialog {
    Q_OBJECT

public:
    TPreviewForm(const TPreviewPrinter &engine, QPrinter *printer, QWidget *parent = nullptr);

    /// The zoom as a factor (1.0 = the page at its real size on the screen).
    double Zoom() const { return m_zoom; }
    /// The first page shown (1-based).
    int Page() const { return m_page; }
    void SetPage(int page);
    bool TwoPages() const { return m_twoPages; }
    void SetTwoPages(bool on);
    /// Selects an entry of the zoom list by its text ("Fit To Page", "50%", ...).
    void SetZoomText(const QString &text);
    /// Sets a custom zoom factor.
    void SetZoom(double zoom);
    /// The zoom tool: a left click zooms in by 1.5, a right click out, around the point.
    void ZoomAt(const QPoint &panelPoint, bool in);
    /// The size of one page panel in screen pixels at the current zoom.
    QSize PanelSize() const;
    /// A page as the preview draws it, `width` pixels wide (for tests and checks).
    QImage RenderPage(int page, int width) const;

    /// The factor of a zoom list entry: "25%" .. "400%" their percentage, any other 1.0.
    static double ZoomFactorOf(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void UpdateZoom();
    void UpdatePages();
    double ScreenDpi() const;

    const TPreviewPrinter &m_engine;
    QPrinter *m_printer;
    double m_zoom = 1.0;
    int m_page = 1;
    bool m_twoPages = false;
    QComboBox *m_zoomList = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    QSpinBox *m_goTo = nullptr;
    QToolButton *m_first = nullptr;
    QToolButton *m_prior = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QToolButton *m_grid = nullptr;
    QToolButton *m_zoomTool = nullptr;
    QToolButton *m_handTool = nullptr;
    QToolButton *m_onePage = nullptr;
    QToolButton *m_twoPage = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_sheet = nullptr;
    TPreviewPanel *m_panels[2] = {nullptr, nullptr};
};

}  // namespace kiv
