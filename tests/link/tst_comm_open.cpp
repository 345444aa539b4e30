// Opening and closing the port through the link: settings text, COM number, the one open port.

#include "link/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using link::LineSettings;
using link::Link;

Q_DECLARE_METATYPE(LineSettings)

class TstCommOpen : public QObject {
    Q_OBJECT
private slots:
    void parsesLineSettings_data();
    void parsesLineSettings();
    void refusesMalformedLineSettings_data();
    void refusesMalformedLineSettings();
    void resolvesComNumbers_data();
    void resolvesComNumbers();
    void opensResolvedDeviceWithParsedSettings();
    void unusableSettingsOrPortOpenNothing_data();
    void unusableSettingsOrPortOpenNothing();
    void secondOpenLeavesOpenPortAlone();
    void closeOnlyWhenOpen();
    void refusedOpenLeavesLinkClosed();
    void portMapSourceIsAskedAtEveryOpen();
};

void TstCommOpen::parsesLineSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<LineSettings>("expected");
    QTest::newRow("4800,n,8,1") << "4800,n,8,1" << LineSettings{4800, 'n', 8, 1};
    QTest::newRow("4800,e,8,1") << "4800,e,8,1" << LineSettings{4800, 'e', 8, 1};
    QTest::newRow("9600,n,8,1") << "9600,n,8,1" << LineSettings{9600, 'n', 8, 1};
    QTest::newRow("9600,e,8,1") << "9600,e,8,1" << LineSettings{9600, 'e', 8, 1};
    QTest::newRow("19200,n,8,1") << "19200,n,8,1" << LineSettings{19200, 'n', 8, 1};
    QTest::newRow("19200,e,8,1") << "19200,e,8,1" << LineSettings{19200, 'e', 8, 1};
    QTest::newRow("38400,n,8,1") << "38400,n,8,1" << LineSettings{38400, 'n', 8, 1};
    QTest::newRow("38400,e,8,1") << "38400,e,8,1" << LineSettings{38400, 'e', 8, 1};
    QTest::newRow("57600,n,8,1") << "57600,n,8,1" << LineSettings{57600, 'n', 8, 1};
    QTest::newRow("57600,e,8,1") << "57600,e,8,1" << LineSettings{57600, 'e', 8, 1};
    QTest::newRow("115200,n,8,1") << "115200,n,8,1" << LineSettings{115200, 'n', 8, 1};
    QTest::newRow("115200,e,8,1") << "115200,e,8,1" << LineSettings{115200, 'e', 8, 1};
    QTest::newRow("upper-case parity") << "19200,E,8,1" << LineSettings{19200, 'e', 8, 1};
    QTest::newRow("odd parity, 7 bits, 2 stops") << "9600,o,7,2" << LineSettings{9600, 'o', 7, 2};
    QTest::newRow("5 data bits") << "1200,n,5,1" << LineSettings{1200, 'n', 5, 1};
}

void TstCommOpen::parsesLineSettings() {
    QFETCH(QString, text);
    QFETCH(LineSettings, expected);
    const auto parsed = link::ParseLineSettings(text.toStdString());
    QVERIFY(parsed.has_value());
    QVERIFY(*parsed == expected);
}

void TstCommOpen::refusesMalformedLineSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("abc") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("parity x") << "19200,x,8,1";
    QTest::newRow("three fields") << "19200,e,8";
    QTest::newRow("five fields") << "19200,e,8,1,1";
    QTest::newRow("trailing comma") << "19200,e,8,1,";
    QTest::newRow("baud 0") << "0,e,8,1";
    QTest::newRow("negative baud") << "-9600,e,8,1";
    QTest::newRow("9 data bits") << "19200,e,9,1";
    QTest::newRow("4 data bits") << "19200,e,4,1";
    QTest::newRow("3 stop bits") << "19200,e,8,3";
    QTest::newRow("leading blank") << " 19200,e,8,1";
    QTest::newRow("trailing blank") << "19200,e,8,1 ";
    QTest::newRow("two parity letters") << "19200,en,8,1";
    QTest::newRow("empty parity") << "19200,,8,1";
    QTest::newRow("baud with letters") << "19k2,e,8,1";
}

void TstCommOpen::refusesMalformedLineSettings() {
    QFETCH(QString, text);
    QVERIFY(!link::ParseLineSettings(text.toStdString()).has_value());
}

void TstCommOpen::resolvesComNumbers_data() {
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

void TstCommOpen::resolvesComNumbers() {
    QFETCH(int, port);
    QFETCH(QString, path);
    const link::PortMap map = {{3, "/dev/pts/7"}, {20, "/tmp/sim-tty"}, {2, "pts/1"}};
    QCOMPARE(QString::fromStdString(link::ResolveComPort(port, map)), path);
}

void TstCommOpen::opensResolvedDeviceWithParsedSettings() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    QVERIFY(link.CommOpen(12, "115200,e,8,1"));
    QVERIFY(link.isOpen());
    QCOMPARE(device.opens.size(), size_t(1));
    QCOMPARE(QString::fromStdString(device.opens[0].path), QString("/dev/ttyUSB7"));
    QVERIFY(device.opens[0].settings == (LineSettings{115200, 'e', 8, 1}));
}

void TstCommOpen::unusableSettingsOrPortOpenNothing_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::newRow("settings abc") << 1 << "abc";
    QTest::newRow("parity x") << 1 << "19200,x,8,1";
    QTest::newRow("COM0") << 0 << "19200,e,8,1";
    QTest::newRow("COM17 unmapped") << 17 << "19200,e,8,1";
}

void TstCommOpen::unusableSettingsOrPortOpenNothing() {
    QFETCH(int, port);
    QFETCH(QString, settings);
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    QVERIFY(!link.CommOpen(port, settings.toStdString()));
    QVERIFY(!link.isOpen());
    QCOMPARE(device.opens.size(), size_t(0));
    link.CommClose();
    QCOMPARE(device.closeCount, 0);
}

void TstCommOpen::secondOpenLeavesOpenPortAlone() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    QVERIFY(link.CommOpen(1, "19200,e,8,1"));
    QVERIFY(!link.CommOpen(2, "9600,n,8,1"));
    QCOMPARE(device.opens.size(), size_t(1));
    QCOMPARE(device.closeCount, 0);
    QVERIFY(link.isOpen());
    QCOMPARE(QString::fromStdString(device.openPath()), QString("/dev/ttyS0"));
    link.CommClose();
    QCOMPARE(device.closeCount, 1);
}

void TstCommOpen::closeOnlyWhenOpen() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    link.CommClose();
    QCOMPARE(device.closeCount, 0);
    QVERIFY(link.CommOpen(1, "19200,e,8,1"));
    link.CommClose();
    link.CommClose();
    QCOMPARE(device.closeCount, 1);
    QVERIFY(!link.isOpen());
}

void TstCommOpen::refusedOpenLeavesLinkClosed() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    device.openable = {"/dev/ttyS1"};
    Link link(device, time, time);
    QVERIFY(!link.CommOpen(1, "19200,e,8,1"));
    QVERIFY(!link.isOpen());
    link.CommClose();
    QCOMPARE(device.closeCount, 0);
    QVERIFY(link.CommOpen(2, "19200,e,8,1"));
}

// A simulator started, stopped or restarted while the program runs is seen at the next open.
void TstCommOpen::portMapSourceIsAskedAtEveryOpen() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    std::string mapped = "/dev/pts/4";
    int asked = 0;
    link.setPortMapSource([&] {
        ++asked;
        return mapped.empty() ? link::PortMap{} : link::PortMap{{3, mapped}};
    });
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    mapped = "/dev/pts/9";
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    mapped.clear();
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    QCOMPARE(asked, 3);
    QCOMPARE(device.opens.size(), std::size_t(3));
    QCOMPARE(device.opens[0].path, std::string("/dev/pts/4"));
    QCOMPARE(device.opens[1].path, std::string("/dev/pts/9"));
    QCOMPARE(device.opens[2].path, std::string("/dev/ttyS2"));
}

QTEST_APPLESS_MAIN(TstCommOpen)
#include "tst_comm_open.moc"
