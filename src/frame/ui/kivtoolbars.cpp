#include "kivtoolbars.h"

#include "kivini.h"
#include "kivtools_model.h"
#include "screenfit.h"

#include <QDataStream>
#include <QEvent>
#include <QGuiApplication>
#include <QIODevice>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <functional>

namespace kiv {

namespace {

const QString kToolbarSection = QStringLiteral("Toolbar");
const QString kPositionSection = QStringLiteral("Toolbar Position");
const char kToolbarFlag[] = "toolbarFlag";
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

// The main window's layout state (the stream its saveState writes, tool bar part only) for the
// given rows of the top bar and floating bars: a marker and version, the tool bar marker, the
// number of lines, then per line its area (top) and its bars, each with its name, shown flag,
// position, preferred size and its floating rectangle packed in two words (0 when docked).
QByteArray ToolbarLayoutState(const std::vector<QStringList> &rows, const QMap<QString, QRect> &floating)
{
    constexpr int kVersionMarker = 0xff;
    constexpr uchar kToolBarStateMarkerEx = 0xfc;
    constexpr int kTopDock = 2;
    QByteArray state;
    QDataStream stream(&state, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_5_0);
    int lines = int(floating.size());
    for (const QStringList &row : rows)
        lines += row.isEmpty() ? 0 : 1;
    stream << kVersionMarker << 0 << kToolBarStateMarkerEx << lines;
    const auto item = [&](const QString &name, const QRect *rect) {
        stream << name << uchar(1) << 0 << -1;
        quint32 geom0 = 0;
        quint32 geom1 = 0;
        if (rect) {
            const auto packed = [](int size, int pos) {
                return (quint32(qBound(0, size, 0xffff)) << 16) | quint32(qBound(0, pos + 0x7fff, 0xffff));
            };
            geom0 = (packed(rect->width(), rect->x()) << 1) | 1;
            geom1 = packed(rect->height(), rect->y());
        }
        stream << geom0 << geom1;
    };
    for (const QStringList &row : rows) {
        if (row.isEmpty())
            continue;
        stream << kTopDock << int(row.size());
        for (const QString &name : row)
            item(name, nullptr);
    }
    for (auto it = floating.cbegin(); it != floating.cend(); ++it) {
        stream << kTopDock << 1;
        item(it.key(), &it.value());
    }
    return state;
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

void TToolbars::BuildToolbars(const QMenuBar *menus, const TIniFile &ini, int clientWidth)
{
    for (const QString &name : ToolbarNames()) {
        QToolBar *bar = name == QLatin1String("Compiler-Select") && m_compilerSelect
                            ? m_compilerSelect
                            : CreateToolbar(name, MenuOf(menus, name));
        if (bar == m_compilerSelect)
            bar->setObjectName(name);
        m_bars.insert(name, bar);
    }
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        ShowButton(it.key(), it.value(), ini.ReadBool(kToolbarSection, ToolbarSettingsKey(it.key()),
                                                      DefaultToolbarVisible(it.key())));
    }
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        const bool visible = ini.ReadBool(kToolbarSection, ToolbarSettingsKey(it.key()),
                                          DefaultToolbarVisible(it.key()));
        m_barVisible.insert(it.key(), visible);
        UpdateSeparators(it.value());
    }
    ArrangeToolbars(ini, clientWidth);
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        // A bar without a visible button stays hidden.
        it.value()->setVisible(m_barVisible.value(it.key()) && HasVisibleButton(it.value()));
        it.value()->installEventFilter(this);
    }
}

void TToolbars::ArrangeToolbars(const TIniFile &ini, int clientWidth)
{
    // With saved places the bars go back to their rows in the top bar, left to right, or float
    // where they were; bars without a saved place join the last row. Without any, the bars are
    // laid out left to right in rows that fit the window, "Edit" heading the second row.
    std::vector<QStringList> rows;
    QMap<QString, QRect> floating;
    if (ini.SectionExists(kPositionSection)) {
        std::vector<std::pair<QString, TToolbarPlace>> docked;
        QStringList unplaced;
        // A bar that floated off the screens of this start floats on one of them.
        QList<QRect> screens;
        for (const QScreen *screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        for (const QString &name : ToolbarNames()) {
            const QString key = ToolbarSettingsKey(name);
            const int left = ini.ReadInteger(kPositionSection, key + QStringLiteral(" left"), kNoToolbarPosition);
            const int top = ini.ReadInteger(kPositionSection, key + QStringLiteral(" top"), kNoToolbarPosition);
            if (left == kNoToolbarPosition || top == kNoToolbarPosition) {
                unplaced << name;
                continue;
            }
            TToolbarPlace place;
            place.docked = ini.ReadBool(kPositionSection, key + QStringLiteral(" docked"), true);
            place.left = left;
            place.top = top;
            place.width = ini.ReadInteger(kPositionSection, key + QStringLiteral(" width"), 0);
            place.height = ini.ReadInteger(kPositionSection, key + QStringLiteral(" height"), 0);
            m_hiddenPlaces.insert(name, place);
            if (place.docked)
                docked.emplace_back(name, place);
            else
                floating.insert(name, FitOnScreens(place.left, place.top, place.width, place.height,
                                                   screens, QSize(24, 24)));
        }
        rows = ToolbarRows(docked);
        if (rows.empty())
            rows.emplace_back();
        rows.back() << unplaced;
    } else {
        std::vector<std::pair<QString, int>> widths;
        for (const QString &name : ToolbarNames()) {
            QToolBar *bar = m_bars.value(name);
            const bool shown = m_barVisible.value(name) && HasVisibleButton(bar);
            widths.emplace_back(name, shown ? bar->sizeHint().width() : 0);
        }
        if (clientWidth <= 0)
            clientWidth = m_main->width() >= 320 ? m_main->width() : 1024;
        rows = DefaultToolbarRows(widths, clientWidth);
    }
    // Floating bars need the main window's own layout state, which alone can float a bar.
    if (!floating.isEmpty() && m_main->restoreState(ToolbarLayoutState(rows, floating)))
        return;
    bool first = true;
    for (const QStringList &row : rows) {
        if (row.isEmpty())
            continue;
        if (!first)
            m_main->addToolBarBreak(Qt::TopToolBarArea);
        first = false;
        for (const QString &name : row)
            m_main->addToolBar(Qt::TopToolBarArea, m_bars.value(name));
    }
    // Bars that could not float join the last row.
    for (auto it = floating.cbegin(); it != floating.cend(); ++it)
        m_main->addToolBar(Qt::TopToolBarArea, m_bars.value(it.key()));
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
                ShowButton(it.key(), it.value(), true);
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
    ShowButton(name, entry, visible);
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
    for (const QString &name : ToolbarNames()) {
        if (!m_bars.contains(name))
            continue;
        const TToolbarPlace place = Place(name);
        const QString key = ToolbarSettingsKey(name);
        batch.WriteBool(kPositionSection, key + QStringLiteral(" docked"), place.docked);
        batch.WriteInteger(kPositionSection, key + QStringLiteral(" left"), place.left);
        batch.WriteInteger(kPositionSection, key + QStringLiteral(" top"), place.top);
        batch.WriteInteger(kPositionSection, key + QStringLiteral(" height"), place.height);
        batch.WriteInteger(kPositionSection, key + QStringLiteral(" width"), place.width);
    }
    batch.Commit();
}

TToolbarPlace TToolbars::Place(const QString &name) const
{
    const QToolBar *bar = m_bars.value(name);
    if (!bar)
        return {};
    if (!bar->isHidden())
        return LivePlace(bar);
    // A hidden bar has no place of its own on the screen: it keeps the one it had when it was
    // last shown, or the one it came with; a bar never seen has none.
    if (m_hiddenPlaces.contains(name))
        return m_hiddenPlaces.value(name);
    return TToolbarPlace{true, kNoToolbarPosition, kNoToolbarPosition, kNoToolbarPosition, kNoToolbarPosition};
}

bool TToolbars::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide) {
        for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
            if (it.value() == watched)
                m_hiddenPlaces.insert(it.key(), LivePlace(it.value()));
        }
    }
    return QObject::eventFilter(watched, event);
}

TToolbarPlace TToolbars::LivePlace(const QToolBar *bar) const
{
    TToolbarPlace place;
    place.docked = !bar->isFloating();
    const QRect rect = place.docked ? QRect(bar->mapTo(m_main, QPoint(0, 0)), bar->size()) : bar->geometry();
    place.left = rect.left();
    place.top = rect.top();
    place.width = rect.width();
    place.height = rect.height();
    return place;
}

TToolBarItems TToolbars::Items() const
{
    TToolBarItems items;
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it)
        items.Set(it.key(), m_barVisible.value(it.key(), !it.value()->isHidden()));
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        items.Set(it.key(), it.value()->isVisible());
    return items;
}

void TToolbars::ApplyItems(const TToolBarItems &items)
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        if (!items.Contains(it.key()))
            continue;
        ShowButton(it.key(), it.value(), items.Visible(it.key()));
    }
    for (auto it = m_bars.cbegin(); it != m_bars.cend(); ++it) {
        if (items.Contains(it.key()))
            m_barVisible[it.key()] = items.Visible(it.key());
        UpdateSeparators(it.value());
        it.value()->setVisible(m_barVisible.value(it.key()) && HasVisibleButton(it.value()));
    }
}

QStringList TToolbars::ButtonNames(const QString &toolbar) const
{
    QStringList names;
    const QToolBar *bar = m_bars.value(toolbar);
    if (!bar)
        return names;
    for (QAction *entry : bar->actions()) {
        for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
            if (it.value() == entry) {
                names << it.key();
                break;
            }
        }
    }
    return names;
}

void TToolbars::ShowButton(const QString &name, QAction *entry, bool visible)
{
    entry->setVisible(visible);
    // The command's "Toolbar" flag is saved with the shortcuts: it follows its button.
    if (QAction *command = ButtonCommand(name))
        command->setProperty(kToolbarFlag, visible);
}

QAction *TToolbars::ButtonCommand(const QString &name) const
{
    const auto *entry = qobject_cast<const QWidgetAction *>(m_buttons.value(name));
    const auto *button = entry ? qobject_cast<const QToolButton *>(entry->defaultWidget()) : nullptr;
    return button ? button->defaultAction() : nullptr;
}

// Every command of the menus with its key name: category (the action's own, else its top-level
// menu's caption) and caption; separators, submenu items and recent-file entries have none.
void TToolbars::ForEachCommand(const QMenuBar *menus,
                               const std::function<void(QAction *, const QString &, const QString &)> &visit)
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
                visit(action, key, top);
        }
    };
    for (QAction *action : menus->actions()) {
        if (action->menu())
            walk(action->menu(), action->menu()->title());
    }
}

void TToolbars::LoadShortcuts(const QMenuBar *menus, const TIniFile &ini)
{
    const QString section = QStringLiteral("Shortcuts");
    const bool haveShortcuts = ini.SectionExists(section);
    const bool haveFlags = ini.SectionExists(kToolbarSection);
    if (!haveShortcuts && !haveFlags)
        return;
    ForEachCommand(menus, [&](QAction *action, const QString &key, const QString &) {
        if (haveFlags && ini.ValueExists(kToolbarSection, key))
            action->setProperty(kToolbarFlag, ini.ReadBool(kToolbarSection, key, false));
        if (!haveShortcuts || !ini.ValueExists(section, key))
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
    ForEachCommand(menus, [&](QAction *action, const QString &key, const QString &) {
        QStringList texts;
        for (const QKeySequence &sequence : action->shortcuts())
            texts << sequence.toString(QKeySequence::PortableText);
        batch.WriteString(section, key, ShortcutsValue(texts));
        batch.WriteBool(kToolbarSection, key, action->property(kToolbarFlag).toBool());
    });
    return batch.Commit();
}

}  // namespace kiv
