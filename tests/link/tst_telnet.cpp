// The Telnet / COM-PORT-OPTION codec and the port URL, with byte sequences written by hand (the
// greeting is the one ser2net 4.3 sends).
#include "link/protocol/link.h"
#include "link/transport/network_device.h"
#include "link/transport/telnet.h"

#include <QtTest>

using namespace qv::link;

namespace {

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

struct Parsed {
    QByteArray data, answers, baudReply;
};

// Feeds `input` in pieces of `piece` bytes (0: all at once).
Parsed Feed(const QByteArray& input, int piece) {
    telnet::Receiver receiver;
    std::string data;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.constData());
    const int step = piece > 0 ? piece : std::max<int>(1, int(input.size()));
    for (int at = 0; at < input.size(); at += step)
        receiver.feed(bytes + at,
                      static_cast<std::size_t>(std::min<int>(step, int(input.size()) - at)), data);
    Parsed p{Bytes(data), Bytes(receiver.takeAnswers()), {}};
    if (const auto reply = receiver.takeReply(telnet::kSetBaudRate))
        p.baudReply = Bytes(*reply);
    return p;
}

} // namespace

class TstTelnet : public QObject {
    Q_OBJECT
private slots:
    void receiverKeepsCommandsOutOfTheData_data();
    void receiverKeepsCommandsOutOfTheData();
    void escapeDoublesEveryFF();
    void lineSettingRequests_data();
    void lineSettingRequests();
    void portUrls_data();
    void portUrls();
};

void TstTelnet::receiverKeepsCommandsOutOfTheData_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QByteArray>("baudReply");
    const auto h = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("plain data") << h("0a413030420d") << h("0a413030420d") << h("") << h("");
    QTest::newRow("doubled 0xFF is one data byte")
        << h("41ffff42") << h("41ff42") << h("") << h("");
    QTest::newRow("server greeting: SGA accepted, ECHO refused, the rest agreed already")
        << h("fffb03fffd03fffb01fffe01fffd00fffb00fffd2c41") << h("41") << h("fffd03fffb03fffe01")
        << h("");
    QTest::newRow("baud reply amid data")
        << h("41fffa2c6500009600fff042") << h("4142") << h("") << h("00009600");
    QTest::newRow("0xFF doubled inside a reply")
        << h("fffa2c650000ffff00fff0") << h("") << h("") << h("0000ff00");
    QTest::newRow("NOP and GA dropped") << h("41fff1fff942") << h("4142") << h("") << h("");
    QTest::newRow("unknown option requests refused")
        << h("fffd18fffb1f") << h("") << h("fffc18fffe1f") << h("");
    QTest::newRow("a request already granted is not answered again")
        << h("fffd03fffd03") << h("") << h("fffb03") << h("");
    QTest::newRow("BINARY withdrawn, then offered again")
        << h("fffc00fffb00") << h("") << h("fffe00fffd00") << h("");
    QTest::newRow("sub-negotiation cut short by a command")
        << h("fffa2c6500fffb0341") << h("41") << h("fffd03") << h("");
    QTest::newRow("over-long sub-negotiation dropped whole")
        << QByteArray::fromHex("fffa2c65") + QByteArray(100, '\x01') + h("fff041") << h("41")
        << h("") << h("");
    QTest::newRow("reply to another option ignored")
        << h("fffa186500009600fff0") << h("") << h("") << h("");
}

void TstTelnet::receiverKeepsCommandsOutOfTheData() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, answers);
    QFETCH(QByteArray, baudReply);
    // Every split a network may make: all at once, byte by byte, and in pieces of 2, 3 and 5.
    for (const int piece : {0, 1, 2, 3, 5}) {
        const Parsed p = Feed(input, piece);
        QVERIFY2(
            p.data == data,
            qPrintable(QString("pieces of %1: data %2").arg(piece).arg(QString(p.data.toHex()))));
        QVERIFY2(
            p.answers == answers,
            qPrintable(
                QString("pieces of %1: answers %2").arg(piece).arg(QString(p.answers.toHex()))));
        QVERIFY2(p.baudReply == baudReply, qPrintable(QString("pieces of %1").arg(piece)));
    }
}

void TstTelnet::escapeDoublesEveryFF() {
    const std::uint8_t data[] = {0x41, 0xFF, 0xFF, 0x0D};
    QCOMPARE(Bytes(telnet::Escape(data, sizeof data)), QByteArray::fromHex("41ffffffff0d"));
    // Inside a request's value as well.
    QCOMPARE(
        Bytes(telnet::ComPortRequest(telnet::kSetBaudRate, std::string("\x00\x01\xff\x00", 4))),
        QByteArray::fromHex("fffa2c010001ffff00fff0"));
}

void TstTelnet::lineSettingRequests_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("requests");
    QTest::newRow("38400,e,8,1") << "38400,e,8,1"
                                 << QByteArray::fromHex("fffa2c0100009600fff0fffa2c0208fff0"
                                                        "fffa2c0303fff0fffa2c0401fff0");
    QTest::newRow("4800,n,8,1") << "4800,n,8,1"
                                << QByteArray::fromHex("fffa2c01000012c0fff0fffa2c0208fff0"
                                                       "fffa2c0301fff0fffa2c0401fff0");
    QTest::newRow("115200,o,7,2") << "115200,o,7,2"
                                  << QByteArray::fromHex("fffa2c010001c200fff0fffa2c0207fff0"
                                                         "fffa2c0302fff0fffa2c0402fff0");
}

void TstTelnet::lineSettingRequests() {
    QFETCH(QString, settings);
    QFETCH(QByteArray, requests);
    const auto line = ParseLineSettings(settings.toStdString());
    QVERIFY(line);
    std::string sent;
    for (const auto& [command, value] : telnet::LineSettingRequests(*line))
        sent += telnet::ComPortRequest(command, value);
    QCOMPARE(Bytes(sent), requests);
}

void TstTelnet::portUrls_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("rfc2217 address")
        << "rfc2217://192.0.2.10:4001" << true << true << "192.0.2.10" << 4001;
    QTest::newRow("tcp name") << "tcp://bench-3.local:7000" << true << false << "bench-3.local"
                              << 7000;
    QTest::newRow("IPv6 in brackets") << "tcp://[::1]:65535" << true << false << "::1" << 65535;
    QTest::newRow("IPv6 without brackets") << "tcp://::1:4000" << false << false << "" << 0;
    QTest::newRow("no port") << "rfc2217://host" << false << false << "" << 0;
    QTest::newRow("port 0") << "rfc2217://host:0" << false << false << "" << 0;
    QTest::newRow("port too large") << "rfc2217://host:65536" << false << false << "" << 0;
    QTest::newRow("port with a path") << "tcp://host:4000/x" << false << false << "" << 0;
    QTest::newRow("no host") << "tcp://:4000" << false << false << "" << 0;
    QTest::newRow("other scheme") << "telnet://host:23" << false << false << "" << 0;
}

void TstTelnet::portUrls() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(bool, rfc2217);
    QFETCH(QString, host);
    QFETCH(int, port);
    const auto url = ParsePortUrl(text.toStdString());
    QCOMPARE(url.has_value(), valid);
    QCOMPARE(IsPortUrl(text.toStdString()), !text.startsWith("telnet"));
    if (!url)
        return;
    QCOMPARE(url->rfc2217, rfc2217);
    QCOMPARE(QString::fromStdString(url->host), host);
    QCOMPARE(int(url->port), port);
}

QTEST_APPLESS_MAIN(TstTelnet)
#include "tst_telnet.moc"
