#pragma once

#include "uDockSite.h"

#include <QTabWidget>

#include <functional>

namespace kiv {

/// A page control that is a dock site: each docked window becomes a page, captioned with the
/// window's caption; a hidden window's tab is hidden; dragging a tab drags its window out.
class TDockPageControl : public QTabWidget, public TDockSite {
    Q_OBJECT

public:
    explicit TDockPageControl(QWidget *parent = nullptr);
    ~TDockPageControl() override;

    QString SiteClassName() const override { return QStringLiteral("TPageControl"); }
    TDockSiteKind SiteKind() const override { return m_group ? skTabGroup : skOther; }
    TDockClient *GroupWindow() const override { return m_group; }
    /// Makes this the page control of a tab group window.
    void SetGroupWindow(TDockClient *group) { m_group = group; }
    void UpdateGroupCaption(TDockClient *leaving) override;

    /// The window on page `index`, on the active page, and the page of a window (-1: none).
    TDockClient *PageClient(int index) const;
    TDockClient *ActivePageClient() const;
    int PageIndexOf(const TDockClient *client) const;
    /// Makes the page of `client` the active one.
    void ActivatePage(TDockClient *client);

    /// Raised when another page becomes the active one.
    std::function<void(TDockPageControl *)> OnChange;
    /// Raised when the mouse is pressed on the tabs.
    std::function<void(TDockPageControl *)> OnMouseDown;
    /// Sets the group window's caption (UpdateGroupCaption).
    std::function<void(TDockClient *leaving)> OnUpdateCaption;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void InsertClient(TDockClient *client, TAlign side, TDockClient *dropOn) override;
    void RemoveClient(TDockClient *client) override;
    void ClientVisibilityChanged(TDockClient *client) override;
    void ClientCaptionChanged(TDockClient *client) override;

private:
    TDockClient *m_group = nullptr;
    int m_pressedTab = -1;
    QPoint m_pressPos;
};

}  // namespace kiv
