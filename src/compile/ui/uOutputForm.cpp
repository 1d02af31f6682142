#include "uOutputForm.h"

#include <QVBoxLayout>

namespace kiv {

TOutputForm::TOutputForm(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockForm(dockingLib, floatParent)
{
    setObjectName(QStringLiteral("OutputForm"));
    setWindowTitle(QStringLiteral("Output"));
    SetUndockSize(QSize(600, 200));
    m_layout = new QVBoxLayout(Client());
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
}

TOutputForm::~TOutputForm() = default;

}  // namespace kiv
