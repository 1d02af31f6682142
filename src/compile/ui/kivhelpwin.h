#pragma once

#include "kivhelp.h"

#include <QUrl>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

namespace kiv {

/// The help window: the pages of a help folder in a browser that honours anchors, beside the
/// folder's contents tree and its index list with a search field. One window serves every help
/// folder; it loads a folder's contents and index when a page of it is first shown.
class Tfkivhelpwin : public QWidget, public IHelpViewer {
    Q_OBJECT

public:
    explicit Tfkivhelpwin(QWidget *parent = nullptr);
    ~Tfkivhelpwin() override;

    /// The folder whose pages, contents and index are shown ("" before the first page).
    QString Folder() const { return m_folder; }
    /// The page shown, as a local file URL with the anchor as its fragment; empty while the
    /// window shows the note that a topic has no page.
    QUrl Source() const;
    const THelpSet &HelpSet() const { return m_set; }

    // IHelpViewer
    void ShowPage(const QString &folder, const THelpPage &page, const QString &topic) override;
    void ShowContents(const QString &folder) override;
    void ShowIndex(const QString &folder) override;
    void CloseAll() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildControls();
    void LoadFolder(const QString &folder);
    void Open(const THelpPage &page, const QString &topic);
    void Present();
    void IndexKeyEdited(const QString &text);
    void OpenIndexEntry(int row);

    QString m_folder;
    THelpSet m_set;
    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_indexKey = nullptr;
    QListWidget *m_index = nullptr;
    QTextBrowser *m_browser = nullptr;
    bool m_notePage = false;   /// the browser shows the note that a topic has no page
};

}  // namespace kiv
