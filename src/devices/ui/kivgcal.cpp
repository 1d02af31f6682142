#include "kivgcal.h"

#include "kivprompt.h"

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

#include <iterator>

namespace kiv {

namespace {

const char *const kInstructions[] = {
    "Instructions:",
    "1. Use a device programmer to read your windowed part",
    "into a .HEX file.",
    "2. Select the device:",
    "3. Pick a name for the include file this utility will create",
    "with the constants.   Mark the part with this  name.",
    "4. Add a #include line to your source files.  Change the ",
    "filename before programming a chip to the chip name. ",
    "Comment the include out for OTP parts.",
};

struct TPartButton {
    TCalPart part;
    const char *name;
    const char *caption;
};
const TPartButton kPartButtons[] = {
    {cpIS512, "IS512", "508,518"},
    {cpIS1024, "IS1024", "505,509,519,671,673"},
    {cpIS2048, "IS2048", "672,674"},
    {cpIS14000, "IS14000", "14000"},
};

}  // namespace

Tfkivgcal::Tfkivgcal(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfkivgcal"));
    setWindowTitle(QStringLiteral("Extract Calibration Data"));
    auto *top = new QVBoxLayout(this);

    auto *heading = new QLabel(QString::fromLatin1(kInstructions[0]), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    top->addWidget(heading);
    QStringList lines;
    for (size_t i = 1; i < std::size(kInstructions); ++i)
        lines << QString::fromLatin1(kInstructions[i]);
    // Plain text keeps the lines' own spacing.
    auto *text = new QLabel(lines.join(QLatin1Char('\n')), this);
    text->setObjectName(QStringLiteral("instructions"));
    text->setTextFormat(Qt::PlainText);
    top->addWidget(text);

    auto *files = new QGridLayout;
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("inputfile"));
    m_input->setMinimumWidth(360);
    auto *browseInput = new QPushButton(QStringLiteral("Browse"), this);
    browseInput->setObjectName(QStringLiteral("browseinput"));
    files->addWidget(new QLabel(QStringLiteral("HEX file:"), this), 0, 0);
    files->addWidget(m_input, 0, 1);
    files->addWidget(browseInput, 0, 2);

    auto *device = new QGroupBox(QStringLiteral("Device"), this);
    device->setObjectName(QStringLiteral("devicegroup"));
    auto *deviceLayout = new QHBoxLayout(device);
    for (int i = 0; i < 4; ++i) {
        m_parts[i] = new QRadioButton(QLatin1String(kPartButtons[i].caption), device);
        m_parts[i]->setObjectName(QLatin1String(kPartButtons[i].name));
        deviceLayout->addWidget(m_parts[i]);
    }
    m_parts[0]->setChecked(true);
    files->addWidget(device, 1, 0, 1, 3);

    m_output = new QLineEdit(this);
    m_output->setObjectName(QStringLiteral("outfile"));
    auto *browseOutput = new QPushButton(QStringLiteral("Browse"), this);
    browseOutput->setObjectName(QStringLiteral("browseoutput"));
    files->addWidget(new QLabel(QStringLiteral("Include file:"), this), 2, 0);
    files->addWidget(m_output, 2, 1);
    files->addWidget(browseOutput, 2, 2);
    top->addLayout(files);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    top->addWidget(buttons);

    connect(browseInput, &QPushButton::clicked, this, &Tfkivgcal::BrowseInput);
    connect(browseOutput, &QPushButton::clicked, this, &Tfkivgcal::BrowseOutput);
    connect(buttons, &QDialogButtonBox::accepted, this, &Tfkivgcal::OkClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TKivGcalModel Tfkivgcal::Model() const
{
    TKivGcalModel model;
    model.inputFile = m_input->text().trimmed();
    model.outFile = m_output->text().trimmed();
    for (int i = 0; i < 4; ++i)
        if (m_parts[i]->isChecked())
            model.part = kPartButtons[i].part;
    return model;
}

void Tfkivgcal::BrowseInput()
{
    TFileQuestion question;
    question.caption = QStringLiteral("Input .HEX filename");
    question.fileName = m_input->text();
    question.folder = QFileInfo(m_input->text()).absolutePath();
    question.filters = {QStringLiteral("HEX files (*.hex *.HEX)"), QStringLiteral("All files (*)")};
    const QString path = Prompt().OpenFileName(question);
    if (path.isEmpty())
        return;
    m_input->setText(path);
    if (m_output->text().trimmed().isEmpty())
        m_output->setText(TKivGcalModel::SuggestedOutFile(path));
}

void Tfkivgcal::BrowseOutput()
{
    TFileQuestion question;
    question.fileName = m_output->text();
    question.folder = QFileInfo(m_output->text().isEmpty() ? m_input->text() : m_output->text()).absolutePath();
    question.filters = {QStringLiteral("Include file (*.h *.cal)"), QStringLiteral("All files (*)")};
    const QString path = Prompt().SaveFileName(question);
    if (!path.isEmpty())
        m_output->setText(path);
}

void Tfkivgcal::OkClick()
{
    const TKivGcalModel model = Model();
    QString error;
    if (!model.Run(&error)) {
        ShowError(error);
        return;
    }
    m_written = model.outFile;
    accept();
}

QString ExtractCalibration(QWidget *parent)
{
    Tfkivgcal window(parent);
    if (window.exec() != QDialog::Accepted)
        return {};
    return window.Written();
}

}  // namespace kiv
