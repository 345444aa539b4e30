// The COM numbers of listed ports, on the fake machine of tests/support/fake_port_tree, under
// overrides of every kind; the names stored for a port; and the probe against pseudo-terminals
// held in different ways and a file this user may not open.

#include "link/ports/port_status.h"
#include "tests/support/fake_port_tree.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using qv::link::PortInfo;
using qv::link::PortState;

Q_DECLARE_METATYPE(PortState)

namespace {

// The overrides written as "3=DEV/ttyUSB0;5=usb:0403:6001", DEV standing for the /dev folder.
qv::link::PortMap Overrides(const QString& text, const QString& dev) {
    qv::link::PortMap map;
    for (const QString& entry : text.split(';', Qt::SkipEmptyParts)) {
        const auto at = entry.indexOf('=');
        map[entry.left(at).toInt()] = QString(entry.mid(at + 1)).replace("DEV", dev).toStdString();
    }
    return map;
}

QString Numbers(const std::vector<int>& numbers) {
    QStringList list;
    for (int n : numbers)
        list << QString::number(n);
    return list.join(',');
}

// A pseudo-terminal pair; the slave's path is `path`.
struct Pty {
    int master = -1;
    QString path;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            path = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
    }
};

// The probe as a user without privileges: root passes permission bits and exclusive mode, so
// for root the probe runs in a child that has become the user `nobody` (-1: it could not).
int ProbeUnprivileged(const std::string& path) {
    if (::geteuid() != 0)
        return static_cast<int>(qv::link::ProbePort(path));
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0)
            ::_exit(100);
        ::_exit(static_cast<int>(qv::link::ProbePort(path)));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 100)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TstPortStatus : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    std::string dev_;
    std::vector<PortInfo> ports_;

    const PortInfo& port(const QString& tty) const {
        for (const auto& p : ports_)
            if (p.device == dev_ + "/" + tty.toStdString())
                return p;
        qFatal("no %s in the fake tree", qPrintable(tty));
    }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        dev_ = root_.path().toStdString() + "/dev";
        qv::test::MakeFakePortTree(root_.path().toStdString() + "/sys", dev_);
        ports_ = qv::link::ListSerialPortsIn(root_.path().toStdString() + "/sys", dev_);
        QCOMPARE(ports_.size(), std::size_t(9));
    }

    void comNumbersFollowTheTableAndTheOverrides_data() {
        QTest::addColumn<QString>("overrides");
        QTest::addColumn<QString>("tty");
        QTest::addColumn<QString>("numbers");
        QTest::newRow("fixed ttyUSB0") << ""
                                       << "ttyUSB0"
                                       << "5";
        QTest::newRow("past the fixed table") << ""
                                              << "ttyUSB10"
                                              << "";
        QTest::newRow("selector with serial, beside the fixed number") << "3=usb:0403:6001:A50285BI"
                                                                       << "ttyUSB0"
                                                                       << "3,5";
        QTest::newRow("selector matching twins names neither") << "3=usb:1a86:7523"
                                                               << "ttyUSB1"
                                                               << "6";
        QTest::newRow("selector of a two-channel adapter is its first channel")
            << "3=usb:0403:6010:FT4ZQ1"
            << "ttyUSB3"
            << "3,8";
        QTest::newRow("second channel not named by the adapter's selector")
            << "3=usb:0403:6010:FT4ZQ1"
            << "ttyUSB4"
            << "9";
        QTest::newRow("stable path") << "2=DEV/serial/by-id/usb-1a86_USB_Serial-if00-port0"
                                     << "ttyUSB10"
                                     << "2";
        QTest::newRow("another link to the port, followed")
            << "4=DEV/serial/by-path/pci-0000:00:14.0-ttyUSB0"
            << "ttyUSB0"
            << "4,5";
        QTest::newRow("override takes the fixed number away") << "5=DEV/ttyUSB2"
                                                              << "ttyUSB0"
                                                              << "";
        QTest::newRow("and gives it to the port it names") << "5=DEV/ttyUSB2"
                                                           << "ttyUSB2"
                                                           << "5,7";
        QTest::newRow("port URL names no listed port") << "5=rfc2217://192.0.2.1:4001"
                                                       << "ttyUSB0"
                                                       << "";
    }
    void comNumbersFollowTheTableAndTheOverrides() {
        QFETCH(QString, overrides);
        QFETCH(QString, tty);
        QFETCH(QString, numbers);
        const auto map = Overrides(overrides, QString::fromStdString(dev_));
        QCOMPARE(Numbers(qv::link::ComNumbersOf(port(tty), ports_, map, dev_)), numbers);
    }

    void storedNameKeepsNamingThePort_data() {
        QTest::addColumn<QString>("tty");
        QTest::addColumn<QString>("name"); // DEV stands for the /dev folder
        QTest::newRow("serial number: selector") << "ttyUSB0"
                                                 << "usb:0403:6001:A50285BI";
        QTest::newRow("first channel: selector") << "ttyUSB3"
                                                 << "usb:0403:6010:FT4ZQ1";
        QTest::newRow("second channel: stable path")
            << "ttyUSB4"
            << "DEV/serial/by-id/usb-FTDI_Dual_RS232_FT4ZQ1-if01-port0";
        QTest::newRow("no serial: stable path") << "ttyUSB1"
                                                << "DEV/serial/by-path/pci-0000:00:14.0-ttyUSB1";
    }
    void storedNameKeepsNamingThePort() {
        QFETCH(QString, tty);
        QFETCH(QString, name);
        const QString dev = QString::fromStdString(dev_);
        const std::string stored = qv::link::StablePortName(port(tty), ports_);
        QCOMPARE(QString::fromStdString(stored), QString(name).replace("DEV", dev));
    }

    // Whatever the port, the name stored for it as COM3 leads COM3 there and nowhere else.
    void everyPortMapsToItselfOnly() {
        for (const PortInfo& p : ports_) {
            const qv::link::PortMap map = {{3, qv::link::StablePortName(p, ports_)}};
            for (const PortInfo& other : ports_) {
                const auto numbers = qv::link::ComNumbersOf(other, ports_, map, dev_);
                const bool has3 = std::find(numbers.begin(), numbers.end(), 3) != numbers.end();
                QVERIFY2(has3 == (&other == &p),
                         qPrintable(QString::fromStdString(p.device + " / " + other.device)));
            }
        }
    }

    void probeTellsWhyAPortWillNotOpen_data() {
        QTest::addColumn<QString>("held"); // how the pseudo-terminal is held meanwhile
        QTest::addColumn<bool>("unprivileged");
        QTest::addColumn<PortState>("state");
        QTest::newRow("free") << "" << false << PortState::Ok;
        QTest::newRow("locked by another opener") << "flock" << false << PortState::InUse;
        QTest::newRow("exclusive mode") << "exclusive" << true << PortState::InUse;
        QTest::newRow("no read permission") << "mode000" << true << PortState::NoPermission;
        QTest::newRow("missing device") << "missing" << false << PortState::Absent;
    }
    void probeTellsWhyAPortWillNotOpen() {
        QFETCH(QString, held);
        QFETCH(bool, unprivileged);
        QFETCH(PortState, state);
        Pty pty;
        QVERIFY(!pty.path.isEmpty());
        std::string path = pty.path.toStdString();
        const int holder = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(holder >= 0);
        termios before{};
        QCOMPARE(::tcgetattr(holder, &before), 0);
        if (held == "flock")
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        if (held == "exclusive") {
            QCOMPARE(::ioctl(holder, TIOCEXCL), 0);
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody && ::geteuid() == 0) // its prober must be allowed to open it
                QCOMPARE(::fchown(holder, nobody->pw_uid, nobody->pw_gid), 0);
        }
        if (held == "mode000") {
            path = root_.path().toStdString() + "/locked-away";
            QVERIFY(::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0)) == 0);
            QCOMPARE(::chmod(root_.path().toLocal8Bit().constData(), 0755), 0);
        }
        if (held == "missing")
            path = dev_ + "/ttyUSB99";

        const int probed =
            unprivileged ? ProbeUnprivileged(path) : static_cast<int>(qv::link::ProbePort(path));
        QCOMPARE(probed, static_cast<int>(state));

        // The probe left the line as it was and holds nothing: the holder locks it now.
        termios after{};
        QCOMPARE(::tcgetattr(holder, &after), 0);
        QCOMPARE(std::memcmp(&before, &after, sizeof before), 0);
        if (held.isEmpty())
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        ::close(holder);
    }
};

QTEST_GUILESS_MAIN(TstPortStatus)
#include "tst_port_status.moc"
