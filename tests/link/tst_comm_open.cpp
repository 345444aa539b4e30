// Opening and closing the port through the link: settings text, COM number, the one open port.

#include "link/protocol/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using link::LineSettings;
using link::Link;

Q_DECLARE_METATYPE(LineSettings)

namespace {

// The device a COM number names on this platform; each platform's table is tested beside its
// serial device (tst_posix_serial, tst_win32_serial).
std::string PathOf(int port, const link::PortMap& overrides = {}) {
    return link::ResolveComPort(port, overrides);
}

// Two devices an override may name on this platform.
#ifdef _WIN32
const std::string kMappedA = "COM21";
const std::string kMappedB = "COM22";
#else
const std::string kMappedA = "/dev/pts/4";
const std::string kMappedB = "/dev/pts/9";
#endif

} // namespace

class TstCommOpen : public QObject {
    Q_OBJECT
private slots:
    void parsesLineSettings_data();
    void parsesLineSettings();
    void refusesMalformedLineSettings_data();
    void refusesMalformedLineSettings();
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

void TstCommOpen::opensResolvedDeviceWithParsedSettings() {
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    QVERIFY(link.CommOpen(12, "115200,e,8,1"));
    QVERIFY(link.isOpen());
    QCOMPARE(device.opens.size(), size_t(1));
    QVERIFY(!PathOf(12).empty());
    QCOMPARE(device.opens[0].path, PathOf(12));
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
    QCOMPARE(device.openPath(), PathOf(1));
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
    device.openable = {PathOf(2)};
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
    std::string mapped = kMappedA;
    int asked = 0;
    link.setPortMapSource([&] {
        ++asked;
        return mapped.empty() ? link::PortMap{} : link::PortMap{{3, mapped}};
    });
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    mapped = kMappedB;
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    mapped.clear();
    QVERIFY(link.CommOpen(3, "19200,e,8,1"));
    link.CommClose();
    QCOMPARE(asked, 3);
    QCOMPARE(device.opens.size(), std::size_t(3));
    QCOMPARE(device.opens[0].path, PathOf(3, {{3, kMappedA}}));
    QCOMPARE(device.opens[1].path, PathOf(3, {{3, kMappedB}}));
    QCOMPARE(device.opens[2].path, PathOf(3));
    QVERIFY(device.opens[0].path != device.opens[1].path &&
            device.opens[1].path != device.opens[2].path);
}

QTEST_APPLESS_MAIN(TstCommOpen)
#include "tst_comm_open.moc"
