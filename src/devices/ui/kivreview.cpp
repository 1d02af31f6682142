#include "kivreview.h"

#include "MyHtComboU.h"
#include "kivfuse_model.h"
#include "kivints_model.h"
#include "kivprompt.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

namespace kiv {

std::function<int(QDialog &)> &TDeviceReviewWindow::ExecHook()
{
    static std::function<int(QDialog &)> hook = [](QDialog &dialog) { return dialog.exec(); };
    return hook;
}

TDeviceReviewWindow::TDeviceReviewWindow(const QString &caption, const QString &listCaption, QString descriptionFile,
                                         QWidget *parent)
    : QDialog(parent), m_descriptionFile(std::move(descriptionFile))
{
    setWindowTitle(caption);
    auto *layout = new QGridLayout(this);
    auto *deviceLabel = new QLabel(QStringLiteral("Device:"), this);
    deviceLabel->setObjectName(QStringLiteral("Label1"));
    m_target = new TMyHtComboPic(this);
    m_target->setObjectName(QStringLiteral("target"));
    m_target->setMinimumWidth(200);
    m_target->setMaxVisibleItems(20);
    auto *listLabel = new QLabel(listCaption, this);
    listLabel->setObjectName(QStringLiteral("Label2"));
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_memo->setFont(fixed);
    // Names up to 9 characters line up with one tab, shorter ones with two.
    m_memo->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 7);
    layout->addWidget(deviceLabel, 0, 0);
    layout->addWidget(m_target, 0, 1);
    layout->setColumnStretch(2, 1);
    layout->addWidget(listLabel, 1, 0, 1, 3);
    layout->addWidget(m_memo, 2, 0, 1, 3);
    resize(640, 480);
    connect(m_target, &QComboBox::currentIndexChanged, this, [this] { TargetChange(); });
}

bool TDeviceReviewWindow::Open(int processor)
{
    try {
        m_descriptions = TDescriptionFile(m_descriptionFile);
    } catch (const TDescriptionFileError &e) {
        ShowError(e.Message());
        return false;
    }
    QStringList names;
    int position = 0;
    try {
        position = ListDevices(names, kReviewKinds, uint16_t(processor));
    } catch (const TDeviceFileError &e) {
        ShowError(e.Message());
        return false;
    }
    {
        const QSignalBlocker blocker(m_target);
        m_target->clear();
        m_target->addItems(names);
        m_target->setCurrentIndex(position < names.size() ? position : -1);
    }
    TargetChange();
    return true;
}

void TDeviceReviewWindow::TargetChange()
{
    if (m_target->currentIndex() < 0 && m_target->count() > 1) {
        const QSignalBlocker blocker(m_target);
        m_target->setCurrentIndex(1);
    }
    m_memo->clear();
    DeviceRecord device;
    if (m_target->currentIndex() < 0 || !FindDevice(m_target->currentText(), device))
        return;
    m_memo->setPlainText(Lines(device, m_descriptions).join(QLatin1Char('\n')));
}

Tfkivfuse::Tfkivfuse(QWidget *parent, const QString &descriptionFile)
    : TDeviceReviewWindow(QStringLiteral("Fuse Review"), QStringLiteral("Valid  #FUSE keywords:"),
                          descriptionFile.isEmpty() ? FuseDescriptionFile() : descriptionFile, parent)
{
    setObjectName(QStringLiteral("fkivfuse"));
}

QStringList Tfkivfuse::Lines(const DeviceRecord &device, const TDescriptionFile &descriptions)
{
    return FuseReviewLines(device, SharedFuseNames(), descriptions);
}

Tfkivints::Tfkivints(QWidget *parent, const QString &descriptionFile)
    : TDeviceReviewWindow(QStringLiteral("Interrupt Review"), QStringLiteral("Valid  #INT_ keywords:"),
                          descriptionFile.isEmpty() ? InterruptDescriptionFile() : descriptionFile, parent)
{
    setObjectName(QStringLiteral("fkivints"));
}

QStringList Tfkivints::Lines(const DeviceRecord &device, const TDescriptionFile &descriptions)
{
    return InterruptReviewLines(device, descriptions);
}

void ShowFuseReview(QWidget *parent, int processor)
{
    Tfkivfuse window(parent);
    if (window.Open(processor))
        TDeviceReviewWindow::ExecHook()(window);
}

void ShowInterruptReview(QWidget *parent, int processor)
{
    Tfkivints window(parent);
    if (window.Open(processor))
        TDeviceReviewWindow::ExecHook()(window);
}

}  // namespace kiv
