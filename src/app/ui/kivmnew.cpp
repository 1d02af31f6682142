#include "kivmnew.h"

#include "kivinc.h"
#include "kivprompt.h"
#include "kivproject.h"
#include "pc_chipr.h"
#include "pc_dirs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kiv {

namespace {

QPushButton *MakeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

constexpr quint8 KindBit(int kind)
{
    return quint8(1u << kind);
}

}  // namespace

TDeviceSource InstalledDevices()
{
    if (DeviceFile().isEmpty())
        SetDeviceFile(UtilsDir() + QStringLiteral("devices.dat"));
    TDeviceSource source;
    source.List = [](quint8 kinds) {
        QStringList names;
        try {
            ListDevices(names, KindSet(kinds), 0);
        } catch (const TDeviceFileError &error) {
            ShowError(error.Message());
            names.clear();
        }
        return names;
    };
    source.NameOf = [](quint16 id) {
        QString name;
        ForEachDevice(
            [&name, id](const DeviceRecord &record) {
                if (record.id() != id)
                    return true;
                name = record.name();
                return false;
            },
            kAllKinds);
        return name;
    };
    source.Find = [](const QString &name, int *kind, quint16 *id) {
        DeviceRecord record;
        try {
            if (!FindDevice(name, record))
                return false;
        } catch (const TDeviceNumberError &) {
            return false;
        }
        *kind = record.kind();
        *id = record.id();
        return true;
    };
    return source;
}

bool EditionInstalled(const QString &code)
{
    return QFileInfo::exists(DllDir() + code + QStringLiteral(".so"));
}

Tfkivmnew::Tfkivmnew(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fkivmnew"));
    setWindowTitle(QStringLiteral("Manual Project Create"));

    auto *mainLabel = new QLabel(QStringLiteral("Main File:"), this);
    m_mainfile = new QLineEdit(this);
    m_mainfile->setObjectName(QStringLiteral("mainfile"));
    mainLabel->setBuddy(m_mainfile);
    QPushButton *browse = MakeButton(this, QStringLiteral("Browse"), QStringLiteral("..."));
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);

    auto *targetLabel = new QLabel(QStringLiteral("Target Device:"), this);
    m_target = new QComboBox(this);
    m_target->setObjectName(QStringLiteral("target"));
    m_target->setMaxVisibleItems(20);
    targetLabel->setBuddy(m_target);

    QPushButton *includes = MakeButton(this, QStringLiteral("IncludeDirs"),
                                       QStringLiteral("Review/Edit Include File Dirs"));
    QPushButton *create = MakeButton(this, QStringLiteral("Create"), QStringLiteral("Create"));
    QPushButton *cancel = MakeButton(this, QStringLiteral("Cancel"), QStringLiteral("Cancel"));
    create->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(mainLabel, 0, 0);
    grid->addWidget(m_mainfile, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(targetLabel, 1, 0);
    grid->addWidget(m_target, 1, 1);
    grid->addWidget(includes, 2, 1, Qt::AlignLeft);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(create);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(460, 160);

    connect(browse, &QPushButton::clicked, this, &Tfkivmnew::BrowseClick);
    connect(includes, &QPushButton::clicked, this, &Tfkivmnew::IncludeClick);
    connect(create, &QPushButton::clicked, this, &Tfkivmnew::CreateClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfkivmnew::Setup(const QString &mainFile, const QString &includes,
                      const TDeviceSource &devices, bool picWizard, bool sxWizard,
                      quint16 projectProcessor)
{
    m_devices = devices;
    m_includes = includes;
    m_created.clear();
    m_madeDefault = false;
    m_defaultIncludes.clear();
    m_mainfile->setText(mainFile);

    m_target->clear();
    quint8 kinds = KindBit(0) | KindBit(1) | KindBit(3);
    if (sxWizard)
        kinds |= KindBit(4);
    if (m_devices.List)
        m_target->addItems(m_devices.List(kinds));
    int preselected = -1;
    // The open project's device comes first: a new project is most often for the same part.
    if (projectProcessor != 0) {
        QString name;
        if (m_devices.NameOf) {
            name = m_devices.NameOf(projectProcessor);
        } else if (m_devices.Find) {
            for (int i = 0; i < m_target->count() && name.isEmpty(); ++i) {
                int kind = -1;
                quint16 id = 0;
                if (m_devices.Find(m_target->itemText(i), &kind, &id) && id == projectProcessor)
                    name = m_target->itemText(i);
            }
        }
        if (!name.isEmpty())
            preselected = m_target->findText(name);
    }
    if (preselected < 0)
        preselected = m_target->findText(picWizard ? QStringLiteral("PIC16C74")
                                                   : QStringLiteral("SX28AC"));
    m_target->setCurrentIndex(preselected >= 0 ? preselected : (m_target->count() > 0 ? 0 : -1));
}

QString Tfkivmnew::MainFileText() const
{
    return m_mainfile->text().trimmed();
}

QString Tfkivmnew::Device() const
{
    return m_target->currentText();
}

void Tfkivmnew::BrowseClick()
{
    TFileQuestion question;
    question.caption = QStringLiteral("Main File");
    const QString current = MainFileText();
    question.folder = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
    question.fileName = current;
    question.filters = {QStringLiteral("C Files (*.c)"), QStringLiteral("All Files (*)")};
    question.filterIndex = 1;
    const QString chosen = Prompt().OpenFileName(question);
    if (!chosen.isEmpty())
        m_mainfile->setText(chosen);
}

void Tfkivmnew::IncludeClick()
{
    bool makeDefault = false;
    bool accepted = false;
    const QString list = EditIncludeDirs(this, m_includes,
                                         QStringLiteral("Make this list the default for new projects"),
                                         makeDefault, &accepted);
    if (!accepted)
        return;
    m_includes = list;
    if (makeDefault) {
        m_madeDefault = true;
        m_defaultIncludes = list;
    }
}

void Tfkivmnew::CreateClick()
{
    QString name = MainFileText();
    if (name.isEmpty())
        name = QStringLiteral("noname.c");
    const QString mainFile = QFileInfo(name).absoluteFilePath();
    const QString device = Device();

    if (!QFileInfo::exists(mainFile)) {
        // Without the main file there is no project to create: "No" leaves the dialog open.
        if (!AskYesNo(mainFile + QStringLiteral(" does not exist, Create?")))
            return;
        QFile file(mainFile);
        const QByteArray text = StarterFileText(device);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
            || file.write(text) != text.size() || !file.flush()) {
            const QString reason = file.errorString();
            file.close();
            if (file.size() == 0)
                file.remove();
            ShowError(QStringLiteral("Cannot create ") + mainFile + QStringLiteral(": ") + reason);
            return;
        }
    }

    int kind = -1;
    quint16 id = 0;
    if (!(m_devices.Find && !device.isEmpty() && m_devices.Find(device, &kind, &id))) {
        kind = -1;
        id = 0;
    }
    QString base, extension;
    SplitMainFileName(mainFile, &base, &extension);
    if (CreateProjectFile(base, extension, id, m_includes, kind) == trFailed) {
        ShowError(QStringLiteral("Cannot create ") + base + QStringLiteral(".pjt"));
        return;
    }
    m_created = mainFile;
    accept();
}

QString ManualCreate(QWidget *parent, const QString &mainFile, QString &globalIncludes,
                     const TDeviceSource &devices, quint16 projectProcessor)
{
    Tfkivmnew dialog(parent);
    dialog.Setup(mainFile, globalIncludes, devices, EditionInstalled(QStringLiteral("QOR")),
                 EditionInstalled(QStringLiteral("MAZ")), projectProcessor);
    const auto &hook = Tfkivinc::ExecHook();
    const int result = hook ? hook(dialog) : dialog.exec();
    // The list made the default stays so even when the project is not created in the end.
    if (dialog.MadeDefault())
        globalIncludes = dialog.DefaultIncludes();
    if (result != QDialog::Accepted)
        return {};
    return dialog.CreatedMainFile();
}

}  // namespace kiv
