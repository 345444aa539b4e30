// The COM numbers of listed ports on Windows, where a port is \\.\COMn, an override names a COM
// device in any case, and the name stored for an adapter without serial is its COM device.

#include "link/ports/port_status.h"

#include <QTest>

using qv::link::PortInfo;

namespace {

PortInfo Port(const std::string& device, std::uint16_t vid, std::uint16_t pid,
              const std::string& serial) {
    PortInfo port;
    port.device = device;
    port.usb = vid != 0;
    port.vid = vid;
    port.pid = pid;
    port.serial = serial;
    port.usbDevice = device;
    return port;
}

const std::vector<PortInfo> kPorts = {Port(R"(\\.\COM1)", 0, 0, ""),
                                      Port(R"(\\.\COM3)", 0x0403, 0x6001, "A50285BI"),
                                      Port(R"(\\.\COM10)", 0x1a86, 0x7523, "")};

} // namespace

class TstWin32PortStatus : public QObject {
    Q_OBJECT
private slots:
    void comNumbersOfWindowsPorts_data() {
        QTest::addColumn<int>("number"); // 0: no override
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("port"); // index in kPorts
        QTest::addColumn<QString>("numbers");
        QTest::newRow("own number") << 0 << "" << 1 << "3";
        QTest::newRow("COM10 and above") << 0 << "" << 2 << "10";
        QTest::newRow("override in lower case") << 7 << "com3" << 1 << "3,7";
        QTest::newRow("override through the device namespace")
            << 3 << R"(\\.\COM10)" << 2 << "3,10";
        QTest::newRow("override takes the own number away") << 3 << R"(\\.\COM10)" << 1 << "";
        QTest::newRow("selector, serial in another case")
            << 5 << "usb:0403:6001:a50285bi" << 1 << "3,5";
        QTest::newRow("Linux path names nothing") << 1 << "/dev/ttyS0" << 0 << "";
    }
    void comNumbersOfWindowsPorts() {
        QFETCH(int, number);
        QFETCH(QString, value);
        QFETCH(int, port);
        QFETCH(QString, numbers);
        qv::link::PortMap overrides;
        if (number > 0)
            overrides[number] = value.toStdString();
        QStringList list;
        for (int n :
             qv::link::ComNumbersOf(kPorts[static_cast<std::size_t>(port)], kPorts, overrides))
            list << QString::number(n);
        QCOMPARE(list.join(','), numbers);
    }

    void storedNameIsTheSelectorOrTheComDevice() {
        QCOMPARE(QString::fromStdString(qv::link::StablePortName(kPorts[1], kPorts)),
                 QString("usb:0403:6001:A50285BI"));
        QCOMPARE(QString::fromStdString(qv::link::StablePortName(kPorts[2], kPorts)),
                 QString(R"(\\.\COM10)"));
    }

    void missingPortIsNotThere() {
        QCOMPARE(qv::link::ProbePort(R"(\\.\COM99)"), qv::link::PortState::Absent);
    }
};

QTEST_GUILESS_MAIN(TstWin32PortStatus)
#include "tst_win32_port_status.moc"
