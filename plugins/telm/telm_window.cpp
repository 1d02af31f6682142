#include "telm_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QComboBox *MakeCombo(QWidget *parent, const char *name, const QList<QPair<QString, int>> &items)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (const auto &item : items)
        combo->addItem(item.first, item.second);
    return combo;
}

void SelectData(QComboBox *combo, int value)
{
    const int index = combo->findData(value);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

QChar ParityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity: return QLatin1Char('E');
    case QSerialPort::OddParity: return QLatin1Char('O');
    case QSerialPort::SpaceParity: return QLatin1Char('S');
    case QSerialPort::MarkParity: return QLatin1Char('M');
    default: return QLatin1Char('N');
    }
}

}  // namespace

Tftelm::Tftelm(const QString &settingsPath, QWidget *parent)
    : QMainWindow(parent), m_settingsPath(settingsPath)
{
    setObjectName(QStringLiteral("Tftelm"));
    setWindowTitle(QStringLiteral("Serial Port Monitor"));
    auto *central = new QWidget(this);
    auto *top = new QVBoxLayout(central);

    // Port and line settings.
    auto *line = new QGroupBox(QStringLiteral("Connection"), central);
    auto *grid = new QGridLayout(line);
    m_port = new QComboBox(line);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setEditable(true);
    m_port->setMinimumContentsLength(14);
    m_port->setToolTip(QStringLiteral("A port of the system, or the path of any serial device"));
    auto *refresh = new QToolButton(line);
    refresh->setObjectName(QStringLiteral("refresh"));
    refresh->setText(QStringLiteral("Refresh"));
    refresh->setToolTip(QStringLiteral("List the system's serial ports again"));
    m_baud = new QComboBox(line);
    m_baud->setObjectName(QStringLiteral("baud"));
    m_baud->setEditable(true);
    m_baud->setValidator(new QIntValidator(1, 100000000, m_baud));
    for (qint32 rate : StandardBaudRates())
        m_baud->addItem(QString::number(rate));
    m_dataBits = MakeCombo(line, "databits", {{"5", QSerialPort::Data5}, {"6", QSerialPort::Data6},
                                              {"7", QSerialPort::Data7}, {"8", QSerialPort::Data8}});
    m_parity = MakeCombo(line, "parity", {{"None", QSerialPort::NoParity}, {"Even", QSerialPort::EvenParity},
                                          {"Odd", QSerialPort::OddParity}, {"Space", QSerialPort::SpaceParity},
                                          {"Mark", QSerialPort::MarkParity}});
    m_stopBits = MakeCombo(line, "stopbits", {{"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop},
                                              {"2", QSerialPort::TwoStop}});
    m_flow = MakeCombo(line, "flow", {{"None", QSerialPort::NoFlowControl},
                                      {"RTS/CTS", QSerialPort::HardwareControl},
                                      {"XON/XOFF", QSerialPort::SoftwareControl}});
    m_open = new QPushButton(QStringLiteral("&Open"), line);
    m_open->setObjectName(QStringLiteral("openbutton"));
    const QList<QPair<const char *, QWidget *>> row = {
        {"Port:", m_port}, {"Baud:", m_baud}, {"Data bits:", m_dataBits}, {"Parity:", m_parity},
        {"Stop bits:", m_stopBits}, {"Flow control:", m_flow}};
    int column = 0;
    for (const auto &cell : row) {
        grid->addWidget(new QLabel(QLatin1String(cell.first), line), 0, column);
        grid->addWidget(cell.second, 1, column);
        if (cell.second == m_port) {
            ++column;
            grid->addWidget(refresh, 1, column);
        }
        ++column;
    }
    grid->addWidget(m_open, 1, column);
    grid->setColumnStretch(0, 1);
    top->addWidget(line);

    // Received bytes.
    auto *view = new QHBoxLayout;
    m_hexView = new QCheckBox(QStringLiteral("&Hex view"), central);
    m_hexView->setObjectName(QStringLiteral("hexview"));
    m_timeStamps = new QCheckBox(QStringLiteral("&Time stamps"), central);
    m_timeStamps->setObjectName(QStringLiteral("timestamps"));
    auto *clear = new QPushButton(QStringLiteral("C&lear"), central);
    clear->setObjectName(QStringLiteral("clear"));
    view->addWidget(new QLabel(QStringLiteral("Received:"), central));
    view->addStretch(1);
    view->addWidget(m_hexView);
    view->addWidget(m_timeStamps);
    view->addWidget(clear);
    top->addLayout(view);
    m_received = new QPlainTextEdit(central);
    m_received->setObjectName(QStringLiteral("received"));
    m_received->setReadOnly(true);
    m_received->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_received->setMaximumBlockCount(50000);
    m_received->setLineWrapMode(QPlainTextEdit::NoWrap);
    top->addWidget(m_received, 1);

    // Sending.
    auto *send = new QHBoxLayout;
    m_sendText = new QLineEdit(central);
    m_sendText->setObjectName(QStringLiteral("sendtext"));
    m_sendText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sendText->setPlaceholderText(QStringLiteral("Text to send, or hexadecimal bytes such as 41 42 0D"));
    m_sendHex = new QCheckBox(QStringLiteral("He&x bytes"), central);
    m_sendHex->setObjectName(QStringLiteral("sendhex"));
    m_lineEnd = MakeCombo(central, "lineend", {{"No line end", slNone}, {"CR", slCr}, {"LF", slLf},
                                               {"CR LF", slCrLf}});
    m_send = new QPushButton(QStringLiteral("&Send"), central);
    m_send->setObjectName(QStringLiteral("send"));
    send->addWidget(new QLabel(QStringLiteral("Send:"), central));
    send->addWidget(m_sendText, 1);
    send->addWidget(m_sendHex);
    send->addWidget(m_lineEnd);
    send->addWidget(m_send);
    top->addLayout(send);

    // Logging.
    auto *log = new QHBoxLayout;
    m_log = new QCheckBox(QStringLiteral("Log to &file:"), central);
    m_log->setObjectName(QStringLiteral("log"));
    m_logFile = new QLineEdit(central);
    m_logFile->setObjectName(QStringLiteral("logfile"));
    auto *browse = new QToolButton(central);
    browse->setObjectName(QStringLiteral("logbrowse"));
    browse->setText(QStringLiteral("..."));
    log->addWidget(m_log);
    log->addWidget(m_logFile, 1);
    log->addWidget(browse);
    top->addLayout(log);
    setCentralWidget(central);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("portstate"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    statusBar()->addWidget(m_state);
    statusBar()->addWidget(m_message, 1);

    connect(refresh, &QToolButton::clicked, this, &Tftelm::RefreshPorts);
    connect(m_open, &QPushButton::clicked, this, &Tftelm::OpenOrClose);
    connect(m_send, &QPushButton::clicked, this, &Tftelm::SendLine);
    connect(m_sendText, &QLineEdit::returnPressed, this, &Tftelm::SendLine);
    connect(clear, &QPushButton::clicked, m_received, &QPlainTextEdit::clear);
    auto viewChanged = [this] { m_session.SetView(m_hexView->isChecked(), m_timeStamps->isChecked()); };
    connect(m_hexView, &QCheckBox::toggled, this, [this, viewChanged] {
        viewChanged();
        // The next bytes begin a line of their own in the new form.
        if (!m_received->toPlainText().isEmpty() && !m_received->toPlainText().endsWith(QLatin1Char('\n')))
            AppendReceived(QStringLiteral("\n"));
    });
    connect(m_timeStamps, &QCheckBox::toggled, this, viewChanged);
    connect(m_log, &QCheckBox::toggled, this, &Tftelm::LogToggled);
    connect(browse, &QToolButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Log File"), m_logFile->text(),
                                                          QStringLiteral("Log files (*.log *.txt);;All files (*)"),
                                                          nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty())
            m_logFile->setText(path);
    });
    connect(&m_session, &TTelmSession::Received, this, &Tftelm::AppendReceived);
    connect(&m_session, &TTelmSession::PortLost, this, [this](const QString &message) {
        AppendReceived(QStringLiteral("\n*** ") + message + QLatin1Char('\n'));
        ShowMessage(message, true);
        ShowState();
    });

    TTelmSettings settings;
    settings.Load(m_settingsPath);
    RefreshPorts();
    ShowSettings(settings);
    ShowState();
    resize(820, 520);
}

void Tftelm::RefreshPorts()
{
    const QString chosen = m_port->currentText();
    m_port->clear();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        m_port->addItem(info.portName(), info.systemLocation());
        QString tip = info.systemLocation();
        if (!info.description().isEmpty())
            tip += QStringLiteral(" — ") + info.description();
        if (!info.manufacturer().isEmpty())
            tip += QStringLiteral(" (") + info.manufacturer() + QLatin1Char(')');
        m_port->setItemData(m_port->count() - 1, tip, Qt::ToolTipRole);
    }
    m_port->setCurrentText(chosen);
    if (m_port->count() == 0)
        ShowMessage(QStringLiteral("No serial ports found; a device path can be typed."), false);
}

void Tftelm::ShowSettings(const TTelmSettings &s)
{
    m_port->setCurrentText(s.port);
    m_baud->setCurrentText(QString::number(s.baud));
    SelectData(m_dataBits, s.dataBits);
    SelectData(m_parity, s.parity);
    SelectData(m_stopBits, s.stopBits);
    SelectData(m_flow, s.flow);
    m_hexView->setChecked(s.hexView);
    m_timeStamps->setChecked(s.timeStamps);
    m_sendHex->setChecked(s.sendHex);
    SelectData(m_lineEnd, s.lineEnd);
    m_logFile->setText(s.logFile);
    {
        const QSignalBlocker block(m_log);
        m_log->setChecked(s.logging);
    }
    m_session.SetView(s.hexView, s.timeStamps);
}

TTelmSettings Tftelm::SettingsFromControls() const
{
    TTelmSettings s;
    s.port = m_port->currentText().trimmed();
    // A port picked from the list opens by its device path.
    const int index = m_port->findText(s.port);
    if (index >= 0 && !m_port->itemData(index).toString().isEmpty())
        s.port = m_port->itemData(index).toString();
    s.baud = m_baud->currentText().toInt();
    s.dataBits = QSerialPort::DataBits(m_dataBits->currentData().toInt());
    s.parity = QSerialPort::Parity(m_parity->currentData().toInt());
    s.stopBits = QSerialPort::StopBits(m_stopBits->currentData().toInt());
    s.flow = QSerialPort::FlowControl(m_flow->currentData().toInt());
    s.hexView = m_hexView->isChecked();
    s.timeStamps = m_timeStamps->isChecked();
    s.sendHex = m_sendHex->isChecked();
    s.lineEnd = TSendLineEnd(m_lineEnd->currentData().toInt());
    s.logging = m_log->isChecked();
    s.logFile = m_logFile->text().trimmed();
    return s;
}

void Tftelm::OpenOrClose()
{
    if (m_session.IsOpen()) {
        m_session.Close();
        ShowMessage(QStringLiteral("Closed."), false);
        ShowState();
        return;
    }
    TTelmSettings s = SettingsFromControls();
    if (s.baud <= 0) {
        ShowMessage(QStringLiteral("The baud rate must be a positive number."), true);
        return;
    }
    QString error;
    if (!m_session.Open(s, &error)) {
        ShowMessage(error, true);
        ShowState();
        return;
    }
    // What opened is remembered for the next run (as typed, not as the device path).
    s.port = m_port->currentText().trimmed();
    s.Save(m_settingsPath);
    ShowMessage(QString(), false);
    ShowState();
}

void Tftelm::SendLine()
{
    const TTelmSettings s = SettingsFromControls();
    QByteArray bytes;
    QString error;
    if (!SendBytes(m_sendText->text(), s.sendHex, s.lineEnd, &bytes, &error)) {
        ShowMessage(error, true);
        return;
    }
    if (!m_session.IsOpen()) {
        ShowMessage(QStringLiteral("Open a port first."), true);
        return;
    }
    if (!m_session.Send(m_sendText->text(), s.sendHex, s.lineEnd, &error)) {
        ShowMessage(error, true);
        return;
    }
    ShowMessage(QStringLiteral("Sent %1 bytes.").arg(bytes.size()), false);
    m_sendText->selectAll();
}

QString Tftelm::Message() const
{
    return m_message->text();
}

void Tftelm::closeEvent(QCloseEvent *event)
{
    m_session.Close();
    TTelmSettings s = SettingsFromControls();
    s.port = m_port->currentText().trimmed();
    s.Save(m_settingsPath);
    event->accept();
}

void Tftelm::ShowState()
{
    const bool open = m_session.IsOpen();
    m_open->setText(open ? QStringLiteral("&Close") : QStringLiteral("&Open"));
    for (QWidget *w : {static_cast<QWidget *>(m_port), static_cast<QWidget *>(m_baud),
                       static_cast<QWidget *>(m_dataBits), static_cast<QWidget *>(m_parity),
                       static_cast<QWidget *>(m_stopBits), static_cast<QWidget *>(m_flow)})
        w->setEnabled(!open);
    m_send->setEnabled(open);
    if (open) {
        const TTelmSettings s = SettingsFromControls();
        const QString stop = m_stopBits->currentText();
        m_state->setText(QStringLiteral("%1  %2 %3%4%5").arg(m_session.PortLocation()).arg(s.baud)
                             .arg(int(s.dataBits)).arg(ParityLetter(s.parity)).arg(stop));
    } else {
        m_state->setText(QStringLiteral("Closed"));
    }
}

void Tftelm::ShowMessage(const QString &text, bool error)
{
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000;") : QString());
}

void Tftelm::AppendReceived(const QString &text)
{
    // Appended at the end without disturbing a selection; the view follows when it was at the end.
    QScrollBar *bar = m_received->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(m_received->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    if (atEnd)
        bar->setValue(bar->maximum());
}

void Tftelm::LogToggled()
{
    QString error;
    if (!m_session.SetLog(m_log->isChecked(), m_logFile->text().trimmed(), &error)) {
        ShowMessage(error, true);
        const QSignalBlocker block(m_log);
        m_log->setChecked(false);
        return;
    }
    ShowMessage(m_log->isChecked() ? QStringLiteral("Logging to ") + m_logFile->text().trimmed()
                                   : QStringLiteral("Logging stopped."), false);
}

}  // namespace kiv
