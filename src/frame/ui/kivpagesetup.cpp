#include "kivpagesetup.h"

#include "kivini.h"
#include "kivprompt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

const QString kSection = QStringLiteral("PageSetupForm");

// Alignment radio buttons in reading order, with the values of the alignment type.
const QStringList kAlignCaptions{QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")};
const QList<int> kAlignIds{paLeft, paCenter, paRight};

}  // namespace

TPageSetupForm::TPageSetupForm(QPrinter *printer, QWidget *parent)
    : QDialog(parent)
    , m_printer(printer)
{
    setObjectName(QStringLiteral("PageSetupForm"));
    setWindowTitle(QStringLiteral("Page Setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    auto *margins = new QGroupBox(QStringLiteral("Margins"), this);
    auto *marginForm = new QFormLayout(margins);
    m_left = Margin("MarginLeft");
    m_top = Margin("MarginTop");
    m_right = Margin("MarginRight");
    m_bottom = Margin("MarginBottom");
    marginForm->addRow(QStringLiteral("Left:"), m_left);
    marginForm->addRow(QStringLiteral("Top:"), m_top);
    marginForm->addRow(QStringLiteral("Right:"), m_right);
    marginForm->addRow(QStringLiteral("Bottom:"), m_bottom);
    top->addWidget(margins);
    auto *orientation = new QGroupBox(QStringLiteral("Orientation"), this);
    auto *orientationLayout = new QVBoxLayout(orientation);
    m_orientation = Radio("Orientation", {QStringLiteral("&Portrait"), QStringLiteral("Land&scape")}, {0, 1},
                          orientationLayout);
    top->addWidget(orientation);
    layout->addLayout(top);

    const auto section = [this, layout](const QString &title, const char *prefix, QLineEdit *&text,
                                        QDoubleSpinBox *&margin, QButtonGroup *&align, QCheckBox *&line) {
        auto *box = new QGroupBox(title, this);
        auto *grid = new QGridLayout(box);
        text = new QLineEdit(box);
        text->setObjectName(QString::fromLatin1(prefix) + QStringLiteral("Text"));
        grid->addWidget(new QLabel(QStringLiteral("Text:"), box), 0, 0);
        grid->addWidget(text, 0, 1, 1, 3);
        margin = Margin((QByteArray(prefix) + "Margin").constData());
        grid->addWidget(new QLabel(QStringLiteral("Margin:"), box), 1, 0);
        grid->addWidget(margin, 1, 1);
        auto *alignRow = new QHBoxLayout;
        align = Radio((QByteArray(prefix) + "Align").constData(), kAlignCaptions, kAlignIds, alignRow);
        grid->addLayout(alignRow, 1, 2);
        line = new QCheckBox(QStringLiteral("Draw Line"), box);
        line->setObjectName(QString::fromLatin1(prefix) + QStringLiteral("Line"));
        grid->addWidget(line, 1, 3);
        layout->addWidget(box);
    };
    section(QStringLiteral("Header"), "Header", m_header, m_headerMargin, m_headerAlign, m_headerLine);
    section(QStringLiteral("Footer"), "Footer", m_footer, m_footerMargin, m_footerAlign, m_footerLine);

    auto *number = new QGroupBox(QStringLiteral("Page Number"), this);
    auto *numberGrid = new QGridLayout(number);
    auto *positionBox = new QGroupBox(QStringLiteral("Position"), number);
    auto *position = new QHBoxLayout(positionBox);
    m_pageNumber = Radio("PageNumber", {QStringLiteral("Bottom"), QStringLiteral("Top"), QStringLiteral("None")},
                         {pnBottom, pnTop, pnNone}, position);
    numberGrid->addWidget(positionBox, 0, 0);
    auto *alignBox = new QGroupBox(QStringLiteral("Alignment"), number);
    auto *numberAlign = new QHBoxLayout(alignBox);
    m_pageNumAlign = Radio("PageNumAlign", kAlignCaptions, kAlignIds, numberAlign);
    numberGrid->addWidget(alignBox, 0, 1);
    numberGrid->addWidget(new QLabel(QStringLiteral("Page Number Text (%d = Page)"), number), 1, 0);
    m_pageNumText = new QLineEdit(number);
    m_pageNumText->setObjectName(QStringLiteral("PageNumText"));
    numberGrid->addWidget(m_pageNumText, 1, 1);
    layout->addWidget(number);

    auto *reminder = new QLabel(QStringLiteral("%p = file path    %f = file name    %d = date    %t = time"), this);
    reminder->setObjectName(QStringLiteral("MacroReminder"));
    layout->addWidget(reminder);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *setup = buttons->addButton(QStringLiteral("Printer &Setup..."), QDialogButtonBox::ActionRole);
    setup->setObjectName(QStringLiteral("PrinterSetupBtn"));
    QPushButton *defaults = buttons->addButton(QStringLiteral("Set &Default"), QDialogButtonBox::ResetRole);
    defaults->setObjectName(QStringLiteral("SetDefaultBtn"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(defaults, &QPushButton::clicked, this, &TPageSetupForm::SetDefaultClick);
    connect(setup, &QPushButton::clicked, this, [this] {
        if (!m_printer)
            return;
        QPageSetupDialog dialog(m_printer, this);
        dialog.exec();
    });
    SetValues(TTextOptions(), 0);
}

QDoubleSpinBox *TPageSetupForm::Margin(const char *name)
{
    auto *box = new QDoubleSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setDecimals(3);
    box->setRange(0, 99);
    box->setSingleStep(0.125);
    return box;
}

QButtonGroup *TPageSetupForm::Radio(const char *name, const QStringList &captions, const QList<int> &ids,
                                    QLayout *into)
{
    auto *group = new QButtonGroup(this);
    group->setObjectName(QString::fromLatin1(name));
    for (qsizetype i = 0; i < captions.size(); ++i) {
        auto *button = new QRadioButton(captions.at(i), this);
        button->setObjectName(QString::fromLatin1(name) + QString::number(ids.at(i)));
        group->addButton(button, ids.at(i));
        into->addWidget(button);
    }
    return group;
}

void TPageSetupForm::SetValues(const TTextOptions &o, int orientation)
{
    m_left->setValue(o.MarginLeft);
    m_top->setValue(o.MarginTop);
    m_right->setValue(o.MarginRight);
    m_bottom->setValue(o.MarginBottom);
    m_orientation->button(orientation == 1 ? 1 : 0)->setChecked(true);
    m_header->setText(o.Header);
    m_headerMargin->setValue(o.HeaderMargin);
    m_headerAlign->button(o.HeaderAlign)->setChecked(true);
    m_headerLine->setChecked(o.lineheader);
    m_footer->setText(o.Footer);
    m_footerMargin->setValue(o.FooterMargin);
    m_footerAlign->button(o.FooterAlign)->setChecked(true);
    m_footerLine->setChecked(o.linefooter);
    m_pageNumber->button(o.PrintPageNumber)->setChecked(true);
    m_pageNumAlign->button(o.PageNumAlign)->setChecked(true);
    m_pageNumText->setText(o.PageNumText);
}

void TPageSetupForm::GetValues(TTextOptions &o, int &orientation) const
{
    o.MarginLeft = m_left->value();
    o.MarginTop = m_top->value();
    o.MarginRight = m_right->value();
    o.MarginBottom = m_bottom->value();
    orientation = m_orientation->checkedId() == 1 ? 1 : 0;
    o.Header = m_header->text();
    o.HeaderMargin = m_headerMargin->value();
    o.HeaderAlign = TPrintAlign(m_headerAlign->checkedId());
    o.lineheader = m_headerLine->isChecked();
    o.Footer = m_footer->text();
    o.FooterMargin = m_footerMargin->value();
    o.FooterAlign = TPrintAlign(m_footerAlign->checkedId());
    o.linefooter = m_footerLine->isChecked();
    o.PrintPageNumber = TPrintPageNumber(m_pageNumber->checkedId());
    o.PageNumAlign = TPrintAlign(m_pageNumAlign->checkedId());
    o.PageNumText = m_pageNumText->text();
}

void TPageSetupForm::SetDefaultClick()
{
    if (AskYesNoCancel(QStringLiteral("Are you sure you want to save these values as the Default Settings?"))
        != mrYes)
        return;
    TTextOptions d;
    d.MarginLeft = 1.0;
    d.MarginRight = 1.0;
    d.MarginTop = 0.5;
    d.MarginBottom = 0.5;
    d.PrintPageNumber = pnTop;
    d.PageNumAlign = paRight;
    d.PageNumText = QStringLiteral("Page %d of %d");
    d.Header = QStringLiteral("%p%f    %d %t");
    d.HeaderAlign = paLeft;
    d.HeaderMargin = 0.5;
    d.lineheader = true;
    d.Footer.clear();
    d.FooterAlign = paLeft;
    d.FooterMargin = 0.5;
    d.linefooter = false;
    SetValues(d, m_orientation->checkedId() == 1 ? 1 : 0);
}

void TPageSetupForm::LoadStoredValues(TIniFile &ini, TTextOptions &o, int &orientation)
{
    if (!ini.SectionExists(kSection))
        return;
    const auto real = [&](const char *key, double &value) {
        if (ini.ValueExists(kSection, QString::fromLatin1(key)))
            value = FloatOf(ini.ReadString(kSection, QString::fromLatin1(key)), value);
    };
    const auto text = [&](const char *key, QString &value) {
        if (ini.ValueExists(kSection, QString::fromLatin1(key)))
            value = ini.ReadString(kSection, QString::fromLatin1(key));
    };
    const auto flag = [&](const char *key, bool &value) { value = ini.ReadBool(kSection, QString::fromLatin1(key), value); };
    const auto align = [&](const char *key, TPrintAlign &value) {
        const int v = ini.ReadInteger(kSection, QString::fromLatin1(key), value);
        if (v == paLeft || v == paRight || v == paCenter)
            value = TPrintAlign(v);
    };
    real("MarginLeft", o.MarginLeft);
    real("MarginTop", o.MarginTop);
    real("MarginRight", o.MarginRight);
    real("MarginBottom", o.MarginBottom);
    real("HeaderMargin", o.HeaderMargin);
    real("FooterMargin", o.FooterMargin);
    text("HeaderText", o.Header);
    text("FooterText", o.Footer);
    text("PageNumText", o.PageNumText);
    flag("HeaderLine", o.lineheader);
    flag("FooterLine", o.linefooter);
    align("HeaderAlign", o.HeaderAlign);
    align("FooterAlign", o.FooterAlign);
    align("PageNumAlign", o.PageNumAlign);
    const int position = ini.ReadInteger(kSection, QStringLiteral("PageNumber"), o.PrintPageNumber);
    if (position >= pnBottom && position <= pnNone)
        o.PrintPageNumber = TPrintPageNumber(position);
    const int turn = ini.ReadInteger(kSection, QStringLiteral("Orientation"), orientation);
    orientation = turn == 1 ? 1 : 0;
}

}  // namespace kiv
