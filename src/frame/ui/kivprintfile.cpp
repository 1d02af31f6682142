#include "kivprintfile.h"

#include "kivini.h"
#include "kivpagesetup.h"
#include "kivpreview.h"
#include "kivprompt.h"
#include "pc_dirs.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kiv {

TFPrintFile::TFPrintFile(QPrinter *printer, QWidget *parent)
    : QDialog(parent)
    , m_printer(printer)
    , m_engine(m_measure)
{
    setObjectName(QStringLiteral("FPrintFile"));
    setWindowTitle(QStringLiteral("Print File"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (m_printer)
        AttachPrinter(m_engine, *m_printer);
    {
        TIniFile ini(SettingsFilePath());
        m_settings.ReadPrint(ini);
        TPageSetupForm::LoadStoredValues(ini, m_engine.TextOptions, m_engine.Orientation);
    }

    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    layout->addLayout(left, 1);
    m_selected = new QCheckBox(QStringLiteral("Print S&elected Lines"), this);
    m_selected->setObjectName(QStringLiteral("SelectedLinesChk"));
    m_selected->setEnabled(false);
    left->addWidget(m_selected);
    auto *options = new QGroupBox(QStringLiteral("Options"), this);
    auto *optionsLayout = new QVBoxLayout(options);
    const auto check = [&](const char *name, const QString &caption, bool on) {
        auto *box = new QCheckBox(caption, options);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(on);
        optionsLayout->addWidget(box);
        return box;
    };
    m_syntax = check("SyntaxPrintChk", QStringLiteral("&Syntax print"), m_settings.SyntaxPrint);
    m_lineNumbers = check("LineNumbersChk", QStringLiteral("Print &line numbers"), m_settings.PrintLineNumber);
    m_fit = check("FitToPageChk", QStringLiteral("&Fit to page"), false);
    m_colors = check("PrintColorsChk", QStringLiteral("Print &colors"), false);
    m_colors->hide();
    left->addWidget(options);
    auto *margins = new QGroupBox(QStringLiteral("Margins (Inches)"), this);
    auto *marginForm = new QFormLayout(margins);
    m_left = MarginBox("MarginLeft", 1.0);
    m_top = MarginBox("MarginTop", 0.5);
    m_right = MarginBox("MarginRight", 1.0);
    m_bottom = MarginBox("MarginBottom", 0.5);
    marginForm->addRow(QStringLiteral("L&eft:"), m_left);
    marginForm->addRow(QStringLiteral("&Top:"), m_top);
    marginForm->addRow(QStringLiteral("&Right:"), m_right);
    marginForm->addRow(QStringLiteral("&Bottom:"), m_bottom);
    left->addWidget(margins);

    auto *buttons = new QVBoxLayout;
    const auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    QPushButton *ok = button("OkBtn", QStringLiteral("&Ok"));
    ok->setDefault(true);
    QPushButton *preview = button("PreviewBtn", QStringLiteral("&Preview"));
    QPushButton *cancel = button("CancelBtn", QStringLiteral("&Cancel"));
    QPushButton *setup = button("SetupBtn", QStringLiteral("Se&tup"));
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TFPrintFile::OkClick);
    connect(preview, &QPushButton::clicked, this, &TFPrintFile::PreviewClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(setup, &QPushButton::clicked, this, &TFPrintFile::SetupClick);

    ShowPreview = [this](TPreviewPrinter &engine) {
        TPreviewForm form(engine, m_printer, this);
        form.showMaximized();
        form.exec();
    };
    PageSetup = [this](TPreviewPrinter &engine) {
        TPageSetupForm form(m_printer, this);
        form.SetValues(engine.TextOptions, engine.Orientation);
        if (form.exec() != QDialog::Accepted)
            return false;
        form.GetValues(engine.TextOptions, engine.Orientation);
        return true;
    };
}

TFPrintFile::~TFPrintFile()
{
    // The check boxes are remembered however the dialog ends.
    m_settings.SyntaxPrint = m_syntax->isChecked();
    m_settings.PrintLineNumber = m_lineNumbers->isChecked();
    TIniFile ini(SettingsFilePath());
    m_settings.WritePrint(ini);
}

QDoubleSpinBox *TFPrintFile::MarginBox(const char *name, double value)
{
    auto *box = new QDoubleSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setDecimals(2);
    box->setRange(0, 99);
    box->setSingleStep(0.25);
    box->setValue(value);
    return box;
}

void TFPrintFile::SetSource(const IPrintSource *source, const QString &title)
{
    m_source = source;
    m_title = title;
    m_paths.clear();
}

void TFPrintFile::SetFileList(const QStringList &paths, const TPrintSourceOpener &open)
{
    m_source = nullptr;
    m_paths = paths;
    m_open = open;
}

void TFPrintFile::showEvent(QShowEvent *event)
{
    if (!m_shown)
        FormShow();
    QDialog::showEvent(event);
}

void TFPrintFile::FormShow()
{
    m_shown = true;
    {
        TIniFile ini(SettingsFilePath());
        m_settings.ReadPrinter(ini);
    }
    m_left->setValue(m_settings.MarginLeft);
    m_right->setValue(m_settings.MarginRight);
    m_top->setValue(m_settings.MarginTop);
    m_bottom->setValue(m_settings.MarginBottom);
    m_settings.ApplyTo(m_engine.TextOptions);
    if (!m_source) {
        setWindowTitle(QStringLiteral("Print Project"));
        return;
    }
    if (m_source->HasSelection()) {
        m_selected->setEnabled(true);
        m_selected->setChecked(true);
    }
    if (!m_source->CanSyntaxPrint()) {
        m_syntax->setChecked(false);
        m_syntax->setEnabled(false);
    }
    if (m_source->IsCompareResult()) {
        setWindowTitle(QStringLiteral("Print Comparing File"));
        m_colors->show();
        m_colors->setEnabled(true);
    }
}

TPrintJob TFPrintFile::Job(const QString &title) const
{
    TPrintJob job;
    job.title = title;
    job.selectedLines = m_selected->isEnabled() && m_selected->isChecked();
    job.syntaxPrint = m_syntax->isEnabled() && m_syntax->isChecked();
    job.lineNumbers = m_lineNumbers->isChecked();
    job.fitToPage = m_fit->isChecked();
    job.printColors = !m_colors->isHidden() && m_colors->isChecked();
    job.tabSize = m_tabSize;
    job.marginLeft = m_left->value();
    job.marginTop = m_top->value();
    job.marginRight = m_right->value();
    job.marginBottom = m_bottom->value();
    job.printLinesOverride = m_printLines;
    return job;
}

void TFPrintFile::Paginate()
{
    if (!m_shown)
        FormShow();
    m_engine.Now = QDateTime::currentDateTime();
    m_engine.StartPagination();
    if (m_source) {
        m_engine.Title = m_title;
        TPrintDocument(m_engine, *m_source, Job(m_title)).Print();
    } else {
        m_engine.Title = QStringLiteral("Print Project");
        const QString stamp = PrintDate(m_engine.Now) + QLatin1Char(' ') + PrintTime(m_engine.Now);
        for (const QString &path : std::as_const(m_paths)) {
            std::unique_ptr<IPrintSource> source = m_open ? m_open(path) : nullptr;
            if (!source)
                continue;
            const QString title = path + QStringLiteral("    ") + stamp;
            TPrintDocument(m_engine, *source, Job(title)).Print();
            // A file without lines records nothing and so leaves no empty page behind.
            if (m_engine.Touched())
                m_engine.NewPage();
        }
    }
    m_engine.EndPagination();
}

bool TFPrintFile::OkClick()
{
    Paginate();
    if (m_printer) {
        QString error;
        if (!PrintAllPages(m_engine, *m_printer, 0, 0, 1, &error)) {
            ShowError(error);
            return false;
        }
    }
    m_settings.MarginLeft = m_left->value();
    m_settings.MarginRight = m_right->value();
    m_settings.MarginTop = m_top->value();
    m_settings.MarginBottom = m_bottom->value();
    {
        TIniFile ini(SettingsFilePath());
        m_settings.WritePrinter(ini);
    }
    accept();
    return true;
}

void TFPrintFile::PreviewClick()
{
    Paginate();
    m_engine.previewCaption = QStringLiteral("Print Preview");
    m_engine.Title = m_source ? m_title : QStringLiteral("Print Project");
    if (ShowPreview)
        ShowPreview(m_engine);
}

void TFPrintFile::SetupClick()
{
    TTextOptions &o = m_engine.TextOptions;
    o.MarginLeft = m_left->value();
    o.MarginRight = m_right->value();
    o.MarginTop = m_top->value();
    o.MarginBottom = m_bottom->value();
    if (PageSetup)
        PageSetup(m_engine);
    m_left->setValue(o.MarginLeft);
    m_right->setValue(o.MarginRight);
    m_top->setValue(o.MarginTop);
    m_bottom->setValue(o.MarginBottom);
}

}  // namespace kiv
