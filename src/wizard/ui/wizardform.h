#pragma once

// What both wizard windows share: a tab strip over scrollable pages, one widget per control of a
// TControlModel (objectName = the control's name) laid out in two columns with group boxes, the
// buttons OK, Cancel, Help and "View Code", and the showing of the model's state.

#include "kivwizard_controls.h"

#include <QDialog>
#include <QHash>

#include <functional>

class QFormLayout;
class QStackedWidget;
class QTabBar;
class QTableWidget;

namespace kiv {

class TWizardForm : public QDialog {
    Q_OBJECT

public:
    /// The widget of a control.
    QWidget *ControlWidget(const QString &name) const { return m_widgets.value(name); }
    /// Shows every control's state from the model.
    void ShowModel();
    /// Selects a page (tab) and runs its refresh.
    void SelectPage(int page);

    /// Shows a help topic ("ProjectWizard"); set by the main window.
    std::function<void(const QString &topic)> showHelp;

protected:
    /// `viewName` is the objectName of the "View Code" button.
    TWizardForm(TControlModel &model, const QStringList &pages, const QString &viewName, QWidget *parent);

    /// Creates the pages and the controls' widgets and starts following the model's changes
    /// (call once, from the derived constructor).
    void BuildPages();
    /// The page the model shows, and showing a page in the model.
    virtual int ModelPage() const = 0;
    virtual void ShowModelPage(int page) = 0;
    /// The text of the "View Code" window for the current page.
    virtual QString PreviewCurrentPage() = 0;
    /// Called after a control's widget is placed (a window adds its own widgets there).
    virtual void ControlPlaced(const TWizardControl &control, QWidget *widget) {}
    /// Shows the window's own widgets.
    virtual void ShowOwnWidgets() {}
    /// Lists shown as a group of radio buttons.
    virtual bool IsRadioList(const QString &name) const;
    /// Number of grid columns of a group box (0: a form).
    virtual int GridColumns(const QString &group) const { return 0; }
    /// True for a control that starts the right-hand column of its page.
    virtual bool StartsRightColumn(const QString &name) const { return false; }
    /// True for a page whose controls all stay in the left column.
    virtual bool SingleColumn(int page) const { return false; }

    /// The pin table `pintable` at the top of `page`: "Pins", "I/O Type" (a list of `typeNames`
    /// per row), with `pullups` a "PU" check column, and "Identifiers".
    QTableWidget *CreatePinTable(int page, const QStringList &typeNames, bool pullups);
    /// Shows the model's pins in the pin table.
    void ShowPinTable();

    /// The form of a page's column (0 left, 1 right).
    QFormLayout *Column(int page, int column) const;
    QWidget *Page(int page) const;

    TControlModel &m_model;
    QHash<QString, QWidget *> m_widgets;
    bool m_showing = false;

private:
    QWidget *MakeControl(const TWizardControl &control, QWidget *parent);

    QStringList m_pageCaptions;
    QTableWidget *m_pinTable = nullptr;
    QStringList m_typeNames;
    bool m_pullups = false;
    QTabBar *m_tabs = nullptr;
    QStackedWidget *m_pages = nullptr;
    QList<QList<QFormLayout *>> m_columns;
};

}  // namespace kiv
