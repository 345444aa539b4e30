// The commands a reader takes over MQTT: decoded whole, or refused with the reason and nothing
// sent.
#include "gateway/commands.h"

#include <QtTest>

using namespace qv::gateway;
using qv::reader::Param;

class TstGatewayCommands : public QObject {
    Q_OBJECT
private slots:
    // The outputs and parameters in the backup's form, written in a restore's order, the reader
    // ID last.
    void setTakesOutputsAndParameters() {
        const Decoded d = DecodeSet(R"({"id": "07", "rssi": 120, "do2": "on", "same-card": 5,
                          "mode": {"rs485": "RS485 40 bits", "wiegand": "Wiegand 34 bits"}})");
        QVERIFY2(d.command, d.error.c_str());
        const auto& set = std::get<SetCommand>(*d.command);
        QVERIFY(!set.do1);
        QCOMPARE(set.do2, std::optional<bool>(true));
        QCOMPARE(set.items.size(), std::size_t(4));
        QCOMPARE(set.items[0].param, Param::SameCard);
        QCOMPARE(set.items[1].param, Param::Mode);
        QCOMPARE(set.items[2].param, Param::Rssi);
        QCOMPARE(std::get<int>(set.items[2].value), 120);
        QCOMPARE(set.items[3].param, Param::Id);
        QCOMPARE(std::get<std::string>(set.items[3].value), std::string("07"));
    }

    void getTakesNamesOrAll() {
        const Decoded named = DecodeGet(R"(["mode", "rssi"])");
        QVERIFY(named.command);
        QCOMPARE(std::get<GetCommand>(*named.command).params,
                 (std::vector<Param>{Param::Mode, Param::Rssi}));
        const Decoded all = DecodeGet("\"all\"");
        QVERIFY(all.command);
        QCOMPARE(std::get<GetCommand>(*all.command).params.size(), std::size_t(7));
    }

    void whatIsNoCommandIsRefused_data() {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not JSON") << true << QByteArray("{rssi: 1") << "not JSON";
        QTest::newRow("too large")
            << true << QByteArray(64 * 1024 + 1, ' ') << "larger than 64 KiB";
        QTest::newRow("a list to set") << true << QByteArray("[1]") << "JSON object";
        QTest::newRow("nothing to set") << true << QByteArray("{}") << "JSON object";
        QTest::newRow("unknown key")
            << true << QByteArray(R"({"volume": 3})") << "unknown key \"volume\"";
        QTest::newRow("out of range")
            << true << QByteArray(R"({"rssi": 300})") << "\"rssi\": 300 is out of range 0..250";
        QTest::newRow("output word") << true << QByteArray(R"({"do1": true})") << "\"on\" or";
        QTest::newRow("line speed")
            << true << QByteArray(R"({"baud": "9600,n,8,1"})") << "not set through the gateway";
        QTest::newRow("get of nothing") << false << QByteArray("[]") << "list of parameter";
        QTest::newRow("get unknown") << false << QByteArray(R"(["volume"])") << "unknown parameter";
        QTest::newRow("get set-only") << false << QByteArray(R"(["gain"])") << "cannot be read";
        QTest::newRow("get a number") << false << QByteArray("[3]") << "as texts";
    }
    void whatIsNoCommandIsRefused() {
        QFETCH(bool, set);
        QFETCH(QByteArray, payload);
        QFETCH(QString, reason);
        const std::string text = payload.toStdString();
        const Decoded d = set ? DecodeSet(text) : DecodeGet(text);
        QVERIFY(!d.command);
        QVERIFY2(QString::fromStdString(d.error).contains(reason), d.error.c_str());
    }
};

QTEST_GUILESS_MAIN(TstGatewayCommands)
#include "tst_gateway_commands.moc"
