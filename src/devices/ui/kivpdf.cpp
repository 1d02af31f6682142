#include "kivpdf.h"

#include "MyHtComboU.h"
#include "kivini.h"
#include "kivprompt.h"
#include "pc_dirs.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>

namespace kiv {

Tfkivpdf::Tfkivpdf(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfkivpdf"));
    setWindowTitle(QStringLiteral("View Data Sheet"));
    auto *grid = new QGridLayout(this);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("path"));
    m_path->setMinimumWidth(360);
    auto *browse = new QPushButton(QStringLiteral("Browse"), this);
    browse->setObjectName(QStringLiteral("Button1"));
    grid->addWidget(new QLabel(QStringLiteral("Dir:"), this), 0, 0);
    grid->addWidget(m_path, 0, 1);
    grid->addWidget(browse, 0, 2);

    m_target = new TMyHtComboPic(this);
    m_target->setObjectName(QStringLiteral("target"));
    m_target->setMaxVisibleItems(24);
    auto *viewDevice = new QPushButton(QStringLiteral("View"), this);
    viewDevice->setObjectName(QStringLiteral("BitBtn1"));
    grid->addWidget(new QLabel(QStringLiteral("Microchip Device:"), this), 1, 0);
    grid->addWidget(m_target, 1, 1);
    grid->addWidget(viewDevice, 1, 2);

    m_others = new QComboBox(this);
    m_others->setObjectName(QStringLiteral("otherlist"));
    auto *viewOther = new QPushButton(QStringLiteral("View"), this);
    viewOther->setObjectName(QStringLiteral("BitBtn2"));
    grid->addWidget(new QLabel(QStringLiteral("Other PDFs"), this), 2, 0);
    grid->addWidget(m_others, 2, 1);
    grid->addWidget(viewOther, 2, 2);
    grid->setColumnStretch(1, 1);

    connect(m_path, &QLineEdit::textEdited, this, &Tfkivpdf::PathChanged);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = Prompt().FolderName(QStringLiteral("Select a Folder"), m_path->text());
        if (folder.isEmpty())
            return;
        m_path->setText(folder);
        PathChanged();
    });
    connect(m_target, &QComboBox::currentIndexChanged, this, [this](int index) { m_model.deviceIndex = index; });
    connect(m_others, &QComboBox::currentIndexChanged, this, [this](int index) { m_model.otherIndex = index; });
    connect(viewDevice, &QPushButton::clicked, this, [this] { ViewClick(vrDevice); });
    connect(viewOther, &QPushButton::clicked, this, [this] { ViewClick(vrOther); });
}

bool Tfkivpdf::Start(const QString &projectFile)
{
    QString error;
    if (!m_model.Start(projectFile, TIniFile(SettingsFilePath()), &error)) {
        ShowError(error);
        return false;
    }
    m_path->setText(m_model.directory);
    {
        const QSignalBlocker block(m_target);
        m_target->clear();
        m_target->addItems(m_model.devices);
    }
    m_target->setCurrentIndex(m_model.devices.isEmpty() ? -1 : m_model.deviceIndex);
    ShowOthers();
    return true;
}

void Tfkivpdf::PathChanged()
{
    m_model.directory = m_path->text();
    m_model.RefreshOtherPdfs();
    ShowOthers();
}

void Tfkivpdf::ShowOthers()
{
    const QSignalBlocker block(m_others);
    m_others->clear();
    m_others->addItems(m_model.others);
    m_others->setCurrentIndex(m_model.otherIndex);
}

void Tfkivpdf::ViewClick(TViewResult which)
{
    m_model.directory = m_path->text();
    TIniFile ini(SettingsFilePath());
    if (!m_model.SaveDirectory(ini))
        ShowError(QStringLiteral("Cannot write the settings file ") + ini.FileName());
    m_result = which;
    accept();
}

QString Tfkivpdf::FileToOpen()
{
    if (m_result == vrOther)
        return m_model.OtherSheet();
    if (m_result != vrDevice)
        return {};
    QString error;
    const QString file = m_model.DeviceSheet(&error);
    if (file.isEmpty()) {
        ShowError(error);
        return {};
    }
    while (!QFileInfo::exists(file)) {
        if (Prompt().Message(mtWarning, QString(), QStringLiteral("Not Found: ") + file, mbRetryCancel) != mrRetry)
            return {};
    }
    return file;
}

void ShowDataSheets(QWidget *parent, const QString &projectFile)
{
    Tfkivpdf window(parent);
    if (!window.Start(projectFile) || window.exec() != QDialog::Accepted)
        return;
    const QString file = window.FileToOpen();
    if (file.isEmpty())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        ShowError(QStringLiteral("Cannot open ") + file + QStringLiteral(": the desktop has no viewer for it"));
}

}  // namespace kiv
