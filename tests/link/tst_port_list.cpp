// The port list on Linux, read from a sysfs tree and /dev/serial links made in a temporary folder
// as the kernel and udev lay them out; the USB selector over that list, and a COM number whose
// override is a selector opening the adapter it names; the reading of Windows device IDs, which
// is pure and checked here as well.

#include "link/ports/port_list.h"
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "tests/support/fake_port_tree.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using qv::link::PortInfo;

Q_DECLARE_METATYPE(PortInfo)

namespace {

// A pseudo-terminal standing in for an adapter's device node: the test reads at the master what
// the link wrote to the slave.
class Pty {
public:
    Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~Pty() {
        if (master_ >= 0)
            ::close(master_);
    }
    const std::string& slave() const { return slave_; }
    // What arrives within half a second.
    std::string received() const {
        std::string bytes;
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, 500) > 0 && (p.revents & POLLIN)) {
            char buffer[64];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int master_;
    std::string slave_;
};

// A link over the platform's port device that lists the ports of the tree at sys and dev.
struct TreeLink {
    std::unique_ptr<qv::link::SerialDevice> device;
    qv::link::SteadyClock clock;
    qv::link::ThreadSleeper sleeper;
    qv::link::Link link;
    TreeLink(const std::string& sys, const std::string& dev)
        : device(qv::link::MakePlatformSerialDevice(
              [sys, dev] { return qv::link::ListSerialPortsIn(sys, dev); })),
          link(*device, clock, sleeper) {}
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

PortInfo Port(const std::string& device, const std::string& stable, std::uint16_t vid,
              std::uint16_t pid, const std::string& serial, const std::string& manufacturer,
              const std::string& product, int interfaceNumber, const std::string& driver,
              const std::string& usbDevice) {
    return {device,  stable,          true,   vid,      pid, serial, manufacturer,
            product, interfaceNumber, driver, usbDevice};
}

} // namespace

class TstPortList : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    std::string sys_, dev_;
    std::vector<PortInfo> ports_;

    const PortInfo* find(const std::string& device) const {
        for (const auto& port : ports_)
            if (port.device == dev_ + "/" + device)
                return &port;
        return nullptr;
    }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        sys_ = root_.path().toStdString() + "/sys";
        dev_ = root_.path().toStdString() + "/dev";
        qv::test::MakeFakePortTree(sys_, dev_);
        ports_ = qv::link::ListSerialPortsIn(sys_, dev_);
    }

    void listsPortsWithHardwareInNameOrder() {
        QStringList names;
        for (const auto& port : ports_)
            names << QString::fromStdString(fs::path(port.device).filename().string());
        QCOMPARE(names, QStringList({"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3",
                                     "ttyUSB4", "ttyUSB5", "ttyUSB10"}));
    }

    void readsEachPortsIdentity_data() {
        QTest::addColumn<PortInfo>("expected"); // paths relative to the /dev folder
        const std::string byId = "serial/by-id/", byPath = "serial/by-path/pci-0000:00:14.0-";
        QTest::newRow("FTDI with serial")
            << Port("ttyUSB0", byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", 0x0403,
                    0x6001, "A50285BI", "FTDI", "FT232R USB UART", 0, "ftdi_sio", "1-1");
        QTest::newRow("CDC-ACM board")
            << Port("ttyACM0", byId + "usb-Raspberry_Pi_Pico_E660583883-if00", 0x2e8a, 0x000a,
                    "E660583883", "Raspberry Pi", "Pico", 0, "cdc_acm", "1-2");
        QTest::newRow("CH340 without serial, by-path only")
            << Port("ttyUSB1", byPath + "ttyUSB1", 0x1a86, 0x7523, "", "", "USB Serial", 0,
                    "ch341-uart", "1-3");
        QTest::newRow("second CH340 owns the shared by-id name")
            << Port("ttyUSB10", byId + "usb-1a86_USB_Serial-if00-port0", 0x1a86, 0x7523, "", "",
                    "USB Serial", 0, "ch341-uart", "1-4");
        QTest::newRow("CP2102 0002 beside its twin")
            << Port("ttyUSB5", byId + "usb-Silicon_Labs_CP2102_USB_to_UART_0002-if00-port0", 0x10c4,
                    0xea60, "0002", "Silicon Labs", "CP2102 USB to UART", 0, "cp210x", "1-6");
        QTest::newRow("second channel of a two-channel FTDI")
            << Port("ttyUSB4", byId + "usb-FTDI_Dual_RS232_FT4ZQ1-if01-port0", 0x0403, 0x6010,
                    "FT4ZQ1", "FTDI", "Dual RS232", 1, "ftdi_sio", "1-7");
        PortInfo builtIn;
        builtIn.device = "ttyS0";
        builtIn.stablePath = byPath + "ttyS0";
        builtIn.driver = "serial";
        QTest::newRow("built-in port with a UART") << builtIn;
    }
    void readsEachPortsIdentity() {
        QFETCH(PortInfo, expected);
        expected.device = dev_ + "/" + expected.device;
        expected.stablePath = dev_ + "/" + expected.stablePath;
        const PortInfo* port = find(fs::path(expected.device).filename().string());
        QVERIFY(port);
        QCOMPARE(Q(port->stablePath), Q(expected.stablePath));
        QCOMPARE(Q(port->driver), Q(expected.driver));
        QCOMPARE(Q(port->serial), Q(expected.serial));
        QCOMPARE(port->interfaceNumber, expected.interfaceNumber);
        QVERIFY(*port == expected); // and every other field
    }

    void missingTreeIsAnEmptyList() {
        QVERIFY(qv::link::ListSerialPortsIn(sys_ + "/none", dev_ + "/none").empty());
    }

    void selectorNamesOnePort_data() {
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QString>("device"); // empty: no port
        QTest::addColumn<QString>("error");  // DEV stands for the /dev folder
        const QString malformed = "\" is no USB selector: write usb:VID:PID or usb:VID:PID:SERIAL, "
                                  "with VID and PID in hexadecimal";
        QTest::newRow("VID:PID") << "usb:0403:6001"
                                 << "ttyUSB0"
                                 << "";
        QTest::newRow("with serial") << "usb:0403:6001:A50285BI"
                                     << "ttyUSB0"
                                     << "";
        QTest::newRow("any case") << "USB:2E8A:000A:e660583883"
                                  << "ttyACM0"
                                  << "";
        QTest::newRow("short hex") << "usb:403:6001"
                                   << "ttyUSB0"
                                   << "";
        QTest::newRow("serial tells twins apart") << "usb:10c4:ea60:0002"
                                                  << "ttyUSB5"
                                                  << "";
        QTest::newRow("first channel of one adapter") << "usb:0403:6010"
                                                      << "ttyUSB3"
                                                      << "";
        QTest::newRow("twins with serials")
            << "usb:10c4:ea60"
            << ""
            << "two USB adapters 10c4:ea60 are plugged in, DEV/ttyUSB2 (serial 0001) and "
               "DEV/ttyUSB5 (serial 0002): add the serial number to tell them apart";
        QTest::newRow("twins without serials")
            << "usb:1a86:7523"
            << ""
            << "two USB adapters 1a86:7523 are plugged in, DEV/ttyUSB1 (no serial number) and "
               "DEV/ttyUSB10 (no serial number): add the serial number to tell them apart";
        QTest::newRow("serial of another adapter")
            << "usb:0403:6001:0001"
            << ""
            << "no USB adapter 0403:6001 serial 0001 is plugged in";
        QTest::newRow("absent adapter") << "usb:067b:2303"
                                        << ""
                                        << "no USB adapter 067b:2303 is plugged in";
        QTest::newRow("no PID") << "usb:0403"
                                << ""
                                << "\"usb:0403" + malformed;
        QTest::newRow("empty serial") << "usb:0403:6001:"
                                      << ""
                                      << "\"usb:0403:6001:" + malformed;
        QTest::newRow("five digits") << "usb:04030:6001"
                                     << ""
                                     << "\"usb:04030:6001" + malformed;
        QTest::newRow("not hex") << "usb:0403:60g1"
                                 << ""
                                 << "\"usb:0403:60g1" + malformed;
        QTest::newRow("signed") << "usb:+403:6001"
                                << ""
                                << "\"usb:+403:6001" + malformed;
        QTest::newRow("no usb prefix") << "/dev/ttyUSB0"
                                       << ""
                                       << "\"/dev/ttyUSB0" + malformed;
    }
    void selectorNamesOnePort() {
        QFETCH(QString, selector);
        QFETCH(QString, device);
        QFETCH(QString, error);
        const auto chosen = qv::link::SelectUsbPort(selector.toStdString(), ports_);
        const QString dev = QString::fromStdString(dev_);
        QCOMPARE(QString::fromStdString(chosen.error), QString(error).replace("DEV", dev));
        QCOMPARE(chosen.port ? QString::fromStdString(chosen.port->device) : QString(),
                 device.isEmpty() ? device : dev + "/" + device);
    }

    // The override of COM5 is a selector: each open finds the adapter among the ports of the
    // moment, so the adapter opens where it is, and again where it comes back after a replug.
    void selectorOverrideOpensTheAdapterWhereverItIs() {
        QTemporaryDir root;
        const std::string sys = root.path().toStdString() + "/sys",
                          dev = root.path().toStdString() + "/dev";
        Pty before, after;
        QVERIFY(!before.slave().empty() && !after.slave().empty());
        const qv::test::Usb adapter{"1-1",      0,      "0403",           "6001",
                                    "A50285BI", "FTDI", "FT232R USB UART"};
        qv::test::UsbTty(sys, adapter, "ttyUSB0", true, "usb-serial/drivers/ftdi_sio");
        fs::create_directories(dev);
        fs::create_symlink(before.slave(), dev + "/ttyUSB0");
        TreeLink t(sys, dev);
        t.link.setPortMap({{5, "usb:0403:6001:a50285bi"}});
        const std::uint8_t command[] = {'A', '0', '0', 'B'};

        QVERIFY(t.link.CommOpen(5, "19200,e,8,1"));
        t.link.CommWriteBytes(command, 4);
        QCOMPARE(before.received(), std::string("A00B"));
        t.link.CommClose();

        // Pulled out and plugged in again on another hub port: now ttyUSB1.
        fs::remove(sys + "/class/tty/ttyUSB0");
        fs::remove(dev + "/ttyUSB0");
        qv::test::UsbTty(sys, {"1-2", 0, "0403", "6001", "A50285BI", "FTDI", "FT232R USB UART"},
                         "ttyUSB1", true, "usb-serial/drivers/ftdi_sio");
        fs::create_symlink(after.slave(), dev + "/ttyUSB1");
        QVERIFY(t.link.CommOpen(5, "19200,e,8,1"));
        t.link.CommWriteBytes(command, 4);
        QCOMPARE(after.received(), std::string("A00B"));
        QCOMPARE(before.received(), std::string());
        t.link.CommClose();
    }

    // Why a selector did not open, as the command line and the window's tooltip get it: the
    // reason, and the adapters in question in the device's detail, in the trace as well.
    void selectorThatOpensNothingSaysWhy_data() {
        QTest::addColumn<QString>("selector");
        QTest::addColumn<int>("error");    // link::SerialError
        QTest::addColumn<QString>("text"); // DEV stands for the /dev folder
        QTest::newRow("two adapters")
            << "usb:1a86:7523" << int(qv::link::SerialError::Other)
            << "two USB adapters 1a86:7523 are plugged in, DEV/ttyUSB1 (no serial number) and "
               "DEV/ttyUSB10 (no serial number): add the serial number to tell them apart";
        QTest::newRow("no adapter") << "usb:067b:2303" << int(qv::link::SerialError::NoDevice)
                                    << "does not exist (no USB adapter 067b:2303 is plugged in)";
        QTest::newRow("malformed")
            << "usb:0403" << int(qv::link::SerialError::Other)
            << "\"usb:0403\" is no USB selector: write usb:VID:PID or usb:VID:PID:SERIAL, with VID "
               "and PID in hexadecimal";
        QTest::newRow("the adapter's node is missing")
            << "usb:0403:6001" << int(qv::link::SerialError::NoDevice)
            << "does not exist (the adapter is DEV/ttyUSB0)";
    }
    void selectorThatOpensNothingSaysWhy() {
        QFETCH(QString, selector);
        QFETCH(int, error);
        QFETCH(QString, text);
        // The tree's device nodes are plain files; the adapter's is taken away for this test.
        const fs::path node = dev_ + "/ttyUSB0", aside = dev_ + "/ttyUSB0.aside";
        fs::rename(node, aside);
        const auto restore = qScopeGuard([&] { fs::rename(aside, node); });
        TreeLink t(sys_, dev_);
        t.link.setPortMap({{7, selector.toStdString()}});
        QString traced;
        t.link.setTrace([&](const qv::link::TraceEvent& event) {
            traced = QString::fromStdString(
                qv::link::DescribeOpenFailure(event.error, std::string(event.detail)));
        });
        QVERIFY(!t.link.CommOpen(7, "19200,e,8,1"));
        const QString expected = QString(text).replace("DEV", QString::fromStdString(dev_));
        QCOMPARE(int(t.link.lastOpenError()), error);
        QCOMPARE(QString::fromStdString(qv::link::DescribeOpenFailure(
                     t.link.lastOpenError(), t.link.lastOpenErrorDetail())),
                 expected);
        QCOMPARE(traced, expected);
    }

    void windowsIdsGiveTheUsbIdentity_data() {
        QTest::addColumn<QString>("hardwareId");
        QTest::addColumn<QString>("instanceId");
        QTest::addColumn<QString>("parentId");
        QTest::addColumn<PortInfo>("expected");
        auto usb = [](std::uint16_t vid, std::uint16_t pid, const std::string& serial, int number,
                      const std::string& usbDevice) {
            return Port("", "", vid, pid, serial, "", "", number, "", usbDevice);
        };
        QTest::newRow("FTDI, serial with channel A")
            << R"(FTDIBUS\COMPORT&VID_0403&PID_6001)"
            << R"(FTDIBUS\VID_0403+PID_6001+A50285BIA\0000)"
            << R"(USB\VID_0403&PID_6001\A50285BI)"
            << usb(0x0403, 0x6001, "A50285BI", 0, R"(FTDIBUS\VID_0403+PID_6001+A50285BI)");
        QTest::newRow("FTDI channel B shares the adapter")
            << R"(FTDIBUS\COMPORT&VID_0403&PID_6010)"
            << R"(FTDIBUS\VID_0403+PID_6010+FT4ZQ1B\0000)"
            << "" << usb(0x0403, 0x6010, "FT4ZQ1", 1, R"(FTDIBUS\VID_0403+PID_6010+FT4ZQ1)");
        QTest::newRow("CH340, made-up instance")
            << R"(USB\VID_1A86&PID_7523&REV_0264)"
            << R"(USB\VID_1A86&PID_7523\5&2C8F0B3&0&2)"
            << R"(USB\ROOT_HUB30\4&1A2B3C&0&0)"
            << usb(0x1a86, 0x7523, "", -1, R"(USB\VID_1A86&PID_7523\5&2C8F0B3&0&2)");
        QTest::newRow("CP2102 with serial")
            << R"(USB\VID_10C4&PID_EA60&REV_0100)"
            << R"(USB\VID_10C4&PID_EA60\0001)"
            << "" << usb(0x10c4, 0xea60, "0001", -1, R"(USB\VID_10C4&PID_EA60\0001)");
        QTest::newRow("composite CDC, serial from the parent")
            << R"(USB\VID_2E8A&PID_000A&REV_0100&MI_00)"
            << R"(USB\VID_2E8A&PID_000A&MI_00\6&3A1B2C&0&0000)"
            << R"(USB\VID_2E8A&PID_000A\E660583883)"
            << usb(0x2e8a, 0x000a, "E660583883", 0, R"(USB\VID_2E8A&PID_000A\E660583883)");
        QTest::newRow("lower case, interface 2")
            << R"(usb\vid_2341&pid_8036&mi_02)"
            << R"(usb\vid_2341&pid_8036&mi_02\7&1&0&0002)"
            << R"(usb\vid_2341&pid_8036\5&2&0&3)"
            << usb(0x2341, 0x8036, "", 2, R"(usb\vid_2341&pid_8036\5&2&0&3)");
        QTest::newRow("built-in port") << R"(ACPI\PNP0501)"
                                       << R"(ACPI\PNP0501\1)"
                                       << "" << PortInfo{};
        QTest::newRow("truncated VID") << R"(USB\VID_04)"
                                       << R"(USB\VID_04\1)"
                                       << "" << PortInfo{};
    }
    void windowsIdsGiveTheUsbIdentity() {
        QFETCH(QString, hardwareId);
        QFETCH(QString, instanceId);
        QFETCH(QString, parentId);
        QFETCH(PortInfo, expected);
        const PortInfo port = qv::link::ParseWin32DeviceIds(
            hardwareId.toStdString(), instanceId.toStdString(), parentId.toStdString());
        QCOMPARE(port.usb, expected.usb);
        QCOMPARE(port.vid, expected.vid);
        QCOMPARE(port.pid, expected.pid);
        QCOMPARE(Q(port.serial), Q(expected.serial));
        QCOMPARE(port.interfaceNumber, expected.interfaceNumber);
        QCOMPARE(Q(port.usbDevice), Q(expected.usbDevice));
    }
};

QTEST_GUILESS_MAIN(TstPortList)
#include "tst_port_list.moc"
