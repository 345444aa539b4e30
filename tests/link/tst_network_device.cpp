// The network serial device against a scripted server on a fake socket and a virtual timer.
#include "link/transport/network_device.h"
#include "link/transport/telnet.h"

#include <QtTest>

#include <map>

using namespace qv::link;

namespace {

class VirtualTimer : public MicroTimer {
public:
    std::int64_t us = 0;
    std::int64_t nowUs() override { return us; }
    void sleepUs(std::int64_t t) override { us += t; }
};

// A server that answers each COM-PORT-OPTION request with the value asked for, or with the one
// in `acks` for that command (an empty value: no answer at all), and records what it was sent.
struct Server {
    VirtualTimer& timer;
    std::map<int, std::string> acks;
    std::string sent, inbound;
    bool closed = false;

    void receive(const std::string& bytes) {
        sent += bytes;
        if (bytes.size() < 6 || std::uint8_t(bytes[0]) != telnet::kIac ||
            std::uint8_t(bytes[1]) != telnet::kSb)
            return;
        const int command = std::uint8_t(bytes[3]);
        std::string value = bytes.substr(4, bytes.size() - 6);
        if (const auto it = acks.find(command); it != acks.end())
            value = it->second;
        if (!value.empty())
            inbound += telnet::ComPortRequest(static_cast<std::uint8_t>(command + 100), value);
    }
};

class FakeSocket : public NetSocket {
public:
    explicit FakeSocket(Server& server) : server_(server) {}
    SerialError connect(const std::string&, std::uint16_t, int) override {
        return SerialError::None;
    }
    bool send(const std::uint8_t* data, std::size_t count) override {
        server_.receive(std::string(reinterpret_cast<const char*>(data), count));
        return !server_.closed;
    }
    long receive(std::uint8_t* data, std::size_t capacity, std::int64_t waitUs) override {
        if (server_.inbound.empty()) {
            if (server_.closed)
                return -1;
            server_.timer.us += waitUs;
            return 0;
        }
        const std::size_t n = std::min(capacity, server_.inbound.size());
        std::memcpy(data, server_.inbound.data(), n);
        server_.inbound.erase(0, n);
        return static_cast<long>(n);
    }
    void close() override {}

private:
    Server& server_;
};

const LineSettings k38400e{38400, 'e', 8, 1};

} // namespace

class TstNetworkDevice : public QObject {
    Q_OBJECT
private slots:
    void openNegotiatesEachSetting_data();
    void openNegotiatesEachSetting();
    void dataPassesEscapedBothWays();
    void rawTcpSendsNoTelnet();
    void closedConnectionReadsAsAVanishedDevice();
    void unansweredPurgeIsNotAwaitedAgain();
    void serverThatClosesAtOnceIsSaid();
};

void TstNetworkDevice::openNegotiatesEachSetting_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("ack");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("requestsSent");
    QTest::newRow("all acknowledged") << 0 << QByteArray() << int(SerialError::None) << 5;
    QTest::newRow("baud acknowledged as 9600")
        << 1 << QByteArray::fromHex("00002580") << int(SerialError::SettingsRefused) << 1;
    QTest::newRow("parity acknowledged as none")
        << 3 << QByteArray::fromHex("01") << int(SerialError::SettingsRefused) << 3;
    QTest::newRow("stop size never acknowledged")
        << 4 << QByteArray() << int(SerialError::TimedOut) << 4;
}

void TstNetworkDevice::openNegotiatesEachSetting() {
    QFETCH(int, command);
    QFETCH(QByteArray, ack);
    QFETCH(int, error);
    QFETCH(int, requestsSent);
    VirtualTimer timer;
    Server server{timer, {}, {}, {}};
    if (command)
        server.acks[command] = ack.toStdString();
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    QCOMPARE(device.open("rfc2217://192.0.2.10:4001", k38400e), error == int(SerialError::None));
    QCOMPARE(int(device.lastError()), error);
    QCOMPARE(device.isOpen(), error == int(SerialError::None));
    // The offer, then the settings in order, each after the previous one's acknowledgement, then
    // the purge; never a SET-CONTROL.
    std::string expected = telnet::OpeningOffer();
    const auto requests = telnet::LineSettingRequests(k38400e);
    for (int i = 0; i < std::min(requestsSent, 4); ++i)
        expected += telnet::ComPortRequest(requests[i].command, requests[i].value);
    if (requestsSent == 5)
        expected += telnet::ComPortRequest(telnet::kPurgeData, "\x03");
    QCOMPARE(QByteArray::fromStdString(server.sent).toHex(),
             QByteArray::fromStdString(expected).toHex());
    if (error == int(SerialError::TimedOut)) {
        QVERIFY(timer.us >= 1000000);
        QVERIFY(timer.us < 1100000);
    }
}

void TstNetworkDevice::dataPassesEscapedBothWays() {
    VirtualTimer timer;
    Server server{timer, {}, {}, {}};
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    QVERIFY(device.open("rfc2217://h:1", k38400e));
    QVERIFY(device.settingsNote().empty());
    QVERIFY(device.appliesLineSettings());
    server.sent.clear();
    const std::uint8_t frame[] = {0x09, 0xFF, 0x0D};
    device.write(frame, sizeof frame);
    QCOMPARE(QByteArray::fromStdString(server.sent).toHex(), QByteArray("09ffff0d"));
    server.inbound = "\x0a\xff\xff\xff\xfb\x03\x0d";
    QCOMPARE(device.readByte(), std::optional<std::uint8_t>(0x0A));
    QCOMPARE(device.readByte(), std::optional<std::uint8_t>(0xFF));
    QCOMPARE(device.readByte(), std::optional<std::uint8_t>(0x0D)); // WILL SGA is no data ...
    QVERIFY(QByteArray::fromStdString(server.sent)
                .endsWith(QByteArray::fromHex("fffd03"))); // ... it is answered
    QVERIFY(!device.readByte());
}

void TstNetworkDevice::rawTcpSendsNoTelnet() {
    VirtualTimer timer;
    Server server{timer, {}, {}, {}};
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    server.inbound = "stale";
    QVERIFY(device.open("tcp://h:1", k38400e));
    QVERIFY(!device.settingsNote().empty());
    QVERIFY(!device.appliesLineSettings()); // the server's own settings hold
    QVERIFY(server.sent.empty());
    QVERIFY(!device.readByte()); // the purge dropped what waited
    const std::uint8_t frame[] = {0x09, 0xFF, 0x0D};
    device.write(frame, sizeof frame);
    QCOMPARE(QByteArray::fromStdString(server.sent).toHex(), QByteArray("09ff0d"));
    server.inbound = "\xff\xfb\x03";
    QCOMPARE(device.readByte(), std::optional<std::uint8_t>(0xFF));
}

void TstNetworkDevice::closedConnectionReadsAsAVanishedDevice() {
    VirtualTimer timer;
    Server server{timer, {}, {}, {}};
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    QVERIFY(device.open("rfc2217://h:1", k38400e));
    server.inbound = "\x0a";
    server.closed = true;
    QCOMPARE(device.readByte(), std::optional<std::uint8_t>(0x0A)); // what came before the close
    const std::int64_t start = timer.us;
    for (int i = 0; i < 10; ++i)
        QVERIFY(!device.readByte());
    QCOMPARE(timer.us - start, std::int64_t{10 * 1000}); // each read took its millisecond
    QVERIFY(device.gone());                              // so that a tag run reopens it
    device.close();
    QVERIFY(!device.gone());
}

// A raw TCP server that turns the client away with words: the open fails, saying so.
void TstNetworkDevice::serverThatClosesAtOnceIsSaid() {
    VirtualTimer timer;
    Server server{timer, {}, {}, {}};
    server.inbound = "Port already in use\r\n";
    server.closed = true;
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    QVERIFY(!device.open("tcp://h:1", k38400e));
    QCOMPARE(device.lastError(), SerialError::Closed);
    QCOMPARE(device.lastErrorDetail(), std::string("it said \"Port already in use\""));
}

void TstNetworkDevice::unansweredPurgeIsNotAwaitedAgain() {
    VirtualTimer timer;
    Server server{timer, {{telnet::kPurgeData, ""}}, {}, {}};
    NetworkSerialDevice device([&] { return std::make_unique<FakeSocket>(server); }, timer);
    QVERIFY(device.open("rfc2217://h:1", k38400e)); // the purge is no line setting
    QVERIFY(timer.us >= 1000000);
    const std::int64_t before = timer.us;
    server.sent.clear();
    device.purge(); // still asked for, no longer waited for
    QCOMPARE(QByteArray::fromStdString(server.sent).toHex(), QByteArray("fffa2c0c03fff0"));
    QCOMPARE(timer.us, before);
}

QTEST_APPLESS_MAIN(TstNetworkDevice)
#include "tst_network_device.moc"
