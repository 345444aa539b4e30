// The traffic log: a ring that stays bounded however long a run is, the label and port on every
// line, pause and clear, and bytes shown as hex and as text without a box for any byte.
#include "program/traffic_log.h"

#include <QTest>

using namespace qv;
using Kind = link::TraceEvent::Kind;

class tst_TrafficLog : public QObject {
    Q_OBJECT
private slots:
    void ringKeepsTheNewestLinesOnly();
    void linesCarryLabelPortAndTime();
    void pauseDropsAndClearEmpties();
    void longWaitKeepsItsCountNotItsBytes();
    void bytesAsHexAndText_data();
    void bytesAsHexAndText();
};

void tst_TrafficLog::ringKeepsTheNewestLinesOnly() {
    TrafficLog log(3);
    const std::string frames[] = {"a", "b", "c", "d", "e", "f", "g"};
    for (const std::string& f : frames)
        log.append({.kind = Kind::Sent, .bytes = f});
    QCOMPARE(log.size(), std::size_t(3));
    QCOMPARE(log.first(), std::uint64_t(4));
    QCOMPARE(log.end(), std::uint64_t(7));
    QCOMPARE(log.at(4).bytes, std::string("e"));
    QCOMPARE(log.at(6).bytes, std::string("g"));

    // An hour of tag reading (about 35 polls a second, three lines each) keeps 5000 lines.
    TrafficLog big;
    const std::string reply = "\nA00I100953CE044A7A5B32500\r";
    for (int i = 0; i < 3600 * 35 * 3; ++i)
        big.append({.kind = Kind::Received, .bytes = reply});
    QCOMPARE(big.size(), std::size_t(5000));
    QCOMPARE(big.end(), std::uint64_t(3600 * 35 * 3));
    QCOMPARE(big.at(big.end() - 1).bytes, reply);
}

void tst_TrafficLog::linesCarryLabelPortAndTime() {
    TrafficLog log;
    std::int64_t now = 1000;
    log.setWallClock([&now] { return now++; });
    log.setLabel("Scan COM3 19200,e,8,1");
    log.append({.kind = Kind::Opened, .bytes = "19200,e,8,1", .port = "COM3 /dev/pts/4"});
    log.setLabel("Scan COM3 19200,e,8,1, try 1");
    log.append({.kind = Kind::Finished, .outcome = link::Outcome::Ceiling});
    log.append({.kind = Kind::Closed});
    log.append({.kind = Kind::OpenFailed, .error = link::SerialError::InUse, .port = "COM4"});
    QCOMPARE(log.at(0).label, std::string("Scan COM3 19200,e,8,1"));
    QCOMPARE(log.at(0).bytes, std::string("19200,e,8,1"));
    QCOMPARE(log.at(1).label, std::string("Scan COM3 19200,e,8,1, try 1"));
    QVERIFY(log.at(1).outcome == link::Outcome::Ceiling);
    QCOMPARE(log.at(2).port, std::string("COM3 /dev/pts/4")); // the close names the open port
    QVERIFY(log.at(3).error == link::SerialError::InUse);
    QCOMPARE(log.at(3).wallMs, std::int64_t(1003));
}

void tst_TrafficLog::pauseDropsAndClearEmpties() {
    TrafficLog log;
    log.append({.kind = Kind::Sent, .bytes = "1"});
    log.setPaused(true);
    log.append({.kind = Kind::Sent, .bytes = "2"});
    QCOMPARE(log.size(), std::size_t(1));
    log.setPaused(false);
    log.append({.kind = Kind::Sent, .bytes = "3"});
    QCOMPARE(log.at(1).bytes, std::string("3"));
    log.clear();
    QCOMPARE(log.size(), std::size_t(0));
    log.append({.kind = Kind::Sent, .bytes = "4"});
    QCOMPARE(log.first(), std::uint64_t(2));
    QCOMPARE(log.at(2).bytes, std::string("4"));
}

void tst_TrafficLog::longWaitKeepsItsCountNotItsBytes() {
    TrafficLog log;
    const std::string stream(2000, 'x');
    log.append({.kind = Kind::Received, .bytes = stream});
    QCOMPARE(log.at(0).bytes.size(), std::size_t(256));
    QCOMPARE(log.at(0).byteCount, std::size_t(2000));
}

void tst_TrafficLog::bytesAsHexAndText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("text");
    QTest::newRow("command frame")
        << QByteArray("\x09\x41\x30\x30\x42\x30\x41\x0D") << "09 41 30 30 42 30 41 0D"
        << "<TAB>A00B0A<CR>";
    QTest::newRow("reply frame") << QByteArray("\nA00K00\r") << "0A 41 30 30 4B 30 30 0D"
                                 << "<LF>A00K00<CR>";
    QTest::newRow("zero byte, escape, delete") << QByteArray("\x00\x1B\x7F", 3) << "00 1B 7F"
                                               << "<NUL><ESC><DEL>";
    QTest::newRow("high bytes and a backslash") << QByteArray("\xB5\xFF\\x") << "B5 FF 5C 78"
                                                << "\\xB5\\xFF\\\\x";
    QTest::newRow("nothing") << QByteArray() << ""
                             << "";
}

void tst_TrafficLog::bytesAsHexAndText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hex);
    QFETCH(QString, text);
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QCOMPARE(QString::fromStdString(HexBytes(view)), hex);
    QCOMPARE(QString::fromStdString(TextBytes(view)), text);
}

QTEST_APPLESS_MAIN(tst_TrafficLog)
#include "tst_traffic_log.moc"
