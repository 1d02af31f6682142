#include "preferences.h"

#include "kivini.h"
#include "kivprompt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kiv {

TRadioGroup::TRadioGroup(const QString &name, const QString &caption, const QStringList &items,
                         QWidget *parent)
    : QWidget(parent)
    , m_buttons(new QButtonGroup(this))
{
    setObjectName(name);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *box = new QGroupBox(caption, this);
    outer->addWidget(box);
    auto *layout = new QVBoxLayout(box);
    layout->setSpacing(2);
    for (int n = 0; n < items.size(); ++n) {
        auto *button = new QRadioButton(items[n], box);
        button->setObjectName(QStringLiteral("%1_%2").arg(objectName()).arg(n));
        m_buttons->addButton(button, n);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    connect(m_buttons, &QButtonGroup::idClicked, this, &TRadioGroup::ItemChosen);
}

int TRadioGroup::ItemIndex() const
{
    return m_buttons->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton *button = m_buttons->button(index))
        button->setChecked(true);
}

int TRadioGroup::Count() const
{
    return int(m_buttons->buttons().size());
}

Tpreferences::Tpreferences(TCompileOptions &options, QString settingsFile, QWidget *parent)
    : QDialog(parent)
    , m_options(options)
    , m_settingsFile(std::move(settingsFile))
{
    setObjectName(QStringLiteral("preferences"));
    setWindowTitle(QStringLiteral("File Formats"));
    BuildControls();
    const TIniFile ini(m_settingsFile);
    m_options.Read(ini);
    ShowOptions();
}

void Tpreferences::BuildControls()
{
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("PageControl1"));
    m_tabs->addTab(BuildCompilerTab(), QStringLiteral("Compiler"));
    layout->addWidget(m_tabs, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okbutton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelbutton"));
    m_helpButton = new QPushButton(QStringLiteral("Help"), this);
    m_helpButton->setObjectName(QStringLiteral("helpbutton"));
    m_helpButton->setEnabled(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(m_helpButton);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &Tpreferences::OkClick);
    connect(cancel, &QPushButton::clicked, this, &Tpreferences::CancelClick);
    connect(m_helpButton, &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help(QStringLiteral("CompileOptions"));
    });
}

QWidget *Tpreferences::BuildCompilerTab()
{
    auto *tab = new QWidget;
    tab->setObjectName(QStringLiteral("CompilerTab"));
    auto *grid = new QGridLayout(tab);

    auto radio = [tab](const char *name, const QString &caption, const QStringList &items) {
        return new TRadioGroup(QLatin1String(name), caption, items, tab);
    };
    m_debug = radio("debug_format", QStringLiteral("Debug File"),
                    TCompileOptions::DebugFormatItems());
    m_list = radio("list_format", QStringLiteral("List File"), TCompileOptions::ListFormatItems());
    m_object = radio("object_format", QStringLiteral("Object File"),
                     TCompileOptions::ObjectFormatItems());
    m_error = radio("error_format", QStringLiteral("Error File"),
                    TCompileOptions::ErrorFormatItems());

    auto check = [tab](const char *name, const QString &caption) {
        auto *box = new QCheckBox(caption, tab);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    m_errorsAll = check("errors_all", QStringLiteral("Show All errors"));
    m_warningsAll = check("warnings_all", QStringLiteral("Show Warnings"));
    m_keepTre = check("keeptre", QStringLiteral("Call tree file"));
    m_keepSta = check("keepsta", QStringLiteral("Statistics file"));
    m_keepScratch = check("keepscratch", QStringLiteral("Scrach files"));

    auto *errorColumn = new QVBoxLayout;
    errorColumn->addWidget(m_error);
    errorColumn->addWidget(m_errorsAll);
    errorColumn->addWidget(m_warningsAll);
    errorColumn->addStretch(1);

    auto *keep = new QGroupBox(QStringLiteral("Keep"), tab);
    keep->setObjectName(QStringLiteral("keepgroup"));
    auto *keepLayout = new QVBoxLayout(keep);
    keepLayout->addWidget(m_keepTre);
    keepLayout->addWidget(m_keepSta);
    keepLayout->addWidget(m_keepScratch);

    auto *stayUp = new QGroupBox(QStringLiteral("Compile Window Up"), tab);
    stayUp->setObjectName(QStringLiteral("stayupgroup"));
    auto *stayLayout = new QFormLayout(stayUp);
    m_noErrors = new QComboBox(stayUp);
    m_noErrors->setObjectName(QStringLiteral("noerrors"));
    m_noErrors->addItems(TCompileOptions::NoErrorsItems());
    m_onError = new QComboBox(stayUp);
    m_onError->setObjectName(QStringLiteral("onerror"));
    m_onError->addItems(TCompileOptions::OnErrorItems());
    stayLayout->addRow(QStringLiteral("No Errors:"), m_noErrors);
    stayLayout->addRow(QStringLiteral("On Error:"), m_onError);

    grid->addWidget(m_debug, 0, 0);
    grid->addWidget(m_list, 1, 0);
    grid->addWidget(m_object, 0, 1);
    grid->addLayout(errorColumn, 1, 1);
    grid->addWidget(keep, 0, 2);
    grid->addWidget(stayUp, 1, 2, Qt::AlignTop);

    connect(m_error, &TRadioGroup::ItemChosen, this, &Tpreferences::ErrorFormatChosen);
    return tab;
}

void Tpreferences::AddPage(TPreferencesPage page)
{
    m_tabs->addTab(page.page, page.caption);
    m_pages.push_back(std::move(page));
}

void Tpreferences::SetHelp(std::function<void(const QString &)> help)
{
    m_help = std::move(help);
    m_helpButton->setEnabled(bool(m_help));
}

void Tpreferences::ShowOptions()
{
    m_debug->SetItemIndex(m_options.debugFormat);
    m_list->SetItemIndex(m_options.listFormat);
    m_object->SetItemIndex(m_options.objectFormat);
    m_error->SetItemIndex(m_options.errorFormat);
    m_errorsAll->setChecked(m_options.allErrors);
    m_warningsAll->setChecked(m_options.allWarnings);
    m_errorsAll->setEnabled(m_options.ShowBoxesEnabled());
    m_warningsAll->setEnabled(m_options.ShowBoxesEnabled());
    m_keepTre->setChecked(m_options.keepTre);
    m_keepSta->setChecked(m_options.keepSta);
    m_keepScratch->setChecked(m_options.keepScratch);
    m_noErrors->setCurrentIndex(m_options.noErrors);
    m_onError->setCurrentIndex(m_options.onError);
}

void Tpreferences::ReadControls()
{
    m_options.debugFormat = m_debug->ItemIndex();
    m_options.listFormat = m_list->ItemIndex();
    m_options.objectFormat = m_object->ItemIndex();
    m_options.errorFormat = m_error->ItemIndex();
    m_options.allErrors = m_errorsAll->isChecked();
    m_options.allWarnings = m_warningsAll->isChecked();
    m_options.keepTre = m_keepTre->isChecked();
    m_options.keepSta = m_keepSta->isChecked();
    m_options.keepScratch = m_keepScratch->isChecked();
    m_options.noErrors = m_noErrors->currentIndex();
    m_options.onError = m_onError->currentIndex();
}

void Tpreferences::ErrorFormatChosen(int index)
{
    TCompileOptions choice;
    choice.allErrors = m_errorsAll->isChecked();
    choice.allWarnings = m_warningsAll->isChecked();
    choice.SetErrorFormat(index);
    m_errorsAll->setChecked(choice.allErrors);
    m_warningsAll->setChecked(choice.allWarnings);
    m_errorsAll->setEnabled(choice.ShowBoxesEnabled());
    m_warningsAll->setEnabled(choice.ShowBoxesEnabled());
}

void Tpreferences::showEvent(QShowEvent *event)
{
    ShowOptions();
    for (const TPreferencesPage &page : m_pages) {
        if (page.fill)
            page.fill();
    }
    QDialog::showEvent(event);
}

void Tpreferences::OkClick()
{
    ReadControls();
    TIniFile ini(m_settingsFile);
    if (!m_options.Write(ini))
        ShowError(QStringLiteral("Cannot write the settings file ") + m_settingsFile);
    for (const TPreferencesPage &page : m_pages) {
        if (page.apply)
            page.apply();
    }
    accept();
}

void Tpreferences::CancelClick()
{
    reject();
}

void Tpreferences::reject()
{
    const TIniFile ini(m_settingsFile);
    m_options.Read(ini);
    ShowOptions();
    for (const TPreferencesPage &page : m_pages) {
        if (page.cancel)
            page.cancel();
    }
    QDialog::reject();
}

}  // namespace kiv
