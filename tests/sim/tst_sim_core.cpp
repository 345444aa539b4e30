// The simulated reader in-process: frames in, reply frames out, no line and no clock; and its edit
// of the settings store's COM line, which keeps every other byte of the file.

#include "link/protocol/frame.h"
#include "link/protocol/replies.h"
#include "sim/com_mapping.h"
#include "sim/options.h"
#include "sim/reader.h"

#include <QTest>

using qv::sim::Reader;

namespace {

// The frame of `command` as the program sends it, built here by hand: TAB, text, XOR digits, CR.
std::string Frame(const std::string& command) {
    unsigned sum = 0x09;
    for (unsigned char c : command)
        sum ^= c;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return "\t" + command + digits + "\r";
}

// The one reply to `command`, or an empty string when the reader kept quiet.
std::string Ask(Reader& reader, const std::string& command, std::uint32_t nowMs = 0) {
    const auto replies = reader.receive(Frame(command), nowMs);
    if (replies.size() > 1)
        qWarning("more than one reply to %s", command.c_str());
    return replies.empty() ? std::string() : replies.front().bytes;
}

bool Verifies(const std::string& reply) {
    return qv::link::VerifyReplyChecksum(reinterpret_cast<const std::uint8_t*>(reply.data()),
                                         static_cast<int>(reply.size()));
}

// The payload of a reply: between the LF and the two checksum digits.
std::string Payload(const std::string& reply) {
    return reply.size() < 4 ? std::string() : reply.substr(1, reply.size() - 4);
}

} // namespace

class TstSimCore : public QObject {
    Q_OBJECT

private slots:
    void repliesMatchHandWorkedFrames_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        // LF 0A ^ "A01BQV000001" = 0E;  LF ^ "A01N0010" = 05.
        QTest::newRow("identity") << QByteArray("A00B") << QByteArray("\nA01BQV0000010E\r");
        QTest::newRow("same card read") << QByteArray("A00N") << QByteArray("\nA01N001005\r");
    }
    void repliesMatchHandWorkedFrames() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        Reader reader;
        QCOMPARE(QByteArray::fromStdString(Ask(reader, command.toStdString())), reply);
    }

    void everyCommandIsAnswered_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("B identity") << QByteArray("A00B") << QByteArray("A01BQV000001");
        QTest::newRow("V version") << QByteArray("A00V") << QByteArray("A01V02.31-07");
        QTest::newRow("I poll, no tag") << QByteArray("A00I") << QByteArray("A01I0");
        QTest::newRow("I outputs") << QByteArray("A00I2") << QByteArray("A01I2");
        QTest::newRow("J ack") << QByteArray("A00J") << QByteArray("A01J");
        QTest::newRow("C set id") << QByteArray("A00CQV00000107") << QByteArray("A07C07");
        QTest::newRow("E line speed") << QByteArray("A00EA") << QByteArray("A01EA");
        QTest::newRow("X factory") << QByteArray("A00X5A") << QByteArray("A01X");
        QTest::newRow("HR reset") << QByteArray("A00HR") << QByteArray("A01HR");
        QTest::newRow("HS1 beep") << QByteArray("A00HS1") << QByteArray("A01HS1");
        QTest::newRow("HS0 beep") << QByteArray("A00HS0") << QByteArray("A01HS0");
        QTest::newRow("N write") << QByteArray("A00N0042") << QByteArray("A01N0042");
        QTest::newRow("M read") << QByteArray("A00M") << QByteArray("A01M1");
        QTest::newRow("L read") << QByteArray("A00L") << QByteArray("A01L10");
        QTest::newRow("Q read") << QByteArray("A00Q") << QByteArray("A01Q00");
        QTest::newRow("O write") << QByteArray("A00O6E") << QByteArray("A01O6E");
        QTest::newRow("W gain") << QByteArray("A00W1C01C7") << QByteArray("A01W1C01C7");
        QTest::newRow("P read") << QByteArray("A00P") << QByteArray("A01P00000000");
        QTest::newRow("R read") << QByteArray("A00R") << QByteArray("A01R010A030A");
        QTest::newRow("own address") << QByteArray("A01B") << QByteArray("A01BQV000001");
    }
    void everyCommandIsAnswered() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, payload);
        Reader reader;
        const std::string reply = Ask(reader, command.toStdString());
        QCOMPARE(QByteArray::fromStdString(Payload(reply)), payload);
        QVERIFY(Verifies(reply));
        QCOMPARE(reply.back(), '\r');
    }

    void writtenValuesReadBack_data() {
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("same card")
            << QByteArray("A00N9999") << QByteArray("A00N") << QByteArray("A01N9999");
        QTest::newRow("NC") << QByteArray("A00M0") << QByteArray("A00M") << QByteArray("A01M0");
        QTest::newRow("mode") << QByteArray("A00L3N") << QByteArray("A00L") << QByteArray("A01L3N");
        QTest::newRow("id2") << QByteArray("A00Q63") << QByteArray("A00Q") << QByteArray("A01Q63");
        QTest::newRow("rssi") << QByteArray("A00OFA") << QByteArray("A00O") << QByteArray("A01OFA");
        QTest::newRow("exciters") << QByteArray("A00P123400FF") << QByteArray("A00P")
                                  << QByteArray("A01P123400FF");
        QTest::newRow("relays") << QByteArray("A00R07FA0401") << QByteArray("A00R")
                                << QByteArray("A01R07FA0401");
        QTest::newRow("address register")
            << QByteArray("A00W060131") << QByteArray("A00W06") << QByteArray("A01W060131");
    }
    void writtenValuesReadBack() {
        QFETCH(QByteArray, write);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, payload);
        Reader reader;
        QVERIFY(!Ask(reader, write.toStdString()).empty());
        QCOMPARE(QByteArray::fromStdString(Payload(Ask(reader, read.toStdString()))), payload);
    }

    void writesLandInTheState() {
        Reader reader;
        Ask(reader, "A00W0F0142");
        Ask(reader, "A00I2"); // the digit is 2 for DO1 plus 1 for DO2
        Ask(reader, "A00HS0");
        Ask(reader, "A00R00000401");
        QCOMPARE(reader.state().registers[0x0F], 0x42);
        QVERIFY(reader.state().do1);
        QVERIFY(!reader.state().do2);
        QVERIFY(!reader.state().beep);
        QCOMPARE(reader.state().relays.flags2, 0x04);
        QCOMPARE(reader.state().relays.time2, 0x01);
    }

    void malformedCommandsGetNoReply_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("same card 2 digits") << QByteArray("A00N12");
        QTest::newRow("NO/NC letter") << QByteArray("A00Mx");
        QTest::newRow("rs485 out of range") << QByteArray("A00L4N");
        QTest::newRow("wiegand letter") << QByteArray("A00L1X");
        QTest::newRow("id2 lower-case hex") << QByteArray("A00Q6e");
        QTest::newRow("W without 01") << QByteArray("A00W1C02C7");
        QTest::newRow("exciters short") << QByteArray("A00P123");
        QTest::newRow("outputs 4") << QByteArray("A00I4");
        QTest::newRow("line code C") << QByteArray("A00EC");
        QTest::newRow("factory without key") << QByteArray("A00X55");
        QTest::newRow("unknown letter") << QByteArray("A00Z");
        QTest::newRow("other reader") << QByteArray("A05B");
        QTest::newRow("too short") << QByteArray("A00");
    }
    void malformedCommandsGetNoReply() {
        QFETCH(QByteArray, command);
        Reader reader;
        const auto before = reader.state().sameCard;
        QCOMPARE(QByteArray::fromStdString(Ask(reader, command.toStdString())), QByteArray());
        QCOMPARE(reader.state().sameCard, before);
    }

    void framingFaultsOfTheCommandAreIgnored_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("replies");
        QTest::newRow("bad checksum") << QByteArray("\tA00B0B\r") << 0;
        QTest::newRow("lower-case checksum") << QByteArray("\tA00HR52\r\tA00B0a\r") << 1;
        QTest::newRow("no TAB") << QByteArray("A00B0A\r") << 0;
        QTest::newRow("noise before TAB") << QByteArray("xx \tA00B0A\r") << 1;
        QTest::newRow("new TAB restarts") << QByteArray("\tA00N\tA00B0A\r") << 1;
        QTest::newRow("two frames") << QByteArray("\tA00B0A\r\tA00HR52\r") << 2;
        QTest::newRow("digits only") << QByteArray("\t0A\r") << 0;
    }
    void framingFaultsOfTheCommandAreIgnored() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, replies);
        Reader reader;
        QCOMPARE(int(reader.receive(bytes.toStdString(), 0).size()), replies);
    }

    void frameSplitAcrossReadsIsAnswered() {
        Reader reader;
        const std::string frame = Frame("A00V");
        QVERIFY(reader.receive(frame.substr(0, 3), 0).empty());
        const auto replies = reader.receive(frame.substr(3), 0);
        QCOMPARE(int(replies.size()), 1);
        QCOMPARE(replies[0].delayMs, 2u);
    }

    void setIdNeedsTheSerialNumber() {
        Reader reader;
        QVERIFY(Ask(reader, "A00CQV00000207").empty());
        QCOMPARE(reader.state().id, std::string("01"));
        QVERIFY(!Ask(reader, "A00CQV00000142").empty());
        QCOMPARE(Payload(Ask(reader, "A00B")), std::string("A42BQV000001"));
        QVERIFY(!Ask(reader, "A42B").empty()); // answers its new address too
    }

    void lineSpeedCodesSelectTheSetting_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("index");
        QTest::newRow("0") << QByteArray("0") << 0;
        QTest::newRow("7") << QByteArray("7") << 7;
        QTest::newRow("A") << QByteArray("A") << 10;
        QTest::newRow("B") << QByteArray("B") << 11;
    }
    void lineSpeedCodesSelectTheSetting() {
        QFETCH(QByteArray, code);
        QFETCH(int, index);
        Reader reader;
        QVERIFY(!Ask(reader, "A00E" + code.toStdString()).empty());
        QCOMPARE(reader.state().settingsIndex, index);
    }

    void factoryDefaultRestoresParameters() {
        Reader reader;
        Ask(reader, "A00CQV00000133");
        Ask(reader, "A00E9");
        Ask(reader, "A00N0300");
        Ask(reader, "A00W060100");
        Ask(reader, "A00R07FA07FA");
        QCOMPARE(Payload(Ask(reader, "A33X5A")), std::string("A01X"));
        QCOMPARE(reader.state().id, std::string("01"));
        QCOMPARE(reader.state().settingsIndex, 5);
        QCOMPARE(reader.state().sameCard, 10);
        QCOMPARE(reader.state().registers[0x06], 0x31);
        QCOMPARE(Payload(Ask(reader, "A00R")), std::string("A01R010A030A"));
        QCOMPARE(reader.state().serial, std::string("QV000001"));
    }

    void pendingTagIsPolledUntilAcknowledged() {
        Reader reader;
        reader.state().tags = {"0000000000BC614E", "FFFFFFFFFFFFFFFF"};
        // Encoded: byte i XOR key[7-i]: 00^95 00^3C 00^E0 00^44 00^A7 BC^19 61^D2 4E^6B.
        const std::string first = Ask(reader, "A00I");
        QCOMPARE(int(first.size()), 26);
        QCOMPARE(first.substr(1, 22), std::string("A01I00953CE044A7A5B325"));
        QVERIFY(Verifies(first));
        QCOMPARE(Ask(reader, "A00I"), first); // not acknowledged yet: offered again
        Ask(reader, "A00J");
        const std::string second = Ask(reader, "A00I");
        // FF XOR 95 3C E0 44 A7 19 D2 6B
        QCOMPARE(second.substr(7, 16), std::string("6AC31FBB58E62D94"));
        Ask(reader, "A00J");
        QCOMPARE(int(Ask(reader, "A00I").size()), 9);
        Ask(reader, "A00J"); // an ack with nothing pending is harmless
        QCOMPARE(int(reader.state().tags.size()), 0);
    }

    void encodedTagDecodesBack() {
        const std::string id = "0123456789ABCDEF";
        QCOMPARE(qv::link::DecodeTagId(qv::sim::EncodeTagId(id)), id);
    }

    void tagStreamOffersTagsWhenTheirTimeHasCome() {
        Reader reader;
        reader.setTagStream({{"0000000000000001", "0000000000000002"}, 500}, 1000);
        QCOMPARE(int(Ask(reader, "A00I", 1499).size()), 9);
        const std::string first = Ask(reader, "A00I", 1500);
        QCOMPARE(int(first.size()), 26);
        QCOMPARE(qv::link::DecodeTagId(first.substr(7, 16)), std::string("0000000000000001"));
        Ask(reader, "A00J", 1510);
        QCOMPARE(int(Ask(reader, "A00I", 1600).size()), 9);
        const std::string second = Ask(reader, "A00I", 2000);
        QCOMPARE(qv::link::DecodeTagId(second.substr(7, 16)), std::string("0000000000000002"));
        Ask(reader, "A00J", 2001);
        const std::string third = Ask(reader, "A00I", 2500); // the list starts over
        QCOMPARE(qv::link::DecodeTagId(third.substr(7, 16)), std::string("0000000000000001"));
    }

    void unpolledStreamKeepsOnlyTheLatestTags() {
        Reader reader;
        reader.setTagStream({{"0000000000000001"}, 10}, 0);
        Ask(reader, "A00I", 100000); // 10000 tags came due while nobody asked
        QCOMPARE(int(reader.state().tags.size()), 8);
    }

    void silentFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("identityAnswered");
        QTest::addColumn<bool>("versionAnswered");
        QTest::newRow("silent") << QString("silent") << false << false;
        QTest::newRow("silent for V") << QString("silent-for=V") << true << false;
        QTest::newRow("silent for B") << QString("silent-for=B") << false << true;
    }
    void silentFaults() {
        QFETCH(QString, fault);
        QFETCH(bool, identityAnswered);
        QFETCH(bool, versionAnswered);
        Reader reader;
        QVERIFY(qv::sim::ApplyFault(fault.toStdString(), reader.faults()));
        QCOMPARE(!Ask(reader, "A00B").empty(), identityAnswered);
        QCOMPARE(!Ask(reader, "A00V").empty(), versionAnswered);
        QCOMPARE(int(reader.log().size()), 2); // heard both all the same
    }

    void forgetfulReaderConfirmsAndKeepsTheOldValue() {
        Reader reader;
        QVERIFY(qv::sim::ApplyFault("forgets=O", reader.faults()));
        QCOMPARE(Payload(Ask(reader, "A00OFA")), std::string("A01OFA")); // the change confirmed
        QCOMPARE(Payload(Ask(reader, "A00O")), std::string("A01O50"));   // the factory value kept
        QCOMPARE(Payload(Ask(reader, "A00N0005")), std::string("A01N0005"));
        QCOMPARE(Payload(Ask(reader, "A00N")), std::string("A01N0005")); // other letters change
    }

    void checksumFaultsFailVerification_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("bad checksum")
            << QString("bad-checksum") << QByteArray("A00B") << QByteArray("\nA01BQV0000010F\r");
        QTest::newRow("lower-case") << QString("lowercase-checksum") << QByteArray("A00B")
                                    << QByteArray("\nA01BQV0000010e\r");
        // LF ^ "A01V02.31-07" = 18, which has no lower case. "B" at position 2 instead of "A"
        // adds 41 ^ 42 = 03: 1B, sent as "1b".
        QTest::newRow("lower-case of a decimal checksum")
            << QString("lowercase-checksum") << QByteArray("A00V")
            << QByteArray("\nB01V02.31-071b\r");
        // LF ^ "A01HR" = 50; "B" gives 53 and "C" (41 ^ 43 = 02) 52, both decimal; "D"
        // (41 ^ 44 = 05) gives 55, "E" (04) 54, "F" (07) 57, "G" (06) 56, "H" (09) 59, "I"
        // (08) 58, "J" (0B) 5B.
        QTest::newRow("lower-case, ten letters in")
            << QString("lowercase-checksum") << QByteArray("A00HR") << QByteArray("\nJ01HR5b\r");
    }
    void checksumFaultsFailVerification() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        Reader reader;
        QVERIFY(qv::sim::ApplyFault(fault.toStdString(), reader.faults()));
        const std::string got = Ask(reader, command.toStdString());
        QCOMPARE(QByteArray::fromStdString(got), reply);
        QVERIFY(!Verifies(got));
    }

    void identityLengthFault_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("15") << 15;
        QTest::newRow("17") << 17;
    }
    void identityLengthFault() {
        QFETCH(int, length);
        Reader reader;
        reader.faults().identityLength = length;
        const std::string reply = Ask(reader, "A00B");
        QCOMPARE(int(reply.size()), length);
        QVERIFY(Verifies(reply));
        QCOMPARE(int(Ask(reader, "A00V").size()), 16); // other replies keep their length
    }

    void noiseByteGoesBeforeTheReply() {
        Reader reader;
        reader.faults().noise = true;
        const std::string reply = Ask(reader, "A00B");
        QCOMPARE(reply.substr(0, 2), std::string(" \n"));
        QCOMPARE(reply.substr(1), std::string("\nA01BQV0000010E\r"));
    }

    void lateFaultDelaysEveryReply() {
        Reader reader;
        reader.faults().lateMs = 150;
        QCOMPARE(reader.receive(Frame("A00B"), 0).at(0).delayMs, 150u);
        QCOMPARE(reader.receive(Frame("A00HR"), 0).at(0).delayMs, 150u);
    }

    void zeroByteReplacesTheFirstDataByte() {
        Reader reader;
        reader.faults().zeroByte = true;
        const std::string reply = Ask(reader, "A00B");
        QCOMPARE(int(reply.size()), 16);
        QCOMPARE(int(reply[5]), 0);
        QCOMPARE(reply.substr(6, 7), std::string("V000001"));
        QVERIFY(Verifies(reply));                    // the checksum covers the zero byte
        const std::string ack = Ask(reader, "A00J"); // no data: the zero byte is added
        QCOMPARE(ack.size(), std::size_t(9));
        QCOMPARE(int(ack[5]), 0);
    }

    void streamNeverFormsAFrame() {
        Reader reader;
        reader.faults().stream = true;
        const std::string chatter = reader.streamBytes(1000);
        QCOMPARE(int(chatter.size()), 1000);
        QVERIFY(chatter.find('\n') == std::string::npos);
        QVERIFY(chatter.find('\r') == std::string::npos);
        QVERIFY(Ask(reader, "A00B").empty());
    }

    void hangupComesAfterTheGivenNumberOfReplies() {
        Reader reader;
        QVERIFY(qv::sim::ApplyFault("hangup-after=2", reader.faults()));
        QVERIFY(!Ask(reader, "A00B").empty());
        QVERIFY(!reader.hungUp());
        QVERIFY(!Ask(reader, "A00V").empty());
        QVERIFY(reader.hungUp());
        QVERIFY(Ask(reader, "A00B").empty());
        QCOMPARE(reader.answered(), 2);
    }

    void faultsCombine() {
        Reader reader;
        reader.faults().noise = true;
        reader.faults().lowercaseChecksum = true;
        reader.faults().lateMs = 40;
        const auto replies = reader.receive(Frame("A00B"), 0);
        QCOMPARE(replies.at(0).bytes, std::string(" \nA01BQV0000010e\r"));
        QCOMPARE(replies.at(0).delayMs, 40u);
    }

    // The mapping's line set, replaced or removed; the rest of the file, its last line's
    // newline or the lack of one included, as it was.
    void comLineEditKeepsTheRestOfTheFile_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("value"); // empty: the line removed
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty store") << QByteArray() << 3 << QByteArray("/dev/pts/4")
                                     << QByteArray("[Ports]\nCOM3=/dev/pts/4\n");
        QTest::newRow("after another section")
            << QByteArray("[General]\nLanguage=1\n") << 3 << QByteArray("/dev/pts/4")
            << QByteArray("[General]\nLanguage=1\n\n[Ports]\nCOM3=/dev/pts/4\n");
        QTest::newRow("no newline at the end stays so")
            << QByteArray("[General]\nLanguage=1") << 3 << QByteArray("/dev/pts/4")
            << QByteArray("[General]\nLanguage=1\n\n[Ports]\nCOM3=/dev/pts/4");
        QTest::newRow("replaced in place")
            << QByteArray("[Ports]\nCOM2=/dev/ttyS1\nCOM3=/dev/old\n[Other]\nx=1\n") << 3
            << QByteArray("/dev/pts/4")
            << QByteArray("[Ports]\nCOM2=/dev/ttyS1\nCOM3=/dev/pts/4\n[Other]\nx=1\n");
        QTest::newRow("added after the section's last key")
            << QByteArray("[Ports]\nCOM2=/dev/ttyS1\n\n[Other]\nx=1\n") << 5
            << QByteArray("/dev/pts/4")
            << QByteArray("[Ports]\nCOM2=/dev/ttyS1\nCOM5=/dev/pts/4\n\n[Other]\nx=1\n");
        QTest::newRow("removed, no newline at the end")
            << QByteArray("[Ports]\nCOM3=/dev/pts/4\nCOM4=/dev/x") << 3 << QByteArray()
            << QByteArray("[Ports]\nCOM4=/dev/x");
    }
    void comLineEditKeepsTheRestOfTheFile() {
        QFETCH(QByteArray, text);
        QFETCH(int, port);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, expected);
        std::optional<std::string_view> raw;
        if (!value.isEmpty())
            raw = std::string_view(value.constData(), std::size_t(value.size()));
        QCOMPARE(QByteArray::fromStdString(qv::sim::WithPortValue(text.toStdString(), port, raw)),
                 expected);
    }
};

QTEST_APPLESS_MAIN(TstSimCore)
#include "tst_sim_core.moc"
