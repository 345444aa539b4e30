// The POSIX serial device on a real pseudo-terminal, and the termios record it builds.

#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "link/transport/serial_posix.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

using namespace qv::link;

Q_DECLARE_METATYPE(speed_t)

namespace {

// A pseudo-terminal pair; the slave path is what the device opens.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~Pty() { hangUp(); }
    bool ok() const { return !slave_.empty(); }
    const std::string& slave() const { return slave_; }
    int master() const { return master_; }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    QByteArray readMaster(int expected) {
        QByteArray out;
        for (int i = 0; i < 200 && out.size() < expected; ++i) {
            char buf[64];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
            else
                usleep(1000);
        }
        return out;
    }

private:
    int master_ = -1;
    std::string slave_;
};

const LineSettings k19200e{19200, 'e', 8, 1};

} // namespace

class TstPosixSerial : public QObject {
    Q_OBJECT
private slots:
    void resolvesComNumbers_data();
    void resolvesComNumbers();
    void opensExchangesAndCloses();
    void secondOpenerIsRefused();
    void refusesWhatIsNotATerminal_data();
    void refusesWhatIsNotATerminal();
    void restoresTimeoutsButKeepsLineSettings();
    void buildsTermiosForEverySettingsText_data();
    void buildsTermiosForEverySettingsText();
    void buildsOddParityTwoStopsSevenBits();
    void sleepLastsAtLeastItsTime();
    void idleReadWaitsAboutOneMillisecond();
    void hungUpLineDoesNotSpin();
    void commOpenWithBadSettingsOpensNothing_data();
    void commOpenWithBadSettingsOpensNothing();
};

void TstPosixSerial::resolvesComNumbers_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM4") << 4 << "/dev/ttyS3";
    QTest::newRow("COM5") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM12") << 12 << "/dev/ttyUSB7";
    QTest::newRow("COM13") << 13 << "/dev/ttyACM0";
    QTest::newRow("COM16") << 16 << "/dev/ttyACM3";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM17") << 17 << "";
    QTest::newRow("COM-1") << -1 << "";
    QTest::newRow("COM3 mapped") << 3 << "/dev/pts/7";
    QTest::newRow("COM20 mapped") << 20 << "/tmp/sim-tty";
    QTest::newRow("COM2 mapped to a relative path") << 2 << "";
}

void TstPosixSerial::resolvesComNumbers() {
    QFETCH(int, port);
    QFETCH(QString, path);
    const PortMap map = {{3, "/dev/pts/7"}, {20, "/tmp/sim-tty"}, {2, "pts/1"}};
    QCOMPARE(QString::fromStdString(ResolveComPort(port, map)), path);
}

void TstPosixSerial::opensExchangesAndCloses() {
    Pty pty;
    QVERIFY(pty.ok());
    PosixSerialDevice device;
    QVERIFY(device.open(pty.slave(), k19200e));
    QVERIFY(device.isOpen());
    QCOMPARE(device.lastError(), SerialError::None);

    const std::uint8_t frame[] = {0x09, 0x41, 0x30, 0x30, 0x42, 0x30, 0x41, 0x0D};
    device.write(frame, sizeof frame);
    QCOMPARE(pty.readMaster(8), QByteArray("\x09\x41\x30\x30\x42\x30\x41\x0D"));

    QCOMPARE(::write(pty.master(), "\x0A\x30", 2), ssize_t(2));
    std::optional<std::uint8_t> first;
    for (int i = 0; i < 100 && !first; ++i)
        first = device.readByte();
    QCOMPARE(first.value_or(0), std::uint8_t(0x0A));
    QCOMPARE(device.readByte().value_or(0), std::uint8_t(0x30));
    QVERIFY(!device.readByte());

    // The purge drops what is waiting.
    QCOMPARE(::write(pty.master(), "xyz", 3), ssize_t(3));
    QTest::qWait(20);
    device.purge();
    QVERIFY(!device.readByte());
    // So does it for what one read took from the driver but was not handed out yet: a late
    // reply read along with the byte before it is no answer to the next command.
    QCOMPARE(::write(pty.master(), "opq", 3), ssize_t(3));
    QTest::qWait(20);
    QCOMPARE(device.readByte().value_or(0), std::uint8_t('o'));
    device.purge();
    QVERIFY(!device.readByte());
    QCOMPARE(::write(pty.master(), "rs", 2), ssize_t(2));
    QTest::qWait(20);
    QCOMPARE(device.readByte().value_or(0), std::uint8_t('r'));
    device.close(); // and so does closing: the next line starts empty
    QVERIFY(device.open(pty.slave(), k19200e));
    QVERIFY(!device.readByte());

    device.close();
    QVERIFY(!device.isOpen());
    QVERIFY(device.open(pty.slave(), k19200e)); // closing released everything
}

void TstPosixSerial::secondOpenerIsRefused() {
    Pty pty;
    QVERIFY(pty.ok());
    PosixSerialDevice first;
    PosixSerialDevice second;
    QVERIFY(first.open(pty.slave(), k19200e));
    QVERIFY(!second.open(pty.slave(), k19200e));
    QCOMPARE(second.lastError(), SerialError::InUse);
    QVERIFY(!second.isOpen());
    // The same object refuses a second line and keeps the first.
    QVERIFY(!first.open(pty.slave(), k19200e));
    QCOMPARE(first.lastError(), SerialError::AlreadyOpen);
    QVERIFY(first.isOpen());
    first.close();
    QVERIFY(second.open(pty.slave(), k19200e));
    second.close();
    // So does the device every front end opens through, whatever kind of port it holds.
    const auto platform = qv::link::MakePlatformSerialDevice();
    QVERIFY(platform->open(pty.slave(), k19200e));
    QVERIFY(!platform->open(pty.slave(), k19200e));
    QCOMPARE(platform->lastError(), SerialError::AlreadyOpen);
    const std::uint8_t byte = 0x41; // and the first line still carries what is written
    platform->write(&byte, 1);
    QCOMPARE(pty.readMaster(1), QByteArray("A"));
}

// A pause lasts at least its time, also one whose end lies past the next whole second of the
// clock (999 ms from almost any moment): the frame's pauses are the reader's timing.
void TstPosixSerial::sleepLastsAtLeastItsTime() {
    qv::link::ThreadSleeper sleeper;
    QElapsedTimer timer;
    timer.start();
    sleeper.sleepMs(999);
    QVERIFY2(timer.elapsed() >= 999, qPrintable(QString::number(timer.elapsed())));
}

void TstPosixSerial::refusesWhatIsNotATerminal_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<SerialError>("error");
    QTest::newRow("missing device") << "missing" << SerialError::NoDevice;
    QTest::newRow("regular file") << "file" << SerialError::NotCharacterDevice;
    QTest::newRow("directory") << "directory" << SerialError::NotCharacterDevice;
    QTest::newRow("socket") << "socket" << SerialError::NotCharacterDevice;
    QTest::newRow("character device, no terminal") << "null" << SerialError::NotCharacterDevice;
}

void TstPosixSerial::refusesWhatIsNotATerminal() {
    QFETCH(QString, kind);
    QFETCH(SerialError, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::string path = (dir.path() + "/port").toStdString();
    int sock = -1;
    if (kind == "file") {
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a port");
    } else if (kind == "directory") {
        path = dir.path().toStdString();
    } else if (kind == "socket") {
        sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    } else if (kind == "null") {
        path = "/dev/null";
    }
    PosixSerialDevice device;
    QVERIFY(!device.open(path, k19200e));
    QVERIFY(!device.isOpen());
    QCOMPARE(device.lastError(), error);
    if (sock >= 0)
        ::close(sock);
}

void TstPosixSerial::restoresTimeoutsButKeepsLineSettings() {
    Pty pty;
    QVERIFY(pty.ok());
    // A holder keeps the slave open (before the exclusive open) to look at its termios.
    const int holder = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(holder >= 0);
    termios before{};
    QCOMPARE(tcgetattr(holder, &before), 0);
    before.c_cc[VMIN] = 5;
    before.c_cc[VTIME] = 7;
    cfsetispeed(&before, B9600);
    cfsetospeed(&before, B9600);
    QCOMPARE(tcsetattr(holder, TCSANOW, &before), 0);

    PosixSerialDevice device;
    QVERIFY(device.open(pty.slave(), LineSettings{115200, 'n', 8, 1}));
    termios during{};
    QCOMPARE(tcgetattr(holder, &during), 0);
    QCOMPARE(int(during.c_cc[VMIN]), 0);
    QCOMPARE(int(during.c_cc[VTIME]), 0);
    QCOMPARE(cfgetospeed(&during), speed_t(B115200));
    QCOMPARE(during.c_lflag & ICANON, tcflag_t(0));

    device.close();
    termios after{};
    QCOMPARE(tcgetattr(holder, &after), 0);
    QCOMPARE(int(after.c_cc[VMIN]), 5);
    QCOMPARE(int(after.c_cc[VTIME]), 7);
    QCOMPARE(cfgetospeed(&after), speed_t(B115200));
    QCOMPARE(cfgetispeed(&after), speed_t(B115200));
    ::close(holder);
}

void TstPosixSerial::buildsTermiosForEverySettingsText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<bool>("even");
    QTest::newRow("4800,n,8,1") << "4800,n,8,1" << speed_t(B4800) << false;
    QTest::newRow("4800,e,8,1") << "4800,e,8,1" << speed_t(B4800) << true;
    QTest::newRow("9600,n,8,1") << "9600,n,8,1" << speed_t(B9600) << false;
    QTest::newRow("9600,e,8,1") << "9600,e,8,1" << speed_t(B9600) << true;
    QTest::newRow("19200,n,8,1") << "19200,n,8,1" << speed_t(B19200) << false;
    QTest::newRow("19200,e,8,1") << "19200,e,8,1" << speed_t(B19200) << true;
    QTest::newRow("38400,n,8,1") << "38400,n,8,1" << speed_t(B38400) << false;
    QTest::newRow("38400,e,8,1") << "38400,e,8,1" << speed_t(B38400) << true;
    QTest::newRow("57600,n,8,1") << "57600,n,8,1" << speed_t(B57600) << false;
    QTest::newRow("57600,e,8,1") << "57600,e,8,1" << speed_t(B57600) << true;
    QTest::newRow("115200,n,8,1") << "115200,n,8,1" << speed_t(B115200) << false;
    QTest::newRow("115200,e,8,1") << "115200,e,8,1" << speed_t(B115200) << true;
}

void TstPosixSerial::buildsTermiosForEverySettingsText() {
    QFETCH(QString, text);
    QFETCH(speed_t, speed);
    QFETCH(bool, even);
    // A cooked, flow-controlled 7O2 line at 300 baud with hang-up on close.
    termios base{};
    base.c_iflag = IXON | IXOFF | ICRNL | ISTRIP | IUCLC | INLCR | IGNCR;
    base.c_oflag = OPOST;
    base.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    base.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    base.c_cc[VMIN] = 1;
    base.c_cc[VTIME] = 5;
    cfsetispeed(&base, B300);
    cfsetospeed(&base, B300);

    const auto settings = ParseLineSettings(text.toStdString());
    QVERIFY(settings);
    const termios t = BuildTermios(base, *settings);
    QCOMPARE(cfgetispeed(&t), speed);
    QCOMPARE(cfgetospeed(&t), speed);
    QCOMPARE(bool(t.c_cflag & PARENB), even);
    QCOMPARE(bool(t.c_iflag & INPCK), even); // received parity checked only where there is one
    QCOMPARE(t.c_cflag & PARODD, tcflag_t(0));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(0));
    QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(t.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(t.c_cflag & HUPCL, tcflag_t(HUPCL)); // modem lines left as they were
    QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | IUCLC | INLCR | IGNCR), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(int(t.c_cc[VMIN]), 0);
    QCOMPARE(int(t.c_cc[VTIME]), 0);
}

void TstPosixSerial::buildsOddParityTwoStopsSevenBits() {
    const termios t = BuildTermios(termios{}, LineSettings{9600, 'o', 7, 2});
    QCOMPARE(t.c_cflag & (PARENB | PARODD), tcflag_t(PARENB | PARODD));
    QCOMPARE(t.c_iflag & INPCK, tcflag_t(INPCK));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS7));
    QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
}

void TstPosixSerial::idleReadWaitsAboutOneMillisecond() {
    Pty pty;
    QVERIFY(pty.ok());
    PosixSerialDevice device;
    QVERIFY(device.open(pty.slave(), k19200e));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 50; ++i)
        QVERIFY(!device.readByte());
    QVERIFY2(timer.elapsed() >= 40, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!device.gone()); // a quiet line is still there
}

void TstPosixSerial::hungUpLineDoesNotSpin() {
    Pty pty;
    QVERIFY(pty.ok());
    PosixSerialDevice device;
    QVERIFY(device.open(pty.slave(), k19200e));
    pty.hangUp();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 50; ++i)
        QVERIFY(!device.readByte());
    QVERIFY2(timer.elapsed() >= 40, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(device.gone()); // the device went away: only a new open helps
    const std::uint8_t byte = 0x09;
    device.write(&byte, 1); // returns although nobody is there
    device.close();
    QVERIFY(!device.isOpen());
    QVERIFY(!device.gone());
    Pty again;
    QVERIFY(device.open(again.slave(), k19200e));
    QVERIFY(!device.gone());
}

void TstPosixSerial::commOpenWithBadSettingsOpensNothing_data() {
    QTest::addColumn<QString>("settings");
    QTest::newRow("parity x") << "19200,x,8,1";
    QTest::newRow("abc") << "abc";
}

void TstPosixSerial::commOpenWithBadSettingsOpensNothing() {
    QFETCH(QString, settings);
    Pty pty;
    QVERIFY(pty.ok());
    PosixSerialDevice device;
    SteadyClock clock;
    ThreadSleeper sleeper;
    Link link(device, clock, sleeper);
    link.setPortMap({{3, pty.slave()}});
    QVERIFY(!link.CommOpen(3, settings.toStdString()));
    QVERIFY(!device.isOpen());
    // Nothing holds the line: another opener gets it.
    PosixSerialDevice other;
    QVERIFY(other.open(pty.slave(), k19200e));
    other.close();
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    QVERIFY(device.isOpen());
    link.CommClose();
    QVERIFY(!device.isOpen());
}

QTEST_GUILESS_MAIN(TstPosixSerial)
#include "tst_posix_serial.moc"
