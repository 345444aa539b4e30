// Reopening a port whose device went away: when each try happens, which failures are told, and
// how the wait ends; a fake device on a virtual clock, so seconds of waiting take no time.
#include "reader/reconnect.h"

#include "link/protocol/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using link::SerialError;

namespace {

// "1000:absent 1700:denied ok": before 1000 ms the port is not there, then refused for want of
// permission until 1700 ms, then it opens. A script without "ok" never opens.
SerialError ScriptedOutcome(const QString& script, std::uint64_t ms, bool& opens) {
    for (const QString& part : script.split(' ')) {
        opens = part == "ok";
        if (opens)
            return SerialError::None;
        const auto until = part.section(':', 0, 0).toULongLong();
        const QString reason = part.section(':', 1);
        if (ms < until)
            return reason == "absent"   ? SerialError::NoDevice
                   : reason == "denied" ? SerialError::AccessDenied
                                        : SerialError::InUse;
    }
    return SerialError::NoDevice;
}

QString Name(SerialError error) {
    return error == SerialError::AccessDenied ? "denied"
           : error == SerialError::InUse      ? "busy"
                                              : "other";
}

} // namespace

class TstReconnect : public QObject {
    Q_OBJECT

private slots:
    // Times are in ms from the moment the device was found gone.
    void reopensOnTheRule_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("stopAt"); // -1: never
        QTest::addColumn<int>("limit");  // -1: no bound
        QTest::addColumn<QString>("tries");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("result");
        QTest::newRow("back after 1.2 s") << "1200:absent ok" << -1 << -1 << "0 500 1000 1500"
                                          << ""
                                          << "open";
        QTest::newRow("permission given within the grace")
            << "1000:absent 1700:denied ok" << -1 << -1
            << "0 500 1000 1100 1200 1300 1400 1500 1600 1700"
            << ""
            << "open";
        QTest::newRow("permission refused past the grace")
            << "100000:denied" << -1 << 3000
            << "0 100 200 300 400 500 600 700 800 900 1000 1100 1200 1300 1400 1500 1600 1700 "
               "1800 1900 2000 2500"
            << "2000:denied"
            << "time up";
        QTest::newRow("in use is told at once, and once")
            << "1000:busy ok" << -1 << -1 << "0 500 1000"
            << "0:busy"
            << "open";
        QTest::newRow("a reason told again after another came between")
            << "500:busy 1000:absent 1500:busy ok" << -1 << -1 << "0 500 1000 1500"
            << "0:busy 1000:busy"
            << "open";
        QTest::newRow("stopped while waiting") << "100000:absent" << 1200 << -1 << "0 500 1000"
                                               << ""
                                               << "stopped";
        QTest::newRow("the bound passes before the next try")
            << "100000:absent" << -1 << 1000 << "0 500"
            << ""
            << "time up";
    }
    void reopensOnTheRule() {
        QFETCH(QString, script);
        QFETCH(int, stopAt);
        QFETCH(int, limit);
        QFETCH(QString, tries);
        QFETCH(QString, told);
        QFETCH(QString, result);

        test::VirtualTime time;
        test::FakeDevice device{time};
        link::Link link{device, time, time};
        link.setPortMap({{5, "usb:0403:6001"}}); // a name that reaches the device on every platform
        QVERIFY(link.CommOpen(5, "38400,n,8,1"));
        device.vanished = true;
        QVERIFY(link.lineGone());
        device.canOpen = [&](const std::string&, const link::LineSettings&) {
            bool opens = false;
            device.failWith = ScriptedOutcome(script, time.ms(), opens);
            return opens;
        };

        QStringList toldSeen;
        const auto ended = reader::Reconnect(
            link, 5, "38400,n,8,1",
            [&] { return stopAt >= 0 && time.ms() >= static_cast<std::uint64_t>(stopAt); },
            limit >= 0 ? std::optional<std::uint32_t>(limit) : std::nullopt,
            [&](SerialError error, const std::string&) {
                toldSeen << QString::number(time.ms()) + ":" + Name(error);
            });

        QStringList triesSeen;
        for (std::size_t i = 1; i < device.opens.size(); ++i) {
            QCOMPARE(device.opens[i].path, std::string("usb:0403:6001")); // the same port ...
            QCOMPARE(device.opens[i].settings.baud, 38400u);              // ... at the same speed
            triesSeen << QString::number(device.opens[i].atUs / 1000);
        }
        QCOMPARE(triesSeen.join(' '), tries);
        QCOMPARE(toldSeen.join(' '), told);
        const QString endedAs = ended == reader::Reconnected::Yes       ? "open"
                                : ended == reader::Reconnected::Stopped ? "stopped"
                                                                        : "time up";
        QCOMPARE(endedAs, result);
        QCOMPARE(link.isOpen(), result == "open");
        QCOMPARE(device.closeCount, 1); // the gone line, closed before the first try
        QVERIFY(!link.lineGone());
    }
};

QTEST_GUILESS_MAIN(TstReconnect)
#include "tst_reconnect.moc"
