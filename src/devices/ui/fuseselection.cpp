#include "fuseselection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kiv {

TOtherFusesFrame::TOtherFusesFrame(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("OtherFusesFrame1"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(4);
    m_layout->addStretch();
}

void TOtherFusesFrame::BuildFuseFrame(const DeviceRecord &device, const FuseNameTable &fuseNames,
                                      const TDescriptionFile &descriptions)
{
    m_model.Build(device, fuseNames, descriptions);
    RebuildControls();
}

void TOtherFusesFrame::SetFuseModel(const TFuseFrameModel &model)
{
    m_model = model;
    RebuildControls();
}

void TOtherFusesFrame::RebuildControls()
{
    setUpdatesEnabled(false);
    qDeleteAll(m_controls);
    m_controls.clear();
    const QList<TFuseControl> &controls = m_model.Controls();
    for (int n = 0; n < controls.size(); ++n) {
        const TFuseControl &control = controls[n];
        QWidget *widget = nullptr;
        if (control.kind == TFuseControl::fcCheckBox) {
            auto *box = new QCheckBox(control.captions.value(0), this);
            connect(box, &QCheckBox::toggled, this, [this, n](bool on) {
                m_model.SetChecked(n, on);
                emit FusesChanged();
            });
            widget = box;
        } else {
            auto *list = new QComboBox(this);
            list->addItems(control.captions);
            list->setMinimumWidth(250);
            list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            list->setMinimumContentsLength(30);
            connect(list, &QComboBox::currentIndexChanged, this, [this, n](int item) {
                m_model.SetChosen(n, item);
                emit FusesChanged();
            });
            widget = list;
        }
        widget->setObjectName(QStringLiteral("fuse%1").arg(n + 1));
        m_layout->insertWidget(m_layout->count() - 1, widget);
        m_controls << widget;
    }
    ShowModel();
    setUpdatesEnabled(true);
}

void TOtherFusesFrame::SelectDefaultFuses(const DeviceRecord &device, const FuseNameTable &fuseNames)
{
    m_model.SelectDefaults(device, fuseNames);
    ShowModel();
}

void TOtherFusesFrame::ShowModel()
{
    const QList<TFuseControl> &controls = m_model.Controls();
    for (int n = 0; n < controls.size() && n < m_controls.size(); ++n) {
        const QSignalBlocker blocker(m_controls[n]);
        if (auto *box = qobject_cast<QCheckBox *>(m_controls[n]))
            box->setChecked(controls[n].checked);
        else if (auto *list = qobject_cast<QComboBox *>(m_controls[n]))
            list->setCurrentIndex(controls[n].chosen);
    }
}

}  // namespace kiv
