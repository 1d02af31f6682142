#include "uDebugBase_model.h"

namespace kiv {

TDebugStatus DebugStatus(TDebugState state, quint32 pc, quint8 w, double clockMHz, int loadPercent)
{
    TDebugStatus status;
    switch (state) {
    case dsDisabled:
        status.unchanged = true;
        return status;
    case dsNotReady:
        status.pane3 = QStringLiteral("Not Ready");
        status.fill = scRed;
        status.text = scWhite;
        break;
    case dsLoading:
        status.pane3 = loadPercent >= 0 ? QStringLiteral("Loading %1%").arg(loadPercent)
                                        : QStringLiteral("Loading");
        status.fill = scAqua;
        status.text = scBlack;
        break;
    case dsReady:
        status.pane3 = QStringLiteral("Ready MCU at ") + QString::number(clockMHz, 'f', 2)
                       + QStringLiteral(" MHz");
        status.fill = scButtonFace;
        status.text = scBlack;
        break;
    case dsRunning:
        status.pane3 = QStringLiteral("Running");
        status.fill = scYellow;
        status.text = scBlack;
        break;
    case dsAttaching:
        status.pane3 = QStringLiteral("Attaching");
        status.fill = scAqua;
        status.text = scBlack;
        break;
    case dsNoCommunication:
        status.pane3 = QStringLiteral("No Communication");
        status.fill = scRed;
        status.text = scWhite;
        break;
    case dsHaltedBusy:
    case dsBusy:
        status.pane3 = QStringLiteral("Busy");
        status.fill = scAqua;
        status.text = scBlack;
        break;
    case dsReadingRam:
        status.pane3 = QStringLiteral("Reading RAM");
        status.fill = scYellow;
        status.text = scBlack;
        break;
    }
    if (state == dsReady || state == dsHaltedBusy || state == dsBusy) {
        status.pane1 = QStringLiteral("PC=") + QStringLiteral("%1").arg(pc & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
        status.pane2 = QStringLiteral("W=") + QStringLiteral("%1").arg(w, 2, 16, QLatin1Char('0')).toUpper();
    }
    return status;
}

TDebugCommands DebugCommands(TDebugState state)
{
    TDebugCommands on;
    switch (state) {
    case dsDisabled:
        on.debugWindows = false;
        break;
    case dsReady:
        on.run = on.step = on.reset = on.program = true;
        break;
    case dsRunning:
        on.halt = on.haltShown = true;
        break;
    case dsNotReady:
    case dsNoCommunication:
        on.reset = on.program = true;
        break;
    default:
        break;
    }
    return on;
}

TDebugWindowModel::TDebugWindowModel(QString className, QString caption)
    : m_className(std::move(className))
    , m_caption(std::move(caption))
{
}

TDebugWindowModel::~TDebugWindowModel() = default;

bool TDebugWindowModel::Activate()
{
    SetControlsEnabled(true);
    return true;
}

bool TDebugWindowModel::Deactivate()
{
    SetControlsEnabled(false);
    return true;
}

bool TDebugWindowModel::Showing() const
{
    return IsShowing ? IsShowing() : m_showing;
}

void TDebugWindowModel::SetControlsEnabled(bool on)
{
    m_controlsEnabled = on;
    if (OnControlsEnabled)
        OnControlsEnabled(on);
}

void TDebugWindowModel::Changed()
{
    if (OnChanged)
        OnChanged();
}

}  // namespace kiv
