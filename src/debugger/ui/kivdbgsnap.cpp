#include "kivdbgsnap.h"

#include "kivdbgsnap_model.h"
#include "kivprompt.h"
#include "pc_dirs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace kiv {

namespace {

struct TBoxEntry {
    const char *name;
    const char *caption;
};

const TBoxEntry kBoxes[] = {
    {"status", "Time, project, PC, W and status"}, {"watches", "Watches"}, {"breaks", "Breaks"},
    {"ram", "RAM -"}, {"eeprom", "Data EEPROM"}, {"rompc", "ROM - PC location only"},
    {"rompcpm6", "ROM - PC +/-6 locations"}, {"romrange", "ROM -"}, {"perifs", "Peripherals"}, {"stack", "Stack"},
    {"eval", "Eval result"}, {"monitorall", "Monitor - All"}, {"monitornew", "Monitor - New lines only"},
    {"logall", "Log - All"}, {"lognew", "Log - New lines only"}, {"errors", "Error messages"},
    {"config", "Configuration"}, {"lastc", "Last C line executed"}, {"nextc", "Next C line to execute"},
};

QLineEdit *HexEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(4);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,4}")), edit));
    edit->setMaximumWidth(60);
    return edit;
}

QString Hex(int value)
{
    return QString::number(value & 0xFFFF, 16).toUpper();
}

/// The "Comments" dialog: a memo with OK, Cancel and "Clear".
QStringList AskComments(QWidget *parent, bool *ok)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("Comments"));
    dialog.setWindowTitle(QStringLiteral("Comments"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *memo = new QPlainTextEdit(&dialog);
    memo->setObjectName(QStringLiteral("Memo1"));
    layout->addWidget(memo);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton *clear = box->addButton(QStringLiteral("Clear"), QDialogButtonBox::ResetRole);
    QObject::connect(clear, &QPushButton::clicked, memo, &QPlainTextEdit::clear);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    *ok = dialog.exec() == QDialog::Accepted;
    return memo->toPlainText().split(QLatin1Char('\n'));
}

}  // namespace

Tfkivdbgsnap::Tfkivdbgsnap(TSnapshotModel &snapshot, QWidget *parent)
    : QDialog(parent)
    , m_snapshot(snapshot)
{
    setObjectName(QStringLiteral("fkivdbgsnap"));
    setWindowTitle(QStringLiteral("Snapshot of debugger state"));
    auto *layout = new QVBoxLayout(this);

    auto *whereBox = new QGroupBox(QStringLiteral("Where"), this);
    whereBox->setObjectName(QStringLiteral("where"));
    auto *whereLayout = new QHBoxLayout(whereBox);
    m_where = new QButtonGroup(this);
    const char *items[] = {"Printer", "Append to file", "Unique file", "Overwrite file"};
    for (int i = 0; i < 4; ++i) {
        auto *button = new QRadioButton(QLatin1String(items[i]), whereBox);
        m_where->addButton(button, i);
        whereLayout->addWidget(button);
    }
    layout->addWidget(whereBox);
    auto *fileRow = new QHBoxLayout;
    m_filename = new QLineEdit(this);
    m_filename->setObjectName(QStringLiteral("snapfilename"));
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setObjectName(QStringLiteral("browsebut"));
    m_comment = new QPushButton(QStringLiteral("Append comment"), this);
    m_comment->setObjectName(QStringLiteral("commentbut"));
    fileRow->addWidget(m_filename, 1);
    fileRow->addWidget(m_browse);
    fileRow->addWidget(m_comment);
    layout->addLayout(fileRow);

    auto *grid = new QGridLayout;
    int n = 0;
    const auto add = [&](const char *name, const char *caption) {
        auto *box = new QCheckBox(QLatin1String(caption), this);
        box->setObjectName(QLatin1String(name));
        m_boxes[QLatin1String(name)] = box;
        return box;
    };
    add("whenbreak", "After every break");
    add("whenstep", "After each single step");
    grid->addWidget(m_boxes.at(QStringLiteral("whenbreak")), 0, 0);
    grid->addWidget(m_boxes.at(QStringLiteral("whenstep")), 0, 1);
    n = 2;
    m_ramStart = HexEdit(this, "ramstart");
    m_ramEnd = HexEdit(this, "ramend");
    m_romStart = HexEdit(this, "romstart");
    m_romEnd = HexEdit(this, "romend");
    for (const TBoxEntry &entry : kBoxes) {
        QCheckBox *box = add(entry.name, entry.caption);
        const int row = n / 2 + 1;
        const int column = n % 2;
        if (QLatin1String(entry.name) == QLatin1String("ram") || QLatin1String(entry.name) == QLatin1String("romrange")) {
            auto *range = new QHBoxLayout;
            const bool ram = QLatin1String(entry.name) == QLatin1String("ram");
            range->addWidget(box);
            range->addWidget(ram ? m_ramStart : m_romStart);
            range->addWidget(new QLabel(QStringLiteral("to"), this));
            range->addWidget(ram ? m_ramEnd : m_romEnd);
            range->addStretch(1);
            grid->addLayout(range, row, column);
        } else {
            grid->addWidget(box, row, column);
        }
        ++n;
    }
    layout->addLayout(grid);

    auto *profiles = new QHBoxLayout;
    m_profiles = new QListWidget(this);
    m_profiles->setObjectName(QStringLiteral("profilelist"));
    m_profiles->setMaximumHeight(80);
    auto *load = new QPushButton(QStringLiteral("Load"), this);
    load->setObjectName(QStringLiteral("loadbut"));
    auto *save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("savebut"));
    profiles->addWidget(m_profiles, 1);
    profiles->addWidget(load);
    profiles->addWidget(save);
    layout->addLayout(profiles);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *now = buttons->addButton(QStringLiteral("Now"), QDialogButtonBox::YesRole);
    now->setObjectName(QStringLiteral("nowbut"));
    QPushButton *close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closebut"));
    layout->addWidget(buttons);
    connect(now, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(close, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });

    connect(m_where, &QButtonGroup::idToggled, this, [this](int, bool) { UpdateEnabled(); });
    connect(m_boxes.at(QStringLiteral("whenstep")), &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
    connect(m_browse, &QPushButton::clicked, this, [this] {
        TFileQuestion question{QStringLiteral("Snapshot file"), QString(), m_filename->text(),
                               {QStringLiteral("Text files (*.txt)"), QStringLiteral("All files (*)")}, 1, QStringLiteral("txt")};
        const QString path = Prompt().SaveFileName(question);
        if (!path.isEmpty())
            m_filename->setText(path);
    });
    connect(m_comment, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QStringList lines = AskComments(this, &ok);
        if (ok) {
            StoreControls();
            m_snapshot.AppendComment(lines);
        }
    });
    const auto profileQuestion = [] {
        return TFileQuestion{QStringLiteral("Snapshot profile"), DebuggerProfilesDir(), QString(),
                             {QStringLiteral("Snapshot Profiles (*.sna)")}, 1, QStringLiteral("sna")};
    };
    connect(load, &QPushButton::clicked, this, [this, profileQuestion] {
        TFileQuestion question = profileQuestion();
        const QString path = Prompt().OpenFileName(question);
        if (path.isEmpty())
            return;
        m_snapshot.LoadProfile(path);
        LoadControls();
        FillProfiles();
    });
    connect(save, &QPushButton::clicked, this, [this, profileQuestion] {
        TFileQuestion question = profileQuestion();
        const QString path = Prompt().SaveFileName(question);
        if (path.isEmpty())
            return;
        StoreControls();
        m_snapshot.SaveProfile(path);
        FillProfiles();
    });
    connect(m_profiles, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        m_snapshot.LoadProfile(DebuggerProfilesDir() + item->text());
        LoadControls();
    });
    FillProfiles();
    LoadControls();
}

QCheckBox *Tfkivdbgsnap::Box(const char *name) const
{
    const auto it = m_boxes.find(QLatin1String(name));
    return it == m_boxes.end() ? nullptr : it->second;
}

void Tfkivdbgsnap::FillProfiles()
{
    m_profiles->clear();
    m_profiles->addItems(QDir(DebuggerProfilesDir()).entryList({QStringLiteral("*.sna")}, QDir::Files, QDir::Name));
}

void Tfkivdbgsnap::LoadControls()
{
    const TSnapshotSettings &s = m_snapshot.settings;
    if (QAbstractButton *button = m_where->button(s.where))
        button->setChecked(true);
    m_filename->setText(s.filename);
    const std::pair<const char *, bool> values[] = {
        {"whenbreak", s.whenbreak}, {"whenstep", s.whenstep}, {"status", s.status}, {"watches", s.watches},
        {"breaks", s.breaks}, {"ram", s.ram}, {"eeprom", s.eeprom}, {"rompc", s.rompc}, {"rompcpm6", s.rompcpm6},
        {"romrange", s.romrange}, {"perifs", s.perifs}, {"stack", s.stack}, {"eval", s.eval},
        {"monitorall", s.monitorall}, {"monitornew", s.monitornew}, {"logall", s.logall}, {"lognew", s.lognew},
        {"errors", s.errors}, {"config", s.config}, {"lastc", s.lastc}, {"nextc", s.nextc},
    };
    for (const auto &[name, on] : values)
        Box(name)->setChecked(on);
    m_ramStart->setText(Hex(s.ramstart));
    m_ramEnd->setText(Hex(s.ramend));
    m_romStart->setText(Hex(s.romstart));
    m_romEnd->setText(Hex(s.romend));
    UpdateEnabled();
}

void Tfkivdbgsnap::StoreControls()
{
    TSnapshotSettings &s = m_snapshot.settings;
    s.where = std::max(m_where->checkedId(), 0);
    s.filename = m_filename->text();
    const auto on = [this](const char *name) { return Box(name)->isChecked(); };
    s.whenbreak = on("whenbreak");
    s.whenstep = on("whenstep");
    s.status = on("status");
    s.watches = on("watches");
    s.breaks = on("breaks");
    s.ram = on("ram");
    s.eeprom = on("eeprom");
    s.rompc = on("rompc");
    s.rompcpm6 = on("rompcpm6");
    s.romrange = on("romrange");
    s.perifs = on("perifs");
    s.stack = on("stack");
    s.eval = on("eval");
    s.monitorall = on("monitorall");
    s.monitornew = on("monitornew");
    s.logall = on("logall");
    s.lognew = on("lognew");
    s.errors = on("errors");
    s.config = on("config");
    s.lastc = on("lastc");
    s.nextc = on("nextc");
    s.ramstart = m_ramStart->text().toInt(nullptr, 16);
    s.ramend = m_ramEnd->text().toInt(nullptr, 16);
    s.romstart = m_romStart->text().toInt(nullptr, 16);
    s.romend = m_romEnd->text().toInt(nullptr, 16);
}

void Tfkivdbgsnap::UpdateEnabled()
{
    const bool file = m_where->checkedId() != TSnapshotSettings::swPrinter;
    m_filename->setVisible(file);
    m_browse->setVisible(file);
    m_comment->setVisible(file);
    Box("lastc")->setEnabled(Box("whenstep")->isChecked());
}

void Tfkivdbgsnap::ShowSnapshotDialog()
{
    LoadControls();
    const int result = exec();
    StoreControls();
    if (result == QDialog::Accepted)
        m_snapshot.TakeSnapshot();
}

}  // namespace kiv
