#include "telm_model.h"
#include "telm_window.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace kiv;
using kiv::test::ReadFile;

namespace {

// A pseudo-terminal pair: the monitor opens the slave side by its path, the test plays the
// device on the master side.
class TPty {
public:
    TPty()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        m_path = QString::fromLocal8Bit(name);
        termios raw{};
        tcgetattr(m_slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~TPty()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    bool Ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    const QString &Path() const { return m_path; }

    void Write(const QByteArray &bytes) const { ASSERT_EQ(::write(m_master, bytes.data(), size_t(bytes.size())), bytes.size()); }

    // What the monitor sent, collected until `count` bytes are there or `wait` ms have passed.
    QByteArray Read(int count, int wait = 1000) const
    {
        QByteArray got;
        for (int i = 0; i < wait / 5 && got.size() < count; ++i) {
            QTest::qWait(5);
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

    // The line speed the slave side is set to, as the terminal settings hold it.
    speed_t Speed() const
    {
        termios t{};
        tcgetattr(m_slave, &t);
        return cfgetospeed(&t);
    }

    // The device goes away: the monitor's reads fail from now on.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void CloseSlave()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

QString WithoutTimeStamps(const QString &text)
{
    static const QRegularExpression stamp(QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\] "));
    return QString(text).remove(stamp);
}

bool WaitFor(const std::function<bool()> &done)
{
    for (int i = 0; i < 400; ++i) {
        if (done())
            return true;
        QTest::qWait(5);
    }
    return done();
}

const QDateTime kNoon(QDate(2024, 5, 1), QTime(12, 0, 1, 250));

}  // namespace

TEST(TelmFormatter, TextLinesControlBytesAndStamps)
{
    struct TCase {
        bool hex;
        bool stamps;
        std::vector<const char *> chunks;
        const char *shown;
    };
    const TCase cases[] = {
        {false, false, {"abc\r\ndef\n"}, "abc\ndef\n"},
        {false, false, {"abc\r", "\ndef"}, "abc\ndef"},            // CR LF split over two reads
        {false, false, {"a\rb\n\nc"}, "a\nb\n\nc"},
        {false, false, {"x\x01\x1b[0m\t\x7f"}, "x<01><1B>[0m\t<7F>"},
        {false, true, {"one\r\ntw", "o\n"}, "[12:00:01.250] one\n[12:00:01.250] two\n"},
        {false, true, {"\n"}, "[12:00:01.250] \n"},
        {true, false, {"AB\r\n"}, "41 42 0D 0A"},
        {true, false, {"0123456789abcdefXY"}, "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66\n58 59"},
        {true, true, {"A", "B"}, "[12:00:01.250] 41 42"},
    };
    for (const TCase &c : cases) {
        TReceiveFormatter f;
        f.SetHex(c.hex);
        f.SetTimeStamps(c.stamps);
        QString shown;
        for (const char *chunk : c.chunks)
            shown += f.Feed(QByteArray(chunk), kNoon);
        EXPECT_EQ(shown, QString::fromLatin1(c.shown)) << c.chunks.front();
    }
    // Bytes above 127 show as Latin-1 where printable.
    TReceiveFormatter f;
    f.SetTimeStamps(false);
    EXPECT_EQ(f.Feed(QByteArray("\xe9\x85"), kNoon), QString::fromUtf8("é<85>"));
}

TEST(TelmSend, TextAndHexLines)
{
    struct TCase {
        const char *line;
        bool hex;
        TSendLineEnd end;
        bool ok;
        QByteArray bytes;
    };
    const TCase cases[] = {
        {"AT", false, slCrLf, true, "AT\r\n"},
        {"AT", false, slCr, true, "AT\r"},
        {"AT", false, slLf, true, "AT\n"},
        {"", false, slNone, true, ""},
        {"41 42 0d", true, slNone, true, "AB\r"},
        {"0x41,0x42", true, slLf, true, "AB\n"},
        {" 00  ff ", true, slNone, true, QByteArray("\x00\xff", 2)},
        {"4G", true, slNone, false, ""},
        {"123", true, slNone, false, ""},
        {"0x", true, slNone, false, ""},
        {"\xe2\x82\xac", false, slNone, false, ""},
    };
    for (const TCase &c : cases) {
        QByteArray bytes = "unchanged";
        QString error;
        EXPECT_EQ(SendBytes(QString::fromUtf8(c.line), c.hex, c.end, &bytes, &error), c.ok) << c.line;
        if (c.ok)
            EXPECT_EQ(bytes, c.bytes) << c.line;
        else
            EXPECT_FALSE(error.isEmpty()) << c.line;
    }
}

TEST(TelmSettings, KeptInTheFileAndBadValuesIgnored)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/telm.ini");
    TTelmSettings s;
    s.port = "/dev/ttyUSB3";
    s.baud = 57600;
    s.dataBits = QSerialPort::Data7;
    s.parity = QSerialPort::EvenParity;
    s.stopBits = QSerialPort::TwoStop;
    s.flow = QSerialPort::HardwareControl;
    s.hexView = true;
    s.timeStamps = false;
    s.sendHex = true;
    s.lineEnd = slLf;
    s.logging = true;
    s.logFile = "/tmp/with space.log";
    ASSERT_TRUE(s.Save(path));
    TTelmSettings read;
    read.Load(path);
    EXPECT_EQ(read, s);

    kiv::test::WriteFile(path, "[General]\nbaud=-5\ndatabits=9\nparity=x\nlineend=7\nhexview=maybe\n");
    TTelmSettings bad;
    bad.Load(path);
    EXPECT_EQ(bad, TTelmSettings());
}

class TelmWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pty.Ok());
        m_window = std::make_unique<Tftelm>(m_dir.filePath("telm.ini"));
        m_window->show();
    }

    template <typename T>
    T *Control(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }

    void OpenAt(int baud)
    {
        Control<QComboBox>("port")->setCurrentText(m_pty.Path());
        Control<QComboBox>("baud")->setCurrentText(QString::number(baud));
        Control<QPushButton>("openbutton")->click();
        ASSERT_TRUE(m_window->Session().IsOpen()) << m_window->Message().toStdString();
    }

    QString Received() { return WithoutTimeStamps(Control<QPlainTextEdit>("received")->toPlainText()); }

    QTemporaryDir m_dir;
    TPty m_pty;
    std::unique_ptr<Tftelm> m_window;
};

TEST_F(TelmWindowTest, BytesBothWaysAtTwoBaudRates)
{
    struct TRate {
        int baud;
        speed_t speed;
    };
    for (const TRate rate : {TRate{9600, B9600}, TRate{115200, B115200}}) {
        SCOPED_TRACE(rate.baud);
        Control<QPlainTextEdit>("received")->clear();
        Control<QCheckBox>("hexview")->setChecked(false);
        OpenAt(rate.baud);
        EXPECT_EQ(m_pty.Speed(), rate.speed);
        EXPECT_EQ(m_window->Session().Baud(), rate.baud);
        EXPECT_TRUE(Control<QLabel>("portstate")->text().contains(QString::number(rate.baud)));

        // Device to monitor: text lines with time stamps.
        m_pty.Write("Hello\r\nWorld\r\n");
        EXPECT_TRUE(WaitFor([&] { return Received() == "Hello\nWorld\n"; })) << Received().toStdString();
        EXPECT_TRUE(Control<QPlainTextEdit>("received")->toPlainText().startsWith('['));
        // ... and as hexadecimal bytes.
        Control<QCheckBox>("hexview")->setChecked(true);
        m_pty.Write(QByteArray("\x00\x01\xff", 3));
        EXPECT_TRUE(WaitFor([&] { return Received().endsWith("00 01 FF"); })) << Received().toStdString();

        // Monitor to device: text with CR LF, then hexadecimal bytes without a line end.
        Control<QLineEdit>("sendtext")->setText("ping");
        Control<QComboBox>("lineend")->setCurrentIndex(Control<QComboBox>("lineend")->findData(slCrLf));
        Control<QCheckBox>("sendhex")->setChecked(false);
        Control<QPushButton>("send")->click();
        EXPECT_EQ(m_pty.Read(6), QByteArray("ping\r\n"));
        Control<QLineEdit>("sendtext")->setText("41 42 0d");
        Control<QCheckBox>("sendhex")->setChecked(true);
        Control<QComboBox>("lineend")->setCurrentIndex(Control<QComboBox>("lineend")->findData(slNone));
        Control<QPushButton>("send")->click();
        EXPECT_EQ(m_pty.Read(3), QByteArray("AB\r"));
        // A bad hexadecimal line sends nothing and says why.
        Control<QLineEdit>("sendtext")->setText("41 4X");
        Control<QPushButton>("send")->click();
        EXPECT_TRUE(m_window->Message().contains("4X"));
        EXPECT_EQ(m_pty.Read(1, 100), QByteArray());

        Control<QPushButton>("openbutton")->click();
        EXPECT_FALSE(m_window->Session().IsOpen());
    }
}

TEST_F(TelmWindowTest, LogsReceivedTextToAFile)
{
    const QString log = m_dir.filePath("serial log.txt");
    Control<QLineEdit>("logfile")->setText(log);
    Control<QCheckBox>("timestamps")->setChecked(false);
    Control<QCheckBox>("log")->setChecked(true);
    OpenAt(19200);
    m_pty.Write("temp=21\n");
    EXPECT_TRUE(WaitFor([&] { return ReadFile(log) == "temp=21\n"; })) << ReadFile(log).toStdString();

    // A log file that cannot be opened is refused and logging stays off.
    Control<QCheckBox>("log")->setChecked(false);
    Control<QLineEdit>("logfile")->setText(m_dir.filePath("no/such/folder/x.log"));
    Control<QCheckBox>("log")->setChecked(true);
    EXPECT_FALSE(Control<QCheckBox>("log")->isChecked());
    EXPECT_TRUE(m_window->Message().contains("Cannot open the log file"));
}

TEST_F(TelmWindowTest, APortThatDisappearsIsReportedAndTheProgramCarriesOn)
{
    OpenAt(9600);
    m_pty.CloseSlave();
    m_pty.CloseMaster();
    EXPECT_TRUE(WaitFor([&] { return !m_window->Session().IsOpen(); })) << m_window->Message().toStdString();
    EXPECT_TRUE(m_window->Message().contains("is gone")) << m_window->Message().toStdString();
    EXPECT_TRUE(Control<QPlainTextEdit>("received")->toPlainText().contains("*** The port"));
    EXPECT_EQ(Control<QPushButton>("openbutton")->text(), "&Open");

    // Another device opens in the same window.
    TPty other;
    ASSERT_TRUE(other.Ok());
    Control<QComboBox>("port")->setCurrentText(other.Path());
    Control<QPushButton>("openbutton")->click();
    EXPECT_TRUE(m_window->Session().IsOpen()) << m_window->Message().toStdString();
    other.Write("again\n");
    EXPECT_TRUE(WaitFor([&] { return Received().endsWith("again\n"); }));
}

TEST_F(TelmWindowTest, AMissingPortSaysWhy)
{
    Control<QComboBox>("port")->setCurrentText("/dev/no-such-serial-port");
    Control<QPushButton>("openbutton")->click();
    EXPECT_FALSE(m_window->Session().IsOpen());
    EXPECT_TRUE(m_window->Message().startsWith("Cannot open /dev/no-such-serial-port"));
}

TEST_F(TelmWindowTest, SettingsAreKeptBetweenRuns)
{
    Control<QComboBox>("parity")->setCurrentIndex(Control<QComboBox>("parity")->findData(QSerialPort::OddParity));
    Control<QComboBox>("lineend")->setCurrentIndex(Control<QComboBox>("lineend")->findData(slLf));
    Control<QCheckBox>("hexview")->setChecked(true);
    OpenAt(38400);
    m_window->close();

    Tftelm again(m_dir.filePath("telm.ini"));
    const TTelmSettings s = again.SettingsFromControls();
    EXPECT_EQ(s.port, m_pty.Path());
    EXPECT_EQ(s.baud, 38400);
    EXPECT_EQ(s.parity, QSerialPort::OddParity);
    EXPECT_EQ(s.lineEnd, slLf);
    EXPECT_TRUE(s.hexView);
}
