// The tag poll step, the tag formatter and the "reader not answering" rule that the window's run
// and `watch` share; a fake reader on a virtual clock.
#include "reader/tag_poll.h"

#include "link/protocol/link.h"
#include "tests/support/fake_device.h"

#include <QtTest>

using namespace qv;
using reader::PollResult;
using reader::SilenceRule;

namespace {

// Tag data whose decoded identifier is 0000000000BC614E (each byte XORed with the key).
const std::string kTag12345678 = "953CE044A7A5B325";

struct Reader {
    test::VirtualTime time;
    test::FakeDevice device{time};
    link::Link link{device, time, time};
    Reader() { link.CommOpen(1, "19200,e,8,1"); }
};

} // namespace

class TstTagPoll : public QObject {
    Q_OBJECT

private slots:
    void formatterGivesTheWindowsFields_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("12345678") << "0000000000BC614E"
                                  << "00BC614E"
                                  << "0012345678";
        QTest::newRow("top of 32 bits") << "00000000FFFFFFFF"
                                        << "FFFFFFFF"
                                        << "4294967295";
        QTest::newRow("high half ignored") << "1234567800000001"
                                           << "00000001"
                                           << "0000000001";
        QTest::newRow("not hex") << "00000000000000G1"
                                 << "000000G1"
                                 << "0000000000";
        QTest::newRow("fewer than 8 digits") << "BC614E"
                                             << "BC614E"
                                             << "0000000000";
    }
    void formatterGivesTheWindowsFields() {
        QFETCH(QString, id);
        QFETCH(QString, hex);
        QFETCH(QString, decimal);
        const auto tag = reader::FormatTag(id.toStdString());
        QCOMPARE(QString::fromStdString(tag.id), id);
        QCOMPARE(QString::fromStdString(tag.hex), hex);
        QCOMPARE(QString::fromStdString(tag.decimal), decimal);
    }

    // A poll that brings a tag: outputs first (only when changed), the poll, the tag handed over
    // before the acknowledgement, which follows 20 ms later.
    void tagIsHandedOverThenAcknowledged() {
        Reader r;
        r.device.responder = [](const std::string& command) {
            return command == "A00I" ? test::ReplyFrame("A00I10" + kTag12345678)
                                     : test::ReplyFrame("A00K");
        };
        std::optional<reader::Outputs> sent = reader::Outputs{};
        std::optional<PollResult> handed;
        std::size_t commandsAtHandOver = 0;
        const auto poll =
            reader::PollStep(r.link, reader::Outputs{true, false}, sent, [&](const PollResult& p) {
                handed = p;
                commandsAtHandOver = r.device.sent.size();
            });
        QVERIFY(poll.answered);
        QCOMPARE(poll.input.value_or('?'), '1');
        QVERIFY(handed && handed->tag);
        QCOMPARE(handed->tag->decimal, std::string("0012345678"));
        QCOMPARE(r.device.commands(), (std::vector<std::string>{"A00I2", "A00I", "A00J"}));
        QCOMPARE(commandsAtHandOver, std::size_t(2));
        // The poll, its 26-byte reply (about 12 ms on the fake line), then the 20 ms pause.
        const auto gap = r.device.sent[2].atUs - r.device.sent[1].atUs;
        QVERIFY2(gap >= 30000 && gap < 35000, qPrintable(QString::number(gap)));
        QVERIFY(sent == (reader::Outputs{true, false}));

        r.device.sent.clear();
        reader::PollStep(r.link, reader::Outputs{true, false}, sent);
        QCOMPARE(r.device.commands().front(), std::string("A00I")); // unchanged: not sent again
    }

    // Before its poll a step pauses 20 ms: a window's pump runs at each of its milliseconds, a
    // service's pump (or none) once, the pause then slept in one go.
    void pauseBeforeThePoll_data() {
        QTest::addColumn<int>("grain"); // 0: no pump, 1: every millisecond, 2: once per pause
        QTest::addColumn<int>("pumps");
        QTest::addColumn<std::vector<std::uint32_t>>("pause");
        QTest::newRow("window") << 1 << 20 << std::vector<std::uint32_t>(20, 1);
        QTest::newRow("service") << 2 << 1 << std::vector<std::uint32_t>{20};
        QTest::newRow("no pump") << 0 << 0 << std::vector<std::uint32_t>{20};
    }
    void pauseBeforeThePoll() {
        QFETCH(int, grain);
        QFETCH(int, pumps);
        QFETCH(std::vector<std::uint32_t>, pause);
        Reader r;
        r.device.responder = [](const std::string&) { return test::ReplyFrame("A00I0"); };
        int pumped = 0;
        if (grain > 0)
            r.link.setEventPump([&] { ++pumped; }, grain == 1);
        r.time.sleeps.clear();
        std::optional<reader::Outputs> sent;
        reader::PollStep(r.link, std::nullopt, sent);
        QCOMPARE(pumped, pumps);
        // Then the poll's frame: TAB, the text, the two checksum digits and CR, each paced.
        auto expected = pause;
        expected.insert(expected.end(), {1, 5, 1, 1, 1});
        QCOMPARE(r.time.sleeps, expected);
    }

    // Answered means a checked reply came back, whether or not it decodes as a poll reply.
    void answeredIsACheckedReply_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("poll reply, no tag")
            << QByteArray::fromStdString(test::ReplyFrame("A00I0")) << true << true;
        QTest::newRow("checked but no poll reply")
            << QByteArray::fromStdString(test::ReplyFrame("A00K")) << true << false;
        QTest::newRow("silence") << QByteArray() << false << false;
        QTest::newRow("bad checksum") << QByteArray("\nA00I000\r") << false << false;
    }
    void answeredIsACheckedReply() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, answered);
        QFETCH(bool, decoded);
        Reader r;
        r.device.responder = [&](const std::string&) { return reply.toStdString(); };
        std::optional<reader::Outputs> sent;
        const auto poll = reader::PollStep(r.link, std::nullopt, sent);
        QCOMPARE(poll.answered, answered);
        QCOMPARE(poll.input.has_value(), decoded);
        QVERIFY(!poll.tag);
        QCOMPARE(r.device.commands(), std::vector<std::string>{"A00I"}); // no outputs wanted
    }

    // Polls as (a)nswered or (f)ailed at a time in ms, or the device (l)ost; what the rule says
    // after each: nothing (.), silent (S) or answering again (A).
    void silenceRule_data() {
        QTest::addColumn<QString>("polls");
        QTest::addColumn<QString>("changes");
        QTest::newRow("a second of failures") << "f0 f500 f999 f1000 f1500"
                                              << "...S.";
        QTest::newRow("a 0.1 s silence") << "f0 f100 a150 a200"
                                         << "....";
        QTest::newRow("a miss after an earlier miss") << "f0 a500 f1600 f1700"
                                                      << "....";
        QTest::newRow("a second outage") << "f0 f1000 a1100 f1200 f2100 f2200 a2300"
                                         << ".SA..SA";
        QTest::newRow("device lost: silent at once") << "a0 l10 f20 a600"
                                                     << ".S.A";
        QTest::newRow("lost after a second of failures") << "f0 f1000 l1100 a1200"
                                                         << ".S.A";
        QTest::newRow("the clock wraps") << "f4294967000 f4294967295 f704"
                                         << "..S"; // 2^32 - 296 ms, then 1000 ms later
    }
    void silenceRule() {
        QFETCH(QString, polls);
        QFETCH(QString, changes);
        SilenceRule rule;
        QString seen;
        for (const QString& poll : polls.split(' ')) {
            const auto at = static_cast<std::uint32_t>(poll.mid(1).toULongLong());
            const auto change = poll[0] == 'l' ? rule.lost() : rule.polled(poll[0] == 'a', at);
            switch (change) {
            case SilenceRule::Change::None:
                seen += '.';
                break;
            case SilenceRule::Change::Silent:
                seen += 'S';
                break;
            case SilenceRule::Change::AnsweringAgain:
                seen += 'A';
                break;
            }
        }
        QCOMPARE(seen, changes);
    }
};

QTEST_GUILESS_MAIN(TstTagPoll)
#include "tst_tag_poll.moc"
