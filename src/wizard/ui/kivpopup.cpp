#include "kivpopup.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kiv {

Tfkivpopup::Tfkivpopup(QWidget *parent) : QDialog(parent)
{
    setObjectName("fkivpopup");
    setWindowTitle("Code");
    auto *layout = new QVBoxLayout(this);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName("Memo");
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(m_memo);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(640, 420);
}

void ShowCode(QWidget *parent, const QString &text)
{
    Tfkivpopup window(parent);
    // The generated text has CR LF line ends; the memo shows lines.
    window.Memo()->setPlainText(QString(text).remove('\r'));
    window.exec();
}

}  // namespace kiv
