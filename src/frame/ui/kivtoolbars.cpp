#include "kivtoolbars.h"

#include "kivini.h"
#include "kivtools_model.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <functional>

namespace kiv {

namespace {

const QString kToolbarSection = QStringLiteral("Toolbar");
constexpr QSize kIconSize(16, 16);

QString PlainCaption(QString caption)
{
    return caption.remove('&');
}

const QMenu *MenuOf(const QMenuBar *menus, const QString &toolbarName)
{
    const QString wanted = toolbarName == QLatin1String("General") ? QStringLiteral("File")
                                                                    : toolbarName;
    for (QAction *action : menus->actions()) {
        if (action->menu() && PlainCaption(action->text()).compare(wanted, Qt::CaseInsensitive) == 0)
            return action->menu();
    }
    return nullptr;
}

}  // namespace

TToolbars::TToolbars(QMainWindow *main, QToolBar *compilerSelect)
    : QObject(main)
    , m_main(main)
    , m_compilerSelect(compilerSelect)
{
    setObjectName(QStringLiteral("Toolbars"));
}

QToolBar *TToolbars::CreateToolbar(const QString &name, const QMenu *menu)
{
    auto *bar = new QToolBar(name, m_main);
    bar->setObjectName(name);
    bar->setIconSize(kIconSize);
    bar->setFloatable(true);
    bar->setMovable(true);
    if (!menu)
        return bar;
    for (QAction *item : menu->actions()) {
        if (item->isSeparator()) {
            bar->addSeparator();
            continue;
        }
        // Sub-menus and commands without an icon get no button.
        if (item->menu() || item->icon().isNull())
            continue;
        auto *button = new QToolButton(bar);
        button->setDefaultAction(item);
        button->setAutoRaise(true);
        button->setIconSize(kIconSize);
        QAction *entry = bar->addWidget(button);
        entry->setObjectName(name + QStringLiteral("Button") + item->objectName());
        m_buttons.insert(name + ' ' + PlainCaption(item->text()), entry);
    }
    return bar;
}

void TToolbars::BuildToolbars(const QMenuBar *menus, const TIniFile &ini)
{
    for (const QString &name : ToolbarNames()) {
        QToolBar *bar = name == QLatin1String("Compiler-Select") && m_compilerSelect
                            ? m_compilerSelect
                            : CreateToolbar(name, MenuOf(menus, name));
        if (bar == m_compilerSelect)
            bar->setObjectName(name);
        // The Edit tool bar starts a new row.
        if (name == QLatin1String("Edit"))
            m_main->addToolBarBreak();
        m_main->addToolBar(Qt::TopToolBarArea, bar);
        m_bars.insert(name, bar);
    }
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        it.value()->setVisible(ini.ReadBool(kToolbarSection, ToolbarSettingsKey(it.key()),
                                            DefaultToolbarVisible(it.key())));
    }
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        const bool visible = ini.ReadBool(kToolbarSection, ToolbarSettingsKey(it.key()),
                                          DefaultToolbarVisible(it.key()));
        m_barVisible.insert(it.key(), visible);
        UpdateSeparators(it.value());
        // A bar without a visible button stays hidden.
        it.value()->setVisible(visible && HasVisibleButton(it.value()));
    }
}

bool TToolbars::HasVisibleButton(const QToolBar *bar) const
{
    if (bar == m_compilerSelect)
        return true;
    for (QAction *action : bar->actions()) {
        if (!action->isSeparator() && action->isVisible())
            return true;
    }
    return false;
}

void TToolbars::UpdateSeparators(QToolBar *bar) const
{
    // A separator shows only between two groups of visible buttons.
    QAction *pending = nullptr;
    bool buttonBefore = false;
    for (QAction *action : bar->actions()) {
        if (action->isSeparator()) {
            action->setVisible(false);
            if (buttonBefore)
                pending = action;
            continue;
        }
        if (!action->isVisible())
            continue;
        if (pending) {
            pending->setVisible(true);
            pending = nullptr;
        }
        buttonBefore = true;
    }
}

QToolBar *TToolbars::Toolbar(const QString &name) const
{
    return m_bars.value(name);
}

QAction *TToolbars::Button(const QString &name) const
{
    return m_buttons.value(name);
}

void TToolbars::SetToolbarVisible(bool visible, const QString &name)
{
    QToolBar *bar = m_bars.value(name);
    if (!bar)
        return;
    m_barVisible[name] = visible;
    // A bar asked for whose buttons are all hidden shows them all, rather than nothing.
    if (visible && !HasVisibleButton(bar)) {
        for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
            if (it.key().section(' ', 0, 0) == name)
                it.value()->setVisible(true);
        }
        UpdateSeparators(bar);
    }
    bar->setVisible(visible && HasVisibleButton(bar));
}

bool TToolbars::IsToolbarVisible(const QString &name) const
{
    const QToolBar *bar = m_bars.value(name);
    return bar && !bar->isHidden();
}

void TToolbars::SetButtonVisible(const QString &name, bool visible)
{
    QAction *entry = m_buttons.value(name);
    if (!entry)
        return;
    entry->setVisible(visible);
    const QString barName = name.section(' ', 0, 0);
    if (QToolBar *bar = m_bars.value(barName)) {
        UpdateSeparators(bar);
        bar->setVisible(m_barVisible.value(barName) && HasVisibleButton(bar));
    }
}

void TToolbars::SaveToolbars(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        batch.WriteBool(kToolbarSection, ToolbarSettingsKey(it.key()),
                        m_barVisible.value(it.key(), !it.value()->isHidden()));
    }
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        batch.WriteBool(kToolbarSection, ToolbarSettingsKey(it.key()), it.value()->isVisible());
    batch.Commit();
}

namespace {

// Every command of the menus with its key name: category (the action's own, else its top-level
// menu's caption) and caption; separators, submenu items and recent-file entries have none.
void ForEachCommand(const QMenuBar *menus, const std::function<void(QAction *, const QString &)> &visit)
{
    std::function<void(const QMenu *, const QString &)> walk = [&](const QMenu *menu, const QString &top) {
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            if (action->menu()) {
                walk(action->menu(), top);
                continue;
            }
            const QVariant category = action->property("category");
            const QString key = CommandKeyName(category.isValid() ? category.toString() : top, action->text());
            if (!key.isEmpty())
                visit(action, key);
        }
    };
    for (QAction *action : menus->actions()) {
        if (action->menu())
            walk(action->menu(), action->menu()->title());
    }
}

}  // namespace

void TToolbars::LoadShortcuts(const QMenuBar *menus, const TIniFile &ini)
{
    const QString section = QStringLiteral("Shortcuts");
    if (!ini.SectionExists(section))
        return;
    ForEachCommand(menus, [&](QAction *action, const QString &key) {
        if (!ini.ValueExists(section, key))
            return;
        QList<QKeySequence> keys;
        for (const QString &text : ShortcutsFromValue(ini.ReadString(section, key))) {
            const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
            // QKeySequence reads almost any text as some key; a text is a key combination only
            // when it reads back as itself.
            const auto plain = [](QString t) { return t.remove(QLatin1Char(' ')).toLower(); };
            if (sequence.isEmpty() || plain(sequence.toString(QKeySequence::PortableText)) != plain(text))
                continue;
            if (!keys.contains(sequence))
                keys << sequence;
        }
        action->setShortcuts(keys);
    });
}

bool TToolbars::SaveShortcuts(const QMenuBar *menus, TIniFile &ini)
{
    TIniFile::Batch batch(ini);
    const QString section = QStringLiteral("Shortcuts");
    ForEachCommand(menus, [&](QAction *action, const QString &key) {
        QStringList texts;
        for (const QKeySequence &sequence : action->shortcuts())
            texts << sequence.toString(QKeySequence::PortableText);
        batch.WriteString(section, key, ShortcutsValue(texts));
    });
    return batch.Commit();
}

}  // namespace kiv
