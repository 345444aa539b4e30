// The parameter rows: each row's wire text, its read-back decoded and held to its bounds, and the
// words and JSON a user gives for it. The frames are written out by hand from the command set.
#include "reader/parameters.h"

#include "link/protocol/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using reader::Param;
using reader::Value;
using json = nlohmann::ordered_json;

Q_DECLARE_METATYPE(Param)

namespace {

// A link over a fake device whose reader answers every command with one payload.
struct Answering {
    test::VirtualTime time;
    test::FakeDevice device{time};
    link::Link link{device, time, time};

    const link::Reply& replyOf(const std::string& payload) {
        device.responder = [payload](const std::string&) { return test::ReplyFrame(payload); };
        if (!link.isOpen())
            link.CommOpen(1, "19200,e,8,1");
        link.ReaderTransact(payload.substr(0, 4)); // the reply's own command
        return link.reply();
    }
};

Param ByName(const QString& name) {
    const auto* row = reader::FindParam(name.toStdString());
    if (!row)
        qFatal("no parameter %s", qPrintable(name));
    return row->param;
}

std::vector<std::string> Words(const QStringList& list) {
    std::vector<std::string> words;
    for (const auto& w : list)
        words.push_back(w.toStdString());
    return words;
}

} // namespace

class TstParameters : public QObject {
    Q_OBJECT

private slots:
    // Every row once: the words a user types, the command sent, the read command and the
    // value a reply gives back.
    void everyRowBuildsItsWireText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("set");   // the command the value writes
        QTest::addColumn<QString>("get");   // the read command; empty: set only
        QTest::addColumn<QString>("reply"); // a reply payload to the read ...
        QTest::addColumn<QString>("text");  // ... and the value it reads as
        QTest::newRow("same-card") << "same-card" << QStringList{"25"} << "A00N0025"
                                   << "A00N"
                                   << "A00N0120"
                                   << "120";
        QTest::newRow("di5 NC") << "di5" << QStringList{"nc"} << "A00M0"
                                << "A00M"
                                << "A00M1"
                                << "NO";
        QTest::newRow("mode, window texts")
            << "mode" << QStringList{"RS485 40 bits", "Wiegand 34 bits"} << "A00L21"
            << "A00L"
            << "A00L13"
            << "RS485 32 bits, Wiegand 35 bits";
        QTest::newRow("mode, short form") << "mode" << QStringList{"64", "off"} << "A00L3N"
                                          << "A00L"
                                          << "A00L3N"
                                          << "RS485 64 bits, Wiegand Off";
        QTest::newRow("rssi top, FF held at 250") << "rssi" << QStringList{"250"} << "A00OFA"
                                                  << "A00O"
                                                  << "A00OFF"
                                                  << "250";
        QTest::newRow("exciter-id") << "exciter-id" << QStringList{"1234", "ff"} << "A00P123400FF"
                                    << "A00P"
                                    << "A00P00FFabcd"
                                    << "00FF ABCD";
        QTest::newRow("id2, FF held at 99") << "id2" << QStringList{"10"} << "A00Q0A"
                                            << "A00Q"
                                            << "A00QFF"
                                            << "99";
        QTest::newRow("relays, bits 3-7 and FF dropped")
            << "relays" << QStringList{"enabled:10", "enabled+key+mo:250"} << "A00R010A07FA"
            << "A00R"
            << "A00RFB0A0DFF"
            << "enabled+key:10 enabled+mo:250";
        QTest::newRow("gain") << "gain" << QStringList{"3"} << "A00W1C01BF"
                              << ""
                              << ""
                              << "";
        QTest::newRow("beep") << "beep" << QStringList{"OFF"} << "A00HS0"
                              << ""
                              << ""
                              << "";
        QTest::newRow("baud") << "baud" << QStringList{"38400,e,8,1"} << "A00E7"
                              << ""
                              << ""
                              << "";
    }
    void everyRowBuildsItsWireText() {
        QFETCH(QString, name);
        QFETCH(QStringList, words);
        QFETCH(QString, set);
        QFETCH(QString, get);
        QFETCH(QString, reply);
        QFETCH(QString, text);
        const Param param = ByName(name);
        std::string error;
        const auto value = reader::ParseWords(param, Words(words), error);
        QVERIFY2(value, error.c_str());
        const auto command = reader::SetCommand(param, *value, link::Reply{});
        QVERIFY(command);
        QCOMPARE(QString::fromStdString(*command), set);
        const reader::ParamRow& row = reader::RowOf(param);
        QCOMPARE(row.readable(), !get.isEmpty());
        if (get.isEmpty())
            return;
        QCOMPARE(QString::fromStdString(row.get()), get);
        Answering reader;
        const auto read = reader::Decode(param, reader.replyOf(reply.toStdString()));
        QVERIFY(read);
        QCOMPARE(QString::fromStdString(reader::ToText(param, *read)), text);
    }

    // The reader ID command carries the serial number of the identity reply of the same try;
    // without one no command can be built.
    void readerIdTakesTheSerialOfTheIdentityReply() {
        std::string error;
        const auto id = reader::ParseWords(Param::Id, {"7"}, error);
        QVERIFY(id);
        Answering reader;
        const auto command = reader::SetCommand(Param::Id, *id, reader.replyOf("B07BSN012345"));
        QCOMPARE(command.value_or("none"), std::string("A00CSN01234507"));
        QVERIFY(!reader::SetCommand(Param::Id, *id, link::Reply{}));
    }

    // The window's scroll bars take their ranges from the rows; these are the reader's.
    void boundsAreTheReaders_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("same-card") << "same-card" << 0 << 9999;
        QTest::newRow("rssi") << "rssi" << 0 << 250;
        QTest::newRow("id2") << "id2" << 0 << 99;
        QTest::newRow("relay time") << "relays" << 0 << 250;
        QTest::newRow("gain") << "gain" << 1 << 7;
        QTest::newRow("id") << "id" << 1 << 99;
        QTest::newRow("exciter-id") << "exciter-id" << 0 << 65535;
    }
    void boundsAreTheReaders() {
        QFETCH(QString, name);
        QFETCH(int, low);
        QFETCH(int, high);
        const reader::Bounds b = reader::RowOf(ByName(name)).bounds;
        QCOMPARE(b.low, low);
        QCOMPARE(b.high, high);
    }

    // Words refused, each with the reason a user reads.
    void badWordsNameTheirReason_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("reason");
        QTest::newRow("above the range")
            << "rssi" << QStringList{"251"} << "251 is out of range 0..250";
        QTest::newRow("same-card above")
            << "same-card" << QStringList{"10000"} << "10000 is out of range 0..9999";
        QTest::newRow("seven digits")
            << "same-card" << QStringList{"1234567"} << "1234567 is out of range 0..9999";
        QTest::newRow("twenty digits") << "id2" << QStringList{"99999999999999999999"}
                                       << "99999999999999999999 is out of range 0..99";
        QTest::newRow("not a number")
            << "rssi" << QStringList{"1e2"} << "\"1e2\" is not a decimal number";
        QTest::newRow("id 00") << "id" << QStringList{"00"} << "00 is out of range 1..99";
        QTest::newRow("relay time")
            << "relays" << QStringList{"enabled:251", "none:0"} << "251 is out of range 0..250";
        QTest::newRow("one word for two") << "mode" << QStringList{"40"} << "mode takes 2 values";
        QTest::newRow("di5 word") << "di5" << QStringList{"maybe"} << "\"maybe\" is not NO or NC";
    }
    void badWordsNameTheirReason() {
        QFETCH(QString, name);
        QFETCH(QStringList, words);
        QFETCH(QString, reason);
        std::string error;
        QVERIFY(!reader::ParseWords(ByName(name), Words(words), error));
        QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
    }

    // Backup values: what a file may say and what it may not.
    void jsonValues_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason"); // empty: accepted and written back the same
        QTest::newRow("same-card top") << "same-card" << QByteArray("9999") << "";
        QTest::newRow("same-card above")
            << "same-card" << QByteArray("10000") << "10000 is out of range 0..9999";
        QTest::newRow("same-card at 1000") << "same-card" << QByteArray("1000") << "";
        QTest::newRow("relays")
            << "relays"
            << QByteArray(R"({"rl1":{"enabled":true,"key":false,"mo":false,"time":10},)"
                          R"("rl2":{"enabled":false,"key":true,"mo":true,"time":250}})")
            << "";
        QTest::newRow("relay with an extra key")
            << "relays"
            << QByteArray(R"({"rl1":{"enabled":true,"key":false,"mo":false,"time":10,"x":1},)"
                          R"("rl2":{"enabled":false,"key":true,"mo":true,"time":0}})")
            << "\"rl1\".\"x\": unknown key";
        QTest::newRow("relay without its time")
            << "relays"
            << QByteArray(R"({"rl1":{"enabled":true,"key":false,"mo":false,"time":10},)"
                          R"("rl2":{"enabled":false,"key":true,"mo":true}})")
            << "\"rl2\".\"time\" is missing";
        QTest::newRow("di5 number") << "di5" << QByteArray("1") << "1 is not a text";
        QTest::newRow("exciter-id") << "exciter-id" << QByteArray(R"(["1234","00FF"])") << "";
        QTest::newRow("exciter-id, three IDs")
            << "exciter-id" << QByteArray(R"(["1234","00FF","0001"])") << "must be two";
        QTest::newRow("exciter-id, one a number")
            << "exciter-id" << QByteArray(R"(["1234",255])") << "must be two";
        QTest::newRow("mode, a third key")
            << "mode" << QByteArray(R"({"rs485":"40","wiegand":"off","x":"1"})") << "must be";
    }
    void jsonValues() {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        const Param param = ByName(name);
        const auto parsed = json::parse(text.toStdString());
        std::string error;
        const auto value = reader::FromJson(param, parsed, error);
        if (!reason.isEmpty()) {
            QVERIFY(!value);
            QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
            return;
        }
        QVERIFY2(value, error.c_str());
        // Compared as text: QtTest cannot print a JSON value itself.
        QCOMPARE(QString::fromStdString(reader::ToJson(param, *value).dump()),
                 QString::fromStdString(parsed.dump()));
    }
};

QTEST_GUILESS_MAIN(TstParameters)
#include "tst_parameters.moc"
