#include "uDebugFormConfigure_model.h"

#include "kivini.h"
#include "uDbgProxy.h"

namespace kiv {

namespace {

constexpr int kRowLimit = 255;
const char kKivDebug[] = "kivdebug";
const char kDebuggerType[] = "Debugger-type";

}  // namespace

TDebugOption TDebugOption::FromText(const QString &text)
{
    TDebugOption row;
    const QStringList fields = text.left(kRowLimit).split(QLatin1Char(';'));
    row.name = fields.value(0);
    row.type = fields.value(1);
    row.values = fields.value(2);
    row.value = fields.value(3);
    // The hint is the rest of the row, ";" included.
    row.hint = fields.mid(4).join(QLatin1Char(';'));
    return row;
}

QString TDebugOption::Text() const
{
    return (name + QLatin1Char(';') + type + QLatin1Char(';') + values + QLatin1Char(';') + value
            + QLatin1Char(';') + hint)
        .left(kRowLimit);
}

TDebugConfigureModel::TDebugConfigureModel(QString settingsFile)
    : TDebugWindowModel(QStringLiteral("TDebugFormConfigure"), QStringLiteral("Debug Configure"))
    , m_settingsFile(std::move(settingsFile))
{
    RebuildOptions(nullptr);
}

const QStringList &TDebugConfigureModel::IdeOptionRows()
{
    static const QStringList rows = {
        QStringLiteral("Compile Reload;B;;True;When TRUE the target will be reloaded after every compile"),
        QStringLiteral("Mouse over eval;B;;True;When TRUE expresions will be evaluated when the mouse moves over them"),
        QStringLiteral("Timeout Mouse over;B;;True;When FALSE the move over hint dissapears only if the mouse is moved"),
        QStringLiteral("Mouse over radix;L;Default,Hexadecimal,Binary;Default;Set the radix used for mouse over evaluation"),
        QStringLiteral("Userstream enabled;B;;True;When True userstream is enabled pin b3 is used for userstream"),
        QStringLiteral("Echo on Monitor;B;;True;When True characters typed in are echoed on the monitor window"),
        QStringLiteral("Monitor Font Size;I;;9;Font for the monitor screen"),
    };
    return rows;
}

QString TDebugConfigureModel::KeyOf(const QString &name)
{
    return name.toUpper().replace(QLatin1Char(' '), QLatin1Char('_'));
}

void TDebugConfigureModel::BuildDebuggerList(const QStringList &paths)
{
    m_debuggers.clear();
    for (const QString &path : paths) {
        const QString name = TDbgProxy::LibraryName(path);
        if (!name.isEmpty())
            m_debuggers.append(TDebuggerType{path, name});
    }
    const QString stored = TIniFile(m_settingsFile).ReadString(QLatin1String(kKivDebug), QLatin1String(kDebuggerType));
    m_selected = m_debuggers.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_debuggers.size() && !stored.isEmpty(); ++i) {
        if (m_debuggers.at(i).name == stored) {
            m_selected = i;
            break;
        }
    }
    Changed();
}

bool TDebugConfigureModel::SelectDebugger(int index)
{
    if (index < 0 || index >= m_debuggers.size() || index == m_selected)
        return false;
    m_selected = index;
    TIniFile(m_settingsFile).WriteString(QLatin1String(kKivDebug), QLatin1String(kDebuggerType),
                                         m_debuggers.at(index).name);
    m_libraryRows.clear();
    RebuildOptions(nullptr);
    if (OnDebuggerChanged)
        OnDebuggerChanged();
    return true;
}

QString TDebugConfigureModel::SelectedLibraryPath() const
{
    return m_selected >= 0 ? m_debuggers.at(m_selected).path : QString();
}

QString TDebugConfigureModel::SelectedDebuggerName() const
{
    return m_selected >= 0 ? m_debuggers.at(m_selected).name : QString();
}

bool TDebugConfigureModel::IsSimulator() const
{
    return SelectedDebuggerName().compare(QLatin1String("Simulator"), Qt::CaseInsensitive) == 0;
}

QString TDebugConfigureModel::Section() const
{
    return KeyOf(SelectedDebuggerName());
}

void TDebugConfigureModel::RebuildOptions(TDbgProxy *debugger)
{
    if (debugger) {
        QStringList rows;
        debugger->GetOptions(rows);
        m_libraryRows = rows;
    }
    m_options.clear();
    for (const QString &row : IdeOptionRows())
        m_options.append(TDebugOption::FromText(row));
    for (const QString &row : std::as_const(m_libraryRows))
        m_options.append(TDebugOption::FromText(row));
    const QString firmware = GetOption(QStringLiteral("ICD F/W"));
    if (SelectedDebuggerName() == QLatin1String("PELKO-USB") && firmware.size() >= 5
        && firmware.at(4) == QLatin1Char('P'))
        m_options.append(TDebugOption::FromText(
            QStringLiteral("Palex Supplies Vdd;B;;False;When True Palex supplies vdd(5V) to target")));
    ReloadOptionValues();
}

void TDebugConfigureModel::ReloadOptionValues()
{
    LoadStoredValues();
    Apply();
    m_dirty = false;
    if (OnOptionsChanged)
        OnOptionsChanged();
}

void TDebugConfigureModel::LoadStoredValues()
{
    const TIniFile ini(m_settingsFile);
    const QString section = Section();
    m_shown.clear();
    for (TDebugOption &row : m_options) {
        if (!row.ReadOnly() && !section.isEmpty())
            row.value = ini.ReadString(section, KeyOf(row.name), row.value);
        // The row is rebuilt and cut like the row text.
        row = TDebugOption::FromText(row.Text());
        m_shown << row.value;
    }
}

QString TDebugConfigureModel::GetOption(const QString &name) const
{
    for (const TDebugOption &row : m_options) {
        if (row.name.compare(name, Qt::CaseInsensitive) == 0)
            return row.value;
    }
    return QStringLiteral(" ");
}

void TDebugConfigureModel::SetProcessor(const QString &value)
{
    for (qsizetype i = m_options.size() - 1; i >= 0; --i) {
        if (m_options.at(i).name == QLatin1String("Processor")) {
            m_options.removeAt(i);
            m_shown.removeAt(i);
        }
    }
    const TDebugOption row = TDebugOption::FromText(QStringLiteral("Processor;SR;;") + value
                                                    + QStringLiteral(";The target microcontroller part number"));
    m_options.append(row);
    m_shown.append(row.value);
    if (OnOptionsChanged)
        OnOptionsChanged();
}

QString TDebugConfigureModel::Shown(int index) const
{
    return m_shown.value(index);
}

void TDebugConfigureModel::SetShown(int index, const QString &text)
{
    if (index < 0 || index >= m_shown.size() || m_options.at(index).ReadOnly() || m_shown.at(index) == text)
        return;
    m_shown[index] = text;
    m_dirty = true;
}

void TDebugConfigureModel::ApplyOptions()
{
    TIniFile ini(m_settingsFile);
    const QString section = Section();
    {
        TIniFile::Batch batch(ini);
        for (int i = 0; i < m_options.size(); ++i) {
            TDebugOption &row = m_options[i];
            if (row.ReadOnly())
                continue;
            if (!section.isEmpty())
                batch.WriteString(section, KeyOf(row.name), m_shown.at(i));
            row.value = m_shown.at(i);
            row = TDebugOption::FromText(row.Text());
        }
        batch.Commit();
    }
    Apply();
    m_dirty = false;
    if (OnOptionsChanged)
        OnOptionsChanged();
}

void TDebugConfigureModel::AbortOptions()
{
    RebuildOptions(nullptr);
}

void TDebugConfigureModel::Apply()
{
    const auto on = [this](const char *name) { return GetOption(QLatin1String(name)).startsWith(QLatin1Char('T')); };
    m_applied.mouseOverEval = on("Mouse over eval");
    m_applied.compileReload = on("Compile Reload");
    m_applied.timeoutMouseOver = on("Timeout Mouse over");
    m_applied.userstream = on("Userstream enabled");
    m_applied.echoOnMonitor = on("Echo on Monitor");
    const QString radix = GetOption(QStringLiteral("Mouse over radix"));
    if (radix == QLatin1String("Default"))
        m_applied.mouseOverRadix = 0;
    else if (radix == QLatin1String("Hexadecimal"))
        m_applied.mouseOverRadix = 1;
    else if (radix == QLatin1String("Binary"))
        m_applied.mouseOverRadix = 2;
    bool ok = false;
    const int size = GetOption(QStringLiteral("Monitor Font Size")).trimmed().toInt(&ok);
    if (ok && size > 0)
        m_applied.monitorFontSize = size;
    if (OnApplied)
        OnApplied(m_applied);
}

void TDebugConfigureModel::SetProfileButtonsEnabled(bool on)
{
    m_profileButtons = on;
    if (OnProfileButtonsEnabled)
        OnProfileButtonsEnabled(on);
}

bool TDebugConfigureModel::Activate()
{
    TDebugWindowModel::Activate();
    m_dirty = false;
    if (OnOptionsChanged)
        OnOptionsChanged();
    return true;
}

bool TDebugConfigureModel::Deactivate()
{
    // The window keeps its debugger list and option grid usable (the UI knows which controls).
    return TDebugWindowModel::Deactivate();
}

}  // namespace kiv
