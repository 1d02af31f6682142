#include "enternumber.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kiv {

TFenternumber::TFenternumber(const QString &prompt, QWidget *parent) : QDialog(parent)
{
    setObjectName("Fenternumber");
    setWindowTitle("Enter Number");
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(prompt, this);
    label->setObjectName("prompt");
    layout->addWidget(label);
    m_number = new QSpinBox(this);
    m_number->setObjectName("number");
    m_number->setRange(0, 999999999);
    m_number->setGroupSeparatorShown(true);
    layout->addWidget(m_number);
    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("BitBtn1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

qint64 TFenternumber::Value() const
{
    // A value typed but not yet committed counts as well.
    bool ok = false;
    const qint64 typed = m_number->cleanText().remove(m_number->locale().groupSeparator()).toLongLong(&ok);
    return ok ? typed : m_number->value();
}

qint64 EnterNumber(QWidget *parent, const QString &prompt)
{
    TFenternumber window(prompt, parent);
    window.exec();
    return window.Value();
}

}  // namespace kiv
