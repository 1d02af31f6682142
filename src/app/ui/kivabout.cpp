#include "kivabout.h"

#include "kivsupport_model.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include <Qsci/qsciglobal.h>

namespace kiv {

namespace {

QLabel *AddLine(QWidget *parent, QVBoxLayout *layout, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    // Plain text: a version text from a compiler library is shown as it is, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    return label;
}

}  // namespace

Tfkivabout::Tfkivabout(const QString &compilerEdition, const QString &compilerVersion,
                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fkivabout"));
    setWindowTitle(QStringLiteral("About"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 20, 32, 16);
    layout->setSpacing(6);

    QLabel *program = AddLine(this, layout, QStringLiteral("ProductName"),
                              QStringLiteral("KIV C Compiler IDE"));
    QFont big = program->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    program->setFont(big);
    AddLine(this, layout, QStringLiteral("Title"), QStringLiteral("VYN C"));
    AddLine(this, layout, QStringLiteral("Version"),
            QStringLiteral("Version ") + ProgramVersion());

    const QString edition = compilerEdition.trimmed();
    const QString version = compilerVersion.trimmed();
    if (!edition.isEmpty() || !version.isEmpty()) {
        layout->addSpacing(8);
        QStringList parts;
        if (!edition.isEmpty())
            parts << edition;
        if (!version.isEmpty())
            parts << version;
        AddLine(this, layout, QStringLiteral("Compiler"),
                QStringLiteral("Compiler: ") + parts.join(QStringLiteral(", version ")));
    }

    layout->addSpacing(8);
    AddLine(this, layout, QStringLiteral("Libraries"),
            QStringLiteral("Qt %1, QScintilla %2")
                .arg(QString::fromLatin1(qVersion()),
                     QStringLiteral(QSCINTILLA_VERSION_STR)));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    buttons->setCenterButtons(true);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

std::function<int(QDialog &)> &Tfkivabout::ExecHook()
{
    static std::function<int(QDialog &)> hook;
    return hook;
}

void ShowAbout(QWidget *parent, const QString &compilerEdition, const QString &compilerVersion)
{
    Tfkivabout dialog(compilerEdition, compilerVersion, parent);
    const auto &hook = Tfkivabout::ExecHook();
    if (hook)
        hook(dialog);
    else
        dialog.exec();
}

}  // namespace kiv
