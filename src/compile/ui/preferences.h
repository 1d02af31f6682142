#pragma once

#include "preferences_model.h"

#include <QDialog>

#include <functional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTabWidget;

namespace kiv {

/// A titled group of radio buttons whose value is the index of the checked item.
class TRadioGroup : public QWidget {
    Q_OBJECT

public:
    /// `name` is the objectName; the buttons are named name + "_" + item index.
    TRadioGroup(const QString &name, const QString &caption, const QStringList &items,
                QWidget *parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int Count() const;

signals:
    /// The user checked another item.
    void ItemChosen(int index);

private:
    QButtonGroup *m_buttons;
};

/// A page the "File Formats" dialog shows after "Compiler", told when the dialog is filled,
/// confirmed or cancelled (the file associations tab "System").
struct TPreferencesPage {
    QWidget *page = nullptr;
    QString caption;
    std::function<void()> fill;     /// each time the dialog is shown
    std::function<void()> apply;    /// on "OK", after the compile settings are stored
    std::function<void()> cancel;   /// on "Cancel"
};

/// The "File Formats" dialog, tab "Compiler": the compile options of TCompileOptions, stored in
/// the settings file section fileformats. "OK" writes every key and applies the further tabs;
/// "Cancel" re-reads the keys.
class Tpreferences : public QDialog {
    Q_OBJECT

public:
    /// `options` is the program's compile options (read here from `settingsFile` once).
    Tpreferences(TCompileOptions &options, QString settingsFile, QWidget *parent = nullptr);

    /// Adds a tab after "Compiler" (the dialog takes the widget).
    void AddPage(TPreferencesPage page);

    /// The help button shows this topic ("CompileOptions"); disabled while unset.
    void SetHelp(std::function<void(const QString &topic)> help);

    /// The "OK" and "Cancel" actions, as the buttons run them.
    void OkClick();
    void CancelClick();

    TCompileOptions &Options() { return m_options; }

    /// Cancel, the close box and Escape: the keys are read again and the further tabs cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BuildControls();
    QWidget *BuildCompilerTab();
    void ShowOptions();
    void ReadControls();
    void ErrorFormatChosen(int index);

    TCompileOptions &m_options;
    QString m_settingsFile;
    std::vector<TPreferencesPage> m_pages;
    std::function<void(const QString &)> m_help;

    QTabWidget *m_tabs = nullptr;
    TRadioGroup *m_debug = nullptr;
    TRadioGroup *m_list = nullptr;
    TRadioGroup *m_object = nullptr;
    TRadioGroup *m_error = nullptr;
    QCheckBox *m_errorsAll = nullptr;
    QCheckBox *m_warningsAll = nullptr;
    QCheckBox *m_keepTre = nullptr;
    QCheckBox *m_keepSta = nullptr;
    QCheckBox *m_keepScratch = nullptr;
    QComboBox *m_noErrors = nullptr;
    QComboBox *m_onError = nullptr;
    QPushButton *m_helpButton = nullptr;
};

}  // namespace kiv
