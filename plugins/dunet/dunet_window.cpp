#include "dunet_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kiv {

namespace {

struct TFieldInfo {
    TNumberField field;
    const char *name;      // objectName of the line edit
    const char *caption;
    const char *hint;
};

const TFieldInfo kFieldInfo[] = {
    {nfDecimal, "decimal", "&Decimal:", "a whole number; negative ones when Signed is checked"},
    {nfHex, "hex", "&Hexadecimal:", "hexadecimal digits, optionally after 0x"},
    {nfOctal, "octal", "&Octal:", "octal digits"},
    {nfBinary, "binary", "&Binary:", "binary digits; blanks between groups are allowed"},
    {nfChars, "chars", "&Characters:", "most significant byte first; \\xNN, \\0, \\t, \\n, \\r, \\\\ for other bytes"},
    {nfIeee, "ieee", "&IEEE 754 single:", "a real number, NaN or Infinity"},
    {nfPicFloat, "picfloat", "&PIC float:", "a real number; stored exponent byte first"},
};

}  // namespace

Tfdunet::Tfdunet(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Tfdunet"));
    setWindowTitle(QStringLiteral("Numeric Converter"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    auto *top = new QVBoxLayout(this);
    auto *modes = new QHBoxLayout;
    m_width = new QButtonGroup(this);
    for (int bits : {8, 16, 32}) {
        auto *button = new QRadioButton(QStringLiteral("%1-bit").arg(bits), this);
        button->setObjectName(QStringLiteral("width%1").arg(bits));
        m_width->addButton(button, bits);
        modes->addWidget(button);
    }
    m_signed = new QCheckBox(QStringLiteral("&Signed"), this);
    m_signed->setObjectName(QStringLiteral("signedcheck"));
    modes->addSpacing(16);
    modes->addWidget(m_signed);
    modes->addStretch(1);
    top->addLayout(modes);

    auto *whole = new QGroupBox(QStringLiteral("Whole number"), this);
    auto *wholeGrid = new QGridLayout(whole);
    auto *real = new QGroupBox(QStringLiteral("Floating point (32 bits)"), this);
    real->setObjectName(QStringLiteral("floatgroup"));
    auto *realGrid = new QGridLayout(real);
    for (const TFieldInfo &info : kFieldInfo) {
        const bool isFloat = info.field == nfIeee || info.field == nfPicFloat;
        QWidget *owner = isFloat ? static_cast<QWidget *>(real) : whole;
        auto *edit = new QLineEdit(owner);
        edit->setObjectName(QLatin1String(info.name));
        edit->setFont(fixed);
        edit->setToolTip(QLatin1String(info.hint));
        edit->setMinimumWidth(320);
        auto *label = new QLabel(QLatin1String(info.caption), owner);
        label->setBuddy(edit);
        QGridLayout *grid = isFloat ? realGrid : wholeGrid;
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        m_fields[size_t(info.field)] = edit;
        m_labels[size_t(info.field)] = label;
        const TNumberField field = info.field;
        connect(edit, &QLineEdit::textEdited, this, [this, field] { FieldEdited(field); });
        connect(edit, &QLineEdit::editingFinished, this, [this, field] { FieldFinished(field); });
        if (isFloat) {
            auto *twin = new QLabel(owner);
            twin->setObjectName(field == nfIeee ? QStringLiteral("ieeeaspic") : QStringLiteral("picasieee"));
            twin->setFont(fixed);
            twin->setTextInteractionFlags(Qt::TextSelectableByMouse);
            grid->addWidget(twin, row + 1, 1);
            (field == nfIeee ? m_ieeeAsPic : m_picAsIeee) = twin;
        }
    }
    top->addWidget(whole);
    top->addWidget(real);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    top->addWidget(m_status);
    top->addStretch(1);

    connect(m_width, &QButtonGroup::idClicked, this, [this](int bits) {
        m_converter.SetWidth(bits);
        ShowAll();
    });
    connect(m_signed, &QCheckBox::toggled, this, [this](bool on) {
        m_converter.SetSigned(on);
        ShowAll();
    });
    ShowAll();
}

bool Tfdunet::IsMarked(TNumberField field) const
{
    return Field(field)->property("invalid").toBool();
}

void Tfdunet::ShowAll()
{
    if (QAbstractButton *button = m_width->button(m_converter.Width()))
        button->setChecked(true);
    {
        const QSignalBlocker block(m_signed);
        m_signed->setChecked(m_converter.IsSigned());
    }
    m_status->clear();
    ShowValue(-1);
}

void Tfdunet::ShowValue(int except)
{
    for (int f = 0; f < nfFieldCount; ++f) {
        const auto field = TNumberField(f);
        QLineEdit *edit = Field(field);
        const bool enabled = m_converter.FieldEnabled(field);
        edit->setEnabled(enabled);
        m_labels[size_t(f)]->setEnabled(enabled);
        if (f == except)
            continue;
        SetMark(field, {});
        // Setting the text programmatically does not raise textEdited, so no field echoes back.
        edit->setText(m_converter.Text(field));
    }
    const bool floats = m_converter.Width() == 32;
    m_ieeeAsPic->setText(floats ? QStringLiteral("as PIC float:  ") + m_converter.IeeeAsPicFloat() : QString());
    m_picAsIeee->setText(floats ? QStringLiteral("as IEEE single: ") + m_converter.PicFloatAsIeee() : QString());
}

void Tfdunet::FieldEdited(TNumberField field)
{
    const TInputCheck check = m_converter.Enter(field, Field(field)->text());
    switch (check.state) {
    case isValid:
        SetMark(field, {});
        m_status->clear();
        ShowValue(field);
        break;
    case isIncomplete:
        SetMark(field, {});
        m_status->clear();
        break;
    case isInvalid:
        SetMark(field, check.reason);
        m_status->setText(m_labels[size_t(field)]->text().remove(QLatin1Char('&')) + QLatin1Char(' ')
                          + check.reason);
        break;
    }
}

void Tfdunet::FieldFinished(TNumberField field)
{
    // A valid entry takes the field's own spelling once the user leaves it; a bad one stays as typed.
    uint32_t bits = 0;
    const TInputCheck check = TNumericConverter::Parse(field, Field(field)->text(), m_converter.Width(),
                                                       m_converter.IsSigned(), &bits);
    if (check.state == isValid && bits == m_converter.Value())
        Field(field)->setText(m_converter.Text(field));
}

void Tfdunet::SetMark(TNumberField field, const QString &reason)
{
    QLineEdit *edit = Field(field);
    const bool invalid = !reason.isEmpty();
    edit->setProperty("invalid", invalid);
    edit->setStyleSheet(invalid ? QStringLiteral("QLineEdit { background: #ffd0d0; }") : QString());
    const TFieldInfo &info = kFieldInfo[field];
    edit->setToolTip(invalid ? reason : QLatin1String(info.hint));
}

}  // namespace kiv
