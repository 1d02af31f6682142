#include "kivfif.h"

#include "kivprompt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

constexpr int kHeight = 170;
constexpr int kHeightWithDirectory = 250;

// A group box of radio buttons in two columns; the buttons' ids are their indexes.
QGroupBox *RadioGroup(const QString &title, const QStringList &captions, int checked,
                      QButtonGroup **group, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    auto *grid = new QGridLayout(box);
    *group = new QButtonGroup(box);
    for (int i = 0; i < captions.size(); ++i) {
        auto *button = new QRadioButton(captions.at(i), box);
        button->setObjectName(QStringLiteral("%1_%2").arg(title).arg(i).remove(QLatin1Char(' ')));
        (*group)->addButton(button, i);
        grid->addWidget(button, i / 2, i % 2);
        button->setChecked(i == checked);
    }
    return box;
}

}  // namespace

Tfkivfif::Tfkivfif(QStringList *history, QWidget *parent)
    : QDialog(parent)
    , m_history(history)
{
    setObjectName(QStringLiteral("fkivfif"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(true);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *top = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    top->addLayout(left, 1);

    auto *keyRow = new QHBoxLayout;
    auto *keyLabel = new QLabel(QStringLiteral("Text to find:"), this);
    m_key = new QComboBox(this);
    m_key->setObjectName(QStringLiteral("key"));
    m_key->setEditable(true);
    m_key->setInsertPolicy(QComboBox::NoInsert);
    m_key->setMinimumWidth(260);
    keyLabel->setBuddy(m_key);
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(m_key, 1);
    left->addLayout(keyRow);

    m_ignoreCase = new QCheckBox(QStringLiteral("Ignore Case"), this);
    m_ignoreCase->setObjectName(QStringLiteral("ignorecase"));
    m_ignoreCase->setChecked(true);
    left->addWidget(m_ignoreCase);

    m_searchIn = RadioGroup(QStringLiteral("Search all files in"),
                            {QStringLiteral("Project"), QStringLiteral("Given directory"),
                             QStringLiteral("Include directories")},
                            siProject, &m_searchInGroup, this);
    m_searchIn->setObjectName(QStringLiteral("searchin"));
    left->addWidget(m_searchIn);
    m_searchDir = RadioGroup(QStringLiteral("Direction from cursor"),
                             {QStringLiteral("Backward"), QStringLiteral("Entire File"),
                              QStringLiteral("Forward")},
                             2, &m_searchDirGroup, this);
    m_searchDir->setObjectName(QStringLiteral("searchdir"));
    left->addWidget(m_searchDir);

    m_directoryOptions = new QGroupBox(QStringLiteral("Given Directory Options"), this);
    m_directoryOptions->setObjectName(QStringLiteral("DirectoryOptions"));
    auto *dirGrid = new QGridLayout(m_directoryOptions);
    auto *maskLabel = new QLabel(QStringLiteral("Mask:"), m_directoryOptions);
    m_directory = new QLineEdit(QStringLiteral("/"), m_directoryOptions);
    m_directory->setObjectName(QStringLiteral("thedirectory"));
    maskLabel->setBuddy(m_directory);
    m_dirButton = new QPushButton(QStringLiteral("..."), m_directoryOptions);
    m_dirButton->setObjectName(QStringLiteral("dirbut"));
    m_dirButton->setAutoDefault(false);
    m_subdirs = new QCheckBox(QStringLiteral("Include subdirectories"), m_directoryOptions);
    m_subdirs->setObjectName(QStringLiteral("IncludeSubdirChk"));
    dirGrid->addWidget(maskLabel, 0, 0);
    dirGrid->addWidget(m_directory, 0, 1);
    dirGrid->addWidget(m_dirButton, 0, 2);
    dirGrid->addWidget(m_subdirs, 1, 1, 1, 2);
    left->addWidget(m_directoryOptions);
    left->addStretch(1);

    auto *buttons = new QVBoxLayout;
    m_findButton = new QPushButton(QStringLiteral("Find"), this);
    m_findButton->setObjectName(QStringLiteral("FindBtn"));
    m_findButton->setDefault(true);
    m_findAllButton = new QPushButton(QStringLiteral("Find All"), this);
    m_findAllButton->setObjectName(QStringLiteral("FindAllBtn"));
    buttons->addWidget(m_findButton);
    // "Find All" sits 7 pixels below "Find", or in its place when "Find" is hidden.
    buttons->addSpacing(7 - buttons->spacing());
    buttons->addWidget(m_findAllButton);
    buttons->addStretch(1);
    top->addLayout(buttons);

    connect(m_findButton, &QPushButton::clicked, this, &Tfkivfif::FindBtnClick);
    connect(m_findAllButton, &QPushButton::clicked, this, &Tfkivfif::FindAllBtnClick);
    connect(m_searchInGroup, &QButtonGroup::idClicked, this, &Tfkivfif::searchinClick);
    connect(m_searchDirGroup, &QButtonGroup::idClicked, this, &Tfkivfif::searchinClick);
    connect(m_dirButton, &QPushButton::clicked, this, &Tfkivfif::ChooseDirectory);

    FillHistory();
    searchinClick();
}

void Tfkivfif::FillHistory()
{
    const QString text = m_key->currentText();
    m_key->clear();
    if (m_history)
        m_key->addItems(*m_history);
    m_key->setEditText(text);
}

int Tfkivfif::DesignHeight() const
{
    return !m_searchIn->isHidden() && m_searchInGroup->checkedId() == siGivenDirectory
               ? kHeightWithDirectory
               : kHeight;
}

void Tfkivfif::searchinClick()
{
    m_directoryOptions->setVisible(DesignHeight() == kHeightWithDirectory);
    adjustSize();
}

void Tfkivfif::ShowFindInFiles()
{
    setWindowTitle(QStringLiteral("Find in files"));
    FillHistory();
    m_key->setEditText(QString());
    m_searchIn->show();
    m_searchDir->hide();
    m_findButton->hide();
    m_findAllButton->setDefault(true);
    searchinClick();
    exec();
}

void Tfkivfif::ShowFind(const QString &word)
{
    setWindowTitle(QStringLiteral("Find"));
    FillHistory();
    m_key->setEditText(word);
    m_searchInGroup->button(siProject)->setChecked(true);
    m_findButton->show();
    m_findButton->setDefault(true);
    m_searchIn->hide();
    m_searchDir->show();
    searchinClick();
    exec();
}

void Tfkivfif::FindWordInProject(const QString &word)
{
    FillHistory();
    m_key->setEditText(word);
    m_ignoreCase->setChecked(true);
    m_searchInGroup->button(siProject)->setChecked(true);
    m_searchIn->show();
    m_searchDir->show();
    FindAllBtnClick();
}

void Tfkivfif::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_key->setFocus();
    m_key->lineEdit()->selectAll();
}

void Tfkivfif::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

TFindOptions Tfkivfif::Options() const
{
    TFindOptions options;
    options.text = m_key->currentText();
    options.matchCase = !m_ignoreCase->isChecked();
    return options;
}

void Tfkivfif::FindBtnClick()
{
    const QString text = m_key->currentText();
    if (m_history) {
        AddToFindHistory(*m_history, text);
        FillHistory();
    }
    const int direction = m_searchDirGroup->checkedId() - 1;
    if (Host.FindInPage && Host.FindInPage(text, !m_ignoreCase->isChecked(), direction)) {
        accept();
        return;
    }
    Prompt().Message(mtWarning, QStringLiteral("Find"), QStringLiteral("String not found."), mbOK);
}

void Tfkivfif::FindAllBtnClick()
{
    // Busy, not waiting: a search of files can be followed and cancelled meanwhile.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const QString text = m_key->currentText();
    if (m_history) {
        AddToFindHistory(*m_history, text);
        FillHistory();
    }
    if (!m_searchIn->isHidden()) {
        TFindRequest request;
        request.searchIn = TSearchIn(m_searchInGroup->checkedId());
        request.directory = m_directory->text();
        request.subdirectories = m_subdirs->isChecked();
        if (Host.FindInFiles)
            Host.FindInFiles(Options(), request);
    } else if (Host.FindAllInPage) {
        Host.FindAllInPage(text, !m_ignoreCase->isChecked(), m_searchDirGroup->checkedId() - 1);
    }
    QApplication::restoreOverrideCursor();
    if (isVisible())
        accept();
}

void Tfkivfif::ChooseDirectory()
{
    const QString folder = Prompt().FolderName(QStringLiteral("Given directory"), m_directory->text());
    if (!folder.isEmpty())
        m_directory->setText(folder);
}

}  // namespace kiv
