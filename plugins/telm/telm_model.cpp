#include "telm_model.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace kiv {

namespace {

template <typename T>
T EnumValue(const QSettings &ini, const char *key, T fallback, std::initializer_list<T> allowed)
{
    bool ok = false;
    const int value = ini.value(QLatin1String(key)).toInt(&ok);
    if (!ok)
        return fallback;
    for (T a : allowed)
        if (int(a) == value)
            return a;
    return fallback;
}

bool BoolValue(const QSettings &ini, const char *key, bool fallback)
{
    const QString text = ini.value(QLatin1String(key)).toString();
    if (text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("0"))
        return false;
    return fallback;
}

}  // namespace

void TTelmSettings::Load(const QString &path)
{
    if (!QFileInfo::exists(path))
        return;
    const QSettings ini(path, QSettings::IniFormat);
    const TTelmSettings d;
    port = ini.value(QStringLiteral("port"), d.port).toString();
    bool ok = false;
    const qint32 rate = ini.value(QStringLiteral("baud")).toInt(&ok);
    baud = ok && rate > 0 ? rate : d.baud;
    dataBits = EnumValue(ini, "databits", d.dataBits,
                         {QSerialPort::Data5, QSerialPort::Data6, QSerialPort::Data7, QSerialPort::Data8});
    parity = EnumValue(ini, "parity", d.parity,
                       {QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
                        QSerialPort::SpaceParity, QSerialPort::MarkParity});
    stopBits = EnumValue(ini, "stopbits", d.stopBits,
                         {QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop});
    flow = EnumValue(ini, "flow", d.flow,
                     {QSerialPort::NoFlowControl, QSerialPort::HardwareControl, QSerialPort::SoftwareControl});
    hexView = BoolValue(ini, "hexview", d.hexView);
    timeStamps = BoolValue(ini, "timestamps", d.timeStamps);
    sendHex = BoolValue(ini, "sendhex", d.sendHex);
    lineEnd = EnumValue(ini, "lineend", d.lineEnd, {slNone, slCr, slLf, slCrLf});
    logging = BoolValue(ini, "logging", d.logging);
    logFile = ini.value(QStringLiteral("logfile"), d.logFile).toString();
}

bool TTelmSettings::Save(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("port"), port);
    ini.setValue(QStringLiteral("baud"), baud);
    ini.setValue(QStringLiteral("databits"), int(dataBits));
    ini.setValue(QStringLiteral("parity"), int(parity));
    ini.setValue(QStringLiteral("stopbits"), int(stopBits));
    ini.setValue(QStringLiteral("flow"), int(flow));
    ini.setValue(QStringLiteral("hexview"), hexView ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(QStringLiteral("timestamps"), timeStamps ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(QStringLiteral("sendhex"), sendHex ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(QStringLiteral("lineend"), int(lineEnd));
    ini.setValue(QStringLiteral("logging"), logging ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(QStringLiteral("logfile"), logFile);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QString DefaultTelmSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
         + QStringLiteral("/kiv/telm.ini");
}

QList<qint32> StandardBaudRates()
{
    return {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
}

bool SendBytes(const QString &line, bool hex, TSendLineEnd lineEnd, QByteArray *bytes,
               QString *error)
{
    QByteArray out;
    if (hex) {
        static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
        const QStringList items = line.split(separators, Qt::SkipEmptyParts);
        for (QString item : items) {
            const QString original = item;
            if (item.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
                item = item.mid(2);
            bool ok = false;
            const uint value = item.toUInt(&ok, 16);
            if (item.isEmpty() || item.size() > 2 || !ok || value > 0xFF) {
                *error = QStringLiteral("\"%1\" is not a hexadecimal byte (00 to FF)").arg(original);
                return false;
            }
            out.append(char(value));
        }
    } else {
        for (QChar c : line) {
            if (c.unicode() > 0xFF) {
                *error = QStringLiteral("'%1' is not a one-byte character; send it as hexadecimal bytes").arg(c);
                return false;
            }
            out.append(char(c.unicode()));
        }
    }
    switch (lineEnd) {
    case slCr: out.append('\r'); break;
    case slLf: out.append('\n'); break;
    case slCrLf: out.append("\r\n"); break;
    case slNone: break;
    }
    *bytes = out;
    return true;
}

// ---------------------------------------------------------------------------------------------

void TReceiveFormatter::SetHex(bool hex)
{
    if (hex != m_hex)
        Reset();
    m_hex = hex;
}

void TReceiveFormatter::Reset()
{
    m_atLineStart = true;
    m_lastWasCr = false;
    m_column = 0;
}

QString TReceiveFormatter::LineStart(const QDateTime &when)
{
    m_atLineStart = false;
    return m_timeStamps ? QLatin1Char('[') + when.toString(QStringLiteral("hh:mm:ss.zzz")) + QStringLiteral("] ")
                        : QString();
}

QString TReceiveFormatter::Feed(const QByteArray &data, const QDateTime &when)
{
    QString text;
    for (const char ch : data) {
        const uchar b = uchar(ch);
        if (m_hex) {
            if (m_atLineStart)
                text += LineStart(when);
            else
                text += QLatin1Char(' ');
            text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
            if (++m_column == 16) {
                text += QLatin1Char('\n');
                m_atLineStart = true;
                m_column = 0;
            }
            continue;
        }
        // CR, LF and CR LF each end one line; the LF of a CR LF pair split over two chunks too.
        if (b == '\n' && m_lastWasCr) {
            m_lastWasCr = false;
            continue;
        }
        m_lastWasCr = b == '\r';
        if (b == '\r' || b == '\n') {
            if (m_atLineStart)
                text += LineStart(when);
            text += QLatin1Char('\n');
            m_atLineStart = true;
            continue;
        }
        if (m_atLineStart)
            text += LineStart(when);
        if (b == '\t' || (b >= 0x20 && b != 0x7F && (b < 0x80 || b >= 0xA0)))
            text += QChar(b);
        else
            text += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

// ---------------------------------------------------------------------------------------------

TTelmSession::TTelmSession(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &TTelmSession::ReadAvailable);
    connect(&m_port, &QSerialPort::errorOccurred, this, &TTelmSession::PortError);
}

TTelmSession::~TTelmSession()
{
    Close();
}

bool TTelmSession::Open(const TTelmSettings &settings, QString *error)
{
    Close();
    if (settings.port.trimmed().isEmpty()) {
        *error = QStringLiteral("Choose a port first.");
        return false;
    }
    m_settings = settings;
    m_port.setPortName(settings.port.trimmed());
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("Cannot open %1: %2").arg(settings.port, m_port.errorString());
        return false;
    }
    const bool configured = m_port.setBaudRate(settings.baud) && m_port.setDataBits(settings.dataBits)
                         && m_port.setParity(settings.parity) && m_port.setStopBits(settings.stopBits)
                         && m_port.setFlowControl(settings.flow);
    if (!configured) {
        *error = QStringLiteral("Cannot set up %1: %2").arg(settings.port, m_port.errorString());
        m_port.close();
        return false;
    }
    m_formatter.Reset();
    m_formatter.SetHex(settings.hexView);
    m_formatter.SetTimeStamps(settings.timeStamps);
    if (settings.logging && !SetLog(true, settings.logFile, error)) {
        m_port.close();
        return false;
    }
    return true;
}

void TTelmSession::Close()
{
    if (m_port.isOpen())
        m_port.close();
    if (m_log.isOpen())
        m_log.close();
}

bool TTelmSession::IsOpen() const
{
    return m_port.isOpen();
}

QString TTelmSession::PortLocation() const
{
    const QString name = m_port.portName();
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

qint32 TTelmSession::Baud() const
{
    return m_port.baudRate(QSerialPort::Input);
}

bool TTelmSession::Send(const QString &line, bool hex, TSendLineEnd lineEnd, QString *error)
{
    if (!m_port.isOpen()) {
        *error = QStringLiteral("The port is not open.");
        return false;
    }
    QByteArray bytes;
    if (!SendBytes(line, hex, lineEnd, &bytes, error))
        return false;
    if (m_port.write(bytes) != bytes.size()) {
        *error = QStringLiteral("Cannot send to %1: %2").arg(m_port.portName(), m_port.errorString());
        return false;
    }
    return true;
}

void TTelmSession::SetView(bool hex, bool timeStamps)
{
    m_settings.hexView = hex;
    m_settings.timeStamps = timeStamps;
    m_formatter.SetHex(hex);
    m_formatter.SetTimeStamps(timeStamps);
}

bool TTelmSession::SetLog(bool on, const QString &path, QString *error)
{
    if (m_log.isOpen())
        m_log.close();
    m_settings.logging = on;
    m_settings.logFile = path;
    if (!on)
        return true;
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("Choose a log file first.");
        m_settings.logging = false;
        return false;
    }
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("Cannot open the log file %1: %2").arg(path, m_log.errorString());
        m_settings.logging = false;
        return false;
    }
    return true;
}

void TTelmSession::ReadAvailable()
{
    const QByteArray data = m_port.readAll();
    if (data.isEmpty())
        return;
    const QString text = m_formatter.Feed(data, QDateTime::currentDateTime());
    if (text.isEmpty())
        return;
    if (m_log.isOpen()) {
        m_log.write(text.toUtf8());
        m_log.flush();
    }
    emit Received(text);
}

void TTelmSession::PortError(QSerialPort::SerialPortError error)
{
    // A device that goes away while open (USB adapter pulled, pseudo-terminal closed) reports a
    // resource error, or a read error when its reads come back empty; either way nothing more
    // can be read, and reading on would spin. The port is closed once the serial port's own
    // handling is over, and the program carries on.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_port.isOpen())
        return;
    const QString message = QStringLiteral("The port %1 is gone (%2); it has been closed.")
                                .arg(m_port.portName(), m_port.errorString());
    QMetaObject::invokeMethod(this, [this, message] {
        if (!m_port.isOpen())
            return;
        m_port.clearError();
        Close();
        emit PortLost(message);
    }, Qt::QueuedConnection);
}

}  // namespace kiv
