// The command transaction on a fake device in virtual time.
//
// Timeline of every transaction here (virtual microseconds from the open): the frame goes out
// in five writes with pauses of 1, 5, 1, 1, 1 ms; the CR is written at 8000 and sending ends at
// 9000. Each empty read then takes exactly 1000 us, so after k empty reads the elapsed time is
// k ms. The read that starts at elapsed 120 (at 129000) still runs and takes a byte due by
// 130000; after it the wait ends at 130000 with elapsed 121. A reply the fake answers with
// replyDelayMs = d has its first byte due at 8000 + d * 1000.

#include "link/protocol/exchange.h"
#include "link/protocol/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using link::Link;

namespace {

// The identity reply worked out by hand: payload "A01B12345678";
// 0A^41^30^31^42 = 08 and 31^32^...^38 = 08, so the checksum is 00.
const std::string kIdentityReply = std::string("\x0A") + "A01B12345678" + "00\x0D";

struct Bench {
    explicit Bench(std::uint32_t startMs = 1000) : time(startMs) {
        link.setEventPump([this] { ++pumps; });
        link.CommOpen(1, "19200,e,8,1");
    }
    void answer(const std::string& reply, std::uint32_t delayMs = 2) {
        device.replyDelayMs = delayMs;
        device.responder = [reply](const std::string&) { return reply; };
    }
    QByteArray replyText() const {
        return QByteArray(link.reply().text().data(), static_cast<int>(link.reply().text().size()));
    }
    test::VirtualTime time;
    test::FakeDevice device{time};
    Link link{device, time, time};
    int pumps = 0;
};

QByteArray Raw(const char* bytes, int size) {
    return QByteArray(bytes, size);
}

} // namespace

class TstTransaction : public QObject {
    Q_OBJECT
private slots:
    void sendsFrameInFiveWritesWithNineMsOfPauses();
    void purgesBeforeSending();
    void replyWindowEndsAt121Ms_data();
    void replyWindowEndsAt121Ms();
    void clockWrapDuringWaitStillEndsAt121Ms_data();
    void clockWrapDuringWaitStillEndsAt121Ms();
    void badReplies_data();
    void badReplies();
    void zeroByteInsideReplyEndsReplyText();
    void crAs1024thByteWrapsToEmptyReply();
    void exchangeWithoutIdentityStepGivesAnEmptyIdentity();
    void noiseRecognisedOnlyWhenTheRingPutsTheLfAtZero_data();
    void noiseRecognisedOnlyWhenTheRingPutsTheLfAtZero();
    void steadyStreamEndsAtCeiling();
    void replyCompletingAtCeiling_data();
    void replyCompletingAtCeiling();
    void replyTextKeptAfterTimeout();
    void pumpsOncePerEmptyRead();
    void field_data();
    void field();
    void fieldStopsAtZeroByte();
    void replyIsExactlyNeedsAllCharactersInReplyText();
    void traceTellsEachFrameAndOutcome_data();
    void traceTellsEachFrameAndOutcome();
};

void TstTransaction::sendsFrameInFiveWritesWithNineMsOfPauses() {
    Bench b;
    b.answer(kIdentityReply);
    QVERIFY(b.link.ReaderTransact("A00B"));
    const std::vector<std::vector<std::uint8_t>> writes = {
        {0x09}, {0x41, 0x30, 0x30, 0x42}, {0x30}, {0x41}, {0x0D}};
    QCOMPARE(b.device.writes, writes);
    QCOMPARE(b.time.sleeps, (std::vector<std::uint32_t>{1, 5, 1, 1, 1}));
    QCOMPARE(b.device.sent.size(), size_t(1));
    QCOMPARE(b.device.sent[0].atUs, std::uint64_t(8000));
    QVERIFY(b.device.sent[0].checksumOk);
    QCOMPARE(b.device.purgeCount, 2); // once when the port opened, once before sending
}

void TstTransaction::purgesBeforeSending() {
    // Noise already waiting before the transaction is dropped; a reply that arrives while the
    // CR is written (delay 0) is kept, which it would not be if the purge came after sending.
    Bench b;
    b.device.inject(" \x0A\x0D");
    b.time.advanceUs(1000); // all three noise bytes have arrived
    b.answer(kIdentityReply, 0);
    QVERIFY(b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.reply().length(), 16);
}

void TstTransaction::replyWindowEndsAt121Ms_data() {
    QTest::addColumn<std::uint32_t>("delayMs");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<std::uint64_t>("endUs");
    QTest::addColumn<int>("length");
    // 16 bytes 100 us apart: the last one is read at due(first) + 1500 + 1.
    QTest::newRow("prompt reply") << 2u << true << std::uint64_t(11501) << 16;
    QTest::newRow("first byte read at elapsed 120") << 122u << true << std::uint64_t(131501) << 16;
    QTest::newRow("first byte due 1 ms later") << 123u << false << std::uint64_t(130000) << 0;
    QTest::newRow("150 ms late") << 150u << false << std::uint64_t(130000) << 0;
}

void TstTransaction::replyWindowEndsAt121Ms() {
    QFETCH(std::uint32_t, delayMs);
    QFETCH(bool, taken);
    QFETCH(std::uint64_t, endUs);
    QFETCH(int, length);
    Bench b;
    b.answer(kIdentityReply, delayMs);
    QCOMPARE(b.link.ReaderTransact("A00B"), taken);
    QCOMPARE(b.time.us(), endUs);
    QCOMPARE(b.link.reply().length(), length);
    QCOMPARE(b.replyText(), taken ? QByteArray::fromStdString(kIdentityReply) : QByteArray());
}

void TstTransaction::clockWrapDuringWaitStillEndsAt121Ms_data() {
    QTest::addColumn<std::uint32_t>("startMs");
    QTest::newRow("wraps while sending") << std::uint32_t(0xFFFFFFFFu - 4);
    QTest::newRow("wait starts at the largest value") << std::uint32_t(0xFFFFFFFFu - 9);
    QTest::newRow("wraps in mid-wait") << std::uint32_t(0xFFFFFFFFu - 70);
    QTest::newRow("wraps on the last empty read") << std::uint32_t(0xFFFFFFFFu - 129);
}

void TstTransaction::clockWrapDuringWaitStillEndsAt121Ms() {
    QFETCH(std::uint32_t, startMs);
    {
        Bench silent(startMs);
        QVERIFY(!silent.link.ReaderTransact("A00B"));
        QCOMPARE(silent.time.us(), std::uint64_t(130000));
    }
    {
        Bench late(startMs);
        late.answer(kIdentityReply, 122);
        QVERIFY(late.link.ReaderTransact("A00B"));
    }
}

void TstTransaction::badReplies_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("text"); // ReplyText afterwards; it was empty before
    // 0A ^ 30 = 3A.
    QTest::newRow("upper-case checksum")
        << Raw("\x0A\x30\x33\x41\x0D", 5) << true << 5 << Raw("\x0A\x30\x33\x41\x0D", 5);
    QTest::newRow("lower-case checksum")
        << Raw("\x0A\x30\x33\x61\x0D", 5) << false << 5 << Raw("\x0A\x30\x33\x61\x0D", 5);
    QTest::newRow("LF CR alone") << Raw("\x0A\x0D", 2) << false << 2 << Raw("\x0A\x0D", 2);
    QTest::newRow("smallest reply")
        << Raw("\x0A\x30\x41\x0D", 4) << true << 4 << Raw("\x0A\x30\x41\x0D", 4);
    // A space before the LF: the LF is not at position 0, so nothing completes.
    QTest::newRow("noise 0x20 before LF")
        << Raw("\x20\x0A\x30\x41\x0D", 5) << false << 5 << QByteArray();
    QTest::newRow("no CR") << Raw("\x0A\x30\x41", 3) << false << 3 << QByteArray();
}

void TstTransaction::badReplies() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, result);
    QFETCH(int, length);
    QFETCH(QByteArray, text);
    Bench b;
    b.answer(reply.toStdString());
    QCOMPARE(b.link.ReaderTransact("A00B"), result);
    QCOMPARE(b.link.reply().length(), length);
    QCOMPARE(b.replyText(), text);
    if (text.isEmpty())
        QVERIFY(b.time.us() >= 130000); // waited out the limit
}

void TstTransaction::zeroByteInsideReplyEndsReplyText() {
    // 0A ^ 41 ^ 00 ^ 42 = 09: the checksum holds over the zero byte.
    Bench b;
    b.answer(std::string("\x0A\x41\x00\x42\x30\x39\x0D", 7));
    QVERIFY(b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.reply().length(), 7);
    QCOMPARE(b.replyText(), Raw("\x0A\x41", 2));
}

void TstTransaction::crAs1024thByteWrapsToEmptyReply() {
    Bench b;
    b.answer(kIdentityReply);
    QVERIFY(b.link.ReaderTransact("A00B"));
    // LF, 1022 x 'A', CR: the CR is stored at 1023 and the write position wraps to 0, where
    // the closing zero byte then lands on the LF.
    b.answer("\x0A" + std::string(1022, 'A') + "\x0D");
    QVERIFY(!b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.reply().length(), 0);
    QCOMPARE(b.replyText(), QByteArray());
    QCOMPARE(int(b.link.reply().buffer()[0]), 0);
    QCOMPARE(int(b.link.reply().buffer()[1]), int('A'));
    QCOMPARE(int(b.link.reply().buffer()[1023]), 0x0D);
}

void TstTransaction::noiseRecognisedOnlyWhenTheRingPutsTheLfAtZero_data() {
    QTest::addColumn<int>("noise"); // blanks before the smallest reply 0A 30 41 0D
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("length");
    QTest::newRow("1023 blanks: LF at 1023") << 1023 << false << 3;
    QTest::newRow("1024 blanks: LF at 0") << 1024 << true << 4;
    QTest::newRow("1025 blanks: LF at 1") << 1025 << false << 5;
    QTest::newRow("2048 blanks: LF at 0 again") << 2048 << true << 4;
}

void TstTransaction::noiseRecognisedOnlyWhenTheRingPutsTheLfAtZero() {
    QFETCH(int, noise);
    QFETCH(bool, taken);
    QFETCH(int, length);
    Bench b;
    b.answer(std::string(static_cast<std::size_t>(noise), ' ') + "\x0A\x30\x41\x0D");
    QCOMPARE(b.link.ReaderTransact("A00B"), taken);
    QCOMPARE(b.link.reply().length(), length);
    // The blanks that the reply overwrote stay behind it, cut off by the zero byte.
    QCOMPARE(b.replyText(), taken ? Raw("\x0A\x30\x41\x0D", 4) : QByteArray());
    if (taken)
        QCOMPARE(int(b.link.reply().buffer()[5]), int(' '));
}

void TstTransaction::steadyStreamEndsAtCeiling() {
    Bench b;
    b.answer(kIdentityReply); // an earlier reply, kept through the failed wait
    QVERIFY(b.link.ReaderTransact("A00B"));
    b.device.responder = nullptr;
    b.time.advanceUs(1000 - b.time.us() % 1000); // on a millisecond, as the clock counts
    const std::uint64_t sent = b.time.us() + 9000;
    b.device.stream = [] { return std::optional<std::uint8_t>('x'); };
    QVERIFY(!b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.lastOutcome(), link::Outcome::Ceiling);
    // 100 us per byte: 10000 bytes reach 1000 ms after sending; 10000 = 9 * 1024 + 784.
    QCOMPARE(b.time.us(), sent + 1000000);
    QCOMPARE(b.link.reply().length(), 784);
    QCOMPARE(b.replyText(), QByteArray::fromStdString(kIdentityReply));
    QCOMPARE(b.pumps, 0);
}

void TstTransaction::replyCompletingAtCeiling_data() {
    QTest::addColumn<std::uint64_t>("byteUs");
    QTest::addColumn<bool>("taken");
    // The 1000th byte is the CR; it is read at 9000 + 1000 * byteUs.
    QTest::newRow("CR read at 999 ms") << std::uint64_t(999) << true;
    QTest::newRow("CR read at 1000 ms") << std::uint64_t(1000) << false;
}

void TstTransaction::replyCompletingAtCeiling() {
    QFETCH(std::uint64_t, byteUs);
    QFETCH(bool, taken);
    Bench b;
    b.answer("\x0A\x30\x41\x0D"); // an earlier reply of 4 bytes
    QVERIFY(b.link.ReaderTransact("A00B"));
    b.device.responder = nullptr;
    // LF, 996 x 'x' (an even count XORs to 0), checksum "0A", CR: a valid 1000-byte reply.
    std::string reply = "\x0A" + std::string(996, 'x') + "0A\x0D";
    QCOMPARE(int(reply.size()), 1000);
    std::size_t next = 0;
    b.device.byteUs = byteUs;
    b.device.stream = [&]() -> std::optional<std::uint8_t> {
        if (next < reply.size())
            return static_cast<std::uint8_t>(reply[next++]);
        return std::nullopt;
    };
    QCOMPARE(b.link.ReaderTransact("A00B"), taken);
    QCOMPARE(b.link.reply().length(), 1000);
    QCOMPARE(b.link.reply().text().size(), taken ? size_t(1000) : size_t(4)); // else the earlier
}

void TstTransaction::replyTextKeptAfterTimeout() {
    Bench b;
    b.answer(kIdentityReply);
    QVERIFY(b.link.ReaderTransact("A00B"));
    b.answer(std::string("\x0A\x41\x30", 3));
    QVERIFY(!b.link.ReaderTransact("A00V"));
    QCOMPARE(b.link.lastOutcome(), link::Outcome::NoReply);
    QCOMPARE(b.replyText(), QByteArray::fromStdString(kIdentityReply));
    QCOMPARE(b.link.reply().length(), 3);
    QCOMPARE(int(b.link.reply().buffer()[2]), 0x30);
    QCOMPARE(int(b.link.reply().buffer()[3]), 0); // cleared at the start of the transaction
}

void TstTransaction::pumpsOncePerEmptyRead() {
    Bench b;
    QVERIFY(!b.link.ReaderTransact("A00B"));
    QCOMPARE(b.pumps, 121);
}

void TstTransaction::field_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("reader ID 3-4") << 3 << 2 << true << QByteArray("01");
    QTest::newRow("serial 6-13") << 6 << 8 << true << QByteArray("12345678");
    QTest::newRow("whole payload 2-13") << 2 << 12 << true << QByteArray("A01B12345678");
    QTest::newRow("last payload character") << 13 << 1 << true << QByteArray("8");
    QTest::newRow("LF at 1") << 1 << 1 << false << QByteArray();
    QTest::newRow("position 0") << 0 << 1 << false << QByteArray();
    QTest::newRow("negative position") << -3 << 5 << false << QByteArray();
    QTest::newRow("checksum at 14") << 14 << 1 << false << QByteArray();
    QTest::newRow("running into the checksum") << 13 << 2 << false << QByteArray();
    QTest::newRow("CR at 16") << 16 << 1 << false << QByteArray();
    QTest::newRow("far past the end") << 500 << 2 << false << QByteArray();
    QTest::newRow("zero length") << 6 << 0 << false << QByteArray();
    QTest::newRow("huge length") << 2 << 2147483647 << false << QByteArray();
    QTest::newRow("huge length from the serial") << 6 << 2147483647 << false << QByteArray();
    QTest::newRow("huge position") << 2147483647 << 1 << false << QByteArray();
    QTest::newRow("huge position and length") << 2147483647 << 2147483647 << false << QByteArray();
}

void TstTransaction::field() {
    QFETCH(int, position);
    QFETCH(int, length);
    QFETCH(bool, present);
    QFETCH(QByteArray, value);
    Bench b;
    b.answer(kIdentityReply);
    QVERIFY(b.link.ReaderTransact("A00B"));
    const auto f = b.link.reply().field(position, length);
    QCOMPARE(f.has_value(), present);
    if (present)
        QCOMPARE(QByteArray(f->data(), static_cast<int>(f->size())), value);
}

void TstTransaction::fieldStopsAtZeroByte() {
    Bench b;
    b.answer(std::string("\x0A\x41\x00\x42\x30\x39\x0D", 7));
    QVERIFY(b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.reply().field(2, 1).value_or("?"), std::string_view("A"));
    QVERIFY(!b.link.reply().field(3, 1)); // the zero byte itself
    QVERIFY(!b.link.reply().field(4, 1)); // 'B' lies past it
    QVERIFY(!b.link.reply().field(2, 3));
}

void TstTransaction::replyIsExactlyNeedsAllCharactersInReplyText() {
    Bench b;
    b.answer(kIdentityReply);
    QVERIFY(b.link.ReaderTransact("A00B"));
    QVERIFY(b.link.reply().isExactly(16));
    QVERIFY(!b.link.reply().isExactly(15));
    QVERIFY(!b.link.reply().isExactly(17));
    // The identity reply with its '5' replaced by a zero byte: 00 ^ 35 = 35 is the checksum.
    // It verifies and is 16 bytes long, but ReplyText holds only 9 characters.
    b.answer(std::string("\x0A"
                         "A01B1234\x00"
                         "678"
                         "35\x0D",
                         16));
    QVERIFY(b.link.ReaderTransact("A00B"));
    QCOMPARE(b.link.reply().length(), 16);
    QVERIFY(!b.link.reply().isExactly(16));
}

void TstTransaction::traceTellsEachFrameAndOutcome_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("events");
    const QString sent = "sent \x09"
                         "A00B0A\x0D";
    QTest::newRow("verified") << QByteArray::fromStdString(kIdentityReply)
                              << QStringList{sent,
                                             "received " + QString::fromStdString(kIdentityReply),
                                             "answered, checksum verified"};
    QTest::newRow("bad checksum") << QByteArray("\x0A"
                                                "0B\x0D")
                                  << QStringList{sent,
                                                 "received \x0A"
                                                 "0B\x0D",
                                                 "answered with a bad checksum"};
    QTest::newRow("silent") << QByteArray() << QStringList{sent, "no reply within the limit"};
}

void TstTransaction::traceTellsEachFrameAndOutcome() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, events);
    test::VirtualTime time;
    test::FakeDevice device{time};
    Link link{device, time, time};
    QStringList seen;
    link.setTrace([&](const link::TraceEvent& e) {
        const QString bytes = QString::fromLatin1(e.bytes.data(), qsizetype(e.bytes.size()));
        switch (e.kind) {
        case link::TraceEvent::Kind::Opened:
            seen << "opened " + QString::fromLatin1(e.port.data(), qsizetype(e.port.size()));
            break;
        case link::TraceEvent::Kind::OpenFailed:
            seen << QString("failed: ") + link::DescribeSerialError(e.error);
            break;
        case link::TraceEvent::Kind::Closed:
            seen << "closed";
            break;
        case link::TraceEvent::Kind::Sent:
            seen << "sent " + bytes;
            break;
        case link::TraceEvent::Kind::Received:
            seen << "received " + bytes;
            break;
        case link::TraceEvent::Kind::Finished:
            seen << link::DescribeOutcome(e.outcome);
            break;
        case link::TraceEvent::Kind::AnotherReader: // never the link's own
            seen << "another reader";
            break;
        }
    });
    const std::string com1 = link::ResolveComPort(1, {});
    device.openable = {com1};
    QVERIFY(!link.CommOpen(2, "19200,e,8,1"));
    QVERIFY(link.CommOpen(1, "19200,e,8,1"));
    device.responder = [&](const std::string&) { return reply.toStdString(); };
    link.ReaderTransact("A00B");
    link.CommClose();
    const QStringList expected =
        QStringList{"failed: cannot be opened", "opened COM1 " + QString::fromStdString(com1)} +
        events + QStringList{"closed"};
    QCOMPARE(seen, expected);
}

// Without the identity step the command builder must not take the previous transaction's reply
// for this try's identity (the reader ID command would take a serial number from it).
void TstTransaction::exchangeWithoutIdentityStepGivesAnEmptyIdentity() {
    Bench bench;
    bench.answer(kIdentityReply);
    QVERIFY(bench.link.ReaderTransact("A00B"));
    const std::string previous = bench.link.reply().text();
    QVERIFY(!previous.empty());
    bench.device.responder = [](const std::string& command) {
        return command == "A00B" ? kIdentityReply : test::ReplyFrame("A01H");
    };
    std::vector<std::string> seen;
    const auto builder = [&](const link::Reply& identity) -> std::optional<std::string> {
        seen.push_back(identity.text());
        return "A00HS1";
    };
    QVERIFY(link::RunExchange(bench.link, link::kDirectExchange, builder));
    QVERIFY(link::RunExchange(bench.link, link::kSettingsExchange, builder));
    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[0], std::string()); // no identity step: nothing
    QCOMPARE(seen[1], previous);      // this try's own identity reply
}

QTEST_APPLESS_MAIN(TstTransaction)
#include "tst_transaction.moc"
