#pragma once

// The serial port monitor's model: its settings (kept in an INI file between runs), the shown
// form of received bytes (text or hexadecimal, with time stamps), what a send line means (text
// or hexadecimal bytes, with a chosen line end), the log file, and the port itself on Qt Serial
// Port. QtCore and Qt Serial Port only.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace kiv {

/// What follows a send line.
enum TSendLineEnd { slNone, slCr, slLf, slCrLf };

struct TTelmSettings {
    QString port;                                   ///< "ttyUSB0" or a device path
    qint32 baud = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    bool hexView = false;        ///< received bytes as hexadecimal
    bool timeStamps = true;      ///< each shown line starts with the time it arrived
    bool sendHex = false;        ///< send lines are hexadecimal bytes
    TSendLineEnd lineEnd = slCrLf;
    bool logging = false;        ///< received text is also appended to logFile
    QString logFile;

    /// Reads the settings from an INI file; missing or bad values keep their defaults.
    void Load(const QString &path);
    /// Writes them; false when the file cannot be written.
    bool Save(const QString &path) const;

    friend bool operator==(const TTelmSettings &, const TTelmSettings &) = default;
};

/// The settings file of the program: $XDG_CONFIG_HOME/kiv/telm.ini (~/.config/kiv/telm.ini).
QString DefaultTelmSettingsPath();

/// The baud rates offered in the list (any other positive rate may be typed).
QList<qint32> StandardBaudRates();

/// The bytes of a send line: the text as Latin-1 (characters beyond it are refused), or
/// hexadecimal bytes separated by blanks or commas ("41 42 0d", "0x41,0x42"); then the line end.
/// False with `error` set for a line that is not what the mode says.
bool SendBytes(const QString &line, bool hex, TSendLineEnd lineEnd, QByteArray *bytes,
               QString *error);

/// Turns received bytes into shown text, chunk after chunk. Text: printable bytes as they
/// are (Latin-1), CR, LF and CR LF end a line, a tab stays, other control bytes show as "<1B>".
/// Hexadecimal: bytes as "41 42", sixteen to a line. With time stamps each line begins with
/// "[hh:mm:ss.zzz] " of the time its first byte arrived.
class TReceiveFormatter {
public:
    void SetHex(bool hex);
    void SetTimeStamps(bool on) { m_timeStamps = on; }
    /// The text to append for `data` arriving at `when`.
    QString Feed(const QByteArray &data, const QDateTime &when);
    /// The next byte starts a new line.
    void Reset();

private:
    QString LineStart(const QDateTime &when);

    bool m_hex = false;
    bool m_timeStamps = true;
    bool m_atLineStart = true;
    bool m_lastWasCr = false;
    int m_column = 0;     // bytes on the current hexadecimal line
};

/// One monitoring session on a serial port.
class TTelmSession : public QObject {
    Q_OBJECT
public:
    explicit TTelmSession(QObject *parent = nullptr);
    ~TTelmSession() override;

    /// Opens the port with the settings' line parameters and, when logging, the log file.
    /// False with `error` set when either fails (nothing stays open then).
    bool Open(const TTelmSettings &settings, QString *error);
    /// Closes the port and the log file.
    void Close();
    bool IsOpen() const;
    /// The port's full name as opened ("/dev/ttyUSB0").
    QString PortLocation() const;
    /// The line speed the port reports (its input speed).
    qint32 Baud() const;

    /// Sends a line (see SendBytes); false with `error` when it is not valid or the port
    /// refused it.
    bool Send(const QString &line, bool hex, TSendLineEnd lineEnd, QString *error);

    /// Changes how received bytes are shown from now on.
    void SetView(bool hex, bool timeStamps);
    /// Starts or stops logging to a file; false with `error` when it cannot be opened.
    bool SetLog(bool on, const QString &path, QString *error);

signals:
    /// Text to append to the received view (also written to the log).
    void Received(const QString &text);
    /// The port failed while open (the adapter was pulled, reads fail); the session has closed it.
    void PortLost(const QString &message);

private:
    void ReadAvailable();
    void PortError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    TTelmSettings m_settings;
    TReceiveFormatter m_formatter;
    QFile m_log;
};

}  // namespace kiv
