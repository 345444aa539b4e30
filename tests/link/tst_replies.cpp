// The reply decoders, fed replies through a real transaction on the fake device. The checksum
// digits of these replies are left as "XX": the decoders read fields, not the verdict.

#include "link/protocol/link.h"
#include "link/protocol/replies.h"
#include "tests/support/fake_device.h"

#include <QtTest>

#include <functional>
#include <map>

using namespace qv;
using namespace qv::link;

namespace {

QString Str(std::string_view s) {
    return QString::fromLatin1(s.data(), int(s.size()));
}

template <typename T>
QString OrNone(const std::optional<T>& v, const std::function<QString(const T&)>& show) {
    return v ? show(*v) : QString("none");
}

// Each decoder's result as one comparable text.
const std::map<QString, std::function<QString(const Reply&)>>& Decoders() {
    static const std::map<QString, std::function<QString(const Reply&)>> decoders = {
        {"identity",
         [](const Reply& l) {
             return OrNone<Identity>(DecodeIdentity(l), [](const Identity& i) {
                 return Str(i.id) + "/" + Str(i.serial);
             });
         }},
        {"version", [](const Reply& l) { return "[" + Str(DecodeVersion(l)) + "]"; }},
        {"poll",
         [](const Reply& l) {
             return OrNone<Poll>(DecodePoll(l), [](const Poll& p) {
                 return QString(QChar(p.input)) + "/" + (p.tag ? Str(*p.tag) : QString("-"));
             });
         }},
        {"same card",
         [](const Reply& l) {
             return OrNone<int>(DecodeSameCard(l), [](const int& v) { return QString::number(v); });
         }},
        {"NO/NC",
         [](const Reply& l) {
             return OrNone<char>(DecodeNoNc(l), [](const char& c) { return QString(QChar(c)); });
         }},
        {"mode",
         [](const Reply& l) {
             return OrNone<Mode>(DecodeMode(l), [](const Mode& m) {
                 return QString("%1/%2").arg(m.rs485Index).arg(m.wiegandIndex);
             });
         }},
        {"ID2",
         [](const Reply& l) {
             return OrNone<int>(DecodeId2(l), [](const int& v) { return QString::number(v); });
         }},
        {"RSSI",
         [](const Reply& l) {
             return OrNone<int>(DecodeRssi(l), [](const int& v) { return QString::number(v); });
         }},
        {"exciter",
         [](const Reply& l) {
             return OrNone<ExciterIds>(DecodeExciterIds(l), [](const ExciterIds& e) {
                 return QString("%1/%2").arg(e.id1).arg(e.id2);
             });
         }},
        {"relays",
         [](const Reply& l) {
             return OrNone<Relays>(DecodeRelays(l), [](const Relays& r) {
                 return QString("%1/%2/%3/%4")
                     .arg(r.flags1)
                     .arg(r.time1)
                     .arg(r.flags2)
                     .arg(r.time2);
             });
         }},
    };
    return decoders;
}

} // namespace

class TstReplies : public QObject {
    Q_OBJECT
private slots:
    void decodesFields_data();
    void decodesFields();
    void parsesNumbers_data();
    void parsesNumbers();
    void decodesTagIds_data();
    void decodesTagIds();
};

void TstReplies::decodesFields_data() {
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<QByteArray>("payload"); // between the LF and the checksum digits
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* decoder, QByteArray payload, const char* out) {
        QTest::newRow(name) << QString(decoder) << payload << QString(out);
    };
    row("identity", "identity", "A01B12345678", "01/12345678");
    row("identity ID 00", "identity", "A00BABCDEFGH", "00/ABCDEFGH");
    row("identity of 15 bytes", "identity", "A01B1234567", "none");
    row("identity of 17 bytes", "identity", "A01B123456789", "none");
    row("identity ID not decimal", "identity", "A0xB12345678", "none");
    row("identity with a zero byte", "identity",
        QByteArray("A01B1234\0"
                   "678",
                   12),
        "none");
    row("version", "version", "A00V1.02-03", "[1.02-03]");
    row("version of 9 bytes", "version", "A00VZ", "[Z]");
    row("version of 8 bytes", "version", "A00V", "[]");
    row("version of 6 bytes", "version", "A0", "[]");
    row("version cut by a zero byte", "version",
        QByteArray("A00V1.0\0"
                   "2",
                   9),
        "[]");
    row("version after a zero byte at 10", "version",
        QByteArray("A00V1.02\0"
                   "3",
                   10),
        "[1]");
    row("poll with tag", "poll", "A00I10953CE044A7A5B325", "1/953CE044A7A5B325");
    row("poll without tag", "poll", "A00I0", "0/-");
    row("poll of 27 bytes", "poll", "A00I10953CE044A7A5B3251", "1/-");
    row("poll tag with a zero byte", "poll",
        QByteArray("A00I10953CE044\0"
                   "7A5B325",
                   22),
        "1/-");
    row("poll not I at 5", "poll", "A00J10953CE044A7A5B325", "none");
    row("poll without input", "poll", "A00I", "none");
    row("same card 0120", "same card", "A00N0120", "120");
    row("same card 9999", "same card", "A00N9999", "9999");
    row("same card short", "same card", "A00N012", "none");
    row("same card hex digit", "same card", "A00N01A0", "none");
    row("same card blank", "same card", "A00N 120", "none");
    row("NO/NC 1", "NO/NC", "A00M1", "1");
    row("NO/NC 0", "NO/NC", "A00M0", "0");
    row("NO/NC bare acknowledgement", "NO/NC", "A00M", "none");
    row("mode 3N", "mode", "A00L3N", "3/0");
    row("mode 03", "mode", "A00L03", "0/4");
    row("mode 10", "mode", "A00L10", "1/1");
    row("mode RS485 4", "mode", "A00L4N", "none");
    row("mode Wiegand 4", "mode", "A00L34", "none");
    row("mode lower-case n", "mode", "A00L3n", "none");
    row("mode short", "mode", "A00L3", "none");
    row("ID2 0A", "ID2", "A00Q0A", "10");
    row("ID2 FF", "ID2", "A00QFF", "255");
    row("ID2 lower-case 0a", "ID2", "A00Q0a", "10");
    row("ID2 not hex", "ID2", "A00QG1", "none");
    row("ID2 one digit", "ID2", "A00Q0", "none");
    row("RSSI 6E", "RSSI", "A00O6E", "110");
    row("RSSI FB", "RSSI", "A00OFB", "251");
    row("RSSI lower-case fb", "RSSI", "A00Ofb", "251");
    row("RSSI bare acknowledgement", "RSSI", "A00O", "none");
    row("exciter 123400FF", "exciter", "A00P123400FF", "4660/255");
    row("exciter short", "exciter", "A00P123400F", "none");
    row("exciter 0x inside", "exciter", "A00P12340xFF", "none");
    row("relays 07FA0000", "relays", "A00R07FA0000", "7/250/0/0");
    row("relays 08FFF800", "relays", "A00R08FFF800", "8/255/248/0");
    row("relays short", "relays", "A00R07FA000", "none");
    row("relays minus sign", "relays", "A00R07FA00-0", "none");
}

void TstReplies::decodesFields() {
    QFETCH(QString, decoder);
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    test::VirtualTime time;
    test::FakeDevice device(time);
    Link link(device, time, time);
    QVERIFY(link.CommOpen(1, "19200,e,8,1"));
    // Built by appending: "\x0A" + std::string trips GCC 12's -Wrestrict at -O3.
    std::string reply = "\x0A";
    reply += payload.toStdString();
    reply += "XX\x0D";
    device.responder = [&](const std::string&) { return reply; };
    link.ReaderTransact("A00B");
    QCOMPARE(link.reply().length(), int(reply.size()));
    QCOMPARE(Decoders().at(decoder)(link.reply()), expected);
}

void TstReplies::parsesNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimal"); // -1: none
    QTest::addColumn<int>("hex");
    QTest::newRow("0120") << "0120" << 120 << 0x120;
    QTest::newRow("FF") << "FF" << -1 << 255;
    QTest::newRow("ff") << "ff" << -1 << 255;
    QTest::newRow("aB") << "aB" << -1 << 0xAB;
    QTest::newRow("empty") << "" << -1 << -1;
    QTest::newRow("0x prefix") << "0x1F" << -1 << -1;
    QTest::newRow("plus sign") << "+12" << -1 << -1;
    QTest::newRow("minus sign") << "-12" << -1 << -1;
    QTest::newRow("blank") << " 1" << -1 << -1;
    QTest::newRow("G") << "G" << -1 << -1;
    QTest::newRow("9999") << "9999" << 9999 << 0x9999;
}

void TstReplies::parsesNumbers() {
    QFETCH(QString, text);
    QFETCH(int, decimal);
    QFETCH(int, hex);
    const std::string s = text.toStdString();
    QCOMPARE(ParseDecimal(s).value_or(-1), decimal);
    QCOMPARE(ParseHex(s).value_or(-1), hex);
}

void TstReplies::decodesTagIds_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("decoded");
    // Byte i is XORed with key byte 7-i; the key read backwards is 95 3C E0 44 A7 19 D2 6B.
    // 95^95=00 3C^3C=00 E0^E0=00 44^44=00 A7^A7=00 A5^19=BC B3^D2=61 25^6B=4E
    QTest::newRow("decodes to 00BC614E") << "953CE044A7A5B325"
                                         << "0000000000BC614E";
    QTest::newRow("all zero gives the key backwards") << "0000000000000000"
                                                      << "953CE044A719D26B";
    // FF^95=6A FF^3C=C3 FF^E0=1F FF^44=BB FF^A7=58 FF^19=E6 FF^D2=2D FF^6B=94
    QTest::newRow("all FF") << "FFFFFFFFFFFFFFFF"
                            << "6AC31FBB58E62D94";
    // Lower-case letters count as 0: 95 30 00 44 07 05 03 25 before the key.
    // 95^95=00 30^3C=0C 00^E0=E0 44^44=00 07^A7=A0 05^19=1C 03^D2=D1 25^6B=4E
    QTest::newRow("lower-case digits decode as 0") << "953ce044a7a5b325"
                                                   << "000CE000A01CD14E";
    // G and x count as 0 too: 00 00 ... as the all-zero row.
    QTest::newRow("non-hex characters decode as 0") << "GGxx0000 0.0-000"
                                                    << "953CE044A719D26B";
}

void TstReplies::decodesTagIds() {
    QFETCH(QString, tag);
    QFETCH(QString, decoded);
    QCOMPARE(QString::fromStdString(DecodeTagId(tag.toStdString())), decoded);
}

QTEST_APPLESS_MAIN(TstReplies)
#include "tst_replies.moc"
