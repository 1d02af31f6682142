#include "kivfcd.h"

#include "kivprompt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <Qsci/qsciscintilla.h>

namespace kiv {

std::function<int(QDialog &)> &CompareExecHook()
{
    static std::function<int(QDialog &)> hook = [](QDialog &dialog) { return dialog.exec(); };
    return hook;
}

Tfkivfcd::Tfkivfcd(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfkivfcd"));
    setWindowTitle(QStringLiteral("Compare Files"));

    m_file1 = new QLineEdit(this);
    m_file1->setObjectName(QStringLiteral("file1"));
    m_file1->setMinimumWidth(340);
    m_file2 = new QLineEdit(this);
    m_file2->setObjectName(QStringLiteral("file2"));
    auto *button1 = new QPushButton(QStringLiteral("..."), this);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setFixedWidth(32);
    auto *button2 = new QPushButton(QStringLiteral("..."), this);
    button2->setObjectName(QStringLiteral("Button2"));
    button2->setFixedWidth(32);
    auto *files = new QGridLayout;
    files->addWidget(new QLabel(QStringLiteral("File #1:"), this), 0, 0);
    files->addWidget(m_file1, 0, 1);
    files->addWidget(button1, 0, 2);
    files->addWidget(new QLabel(QStringLiteral("File #2:"), this), 1, 0);
    files->addWidget(m_file2, 1, 1);
    files->addWidget(button2, 1, 2);

    auto *typeBox = new QGroupBox(QStringLiteral("File Type"), this);
    typeBox->setObjectName(QStringLiteral("filetypebox"));
    auto *typeLayout = new QVBoxLayout(typeBox);
    m_fileType = new QButtonGroup(typeBox);
    const char *const kTypes[] = {"Source or Text", "Listing"};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QRadioButton(QString::fromLatin1(kTypes[i]), typeBox);
        button->setObjectName(QStringLiteral("filetypebox%1").arg(i));
        m_fileType->addButton(button, i);
        typeLayout->addWidget(button);
    }
    m_fileType->button(0)->setChecked(true);

    m_ignoreBox = new QGroupBox(QStringLiteral("Ignore"), this);
    m_ignoreBox->setObjectName(QStringLiteral("ignorebox"));
    auto *ignoreLayout = new QVBoxLayout(m_ignoreBox);
    m_rom = new QCheckBox(QStringLiteral("ROM addresses"), m_ignoreBox);
    m_rom->setObjectName(QStringLiteral("romcheck"));
    m_ram = new QCheckBox(QStringLiteral("RAM addresses"), m_ignoreBox);
    m_ram->setObjectName(QStringLiteral("ramcheck"));
    m_movlb = new QCheckBox(QStringLiteral("MOVLB opcode"), m_ignoreBox);
    m_movlb->setObjectName(QStringLiteral("IgnoreMOVLB"));
    ignoreLayout->addWidget(m_rom);
    ignoreLayout->addWidget(m_ram);
    ignoreLayout->addWidget(m_movlb);
    m_ignoreBox->hide();

    auto *optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    auto *optionsLayout = new QVBoxLayout(optionsBox);
    m_ignoreCase = new QCheckBox(QStringLiteral("Ignore case"), optionsBox);
    m_ignoreCase->setObjectName(QStringLiteral("IgnoreCase"));
    m_ignoreCase->setChecked(true);
    optionsLayout->addWidget(m_ignoreCase);

    auto *compare = new QPushButton(QStringLiteral("Compare"), this);
    compare->setObjectName(QStringLiteral("BitBtn1"));
    compare->setDefault(true);

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(typeBox);
    boxes->addWidget(m_ignoreBox);
    boxes->addWidget(optionsBox);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(compare);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(button1, &QPushButton::clicked, this, &Tfkivfcd::Button1Click);
    connect(button2, &QPushButton::clicked, this, &Tfkivfcd::Button2Click);
    connect(m_fileType, &QButtonGroup::idClicked, this, &Tfkivfcd::filetypeboxClick);
    connect(compare, &QPushButton::clicked, this, &Tfkivfcd::BitBtn1Click);
}

TKivFcdModel Tfkivfcd::Model() const
{
    TKivFcdModel model;
    model.file1 = m_file1->text();
    model.file2 = m_file2->text();
    model.fileType = m_fileType->checkedId() == 1 ? 1 : 0;
    model.ignoreRom = m_rom->isChecked();
    model.ignoreRam = m_ram->isChecked();
    model.ignoreMovlb = m_movlb->isChecked();
    model.ignoreCase = m_ignoreCase->isChecked();
    return model;
}

QString Tfkivfcd::AskFile(const QString &current)
{
    TFileQuestion question;
    question.fileName = current;
    if (!current.isEmpty())
        question.folder = QFileInfo(current).absolutePath();
    question.filters = {QStringLiteral("All files (*)")};
    return Prompt().OpenFileName(question);
}

void Tfkivfcd::Button1Click()
{
    const QString name = AskFile(m_file1->text());
    if (!name.isEmpty())
        m_file1->setText(name);
}

void Tfkivfcd::Button2Click()
{
    const QString name = AskFile(m_file2->text());
    if (!name.isEmpty())
        m_file2->setText(name);
}

void Tfkivfcd::filetypeboxClick()
{
    m_ignoreBox->setVisible(Model().IgnoreVisible());
}

void Tfkivfcd::BitBtn1Click()
{
    const TKivFcdModel model = Model();
    if (!model.FilesExist()) {
        ShowError(QStringLiteral("File not found"));
        done(kCancel);
        return;
    }
    m_resultFile = model.ResultFile();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool ok = model.Compare(&error);
    QApplication::restoreOverrideCursor();
    if (!ok)
        ShowError(error);
    done(kYes);
}

bool GoToChange(QsciScintilla *editor, bool forward)
{
    const int lines = editor->lines();
    std::vector<char> firstChars(size_t(std::max(lines, 0)));
    for (int i = 0; i < lines; ++i) {
        const long position = editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, i);
        const long end = editor->SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, i);
        firstChars[size_t(i)] = position < end ? char(editor->SendScintilla(QsciScintillaBase::SCI_GETCHARAT, position)) : ' ';
    }
    int line = 0, index = 0;
    editor->getCursorPosition(&line, &index);
    const int target = NextChangeLine(firstChars, line, forward);
    if (target < 0)
        return false;
    editor->setCursorPosition(target, 0);
    editor->ensureLineVisible(target);
    return true;
}

void InstallChangeNavigation(QsciScintilla *editor)
{
    if (!editor || editor->property("kivChangeNavigation").toBool())
        return;
    editor->setProperty("kivChangeNavigation", true);
    auto *next = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), editor);
    next->setObjectName(QStringLiteral("NextChange"));
    next->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(next, &QShortcut::activated, editor, [editor] { GoToChange(editor, true); });
    auto *previous = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Up), editor);
    previous->setObjectName(QStringLiteral("PreviousChange"));
    previous->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(previous, &QShortcut::activated, editor, [editor] { GoToChange(editor, false); });
}

int ShowCompareDialog(QWidget *parent, QString *resultFile)
{
    Tfkivfcd dialog(parent);
    const int result = CompareExecHook()(dialog);
    if (result == Tfkivfcd::kYes && resultFile)
        *resultFile = dialog.ResultFile();
    return result;
}

}  // namespace kiv
