#pragma once

// The fuse selection frame the project wizard's General page hosts: one control per fuse group
// of the device, over TFuseFrameModel.

#include "fuseselection_model.h"

#include <QFrame>
#include <QList>

class QVBoxLayout;

namespace kiv {

class TOtherFusesFrame : public QFrame {
    Q_OBJECT

public:
    explicit TOtherFusesFrame(QWidget *parent = nullptr);

    /// Rebuilds the controls for the device.
    void BuildFuseFrame(const DeviceRecord &device, const FuseNameTable &fuseNames, const TDescriptionFile &descriptions);
    /// Sets the controls to the device's default fuses.
    void SelectDefaultFuses(const DeviceRecord &device, const FuseNameTable &fuseNames);
    /// Shows a fuse model built elsewhere (the wizard's own), controls and choices.
    void SetFuseModel(const TFuseFrameModel &model);
    /// The chosen fuse names, separated by ", ".
    QString SelectedFuses() const { return m_model.SelectedFuses(); }

    const TFuseFrameModel &Model() const { return m_model; }
    /// The controls, in model order (QCheckBox or QComboBox).
    const QList<QWidget *> &ControlWidgets() const { return m_controls; }

signals:
    /// A control changed.
    void FusesChanged();

private:
    void RebuildControls();
    void ShowModel();

    TFuseFrameModel m_model;
    QVBoxLayout *m_layout = nullptr;
    QList<QWidget *> m_controls;
};

}  // namespace kiv
