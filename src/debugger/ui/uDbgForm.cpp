#include "uDbgForm.h"

#include <QVBoxLayout>

namespace kiv {

TDbgForm::TDbgForm(TDockingLib *dockingLib, QWidget *floatParent)
    : TDockForm(dockingLib, floatParent)
{
    setObjectName(QStringLiteral("fkivdebug"));
    setWindowTitle(QStringLiteral("Debug"));
    SetUndockSize(QSize(320, 420));
    OwnDockHandling = true;
    m_layout = new QVBoxLayout(Client());
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
}

TDbgForm::~TDbgForm() = default;

}  // namespace kiv
