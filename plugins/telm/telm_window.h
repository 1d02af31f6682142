#pragma once

// The serial port monitor's window over TTelmSession: port and line settings, the received
// view, the send line and the log file. Its settings are read from and written to an INI file.

#include "telm_model.h"

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kiv {

class Tftelm : public QMainWindow {
    Q_OBJECT
public:
    /// `settingsPath` is the INI file the settings are kept in between runs.
    explicit Tftelm(const QString &settingsPath, QWidget *parent = nullptr);

    TTelmSession &Session() { return m_session; }
    /// The settings as the controls show them.
    TTelmSettings SettingsFromControls() const;
    /// Fills the port list from the system, keeping the chosen port.
    void RefreshPorts();
    /// Opens the port the controls name, or closes the open one.
    void OpenOrClose();
    /// Sends the send line.
    void SendLine();
    /// The last message shown in the status bar.
    QString Message() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ShowSettings(const TTelmSettings &settings);
    void ShowState();
    void ShowMessage(const QString &text, bool error);
    void AppendReceived(const QString &text);
    void LogToggled();

    QString m_settingsPath;
    TTelmSession m_session;
    QComboBox *m_port = nullptr;
    QComboBox *m_baud = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_stopBits = nullptr;
    QComboBox *m_flow = nullptr;
    QPushButton *m_open = nullptr;
    QPlainTextEdit *m_received = nullptr;
    QCheckBox *m_hexView = nullptr;
    QCheckBox *m_timeStamps = nullptr;
    QLineEdit *m_sendText = nullptr;
    QCheckBox *m_sendHex = nullptr;
    QComboBox *m_lineEnd = nullptr;
    QPushButton *m_send = nullptr;
    QCheckBox *m_log = nullptr;
    QLineEdit *m_logFile = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_message = nullptr;
};

}  // namespace kiv
