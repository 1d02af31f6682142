#include "kivprompt.h"
#include "pc_dirs.h"
#include "uDbgForm.h"
#include "uDbgForm_model.h"
#include "uDebugFormConfigure_model.h"
#include "uDebugForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QToolButton *Button(QWidget *parent, const char *name, const char *hint, const char *icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QLatin1String(hint));
    button->setIcon(QIcon::fromTheme(QLatin1String(icon)));
    button->setText(QLatin1String(hint));
    return button;
}

}  // namespace

TDebugFormConfigure::TDebugFormConfigure(TDbgForm *debugForm, TDbgFormModel &session)
    : TDebugDockForm(debugForm, &session.Configure())
    , m_session(session)
    , m_model(session.Configure())
{
    auto *layout = new QVBoxLayout(Client());
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto *bar = new QHBoxLayout;
    m_load = Button(Client(), "loadbtn", "Load profile of all debugger settings", "document-open");
    m_save = Button(Client(), "saveprbtn", "Save profile of all debugger settings", "document-save");
    m_reload = Button(Client(), "reloadbut", "Reload target firmware", "view-refresh");
    m_program = Button(Client(), "configbtn", "ICD Program", "preferences-system");
    m_program->setText(QStringLiteral("ICD Program"));
    m_program->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QToolButton *button : {m_load, m_save, m_reload, m_program})
        bar->addWidget(button);
    bar->addStretch(1);
    layout->addLayout(bar);
    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(QStringLiteral("Debugger:"), Client()));
    m_debugger = new QComboBox(Client());
    m_debugger->setObjectName(QStringLiteral("cfdebugger"));
    typeRow->addWidget(m_debugger, 1);
    layout->addLayout(typeRow);
    m_grid = new QTableWidget(Client());
    m_grid->setObjectName(QStringLiteral("cfgrid"));
    m_grid->setColumnCount(2);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Option"), QStringLiteral("Value")});
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_grid, 1);
    m_hint = new QLabel(Client());
    m_hint->setObjectName(QStringLiteral("cfhint"));
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_apply = new QPushButton(QStringLiteral("Apply"), Client());
    m_apply->setObjectName(QStringLiteral("applybut"));
    m_abort = new QPushButton(QStringLiteral("Abort"), Client());
    m_abort->setObjectName(QStringLiteral("abortbut"));
    buttons->addWidget(m_apply);
    buttons->addWidget(m_abort);
    layout->addLayout(buttons);

    connect(m_debugger, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling)
            m_model.SelectDebugger(index);
    });
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row) {
        m_hint->setText(row >= 0 && row < m_model.Options().size() ? m_model.Options().at(row).hint : QString());
    });
    connect(m_apply, &QPushButton::clicked, this, [this] { m_model.ApplyOptions(); });
    connect(m_abort, &QPushButton::clicked, this, [this] { m_model.AbortOptions(); });
    connect(m_load, &QToolButton::clicked, this, &TDebugFormConfigure::LoadProfileClick);
    connect(m_save, &QToolButton::clicked, this, &TDebugFormConfigure::SaveProfileClick);
    connect(m_reload, &QToolButton::clicked, this, [this] { m_session.Reload(); });
    connect(m_program, &QToolButton::clicked, this, [this] { m_session.LaunchProgrammingTool(); });
    m_model.OnOptionsChanged = [this] { FillGrid(); };
    m_model.OnProfileButtonsEnabled = [this](bool) { UpdateButtons(); };
    FillGrid();
    SetControlsEnabled(false);
}

void TDebugFormConfigure::LoadProfileClick()
{
    TFileQuestion question{QStringLiteral("Load profile of all debugger settings"), DebuggerProfilesDir(), QString(),
                           {QStringLiteral("Debug Profiles (*.dbg)")}, 1, QStringLiteral("dbg")};
    const QString path = Prompt().OpenFileName(question);
    if (!path.isEmpty())
        m_session.LoadProfile(path);
}

void TDebugFormConfigure::SaveProfileClick()
{
    TFileQuestion question{QStringLiteral("Save profile of all debugger settings"), DebuggerProfilesDir(), QString(),
                           {QStringLiteral("Debug Profiles (*.dbg)")}, 1, QStringLiteral("dbg")};
    const QString path = Prompt().SaveFileName(question);
    if (!path.isEmpty())
        m_session.SaveProfile(path);
}

void TDebugFormConfigure::FillGrid()
{
    m_filling = true;
    m_debugger->clear();
    for (const TDebuggerType &type : m_model.Debuggers())
        m_debugger->addItem(type.name);
    m_debugger->setCurrentIndex(m_model.SelectedIndex());
    const QList<TDebugOption> &options = m_model.Options();
    m_grid->clearContents();
    m_grid->setRowCount(int(options.size()));
    for (int row = 0; row < options.size(); ++row) {
        const TDebugOption &option = options.at(row);
        m_grid->setItem(row, 0, new QTableWidgetItem(option.name));
        const QString shown = m_model.Shown(row);
        if (option.ReadOnly()) {
            m_grid->setItem(row, 1, new QTableWidgetItem(shown));
            continue;
        }
        const auto edited = [this, row](const QString &text) {
            if (m_filling)
                return;
            m_model.SetShown(row, text);
            UpdateButtons();
        };
        switch (option.Kind().unicode()) {
        case 'B': {
            auto *box = new QCheckBox(m_grid);
            box->setChecked(shown.startsWith(QLatin1Char('T'), Qt::CaseInsensitive));
            connect(box, &QCheckBox::toggled, this,
                    [edited](bool on) { edited(on ? QStringLiteral("True") : QStringLiteral("False")); });
            m_grid->setCellWidget(row, 1, box);
            break;
        }
        case 'L': {
            auto *combo = new QComboBox(m_grid);
            combo->addItems(option.Choices());
            combo->setCurrentText(shown);
            connect(combo, &QComboBox::currentTextChanged, this, edited);
            m_grid->setCellWidget(row, 1, combo);
            break;
        }
        default: {
            auto *edit = new QLineEdit(shown, m_grid);
            if (option.Kind() == QLatin1Char('I'))
                edit->setValidator(new QIntValidator(edit));
            connect(edit, &QLineEdit::textEdited, this, edited);
            m_grid->setCellWidget(row, 1, edit);
            break;
        }
        }
    }
    m_grid->resizeColumnToContents(0);
    m_filling = false;
    UpdateButtons();
}

void TDebugFormConfigure::UpdateButtons()
{
    m_apply->setEnabled(m_model.EditsPending());
    m_abort->setEnabled(m_model.EditsPending());
    m_load->setEnabled(m_model.ProfileButtonsEnabled());
    m_save->setEnabled(m_model.ProfileButtonsEnabled());
    const TDebugCommands commands = DebugCommands(m_session.State());
    m_reload->setEnabled(m_sessionControls && commands.program);
    m_program->setEnabled(m_sessionControls && commands.program);
}

void TDebugFormConfigure::SetControlsEnabled(bool on)
{
    // Without a session the type and the options can still be changed.
    m_sessionControls = on;
    m_debugger->setEnabled(true);
    m_grid->setEnabled(true);
    UpdateButtons();
}

void TDebugFormConfigure::ModelChanged()
{
    FillGrid();
}

}  // namespace kiv
