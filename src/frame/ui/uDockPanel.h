#pragma once

#include "uDockSite.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace kiv {

class TDockTree;

/// A dock site whose dock manager arranges the docked windows in zones, each with a grabber
/// bar (caption and close button): the dock panels and the side-by-side group window.
class TDockZoneSite : public QWidget, public TDockSite {
    Q_OBJECT

public:
    explicit TDockZoneSite(QWidget *parent = nullptr);
    ~TDockZoneSite() override;

    TDockTree *DockManager() const override { return m_manager.get(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    void InsertClient(TDockClient *client, TAlign side, TDockClient *dropOn) override;
    void RemoveClient(TDockClient *client) override;
    void ClientVisibilityChanged(TDockClient *client) override;
    void ClientCaptionChanged(TDockClient *client) override;

private:
    std::unique_ptr<TDockTree> m_manager;
};

/// One of the main window's dock panels. Its size across the main window (width of a left or
/// right panel, height of a bottom panel) is set by SetPanelSize; 0 collapses it.
class TDockPanel : public TDockZoneSite {
    Q_OBJECT

public:
    /// `align`: alLeft, alBottom or alRight, the side of the main window the panel sits on.
    explicit TDockPanel(TAlign align, QWidget *parent = nullptr);
    ~TDockPanel() override;

    TAlign SiteAlign() const override { return m_align; }
    TDockSiteKind SiteKind() const override { return skPanel; }
    QString SiteClassName() const override { return QStringLiteral("TPanel"); }

    /// Width (left, right) or height (bottom) of the panel.
    int PanelSize() const { return m_panelSize; }
    void SetPanelSize(int size);

    /// Raised after every SetPanelSize, by the program or by the panel's splitter.
    std::function<void(TDockPanel *)> OnResize;

private:
    TAlign m_align;
    int m_panelSize = 0;
};

/// The bar between a dock panel and the page area; dragging it resizes the panel.
class TDockSplitter : public QWidget {
    Q_OBJECT

public:
    static constexpr int kThickness = 4;
    static constexpr int kMinPanelSize = 30;

    TDockSplitter(TDockPanel *panel, QWidget *parent = nullptr);
    TDockPanel *Panel() const { return m_panel; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TDockPanel *m_panel;
    QPoint m_pressPos;
    int m_startSize = 0;
    bool m_dragging = false;
};

/// The main window's client area: the page area in the middle, the left and right panels
/// beside it and the bottom panel under all three, each with its splitter. Panels and
/// splitters start collapsed and hidden.
class TDockArea : public QWidget {
    Q_OBJECT

public:
    /// Takes `central` (the page area) into the middle.
    explicit TDockArea(QWidget *central, QWidget *parent = nullptr);

    QWidget *Central() const { return m_central; }
    TDockPanel *LeftPanel() const { return m_left; }
    TDockPanel *BottomPanel() const { return m_bottom; }
    TDockPanel *RightPanel() const { return m_right; }
    TDockSplitter *LeftSplitter() const { return m_leftSplitter; }
    TDockSplitter *BottomSplitter() const { return m_bottomSplitter; }
    TDockSplitter *RightSplitter() const { return m_rightSplitter; }

private:
    QWidget *m_central;
    TDockPanel *m_left;
    TDockPanel *m_bottom;
    TDockPanel *m_right;
    TDockSplitter *m_leftSplitter;
    TDockSplitter *m_bottomSplitter;
    TDockSplitter *m_rightSplitter;
};

}  // namespace kiv
