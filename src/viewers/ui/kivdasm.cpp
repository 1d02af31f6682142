#include "kivdasm.h"

#include "kivprompt.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

// A group of radio buttons, none of which need be selected.
QGroupBox *RadioGroup(const QString &title, const QString &name, std::initializer_list<std::pair<const char *, const char *>> buttons,
                      QRadioButton **out)
{
    auto *box = new QGroupBox(title);
    box->setObjectName(name);
    auto *layout = new QVBoxLayout(box);
    auto *group = new QButtonGroup(box);
    group->setExclusive(true);
    int i = 0;
    for (const auto &[objectName, caption] : buttons) {
        auto *button = new QRadioButton(QString::fromLatin1(caption), box);
        button->setObjectName(QString::fromLatin1(objectName));
        group->addButton(button);
        layout->addWidget(button);
        out[i++] = button;
    }
    return box;
}

}  // namespace

std::function<int(QDialog &)> &DasmExecHook()
{
    static std::function<int(QDialog &)> hook = [](QDialog &dialog) { return dialog.exec(); };
    return hook;
}

Tfkivdasm::Tfkivdasm(std::function<void(const QString &)> help, QWidget *parent)
    : QDialog(parent), m_help(std::move(help))
{
    setObjectName(QStringLiteral("Tfkivdasm"));
    setWindowTitle(QStringLiteral("Disassembly Parameters"));

    m_infile = new QLineEdit(this);
    m_infile->setObjectName(QStringLiteral("infile"));
    m_infile->setMinimumWidth(320);
    auto *button1 = new QPushButton(QStringLiteral("..."), this);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setFixedWidth(32);
    m_filename = new QLineEdit(this);
    m_filename->setObjectName(QStringLiteral("filename"));

    auto *files = new QGridLayout;
    files->addWidget(new QLabel(QStringLiteral("Input file:"), this), 0, 0);
    files->addWidget(m_infile, 0, 1);
    files->addWidget(button1, 0, 2);
    files->addWidget(new QLabel(QStringLiteral("Output file:"), this), 1, 0);
    files->addWidget(m_filename, 1, 1);

    QGroupBox *family = RadioGroup(QStringLiteral("Disassemble as"), QStringLiteral("opcode"),
                                   {{"opcode12", "12 Bit opcode"}, {"opcode14", "14 Bit opcode"},
                                    {"opcode16", "16 bit opcode"}, {"opcode24", "24 bit opcode"}},
                                   m_opcode);
    QGroupBox *labels = RadioGroup(QStringLiteral("Label format"), QStringLiteral("labels"),
                                   {{"labeladdr", "Addresses"}, {"labelc", "C Label"}, {"labelmc", "MC ASM Label"}},
                                   m_label);
    QGroupBox *input = RadioGroup(QStringLiteral("Input file"), QStringLiteral("filetype"),
                                  {{"filehex", "HEX file"}, {"filebin", "Binary file"}}, m_fileKind);
    QGroupBox *numbers = RadioGroup(QStringLiteral("Numeric Format"), QStringLiteral("numbers"),
                                    {{"numbersimple", "Simple (12)"}, {"numberasm", "ASM (12H)"}, {"numberc", "C (0x12)"}},
                                    m_number);
    auto *groups = new QGridLayout;
    groups->addWidget(family, 0, 0);
    groups->addWidget(labels, 0, 1);
    groups->addWidget(input, 1, 0);
    groups->addWidget(numbers, 1, 1);

    auto *dasm = new QPushButton(QStringLiteral("DASM"), this);
    dasm->setObjectName(QStringLiteral("BitBtn3"));
    dasm->setDefault(true);
    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    auto *helpButton = new QPushButton(QStringLiteral("&Help"), this);
    helpButton->setObjectName(QStringLiteral("BitBtn1"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dasm);
    buttons->addWidget(cancel);
    buttons->addWidget(helpButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(button1, &QPushButton::clicked, this, &Tfkivdasm::Button1Click);
    connect(m_opcode[2], &QRadioButton::clicked, this, &Tfkivdasm::opcode24Click);
    connect(m_opcode[3], &QRadioButton::clicked, this, &Tfkivdasm::opcode24Click);
    connect(dasm, &QPushButton::clicked, this, &Tfkivdasm::BitBtn3Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(helpButton, &QPushButton::clicked, this, &Tfkivdasm::BitBtn1Click);

    Apply(m_model);
}

void Tfkivdasm::Apply(const TKivDasmModel &model)
{
    m_model = model;
    m_infile->setText(model.inputFile);
    m_filename->setText(model.outputFile);
    const int families[4] = {12, 14, 16, 24};
    for (int i = 0; i < 4; ++i)
        if (families[i] == model.family)
            m_opcode[i]->setChecked(true);
    if (model.labelFormat >= 0 && model.labelFormat < 3)
        m_label[model.labelFormat]->setChecked(true);
    if (model.inputKind >= 0 && model.inputKind < 2)
        m_fileKind[model.inputKind]->setChecked(true);
    if (model.numberFormat >= 0 && model.numberFormat < 3)
        m_number[model.numberFormat]->setChecked(true);
    m_fileKind[1]->setEnabled(model.binaryEnabled);
    m_label[1]->setEnabled(model.labelChoiceEnabled);
    m_label[2]->setEnabled(model.labelChoiceEnabled);
    m_number[0]->setEnabled(model.numberChoiceEnabled);
    m_number[1]->setEnabled(model.numberChoiceEnabled);
}

TKivDasmModel Tfkivdasm::Model() const
{
    TKivDasmModel model = m_model;
    model.inputFile = m_infile->text();
    model.outputFile = m_filename->text();
    const int families[4] = {12, 14, 16, 24};
    model.family = TKivDasmModel::kNone;
    for (int i = 0; i < 4; ++i)
        if (m_opcode[i]->isChecked())
            model.family = families[i];
    auto checked = [](QRadioButton *const *buttons, int count) {
        for (int i = 0; i < count; ++i)
            if (buttons[i]->isChecked())
                return i;
        return int(TKivDasmModel::kNone);
    };
    model.labelFormat = checked(m_label, 3);
    model.inputKind = checked(m_fileKind, 2);
    model.numberFormat = checked(m_number, 3);
    return model;
}

void Tfkivdasm::Button1Click()
{
    TFileQuestion question;
    question.fileName = m_infile->text();
    question.folder = QFileInfo(m_infile->text()).absolutePath();
    question.filters = {QStringLiteral("Hex files (*.hex)"), QStringLiteral("All files (*)")};
    const QString name = Prompt().OpenFileName(question);
    if (!name.isEmpty())
        m_infile->setText(name);
}

void Tfkivdasm::opcode24Click()
{
    TKivDasmModel model = Model();
    model.opcode24Click();
    Apply(model);
}

void Tfkivdasm::BitBtn3Click()
{
    const TKivDasmModel model = Model();
    QString error;
    if (!model.Run(&error)) {
        ShowError(error);
        return;
    }
    m_outputPath = model.OutputPath();
    accept();
}

void Tfkivdasm::BitBtn1Click()
{
    if (m_help)
        m_help(QStringLiteral("Disassemble"));
}

QString ShowDisassemblerDialog(QWidget *parent, std::function<void(const QString &)> help)
{
    Tfkivdasm dialog(std::move(help), parent);
    if (DasmExecHook()(dialog) != QDialog::Accepted)
        return {};
    return dialog.OutputPath();
}

}  // namespace kiv
